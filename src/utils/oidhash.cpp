// nyxOIDHashTable and NyxIdTab: see oidhash.h.
#include "utils/oidhash.h"

#include <cstring>

#include "utils/heap.h"

namespace {

int32_t significantBits(int32_t v) {
    int32_t bits = 0;
    for (uint32_t u = static_cast<uint32_t>(v); u != 0; u >>= 1) ++bits;
    return bits < 1 ? 1 : bits;
}

} // namespace

nyxOIDHashTable::nyxOIDHashTable(Hx_baseheap *heap, int32_t buckets, int32_t maxChain)
    : d_heap(heap != nullptr ? heap : nyxDefaultPropMgrHeap()), d_maxChain(maxChain > 0 ? maxChain : 1) {
    setCount(buckets);
}

nyxOIDHashTable::~nyxOIDHashTable() {
    clear();
    if (d_buckets != nullptr) d_heap->freeBlock(d_buckets, sizeof(void *) * static_cast<size_t>(d_nbuckets));
}

void nyxOIDHashTable::setCount(int32_t buckets) {
    d_nbuckets = buckets < 1 ? 1 : buckets;
    d_exponent = significantBits(buckets);
}

bool nyxOIDHashTable::ensureBuckets() {
    if (d_buckets != nullptr) return true;
    if (d_heap == nullptr) return false;
    size_t bytes = sizeof(void *) * static_cast<size_t>(d_nbuckets);
    d_buckets = static_cast<nyxOIDHashTableBucket **>(d_heap->allocBlock(bytes));
    if (d_buckets == nullptr) return false;
    std::memset(static_cast<void *>(d_buckets), 0, bytes);
    return true;
}

nyxOIDHashTableBucket *nyxOIDHashTable::find_bucket(uint32_t key) const {
    if (d_buckets == nullptr) return nullptr;
    for (nyxOIDHashTableBucket *e = d_buckets[bucketOf(key)]; e; e = e->next)
        if (e->key == key) return e;
    return nullptr;
}

void *nyxOIDHashTable::find_entry(uint32_t key) const {
    const nyxOIDHashTableBucket *e = find_bucket(key);
    return e != nullptr ? e->value : nullptr;
}

bool nyxOIDHashTable::add_entry(uint32_t key, void *value) {
    if (!ensureBuckets()) return false;
    int32_t chain = 0;
    nyxOIDHashTableBucket *&head = d_buckets[bucketOf(key)];
    for (const nyxOIDHashTableBucket *e = head; e; e = e->next) {
        if (e->key == key) return false;
        ++chain;
    }
    auto *e = static_cast<nyxOIDHashTableBucket *>(d_heap->allocBlock(sizeof(nyxOIDHashTableBucket)));
    if (e == nullptr) return false;
    *e = nyxOIDHashTableBucket{key, value, head};
    head = e;
    ++d_count;
    if (chain + 1 > d_maxChain) rebuild();
    return true;
}

// Grows to the next size of the series and rehashes every entry. When the new bucket array
// cannot be had the table stays as it is: longer chains, still correct.
void nyxOIDHashTable::rebuild() {
    static const int32_t kDelta[4] = {5, 3, 3, 1};
    int32_t exponent = d_exponent + 1;
    if (exponent > 30) return;
    int32_t count = (int32_t{1} << exponent) - kDelta[exponent % 4];
    size_t bytes = sizeof(void *) * static_cast<size_t>(count);
    auto *fresh = static_cast<nyxOIDHashTableBucket **>(d_heap->allocBlock(bytes));
    if (fresh == nullptr) return;
    std::memset(static_cast<void *>(fresh), 0, bytes);
    for (int32_t i = 0; i < d_nbuckets; ++i) {
        for (nyxOIDHashTableBucket *e = d_buckets[i]; e;) {
            nyxOIDHashTableBucket *next = e->next;
            nyxOIDHashTableBucket *&head = fresh[e->key % static_cast<uint32_t>(count)];
            e->next = head;
            head = e;
            e = next;
        }
    }
    d_heap->freeBlock(d_buckets, sizeof(void *) * static_cast<size_t>(d_nbuckets));
    d_buckets = fresh;
    d_nbuckets = count;
    d_exponent = exponent;
}

bool nyxOIDHashTable::change_entry(uint32_t key, void *value) {
    nyxOIDHashTableBucket *e = find_bucket(key);
    if (e == nullptr) return false;
    e->value = value;
    return true;
}

bool nyxOIDHashTable::remove_entry(uint32_t key) {
    if (d_buckets == nullptr) return false;
    for (nyxOIDHashTableBucket **link = &d_buckets[bucketOf(key)]; *link; link = &(*link)->next) {
        nyxOIDHashTableBucket *e = *link;
        if (e->key != key) continue;
        *link = e->next;
        d_heap->freeBlock(e, sizeof(nyxOIDHashTableBucket));
        --d_count;
        return true;
    }
    return false;
}

void nyxOIDHashTable::clean_entries(Hx_baseheap *heap) {
    if (d_buckets == nullptr || heap == nullptr) return;
    for (int32_t i = 0; i < d_nbuckets; ++i) {
        for (nyxOIDHashTableBucket **link = &d_buckets[i]; *link;) {
            nyxOIDHashTableBucket *e = *link;
            if (Hx_topheap::allocated(e->value) == heap) {
                *link = e->next;
                d_heap->freeBlock(e, sizeof(nyxOIDHashTableBucket));
                --d_count;
            } else {
                link = &e->next;
            }
        }
    }
}

void nyxOIDHashTable::clear() {
    if (d_buckets != nullptr) {
        for (int32_t i = 0; i < d_nbuckets; ++i) {
            for (nyxOIDHashTableBucket *e = d_buckets[i]; e;) {
                nyxOIDHashTableBucket *next = e->next;
                d_heap->freeBlock(e, sizeof(nyxOIDHashTableBucket));
                e = next;
            }
        }
        d_heap->freeBlock(d_buckets, sizeof(void *) * static_cast<size_t>(d_nbuckets));
        d_buckets = nullptr;
    }
    d_count = 0;
    setCount(defaultBuckets);
}

int32_t nyxOIDHashTable::longestChain() const {
    int32_t longest = 0;
    for (int32_t i = 0; d_buckets != nullptr && i < d_nbuckets; ++i) {
        int32_t n = 0;
        for (const nyxOIDHashTableBucket *e = d_buckets[i]; e; e = e->next) ++n;
        if (n > longest) longest = n;
    }
    return longest;
}

void nyxOIDHashTable::print_stats(FILE *out) const {
    int32_t empty = 0, longest = 0, worst = 0;
    for (int32_t i = 0; i < d_nbuckets; ++i) {
        int32_t n = 0;
        for (const nyxOIDHashTableBucket *e = d_buckets != nullptr ? d_buckets[i] : nullptr; e; e = e->next) ++n;
        if (n == 0) ++empty;
        if (n > longest) {
            longest = n;
            worst = i;
        }
    }
    int32_t filled = d_nbuckets - empty;
    std::fprintf(out, "** Hash Table Statistics **\n\n");
    std::fprintf(out, "   Total Entries           : %d\n", d_count);
    std::fprintf(out, "   Table size              : %ld\n", static_cast<long>(d_nbuckets));
    std::fprintf(out, "   Entries per Table slot  : %.2f\n", static_cast<double>(d_count) / d_nbuckets);
    std::fprintf(out, "   Entries per filled slot : %.2f\n", filled > 0 ? static_cast<double>(d_count) / filled : 0.0);
    std::fprintf(out, "   Empty bins              : %d\n", empty);
    std::fprintf(out, "   Max Bin Entries         : %d\n", longest);
    if (longest > 1) {
        std::fprintf(out, "   Contents from Worst Bin (%d):\n", worst);
        for (const nyxOIDHashTableBucket *e = d_buckets[worst]; e; e = e->next)
            std::fprintf(out, "      hash value: %ld  OID: %ld\n", static_cast<long>(bucketOf(e->key)),
                         static_cast<long>(e->key));
    }
}

// One line per bucket: its number, then its entries (an empty bucket ends its line at once).
void nyxOIDHashTable::dump_table(FILE *out) const {
    for (int32_t i = 0; i < d_nbuckets; ++i) {
        std::fprintf(out, "%4d :", i);
        const nyxOIDHashTableBucket *e = d_buckets != nullptr ? d_buckets[i] : nullptr;
        if (e == nullptr) std::fputc('\n', out);
        for (; e; e = e->next) std::fprintf(out, "OID : %ld, Ptr : %p\n", static_cast<long>(e->key), e->value);
    }
}

void nyxOIDHashTable::iterate(void (*fn)(uint32_t, void *, void *), void *arg) const {
    if (fn == nullptr || d_buckets == nullptr) return;
    for (int32_t i = 0; i < d_nbuckets; ++i)
        for (const nyxOIDHashTableBucket *e = d_buckets[i]; e; e = e->next) fn(e->key, e->value, arg);
}

bool nyxOIDHashTable::isValid() const {
    int32_t n = 0;
    for (int32_t i = 0; d_buckets != nullptr && i < d_nbuckets; ++i) {
        for (const nyxOIDHashTableBucket *e = d_buckets[i]; e; e = e->next) {
            if (bucketOf(e->key) != static_cast<uint32_t>(i)) return false;
            for (const nyxOIDHashTableBucket *f = e->next; f; f = f->next)
                if (f->key == e->key) return false;
            ++n;
        }
    }
    return n == d_count && d_nbuckets >= 1;
}

// ---------------------------------------------------------------------------------------------
// NyxIdTab

NyxIdTab::NyxIdTab(Hx_baseheap *heap) : d_table(heap != nullptr ? heap : nyxDefaultGlobalHeap()) {}

bool NyxIdTab::update_id(uint32_t id, void *ptr) {
    return d_table.change_entry(id, ptr) || d_table.add_entry(id, ptr);
}
