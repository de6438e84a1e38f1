// Names in paths, the path-buffer ring and the directory cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "dm/store/store.h"
#include "dm/store/dmpath.h"

using namespace nyxDMPath;

TEST(DMPath, NamesRoundTripThroughDirectoryEntries) {
    EXPECT_EQ(encodeName("a\\b"), "a\tb");
    EXPECT_EQ(encodeName("x.y"), "x.y");  // Dots inside longer names stay.
    // Every encoded name is a single, creatable directory entry.
    for (const char *name : {"a/b", ".", "..", "p\\q/r"}) {
        std::string entry = encodeName(name);
        ASSERT_EQ(mkdir(entry.c_str(), 0777), 0) << name;
        EXPECT_EQ(decodeName(entry.c_str()), std::string(name) == "p\\q/r" ? "p/q/r" : name);
        EXPECT_TRUE(isStoredName(entry)) << name;
    }
    // Entries that no name encodes to: their decoded names would lead to other entries.
    for (const char *entry : {"", "a\\b", "x\ny", "\n\n\n", "\n."}) EXPECT_FALSE(isStoredName(entry)) << entry;
}

TEST(DMPath, PathBuffersLiveForTwentyFourMore) {
    releasePathBuffers();
    char *first = pathBuffer("first");
    for (int i = 0; i < 23; ++i) pathBuffer("x");
    EXPECT_STREQ(first, "first");  // 23 later buffers: still intact.
    std::string longPath(5000, 'p');
    EXPECT_EQ(std::strlen(pathBuffer(longPath)), 5000u);
    releasePathBuffers();
}

TEST(DMPath, DirectoryCacheSlotsAndClearing) {
    clearDirectoryCache();
    for (int i = 0; i < 9; ++i) ASSERT_EQ(mkdir(("d" + std::to_string(i)).c_str(), 0777), 0);
    ASSERT_EQ(mkdir("d0/inner", 0777), 0);

    const std::vector<std::string> *d0 = getDiskDirectory("d0");
    ASSERT_NE(d0, nullptr);
    EXPECT_EQ(*d0, std::vector<std::string>{"inner"});
    EXPECT_EQ(getDiskDirectory("d0"), d0);  // Cached: same listing, second use.
    EXPECT_EQ(getDiskDirectory("missing"), nullptr);

    for (int i = 1; i < 8; ++i) ASSERT_NE(getDiskDirectory("d" + std::to_string(i)), nullptr);
    EXPECT_EQ(getDiskDirectory("d8"), nullptr);  // All eight slots in use.
    freeDiskDirectory("d3");
    ASSERT_NE(getDiskDirectory("d8"), nullptr);  // Reuses the slot whose use count fell to 0.

    // New entries appear only after the cache is cleared; a listing in use stays readable.
    ASSERT_EQ(mkdir("d0/later", 0777), 0);
    EXPECT_EQ(getDiskDirectory("d0")->size(), 1u);
    clearDirectoryCache();
    EXPECT_EQ(d0->size(), 1u);
    const std::vector<std::string> *fresh = getDiskDirectory("d0");
    ASSERT_NE(fresh, nullptr);
    std::vector<std::string> names = *fresh;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"inner", "later"}));
    for (int i = 0; i < 3; ++i) freeDiskDirectory("d0");
    clearDirectoryCache();
}

// The name rule reads eight bytes at a time: every byte value at every place of names of 1 to 20
// characters, against the rule read one byte at a time.
TEST(DMPath, NameRuleJudgesEveryByteAtEveryPlace) {
    EXPECT_FALSE(nyxDMUtil::validName(std::string_view()));
    EXPECT_FALSE(nyxDMUtil::validName(static_cast<const char *>(nullptr)));
    for (size_t len = 1; len <= 20; ++len) {
        for (size_t at = 0; at < len; ++at) {
            for (int c = 0; c < 256; ++c) {
                std::string name(len, 'a');
                name[at] = static_cast<char>(c);
                const bool want = c >= 0x20 && c < 0x7f;
                ASSERT_EQ(nyxDMUtil::validName(std::string_view(name)), want) << len << " " << at << " " << c;
            }
        }
    }
}
