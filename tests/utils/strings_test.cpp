// String tables, compact strings and character buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "utils/containers.h"

TEST(StringTab, HashFunction) {
    EXPECT_EQ(nyxStringTabHash::hash(""), 0u);
    EXPECT_EQ(nyxStringTabHash::hash(nullptr), 0u);
    EXPECT_EQ(nyxStringTabHash::hash("a"), 97u);
    EXPECT_EQ(nyxStringTabHash::hash("ab"), 97u * 16 + 98);
    // Long strings fold the top bits back in and stay below 2^28.
    EXPECT_EQ(nyxStringTabHash::hash("a_rather_long_property_name_for_folding"), 115027191u);
}

TEST(StringTab, IndexRules) {
    Hx_genheap heap("strtab", 4096);
    nyxStringTab t(&heap, true, 89, true);
    EXPECT_EQ(t.addString(""), -1);
    EXPECT_EQ(t.addString(nullptr), -1);
    EXPECT_EQ(t.addString("alpha"), 0);
    EXPECT_EQ(t.addString("beta"), 1);
    EXPECT_EQ(t.addString("alpha"), 0);  // present: its index, nothing stored
    EXPECT_EQ(t.size(), 2);
    for (int i = 2; i < 50; ++i) EXPECT_EQ(t.addString(("s" + std::to_string(i)).c_str()), i);
    // The 51st string starts the second block: index 50.
    EXPECT_EQ(t.addString("fifty"), 50);
    // A string that does not fit the rest of the text area starts a new block too.
    std::string big(744, 'x');  // 745 bytes; the second block has 744 left after "fifty"
    EXPECT_EQ(t.addString(big.c_str()), 100);
    EXPECT_EQ(t.addString("after"), 150);
    EXPECT_EQ(t.maxStringLength(), 745);
    EXPECT_EQ(t.checkString("beta"), 1);
    EXPECT_EQ(t.checkString("gamma"), -1);
    EXPECT_STREQ(t.getString(-1), "");
    EXPECT_STREQ(t.getString(50), "fifty");
    EXPECT_EQ(t.getString(51), nullptr);
    EXPECT_EQ(t.getString(151), nullptr);
    EXPECT_EQ(t.getString(100000), nullptr);
    EXPECT_TRUE(t.deleteString("beta"));
    EXPECT_EQ(t.checkString("beta"), -1);
    EXPECT_STREQ(t.getString(1), "beta");  // the stored copy and its index stay
    EXPECT_TRUE(t.isValid());
    std::vector<int32_t> order;
    t.iterate([](const char *, int32_t i, void *arg) { static_cast<std::vector<int32_t> *>(arg)->push_back(i); },
              &order);
    ASSERT_EQ(order.size(), 53u);
    EXPECT_EQ(order[50], 50);
    EXPECT_EQ(order[52], 150);
}

TEST(StringTab, LongStringsGetABlockOfTheirOwn) {
    Hx_genheap heap("strtab", 4096);
    nyxStringTab t(&heap);
    EXPECT_EQ(t.addString("short"), 0);
    std::string huge(5000, 'q');
    huge[4999] = 'z';
    EXPECT_EQ(t.addString(huge.c_str()), 50);
    EXPECT_EQ(t.addString("next"), 100);
    EXPECT_EQ(std::string(t.getString(50)), huge);
    EXPECT_EQ(t.checkString(huge.c_str()), 50);
    EXPECT_EQ(t.maxStringLength(), 5001);
    EXPECT_TRUE(t.isValid());
    EXPECT_TRUE(heap.isValid());
}

TEST(StringTab, HashOnlyAndStoreOnly) {
    Hx_genheap heap("strtab", 4096);
    static const char kept[] = "caller-owned";
    nyxStringTab h(&heap, true, 7, false);
    EXPECT_EQ(h.addString(kept), -1);
    EXPECT_EQ(h.addString("valued", 42), -1);
    EXPECT_EQ(h.checkString("valued"), 42);
    EXPECT_EQ(h.size(), 2);
    EXPECT_EQ(h.getString(0), nullptr);
    nyxStringTab s(&heap, false, 0, true);
    EXPECT_EQ(s.addString("x"), 0);
    EXPECT_EQ(s.addString("x"), 1);  // no hash: duplicates are stored again
    EXPECT_EQ(s.checkString("x"), -1);
}

TEST(VarString, InPlaceAndHeapForms) {
    Hx_genheap heap("var", 4096);
    nyxVarString v;
    EXPECT_STREQ(v.getString(), "");
    EXPECT_TRUE(v.setString("1234567", &heap));
    EXPECT_FALSE(v.onHeap());
    EXPECT_EQ(heap.blocksInUse(), 0);
    EXPECT_STREQ(v.getString(), "1234567");
    EXPECT_TRUE(v.setString("12345678", &heap));
    EXPECT_TRUE(v.onHeap());
    EXPECT_EQ(heap.blocksInUse(), 1);
    EXPECT_STREQ(v.getString(), "12345678");
    // Setting from its own heap copy, then a short value, frees the copy to its heap.
    EXPECT_TRUE(v.setString(v.getString() + 1, &heap));
    EXPECT_STREQ(v.getString(), "2345678");
    EXPECT_EQ(heap.blocksInUse(), 0);
    EXPECT_TRUE(v.setString("a much longer value", &heap));
    v.setString(nullptr);
    EXPECT_STREQ(v.getString(), "");
    EXPECT_EQ(heap.bytesInUse(), 0u);
    // No memory: the old value stays.
    Hx_genheap starved("starved", 4096);
    nyxVarString w("short");
    Hx_topheap::setPageLimit(Hx_topheap::pagesInUse());
    EXPECT_FALSE(w.setString("far too long to fit in place", &starved));
    Hx_topheap::setPageLimit(-1);
    EXPECT_STREQ(w.getString(), "short");
}

TEST(CharBuffers, GrowthAndEditing) {
    Hx_genheap heap("buf", 4096);
    char initial[8];
    nyxStringBuf b(initial, sizeof initial, &heap);
    EXPECT_STREQ(b.char_p(), "");
    EXPECT_TRUE(b.append("abcdef"));
    EXPECT_EQ(b.char_p(), initial);
    EXPECT_TRUE(b.append_char('g'));
    EXPECT_TRUE(b.append_char('h'));  // reaches the capacity: moves to the heap, grown by 64
    EXPECT_NE(b.char_p(), initial);
    EXPECT_EQ(b.capacity(), 72u);
    EXPECT_STREQ(b.char_p(), "abcdefgh");
    EXPECT_TRUE(b.append(b.char_p()));  // appending its own text survives the move
    EXPECT_STREQ(b.char_p(), "abcdefghabcdefgh");
    EXPECT_EQ(b.byte_length(), 16u);
    b.set_byte_len(3);
    EXPECT_STREQ(b.char_p(), "abc");
    b.set_byte_len(100);
    EXPECT_EQ(b.byte_length(), 3u);
    b.zero();
    EXPECT_EQ(b.char_p(), initial);
    EXPECT_EQ(heap.blocksInUse(), 0);

    Hx_sbuf s;
    EXPECT_STREQ(s.char_p(), "");
    EXPECT_TRUE(s.append_compressed(" a b\tc "));
    EXPECT_STREQ(s.char_p(), "abc");
    EXPECT_TRUE(s.append_sub("0123456789", 8, 5));  // bounded by the string's end
    EXPECT_TRUE(s.append_sub("0123", 10, 2));
    EXPECT_STREQ(s.char_p(), "abc89");
    s.uppercase();
    EXPECT_STREQ(s.char_p(), "ABC89");
    s.downcase();
    EXPECT_STREQ(s.char_p(), "abc89");
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(s.fast_append_char('z'));
    EXPECT_EQ(s.byte_length(), 105u);
    EXPECT_EQ(s.capacity() % 32, 0u);
    EXPECT_TRUE(s.copy("new"));
    EXPECT_STREQ(s.char_p(), "new");
    s.empty();
    EXPECT_EQ(s.byte_length(), 0u);
}
