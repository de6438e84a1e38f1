// Exported functions of compiled objects (the compiled-from text), and the purge with identifier
// withdrawal that the compiler reader runs when a record replaces a view an earlier compilation
// made. The entry is defined here, constant-initialised, so that the frame needs nothing of the
// compiler folder (suites that link the frame without it still link) and the reader reaches the
// withdrawal without including the frame's headers.
#include "compiler/netreader.h"
#include "config/config.h"
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

namespace {

void purgeWithdrawing(nyxDMObj *obj, int32_t code, cfidrErrorT *err) {
    if (code != nyxCodeNetlistView) return (void)(*err = cfidrErrInternal);
    nyxpi::Withdrawal withdrawal;
    if (!withdrawal.collect(obj, code, 0, err)) return;
    nyxNetlistView::purge(static_cast<nyxNetlistView *>(obj), err);
    if (*err == 0) withdrawal.commit();
}

// The text of an object of class `code`, or null for a class without one.
const char *compiledFrom(void *obj, int32_t code) {
    switch (code) {
    case nyxCodeNetlistView: return static_cast<nyxNetlistView *>(obj)->d_compiledFrom.getString();
    case nyxCodeDesignConfig: return static_cast<nyxDesignConfig *>(obj)->d_compiledFrom.getString();
    case nyxCodeOccPropSet: return static_cast<nyxOccPropSet *>(obj)->d_compiledFrom.getString();
    default: return nullptr;
    }
}

} // namespace

void (*nyxCompilerPurgeHook)(nyxDMObj *obj, int32_t code, cfidrErrorT *err) = purgeWithdrawing;

extern "C" {

NYX_API const char *nyxprivObjectGetCompiledFrom(cfiOID obj, cfidrErrorT *err) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (!nyxpi::checkArg(obj, nyxCodeAnyObject, e)) return "";
        const char *text = compiledFrom(nyxpi::object<void>(obj), nyxpi::classCode(obj.tag));
        if (text == nullptr) return nyxpi::fail(e, cfidrErrWrongType), "";
        return nyxpi::returnString(text, e);
    });
}

} // extern "C"
