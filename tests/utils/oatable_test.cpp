// The open-addressing table template: runs across the end of the array and the backward shift
// of removal, growth, reuse of removed slots, the three indexes, and memory running out.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "utils/heap.h"
#include "utils/oatable.h"

namespace {

// Test entries: an id in the low word (never 0) and the hash the entry is placed by in the high
// word, so that a test chooses every home slot.
uint64_t entry(uint32_t id, uint32_t h) { return uint64_t{h} << 32 | id; }

template <class I, bool Batched = false>
struct TestTraits {
    using Slot = uint64_t;
    using Index = I;
    static constexpr uint32_t kHugeFrom = 1u << 20;
    static constexpr bool kPrefetchOnGrow = Batched;
    static bool isEmpty(uint64_t s) { return s == 0; }
    static uint32_t hashOf(uint64_t s) { return static_cast<uint32_t>(s >> 32); }
    static uint32_t maxLoad(uint32_t cap) { return cap / 2; }
};

template <class T>
bool valid(const T &t) {
    return t.isValid([](uint32_t, uint64_t) { return true; });
}

template <class T>
uint32_t find(const T &t, uint64_t e) {
    uint32_t i = t.probe(t.home(t.hashOf(e)), [e](uint64_t s) { return s == e; });
    return t.isFree(i) ? UINT32_MAX : i;
}

template <class T>
bool erase(T &t, uint64_t e) {
    uint32_t i = find(t, e);
    if (i == UINT32_MAX) return false;
    t.eraseAt(i);
    return true;
}

template <class T>
bool add(T &t, uint64_t e) {
    if (!t.hasRoom() && !t.grow()) return false;
    t.place(e);
    return true;
}

const uint32_t kPrimes[] = {67, 131, 263, 0};

struct OATable : ::testing::Test {
    void SetUp() override { Hx_topheap::init(); }
    void TearDown() override { Hx_topheap::setPageLimit(-1); }
    Hx_genheap heap{"oatable test", 4096};
};

using MaskTable = nyxOATable<TestTraits<nyxOAMaskIndex>>;
using PrimeTable = nyxOATable<TestTraits<nyxOAPrimeIndex>>;

} // namespace

// Entries whose home is the last slot run on from slot 0; removing one shifts the later entries
// of the run back across the end, except those that would then sit before their home.
TEST_F(OATable, RunsWrapAndRemovalShiftsBack) {
    PrimeTable t(&heap, {}, nyxOAPrimeIndex(kPrimes));
    ASSERT_TRUE(t.create(t.capacity()));
    const uint32_t last = 66;
    const uint64_t a = entry(1, last - 1), b = entry(2, last), c = entry(3, last), d = entry(4, 67),
                   e = entry(5, last - 1);  // d's hash 67 is home 0
    for (uint64_t x : {a, b, c, d, e}) t.place(x);
    EXPECT_EQ(find(t, a), last - 1);
    EXPECT_EQ(find(t, b), last);
    EXPECT_EQ(find(t, c), 0u);
    EXPECT_EQ(find(t, d), 1u);
    EXPECT_EQ(find(t, e), 2u);
    ASSERT_TRUE(valid(t));
    // Removing b moves c, d and e back one slot each, across the end of the array.
    ASSERT_TRUE(erase(t, b));
    EXPECT_EQ(find(t, c), last);
    EXPECT_EQ(find(t, d), 0u);
    EXPECT_EQ(find(t, e), 1u);
    EXPECT_TRUE(t.isFree(2));
    // Removing a lets e in behind it but not d, whose home is slot 0.
    ASSERT_TRUE(erase(t, a));
    EXPECT_EQ(find(t, e), last - 1);
    EXPECT_EQ(find(t, d), 0u);
    EXPECT_FALSE(erase(t, a));
    EXPECT_EQ(find(t, b), UINT32_MAX);
    EXPECT_EQ(t.size(), 3u);
    EXPECT_TRUE(valid(t));
}

// Growth follows the index (doubling, or the next prime of the list) when an add passes the
// maximum load, keeps every entry, and puts them where the batched move puts them too.
TEST_F(OATable, GrowthKeepsEveryEntry) {
    MaskTable plain(&heap);
    nyxOATable<TestTraits<nyxOAMaskIndex, true>> batched(&heap);
    ASSERT_TRUE(plain.create(64));
    ASSERT_TRUE(batched.create(64));
    std::mt19937 rng(7);
    std::vector<uint64_t> all;
    for (uint32_t id = 1; id <= 33; ++id) {
        all.push_back(entry(id, static_cast<uint32_t>(rng())));
        ASSERT_TRUE(add(plain, all.back()));
        ASSERT_TRUE(add(batched, all.back()));
        EXPECT_EQ(plain.capacity(), id <= 32 ? 64u : 128u) << id;
    }
    EXPECT_TRUE(valid(plain));
    for (uint64_t x : all) EXPECT_NE(find(plain, x), UINT32_MAX);
    for (uint32_t i = 0; i < plain.capacity(); ++i) ASSERT_EQ(plain[i], batched[i]) << i;

    PrimeTable prime(&heap, {}, nyxOAPrimeIndex(kPrimes));
    ASSERT_TRUE(prime.create(prime.capacity()));
    for (uint32_t id = 1; id <= 70; ++id) ASSERT_TRUE(add(prime, entry(id, id * 2654435761u)));
    EXPECT_EQ(prime.capacity(), 263u);
    EXPECT_FALSE(prime.grow());  // the end of the list
    EXPECT_EQ(prime.capacity(), 263u);
    EXPECT_TRUE(valid(prime));
}

// Removal leaves no tombstone: a table churned at a constant size never grows, and every entry
// stays exactly findable.
TEST_F(OATable, RemovedSlotsAreReusedWithoutGrowth) {
    MaskTable t(&heap);
    ASSERT_TRUE(t.create(64));
    std::mt19937 rng(11);
    std::vector<uint64_t> live;
    for (uint32_t id = 1; id <= 30; ++id) {
        live.push_back(entry(id, static_cast<uint32_t>(rng()) % 8));  // long shared runs
        ASSERT_TRUE(add(t, live.back()));
    }
    for (uint32_t id = 31; id < 20000; ++id) {
        size_t k = rng() % live.size();
        ASSERT_TRUE(erase(t, live[k]));
        EXPECT_EQ(find(t, live[k]), UINT32_MAX);
        live[k] = entry(id, static_cast<uint32_t>(rng()) % 8);
        ASSERT_TRUE(add(t, live[k]));
    }
    EXPECT_EQ(t.capacity(), 64u);
    EXPECT_EQ(t.size(), 30u);
    EXPECT_TRUE(valid(t));
    for (uint64_t x : live) EXPECT_NE(find(t, x), UINT32_MAX);
}

// When memory runs out, creation leaves no array and growth leaves the table as it was, slot for
// slot; once memory is back the same growth succeeds.
TEST_F(OATable, OutOfMemoryLeavesTheTableAsItWas) {
    MaskTable t(&heap);
    ASSERT_TRUE(t.create(1u << 16));
    for (uint32_t id = 1; id <= (1u << 15); ++id) ASSERT_TRUE(add(t, entry(id, id * 40503u)));
    std::vector<uint64_t> before(t.capacity());
    for (uint32_t i = 0; i < t.capacity(); ++i) before[i] = t[i];
    const long pages = Hx_topheap::pagesInUse();
    Hx_topheap::setPageLimit(pages);

    EXPECT_FALSE(add(t, entry(1u << 20, 5)));
    EXPECT_EQ(t.capacity(), 1u << 16);
    EXPECT_EQ(t.size(), 1u << 15);
    for (uint32_t i = 0; i < t.capacity(); ++i) ASSERT_EQ(t[i], before[i]) << i;
    MaskTable other(&heap);
    EXPECT_FALSE(other.create(1u << 16));
    EXPECT_FALSE(other.created());
    EXPECT_EQ(Hx_topheap::pagesInUse(), pages);

    Hx_topheap::setPageLimit(-1);
    EXPECT_TRUE(add(t, entry(1u << 20, 5)));
    EXPECT_EQ(t.capacity(), 1u << 17);
    EXPECT_TRUE(valid(t));
}

// The homes each index gives, at the edges of the hash range, and its growth steps.
TEST_F(OATable, IndexesPickTheirHomes) {
    nyxOAPrimeIndex prime(kPrimes);
    nyxOAMixIndex mix;
    mix.setCapacity(64);
    nyxOAMaskIndex mask;
    mask.setCapacity(64);
    for (uint32_t h : {0u, 1u, 66u, 67u, 0x7fffffffu, 0x80000000u, 0xfffffffeu, 0xffffffffu, 123456789u}) {
        EXPECT_EQ(prime.home(h), h % 67) << h;
        EXPECT_EQ(mix.home(h), (h * 0x9e3779b1u) >> 26) << h;
        EXPECT_EQ(mask.home(h), h & 63) << h;
    }
    EXPECT_EQ(prime.next(66), 0u);
    EXPECT_EQ(prime.grown(), 131u);
    prime.setCapacity(131);
    EXPECT_EQ(prime.grown(), 263u);
    EXPECT_EQ(mix.next(63), 0u);
    EXPECT_EQ(mix.grown(), 128u);
    mask.setCapacity(nyxOAMaskIndex::kMaxCapacity);
    EXPECT_EQ(mask.grown(), 0u);
    // A table made for n entries holds them at most half full, from its least size on.
    EXPECT_EQ(nyxOAMaskIndex::capacityFor(512, 0), 512u);
    EXPECT_EQ(nyxOAMaskIndex::capacityFor(512, 256), 512u);
    EXPECT_EQ(nyxOAMaskIndex::capacityFor(512, 257), 1024u);
    EXPECT_EQ(nyxOAMaskIndex::capacityFor(64, UINT32_MAX), nyxOAMaskIndex::kMaxCapacity);
}
