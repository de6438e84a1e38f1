// Derived properties: the look-up order over sets and the stored design, deleted marks, overrides
// made after a look-up, one set under two configurations, and evaluation at an occurrence.
#include "dm/prop/prop.h"
#include "dw/derived.h"
#include "dw/dw_fixture.h"

namespace {

struct Derived : dwtest::Session {
    // lf: port a. sub: net s on port p, leaf g. top: u (sub) with p on t. The configuration
    // lists sets s1 then s2.
    void SetUp() override {
        Session::SetUp();
        cfiOID lf = view("lf");
        port(lf, "a");
        sub = view("sub");
        cfiOID s = net(sub, "s");
        attachPort(s, port(sub, "p"));
        inst(sub, lf, "g");
        top = view("top");
        t = net(top, "t");
        u = inst(top, sub, "u");
        attachPin(t, u, "p");
        cell = dmtest::ok(cfidrLibCreateCell, lib, "design");
        cfg = dmtest::ok(nyxdrCellCreateDesignConfig, cell, "cfg", top, nyxdrSelectionModeT{0});
        s1 = dmtest::ok(nyxdrCellCreateOccPropSet, cell, "s1");
        s2 = dmtest::ok(nyxdrCellCreateOccPropSet, cell, "s2");
        dmtest::ok(nyxdrDesignConfigInsertOccPropSet, cfg, s1, -1);
        dmtest::ok(nyxdrDesignConfigInsertOccPropSet, cfg, s2, -1);
        ASSERT_NE(build(top), nullptr);
        d.tree = tree;
        d.config = nyxpi::object<nyxDesignConfig>(cfg);
    }

    cfiOID node(cfiOID set, std::vector<const char *> path, bool isNet = false) {
        path.push_back(nullptr);
        return isNet ? dmtest::ok(nyxdrOccPropSetCreateNetOccProp, set, path.data())
                     : dmtest::ok(nyxdrOccPropSetCreateViewOccProp, set, path.data());
    }
    void intProp(cfiOID on, const char *name, int32_t v) {
        dmtest::ok(cfidrPropSetInt32Value, dmtest::ok(cfidrObjectCreateProp, on, name), v);
    }
    void exprProp(cfiOID on, const char *name, const char *text) {
        dmtest::ok(cfidrPropSetExpressionValue, dmtest::ok(cfidrObjectCreateProp, on, name), text);
    }
    nyxOccRef at(std::vector<const char *> path) {
        path.push_back(nullptr);
        return nyxdw::findView(tree, path.data(), &e);
    }
    // The integer value of a derived property (INT32_MIN when not found, the code in e).
    int32_t value(const nyxOccRef &o, const char *name, int32_t mode) {
        e = 0;
        nyxdwDerived::Found f = nyxdwDerived::find(d, o, name, mode, &e);
        return f.isNull() ? INT32_MIN : nyxPropAt(f.list, f.index)->intValue();
    }
    nyxdwDerived::Found evalText(const nyxOccRef &o, const char *text) {
        e = 0;
        return nyxdwDerived::evaluateText(d, text, o, 2, &e);
    }
    nyxdwDerived::Found evalProp(const nyxOccRef &o, const char *name) {
        e = 0;
        nyxdwDerived::Found p = nyxdwDerived::find(d, o, name, 2, &e);
        return p.isNull() ? p : nyxdwDerived::evaluate(d, p, o, 2, &e);
    }

    cfiOID t{}, u{}, cell{}, cfg{}, s1{}, s2{};
    nyxdwDerived::Design d;
};

TEST_F(Derived, SetsInOrderThenTheStoredDesign) {
    intProp(u, "w", 1);
    intProp(node(s2, {"u"}), "w", 3);
    const nyxOccRef uo = at({"u"});
    EXPECT_EQ(value(uo, "w", 2), 3);
    EXPECT_EQ(value(uo, "w", 1), 1);
    // An override made after the first look-up is seen (the set's cross-reference is rebuilt).
    intProp(node(s1, {"u"}), "w", 2);
    EXPECT_EQ(value(uo, "w", 0), 2);
    EXPECT_EQ(value(uo, "w", 2), 2);
    // The describer's property after the instance's; nothing of the sets in mode 1.
    intProp(sub, "only", 5);
    EXPECT_EQ(value(uo, "only", 2), 5);
    EXPECT_EQ(value(uo, "only", 0), INT32_MIN);
    EXPECT_EQ(e, cfidrErrNotFound);
    // The top: root view, then its cell, then the configuration.
    intProp(cfg, "c", 9);
    intProp(top, "c", 8);
    EXPECT_EQ(value(nyxdw::top(tree), "c", 1), 8);
    EXPECT_EQ(value(nyxdw::top(tree), "vdd", 1), INT32_MIN);
    // The set's own list stands for the top.
    intProp(s1, "c", 7);
    EXPECT_EQ(value(nyxdw::top(tree), "c", 2), 7);
    // No sets at all: mode 0 finds nothing, mode 2 the stored design.
    d.config = nullptr;
    EXPECT_EQ(value(uo, "w", 0), INT32_MIN);
    EXPECT_EQ(value(uo, "w", 2), 1);
}

TEST_F(Derived, DeletedMarkEndsTheLookupAndHidesTheName) {
    intProp(u, "dd", 7);
    intProp(u, "kept", 1);
    cfiOID n = node(s1, {"u"});
    intProp(n, "dd", 0);
    nyxPropList *list = nyxpi::object<nyxOccPropNode>(n)->d_propList;
    cfidrErrorT err = 0;
    setDeletedValue(list, nyxPropFind(list, "dd", &err).member, &err);
    ASSERT_EQ(err, 0);
    nyxpi::object<nyxOccPropSet>(s1)->edited();
    const nyxOccRef uo = at({"u"});
    EXPECT_EQ(value(uo, "dd", 2), INT32_MIN);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(value(uo, "dd", 1), 7);
    std::vector<nyxdwDerived::Found> all;
    e = 0;
    ASSERT_TRUE(nyxdwDerived::list(d, uo, 2, &all, &e));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_STREQ(nyxPropAt(all[0].list, all[0].index)->name(), "kept");
}

TEST_F(Derived, ASetListedByTwoConfigurationsGivesEachItsOwnOverrides) {
    // top2 holds an instance before u, so u has another id there.
    cfiOID top2 = view("top2");
    inst(top2, sub, "a0");
    inst(top2, sub, "u");
    cfiOID cfg2 = dmtest::ok(nyxdrCellCreateDesignConfig, cell, "cfg2", top2, nyxdrSelectionModeT{0});
    dmtest::ok(nyxdrDesignConfigInsertOccPropSet, cfg2, s1, -1);
    intProp(node(s1, {"u"}), "w", 2);
    nyxOccTree *other = nyxdw::buildTree(obj(top2), 2, &e);
    ASSERT_NE(other, nullptr);
    const nyxdwDerived::Design d2{other, nyxpi::object<nyxDesignConfig>(cfg2)};
    const char *path[] = {"u", nullptr};
    const nyxOccRef u1 = at({"u"}), u2 = nyxdw::findView(other, path, &e);
    ASSERT_NE(u1.id, u2.id);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(value(u1, "w", 0), 2);
        cfidrErrorT err = 0;
        nyxdwDerived::Found f = nyxdwDerived::find(d2, u2, "w", 0, &err);
        EXPECT_FALSE(f.isNull());
        nyxdwDerived::find(d2, nyxdwInt::ref(other, u1.id, nyxOccInst), "w", 0, &err);  // a0 there
        EXPECT_EQ(err, cfidrErrNotFound);
    }
    nyxdw::dropTree(other);
}

TEST_F(Derived, FlatNetLooksAtSetsByEntryAndAtEachDistinctNet) {
    const nyxOccRef flat = nyxdw::netFlatNet(tree, nyxdwInt::ref(tree, 4, nyxOccNet), &e);
    ASSERT_EQ(flat.kind, nyxOccFlatNet);
    intProp(node(s2, {"u", "s"}, true), "cap", 4);
    intProp(t, "len", 6);
    EXPECT_EQ(value(flat, "cap", 2), 4);
    EXPECT_EQ(value(flat, "len", 2), 6);
    EXPECT_EQ(value(flat, "len", 0), INT32_MIN);
}

TEST_F(Derived, FlatNetSetEntryOnTheSmallestMemberByEitherWay) {
    // Few entries: the entries are compared with the flat net; many: the members are searched.
    intProp(node(s1, {"u", "s"}, true), "cap", 4);
    intProp(node(s1, {"t"}, true), "cap", 1);
    auto flatCap = [&] {
        build(top);
        d.tree = tree;
        return value(nyxdw::netFlatNet(tree, nyxdwInt::ref(tree, 4, nyxOccNet), &e), "cap", 0);
    };
    EXPECT_EQ(flatCap(), 1);
    for (int i = 0; i < 24; ++i) {
        const std::string name = "x" + std::to_string(i);
        net(top, name);
        intProp(node(s1, {name.c_str()}, true), "cap", 9);
    }
    EXPECT_EQ(flatCap(), 1);
    // A deleted mark on a member ends the look-up.
    cfiOID gone = node(s2, {"u", "s"}, true);
    intProp(gone, "len", 0);
    nyxPropList *list = nyxpi::object<nyxOccPropNode>(gone)->d_propList;
    cfidrErrorT err = 0;
    setDeletedValue(list, nyxPropFind(list, "len", &err).member, &err);
    nyxpi::object<nyxOccPropSet>(s2)->edited();
    intProp(t, "len", 6);
    const nyxOccRef flat = nyxdw::netFlatNet(tree, nyxdwInt::ref(tree, 4, nyxOccNet), &e);
    EXPECT_EQ(value(flat, "len", 1), 6);
    EXPECT_EQ(value(flat, "len", 2), INT32_MIN);
    EXPECT_EQ(e, cfidrErrNotFound);
    std::vector<nyxdwDerived::Found> all;
    e = 0;
    ASSERT_TRUE(nyxdwDerived::list(d, flat, 2, &all, &e));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_STREQ(nyxPropAt(all[0].list, all[0].index)->name(), "cap");
}

TEST_F(Derived, NamesResolveOutwardAtTheLevelWhereFound) {
    intProp(cfg, "vdd", 3);
    const nyxOccRef g = at({"u", "g"});
    nyxdwDerived::Found r = evalText(g, "vdd * 2");
    ASSERT_EQ(e, 0);
    EXPECT_EQ(nyxPropAt(r.list, r.index)->intValue(), 6);
    EXPECT_STREQ(nyxPropAt(r.list, r.index)->name(), "nyxdwStringEval");
    // a at g uses b, found at u, which uses a: resolved from u outward, at the top.
    exprProp(u, "b", "a * 10");
    exprProp(cfg, "a", "1 + 1");
    cfiOID gi = dmtest::ok(cfidrNetlistViewFindInstByName, sub, "g");
    exprProp(gi, "a", "b + 1");
    r = evalProp(g, "a");
    ASSERT_EQ(e, 0);
    EXPECT_EQ(nyxPropAt(r.list, r.index)->intValue(), 21);
    EXPECT_STREQ(nyxPropAt(r.list, r.index)->name(), "a");
    // A name defined by itself at one level.
    exprProp(u, "loop", "loop + 1");
    EXPECT_TRUE(evalProp(at({"u"}), "loop").isNull());
    EXPECT_EQ(e, nyxdwErrRecursive);
    EXPECT_TRUE(evalText(g, "nowhere + 1").isNull());
    EXPECT_EQ(e, nyxdwErrParamNotFound);
}

TEST_F(Derived, EvaluationErrorsLeaveTheOneResultEntryAsItWas) {
    const nyxOccRef g = at({"u", "g"});
    nyxdwDerived::Found r = evalText(g, "2.5");
    ASSERT_EQ(e, 0);
    EXPECT_FLOAT_EQ(nyxPropAt(r.list, r.index)->floatValue(), 2.5f);
    EXPECT_TRUE(evalText(g, "1 / 0").isNull());
    EXPECT_EQ(e, nyxdwErrDivideByZero);
    EXPECT_TRUE(evalText(g, "1e300").isNull());
    EXPECT_EQ(e, nyxdwErrEvaluation);
    EXPECT_TRUE(evalText(g, "-1e38").isNull());
    EXPECT_EQ(e, nyxdwErrEvaluation);
    EXPECT_FLOAT_EQ(nyxPropAt(r.list, 0)->floatValue(), 2.5f);
    for (const char *text : {"1 < 2", "'text'", "7"}) evalText(g, text);
    EXPECT_EQ(nyxPropListSize(getEvalProplist()), 1);
    EXPECT_EQ(nyxPropAt(getEvalProplist(), 0)->intValue(), 7);
}

TEST_F(Derived, CreateOccPropFindsOrMakesTheNodeOfThePath) {
    cfidrErrorT err = 0;
    const char *netPath[] = {"u", "s", nullptr};
    nyxOccRef s = nyxdw::findNet(tree, netPath, &err);
    auto *set = nyxpi::object<nyxOccPropSet>(s1);
    nyxOccPropNode *n = nyxdwDerived::createOccProp(tree, s, set, &err);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->d_code, nyxCodeNetOccProp);
    EXPECT_EQ(nyxdwDerived::createOccProp(tree, s, set, &err), n);
    nyxOccPropNode *p = nyxdwDerived::createOccProp(tree, nyxdwInt::ref(tree, at({"u"}).id, nyxOccPort, 0), set, &err);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->d_code, nyxCodePortOccProp);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(nyxdwDerived::createOccProp(tree, nyxdwInt::ref(tree, 4, nyxOccFlatNet), set, &err), nullptr);
    EXPECT_EQ(err, cfidrErrWrongType);
}

} // namespace
