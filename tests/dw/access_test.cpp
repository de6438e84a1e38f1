// Accessors, port occurrences and paths of occurrences, and identifiers that name nothing.
#include <memory>

#include "dw/dw_fixture.h"

namespace {

using dwtest::Session;

TEST_F(Session, PortOccurrencesJoinInsideAndOutsideNets) {
    small();
    ASSERT_NE(build(top), nullptr);
    // Net s of a/u0 (id 69) carries pin a of g (instance occurrence 69), a leaf.
    EXPECT_EQ(ids(nyxdw::walkNetPorts(tree, occ(69, nyxOccNet), 2, &e)), "69:0");
    EXPECT_EQ(ids(nyxdw::walkNetPorts(tree, occ(69, nyxOccNet), 3, &e)), "");
    EXPECT_EQ(ids(nyxdw::walkNetPorts(tree, occ(69, nyxOccNet), 1, &e)), "");  // not a top net
    // Net m0 of a (id 66) carries port p of u0 (instance occurrence 66), descended into.
    EXPECT_EQ(ids(nyxdw::walkNetPorts(tree, occ(66, nyxOccNet), 3, &e)), "66:0");
    EXPECT_EQ(ids(nyxdw::walkNetPorts(tree, occ(66, nyxOccNet), 2, &e)), "");
    EXPECT_EQ(ids(nyxdw::walkNetPorts(tree, occ(4, nyxOccNet), 1, &e)), "3:0");
    EXPECT_EQ(e, 0);

    const nyxOccRef p = occ(66, nyxOccPort, 0);
    EXPECT_EQ(nyxdw::insideNet(tree, p, &e).id, 69);
    EXPECT_EQ(nyxdw::outsideNet(tree, p, &e).id, 66);
    EXPECT_EQ(nyxdw::owner(tree, p, &e).id, 66);
    EXPECT_EQ(nyxdw::instOccOf(tree, p, &e).kind, nyxOccInst);
    EXPECT_STREQ(static_cast<nyxPort *>(nyxdw::portOf(tree, p, &e).obj)->name(), "p");
    nyxObjRef pin = nyxdw::portInstOf(tree, p, &e);
    ASSERT_EQ(pin.code, nyxCodePortInstScalar);
    EXPECT_STREQ(nyxNet::name(nyxPortInst::net(pin.obj)), "m0");

    const nyxOccRef tp = occ(3, nyxOccPort, 0);
    EXPECT_EQ(nyxdw::insideNet(tree, tp, &e).id, 4);
    EXPECT_TRUE(nyxdw::outsideNet(tree, tp, &e).isNull());
    EXPECT_EQ(nyxdw::owner(tree, tp, &e).kind, nyxOccTop);
    EXPECT_EQ(nyxdw::portInstOf(tree, tp, &e).obj, nullptr);
    const nyxOccRef y = occ(69, nyxOccPort, 2);  // pin y of a leaf, on no net
    EXPECT_TRUE(nyxdw::outsideNet(tree, y, &e).isNull());
    EXPECT_TRUE(nyxdw::insideNet(tree, y, &e).isNull());
    EXPECT_EQ(e, 0);

    EXPECT_EQ(nyxdw::owner(tree, occ(75, nyxOccNet), &e).id, 72);
    EXPECT_EQ(nyxdw::owner(tree, occ(72, nyxOccInst), &e).id, 5);
    EXPECT_EQ(nyxdw::owner(tree, occ(5, nyxOccInst), &e).kind, nyxOccTop);
    EXPECT_TRUE(nyxdw::owner(tree, nyxdw::top(tree), &e).isNull());
    EXPECT_EQ(nyxdw::viewOf(tree, occ(65, nyxOccInst), &e), obj(and2));
    EXPECT_EQ(nyxdw::viewOf(tree, occ(5, nyxOccInst), &e), obj(mid));
    EXPECT_STREQ(nyxdw::instOf(tree, occ(5, nyxOccInst), &e)->name(), "c");
    EXPECT_EQ(e, 0);
}

TEST_F(Session, DescriberEditedAfterInstantiationKeepsPinsByName) {
    small();
    port(and2, "z", 0);  // in front of a b y: the records of g and b are older than and2
    ASSERT_NE(build(top), nullptr);
    EXPECT_EQ(ids(nyxdw::walkNetPorts(tree, occ(69, nyxOccNet), 2, &e)), "69:1");
    const nyxOccRef a = occ(69, nyxOccPort, 1);
    EXPECT_STREQ(static_cast<nyxPort *>(nyxdw::portOf(tree, a, &e).obj)->name(), "a");
    EXPECT_EQ(nyxdw::outsideNet(tree, a, &e).id, 69);
    const nyxOccRef z = occ(69, nyxOccPort, 0);  // no port instance stands for z
    EXPECT_EQ(nyxdw::portInstOf(tree, z, &e).obj, nullptr);
    EXPECT_TRUE(nyxdw::outsideNet(tree, z, &e).isNull());
    EXPECT_EQ(e, 0);
}

TEST_F(Session, PathsLeadBackToEveryOccurrence) {
    small();
    cfiOID d = dmtest::ok(cfidrNetlistViewCreatePortBus, and2, "d", -1, 0, 1);
    dmtest::ok(cfidrPortBundleCreatePortScalar, d, "d[0]", -1, cfidrPortDirectionT{1});
    dmtest::ok(cfidrPortBundleCreatePortScalar, d, "d[1]", -1, cfidrPortDirectionT{1});
    ASSERT_NE(build(top), nullptr);
    std::vector<nyxOccRef> views{nyxdw::top(tree)};
    std::unique_ptr<nyxOccWalk> all(nyxdw::walkHierarchy(tree, 3, &e));
    for (nyxOccRef r; all->next(tree, &r, &e);) views.push_back(r);
    int checked = 0;
    auto roundTrip = [&](const nyxOccRef &o) {
        nyxOccNames path;
        ASSERT_TRUE(nyxdw::pathOf(tree, o, &path, &e));
        std::vector<const char *> names, members;
        for (size_t i = 0; i < path.names.size(); ++i) {
            (i < path.memberFrom ? names : members).push_back(path.names[i].c_str());
        }
        names.push_back(nullptr);
        members.push_back(nullptr);
        nyxOccRef back = o.kind == nyxOccNet    ? nyxdw::findNet(tree, names.data(), &e)
                         : o.kind == nyxOccPort ? nyxdw::findPort(tree, names.data(), members.data(), &e)
                                                : nyxdw::findView(tree, names.data(), &e);
        EXPECT_EQ(back.id, o.id) << pathname(o);
        EXPECT_EQ(back.kind, o.kind) << pathname(o);
        EXPECT_EQ(back.port, o.port) << pathname(o);
        ++checked;
    };
    for (const nyxOccRef &v : views) {
        if (v.kind == nyxOccInst) roundTrip(v);
        for (auto make : {nyxdw::walkNets, nyxdw::walkPorts}) {
            std::unique_ptr<nyxOccWalk> w(make(tree, v, &e));
            for (nyxOccRef r; w->next(tree, &r, &e);) roundTrip(r);
        }
    }
    EXPECT_EQ(checked, 15 + 11 + 1 + 6 + 7 * 6);  // instance, net and port occurrences
    EXPECT_EQ(e, 0);
    EXPECT_EQ(pathname(occ(76, nyxOccPort, 4)), "c/u1/g/d/d[0]");
}

TEST_F(Session, PathLookupsRefuseWhatTheyCannotFollow) {
    small();
    ASSERT_NE(build(top), nullptr);
    const char *instAsNet[] = {"a", "u0", "g", nullptr};
    EXPECT_CODE(nyxdw::findNet(tree, instAsNet, &e), cfidrErrNotFound);
    const char *throughLeaf[] = {"b", "x", nullptr};
    EXPECT_CODE(nyxdw::findView(tree, throughLeaf, &e), cfidrErrNotFound);
    const char *leafLast[] = {"b", nullptr};
    EXPECT_EQ(nyxdw::findView(tree, leafLast, &e).id, 65);
    const char *leafPin[] = {"b", "y", nullptr};
    nyxOccRef pin = nyxdw::findPort(tree, leafPin, nullptr, &e);
    EXPECT_EQ(pin.id, 65);
    EXPECT_EQ(pin.port, 2);
    const char *empty[] = {nullptr};
    EXPECT_CODE(nyxdw::findView(tree, empty, &e), nyxdrErrBadPath);
    EXPECT_CODE(nyxdw::findView(tree, nullptr, &e), nyxdrErrBadPath);
    const char *badName[] = {"a", "", nullptr};
    EXPECT_CODE(nyxdw::findNet(tree, badName, &e), nyxdrErrBadPath);
    const char *notThere[] = {"a", "nope", nullptr};
    EXPECT_CODE(nyxdw::findNet(tree, notThere, &e), cfidrErrNotFound);
}

TEST_F(Session, GlobalNetsAndOddNamesInPathnames) {
    small();
    cfiOID vdd = net(sub, "vdd");
    dmtest::ok(cfidrNetScalarSetIsGlobal, vdd, cfiBooleanEnum{1});
    inst(top, sub, "x/y:z");
    inst(top, sub, "u[1:2]");
    ASSERT_NE(build(top), nullptr);
    const char *deep[] = {"c", "u2", "vdd", nullptr};
    nyxOccRef g = nyxdw::findNet(tree, deep, &e);
    EXPECT_EQ(pathname(g), "vdd");
    const char *odd[] = {"x/y:z", "s", nullptr};
    EXPECT_EQ(pathname(nyxdw::findNet(tree, odd, &e)), "x\\/y\\:z/s");
    const char *bracket[] = {"u[1:2]", "g", nullptr};
    EXPECT_EQ(pathname(nyxdw::findView(tree, bracket, &e)), "u[1:2]/g");
    EXPECT_EQ(nyxdw::escapeName("a\\b"), "a\\\\b");
    EXPECT_EQ(e, 0);
}

// Ids and kinds that name nothing give 31001 and the null result, in either program mode.
TEST_F(Session, HostileOccurrencesNameNothing) {
    small();
    ASSERT_NE(build(top), nullptr);
    for (bool trusted : {false, true}) {
        nyxtest::setTrustedModes(trusted, trusted);
        for (int32_t id : {INT32_MIN, -1, 0, 1, 2, 78, INT32_MAX}) {
            EXPECT_EQ(nyxdw::instOf(tree, occ(id, nyxOccInst), &e), nullptr);
            EXPECT_EQ(nyxdw::netOf(tree, occ(id, nyxOccNet), &e).obj, nullptr);
            EXPECT_EQ(e, nyxdwErrOccUnusable) << id;
            e = 0;
        }
        EXPECT_CODE(nyxdw::instOf(tree, occ(4, nyxOccNet), &e), nyxdwErrOccUnusable);  // wrong kind
        e = 0;
        EXPECT_EQ(nyxdw::level(tree, occ(4, nyxOccNet), &e), nyxOccLevelError);
        e = 0;
        EXPECT_CODE(nyxdw::netOf(tree, occ(68, nyxOccNet), &e), nyxdwErrOccUnusable);  // free net slot
        e = 0;
        EXPECT_CODE(nyxdw::portOf(tree, occ(77, nyxOccPort, 3), &e), nyxdwErrOccUnusable);  // no such port
        e = 0;
        EXPECT_CODE(nyxdw::viewOf(tree, occ(65, nyxOccTop), &e), nyxdwErrOccUnusable);
        e = 0;
        EXPECT_CODE(nyxdw::owner(tree, occ(4, nyxOccFlatNet), &e), nyxdwErrOccUnusable);
        e = 0;
        EXPECT_CODE(nyxdw::walkNets(tree, occ(4, nyxOccNet), &e), nyxdwErrOccUnusable);
        e = 0;
        EXPECT_EQ(pathname(occ(2, nyxOccInst)), "");
        EXPECT_EQ(e, nyxdwErrOccUnusable);
        e = 0;
    }
}

} // namespace
