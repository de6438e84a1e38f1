// Open-addressing sets of handed-out identifiers and live iterator handles (see registry.h).
#include "utils/registry.h"

#include <cstring>

#include "utils/heap.h"
#include "utils/hugepages.h"

// Growth lists: each prime about twice the one before.
const uint32_t nyxRegistry::oidPrimes[] = {
    10657,   21317,    42641,    85297,    170603,    341219,    682439,    1364897,   2729803,
    5459621, 10919257, 21838517, 43677041, 87354089, 174708181, 349416367, 698832779, 0};
const uint32_t nyxRegistry::iterPrimes[] = {
    107,     223,     449,     907,      1823,     3659,     7321,      14653,     29311,
    58631,   117269,  234539,  469099,   938207,   1876417,  3752839,   7505681,   15011389,
    30022781, 60045577, 120091177, 240182359, 480364727, 0};

nyxRegistry::nyxRegistry(Hx_baseheap *heap, Kind kind)
    : heap_(heap), kind_(kind), primes_(kind == kOids ? oidPrimes : iterPrimes) {
    setBucketCount(*primes_++);
}

nyxRegistry::~nyxRegistry() {
    if (slots_ != nullptr) heap_->freeBlock(slots_, sizeof(uint64_t) * bucketCount_);
}

int64_t nyxRegistry::slotOf(uint64_t key) const {
    if (slots_ == nullptr || key == 0) return -1;
    for (uint32_t i = bucketOf(hashOf(key));; i = nextBucket(i)) {
        if (slots_[i] == key) return i;
        if (slots_[i] == 0) return -1;
    }
}

size_t nyxRegistry::size() const {
    size_t n = count_ + (hasZero_ ? 1 : 0);
    for (int i = 0; i < kQueue; ++i) {
        uint64_t key = queueKeys_[i];
        if (key == 0 || slotOf(key) >= 0) continue;
        // Counted once: at its first entry in the queue.
        bool first = true;
        for (int k = 0; k < i && first; ++k) first = queueKeys_[k] != key;
        if (first) ++n;
    }
    return n;
}

bool nyxRegistry::place(uint64_t key, uint32_t bucket) {
    uint32_t i = bucket;
    for (; slots_[i] != 0; i = nextBucket(i)) {
        if (slots_[i] == key) return false;
    }
    slots_[i] = key;
    ++count_;
    return true;
}

void nyxRegistry::settle() {
    for (int i = 0; i < kQueue; ++i) {
        if (queueKeys_[i] == 0) continue;
        place(queueKeys_[i], queueBuckets_[i]);
        queueKeys_[i] = 0;
    }
    queued_ = 0;
}

bool nyxRegistry::rehash(uint32_t newCount) {
    size_t bytes = sizeof(uint64_t) * newCount;
    auto *fresh = static_cast<uint64_t *>(heap_->allocBlock(bytes));
    if (fresh == nullptr) return false;
    if (newCount >= kDeferFrom) nyxPreferHugePages(fresh, bytes);
    std::memset(fresh, 0, bytes);
    // Queued keys carry buckets of the old count: they go into the old table first.
    if (slots_ != nullptr) settle();
    uint64_t *old = slots_;
    uint32_t oldCount = bucketCount_;
    setBucketCount(newCount);
    slots_ = fresh;
    limit_ = maxLoad(newCount);
    count_ = 0;
    if (old == nullptr) return true;
    // Keys move in batches whose new buckets are fetched before the first of them is placed.
    constexpr uint32_t kBatch = 16;
    uint64_t keys[kBatch];
    uint32_t buckets[kBatch];
    uint32_t n = 0;
    for (uint32_t i = 0; i <= oldCount; ++i) {
        if (i < oldCount && old[i] != 0) {
            keys[n] = old[i];
            buckets[n] = bucketOf(hashOf(old[i]));
            __builtin_prefetch(&slots_[buckets[n]], 1);
            ++n;
        }
        if (n == kBatch || (i == oldCount && n > 0)) {
            for (uint32_t k = 0; k < n; ++k) place(keys[k], buckets[k]);
            n = 0;
        }
    }
    heap_->freeBlock(old, sizeof(uint64_t) * oldCount);
    return true;
}

bool nyxRegistry::reserveOne() {
    if (slots_ == nullptr) return rehash(bucketCount_);
    size_t held = count_ + static_cast<size_t>(queued_);
    if (held < limit_) return true;
    if (*primes_ != 0 && rehash(*primes_)) {
        ++primes_;
        return true;
    }
    // No larger table: carry on while a free bucket remains after this key.
    return held + 2 <= bucketCount_;
}

bool nyxRegistry::insert(uint64_t key) {
    if (key == 0) return hasZero_ = true;
    // limit_ is 0 until the table exists.
    if (count_ + static_cast<size_t>(queued_) >= limit_ && !reserveOne()) return contains(key);
    uint32_t bucket = bucketOf(hashOf(key));
    if (bucketCount_ < kDeferFrom) {
        place(key, bucket);
        return true;
    }
    // A key may be queued twice, or queued while in the table: placing finds it there. When the
    // home bucket is among the last of its cache line, the next line is fetched too: in a table
    // three quarters full a run often goes on that far.
    __builtin_prefetch(&slots_[bucket], 1);
    if ((reinterpret_cast<uintptr_t>(&slots_[bucket]) & 63) >= 40) {
        __builtin_prefetch(&slots_[bucket + 8 < bucketCount_ ? bucket + 8 : 0], 1);
    }
    unsigned at = queueNext_;
    queueNext_ = (at + 1) % kQueue;
    if (queueKeys_[at] != 0) {
        // Queued kQueue inserts ago: its bucket has had the time to arrive.
        place(queueKeys_[at], queueBuckets_[at]);
        --queued_;
    }
    queueKeys_[at] = key;
    queueBuckets_[at] = bucket;
    ++queued_;
    return true;
}

bool nyxRegistry::remove(uint64_t key) {
    if (key == 0) {
        bool was = hasZero_;
        hasZero_ = false;
        return was;
    }
    bool found = false;
    for (uint64_t &q : queueKeys_) {
        if (q == key) {
            q = 0;
            --queued_;
            found = true;
        }
    }
    int64_t at = slotOf(key);
    if (at < 0) return found;
    // Backward shift: a later key of the run moves into the hole unless its home bucket lies in
    // (hole, j], where moving it would put it before its home.
    uint32_t hole = static_cast<uint32_t>(at);
    for (uint32_t j = nextBucket(hole); slots_[j] != 0; j = nextBucket(j)) {
        uint32_t home = bucketOf(hashOf(slots_[j]));
        bool between = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (!between) {
            slots_[hole] = slots_[j];
            hole = j;
        }
    }
    slots_[hole] = 0;
    --count_;
    return true;
}

bool nyxRegistry::isValid() const {
    int queued = 0;
    for (int i = 0; i < kQueue; ++i) {
        if (queueKeys_[i] == 0) continue;
        ++queued;
        if (slots_ == nullptr || bucketCount_ < kDeferFrom) return false;
        if (queueBuckets_[i] != bucketOf(hashOf(queueKeys_[i]))) return false;
    }
    if (queued != queued_) return false;
    if (slots_ == nullptr) return count_ == 0;
    size_t seen = 0;
    for (uint32_t i = 0; i < bucketCount_; ++i) {
        uint64_t key = slots_[i];
        if (key == 0) continue;
        ++seen;
        // The run from the key's home bucket reaches it without a gap or an earlier copy.
        for (uint32_t k = bucketOf(hashOf(key)); k != i; k = nextBucket(k)) {
            if (slots_[k] == 0 || slots_[k] == key) return false;
        }
    }
    return seen == count_ && count_ + static_cast<size_t>(queued_) < bucketCount_;
}
