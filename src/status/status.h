// Face of the status subsystem for the rest of the library. The status package is
// self-contained: other subsystems (the extension-language engine) record and read statuses
// through the zilerr functions declared in the public header, which this file brings in.
#pragma once

#include "zilerr.h"
