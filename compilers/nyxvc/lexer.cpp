// Tokens of structural Verilog.
#include "lexer.h"

#include <cstring>

namespace nyxvc {

namespace {

struct KeywordEntry {
    std::string_view word;
    Kw kw;
};

// Gate primitives and behavioural or generative constructs are keywords that nyxvc refuses by
// name; the rest are the keywords the structural subset is made of.
constexpr KeywordEntry kKeywords[] = {
    {"module", Kw::Module}, {"macromodule", Kw::Macromodule}, {"endmodule", Kw::Endmodule},
    {"input", Kw::Input}, {"output", Kw::Output}, {"inout", Kw::Inout}, {"wire", Kw::Wire},
    {"tri", Kw::Tri}, {"wand", Kw::Wand}, {"wor", Kw::Wor}, {"triand", Kw::Triand},
    {"trior", Kw::Trior}, {"tri0", Kw::Tri0}, {"tri1", Kw::Tri1}, {"trireg", Kw::Trireg},
    {"uwire", Kw::Uwire}, {"reg", Kw::Reg}, {"supply0", Kw::Supply0}, {"supply1", Kw::Supply1},
    {"assign", Kw::Assign}, {"parameter", Kw::Parameter}, {"localparam", Kw::Localparam},
    {"defparam", Kw::Defparam}, {"signed", Kw::Signed}, {"specify", Kw::Specify},
    {"endspecify", Kw::Endspecify}, {"primitive", Kw::Primitive},
    {"and", Kw::Gate}, {"or", Kw::Gate}, {"nand", Kw::Gate}, {"nor", Kw::Gate}, {"xor", Kw::Gate},
    {"xnor", Kw::Gate}, {"not", Kw::Gate}, {"buf", Kw::Gate}, {"bufif0", Kw::Gate},
    {"bufif1", Kw::Gate}, {"notif0", Kw::Gate}, {"notif1", Kw::Gate}, {"nmos", Kw::Gate},
    {"pmos", Kw::Gate}, {"cmos", Kw::Gate}, {"rnmos", Kw::Gate}, {"rpmos", Kw::Gate},
    {"rcmos", Kw::Gate}, {"tran", Kw::Gate}, {"tranif0", Kw::Gate}, {"tranif1", Kw::Gate},
    {"rtran", Kw::Gate}, {"rtranif0", Kw::Gate}, {"rtranif1", Kw::Gate}, {"pullup", Kw::Gate},
    {"pulldown", Kw::Gate},
    {"always", Kw::Refused}, {"always_comb", Kw::Refused}, {"always_ff", Kw::Refused},
    {"always_latch", Kw::Refused}, {"initial", Kw::Refused}, {"final", Kw::Refused},
    {"function", Kw::Refused}, {"task", Kw::Refused}, {"generate", Kw::Refused},
    {"genvar", Kw::Refused}, {"for", Kw::Refused}, {"if", Kw::Refused}, {"case", Kw::Refused},
    {"casex", Kw::Refused}, {"casez", Kw::Refused}, {"while", Kw::Refused},
    {"repeat", Kw::Refused}, {"forever", Kw::Refused}, {"begin", Kw::Refused},
    {"end", Kw::Refused}, {"fork", Kw::Refused}, {"integer", Kw::Refused}, {"real", Kw::Refused},
    {"realtime", Kw::Refused}, {"time", Kw::Refused}, {"event", Kw::Refused},
    {"force", Kw::Refused}, {"release", Kw::Refused}, {"deassign", Kw::Refused},
    {"wait", Kw::Refused}, {"disable", Kw::Refused}, {"interface", Kw::Refused},
    {"table", Kw::Refused}, {"config", Kw::Refused}, {"specparam", Kw::Refused},
};

// Keywords in an open-addressing table keyed by a word's length and three of its letters, made
// at compile time. Most names land on a free slot or on a keyword of another length, and are
// rejected without comparing text.
class KeywordTable {
public:
    constexpr KeywordTable() {
        for (const KeywordEntry &e : kKeywords) {
            size_t i = slotOf(e.word);
            while (slots_[i].kw != Kw::None) i = (i + 1) & (kSlots - 1);
            slots_[i] = e;
        }
    }
    // The keyword that word spells, or Kw::None; word passed mayBeKeyword().
    Kw find(std::string_view word) const {
        for (size_t i = slotOf(word);; i = (i + 1) & (kSlots - 1)) {
            const KeywordEntry &s = slots_[i];
            if (s.kw == Kw::None) return Kw::None;
            if (s.word.size() == word.size() && std::memcmp(s.word.data(), word.data(), word.size()) == 0) return s.kw;
        }
    }

private:
    static constexpr size_t kSlots = 256;  // a power of two, over twice the keyword count
    static constexpr size_t slotOf(std::string_view w) {
        return (w.size() * 131u + static_cast<unsigned char>(w[0]) * 31u + static_cast<unsigned char>(w[1]) * 7u +
                static_cast<unsigned char>(w.back())) &
               (kSlots - 1);
    }
    KeywordEntry slots_[kSlots] = {};
};

constexpr KeywordTable kKeywordTable;

constexpr std::array<std::array<uint8_t, 32>, 26> makeKeywordStarts() {
    std::array<std::array<uint8_t, 32>, 26> t{};
    for (const KeywordEntry &e : kKeywords) {
        const unsigned char second = static_cast<unsigned char>(e.word[1]);
        t[static_cast<size_t>(e.word[0] - 'a')][second >> 3] |= static_cast<uint8_t>(1u << (second & 7));
    }
    return t;
}

inline bool has(char c, uint8_t cls) { return charClass(c, cls); }

} // namespace

const std::array<std::array<uint8_t, 32>, 26> kKeywordStarts = makeKeywordStarts();

Kw keywordOf(std::string_view word) { return mayBeKeyword(word) ? kKeywordTable.find(word) : Kw::None; }

void Lexer::skipSpace() {
    for (;;) {
        while (p_ < end_ && has(*p_, kBlank)) {
            line_ += *p_ == '\n' ? 1 : 0;
            ++p_;
        }
        if (end_ - p_ < 2 || p_[0] != '/') return;
        if (p_[1] == '/') {
            const void *nl = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
            p_ = nl != nullptr ? static_cast<const char *>(nl) : end_;
        } else if (p_[1] != '*' || !skipComment()) {
            return;
        }
    }
}

// A block comment at p_; false, with the lexer at the end of the text, when it is unterminated.
bool Lexer::skipComment() {
    const char *q = p_ + 2;
    const uint32_t startLine = line_;
    while (q + 1 < end_ && !(q[0] == '*' && q[1] == '/')) {
        line_ += *q == '\n' ? 1 : 0;
        ++q;
    }
    if (q + 1 >= end_) {
        badComment_ = true;
        line_ = startLine;
        p_ = end_;
        return false;
    }
    p_ = q + 2;
    return true;
}

std::string_view Lexer::mapCase(std::string_view name) {
    if (case_ == NameCase::Preserve) return name;
    char *out = arena_.allocate(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (case_ == NameCase::Lower && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (case_ == NameCase::Upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        out[i] = c;
    }
    return {out, name.size()};
}

// A token the parser cannot use: the rest of the text is dropped.
void Lexer::bad(Token &t, std::string_view message) {
    t.kind = Tok::Bad;
    t.kw = Kw::None;
    t.text = message;
    p_ = end_;
}

// Blanks are skipped here, comments by skipSpace(); then punctuation, decimal numbers and
// names, the tokens of nearly every line, are taken here and the rest by other().
void Lexer::scan(Token &t) {
    const char *p = p_;
    while (p < end_ && has(*p, kBlank)) {
        line_ += *p == '\n' ? 1 : 0;
        ++p;
    }
    p_ = p;
    if (p < end_ && *p == '/') {
        skipSpace();
        p = p_;
    }
    t.kw = Kw::None;
    t.escaped = false;
    t.punct = 0;
    t.line = line_;
    if (p >= end_) {
        t.kind = Tok::End;
        t.text = {};
        if (badComment_) bad(t, "unterminated comment");
        return;
    }
    const char c = *p;
    if (has(c, kPunctChar) && !(c == '(' && end_ - p >= 2 && p[1] == '*')) {
        p_ = p + 1;
        t.kind = Tok::Punct;
        t.punct = c;
        t.text = {p, 1};
        return;
    }
    if (has(c, kDigit)) {
        const char *q = p + 1;
        while (q < end_ && has(*q, kNumChar)) ++q;
        p_ = q;
        t.kind = Tok::Number;
        t.text = {p, static_cast<size_t>(q - p)};
        return;
    }
    if (!has(c, kIdStart)) return other(t);
    const char *q = p + 1;
    while (q < end_ && has(*q, kIdChar)) ++q;
    p_ = q;
    const size_t n = static_cast<size_t>(q - p);
    if (n > kMaxText) return bad(t, "name longer than 65535 characters");
    t.text = {p, n};
    t.kind = Tok::Ident;
    if (mayBeKeyword(t.text)) {
        t.kw = kKeywordTable.find(t.text);
        if (t.kw != Kw::None) {
            t.kind = Tok::Keyword;
            return;
        }
    }
    if (case_ != NameCase::Preserve) t.text = mapCase(t.text);
}

// Every token but blanks, punctuation, decimal numbers and plain names, at p_.
void Lexer::other(Token &t) {
    const char *start = p_;
    const char c = *p_;
    switch (c) {
    case '\\':
        return escapedIdent(t);
    case '\'':
        return based(t, start);
    case '"':
        return string(t);
    case '`':
        ++p_;
        while (p_ < end_ && has(*p_, kIdChar)) ++p_;
        t.kind = Tok::Directive;
        t.text = {start, static_cast<size_t>(p_ - start)};
        return;
    case '(':
        if (end_ - p_ >= 2 && p_[1] == '*' && !(end_ - p_ >= 3 && p_[2] == ')')) {
            p_ += 2;
            t.kind = Tok::AttrOpen;
            t.text = {start, 2};
            return;
        }
        break;
    case '*':
        if (end_ - p_ >= 2 && p_[1] == ')') {
            p_ += 2;
            t.kind = Tok::AttrClose;
            t.text = {start, 2};
            return;
        }
        break;
    default:
        if (!has(c, kPrint)) return bad(t, "character outside printable ASCII");
        break;
    }
    ++p_;
    t.kind = Tok::Punct;
    t.punct = c;
    t.text = {start, 1};
}

// "\name " : printable characters up to white space or the end of the text.
void Lexer::escapedIdent(Token &t) {
    const char *body = ++p_;
    while (p_ < end_ && has(*p_, kPrint)) ++p_;
    const size_t n = static_cast<size_t>(p_ - body);
    if (n > kMaxText) return bad(t, "name longer than 65535 characters");
    if (n == 0 || (p_ < end_ && !has(*p_, kBlank))) {
        return bad(t, "escaped identifier holds a character outside printable ASCII, or is empty");
    }
    t.kind = Tok::Ident;
    t.escaped = true;
    t.text = {body, n};
    if (case_ != NameCase::Preserve) t.text = mapCase(t.text);
}

// "'" [s] base [blanks] digits is a number; a lone "'" is punctuation.
void Lexer::based(Token &t, const char *start) {
    const char *q = p_ + 1;
    if (q < end_ && (*q == 's' || *q == 'S')) ++q;
    if (q < end_ && *q != '\0' && std::strchr("bBoOdDhH", *q) != nullptr) {
        ++q;
        while (q < end_ && (*q == ' ' || *q == '\t')) ++q;
        const char *digits = q;
        while (q < end_ && has(*q, kBaseDigit)) ++q;
        if (q > digits) {
            p_ = q;
            t.kind = Tok::Number;
            t.text = {start, static_cast<size_t>(p_ - start)};
            return;
        }
    }
    ++p_;
    t.kind = Tok::Punct;
    t.punct = '\'';
    t.text = {start, 1};
}

// A string up to its closing quote on the same line; "\x" escapes one character.
void Lexer::string(Token &t) {
    const char *q = p_ + 1;
    while (q < end_ && *q != '"' && *q != '\n') q += (*q == '\\' && q + 1 < end_) ? 2 : 1;
    if (q >= end_ || *q != '"') return bad(t, "unterminated string");
    const size_t n = static_cast<size_t>(q - p_ - 1);
    if (n > kMaxText) return bad(t, "string longer than 65535 characters");
    t.kind = Tok::String;
    t.text = {p_ + 1, n};
    p_ = q + 1;
}

void Lexer::skipLine() {
    const void *nl = p_ < end_ ? std::memchr(p_, '\n', static_cast<size_t>(end_ - p_)) : nullptr;
    p_ = nl != nullptr ? static_cast<const char *>(nl) : end_;
}

bool Lexer::skipTo(Kw kw, uint32_t &line) {
    Token t;
    for (;;) {
        next(t);
        if (t.kind == Tok::End || t.kind == Tok::Bad) return false;
        line = t.line;
        if (t.kind == Tok::Keyword && t.kw == kw) return true;
    }
}

} // namespace nyxvc
