// Private declarations of the location map (locmap*.cpp). The rest of the library uses paths.h.
//
// Map file format (text, one item per token; tokens are separated by blanks and tabs):
//
//   line                         meaning
//   ---------------------------  ------------------------------------------------------------------
//   # anything                   comment (also: empty lines)
//   ZIL_LOCATION_MAP_<v> [force] first line; <v> is 1 or 2; "force" (top-level file only) makes
//                                hard-to-soft fail for a path that no entry covers
//   $NAME [-t|-type WORD] [-s]   starts the entry of soft name $NAME; the options are version 2
//                                only: -t marks the entry typed, -s makes soft-to-hard pick the
//                                first hard name under which the path exists
//   /hard/dir ...                hard names of the current entry (absolute: "/", "\" or "X:"),
//                                on the entry line or the following lines, at most 20 per entry
//   INCLUDE path                 version 2: reads another map file (once); a leading $VAR in the
//                                path is replaced by the value of that environment variable
//
// A soft name that occurs again (later in the file or in an included file) is merged into its
// entry: its hard names follow the known ones, without repeats and within the limit of 20; -s and
// -t accumulate, and the type word of the first typed occurrence stays. An environment variable
// named like the identifier replaces the hard names (the map's are skipped with a warning).
//
// Invariants of a map after reading:
//   every entry's softName is "$" + identifier, and softName values are unique in the table;
//   1 <= |hardNames| <= kMaxHardNames for every entry that was read without error;
//   index_[e.softName] == position of e in entries_.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

struct nyxLocMapEntry {
    std::string softName;                // "$" and the identifier
    std::vector<std::string> hardNames;  // in map order; trailing separators removed
    std::string typeWord;                // the word after -t / -type of the first typed occurrence
    bool search = false;                 // -s
    bool typed = false;                  // -t / -type
    bool overridden = false;             // the environment variable of the identifier is set
};

class nyxLocMap {
public:
    static constexpr size_t kMaxHardNames = 20;
    static constexpr int kMaxIncludeDepth = 16;  // nesting of INCLUDE beyond the top-level file
    static constexpr size_t kMaxLine = 2048;     // bytes of a map line, without its newline
    static constexpr size_t kCacheLimit = 1024;  // remembered conversions per direction
    static constexpr size_t kMaxFileBytes = size_t(256) << 20;  // a larger map file is not read

    // Locates the map file (ZIL_LOCATION_MAP, then the search order) and reads it, unless done.
    void ensureLoaded();

    // Reads a map file as the top-level map; diagnostics go to stderr. False when an error ended
    // the reading (the entries read before it stay). Each file is read whole through the file
    // layer before any of it is parsed, so a file whose read fails adds nothing to the map.
    bool readFile(const std::string &path);
    // Reads a map held in memory as the top-level map; name is used in diagnostics.
    bool readText(const std::string &text, const std::string &name);

    // The conversions of paths.h, on this map (which is loaded first if it is not yet).
    char *softToHard(const char *path, char *buf, size_t size);
    const char *hardToSoft(const char *path, char *buf, size_t size);

    void clearCache();
    void markDisabled() { loaded_ = true; disabled_ = true; }

    bool disabled() const { return disabled_; }
    bool force() const { return force_; }
    const std::string &fileName() const { return fileName_; }
    const std::vector<nyxLocMapEntry> &entries() const { return entries_; }
    const nyxLocMapEntry *findEntry(const std::string &softName) const;

private:
    friend class nyxLocMapReader;

    const nyxLocMapEntry *matchSoft(const std::string &path) const;
    bool mapSoft(const std::string &path, std::string &out);
    bool mapHard(const std::string &path, std::string &out);

    bool loaded_ = false;
    bool disabled_ = false;
    bool force_ = false;
    std::string fileName_;
    std::vector<nyxLocMapEntry> entries_;
    std::unordered_map<std::string, size_t> index_;
    std::vector<std::string> included_;  // map files read so far, as named
    std::vector<std::pair<unsigned long, unsigned long>> includedIds_;  // (device, inode) of each
    std::unordered_map<std::string, std::string> softCache_, hardCache_;
};

// The process-wide map behind the functions of paths.h.
nyxLocMap &nyxLocMapGlobal();

// Writes one diagnostic line to the standard error stream.
void nyxLocMapReport(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Sends the diagnostics to another stream (null: back to stderr); the fuzz target silences them.
void nyxLocMapSetReportStream(FILE *stream);

// Reads a whole map or language map file into text through the file layer (no blocking open, a
// regular file only, at most nyxLocMap::kMaxFileBytes). False when it cannot be opened or read;
// text is then empty. devIno (when not null) receives the file's identity.
bool nyxLocMapReadFile(const std::string &path, std::string &text, std::pair<unsigned long, unsigned long> *devIno);

// Takes the line that starts at pos in text: at most maxLength bytes, newline removed; pos moves
// past it. Returns 1 for a line, 0 at the end of the text, -1 for a longer line (line then holds
// its first maxLength bytes; readers stop there).
int nyxLocMapNextLine(const std::string &text, size_t &pos, std::string &line, size_t maxLength);

// Splits a line into tokens separated by blanks, tabs, carriage returns and NUL bytes.
void nyxLocMapTokens(const std::string &line, std::vector<std::string> &tokens);

// Path helpers shared by the conversions and the reader.
inline bool nyxLocMapIsSep(char c) { return c == '/' || c == '\\'; }
bool nyxLocMapIsAbsolute(const char *path);

// Forgets the values read once from the environment (locmap_env.cpp).
void nyxLocMapResetEnvironment();
