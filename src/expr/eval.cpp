// Evaluation of parse trees: literals, names, the arithmetic, comparison and logical operators,
// the conditional and string indexing. Functions are in functions.cpp.
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "expr/exprInt.h"

namespace {

// Deepest recursion of eval() over all nested evaluations together.
constexpr int kMaxFrames = 3000;

const char *const kOpNames[OP_COUNT] = {
    "+", "-", "*", "/", "mod", "unary minus", ">=", ">", "<", "<=", "==", "!=",
    "logical and", "logical or", "logical not",
    "abs", "acos", "asin", "atan", "atan2", "ceil", "cos", "cosh", "cot", "csc", "deg", "exp",
    "floor", "log", "log10", "pow", "rad", "$round", "sec", "sin", "sinh", "sqrt", "tan", "tanh",
    "$truncate", "length",
    "$e", "$f", "$g", "$s", "$format", "$strcat", "$string_locate",
    "?:", "[]", "[:]",
    "integer", "real", "string", "name", "boolean", "void", "text",
};

// True for the number syntax of the language, with an optional sign and blanks around it.
bool readsAsNumber(const char *s, uint32_t len) {
    uint32_t p = 0;
    while (p < len && (s[p] == ' ' || s[p] == '\t')) ++p;
    if (p < len && (s[p] == '+' || s[p] == '-')) ++p;
    uint32_t digits = 0;
    while (p < len && std::isdigit(static_cast<unsigned char>(s[p]))) ++p, ++digits;
    if (p < len && s[p] == '.') {
        ++p;
        while (p < len && std::isdigit(static_cast<unsigned char>(s[p]))) ++p, ++digits;
    }
    if (digits == 0) return false;
    if (p < len && (s[p] == 'e' || s[p] == 'E')) {
        ++p;
        if (p < len && (s[p] == '+' || s[p] == '-')) ++p;
        uint32_t exp = 0;
        while (p < len && std::isdigit(static_cast<unsigned char>(s[p]))) ++p, ++exp;
        if (exp == 0) return false;
    }
    while (p < len && (s[p] == ' ' || s[p] == '\t')) ++p;
    return p == len;
}

// A truth value from a boolean or a number (a numeric string converts).
bool truthOf(nyxExprValue v, bool &truth) {
    if (v.kind == nyxExprString && !nyxExprConvert(v)) return false;
    if (v.kind & nyxExprBool) truth = v.i != 0;
    else if (v.kind & nyxExprInt) truth = v.i != 0;
    else if (v.kind & nyxExprReal) truth = v.r != 0.0;
    else return false;
    return true;
}

// An integer position: an integer, an integral real or a string that reads as one.
bool positionOf(nyxExprValue v, int64_t &pos) {
    if (v.kind == nyxExprString && !nyxExprConvert(v)) return false;
    if (v.kind & nyxExprInt) pos = v.i;
    else if ((v.kind & nyxExprReal) && v.integral && std::fabs(v.r) < 1e15) pos = static_cast<int64_t>(v.r);
    else return false;
    return true;
}

void setWide(nyxExprValue &out, int64_t v) {
    if (v >= INT32_MIN && v <= INT32_MAX) out.setInt(static_cast<int32_t>(v));
    else out.setReal(static_cast<double>(v));
}

int compareNoCase(const nyxExprValue &a, const nyxExprValue &b) {
    uint32_t n = a.len < b.len ? a.len : b.len;
    for (uint32_t k = 0; k < n; ++k) {
        int x = std::tolower(static_cast<unsigned char>(a.s[k]));
        int y = std::tolower(static_cast<unsigned char>(b.s[k]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.len == b.len ? 0 : (a.len < b.len ? -1 : 1);
}

} // namespace

const char *nyxExprOpName(uint8_t op) { return op < OP_COUNT ? kOpNames[op] : "?"; }

// ------------------------------------------------------------------------------------------
// Values.
nyxExprKind nyxExprValue::primaryKind() const {
    if (kind & nyxExprString) return nyxExprString;
    if (kind & nyxExprInt) return nyxExprInt;
    if (kind & nyxExprReal) return nyxExprReal;
    if (kind & nyxExprBool) return nyxExprBool;
    return nyxExprNone;
}

bool nyxExprConvertString(nyxExprValue &v) {
    if (v.kind != nyxExprString) return (v.kind & (nyxExprInt | nyxExprReal)) != 0;
    if (v.s == nullptr || !readsAsNumber(v.s, v.len)) return false;
    double r = std::strtod(v.s, nullptr);
    v.r = r;
    v.i = nyxExprTruncate(r);
    v.integral = std::isfinite(r) && r == std::trunc(r);
    v.kind = nyxExprString | nyxExprReal;
    return true;
}

// ------------------------------------------------------------------------------------------
// Engine helpers.
cfidrErrorT nyxExprEngine::wrongType(uint8_t op, const char *expected) {
    nyxExprReport(nyxExprErrWrongType, nyxExprOpName(op), expected);
    return nyxExprErrWrongType;
}

cfidrErrorT nyxExprEngine::makeString(const char *s, size_t len, nyxExprValue &out) {
    if (len > kExprMaxString) return nyxExprErrEvaluation;
    const char *p = d_strings.copy(s, len);
    if (p == nullptr) return 4;
    out.setString(p, static_cast<uint32_t>(len));
    return 0;
}

bool nyxExprEngine::textOf(const nyxExprValue &v, std::string_view &text, char *buf, size_t bufSize) {
    if (v.kind & nyxExprString) {
        text = std::string_view(v.s != nullptr ? v.s : "", v.s != nullptr ? v.len : 0);
        return true;
    }
    int n;
    if (v.kind & nyxExprInt) n = std::snprintf(buf, bufSize, "%d", v.i);
    else if (v.kind & nyxExprReal) n = std::snprintf(buf, bufSize, "%.15g", v.r);
    else return false;
    if (n < 0) return false;
    text = std::string_view(buf, static_cast<size_t>(n) < bufSize ? n : bufSize - 1);
    return true;
}

// ------------------------------------------------------------------------------------------
// Node evaluation.
cfidrErrorT nyxExprEngine::eval(const nyxExprTree &t, int32_t idx, nyxExprValue &out) {
    struct FrameCount {
        int &n;
        explicit FrameCount(int &c) : n(c) { ++n; }
        ~FrameCount() { --n; }
    } frame(d_frames);
    if (d_frames > kMaxFrames) return nyxExprErrEvaluation;

    const nyxExprNode &n = t.nodes[idx];
    switch (n.op) {
    case L_INT: out.setInt(n.ival); return 0;
    case L_REAL: out.setReal(n.rval); return 0;
    case L_BOOL: out.setBool(n.ival != 0); return 0;
    case L_VOID: out.clear(); return 0;
    case L_STRING: out.setString(t.pool + n.off, n.len); return 0;
    case L_TEXT: out.setString(t.text, t.textLen); return 0;
    case L_NAME: {
        const char *name = t.pool + n.off;
        cfidrErrorT lerr = 0;
        out.clear();
        if (d_lookup == nullptr || !d_lookup->lookup(name, d_cctx, out, &lerr) || !out.defined())
            return lerr != 0 ? lerr : nyxExprErrParamNotFound;
        if (out.kind & nyxExprString) {
            if (out.s == nullptr) out.len = 0;
            if (out.len > kExprMaxString) return nyxExprErrEvaluation;
            const char *copy = d_strings.copy(out.s != nullptr ? out.s : "", out.len);
            if (copy == nullptr) return 4;
            out.s = copy;
        }
        return 0;
    }
    case OP_ADD: case OP_SUB: case OP_MUL: case OP_DIV: case OP_MOD: {
        nyxExprValue a, b;
        cfidrErrorT e = evalKid(t, n.first, a);
        if (e == 0) e = evalKid(t, t.nodes[n.first].next, b);
        if (e != 0) return e;
        if (!nyxExprConvert(a) || !nyxExprConvert(b))
            return wrongType(n.op, n.op == OP_DIV ? "number" : "numeric");
        bool ints = a.kind == nyxExprInt && b.kind == nyxExprInt;
        switch (n.op) {
        case OP_ADD:
            ints ? setWide(out, int64_t{a.i} + b.i) : out.setReal(a.r + b.r);
            return 0;
        case OP_SUB:
            ints ? setWide(out, int64_t{a.i} - b.i) : out.setReal(a.r - b.r);
            return 0;
        case OP_MUL:
            ints ? setWide(out, int64_t{a.i} * b.i) : out.setReal(a.r * b.r);
            return 0;
        case OP_DIV:
            if (b.r == 0.0) {
                nyxExprReport(nyxExprErrDivideByZero, "/", "non-zero divisor");
                return nyxExprErrDivideByZero;
            }
            out.setReal(a.r / b.r);
            return 0;
        default:
            if (b.r == 0.0) {
                nyxExprReport(nyxExprErrDivideByZero, "mod", "non-zero divisor");
                return nyxExprErrDivideByZero;
            }
            ints ? setWide(out, int64_t{a.i} % b.i) : out.setReal(std::fmod(a.r, b.r));
            return 0;
        }
    }
    case OP_NEG: {
        nyxExprValue a;
        cfidrErrorT e = evalKid(t, n.first, a);
        if (e != 0) return e;
        if (!nyxExprConvert(a)) return wrongType(n.op, "numeric");
        a.kind == nyxExprInt ? setWide(out, -int64_t{a.i}) : out.setReal(-a.r);
        return 0;
    }
    case OP_GE: case OP_GT: case OP_LT: case OP_LE: case OP_EQ: case OP_NE: {
        nyxExprValue a, b;
        cfidrErrorT e = evalKid(t, n.first, a);
        if (e == 0) e = evalKid(t, t.nodes[n.first].next, b);
        if (e != 0) return e;
        // Strings are converted first: two strings that both read as numbers compare as numbers,
        // other pairs of strings as text.
        int c;
        bool aNum = a.kind == nyxExprString ? nyxExprConvert(a) : true;
        bool bNum = b.kind == nyxExprString ? nyxExprConvert(b) : true;
        if ((a.kind & nyxExprString) && (b.kind & nyxExprString) && !(aNum && bNum)) {
            c = compareNoCase(a, b);
        } else {
            const uint8_t numeric = nyxExprInt | nyxExprReal | nyxExprBool;
            if (!aNum || !bNum || !(a.kind & numeric) || !(b.kind & numeric))
                return wrongType(n.op, "numeric or string");
            bool ints = !(a.kind & nyxExprReal) && !(b.kind & nyxExprReal);
            if (ints) c = a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
            else c = a.r < b.r ? -1 : (a.r > b.r ? 1 : (a.r == b.r ? 0 : 2));
        }
        bool r;
        switch (n.op) {
        case OP_GE: r = c == 0 || c == 1; break;
        case OP_GT: r = c == 1; break;
        case OP_LT: r = c == -1; break;
        case OP_LE: r = c == -1 || c == 0; break;
        case OP_EQ: r = c == 0; break;
        default: r = c != 0; break;
        }
        out.setBool(r);
        return 0;
    }
    case OP_AND: case OP_OR: {
        nyxExprValue a;
        cfidrErrorT e = evalKid(t, n.first, a);
        if (e != 0) return e;
        bool left;
        if (!truthOf(a, left)) return wrongType(n.op, "boolean");
        if (left == (n.op == OP_OR)) {
            out.setBool(left);
            return 0;
        }
        nyxExprValue b;
        e = evalKid(t, t.nodes[n.first].next, b);
        if (e != 0) return e;
        bool right;
        if (!truthOf(b, right)) return wrongType(n.op, "boolean");
        out.setBool(right);
        return 0;
    }
    case OP_NOT: {
        nyxExprValue a;
        cfidrErrorT e = evalKid(t, n.first, a);
        if (e != 0) return e;
        bool v;
        if (!truthOf(a, v)) return wrongType(n.op, "boolean");
        out.setBool(!v);
        return 0;
    }
    case OP_COND: {
        nyxExprValue c;
        cfidrErrorT e = evalKid(t, n.first, c);
        if (e != 0) return e;
        bool v;
        if (!truthOf(c, v)) return wrongType(n.op, "boolean");
        int32_t branch = t.nodes[n.first].next;
        if (!v) branch = t.nodes[branch].next;
        return evalKid(t, branch, out);
    }
    case OP_INDEX: case OP_RANGE: return evalIndex(t, n, out);
    default:
        return evalFunction(t, n, out);
    }
}

// s[i] and s[i:j]. Kept out of eval() so that the hot recursion keeps a small frame.
cfidrErrorT nyxExprEngine::evalIndex(const nyxExprTree &t, const nyxExprNode &n, nyxExprValue &out) {
    nyxExprValue s, a, b;
    int32_t k = n.first;
    cfidrErrorT e = eval(t, k, s);
    k = t.nodes[k].next;
    if (e == 0) e = eval(t, k, a);
    if (e == 0 && n.op == OP_RANGE) e = eval(t, t.nodes[k].next, b);
    if (e != 0) return e;
    char buf[64];
    std::string_view text;
    if (!textOf(s, text, buf, sizeof buf)) return wrongType(n.op, "string");
    int64_t i, j = -1;
    if (!positionOf(a, i) || (n.op == OP_RANGE && !positionOf(b, j)))
        return wrongType(n.op, "integer");
    const int64_t len = static_cast<int64_t>(text.size());
    if (n.op == OP_INDEX) {
        j = len - 1;
    } else if (i >= 0 && j >= 0 && j < i) {
        std::swap(i, j);
    }
    // Positions below zero count from the end; the range stops at the end of the text.
    if (i < 0) i = i + len < 0 ? 0 : i + len;
    if (j < 0) j = j + len;
    if (j >= len) j = len - 1;
    if (i >= len || j < i) return makeString("", 0, out);
    return makeString(text.data() + i, static_cast<size_t>(j - i + 1), out);
}
