// `nyx select` and `nyx selectors` over a stored selector set and library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cfidr.h"
#include "command.h"

namespace {

struct ToolOutput {
    int status;
    std::string out;
    std::string err;
};

ToolOutput run(std::vector<std::string> args) {
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (const nyxtool::Command &c : nyxtool::commands()) {
        if (args[0] != c.name) continue;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = c.run(static_cast<int>(args.size()), argv.data());
        std::fflush(stdout);
        std::string out = testing::internal::GetCapturedStdout();
        return {status, out, testing::internal::GetCapturedStderr()};
    }
    ADD_FAILURE() << "no command " << args[0];
    return {-1, "", ""};
}

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
    ToolOutput r = run({"select", "pick", "work", "top"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "netlist\twork top b\n");
    r = run({"selectors", "pick"});
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
    ToolOutput r = run({"select", "none", "work", "top"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx select: none: No matches were found for views meeting the view selection "
                     "criteria specified by the SelectorSet. (error 49)\n");
    r = run({"select", "absent", "work", "top"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx select: absent: The desired object could not be found. (error 27)\n");
    EXPECT_EQ(run({"select", "pick"}).status, 2);
    EXPECT_EQ(run({"selectors"}).status, 2);
}
