// The session's manager follows the library's initialisation and release.
#include <gtest/gtest.h>

#include "expr_test_util.h"
#include "utils/nyx.h"

TEST(ExprSession, ManagerLivesFromInitialisationToRelease) {
    EXPECT_EQ(nyxExprSessionMgr(), nullptr);
    ASSERT_NE(nyx::ensure(), nullptr);
    nyxExprMgr *mgr = nyxExprSessionMgr();
    ASSERT_NE(mgr, nullptr);
    EXPECT_EQ(exprtest::eval(*mgr, "$strcat(\"a\", 1 + 1)"), "str:a2");
    nyx::release();
    EXPECT_EQ(nyxExprSessionMgr(), nullptr);
    // A second session gets a fresh manager with an empty cache.
    ASSERT_NE(nyx::ensure(), nullptr);
    ASSERT_NE(nyxExprSessionMgr(), nullptr);
    EXPECT_EQ(nyxExprSessionMgr()->cacheSize(), 0u);
    EXPECT_EQ(exprtest::eval(*nyxExprSessionMgr(), "2 * 21"), "int:42");
    nyx::release();
}
