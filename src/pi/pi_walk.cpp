// Exported functions of the occurrence walk: occurrences, their accessors and paths.
//
// An occurrence argument is resolved in every mode (resolveOcc): its tag, the configuration of
// its design id, that configuration's current tree, then the accessor of src/dw checks the
// range of the id, the kind and the port position against the tree. Nothing of an occurrence is
// registered; what the accessors return from the data model is handed out as usual.
#include <cstring>
#include <string>
#include <vector>

#include "config/config.h"
#include "dw/dw.h"
#include "pi/pi.h"
#include "pi/pi_walk.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;
using nyxpiwalk::kAnyKind;
using nyxpiwalk::kPortKind;
using nyxpiwalk::kTopKind;
using nyxpiwalk::kViewKinds;
using nyxpiwalk::occId;
using nyxpiwalk::resolveOcc;

namespace nyxpiwalk {

nyxOccTree *resolveOcc(cfiOID id, unsigned kinds, nyxOccRef *occ, cfidrErrorT *e) {
    if (nyx::session == nullptr) return fail(e, nyxdwErrOccUnusable), nullptr;
    if (!nyxdw::decodeWords(nyxOccWords{id.object, id.tag}, occ)) {
        // An identifier of another family is of the wrong kind; a broken tag names nothing.
        const bool other = id.object != 0 && (id.tag & 1) == 0;
        return fail(e, other && !nyxpi::trusted() ? cfidrErrWrongType : nyxdwErrOccUnusable), nullptr;
    }
    if (((kinds >> occ->kind) & 1) == 0) {
        return fail(e, nyxpi::trusted() ? nyxdwErrOccUnusable : cfidrErrWrongType), nullptr;
    }
    nyxOccTree *tree = nyxdw::resolveTree(occ->designId);
    if (tree == nullptr) fail(e, nyxdwErrOccUnusable);
    return tree;
}

} // namespace nyxpiwalk

namespace {



// An accessor giving an occurrence: resolve, call, hand out.
template <class F> cfiOID occToOcc(cfiOID id, unsigned kinds, cfidrErrorT *err, F &&get) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        nyxOccRef occ;
        nyxOccTree *tree = resolveOcc(id, kinds, &occ, e);
        if (tree == nullptr) return kNullOID;
        const nyxOccRef r = get(tree, occ, e);
        return *e != 0 ? kNullOID : occId(r, e);
    });
}

// An accessor giving an object of the data model.
template <class F> cfiOID occToObj(cfiOID id, unsigned kinds, cfidrErrorT *err, F &&get) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        nyxOccRef occ;
        nyxOccTree *tree = resolveOcc(id, kinds, &occ, e);
        if (tree == nullptr) return kNullOID;
        const nyxObjRef r = get(tree, occ, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(r, e);
    });
}

// Generic checks of one identifier of either family; false after the error.
bool usable(cfiOID id, cfidrErrorT *e) {
    if (id.object == 0) return true;
    nyxOccRef occ;
    if ((id.tag & 1) != 0 && ((id.tag >> 1) & 7u) == nyxOccFlatNet) return nyxpiwalk::resolveFlat(id, &occ, e) != nullptr;
    if ((id.tag & 1) != 0) return resolveOcc(id, kAnyKind, &occ, e) != nullptr;
    return checkArg(id, nyxCodeAnyObject, e);
}

} // namespace

extern "C" {

// --- Generic functions ---------------------------------------------------------------------------

NYX_API cfiOID nyxdwPIGetNullId(cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [](cfidrErrorT *) { return kNullOID; });
}

NYX_API cfiBooleanEnum nyxdwObjectIsNull(cfiOID id, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) {
        if (id.object == 0) return cfiBooleanEnum{1};
        usable(id, e);
        return cfiBooleanEnum{0};
    });
}

NYX_API cfiBooleanEnum nyxdwObjectIsSame(cfiOID a, cfiOID b, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) {
        if (!usable(a, e) || !usable(b, e)) return cfiBooleanEnum{0};
        return cfiBooleanEnum{a.object == b.object && a.tag == b.tag ? 1 : 0};
    });
}

NYX_API nyxdwOccKindT nyxdwObjectGetObjectType(cfiOID id, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxdwOccKindT{0}, [&](cfidrErrorT *e) -> nyxdwOccKindT {
        nyxOccRef occ;
        const bool flat = ((id.tag >> 1) & 7u) == nyxOccFlatNet && (id.tag & 1u) != 0;
        if ((flat ? nyxpiwalk::resolveFlat(id, &occ, e) : resolveOcc(id, kAnyKind, &occ, e)) == nullptr) return 0;
        return occ.kind;
    });
}

// --- The top occurrence --------------------------------------------------------------------------

NYX_API cfiOID nyxdwPICreateTopOcc(cfiOID config, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return kNullOID;
        if (config.object == 0) return fail(e, nyxdwErrOccUnusable), kNullOID;
        if (!checkArg(config, nyxCodeDesignConfig, e)) return kNullOID;
        nyxOccTree *tree = nyxdw::createTree(nyxpi::object<nyxDesignConfig>(config), e);
        if (tree == nullptr) return kNullOID;
        // Checked mode: the views of the tree are usable identifiers from here on, so that what
        // a caller keeps of the hierarchy is checked like any other view (one per distinct view).
        for (int32_t i = 0; !nyxpi::trusted() && i < nyxdw::nodeCount(tree); ++i) {
            if (nyxpi::handOut(nyxdw::nodeView(tree, i), nyxCodeNetlistView, e).object == 0) return kNullOID;
        }
        return occId(nyxdw::top(tree), e);
    });
}

NYX_API void nyxdwTopOccDestroy(cfiOID top, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        nyxOccRef occ;
        if (resolveOcc(top, kTopKind, &occ, e) == nullptr) return;
        nyxdw::deleteTree(nyxDesignConfig::byDesignId(occ.designId));
    });
}

// --- Accessors -----------------------------------------------------------------------------------

NYX_API cfiOID nyxdwOccGetDesignConfig(cfiOID occ, cfidrErrorT *err) {
    return occToObj(occ, kAnyKind, err, [](nyxOccTree *tree, const nyxOccRef &, cfidrErrorT *) {
        return nyxObjRef{nyxDesignConfig::byDesignId(nyxdw::designId(tree)), nyxCodeDesignConfig, 0};
    });
}

NYX_API cfiOID nyxdwOccGetOwner(cfiOID occ, cfidrErrorT *err) {
    return occToOcc(occ, kAnyKind, err, nyxdw::owner);
}

NYX_API cfiOID nyxdwViewOccGetView(cfiOID occ, cfidrErrorT *err) {
    return occToObj(occ, kViewKinds, err, [](nyxOccTree *tree, const nyxOccRef &o, cfidrErrorT *e) {
        return nyxObjRef{nyxdw::viewOf(tree, o, e), nyxCodeNetlistView, 0};
    });
}

NYX_API nyxdwHierarchyLevelT nyxdwViewOccGetHierarchyLevel(cfiOID occ, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxdwHierarchyLevelT{nyxdwErrorLevel}, [&](cfidrErrorT *e) {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(occ, kViewKinds, &o, e);
        return tree == nullptr ? nyxdwHierarchyLevelT{nyxdwErrorLevel} : nyxdw::level(tree, o, e);
    });
}

NYX_API cfiOID nyxdwInstOccGetInst(cfiOID occ, cfidrErrorT *err) {
    return occToObj(occ, 1u << nyxOccInst, err, [](nyxOccTree *tree, const nyxOccRef &o, cfidrErrorT *e) {
        return nyxObjRef{nyxdw::instOf(tree, o, e), nyxCodeInst, 0};
    });
}

NYX_API cfiOID nyxdwNetOccGetNet(cfiOID occ, cfidrErrorT *err) {
    return occToObj(occ, 1u << nyxOccNet, err, nyxdw::netOf);
}

NYX_API cfiOID nyxdwPortOccGetPort(cfiOID occ, cfidrErrorT *err) {
    return occToObj(occ, kPortKind, err, nyxdw::portOf);
}

NYX_API cfiOID nyxdwPortOccGetPortInst(cfiOID occ, cfidrErrorT *err) {
    return occToObj(occ, kPortKind, err, nyxdw::portInstOf);
}

NYX_API cfiOID nyxdwPortOccGetInstOcc(cfiOID occ, cfidrErrorT *err) {
    return occToOcc(occ, kPortKind, err, nyxdw::instOccOf);
}

NYX_API cfiOID nyxdwPortOccGetInsideNetOcc(cfiOID occ, cfidrErrorT *err) {
    return occToOcc(occ, kPortKind, err, nyxdw::insideNet);
}

NYX_API cfiOID nyxdwPortOccGetOutsideNetOcc(cfiOID occ, cfidrErrorT *err) {
    return occToOcc(occ, kPortKind, err, nyxdw::outsideNet);
}

// --- Paths ---------------------------------------------------------------------------------------

NYX_API cfiOID nyxdwTopOccFindViewOccByPath(cfiOID top, const char *const *path, cfidrErrorT *err) {
    return occToOcc(top, kTopKind, err, [&](nyxOccTree *tree, const nyxOccRef &, cfidrErrorT *e) {
        return nyxdw::findView(tree, path, e);
    });
}

NYX_API cfiOID nyxdwTopOccFindNetOccByPath(cfiOID top, const char *const *path, cfidrErrorT *err) {
    return occToOcc(top, kTopKind, err, [&](nyxOccTree *tree, const nyxOccRef &, cfidrErrorT *e) {
        return nyxdw::findNet(tree, path, e);
    });
}

NYX_API cfiOID nyxdwTopOccFindPortOccByPath(cfiOID top, const char *const *path,
                                            const char *const *memberPath, cfidrErrorT *err) {
    return occToOcc(top, kTopKind, err, [&](nyxOccTree *tree, const nyxOccRef &, cfidrErrorT *e) {
        return nyxdw::findPort(tree, path, memberPath, e);
    });
}

NYX_API const char *const *nyxdwOccGetPath(cfiOID occ, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kEmptyPath, [&](cfidrErrorT *e) -> const char *const * {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(occ, kAnyKind, &o, e);
        nyxOccNames names;
        if (tree == nullptr || !nyxdw::pathOf(tree, o, &names, e)) return nyxpi::kEmptyPath;
        return nyxpi::returnPath(names.names, e);
    });
}

NYX_API const char *nyxdwOccGetZILPathname(cfiOID occ, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        nyxOccRef o;
        nyxOccTree *tree = resolveOcc(occ, kAnyKind, &o, e);
        if (tree == nullptr) return "";
        const std::string name = nyxdw::pathnameOf(tree, o, e);
        if (*e != 0) return "";
        // A path buffer first: in trusted program mode the string itself is handed out.
        return nyxpi::returnString(nyxDMUtil::getPathBuf(name), e);
    });
}

} // extern "C"
