// Iterators over nets: the nets of a view and the members of a group by iteration mode, and
// lists made when the iterator is made (connections, containing groups, aliases).
//
// Modes: 1 net scalars, 2 buses and bundles, 3 top level (view: nets in no group; group: its
// direct members), 4 everything. Group members are walked depth first, each group before its
// members.
#include <algorithm>
#include <type_traits>
#include <vector>

#include "dm/netlist/net.h"

namespace {

// Each iterator class carries its own operations (defined below).
extern const nyxIterOps kViewNetOps, kMemberOps, kListOps;

struct ViewNetIter : nyxIter {
    nyxNetlistView *view;
    int32_t mode;
    int32_t chain = 0;
    nyxListBlock *block = nullptr;  // null: the chain is done
    int32_t slot = 0;
    // The current block's objects, their size and class code, and whether the mode wants them.
    char *objects = nullptr;
    uint32_t stride = 0;
    int32_t code = 0;
    bool want = false;
    ViewNetIter(nyxNetlistView *v, int32_t m) : nyxIter(kViewNetOps), view(v), mode(m) { rewind(); }
    void rewind() {
        chain = 0;
        enter(view->chain(0).first);
    }
    void enter(nyxListBlock *b);
};

struct MemberIter : nyxIter {
    nyxNetBundle *root;
    int32_t mode;
    std::vector<std::pair<nyxNetBundle *, int32_t>> stack;
    MemberIter(nyxNetBundle *g, int32_t m) : nyxIter(kMemberOps), root(g), mode(m) { rewind(); }
    void rewind() {
        stack.clear();
        stack.emplace_back(root, 0);
    }
};

struct ListIter : nyxIter {
    std::vector<nyxObjRef> items;
    size_t pos = 0;
    ListIter() : nyxIter(kListOps) {}
};

nyxIterCache<ViewNetIter, 2> g_viewIters;
nyxIterCache<MemberIter, 1> g_memberIters;
nyxIterCache<ListIter, 2> g_listIters;

// Deeper nesting than this is a cycle let in by trusted data mode.
constexpr size_t kMaxDepth = 1024;

bool wanted(int32_t mode, int32_t code) {
    switch (mode) {
    case cfidrScalarIterMode: return code == nyxCodeNetScalar;
    case cfidrBundleIterMode: return code != nyxCodeNetScalar;
    default: return true;
    }
}

void ViewNetIter::enter(nyxListBlock *b) {
    block = b;
    slot = 0;
    if (b == nullptr) return;
    objects = static_cast<char *>(b->objectAt(0));
    stride = b->objectSize();
    code = b->listType();
    want = wanted(mode, code);
}

// The next wanted net in the current block from the current slot, or null at the block's end.
inline nyxObjRef nextInBlock(ViewNetIter *it) {
    // The high-water mark is read at every step: nets made during the walk are seen.
    int32_t high = it->block->highWater();
    while (it->slot < high) {
        char *p = it->objects + static_cast<size_t>(it->slot++) * it->stride;
        auto *net = reinterpret_cast<nyxNetHead *>(p);
        if ((net->d_flags & nyxNetHead::kLive) == 0) continue;
        if (it->mode == cfidrTopLevelIterMode && net->d_groupCount != 0) continue;
        return {net, it->code, 0};
    }
    return {};
}

// The walk past the end of a block: the following blocks and chains.
[[gnu::noinline]] nyxObjRef nextViewNetAfterBlock(ViewNetIter *it) {
    // Chains in order: scalars, bundles, buses; mode 1 needs only the first, mode 2 the others.
    for (;;) {
        if (it->block != nullptr && it->want) {
            nyxObjRef r = nextInBlock(it);
            if (r.obj != nullptr) return r;
            it->enter(it->block->next());
            continue;
        }
        if (it->chain >= nyxNetlistView::kChains - 1) {
            it->chain = nyxNetlistView::kChains;
            it->block = nullptr;
            return {};
        }
        it->enter(it->view->chain(++it->chain).first);
    }
}

// Most steps stay inside a block: that path makes no call.
inline nyxObjRef nextViewNet(ViewNetIter *it) {
    if (it->block != nullptr && it->want) {
        nyxObjRef r = nextInBlock(it);
        if (r.obj != nullptr) return r;
    }
    return nextViewNetAfterBlock(it);
}

nyxObjRef nextMember(MemberIter *it) {
    while (!it->stack.empty()) {
        auto &top = it->stack.back();
        if (top.second >= top.first->size()) {
            it->stack.pop_back();
            continue;
        }
        void *m = top.first->member(top.second++);
        int32_t code = nyxNet::code(m);
        // Mode 3 stays at the top level; the others descend into member groups.
        if (it->mode != cfidrTopLevelIterMode && code != nyxCodeNetScalar &&
            it->stack.size() < kMaxDepth) {
            it->stack.emplace_back(static_cast<nyxNetBundle *>(m), 0);
        }
        if (wanted(it->mode, code)) return {m, code, 0};
    }
    return {};
}

// A group that goes while a depth-first walk stands in it: the walk continues after it in the
// group above (the root's own going ends the iterator instead).
void forgetGroup(nyxIter *it, const void *gone) {
    auto &stack = static_cast<MemberIter *>(it)->stack;
    for (size_t i = 1; i < stack.size(); ++i) {
        if (stack[i].first == gone) {
            stack.resize(i);
            return;
        }
    }
}

// A listed object that goes is dropped: its entry becomes null and stepping skips it.
void forgetItem(nyxIter *it, const void *gone) {
    for (nyxObjRef &r : static_cast<ListIter *>(it)->items) {
        if (r.obj == gone) r.obj = nullptr;
    }
}

// Every net iterator lives in `view` and ends with it; `anchor` is the net whose own
// destruction ends it as well (null for the walk over the view's nets).
template <class T, int N>
T *make(nyxIterCache<T, N> &cache, cfidrErrorT *err, nyxNetlistView *home, const void *anchor, auto &&...args) {
    T *it = cache.make(args...);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = home;
    it->anchor = anchor;
    if constexpr (std::is_same_v<T, MemberIter>) it->forget = forgetGroup;
    if constexpr (std::is_same_v<T, ListIter>) it->forget = forgetItem;
    return it;
}

void addOnce(std::vector<nyxObjRef> &items, void *obj, int32_t code) {
    for (const nyxObjRef &r : items) {
        if (r.obj == obj) return;
    }
    items.push_back({obj, code, 0});
}

// Scalar members at any depth of a net, the net itself when it is a scalar.
void scalarsOf(void *net, std::vector<void *> &out, size_t depth) {
    if (depth > kMaxDepth) return;
    if (nyxNet::code(net) == nyxCodeNetScalar) return out.push_back(net);
    auto *g = static_cast<nyxNetBundle *>(net);
    for (int32_t i = 0; i < g->size(); ++i) scalarsOf(g->member(i), out, depth + 1);
}

} // namespace

namespace nyxNet {

nyxIter *viewNets(nyxNetlistView *view, int32_t mode, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return nullptr;
    return make(g_viewIters, err, view, nullptr, view, mode);
}

nyxIter *members(nyxNetBundle *group, int32_t mode, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view(group), err)) return nullptr;
    return make(g_memberIters, err, view(group), group, group, mode);
}

nyxIter *connections(void *net, const nyxConnSide &side, cfidrErrorT *err) {
    ListIter *it = make(g_listIters, err, view(net), net);
    if (it == nullptr) return nullptr;
    std::vector<void *> scalars;
    scalarsOf(net, scalars, 0);
    bool group = code(net) != nyxCodeNetScalar;
    for (void *s : scalars) {
        auto *ns = static_cast<nyxNetScalar *>(s);
        for (int32_t i = 0; i < static_cast<int32_t>(ns->d_connCount); ++i) {
            bool isPort = false;
            void *obj = nyxNetScalar::connectionAt(ns, i, &isPort);
            if (isPort != side.isPort) continue;
            if (!group) {
                it->items.push_back({obj, side.scalarCode, 0});
                continue;
            }
            // A group lists the groups above the connected scalars, at any depth, each once.
            int32_t ownerCode = 0;
            size_t up = 0;
            for (void *o = side.owner(obj, &ownerCode); o != nullptr && up < kMaxDepth; o = side.owner(o, &ownerCode), ++up) {
                addOnce(it->items, o, ownerCode);
            }
        }
    }
    return it;
}

nyxIter *netBundles(void *net, cfidrErrorT *err) {
    ListIter *it = make(g_listIters, err, view(net), net);
    if (it == nullptr) return nullptr;
    std::vector<void *> groups;
    getAllNetBundles(net, groups);
    for (void *g : groups) it->items.push_back({g, code(g), 0});
    return it;
}

nyxIter *aliases(void *net, cfidrErrorT *err) {
    ListIter *it = make(g_listIters, err, view(net), net);
    if (it == nullptr) return nullptr;
    for (auto *a = static_cast<nyxNetAlias *>(view(net)->aliasHead(net)); a != nullptr; a = a->d_next) {
        it->items.push_back({a, nyxCodeNetAlias, 0});
    }
    return it;
}

} // namespace nyxNet

namespace {

// The walk over a view's nets is the hot one: its step within a block makes no call.
nyxObjRef viewNetNext(nyxIter *it, cfidrErrorT *) {
    return nextViewNet(static_cast<ViewNetIter *>(it));
}
void viewNetReset(nyxIter *it) { static_cast<ViewNetIter *>(it)->rewind(); }
void viewNetQuit(nyxIter *it) { g_viewIters.release(static_cast<ViewNetIter *>(it)); }

nyxObjRef memberNext(nyxIter *it, cfidrErrorT *) {
    return nextMember(static_cast<MemberIter *>(it));
}
void memberReset(nyxIter *it) { static_cast<MemberIter *>(it)->rewind(); }
void memberQuit(nyxIter *it) { g_memberIters.release(static_cast<MemberIter *>(it)); }

nyxObjRef listNext(nyxIter *it, cfidrErrorT *) {
    auto *li = static_cast<ListIter *>(it);
    while (li->pos < li->items.size()) {
        const nyxObjRef &r = li->items[li->pos++];
        if (r.obj != nullptr) return r;
    }
    return {};
}
void listReset(nyxIter *it) { static_cast<ListIter *>(it)->pos = 0; }
void listQuit(nyxIter *it) { g_listIters.release(static_cast<ListIter *>(it)); }

constinit const nyxIterOps kViewNetOps = {viewNetNext, viewNetReset, viewNetQuit};
constinit const nyxIterOps kMemberOps = {memberNext, memberReset, memberQuit};
constinit const nyxIterOps kListOps = {listNext, listReset, listQuit};

} // namespace
