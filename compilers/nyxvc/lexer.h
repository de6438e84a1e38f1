// lexer.h - tokens of structural Verilog over a text held in memory.
//
// Whitespace, `//` and `/* */` comments are skipped and counted into line numbers. An escaped
// identifier ("\name " up to white space) becomes an identifier without its backslash. Keywords
// are recognised before the name case is applied, so that -uppercase does not turn "wire" into a
// name; mapped names live in the design's arena.
//
// Speed: the lexer classifies characters by one table look-up each and writes each token in
// place into the parser's token (a token returned by value and then copied costs more than
// the scan of a short name). It never reads outside [text.data(), text.data() + text.size()).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "model.h"
#include "nyxvc.h"

namespace nyxvc {

enum class Tok : uint8_t {
    End,
    Ident,      // plain or escaped identifier (escaped set)
    Keyword,    // kw holds which
    Number,     // unsigned decimal digits, or a based literal "'b101" ("'" to its last digit)
    String,     // text without the quotes
    Directive,  // "`name"
    AttrOpen,   // "(*"
    AttrClose,  // "*)"
    Punct,      // one character: ( ) [ ] { } , ; : . # = and any other operator character
    Bad,        // a character that cannot start a token, or an unterminated comment or string
};

enum class Kw : uint8_t {
    None, Module, Macromodule, Endmodule, Input, Output, Inout, Wire, Tri, Wand, Wor, Triand, Trior,
    Tri0, Tri1, Trireg, Uwire, Reg, Supply0, Supply1, Assign, Parameter, Localparam, Defparam,
    Signed, Specify, Endspecify, Primitive, Gate, Refused,
};

// Character classes, one table entry per byte value.
enum : uint8_t {
    kIdStart = 1,     // a-z A-Z _
    kIdChar = 2,      // an identifier's later characters: kIdStart, 0-9, $
    kDigit = 4,       // 0-9
    kNumChar = 8,     // a decimal number's later characters: 0-9 _
    kBlank = 16,      // space, tab, line feed, carriage return, form feed, vertical tab
    kPrint = 32,      // printable ASCII but space: 0x21 .. 0x7E
    kBaseDigit = 64,  // a based number's digits: 0-9 a-f A-F x X z Z ? _
    kPunctChar = 128, // printable, and a token of its own unless it is "(*": no name, number,
                      // string, directive, comment or attribute end starts with it
};

constexpr std::array<uint8_t, 256> makeCharClasses() {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const bool lower = c >= 'a' && c <= 'z', upper = c >= 'A' && c <= 'Z', digit = c >= '0' && c <= '9';
        uint8_t k = 0;
        if (lower || upper || c == '_') k |= kIdStart | kIdChar;
        if (digit || c == '$') k |= kIdChar;
        if (digit) k |= kDigit | kNumChar;
        if (c == '_') k |= kNumChar;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') k |= kBlank;
        if (c >= 0x21 && c <= 0x7E) k |= kPrint;
        if (digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == 'x' || c == 'X' || c == 'z' ||
            c == 'Z' || c == '?' || c == '_') {
            k |= kBaseDigit;
        }
        if ((k & kPrint) && !(k & kIdChar) && c != '\\' && c != '\'' && c != '"' && c != '`' && c != '*' && c != '/') {
            k |= kPunctChar;
        }
        t[static_cast<size_t>(c)] = k;
    }
    return t;
}

inline constexpr std::array<uint8_t, 256> kCharClasses = makeCharClasses();

inline bool charClass(char c, uint8_t cls) { return (kCharClasses[static_cast<unsigned char>(c)] & cls) != 0; }

// Names and texts longer than this are refused: the records carry strings of at most 128000
// bytes, and a bus bit's name adds its index to the name.
constexpr size_t kMaxText = 65535;

// punct == text[0] for a Punct token and 0 for every other kind, so that a test for a
// punctuation character is one comparison.
struct Token {
    Tok kind = Tok::End;
    Kw kw = Kw::None;
    bool escaped = false;
    char punct = 0;
    uint32_t line = 1;
    std::string_view text;
    bool is(char c) const { return punct == c; }
};

class Lexer {
public:
    // Mapped names are stored in arena, which must outlive every view of them.
    Lexer(std::string_view text, NameCase nameCase, TextArena &arena)
        : p_(text.data()), end_(text.data() + text.size()), case_(nameCase), arena_(arena) {}

    // The next token, written into t. Punctuation right after the token before it (".A(n[1])"
    // is mostly such) takes the short path here; everything else is scanned by scan().
    void next(Token &t) {
        if (p_ < end_ && charClass(*p_, kPunctChar) && !(*p_ == '(' && end_ - p_ >= 2 && p_[1] == '*')) {
            t.kind = Tok::Punct;
            t.kw = Kw::None;
            t.escaped = false;
            t.punct = *p_;
            t.line = line_;
            t.text = {p_, 1};
            ++p_;
            return;
        }
        scan(t);
    }
    // Where the next token starts (or the blanks before it), its line, and the end of the text,
    // for a reader that takes characters itself; resume() continues after what it took.
    const char *position() const { return p_; }
    uint32_t line() const { return line_; }
    const char *end() const { return end_; }
    void resume(const char *p, uint32_t line) {
        p_ = p;
        line_ = line;
    }
    // Skips the rest of the current line (directives such as `timescale).
    void skipLine();
    // Skips tokens up to and including the keyword kw; false at the end of the text.
    bool skipTo(Kw kw, uint32_t &line);

private:
    void scan(Token &t);
    void skipSpace();
    bool skipComment();
    void other(Token &t);
    void escapedIdent(Token &t);
    void based(Token &t, const char *start);
    void string(Token &t);
    void bad(Token &t, std::string_view message);
    std::string_view mapCase(std::string_view name);

    const char *p_;
    const char *end_;
    uint32_t line_ = 1;
    bool badComment_ = false;
    NameCase case_;
    TextArena &arena_;
};

// The keyword a plain identifier spells, or Kw::None.
Kw keywordOf(std::string_view word);

// The first two letters of the keywords: bit (c & 7) of kKeywordStarts[first - 'a'][c >> 3] is
// set when a keyword starts with first and c.
extern const std::array<std::array<uint8_t, 32>, 26> kKeywordStarts;

// False for nearly every name that is not a keyword, at the cost of one look-up (keywords are
// lower-case letters, digits and '_' of 2 to 12 characters); keywordOf() decides the rest.
inline bool mayBeKeyword(std::string_view word) {
    if (word.size() < 2 || word.size() > 12 || word[0] < 'a' || word[0] > 'z') return false;
    const unsigned char second = static_cast<unsigned char>(word[1]);
    return ((kKeywordStarts[static_cast<size_t>(word[0] - 'a')][second >> 3] >> (second & 7)) & 1) != 0;
}

} // namespace nyxvc
