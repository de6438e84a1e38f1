// Cells: records, reading the cell directory, saving, destroying and finding views.
#include <cstdlib>
#include <cstring>
#include <new>

#include "dm/store/storeInt.h"
#include "utils/fileio.h"

namespace nyxDMInt {

const char *const kCellPropFiles[3] = {"_nyx_Cell", "nyx\tCell", ".nyx"};

// Properties of a cell follow the access mode of its library.
static bool cellReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxCell *>(owner)->d_lib->readOnly();
}

nyxPropOwner cellOwner(nyxCell *cell) {
    return nyxPropOwner{cell, 0, nyxCodeCell, nyx::getLibCellHeap(), cellReadOnly};
}

} // namespace nyxDMInt

using nyxDMInt::kCellPropFiles;

nyxCell::nyxCell(nyxLib *lib, cfidrAccessModeT mode)
    : nyxDMObj(nyxDMTypes::kCell, mode), d_lib(lib), d_views(nyx::getLibCellHeap()),
      d_occPropSets(nyx::getLibCellHeap()), d_designConfigs(nyx::getLibCellHeap()),
      d_stored(nyx::getLibCellHeap()), d_compilable(nyx::getLibCellHeap()) {}

nyxCell::~nyxCell() {
    for (nyxDynArray *list : {&d_views, &d_occPropSets, &d_designConfigs}) {
        for (int32_t i = 0; i < list->nitems(); ++i) viewObject((*list)[i])->deleteObj();
        list->clear();
    }
    forgetStored();
    forgetCompilable();
    nyxPropListDestroy(d_propList);
    d_name.clear();
}

void nyxCell::forgetStored() {
    for (int32_t i = 0; i < d_stored.nitems(); ++i) {
        nyxDMEntry *entry = static_cast<nyxDMEntry *>(d_stored[i]);
        entry->name.clear();
        entry->~nyxDMEntry();
        nyxDMInt::freeRecord(entry, sizeof(nyxDMEntry));
    }
    d_stored.clear();
}

void nyxCell::forgetCompilable() {
    for (int32_t i = 0; i < d_compilable.nitems(); ++i) {
        nyxCompilableEntry *entry = static_cast<nyxCompilableEntry *>(d_compilable[i]);
        entry->name.clear();
        entry->entry.clear();
        entry->~nyxCompilableEntry();
        nyxDMInt::freeRecord(entry, sizeof(nyxCompilableEntry));
    }
    d_compilable.clear();
}

nyxCell *nyxCell::construct(nyxLib *lib, const char *name, bool stored, cfidrAccessModeT mode,
                            cfidrErrorT *err) {
    void *p = nyxDMInt::allocRecord(sizeof(nyxCell));
    if (p == nullptr) return *err = cfidrErrInternal, nullptr;
    nyxCell *cell = new (p) nyxCell(lib, mode);
    std::string decoded = stored ? nyxDMPath::decodeName(name) : std::string(name);
    if (!cell->d_name.setString(decoded.c_str(), nyx::getLibCellHeap()) || !lib->linkCell(cell)) {
        cell->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    if (!stored) cell->markCreated();
    return cell;
}

void nyxCell::deleteObj() {
    this->~nyxCell();
    nyxDMInt::freeRecord(this, sizeof(nyxCell));
}

const char *nyxCell::pathnameObj() {
    if (d_pathName == nullptr) {
        d_pathName = nyxDMUtil::getPathname(d_lib->nameObj(), d_name.getString(), nullptr);
    }
    return d_pathName;
}

bool nyxCell::registerCompilable(const std::string &name, const std::string &entry, int32_t rank) {
    void *p = nyxDMInt::allocRecord(sizeof(nyxCompilableEntry));
    if (p == nullptr) return false;
    nyxCompilableEntry *record = new (p) nyxCompilableEntry{{}, {}, rank};
    if (!record->name.setString(name.c_str(), nyx::getLibCellHeap()) ||
        !record->entry.setString(entry.c_str(), nyx::getLibCellHeap()) || d_compilable.add(record) < 0) {
        record->name.clear();
        record->entry.clear();
        nyxDMInt::freeRecord(record, sizeof(nyxCompilableEntry));
        return false;
    }
    return true;
}

bool nyxCell::hasObjectNamed(const char *name) const {
    for (const nyxDynArray *list : {&d_views, &d_occPropSets, &d_designConfigs}) {
        for (int32_t i = 0; i < list->nitems(); ++i) {
            if (nyxDMUtil::sameName(viewObject((*list)[i])->nameObj(), name)) return true;
        }
    }
    return false;
}

// --- Reading ------------------------------------------------------------------------------------

namespace {

// Whether the cell already holds an object of the row's kind and this name.
bool knownEntry(const nyxDynArray &stored, int32_t row, const std::string &name) {
    const int32_t code = nyxDMTypes::row(row).code;
    for (int32_t i = 0; i < stored.nitems(); ++i) {
        const nyxDMEntry *e = static_cast<const nyxDMEntry *>(stored[i]);
        if (std::abs(nyxDMTypes::row(e->row).code) == std::abs(code) &&
            nyxDMUtil::sameName(e->name.getString(), name.c_str())) {
            return true;
        }
    }
    return false;
}

// Whether the cell's directory holds a stored object of any kind named `name`.
bool storedNamed(const nyxDynArray &stored, const std::string &name) {
    for (int32_t i = 0; i < stored.nitems(); ++i) {
        const nyxDMEntry *e = static_cast<const nyxDMEntry *>(stored[i]);
        if (nyxDMUtil::sameName(e->name.getString(), name.c_str())) return true;
    }
    return false;
}

bool recordEntry(nyxDynArray &stored, int32_t row, const std::string &name) {
    void *p = nyxDMInt::allocRecord(sizeof(nyxDMEntry));
    if (p == nullptr) return false;
    nyxDMEntry *entry = new (p) nyxDMEntry{row, {}};
    if (!entry->name.setString(name.c_str(), nyx::getLibCellHeap()) || stored.add(entry) < 0) {
        entry->name.clear();
        nyxDMInt::freeRecord(entry, sizeof(nyxDMEntry));
        return false;
    }
    return true;
}

} // namespace

int32_t nyxCell::compilableRank(const std::string &entry, size_t &base) {
    if (nyxLater.compilerRuleRank == nullptr) return -1;
    size_t dot = entry.rfind('.');
    if (dot == std::string::npos || dot == 0) return -1;
    base = dot;
    int32_t rank = nyxLater.compilerRuleRank(entry.c_str() + dot + 1);
    if (rank < 0) {
        size_t first = entry.find('.');
        if (first != dot && first != 0) rank = nyxLater.compilerRuleRank(entry.c_str() + first + 1);
        base = first;
    }
    return rank;
}

void nyxCell::read(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    nyxCell *cell = static_cast<nyxCell *>(obj);
    // A property file that cannot be read is reported, after the directory is listed all the same.
    const cfidrErrorT propErr =
        nyxPropFile::read(path, kCellPropFiles, cell->d_propList, nyxDMInt::cellOwner(cell));
    if (!nyxSettings::hasNameOption(nyxSettings::kSuppressDirectoryScan))
        cell->readDirectory(path, err);
    if (propErr != 0) *err = propErr;
}

void nyxCell::readDirectory(const char *path, cfidrErrorT *err) {
    const std::vector<std::string> *listing = nyxDMPath::getDiskDirectory(path);
    if (listing == nullptr) return (void)(*err = cfidrErrNotFound);
    std::vector<std::string> entries(*listing);
    nyxDMPath::freeDiskDirectory(path);

    int32_t lowestRank = -1;
    std::vector<int32_t> ranks(entries.size(), -1);
    std::vector<size_t> bases(entries.size(), 0);
    for (size_t k = 0; k < entries.size(); ++k) {
        const std::string &entry = entries[k];
        size_t dot = entry.rfind('.');
        // Names must not be empty: ".nyx" is an older cell property file, not a view.
        if (dot == std::string::npos || dot == 0) continue;
        ranks[k] = compilableRank(entry, bases[k]);
        if (ranks[k] >= 0 && (lowestRank < 0 || ranks[k] < lowestRank)) lowestRank = ranks[k];
        const char *ext = entry.c_str() + dot + 1;
        for (int32_t row = nyxDMTypes::kNetlistView; row < nyxDMTypes::kRows; ++row) {
            if (row == nyxDMTypes::kSelectorSet || row == nyxDMTypes::kSelectorSetOld) continue;
            const nyxDMKind &kind = nyxDMTypes::row(row);
            if (!nyxDMUtil::sameName(kind.ext, ext)) continue;
            // The first matching row wins: a "nyx" file is listed as a netlist view. A base that
            // is not a stored name is another object's file name, not this one's.
            if (!nyxDMPath::isStoredName(entry.substr(0, dot))) break;
            std::string name = nyxDMPath::decodeName(entry.substr(0, dot).c_str());
            if (!knownEntry(d_stored, row, name)) {
                if (!recordEntry(d_stored, row, name)) return (void)(*err = cfidrErrInternal);
                // Kinds whose subsystem is present make an unopened object in the cell's list.
                if (kind.construct != nullptr &&
                    kind.construct(this, name.c_str(), row, err) == nullptr && *err != 0) {
                    return;
                }
            }
            break;
        }
    }
    // The entries of the best-ranked rule are registered as the sources of views that opening
    // compiles (the compilable-entry side list). They make no objects (see store.h).
    forgetCompilable();
    if (lowestRank < 0 || nyxLater.registerCompiledView == nullptr) return;
    for (size_t k = 0; k < entries.size(); ++k) {
        if (ranks[k] != lowestRank) continue;
        const std::string stored = entries[k].substr(0, bases[k]);
        if (!nyxDMPath::isStoredName(stored)) continue;
        const std::string base = nyxDMPath::decodeName(stored.c_str());
        if (hasObjectNamed(base.c_str()) || storedNamed(d_stored, base)) continue;
        nyxLater.registerCompiledView(this, entries[k].c_str(), err);
        if (*err != 0) return;
    }
}

// --- Saving and removing --------------------------------------------------------------------------

void nyxCell::write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    nyxCell *cell = static_cast<nyxCell *>(obj);
    if (!nyxFileIO::makeDirectory(path, 0777)) return (void)(*err = cfidrErrInternal);
    for (nyxDynArray *list : {&cell->d_views, &cell->d_occPropSets, &cell->d_designConfigs}) {
        for (int32_t i = 0; i < list->nitems(); ++i) {
            viewObject((*list)[i])->saveObj(err);
            if (*err != 0) return;
        }
    }
    // Properties that were never read must not replace the file they could not be read from; the
    // library save reports the read's error once everything else is in place.
    if (cell->readError() != 0) return;
    bool good;
    const std::string records = nyxPropFile::format(cell->d_propList);
    if (!records.empty()) {
        good = nyxPropFile::write(path, kCellPropFiles[0], records);
    } else {
        good = nyxPropFile::removeAll(path, kCellPropFiles);
    }
    if (!good) *err = cfidrErrInternal;
}

void nyxCell::saveObj(cfidrErrorT *err) {
    if (!openObj(err)) return;
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    write(this, path, err);
}

void nyxCell::remove(const char *path, cfidrErrorT *err) {
    if (!nyxPropFile::removeAll(path, kCellPropFiles)) return (void)(*err = cfidrErrInternal);
    if (!nyxFileIO::isDirectory(path)) return;
    if (!nyxFileIO::removeDirectory(path)) *err = cfidrErrInternal;
}

void nyxCell::destroyObj(cfidrErrorT *err) {
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    for (nyxDynArray *list : {&d_views, &d_occPropSets, &d_designConfigs}) {
        while (list->nitems() > 0) {
            void *item = (*list)[0];
            nyxDMObj *obj = viewObject(item);
            obj->destroyObj(err);
            if (*err != 0) return;
            list->remove(item);
            obj->deleteObj();
        }
    }
    // Stored objects of kinds that have no objects here are removed by their file names.
    for (int32_t i = 0; i < d_stored.nitems(); ++i) {
        const nyxDMEntry *entry = static_cast<const nyxDMEntry *>(d_stored[i]);
        std::string file = std::string(path) + "/" + nyxDMPath::encodeName(entry->name.getString()) +
                           "." + nyxDMTypes::row(entry->row).ext;
        if (!nyxFileIO::removeAll(file)) return (void)(*err = cfidrErrInternal);
    }
    remove(path, err);
}

void nyxCell::destroy(nyxCell *cell, cfidrErrorT *err) {
    // What a failed read found goes with the cell (as for libraries).
    cfidrErrorT readErr = 0;
    cell->openObj(&readErr);
    cell->destroyObj(err);
    nyxDMPath::clearDirectoryCache();
    if (*err != 0) return;
    cell->d_lib->unlinkCell(cell);
    cell->deleteObj();
}

// --- Views ----------------------------------------------------------------------------------------

namespace {

// The cell's listed view of that name (names compared as view names are), read unless trusted
// program mode is on; null with err unset when the cell lists no such view, null with the read's
// error when the view cannot be read.
void *listedView(nyxCell *cell, const char *name, cfidrErrorT *err) {
    for (int32_t i = 0; i < cell->views().nitems(); ++i) {
        void *item = cell->views()[i];
        nyxDMObj *view = nyxCell::viewObject(item);
        if (!nyxDMUtil::sameName(view->nameObj(), name)) continue;
        if (!nyx::trustedProgram() && !view->openObj(err)) return nullptr;
        return item;
    }
    return nullptr;
}

} // namespace

nyxObjRef nyxCell::findViewByName(nyxCell *cell, const char *name, cfidrErrorT *err) {
    if (!cell->openObj(err)) return {};
    if (void *item = listedView(cell, name, err)) return nyxObjRef{viewObject(item), viewCode(item), 0};
    if (*err != 0) return {};
    if (nyxLater.openView == nullptr) return *err = cfidrErrNotFound, nyxObjRef{};
    cfidrErrorT openErr = 0;
    nyxObjRef r = nyxLater.openView(cell, name, cfidrReadMode, &openErr);
    if (openErr != 0 || r.obj == nullptr) return *err = cfidrErrNotFound, nyxObjRef{};
    return r;
}

nyxObjRef nyxCell::openView(nyxCell *cell, const char *name, cfidrAccessModeT mode, cfidrErrorT *err) {
    if (!nyx::trustedProgram() && !nyxDMUtil::validName(name)) {
        return *err = cfidrErrBadName, nyxObjRef{};
    }
    if (!cell->openObj(err)) return {};
    if (void *item = listedView(cell, name, err)) {
        viewObject(item)->d_accessMode = mode;
        return nyxObjRef{viewObject(item), viewCode(item), 0};
    }
    if (*err != 0) return {};
    if (nyxLater.openView == nullptr) return *err = cfidrErrNotFound, nyxObjRef{};
    return nyxLater.openView(cell, name, mode, err);
}

// --- Occurrence property sets and design configurations by name -------------------------------------

nyxDMObj *nyxCell::findSetByName(nyxCell *cell, nyxDynArray &list, const char *name, cfidrErrorT *err) {
    if (name == nullptr) return *err = cfidrErrNotFound, nullptr;
    if (nyxSettings::nyxEnableDR(nyxSettings::kFixExactSetNameFirst)) {
        for (int32_t i = 0; i < list.nitems(); ++i) {
            nyxDMObj *obj = static_cast<nyxDMObj *>(list[i]);
            if (std::strcmp(obj->nameObj(), name) == 0) return obj;
        }
    }
    if (!cell->openObj(err)) return nullptr;
    for (int32_t i = 0; i < list.nitems(); ++i) {
        nyxDMObj *obj = static_cast<nyxDMObj *>(list[i]);
        if (nyxDMUtil::sameName(obj->nameObj(), name)) return obj;
    }
    return *err = cfidrErrNotFound, nullptr;
}

nyxDMObj *nyxCell::findOccPropSetByName(nyxCell *cell, const char *name, cfidrErrorT *err) {
    return findSetByName(cell, cell->d_occPropSets, name, err);
}

nyxDMObj *nyxCell::findDesignConfigByName(nyxCell *cell, const char *name, cfidrErrorT *err) {
    return findSetByName(cell, cell->d_designConfigs, name, err);
}
