// The identifier and iterator registries: bucket rule, membership, withdrawal and growth.
#include <gtest/gtest.h>

#include <climits>

#include "pi/pi.h"

namespace {

// The bucket rule written out in signed 32-bit arithmetic, as callers' tools compute it.
int64_t referenceBucket(uint32_t sum, uint32_t buckets) {
    int32_t h = static_cast<int32_t>(sum * 15485863u);
    int64_t wide = h < 0 ? -static_cast<int64_t>(h) : h;
    return wide % buckets;
}

TEST(FrameRegistry, BucketsFollowTheHashRule) {
    Hx_topheap::init();
    Hx_genheap heap("registry test", 4096);
    nyxRegistry oids(&heap, nyxRegistry::kOids);
    nyxRegistry iters(&heap, nyxRegistry::kIters);
    EXPECT_EQ(oids.bucketCount(), 10657u);
    EXPECT_EQ(iters.bucketCount(), 107u);
    // Word and tag are summed before multiplying; 0x80000000 is the sum whose product stays
    // negative after negation and must still give a bucket inside the array.
    const uint32_t words[] = {1, 2, 77, 0x12345, 0x7fffffff, 0x80000000u - 26, 0xfffffff0u};
    for (uint32_t w : words) {
        uint64_t key = nyxRegistry::oidKey(w, 26);
        EXPECT_EQ(oids.bucketOf(nyxRegistry::oidHash(key)), referenceBucket(w + 26, 10657)) << w;
        EXPECT_EQ(iters.bucketOf(nyxRegistry::iterHash(w)), referenceBucket(w, 107)) << w;
    }
    EXPECT_EQ(nyxRegistry::oidHash(nyxRegistry::oidKey(0x80000000u - 26, 26)), 0x80000000u);
    EXPECT_LT(oids.bucketOf(0x80000000u), 10657u);
}

TEST(FrameRegistry, InsertWithdrawAndGrowth) {
    Hx_topheap::init();
    Hx_genheap heap("registry test", 4096);
    nyxRegistry reg(&heap, nyxRegistry::kOids);
    EXPECT_FALSE(reg.created());
    EXPECT_FALSE(reg.contains(nyxRegistry::oidKey(5, 2)));
    ASSERT_TRUE(reg.insert(nyxRegistry::oidKey(5, 2)));
    ASSERT_TRUE(reg.insert(nyxRegistry::oidKey(5, 2)));  // present: no second node
    EXPECT_EQ(reg.size(), 1u);
    // The same word under another tag, and the swapped pair (same hash), are other keys.
    EXPECT_FALSE(reg.contains(nyxRegistry::oidKey(5, 4)));
    EXPECT_FALSE(reg.contains(nyxRegistry::oidKey(2, 5)));
    ASSERT_TRUE(reg.insert(nyxRegistry::oidKey(2, 5)));
    EXPECT_TRUE(reg.remove(nyxRegistry::oidKey(5, 2)));
    EXPECT_FALSE(reg.remove(nyxRegistry::oidKey(5, 2)));
    EXPECT_FALSE(reg.contains(nyxRegistry::oidKey(5, 2)));
    EXPECT_TRUE(reg.contains(nyxRegistry::oidKey(2, 5)));

    // Beyond two entries per bucket the table moves to a larger prime and keeps every key.
    const uint32_t n = 3 * 10657;
    for (uint32_t w = 1; w <= n; ++w) ASSERT_TRUE(reg.insert(nyxRegistry::oidKey(w * 6, 24)));
    EXPECT_EQ(reg.bucketCount(), 42641u);
    EXPECT_TRUE(reg.isValid());
    for (uint32_t w = 1; w <= n; w += 97) EXPECT_TRUE(reg.contains(nyxRegistry::oidKey(w * 6, 24)));
    for (uint32_t w = 1; w <= n; w += 2) ASSERT_TRUE(reg.remove(nyxRegistry::oidKey(w * 6, 24)));
    EXPECT_TRUE(reg.isValid());
    EXPECT_FALSE(reg.contains(nyxRegistry::oidKey(6, 24)));
    EXPECT_TRUE(reg.contains(nyxRegistry::oidKey(12, 24)));
}

TEST(FrameRegistry, SessionRegistrationRules) {
    cfidrErrorT e;
    cfidrPIInit(&e);
    nyx *s = nyx::session;
    // Before the first registration the answer is the trusted program bit.
    EXPECT_FALSE(s->oidUsable(100, 2));
    nyx::sessionFlags |= nyx::kTrustedProgram;
    EXPECT_TRUE(s->oidUsable(100, 2));
    nyx::sessionFlags = 0;
    // Pairs with a zero word or tag are never recorded; odd tags are always usable.
    ASSERT_TRUE(s->registerOID(0, 2));
    ASSERT_TRUE(s->registerOID(100, 0));
    EXPECT_EQ(s->oidRegistry(), nullptr);
    EXPECT_TRUE(s->oidUsable(100, 3));
    ASSERT_TRUE(s->registerOID(100, 2));
    EXPECT_TRUE(s->oidUsable(100, 2));
    EXPECT_FALSE(s->oidUsable(100, 4));
    s->withdrawOID(100, 2);
    EXPECT_FALSE(s->oidUsable(100, 2));
    cfidrPIQuit(&e);
}

} // namespace
