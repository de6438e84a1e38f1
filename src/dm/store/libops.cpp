// The class rows of libraries and cells, their iterators, the table of later steps, and the steps
// of the start and release that belong to libraries: the search path, the current-directory
// libraries and the path caches.
#include <cstdlib>
#include <cstring>

#include "dm/store/storeInt.h"
#include "utils/fileio.h"

namespace {

// Iterator over one of a library's or cell's lists. It steps by index, so objects added while it
// runs are seen; `tagged` lists hold view entries tagged with their class (bit 0).
nyxObjRef listNext(nyxIter *it, cfidrErrorT *err);
void listReset(nyxIter *it);
void listQuit(nyxIter *it);
constexpr nyxIterOps kListIterOps = {listNext, listReset, listQuit};

struct nyxDMListIter : nyxIter {
    const nyxDynArray *list;
    int32_t index = 0;
    int32_t code;
    bool tagged;

    nyxDMListIter(const nyxDynArray *l, int32_t c, bool t)
        : nyxIter(kListIterOps), list(l), code(c), tagged(t) {}
};

nyxIterCache<nyxDMListIter, 4> g_listIters;

// `home` is the library or cell that holds the list: the iterator ends when it goes.
nyxIter *makeListIter(nyxDMObj *home, const nyxDynArray &list, int32_t code, bool tagged, cfidrErrorT *err) {
    nyxDMListIter *it = g_listIters.make(&list, code, tagged);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = home;
    return it;
}

void listQuit(nyxIter *it) { g_listIters.release(static_cast<nyxDMListIter *>(it)); }

void listReset(nyxIter *it) { static_cast<nyxDMListIter *>(it)->index = 0; }

nyxObjRef listNext(nyxIter *it, cfidrErrorT *err) {
    nyxDMListIter *li = static_cast<nyxDMListIter *>(it);
    if (li->index >= li->list->nitems()) return {};
    void *item = (*li->list)[li->index++];
    if (!li->tagged) return nyxObjRef{item, li->code, 0};
    // Views are read before they are handed out.
    nyxDMObj *view = nyxCell::viewObject(item);
    if (nyxIterNoReads == 0 && !nyx::trustedProgram() && !view->openObj(err)) return {};
    return nyxObjRef{view, nyxCell::viewCode(item), 0};
}

// --- Libraries ------------------------------------------------------------------------------------

nyxLib *asLib(void *obj) { return static_cast<nyxLib *>(obj); }
nyxCell *asCell(void *obj) { return static_cast<nyxCell *>(obj); }

bool readFirst(nyxDMObj *obj, cfidrErrorT *err) { return nyxIterNoReads > 0 || obj->openObj(err); }

nyxObjRef libCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!readFirst(asLib(obj), err)) return {};
    return nyxPropCreate(asLib(obj)->d_propList, nyxDMInt::libOwner(asLib(obj)), name, err);
}

nyxObjRef libFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!readFirst(asLib(obj), err)) return {};
    return nyxPropFind(asLib(obj)->d_propList, name, err);
}

nyxIter *libGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asLib(obj), err)) return nullptr;
    return nyxPropGetProps(asLib(obj)->d_propList, err);
}

nyxIter *libGetCells(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asLib(obj), err)) return nullptr;
    return makeListIter(asLib(obj), asLib(obj)->cells(), nyxCodeCell, false, err);
}

void libDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxLib::destroy(asLib(obj), err); }

const char *libGetName(void *obj, uint32_t, cfidrErrorT *) { return asLib(obj)->nameObj(); }

// --- Cells --------------------------------------------------------------------------------------

nyxObjRef cellCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!readFirst(asCell(obj), err)) return {};
    return nyxPropCreate(asCell(obj)->d_propList, nyxDMInt::cellOwner(asCell(obj)), name, err);
}

nyxObjRef cellFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!readFirst(asCell(obj), err)) return {};
    return nyxPropFind(asCell(obj)->d_propList, name, err);
}

nyxIter *cellGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asCell(obj), err)) return nullptr;
    return nyxPropGetProps(asCell(obj)->d_propList, err);
}

nyxIter *cellGetViews(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asCell(obj), err)) return nullptr;
    return makeListIter(asCell(obj), asCell(obj)->views(), nyxCodeNetlistView, true, err);
}

nyxIter *cellGetOccPropSets(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asCell(obj), err)) return nullptr;
    return makeListIter(asCell(obj), asCell(obj)->occPropSets(), nyxCodeOccPropSet, false, err);
}

nyxIter *cellGetDesignConfigs(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asCell(obj), err)) return nullptr;
    return makeListIter(asCell(obj), asCell(obj)->designConfigs(), nyxCodeDesignConfig, false, err);
}

void cellDestroy(void *obj, uint32_t, cfidrErrorT *err) {
    nyxCell *cell = asCell(obj);
    if (!nyx::trustedData() && cell->d_lib->readOnly()) {
        return (void)(*err = cfidrErrNotOpenForUpdate);
    }
    nyxCell::destroy(cell, err);
}

const char *cellGetName(void *obj, uint32_t, cfidrErrorT *) { return asCell(obj)->nameObj(); }

constinit const nyxClassOps kLibOps = {
    libCreateProp,
    libDestroy,
    libFindProp,
    libGetName,
    nullptr,
    {nullptr, nullptr, libGetCells, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     libGetProps, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    nullptr,
};

constinit const nyxClassOps kCellOps = {
    cellCreateProp,
    cellDestroy,
    cellFindProp,
    cellGetName,
    nullptr,
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     cellGetProps, cellGetViews, nullptr, nullptr, cellGetOccPropSets, nullptr,
     cellGetDesignConfigs, nullptr},
    nullptr,
};

} // namespace

nyxLaterSteps nyxLater = {};

void nyxStoreInstall() {
    nyxClasses::install(nyxCodeLib, &kLibOps);
    nyxClasses::install(nyxCodeCell, &kCellOps);
}

nyxIter *nyxLib::getCells(nyxLib *lib, cfidrErrorT *err) { return libGetCells(lib, 0, err); }

nyxIter *nyxCell::getViews(nyxCell *cell, cfidrErrorT *err) { return cellGetViews(cell, 0, err); }

// --- The global state's library iterator ------------------------------------------------------------

namespace {

// The global state's library iterator reads each library it hands out (when not yet fully open)
// and marks it user-opened, around the plain list step.
nyxObjRef sessionLibNext(nyxIter *it, cfidrErrorT *err) {
    nyxObjRef r = nyxListIterNext(it, err);
    if (r.obj == nullptr || *err != 0) return r;
    nyxLib *lib = static_cast<nyxLib *>(r.obj);
    // A library whose directory cannot be listed is still handed out, with no cells.
    cfidrErrorT readErr = 0;
    lib->openObj(&readErr);
    lib->d_userOpened = 1;
    return r;
}

constexpr nyxIterOps kSessionLibOps = {sessionLibNext, nyxListIterReset, nyxListIterQuit};

bool isSeparator(char c) { return c == ':' || c == ';' || c == '\n'; }

// Makes an unopened, read-only record for a library that exists on disk and is not known yet.
void knowLibrary(std::string name) {
    // Blanks around an entry are not part of it; blanks inside a name are.
    size_t first = name.find_first_not_of(" \t\r");
    name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(" \t\r") - first + 1);
    if (name.empty() || nyxLib::findKnown(name.c_str()) != nullptr) return;
    if (nyxDMObj::findDMObj(nyxCodeLib, nyxDMUtil::pathOf(name.c_str()).c_str(), nullptr, nullptr) < 0) {
        return;
    }
    cfidrErrorT ignored = 0;
    nyxLib::construct(name.c_str(), cfidrReadMode, &ignored);
}

} // namespace

nyxIter *nyxLib::getLibs(cfidrErrorT *err) {
    nyx *state = nyx::session;
    nyxIter *it = state != nullptr
                      ? nyxMakeListIter(&nyxLib::sessionList(), nyxCodeLib, kSessionLibOps)
                      : nullptr;
    if (it == nullptr) *err = cfidrErrInternal;
    return it;
}

// ZIL_CFI_LIBPATH: library names separated by ":", ";" or newlines.
void nyxStoreOpenSearchPathLibraries() {
    const char *value = std::getenv("ZIL_CFI_LIBPATH");
    if (value == nullptr) return;
    std::string name;
    for (const char *p = value;; ++p) {
        if (*p == '\0' || isSeparator(*p)) {
            knowLibrary(name);
            name.clear();
            if (*p == '\0') break;
        } else {
            name += *p;
        }
    }
}

// ZIL_NYX_LIBRARYMAP ".": every subdirectory of the current directory is a library, every
// selector-set file a selector set.
void nyxStoreOpenLibraryMap() {
    const char *value = std::getenv("ZIL_NYX_LIBRARYMAP");
    if (value == nullptr || std::strcmp(value, ".") != 0) return;
    std::vector<std::string> entries;
    if (!nyxFileIO::listDirectory(".", entries)) return;
    for (const std::string &entry : entries) {
        if (nyxFileIO::isDirectory(entry)) {
            if (nyxDMPath::isStoredName(entry)) knowLibrary(nyxDMPath::decodeName(entry.c_str()));
            continue;
        }
        size_t dot = entry.rfind('.');
        if (dot == std::string::npos || dot == 0 || nyxLater.openSelectorSetFile == nullptr) {
            continue;
        }
        const char *ext = entry.c_str() + dot + 1;
        if (nyxDMUtil::sameName(ext, nyxDMTypes::row(nyxDMTypes::kSelectorSet).ext) ||
            nyxDMUtil::sameName(ext, nyxDMTypes::row(nyxDMTypes::kSelectorSetOld).ext)) {
            nyxLater.openSelectorSetFile(entry.c_str(), entry.substr(0, dot).c_str());
        }
    }
}

void nyxStoreClearPathCaches() {
    nyxDMPath::releasePathBuffers();
    nyxDMPath::clearDirectoryCache();
    // Library and cell properties go with their heap: forget their properties on properties.
    if (nyx::libCellHeap != nullptr) nyxPropForgetHeap(nyx::libCellHeap);
}
