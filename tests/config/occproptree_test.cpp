// The tree of an occurrence property set through the interface: creating and finding nodes by
// path, the checks on paths, the iterators' pre-order, path spelling, connectors with and without
// their name table, and destruction of nodes with everything below them.
#include "occprop_fixture.h"

using occtest::OccSession;
using occtest::Path;
using occtest::toVector;

namespace {

struct OccTree : OccSession {
    cfiOID set{};
    void SetUp() override {
        OccSession::SetUp();
        set = makeSet("s");
    }
    cfiOID view(std::vector<std::string> p) { return nyxdrOccPropSetCreateViewOccProp(set, Path(p), &e); }
    cfiOID net(std::vector<std::string> p) { return nyxdrOccPropSetCreateNetOccProp(set, Path(p), &e); }
    cfiOID port(std::vector<std::string> p, std::vector<std::string> m) {
        return nyxdrOccPropSetCreatePortOccProp(set, Path(p), Path(m), &e);
    }
    // The pathnames an iterator yields, with the object type of each.
    std::string list(cfidrIterT it) {
        std::string out;
        cfidrErrorT err = 0;
        for (cfiOID o = nyxdrIterNextOccProp(it, &err); o.object != 0; o = nyxdrIterNextOccProp(it, &err)) {
            out += std::to_string(cfidrObjectGetObjectType(o, &err)) + nyxdrOccPropGetZILPathname(o, &err) + " ";
        }
        cfidrIterQuit(it, &err);
        return out;
    }
};

} // namespace

TEST_F(OccTree, CreateFindAndPathChecks) {
    cfidrErrorT err = 0;
    cfiOID n = net({"U1", "U2", "N1"});
    cfiOID top = net({"N0"});
    cfiOID p = port({"U1", "P"}, {"b", "m"});
    cfiOID whole = port({"P"}, {});
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(n, &err), nyxdrNetOccPropType);
    EXPECT_EQ(cfidrObjectGetObjectType(p, &err), nyxdrPortOccPropType);
    // The instance nodes along a path are view occurrence properties of their own.
    cfiOID u1 = nyxdrOccPropSetFindViewOccPropByPath(set, Path({"U1"}), &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(u1, &err), nyxdrViewOccPropType);
    view({"U1", "U2"});
    EXPECT_EQ(e, cfidrErrAlreadyExists);
    net({"U1", "U2", "N1"});
    EXPECT_EQ(e, cfidrErrAlreadyExists);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrOccPropSetFindNetOccPropByPath(set, Path({"U1", "U2", "N1"}), &err), n, &err));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrOccPropSetFindNetOccPropByPath(set, Path({"N0"}), &err), top, &err));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrOccPropSetFindPortOccPropByPath(set, Path({"U1", "P"}), Path({"b", "m"}), &err), p, &err));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrOccPropSetFindPortOccPropByPath(set, Path({"P"}), nullptr, &err), whole, &err));
    nyxdrOccPropSetFindPortOccPropByPath(set, Path({"U1", "P"}), Path({"b"}), &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    nyxdrOccPropSetFindNetOccPropByPath(set, Path({"u1", "U2", "N1"}), &err);  // names are exact
    EXPECT_EQ(err, cfidrErrNotFound);
    // Null, empty, empty-name and invalid paths report 30001 and make nothing.
    EXPECT_EQ(nyxdrOccPropSetCreateViewOccProp(set, nullptr, &err).object, 0u);
    EXPECT_EQ(err, nyxdrErrBadPath);
    view({});
    EXPECT_EQ(e, nyxdrErrBadPath);
    net({"U9", ""});
    EXPECT_EQ(e, nyxdrErrBadPath);
    port({"P2"}, {"a\tb"});
    EXPECT_EQ(e, nyxdrErrBadPath);
    nyxdrOccPropSetFindViewOccPropByPath(set, Path({}), &err);
    EXPECT_EQ(err, nyxdrErrBadPath);
    nyxdrOccPropSetFindViewOccPropByPath(set, Path({"U9"}), &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    // Owners, paths and member paths.
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrOccPropGetOwner(p, &err), set, &err));
    EXPECT_EQ(toVector(nyxdrOccPropGetPath(n, &err)), (std::vector<std::string>{"U1", "U2", "N1"}));
    EXPECT_EQ(toVector(nyxdrOccPropGetPath(p, &err)), (std::vector<std::string>{"U1", "P"}));
    EXPECT_EQ(toVector(nyxdrPortOccPropGetMemberPath(p, &err)), (std::vector<std::string>{"b", "m"}));
    EXPECT_TRUE(toVector(nyxdrPortOccPropGetMemberPath(whole, &err)).empty());
    nyxdrPortOccPropGetMemberPath(n, &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    EXPECT_STREQ(nyxdrOccPropGetZILPathname(p, &err), "/U1/P:/b/m");
    EXPECT_STREQ(nyxdrOccPropGetZILPathname(whole, &err), "/P");
    EXPECT_EQ(nameOf(n), "/U1/U2/N1");
    cfidrNamedObjectSetName(n, "x", &err);
    EXPECT_EQ(err, cfidrErrIllegalOperation);
    // A library held for read refuses new nodes.
    nyxtest::setLibMode(lib, cfidrReadMode);
    net({"N5"});
    EXPECT_EQ(e, cfidrErrNotOpenForUpdate);
}

TEST_F(OccTree, PathnamesEscapeSeparatorsAndColonsOutsideBrackets) {
    cfidrErrorT err = 0;
    cfiOID n = net({"a/b", "n:1"});
    cfiOID b = net({"u[1:2]", "x\\y"});
    cfiOID p = port({"q:r"}, {"d(0:3)", "e:f"});
    ASSERT_EQ(e, 0);
    EXPECT_STREQ(nyxdrOccPropGetZILPathname(n, &err), "/a\\/b/n\\:1");
    EXPECT_STREQ(nyxdrOccPropGetZILPathname(b, &err), "/u[1:2]/x\\\\y");
    EXPECT_STREQ(nyxdrOccPropGetZILPathname(p, &err), "/q\\:r:/d(0:3)/e\\:f");
    // The member path survives the internal port name's spelling.
    EXPECT_EQ(toVector(nyxdrPortOccPropGetMemberPath(p, &err)), (std::vector<std::string>{"d(0:3)", "e:f"}));
    EXPECT_EQ(toVector(nyxdrOccPropGetPath(p, &err)), (std::vector<std::string>{"q:r"}));
    // Parsing is the reverse, with the same bracket rule; an unescaped ":" outside ends the path.
    EXPECT_EQ(nyxOccPropPath::parse("/a\\/b/n\\:1"), (std::vector<std::string>{"a/b", "n:1"}));
    EXPECT_EQ(nyxOccPropPath::parse("/u[1:2]/x:rest"), (std::vector<std::string>{"u[1:2]", "x"}));
    EXPECT_EQ(nyxOccPropPath::parse("/u)(:a"), (std::vector<std::string>{"u)(:a"}));
    EXPECT_TRUE(nyxOccPropPath::parse("/").empty());
    EXPECT_TRUE(nyxOccPropPath::parse("").empty());
    EXPECT_EQ(nyxOccPropPath::pathname(std::vector<std::string>{}), "/");
}

TEST_F(OccTree, IteratorsWalkInPreOrderNewestFirst) {
    net({"N1"});
    net({"N2"});
    port({"P1"}, {});
    net({"U1", "N3"});
    view({"U1", "U2"});
    port({"U1", "U2", "P2"}, {"m"});
    view({"U3"});
    ASSERT_EQ(e, 0);
    cfidrErrorT err = 0;
    EXPECT_EQ(list(nyxdrOccPropSetGetViewOccProps(set, &err)), "20005/U3 20005/U1 20005/U1/U2 ");
    EXPECT_EQ(list(nyxdrOccPropSetGetNetOccProps(set, &err)), "20006/N2 20006/N1 20006/U1/N3 ");
    EXPECT_EQ(list(nyxdrOccPropSetGetPortOccProps(set, &err)), "20007/P1 20007/U1/U2/P2:/m ");
    EXPECT_EQ(occtest::describe(asSet(set)),
              "set\n23 /N2\n23 /N1\n24 /P1\n22 /U3\n22 /U1\n23 /U1/N3\n22 /U1/U2\n24 /U1/U2/P2:/m\n");
}

TEST_F(OccTree, ConnectorsFindTheSameThroughTheirTableAndByScan) {
    // Connectors of 1, 4, 5, 40 nodes, and 5 brought down to 4 by a removal.
    for (int count : {1, 4, 5, 40, -5}) {
        const std::string u = "C" + std::to_string(count);
        std::vector<cfiOID> nets;
        for (int i = 0; i < std::abs(count); ++i) nets.push_back(net({u, "n" + std::to_string(i)}));
        ASSERT_EQ(e, 0);
        cfiOID uid = nyxdrOccPropSetFindViewOccPropByPath(set, Path({u}), &e);
        auto *inst = static_cast<nyxOccPropInst *>(nyxpi::object<nyxOccPropNode>(uid));
        EXPECT_EQ(inst->d_nets.d_table != nullptr, std::abs(count) >= 5) << count;
        int expected = std::abs(count);
        if (count < 0) {
            cfidrObjectDestroy(nets[2], &e);
            ASSERT_EQ(e, 0);
            --expected;
            EXPECT_EQ(inst->d_nets.d_table, nullptr);
        }
        EXPECT_EQ(inst->d_nets.d_count, expected);
        for (int i = 0; i < std::abs(count); ++i) {
            cfidrErrorT err = 0;
            cfiOID found = nyxdrOccPropSetFindNetOccPropByPath(set, Path({u, "n" + std::to_string(i)}), &err);
            if (count < 0 && i == 2) {
                EXPECT_EQ(err, cfidrErrNotFound);
            } else {
                EXPECT_TRUE(cfidrObjectIsSame(found, nets[static_cast<size_t>(i)], &err)) << count << " " << i;
            }
        }
        // Index stepping from the cursor agrees with the list.
        int i = 0;
        for (nyxOccPropNode *n = inst->d_nets.d_head; n != nullptr; n = n->d_next, ++i) {
            EXPECT_EQ(inst->d_nets.at(i), n);
        }
        EXPECT_EQ(inst->d_nets.at(0), inst->d_nets.d_head);
        EXPECT_EQ(inst->d_nets.at(expected), nullptr);
    }
}

TEST_F(OccTree, DestroyingAViewOccPropWithdrawsEverythingBelow) {
    cfidrErrorT err = 0;
    cfiOID u1 = view({"U1"});
    cfiOID u2 = view({"U1", "U2"});
    cfiOID n = net({"U1", "U2", "N"});
    cfiOID p = port({"U1", "P"}, {});
    cfiOID keep = net({"N"});
    cfiOID nprop = cfidrObjectCreateProp(n, "a", &err);
    cfiOID uprop = cfidrObjectCreateProp(u2, "b", &err);
    cfiOID pprop = cfidrObjectCreateProp(p, "c", &err);
    ASSERT_EQ(err, 0);
    // An iterator standing inside the subtree goes on past it.
    cfidrIterT it = nyxdrOccPropSetGetViewOccProps(set, &err);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrIterNextOccProp(it, &err), u1, &err));
    cfidrObjectDestroy(u1, &err);
    ASSERT_EQ(err, 0);
    for (cfiOID id : {u1, u2, n, p, nprop, uprop, pprop}) EXPECT_FALSE(cfidrObjectIsUsable(id, &err));
    EXPECT_TRUE(cfidrObjectIsUsable(keep, &err));
    EXPECT_EQ(nyxdrIterNextOccProp(it, &err).object, 0u);
    EXPECT_EQ(occtest::describe(asSet(set)), "set\n23 /N\n");
    nyxdrOccPropSetFindNetOccPropByPath(set, Path({"U1", "U2", "N"}), &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    // The path can be made again.
    net({"U1", "U2", "N"});
    EXPECT_EQ(e, 0);
    // Destroying a net takes its properties along.
    cfiOID kprop = cfidrObjectCreateProp(keep, "k", &err);
    cfidrObjectDestroy(keep, &err);
    EXPECT_FALSE(cfidrObjectIsUsable(kprop, &err));
}

TEST_F(OccTree, PropertiesOnNodesAndTheSetGoThroughThePropertyRoom) {
    cfidrErrorT err = 0;
    cfiOID n = net({"U1", "N"});
    cfiOID prop = cfidrObjectCreateProp(n, "w", &err);
    cfidrPropSetFloat32Value(prop, 2.5f, &err);
    ASSERT_EQ(err, 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrPropGetOwner(prop, &err), n, &err));
    cfidrObjectCreateProp(n, "w", &err);
    EXPECT_EQ(err, cfidrErrAlreadyExists);
    EXPECT_FLOAT_EQ(cfidrPropGetFloat32Value(cfidrObjectFindPropByName(n, "w", &err), &err), 2.5f);
    cfidrIterT props = cfidrObjectGetProps(n, &err);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextProp(props, &err), prop, &err));
    // Purging the set withdraws nodes and their properties.
    nyxdrOccPropSetPurge(set, &err);
    ASSERT_EQ(err, 0);
    EXPECT_FALSE(cfidrObjectIsUsable(n, &err));
    EXPECT_FALSE(cfidrObjectIsUsable(prop, &err));
}
