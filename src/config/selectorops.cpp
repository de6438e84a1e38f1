// The class rows of selector sets (16), library selectors (17), view name selectors (18) and view
// type selectors (19), and the iterators over a set's selector lists.
#include <new>

#include "config/configInt.h"

namespace {

// Iterator over one of a set's selector lists. It follows the links, so selectors appended while
// it runs are seen; a destroyed selector keeps its link and is passed over. It ends when the set
// goes (home) or its heap is emptied (anchor).
extern const nyxIterOps kLibSelIterOps, kViewSelIterOps;

struct nyxSelectorIter : nyxIter {
    nyxSelectorSet *set;
    bool views;
    void *cur;

    nyxSelectorIter(nyxSelectorSet *s, bool v)
        : nyxIter(v ? kViewSelIterOps : kLibSelIterOps), set(s), views(v), cur(first(s, v)) {}
    static void *first(nyxSelectorSet *s, bool v) {
        return v ? static_cast<void *>(s->viewSelectors()) : static_cast<void *>(s->librarySelectors());
    }
};

nyxIterCache<nyxSelectorIter, 4> g_iters;

nyxIter *makeIter(nyxSelectorSet *set, bool views, cfidrErrorT *err) {
    nyxSelectorIter *it = g_iters.make(set, views);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = set;
    it->anchor = set->heap();
    return it;
}

void iterQuit(nyxIter *it) {
    g_iters.release(static_cast<nyxSelectorIter *>(it));
}

void iterReset(nyxIter *it) {
    nyxSelectorIter *si = static_cast<nyxSelectorIter *>(it);
    si->cur = nyxSelectorIter::first(si->set, si->views);
}

nyxObjRef libNext(nyxIter *it, cfidrErrorT *) {
    nyxSelectorIter *si = static_cast<nyxSelectorIter *>(it);
    auto *l = static_cast<nyxLibrarySelector *>(si->cur);
    while (l != nullptr && l->d_type == 0) l = l->d_next;
    if (l == nullptr) return si->cur = nullptr, nyxObjRef{};
    si->cur = l->d_next;
    return nyxObjRef{l, nyxCodeLibrarySelector, 0};
}

nyxObjRef viewNext(nyxIter *it, cfidrErrorT *) {
    nyxSelectorIter *si = static_cast<nyxSelectorIter *>(it);
    auto *v = static_cast<nyxViewSelector *>(si->cur);
    while (v != nullptr && v->d_type == 0) v = v->d_next;
    if (v == nullptr) return si->cur = nullptr, nyxObjRef{};
    si->cur = v->d_next;
    return nyxObjRef{v, v->d_type, 0};
}

constinit const nyxIterOps kLibSelIterOps = {libNext, iterReset, iterQuit};
constinit const nyxIterOps kViewSelIterOps = {viewNext, iterReset, iterQuit};

// Getters read the set first, except while the frame collects identifiers (nothing is read then).
bool readFirst(nyxSelectorSet *set, cfidrErrorT *err) {
    return nyxIterNoReads > 0 || nyxSelectorSet::load(set, err);
}

nyxSelectorSet *asSet(void *obj) { return static_cast<nyxSelectorSet *>(obj); }
nyxLibrarySelector *asLib(void *obj) { return static_cast<nyxLibrarySelector *>(obj); }
nyxViewSelector *asView(void *obj) { return static_cast<nyxViewSelector *>(obj); }

} // namespace

namespace nyxSelectorOps {

// --- Selector sets --------------------------------------------------------------------------------

nyxObjRef setCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxSelectorSet *set = asSet(obj);
    if (!nyxSelectorSet::load(set, err)) return {};
    return nyxPropCreate(set->d_propList, set->propOwner(), name, err);
}

nyxObjRef setFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!nyxSelectorSet::load(asSet(obj), err)) return {};
    return nyxPropFind(asSet(obj)->d_propList, name, err);
}

nyxIter *setGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asSet(obj), err)) return nullptr;
    return nyxPropGetProps(asSet(obj)->d_propList, err);
}

nyxIter *setGetLibSels(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asSet(obj), err)) return nullptr;
    return makeIter(asSet(obj), false, err);
}

nyxIter *setGetViewSels(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asSet(obj), err)) return nullptr;
    return makeIter(asSet(obj), true, err);
}

void setDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxSelectorSet::destroy(asSet(obj), err); }

const char *setGetName(void *obj, uint32_t, cfidrErrorT *) { return asSet(obj)->nameObj(); }

void setSetName(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxSelectorSet::setName(asSet(obj), name, err);
}

// --- Selectors --------------------------------------------------------------------------------------

nyxObjRef libCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropCreate(asLib(obj)->d_propList, nyxSelectorSet::propOwner(asLib(obj)), name, err);
}
nyxObjRef libFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(asLib(obj)->d_propList, name, err);
}
nyxIter *libGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxPropGetProps(asLib(obj)->d_propList, err);
}
void libDestroy(void *obj, uint32_t, cfidrErrorT *err) {
    nyxSelectorSet::destroyLibrarySelector(asLib(obj), err);
}

nyxObjRef viewCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropCreate(asView(obj)->d_propList, nyxSelectorSet::propOwner(asView(obj)), name, err);
}
nyxObjRef viewFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(asView(obj)->d_propList, name, err);
}
nyxIter *viewGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxPropGetProps(asView(obj)->d_propList, err);
}
void viewDestroy(void *obj, uint32_t, cfidrErrorT *err) {
    nyxSelectorSet::destroyViewSelector(asView(obj), err);
}

} // namespace nyxSelectorOps

using namespace nyxSelectorOps;

nyxIter *nyxSelectorSet::getLibrarySelectors(nyxSelectorSet *set, cfidrErrorT *err) {
    return setGetLibSels(set, 0, err);
}

nyxIter *nyxSelectorSet::getViewSelectors(nyxSelectorSet *set, cfidrErrorT *err) {
    return setGetViewSels(set, 0, err);
}

