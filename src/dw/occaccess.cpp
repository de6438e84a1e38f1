// Accessors of occurrences: owners, views, levels, and the data-model objects an occurrence
// stands for. Every one resolves its occurrence against the tree before it reads anything.
#include "dw/dwInt.h"

using namespace nyxdwInt;

namespace {

// The net of a net occurrence and where it lies; the last net asked is kept in the tree.
bool netAt(nyxOccTree *tree, const nyxOccRef &occ, Place *p, nyxObjRef *net, cfidrErrorT *err) {
    if (occ.kind != nyxOccNet || !locate(tree, occ.id, p) || p->local < 0) return fail(err);
    if (tree->d_lastNet.obj != nullptr && tree->d_lastNetId == occ.id) {
        *net = tree->d_lastNet;
        return true;
    }
    cfidrErrorT e = 0;
    int32_t code = 0;
    void *obj = tree->node(p->node).view->netAtPosition(p->local, &code, &e);
    if (obj == nullptr) return e == cfidrErrInternal ? (*err = e, false) : fail(err);
    net->obj = obj;
    net->code = code;
    tree->d_lastNetId = occ.id;
    tree->d_lastNet = *net;
    return true;
}

struct PortOcc {
    ViewOcc vo;
    nyxPort *port = nullptr;
};

bool portOcc(nyxOccTree *tree, const nyxOccRef &occ, PortOcc *out, cfidrErrorT *err) {
    if (occ.kind != nyxOccPort || !viewOcc(tree, occ.id, true, &out->vo, err)) return fail(err);
    cfidrErrorT e = 0;
    out->port = static_cast<nyxPort *>(nyxPortViewFindByPosition(out->vo.view, occ.port, &e).obj);
    return out->port != nullptr || fail(err);
}

} // namespace

namespace nyxdw {

nyxOccRef owner(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    switch (occ.kind) {
    case nyxOccTop:
        if (occ.id != kTopId) fail(err);
        return nyxOccRef();
    case nyxOccNet: {
        Place p;
        nyxObjRef net;
        return netAt(tree, occ, &p, &net, err) ? viewRef(tree, p.ownId) : nyxOccRef();
    }
    case nyxOccInst: {
        ViewOcc vo;
        return viewOcc(tree, occ.id, false, &vo, err) ? viewRef(tree, vo.place.ownId) : nyxOccRef();
    }
    case nyxOccPort: {
        PortOcc po;
        return portOcc(tree, occ, &po, err) ? viewRef(tree, occ.id) : nyxOccRef();
    }
    default:
        return fail(err), nyxOccRef();
    }
}

nyxNetlistView *viewOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    ViewOcc vo;
    return viewOccOf(tree, occ, &vo, err) ? vo.view : nullptr;
}

int32_t level(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    ViewOcc vo;
    if (!viewOccOf(tree, occ, &vo, err)) return nyxOccLevelError;
    if (vo.isTop()) return nyxOccLevelTop;
    return vo.node >= 0 ? nyxOccLevelDescended : nyxOccLevelLeaf;
}

nyxInst *instOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    // Only the instance is asked for: no child search and no describer.
    Place p;
    if (occ.kind != nyxOccInst || !locate(tree, occ.id, &p) || p.local < 0) return fail(err), nullptr;
    cfidrErrorT e = 0;
    nyxInst *inst = nyxInstance::findByPosition(tree->node(p.node).view, p.local, &e);
    return inst != nullptr ? inst : (fail(err), nullptr);
}

nyxObjRef netOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    Place p;
    nyxObjRef net;
    return netAt(tree, occ, &p, &net, err) ? net : nyxObjRef();
}

nyxObjRef portOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    PortOcc po;
    if (!portOcc(tree, occ, &po, err)) return nyxObjRef();
    nyxObjRef r;
    r.obj = po.port;
    r.code = po.port->d_code;
    return r;
}

nyxObjRef portInstOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    PortOcc po;
    if (!portOcc(tree, occ, &po, err) || po.vo.isTop()) return nyxObjRef();
    return portInstFor(po.vo.inst, po.vo.view, po.port, occ.port);
}

nyxOccRef instOccOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    PortOcc po;
    return portOcc(tree, occ, &po, err) ? viewRef(tree, occ.id) : nyxOccRef();
}

nyxOccRef insideNet(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    PortOcc po;
    if (!portOcc(tree, occ, &po, err) || !po.port->isScalar() || po.vo.node < 0) return nyxOccRef();
    nyxNetScalar *net = static_cast<nyxPortScalar *>(po.port)->net();
    if (net == nullptr) return nyxOccRef();
    return ref(tree, po.vo.base + po.vo.view->netPosition(net), nyxOccNet);
}

nyxOccRef outsideNet(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err) {
    PortOcc po;
    if (!portOcc(tree, occ, &po, err) || po.vo.isTop()) return nyxOccRef();
    nyxObjRef word = portInstFor(po.vo.inst, po.vo.view, po.port, occ.port);
    if (word.obj == nullptr || word.code != nyxCodePortInstScalar) return nyxOccRef();
    nyxNetScalar *net = nyxPortInst::net(word.obj);
    if (net == nullptr) return nyxOccRef();
    nyxNetlistView *parent = tree->node(po.vo.place.node).view;
    return ref(tree, po.vo.place.base + parent->netPosition(net), nyxOccNet);
}

} // namespace nyxdw
