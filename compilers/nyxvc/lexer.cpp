// Tokens of structural Verilog.
#include "lexer.h"

#include <cstring>
#include <vector>

namespace nyxvc {

namespace {

struct KeywordEntry {
    const char *word;
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

inline bool identStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
inline bool identChar(char c) { return identStart(c) || (c >= '0' && c <= '9') || c == '$'; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
inline bool baseDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == 'x' || c == 'X' ||
           c == 'z' || c == 'Z' || c == '?' || c == '_';
}

} // namespace

namespace {

// Keywords by first letter, so that a name is compared with the few keywords that share it.
struct KeywordIndex {
    struct Word {
        std::string_view text;
        Kw kw;
    };
    std::vector<Word> byFirst[26];
    KeywordIndex() {
        for (const KeywordEntry &e : kKeywords) byFirst[e.word[0] - 'a'].push_back({e.word, e.kw});
    }
};

} // namespace

Kw keywordOf(std::string_view word) {
    // Keywords are lower-case letters, digits and '_' of 2 to 12 characters.
    if (word.size() < 2 || word.size() > 12 || word[0] < 'a' || word[0] > 'z') return Kw::None;
    static const KeywordIndex index;
    for (const KeywordIndex::Word &k : index.byFirst[word[0] - 'a']) {
        if (k.text.size() == word.size() && std::memcmp(k.text.data(), word.data(), word.size()) == 0) return k.kw;
    }
    return Kw::None;
}

void Lexer::skipSpace() {
    while (p_ < end_) {
        const char c = *p_;
        if (c == '\n') {
            ++line_;
            ++p_;
        } else if (isBlank(c)) {
            ++p_;
        } else if (c == '/' && p_ + 1 < end_ && p_[1] == '/') {
            while (p_ < end_ && *p_ != '\n') ++p_;
        } else if (c == '/' && p_ + 1 < end_ && p_[1] == '*') {
            const char *q = p_ + 2;
            const uint32_t startLine = line_;
            while (q + 1 < end_ && !(q[0] == '*' && q[1] == '/')) {
                if (*q == '\n') ++line_;
                ++q;
            }
            if (q + 1 >= end_) {
                badComment_ = true;
                line_ = startLine;
                p_ = end_;
                return;
            }
            p_ = q + 2;
        } else {
            return;
        }
    }
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

// Names and texts longer than this are refused: the records carry strings of at most 128000
// bytes, and a bus bit's name adds its index to the name.
constexpr size_t kMaxText = 65535;

Token Lexer::next() {
    skipSpace();
    Token t;
    t.line = line_;
    if (p_ >= end_) {
        t.kind = badComment_ ? Tok::Bad : Tok::End;
        if (badComment_) t.text = "unterminated comment";
        return t;
    }
    const char *start = p_;
    const char c = *p_;
    if (identStart(c)) {
        while (p_ < end_ && identChar(*p_)) ++p_;
        t.text = {start, static_cast<size_t>(p_ - start)};
        if (t.text.size() > kMaxText) {
            t.kind = Tok::Bad;
            t.text = "name longer than 65535 characters";
            p_ = end_;
            return t;
        }
        t.kw = keywordOf(t.text);
        t.kind = t.kw == Kw::None ? Tok::Ident : Tok::Keyword;
        if (t.kind == Tok::Ident && case_ != NameCase::Preserve) t.text = mapCase(t.text);
    } else if (c == '\\') {
        ++p_;
        const char *body = p_;
        while (p_ < end_ && !isBlank(*p_)) {
            if (static_cast<unsigned char>(*p_) < 0x21 || static_cast<unsigned char>(*p_) > 0x7E) break;
            ++p_;
        }
        t.text = {body, static_cast<size_t>(p_ - body)};
        if (t.text.size() > kMaxText) {
            t.kind = Tok::Bad;
            t.text = "name longer than 65535 characters";
            p_ = end_;
            return t;
        }
        if (t.text.empty() || (p_ < end_ && !isBlank(*p_))) {
            t.kind = Tok::Bad;
            t.text = "escaped identifier holds a character outside printable ASCII, or is empty";
            p_ = end_;
            return t;
        }
        t.kind = Tok::Ident;
        t.escaped = true;
        if (case_ != NameCase::Preserve) t.text = mapCase(t.text);
    } else if (isDigit(c)) {
        while (p_ < end_ && (isDigit(*p_) || *p_ == '_')) ++p_;
        t.kind = Tok::Number;
        t.text = {start, static_cast<size_t>(p_ - start)};
    } else if (c == '\'') {
        const char *q = p_ + 1;
        if (q < end_ && (*q == 's' || *q == 'S')) ++q;
        if (q < end_ && std::strchr("bBoOdDhH", *q) != nullptr && *q != '\0') {
            ++q;
            while (q < end_ && (*q == ' ' || *q == '\t')) ++q;
            const char *digits = q;
            while (q < end_ && baseDigit(*q)) ++q;
            if (q > digits) {
                p_ = q;
                t.kind = Tok::Number;
                t.text = {start, static_cast<size_t>(p_ - start)};
                return t;
            }
        }
        ++p_;
        t.kind = Tok::Punct;
        t.text = {start, 1};
    } else if (c == '"') {
        const char *q = p_ + 1;
        while (q < end_ && *q != '"' && *q != '\n') q += (*q == '\\' && q + 1 < end_) ? 2 : 1;
        if (q >= end_ || *q != '"') {
            t.kind = Tok::Bad;
            t.text = "unterminated string";
            p_ = end_;
            return t;
        }
        t.kind = Tok::String;
        t.text = {p_ + 1, static_cast<size_t>(q - p_ - 1)};
        if (t.text.size() > kMaxText) {
            t.kind = Tok::Bad;
            t.text = "string longer than 65535 characters";
            p_ = end_;
            return t;
        }
        p_ = q + 1;
    } else if (c == '`') {
        ++p_;
        while (p_ < end_ && identChar(*p_)) ++p_;
        t.kind = Tok::Directive;
        t.text = {start, static_cast<size_t>(p_ - start)};
    } else if (c == '(' && p_ + 1 < end_ && p_[1] == '*' && !(p_ + 2 < end_ && p_[2] == ')')) {
        p_ += 2;
        t.kind = Tok::AttrOpen;
        t.text = {start, 2};
    } else if (c == '*' && p_ + 1 < end_ && p_[1] == ')') {
        p_ += 2;
        t.kind = Tok::AttrClose;
        t.text = {start, 2};
    } else if (static_cast<unsigned char>(c) >= 0x21 && static_cast<unsigned char>(c) <= 0x7E) {
        ++p_;
        t.kind = Tok::Punct;
        t.text = {start, 1};
    } else {
        t.kind = Tok::Bad;
        t.text = "character outside printable ASCII";
        p_ = end_;
    }
    return t;
}

void Lexer::skipLine() {
    while (p_ < end_ && *p_ != '\n') ++p_;
}

bool Lexer::skipTo(Kw kw, uint32_t &line) {
    for (;;) {
        const Token t = next();
        if (t.kind == Tok::End || t.kind == Tok::Bad) return false;
        line = t.line;
        if (t.kind == Tok::Keyword && t.kw == kw) return true;
    }
}

} // namespace nyxvc
