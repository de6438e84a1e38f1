// The class table.
#include "dm/prop/classes.h"

const nyxClassOps *nyxClasses::table[nyxClasses::kTableSize] = {};

const nyxClassOps *nyxClasses::install(int32_t code, const nyxClassOps *ops) {
    if (code <= 0 || code > nyxCodeDesignConfig) return nullptr;
    const nyxClassOps *previous = table[code];
    table[code] = ops;
    return previous;
}
