// Conversions between soft and hard path names.
//
// A soft name matches a path when the path begins with it and continues with a separator or
// ends there; the same boundary rule holds for hard names, so "/a/b" does not cover "/a/bc".
// Results of conversions through map entries are remembered in the path-name cache (keyed by
// the absolute path), except those of entries with the search flag, whose answer depends on
// what exists on disk at the time.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "paths/locmap_int.h"
#include "paths/paths.h"

namespace {

// Length of prefix when path begins with it at a separator boundary, else 0.
size_t boundaryMatch(const std::string &path, const std::string &prefix) {
    if (prefix.empty() || path.compare(0, prefix.size(), prefix) != 0) return 0;
    if (path.size() == prefix.size() || nyxLocMapIsSep(path[prefix.size()])) return prefix.size();
    return 0;
}

// Makes a relative path absolute: "~" and "~/..." start at $HOME, others at the current directory.
bool makeAbsolute(const std::string &path, std::string &out) {
    if (path[0] == '~') {
        if (path.size() > 1 && !nyxLocMapIsSep(path[1])) {
            nyxLocMapReport("Error:  Syntax error in leaf name \"%s\".\n", path.c_str());
            return false;
        }
        const char *home = std::getenv("HOME");
        if (home == nullptr) {
            nyxLocMapReport("Error:  Cannot get environment variable \"HOME\".\n");
            return false;
        }
        out = home + path.substr(1);
        return true;
    }
    std::string cwd(PATH_MAX, '\0');
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE || cwd.size() >= (1u << 20)) {
            nyxLocMapReport("Error:  Can't get current working directory.\n");
            return false;
        }
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    out = cwd + "/" + path;
    return true;
}

bool copyOut(const std::string &result, const char *path, char *buf, size_t size) {
    if (result.size() + 1 > size) {
        nyxLocMapReport("Error:  Path name too long \"%s\".\n", path);
        buf[0] = '\0';
        return false;
    }
    std::memcpy(buf, result.c_str(), result.size() + 1);
    return true;
}

bool exists(const std::string &path) { return ::access(path.c_str(), F_OK) == 0; }

template <class Cache> void remember(Cache &cache, const std::string &key, const std::string &value) {
    if (cache.size() >= nyxLocMap::kCacheLimit) cache.clear();
    cache.emplace(key, value);
}

}  // namespace

const nyxLocMapEntry *nyxLocMap::findEntry(const std::string &softName) const {
    auto found = index_.find(softName);
    return found == index_.end() ? nullptr : &entries_[found->second];
}

const nyxLocMapEntry *nyxLocMap::matchSoft(const std::string &path) const {
    // Entries are tried in table order; a soft name ends at the first separator, so at most one
    // entry can match, and the index finds it directly.
    size_t end = 1;
    while (end < path.size() && !nyxLocMapIsSep(path[end])) ++end;
    const nyxLocMapEntry *entry = findEntry(path.substr(0, end));
    return entry != nullptr && !entry->hardNames.empty() ? entry : nullptr;
}

bool nyxLocMap::mapSoft(const std::string &path, std::string &out) {
    auto cached = softCache_.find(path);
    if (cached != softCache_.end()) {
        out = cached->second;
        return true;
    }
    const nyxLocMapEntry *entry = matchSoft(path);
    if (entry == nullptr) return false;
    std::string rest = path.substr(entry->softName.size());
    if (entry->search) {
        for (const std::string &hard : entry->hardNames) {
            if (exists(hard + rest)) {
                out = hard + rest;
                return true;
            }
        }
        out = entry->hardNames[0] + rest;
        return true;
    }
    out = entry->hardNames[0] + rest;
    remember(softCache_, path, out);
    return true;
}

bool nyxLocMap::mapHard(const std::string &path, std::string &out) {
    auto cached = hardCache_.find(path);
    if (cached != hardCache_.end()) {
        out = cached->second;
        return true;
    }
    for (const nyxLocMapEntry &entry : entries_) {
        for (const std::string &hard : entry.hardNames) {
            size_t n = boundaryMatch(path, hard);
            if (n != 0) {
                out = entry.softName + path.substr(n);
                remember(hardCache_, path, out);
                return true;
            }
        }
    }
    return false;
}

char *nyxLocMap::softToHard(const char *path, char *buf, size_t size) {
    if (buf == nullptr || size == 0) return nullptr;
    buf[0] = '\0';
    if (path == nullptr || *path == '\0') return nullptr;

    char expanded[kLocMapPathMax];
    if (nyxLocMapExpandHome(path, expanded, sizeof expanded) != nyxHomeStatus::Ok) {
        nyxLocMapReport("Error:  Undefined environment variable \"%s\" in soft name \"%s\".\n", "ZIL_HOME", path);
        return nullptr;
    }
    std::string current(expanded);
    if (current[0] != '$' && !nyxLocMapIsAbsolute(current.c_str())) {
        std::string absolute;
        if (!makeAbsolute(current, absolute)) return nullptr;
        current = std::move(absolute);
    }
    if (current[0] != '$') return copyOut(current, path, buf, size) ? buf : nullptr;

    ensureLoaded();
    if (disabled_) return copyOut(current, path, buf, size) ? buf : nullptr;

    std::string result;
    if (!mapSoft(current, result)) {
        // No entry: the identifier names an environment variable that stands for the directory.
        size_t end = 1;
        while (end < current.size() && !nyxLocMapIsSep(current[end])) ++end;
        std::string ident = current.substr(1, end - 1);
        if (ident.empty() || ident.size() > kLocMapPathMax - 1) {
            nyxLocMapReport("Error:  Syntax error in soft name \"%s\".\n", path);
            return nullptr;
        }
        const char *value = std::getenv(ident.c_str());
        if (value == nullptr) {
            nyxLocMapReport("Error:  Undefined environment variable \"%s\" in soft name \"%s\".\n", ident.c_str(),
                            path);
            return nullptr;
        }
        result = value + current.substr(end);
    }
    return copyOut(result, path, buf, size) ? buf : nullptr;
}

const char *nyxLocMap::hardToSoft(const char *path, char *buf, size_t size) {
    if (buf == nullptr || size == 0) return nullptr;
    buf[0] = '\0';
    if (path == nullptr || *path == '\0' || std::strcmp(path, "$") == 0) {
        nyxLocMapReport("Error:  Syntax error in hard name \"%s\".\n", path == nullptr ? "" : path);
        return nullptr;
    }
    if (std::strcmp(path, "/") == 0 || std::strcmp(path, "\\") == 0) return path;

    std::string current(path);
    bool changed = false;
    if (current[0] != '$' && !nyxLocMapIsAbsolute(path)) {
        std::string absolute;
        if (!makeAbsolute(current, absolute)) return nullptr;
        current = std::move(absolute);
        changed = true;
    }
    auto unchanged = [&]() -> const char * {
        if (!changed) return path;
        return copyOut(current, path, buf, size) ? buf : nullptr;
    };

    ensureLoaded();
    if (disabled_) return unchanged();

    if (current[0] == '$') {
        if (matchSoft(current) == nullptr) {
            nyxLocMapReport("Error:  Unknown soft name \"%s\".\n", path);
            return nullptr;
        }
        return unchanged();
    }
    std::string result;
    if (mapHard(current, result)) return copyOut(result, path, buf, size) ? buf : nullptr;
    if (force_) {
        nyxLocMapReport("Error:  Unknown hard name \"%s\".\n", path);
        return nullptr;
    }
    return unchanged();
}

void nyxLocMap::clearCache() {
    softCache_.clear();
    hardCache_.clear();
}
