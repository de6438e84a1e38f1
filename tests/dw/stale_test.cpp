// Staleness of a tree: edits of its views, views deleted anywhere, edits elsewhere (restamp),
// and walks that outlive their tree.
#include <memory>

#include "dw/dw_fixture.h"

namespace {

using dwtest::Session;

TEST_F(Session, EditOfAViewOfTheTreeMakesItStale) {
    small();
    ASSERT_NE(build(top), nullptr);
    EXPECT_TRUE(nyxdw::isCurrent(tree));
    net(and2, "n");  // the leaf now has a net: it would be descended into
    EXPECT_FALSE(nyxdw::isCurrent(tree));
    ASSERT_NE(build(top), nullptr);
    EXPECT_EQ(nyxdw::level(tree, occ(65, nyxOccInst), &e), nyxOccLevelDescended);
}

TEST_F(Session, UnrelatedEditRestampsTheTree) {
    small();
    cfiOID other = view("other");
    ASSERT_NE(build(top), nullptr);
    net(other, "n");
    EXPECT_NE(tree->d_version, nyxSettings::getViewVersion());
    EXPECT_TRUE(nyxdw::isCurrent(tree));
    // Restamped: the next check is two compares, and a later edit of the tree still counts.
    EXPECT_EQ(tree->d_version, nyxSettings::getViewVersion());
    EXPECT_TRUE(nyxdw::isCurrent(tree));
    net(sub, "n2");
    EXPECT_FALSE(nyxdw::isCurrent(tree));
}

TEST_F(Session, PurgedViewOfTheTreeMakesItStale) {
    small();
    ASSERT_NE(build(top), nullptr);
    const uint32_t version = nyxSettings::getViewVersion();
    dmtest::ok(cfidrViewPurge, and2);  // deleting a view moves no version
    EXPECT_EQ(nyxSettings::getViewVersion(), version);
    EXPECT_FALSE(nyxdw::isCurrent(tree));
    EXPECT_EQ(build(top), nullptr);  // the describer is gone with the unsaved view
    EXPECT_EQ(e, cfidrErrDescriberNotFound);
}

TEST_F(Session, ReadAgainAfterPurgeIsANewTree) {
    small();
    dmtest::ok(cfidrViewSave, and2);
    ASSERT_NE(build(top), nullptr);
    dmtest::ok(cfidrViewPurge, and2);
    EXPECT_FALSE(nyxdw::isCurrent(tree));
    ASSERT_NE(build(top), nullptr) << e;  // the describer is read again from its file
    EXPECT_TRUE(nyxdw::isCurrent(tree));
    EXPECT_EQ(nyxdw::totalSize(tree), 74);
}

TEST_F(Session, WalkEndsWhenItsTreeIsNotTheCurrentOne) {
    small();
    ASSERT_NE(build(top), nullptr);
    std::unique_ptr<nyxOccWalk> w(nyxdw::walkHierarchy(tree, 3, &e));
    nyxOccRef r;
    ASSERT_TRUE(w->next(tree, &r, &e));
    inst(top, and2, "late");  // an edit during the walk: the owner drops and rebuilds
    ASSERT_FALSE(nyxdw::isCurrent(tree));
    ASSERT_NE(build(top), nullptr);
    EXPECT_FALSE(w->next(tree, &r, &e));
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    EXPECT_TRUE(r.isNull());
    e = 0;
    EXPECT_FALSE(w->next(nullptr, &r, &e));
    EXPECT_EQ(e, nyxdwErrOccUnusable);
    e = 0;
    std::unique_ptr<nyxOccWalk> fresh(nyxdw::walkHierarchy(tree, 1, &e));
    int leaves = 0;
    while (fresh->next(tree, &r, &e)) ++leaves;
    EXPECT_EQ(leaves, 8);
    fresh->reset();
    EXPECT_TRUE(fresh->next(tree, &r, &e));
    EXPECT_EQ(r.id, 70);  // "late" took position 62 of top: L(top) is 63 now
}

} // namespace
