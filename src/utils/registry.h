// The two registries of the interface: the set of handed-out object identifiers and the set of
// live iterator handles. Both are chained hash sets keyed by 64 bits whose bucket of a key is
// hash(key) mod bucket count, with the hash of the interface:
//     OID (object word w, tag t):  h = |(w + t) * 15485863|   (32-bit wrapping arithmetic)
//     iterator handle p:           h = |(uint32_t)p * 15485863|
// The absolute value is taken on the unsigned 32-bit pattern, so that the one value whose
// negation overflows (0x80000000) still lands in a bucket inside the array.
//
// The first bucket counts are 10657 (identifiers) and 107 (iterators). A registry that holds
// more than two entries per bucket moves to the next larger prime from its growth list (about
// four times larger); look-up and insert stay O(1). Nodes are 16 bytes, carved from slabs taken
// from the owning heap; withdrawn nodes go to a free list and are reused.
//
// Invariants:
//     count_ == number of nodes reachable from buckets_
//     every node n lies in chain hashOf(n->key) mod bucketCount_
//     no key appears twice
#pragma once

#include <cstddef>
#include <cstdint>

class Hx_baseheap;

class nyxRegistry {
public:
    // Which of the two hash functions keys are placed by; each kind has its own growth list of
    // prime bucket counts.
    enum Kind { kOids, kIters };

    // The registry takes its memory from heap (which must outlive it).
    nyxRegistry(Hx_baseheap *heap, Kind kind);
    ~nyxRegistry();
    nyxRegistry(const nyxRegistry &) = delete;
    nyxRegistry &operator=(const nyxRegistry &) = delete;

    // Adds key unless present. Returns false only when memory ran out (the key is then absent).
    bool insert(uint64_t key);
    // Removes key; returns whether it was present.
    bool remove(uint64_t key);
    bool contains(uint64_t key) const {
        if (buckets_ == nullptr) return false;
        for (const Node *n = buckets_[bucketOf(hashOf(key))]; n != nullptr; n = n->next) {
            if (n->key == key) return true;
        }
        return false;
    }
    // True once the bucket array exists (made on the first insert).
    bool created() const { return buckets_ != nullptr; }
    size_t size() const { return count_; }
    uint32_t bucketCount() const { return bucketCount_; }
    // Bucket of a hash value under the current bucket count (exposed for tests).
    uint32_t bucketOf(uint32_t h) const {
        // h mod bucketCount_ by multiplication with a precomputed reciprocal (exact for every
        // 32-bit h and divisor): cheaper than a division on the hot look-up path.
        __extension__ typedef unsigned __int128 Wide;
        uint64_t low = magic_ * h;
        return static_cast<uint32_t>((static_cast<Wide>(low) * bucketCount_) >> 64);
    }
    // Walks every chain and checks the invariants above.
    bool isValid() const;

    // The two hash functions of the interface.
    static uint32_t oidHash(uint64_t key);
    static uint32_t iterHash(uint64_t key);
    static uint64_t oidKey(uint32_t word, uint32_t tag) {
        return static_cast<uint64_t>(word) | (static_cast<uint64_t>(tag) << 32);
    }

    static const uint32_t oidPrimes[];
    static const uint32_t iterPrimes[];

private:
    struct Node {
        Node *next;
        uint64_t key;
    };
    struct Slab {
        Slab *next;
    };
    static constexpr size_t kSlabBytes = 16384;

    uint32_t hashOf(uint64_t key) const { return kind_ == kOids ? oidHash(key) : iterHash(key); }
    Node *newNode();
    bool rehash(uint32_t newCount);
    void setBucketCount(uint32_t n) {
        bucketCount_ = n;
        magic_ = UINT64_MAX / n + 1;
    }

    Hx_baseheap *heap_;
    Kind kind_;
    const uint32_t *primes_;  // next growth step
    Node **buckets_ = nullptr;
    uint32_t bucketCount_ = 0;
    uint64_t magic_ = 0;
    size_t count_ = 0;
    Node *free_ = nullptr;
    Slab *slabs_ = nullptr;
    char *slabCursor_ = nullptr;
    char *slabEnd_ = nullptr;
};

inline uint32_t nyxRegistry::oidHash(uint64_t key) {
    uint32_t h = (static_cast<uint32_t>(key) + static_cast<uint32_t>(key >> 32)) * 15485863u;
    return (h & 0x80000000u) != 0 ? 0u - h : h;
}

inline uint32_t nyxRegistry::iterHash(uint64_t key) {
    uint32_t h = static_cast<uint32_t>(key) * 15485863u;
    return (h & 0x80000000u) != 0 ? 0u - h : h;
}
