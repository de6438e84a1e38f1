// Private declarations of the expression language: tokens, parse trees, the scanner and parser,
// the evaluation engine and the seams to the heaps and the status package. Only src/expr
// includes this file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "expr/expr.h"
#include "utils/heap.h"

// ------------------------------------------------------------------------------------------
// Operation codes. The first block keeps the order in which the operators are named in
// messages; the rest are the nodes that carry no message name of their own.
enum nyxExprOp : uint8_t {
    OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_MOD, OP_NEG, OP_GE, OP_GT, OP_LT, OP_LE, OP_EQ, OP_NE,
    OP_AND, OP_OR, OP_NOT,
    F_ABS, F_ACOS, F_ASIN, F_ATAN, F_ATAN2, F_CEIL, F_COS, F_COSH, F_COT, F_CSC, F_DEG, F_EXP,
    F_FLOOR, F_LOG, F_LOG10, F_POW, F_RAD, F_ROUND, F_SEC, F_SIN, F_SINH, F_SQRT, F_TAN, F_TANH,
    F_TRUNCATE, F_LENGTH,
    F_E, F_F, F_G, F_S, F_FORMAT, F_STRCAT, F_STRING_LOCATE,
    OP_COND, OP_INDEX, OP_RANGE,
    X_ANDR, X_ORR, X_JUMP, X_STRCHK,
    L_INT, L_REAL, L_STRING, L_NAME, L_BOOL, L_VOID, L_TEXT, L_OVERFLOW,
    OP_COUNT
};

// Name of an operation in messages ("+", "mod", "unary minus", "sqrt", ...).
const char *nyxExprOpName(uint8_t op);

// ------------------------------------------------------------------------------------------
// Tokens.
enum nyxExprTok : uint8_t {
    T_END, T_INT, T_REAL, T_STRING, T_NAME,
    T_PLUS, T_MINUS, T_STAR, T_SLASH, T_PERCENT,
    T_EQ, T_NE, T_GE, T_LE, T_GT, T_LT, T_AND, T_OR, T_NOT,
    T_QUEST, T_COLON, T_COMMA, T_LPAREN, T_RPAREN, T_LBRACK, T_RBRACK,
    T_FUNC1,     // one-argument function keyword; op holds the function
    T_FUNC2,     // atan2, pow
    T_FUNCLIST,  // $e $f $g $s $format $strcat
    T_LOCATE,    // $string_locate: accepted nowhere
    T_CONST,     // pi two_pi true false void left right space zero; op and values hold the value
};

struct nyxExprToken {
    nyxExprTok tok = T_END;
    uint8_t op = 0;       // function or literal operation
    int32_t ival = 0;
    double rval = 0.0;
    uint32_t off = 0;     // string or name: offset of its NUL-terminated text in the pool
    uint32_t len = 0;
};

// Splits a text into tokens. Decoded strings and names go to `pool`, each followed by a NUL.
// Stray characters are skipped and mark the text as syntactically wrong; a string that is not
// closed on its line takes the rest of the line and marks the text as unterminated.
struct nyxExprScan {
    std::vector<nyxExprToken> tokens;
    std::string pool;
    bool syntaxError = false;
    bool unterminated = false;
};
void nyxExprScanText(std::string_view text, nyxExprScan &out);

// ------------------------------------------------------------------------------------------
// Parse trees, laid out as code: the nodes of a tree in postfix order, so that evaluation is one
// loop over the nodes with a stack of values and no recursion. Each node pops its operands and
// pushes its result:
//   leaves            L_INT (ival, rval), L_REAL (rval, ival truncated), L_STRING and L_NAME
//                     (off, len into the pool), L_BOOL (ival), L_VOID, L_TEXT (the whole text),
//                     L_OVERFLOW (a text too large for the parser's stacks): push one value;
//   operators         binary ones and atan2/pow pop two, unary ones and one-argument functions
//                     one, OP_INDEX two (string, position), OP_RANGE three (string, from, to),
//                     list functions nkids;
//   control           a && b is [a] OP_AND [b] X_ANDR: OP_AND pops a, and when a decides it
//                     pushes the result and jumps to `target` (the node after X_ANDR); X_ANDR
//                     turns b into a boolean in place. || likewise with OP_OR and X_ORR.
//                     c ? a : b is [c] OP_COND [a] X_JUMP [b]: OP_COND pops c and jumps to its
//                     target (the start of b) when c is false; X_JUMP jumps past b.
//                     X_STRCHK follows each argument of $strcat and checks that it has a text.
// Invariant: running the nodes from 0 to nodeCount leaves exactly one value, and the stack never
// holds more than maxStack values.
struct nyxExprNode {
    uint8_t op = L_VOID;
    uint32_t nkids = 0;   // operands of a function node
    int32_t target = -1;  // OP_AND, OP_OR, OP_COND, X_JUMP: index of the node to go on at
    int32_t ival = 0;
    uint32_t off = 0;
    uint32_t len = 0;
    double rval = 0.0;
};

// A parsed text, stored as one block on the tree heap: this header, the nodes, the pool and the
// text itself. `parseErr` is 0, 31009 (the tree is a single L_TEXT or L_OVERFLOW node) or 31010.
struct nyxExprTree {
    const nyxExprNode *nodes;
    const char *pool;
    const char *text;
    uint32_t textLen;
    uint32_t nodeCount;
    uint32_t maxStack;
    uint32_t blockSize;
    cfidrErrorT parseErr;
};

// Most nodes a tree may have, and most entries the parser's stack of pending operators and the
// evaluator's stack of values (over all nested evaluations) may hold. A text that needs more is
// a stack overflow, not a crash: the parser fails with 31009, the evaluator with 31012.
constexpr uint32_t kExprMaxNodes = 1000000;

// Longest text that is parsed; a longer one is unparsable (its value is the text itself).
constexpr size_t kExprMaxText = 16u << 20;

// Parses the tokens into nodes. Returns 0, 31009 or 31010 (the latter two leave `nodes` empty);
// `overflow` tells a 31009 that ran out of stack from a text that does not follow the grammar.
struct nyxExprParsed {
    std::vector<nyxExprNode> nodes;
    std::string pool;
    uint32_t maxStack = 0;
    bool overflow = false;
};
cfidrErrorT nyxExprParseText(std::string_view text, nyxExprParsed &out);

// ------------------------------------------------------------------------------------------
// The heaps of the expression manager. Blocks are header-less: the caller states the size again
// when freeing. After the page manager quits the blocks are gone: the manager may then only be
// destroyed, which frees nothing block by block.
class nyxExprHeap {
public:
    nyxExprHeap(const char *name, long chunkBytes);
    ~nyxExprHeap();
    nyxExprHeap(const nyxExprHeap &) = delete;
    nyxExprHeap &operator=(const nyxExprHeap &) = delete;
    void *allocBlock(size_t bytes);          // null when memory is short
    void freeBlock(void *p, size_t bytes);
    const char *name() const { return d_heap.name(); }
    long chunkBytes() const { return d_heap.chunkSize(); }

private:
    Hx_genheap d_heap;
};

// Bump allocator over chunks of the string heap, newest chunk first. Invariant for every chunk:
// sizeof(Chunk) <= used <= size. reset() releases every chunk but the newest and empties it.
class nyxExprStrings {
public:
    explicit nyxExprStrings(nyxExprHeap &heap) : d_heap(heap) {}
    ~nyxExprStrings();
    // Room for `len` characters plus a NUL; null when memory is short.
    char *alloc(size_t len);
    // Copies len bytes and a NUL.
    const char *copy(const char *s, size_t len);
    void reset();

private:
    struct Chunk {
        Chunk *prev;
        size_t size;
        size_t used;
    };
    nyxExprHeap &d_heap;
    Chunk *d_cur = nullptr;
};

// Longest string an evaluation may produce.
constexpr size_t kExprMaxString = 1u << 20;

// Records a status for an error of the evaluator in the calling thread's status context: 31007
// and 31011 name the operation and the kind expected, 31009 is a stack overflow (no names).
void nyxExprReport(cfidrErrorT code, const char *opName, const char *expected);

// ------------------------------------------------------------------------------------------
// The evaluation engine behind nyxExprMgr.
class nyxExprEngine {
public:
    nyxExprEngine();
    ~nyxExprEngine();

    const nyxExprTree *parse(std::string_view text, cfidrErrorT *err);
    nyxExprValue evaluate(const char *propName, const char *text, nyxExprLookup *lookup,
                          nyxExprCompilerContext *cctx, cfidrErrorT *err);
    void clearCache();
    size_t cacheSize() const { return d_cache.size(); }

    // Runs the nodes of a tree (eval.cpp) on the value stack `stack`, which holds room for
    // t.maxStack values, and stores the result in `out`.
    cfidrErrorT run(const nyxExprTree &t, nyxExprValue *stack, nyxExprValue &out);
    // The operators that take their operands from the stack: args[0..n) for a node of n operands.
    // `out` is not one of the operands.
    cfidrErrorT evalIndex(const nyxExprNode &n, const nyxExprValue *args, nyxExprValue &out);
    cfidrErrorT evalFunction(const nyxExprNode &n, const nyxExprValue *args, nyxExprValue &out);
    cfidrErrorT evalFormat(const nyxExprNode &n, const nyxExprValue *args, nyxExprValue &out);

    // Helpers shared by the operators and functions.
    cfidrErrorT makeString(const char *s, size_t len, nyxExprValue &out);
    // The text of a string, or of a number (integers "%d", reals "%.15g"); false otherwise.
    bool textOf(const nyxExprValue &v, std::string_view &text, char *buf, size_t bufSize);
    // Fails with 31007 and a status naming the operation and the expected kind.
    cfidrErrorT wrongType(uint8_t op, const char *expected);

    nyxExprStrings &strings() { return d_strings; }
    nyxExprCompilerContext *compilerContext() const { return d_cctx; }

private:
    struct Guard {
        const char *name;
        const void *scope;
    };
    const nyxExprTree *storeTree(std::string_view text, const nyxExprParsed &p, cfidrErrorT perr);
    cfidrErrorT lookupName(const char *name, nyxExprValue &out);
    nyxExprValue evaluateTop(const char *propName, const char *text, nyxExprLookup *lookup,
                             nyxExprCompilerContext *cctx, cfidrErrorT *err);

    nyxExprHeap d_treeHeap;
    nyxExprHeap d_stringHeap;
    nyxExprStrings d_strings;
    std::unordered_map<std::string_view, nyxExprTree *> d_cache;
    const nyxExprTree *d_last = nullptr;  // the tree found last: repeated texts skip the hash
    std::vector<Guard> d_guard;
    nyxExprLookup *d_lookup = nullptr;
    nyxExprCompilerContext *d_cctx = nullptr;
    // The value stack of the outermost evaluation, kept from one evaluation to the next; a nested
    // one (through a lookup or a hook) takes a stack of its own, so that no running evaluation's
    // values move. d_stackUsed counts the entries of all running evaluations together.
    std::vector<nyxExprValue> d_stack;
    size_t d_stackUsed = 0;
    int d_depth = 0;  // evaluations in progress (nested through lookups)
};

// String to number conversion: true when the whole text (blanks around it allowed) reads as a
// number; the value then gains kReal (integral when whole) and keeps its text.
bool nyxExprConvertString(nyxExprValue &v);
inline bool nyxExprConvert(nyxExprValue &v) {
    if (v.kind == nyxExprInt || v.kind == nyxExprReal) return true;
    return nyxExprConvertString(v);
}

// Truncates a real to 32 bits, saturating, 0 for NaN.
int32_t nyxExprTruncate(double r);
