// Encapsulated views: their records in the cell's view list, the checked creation, save, purge,
// destroy, the class row (class 15) and the operations of their type-table rows.
#include <cstring>
#include <new>
#include <string>

#include "dm/store/storeInt.h"
#include "utils/fileio.h"

namespace {

// Properties of an encapsulated view, like the view itself, follow the mode of its library.
bool libReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxEncapsulatedView *>(owner)->owner()->d_lib->readOnly();
}

// A view name as kept: every tab becomes "/" and every newline ".".
std::string storedName(const char *name) {
    std::string s(name != nullptr ? name : "");
    for (char &c : s) {
        if (c == '\t') c = '/';
        else if (c == '\n') c = '.';
    }
    return s;
}

// The cell's view list entry of that name (compared without regard to case), or null.
void *listedView(nyxCell *cell, const char *name) {
    for (int32_t i = 0; i < cell->views().nitems(); ++i) {
        void *item = cell->views()[i];
        if (nyxDMUtil::sameName(nyxCell::viewObject(item)->nameObj(), name)) return item;
    }
    return nullptr;
}

} // namespace

nyxEncapsulatedView::nyxEncapsulatedView(nyxCell *cell, cfidrAccessModeT mode)
    : nyxDMObj(nyxDMTypes::kEncapsulatedView, mode), d_owner(cell) {}

nyxEncapsulatedView::~nyxEncapsulatedView() {
    nyxPropListDestroy(d_propList);
    d_name.clear();
    d_viewType.clear();
    d_key.clear();
}

nyxEncapsulatedView *nyxEncapsulatedView::construct(nyxCell *cell, const char *name,
                                                    cfidrAccessModeT mode, bool created,
                                                    cfidrErrorT *err) {
    void *p = nyxDMInt::allocRecord(sizeof(nyxEncapsulatedView));
    if (p == nullptr) return *err = cfidrErrInternal, nullptr;
    nyxEncapsulatedView *view = new (p) nyxEncapsulatedView(cell, mode);
    if (!view->d_name.setString(storedName(name).c_str(), nyx::getLibCellHeap()) ||
        cell->views().add(view->listEntry()) < 0) {
        view->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    if (created) {
        view->markCreated();
        view->d_changed = 1;
    }
    return view;
}

nyxDMObj *nyxEncapsulatedView::constructStored(nyxCell *cell, const char *name, int32_t row,
                                               cfidrErrorT *err) {
    nyxEncapsulatedView *view = construct(cell, name, cell->d_lib->d_accessMode, false, err);
    if (view != nullptr) view->d_typeIndex = row;
    return view;
}

void nyxEncapsulatedView::deleteObj() {
    this->~nyxEncapsulatedView();
    nyxDMInt::freeRecord(this, sizeof(nyxEncapsulatedView));
}

const char *nyxEncapsulatedView::pathnameObj() {
    if (d_pathName == nullptr) {
        d_pathName = nyxDMUtil::getPathname(d_owner->d_lib->nameObj(), d_owner->nameObj(), nameObj());
    }
    return d_pathName;
}

bool nyxEncapsulatedView::load(nyxEncapsulatedView *view, cfidrErrorT *err) {
    if (view->loaded()) return true;
    if (!view->openObj(err)) return false;
    // Without the stored form's reader a listed view stays unread: nothing of it can be known.
    if (!view->loaded()) return *err = cfidrErrNotFound, false;
    return true;
}

void nyxEncapsulatedView::emptyStored() {
    nyxPropListDestroy(d_propList);
    d_viewType.clear();
    d_key.clear();
    d_changed = 0;
    d_compiledUntouched = false;
}

bool nyxEncapsulatedView::setFields(nyxEncapsulatedView *view, const char *viewType, const char *key) {
    Hx_genheap *heap = nyx::getLibCellHeap();
    if (!view->d_viewType.setString(viewType, heap) || !view->d_key.setString(key, heap)) return false;
    view->d_changed = 1;
    view->d_compiledUntouched = false;
    return true;
}

nyxPropOwner nyxEncapsulatedView::propOwner(nyxEncapsulatedView *view) {
    return nyxPropOwner{view, 0, nyxCodeEncapsulatedView, nyx::getLibCellHeap(), libReadOnly};
}

nyxObjRef nyxEncapsulatedView::buildProp(nyxEncapsulatedView *view, const char *name) {
    // Stored and compiled data is taken as it is: the checks of creation do not apply.
    const uint32_t saved = nyx::sessionFlags;
    nyx::sessionFlags |= nyx::kTrustedData;
    cfidrErrorT ignored = 0;
    nyxObjRef r = nyxPropCreate(view->d_propList, propOwner(view), name, &ignored);
    nyx::sessionFlags = saved;
    return r;
}

void nyxEncapsulatedView::edited(void *owner, uint32_t, int32_t) {
    auto *view = static_cast<nyxEncapsulatedView *>(owner);
    view->d_changed = 1;
    view->d_compiledUntouched = false;
}

// --- Creation -----------------------------------------------------------------------------------

nyxEncapsulatedView *nyxEncapsulatedView::create(nyxCell *cell, const char *name, const char *viewType,
                                                 const char *key, cfidrErrorT *err) {
    // A cell whose directory does not exist (yet) has nothing stored to conflict with.
    cfidrErrorT readErr = 0;
    if (!cell->openObj(&readErr) && readErr != cfidrErrNotFound) return *err = readErr, nullptr;
    const bool replace = nyx::replaceMode();
    const bool checks = !replace && !nyx::trustedData();
    const char *ext = nyxDMTypes::row(nyxDMTypes::kEncapsulatedView).ext;
    if (checks && cell->d_lib->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
    if (name == nullptr) return *err = cfidrErrBadName, nullptr;
    const std::string stored = storedName(name);
    if (checks && (!nyxDMUtil::validName(stored.c_str()) || !nyxDMPath::fitsEntry(stored.c_str(), ext))) {
        return *err = cfidrErrBadName, nullptr;
    }
    if (viewType == nullptr || (!replace && std::strcmp(viewType, "CFIDR_NETLISTVIEW") == 0)) {
        return *err = cfidrErrBadViewType, nullptr;
    }
    if (key == nullptr) return *err = cfidrErrBadKey, nullptr;
    if (checks || replace) {
        if (void *item = listedView(cell, stored.c_str())) {
            // The replace flag takes an encapsulated view of the name; nothing replaces a view of
            // another kind, and no name is listed twice.
            if (!replace || nyxCell::viewCode(item) != nyxCodeEncapsulatedView) {
                return *err = cfidrErrAlreadyExists, nullptr;
            }
            auto *view = static_cast<nyxEncapsulatedView *>(nyxCell::viewObject(item));
            if (!load(view, err)) return nullptr;
            if (!setFields(view, viewType, key)) return *err = cfidrErrInternal, nullptr;
            view->d_accessMode = cfidrUpdateMode;
            return view;
        }
    }
    if (checks) {
        const char *cellPath = cell->pathnameObj();
        if (cellPath == nullptr) return *err = cfidrErrInternal, nullptr;
        if (nyxDMObj::findDMObj(nyxCodeEncapsulatedView, cellPath, stored.c_str(), nullptr) >= 0) {
            return *err = cfidrErrAlreadyExists, nullptr;
        }
    }
    nyxEncapsulatedView *view = construct(cell, stored.c_str(), cfidrUpdateMode, true, err);
    if (view == nullptr) return nullptr;
    if (!setFields(view, viewType, key)) {
        cell->views().remove(view->listEntry());
        view->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    return view;
}

// --- Saving, purging, destroying ------------------------------------------------------------------

void nyxEncapsulatedView::saveObj(cfidrErrorT *err) {
    // Contents not read, or not read whole, must not replace their file; unchanged ones need not.
    if (!loaded() || readError() != 0 || d_changed == 0) return;
    nyxDMObj::saveObj(err);
    if (*err != 0) return;
    d_changed = 0;
    d_compiledUntouched = false;
    // Inside a library save the file is in place only once every file of the save is.
    nyxFileIO::atRollback([this] { d_changed = 1; });
}

void nyxEncapsulatedView::save(nyxEncapsulatedView *view, cfidrErrorT *err) {
    // A view whose file cannot be read answers with the read's error and writes nothing.
    if (!load(view, err)) return;
    view->saveObj(err);
    nyxDMPath::clearDirectoryCache();
}

void nyxEncapsulatedView::purge(nyxEncapsulatedView *view, cfidrErrorT *err) {
    nyxCell *cell = view->d_owner;
    // A view stored on disk stays listed, unread. Its stand-in is made before the view goes, so
    // that memory running out leaves the view as it was.
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return (void)(*err = cfidrErrInternal);
    const std::string file = std::string(cellPath) + "/" + nyxDMPath::encodeName(view->nameObj()) + "." +
                             nyxDMTypes::row(view->d_typeIndex).ext;
    if (nyxFileIO::isFile(file)) {
        if (constructStored(cell, view->nameObj(), view->d_typeIndex, err) == nullptr) return;
    }
    cell->views().remove(view->listEntry());
    view->deleteObj();
}

void nyxEncapsulatedView::destroyObj(cfidrErrorT *err) {
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    remove(path, err);
}

void nyxEncapsulatedView::destroy(nyxEncapsulatedView *view, cfidrErrorT *err) {
    if (!nyx::trustedData() && view->d_owner->d_lib->readOnly()) {
        return (void)(*err = cfidrErrNotOpenForUpdate);
    }
    view->destroyObj(err);
    nyxDMPath::clearDirectoryCache();
    if (*err != 0) return;
    view->d_owner->views().remove(view->listEntry());
    view->deleteObj();
}

void nyxEncapsulatedView::remove(const char *path, cfidrErrorT *err) {
    const std::string base(path);
    if (!nyxFileIO::removeAll(base + "." + nyxDMTypes::row(nyxDMTypes::kEncapsulatedView).ext)) {
        return (void)(*err = cfidrErrInternal);
    }
    // A file of the older form goes only when its header says it is an encapsulated view: the
    // same name may hold a netlist view.
    const nyxDMKind &old = nyxDMTypes::row(nyxDMTypes::kEncapsulatedViewOld);
    const std::string oldFile = base + "." + old.ext;
    if (old.headerNames != nullptr && nyxFileIO::isFile(oldFile) &&
        old.headerNames(oldFile.c_str(), nyxCodeEncapsulatedView) && !nyxFileIO::removeAll(oldFile)) {
        *err = cfidrErrInternal;
    }
}

// --- The class row ----------------------------------------------------------------------------------

namespace {

nyxEncapsulatedView *asView(void *obj) { return static_cast<nyxEncapsulatedView *>(obj); }

nyxObjRef viewCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxEncapsulatedView *v = asView(obj);
    if (!nyxEncapsulatedView::load(v, err)) return {};
    return nyxPropCreate(v->d_propList, nyxEncapsulatedView::propOwner(v), name, err);
}

nyxObjRef viewFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!nyxEncapsulatedView::load(asView(obj), err)) return {};
    return nyxPropFind(asView(obj)->d_propList, name, err);
}

nyxIter *viewGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    // Nothing is read while identifiers are collected; a view that cannot be read has none.
    if (nyxIterNoReads > 0 && !asView(obj)->loaded()) return nyxPropGetProps(nullptr, err);
    cfidrErrorT ignored = 0;
    if (!nyxEncapsulatedView::load(asView(obj), &ignored)) return nyxPropGetProps(nullptr, err);
    return nyxPropGetProps(asView(obj)->d_propList, err);
}

const char *viewGetName(void *obj, uint32_t, cfidrErrorT *) { return asView(obj)->nameObj(); }

void viewDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxEncapsulatedView::destroy(asView(obj), err); }

// No rename operation: renaming an encapsulated view is refused (36).
constexpr nyxClassOps makeOps() {
    nyxClassOps ops{};
    ops.createProp = viewCreateProp;
    ops.destroy = viewDestroy;
    ops.findPropByName = viewFindProp;
    ops.getName = viewGetName;
    ops.getters[nyxIterProp] = viewGetProps;
    return ops;
}

constinit const nyxClassOps kEncapsulatedViewOps = makeOps();

} // namespace

void nyxEncapsulatedViewInstall() {
    nyxClasses::install(nyxCodeEncapsulatedView, &kEncapsulatedViewOps);
    nyxPropChangeHooks[nyxCodeEncapsulatedView] = nyxEncapsulatedView::edited;
    for (int32_t row : {nyxDMTypes::kEncapsulatedView, nyxDMTypes::kEncapsulatedViewOld}) {
        nyxDMTypes::install(row, nullptr, nullptr, nyxEncapsulatedView::remove,
                            nyxEncapsulatedView::constructStored);
    }
}
