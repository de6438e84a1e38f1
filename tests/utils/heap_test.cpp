#include <gtest/gtest.h>

#include "utils/heap.h"

TEST(GenHeap, Smoke) {
    Hx_genheap h("t", 4096);
    void *p = h.allocBlock(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Hx_topheap::allocated(p), &h);
    h.freeBlock(p, 100);
    EXPECT_TRUE(h.isValid());
    EXPECT_TRUE(Hx_topheap::isValid());
}
