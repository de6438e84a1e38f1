/*
 * nyxdw.h - the occurrence walk of libnyx.
 *
 * A design configuration names a root view; the occurrence walk elaborates the hierarchy below
 * it into occurrences (of the view, its nets, instances and ports), joins nets into flat nets and
 * evaluates properties with their per-occurrence overrides. Occurrences cross the interface as
 * identifiers with an odd tag word; the cfidr functions accept them as objects but do not type
 * them (they report 15 where a class is required).
 *
 * The walk reports its own error codes, 31001-31014 (nyxdwErr..., nyxtypes.h), and the
 * design-configuration functions of nyxdr.h report 30001-30012 (nyxdrErr...);
 * nyxdwPIGetErrorText translates all of them.
 */
#ifndef NYXDW_H
#define NYXDW_H

#include "nyxtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ==== Start and end ======================================================================== */

/* Initialises the library as cfidrPIInit does. Reports no error. */
NYX_API void nyxdwPIInit(cfidrErrorT *err);

/* Ends use of the occurrence walk; the library stays initialised (cfidrPIQuit releases it).
 * Reports no error. */
NYX_API void nyxdwPIQuit(cfidrErrorT *err);

/* ==== Error texts ========================================================================== */

/* Returns the text of an error code: the extension codes 30001-30012 and 31001-31014 here, any
 * other code as cfidrPIGetErrorText does. The string belongs to the library and stays valid until
 * ten further strings have been returned or the library is released. A code without a text
 * reports 9 (cfidrErrBadErrorCode) and returns "". */
NYX_API const char *nyxdwPIGetErrorText(cfidrErrorT code, cfidrErrorT *err);

#ifdef __cplusplus
}
#endif

#endif /* NYXDW_H */
