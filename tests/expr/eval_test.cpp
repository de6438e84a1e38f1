// Evaluation: operators, precedence, conversions, functions, names, short-circuit evaluation
// and the recursion guard.
#include <gtest/gtest.h>

#include "expr_test_util.h"
#include "status/status.h"

using exprtest::Case;
using exprtest::eval;
using exprtest::runTable;

TEST(ExprEval, PrecedenceAndAssociativity) {
    static const Case cases[] = {
        {"1 + 2 * 3", "int:7"},
        {"(1 + 2) * 3", "int:9"},
        {"1 - 2 - 3", "int:-4"},
        {"2 * 3 % 4", "int:2"},          // (2*3)%4, not 2*(3%4)
        {"12 / 2 / 3", "real:2"},
        {"-2 * 3", "int:-6"},
        {"- -3", "int:3"},
        {"!0 == 1", "err:31007"},        // (!0) == 1: a boolean does not compare
        {"!(1 == 1)", "bool:false"},
        {"1 < 2 && 2 < 3 || false", "bool:true"},
        {"true || false && false", "bool:true"},  // && binds tighter
        {"false && false || true", "bool:true"},
        {"1 ? 2 : 0 ? 3 : 4", "int:2"},
        {"0 ? 2 : 1 ? 3 : 4", "int:3"},
        {"1 + 1 == 2 ? \"yes\" : \"no\"", "str:yes"},
        {"\"12\"[1] + 1", "real:3"},      // indexing binds before +
        {"-\"-12\"[1]", "real:-12"},       // and before prefix minus
    };
    runTable(cases);
}

TEST(ExprEval, ArithmeticKindsAndConversions) {
    static const Case cases[] = {
        {"6 / 2", "real:3"},
        {"7 % 2", "int:1"},
        {"-7 % 2", "int:-1"},
        {"-7.5 % 2", "real:-1.5"},
        {"2.5 + 1", "real:3.5"},
        {"\"10\" + 1", "real:11"},
        {"' 2.5e1 ' * 2", "real:50"},
        {"\"10x\" + 1", "err:31007"},
        {"true + 1", "err:31007"},
        {"void + 1", "err:31007"},
        {"1 / 0", "err:31011"},
        {"1 / 0.0", "err:31011"},
        {"5 % 0", "err:31011"},
        {"5.5 % 0", "err:31011"},
        {"2147483647 + 1", "real:2147483648"},
        {"-2147483647 - 2", "real:-2147483649"},
        {"65536 * 65536", "real:4294967296"},
        {"-(-2147483647 - 1)", "real:2147483648"},
        {"(-2147483647 - 1) % -1", "int:0"},
        {"99999999999", "real:99999999999"},
    };
    runTable(cases);
}

TEST(ExprEval, ComparisonsAndLogic) {
    static const Case cases[] = {
        {"\"abc\" < \"ABD\"", "bool:true"},
        {"\"ABC\" == \"abc\"", "bool:true"},
        {"\"ab\" < \"abc\"", "bool:true"},
        {"\"10\" < \"9\"", "bool:false"},  // two numeric strings compare as numbers
        {"\"1e1\" == \" 10 \"", "bool:true"},
        {"\"10\" < \"9x\"", "bool:true"},   // otherwise as text
        {"\"10\" > 9", "bool:true"},      // a string against a number converts
        {"\"abc\" < 3", "err:31007"},
        {"2 >= 2", "bool:true"},
        {"2 > 2", "bool:false"},
        {"2 <= 1.5", "bool:false"},
        {"2 != 2.0", "bool:false"},
        {"void == 1", "err:31007"},
        {"!0", "bool:true"},
        {"!\"x\"", "err:31007"},
        {"\"x\" && true", "err:31007"},
        {"true && \"x\"", "err:31007"},
        {"false && (1/0)", "bool:false"},
        {"true || (1/0)", "bool:true"},
        {"true && (1/0)", "err:31011"},
        {"1 ? 5 : 1/0", "int:5"},
        {"0 ? 1/0 : 6", "int:6"},
        {"\"x\" ? 1 : 2", "err:31007"},
        {"void", "void"},
        {"1 ? void : 2", "void"},
    };
    runTable(cases);
}

// Comparisons used to take booleans as the numbers 0 and 1: they take two numbers or two strings.
TEST(ExprEval, ComparisonsOfBooleansAreWrongTypes) {
    exprtest::TableLookup names;
    names.set("t", nyxExprValue::ofBool(true));
    static const Case cases[] = {
        {"true == 1", "err:31007"},
        {"(1 < 2) == (2 < 3)", "err:31007"},
        {"true != false", "err:31007"},
        {"t >= 0", "err:31007"},
        {"\"1\" < t", "err:31007"},
        {"1 == 1.0", "bool:true"},       // integers and reals are both numbers
        {"\"1\" == 1", "bool:true"},     // a numeric string converts
        {"(1 < 2) && (2 < 3)", "bool:true"},
    };
    zilerrContextT ctx = zilerrClearContext(zilerrContextForThread());
    runTable(cases, &names);
    ASSERT_EQ(zilerrGetCount(ctx), 5);
    EXPECT_NE(std::string(zilerrGetMessage(ctx, 0)).find("numeric or string"), std::string::npos);
    zilerrClearContext(ctx);
}

TEST(ExprEval, StringIndexingAndRanges) {
    static const Case cases[] = {
        {"\"hello\"[0]", "str:hello"},
        {"\"hello\"[1]", "str:ello"},
        {"\"hello\"[4]", "str:o"},
        {"\"hello\"[5]", "str:"},
        {"\"hello\"[-2]", "str:lo"},
        {"\"hello\"[-99]", "str:hello"},
        {"\"hello\"[1:3]", "str:ell"},
        {"\"hello\"[3:1]", "str:ell"},  // swapped
        {"\"hello\"[2:2]", "str:l"},
        {"\"hello\"[3:99]", "str:lo"},
        {"\"hello\"[-3:-1]", "str:llo"},
        {"\"hello\"[-1:-3]", "str:"},
        {"\"hello\"[7:9]", "str:"},
        {"12345[1:2]", "str:23"},
        {"2.5[1]", "str:.5"},
        {"\"hello\"[\"1\"]", "str:ello"},
        {"\"hello\"[1.0]", "str:ello"},
        {"\"hello\"[1.5]", "err:31007"},
        {"true[0]", "err:31007"},
        {"\"hello\"[1][1]", "str:llo"},
        {"\"\"[0:0]", "str:"},
        {"\"hello\"[2147483647:-2147483647 - 1]", "str:"},
    };
    runTable(cases);
}

TEST(ExprEval, Functions) {
    static const Case cases[] = {
        {"abs(-3)", "int:3"},
        {"abs(-2.5)", "real:2.5"},
        {"abs(-2147483647 - 1)", "real:2147483648"},
        {"sqrt(16)", "real:4"},
        {"sqrt(\"16\")", "real:4"},
        {"sqrt(-1)", "err:31012"},
        {"log(0)", "err:31012"},
        {"log10(1000)", "real:3"},
        {"exp(0)", "real:1"},
        {"exp(1000)", "err:31012"},
        {"asin(1) * 2 == pi", "bool:true"},
        {"pow(2, 10)", "real:1024"},
        {"pow(0, -1)", "err:31012"},
        {"atan2(0, -1) == pi", "bool:true"},
        {"cos(0) + sin(0) + tan(0) + cosh(0) + sinh(0) + tanh(0) + atan(0)", "real:2"},
        {"cot(0)", "err:31011"},
        {"sec(0)", "real:1"},
        {"ceil(1.2)", "real:2"},
        {"floor(-1.2)", "real:-2"},
        {"deg(3 * pi)", "real:180"},
        {"rad(540)", "real:3.14159265358979"},
        {"$round(-2.5)", "real:-3"},
        {"$round(2.5)", "real:3"},
        {"$round(2.4)", "real:2"},
        {"$truncate(-2.5)", "real:-2"},
        {"$truncate(2.7)", "real:2"},
        {"length(\"abc\")", "int:3"},
        {"length(3)", "err:31007"},
        {"sqrt(true)", "err:31007"},
        {"ABS(-1) + Abs(-1) + aBs(-1)", "int:3"},
        {"two_pi / pi", "real:2"},
        {"sqrt(1/0)", "err:31011"},
    };
    runTable(cases);
}

TEST(ExprEval, NamesThroughTheLookupContext) {
    exprtest::TableLookup names;
    names.set("w", nyxExprValue::ofInt(4));
    names.set("l", nyxExprValue::ofReal(0.5));
    names.set("undefined", nyxExprValue());
    names.setText("model", "nmos");
    names.setText("count", "12");
    static const Case cases[] = {
        {"w * 2 + l", "real:8.5"},
        {"model == \"NMOS\"", "bool:true"},
        {"count + 1", "real:13"},
        {"model[1:2]", "str:mo"},
        {"missing + 1", "err:31014"},
        {"undefined", "err:31014"},
        {"true || missing", "bool:true"},
    };
    runTable(cases, &names);

    // Short-circuit: the right operand is not even looked up.
    nyxExprMgr mgr;
    names.calls.clear();
    EXPECT_EQ(eval(mgr, "false && w > 1", &names), "bool:false");
    EXPECT_EQ(eval(mgr, "w > 1 ? w : l", &names), "int:4");
    EXPECT_EQ(names.calls["w"], 2);
    EXPECT_EQ(names.calls.count("l"), 0u);

    // Without a lookup context no name is defined.
    EXPECT_EQ(eval(mgr, "w"), "err:31014");
}

TEST(ExprEval, RecursionThroughNames) {
    nyxExprMgr mgr;
    exprtest::TableLookup names;
    names.mgr = &mgr;
    names.set("base", nyxExprValue::ofInt(10));
    names.expressions["a"] = "b + 1";
    names.expressions["b"] = "base * 2";
    names.expressions["self"] = "self + 1";
    names.expressions["p"] = "q";
    names.expressions["q"] = "r";
    names.expressions["r"] = "p";
    names.expressions["broken"] = "1 / 0";

    cfidrErrorT err = -1;
    nyxExprValue v = mgr.evaluate("top", "a + b", &names, nullptr, &err);
    EXPECT_EQ(exprtest::render(v, err), "int:41") << "nested evaluations";
    v = mgr.evaluate("self", "self + 1", &names, nullptr, &err);
    EXPECT_EQ(err, nyxdwErrRecursive);
    EXPECT_FALSE(v.defined());
    v = mgr.evaluate("p", "q", &names, nullptr, &err);
    EXPECT_EQ(err, nyxdwErrRecursive);
    v = mgr.evaluate("top", "broken", &names, nullptr, &err);
    EXPECT_EQ(err, nyxdwErrDivideByZero) << "the nested error is passed on";

    // The same name evaluated at two different scopes is not a recursion.
    struct Scoped : exprtest::TableLookup {
        int level = 0;
        bool lookup(const char *name, nyxExprCompilerContext *cctx, nyxExprValue &out,
                    cfidrErrorT *err) override {
            if (std::string(name) != "x") return false;
            if (level == 1) {
                out = nyxExprValue::ofInt(5);
                return true;
            }
            Scoped outer;
            outer.level = 1;
            outer.scopeKey = &outer;
            out = mgr->evaluate("x", "x * 2", &outer, cctx, err);
            return *err == 0;
        }
    } inner;
    inner.mgr = &mgr;
    inner.scopeKey = &inner;
    v = mgr.evaluate("x", "x + 1", &inner, nullptr, &err);
    EXPECT_EQ(exprtest::render(v, err), "int:11");

    // An endless chain of distinct names is cut by the nesting limit, not by the stack.
    struct Endless : exprtest::TableLookup {
        bool lookup(const char *name, nyxExprCompilerContext *cctx, nyxExprValue &out,
                    cfidrErrorT *err) override {
            std::string next = std::string(name) + "x";
            std::string text = next + " + 1";
            out = mgr->evaluate(next.c_str(), text.c_str(), this, cctx, err);
            return *err == 0;
        }
    } endless;
    endless.mgr = &mgr;
    v = mgr.evaluate("n", "n + 1", &endless, nullptr, &err);
    EXPECT_EQ(err, nyxdwErrRecursive);
}

TEST(ExprEval, TypeErrorsAndDivisionsAreReportedAsStatuses) {
    zilerrContextT ctx = zilerrContextForThread();
    zilerrClearContext(ctx);
    nyxExprMgr mgr;
    EXPECT_EQ(eval(mgr, "1 % \"x\""), "err:31007");
    EXPECT_EQ(eval(mgr, "1 / 0"), "err:31011");
    EXPECT_EQ(eval(mgr, "sqrt(-1)"), "err:31012");  // not a status
    ASSERT_EQ(zilerrGetCount(ctx), 2);
    EXPECT_EQ(zilerrGetMessageId(ctx, 0), nyxdwErrArgWrongType);
    std::string first = zilerrGetMessage(ctx, 0);
    EXPECT_NE(first.find("mod"), std::string::npos) << first;
    EXPECT_NE(first.find("numeric"), std::string::npos) << first;
    EXPECT_EQ(zilerrGetMessageId(ctx, 1), nyxdwErrDivideByZero);
}

// Every type error and division by zero adds a status to the thread's context, and nothing
// cleared them: a long run of failing evaluations grew the context without end. Only the newest
// expression statuses are kept; statuses of other packages stay.
TEST(ExprEval, FailingEvaluationsKeepTheStatusContextBounded) {
    zilerrContextT ctx = zilerrClearContext(zilerrContextForThread());
    ASSERT_EQ(zilerrAddStatus(ctx, 7, "from elsewhere", "other", 2, 0), 0);
    nyxExprMgr mgr;
    for (int k = 0; k < 1000000; ++k) {
        cfidrErrorT err = 0;
        mgr.evaluate(nullptr, k % 2 == 0 ? "1 / 0" : "1 + true", nullptr, nullptr, &err);
        ASSERT_NE(err, 0);
    }
    int count = zilerrGetCount(ctx);
    EXPECT_GE(count, 65);
    EXPECT_LE(count, 129);
    EXPECT_STREQ(zilerrGetPackage(ctx, 0), "other");
    EXPECT_STREQ(zilerrGetMessage(ctx, 0), "from elsewhere");
    // The statuses kept are the newest, in order, each with its own text.
    for (int i = 1; i < count; ++i) {
        bool wrongType = (count - 1 - i) % 2 == 0;  // the last evaluation was a type error
        EXPECT_EQ(zilerrGetMessageId(ctx, i),
                  wrongType ? nyxdwErrArgWrongType : nyxdwErrDivideByZero);
        std::string text = zilerrGetMessage(ctx, i);
        if (wrongType) EXPECT_NE(text.find("\"+\" expects numeric"), std::string::npos) << text;
        else EXPECT_EQ(text, "Divide by zero in \"/\".");
    }
    zilerrClearContext(ctx);
}
