// Exported iterators of the occurrence walk. A walk iterator holds its walk (src/dw: an explicit
// stack as deep as the hierarchy, nothing per occurrence) and the design id of its tree; each
// step resolves the design id to the configuration's current tree again (from the iterator's
// record while no tree was dropped and no view edited or deleted, nyxdw::nyxTreeMemo) and hands that
// to the walk, which compares its build serial: a dropped, stale or rebuilt tree ends the step
// with 31001 and nothing of the old tree is read.
#include "config/config.h"
#include "dw/dw.h"
#include "pi/pi.h"
#include "pi/pi_walk.h"

using nyxpi::fail;
using nyxpi::kNullOID;
using nyxpiwalk::resolveOcc;

namespace {

struct nyxOccIter : nyxIter {
    nyxOccWalk *walk;
    nyxdw::nyxTreeMemo tree;  // the design id of the walk's tree and its last resolve
    nyxOccIter(const nyxIterOps &ops, nyxOccWalk *w, int32_t id) : nyxIter(ops), walk(w) { tree.designId = id; }
};

nyxIterCache<nyxOccIter, 0> g_cache;

// Occurrences are not data-model objects: the generic steppers of other kinds never reach
// here unchecked (trusted program mode skips their kind test), so the step reports 12.
nyxObjRef occIterNext(nyxIter *, cfidrErrorT *err) {
    *err = cfidrErrIterWrongType;
    return {};
}
void occIterReset(nyxIter *it) { static_cast<nyxOccIter *>(it)->walk->reset(); }
void occIterQuit(nyxIter *it) {
    auto *occIt = static_cast<nyxOccIter *>(it);
    delete occIt->walk;
    g_cache.release(occIt);
}
const nyxIterOps kOccIterOps = {occIterNext, occIterReset, occIterQuit};

} // namespace

// Hands out a walk as an iterator of `kind` (a null walk: the error it came with).
cfidrIterT nyxpiwalk::handOutWalk(nyxOccWalk *walk, int32_t designId, int16_t kind, cfidrErrorT *e) {
    if (walk == nullptr) return fail(e, *e != 0 ? *e : cfidrErrInternal), nyxpi::nullIter();
    nyxOccIter *it = g_cache.make(kOccIterOps, walk, designId);
    if (it == nullptr) {
        delete walk;
        return fail(e, cfidrErrInternal), nyxpi::nullIter();
    }
    return nyxpi::handOutIter(it, kind, e);
}

namespace {

using nyxpiwalk::handOutWalk;

// A walk over one view occurrence.
template <class Make> cfidrIterT viewWalk(cfiOID occ, int16_t kind, cfidrErrorT *err, Make make) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(occ, nyxpiwalk::kViewKinds, &o, e);
        if (tree == nullptr) return nyxpi::nullIter();
        return handOutWalk(make(tree, o, e), o.designId, kind, e);
    });
}

// Steps a walk iterator of `kind`: the checks of the generic steppers (11, 12), then the
// walk on the tree its design id resolves to now.
cfiOID stepWalk(cfidrIterT handle, int16_t kind, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if ((reinterpret_cast<uintptr_t>(handle) & 1) != 0) return kNullOID;
        auto *it = reinterpret_cast<nyxIter *>(handle);
        const nyx *s = nyx::session;
        if (handle == nullptr || (!nyxpi::trusted() && (s == nullptr || !s->iterRegistered(handle)))) {
            return fail(e, cfidrErrBadIterator), kNullOID;
        }
        // The kind is compared in every mode: only a walk iterator may be cast to one.
        if (it->iterFunc != kind) return fail(e, cfidrErrIterWrongType), kNullOID;
        auto *walkIt = static_cast<nyxOccIter *>(it);
        nyxOccRef r;
        if (!walkIt->walk->next(nyxdw::resolveTree(&walkIt->tree), &r, e)) return kNullOID;
        return nyxpiwalk::occId(r, e);
    });
}

} // namespace

extern "C" {

NYX_API cfidrIterT nyxdwTopOccGetInstOccs(cfiOID top, int32_t mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(top, nyxpiwalk::kTopKind, &o, e);
        if (tree == nullptr) return nyxpi::nullIter();
        // Checked in every mode: the walk takes only the modes it knows.
        if (mode < 1 || mode > 3) return fail(e, cfidrErrBadIterMode), nyxpi::nullIter();
        return handOutWalk(nyxdw::walkHierarchy(tree, mode, e), o.designId, nyxIterInstOcc, e);
    });
}

NYX_API cfidrIterT nyxdwViewOccGetInstOccs(cfiOID occ, cfidrErrorT *err) {
    return viewWalk(occ, nyxIterInstOcc, err, nyxdw::walkInsts);
}

NYX_API cfidrIterT nyxdwViewOccGetNetOccs(cfiOID occ, cfidrErrorT *err) {
    return viewWalk(occ, nyxIterNetOcc, err, nyxdw::walkNets);
}

NYX_API cfidrIterT nyxdwViewOccGetPortOccs(cfiOID occ, cfidrErrorT *err) {
    return viewWalk(occ, nyxIterPortOcc, err, nyxdw::walkPorts);
}

NYX_API cfidrIterT nyxdwNetOccGetPortOccs(cfiOID net, int32_t mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(net, 1u << nyxOccNet, &o, e);
        if (tree == nullptr) return nyxpi::nullIter();
        if (mode < 1 || mode > 3) return fail(e, nyxdwErrBadPortScanMode), nyxpi::nullIter();
        return handOutWalk(nyxdw::walkNetPorts(tree, o, mode, e), o.designId, nyxIterPortOcc, e);
    });
}

NYX_API cfiOID nyxdwIterNextInstOcc(cfidrIterT it, cfidrErrorT *err) { return stepWalk(it, nyxIterInstOcc, err); }
NYX_API cfiOID nyxdwIterNextNetOcc(cfidrIterT it, cfidrErrorT *err) { return stepWalk(it, nyxIterNetOcc, err); }
NYX_API cfiOID nyxdwIterNextPortOcc(cfidrIterT it, cfidrErrorT *err) { return stepWalk(it, nyxIterPortOcc, err); }

// Flat nets are walks too (pi_flat.cpp); derived properties have their own iterator (pi_derived.cpp).
NYX_API cfiOID nyxdwIterNextFlatNet(cfidrIterT it, cfidrErrorT *err) { return stepWalk(it, nyxIterFlatNet, err); }

NYX_API void nyxdwIterReset(cfidrIterT it, cfidrErrorT *err) { cfidrIterReset(it, err); }
NYX_API void nyxdwIterQuit(cfidrIterT it, cfidrErrorT *err) { cfidrIterQuit(it, err); }

} // extern "C"
