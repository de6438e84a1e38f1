// Page manager and general heap: accounting, size classes, collection, growth, reallocation,
// large blocks and allocation failure.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "utils/heap.h"

namespace {

// Every test leaves the page manager with no chunks or large blocks of its own.
struct PageBaseline {
    int chunks = Hx_topheap::chunksInUse();
    int large = Hx_topheap::largeBlocksInUse();
    long committed = Hx_topheap::committedPages();
};

} // namespace

TEST(GenHeap, ConstructionRules) {
    EXPECT_EQ(Hx_genheap("a", -1).chunkSize(), 4096);
    EXPECT_EQ(Hx_genheap("a", 100).chunkSize(), 4096);
    EXPECT_EQ(Hx_genheap("a", 4 * 4096).chunkSize(), 4 * 4096);
    EXPECT_STREQ(Hx_genheap("", 0).name(), "HX Miscellaneous Heap");
    EXPECT_STREQ(Hx_genheap(nullptr, 0).name(), "HX Miscellaneous Heap");
    EXPECT_EQ(std::strlen(Hx_genheap(std::string(100, 'n').c_str(), 0).name()), 63u);
}

// A heap placed in another heap's memory is dropped with it, pages and all, even though its
// destructor never runs; later heap operations must not touch it.
TEST(GenHeap, NestedHeapsGoWithTheirContainer) {
    PageBaseline base;
    auto *outer = new Hx_genheap("NYX LibCell Object Heap", 4096);
    void *mem = outer->allocBlock(sizeof(Hx_genheap));
    ASSERT_NE(mem, nullptr);
    auto *inner = new (mem) Hx_genheap("NYX NetlistView Heap", 4096);
    ASSERT_NE(inner->allocBlock(600000), nullptr);  // a large block
    ASSERT_NE(inner->allocBlock(5000), nullptr);
    Hx_genheap after("after", 4096);  // linked in front of both
    ASSERT_NE(after.allocBlock(16), nullptr);
    delete outer;
    for (Hx_baseheap *h = Hx_topheap::heaps(); h; h = h->nextHeap()) EXPECT_NE(h, inner);
    EXPECT_EQ(Hx_topheap::largeBlocksInUse(), base.large);
    EXPECT_TRUE(Hx_topheap::isValid());
    Hx_topheap::quit();
    EXPECT_EQ(Hx_topheap::committedPages(), 0);
}

// Heaps nested at any depth (a library's view heaps, a view's own heaps in those) go with the
// outermost; heaps placed in another heap's memory stay with that heap, wherever they are linked.
TEST(GenHeap, HeapsNestedAtAnyDepthGoWithTheOutermost) {
    PageBaseline base;
    auto place = [](Hx_baseheap *in, const char *name) {
        void *mem = in->allocBlock(sizeof(Hx_genheap));
        return mem != nullptr ? new (mem) Hx_genheap(name, 4096) : nullptr;
    };
    auto *outer = new Hx_genheap("outer", 4096);
    Hx_genheap kept("kept", 4096);
    std::vector<Hx_genheap *> gone;
    for (int i = 0; i < 40; ++i) {
        Hx_genheap *mid = place(i % 4 == 0 ? outer : gone.back(), "mid");
        ASSERT_NE(mid, nullptr);
        ASSERT_NE(mid->allocBlock(i % 5 == 0 ? 600000 : 3000), nullptr);
        gone.push_back(mid);
    }
    Hx_genheap *stays = place(&kept, "stays");
    ASSERT_NE(stays, nullptr);
    void *keptBlock = stays->allocBlock(5000);
    ASSERT_NE(keptBlock, nullptr);
    std::memset(keptBlock, 7, 5000);
    delete outer;
    int linked = 0;
    for (Hx_baseheap *h = Hx_topheap::heaps(); h; h = h->nextHeap()) {
        for (Hx_genheap *g : gone) EXPECT_NE(h, g);
        linked += h == stays || h == &kept ? 1 : 0;
    }
    EXPECT_EQ(linked, 2);
    EXPECT_EQ(Hx_topheap::allocated(keptBlock), stays);
    EXPECT_EQ(static_cast<unsigned char *>(keptBlock)[4999], 7);
    EXPECT_EQ(Hx_topheap::largeBlocksInUse(), base.large);
    EXPECT_TRUE(Hx_topheap::isValid());
    stays->~Hx_genheap();
}

TEST(GenHeap, AccountingAndReturnOfWholeChunks) {
    PageBaseline base;
    {
        Hx_genheap h("acct", 4096);
        std::vector<void *> blocks;
        for (int i = 0; i < 2000; ++i) {
            size_t n = 16 + static_cast<size_t>(i % 97) * 8;
            void *p = h.allocBlock(n);
            ASSERT_NE(p, nullptr);
            std::memset(p, 0xAB, n);
            EXPECT_EQ(Hx_baseheap::find_heap(p), &h);
            blocks.push_back(p);
        }
        EXPECT_EQ(h.blocksInUse(), 2000);
        ASSERT_TRUE(h.isValid());
        for (size_t i = 0; i < blocks.size(); i += 2) h.freeBlock(blocks[i], 16 + (i % 97) * 8);
        EXPECT_EQ(h.blocksInUse(), 1000);
        ASSERT_TRUE(h.isValid());
        for (size_t i = 1; i < blocks.size(); i += 2) h.freeBlock(blocks[i], 16 + (i % 97) * 8);
        EXPECT_EQ(h.bytesInUse(), 0u);
        h.collect();
        ASSERT_TRUE(h.isValid());
        // Freeing blocks keeps the pages in the heap.
        EXPECT_GT(Hx_topheap::committedPages(), base.committed);
        EXPECT_TRUE(Hx_topheap::isValid());
    }
    // Destroying the heap returns its chunks to the system at once.
    EXPECT_EQ(Hx_topheap::chunksInUse(), base.chunks);
    EXPECT_EQ(Hx_topheap::largeBlocksInUse(), base.large);
    EXPECT_EQ(Hx_topheap::committedPages(), base.committed);
    EXPECT_TRUE(Hx_topheap::isValid());
}

TEST(GenHeap, SizeClassesAndFreeList) {
    // A word-aligned heap keeps the 4-byte size steps: 268 is the largest size class.
    Hx_genheap w("word", 4096);
    w.align_to_word();
    void *a = w.allocBlock(268);
    void *b = w.allocBlock(269);
    void *guard = w.allocBlock(64);
    ASSERT_TRUE(a && b && guard);
    EXPECT_EQ(w.roundSize(269), 272u);
    w.freeBlock(a, 268);
    w.freeBlock(b, 269);
    EXPECT_EQ(w.sizeClassHead(268), a);
    EXPECT_EQ(w.freeListHead(), b);
    EXPECT_EQ(w.allocBlock(268), a);  // straight from its class
    // Larger requests search from the rover (the rest of the page after `guard`) first.
    EXPECT_EQ(w.rover(), static_cast<char *>(guard) + 64);
    EXPECT_EQ(w.allocBlock(272), static_cast<char *>(guard) + 64);
    EXPECT_TRUE(w.isValid());

    // The default heap aligns on 8 bytes: 264 is its largest size class, 265 rounds to 272.
    Hx_genheap h("dbl", 4096);
    void *c = h.allocBlock(264);
    void *d = h.allocBlock(265);
    ASSERT_TRUE(c && d);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(c) % 8, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(d) % 8, 0u);
    h.freeBlock(c, 264);
    h.freeBlock(d, 265);
    EXPECT_EQ(h.sizeClassHead(264), c);
    EXPECT_EQ(h.sizeClassHead(272), nullptr);
    EXPECT_EQ(h.freeListHead(), d);
    EXPECT_EQ(h.roundSize(1), 16u);
    EXPECT_TRUE(h.isValid());
}

TEST(GenHeap, SplitRoverAndCollection) {
    Hx_genheap h("coll", 4096);
    void *first = h.allocBlock(400);
    ASSERT_NE(first, nullptr);
    // The remainder of the grown block follows the chosen one and becomes the rover.
    EXPECT_EQ(h.rover(), static_cast<char *>(first) + 400);
    std::vector<char *> blocks;
    for (int i = 0; i < 6; ++i) blocks.push_back(static_cast<char *>(h.allocBlock(304)));
    for (int i = 1; i < 6; ++i) EXPECT_EQ(blocks[i], blocks[i - 1] + 304);
    long freeBefore = h.freeBlockCount();
    for (char *b : blocks) h.freeBlock(b, 304);
    EXPECT_EQ(h.freeBlockCount(), freeBefore + 6);
    EXPECT_TRUE(h.dirty());
    h.collect();
    // The six touching blocks and the remainder after them merge into one block.
    EXPECT_EQ(h.freeBlockCount(), 1);
    EXPECT_EQ(h.freeListHead(), blocks[0]);
    EXPECT_FALSE(h.dirty());
    EXPECT_TRUE(h.isValid());

    // With 13 or more blocks left after merging, the list is ordered by size, smallest first.
    Hx_genheap s("sorted", 16 * 4096);
    std::vector<char *> pairs;
    for (int i = 0; i < 20; ++i) {
        pairs.push_back(static_cast<char *>(s.allocBlock(280 + 8 * static_cast<size_t>(20 - i))));
        pairs.push_back(static_cast<char *>(s.allocBlock(16)));
    }
    for (int i = 0; i < 20; ++i) s.freeBlock(pairs[2 * i], 280 + 8 * static_cast<size_t>(20 - i));
    s.collect();
    ASSERT_TRUE(s.isValid());
    const char *prevBlock = nullptr;
    uint64_t prevSize = 0;
    for (const char *b = static_cast<const char *>(s.freeListHead()); b;) {
        uint64_t size;
        std::memcpy(&size, b, sizeof size);
        EXPECT_GE(size, prevSize);
        prevSize = size;
        prevBlock = b;
        std::memcpy(&b, b + 8, sizeof b);
    }
    EXPECT_NE(prevBlock, nullptr);
}

TEST(GenHeap, GrowthSteps) {
    Hx_genheap h("grow", 4096);
    std::vector<size_t> obtained;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(h.grow(100));
        obtained.push_back(h.bytesObtained() / 4096);
    }
    // Pages per growth: 1, 1, 1 + 1, 1 + 2, then 4 + 2, 4 + 3 once the heap grew more than 3 times.
    EXPECT_EQ(obtained, (std::vector<size_t>{1, 2, 4, 7, 13, 20}));
    EXPECT_EQ(h.growthCount(), 6);
    EXPECT_EQ(h.freeBlockCount(), 6);
    EXPECT_TRUE(h.isValid());

    // A chunk size of 4 pages multiplies each step.
    Hx_genheap g("grow4", 4 * 4096);
    ASSERT_NE(g.allocBlock(100), nullptr);
    EXPECT_EQ(g.bytesObtained(), 4u * 4096);
}

TEST(GenHeap, ReallocationInPlaceAndMoving) {
    Hx_genheap h("realloc", 4096);
    char *p = static_cast<char *>(h.allocate(100));
    ASSERT_NE(p, nullptr);
    std::memset(p, 'x', 100);
    // The rest of the page follows p: growing absorbs it in place.
    EXPECT_EQ(h.reallocate(p, 1000), p);
    EXPECT_EQ(h.reallocate(p, 50), p);
    EXPECT_TRUE(h.isValid());
    char *q = static_cast<char *>(h.allocate(16));  // now something sits right after p
    ASSERT_NE(q, nullptr);
    char *r = static_cast<char *>(h.reallocate(p, 2000));
    ASSERT_NE(r, nullptr);
    EXPECT_NE(r, p);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(r[i], 'x');
    EXPECT_EQ(h.blocksInUse(), 2);
    h.deallocate(r);
    h.deallocate(q);
    EXPECT_EQ(h.bytesInUse(), 0u);
    EXPECT_TRUE(h.isValid());
    EXPECT_NE(h.reallocate(nullptr, 10), nullptr);
}

TEST(TopHeap, ChunksLargeBlocksAndExactRuns) {
    PageBaseline base;
    Hx_genheap a("a", 4096), b("b", 4096);
    void *large = Hx_topheap::allocate(125, &a);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(Hx_topheap::largeBlocksInUse(), base.large + 1);
    EXPECT_EQ(Hx_topheap::chunksInUse(), base.chunks);
    EXPECT_EQ(Hx_topheap::allocated(static_cast<char *>(large) + 125 * 4096 - 1), &a);
    void *one = Hx_topheap::allocate(1, &a);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(Hx_topheap::chunksInUse(), base.chunks + 1);
    // 124 pages fit exactly in the rest of that chunk.
    void *rest = Hx_topheap::allocate(124, &b);
    ASSERT_NE(rest, nullptr);
    EXPECT_EQ(Hx_topheap::chunksInUse(), base.chunks + 1);
    EXPECT_EQ(Hx_topheap::allocated(rest), &b);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(rest) % 4096, 0u);
    EXPECT_TRUE(Hx_topheap::isValid());
    Hx_topheap::deallocate(large, 125);
    EXPECT_EQ(Hx_topheap::largeBlocksInUse(), base.large);
    EXPECT_EQ(Hx_topheap::allocated(large), nullptr);
    Hx_topheap::deallocate(rest, 124);
    Hx_topheap::deallocate(one, 1);
    EXPECT_EQ(Hx_topheap::chunksInUse(), base.chunks);
    EXPECT_EQ(Hx_topheap::committedPages(), base.committed);

    // Heap blocks beyond a chunk come from large blocks and go back with the heap.
    {
        Hx_genheap big("big", 4096);
        void *p = big.allocBlock(600000);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(Hx_topheap::largeBlocksInUse(), base.large + 1);
        EXPECT_TRUE(big.isValid());
    }
    EXPECT_EQ(Hx_topheap::largeBlocksInUse(), base.large);
    int local = 0;
    EXPECT_EQ(Hx_topheap::allocated(&local), nullptr);
    EXPECT_EQ(Hx_topheap::allocated(nullptr), nullptr);
    EXPECT_EQ(Hx_topheap::allocate(0, &a), nullptr);
    EXPECT_TRUE(Hx_topheap::isValid());
}

TEST(TopHeap, ObjectWordsFitThirtyTwoBits) {
    Hx_genheap h("words", 4096);
    void *p = h.allocBlock(16);
    ASSERT_NE(p, nullptr);
    uintptr_t off = reinterpret_cast<uintptr_t>(p) - Hx_topheap::rangeBase();
    EXPECT_GE(off, 4096u);  // the first page is never handed out
    EXPECT_LE(Hx_topheap::rangeSize() / 8, uint64_t{1} << 32);
    EXPECT_TRUE(Hx_topheap::inRange(p));
}

TEST(TopHeap, AllocationFailureReturnsNull) {
    Hx_topheap::setPageLimit(Hx_topheap::pagesInUse());
    Hx_genheap h("starved", 4096);
    EXPECT_EQ(h.allocBlock(16), nullptr);
    EXPECT_EQ(h.allocate(1000), nullptr);
    EXPECT_EQ(h.reallocate(nullptr, 10), nullptr);
    EXPECT_EQ(Hx_topheap::allocate(200, &h), nullptr);
    EXPECT_TRUE(h.isValid());
    Hx_topheap::setPageLimit(-1);
    EXPECT_NE(h.allocBlock(16), nullptr);
}

TEST(TopHeap, QuitReleasesPagesAndHeapsStartAfresh) {
    Hx_topheap::init();
    uintptr_t base = Hx_topheap::rangeBase();
    Hx_genheap h("survivor", 4096);
    ASSERT_NE(h.allocBlock(100), nullptr);
    Hx_topheap::quit();
    EXPECT_FALSE(Hx_topheap::initialised());
    EXPECT_EQ(Hx_topheap::chunksInUse(), 0);
    EXPECT_EQ(h.bytesObtained(), 0u);
    EXPECT_EQ(Hx_topheap::rangeBase(), base);  // the range is kept for the process
    Hx_topheap::init();
    void *p = h.allocBlock(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Hx_topheap::allocated(p), &h);
    EXPECT_TRUE(h.isValid());
}

#include "utils/heapint.h"

#ifdef NYX_HEAP_ASAN
// In sanitizer builds the payload of free blocks is poisoned, so use after free is reported.
TEST(GenHeap, FreedPayloadIsPoisoned) {
    Hx_genheap h("poison", 4096);
    char *p = static_cast<char *>(h.allocBlock(200));
    char *q = static_cast<char *>(h.allocBlock(800));
    ASSERT_TRUE(p && q);
    EXPECT_FALSE(__asan_address_is_poisoned(p + 199));
    EXPECT_TRUE(__asan_address_is_poisoned(q + 900));  // the rest of the page is free
    h.freeBlock(p, 200);
    h.freeBlock(q, 800);
    EXPECT_TRUE(__asan_address_is_poisoned(p + 100));
    EXPECT_TRUE(__asan_address_is_poisoned(q + 400));
    h.collect();
    EXPECT_TRUE(__asan_address_is_poisoned(q + 8));  // a merged-away header
    char *r = static_cast<char *>(h.allocBlock(1000));
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(__asan_address_is_poisoned(r + 999));
    char *s = static_cast<char *>(h.allocate(100));
    EXPECT_FALSE(__asan_address_is_poisoned(h.reallocate(s, 150)));
    EXPECT_TRUE(h.isValid());
}
#endif
