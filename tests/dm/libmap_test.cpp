// Library paths: the three forms of the library map and the names of cells and views in paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cfidr.h"
#include "common/test_env.h"
#include "dm/store/store.h"

using nyxDMUtil::pathOf;

TEST(LibraryMap, UnsetMapsNamesThroughTheLocationMap) {
    nyxDMUtil::resetLibraryMap();
    const std::string &dir = nyxtest::testDirectory();
    // Relative names are taken from the current directory, absolute ones stay.
    EXPECT_EQ(pathOf("mylib"), dir + "/mylib");
    EXPECT_EQ(pathOf("/abs/lib", "c/d", "v"), "/abs/lib/c\td/v");
    EXPECT_EQ(pathOf("/abs/lib", "..", "."), "/abs/lib/\n\n/\n");
    // Home paths expand.
    EXPECT_EQ(pathOf("/obol/libs/l"), dir + "/libs/l");
}

TEST(LibraryMap, DotMapsToTheCurrentDirectory) {
    nyxDMUtil::resetLibraryMap();
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    EXPECT_EQ(pathOf("mylib"), "mylib");
    EXPECT_EQ(pathOf("a/b", "cell"), "a\tb/cell");
    // The variable is read once: later changes have no effect.
    unsetenv("ZIL_NYX_LIBRARYMAP");
    EXPECT_EQ(pathOf("mylib"), "mylib");

    // Created through the interface, the library is a directory of the current directory.
    cfidrErrorT e = 0;
    cfiOID lib = cfidrPICreateLib("mylib", &e);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    struct stat st;
    EXPECT_EQ(stat("mylib", &st), 0);
}

TEST(LibraryMap, MapFileRulesSubstituteInFileOrder) {
    nyxDMUtil::resetLibraryMap();
    std::ofstream("libmap") << "# comment line\t/never\n"
                            << "\t\t^lib(.*)\t\t/data/\\1\tignored after tab\n"
                            << "^(x)(y)$\t/pair/\\2\\1/&\n"
                            << "^libB$\t/second\n"  // Never reached: libB matches the first rule.
                            << "(unclosed\t/bad\n"
                            << "no-replacement-field\n"
                            << "^rel$\trelative/dir\n";
    setenv("ZIL_NYX_LIBRARYMAP", "libmap", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(pathOf("libA"), "/data/A");
    std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(diagnostics.rfind("regexp(3): ", 0), 0u) << diagnostics;
    EXPECT_EQ(std::count(diagnostics.begin(), diagnostics.end(), '\n'), 1);
    EXPECT_EQ(pathOf("libB", "c"), "/data/B/c");
    EXPECT_EQ(pathOf("xy"), "/pair/yx/xy");
    EXPECT_EQ(pathOf("rel"), nyxtest::testDirectory() + "/relative/dir");
    // No rule matches: the name itself.
    EXPECT_EQ(pathOf("other"), nyxtest::testDirectory() + "/other");
    // A rule that maps to nothing gives "/".
    nyxDMUtil::resetLibraryMap();
    std::ofstream("libmap2") << "^empty$\t\\9\n";
    setenv("ZIL_NYX_LIBRARYMAP", "libmap2", 1);
    EXPECT_EQ(pathOf("empty", "c"), "/c");
}

// A map file that cannot be read was ignored without a word; now each such file is reported in
// the location map's words and gives no rules, so names map as without a map.
TEST(LibraryMap, UnusableMapFileIsReportedAndGivesNoRules) {
    const std::string &dir = nyxtest::testDirectory();
    mkdir("adir", 0777);
    ASSERT_EQ(symlink("loop2", "loop1"), 0);
    ASSERT_EQ(symlink("loop1", "loop2"), 0);
    {
        std::ofstream big("big");
        big << "^lib$\t/big\n";
    }
    ASSERT_EQ(truncate("big", (16 << 20) + 1), 0);
    std::ofstream("locked") << "^lib$\t/locked\n";
    chmod("locked", 0);
    std::vector<std::string> files = {"does-not-exist", "adir", "loop1", "big"};
    // Permissions do not hold back the superuser.
    if (geteuid() != 0) files.push_back("locked");
    for (const std::string &file : files) {
        nyxDMUtil::resetLibraryMap();
        setenv("ZIL_NYX_LIBRARYMAP", file.c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(pathOf("lib"), dir + "/lib") << file;
        EXPECT_EQ(pathOf("lib2"), dir + "/lib2") << file;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error:  Can't open library map file " + file + ".\n");
    }
    // An empty value names no file: names map as when unset, and nothing is said.
    nyxDMUtil::resetLibraryMap();
    setenv("ZIL_NYX_LIBRARYMAP", "", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(pathOf("lib"), dir + "/lib");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
