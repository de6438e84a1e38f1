// The location map, as the rest of the library sees it: soft and hard path names.
//
// Design data and tool files are named by soft path names: a soft name ("$" and an
// identifier) followed by an ordinary path, such as "$PROJ/lib/cells". The location map is a text
// file ("zil_location_map") that says which hard directory stands for each soft name; the
// functions here convert soft paths to hard paths and back, so that designs can move between
// machines. The map is found and read once per process, on the first conversion that needs it.
// When no map exists (or ZIL_LOCATION_MAP is "NO_MAP") mapping is disabled for the process and
// soft paths stay as they are.
//
// Diagnostics are single lines on the standard error stream; the conversions then return null
// and leave an empty result buffer, and callers fall back to the unconverted path.
//
// None of this is thread-safe: the map and its caches are process-wide, like the rest of the
// library's state.
//
// This subsystem is a leaf above src/utils: it includes nothing of the data model or the interface
// frame, so the data model (and anything above it) may use it. Its files are read through the file
// layer (utils/fileio.h), whose failure injection reaches them.
#pragma once

#include <cstddef>

// Size of the result buffers of the conversions and of the home expansion.
constexpr size_t kLocMapPathMax = 2048;

// Soft to hard. Expands a home-directory path ("/obol", "$ZIL_HOME"), makes a relative path
// absolute ("~" is $HOME, anything else is taken from the current directory), and replaces a
// leading soft name by its hard directory from the map (or, for a soft name not in the map, by
// the value of the environment variable of that name). The result is written to buf (size bytes,
// normally kLocMapPathMax). Returns buf, or null after a diagnostic (buf then holds "").
char *nyxLocMapSoftToHard(const char *path, char *buf, size_t size);

// Hard to soft. Makes a relative path absolute and replaces the first hard directory of the map
// that is a prefix of it (at a separator boundary) by its soft name. Returns buf holding the
// result; or path itself when it is returned unchanged (no entry matches, mapping disabled, "/");
// or null after a diagnostic (unknown soft name, malformed path, no match in a "force" map).
const char *nyxLocMapHardToSoft(const char *path, char *buf, size_t size);

// Result of nyxLocMapExpandHome.
enum class nyxHomeStatus { Ok, TooLong, NotFound };

// Home-directory expansion. A path that is "/obol" or "$ZIL_HOME", or begins with "/obol/" or
// "$ZIL_HOME/", gets the value of ZIL_HOME as its prefix and each "$LANG" in it replaced by the
// language name (nyxLocMapLanguage). A path that is "/tmp" or begins with "/tmp/" gets the value
// of ZIL_TMPDIR as its prefix when that is set and not empty. Other paths are copied unchanged.
// NotFound: ZIL_HOME is unset. TooLong: the result does not fit buf (size bytes).
nyxHomeStatus nyxLocMapExpandHome(const char *path, char *buf, size_t size);

// The language name: the entry of the language map ("zil_lang_map" under $ZIL_HOME/etc/cust or
// $ZIL_HOME/pkgs/base/string_registry) for the value of LANG, else for the key "$LANG", else for
// the key "default"; "USASCII" when none is found. Read once; the string lives until
// nyxLocMapReset.
const char *nyxLocMapLanguage();

// Absolute path of the location map file in use, or null when mapping is disabled. Locates and
// reads the map if that has not happened yet.
const char *nyxLocMapFileName();

// True when mapping is disabled for the process (no map file, or ZIL_LOCATION_MAP is "NO_MAP").
// Locates and reads the map if that has not happened yet.
bool nyxLocMapDisabled();

// Empties the path-name cache (the remembered results of conversions through map entries). The
// release of the library's global state calls it; the map itself stays for the process.
void nyxLocMapClearCache();

// Forgets everything: the map, the disabled switch, the cache and the values read once from the
// environment (ZIL_HOME, ZIL_TMPDIR, the language). For tests and tools that need a fresh start.
void nyxLocMapReset();
