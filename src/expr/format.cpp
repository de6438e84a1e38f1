// "$format": printf-style formatting of the remaining arguments. Each conversion is rebuilt
// from parts the parser has checked (flags, a width and a precision of at most 255, one
// conversion letter) and given to snprintf with an argument of the type that letter expects, so
// no text from the expression ever reaches snprintf as a format.
#include <cstdio>
#include <cstring>
#include <string>

#include "expr/exprInt.h"

namespace {

constexpr int kMaxField = 255;

bool isIntegerConversion(char c) { return c != '\0' && std::strchr("cdilnopuxX", c) != nullptr; }
bool isRealConversion(char c) { return c != '\0' && std::strchr("efgEFG", c) != nullptr; }

// Reads up to three digits' worth of a field, capped at kMaxField.
int readField(const std::string_view &f, size_t &p) {
    int v = 0;
    while (p < f.size() && f[p] >= '0' && f[p] <= '9') {
        v = v * 10 + (f[p] - '0');
        if (v > kMaxField) v = kMaxField;
        ++p;
    }
    return v;
}

// Appends snprintf(conversion, args...) to out. The conversion is built by the caller from checked parts.
template <typename... T>
bool appendFormatted(std::string &out, const char *conversion, T... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    char small[128];
    int n = std::snprintf(small, sizeof small, conversion, args...);
    if (n < 0) return false;
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, static_cast<size_t>(n));
        return true;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), conversion, args...);
#pragma GCC diagnostic pop
    out.append(big.data(), static_cast<size_t>(n));
    return true;
}

} // namespace

cfidrErrorT nyxExprEngine::evalFormat(const nyxExprNode &n, const nyxExprValue *args,
                                      nyxExprValue &out) {
    char fbuf[64];
    std::string_view f;
    if (!textOf(args[0], f, fbuf, sizeof fbuf)) return wrongType(n.op, "string");
    std::string fmt(f);  // args[0] may point into fbuf; keep a copy of its own.
    f = fmt;

    std::string result;
    size_t next = 1;
    size_t p = 0;
    while (p < f.size()) {
        if (result.size() > kExprMaxString) return nyxdwErrEvaluation;
        char c = f[p++];
        if (c != '%') {
            result.push_back(c);
            continue;
        }
        size_t start = p - 1;
        if (p < f.size() && f[p] == '%') {
            result.push_back('%');
            ++p;
            continue;
        }
        std::string flags;
        while (p < f.size() && f[p] != '\0' && std::strchr("-+ #0", f[p]) != nullptr)
            flags.push_back(f[p++]);
        int width = readField(f, p);
        int precision = -1;
        if (p < f.size() && f[p] == '.') {
            ++p;
            precision = readField(f, p);
        }
        // "h" and "l" before another conversion letter are length modifiers; "l" alone is
        // a conversion of its own (an integer).
        while (p + 1 < f.size() && (f[p] == 'h' || f[p] == 'l') &&
               (isIntegerConversion(f[p + 1]) || isRealConversion(f[p + 1]) || f[p + 1] == 'h' ||
                f[p + 1] == 'l' || f[p + 1] == 's'))
            ++p;
        char conv = p < f.size() ? f[p++] : '\0';
        if (!isIntegerConversion(conv) && !isRealConversion(conv) && conv != 's') {
            // An unknown conversion ends the formatting; the compiler hears of it.
            if (d_cctx != nullptr) {
                std::string msg = "$format: unknown conversion \"" +
                                  std::string(f.substr(start, p - start)) + "\"";
                d_cctx->formatError(msg.c_str());
            }
            break;
        }
        if (next >= n.nkids) return nyxdwErrMissingArgs;
        nyxExprValue v = args[next++];
        std::string conversion = "%" + flags;
        if (width > 0) conversion += std::to_string(width);

        bool ok = true;
        if (conv == 's') {
            char buf[64];
            std::string_view s;
            if (!textOf(v, s, buf, sizeof buf)) return wrongType(n.op, "string");
            if (precision >= 0 && static_cast<size_t>(precision) < s.size()) s = s.substr(0, precision);
            conversion += ".*s";
            ok = appendFormatted(result, conversion.c_str(), static_cast<int>(s.size()), s.data());
            if (!ok) return nyxdwErrEvaluation;
            continue;
        }
        if (precision >= 0) conversion += "." + std::to_string(precision);
        if (!nyxExprConvert(v)) return wrongType(n.op, "numeric");
        if (isRealConversion(conv)) {
            conversion.push_back(conv);
            ok = appendFormatted(result, conversion.c_str(), v.r);
        } else if (conv == 'n') {
            // Takes its argument and prints nothing.
        } else if (conv == 'c') {
            unsigned char ch = static_cast<unsigned char>(v.i);
            if (ch != 0) {
                conversion = "%" + flags + (width > 0 ? std::to_string(width) : "") + "c";
                ok = appendFormatted(result, conversion.c_str(), static_cast<int>(ch));
            }
        } else if (conv == 'p') {
            conversion.insert(1, "#");
            conversion.push_back('x');
            ok = appendFormatted(result, conversion.c_str(), static_cast<unsigned>(v.i));
        } else if (conv == 'o' || conv == 'u' || conv == 'x' || conv == 'X') {
            conversion.push_back(conv);
            ok = appendFormatted(result, conversion.c_str(), static_cast<unsigned>(v.i));
        } else {
            conversion.push_back('d');
            ok = appendFormatted(result, conversion.c_str(), v.i);
        }
        if (!ok) return nyxdwErrEvaluation;
    }
    if (result.size() > kExprMaxString) return nyxdwErrEvaluation;
    return makeString(result.data(), result.size(), out);
}
