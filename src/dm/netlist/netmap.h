// netmap.h - the net name map of a netlist view: net and alias names to their objects.
//
// An open-addressing table (utils/oatable.h) whose home slot is hash & (capacity - 1). A slot is
// 8 bytes: the object word of a net or
// alias (bits 0-31, 0 for an empty slot), a 30-bit hash of its name (bits 32-61) and its kind
// (bits 62-63: net scalar, bundle, bus or alias). The names themselves are not copied: a look-up
// compares against the net's or alias's own name, and only in a slot whose hash matches, so a
// probe past other names never touches their objects. The kind in the slot gives a found net's
// class without a visit to its block. The table doubles when it becomes half full, so look-ups
// stay O(1) for any view size.
//
// A search reports where it ended (`Probe`): on a miss that is the free slot where the name
// belongs, so that a creation that searched for a duplicate first places its net there without
// a second search.
//
// Invariants: the table's (utils/oatable.h), and
//   size() * 2 <= capacity(); capacity() is a power of two >= kInitialSlots
//   the hash and kind of every entry are those of its object's current name and class
#pragma once

#include <cstddef>
#include <cstdint>

#include "utils/oatable.h"

class nyxNetMap {
public:
    static constexpr uint32_t kInitialSlots = 4096;
    static constexpr uint32_t kHashMask = (1u << 30) - 1;

    // Where a search ended: the hash of the name and the slot (the entry found, or the free
    // slot that ended the run), valid until the map changes.
    struct Probe {
        uint32_t hash;
        uint32_t slot;
    };

    // A map in `heap` with room for at least `expected` names; null when out of memory.
    static nyxNetMap *create(Hx_baseheap *heap, uint32_t expected);
    static void destroy(nyxNetMap *map);

    // The 30-bit hash of a name (of `len` characters).
    static uint32_t hash(const char *name, size_t len);
    static uint32_t hash(const char *name);

    // Starts fetching the slot where a search for hash h begins.
    void prefetch(uint32_t h) const { d_table.prefetch(d_table.home(h)); }

    // Adds a net (code 10, 11 or 12) or alias (code 20) under its own current name. False when
    // out of memory.
    bool add(void *obj, int32_t code);
    // The same after a search `p` for the name that failed and no change of the map since.
    bool addAt(void *obj, int32_t code, Probe p);
    // Removes the entry of that object, found under `name` (its name when it was added).
    bool remove(const char *name, const void *obj);
    // The first net or alias of the name, or null; *code tells its class (10, 11, 12 or 20) and
    // *probe, when asked for, where the search ended. The second form takes the name's hash.
    void *find(const char *name, int32_t *code, Probe *probe = nullptr) const {
        return find(name, hash(name), code, probe);
    }
    void *find(const char *name, uint32_t h, int32_t *code, Probe *probe = nullptr) const;

    uint32_t size() const { return d_table.size(); }
    uint32_t capacity() const { return d_table.capacity(); }
    bool isValid() const;

    // The table's traits: the packed slot above, placed by the hash it carries.
    struct Traits {
        using Slot = uint64_t;
        using Index = nyxOAMaskIndex;
        static constexpr uint32_t kHugeFrom = 0;
        static constexpr bool kPrefetchOnGrow = false;
        static bool isEmpty(uint64_t s) { return s == 0; }
        static uint32_t hashOf(uint64_t s) { return static_cast<uint32_t>(s >> 32) & kHashMask; }
        static uint32_t maxLoad(uint32_t cap) { return cap / 2; }
    };

private:
    explicit nyxNetMap(Hx_baseheap *heap) : d_table(heap) {}
    static const char *nameOf(uint64_t slot);

    nyxOATable<Traits> d_table;
};
