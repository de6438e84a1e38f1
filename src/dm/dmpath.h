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
