// The class rows of port-instance bundles, buses and scalars (nyxPortInstBundleOps,
// nyxPortInstBusOps, nyxPortInstScalarOps): properties kept in the view's table, the refusal to
// be destroyed on their own, and the iterators over port instances and over the net groups that
// hold their nets.
#include <vector>

#include "dm/netlist/portinstInt.h"
#include "dm/prop/prop.h"

using namespace nyxPortInstInt;

namespace nyxPortInst {
namespace {

// Iterators take their list when they are made: the tree of an instance never changes shape, and
// stepping then reads nothing that an edit could have freed.
// The getters of the class rows, which only the withdrawal of identifiers calls right before a
// destruction or purge, step over the direct port instances in place instead (`root` set).
nyxObjRef iterNext(nyxIter *it, cfidrErrorT *err);
void iterReset(nyxIter *it);
void iterQuit(nyxIter *it);
constexpr nyxIterOps kIterOps = {iterNext, iterReset, iterQuit};

struct nyxPortInstIter : nyxIter {
    std::vector<nyxObjRef> items;
    size_t index = 0;
    void *root = nullptr;  // the instance or group stepped in place, or null
    bool rootIsInst = false;

    nyxPortInstIter() : nyxIter(kIterOps) {}
};
nyxIterCache<nyxPortInstIter, 4> g_iters;

bool wanted(int32_t mode, int32_t c) {
    switch (mode) {
    case cfidrScalarIterMode: return c == nyxCodePortInstScalar;
    case cfidrBundleIterMode: return c != nyxCodePortInstScalar;
    case cfidrTopLevelIterMode:
    case cfidrAllIterMode: return true;
    default: return false;
    }
}

// Appends the port instance and, unless only direct members are wanted, everything below it in
// pre-order.
void collect(uintptr_t *word, int32_t mode, std::vector<nyxObjRef> &out, int depth) {
    int32_t c = code(word);
    if (wanted(mode, c)) out.push_back({word, c, 0});
    if (mode == cfidrTopLevelIterMode || c == nyxCodePortInstScalar || depth > kMaxDepth) return;
    forEachMember(word, [&](uintptr_t *m) { collect(m, mode, out, depth + 1); });
}

// A listed object that goes (a port instance with its instance, a net group destroyed) is
// dropped from the list: its entry becomes null and stepping skips it.
void forgetItem(nyxIter *it, const void *gone) {
    for (nyxObjRef &r : static_cast<nyxPortInstIter *>(it)->items) {
        if (r.obj == gone) r.obj = nullptr;
    }
}

// The list is taken from `anchor` (an instance or a port-instance group) of `view`: the
// iterator ends when either goes.
template <class F> nyxIter *makeIter(nyxNetlistView *view, const void *anchor, F &&fill, cfidrErrorT *err) {
    nyxPortInstIter *it = g_iters.make();
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    try {
        fill(it->items);
    } catch (...) {
        g_iters.release(it);
        return *err = cfidrErrInternal, nullptr;
    }
    it->home = view;
    it->anchor = anchor;
    it->forget = forgetItem;
    return it;
}

// --- Class rows ------------------------------------------------------------------------------------

bool readOnly(const void *owner, uint32_t) {
    nyxNetlistView *v = view(owner);
    return v == nullptr || v->readOnly();
}

nyxObjRef createProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxNetlistView *v = view(obj);
    if (v == nullptr) return *err = cfidrErrInternal, nyxObjRef{};
    if (!nyx::trustedData() && v->readOnly()) return *err = cfidrErrNotOpenForUpdate, nyxObjRef{};
    nyxPropList **list = v->propsOnPortInst(obj, true);
    if (list == nullptr) return *err = cfidrErrInternal, nyxObjRef{};
    nyxPropOwner owner = {obj, 0, code(obj), v->viewHeap(), readOnly};
    nyxObjRef r = nyxPropCreate(*list, owner, name, err);
    if (*list != nullptr && !isGroup(obj)) *static_cast<uintptr_t *>(obj) |= kPropsBit;
    return r;
}
nyxObjRef findProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(props(obj), name, err);
}
nyxIter *getProps(void *obj, uint32_t, cfidrErrorT *err) { return nyxPropGetProps(props(obj), err); }
// A port instance lives and dies with its instance.
void refuseDestroy(void *, uint32_t, cfidrErrorT *err) { *err = cfidrErrIllegalOperation; }
nyxIter *inPlace(void *root, bool isInst, cfidrErrorT *err) {
    nyxPortInstIter *it = g_iters.make();
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->root = root;
    it->rootIsInst = isInst;
    it->anchor = root;
    it->home = isInst ? static_cast<nyxInst *>(root)->view() : view(root);
    return it;
}
nyxIter *membersGetter(void *obj, uint32_t, cfidrErrorT *err) { return inPlace(obj, false, err); }

constexpr nyxClassOps makeOps(bool group) {
    nyxClassOps ops{};
    ops.createProp = createProp;
    ops.destroy = refuseDestroy;
    ops.findPropByName = findProp;
    ops.getters[nyxIterProp] = getProps;
    if (group) ops.getters[nyxIterPortInst] = membersGetter;
    return ops;
}

} // namespace

// --- Iterators -----------------------------------------------------------------------------------------

nyxIter *instPortInsts(nyxInst *inst, int32_t mode, cfidrErrorT *err) {
    return makeIter(inst->view(), inst, [&](std::vector<nyxObjRef> &out) {
        for (int32_t i = 0, n = inst->slotCount(); i < n; ++i) collect(inst->slot(i), mode, out, 0);
    }, err);
}

nyxIter *groupPortInsts(void *group, int32_t mode, cfidrErrorT *err) {
    return makeIter(view(group), group, [&](std::vector<nyxObjRef> &out) {
        forEachMember(group, [&](uintptr_t *m) { collect(m, mode, out, 0); });
    }, err);
}

nyxIter *instGetter(void *inst, uint32_t, cfidrErrorT *err) { return inPlace(inst, true, err); }

nyxIter *netBundles(void *group, cfidrErrorT *err) {
    return makeIter(view(group), group, [&](std::vector<nyxObjRef> &out) {
        std::vector<nyxObjRef> scalars;
        forEachMember(group, [&](uintptr_t *m) { collect(m, cfidrScalarIterMode, scalars, 0); });
        std::vector<void *> nets;
        for (const nyxObjRef &s : scalars) {
            if (nyxNetScalar *n = net(s.obj)) nyxNet::getAllNetBundles(n, nets);
        }
        for (void *n : nets) out.push_back({n, nyxNet::code(n), 0});
    }, err);
}

namespace {

nyxObjRef iterNext(nyxIter *it, cfidrErrorT *) {
    auto *pi = static_cast<nyxPortInstIter *>(it);
    if (pi->root != nullptr) {
        auto *inst = static_cast<nyxInst *>(pi->root);
        int32_t i = static_cast<int32_t>(pi->index);
        if (i >= (pi->rootIsInst ? inst->slotCount() : size(pi->root))) return {};
        uintptr_t *word = pi->rootIsInst ? inst->slot(i) : member(pi->root, i);
        ++pi->index;
        return word != nullptr ? nyxObjRef{word, code(word), 0} : nyxObjRef{};
    }
    while (pi->index < pi->items.size()) {
        const nyxObjRef &r = pi->items[pi->index++];
        if (r.obj != nullptr) return r;
    }
    return {};
}

void iterQuit(nyxIter *it) { g_iters.release(static_cast<nyxPortInstIter *>(it)); }

void iterReset(nyxIter *it) { static_cast<nyxPortInstIter *>(it)->index = 0; }

} // namespace

} // namespace nyxPortInst

extern constinit const nyxClassOps nyxPortInstBundleOps = nyxPortInst::makeOps(true);
extern constinit const nyxClassOps nyxPortInstBusOps = nyxPortInst::makeOps(true);
extern constinit const nyxClassOps nyxPortInstScalarOps = nyxPortInst::makeOps(false);
