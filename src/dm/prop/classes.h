// classes.h - the classes of the design data as the interface dispatches to them: class codes,
// iterator kinds, the operations of a class and the class table. Part of the face of the property
// room (prop.h includes it): every class carries properties, so the table sits in the lowest room
// of the data model, where every room and every later subsystem can fill its rows.
//
// How a class takes part: its subsystem defines one constant nyxClassOps row and installs it from
// its start call, which the session code (src/pi/start.cpp) makes in its fixed order:
//
//     constexpr nyxClassOps kSetOps = [] { nyxClassOps ops{}; ops.destroy = ...; return ops; }();
//     void nyxConfigStart() { nyxClasses::install(nyxCodeSelectorSet, &kSetOps); ... }
//
// A class whose row is not installed has none: the interface answers 15 for it. Rows survive the
// release of the library (they hold only function addresses), so installing again is harmless.
#pragma once

#include <cstdint>

#include "nyxtypes.h"
#include "utils/iter.h"

// Class codes (tag word bits 1-7). Codes 1-19 equal their cfidrObjectTypeT values.
enum nyxClassCode : int32_t {
    nyxCodeLib = 1,
    nyxCodeCell = 2,
    nyxCodePortBundle = 3,
    nyxCodePortBus = 4,
    nyxCodePortScalar = 5,
    nyxCodeInst = 6,
    nyxCodePortInstBundle = 7,
    nyxCodePortInstBus = 8,
    nyxCodePortInstScalar = 9,
    nyxCodeNetBundle = 10,
    nyxCodeNetBus = 11,
    nyxCodeNetScalar = 12,
    nyxCodeProp = 13,
    nyxCodeNetlistView = 14,
    nyxCodeEncapsulatedView = 15,
    nyxCodeSelectorSet = 16,
    nyxCodeLibrarySelector = 17,
    nyxCodeViewNameSelector = 18,
    nyxCodeViewTypeSelector = 19,
    nyxCodeNetAlias = 20,
    nyxCodeOccPropSet = 21,
    nyxCodeViewOccProp = 22,
    nyxCodeNetOccProp = 23,
    nyxCodePortOccProp = 24,
    nyxCodeDesignConfig = 25,
    nyxCodeSession = 26,  // the global state
    // Abstract codes: families that one check accepts.
    nyxCodeAnyObject = -1,
    nyxCodeNamedObject = -2,
    nyxCodeNet = -3,
    nyxCodePort = -4,
    nyxCodePortInst = -5,
    nyxCodeView = -6,
    nyxCodeViewSelector = -7,
    nyxCodeOccProp = -8,
};

// Iterator kinds: the IterNext function that may step an iterator (nyxIter::iterFunc).
enum nyxIterKind : int16_t {
    nyxIterCell = 2,
    nyxIterInst = 3,
    nyxIterLib = 4,
    nyxIterNet = 5,
    nyxIterNetAlias = 6,
    nyxIterNetBundle = 7,
    nyxIterPort = 8,
    nyxIterPortInst = 9,
    nyxIterProp = 10,
    nyxIterView = 11,
    nyxIterLibrarySelector = 12,
    nyxIterViewSelector = 13,
    nyxIterOccPropSet = 14,
    nyxIterOccProp = 15,
    nyxIterDesignConfig = 16,
    nyxIterSelectorSet = 17,
    // Walks over occurrences (pi_walkiter.cpp): stepped by the nyxdwIterNext functions only.
    nyxIterInstOcc = 18,
    nyxIterNetOcc = 19,
    nyxIterPortOcc = 20,
    // Flat nets and derived properties (pi_flat.cpp, pi_derived.cpp).
    nyxIterFlatNet = 21,
    nyxIterDerivedProp = 22,
};
constexpr int nyxIterKindCount = 23;  // Kinds 0 and 1 are unused.

// A class getter: makes an iterator over some contents of an object (null when it cannot).
using nyxGetterFn = nyxIter *(*)(void *obj, uint32_t member, cfidrErrorT *err);

// Operations of one class. Every operation takes the object's address, its member index
// (properties; 0 otherwise), its own arguments and the error out-parameter. A null slot means the
// class has no such operation.
struct nyxClassOps {
    // Every class.
    nyxObjRef (*createProp)(void *obj, uint32_t member, const char *name, cfidrErrorT *err);
    void (*destroy)(void *obj, uint32_t member, cfidrErrorT *err);
    nyxObjRef (*findPropByName)(void *obj, uint32_t member, const char *name, cfidrErrorT *err);
    // Named objects. getName returns the object's own string (the frame copies it).
    const char *(*getName)(void *obj, uint32_t member, cfidrErrorT *err);
    void (*setName)(void *obj, uint32_t member, const char *name, cfidrErrorT *err);
    // Getters by the kind of iterator they make: getters[nyxIterProp] lists the properties,
    // getters[nyxIterCell] a library's cells, and so on. The interface's getters and the
    // withdrawal of identifiers on destruction both walk contents through these.
    nyxGetterFn getters[nyxIterKindCount];
    // The class's own operations, in a table whose type its subsystem defines.
    const void *own;
};

namespace nyxClasses {

// Rows by class code 0-27; codes 0, 26 and 27 never have one.
constexpr int kTableSize = 28;
extern const nyxClassOps *table[kTableSize];

// The row of class `code`; null when the class has none.
inline const nyxClassOps *row(int32_t code) {
    return code > 0 && code < kTableSize ? table[code] : nullptr;
}

// Installs the row of class `code` (1-25; other codes are ignored) and returns the row it
// replaces, so that a test can put it back.
const nyxClassOps *install(int32_t code, const nyxClassOps *ops);

} // namespace nyxClasses
