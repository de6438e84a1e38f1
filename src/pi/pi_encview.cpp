// Exported functions of encapsulated views: creation in a cell and the key. Type, owner, save,
// purge, destroy, names and properties go through the functions of views and of any object.
#include "dm/store/store.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::kNullOID;

extern "C" {

NYX_API cfiOID cfidrCellCreateEncapsulatedView(cfiOID cell, const char *name, const char *viewType,
                                               const char *key, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(cell, nyxCodeCell, e)) return kNullOID;
        nyxEncapsulatedView *view =
            nyxEncapsulatedView::create(nyxpi::object<nyxCell>(cell), name, viewType, key, e);
        return nyxpi::handOut(view, nyxCodeEncapsulatedView, e);
    });
}

NYX_API const char *cfidrEncapsulatedViewGetKey(cfiOID view, cfidrErrorT *err) {
    constexpr const char *kUndefined = nyxEncapsulatedView::kUndefinedKey;
    return nyxpi::guard(err, kUndefined, [&](cfidrErrorT *e) -> const char * {
        if (!checkArg(view, nyxCodeEncapsulatedView, e)) return kUndefined;
        // The tag is read even in trusted program mode: no other class is ever taken for one.
        if (nyxpi::classCode(view.tag) != nyxCodeEncapsulatedView) {
            return nyxpi::fail(e, cfidrErrWrongType), kUndefined;
        }
        nyxEncapsulatedView *v = nyxpi::object<nyxEncapsulatedView>(view);
        if (!nyxEncapsulatedView::load(v, e)) return kUndefined;
        const char *key = nyxpi::returnString(nyxEncapsulatedView::getKey(v), e);
        return *e != 0 ? kUndefined : key;
    });
}

} // extern "C"
