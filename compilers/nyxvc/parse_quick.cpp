// The short paths of the parser for the statements that make up nearly all of a gate-level
// netlist: net declarations that list plain names, and one instance whose connections are
// named, each a plain name or one bit of it,
//
//     CELL NAME ( .PIN ( NET ) , .PIN ( NET [ 3 ] ) , ... ) ;
//
// read from the characters without making tokens. The statement is checked whole before
// anything changes: whatever else it holds (parameters, attributes, instance arrays, a second
// instance, positional or empty connections, constants, concatenations, part selects, escaped
// names, keywords, comments, names whose letter case is mapped) leaves the model and the lexer
// as they were, and the general parser reads the statement and reports what is wrong with it.
// What a short path builds is what the general parser builds for the same statement: the same
// names interned in the same order, at the same lines, and the same first error.
#include "parser.h"

namespace nyxvc {

namespace {

// Characters of one statement; each reader returns false at anything it does not expect.
struct Cursor {
    const char *p;
    const char *end;
    uint32_t line;

    // Blanks, counting line ends; a comment stops it like any other character.
    void blanks() {
        while (p < end && charClass(*p, kBlank)) {
            line += *p == '\n' ? 1 : 0;
            ++p;
        }
    }
    bool take(char c) {
        blanks();
        if (p == end || *p != c) return false;
        ++p;
        return true;
    }
    // A plain name that is no keyword, and its line.
    bool name(std::string_view &out, uint32_t &at) {
        blanks();
        if (p == end || !charClass(*p, kIdStart)) return false;
        const char *start = p++;
        while (p < end && charClass(*p, kIdChar)) ++p;
        out = {start, static_cast<size_t>(p - start)};
        at = line;
        return out.size() <= kMaxText && (!mayBeKeyword(out) || keywordOf(out) == Kw::None);
    }
    // Up to nine decimal digits, which no '_' or further digit follows.
    bool index(int32_t &value) {
        blanks();
        int32_t v = 0;
        int digits = 0;
        while (p < end && charClass(*p, kDigit) && digits < 9) {
            v = v * 10 + (*p++ - '0');
            ++digits;
        }
        value = v;
        return digits > 0 && !(p < end && charClass(*p, kNumChar));
    }
};

} // namespace

// True when the statement at the cell name in tok_ was read whole (and the next token is in
// tok_); false when nothing was taken.
bool Parser::quickInstance(Module &m) {
    if (hasPeek_ || opts_.nameCase != NameCase::Preserve || !pendingAttrs_.empty()) return false;
    Cursor c{lex_.position(), lex_.end(), lex_.line()};
    std::string_view instName;
    uint32_t instLine = 0, portLine = 0;
    if (!c.name(instName, instLine) || !c.take('(')) return false;
    // Records are filled where they lie: a record made on the stack and then copied in is read
    // back before its stores are done, which costs more than the rest of a connection.
    quick_.clear();
    do {
        QuickConn &q = quick_.emplace_back();
        c.blanks();
        q.line = c.line;
        if (!c.take('.') || !c.name(q.port, portLine) || !c.take('(') || !c.name(q.net, q.netLine)) return false;
        // The symbol table's slot is fetched while the rest of the statement is read.
        q.netKey = NameTable::keyOf(q.net);
        m.symbolIndex.prefetch(q.netKey);
        if (c.take('[')) {
            if (!c.index(q.index) || !c.take(']')) return false;
            q.select = true;
        }
        if (!c.take(')')) return false;
    } while (c.take(','));
    if (!c.take(')') || !c.take(';')) return false;
    if (m.items.size() + quick_.size() > limits_.maxItems) return false;

    // As parseInstances() and parseConnections() build it.
    const uint32_t cellId = cellIdOf(tok_.text);
    Instance &inst = m.instances.emplace_back();
    inst.cellId = cellId;
    inst.propBegin = static_cast<uint32_t>(m.props.size());
    inst.name = instName;
    inst.line = instLine;
    inst.connBegin = static_cast<uint32_t>(m.conns.size());
    inst.connCount = static_cast<uint32_t>(quick_.size());
    for (const QuickConn &q : quick_) {
        Conn &conn = m.conns.emplace_back();
        conn.line = q.line;
        conn.port = m.portNameIndex.insert(q.port, static_cast<uint32_t>(m.portNames.size()));
        if (conn.port == m.portNames.size()) m.portNames.push_back(q.port);
        conn.itemBegin = static_cast<uint32_t>(m.items.size());
        conn.itemCount = 1;
        const uint32_t sym = intern(m, q.net, q.netKey, q.netLine);
        Item &item = m.items.emplace_back();
        item.sym = sym;
        if (q.select) {
            item.kind = Item::Select;
            item.hi = item.lo = q.index;
        }
    }
    lex_.resume(c.p, c.line);
    advance();
    return true;
}

// The rest of a net declaration whose first name is in tok_, when it is a list of plain names:
//     , NAME , NAME ... ;
// Done or Failed as parseNetDecl() would end; NotTaken when it is anything else.
Parser::Quick Parser::quickNetNames(Module &m, const NetShape &shape) {
    if (hasPeek_ || opts_.nameCase != NameCase::Preserve) return Quick::NotTaken;
    Cursor c{lex_.position(), lex_.end(), lex_.line()};
    quickNames_.clear();
    while (c.take(',')) {
        QuickName &n = quickNames_.emplace_back();
        if (!c.name(n.text, n.line)) return Quick::NotTaken;
    }
    if (!c.take(';')) return Quick::NotTaken;
    if (!declareNet(m, tok_.text, tok_.line, shape)) return Quick::Failed;
    for (const QuickName &n : quickNames_) {
        if (!declareNet(m, n.text, n.line, shape)) return Quick::Failed;
    }
    lex_.resume(c.p, c.line);
    advance();
    return Quick::Done;
}

} // namespace nyxvc
