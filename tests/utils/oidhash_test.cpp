// Integer-keyed hash table and id table.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "utils/containers.h"

namespace {

std::string captured(FILE *f) {
    std::rewind(f);
    std::string out;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    return out;
}

void *ptr(uintptr_t v) { return reinterpret_cast<void *>(v); }

} // namespace

TEST(OIDHashTable, GrowsOnFirstLongChain) {
    Hx_genheap heap("oid", 4096);
    nyxOIDHashTable t(&heap, 509, 2);
    EXPECT_EQ(t.sizeExponent(), 9);
    EXPECT_TRUE(t.add_entry(7, ptr(1)));
    EXPECT_TRUE(t.add_entry(7 + 509, ptr(2)));
    EXPECT_FALSE(t.add_entry(7, ptr(9)));  // present: unchanged
    EXPECT_EQ(t.bucketCount(), 509);
    // The third entry of one chain exceeds the maximum: 2^10 - 3 buckets.
    EXPECT_TRUE(t.add_entry(7 + 2 * 509, ptr(3)));
    EXPECT_EQ(t.bucketCount(), 1021);
    EXPECT_EQ(t.sizeExponent(), 10);
    EXPECT_EQ(t.find_entry(7), ptr(1));
    EXPECT_EQ(t.find_entry(7 + 509), ptr(2));
    EXPECT_EQ(t.find_entry(7 + 2 * 509), ptr(3));
    EXPECT_TRUE(t.isValid());
    // The series continues 2^11 - 1, 2^12 - 5.
    for (uint32_t k = 0; k < 3; ++k) t.add_entry(5 + k * 1021, ptr(5));
    EXPECT_EQ(t.bucketCount(), 2047);
    for (uint32_t k = 1; k < 3; ++k) t.add_entry(5 + k * 2047, ptr(5));
    EXPECT_EQ(t.bucketCount(), 4091);
    // Keys of any 32-bit value land in a bucket.
    EXPECT_TRUE(t.add_entry(0xFFFFFFF0u, ptr(4)));
    EXPECT_EQ(t.find_entry(0xFFFFFFF0u), ptr(4));
    EXPECT_TRUE(t.change_entry(7, ptr(10)));
    EXPECT_FALSE(t.change_entry(8, ptr(10)));
    EXPECT_EQ(t.find_bucket(7)->value, ptr(10));
    EXPECT_TRUE(t.remove_entry(7));
    EXPECT_FALSE(t.remove_entry(7));
    EXPECT_EQ(t.find_entry(7), nullptr);
    EXPECT_TRUE(t.isValid());
    t.clear();
    EXPECT_EQ(t.entries(), 0);
    EXPECT_EQ(t.bucketCount(), 509);
    // Odd bucket counts never divide by zero.
    nyxOIDHashTable one(&heap, 0, 1);
    EXPECT_EQ(one.sizeExponent(), 1);
    EXPECT_TRUE(one.add_entry(3, ptr(1)));
    EXPECT_TRUE(one.add_entry(4, ptr(2)));
    EXPECT_EQ(one.bucketCount(), 1);  // 2^2 - 3
    EXPECT_TRUE(one.add_entry(5, ptr(3)));
    EXPECT_EQ(one.bucketCount(), 7);  // 2^3 - 1
    EXPECT_EQ(one.find_entry(4), ptr(2));
}

TEST(OIDHashTable, StatisticsAndDumpTexts) {
    Hx_genheap heap("oid", 4096);
    nyxOIDHashTable t(&heap, 5, 10);
    t.add_entry(1, ptr(0x10));
    t.add_entry(6, ptr(0x20));
    t.add_entry(11, ptr(0x30));
    t.add_entry(3, ptr(0x40));
    FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    t.print_stats(f);
    EXPECT_EQ(captured(f), "** Hash Table Statistics **\n\n"
                           "   Total Entries           : 4\n"
                           "   Table size              : 5\n"
                           "   Entries per Table slot  : 0.80\n"
                           "   Entries per filled slot : 2.00\n"
                           "   Empty bins              : 3\n"
                           "   Max Bin Entries         : 3\n"
                           "   Contents from Worst Bin (1):\n"
                           "      hash value: 1  OID: 11\n"
                           "      hash value: 1  OID: 6\n"
                           "      hash value: 1  OID: 1\n");
    std::fclose(f);

    f = std::tmpfile();
    nyxOIDHashTable small(&heap, 2, 10);
    small.add_entry(1, nullptr);
    small.dump_table(f);
    char line[64];
    std::snprintf(line, sizeof line, "OID : 1, Ptr : %p\n", static_cast<void *>(nullptr));
    EXPECT_EQ(captured(f), std::string("   0 :\n   1 :") + line);
    std::fclose(f);

    // The default stream is standard error.
    testing::internal::CaptureStderr();
    nyxOIDHashTable empty(&heap);
    empty.print_stats();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("   Entries per filled slot : 0.00\n"), std::string::npos);
    EXPECT_EQ(err.find("Worst Bin"), std::string::npos);
}

TEST(OIDHashTable, CleanEntriesByOwningHeap) {
    Hx_genheap table("table", 4096), view("view", 4096), other("other", 4096);
    nyxOIDHashTable t(&table);
    for (uint32_t k = 1; k <= 20; ++k) t.add_entry(k, (k % 2 ? view : other).allocBlock(32));
    t.add_entry(99, nullptr);
    t.clean_entries(&view);
    EXPECT_EQ(t.entries(), 11);
    EXPECT_EQ(t.find_entry(1), nullptr);
    EXPECT_NE(t.find_entry(2), nullptr);
    EXPECT_NE(t.find_bucket(99), nullptr);
    EXPECT_TRUE(t.isValid());
}

TEST(IdTab, AddFindUpdateReset) {
    Hx_genheap heap("ids", 4096);
    NyxIdTab ids(&heap);
    EXPECT_TRUE(ids.list_empty());
    for (uint32_t i = 0; i < 5000; ++i) ASSERT_TRUE(ids.add_id(i * 7, ptr(i + 1)));
    EXPECT_FALSE(ids.add_id(7, ptr(0)));
    EXPECT_EQ(ids.find_id(7), ptr(2));
    EXPECT_EQ(ids.find_id(8), nullptr);
    EXPECT_TRUE(ids.update_id(7, ptr(77)));
    EXPECT_TRUE(ids.update_id(8, ptr(88)));
    EXPECT_EQ(ids.find_id(7), ptr(77));
    EXPECT_EQ(ids.find_id(8), ptr(88));
    EXPECT_EQ(ids.size(), 5001);
    ids.reset();
    EXPECT_TRUE(ids.list_empty());
    EXPECT_EQ(ids.find_id(7), nullptr);
}
