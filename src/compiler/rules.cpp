// The compiler rules: which compiler serves which view type, read from the rules file on first
// need (the file and its line format are described in compiler.h).
//
// The list is process-wide, like the option word it depends on; the release clears it
// (install.cpp), so a new session reads the file again.
//   list:      priority(r) <= priority(r->next) for every rule r
//   equal:     of two rules of equal priority, the one from the later line comes first
//   g_read:    a rules file was read into the list (which may still be empty); false after
//              clearRules and while the file cannot be opened
//   g_readBit: the schematic bit the list was read under; meaningful only while g_read
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/compiler.h"
#include "io/textfile.h"
#include "paths/paths.h"
#include "utils/settings.h"

void (*nyxCompilerIntf::beforeRulesCleared)() = nullptr;

namespace {

constexpr size_t kMaxLine = 1023; // longest line taken, newline excluded

nyxCompilerRule *g_rules = nullptr;
bool g_read = false;
bool g_readBit = false;
// Paths whose open failure was reported in this session (reset by clearRules), so that a missing
// file costs one line, not one per cell entry looked up.
std::set<std::string> *g_reported = nullptr;

bool schematicMode() {
    return nyxSettings::hasNameOption(nyxSettings::kSchematicCompilerMode);
}

std::string homeDirectory() {
    const char *home = std::getenv("ZIL_HOME");
    return home != nullptr ? home : "/obol";
}

std::string rulesPath() {
    const char *path = std::getenv("ZIL_NYX_COMPILER_RULES");
    if (path != nullptr) return path;
    return homeDirectory() +
           (schematicMode() ? "/lib/svcCompilers.rules" : "/lib/nyxCompilers.rules");
}

// A compiler path as a rule keeps it: "NONE" as it is; else a leading "$ZIL_HOME" (followed by
// "/" or nothing) replaced by the home directory, then the hard path through the location map
// (the path itself when the map gives nothing).
std::string compilerPath(std::string_view text) {
    std::string path(text);
    if (path == "NONE") return path;
    constexpr std::string_view kHome = "$ZIL_HOME";
    if (path.compare(0, kHome.size(), kHome) == 0 &&
        (path.size() == kHome.size() || path[kHome.size()] == '/')) {
        path = homeDirectory() + path.substr(kHome.size());
    }
    if (path.empty() || path.size() >= kLocMapPathMax - 1) return path;
    char buf[kLocMapPathMax];
    const char *hard = nyxLocMapSoftToHard(path.c_str(), buf, sizeof buf);
    return hard != nullptr && *hard != '\0' ? std::string(hard) : path;
}

// atoi's reading of a priority (leading blanks, a sign, digits, anything after ignored; 0 for no
// digits), clamped to 32 bits instead of undefined on overflow.
int32_t priorityOf(const std::string &text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Tokens of a rules line: separated by blanks, tabs, CR and newlines.
std::vector<std::string_view> tokensOf(std::string_view line) {
    std::vector<std::string_view> tokens;
    size_t pos = 0;
    while (tokens.size() < 3) {
        pos = line.find_first_not_of(" \t\r\n", pos);
        if (pos == std::string_view::npos) break;
        size_t end = line.find_first_of(" \t\r\n", pos);
        if (end == std::string_view::npos) end = line.size();
        tokens.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return tokens;
}

// Inserts before the first rule whose priority is greater than or equal to its own.
void insertRule(nyxCompilerRule *rule) {
    nyxCompilerRule **at = &g_rules;
    while (*at != nullptr && (*at)->priority < rule->priority)
        at = &(*at)->next;
    rule->next = *at;
    *at = rule;
}

void addLine(std::string_view line) {
    // A line's text ends at a NUL byte, as a C string read by line would.
    line = line.substr(0, line.find('\0'));
    if (!line.empty() && line[0] == '#') return;
    std::vector<std::string_view> tokens = tokensOf(line);
    if (tokens.size() < 2) return;
    auto rule = std::make_unique<nyxCompilerRule>();
    rule->viewType = std::string(tokens[0]);
    rule->compiler = compilerPath(tokens[1]);
    if (tokens.size() > 2) rule->priority = priorityOf(std::string(tokens[2]));
    insertRule(rule.release());
}

void readRulesFile() {
    const std::string path = rulesPath();
    std::string text;
    if (nyxTextFile::readWhole(path, text, cfidrErrNotFound) != 0) {
        if (g_reported == nullptr) g_reported = new std::set<std::string>;
        if (g_reported->insert(path).second) {
            std::fprintf(stderr, "NYX: Unable to open the NYX compiler rules file \"%s\"\n",
                         path.c_str());
        }
        return;
    }
    g_read = true;
    nyxTextFile::Lines lines(text);
    std::string_view line;
    for (int32_t number = 1; lines.next(line); ++number) {
        if (line.size() > kMaxLine) {
            std::fprintf(stderr,
                         "NYX: Line %d of the compiler rules file \"%s\" is longer than %zu "
                         "bytes: skipped\n",
                         static_cast<int>(number), path.c_str(), kMaxLine);
            continue;
        }
        addLine(line);
    }
}

} // namespace

void nyxCompilerIntf::getRules() {
    if (g_read && g_readBit != schematicMode()) {
        if (beforeRulesCleared != nullptr) beforeRulesCleared();
        clearRules();
    }
    if (g_read) return;
    g_readBit = schematicMode();
    try {
        readRulesFile();
    } catch (const std::bad_alloc &) {
        // Memory ran out: the rules read so far stay, in order.
    }
}

nyxCompilerRule *nyxCompilerIntf::getCompilerList() {
    getRules();
    return g_rules;
}

nyxCompilerRule *nyxCompilerIntf::findCompiler(const char *viewType) {
    if (viewType == nullptr) return nullptr;
    for (nyxCompilerRule *r = getCompilerList(); r != nullptr; r = r->next) {
        if (r->viewType == viewType) return r;
    }
    return nullptr;
}

int32_t nyxCompilerIntf::ruleRank(const char *viewType) {
    if (viewType == nullptr) return -1;
    int32_t rank = 0;
    for (nyxCompilerRule *r = getCompilerList(); r != nullptr; r = r->next, ++rank) {
        if (r->viewType == viewType) return rank;
    }
    return -1;
}

int32_t nyxCompilerIntf::topPriority() {
    nyxCompilerRule *first = getCompilerList();
    return first != nullptr ? first->priority : 0;
}

void nyxCompilerIntf::setCompiler(const char *path) {
    nyxCompilerRule *first = getCompilerList();
    if (first == nullptr || path == nullptr) return;
    first->compiler = compilerPath(path);
    // The old process, if any, stays in the process table, which stops it once.
    first->proc = nullptr;
}

void nyxCompilerIntf::setHostname(const char *host) {
    nyxCompilerRule *first = getCompilerList();
    if (first == nullptr || host == nullptr) return;
    first->hostName = host;
}

void nyxCompilerIntf::clearRules() {
    while (g_rules != nullptr) {
        nyxCompilerRule *next = g_rules->next;
        delete g_rules;
        g_rules = next;
    }
    g_read = false;
    delete g_reported;
    g_reported = nullptr;
}
