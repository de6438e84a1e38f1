// Net buses and bundles as groups: membership, lookups among members and the containing groups
// of a net.
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "dm/netlist/net.h"

namespace nyxNet {
namespace {

// Puts `net` into `group`'s member list at `position` (appends when out of range), without
// checks or bookkeeping; false when the group count or the list cannot grow (nothing changed).
bool place(nyxNetBundle *group, void *net, int32_t position);

size_t membersBytes(int32_t capacity) {
    return sizeof(nyxNetMembers) + sizeof(void *) * static_cast<size_t>(capacity - 1);
}

bool holds(const nyxNetBundle *g, const void *net) {
    for (int32_t i = 0; i < g->size(); ++i) {
        if (g->member(i) == net) return true;
    }
    return false;
}

bool nameOk(const char *name, cfidrErrorT *err) {
    if (name == nullptr || (!nyx::trustedProgram() && !nyxNetlistView::validString(name))) {
        return *err = cfidrErrBadName, false;
    }
    return true;
}

// Longest chain of steps from `root` through `next` (children of a node: count(node) and
// child(node, i)); a node without children ends a chain. Memoised, so that nets held by several
// groups are walked once; cap + 1 as soon as the chain is longer than `cap`, or on a loop (which
// only trusted data mode lets in).
template <class Count, class Child>
int32_t longestChain(const void *root, Count count, Child child, int32_t cap) {
    if (count(root) == 0) return 0;
    struct Frame {
        const void *node;
        int32_t next;
        int32_t best;
    };
    std::unordered_map<const void *, int32_t> done;  // -1 while on the walk's path
    std::vector<Frame> path{{root, 0, 0}};
    done[root] = -1;
    for (;;) {
        Frame &f = path.back();
        if (f.next < count(f.node)) {
            const void *c = child(f.node, f.next++);
            int32_t below = 0;
            if (count(c) > 0) {
                auto it = done.find(c);
                if (it == done.end()) {
                    if (static_cast<int32_t>(path.size()) > cap) return cap + 1;
                    done[c] = -1;
                    path.push_back({c, 0, 0});
                    continue;
                }
                if (it->second < 0) return cap + 1;
                below = it->second;
            }
            f.best = std::max(f.best, below + 1);
            if (f.best > cap) return cap + 1;
            continue;
        }
        const int32_t height = f.best;
        done[f.node] = height;
        path.pop_back();
        if (path.empty()) return height;
        path.back().best = std::max(path.back().best, height + 1);
        if (path.back().best > cap) return cap + 1;
    }
}

// Steps from `net` down to its deepest member.
int32_t nestingBelow(const void *net, int32_t cap) {
    auto count = [](const void *n) { return isGroup(n) ? static_cast<const nyxNetBundle *>(n)->size() : 0; };
    auto child = [](const void *n, int32_t i) -> const void * { return static_cast<const nyxNetBundle *>(n)->member(i); };
    return longestChain(net, count, child, cap);
}

// Steps from `group` up to the outermost group that holds it. The groups that hold each group
// are gathered by one pass over the view's groups.
int32_t nestingAbove(const nyxNetBundle *group, int32_t cap) {
    if (group->d_groupCount == 0) return 0;
    std::unordered_map<const void *, std::vector<const void *>> holders;
    nyxNetlistView *v = view(group);
    for (int32_t k : {nyxNetlistView::kBundleChain, nyxNetlistView::kBusChain}) {
        for (nyxListBlock *b = v->chain(k).first; b != nullptr; b = b->next()) {
            for (int32_t i = 0; i < b->highWater(); ++i) {
                auto *g = static_cast<nyxNetBundle *>(b->objectAt(i));
                if ((g->d_flags & nyxNetHead::kLive) == 0) continue;
                for (int32_t j = 0; j < g->size(); ++j) {
                    if (isGroup(g->member(j))) holders[g->member(j)].push_back(g);
                }
            }
        }
    }
    auto count = [&](const void *n) {
        auto it = holders.find(n);
        return it == holders.end() ? 0 : static_cast<int32_t>(it->second.size());
    };
    auto child = [&](const void *n, int32_t i) { return holders.find(n)->second[static_cast<size_t>(i)]; };
    return longestChain(group, count, child, cap);
}

} // namespace

void getAllNetBundles(void *net, std::vector<void *> &out) {
    nyxNetlistView *v = view(net);
    std::vector<void *> work{net};
    for (size_t w = 0; w < work.size(); ++w) {
        const void *q = work[w];
        if (static_cast<const nyxNetHead *>(q)->d_groupCount == 0) continue;
        for (int32_t k : {nyxNetlistView::kBundleChain, nyxNetlistView::kBusChain}) {
            for (nyxListBlock *b = v->chain(k).first; b != nullptr; b = b->next()) {
                for (int32_t i = 0; i < b->highWater(); ++i) {
                    auto *g = static_cast<nyxNetBundle *>(b->objectAt(i));
                    if ((g->d_flags & nyxNetHead::kLive) == 0 || !holds(g, q)) continue;
                    if (std::find(out.begin(), out.end(), g) != out.end()) continue;
                    out.push_back(g);
                    work.push_back(g);
                }
            }
        }
    }
}

void insertNet(nyxNetBundle *group, void *net, int32_t position, cfidrErrorT *err) {
    nyxNetlistView *v = view(group);
    if (!nyxNetlistView::load(v, err)) return;
    if (!nyx::trustedData()) {
        if (v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
        if (view(net) != v) return (void)(*err = cfidrErrNotSameView);
        if (net == group) return (void)(*err = cfidrErrRecursiveBundle);
        if (isGroup(net)) {
            std::vector<void *> holders;
            getAllNetBundles(group, holders);
            if (std::find(holders.begin(), holders.end(), net) != holders.end()) {
                return (void)(*err = cfidrErrRecursiveBundle);
            }
        }
        // Only a group member, or a first member of a group, can make a chain of groups longer,
        // and only in a view with more groups than the deepest chain may hold (every step of a
        // chain leaves a group; slots bound the live groups from above).
        const int32_t groupSlots = v->chain(nyxNetlistView::kBundleChain).blocks * nyxNetlistView::kBundleSlots +
                                   v->chain(nyxNetlistView::kBusChain).blocks * nyxNetlistView::kBusSlots;
        if ((isGroup(net) || group->size() == 0) && groupSlots > kMaxNesting) {
            const int32_t above = nestingAbove(group, kMaxNesting);
            const int32_t below = isGroup(net) ? nestingBelow(net, kMaxNesting) : 0;
            if (above + 1 + below > kMaxNesting) return (void)(*err = cfidrErrRecursiveBundle);
        }
    }
    if (!place(group, net, position)) return (void)(*err = cfidrErrInternal);
    nyxNetlistView::viewChanged(v);
}

bool buildMember(nyxNetBundle *group, void *net) { return place(group, net, INT32_MAX); }

namespace {

bool place(nyxNetBundle *group, void *net, int32_t position) {
    nyxNetlistView *v = view(group);
    auto *head = static_cast<nyxNetHead *>(net);
    // The group count is 16 bits wide: a net held by more lists than that is refused.
    if (head->d_groupCount == 0xffff) return false;
    nyxNetMembers *m = group->d_members;
    int32_t size = group->size();
    if (m == nullptr || m->count == m->capacity) {
        if (size >= (1 << 28)) return false;
        int32_t cap = m == nullptr ? 4 : m->capacity * 2;
        auto *grown = static_cast<nyxNetMembers *>(v->viewHeap()->allocBlock(membersBytes(cap)));
        if (grown == nullptr) return false;
        grown->count = size;
        grown->capacity = cap;
        if (m != nullptr) {
            std::memcpy(grown->items, m->items, sizeof(void *) * static_cast<size_t>(size));
            v->viewHeap()->freeBlock(m, membersBytes(m->capacity));
        }
        group->d_members = m = grown;
    }
    int32_t at = position >= 0 && position < size ? position : size;
    std::memmove(m->items + at + 1, m->items + at, sizeof(void *) * static_cast<size_t>(size - at));
    m->items[at] = net;
    ++m->count;
    ++head->d_groupCount;
    return true;
}

} // namespace

void removeNet(nyxNetBundle *group, int32_t position, cfidrErrorT *err) {
    nyxNetlistView *v = view(group);
    if (!nyxNetlistView::load(v, err)) return;
    if (!nyx::trustedData() && v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    int32_t size = group->size();
    if (position < 0 || position >= size) return (void)(*err = cfidrErrBadPosition);
    nyxNetMembers *m = group->d_members;
    auto *head = static_cast<nyxNetHead *>(m->items[position]);
    if (head->d_groupCount > 0) --head->d_groupCount;
    std::memmove(m->items + position, m->items + position + 1, sizeof(void *) * static_cast<size_t>(size - position - 1));
    --m->count;
    nyxNetlistView::viewChanged(v);
}

nyxObjRef findMemberByName(nyxNetBundle *group, const char *name, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view(group), err) || !nameOk(name, err)) return {};
    for (int32_t i = 0; i < group->size(); ++i) {
        void *m = group->member(i);
        if (std::strcmp(nyxNet::name(m), name) == 0) return {m, code(m), 0};
    }
    return *err = cfidrErrNotFound, nyxObjRef{};
}

nyxObjRef findMemberByPosition(nyxNetBundle *group, int32_t position, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view(group), err)) return {};
    if (position < 0 || position >= group->size()) return *err = cfidrErrBadPosition, nyxObjRef{};
    void *m = group->member(position);
    return {m, code(m), 0};
}

nyxObjRef findNetBundleByName(void *net, const char *name, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view(net), err) || !nameOk(name, err)) return {};
    std::vector<void *> groups;
    getAllNetBundles(net, groups);
    for (void *g : groups) {
        if (std::strcmp(nyxNet::name(g), name) == 0) return {g, code(g), 0};
    }
    return *err = cfidrErrNotFound, nyxObjRef{};
}

} // namespace nyxNet
