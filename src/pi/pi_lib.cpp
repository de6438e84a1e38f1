// Exported functions of libraries and cells, and the view size hint.
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;

extern "C" {

// --- Libraries ------------------------------------------------------------------------------------

NYX_API cfiOID cfidrPICreateLib(const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return kNullOID;
        return nyxpi::handOut(nyxLib::createLib(name, e), nyxCodeLib, e);
    });
}

NYX_API cfiOID cfidrPIOpenLib(const char *name, cfidrAccessModeT mode, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr || !nyxpi::checkAccessMode(mode, e)) return kNullOID;
        nyxLib *lib = nyxLib::openLib(name, mode, e);
        // "Already opened" still hands the library out.
        cfidrErrorT code = *e;
        if (code != 0 && code != cfidrErrLibAlreadyOpen) return kNullOID;
        *e = 0;
        cfiOID id = nyxpi::handOut(lib, nyxCodeLib, e);
        if (*e == 0) *e = code;
        return id;
    });
}

NYX_API cfiOID cfidrPIFindLibByName(const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return kNullOID;
        return nyxpi::handOut(nyxLib::findLibByName(name, e), nyxCodeLib, e);
    });
}

NYX_API cfidrIterT cfidrPIGetLibs(cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxLib::getLibs(e), nyxIterLib, e);
    });
}

NYX_API cfiOID cfidrLibCreateCell(cfiOID lib, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(lib, nyxCodeLib, e)) return kNullOID;
        nyxCell *cell = nyxLib::createCell(nyxpi::object<nyxLib>(lib), name, e);
        return nyxpi::handOut(cell, nyxCodeCell, e);
    });
}

NYX_API cfiOID cfidrLibFindCellByName(cfiOID lib, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(lib, nyxCodeLib, e)) return kNullOID;
        nyxCell *cell = nyxLib::findCellByName(nyxpi::object<nyxLib>(lib), name, e);
        return nyxpi::handOut(cell, nyxCodeCell, e);
    });
}

NYX_API cfidrIterT cfidrLibGetCells(cfiOID lib, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(lib, nyxCodeLib, e)) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxLib::getCells(nyxpi::object<nyxLib>(lib), e), nyxIterCell, e);
    });
}

NYX_API void cfidrLibSave(cfiOID lib, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(lib, nyxCodeLib, e)) return;
        nyxLib::save(nyxpi::object<nyxLib>(lib), e);
    });
}

NYX_API void cfidrLibPurge(cfiOID lib, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(lib, nyxCodeLib, e)) return;
        nyxLib *l = nyxpi::object<nyxLib>(lib);
        nyxpi::Withdrawal withdrawal;
        if (!withdrawal.collect(l, nyxCodeLib, 0, e)) return;
        nyxLib::purge(l, e);
        if (*e == 0) withdrawal.commit();
    });
}

// --- Cells ----------------------------------------------------------------------------------------

NYX_API cfiOID cfidrCellGetOwner(cfiOID cell, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return kNullOID;
        return nyxpi::handOut(nyxCell::getOwner(nyxpi::object<nyxCell>(cell)), nyxCodeLib, e);
    });
}

NYX_API cfidrIterT cfidrCellGetViews(cfiOID cell, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return nyxpi::nullIter();
        nyxIter *it = nyxCell::getViews(nyxpi::object<nyxCell>(cell), e);
        return nyxpi::handOutIter(it, nyxIterView, e);
    });
}

NYX_API cfiOID cfidrCellFindViewByName(cfiOID cell, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return kNullOID;
        if (!nyxpi::trusted() && !nyxDMUtil::validName(name)) {
            return fail(e, cfidrErrBadName), kNullOID;
        }
        nyxObjRef r = nyxCell::findViewByName(nyxpi::object<nyxCell>(cell), name, e);
        if (*e != 0) return kNullOID;
        return nyxpi::handOut(r, e);
    });
}

// --- Tuning ---------------------------------------------------------------------------------------

NYX_API void nyxprivPIViewSizeHint(cfiOID view, int32_t size, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return;
        if (size <= 0) return;
        nyxNetlistView::sizeHint(nyxpi::object<nyxNetlistView>(view), size);
    });
}

} // extern "C"
