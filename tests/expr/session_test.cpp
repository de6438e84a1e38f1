// The session's manager follows the session code's start and release steps.
#include <gtest/gtest.h>

#include "expr_test_util.h"
#include "utils/nyx.h"

TEST(ExprSession, ManagerLivesFromInitialisationToRelease) {
    EXPECT_EQ(nyxExprSessionMgr(), nullptr);
    ASSERT_NE(nyx::create(), nullptr);
    nyxExprStartSession();
    nyxExprMgr *mgr = nyxExprSessionMgr();
    ASSERT_NE(mgr, nullptr);
    EXPECT_EQ(exprtest::eval(*mgr, "$strcat(\"a\", 1 + 1)"), "str:a2");
    nyxExprEndSession();
    EXPECT_EQ(nyxExprSessionMgr(), nullptr);
    nyx::destroy();
    // A second session gets a fresh manager with an empty cache.
    ASSERT_NE(nyx::create(), nullptr);
    nyxExprStartSession();
    ASSERT_NE(nyxExprSessionMgr(), nullptr);
    EXPECT_EQ(nyxExprSessionMgr()->cacheSize(), 0u);
    EXPECT_EQ(exprtest::eval(*nyxExprSessionMgr(), "2 * 21"), "int:42");
    nyxExprEndSession();
    nyx::destroy();
}
