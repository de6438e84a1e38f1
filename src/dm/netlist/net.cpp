// Nets: creation, lookup by name, renaming, destruction, connection storage, the global flag
// and aliases.
#include "dm/netlist/net.h"

#include <cstring>
#include <new>
#include <string_view>

#include "dm/netlist/busname.h"
#include "dm/netlist/netmap.h"

namespace {

// Overflow storage of connections beyond the fifth: entries are object words, bit 32 set for a
// port scalar.
struct ConnArray {
    int32_t count;
    int32_t capacity;
    uint64_t items[1];
};

size_t connBytes(int32_t capacity) {
    return sizeof(ConnArray) + sizeof(uint64_t) * static_cast<size_t>(capacity - 1);
}

inline uint64_t entryOf(const void *obj, bool isPort) {
    return nyxObjWord(obj) | (isPort ? uint64_t{1} << 32 : 0);
}

inline ConnArray *arrayOf(const nyxNetScalar *net) { return nyxObjPtr<ConnArray>(net->d_conn[4]); }

inline bool inlineIsPort(const nyxNetScalar *net, int32_t i) { return ((net->d_flags >> i) & 1) != 0; }

inline void setInline(nyxNetScalar *net, int32_t i, uint32_t word, bool isPort) {
    net->d_conn[i] = word;
    uint16_t bit = static_cast<uint16_t>(1u << i);
    net->d_flags = static_cast<uint16_t>(isPort ? net->d_flags | bit : net->d_flags & ~bit);
}

int32_t chainOf(int32_t code) {
    return code == nyxCodeNetScalar ? nyxNetlistView::kScalarChain
           : code == nyxCodeNetBundle ? nyxNetlistView::kBundleChain
                                      : nyxNetlistView::kBusChain;
}

} // namespace

// --- Connection storage ---------------------------------------------------------------------------

bool nyxNetScalar::addConnection(nyxNetScalar *net, void *obj, bool isPort) {
    int32_t n = static_cast<int32_t>(net->d_connCount);
    if (n < kInline) {
        setInline(net, n, nyxObjWord(obj), isPort);
    } else {
        Hx_genheap *heap = nyxNet::view(net)->viewHeap();
        ConnArray *a = n == kInline ? nullptr : arrayOf(net);
        if (a == nullptr || a->count == a->capacity) {
            if (n >= 0x3fffffff) return false;
            int32_t cap = a == nullptr ? 4 : a->capacity * 2;
            auto *grown = static_cast<ConnArray *>(heap->allocBlock(connBytes(cap)));
            if (grown == nullptr) return false;
            if (a == nullptr) {
                // The fifth connection moves into the array that takes its slot.
                grown->count = 1;
                grown->items[0] = net->d_conn[4] | (inlineIsPort(net, 4) ? uint64_t{1} << 32 : 0);
            } else {
                grown->count = a->count;
                std::memcpy(grown->items, a->items, sizeof(uint64_t) * static_cast<size_t>(a->count));
                heap->freeBlock(a, connBytes(a->capacity));
            }
            grown->capacity = cap;
            setInline(net, 4, nyxObjWord(grown), false);
            a = grown;
        }
        a->items[a->count++] = entryOf(obj, isPort);
    }
    ++net->d_connCount;
    return true;
}

void *nyxNetScalar::connectionAt(const nyxNetScalar *net, int32_t i, bool *isPort) {
    int32_t n = static_cast<int32_t>(net->d_connCount);
    if (i < 0 || i >= n) return nullptr;
    if (n <= kInline || i < kInline - 1) {
        *isPort = inlineIsPort(net, i);
        return nyxObjPtr(net->d_conn[i]);
    }
    uint64_t e = arrayOf(net)->items[i - (kInline - 1)];
    *isPort = (e >> 32) != 0;
    return nyxObjPtr(static_cast<uint32_t>(e));
}

bool nyxNetScalar::removeConnection(nyxNetScalar *net, void *obj, bool isPort) {
    int32_t n = static_cast<int32_t>(net->d_connCount);
    int32_t at = -1;
    for (int32_t i = 0; i < n && at < 0; ++i) {
        bool p = false;
        if (connectionAt(net, i, &p) == obj && p == isPort) at = i;
    }
    if (at < 0) return false;
    if (n <= kInline) {
        for (int32_t i = at; i + 1 < n; ++i) setInline(net, i, net->d_conn[i + 1], inlineIsPort(net, i + 1));
        setInline(net, n - 1, 0, false);
        --net->d_connCount;
        return true;
    }
    ConnArray *a = arrayOf(net);
    int32_t from = at < kInline - 1 ? 0 : at - (kInline - 1);
    if (at < kInline - 1) {
        // The array's first connection takes the freed inline place.
        uint64_t e = a->items[0];
        setInline(net, at, static_cast<uint32_t>(e), (e >> 32) != 0);
    }
    std::memmove(a->items + from, a->items + from + 1, sizeof(uint64_t) * static_cast<size_t>(a->count - from - 1));
    --a->count;
    --net->d_connCount;
    if (net->d_connCount == kInline) {
        // Back to five: the array's last connection returns to the fifth slot.
        uint64_t e = a->items[0];
        nyxNet::view(net)->viewHeap()->freeBlock(a, connBytes(a->capacity));
        setInline(net, 4, static_cast<uint32_t>(e), (e >> 32) != 0);
    }
    return true;
}

namespace nyxNet {

// --- Creation and names ------------------------------------------------------------------------------

namespace {

// A new net of class `code` named `name` in a free slot of its chain, not yet in the name map;
// null when memory ran out.
void *makeNet(nyxNetlistView *view, const char *name, int32_t code, int32_t start, int32_t step) {
    void *slot = view->newNetSlot(chainOf(code));
    if (slot == nullptr) return nullptr;
    auto *head = static_cast<nyxNetHead *>(slot);
    new (&head->d_name) nyxVarString();
    head->d_props = 0;
    head->d_groupCount = 0;
    head->d_flags = nyxNetHead::kLive;
    if (code == nyxCodeNetScalar) {
        auto *s = static_cast<nyxNetScalar *>(slot);
        s->d_connCount = 0;
        std::memset(s->d_conn, 0, sizeof s->d_conn);
    } else {
        static_cast<nyxNetBundle *>(slot)->d_members = nullptr;
        if (code == nyxCodeNetBus) {
            static_cast<nyxNetBus *>(slot)->d_start = start;
            static_cast<nyxNetBus *>(slot)->d_step = step;
        }
    }
    if (!head->d_name.setString(name, view->viewHeap())) {
        view->freeNetSlot(slot);
        return nullptr;
    }
    return slot;
}

void unmakeNet(nyxNetlistView *view, void *net) {
    static_cast<nyxNetHead *>(net)->d_name.clear();
    view->freeNetSlot(net);
}

} // namespace

void *create(nyxNetlistView *view, const char *name, int32_t code, int32_t start, int32_t step,
             cfidrErrorT *err) {
    if (!view->loaded() && !nyxNetlistView::load(view, err)) return nullptr;
    bool checked = !nyx::trustedData();
    if (checked && view->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
    if (name == nullptr) return *err = cfidrErrBadName, nullptr;
    // The name's slot of a large map is far away in memory: it is fetched first, and the name
    // check and the making of the net run while it arrives. The net is made this early only
    // when the map exists (a map built now must not hold it yet) and when that adds no block
    // (a block would change the view's slot count even if a duplicate name undid the
    // creation); it is unmade when a later check fails.
    nyxNetMap *map = view->netNameMap();
    std::string_view text(name);
    uint32_t h = nyxNetMap::hash(name, text.size());
    if (map != nullptr) map->prefetch(h);
    if (checked && !nyxDMUtil::validName(text)) return *err = cfidrErrBadName, nullptr;
    const nyxListBlock *current = view->chain(chainOf(code)).current;
    void *net = nullptr;
    if (map != nullptr && current != nullptr && !current->isFull()) {
        net = makeNet(view, name, code, start, step);
    }
    nyxNetMap::Probe probe = {h, UINT32_MAX};
    if (checked) {
        if (map == nullptr) map = view->buildNetNameMap();
        int32_t otherCode = 0;
        void *other = map != nullptr ? map->find(name, h, &otherCode, &probe) : nullptr;
        if (map == nullptr || other != nullptr) {
            if (net != nullptr) unmakeNet(view, net);
            if (map == nullptr) return *err = cfidrErrInternal, nullptr;
            return *err = otherCode == code ? cfidrErrAlreadyExists : cfidrErrNameTaken, nullptr;
        }
    }
    if (code == nyxCodeNetBus && step == 0) {
        if (net != nullptr) unmakeNet(view, net);
        return *err = cfidrErrBadValue, nullptr;
    }
    if (net == nullptr) net = makeNet(view, name, code, start, step);
    if (net == nullptr) return *err = cfidrErrInternal, nullptr;
    if (map != nullptr && !map->addAt(net, code, probe)) {
        unmakeNet(view, net);
        return *err = cfidrErrInternal, nullptr;
    }
    nyxNetlistView::viewChanged(view);
    return net;
}

void *build(nyxNetlistView *view, const char *name, int32_t code, int32_t start, int32_t step, bool global) {
    void *net = makeNet(view, name, code, start, step);
    if (net == nullptr) return nullptr;
    nyxNetMap *map = view->netNameMap();
    if (map != nullptr && !map->add(net, code)) {
        unmakeNet(view, net);
        return nullptr;
    }
    if (global) static_cast<nyxNetHead *>(net)->d_flags |= nyxNetHead::kGlobal;
    return net;
}

void *buildUnique(nyxNetlistView *view, const char *name, int32_t code, int32_t start, int32_t step, bool global,
                  bool *taken) {
    *taken = false;
    nyxNetMap *map = view->buildNetNameMap();
    if (map == nullptr) return nullptr;
    nyxNetMap::Probe probe = {};
    if (map->find(name, nullptr, &probe) != nullptr) return *taken = true, nullptr;
    void *net = makeNet(view, name, code, start, step);
    if (net == nullptr) return nullptr;
    if (!map->addAt(net, code, probe)) {
        unmakeNet(view, net);
        return nullptr;
    }
    if (global) static_cast<nyxNetHead *>(net)->d_flags |= nyxNetHead::kGlobal;
    return net;
}

nyxObjRef findByName(nyxNetlistView *view, const char *name, cfidrErrorT *err) {
    if (!view->loaded() && !nyxNetlistView::load(view, err)) return {};
    if (name == nullptr) return *err = cfidrErrBadName, nyxObjRef{};
    std::string_view text(name);
    uint32_t h = nyxNetMap::hash(name, text.size());
    nyxNetMap *map = view->netNameMap();
    if (map != nullptr) map->prefetch(h);
    if (!nyx::trustedProgram() && !nyxDMUtil::validName(text)) {
        return *err = cfidrErrBadName, nyxObjRef{};
    }
    if (map == nullptr && (map = view->buildNetNameMap()) == nullptr) {
        return *err = cfidrErrInternal, nyxObjRef{};
    }
    int32_t c = 0;
    void *obj = map->find(name, h, &c);
    if (obj == nullptr) return *err = cfidrErrNotFound, nyxObjRef{};
    if (c == nyxCodeNetAlias) {
        obj = static_cast<nyxNetAlias *>(obj)->d_owner;
        c = code(obj);
    }
    return {obj, c, 0};
}

void setName(void *net, const char *name, cfidrErrorT *err) {
    nyxNetlistView *v = view(net);
    auto *head = static_cast<nyxNetHead *>(net);
    if (!nyx::trustedData()) {
        if (code(net) == nyxCodeNetScalar && static_cast<nyxNetScalar *>(net)->d_connCount > 0) {
            return (void)(*err = cfidrErrIllegalOperation);
        }
        if (v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
        if (!nyxNetlistView::validString(name)) return (void)(*err = cfidrErrBadName);
        nyxNetMap *map = v->buildNetNameMap();
        if (map == nullptr) return (void)(*err = cfidrErrInternal);
        void *other = map->find(name, nullptr);
        if (other != nullptr && other != net) return (void)(*err = cfidrErrNameTaken);
    }
    if (name == nullptr) return (void)(*err = cfidrErrBadName);
    nyxNetMap *map = v->netNameMap();
    if (map != nullptr) map->remove(head->d_name.getString(), net);
    // A failed copy keeps the old name, which goes back into the map (there is room: one entry
    // was just taken out).
    bool ok = head->d_name.setString(name, v->viewHeap());
    if (map != nullptr) map->add(net, code(net));
    if (!ok) return (void)(*err = cfidrErrInternal);
    nyxNetlistView::viewChanged(v);
}

// --- Destruction -------------------------------------------------------------------------------------

namespace {

// Drops every occurrence of `net` from the member lists of the view's groups.
void leaveGroups(nyxNetlistView *v, void *net) {
    for (int32_t k : {nyxNetlistView::kBundleChain, nyxNetlistView::kBusChain}) {
        for (nyxListBlock *b = v->chain(k).first; b != nullptr; b = b->next()) {
            for (int32_t i = 0; i < b->highWater(); ++i) {
                auto *g = static_cast<nyxNetBundle *>(b->objectAt(i));
                if ((g->d_flags & nyxNetHead::kLive) == 0 || g->d_members == nullptr) continue;
                nyxNetMembers *m = g->d_members;
                int32_t kept = 0;
                for (int32_t j = 0; j < m->count; ++j) {
                    if (m->items[j] != net) m->items[kept++] = m->items[j];
                }
                m->count = kept;
            }
        }
    }
}

} // namespace

void destroy(void *net, cfidrErrorT *err) {
    nyxNetlistView *v = view(net);
    if (!nyx::trustedData() && v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    // Iterators over its members, aliases or connections end; lists that name it drop it.
    nyxIterObjectGone(net);
    auto *head = static_cast<nyxNetHead *>(net);
    Hx_genheap *heap = v->viewHeap();
    if (code(net) == nyxCodeNetScalar) {
        auto *s = static_cast<nyxNetScalar *>(net);
        while (s->d_connCount > 0) {
            bool isPort = false;
            void *obj = nyxNetScalar::connectionAt(s, static_cast<int32_t>(s->d_connCount) - 1, &isPort);
            const nyxConnSide *side = isPort ? &nyxPortSide : &nyxPortInstSide;
            if (side != nullptr && side->setNet != nullptr) side->setNet(obj, nullptr);
            nyxNetScalar::removeConnection(s, obj, isPort);
        }
    } else {
        auto *g = static_cast<nyxNetBundle *>(net);
        for (int32_t i = 0; i < g->size(); ++i) {
            auto *m = static_cast<nyxNetHead *>(g->member(i));
            if (m->d_groupCount > 0) --m->d_groupCount;
        }
        if (g->d_members != nullptr) {
            heap->freeBlock(g->d_members, sizeof(nyxNetMembers) + sizeof(void *) * static_cast<size_t>(g->d_members->capacity - 1));
            g->d_members = nullptr;
        }
    }
    if (head->d_groupCount > 0) leaveGroups(v, net);
    nyxNetMap *map = v->netNameMap();
    for (auto *a = static_cast<nyxNetAlias *>(v->aliasHead(net)); a != nullptr;) {
        nyxNetAlias *next = a->d_next;
        if (map != nullptr) map->remove(a->d_name.getString(), a);
        nyxIterObjectGone(a);
        nyxPropListDestroy(a->d_props);
        a->d_name.clear();
        heap->freeBlock(a, sizeof(nyxNetAlias));
        a = next;
    }
    v->setAliasHead(net, nullptr);
    if (map != nullptr) map->remove(head->d_name.getString(), net);
    nyxPropList *list = props(net);
    nyxPropListDestroy(list);
    head->d_props = 0;
    head->d_name.clear();
    v->freeNetSlot(net);
    nyxNetlistView::viewChanged(v);
}

// --- Buses, global flag, aliases ------------------------------------------------------------------

void setStart(nyxNetBus *bus, int32_t start, cfidrErrorT *err) {
    if (!nyx::trustedData() && view(bus)->readOnly()) {
        return (void)(*err = cfidrErrNotOpenForUpdate);
    }
    bus->d_start = start;
    nyxNetlistView::viewChanged(view(bus));
}

void setStep(nyxNetBus *bus, int32_t step, cfidrErrorT *err) {
    if (!nyx::trustedData() && view(bus)->readOnly()) {
        return (void)(*err = cfidrErrNotOpenForUpdate);
    }
    if (step == 0) return (void)(*err = cfidrErrBadValue);
    bus->d_step = step;
    nyxNetlistView::viewChanged(view(bus));
}

int32_t getEnd(const nyxNetBus *bus, cfidrErrorT *err) {
    int32_t end = 0;
    if (!nyxBusName::busEnd(bus->d_name.getString(), &end)) return *err = cfidrErrBadName, 0;
    return end;
}

void setGlobal(void *obj, bool alias, int32_t value, cfidrErrorT *err) {
    nyxNetlistView *v = alias ? view(static_cast<nyxNetAlias *>(obj)->d_owner) : view(obj);
    if (!nyx::trustedData()) {
        if (value != 0 && value != 1) return (void)(*err = cfidrErrBadValue);
        if (v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    }
    nyxNetlistView::viewChanged(v);
    if (alias) {
        static_cast<nyxNetAlias *>(obj)->d_global = value != 0 ? 1 : 0;
    } else {
        auto *head = static_cast<nyxNetHead *>(obj);
        head->d_flags = static_cast<uint16_t>(value != 0 ? head->d_flags | nyxNetHead::kGlobal
                                                         : head->d_flags & ~nyxNetHead::kGlobal);
    }
}

int32_t getGlobal(const void *obj, bool alias) {
    if (alias) return static_cast<const nyxNetAlias *>(obj)->d_global;
    return (static_cast<const nyxNetHead *>(obj)->d_flags & nyxNetHead::kGlobal) != 0 ? 1 : 0;
}

namespace {

// An alias of the same name when name option 0x40000 asks for one to be reused; null otherwise.
nyxNetAlias *reusedAlias(nyxNetlistView *v, void *net, const char *name) {
    if (!nyxSettings::hasNameOption(nyxSettings::kHdlSelRules)) return nullptr;
    for (auto *a = static_cast<nyxNetAlias *>(v->aliasHead(net)); a != nullptr; a = a->d_next) {
        if (std::strcmp(a->d_name.getString(), name) == 0) return a;
    }
    return nullptr;
}

// A new alias at the head of the net's list, in the name map when one exists; null when memory
// ran out (nothing changed).
nyxNetAlias *newAlias(nyxNetlistView *v, void *net, const char *name, bool global) {
    Hx_genheap *heap = v->viewHeap();
    void *p = heap->allocBlock(sizeof(nyxNetAlias));
    if (p == nullptr) return nullptr;
    auto *a = new (p) nyxNetAlias{static_cast<nyxNetAlias *>(v->aliasHead(net)), nullptr, net, {},
                                  nyxCodeNetAlias, global ? 1 : 0};
    bool ok = a->d_name.setString(name, heap);
    bool mapped = false;
    if (ok && v->netNameMap() != nullptr) ok = mapped = v->netNameMap()->add(a, nyxCodeNetAlias);
    if (ok) ok = v->setAliasHead(net, a);
    if (!ok) {
        if (mapped) v->netNameMap()->remove(a->d_name.getString(), a);
        a->d_name.clear();
        heap->freeBlock(a, sizeof(nyxNetAlias));
        return nullptr;
    }
    return a;
}

} // namespace

nyxNetAlias *createAlias(void *net, const char *name, cfidrErrorT *err) {
    nyxNetlistView *v = view(net);
    if (!nyx::trustedData()) {
        if (v->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
        if (!nyxNetlistView::validString(name)) return *err = cfidrErrBadName, nullptr;
    }
    if (name == nullptr) return *err = cfidrErrBadName, nullptr;
    if (nyxNetAlias *same = reusedAlias(v, net, name)) return same;
    nyxNetAlias *a = newAlias(v, net, name, false);
    if (a == nullptr) return *err = cfidrErrInternal, nullptr;
    nyxNetlistView::viewChanged(v);
    return a;
}

nyxNetAlias *buildAlias(void *net, const char *name, bool global) {
    nyxNetlistView *v = view(net);
    if (nyxNetAlias *same = reusedAlias(v, net, name)) {
        if (global) same->d_global = 1;
        return same;
    }
    return newAlias(v, net, name, global);
}

void renameAlias(nyxNetAlias *alias, const char *name, cfidrErrorT *err) {
    nyxNetlistView *v = view(alias->d_owner);
    if (!nyx::trustedData()) {
        if (v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
        if (!nyxNetlistView::validString(name)) return (void)(*err = cfidrErrBadName);
    }
    if (name == nullptr) return (void)(*err = cfidrErrBadName);
    nyxNetMap *map = v->netNameMap();
    if (map != nullptr) map->remove(alias->d_name.getString(), alias);
    // A failed copy keeps the old name, which goes back into the map (there is room: one entry
    // was just taken out).
    bool ok = alias->d_name.setString(name, v->viewHeap());
    if (map != nullptr) map->add(alias, nyxCodeNetAlias);
    if (!ok) return (void)(*err = cfidrErrInternal);
    nyxNetlistView::viewChanged(v);
}

void destroyAlias(nyxNetAlias *alias, cfidrErrorT *err) {
    void *net = alias->d_owner;
    nyxNetlistView *v = view(net);
    if (!nyx::trustedData() && v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    auto *head = static_cast<nyxNetAlias *>(v->aliasHead(net));
    if (head == alias) {
        if (!v->setAliasHead(net, alias->d_next)) return (void)(*err = cfidrErrInternal);
    } else {
        for (nyxNetAlias *a = head; a != nullptr; a = a->d_next) {
            if (a->d_next == alias) {
                a->d_next = alias->d_next;
                break;
            }
        }
    }
    if (v->netNameMap() != nullptr) v->netNameMap()->remove(alias->d_name.getString(), alias);
    nyxIterObjectGone(alias);
    nyxPropListDestroy(alias->d_props);
    alias->d_name.clear();
    v->viewHeap()->freeBlock(alias, sizeof(nyxNetAlias));
    nyxNetlistView::viewChanged(v);
}

} // namespace nyxNet
