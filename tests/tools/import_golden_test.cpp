// `nyx import` through the whole path: Verilog files compiled by the built nyxvc into views,
// saved, read back by `nyx dump` and compared with golden text. The design covers two levels of
// modules over leaf cells of a stub file: ANSI and non-ANSI headers with every direction, buses
// and their members, escaped names, implicit nets, named and positional connections, bit and
// part selects, concatenations, the constants and x and z bits, an assign joining nets, supply
// nets, parameters and attributes, and an instance array.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cfidr.h"
#include "cmd_dump.h"
#include "import_testutil.h"
#include "nyxdr.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;

const char *const kDesign = R"(// a slice of gates, used twice by the top
module slice #(parameter W = 1) (a, b, en, y, pad);
  input [1:0] a;
  input b, en;
  output y;
  inout pad;
  wire n;
  NAND2X1 g (.A(a[1]), .B(b), .Y(n));
  TBUFX1 t (n, en, pad);
  assign y = n;
endmodule

module top (input [3:0] d, input \en* , output [1:0] q, inout io);
  wire [1:0] mid;
  supply1 VDD;
  supply0 VSS;
  (* keep *) slice #(.W(2)) s0 (.a(d[1:0]), .b(1'b1), .en(\en* ), .y(mid[0]), .pad(io));
  slice s1 ({d[3], 1'b0}, VDD, \en* , mid[1], );
  INVX1 inv [1:0] (.A(mid), .Y(q));
  MUX2X1 m (.D(d[3:2]), .S(1'bx), .Y(sel));
  NAND2X1 g (sel, 1'bz, );
  assign w = VSS;
endmodule
)";

const char *const kCells = R"(module INVX1 (A, Y); input A; output Y; endmodule
module NAND2X1 (input A, input B, output Y); endmodule
module MUX2X1 (input [1:0] D, input S, output Y); endmodule
module TBUFX1 (input A, input EN, inout Y); endmodule
)";

// What the design means, as `nyx dump` prints it.
const char *const kTop = R"(view work top netlist type CFIDR_NETLISTVIEW
port bus d[3:0] [3:0] step -1
  port scalar d[3] dir input net d[3]
  port scalar d[2] dir input net d[2]
  port scalar d[1] dir input net d[1]
  port scalar d[0] dir input net d[0]
port scalar en* dir input net en*
port bus q[1:0] [1:0] step -1
  port scalar q[1] dir output net q[1]
  port scalar q[0] dir output net q[0]
port scalar io dir inout net io
net scalar en*
  port en*
  portinst s0 en
  portinst s1 en
net scalar io
  port io
  portinst s0 pad
net scalar VDD global
  portinst s1 b
net scalar VSS global
  alias w
net scalar sel
  portinst m Y
  portinst g A
net scalar 1'b0
  portinst s1 a[1:0]/a[0]
net scalar 1'b1
  portinst s0 b
net scalar 1'bx
  portinst m S
net scalar d[3]
  port d[3]
  portinst m D[1:0]/D[1]
  portinst s1 a[1:0]/a[1]
net scalar d[2]
  port d[2]
  portinst m D[1:0]/D[0]
net scalar d[1]
  port d[1]
  portinst s0 a[1:0]/a[1]
net scalar d[0]
  port d[0]
  portinst s0 a[1:0]/a[0]
net scalar q[1]
  port q[1]
  portinst inv[1] Y
net scalar q[0]
  port q[0]
  portinst inv[0] Y
net scalar mid[1]
  portinst inv[1] A
  portinst s1 y
net scalar mid[0]
  portinst inv[0] A
  portinst s0 y
net bus d[3:0] [3:0] step -1
  member d[3]
  member d[2]
  member d[1]
  member d[0]
net bus q[1:0] [1:0] step -1
  member q[1]
  member q[0]
net bus mid[1:0] [1:0] step -1
  member mid[1]
  member mid[0]
inst inv[1] of work INVX1 netlist version 0
  portinst scalar A net mid[1]
  portinst scalar Y net q[1]
inst inv[0] of work INVX1 netlist version 0
  portinst scalar A net mid[0]
  portinst scalar Y net q[0]
inst m of work MUX2X1 netlist version 0
  portinst bus D[1:0] [1:0] step -1
    portinst scalar D[1] net d[3]
    portinst scalar D[0] net d[2]
  portinst scalar S net 1'bx
  portinst scalar Y net sel
inst g of work NAND2X1 netlist version 0
  portinst scalar A net sel
  portinst scalar B
  portinst scalar Y
inst s0 of work slice netlist version 0
  prop keep integer = 1
  prop W integer = 2
  portinst bus a[1:0] [1:0] step -1
    portinst scalar a[1] net d[1]
    portinst scalar a[0] net d[0]
  portinst scalar b net 1'b1
  portinst scalar en net en*
  portinst scalar y net mid[0]
  portinst scalar pad net io
inst s1 of work slice netlist version 0
  portinst bus a[1:0] [1:0] step -1
    portinst scalar a[1] net d[3]
    portinst scalar a[0] net 1'b0
  portinst scalar b net VDD
  portinst scalar en net en*
  portinst scalar y net mid[1]
  portinst scalar pad
)";

const char *const kSlice = R"(view work slice netlist type CFIDR_NETLISTVIEW
port bus a[1:0] [1:0] step -1
  port scalar a[1] dir input net a[1]
  port scalar a[0] dir input net a[0]
port scalar b dir input net b
port scalar en dir input net en
port scalar y dir output net y
port scalar pad dir inout net pad
net scalar b
  port b
  portinst g B
net scalar en
  port en
  portinst t EN
net scalar y
  alias n
  port y
  portinst g Y
  portinst t A
net scalar pad
  port pad
  portinst t Y
net scalar a[1]
  port a[1]
  portinst g A
net scalar a[0]
  port a[0]
net bus a[1:0] [1:0] step -1
  member a[1]
  member a[0]
inst g of work NAND2X1 netlist version 0
  portinst scalar A net a[1]
  portinst scalar B net b
  portinst scalar Y net y
inst t of work TBUFX1 netlist version 0
  portinst scalar A net y
  portinst scalar EN net en
  portinst scalar Y net pad
)";

// A leaf cell's view holds the ports of its stub, directions included.
const char *const kTbuf = R"(view work TBUFX1 netlist type CFIDR_NETLISTVIEW
port scalar A dir input
port scalar EN dir input
port scalar Y dir inout
)";

// A dump's objects without their orders: each line followed by its deeper lines is one block,
// and blocks are sorted at every depth; the compiled-from line is dropped (saved files do not
// keep it).
std::string unordered(std::istringstream &in, std::string &line, size_t depth) {
    std::vector<std::string> blocks;
    while (!line.empty() && line.find_first_not_of(' ') == depth * 2) {
        std::string block = line + "\n";
        if (!std::getline(in, line)) line.clear();
        block += unordered(in, line, depth + 1);
        if (block.find("compiled from ") != depth * 2) blocks.push_back(block);
    }
    std::sort(blocks.begin(), blocks.end());
    std::string text;
    for (const std::string &b : blocks) text += b;
    return text;
}

std::string unordered(const std::string &dump) {
    std::istringstream in(dump);
    std::string line;
    std::getline(in, line);
    return unordered(in, line, 0);
}

std::string dump(const char *lib, const char *cell) {
    const tooltest::ToolRun r = runTool({"dump", lib, cell, "netlist"});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

} // namespace

TEST(ImportGolden, TwoLevelsOverAStubFileDumpAsTheVerilogMeans) {
    importtest::environment();
    importtest::write("design.v", kDesign);
    importtest::write("cells.v", kCells);
    const tooltest::ToolRun r = runTool({"import", "design.v", "--lib", "work", "--cells", "cells.v", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("modules\t2\ninstances\t8\nnets\t26\nleaf cells\t8\nleaf cell views made\t4\n"),
              std::string::npos)
        << r.out;
    // The saved views, read without the source.
    ASSERT_EQ(std::remove((nyxtest::testDirectory() + "/work/top/netlist.v").c_str()), 0);
    EXPECT_EQ(dump("work", "top"), kTop);
    EXPECT_EQ(dump("work", "slice"), kSlice);
    EXPECT_EQ(dump("work", "TBUFX1"), kTbuf);
}

// Without --save, a later session compiles the view when it opens it, given the stub file as
// the session parameter: the view built from the compiler's records holds the objects of the
// saved one (in other orders: a saved file holds bus members inside their buses).
TEST(ImportGolden, AViewCompiledOnOpenDumpsAsTheSavedOne) {
    importtest::environment();
    importtest::write("design.v", kDesign);
    const std::string cells = importtest::write("cells.v", kCells);
    ASSERT_EQ(runTool({"import", "design.v", "--lib", "work", "--cells", "cells.v"}).status, 0);
    setenv("ZIL_NYX_COMPILER_RULES", (nyxtest::testDirectory() + "/work/nyxCompilers.rules").c_str(), 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfidrPropSetStringValue(nyxdrPICreateParameter("nyxvc_lib", &e), cells.c_str(), &e);
    const std::pair<const char *, const char *> views[] = {{"top", kTop}, {"slice", kSlice}};
    for (const auto &[cell, golden] : views) {
        const cfiOID view = cfidrPIOpenView("work", cell, "netlist", cfidrReadMode, &e);
        EXPECT_EQ(e, 0) << cell;
        if (view.object == 0) continue;
        char *text = nullptr;
        size_t size = 0;
        FILE *out = open_memstream(&text, &size);
        EXPECT_EQ(nyxtool::dumpView(out, view), 0);
        std::fclose(out);
        const std::string dumped(text, size);
        std::free(text);
        EXPECT_EQ(unordered(dumped), unordered(golden)) << cell;
        EXPECT_NE(dumped.find("\n  compiled from " + nyxtest::testDirectory() + "/work/top/netlist.v\n"),
                  std::string::npos);
    }
    cfidrPIQuit(&e);
}

// Without a stub file a leaf cell's view takes its ports from the named connections, without
// directions; an instance array's connection gives each port one member's share of it (it once
// gave the whole connection, making every member's ports as wide as the array).
TEST(ImportGolden, LeafCellOfAnInstanceArrayWithoutStubsTakesOneMembersPorts) {
    importtest::environment();
    importtest::write("arr.v", "module top (input [1:0] a, output [1:0] y);\n"
                               "  INVX1 inv [1:0] (.A(a), .Y(y));\nendmodule\n");
    const tooltest::ToolRun r = runTool({"import", "arr.v", "--lib", "work", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("arr.v:2: warning: cell INVX1 is not defined; its ports are taken from its named connections\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(dump("work", "INVX1"), "view work INVX1 netlist type CFIDR_NETLISTVIEW\n"
                                     "port scalar A dir undefined\nport scalar Y dir undefined\n");
    EXPECT_EQ(dump("work", "top"), R"(view work top netlist type CFIDR_NETLISTVIEW
port bus a[1:0] [1:0] step -1
  port scalar a[1] dir input net a[1]
  port scalar a[0] dir input net a[0]
port bus y[1:0] [1:0] step -1
  port scalar y[1] dir output net y[1]
  port scalar y[0] dir output net y[0]
net scalar a[1]
  port a[1]
  portinst inv[1] A
net scalar a[0]
  port a[0]
  portinst inv[0] A
net scalar y[1]
  port y[1]
  portinst inv[1] Y
net scalar y[0]
  port y[0]
  portinst inv[0] Y
net bus a[1:0] [1:0] step -1
  member a[1]
  member a[0]
net bus y[1:0] [1:0] step -1
  member y[1]
  member y[0]
inst inv[1] of work INVX1 netlist version 0
  portinst scalar A net a[1]
  portinst scalar Y net y[1]
inst inv[0] of work INVX1 netlist version 0
  portinst scalar A net a[0]
  portinst scalar Y net y[0]
)");
}
