// Shared by `nyx dump` and `nyx stats`: opening a view named on the command line, and the text
// form of a view and of property lists.
#pragma once

#include <cstdio>

#include "nyxtypes.h"

namespace nyxtool {

// Opens library `lib` read-only and finds the netlist view `view` of cell `cell`; the null
// identifier (with the reason on the standard error stream, naming `tool`) when it cannot.
cfiOID openView(const char *tool, const char *lib, const char *cell, const char *view);

// Writes the text form of a view (see cmd_dump.cpp); 0, or the error code that stopped it.
int dumpView(FILE *out, cfiOID view);

// Writes the properties of `owner`, and the properties on them, one a line at `depth`.
void dumpProps(FILE *out, cfiOID owner, int depth);

// The word for a property value type (nyxdrValueTypeT).
const char *valueTypeName(int32_t type);

} // namespace nyxtool
