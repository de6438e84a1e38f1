// A session with a top view and describer views in another cell, for the instance tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "dm/inst.h"
#include "nyxdr.h"
#include "pi/pi.h"

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
        nyx::sessionFlags = 0;
        cfidrPIQuit(&e);
    }

    // A describer view of the leaf cell with `scalars` port scalars p0, p1, ...
    cfiOID describer(const char *name, int32_t scalars) {
        cfidrErrorT err = -1;
        cfiOID v = cfidrCellCreateNetlistView(leafCell, name, &err);
        EXPECT_EQ(err, 0) << name;
        for (int32_t i = 0; i < scalars; ++i) addPort(v, ("p" + std::to_string(i)).c_str());
        return v;
    }
    void addPort(cfiOID v, const char *name) {
        cfidrErrorT err = -1;
        cfidrNetlistViewCreatePortScalar(v, name, -1, 1, &err);
        EXPECT_EQ(err, 0) << name;
    }
    cfiOID inst(const char *name, cfiOID describer, cfiOID in = {}) {
        cfidrErrorT err = -1;
        cfiOID i = cfidrNetlistViewCreateInst(in.object != 0 ? in : top, describer, name, &err);
        EXPECT_EQ(err, 0) << name;
        return i;
    }
    // Names of the view's instances in iteration order, blank separated.
    std::string insts(cfiOID v) {
        cfidrErrorT err = -1;
        cfidrIterT it = cfidrNetlistViewGetInsts(v, &err);
        EXPECT_EQ(err, 0);
        std::string out;
        for (cfiOID i = cfidrIterNextInst(it, &err); i.object != 0; i = cfidrIterNextInst(it, &err)) {
            out += std::string(out.empty() ? "" : " ") + cfidrNamedObjectGetName(i, &err);
        }
        cfidrIterQuit(it, &err);
        return out;
    }
    static nyxInst *object(cfiOID i) { return nyxpi::object<nyxInst>(i); }
    static nyxNetlistView *viewObj(cfiOID v) { return nyxpi::object<nyxNetlistView>(v); }
    int32_t records() { return viewObj(top)->describers().nitems(); }

    cfidrErrorT e = 0;
    cfiOID lib{}, topCell{}, leafCell{}, top{};
};

} // namespace insttest
