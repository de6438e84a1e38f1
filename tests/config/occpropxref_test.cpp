// The cross-reference of an occurrence property set, built from a stand-in for the occurrence
// tree: matches by instance, net and port, leaves, the set's own properties at the top, and the
// rebuilds after an edit and for another tree.
#include <map>

// The walk calls the cross-reference: both faces must compile in one unit.
#include "dw/dw.h"
#include "occprop_fixture.h"

using occtest::OccSession;
using occtest::Path;

namespace {

// A design as paths: instance occurrences by "/"-joined path, with leaves, nets and ports.
struct FakeTree : nyxOccSource {
    const void *key;
    uint64_t serial = 1;
    uint64_t base = 0;  // added to every id, so two trees give different ids
    std::map<std::string, uint64_t> insts{{"", 1}, {"/U1", 2}, {"/U1/U2", 3}, {"/L", 4}};
    std::map<uint64_t, std::string> names{{1, ""}, {2, "/U1"}, {3, "/U1/U2"}, {4, "/L"}};
    std::map<std::string, uint64_t> nets{{"/N", 100}, {"/U1/N", 101}, {"/U1/U2/N", 102}};
    std::map<std::string, uint64_t> ports{{"/L/A", 7}, {"/L/B:/m", 9}, {"/U1/P", 5}};
    mutable int childCalls = 0;

    explicit FakeTree(const void *k) : key(k) {}
    uint64_t find(const std::map<std::string, uint64_t> &m, const std::string &k) const {
        auto it = m.find(k);
        return it == m.end() ? kNone : it->second + base;
    }
    const std::string &nameOf(uint64_t occ) const { return names.at(occ - base); }
    const void *treeKey() const override { return key; }
    uint64_t treeSerial() const override { return serial; }
    uint64_t top() const override { return 1 + base; }
    uint64_t childInst(uint64_t occ, const char *inst) const override {
        ++childCalls;
        return find(insts, nameOf(occ) + "/" + inst);
    }
    bool isLeaf(uint64_t occ) const override { return nameOf(occ) == "/L"; }
    uint64_t net(uint64_t occ, const char *net) const override { return find(nets, nameOf(occ) + "/" + net); }
    uint64_t port(uint64_t occ, const char *port, const char *const *member) const override {
        std::string k = nameOf(occ) + "/" + port;
        if (*member != nullptr) k += ":" + nyxOccPropPath::pathname(occtest::toVector(member));
        return find(ports, k);
    }
};

struct OccXref : OccSession {
    cfiOID set{};
    int tag1 = 0, tag2 = 0;
    void SetUp() override {
        OccSession::SetUp();
        set = makeSet("s");
    }
    cfiOID withProp(cfiOID node, int value) {
        cfidrErrorT err = 0;
        cfidrPropSetInt32Value(cfidrObjectCreateProp(node, "v", &err), value, &err);
        EXPECT_EQ(err, 0);
        return node;
    }
    // The value "v" of a list, or -1 for none.
    static int valueOf(const nyxPropList *list) {
        if (list == nullptr) return -1;
        cfidrErrorT err = 0;
        nyxObjRef r = nyxPropFind(list, "v", &err);
        return r.obj == nullptr ? -1 : nyxPropGetInt(list, r.member, &err);
    }
};

} // namespace

TEST_F(OccXref, LooksUpInstancesNetsAndPortsByOccurrenceId) {
    cfidrErrorT err = 0;
    withProp(set, 10);
    withProp(nyxdrOccPropSetCreateViewOccProp(set, Path({"U1", "U2"}), &err), 11);
    withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"N"}), &err), 20);
    withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"U1", "U2", "N"}), &err), 21);
    withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"U1", "missing"}), &err), 22);
    withProp(nyxdrOccPropSetCreatePortOccProp(set, Path({"U1", "P"}), nullptr, &err), 30);
    // A leaf occurrence: its own properties and its ports count, its nets do not.
    withProp(nyxdrOccPropSetCreateViewOccProp(set, Path({"L"}), &err), 12);
    withProp(nyxdrOccPropSetCreatePortOccProp(set, Path({"L", "B"}), Path({"m"}), &err), 31);
    withProp(nyxdrOccPropSetCreatePortOccProp(set, Path({"L", "A"}), nullptr, &err), 32);
    withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"L", "N"}), &err), 23);
    withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"X", "N"}), &err), 24);
    ASSERT_EQ(err, 0);
    FakeTree tree(&tag1);
    nyxOccPropSet *s = asSet(set);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::instProps(s, tree, 1, &err)), 10);  // the set's own, at the top
    EXPECT_EQ(valueOf(nyxOccPropXrefs::instProps(s, tree, 2, &err)), -1);  // U1 has no properties
    EXPECT_EQ(valueOf(nyxOccPropXrefs::instProps(s, tree, 3, &err)), 11);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::instProps(s, tree, 4, &err)), 12);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, tree, 100, &err)), 20);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, tree, 101, &err)), -1);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, tree, 102, &err)), 21);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::portProps(s, tree, 2, 5, &err)), 30);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::portProps(s, tree, 4, 7, &err)), 32);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::portProps(s, tree, 4, 9, &err)), 31);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::portProps(s, tree, 4, 8, &err)), -1);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::portProps(s, tree, 3, 5, &err)), -1);
    EXPECT_TRUE(nyxOccPropXrefs::hasAnyInstProps(s, tree, &err));
    EXPECT_TRUE(nyxOccPropXrefs::hasAnyNetProps(s, tree, &err));
    EXPECT_TRUE(nyxOccPropXrefs::hasAnyPortProps(s, tree, &err));
    EXPECT_EQ(err, 0);
    // Unmatched nodes stay in the set.
    nyxdrOccPropSetFindNetOccPropByPath(set, Path({"X", "N"}), &err);
    EXPECT_EQ(err, 0);
}

TEST_F(OccXref, IsRebuiltAfterEveryEditAndForAnotherTree) {
    cfidrErrorT err = 0;
    FakeTree tree(&tag1);
    nyxOccPropSet *s = asSet(set);
    EXPECT_FALSE(nyxOccPropXrefs::hasAnyNetProps(s, tree, &err));
    // A node made and given a property after the build is seen.
    cfiOID n = withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"U1", "N"}), &err), 1);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, tree, 101, &err)), 1);
    // A value changed, a property destroyed, a node destroyed: each is seen at once.
    cfiOID v = cfidrObjectFindPropByName(n, "v", &err);
    cfidrPropSetInt32Value(v, 2, &err);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, tree, 101, &err)), 2);
    cfiOID w = cfidrObjectCreateProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"N"}), &err), "w", &err);
    EXPECT_NE(nyxOccPropXrefs::netProps(s, tree, 100, &err), nullptr);
    cfidrObjectDestroy(w, &err);
    cfidrObjectDestroy(nyxdrOccPropSetFindViewOccPropByPath(set, Path({"U1"}), &err), &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(nyxOccPropXrefs::netProps(s, tree, 101, &err), nullptr);
    // Unchanged, the same tree does not rebuild; another tree, or a new build of it, does.
    withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"U1", "N"}), &err), 3);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, tree, 101, &err)), 3);
    const int calls = tree.childCalls;
    nyxOccPropXrefs::netProps(s, tree, 101, &err);
    EXPECT_EQ(tree.childCalls, calls);
    FakeTree other(&tag2);
    other.base = 1000;
    EXPECT_EQ(nyxOccPropXrefs::netProps(s, other, 101, &err), nullptr);
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, other, 1101, &err)), 3);
    tree.base = 500;
    ++tree.serial;
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(s, tree, 601, &err)), 3);
    EXPECT_EQ(err, 0);
}

TEST_F(OccXref, AFailedReadIsTheLookupsError) {
    cfidrErrorT err = 0;
    withProp(nyxdrOccPropSetCreateNetOccProp(set, Path({"N"}), &err), 1);
    nyxdrOccPropSetSave(set, &err);
    restart();
    cfiOID opened = nyxdrPIOpenOccPropSet("lib", "top", "s", cfidrUpdateMode, &err);
    ASSERT_EQ(err, 0);
    FakeTree tree(&tag1);
    nyxFileIO::failOperation(1);
    EXPECT_EQ(nyxOccPropXrefs::netProps(asSet(opened), tree, 100, &err), nullptr);
    EXPECT_EQ(err, cfidrErrInternal);
    nyxFileIO::failOperation(0);
    err = 0;
    EXPECT_EQ(valueOf(nyxOccPropXrefs::netProps(asSet(opened), tree, 100, &err)), 1);
}
