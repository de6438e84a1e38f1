// Iterators over nets: the nets of a view and the members of a group by iteration mode, and
// lists made when the iterator is made (connections, containing groups, aliases).
//
// Modes: 1 net scalars, 2 buses and bundles, 3 top level (view: nets in no group; group: its
// direct members), 4 everything. Group members are walked depth first, each group before its
// members.
#include <algorithm>
#include <vector>

#include "dm/net.h"

namespace {

enum Sub : int32_t { kViewNets = 1, kMembers = 2, kList = 3 };

struct NetIterBase : nyxIter {
    int32_t sub;
    explicit NetIterBase(int32_t s) : nyxIter(nyxNet::kIterType), sub(s) {}
};

struct ViewNetIter : NetIterBase {
    nyxNetlistView *view;
    int32_t mode;
    int32_t chain = 0;
    nyxListBlock *block;
    int32_t slot = 0;
    ViewNetIter(nyxNetlistView *v, int32_t m) : NetIterBase(kViewNets), view(v), mode(m), block(v->chain(0).first) {}
    void rewind() {
        chain = 0;
        block = view->chain(0).first;
        slot = 0;
    }
};

struct MemberIter : NetIterBase {
    nyxNetBundle *root;
    int32_t mode;
    std::vector<std::pair<nyxNetBundle *, int32_t>> stack;
    MemberIter(nyxNetBundle *g, int32_t m) : NetIterBase(kMembers), root(g), mode(m) { stack.emplace_back(g, 0); }
};

struct ListIter : NetIterBase {
    std::vector<nyxObjRef> items;
    size_t pos = 0;
    ListIter() : NetIterBase(kList) {}
};

nyxIterCache<ViewNetIter, 2> g_viewIters;
nyxIterCache<MemberIter, 1> g_memberIters;
nyxIterCache<ListIter, 2> g_listIters;

// Deeper nesting than this is a cycle let in by trusted data mode.
constexpr size_t kMaxDepth = 1024;

bool wanted(int32_t mode, int32_t code) {
    switch (mode) {
    case 1: return code == nyxCodeNetScalar;
    case 2: return code != nyxCodeNetScalar;
    default: return true;
    }
}

nyxObjRef nextViewNet(ViewNetIter *it) {
    // Chains in order: scalars, bundles, buses; mode 1 needs only the first, mode 2 the others.
    static constexpr int32_t kChainCode[3] = {nyxCodeNetScalar, nyxCodeNetBundle, nyxCodeNetBus};
    for (;;) {
        while (it->block == nullptr) {
            if (++it->chain >= nyxNetlistView::kChains) return {};
            it->block = it->view->chain(it->chain).first;
            it->slot = 0;
        }
        if (!wanted(it->mode, kChainCode[it->chain])) {
            it->block = nullptr;
            continue;
        }
        nyxListBlock *b = it->block;
        int32_t high = b->highWater();
        while (it->slot < high) {
            auto *net = static_cast<nyxNetHead *>(b->objectAt(it->slot++));
            if ((net->d_flags & nyxNetHead::kLive) == 0) continue;
            if (it->mode == 3 && net->d_groupCount != 0) continue;
            return {net, kChainCode[it->chain], 0};
        }
        it->block = b->next();
        it->slot = 0;
    }
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
        if (it->mode != 3 && code != nyxCodeNetScalar && it->stack.size() < kMaxDepth) {
            it->stack.emplace_back(static_cast<nyxNetBundle *>(m), 0);
        }
        if (wanted(it->mode, code)) return {m, code, 0};
    }
    return {};
}

template <class T, int N> T *make(nyxIterCache<T, N> &cache, cfidrErrorT *err, auto &&...args) {
    T *it = cache.make(args...);
    if (it == nullptr) *err = 4;
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
    return make(g_viewIters, err, view, mode);
}

nyxIter *members(nyxNetBundle *group, int32_t mode, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view(group), err)) return nullptr;
    return make(g_memberIters, err, group, mode);
}

nyxIter *connections(void *net, const nyxConnSide &side, cfidrErrorT *err) {
    ListIter *it = make(g_listIters, err);
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
    ListIter *it = make(g_listIters, err);
    if (it == nullptr) return nullptr;
    std::vector<void *> groups;
    getAllNetBundles(net, groups);
    for (void *g : groups) it->items.push_back({g, code(g), 0});
    return it;
}

nyxIter *aliases(void *net, cfidrErrorT *err) {
    ListIter *it = make(g_listIters, err);
    if (it == nullptr) return nullptr;
    for (auto *a = static_cast<nyxNetAlias *>(view(net)->aliasHead(net)); a != nullptr; a = a->d_next) {
        it->items.push_back({a, nyxCodeNetAlias, 0});
    }
    return it;
}

nyxObjRef iterNext(nyxIter *it, cfidrErrorT *) {
    if (it->type != kIterType) return {};
    switch (static_cast<NetIterBase *>(it)->sub) {
    case kViewNets: return nextViewNet(static_cast<ViewNetIter *>(it));
    case kMembers: return nextMember(static_cast<MemberIter *>(it));
    default: {
        auto *li = static_cast<ListIter *>(it);
        return li->pos < li->items.size() ? li->items[li->pos++] : nyxObjRef{};
    }
    }
}

void iterQuit(nyxIter *it) {
    switch (static_cast<NetIterBase *>(it)->sub) {
    case kViewNets: return g_viewIters.release(static_cast<ViewNetIter *>(it));
    case kMembers: return g_memberIters.release(static_cast<MemberIter *>(it));
    default: return g_listIters.release(static_cast<ListIter *>(it));
    }
}

void iterReset(nyxIter *it) {
    switch (static_cast<NetIterBase *>(it)->sub) {
    case kViewNets: return static_cast<ViewNetIter *>(it)->rewind();
    case kMembers: {
        auto *mi = static_cast<MemberIter *>(it);
        mi->stack.clear();
        mi->stack.emplace_back(mi->root, 0);
        return;
    }
    default: static_cast<ListIter *>(it)->pos = 0; return;
    }
}

} // namespace nyxNet
