// `nyx select` and `nyx selectors` over a stored selector set and library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cfidr.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;

// Library "work" with cell "top" holding netlist views "a" and "b", and a set choosing "b".
void makeStore() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("work", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "top", &e);
    cfidrCellCreateNetlistView(cell, "a", &e);
    cfidrCellCreateNetlistView(cell, "b", &e);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    cfidrPIQuit(&e);
    std::ofstream("pick.nyxSelectorSet") << "#!header 1.0\n#!prop \"why\" S \"two words\"\n"
                                            "#!libsel \"work\"\n#!viewnamesel \"\" \"\" \"none\"\n"
                                            "#!viewnamesel \"\" \"TOP\" \"b\"\n#!viewnameprop \"n\" I 2\n"
                                            "#!viewtypesel \"work\" \"\" \"x\"\n";
}

} // namespace

TEST(SelectTool, PrintsTheChosenViewAndTheSet) {
    makeStore();
    tooltest::ToolRun r = runTool({"select", "pick", "work", "top"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "netlist\twork top b\n");
    r = runTool({"selectors", "pick"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "set pick\n"
                     "  prop why string = \"two words\"\n"
                     "  library \"work\"\n"
                     "  viewname lib \"\" cell \"\" view \"none\"\n"
                     "  viewname lib \"\" cell \"TOP\" view \"b\"\n"
                     "    prop n integer = 2\n"
                     "  viewtype lib \"work\" cell \"\" type \"x\"\n");
}

TEST(SelectTool, ReportsTheErrorText) {
    makeStore();
    std::ofstream("none.nyxSelectorSet") << "#!viewnamesel \"\" \"\" \"c\"\n";
    tooltest::ToolRun r = runTool({"select", "none", "work", "top"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx select: none: No matches were found for views meeting the view selection "
                     "criteria specified by the SelectorSet. (error 49)\n");
    r = runTool({"select", "absent", "work", "top"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx select: absent: The desired object could not be found. (error 27)\n");
    EXPECT_EQ(runTool({"select", "pick"}).status, 2);
    EXPECT_EQ(runTool({"selectors"}).status, 2);
}
