// Exported functions of views: creation of netlist views in a cell; type, owner, save and purge of
// netlist and encapsulated views; and a netlist view's nets by name, position and iteration.
#include <cstring>

#include "dm/netlist/netlist.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;

namespace {

nyxNetlistView *asView(cfiOID id) { return nyxpi::object<nyxNetlistView>(id); }
nyxEncapsulatedView *asEncView(cfiOID id) { return nyxpi::object<nyxEncapsulatedView>(id); }

// A view argument: its class code, 14 for a netlist view and 15 for an encapsulated view (in
// trusted program mode an identifier of another class is taken as a netlist view); 0 after the
// error is stored.
int32_t viewArg(cfiOID view, cfidrErrorT *e) {
    if (!checkArg(view, nyxCodeView, e)) return 0;
    const int32_t code = nyxpi::classCode(view.tag);
    if (code == nyxCodeEncapsulatedView) return code;
    if (!nyxpi::trusted() && code != nyxCodeNetlistView) return fail(e, cfidrErrWrongType), 0;
    return nyxCodeNetlistView;
}

} // namespace

extern "C" {

NYX_API cfiOID cfidrPIOpenView(const char *lib, const char *cell, const char *view, cfidrAccessModeT mode,
                               cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr || !nyxpi::checkAccessMode(mode, e)) return kNullOID;
        nyxObjRef r = nyxLib::openView(lib, cell, view, mode, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(r, e);
    });
}

NYX_API cfiOID cfidrCellCreateNetlistView(cfiOID cell, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return kNullOID;
        nyxCell *c = nyxpi::object<nyxCell>(cell);
        cfidrErrorT readErr = 0;
        if (!c->openObj(&readErr) && readErr != cfidrErrNotFound) return fail(e, readErr), kNullOID;
        if (!nyx::trustedData() && c->d_lib->readOnly()) {
            return fail(e, cfidrErrNotOpenForUpdate), kNullOID;
        }
        if (name == nullptr) return fail(e, cfidrErrBadName), kNullOID;
        std::string stored = nyxNetlistView::storedName(name);
        name = stored.c_str();
        if (!nyx::trustedData()) {
            if (!nyxNetlistView::validString(name) ||
                !nyxDMPath::fitsEntry(name, nyxDMTypes::row(nyxDMTypes::kNetlistView).ext)) {
                return fail(e, cfidrErrBadName), kNullOID;
            }
            for (int32_t i = 0; i < c->views().nitems(); ++i) {
                if (nyxDMUtil::sameName(nyxCell::viewObject(c->views()[i])->nameObj(), name)) {
                    return fail(e, cfidrErrAlreadyExists), kNullOID;
                }
            }
            const char *cellPath = c->pathnameObj();
            if (cellPath == nullptr) return fail(e, cfidrErrInternal), kNullOID;
            if (std::strlen(cellPath) + std::strlen(name) + 1 < 1024 &&
                nyxDMObj::findDMObj(nyxCodeNetlistView, cellPath, name, nullptr) >= 0) {
                return fail(e, cfidrErrAlreadyExists), kNullOID;
            }
        }
        nyxNetlistView *v = nyxNetlistView::construct(c, name, cfidrUpdateMode, true, e);
        return nyxpi::handOut(v, nyxCodeNetlistView, e);
    });
}

NYX_API const char *cfidrViewGetViewType(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        const int32_t code = viewArg(view, e);
        if (code == nyxCodeEncapsulatedView) {
            if (!nyxEncapsulatedView::load(asEncView(view), e)) return "";
            return nyxpi::returnString(nyxEncapsulatedView::getViewType(asEncView(view)), e);
        }
        if (code == 0 || !nyxNetlistView::load(asView(view), e)) return "";
        return nyxpi::returnString(nyxNetlistView::getViewType(asView(view)), e);
    });
}

NYX_API cfiOID cfidrViewGetOwner(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const int32_t code = viewArg(view, e);
        if (code == 0) return kNullOID;
        nyxCell *cell = code == nyxCodeEncapsulatedView ? asEncView(view)->owner() : asView(view)->owner();
        return nyxpi::handOut(cell, nyxCodeCell, e);
    });
}

NYX_API void cfidrViewSave(cfiOID view, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const int32_t code = viewArg(view, e);
        if (code == nyxCodeEncapsulatedView) return nyxEncapsulatedView::save(asEncView(view), e);
        if (code != 0) nyxNetlistView::save(asView(view), e);
    });
}

NYX_API void cfidrViewPurge(cfiOID view, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const int32_t code = viewArg(view, e);
        if (code == 0) return;
        void *obj = nyxpi::address(view.object);
        nyxpi::Withdrawal withdrawal;
        if (!withdrawal.collect(obj, code, 0, e)) return;
        if (code == nyxCodeEncapsulatedView) {
            nyxEncapsulatedView::purge(asEncView(view), e);
        } else {
            nyxNetlistView::purge(asView(view), e);
        }
        if (*e == 0) withdrawal.commit();
    });
}

// --- Nets of a view ------------------------------------------------------------------------------

static cfiOID createNet(cfiOID view, const char *name, int32_t code, int32_t start, int32_t step,
                        cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        void *net = nyxNet::create(asView(view), name, code, start, step, e);
        return nyxpi::handOut(net, code, e);
    });
}

NYX_API cfiOID cfidrNetlistViewCreateNetScalar(cfiOID view, const char *name, cfidrErrorT *err) {
    return createNet(view, name, nyxCodeNetScalar, 0, 1, err);
}

NYX_API cfiOID cfidrNetlistViewCreateNetBus(cfiOID view, const char *name, int32_t start, int32_t step,
                                            cfidrErrorT *err) {
    return createNet(view, name, nyxCodeNetBus, start, step, err);
}

NYX_API cfiOID cfidrNetlistViewCreateNetBundle(cfiOID view, const char *name, cfidrErrorT *err) {
    return createNet(view, name, nyxCodeNetBundle, 0, 1, err);
}

NYX_API cfiOID cfidrNetlistViewFindNetByName(cfiOID view, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        nyxObjRef r = nyxNet::findByName(asView(view), name, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(r, e);
    });
}

NYX_API cfidrIterT cfidrNetlistViewGetNets(cfiOID view, cfidrIterModeT mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e) || !nyxpi::checkIterMode(mode, e)) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxNet::viewNets(asView(view), mode, e), nyxIterNet, e);
    });
}

NYX_API cfiOID nyxdrNetlistViewFindNetByPosition(cfiOID view, int32_t position, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        nyxObjRef r = nyxViewOps::findNetByPosition(asView(view), position, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(r, e);
    });
}

NYX_API int32_t nyxdrNetlistViewGetNetCount(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return int32_t{0};
        return nyxViewOps::getNetCount(asView(view), e);
    });
}

NYX_API int32_t nyxdrNetlistViewGetNetTotal(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return int32_t{0};
        nyxNetlistView *v = asView(view);
        return nyxNetlistView::load(v, e) ? v->netTotal() : int32_t{0};
    });
}

} // extern "C"
