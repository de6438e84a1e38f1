// The functions of the expression language: the math library, length, $round and $truncate,
// and the string builders $s, $e, $f, $g and $strcat. $format is in format.cpp.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>
#include <strings.h>

#include "expr/exprInt.h"

namespace {

constexpr int kMaxWidth = 255;

// Calls a math function with errno checked afterwards; a domain or range error, or a result
// that is not finite for finite arguments, is "Error during evaluation.".
template <typename F>
cfidrErrorT mathCall(F f, double x, double y, double &r) {
    errno = 0;
    r = f(x, y);
    if (errno != 0 || (!std::isfinite(r) && std::isfinite(x) && std::isfinite(y)))
        return nyxdwErrEvaluation;
    return 0;
}

using Fn1 = double (*)(double);

Fn1 libraryFunction(uint8_t op) {
    switch (op) {
    case F_ACOS: return [](double x) { return std::acos(x); };
    case F_ASIN: return [](double x) { return std::asin(x); };
    case F_ATAN: return [](double x) { return std::atan(x); };
    case F_COS: return [](double x) { return std::cos(x); };
    case F_COSH: return [](double x) { return std::cosh(x); };
    case F_EXP: return [](double x) { return std::exp(x); };
    case F_LOG: return [](double x) { return std::log(x); };
    case F_LOG10: return [](double x) { return std::log10(x); };
    case F_SIN: return [](double x) { return std::sin(x); };
    case F_SINH: return [](double x) { return std::sinh(x); };
    case F_SQRT: return [](double x) { return std::sqrt(x); };
    case F_TAN: return [](double x) { return std::tan(x); };
    case F_TANH: return [](double x) { return std::tanh(x); };
    case F_CEIL: return [](double x) { return std::ceil(x); };
    case F_FLOOR: return [](double x) { return std::floor(x); };
    case F_DEG: return [](double x) { return std::fmod(x * 57.29577951308232, 360.0); };
    case F_RAD: return [](double x) { return std::fmod(x, 360.0) * 0.017453292519943295; };
    case F_ROUND:
        return [](double x) { return x < 0 ? std::ceil(x - 0.5) : std::floor(x + 0.5); };
    case F_TRUNCATE: return [](double x) { return x < 0 ? std::ceil(x) : std::floor(x); };
    default: return nullptr;
    }
}

// An optional integer argument (width or precision): integers, integral reals and strings that
// read as one.
bool integerArg(nyxExprValue v, int64_t &out) {
    if (v.kind == nyxExprString && !nyxExprConvert(v)) return false;
    if (v.kind & nyxExprInt) out = v.i;
    else if ((v.kind & nyxExprReal) && v.integral) out = v.i;
    else return false;
    return true;
}

// A keyword argument: true when the value is the string `a` (case ignored), false for `b`.
bool keywordArg(const nyxExprValue &v, const char *a, const char *b, bool &isA) {
    if (!(v.kind & nyxExprString) || v.s == nullptr) return false;
    if (strcasecmp(v.s, a) == 0) isA = true;
    else if (strcasecmp(v.s, b) == 0) isA = false;
    else return false;
    return true;
}

void pad(std::string &text, int64_t width, bool left, char fill) {
    if (width > kMaxWidth) width = kMaxWidth;
    if (width < 1 || static_cast<int64_t>(text.size()) >= width) return;
    size_t n = static_cast<size_t>(width) - text.size();
    if (left) text.append(n, fill);
    else text.insert(0, n, fill);
}

} // namespace

cfidrErrorT nyxExprEngine::evalFunction(const nyxExprNode &n, const nyxExprValue *args,
                                        nyxExprValue &out) {
    if (n.op == F_FORMAT) return evalFormat(n, args, out);
    if (n.op == F_STRCAT) {
        std::string joined;
        for (uint32_t k = 0; k < n.nkids; ++k) {
            char buf[64];
            std::string_view text;
            if (!textOf(args[k], text, buf, sizeof buf)) return wrongType(n.op, "string");
            if (joined.size() + text.size() > kExprMaxString) return nyxdwErrEvaluation;
            joined.append(text);
        }
        return makeString(joined.data(), joined.size(), out);
    }
    if (n.op == F_S || n.op == F_E || n.op == F_F || n.op == F_G) {
        // Every argument has been evaluated; those past the fifth are not used.
        const uint32_t count = n.nkids;
        int64_t width = 0;
        bool left = false;
        std::string text;
        if (n.op == F_S) {
            char buf[64];
            std::string_view s;
            if (!textOf(args[0], s, buf, sizeof buf)) return wrongType(n.op, "string");
            if (count > 1 && !integerArg(args[1], width)) return wrongType(n.op, "integer");
            if (count > 2 && !keywordArg(args[2], "left", "right", left))
                return wrongType(n.op, "left or right");
            text.assign(s);
            pad(text, width, left, ' ');
        } else {
            nyxExprValue value = args[0];
            if (!nyxExprConvert(value)) return wrongType(n.op, "numeric");
            int64_t precision = 6;
            bool zero = false;
            if (count > 1 && !integerArg(args[1], width)) return wrongType(n.op, "integer");
            if (count > 2 && !integerArg(args[2], precision)) return wrongType(n.op, "integer");
            if (count > 3 && !keywordArg(args[3], "left", "right", left))
                return wrongType(n.op, "left or right");
            if (count > 4 && !keywordArg(args[4], "zero", "space", zero))
                return wrongType(n.op, "space or zero");
            if (precision < 0) precision = 6;
            if (precision > kMaxWidth) precision = kMaxWidth;
            const char *format = n.op == F_E ? "%.*e" : n.op == F_F ? "%.*f" : "%.*g";
            int len = std::snprintf(nullptr, 0, format, static_cast<int>(precision), value.r);
            if (len < 0) return nyxdwErrEvaluation;
            text.resize(static_cast<size_t>(len) + 1);
            std::snprintf(text.data(), text.size(), format, static_cast<int>(precision), value.r);
            text.resize(static_cast<size_t>(len));
            pad(text, width, left, zero ? '0' : ' ');
        }
        return makeString(text.data(), text.size(), out);
    }
    if (n.op == F_STRING_LOCATE) return nyxdwErrSyntax;  // Never parsed.

    // Functions of one or two numbers (and length).
    nyxExprValue a = args[0], b;
    if (n.nkids > 1) b = args[1];
    cfidrErrorT e = 0;
    if (n.op == F_LENGTH) {
        if (!(a.kind & nyxExprString)) return wrongType(n.op, "string");
        out.setInt(static_cast<int32_t>(a.len));
        return 0;
    }
    if (!nyxExprConvert(a) || (n.nkids > 1 && !nyxExprConvert(b))) return wrongType(n.op, "numeric");
    double r = 0.0;
    switch (n.op) {
    case F_ABS:
        if (a.kind == nyxExprInt) {
            if (a.i == INT32_MIN) out.setReal(2147483648.0);
            else out.setInt(a.i < 0 ? -a.i : a.i);
        } else {
            out.setReal(std::fabs(a.r));
        }
        return 0;
    case F_ATAN2:
        e = mathCall([](double y, double x) { return std::atan2(y, x); }, a.r, b.r, r);
        break;
    case F_POW:
        e = mathCall([](double x, double y) { return std::pow(x, y); }, a.r, b.r, r);
        break;
    case F_COT: case F_CSC: case F_SEC: {
        // The reciprocal functions: a zero denominator is a division by zero.
        Fn1 f = n.op == F_COT ? static_cast<Fn1>([](double x) { return std::tan(x); })
              : n.op == F_CSC ? static_cast<Fn1>([](double x) { return std::sin(x); })
                              : static_cast<Fn1>([](double x) { return std::cos(x); });
        double d;
        e = mathCall([f](double x, double) { return f(x); }, a.r, 0.0, d);
        if (e != 0) return e;
        if (d == 0.0) {
            nyxExprReport(nyxdwErrDivideByZero, nyxExprOpName(n.op), "non-zero denominator");
            return nyxdwErrDivideByZero;
        }
        r = 1.0 / d;
        break;
    }
    default: {
        Fn1 f = libraryFunction(n.op);
        if (f == nullptr) return nyxdwErrEvaluation;
        e = mathCall([f](double x, double) { return f(x); }, a.r, 0.0, r);
        break;
    }
    }
    if (e != 0) return e;
    out.setReal(r);
    return 0;
}
