// Netlist views: construction in cells, heaps, edit bookkeeping, save, purge, destroy and rename.
#include "dm/netlist/view.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "dm/store/storeInt.h"
#include "dm/netlist/instInt.h"
#include "dm/netlist/net.h"
#include "dm/netlist/netmap.h"
#include "dm/netlist/port.h"
#include "utils/fileio.h"

namespace {

Hx_genheap *makeHeap(const char *name, long chunk) {
    void *p = nyxDMInt::allocRecord(sizeof(Hx_genheap));
    return p == nullptr ? nullptr : new (p) Hx_genheap(name, chunk);
}

// Process-wide counter behind editSerial().
uint64_t g_editSerial = 0;

void dropHeap(Hx_genheap *&heap) {
    if (heap == nullptr) return;
    heap->~Hx_genheap();
    nyxDMInt::freeRecord(heap, sizeof(Hx_genheap));
    heap = nullptr;
}

} // namespace

std::string nyxNetlistView::storedName(const char *name) {
    std::string s(name != nullptr ? name : "");
    for (char &c : s) {
        if (c == '\t') c = '/';
        else if (c == '\n') c = '.';
    }
    return s;
}

nyxNetlistView::nyxNetlistView(nyxCell *cell, cfidrAccessModeT mode, Hx_genheap *viewHeap,
                               Hx_genheap *blockHeap)
    : nyxDMObj(nyxDMTypes::kNetlistView, mode), d_owner(cell), d_viewHeap(viewHeap),
      d_blockHeap(blockHeap), d_instRefs(viewHeap), d_ports(viewHeap), d_describers(viewHeap),
      d_cachedBy(viewHeap) {}

nyxNetlistView::~nyxNetlistView() {
    ++s_viewsDeleted;
    // Pointers between views go first: records elsewhere that cache this view forget it, and
    // this view's records and instances leave the lists of the views they cache.
    nyxFootPrintOps::viewGoing(this);
    // Everything the view holds lives in its two heaps and goes with them; the arrays of the view
    // record itself let go of their blocks first.
    d_instRefs.clear();
    d_cachedBy.clear();
    d_ports.clear();
    d_describers.clear();
    if (d_viewHeap != nullptr) nyxPropForgetHeap(d_viewHeap);
    // Property iterators of the view's objects are homed on the heap that holds the lists.
    nyxIterObjectGone(d_viewHeap);
    d_propList = nullptr;
    dropHeap(d_viewHeap);
    dropHeap(d_blockHeap);
}

nyxNetlistView *nyxNetlistView::construct(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                          bool created, cfidrErrorT *err) {
    Hx_genheap *viewHeap = makeHeap("NYX NetlistView Heap", -1);
    Hx_genheap *blockHeap = makeHeap("NYX Listblock Heap", 4096);
    void *p = nyxDMInt::allocRecord(sizeof(nyxNetlistView));
    if (p == nullptr || viewHeap == nullptr || blockHeap == nullptr) {
        if (p != nullptr) nyxDMInt::freeRecord(p, sizeof(nyxNetlistView));
        dropHeap(viewHeap);
        dropHeap(blockHeap);
        return *err = cfidrErrInternal, nullptr;
    }
    nyxNetlistView *view = new (p) nyxNetlistView(cell, mode, viewHeap, blockHeap);
    bool ok = view->d_name.setString(storedName(name).c_str(), viewHeap) &&
              view->d_viewType.setString(kViewType, viewHeap) && cell->views().add(view) >= 0;
    if (!ok) {
        view->deleteObj();
        return *err = cfidrErrInternal, nullptr;
    }
    if (created) view->markCreated();
    view->d_changed = created ? 1 : 0;
    return view;
}

nyxDMObj *nyxNetlistView::constructStored(nyxCell *cell, const char *name, int32_t row,
                                          cfidrErrorT *err) {
    nyxNetlistView *view = construct(cell, name, cell->d_lib->d_accessMode, false, err);
    if (view != nullptr) view->d_typeIndex = row;
    return view;
}

void nyxNetlistView::deleteObj() {
    this->~nyxNetlistView();
    nyxDMInt::freeRecord(this, sizeof(nyxNetlistView));
}

const char *nyxNetlistView::pathnameObj() {
    if (d_pathName == nullptr) {
        d_pathName = nyxDMUtil::getPathname(d_owner->d_lib->nameObj(), d_owner->nameObj(), nameObj());
    }
    return d_pathName;
}

bool nyxNetlistView::load(nyxNetlistView *view, cfidrErrorT *err) {
    if (view->loaded()) return true;
    if (!view->openObj(err)) return false;
    // Without the view file's reader a listed view stays unread: its contents cannot be reached.
    if (!view->loaded()) return *err = cfidrErrNotFound, false;
    return true;
}

uint64_t nyxNetlistView::s_viewsDeleted = 0;

void nyxNetlistView::readFinished(nyxNetlistView *view, int32_t version) {
    view->d_editSerial = ++g_editSerial;
    view->d_version = version;
    view->d_changed = 0;
    view->d_portPositionsValid = 0;
    nyxSettings::viewChanged();
}

void nyxNetlistView::emptyStored() {
    cfidrErrorT e = 0;
    // Instances first (they detach from the nets), then the records nobody uses any more.
    std::vector<nyxInst *> insts;
    nyxInstCursor cursor;
    for (nyxInst *inst = nyxInstance::next(this, cursor); inst != nullptr; inst = nyxInstance::next(this, cursor)) {
        insts.push_back(inst);
    }
    for (nyxInst *inst : insts) nyxInstance::destroy(inst, &e);
    while (d_describers.nitems() > 0) {
        const int32_t before = d_describers.nitems();
        nyxInstance::dropFootPrint(static_cast<nyxFootPrint *>(d_describers[before - 1]));
        if (d_describers.nitems() >= before) break;
    }
    while (d_ports.nitems() > 0) {
        const int32_t before = d_ports.nitems();
        nyxPort::destroy(static_cast<nyxPort *>(d_ports[before - 1]), &e);
        if (d_ports.nitems() >= before) break;
    }
    std::vector<void *> nets;
    for (int32_t k = kChains - 1; k >= 0; --k) {
        for (nyxListBlock *b = d_netChains[k].first; b != nullptr; b = b->next()) {
            for (int32_t i = 0; i < b->highWater(); ++i) {
                void *obj = b->objectAt(i);
                if (obj != nullptr && !b->isFreeObject(obj)) nets.push_back(obj);
            }
        }
    }
    for (void *net : nets) nyxNet::destroy(net, &e);
    nyxPropListDestroy(d_propList);
    changeViewType(this, kViewType);
    d_version = 0;
    d_changed = 0;
    d_portPositionsValid = 0;
    d_editSerial = ++g_editSerial;
    nyxSettings::viewChanged();
}

void nyxNetlistView::viewChanged(nyxNetlistView *view) {
    view->d_editSerial = ++g_editSerial;
    ++view->d_version;
    view->d_changed = 1;
    view->d_portPositionsValid = 0;
    nyxSettings::viewChanged();
}

bool nyxNetlistView::changeViewType(nyxNetlistView *view, const char *type) {
    return view->d_viewType.setString(type, view->d_viewHeap);
}

void nyxNetlistView::setName(nyxNetlistView *view, const char *name, cfidrErrorT *err) {
    if (!nyxSettings::hasNameOption(nyxSettings::kEdif)) {
        return (void)(*err = cfidrErrIllegalOperation);
    }
    if (name == nullptr || !view->d_name.setString(name, view->d_viewHeap)) {
        return (void)(*err = cfidrErrInternal);
    }
    view->forgetPathname();
}

// --- Saving, purging, destroying --------------------------------------------------------------------

void nyxNetlistView::saveObj(cfidrErrorT *err) {
    // A view not read (or not read whole) has nothing to write; an unchanged one nothing new.
    if (!loaded() || readError() != 0 || d_changed == 0) return;
    const nyxDMKind &kind = nyxDMTypes::row(d_typeIndex);
    if (kind.write == nullptr) return;
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    kind.write(this, path, err);
    if (*err != 0) return;
    d_changed = 0;
    // Inside a library save the file is only in place once every file of the save is: a save
    // given up leaves the view changed.
    nyxFileIO::atRollback([this] { d_changed = 1; });
}

void nyxNetlistView::destroyObj(cfidrErrorT *err) {
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    remove(path, err);
}

void nyxNetlistView::save(nyxNetlistView *view, cfidrErrorT *err) {
    // A view whose file could not be read (trusted program mode hands such views out unread)
    // has nothing to write: the answer is the read's error, not a save that did nothing.
    if (!load(view, err)) return;
    view->saveObj(err);
    nyxDMPath::clearDirectoryCache();
}

void nyxNetlistView::purge(nyxNetlistView *view, cfidrErrorT *err) {
    nyxCell *cell = view->d_owner;
    // A view stored on disk stays listed, to be read again on next use. Its unread stand-in is
    // made before the view goes, so that memory running out leaves the view as it was (4)
    // instead of dropping it from the cell.
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return (void)(*err = cfidrErrInternal);
    const std::string file = std::string(cellPath) + "/" + nyxDMPath::encodeName(view->nameObj()) + "." +
                             nyxDMTypes::row(view->d_typeIndex).ext;
    if (nyxFileIO::isFile(file)) {
        if (constructStored(cell, view->nameObj(), view->d_typeIndex, err) == nullptr) return;
    }
    cell->views().remove(view);
    view->deleteObj();
}

void nyxNetlistView::destroy(nyxNetlistView *view, cfidrErrorT *err) {
    if (!nyx::trustedData() && view->d_owner->d_lib->readOnly()) {
        return (void)(*err = cfidrErrNotOpenForUpdate);
    }
    view->destroyObj(err);
    nyxDMPath::clearDirectoryCache();
    if (*err != 0) return;
    view->d_owner->views().remove(view);
    view->deleteObj();
}

void nyxNetlistView::remove(const char *path, cfidrErrorT *err) {
    for (int32_t row : {nyxDMTypes::kNetlistView, nyxDMTypes::kNetlistViewOld}) {
        const nyxDMKind &kind = nyxDMTypes::row(row);
        for (const char *ext : {kind.ext, kind.ext2}) {
            if (ext == nullptr || *ext == '\0') continue;
            // An older-form file may be another kind's; only the view's own form is removed here.
            if (row == nyxDMTypes::kNetlistViewOld) continue;
            if (!nyxFileIO::removeAll(std::string(path) + "." + ext)) {
                return (void)(*err = cfidrErrInternal);
            }
        }
    }
}

void nyxNetlistView::sizeHint(nyxNetlistView *view, int32_t size) {
    if (size <= 0) return;
    view->d_viewHeap->grow(static_cast<size_t>(size / 5));
    view->d_blockHeap->grow(static_cast<size_t>(size / 2));
}

// --- Ownership ---------------------------------------------------------------------------------------

nyxNetlistView *nyxNetlistView::ofObject(void *obj, int32_t code) {
    if (obj == nullptr) return nullptr;
    switch (code) {
    case nyxCodeNetlistView:
        return static_cast<nyxNetlistView *>(obj);
    case nyxCodeNetScalar:
    case nyxCodeNetBus:
    case nyxCodeNetBundle:
        return static_cast<nyxNetlistView *>(nyxListBlock::getHeader(obj, kBlockSize)->parent());
    case nyxCodeInst:
        return static_cast<nyxInst *>(obj)->view();
    case nyxCodePortInstBundle:
    case nyxCodePortInstBus:
    case nyxCodePortInstScalar:
        return nyxPortInst::view(obj);
    case nyxCodeNetAlias:
        return nyxNet::view(static_cast<nyxNetAlias *>(obj)->d_owner);
    case nyxCodePortScalar:
    case nyxCodePortBus:
    case nyxCodePortBundle:
        return nyxPort::getOwningView(static_cast<nyxPort *>(obj));
    default:
        return nullptr;
    }
}

nyxPropList **nyxNetlistView::propsOnPortInst(const void *portInst, bool create) {
    if (d_propsOnPortInsts == nullptr) {
        if (!create) return nullptr;
        void *p = d_viewHeap->allocBlock(sizeof(nyxOIDHashTable));
        if (p == nullptr) return nullptr;
        d_propsOnPortInsts = new (p) nyxOIDHashTable(d_viewHeap, 311, 10);
    }
    uint32_t key = nyxObjWord(portInst);
    nyxOIDHashTableBucket *b = d_propsOnPortInsts->find_bucket(key);
    if (b == nullptr) {
        if (!create || !d_propsOnPortInsts->add_entry(key, nullptr)) return nullptr;
        b = d_propsOnPortInsts->find_bucket(key);
    }
    return b != nullptr ? reinterpret_cast<nyxPropList **>(&b->value) : nullptr;
}

// The edit bookkeeping that the property code runs for owners inside a view.
void nyxViewRecordPropChange(void *owner, uint32_t, int32_t code) {
    nyxNetlistView *view = nyxNetlistView::ofObject(owner, code);
    if (view != nullptr) nyxNetlistView::viewChanged(view);
}
