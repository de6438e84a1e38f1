// The compiler stream: primitives, lines, sticky failures, pipes with timeouts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "compiler/stream.h"
#include "nyx_protocol.h"

namespace {

std::string le32(int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xff);
    return s;
}

struct Pipe {
    int fd[2];
    Pipe() {
        if (::pipe2(fd, O_CLOEXEC) != 0) std::abort();
    }
    ~Pipe() {
        closeWriter();
        ::close(fd[0]);
    }
    void write(const std::string &s) { ASSERT_EQ(::write(fd[1], s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    void closeWriter() {
        if (fd[1] >= 0) ::close(fd[1]);
        fd[1] = -1;
    }
};

TEST(CompilerStream, PrimitivesDecodeLittleEndianAndEndCleanly) {
    float f = 2.5f;
    int32_t fbits;
    std::memcpy(&fbits, &f, 4);
    std::string bytes = le32(-7) + le32(fbits) + "A" + "\x0d" + le32(20002) + std::string(1, '\0') + "\x02" +
                        le32(3) + "abc" + le32(0);
    nyxCompilerStream in(bytes.data(), bytes.size());
    EXPECT_EQ(in.readInt(), -7);
    EXPECT_EQ(in.readFloat(), 2.5f);
    EXPECT_EQ(in.readChar(), 'A');
    EXPECT_EQ(in.readType(), 13);
    in.pushbackType(13);
    EXPECT_EQ(in.readType(), 13);
    EXPECT_EQ(in.readObjType(), 20002);
    EXPECT_FALSE(in.readBoolean());
    EXPECT_TRUE(in.readBoolean());
    EXPECT_EQ(in.readString(), "abc");
    EXPECT_EQ(in.readString(), "");
    EXPECT_TRUE(in.good());  // everything read, nothing beyond: still good
    EXPECT_EQ(in.bytesRead(), bytes.size());
}

TEST(CompilerStream, WriterPrimitivesReadBack) {
    nyxproto::Writer w;
    w.status(0);
    w.netlistFollows();
    w.i32(INT32_MIN);
    w.f32(-1.25e-3f);
    w.ch(0xff);
    w.ot(20003);
    w.str(std::string("a\0b", 3));
    w.boolean(true);
    size_t at = w.size();
    w.i32(0);
    w.patchI32(at, 0x01020304);
    nyxCompilerStream in(w.bytes().data(), w.size());
    std::string line;
    ASSERT_TRUE(in.readLine(line));
    EXPECT_EQ(line, "#s 0");
    ASSERT_TRUE(in.readLine(line));
    EXPECT_EQ(line, "#netlist");
    EXPECT_EQ(in.readInt(), INT32_MIN);
    EXPECT_EQ(in.readFloat(), -1.25e-3f);
    EXPECT_EQ(in.readChar(), 0xff);
    EXPECT_EQ(in.readObjType(), 20003);
    EXPECT_EQ(in.readString(), std::string("a\0b", 3));
    EXPECT_TRUE(in.readBoolean());
    EXPECT_EQ(in.readInt(), 0x01020304);
    EXPECT_TRUE(in.good());
}

TEST(CompilerStream, FailureIsStickyAndEveryReadReturnsTheEndValue) {
    std::string bytes = le32(5) + "ab";  // a string cut short, then more bytes that must not be read
    nyxCompilerStream in(bytes.data(), bytes.size());
    EXPECT_EQ(in.readString(), "");
    EXPECT_EQ(in.state(), nyxCompilerStream::kEnd);
    EXPECT_EQ(in.readInt(), 0);
    EXPECT_EQ(in.readFloat(), 0.0f);
    EXPECT_EQ(in.readChar(), 0);
    EXPECT_EQ(in.readType(), 15);
    in.pushbackType(0);
    EXPECT_EQ(in.readType(), 15);
    EXPECT_TRUE(in.readBoolean());
    EXPECT_EQ(in.readString(), "");
    std::string line;
    EXPECT_FALSE(in.readLine(line));

    // The record reader's verdict stays too, and the first failure is the one reported.
    std::string more = le32(1) + le32(2);
    nyxCompilerStream c(more.data(), more.size());
    EXPECT_EQ(c.readInt(), 1);
    c.fail(nyxCompilerStream::kCorrupt);
    c.fail(nyxCompilerStream::kEnd);
    EXPECT_EQ(c.state(), nyxCompilerStream::kCorrupt);
    EXPECT_EQ(c.readInt(), 0);
}

TEST(CompilerStream, CountOfTwoToThe31ThenEndStopsAtOnce) {
    std::string bytes = le32(INT32_MAX);
    nyxCompilerStream in(bytes.data(), bytes.size());
    int32_t n = in.readInt();
    auto start = std::chrono::steady_clock::now();
    int32_t i = 0;
    for (; i < n && in.good(); ++i) in.readString();
    EXPECT_EQ(i, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(CompilerStream, AbsurdLengthsFailAndDumpOnlyWhatIsThere) {
    for (int32_t len : {-1, nyxCompilerStream::kMaxString + 1, INT32_MIN}) {
        std::string bytes = le32(len) + "\x01\xab";
        nyxCompilerStream in(bytes.data(), bytes.size());
        testing::internal::CaptureStderr();
        EXPECT_EQ(in.readString(), "");
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(in.state(), nyxCompilerStream::kAbsurd);
        char expect[200];
        std::snprintf(expect, sizeof expect,
                      "Absurd length in readString; compiler communications problem; len=0x%x.\n"
                      "Data following:0x01ab\n",
                      static_cast<unsigned>(len));
        EXPECT_EQ(err, expect);
    }
    // The longest string allowed is read.
    std::string big = le32(nyxCompilerStream::kMaxString) + std::string(nyxCompilerStream::kMaxString, 'x');
    nyxCompilerStream in(big.data(), big.size());
    EXPECT_EQ(in.readString().size(), static_cast<size_t>(nyxCompilerStream::kMaxString));
    EXPECT_TRUE(in.good());
}

TEST(CompilerStream, AbsurdLengthOnAPipeNeverWaitsForTheDump) {
    Pipe p;
    p.write(le32(0x7fffffff) + "\x10\x20");  // the writer stays open: more bytes could come
    nyxCompilerStream in(p.fd[0], 0);
    testing::internal::CaptureStderr();
    in.readString();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(in.state(), nyxCompilerStream::kAbsurd);
    EXPECT_NE(err.find("Data following:0x1020\n"), std::string::npos);
}

TEST(CompilerStream, LinesKeepTheirEndsAndLongLinesAreCut) {
    std::string longLine(100000, 'y');
    std::string text = "#s 0\n\n#endmsgs\n" + longLine + "\n#netlist\n" + le32(9) + "tail";
    nyxCompilerStream in(text.data(), text.size());
    std::string line;
    bool nl = false;
    ASSERT_TRUE(in.readLine(line, &nl));
    EXPECT_EQ(line, "#s 0");
    EXPECT_TRUE(nl);
    ASSERT_TRUE(in.readLine(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(in.readLine(line));
    EXPECT_EQ(line, "#endmsgs");
    ASSERT_TRUE(in.readLine(line, &nl));
    EXPECT_EQ(line.size(), nyxCompilerStream::kMaxLine);
    EXPECT_TRUE(nl);
    ASSERT_TRUE(in.readLine(line));
    EXPECT_EQ(line, "#netlist");
    // The binary part starts right after the newline.
    EXPECT_EQ(in.readInt(), 9);
    ASSERT_TRUE(in.readLine(line, &nl));
    EXPECT_EQ(line, "tail");
    EXPECT_FALSE(nl);
    EXPECT_TRUE(in.good());
    EXPECT_FALSE(in.readLine(line));
    EXPECT_EQ(in.state(), nyxCompilerStream::kEnd);
}

TEST(CompilerStream, PipeReadsAcrossRefillsAndEndsAtTheWritersClose) {
    Pipe p;
    std::string bytes;
    constexpr int kCount = 200000;  // three buffers' worth
    for (int i = 0; i < kCount; ++i) bytes += le32(i);
    // Values cut across writes are joined.
    std::thread writer([&] {
        for (size_t at = 0; at < bytes.size(); at += 4001) p.write(bytes.substr(at, 4001));
        p.closeWriter();
    });
    nyxCompilerStream in(p.fd[0], 5);
    int bad = 0;
    for (int i = 0; i < kCount; ++i) bad += in.readInt() != i;
    writer.join();
    EXPECT_EQ(bad, 0);
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.bytesRead(), bytes.size());
    EXPECT_EQ(in.readChar(), 0);
    EXPECT_EQ(in.state(), nyxCompilerStream::kEnd);
}

TEST(CompilerStream, SilentPipeTimesOut) {
    Pipe p;
    p.write("ab");
    nyxCompilerStream in(p.fd[0], 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(in.readInt(), 0);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(in.state(), nyxCompilerStream::kTimeout);
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::seconds(5));
    std::string line;
    EXPECT_FALSE(in.readLine(line));
}

TEST(CompilerStream, DiscardPendingDropsOnlyWhatIsReady) {
    Pipe p;
    p.write("#s 0\nstale bytes");
    nyxCompilerStream in(p.fd[0], 1);
    std::string line;
    ASSERT_TRUE(in.readLine(line));
    EXPECT_EQ(in.discardPending(), 11u);
    p.write("#s 27\n");
    ASSERT_TRUE(in.readLine(line));
    EXPECT_EQ(line, "#s 27");
    EXPECT_EQ(in.discardPending(), 0u);  // nothing ready: returns without waiting
    EXPECT_TRUE(in.good());
}

TEST(CompilerStream, BadDescriptorIsAnIoError) {
    nyxCompilerStream in(999, 0);  // a descriptor that is not open
    EXPECT_EQ(in.readInt(), 0);
    EXPECT_EQ(in.state(), nyxCompilerStream::kIoError);
}

} // namespace
