// Regular expressions of the library map: matching, groups, substitution, compile errors, and
// patterns that would take exponential time in a naive backtracking matcher.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "utils/regexp.h"

namespace {

// Compiles pattern, runs it on subject and returns the substitution of "how" ("" for no match);
// "<error: ...>" when the pattern does not compile.
std::string run(const char *pattern, const char *subject, const char *how = "&") {
    std::string error;
    auto re = nyxRegexp::compile(pattern, &error);
    if (!re) return "<error: " + error + ">";
    if (!re->exec(subject)) return "<no match>";
    std::string out;
    EXPECT_TRUE(re->substitute(how, out));
    return out;
}

TEST(Regexp, MatchesLeftmostWithBacktrackingPreferences) {
    struct Case {
        const char *pattern, *subject, *how, *expected;
    } cases[] = {
        {"abc", "xabcy", "&", "abc"},
        {"^abc$", "abc", "&", "abc"},
        {"^abc$", "abcc", "&", "<no match>"},
        {"a.c", "a\nc", "&", "a\nc"},
        {"a[b-d]e", "xace", "&", "ace"},
        {"a[^bc]d", "abdaed", "&", "aed"},
        {"a[]b]c", "a]c", "&", "a]c"},
        {"a[-b]c", "a-c", "&", "a-c"},
        {"a[b-]c", "a-c", "&", "a-c"},
        {"a[\\]c", "a\\c", "&", "a\\c"},
        {"a\\(b\\.", "a(b.", "&", "a(b."},
        {"ab*c", "xac", "&", "ac"},
        {"ab+c", "ac", "&", "<no match>"},
        {"ab?c", "abc", "&", "abc"},
        {".*", "abc", "&", "abc"},
        {"a.*b", "axbyb", "&", "axbyb"},
        {"[a-c]+", "xxabcabd", "&", "abcab"},
        {"x$", "xx", "&", "x"},
        {"a^b", "a^b", "&", "<no match>"},
        {"", "abc", "[&]", "[]"},
        {"a|b|c", "xc", "&", "c"},
        // Leftmost start wins over longer matches further right; at that start the first
        // alternative and the longest repetition are preferred, as a backtracking matcher does.
        {"(a|ab)(c|bcd)(d*)", "abcd", "\\1-\\2-\\3", "a-bcd-"},
        {"(a*)b", "xaab", "\\1", "aa"},
        {"(a+|b)*", "ab", "&/\\1", "ab/b"},
        {"((a)|b)+", "ab", "\\1\\2", "ba"},
        {"(a|b)*c", "abc", "\\1", "b"},
        {"(a*)?x", "x", "[\\1]", "[]"},
        {"^lib(.*)", "libA", "/data/\\1", "/data/A"},
        {"(a)(b)(c)(d)(e)(f)(g)(h)(i)", "abcdefghi", "\\9\\8\\1\\0", "ihaabcdefghi"},
    };
    for (const Case &c : cases) EXPECT_EQ(run(c.pattern, c.subject, c.how), c.expected) << c.pattern;
}

TEST(Regexp, CompileErrorsGiveTheClassicReasons) {
    struct Case {
        const char *pattern, *error;
    } cases[] = {
        {"(", "unmatched ()"},
        {"a(b", "unmatched ()"},
        {")", "unmatched ()"},
        {"a)", "unmatched ()"},
        {"*a", "?+* follows nothing"},
        {"a|*b", "?+* follows nothing"},
        {"(+)", "?+* follows nothing"},
        {"a**", "nested *?+"},
        {"a*?", "nested *?+"},
        {"(a*)*", "*+ operand could be empty"},
        {"(a|)+", "*+ operand could be empty"},
        {"(a|b*)*", "*+ operand could be empty"},
        {"()*", "*+ operand could be empty"},
        {"^*", "*+ operand could be empty"},
        {"[a", "unmatched []"},
        {"[]", "unmatched []"},
        {"[^", "unmatched []"},
        {"[z-a]", "invalid [] range"},
        {"a\\", "trailing \\"},
        {"(((((((((())))))))))", "too many ()"},
    };
    for (const Case &c : cases) EXPECT_EQ(run(c.pattern, ""), std::string("<error: ") + c.error + ">") << c.pattern;

    std::string error;
    EXPECT_EQ(nyxRegexp::compile(nullptr, &error), nullptr);
    EXPECT_EQ(error, "NULL argument");
    EXPECT_EQ(nyxRegexp::compile(std::string(40000, 'a').c_str(), &error), nullptr);
    EXPECT_EQ(error, "regexp too big");
    // What the classic form allows next to the errors above.
    EXPECT_EQ(run("(a*)?", "aa"), "aa");
    EXPECT_EQ(run("((((((((()))))))))", "x", "[&]"), "[]");
    EXPECT_EQ(run("(a|b*)?c", "bbc"), "bbc");
}

TEST(Regexp, SubstitutionEscapesAndAbsentGroups) {
    std::string error;
    auto re = nyxRegexp::compile("(b+)(c)?", &error);
    ASSERT_TRUE(re);
    std::string out;
    EXPECT_FALSE(re->substitute("&", out)) << "no match held yet";
    {
        std::string subject = "abbd";
        ASSERT_TRUE(re->exec(subject.c_str()));
        subject.assign(100, 'z');  // the held match must not depend on the caller's buffer
    }
    EXPECT_EQ(re->start(1), 1);
    EXPECT_EQ(re->end(1), 3);
    EXPECT_EQ(re->start(2), -1);
    EXPECT_EQ(re->start(12), -1);
    ASSERT_TRUE(re->substitute("[&][\\1][\\2][\\&][\\\\][\\x][\\0]\\", out));
    EXPECT_EQ(out, "[bb][bb][][&][\\][\\x][bb]\\");
    EXPECT_FALSE(re->exec("xyz"));
    EXPECT_FALSE(re->substitute("&", out));
    EXPECT_EQ(re->start(0), -1);
}

TEST(Regexp, HostilePatternsRunInLinearTime) {
    const std::string subject(20000, 'a');
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(run("(a|aa)+$b", subject.c_str()), "<no match>");
    EXPECT_EQ(run("(.+)+x", subject.c_str()), "<no match>");
    EXPECT_EQ(run("((a+)+)+b", subject.c_str()), "<no match>");
    EXPECT_EQ(run("(a|a)*", subject.c_str()).size(), subject.size());
    // A backtracking matcher would need about 2^20000 steps for these.
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20));
}

}  // namespace
