// Structural Verilog: ranges, constants and the expressions of connections and assigns (names,
// bit and part selects, concatenations, replications, constants; no operators).
#include "parser.h"

#include <cstring>

namespace nyxvc {

bool Parser::parseInt(int32_t &value) {
    bool negative = false;
    if (tok_.is('-')) {
        negative = true;
        advance();
    }
    if (tok_.kind != Tok::Number || tok_.text[0] == '\'') {
        return fail(tok_.line, "'" + std::string(tok_.text) + "' is not a constant number (only numbers are supported here)");
    }
    int64_t v = 0;
    for (char c : tok_.text) {
        if (c == '_') continue;
        v = v * 10 + (c - '0');
        if (v > 0x7FFFFFFF) return fail(tok_.line, "number " + std::string(tok_.text) + " too large");
    }
    value = static_cast<int32_t>(negative ? -v : v);
    advance();
    return true;
}

// [msb:lsb]; the width may not exceed the limit.
bool Parser::parseRange(int32_t &msb, int32_t &lsb, bool &present) {
    advance();
    if (!parseInt(msb)) return false;
    if (!expect(':', "in a range")) return false;
    if (!parseInt(lsb)) return false;
    if (!expect(']', "at the end of a range")) return false;
    const int64_t width = (msb > lsb ? int64_t(msb) - lsb : int64_t(lsb) - msb) + 1;
    if (width > limits_.maxWidth) return fail(tok_.line, "range [" + std::to_string(msb) + ":" + std::to_string(lsb) + "] too wide");
    present = true;
    return true;
}

bool Parser::atExprEnd() {
    return tok_.is(',') || tok_.is(')') || tok_.is('}') || tok_.is(';') || tok_.is('=');
}

bool Parser::parseExpr(Module &m) {
    if (!parsePrimary(m)) return false;
    if (atExprEnd()) return true;
    if (tok_.kind == Tok::Punct && tok_.text[0] != '[' && tok_.text[0] != '{') {
        return fail(tok_.line, "operator '" + std::string(tok_.text) + "' is not supported (only nets, selects, concatenations and constants)");
    }
    return unexpected("in an expression");
}

bool Parser::parsePrimary(Module &m) {
    if (m.items.size() >= limits_.maxItems) return fail(tok_.line, "expression too large");
    if (tok_.kind == Tok::Number) return parseConstant(m);
    if (tok_.is('{')) return parseConcat(m);
    if (tok_.kind == Tok::String) return fail(tok_.line, "strings are not supported in connections");
    if (tok_.kind != Tok::Ident) {
        if (tok_.kind == Tok::Punct) {
            return fail(tok_.line, "operator '" + std::string(tok_.text) + "' is not supported (only nets, selects, concatenations and constants)");
        }
        return unexpected("in an expression");
    }
    Item item;
    item.sym = intern(m, tok_.text, tok_.line);
    advance();
    if (tok_.is('.')) return fail(tok_.line, "hierarchical references are not supported");
    if (tok_.is('(')) return fail(tok_.line, "function calls are not supported");
    if (tok_.is('[')) {
        advance();
        if (!parseInt(item.hi)) return false;
        item.lo = item.hi;
        if (tok_.is('+') || (tok_.is('-') && peek().is(':'))) {
            return fail(tok_.line, "indexed part selects are not supported");
        }
        if (tok_.is(':')) {
            advance();
            if (!parseInt(item.lo)) return false;
        }
        if (!expect(']', "at the end of a select")) return false;
        if (tok_.is('[')) return fail(tok_.line, "arrays of more than one dimension are not supported");
        item.kind = Item::Select;
    }
    m.items.push_back(item);
    return true;
}

// size'base digits | 'base digits | decimal
bool Parser::parseConstant(Module &m) {
    const uint32_t line = tok_.line;
    uint32_t width = 32;
    bool sized = false;
    std::string_view based;
    if (tok_.text[0] != '\'') {
        const std::string_view digits = tok_.text;
        advance();
        if (tok_.kind == Tok::Number && tok_.text[0] == '\'') {
            uint64_t w = 0;
            for (char c : digits) {
                if (c == '_') continue;
                w = w * 10 + static_cast<uint64_t>(c - '0');
                if (w > limits_.maxWidth) return fail(line, "constant wider than " + std::to_string(limits_.maxWidth) + " bits");
            }
            if (w == 0) return fail(line, "constant of width 0");
            width = static_cast<uint32_t>(w);
            sized = true;
            based = tok_.text;
            advance();
        } else {
            return pushConstBits(m, digits, 10, width, false) || fail(line, "constant " + std::string(digits) + " too large");
        }
    } else {
        based = tok_.text;
        advance();
    }
    size_t i = 1;
    if (based[i] == 's' || based[i] == 'S') ++i;
    const char b = based[i++];
    const int base = (b == 'b' || b == 'B') ? 2 : (b == 'o' || b == 'O') ? 8 : (b == 'h' || b == 'H') ? 16 : 10;
    while (i < based.size() && (based[i] == ' ' || based[i] == '\t')) ++i;
    if (!pushConstBits(m, based.substr(i), base, width, sized)) {
        return fail(line, "constant " + std::string(based) + " is not valid in base " + std::to_string(base));
    }
    return true;
}

// Appends width bits (most significant first) of a constant's digits: '0' '1' 'x' 'z'. Fewer
// digit bits than width are padded on the left with 0, or with x or z when the leftmost digit
// is one; more are cut from the left.
bool Parser::pushConstBits(Module &m, std::string_view digits, int base, uint32_t width, bool) {
    std::string bits;
    if (base == 10) {
        if (digits.size() == 1 && std::strchr("xXzZ?", digits[0]) != nullptr) {
            bits.assign(1, (digits[0] == 'x' || digits[0] == 'X') ? 'x' : 'z');
        } else {
            uint64_t v = 0;
            for (char c : digits) {
                if (c == '_') continue;
                if (c < '0' || c > '9') return false;
                if (v > (UINT64_MAX - 9) / 10) return false;
                v = v * 10 + static_cast<uint64_t>(c - '0');
            }
            for (int k = 63; k >= 0; --k) bits.push_back(((v >> k) & 1) ? '1' : '0');
        }
    } else {
        const int per = base == 2 ? 1 : base == 8 ? 3 : 4;
        for (char c : digits) {
            if (c == '_') continue;
            int v;
            if (c >= '0' && c <= '9') {
                v = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                v = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                v = c - 'A' + 10;
            } else {
                const char f = (c == 'x' || c == 'X') ? 'x' : 'z';
                bits.append(static_cast<size_t>(per), f);
                continue;
            }
            if (v >= base) return false;
            for (int k = per - 1; k >= 0; --k) bits.push_back(((v >> k) & 1) ? '1' : '0');
            if (bits.size() > size_t(limits_.maxWidth) + 4) return false;
        }
    }
    if (bits.empty()) return false;
    if (bits.size() > width) bits.erase(0, bits.size() - width);
    const char pad = (bits[0] == 'x' || bits[0] == 'z') ? bits[0] : '0';
    if (bits.size() < width) bits.insert(0, width - bits.size(), pad);
    if (m.constBits.size() + width > limits_.maxModuleBits) return false;
    Item item;
    item.kind = Item::Const;
    item.sym = static_cast<uint32_t>(m.constBits.size());
    item.hi = static_cast<int32_t>(width);
    m.constBits.insert(m.constBits.end(), bits.begin(), bits.end());
    m.items.push_back(item);
    return true;
}

// {a, b[1:0], 1'b0} | {n{a, b}}
bool Parser::parseConcat(Module &m) {
    const uint32_t line = tok_.line;
    // Each level of nesting takes stack, and a hostile text can nest thousands.
    if (concatDepth_ == kMaxConcatDepth) return fail(line, "concatenations nested more than 256 deep");
    struct Level {
        uint32_t &depth;
        explicit Level(uint32_t &d) : depth(d) { ++depth; }
        ~Level() { --depth; }
    } level(concatDepth_);
    advance();
    if (tok_.kind == Tok::Number && tok_.text[0] != '\'' && peek().is('{')) {
        int32_t count;
        if (!parseInt(count)) return false;
        if (count <= 0) return fail(line, "replication count must be positive");
        const size_t begin = m.items.size();
        if (!parseConcat(m)) return false;
        const size_t n = m.items.size() - begin;
        if (n * static_cast<uint64_t>(count) + m.items.size() > limits_.maxItems) return fail(line, "replication too large");
        for (int32_t k = 1; k < count; ++k) {
            for (size_t i = 0; i < n; ++i) m.items.push_back(m.items[begin + i]);
        }
        return expect('}', "at the end of a replication");
    }
    for (;;) {
        if (!parseExpr(m)) return false;
        if (tok_.is('}')) break;
        if (!expect(',', "in a concatenation")) return false;
    }
    advance();
    return true;
}

} // namespace nyxvc
