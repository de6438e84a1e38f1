// Face of the property expression language for the rest of the library.
//
// A property value may be an expression instead of a constant. The expression manager
// (`nyxExprMgr`, one per session, made and dropped by the session code's start and release
// lists) parses such a text once, keeps the tree in a cache keyed by the text, and evaluates it
// on request. Names inside an expression are resolved through a lookup context supplied by the
// caller (`nyxExprLookup`): the occurrence walk hands in one that searches an occurrence and its
// enclosing occurrences, the schematic compiler one that reads its variable table. The language
// itself knows nothing of the design.
//
// The language
// ------------
// Literals: integers (decimal, 32-bit; a longer run of digits reads as a real), reals ("1.5",
// "1.", ".5", "2e-3"), strings in double or single quotes on one line, the constants pi, two_pi,
// true, false, void, and the format keywords left, right, space, zero. Operators from lowest to
// highest precedence: c ? a : b (groups to the right), ||, &&, the comparisons (which do not
// chain), + -, * / %, prefix - and !, postfix s[i] and s[i:j]. Functions take a fixed number of
// arguments (abs ... tanh, length, $round, $truncate one; atan2 and pow two) or a list of one or
// more ($e, $f, $g, $s, $format, $strcat). Keywords are recognised in any case.
//
// Decisions taken here
// --------------------
// * A text that does not parse is kept as a single node that evaluates to the text itself, as a
//   string, without error. So "3.3V" or "a.b" are plain strings. A string literal that is not
//   closed on its line is the exception: its evaluation fails with 31010.
// * The conditional evaluates the condition and then only the branch it selects; && and || do not
//   evaluate their right operand when the left decides.
// * Inside quotes a backslash escapes the next character: \n, \t, \\, \" and \' as in C; any
//   other character stands for itself.
// * $strcat joins the texts of its arguments (numbers as their text). $string_locate is a keyword
//   that no production accepts: any text using it is unparsable.
// * A string that takes part in arithmetic or a comparison with a number is converted when its
//   whole text reads as a number; the converted value counts as a real (marked integral when it
//   is whole), so "10" + 1 is the real 11. Where an integer is required (index, width,
//   precision) an integral real is accepted.
// * Two strings that both read as numbers compare as numbers, other pairs of strings as text
//   ignoring case. Any other operand of a comparison (a boolean, void) is a wrong type, so
//   true == 1 and (1 < 2) == (2 < 3) fail with 31007. && || ! ?: accept booleans and numbers
//   (non-zero is true).
// * Integer + - * and unary minus that overflow 32 bits give the exact result as a real; % by
//   zero is a division by zero like /; csc and sec of an angle whose sine or cosine is zero, like
//   cot, report a division by zero.
// * Positions in s[i] and s[i:j] below zero count from the end (-1 is the last character);
//   positions past the end stop at the end; a range whose end lies before its start is empty.
// * The format keywords evaluate to their own names as strings, so $s(x, 8, "left") and
//   $s(x, 8, left) are the same.
// * Numbers convert to text with up to 15 significant digits ("%.15g" for reals).
// * Widths and precisions above 255 are taken as 255, also inside $format conversions; a
//   negative precision means the default 6. "%n" in $format takes its argument and prints
//   nothing; "%p" prints the integer in hexadecimal; "%c" of 0 prints nothing; "h" and "l"
//   before a conversion letter are length modifiers and "l" alone is an integer conversion; a
//   width or precision taken from the arguments ("*") is an unknown conversion.
// * A math function whose library call sets errno (domain, pole, overflow or underflow) or gives
//   a non-finite result for finite arguments fails with 31012.
// * Neither the parser nor the evaluator recurses over the nesting of a text: both work on
//   stacks of their own, so any depth of parentheses, operators, conditionals and any number of
//   function arguments is evaluated. Their one bound is a stack overflow: a text that needs more
//   than a million nodes or pending operators and brackets fails with 31009 (it does not stand
//   for its own text) and records "yacc stack overflow" as a status. A text longer than 16 MiB is
//   unparsable. A string result longer than 1 MiB is "Error during evaluation.".
// * The recursion guard keys on the property name together with the lookup context's scope
//   (`nyxExprLookup::scope`): evaluating a name that is already being evaluated in the same scope
//   fails with 31013 "Recursive expressions detected." instead of evaluating it again. Nested
//   evaluations deeper than 100 also fail with 31013, and one whose value stack, added to those
//   of the evaluations it is nested in, would pass a million entries fails with 31012.
//
// Errors (cfidrErrorT, named nyxdwErr... in nyxtypes.h): 31006 missing arguments, 31007 wrong
// argument type, 31008 string not found, 31009 syntax error, 31010 string not terminated, 31011
// divide by zero, 31012 error during evaluation, 31013 recursive expressions, 31014 parameter
// value not found; 4 when memory runs short. 31008 belongs to $string_locate, which no text can
// reach. Type errors and divisions by zero are also recorded in the calling thread's status
// context (package "nyxexpr", severity error) with the operator's name and the expected kind.
// Nothing in the library clears that context, so it keeps only the newest of them: once 128
// statuses of "nyxexpr" lie at its top, the older 64 of those are removed. Statuses of other
// packages are never removed.
//
// Concurrency: one evaluation at a time per manager; an evaluation may re-enter the manager from
// its lookup context (nested evaluation of the expressions that names refer to).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "nyxtypes.h"

// Kind flags of a value. A string that was converted to a number keeps kString and gains kReal.
enum nyxExprKind : uint8_t {
    nyxExprNone = 0,
    nyxExprInt = 1,
    nyxExprReal = 2,
    nyxExprString = 4,
    nyxExprBool = 8
};

// The result of every node. Invariants: kind nyxExprInt => r == i; kind nyxExprReal => i == the
// real truncated (saturated to 32 bits, 0 for NaN) and integral == (r is whole); kind nyxExprBool
// => i is 0 or 1; kind & nyxExprString => s points at len bytes followed by a NUL. `written` is
// the kind the value had when it was made (before any conversion).
struct nyxExprValue {
    double r = 0.0;
    const char *s = nullptr;
    uint32_t len = 0;
    int32_t i = 0;
    uint8_t kind = nyxExprNone;
    uint8_t written = nyxExprNone;
    bool integral = false;

    bool defined() const { return kind != nyxExprNone; }
    bool isString() const { return (kind & nyxExprString) != 0; }
    bool isNumeric() const { return (kind & (nyxExprInt | nyxExprReal)) != 0; }
    // The kind a caller should store the value as: integer, real, boolean or string.
    nyxExprKind primaryKind() const;

    // Setters write the fields in place (cheaper than assigning a temporary in the evaluator's
    // inner loop). The text of setString is not copied: it must stay valid while the value is
    // used (the evaluator copies the strings that lookup contexts hand back).
    void setInt(int32_t v) {
        i = v;
        r = v;
        kind = written = nyxExprInt;
        integral = true;
    }
    void setReal(double v) {
        r = v;
        // The integer field saturates; NaN gives 0.
        i = v != v ? 0
            : v >= 2147483647.0 ? INT32_MAX
            : v <= -2147483648.0 ? INT32_MIN
                                 : static_cast<int32_t>(v);
        kind = written = nyxExprReal;
        // Every finite double of magnitude 2^52 or more is whole; below that the cast is exact.
        integral = v - v == 0 &&
                   (std::fabs(v) >= 4503599627370496.0 || static_cast<double>(static_cast<int64_t>(v)) == v);
    }
    void setBool(bool v) {
        i = v ? 1 : 0;
        r = i;
        kind = written = nyxExprBool;
        integral = false;
    }
    void setString(const char *text, uint32_t length) {
        s = text;
        len = length;
        kind = written = nyxExprString;
    }
    void clear() { *this = nyxExprValue(); }

    static nyxExprValue ofInt(int32_t v) { nyxExprValue x; x.setInt(v); return x; }
    static nyxExprValue ofReal(double v) { nyxExprValue x; x.setReal(v); return x; }
    static nyxExprValue ofBool(bool v) { nyxExprValue x; x.setBool(v); return x; }
    static nyxExprValue ofString(const char *text, uint32_t length) {
        nyxExprValue x;
        x.setString(text, length);
        return x;
    }
};

// Handed through to the lookup context and told of problems that the schematic compiler reports
// as its own messages. Both hooks do nothing by default.
class nyxExprCompilerContext {
public:
    virtual ~nyxExprCompilerContext() = default;
    // A property whose expression holds an unterminated string: text is "Property " followed by
    // the property name.
    virtual void propertyMessage(const char *text);
    // "$format" met a conversion it does not know: text names the conversion.
    virtual void formatError(const char *text);
};

// Resolves names for an evaluation. The occurrence walk and the schematic compiler implement it.
class nyxExprLookup {
public:
    virtual ~nyxExprLookup() = default;
    // Stores the value of `name` in `out` and returns true. Returns false when the name is not
    // defined (31014) or, with a code stored in *err (0 on entry), when its value could not be
    // had (an expression that failed: its error becomes the evaluation's). A result without a
    // kind counts as not found. Strings in `out` need only stay valid until the call returns:
    // the evaluator copies them. The lookup may itself call nyxExprMgr::evaluate for a name
    // whose value is an expression.
    virtual bool lookup(const char *name, nyxExprCompilerContext *cctx, nyxExprValue &out,
                        cfidrErrorT *err) = 0;
    // Identifies the level at which names are resolved (an occurrence, a variable table), so that
    // the same property name evaluated at two levels is not taken for a recursion.
    virtual const void *scope() const { return nullptr; }
};

struct nyxExprTree;
class nyxExprEngine;

// The session's expression manager: the parse cache, the two heaps ("Eval Ptree Heap" for trees,
// "Eval String Heap" for the strings of values) and the recursion guard.
class nyxExprMgr {
public:
    nyxExprMgr();
    ~nyxExprMgr();
    nyxExprMgr(const nyxExprMgr &) = delete;
    nyxExprMgr &operator=(const nyxExprMgr &) = delete;

    // For the global state: a new manager (null when memory is short) and its release. The
    // manager's memory lives in heaps of the page manager: destroy it at the latest when the
    // session quits (destroying it after the page manager has quit is safe, using it is not).
    static nyxExprMgr *create();
    static void destroy(nyxExprMgr *mgr);

    // Evaluates `text` as the value of the property `propName` (may be null: no recursion guard),
    // resolving names through `lookup` (null: no name is defined) and handing `cctx` (may be null)
    // to it. Stores 0 or one error code in *err (err may be null). Returns the value, or a value
    // without a kind on error or when the expression is "void". A string result lives in the
    // string heap until the next evaluation that is not nested in another one begins: copy it.
    nyxExprValue evaluate(const char *propName, const char *text, nyxExprLookup *lookup,
                          nyxExprCompilerContext *cctx, cfidrErrorT *err);

    // Parses `text` through the cache and returns its tree (owned by the manager, stable for the
    // session). *err receives 31009 or 31010 when the text does not parse (the tree is then the
    // single text node), 4 when memory is short (result null).
    const nyxExprTree *parse(const char *text, cfidrErrorT *err);

    // Number of trees in the cache.
    size_t cacheSize() const;

    // Drops every cached tree. Does nothing while an evaluation is running.
    void clearCache();

private:
    nyxExprEngine *d_engine;
};

// The session's manager: null while the library is not initialised. nyxExprStartSession creates it
// in the global heap (a step of the session code's start list, after the global state exists);
// nyxExprEndSession destroys it (a release step, before the heaps go).
nyxExprMgr *nyxExprSessionMgr();
void nyxExprStartSession();
void nyxExprEndSession();

// Returns the text of an expression error code (31006-31014), or null for any other code.
const char *nyxExprErrorText(cfidrErrorT code);
