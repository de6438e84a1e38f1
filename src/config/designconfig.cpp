// Design configurations: records and their heaps, the session list, creating, opening, finding,
// the getters and edits of the set list, saving, purging and destroying.
#include <cstring>
#include <functional>
#include <new>

#include "config/configInt.h"
#include "utils/fileio.h"

namespace {

constexpr const char *kHeapName = "NYX DesignConfig Heap";
constexpr long kHeapChunk = 1024;

bool configReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxDesignConfig *>(owner)->d_cell->d_lib->readOnly();
}

bool checksOn() { return !nyx::trustedData(); }

bool readCell(nyxCell *cell, cfidrErrorT *err) {
    cfidrErrorT readErr = 0;
    if (cell->openObj(&readErr) || readErr == cfidrErrNotFound) return true;
    return *err = readErr, false;
}

void *allocRecord(size_t bytes) {
    Hx_genheap *heap = nyx::getLibCellHeap();
    return heap != nullptr ? heap->allocBlock(static_cast<long>(bytes)) : nullptr;
}

void freeRecord(void *p, size_t bytes) { nyx::getLibCellHeap()->freeBlock(p, static_cast<long>(bytes)); }

uint64_t textHash(const std::string &text) { return std::hash<std::string>{}(text) | 1; }

} // namespace

void (*nyxDesignConfig::treeDropper)(nyxDesignConfig *config) = nullptr;

nyxDynArray &nyxDesignConfig::sessionList() {
    static nyxSessionList configs;
    return configs.list();
}

nyxDesignConfig::nyxDesignConfig(nyxCell *cell, cfidrAccessModeT mode, Hx_genheap *heap)
    : nyxDMObj(nyxDMTypes::kDesignConfig, mode), d_cell(cell), d_heap(heap), d_sets(heap) {}

nyxDesignConfig::~nyxDesignConfig() {
    sessionList().remove(this);
    dropTree(this);
    // Everything the configuration owns lives in its heap and goes with it.
    d_sets.abandon();
    nyxPropForgetHeap(d_heap);
    nyxIterObjectGone(d_heap);
    d_propList = nullptr;
    d_root = nullptr;
    d_compiledFrom.clear();
    d_name.clear();
    d_heap->~Hx_genheap();
    freeRecord(d_heap, sizeof(Hx_genheap));
}

void nyxDesignConfig::deleteObj() {
    this->~nyxDesignConfig();
    freeRecord(this, sizeof(nyxDesignConfig));
}

nyxDesignConfig *nyxDesignConfig::construct(nyxCell *cell, const char *name, cfidrErrorT *err) {
    if (nyx::session == nullptr) return *err = cfidrErrInternal, nullptr;
    void *h = allocRecord(sizeof(Hx_genheap));
    void *p = allocRecord(sizeof(nyxDesignConfig));
    if (h == nullptr || p == nullptr) {
        if (h != nullptr) freeRecord(h, sizeof(Hx_genheap));
        if (p != nullptr) freeRecord(p, sizeof(nyxDesignConfig));
        return *err = cfidrErrInternal, nullptr;
    }
    Hx_genheap *heap = new (h) Hx_genheap(kHeapName, kHeapChunk);
    nyxDesignConfig *config = new (p) nyxDesignConfig(cell, cell->d_lib->d_accessMode, heap);
    if (!config->d_name.setString(name, nyx::getLibCellHeap()) || sessionList().add(config) < 0) {
        config->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    if (cell->designConfigs().add(config) < 0) {
        config->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    return config;
}

nyxDMObj *nyxDesignConfig::constructStored(nyxCell *cell, const char *name, int32_t, cfidrErrorT *err) {
    // One object per file: a configuration the cell lists already is the one its read found.
    nyxDynArray &list = cell->designConfigs();
    for (int32_t i = 0; i < list.nitems(); ++i) {
        auto *config = static_cast<nyxDesignConfig *>(list[i]);
        if (nyxDMUtil::sameName(config->nameObj(), name)) return config;
    }
    return construct(cell, name, err);
}

const char *nyxDesignConfig::pathnameObj() {
    if (d_pathName == nullptr) {
        d_pathName = nyxDMUtil::getPathname(d_cell->d_lib->nameObj(), d_cell->nameObj(), nameObj());
    }
    return d_pathName;
}

void nyxDesignConfig::empty(nyxDesignConfig *config) {
    config->d_sets.abandon();
    nyxPropForgetHeap(config->d_heap);
    nyxIterObjectGone(config->d_heap);
    config->d_propList = nullptr;
    config->d_root = nullptr;
    config->d_selectionMode = 0;
    config->d_changed = false;
    config->d_storedHash = 0;
    // The heap record stays where it is: only its pages go.
    config->d_heap->~Hx_genheap();
    new (config->d_heap) Hx_genheap(kHeapName, kHeapChunk);
}

nyxPropOwner nyxDesignConfig::propOwner() {
    return nyxPropOwner{this, 0, nyxCodeDesignConfig, d_heap, configReadOnly};
}

bool nyxDesignConfig::editRefused() const { return checksOn() && d_cell->d_lib->readOnly(); }

// --- Creating, opening, finding ---------------------------------------------------------------------

nyxDesignConfig *nyxDesignConfig::create(nyxCell *cell, const char *name, nyxDMObj *rootView,
                                         int32_t mode, cfidrErrorT *err) {
    if (checksOn()) {
        if (cell->d_lib->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
        const char *ext = nyxDMTypes::row(nyxDMTypes::kDesignConfig).ext;
        if (!nyxDMUtil::validName(name) || !nyxDMPath::fitsEntry(name, ext)) {
            return *err = cfidrErrBadName, nullptr;
        }
    }
    if (name == nullptr || *name == '\0') return *err = cfidrErrBadName, nullptr;
    if (!nyx::trustedProgram() && (mode < 0 || mode > 2)) return *err = nyxdrErrBadSelectionMode, nullptr;
    // Stored configurations count: the cell is read before the duplicate test (a cell whose
    // directory is not there yet has nothing stored).
    if (!readCell(cell, err)) return nullptr;
    if (checksOn()) {
        nyxDynArray &list = cell->designConfigs();
        for (int32_t i = 0; i < list.nitems(); ++i) {
            if (nyxDMUtil::sameName(static_cast<nyxDMObj *>(list[i])->nameObj(), name)) {
                return *err = cfidrErrAlreadyExists, nullptr;
            }
        }
    }
    nyxDesignConfig *config = construct(cell, name, err);
    if (config == nullptr) return nullptr;
    config->markCreated();
    config->d_selectionMode = mode;
    config->d_changed = true;
    if (rootView != nullptr && !config->setRootObject(rootView)) {
        cell->designConfigs().remove(config);
        config->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    return config;
}

nyxDesignConfig *nyxDesignConfig::open(const char *libName, const char *cellName, const char *name,
                                       cfidrAccessModeT mode, cfidrErrorT *err) {
    if (checksOn() && (!nyxDMUtil::validName(libName) || !nyxDMUtil::validName(cellName) ||
                       !nyxDMUtil::validName(name))) {
        return *err = cfidrErrBadName, nullptr;
    }
    if (libName == nullptr || cellName == nullptr || name == nullptr) return *err = cfidrErrBadName, nullptr;
    // The cell is read before its list is searched, so that its read never lists the
    // configuration a second time.
    nyxCell *cell = nyxConfigOpenCell(libName, cellName, mode, err);
    if (cell == nullptr) return nullptr;
    nyxDynArray &list = cell->designConfigs();
    for (int32_t i = 0; i < list.nitems(); ++i) {
        nyxDesignConfig *config = static_cast<nyxDesignConfig *>(list[i]);
        if (!nyxDMUtil::sameName(config->nameObj(), name)) continue;
        config->d_accessMode = mode;
        if (config->loaded()) *err = nyxdrErrDesignConfigAlreadyOpen;
        return config;
    }
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return *err = cfidrErrInternal, nullptr;
    if (nyxDMObj::findDMObj(nyxCodeDesignConfig, cellPath, name, nullptr) < 0) {
        return *err = nyxdrErrDesignConfigOpenFailed, nullptr;
    }
    nyxDesignConfig *config = construct(cell, name, err);
    if (config != nullptr) config->d_accessMode = mode;
    return config;
}

nyxDesignConfig *nyxDesignConfig::findByName(nyxCell *cell, const char *name, cfidrErrorT *err) {
    if (!nyx::trustedProgram() && !nyxDMUtil::validName(name)) return *err = cfidrErrBadName, nullptr;
    return static_cast<nyxDesignConfig *>(nyxCell::findDesignConfigByName(cell, name, err));
}

// --- Getters and edits ---------------------------------------------------------------------------

nyxDMObj *nyxDesignConfig::getRootView(nyxDesignConfig *config, cfidrErrorT *err) {
    if (!load(config, err)) return nullptr;
    nyxDMObj *view = config->d_root != nullptr ? resolve(config, config->d_root, nyxCodeNetlistView)
                                               : nullptr;
    if (view == nullptr) *err = cfidrErrNotFound;
    return view;
}

int32_t nyxDesignConfig::getSelectionMode(nyxDesignConfig *config, cfidrErrorT *err) {
    if (!load(config, err)) return 0;
    return config->d_selectionMode;
}

nyxDMObj *nyxDesignConfig::findOccPropSetByName(nyxDesignConfig *config, const char *name,
                                                cfidrErrorT *err) {
    if (!nyx::trustedProgram() && !nyxDMUtil::validName(name)) return *err = cfidrErrBadName, nullptr;
    if (!load(config, err)) return nullptr;
    for (int32_t i = 0; name != nullptr && i < config->d_sets.nitems(); ++i) {
        auto *ref = static_cast<nyxDesignConfigRef *>(config->d_sets[i]);
        nyxDMObj *set = resolve(config, ref, nyxCodeOccPropSet);
        if (set != nullptr && nyxDMUtil::sameName(set->nameObj(), name)) return set;
    }
    return *err = cfidrErrNotFound, nullptr;
}

void nyxDesignConfig::insertOccPropSet(nyxDesignConfig *config, nyxDMObj *set, int32_t position,
                                       cfidrErrorT *err) {
    if (!load(config, err)) return;
    if (config->editRefused()) return (void)(*err = cfidrErrNotOpenForUpdate);
    if (!config->insertSetObject(set, position)) return (void)(*err = cfidrErrInternal);
    config->d_changed = true;
}

void nyxDesignConfig::removeOccPropSet(nyxDesignConfig *config, int32_t position, cfidrErrorT *err) {
    if (!load(config, err)) return;
    if (config->editRefused()) return (void)(*err = cfidrErrNotOpenForUpdate);
    if (position < 0 || position >= config->d_sets.nitems()) return (void)(*err = cfidrErrBadPosition);
    auto *ref = static_cast<nyxDesignConfigRef *>(config->d_sets[position]);
    config->d_sets.remove(ref);
    ref->path.clear();
    ref->raw.clear();
    config->d_heap->freeBlock(ref, sizeof(nyxDesignConfigRef));
    config->d_changed = true;
}

// --- Saving, purging, destroying ---------------------------------------------------------------

void nyxDesignConfig::saveObj(cfidrErrorT *err) {
    // A library save: only what changed since it was read or written.
    if (!loaded() || readError() != 0) return;
    if (!d_changed && textHash(nyxDesignConfigFile::format(this)) == d_storedHash) return;
    nyxDMObj::saveObj(err);
}

void nyxDesignConfig::save(nyxDesignConfig *config, cfidrErrorT *err) {
    // A configuration whose file could not be read refuses with the read's error: its file stays.
    if (!load(config, err)) return;
    config->nyxDMObj::saveObj(err);
    nyxDMPath::clearDirectoryCache();
}

void nyxDesignConfig::dropTree(nyxDesignConfig *config) {
    if (config->d_occTree != nullptr && treeDropper != nullptr) treeDropper(config);
    config->d_occTree = nullptr;
    config->d_flatNets = false;
    dropDesignId(config);
}

void nyxDesignConfig::purge(nyxDesignConfig *config, cfidrErrorT *err) {
    nyxCell *cell = config->d_cell;
    // A configuration stored on disk stays listed, unread; its stand-in is made before the
    // configuration goes, so that memory running out leaves it as it was (4).
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return (void)(*err = cfidrErrInternal);
    const bool stored = nyxDMObj::findDMObj(nyxCodeDesignConfig, cellPath, config->nameObj(), nullptr) >= 0;
    if (stored) {
        // The stand-in goes right after the configuration in the list, keeping its place.
        const int32_t at = cell->designConfigs().index_of(config);
        nyxDesignConfig *fresh = construct(cell, config->nameObj(), err);
        if (fresh == nullptr) return;
        cell->designConfigs().remove(fresh);
        cell->designConfigs().insert(fresh, at + 1);
    }
    cell->designConfigs().remove(config);
    config->deleteObj();
}

void nyxDesignConfig::destroy(nyxDesignConfig *config, cfidrErrorT *err) {
    if (config->editRefused()) return (void)(*err = cfidrErrNotOpenForUpdate);
    config->destroyObj(err);
    nyxDMPath::clearDirectoryCache();
    if (*err != 0) return;
    config->d_cell->designConfigs().remove(config);
    config->deleteObj();
}

// Called by the reader and the writer: the text now on disk.
void nyxDesignConfigStored(nyxDesignConfig *config, const std::string &text) {
    config->d_storedHash = textHash(text);
    config->d_changed = false;
}
