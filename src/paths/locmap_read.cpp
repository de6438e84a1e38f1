// Reading location map files (format in locmap_int.h). Map files are treated as hostile input:
// they are read through the file layer (regular files only, opened without blocking, at most
// kMaxFileBytes), lines are bounded, a file is read at most once, and INCLUDE nests at most
// kMaxIncludeDepth files deep, so no map can make the reader loop or block.
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "paths/locmap_int.h"
#include "utils/fileio.h"

static FILE *g_reportStream = nullptr;  // null: the standard error stream

void nyxLocMapSetReportStream(FILE *stream) { g_reportStream = stream; }

void nyxLocMapReport(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(g_reportStream != nullptr ? g_reportStream : stderr, format, args);
    va_end(args);
}

bool nyxLocMapReadFile(const std::string &path, std::string &text, std::pair<unsigned long, unsigned long> *devIno) {
    text.clear();
    nyxFileIO::Reader in;
    if (!in.open(path) || in.size() > nyxLocMap::kMaxFileBytes) return false;
    text.resize(static_cast<size_t>(in.size()));
    long n = in.readAt(0, text.data(), text.size());
    if (n < 0) {
        text.clear();
        return false;
    }
    text.resize(static_cast<size_t>(n));  // The file shrank: keep what was read.
    if (devIno != nullptr) {
        auto id = in.identity();
        *devIno = {static_cast<unsigned long>(id.first), static_cast<unsigned long>(id.second)};
    }
    return true;
}

int nyxLocMapNextLine(const std::string &text, size_t &pos, std::string &line, size_t maxLength) {
    line.clear();
    if (pos >= text.size()) return 0;
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    if (end - pos > maxLength) {
        line.assign(text, pos, maxLength);
        pos = text.size();
        return -1;
    }
    line.assign(text, pos, end - pos);
    pos = end < text.size() ? end + 1 : end;
    return 1;
}

void nyxLocMapTokens(const std::string &line, std::vector<std::string> &tokens) {
    tokens.clear();
    size_t i = 0;
    const size_t n = line.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; };
    while (i < n) {
        while (i < n && blank(line[i])) ++i;
        size_t start = i;
        while (i < n && !blank(line[i])) ++i;
        if (i > start) tokens.emplace_back(line, start, i - start);
    }
}

bool nyxLocMapIsAbsolute(const char *path) {
    if (nyxLocMapIsSep(path[0])) return true;
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// One reading of a top-level map file and the files it includes.
class nyxLocMapReader {
public:
    explicit nyxLocMapReader(nyxLocMap &map) : map_(map) {}

    bool readFile(const std::string &path, int depth);
    bool readText(const std::string &text, const std::string &name, int depth);

private:
    bool versionLine(const std::vector<std::string> &tokens, const std::string &name, int depth, int &version);
    bool startEntry(const std::vector<std::string> &tokens, size_t &i, const std::string &name, int version);
    bool addHardName(const std::string &token, const std::string &name);
    bool finishEntry(const std::string &name);
    bool include(const std::vector<std::string> &tokens, size_t &i, const std::string &name, int depth);

    nyxLocMap &map_;
    long current_ = -1;       // entry of the occurrence being read, or -1
    size_t listed_ = 0;       // hard names listed for the current occurrence
    bool warned_ = false;     // override warning printed for the current occurrence
};

bool nyxLocMapReader::readFile(const std::string &path, int depth) {
    std::pair<unsigned long, unsigned long> id{0, 0};
    std::string text;
    if (!nyxLocMapReadFile(path, text, &id)) {
        nyxLocMapReport("Error:  Can't open location map file %s.\n", path.c_str());
        return false;
    }
    map_.included_.push_back(path);
    map_.includedIds_.push_back(id);
    return readText(text, path, depth);
}

bool nyxLocMapReader::readText(const std::string &text, const std::string &name, int depth) {
    std::string line;
    std::vector<std::string> tokens;
    int version = 0;
    size_t pos = 0;
    current_ = -1;
    for (;;) {
        int got = nyxLocMapNextLine(text, pos, line, nyxLocMap::kMaxLine);
        if (got == 0) break;
        if (got < 0) {
            if (version == 0) {
                nyxLocMapReport("Error:  Syntax error in location map file %s at first line.\n", name.c_str());
            } else {
                nyxLocMapReport("Error:  Syntax error in location map file %s at \"%.40s\".\n", name.c_str(),
                                line.c_str());
            }
            return false;
        }
        if (line.empty() || line[0] == '#') continue;
        nyxLocMapTokens(line, tokens);
        if (tokens.empty()) continue;
        if (version == 0) {
            if (!versionLine(tokens, name, depth, version)) return false;
            continue;
        }
        for (size_t i = 0; i < tokens.size(); ++i) {
            const std::string &token = tokens[i];
            bool ok;
            if (token[0] == '$') {
                ok = finishEntry(name) && startEntry(tokens, i, name, version);
            } else if (version == 2 && token == "INCLUDE") {
                ok = finishEntry(name) && include(tokens, i, name, depth);
            } else if (current_ < 0) {
                nyxLocMapReport("Error:  Syntax error in location map file %s at \"%s\".\n", name.c_str(),
                                token.c_str());
                ok = false;
            } else {
                ok = addHardName(token, name);
            }
            if (!ok) return false;
        }
    }
    if (version == 0) {
        nyxLocMapReport("Error:  Syntax error in location map file %s at first line.\n", name.c_str());
        return false;
    }
    return finishEntry(name);
}

bool nyxLocMapReader::versionLine(const std::vector<std::string> &tokens, const std::string &name, int depth,
                                  int &version) {
    static const char kPrefix[] = "ZIL_LOCATION_MAP_";
    const std::string &token = tokens[0];
    if (token == std::string(kPrefix) + "1") {
        version = 1;
    } else if (token == std::string(kPrefix) + "2") {
        version = 2;
    } else {
        nyxLocMapReport("Error:  Syntax error in location map file %s at version specification \"%s\".\n",
                        name.c_str(), token.c_str());
        return false;
    }
    if (depth == 0 && tokens.size() > 1 && tokens[1] == "force") map_.force_ = true;
    return true;
}

bool nyxLocMapReader::startEntry(const std::vector<std::string> &tokens, size_t &i, const std::string &name,
                                 int version) {
    const std::string &token = tokens[i];
    const char *ident = token.c_str() + 1;
    bool valid = *ident != '\0' && !std::isdigit(static_cast<unsigned char>(*ident));
    for (const char *p = ident; valid && *p != '\0'; ++p)
        valid = std::isalnum(static_cast<unsigned char>(*p)) || *p == '_';
    if (!valid) {
        nyxLocMapReport("Error:  Syntax error in soft name prefix at \"%s\".\n", token.c_str());
        return false;
    }
    auto found = map_.index_.find(token);
    if (found == map_.index_.end()) {
        // The table starts at 2048 entries and doubles, so reading n names moves O(n) entries.
        if (map_.entries_.size() == map_.entries_.capacity())
            map_.entries_.reserve(std::max<size_t>(2048, 2 * map_.entries_.size()));
        map_.entries_.emplace_back();
        map_.entries_.back().softName = token;
        found = map_.index_.emplace(token, map_.entries_.size() - 1).first;
    }
    current_ = static_cast<long>(found->second);
    listed_ = 0;
    warned_ = false;
    nyxLocMapEntry &entry = map_.entries_[found->second];

    const char *value = std::getenv(ident);
    if (value != nullptr && *value != '\0') {
        std::string hard(value);
        while (hard.size() > 1 && nyxLocMapIsSep(hard.back())) hard.pop_back();
        entry.overridden = true;
        entry.hardNames.assign(1, hard);
    }

    // Options of a version 2 entry line: -t / -type WORD and -s.
    while (version == 2 && i + 1 < tokens.size()) {
        const std::string &option = tokens[i + 1];
        if (option == "-s") {
            entry.search = true;
            ++i;
        } else if (option == "-t" || option == "-type") {
            if (i + 2 >= tokens.size()) {
                nyxLocMapReport("Error:  Syntax error in location map file %s at \"%s\".\n", name.c_str(),
                                option.c_str());
                return false;
            }
            if (!entry.typed) entry.typeWord = tokens[i + 2];
            entry.typed = true;
            i += 2;
        } else {
            break;
        }
    }
    return true;
}

bool nyxLocMapReader::addHardName(const std::string &token, const std::string &name) {
    nyxLocMapEntry &entry = map_.entries_[static_cast<size_t>(current_)];
    ++listed_;
    if (entry.overridden) {
        if (!warned_) {
            nyxLocMapReport("Warning:  Environment variable override for %s in location map file %s.\n",
                            entry.softName.c_str(), name.c_str());
            warned_ = true;
        }
        return true;
    }
    if (!nyxLocMapIsAbsolute(token.c_str())) {
        nyxLocMapReport("Error:  Syntax error in location map file %s at \"%s\".\n", name.c_str(), token.c_str());
        return false;
    }
    // "/a/b/" and "/a/b" name the same directory; keeping one spelling lets both conversions
    // match at separator boundaries.
    std::string hard(token);
    while (hard.size() > 1 && nyxLocMapIsSep(hard.back())) hard.pop_back();
    for (const std::string &known : entry.hardNames)
        if (known == hard) return true;  // a repeated soft name lists a directory again
    if (entry.hardNames.size() >= nyxLocMap::kMaxHardNames) {
        nyxLocMapReport("Error:  Too many names in location map file %s at \"%s\".\n", name.c_str(), token.c_str());
        return false;
    }
    entry.hardNames.push_back(std::move(hard));
    return true;
}

bool nyxLocMapReader::finishEntry(const std::string &name) {
    if (current_ < 0) return true;
    const nyxLocMapEntry &entry = map_.entries_[static_cast<size_t>(current_)];
    current_ = -1;
    if (listed_ == 0 && !entry.overridden) {
        nyxLocMapReport("Error:  Syntax error in location map file %s.\n", name.c_str());
        return false;
    }
    return true;
}

bool nyxLocMapReader::include(const std::vector<std::string> &tokens, size_t &i, const std::string &name,
                              int depth) {
    if (i + 1 >= tokens.size()) {
        nyxLocMapReport("Error:  Syntax error in location map file %s at \"%s\".\n", name.c_str(), tokens[i].c_str());
        return false;
    }
    std::string path = tokens[++i];
    if (path[0] == '$') {
        size_t end = 1;
        while (end < path.size() && (std::isalnum(static_cast<unsigned char>(path[end])) || path[end] == '_')) ++end;
        std::string var = path.substr(1, end - 1);
        const char *value = var.empty() ? nullptr : std::getenv(var.c_str());
        if (value == nullptr) {
            nyxLocMapReport("Error:  Undefined environment variable \"%s\" in location map file %s.\n", var.c_str(),
                            name.c_str());
            return false;
        }
        path = value + path.substr(end);
    }
    for (const std::string &seen : map_.included_)
        if (seen == path) return true;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        std::pair<unsigned long, unsigned long> id{static_cast<unsigned long>(st.st_dev),
                                                   static_cast<unsigned long>(st.st_ino)};
        for (const auto &seen : map_.includedIds_)
            if (seen == id) return true;  // the same file under another name
    }
    if (depth + 1 > nyxLocMap::kMaxIncludeDepth) {
        nyxLocMapReport("Error:  Too many nested includes in location map file %s.\n", name.c_str());
        return false;
    }
    nyxLocMapReader nested(map_);
    return nested.readFile(path, depth + 1);
}

bool nyxLocMap::readFile(const std::string &path) {
    loaded_ = true;
    nyxLocMapReader reader(*this);
    return reader.readFile(path, 0);
}

bool nyxLocMap::readText(const std::string &text, const std::string &name) {
    loaded_ = true;
    included_.push_back(name);
    nyxLocMapReader reader(*this);
    return reader.readText(text, name, 0);
}
