// lexer.h - tokens of structural Verilog over a text held in memory.
//
// Whitespace, `//` and `/* */` comments are skipped and counted into line numbers. An escaped
// identifier ("\name " up to white space) becomes an identifier without its backslash. Keywords
// are recognised before the name case is applied, so that -uppercase does not turn "wire" into a
// name; mapped names live in the design's arena.
#pragma once

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

struct Token {
    Tok kind = Tok::End;
    Kw kw = Kw::None;
    bool escaped = false;
    uint32_t line = 1;
    std::string_view text;
    bool is(char c) const { return kind == Tok::Punct && text.size() == 1 && text[0] == c; }
};

class Lexer {
public:
    // Mapped names are stored in arena, which must outlive every view of them.
    Lexer(std::string_view text, NameCase nameCase, TextArena &arena)
        : p_(text.data()), end_(text.data() + text.size()), case_(nameCase), arena_(arena) {}

    Token next();
    // Skips the rest of the current line (directives such as `timescale).
    void skipLine();
    // Skips tokens up to and including the keyword kw; false at the end of the text.
    bool skipTo(Kw kw, uint32_t &line);

private:
    void skipSpace();
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

} // namespace nyxvc
