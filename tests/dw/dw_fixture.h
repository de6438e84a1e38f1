// A session that builds designs through the interface, and the tree of a root view.
//
// The small design (small()) has four views, each in a cell of its own:
//   leaf  "and2": ports a b y, nothing else (a leaf, never descended into)
//   sub   "sub":  port p on net s; instance g of and2, its port instance a on s
//   mid   "mid":  nets m0 m1; instances u0 u1 u2 of sub, u0's port instance p on m0
//   top   "top":  port tp on net t; instances a (mid), b (and2), c (mid)
// Instances are placed by their port count (inst.h): in top, a and c (no ports) hold positions 0
// and 1, b (three ports) position 61, the first slot after one block of 61. So L(top) = 62,
// L(mid) = 3, L(sub) = 1, S(sub) = 1, S(mid) = 6, S(top) = 74, ids 4 .. 77:
//   net t 4; a 4, c 5, b 65; a's base 66: m0 66, m1 67, u0 66, u1 67, u2 68, whose bases are
//   69, 70, 71 (s and g of each); c's base 72: u0 72, u1 73, u2 74, bases 75, 76, 77.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cfidr.h"
#include "common/modes.h"
#include "dm/dm_checks.h"
#include "dw/dwInt.h"
#include "nyxdr.h"
#include "pi/pi.h"

namespace dwtest {

struct Session : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        lib = cfidrPICreateLib("wlib", &e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override {
        nyxdw::dropTree(tree);
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }

    // A new view named `name` in a new cell of the same name.
    cfiOID view(const std::string &name) {
        cfiOID cell = dmtest::ok(cfidrLibCreateCell, lib, name.c_str());
        return dmtest::ok(cfidrCellCreateNetlistView, cell, "netlist");
    }
    cfiOID inst(cfiOID in, cfiOID describer, const std::string &name) {
        return dmtest::ok(cfidrNetlistViewCreateInst, in, describer, name.c_str());
    }
    cfiOID net(cfiOID in, const std::string &name) {
        return dmtest::ok(cfidrNetlistViewCreateNetScalar, in, name.c_str());
    }
    cfiOID port(cfiOID in, const std::string &name, int32_t position = -1) {
        return dmtest::ok(cfidrNetlistViewCreatePortScalar, in, name.c_str(), position, cfidrPortDirectionT{1});
    }
    void attachPort(cfiOID n, cfiOID p) { dmtest::ok(cfidrNetAttachPort, n, p, cfidrPositionAttachMode); }
    void attachPin(cfiOID n, cfiOID i, const char *pin) {
        cfiOID pi = dmtest::ok(cfidrInstFindPortInstByDescriberName, i, pin);
        dmtest::ok(cfidrNetAttachPortInst, n, pi, cfidrPositionAttachMode);
    }

    static nyxNetlistView *obj(cfiOID v) { return nyxpi::object<nyxNetlistView>(v); }

    // Builds the tree of `root` (dropping the one before); the error of the build in `e`.
    nyxOccTree *build(cfiOID root) {
        nyxdw::dropTree(tree);
        e = 0;
        tree = nyxdw::buildTree(obj(root), 1, &e);
        return tree;
    }

    // and2: a leaf of ports a, b, y. sub: port p on net s, and2 instance g with pin a on s.
    void leafAndSub() {
        and2 = view("and2");
        for (const char *p : {"a", "b", "y"}) port(and2, p);
        sub = view("sub");
        cfiOID s = net(sub, "s");
        attachPort(s, port(sub, "p"));
        attachPin(s, inst(sub, and2, "g"), "a");
    }

    void small() {
        leafAndSub();
        mid = view("mid");
        cfiOID m0 = net(mid, "m0");
        net(mid, "m1");
        attachPin(m0, inst(mid, sub, "u0"), "p");
        inst(mid, sub, "u1");
        inst(mid, sub, "u2");
        top = view("top");
        cfiOID t = net(top, "t");
        attachPort(t, port(top, "tp"));
        inst(top, mid, "a");
        inst(top, and2, "b");
        inst(top, mid, "c");
    }

    nyxOccRef occ(int32_t id, int32_t kind, int32_t port = 0) const { return nyxdwInt::ref(tree, id, kind, port); }
    std::string pathname(const nyxOccRef &o) { return nyxdw::pathnameOf(tree, o, &e); }
    // Every occurrence a walk yields, as "id" or "id:port" separated by blanks; the walk is freed.
    std::string ids(nyxOccWalk *w) {
        std::string out;
        nyxOccRef r;
        while (w != nullptr && w->next(tree, &r, &e)) {
            out += (out.empty() ? "" : " ") + std::to_string(r.id);
            if (r.kind == nyxOccPort) out += ":" + std::to_string(r.port);
        }
        delete w;
        return out;
    }

    cfidrErrorT e = 0;
    cfiOID lib{}, and2{}, sub{}, mid{}, top{};
    nyxOccTree *tree = nullptr;
};

} // namespace dwtest
