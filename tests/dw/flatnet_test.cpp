// Flat nets: joins through ports across levels, joined ports of a child, globals at several levels
// and merged, unconnected port instances, and the port occurrences of a flat net by scan mode.
#include <algorithm>
#include <map>
#include <set>

#include "dw/dw_fixture.h"
#include "dw/flatnetInt.h"

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

    // cell: globals vdd and vss on ports pv and ps, net in on port a, a lone net. pair: net w
    // on ports p1 and p2 and on pin a of cell g. join: global vss on port pj. mid: nets n1 (on
    // port m, and pin pv of cell c1) and n2 joined through pair k, n2 on pin a of cell c0, join
    // j. top: global vdd on pin pj of join jj (vdd and vss become one), net t on pin m of mid x
    // and y, net u on pin a of cell z. So every cell has two classes of the merged global, mid
    // a two-net class joined to it, and some classes reach it only from below.
    void mixed() {
        cfiOID cell = view("cell");
        cfiOID vdd = net(cell, "vdd"), vss = net(cell, "vss");
        global(vdd);
        global(vss);
        attachPort(vdd, port(cell, "pv"));
        attachPort(vss, port(cell, "ps"));
        attachPort(net(cell, "in"), port(cell, "a"));
        net(cell, "lone");
        cfiOID pair = view("pair");
        cfiOID w = net(pair, "w");
        attachPort(w, port(pair, "p1"));
        attachPort(w, port(pair, "p2"));
        attachPin(w, inst(pair, cell, "g"), "a");
        cfiOID join = view("join");
        cfiOID jv = net(join, "vss");
        global(jv);
        attachPort(jv, port(join, "pj"));
        mid = view("mid");
        cfiOID n1 = net(mid, "n1"), n2 = net(mid, "n2");
        attachPort(n1, port(mid, "m"));
        cfiOID k = inst(mid, pair, "k");
        attachPin(n1, k, "p1");
        attachPin(n2, k, "p2");
        attachPin(n2, inst(mid, cell, "c0"), "a");
        attachPin(n1, inst(mid, cell, "c1"), "pv");
        inst(mid, join, "j");
        top = view("top");
        cfiOID tv = net(top, "vdd");
        global(tv);
        attachPin(tv, inst(top, join, "jj"), "pj");
        cfiOID t = net(top, "t");
        attachPin(t, inst(top, mid, "x"), "m");
        attachPin(t, inst(top, mid, "y"), "m");
        attachPin(net(top, "u"), inst(top, cell, "z"), "a");
    }
    // The flat net of every net occurrence that has one: flat net id -> net occurrence ids.
    std::map<int32_t, std::multiset<int32_t>> flatOfEveryNet() {
        std::map<int32_t, std::multiset<int32_t>> out;
        std::vector<nyxOccRef> views{occ(nyxdw::kTopId, nyxOccTop)};
        std::unique_ptr<nyxOccWalk> h(nyxdw::walkHierarchy(tree, 3, &e));
        for (nyxOccRef r; h->next(tree, &r, &e);) views.push_back(r);
        for (const nyxOccRef &v : views) {
            std::unique_ptr<nyxOccWalk> nets(nyxdw::walkNets(tree, v, &e));
            for (nyxOccRef n; nets->next(tree, &n, &e);) {
                const int32_t flat = nyxdw::netFlatNet(tree, n, &e).id;
                if (flat != 0) out[flat].insert(n.id);
            }
        }
        return out;
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

TEST_F(Flat, MembersOfEveryFlatNetAreTheNetOccurrencesNamingItEachOnce) {
    mixed();
    ASSERT_NE(build(top), nullptr);
    const std::map<int32_t, std::multiset<int32_t>> expected = flatOfEveryNet();
    ASSERT_EQ(expected.count(-2), 1u);
    // vdd and vss of 7 cells, vss of 3 joins, the top's vdd and t, and in x and y each n1, n2,
    // k/w, k/g/in, c0/in.
    EXPECT_EQ(expected.at(-2).size(), 14u + 3u + 2u + 10u);
    const nyxFlatNets *f = nyxdwFlat::need(tree, &e);
    ASSERT_NE(f, nullptr);
    std::map<int32_t, std::multiset<int32_t>> got;
    std::unique_ptr<nyxOccWalk> all(nyxdw::walkFlatNets(tree, 3, &e));
    for (nyxOccRef flat; all->next(tree, &flat, &e);) {
        // The cursor's view occurrence of each member, and the walk handing out the same ids.
        nyxdwFlat::MemberCursor cursor;
        ASSERT_TRUE(cursor.start(tree, f, flat.id));
        std::vector<int32_t> order;
        for (nyxdwFlat::Member m; cursor.next(tree, f, &m);) {
            got[flat.id].insert(m.id);
            order.push_back(m.id);
            EXPECT_EQ(m.id, m.base + m.local);
            EXPECT_EQ(nyxdw::owner(tree, occ(m.id, nyxOccNet), &e).id, m.ownId);
        }
        std::unique_ptr<nyxOccWalk> w(nyxdw::walkFlatNetNets(tree, flat, &e));
        nyxOccRef r;
        for (int i = 0; i < 2 && w->next(tree, &r, &e); ++i) {}
        w->reset();
        std::vector<int32_t> walked;
        while (w->next(tree, &r, &e)) walked.push_back(r.id);
        EXPECT_EQ(walked, order) << flat.id;
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(e, 0);
}

} // namespace
