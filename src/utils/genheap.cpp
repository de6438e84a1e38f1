// The abstract heap, the general heap and the default heaps of the containers.
//
// A free block of the general heap starts with its size (8 bytes) and its next link; blocks on
// the free list also hold a previous link. Fields are read and written with memcpy so that heaps
// of 4-byte alignment stay free of misaligned accesses.
#include "utils/heap.h"
#include "utils/heapint.h"

#include <algorithm>
#include <iterator>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t kPage = Hx_topheap::pageSize;
constexpr size_t kMaxRequest = size_t{1} << 36;  // beyond the whole reserved range

inline size_t bsize(const char *b) {
    uint64_t v;
    std::memcpy(&v, b, sizeof v);
    return static_cast<size_t>(v);
}
inline void setSize(char *b, size_t s) {
    uint64_t v = s;
    std::memcpy(b, &v, sizeof v);
}
inline char *bnext(const char *b) {
    char *p;
    std::memcpy(&p, b + 8, sizeof p);
    return p;
}
inline void setNext(char *b, char *n) { std::memcpy(b + 8, &n, sizeof n); }
inline char *bprev(const char *b) {
    char *p;
    std::memcpy(&p, b + 16, sizeof p);
    return p;
}
inline void setPrev(char *b, char *p) { std::memcpy(b + 16, &p, sizeof p); }
inline int classOf(size_t s) { return static_cast<int>((s - Hx_genheap::minBlock) / 4); }

} // namespace

// ---------------------------------------------------------------------------------------------
// Hx_baseheap

Hx_baseheap::Hx_baseheap() { Hx_topheap::linkHeap(this); }

Hx_baseheap::~Hx_baseheap() {
    Hx_topheap::remove_heap_pages(this);
    Hx_topheap::unlinkHeap(this);
}

void *Hx_baseheap::allocate(size_t n) {
    if (n > kMaxRequest || (d_align == 4 && n > UINT32_MAX - 16)) return nullptr;
    char *b = static_cast<char *>(allocBlock(n + d_align));
    if (b == nullptr) return nullptr;
    if (d_align == 4) {
        uint32_t v = static_cast<uint32_t>(n);
        std::memcpy(b, &v, sizeof v);
    } else {
        uint64_t v = n;
        std::memcpy(b, &v, sizeof v);
    }
    return b + d_align;
}

// The user size stored in the header of a block from allocate().
static size_t headerSize(const Hx_baseheap *h, const void *p) {
    const char *b = static_cast<const char *>(p) - h->alignment();
    if (h->alignment() == 4) {
        uint32_t v;
        std::memcpy(&v, b, sizeof v);
        return v;
    }
    uint64_t v;
    std::memcpy(&v, b, sizeof v);
    return static_cast<size_t>(v);
}

void Hx_baseheap::deallocate(void *p) {
    if (p == nullptr) return;
    size_t n = headerSize(this, p);
    freeBlock(static_cast<char *>(p) - d_align, n + d_align);
}

// Moves the block: a new one is allocated and the contents copied before the old one is freed.
void *Hx_baseheap::reallocate(void *p, size_t n) {
    if (p == nullptr) return allocate(n);
    void *q = allocate(n);
    if (q == nullptr) return nullptr;
    std::memcpy(q, p, std::min(n, headerSize(this, p)));
    deallocate(p);
    return q;
}

void Hx_baseheap::freeBlock(void *, size_t) {}

bool Hx_baseheap::grow(size_t) { return false; }

// ---------------------------------------------------------------------------------------------
// Hx_genheap

Hx_genheap::Hx_genheap(const char *name, long chunkSizeBytes)
    : d_chunkSize(chunkSizeBytes <= static_cast<long>(kPage) ? static_cast<long>(kPage) : chunkSizeBytes) {
    const char *text = name != nullptr && *name != '\0' ? name : "HX Miscellaneous Heap";
    size_t n = strnlen(text, sizeof d_name - 1);
    std::memcpy(d_name, text, n);
    d_name[n] = '\0';
}

Hx_genheap::~Hx_genheap() = default;

size_t Hx_genheap::roundSize(size_t n) const {
    if (n > kMaxRequest) return 0;
    size_t s = std::max(n, minBlock);
    return (s + d_align - 1) & ~(d_align - 1);
}

void Hx_genheap::reset() {
    d_freeHead = d_freeTail = d_rover = nullptr;
    d_bytesObtained = d_bytesInUse = 0;
    d_blocksInUse = d_freeBlocks = d_growthCount = 0;
    d_freedSinceCollect = 0;
    d_dirty = false;
    std::fill(std::begin(d_classes), std::end(d_classes), nullptr);
}

void Hx_genheap::pagesReleased() { reset(); }

void Hx_genheap::unlink(char *b) {
    char *n = bnext(b), *p = bprev(b);
    if (d_rover == b) d_rover = n;
    if (p) setNext(p, n);
    else d_freeHead = n;
    if (n) setPrev(n, p);
    else d_freeTail = p;
}

void Hx_genheap::insertAfter(char *pos, char *b) {
    char *n = bnext(pos);
    setPrev(b, pos);
    setNext(b, n);
    setNext(pos, b);
    if (n) setPrev(n, b);
    else d_freeTail = b;
}

void Hx_genheap::pushFront(char *b) {
    setPrev(b, nullptr);
    setNext(b, d_freeHead);
    if (d_freeHead) setPrev(d_freeHead, b);
    else d_freeTail = b;
    d_freeHead = b;
}

// Makes [b, b + size) a free block: on its size class when small, else on the list (after
// `after`, or at the head when `after` is null). The caller counts it. `payloadPoisoned` says that
// everything past the block's header is poisoned already (the tail of a free block being split),
// so that only the header is made addressable: splitting a large block costs no more than the
// bytes handed out.
void Hx_genheap::addFree(char *b, size_t size, char *after, bool payloadPoisoned) {
    if (payloadPoisoned) {
        nyxheap::unpoison(b, size < nyxheap::kFreeHeader ? size : nyxheap::kFreeHeader);
    } else {
        nyxheap::markFree(b, size);
    }
    setSize(b, size);
    if (size <= maxClassSize) {
        int c = classOf(size);
        setNext(b, d_classes[c]);
        d_classes[c] = b;
    } else if (after) {
        insertAfter(after, b);
    } else {
        pushFront(b);
    }
}

// First block from `from` up to (not including) `stop` whose size is s or at least s + 16.
char *Hx_genheap::searchList(char *from, char *stop, size_t s) const {
    for (char *b = from; b && b != stop; b = bnext(b)) {
        size_t bs = bsize(b);
        if (bs == s || bs >= s + minBlock) return b;
    }
    return nullptr;
}

// Hands out the first s bytes of free-list block b; the rest stays free in b's place. The links of
// b are read before the rest is written, since a small remainder overlaps them.
void *Hx_genheap::carve(char *b, size_t s) {
    size_t bs = bsize(b);
    char *prev = bprev(b);
    char *next = bnext(b);
    unlink(b);
    d_rover = next;
    if (bs > s) {
        // b's payload past its header is poisoned, so the rest's is too.
        char *rest = b + s;
        addFree(rest, bs - s, prev, true);
        if (bs - s > maxClassSize) d_rover = rest;
        ++d_freeBlocks;
    }
    --d_freeBlocks;
    ++d_blocksInUse;
    d_bytesInUse += s;
    nyxheap::unpoison(b, s);
    return b;
}

void *Hx_genheap::allocBlock(size_t n) {
    size_t s = roundSize(n);
    if (s == 0) return nullptr;
    if (s <= maxClassSize) {
        int c = classOf(s);
        if (char *b = d_classes[c]) {
            d_classes[c] = bnext(b);
            --d_freeBlocks;
            ++d_blocksInUse;
            d_bytesInUse += s;
            nyxheap::unpoison(b, s);
            return b;
        }
    }
    bool collected = false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        char *b = nullptr;
        if (d_bytesObtained - d_bytesInUse > s + minBlock) {
            char *start = d_rover ? d_rover : d_freeHead;
            b = searchList(start, nullptr, s);
            if (b == nullptr && d_rover) {
                d_rover = nullptr;
                b = searchList(d_freeHead, start, s);
            }
            // Collection sorts every free block, so it waits until enough was freed since the
            // last one to be worth it (a sixteenth of the heap, and at least the request).
            if (b == nullptr && !collected && d_freeBlocks >= 3 && d_dirty &&
                d_freedSinceCollect >= std::max(s + minBlock, d_bytesObtained / 16)) {
                collect();
                collected = true;
                b = searchList(d_freeHead, nullptr, s);
            }
        }
        if (b) return carve(b, s);
        if (!grow(s)) return nullptr;
    }
    return nullptr;
}

void Hx_genheap::freeBlock(void *p, size_t n) {
    size_t s = roundSize(n);
    if (p == nullptr || s == 0) return;
    assert(Hx_topheap::allocated(p) == this);
    --d_blocksInUse;
    d_bytesInUse -= s;
    addFree(static_cast<char *>(p), s, nullptr);
    ++d_freeBlocks;
    d_freedSinceCollect += s;
    d_dirty = true;
}

bool Hx_genheap::grow(size_t n) {
    size_t s = roundSize(n);
    if (s == 0) return false;
    long perChunk = d_chunkSize / static_cast<long>(kPage);
    long k = static_cast<long>((s + minBlock) / kPage) + (d_growthCount > 3 ? 4 : 1);
    long m = k * perChunk;
    long e = 2 * d_growthCount / 3;
    long pages = m + e;
    void *p = Hx_topheap::allocate(pages, this);
    if (p == nullptr && e > 0) p = Hx_topheap::allocate(pages = m + e / 2, this);
    if (p == nullptr && e > 1) p = Hx_topheap::allocate(pages = m, this);
    if (p == nullptr) return false;
    size_t bytes = static_cast<size_t>(pages) * kPage;
    nyxheap::markFree(p, bytes);
    setSize(static_cast<char *>(p), bytes);
    pushFront(static_cast<char *>(p));
    ++d_freeBlocks;
    ++d_growthCount;
    d_bytesObtained += bytes;
    d_dirty = true;
    return true;
}

void Hx_genheap::collect() {
    if (!d_dirty) return;
    size_t count = static_cast<size_t>(d_freeBlocks);
    char **all = static_cast<char **>(std::malloc((count + 1) * sizeof(char *)));
    if (all == nullptr) return;  // Collection is an optimisation; the lists stay valid.
    size_t k = 0;
    for (char *b = d_freeHead; b && k < count; b = bnext(b)) all[k++] = b;
    for (char *&head : d_classes) {
        for (char *b = head; b && k < count; b = bnext(b)) all[k++] = b;
        head = nullptr;
    }
    std::sort(all, all + k);
    size_t m = 0;
    for (size_t i = 0; i < k; ++i) {
        if (m > 0 && all[m - 1] + bsize(all[m - 1]) == all[i]) setSize(all[m - 1], bsize(all[m - 1]) + bsize(all[i]));
        else all[m++] = all[i];
    }
    d_freeBlocks = static_cast<long>(m);
    // Blocks that stay small go back to their classes (in address order), where requests of
    // their size take them without a search; the list keeps only the larger ones.
    d_freeHead = d_freeTail = d_rover = nullptr;
    for (size_t i = m; i-- > 0;)
        if (bsize(all[i]) <= maxClassSize) addFree(all[i], bsize(all[i]), nullptr);
    size_t large = 0;
    for (size_t i = 0; i < m; ++i)
        if (bsize(all[i]) > maxClassSize) all[large++] = all[i];
    if (large >= 13) {
        std::stable_sort(all, all + large, [](const char *a, const char *b) { return bsize(a) < bsize(b); });
    }
    for (size_t i = large; i-- > 0;) {
        nyxheap::markFree(all[i], bsize(all[i]));
        pushFront(all[i]);
    }
    d_dirty = false;
    d_freedSinceCollect = 0;
    std::free(all);
}

// Finds the free block that starts at `addr` and holds at least minSize bytes, and takes it off
// its list. Size classes are looked at from minSize up, then the free list.
char *Hx_genheap::findFreeAt(const char *addr, size_t minSize) {
    if (minSize <= maxClassSize) {
        for (int c = classOf(std::max(minSize, minBlock)); c < numClasses; ++c) {
            char *prev = nullptr;
            for (char *b = d_classes[c]; b; prev = b, b = bnext(b)) {
                if (b != addr) continue;
                if (prev) setNext(prev, bnext(b));
                else d_classes[c] = bnext(b);
                --d_freeBlocks;
                return b;
            }
        }
    }
    for (char *b = d_freeHead; b; b = bnext(b)) {
        if (b != addr) continue;
        if (bsize(b) < minSize) return nullptr;
        unlink(b);
        --d_freeBlocks;
        return b;
    }
    return nullptr;
}

void *Hx_genheap::reallocate(void *p, size_t n) {
    if (p == nullptr) return allocate(n);
    if (n > kMaxRequest || (d_align == 4 && n > UINT32_MAX - 16)) return nullptr;
    char *blk = static_cast<char *>(p) - d_align;
    size_t oldUser = headerSize(this, p);
    size_t have = roundSize(oldUser + d_align);
    size_t need = roundSize(n + d_align);
    if (need <= have) return p;
    size_t extra = need - have;
    if (char *next = findFreeAt(blk + have, extra)) {
        size_t nsize = bsize(next);
        size_t grown = have + nsize;
        nyxheap::unpoison(next, nsize);
        if (nsize - extra >= minBlock) {
            addFree(next + extra, nsize - extra, nullptr);
            ++d_freeBlocks;
            grown = need;
        }
        d_bytesInUse += grown - have;
        size_t user = grown - d_align;
        if (d_align == 4) {
            uint32_t v = static_cast<uint32_t>(user);
            std::memcpy(blk, &v, sizeof v);
        } else {
            uint64_t v = user;
            std::memcpy(blk, &v, sizeof v);
        }
        return p;
    }
    void *q = allocate(n);
    if (q == nullptr) return nullptr;
    std::memcpy(q, p, std::min(oldUser, n));
    deallocate(p);
    return q;
}

const void *Hx_genheap::sizeClassHead(size_t size) const {
    size_t s = roundSize(size);
    return s != 0 && s <= maxClassSize ? d_classes[classOf(s)] : nullptr;
}

long Hx_genheap::freeListLength() const {
    long n = 0;
    for (const char *b = d_freeHead; b; b = bnext(b)) ++n;
    return n;
}

bool Hx_genheap::isValid() const {
    // Free blocks of both kinds, for the overlap check.
    size_t total = static_cast<size_t>(d_freeBlocks);
    const char **all = static_cast<const char **>(std::malloc((total + 1) * sizeof(char *)));
    if (all == nullptr) return false;
    size_t k = 0, freeBytes = 0;
    bool ok = true;
    auto check = [&](const char *b) {
        size_t bs = bsize(b);
        if (bs < minBlock || bs % d_align != 0 || Hx_topheap::allocated(b) != this ||
            Hx_topheap::allocated(b + bs - 1) != this || k >= total)
            return false;
        all[k++] = b;
        freeBytes += bs;
        return true;
    };
    const char *prev = nullptr;
    bool roverSeen = d_rover == nullptr;
    for (const char *b = d_freeHead; b && ok; prev = b, b = bnext(b)) {
        ok = check(b) && bprev(b) == prev && bsize(b) > maxClassSize;
        if (b == d_rover) roverSeen = true;
    }
    ok = ok && prev == d_freeTail && roverSeen;
    for (int c = 0; c < numClasses && ok; ++c)
        for (const char *b = d_classes[c]; b && ok; b = bnext(b))
            ok = check(b) && bsize(b) == minBlock + 4 * static_cast<size_t>(c);
    if (ok) {
        std::sort(all, all + k);
        for (size_t i = 1; i < k && ok; ++i) ok = all[i - 1] + bsize(all[i - 1]) <= all[i];
    }
    std::free(all);
    return ok && k == total && d_bytesObtained == d_bytesInUse + freeBytes;
}

// ---------------------------------------------------------------------------------------------
// Default heaps

namespace {
Hx_baseheap *g_globalHeap = nullptr;
Hx_baseheap *g_propMgrHeap = nullptr;
Hx_genheap *g_fallbackGlobal = nullptr;
Hx_genheap *g_fallbackPropMgr = nullptr;

Hx_genheap *makeFallback(const char *name, long chunk) {
    try {
        return new Hx_genheap(name, chunk);
    } catch (...) {
        return nullptr;
    }
}
} // namespace

Hx_baseheap *nyxDefaultGlobalHeap() {
    if (g_globalHeap) return g_globalHeap;
    if (g_fallbackGlobal == nullptr) g_fallbackGlobal = makeFallback("NYX Global Object Heap", 4 * 4096);
    return g_fallbackGlobal;
}

void nyxSetDefaultGlobalHeap(Hx_baseheap *heap) { g_globalHeap = heap; }

Hx_baseheap *nyxDefaultPropMgrHeap() {
    if (g_propMgrHeap) return g_propMgrHeap;
    if (g_fallbackPropMgr == nullptr) g_fallbackPropMgr = makeFallback("NYX PropMgr Object Heap", 4096);
    return g_fallbackPropMgr;
}

void nyxSetDefaultPropMgrHeap(Hx_baseheap *heap) { g_propMgrHeap = heap; }
