// Iterator memory, the caches of freed iterators and the global state's own iterators.
#include "utils/iter.h"

#include "utils/nyx.h"

void *nyxIterAllocBlock(size_t bytes) {
    Hx_genheap *heap = nyx::getIterHeap();
    return heap != nullptr ? heap->allocBlock(bytes) : nullptr;
}

void nyxIterFreeBlock(void *p, size_t bytes) {
    if (p != nullptr && nyx::iterHeap != nullptr) nyx::iterHeap->freeBlock(p, bytes);
}

nyxIter *nyxIter::liveHead_ = nullptr;
int nyxIterNoReads = 0;

void nyxIterObjectGone(const void *obj) {
    if (obj == nullptr) return;
    for (nyxIter *it = nyxIter::liveHead(); it != nullptr; it = it->nextLive()) {
        if (it->ended) continue;
        if (it->home == obj || it->anchor == obj) {
            it->ended = true;
        } else if (it->forget != nullptr) {
            it->forget(it, obj);
        }
    }
}

nyxIterCacheBase *nyxIterCacheBase::head_ = nullptr;

nyxIterCacheBase::nyxIterCacheBase() : next_(head_) { head_ = this; }

void nyxIterCacheBase::emptyAll() {
    for (nyxIterCacheBase *c = head_; c != nullptr; c = c->next_) c->empty();
}

namespace {

// The global state's iterators do not recycle: they are made rarely.
nyxIterCache<nyxListIter, 0> g_listIters;

} // namespace

nyxObjRef nyxListIterNext(nyxIter *it, cfidrErrorT *) {
    nyxListIter *li = static_cast<nyxListIter *>(it);
    if (li->index >= li->list->nitems()) return {};
    return nyxObjRef{(*li->list)[li->index++], li->code, 0};
}

void nyxListIterReset(nyxIter *it) { static_cast<nyxListIter *>(it)->index = 0; }

void nyxListIterQuit(nyxIter *it) { g_listIters.release(static_cast<nyxListIter *>(it)); }

constinit const nyxIterOps nyxListIterOps = {nyxListIterNext, nyxListIterReset, nyxListIterQuit};

nyxListIter *nyxMakeListIter(const nyxDynArray *list, int32_t code, const nyxIterOps &ops) {
    return g_listIters.make(ops, list, code);
}
