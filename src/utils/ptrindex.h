// ptrindex.h - an index of objects by a 32-bit key hash, in front of a list that stays the
// authority on order.
//
// Several lists are searched by a key (the describer records of a view by names and version,
// the ports of one owner by name, the cells of a library by name) and must give the first match
// in list order. The index holds
// each object under the hash of its key; a search visits the objects of that hash and the caller
// tests the key itself and decides between several matches. Nothing is copied: the key is read
// from the object, so the caller removes an object under its old hash before its key changes.
//
// An open-addressing table (utils/oatable.h): a slot is the object pointer and its hash (null:
// empty), 16 bytes; the home slot is taken from the high bits of a multiplicative mix of the hash
// (nyxOAMixIndex), so that every bit of h counts. The table doubles when half full.
// Invariants: the table's, and size() * 2 <= capacity(); capacity() is a power of two >= 64.
#pragma once

#include <cstdint>

#include "utils/oatable.h"

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
        d_table.probe(d_table.home(h), [h, &f](const Slot &s) { return s.hash == h && !f(s.obj); });
    }

    uint32_t size() const { return d_table.size(); }
    bool isValid() const;

    // Hash helpers: a hash of a pointer and a mix of two hashes.
    static uint32_t ofPointer(const void *p) {
        uint64_t x = reinterpret_cast<uintptr_t>(p) * 0x9e3779b97f4a7c15ull;
        return static_cast<uint32_t>(x >> 32);
    }
    // FNV-1a over a name folded to lower case, chained from h and closed by a separator (so that
    // ("ab", "c") and ("a", "bc") differ). Bytes outside 7-bit ASCII all hash alike, so that names
    // equal under any case folding of the comparison hash alike too.
    static uint32_t foldName(uint32_t h, const char *s) {
        for (const unsigned char *c = reinterpret_cast<const unsigned char *>(s); *c != 0; ++c) {
            const unsigned lower = *c >= 'A' && *c <= 'Z' ? *c + 32u : *c;
            h = (h ^ (*c >= 0x80 ? 0x80u : lower)) * 16777619u;
        }
        return (h ^ 0xffu) * 16777619u;
    }
    static constexpr uint32_t kFoldSeed = 2166136261u;
    static uint32_t combine(uint32_t a, uint32_t b) {
        uint64_t x = ((uint64_t{a} << 32) | b) * 0x9e3779b97f4a7c15ull;
        return static_cast<uint32_t>(x >> 32);
    }

    struct Slot {
        void *obj;
        uint32_t hash;
    };
    // The table's traits: the slot carries the hash it was placed by.
    struct Traits {
        using Slot = nyxPtrIndex::Slot;
        using Index = nyxOAMixIndex;
        static constexpr uint32_t kHugeFrom = UINT32_MAX;
        static constexpr bool kPrefetchOnGrow = false;
        static bool isEmpty(const Slot &s) { return s.obj == nullptr; }
        static uint32_t hashOf(const Slot &s) { return s.hash; }
        static uint32_t maxLoad(uint32_t cap) { return cap / 2; }
    };

private:
    explicit nyxPtrIndex(Hx_baseheap *heap) : d_table(heap) {}

    nyxOATable<Traits> d_table;
};
