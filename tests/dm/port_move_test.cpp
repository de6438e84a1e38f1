// Moving ports between owners, destroying them, and deep nesting.
#include "dm/port_fixture.h"

#include <set>

#include "dm/netlist/netlist.h"
#include "utils/ptrindex.h"
#include "pi/pi.h"
#include "dm/dm_checks.h"
#include "common/modes.h"

using PortMoves = porttest::Session;

TEST_F(PortMoves, MovesBetweenOwnersAndTheirRefusals) {
    cfiOID a = port(view, 'g', "A");
    cfiOID a1 = port(a, 'g', "a1");
    cfiOID a2 = port(a1, 's', "a2");
    cfiOID b = port(view, 'b', "B");
    cfiOID s = port(view, 's', "S");
    port(b, 's', "S");

    // 25: the bundle has a member of that name; 47: into itself or its own member.
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(s, b, 0, &e), cfidrErrNameTaken);
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(a, a, 0, &e), cfidrErrRecursiveBundle);
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(a, a1, 0, &e), cfidrErrRecursiveBundle);
    // Trusted data mode skips the name check but never lets a group contain itself.
    nyxdrPISetTrustedDataMode(1, &e);
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(a, a1, 0, &e), cfidrErrRecursiveBundle);
    nyxdrPISetTrustedDataMode(0, &e);
    // 37: a bundle of another view.
    cfiOID other = newView("other");
    cfiOID og = port(other, 'g', "OG");
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(s, og, 0, &e), cfidrErrNotSameView);
    // The new owner must be a bundle or bus: 45 from the argument check, 4 when trusted.
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(a1, s, 0, &e), cfidrErrNotPortBundle);
    nyxdrPISetTrustedProgramMode(1, &e);
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(a1, s, 0, &e), cfidrErrInternal);
    nyxdrPISetTrustedProgramMode(0, &e);
    EXPECT_EQ(viewPorts(view, 4), "A a1 a2 B S S");

    // A member moves to the top at a position, then into the bus at its end.
    ASSERT_CODE(cfidrPortSetOwnerView(a2, 1, &e), 0);
    EXPECT_EQ(viewPorts(view, 3), "A a2 B S");
    EXPECT_EQ(cfidrPortGetPosition(a2, &e), 1);
    EXPECT_EQ(nyxdrPortGetPositionInView(a2, &e), 2);
    ASSERT_CODE(cfidrPortSetOwnerPortBundle(a2, b, 1, &e), 0);
    EXPECT_EQ(groupPorts(b, 3), "S a2");
    EXPECT_EQ(cfidrObjectGetObjectType(cfidrPortGetOwner(a2, &e), &e), cfidrPortBusType);
    // A top-level port moved within the top level keeps its name even when another has it.
    EXPECT_CODE(cfidrPortSetOwnerView(s, 0, &e), 0);
    EXPECT_EQ(viewPorts(view, 3), "S A B");
    // The member S of the bus cannot go to the top while a top-level S exists.
    EXPECT_CODE(cfidrPortSetOwnerView(cfidrPortBundleFindPortByName(b, "S", &e), 0, &e),
                cfidrErrNameTaken);
    // A whole group moves with its members.
    ASSERT_CODE(cfidrPortSetOwnerPortBundle(a, b, 5, &e), 0);
    EXPECT_EQ(fullOrder(view), "S B S a2 A a1");
    EXPECT_EQ(cfidrObjectGetObjectType(cfidrPortGetOwner(a1, &e), &e), cfidrPortBundleType);
    EXPECT_TRUE(nyxPort::isValid(nyxpi::object<nyxNetlistView>(view)));
}

TEST_F(PortMoves, DestroyTakesMembersAndKeepsTheRestInOrder) {
    cfiOID g = port(view, 'g', "G");
    cfiOID bus = port(g, 'b', "B");
    cfiOID members[40];
    for (int i = 0; i < 40; ++i) members[i] = port(bus, 's', ("m" + std::to_string(i)).c_str());
    cfiOID x = port(g, 's', "x");
    port(view, 's', "T");
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(view, &e), 44);

    ASSERT_CODE(cfidrObjectDestroy(members[5], &e), 0);
    EXPECT_EQ(cfidrPortBundleGetSize(bus, &e), 39);
    EXPECT_EQ(cfidrPortGetPosition(members[6], &e), 5);
    EXPECT_CODE(cfidrObjectDestroy(members[5], &e), cfidrErrObjectUnusable);

    ASSERT_CODE(cfidrObjectDestroy(bus, &e), 0);
    for (cfiOID m : members) EXPECT_FALSE(cfidrObjectIsUsable(m, &e));
    EXPECT_EQ(fullOrder(view), "G x T");
    EXPECT_EQ(cfidrPortGetPosition(x, &e), 0);
    // A new port may take a destroyed one's name.
    port(g, 'g', "B");
    EXPECT_TRUE(nyxPort::isValid(nyxpi::object<nyxNetlistView>(view)));
    cfidrObjectDestroy(g, &e);
    EXPECT_EQ(fullOrder(view), "T");
}

// Ports nest as deep as a view file holds and no deeper: a port that would be held by more
// groups is refused with 47, whether created or moved there, and every walk (positions, the
// iterators, the identifier withdrawal of destroy) takes the deepest chain that is allowed.
TEST_F(PortMoves, NestingBeyondWhatAFileHoldsIsRefused) {
    constexpr int kDepth = nyxPort::kMaxNesting;
    cfiOID top = port(view, 'g', "g");
    cfiOID cur = top;
    for (int i = 1; i < kDepth; ++i) cur = port(cur, i % 2 == 0 ? 'g' : 'b', "g");
    cfiOID leaf = port(cur, 's', "leaf");
    cfiOID deepest = port(cur, 'g', "deep");
    EXPECT_CODE(cfidrPortBundleCreatePortScalar(deepest, "x", -1, cfidrInputDirection, &e),
                cfidrErrRecursiveBundle);
    EXPECT_CODE(cfidrPortBundleCreatePortBus(deepest, "x", -1, 0, 1, &e), cfidrErrRecursiveBundle);
    EXPECT_CODE(cfidrPortBundleCreatePortBundle(deepest, "x", -1, &e), cfidrErrRecursiveBundle);
    // The creation checks come first.
    EXPECT_CODE(cfidrPortBundleCreatePortScalar(deepest, nullptr, -1, cfidrInputDirection, &e),
                cfidrErrBadName);
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(view, &e), kDepth + 2);
    EXPECT_EQ(nyxPort::getPositionInView(nyxpi::object<nyxPort>(leaf)), kDepth);
    cfidrIterT it = cfidrNetlistViewGetPorts(view, cfidrScalarIterMode, &e);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextPort(it, &e), leaf, &e));
    EXPECT_EQ(cfidrIterNextPort(it, &e).object, 0u);
    cfidrIterQuit(it, &e);

    // A group with a member fits one level above the deepest group, not beside it.
    cfiOID pair = port(view, 'g', "pair");
    port(pair, 's', "p");
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(pair, cur, 0, &e), cfidrErrRecursiveBundle);
    nyxdrPISetTrustedDataMode(1, &e);
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(pair, cur, 0, &e), cfidrErrRecursiveBundle);
    nyxdrPISetTrustedDataMode(0, &e);
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(pair, cfidrPortGetOwner(cur, &e), 0, &e), 0);
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(top, cur, 0, &e), cfidrErrRecursiveBundle);
    EXPECT_TRUE(nyxPort::isValid(nyxpi::object<nyxNetlistView>(view)));
    EXPECT_CODE(cfidrObjectDestroy(top, &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(leaf, &e));
    EXPECT_EQ(nyxdrNetlistViewGetPortCount(view, &e), 0);
}

TEST_F(PortMoves, DestroyDetachesScalarsAndGroupsReportTheirNetBundles) {
    cfiOID g = port(view, 'g', "G");
    cfiOID inner = port(g, 'g', "I");
    cfiOID a = port(g, 's', "a");
    cfiOID b = port(inner, 's', "b");
    cfiOID c = port(view, 's', "c");
    cfiOID na = cfidrNetlistViewCreateNetScalar(view, "na", &e);
    cfiOID nb = cfidrNetlistViewCreateNetScalar(view, "nb", &e);
    cfiOID bundle1 = cfidrNetlistViewCreateNetBundle(view, "N1", &e);
    cfiOID bus2 = cfidrNetlistViewCreateNetBus(view, "N2", 0, 1, &e);
    cfiOID outer = cfidrNetlistViewCreateNetBundle(view, "N3", &e);
    ASSERT_EQ(e, 0);
    cfidrNetBundleInsertNet(bundle1, na, -1, &e);
    cfidrNetBundleInsertNet(bus2, nb, -1, &e);
    cfidrNetBundleInsertNet(bus2, na, -1, &e);
    ASSERT_CODE(cfidrNetBundleInsertNet(outer, bus2, -1, &e), 0);
    cfidrNetAttachPort(na, a, cfidrPositionAttachMode, &e);
    cfidrNetAttachPort(nb, b, cfidrPositionAttachMode, &e);
    ASSERT_CODE(cfidrNetAttachPort(nb, c, cfidrPositionAttachMode, &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPortScalarGetNetScalar(b, &e), nb, &e));

    // The containing groups of a's and b's nets, each once: N1, N2, N3 in some discovery order.
    auto found = [&](cfidrIterT it) {
        std::multiset<std::string> out;
        for (cfiOID n = cfidrIterNextNetBundle(it, &e); n.object != 0; n = cfidrIterNextNetBundle(it, &e)) {
            out.insert(cfidrNamedObjectGetName(n, &e));
        }
        return out;
    };
    cfidrIterT it = cfidrPortBundleGetNetBundles(g, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(found(it), (std::multiset<std::string>{"N1", "N2", "N3"}));
    cfidrIterReset(it, &e);
    EXPECT_NE(cfidrIterNextNet(it, &e).object, 0u);
    cfidrIterQuit(it, &e);
    it = cfidrPortBundleGetNetBundles(inner, &e);
    EXPECT_EQ(found(it), (std::multiset<std::string>{"N2", "N3"}));
    cfidrIterQuit(it, &e);

    // Destroying the group detaches its scalars; the net keeps its other port.
    ASSERT_CODE(cfidrObjectDestroy(g, &e), 0);
    auto ports = [&](cfiOID net) {
        cfidrIterT pit = cfidrNetGetPorts(net, &e);
        return names(pit);
    };
    EXPECT_EQ(ports(na), "");
    EXPECT_EQ(ports(nb), "c");
    // The net can be renamed once it has no connection left.
    EXPECT_CODE(cfidrNamedObjectSetName(na, "free", &e), 0);
    EXPECT_CODE(cfidrNamedObjectSetName(nb, "busy", &e), cfidrErrIllegalOperation);
}

// A caller that destroys ports while it walks them must never be led into a destroyed group,
// even when the group's memory is taken by a new group at once.
TEST_F(PortMoves, IteratorsSurviveDestructionOfTheGroupTheyAreIn) {
    cfiOID a = port(view, 'g', "A");
    port(a, 's', "a1");
    port(a, 's', "a2");
    port(view, 's', "B");
    cfidrIterT it = cfidrNetlistViewGetPorts(view, cfidrAllIterMode, &e);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextPort(it, &e), a, &e));
    ASSERT_CODE(cfidrObjectDestroy(a, &e), 0);
    // The new group reuses the destroyed one's block; its members are not those the walk was in.
    cfiOID z = port(view, 'g', "Z");
    port(z, 's', "z1");
    // The walk leaves the destroyed group and goes on at the top: B was moved into A's place and
    // is skipped, Z comes before its member.
    EXPECT_EQ(names(it), "Z z1");
    EXPECT_TRUE(nyxPort::isValid(nyxpi::object<nyxNetlistView>(view)));
}

TEST_F(PortMoves, LongPortListsAnswerThroughTheIndexAsTheScanDid) {
    nyxNetlistView *v = nyxpi::object<nyxNetlistView>(view);
    cfiOID g = port(view, 'g', "G");
    for (int i = 0; i < 40; ++i) {
        port(view, 's', ("t" + std::to_string(i)).c_str());
        port(g, 's', ("m" + std::to_string(i)).c_str());
    }
    // The first check of a long list builds the index; clashes keep their codes.
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "t7", -1, cfidrInputDirection, &e),
                cfidrErrAlreadyExists);
    ASSERT_NE(v->portIndex(), nullptr);
    EXPECT_CODE(cfidrNetlistViewCreatePortBus(view, "t7", -1, 0, 1, &e), cfidrErrNameTaken);
    EXPECT_CODE(cfidrPortBundleCreatePortBundle(g, "m39", -1, &e), cfidrErrNameTaken);
    // Names are per owner, and exact.
    port(view, 's', "m3");
    port(g, 's', "t3");
    port(g, 's', "M4");
    EXPECT_CODE(cfidrNetlistViewFindPortByName(view, "m5", &e), cfidrErrNotFound);
    cfiOID m5 = dmtest::ok(cfidrPortBundleFindPortByName, g, "m5");
    // A move takes the name to the new owner: free in the old one, a clash on the way back.
    ASSERT_CODE(cfidrPortSetOwnerView(m5, -1, &e), 0);
    EXPECT_TRUE(cfidrObjectIsSame(dmtest::ok(cfidrNetlistViewFindPortByName, view, "m5"), m5, &e));
    EXPECT_CODE(cfidrPortBundleFindPortByName(g, "m5", &e), cfidrErrNotFound);
    port(g, 'b', "m5");
    EXPECT_CODE(cfidrPortSetOwnerPortBundle(m5, g, -1, &e), cfidrErrNameTaken);
    // Destruction frees the name.
    ASSERT_CODE(cfidrObjectDestroy(dmtest::ok(cfidrNetlistViewFindPortByName, view, "t7"), &e), 0);
    EXPECT_CODE(cfidrNetlistViewFindPortByName(view, "t7", &e), cfidrErrNotFound);
    port(view, 'g', "t7");
    EXPECT_TRUE(nyxPort::isValid(v));

    // A name twice in one owner (trusted data mode): the first in list order answers.
    nyxtest::setTrustedModes(false, true);
    cfiOID bus = cfidrNetlistViewCreatePortBus(view, "t9", 0, 0, 1, &e);
    nyxtest::clearTrustedModes();
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "t9", -1, cfidrInputDirection, &e),
                cfidrErrNameTaken);
    EXPECT_TRUE(cfidrObjectIsSame(dmtest::ok(cfidrNetlistViewFindPortByName, view, "t9"), bus, &e));
    ASSERT_CODE(cfidrObjectDestroy(bus, &e), 0);
    EXPECT_CODE(cfidrNetlistViewCreatePortScalar(view, "t9", -1, cfidrInputDirection, &e),
                cfidrErrAlreadyExists);
    // Destroying the group takes its members out of the index.
    ASSERT_CODE(cfidrObjectDestroy(g, &e), 0);
    EXPECT_TRUE(nyxPort::isValid(v));
    EXPECT_EQ(v->portIndex()->size(), static_cast<uint32_t>(nyxdrNetlistViewGetPortCount(view, &e)));
}
