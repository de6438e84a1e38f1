/*
 * zilerr.h - status contexts: numbered messages with a severity, recorded per thread.
 *
 * A status context is a growable stack of statuses. Each status carries the name of the
 * package that reported it, a message id, a severity (1 note, 2 warning, 3 error; other values
 * are kept but have no severity word), caller-defined flags, and the text of the message,
 * produced when the status is added. Callers add statuses as things go wrong, then read,
 * copy, print or pop them, newest on top; index 0 is the oldest status. A context starts with
 * room for 16 statuses and 7168 bytes of text and doubles either store when it fills.
 *
 * Every thread has its own default context, created on first use. Wherever a function takes
 * a context, NULL means the calling thread's default context; a thread's default context is
 * freed when the thread ends.
 *
 * A package is a named producer of messages (the extension-language engine registers its own).
 * Registering a package records its number, its message file base name and its language.
 * Packages sharing a message file base name share one reference-counted message module record.
 * Message tables in separate modules are not available on this platform: the text of every
 * status is the caller's default format, a printf-style format applied to the caller's
 * arguments, with one trailing blank removed. There is no limit on the length of a text.
 *
 * Results. Functions returning an int status return 0 on success and 1 on failure unless their
 * paragraph says otherwise. Indexes run from 0 to count - 1; any other index, including a
 * negative one, reads nothing and gives the function's null result. No exception or signal
 * leaves these functions; running out of memory is a failure result. Package registration is
 * shared by all threads: register packages before threads report.
 */
#ifndef ZILERR_H
#define ZILERR_H

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>

#include "nyxtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An opaque status context. */
typedef struct zilerrContext_ *zilerrContextT;

/* Severities. */
enum {
    zilerrNote = 1,
    zilerrWarning = 2,
    zilerrError = 3
};

/* ===================================== Packages ===================================== */

/* Registers the package `packageName` with its number (kept, not interpreted), the base name of
 * its message file and its language id. Names are copied. A name already registered is left as
 * it is. Returns 0 when the package is registered or was already registered, 1 when
 * packageName is NULL or memory is short. A NULL or empty messageFile registers the package
 * without a message module record. */
NYX_API int zilerrRegisterPackage(const char *packageName, int32_t packageNumber,
                                  const char *messageFile, int32_t languageId);

/* Removes the registration of `packageName` and drops its reference to the message module
 * record, which is released when no package refers to it any more. Returns 0 (also when the
 * name is NULL or not registered). */
NYX_API int zilerrUnregisterPackage(const char *packageName);

/* ===================================== Contexts ===================================== */

/* Creates an empty context with room for 16 statuses and 7168 bytes of text. Returns NULL when
 * memory is short. The caller frees it with zilerrDestroyContext. */
NYX_API zilerrContextT zilerrCreateContext(void);

/* Frees the context and its statuses. NULL destroys the calling thread's default context (a new
 * one is created on the next use); another thread's default context must not be destroyed.
 * Every text read from the context becomes invalid. */
NYX_API void zilerrDestroyContext(zilerrContextT context);

/* Removes every status of the context, keeping its storage, and returns the context (NULL when
 * no context can be had). */
NYX_API zilerrContextT zilerrClearContext(zilerrContextT context);

/* Returns the calling thread's default context, creating it on the first call; NULL when memory
 * is short. The library frees it when the thread ends. */
NYX_API zilerrContextT zilerrContextForThread(void);

/* ===================================== Statuses ===================================== */

/* Appends a status to the context: the package name (cut to 31 characters; NULL is stored as
 * ""), the message id, the severity and the caller's flags, and a text formatted from
 * defaultFormat with the arguments that follow, as printf would. Returns 0 when the text was
 * formatted. When there is no text (defaultFormat NULL, an empty result or a bad format) the
 * status is still added, with an empty text, and the result is 1. The result is also 1, with
 * nothing added, when no context can be had or memory is short. */
NYX_API int zilerrAddStatus(zilerrContextT context, int32_t messageId, const char *defaultFormat,
                            const char *packageName, int32_t severity, int32_t flags, ...);

/* zilerrAddStatus with its arguments as a va_list, which the function does not va_end. */
NYX_API int zilerrAddStatusVararg(zilerrContextT context, int32_t messageId,
                                  const char *defaultFormat, const char *packageName,
                                  int32_t severity, int32_t flags, va_list args);

/* Returns the number of statuses of the context, or -1 when no context can be had. */
NYX_API int zilerrGetCount(zilerrContextT context);

/* Returns the text of status `index`, owned by the context: it stays valid until the context
 * next changes (a status added, popped or copied in, the context cleared or destroyed). NULL for
 * an index outside the context. */
NYX_API const char *zilerrGetMessage(zilerrContextT context, int index);

/* Returns the message id of status `index`; -1 for an index outside the context. */
NYX_API int32_t zilerrGetMessageId(zilerrContextT context, int index);

/* Returns the severity of status `index`; 0 for an index outside the context. */
NYX_API int32_t zilerrGetSeverity(zilerrContextT context, int index);

/* Returns the flags of status `index`; 0 for an index outside the context. */
NYX_API int32_t zilerrGetFlags(zilerrContextT context, int index);

/* Returns the package name of status `index` (the entry itself, whose first field is the
 * NUL-terminated name), owned by the context and valid as zilerrGetMessage says. NULL for an
 * index outside the context. */
NYX_API const char *zilerrGetPackage(zilerrContextT context, int index);

/* Sets the flags of status `index`. Returns 1 for an index outside the context. */
NYX_API int zilerrSetFlags(zilerrContextT context, int index, int32_t flags);

/* Removes the newest status and its text. Returns 1 when the context is empty. */
NYX_API int zilerrPopStatus(zilerrContextT context);

/* Appends to `destination` a copy of status `index` of `source` (package name, id, severity,
 * flags and text). Source and destination may be the same context. Returns 1 for an index
 * outside the source or when memory is short. */
NYX_API int zilerrCopyStatus(zilerrContextT destination, zilerrContextT source, int index);

/* Appends to `destination` copies of all statuses of `source`, oldest first. When both are the
 * same context its statuses are appended once more. Returns 1, changing nothing, when both
 * arguments are NULL; 1 when memory ran short part way (the statuses copied so far remain). */
NYX_API int zilerrCopyContext(zilerrContextT destination, zilerrContextT source);

/* ===================================== Output ===================================== */

/* Formats a message as zilerrAddStatus would, without recording it. With bufferSize 0 the
 * function allocates the text with malloc, stores its address in *buffer and returns its
 * length; the caller owns that memory and frees it with free(). With a positive bufferSize,
 * *buffer is the caller's buffer of bufferSize bytes: the text is copied and always
 * NUL-terminated, cut to bufferSize - 1 characters when longer; the result is the number of
 * characters copied. Returns 0, writing nothing, when buffer or *buffer (with a positive size)
 * is NULL, bufferSize is negative, there is no text, or memory is short. */
NYX_API int zilerrFormatMessage(int32_t messageId, const char *defaultFormat, int bufferSize,
                                char **buffer, ...);

/* zilerrFormatMessage with its arguments as a va_list, which the function does not va_end. */
NYX_API int zilerrFormatMessageVararg(int32_t messageId, const char *defaultFormat,
                                      int bufferSize, char **buffer, va_list args);

/* Writes every status of the context to `stream`, oldest first, one line each. With
 * withSeverity non-zero each line starts with "Note: ", "Warning: " or "Error: " for severities
 * 1, 2 and 3 (nothing for other severities). Returns 1 when the context is empty, stream is
 * NULL, no context can be had or a write fails. */
NYX_API int zilerrPrintContext(FILE *stream, zilerrContextT context, int withSeverity);

/* Returns the version text of the status package, a static string. */
NYX_API const char *zilerrGetVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* ZILERR_H */
