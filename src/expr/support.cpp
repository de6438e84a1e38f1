// The expression manager's seams to the rest of the library: the heaps its trees and strings
// live in, the string arena of an evaluation, and the reports to the status package.
#include <cstdlib>
#include <cstring>
#include <new>

#include "expr/exprInt.h"
#include "status/status.h"

// ------------------------------------------------------------------------------------------
// Heaps: each is a general heap of the page manager, so the expression manager's memory is
// accounted to "Eval Ptree Heap" and "Eval String Heap".
nyxExprHeap::nyxExprHeap(const char *name, long chunkBytes) : d_heap(name, chunkBytes) {}

nyxExprHeap::~nyxExprHeap() = default;

void *nyxExprHeap::allocBlock(size_t bytes) { return d_heap.allocBlock(bytes == 0 ? 1 : bytes); }

void nyxExprHeap::freeBlock(void *p, size_t bytes) { d_heap.freeBlock(p, bytes == 0 ? 1 : bytes); }

// ------------------------------------------------------------------------------------------
// String arena. Chunks are at least the heap's chunk size; a larger request gets a chunk of its
// own. reset() keeps the newest chunk, so a steady workload stops allocating.
// The chunks are not visited: the string heap gives all its pages back when it is destroyed
// (and may have lost them already when the page manager quit).
nyxExprStrings::~nyxExprStrings() { d_cur = nullptr; }

char *nyxExprStrings::alloc(size_t len) {
    size_t need = len + 1;
    if (d_cur == nullptr || d_cur->size - d_cur->used < need) {
        size_t size = sizeof(Chunk) + need;
        size_t chunk = static_cast<size_t>(d_heap.chunkBytes());
        if (size < chunk) size = chunk;
        void *mem = d_heap.allocBlock(size);
        if (mem == nullptr) return nullptr;
        Chunk *c = static_cast<Chunk *>(mem);
        c->prev = d_cur;
        c->size = size;
        c->used = sizeof(Chunk);
        d_cur = c;
    }
    char *p = reinterpret_cast<char *>(d_cur) + d_cur->used;
    d_cur->used += need;
    p[len] = '\0';
    return p;
}

const char *nyxExprStrings::copy(const char *s, size_t len) {
    char *p = alloc(len);
    if (p != nullptr && len != 0) std::memcpy(p, s, len);
    return p;
}

void nyxExprStrings::reset() {
    if (d_cur == nullptr) return;
    while (d_cur->prev != nullptr) {
        Chunk *prev = d_cur->prev;
        d_heap.freeBlock(d_cur, d_cur->size);
        d_cur = prev;
    }
    d_cur->used = sizeof(Chunk);
}

// ------------------------------------------------------------------------------------------
// Status reports: type errors and divisions by zero are recorded in the calling thread's
// status context, naming the operator and the kind it expected; a text that overflowed the
// parser's stacks is recorded as "yacc stack overflow".
namespace {

const char kPackage[] = "nyxexpr";

// Statuses of this package kept at the top of the context: when a run of twice this many has
// gathered there, the older half of the run is dropped. Statuses of other packages are never
// touched, so the context holds at most 2 * kKeptReports statuses of ours above each of theirs.
constexpr int kKeptReports = 64;

void dropOldReports(zilerrContextT ctx) {
    int count = zilerrGetCount(ctx);
    if (count < 2 * kKeptReports) return;
    int run = 0;
    while (run < 2 * kKeptReports) {
        const char *package = zilerrGetPackage(ctx, count - 1 - run);
        if (package == nullptr || std::strcmp(package, kPackage) != 0) return;
        ++run;
    }
    nyxStatusRemove(ctx, count - run, kKeptReports);
}

} // namespace

void nyxExprReport(cfidrErrorT code, const char *opName, const char *expected) {
    zilerrContextT ctx = zilerrContextForThread();
    if (ctx == nullptr) return;
    dropOldReports(ctx);
    if (code == nyxdwErrDivideByZero) {
        zilerrAddStatus(ctx, code, "Divide by zero in \"%s\".", kPackage, zilerrError, 0, opName);
    } else if (code == nyxdwErrSyntax) {
        zilerrAddStatus(ctx, code, "yacc stack overflow", kPackage, zilerrError, 0);
    } else {
        zilerrAddStatus(ctx, code,
                        "Expression function has argument of the wrong type: \"%s\" expects %s.",
                        kPackage, zilerrError, 0, opName, expected);
    }
}

// ------------------------------------------------------------------------------------------
void nyxExprCompilerContext::propertyMessage(const char *) {}
void nyxExprCompilerContext::formatError(const char *) {}

const char *nyxExprErrorText(cfidrErrorT code) {
    static const char *const kTexts[] = {
        "Expression function is missing arguments.",
        "Expression function has argument of the wrong type.",
        "String not found.",
        "Expression syntax error.",
        "Expression string not terminated.",
        "Divide by zero.",
        "Error during evaluation.",
        "Recursive expressions detected.",
        "Parameter value not found.",
    };
    if (code < nyxdwErrMissingArgs || code > nyxdwErrParamNotFound) return nullptr;
    return kTexts[code - nyxdwErrMissingArgs];
}
