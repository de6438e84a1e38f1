// The occurrence walk through the exported nyxdw functions: ids, paths both ways, design ids of
// many configurations, walks across edits, purges and destroys, and hostile identifiers.
#include <string>
#include <vector>

#include "config/config.h"
#include "dw/dw_fixture.h"
#include "nyxdw.h"
#include "pi/pi_walk.h"

namespace {

struct Walk : dwtest::Session {
    cfiOID config(cfiOID root, const std::string &name) {
        cfiOID cell = dmtest::ok(cfidrViewGetOwner, root);
        return dmtest::ok(nyxdrCellCreateDesignConfig, cell, name.c_str(), root, nyxdrSelectionModeT{0});
    }
    cfiOID topOcc(cfiOID cfg) {
        e = 0;
        return nyxdwPICreateTopOcc(cfg, &e);
    }
    // Every occurrence of an iterator as "id" (port occurrences "id:position"); quits it.
    std::string drain(cfidrIterT it, cfiOID (*next)(cfidrIterT, cfidrErrorT *)) {
        std::string out;
        for (cfiOID o = next(it, &e); o.object != 0; o = next(it, &e)) {
            out += (out.empty() ? "" : " ") + std::to_string(static_cast<int32_t>(o.object));
            if (((o.tag >> 1) & 7) == nyxdwPortOccKind) out += ":" + std::to_string(o.tag >> 12);
        }
        cfidrErrorT q = 0;
        nyxdwIterQuit(it, &q);
        return out;
    }
    std::string name(cfiOID obj) { return cfidrNamedObjectGetName(obj, &e); }
};

TEST_F(Walk, ExactIdsOfTheSmallDesign) {
    small();
    cfiOID t = topOcc(config(top, "dc"));
    ASSERT_EQ(e, 0);
    EXPECT_EQ(t.object, 3u);
    EXPECT_EQ(t.tag & 15, 9u);
    EXPECT_EQ(nyxdwObjectGetObjectType(t, &e), nyxdwTopOccKind);
    EXPECT_EQ(nyxdwViewOccGetHierarchyLevel(t, &e), nyxdwTopLevel);
    EXPECT_EQ(drain(nyxdwTopOccGetInstOccs(t, 3, &e), nyxdwIterNextInstOcc),
              "4 66 69 67 70 68 71 5 72 75 73 76 74 77 65");
    EXPECT_EQ(drain(nyxdwTopOccGetInstOccs(t, 1, &e), nyxdwIterNextInstOcc), "69 70 71 75 76 77 65");
    EXPECT_EQ(drain(nyxdwViewOccGetNetOccs(t, &e), nyxdwIterNextNetOcc), "4");
    EXPECT_EQ(drain(nyxdwViewOccGetPortOccs(t, &e), nyxdwIterNextPortOcc), "3:0");

    const char *path[] = {"a", "u0", "g", nullptr};
    cfiOID g = nyxdwTopOccFindViewOccByPath(t, path, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(g.object, 69u);
    EXPECT_EQ(nyxdwViewOccGetHierarchyLevel(g, &e), nyxdwLeafLevel);
    EXPECT_STREQ(nyxdwOccGetZILPathname(g, &e), "a/u0/g");
    EXPECT_EQ(name(nyxdwInstOccGetInst(g, &e)), "g");
    cfiOID u0 = nyxdwOccGetOwner(g, &e);
    EXPECT_EQ(u0.object, 66u);
    EXPECT_EQ(nyxdwViewOccGetHierarchyLevel(u0, &e), nyxdwDescendedLevel);
    EXPECT_EQ(name(cfidrViewGetOwner(nyxdwViewOccGetView(u0, &e), &e)), "sub");
    EXPECT_EQ(nyxdwObjectIsNull(nyxdwOccGetOwner(t, &e), &e), 1);
    EXPECT_EQ(e, 0);

    const char *netPath[] = {"a", "m1", nullptr};
    cfiOID m1 = nyxdwTopOccFindNetOccByPath(t, netPath, &e);
    EXPECT_EQ(m1.object, 67u);
    EXPECT_EQ(nyxdwObjectGetObjectType(m1, &e), nyxdwNetOccKind);
    EXPECT_EQ(name(nyxdwNetOccGetNet(m1, &e)), "m1");
    // The pin a of u0's g is on s, inside u0 (base 69); the port p of u0 on m0 outside it.
    const char *pinPath[] = {"a", "u0", "g", "a", nullptr};
    cfiOID pin = nyxdwTopOccFindPortOccByPath(t, pinPath, nullptr, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(nyxdwPortOccGetOutsideNetOcc(pin, &e).object, 69u);
    EXPECT_EQ(nyxdwPortOccGetInstOcc(pin, &e).object, 69u);
    EXPECT_EQ(name(nyxdwPortOccGetPort(pin, &e)), "a");
    const char *pPath[] = {"a", "u0", "p", nullptr};
    cfiOID p = nyxdwTopOccFindPortOccByPath(t, pPath, nullptr, &e);
    EXPECT_EQ(nyxdwPortOccGetOutsideNetOcc(p, &e).object, 66u);
    EXPECT_EQ(nyxdwPortOccGetInsideNetOcc(p, &e).object, 69u);
    const char *const *names = nyxdwOccGetPath(p, &e);
    ASSERT_NE(names[2], nullptr);
    EXPECT_STREQ(names[2], "p");
    EXPECT_EQ(names[3], nullptr);
    EXPECT_EQ(nyxdwObjectIsSame(nyxdwOccGetOwner(p, &e), u0, &e), 1);
    EXPECT_EQ(nyxdwObjectIsSame(nyxdwOccGetDesignConfig(p, &e), nyxdwOccGetDesignConfig(t, &e), &e), 1);
    EXPECT_EQ(e, 0);
    // Not found, and a net path ending in an instance.
    const char *notNet[] = {"a", "u0", nullptr};
    EXPECT_EQ(nyxdwTopOccFindNetOccByPath(t, notNet, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrNotFound);
    nyxdwTopOccFindViewOccByPath(t, nullptr, &e);
    EXPECT_EQ(e, nyxdrErrBadPath);
    nyxdwTopOccGetInstOccs(t, 4, &e);
    EXPECT_EQ(e, cfidrErrBadIterMode);
    nyxdwNetOccGetPortOccs(m1, 4, &e);
    EXPECT_EQ(e, nyxdwErrBadPortScanMode);
}

// A generated design of three levels, every view occurrence and net occurrence named by its
// pathname and found again by its path.
TEST_F(Walk, PathLookupsBothWaysOverAGeneratedDesign) {
    cfiOID leaf = view("cell");
    port(leaf, "z");
    cfiOID below = leaf;
    for (int level = 0; level < 3; ++level) {
        cfiOID v = view("lvl" + std::to_string(level));
        for (int k = 0; k < 3 + level; ++k) {
            cfiOID n = net(v, "n" + std::to_string(k));
            cfiOID i = inst(v, below, "i" + std::to_string(k));
            if (level == 0) attachPin(n, i, "z");
        }
        below = v;
    }
    cfiOID t = topOcc(config(below, "gen"));
    ASSERT_EQ(e, 0);
    int views = 0, nets = 0;
    cfidrIterT it = nyxdwTopOccGetInstOccs(t, 3, &e);
    for (cfiOID o = nyxdwIterNextInstOcc(it, &e); o.object != 0; o = nyxdwIterNextInstOcc(it, &e)) {
        const char *const *path = nyxdwOccGetPath(o, &e);
        std::vector<std::string> copy;
        for (int k = 0; path[k] != nullptr; ++k) copy.push_back(path[k]);
        std::vector<const char *> names;
        for (const std::string &s : copy) names.push_back(s.c_str());
        names.push_back(nullptr);
        cfiOID found = nyxdwTopOccFindViewOccByPath(t, names.data(), &e);
        ASSERT_EQ(e, 0) << nyxdwOccGetZILPathname(o, &e);
        EXPECT_EQ(found.object, o.object);
        EXPECT_EQ(found.tag, o.tag);
        ++views;
        if (nyxdwViewOccGetHierarchyLevel(o, &e) == nyxdwLeafLevel) continue;
        cfidrIterT ni = nyxdwViewOccGetNetOccs(o, &e);
        for (cfiOID n = nyxdwIterNextNetOcc(ni, &e); n.object != 0; n = nyxdwIterNextNetOcc(ni, &e)) {
            names.back() = nullptr;
            std::string netName = name(nyxdwNetOccGetNet(n, &e));
            names.back() = netName.c_str();
            names.push_back(nullptr);
            EXPECT_EQ(nyxdwTopOccFindNetOccByPath(t, names.data(), &e).object, n.object);
            EXPECT_EQ(e, 0);
            names.pop_back();
            names.back() = nullptr;
            ++nets;
        }
        nyxdwIterQuit(ni, &e);
    }
    EXPECT_EQ(e, 0);
    nyxdwIterQuit(it, &e);
    // 5 + 5*4 + 5*4*3 instance occurrences; nets 4*5 + 3*20 below the top.
    EXPECT_EQ(views, 5 + 20 + 60);
    EXPECT_EQ(nets, 20 + 60);
}

TEST_F(Walk, The257thTreeFailsUntilAnotherIsDropped) {
    small();
    std::vector<cfiOID> tops;
    for (int k = 0; k < 256; ++k) {
        tops.push_back(topOcc(config(top, "dc" + std::to_string(k))));
        ASSERT_EQ(e, 0) << k;
    }
    cfiOID last = config(top, "dc256");
    EXPECT_EQ(topOcc(last).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccTreeFailed);
    cfidrIterT it = nyxdwTopOccGetInstOccs(tops[7], 3, &e);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 4u);
    nyxdwTopOccDestroy(tops[7], &e);
    ASSERT_EQ(e, 0);
    // The dropped tree's identifiers name nothing; the 257th configuration builds now.
    nyxdwOccGetOwner(tops[7], &e);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    cfiOID t = topOcc(last);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(t.object, 3u);
    // The only free id is the one just given up: it is handed out again, so the dropped tree's
    // identifiers name the new tree (eight bits of design id cannot tell them apart).
    EXPECT_EQ(t.tag, tops[7].tag);
    // A walk of the dropped tree reads neither it nor the new tree under its design id.
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterQuit(it, &e);
}

// Walk iterators answer from their record of the resolved tree while no tree was dropped and
// no view edited or deleted: a tree destroyed without any edit must still end the walk.
TEST_F(Walk, TreeDestroyedWithoutAnEditEndsTheWalkWith31001) {
    small();
    cfiOID cfg = config(top, "dc");
    cfiOID t = topOcc(cfg);
    const std::string all = drain(nyxdwTopOccGetInstOccs(t, 3, &e), nyxdwIterNextInstOcc);
    cfidrIterT it = nyxdwTopOccGetInstOccs(t, 3, &e);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 4u);
    const uint32_t version = nyxSettings::getViewVersion();
    const uint64_t epoch = nyxNetlistView::epoch(), dropped = nyxdw::treesDropped();
    nyxdwTopOccDestroy(t, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(nyxSettings::getViewVersion(), version);
    EXPECT_EQ(nyxNetlistView::epoch(), epoch);
    EXPECT_EQ(nyxdw::treesDropped(), dropped + 1);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    // A new tree of the same configuration (its memory may be the old tree's): still 31001.
    cfiOID t2 = topOcc(cfg);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterQuit(it, &e);
    e = 0;
    // The new tree walks the same ids under its own design id.
    EXPECT_EQ(drain(nyxdwTopOccGetInstOccs(t2, 3, &e), nyxdwIterNextInstOcc), all);
    EXPECT_EQ(e, 0);
}

TEST_F(Walk, EditsPurgesAndDestroysDuringAWalkEndItWith31001) {
    small();
    cfiOID cfg = config(top, "dc");
    cfiOID t = topOcc(cfg);
    cfidrIterT it = nyxdwTopOccGetInstOccs(t, 3, &e);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 4u);
    net(sub, "extra");  // an edit of a view of the tree: the tree is stale
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwOccGetOwner(t, &e);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    // A new tree under a new design id; the old iterator still reads nothing.
    cfiOID t2 = topOcc(cfg);
    EXPECT_EQ(e, 0);
    EXPECT_NE(t2.tag, t.tag);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterQuit(it, &e);

    it = nyxdwViewOccGetNetOccs(t2, &e);
    dmtest::ok(nyxdrDesignConfigPurge, cfg);
    EXPECT_EQ(nyxdwIterNextNetOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterReset(it, &e);
    EXPECT_EQ(nyxdwIterNextNetOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterQuit(it, &e);
    EXPECT_EQ(e, 0);

    dmtest::ok(cfidrViewSave, and2);
    cfg = config(top, "dc2");
    t = topOcc(cfg);
    it = nyxdwTopOccGetInstOccs(t, 1, &e);
    cfidrViewPurge(and2, &e);  // a view going makes every tree stale
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterQuit(it, &e);
    t = topOcc(cfg);  // the view comes back from its file when asked again
    ASSERT_EQ(e, 0);
    it = nyxdwTopOccGetInstOccs(t, 3, &e);
    cfidrObjectDestroy(cfg, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwIterQuit(it, &e);
}

TEST(WalkWords, HandedOutIdentifiersAreTheEncodedWords) {
    for (int32_t kind = nyxOccNet; kind <= nyxOccPort; ++kind) {
        for (int32_t design : {0, 17, 255}) {
            nyxOccRef r;
            r.id = kind == nyxOccTop ? 3 : 0x7fffffff - design;
            r.kind = kind;
            r.designId = design;
            r.port = kind == nyxOccPort ? nyxdw::kMaxPorts - 1 - design : 0;
            nyxOccWords w;
            ASSERT_TRUE(nyxdw::encodeWords(r, &w));
            cfidrErrorT e = 0;
            const cfiOID id = nyxpiwalk::occId(r, &e);
            EXPECT_EQ(id.object, w.word);
            EXPECT_EQ(id.tag, w.tag);
        }
    }
}

// A build that fails keeps no tree and holds no design id; the next one after the fault is
// mended builds under a fresh id.
TEST_F(Walk, FailedBuildsHoldNoDesignId) {
    cfiOID a = view("a");
    cfiOID b = view("b");
    inst(a, b, "toB");
    cfiOID toA = inst(b, a, "toA");
    cfiOID cfg = config(a, "dc");
    const int32_t held = nyxDesignConfig::designIdsHeld();
    EXPECT_EQ(topOcc(cfg).object, 0u);
    EXPECT_EQ(e, cfidrErrRecursiveDescriber);
    EXPECT_EQ(nyxDesignConfig::designIdsHeld(), held);
    dmtest::ok(cfidrObjectDestroy, toA);
    cfiOID t = topOcc(cfg);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(nyxDesignConfig::designIdsHeld(), held + 1);
    nyxdwTopOccDestroy(t, &e);
    EXPECT_EQ(nyxDesignConfig::designIdsHeld(), held);
    // A root view that went unsaved leaves nothing to compute.
    cfiOID lone = view("lone");
    cfiOID cfg2 = config(lone, "dc2");
    dmtest::ok(cfidrViewPurge, lone);
    EXPECT_EQ(topOcc(cfg2).object, 0u);
    EXPECT_EQ(e, nyxdwErrOccTreeFailed);
    EXPECT_EQ(nyxDesignConfig::designIdsHeld(), held);
}

// Run under the asan preset, the leak check fails the suite when the walk is not freed.
TEST_F(Walk, WalkOfAnIteratorNeverQuitIsFreedWithTheSession) {
    small();
    cfiOID t = topOcc(config(top, "dc"));
    cfidrIterT it = nyxdwTopOccGetInstOccs(t, 3, &e);
    EXPECT_EQ(nyxdwIterNextInstOcc(it, &e).object, 4u);
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
    EXPECT_EQ(e, 0);
}

// Fabricated and stale identifiers give 31001 and the null result in both modes; kinds give 15
// only while the program is checked.
TEST_F(Walk, HostileIdentifiersInBothModes) {
    small();
    cfiOID cfg = config(top, "dc");
    cfiOID t = topOcc(cfg);
    const uint32_t design = t.tag & 0xff0;
    const uint32_t inst = 1 | (nyxdwInstOccKind << 1) | design;
    const uint32_t net = 1 | (nyxdwNetOccKind << 1) | design;
    const uint32_t portTag = 1 | (nyxdwPortOccKind << 1) | design;
    const std::vector<cfiOID> hostile = {
        {3, 1 | (nyxdwTopOccKind << 1) | (200u << 4)},  // a design id nobody holds
        {78, inst},                                    // past the tree
        {0x7fffffff, inst}, {0x80000000u, inst}, {2, inst},
        {10, inst},                                    // a free slot of the top's instances
        {5, net},                                      // a free net slot of the top
        {69, portTag | (5u << 12)},                    // port position past and2's ports
        {3, portTag | (0xfffffu << 12)},
        {3, 1 | (7u << 1) | design},                   // kind 7
        {66, 1 | (nyxdwFlatNetKind << 1) | design},
    };
    for (bool trusted : {false, true}) {
        nyxtest::setTrustedModes(trusted, false);
        for (const cfiOID &h : hostile) {
            e = 0;
            EXPECT_EQ(nyxdwOccGetOwner(h, &e).object, 0u);
            EXPECT_TRUE(e == nyxdwErrOccUnusable || (!trusted && e == cfidrErrWrongType)) << h.object << " " << e;
            EXPECT_EQ(nyxdwInstOccGetInst(h, &e).object, 0u);
            EXPECT_NE(e, 0);
            EXPECT_STREQ(nyxdwOccGetZILPathname(h, &e), "");
            EXPECT_EQ(nyxdwViewOccGetHierarchyLevel(h, &e), nyxdwErrorLevel);
            nyxdwPortOccGetOutsideNetOcc(h, &e);
            EXPECT_NE(e, 0);
        }
        // A top occurrence handed to an instance accessor; an ordinary identifier.
        nyxdwInstOccGetInst(t, &e);
        EXPECT_EQ(e, trusted ? nyxdwErrOccUnusable : cfidrErrWrongType);
        nyxdwObjectGetObjectType(cfg, &e);
        EXPECT_EQ(e, trusted ? nyxdwErrOccUnusable : cfidrErrWrongType);
        // An iterator of another kind.
        cfidrIterT nets = nyxdwViewOccGetNetOccs(t, &e);
        nyxdwIterNextInstOcc(nets, &e);
        EXPECT_EQ(e, cfidrErrIterWrongType);
        nyxdwIterNextFlatNet(nets, &e);
        EXPECT_EQ(e, cfidrErrIterWrongType);
        cfidrIterNextNet(nets, &e);
        EXPECT_EQ(e, cfidrErrIterWrongType);
        nyxdwIterQuit(nets, &e);
        EXPECT_EQ(e, 0);
    }
    nyxtest::clearTrustedModes();
    // A stale top: destroyed, then every accessor refuses it.
    nyxdwTopOccDestroy(t, &e);
    EXPECT_EQ(e, 0);
    nyxdwTopOccDestroy(t, &e);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    nyxdwPICreateTopOcc(cfiOID{0, 0}, &e);
    EXPECT_EQ(e, nyxdwErrOccUnusable);
}

} // namespace
