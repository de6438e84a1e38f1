// ptrindex.h - an index of objects by a 32-bit key hash, in front of a list that stays the
// authority on order.
//
// Several lists of a view are searched by a key (the describer records by names and version,
// the ports of one owner by name) and must give the first match in list order. The index holds
// each object under the hash of its key; a search visits the objects of that hash and the caller
// tests the key itself and decides between several matches. Nothing is copied: the key is read
// from the object, so the caller removes an object under its old hash before its key changes.
//
// Open addressing with linear probing; a slot is the object pointer and its hash (null: empty).
// The table doubles when half full; removal shifts later entries back, so runs hold no holes.
// Invariants:
//   count == number of non-empty slots; count * 2 <= capacity; capacity is a power of two
//   every entry lies in the probe run that starts at its hash's home slot, without a gap
#pragma once

#include <cstdint>

class Hx_baseheap;

class nyxPtrIndex {
public:
    // An empty index in `heap` with room for `expected` entries; null when out of memory.
    static nyxPtrIndex *create(Hx_baseheap *heap, uint32_t expected);
    static void destroy(nyxPtrIndex *index);

    // Adds obj under hash h (an object may be added once per hash). False when out of memory.
    bool add(uint32_t h, void *obj);
    // Removes obj, held under h; false when it was not there.
    bool remove(uint32_t h, const void *obj);
    // Calls f(obj) for each object held under h, in no particular order, until f returns false.
    template <class F> void forEach(uint32_t h, F &&f) const {
        for (uint32_t i = home(h);; i = (i + 1) & d_mask) {
            const Slot &s = d_slots[i];
            if (s.obj == nullptr) return;
            if (s.hash == h && !f(s.obj)) return;
        }
    }

    uint32_t size() const { return d_count; }
    bool isValid() const;

    // Hash helpers: a hash of a pointer and a mix of two hashes.
    static uint32_t ofPointer(const void *p) {
        uint64_t x = reinterpret_cast<uintptr_t>(p) * 0x9e3779b97f4a7c15ull;
        return static_cast<uint32_t>(x >> 32);
    }
    static uint32_t combine(uint32_t a, uint32_t b) {
        uint64_t x = ((uint64_t{a} << 32) | b) * 0x9e3779b97f4a7c15ull;
        return static_cast<uint32_t>(x >> 32);
    }

private:
    struct Slot {
        void *obj;
        uint32_t hash;
    };
    // The home slot: the high bits of a multiplicative mix, so every bit of h counts.
    uint32_t home(uint32_t h) const { return (h * 0x9e3779b1u) >> d_shift; }
    bool grow();
    void place(Slot s);

    Hx_baseheap *d_heap;
    Slot *d_slots;
    uint32_t d_mask;
    uint32_t d_shift;  // 32 - log2(capacity)
    uint32_t d_count;
};
