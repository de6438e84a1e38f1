// The page manager: one reserved address range, carved into 125-page chunks (kept in directory
// blocks of 100 descriptors, one owner per page slot) and large blocks of 125 pages or more.
//
// Address space of the range is handed out by a small extent allocator (a bump pointer plus a
// sorted list of returned extents), so that decommitted chunks and large blocks are reused.
// A page map (one word per page of the range, reserved lazily like the range itself) points from
// every committed page to its chunk descriptor or large-block record, so that allocated() and
// deallocate() find the owner without searching.
#include "utils/heap.h"
#include "utils/heapint.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

constexpr size_t kPage = Hx_topheap::pageSize;
constexpr int kSlots = Hx_topheap::chunkPages;

enum : int32_t { kSlotFree = 0, kSlotUsed = 1 };

struct Slot {
    int32_t inUse;
    Hx_baseheap *owner;
};

struct DirBlock;

struct ChunkDesc {
    int32_t freePages;
    char *sysAddr;  // null when the descriptor is empty
    char *base;     // page aligned start of the chunk (equal to sysAddr: the range is aligned)
    DirBlock *dir;
    Slot slots[kSlots];
};

struct DirBlock {
    int32_t inUse;
    ChunkDesc chunks[Hx_topheap::dirChunks];
    DirBlock *next;
};

struct LargeBlock {
    char *sysAddr;
    char *addr;
    size_t bytes;
    Hx_baseheap *owner;
    LargeBlock *next;
    LargeBlock *prev;
};

struct Extent {
    size_t start;  // page number within the range
    size_t count;
};

Hx_baseheap *g_heaps = nullptr;
long g_freePages = 0;
long g_committed = 0;
long g_pageLimit = -1;  // pages in use allowed; negative: no limit
long g_requests = 0;    // page requests since the last failPageRequest call
long g_failRequest = 0; // the first request refused (0: none)
bool g_failOnce = false; // only that one is refused
int g_chunks = 0;
int g_large = 0;
DirBlock *g_dirs = nullptr;
LargeBlock *g_largeList = nullptr;

// Page map: entry p describes page p of the range; 0, a ChunkDesc*, or a LargeBlock* | 1.
uintptr_t *g_pageMap = nullptr;
size_t g_rangePages = 0;
size_t g_top = 1;  // first page never handed out by the bump pointer; page 0 is never used
Extent *g_ext = nullptr;
size_t g_nExt = 0;
size_t g_capExt = 0;

char *pageAddr(size_t page) { return reinterpret_cast<char *>(Hx_topheap::rangeBase() + page * kPage); }
size_t pageOf(const void *addr) { return (reinterpret_cast<uintptr_t>(addr) - Hx_topheap::rangeBase()) / kPage; }

// First fit over returned extents, else the bump pointer. Returns 0 when no room is left.
size_t rangeTake(size_t n) {
    for (size_t i = 0; i < g_nExt; ++i) {
        if (g_ext[i].count < n) continue;
        size_t start = g_ext[i].start;
        g_ext[i].start += n;
        g_ext[i].count -= n;
        if (g_ext[i].count == 0) {
            std::memmove(&g_ext[i], &g_ext[i + 1], (g_nExt - i - 1) * sizeof(Extent));
            --g_nExt;
        }
        return start;
    }
    if (g_top + n > g_rangePages) return 0;
    size_t start = g_top;
    g_top += n;
    return start;
}

void rangeGive(size_t start, size_t n) {
    if (start + n == g_top) {
        g_top = start;
        // A returned extent that now ends at the top folds into it.
        while (g_nExt > 0 && g_ext[g_nExt - 1].start + g_ext[g_nExt - 1].count == g_top) {
            g_top = g_ext[g_nExt - 1].start;
            --g_nExt;
        }
        return;
    }
    size_t i = 0;
    while (i < g_nExt && g_ext[i].start < start) ++i;
    bool joinPrev = i > 0 && g_ext[i - 1].start + g_ext[i - 1].count == start;
    bool joinNext = i < g_nExt && start + n == g_ext[i].start;
    if (joinPrev && joinNext) {
        g_ext[i - 1].count += n + g_ext[i].count;
        std::memmove(&g_ext[i], &g_ext[i + 1], (g_nExt - i - 1) * sizeof(Extent));
        --g_nExt;
    } else if (joinPrev) {
        g_ext[i - 1].count += n;
    } else if (joinNext) {
        g_ext[i].start = start;
        g_ext[i].count += n;
    } else {
        if (g_nExt == g_capExt) {
            size_t cap = g_capExt ? g_capExt * 2 : 64;
            auto *grown = static_cast<Extent *>(std::realloc(g_ext, cap * sizeof(Extent)));
            if (grown == nullptr) return;  // The address space is lost, nothing else.
            g_ext = grown;
            g_capExt = cap;
        }
        std::memmove(&g_ext[i + 1], &g_ext[i], (g_nExt - i) * sizeof(Extent));
        g_ext[i] = Extent{start, n};
        ++g_nExt;
    }
}

// Commits n pages of the range; returns the first page number or 0.
size_t commitPages(size_t n) {
    size_t start = rangeTake(n);
    if (start == 0) return 0;
    if (mprotect(pageAddr(start), n * kPage, PROT_READ | PROT_WRITE) != 0) {
        rangeGive(start, n);
        return 0;
    }
    g_committed += static_cast<long>(n);
    return start;
}

void decommitPages(size_t start, size_t n) {
    char *addr = pageAddr(start);
    madvise(addr, n * kPage, MADV_DONTNEED);
    mprotect(addr, n * kPage, PROT_NONE);
    for (size_t p = start; p < start + n; ++p) g_pageMap[p] = 0;
    g_committed -= static_cast<long>(n);
    rangeGive(start, n);
}

void releaseChunk(ChunkDesc *c) {
    decommitPages(pageOf(c->base), kSlots);
    g_freePages -= kSlots;
    --g_chunks;
    --c->dir->inUse;
    c->sysAddr = nullptr;
    c->base = nullptr;
    c->freePages = 0;
}

void releaseLarge(LargeBlock *lb) {
    decommitPages(pageOf(lb->addr), lb->bytes / kPage);
    if (lb->prev) lb->prev->next = lb->next;
    else g_largeList = lb->next;
    if (lb->next) lb->next->prev = lb->prev;
    --g_large;
    std::free(lb);
}

// Frees the slots [first, first + n) of a chunk; returns the chunk when it became entirely free.
void clearSlots(ChunkDesc *c, int first, int n) {
    for (int i = first; i < first + n && i < kSlots; ++i) {
        if (c->slots[i].inUse != kSlotUsed) continue;
        c->slots[i].inUse = kSlotFree;
        c->slots[i].owner = nullptr;
        ++c->freePages;
        ++g_freePages;
    }
    if (c->freePages == kSlots) releaseChunk(c);
}

void *fromChunks(int pages, Hx_baseheap *heap) {
    for (DirBlock *d = g_dirs; d; d = d->next) {
        for (ChunkDesc &c : d->chunks) {
            if (c.sysAddr == nullptr || c.freePages < pages) continue;
            // Longest run of free slots that can hold the request.
            int bestStart = -1, bestLen = 0;
            for (int i = 0; i < kSlots;) {
                if (c.slots[i].inUse != kSlotFree) { ++i; continue; }
                int j = i;
                while (j < kSlots && c.slots[j].inUse == kSlotFree) ++j;
                if (j - i >= pages && j - i > bestLen) { bestStart = i; bestLen = j - i; }
                i = j;
            }
            if (bestStart < 0) continue;
            for (int i = bestStart; i < bestStart + pages; ++i) c.slots[i] = Slot{kSlotUsed, heap};
            c.freePages -= pages;
            g_freePages -= pages;
            return c.base + kPage * static_cast<size_t>(bestStart);
        }
    }
    return nullptr;
}

void *newChunk(int pages, Hx_baseheap *heap) {
    DirBlock *d = g_dirs;
    while (d && d->inUse >= Hx_topheap::dirChunks) d = d->next;
    if (d == nullptr) {
        d = static_cast<DirBlock *>(std::calloc(1, sizeof(DirBlock)));
        if (d == nullptr) return nullptr;
        d->next = g_dirs;
        g_dirs = d;
    }
    ChunkDesc *c = nullptr;
    for (ChunkDesc &cand : d->chunks) {
        if (cand.sysAddr == nullptr) { c = &cand; break; }
    }
    if (c == nullptr) return nullptr;  // Cannot happen: inUse counts the descriptors.
    size_t start = commitPages(kSlots);
    if (start == 0) return nullptr;
    std::memset(static_cast<void *>(c), 0, sizeof(ChunkDesc));
    c->sysAddr = c->base = pageAddr(start);
    c->dir = d;
    for (int i = 0; i < kSlots; ++i) g_pageMap[start + i] = reinterpret_cast<uintptr_t>(c);
    for (int i = 0; i < pages; ++i) c->slots[i] = Slot{kSlotUsed, heap};
    c->freePages = kSlots - pages;
    g_freePages += c->freePages;
    ++d->inUse;
    ++g_chunks;
    return c->base;
}

void *newLarge(size_t pages, Hx_baseheap *heap) {
    auto *lb = static_cast<LargeBlock *>(std::malloc(sizeof(LargeBlock)));
    if (lb == nullptr) return nullptr;
    size_t start = commitPages(pages);
    if (start == 0) {
        std::free(lb);
        return nullptr;
    }
    lb->sysAddr = lb->addr = pageAddr(start);
    lb->bytes = pages * kPage;
    lb->owner = heap;
    lb->prev = nullptr;
    lb->next = g_largeList;
    if (g_largeList) g_largeList->prev = lb;
    g_largeList = lb;
    for (size_t p = start; p < start + pages; ++p) g_pageMap[p] = reinterpret_cast<uintptr_t>(lb) | 1u;
    ++g_large;
    return lb->addr;
}

uintptr_t mapEntry(const void *addr) {
    if (!Hx_topheap::inRange(addr) || g_pageMap == nullptr) return 0;
    return g_pageMap[pageOf(addr)];
}

} // namespace

uintptr_t Hx_topheap::reserveRange() {
    if (s_rangeBase != 0) return s_rangeBase;
    // 32 GiB keeps every (address - base) / 8 within 32 bits; smaller ranges if refused.
    for (size_t bytes = size_t{32} << 30; bytes >= (size_t{64} << 20); bytes /= 2) {
        size_t pages = bytes / kPage;
        void *range = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (range == MAP_FAILED) continue;
        void *map = mmap(nullptr, pages * sizeof(uintptr_t), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (map == MAP_FAILED) {
            munmap(range, bytes);
            continue;
        }
        g_pageMap = static_cast<uintptr_t *>(map);
        g_rangePages = pages;
        s_rangeBytes = bytes;
        s_rangeBase = reinterpret_cast<uintptr_t>(range);
        return s_rangeBase;
    }
    return 0;
}

void Hx_topheap::init() {
    if (s_initialised) return;
    reserveRange();
    s_initialised = true;
}

void Hx_topheap::quit() {
    // Heaps that are still alive lose their pages: let them forget their blocks.
    while (g_heaps) {
        Hx_baseheap *h = g_heaps;
        h->pagesReleased();
        unlinkHeap(h);
    }
    while (g_largeList) releaseLarge(g_largeList);
    while (g_dirs) {
        DirBlock *d = g_dirs;
        for (ChunkDesc &c : d->chunks)
            if (c.sysAddr) releaseChunk(&c);
        g_dirs = d->next;
        std::free(d);
    }
    g_freePages = 0;
    s_initialised = false;
}

void *Hx_topheap::allocate(long pages, Hx_baseheap *heap) {
    if (pages <= 0) return nullptr;
    if (!s_initialised) init();
    if (rangeBase() == 0) return nullptr;
    if (heap && !heap->d_linked) linkHeap(heap);
    if (g_pageLimit >= 0 && pagesInUse() + pages > g_pageLimit) return nullptr;
    ++g_requests;
    if (g_failRequest > 0 && (g_failOnce ? g_requests == g_failRequest : g_requests >= g_failRequest)) {
        return nullptr;
    }
    void *p = nullptr;
    if (pages >= chunkPages) {
        if (static_cast<size_t>(pages) < g_rangePages) p = newLarge(static_cast<size_t>(pages), heap);
    } else {
        int n = static_cast<int>(pages);
        if (g_freePages >= n) p = fromChunks(n, heap);
        if (p == nullptr) p = newChunk(n, heap);
    }
    // Pages may come back from an earlier owner that marked its free blocks.
    if (p != nullptr) nyxheap::unpoison(p, static_cast<size_t>(pages) * kPage);
    return p;
}

void Hx_topheap::deallocate(void *addr, long pages) {
    uintptr_t e = mapEntry(addr);
    if (e == 0 || pages <= 0) return;
    if (e & 1u) {
        releaseLarge(reinterpret_cast<LargeBlock *>(e & ~uintptr_t{1}));
        return;
    }
    auto *c = reinterpret_cast<ChunkDesc *>(e);
    int first = static_cast<int>((static_cast<char *>(addr) - c->base) / kPage);
    clearSlots(c, first, pages > kSlots ? kSlots : static_cast<int>(pages));
}

namespace {

// A live heap and the heap that owns the page holding it (null when none does).
struct HeapOwner {
    Hx_baseheap *heap;
    Hx_baseheap *owner;
    int32_t state;  // 0 not yet known, 1 dropped with the heap, 2 kept, 3 being followed
};

HeapOwner *findOwner(HeapOwner *table, size_t n, const Hx_baseheap *h) {
    size_t lo = 0, hi = n;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (std::less<const Hx_baseheap *>()(table[mid].heap, h)) lo = mid + 1;
        else hi = mid;
    }
    return lo < n && table[lo].heap == h ? &table[lo] : nullptr;
}

// Whether the heap of `e` lives, directly or through other heaps, in pages of `root`.
bool droppedWith(HeapOwner *table, size_t n, HeapOwner *e, const Hx_baseheap *root) {
    // Follow the owners up to a heap whose fate is known; a cycle (which no heap can form) or a
    // chain leaving the live heaps is kept.
    HeapOwner *at = e;
    int32_t fate = 2;
    while (at != nullptr) {
        if (at->state == 1 || at->state == 2) {
            fate = at->state;
            break;
        }
        if (at->state == 3) break;
        at->state = 3;
        if (at->owner == root) {
            fate = 1;
            break;
        }
        at = findOwner(table, n, at->owner);
    }
    for (HeapOwner *p = e; p != nullptr && p->state == 3; p = findOwner(table, n, p->owner)) p->state = fate;
    return fate == 1;
}

// Gives back every page and large block whose owner `dropped` names, and every chunk left
// without a used page.
template <typename Dropped>
void releasePages(Dropped dropped) {
    for (DirBlock *d = g_dirs; d; d = d->next) {
        for (ChunkDesc &c : d->chunks) {
            if (c.sysAddr == nullptr) continue;
            bool owned = false;
            for (Slot &s : c.slots) {
                if (s.inUse == kSlotUsed && dropped(s.owner)) {
                    s.inUse = kSlotFree;
                    s.owner = nullptr;
                    ++c.freePages;
                    ++g_freePages;
                    owned = true;
                }
            }
            if (owned && c.freePages == kSlots) releaseChunk(&c);
        }
    }
    for (LargeBlock *lb = g_largeList; lb;) {
        LargeBlock *next = lb->next;
        if (dropped(lb->owner)) releaseLarge(lb);
        lb = next;
    }
}

// The heaps to drop: `heap` and every live heap living in its pages, however deep; sorted by
// address, with h->state == 1 for those. Null when memory ran out.
HeapOwner *heapsToDrop(Hx_baseheap *heap, size_t *count) {
    size_t n = 0;
    for (Hx_baseheap *h = g_heaps; h; h = h->nextHeap()) ++n;
    auto *table = static_cast<HeapOwner *>(std::malloc((n + 1) * sizeof(HeapOwner)));
    if (table == nullptr) return nullptr;
    size_t k = 0;
    bool listed = false;
    for (Hx_baseheap *h = g_heaps; h; h = h->nextHeap()) {
        table[k++] = HeapOwner{h, Hx_topheap::allocated(h), 0};
        listed = listed || h == heap;
    }
    if (!listed) table[k++] = HeapOwner{heap, nullptr, 0};
    std::sort(table, table + k, [](const HeapOwner &a, const HeapOwner &b) {
        return std::less<const Hx_baseheap *>()(a.heap, b.heap);
    });
    findOwner(table, k, heap)->state = 1;
    for (size_t i = 0; i < k; ++i) {
        if (table[i].state == 0) droppedWith(table, k, &table[i], heap);
    }
    *count = k;
    return table;
}

} // namespace

void Hx_topheap::remove_heap_pages(Hx_baseheap *heap) {
    if (heap == nullptr) return;
    // Heaps living in this heap's pages go too. They are found while their records can still be
    // read, leave the list of live heaps, and every page of the lot is given back in one pass
    // over the chunks and large blocks (a pass per heap made dropping a library with thousands
    // of view heaps quadratic).
    size_t n = 0;
    HeapOwner *table = heapsToDrop(heap, &n);
    if (table == nullptr) return removeHeapPagesOneByOne(heap);
    for (size_t i = 0; i < n; ++i) {
        if (table[i].state == 1 && table[i].heap != heap) unlinkHeap(table[i].heap);
    }
    // Pages of one heap come in runs: the last owner looked up is asked first.
    const Hx_baseheap *lastOwner = nullptr;
    bool lastDropped = false;
    auto dropped = [&](const Hx_baseheap *owner) {
        if (owner != lastOwner) {
            const HeapOwner *e = findOwner(table, n, owner);
            lastOwner = owner;
            lastDropped = e != nullptr && e->state == 1;
        }
        return lastDropped;
    };
    releasePages(dropped);
    std::free(table);
}

void Hx_topheap::removeHeapPagesOneByOne(Hx_baseheap *heap) {
    Hx_baseheap *nested = nullptr;
    for (Hx_baseheap *h = g_heaps; h;) {
        Hx_baseheap *next = h->d_next_p;
        if (h != heap && allocated(h) == heap) {
            unlinkHeap(h);
            h->d_next_p = nested;
            nested = h;
        }
        h = next;
    }
    while (nested) {
        Hx_baseheap *h = nested;
        nested = h->d_next_p;
        h->d_next_p = nullptr;
        removeHeapPagesOneByOne(h);
    }
    releasePages([heap](const Hx_baseheap *owner) { return owner == heap; });
}

Hx_baseheap *Hx_topheap::allocated(const void *addr) {
    uintptr_t e = mapEntry(addr);
    if (e == 0) return nullptr;
    if (e & 1u) return reinterpret_cast<LargeBlock *>(e & ~uintptr_t{1})->owner;
    auto *c = reinterpret_cast<ChunkDesc *>(e);
    const Slot &s = c->slots[(static_cast<const char *>(addr) - c->base) / kPage];
    return s.inUse == kSlotUsed ? s.owner : nullptr;
}

long Hx_topheap::freePages() { return g_freePages; }
int Hx_topheap::chunksInUse() { return g_chunks; }
int Hx_topheap::largeBlocksInUse() { return g_large; }
long Hx_topheap::committedPages() { return g_committed; }
Hx_baseheap *Hx_topheap::heaps() { return g_heaps; }
long Hx_topheap::pagesInUse() { return g_committed - g_freePages; }
void Hx_topheap::setPageLimit(long pages) { g_pageLimit = pages >= 0 ? pages : -1; }
void Hx_topheap::failPageRequest(long n, bool once) {
    g_failRequest = n > 0 ? n : 0;
    g_failOnce = once;
    g_requests = 0;
}
long Hx_topheap::pageRequestCount() { return g_requests; }

void Hx_topheap::linkHeap(Hx_baseheap *heap) {
    heap->d_prev_p = nullptr;
    heap->d_next_p = g_heaps;
    if (g_heaps) g_heaps->d_prev_p = heap;
    g_heaps = heap;
    heap->d_linked = true;
}

void Hx_topheap::unlinkHeap(Hx_baseheap *heap) {
    if (!heap->d_linked) return;
    if (heap->d_prev_p) heap->d_prev_p->d_next_p = heap->d_next_p;
    else g_heaps = heap->d_next_p;
    if (heap->d_next_p) heap->d_next_p->d_prev_p = heap->d_prev_p;
    heap->d_next_p = heap->d_prev_p = nullptr;
    heap->d_linked = false;
}

// Invariants:
//   freePages() == sum over committed chunks of chunk.freePages
//   chunk.freePages == |{slot : slot.inUse == free}|, 0 < chunk.freePages < 125 never reaches 125
//   directory.inUse == |{descriptor : sysAddr != null}|, chunksInUse() == sum of directory.inUse
//   committedPages() == 125 * chunksInUse() + sum of large block pages
//   the page map names the chunk or large block of every committed page
bool Hx_topheap::isValid() {
    long freeSum = 0, committed = 0;
    int chunks = 0, large = 0;
    for (DirBlock *d = g_dirs; d; d = d->next) {
        int used = 0;
        for (ChunkDesc &c : d->chunks) {
            if (c.sysAddr == nullptr) continue;
            ++used;
            int free = 0;
            for (const Slot &s : c.slots) {
                if (s.inUse == kSlotFree) ++free;
                else if (s.inUse != kSlotUsed) return false;
                if (s.inUse == kSlotFree && s.owner != nullptr) return false;
            }
            if (free != c.freePages || free == kSlots) return false;
            size_t first = pageOf(c.base);
            for (int i = 0; i < kSlots; ++i)
                if (g_pageMap[first + i] != reinterpret_cast<uintptr_t>(&c)) return false;
            freeSum += free;
            committed += kSlots;
        }
        if (used != d->inUse) return false;
        chunks += used;
    }
    for (LargeBlock *lb = g_largeList; lb; lb = lb->next) {
        ++large;
        committed += static_cast<long>(lb->bytes / kPage);
        if (g_pageMap[pageOf(lb->addr)] != (reinterpret_cast<uintptr_t>(lb) | 1u)) return false;
    }
    return freeSum == g_freePages && chunks == g_chunks && large == g_large && committed == g_committed;
}
