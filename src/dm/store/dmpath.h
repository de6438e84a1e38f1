// Paths of stored objects: names inside paths, the ring of path buffers, and the cache of
// directory listings.
#pragma once

#include <string>
#include <vector>

namespace nyxDMPath {

// Names in paths. Inside a cell or view name, "/" and "\" are written as a tab, and the names
// "." and ".." as one and two newlines, so that any name is one directory entry. Decoding turns
// every tab back into "/" and every newline into ".".
std::string encodeName(const char *name);
std::string decodeName(const char *stored);
// Whether a directory entry is the encoding of a name: decoding it and encoding the result gives
// it back. Other entries ("a\\b", "a<newline>b", "") are not stored names: their decoded name
// belongs to another entry (or none), so they are not taken as libraries, cells or views.
bool isStoredName(const std::string &entry);

// The longest directory entry the file system holds, and the longest companion that the safe
// save adds to a file's name while it replaces it (".bak.tmp").
constexpr size_t kMaxEntry = 255;
constexpr size_t kCompanionSuffix = 8;
// Whether a stored object named `name` can exist on disk: its encoded name, with "." and `ext`
// and room for the save's companions when `ext` is given (a file), is one entry the file system
// holds. A name that fails can be made in memory but never saved, so creation refuses it.
bool fitsEntry(const char *name, const char *ext);
// Whether every entry of a path (between "/") is one the file system holds.
bool fitsPath(const std::string &path);

// A ring of 24 reusable path buffers: a returned buffer stays valid until 24 more have been handed
// out or the ring is released. Paths of any length fit.
char *pathBuffer(const std::string &path);
void releasePathBuffers();

// Directory listings, cached in eight slots keyed by directory path (exact comparison: file
// names are case-sensitive here). getDiskDirectory returns the entry names (without "." and
// "..") and takes a use of the slot; freeDiskDirectory gives the use back. A directory that
// cannot be listed, or a request when all eight slots are in use, returns null.
const std::vector<std::string> *getDiskDirectory(const std::string &directory);
void freeDiskDirectory(const std::string &directory);
// Forgets every cached listing (after saves and removals, so that new listings see the disk).
// Listings still in use stay valid until given back.
void clearDirectoryCache();

} // namespace nyxDMPath
