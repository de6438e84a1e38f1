/*
 * nyxpriv.h - expert mode and diagnostics of libnyx.
 *
 * Expert mode switches both trusted modes of nyxdr.h on for a stretch of code and restores them
 * afterwards; pushes nest. The library itself reads stored data in expert mode. The heap summary
 * shows how much memory each of the library's heaps holds.
 */
#ifndef NYXPRIV_H
#define NYXPRIV_H

#include "nyxtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ==== Expert mode ========================================================================== */

/* Saves both trusted mode switches on the expert-mode stack and switches both on. Creates the
 * global state when needed. Errors: 4 (out of memory; the modes are unchanged). The stack is
 * forgotten by cfidrPIQuit, the modes are not. */
NYX_API void nyxprivPIPushExpertMode(cfidrErrorT *err);

/* Restores both trusted mode switches from the last push and drops it. Errors: 4 (nothing was
 * pushed; the modes are unchanged). */
NYX_API void nyxprivPIPopExpertMode(cfidrErrorT *err);

/* ==== Diagnostics ========================================================================== */

/* Writes one line per live heap to the standard error stream: its name, bytes obtained from the
 * page manager, bytes and blocks in use, free blocks and growth count, then the page manager's
 * totals. Creates the global state when needed. Reports no error. */
NYX_API void nyxprivPIPrintHeapSummary(cfidrErrorT *err);

/* ==== Tuning =============================================================================== */

/* Prepares a netlist view for a known number of objects by growing its heaps at once (a size of 0
 * or less does nothing). Errors: 16 (view unusable), 15 (not a netlist view). */
NYX_API void nyxprivPIViewSizeHint(cfiOID view, int32_t size, cfidrErrorT *err);

/* ==== Expressions ========================================================================== */

/* Evaluates an expression text as a property value would be, outside any design: names are
 * resolved from `definitions`, a NULL-terminated array of "NAME=VALUE" texts (NULL: none), a later
 * definition of a name replacing an earlier one. A VALUE that reads as a whole number in 32 bits
 * is an integer, one that reads as another decimal number a real, anything else a string. Creates
 * the global state when needed. Returns the text of the result (an integer in decimal, a real with
 * up to 15 significant digits, "true" or "false", a string up to its first NUL, "" for void) in
 * the returned-string ring (in trusted program mode, valid until the next call), and stores its
 * type in *type when type is not NULL: 0 void, 1 boolean, 2 integer, 3 real, 5 string (0 on
 * error), as the value types cfidrNoValueType ... cfidrStringValueType name them. Errors: 14 (text
 * NULL, or a definition without "=" or with an empty name), 31006-31014 (the evaluation's error;
 * nyxdwPIGetErrorText gives its text), 4; result "". */
NYX_API const char *nyxprivPIEvaluateExpression(const char *text, const char *const *definitions,
                                                nyxdrValueTypeT *type, cfidrErrorT *err);

/* ==== Compiled objects ===================================================================== */

/* The compiled-from text of a netlist view, design configuration or occurrence property set that
 * a compiler made: the source the compiler named for it (kept in memory only: a saved and reread
 * object has none). Returns "" for an object no compiler made, in the returned-string ring.
 * Errors: 16 (object unusable), 15 (another kind of object); result "". */
NYX_API const char *nyxprivObjectGetCompiledFrom(cfiOID obj, cfidrErrorT *err);

#ifdef __cplusplus
}
#endif

#endif /* NYXPRIV_H */
