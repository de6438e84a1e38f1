// Ports through the exported interface: creation at positions, the full port order, iteration
// modes, failure codes of creation and lookup, buses, directions and properties.
#include "dm/port_fixture.h"

#include "dm/netlist/netlist.h"
#include "pi/pi.h"
#include "utils/settings.h"
#include "dm/dm_checks.h"
#include "common/modes.h"

using Ports = porttest::Session;

namespace {

void makeReadOnly(cfiOID view, bool readOnly) {
    nyxtest::setViewMode(view, readOnly ? cfidrReadMode : cfidrUpdateMode);
}

} // namespace

TEST_F(Ports, CreationPlacesPortsAndKeepsTheFullOrder) {
    port(view, 's', "A");
    port(view, 's', "B");
    port(view, 's', "first", 0);
    port(view, 's', "last", 5);
    port(view, 's', "mid", 2);
    EXPECT_EQ(viewPorts(view, 3), "first A mid B last");

    // A bus with two members, then a scalar: B2 b0 b1 S in the full order.
    cfiOID v2 = newView("order");
    cfiOID bus = port(v2, 'b', "B2");
    port(bus, 's', "b1");
    port(bus, 's', "b0", 0);
    cfiOID s = port(v2, 's', "S");
    EXPECT_EQ(fullOrder(v2), "B2 b0 b1 S");
    EXPECT_EQ(nyxdrPortGetPositionInView(s, &e), 3);
    EXPECT_EQ(cfidrPortGetPosition(s, &e), 1);
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(v2, &e), 4);

    // Positions follow edits: a port inserted in front moves every later position.
    cfiOID g = port(v2, 'g', "G", 0);
    port(g, 's', "g0");
    EXPECT_EQ(fullOrder(v2), "G g0 B2 b0 b1 S");
    EXPECT_EQ(nyxdrPortGetPositionInView(s, &e), 5);
    // Outside the order: null, class 0, no error.
    for (int32_t pos : {-1, 6, 1 << 30}) {
        cfiOID none = nyxdrNetlistViewFindPortByPosition(v2, pos, &e);
        EXPECT_EQ(e, 0);
        EXPECT_EQ(none.object, 0u);
        EXPECT_EQ(none.tag, 0u);
    }
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(newView("empty"), &e), 0);

    // A top-level port's owner is its view.
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortGetOwner(s, &e), v2, &e));
}

TEST_F(Ports, IterationModesOverNestedGroups) {
    // top: T(bundle){ x, Y(bus){ y0, Z(bundle){ z0 } }, w }, S
    cfiOID t = port(view, 'g', "T");
    port(t, 's', "x");
    cfiOID y = port(t, 'b', "Y");
    port(y, 's', "y0");
    cfiOID z = port(y, 'g', "Z");
    port(z, 's', "z0");
    port(t, 's', "w");
    port(view, 's', "S");
    EXPECT_EQ(viewPorts(view, 1), "x y0 z0 w S");
    EXPECT_EQ(viewPorts(view, 2), "T Y Z");
    EXPECT_EQ(viewPorts(view, 3), "T S");
    EXPECT_EQ(viewPorts(view, 4), "T x Y y0 Z z0 w S");
    EXPECT_EQ(groupPorts(t, 1), "x y0 z0 w");
    EXPECT_EQ(groupPorts(t, 2), "Y Z");
    EXPECT_EQ(groupPorts(t, 3), "x Y w");
    EXPECT_EQ(groupPorts(y, 4), "y0 Z z0");
    EXPECT_EQ(groupPorts(z, 2), "");
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(view, &e), 8);

    // Bad modes are refused; in trusted program mode they yield nothing.
    cfidrIterT it = cfidrNetlistViewGetPorts(view, 5, &e);
    EXPECT_EQ(e, cfidrErrBadIterMode);
    EXPECT_EQ(cfidrIterNextPort(it, &e).object, 0u);
    EXPECT_CODE(cfidrPortBundleGetPorts(t, 0, &e), cfidrErrBadIterMode);
    nyxdrPISetTrustedProgramMode(1, &e);
    EXPECT_EQ(viewPorts(view, 7), "");
    nyxdrPISetTrustedProgramMode(0, &e);

    // Reset rewinds; the iterator is a port iterator.
    it = cfidrPortBundleGetPorts(t, cfidrAllIterMode, &e);
    cfidrIterNextPort(it, &e);
    cfidrIterNextPort(it, &e);
    cfidrIterReset(it, &e);
    EXPECT_EQ(cfidrNamedObjectGetName(cfidrIterNextPort(it, &e), &e), std::string("x"));
    EXPECT_CODE(cfidrIterNextCell(it, &e), cfidrErrIterWrongType);
    cfidrIterQuit(it, &e);
}

TEST_F(Ports, CreationAndLookupFailures) {
    cfiOID bus = port(view, 'b', "D");
    port(view, 's', "A");
    // 26 same kind, 25 other kind, in the view and in a group.
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "A", -1, cfidrUndefinedDirection, &e),
                cfidrErrAlreadyExists);
    EXPECT_CODE(cfidrNetlistViewCreatePortBundle(view, "D", -1, &e), cfidrErrNameTaken);
    EXPECT_CODE(cfidrNetlistViewCreatePortBus(view, "D", -1, 0, 1, &e), cfidrErrAlreadyExists);
    port(bus, 's', "d0");
    EXPECT_CODE(cfidrPortBundleCreatePortBus(bus, "d0", -1, 0, 1, &e), cfidrErrNameTaken);
    // A member name is free at the top level and the reverse.
    port(view, 's', "d0");
    // 14 bad names; 8 direction; 10 step 0.
    for (const char *bad : {static_cast<const char *>(nullptr), "", "a\tb", "caf\xc3\xa9"}) {
        EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, bad, -1, cfidrUndefinedDirection, &e),
                    cfidrErrBadName);
        EXPECT_CODE(cfidrNetlistViewFindPortByName(view, bad, &e), cfidrErrBadName);
        EXPECT_CODE(cfidrPortBundleFindPortByName(bus, bad, &e), cfidrErrBadName);
    }
    for (int32_t dir : {-1, 4})
        EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "Q", -1, dir, &e), cfidrErrBadDirection);
    EXPECT_CODE(cfidrPortBundleCreatePortBus(bus, "Q", -1, 0, 0, &e), cfidrErrBadValue);
    // The order of the checks: a duplicate name is reported before a bad direction.
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "A", -1, 9, &e), cfidrErrAlreadyExists);
    // 27 lookups; exact case; 46 member positions.
    EXPECT_CODE(cfidrNetlistViewFindPortByName(view, "a", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrPortBundleFindPortByName(bus, "D0", &e), cfidrErrNotFound);
    for (int32_t pos : {-1, 1})
        EXPECT_CODE(cfidrPortBundleFindPortByPosition(bus, pos, &e), cfidrErrBadPosition);
    EXPECT_EQ(cfidrNamedObjectGetName(cfidrPortBundleFindPortByPosition(bus, 0, &e), &e), std::string("d0"));
    // Wrong classes: a scalar is not a bundle, a bundle is not a bus; ports cannot be renamed.
    cfiOID a = cfidrNetlistViewFindPortByName(view, "A", &e);
    EXPECT_CODE(cfidrPortBundleGetSize(a, &e), cfidrErrWrongType);
    EXPECT_CODE(cfidrPortBusGetStart(port(view, 'g', "G"), &e), cfidrErrWrongType);
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(a, "x", -1, cfidrUndefinedDirection, &e),
                cfidrErrWrongType);
    EXPECT_CODE(cfidrNamedObjectSetName(a, "B", &e), cfidrErrIllegalOperation);

    // 42 in a read-only view, before the name check; trusted data mode skips every check.
    makeReadOnly(view, true);
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "", -1, cfidrUndefinedDirection, &e),
                cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrPortBundleCreatePortBundle(bus, "new", -1, &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrPortBusSetStart(bus, 3, &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrObjectCreateProp(a, "p", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrObjectDestroy(a, &e), cfidrErrNotOpenForUpdate);
    EXPECT_TRUE(cfidrObjectIsUsable(a, &e));
    nyxdrPISetTrustedDataMode(1, &e);
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "A", -1, cfidrUndefinedDirection, &e), 0);
    nyxdrPISetTrustedDataMode(0, &e);
    makeReadOnly(view, false);
}

TEST_F(Ports, BusIndicesStartStepAndEnd) {
    cfidrErrorT err = 0;
    cfiOID bus = cfidrNetlistViewCreatePortBus(view, "data(7:0)", -1, 7, -1, &err);
    ASSERT_EQ(err, 0);
    for (int i = 0; i < 8; ++i) port(bus, 's', ("m" + std::to_string(i)).c_str());
    EXPECT_EQ(cfidrPortBundleGetSize(bus, &e), 8);
    int32_t start = cfidrPortBusGetStart(bus, &e), step = cfidrPortBusGetStep(bus, &e);
    EXPECT_EQ(start + 0 * step, 7);
    EXPECT_EQ(start + 7 * step, 0);
    EXPECT_EQ(nyxdrPortBusGetEnd(bus, &e), 0);

    uint32_t version = nyxSettings::getViewVersion();
    EXPECT_CODE(cfidrPortBusSetStep(bus, 0, &e), cfidrErrBadValue);
    EXPECT_EQ(nyxSettings::getViewVersion(), version);
    cfidrPortBusSetStart(bus, 3, &e);
    cfidrPortBusSetStep(bus, 2, &e);
    EXPECT_EQ(cfidrPortBusGetStart(bus, &e), 3);
    EXPECT_EQ(cfidrPortBusGetStep(bus, &e), 2);
    EXPECT_GT(nyxSettings::getViewVersion(), version);
    // Neither renames the bus: the end still comes from the name.
    EXPECT_EQ(cfidrNamedObjectGetName(bus, &e), std::string("data(7:0)"));
    EXPECT_EQ(nyxdrPortBusGetEnd(bus, &e), 0);

    struct {
        const char *name;
        int32_t end;
        cfidrErrorT err;
    } cases[] = {{"q[0:3,8]", 8, 0},
                 {"q<5>", 5, 0},
                 {"q(2:4, 9:6)", 6, 0},
                 {"plain", 0, cfidrErrBadName},
                 {"q(a:b)", 0, cfidrErrBadName}};
    for (const auto &c : cases) {
        cfiOID b = cfidrNetlistViewCreatePortBus(view, c.name, -1, 0, 1, &err);
        ASSERT_EQ(err, 0) << c.name;
        EXPECT_EQ(nyxdrPortBusGetEnd(b, &e), c.end) << c.name;
        EXPECT_EQ(e, c.err) << c.name;
    }
}

TEST_F(Ports, DirectionReadsUndefinedAsInOutWhileSchematicsOpen) {
    cfidrErrorT err = 0;
    cfiOID u = cfidrNetlistViewCreatePortScalar(view, "u", -1, cfidrUndefinedDirection, &err);
    cfiOID o = cfidrNetlistViewCreatePortScalar(view, "o", -1, cfidrOutputDirection, &err);
    EXPECT_EQ(cfidrPortScalarGetDirection(u, &e), cfidrUndefinedDirection);
    nyxSettings::setNameOptionBits(nyxSettings::kSuppressDirectoryScan);
    EXPECT_EQ(cfidrPortScalarGetDirection(u, &e), cfidrInOutDirection);
    EXPECT_EQ(cfidrPortScalarGetDirection(o, &e), cfidrOutputDirection);
    nyxSettings::clearNameOptionBits(nyxSettings::kSuppressDirectoryScan);
    EXPECT_EQ(cfidrPortScalarGetDirection(u, &e), cfidrUndefinedDirection);
    EXPECT_EQ(cfidrPortScalarGetNetScalar(u, &e).object, 0u);
    EXPECT_EQ(e, 0);
}

TEST_F(Ports, PropertiesOnPortsRecordViewEdits) {
    cfiOID g = port(view, 'g', "G");
    cfiOID s = port(g, 's', "s");
    uint32_t version = nyxSettings::getViewVersion();
    cfiOID p = cfidrObjectCreateProp(s, "weight", &e);
    ASSERT_EQ(e, 0);
    cfidrPropSetInt32Value(p, 12, &e);
    EXPECT_GT(nyxSettings::getViewVersion(), version);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPropGetOwner(p, &e), s, &e));
    EXPECT_CODE(cfidrObjectCreateProp(s, "WEIGHT", &e), cfidrErrAlreadyExists);
    cfiOID q = cfidrObjectFindPropByName(s, "weight", &e);
    EXPECT_EQ(cfidrPropGetInt32Value(q, &e), 12);
    EXPECT_CODE(cfidrObjectCreateProp(g, "weight", &e), 0);
    // Destroying the group takes the properties of its members with it.
    ASSERT_CODE(cfidrObjectDestroy(g, &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(p, &e));
    EXPECT_FALSE(cfidrObjectIsUsable(s, &e));
}
