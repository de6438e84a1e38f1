// Exported functions of instances and of the instances of a view: creation, lookups by name and
// position, counts, describers, interface names, positions and owners. Names, renaming,
// destruction and properties go through the object functions and the instances' class row.
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::kNullOID;

namespace {

nyxNetlistView *viewOf(cfiOID id) { return nyxpi::object<nyxNetlistView>(id); }
nyxInst *instOf(cfiOID id) { return nyxpi::object<nyxInst>(id); }

} // namespace

extern "C" {

NYX_API cfiOID cfidrNetlistViewCreateInst(cfiOID view, cfiOID describer, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e) ||
            !checkArg(describer, nyxCodeNetlistView, e, nyxpi::kDescriberCodes)) {
            return kNullOID;
        }
        nyxInst *inst = nyxInstance::createInst(viewOf(view), viewOf(describer), name, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(inst, nyxCodeInst, e);
    });
}

NYX_API cfidrIterT cfidrNetlistViewGetInsts(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxInstance::viewInsts(viewOf(view), e), nyxIterInst, e);
    });
}

NYX_API cfiOID cfidrNetlistViewFindInstByName(cfiOID view, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        nyxInst *inst = nyxInstance::findByName(viewOf(view), name, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(inst, nyxCodeInst, e);
    });
}

NYX_API cfiOID nyxdrNetlistViewFindInstByPosition(cfiOID view, int32_t position, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        nyxInst *inst = nyxInstance::findByPosition(viewOf(view), position, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(inst, nyxCodeInst, e);
    });
}

NYX_API int32_t nyxdrNetlistViewGetInstCount(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return int32_t{0};
        if (!nyxNetlistView::load(viewOf(view), e)) return int32_t{0};
        return nyxInstance::count(viewOf(view));
    });
}

NYX_API cfiOID cfidrInstGetDescriber(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return kNullOID;
        // The record caches the describer; every instance of the record then counts among the
        // describer's instance references.
        nyxNetlistView *d = instOf(inst)->footPrint()->getDescriber(e, !nyxpi::trusted());
        return d == nullptr ? kNullOID : nyxpi::handOut(d, nyxCodeNetlistView, e);
    });
}

NYX_API cfiOID nyxdrInstGetPrimitiveDescriber(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return kNullOID;
        nyxNetlistView *symbol = instOf(inst)->footPrint()->d_symbolView;
        if (symbol == nullptr) return nyxpi::fail(e, cfidrErrDescriberNotFound), kNullOID;
        return nyxpi::handOut(symbol, nyxCodeNetlistView, e);
    });
}

NYX_API const char *nyxdrInstGetInterfaceName(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(inst, nyxCodeInst, e)) return "";
        return nyxpi::returnString(instOf(inst)->footPrint()->interfaceName(), e);
    });
}

NYX_API int32_t nyxdrInstGetPosition(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return int32_t{0};
        return nyxInstance::position(instOf(inst));
    });
}

NYX_API cfiOID cfidrInstGetOwner(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return kNullOID;
        return nyxpi::handOut(instOf(inst)->view(), nyxCodeNetlistView, e);
    });
}

} // extern "C"
