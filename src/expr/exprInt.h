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
    L_INT, L_REAL, L_STRING, L_NAME, L_BOOL, L_VOID, L_TEXT,
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
// Parse trees. Children of a node form a list: `first` is the first child, `next` the next
// sibling, -1 ends. Fixed shapes: binary operators and atan2/pow have two children, unary ones
// one, OP_COND (condition, then, else), OP_INDEX (string, position), OP_RANGE (string, from,
// to), list functions one or more. Leaves: L_INT (ival, rval), L_REAL (rval, ival truncated),
// L_STRING and L_NAME (off, len into the pool), L_BOOL (ival), L_VOID, L_TEXT (the whole text).
struct nyxExprNode {
    uint8_t op = L_VOID;
    uint8_t nkids = 0;
    uint16_t height = 1;
    int32_t first = -1;
    int32_t next = -1;
    int32_t ival = 0;
    uint32_t off = 0;
    uint32_t len = 0;
    double rval = 0.0;
};

// A parsed text, stored as one block on the tree heap: this header, the nodes, the pool and the
// text itself. `parseErr` is 0, 31009 (the tree is a single L_TEXT node) or 31010.
struct nyxExprTree {
    const nyxExprNode *nodes;
    const char *pool;
    const char *text;
    uint32_t textLen;
    uint32_t nodeCount;
    uint32_t blockSize;
    int32_t root;
    cfidrErrorT parseErr;
};

// Deepest nesting a text may have before it counts as unparsable.
constexpr int kExprMaxDepth = 200;

// Longest text that is parsed; a longer one is unparsable (its value is the text itself).
constexpr size_t kExprMaxText = 16u << 20;

// Parses the tokens into nodes. Returns 0, 31009 or 31010 (the latter two leave `nodes` empty).
struct nyxExprParsed {
    std::vector<nyxExprNode> nodes;
    std::string pool;
    int32_t root = -1;
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

// Records a status for an error of the evaluator in the calling thread's status context.
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

    // Evaluation of nodes (eval.cpp, functions.cpp).
    cfidrErrorT eval(const nyxExprTree &t, int32_t idx, nyxExprValue &out);
    // eval() for an operand: numeric literals are taken in place, without a call.
    cfidrErrorT evalKid(const nyxExprTree &t, int32_t idx, nyxExprValue &out) {
        const nyxExprNode &k = t.nodes[idx];
        if (k.op == L_INT) {
            out.setInt(k.ival);
            return 0;
        }
        return eval(t, idx, out);
    }
    cfidrErrorT evalIndex(const nyxExprTree &t, const nyxExprNode &n, nyxExprValue &out);
    cfidrErrorT evalFunction(const nyxExprTree &t, const nyxExprNode &n, nyxExprValue &out);
    cfidrErrorT evalFormat(const nyxExprTree &t, const nyxExprNode &n, nyxExprValue &out);

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
    int d_depth = 0;   // evaluations in progress (nested through lookups)
    int d_frames = 0;  // eval() frames in progress over all of them
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
