// Status texts: formatting, formatting without recording, printing and packages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "status/statusInt.h"

namespace {

// Prints the context to a memory stream and returns what was written, with the result.
std::string printed(zilerrContextT c, int withSeverity, int *result) {
    char *data = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&data, &size);
    *result = zilerrPrintContext(f, c, withSeverity);
    std::fclose(f);
    std::string out(data, size);
    std::free(data);
    return out;
}

TEST(StatusFormat, TextsFromTheDefaultFormat) {
    zilerrContextT c = zilerrContextForThread();
    EXPECT_EQ(zilerrAddStatus(c, 1, "%s has %d nets ", "p", 3, 0, "top", 4), 0);
    EXPECT_EQ(zilerrAddStatus(c, 2, "two blanks  ", "p", 3, 0), 0);
    EXPECT_EQ(zilerrAddStatus(c, 3, nullptr, "p", 3, 0), 1);
    EXPECT_EQ(zilerrAddStatus(c, 4, "", "p", 3, 0), 1);
    std::string longArg(5000, 'z'); // Well past any first buffer.
    EXPECT_EQ(zilerrAddStatus(c, 5, "<%s>", "p", 3, 0, longArg.c_str()), 0);
    ASSERT_EQ(zilerrGetCount(c), 5);
    EXPECT_STREQ(zilerrGetMessage(c, 0), "top has 4 nets");
    EXPECT_STREQ(zilerrGetMessage(c, 1), "two blanks ");
    EXPECT_STREQ(zilerrGetMessage(c, 2), "");
    EXPECT_STREQ(zilerrGetMessage(c, 3), "");
    EXPECT_EQ(zilerrGetMessage(c, 4), "<" + longArg + ">");
    // Message ids of registered packages fall back to the default format too.
    ASSERT_EQ(zilerrRegisterPackage("ql", 7, "qlmsg", 0x409), 0);
    EXPECT_EQ(zilerrAddStatus(c, 4242, "fallback %d", "ql", 3, 0, 1), 0);
    EXPECT_STREQ(zilerrGetMessage(c, 5), "fallback 1");
}

TEST(StatusFormat, FormatWithoutRecording) {
    char small[8];
    char *buf = small;
    // Longer than the buffer: cut and terminated inside it.
    EXPECT_EQ(zilerrFormatMessage(1, "abcdefghij", 8, &buf), 7);
    EXPECT_STREQ(small, "abcdefg");
    // Exactly the buffer's size: the terminator still fits.
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(zilerrFormatMessage(1, "%d", 8, &buf, 12345678), 7);
    EXPECT_STREQ(small, "1234567");
    EXPECT_EQ(zilerrFormatMessage(1, "n=%d", 8, &buf, 42), 4);
    EXPECT_STREQ(small, "n=42");
    // Size 0 allocates for the caller.
    char *owned = nullptr;
    std::string longArg(3000, 'w');
    EXPECT_EQ(zilerrFormatMessage(1, "%s.", 0, &owned, longArg.c_str()), 3001);
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(owned, longArg + ".");
    std::free(owned);
    // Failures write nothing and return 0.
    char *untouched = nullptr;
    EXPECT_EQ(zilerrFormatMessage(1, "x", 0, nullptr), 0);
    EXPECT_EQ(zilerrFormatMessage(1, "x", 4, &untouched), 0);
    EXPECT_EQ(zilerrFormatMessage(1, nullptr, 0, &untouched), 0);
    EXPECT_EQ(zilerrFormatMessage(1, "x", -1, &buf), 0);
    EXPECT_EQ(untouched, nullptr);
    EXPECT_EQ(zilerrGetCount(nullptr), 0); // Nothing was recorded.
}

TEST(StatusFormat, PrintingWithAndWithoutSeverityWords) {
    zilerrContextT c = zilerrCreateContext();
    int result = -1;
    EXPECT_EQ(printed(c, 1, &result), "");
    EXPECT_EQ(result, 1);
    zilerrAddStatus(c, 1, "a note", "p", 1, 0);
    zilerrAddStatus(c, 2, "a warning", "p", 2, 0);
    zilerrAddStatus(c, 3, "an error", "p", 3, 0);
    zilerrAddStatus(c, 4, "severity four", "p", 4, 0);
    zilerrAddStatus(c, 5, "severity zero", "p", 0, 0);
    EXPECT_EQ(printed(c, 1, &result),
              "Note: a note\nWarning: a warning\nError: an error\nseverity four\nseverity zero\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed(c, 0, &result), "a note\na warning\nan error\nseverity four\nseverity zero\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(zilerrPrintContext(nullptr, c, 1), 1);
    zilerrDestroyContext(c);
}

TEST(StatusFormat, PackageRegistrationSharesModuleRecords) {
    EXPECT_EQ(nyxstatus::nameHash("\xff"), 1); // Signed characters: |-1| % 16.
    EXPECT_EQ(zilerrRegisterPackage(nullptr, 1, "m", 0x409), 1);
    ASSERT_EQ(zilerrRegisterPackage("one", 1, "shared", 0x409), 0);
    ASSERT_EQ(zilerrRegisterPackage("two", 2, "shared", 0x407), 0);
    ASSERT_EQ(zilerrRegisterPackage("one", 9, "other", 0x409), 0); // Already there: unchanged.
    EXPECT_EQ(nyxstatus::findPackage("one")->number, 1);
    EXPECT_EQ(nyxstatus::findModule("other"), nullptr);
    ASSERT_NE(nyxstatus::findModule("shared"), nullptr);
    EXPECT_EQ(nyxstatus::findModule("shared")->refCount, 2);
    EXPECT_EQ(zilerrUnregisterPackage("one"), 0);
    EXPECT_EQ(nyxstatus::findPackage("one"), nullptr);
    EXPECT_EQ(nyxstatus::findModule("shared")->refCount, 1);
    // Unregistering again must not drop the shared record a second time.
    EXPECT_EQ(zilerrUnregisterPackage("one"), 0);
    EXPECT_EQ(nyxstatus::findModule("shared")->refCount, 1);
    EXPECT_EQ(zilerrUnregisterPackage("two"), 0);
    EXPECT_EQ(nyxstatus::findModule("shared"), nullptr);
    EXPECT_EQ(zilerrUnregisterPackage(nullptr), 0);
    // Names in the same chain stay apart ("ab" and "ba" hash alike).
    ASSERT_EQ(zilerrRegisterPackage("ab", 1, nullptr, 0), 0);
    ASSERT_EQ(zilerrRegisterPackage("ba", 2, nullptr, 0), 0);
    EXPECT_EQ(zilerrUnregisterPackage("ab"), 0);
    ASSERT_NE(nyxstatus::findPackage("ba"), nullptr);
    EXPECT_EQ(nyxstatus::findPackage("ba")->number, 2);
}

} // namespace
