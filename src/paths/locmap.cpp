// The process-wide location map: finding the map file and the functions of paths.h.
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "paths/locmap_int.h"
#include "paths/paths.h"

namespace {

nyxLocMap g_map;

bool fileExists(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The absolute spelling of path, for callers that pass the map's name to other processes.
std::string absolutePath(const std::string &path) {
    if (nyxLocMapIsAbsolute(path.c_str())) return path;
    char cwd[kLocMapPathMax];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
    std::string result(cwd);
    if (path.compare(0, 2, "./") == 0) return result + path.substr(1);
    return result + "/" + path;
}

}  // namespace

nyxLocMap &nyxLocMapGlobal() { return g_map; }

void nyxLocMap::ensureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    std::string path;
    const char *named = std::getenv("ZIL_LOCATION_MAP");
    if (named != nullptr && *named != '\0') {
        if (std::strcmp(named, "NO_MAP") == 0) {
            disabled_ = true;
            return;
        }
        path = named;
    } else {
        std::vector<std::string> candidates;
        candidates.push_back(std::string(".") + "/zil_location_map");
        if (const char *home = std::getenv("HOME")) candidates.push_back(std::string(home) + "/zil" + "/zil_location_map");
        char expanded[kLocMapPathMax];
        if (nyxLocMapExpandHome("$ZIL_HOME/etc", expanded, sizeof expanded) == nyxHomeStatus::Ok)
            candidates.push_back(std::string(expanded) + "/zil_location_map");
        if (nyxLocMapExpandHome("$ZIL_HOME/shared/etc", expanded, sizeof expanded) == nyxHomeStatus::Ok)
            candidates.push_back(std::string(expanded) + "/zil_location_map");
        for (const std::string &candidate : candidates) {
            if (fileExists(candidate)) {
                path = candidate;
                break;
            }
        }
        if (path.empty()) {
            disabled_ = true;
            return;
        }
    }
    fileName_ = absolutePath(path);
    readFile(path);
}

char *nyxLocMapSoftToHard(const char *path, char *buf, size_t size) { return g_map.softToHard(path, buf, size); }

const char *nyxLocMapHardToSoft(const char *path, char *buf, size_t size) {
    return g_map.hardToSoft(path, buf, size);
}

const char *nyxLocMapFileName() {
    g_map.ensureLoaded();
    return g_map.disabled() || g_map.fileName().empty() ? nullptr : g_map.fileName().c_str();
}

bool nyxLocMapDisabled() {
    g_map.ensureLoaded();
    return g_map.disabled();
}

void nyxLocMapClearCache() { g_map.clearCache(); }

void nyxLocMapReset() {
    g_map = nyxLocMap();
    nyxLocMapResetEnvironment();
}
