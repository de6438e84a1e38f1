// Face of the status subsystem for the rest of the library. The status package is
// self-contained: other subsystems (the extension-language engine) record and read statuses
// through the zilerr functions declared in the public header, which this file brings in.
#pragma once

#include "zilerr.h"

// Removes `count` statuses from index `first` on (0 is the oldest) together with their texts;
// the newer statuses move down. A null context means the calling thread's. Returns false,
// changing nothing, when the range does not lie inside the context.
bool nyxStatusRemove(zilerrContextT context, int first, int count);
