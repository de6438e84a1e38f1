// Attaching and detaching ports and port instances to nets: scalar pairs, group pairs by
// position or by name with a dry run first, and detaching at any depth.
#include <algorithm>
#include <cstring>
#include <vector>

#include "dm/netlist/net.h"
#include "dm/netlist/port.h"

// --- The port side of connections -------------------------------------------------------------

namespace {

int32_t portCode(const void *obj) { return static_cast<const nyxPort *>(obj)->d_code; }
nyxNetlistView *portView(void *obj) { return nyxPort::getOwningView(static_cast<nyxPort *>(obj)); }
nyxNetScalar *portNet(const void *obj) { return static_cast<const nyxPortScalar *>(obj)->net(); }
void portSetNet(void *obj, nyxNetScalar *net) { static_cast<nyxPortScalar *>(obj)->setNet(net); }
const char *portName(const void *obj) { return static_cast<const nyxPort *>(obj)->name(); }
int32_t portSize(const void *g) { return static_cast<const nyxPortBundle *>(g)->size(); }
void *portMember(const void *g, int32_t i) { return static_cast<const nyxPortBundle *>(g)->member(i); }
void *portOwner(const void *obj, int32_t *code) {
    nyxPortBundle *g = static_cast<const nyxPort *>(obj)->ownerGroup();
    if (g != nullptr) *code = g->d_code;
    return g;
}

} // namespace

const nyxConnSide nyxPortSide = {true, nyxCodePortScalar, cfidrErrPortAttached,
                                 cfidrErrPortNotAttached, portCode, portView, portNet, portSetNet,
                                 portName, portSize, portMember, portOwner};

namespace nyxNet {
namespace {

// Deeper than any real nesting: a cycle that trusted data mode let in ends here.
constexpr int kMaxDepth = 1024;

bool isScalarOf(const nyxConnSide &side, const void *obj) { return side.code(obj) == side.scalarCode; }

// Runs f with trusted data mode on, restoring the mode bits afterwards.
template <class F> void trustedData(F &&f) {
    uint32_t saved = nyx::sessionFlags;
    nyx::sessionFlags |= nyx::kTrustedData;
    f();
    nyx::sessionFlags = saved;
}

// The pairs of a group attach: (net member, object member) by position or by exact name.
std::vector<std::pair<void *, void *>> pairsOf(const nyxNetBundle *net, const void *obj,
                                               const nyxConnSide &side, int32_t mode) {
    std::vector<std::pair<void *, void *>> pairs;
    int32_t nn = net->size(), no = side.size(obj);
    if (mode == cfidrPositionAttachMode) {
        for (int32_t i = 0; i < nn && i < no; ++i) pairs.emplace_back(net->member(i), side.member(obj, i));
        return pairs;
    }
    for (int32_t i = 0; i < no; ++i) {
        void *m = side.member(obj, i);
        const char *want = side.name(m);
        for (int32_t j = 0; j < nn; ++j) {
            if (std::strcmp(nyxNet::name(net->member(j)), want) == 0) {
                pairs.emplace_back(net->member(j), m);
                break;
            }
        }
    }
    return pairs;
}

// The dry run of a group attach: 38 for a scalar paired with a group, the side's "attached
// elsewhere" code for a scalar already on a net other than its partner.
cfidrErrorT checkAttachment(void *net, void *obj, const nyxConnSide &side, int32_t mode, int depth) {
    if (depth > kMaxDepth) return cfidrErrInternal;
    bool netScalar = code(net) == nyxCodeNetScalar, objScalar = isScalarOf(side, obj);
    if (netScalar != objScalar) return cfidrErrBundleToScalar;
    if (netScalar) {
        nyxNetScalar *on = side.net(obj);
        return on != nullptr && on != net ? side.attachedElsewhere : 0;
    }
    for (auto &p : pairsOf(static_cast<nyxNetBundle *>(net), obj, side, mode)) {
        cfidrErrorT e = checkAttachment(p.first, p.second, side, mode, depth + 1);
        if (e != 0) return e;
    }
    return 0;
}

// Records the pair on both sides; false when the connection could not be stored.
bool connect(nyxNetScalar *net, void *obj, const nyxConnSide &side) {
    if (!nyxNetScalar::addConnection(net, obj, side.isPort)) return false;
    side.setNet(obj, net);
    return true;
}

void attachScalar(nyxNetScalar *net, void *obj, const nyxConnSide &side, int32_t mode, cfidrErrorT *err) {
    nyxNetlistView *v = view(net);
    if (!nyx::trustedData()) {
        if (v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
        if (side.view(obj) != v) return (void)(*err = cfidrErrNotSameView);
        if (!isScalarOf(side, obj)) return (void)(*err = cfidrErrBundleToScalar);
        if (side.net(obj) != nullptr) return (void)(*err = side.attachedElsewhere);
        if (mode == cfidrNameAttachMode && std::strcmp(side.name(obj), name(net)) != 0) {
            return (void)(*err = cfidrErrNoNameMatch);
        }
    } else if (!isScalarOf(side, obj)) {
        return (void)(*err = cfidrErrBundleToScalar);
    }
    nyxNetlistView::viewChanged(v);
    nyxNetScalar *on = side.net(obj);
    if (on == net) return;
    if (on != nullptr) return (void)(*err = side.attachedElsewhere);
    if (!connect(net, obj, side)) *err = cfidrErrInternal;
}

// Depth of nested group attaches under way (calls are made one at a time).
int g_attachDepth = 0;

void attachGroup(nyxNetBundle *net, void *obj, const nyxConnSide &side, int32_t mode, cfidrErrorT *err) {
    nyxNetlistView *v = view(net);
    if (g_attachDepth > kMaxDepth) return (void)(*err = cfidrErrInternal);
    if (!nyx::trustedData()) {
        if (v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
        if (side.view(obj) != v) return (void)(*err = cfidrErrNotSameView);
        cfidrErrorT e = checkAttachment(net, obj, side, mode, 0);
        if (e != 0) return (void)(*err = e);
    } else if (isScalarOf(side, obj)) {
        return (void)(*err = cfidrErrBundleToScalar);
    }
    nyxNetlistView::viewChanged(v);
    int32_t counted = 0;
    for (auto &p : pairsOf(net, obj, side, mode)) {
        ++counted;
        if (code(p.first) == nyxCodeNetScalar && isScalarOf(side, p.second)) {
            auto *s = static_cast<nyxNetScalar *>(p.first);
            nyxNetScalar *on = side.net(p.second);
            if (on == s) continue;
            if (on != nullptr) return (void)(*err = side.attachedElsewhere);
            if (!connect(s, p.second, side)) return (void)(*err = cfidrErrInternal);
        } else {
            // Inner pairs were checked by the dry run; their own errors are not passed on.
            cfidrErrorT ignored = 0;
            ++g_attachDepth;
            trustedData([&] { attach(p.first, p.second, side, mode, &ignored); });
            --g_attachDepth;
        }
    }
    if (counted == 0 && mode == cfidrNameAttachMode) *err = cfidrErrNoNameMatch;
}

// Scalars under a group at any depth (the group itself when it is a scalar).
void scalarsUnder(void *obj, const nyxConnSide &side, std::vector<void *> &out, int depth) {
    if (depth > kMaxDepth) return;
    if (isScalarOf(side, obj)) return out.push_back(obj);
    for (int32_t i = 0; i < side.size(obj); ++i) scalarsUnder(side.member(obj, i), side, out, depth + 1);
}

void netScalarsUnder(void *net, std::vector<void *> &out, int depth) {
    if (depth > kMaxDepth) return;
    if (code(net) == nyxCodeNetScalar) return out.push_back(net);
    auto *g = static_cast<nyxNetBundle *>(net);
    for (int32_t i = 0; i < g->size(); ++i) netScalarsUnder(g->member(i), out, depth + 1);
}

void disconnect(nyxNetScalar *net, void *obj, const nyxConnSide &side, cfidrErrorT *err) {
    if (!nyxNetScalar::removeConnection(net, obj, side.isPort)) {
        return (void)(*err = cfidrErrInternal);
    }
    side.setNet(obj, nullptr);
}

} // namespace

bool buildAttach(nyxNetScalar *net, nyxPortScalar *port) { return connect(net, port, nyxPortSide); }

void attach(void *net, void *obj, const nyxConnSide &side, int32_t mode, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view(net), err)) return;
    if (code(net) == nyxCodeNetScalar) return attachScalar(static_cast<nyxNetScalar *>(net), obj, side, mode, err);
    attachGroup(static_cast<nyxNetBundle *>(net), obj, side, mode, err);
}

void detach(void *net, void *obj, const nyxConnSide &side, cfidrErrorT *err) {
    nyxNetlistView *v = view(net);
    if (!nyxNetlistView::load(v, err)) return;
    if (!nyx::trustedData() && v->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    if (code(net) == nyxCodeNetScalar) {
        if (!isScalarOf(side, obj) || side.net(obj) != net) return (void)(*err = side.notAttached);
        nyxNetlistView::viewChanged(v);
        return disconnect(static_cast<nyxNetScalar *>(net), obj, side, err);
    }
    if (isScalarOf(side, obj)) return (void)(*err = side.notAttached);
    std::vector<void *> nets, objs;
    netScalarsUnder(net, nets, 0);
    scalarsUnder(obj, side, objs, 0);
    std::sort(nets.begin(), nets.end());
    bool any = false;
    for (void *o : objs) {
        nyxNetScalar *on = side.net(o);
        if (on == nullptr || !std::binary_search(nets.begin(), nets.end(), static_cast<void *>(on))) continue;
        if (!any) nyxNetlistView::viewChanged(v);
        any = true;
        disconnect(on, o, side, err);
        if (*err != 0) return;
    }
    if (!any) *err = side.notAttached;
}

} // namespace nyxNet
