// Exported functions of port instances: lookups by describer name and by position, iterators,
// owners, describer ports and names, the describer checks, nets, group sizes and bus ranges.
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;

namespace {

inline nyxInst *instOf(cfiOID id) { return nyxpi::object<nyxInst>(id); }
inline void *wordOf(cfiOID id) { return nyxpi::address(id.object); }

// Trusted program mode takes identifiers on trust; a group operation still refuses a word that
// is not a group, so that it never reads a net as group storage (4).
inline bool groupWord(cfiOID id, cfidrErrorT *e) {
    if (nyxPortInst::isGroup(wordOf(id))) return true;
    return fail(e, cfidrErrInternal), false;
}

cfiOID handOutRef(const nyxObjRef &r, cfidrErrorT *e) {
    return *e != 0 || r.obj == nullptr ? kNullOID : nyxpi::handOut(r, e);
}

} // namespace

extern "C" {

// --- Lookups -----------------------------------------------------------------------------------------

NYX_API cfiOID cfidrInstFindPortInstByDescriberName(cfiOID inst, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return kNullOID;
        return handOutRef(nyxPortInst::findByDescriberName(instOf(inst), name, e), e);
    });
}

NYX_API cfiOID cfidrPortInstBundleFindPortInstByDescriberName(cfiOID bundle, const char *name,
                                                              cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortInstBundle, e) || !groupWord(bundle, e)) return kNullOID;
        return handOutRef(nyxPortInst::findMemberByDescriberName(wordOf(bundle), name, e), e);
    });
}

NYX_API cfiOID nyxdrInstFindPortInstByPosition(cfiOID inst, int32_t position, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return kNullOID;
        int32_t code = 0;
        uintptr_t *word = nyxPortInst::atPosition(instOf(inst), position, &code);
        if (word == nullptr) return fail(e, cfidrErrNotFound), kNullOID;
        return nyxpi::handOut(word, code, e);
    });
}

NYX_API int32_t nyxdrPortInstGetPositionInInst(cfiOID portInst, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{-1}, [&](cfidrErrorT *e) {
        if (!checkArg(portInst, nyxCodePortInst, e)) return int32_t{-1};
        int32_t pos = nyxPortInst::positionInInst(wordOf(portInst));
        if (pos < 0) fail(e, cfidrErrInternal);
        return pos;
    });
}

NYX_API int32_t nyxdrInstGetPortInstCount(cfiOID inst, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return int32_t{0};
        return nyxPortInst::countInInst(instOf(inst));
    });
}

// --- Iterators ---------------------------------------------------------------------------------------
// Stepped through the port-instance rows (maker code 7), which serve instances' iterators too.

NYX_API cfidrIterT cfidrInstGetPortInsts(cfiOID inst, cfidrIterModeT mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e) || !nyxpi::checkIterMode(mode, e)) return nyxpi::nullIter();
        nyxIter *it = nyxPortInst::instPortInsts(instOf(inst), mode, e);
        return nyxpi::handOutIter(it, nyxIterPortInst, e);
    });
}

NYX_API cfidrIterT cfidrPortInstBundleGetPortInsts(cfiOID bundle, cfidrIterModeT mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortInstBundle, e) || !nyxpi::checkIterMode(mode, e) || !groupWord(bundle, e)) {
            return nyxpi::nullIter();
        }
        nyxIter *it = nyxPortInst::groupPortInsts(wordOf(bundle), mode, e);
        return nyxpi::handOutIter(it, nyxIterPortInst, e);
    });
}

NYX_API cfidrIterT cfidrPortInstBundleGetNetBundles(cfiOID bundle, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortInstBundle, e) || !groupWord(bundle, e)) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxPortInst::netBundles(wordOf(bundle), e), nyxIterNetBundle, e);
    });
}

// --- Owner and describer -------------------------------------------------------------------------------

NYX_API cfiOID cfidrPortInstGetOwner(cfiOID portInst, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(portInst, nyxCodePortInst, e)) return kNullOID;
        int32_t code = 0;
        void *owner = nyxPortInst::owner(wordOf(portInst), &code);
        if (owner == nullptr) return fail(e, cfidrErrInternal), kNullOID;
        return nyxpi::handOut(owner, code, e);
    });
}

NYX_API cfiOID cfidrPortInstGetDescriber(cfiOID portInst, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(portInst, nyxCodePortInst, e)) return kNullOID;
        return handOutRef(nyxPortInst::describerPort(wordOf(portInst), e), e);
    });
}

NYX_API const char *cfidrPortInstGetDescriberName(cfiOID portInst, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(portInst, nyxCodePortInst, e)) return "";
        const char *name = nyxPortInst::checkedDescriberName(wordOf(portInst), e);
        if (*e != 0) return "";
        return nyxpi::returnString(name, e);
    });
}

NYX_API void cfidrInstCheckDescriber(cfiOID inst, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(inst, nyxCodeInst, e)) return;
        *e = nyxPortInst::checkInst(instOf(inst));
    });
}

NYX_API void cfidrPortInstCheckDescriber(cfiOID portInst, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(portInst, nyxCodePortInst, e)) return;
        *e = nyxPortInst::checkPortInst(wordOf(portInst));
    });
}

// --- Scalars, groups, buses ----------------------------------------------------------------------------

NYX_API cfidrPortDirectionT cfidrPortInstScalarGetDescriberDirection(cfiOID portInst, cfidrErrorT *err) {
    return nyxpi::guard(err, cfidrPortDirectionT{0}, [&](cfidrErrorT *e) {
        if (!checkArg(portInst, nyxCodePortInstScalar, e)) return cfidrPortDirectionT{0};
        if (nyxPortInst::isGroup(wordOf(portInst))) {
            return fail(e, cfidrErrInternal), cfidrPortDirectionT{0};
        }
        return nyxPortInst::describerDirection(wordOf(portInst));
    });
}

NYX_API cfiOID cfidrPortInstScalarGetNetScalar(cfiOID portInst, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(portInst, nyxCodePortInstScalar, e)) return kNullOID;
        if (nyxPortInst::isGroup(wordOf(portInst))) return fail(e, cfidrErrInternal), kNullOID;
        return nyxpi::handOut(nyxPortInst::net(wordOf(portInst)), nyxCodeNetScalar, e);
    });
}

NYX_API int32_t cfidrPortInstBundleGetSize(cfiOID bundle, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortInstBundle, e) || !groupWord(bundle, e)) return int32_t{0};
        return nyxPortInst::size(wordOf(bundle));
    });
}

NYX_API int32_t cfidrPortInstBusGetStart(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(bus, nyxCodePortInstBus, e) || !groupWord(bus, e)) return int32_t{0};
        return nyxPortInst::start(wordOf(bus));
    });
}

NYX_API int32_t cfidrPortInstBusGetStep(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(bus, nyxCodePortInstBus, e) || !groupWord(bus, e)) return int32_t{0};
        return nyxPortInst::step(wordOf(bus));
    });
}

} // extern "C"
