// The session's expression manager: created in the global heap when the library starts,
// destroyed when it is released (before the heaps go).
#include <new>

#include "expr/exprInt.h"
#include "utils/nyx.h"

namespace {
nyxExprMgr *g_sessionMgr = nullptr;
} // namespace

void nyxExprStartSession() {
    Hx_genheap *heap = nyx::globalNYXHeap;
    void *mem = heap != nullptr ? heap->allocate(sizeof(nyxExprMgr)) : nullptr;
    if (mem == nullptr) {
        g_sessionMgr = nyxExprMgr::create();
        return;
    }
    try {
        g_sessionMgr = new (mem) nyxExprMgr;
    } catch (...) {
        heap->deallocate(mem);
        g_sessionMgr = nullptr;
    }
}

void nyxExprEndSession() {
    nyxExprMgr *mgr = g_sessionMgr;
    g_sessionMgr = nullptr;
    if (mgr == nullptr) return;
    Hx_genheap *heap = nyx::globalNYXHeap;
    if (heap != nullptr && Hx_baseheap::find_heap(mgr) == heap) {
        mgr->~nyxExprMgr();
        heap->deallocate(mgr);
    } else {
        nyxExprMgr::destroy(mgr);
    }
}

nyxExprMgr *nyxExprSessionMgr() { return g_sessionMgr; }
