// pi_walk.h - what the exported functions of the occurrence walk share (pi_walk.cpp,
// pi_walkiter.cpp): resolving an occurrence argument and handing an occurrence out.
#pragma once

#include "dw/dw.h"
#include "pi/pi.h"

namespace nyxpiwalk {

// Kind masks: bit k accepts occurrences of kind k (flat nets through resolveFlat).
inline constexpr unsigned kTopKind = 1u << nyxOccTop;
inline constexpr unsigned kPortKind = 1u << nyxOccPort;
inline constexpr unsigned kViewKinds = (1u << nyxOccInst) | kTopKind;
inline constexpr unsigned kAnyKind = (1u << nyxOccNet) | kViewKinds | kPortKind;
inline constexpr unsigned kFlatKind = 1u << nyxOccFlatNet;

// The current tree of an occurrence argument and the occurrence decoded, in every mode; null
// after the error: 31001 no session, a broken tag, a design id without configuration or with a
// stale tree; a kind outside `kinds` (or an identifier of another family) 15 while trusted
// program mode is off, 31001 in it. The tree checks the id, kind and port position itself.
nyxOccTree *resolveOcc(cfiOID id, unsigned kinds, nyxOccRef *occ, cfidrErrorT *e);
// The identifier of an occurrence (null for the null occurrence). The accessors and walks of
// src/dw make only occurrences of their tree (kind 1-5, design id 0-255, port below 2^20), so
// the words are laid out here without the checks of nyxdw::encodeWords, which the tests compare.
inline cfiOID occId(const nyxOccRef &r, cfidrErrorT *) {
    if (r.isNull()) return cfiOID{0, 0};
    return cfiOID{static_cast<uint32_t>(r.id), 1u | (static_cast<uint32_t>(r.kind) << 1) |
                                                   (static_cast<uint32_t>(r.designId) << 4) |
                                                   (static_cast<uint32_t>(r.port) << 12)};
}

// A flat net argument: resolved as above, then checked against the tree's flat nets (31001 for
// an id that names none; pi_flat.cpp). Null after the error.
nyxOccTree *resolveFlat(cfiOID id, nyxOccRef *occ, cfidrErrorT *e);
// Hands out a walk as an iterator of `kind` (18-21), stepped by the nyxdwIterNext function of
// that kind (pi_walkiter.cpp); a null walk gives the error it came with.
cfidrIterT handOutWalk(nyxOccWalk *walk, int32_t designId, int16_t kind, cfidrErrorT *e);

} // namespace nyxpiwalk
