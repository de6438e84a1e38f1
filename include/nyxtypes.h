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
 *    type cfidrErrorT *. The function stores 0 (cfidrErrNone) in it first and at most one error
 *    code later. No exception and no signal leaves the library: every failure is a code. The
 *    codes are named below (cfidrErr..., nyxdrErr..., nyxdwErr...) with their numbers, which the
 *    function paragraphs of each header cite; cfidrPIGetErrorText and nyxdwPIGetErrorText give
 *    their texts.
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
 *    part of the interface and never change. The values are named by the constants below (plain
 *    int enumerators, so that they serve in switch labels and constant expressions of C and C++
 *    alike and add no macro names); the typedefs stay int32_t.
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

typedef int32_t cfidrErrorT;        /* 0 no error; 1-53; 30001-30012; 31001-31014 (below) */
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

/* Access modes of libraries and views (cfidrAccessModeT). */
enum {
    cfidrReadMode = 1,
    cfidrUpdateMode = 2
};

/* Iteration modes of the port, net and port instance getters (cfidrIterModeT). Groups are buses
 * and bundles; the walks below a group are depth first, each group before its members. */
enum {
    cfidrScalarIterMode = 1,   /* scalars at every depth */
    cfidrBundleIterMode = 2,   /* buses and bundles at every depth */
    cfidrTopLevelIterMode = 3, /* the direct ones: a view's top level, a group's own members */
    cfidrAllIterMode = 4       /* scalars, buses and bundles at every depth */
};

/* Attachment modes of cfidrNetAttachPort and cfidrNetAttachPortInst (cfidrAttachModeT). */
enum {
    cfidrPositionAttachMode = 1, /* members of a bus or bundle paired by position */
    cfidrNameAttachMode = 2      /* members paired by exact name */
};

/* Directions of port scalars (cfidrPortDirectionT). */
enum {
    cfidrUndefinedDirection = 0,
    cfidrInputDirection = 1,
    cfidrOutputDirection = 2,
    cfidrInOutDirection = 3
};

/* Value types of properties: cfidrValueTypeT reports the first five (every string-like type as
 * 5); nyxdrValueTypeT, the stored type, adds the others. 6 is not used. */
enum {
    cfidrNoValueType = 0,        /* created, no value set yet */
    cfidrBooleanValueType = 1,
    cfidrInt32ValueType = 2,
    cfidrFloat32ValueType = 3,
    nyxdrDeletedValueType = 4,   /* an occurrence property set's mark of a removed property */
    cfidrStringValueType = 5,
    nyxdrTripletValueType = 7,
    nyxdrCaseTripletValueType = 8,
    nyxdrExpressionValueType = 9 /* a text of the expression language, evaluated when read */
};

/* Error codes (cfidrErrorT). cfidrPIGetErrorText gives the text of 0-53, nyxdwPIGetErrorText of
 * every code; the comment gives the gist of each text. */
enum {
    cfidrErrNone = 0,                    /* no error */
    cfidrErrDescriberPortNotFound = 1,   /* the describer has no port matching the port instance */
    cfidrErrRecursiveDescriber = 2,      /* the describer would instantiate the view in itself */
    cfidrErrDescriberNotFound = 3,       /* the instance's describer view cannot be found */
    cfidrErrInternal = 4,                /* internal failure: out of memory, a file not read or
                                            written, a damaged stored form */
    cfidrErrBadAttachMode = 5,           /* attachment mode out of range */
    cfidrErrDescriberUnusable = 6,       /* the describer identifier is not usable */
    cfidrErrDescriberNotView = 7,        /* the describer identifier is not a view */
    cfidrErrBadDirection = 8,            /* not a port direction */
    cfidrErrBadErrorCode = 9,            /* an error code without a text */
    cfidrErrBadValue = 10,               /* a value out of range */
    cfidrErrBadIterator = 11,            /* not a live iterator */
    cfidrErrIterWrongType = 12,          /* an iterator over another kind of object */
    cfidrErrBadMemberNames = 13,         /* not a valid array of member names */
    cfidrErrBadName = 14,                /* a name null, empty or with illegal characters */
    cfidrErrWrongType = 15,              /* an object of a class the function cannot handle */
    cfidrErrObjectUnusable = 16,         /* the identifier does not name a usable object */
    cfidrErrPortUnusable = 17,           /* the port identifier is not usable */
    cfidrErrNotPort = 18,                /* the port identifier is not a port */
    cfidrErrPortInstUnusable = 19,       /* the port instance identifier is not usable */
    cfidrErrNotPortInst = 20,            /* the port instance identifier is not a port instance */
    cfidrErrBadViewType = 21,            /* a view type not legal, or the netlist view's own */
    cfidrErrLibAlreadyOpen = 22,         /* the library is already open */
    cfidrErrPortInstMissing = 23,        /* a port of the describer has no port instance */
    cfidrErrNoNameMatch = 24,            /* attaching by name paired no scalars */
    cfidrErrNameTaken = 25,              /* an object of another kind has the name */
    cfidrErrAlreadyExists = 26,          /* the object to be created exists already */
    cfidrErrNotFound = 27,               /* the object could not be found (or read) */
    cfidrErrPortInstAttached = 28,       /* the port instance is attached already */
    cfidrErrPortInstNotAttached = 29,    /* the port instance is not attached */
    cfidrErrPortAttached = 30,           /* the port is attached already */
    cfidrErrMembersDiffer = 31,          /* a describer port's members differ from its port
                                            instance's */
    cfidrErrPortNotAttached = 32,        /* the port is not attached */
    cfidrErrViewAlreadyOpen = 33,        /* the view is already open */
    cfidrErrUpdateOpenFailed = 34,       /* opening in update mode failed */
    cfidrErrBadIterMode = 35,            /* iteration mode out of range */
    cfidrErrIllegalOperation = 36,       /* the operation is not allowed on this object */
    cfidrErrNotSameView = 37,            /* the objects are in different views */
    cfidrErrBundleToScalar = 38,         /* a bus or bundle paired with a scalar */
    cfidrErrLibOpenFailed = 39,          /* the library could not be opened */
    cfidrErrViewOpenFailed = 40,         /* the view could not be opened */
    cfidrErrBadAccessMode = 41,          /* access mode out of range */
    cfidrErrNotOpenForUpdate = 42,       /* the containing library or view is read-only */
    cfidrErrBadKey = 43,                 /* a key null or with illegal characters */
    cfidrErrNotNet = 44,                 /* the net identifier is not a net */
    cfidrErrNotPortBundle = 45,          /* the port bundle identifier is not a port bundle */
    cfidrErrBadPosition = 46,            /* a position outside 0 to size - 1 */
    cfidrErrRecursiveBundle = 47,        /* a group would hold itself, or nesting too deep */
    cfidrErrAmbiguousView = 48,          /* several views of the same name or type */
    cfidrErrNoViewSelected = 49,         /* the selector set selects no view */
    cfidrErrNetUnusable = 50,            /* the net identifier is not usable */
    cfidrErrPortBundleUnusable = 51,     /* the port bundle identifier is not usable */
    cfidrErrCellUnusable = 52,           /* the cell identifier is not usable */
    cfidrErrSameCellInst = 53,           /* an instance of a view of the same cell */

    /* Design configurations and occurrence property sets (nyxdr). */
    nyxdrErrBadPath = 30001,             /* a path empty or with invalid names */
    nyxdrErrDesignConfigUnusable = 30002,
    nyxdrErrNotDesignConfig = 30003,
    nyxdrErrOccPropSetUnusable = 30004,
    nyxdrErrNotOccPropSet = 30005,
    nyxdrErrDesignConfigOpenFailed = 30006,
    nyxdrErrOccPropSetOpenFailed = 30007,
    nyxdrErrOccPropSetAlreadyOpen = 30008,
    nyxdrErrDesignConfigAlreadyOpen = 30009,
    nyxdrErrBadSelectionMode = 30010,    /* selection mode out of range */
    nyxdrErrRootViewUnusable = 30011,
    nyxdrErrRootViewNotNetlistView = 30012,

    /* The occurrence walk and the expression language (nyxdw). */
    nyxdwErrOccUnusable = 31001,         /* the identifier does not name a usable occurrence */
    nyxdwErrOccTreeFailed = 31002,       /* the occurrence tree cannot be computed */
    nyxdwErrBadMergeMode = 31003,        /* property merge mode out of range */
    nyxdwErrBadPortScanMode = 31004,     /* port scan mode out of range */
    nyxdwErrBadGlobalMode = 31005,       /* global mode out of range */
    nyxdwErrMissingArgs = 31006,         /* an expression function lacks arguments */
    nyxdwErrArgWrongType = 31007,        /* an expression function argument of the wrong type */
    nyxdwErrStringNotFound = 31008,      /* string not found */
    nyxdwErrSyntax = 31009,              /* expression syntax error */
    nyxdwErrUnterminated = 31010,        /* expression string not terminated */
    nyxdwErrDivideByZero = 31011,        /* division by zero */
    nyxdwErrEvaluation = 31012,          /* error during evaluation */
    nyxdwErrRecursive = 31013,           /* recursive expressions */
    nyxdwErrParamNotFound = 31014        /* parameter value not found */
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
