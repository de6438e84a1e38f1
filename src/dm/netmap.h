// netmap.h - the net name map of a netlist view: net and alias names to their objects.
//
// An open-addressing table with linear probing. A slot is 8 bytes: the object word of a net or
// alias (0 for an empty slot) and a 31-bit hash of its name, with bit 31 telling an alias from a
// net. The names themselves are not copied: a lookup compares against the net's or alias's own
// name. The table doubles when it becomes half full, so lookups stay O(1) for any view size.
// Invariants:
//   count == number of non-empty slots; count * 2 <= capacity; capacity is a power of two
//   every entry lies in the probe run that starts at hash & (capacity - 1), without a gap
#pragma once

#include <cstdint>

class Hx_baseheap;

class nyxNetMap {
public:
    static constexpr uint32_t kInitialSlots = 4096;

    // A map in `heap` with room for at least `expected` names; null when out of memory.
    static nyxNetMap *create(Hx_baseheap *heap, uint32_t expected);
    static void destroy(nyxNetMap *map);

    static uint32_t hash(const char *name);

    // Adds a net (alias false) or alias under its own current name. False when out of memory.
    bool add(void *obj, bool alias);
    // Removes the entry of that object, found under `name` (its name when it was added).
    bool remove(const char *name, const void *obj);
    // The first net or alias of the name, or null; *alias tells which.
    void *find(const char *name, bool *alias) const;

    uint32_t size() const { return d_count; }
    uint32_t capacity() const { return d_mask + 1; }
    bool isValid() const;

private:
    static const char *nameOf(uint64_t slot);
    bool grow();
    bool place(uint64_t slot);

    Hx_baseheap *d_heap;
    uint64_t *d_slots;
    uint32_t d_mask;
    uint32_t d_count;
};
