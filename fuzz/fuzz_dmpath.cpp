// Names in paths, over arbitrary bytes. The input is split at zero bytes into names.
//
// 1. Every name encodes to one directory entry that decodes back to the name ("\" read as "/");
//    the entry is a stored name.
// 2. The path of a library, cell and view (through the location map, and with the library map
//    "." of the current directory) ends in the encoded cell and view names.
// 3. The names that can be directory entries become the entries of a library directory; reading
//    the library must give cells whose paths are those directories, one cell per directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "cfidr.h"
#include "dm/store/store.h"
#include "pi/pi.h"
#include "scratch_dir.h"

namespace {

std::string g_lib;  // absolute path of the library directory, also its name

bool setUp() {
    static ScratchDir dir;
    if (!dir.make("nyx_fuzz_dmpath")) return false;
    g_lib = dir.path() + "/lib";
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    unsetenv("ZIL_CFI_LIBPATH");
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    return e == 0;
}

void checkName(const std::string &name) {
    const std::string entry = nyxDMPath::encodeName(name.c_str());
    if (entry.find('/') != std::string::npos || entry.find('\\') != std::string::npos) __builtin_trap();
    if (name.empty()) return;
    if (entry.empty() || entry == "." || entry == "..") __builtin_trap();
    if (name.find_first_of("\t\n") != std::string::npos) return;
    std::string expected = name;
    for (char &c : expected) {
        if (c == '\\') c = '/';
    }
    if (nyxDMPath::decodeName(entry.c_str()) != expected || !nyxDMPath::isStoredName(entry)) __builtin_trap();
}

void checkPath(const char *mapValue, const std::string &lib, const std::string &cell, const std::string &view) {
    nyxDMUtil::resetLibraryMap();
    if (mapValue != nullptr) {
        setenv("ZIL_NYX_LIBRARYMAP", mapValue, 1);
    } else {
        unsetenv("ZIL_NYX_LIBRARYMAP");
    }
    const std::string path = nyxDMUtil::pathOf(lib.c_str(), cell.c_str(), view.c_str());
    const std::string tail = "/" + nyxDMPath::encodeName(cell.c_str()) + "/" + nyxDMPath::encodeName(view.c_str());
    if (path.size() < tail.size() || path.compare(path.size() - tail.size(), tail.size(), tail) != 0) {
        __builtin_trap();
    }
}

// The library read over entries made from the names.
void checkLibrary(const std::vector<std::string> &names) {
    if (mkdir(g_lib.c_str(), 0777) != 0) return;
    std::vector<std::string> made;
    for (const std::string &name : names) {
        if (name.empty() || name.size() > 255 || name == "." || name == ".." || name.find('/') != std::string::npos) {
            continue;
        }
        if (mkdir((g_lib + "/" + name).c_str(), 0777) == 0) made.push_back(g_lib + "/" + name);
    }
    nyxDMUtil::resetLibraryMap();
    unsetenv("ZIL_NYX_LIBRARYMAP");
    cfidrErrorT e = 0;
    cfiOID lib = cfidrPIOpenLib(g_lib.c_str(), cfidrReadMode, &e);
    if (lib.object == 0) __builtin_trap();
    std::set<std::string> paths;
    for (int32_t i = 0; i < nyxpi::object<nyxLib>(lib)->cells().nitems(); ++i) {
        auto *cell = static_cast<nyxCell *>(nyxpi::object<nyxLib>(lib)->cells()[i]);
        const char *path = cell->pathnameObj();
        struct stat st;
        // Each cell is the directory it was listed from, and no other cell's.
        if (path == nullptr || stat(path, &st) != 0 || !S_ISDIR(st.st_mode) || !paths.insert(path).second) {
            __builtin_trap();
        }
    }
    if (paths.size() > made.size()) __builtin_trap();
    // The next input reads the library again, from a fresh listing.
    cfidrLibPurge(lib, &e);
    nyxDMPath::clearDirectoryCache();
    for (const std::string &dir : made) rmdir(dir.c_str());
    rmdir(g_lib.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = setUp();
    if (!ready || size > 4096) return 0;
    std::vector<std::string> names;
    const char *p = reinterpret_cast<const char *>(data);
    const char *end = p + size;
    while (names.size() < 8) {
        const char *stop = p;
        while (stop < end && *stop != '\0') ++stop;
        names.emplace_back(p, stop);
        if (stop == end) break;
        p = stop + 1;
    }
    for (const std::string &name : names) checkName(name);
    while (names.size() < 3) names.emplace_back("x");
    checkPath(nullptr, names[0], names[1], names[2]);
    checkPath(".", names[0], names[1], names[2]);
    checkLibrary(names);
    return 0;
}
