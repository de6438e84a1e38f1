// Compiler options and parameters through the interface: the option string, the session's
// compiler parameters and the error function of the schematic compiler's messages.
#include "compiler/compiler.h"
#include "pi/pi.h"

extern "C" {

NYX_API void nyxdrPISetCompilerOptions(const char *options, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return;
        nyxCompilerIntf::setCompilerOptions(options, e);
    });
}

NYX_API cfiOID nyxdrPICreateParameter(const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kNullOID, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return nyxpi::kNullOID;
        nyxObjRef r = nyxCompilerIntf::createParameter(name, e);
        if (*e != 0) return nyxpi::kNullOID;
        return nyxpi::handOut(r, e);
    });
}

NYX_API cfidrIterT nyxdrPIGetParameters(cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return nyxpi::nullIter();
        nyxIter *it = nyxCompilerIntf::getParameters(e);
        if (*e != 0) {
            if (it != nullptr) it->ops->quit(it);
            return nyxpi::nullIter();
        }
        return nyxpi::handOutIter(it, nyxIterProp, e);
    });
}

NYX_API svc_error_func nyxdrPISetCompilerErrorFunction(svc_error_func fn, cfidrErrorT *err) {
    return nyxpi::guard(err, fn, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return fn;
        return nyxCompilerIntf::setErrorFunction(fn);
    });
}

} // extern "C"
