// Whatever the interface lets be built must save and read back: nets, ports and properties nest
// as deep as the view file holds and creation refuses anything deeper (47); names that no
// directory entry can hold are refused when the view is made (14).
#include "io/view_fixture.h"

#include <cstring>

namespace {

using iotest::ViewSession;
using Nesting = ViewSession;

#define EXPECT_CODE(call, code) do { (void)(call); EXPECT_EQ(e, code) << #call; } while (0)

// Saves the view, purges it and finds it again: the view as read from its file.
cfiOID reread(ViewSession &s, cfiOID v) {
    s.saveAndPurge(v);
    cfidrErrorT err = -1;
    cfiOID again = cfidrCellFindViewByName(s.cell, "netlist", &err);
    EXPECT_EQ(err, 0);
    return again;
}

int32_t count(cfidrIterT it, cfiOID (*next)(cfidrIterT, cfidrErrorT *)) {
    cfidrErrorT err = 0;
    int32_t n = 0;
    while (next(it, &err).object != 0) ++n;
    cfidrIterQuit(it, &err);
    return n;
}

} // namespace

// A chain of net bundles as deep as allowed, with a port chain attached to it by position,
// saves and reads back whole; one step more is refused wherever it would be added.
TEST_F(Nesting, NetBundlesNestedTooDeepToSaveAreRefused) {
    constexpr int kGroups = nyxNet::kMaxNesting;  // groups above the deepest scalar
    // Built from the inside out; each insertion walks the chain below.
    cfiOID deepest = cfidrNetlistViewCreateNetScalar(view, "s", &e);
    cfiOID inner = deepest;
    for (int i = kGroups - 1; i >= 0; --i) {
        cfiOID g = i % 2 == 0 ? cfidrNetlistViewCreateNetBundle(view, ("B" + std::to_string(i)).c_str(), &e)
                              : cfidrNetlistViewCreateNetBus(view, ("B" + std::to_string(i)).c_str(), 0, 1, &e);
        cfidrNetBundleInsertNet(g, inner, -1, &e);
        ASSERT_EQ(e, 0) << i;
        inner = g;
    }
    const cfiOID top = inner;
    // Above the top, below the deepest group and into an empty deepest group: one step too many.
    cfiOID outer = cfidrNetlistViewCreateNetBundle(view, "outer", &e);
    EXPECT_CODE(cfidrNetBundleInsertNet(outer, top, -1, &e), cfidrErrRecursiveBundle);
    cfiOID lowest = cfidrNetlistViewFindNetByName(view, ("B" + std::to_string(kGroups - 1)).c_str(), &e);
    cfiOID pair = cfidrNetlistViewCreateNetBundle(view, "pair", &e);
    cfidrNetBundleInsertNet(pair, cfidrNetlistViewCreateNetScalar(view, "p", &e), -1, &e);
    EXPECT_CODE(cfidrNetBundleInsertNet(lowest, pair, -1, &e), cfidrErrRecursiveBundle);
    cfiOID empty = cfidrNetlistViewCreateNetBundle(view, "empty", &e);
    EXPECT_CODE(cfidrNetBundleInsertNet(lowest, empty, -1, &e), 0);
    EXPECT_CODE(
        cfidrNetBundleInsertNet(empty, cfidrNetlistViewFindNetByName(view, "p", &e), -1, &e),
        cfidrErrRecursiveBundle);
    // A further member of a group that already has one does not deepen anything.
    EXPECT_CODE(cfidrNetBundleInsertNet(lowest, cfidrNetlistViewCreateNetScalar(view, "t", &e), -1, &e), 0);

    // A port chain of the same shape attaches member by member down to the deepest scalar.
    cfiOID port = cfidrNetlistViewCreatePortBundle(view, "P0", -1, &e);
    const cfiOID topPort = port;
    for (int i = 1; i < kGroups; ++i) port = cfidrPortBundleCreatePortBundle(port, "P", -1, &e);
    cfiOID portScalar = cfidrPortBundleCreatePortScalar(port, "ps", -1, cfidrInputDirection, &e);
    ASSERT_EQ(e, 0);
    EXPECT_CODE(cfidrNetAttachPort(top, topPort, cfidrPositionAttachMode, &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortScalarGetNetScalar(portScalar, &e), deepest, &e));

    const std::string before = iotest::dumpView(asView(view));
    cfiOID again = reread(*this, view);
    EXPECT_EQ(iotest::dumpView(asView(again)), before);
    cfiOID s = cfidrNetlistViewFindNetByName(again, "s", &e);
    EXPECT_EQ(count(cfidrNetGetNetBundles(s, &e), cfidrIterNextNetBundle), kGroups);
    EXPECT_EQ(count(cfidrNetGetPorts(s, &e), cfidrIterNextPort), 1);
    cfiOID topAgain = cfidrNetlistViewFindNetByName(again, "B0", &e);
    // Mode 1 reaches the scalars at the bottom: s and t.
    EXPECT_EQ(count(cfidrNetBundleGetNets(topAgain, cfidrScalarIterMode, &e), cfidrIterNextNet), 2);
    // The checks hold for the view as read.
    cfiOID outerAgain = cfidrNetlistViewFindNetByName(again, "outer", &e);
    EXPECT_CODE(cfidrNetBundleInsertNet(outerAgain, topAgain, -1, &e), cfidrErrRecursiveBundle);
}

// Ports and properties on properties nest as deep as the file holds and round-trip; one level
// more is refused at creation.
TEST_F(Nesting, PortsAndPropertiesNestedTooDeepToSaveAreRefused) {
    cfiOID port = cfidrNetlistViewCreatePortBus(view, "P", -1, 0, 1, &e);
    for (int i = 1; i <= nyxPort::kMaxNesting; ++i) {
        port = cfidrPortBundleCreatePortBundle(port, ("P" + std::to_string(i)).c_str(), -1, &e);
        ASSERT_EQ(e, 0) << i;
    }
    EXPECT_CODE(cfidrPortBundleCreatePortScalar(port, "x", -1, cfidrUndefinedDirection, &e),
                cfidrErrRecursiveBundle);

    cfiOID prop = cfidrObjectCreateProp(view, "p0", &e);
    for (int i = 1; i <= nyxPropMaxNesting; ++i) {
        prop = cfidrObjectCreateProp(prop, ("p" + std::to_string(i)).c_str(), &e);
        ASSERT_EQ(e, 0) << i;
    }
    cfidrPropSetInt32Value(prop, 7, &e);
    EXPECT_CODE(cfidrObjectCreateProp(prop, "deeper", &e), cfidrErrRecursiveBundle);
    EXPECT_CODE(cfidrObjectCreateProp(prop, "", &e), cfidrErrBadName);

    const std::string before = iotest::dumpView(asView(view));
    cfiOID again = reread(*this, view);
    EXPECT_EQ(iotest::dumpView(asView(again)), before);
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(again, &e), nyxPort::kMaxNesting + 1);
    // Purging withdraws the identifiers of the deepest port and property too.
    cfiOID deepPort = nyxdrNetlistViewFindPortByPosition(again, nyxPort::kMaxNesting, &e);
    ASSERT_EQ(e, 0);
    cfidrViewPurge(again, &e);
    EXPECT_EQ(e, 0);
    EXPECT_FALSE(cfidrObjectIsUsable(deepPort, &e));
}

// A view file name is the encoded view name, ".nyxNetlistView" and, while it is replaced, a
// companion suffix: a longer name than that leaves room for is refused when the view is made.
TEST_F(Nesting, ViewNamesTooLongForAFileAreRefusedAtCreation) {
    const size_t room = nyxDMPath::kMaxEntry - std::strlen(".nyxNetlistView") - nyxDMPath::kCompanionSuffix;
    EXPECT_CODE(cfidrCellCreateNetlistView(cell, std::string(room + 1, 'v').c_str(), &e),
                cfidrErrBadName);
    cfiOID longest = cfidrCellCreateNetlistView(cell, std::string(room, 'v').c_str(), &e);
    ASSERT_EQ(e, 0);
    cfidrNetlistViewCreateNetScalar(longest, "n", &e);
    cfidrViewSave(longest, &e);
    EXPECT_EQ(e, 0);
    EXPECT_TRUE(nyxFileIO::isFile(filePath(std::string(room, 'v').c_str())));
}

// An instance of a view whose ports nest as deep as allowed carries the whole port tree in its
// describer record and port instances, connected at the deepest level, across a save.
TEST_F(Nesting, InstancesOfDeeplyNestedDescribersRoundTrip) {
    cfiOID dcell = cfidrLibCreateCell(lib, "dcell", &e);
    cfiOID d = cfidrCellCreateNetlistView(dcell, "d", &e);
    cfiOID port = cfidrNetlistViewCreatePortBundle(d, "P", -1, &e);
    for (int i = 1; i < nyxPort::kMaxNesting; ++i) port = cfidrPortBundleCreatePortBus(port, "P", -1, 0, 1, &e);
    cfidrPortBundleCreatePortScalar(port, "leaf", -1, cfidrInputDirection, &e);
    ASSERT_EQ(e, 0);
    cfiOID inst = cfidrNetlistViewCreateInst(view, d, "i", &e);
    ASSERT_EQ(e, 0);
    cfidrIterT it = cfidrInstGetPortInsts(inst, cfidrScalarIterMode, &e);
    cfiOID leaf = cfidrIterNextPortInst(it, &e);
    cfidrIterQuit(it, &e);
    cfiOID n = cfidrNetlistViewCreateNetScalar(view, "n", &e);
    EXPECT_CODE(cfidrNetAttachPortInst(n, leaf, cfidrPositionAttachMode, &e), 0);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);

    const std::string before = iotest::dumpView(asView(view));
    cfiOID again = reread(*this, view);
    EXPECT_EQ(iotest::dumpView(asView(again)), before);
    EXPECT_EQ(count(cfidrNetGetPortInsts(cfidrNetlistViewFindNetByName(again, "n", &e), &e), cfidrIterNextPortInst), 1);
    EXPECT_CODE(cfidrInstCheckDescriber(cfidrNetlistViewFindInstByName(again, "i", &e), &e), 0);
}
