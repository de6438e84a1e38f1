// Path names: the location map's conversions between soft and hard path names, for callers.
#include "pi/pi.h"
#include "paths/paths.h"

namespace {

// Runs one conversion and hands its result out as a returned string. A null path reports 14; a
// conversion that fails (its diagnostic is already on the standard error stream) reports 14 for
// an empty path and 27 otherwise.
template <class Convert> const char *convertPath(const char *path, cfidrErrorT *err, Convert convert) {
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (nyxpi::session(e) == nullptr) return "";
        if (path == nullptr) return nyxpi::fail(e, cfidrErrBadName), "";
        char buf[kLocMapPathMax];
        const char *result = convert(path, buf, sizeof buf);
        if (result == nullptr) {
            return nyxpi::fail(e, *path == '\0' ? cfidrErrBadName : cfidrErrNotFound), "";
        }
        return nyxpi::returnString(result, e);
    });
}

}  // namespace

extern "C" {

NYX_API const char *nyxdrPIGetHardPathname(const char *path, cfidrErrorT *err) {
    return convertPath(path, err, nyxLocMapSoftToHard);
}

NYX_API const char *nyxdrPIGetSoftPathname(const char *path, cfidrErrorT *err) {
    return convertPath(path, err, nyxLocMapHardToSoft);
}

}  // extern "C"
