// Selector sets: records and their heaps, the session list, loading, selectors, saving, purging,
// destroying and renaming.
#include <cstring>
#include <new>

#include "config/config.h"
#include "utils/fileio.h"

namespace {

constexpr const char *kHeapName = "NYX SelectorSet Heap";
constexpr long kHeapChunk = 4096;

bool setReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxSelectorSet *>(owner)->readOnly();
}
bool libSelReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxLibrarySelector *>(owner)->d_set->readOnly();
}
bool viewSelReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxViewSelector *>(owner)->d_set->readOnly();
}

nyxDynArray *sessionSets() { return nyx::session != nullptr ? &nyxSelectorSet::sessionList() : nullptr; }

bool checksOn() { return !nyx::trustedData(); }

} // namespace

nyxDynArray &nyxSelectorSet::sessionList() {
    static nyxSessionList sets;
    return sets.list();
}

nyxSelectorSet::nyxSelectorSet(int32_t row, Hx_genheap *heap) : nyxDMObj(row, 2), d_heap(heap) {}

nyxSelectorSet::~nyxSelectorSet() {
    // Everything the set owns lives in its heap and goes with it.
    nyxPropForgetHeap(d_heap);
    nyxIterObjectGone(d_heap);
    d_propList = nullptr;
    d_name.clear();
    d_heap->~Hx_genheap();
    nyx::getGlobalHeap()->freeBlock(d_heap, sizeof(Hx_genheap));
}

nyxSelectorSet *nyxSelectorSet::construct(const char *name, int32_t row, cfidrErrorT *err) {
    Hx_genheap *global = nyx::getGlobalHeap();
    nyxDynArray *sets = sessionSets();
    if (global == nullptr || sets == nullptr) return *err = cfidrErrInternal, nullptr;
    void *h = global->allocBlock(sizeof(Hx_genheap));
    void *p = global->allocBlock(sizeof(nyxSelectorSet));
    if (h == nullptr || p == nullptr) {
        if (h != nullptr) global->freeBlock(h, sizeof(Hx_genheap));
        if (p != nullptr) global->freeBlock(p, sizeof(nyxSelectorSet));
        return *err = cfidrErrInternal, nullptr;
    }
    nyxSelectorSet *set = new (p) nyxSelectorSet(row, new (h) Hx_genheap(kHeapName, kHeapChunk));
    if (!set->d_name.setString(name, global) || sets->add(set) < 0) {
        set->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    return set;
}

void nyxSelectorSet::deleteObj() {
    this->~nyxSelectorSet();
    nyx::getGlobalHeap()->freeBlock(this, sizeof(nyxSelectorSet));
}

const char *nyxSelectorSet::pathnameObj() {
    if (d_pathName == nullptr) d_pathName = nyxDMUtil::getPathname(nameObj(), nullptr, nullptr);
    return d_pathName;
}

nyxSelectorSet *nyxSelectorSet::findOpen(const char *name) {
    nyxDynArray *sets = sessionSets();
    for (int32_t i = 0; sets != nullptr && i < sets->nitems(); ++i) {
        nyxSelectorSet *set = static_cast<nyxSelectorSet *>((*sets)[i]);
        if (std::strcmp(set->nameObj(), name) == 0) return set;
    }
    return nullptr;
}

nyxSelectorSet *nyxSelectorSet::create(const char *name, cfidrErrorT *err) {
    if (checksOn() && !nyxDMUtil::validName(name)) return *err = cfidrErrBadName, nullptr;
    if (name == nullptr) return *err = cfidrErrBadName, nullptr;
    if (checksOn() && findOpen(name) != nullptr) return *err = cfidrErrAlreadyExists, nullptr;
    nyxSelectorSet *set = construct(name, nyxDMTypes::kSelectorSet, err);
    if (set == nullptr) return nullptr;
    set->markCreated();
    return set;
}

nyxSelectorSet *nyxSelectorSet::open(const char *name, cfidrErrorT *err) {
    if (checksOn() && !nyxDMUtil::validName(name)) return *err = cfidrErrBadName, nullptr;
    if (name == nullptr) return *err = cfidrErrBadName, nullptr;
    if (nyxSelectorSet *set = findOpen(name)) return set;
    const std::string path = nyxDMUtil::pathOf(name);
    if (path.empty()) return *err = cfidrErrInternal, nullptr;
    // The form is the one the stored file is found in, the current one first.
    int32_t row = -1;
    for (int32_t r : {nyxDMTypes::kSelectorSet, nyxDMTypes::kSelectorSetOld}) {
        if (nyxFileIO::isFile(path + "." + nyxDMTypes::row(r).ext)) {
            row = r;
            break;
        }
    }
    if (row < 0) return *err = cfidrErrNotFound, nullptr;
    return construct(name, row, err);
}

void nyxSelectorSet::openStartupFile(const char *name) {
    if (!nyxDMUtil::validName(name)) return;
    cfidrErrorT err = 0;
    open(name, &err);
}

bool nyxSelectorSet::load(nyxSelectorSet *set, cfidrErrorT *err) { return set->openObj(err); }

void nyxSelectorSet::empty(nyxSelectorSet *set) {
    nyxPropForgetHeap(set->d_heap);
    nyxIterObjectGone(set->d_heap);
    set->d_propList = nullptr;
    set->d_libHead = set->d_libTail = nullptr;
    set->d_viewHead = set->d_viewTail = nullptr;
    // The heap record stays where it is: only its pages go.
    set->d_heap->~Hx_genheap();
    new (set->d_heap) Hx_genheap(kHeapName, kHeapChunk);
}

// --- Property owners ------------------------------------------------------------------------------

nyxPropOwner nyxSelectorSet::propOwner() {
    return nyxPropOwner{this, 0, nyxCodeSelectorSet, d_heap, setReadOnly};
}

nyxPropOwner nyxSelectorSet::propOwner(nyxLibrarySelector *sel) {
    return nyxPropOwner{sel, 0, nyxCodeLibrarySelector, sel->d_set->d_heap, libSelReadOnly};
}

nyxPropOwner nyxSelectorSet::propOwner(nyxViewSelector *sel) {
    return nyxPropOwner{sel, 0, sel->d_type, sel->d_set->d_heap, viewSelReadOnly};
}

// --- Selectors ------------------------------------------------------------------------------------

nyxLibrarySelector *nyxSelectorSet::appendLibrarySelector(nyxSelectorSet *set, const char *lib,
                                                          cfidrErrorT *err) {
    void *p = set->d_heap->allocBlock(sizeof(nyxLibrarySelector));
    if (p == nullptr) return *err = cfidrErrInternal, nullptr;
    nyxLibrarySelector *sel = new (p) nyxLibrarySelector{};
    sel->d_set = set;
    if (!sel->d_libName.setString(lib != nullptr ? lib : "", set->d_heap)) {
        set->d_heap->freeBlock(p, sizeof(nyxLibrarySelector));
        return *err = cfidrErrInternal, nullptr;
    }
    if (set->d_libTail != nullptr) set->d_libTail->d_next = sel;
    else set->d_libHead = sel;
    set->d_libTail = sel;
    return sel;
}

nyxViewSelector *nyxSelectorSet::appendViewSelector(nyxSelectorSet *set, int32_t code,
                                                    const char *lib, const char *cell,
                                                    const char *view, cfidrErrorT *err) {
    void *p = set->d_heap->allocBlock(sizeof(nyxViewSelector));
    if (p == nullptr) return *err = cfidrErrInternal, nullptr;
    nyxViewSelector *sel = new (p) nyxViewSelector{};
    sel->d_type = code;
    sel->d_set = set;
    Hx_genheap *heap = set->d_heap;
    if (!sel->d_libName.setString(lib != nullptr ? lib : "", heap) ||
        !sel->d_cellName.setString(cell != nullptr ? cell : "", heap) ||
        !sel->d_viewName.setString(view != nullptr ? view : "", heap)) {
        sel->d_libName.clear();
        sel->d_cellName.clear();
        heap->freeBlock(p, sizeof(nyxViewSelector));
        return *err = cfidrErrInternal, nullptr;
    }
    if (set->d_viewTail != nullptr) set->d_viewTail->d_next = sel;
    else set->d_viewHead = sel;
    set->d_viewTail = sel;
    return sel;
}

nyxLibrarySelector *nyxSelectorSet::createLibrarySelector(nyxSelectorSet *set, const char *lib,
                                                          cfidrErrorT *err) {
    if (!load(set, err)) return nullptr;
    if (checksOn()) {
        if (set->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
        if (!nyxDMUtil::validName(lib)) return *err = cfidrErrBadName, nullptr;
    }
    return appendLibrarySelector(set, lib, err);
}

nyxViewSelector *nyxSelectorSet::createViewSelector(nyxSelectorSet *set, int32_t code,
                                                    const char *lib, const char *cell,
                                                    const char *view, cfidrErrorT *err) {
    if (!load(set, err)) return nullptr;
    if (checksOn()) {
        if (set->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
        auto validOrEmpty = [](const char *s) { return s == nullptr || *s == '\0' || nyxDMUtil::validName(s); };
        if (!validOrEmpty(lib) || !validOrEmpty(cell) || !nyxDMUtil::validName(view)) {
            return *err = cfidrErrBadName, nullptr;
        }
    }
    return appendViewSelector(set, code, lib, cell, view, err);
}

// A destroyed selector leaves its list but keeps its link to the next one, so that an iterator
// standing on it still finds the rest of the list; its memory stays in the heap.
void nyxSelectorSet::destroyLibrarySelector(nyxLibrarySelector *sel, cfidrErrorT *err) {
    nyxSelectorSet *set = sel->d_set;
    if (checksOn() && set->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    nyxLibrarySelector *prev = nullptr;
    for (nyxLibrarySelector *s = set->d_libHead; s != nullptr; prev = s, s = s->d_next) {
        if (s != sel) continue;
        if (prev != nullptr) prev->d_next = s->d_next;
        else set->d_libHead = s->d_next;
        if (set->d_libTail == s) set->d_libTail = prev;
        break;
    }
    sel->d_type = 0;
    nyxPropListDestroy(sel->d_propList);
}

void nyxSelectorSet::destroyViewSelector(nyxViewSelector *sel, cfidrErrorT *err) {
    nyxSelectorSet *set = sel->d_set;
    if (checksOn() && set->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    nyxViewSelector *prev = nullptr;
    for (nyxViewSelector *s = set->d_viewHead; s != nullptr; prev = s, s = s->d_next) {
        if (s != sel) continue;
        if (prev != nullptr) prev->d_next = s->d_next;
        else set->d_viewHead = s->d_next;
        if (set->d_viewTail == s) set->d_viewTail = prev;
        break;
    }
    sel->d_type = 0;
    nyxPropListDestroy(sel->d_propList);
}

// --- Saving, purging, destroying, renaming ----------------------------------------------------------

void nyxSelectorSet::save(nyxSelectorSet *set, cfidrErrorT *err) {
    // A set whose file could not be read refuses with the read's error: its file stays.
    if (!load(set, err)) return;
    set->saveObj(err);
    nyxDMPath::clearDirectoryCache();
}

void nyxSelectorSet::purge(nyxSelectorSet *set) {
    if (nyxDynArray *sets = sessionSets()) sets->remove(set);
    set->deleteObj();
}

void nyxSelectorSet::destroy(nyxSelectorSet *set, cfidrErrorT *err) {
    set->destroyObj(err);
    nyxDMPath::clearDirectoryCache();
    if (*err != 0) return;
    purge(set);
}

void nyxSelectorSet::setName(nyxSelectorSet *set, const char *name, cfidrErrorT *err) {
    if (checksOn()) {
        if (set->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
        if (!nyxDMUtil::validName(name)) return (void)(*err = cfidrErrBadName);
        nyxSelectorSet *other = findOpen(name);
        if (other != nullptr && other != set) return (void)(*err = cfidrErrNameTaken);
    }
    if (name == nullptr) return (void)(*err = cfidrErrBadName);
    // The contents come from the file of the old name: read them before the name changes.
    if (!load(set, err)) return;
    if (!set->d_name.setString(name, nyx::getGlobalHeap())) return (void)(*err = cfidrErrInternal);
    // The path of the old name must not be used again: a save goes to the new name's file.
    set->forgetPathname();
}
