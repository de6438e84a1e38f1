// `nyx walk` over a stored design configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;

// Library "work": "leaf" (port a), "mid" (net m; instances l0, l1 of leaf, l0's a on m), "top"
// (net t; instances m0 of mid and x of leaf); configuration "cfg" of "top" rooted at top.
void makeStore() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("work", &e);
    auto view = [&](const char *name) { return cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, name, &e), "sch", &e); };
    cfiOID leaf = view("leaf");
    cfidrNetlistViewCreatePortScalar(leaf, "a", -1, cfidrPortDirectionT{1}, &e);
    cfiOID mid = view("mid");
    cfiOID m = cfidrNetlistViewCreateNetScalar(mid, "m", &e);
    cfiOID l0 = cfidrNetlistViewCreateInst(mid, leaf, "l0", &e);
    cfidrNetlistViewCreateInst(mid, leaf, "l1", &e);
    cfidrNetAttachPortInst(m, cfidrInstFindPortInstByDescriberName(l0, "a", &e), cfidrPositionAttachMode, &e);
    cfiOID top = view("top");
    cfidrNetlistViewCreateNetScalar(top, "t", &e);
    cfidrNetlistViewCreateInst(top, mid, "m0", &e);
    cfidrNetlistViewCreateInst(top, leaf, "x/y", &e);
    cfiOID cfg = nyxdrCellCreateDesignConfig(cfidrViewGetOwner(top, &e), "cfg", top, 0, &e);
    cfidrLibSave(lib, &e);
    nyxdrDesignConfigSave(cfg, &e);
    ASSERT_EQ(e, 0);
    cfidrPIQuit(&e);
}

} // namespace

TEST(WalkTool, PrintsTheHierarchyWithDepthAndNets) {
    makeStore();
    tooltest::ToolRun r = runTool({"walk", "work", "top", "cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Ids: L(top) = 62 (x holds the first slot after the block of instances without ports), so
    // m0's view occurrence has base 66; "/" inside a name takes a backslash.
    EXPECT_EQ(r.out, "top 3 1\ninst 4 2 m0\ninst 66 4 m0/l0\ninst 67 4 m0/l1\ninst 65 4 x\\/y\n");
    r = runTool({"walk", "work", "top", "cfg", "--nets", "--depth", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "top 3 1\nnet 4 t\ninst 4 2 m0\nnet 66 m0/m\ninst 65 4 x\\/y\n");
    EXPECT_EQ(runTool({"walk", "work", "top", "cfg", "--depth", "-1"}).status, 2);
    EXPECT_EQ(runTool({"walk", "work", "top"}).status, 2);
    r = runTool({"walk", "work", "top", "nosuch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("nyx walk: nosuch: ", 0), 0u) << r.err;
}
