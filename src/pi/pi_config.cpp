// Exported functions of design configurations.
//
// The configuration operations are reached through the `own` slot of the class row of design
// configurations (config/config.h), so that the frame does not link src/config: without the row
// every function here answers 15.
#include "config/config.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;

namespace {

nyxDesignConfig *configOf(cfiOID id) { return nyxpi::object<nyxDesignConfig>(id); }

// The configuration operations; null after storing 15 when the class is not linked.
const nyxDesignConfigClassOps *configOps(cfidrErrorT *e) {
    const nyxClassOps *ops = nyxpi::classOps(nyxCodeDesignConfig);
    const auto *own = ops != nullptr ? static_cast<const nyxDesignConfigClassOps *>(ops->own) : nullptr;
    if (own == nullptr) fail(e, cfidrErrWrongType);
    return own;
}

// The operations after the configuration argument's checks; null after the error.
const nyxDesignConfigClassOps *checkConfig(cfiOID config, cfidrErrorT *e) {
    if (!checkArg(config, nyxCodeDesignConfig, e)) return nullptr;
    return configOps(e);
}

} // namespace

extern "C" {

NYX_API cfiOID nyxdrCellCreateDesignConfig(cfiOID cell, const char *name, cfiOID rootView,
                                           nyxdrSelectionModeT mode, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return kNullOID;
        if (!checkArg(rootView, nyxCodeNetlistView, e, nyxdrErrRootViewUnusable,
                      nyxdrErrRootViewNotNetlistView)) {
            return kNullOID;
        }
        const nyxDesignConfigClassOps *ops = configOps(e);
        if (ops == nullptr) return kNullOID;
        nyxDesignConfig *config = ops->create(nyxpi::object<nyxCell>(cell), name,
                                              nyxpi::object<nyxDMObj>(rootView), mode, e);
        return nyxpi::handOut(config, nyxCodeDesignConfig, e);
    });
}

NYX_API cfiOID nyxdrPIOpenDesignConfig(const char *lib, const char *cell, const char *name,
                                       cfidrAccessModeT mode, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = nullptr;
        if (nyxpi::session(e) == nullptr || !nyxpi::checkAccessMode(mode, e)) return kNullOID;
        if ((ops = configOps(e)) == nullptr) return kNullOID;
        nyxDesignConfig *config = ops->open(lib, cell, name, mode, e);
        // 30009 comes with the configuration.
        const cfidrErrorT reported = *e;
        if (config == nullptr) return kNullOID;
        *e = 0;
        cfiOID id = nyxpi::handOut(config, nyxCodeDesignConfig, e);
        if (*e == 0) *e = reported;
        return id;
    });
}

NYX_API cfiOID nyxdrCellFindDesignConfigByName(cfiOID cell, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = nullptr;
        if (!checkArg(cell, nyxCodeCell, e) || (ops = configOps(e)) == nullptr) return kNullOID;
        nyxDesignConfig *config = ops->findByName(nyxpi::object<nyxCell>(cell), name, e);
        return nyxpi::handOut(config, nyxCodeDesignConfig, e);
    });
}

NYX_API cfidrIterT nyxdrCellGetDesignConfigs(cfiOID cell, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return nyxpi::nullIter();
        const nyxClassOps *ops = nyxpi::classOps(nyxCodeCell);
        nyxGetterFn getter = ops != nullptr ? ops->getters[nyxIterDesignConfig] : nullptr;
        if (getter == nullptr) return fail(e, cfidrErrWrongType), nyxpi::nullIter();
        return nyxpi::handOutIter(getter(nyxpi::object<nyxCell>(cell), 0, e), nyxIterDesignConfig, e);
    });
}

NYX_API cfiOID nyxdrDesignConfigGetOwner(cfiOID config, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (checkConfig(config, e) == nullptr) return kNullOID;
        return nyxpi::handOut(nyxDesignConfig::getOwner(configOf(config)), nyxCodeCell, e);
    });
}

NYX_API cfiOID nyxdrDesignConfigGetRootView(cfiOID config, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return kNullOID;
        nyxDMObj *view = ops->getRootView(configOf(config), e);
        if (*e != 0) return kNullOID;
        return nyxpi::handOut(view, nyxCodeNetlistView, e);
    });
}

NYX_API nyxdrSelectionModeT nyxdrDesignConfigGetSelectionMode(cfiOID config, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxdrSelectionModeT{0}, [&](cfidrErrorT *e) -> nyxdrSelectionModeT {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return 0;
        return ops->getSelectionMode(configOf(config), e);
    });
}

NYX_API cfidrIterT nyxdrDesignConfigGetOccPropSets(cfiOID config, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return nyxpi::nullIter();
        return nyxpi::handOutIter(ops->getOccPropSets(configOf(config), e), nyxIterOccPropSet, e);
    });
}

NYX_API cfiOID nyxdrDesignConfigFindOccPropSetByName(cfiOID config, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return kNullOID;
        nyxDMObj *set = ops->findOccPropSetByName(configOf(config), name, e);
        return nyxpi::handOut(set, nyxCodeOccPropSet, e);
    });
}

NYX_API void nyxdrDesignConfigInsertOccPropSet(cfiOID config, cfiOID set, int32_t position,
                                               cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return;
        if (!checkArg(set, nyxCodeOccPropSet, e, nyxdrErrOccPropSetUnusable, nyxdrErrNotOccPropSet)) return;
        ops->insertOccPropSet(configOf(config), nyxpi::object<nyxDMObj>(set), position, e);
    });
}

NYX_API void nyxdrDesignConfigRemoveOccPropSet(cfiOID config, int32_t position, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return;
        ops->removeOccPropSet(configOf(config), position, e);
    });
}

NYX_API void nyxdrDesignConfigSave(cfiOID config, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return;
        ops->save(configOf(config), e);
    });
}

NYX_API void nyxdrDesignConfigPurge(cfiOID config, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxDesignConfigClassOps *ops = checkConfig(config, e);
        if (ops == nullptr) return;
        // The configuration and its properties go: their identifiers with them.
        nyxpi::Withdrawal withdrawal;
        if (!withdrawal.collect(configOf(config), nyxCodeDesignConfig, 0, e)) return;
        ops->purge(configOf(config), e);
        if (*e == 0) withdrawal.commit();
    });
}

} // extern "C"
