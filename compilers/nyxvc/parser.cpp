// Structural Verilog: modules, declarations, instances and assigns.
#include "parser.h"

namespace nyxvc {

Parser::Parser(std::string_view text, std::string_view fileName, const Options &opts, const Limits &limits,
               Diagnostics &diag, Design &design)
    : text_(text.data()), lex_(text, opts.nameCase, design.arena), file_(fileName), opts_(opts), limits_(limits), diag_(diag), design_(design) {}

const Token &Parser::peek() {
    if (!hasPeek_) {
        lex_.next(peek_);
        hasPeek_ = true;
    }
    return peek_;
}

uint32_t Parser::cellIdOf(std::string_view name) {
    const uint32_t next = static_cast<uint32_t>(design_.cellNames.size());
    uint32_t id = design_.cellIndex.find(name);
    if (id == NameTable::kEmpty) {
        const std::string_view kept = design_.arena.keep(name);
        id = design_.cellIndex.insert(kept, next);
        design_.cellNames.push_back(kept);
    }
    return id;
}

bool Parser::fail(uint32_t line, const std::string &text) {
    diag_.error(file_, line, text);
    return false;
}

bool Parser::unexpected(const char *where) {
    if (tok_.kind == Tok::Bad) return fail(tok_.line, std::string(tok_.text));
    if (tok_.kind == Tok::End) return fail(tok_.line, std::string("unexpected end of file ") + where);
    return fail(tok_.line, "unexpected '" + std::string(tok_.text) + "' " + where);
}


// Directives that change nothing in a netlist are skipped with the rest of their line; the
// others (macros, conditional text, included files) would change the text and are refused.
bool Parser::directive() {
    static constexpr std::string_view kSkipped[] = {"`timescale", "`celldefine", "`endcelldefine", "`default_nettype",
                                                    "`resetall", "`unconnected_drive", "`nounconnected_drive",
                                                    "`suppress_faults", "`nosuppress_faults", "`enable_portfaults",
                                                    "`disable_portfaults", "`delay_mode_zero", "`delay_mode_unit",
                                                    "`delay_mode_path", "`delay_mode_distributed"};
    for (std::string_view d : kSkipped) {
        if (tok_.text == d) {
            if (hasPeek_) return fail(tok_.line, "directive " + std::string(tok_.text) + " out of place");
            lex_.skipLine();
            advance();
            return true;
        }
    }
    return fail(tok_.line, "compiler directive " + std::string(tok_.text) + " is not supported");
}

// (* name [= value], ... *): kept in pendingAttrs_ for the instance that follows.
bool Parser::parseAttributes() {
    advance();
    while (tok_.kind != Tok::AttrClose) {
        Prop p;
        if (tok_.kind != Tok::Ident) return unexpected("in an attribute");
        p.name = tok_.text;
        advance();
        if (tok_.is('=')) {
            advance();
            if (!parseValueText(p.value, p.isString)) return false;
        } else {
            p.value = "1";
        }
        pendingAttrs_.push_back(p);
        if (tok_.is(',')) {
            advance();
        } else if (tok_.kind != Tok::AttrClose) {
            return unexpected("in an attribute");
        }
    }
    advance();
    return true;
}

// The text of a constant value up to the next ',' ')' ';' or '*)' at its own nesting depth: one
// token as it stands (a string without its quotes), several tokens joined without blanks.
bool Parser::parseValueText(std::string_view &value, bool &isString) {
    isString = tok_.kind == Tok::String;
    std::string joined;
    int count = 0;
    int depth = 0;
    for (;;) {
        if (tok_.kind == Tok::End || tok_.kind == Tok::Bad) return unexpected("in a value");
        if (depth == 0 && (tok_.is(',') || tok_.is(')') || tok_.is(';') || tok_.kind == Tok::AttrClose)) break;
        if (tok_.is(';')) return unexpected("in a value");
        if (tok_.is('(') || tok_.is('[') || tok_.is('{')) ++depth;
        if (tok_.is(')') || tok_.is(']') || tok_.is('}')) --depth;
        if (count == 0) value = tok_.text;
        if (count == 1) joined = isString ? "\"" + std::string(value) + "\"" : std::string(value);
        if (count >= 1) joined += tok_.kind == Tok::String ? "\"" + std::string(tok_.text) + "\"" : std::string(tok_.text);
        if (joined.size() > 65535) return fail(tok_.line, "value longer than 65535 characters");
        ++count;
        advance();
    }
    if (count == 0) return unexpected("where a value was expected");
    if (count > 1) {
        isString = false;
        design_.texts.push_back(std::move(joined));
        value = design_.texts.back();
    }
    return true;
}

bool Parser::parse() {
    advance();
    for (;;) {
        switch (tok_.kind) {
        case Tok::End:
            return true;
        case Tok::Directive:
            if (!directive()) return false;
            break;
        case Tok::AttrOpen:
            if (!skipAttributes()) return false;
            break;
        case Tok::Keyword:
            if (tok_.kw == Kw::Module || tok_.kw == Kw::Macromodule) {
                if (!parseModule()) return false;
                break;
            }
            if (tok_.kw == Kw::Primitive) return fail(tok_.line, "user-defined primitives are not supported");
            return unexpected("outside a module");
        default:
            return unexpected("outside a module");
        }
    }
}

bool Parser::parseModule() {
    const uint32_t line = tok_.line;
    advance();
    Token name;
    if (!expectIdent("after module", name)) return false;
    const uint32_t index = static_cast<uint32_t>(design_.modules.size());
    const std::string_view kept = design_.arena.keep(name.text);
    const uint32_t existing = design_.moduleIndex.insert(kept, index);
    if (existing != index) {
        return fail(line, "module " + std::string(name.text) + " defined twice (first at line " +
                              std::to_string(design_.modules[existing].line) + ")");
    }
    design_.modules.emplace_back();
    Module &m = design_.modules.back();
    m.name = kept;
    m.line = line;
    defparams_.clear();
    pendingAttrs_.clear();
    if (tok_.is('#')) {
        advance();
        if (!expect('(', "after '#' in a module header") || !parseParamList(m)) return false;
    }
    if (tok_.is('(') && !parseHeaderPorts(m)) return false;
    if (!expect(';', "at the end of a module header")) return false;
    while (!(tok_.kind == Tok::Keyword && tok_.kw == Kw::Endmodule)) {
        if (!parseItem(m)) return false;
    }
    advance();
    return finishModule(m) && (!done_ || done_(m));
}

// #( [parameter] [signed] [range] name = value, ... ): only the names are kept.
bool Parser::parseParamList(Module &m) {
    while (!tok_.is(')')) {
        if (tok_.kind == Tok::Keyword && (tok_.kw == Kw::Parameter || tok_.kw == Kw::Localparam)) {
            if (!parseParamDecl(m, tok_.kw == Kw::Parameter)) return false;
        } else if (tok_.kind == Tok::Ident) {
            if (!parseParamDecl(m, true)) return false;
        } else {
            return unexpected("in a parameter list");
        }
        if (tok_.is(',')) advance();
    }
    advance();
    return true;
}

// parameter [signed] [range|type] name = value {, name = value}; stops before ';' or ')'.
// The caller stands on the keyword, or on the first name inside a module's parameter list.
bool Parser::parseParamDecl(Module &m, bool record) {
    if (tok_.kind == Tok::Keyword) advance();
    for (;;) {
        if (tok_.kind == Tok::Keyword && tok_.kw == Kw::Signed) advance();
        if (tok_.is('[')) {
            int32_t a, b;
            bool present;
            if (!parseRange(a, b, present)) return false;
        }
        // A type word ("integer" is refused by the lexer; "real" too) may precede the name.
        Token name;
        if (!expectIdent("in a parameter declaration", name)) return false;
        if (tok_.kind == Tok::Ident) {
            name = tok_;
            advance();
        }
        if (!expect('=', "in a parameter declaration")) return false;
        std::string_view value;
        bool isString;
        if (!parseValueText(value, isString)) return false;
        if (record) m.params.push_back(design_.arena.keep(name.text));
        if (!tok_.is(',') || peek().kind == Tok::Keyword) return true;
        advance();
    }
}

bool Parser::parseHeaderPorts(Module &m) {
    advance();
    if (tok_.is(')')) {
        advance();
        return true;
    }
    const bool ansi = tok_.kind == Tok::AttrOpen ||
                      (tok_.kind == Tok::Keyword &&
                       (tok_.kw == Kw::Input || tok_.kw == Kw::Output || tok_.kw == Kw::Inout));
    if (ansi) return parseAnsiPorts(m);
    for (;;) {
        if (tok_.is('.') || tok_.is('{')) return fail(tok_.line, "port expressions in a module header are not supported");
        Token name;
        if (!expectIdent("in a module's port list", name)) return false;
        const uint32_t s = intern(m, name.text, name.line);
        if (m.symbols[s].isPort) return fail(name.line, "port " + std::string(name.text) + " listed twice");
        m.symbols[s].isPort = true;
        m.symbols[s].portIndex = static_cast<uint32_t>(m.ports.size());
        m.ports.push_back(s);
        if (tok_.is(')')) break;
        if (!expect(',', "in a module's port list")) return false;
    }
    advance();
    return true;
}

// ANSI header: each direction keyword starts a declaration that the following bare names share.
bool Parser::parseAnsiPorts(Module &m) {
    for (;;) {
        if (!skipAttributes()) return false;
        if (!parsePortDecl(m, true)) return false;
        if (tok_.is(')')) break;
        if (!expect(',', "in a module's port list")) return false;
    }
    advance();
    return true;
}

bool Parser::finishModule(Module &m) {
    uint32_t offset = 0;
    for (uint32_t s : m.ports) {
        const Symbol &sym = m.symbols[s];
        if (!sym.hasDir) return fail(sym.line, "port " + std::string(sym.name) + " has no direction");
        PortShape p;
        p.name = design_.arena.keep(sym.name);
        p.dir = sym.dir;
        p.vector = sym.vector;
        p.msb = sym.msb;
        p.lsb = sym.lsb;
        p.offset = offset;
        offset += p.width();
        m.iface.push_back(p);
    }
    // Distinct children by a stamp per cell: the module's number marks the cells it has seen.
    const uint32_t stamp = static_cast<uint32_t>(design_.modules.size());
    cellStamp_.resize(design_.cellNames.size(), 0);
    for (const Instance &inst : m.instances) {
        if (cellStamp_[inst.cellId] == stamp) continue;
        cellStamp_[inst.cellId] = stamp;
        m.children.push_back({inst.cellId, inst.line});
    }
    if (defparams_.empty()) return true;
    NameTable byName;
    for (uint32_t i = 0; i < m.instances.size(); ++i) byName.insert(m.instances[i].name, i);
    for (const Defparam &d : defparams_) {
        const uint32_t i = byName.find(d.inst);
        if (i == NameTable::kEmpty) return fail(d.line, "defparam names no instance " + std::string(d.inst));
        Instance &inst = m.instances[i];
        const uint32_t begin = static_cast<uint32_t>(m.props.size());
        for (uint32_t k = 0; k < inst.propCount; ++k) m.props.push_back(m.props[inst.propBegin + k]);
        m.props.push_back(Prop{d.name, d.value, d.isString});
        inst.propBegin = begin;
        inst.propCount += 1;
    }
    return true;
}

bool Parser::parseItem(Module &m) {
    switch (tok_.kind) {
    case Tok::AttrOpen:
        pendingAttrs_.clear();
        while (tok_.kind == Tok::AttrOpen) {
            if (!parseAttributes()) return false;
        }
        return true;
    case Tok::Directive:
        return directive();
    case Tok::Ident:
        return parseInstances(m);
    case Tok::Keyword:
        break;
    default:
        return unexpected("in a module");
    }
    const Kw kw = tok_.kw;
    const std::string word(tok_.text);
    switch (kw) {
    case Kw::Input:
    case Kw::Output:
    case Kw::Inout:
        if (!parsePortDecl(m, false)) return false;
        return expect(';', "after a port declaration");
    case Kw::Assign:
        return parseAssign(m);
    case Kw::Parameter:
    case Kw::Localparam:
        if (!parseParamDecl(m, kw == Kw::Parameter)) return false;
        return expect(';', "after a parameter declaration");
    case Kw::Defparam:
        return parseDefparam(m);
    case Kw::Specify: {
        uint32_t line = tok_.line;
        if (hasPeek_) {
            hasPeek_ = false;
            if (peek_.kind == Tok::Keyword && peek_.kw == Kw::Endspecify) {
                advance();
                return true;
            }
        }
        const uint32_t start = line;  // skipTo moves `line` on to where the search stopped
        if (!lex_.skipTo(Kw::Endspecify, line)) return fail(start, "specify block without endspecify");
        advance();
        return true;
    }
    case Kw::Gate:
        return fail(tok_.line, "gate primitive " + word + " is not supported");
    case Kw::Refused:
        return fail(tok_.line, "'" + word + "' is not supported (behavioural or generated code)");
    case Kw::Module:
    case Kw::Macromodule:
        return fail(tok_.line, "module inside module " + std::string(m.name) + " (missing endmodule?)");
    default:
        if (kw >= Kw::Wire && kw <= Kw::Supply1) return parseNetDecl(m);
        return unexpected("in a module");
    }
}

} // namespace nyxvc
