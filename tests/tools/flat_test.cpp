// `nyx flat` over a stored design configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;

// Library "fwork": "leaf" (port a), "mid" (port m on net n, instance l0 of leaf with a on n, a
// global net vdd), "top" (net t, instance m0 of mid with m on t, a global net vdd, a net lone);
// configuration "cfg" of "top" rooted at top.
void makeStore() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("fwork", &e);
    auto view = [&](const char *name) { return cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, name, &e), "sch", &e); };
    cfiOID leaf = view("leaf");
    cfidrNetlistViewCreatePortScalar(leaf, "a", -1, cfidrPortDirectionT{1}, &e);
    cfiOID mid = view("mid");
    cfiOID n = cfidrNetlistViewCreateNetScalar(mid, "n", &e);
    cfidrNetAttachPort(n, cfidrNetlistViewCreatePortScalar(mid, "m", -1, cfidrPortDirectionT{1}, &e), cfidrPositionAttachMode, &e);
    cfiOID l0 = cfidrNetlistViewCreateInst(mid, leaf, "l0", &e);
    cfidrNetAttachPortInst(n, cfidrInstFindPortInstByDescriberName(l0, "a", &e), cfidrPositionAttachMode, &e);
    cfidrNetScalarSetIsGlobal(cfidrNetlistViewCreateNetScalar(mid, "vdd", &e), cfiTrue, &e);
    cfiOID top = view("top");
    cfiOID t = cfidrNetlistViewCreateNetScalar(top, "t", &e);
    cfiOID m0 = cfidrNetlistViewCreateInst(top, mid, "m0", &e);
    cfidrNetAttachPortInst(t, cfidrInstFindPortInstByDescriberName(m0, "m", &e), cfidrPositionAttachMode, &e);
    cfidrNetScalarSetIsGlobal(cfidrNetlistViewCreateNetScalar(top, "vdd", &e), cfiTrue, &e);
    cfidrNetlistViewCreateNetScalar(top, "lone", &e);
    cfiOID cfg = nyxdrCellCreateDesignConfig(cfidrViewGetOwner(top, &e), "cfg", top, 0, &e);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(cfg, "k", &e), 3, &e);
    cfidrPropSetExpressionValue(cfidrObjectCreateProp(l0, "w", &e), "k * 2 + 0.5", &e);
    cfidrLibSave(lib, &e);
    nyxdrDesignConfigSave(cfg, &e);
    ASSERT_EQ(e, 0);
    cfidrPIQuit(&e);
}

} // namespace

TEST(FlatTool, PrintsGlobalsFirstThenEachFlatNetWithItsMembersAndPins) {
    makeStore();
    // Ids: top's nets t 4, vdd 5, lone 6 and instance m0 4; m0's base 7: n 7, vdd 8, l0 7. The
    // two vdd nets are one global flat net; t joins m0/n through the port m.
    tooltest::ToolRun r = runTool({"flat", "fwork", "top", "cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "global vdd\n  net 5 vdd\n  net 8 vdd\nflat t\n  net 4 t\n  net 7 m0/n\nflat lone\n  net 6 lone\n");
    r = runTool({"flat", "fwork", "top", "cfg", "--pins"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "global vdd\n  net 5 vdd\n  net 8 vdd\nflat t\n  net 4 t\n  net 7 m0/n\n  pin 4 m0/m\n"
                     "  pin 7 m0/l0/a\nflat lone\n  net 6 lone\n");
    EXPECT_EQ(runTool({"flat", "fwork", "top"}).status, 2);
    r = runTool({"flat", "fwork", "top", "nosuch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("nyx flat: nosuch: ", 0), 0u) << r.err;
}

TEST(PropTool, PrintsADerivedPropertyEvaluatedAtItsOccurrence) {
    makeStore();
    // The expression on m0/l0 finds k on the configuration, at the top.
    tooltest::ToolRun r = runTool({"prop", "fwork", "top", "cfg", "m0/l0", "w"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "w float 6.5\n");
    r = runTool({"prop", "fwork", "top", "cfg", ".", "k"});
    EXPECT_EQ(r.out, "k integer 3\n");
    r = runTool({"prop", "fwork", "top", "cfg", "m0/l0", "nosuch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("nyx prop: nosuch: ", 0), 0u) << r.err;
    EXPECT_EQ(runTool({"prop", "fwork", "top", "cfg", "m0/zz", "w"}).status, 1);
    EXPECT_EQ(runTool({"prop", "fwork", "top", "cfg", "m0"}).status, 2);
}
