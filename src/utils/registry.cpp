// Open-addressing sets of handed-out identifiers and live iterator handles (see registry.h).
#include "utils/registry.h"

#include "utils/heap.h"

// Growth lists: each prime about twice the one before.
const uint32_t nyxRegistry::oidPrimes[] = {
    10657,   21317,    42641,    85297,    170603,    341219,    682439,    1364897,   2729803,
    5459621, 10919257, 21838517, 43677041, 87354089, 174708181, 349416367, 698832779, 0};
const uint32_t nyxRegistry::iterPrimes[] = {
    107,     223,     449,     907,      1823,     3659,     7321,      14653,     29311,
    58631,   117269,  234539,  469099,   938207,   1876417,  3752839,   7505681,   15011389,
    30022781, 60045577, 120091177, 240182359, 480364727, 0};

nyxRegistry::nyxRegistry(Hx_baseheap *heap, Kind kind)
    : table_(heap, Traits{kind}, nyxOAPrimeIndex(kind == kOids ? oidPrimes : iterPrimes)) {}

size_t nyxRegistry::size() const {
    size_t n = table_.size() + (hasZero_ ? 1 : 0);
    for (int i = 0; i < kQueue; ++i) {
        uint64_t key = queueKeys_[i];
        if (key == 0 || !table_.isFree(slotFrom(bucketOf(hashOf(key)), key))) continue;
        // Counted once: at its first entry in the queue.
        bool first = true;
        for (int k = 0; k < i && first; ++k) first = queueKeys_[k] != key;
        if (first) ++n;
    }
    return n;
}

void nyxRegistry::settle() {
    for (int i = 0; i < kQueue; ++i) {
        if (queueKeys_[i] == 0) continue;
        place(queueKeys_[i], queueBuckets_[i]);
        queueKeys_[i] = 0;
    }
    queued_ = 0;
}

bool nyxRegistry::reserveOne() {
    if (!table_.created()) {
        if (!table_.create(table_.capacity())) return false;
        limit_ = Traits::maxLoad(table_.capacity());
        return true;
    }
    size_t held = table_.size() + static_cast<size_t>(queued_);
    if (held < limit_) return true;
    // Queued keys carry buckets of the old count: they go into the old table first.
    if (table_.grow([this] { settle(); })) {
        limit_ = Traits::maxLoad(table_.capacity());
        return true;
    }
    // No larger table: carry on while a free bucket remains after this key.
    return held + 2 <= table_.capacity();
}

bool nyxRegistry::insert(uint64_t key) {
    if (key == 0) return hasZero_ = true;
    // limit_ is 0 until the table exists.
    if (table_.size() + static_cast<size_t>(queued_) >= limit_ && !reserveOne()) return contains(key);
    uint32_t bucket = bucketOf(hashOf(key));
    if (table_.capacity() < kDeferFrom) {
        place(key, bucket);
        return true;
    }
    // A key may be queued twice, or queued while in the table: placing finds it there. When the
    // home bucket is among the last of its cache line, the next line is fetched too: in a table
    // three quarters full a run often goes on that far.
    table_.prefetchForWrite(bucket);
    if ((reinterpret_cast<uintptr_t>(&table_[bucket]) & 63) >= 40) {
        table_.prefetchForWrite(bucket + 8 < table_.capacity() ? bucket + 8 : 0);
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
    if (!table_.created()) return found;
    uint32_t at = slotFrom(bucketOf(hashOf(key)), key);
    if (table_.isFree(at)) return found;
    table_.eraseAt(at);
    return true;
}

bool nyxRegistry::isValid() const {
    int queued = 0;
    for (int i = 0; i < kQueue; ++i) {
        if (queueKeys_[i] == 0) continue;
        ++queued;
        if (!table_.created() || table_.capacity() < kDeferFrom) return false;
        if (queueBuckets_[i] != bucketOf(hashOf(queueKeys_[i]))) return false;
    }
    if (queued != queued_) return false;
    // No earlier copy of a key in the run from its home bucket.
    auto single = [this](uint32_t i, uint64_t key) { return slotFrom(bucketOf(hashOf(key)), key) == i; };
    return table_.isValid(single) &&
           (!table_.created() || table_.size() + static_cast<size_t>(queued_) < table_.capacity());
}
