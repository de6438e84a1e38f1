// The Verilog compiler nyxvc through the library: a view opened by name is compiled from the
// cell's Verilog file by the built program, and the objects it made are read back through the
// C interface (ports and their directions, buses and their members, instances and their
// describers, nets joined by assign as aliases, supply nets as globals, constants).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cfidr.h"
#include "common/test_env.h"
#include "nyxdr.h"

namespace {

const char *const kDesign = R"(module inv (input A, output Y);
  INVX1 g (.A(A), .Y(Y));
endmodule

module top (d, q, en, y);
  input [3:0] d;
  output [1:0] q;
  input en;
  output y;
  wire n1, n2;
  supply1 vdd;
  inv i0 (.A(en), .Y(n1));
  inv i1 (n1, n2);
  NAND2X1 g (.A(d[3]), .B(1'b0), .Y(q[0]));
  BUFX2 b [1:0] (.A(d[1:0]), .Y({y, q[1]}));
  assign n2 = y;
endmodule
)";

class NyxvcThroughTheLibrary : public testing::Test {
protected:
    void SetUp() override {
        const std::string dir = nyxtest::testDirectory();
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        std::ofstream(dir + "/rules") << "v " << NYXVC_PATH << "\n";
        setenv("ZIL_NYX_COMPILER_RULES", (dir + "/rules").c_str(), 1);
        std::filesystem::create_directories(dir + "/vlib/top");
        std::ofstream(dir + "/vlib/top/netlist.v") << kDesign;
        std::ofstream(dir + "/cells.v") << "module INVX1 (input A, output Y); endmodule\n"
                                           "module NAND2X1 (input A, B, output Y); endmodule\n"
                                           "module BUFX2 (input A, output Y); endmodule\n";
        cfidrPIInit(&e);
        // The leaf cells' stub file reaches the compiler as a session parameter.
        cfidrPropSetStringValue(nyxdrPICreateParameter("nyxvc_lib", &e), (dir + "/cells.v").c_str(), &e);
    }
    void TearDown() override { cfidrPIQuit(&e); }

    std::string name(cfiOID o) { return cfidrNamedObjectGetName(o, &e); }
    cfiOID port(cfiOID v, const char *n) { return cfidrNetlistViewFindPortByName(v, n, &e); }
    cfiOID net(cfiOID v, const char *n) { return cfidrNetlistViewFindNetByName(v, n, &e); }
    // The name of the net on an instance's pin, read through the instance's own record (a leaf
    // cell has no describer view to look the pin up in).
    std::string pinNet(cfiOID inst, const char *pin) {
        cfidrIterT it = cfidrInstGetPortInsts(inst, cfidrScalarIterMode, &e);
        std::string found = "(no pin)";
        for (cfiOID p = cfidrIterNextPortInst(it, &e); p.object != 0; p = cfidrIterNextPortInst(it, &e)) {
            if (std::string(nyxdrPortInstGetRecordName(p, &e)) == pin) found = name(cfidrPortInstScalarGetNetScalar(p, &e));
        }
        cfidrIterQuit(it, &e);
        return found;
    }
    long instCount(cfiOID view) {
        long n = 0;
        cfidrIterT it = cfidrNetlistViewGetInsts(view, &e);
        for (cfiOID i = cfidrIterNextInst(it, &e); i.object != 0; i = cfidrIterNextInst(it, &e)) ++n;
        cfidrIterQuit(it, &e);
        return n;
    }

    cfidrErrorT e = 0;
};

} // namespace

TEST_F(NyxvcThroughTheLibrary, CompiledViewHoldsPortsBusesInstancesAliasesAndGlobals) {
    cfiOID top = cfidrPIOpenView("vlib", "top", "netlist", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(top, &e), cfidrNetlistViewType);

    // Ports in header order with their directions; vectors are buses named by their range.
    cfiOID d = port(top, "d[3:0]");
    ASSERT_EQ(cfidrObjectGetObjectType(d, &e), cfidrPortBusType);
    EXPECT_EQ(cfidrPortBusGetStart(d, &e), 3);
    EXPECT_EQ(cfidrPortBusGetStep(d, &e), -1);
    EXPECT_EQ(cfidrPortBundleGetSize(d, &e), 4);
    cfiOID d3 = cfidrPortBundleFindPortByName(d, "d[3]", &e);
    EXPECT_EQ(cfidrPortScalarGetDirection(d3, &e), cfidrInputDirection);
    EXPECT_EQ(name(cfidrPortScalarGetNetScalar(d3, &e)), "d[3]");
    EXPECT_EQ(cfidrPortScalarGetDirection(port(top, "y"), &e), cfidrOutputDirection);
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(top, &e), 1 + 4 + 1 + 2 + 1 + 1);
    cfiOID qBus = net(top, "q[1:0]");
    EXPECT_EQ(cfidrObjectGetObjectType(qBus, &e), cfidrNetBusType);
    EXPECT_EQ(cfidrNetBusGetStart(qBus, &e), 1);

    // Instances: modules of the file are describers in the library, leaf cells footprints.
    cfiOID i1 = cfidrNetlistViewFindInstByName(top, "i1", &e);
    ASSERT_EQ(e, 0);
    cfiOID inv = cfidrInstGetDescriber(i1, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(name(inv), "netlist");
    EXPECT_EQ(name(cfidrViewGetOwner(inv, &e)), "inv");
    EXPECT_EQ(instCount(inv), 1);
    EXPECT_EQ(instCount(top), 5);
    cfiOID g = cfidrNetlistViewFindInstByName(top, "g", &e);
    EXPECT_EQ(std::string(nyxdrInstGetDescriberCellName(g, &e)), "NAND2X1");
    // Positional connections follow the describer's port order.
    cfiOID y = cfidrInstFindPortInstByDescriberName(i1, "Y", &e);
    cfiOID n2 = cfidrPortInstScalarGetNetScalar(y, &e);
    // assign n2 = y: one net, named after the port, the other name its alias.
    EXPECT_EQ(name(n2), "y");
    cfidrIterT it = nyxdrNetGetNetAliases(n2, &e);
    cfiOID alias = nyxdrIterNextNetAlias(it, &e);
    cfidrIterQuit(it, &e);
    EXPECT_EQ(name(alias), "n2");
    // The constant is one synthetic net; the supply net is global.
    EXPECT_EQ(pinNet(g, "B"), "1'b0");
    EXPECT_EQ(pinNet(g, "A"), "d[3]");
    // The stub file gave the leaf cells' directions.
    cfidrIterT pins = cfidrInstGetPortInsts(g, cfidrScalarIterMode, &e);
    cfiOID first = cfidrIterNextPortInst(pins, &e);
    cfidrIterQuit(pins, &e);
    EXPECT_EQ(cfidrPortInstScalarGetDescriberDirection(first, &e), cfidrInputDirection);
    EXPECT_EQ(cfidrNetScalarGetIsGlobal(net(top, "vdd"), &e), cfiTrue);
    EXPECT_EQ(cfidrNetScalarGetIsGlobal(net(top, "en"), &e), cfiFalse);
    // An instance array: one instance per element, the wide connection sliced.
    cfiOID b0 = cfidrNetlistViewFindInstByName(top, "b[0]", &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(pinNet(b0, "A"), "d[0]");
    EXPECT_EQ(pinNet(b0, "Y"), "q[1]");
    EXPECT_EQ(pinNet(cfidrNetlistViewFindInstByName(top, "b[1]", &e), "Y"), "y");
    EXPECT_EQ(e, 0);
}

TEST_F(NyxvcThroughTheLibrary, RefusalLeavesNoViewAndSourceLessCellsReportNotFound) {
    std::ofstream(nyxtest::testDirectory() + "/vlib/top/netlist.v") << "module top (a); input a; always @(a) ; endmodule\n";
    cfiOID top = cfidrPIOpenView("vlib", "top", "netlist", cfidrReadMode, &e);
    EXPECT_EQ(top.object, 0u);
    EXPECT_EQ(e, 4);
    e = 0;
    std::filesystem::create_directories(nyxtest::testDirectory() + "/vlib/empty");
    cfidrPIOpenView("vlib", "empty", "netlist", cfidrReadMode, &e);
    EXPECT_EQ(e, cfidrErrNotFound);
}
