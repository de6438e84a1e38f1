// The library session of `nyx import` (see cmd_import.cpp): the compile through the library's
// open, the counts, the optional save, and the report.
#pragma once

#include <string>
#include <vector>

#include "import_source.h"

namespace nyxtool {

struct ImportRequest {
    std::string lib, top, view, cells, config;
    bool save = false;
    bool flat = false;  // build the occurrence tree and the flat nets after the import
    std::vector<std::string> modules;  // the top and every module below it, from the scan
    std::string copy;                  // the library's copy of the sources
    std::vector<SourcePart> parts;     // where its lines came from
};

// Runs the session with ZIL_NYX_COMPILER_RULES already set; the exit status (0, or 1 after a
// message on the standard error stream).
int importSession(const ImportRequest &r);

} // namespace nyxtool
