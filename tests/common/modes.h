// Test helpers that change the session's trusted modes and the access mode of open objects
// through the interface, so that no test writes the library's internal fields.
#pragma once

#include "cfidr.h"
#include "nyxdr.h"

#include <string>

namespace nyxtest {

// Sets both trusted modes (a session must exist; the modes outlive it, so a test that raises one
// clears both before it quits).
inline void setTrustedModes(bool program, bool data) {
    cfidrErrorT err = 0;
    nyxdrPISetTrustedProgramMode(program ? 1 : 0, &err);
    nyxdrPISetTrustedDataMode(data ? 1 : 0, &err);
}
inline void clearTrustedModes() { setTrustedModes(false, false); }

// Reopens an open library in read (1) or update (2) mode by its name: the library takes the new
// mode (the open reports 22, a library that was already open).
inline void setLibMode(cfiOID lib, cfidrAccessModeT mode) {
    cfidrErrorT err = 0;
    const char *name = cfidrNamedObjectGetName(lib, &err);
    cfidrPIOpenLib(name, mode, &err);
}

// Reopens an open view in read (1) or update (2) mode by its library, cell and view names: the
// view takes the new mode, its library keeps its own.
inline void setViewMode(cfiOID view, cfidrAccessModeT mode) {
    cfidrErrorT err = 0;
    cfiOID cell = cfidrViewGetOwner(view, &err);
    cfiOID lib = cfidrCellGetOwner(cell, &err);
    // Names come from the returned-string ring: copy them before the next call hands out more.
    std::string libName = cfidrNamedObjectGetName(lib, &err);
    std::string cellName = cfidrNamedObjectGetName(cell, &err);
    std::string viewName = cfidrNamedObjectGetName(view, &err);
    cfidrPIOpenView(libName.c_str(), cellName.c_str(), viewName.c_str(), mode, &err);
}

} // namespace nyxtest
