// Exported functions of flat nets: the flat nets of a design, their members and port
// occurrences, and the flat net of a net or port occurrence.
//
// A flat net crosses the interface as an occurrence identifier of kind 2 (its representative's
// id, or -2 minus the global's index). It is resolved like every occurrence, in every mode, and
// then checked against the tree's flat nets: a net occurrence id that is not a representative,
// or a global index that names no flat net, gives 31001. The tree's flat nets are computed on
// first use and dropped with it. The iterators are walks (pi_walkiter.cpp steps them).
#include "dw/dw.h"
#include "pi/pi.h"
#include "pi/pi_walk.h"

using nyxpi::fail;
using nyxpi::kNullOID;
using nyxpiwalk::handOutWalk;
using nyxpiwalk::occId;
using nyxpiwalk::resolveOcc;

namespace nyxpiwalk {

nyxOccTree *resolveFlat(cfiOID id, nyxOccRef *occ, cfidrErrorT *e) {
    nyxOccTree *tree = resolveOcc(id, kFlatKind, occ, e);
    if (tree == nullptr || nyxdw::isFlatNet(tree, *occ, e)) return tree;
    if (*e == 0) fail(e, nyxdwErrOccUnusable);
    return nullptr;
}

} // namespace nyxpiwalk

namespace {

// A function of one flat net: resolve, check, call.
template <class R, class F> R onFlat(cfiOID flat, cfidrErrorT *err, R failed, F &&f) {
    return nyxpi::guard(err, failed, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = nyxpiwalk::resolveFlat(flat, &o, e);
        return tree == nullptr ? failed : f(tree, o, e);
    });
}

// The flat net of a net or port occurrence.
template <class F> cfiOID flatOf(cfiOID occ, unsigned kinds, cfidrErrorT *err, F &&get) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(occ, kinds, &o, e);
        if (tree == nullptr) return kNullOID;
        const nyxOccRef r = get(tree, o, e);
        return *e != 0 ? kNullOID : occId(r, e);
    });
}

} // namespace

extern "C" {

NYX_API cfidrIterT nyxdwTopOccGetFlatNets(cfiOID top, int32_t globalMode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(top, nyxpiwalk::kTopKind, &o, e);
        if (tree == nullptr) return nyxpi::nullIter();
        // Checked in every mode, before anything is computed.
        if (globalMode < 1 || globalMode > 3) return fail(e, nyxdwErrBadGlobalMode), nyxpi::nullIter();
        return handOutWalk(nyxdw::walkFlatNets(tree, globalMode, e), o.designId, nyxIterFlatNet, e);
    });
}

NYX_API cfiBooleanEnum nyxdwFlatNetGetIsGlobal(cfiOID flat, cfidrErrorT *err) {
    return onFlat(flat, err, cfiBooleanEnum{0}, [](nyxOccTree *, const nyxOccRef &o, cfidrErrorT *) {
        return cfiBooleanEnum{o.id < 0 ? 1 : 0};
    });
}

NYX_API cfidrIterT nyxdwFlatNetGetNetOccs(cfiOID flat, cfidrErrorT *err) {
    return onFlat(flat, err, nyxpi::nullIter(), [](nyxOccTree *tree, const nyxOccRef &o, cfidrErrorT *e) {
        return handOutWalk(nyxdw::walkFlatNetNets(tree, o, e), o.designId, nyxIterNetOcc, e);
    });
}

NYX_API cfidrIterT nyxdwFlatNetGetPortOccs(cfiOID flat, int32_t scanMode, cfidrErrorT *err) {
    return onFlat(flat, err, nyxpi::nullIter(), [&](nyxOccTree *tree, const nyxOccRef &o, cfidrErrorT *e) {
        if (scanMode < 1 || scanMode > 4) return fail(e, nyxdwErrBadPortScanMode), nyxpi::nullIter();
        return handOutWalk(nyxdw::walkFlatNetPorts(tree, o, scanMode, e), o.designId, nyxIterPortOcc, e);
    });
}

NYX_API cfiOID nyxdwNetOccGetFlatNet(cfiOID net, cfidrErrorT *err) {
    return flatOf(net, 1u << nyxOccNet, err, nyxdw::netFlatNet);
}

NYX_API cfiOID nyxdwPortOccGetFlatNet(cfiOID port, cfidrErrorT *err) {
    return flatOf(port, nyxpiwalk::kPortKind, err, nyxdw::portFlatNet);
}

} // extern "C"
