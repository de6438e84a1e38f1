// parser.h - structural Verilog into the module model of model.h.
//
// The parser stops at the first construct outside the structural subset and reports it with the
// file and line; the model is then incomplete and must not be used.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "lexer.h"
#include "model.h"
#include "nyxvc.h"

namespace nyxvc {

class Parser {
public:
    // text must outlive design; fileName names the file in messages.
    Parser(std::string_view text, std::string_view fileName, const Options &opts, const Limits &limits,
           Diagnostics &diag, Design &design);

    // Parses the whole text into design; false after an error (reported in diag). done, when
    // set, is called with each module as soon as it is parsed; false from it stops the parse.
    bool parse();
    void onModule(std::function<bool(Module &)> done) { done_ = std::move(done); }
    // Bytes of the text read so far.
    size_t offset() const { return static_cast<size_t>(lex_.position() - text_); }

private:
    // Tokens.
    void advance() {
        if (hasPeek_) {
            tok_ = peek_;
            hasPeek_ = false;
        } else {
            lex_.next(tok_);
        }
    }
    const Token &peek();
    bool expect(char c, const char *what) {
        if (!tok_.is(c)) return unexpected(what);
        advance();
        return true;
    }
    bool expectIdent(const char *what, Token &out) {
        if (tok_.kind != Tok::Ident) return unexpected(what);
        out = tok_;
        advance();
        return true;
    }
    // The number of the cell an instance names; a new cell's name is kept in the arena.
    uint32_t cellIdOf(std::string_view name);
    bool fail(uint32_t line, const std::string &text);
    bool unexpected(const char *where);
    bool directive();
    // Attributes where none may be kept (before a port or a connection): parsed, then dropped.
    bool skipAttributes() {
        while (tok_.kind == Tok::AttrOpen) {
            if (!parseAttributes()) return false;
        }
        pendingAttrs_.clear();
        return true;
    }
    bool parseAttributes();

    // What a net declaration gives each of its names.
    struct NetShape {
        uint8_t netKind = 0;
        bool global = false;
        bool vector = false;
        int32_t msb = 0, lsb = 0;
    };

    // Module structure.
    bool parseModule();
    bool parseParamList(Module &m);
    bool parseHeaderPorts(Module &m);
    bool parseAnsiPorts(Module &m);
    bool parseItem(Module &m);
    bool parsePortDecl(Module &m, bool ansi);
    bool parseNetDecl(Module &m);
    bool parseParamDecl(Module &m, bool record);
    bool parseDefparam(Module &m);
    bool parseAssign(Module &m);
    bool parseInstances(Module &m);
    // The short paths (parse_quick.cpp): NotTaken leaves everything as it was.
    enum class Quick : uint8_t { NotTaken, Done, Failed };
    bool quickInstance(Module &m);
    Quick quickNetNames(Module &m, const NetShape &shape);
    bool parseParamValues(Module &m, Instance &inst);
    bool parseConnections(Module &m, Instance &inst);
    bool parseValueText(std::string_view &value, bool &isString);
    bool finishModule(Module &m);

    // Declarations and expressions.
    bool parseRange(int32_t &msb, int32_t &lsb, bool &present);
    bool parseInt(int32_t &value);
    uint32_t intern(Module &m, std::string_view name, uint32_t line);
    uint32_t intern(Module &m, std::string_view name, const NameTable::Key &key, uint32_t line);
    bool declareNet(Module &m, std::string_view name, uint32_t line, const NetShape &shape);
    bool parseExpr(Module &m);
    bool parsePrimary(Module &m);
    bool parseConstant(Module &m);
    bool pushConstBits(Module &m, std::string_view digits, int base, uint32_t width, bool sized);
    bool parseConcat(Module &m);
    bool atExprEnd();

    const char *text_;
    Lexer lex_;
    Token tok_;
    Token peek_;
    bool hasPeek_ = false;
    std::string_view file_;
    Options opts_;
    Limits limits_;
    Diagnostics &diag_;
    Design &design_;
    std::function<bool(Module &)> done_;
    static constexpr uint32_t kMaxConcatDepth = 256;
    uint32_t concatDepth_ = 0;  // concatenations open around the token
    std::vector<uint32_t> cellStamp_;
    std::vector<Prop> pendingAttrs_;
    struct Defparam {
        std::string_view inst, name, value;
        bool isString;
        uint32_t line;
    };
    std::vector<Defparam> defparams_;
    // The connections of the statement quickInstance() reads, until it is known to be whole.
    struct QuickConn {
        std::string_view port, net;
        NameTable::Key netKey = {};
        uint32_t line = 0, netLine = 0;
        bool select = false;
        int32_t index = 0;
    };
    std::vector<QuickConn> quick_;
    struct QuickName {
        std::string_view text;
        uint32_t line = 0;
    };
    std::vector<QuickName> quickNames_;
};

} // namespace nyxvc
