// The global state: its bare creation and its last release step, the process-wide heaps, the
// registries, the returned-string ring and the expert-mode stack.
#include "utils/nyx.h"

#include <cstring>
#include <new>

nyx *nyx::session = nullptr;
uint32_t nyx::sessionFlags = 0;
uintptr_t nyx::nullIterator = 1;
Hx_genheap *nyx::globalNYXHeap = nullptr;
Hx_genheap *nyx::libCellHeap = nullptr;
Hx_genheap *nyx::iterHeap = nullptr;
Hx_genheap *nyx::propMgrHeap = nullptr;
nyx::ExpertNode *nyx::d_expertStack = nullptr;
uint64_t nyx::d_generation = 0;

namespace {

// Heaps of the global state: name and chunk size in pages.
constexpr long kPage = 4096;

Hx_genheap *makeHeap(Hx_genheap *&slot, const char *name, long pages) {
    if (slot == nullptr) slot = new (std::nothrow) Hx_genheap(name, pages * kPage);
    return slot;
}

} // namespace

Hx_genheap *nyx::getGlobalHeap() {
    if (globalNYXHeap == nullptr && makeHeap(globalNYXHeap, "NYX Global Object Heap", 4)) {
        nyxSetDefaultGlobalHeap(globalNYXHeap);
    }
    return globalNYXHeap;
}

Hx_genheap *nyx::getLibCellHeap() { return makeHeap(libCellHeap, "NYX LibCell Object Heap", 8); }

Hx_genheap *nyx::getIterHeap() { return makeHeap(iterHeap, "NYX Iterator Object Heap", 1); }

Hx_genheap *nyx::getPropMgrHeap() {
    if (propMgrHeap == nullptr && makeHeap(propMgrHeap, "NYX PropMgr Object Heap", 1)) {
        nyxSetDefaultPropMgrHeap(propMgrHeap);
    }
    return propMgrHeap;
}

// The heap system, then the global heap; lists kept for one session start empty.
nyx::nyx() {
    Hx_topheap::init();
    session = this;
    ++d_generation;
    getGlobalHeap();
    d_expertStack = nullptr;
}

// Nothing is destroyed one by one: the heaps go at once with everything in them.
nyx::~nyx() {
    // The registries and ring strings live in the global heap and go with it.
    d_oids = nullptr;
    d_iters = nullptr;
    d_ringCount = 0;
    // A release step may have freed iterators into the caches again; none may outlive its heap.
    nyxIterCacheBase::emptyAll();
    // Iterators never quit go with their heap: none stays on the list of live ones.
    nyxIter::forgetAll();
    nyxSetDefaultGlobalHeap(nullptr);
    nyxSetDefaultPropMgrHeap(nullptr);
    for (Hx_genheap **heap : {&globalNYXHeap, &libCellHeap, &iterHeap, &propMgrHeap}) {
        delete *heap;
        *heap = nullptr;
    }
    Hx_topheap::quit();
    session = nullptr;
    ++d_generation;
}

nyx *nyx::create() {
    if (session != nullptr) return session;
    nyx *state = nullptr;
    try {
        state = new nyx();
    } catch (...) {
        // The constructor published itself before it failed: the object is gone, so must the
        // pointer be.
        session = nullptr;
        return nullptr;
    }
    if (globalNYXHeap == nullptr) {
        // Without its heap the state is unusable: undo it.
        delete state;
        return nullptr;
    }
    return state;
}

void nyx::clearLists() {
    d_expertStack = nullptr;
}

void nyx::destroy() { delete session; }

bool nyx::registerOID(uint32_t word, uint32_t tag) {
    if (word == 0 || tag == 0) return true;
    if (d_oids == nullptr) {
        void *p = globalNYXHeap->allocBlock(sizeof(nyxRegistry));
        if (p == nullptr) return false;
        d_oids = new (p) nyxRegistry(globalNYXHeap, nyxRegistry::kOids);
    }
    return d_oids->insert(nyxRegistry::oidKey(word, tag));
}

bool nyx::registerIter(const void *handle) {
    if (d_iters == nullptr) {
        void *p = globalNYXHeap->allocBlock(sizeof(nyxRegistry));
        if (p == nullptr) return false;
        d_iters = new (p) nyxRegistry(globalNYXHeap, nyxRegistry::kIters);
    }
    return d_iters->insert(reinterpret_cast<uintptr_t>(handle));
}

const char *nyx::ringString(const char *s) {
    if (s == nullptr) s = "";
    size_t n = std::strlen(s) + 1;
    char *copy = static_cast<char *>(ringBlock(n));
    if (copy != nullptr) std::memcpy(copy, s, n);
    return copy;
}

void *nyx::ringBlock(size_t n) {
    char *copy = static_cast<char *>(globalNYXHeap->allocate(n));
    if (copy == nullptr) return nullptr;
    if (d_ringCount == kRingSlots) {
        // All slots taken: the oldest copy goes, the others move down one place.
        d_ring[0].heap->deallocate(d_ring[0].str);
        std::memmove(&d_ring[0], &d_ring[1], sizeof(RingSlot) * (kRingSlots - 1));
        --d_ringCount;
    }
    d_ring[d_ringCount++] = RingSlot{copy, globalNYXHeap};
    return copy;
}

bool nyx::pushExpertMode() {
    if (session == nullptr) return false;
    void *p = globalNYXHeap->allocBlock(sizeof(ExpertNode));
    if (p == nullptr) return false;
    d_expertStack = new (p) ExpertNode{sessionFlags & kTrustedProgram,
                                       (sessionFlags & kTrustedData) >> 1, d_expertStack};
    sessionFlags |= kTrustedProgram | kTrustedData;
    return true;
}

bool nyx::popExpertMode() {
    ExpertNode *top = d_expertStack;
    if (top == nullptr) return false;
    sessionFlags = (sessionFlags & ~(kTrustedProgram | kTrustedData)) | top->program |
                   (top->data << 1);
    d_expertStack = top->link;
    globalNYXHeap->freeBlock(top, sizeof(ExpertNode));
    return true;
}

int nyx::expertDepth() {
    int depth = 0;
    for (const ExpertNode *n = d_expertStack; n != nullptr; n = n->link) ++depth;
    return depth;
}
