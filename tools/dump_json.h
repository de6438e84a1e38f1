// `nyx dump --json`: a netlist view as one JSON object (dump_json.cpp).
#pragma once

#include <cstdio>

#include "nyxtypes.h"

namespace nyxtool {

// Writes the view; 0, or the error code that stopped it before anything was written.
int dumpViewJson(FILE *out, cfiOID view);

} // namespace nyxtool
