// The full port order of a view (cached positions, count, lookup by position) and the port
// iterators.
#include <vector>

#include "dm/netlist/net.h"
#include "dm/netlist/portInt.h"
#include "dm/netlist/view.h"

namespace {

// The full order of the view walked last, as an array, so that a run of lookups by position costs
// one walk. It is trusted only while it was built for the same view and no view of the session
// was edited since (the session-wide view version has not moved); otherwise the next lookup walks
// again. It holds addresses only and is never read for another view.
struct OrderCache {
    const nyxNetlistView *view = nullptr;
    uint32_t version = 0;
    std::vector<nyxPort *> order;
};
OrderCache g_order;

// One walk: numbers every port and records the order. False when memory ran out (positions are
// then left stale and the cache forgotten).
bool walkOrder(nyxNetlistView *view) {
    g_order.view = nullptr;
    g_order.order.clear();
    nyxPortCursor cursor;
    cursor.start(&view->ports(), true);
    cfidrErrorT e = 0;
    int32_t pos = 0;
    bool recorded = true;
    while (nyxPort *p = cursor.next(&e)) {
        p->d_viewPosition = pos++;
        if (recorded) {
            try {
                g_order.order.push_back(p);
            } catch (...) {
                recorded = false;
            }
        }
    }
    if (e != 0) return false;
    view->d_portPositionsValid = 1;
    if (recorded) {
        g_order.view = view;
        g_order.version = nyxSettings::getViewVersion();
    } else {
        g_order.order.clear();
    }
    return true;
}

bool cacheCurrent(const nyxNetlistView *view) {
    return g_order.view == view && g_order.version == nyxSettings::getViewVersion() &&
           view->d_portPositionsValid != 0;
}

} // namespace

void nyxPortRefreshPositions(nyxNetlistView *view) {
    if (view->d_portPositionsValid == 0) walkOrder(view);
}

int32_t nyxPort::getPositionInView(nyxPort *port) {
    nyxNetlistView *view = getOwningView(port);
    if (view == nullptr) return -1;
    nyxPortRefreshPositions(view);
    return view->d_portPositionsValid != 0 ? port->d_viewPosition : -1;
}

int32_t nyxPortViewCount(nyxNetlistView *view, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return 0;
    nyxPortRefreshPositions(view);
    if (view->d_portPositionsValid == 0) return *err = cfidrErrInternal, 0;
    // The last port of the full order is the last member of the last member ... of the last
    // top-level port.
    const nyxDynArray *list = &view->ports();
    nyxPort *last = nullptr;
    while (list->nitems() > 0) {
        last = static_cast<nyxPort *>((*list)[list->nitems() - 1]);
        if (last == nullptr || !last->isGroup()) break;
        list = &static_cast<nyxPortBundle *>(last)->members();
    }
    return last != nullptr ? last->d_viewPosition + 1 : 0;
}

nyxObjRef nyxPortViewFindByPosition(nyxNetlistView *view, int32_t position, cfidrErrorT *err) {
    nyxObjRef none;
    if (!nyxNetlistView::load(view, err)) return none;
    if (!cacheCurrent(view) && !walkOrder(view)) return *err = cfidrErrInternal, none;
    if (g_order.view != view) return *err = cfidrErrInternal, none;
    if (position < 0 || static_cast<size_t>(position) >= g_order.order.size()) return none;
    nyxPort *p = g_order.order[static_cast<size_t>(position)];
    return {p, p->d_code, 0};
}

// --- Iterators -------------------------------------------------------------------------------------

namespace {

extern const nyxIterOps kPortIterOps, kNetBundleIterOps;

// Ports may be edited while an iterator walks them: the cursor follows the view's edit counter.
struct nyxPortIter : nyxIter {
    const nyxDynArray *root;
    const int32_t *version;
    int32_t mode;
    nyxPortCursor cursor;

    nyxPortIter(const nyxDynArray *r, const int32_t *v, int32_t m)
        : nyxIter(kPortIterOps), root(r), version(v), mode(m) {
        rewind();
    }
    void rewind() {
        const bool known = mode >= cfidrScalarIterMode && mode <= cfidrAllIterMode;
        cursor.start(known ? root : nullptr, mode != cfidrTopLevelIterMode, version);
    }
};
nyxIterCache<nyxPortIter, 4> g_portIters;

// The iterator walks `root`, the port list of the view or of the group `anchor`, and ends
// when either goes.
nyxIter *makePortIter(const nyxDynArray *root, nyxNetlistView *view, const void *anchor, int32_t mode,
                      cfidrErrorT *err) {
    nyxPortIter *it = g_portIters.make(root, view != nullptr ? &view->d_version : nullptr, mode);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = view;
    it->anchor = anchor;
    return it;
}

} // namespace

nyxIter *nyxPortViewGetPorts(nyxNetlistView *view, int32_t mode, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return nullptr;
    return makePortIter(&view->ports(), view, nullptr, mode, err);
}

nyxIter *nyxPortBundleGetPorts(nyxPortBundle *group, int32_t mode, cfidrErrorT *err) {
    return makePortIter(&group->members(), group->d_view, group, mode, err);
}

nyxIter *nyxPortViewPortsGetter(void *view, uint32_t, cfidrErrorT *err) {
    // Withdrawal of identifiers walks what memory holds: an unloaded view has no ports yet.
    nyxNetlistView *v = static_cast<nyxNetlistView *>(view);
    return makePortIter(&v->ports(), v, nullptr, cfidrTopLevelIterMode, err);
}

// --- Net bundles of a port group -------------------------------------------------------------------

namespace {

// The containing net groups are collected when the iterator is made; stepping hands them out.
struct nyxPortNetBundleIter : nyxIter {
    std::vector<void *> nets;
    size_t index = 0;

    nyxPortNetBundleIter() : nyxIter(kNetBundleIterOps) {}
};
nyxIterCache<nyxPortNetBundleIter, 1> g_netBundleIters;

// A listed net group that is destroyed is dropped: its entry becomes null and stepping skips it.
void forgetNet(nyxIter *it, const void *gone) {
    for (void *&net : static_cast<nyxPortNetBundleIter *>(it)->nets) {
        if (net == gone) net = nullptr;
    }
}

} // namespace

nyxIter *nyxPortBundleGetNetBundles(nyxPortBundle *group, cfidrErrorT *err) {
    nyxPortNetBundleIter *it = g_netBundleIters.make();
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = group->d_view;
    it->anchor = group;
    it->forget = forgetNet;
    nyxPortCursor cursor;
    cursor.start(&group->members(), true);
    try {
        while (nyxPort *p = cursor.next(err)) {
            if (!p->isScalar()) continue;
            void *net = static_cast<nyxPortScalar *>(p)->net();
            if (net != nullptr) nyxNet::getAllNetBundles(net, it->nets);
        }
    } catch (...) {
        *err = cfidrErrInternal;
    }
    if (*err != 0) {
        g_netBundleIters.release(it);
        return nullptr;
    }
    return it;
}

// --- Operations of both iterators ----------------------------------------------------------------

namespace {

nyxObjRef portNext(nyxIter *it, cfidrErrorT *err) {
    nyxPortIter *pi = static_cast<nyxPortIter *>(it);
    while (nyxPort *p = pi->cursor.next(err)) {
        if (pi->mode == cfidrScalarIterMode && !p->isScalar()) continue;
        if (pi->mode == cfidrBundleIterMode && !p->isGroup()) continue;
        return {p, p->d_code, 0};
    }
    return {};
}

void portQuit(nyxIter *it) { g_portIters.release(static_cast<nyxPortIter *>(it)); }

void portReset(nyxIter *it) { static_cast<nyxPortIter *>(it)->rewind(); }

nyxObjRef netBundleNext(nyxIter *it, cfidrErrorT *) {
    nyxPortNetBundleIter *ni = static_cast<nyxPortNetBundleIter *>(it);
    while (ni->index < ni->nets.size()) {
        void *net = ni->nets[ni->index++];
        if (net != nullptr) return {net, nyxNet::code(net), 0};
    }
    return {};
}

void netBundleQuit(nyxIter *it) {
    g_netBundleIters.release(static_cast<nyxPortNetBundleIter *>(it));
}

void netBundleReset(nyxIter *it) { static_cast<nyxPortNetBundleIter *>(it)->index = 0; }

constinit const nyxIterOps kPortIterOps = {portNext, portReset, portQuit};
constinit const nyxIterOps kNetBundleIterOps = {netBundleNext, netBundleReset, netBundleQuit};

} // namespace
