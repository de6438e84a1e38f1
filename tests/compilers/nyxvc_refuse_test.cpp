// What nyxvc refuses: every construct outside the structural subset fails the compilation with
// a message that names the file and the line.
#include <gtest/gtest.h>

#include "nyxvc_test_util.h"

using nyxvctest::compileText;

namespace {

struct Refusal {
    const char *body;     // module body, on line 2 of the file
    const char *message;  // a part of the expected message
};

// The body goes on line 2, so every message names "t.v:2".
void expectRefused(const Refusal &r) {
    const std::string text = std::string("module top (a, y); input a; output y;\n") + r.body + "\nendmodule\n";
    const auto res = compileText(text, "top");
    EXPECT_FALSE(res.ok) << r.body;
    EXPECT_NE(res.messages.find("t.v:2: error: "), std::string::npos) << r.body << "\n" << res.messages;
    EXPECT_NE(res.messages.find(r.message), std::string::npos) << r.body << "\n" << res.messages;
}

} // namespace

TEST(NyxvcRefuse, ConstructsOutsideTheSubsetNameFileAndLine) {
    const Refusal cases[] = {
        {"always @(a) y = a;", "'always' is not supported"},
        {"initial y = 0;", "'initial' is not supported"},
        {"function f; input x; f = x; endfunction", "'function' is not supported"},
        {"task t; endtask", "'task' is not supported"},
        {"generate endgenerate", "'generate' is not supported"},
        {"genvar i;", "'genvar' is not supported"},
        {"and g1 (y, a, a);", "gate primitive and is not supported"},
        {"nand (y, a, a);", "gate primitive nand"},
        {"assign y = ~a;", "operator '~' is not supported"},
        {"assign y = a & a;", "operator '&' is not supported"},
        {"assign y = a ? a : a;", "operator '?' is not supported"},
        {"assign y = top.a;", "hierarchical references are not supported"},
        {"inv u1 (.A(sub.x), .Y(y));", "hierarchical references are not supported"},
        {"defparam u1.sub.P = 1;", "hierarchical references are not supported"},
        {"top.y = a;", "hierarchical references are not supported"},
        {"wire [3:0] m [0:7];", "more than one dimension"},
        {"assign y = m[1][2];", "more than one dimension"},
        {"integer i;", "'integer' is not supported"},
        {"reg r; always @* r = a;", "'always' is not supported"},
        {"`define W 8", "directive `define is not supported"},
        {"inv (.A(a), .Y(y));", "without a name"},
        {"inv u1 (.A(a), y);", "named and positional connections mixed"},
        {"inv u1 (.*);", "wildcard connections"},
        {"wire (strong0, strong1) w;", "drive strengths"},
        {"assign #1 y = a;", "delays are not supported"},
        {"assign y = a[0+:1];", "indexed part selects"},
        {"wire [W-1:0] w;", "is not a constant number"},
        {"assign y = f(a);", "function calls are not supported"},
        {"wire w; wire w;", "w declared twice (first at line 2)"},
        {"inv u1 (.A(a), .Y(y)); inv u1 (.A(a), .Y(y));", "instance u1 defined twice"},
        {"assign y = x[3];", "x is not declared"},
        {"assign y = a[0];", "a is not a vector"},
        {"wire [3:0] w; assign y = w[4];", "w[4] is outside its range [3:0]"},
        {"assign 1'b0 = a;", "constant on the left of an assign"},
        {"input b;", "b is not in the port list of module top"},
        {"input a;", "direction of a declared twice"},
        {"wire [3:0] w; wire \\w[2] ;", "name w[2] collides with bit 2 of w (line 2)"},
        {"wire [3:0] w; wire \\w[3:0] ;", "collides with bus w[3:0] of w"},
        {"wire \\1'b0 ;", "collides with the constant net"},
        {"inv u[1:0] (.A(a), .Y(y)); inv \\u[1]  (.A(a), .Y(y));", "collides with member 1 of instance array u"},
        {"module inner; endmodule", "module inside module top"},
        {"wire \\caf\xc3\xa9 ;", "outside printable ASCII"},
        {"/* unterminated", "unterminated comment"},
        {"inv u1 (.A(\"s\"), .Y(y));", "strings are not supported"},
        {"assign y = 4'b12;", "is not valid in base 2"},
        {"assign y = 99999999999999999999999;", "constant 99999999999999999999999 too large"},
        {"assign y = 0'b0;", "width 0"},
        {"wire [2000000:0] w;", "too wide"},
        {"assign y = {0{a}};", "replication count must be positive"},
        {"y = a;", "statements other than declarations, assigns and instances are not supported"},
        {"assign y a;", "unexpected 'a'"},
        {"defparam nosuch.P = 1;", "defparam names no instance nosuch"},
        {"(* s = \"open *) inv u1 (.A(a), .Y(y));", "unterminated string"},
        {"wire \x01;", "character outside printable ASCII"},
    };
    for (const Refusal &r : cases) expectRefused(r);
}

TEST(NyxvcRefuse, HeadersAndFileStructure) {
    auto r = compileText("module a; endmodule\nmodule a; endmodule\n", "a");
    EXPECT_NE(r.messages.find("t.v:2: error: module a defined twice (first at line 1)"), std::string::npos) << r.messages;
    r = compileText("module top (a);\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:1: error: port a has no direction"), std::string::npos) << r.messages;
    r = compileText("module top (.a(x));\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("port expressions in a module header"), std::string::npos) << r.messages;
    r = compileText("primitive p (y, a);\n", "p");
    EXPECT_NE(r.messages.find("t.v:1: error: user-defined primitives"), std::string::npos) << r.messages;
    r = compileText("module top;\nwire \\" + std::string(70000, 'n') + " ;\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:2: error: name longer than 65535 characters"), std::string::npos) << r.messages;
    // A specify block that never ends is reported where it starts.
    r = compileText("module top;\nspecify (a => y) = 1;\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:2: error: specify block without endspecify"), std::string::npos) << r.messages;
    r = compileText("module top;\n", "top");
    EXPECT_NE(r.messages.find("unexpected end of file"), std::string::npos) << r.messages;
    r = compileText("module top; endmodule\n", "other");
    EXPECT_NE(r.messages.find("t.v: error: module other is not defined in this file"), std::string::npos) << r.messages;
    r = compileText("module a; b u(); endmodule\nmodule b; a u(); endmodule\n", "a");
    EXPECT_NE(r.messages.find("instantiates itself"), std::string::npos) << r.messages;
}

TEST(NyxvcRefuse, ConnectionsToCells) {
    const char *cells = "module inv (A, Y); input A; output Y; endmodule\n";
    auto r = compileText("module top (a, y); input a; output y;\ninv u1 (.A(a), .Q(y));\nendmodule\n", "top", {}, cells);
    EXPECT_NE(r.messages.find("t.v:2: error: inv has no port Q (instance u1)"), std::string::npos) << r.messages;
    r = compileText("module top (a, y); input a; output y;\ninv u1 (a, y, a);\nendmodule\n", "top", {}, cells);
    EXPECT_NE(r.messages.find("t.v:2: error: instance u1 has more connections than inv has ports (2)"), std::string::npos)
        << r.messages;
    r = compileText("module top (a, y); input a; output y;\ninv u1 (.A(a), .A(y));\nendmodule\n", "top", {}, cells);
    EXPECT_NE(r.messages.find("port A of u1 connected twice"), std::string::npos) << r.messages;
    // A cell that is neither defined nor stubbed takes its ports from named connections only.
    r = compileText("module top (a, y); input a; output y;\nbuf1 u1 (a, y);\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:2: error: positional connections to buf1"), std::string::npos) << r.messages;
    r = compileText("module top (a, y); input a; output y;\nsub #(5) u1 (.a(a));\nendmodule\nmodule sub(input a); endmodule\n", "top");
    EXPECT_NE(r.messages.find("given by position, but sub declares no such parameter"), std::string::npos) << r.messages;
}

// Two declarations of one name that disagree, and a stubbed cell defined later differently.
TEST(NyxvcRefuse, DeclarationsThatDisagree) {
    const struct {
        const char *text;
        const char *message;
    } cases[] = {
        {"module top (a); input [1:0] a;\nwire [2:0] a;\nendmodule\n", "t.v:2: error: range of a differs from its port declaration"},
        {"module top (a); wire [2:0] a;\ninput [1:0] a;\nendmodule\n", "t.v:2: error: range of a differs from its net declaration"},
        {"module top (input a,\ninput a); endmodule\n", "t.v:2: error: port a declared twice"},
        {"module top (a,\na); input a; endmodule\n", "t.v:2: error: port a listed twice"},
        {"module top (input a, output y); inv u (.A(a), .Y(y)); endmodule\nmodule inv (input A, output Z); endmodule\n",
         "t.v:2: error: module inv differs from the stub file's, which instances above its definition used"},
        {"module top;\nwire [1048575:0] w;\nblk b (.P({w, w}));\nendmodule\n", "t.v:3: error: connection too wide for an inferred port"},
    };
    for (const auto &c : cases) {
        const auto r = compileText(c.text, "top", {}, "module inv (A, Y); input A; output Y; endmodule\n");
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_NE(r.messages.find(c.message), std::string::npos) << c.text << "\n" << r.messages;
    }
}

// Bounds that keep a hostile file from asking for unbounded memory, made small.
TEST(NyxvcRefuse, SizeLimits) {
    nyxvc::Limits small;
    small.maxWidth = 8;
    small.maxModuleBits = 64;
    small.maxItems = 4;
    const struct {
        const char *body;
        const char *message;
    } cases[] = {
        {"wire [7:0] a0, a1, a2, a3, a4, a5, a6, a7;", "module top has too many bits"},
        {"wire [8:0] w;", "range [8:0] too wide"},
        {"assign y = 16'h0;", "constant wider than 8 bits"},
        {"assign y = {a, a, a, a, a};", "expression too large"},
        {"assign y = {5{a}};", "replication too large"},
        {"wide u[4:0] (.A(a), .Y(y));", "module top has too many connections"},
    };
    for (const auto &c : cases) {
        const std::string text = std::string("module top (a, y); input a; output y;\n") + c.body + "\nendmodule\n";
        const auto r = compileText(text, "top", {}, "module wide (input [7:0] A, output [7:0] Y); endmodule\n", small);
        EXPECT_FALSE(r.ok) << c.body;
        EXPECT_NE(r.messages.find(std::string("t.v:2: error: ") + c.message), std::string::npos) << c.body << "\n" << r.messages;
    }
    nyxvc::Limits wide;
    wide.maxModuleBits = 64;
    const auto r = compileText("module top (a, y); input a; output y;\nassign y = {65{a}};\nendmodule\n", "top", {}, {}, wide);
    EXPECT_NE(r.messages.find("t.v:2: error: expression too wide"), std::string::npos) << r.messages;
}

// Values and strings beyond what a record can hold.
TEST(NyxvcRefuse, OverlongValuesAndStrings) {
    std::string tokens;
    for (int i = 0; i < 20000; ++i) tokens += "abcd ";
    auto r = compileText("module top;\n(* v = " + tokens + "*) blk b ();\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:2: error: value longer than 65535 characters"), std::string::npos) << r.messages.substr(0, 200);
    r = compileText("module top;\n(* v = \"" + std::string(70000, 's') + "\" *) blk b ();\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:2: error: string longer than 65535 characters"), std::string::npos) << r.messages.substr(0, 200);
}

// An escaped name that spells a bit or the range of a bus of its module would name two objects:
// refused wherever either is declared or used, with a message naming both; names that spell no
// bit of the bus (outside its range, another delimiter, a scalar's name) are kept.
TEST(NyxvcRefuse, EscapedNamesThatSpellBusBits) {
    auto r = compileText("module top;\nwire \\w[1] ;\nwire [3:0] w;\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:2: error: name w[1] collides with bit 1 of w (line 3)"), std::string::npos) << r.messages;
    r = compileText("module top (\\a[0] , a);\ninput \\a[0] ;\ninput [1:0] a;\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:2: error: name a[0] collides with bit 0 of a (line 3)"), std::string::npos) << r.messages;
    r = compileText("module top;\nwire [0:3] w;\nblk b (.P(\\w[2] ));\nendmodule\n", "top");
    EXPECT_NE(r.messages.find("t.v:3: error: name w[2] collides with bit 2 of w (line 2)"), std::string::npos) << r.messages;
    nyxvc::Options parens;
    parens.parens = true;
    r = compileText("module top;\nwire [3:0] w;\nwire \\w(3) ;\nendmodule\n", "top", parens);
    EXPECT_NE(r.messages.find("t.v:3: error: name w(3) collides with bit 3 of w (line 2)"), std::string::npos) << r.messages;
    r = compileText("module top;\nwire [3:0] w;\nwire \\w[4] , \\w[3:1] , \\w(3) , \\v[0] , v;\nendmodule\n", "top");
    EXPECT_TRUE(r.ok) << r.messages;
}
