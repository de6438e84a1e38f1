// A session with a top view and describer views in another cell, for the instance tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "dm/dm_checks.h"
#include "dm/netlist/netlist.h"
#include "nyxdr.h"
#include "pi/pi.h"
#include "common/modes.h"

namespace insttest {

struct Session : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        lib = cfidrPICreateLib("ilib", &e);
        ASSERT_EQ(e, 0);
        topCell = cfidrLibCreateCell(lib, "top", &e);
        leafCell = cfidrLibCreateCell(lib, "leaf", &e);
        top = cfidrCellCreateNetlistView(topCell, "netlist", &e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override {
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }

    // A describer view of the leaf cell with `scalars` port scalars p0, p1, ...
    cfiOID describer(const char *name, int32_t scalars) {
        cfiOID v = dmtest::ok(cfidrCellCreateNetlistView, leafCell, name);
        for (int32_t i = 0; i < scalars; ++i) addPort(v, ("p" + std::to_string(i)).c_str());
        return v;
    }
    void addPort(cfiOID v, const char *name) { dmtest::ok(cfidrNetlistViewCreatePortScalar, v, name, -1, 1); }
    cfiOID inst(const char *name, cfiOID describer, cfiOID in = {}) {
        return dmtest::ok(cfidrNetlistViewCreateInst, in.object != 0 ? in : top, describer, name);
    }
    // Names of the view's instances in iteration order, blank separated.
    std::string insts(cfiOID v) {
        return dmtest::iterNames(dmtest::ok(cfidrNetlistViewGetInsts, v), cfidrIterNextInst);
    }
    static nyxInst *object(cfiOID i) { return nyxpi::object<nyxInst>(i); }
    static nyxNetlistView *viewObj(cfiOID v) { return nyxpi::object<nyxNetlistView>(v); }
    int32_t records() { return viewObj(top)->describers().nitems(); }

    cfidrErrorT e = 0;
    cfiOID lib{}, topCell{}, leafCell{}, top{};
};

} // namespace insttest
