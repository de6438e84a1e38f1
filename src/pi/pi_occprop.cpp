// Exported functions of occurrence property sets and occurrence properties.
//
// The set operations are reached through the `own` slot of the class row of occurrence property
// sets (config/config.h), so that the frame does not link src/config: without the row every
// function here answers 15. Paths come back as one block of the returned-string ring: the
// null-terminated array of pointers followed by the texts it points at.
#include <cstring>

#include "config/config.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;

namespace {


nyxOccPropSet *setOf(cfiOID id) { return nyxpi::object<nyxOccPropSet>(id); }
nyxOccPropNode *nodeOf(cfiOID id) { return nyxpi::object<nyxOccPropNode>(id); }

// The set operations; null after storing 15 when the class is not linked.
const nyxOccPropSetClassOps *setOps(cfidrErrorT *e) {
    const nyxClassOps *ops = nyxpi::classOps(nyxCodeOccPropSet);
    const auto *own = ops != nullptr ? static_cast<const nyxOccPropSetClassOps *>(ops->own) : nullptr;
    if (own == nullptr) fail(e, cfidrErrWrongType);
    return own;
}


cfiOID createNode(cfiOID set, int32_t code, const char *const *path, const char *const *member,
                  cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeOccPropSet, e) || (ops = setOps(e)) == nullptr) return kNullOID;
        return nyxpi::handOut(ops->createNode(setOf(set), code, path, member, e), code, e);
    });
}

cfiOID findNode(cfiOID set, int32_t code, const char *const *path, const char *const *member,
                cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeOccPropSet, e) || (ops = setOps(e)) == nullptr) return kNullOID;
        nyxOccPropNode *node = ops->findNode(setOf(set), code, path, member, e);
        if (*e != 0) return kNullOID;
        return nyxpi::handOut(node, code, e);
    });
}

cfidrIterT getNodes(cfiOID set, int mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeOccPropSet, e) || (ops = setOps(e)) == nullptr) return nyxpi::nullIter();
        return nyxpi::handOutIter(ops->getNodes(setOf(set), mode, e), nyxIterOccProp, e);
    });
}

} // namespace

extern "C" {

NYX_API cfiOID nyxdrCellCreateOccPropSet(cfiOID cell, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(cell, nyxCodeCell, e) || (ops = setOps(e)) == nullptr) return kNullOID;
        return nyxpi::handOut(ops->create(nyxpi::object<nyxCell>(cell), name, e), nyxCodeOccPropSet, e);
    });
}

NYX_API cfiOID nyxdrPIOpenOccPropSet(const char *lib, const char *cell, const char *name,
                                     cfidrAccessModeT mode, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (nyxpi::session(e) == nullptr || !nyxpi::checkAccessMode(mode, e)) return kNullOID;
        if ((ops = setOps(e)) == nullptr) return kNullOID;
        // A set already open comes back with 30008: it is handed out all the same.
        return nyxpi::handOut(ops->open(lib, cell, name, mode, e), nyxCodeOccPropSet, e);
    });
}

NYX_API cfiOID nyxdrCellFindOccPropSetByName(cfiOID cell, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(cell, nyxCodeCell, e) || (ops = setOps(e)) == nullptr) return kNullOID;
        nyxOccPropSet *set = ops->find(nyxpi::object<nyxCell>(cell), name, e);
        if (*e != 0) return kNullOID;
        return nyxpi::handOut(set, nyxCodeOccPropSet, e);
    });
}

NYX_API cfidrIterT nyxdrCellGetOccPropSets(cfiOID cell, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return nyxpi::nullIter();
        const nyxClassOps *ops = nyxpi::classOps(nyxCodeCell);
        if (ops == nullptr || ops->getters[nyxIterOccPropSet] == nullptr) {
            return fail(e, cfidrErrWrongType), nyxpi::nullIter();
        }
        nyxIter *it = ops->getters[nyxIterOccPropSet](nyxpi::address(cell.object), 0, e);
        return nyxpi::handOutIter(it, nyxIterOccPropSet, e);
    });
}

NYX_API cfiOID nyxdrOccPropSetGetOwner(cfiOID set, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(set, nyxCodeOccPropSet, e)) return kNullOID;
        return nyxpi::handOut(setOf(set)->cell(), nyxCodeCell, e);
    });
}

NYX_API cfiOID nyxdrOccPropSetCreateViewOccProp(cfiOID set, const char *const *path, cfidrErrorT *err) {
    return createNode(set, nyxCodeViewOccProp, path, nullptr, err);
}

NYX_API cfiOID nyxdrOccPropSetCreateNetOccProp(cfiOID set, const char *const *path, cfidrErrorT *err) {
    return createNode(set, nyxCodeNetOccProp, path, nullptr, err);
}

NYX_API cfiOID nyxdrOccPropSetCreatePortOccProp(cfiOID set, const char *const *path,
                                                const char *const *memberPath, cfidrErrorT *err) {
    return createNode(set, nyxCodePortOccProp, path, memberPath, err);
}

NYX_API cfiOID nyxdrOccPropSetFindViewOccPropByPath(cfiOID set, const char *const *path, cfidrErrorT *err) {
    return findNode(set, nyxCodeViewOccProp, path, nullptr, err);
}

NYX_API cfiOID nyxdrOccPropSetFindNetOccPropByPath(cfiOID set, const char *const *path, cfidrErrorT *err) {
    return findNode(set, nyxCodeNetOccProp, path, nullptr, err);
}

NYX_API cfiOID nyxdrOccPropSetFindPortOccPropByPath(cfiOID set, const char *const *path,
                                                    const char *const *memberPath, cfidrErrorT *err) {
    return findNode(set, nyxCodePortOccProp, path, memberPath, err);
}

NYX_API cfidrIterT nyxdrOccPropSetGetViewOccProps(cfiOID set, cfidrErrorT *err) { return getNodes(set, 1, err); }
NYX_API cfidrIterT nyxdrOccPropSetGetNetOccProps(cfiOID set, cfidrErrorT *err) { return getNodes(set, 2, err); }
NYX_API cfidrIterT nyxdrOccPropSetGetPortOccProps(cfiOID set, cfidrErrorT *err) { return getNodes(set, 3, err); }

NYX_API cfiOID nyxdrOccPropGetOwner(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(prop, nyxCodeOccProp, e)) return kNullOID;
        return nyxpi::handOut(nodeOf(prop)->d_set, nyxCodeOccPropSet, e);
    });
}

NYX_API const char *const *nyxdrOccPropGetPath(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kEmptyPath, [&](cfidrErrorT *e) -> const char *const * {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(prop, nyxCodeOccProp, e) || (ops = setOps(e)) == nullptr) return nyxpi::kEmptyPath;
        return nyxpi::returnPath(ops->path(nodeOf(prop)), e);
    });
}

NYX_API const char *const *nyxdrPortOccPropGetMemberPath(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kEmptyPath, [&](cfidrErrorT *e) -> const char *const * {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(prop, nyxCodePortOccProp, e) || (ops = setOps(e)) == nullptr) return nyxpi::kEmptyPath;
        return nyxpi::returnPath(ops->memberPath(nodeOf(prop)), e);
    });
}

NYX_API const char *nyxdrOccPropGetZILPathname(cfiOID prop, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(prop, nyxCodeOccProp, e) || (ops = setOps(e)) == nullptr) return "";
        // A path buffer first: in trusted program mode the string itself is handed out.
        return nyxpi::returnString(nyxDMUtil::getPathBuf(ops->pathname(nodeOf(prop))), e);
    });
}

NYX_API void nyxdrOccPropSetSave(cfiOID set, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeOccPropSet, e) || (ops = setOps(e)) == nullptr) return;
        ops->save(setOf(set), e);
    });
}

NYX_API void nyxdrOccPropSetPurge(cfiOID set, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxOccPropSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeOccPropSet, e) || (ops = setOps(e)) == nullptr) return;
        // The set, its nodes and every property on them go: all their identifiers with them.
        nyxpi::Withdrawal withdrawal;
        if (!withdrawal.collect(setOf(set), nyxCodeOccPropSet, 0, e)) return;
        ops->purge(setOf(set), e);
        if (*e == 0) withdrawal.commit();
    });
}

} // extern "C"
