// Flat nets and derived properties through the exported nyxdw functions: a net through three
// levels, every mode out of range, derived look-ups through a set and the stored design,
// evaluation at an occurrence, occurrence property nodes made from a path, stale identifiers.
#include <algorithm>
#include <string>
#include <vector>

#include "dw/dw_fixture.h"
#include "nyxdw.h"

namespace {

struct FlatPI : dwtest::Session {
    // sub: port p on net s, leaf g's pin a on s. mid: port m on net n, u0 and u1 (sub) with p on
    // n. top: port tp on net t, x (mid) with m on t, a lonely net. The configuration lists set s1.
    void SetUp() override {
        Session::SetUp();
        leafAndSub();
        mid = view("mid");
        cfiOID n = net(mid, "n");
        attachPort(n, port(mid, "m"));
        u0 = inst(mid, sub, "u0");
        attachPin(n, u0, "p");
        attachPin(n, inst(mid, sub, "u1"), "p");
        top = view("top");
        t = net(top, "t");
        attachPort(t, port(top, "tp"));
        x = inst(top, mid, "x");
        attachPin(t, x, "m");
        net(top, "lonely");
        cell = dmtest::ok(cfidrLibCreateCell, lib, "design");
        cfg = dmtest::ok(nyxdrCellCreateDesignConfig, cell, "cfg", top, nyxdrSelectionModeT{0});
        s1 = dmtest::ok(nyxdrCellCreateOccPropSet, cell, "s1");
        dmtest::ok(nyxdrDesignConfigInsertOccPropSet, cfg, s1, -1);
        topOcc = dmtest::ok(nyxdwPICreateTopOcc, cfg);
    }
    cfiOID netOcc(std::vector<const char *> path) {
        path.push_back(nullptr);
        return dmtest::ok(nyxdwTopOccFindNetOccByPath, topOcc, path.data());
    }
    cfiOID viewOcc(std::vector<const char *> path) {
        path.push_back(nullptr);
        return dmtest::ok(nyxdwTopOccFindViewOccByPath, topOcc, path.data());
    }
    // The pathnames of what an iterator yields, sorted; the iterator is quit.
    std::vector<std::string> names(cfidrIterT it, cfiOID (*next)(cfidrIterT, cfidrErrorT *)) {
        std::vector<std::string> out;
        for (cfiOID o = next(it, &e); o.object != 0; o = next(it, &e)) out.emplace_back(nyxdwOccGetZILPathname(o, &e));
        cfidrErrorT q = 0;
        nyxdwIterQuit(it, &q);
        std::sort(out.begin(), out.end());
        return out;
    }
    void intProp(cfiOID on, const char *name, int32_t v) {
        dmtest::ok(cfidrPropSetInt32Value, dmtest::ok(cfidrObjectCreateProp, on, name), v);
    }
    void exprProp(cfiOID on, const char *name, const char *text) {
        dmtest::ok(cfidrPropSetExpressionValue, dmtest::ok(cfidrObjectCreateProp, on, name), text);
    }
    // The integer value of a derived property; INT32_MIN with the code in e when there is none.
    // A new top occurrence after edits of the stored design (they make the tree stale).
    void rebuild() { topOcc = dmtest::ok(nyxdwPICreateTopOcc, cfg); }
    int32_t derived(cfiOID occ, const char *name, int32_t mode) {
        e = 0;
        cfiOID p = nyxdwOccFindDerivedPropByName(occ, name, mode, &e);
        return p.object == 0 ? INT32_MIN : cfidrPropGetInt32Value(p, &e);
    }

    cfiOID t{}, x{}, u0{}, cell{}, cfg{}, s1{}, topOcc{};
};

TEST_F(FlatPI, NetThroughThreeLevelsIsOneFlatNetAtTheTopNet) {
    const cfiOID tOcc = netOcc({"t"});
    const cfiOID flat = dmtest::ok(nyxdwNetOccGetFlatNet, netOcc({"x", "u1", "s"}));
    EXPECT_EQ(nyxdwObjectGetObjectType(flat, &e), nyxdwFlatNetKind);
    EXPECT_EQ(flat.object, tOcc.object);
    EXPECT_EQ(nyxdwFlatNetGetIsGlobal(flat, &e), 0);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(names(dmtest::ok(nyxdwFlatNetGetNetOccs, flat), nyxdwIterNextNetOcc),
              (std::vector<std::string>{"t", "x/n", "x/u0/s", "x/u1/s"}));
    // The same flat net from a port occurrence inside, and from the top's port.
    const char *pPath[] = {"x", "u0", "p", nullptr};
    cfiOID p = dmtest::ok(nyxdwTopOccFindPortOccByPath, topOcc, pPath, nullptr);
    EXPECT_EQ(dmtest::ok(nyxdwPortOccGetFlatNet, p).object, flat.object);
    EXPECT_EQ(names(dmtest::ok(nyxdwFlatNetGetPortOccs, flat, 1), nyxdwIterNextPortOcc), (std::vector<std::string>{"tp"}));
    EXPECT_EQ(names(dmtest::ok(nyxdwFlatNetGetPortOccs, flat, 2), nyxdwIterNextPortOcc),
              (std::vector<std::string>{"x/u0/g/a", "x/u1/g/a"}));
    // Every flat net once, through the flat-net iterator; no globals.
    cfidrIterT flats = dmtest::ok(nyxdwTopOccGetFlatNets, topOcc, 3);
    std::vector<uint32_t> all;
    for (cfiOID f = nyxdwIterNextFlatNet(flats, &e); f.object != 0; f = nyxdwIterNextFlatNet(flats, &e)) all.push_back(f.object);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(all, (std::vector<uint32_t>{tOcc.object, netOcc({"lonely"}).object}));
    nyxdwIterQuit(flats, &e);
    EXPECT_EQ(nyxdwIterNextFlatNet(dmtest::ok(nyxdwTopOccGetFlatNets, topOcc, 1), &e).object, 0u);
    // A flat-net iterator is not stepped as a net-occurrence iterator, nor the reverse.
    cfidrIterT it = dmtest::ok(nyxdwTopOccGetFlatNets, topOcc, 3);
    EXPECT_EQ(nyxdwIterNextNetOcc(it, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrIterWrongType);
    EXPECT_EQ(nyxdwIterNextDerivedProp(it, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrIterWrongType);
    nyxdwIterQuit(it, &e);
}

TEST_F(FlatPI, EveryModeOutOfRangeIsRefusedBeforeAnythingIsComputed) {
    const cfiOID flat = dmtest::ok(nyxdwNetOccGetFlatNet, netOcc({"t"}));
    for (int32_t mode : {0, 4, -1, INT32_MAX}) {
        nyxdwTopOccGetFlatNets(topOcc, mode, &e);
        EXPECT_EQ(e, nyxdwErrBadGlobalMode) << mode;
    }
    for (int32_t mode : {0, 5, -1}) {
        nyxdwFlatNetGetPortOccs(flat, mode, &e);
        EXPECT_EQ(e, nyxdwErrBadPortScanMode) << mode;
    }
    for (int32_t mode : {-1, 3, 100}) {
        EXPECT_EQ(nyxdwOccFindDerivedPropByName(topOcc, "w", mode, &e).object, 0u);
        EXPECT_EQ(e, nyxdwErrBadMergeMode) << mode;
        nyxdwOccGetDerivedProps(flat, mode, &e);
        EXPECT_EQ(e, nyxdwErrBadMergeMode) << mode;
    }
    // The occurrence is resolved before the mode: a stale one gives 31001 whatever the mode.
    cfiOID bogus = topOcc;
    bogus.tag ^= 0xf0;
    nyxdwTopOccGetFlatNets(bogus, 9, &e);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
}

TEST_F(FlatPI, DerivedPropertyThroughASetAndTheStoredDesign) {
    intProp(x, "w", 1);
    intProp(mid, "only", 5);
    intProp(t, "len", 6);
    rebuild();
    const cfiOID xo = viewOcc({"x"});
    EXPECT_EQ(derived(xo, "w", 2), 1);
    // An override made after the first look-up is seen; the stored value in mode 1.
    cfiOID node = dmtest::ok(nyxdwOccCreateOccProp, xo, s1);
    intProp(node, "w", 2);
    EXPECT_EQ(derived(xo, "w", 2), 2);
    EXPECT_EQ(derived(xo, "w", 0), 2);
    EXPECT_EQ(derived(xo, "w", 1), 1);
    EXPECT_EQ(derived(xo, "only", 2), 5);
    EXPECT_EQ(derived(xo, "only", 0), INT32_MIN);
    EXPECT_EQ(e, cfidrErrNotFound);
    // The iterator: the set's name first, then the stored ones, each once.
    cfidrIterT it = dmtest::ok(nyxdwOccGetDerivedProps, xo, 2);
    std::vector<std::string> got;
    for (cfiOID p = nyxdwIterNextDerivedProp(it, &e); p.object != 0; p = nyxdwIterNextDerivedProp(it, &e)) {
        got.emplace_back(std::string(cfidrNamedObjectGetName(p, &e)) + "=" + std::to_string(cfidrPropGetInt32Value(p, &e)));
    }
    EXPECT_EQ(e, 0);
    EXPECT_EQ(got, (std::vector<std::string>{"w=2", "only=5"}));
    nyxdwIterQuit(it, &e);
    // A flat net finds the property of a member's net.
    EXPECT_EQ(derived(dmtest::ok(nyxdwNetOccGetFlatNet, netOcc({"x", "u0", "s"})), "len", 2), 6);
}

TEST_F(FlatPI, StringEvaluateResolvesNamesOutwardToTheConfiguration) {
    intProp(cfg, "vdd", 3);
    intProp(x, "k", 4);
    exprProp(mid, "twice", "k * 2");
    rebuild();
    const cfiOID g = viewOcc({"x", "u1", "g"});
    cfiOID r = dmtest::ok(nyxdwStringEvaluate, "vdd + k", g);
    EXPECT_STREQ(cfidrNamedObjectGetName(r, &e), "nyxdwStringEval");
    EXPECT_EQ(cfidrPropGetInt32Value(r, &e), 7);
    // A property reference holding an expression, evaluated where it was found.
    cfiOID twice = dmtest::ok(nyxdwOccFindDerivedPropByName, viewOcc({"x"}), "twice", 2);
    cfiOID v = dmtest::ok(nyxdwPropEvaluate, twice, g);
    EXPECT_STREQ(cfidrNamedObjectGetName(v, &e), "twice");
    EXPECT_EQ(cfidrPropGetInt32Value(v, &e), 8);
    // Errors leave the one result entry as it was.
    EXPECT_EQ(nyxdwStringEvaluate("nosuch + 1", g, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrParamNotFound);
    EXPECT_EQ(nyxdwStringEvaluate("1 / 0", g, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrDivideByZero);
    EXPECT_EQ(nyxdwStringEvaluate("1e300", g, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrEvaluation);
    EXPECT_EQ(cfidrPropGetInt32Value(v, &e), 8);
}

TEST_F(FlatPI, CreateOccPropClearsTheErrorAndPassesOnAnExistingNode) {
    const cfiOID s = netOcc({"x", "u0", "s"});
    e = 12345;
    cfiOID node = nyxdwOccCreateOccProp(s, s1, &e);
    ASSERT_EQ(e, 0);
    intProp(node, "cap", 9);
    EXPECT_EQ(derived(s, "cap", 0), 9);
    EXPECT_EQ(nyxdwOccCreateOccProp(s, s1, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrAlreadyExists);
    const char *pPath[] = {"x", "u0", "p", nullptr};
    cfiOID p = dmtest::ok(nyxdwTopOccFindPortOccByPath, topOcc, pPath, nullptr);
    EXPECT_NE(dmtest::ok(nyxdwOccCreateOccProp, p, s1).object, 0u);
    // The set argument: another class 30005, a null one 30004; a flat net is of the wrong kind.
    EXPECT_EQ(nyxdwOccCreateOccProp(s, cfg, &e).object, 0u);
    EXPECT_EQ(e, nyxdrErrNotOccPropSet);
    EXPECT_EQ(nyxdwOccCreateOccProp(s, cfiOID{0, 0}, &e).object, 0u);
    EXPECT_EQ(e, nyxdrErrOccPropSetUnusable);
    EXPECT_EQ(nyxdwOccCreateOccProp(dmtest::ok(nyxdwNetOccGetFlatNet, s), s1, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrWrongType);
}

TEST_F(FlatPI, StaleAndFabricatedFlatNetsGive31001) {
    const cfiOID flat = dmtest::ok(nyxdwNetOccGetFlatNet, netOcc({"t"}));
    // A member that is not the representative, and a global index that names none.
    cfiOID member = flat;
    member.object = netOcc({"x", "n"}).object;
    cfiOID global = flat;
    global.object = static_cast<uint32_t>(-2);
    for (cfiOID bad : {member, global}) {
        EXPECT_EQ(nyxdwFlatNetGetIsGlobal(bad, &e), 0);
        EXPECT_EQ(e, nyxdwErrOccUnusable);
        nyxdwFlatNetGetNetOccs(bad, &e);
        EXPECT_EQ(e, nyxdwErrOccUnusable);
        EXPECT_EQ(nyxdwOccFindDerivedPropByName(bad, "w", 2, &e).object, 0u);
        EXPECT_EQ(e, nyxdwErrOccUnusable);
    }
    cfidrIterT flats = dmtest::ok(nyxdwTopOccGetFlatNets, topOcc, 3);
    cfidrIterT props = dmtest::ok(nyxdwOccGetDerivedProps, topOcc, 2);
    // An edit makes the tree stale: identifiers and iterators of it give 31001.
    net(top, "late");
    nyxdwFlatNetGetPortOccs(flat, 4, &e);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    EXPECT_EQ(nyxdwIterNextFlatNet(flats, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    EXPECT_EQ(nyxdwIterNextDerivedProp(props, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    EXPECT_EQ(nyxdwStringEvaluate("1", flat, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterQuit(flats, &e);
    nyxdwIterQuit(props, &e);
}

} // namespace
