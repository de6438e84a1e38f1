// Port instances through the exported interface: group storage of large buses and bundles,
// pre-order positions, lookups by describer name, attach and detach, describer checks,
// properties, and what destroying an instance does to its nets.
#include <string>
#include <vector>

#include "dm/port_fixture.h"
#include "dm/netlist/netlist.h"
#include "dm/netlist/portinstInt.h"
#include "pi/pi.h"
#include "dm/dm_checks.h"
#include "common/modes.h"

namespace {

struct PortInsts : porttest::Session {
    void SetUp() override {
        Session::SetUp();
        leafCell = cfidrLibCreateCell(lib, "leaf", &e);
        ASSERT_EQ(e, 0);
        leaf = cfidrCellCreateNetlistView(leafCell, "netlist", &e);
        ASSERT_EQ(e, 0);
    }
    cfiOID inst(const char *name, cfiOID describer = {}) {
        return dmtest::ok(cfidrNetlistViewCreateInst, view, describer.object != 0 ? describer : leaf, name);
    }
    cfiOID find(cfiOID owner, const char *name) {
        cfidrErrorT err = -1;
        cfiOID p = cfidrObjectGetObjectType(owner, &err) == cfidrInstType
                       ? cfidrInstFindPortInstByDescriberName(owner, name, &err)
                       : cfidrPortInstBundleFindPortInstByDescriberName(owner, name, &err);
        EXPECT_EQ(err, 0) << name;
        return p;
    }
    cfiOID net(const char *name) { return dmtest::ok(cfidrNetlistViewCreateNetScalar, view, name); }
    std::string describerName(cfiOID pi) { return dmtest::ok(cfidrPortInstGetDescriberName, pi); }
    // Describer names of what a port-instance iterator yields, blank separated.
    std::string names(cfidrIterT it) {
        cfidrErrorT err = 0;
        std::string out;
        for (cfiOID p = cfidrIterNextPortInst(it, &err); p.object != 0; p = cfidrIterNextPortInst(it, &err)) {
            out += (out.empty() ? "" : " ") + describerName(p);
        }
        EXPECT_EQ(err, 0);
        cfidrIterQuit(it, &err);
        return out;
    }
    // Every position of the instance maps to a port instance whose position is that number.
    void checkPositions(cfiOID i, int32_t expectedCount) {
        cfidrErrorT err = -1;
        int32_t n = nyxdrInstGetPortInstCount(i, &err);
        ASSERT_EQ(n, expectedCount);
        for (int32_t k = 0; k < n; ++k) {
            cfiOID p = nyxdrInstFindPortInstByPosition(i, k, &err);
            ASSERT_EQ(err, 0) << k;
            ASSERT_EQ(nyxdrPortInstGetPositionInInst(p, &err), k);
        }
        nyxdrInstFindPortInstByPosition(i, n, &err);
        EXPECT_EQ(err, cfidrErrNotFound);
        nyxdrInstFindPortInstByPosition(i, -1, &err);
        EXPECT_EQ(err, cfidrErrNotFound);
    }

    cfiOID leafCell{}, leaf{};
};

using namespace nyxPortInstInt;

} // namespace

TEST_F(PortInsts, LargeGroupsFillFirstAndContinuationBlocks) {
    cfiOID bus = port(leaf, 'b', "d");
    for (int k = 0; k < 300; ++k) port(bus, 's', ("d" + std::to_string(k)).c_str());
    cfiOID bundle = port(leaf, 'g', "g");
    for (int k = 0; k < 250; ++k) port(bundle, 's', ("g" + std::to_string(k)).c_str());
    cfiOID i = inst("i1");

    cfiOID pb = find(i, "d"), pg = find(i, "G");
    EXPECT_EQ(cfidrObjectGetObjectType(pb, &e), cfidrPortInstBusType);
    EXPECT_EQ(cfidrObjectGetObjectType(pg, &e), cfidrPortInstBundleType);
    EXPECT_EQ(cfidrPortInstBundleGetSize(pb, &e), 300);
    EXPECT_EQ(cfidrPortInstBundleGetSize(pg, &e), 250);
    EXPECT_EQ(cfidrPortInstBusGetStart(pb, &e), 0);
    EXPECT_EQ(cfidrPortInstBusGetStep(pb, &e), 1);

    // 244 + 56 bus members and 246 + 4 bundle members, chained blocks of the group's class.
    auto blocks = [](cfiOID g) {
        std::vector<int32_t> counts;
        void *w = nyxpi::address(g.object);
        for (nyxListBlock *b = firstBlock(w); b != nullptr; b = b->next()) {
            EXPECT_EQ(b->listType(), nyxPortInst::code(w));
            EXPECT_EQ(b->parent(), w);
            counts.push_back(wordsIn(b, nyxPortInst::size(w)));
        }
        return counts;
    };
    EXPECT_EQ(blocks(pb), (std::vector<int32_t>{244, 56}));
    EXPECT_EQ(blocks(pg), (std::vector<int32_t>{246, 4}));

    // Members on both sides of a block boundary keep their names, owners and positions.
    for (const char *name : {"d243", "d244", "d299"}) {
        cfiOID m = find(pb, name);
        EXPECT_EQ(describerName(m), name);
        EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstGetOwner(m, &e), pb, &e));
    }
    EXPECT_EQ(nyxdrPortInstGetPositionInInst(find(pb, "d244"), &e), 1 + 244);
    EXPECT_EQ(nyxdrPortInstGetPositionInInst(find(pg, "g249"), &e), 301 + 1 + 249);
    checkPositions(i, 1 + 300 + 1 + 250);
    EXPECT_EQ(names(cfidrPortInstBundleGetPortInsts(pg, cfidrTopLevelIterMode, &e)).size(),
              names(cfidrPortInstBundleGetPortInsts(pg, cfidrScalarIterMode, &e)).size());
}

TEST_F(PortInsts, PreOrderPositionsAndIterationModesOverNestedGroups) {
    port(leaf, 's', "a");
    cfiOID g = port(leaf, 'g', "g");
    port(g, 's', "x");
    cfiOID b = port(g, 'b', "b");
    port(b, 's', "b0");
    port(b, 's', "b1");
    port(g, 's', "y");
    port(leaf, 's', "z");
    cfiOID i = inst("i1");

    checkPositions(i, 8);
    std::string order;
    for (int32_t k = 0; k < 8; ++k) order += (k ? " " : "") + describerName(nyxdrInstFindPortInstByPosition(i, k, &e));
    EXPECT_EQ(order, "a g x b b0 b1 y z");
    EXPECT_EQ(names(cfidrInstGetPortInsts(i, cfidrAllIterMode, &e)), order);
    EXPECT_EQ(names(cfidrInstGetPortInsts(i, cfidrScalarIterMode, &e)), "a x b0 b1 y z");
    EXPECT_EQ(names(cfidrInstGetPortInsts(i, cfidrBundleIterMode, &e)), "g b");
    EXPECT_EQ(names(cfidrInstGetPortInsts(i, cfidrTopLevelIterMode, &e)), "a g z");
    EXPECT_EQ(names(cfidrPortInstBundleGetPortInsts(find(i, "g"), cfidrAllIterMode, &e)),
              "x b b0 b1 y");
    EXPECT_CODE(cfidrInstGetPortInsts(i, 5, &e), cfidrErrBadIterMode);

    // Owners: the instance at the top, the holding group below.
    cfiOID pb = find(find(i, "g"), "b");
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstGetOwner(find(i, "a"), &e), i, &e));
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstGetOwner(pb, &e), find(i, "g"), &e));
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstGetOwner(find(pb, "B1"), &e), pb, &e));

    // Lookup failures.
    EXPECT_CODE(cfidrInstFindPortInstByDescriberName(i, "nothing", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrInstFindPortInstByDescriberName(i, "bad\x01", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrPortInstBundleFindPortInstByDescriberName(find(i, "g"), "b0", &e),
                cfidrErrNotFound);
    EXPECT_CODE(cfidrPortInstBundleGetSize(find(i, "a"), &e), cfidrErrWrongType);
    EXPECT_CODE(cfidrObjectDestroy(find(i, "a"), &e), cfidrErrIllegalOperation);
}

TEST_F(PortInsts, AttachAndDetachScalarsAndGroups) {
    port(leaf, 's', "a");
    cfiOID lb = port(leaf, 'b', "d");
    port(lb, 's', "d0");
    port(lb, 's', "d1");
    cfiOID i = inst("i1"), i2 = inst("i2");
    cfiOID a = find(i, "a"), n = net("n");

    EXPECT_CODE(cfidrNetAttachPortInst(n, a, cfidrPositionAttachMode, &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstScalarGetNetScalar(a, &e), n, &e));
    EXPECT_CODE(cfidrNetAttachPortInst(n, a, cfidrPositionAttachMode, &e),
                cfidrErrPortInstAttached); // again on the same net: nothing changes
    EXPECT_CODE(cfidrNetAttachPortInst(net("other"), a, cfidrPositionAttachMode, &e),
                cfidrErrPortInstAttached);
    cfidrNetAttachPortInst(n, find(i2, "a"), cfidrNameAttachMode,
                           &e); // mode 2: describer name "a" against "n"
    EXPECT_EQ(e, cfidrErrNoNameMatch);
    EXPECT_CODE(cfidrNetAttachPortInst(n, find(i, "d"), cfidrPositionAttachMode, &e),
                cfidrErrBundleToScalar);
    cfidrIterT it = cfidrNetGetPortInsts(n, &e);
    cfiOID first = cfidrIterNextPortInst(it, &e);
    EXPECT_TRUE(cfidrObjectIsSame(first, a, &e));
    EXPECT_EQ(cfidrIterNextPortInst(it, &e).object, 0u);
    cfidrIterQuit(it, &e);
    EXPECT_CODE(cfidrNetDetachPortInst(n, a, &e), 0);
    EXPECT_EQ(cfidrPortInstScalarGetNetScalar(a, &e).object, 0u);
    EXPECT_CODE(cfidrNetDetachPortInst(n, a, &e), cfidrErrPortInstNotAttached);

    // Group attach by position, then by name (net members named like the describer ports).
    cfiOID bus = cfidrNetlistViewCreateNetBus(view, "bus", 0, 1, &e);
    cfiOID d0 = net("d0"), d1 = net("d1");
    cfidrNetBundleInsertNet(bus, d1, -1, &e);
    cfidrNetBundleInsertNet(bus, d0, -1, &e);
    EXPECT_CODE(cfidrNetAttachPortInst(bus, find(i, "d"), cfidrPositionAttachMode, &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstScalarGetNetScalar(find(find(i, "d"), "d0"), &e), d1, &e));
    EXPECT_CODE(cfidrNetAttachPortInst(bus, find(i2, "d"), cfidrNameAttachMode, &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstScalarGetNetScalar(find(find(i2, "d"), "d0"), &e), d0, &e));
    // The group of i2 is now on d0/d1: attaching it by position would pair d0 with d1 (28).
    EXPECT_CODE(cfidrNetAttachPortInst(bus, find(i2, "d"), cfidrPositionAttachMode, &e),
                cfidrErrPortInstAttached);
    // The bus net lists the port-instance groups holding scalars on its members.
    it = cfidrNetGetPortInsts(bus, &e);
    EXPECT_EQ(names(it), "d d");
    cfidrNetAttachPortInst(cfidrNetlistViewCreateNetBundle(view, "nothing", &e), find(i2, "d"),
                           cfidrNameAttachMode, &e);
    EXPECT_EQ(e, cfidrErrNoNameMatch);
    it = cfidrPortInstBundleGetNetBundles(find(i, "d"), &e);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextNetBundle(it, &e), bus, &e));
    EXPECT_EQ(cfidrIterNextNetBundle(it, &e).object, 0u);
    cfidrIterQuit(it, &e);

    EXPECT_CODE(cfidrNetDetachPortInst(bus, find(i, "d"), &e), 0);
    EXPECT_EQ(cfidrPortInstScalarGetNetScalar(find(find(i, "d"), "d1"), &e).object, 0u);
    EXPECT_CODE(cfidrNetDetachPortInst(bus, find(i, "d"), &e), cfidrErrPortInstNotAttached);

    // Destroying a net leaves its port instances unattached.
    ASSERT_CODE(cfidrObjectDestroy(d0, &e), 0);
    EXPECT_EQ(cfidrPortInstScalarGetNetScalar(find(find(i2, "d"), "d0"), &e).object, 0u);
}

TEST_F(PortInsts, DescriberChecksAndNames) {
    cfiOID pa = port(leaf, 's', "A");
    cfiOID lb = port(leaf, 'b', "d");
    port(lb, 's', "d0");
    cfiOID i = inst("i1");
    EXPECT_CODE(cfidrInstCheckDescriber(i, &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstGetDescriber(find(i, "a"), &e), pa, &e));
    EXPECT_EQ(describerName(find(i, "a")), "A");

    // The describer port renamed in letter case only: no difference, but the checked name is
    // refused (1 and "") outside trusted program mode.
    cfidrObjectDestroy(pa, &e);
    ASSERT_CODE(cfidrNetlistViewCreatePortScalar(leaf, "a", 0, cfidrInputDirection, &e), 0);
    EXPECT_CODE(cfidrInstCheckDescriber(i, &e), 0);
    EXPECT_CODE(cfidrPortInstCheckDescriber(find(i, "a"), &e), 0);
    EXPECT_STREQ(cfidrPortInstGetDescriberName(find(i, "a"), &e), "");
    EXPECT_EQ(e, cfidrErrDescriberPortNotFound);
    cfiOID pia = find(i, "a");
    nyxtest::setTrustedModes(true, false);
    EXPECT_STREQ(cfidrPortInstGetDescriberName(pia, &e), "A");
    EXPECT_EQ(e, 0);
    nyxtest::clearTrustedModes();

    // A member more on the describer: 31 for the instance and for the bus port instance.
    cfiOID extra = port(lb, 's', "d1");
    EXPECT_CODE(cfidrInstCheckDescriber(i, &e), cfidrErrMembersDiffer);
    EXPECT_CODE(cfidrPortInstCheckDescriber(find(i, "d"), &e), cfidrErrMembersDiffer);
    EXPECT_CODE(cfidrPortInstCheckDescriber(find(find(i, "d"), "d0"), &e), 0);
    cfidrObjectDestroy(extra, &e);

    // A top-level port more on the describer: 23; a direction changed: 1.
    cfiOID z = port(leaf, 's', "z");
    EXPECT_CODE(cfidrInstCheckDescriber(i, &e), cfidrErrPortInstMissing);
    cfidrObjectDestroy(z, &e);
    cfidrObjectDestroy(cfidrNetlistViewFindPortByName(leaf, "a", &e), &e);
    cfidrNetlistViewCreatePortScalar(leaf, "a", 0, cfidrOutputDirection, &e);
    EXPECT_CODE(cfidrInstCheckDescriber(i, &e), cfidrErrDescriberPortNotFound);
    EXPECT_CODE(cfidrPortInstCheckDescriber(find(i, "a"), &e), cfidrErrDescriberPortNotFound);
    EXPECT_EQ(cfidrPortInstScalarGetDescriberDirection(find(i, "a"), &e), cfidrInputDirection);

    // A port fewer on the describer: 1; the missing port's describer port is not found.
    cfidrObjectDestroy(lb, &e);
    EXPECT_CODE(cfidrInstCheckDescriber(i, &e), cfidrErrDescriberPortNotFound);
    EXPECT_CODE(cfidrPortInstGetDescriber(find(i, "d"), &e), cfidrErrDescriberPortNotFound);
    EXPECT_CODE(cfidrPortInstCheckDescriber(find(i, "d"), &e), cfidrErrDescriberPortNotFound);

    // Without its describer the record still answers in trusted program mode only.
    cfiOID pd = find(i, "d");
    ASSERT_CODE(cfidrObjectDestroy(leaf, &e), 0);
    EXPECT_CODE(cfidrInstCheckDescriber(i, &e), cfidrErrDescriberNotFound);
    EXPECT_STREQ(cfidrPortInstGetDescriberName(pd, &e), "");
    EXPECT_EQ(e, cfidrErrDescriberNotFound);
    EXPECT_CODE(cfidrInstFindPortInstByDescriberName(i, "d", &e), cfidrErrNotFound);
    nyxtest::setTrustedModes(true, false);
    EXPECT_EQ(cfidrInstFindPortInstByDescriberName(i, "D", &e).object, pd.object);
    EXPECT_STREQ(cfidrPortInstGetDescriberName(pd, &e), "d");
}

TEST_F(PortInsts, PropertiesOnPortInstances) {
    port(leaf, 's', "a");
    cfiOID lb = port(leaf, 'b', "d");
    port(lb, 's', "d0");
    cfiOID i = inst("i1");
    cfiOID a = find(i, "a"), d = find(i, "d"), n = net("n");
    cfidrNetAttachPortInst(n, a, cfidrPositionAttachMode, &e);

    auto *v = nyxpi::object<nyxNetlistView>(view);
    nyxNetlistView::viewNowClean(v);
    cfiOID pa = cfidrObjectCreateProp(a, "cap", &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(v->d_changed, 1);  // a property of a port instance is an edit of its view
    cfidrPropSetInt32Value(pa, 7, &e);
    cfiOID pd = cfidrObjectCreateProp(d, "width", &e);
    cfidrPropSetStringValue(pd, "wide", &e);
    cfiOID nested = cfidrObjectCreateProp(pa, "unit", &e);
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPropGetOwner(pa, &e), a, &e));

    // The flag bit of the scalar's word leaves its net readable.
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstScalarGetNetScalar(a, &e), n, &e));
    EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(a, "cap", &e), &e), 7);
    EXPECT_STREQ(cfidrPropGetStringValue(cfidrObjectFindPropByName(d, "width", &e), &e), "wide");
    EXPECT_CODE(cfidrObjectFindPropByName(find(d, "d0"), "width", &e), cfidrErrNotFound);
    cfidrIterT it = cfidrObjectGetProps(a, &e);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextProp(it, &e), pa, &e));
    EXPECT_EQ(cfidrIterNextProp(it, &e).object, 0u);
    cfidrIterQuit(it, &e);

    // Detaching keeps the properties; destroying the instance takes them and the net's side.
    cfidrNetDetachPortInst(n, a, &e);
    EXPECT_EQ(cfidrPropGetInt32Value(pa, &e), 7);
    cfidrNetAttachPortInst(n, a, cfidrPositionAttachMode, &e);
    cfiOID d0 = find(d, "d0");
    ASSERT_CODE(cfidrObjectDestroy(i, &e), 0);
    for (cfiOID id : {d0, d, pd, pa, nested, a}) EXPECT_FALSE(cfidrObjectIsUsable(id, &e));
    it = cfidrNetGetPortInsts(n, &e);
    EXPECT_EQ(cfidrIterNextPortInst(it, &e).object, 0u);
    cfidrIterQuit(it, &e);

    // A new instance in the freed storage starts without properties.
    cfiOID i2 = inst("i2");
    EXPECT_CODE(cfidrObjectFindPropByName(find(i2, "d"), "width", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrObjectFindPropByName(find(i2, "a"), "cap", &e), cfidrErrNotFound);

    // Purging the view withdraws the port instances with it.
    cfiOID m = find(find(i2, "d"), "d0");
    ASSERT_CODE(cfidrViewPurge(view, &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(m, &e));
}

TEST_F(PortInsts, DestroyingAnInstanceDetachesEveryNet) {
    cfiOID lb = port(leaf, 'g', "g");
    for (int k = 0; k < 8; ++k) port(lb, 's', ("m" + std::to_string(k)).c_str());
    cfiOID i = inst("i1"), keep = inst("i2");
    cfiOID n = net("n");
    for (cfiOID x : {i, keep}) {
        for (int k = 0; k < 8; ++k) {
            cfidrNetAttachPortInst(n, find(find(x, "g"), ("m" + std::to_string(k)).c_str()),
                                   cfidrPositionAttachMode, &e);
            ASSERT_EQ(e, 0);
        }
    }
    auto connected = [&] {
        int count = 0;
        cfidrIterT it = cfidrNetGetPortInsts(n, &e);
        while (cfidrIterNextPortInst(it, &e).object != 0) ++count;
        cfidrIterQuit(it, &e);
        return count;
    };
    EXPECT_EQ(connected(), 16);
    ASSERT_CODE(cfidrObjectDestroy(i, &e), 0);
    EXPECT_EQ(connected(), 8);
    EXPECT_EQ(nyxpi::object<nyxNetScalar>(n)->d_connCount, 8u);
    cfiOID m7 = find(find(keep, "g"), "m7");
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstScalarGetNetScalar(m7, &e), n, &e));
    cfidrNetDetachPortInst(n, m7, &e);
    EXPECT_EQ(connected(), 7);
}

TEST_F(PortInsts, SmallGroupsShareSlabsThroughDestroyAndRebuild) {
    cfiOID lb = port(leaf, 'b', "b");
    for (int k = 0; k < 3; ++k) port(lb, 's', ("b" + std::to_string(k)).c_str());
    port(leaf, 'g', "empty");
    cfiOID big = port(leaf, 'g', "big");  // one more than a slab takes: a chain of its own
    for (int k = 0; k < 65; ++k) port(big, 's', ("m" + std::to_string(k)).c_str());
    std::vector<cfiOID> insts;
    for (int k = 0; k < 60; ++k) insts.push_back(inst(("i" + std::to_string(k)).c_str()));

    cfiOID b0 = find(insts[0], "b");
    void *w = nyxpi::address(b0.object);
    nyxListBlock *slab = blockOfWord(groupAddr(w));
    EXPECT_TRUE(isSlab(slab));
    EXPECT_TRUE(isSlab(blockOfWord(groupAddr(nyxpi::address(find(insts[0], "empty").object)))));
    EXPECT_FALSE(isSlab(blockOfWord(groupAddr(nyxpi::address(find(insts[0], "big").object)))));
    EXPECT_GT(slab->count(), 1);  // shared with the buses of other instances

    // Destroy every other instance, then build as many again: the freed objects are reused and
    // every tree still reads back whole.
    for (size_t k = 0; k < insts.size(); k += 2) ASSERT_CODE(cfidrObjectDestroy(insts[k], &e), 0);
    for (size_t k = 0; k < insts.size(); k += 2) insts[k] = inst(("j" + std::to_string(k)).c_str());
    cfiOID n = net("n");
    for (cfiOID i : insts) {
        checkPositions(i, 1 + 3 + 1 + 1 + 65);
        cfiOID pb = find(i, "b");
        EXPECT_EQ(cfidrPortInstBusGetStart(pb, &e), 0);
        EXPECT_EQ(cfidrPortInstBundleGetSize(find(i, "empty"), &e), 0);
        cfiOID m = find(pb, "b2");
        EXPECT_TRUE(cfidrObjectIsSame(cfidrPortInstGetOwner(m, &e), pb, &e));
        ASSERT_CODE(cfidrNetAttachPortInst(n, m, cfidrPositionAttachMode, &e), 0);
        EXPECT_EQ(describerName(find(find(i, "big"), "m64")), "m64");
    }
    EXPECT_EQ(nyxpi::object<nyxNetScalar>(n)->d_connCount, insts.size());
    for (cfiOID i : insts) cfidrObjectDestroy(i, &e);
    EXPECT_EQ(nyxpi::object<nyxNetScalar>(n)->d_connCount, 0u);
}
