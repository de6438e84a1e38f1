// Occurrence property sets as stored objects: records and heaps, the cell's read, create, open,
// find, saving, purging and destroying.
#include <cstring>
#include <new>
#include <string>

#include "config/occpropInt.h"
#include "utils/fileio.h"

namespace {

constexpr const char *kHeapName = "NYX OccPropSet Heap";
constexpr long kHeapChunk = 16384;

bool setReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxOccPropSet *>(owner)->libReadOnly();
}
bool nodeReadOnly(const void *owner, uint32_t) {
    return static_cast<const nyxOccPropNode *>(owner)->d_set->libReadOnly();
}

Hx_genheap *makeHeap() {
    void *p = nyx::getLibCellHeap()->allocBlock(sizeof(Hx_genheap));
    return p == nullptr ? nullptr : new (p) Hx_genheap(kHeapName, kHeapChunk);
}

void dropHeap(Hx_genheap *heap) {
    if (heap == nullptr) return;
    heap->~Hx_genheap();
    nyx::getLibCellHeap()->freeBlock(heap, sizeof(Hx_genheap));
}

// The set of that name in the cell's list (names compared without regard to case), or null.
nyxOccPropSet *listed(nyxCell *cell, const char *name) {
    nyxDynArray &list = cell->occPropSets();
    for (int32_t i = 0; i < list.nitems(); ++i) {
        auto *set = static_cast<nyxOccPropSet *>(list[i]);
        if (nyxDMUtil::sameName(set->nameObj(), name)) return set;
    }
    return nullptr;
}

} // namespace

nyxOccPropSet::nyxOccPropSet(nyxCell *cell, int32_t row, cfidrAccessModeT mode, Hx_genheap *heap)
    : nyxDMObj(row, mode), d_cell(cell), d_heap(heap) {}

nyxOccPropSet::~nyxOccPropSet() {
    // Everything the set holds lives in its heap and goes with it.
    nyxOccPropXrefOps::clear(this);
    nyxPropForgetHeap(d_heap);
    nyxIterObjectGone(d_heap);
    d_propList = nullptr;
    d_compiledFrom.clear();
    d_name.clear();
    dropHeap(d_heap);
}

nyxOccPropSet *nyxOccPropSet::construct(nyxCell *cell, const char *name, int32_t row,
                                        cfidrAccessModeT mode, cfidrErrorT *err) {
    Hx_genheap *heap = makeHeap();
    void *p = nyx::getLibCellHeap()->allocBlock(sizeof(nyxOccPropSet));
    if (p == nullptr || heap == nullptr) {
        if (p != nullptr) nyx::getLibCellHeap()->freeBlock(p, sizeof(nyxOccPropSet));
        dropHeap(heap);
        return *err = cfidrErrInternal, nullptr;
    }
    nyxOccPropSet *set = new (p) nyxOccPropSet(cell, row, mode, heap);
    if (!set->d_name.setString(name, nyx::getLibCellHeap()) || cell->occPropSets().add(set) < 0) {
        set->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    return set;
}

nyxDMObj *nyxOccPropSet::constructStored(nyxCell *cell, const char *name, int32_t row,
                                         cfidrErrorT *err) {
    return construct(cell, name, row, cell->d_lib->d_accessMode, err);
}

void nyxOccPropSet::deleteObj() {
    this->~nyxOccPropSet();
    nyx::getLibCellHeap()->freeBlock(this, sizeof(nyxOccPropSet));
}

const char *nyxOccPropSet::pathnameObj() {
    if (d_pathName == nullptr) {
        d_pathName = nyxDMUtil::getPathname(d_cell->d_lib->nameObj(), d_cell->nameObj(), nameObj());
    }
    return d_pathName;
}

bool nyxOccPropSet::libReadOnly() const { return d_cell->d_lib->readOnly(); }

void nyxOccPropSet::empty(nyxOccPropSet *set) {
    nyxPropForgetHeap(set->d_heap);
    nyxIterObjectGone(set->d_heap);
    set->d_propList = nullptr;
    set->d_root = nullptr;
    nyxOccPropXrefOps::clear(set);
    set->d_changed = false;
    // The heap record stays where it is: only its pages go.
    set->d_heap->~Hx_genheap();
    new (set->d_heap) Hx_genheap(kHeapName, kHeapChunk);
}

void nyxOccPropSet::edited() {
    d_changed = true;
    nyxOccPropXrefOps::clear(this);
}

nyxPropOwner nyxOccPropSet::propOwner() {
    return nyxPropOwner{this, 0, nyxCodeOccPropSet, d_heap, setReadOnly};
}

nyxPropOwner nyxOccPropSet::propOwner(nyxOccPropNode *node) {
    return nyxPropOwner{node, 0, node->d_code, node->d_set->d_heap, nodeReadOnly};
}

// --- Create, open, find ---------------------------------------------------------------------------

nyxOccPropSet *nyxOccPropSet::create(nyxCell *cell, const char *name, cfidrErrorT *err) {
    const bool checks = !nyx::trustedData();
    if (checks && cell->d_lib->readOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
    if (checks && !nyxDMUtil::validName(name)) return *err = cfidrErrBadName, nullptr;
    if (name == nullptr || *name == '\0') return *err = cfidrErrBadName, nullptr;
    if (!cell->openObj(err)) return nullptr;
    if (checks && listed(cell, name) != nullptr) return *err = cfidrErrAlreadyExists, nullptr;
    nyxOccPropSet *set = construct(cell, name, nyxDMTypes::kOccPropSet, cell->d_lib->d_accessMode, err);
    if (set == nullptr) return nullptr;
    set->markCreated();
    set->d_changed = true;
    return set;
}

nyxOccPropSet *nyxOccPropSet::open(const char *libName, const char *cellName, const char *name,
                                   cfidrAccessModeT mode, cfidrErrorT *err) {
    if (!nyx::trustedProgram() && (mode < cfidrReadMode || mode > cfidrUpdateMode)) {
        return *err = cfidrErrBadAccessMode, nullptr;
    }
    if (!nyx::trustedData() && (!nyxDMUtil::validName(libName) || !nyxDMUtil::validName(cellName) ||
                                !nyxDMUtil::validName(name))) {
        return *err = cfidrErrBadName, nullptr;
    }
    if (libName == nullptr || cellName == nullptr || name == nullptr) return *err = cfidrErrBadName, nullptr;
    nyxCell *cell = nyxConfigOpenCell(libName, cellName, mode, err);
    if (cell == nullptr) return nullptr;
    nyxOccPropSet *set = listed(cell, name);
    if (set == nullptr) return *err = nyxdrErrOccPropSetOpenFailed, nullptr;
    set->d_accessMode = mode;
    if (set->loaded()) *err = nyxdrErrOccPropSetAlreadyOpen;
    return set;
}

nyxOccPropSet *nyxOccPropSet::find(nyxCell *cell, const char *name, cfidrErrorT *err) {
    if (!nyx::trustedProgram() && !nyxDMUtil::validName(name)) return *err = cfidrErrBadName, nullptr;
    return static_cast<nyxOccPropSet *>(nyxCell::findOccPropSetByName(cell, name, err));
}

// --- Saving, purging, destroying ----------------------------------------------------------------

void nyxOccPropSet::saveObj(cfidrErrorT *err) {
    // A library save writes only what changed, and never contents that were not read whole.
    if (!loaded() || readError() != 0 || !d_changed) return;
    nyxDMObj::saveObj(err);
    if (*err != 0) return;
    d_changed = false;
    nyxFileIO::atRollback([this] { d_changed = true; });
}

void nyxOccPropSet::save(nyxOccPropSet *set, cfidrErrorT *err) {
    // A set whose file could not be read refuses with the read's error: its file stays.
    if (!load(set, err)) return;
    set->d_changed = true;
    set->saveObj(err);
    nyxDMPath::clearDirectoryCache();
}

void nyxOccPropSet::purge(nyxOccPropSet *set, cfidrErrorT *err) {
    nyxCell *cell = set->d_cell;
    // A stored set stays listed, to be read again on next use. Its unread stand-in is made
    // before the set goes, so that memory running out leaves the set as it was.
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return (void)(*err = cfidrErrInternal);
    const std::string file = std::string(cellPath) + "/" + nyxDMPath::encodeName(set->nameObj()) +
                             "." + nyxDMTypes::row(set->d_typeIndex).ext;
    if (nyxFileIO::isFile(file)) {
        if (construct(cell, set->nameObj(), set->d_typeIndex, set->d_accessMode, err) == nullptr) return;
    }
    cell->occPropSets().remove(set);
    set->deleteObj();
}

void nyxOccPropSet::destroy(nyxOccPropSet *set, cfidrErrorT *err) {
    if (!nyx::trustedData() && set->libReadOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    set->destroyObj(err);
    nyxDMPath::clearDirectoryCache();
    if (*err != 0) return;
    set->d_cell->occPropSets().remove(set);
    set->deleteObj();
}
