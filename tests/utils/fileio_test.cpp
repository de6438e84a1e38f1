// The file layer: durable replacement, failure injection at every operation, and saves killed
// at random moments.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "utils/fileio.h"

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

void plainWrite(const std::string &path, const std::string &content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool save(const std::string &path, const std::string &content) {
    return nyxFileIO::saveFile(path, [&](nyxFileIO::Writer &w) { return w.put(content); });
}

struct InjectionOff {
    ~InjectionOff() { nyxFileIO::failOperation(0); }
};

// A test that would block forever on a FIFO ends with SIGALRM instead.
struct HangGuard {
    HangGuard() { alarm(20); }
    ~HangGuard() { alarm(0); }
};

bool isLink(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

TEST(FileIO, SaveReplacesAndKeepsBackup) {
    ASSERT_TRUE(save("f", "first"));
    EXPECT_EQ(slurp("f"), "first");
    EXPECT_FALSE(exists("f.ed"));
    EXPECT_FALSE(exists("f.bak"));

    ASSERT_TRUE(save("f", "second, longer"));
    EXPECT_EQ(slurp("f"), "second, longer");
    EXPECT_EQ(slurp("f.bak"), "first");
    EXPECT_FALSE(exists("f.ed"));
    EXPECT_FALSE(exists("f.bak.tmp"));

    // A callback that gives up leaves everything as it was.
    EXPECT_FALSE(nyxFileIO::saveFile("f", [](nyxFileIO::Writer &w) { w.put("partial"); return false; }));
    EXPECT_EQ(slurp("f"), "second, longer");
    EXPECT_FALSE(exists("f.ed"));

    ASSERT_TRUE(nyxFileIO::removeAll("f"));
    EXPECT_FALSE(exists("f") || exists("f.bak") || exists("f.ed"));
}

TEST(FileIO, FailureAtEveryOperationChangesNothing) {
    InjectionOff guard;
    const std::string big(200000, 'n');  // More than one buffered write.
    for (bool previous : {true, false}) {
        const std::string path = previous ? "over" : "fresh";
        auto reset = [&]() {
            nyxFileIO::removeAll(path);
            if (previous) plainWrite(path, "old content");
        };
        reset();
        nyxFileIO::failOperation(0);
        ASSERT_TRUE(save(path, big));
        const long steps = nyxFileIO::operationCount();
        ASSERT_GE(steps, previous ? 10 : 6);
        reset();
        for (long k = 1; k <= steps + 2; ++k) {
            SCOPED_TRACE("failing operation " + std::to_string(k));
            nyxFileIO::failOperation(k);
            bool saved = save(path, big);
            nyxFileIO::failOperation(0);
            EXPECT_FALSE(exists(path + ".ed"));
            EXPECT_FALSE(exists(path + ".bak.tmp"));
            if (saved) {
                // Only possible when k lies beyond the operations of this save.
                EXPECT_GT(k, steps);
                EXPECT_EQ(slurp(path), big);
                reset();
                continue;
            }
            if (previous) {
                EXPECT_EQ(slurp(path), "old content");
            } else {
                EXPECT_FALSE(exists(path));
            }
        }
    }
}

TEST(FileIO, SaveNeverFollowsALinkPlantedAtTheTemporary) {
    plainWrite("target", "precious");
    plainWrite("f", "old");
    for (const char *planted : {"f.ed", "f.bak.tmp"}) {
        ASSERT_EQ(symlink("target", planted), 0);
        ASSERT_TRUE(save("f", std::string("new via ") + planted));
        EXPECT_EQ(slurp("target"), "precious");
        EXPECT_FALSE(isLink("f"));
        EXPECT_EQ(slurp("f"), std::string("new via ") + planted);
        EXPECT_FALSE(exists("f.ed") || exists("f.bak.tmp"));
    }
    // A dangling link is not followed either (it would create its target).
    ASSERT_EQ(symlink("created_elsewhere", "f.ed"), 0);
    ASSERT_TRUE(save("f", "again"));
    EXPECT_FALSE(exists("created_elsewhere"));
    // A temporary that cannot be removed fails the save and changes nothing.
    ASSERT_EQ(mkdir("f.ed", 0777), 0);
    EXPECT_FALSE(save("f", "blocked"));
    EXPECT_EQ(slurp("f"), "again");
}

TEST(FileIO, FifoWhereAStoredFileIsExpectedNeverBlocks) {
    HangGuard guard;
    ASSERT_EQ(mkfifo("pipe", 0666), 0);
    std::string out = "stale";
    EXPECT_FALSE(nyxFileIO::readFile("pipe", out));
    EXPECT_TRUE(out.empty());
    nyxFileIO::Reader reader;
    EXPECT_FALSE(reader.open("pipe"));
    // A FIFO left at the temporary is removed like any stale temporary.
    ASSERT_EQ(mkfifo("g.ed", 0666), 0);
    ASSERT_TRUE(save("g", "content"));
    EXPECT_EQ(slurp("g"), "content");
    // One at the plain name is refused on save and stays as it was.
    EXPECT_FALSE(save("pipe", "content"));
    struct stat st;
    ASSERT_EQ(lstat("pipe", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_FALSE(exists("pipe.ed") || exists("pipe.bak"));
}

TEST(FileIO, WriterPatchesBufferedAndWrittenBytes) {
    nyxFileIO::Writer w;
    ASSERT_TRUE(w.open("patched"));
    std::string expected(150000, 'x');
    ASSERT_TRUE(w.put(expected));
    EXPECT_EQ(w.offset(), expected.size());
    ASSERT_TRUE(w.writeAt(10, "HEAD", 4));                   // Already on disk.
    ASSERT_TRUE(w.writeAt(expected.size() - 4, "TAIL", 4));  // Still in the buffer.
    ASSERT_TRUE(w.writeAt(65534, "MID!", 4));                // Across the boundary.
    EXPECT_FALSE(w.writeAt(expected.size() - 2, "PAST", 4)); // Beyond the end: refused.
    EXPECT_FALSE(w.ok());
    EXPECT_FALSE(w.close());
}

TEST(FileIO, ReadIsBoundedAndListingSkipsDots) {
    plainWrite("data", "0123456789");
    std::string out;
    ASSERT_TRUE(nyxFileIO::readFile("data", out));
    EXPECT_EQ(out, "0123456789");
    EXPECT_FALSE(nyxFileIO::readFile("data", out, 9));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(nyxFileIO::readFile("missing", out));
    ASSERT_TRUE(nyxFileIO::makeDirectory("dir"));
    EXPECT_FALSE(nyxFileIO::readFile("dir", out));
    EXPECT_TRUE(nyxFileIO::makeDirectory("dir"));  // Existing directory is fine.
    std::vector<std::string> names;
    ASSERT_TRUE(nyxFileIO::listDirectory(".", names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"data", "dir"}));
    EXPECT_NE(nyxFileIO::inodeOf("dir"), 0u);
    EXPECT_EQ(nyxFileIO::inodeOf("nothing"), 0u);
    EXPECT_TRUE(nyxFileIO::removeDirectory("dir"));
    EXPECT_FALSE(nyxFileIO::isDirectory("dir"));
}

// A child saves two alternating contents as fast as it can and is killed at a random moment; the
// plain name must always hold one of them whole.
TEST(FileIO, KilledSaveNeverLeavesPartialFile) {
    const std::string a(300000, 'a');
    const std::string b(70000, 'b');
    ASSERT_TRUE(save("victim", a));
    std::mt19937 rng(12345);
    for (int round = 0; round < 25; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned i = 0;; ++i) save("victim", i % 2 ? a : b);
        }
        usleep(std::uniform_int_distribution<int>(200, 20000)(rng));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        std::string now = slurp("victim");
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}
