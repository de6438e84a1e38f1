// `nyx import`: a small hierarchical Verilog file taken into a library through the built
// nyxvc, its counts, the saved library read by dump, stats, walk and flat, and the failures.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "common/test_env.h"
#include "import_source.h"
#include "import_testutil.h"
#include "tools/tool_run.h"

namespace {

using importtest::environment;
using importtest::exists;
using importtest::write;
using tooltest::runTool;

// A two-level adder: half adders of gates in full adders in the top, with a bus, a supply net,
// an attribute and positional connections.
const char *const kAdder = R"(// adder
module half (input a, input b, output s, output c);
  XOR2X1 x (.A(a), .B(b), .Y(s));
  AND2X2 n (.A(a), .B(b), .Y(c));
endmodule

module full (a, b, ci, s, co);
  input a, b, ci;
  output s, co;
  wire s1, c1, c2;
  half h0 (.a(a), .b(b), .s(s1), .c(c1));
  (* keep *) half h1 (.a(s1), .b(ci), .s(s), .c(c2));
  OR2X2 o (.A(c1), .B(c2), .Y(co));
endmodule

module adder2 (input [1:0] a, input [1:0] b, input ci, output [1:0] s, output co);
  wire c;
  supply0 gnd;
  full f0 (a[0], b[0], ci, s[0], c);
  full f1 (.a(a[1]), .b(b[1]), .ci(c), .s(s[1]), .co(co));
endmodule
)";

const char *const kCells = R"(module XOR2X1 (input A, input B, output Y); endmodule
module AND2X2 (input A, input B, output Y); endmodule
module OR2X2 (input A, input B, output Y); endmodule
)";

tooltest::ToolRun importAdder(bool save) {
    environment();
    write("adder.v", kAdder);
    write("cells.v", kCells);
    std::vector<std::string> args = {"import", "adder.v", "--lib", "work", "--cells", "cells.v"};
    if (save) args.push_back("--save");
    return runTool(args);
}

} // namespace

TEST(ImportTool, CountsTheHierarchyAndSavesWhatLaterCommandsRead) {
    tooltest::ToolRun r = importAdder(true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("top\tadder2\nview\tnetlist\nmodules\t3\ninstances\t7\nnets\t25\nleaf cells\t10\n"
                         "leaf cell views made\t3\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("save wall s\t"), std::string::npos);
    // The saved views are read without compiling: the source is gone.
    ASSERT_EQ(::unlink((nyxtest::testDirectory() + "/work/adder2/netlist.v").c_str()), 0);
    r = runTool({"stats", "work", "adder2", "netlist"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("instances\t2\n"), std::string::npos) << r.out;
    r = runTool({"dump", "work", "full", "netlist"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("inst h1 of work half netlist version 0\n  prop keep integer = 1\n"), std::string::npos)
        << r.out;
    // A leaf cell's view: its ports from the stub file, directions included, and no nets.
    r = runTool({"dump", "work", "OR2X2", "netlist"});
    EXPECT_EQ(r.out, "view work OR2X2 netlist type CFIDR_NETLISTVIEW\nport scalar A dir input\n"
                     "port scalar B dir input\nport scalar Y dir output\n");
    r = runTool({"walk", "work", "adder2", "cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("top 3 1\ninst 4 2 f0\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" 4 f1/h1/x\n"), std::string::npos) << r.out;
    r = runTool({"flat", "work", "adder2", "cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("global gnd\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("flat c\n  net 6 c\n"), std::string::npos) << r.out;
}

TEST(ImportTool, RefusesToCompileOverAStoredView) {
    ASSERT_EQ(importAdder(true).status, 0);
    tooltest::ToolRun r = importAdder(false);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("already holds a stored view netlist"), std::string::npos) << r.err;
    // The first import's views stay, and a view of another name imports beside them.
    EXPECT_TRUE(exists(nyxtest::testDirectory() + "/work/adder2/netlist.nyxNetlistView"));
    r = runTool({"import", "adder.v", "--lib", "work", "--view", "second"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Without the stub file the leaf cells' ports come from the named connections, with a warning.
    EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
}

// Without --save a later session compiles the view again, from the library's copies of the
// source and of the stub file: the leaf cells' ports come from the stubs as in the import. An
// import without --cells drops the copy, so the compiler takes the ports from the connections.
TEST(ImportTool, ALaterSessionCompilesWithTheImportsStubFile) {
    const std::string dir = nyxtest::testDirectory();
    ASSERT_EQ(importAdder(false).status, 0);
    EXPECT_TRUE(exists(dir + "/work/adder2/netlist.stubs"));
    ASSERT_EQ(::unlink((dir + "/cells.v").c_str()), 0);  // the user's file may go: the copy stays
    setenv("ZIL_NYX_COMPILER_RULES", (dir + "/work/nyxCompilers.rules").c_str(), 1);
    tooltest::ToolRun r = runTool({"dump", "work", "adder2", "netlist"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    r = runTool({"import", "adder.v", "--lib", "work"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(dir + "/work/adder2/netlist.stubs"));
}

TEST(ImportTool, ReportsTheCompilersMessageAtTheInputsLineAndLeavesNothing) {
    environment();
    write("one.v", "module leafmod (input a, output y);\n  INVX1 i (.A(a), .Y(y));\nendmodule\n");
    write("two.v", "module top (input a, output y);\n  wire w;\n  leafmod l (.a(a), .y(w));\n"
                   "  assign y = ~w;\nendmodule\n");
    tooltest::ToolRun r = runTool({"import", "one.v", "two.v", "--lib", "work"});
    EXPECT_EQ(r.status, 1);
    // The source was both files one after the other; the message names the second and its line.
    EXPECT_EQ(r.err.rfind("two.v:4: error: operator", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("nyx import: cannot compile module top into view netlist (error 4"), std::string::npos)
        << r.err;
    EXPECT_FALSE(exists(nyxtest::testDirectory() + "/work")) << "the failed import left its library";
}

TEST(ImportTool, FindsTheTopOrSaysWhyNot) {
    environment();
    write("two.v", "module a (input x); endmodule\n/* module c (); */\nmodule b (input x); endmodule\n");
    tooltest::ToolRun r = runTool({"import", "two.v", "--lib", "work"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx import: several top modules: a, b (name one with --top)\n");
    r = runTool({"import", "two.v", "--lib", "work", "--top", "c"});
    EXPECT_EQ(r.err, "nyx import: module c is not defined in the files\n");
    r = runTool({"import", "two.v", "--lib", "work", "--top", "b"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("modules\t1\n"), std::string::npos) << r.out;
}

TEST(ImportTool, MissingFilesAndUsage) {
    environment();
    tooltest::ToolRun r = runTool({"import", "nosuch.v", "--lib", "work"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx import: cannot read nosuch.v: No such file or directory\n");
    write("a.v", "module a (input x); endmodule\n");
    r = runTool({"import", "a.v", "--lib", "work", "--cells", "nosuch.v"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(exists(nyxtest::testDirectory() + "/work"));
    EXPECT_EQ(runTool({"import", "a.v"}).status, 2);
    EXPECT_EQ(runTool({"import", "--lib", "work"}).status, 2);
    EXPECT_EQ(runTool({"import", "a.v", "--lib"}).status, 2);
    EXPECT_EQ(runTool({"import", "a.v", "--lib", "work", "--frob"}).status, 2);
}

// The scan that finds the top: comments, strings, attributes, escaped names, keywords and
// specify blocks never count as instances; a file read in pieces keeps its comments whole.
TEST(ImportTool, ScanFindsInstancesOnly) {
    std::string text = "module m (a); input a; endmodule\n"
                       "module \\top+1 (a);\n  input a; /* m x (a);\n m y (a); */ // m z (a);\n"
                       "  (* dont_touch = \"m\" *) m u1 (.a(a));\n  specify (a => a) = 1; endspecify\n"
                       "  wire w; assign w = a;\n"
                       // A ";" inside an escaped name, a comment or a string does not end a statement.
                       "  m u2 (.a(\\w;k2 ), .b(a /* ; k3 x (a); */), .c(\"; k4 y\") // ; k5 z\n);\nendmodule\n";
    std::string padding(1 << 21, ' ');  // pushes a block comment across the scan's pieces
    text += "/*" + padding + "\nmodule fake (); endmodule */\nmodule n (); m q (); endmodule\n";
    const std::string path = write("scan.v", text);
    nyxtool::VerilogModules found;
    nyxtool::FileFacts facts;
    std::string error;
    ASSERT_TRUE(nyxtool::scanFile(path, found, facts, error)) << error;
    EXPECT_EQ(found.order, (std::vector<std::string>{"m", "top+1", "n"}));
    EXPECT_EQ(found.uses["top+1"], std::set<std::string>{"m"});
    EXPECT_EQ(found.roots(), (std::vector<std::string>{"top+1", "n"}));
    EXPECT_EQ(facts.lines, 13);
    EXPECT_TRUE(facts.endsWithNewline);
}

TEST(ImportTool, TheInstalledLayoutFindsNyxvcBesideTheTool) {
    environment();
    write("adder.v", kAdder);
    write("cells.v", kCells);
    // The built program, started with a PATH without nyxvc: it finds it through its own place.
    const std::string cmd = "cd " + nyxtest::testDirectory() + " && PATH=/usr/bin:/bin " NYX_TOOL_PATH
                            " import adder.v --lib work --cells cells.v --save >out.txt 2>err.txt";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream rules(nyxtest::testDirectory() + "/work/nyxCompilers.rules");
    std::stringstream text;
    text << rules.rdbuf();
    EXPECT_NE(text.str().find("\nv\t/"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("/nyxvc\n"), std::string::npos) << text.str();
}
