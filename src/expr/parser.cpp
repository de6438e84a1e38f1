// Recursive-descent parser of the expression language. One function per precedence level, from
// the conditional down to the primaries; the depth of recursion and the height of the tree are
// both capped so that no text can exhaust the stack of the parser or of the evaluator.
#include <algorithm>

#include "expr/exprInt.h"

namespace {

class Parser {
public:
    Parser(const nyxExprScan &scan, nyxExprParsed &out) : d_scan(scan), d_out(out) {}

    // Parses the whole token list; false when the text does not follow the grammar.
    bool run() {
        int32_t root = expression();
        if (d_failed || peek() != T_END) return false;
        d_out.root = root;
        return true;
    }

private:
    nyxExprTok peek() const { return d_scan.tokens[d_pos].tok; }
    // The end token is never passed, so peek() and take() stay inside the token list.
    const nyxExprToken &take() {
        const nyxExprToken &t = d_scan.tokens[d_pos];
        if (t.tok != T_END) ++d_pos;
        return t;
    }
    bool accept(nyxExprTok tok) {
        if (peek() != tok) return false;
        ++d_pos;
        return true;
    }
    int32_t fail() {
        d_failed = true;
        return -1;
    }
    bool expect(nyxExprTok tok) {
        if (accept(tok)) return true;
        d_failed = true;
        return false;
    }

    // Makes a node over the children kids[0..n); -1 when the tree would grow too high.
    int32_t make(uint8_t op, std::initializer_list<int32_t> kids) {
        nyxExprNode n;
        n.op = op;
        int32_t prev = -1;
        uint16_t height = 0;
        for (int32_t k : kids) {
            if (prev < 0) n.first = k;
            else d_out.nodes[prev].next = k;
            prev = k;
            height = std::max(height, d_out.nodes[k].height);
            ++n.nkids;
        }
        if (height >= kExprMaxDepth) return fail();
        n.height = static_cast<uint16_t>(height + 1);
        d_out.nodes.push_back(n);
        return static_cast<int32_t>(d_out.nodes.size() - 1);
    }

    int32_t leaf(const nyxExprToken &t, uint8_t op) {
        nyxExprNode n;
        n.op = op;
        n.ival = t.ival;
        n.rval = t.rval;
        if (op == L_STRING || op == L_NAME) {
            n.off = static_cast<uint32_t>(d_out.pool.size());
            n.len = t.len;
            d_out.pool.append(d_scan.pool, t.off, t.len);
            d_out.pool.push_back('\0');
        }
        d_out.nodes.push_back(n);
        return static_cast<int32_t>(d_out.nodes.size() - 1);
    }

    int32_t expression() { return conditional(); }

    int32_t conditional() {
        if (++d_depth > kExprMaxDepth) return fail();
        int32_t c = orExpr();
        if (!d_failed && accept(T_QUEST)) {
            int32_t a = expression();
            if (d_failed || !expect(T_COLON)) return -1;
            int32_t b = conditional();
            if (d_failed) return -1;
            c = make(OP_COND, {c, a, b});
        }
        --d_depth;
        return d_failed ? -1 : c;
    }

    int32_t orExpr() {
        int32_t l = andExpr();
        while (!d_failed && accept(T_OR)) {
            int32_t r = andExpr();
            if (d_failed) return -1;
            l = make(OP_OR, {l, r});
        }
        return l;
    }

    int32_t andExpr() {
        int32_t l = comparison();
        while (!d_failed && accept(T_AND)) {
            int32_t r = comparison();
            if (d_failed) return -1;
            l = make(OP_AND, {l, r});
        }
        return l;
    }

    // A single comparison: a second comparison operator after it is left for the caller,
    // which cannot accept it, so comparisons do not chain.
    int32_t comparison() {
        int32_t l = sum();
        if (d_failed) return -1;
        uint8_t op;
        switch (peek()) {
        case T_EQ: op = OP_EQ; break;
        case T_NE: op = OP_NE; break;
        case T_LT: op = OP_LT; break;
        case T_LE: op = OP_LE; break;
        case T_GT: op = OP_GT; break;
        case T_GE: op = OP_GE; break;
        default: return l;
        }
        ++d_pos;
        int32_t r = sum();
        if (d_failed) return -1;
        return make(op, {l, r});
    }

    int32_t sum() {
        int32_t l = product();
        while (!d_failed && (peek() == T_PLUS || peek() == T_MINUS)) {
            uint8_t op = take().tok == T_PLUS ? OP_ADD : OP_SUB;
            int32_t r = product();
            if (d_failed) return -1;
            l = make(op, {l, r});
        }
        return l;
    }

    int32_t product() {
        int32_t l = unary();
        while (!d_failed && (peek() == T_STAR || peek() == T_SLASH || peek() == T_PERCENT)) {
            nyxExprTok tok = take().tok;
            uint8_t op = tok == T_STAR ? OP_MUL : tok == T_SLASH ? OP_DIV : OP_MOD;
            int32_t r = unary();
            if (d_failed) return -1;
            l = make(op, {l, r});
        }
        return l;
    }

    int32_t unary() {
        if (peek() == T_MINUS || peek() == T_NOT) {
            uint8_t op = take().tok == T_MINUS ? OP_NEG : OP_NOT;
            if (++d_depth > kExprMaxDepth) return fail();
            int32_t u = unary();
            --d_depth;
            if (d_failed) return -1;
            return make(op, {u});
        }
        return postfix();
    }

    int32_t postfix() {
        int32_t p = primary();
        while (!d_failed && accept(T_LBRACK)) {
            int32_t i = expression();
            if (d_failed) return -1;
            if (accept(T_COLON)) {
                int32_t j = expression();
                if (d_failed || !expect(T_RBRACK)) return -1;
                p = make(OP_RANGE, {p, i, j});
            } else {
                if (!expect(T_RBRACK)) return -1;
                p = make(OP_INDEX, {p, i});
            }
        }
        return p;
    }

    int32_t primary() {
        const nyxExprToken &t = take();
        switch (t.tok) {
        case T_INT: return leaf(t, L_INT);
        case T_REAL: return leaf(t, L_REAL);
        case T_STRING: return leaf(t, L_STRING);
        case T_CONST: return leaf(t, t.op);
        case T_NAME:
            if (peek() == T_LPAREN) return fail();  // There are no user functions.
            return leaf(t, L_NAME);
        case T_LPAREN: {
            int32_t e = expression();
            if (d_failed || !expect(T_RPAREN)) return -1;
            return e;
        }
        case T_FUNC1: {
            if (!expect(T_LPAREN)) return -1;
            int32_t a = expression();
            if (d_failed || !expect(T_RPAREN)) return -1;
            return make(t.op, {a});
        }
        case T_FUNC2: {
            if (!expect(T_LPAREN)) return -1;
            int32_t a = expression();
            if (d_failed || !expect(T_COMMA)) return -1;
            int32_t b = expression();
            if (d_failed || !expect(T_RPAREN)) return -1;
            return make(t.op, {a, b});
        }
        case T_FUNCLIST: return argumentList(t.op);
        default: return fail();
        }
    }

    // "(" expression { "," expression } ")": the arguments become the children of the node.
    int32_t argumentList(uint8_t op) {
        if (!expect(T_LPAREN)) return -1;
        std::vector<int32_t> args;
        do {
            int32_t a = expression();
            if (d_failed) return -1;
            args.push_back(a);
        } while (accept(T_COMMA));
        if (!expect(T_RPAREN) || args.size() > 255) return fail();
        nyxExprNode n;
        n.op = op;
        uint16_t height = 0;
        for (size_t k = 0; k < args.size(); ++k) {
            if (k + 1 < args.size()) d_out.nodes[args[k]].next = args[k + 1];
            height = std::max(height, d_out.nodes[args[k]].height);
        }
        if (height >= kExprMaxDepth) return fail();
        n.first = args[0];
        n.nkids = static_cast<uint8_t>(args.size());
        n.height = static_cast<uint16_t>(height + 1);
        d_out.nodes.push_back(n);
        return static_cast<int32_t>(d_out.nodes.size() - 1);
    }

    const nyxExprScan &d_scan;
    nyxExprParsed &d_out;
    size_t d_pos = 0;
    int d_depth = 0;
    bool d_failed = false;
};

} // namespace

cfidrErrorT nyxExprParseText(std::string_view text, nyxExprParsed &out) {
    out.nodes.clear();
    out.pool.clear();
    out.root = -1;
    // Offsets into the text are 32-bit; no property value comes near this size.
    if (text.size() > kExprMaxText) return nyxExprErrSyntax;
    nyxExprScan scan;
    nyxExprScanText(text, scan);
    if (scan.unterminated) return nyxExprErrUnterminated;
    out.nodes.reserve(scan.tokens.size());
    out.pool.reserve(scan.pool.size());
    Parser parser(scan, out);
    bool ok = parser.run();
    if (!ok || scan.syntaxError) {
        out.nodes.clear();
        out.pool.clear();
        out.root = -1;
        return nyxExprErrSyntax;
    }
    return 0;
}
