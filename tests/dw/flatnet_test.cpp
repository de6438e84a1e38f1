// Flat nets: joins through ports across levels, joined ports of a child, globals at several levels
// and merged, unconnected port instances, and the port occurrences of a flat net by scan mode.
#include <algorithm>
#include <set>

#include "dw/dw_fixture.h"

namespace {

struct Flat : dwtest::Session {
    nyxOccRef netAt(std::vector<const char *> path) {
        path.push_back(nullptr);
        return nyxdw::findNet(tree, path.data(), &e);
    }
    nyxOccRef viewAt(std::vector<const char *> path) {
        path.push_back(nullptr);
        return nyxdw::findView(tree, path.data(), &e);
    }
    int32_t flatOf(std::vector<const char *> path) { return nyxdw::netFlatNet(tree, netAt(std::move(path)), &e).id; }
    nyxOccRef flat(int32_t id) const { return occ(id, nyxOccFlatNet); }
    // The pathnames of a flat net's members, sorted.
    std::vector<std::string> members(int32_t id) {
        std::vector<std::string> out;
        std::unique_ptr<nyxOccWalk> w(nyxdw::walkFlatNetNets(tree, flat(id), &e));
        nyxOccRef r;
        while (w != nullptr && w->next(tree, &r, &e)) out.push_back(pathname(r));
        std::sort(out.begin(), out.end());
        return out;
    }
    void global(cfiOID n) { dmtest::ok(cfidrNetScalarSetIsGlobal, n, cfiTrue); }

    // sub: port p on net s, leaf g's pin a on s. mid: port m on net n, u0 and u1 (sub) with p
    // on n. top: port tp on net t, x (mid) with m on t, and a lonely net.
    void chain() {
        leafAndSub();
        mid = view("mid");
        cfiOID n = net(mid, "n");
        attachPort(n, port(mid, "m"));
        attachPin(n, inst(mid, sub, "u0"), "p");
        attachPin(n, inst(mid, sub, "u1"), "p");
        top = view("top");
        cfiOID t = net(top, "t");
        attachPort(t, port(top, "tp"));
        attachPin(t, inst(top, mid, "x"), "m");
        net(top, "lonely");
    }
};

TEST_F(Flat, NetThroughThreeLevelsIsOneFlatNetAtTheTopNet) {
    chain();
    ASSERT_NE(build(top), nullptr);
    const int32_t t = netAt({"t"}).id;
    EXPECT_EQ(flatOf({"x", "u1", "s"}), t);
    EXPECT_EQ(flatOf({"x", "n"}), t);
    EXPECT_EQ(flatOf({"t"}), t);
    EXPECT_EQ(members(t), (std::vector<std::string>{"t", "x/n", "x/u0/s", "x/u1/s"}));
    // Every flat net once: t and the lonely net; no globals.
    std::unique_ptr<nyxOccWalk> all(nyxdw::walkFlatNets(tree, 3, &e));
    std::vector<int32_t> got;
    for (nyxOccRef r; all->next(tree, &r, &e);) got.push_back(r.id);
    EXPECT_EQ(got, (std::vector<int32_t>{t, netAt({"lonely"}).id}));
    EXPECT_EQ(ids(nyxdw::walkFlatNets(tree, 1, &e)), "");
    // A member that is not the representative names no flat net.
    EXPECT_FALSE(nyxdw::isFlatNet(tree, flat(netAt({"x", "n"}).id), &e));
    EXPECT_EQ(nyxdw::walkFlatNetNets(tree, flat(netAt({"x", "n"}).id), &e), nullptr);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
}

TEST_F(Flat, PortScanModesYieldEachPortOccurrenceOnce) {
    chain();
    ASSERT_NE(build(top), nullptr);
    const int32_t t = netAt({"t"}).id;
    const int32_t x = viewAt({"x"}).id, u0 = viewAt({"x", "u0"}).id, u1 = viewAt({"x", "u1"}).id;
    const int32_t g0 = viewAt({"x", "u0", "g"}).id, g1 = viewAt({"x", "u1", "g"}).id;
    auto scan = [&](int32_t mode) {
        std::set<std::string> got;
        std::unique_ptr<nyxOccWalk> w(nyxdw::walkFlatNetPorts(tree, flat(t), mode, &e));
        for (nyxOccRef r; w->next(tree, &r, &e);) {
            EXPECT_TRUE(got.insert(std::to_string(r.id) + ":" + std::to_string(r.port)).second);
        }
        return got;
    };
    auto pin = [](int32_t id, int32_t port) { return std::to_string(id) + ":" + std::to_string(port); };
    EXPECT_EQ(scan(1), (std::set<std::string>{pin(3, 0)}));
    EXPECT_EQ(scan(2), (std::set<std::string>{pin(g0, 0), pin(g1, 0)}));
    EXPECT_EQ(scan(3), (std::set<std::string>{pin(x, 0), pin(u0, 0), pin(u1, 0)}));
    EXPECT_EQ(scan(4), (std::set<std::string>{pin(3, 0), pin(x, 0), pin(u0, 0), pin(u1, 0), pin(g0, 0), pin(g1, 0)}));
    EXPECT_EQ(e, 0);
    // The flat net of a port occurrence: outside net first, else inside.
    EXPECT_EQ(nyxdw::portFlatNet(tree, occ(u0, nyxOccPort, 0), &e).id, t);
    EXPECT_EQ(nyxdw::portFlatNet(tree, occ(3, nyxOccPort, 0), &e).id, t);
    EXPECT_TRUE(nyxdw::portFlatNet(tree, occ(g0, nyxOccPort, 2), &e).isNull());  // pin y on nothing
    EXPECT_EQ(e, 0);
}

TEST_F(Flat, TwoPortsJoinedInsideJoinTheirOutsideNetsUnderTheSmallestName) {
    cfiOID j = view("j");
    cfiOID w = net(j, "w");
    attachPort(w, port(j, "p1"));
    attachPort(w, port(j, "p2"));
    attachPort(net(j, "v"), port(j, "p3"));
    top = view("top");
    cfiOID beta = net(top, "Beta"), alpha = net(top, "alpha");
    cfiOID k = inst(top, j, "k");
    attachPin(beta, k, "p1");
    attachPin(alpha, k, "p2");
    inst(top, j, "free");  // no pin connected: its nets are flat nets of their own, inside
    ASSERT_NE(build(top), nullptr);
    const int32_t a = netAt({"alpha"}).id;
    EXPECT_EQ(flatOf({"Beta"}), a);
    EXPECT_EQ(flatOf({"k", "w"}), a);
    EXPECT_EQ(members(a), (std::vector<std::string>{"Beta", "alpha", "k/w"}));
    const int32_t inside = netAt({"free", "w"}).id;
    EXPECT_EQ(flatOf({"free", "w"}), inside);
    EXPECT_EQ(flatOf({"k", "v"}), netAt({"k", "v"}).id);
    EXPECT_EQ(nyxdw::portFlatNet(tree, occ(viewAt({"free"}).id, nyxOccPort, 0), &e).id, inside);
    // Two inside flat nets per instance but the joined one: k/v, free/w, free/v, and alpha.
    std::unique_ptr<nyxOccWalk> all(nyxdw::walkFlatNets(tree, 2, &e));
    int count = 0;
    for (nyxOccRef r; all->next(tree, &r, &e);) ++count;
    EXPECT_EQ(count, 4);
}

TEST_F(Flat, GlobalsAtSeveralLevelsMergeUnderTheSmallerIndex) {
    // gm: global gnd on port pg; leafy: net in on port a; deep: global vdd, and an instance of gm.
    cfiOID gm = view("gm");
    cfiOID gnd = net(gm, "gnd");
    global(gnd);
    attachPort(gnd, port(gm, "pg"));
    cfiOID buf = view("buf");
    attachPort(net(buf, "in"), port(buf, "a"));
    cfiOID deep = view("deep");
    global(net(deep, "vdd"));
    inst(deep, gm, "d0");
    top = view("top");
    cfiOID vss = net(top, "vss"), vdd = net(top, "vdd");
    global(vss);
    global(vdd);
    attachPin(vss, inst(top, gm, "i"), "pg");
    attachPin(vdd, inst(top, buf, "b"), "a");
    inst(top, deep, "d");
    ASSERT_NE(build(top), nullptr);
    // Names met children first: gnd 0, vdd 1 (in deep), then vss 2 joins gnd.
    EXPECT_EQ(flatOf({"vss"}), -2);
    EXPECT_EQ(flatOf({"i", "gnd"}), -2);
    EXPECT_EQ(flatOf({"d", "d0", "gnd"}), -2);
    EXPECT_EQ(flatOf({"vdd"}), -3);
    EXPECT_EQ(flatOf({"d", "vdd"}), -3);
    EXPECT_EQ(flatOf({"b", "in"}), -3);  // not global itself, joined to one outside
    EXPECT_EQ(ids(nyxdw::walkFlatNets(tree, 1, &e)), "-2 -3");
    EXPECT_FALSE(nyxdw::isFlatNet(tree, flat(-4), &e));  // vss's own index, merged away
    EXPECT_EQ(members(-2), (std::vector<std::string>{"gnd", "gnd", "vss"}));
    EXPECT_EQ(members(-3), (std::vector<std::string>{"b/in", "vdd", "vdd"}));
    EXPECT_EQ(e, 0);
}

} // namespace
