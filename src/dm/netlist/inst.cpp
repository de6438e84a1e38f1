// Instances: creation with its checks, renaming, destruction, lookups by name, the instance
// references of describer views, the iterator over a view's instances and the class row of
// instances (nyxInstOps).
#include <new>

#include "dm/netlist/instInt.h"

namespace {

// Removes an instance that is (partly) built: its port instances, properties, map entry, name
// and slot; its record goes with its last user.
void unbuild(nyxNetlistView *view, nyxInst *inst) {
    // Iterators over its port instances end; lists that name them drop them.
    nyxIterObjectGone(inst);
    nyxFootPrint *fp = inst->d_footPrint;
    if (fp->d_describer != nullptr && !fp->d_refsPending) nyxInstance::uncacheInstRef(fp->d_describer, inst);
    nyxPortInst::destroyTree(inst);
    nyxPropListDestroy(inst->d_propList);
    if (view->instNameMap() != nullptr) view->instNameMap()->remove(inst->name(), inst);
    inst->d_name.clear();
    nyxInstStore::freeInstance(view, inst);
    if (--fp->d_useCount <= 0) nyxFootPrintOps::release(fp);
}

bool nameOk(const char *name, bool checked) {
    return name != nullptr && (!checked || nyxNetlistView::validString(name));
}

} // namespace

namespace nyxInstance {

nyxInst *createInst(nyxNetlistView *view, nyxNetlistView *describer, const char *name, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return nullptr;
    if (!nyx::trustedData()) {
        if (view->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
        if (describer == view) return *err = cfidrErrRecursiveDescriber, nullptr;
        if (!nameOk(name, true)) return *err = cfidrErrBadName, nullptr;
        nyxInstMap *map = nyxInstStore::nameMap(view);
        if (map == nullptr) return *err = cfidrErrInternal, nullptr;
        if (map->find(name) != nullptr) return *err = cfidrErrAlreadyExists, nullptr;
        if (describer->owner() == view->owner()) return *err = cfidrErrSameCellInst, nullptr;
    } else if (name == nullptr) {
        return *err = cfidrErrBadName, nullptr;
    }
    // The record copies the describer's ports: its contents must be present.
    cfidrErrorT loadErr = 0;
    if (!nyxNetlistView::load(describer, &loadErr)) return *err = cfidrErrViewOpenFailed, nullptr;
    nyxNetlistView::viewChanged(view);
    nyxFootPrint *fp = getFootPrint(view, describer, err);
    if (fp == nullptr) return nullptr;
    nyxInst *inst = createInstanceOf(view, fp, name, err);
    if (inst == nullptr) dropFootPrint(fp);
    return inst;
}

nyxInst *createInstanceOf(nyxNetlistView *view, nyxFootPrint *fp, const char *name, cfidrErrorT *err) {
    if (fp == nullptr || fp->d_owner != view || name == nullptr || !fp->complete()) {
        return *err = cfidrErrInternal, nullptr;
    }
    nyxInst *inst = nyxInstStore::newInstance(view, fp->d_portCount);
    if (inst == nullptr) return *err = cfidrErrInternal, nullptr;
    if (!inst->d_name.setString(name, view->viewHeap())) {
        nyxInstStore::freeInstance(view, inst);
        return *err = cfidrErrInternal, nullptr;
    }
    inst->d_footPrint = fp;
    ++fp->d_useCount;
    bool ok = view->instNameMap() == nullptr || view->instNameMap()->add(inst);
    if (!ok) {
        // Not in the map: keep unbuild from looking for it there.
        nyxInstMap::destroy(view->instNameMap());
        view->instNameMap() = nullptr;
    }
    if (ok && fp->d_describer != nullptr && !fp->d_refsPending) cacheInstRef(fp->d_describer, inst);
    if (ok) ok = nyxPortInst::createTree(inst, err);
    if (!ok) {
        ++fp->d_useCount;  // the caller still holds the record
        unbuild(view, inst);
        --fp->d_useCount;
        return *err = cfidrErrInternal, nullptr;
    }
    return inst;
}

void destroy(nyxInst *inst, cfidrErrorT *err) {
    nyxNetlistView *view = inst->view();
    if (!nyx::trustedData() && view->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    nyxNetlistView::viewChanged(view);
    unbuild(view, inst);
}

void setName(nyxInst *inst, const char *name, cfidrErrorT *err) {
    nyxNetlistView *view = inst->view();
    if (!nyx::trustedData()) {
        if (view->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
        if (!nameOk(name, true)) return (void)(*err = cfidrErrBadName);
        nyxInstMap *map = nyxInstStore::nameMap(view);
        if (map == nullptr) return (void)(*err = cfidrErrInternal);
        nyxInst *other = map->find(name);
        if (other != nullptr && other != inst) return (void)(*err = cfidrErrNameTaken);
    } else if (name == nullptr) {
        return (void)(*err = cfidrErrBadName);
    }
    nyxInstMap *map = view->instNameMap();
    if (map != nullptr) map->remove(inst->name(), inst);
    bool ok = inst->d_name.setString(name, view->viewHeap());
    if (map != nullptr && !map->add(inst)) {
        nyxInstMap::destroy(map);
        view->instNameMap() = nullptr;
    }
    if (!ok) return (void)(*err = cfidrErrInternal);
    nyxNetlistView::viewChanged(view);
}

nyxInst *findByName(nyxNetlistView *view, const char *name, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return nullptr;
    if (!nameOk(name, !nyx::trustedProgram())) return *err = cfidrErrBadName, nullptr;
    nyxInstMap *map = nyxInstStore::nameMap(view);
    if (map == nullptr) return *err = cfidrErrInternal, nullptr;
    nyxInst *inst = map->find(name);
    if (inst == nullptr) *err = cfidrErrNotFound;
    return inst;
}

bool reserveNameMap(nyxNetlistView *view, uint32_t expected) {
    return nyxInstStore::nameMap(view, expected) != nullptr;
}

void cacheInstRef(nyxNetlistView *describer, nyxInst *inst) {
    describer->instRefs().add(inst, describer->viewHeap());
}

void uncacheInstRef(nyxNetlistView *describer, nyxInst *inst) { describer->instRefs().remove(inst); }

nyxDynArray &instanceRefs(nyxNetlistView *describer) {
    nyxDynArray &by = describer->cachedBy();
    for (int32_t i = 0; i < by.nitems(); ++i) {
        auto *owing = static_cast<nyxFootPrint *>(by[i]);
        if (!owing->d_refsPending || owing->d_describer != describer) continue;
        // One pass over the owing record's view settles every record of that view that owes.
        nyxNetlistView *view = owing->d_owner;
        nyxInstCursor c;
        for (nyxInst *inst = next(view, c); inst != nullptr; inst = next(view, c)) {
            nyxFootPrint *fp = inst->d_footPrint;
            if (fp->d_refsPending) cacheInstRef(fp->d_describer, inst);
        }
        nyxDynArray &records = view->describers();
        for (int32_t k = 0; k < records.nitems(); ++k) static_cast<nyxFootPrint *>(records[k])->d_refsPending = false;
    }
    return describer->instRefs();
}

// --- Iterator over a view's instances ------------------------------------------------------------

namespace {
extern const nyxIterOps kIterOps;
struct InstIter : nyxIter {
    nyxNetlistView *view;
    nyxInstCursor cursor;
    explicit InstIter(nyxNetlistView *v) : nyxIter(kIterOps), view(v) {}
};
nyxIterCache<InstIter, 2> g_iters;

nyxObjRef iterNext(nyxIter *it, cfidrErrorT *) {
    auto *i = static_cast<InstIter *>(it);
    nyxInst *inst = next(i->view, i->cursor);
    return inst != nullptr ? nyxObjRef{inst, nyxCodeInst, 0} : nyxObjRef{};
}
void iterQuit(nyxIter *it) { g_iters.release(static_cast<InstIter *>(it)); }
void iterReset(nyxIter *it) { static_cast<InstIter *>(it)->cursor = nyxInstCursor{}; }
constinit const nyxIterOps kIterOps = {iterNext, iterReset, iterQuit};
} // namespace

nyxIter *viewInsts(nyxNetlistView *view, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return nullptr;
    InstIter *it = g_iters.make(view);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = view;
    return it;
}

} // namespace nyxInstance
