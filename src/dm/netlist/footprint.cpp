// Describer records: copies of a describer's port tree shared by the instances of one view, made
// from the describer or from stored data, found again by name and version, released with their
// last instance, and the opening of the describer on demand.
#include <cstring>
#include <new>
#include <string>

#include "dm/netlist/instInt.h"
#include "dm/netlist/port.h"

namespace {

// Deeper port trees than this are cycles let in by trusted data mode or a corrupt file.
constexpr int kMaxDepth = 1024;
// More ports than this in one stored record are taken for corruption rather than allocated.
constexpr int32_t kMaxStoredPorts = 1 << 20;

nyxFootPrintPort *allocPorts(Hx_baseheap *heap, int32_t n) {
    if (n <= 0) return nullptr;
    void *p = heap->allocBlock(sizeof(nyxFootPrintPort) * static_cast<size_t>(n));
    if (p == nullptr) return nullptr;
    auto *ports = static_cast<nyxFootPrintPort *>(p);
    for (int32_t i = 0; i < n; ++i) new (ports + i) nyxFootPrintPort();
    return ports;
}

void freePorts(Hx_baseheap *heap, nyxFootPrintPort *ports, int32_t n, int depth) {
    if (ports == nullptr) return;
    for (int32_t i = 0; i < n; ++i) {
        nyxFootPrintPort &p = ports[i];
        if (depth < kMaxDepth) freePorts(heap, p.d_members, p.d_memberCount, depth + 1);
        p.d_name.clear();
    }
    heap->freeBlock(ports, sizeof(nyxFootPrintPort) * static_cast<size_t>(n));
}

// Copies one describer port (and its members) into a record port.
bool copyPort(Hx_baseheap *heap, nyxFootPrintPort &to, const nyxPort *from, int depth) {
    if (depth > kMaxDepth || !to.d_name.setString(from->name(), heap)) return false;
    to.d_code = from->d_code;
    if (from->isScalar()) {
        to.d_dirOrStart = static_cast<const nyxPortScalar *>(from)->d_direction;
        return true;
    }
    const auto *group = static_cast<const nyxPortBundle *>(from);
    if (from->d_code == nyxCodePortBus) {
        to.d_dirOrStart = static_cast<const nyxPortBus *>(from)->d_start;
        to.d_step = static_cast<const nyxPortBus *>(from)->d_step;
    }
    int32_t n = group->size();
    if (n == 0) return true;
    to.d_members = allocPorts(heap, n);
    if (to.d_members == nullptr) return false;
    to.d_memberCount = n;
    for (int32_t i = 0; i < n; ++i) {
        if (!copyPort(heap, to.d_members[i], group->member(i), depth + 1)) return false;
    }
    return true;
}

bool completePorts(const nyxFootPrintPort *ports, int32_t n, int depth) {
    if (depth > kMaxDepth || (n > 0 && ports == nullptr)) return false;
    for (int32_t i = 0; i < n; ++i) {
        const nyxFootPrintPort &p = ports[i];
        if (p.d_code == nyxCodePortScalar) continue;
        if (!p.isGroup() || !completePorts(p.d_members, p.d_memberCount, depth + 1)) return false;
    }
    return true;
}

nyxFootPrint *newRecord(nyxNetlistView *view) {
    void *p = view->viewHeap()->allocBlock(sizeof(nyxFootPrint));
    if (p == nullptr) return nullptr;
    auto *fp = new (p) nyxFootPrint();
    fp->d_owner = view;
    // The default model reads as none unless option bit 0x800 is set when the record is made.
    const bool suppressScan = nyxSettings::hasNameOption(nyxSettings::kSuppressDirectoryScan);
    fp->d_defaultModel = suppressScan ? 0 : ~uintptr_t{0};
    return fp;
}

void link(nyxFootPrint *record, nyxNetlistView *describer) {
    nyxDynArray &list = describer->cachedBy();
    if (list.index_of(record) < 0) list.add(record, describer->viewHeap());
}

void unlink(nyxFootPrint *record, nyxNetlistView *describer) {
    if (describer == nullptr || describer == record->d_owner) return;
    describer->cachedBy().remove(record);
}

// What a failed look-up of the describer's cell or view reports: 3 when it does not exist (or
// its name is not valid), 40 when it exists but could not be read.
cfidrErrorT missingOrUnreadable(cfidrErrorT lookupError) {
    return lookupError == cfidrErrNotFound || lookupError == cfidrErrBadName
               ? cfidrErrDescriberNotFound
               : cfidrErrViewOpenFailed;
}

} // namespace

bool nyxFootPrint::setInterfaceName(const char *name) {
    return d_interfaceName.setString(name != nullptr ? name : "", d_owner->viewHeap());
}

void nyxFootPrint::uncacheDescriber() {
    nyxRecordIndexOps::describerChanging(this, nullptr);
    d_describer = nullptr;
    d_refsPending = false;
}

void nyxFootPrint::setSymbolView(nyxNetlistView *view) {
    if (d_symbolView == view) return;
    if (d_symbolView != d_describer) unlink(this, d_symbolView);
    d_symbolView = view;
    if (view != nullptr && view != d_owner) link(this, view);
}

bool nyxFootPrint::complete() {
    if (d_checked == 0) d_checked = completePorts(d_ports, d_portCount, 0) ? 1 : -1;
    return d_checked > 0;
}

nyxNetlistView *nyxFootPrint::getDescriber(cfidrErrorT *err, bool load) {
    nyxNetlistView *view = d_describer;
    if (view == nullptr) {
        // Among the open libraries first; a library known only on disk gets a record read-only.
        nyxLib *lib = nyxLib::findKnown(libName());
        cfidrErrorT e = 0;
        if (lib == nullptr) {
            if (nyxDMObj::findDMObj(nyxCodeLib, nyxDMUtil::pathOf(libName()).c_str(), nullptr, nullptr) < 0) {
                return *err = cfidrErrDescriberNotFound, nullptr;
            }
            lib = nyxLib::construct(libName(), cfidrReadMode, &e);
            if (lib == nullptr) return *err = cfidrErrViewOpenFailed, nullptr;
        }
        nyxCell *cell = nyxLib::findCellByName(lib, cellName(), &e);
        if (cell == nullptr) return *err = missingOrUnreadable(e), nullptr;
        // A view the cell lists exists: failing to read it is 40. Otherwise the general opening
        // may still find (or compile) it.
        for (int32_t i = 0; view == nullptr && i < cell->views().nitems(); ++i) {
            void *entry = cell->views()[i];
            nyxDMObj *obj = nyxCell::viewObject(entry);
            if (!nyxDMUtil::sameName(obj->nameObj(), viewName())) continue;
            if (nyxCell::viewCode(entry) != nyxCodeNetlistView) {
                return *err = cfidrErrDescriberNotFound, nullptr;
            }
            view = static_cast<nyxNetlistView *>(obj);
        }
        if (view == nullptr) {
            nyxObjRef r = nyxCell::findViewByName(cell, viewName(), &e);
            if (r.obj == nullptr) return *err = missingOrUnreadable(e), nullptr;
            if (r.code != nyxCodeNetlistView) return *err = cfidrErrDescriberNotFound, nullptr;
            view = static_cast<nyxNetlistView *>(r.obj);
        }
        nyxFootPrintOps::cacheDescriber(this, view);
    }
    if (load) {
        cfidrErrorT e = 0;
        if (!nyxNetlistView::load(view, &e)) return *err = cfidrErrViewOpenFailed, nullptr;
    }
    return view;
}

namespace nyxFootPrintOps {

nyxFootPrint *fromView(nyxNetlistView *view, nyxNetlistView *describer) {
    nyxFootPrint *fp = newRecord(view);
    if (fp == nullptr) return nullptr;
    Hx_genheap *heap = view->viewHeap();
    nyxCell *cell = describer->owner();
    int32_t n = describer->ports().nitems();
    bool ok = fp->d_libName.setString(cell->d_lib->nameObj(), heap) && fp->d_cellName.setString(cell->nameObj(), heap) &&
              fp->d_viewName.setString(describer->nameObj(), heap);
    fp->d_version = describer->d_version;
    if (ok && n > 0) {
        fp->d_ports = allocPorts(heap, n);
        ok = fp->d_ports != nullptr;
        if (ok) fp->d_portCount = n;
        for (int32_t i = 0; ok && i < n; ++i) {
            ok = copyPort(heap, fp->d_ports[i], static_cast<nyxPort *>(describer->ports()[i]), 0);
        }
    }
    if (!ok || view->describers().add(fp, heap) < 0) {
        release(fp);
        return nullptr;
    }
    nyxRecordIndexOps::added(fp);
    fp->d_checked = 1;
    cacheDescriber(fp, describer);
    return fp;
}

void cacheDescriber(nyxFootPrint *record, nyxNetlistView *describer) {
    nyxNetlistView *old = record->d_describer;
    if (old == describer) return;
    if (old != record->d_symbolView) unlink(record, old);
    nyxRecordIndexOps::describerChanging(record, describer);
    record->d_describer = describer;
    // The instances of the record move from the references of the describer cached before (a
    // view of the same names in another letter case; unless they were still owed to it) to
    // those of the new one, which is owed them: that costs no scan of the owner's instances.
    const bool owed = record->d_refsPending;
    const bool other = describer != nullptr && describer != record->d_owner;
    record->d_refsPending = other && record->d_useCount > 0;
    const bool leave = old != nullptr && !owed;
    const bool join = describer != nullptr && !other;
    if (record->d_useCount > 0 && (leave || join)) {
        nyxInstCursor c;
        for (nyxInst *inst = nyxInstance::next(record->d_owner, c); inst != nullptr;
             inst = nyxInstance::next(record->d_owner, c)) {
            if (inst->d_footPrint != record) continue;
            if (leave) nyxInstance::uncacheInstRef(old, inst);
            if (join) nyxInstance::cacheInstRef(describer, inst);
        }
    }
    if (other) link(record, describer);
}

void release(nyxFootPrint *record) {
    nyxNetlistView *view = record->d_owner;
    Hx_genheap *heap = view->viewHeap();
    unlink(record, record->d_describer);
    if (record->d_symbolView != record->d_describer) unlink(record, record->d_symbolView);
    nyxRecordIndexOps::removing(record);
    view->describers().remove(record);
    freePorts(heap, record->d_ports, record->d_portCount, 0);
    record->d_libName.clear();
    record->d_cellName.clear();
    record->d_viewName.clear();
    record->d_interfaceName.clear();
    record->~nyxFootPrint();
    heap->freeBlock(record, sizeof(nyxFootPrint));
}

} // namespace nyxFootPrintOps

namespace nyxInstance {

nyxFootPrint *getFootPrint(nyxNetlistView *view, nyxNetlistView *describer, cfidrErrorT *err) {
    nyxCell *cell = describer->owner();
    const char *lib = cell->d_lib->nameObj();
    const int32_t version = describer->d_version;
    // A record that caches this describer at its version is the one the name search would find
    // first: any earlier match would have been found, and cached, when the later one was made.
    nyxFootPrint *fp = nullptr;
    if (const nyxRecordIndex *index = nyxRecordIndexOps::get(view)) {
        fp = nyxRecordIndexOps::findCaching(index, describer, version);
        if (fp != nullptr) return fp;
        fp = nyxRecordIndexOps::findNamed(index, lib, cell->nameObj(), describer->nameObj(), version);
    } else {
        // Without memory for the index: the same two searches over the list.
        nyxDynArray &list = view->describers();
        for (int32_t i = 0; i < list.nitems(); ++i) {
            auto *r = static_cast<nyxFootPrint *>(list[i]);
            if (r->d_describer == describer && r->d_version == version) return r;
        }
        for (int32_t i = 0; fp == nullptr && i < list.nitems(); ++i) {
            auto *r = static_cast<nyxFootPrint *>(list[i]);
            if (r->d_version == version && nyxDMUtil::sameName(r->libName(), lib) &&
                nyxDMUtil::sameName(r->cellName(), cell->nameObj()) &&
                nyxDMUtil::sameName(r->viewName(), describer->nameObj())) {
                fp = r;
            }
        }
    }
    if (fp != nullptr) {
        nyxFootPrintOps::cacheDescriber(fp, describer);
        return fp;
    }
    fp = nyxFootPrintOps::fromView(view, describer);
    if (fp == nullptr) *err = cfidrErrInternal;
    return fp;
}

nyxFootPrint *footPrintFromStored(nyxNetlistView *view, const char *lib, const char *cell, const char *viewName,
                                  int32_t version, int32_t portCount, cfidrErrorT *err) {
    if (portCount < 0 || portCount > kMaxStoredPorts || lib == nullptr || cell == nullptr || viewName == nullptr) {
        return *err = cfidrErrInternal, nullptr;
    }
    nyxFootPrint *fp = newRecord(view);
    if (fp == nullptr) return *err = cfidrErrInternal, nullptr;
    Hx_genheap *heap = view->viewHeap();
    std::string name = viewName;
    if (nyxSettings::nyxEnableDR(nyxSettings::kFixStoredDescriberName)) {
        name = nyxNetlistView::storedName(viewName);
    }
    bool ok = fp->d_libName.setString(lib, heap) && fp->d_cellName.setString(cell, heap) &&
              fp->d_viewName.setString(name.c_str(), heap);
    fp->d_version = version;
    if (ok && portCount > 0) {
        fp->d_ports = allocPorts(heap, portCount);
        ok = fp->d_ports != nullptr;
        if (ok) fp->d_portCount = portCount;
    }
    if (!ok || view->describers().add(fp, heap) < 0) {
        nyxFootPrintOps::release(fp);
        return *err = cfidrErrInternal, nullptr;
    }
    nyxRecordIndexOps::added(fp);
    return fp;
}

bool setPort(nyxFootPrint *record, nyxFootPrintPort *port, const char *name, int32_t code, int32_t memberCount,
             int32_t dirOrStart, int32_t step, cfidrErrorT *err) {
    bool group = code == nyxCodePortBus || code == nyxCodePortBundle;
    if (port == nullptr || port->d_code != 0 || name == nullptr || (!group && code != nyxCodePortScalar) ||
        memberCount < 0 || memberCount > kMaxStoredPorts || (!group && memberCount != 0)) {
        return *err = cfidrErrInternal, false;
    }
    Hx_genheap *heap = record->d_owner->viewHeap();
    if (!port->d_name.setString(name, heap)) return *err = cfidrErrInternal, false;
    if (memberCount > 0) {
        port->d_members = allocPorts(heap, memberCount);
        if (port->d_members == nullptr) return *err = cfidrErrInternal, false;
        port->d_memberCount = memberCount;
    }
    port->d_code = code;
    port->d_dirOrStart = dirOrStart;
    port->d_step = code == nyxCodePortBus ? step : -1;
    record->d_checked = 0;
    return true;
}

void dropFootPrint(nyxFootPrint *record) {
    if (record != nullptr && record->d_useCount == 0) nyxFootPrintOps::release(record);
}

} // namespace nyxInstance

void nyxFootPrintOps::viewGoing(nyxNetlistView *view) {
    nyxDynArray &by = view->cachedBy();
    for (int32_t i = 0; i < by.nitems(); ++i) {
        auto *fp = static_cast<nyxFootPrint *>(by[i]);
        if (fp->d_describer == view) {
            nyxRecordIndexOps::describerChanging(fp, nullptr);
            fp->d_describer = nullptr;
            fp->d_refsPending = false;
        }
        if (fp->d_symbolView == view) fp->d_symbolView = nullptr;
    }
    by.clear();
    // Each other view cached by a record here drops the records and, in one pass, the instances
    // of this view from its lists.
    nyxDynArray &records = view->describers();
    for (int32_t i = 0; i < records.nitems(); ++i) {
        auto *fp = static_cast<nyxFootPrint *>(records[i]);
        for (nyxNetlistView *d : {fp->d_describer, fp->d_symbolView}) {
            if (d == nullptr || d == view || d->cachedBy().index_of(fp) < 0) continue;
            d->cachedBy().remove(fp);
            nyxDynArray &refs = d->instRefs();
            nyxDynArray kept(d->viewHeap());
            for (int32_t k = 0; k < refs.nitems(); ++k) {
                if (static_cast<nyxInst *>(refs[k])->view() != view) kept.add(refs[k]);
            }
            if (kept.nitems() == refs.nitems()) continue;
            refs.clear();
            for (int32_t k = 0; k < kept.nitems(); ++k) refs.add(kept[k], d->viewHeap());
        }
    }
}
