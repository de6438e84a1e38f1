// Instance storage of a netlist view: the chain of instance list headers, slots in list blocks,
// continuation blocks of large instances, positions and their cache, the instance name map.
#include <cstring>
#include <new>

#include "dm/netlist/instInt.h"

namespace {

constexpr uint32_t kBlock = nyxInst::kBlockSize;
constexpr uint32_t kWord = sizeof(uintptr_t);
// Object sizes: a body and n words; a large instance's own block also keeps the address of its
// first continuation block after its 243 words; a continuation block is one object of 247 words.
constexpr uint32_t kLargeObject = sizeof(nyxInst) + (nyxInst::kOwnBlockSlots + 1) * kWord;
constexpr uint32_t kContinuationObject = nyxInst::kContinuationSlots * kWord;

// Every object must fit the real block after its header.
static_assert(((sizeof(nyxListBlock) + 7u) & ~7u) + kLargeObject <= kBlock);
static_assert(((sizeof(nyxListBlock) + 7u) & ~7u) + kContinuationObject <= kBlock);
static_assert(((sizeof(nyxListBlock) + 7u) & ~7u) + 61 * sizeof(nyxInst) <= kBlock);

// Instances a block holds for n top-level slots: the counts of 1024-byte blocks with a 36-byte
// header and 32-bit words, which callers observe through positions.
int32_t perBlock(int32_t n) { return n >= nyxInst::kLargeHeader ? 1 : 988 / (16 + 4 * n); }
uint32_t objectSize(int32_t n) {
    return n >= nyxInst::kLargeHeader ? kLargeObject : static_cast<uint32_t>(sizeof(nyxInst)) + static_cast<uint32_t>(n) * kWord;
}
int32_t listType(int32_t n) { return (n << 8) | nyxCodeInst; }

nyxInstListHdr *findHeader(nyxNetlistView *view, int32_t n, bool make) {
    nyxInstListHdr **link = &view->instLists();
    while (*link != nullptr && (*link)->slotCount < n) link = &(*link)->next;
    if (*link != nullptr && (*link)->slotCount == n) return *link;
    if (!make) return nullptr;
    void *p = view->viewHeap()->allocBlock(sizeof(nyxInstListHdr));
    if (p == nullptr) return nullptr;
    auto *h = new (p) nyxInstListHdr{*link, n, view, 0, perBlock(n), nullptr, nullptr};
    *link = h;
    return h;
}

nyxListBlock *newBlock(nyxNetlistView *view, nyxInstListHdr *h) {
    nyxListBlock *b = nyxListBlock::create(view->blockHeap(), listType(h->slotCount), kBlock,
                                           objectSize(h->slotCount), h->perBlock);
    if (b == nullptr) return nullptr;
    b->setParent(view);
    b->setParentType(nyxCodeNetlistView);
    b->setUserData(h->blocks * h->perBlock);
    b->setPrev(h->current);
    if (h->current != nullptr) h->current->setNext(b);
    else h->first = b;
    h->current = b;
    ++h->blocks;
    return b;
}

nyxListBlock *&continuationOf(nyxInst *inst) {
    return *reinterpret_cast<nyxListBlock **>(inst->words() + nyxInst::kOwnBlockSlots);
}

void freeContinuations(nyxNetlistView *view, nyxInst *inst) {
    nyxListBlock *b = continuationOf(inst);
    while (b != nullptr) {
        nyxListBlock *next = b->next();
        nyxListBlock::destroy(view->blockHeap(), b);
        b = next;
    }
    continuationOf(inst) = nullptr;
}

// Continuation blocks for words 243 .. n - 1, chained from the instance's own block.
bool addContinuations(nyxNetlistView *view, nyxInst *inst, int32_t n) {
    nyxListBlock *last = nullptr;
    for (int32_t first = nyxInst::kOwnBlockSlots; first < n; first += nyxInst::kContinuationSlots) {
        nyxListBlock *b = nyxListBlock::create(view->blockHeap(), nyxCodeInst, kBlock, kContinuationObject, 1);
        void *obj = b != nullptr ? b->allocObject() : nullptr;
        if (obj == nullptr) {
            if (b != nullptr) nyxListBlock::destroy(view->blockHeap(), b);
            freeContinuations(view, inst);
            return false;
        }
        std::memset(obj, 0, kContinuationObject);
        b->setParent(inst);
        b->setParentType(nyxCodeInst);
        b->setUserData(first);
        b->setPrev(last);
        if (last != nullptr) last->setNext(b);
        else continuationOf(inst) = b;
        last = b;
    }
    return true;
}

bool liveAt(const nyxListBlock *b, int32_t index) {
    if (index >= b->highWater()) return false;
    return static_cast<const nyxInst *>(b->objectAt(index))->d_footPrint != nullptr;
}

// First position of the instances under header h.
int32_t headerBase(const nyxNetlistView *view, const nyxInstListHdr *h) {
    int32_t base = 0;
    for (const nyxInstListHdr *x = view->instLists(); x != nullptr && x != h; x = x->next) {
        base += x->blocks * x->perBlock;
    }
    return base;
}

} // namespace

// --- nyxInst ---------------------------------------------------------------------------------------

uintptr_t *nyxInst::slot(int32_t i) {
    if (i < kOwnBlockSlots || d_footPrint->d_portCount < kOwnBlockSlots) return words() + i;
    int32_t rest = i - kOwnBlockSlots;
    nyxListBlock *b = continuationOf(this);
    for (int32_t k = rest / kContinuationSlots; k > 0 && b != nullptr; --k) b = b->next();
    if (b == nullptr) return nullptr;
    return static_cast<uintptr_t *>(b->objectAt(0)) + rest % kContinuationSlots;
}

bool nyxInst::isLive(const nyxInst *inst) {
    if (inst == nullptr) return false;
    const nyxListBlock *b = nyxListBlock::getHeader(inst, kBlockSize);
    if ((b->listType() & 0xff) != nyxCodeInst || b->parentType() != nyxCodeNetlistView) return false;
    int32_t index = nyxListBlock::getIndex(inst, kBlockSize);
    return index >= 0 && liveAt(b, index) && b->objectAt(index) == inst;
}

nyxInst *nyxInst::ofSlot(const void *word, int32_t *index) {
    if (word == nullptr || (reinterpret_cast<uintptr_t>(word) & (kWord - 1)) != 0) return nullptr;
    const nyxListBlock *b = nyxListBlock::getHeader(word, kBlockSize);
    if ((b->listType() & 0xff) != nyxCodeInst) return nullptr;
    const char *w = static_cast<const char *>(word);
    if (b->parentType() == nyxCodeInst) {
        auto *inst = static_cast<nyxInst *>(b->parent());
        const char *obj = static_cast<const char *>(b->objectAt(0));
        if (obj == nullptr || w < obj || w >= obj + kContinuationObject) return nullptr;
        int32_t i = b->userData() + static_cast<int32_t>((w - obj) / kWord);
        if (i >= inst->slotCount()) return nullptr;
        if (index != nullptr) *index = i;
        return inst;
    }
    // One division finds the instance: objects start at the block's first object.
    const char *base = static_cast<const char *>(b->objectAt(0));
    if (base == nullptr || w < base) return nullptr;
    size_t at = static_cast<size_t>(w - base) / b->objectSize();
    if (at >= b->highWater()) return nullptr;
    auto *inst = reinterpret_cast<nyxInst *>(const_cast<char *>(base) + at * b->objectSize());
    if (inst->d_footPrint == nullptr) return nullptr;
    const char *first = reinterpret_cast<const char *>(inst->words());
    if (w < first) return nullptr;
    int32_t i = static_cast<int32_t>((w - first) / kWord);
    int32_t n = inst->slotCount();
    if (i >= (n < kOwnBlockSlots ? n : kOwnBlockSlots)) return nullptr;
    if (index != nullptr) *index = i;
    return inst;
}

// --- The view's instance lists ----------------------------------------------------------------------

void nyxNetlistView::dropInstPosCache() {
    nyxBlkCache::drop(d_viewHeap, d_instPosCache);
}

namespace nyxInstStore {

nyxInst *newInstance(nyxNetlistView *view, int32_t n) {
    if (n < 0) return nullptr;
    int32_t key = n >= nyxInst::kOwnBlockSlots ? nyxInst::kLargeHeader : n;
    nyxInstListHdr *h = findHeader(view, key, true);
    if (h == nullptr) return nullptr;
    nyxListBlock *b = h->current;
    if (b == nullptr || b->isFull() || key == nyxInst::kLargeHeader) b = newBlock(view, h);
    view->dropInstPosCache();
    void *obj = b != nullptr ? b->allocObject() : nullptr;
    if (obj == nullptr) return nullptr;
    std::memset(obj, 0, objectSize(key));
    auto *inst = static_cast<nyxInst *>(obj);
    if (key == nyxInst::kLargeHeader && !addContinuations(view, inst, n)) {
        b->freeObject(obj);
        return nullptr;
    }
    return inst;
}

void freeInstance(nyxNetlistView *view, nyxInst *inst) {
    nyxListBlock *b = nyxListBlock::getHeader(inst, nyxInst::kBlockSize);
    if ((b->listType() >> 8) == nyxInst::kLargeHeader) freeContinuations(view, inst);
    inst->d_footPrint = nullptr;
    b->freeObject(inst);
    view->dropInstPosCache();
}

nyxInstMap *nameMap(nyxNetlistView *view, uint32_t expected) {
    nyxInstMap *&map = view->instNameMap();
    if (map != nullptr) return map;
    uint32_t n = 0;
    for (nyxInstListHdr *h = view->instLists(); h != nullptr; h = h->next) {
        for (nyxListBlock *b = h->first; b != nullptr; b = b->next()) n += b->count();
    }
    nyxInstMap *m = nyxInstMap::create(view->viewHeap(), n > expected ? n : expected);
    if (m == nullptr) return nullptr;
    nyxInstCursor c;
    for (nyxInst *inst = nyxInstance::next(view, c); inst != nullptr; inst = nyxInstance::next(view, c)) {
        if (!m->add(inst)) {
            nyxInstMap::destroy(m);
            return nullptr;
        }
    }
    map = m;
    return map;
}

} // namespace nyxInstStore

namespace nyxInstance {

nyxInst *nextBlock(nyxNetlistView *view, nyxInstCursor &c) {
    if (!c.started) {
        c.started = true;
        c.hdr = view->instLists();
        c.block = c.hdr != nullptr ? c.hdr->first : nullptr;
        c.slot = 0;
    }
    for (;;) {
        while (c.block == nullptr) {
            if (c.hdr == nullptr || (c.hdr = c.hdr->next) == nullptr) return nullptr;
            c.block = c.hdr->first;
            c.slot = 0;
        }
        nyxListBlock *b = c.block;
        while (c.slot < b->highWater()) {
            auto *inst = static_cast<nyxInst *>(b->objectAt(c.slot++));
            if (inst->d_footPrint != nullptr) return inst;
        }
        c.block = b->next();
        c.slot = 0;
    }
}

int32_t position(const nyxInst *inst) {
    const nyxListBlock *b = nyxListBlock::getHeader(inst, nyxInst::kBlockSize);
    nyxNetlistView *view = inst->view();
    const nyxInstListHdr *h = findHeader(view, b->listType() >> 8, false);
    return headerBase(view, h) + b->userData() + nyxListBlock::getIndex(inst, nyxInst::kBlockSize);
}

int32_t count(nyxNetlistView *view) {
    int32_t n = 0;
    for (nyxInstListHdr *h = view->instLists(); h != nullptr; h = h->next) n += h->blocks * h->perBlock;
    return n;
}

bool hasInst(const nyxNetlistView *view) {
    for (nyxInstListHdr *h = view->instLists(); h != nullptr; h = h->next) {
        for (nyxListBlock *b = h->first; b != nullptr; b = b->next()) {
            if (b->count() > 0) return true;
        }
    }
    return false;
}

nyxInst *findByPosition(nyxNetlistView *view, int32_t pos, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return nullptr;
    nyxBlkCache *&cache = view->instPosCache();
    if (cache == nullptr) {
        int32_t blocks = 0;
        for (nyxInstListHdr *h = view->instLists(); h != nullptr; h = h->next) blocks += h->blocks;
        nyxBlkCache *c = nyxBlkCache::make(view->viewHeap(), blocks);
        if (c == nullptr) return *err = cfidrErrInternal, nullptr;
        for (nyxInstListHdr *h = view->instLists(); h != nullptr; h = h->next) {
            for (nyxListBlock *b = h->first; b != nullptr; b = b->next()) c->add(b, h->perBlock);
        }
        cache = c;
    }
    int32_t index = 0;
    nyxListBlock *b = cache->find(pos, &index);
    if (b == nullptr) return *err = cfidrErrNotFound, nullptr;
    if (!liveAt(b, index)) return *err = cfidrErrObjectUnusable, nullptr;
    return static_cast<nyxInst *>(b->objectAt(index));
}

} // namespace nyxInstance
