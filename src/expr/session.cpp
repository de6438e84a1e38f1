// The session's expression manager: created in the global heap when the library initialises,
// destroyed when it is released (before the heaps go).
#include <new>

#include "expr/exprInt.h"
#include "utils/nyx.h"

void nyxHookCreateExprManager(nyx &) {
    Hx_genheap *heap = nyx::globalNYXHeap;
    void *mem = heap != nullptr ? heap->allocate(sizeof(nyxExprMgr)) : nullptr;
    if (mem == nullptr) {
        nyx::d_expr_mgr_p = nyxExprMgr::create();
        return;
    }
    try {
        nyx::d_expr_mgr_p = new (mem) nyxExprMgr;
    } catch (...) {
        heap->deallocate(mem);
        nyx::d_expr_mgr_p = nullptr;
    }
}

void nyxHookDestroyExprManager(nyx &) {
    nyxExprMgr *mgr = static_cast<nyxExprMgr *>(nyx::d_expr_mgr_p);
    nyx::d_expr_mgr_p = nullptr;
    if (mgr == nullptr) return;
    Hx_genheap *heap = nyx::globalNYXHeap;
    if (heap != nullptr && Hx_baseheap::find_heap(mgr) == heap) {
        mgr->~nyxExprMgr();
        heap->deallocate(mgr);
    } else {
        nyxExprMgr::destroy(mgr);
    }
}

nyxExprMgr *nyxExprSessionMgr() { return static_cast<nyxExprMgr *>(nyx::d_expr_mgr_p); }
