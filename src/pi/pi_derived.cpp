// Exported functions of derived properties: look-up and iteration at an occurrence or a flat
// net, evaluation in an occurrence's context, and occurrence property nodes made from an
// occurrence's path.
//
// A derived property is handed out as a property reference into the list it was found in (a
// set's node, the stored design, or for an evaluation the session's one evaluation entry). The
// derived-property iterator keeps the names the look-up found when it was made, in a walk of
// the tree (so that it re-resolves the tree at each step and gives 31001 once it is dropped or
// stale), and looks each name up again at its step: an entry removed or hidden by a deleted mark
// since then is passed over, and no pointer into a property list outlives the call.
#include <string>
#include <vector>

#include "config/config.h"
#include "dw/derived.h"
#include "dw/dw.h"
#include "pi/pi.h"
#include "pi/pi_walk.h"

using nyxpi::fail;
using nyxpi::kNullOID;
using nyxpiwalk::resolveOcc;

namespace {

// Merge mode when an evaluation names none: the sets first, then the stored design.
constexpr int32_t kEvalMergeMode = 2;

// Any occurrence argument, flat nets included.
nyxOccTree *resolveAny(cfiOID id, nyxOccRef *occ, cfidrErrorT *e) {
    if (((id.tag >> 1) & 7u) == nyxOccFlatNet && (id.tag & 1u) != 0) return nyxpiwalk::resolveFlat(id, occ, e);
    return resolveOcc(id, nyxpiwalk::kAnyKind, occ, e);
}

nyxdwDerived::Design designOf(nyxOccTree *tree, const nyxOccRef &occ) {
    return nyxdwDerived::Design{tree, nyxDesignConfig::byDesignId(occ.designId)};
}

cfiOID handOutProp(const nyxdwDerived::Found &f, cfidrErrorT *e) {
    if (*e != 0 || f.isNull()) return kNullOID;
    return nyxpi::handOut(const_cast<nyxPropList *>(f.list), nyxCodeProp, e, f.index);
}

// The names of an occurrence's derived properties, looked up again at each step.
class DerivedNames final : public nyxOccWalk {
public:
    DerivedNames(nyxOccTree *tree, const nyxOccRef &occ, int32_t mode, std::vector<std::string> names)
        : nyxOccWalk(tree), d_occ(occ), d_mode(mode), d_names(std::move(names)) {}
    void reset() override { d_next = 0; }
    const nyxdwDerived::Found &found() const { return d_found; }

protected:
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *err) override {
        const nyxdwDerived::Design d = designOf(tree, d_occ);
        while (d_next < d_names.size()) {
            cfidrErrorT e = 0;
            const nyxdwDerived::Found f = nyxdwDerived::find(d, d_occ, d_names[d_next++].c_str(), d_mode, &e);
            if (e == cfidrErrNotFound) continue;
            if (e != 0) return *err = e, false;
            d_found = f;
            *out = d_occ;
            return true;
        }
        return false;
    }

private:
    nyxOccRef d_occ;
    int32_t d_mode;
    std::vector<std::string> d_names;
    size_t d_next = 0;
    nyxdwDerived::Found d_found;
};

struct DerivedIter : nyxIter {
    DerivedNames *walk;
    int32_t designId;
    DerivedIter(const nyxIterOps &ops, DerivedNames *w, int32_t id) : nyxIter(ops), walk(w), designId(id) {}
};

nyxIterCache<DerivedIter, 0> g_cache;

// Stepped by nyxdwIterNextDerivedProp only (the generic steppers report 12).
nyxObjRef derivedNext(nyxIter *, cfidrErrorT *err) {
    *err = cfidrErrIterWrongType;
    return {};
}
void derivedReset(nyxIter *it) { static_cast<DerivedIter *>(it)->walk->reset(); }
void derivedQuit(nyxIter *it) {
    auto *d = static_cast<DerivedIter *>(it);
    delete d->walk;
    g_cache.release(d);
}
const nyxIterOps kDerivedOps = {derivedNext, derivedReset, derivedQuit};

cfidrIterT handOutNames(nyxOccTree *tree, const nyxOccRef &occ, int32_t mode, std::vector<std::string> names,
                        cfidrErrorT *e) {
    auto *walk = new DerivedNames(tree, occ, mode, std::move(names));
    DerivedIter *it = g_cache.make(kDerivedOps, walk, occ.designId);
    if (it == nullptr) {
        delete walk;
        return fail(e, cfidrErrInternal), nyxpi::nullIter();
    }
    return nyxpi::handOutIter(it, nyxIterDerivedProp, e);
}

bool badMergeMode(int32_t mode, cfidrErrorT *e) {
    if (mode >= 0 && mode <= 2) return false;
    return fail(e, nyxdwErrBadMergeMode), true;
}

} // namespace

extern "C" {

NYX_API cfidrIterT nyxdwOccGetDerivedProps(cfiOID occ, int32_t mergeMode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveAny(occ, &o, e);
        if (tree == nullptr || badMergeMode(mergeMode, e)) return nyxpi::nullIter();
        std::vector<nyxdwDerived::Found> found;
        if (!nyxdwDerived::list(designOf(tree, o), o, mergeMode, &found, e)) return nyxpi::nullIter();
        std::vector<std::string> names;
        names.reserve(found.size());
        for (const nyxdwDerived::Found &f : found) names.emplace_back(nyxPropAt(f.list, f.index)->name());
        return handOutNames(tree, o, mergeMode, std::move(names), e);
    });
}

NYX_API cfiOID nyxdwIterNextDerivedProp(cfidrIterT handle, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if ((reinterpret_cast<uintptr_t>(handle) & 1) != 0) return kNullOID;
        auto *it = reinterpret_cast<nyxIter *>(handle);
        const nyx *s = nyx::session;
        if (handle == nullptr || (!nyxpi::trusted() && (s == nullptr || !s->iterRegistered(handle)))) {
            return fail(e, cfidrErrBadIterator), kNullOID;
        }
        // The kind is compared in every mode: only an iterator made here carries it.
        if (it->iterFunc != nyxIterDerivedProp) return fail(e, cfidrErrIterWrongType), kNullOID;
        auto *d = static_cast<DerivedIter *>(it);
        nyxOccRef r;
        if (!d->walk->next(nyxdw::resolveTree(d->designId), &r, e)) return kNullOID;
        return handOutProp(d->walk->found(), e);
    });
}

NYX_API cfiOID nyxdwOccFindDerivedPropByName(cfiOID occ, const char *name, int32_t mergeMode, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveAny(occ, &o, e);
        if (tree == nullptr || badMergeMode(mergeMode, e)) return kNullOID;
        if (name == nullptr) return fail(e, cfidrErrNotFound), kNullOID;
        return handOutProp(nyxdwDerived::find(designOf(tree, o), o, name, mergeMode, e), e);
    });
}

NYX_API cfiOID nyxdwPropEvaluate(cfiOID prop, cfiOID occ, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!nyxpi::checkArg(prop, nyxCodeProp, e)) return kNullOID;
        nyxOccRef o;
        nyxOccTree *tree = resolveAny(occ, &o, e);
        if (tree == nullptr) return kNullOID;
        const nyxdwDerived::Found p{nyxpi::object<nyxPropList>(prop), nyxpi::memberIndex(prop.tag)};
        return handOutProp(nyxdwDerived::evaluate(designOf(tree, o), p, o, kEvalMergeMode, e), e);
    });
}

NYX_API cfiOID nyxdwStringEvaluate(const char *text, cfiOID occ, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveAny(occ, &o, e);
        if (tree == nullptr) return kNullOID;
        // A null text is evaluated as the empty one.
        const nyxdwDerived::Found r =
            nyxdwDerived::evaluateText(designOf(tree, o), text != nullptr ? text : "", o, kEvalMergeMode, e);
        return handOutProp(r, e);
    });
}

NYX_API cfiOID nyxdwOccCreateOccProp(cfiOID occ, cfiOID set, cfidrErrorT *err) {
    // The error variable is cleared first (guard), as in every function of the family.
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(occ, nyxpiwalk::kAnyKind, &o, e);
        if (tree == nullptr) return kNullOID;
        if (!nyxpi::checkArg(set, nyxCodeOccPropSet, e, nyxdrErrOccPropSetUnusable, nyxdrErrNotOccPropSet)) {
            return kNullOID;
        }
        nyxOccPropNode *node =
            nyxdwDerived::createOccProp(tree, o, nyxpi::object<nyxOccPropSet>(set), e, /*mustBeNew=*/true);
        if (node == nullptr) return kNullOID;
        return nyxpi::handOut(node, node->d_code, e);
    });
}

} // extern "C"
