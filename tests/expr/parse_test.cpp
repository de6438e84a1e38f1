// Scanning and parsing: token forms, the syntax-error and unterminated-string rules, the
// nesting limit, and the parse cache.
#include <gtest/gtest.h>

#include <string>

#include "expr/exprInt.h"
#include "expr_test_util.h"
#include "status/status.h"
#include "utils/heap.h"

using exprtest::Case;
using exprtest::eval;
using exprtest::runTable;

TEST(ExprParse, TokenForms) {
    static const Case cases[] = {
        {"007", "int:7"},  // no octal
        {"2147483647", "int:2147483647"},
        {"2147483648", "real:2147483648"},
        {"1.5", "real:1.5"},
        {"3.", "real:3"},
        {".25", "real:0.25"},
        {"1e3", "real:1000"},
        {"1.5E-1", "real:0.15"},
        {"2e+2", "real:200"},
        {"\"dq\"", "str:dq"},
        {"'sq'", "str:sq"},
        {"\"it's\"", "str:it's"},
        {"'a\\nb'", "str:a\nb"},
        {"'a\\tb'", "str:a\tb"},
        {"'a\\\\b'", "str:a\\b"},
        {"'a\\'b'", "str:a'b"},
        {"\"a\\\"b\"", "str:a\"b"},
        {"'a\\qb'", "str:aqb"},
        {"PI - Pi", "real:0"},
        {"TRUE && True", "bool:true"},
        {"LEFT", "str:left"},
        {"zero", "str:zero"},
        {"$SQRT", "err:31014"},  // a name, not a keyword
        {" \t1\n+\n2 ", "int:3"},
    };
    runTable(cases);
}

TEST(ExprParse, SyntaxErrorsKeepTheTextAsAString) {
    static const char *const unparsable[] = {
        "f(1)",         // no user functions
        "1 == 2 == 3",  // comparisons do not chain
        "1 +",
        "(1",
        "1)",
        "a b",
        "",
        "3.3V",
        "1 + #2",       // a stray character spoils a text that otherwise parses
        "a.b",
        "a = 1",
        "a & b",
        "a | b",
        "1e",
        "sqrt(1, 2)",   // fixed arity
        "pow(1)",
        "abs()",
        "$s()",         // at least one argument
        "$strcat(1,)",
        "$string_locate(\"a\", \"b\")",
        "$string_locate",
        "x[1",
        "x[1:]",
        "1 ? 2",
        "1 ? 2 : ",
        "sqrt 4",
    };
    nyxExprMgr mgr;
    for (const char *text : unparsable) {
        cfidrErrorT err = 0;
        const nyxExprTree *t = mgr.parse(text, &err);
        EXPECT_EQ(err, nyxdwErrSyntax) << "text: " << text;
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->nodeCount, 1u);
        EXPECT_EQ(eval(mgr, text), std::string("str:") + text) << "text: " << text;
    }
}

TEST(ExprParse, UnterminatedStrings) {
    struct Hooks : nyxExprCompilerContext {
        std::string message;
        void propertyMessage(const char *text) override { message = text; }
    } hooks;
    nyxExprMgr mgr;
    static const char *const texts[] = {"\"abc", "'abc", "1 + \"abc", "\"abc\ndef\"", "'abc\\",
                                        "\"a'"};
    for (const char *text : texts) {
        cfidrErrorT err = 0;
        mgr.parse(text, &err);
        EXPECT_EQ(err, nyxdwErrUnterminated) << "text: " << text;
        nyxExprValue v = mgr.evaluate("W", text, nullptr, &hooks, &err);
        EXPECT_EQ(err, nyxdwErrUnterminated) << "text: " << text;
        EXPECT_FALSE(v.defined());
    }
    EXPECT_EQ(hooks.message, "Property W");
    // An unterminated string wins over other syntax errors.
    cfidrErrorT err = 0;
    mgr.parse("# 'x", &err);
    EXPECT_EQ(err, nyxdwErrUnterminated);
}

// Deep nesting and long chains used to come back as their own text once they passed a height cap;
// now they evaluate, with no recursion over the nesting in the parser or the evaluator, until
// they overflow the parser's bound, which is an error of its own.
TEST(ExprParse, DeepNestingAndLongChainsEvaluateOrOverflow) {
    auto repeat = [](int n, const std::string &open, const std::string &core,
                     const std::string &close) {
        std::string s;
        for (int k = 0; k < n; ++k) s += open;
        s += core;
        for (int k = 0; k < n; ++k) s += close;
        return s;
    };
    std::string strcat1000 = "$strcat(1" + repeat(999, ", 1", "", "") + ")";
    struct Deep {
        std::string text;
        std::string expected;
    };
    const Deep deep[] = {
        {repeat(100000, "(", "1", ")"), "int:1"},
        {repeat(100000, "-", "1", ""), "int:1"},
        {repeat(100001, "!", "true", ""), "bool:false"},
        {repeat(100000, "abs(", "-1", ")"), "int:1"},
        {repeat(100000, "1 ? 1 : ", "2", ""), "int:1"},
        {repeat(100000, "0 ? 1 : ", "2", ""), "int:2"},
        {repeat(100000, "(1 + ", "1", ")"), "int:100001"},  // right-deep: a deep value stack
        {repeat(100000, "\"ab\"[", "0", "]"), "err:31007"},  // "ab"["ab"]: not a position
        {"\"abc\"" + repeat(100000, "", "", "[0]"), "str:abc"},
        {"1" + repeat(400000, "", "", " + 1"), "int:400001"},
        {"true" + repeat(100000, "", "", " && true"), "bool:true"},
        {"false" + repeat(100000, "", "", " || false") + " || true", "bool:true"},
        {"length(" + strcat1000 + ")", "int:1000"},
        {"$f(1.5, 0, 1, left, space" + repeat(300, "", "", ", 0") + ")", "str:1.5"},
    };
    nyxExprMgr mgr;
    for (const Deep &d : deep) EXPECT_EQ(eval(mgr, d.text), d.expected) << d.text.substr(0, 40);

    // Past a million nodes or pending brackets the parser's stacks overflow: the evaluation
    // fails with a syntax error (it does not stand for its text) and says so in a status.
    const std::string overflowing[] = {
        "1" + repeat(1000000, "", "", "+1"),
        repeat(1500000, "(", "1", ")"),
        repeat(1500000, "-", "1", ""),
    };
    zilerrContextT ctx = zilerrClearContext(zilerrContextForThread());
    for (const std::string &text : overflowing) {
        cfidrErrorT err = 0;
        mgr.parse(text.c_str(), &err);
        EXPECT_EQ(err, nyxdwErrSyntax);
        EXPECT_EQ(eval(mgr, text), "err:31009");
    }
    ASSERT_EQ(zilerrGetCount(ctx), 3);
    EXPECT_STREQ(zilerrGetMessage(ctx, 0), "yacc stack overflow");
    zilerrClearContext(ctx);
}

TEST(ExprParse, CacheReturnsTheSameTree) {
    nyxExprMgr mgr;
    cfidrErrorT err = -1;
    const nyxExprTree *a = mgr.parse("w * 2 + 1", &err);
    EXPECT_EQ(err, 0);
    const nyxExprTree *b = mgr.parse("w * 2 + 1", &err);
    EXPECT_EQ(a, b);
    EXPECT_NE(mgr.parse("w * 2 + 2", &err), a);
    // An unparsable text is cached too, with its error.
    const nyxExprTree *c = mgr.parse("f(1)", &err);
    EXPECT_EQ(mgr.parse("f(1)", &err), c);
    EXPECT_EQ(err, nyxdwErrSyntax);
    EXPECT_EQ(mgr.cacheSize(), 3u);
    // Evaluation goes through the same cache; the text is the key, so a copy of it hits.
    std::string copy = "w * 2 + 1";
    exprtest::TableLookup names;
    names.set("w", nyxExprValue::ofInt(3));
    EXPECT_EQ(eval(mgr, copy, &names), "int:7");
    EXPECT_EQ(mgr.cacheSize(), 3u);
    mgr.clearCache();
    EXPECT_EQ(mgr.cacheSize(), 0u);
    EXPECT_EQ(eval(mgr, copy, &names), "int:7");
}

TEST(ExprParse, TreesAndStringsLiveInTheirHeaps) {
    auto heapName = [](const void *p) -> std::string {
        auto *heap = dynamic_cast<Hx_genheap *>(Hx_baseheap::find_heap(p));
        return heap != nullptr ? heap->name() : "(none)";
    };
    nyxExprMgr mgr;
    cfidrErrorT err = -1;
    const nyxExprTree *t = mgr.parse("1 + 2", &err);
    EXPECT_EQ(heapName(t), "Eval Ptree Heap");
    nyxExprValue v = mgr.evaluate(nullptr, "$strcat(\"a\", 1)", nullptr, nullptr, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(heapName(v.s), "Eval String Heap");
}
