// The tool's help texts (help.cpp).
#pragma once

#include <cstdio>

#include "command.h"

namespace nyxtool {

// The list of commands with their usage and summary, and the exit statuses.
void printOverview(FILE *out);

// The help of one command; false when there is no such command.
bool printCommandHelp(FILE *out, const char *name);

} // namespace nyxtool
