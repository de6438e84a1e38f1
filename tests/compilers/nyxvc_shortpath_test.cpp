// The parser's short paths read the usual instance statement and net declaration from the
// characters. They must build what the general parser builds (the same records, lines and first
// error), and never read past the end of the text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nyxvc_test_util.h"

using nyxvctest::compileText;

namespace {

const char *kCells = R"(
module INV (A, Y); input A; output Y; endmodule
module ND2 (A, B, Y); input A, B; output Y; endmodule
)";

// Every statement of the module in the short paths' shape, over several lines; net names of
// more than 8 bytes that share their first 8.
const char *kQuick = R"(module top (a, y);
  input [1:0] a; output y;
  wire n1, long_net_name_1, long_net_name_2,
       n2;
  ND2 g1 (.A(a[1]), .B(a[0]),
          .Y(long_net_name_1));
  INV g2 ( . A ( long_net_name_1 ) , . Y ( long_net_name_2 ) ) ;
  INV g3 (.A(long_net_name_2), .Y(n1));
  INV g4 (.A(n1), .Y(y)); INV g5 (.A(n2), .Y(n2));
endmodule
)";

// The same module, with a comment in every statement, which sends it to the general parser.
const char *kGeneral = R"(module top (a, y);
  input [1:0] a; output y;
  wire n1, /**/ long_net_name_1, long_net_name_2,
       n2;
  ND2 /**/ g1 (.A(a[1]), .B(a[0]),
          .Y(long_net_name_1));
  INV /**/ g2 ( . A ( long_net_name_1 ) , . Y ( long_net_name_2 ) ) ;
  INV /**/ g3 (.A(long_net_name_2), .Y(n1));
  INV /**/ g4 (.A(n1), .Y(y)); INV /**/ g5 (.A(n2), .Y(n2));
endmodule
)";

// The text in a buffer of its own size, so that a read past its end is a fault under the
// sanitizers.
nyxvctest::Result compileExact(const std::string &text) {
    const std::vector<char> exact(text.begin(), text.end());
    return compileText(std::string_view(exact.data(), exact.size()), "top", {}, kCells);
}

} // namespace

TEST(NyxvcShortPath, StatementsBuildWhatTheGeneralParserBuilds) {
    const auto quick = compileText(kQuick, "top", {}, kCells);
    const auto general = compileText(kGeneral, "top", {}, kCells);
    ASSERT_TRUE(quick.ok) << quick.messages;
    EXPECT_EQ(quick.records, general.records);
    EXPECT_EQ(quick.messages, general.messages);
    EXPECT_NE(quick.records.find("net #5 long_net_name_1"), std::string::npos) << quick.records;
    EXPECT_NE(quick.records.find("net #6 long_net_name_2"), std::string::npos) << quick.records;
}

TEST(NyxvcShortPath, ErrorsNameTheLinesOfStatementsThatSpanLines) {
    auto r = compileText("module top (a, y);\ninput [1:0] a; output y;\nINV g1 (.A(a[0]),\n .Y(y));\n"
                         "INV g2 (.A(a[1]),\n\n .Y(a[5]));\nendmodule\n",
                         "top", {}, kCells);
    EXPECT_EQ(r.messages, "t.v:7: error: a[5] is outside its range [1:0]\n");
    r = compileText("module top;\nwire w1,\n  w2,\n  w1;\nendmodule\n", "top");
    EXPECT_EQ(r.messages, "t.v:4: error: w1 declared twice (first at line 2)\n");
    r = compileText("module top;\nINV g1 (.A(n1),\n .Y(wire));\nendmodule\n", "top", {}, kCells);
    EXPECT_EQ(r.messages, "t.v:3: error: unexpected 'wire' in an expression\n");
    r = compileText("module top;\nINV g1 (.A(n1), .Y(n2)), g2 (.A(n2), .Y(n1));\nINV g1 (.A(n1), .Y(n2));\nendmodule\n",
                    "top", {}, kCells);
    EXPECT_EQ(r.messages, "t.v:3: error: instance g1 defined twice (first at line 2)\n");
}

TEST(NyxvcShortPath, StatementsCutAtTheEndOfTheText) {
    const struct {
        const char *text;
        const char *message;
    } cases[] = {
        {"module top;\nINV g1 (.A(n1), .Y(n2));", "t.v:2: error: unexpected end of file in a module\n"},
        {"module top;\nINV g1 (.A(n1), .Y(n2))", "t.v:2: error: unexpected end of file after an instance\n"},
        {"module top;\nINV g1 (.A(n1), .Y(n2", "t.v:2: error: unexpected end of file in an expression\n"},
        {"module top;\nINV g1 (.A(n1[7", "t.v:2: error: unexpected end of file at the end of a select\n"},
        {"module top;\nINV g1 (.A", "t.v:2: error: unexpected end of file in a connection list\n"},
        {"module top;\nwire a, b", "t.v:2: error: unexpected end of file in a net declaration\n"},
        {"module top;\nwire a,\n", "t.v:3: error: unexpected end of file in a net declaration\n"},
    };
    for (const auto &c : cases) {
        const auto r = compileExact(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.messages, c.message) << c.text;
    }
}
