// Structural Verilog: port and net declarations, assigns, defparams and instances.
#include "parser.h"

namespace nyxvc {

namespace {

Dir dirOf(Kw kw) { return kw == Kw::Input ? Dir::In : kw == Kw::Output ? Dir::Out : Dir::InOut; }

bool isNetKind(Kw kw) { return kw >= Kw::Wire && kw <= Kw::Supply1; }

} // namespace

uint32_t Parser::intern(Module &m, std::string_view name, uint32_t line) {
    return intern(m, name, NameTable::keyOf(name), line);
}

uint32_t Parser::intern(Module &m, std::string_view name, const NameTable::Key &key, uint32_t line) {
    const uint32_t next = static_cast<uint32_t>(m.symbols.size());
    const uint32_t s = m.symbolIndex.insert(name, next, key);
    if (s == next) {
        m.symbols.emplace_back();
        m.symbols.back().name = name;
        m.symbols.back().line = line;
    }
    return s;
}

// A second declaration of a name may add the range the first one left out; two ranges must agree.
static bool mergeRange(Symbol &sym, bool vector, int32_t msb, int32_t lsb) {
    if (!vector) return true;
    if (sym.vector) return sym.msb == msb && sym.lsb == lsb;
    sym.vector = true;
    sym.msb = msb;
    sym.lsb = lsb;
    return true;
}

bool Parser::declareNet(Module &m, std::string_view name, uint32_t line, const NetShape &shape) {
    const uint32_t s = intern(m, name, line);
    Symbol &sym = m.symbols[s];
    if (sym.netDeclared) {
        return fail(line, std::string(name) + " declared twice (first at line " + std::to_string(sym.line) + ")");
    }
    if (!sym.hasDir) sym.line = line;
    sym.netDeclared = true;
    sym.netKind = shape.netKind;
    sym.global = shape.global;
    if (!mergeRange(sym, shape.vector, shape.msb, shape.lsb)) {
        return fail(line, "range of " + std::string(name) + " differs from its port declaration");
    }
    return true;
}

// dir [net kind] [signed] [range] name {, name}. In an ANSI header a bare name after ',' shares
// the declaration before it, and a direction keyword ends the run; in a module body the names
// must be listed in the header.
bool Parser::parsePortDecl(Module &m, bool ansi) {
    if (tok_.kind != Tok::Keyword || (tok_.kw != Kw::Input && tok_.kw != Kw::Output && tok_.kw != Kw::Inout)) {
        return unexpected("where a port declaration was expected");
    }
    const Dir dir = dirOf(tok_.kw);
    advance();
    uint8_t netKind = 0;
    bool global = false;
    bool hasKind = false;
    if (tok_.kind == Tok::Keyword && isNetKind(tok_.kw)) {
        hasKind = true;
        global = tok_.kw == Kw::Supply0 || tok_.kw == Kw::Supply1;
        if (tok_.kw != Kw::Wire && !global) netKind = netKindOf(tok_.text);
        advance();
    }
    if (tok_.kind == Tok::Keyword && tok_.kw == Kw::Signed) advance();
    int32_t msb = 0, lsb = 0;
    bool vector = false;
    if (tok_.is('[') && !parseRange(msb, lsb, vector)) return false;
    for (;;) {
        Token name;
        if (!expectIdent("in a port declaration", name)) return false;
        const uint32_t s = intern(m, name.text, name.line);
        Symbol &sym = m.symbols[s];
        if (ansi) {
            if (sym.isPort) return fail(name.line, "port " + std::string(name.text) + " declared twice");
            sym.isPort = true;
            sym.portIndex = static_cast<uint32_t>(m.ports.size());
            m.ports.push_back(s);
        } else if (!sym.isPort) {
            return fail(name.line, std::string(name.text) + " is not in the port list of module " + std::string(m.name));
        }
        if (sym.hasDir) return fail(name.line, "direction of " + std::string(name.text) + " declared twice");
        sym.hasDir = true;
        sym.dir = dir;
        sym.line = name.line;
        if (hasKind) {
            sym.netDeclared = true;
            sym.netKind = netKind;
            sym.global = global;
        }
        if (!mergeRange(sym, vector, msb, lsb)) {
            return fail(name.line, "range of " + std::string(name.text) + " differs from its net declaration");
        }
        if (tok_.is('[')) return fail(tok_.line, "arrays of more than one dimension are not supported");
        if (!tok_.is(',')) return true;
        if (ansi && (peek().kind != Tok::Ident)) return true;
        advance();
    }
}

// kind [signed] [range] name [= expr] {, name [= expr]} ;
bool Parser::parseNetDecl(Module &m) {
    const Kw kind = tok_.kw;
    NetShape shape;
    shape.global = kind == Kw::Supply0 || kind == Kw::Supply1;
    shape.netKind = kind == Kw::Wire || shape.global ? 0 : netKindOf(tok_.text);
    advance();
    if (tok_.is('(')) return fail(tok_.line, "drive strengths are not supported");
    if (tok_.kind == Tok::Keyword && tok_.kw == Kw::Signed) advance();
    if (tok_.is('[') && !parseRange(shape.msb, shape.lsb, shape.vector)) return false;
    if (tok_.is('#')) return fail(tok_.line, "delays are not supported");
    if (tok_.kind == Tok::Ident) {
        const Quick q = quickNetNames(m, shape);
        if (q != Quick::NotTaken) return q == Quick::Done;
    }
    for (;;) {
        Token name;
        if (!expectIdent("in a net declaration", name)) return false;
        if (!declareNet(m, name.text, name.line, shape)) return false;
        if (tok_.is('[')) return fail(tok_.line, "arrays of more than one dimension are not supported");
        if (tok_.is('=')) {
            // wire a = b; is a net declaration and an assign in one.
            advance();
            Assign a;
            a.line = name.line;
            a.lhsBegin = static_cast<uint32_t>(m.items.size());
            Item whole;
            whole.sym = m.symbolIndex.find(name.text);
            m.items.push_back(whole);
            a.lhsCount = 1;
            a.rhsBegin = static_cast<uint32_t>(m.items.size());
            if (!parseExpr(m)) return false;
            a.rhsCount = static_cast<uint32_t>(m.items.size()) - a.rhsBegin;
            m.assigns.push_back(a);
        }
        if (tok_.is(';')) break;
        if (!expect(',', "in a net declaration")) return false;
    }
    advance();
    return true;
}

// assign lhs = rhs {, lhs = rhs} ;
bool Parser::parseAssign(Module &m) {
    advance();
    if (tok_.is('(')) return fail(tok_.line, "drive strengths are not supported");
    if (tok_.is('#')) return fail(tok_.line, "delays are not supported");
    for (;;) {
        Assign a;
        a.line = tok_.line;
        a.lhsBegin = static_cast<uint32_t>(m.items.size());
        if (!parseExpr(m)) return false;
        a.lhsCount = static_cast<uint32_t>(m.items.size()) - a.lhsBegin;
        if (!expect('=', "in an assign")) return false;
        a.rhsBegin = static_cast<uint32_t>(m.items.size());
        if (!parseExpr(m)) return false;
        a.rhsCount = static_cast<uint32_t>(m.items.size()) - a.rhsBegin;
        m.assigns.push_back(a);
        if (tok_.is(';')) break;
        if (!expect(',', "in an assign")) return false;
    }
    advance();
    return true;
}

// defparam instance.name = value {, ...} ;   (one level of hierarchy only)
bool Parser::parseDefparam(Module &) {
    advance();
    for (;;) {
        Defparam d;
        d.line = tok_.line;
        Token inst, name;
        if (!expectIdent("in a defparam", inst)) return false;
        if (!expect('.', "in a defparam")) return false;
        if (!expectIdent("in a defparam", name)) return false;
        if (tok_.is('.')) return fail(tok_.line, "hierarchical references are not supported");
        if (!expect('=', "in a defparam")) return false;
        d.inst = inst.text;
        d.name = name.text;
        if (!parseValueText(d.value, d.isString)) return false;
        defparams_.push_back(d);
        if (tok_.is(';')) break;
        if (!expect(',', "in a defparam")) return false;
    }
    advance();
    return true;
}

// cell [#(parameters)] name [range] (connections) {, name [range] (connections)} ;
bool Parser::parseInstances(Module &m) {
    if (quickInstance(m)) return true;
    const Token cell = tok_;
    advance();
    Instance proto;
    proto.cellId = cellIdOf(cell.text);
    proto.propBegin = static_cast<uint32_t>(m.props.size());
    for (const Prop &p : pendingAttrs_) m.props.push_back(p);
    pendingAttrs_.clear();
    if (tok_.is('#') && !parseParamValues(m, proto)) return false;
    proto.propCount = static_cast<uint32_t>(m.props.size()) - proto.propBegin;
    if (tok_.is('(')) return fail(cell.line, "instance of " + std::string(cell.text) + " without a name");
    if (tok_.is('.')) return fail(tok_.line, "hierarchical references are not supported");
    if (tok_.is('=') || tok_.is('[')) return fail(tok_.line, "statements other than declarations, assigns and instances are not supported");
    for (;;) {
        Instance inst = proto;
        Token name;
        if (!expectIdent("where an instance name was expected", name)) return false;
        inst.name = name.text;
        inst.line = name.line;
        if (tok_.is('[')) {
            if (!parseRange(inst.arrayHi, inst.arrayLo, inst.array)) return false;
        }
        if (!expect('(', "after an instance name")) return false;
        if (!parseConnections(m, inst)) return false;
        m.instances.push_back(inst);
        if (tok_.is(';')) break;
        if (!expect(',', "after an instance")) return false;
    }
    advance();
    return true;
}

// #(.name(value), ...) | #(value, ...) | #value
bool Parser::parseParamValues(Module &m, Instance &inst) {
    advance();
    if (!tok_.is('(')) {
        if (tok_.kind != Tok::Number && tok_.kind != Tok::Ident) return unexpected("after '#'");
        m.props.push_back(Prop{std::string_view(), tok_.text, false});
        inst.positionalParams = 1;
        advance();
        return true;
    }
    advance();
    if (tok_.is('.')) {
        for (;;) {
            if (!expect('.', "in a parameter list")) return false;
            Token name;
            if (!expectIdent("in a parameter list", name)) return false;
            if (!expect('(', "in a parameter list")) return false;
            if (!tok_.is(')')) {
                Prop p;
                p.name = name.text;
                if (!parseValueText(p.value, p.isString)) return false;
                m.props.push_back(p);
            }
            if (!expect(')', "in a parameter list")) return false;
            if (tok_.is(')')) break;
            if (!expect(',', "in a parameter list")) return false;
        }
    } else {
        for (;;) {
            Prop p;
            if (!parseValueText(p.value, p.isString)) return false;
            m.props.push_back(p);
            ++inst.positionalParams;
            if (tok_.is(')')) break;
            if (!expect(',', "in a parameter list")) return false;
        }
    }
    advance();
    return true;
}

// Named: .port(expr) | .port() | .port ; positional: expr or nothing between commas.
bool Parser::parseConnections(Module &m, Instance &inst) {
    inst.connBegin = static_cast<uint32_t>(m.conns.size());
    if (!skipAttributes()) return false;
    if (tok_.is(')')) {
        advance();
        return true;
    }
    inst.positional = !tok_.is('.');
    for (;;) {
        if (!skipAttributes()) return false;
        Conn c;
        c.line = tok_.line;
        if (!inst.positional) {
            if (!tok_.is('.')) return fail(tok_.line, "named and positional connections mixed");
            advance();
            if (tok_.is('*') || tok_.kind == Tok::AttrClose) return fail(tok_.line, "wildcard connections are not supported");
            Token port;
            if (!expectIdent("after '.' in a connection", port)) return false;
            c.port = m.portNameIndex.insert(port.text, static_cast<uint32_t>(m.portNames.size()));
            if (c.port == m.portNames.size()) m.portNames.push_back(port.text);
            c.itemBegin = static_cast<uint32_t>(m.items.size());
            if (tok_.is('(')) {
                advance();
                if (!tok_.is(')') && !parseExpr(m)) return false;
                if (!expect(')', "at the end of a connection")) return false;
            } else {
                Item whole;
                whole.sym = intern(m, port.text, port.line);
                m.items.push_back(whole);
            }
        } else {
            if (tok_.is('.')) return fail(tok_.line, "named and positional connections mixed");
            c.itemBegin = static_cast<uint32_t>(m.items.size());
            if (!tok_.is(',') && !tok_.is(')') && !parseExpr(m)) return false;
        }
        c.itemCount = static_cast<uint32_t>(m.items.size()) - c.itemBegin;
        m.conns.push_back(c);
        ++inst.connCount;
        if (tok_.is(')')) break;
        if (!expect(',', "in a connection list")) return false;
    }
    advance();
    return true;
}

} // namespace nyxvc
