// nyxStringTabHash and nyxStringTab: see stringtab.h.
#include "utils/stringtab.h"

#include <cstring>
#include <new>

#include "utils/heap.h"

// ---------------------------------------------------------------------------------------------
// nyxStringTabHash

nyxStringTabHash::nyxStringTabHash(Hx_baseheap *heap, int32_t buckets)
    : d_heap(heap != nullptr ? heap : nyxDefaultGlobalHeap()), d_nbuckets(buckets > 0 ? buckets : defaultBuckets) {}

nyxStringTabHash::~nyxStringTabHash() {
    if (d_buckets == nullptr) return;
    for (int32_t i = 0; i < d_nbuckets; ++i) {
        for (Entry *e = d_buckets[i]; e;) {
            Entry *next = e->next;
            d_heap->freeBlock(e, sizeof(Entry));
            e = next;
        }
    }
    d_heap->freeBlock(d_buckets, sizeof(Entry *) * static_cast<size_t>(d_nbuckets));
}

uint32_t nyxStringTabHash::hash(const char *s) {
    uint32_t h = 0;
    if (s == nullptr) return 0;
    for (; *s; ++s) {
        h = (h << 4) + static_cast<unsigned char>(*s);
        uint32_t g = h & 0xF0000000u;
        if (g != 0) h = h ^ (g >> 24) ^ g;
    }
    return h;
}

nyxStringTabHash::Entry *nyxStringTabHash::lookup(const char *s) const {
    if (d_buckets == nullptr || s == nullptr) return nullptr;
    for (Entry *e = d_buckets[hash(s) % static_cast<uint32_t>(d_nbuckets)]; e; e = e->next)
        if (std::strcmp(e->str, s) == 0) return e;
    return nullptr;
}

bool nyxStringTabHash::add(const char *s, int32_t value) {
    if (s == nullptr || d_heap == nullptr) return false;
    if (lookup(s) != nullptr) return true;
    if (d_buckets == nullptr) {
        size_t bytes = sizeof(Entry *) * static_cast<size_t>(d_nbuckets);
        d_buckets = static_cast<Entry **>(d_heap->allocBlock(bytes));
        if (d_buckets == nullptr) return false;
        std::memset(static_cast<void *>(d_buckets), 0, bytes);
    }
    auto *e = static_cast<Entry *>(d_heap->allocBlock(sizeof(Entry)));
    if (e == nullptr) return false;
    Entry *&head = d_buckets[hash(s) % static_cast<uint32_t>(d_nbuckets)];
    *e = Entry{head, s, value};
    head = e;
    ++d_count;
    return true;
}

bool nyxStringTabHash::find(const char *s, int32_t *value) const {
    const Entry *e = lookup(s);
    if (e != nullptr && value != nullptr) *value = e->value;
    return e != nullptr;
}

int32_t nyxStringTabHash::find(const char *s) const {
    const Entry *e = lookup(s);
    return e != nullptr ? e->value : -1;
}

bool nyxStringTabHash::del(const char *s) {
    if (d_buckets == nullptr || s == nullptr) return false;
    for (Entry **link = &d_buckets[hash(s) % static_cast<uint32_t>(d_nbuckets)]; *link; link = &(*link)->next) {
        Entry *e = *link;
        if (std::strcmp(e->str, s) != 0) continue;
        *link = e->next;
        d_heap->freeBlock(e, sizeof(Entry));
        --d_count;
        return true;
    }
    return false;
}

void nyxStringTabHash::iterate(void (*fn)(const char *, int32_t, void *), void *arg) const {
    if (d_buckets == nullptr || fn == nullptr) return;
    for (int32_t i = 0; i < d_nbuckets; ++i)
        for (const Entry *e = d_buckets[i]; e; e = e->next) fn(e->str, e->value, arg);
}

// ---------------------------------------------------------------------------------------------
// nyxStringTab

nyxStringTab::nyxStringTab(Hx_baseheap *heap, bool hash, int32_t buckets, bool store)
    : d_heap(heap), d_hashing(hash), d_storing(store), d_buckets(buckets) {}

nyxStringTab::~nyxStringTab() {
    if (d_hash != nullptr) {
        d_hash->~nyxStringTabHash();
        d_heap->freeBlock(d_hash, sizeof(nyxStringTabHash));
    }
    for (Block *b = d_first; b;) {
        Block *next = b->next;
        d_heap->freeBlock(b, sizeof(Block) + b->capacity);
        b = next;
    }
    if (d_index != nullptr) d_heap->freeBlock(d_index, sizeof(Block *) * static_cast<size_t>(d_indexCap));
}

bool nyxStringTab::useHeap() {
    if (d_heap == nullptr) d_heap = nyxDefaultGlobalHeap();
    if (d_heap == nullptr) return false;
    if (d_hashing && d_hash == nullptr) {
        void *mem = d_heap->allocBlock(sizeof(nyxStringTabHash));
        if (mem == nullptr) return false;
        d_hash = new (mem) nyxStringTabHash(d_heap, d_buckets);
    }
    return true;
}

// The last block when it can take `bytes` more text and another string, else a new block (one
// of its own, sized to the string, for a string longer than a text area).
nyxStringTab::Block *nyxStringTab::room(uint32_t bytes) {
    if (d_last != nullptr && d_last->count < stringsPerBlock && d_last->capacity - d_last->used >= bytes) return d_last;
    if (d_nblocks == d_indexCap) {
        int32_t cap = d_indexCap ? d_indexCap * 2 : 16;
        auto *grown = static_cast<Block **>(d_heap->allocBlock(sizeof(Block *) * static_cast<size_t>(cap)));
        if (grown == nullptr) return nullptr;
        if (d_index != nullptr) {
            std::memcpy(static_cast<void *>(grown), d_index, sizeof(Block *) * static_cast<size_t>(d_nblocks));
            d_heap->freeBlock(d_index, sizeof(Block *) * static_cast<size_t>(d_indexCap));
        }
        d_index = grown;
        d_indexCap = cap;
    }
    uint32_t capacity = bytes > textBytes ? bytes : textBytes;
    auto *b = static_cast<Block *>(d_heap->allocBlock(sizeof(Block) + capacity));
    if (b == nullptr) return nullptr;
    b->next = nullptr;
    b->count = 0;
    b->used = 0;
    b->capacity = capacity;
    if (d_last) d_last->next = b;
    else d_first = b;
    d_last = b;
    d_index[d_nblocks++] = b;
    return b;
}

int32_t nyxStringTab::add(const char *s, bool useValue, int32_t value) {
    if (s == nullptr || *s == '\0' || !useHeap()) return -1;
    if (d_hash != nullptr) {
        int32_t found;
        if (d_hash->find(s, &found)) return found;
    }
    int32_t index = -1;
    const char *kept = s;
    if (d_storing) {
        size_t len = std::strlen(s);
        if (len >= UINT32_MAX / 2 || d_stored == INT32_MAX) return -1;
        Block *b = room(static_cast<uint32_t>(len + 1));
        if (b == nullptr) return -1;
        char *copy = b->text() + b->used;
        std::memcpy(copy, s, len + 1);
        b->used += static_cast<uint32_t>(len + 1);
        b->strings[b->count] = copy;
        index = stringsPerBlock * (d_nblocks - 1) + b->count;
        ++b->count;
        ++d_stored;
        if (static_cast<int64_t>(len) + 1 > d_maxLen) d_maxLen = static_cast<int32_t>(len + 1);
        kept = copy;
    }
    if (d_hash != nullptr && !d_hash->add(kept, useValue ? value : index)) return -1;
    return index;
}

int32_t nyxStringTab::addString(const char *s) { return add(s, false, 0); }

int32_t nyxStringTab::addString(const char *s, int32_t value) { return add(s, true, value); }

int32_t nyxStringTab::checkString(const char *s) const { return d_hash != nullptr ? d_hash->find(s) : -1; }

const char *nyxStringTab::getString(int32_t index) const {
    if (index < 0) return "";
    int32_t blk = index / stringsPerBlock, pos = index % stringsPerBlock;
    if (blk >= d_nblocks || pos >= d_index[blk]->count) return nullptr;
    return d_index[blk]->strings[pos];
}

bool nyxStringTab::deleteString(const char *s) { return d_hash != nullptr && d_hash->del(s); }

int32_t nyxStringTab::size() const {
    if (d_storing) return d_stored;
    return d_hash != nullptr ? d_hash->size() : 0;
}

void nyxStringTab::iterate(void (*fn)(const char *, int32_t, void *), void *arg) const {
    if (fn == nullptr) return;
    if (!d_storing) {
        if (d_hash != nullptr) d_hash->iterate(fn, arg);
        return;
    }
    for (int32_t n = 0; n < d_nblocks; ++n)
        for (int32_t i = 0; i < d_index[n]->count; ++i) fn(d_index[n]->strings[i], n * stringsPerBlock + i, arg);
}

bool nyxStringTab::isValid() const {
    int32_t n = 0, stored = 0;
    for (const Block *b = d_first; b; b = b->next, ++n) {
        if (n >= d_nblocks || d_index[n] != b || b->count > stringsPerBlock || b->used > b->capacity) return false;
        if (b->next == nullptr && b != d_last) return false;
        uint32_t at = 0;
        for (int32_t i = 0; i < b->count; ++i) {
            const char *s = b->strings[i];
            if (s != b->text() + at) return false;
            const void *nul = std::memchr(s, '\0', b->used - at);
            if (nul == nullptr) return false;
            at += static_cast<uint32_t>(static_cast<const char *>(nul) - s) + 1;
        }
        if (at != b->used) return false;
        if (b != d_last && b->count < stringsPerBlock && b->capacity == textBytes && b->next->capacity == textBytes &&
            b->capacity - b->used >= std::strlen(b->next->strings[0]) + 1)
            return false;
        stored += b->count;
    }
    return n == d_nblocks && stored == d_stored;
}
