// The string builders: $s, $e, $f, $g, $format and $strcat, with widths, precisions,
// justification and fill.
#include <gtest/gtest.h>

#include <string>

#include "expr_test_util.h"

using exprtest::Case;
using exprtest::eval;
using exprtest::runTable;

TEST(ExprFormat, NumberFormatting) {
    static const Case cases[] = {
        {"$f(3.14159, 8, 2, left, zero)", "str:3.140000"},
        {"$f(3.14159, 8, 2)", "str:    3.14"},
        {"$f(3.14159, 8, 2, right, zero)", "str:00003.14"},
        {"$f(3.14159, 8, 2, \"LEFT\", \"Space\")", "str:3.14    "},
        {"$g(1.5)", "str:1.5"},
        {"$g(1234567)", "str:1.23457e+06"},
        {"$g(1234567, 0, 10)", "str:1234567"},
        {"$f(2)", "str:2.000000"},
        {"$f(\"2.5\", 0, 1)", "str:2.5"},
        {"$e(12345.678, 0, 2)", "str:1.23e+04"},
        {"$f(1.5, 2, 3)", "str:1.500"},          // a width below the length does not cut
        {"$f(1.5, -4, 1)", "str:1.5"},           // a width below 1 is not used
        {"$f(1.25, 0, -1)", "str:1.250000"},     // a negative precision is the default
        {"$f(1, 1000, 0)", std::string("str:") + std::string(254, ' ') + "1"},
        {"$f(\"x\")", "err:31007"},
        {"$f(1, \"w\")", "err:31007"},
        {"$f(1, 8, 2.5)", "err:31007"},
        {"$f(1, 8, 2, middle)", "err:31014"},    // not a keyword: a name
        {"$f(1, 8, 2, \"middle\")", "err:31007"},
        {"$f(1, 8, 2, left, \"dots\")", "err:31007"},
        {"$f(1, 8, 2, left, zero, 99, 1/0)", "err:31011"},  // extra arguments are still evaluated
    };
    runTable(cases);
}

TEST(ExprFormat, TextPaddingAndJoining) {
    static const Case cases[] = {
        {"$s(\"ab\")", "str:ab"},
        {"$s(\"ab\", 5)", "str:   ab"},
        {"$s(\"ab\", 5, left)", "str:ab   "},
        {"$s(\"abcdef\", 3)", "str:abcdef"},
        {"$s(42, 4)", "str:  42"},
        {"$s(2.5)", "str:2.5"},
        {"$s(true)", "err:31007"},
        {"$s(\"a\", 5, zero)", "err:31007"},
        {"$strcat(\"a\", 1, 2.5, \"b\")", "str:a12.5b"},
        {"$strcat(\"\")", "str:"},
        {"$strcat(\"x\", void)", "err:31007"},
        {"length($strcat(\"abc\", $s(\"\", 300)))", "int:258"},
    };
    runTable(cases);
}

TEST(ExprFormat, PrintfStyleFormat) {
    static const Case cases[] = {
        {"$format(\"plain\")", "str:plain"},
        {"$format(\"%d-%i-%l\", 1, 2.9, \"3\")", "str:1-2-3"},
        {"$format(\"%ld|%5d|%-5d|%05d\", 7, 42, 42, 42)", "str:7|   42|42   |00042"},
        {"$format(\"%x %X %o %u\", 255, 255, 8, 7)", "str:ff FF 10 7"},
        {"$format(\"%c%c\", 65, 0)", "str:A"},
        {"$format(\"%p\", 255)", "str:0xff"},
        {"$format(\"a%nb\", 5)", "str:ab"},
        {"$format(\"%.2f %e %G\", 3.14159, 1.5, 0.5)", "str:3.14 1.500000e+00 0.5"},
        {"$format(\"%s|%5s|%-5s|%.2s\", \"ab\", \"ab\", \"ab\", \"abc\")", "str:ab|   ab|ab   |ab"},
        {"$format(\"%s %s\", 12, 0.5)", "str:12 0.5"},
        {"$format(\"100%%\")", "str:100%"},
        {"$format(\"%d %d\", 1)", "err:31006"},
        {"$format(\"%d\", \"x\")", "err:31007"},
        {"$format(\"%s\", true)", "err:31007"},
        {"$format(\"%q%d\", 1)", "str:"},         // an unknown conversion ends the text
        {"$format(\"ab%\")", "str:ab"},
        {"$format(\"%999999999d\", 1)", std::string("str:") + std::string(254, ' ') + "1"},
        {"$format(\"%.999f\", 1)", "str:1." + std::string(255, '0')},
        {"$format(\"%*d\", 1, 2)", "str:"},       // no width from the arguments
        {"$format(12)", "str:12"},
        {"$format(\"%d\", 1, 2, 3)", "str:1"},
    };
    nyxExprMgr mgr;
    for (const Case &c : cases) EXPECT_EQ(eval(mgr, c.text), c.expected) << "text: " << c.text;

    // The compiler context hears of an unknown conversion.
    struct Hooks : nyxExprCompilerContext {
        std::string error;
        void formatError(const char *text) override { error = text; }
    } hooks;
    cfidrErrorT err = -1;
    nyxExprValue v = mgr.evaluate(nullptr, "$format(\"n=%5q\", 1)", nullptr, &hooks, &err);
    EXPECT_EQ(exprtest::render(v, err), "str:n=");
    EXPECT_NE(hooks.error.find("%5q"), std::string::npos) << hooks.error;
}

TEST(ExprFormat, OverlongResultsFail) {
    exprtest::TableLookup names;
    std::string big(600 * 1024, 'x');
    names.setText("big", big);
    nyxExprMgr mgr;
    EXPECT_EQ(eval(mgr, "length($strcat(big, \"y\"))", &names), "int:614401");
    EXPECT_EQ(eval(mgr, "$strcat(big, big)", &names), "err:31012");
    EXPECT_EQ(eval(mgr, "$format(\"%s%s\", big, big)", &names), "err:31012");
}
