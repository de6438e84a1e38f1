#include <gtest/gtest.h>
#include "expr/exprInt.h"
TEST(ExprParse, Smoke) {
    nyxExprMgr m;
    cfidrErrorT err;
    nyxExprValue v = m.evaluate(nullptr, "1 + 2 * 3", nullptr, nullptr, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(v.i, 7);
}
