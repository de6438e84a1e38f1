/*
 * nyxtypes.h - types and conventions shared by every public header of libnyx.
 *
 * libnyx stores the electrical connectivity of hierarchical circuit designs (libraries, cells,
 * netlist views with their ports, nets, instances and properties) and serves it to design tools
 * in their own process through a flat C interface. This header holds what all the interface
 * families share; cfidr.h, nyxdr.h, nyxdw.h, nyxpriv.h, svc.h and zilerr.h include it.
 *
 * Conventions of the whole interface
 * ----------------------------------
 * 1. Names. Every function is named family + object + verb: cfidrLibCreateCell,
 *    nyxdrNetGetPosition, nyxdwTopOccGetFlatNets. Families: cfidr (the published design
 *    representation interface), nyxdr (its extensions), nyxdw (the occurrence walk), nyxpriv
 *    (expert mode and tuning), svc_ (the schematic compiler session), zilerr (status contexts).
 * 2. Objects. Every object crosses the interface as a cfiOID passed and returned by value. The
 *    null identifier is {0, 0}; cfidrObjectIsNull tests only the object word. An identifier stays
 *    usable from the moment the interface hands it out until its object is destroyed or purged,
 *    or until cfidrPIQuit.
 *    Identifiers are addresses, by design: the object word is where the object lives (for a
 *    property, where its owner's property list lives, with the index in the tag), not a serial
 *    number. Storage freed by a destruction or purge is reused, and an object made there later
 *    gets the same identifier as the one that went. Destroying or purging an object therefore
 *    withdraws its identifier and those of everything it held (members, port instances,
 *    aliases, properties, properties on properties), in every mode, so that a checked call given
 *    one reports 16 instead of acting on another object; but once the interface hands out the
 *    identifier of a new object at that place, the old copy names the new object. Drop the
 *    identifiers of what you destroy or purge. In trusted program mode nothing is checked: an
 *    identifier of a destroyed object must never be passed.
 * 3. Errors. The error out-parameter is the LAST parameter of every function that has one, of
 *    type cfidrErrorT *. The function stores 0 in it first and at most one error code later.
 *    No exception and no signal leaves the library: every failure is a code.
 * 4. Results on failure. A function that returns an object returns the null identifier; one that
 *    returns an iterator returns a null iterator (usable with the IterNext, IterReset and IterQuit
 *    functions); one that returns a string returns ""; a number or boolean returns 0. A function
 *    that returns nothing returns void.
 * 5. Strings in are NUL-terminated `const char *`, never kept by the library after the call.
 *    Strings out are `const char *` owned by the library; each stays valid until ten further
 *    strings have been returned or until cfidrPIQuit, whichever comes first (copy it to keep it).
 *    In trusted program mode the library returns its own copy, valid until the object changes.
 * 6. Paths (arrays of names) are NULL-terminated `const char *const *` arrays going in and
 *    library-owned NULL-terminated arrays coming out.
 * 7. Integers. Every enumeration, count and position is 32-bit (int32_t); the numeric values are
 *    part of the interface and never change.
 * 8. Iterators. Getters return a cfidrIterT; step it with the IterNext function of its kind,
 *    rewind it with cfidrIterReset, free it with cfidrIterQuit.
 * 9. Threads. The library keeps process-wide state without locks: call it from one thread at a
 *    time. Status contexts (zilerr.h) are per thread.
 *
 * Example:  cfiOID cfidrLibCreateCell(cfiOID lib, const char *name, cfidrErrorT *err);
 */
#ifndef NYXTYPES_H
#define NYXTYPES_H

#include <stdint.h>
#include <stdio.h>

#if defined(NYX_BUILDING_LIBRARY)
#define NYX_API __attribute__((visibility("default")))
#else
#define NYX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Object identifier: the object word (0 for null) and the tag word (class code times two, plus
 * a property's index in its owner's list shifted left by 8; odd for occurrence identifiers). */
typedef struct cfiOID {
    uint32_t object; /* where the object lives; 0 for the null identifier */
    uint32_t tag;    /* class code times two, plus a property index shifted left by 8 */
} cfiOID;

/* Opaque iterator handle. A null iterator (returned when a getter fails) is an odd value. */
typedef struct cfidrIter_ *cfidrIterT;

typedef int32_t cfidrErrorT;        /* 0 no error; 1-53; 30001-30012; 31001-31014 */
typedef int32_t cfiBooleanEnum;     /* 0 false, 1 true */
typedef int32_t cfidrObjectTypeT;   /* class values below */
typedef int32_t cfidrAccessModeT;   /* 1 read, 2 update */
typedef int32_t cfidrIterModeT;     /* 1-4 */
typedef int32_t cfidrAttachModeT;   /* 1-2 */
typedef int32_t cfidrPortDirectionT;/* 0-3 */
typedef int32_t cfidrValueTypeT;    /* 0 none, 1 boolean, 2 integer, 3 float, 5 string */
typedef int32_t nyxdrValueTypeT;    /* 0-5, 7 triplet, 8 case triplet, 9 expression */
typedef int32_t nyxdrSelectionModeT;/* 0-2 */

enum {
    cfiFalse = 0,
    cfiTrue = 1
};

enum {
    cfidrReadMode = 1,
    cfidrUpdateMode = 2
};

/* Object types reported by cfidrObjectGetObjectType. */
enum {
    cfidrLibType = 1,
    cfidrCellType = 2,
    cfidrPortBundleType = 3,
    cfidrPortBusType = 4,
    cfidrPortScalarType = 5,
    cfidrInstType = 6,
    cfidrPortInstBundleType = 7,
    cfidrPortInstBusType = 8,
    cfidrPortInstScalarType = 9,
    cfidrNetBundleType = 10,
    cfidrNetBusType = 11,
    cfidrNetScalarType = 12,
    cfidrPropType = 13,
    cfidrNetlistViewType = 14,
    cfidrEncapsulatedViewType = 15,
    cfidrSelectorSetType = 16,
    cfidrLibrarySelectorType = 17,
    cfidrViewNameSelectorType = 18,
    cfidrViewTypeSelectorType = 19,
    nyxdrNetAliasType = 20001,
    nyxdrDesignConfigType = 20002,
    nyxdrOccPropSetType = 20003,
    nyxdrViewOccPropType = 20005,
    nyxdrNetOccPropType = 20006,
    nyxdrPortOccPropType = 20007
};

#ifdef __cplusplus
}
#endif

#endif /* NYXTYPES_H */
