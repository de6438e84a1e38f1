// pi.h - the face of src/pi: what every exported function of the interface uses.
//
// Writing an exported function
// ----------------------------
// Every exported function stores 0 in its error out-parameter, runs its body inside the boundary
// guard (any exception becomes error 4 and the function's failure result), checks its arguments
// in the fixed order, calls the class operation and hands the result back as an identifier,
// iterator or ring string. With the helpers below a function reads:
//
//   NYX_API cfiOID cfidrLibCreateCell(cfiOID lib, const char *name, cfidrErrorT *err) {
//       return nyxpi::guard(err, nyxpi::kNullOID, [&](cfidrErrorT *e) {
//           if (!nyxpi::checkArg(lib, nyxCodeLib, e)) return nyxpi::kNullOID;
//           nyxCell *cell = nyxLib::createCell(nyxpi::object<nyxLib>(lib), name, e);
//           return nyxpi::handOut(cell, nyxCodeCell, e);
//       });
//   }
//
//   NYX_API cfidrIterT cfidrLibGetCells(cfiOID lib, cfidrErrorT *err) {
//       return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
//           if (!nyxpi::checkArg(lib, nyxCodeLib, e)) return nyxpi::nullIter();
//           return nyxpi::handOutIter(nyxLib::getCells(nyxpi::object<nyxLib>(lib), e),
//                                     nyxIterCell, e);
//       });
//   }
//
// Order of checks (the first failure stores its code and returns the failure result):
//   1. err = 0 (guard);
//   2-5. checkArg(first object argument, expected class code or abstract family, e): global
//        state present (16), object word non-zero (16, also in trusted program mode), identifier
//        registered (16), class matches by the type walk (15). Trusted program mode skips all
//        but the zero-word test;
//   6. further object arguments: checkArg(id, code, e, unusableCode, wrongClassCode) with their
//      pairs: port 17/18, port instance 19/20, net 50/44, port bundle 51/45, cell 52/15,
//      describer view 6/7 (constants kPortCodes, ... below);
//   7. enumerations: checkAccessMode (41), checkIterMode (35), checkAttachMode (5);
//   8. a read-only container (42) where the function itself tests it.
// Functions without an object argument (the PI functions) call nyxpi::session(e) instead, which
// creates the global state when it does not exist.
//
// Every helper is inline and allocation free on the checked path; handOut and handOutIter
// register what they return unless trusted program mode is on.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "cfidr.h"
#include "nyxdr.h"
#include "nyxdw.h"
#include "nyxpriv.h"
#include "dm/prop/prop.h"
#include "utils/nyx.h"

class nyxDMObj;

namespace nyxpi {

inline constexpr cfiOID kNullOID = {0, 0};

// Address <-> object word of a non-null object (see Hx_topheap::wordOf).
inline void *address(uint32_t word) { return Hx_topheap::addressOf(word); }
inline uint32_t objectWord(const void *p) { return Hx_topheap::wordOf(p); }

template <class T> inline T *object(cfiOID id) { return static_cast<T *>(address(id.object)); }

// Class code of an identifier: tag bits 1-7, or 26 + the occurrence kind for an odd tag.
inline int32_t classCode(uint32_t tag) {
    return (tag & 1) != 0 ? 26 + static_cast<int32_t>((tag >> 1) & 7)
                          : static_cast<int32_t>((tag >> 1) & 0x7f);
}
inline uint32_t memberIndex(uint32_t tag) { return tag >> 8; }
inline uint32_t makeTag(int32_t code, uint32_t member = 0) {
    return (static_cast<uint32_t>(code) << 1) | (member << 8);
}

// The class table: type value of each class code and the type walk.
constexpr int kClassCodes = 34;  // 0-25 data model, 26 global state, 27-33 occurrences
extern const uint64_t kAcceptMask[kClassCodes];
// Bit of an expected code in kAcceptMask: codes 0-33 as themselves, abstract -1..-8 as 40..47.
constexpr int acceptBit(int32_t expected) { return expected >= 0 ? expected : 39 - expected; }
// True when class code c is expected or descends from it (abstract codes accept their families).
inline bool typeMatches(int32_t c, int32_t expected) {
    if (c < 0 || c >= kClassCodes || expected < -8 || expected > 33) return false;
    return ((kAcceptMask[c] >> acceptBit(expected)) & 1) != 0;
}
// The same answer computed by walking the chain of parents (used to build and test the masks).
bool typeWalk(int32_t c, int32_t expected);
// cfidrObjectTypeT value of class code c (0 for codes without a class).
int32_t typeValue(int32_t c);

// Static text of an error code (0-53, 30001-30012, 31001-31014), or null.
const char *errorText(int32_t code);

// --- Error out-parameter and boundary guard ---------------------------------------------------

inline void fail(cfidrErrorT *e, cfidrErrorT code) { *e = code; }

// Runs body(e) with e never null and 0 stored first; any exception becomes error 4 and the
// failure result.
template <class R, class F> inline R guard(cfidrErrorT *err, R failure, F &&body) noexcept {
    cfidrErrorT local;
    cfidrErrorT *e = err != nullptr ? err : &local;
    *e = 0;
    try {
        return body(e);
    } catch (...) {
        *e = cfidrErrInternal;
        return failure;
    }
}
template <class F> inline void guardVoid(cfidrErrorT *err, F &&body) noexcept {
    cfidrErrorT local;
    cfidrErrorT *e = err != nullptr ? err : &local;
    *e = 0;
    try {
        body(e);
    } catch (...) {
        *e = cfidrErrInternal;
    }
}

// --- Global state and argument checks -----------------------------------------------------------

inline bool trusted() { return nyx::trustedProgram(); }

// The session code (start.cpp): creates the global state and starts every subsystem in the
// fixed order; null when memory ran out or a start step failed (what had started is released
// again). endSession releases every subsystem in the fixed order and drops the global state.
nyx *startSession();
void endSession();

// For PI functions: the global state, started if needed (4 when memory ran out).
inline nyx *session(cfidrErrorT *e) {
    nyx *s = nyx::session != nullptr ? nyx::session : startSession();
    if (s == nullptr) fail(e, cfidrErrInternal);
    return s;
}

// Checks an object argument (steps 2-5). Returns false after storing the error.
inline bool checkArg(cfiOID id, int32_t expected, cfidrErrorT *e,
                     cfidrErrorT unusable = cfidrErrObjectUnusable,
                     cfidrErrorT wrongClass = cfidrErrWrongType) {
    if (trusted()) {
        if (id.object == 0) return fail(e, unusable), false;
        return true;
    }
    const nyx *s = nyx::session;
    if (s == nullptr || id.object == 0 || !s->oidUsable(id.object, id.tag)) {
        return fail(e, unusable), false;
    }
    if (!typeMatches(classCode(id.tag), expected)) return fail(e, wrongClass), false;
    return true;
}

// Code pairs of further arguments (unusable, wrong class).
struct ArgCodes {
    cfidrErrorT unusable, wrongClass;
};
inline constexpr ArgCodes kPortCodes = {cfidrErrPortUnusable, cfidrErrNotPort};
inline constexpr ArgCodes kPortInstCodes = {cfidrErrPortInstUnusable, cfidrErrNotPortInst};
inline constexpr ArgCodes kNetCodes = {cfidrErrNetUnusable, cfidrErrNotNet};
inline constexpr ArgCodes kPortBundleCodes = {cfidrErrPortBundleUnusable, cfidrErrNotPortBundle};
inline constexpr ArgCodes kCellCodes = {cfidrErrCellUnusable, cfidrErrWrongType};
inline constexpr ArgCodes kDescriberCodes = {cfidrErrDescriberUnusable, cfidrErrDescriberNotView};
inline bool checkArg(cfiOID id, int32_t expected, cfidrErrorT *e, ArgCodes codes) {
    return checkArg(id, expected, e, codes.unusable, codes.wrongClass);
}

inline bool checkRange(int32_t v, int32_t lo, int32_t hi, cfidrErrorT code, cfidrErrorT *e) {
    if (trusted() || (v >= lo && v <= hi)) return true;
    return fail(e, code), false;
}
inline bool checkAccessMode(int32_t mode, cfidrErrorT *e) {
    return checkRange(mode, cfidrReadMode, cfidrUpdateMode, cfidrErrBadAccessMode, e);
}
inline bool checkIterMode(int32_t mode, cfidrErrorT *e) {
    return checkRange(mode, cfidrScalarIterMode, cfidrAllIterMode, cfidrErrBadIterMode, e);
}
inline bool checkAttachMode(int32_t mode, cfidrErrorT *e) {
    return checkRange(mode, cfidrPositionAttachMode, cfidrNameAttachMode, cfidrErrBadAttachMode, e);
}

// The operation table of an identifier's class (null for codes without one).
inline const nyxClassOps *classOps(int32_t code) { return nyxClasses::row(code); }

// --- Handing out --------------------------------------------------------------------------------

// The identifier of an object of class `code` (null address: the null identifier). Registered
// unless trusted program mode is on; when registration runs out of memory: 4 and null.
inline cfiOID handOut(const void *obj, int32_t code, cfidrErrorT *e, uint32_t member = 0) {
    if (obj == nullptr) return kNullOID;
    cfiOID id = {objectWord(obj), makeTag(code, member)};
    if (!trusted() && nyx::session != nullptr && !nyx::session->registerOID(id.object, id.tag)) {
        fail(e, cfidrErrInternal);
        return kNullOID;
    }
    return id;
}
inline cfiOID handOut(const nyxObjRef &r, cfidrErrorT *e) {
    return handOut(r.obj, r.code, e, r.member);
}

// A new null iterator: the next odd handle, registered unless trusted program mode is on.
cfidrIterT nullIter();

// Hands out an iterator that a class getter made (null: a new null iterator), recording its kind
// and registering it unless trusted program mode is on.
cfidrIterT handOutIter(nyxIter *it, int16_t kind, cfidrErrorT *e);

// Like guard, for functions returning an iterator: the failure result is a new null iterator.
template <class F> inline cfidrIterT guardIter(cfidrErrorT *err, F &&body) noexcept {
    cfidrErrorT local;
    cfidrErrorT *e = err != nullptr ? err : &local;
    *e = 0;
    try {
        return body(e);
    } catch (...) {
        *e = cfidrErrInternal;
        try {
            return nullIter();
        } catch (...) {
            return reinterpret_cast<cfidrIterT>(nyx::nullIterator += 2);
        }
    }
}

// A string for the caller: a ring copy, or the string itself in trusted program mode. "" after
// storing 4 when memory ran out.
inline const char *returnString(const char *s, cfidrErrorT *e) {
    if (s == nullptr) s = "";
    if (trusted() || nyx::session == nullptr) return s;
    const char *copy = nyx::session->ringString(s);
    if (copy == nullptr) return fail(e, cfidrErrInternal), "";
    return copy;
}

// The empty path handed out when a path cannot be returned.
extern const char *const kEmptyPath[1];

// A path for the caller: the NULL-terminated pointer array and its texts in one ring block
// (valid as long as a returned string). kEmptyPath after storing 4 when memory ran out.
const char *const *returnPath(const std::vector<std::string> &names, cfidrErrorT *e);

// Steps an iterator of the given kind (IterNext functions): odd handles give the null
// identifier at once; otherwise the handle must be registered (11) and of the kind (12; the net
// stepper also takes kind 7); the result is registered.
cfiOID iterNext(cfidrIterT it, int16_t kind, cfidrErrorT *e);

// The identifiers of an object and of everything it contains, by the withdrawal table of its
// class, collected before the object is destroyed or purged and withdrawn once that succeeded:
//     nyxpi::Withdrawal w;
//     if (!w.collect(obj, code, member, e)) return;
//     ...destroy or purge...; if (*e == 0) w.commit();
// Contents are walked through the class getters and iterator operations, so a class that does
// not exist yet simply has no contents; only what memory holds is walked (nothing is read from
// disk). The walk runs in every mode once anything was registered. Destroying a port instance
// withdraws nothing.
class Withdrawal {
public:
    // False (error stored) when a getter or a step failed.
    bool collect(void *obj, int32_t code, uint32_t member, cfidrErrorT *e);
    void commit();
    size_t size() const { return keys_.size(); }

private:
    bool walk(void *obj, int32_t code, uint32_t member, cfidrErrorT *e);
    std::vector<uint64_t> keys_;
};

// Purges a netlist or encapsulated view (class `code`, 14 or 15) and withdraws the identifiers
// handed out for it and its contents; other classes: 4. The compiler reader's purge of a view it replaces (installed by the
// session start).
void purgeViewWithdrawing(nyxDMObj *obj, int32_t code, cfidrErrorT *err);

} // namespace nyxpi
