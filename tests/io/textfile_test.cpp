// The text-file layer of the line-oriented formats: lines of any length, quoting and tokens,
// floats that read back exactly, and numbers read with range checks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "io/io.h"

namespace {

std::vector<std::string> tokensOf(const std::string &line) {
    std::vector<std::string> out;
    nyxTextFile::Tokens tokens(line);
    std::string t;
    while (tokens.next(t)) out.push_back(t);
    return out;
}

} // namespace

TEST(TextFile, LinesOfAnyLengthAreNeverSplit) {
    const std::string longLine(100000, 'a');
    const std::string text = longLine + "\n\nlast";
    nyxTextFile::Lines lines(text);
    std::string_view line;
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line.size(), longLine.size());
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(lines.next(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(lines.next(line));
}

TEST(TextFile, QuotedTextReadsBackAsWritten) {
    const std::vector<std::string> texts = {"", "plain", "two words", "q\"uote", "back\\slash", "new\nline\n",
                                   "tab\there", "\\n literally", std::string(5000, 'z')};
    for (const std::string &text : texts) {
        std::string line = "#!prop ";
        nyxTextFile::appendQuoted(line, text);
        line += " \tnext";
        const std::vector<std::string> tokens = tokensOf(line);
        ASSERT_EQ(tokens.size(), 3u) << text;
        EXPECT_EQ(tokens[1], text);
        EXPECT_EQ(tokens[2], "next");
    }
    // Text without the quoted characters is written as it stands.
    std::string out;
    nyxTextFile::appendQuoted(out, "a b");
    EXPECT_EQ(out, "\"a b\"");
    // A quote that is never closed runs to the end of the line; unquoted tokens keep backslashes.
    EXPECT_EQ(tokensOf("\"open to the end"), std::vector<std::string>{"open to the end"});
    EXPECT_EQ(tokensOf("a\\b c"), (std::vector<std::string>{"a\\b", "c"}));
}

TEST(TextFile, FloatsReadBackExactly) {
    EXPECT_EQ(nyxTextFile::formatFloat(1.5f), "1.500000");
    EXPECT_EQ(nyxTextFile::formatFloat(-0.25f), "-0.250000");
    EXPECT_EQ(nyxTextFile::formatFloat(1e-12f), "9.99999996e-13");
    for (float v : {0.1f, 1e-12f, 3.14159274f, 1e37f, -1e37f, 1.17549435e-38f, 123456.789f, 0.0f}) {
        float back = 0.0f;
        ASSERT_TRUE(nyxTextFile::parseFloat(nyxTextFile::formatFloat(v), back)) << v;
        EXPECT_EQ(back, v);
    }
}

TEST(TextFile, NumbersOutOfRangeAreRefused) {
    int32_t i = 7;
    EXPECT_TRUE(nyxTextFile::parseInt("-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
    for (const char *bad : {"2147483648", "-2147483649", "99999999999999999999", "", "1x", "x", " "}) {
        i = 7;
        EXPECT_FALSE(nyxTextFile::parseInt(bad, i)) << bad;
        EXPECT_EQ(i, 7);
    }
    float f = 2.0f;
    for (const char *bad : {"nan", "inf", "-inf", "1e38", "-1e38", "1e400", "", "1.5.5", "0x"}) {
        EXPECT_FALSE(nyxTextFile::parseFloat(bad, f)) << bad;
        EXPECT_EQ(f, 2.0f);
    }
    EXPECT_TRUE(nyxTextFile::parseFloat("1e37", f));
    nyxTextFile::Value v;
    EXPECT_TRUE(nyxTextFile::parseValue('b', "-5", v));
    EXPECT_EQ(v.intValue, 1);
    EXPECT_FALSE(nyxTextFile::parseValue('U', "", v));
    EXPECT_FALSE(nyxTextFile::parseValue('Z', "1", v));
    for (char letter : {'S', 'E', 'T', 'C'}) {
        EXPECT_TRUE(nyxTextFile::parseValue(letter, "x y", v));
        EXPECT_EQ(v.text, "x y");
    }
}
