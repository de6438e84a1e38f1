// Libraries: records, reading, saving, destroying and purging, and the library-level operations
// behind the interface (open, find, create, cells).
#include <new>

#include "dm/store/storeInt.h"
#include "utils/fileio.h"
#include "utils/ptrindex.h"

namespace nyxDMInt {

const char *const kLibPropFiles[3] = {"_nyx_Lib", "nyx\tLib", ".nyx_lib"};

static bool libReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxLib *>(owner)->readOnly();
}

nyxPropOwner libOwner(nyxLib *lib) {
    return nyxPropOwner{lib, 0, nyxCodeLib, nyx::getLibCellHeap(), libReadOnly};
}

void *allocRecord(size_t bytes) {
    Hx_genheap *heap = nyx::getLibCellHeap();
    return heap != nullptr ? heap->allocBlock(bytes) : nullptr;
}

void freeRecord(void *p, size_t bytes) {
    if (p != nullptr && nyx::libCellHeap != nullptr) nyx::libCellHeap->freeBlock(p, bytes);
}

} // namespace nyxDMInt

using nyxDMInt::kLibPropFiles;

nyxLib::nyxLib(cfidrAccessModeT mode)
    : nyxDMObj(nyxDMTypes::kLib, mode), d_cells(nyx::getLibCellHeap()) {}

nyxLib::~nyxLib() {
    dropCellIndex();
    nyxPropListDestroy(d_propList);
    d_name.clear();
}

nyxLib *nyxLib::construct(const char *name, cfidrAccessModeT mode, cfidrErrorT *err) {
    nyx *state = nyx::session;
    void *p = state != nullptr ? nyxDMInt::allocRecord(sizeof(nyxLib)) : nullptr;
    if (p == nullptr) return *err = cfidrErrInternal, nullptr;
    nyxLib *lib = new (p) nyxLib(mode);
    const char *path = nullptr;
    if (!lib->d_name.setString(name, nyx::getLibCellHeap()) || (path = lib->pathnameObj()) == nullptr ||
        nyxLib::sessionList().add(lib) < 0) {
        lib->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    lib->d_inode = nyxFileIO::inodeOf(path);
    return lib;
}

void nyxLib::deleteObj() {
    this->~nyxLib();
    nyxDMInt::freeRecord(this, sizeof(nyxLib));
}

const char *nyxLib::pathnameObj() {
    if (d_pathName == nullptr) d_pathName = nyxDMUtil::getPathname(d_name.getString(), nullptr, nullptr);
    return d_pathName;
}

nyxDynArray &nyxLib::sessionList() {
    static nyxSessionList libraries;
    return libraries.list();
}

nyxLib *nyxLib::findKnown(const char *name) {
    if (nyx::session == nullptr) return nullptr;
    std::string path = nyxDMUtil::pathOf(name);
    nyxDynArray &libs = nyxLib::sessionList();
    for (int32_t i = 0; i < libs.nitems(); ++i) {
        nyxLib *lib = static_cast<nyxLib *>(libs[i]);
        const char *p = lib->pathnameObj();
        if (lib->d_usable != 0 && p != nullptr && path == p) return lib;
    }
    return nullptr;
}

// --- Stored form --------------------------------------------------------------------------------

void nyxLib::read(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    nyxLib *lib = static_cast<nyxLib *>(obj);
    // A property file that cannot be read is reported, after the cells are listed all the same.
    const cfidrErrorT propErr =
        nyxPropFile::read(path, kLibPropFiles, lib->d_propList, nyxDMInt::libOwner(lib));
    const std::vector<std::string> *entries = nyxDMPath::getDiskDirectory(path);
    if (entries == nullptr) return (void)(*err = propErr != 0 ? propErr : cfidrErrNotFound);
    // The listing may be dropped from the cache while cells are made: work on a copy.
    std::vector<std::string> names(*entries);
    nyxDMPath::freeDiskDirectory(path);
    for (const std::string &entry : names) {
        // An entry that is not a stored name would become a cell whose path is another entry's.
        if (!nyxDMPath::isStoredName(entry)) continue;
        if (!nyxFileIO::isDirectory(std::string(path) + "/" + entry)) continue;
        if (nyxCell::construct(lib, entry.c_str(), true, lib->d_accessMode, err) == nullptr) return;
    }
    if (propErr != 0) *err = propErr;
}

void nyxLib::write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    nyxLib *lib = static_cast<nyxLib *>(obj);
    if (!nyxFileIO::makeDirectory(path, 0777)) return (void)(*err = cfidrErrInternal);
    lib->d_inode = nyxFileIO::inodeOf(path);
    for (int32_t i = 0; i < lib->d_cells.nitems(); ++i) {
        static_cast<nyxCell *>(lib->d_cells[i])->saveObj(err);
        if (*err != 0) return;
    }
    // Properties that were never read must not replace the file they could not be read from; the
    // library save reports the read's error once everything else is in place.
    if (lib->readError() != 0) return;
    bool good;
    const std::string records = nyxPropFile::format(lib->d_propList);
    if (!records.empty()) {
        good = nyxPropFile::write(path, kLibPropFiles[0], records);
    } else {
        // No properties: a property file left from an earlier save would bring them back.
        good = nyxPropFile::removeAll(path, kLibPropFiles);
    }
    if (!good) *err = cfidrErrInternal;
}

void nyxLib::remove(const char *path, cfidrErrorT *err) {
    if (!nyxPropFile::removeAll(path, kLibPropFiles)) return (void)(*err = cfidrErrInternal);
    if (!nyxFileIO::isDirectory(path)) return;
    if (!nyxFileIO::removeDirectory(path)) *err = cfidrErrInternal;
}

void nyxLib::saveObj(cfidrErrorT *err) {
    // An unread library is read first: its property file is written from what memory holds.
    if (!openObj(err)) return;
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    write(this, path, err);
}

void nyxLib::destroyObj(cfidrErrorT *err) {
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    remove(path, err);
}

// --- Operations -----------------------------------------------------------------------------------

nyxLib *nyxLib::openLib(const char *name, cfidrAccessModeT mode, cfidrErrorT *err) {
    if (!nyx::trustedData() && !nyxDMUtil::validName(name)) return *err = cfidrErrBadName, nullptr;
    nyxLib *lib = findKnown(name);
    if (lib != nullptr && lib->d_userOpened != 0) {
        lib->d_accessMode = mode;
        *err = cfidrErrLibAlreadyOpen;
        return lib;
    }
    if (lib == nullptr) {
        if (nyxDMObj::findDMObj(nyxCodeLib, nyxDMUtil::pathOf(name).c_str(), nullptr, nullptr) < 0) {
            return *err = cfidrErrNotFound, nullptr;
        }
        lib = construct(name, mode, err);
        if (lib == nullptr) return nullptr;
    }
    if (!lib->openObj(err)) return nullptr;
    lib->d_userOpened = 1;
    lib->d_accessMode = mode;
    return lib;
}

nyxObjRef nyxLib::openView(const char *libName, const char *cellName, const char *viewName,
                           cfidrAccessModeT mode, cfidrErrorT *err) {
    if (!nyx::trustedData() && !nyxDMUtil::validName(libName)) {
        return *err = cfidrErrBadName, nyxObjRef{};
    }
    nyxLib *lib = findKnown(libName);
    if (lib == nullptr) {
        if (nyxDMObj::findDMObj(nyxCodeLib, nyxDMUtil::pathOf(libName).c_str(), nullptr, nullptr) < 0) {
            return *err = cfidrErrNotFound, nyxObjRef{};
        }
        lib = construct(libName, mode, err);
        if (lib == nullptr) return {};
    }
    if (!lib->openObj(err)) return {};
    if (lib->d_userOpened == 0) {
        lib->d_userOpened = 1;
        lib->d_accessMode = mode;
    }
    nyxCell *cell = findCellByName(lib, cellName, err);
    if (cell == nullptr) return {};
    return nyxCell::openView(cell, viewName, mode, err);
}

nyxLib *nyxLib::findLibByName(const char *name, cfidrErrorT *err) {
    if (!nyx::trustedProgram() && !nyxDMUtil::validName(name)) {
        return *err = cfidrErrBadName, nullptr;
    }
    nyxLib *lib = findKnown(name);
    if (lib == nullptr) {
        if (nyxDMObj::findDMObj(nyxCodeLib, nyxDMUtil::pathOf(name).c_str(), nullptr, nullptr) < 0) {
            return *err = cfidrErrNotFound, nullptr;
        }
        lib = construct(name, cfidrReadMode, err);
        if (lib == nullptr) return nullptr;
    }
    lib->d_userOpened = 1;
    return lib;
}

nyxLib *nyxLib::createLib(const char *name, cfidrErrorT *err) {
    if (!nyx::trustedData()) {
        if (!nyxDMUtil::validName(name) || !nyxDMPath::fitsPath(nyxDMUtil::pathOf(name))) {
            return *err = cfidrErrBadName, nullptr;
        }
        if (findKnown(name) != nullptr) return *err = cfidrErrAlreadyExists, nullptr;
        if (nyxDMObj::findDMObj(nyxCodeLib, nyxDMUtil::pathOf(name).c_str(), nullptr, nullptr) >= 0) {
            return *err = cfidrErrAlreadyExists, nullptr;
        }
    }
    nyxLib *lib = construct(name, cfidrUpdateMode, err);
    if (lib == nullptr) return nullptr;
    lib->markCreated();
    lib->d_userOpened = 1;
    return lib;
}

nyxCell *nyxLib::createCell(nyxLib *lib, const char *name, cfidrErrorT *err) {
    if (!lib->openObj(err)) return nullptr;
    std::string cleaned;
    if (!nyx::trustedData()) {
        if (lib->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
        if (!nyxDMUtil::validName(name) && name != nullptr) {
            // One retry without the control characters.
            for (const char *p = name; *p != '\0'; ++p) {
                if (static_cast<unsigned char>(*p) >= 0x20 && *p != 0x7f) cleaned += *p;
            }
            name = cleaned.c_str();
        }
        if (!nyxDMUtil::validName(name) || !nyxDMPath::fitsEntry(name, nullptr)) {
            return *err = cfidrErrBadName, nullptr;
        }
        for (int32_t i = 0; i < lib->d_cells.nitems(); ++i) {
            if (nyxDMUtil::sameName(static_cast<nyxCell *>(lib->d_cells[i])->nameObj(), name)) {
                return *err = cfidrErrAlreadyExists, nullptr;
            }
        }
        if (nyxDMObj::findDMObj(nyxCodeCell, lib->pathnameObj(), name, nullptr) >= 0) {
            return *err = cfidrErrAlreadyExists, nullptr;
        }
    }
    return nyxCell::construct(lib, name, false, cfidrUpdateMode, err);
}

nyxCell *nyxLib::findCellByName(nyxLib *lib, const char *name, cfidrErrorT *err) {
    if (!lib->openObj(err)) return nullptr;
    if (!nyx::trustedProgram() && !nyxDMUtil::validName(name)) {
        return *err = cfidrErrBadName, nullptr;
    }
    nyxCell *cell = lib->cellNamed(name);
    return cell != nullptr ? cell : (*err = cfidrErrNotFound, nullptr);
}

// --- The cell list and its name index ---------------------------------------------------------

namespace {

// Lists shorter than this are searched without an index.
constexpr int32_t kIndexFrom = 16;

uint32_t cellKey(const char *name) { return nyxPtrIndex::foldName(nyxPtrIndex::kFoldSeed, name); }

} // namespace

bool nyxLib::linkCell(nyxCell *cell) {
    if (d_cells.add(cell) < 0) return false;
    if (d_cellIndex != nullptr && !d_cellIndex->add(cellKey(cell->nameObj()), cell)) dropCellIndex();
    return true;
}

void nyxLib::unlinkCell(nyxCell *cell) {
    if (d_cells.remove(cell) >= 0 && d_cellIndex != nullptr) d_cellIndex->remove(cellKey(cell->nameObj()), cell);
}

void nyxLib::dropCellIndex() {
    nyxPtrIndex::destroy(d_cellIndex);
    d_cellIndex = nullptr;
}

nyxCell *nyxLib::cellNamed(const char *name) {
    const int32_t n = d_cells.nitems();
    if (d_cellIndex == nullptr && n >= kIndexFrom) {
        d_cellIndex = nyxPtrIndex::create(nyx::getLibCellHeap(), static_cast<uint32_t>(n));
        for (int32_t i = 0; d_cellIndex != nullptr && i < n; ++i) {
            auto *cell = static_cast<nyxCell *>(d_cells[i]);
            if (!d_cellIndex->add(cellKey(cell->nameObj()), cell)) dropCellIndex();
        }
    }
    if (d_cellIndex == nullptr) {
        for (int32_t i = 0; i < n; ++i) {
            auto *cell = static_cast<nyxCell *>(d_cells[i]);
            if (nyxDMUtil::sameName(cell->nameObj(), name)) return cell;
        }
        return nullptr;
    }
    // Names that differ only in case may both be listed: the earlier one in the list is found.
    nyxCell *found = nullptr;
    d_cellIndex->forEach(cellKey(name), [&](void *obj) {
        auto *cell = static_cast<nyxCell *>(obj);
        if (nyxDMUtil::sameName(cell->nameObj(), name) &&
            (found == nullptr || d_cells.index_of(cell) < d_cells.index_of(found))) {
            found = cell;
        }
        return true;
    });
    return found;
}

cfidrErrorT nyxLib::unreadPropertiesError() const {
    if (readError() != 0) return readError();
    for (int32_t i = 0; i < d_cells.nitems(); ++i) {
        const cfidrErrorT code = static_cast<const nyxCell *>(d_cells[i])->readError();
        if (code != 0) return code;
    }
    return 0;
}

// A library save replaces all its changed files or none. Phase 1 (saveObj) writes every changed
// file, views and property files of every cell and the library's property file, to its temporary
// companion, makes missing directories and notes removals; phase 2 (commit) moves them all into
// place only when every one is written and synced. Any failure rolls the whole save back: the
// temporaries and the directories it made are removed, files already moved get their previous
// content back, and the views' changed flags are set again, so that a later save writes them.
// What a crash in phase 2 can leave is described in utils/fileio.h.
void nyxLib::save(nyxLib *lib, cfidrErrorT *err) {
    cfidrErrorT code = 0;
    {
        nyxFileIO::SaveBatch batch;
        lib->saveObj(&code);
        if (code == 0 && !batch.commit()) code = cfidrErrInternal;
    }
    if (code == 0) code = lib->unreadPropertiesError();
    if (const char *path = lib->pathnameObj()) lib->d_inode = nyxFileIO::inodeOf(path);
    nyxDMPath::clearDirectoryCache();
    if (code != 0) *err = code;
}

nyxLib *nyxLib::purge(nyxLib *lib, cfidrErrorT *) {
    for (int32_t i = lib->d_cells.nitems() - 1; i >= 0; --i) {
        static_cast<nyxCell *>(lib->d_cells[i])->deleteObj();
    }
    lib->d_cells.clear();
    lib->dropCellIndex();
    nyxPropListDestroy(lib->d_propList);
    lib->d_usable = 0;
    nyxLib::sessionList().remove(lib);
    // The fresh record is made before the old one is freed, so that it gets another address and
    // identifiers of the purged library stay unusable.
    nyxLib *fresh = nullptr;
    const char *path = lib->pathnameObj();
    if (path != nullptr && nyxDMObj::findDMObj(nyxCodeLib, path, nullptr, nullptr) >= 0) {
        cfidrErrorT ignored = 0;
        fresh = construct(lib->nameObj(), cfidrReadMode, &ignored);
    }
    lib->deleteObj();
    return fresh;
}

void nyxLib::destroy(nyxLib *lib, cfidrErrorT *err) {
    // A library opened read-only keeps its files, as its cells and views do.
    if (!nyx::trustedData() && lib->readOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    // The cells on disk must be known to be removed. A read that failed does not stand in the
    // way: what it found goes with the library, and a directory still holding what it did not
    // find cannot be removed (4).
    cfidrErrorT readErr = 0;
    lib->openObj(&readErr);
    while (lib->d_cells.nitems() > 0) {
        nyxCell::destroy(static_cast<nyxCell *>(lib->d_cells[0]), err);
        if (*err != 0) {
            nyxDMPath::clearDirectoryCache();
            return;
        }
    }
    lib->destroyObj(err);
    nyxDMPath::clearDirectoryCache();
    if (*err != 0) return;
    lib->d_usable = 0;
    nyxLib::sessionList().remove(lib);
    lib->deleteObj();
}
