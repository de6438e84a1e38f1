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

const char *const kOpNames[OP_COUNT] = {
    "+", "-", "*", "/", "mod", "unary minus", ">=", ">", "<", "<=", "==", "!=",
    "logical and", "logical or", "logical not",
    "abs", "acos", "asin", "atan", "atan2", "ceil", "cos", "cosh", "cot", "csc", "deg", "exp",
    "floor", "log", "log10", "pow", "rad", "$round", "sec", "sin", "sinh", "sqrt", "tan", "tanh",
    "$truncate", "length",
    "$e", "$f", "$g", "$s", "$format", "$strcat", "$string_locate",
    "?:", "[]", "[:]",
    "logical and", "logical or", "jump", "$strcat",
    "integer", "real", "string", "name", "boolean", "void", "text", "overflow",
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


cfidrErrorT wrongType(uint8_t op, const char *expected) {
    nyxExprReport(nyxdwErrArgWrongType, nyxExprOpName(op), expected);
    return nyxdwErrArgWrongType;
}

cfidrErrorT divideByZero(uint8_t op) {
    nyxExprReport(nyxdwErrDivideByZero, nyxExprOpName(op), "non-zero divisor");
    return nyxdwErrDivideByZero;
}

// + - * / %: the result replaces a.
cfidrErrorT arithmetic(uint8_t op, nyxExprValue &a, nyxExprValue &b) {
    if (!nyxExprConvert(a) || !nyxExprConvert(b))
        return wrongType(op, op == OP_DIV ? "number" : "numeric");
    bool ints = a.kind == nyxExprInt && b.kind == nyxExprInt;
    switch (op) {
    case OP_ADD: ints ? setWide(a, int64_t{a.i} + b.i) : a.setReal(a.r + b.r); return 0;
    case OP_SUB: ints ? setWide(a, int64_t{a.i} - b.i) : a.setReal(a.r - b.r); return 0;
    case OP_MUL: ints ? setWide(a, int64_t{a.i} * b.i) : a.setReal(a.r * b.r); return 0;
    case OP_DIV:
        if (b.r == 0.0) return divideByZero(op);
        a.setReal(a.r / b.r);
        return 0;
    default:
        if (b.r == 0.0) return divideByZero(op);
        ints ? setWide(a, int64_t{a.i} % b.i) : a.setReal(std::fmod(a.r, b.r));
        return 0;
    }
}

// The comparisons take two numbers or two strings: strings are converted first, and two strings
// that both read as numbers compare as numbers, other pairs of strings as text. A string against
// a number compares as numbers when it converts. Booleans and values without a kind are wrong.
// The result replaces a.
cfidrErrorT comparison(uint8_t op, nyxExprValue &a, nyxExprValue &b) {
    int c;
    bool aNum = a.kind == nyxExprString ? nyxExprConvert(a) : a.isNumeric();
    bool bNum = b.kind == nyxExprString ? nyxExprConvert(b) : b.isNumeric();
    if ((a.kind & nyxExprString) && (b.kind & nyxExprString) && !(aNum && bNum)) {
        c = compareNoCase(a, b);
    } else {
        if (!aNum || !bNum) return wrongType(op, "numeric or string");
        if (a.kind == nyxExprInt && b.kind == nyxExprInt) c = a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
        else c = a.r < b.r ? -1 : (a.r > b.r ? 1 : (a.r == b.r ? 0 : 2));
    }
    bool r;
    switch (op) {
    case OP_GE: r = c == 0 || c == 1; break;
    case OP_GT: r = c == 1; break;
    case OP_LT: r = c == -1; break;
    case OP_LE: r = c == -1 || c == 0; break;
    case OP_EQ: r = c == 0; break;
    default: r = c != 0; break;
    }
    a.setBool(r);
    return 0;
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
    return ::wrongType(op, expected);
}

cfidrErrorT nyxExprEngine::makeString(const char *s, size_t len, nyxExprValue &out) {
    if (len > kExprMaxString) return nyxdwErrEvaluation;
    const char *p = d_strings.copy(s, len);
    if (p == nullptr) return cfidrErrInternal;
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
// The evaluation loop: one pass over the nodes, operands on the value stack.
cfidrErrorT nyxExprEngine::run(const nyxExprTree &t, nyxExprValue *st, nyxExprValue &out) {
    uint32_t top = 0;  // values on the stack: st[0..top)
    const nyxExprNode *nodes = t.nodes;
    const uint32_t count = t.nodeCount;
    for (uint32_t pc = 0; pc < count; ++pc) {
        const nyxExprNode &n = nodes[pc];
        switch (n.op) {
        // Values are set in place: fields that the kind does not use keep whatever they held.
        case L_INT: st[top++].setInt(n.ival); break;
        case L_REAL: st[top++].setReal(n.rval); break;
        case L_BOOL: st[top++].setBool(n.ival != 0); break;
        case L_VOID: st[top++].clear(); break;
        case L_STRING: st[top++].setString(t.pool + n.off, n.len); break;
        case L_TEXT: st[top++].setString(t.text, t.textLen); break;
        case L_OVERFLOW:
            nyxExprReport(nyxdwErrSyntax, nullptr, nullptr);
            return nyxdwErrSyntax;
        case L_NAME: {
            cfidrErrorT e = lookupName(t.pool + n.off, st[top++]);
            if (e != 0) return e;
            break;
        }
        case OP_ADD: case OP_SUB: case OP_MUL: case OP_DIV: case OP_MOD: {
            --top;
            cfidrErrorT e = arithmetic(n.op, st[top - 1], st[top]);
            if (e != 0) return e;
            break;
        }
        case OP_NEG: {
            nyxExprValue &a = st[top - 1];
            if (!nyxExprConvert(a)) return wrongType(n.op, "numeric");
            a.kind == nyxExprInt ? setWide(a, -int64_t{a.i}) : a.setReal(-a.r);
            break;
        }
        case OP_GE: case OP_GT: case OP_LT: case OP_LE: case OP_EQ: case OP_NE: {
            --top;
            cfidrErrorT e = comparison(n.op, st[top - 1], st[top]);
            if (e != 0) return e;
            break;
        }
        case OP_AND: case OP_OR: {
            // The left operand decides when it is false for && or true for ||: its result
            // stays and the right operand is skipped.
            bool left;
            if (!truthOf(st[top - 1], left)) return wrongType(n.op, "boolean");
            if (left == (n.op == OP_OR)) {
                st[top - 1].setBool(left);
                pc = static_cast<uint32_t>(n.target) - 1;
            } else {
                --top;
            }
            break;
        }
        case X_ANDR: case X_ORR: case OP_NOT: {
            bool v;
            uint8_t op = n.op == X_ANDR ? OP_AND : n.op == X_ORR ? OP_OR : OP_NOT;
            if (!truthOf(st[top - 1], v)) return wrongType(op, "boolean");
            st[top - 1].setBool(op == OP_NOT ? !v : v);
            break;
        }
        case OP_COND: {
            bool v;
            if (!truthOf(st[--top], v)) return wrongType(n.op, "boolean");
            if (!v) pc = static_cast<uint32_t>(n.target) - 1;
            break;
        }
        case X_JUMP: pc = static_cast<uint32_t>(n.target) - 1; break;
        case X_STRCHK: {
            const uint8_t texts = nyxExprString | nyxExprInt | nyxExprReal;
            if (!(st[top - 1].kind & texts)) return wrongType(F_STRCAT, "string");
            break;
        }
        default: {
            // Indexing and the functions: operands are popped, the result pushed.
            uint32_t k = n.op == OP_INDEX ? 2 : n.op == OP_RANGE ? 3 : n.nkids;
            top -= k;
            nyxExprValue r;
            cfidrErrorT e = n.op == OP_INDEX || n.op == OP_RANGE ? evalIndex(n, st + top, r)
                                                                 : evalFunction(n, st + top, r);
            if (e != 0) return e;
            st[top++] = r;
            break;
        }
        }
    }
    // The result leaves with the fields that its kind does not use cleared.
    out = st[0];
    if (!(out.kind & nyxExprString)) {
        out.s = nullptr;
        out.len = 0;
    } else if (out.kind == nyxExprString) {
        out.r = 0.0;
        out.i = 0;
        out.integral = false;
    }
    return 0;
}

// A name through the lookup context; a string value is copied into the string heap.
cfidrErrorT nyxExprEngine::lookupName(const char *name, nyxExprValue &out) {
    cfidrErrorT lerr = 0;
    out.clear();
    if (d_lookup == nullptr || !d_lookup->lookup(name, d_cctx, out, &lerr) || !out.defined())
        return lerr != 0 ? lerr : nyxdwErrParamNotFound;
    if (out.kind & nyxExprString) {
        if (out.s == nullptr) out.len = 0;
        if (out.len > kExprMaxString) return nyxdwErrEvaluation;
        const char *copy = d_strings.copy(out.s != nullptr ? out.s : "", out.len);
        if (copy == nullptr) return cfidrErrInternal;
        out.s = copy;
    }
    return 0;
}

// s[i] and s[i:j].
cfidrErrorT nyxExprEngine::evalIndex(const nyxExprNode &n, const nyxExprValue *args,
                                     nyxExprValue &out) {
    char buf[64];
    std::string_view text;
    if (!textOf(args[0], text, buf, sizeof buf)) return wrongType(n.op, "string");
    int64_t i, j = -1;
    if (!positionOf(args[1], i) || (n.op == OP_RANGE && !positionOf(args[2], j)))
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
