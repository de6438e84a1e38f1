// Home-directory and temporary-directory expansion, and the language map.
//
// ZIL_HOME, ZIL_TMPDIR and the language are read once and kept until nyxLocMapReset, so that
// every path formed in a session uses the same bases.
//
// Language map format (text): lines "KEY NAME" with blanks or tabs between the two words; lines
// that begin with "#" and empty lines are skipped; the first line with a key wins. Reading stops
// at a line of more than kMaxLine bytes.
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "paths/locmap_int.h"
#include "paths/paths.h"

namespace {

struct EnvState {
    bool homeRead = false;
    std::optional<std::string> home;  // ZIL_HOME, absent when unset
    bool tmpRead = false;
    std::string tmp;                  // ZIL_TMPDIR, empty when unset or empty
    bool languageRead = false;
    std::string language;
};

EnvState g_env;

const std::optional<std::string> &homeValue() {
    if (!g_env.homeRead) {
        const char *value = std::getenv("ZIL_HOME");
        if (value != nullptr) g_env.home = value;
        g_env.homeRead = true;
    }
    return g_env.home;
}

const std::string &tmpValue() {
    if (!g_env.tmpRead) {
        const char *value = std::getenv("ZIL_TMPDIR");
        if (value != nullptr) g_env.tmp = value;
        g_env.tmpRead = true;
    }
    return g_env.tmp;
}

// Length of the prefix `base` when path is exactly it or continues with "/" after it, else 0.
size_t prefixLength(const char *path, const char *base) {
    size_t n = std::strlen(base);
    if (std::strncmp(path, base, n) == 0 && (path[n] == '\0' || path[n] == '/')) return n;
    return 0;
}

// Looks keys up in one language map file; true when one of them was found.
bool lookUpLanguage(const std::string &file, const std::vector<std::string> &keys, std::string &out) {
    std::string text;
    if (!nyxLocMapReadFile(file, text, nullptr)) return false;
    std::vector<std::string> values(keys.size());
    std::vector<bool> found(keys.size(), false);
    std::string line;
    std::vector<std::string> tokens;
    size_t pos = 0;
    while (nyxLocMapNextLine(text, pos, line, nyxLocMap::kMaxLine) > 0) {
        if (line.empty() || line[0] == '#') continue;
        nyxLocMapTokens(line, tokens);
        if (tokens.size() < 2) continue;
        for (size_t k = 0; k < keys.size(); ++k) {
            if (!found[k] && tokens[0] == keys[k]) {
                values[k] = tokens[1];
                found[k] = true;
            }
        }
    }
    for (size_t k = 0; k < keys.size(); ++k) {
        if (found[k]) {
            out = values[k];
            return true;
        }
    }
    return false;
}

}  // namespace

const char *nyxLocMapLanguage() {
    if (!g_env.languageRead) {
        g_env.languageRead = true;
        g_env.language = "USASCII";
        const std::optional<std::string> &home = homeValue();
        if (home) {
            std::vector<std::string> keys;
            const char *lang = std::getenv("LANG");
            if (lang != nullptr && *lang != '\0') keys.emplace_back(lang);
            keys.emplace_back("$LANG");
            keys.emplace_back("default");
            std::string name;
            if (lookUpLanguage(*home + "/etc/cust/zil_lang_map", keys, name) ||
                lookUpLanguage(*home + "/pkgs/base/string_registry/zil_lang_map", keys, name))
                g_env.language = name;
        }
    }
    return g_env.language.c_str();
}

nyxHomeStatus nyxLocMapExpandHome(const char *path, char *buf, size_t size) {
    if (size == 0) return nyxHomeStatus::TooLong;
    buf[0] = '\0';
    if (path == nullptr) return nyxHomeStatus::Ok;
    std::string base;
    size_t skip = prefixLength(path, "/obol");
    if (skip == 0) skip = prefixLength(path, "$ZIL_HOME");
    if (skip != 0) {
        const std::optional<std::string> &home = homeValue();
        if (!home) return nyxHomeStatus::NotFound;
        base = *home;
    } else if ((skip = prefixLength(path, "/tmp")) != 0 && !tmpValue().empty()) {
        base = tmpValue();
    } else {
        size_t n = std::strlen(path);
        if (n + 1 > size) return nyxHomeStatus::TooLong;
        std::memcpy(buf, path, n + 1);
        return nyxHomeStatus::Ok;
    }
    // The rest of the path gets each "$LANG" replaced by the language name.
    std::string result = base;
    const char *rest = path + skip;
    while (*rest != '\0') {
        if (std::strncmp(rest, "$LANG", 5) == 0) {
            result += nyxLocMapLanguage();
            rest += 5;
        } else {
            result += *rest++;
        }
        if (result.size() + 1 > size) return nyxHomeStatus::TooLong;
    }
    if (result.size() + 1 > size) return nyxHomeStatus::TooLong;
    std::memcpy(buf, result.c_str(), result.size() + 1);
    return nyxHomeStatus::Ok;
}

void nyxLocMapResetEnvironment() { g_env = EnvState(); }
