// Nets through the exported interface: creation codes, iteration modes, positions, connection
// storage, attach and detach of scalars and groups, membership, aliases, renaming, properties.
#include <functional>

#include "dm/netlist/netlist.h"
#include "dm/netlist/netmap.h"
#include "dm/port_fixture.h"
#include "pi/pi.h"
#include "utils/settings.h"
#include "dm/dm_checks.h"
#include "common/modes.h"

using porttest::Session;

namespace {

struct Nets : Session {
    cfiOID net(char kind, const char *name, cfiOID v = {}) {
        cfidrErrorT err = -1;
        if (v.object == 0) v = view;
        cfiOID n = kind == 's'   ? cfidrNetlistViewCreateNetScalar(v, name, &err)
                   : kind == 'b' ? cfidrNetlistViewCreateNetBus(v, name, 0, 1, &err)
                                 : cfidrNetlistViewCreateNetBundle(v, name, &err);
        EXPECT_EQ(err, 0) << name;
        return n;
    }
    void insert(cfiOID g, cfiOID n) {
        EXPECT_CODE(cfidrNetBundleInsertNet(g, n, -1, &e), 0);
    }
    static std::string names(cfidrIterT it, cfiOID (*next)(cfidrIterT, cfidrErrorT *) = cfidrIterNextNet) {
        return dmtest::iterNames(it, next);
    }
    std::string viewNets(int32_t mode) { return names(cfidrNetlistViewGetNets(view, mode, &e)); }
    std::string members(cfiOID g, int32_t mode) { return names(cfidrNetBundleGetNets(g, mode, &e)); }
    std::string portsOf(cfiOID n) { return names(cfidrNetGetPorts(n, &e), cfidrIterNextPort); }
    nyxNetScalar *scalar(cfiOID n) { return nyxpi::object<nyxNetScalar>(n); }
};

} // namespace

TEST_F(Nets, CreationAndLookupFailureCodes) {
    cfiOID s = net('s', "a");
    EXPECT_CODE(cfidrNetlistViewCreateNetBundle(view, "bad\x01", &e), cfidrErrBadName);
    nyxdrNetCreateNetAlias(s, "alias", &e);
    EXPECT_CODE(cfidrNetlistViewCreateNetBundle(view, "alias", &e), cfidrErrNameTaken);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetlistViewFindNetByName(view, "alias", &e), s, &e));
    EXPECT_CODE(cfidrNetlistViewFindNetByName(view, "A", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrNetlistViewFindNetByName(view, "", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrNetlistViewGetNets(view, 5, &e), cfidrErrBadIterMode);
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(lib, "x", &e), cfidrErrWrongType);
    nyxtest::setViewMode(view, cfidrReadMode);
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(view, "ro", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(nyxdrNetCreateNetAlias(s, "ro", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrNetScalarSetIsGlobal(s, 1, &e), cfidrErrNotOpenForUpdate);
    nyxtest::setViewMode(view, cfidrUpdateMode);
    EXPECT_CODE(cfidrNetScalarSetIsGlobal(s, 2, &e), cfidrErrBadValue);
    cfidrNetScalarSetIsGlobal(s, 1, &e);
    EXPECT_EQ(cfidrNetScalarGetIsGlobal(s, &e), 1);
    // Trusted data mode skips the name checks.
    nyxtest::setTrustedModes(false, true);
    EXPECT_NE(cfidrNetlistViewCreateNetScalar(view, "a", &e).object, 0u);
}

TEST_F(Nets, IterationModesOverNestedGroups) {
    cfiOID bus = net('b', "B");
    cfiOID bundle = net('g', "G");
    cfiOID inner = net('g', "I");
    cfiOID b0 = net('s', "b0"), b1 = net('s', "b1"), i0 = net('s', "i0");
    net('s', "free");
    insert(bus, b0);
    insert(bus, b1);
    insert(inner, i0);
    insert(bundle, inner);
    insert(bundle, bus);
    EXPECT_EQ(viewNets(1), "b0 b1 i0 free");
    EXPECT_EQ(viewNets(2), "G I B");
    EXPECT_EQ(viewNets(3), "free G");
    EXPECT_EQ(viewNets(4), "b0 b1 i0 free G I B");
    EXPECT_EQ(members(bundle, 3), "I B");
    EXPECT_EQ(members(bundle, 4), "I i0 B b0 b1");
    EXPECT_EQ(members(bundle, 1), "i0 b0 b1");
    EXPECT_EQ(members(bundle, 2), "I B");
    // A view whose only nets are one bus and its members.
    cfiOID v2 = newView("busonly");
    cfiOID only = net('b', "D", v2);
    insert(only, net('s', "d0", v2));
    EXPECT_EQ(names(cfidrNetlistViewGetNets(v2, cfidrTopLevelIterMode, &e)), "D");
    EXPECT_EQ(names(cfidrNetlistViewGetNets(v2, cfidrScalarIterMode, &e)), "d0");
    // Containing groups, direct and indirect, each once; the recursion check.
    EXPECT_EQ(names(cfidrNetGetNetBundles(i0, &e), cfidrIterNextNetBundle), "I G");
    cfiOID second = net('g', "S");
    insert(second, b0);
    EXPECT_EQ(names(cfidrNetGetNetBundles(b0, &e), cfidrIterNextNetBundle), "S B G");
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetFindNetBundleByName(i0, "G", &e), bundle, &e));
    EXPECT_CODE(cfidrNetBundleInsertNet(inner, bundle, 0, &e), cfidrErrRecursiveBundle);
    EXPECT_CODE(cfidrNetBundleInsertNet(bundle, bundle, 0, &e), cfidrErrRecursiveBundle);
    EXPECT_CODE(cfidrNetBundleInsertNet(bundle, only, 0, &e), cfidrErrNotSameView);
    EXPECT_CODE(cfidrNetBundleRemoveNet(bundle, 2, &e), cfidrErrBadPosition);
    EXPECT_CODE(cfidrNetBundleRemoveNet(bundle, 0, &e), 0);
    EXPECT_EQ(viewNets(3), "free G I S");
    EXPECT_EQ(cfidrNetBundleGetSize(bundle, &e), 1);
    EXPECT_CODE(cfidrNetBundleFindNetByPosition(bundle, 1, &e), cfidrErrBadPosition);
}

TEST_F(Nets, PositionsStayStableAcrossDestruction) {
    std::vector<cfiOID> nets;
    for (int i = 0; i < 30; ++i) nets.push_back(net('s', ("n" + std::to_string(i)).c_str()));
    cfiOID bundle = net('g', "G");
    cfiOID bus = net('b', "B");
    EXPECT_EQ(nyxdrNetGetPosition(nets[25], &e), 25);
    EXPECT_EQ(nyxdrNetGetPosition(bundle, &e), 44);       // after two blocks of 22 scalars
    EXPECT_EQ(nyxdrNetGetPosition(bus, &e), 44 + 27);     // after one block of 27 bundles
    EXPECT_EQ(nyxdrNetlistViewGetNetCount(view, &e), 44 + 27 + 22);
    ASSERT_CODE(cfidrObjectDestroy(nets[3], &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(nets[3], &e));
    EXPECT_EQ(nyxdrNetGetPosition(nets[25], &e), 25);
    EXPECT_CODE(nyxdrNetlistViewFindNetByPosition(view, 3, &e), cfidrErrObjectUnusable);
    EXPECT_CODE(nyxdrNetlistViewFindNetByPosition(view, 44 + 27 + 22, &e), cfidrErrNotFound);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrNetlistViewFindNetByPosition(view, 29, &e), nets[29], &e));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrNetlistViewFindNetByPosition(view, 71, &e), bus, &e));
    // New scalars fill the current block; once it is full, a freed slot of an older block is
    // taken before a new block is made.
    for (int i = 30; i < 44; ++i) EXPECT_EQ(nyxdrNetGetPosition(net('s', ("m" + std::to_string(i)).c_str()), &e), i);
    cfidrObjectDestroy(nets[5], &e);
    EXPECT_EQ(nyxdrNetGetPosition(net('s', "again"), &e), 3);  // the lowest free slot first
    EXPECT_EQ(nyxdrNetGetPosition(net('s', "more"), &e), 5);
    EXPECT_CODE(cfidrNetlistViewFindNetByName(view, "n3", &e), cfidrErrNotFound);
}

TEST_F(Nets, ConnectionStorageAcrossTheInlineBoundary) {
    cfiOID n = net('s', "n");
    std::vector<cfiOID> ports;
    for (int i = 0; i < 7; ++i) {
        ports.push_back(port(view, 's', ("p" + std::to_string(i)).c_str()));
        ASSERT_CODE(cfidrNetAttachPort(n, ports.back(), cfidrPositionAttachMode, &e), 0);
    }
    EXPECT_EQ(portsOf(n), "p0 p1 p2 p3 p4 p5 p6");
    EXPECT_EQ(scalar(n)->d_connCount, 7u);
    // Removing an inline connection while the array exists moves the array's first one in.
    cfidrNetDetachPort(n, ports[1], &e);
    EXPECT_EQ(portsOf(n), "p0 p4 p2 p3 p5 p6");
    for (int i = 6; i >= 2; --i) {
        ASSERT_CODE(cfidrNetDetachPort(n, ports[i], &e), 0);
        // From five connections down, no array is left: every slot is a port.
        EXPECT_LE(scalar(n)->d_connCount, 5u);
        EXPECT_EQ(scalar(n)->d_flags & nyxNetHead::kPortTags, (1u << scalar(n)->d_connCount) - 1);
    }
    cfidrNetDetachPort(n, ports[0], &e);
    EXPECT_EQ(scalar(n)->d_connCount, 0u);
    EXPECT_EQ(portsOf(n), "");
    EXPECT_CODE(cfidrNetDetachPort(n, ports[0], &e), cfidrErrPortNotAttached);
    for (auto &p : ports) EXPECT_EQ(cfidrPortScalarGetNetScalar(p, &e).object, 0u);
}

TEST_F(Nets, ScalarAttachAndDetachCodes) {
    cfiOID n = net('s', "a"), other = net('s', "b");
    cfiOID pa = port(view, 's', "a"), pb = port(view, 's', "b");
    cfiOID foreign = port(newView("v2"), 's', "a");
    cfiOID pbus = port(view, 'b', "pbus");
    EXPECT_CODE(cfidrNetAttachPort(n, pb, cfidrNameAttachMode, &e), cfidrErrNoNameMatch);
    EXPECT_CODE(cfidrNetAttachPort(n, foreign, cfidrPositionAttachMode, &e), cfidrErrNotSameView);
    EXPECT_CODE(cfidrNetAttachPort(n, pbus, cfidrPositionAttachMode, &e), cfidrErrBundleToScalar);
    EXPECT_CODE(cfidrNetAttachPort(n, pa, 3, &e), cfidrErrBadAttachMode);
    EXPECT_CODE(cfidrNetAttachPort(n, n, cfidrPositionAttachMode, &e), cfidrErrNotPort);
    EXPECT_CODE(cfidrNetAttachPort(n, cfiOID{}, cfidrPositionAttachMode, &e), cfidrErrPortUnusable);
    EXPECT_CODE(cfidrNetAttachPortInst(n, pa, cfidrPositionAttachMode, &e), cfidrErrNotPortInst);
    EXPECT_CODE(cfidrNetDetachPortInst(n, cfiOID{}, &e), cfidrErrPortInstUnusable);
    EXPECT_CODE(cfidrNetBundleInsertNet(net('g', "grp"), pa, 0, &e), cfidrErrNotNet);
    EXPECT_CODE(
        cfidrNetBundleInsertNet(cfidrNetlistViewFindNetByName(view, "grp", &e), cfiOID{}, 0, &e),
        cfidrErrNetUnusable);
    EXPECT_CODE(cfidrNetBundleInsertNet(n, other, 0, &e), cfidrErrWrongType);
    EXPECT_CODE(cfidrNetAttachPort(n, pa, cfidrNameAttachMode, &e), 0);
    EXPECT_CODE(cfidrNetAttachPort(other, pa, cfidrPositionAttachMode, &e), cfidrErrPortAttached);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortScalarGetNetScalar(pa, &e), n, &e));
    EXPECT_CODE(cfidrNetDetachPort(other, pa, &e), cfidrErrPortNotAttached);
    // A connected net cannot be renamed; an unconnected one not to a taken name.
    EXPECT_CODE(cfidrNamedObjectSetName(n, "c", &e), cfidrErrIllegalOperation);
    EXPECT_CODE(cfidrNamedObjectSetName(other, "a", &e), cfidrErrNameTaken);
    EXPECT_CODE(cfidrNamedObjectSetName(other, "renamed", &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetlistViewFindNetByName(view, "renamed", &e), other, &e));
    EXPECT_CODE(cfidrNetlistViewFindNetByName(view, "b", &e), cfidrErrNotFound);
    EXPECT_TRUE(nyxpi::object<nyxNetlistView>(view)->netNameMap()->isValid());
    // Destroying the port forgets it on the net; destroying the net forgets it on the port.
    cfidrNetAttachPort(other, pb, cfidrPositionAttachMode, &e);
    cfidrObjectDestroy(pb, &e);
    EXPECT_EQ(scalar(other)->d_connCount, 0u);
    cfidrObjectDestroy(n, &e);
    EXPECT_EQ(cfidrPortScalarGetNetScalar(pa, &e).object, 0u);
}

TEST_F(Nets, GroupAttachByPositionAndByName) {
    cfiOID pbus = port(view, 'b', "P");
    for (const char *m : {"A", "B", "C"}) port(pbus, 's', m);
    cfiOID nbus = net('b', "N");
    cfiOID nc = net('s', "C"), na = net('s', "A");
    insert(nbus, nc);
    insert(nbus, na);
    EXPECT_CODE(cfidrNetAttachPort(nbus, pbus, cfidrNameAttachMode, &e), 0);
    EXPECT_EQ(portsOf(na), "A");
    EXPECT_EQ(portsOf(nc), "C");
    EXPECT_EQ(portsOf(nbus), "P");
    EXPECT_CODE(cfidrNetDetachPort(nbus, pbus, &e), 0);
    EXPECT_EQ(portsOf(na), "");
    EXPECT_CODE(cfidrNetDetachPort(nbus, pbus, &e), cfidrErrPortNotAttached);
    EXPECT_CODE(cfidrNetAttachPort(nbus, pbus, cfidrPositionAttachMode, &e), 0);
    EXPECT_EQ(portsOf(nc), "A");
    EXPECT_EQ(portsOf(na), "B");
    cfidrNetDetachPort(nbus, pbus, &e);

    // No names in common: 24 and nothing attached.
    cfiOID pother = port(view, 'g', "Q");
    port(pother, 's', "x");
    EXPECT_CODE(cfidrNetAttachPort(nbus, pother, cfidrNameAttachMode, &e), cfidrErrNoNameMatch);
    // A scalar paired with a group, and a member attached elsewhere, fail the dry run.
    cfiOID nested = net('g', "NG");
    insert(nested, net('g', "inner"));
    EXPECT_CODE(cfidrNetAttachPort(nested, pother, cfidrPositionAttachMode, &e),
                cfidrErrBundleToScalar);
    EXPECT_CODE(cfidrNetAttachPort(nbus, port(view, 's', "lone"), cfidrPositionAttachMode, &e),
                cfidrErrBundleToScalar);
    cfiOID elsewhere = net('s', "elsewhere");
    cfidrNetAttachPort(elsewhere, cfidrPortBundleFindPortByName(pbus, "B", &e),
                       cfidrPositionAttachMode, &e);
    EXPECT_CODE(cfidrNetAttachPort(nbus, pbus, cfidrPositionAttachMode, &e), cfidrErrPortAttached);
    EXPECT_EQ(portsOf(nc), "");  // the dry run attached nothing
}

TEST_F(Nets, AliasesAndPropertiesOnNets) {
    cfiOID n = net('s', "n");
    cfiOID a1 = nyxdrNetCreateNetAlias(n, "x", &e);
    cfiOID a2 = nyxdrNetCreateNetAlias(n, "y", &e);
    EXPECT_EQ(names(nyxdrNetGetNetAliases(n, &e), nyxdrIterNextNetAlias), "y x");
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrNetAliasGetOwner(a1, &e), n, &e));
    // Without bit 0x40000 a second alias of the same name is made; with it the first returns.
    cfiOID again = nyxdrNetCreateNetAlias(n, "x", &e);
    EXPECT_FALSE(cfidrObjectIsSame(again, a1, &e));
    nyxSettings::setNameOptionBits(nyxSettings::kHdlSelRules);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrNetCreateNetAlias(n, "y", &e), a2, &e));
    nyxSettings::clearNameOptionBits(nyxSettings::kHdlSelRules);
    nyxdrNetAliasSetIsGlobal(a1, 1, &e);
    EXPECT_EQ(nyxdrNetAliasGetIsGlobal(a1, &e), 1);
    EXPECT_EQ(cfidrNetScalarGetIsGlobal(n, &e), 0);

    // Properties on the net, found by name in any case, and on an alias.
    cfiOID p = cfidrObjectCreateProp(n, "Weight", &e);
    cfidrPropSetInt32Value(p, 7, &e);
    EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(n, "WEIGHT", &e), &e), 7);
    cfiOID ap = cfidrObjectCreateProp(a1, "w", &e);
    EXPECT_EQ(e, 0);
    // Destroying the net takes its aliases and their properties.
    EXPECT_CODE(cfidrObjectDestroy(n, &e), 0);
    for (cfiOID id : {a1, a2, again, p, ap}) EXPECT_FALSE(cfidrObjectIsUsable(id, &e));
    EXPECT_CODE(cfidrNetlistViewFindNetByName(view, "x", &e), cfidrErrNotFound);
    EXPECT_TRUE(nyxpi::object<nyxNetlistView>(view)->netNameMap()->isValid());
}

// Net aliases have a rename operation: the net name map follows it, before and after the map
// was built, and the edit checks of alias creation apply.
TEST_F(Nets, NetAliasesCanBeRenamed) {
    cfiOID n = net('s', "n");
    cfiOID a = nyxdrNetCreateNetAlias(n, "old", &e);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "first", &e), 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(a, &e), "first");
    // The map is built by this lookup and kept current by the next rename.
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetlistViewFindNetByName(view, "first", &e), n, &e));
    EXPECT_CODE(cfidrNamedObjectSetName(a, "second", &e), 0);
    EXPECT_CODE(cfidrNetlistViewFindNetByName(view, "first", &e), cfidrErrNotFound);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrNetlistViewFindNetByName(view, "second", &e), n, &e));
    EXPECT_TRUE(nyxpi::object<nyxNetlistView>(view)->netNameMap()->isValid());
    EXPECT_CODE(cfidrNamedObjectSetName(a, "bad\x01", &e), cfidrErrBadName);
    nyxtest::setViewMode(view, cfidrReadMode);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "third", &e), cfidrErrNotOpenForUpdate);
    EXPECT_STREQ(cfidrNamedObjectGetName(a, &e), "second");
}

// Edit checks report a read-only container (42) before anything about the arguments: a null
// name (14), a scalar port paired with a net group (38), a port of another view (37). Each row
// runs once on a read-only container and once on an open one, where the argument fault shows.
TEST_F(Nets, ReadOnlyIsReportedBeforeArgumentFaults) {
    cfiOID s = net('s', "s");
    cfiOID bus = net('b', "bus");
    cfiOID bundle = net('g', "bundle");
    cfiOID alias = nyxdrNetCreateNetAlias(s, "alias", &e);
    cfiOID prop = cfidrObjectCreateProp(s, "prop", &e);
    cfiOID portScalar = port(view, 's', "ps");
    cfiOID otherPort = port(newView("other"), 's', "op");
    struct Row {
        const char *what;
        std::function<void()> call;
        cfidrErrorT whenOpen;
    };
    const Row rows[] = {
        {"create net scalar", [&] { cfidrNetlistViewCreateNetScalar(view, nullptr, &e); }, 14},
        {"create net bus", [&] { cfidrNetlistViewCreateNetBus(view, nullptr, 0, 1, &e); }, 14},
        {"create net bundle", [&] { cfidrNetlistViewCreateNetBundle(view, nullptr, &e); }, 14},
        {"create view", [&] { cfidrCellCreateNetlistView(cell, nullptr, &e); }, 14},
        {"create property", [&] { cfidrObjectCreateProp(s, nullptr, &e); }, 14},
        {"create net alias", [&] { nyxdrNetCreateNetAlias(s, nullptr, &e); }, 14},
        {"rename net", [&] { cfidrNamedObjectSetName(bus, nullptr, &e); }, 14},
        {"rename property", [&] { cfidrNamedObjectSetName(prop, nullptr, &e); }, 14},
        {"rename net alias", [&] { cfidrNamedObjectSetName(alias, nullptr, &e); }, 14},
        {"attach bus to scalar port",
         [&] { cfidrNetAttachPort(bus, portScalar, cfidrPositionAttachMode, &e); }, 38},
        {"attach bundle to scalar port",
         [&] { cfidrNetAttachPort(bundle, portScalar, cfidrNameAttachMode, &e); }, 38},
        {"attach bus to other view",
         [&] { cfidrNetAttachPort(bus, otherPort, cfidrPositionAttachMode, &e); }, 37},
    };
    auto setReadOnly = [&](bool readOnly) {
        nyxtest::setViewMode(view, readOnly ? cfidrReadMode : cfidrUpdateMode);
        nyxtest::setLibMode(lib, readOnly ? cfidrReadMode : cfidrUpdateMode);
    };
    for (const Row &row : rows) {
        setReadOnly(true);
        row.call();
        EXPECT_EQ(e, cfidrErrNotOpenForUpdate) << row.what;
        setReadOnly(false);
        row.call();
        EXPECT_EQ(e, row.whenOpen) << row.what;
    }
    // Trusted data mode skips the checks but never takes a null name or a scalar for a group.
    setReadOnly(true);
    nyxtest::setTrustedModes(false, true);
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(view, nullptr, &e), cfidrErrBadName);
    EXPECT_CODE(cfidrNamedObjectSetName(alias, nullptr, &e), cfidrErrBadName);
    EXPECT_CODE(cfidrNetAttachPort(bus, portScalar, cfidrPositionAttachMode, &e),
                cfidrErrBundleToScalar);
}

// Identifiers are addresses: storage freed by a destruction is reused. Whatever mode destroyed
// the object, its identifiers (and those of its aliases, properties and properties on them) are
// withdrawn, so that a checked call given one reports 16 instead of acting on the object that
// took the place.
TEST_F(Nets, IdentifiersOfDestroyedObjectsNeverNameTheirSuccessors) {
    for (int32_t trustedDestroy : {0, 1}) {
        SCOPED_TRACE(trustedDestroy);
        cfiOID old = net('s', "old");
        cfiOID alias = nyxdrNetCreateNetAlias(old, "old_alias", &e);
        cfiOID prop = cfidrObjectCreateProp(old, "w", &e);
        cfiOID sub = cfidrObjectCreateProp(prop, "s", &e);
        ASSERT_EQ(e, 0);
        nyxdrPISetTrustedProgramMode(trustedDestroy, &e);
        EXPECT_CODE(cfidrObjectDestroy(old, &e), 0);
        // The new net takes the freed slot; made unchecked, its identifier is not handed out.
        nyxdrPISetTrustedProgramMode(1, &e);
        cfiOID fresh = cfidrNetlistViewCreateNetScalar(view, "fresh", &e);
        nyxdrNetCreateNetAlias(fresh, "fresh_alias", &e);
        cfiOID freshProp = cfidrObjectCreateProp(fresh, "w", &e);
        cfidrObjectCreateProp(freshProp, "s", &e);
        nyxdrPISetTrustedProgramMode(0, &e);
        ASSERT_EQ(fresh.object, old.object);
        for (cfiOID id : {old, alias, prop, sub}) {
            EXPECT_CODE(cfidrObjectDestroy(id, &e), cfidrErrObjectUnusable);
            EXPECT_CODE(cfidrNamedObjectGetName(id, &e), cfidrErrObjectUnusable);
        }
        EXPECT_CODE(cfidrObjectDestroy(cfidrNetlistViewFindNetByName(view, "fresh", &e), &e), 0);
    }
    // A purge in trusted program mode withdraws what the view held, too.
    cfiOID n = net('s', "n");
    cfiOID p = cfidrObjectCreateProp(view, "p", &e);
    nyxdrPISetTrustedProgramMode(1, &e);
    EXPECT_CODE(cfidrViewPurge(view, &e), 0);
    nyxdrPISetTrustedProgramMode(0, &e);
    for (cfiOID id : {view, n, p}) EXPECT_FALSE(cfidrObjectIsUsable(id, &e));
}
