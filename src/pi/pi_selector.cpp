// Exported functions of selector sets and their selectors, and view selection.
//
// The selector-set operations are reached through the `own` slot of the class row of selector
// sets (config/config.h), so that the frame does not link src/config: without the row every
// function here answers 15. Selectors' strings are read from their records directly.
#include "config/config.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;

namespace {

nyxSelectorSet *setOf(cfiOID id) { return nyxpi::object<nyxSelectorSet>(id); }

// The selector-set operations; null after storing 15 when the class is not linked.
const nyxSelectorSetClassOps *setOps(cfidrErrorT *e) {
    const nyxClassOps *ops = nyxpi::classOps(nyxCodeSelectorSet);
    const auto *own = ops != nullptr ? static_cast<const nyxSelectorSetClassOps *>(ops->own) : nullptr;
    if (own == nullptr) fail(e, cfidrErrWrongType);
    return own;
}

cfiOID createViewSelector(cfiOID set, int32_t code, const char *lib, const char *cell,
                          const char *view, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeSelectorSet, e) || (ops = setOps(e)) == nullptr) return kNullOID;
        nyxViewSelector *sel = ops->createViewSelector(setOf(set), code, lib, cell, view, e);
        return nyxpi::handOut(sel, code, e);
    });
}

// A string field of a view selector of class `code`.
template <class Field>
const char *viewSelectorString(cfiOID sel, int32_t code, Field field, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(sel, code, e)) return "";
        return nyxpi::returnString(field(nyxpi::object<nyxViewSelector>(sel)).getString(), e);
    });
}

} // namespace

extern "C" {

NYX_API cfiOID cfidrPICreateSelectorSet(const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (nyxpi::session(e) == nullptr || (ops = setOps(e)) == nullptr) return kNullOID;
        return nyxpi::handOut(ops->create(name, e), nyxCodeSelectorSet, e);
    });
}

NYX_API cfiOID cfidrPIOpenSelectorSet(const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (nyxpi::session(e) == nullptr || (ops = setOps(e)) == nullptr) return kNullOID;
        return nyxpi::handOut(ops->open(name, e), nyxCodeSelectorSet, e);
    });
}

NYX_API cfiOID cfidrSelectorSetCreateLibrarySelector(cfiOID set, const char *lib, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeSelectorSet, e) || (ops = setOps(e)) == nullptr) return kNullOID;
        nyxLibrarySelector *sel = ops->createLibrarySelector(setOf(set), lib, e);
        return nyxpi::handOut(sel, nyxCodeLibrarySelector, e);
    });
}

NYX_API cfiOID cfidrSelectorSetCreateViewNameSelector(cfiOID set, const char *lib, const char *cell,
                                                      const char *view, cfidrErrorT *err) {
    return createViewSelector(set, nyxCodeViewNameSelector, lib, cell, view, err);
}

NYX_API cfiOID cfidrSelectorSetCreateViewTypeSelector(cfiOID set, const char *lib, const char *cell,
                                                      const char *viewType, cfidrErrorT *err) {
    return createViewSelector(set, nyxCodeViewTypeSelector, lib, cell, viewType, err);
}

NYX_API cfidrIterT cfidrSelectorSetGetLibrarySelectors(cfiOID set, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeSelectorSet, e) || (ops = setOps(e)) == nullptr) return nyxpi::nullIter();
        return nyxpi::handOutIter(ops->getLibrarySelectors(setOf(set), e),
                                  nyxIterLibrarySelector, e);
    });
}

NYX_API cfidrIterT cfidrSelectorSetGetViewSelectors(cfiOID set, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeSelectorSet, e) || (ops = setOps(e)) == nullptr) return nyxpi::nullIter();
        return nyxpi::handOutIter(ops->getViewSelectors(setOf(set), e),
                                  nyxIterViewSelector, e);
    });
}

NYX_API const char *cfidrLibrarySelectorGetLibraryName(cfiOID sel, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(sel, nyxCodeLibrarySelector, e)) return "";
        return nyxpi::returnString(nyxpi::object<nyxLibrarySelector>(sel)->d_libName.getString(), e);
    });
}

#define NYX_VIEW_SELECTOR_STRING(fn, code, member)                                                 \
    NYX_API const char *fn(cfiOID sel, cfidrErrorT *err) {                                         \
        return viewSelectorString(                                                                 \
            sel, code, [](nyxViewSelector *v) -> const nyxVarString & { return v->member; }, err); \
    }

NYX_VIEW_SELECTOR_STRING(cfidrViewNameSelectorGetLibName, nyxCodeViewNameSelector, d_libName)
NYX_VIEW_SELECTOR_STRING(cfidrViewNameSelectorGetCellName, nyxCodeViewNameSelector, d_cellName)
NYX_VIEW_SELECTOR_STRING(cfidrViewNameSelectorGetViewName, nyxCodeViewNameSelector, d_viewName)
NYX_VIEW_SELECTOR_STRING(cfidrViewTypeSelectorGetLibName, nyxCodeViewTypeSelector, d_libName)
NYX_VIEW_SELECTOR_STRING(cfidrViewTypeSelectorGetCellName, nyxCodeViewTypeSelector, d_cellName)
NYX_VIEW_SELECTOR_STRING(cfidrViewTypeSelectorGetViewType, nyxCodeViewTypeSelector, d_viewName)

NYX_API cfiOID cfidrSelectorSetSelectView(cfiOID set, cfiOID cell, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(set, nyxCodeSelectorSet, e)) return kNullOID;
        // An unusable cell and a cell identifier of another class report the same code.
        if (!checkArg(cell, nyxCodeCell, e, 52, 52)) return kNullOID;
        const nyxSelectorSetClassOps *ops = setOps(e);
        if (ops == nullptr) return kNullOID;
        nyxObjRef r = ops->selectView(setOf(set), nyxpi::object<nyxCell>(cell), e);
        if (*e != 0) return kNullOID;
        return nyxpi::handOut(r, e);
    });
}

NYX_API void cfidrSelectorSetSave(cfiOID set, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeSelectorSet, e) || (ops = setOps(e)) == nullptr) return;
        ops->save(setOf(set), e);
    });
}

NYX_API void cfidrSelectorSetPurge(cfiOID set, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        const nyxSelectorSetClassOps *ops = nullptr;
        if (!checkArg(set, nyxCodeSelectorSet, e) || (ops = setOps(e)) == nullptr) return;
        nyxSelectorSet *s = setOf(set);
        // The set, its selectors and every property on them go: all their identifiers with them.
        nyxpi::Withdrawal withdrawal;
        if (!withdrawal.collect(s, nyxCodeSelectorSet, 0, e)) return;
        ops->purge(s);
        withdrawal.commit();
    });
}

} // extern "C"
