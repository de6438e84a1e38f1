// heap.h - the page manager and the heaps that every object of the library lives in.
//
// All objects live in named heaps instead of the general allocator. A container that owns a heap
// (the global state, a netlist view, a design configuration, ...) drops everything in it at once
// by destroying the heap, without visiting the objects.
//
// Hx_topheap, the page manager, hands out whole 4096-byte pages and remembers which heap owns each
// page, so that any address can be mapped back to its heap. At first use it reserves ONE contiguous
// range of address space (32 GiB, falling back to smaller sizes when refused) and every page it
// hands out, chunk pages and large blocks alike, comes from that range:
//   - "getting a chunk from the system" commits 125 pages of the range (mprotect);
//   - "returning it to the system" decommits them (madvise(MADV_DONTNEED) + PROT_NONE) and keeps the
//     address range for reuse;
//   - requests of 125 pages or more are large blocks, committed from the range on their own.
// The range is reserved once per process and survives quit(). Its first page is never handed out,
// so (address - rangeBase()) / 8 of any heap object is a non-zero 32-bit word.
// Because the range base is page aligned, every chunk offers all 125 of its pages; the state
// "slot never usable" (-1) of a misaligned chunk cannot occur and chunks are never 124 pages.
//
// Hx_baseheap is the abstract heap; Hx_genheap the general heap: 64 exact-size free lists for
// blocks of 16 to 268 bytes, one address- or size-ordered free list with a rover for larger ones,
// collection (merging) when a search fails after enough was freed (at least the request and a
// sixteenth of the heap since the last collection), and growth in steps that widen as the heap
// grows.
//
// Alignment: a heap aligns blocks on 8 bytes (the width of a pointer here) unless align_to_word()
// made it a 4-byte heap, which suits heaps holding character or 32-bit data only. Block sizes are
// multiples of the alignment and at least 16 bytes.
//
// Default heaps. Containers that are given no heap use "the global heap". The global state sets it
// with nyxSetDefaultGlobalHeap(); until then (and after it is reset to null) a process-wide
// fallback Hx_genheap is created on first use. nyxOIDHashTable likewise defaults to the
// "NYX PropMgr Object Heap" set with nyxSetDefaultPropMgrHeap().
//
// Nothing here is thread safe: the library is called from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>  // includers of the heap header have long relied on it

class Hx_baseheap;

// The page manager. Static members only.
class Hx_topheap {
public:
    static constexpr size_t pageSize = 4096;
    static constexpr int chunkPages = 125;
    static constexpr size_t mallocChunk = pageSize * chunkPages;  // 512000 bytes
    static constexpr int dirChunks = 100;  // chunk descriptors per directory block

    // Makes the page manager ready (reserving the address range on first use). Runs once until quit().
    static void init();
    // Returns every chunk, large block and directory block; live heaps are told that their pages are
    // gone (they start afresh if used again) and are unlinked. The address range stays reserved.
    static void quit();
    static bool initialised() { return s_initialised; }

    // Returns `pages` committed pages owned by `heap`, page aligned, or null on failure.
    static void *allocate(long pages, Hx_baseheap *heap);
    // Gives back `pages` pages at `addr` (an address in a large block frees the whole block).
    static void deallocate(void *addr, long pages);
    // Gives back every page and large block owned by `heap`. Heaps whose objects live in those
    // pages (a view's heaps placed in a library heap) are dropped with them: their pages go back
    // too and they leave the list of live heaps.
    static void remove_heap_pages(Hx_baseheap *heap);
    // The heap that owns the page holding `addr`, or null.
    static Hx_baseheap *allocated(const void *addr);

    // Base address and size of the reserved range; reserves it when not yet done (0 on failure).
    static uintptr_t rangeBase() { return s_rangeBase != 0 ? s_rangeBase : reserveRange(); }
    static size_t rangeSize() { return s_rangeBytes; }
    // Address <-> object word, the one conversion of the library: every object that crosses the
    // interface lives in the range and is 8-byte aligned, so word = (address - base) / 8 fits 32
    // bits and is never 0 (the first page is never handed out). Neither maps null: callers that
    // carry null words test for 0 first.
    static uint32_t wordOf(const void *addr) {
        return static_cast<uint32_t>((reinterpret_cast<uintptr_t>(addr) - rangeBase()) >> 3);
    }
    static void *addressOf(uint32_t word) {
        return reinterpret_cast<void *>(rangeBase() + (static_cast<uintptr_t>(word) << 3));
    }
    static bool inRange(const void *addr) {
        uintptr_t a = reinterpret_cast<uintptr_t>(addr);
        return s_rangeBase != 0 && a >= s_rangeBase && a - s_rangeBase < s_rangeBytes;
    }

    // Counters, for tests and statistics.
    static long freePages();        // free pages over all chunks
    static int chunksInUse();       // committed chunks
    static int largeBlocksInUse();  // live large blocks
    static long committedPages();   // pages committed for chunks and large blocks
    static Hx_baseheap *heaps();    // head of the list of live heaps

    static long pagesInUse();       // pages handed out to heaps
    // Fault injection for tests: requests that would take pagesInUse() beyond `pages` fail.
    // A negative value lifts the limit (the default).
    static void setPageLimit(long pages);
    // Fault injection for tests, counted like the file layer's: failPageRequest(n) makes the nth
    // page request from now fail, and every later one too unless `once` (memory has run out, or
    // one request was refused); 0 turns it off. pageRequestCount() counts requests since the last
    // call, so a test can first measure them.
    static void failPageRequest(long n, bool once = false);
    static long pageRequestCount();

    // Walks the directory and the large blocks: slot states, free counts and the page map agree.
    static bool isValid();

private:
    friend class Hx_baseheap;
    static uintptr_t reserveRange();
    static void linkHeap(Hx_baseheap *heap);
    static void unlinkHeap(Hx_baseheap *heap);
    // remove_heap_pages without memory for its table of heaps: a pass over the chunks per heap.
    static void removeHeapPagesOneByOne(Hx_baseheap *heap);

    static inline bool s_initialised = false;
    static inline uintptr_t s_rangeBase = 0;
    static inline size_t s_rangeBytes = 0;
};

// The abstract heap. Virtual operations in slot order: destructor, allocate, deallocate,
// reallocate, allocBlock, freeBlock, grow.
class Hx_baseheap {
public:
    Hx_baseheap();
    virtual ~Hx_baseheap();
    Hx_baseheap(const Hx_baseheap &) = delete;
    Hx_baseheap &operator=(const Hx_baseheap &) = delete;

    // Blocks with a size header: allocate(n) returns n usable bytes (null on failure) that
    // deallocate(p) frees without being told the size; reallocate keeps the contents.
    virtual void *allocate(size_t n);
    virtual void deallocate(void *p);
    virtual void *reallocate(void *p, size_t n);
    // Header-less blocks: the caller states the size again when freeing.
    virtual void *allocBlock(size_t n) = 0;
    virtual void freeBlock(void *p, size_t n);
    // Obtains pages for at least a block of n bytes; false when the page manager refuses.
    virtual bool grow(size_t n);
    // Called by Hx_topheap::quit after the heap's pages were taken away: forget every block.
    virtual void pagesReleased() {}

    // The heap that owns `addr`, or null.
    static Hx_baseheap *find_heap(const void *addr) { return Hx_topheap::allocated(addr); }

    void align_to_double() { d_align = 8; }
    // Makes a heap of 4-byte alignment, for character and 32-bit data only. Call before first use.
    void align_to_word() { d_align = 4; }
    bool double_aligned() const { return d_align >= 8; }
    size_t alignment() const { return d_align; }

    Hx_baseheap *nextHeap() const { return d_next_p; }

protected:
    size_t d_align = 8;

private:
    friend class Hx_topheap;
    Hx_baseheap *d_next_p = nullptr;
    Hx_baseheap *d_prev_p = nullptr;
    bool d_linked = false;
};

// The general heap.
//
// Invariants (checked by isValid()):
//   bytesObtained == bytesInUse + sum(size of every free block)
//   freeBlockCount == sum(|size class i|) + |free list|
//   every block in size class i has size 16 + 4 i; every block on the free list is larger than
//   268 bytes (small blocks always live on their classes); every free block is >= 16 bytes, a multiple of
//   the alignment, and lies in pages owned by this heap; no two free blocks overlap;
//   the free list is doubly linked consistently (head->prev == null, tail->next == null) and the
//   rover is null or on the free list.
class Hx_genheap : public Hx_baseheap {
public:
    static constexpr int numClasses = 64;
    static constexpr size_t minBlock = 16;
    static constexpr size_t maxClassSize = 268;  // largest size served by a size class

    // `chunkSizeBytes`: bytes to ask of the page manager per growth step (at least 4096; a value
    // below 1 or up to 4096 gives 4096). An empty or null name gives "HX Miscellaneous Heap".
    explicit Hx_genheap(const char *name = nullptr, long chunkSizeBytes = 4096);
    ~Hx_genheap() override;

    void *allocBlock(size_t n) override;
    void freeBlock(void *p, size_t n) override;
    void *reallocate(void *p, size_t n) override;
    bool grow(size_t n) override;
    void pagesReleased() override;

    // Merges touching free blocks: merged blocks larger than a size class form the free list
    // (ordered by size when there are 13 or more, else by address), the others go back to their
    // size classes. Does nothing unless blocks were freed or pages added.
    void collect();
    bool isValid() const;

    // The size a request of n bytes really takes (0 when n is too large to serve).
    size_t roundSize(size_t n) const;

    const char *name() const { return d_name; }
    long chunkSize() const { return d_chunkSize; }
    size_t bytesObtained() const { return d_bytesObtained; }
    size_t bytesInUse() const { return d_bytesInUse; }
    long blocksInUse() const { return d_blocksInUse; }
    long freeBlockCount() const { return d_freeBlocks; }
    long growthCount() const { return d_growthCount; }
    bool dirty() const { return d_dirty; }
    // Inspection for tests: the rover, the free list head and the size class of a block size.
    const void *rover() const { return d_rover; }
    const void *freeListHead() const { return d_freeHead; }
    const void *sizeClassHead(size_t size) const;
    long freeListLength() const;

private:
    char *searchList(char *from, char *stop, size_t s) const;
    void unlink(char *b);
    void insertAfter(char *pos, char *b);
    void pushFront(char *b);
    void addFree(char *b, size_t size, char *after, bool payloadPoisoned = false);
    void takeClassBlock(char *b, int cls);
    void *carve(char *b, size_t s);
    char *findFreeAt(const char *addr, size_t minSize);
    void reset();

    // Kept inline (cut to 63 characters): a heap object placed in another heap's memory is dropped
    // with it without its destructor running, so it must own no system memory.
    char d_name[64];
    long d_chunkSize;
    char *d_freeHead = nullptr;
    char *d_freeTail = nullptr;
    char *d_rover = nullptr;
    size_t d_bytesObtained = 0;
    size_t d_bytesInUse = 0;
    long d_blocksInUse = 0;
    long d_freeBlocks = 0;
    long d_growthCount = 0;
    bool d_dirty = false;
    size_t d_freedSinceCollect = 0;
    char *d_classes[numClasses] = {};
};

// The heap of containers given none. Never null unless the fallback heap cannot be created.
Hx_baseheap *nyxDefaultGlobalHeap();
// Sets the global heap (the global state calls it when it creates or drops "NYX Global Object Heap").
void nyxSetDefaultGlobalHeap(Hx_baseheap *heap);
// The default heap of nyxOIDHashTable ("NYX PropMgr Object Heap"); same fallback rule.
Hx_baseheap *nyxDefaultPropMgrHeap();
void nyxSetDefaultPropMgrHeap(Hx_baseheap *heap);
