// The identifier and iterator registries: bucket rule, membership, withdrawal, growth along the
// prime lists, the key 0 and keys whose placement waits. The table's own mechanics (runs across
// the end, backward shift, memory running out) are tested with the template in tests/utils.
#include <gtest/gtest.h>

#include <climits>

#include "pi/pi.h"
#include "common/modes.h"

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

// The key 0 has no bucket of its own (0 marks a free slot) and is still a member like any other.
TEST(FrameRegistry, ZeroKeyIsAMemberLikeAnyOther) {
    Hx_topheap::init();
    Hx_genheap heap("registry test", 4096);
    nyxRegistry reg(&heap, nyxRegistry::kIters);
    EXPECT_FALSE(reg.contains(0));
    ASSERT_TRUE(reg.insert(0));
    EXPECT_TRUE(reg.contains(0));
    EXPECT_FALSE(reg.created());
    ASSERT_TRUE(reg.insert(64));
    EXPECT_EQ(reg.size(), 2u);
    EXPECT_TRUE(reg.remove(0));
    EXPECT_FALSE(reg.remove(0));
    EXPECT_FALSE(reg.contains(0));
    EXPECT_TRUE(reg.contains(64));
    EXPECT_TRUE(reg.isValid());
}

// A large table places keys a few inserts late: a key just registered (twice, or already placed)
// must be a member at once, counted once, and withdrawn wherever it waits.
TEST(FrameRegistry, LateKeysAreMembersAtOnce) {
    Hx_topheap::init();
    Hx_genheap heap("registry test", 65536);
    nyxRegistry reg(&heap, nyxRegistry::kOids);
    uint32_t n = 0;
    auto key = [](uint32_t i) { return nyxRegistry::oidKey(8 + 5 * i, 24); };
    while (reg.bucketCount() < nyxRegistry::kDeferFrom) ASSERT_TRUE(reg.insert(key(n++)));
    ASSERT_TRUE(reg.isValid());
    size_t held = reg.size();
    ASSERT_EQ(held, n);
    // Fresh keys, one of them twice, and placed keys again.
    for (uint32_t i = n; i < n + 5; ++i) ASSERT_TRUE(reg.insert(key(i)));
    ASSERT_TRUE(reg.insert(key(n + 2)));
    ASSERT_TRUE(reg.insert(key(0)));
    ASSERT_TRUE(reg.insert(key(1)));
    EXPECT_EQ(reg.size(), held + 5);
    for (uint32_t i = n; i < n + 5; ++i) EXPECT_TRUE(reg.contains(key(i))) << i;
    EXPECT_TRUE(reg.isValid());
    // Withdrawn while waiting (the doubled key in both of its entries) and while placed.
    EXPECT_TRUE(reg.remove(key(n + 2)));
    EXPECT_FALSE(reg.contains(key(n + 2)));
    EXPECT_TRUE(reg.remove(key(1)));
    EXPECT_FALSE(reg.contains(key(1)));
    EXPECT_FALSE(reg.remove(key(n + 2)));
    EXPECT_EQ(reg.size(), held + 3);
    // Many more inserts push the waiting keys into the table; the set stays the same.
    for (uint32_t i = n + 5; i < n + 5 + 3 * nyxRegistry::kQueue; ++i) {
        ASSERT_TRUE(reg.insert(key(i)));
    }
    reg.settle();
    EXPECT_TRUE(reg.isValid());
    EXPECT_EQ(reg.size(), held + 3 + 3 * nyxRegistry::kQueue);
    EXPECT_FALSE(reg.contains(key(n + 2)));
    EXPECT_TRUE(reg.contains(key(n + 3)));
    EXPECT_TRUE(reg.contains(key(0)));
}

// A table that cannot grow takes keys until one bucket is left, then refuses new keys (memory
// ran out) while present keys stay members and look-ups of absent keys still end.
TEST(FrameRegistry, FullTableWithoutMemoryToGrow) {
    Hx_topheap::init();
    Hx_genheap heap("registry test", 4096);
    nyxRegistry reg(&heap, nyxRegistry::kOids);
    auto key = [](uint32_t i) { return nyxRegistry::oidKey(8 + 5 * i, 24); };
    ASSERT_TRUE(reg.insert(key(0)));
    const uint32_t buckets = reg.bucketCount();
    Hx_topheap::setPageLimit(Hx_topheap::pagesInUse());
    uint32_t n = 1;
    while (n < buckets - 1) ASSERT_TRUE(reg.insert(key(n++))) << n;
    EXPECT_EQ(reg.bucketCount(), buckets);
    EXPECT_FALSE(reg.insert(key(n)));
    EXPECT_TRUE(reg.insert(key(7)));
    EXPECT_FALSE(reg.contains(key(n)));
    EXPECT_TRUE(reg.isValid());
    // Room again: growth resumes and keeps every key.
    Hx_topheap::setPageLimit(-1);
    ASSERT_TRUE(reg.insert(key(n)));
    EXPECT_GT(reg.bucketCount(), buckets);
    EXPECT_EQ(reg.size(), static_cast<size_t>(n) + 1);
    EXPECT_TRUE(reg.isValid());
}

TEST(FrameRegistry, SessionRegistrationRules) {
    cfidrErrorT e;
    cfidrPIInit(&e);
    nyx *s = nyx::session;
    // Before the first registration the answer is the trusted program bit.
    EXPECT_FALSE(s->oidUsable(100, 2));
    nyxdrPISetTrustedProgramMode(1, &e);
    EXPECT_TRUE(s->oidUsable(100, 2));
    nyxtest::clearTrustedModes();
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
