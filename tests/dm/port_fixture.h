// A session with one netlist view for the port tests, and helpers that list ports by name.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "dm/dm_checks.h"
#include "nyxdr.h"
#include "utils/nyx.h"
#include "common/modes.h"

namespace porttest {

struct Session : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        lib = cfidrPICreateLib("plib", &e);
        ASSERT_EQ(e, 0);
        cell = cfidrLibCreateCell(lib, "pcell", &e);
        ASSERT_EQ(e, 0);
        view = newView("netlist");
    }
    void TearDown() override {
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }

    cfiOID newView(const char *name) { return dmtest::ok(cfidrCellCreateNetlistView, cell, name); }
    // Creates a port of kind 's' (scalar), 'b' (bus, start 0 step 1) or 'g' (bundle) in a view
    // or group; expects success.
    cfiOID port(cfiOID owner, char kind, const char *name, int32_t position = -1) {
        cfidrErrorT err = -1;
        bool inView = cfidrObjectGetObjectType(owner, &err) == cfidrNetlistViewType;
        cfiOID p{};
        switch (kind) {
        case 's':
            p = inView ? cfidrNetlistViewCreatePortScalar(owner, name, position,
                                                          cfidrInputDirection, &err)
                       : cfidrPortBundleCreatePortScalar(owner, name, position, cfidrInputDirection,
                                                         &err);
            break;
        case 'b':
            p = inView ? cfidrNetlistViewCreatePortBus(owner, name, position, 0, 1, &err)
                       : cfidrPortBundleCreatePortBus(owner, name, position, 0, 1, &err);
            break;
        default:
            p = inView ? cfidrNetlistViewCreatePortBundle(owner, name, position, &err)
                       : cfidrPortBundleCreatePortBundle(owner, name, position, &err);
        }
        EXPECT_EQ(err, 0) << name;
        return p;
    }
    // Names of the ports an iterator yields, blank separated; the iterator is freed.
    static std::string names(cfidrIterT it) { return dmtest::iterNames(it, cfidrIterNextPort); }
    std::string viewPorts(cfiOID v, int32_t mode) {
        return names(dmtest::ok(cfidrNetlistViewGetPorts, v, mode));
    }
    std::string groupPorts(cfiOID g, int32_t mode) {
        return names(dmtest::ok(cfidrPortBundleGetPorts, g, mode));
    }
    // The name of the port at each view position, blank separated.
    std::string fullOrder(cfiOID v) {
        cfidrErrorT err = -1;
        int32_t n = nyxdrNetlistViewGetPortCount(v, &err);
        EXPECT_EQ(err, 0);
        std::string out;
        for (int32_t i = 0; i < n; ++i) {
            cfiOID p = nyxdrNetlistViewFindPortByPosition(v, i, &err);
            EXPECT_EQ(err, 0);
            EXPECT_EQ(nyxdrPortGetPositionInView(p, &err), i);
            if (!out.empty()) out += ' ';
            out += cfidrNamedObjectGetName(p, &err);
        }
        return out;
    }

    cfidrErrorT e = 0;
    cfiOID lib{}, cell{}, view{};
};

} // namespace porttest
