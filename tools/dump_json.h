// `nyx dump --json`: a netlist view as one JSON object (dump_json.cpp).
#pragma once

#include <cstdio>

#include "nyxtypes.h"

namespace nyxtool {

// Writes the view; 0, or the error code that stopped it before anything was written.
int dumpViewJson(FILE *out, cfiOID view);

class Json;
// Writes "props": [PROP] of an object (the shape above), for the other commands' --json.
void jsonProps(Json &j, cfiOID owner);

} // namespace nyxtool
