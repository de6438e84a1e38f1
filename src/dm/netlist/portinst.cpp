// Port instances: group storage, building and tearing down an instance's tree, the word
// accessors, owners and record ports, pre-order positions and the net side of connections.
#include "dm/netlist/portinst.h"

#include <cstring>
#include <new>
#include <utility>

#include "dm/netlist/portinstInt.h"
#include "dm/prop/prop.h"

static_assert(nyxPortInst::kBlockSize == nyxInst::kBlockSize,
              "port-instance words are found by masking with one block size");

using namespace nyxPortInstInt;

namespace nyxPortInst {
namespace {

nyxListBlock *newBlock(nyxNetlistView *view, int32_t code, int32_t words, bool first) {
    uint32_t bytes = static_cast<uint32_t>(words) * 8u + (first ? sizeof(GroupHead) : 0u);
    nyxListBlock *b = nyxListBlock::create(view->blockHeap(), code, kBlockSize, bytes, 1);
    if (b == nullptr) return nullptr;
    void *obj = b->allocObject();
    if (obj == nullptr) {
        nyxListBlock::destroy(view->blockHeap(), b);
        return nullptr;
    }
    std::memset(obj, 0, bytes);
    b->setParentType(static_cast<uint16_t>(code));
    return b;
}

void freeChain(nyxNetlistView *view, nyxListBlock *first) {
    while (first != nullptr) {
        nyxListBlock *next = first->next();
        nyxListBlock::destroy(view->blockHeap(), first);
        first = next;
    }
}

// --- Slabs of small groups ---------------------------------------------------------------------------

// The current slab of each class code (bundle, bus) and capacity class of a view.
struct Slabs {
    nyxListBlock *current[2][kSlabClasses];
};

int capacityClass(int32_t members) {
    int c = 0;
    while ((int32_t{1} << c) < members) ++c;
    return c;
}
inline uint32_t slabObjectSize(int cls) { return sizeof(SlabHead) + (uint32_t{8} << cls); }

Slabs *slabsOf(nyxNetlistView *view) {
    if (view->d_portInstSlabs == nullptr) {
        void *p = view->viewHeap()->allocBlock(sizeof(Slabs));
        if (p == nullptr) return nullptr;
        view->d_portInstSlabs = new (p) Slabs{};
    }
    return static_cast<Slabs *>(view->d_portInstSlabs);
}

// A zeroed group object of a slab for `members` members; null when storage ran out.
char *slabAlloc(nyxNetlistView *view, int32_t code, int32_t members) {
    Slabs *slabs = slabsOf(view);
    if (slabs == nullptr) return nullptr;
    int cls = capacityClass(members);
    nyxListBlock *&cur = slabs->current[code == nyxCodePortInstBus ? 1 : 0][cls];
    if (cur == nullptr || cur->isFull()) {
        nyxListBlock *b = nyxListBlock::create(view->blockHeap(), code | kSlabFlag, kBlockSize, slabObjectSize(cls));
        if (b == nullptr) return nullptr;
        b->setUserData(cls);
        b->setParent(view);
        b->setParentType(nyxCodeNetlistView);
        cur = b;
    }
    char *obj = static_cast<char *>(cur->allocObject());
    if (obj != nullptr) std::memset(obj, 0, slabObjectSize(cls));
    return obj;
}

// Gives a group object back to its slab. An emptied slab that is not current goes back to the
// heap; a slab with room becomes current when the current one is full.
void slabFree(nyxNetlistView *view, char *obj) {
    nyxListBlock *b = blockOfWord(obj);
    Slabs *slabs = static_cast<Slabs *>(view->d_portInstSlabs);
    b->freeObject(obj);
    if (slabs == nullptr) return;
    nyxListBlock *&cur = slabs->current[storageCode(b) == nyxCodePortInstBus ? 1 : 0][b->userData()];
    if (b == cur) return;
    if (b->count() == 0) {
        nyxListBlock::destroy(view->blockHeap(), b);
    } else if (cur == nullptr || cur->isFull()) {
        cur = b;
    }
}

// --- Building and tearing down -----------------------------------------------------------------------

// Storage for a chained group: the whole chain, parent `word`; null when storage ran out.
nyxListBlock *newChain(nyxNetlistView *view, uintptr_t *word, int32_t code, int32_t n) {
    int32_t cap = firstCapacity(code);
    nyxListBlock *first = newBlock(view, code, n < cap ? n : cap, true);
    if (first == nullptr) return nullptr;
    nyxListBlock *last = first;
    for (int32_t at = cap; at < n; at += kContinuation) {
        int32_t words = n - at < kContinuation ? n - at : kContinuation;
        nyxListBlock *b = newBlock(view, code, words, false);
        if (b == nullptr) {
            freeChain(view, first);
            return nullptr;
        }
        b->setUserData(at);
        b->setPrev(last);
        last->setNext(b);
        last = b;
    }
    for (nyxListBlock *b = first; b != nullptr; b = b->next()) b->setParent(word);
    return first;
}

// Makes the port instance of `rec` in the (zero) word, members depth first. The group's storage
// is complete before the word points at it, so a failure leaves a plain zero word.
bool make(nyxNetlistView *view, uintptr_t *word, const nyxFootPrintPort *rec, int depth, cfidrErrorT *err) {
    if (!rec->isGroup()) {
        if (rec->d_code != nyxCodePortScalar) return *err = cfidrErrInternal, false;
        *word = 0;
        return true;
    }
    int32_t code = rec->d_code == nyxCodePortBus ? nyxCodePortInstBus : nyxCodePortInstBundle;
    int32_t n = rec->d_memberCount;
    if (depth > kMaxDepth || n < 0 || (n > 0 && rec->d_members == nullptr)) {
        return *err = cfidrErrInternal, false;
    }
    int32_t start = code == nyxCodePortInstBus ? rec->d_dirOrStart : n;
    int32_t step = code == nyxCodePortInstBus ? rec->d_step : 0;
    if (n <= kSlabMax) {
        char *obj = slabAlloc(view, code, n);
        if (obj == nullptr) return *err = cfidrErrInternal, false;
        *reinterpret_cast<SlabHead *>(obj) = {word, rec, start, step};
        *word = reinterpret_cast<uintptr_t>(obj) | kGroupBit;
    } else {
        nyxListBlock *first = newChain(view, word, code, n);
        if (first == nullptr) return *err = cfidrErrInternal, false;
        *headOf(first) = {start, step, rec};
        *word = reinterpret_cast<uintptr_t>(first) | kGroupBit;
    }
    bool ok = true;
    int32_t i = 0;
    forEachMember(word, [&](uintptr_t *m) {
        if (ok) ok = make(view, m, &rec->d_members[i++], depth + 1, err);
    });
    return ok;
}

void dropProps(nyxNetlistView *view, uintptr_t *word) {
    if (!isGroup(word) && (*word & kPropsBit) == 0) return;
    nyxPropList **list = view->propsOnPortInst(word, false);
    if (list != nullptr && *list != nullptr) nyxPropListDestroy(*list);
    *word &= ~kPropsBit;
}

void unmake(nyxNetlistView *view, uintptr_t *word, int depth) {
    // Iterators that list this port instance drop it before its storage goes.
    nyxIterObjectGone(word);
    dropProps(view, word);
    if (!isGroup(word)) {
        if (nyxNetScalar *n = net(word)) nyxNetScalar::removeConnection(n, word, false);
        *word = 0;
        return;
    }
    char *storage = groupAddr(word);
    if (depth <= kMaxDepth) forEachMember(word, [&](uintptr_t *m) { unmake(view, m, depth + 1); });
    *word = 0;
    if (isSlab(blockOfWord(storage))) {
        slabFree(view, storage);
    } else {
        freeChain(view, reinterpret_cast<nyxListBlock *>(storage));
    }
}

// Port instances in the subtree of a record port (the port itself included).
int32_t subtree(const nyxFootPrintPort *rec, int depth) {
    if (!rec->isGroup() || depth > kMaxDepth) return 1;
    int32_t n = 1;
    for (int32_t i = 0; i < rec->d_memberCount; ++i) n += subtree(&rec->d_members[i], depth + 1);
    return n;
}

uintptr_t *descend(uintptr_t *word, const nyxFootPrintPort *rec, int32_t pos, int32_t *code) {
    for (int depth = 0; depth <= kMaxDepth; ++depth) {
        if (pos == 0) {
            *code = nyxPortInst::code(word);
            return word;
        }
        --pos;
        int32_t i = 0;
        for (; i < rec->d_memberCount; ++i) {
            int32_t s = subtree(&rec->d_members[i], 0);
            if (pos < s) break;
            pos -= s;
        }
        if (i >= rec->d_memberCount) return nullptr;
        word = member(word, i);
        rec = &rec->d_members[i];
    }
    return nullptr;
}

} // namespace

// --- The tree ----------------------------------------------------------------------------------------

bool createTree(nyxInst *inst, cfidrErrorT *err) {
    nyxFootPrint *fp = inst->footPrint();
    nyxNetlistView *v = nullptr;
    for (int32_t i = 0; i < fp->d_portCount; ++i) {
        const nyxFootPrintPort *rec = &fp->d_ports[i];
        // The slots of a new instance are zero: a scalar port instance needs nothing more (the
        // instance code checked the record's codes before).
        if (rec->d_code == nyxCodePortScalar) continue;
        uintptr_t *word = inst->slot(i);
        if (word == nullptr) return *err = cfidrErrInternal, false;
        if (v == nullptr) v = inst->view();
        if (!make(v, word, rec, 0, err)) return false;
    }
    return true;
}

void destroyTree(nyxInst *inst) {
    nyxFootPrint *fp = inst->footPrint();
    if (fp == nullptr) return;
    nyxNetlistView *v = inst->view();
    for (int32_t i = 0; i < fp->d_portCount; ++i) {
        if (uintptr_t *word = inst->slot(i)) unmake(v, word, 0);
    }
}

// --- Words ---------------------------------------------------------------------------------------------

int32_t code(const void *word) {
    if (!isGroup(word)) return nyxCodePortInstScalar;
    return storageCode(blockOfWord(groupAddr(word)));
}

int32_t size(const void *group) {
    return groupRecord(group)->d_memberCount;
}

uintptr_t *member(const void *group, int32_t i) {
    if (i < 0 || i >= size(group)) return nullptr;
    char *a = groupAddr(group);
    nyxListBlock *b = blockOfWord(a);
    if (isSlab(b)) return slabWords(a) + i;
    int32_t cap = firstCapacity(b->listType());
    if (i < cap) return wordsOf(b) + i;
    for (int32_t k = (i - cap) / kContinuation; k >= 0 && b != nullptr; --k) b = b->next();
    return b != nullptr ? wordsOf(b) + (i - b->userData()) : nullptr;
}

int32_t start(const void *bus) {
    char *a = groupAddr(bus);
    nyxListBlock *b = blockOfWord(a);
    return isSlab(b) ? reinterpret_cast<SlabHead *>(a)->start : headOf(b)->start;
}

int32_t step(const void *bus) {
    char *a = groupAddr(bus);
    nyxListBlock *b = blockOfWord(a);
    return isSlab(b) ? reinterpret_cast<SlabHead *>(a)->step : headOf(b)->step;
}

nyxInst *instOf(const void *word, const uintptr_t **top, int32_t *slot) {
    const void *w = word;
    for (int depth = 0; depth <= kMaxDepth + 1; ++depth) {
        nyxListBlock *b = blockOfWord(w);
        if (!isStorage(b)) {
            int32_t index = -1;
            nyxInst *inst = nyxInst::ofSlot(w, &index);
            if (inst == nullptr) return nullptr;
            if (top != nullptr) *top = static_cast<const uintptr_t *>(w);
            if (slot != nullptr) *slot = index;
            return inst;
        }
        w = parentOf(b, w);
    }
    return nullptr;
}

nyxNetlistView *view(const void *word) {
    nyxInst *inst = instOf(word);
    return inst != nullptr ? inst->view() : nullptr;
}

void *owner(const void *word, int32_t *ownerCode) {
    nyxListBlock *b = blockOfWord(word);
    if (isStorage(b)) {
        *ownerCode = storageCode(b);
        return const_cast<void *>(parentOf(b, word));
    }
    *ownerCode = nyxCodeInst;
    int32_t index = -1;
    return nyxInst::ofSlot(word, &index);
}

const nyxFootPrintPort *recordPort(const void *word) {
    if (isGroup(word)) return groupRecord(word);
    nyxListBlock *b = blockOfWord(word);
    if (isStorage(b)) {
        const nyxFootPrintPort *g = groupRecord(parentOf(b, word));
        int32_t i = indexInGroup(b, word);
        return i >= 0 && i < g->d_memberCount ? &g->d_members[i] : nullptr;
    }
    int32_t index = -1;
    nyxInst *inst = nyxInst::ofSlot(word, &index);
    if (inst == nullptr || index < 0 || index >= inst->footPrint()->d_portCount) return nullptr;
    return &inst->footPrint()->d_ports[index];
}

const char *describerName(const void *word) {
    const nyxFootPrintPort *rec = recordPort(word);
    return rec != nullptr ? rec->name() : "";
}

// --- Paths and positions ---------------------------------------------------------------------------------------

} // namespace nyxPortInst

bool nyxPortInstInt::pathOf(const void *word, std::vector<int32_t> &path, nyxInst **inst) {
    path.clear();
    const void *w = word;
    for (int depth = 0; depth <= kMaxDepth + 1; ++depth) {
        nyxListBlock *b = blockOfWord(w);
        if (!isStorage(b)) {
            int32_t index = -1;
            *inst = nyxInst::ofSlot(w, &index);
            if (*inst == nullptr) return false;
            path.push_back(index);
            for (size_t i = 0, j = path.size() - 1; i < j; ++i, --j) std::swap(path[i], path[j]);
            return true;
        }
        path.push_back(indexInGroup(b, w));
        w = parentOf(b, w);
    }
    return false;
}

namespace nyxPortInst {

int32_t positionInInst(const void *word) {
    int32_t pos = 0;
    const void *w = word;
    for (int depth = 0; depth <= kMaxDepth + 1; ++depth) {
        nyxListBlock *b = blockOfWord(w);
        if (!isStorage(b)) {
            int32_t index = -1;
            nyxInst *inst = nyxInst::ofSlot(w, &index);
            if (inst == nullptr) return -1;
            for (int32_t j = 0; j < index; ++j) pos += subtree(&inst->footPrint()->d_ports[j], 0);
            return pos;
        }
        const void *parent = parentOf(b, w);
        const nyxFootPrintPort *g = groupRecord(parent);
        int32_t i = indexInGroup(b, w);
        pos += 1;
        for (int32_t j = 0; j < i && j < g->d_memberCount; ++j) pos += subtree(&g->d_members[j], 0);
        w = parent;
    }
    return -1;
}

uintptr_t *atPosition(nyxInst *inst, int32_t position, int32_t *code) {
    if (position < 0) return nullptr;
    nyxFootPrint *fp = inst->footPrint();
    for (int32_t i = 0; i < fp->d_portCount; ++i) {
        int32_t s = subtree(&fp->d_ports[i], 0);
        if (position < s) return descend(inst->slot(i), &fp->d_ports[i], position, code);
        position -= s;
    }
    return nullptr;
}

int32_t countInInst(nyxInst *inst) {
    nyxFootPrint *fp = inst->footPrint();
    int32_t n = 0;
    for (int32_t i = 0; i < fp->d_portCount; ++i) n += subtree(&fp->d_ports[i], 0);
    return n;
}

// --- Properties and the reader's attach ---------------------------------------------------------------

nyxPropList *props(const void *word) {
    if (!isGroup(word) && (wordOf(word) & kPropsBit) == 0) return nullptr;
    nyxNetlistView *v = view(word);
    nyxPropList **list = v != nullptr ? v->propsOnPortInst(word, false) : nullptr;
    return list != nullptr ? *list : nullptr;
}

bool attachTrusted(nyxNetScalar *n, void *scalar) {
    if (isGroup(scalar) || net(scalar) != nullptr) return false;
    if (!nyxNetScalar::addConnection(n, scalar, false)) return false;
    auto *w = static_cast<uintptr_t *>(scalar);
    *w = reinterpret_cast<uintptr_t>(n) | (*w & kPropsBit);
    return true;
}

} // namespace nyxPortInst

// --- The port-instance side of connections --------------------------------------------------------------

namespace {

int32_t sideCode(const void *obj) { return nyxPortInst::code(obj); }
nyxNetlistView *sideView(void *obj) { return nyxPortInst::view(obj); }
nyxNetScalar *sideNet(const void *obj) { return nyxPortInst::net(obj); }
void sideSetNet(void *obj, nyxNetScalar *n) {
    auto *w = static_cast<uintptr_t *>(obj);
    *w = reinterpret_cast<uintptr_t>(n) | (*w & nyxPortInst::kPropsBit);
}
const char *sideName(const void *obj) { return nyxPortInst::describerName(obj); }
int32_t sideSize(const void *g) { return nyxPortInst::size(g); }
void *sideMember(const void *g, int32_t i) { return nyxPortInst::member(g, i); }
void *sideOwner(const void *obj, int32_t *ownerCode) {
    int32_t c = 0;
    void *o = nyxPortInst::owner(obj, &c);
    if (c == nyxCodeInst) return nullptr;
    *ownerCode = c;
    return o;
}

} // namespace

const nyxConnSide nyxPortInstSide = {false, nyxCodePortInstScalar, cfidrErrPortInstAttached,
                                     cfidrErrPortInstNotAttached, sideCode, sideView, sideNet,
                                     sideSetNet, sideName, sideSize, sideMember, sideOwner};
