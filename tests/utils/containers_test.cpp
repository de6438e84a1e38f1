// Blocked pointer array, object slab, bit set and the lists kept for one session.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "utils/containers.h"
#include "utils/nyx.h"

namespace {
void *item(intptr_t i) { return reinterpret_cast<void *>(i); }
} // namespace

TEST(DynArray, InsertIntoFullBlockKeepsOrder) {
    Hx_genheap heap("dyn", 4096);
    nyxDynArray a(&heap);
    for (intptr_t i = 0; i < 32; ++i) ASSERT_EQ(a.add(item(i * 2 + 2)), i);
    EXPECT_EQ(a.blockCount(), 1);
    // Inserting at position 5 of the full block moves its last element into a new block.
    EXPECT_EQ(a.insert(item(1), 5), 5);
    EXPECT_EQ(a.nitems(), 33);
    EXPECT_EQ(a.blockCount(), 2);
    std::vector<intptr_t> seen;
    for (int32_t i = 0; i < a.nitems(); ++i) seen.push_back(reinterpret_cast<intptr_t>(a[i]));
    std::vector<intptr_t> expected;
    for (intptr_t i = 0; i < 32; ++i) expected.push_back(i * 2 + 2);
    expected.insert(expected.begin() + 5, 1);
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(a.isValid());
    // Appending continues after the split-off element; out-of-range inserts append.
    EXPECT_EQ(a.add(item(999)), 33);
    EXPECT_EQ(a.insert(item(1000), -1), 34);
    EXPECT_EQ(a.insert(item(1001), 35), 35);
    EXPECT_EQ(a[35], item(1001));
    EXPECT_TRUE(a.isValid());
}

TEST(DynArray, RemoveIndexAndBounds) {
    Hx_genheap heap("dyn", 4096);
    nyxDynArray a(&heap);
    for (intptr_t i = 1; i <= 70; ++i) a.add(item(i));
    EXPECT_EQ(a.remove(item(40)), 39);
    EXPECT_EQ(a.remove(item(40)), -1);
    EXPECT_EQ(a.index_of(item(41)), 39);
    EXPECT_EQ(a.index_of(item(70)), 68);
    EXPECT_EQ(a[68], item(70));
    // Emptying a middle block leaves it in place; positions skip it.
    for (intptr_t i = 33; i <= 64; ++i) a.remove(item(i));
    EXPECT_EQ(a.nitems(), 38);
    EXPECT_EQ(a[32], item(65));
    EXPECT_EQ(a[-1], nullptr);
    EXPECT_EQ(a[38], nullptr);
    EXPECT_FALSE(a.set(38, item(1)));
    EXPECT_TRUE(a.set(0, item(7)));
    EXPECT_EQ(a[0], item(7));
    EXPECT_TRUE(a.isValid());
    a.clear();
    EXPECT_EQ(a.nitems(), 0);
    EXPECT_EQ(a[0], nullptr);
    EXPECT_EQ(heap.blocksInUse(), 0);
    // A default array takes the global heap on first use.
    nyxDynArray d;
    d.append(item(1));
    EXPECT_EQ(d.heap(), nyxDefaultGlobalHeap());
}

TEST(ListBlock, FreeListOrderAndHighWater) {
    Hx_genheap heap("slab", 4096);
    // The counts of a 1024-byte block with a 36-byte header, in a larger real block.
    nyxListBlock *b = nyxListBlock::create(&heap, 7, 2048, 44, (1024 - 36) / 44);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 2048, 0u);
    EXPECT_EQ(b->maxCount(), 22);
    std::vector<void *> objs;
    while (void *o = b->allocObject()) objs.push_back(o);
    ASSERT_EQ(objs.size(), 22u);
    EXPECT_EQ(b->highWater(), 22);
    for (size_t i = 0; i < objs.size(); ++i) {
        EXPECT_EQ(nyxListBlock::getHeader(objs[i], 2048), b);
        EXPECT_EQ(nyxListBlock::getIndex(static_cast<char *>(objs[i]) + 3, 2048), static_cast<int32_t>(i));
        EXPECT_EQ(nyxListBlock::getObject(static_cast<char *>(objs[i]) + 43, 2048), objs[i]);
    }
    EXPECT_EQ(nyxListBlock::getObject(b, 2048), nullptr);
    // Frees out of order: the next allocation is the lowest free object.
    b->freeObject(objs[9]);
    b->freeObject(objs[3]);
    b->freeObject(objs[3]);  // a second free changes nothing
    EXPECT_EQ(b->count(), 20);
    EXPECT_EQ(b->freeHead(), objs[3]);
    EXPECT_TRUE(b->isFreeObject(objs[9]));
    EXPECT_FALSE(b->isFreeObject(objs[4]));
    // Freeing the top objects lowers the high water below every free object at the top.
    b->freeObject(objs[20]);
    EXPECT_EQ(b->highWater(), 22);
    b->freeObject(objs[21]);
    EXPECT_EQ(b->highWater(), 20);
    for (int i = 19; i >= 10; --i) b->freeObject(objs[i]);
    EXPECT_EQ(b->highWater(), 9);  // object 9 was already free
    EXPECT_TRUE(b->isValid());
    EXPECT_EQ(b->allocObject(), objs[3]);
    EXPECT_EQ(b->allocObject(), objs[9]);
    EXPECT_EQ(b->highWater(), 10);
    EXPECT_TRUE(b->isValid());
    b->freeObject(static_cast<char *>(objs[5]) + 1);  // not an object start: ignored
    EXPECT_EQ(b->count(), 10);
    nyxListBlock::destroy(&heap, b);
    EXPECT_EQ(heap.blocksInUse(), 0);
    EXPECT_TRUE(heap.isValid());
    EXPECT_EQ(nyxListBlock::create(&heap, 1, 1000, 44), nullptr);  // not a power of two
}

TEST(BitSet, GrowthAndOperations) {
    Hx_genheap heap("bits", 4096);
    nyxBitSet s(&heap);
    EXPECT_FALSE(s.in_set(1000));
    EXPECT_EQ(s.wordCount(), 2);  // asking does not grow
    EXPECT_FALSE(s.add_performed());
    EXPECT_TRUE(s.add(0));
    EXPECT_TRUE(s.add(63));
    EXPECT_EQ(s.wordCount(), 2);
    EXPECT_TRUE(s.add(100));
    EXPECT_EQ(s.wordCount(), 4);
    // Growing keeps the old words at the end: low bits survive.
    EXPECT_TRUE(s.in_set(0));
    EXPECT_TRUE(s.in_set(63));
    EXPECT_TRUE(s.in_set(100));
    EXPECT_FALSE(s.in_set(99));
    EXPECT_EQ(s.check_and_add(100), 1);
    EXPECT_EQ(s.check_and_add(5), 0);
    EXPECT_EQ(s.bits_set(), 4);
    s.remove(63);
    s.remove(5000);
    EXPECT_FALSE(s.in_set(63));
    EXPECT_FALSE(s.add(-1));
    EXPECT_FALSE(s.in_set(-1));

    nyxBitSet t(&heap);
    t.add(1);
    t.add(300);
    EXPECT_TRUE(s.merge_set(t));
    EXPECT_TRUE(s.in_set(300) && s.in_set(1) && s.in_set(100));
    EXPECT_EQ(s.bits_set(), 5);  // 0, 1, 5, 100, 300
    EXPECT_TRUE(t.init_from_other(s));
    EXPECT_EQ(t.bits_set(), 5);
    EXPECT_TRUE(t.in_set(0));
    s.remove_all();
    EXPECT_FALSE(s.add_performed());
    EXPECT_TRUE(s.pregrow(1024));
    EXPECT_EQ(s.wordCount(), 32);
}

// A list kept outside the global state holds blocks of its global heap: after that state is
// dropped the list must read as empty and never free or read those blocks again, whether it is
// used in the next state or only destroyed at exit.
TEST(SessionList, BlocksOfADroppedStateAreForgottenNotFreed) {
    static nyxSessionList kept;
    int items[40] = {};
    ASSERT_NE(nyx::create(), nullptr);
    for (int &item : items) ASSERT_GE(kept.list().add(&item), 0);
    EXPECT_EQ(kept.list().nitems(), 40);
    nyx::destroy();
    EXPECT_EQ(kept.list().nitems(), 0);
    ASSERT_NE(nyx::create(), nullptr);
    EXPECT_EQ(kept.list().nitems(), 0);
    EXPECT_GE(kept.list().add(&items[0]), 0);
    EXPECT_TRUE(kept.list().isValid());
    nyx::destroy();
}
