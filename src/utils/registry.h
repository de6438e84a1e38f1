// The two registries of the interface: the set of handed-out object identifiers and the set of
// live iterator handles. Both are sets of 64-bit keys whose bucket of a key is
// hash(key) mod bucket count, with the hash of the interface:
//     OID (object word w, tag t):  h = |(w + t) * 15485863|   (32-bit wrapping arithmetic)
//     iterator handle p:           h = |(uint32_t)p * 15485863|
// The absolute value is taken on the unsigned 32-bit pattern, so that the one value whose
// negation overflows (0x80000000) still lands in a bucket inside the array.
//
// Layout. An open-addressing table (utils/oatable.h) of 8-byte keys, 0 marking a free slot, whose
// home slot of a key is its bucket above; a look-up reads the home bucket and its neighbours,
// which share its cache line in the common case. The key 0 cannot be stored in the array and is
// kept as a flag.
//
// The first bucket counts are 10657 (identifiers) and 107 (iterators). A table more than
// three quarters full moves to the next prime of its growth list (about twice as large).
//
// Deferred placement. A large table does not fit in the processor's caches, so placing a key
// there costs a wait for memory. Once the table is large, insert() records a key in a short
// queue, starts fetching its home bucket and places the queue's oldest key instead, whose bucket
// has arrived meanwhile: a program that hands out many identifiers waits for memory in parallel
// instead of once per identifier. Queued keys are members like the others (contains, remove and
// size see them); the table always keeps room for every queued key, so placing one never fails.
//
// Invariants:
//     the table's (utils/oatable.h);  queued_ == number of non-zero queue entries
//     table size + queued_ < bucketCount() (and <= maxLoad(bucketCount()) unless growth failed)
//     no key appears twice in the table; queued_ == 0 below kDeferFrom (a key may be queued
//     more than once, or be queued and in the table: placing it a second time finds it there)
#pragma once

#include <cstddef>
#include <cstdint>

#include "utils/oatable.h"

class nyxRegistry {
public:
    // Which of the two hash functions keys are placed by; each kind has its own growth list of
    // prime bucket counts.
    enum Kind { kOids, kIters };

    // The registry takes its memory from heap (which must outlive it).
    nyxRegistry(Hx_baseheap *heap, Kind kind);
    nyxRegistry(const nyxRegistry &) = delete;
    nyxRegistry &operator=(const nyxRegistry &) = delete;

    // Adds key unless present. Returns false only when memory ran out (the key is then absent).
    bool insert(uint64_t key);
    // Removes key; returns whether it was present.
    bool remove(uint64_t key);
    bool contains(uint64_t key) const {
        if (key == 0) return hasZero_;
        if (!table_.created()) return false;
        // The queue first: a key handed out moments ago is usually asked for next, and its
        // bucket may still be on its way from memory.
        if (queued_ != 0 && isQueued(key)) return true;
        return table_.find(bucketOf(hashOf(key)), [key](uint64_t s) { return s == key; }) != nullptr;
    }
    // True once the table exists (made on the first insert).
    bool created() const { return table_.created(); }
    // Number of keys held.
    size_t size() const;
    uint32_t bucketCount() const { return table_.capacity(); }
    // Bucket of a hash value under the current bucket count (exposed for tests).
    uint32_t bucketOf(uint32_t h) const { return table_.home(h); }
    // Places every queued key now (tests use it to reach a settled table).
    void settle();
    // Checks the invariants above.
    bool isValid() const;

    // The two hash functions of the interface.
    static uint32_t oidHash(uint64_t key);
    static uint32_t iterHash(uint64_t key);
    static uint64_t oidKey(uint32_t word, uint32_t tag) {
        return static_cast<uint64_t>(word) | (static_cast<uint64_t>(tag) << 32);
    }

    static const uint32_t oidPrimes[];
    static const uint32_t iterPrimes[];
    // Tables of at least this many buckets defer placement through the queue.
    static constexpr uint32_t kDeferFrom = 1u << 17;
    static constexpr int kQueue = 16;

    // The table's traits: the key is the slot, placed by the hash of its kind.
    struct Traits {
        using Slot = uint64_t;
        using Index = nyxOAPrimeIndex;
        static constexpr uint32_t kHugeFrom = kDeferFrom;
        static constexpr bool kPrefetchOnGrow = true;
        static bool isEmpty(uint64_t s) { return s == 0; }
        static uint32_t maxLoad(uint32_t buckets) { return buckets - buckets / 4; }
        uint32_t hashOf(uint64_t key) const { return kind == kOids ? oidHash(key) : iterHash(key); }
        Kind kind;
    };

private:
    uint32_t hashOf(uint64_t key) const { return table_.hashOf(key); }
    bool isQueued(uint64_t key) const {
        // Free entries hold 0, which no queued key equals.
        bool found = false;
        for (uint64_t q : queueKeys_) found |= q == key;
        return found;
    }
    // The slot that holds key, or the free slot that ends its run from `bucket`.
    uint32_t slotFrom(uint32_t bucket, uint64_t key) const {
        return table_.probe(bucket, [key](uint64_t s) { return s == key; });
    }
    // Puts a key into the table (known to have room); false when it was there already.
    bool place(uint64_t key, uint32_t bucket) {
        uint32_t i = slotFrom(bucket, key);
        if (!table_.isFree(i)) return false;
        table_.fill(i, key);
        return true;
    }
    // Makes room for one more key: makes the table, or grows it when it is full enough. False
    // when there is no table or it could not grow and has no free bucket to spare.
    bool reserveOne();

    nyxOATable<Traits> table_;
    uint32_t limit_ = 0;  // maxLoad(bucketCount()) once the table exists, 0 before
    bool hasZero_ = false;
    // The queue: a ring of entries, each a key (0: free) and its home bucket. The next insert
    // takes entry queueNext_, placing the key that it held.
    unsigned queueNext_ = 0;
    int queued_ = 0;
    uint64_t queueKeys_[kQueue] = {};
    uint32_t queueBuckets_[kQueue] = {};
};

inline uint32_t nyxRegistry::oidHash(uint64_t key) {
    uint32_t h = (static_cast<uint32_t>(key) + static_cast<uint32_t>(key >> 32)) * 15485863u;
    return (h & 0x80000000u) != 0 ? 0u - h : h;
}

inline uint32_t nyxRegistry::iterHash(uint64_t key) {
    uint32_t h = static_cast<uint32_t>(key) * 15485863u;
    return (h & 0x80000000u) != 0 ? 0u - h : h;
}
