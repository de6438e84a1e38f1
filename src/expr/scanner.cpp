// The scanner of the expression language: numbers, quoted strings, names, keywords (in any
// case) and operators. It never fails: stray characters are skipped and an open string takes
// the rest of its line, and both are only recorded as flags for the parser's caller.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "expr/exprInt.h"

namespace {

struct Keyword {
    const char *word;
    nyxExprTok tok;
    uint8_t op;
};

// Sorted by nothing in particular: the table is short and only scanned for words that look like
// keywords (a name of at most 14 characters).
const Keyword kKeywords[] = {
    {"abs", T_FUNC1, F_ABS},       {"acos", T_FUNC1, F_ACOS},   {"asin", T_FUNC1, F_ASIN},
    {"atan", T_FUNC1, F_ATAN},     {"atan2", T_FUNC2, F_ATAN2}, {"ceil", T_FUNC1, F_CEIL},
    {"cos", T_FUNC1, F_COS},       {"cosh", T_FUNC1, F_COSH},   {"cot", T_FUNC1, F_COT},
    {"csc", T_FUNC1, F_CSC},       {"deg", T_FUNC1, F_DEG},     {"exp", T_FUNC1, F_EXP},
    {"floor", T_FUNC1, F_FLOOR},   {"length", T_FUNC1, F_LENGTH}, {"log", T_FUNC1, F_LOG},
    {"log10", T_FUNC1, F_LOG10},   {"pow", T_FUNC2, F_POW},     {"rad", T_FUNC1, F_RAD},
    {"sec", T_FUNC1, F_SEC},       {"sin", T_FUNC1, F_SIN},     {"sinh", T_FUNC1, F_SINH},
    {"sqrt", T_FUNC1, F_SQRT},     {"tan", T_FUNC1, F_TAN},     {"tanh", T_FUNC1, F_TANH},
    {"$round", T_FUNC1, F_ROUND},  {"$truncate", T_FUNC1, F_TRUNCATE},
    {"$e", T_FUNCLIST, F_E},       {"$f", T_FUNCLIST, F_F},     {"$g", T_FUNCLIST, F_G},
    {"$s", T_FUNCLIST, F_S},       {"$format", T_FUNCLIST, F_FORMAT},
    {"$strcat", T_FUNCLIST, F_STRCAT}, {"$string_locate", T_LOCATE, F_STRING_LOCATE},
    {"pi", T_CONST, L_REAL},       {"two_pi", T_CONST, L_REAL}, {"true", T_CONST, L_BOOL},
    {"false", T_CONST, L_BOOL},    {"void", T_CONST, L_VOID},   {"left", T_CONST, L_STRING},
    {"right", T_CONST, L_STRING},  {"space", T_CONST, L_STRING}, {"zero", T_CONST, L_STRING},
};

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) { return isLetter(c) || c == '$' || c == '@' || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || isDigit(c); }

uint32_t addToPool(std::string &pool, std::string_view s) {
    uint32_t off = static_cast<uint32_t>(pool.size());
    pool.append(s);
    pool.push_back('\0');
    return off;
}

// Fills `t` for a word: a keyword token, or a name.
void scanWord(std::string_view word, nyxExprScan &out, nyxExprToken &t) {
    char lower[16];
    if (word.size() < sizeof lower) {
        for (size_t k = 0; k < word.size(); ++k) {
            char c = word[k];
            lower[k] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        lower[word.size()] = '\0';
        for (const Keyword &kw : kKeywords) {
            if (kw.word[0] != lower[0] || std::strcmp(kw.word, lower) != 0) continue;
            t.tok = kw.tok;
            t.op = kw.op;
            if (kw.tok == T_CONST) {
                if (kw.op == L_REAL) {
                    t.rval = lower[0] == 'p' ? 3.141592653589793 : 6.283185307179586;
                    t.ival = lower[0] == 'p' ? 3 : 6;
                } else if (kw.op == L_BOOL) {
                    t.ival = lower[0] == 't' ? 1 : 0;
                } else if (kw.op == L_STRING) {
                    t.off = addToPool(out.pool, kw.word);
                    t.len = static_cast<uint32_t>(std::strlen(kw.word));
                }
            }
            return;
        }
    }
    t.tok = T_NAME;
    t.off = addToPool(out.pool, word);
    t.len = static_cast<uint32_t>(word.size());
}

// Scans a number starting at text[p]; returns the position after it.
size_t scanNumber(std::string_view text, size_t p, nyxExprToken &t) {
    size_t start = p;
    bool real = false;
    while (p < text.size() && isDigit(text[p])) ++p;
    if (p < text.size() && text[p] == '.') {
        real = true;
        ++p;
        while (p < text.size() && isDigit(text[p])) ++p;
    }
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        size_t q = p + 1;
        if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
        if (q < text.size() && isDigit(text[q])) {
            while (q < text.size() && isDigit(text[q])) ++q;
            p = q;
            real = true;
        }
    }
    std::string digits(text.substr(start, p - start));
    errno = 0;
    double value = std::strtod(digits.c_str(), nullptr);
    if (!real && value <= static_cast<double>(INT32_MAX)) {
        t.tok = T_INT;
        t.ival = static_cast<int32_t>(value);
        t.rval = t.ival;
    } else {
        t.tok = T_REAL;
        t.rval = value;
        t.ival = nyxExprTruncate(value);
    }
    return p;
}

// Scans a quoted string starting at the quote text[p]; returns the position after it.
size_t scanString(std::string_view text, size_t p, nyxExprScan &out, nyxExprToken &t) {
    char quote = text[p++];
    std::string s;
    bool closed = false;
    while (p < text.size() && text[p] != '\n') {
        char c = text[p++];
        if (c == quote) {
            closed = true;
            break;
        }
        if (c == '\\') {
            if (p >= text.size() || text[p] == '\n') break;
            c = text[p++];
            if (c == 'n') c = '\n';
            else if (c == 't') c = '\t';
        }
        s.push_back(c);
    }
    if (!closed) out.unterminated = true;
    t.tok = T_STRING;
    t.off = addToPool(out.pool, s);
    t.len = static_cast<uint32_t>(s.size());
    return p;
}

} // namespace

int32_t nyxExprTruncate(double r) {
    if (!(r == r)) return 0;
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(r);
}

void nyxExprScanText(std::string_view text, nyxExprScan &out) {
    out.tokens.clear();
    out.pool.clear();
    out.syntaxError = false;
    out.unterminated = false;
    out.tokens.reserve(text.size() < 8192 ? text.size() / 2 + 2 : 4096);
    out.pool.reserve(text.size() + 16);
    size_t p = 0;
    while (p < text.size()) {
        char c = text[p];
        if (c == ' ' || c == '\t' || c == '\n') {
            ++p;
            continue;
        }
        nyxExprToken t;
        char d = p + 1 < text.size() ? text[p + 1] : '\0';
        if (isDigit(c) || (c == '.' && isDigit(d))) {
            p = scanNumber(text, p, t);
        } else if (c == '"' || c == '\'') {
            p = scanString(text, p, out, t);
        } else if (isNameStart(c)) {
            size_t start = p;
            while (p < text.size() && isNameChar(text[p])) ++p;
            scanWord(text.substr(start, p - start), out, t);
        } else {
            nyxExprTok tok = T_END;
            size_t width = 2;
            if (c == '=' && d == '=') tok = T_EQ;
            else if (c == '!' && d == '=') tok = T_NE;
            else if (c == '>' && d == '=') tok = T_GE;
            else if (c == '<' && d == '=') tok = T_LE;
            else if (c == '&' && d == '&') tok = T_AND;
            else if (c == '|' && d == '|') tok = T_OR;
            else {
                width = 1;
                switch (c) {
                case '+': tok = T_PLUS; break;
                case '-': tok = T_MINUS; break;
                case '*': tok = T_STAR; break;
                case '/': tok = T_SLASH; break;
                case '%': tok = T_PERCENT; break;
                case '>': tok = T_GT; break;
                case '<': tok = T_LT; break;
                case '!': tok = T_NOT; break;
                case '?': tok = T_QUEST; break;
                case ':': tok = T_COLON; break;
                case ',': tok = T_COMMA; break;
                case '(': tok = T_LPAREN; break;
                case ')': tok = T_RPAREN; break;
                case '[': tok = T_LBRACK; break;
                case ']': tok = T_RBRACK; break;
                default: break;
                }
            }
            p += width;
            if (tok == T_END) {
                out.syntaxError = true;  // A stray character: skipped.
                continue;
            }
            t.tok = tok;
        }
        out.tokens.push_back(t);
    }
    nyxExprToken end;
    end.tok = T_END;
    out.tokens.push_back(end);
}
