// Exported functions of compiled objects: the compiled-from text that a compiler gave a netlist
// view, design configuration or occurrence property set.
#include "config/config.h"
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

namespace {

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
