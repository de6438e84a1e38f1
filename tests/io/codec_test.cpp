// The tagged value codec: exact bytes, the shortest-integer rule, class checks with push-back,
// and bounded decoding of cut or corrupt data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "io/io.h"
#include "utils/fileio.h"

namespace {

using Bytes = std::vector<unsigned char>;

template <class Fn> Bytes encode(Fn &&fn) {
    nyxMemorySink sink;
    nyxTagWriter out(sink);
    fn(out);
    EXPECT_TRUE(out.ok());
    return Bytes(sink.bytes().begin(), sink.bytes().end());
}

Bytes intBytes(int32_t v) {
    return encode([v](nyxTagWriter &w) { w.putInt(v); });
}

void *heapAlloc(void *context, size_t bytes) {
    auto *keep = static_cast<std::vector<std::string> *>(context);
    keep->emplace_back(bytes, 'x');
    return keep->back().data();
}

void *noMemory(void *, size_t) { return nullptr; }

TEST(IoCodec, DocumentedEncodings) {
    EXPECT_EQ(intBytes(0), (Bytes{0x10}));
    EXPECT_EQ(intBytes(-1), (Bytes{0x11, 0xFF}));
    EXPECT_EQ(intBytes(300), (Bytes{0x12, 0x01, 0x2C}));
    EXPECT_EQ(intBytes(8388608), (Bytes{0x14, 0x00, 0x80, 0x00, 0x00}));

    // Integral floats and doubles travel as integers and come back as the same value.
    Bytes two = encode([](nyxTagWriter &w) { w.putFloat(2.0f); });
    EXPECT_EQ(two, (Bytes{0x11, 0x02}));
    nyxTagReader r2(two.data(), two.size());
    float f = 0;
    ASSERT_EQ(r2.getFloat(f), nyxTagReader::kRead);
    EXPECT_EQ(f, 2.0f);

    Bytes half = encode([](nyxTagWriter &w) { w.putDouble(0.5); });
    EXPECT_EQ(half, (Bytes{0x28, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F}));
    Bytes halfF = encode([](nyxTagWriter &w) { w.putFloat(0.5f); });
    EXPECT_EQ(halfF, (Bytes{0xB4, 0, 0, 0, 0x3F}));

    const std::string s15 = "abcdefghijklmno";
    Bytes str = encode([&](nyxTagWriter &w) { w.putString(s15.c_str()); });
    ASSERT_EQ(str.size(), 18u);
    EXPECT_EQ(Bytes(str.begin(), str.begin() + 3), (Bytes{0x3F, 0x00, 0x0F}));
    EXPECT_EQ(std::string(str.begin() + 3, str.end()), s15);

    const std::string big(65536, 'q');
    Bytes longStr = encode([&](nyxTagWriter &w) { w.putString(big.c_str()); });
    EXPECT_EQ(Bytes(longStr.begin(), longStr.begin() + 5), (Bytes{0x5F, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(encode([](nyxTagWriter &w) { w.putString(std::string(65535, 'a').c_str()); })[0], 0x3F);
    EXPECT_EQ(encode([](nyxTagWriter &w) { w.putString(nullptr); }), (Bytes{0x30}));
    EXPECT_EQ(encode([](nyxTagWriter &w) { w.putString("abcdefghijklmn"); })[0], 0x3E);
    EXPECT_EQ(encode([](nyxTagWriter &w) { w.putTag(15); }), (Bytes{0x7F}));
}

TEST(IoCodec, ShortestIntegerRuleAtEveryBoundary) {
    const std::pair<int32_t, size_t> cases[] = {
        {1, 2},        {-128, 2},      {127, 2},     {-129, 3},      {128, 3},
        {-32768, 3},   {32767, 3},     {-32769, 4},  {32768, 4},     {-8388608, 4},
        {8388607, 4},  {-8388609, 5},  {INT32_MIN, 5}, {INT32_MAX, 5},
    };
    for (auto [value, length] : cases) {
        Bytes b = intBytes(value);
        ASSERT_EQ(b.size(), length) << value;
        EXPECT_EQ(b[0], 0x10 + length - 1) << value;
        nyxTagReader in(b.data(), b.size());
        int32_t back = 0;
        ASSERT_EQ(in.getInt(back), nyxTagReader::kRead) << value;
        EXPECT_EQ(back, value);
        EXPECT_TRUE(in.atEnd());
    }
    // Doubles: integral values within a million are integers; anything else keeps eight bytes.
    const double asInt[] = {1e6, -1e6, 0.0, 42.0};
    for (double d : asInt) EXPECT_EQ(encode([d](nyxTagWriter &w) { w.putDouble(d); })[0] >> 4, 1) << d;
    const double asDouble[] = {1e6 + 1, -1e6 - 1, 0.25, std::nan(""), INFINITY, -INFINITY, 1e300};
    for (double d : asDouble) {
        Bytes b = encode([d](nyxTagWriter &w) { w.putDouble(d); });
        ASSERT_EQ(b.size(), 9u) << d;
        nyxTagReader in(b.data(), b.size());
        double back = 0;
        ASSERT_EQ(in.getDouble(back), nyxTagReader::kRead);
        if (std::isnan(d)) EXPECT_TRUE(std::isnan(back));
        else EXPECT_EQ(back, d);
    }
    EXPECT_EQ(encode([](nyxTagWriter &w) { w.putFloat(3e6f); })[0], 0xB4);
    // A long beyond 32 bits has no encoding; nor has a tag beyond 15.
    nyxMemorySink sink;
    nyxTagWriter w(sink);
    EXPECT_FALSE(w.putLong(1L << 40));
    EXPECT_FALSE(w.ok());
    nyxTagWriter w2(sink);
    EXPECT_FALSE(w2.putTag(16));
}

TEST(IoCodec, ClassMismatchPushesBackAndFormatsAgree) {
    Bytes b = encode([](nyxTagWriter &w) { w.put("%d%lf%s%t%f%ld", 7, 0.75, "net", 3, 1.5, 9L); });
    Bytes typed = encode([](nyxTagWriter &w) {
        w.putInt(7), w.putDouble(0.75), w.putString("net"), w.putTag(3), w.putFloat(1.5f), w.putInt(9);
    });
    EXPECT_EQ(b, typed);

    nyxTagReader in(b.data(), b.size());
    char text[256];
    int32_t i = 0, tag = 0;
    double d = 0;
    // An integer where a string is expected: the tag stays unread.
    EXPECT_EQ(in.get("%s", text), -1);
    EXPECT_EQ(in.offset(), 0u);
    EXPECT_EQ(in.getTag(tag), nyxTagReader::kMismatch);
    ASSERT_EQ(in.get("%d%lf", &i, &d), 2);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(d, 0.75);
    // A double directive does not take a string, an integer directive does not take a double.
    const size_t at = in.offset();
    EXPECT_EQ(in.getDouble(d), nyxTagReader::kMismatch);
    EXPECT_EQ(in.offset(), at);
    float f = 0;
    long l = 0;
    ASSERT_EQ(in.get("%s%t%f%ld", text, &tag, &f, &l), 4);
    EXPECT_STREQ(text, "net");
    EXPECT_EQ(tag, 3);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(l, 9);
    // At the end a formatted read reports what it read so far.
    EXPECT_EQ(in.get("%d%d", &i, &i), 0);
    EXPECT_EQ(in.getInt(i), nyxTagReader::kEnd);

    // Strings through a caller's allocator get length + 1 bytes; a buffer too small leaves the
    // string unread; a failing allocator ends the read.
    Bytes s = encode([](nyxTagWriter &w) { w.putString("hello"); });
    std::vector<std::string> keep;
    nyxTagReader rs(s.data(), s.size());
    char small[5];
    EXPECT_EQ(rs.getStringInto(small, sizeof small), nyxTagReader::kMismatch);
    char *got = nullptr;
    size_t len = 0;
    ASSERT_EQ(rs.getString(got, heapAlloc, &keep, &len), nyxTagReader::kRead);
    EXPECT_EQ(len, 5u);
    EXPECT_EQ(keep.back().size(), 6u);
    EXPECT_STREQ(got, "hello");
    nyxTagReader rn(s.data(), s.size());
    EXPECT_EQ(rn.getString(got, noMemory, nullptr), nyxTagReader::kCorrupt);
    EXPECT_TRUE(rn.outOfMemory());
}

TEST(IoCodec, CutAndCorruptDataStaysInBounds) {
    Bytes all = encode([](nyxTagWriter &w) {
        w.putInt(-70000), w.putDouble(0.1), w.putFloat(0.3f), w.putString("abcdefghijklmnopqrst"),
            w.putString(std::string(70000, 'z').c_str()), w.putTag(9), w.putInt(5);
    });
    std::vector<size_t> boundaries = {0};
    {
        nyxTagReader in(all.data(), all.size());
        char *s = nullptr;
        std::vector<std::string> keep;
        int32_t i = 0;
        double d = 0;
        in.getInt(i), boundaries.push_back(in.offset());
        in.getDouble(d), boundaries.push_back(in.offset());
        in.getDouble(d), boundaries.push_back(in.offset());
        in.getString(s, heapAlloc, &keep), boundaries.push_back(in.offset());
        in.getString(s, heapAlloc, &keep), boundaries.push_back(in.offset());
        in.getTag(i), boundaries.push_back(in.offset());
        in.getInt(i), boundaries.push_back(in.offset());
        ASSERT_EQ(boundaries.back(), all.size());
    }
    // Every prefix (copied, so that the sanitizer sees any read past it) decodes its whole
    // values and then reports the end (at a boundary) or corruption (inside a value).
    for (size_t cut = 0; cut < all.size(); ++cut) {
        // Inside the long string, a sample of cuts is enough.
        if (cut > boundaries[4] + 8 && cut + 16 < boundaries[5] && cut % 509 != 0) continue;
        std::vector<unsigned char> part(all.begin(), all.begin() + static_cast<long>(cut));
        nyxTagReader in(part.data(), part.size());
        std::vector<std::string> keep;
        char *s = nullptr;
        int32_t i = 0;
        double d = 0;
        int results[7] = {in.getInt(i),  in.getDouble(d), in.getDouble(d), in.getString(s, heapAlloc, &keep),
                          in.getString(s, heapAlloc, &keep), in.getTag(i), in.getInt(i)};
        int whole = 0;
        while (whole < 7 && results[whole] == nyxTagReader::kRead) ++whole;
        ASSERT_LT(whole, 7) << cut;
        ASSERT_LE(boundaries[static_cast<size_t>(whole)], cut);
        const bool atBoundary = boundaries[static_cast<size_t>(whole)] == cut;
        EXPECT_EQ(results[whole], atBoundary ? nyxTagReader::kEnd : nyxTagReader::kCorrupt) << cut;
        EXPECT_EQ(in.corrupt(), !atBoundary) << cut;
    }

    // Tags outside the table are corrupt for the class that owns them; corruption is sticky.
    const std::pair<unsigned char, int> bad[] = {{0x15, 0}, {0x1F, 0}, {0x29, 1}, {0xB0, 1}, {0x5E, 2}};
    for (auto [tag, kind] : bad) {
        const unsigned char data[16] = {tag, 0x10};
        nyxTagReader in(data, sizeof data);
        int32_t i = 0;
        double d = 0;
        char buf[32];
        const int r = kind == 0 ? in.getInt(i) : kind == 1 ? in.getDouble(d) : in.getStringInto(buf, sizeof buf);
        EXPECT_EQ(r, nyxTagReader::kCorrupt) << int(tag);
        EXPECT_NE(in.corruptLine(), 0);
        ASSERT_TRUE(in.seek(1));
        EXPECT_EQ(in.getInt(i), nyxTagReader::kCorrupt);
    }
    // A bare byte of no class mismatches every directive.
    const unsigned char zero[1] = {0x00};
    nyxTagReader z(zero, 1);
    int32_t i = 0;
    EXPECT_EQ(z.get("%d", &i), -1);
    EXPECT_EQ(z.getTag(i), nyxTagReader::kMismatch);
    EXPECT_FALSE(z.corrupt());
}

TEST(IoCodec, HeaderProbeReadsOnlyTheLeadingIntegers) {
    nyxMemorySink sink;
    nyxTagWriter w(sink);
    w.putRaw(" ", 1);
    w.put("%d%d%d%s", 1514944819, 0, 'E', "a long view name that follows");
    ASSERT_TRUE(w.ok());
    FILE *f = std::fopen("probe.nyx", "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(sink.bytes().data(), 1, sink.bytes().size(), f);
    std::fclose(f);
    int32_t marker = 0, version = -1, kind = 0;
    ASSERT_TRUE(nyxIOReadHeader("probe.nyx", marker, version, kind));
    EXPECT_EQ(marker, 1514944819);
    EXPECT_EQ(version, 0);
    EXPECT_EQ(kind, 'E');

    f = std::fopen("short.nyx", "wb");
    std::fwrite(sink.bytes().data(), 1, 7, f);
    std::fclose(f);
    EXPECT_FALSE(nyxIOReadHeader("short.nyx", marker, version, kind));
    EXPECT_FALSE(nyxIOReadHeader("missing.nyx", marker, version, kind));
    EXPECT_FALSE(nyxIOReadHeader(".", marker, version, kind));
}

} // namespace

// A file is read a window at a time: every value, wherever the window boundaries fall, reads as
// it does from memory, and a file cut short is corrupt at the same value.
TEST(IoCodec, FileReadThroughAnyWindowMatchesMemory) {
    nyxMemorySink sink;
    nyxTagWriter w(sink);
    const std::string longText(3000, 'L');
    w.put("%d%d%d%d%d%lf%f%s%s%t", 0, -1, 300, 8388607, INT32_MIN, 0.1, 0.25, "short", "fifteen bytes!!", 7);
    w.putString(longText.data(), longText.size());
    w.putString(std::string(70000, 'X').c_str());  // the 0x5F form
    w.putInt(42);
    ASSERT_TRUE(w.ok());
    const std::string &bytes = sink.bytes();

    // Reads every value in turn and describes what it read.
    auto readAll = [](nyxTagReader &in) {
        std::string seen;
        std::vector<std::string> strings;
        for (int k = 0; k < 20 && !in.atEnd() && !in.corrupt(); ++k) {
            int32_t i = 0;
            double d = 0;
            char *s = nullptr;
            size_t n = 0;
            int r = in.getInt(i);
            if (r == nyxTagReader::kMismatch && (r = in.getDouble(d)) == nyxTagReader::kRead) i = static_cast<int32_t>(d * 100);
            if (r == nyxTagReader::kMismatch && (r = in.getTag(i)) == nyxTagReader::kRead) i += 1000;
            if (r == nyxTagReader::kMismatch) {
                r = in.getString(s, [](void *c, size_t b) -> void * {
                    auto *keep = static_cast<std::vector<std::string> *>(c);
                    keep->emplace_back(b, '\0');
                    return keep->back().data();
                }, &strings, &n);
                if (r == nyxTagReader::kRead) i = static_cast<int32_t>(n) + s[0] + s[n - 1];
            }
            seen += std::to_string(r) + ":" + std::to_string(i) + "@" + std::to_string(in.offset()) + " ";
        }
        return seen + (in.corrupt() ? "corrupt" : "");
    };
    for (size_t cut : {bytes.size(), bytes.size() - 1, bytes.size() - 70001, size_t{13}}) {
        const std::string data = bytes.substr(0, cut);
        nyxTagReader memory(data.data(), data.size());
        const std::string expected = readAll(memory);
        EXPECT_EQ(expected.find("corrupt") == std::string::npos, cut == bytes.size()) << expected;
        std::FILE *f = std::fopen("values", "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        for (size_t window : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{8}, size_t{64}, size_t{4096}, nyxTagReader::kWindow}) {
            nyxFileIO::Reader file;
            ASSERT_TRUE(file.open("values"));
            nyxTagReader in(file, window);
            EXPECT_EQ(readAll(in), expected) << "cut " << cut << ", window " << window;
        }
    }
}
