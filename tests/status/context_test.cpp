// Status contexts: growth, pop, copy, bad indexes and the per-thread default context.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <thread>

#include "status/statusInt.h"

namespace {

using ContextPtr = std::unique_ptr<zilerrContext_, decltype(&zilerrDestroyContext)>;

ContextPtr makeContext() { return ContextPtr(zilerrCreateContext(), zilerrDestroyContext); }

TEST(StatusContext, StatusArrayGrowsPastSixteenAndKeepsEntries) {
    ContextPtr c = makeContext();
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(zilerrAddStatus(c.get(), 100 + i, "status %d", "pkg", 3, i, i), 0);
    EXPECT_EQ(c->statusCapacity, 16);
    ASSERT_EQ(zilerrAddStatus(c.get(), 116, "status %d", "pkg", 3, 16, 16), 0);
    EXPECT_EQ(c->statusCapacity, 32);
    EXPECT_EQ(zilerrGetCount(c.get()), 17);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(zilerrGetMessage(c.get(), i), "status " + std::to_string(i));
        EXPECT_EQ(zilerrGetMessageId(c.get(), i), 100 + i);
        EXPECT_EQ(zilerrGetFlags(c.get(), i), i);
    }
}

TEST(StatusContext, TextPoolGrowsPast7168Bytes) {
    ContextPtr c = makeContext();
    std::string big(7000, 'a'); // One status: 7001 bytes of the 7168.
    ASSERT_EQ(zilerrAddStatus(c.get(), 1, "%s", "p", 1, 0, big.c_str()), 0);
    ASSERT_EQ(zilerrAddStatus(c.get(), 2, "%s", "p", 1, 0, std::string(166, 'b').c_str()), 0);
    EXPECT_EQ(c->textUsed, 7168);
    EXPECT_EQ(c->textCapacity, 7168);
    ASSERT_EQ(zilerrAddStatus(c.get(), 3, "c", "p", 1, 0), 0);
    EXPECT_EQ(c->textCapacity, 14336);
    EXPECT_EQ(zilerrGetMessage(c.get(), 0), big);
    EXPECT_EQ(zilerrGetMessage(c.get(), 2), std::string("c"));
    // A single text larger than twice the pool doubles until it fits, untruncated.
    std::string huge(40000, 'h');
    ASSERT_EQ(zilerrAddStatus(c.get(), 4, "%s", "p", 1, 0, huge.c_str()), 0);
    EXPECT_EQ(c->textCapacity, 57344);
    EXPECT_EQ(zilerrGetMessage(c.get(), 3), huge);
}

TEST(StatusContext, PopAndClear) {
    ContextPtr c = makeContext();
    EXPECT_EQ(zilerrPopStatus(c.get()), 1);
    for (int i = 0; i < 3; ++i) zilerrAddStatus(c.get(), i, "text%d", "p", 2, 0, i);
    EXPECT_EQ(zilerrPopStatus(c.get()), 0);
    EXPECT_EQ(zilerrGetCount(c.get()), 2);
    EXPECT_EQ(c->textUsed, 12); // "text0" and "text1" with terminators.
    zilerrAddStatus(c.get(), 9, "again", nullptr, 2, 0);
    EXPECT_EQ(zilerrGetMessage(c.get(), 2), std::string("again"));
    EXPECT_EQ(zilerrGetPackage(c.get(), 2), std::string());
    // An empty text still takes its terminator, so popping it keeps the pool consistent.
    EXPECT_EQ(zilerrAddStatus(c.get(), 10, nullptr, "p", 2, 0), 1);
    EXPECT_EQ(zilerrGetMessage(c.get(), 3), std::string());
    EXPECT_EQ(zilerrPopStatus(c.get()), 0);
    EXPECT_EQ(c->textUsed, 18);
    EXPECT_EQ(zilerrClearContext(c.get()), c.get());
    EXPECT_EQ(zilerrGetCount(c.get()), 0);
    EXPECT_EQ(c->textUsed, 0);
    EXPECT_EQ(zilerrPopStatus(c.get()), 1);
}

TEST(StatusContext, RemovingARunClosesItsGapInTheTextPool) {
    ContextPtr c = makeContext();
    for (int i = 0; i < 6; ++i)
        zilerrAddStatus(c.get(), i, "t%d%s", "p", 2, 0, i, i % 2 ? "x" : "");
    EXPECT_FALSE(nyxStatusRemove(c.get(), 4, 3));  // past the top: nothing changes
    EXPECT_FALSE(nyxStatusRemove(c.get(), -1, 1));
    ASSERT_TRUE(nyxStatusRemove(c.get(), 1, 2));   // a run in the middle
    ASSERT_TRUE(nyxStatusRemove(c.get(), 2, 2));   // and one at the top
    ASSERT_EQ(zilerrGetCount(c.get()), 2);
    EXPECT_EQ(zilerrGetMessage(c.get(), 0), std::string("t0"));
    EXPECT_EQ(zilerrGetMessage(c.get(), 1), std::string("t3x"));
    EXPECT_EQ(zilerrGetMessageId(c.get(), 1), 3);
    EXPECT_EQ(c->textUsed, 7);
    zilerrAddStatus(c.get(), 9, "new", "p", 2, 0);  // appends after the closed gap
    EXPECT_EQ(zilerrGetMessage(c.get(), 2), std::string("new"));
    EXPECT_EQ(zilerrPopStatus(c.get()), 0);
    EXPECT_EQ(c->textUsed, 7);
}

TEST(StatusContext, IndexesOutsideTheContextReadNothingAndPackageNamesAreCut) {
    ContextPtr c = makeContext();
    zilerrAddStatus(c.get(), 7, "only", std::string(40, 'n').c_str(), 2, 5);
    EXPECT_EQ(zilerrGetPackage(c.get(), 0), std::string(31, 'n'));
    for (int bad : {-1, 1, 2, INT_MIN, INT_MAX}) {
        EXPECT_EQ(zilerrGetMessage(c.get(), bad), nullptr) << bad;
        EXPECT_EQ(zilerrGetPackage(c.get(), bad), nullptr) << bad;
        EXPECT_EQ(zilerrGetMessageId(c.get(), bad), -1) << bad;
        EXPECT_EQ(zilerrGetSeverity(c.get(), bad), 0) << bad;
        EXPECT_EQ(zilerrGetFlags(c.get(), bad), 0) << bad;
        EXPECT_EQ(zilerrSetFlags(c.get(), bad, 1), 1) << bad;
        EXPECT_EQ(zilerrCopyStatus(c.get(), c.get(), bad), 1) << bad;
    }
    EXPECT_EQ(zilerrSetFlags(c.get(), 0, 11), 0);
    EXPECT_EQ(zilerrGetFlags(c.get(), 0), 11);
    EXPECT_EQ(zilerrGetCount(c.get()), 1);
}

TEST(StatusContext, CopyRules) {
    ContextPtr a = makeContext();
    ContextPtr b = makeContext();
    // Both null: nothing happens, not even the thread context is touched.
    EXPECT_EQ(zilerrCopyContext(nullptr, nullptr), 1);
    for (int i = 0; i < 16; ++i) zilerrAddStatus(a.get(), i, "m%d", "pa", 1 + i % 3, i, i);
    ASSERT_EQ(zilerrCopyStatus(b.get(), a.get(), 5), 0);
    EXPECT_EQ(zilerrGetMessage(b.get(), 0), std::string("m5"));
    EXPECT_EQ(zilerrGetSeverity(b.get(), 0), 3);
    EXPECT_EQ(zilerrGetPackage(b.get(), 0), std::string("pa"));
    ASSERT_EQ(zilerrCopyContext(b.get(), a.get()), 0);
    EXPECT_EQ(zilerrGetCount(b.get()), 17);
    EXPECT_EQ(zilerrGetMessage(b.get(), 16), std::string("m15"));
    // Into itself: the copy grows both stores (moving them) while reading from them.
    std::string big(7000, 'q');
    zilerrAddStatus(a.get(), 99, "%s", "pa", 1, 0, big.c_str());
    ASSERT_EQ(zilerrCopyContext(a.get(), a.get()), 0);
    ASSERT_EQ(zilerrGetCount(a.get()), 34);
    for (int i = 0; i < 17; ++i)
        EXPECT_STREQ(zilerrGetMessage(a.get(), 17 + i), zilerrGetMessage(a.get(), i));
    EXPECT_EQ(zilerrGetMessage(a.get(), 33), big);
    // A null argument stands for the thread context.
    ASSERT_EQ(zilerrCopyContext(nullptr, b.get()), 0);
    EXPECT_EQ(zilerrGetCount(nullptr), 17);
}

TEST(StatusContext, EachThreadHasItsOwnDefaultContext) {
    zilerrAddStatus(nullptr, 1, "main", "p", 1, 0);
    zilerrContextT mainContext = zilerrContextForThread();
    zilerrContextT seen[2] = {nullptr, nullptr};
    int counts[2] = {-2, -2};
    std::string texts[2];
    auto work = [&](int k) {
        for (int i = 0; i <= k; ++i) zilerrAddStatus(nullptr, k, "thread %d", "p", 2, 0, k);
        seen[k] = zilerrContextForThread();
        counts[k] = zilerrGetCount(nullptr);
        texts[k] = zilerrGetMessage(nullptr, 0);
    };
    std::thread t0(work, 0), t1(work, 1);
    t0.join();
    t1.join();
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(counts[k], k + 1);
        EXPECT_EQ(texts[k], "thread " + std::to_string(k));
        EXPECT_NE(seen[k], mainContext);
    }
    EXPECT_EQ(zilerrGetCount(nullptr), 1);
    EXPECT_EQ(zilerrGetMessage(nullptr, 0), std::string("main"));
    // Destroying the default context is safe: the next use starts a fresh one.
    zilerrDestroyContext(nullptr);
    EXPECT_EQ(zilerrGetCount(nullptr), 0);
}

} // namespace
