// The expression manager: the parse cache, the evaluation entry with its recursion guard, and
// the create/destroy pair that the global state calls.
#include <cstring>
#include <new>
#include <string>

#include "expr/exprInt.h"

namespace {

// Evaluations nested through lookup contexts beyond this depth count as a recursion.
constexpr int kMaxNesting = 100;

// A cache that grows past this many trees is emptied before the next outermost parse, so a
// session fed endless distinct texts keeps bounded memory.
constexpr size_t kMaxCachedTrees = 1u << 16;

} // namespace

nyxExprEngine::nyxExprEngine()
    : d_treeHeap("Eval Ptree Heap", 4096), d_stringHeap("Eval String Heap", 4 * 4096),
      d_strings(d_stringHeap) {}

// The trees are not freed one by one: the tree heap gives all its pages back when it is destroyed,
// and it may have lost them already if the page manager quit first.
nyxExprEngine::~nyxExprEngine() = default;

void nyxExprEngine::clearCache() {
    if (d_depth > 0) return;  // Trees of the running evaluations are in use.
    d_last = nullptr;
    for (auto &entry : d_cache) d_treeHeap.freeBlock(entry.second, entry.second->blockSize);
    d_cache.clear();
}

// Lays a parsed text out as one block: the tree header, the nodes, the pool, the text. A text
// that did not parse becomes a single L_TEXT node (L_OVERFLOW when it overflowed the parser).
const nyxExprTree *nyxExprEngine::storeTree(std::string_view text, const nyxExprParsed &p,
                                            cfidrErrorT perr) {
    nyxExprNode textNode;
    textNode.op = p.overflow ? L_OVERFLOW : L_TEXT;
    const nyxExprNode *nodes = perr == 0 ? p.nodes.data() : &textNode;
    size_t count = perr == 0 ? p.nodes.size() : 1;
    size_t poolSize = perr == 0 ? p.pool.size() : 0;
    size_t head = (sizeof(nyxExprTree) + alignof(nyxExprNode) - 1) / alignof(nyxExprNode) *
                  alignof(nyxExprNode);
    size_t size = head + count * sizeof(nyxExprNode) + poolSize + text.size() + 1;
    if (size > UINT32_MAX) return nullptr;
    char *block = static_cast<char *>(d_treeHeap.allocBlock(size));
    if (block == nullptr) return nullptr;
    nyxExprNode *n = reinterpret_cast<nyxExprNode *>(block + head);
    std::memcpy(static_cast<void *>(n), nodes, count * sizeof(nyxExprNode));
    char *pool = reinterpret_cast<char *>(n + count);
    if (poolSize != 0) std::memcpy(pool, p.pool.data(), poolSize);
    char *copy = pool + poolSize;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    nyxExprTree *t = new (block) nyxExprTree;
    t->nodes = n;
    t->pool = pool;
    t->text = copy;
    t->textLen = static_cast<uint32_t>(text.size());
    t->nodeCount = static_cast<uint32_t>(count);
    t->maxStack = perr == 0 ? p.maxStack : 1;
    t->blockSize = static_cast<uint32_t>(size);
    t->parseErr = perr;
    try {
        d_cache.emplace(std::string_view(copy, text.size()), t);
    } catch (...) {
        d_treeHeap.freeBlock(block, size);
        throw;
    }
    return t;
}

const nyxExprTree *nyxExprEngine::parse(std::string_view text, cfidrErrorT *err) {
    if (d_last != nullptr && d_last->textLen == text.size() &&
        std::memcmp(d_last->text, text.data(), text.size()) == 0) {
        *err = d_last->parseErr;
        return d_last;
    }
    auto it = d_cache.find(text);
    if (it != d_cache.end()) {
        d_last = it->second;
        *err = it->second->parseErr;
        return it->second;
    }
    if (d_depth == 0 && d_cache.size() >= kMaxCachedTrees) clearCache();
    nyxExprParsed parsed;
    cfidrErrorT perr = nyxExprParseText(text, parsed);
    const nyxExprTree *t = storeTree(text, parsed, perr);
    if (t != nullptr) d_last = t;
    *err = t == nullptr ? cfidrErrInternal : perr;
    return t;
}

nyxExprValue nyxExprEngine::evaluate(const char *propName, const char *text, nyxExprLookup *lookup,
                                     nyxExprCompilerContext *cctx, cfidrErrorT *err) {
    cfidrErrorT local = 0;
    if (err == nullptr) err = &local;
    *err = 0;
    try {
        return evaluateTop(propName, text, lookup, cctx, err);
    } catch (const std::bad_alloc &) {
        *err = cfidrErrInternal;
    } catch (...) {
        *err = nyxdwErrEvaluation;
    }
    return nyxExprValue();
}

nyxExprValue nyxExprEngine::evaluateTop(const char *propName, const char *text,
                                        nyxExprLookup *lookup, nyxExprCompilerContext *cctx,
                                        cfidrErrorT *err) {
    if (text == nullptr) text = "";
    if (d_depth == 0) d_strings.reset();
    if (d_depth >= kMaxNesting) {
        *err = nyxdwErrRecursive;
        return nyxExprValue();
    }
    cfidrErrorT perr = 0;
    const nyxExprTree *t = parse(text, &perr);
    if (t == nullptr) {
        *err = perr;
        return nyxExprValue();
    }
    if (perr == nyxdwErrUnterminated) {
        if (cctx != nullptr) {
            std::string msg = std::string("Property ") + (propName != nullptr ? propName : "");
            cctx->propertyMessage(msg.c_str());
        }
        *err = nyxdwErrUnterminated;
        return nyxExprValue();
    }

    // The recursion guard: a property already being evaluated at this scope is not evaluated
    // again.
    const void *scope = lookup != nullptr ? lookup->scope() : nullptr;
    if (propName != nullptr) {
        for (const Guard &g : d_guard) {
            if (g.scope == scope && std::strcmp(g.name, propName) == 0) {
                *err = nyxdwErrRecursive;
                return nyxExprValue();
            }
        }
    }

    // Saves and restores the state of an enclosing evaluation, also when an exception passes.
    struct Enter {
        nyxExprEngine &e;
        nyxExprLookup *lookup;
        nyxExprCompilerContext *cctx;
        bool guarded;
        Enter(nyxExprEngine &eng, nyxExprLookup *l, nyxExprCompilerContext *c, const char *name,
              const void *scope)
            : e(eng), lookup(eng.d_lookup), cctx(eng.d_cctx), guarded(name != nullptr) {
            if (guarded) e.d_guard.push_back(Guard{name, scope});
            e.d_lookup = l;
            e.d_cctx = c;
            ++e.d_depth;
        }
        ~Enter() {
            --e.d_depth;
            e.d_lookup = lookup;
            e.d_cctx = cctx;
            if (guarded) e.d_guard.pop_back();
        }
    } enter(*this, lookup, cctx, propName, scope);

    // The value stack, bounded over all running evaluations together.
    const size_t used = d_stackUsed;
    if (used + t->maxStack > kExprMaxNodes) {
        *err = nyxdwErrEvaluation;
        return nyxExprValue();
    }
    std::vector<nyxExprValue> own;
    std::vector<nyxExprValue> &stack = d_depth == 1 ? d_stack : own;
    if (stack.size() < t->maxStack) stack.resize(t->maxStack);
    struct Reserve {
        size_t &used;
        size_t before;
        ~Reserve() { used = before; }
    } reserve{d_stackUsed, used};
    d_stackUsed = used + t->maxStack;

    nyxExprValue out;
    cfidrErrorT e = run(*t, stack.data(), out);
    if (e != 0) {
        *err = e;
        return nyxExprValue();
    }
    return out;
}

// ------------------------------------------------------------------------------------------
nyxExprMgr::nyxExprMgr() : d_engine(new (std::nothrow) nyxExprEngine) {}

nyxExprMgr::~nyxExprMgr() { delete d_engine; }

nyxExprMgr *nyxExprMgr::create() {
    try {
        nyxExprMgr *mgr = new (std::nothrow) nyxExprMgr;
        if (mgr != nullptr && mgr->d_engine == nullptr) {
            delete mgr;
            mgr = nullptr;
        }
        return mgr;
    } catch (...) {
        return nullptr;
    }
}

void nyxExprMgr::destroy(nyxExprMgr *mgr) { delete mgr; }

nyxExprValue nyxExprMgr::evaluate(const char *propName, const char *text, nyxExprLookup *lookup,
                                  nyxExprCompilerContext *cctx, cfidrErrorT *err) {
    if (d_engine == nullptr) {
        if (err != nullptr) *err = cfidrErrInternal;
        return nyxExprValue();
    }
    return d_engine->evaluate(propName, text, lookup, cctx, err);
}

const nyxExprTree *nyxExprMgr::parse(const char *text, cfidrErrorT *err) {
    cfidrErrorT local = 0;
    if (err == nullptr) err = &local;
    *err = 0;
    if (d_engine == nullptr) {
        *err = cfidrErrInternal;
        return nullptr;
    }
    try {
        return d_engine->parse(text != nullptr ? text : "", err);
    } catch (...) {
        *err = cfidrErrInternal;
        return nullptr;
    }
}

size_t nyxExprMgr::cacheSize() const { return d_engine != nullptr ? d_engine->cacheSize() : 0; }

void nyxExprMgr::clearCache() {
    if (d_engine != nullptr) d_engine->clearCache();
}
