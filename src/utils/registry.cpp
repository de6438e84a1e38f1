// Chained hash sets of handed-out identifiers and live iterator handles (see registry.h).
#include "utils/registry.h"

#include <cstring>

#include "utils/heap.h"

const uint32_t nyxRegistry::oidPrimes[] = {10657,    42641,    170579,    682321,    2729303,
                                           10917271, 43669097, 174676399, 698705597, 0};
const uint32_t nyxRegistry::iterPrimes[] = {107,    431,     1733,    6947,     27791,     111187,
                                            444767, 1779097, 7116409, 28465639, 113862557, 0};

nyxRegistry::nyxRegistry(Hx_baseheap *heap, Kind kind)
    : heap_(heap), kind_(kind), primes_(kind == kOids ? oidPrimes : iterPrimes) {
    setBucketCount(*primes_++);
}

nyxRegistry::~nyxRegistry() {
    if (buckets_ != nullptr) heap_->freeBlock(buckets_, sizeof(Node *) * bucketCount_);
    while (slabs_ != nullptr) {
        Slab *next = slabs_->next;
        heap_->freeBlock(slabs_, kSlabBytes);
        slabs_ = next;
    }
}

nyxRegistry::Node *nyxRegistry::newNode() {
    if (free_ != nullptr) {
        Node *n = free_;
        free_ = n->next;
        return n;
    }
    if (slabCursor_ == slabEnd_) {
        // A slab starts with its link to the previous slab, padded to one node.
        void *block = heap_->allocBlock(kSlabBytes);
        if (block == nullptr) return nullptr;
        Slab *slab = static_cast<Slab *>(block);
        slab->next = slabs_;
        slabs_ = slab;
        slabCursor_ = static_cast<char *>(block) + sizeof(Node);
        slabEnd_ = static_cast<char *>(block) + kSlabBytes;
    }
    Node *n = reinterpret_cast<Node *>(slabCursor_);
    slabCursor_ += sizeof(Node);
    return n;
}

bool nyxRegistry::rehash(uint32_t newCount) {
    size_t bytes = sizeof(Node *) * newCount;
    Node **fresh = static_cast<Node **>(heap_->allocBlock(bytes));
    if (fresh == nullptr) return false;
    std::memset(fresh, 0, bytes);
    Node **old = buckets_;
    uint32_t oldCount = bucketCount_;
    setBucketCount(newCount);
    buckets_ = fresh;
    if (old != nullptr) {
        for (uint32_t i = 0; i < oldCount; ++i) {
            for (Node *n = old[i]; n != nullptr;) {
                Node *next = n->next;
                Node **chain = &buckets_[bucketOf(hashOf(n->key))];
                n->next = *chain;
                *chain = n;
                n = next;
            }
        }
        heap_->freeBlock(old, sizeof(Node *) * oldCount);
    }
    return true;
}

bool nyxRegistry::insert(uint64_t key) {
    if (buckets_ == nullptr && !rehash(bucketCount_)) return false;
    if (contains(key)) return true;
    // Grow before inserting so that a failed growth leaves a working (if longer-chained) table.
    if (count_ >= 2 * static_cast<size_t>(bucketCount_) && *primes_ != 0) {
        if (rehash(*primes_)) ++primes_;
    }
    Node *n = newNode();
    if (n == nullptr) return false;
    Node **chain = &buckets_[bucketOf(hashOf(key))];
    n->key = key;
    n->next = *chain;
    *chain = n;
    ++count_;
    return true;
}

bool nyxRegistry::remove(uint64_t key) {
    if (buckets_ == nullptr) return false;
    for (Node **link = &buckets_[bucketOf(hashOf(key))]; *link != nullptr; link = &(*link)->next) {
        Node *n = *link;
        if (n->key == key) {
            *link = n->next;
            n->next = free_;
            free_ = n;
            --count_;
            return true;
        }
    }
    return false;
}

bool nyxRegistry::isValid() const {
    if (buckets_ == nullptr) return count_ == 0;
    size_t seen = 0;
    for (uint32_t i = 0; i < bucketCount_; ++i) {
        for (const Node *n = buckets_[i]; n != nullptr; n = n->next) {
            if (bucketOf(hashOf(n->key)) != i) return false;
            for (const Node *m = n->next; m != nullptr; m = m->next) {
                if (m->key == n->key) return false;
            }
            ++seen;
        }
    }
    return seen == count_;
}
