// Private declarations of the status subsystem: package registrations, message module records,
// contexts and their entries. Only src/status and its tests include this file.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

#include "status/status.h"

namespace nyxstatus {

// Length of the package-name field of an entry, terminator included.
constexpr int kPackageNameSize = 32;
// Number of chains of the package and module hashes.
constexpr int kHashChains = 16;
// Initial capacities of a context; both stores double when full.
constexpr int32_t kInitialStatusCapacity = 16;
constexpr int32_t kInitialTextCapacity = 7168;

// A message module record, shared by the packages that name the same message file.
// Invariant: refCount == number of registrations whose module points here, and refCount > 0
// while the record is linked.
struct MessageModule {
    MessageModule *link = nullptr;
    std::string fileBase;
    int32_t refCount = 0;
    void *handle = nullptr; // Always null: message-table modules do not exist here.
};

// A registered package.
struct Package {
    Package *link = nullptr;
    std::string name;
    std::string fileBase;
    int32_t number = 0;
    MessageModule *module = nullptr;
    int32_t languageId = 0;
};

// One recorded status. The package name is first, so that the entry can be handed out as the
// package name.
struct StatusEntry {
    char packageName[kPackageNameSize];
    int32_t messageId;
    int32_t reserved; // Not used; kept zero.
    int32_t severity;
    int32_t flags;
    int32_t textOffset;
};

} // namespace nyxstatus

// A status context. Invariants: -1 <= top < statusCapacity; 0 <= textUsed <= textCapacity;
// the texts of entries 0..top lie back to back in text[0..textUsed), each NUL-terminated, with
// entry i's text starting at statuses[i].textOffset and entry 0's at 0.
struct zilerrContext_ {
    int32_t top;
    int32_t textUsed;
    int32_t statusCapacity;
    int32_t textCapacity;
    nyxstatus::StatusEntry *statuses;
    char *text;
};

namespace nyxstatus {

// Name hash of both chains: XOR of the characters as signed bytes, absolute value, modulo 16.
int nameHash(const char *name);

// Registration lookups (for the package's own use and its tests). Null when absent.
const Package *findPackage(const char *name);
const MessageModule *findModule(const char *fileBase);

// Resolves a caller's context argument: null means the calling thread's context, which is
// created on demand. Returns null when no context can be had.
zilerrContext_ *resolveContext(zilerrContext_ *context);

// Forgets the thread's context if it is `context` (about to be destroyed).
void forgetThreadContext(zilerrContext_ *context);

// Returns entry `index` of the context, or null when the index is outside 0..top.
const StatusEntry *entryAt(const zilerrContext_ *context, int index);
// Returns the text of entry `index`, or null when the index or its offset is out of range.
const char *textAt(const zilerrContext_ *context, int index);

// Appends a status with the given fields and text (of `length` bytes, no NUL needed).
// Returns false, changing nothing, when memory is short or a store would overflow.
bool appendStatus(zilerrContext_ *context, const char *packageName, int32_t messageId,
                  int32_t severity, int32_t flags, const char *text, size_t length);

// Formats a message text from the default format and the arguments, removing one trailing
// blank. Returns false when there is no text (null format, format error or empty result).
// May throw std::bad_alloc.
bool formatText(const char *defaultFormat, va_list args, std::string &out);

} // namespace nyxstatus
