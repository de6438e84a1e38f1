// Parser of the expression language: operator precedence with explicit stacks, no recursion.
// Operands are emitted as they are read and operators when their right side is complete, so the
// nodes come out in postfix order, ready for the evaluator's loop. Pending operators and open
// brackets wait on a stack; both it and the node list are bounded (kExprMaxNodes), so any text
// either parses, does not follow the grammar, or overflows the stacks.
//
// Precedence, lowest first: the else part of ?: (groups to the right), ||, &&, the comparisons
// (which do not chain), + -, * / %, prefix - and !. Postfix [i] and [i:j] apply to the operand
// just read, before any prefix operator waiting for it.
#include <algorithm>

#include "expr/exprInt.h"

namespace {

// What waits on the stack: an operator for its right operand, or an open bracket for its close.
enum Pending : uint8_t {
    P_BINARY,  // op: one of the arithmetic or comparison operators
    P_PREFIX,  // op: OP_NEG or OP_NOT
    P_LOGIC,   // op: OP_AND or OP_OR; at: its node
    P_ELSE,    // the else part of ?:; at: the X_JUMP node
    P_QUEST,   // "?" waiting for ":"; at: the OP_COND node
    P_PAREN,   // "("
    P_CALL,    // "f(": op the function, count the arguments so far, tok its arity class
    P_INDEX,   // "[" waiting for ":" or "]"
    P_RANGE,   // "[i:" waiting for "]"
};

struct Entry {
    Pending kind;
    uint8_t op;
    uint8_t prec;  // 0 for brackets, which stop every reduction
    nyxExprTok tok;
    uint32_t count;
    int32_t at;
};

Entry entry(Pending kind, uint8_t op = 0, uint8_t prec = 0, nyxExprTok tok = T_END,
            uint32_t count = 0, int32_t at = -1) {
    return Entry{kind, op, prec, tok, count, at};
}

// The stack of pending entries: the first kInline in place (most texts need no more, and then
// parsing allocates nothing for it), the rest in a vector that doubles.
class PendingStack {
public:
    PendingStack() = default;
    PendingStack(const PendingStack &) = delete;
    PendingStack &operator=(const PendingStack &) = delete;
    bool empty() const { return d_size == 0; }
    size_t size() const { return d_size; }
    Entry &back() { return d_data[d_size - 1]; }
    void pop_back() { --d_size; }
    void push_back(const Entry &e) {
        if (d_size == d_capacity) grow();
        d_data[d_size++] = e;
    }

private:
    static constexpr size_t kInline = 32;
    void grow() {
        std::vector<Entry> bigger(d_capacity * 2);
        std::copy(d_data, d_data + d_size, bigger.begin());
        d_heap.swap(bigger);
        d_data = d_heap.data();
        d_capacity *= 2;
    }
    Entry d_inline[kInline];
    std::vector<Entry> d_heap;
    Entry *d_data = d_inline;
    size_t d_size = 0;
    size_t d_capacity = kInline;
};

constexpr uint8_t kPrecElse = 1, kPrecOr = 2, kPrecAnd = 3, kPrecCompare = 4, kPrecSum = 5,
                  kPrecProduct = 6, kPrecPrefix = 7;

class Parser {
public:
    Parser(const nyxExprScan &scan, nyxExprParsed &out) : d_scan(scan), d_out(out) {}

    // Parses the whole token list; false when the text does not follow the grammar or
    // overflows the stacks (d_out.overflow).
    bool run() {
        const std::vector<nyxExprToken> &toks = d_scan.tokens;
        size_t pos = 0;
        bool operand = true;  // an operand is expected next
        for (;;) {
            const nyxExprToken &t = toks[pos++];
            const nyxExprToken &next = t.tok == T_END ? t : toks[pos];
            bool ok = operand ? readOperand(t, next, pos, operand) : readOperator(t, operand);
            if (!ok || d_out.overflow) return false;
            if (t.tok == T_END) return true;
        }
    }

private:
    bool overflow() {
        d_out.overflow = true;
        return false;
    }

    // Appends a node that pops `pops` values and pushes `pushes`.
    int32_t emit(uint8_t op, uint32_t pops, uint32_t pushes) {
        if (d_out.nodes.size() >= kExprMaxNodes) {
            overflow();
            return -1;
        }
        nyxExprNode n;
        n.op = op;
        d_out.nodes.push_back(n);
        d_height = d_height - pops + pushes;
        if (d_height > d_out.maxStack) d_out.maxStack = d_height;
        return static_cast<int32_t>(d_out.nodes.size() - 1);
    }

    bool push(Entry e) {
        if (d_stack.size() >= kExprMaxNodes) return overflow();
        d_stack.push_back(e);
        return true;
    }

    bool leaf(const nyxExprToken &t, uint8_t op) {
        int32_t k = emit(op, 0, 1);
        if (k < 0) return false;
        nyxExprNode &n = d_out.nodes[k];
        n.ival = t.ival;
        n.rval = t.rval;
        if (op == L_STRING || op == L_NAME) {
            n.off = static_cast<uint32_t>(d_out.pool.size());
            n.len = t.len;
            d_out.pool.append(d_scan.pool, t.off, t.len);
            d_out.pool.push_back('\0');
        }
        return true;
    }

    // A token where an operand must start. `next` is the token after it.
    bool readOperand(const nyxExprToken &t, const nyxExprToken &next, size_t &pos, bool &operand) {
        switch (t.tok) {
        case T_INT: operand = false; return leaf(t, L_INT);
        case T_REAL: operand = false; return leaf(t, L_REAL);
        case T_STRING: operand = false; return leaf(t, L_STRING);
        case T_CONST: operand = false; return leaf(t, t.op);
        case T_NAME:
            if (next.tok == T_LPAREN) return false;  // There are no user functions.
            operand = false;
            return leaf(t, L_NAME);
        case T_MINUS: return push(entry(P_PREFIX, OP_NEG, kPrecPrefix));
        case T_NOT: return push(entry(P_PREFIX, OP_NOT, kPrecPrefix));
        case T_LPAREN: return push(entry(P_PAREN));
        case T_FUNC1: case T_FUNC2: case T_FUNCLIST:
            if (next.tok != T_LPAREN) return false;
            ++pos;
            return push(entry(P_CALL, t.op, 0, t.tok, 1));
        default: return false;
        }
    }

    // A token after a complete operand.
    bool readOperator(const nyxExprToken &t, bool &operand) {
        operand = true;
        switch (t.tok) {
        case T_PLUS: return binary(OP_ADD, kPrecSum);
        case T_MINUS: return binary(OP_SUB, kPrecSum);
        case T_STAR: return binary(OP_MUL, kPrecProduct);
        case T_SLASH: return binary(OP_DIV, kPrecProduct);
        case T_PERCENT: return binary(OP_MOD, kPrecProduct);
        case T_EQ: return binary(OP_EQ, kPrecCompare);
        case T_NE: return binary(OP_NE, kPrecCompare);
        case T_LT: return binary(OP_LT, kPrecCompare);
        case T_LE: return binary(OP_LE, kPrecCompare);
        case T_GT: return binary(OP_GT, kPrecCompare);
        case T_GE: return binary(OP_GE, kPrecCompare);
        case T_AND: return logic(OP_AND, kPrecAnd);
        case T_OR: return logic(OP_OR, kPrecOr);
        case T_QUEST: {
            // The condition is complete; a pending else part stays (?: groups to the right).
            if (!reduce(kPrecOr)) return false;
            int32_t k = emit(OP_COND, 1, 0);
            return k >= 0 && push(entry(P_QUEST, 0, 0, T_END, 0, k));
        }
        case T_LBRACK: return push(entry(P_INDEX));
        case T_COLON: return colon();
        case T_COMMA: return comma();
        case T_RPAREN: operand = false; return closeParen();
        case T_RBRACK: operand = false; return closeBracket();
        case T_END: return reduce(kPrecElse) && d_stack.empty() && d_height == 1;
        default: return false;
        }
    }

    // Emits the pending operators of precedence `prec` or higher, down to the nearest bracket.
    bool reduce(uint8_t prec) {
        while (!d_stack.empty() && d_stack.back().prec >= prec) {
            Entry e = d_stack.back();
            d_stack.pop_back();
            switch (e.kind) {
            case P_BINARY:
                if (emit(e.op, 2, 1) < 0) return false;
                break;
            case P_PREFIX:
                if (emit(e.op, 1, 1) < 0) return false;
                break;
            case P_LOGIC:
                if (emit(e.op == OP_AND ? X_ANDR : X_ORR, 1, 1) < 0) return false;
                d_out.nodes[e.at].target = static_cast<int32_t>(d_out.nodes.size());
                break;
            default:  // P_ELSE
                d_out.nodes[e.at].target = static_cast<int32_t>(d_out.nodes.size());
                break;
            }
        }
        return true;
    }

    bool binary(uint8_t op, uint8_t prec) {
        if (prec == kPrecCompare) {
            // Comparisons do not chain: one still pending for its right operand is an error.
            if (!reduce(kPrecCompare + 1)) return false;
            if (!d_stack.empty() && d_stack.back().prec == kPrecCompare) return false;
        } else if (!reduce(prec)) {
            return false;
        }
        return push(entry(P_BINARY, op, prec));
    }

    // && and ||: the left operand is complete; its test node jumps past the right operand when
    // the left decides.
    bool logic(uint8_t op, uint8_t prec) {
        if (!reduce(prec)) return false;
        int32_t k = emit(op, 1, 0);
        return k >= 0 && push(entry(P_LOGIC, op, prec, T_END, 0, k));
    }

    // ":" closes the middle of the nearest open ?:, or turns the nearest open "[i" into a range.
    bool colon() {
        if (!reduce(kPrecElse) || d_stack.empty()) return false;
        Entry &e = d_stack.back();
        if (e.kind == P_INDEX) {
            e.kind = P_RANGE;
            return true;
        }
        if (e.kind != P_QUEST) return false;
        int32_t cond = e.at;
        int32_t jump = emit(X_JUMP, 0, 0);
        if (jump < 0) return false;
        d_out.nodes[cond].target = jump + 1;
        --d_height;  // the else part starts where the middle started
        e.kind = P_ELSE;
        e.prec = kPrecElse;
        e.at = jump;
        return true;
    }

    bool comma() {
        if (!reduce(kPrecElse) || d_stack.empty()) return false;
        Entry &e = d_stack.back();
        if (e.kind != P_CALL || e.tok == T_FUNC1 || (e.tok == T_FUNC2 && e.count == 2))
            return false;
        if (e.op == F_STRCAT && emit(X_STRCHK, 1, 1) < 0) return false;
        ++d_stack.back().count;
        return true;
    }

    bool closeParen() {
        if (!reduce(kPrecElse) || d_stack.empty()) return false;
        Entry e = d_stack.back();
        d_stack.pop_back();
        if (e.kind == P_PAREN) return true;
        if (e.kind != P_CALL || (e.tok == T_FUNC2 && e.count != 2)) return false;
        if (e.op == F_STRCAT && emit(X_STRCHK, 1, 1) < 0) return false;
        int32_t k = emit(e.op, e.count, 1);
        if (k < 0) return false;
        d_out.nodes[k].nkids = e.count;
        return true;
    }

    bool closeBracket() {
        if (!reduce(kPrecElse) || d_stack.empty()) return false;
        Entry e = d_stack.back();
        d_stack.pop_back();
        if (e.kind == P_INDEX) return emit(OP_INDEX, 2, 1) >= 0;
        if (e.kind == P_RANGE) return emit(OP_RANGE, 3, 1) >= 0;
        return false;
    }

    const nyxExprScan &d_scan;
    nyxExprParsed &d_out;
    PendingStack d_stack;
    uint32_t d_height = 0;  // values on the evaluator's stack after the nodes emitted so far
};

} // namespace

cfidrErrorT nyxExprParseText(std::string_view text, nyxExprParsed &out) {
    out.nodes.clear();
    out.pool.clear();
    out.maxStack = 0;
    out.overflow = false;
    // Offsets into the text are 32-bit; no property value comes near this size.
    if (text.size() > kExprMaxText) return nyxdwErrSyntax;
    nyxExprScan scan;
    nyxExprScanText(text, scan);
    if (scan.unterminated) return nyxdwErrUnterminated;
    out.nodes.reserve(scan.tokens.size());
    out.pool.reserve(scan.pool.size());
    Parser parser(scan, out);
    bool ok = parser.run();
    if (!ok || scan.syntaxError) {
        out.nodes.clear();
        out.pool.clear();
        out.maxStack = 0;
        return nyxdwErrSyntax;
    }
    return 0;
}
