// The pointer index of view lists: one object under several hashes of one probe run.
#include <gtest/gtest.h>

#include "utils/ptrindex.h"
#include "utils/heap.h"

namespace {

int held(const nyxPtrIndex &index, uint32_t h, const void *obj) {
    int n = 0;
    index.forEach(h, [&](void *o) {
        n += o == obj ? 1 : 0;
        return true;
    });
    return n;
}

} // namespace

// Removal under one hash used to take the first entry of the object in the run, which could be
// its entry under another hash: the object then stayed under the hash it left and vanished from
// the one it kept.
TEST(PtrIndex, RemovalUnderOneHashKeepsTheObjectUnderAnother) {
    Hx_topheap::init();
    Hx_genheap heap("ptrindex test", 4096);
    nyxPtrIndex *index = nyxPtrIndex::create(&heap, 0);
    ASSERT_NE(index, nullptr);
    // Two hashes with the same home slot in the first table of 64 slots.
    const uint32_t h1 = 1;
    uint32_t h2 = h1 + 1;
    while (((h2 * 0x9e3779b1u) >> 26) != ((h1 * 0x9e3779b1u) >> 26)) ++h2;
    int obj = 0, other = 0;
    ASSERT_TRUE(index->add(h1, &obj));
    ASSERT_TRUE(index->add(h2, &obj));
    ASSERT_TRUE(index->add(h2, &other));
    EXPECT_TRUE(index->remove(h2, &obj));
    EXPECT_EQ(held(*index, h1, &obj), 1);
    EXPECT_EQ(held(*index, h2, &obj), 0);
    EXPECT_EQ(held(*index, h2, &other), 1);
    EXPECT_FALSE(index->remove(h2, &obj));
    EXPECT_EQ(index->size(), 2u);
    EXPECT_TRUE(index->isValid());
    nyxPtrIndex::destroy(index);
}
