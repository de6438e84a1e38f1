// Exported functions that read what a view or cell records about other objects without opening
// them: an instance's describer record (library, cell and view names, version), the record port
// of a port instance, the number of describer records of a view, and the stored objects a cell's
// read found on disk.
#include "dm/store/store.h"
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;

namespace {

const nyxFootPrint *recordOf(cfiOID inst) { return nyxpi::object<nyxInst>(inst)->footPrint(); }
nyxCell *cellOf(cfiOID cell) { return nyxpi::object<nyxCell>(cell); }

// The cell's stored entry at `index` after reading the cell when needed; null after the read's
// error or 27 when the index lies outside the entries.
const nyxDMEntry *entryAt(cfiOID cell, int32_t index, cfidrErrorT *e) {
    if (!cellOf(cell)->openObj(e)) return nullptr;
    const nyxDynArray &entries = cellOf(cell)->storedEntries();
    if (index < 0 || index >= entries.nitems()) return fail(e, cfidrErrNotFound), nullptr;
    return static_cast<const nyxDMEntry *>(entries[index]);
}

// The describer record at `index` of a view, after reading the view when needed; null after the
// read's error or 27 when the index lies outside the records.
const nyxFootPrint *describerAt(cfiOID view, int32_t index, cfidrErrorT *e) {
    nyxNetlistView *v = nyxpi::object<nyxNetlistView>(view);
    if (!nyxNetlistView::load(v, e)) return nullptr;
    const nyxDynArray &records = v->describers();
    if (index < 0 || index >= records.nitems()) return fail(e, cfidrErrNotFound), nullptr;
    return static_cast<const nyxFootPrint *>(records[index]);
}

// A name of the describer record at `index`.
template <typename Name>
const char *describerName(cfiOID view, int32_t index, cfidrErrorT *err, Name name) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(view, nyxCodeNetlistView, e)) return "";
        const nyxFootPrint *record = describerAt(view, index, e);
        return record == nullptr ? "" : nyxpi::returnString(name(record), e);
    });
}

} // namespace

extern "C" {

// --- Describer records of instances --------------------------------------------------------------

NYX_API const char *nyxdrInstGetDescriberLibName(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(inst, nyxCodeInst, e)) return "";
        return nyxpi::returnString(recordOf(inst)->libName(), e);
    });
}

NYX_API const char *nyxdrInstGetDescriberCellName(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(inst, nyxCodeInst, e)) return "";
        return nyxpi::returnString(recordOf(inst)->cellName(), e);
    });
}

NYX_API const char *nyxdrInstGetDescriberViewName(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(inst, nyxCodeInst, e)) return "";
        return nyxpi::returnString(recordOf(inst)->viewName(), e);
    });
}

NYX_API int32_t nyxdrInstGetDescriberVersion(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return int32_t{0};
        return recordOf(inst)->d_version;
    });
}

NYX_API const char *nyxdrPortInstGetRecordName(cfiOID portInst, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(portInst, nyxCodePortInst, e)) return "";
        return nyxpi::returnString(nyxPortInst::describerName(nyxpi::address(portInst.object)), e);
    });
}

NYX_API int32_t nyxdrNetlistViewGetDescriberCount(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return int32_t{0};
        nyxNetlistView *v = nyxpi::object<nyxNetlistView>(view);
        if (!nyxNetlistView::load(v, e)) return int32_t{0};
        return v->describers().nitems();
    });
}

NYX_API const char *nyxdrNetlistViewGetDescriberLibName(cfiOID view, int32_t index, cfidrErrorT *err) {
    return describerName(view, index, err, [](const nyxFootPrint *r) { return r->libName(); });
}

NYX_API const char *nyxdrNetlistViewGetDescriberCellName(cfiOID view, int32_t index, cfidrErrorT *err) {
    return describerName(view, index, err, [](const nyxFootPrint *r) { return r->cellName(); });
}

NYX_API const char *nyxdrNetlistViewGetDescriberViewName(cfiOID view, int32_t index, cfidrErrorT *err) {
    return describerName(view, index, err, [](const nyxFootPrint *r) { return r->viewName(); });
}

NYX_API int32_t nyxdrNetlistViewGetDescriberInstCount(cfiOID view, int32_t index, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return int32_t{0};
        const nyxFootPrint *record = describerAt(view, index, e);
        return record == nullptr ? int32_t{0} : record->d_useCount;
    });
}

// --- Stored entries of cells ---------------------------------------------------------------------

NYX_API int32_t nyxdrCellGetEntryCount(cfiOID cell, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return int32_t{0};
        if (!cellOf(cell)->openObj(e)) return int32_t{0};
        return cellOf(cell)->storedEntries().nitems();
    });
}

NYX_API const char *nyxdrCellGetEntryName(cfiOID cell, int32_t index, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(cell, nyxCodeCell, e)) return "";
        const nyxDMEntry *entry = entryAt(cell, index, e);
        return entry == nullptr ? "" : nyxpi::returnString(entry->name.getString(), e);
    });
}

NYX_API const char *nyxdrCellGetEntryKind(cfiOID cell, int32_t index, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(cell, nyxCodeCell, e)) return "";
        const nyxDMEntry *entry = entryAt(cell, index, e);
        return entry == nullptr ? "" : nyxpi::returnString(nyxDMTypes::kindName(entry->row), e);
    });
}

} // extern "C"
