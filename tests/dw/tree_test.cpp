// The occurrence tree: exact ids on a small design, shared nodes, the id space at its boundary,
// cycles, describer errors, deep hierarchies, and the identifier layout.
#include <memory>

#include "dw/dw_fixture.h"

namespace {

using dwtest::Session;

TEST_F(Session, SmallDesignHasExactIdsAndOneNodePerView) {
    small();
    ASSERT_NE(build(top), nullptr);
    EXPECT_EQ(nyxdw::nodeCount(tree), 4);  // top, mid, sub and the leaf and2, each once
    EXPECT_EQ(nyxdw::totalSize(tree), 74);
    EXPECT_EQ(nyxdw::maxDepth(tree), 4);
    // Instance occurrences of the whole hierarchy, depth first in position order: the two mid
    // occurrences share one node, yet every occurrence has its own id.
    EXPECT_EQ(ids(nyxdw::walkHierarchy(tree, 3, &e)), "4 66 69 67 70 68 71 5 72 75 73 76 74 77 65");
    EXPECT_EQ(ids(nyxdw::walkHierarchy(tree, 1, &e)), "69 70 71 75 76 77 65");
    EXPECT_EQ(ids(nyxdw::walkHierarchy(tree, 2, &e)), "4 66 67 68 5 72 73 74");
    EXPECT_EQ(ids(nyxdw::walkNets(tree, nyxdw::top(tree), &e)), "4");
    EXPECT_EQ(ids(nyxdw::walkNets(tree, occ(5, nyxOccInst), &e)), "72 73");
    EXPECT_EQ(ids(nyxdw::walkInsts(tree, occ(5, nyxOccInst), &e)), "72 73 74");
    EXPECT_EQ(ids(nyxdw::walkNets(tree, occ(77, nyxOccInst), &e)), "");  // a leaf has no nets
    EXPECT_EQ(ids(nyxdw::walkPorts(tree, occ(77, nyxOccInst), &e)), "77:0 77:1 77:2");
    EXPECT_EQ(e, 0);
    EXPECT_EQ(nyxdw::level(tree, nyxdw::top(tree), &e), 1);
    EXPECT_EQ(nyxdw::level(tree, occ(4, nyxOccInst), &e), 2);
    EXPECT_EQ(nyxdw::level(tree, occ(65, nyxOccInst), &e), 4);
    EXPECT_EQ(nyxdw::level(tree, occ(76, nyxOccInst), &e), 4);
    EXPECT_EQ(pathname(occ(76, nyxOccInst)), "c/u1/g");
    EXPECT_EQ(pathname(occ(75, nyxOccNet)), "c/u0/s");
    EXPECT_EQ(pathname(occ(73, nyxOccNet)), "c/m1");
    EXPECT_EQ(pathname(occ(4, nyxOccNet)), "t");
    EXPECT_EQ(e, 0);
}

TEST_F(Session, LocalCountIsTheUsedPrefixNotTheBlock) {
    // Nets fill positions 0 .. 29 over two blocks of 22; instances only position 0.
    cfiOID leafView = view("cell");
    net(leafView, "x");
    cfiOID root = view("root");
    for (int i = 0; i < 30; ++i) net(root, "n" + std::to_string(i));
    inst(root, leafView, "i0");
    ASSERT_NE(build(root), nullptr);
    EXPECT_EQ(tree->node(0).local, 30);
    EXPECT_EQ(nyxdw::totalSize(tree), 31);
    EXPECT_EQ(ids(nyxdw::walkInsts(tree, nyxdw::top(tree), &e)), "4");
    EXPECT_EQ(nyxdw::pathnameOf(tree, occ(34, nyxOccNet), &e), "i0/x");
}

// A chain whose sizes double: v1 holds two nets (S = 2) and each next view two instances of the
// one before, so S(vj) = 2^(j+1) - 2; a root of four instances of v28 has S = 2^31 - 4 and its
// last id is exactly 2^31 - 1.
struct Boundary : Session {
    void SetUp() override {
        Session::SetUp();
        cfiOID below = view("v1");
        net(below, "n0");
        net(below, "n1");
        v1 = below;
        for (int j = 2; j <= 28; ++j) {
            cfiOID v = view("v" + std::to_string(j));
            inst(v, below, "i0");
            inst(v, below, "i1");
            below = v;
        }
        root = view("root");
        for (int k = 0; k < 4; ++k) inst(root, below, "r" + std::to_string(k));
    }
    cfiOID v1{}, root{};
};

TEST_F(Boundary, LastIdOfTheSignedRangeBuildsAndOneMoreOverflows) {
    ASSERT_NE(build(root), nullptr) << e;
    EXPECT_EQ(nyxdw::totalSize(tree), nyxdw::kMaxSize);
    const nyxOccRef last = occ(INT32_MAX, nyxOccNet);
    nyxObjRef n = nyxdw::netOf(tree, last, &e);
    ASSERT_NE(n.obj, nullptr);
    EXPECT_STREQ(nyxNet::name(n.obj), "n1");
    std::string expect = "r3";
    for (int j = 28; j >= 2; --j) expect += "/i1";
    EXPECT_EQ(pathname(last), expect + "/n1");
    EXPECT_EQ(nyxdw::netOf(tree, occ(INT32_MIN, nyxOccNet), &e).obj, nullptr);
    EXPECT_EQ(e, nyxdwErrOccUnusable);

    // One more instance (of a 2-net view) passes the range: 31002, and no tree.
    inst(root, v1, "extra");
    EXPECT_EQ(build(root), nullptr);
    EXPECT_EQ(e, nyxdwErrOccTreeFailed);
}

TEST_F(Session, CycleAcrossCellsFailsWithTwo) {
    cfiOID a = view("a");
    cfiOID b = view("b");
    cfiOID c = view("c");
    net(c, "n");
    inst(a, c, "leaf");
    inst(a, b, "toB");
    inst(b, a, "toA");  // allowed by creation: a and b are in different cells
    EXPECT_EQ(build(a), nullptr);
    EXPECT_EQ(e, cfidrErrRecursiveDescriber);
    EXPECT_EQ(build(b), nullptr);
    EXPECT_EQ(e, cfidrErrRecursiveDescriber);
    EXPECT_NE(build(c), nullptr);  // the views outside the cycle still build
}

TEST_F(Session, DescriberThatCannotBeFoundStopsTheBuild) {
    cfiOID gone = view("gone");
    net(gone, "n");
    cfiOID root = view("root");
    inst(root, gone, "i");
    dmtest::ok(cfidrViewPurge, gone);  // never saved: no view of that name remains
    EXPECT_EQ(build(root), nullptr);
    EXPECT_EQ(e, cfidrErrDescriberNotFound);
}

TEST_F(Session, DeepChainBuildsWithoutRecursion) {
    // 3000 levels: one call per level would take a stack frame each.
    constexpr int kDepth = 3000;
    cfiOID below = view("d0");
    net(below, "n");
    for (int j = 1; j < kDepth; ++j) {
        cfiOID v = view("d" + std::to_string(j));
        inst(v, below, "i");
        below = v;
    }
    ASSERT_NE(build(below), nullptr);
    EXPECT_EQ(nyxdw::maxDepth(tree), kDepth);
    EXPECT_EQ(nyxdw::totalSize(tree), kDepth);
    const nyxOccRef deepest = occ(4 + kDepth - 1, nyxOccNet);
    ASSERT_NE(nyxdw::netOf(tree, deepest, &e).obj, nullptr);
    nyxOccNames path;
    ASSERT_TRUE(nyxdw::pathOf(tree, deepest, &path, &e));
    EXPECT_EQ(path.names.size(), static_cast<size_t>(kDepth));
    std::unique_ptr<nyxOccWalk> w(nyxdw::walkHierarchy(tree, 3, &e));
    int steps = 0;
    for (nyxOccRef r; w->next(tree, &r, &e);) ++steps;
    EXPECT_EQ(steps, kDepth - 1);
    EXPECT_EQ(e, 0);
}

TEST(OccWords, LayoutRoundTripsAndRefusesWhatDoesNotFit) {
    for (int32_t kind = nyxOccNet; kind <= nyxOccPort; ++kind) {
        nyxOccRef r;
        r.id = -7;
        r.kind = kind;
        r.designId = 255;
        r.port = kind == nyxOccPort ? nyxdw::kMaxPorts - 1 : 0;
        nyxOccWords w;
        ASSERT_TRUE(nyxdw::encodeWords(r, &w));
        EXPECT_EQ(w.tag & 15u, static_cast<uint32_t>(2 * kind + 1));
        nyxOccRef back;
        ASSERT_TRUE(nyxdw::decodeWords(w, &back));
        EXPECT_EQ(back.id, -7);
        EXPECT_EQ(back.kind, kind);
        EXPECT_EQ(back.designId, 255);
        EXPECT_EQ(back.port, r.port);
    }
    nyxOccRef r;
    r.kind = nyxOccPort;
    r.port = nyxdw::kMaxPorts;
    nyxOccWords w;
    EXPECT_FALSE(nyxdw::encodeWords(r, &w));  // the port would spill out of the tag
    r.port = 0;
    r.designId = 256;
    EXPECT_FALSE(nyxdw::encodeWords(r, &w));
    nyxOccRef back;
    EXPECT_FALSE(nyxdw::decodeWords({3, 0x10u}, &back));        // tag bit 0 clear
    EXPECT_FALSE(nyxdw::decodeWords({3, 0xdu}, &back));         // kind 6
    EXPECT_FALSE(nyxdw::decodeWords({3, 0x7u | 1u << 12}, &back));  // a port on an instance
}

} // namespace
