// Bounds that keep hostile text from exhausting the compiler.
#include <gtest/gtest.h>

#include <string>

#include "nyxvc_test_util.h"

using nyxvctest::compileText;

// Concatenations nest by recursion: thousands of levels overflowed the stack.
TEST(NyxvcLimits, DeeplyNestedConcatenationIsRefusedNotAStackOverflow) {
    const std::string deep = "module top (a); input a; wire w;\nassign w = " + std::string(5000, '{') + "a" +
                             std::string(5000, '}') + ";\nendmodule\n";
    auto r = compileText(deep, "top");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, "t.v:2: error: concatenations nested more than 256 deep\n");
    const std::string fine = "module top (a); input a; wire w;\nassign w = " + std::string(256, '{') + "a" +
                             std::string(256, '}') + ";\nendmodule\n";
    r = compileText(fine, "top");
    EXPECT_TRUE(r.ok) << r.messages;
}
