// The bus-name splitter and the index-list reader: see busname.h.
#include "dm/netlist/busname.h"

#include <cctype>
#include <cstring>

namespace nyxBusName {
namespace {

// Delimiters folded: "[" and "<" count as "(", "]" and ">" as ")".
inline char fold(char c) {
    switch (c) {
    case '[':
    case '<':
        return '(';
    case ']':
    case '>':
        return ')';
    default:
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
}

inline bool blank(char c) { return c == ' ' || c == '\t'; }

// Whether the text from `open` (a "{") to the end is a braced group: "}" last, optionally
// followed by "*" and a decimal repeat count, blanks and tabs allowed among these.
bool groupEnding(std::string_view name, size_t open) {
    size_t end = name.size();
    while (end > open && blank(name[end - 1])) --end;
    size_t digits = end;
    while (digits > open && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0) --digits;
    if (digits < end) {
        end = digits;
        while (end > open && blank(name[end - 1])) --end;
        if (end == open || name[end - 1] != '*') return false;
        --end;
        while (end > open && blank(name[end - 1])) --end;
    }
    return end > open + 1 && name[end - 1] == '}';
}

// A decimal integer with an optional sign, all of `s`.
bool readInt(std::string_view s, int32_t *out) {
    if (s.empty()) return false;
    size_t i = 0;
    bool neg = false;
    if (s[0] == '-' || s[0] == '+') {
        neg = s[0] == '-';
        i = 1;
    }
    if (i == s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(s[i])) == 0) return false;
        v = v * 10 + (s[i] - '0');
        if (v > INT32_MAX + int64_t{1}) return false;
    }
    v = neg ? -v : v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

} // namespace

Split split(const char *name) {
    Split out;
    if (name == nullptr || *name == '\0') return out;
    std::string_view s(name);
    char last = fold(s.back());
    if (last != ')' && last != '}') return out;
    size_t open = std::string_view::npos;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        char c = fold(s[i]);
        if (c == '(' || c == '{') {
            open = i;
            break;
        }
    }
    if (open == std::string_view::npos) return out;
    if (fold(s[open]) == '(') {
        int depth = 0;
        for (size_t i = s.size(); i-- > open;) {
            char c = fold(s[i]);
            if (c == ')') ++depth;
            else if (c == '(') --depth;
        }
        if (depth < 0) return out.form = kMoreOpening, out;
        if (depth > 0) return out.form = kMoreClosing, out;
        out.form = kSubscript;
        out.base = s.substr(0, open);
        for (size_t i = open; i < s.size(); ++i) {
            if (std::isspace(static_cast<unsigned char>(s[i])) == 0) out.subscript.push_back(s[i]);
        }
        return out;
    }
    // A group starts at the first "{" that no other delimiter precedes.
    size_t group = std::string_view::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = fold(s[i]);
        if (c == '{') {
            group = i;
            break;
        }
        if (c == '(' || c == ')' || c == '}') break;
    }
    if (s.size() < 3 || group == std::string_view::npos || !groupEnding(s, group)) {
        return out.form = kBadGroup, out;
    }
    out.form = kGroup;
    out.base = s.substr(0, group);
    out.subscript.assign(s.substr(group));
    return out;
}

bool listEnd(std::string_view sub, int32_t *end) {
    if (sub.size() < 2 || fold(sub.front()) != '(' || fold(sub.back()) != ')') return false;
    sub = sub.substr(1, sub.size() - 2);
    if (sub.empty()) return false;
    int32_t lastIndex = 0;
    size_t start = 0;
    while (start <= sub.size()) {
        size_t comma = sub.find(',', start);
        std::string_view item = sub.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        size_t colon = item.find(':');
        int32_t a = 0, b = 0;
        if (colon == std::string_view::npos) {
            if (!readInt(item, &a)) return false;
            lastIndex = a;
        } else {
            if (!readInt(item.substr(0, colon), &a) || !readInt(item.substr(colon + 1), &b)) return false;
            lastIndex = b;
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    *end = lastIndex;
    return true;
}

bool busEnd(const char *name, int32_t *end) {
    Split sp = split(name);
    return sp.form == kSubscript && listEnd(sp.subscript, end);
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalNoCase(s.substr(0, prefix.size()), prefix);
}

} // namespace nyxBusName
