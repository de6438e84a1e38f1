// Iterators whose library, cell, view or walked object goes while they live: stepping must end
// (16 and the null identifier) or go on over what is left, never read freed memory or hand out
// identifiers of freed objects. Run under the sanitizer build too.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "cfidr.h"
#include "dm/dm_checks.h"
#include "nyxdr.h"
#include "nyxpriv.h"

namespace {

using dmtest::ok;
using NextFn = cfiOID (*)(cfidrIterT, cfidrErrorT *);

// One design per case: a top view with ports, nets, an instance and properties on each level.
struct Design {
    cfiOID lib, other, cell, view, leafView;
    cfiOID portBundle, portMember, netBus, netBundle, nested, net, alias, prop, subProp, inst, portInstGroup;

    explicit Design(int32_t extraNets) {
        lib = ok(cfidrPICreateLib, "glib");
        other = ok(cfidrPICreateLib, "other");
        cell = ok(cfidrLibCreateCell, lib, "top");
        cfiOID leafCell = ok(cfidrLibCreateCell, lib, "leaf");
        leafView = ok(cfidrCellCreateNetlistView, leafCell, "sym");
        ok(cfidrNetlistViewCreatePortScalar, leafView, "a", -1, 1);
        cfiOID pb = ok(cfidrNetlistViewCreatePortBundle, leafView, "pb", -1);
        ok(cfidrPortBundleCreatePortScalar, pb, "m", -1, 1);
        view = ok(cfidrCellCreateNetlistView, cell, "netlist");
        ok(cfidrCellCreateNetlistView, cell, "second");
        portBundle = ok(cfidrNetlistViewCreatePortBundle, view, "PB", -1);
        portMember = ok(cfidrPortBundleCreatePortScalar, portBundle, "x", -1, 1);
        ok(cfidrPortBundleCreatePortScalar, portBundle, "y", -1, 1);
        net = ok(cfidrNetlistViewCreateNetScalar, view, "n0");
        cfiOID n1 = ok(cfidrNetlistViewCreateNetScalar, view, "n1");
        netBus = ok(cfidrNetlistViewCreateNetBus, view, "b(0:1)", 0, 1);
        netBundle = ok(cfidrNetlistViewCreateNetBundle, view, "g");
        nested = ok(cfidrNetlistViewCreateNetBundle, view, "h");
        for (cfiOID m : {net, n1}) ok(cfidrNetBundleInsertNet, netBus, m, -1);
        ok(cfidrNetBundleInsertNet, nested, net, -1);
        ok(cfidrNetBundleInsertNet, netBundle, nested, -1);
        ok(cfidrNetBundleInsertNet, netBundle, n1, -1);
        alias = ok(nyxdrNetCreateNetAlias, net, "al");
        ok(nyxdrNetCreateNetAlias, net, "al2");
        prop = ok(cfidrObjectCreateProp, net, "w");
        ok(cfidrObjectCreateProp, net, "w2");
        subProp = ok(cfidrObjectCreateProp, prop, "s");
        for (cfiOID owner : {lib, view, subProp}) ok(cfidrObjectCreateProp, owner, "p");
        ok(cfidrObjectCreateProp, view, "q");
        inst = ok(cfidrNetlistViewCreateInst, view, leafView, "i");
        ok(cfidrNetlistViewCreateInst, view, leafView, "j");
        portInstGroup = ok(cfidrInstFindPortInstByDescriberName, inst, "pb");
        ok(cfidrObjectCreateProp, portInstGroup, "pp");
        ok(cfidrNetAttachPort, net, portMember, 1);
        ok(cfidrNetAttachPort, n1, ok(cfidrPortBundleFindPortByName, portBundle, "y"), 1);
        ok(cfidrNetAttachPortInst, net, ok(cfidrInstFindPortInstByDescriberName, inst, "a"), 1);
        ok(cfidrNetAttachPortInst, n1, ok(cfidrPortInstBundleFindPortInstByDescriberName, portInstGroup, "m"), 1);
        // Enough nets that the view's blocks span many pages, which a purge gives back.
        cfidrErrorT e = 0;
        nyxdrPISetTrustedProgramMode(1, &e);
        for (int32_t i = 0; i < extraNets; ++i) {
            cfidrNetlistViewCreateNetScalar(view, ("x" + std::to_string(i)).c_str(), &e);
        }
        nyxdrPISetTrustedProgramMode(0, &e);
        EXPECT_EQ(e, 0);
    }
};

void destroy(cfiOID id) { ok(cfidrObjectDestroy, id); }

struct Case {
    const char *name;
    std::function<cfidrIterT(Design &)> get;
    NextFn next;
    std::function<void(Design &)> kill;
    // Steps taken before the object goes (one: the walk stands inside what goes; none: what
    // goes is still ahead).
    int32_t before;
    // 16: the iterator ends; 0: it goes on over what is left.
    cfidrErrorT after;
    int32_t extraNets = 0;
};

const Case kCases[] = {
    {"libraries / library destroyed", [](Design &) { return ok(cfidrPIGetLibs); }, cfidrIterNextLib,
     [](Design &d) { destroy(d.other); }, 0, 0},
    {"cells / library purged", [](Design &d) { return ok(cfidrLibGetCells, d.lib); }, cfidrIterNextCell,
     [](Design &d) { ok(cfidrLibPurge, d.lib); }, 1, 16},
    {"cells / library destroyed", [](Design &d) { return ok(cfidrLibGetCells, d.lib); }, cfidrIterNextCell,
     [](Design &d) { destroy(d.lib); }, 1, 16},
    {"views / cell destroyed", [](Design &d) { return ok(cfidrCellGetViews, d.cell); }, cfidrIterNextView,
     [](Design &d) { destroy(d.cell); }, 1, 16},
    {"views / library purged", [](Design &d) { return ok(cfidrCellGetViews, d.cell); }, cfidrIterNextView,
     [](Design &d) { ok(cfidrLibPurge, d.lib); }, 1, 16},
    {"views / one view purged", [](Design &d) { return ok(cfidrCellGetViews, d.cell); }, cfidrIterNextView,
     [](Design &d) { ok(cfidrViewPurge, d.view); }, 0, 0},
    {"library properties / library purged", [](Design &d) { return ok(cfidrObjectGetProps, d.lib); },
     cfidrIterNextProp, [](Design &d) { ok(cfidrLibPurge, d.lib); }, 1, 16},
    {"view properties / view purged", [](Design &d) { return ok(cfidrObjectGetProps, d.view); },
     cfidrIterNextProp, [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
    {"net properties / net destroyed", [](Design &d) { return ok(cfidrObjectGetProps, d.net); },
     cfidrIterNextProp, [](Design &d) { destroy(d.net); }, 1, 16},
    {"properties of a property / property destroyed", [](Design &d) { return ok(cfidrObjectGetProps, d.subProp); },
     cfidrIterNextProp, [](Design &d) { destroy(d.prop); }, 1, 16},
    {"port instance properties / instance destroyed",
     [](Design &d) { return ok(cfidrObjectGetProps, d.portInstGroup); }, cfidrIterNextProp,
     [](Design &d) { destroy(d.inst); }, 1, 16},
    {"ports / view purged", [](Design &d) { return ok(cfidrNetlistViewGetPorts, d.view, 4); }, cfidrIterNextPort,
     [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
    {"ports / view destroyed", [](Design &d) { return ok(cfidrNetlistViewGetPorts, d.view, 4); }, cfidrIterNextPort,
     [](Design &d) { destroy(d.view); }, 1, 16},
    {"port bundle members / bundle destroyed", [](Design &d) { return ok(cfidrPortBundleGetPorts, d.portBundle, 4); },
     cfidrIterNextPort, [](Design &d) { destroy(d.portBundle); }, 1, 16},
    {"net bundles of a port bundle / view purged",
     [](Design &d) { return ok(cfidrPortBundleGetNetBundles, d.portBundle); }, cfidrIterNextNetBundle,
     [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
    {"net bundles of a port bundle / one bundle destroyed",
     [](Design &d) { return ok(cfidrPortBundleGetNetBundles, d.portBundle); }, cfidrIterNextNetBundle,
     [](Design &d) { destroy(d.netBundle); }, 0, 0},
    {"nets of a 100000-net view / view purged", [](Design &d) { return ok(cfidrNetlistViewGetNets, d.view, 4); },
     cfidrIterNextNet, [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16, 100000},
    {"nets / view destroyed", [](Design &d) { return ok(cfidrNetlistViewGetNets, d.view, 4); }, cfidrIterNextNet,
     [](Design &d) { destroy(d.view); }, 1, 16},
    {"nets / cell destroyed", [](Design &d) { return ok(cfidrNetlistViewGetNets, d.view, 3); }, cfidrIterNextNet,
     [](Design &d) { destroy(d.cell); }, 1, 16},
    {"bus members / bus destroyed", [](Design &d) { return ok(cfidrNetBundleGetNets, d.netBus, 4); },
     cfidrIterNextNet, [](Design &d) { destroy(d.netBus); }, 1, 16},
    {"bundle members / view purged", [](Design &d) { return ok(cfidrNetBundleGetNets, d.netBundle, 4); },
     cfidrIterNextNet, [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
    {"bundle members / the nested group walked into destroyed",
     [](Design &d) { return ok(cfidrNetBundleGetNets, d.netBundle, 4); }, cfidrIterNextNet,
     [](Design &d) { destroy(d.nested); }, 1, 0},
    {"aliases / net destroyed", [](Design &d) { return ok(nyxdrNetGetNetAliases, d.net); }, nyxdrIterNextNetAlias,
     [](Design &d) { destroy(d.net); }, 1, 16},
    {"aliases / one alias destroyed", [](Design &d) { return ok(nyxdrNetGetNetAliases, d.net); },
     nyxdrIterNextNetAlias, [](Design &d) { destroy(d.alias); }, 0, 0},
    {"net groups of a net / view purged", [](Design &d) { return ok(cfidrNetGetNetBundles, d.net); },
     cfidrIterNextNetBundle, [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
    {"net groups of a net / one group destroyed", [](Design &d) { return ok(cfidrNetGetNetBundles, d.net); },
     cfidrIterNextNetBundle, [](Design &d) { destroy(d.nested); }, 0, 0},
    {"ports of a net / port destroyed", [](Design &d) { return ok(cfidrNetGetPorts, d.netBus); }, cfidrIterNextPort,
     [](Design &d) { destroy(d.portBundle); }, 0, 0},
    {"port instances of a net / instance destroyed", [](Design &d) { return ok(cfidrNetGetPortInsts, d.net); },
     cfidrIterNextPortInst, [](Design &d) { destroy(d.inst); }, 0, 0},
    {"port instances of a net / view purged", [](Design &d) { return ok(cfidrNetGetPortInsts, d.net); },
     cfidrIterNextPortInst, [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
    {"instances / view purged", [](Design &d) { return ok(cfidrNetlistViewGetInsts, d.view); }, cfidrIterNextInst,
     [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
    {"port instances / instance destroyed", [](Design &d) { return ok(cfidrInstGetPortInsts, d.inst, 4); },
     cfidrIterNextPortInst, [](Design &d) { destroy(d.inst); }, 1, 16},
    {"port instance group members / library destroyed",
     [](Design &d) { return ok(cfidrPortInstBundleGetPortInsts, d.portInstGroup, 4); }, cfidrIterNextPortInst,
     [](Design &d) { destroy(d.lib); }, 1, 16},
    {"net groups of a port instance group / view purged",
     [](Design &d) { return ok(cfidrPortInstBundleGetNetBundles, d.portInstGroup); }, cfidrIterNextNetBundle,
     [](Design &d) { ok(cfidrViewPurge, d.view); }, 1, 16},
};

TEST(IteratorsOfGoneObjects, EndOrSkipInsteadOfReadingFreedMemory) {
    for (bool trusted : {false, true}) {
        for (const Case &c : kCases) {
            SCOPED_TRACE(std::string(c.name) + (trusted ? " (trusted program mode)" : ""));
            cfidrErrorT e = 0;
            cfidrPIInit(&e);
            Design d(c.extraNets);
            nyxdrPISetTrustedProgramMode(trusted ? 1 : 0, &e);
            cfidrIterT it = c.get(d);
            for (int32_t i = 0; i < c.before; ++i) {
                ASSERT_NE(c.next(it, &e).object, 0u);
                ASSERT_EQ(e, 0);
            }
            c.kill(d);
            if (c.after == 16) {
                EXPECT_EQ(c.next(it, &e).object, 0u);
                EXPECT_EQ(e, cfidrErrObjectUnusable);
                EXPECT_CODE(cfidrIterReset(it, &e), cfidrErrObjectUnusable);
                EXPECT_EQ(c.next(it, &e).object, 0u);
                EXPECT_EQ(e, cfidrErrObjectUnusable);
            } else {
                // What is left is handed out, and only what is left.
                for (cfiOID x = c.next(it, &e); x.object != 0; x = c.next(it, &e)) {
                    if (!trusted) {
                        EXPECT_TRUE(cfidrObjectIsUsable(x, &e));
                    }
                }
                EXPECT_EQ(e, 0);
            }
            EXPECT_CODE(cfidrIterQuit(it, &e), 0);
            nyxdrPISetTrustedProgramMode(0, &e);
            cfidrPIQuit(&e);
        }
    }
}

} // namespace
