// Disk paths of libraries, cells and views: the library map (ZIL_NYX_LIBRARYMAP) and the
// location map.
//
// The variable is read once, on the first path request:
//   unset         the library name, converted to a hard path by the location map;
//   "."           the library name as one directory entry of the current directory;
//   a file name   rules "expression<tabs>replacement", tried in file order; the first rule whose
//                 expression matches the library name gives the replacement with the match
//                 substituted in, converted by the location map; no match: as when unset.
// The map file is read once and kept for the process. A map file that cannot be read whole
// (missing, not a regular file, unreadable, larger than kMaxMapFile) is reported on the standard
// error stream and gives no rules.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "dm/store/store.h"
#include "paths/paths.h"
#include "utils/fileio.h"
#include "utils/regexp.h"

namespace nyxDMUtil {
namespace {

enum class MapMode { Unread, Unset, CurrentDirectory, File };

struct Rule {
    std::unique_ptr<nyxRegexp> expression;
    std::string replacement;
};

MapMode g_mode = MapMode::Unread;
std::vector<Rule> g_rules;

// Lines longer than this are cut here; the rest of such a line is ignored.
constexpr size_t kMaxLine = 1023;
// A map file is a short text; anything larger is not read.
constexpr size_t kMaxMapFile = 16u << 20;

void parseRules(const std::string &text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, std::min(end - pos, kMaxLine));
        pos = end + 1;
        if (line.empty() || line[0] == '#') continue;
        size_t i = 0;
        while (i < line.size() && line[i] == '\t') ++i;
        size_t exprEnd = line.find('\t', i);
        // A line without a replacement field is not a rule.
        if (exprEnd == std::string::npos || exprEnd == i) continue;
        std::string expr = line.substr(i, exprEnd - i);
        size_t replStart = line.find_first_not_of('\t', exprEnd);
        if (replStart == std::string::npos) continue;
        size_t replEnd = line.find_first_of("\t\r", replStart);
        std::string replacement =
            line.substr(replStart, replEnd == std::string::npos ? std::string::npos : replEnd - replStart);
        std::string reason;
        std::unique_ptr<nyxRegexp> re = nyxRegexp::compile(expr.c_str(), &reason);
        if (re == nullptr) {
            std::fprintf(stderr, "regexp(3): %s\n", reason.c_str());
            continue;
        }
        g_rules.push_back(Rule{std::move(re), std::move(replacement)});
    }
}

// The map file's text; false, with the diagnostic, when it cannot be read whole. The file is
// looked at before it is opened, so that a directory, a pipe or a device is never opened.
bool readMapFile(const char *path, std::string &text) {
    struct stat st;
    const bool good = ::stat(path, &st) == 0 && S_ISREG(st.st_mode) &&
                      static_cast<uint64_t>(st.st_size) <= kMaxMapFile &&
                      nyxFileIO::readFile(path, text, kMaxMapFile);
    if (!good) std::fprintf(stderr, "Error:  Can't open library map file %s.\n", path);
    return good;
}

void readMapOnce() {
    if (g_mode != MapMode::Unread) return;
    const char *value = std::getenv("ZIL_NYX_LIBRARYMAP");
    // An empty value names no file: the same as unset (which is where a map without rules ends).
    if (value == nullptr || *value == '\0') {
        g_mode = MapMode::Unset;
    } else if (std::strcmp(value, ".") == 0) {
        g_mode = MapMode::CurrentDirectory;
    } else {
        g_mode = MapMode::File;
        std::string text;
        if (readMapFile(value, text)) parseRules(text);
    }
}

// A soft path converted to a hard path; the path itself when the location map gives nothing.
std::string hardPath(const std::string &path) {
    // Paths longer than the location map's buffers are taken as they are.
    if (path.size() >= kLocMapPathMax - 1) return path;
    char buf[kLocMapPathMax];
    const char *hard = nyxLocMapSoftToHard(path.c_str(), buf, sizeof buf);
    return hard != nullptr && *hard != '\0' ? std::string(hard) : path;
}

std::string libraryPart(const char *lib) {
    if (g_mode == MapMode::CurrentDirectory) return nyxDMPath::encodeName(lib);
    if (g_mode == MapMode::File) {
        for (Rule &rule : g_rules) {
            if (!rule.expression->exec(lib)) continue;
            std::string mapped;
            if (rule.expression->substitute(rule.replacement.c_str(), mapped)) {
                return mapped.empty() ? mapped : hardPath(mapped);
            }
        }
    }
    return *lib != '\0' ? hardPath(lib) : std::string();
}

} // namespace

char *getPathname(const char *lib, const char *cell, const char *view) {
    readMapOnce();
    std::string path = libraryPart(lib != nullptr ? lib : "");
    if (path.empty()) path = "/";
    if (cell != nullptr) {
        if (path.back() != '/') path += '/';
        path += nyxDMPath::encodeName(cell);
    }
    if (view != nullptr) path += "/" + nyxDMPath::encodeName(view);
    Hx_genheap *heap = nyx::getGlobalHeap();
    char *out = heap != nullptr ? static_cast<char *>(heap->allocate(path.size() + 1)) : nullptr;
    if (out != nullptr) std::memcpy(out, path.c_str(), path.size() + 1);
    return out;
}

bool libraryMapIsCurrentDirectory() {
    readMapOnce();
    return g_mode == MapMode::CurrentDirectory;
}

namespace {

// An automounter's staging prefix: "/tmp_mnt/x" is reached as "/x".
std::string withoutTmpMnt(std::string path) {
    constexpr char kTmpMnt[] = "/tmp_mnt/";
    if (path.compare(0, sizeof kTmpMnt - 1, kTmpMnt) == 0) path.erase(0, sizeof kTmpMnt - 2);
    return path;
}

// A hard path converted to a soft path; the path itself when the location map gives nothing.
std::string softPath(const std::string &path) {
    if (path.size() >= kLocMapPathMax - 1) return path;
    char buf[kLocMapPathMax];
    const char *soft = nyxLocMapHardToSoft(path.c_str(), buf, sizeof buf);
    return soft != nullptr && *soft != '\0' ? std::string(soft) : path;
}

} // namespace

char *getHardPath(const char *path) {
    if (path == nullptr) return getPathBuf(std::string());
    if (libraryMapIsCurrentDirectory()) return getPathBuf(path);
    return getPathBuf(withoutTmpMnt(hardPath(path)));
}

char *getSoftPath(const char *path) {
    if (path == nullptr) return getPathBuf(std::string());
    if (libraryMapIsCurrentDirectory()) return getPathBuf(path);
    return getPathBuf(withoutTmpMnt(softPath(path)));
}

void resetLibraryMap() {
    g_mode = MapMode::Unread;
    g_rules.clear();
}

void useLibraryMapText(const std::string &text) {
    resetLibraryMap();
    g_mode = MapMode::File;
    parseRules(text);
}

} // namespace nyxDMUtil
