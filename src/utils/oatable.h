// nyxOATable - the open-addressing table under the library's hash indexes: the identifier and
// iterator registries (utils/registry.h), the net and instance name maps of a view and the
// pointer index of view lists (dm/netlist).
//
// One array of slots from a heap. Linear probing: an entry sits in its home slot or, when that is
// taken, in the first free slot after it (wrapping at the end), so a search reads one run of
// neighbouring slots and stops at the first free one. Removal leaves no tombstone: the later
// entries of the run shift back into the hole unless that would put one before its home (backward
// shift), so a free slot always ends every run and removed slots are reused at once. Growth moves
// to the index's next capacity when an add would pass the maximum load; every entry is placed
// again, and when the larger array cannot be had the table stays as it was and the add is
// refused (or, for a table that may fill up, goes on while a free slot remains).
//
// What stays with each table is its traits type:
//   Slot           the slot form (a packed 8-byte key, an object pointer, a pointer and its
//                  hash); the all-zero slot, Slot{}, is the free slot, so arrays start zeroed
//   Index          how a hash picks the home slot and how the capacity grows (below)
//   isEmpty(s)     whether a slot is free (tests the word that is never 0 in an entry)
//   hashOf(s)      the hash an entry was placed by: read from the slot or computed from the
//                  object it names (the one traits call that may read outside the array)
//   maxLoad(cap)   the most entries a table of cap slots holds before it grows
//   kHugeFrom      arrays of at least this many slots get huge-page advice (utils/hugepages.h)
//   kPrefetchOnGrow  growth moves entries in batches whose new home slots are fetched first
// Key comparison is no part of the traits: a search takes a predicate (probe()), so a table can
// compare whole keys, hashes then names, or hand each entry of one hash to its caller. Traits may
// carry state (the registries' choice of hash); stateless traits take no room.
//
// Indexes (capacity C, hash h):
//   nyxOAMaskIndex   C = 2^k <= 2^30, home = h & (C - 1), growth doubles
//   nyxOAMixIndex    C = 2^k <= 2^30, home = (h * 0x9e3779b1 mod 2^32) >> (32 - k), growth doubles
//   nyxOAPrimeIndex  C from a growth list of primes, home = h mod C (by a reciprocal)
//
// Invariants (checked by isValid()):
//   size() == |{ i : !isEmpty(slot[i]) }|;  slots == null  =>  size() == 0
//   size() < capacity(), and size() <= maxLoad(capacity()) unless growth failed
//   every entry at i: the slots home(hashOf(slot[i])) .. i, cyclically, are all taken
//   bytes of the array == sizeof(Slot) * capacity()
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "utils/heap.h"
#include "utils/hugepages.h"

// Home slot by the low bits of the hash.
class nyxOAMaskIndex {
public:
    static constexpr uint32_t kMaxCapacity = 1u << 30;

    uint32_t capacity() const { return d_mask + 1; }
    uint32_t home(uint32_t h) const { return h & d_mask; }
    uint32_t next(uint32_t i) const { return (i + 1) & d_mask; }
    // The capacity after growth, 0 when there is none.
    uint32_t grown() const { return capacity() < kMaxCapacity ? capacity() * 2 : 0; }
    void setCapacity(uint32_t cap) { d_mask = cap - 1; }
    // The least power of two from `least` up whose half holds `expected` entries.
    static uint32_t capacityFor(uint32_t least, uint32_t expected) {
        uint32_t cap = least;
        while (cap / 2 < expected && cap < kMaxCapacity) cap *= 2;
        return cap;
    }

private:
    uint32_t d_mask = 0;
};

// Home slot by the high bits of a multiplicative mix, so that every bit of the hash counts.
class nyxOAMixIndex {
public:
    uint32_t capacity() const { return d_mask + 1; }
    uint32_t home(uint32_t h) const { return (h * 0x9e3779b1u) >> d_shift; }
    uint32_t next(uint32_t i) const { return (i + 1) & d_mask; }
    uint32_t grown() const { return capacity() < nyxOAMaskIndex::kMaxCapacity ? capacity() * 2 : 0; }
    void setCapacity(uint32_t cap) {
        uint32_t bits = 0;
        while ((uint32_t{1} << bits) < cap) ++bits;
        d_mask = cap - 1;
        d_shift = 32 - bits;
    }

private:
    uint32_t d_mask = 0;
    uint32_t d_shift = 32;  // 32 - log2(capacity)
};

// Home slot h mod C for a prime C of a growth list (ended by 0); the table starts at its first.
class nyxOAPrimeIndex {
public:
    explicit nyxOAPrimeIndex(const uint32_t *primes) : d_next(primes) { setCapacity(*primes); }

    uint32_t capacity() const { return d_count; }
    uint32_t home(uint32_t h) const {
        // h mod C by multiplication with a precomputed reciprocal (exact for every 32-bit h and
        // divisor): cheaper than a division on the hot look-up path.
        __extension__ typedef unsigned __int128 Wide;
        uint64_t low = d_magic * h;
        return static_cast<uint32_t>((static_cast<Wide>(low) * d_count) >> 64);
    }
    uint32_t next(uint32_t i) const { return i + 1 == d_count ? 0 : i + 1; }
    uint32_t grown() const { return *d_next; }
    void setCapacity(uint32_t n) {
        d_count = n;
        d_magic = UINT64_MAX / n + 1;
        while (*d_next != 0 && *d_next <= n) ++d_next;
    }

private:
    const uint32_t *d_next;  // the next growth step
    uint32_t d_count = 0;
    uint64_t d_magic = 0;
};

template <class Traits>
class nyxOATable {
public:
    using Slot = typename Traits::Slot;
    using Index = typename Traits::Index;
    static_assert(std::is_trivially_copyable_v<Slot>, "slots are moved and cleared as bytes");

    explicit nyxOATable(Hx_baseheap *heap, Traits traits = Traits{}, Index index = Index{})
        : d_traits(traits), d_heap(heap), d_index(index) {}
    ~nyxOATable() { release(); }
    nyxOATable(const nyxOATable &) = delete;
    nyxOATable &operator=(const nyxOATable &) = delete;

    // Makes the array of `cap` slots; false when out of memory (the table has none then).
    bool create(uint32_t cap) { return resize(cap, [] {}); }
    // Frees the array; the table is empty and has none.
    void release() {
        if (d_slots != nullptr) d_heap->freeBlock(d_slots, bytes(capacity()));
        d_slots = nullptr;
        d_count = 0;
    }

    bool created() const { return d_slots != nullptr; }
    Hx_baseheap *heap() const { return d_heap; }
    uint32_t size() const { return d_count; }
    uint32_t capacity() const { return d_index.capacity(); }
    const Traits &traits() const { return d_traits; }
    uint32_t hashOf(const Slot &s) const { return d_traits.hashOf(s); }
    uint32_t home(uint32_t h) const { return d_index.home(h); }
    uint32_t next(uint32_t i) const { return d_index.next(i); }
    const Slot &operator[](uint32_t i) const { return d_slots[i]; }
    bool isFree(uint32_t i) const { return d_traits.isEmpty(d_slots[i]); }
    // Whether one more entry fits under the maximum load.
    bool hasRoom() const { return d_count < d_traits.maxLoad(capacity()); }
    void prefetch(uint32_t i) const { __builtin_prefetch(&d_slots[i]); }
    void prefetchForWrite(uint32_t i) const { __builtin_prefetch(&d_slots[i], 1); }

    // Walks the run from slot `start` to the first entry that `match` accepts or the free slot
    // that ends the run, and returns where it stopped (isFree() tells which).
    template <class Match>
    uint32_t probe(uint32_t start, Match &&match) const {
        uint32_t i = start;
        for (;; i = next(i)) {
            const Slot &s = d_slots[i];
            if (d_traits.isEmpty(s) || match(s)) return i;
        }
    }
    // The entry that `match` accepts in the run from slot `start`, or null when the run ends
    // first (for searches that need the entry, not where the run ended).
    template <class Match>
    const Slot *find(uint32_t start, Match &&match) const {
        for (uint32_t i = start;; i = next(i)) {
            const Slot &s = d_slots[i];
            if (d_traits.isEmpty(s)) return nullptr;
            if (match(s)) return &s;
        }
    }
    // Puts an entry into free slot i (one that ended a search for it, with no change since).
    void fill(uint32_t i, const Slot &s) {
        d_slots[i] = s;
        ++d_count;
    }
    // Puts an entry into the first free slot from `from` on (the table has room).
    void placeFrom(uint32_t from, const Slot &s) {
        uint32_t i = from;
        while (!isFree(i)) i = next(i);
        fill(i, s);
    }
    void place(const Slot &s) { placeFrom(home(hashOf(s)), s); }

    // Moves to the index's next capacity. False, the table unchanged, when there is none or
    // memory ran out. `beforeMove` runs once the new array is had, before an entry moves.
    template <class BeforeMove>
    bool grow(BeforeMove &&beforeMove) {
        uint32_t cap = d_index.grown();
        return cap != 0 && resize(cap, beforeMove);
    }
    bool grow() { return grow([] {}); }

    // Removes the entry at slot i, shifting later entries of its run back.
    void eraseAt(uint32_t i) {
        // Local copies: a store into a slot could alias the index's fields for all the compiler
        // knows, and would make it read them again at every step.
        Slot *const slots = d_slots;
        const Index index = d_index;
        const Traits traits = d_traits;
        uint32_t hole = i;
        for (uint32_t j = index.next(hole); !traits.isEmpty(slots[j]); j = index.next(j)) {
            // The entry at j may move into the hole unless its home lies cyclically in
            // (hole, j], where moving it would put it before its home.
            uint32_t at = index.home(traits.hashOf(slots[j]));
            bool between = hole <= j ? (at > hole && at <= j) : (at > hole || at <= j);
            if (!between) {
                slots[hole] = slots[j];
                hole = j;
            }
        }
        slots[hole] = Slot{};
        --d_count;
    }

    // Checks the invariants above that hold for every table; `entryOk(i, slot)` adds the
    // table's own checks of an entry.
    template <class EntryOk>
    bool isValid(EntryOk &&entryOk) const {
        if (d_slots == nullptr) return d_count == 0;
        uint32_t n = 0;
        for (uint32_t i = 0; i < capacity(); ++i) {
            if (isFree(i)) continue;
            ++n;
            if (!entryOk(i, d_slots[i])) return false;
            for (uint32_t k = home(hashOf(d_slots[i])); k != i; k = next(k)) {
                if (isFree(k)) return false;
            }
        }
        return n == d_count && d_count < capacity();
    }

private:
    static size_t bytes(uint32_t cap) { return sizeof(Slot) * static_cast<size_t>(cap); }

    // Out of line: growth is rare, and kept apart it leaves the add paths short.
    template <class BeforeMove>
    [[gnu::noinline]] bool resize(uint32_t cap, BeforeMove &&beforeMove) {
        auto *fresh = static_cast<Slot *>(d_heap->allocBlock(bytes(cap)));
        if (fresh == nullptr) return false;
        if (cap >= Traits::kHugeFrom) nyxPreferHugePages(fresh, bytes(cap));
        std::memset(static_cast<void *>(fresh), 0, bytes(cap));
        beforeMove();
        Slot *old = d_slots;
        uint32_t oldCap = capacity();
        d_slots = fresh;
        d_index.setCapacity(cap);
        d_count = 0;
        if (old == nullptr) return true;
        if constexpr (Traits::kPrefetchOnGrow) {
            moveBatched(old, oldCap);
        } else {
            // In slot order the new home slots rise too, so the new array is written nearly in
            // sequence.
            for (uint32_t i = 0; i < oldCap; ++i) {
                if (!d_traits.isEmpty(old[i])) place(old[i]);
            }
        }
        d_heap->freeBlock(old, bytes(oldCap));
        return true;
    }

    // Entries move in batches whose new home slots are fetched before the first of them is
    // placed: for arrays far larger than the caches, the waits for memory overlap.
    void moveBatched(const Slot *old, uint32_t oldCap) {
        constexpr uint32_t kBatch = 16;
        Slot batch[kBatch];
        uint32_t homes[kBatch];
        uint32_t n = 0;
        for (uint32_t i = 0; i <= oldCap; ++i) {
            if (i < oldCap && !d_traits.isEmpty(old[i])) {
                batch[n] = old[i];
                homes[n] = home(hashOf(old[i]));
                prefetchForWrite(homes[n]);
                ++n;
            }
            if (n == kBatch || (i == oldCap && n > 0)) {
                for (uint32_t k = 0; k < n; ++k) placeFrom(homes[k], batch[k]);
                n = 0;
            }
        }
    }

    [[no_unique_address]] Traits d_traits;
    Hx_baseheap *d_heap;
    Slot *d_slots = nullptr;
    Index d_index;
    uint32_t d_count = 0;
};
