// The stored form of design configurations (tag "nyxDesignConfig"): text, one record a line.
//
//   line                              record
//   #!header 1.0                      first line; any "#!header" line is skipped
//   #!selectionmode MODE              the selection mode, 0-2 (other values leave it as it was)
//   #!rootview PATH                   the root view: the soft path of its disk path
//   #!occpropset PATH                 a set of the list, in list order, by the same kind of path
//   #!prop NAME LETTER [VALUE]        a property of the configuration (letters of io/textfile.h)
//   # ...                             a comment (a "#" and a blank)
//
// The writer puts the lines in that order, the root view line only when there is a root view,
// and a property line for every property with a value letter (B, I, N, S, E, T, C, D). The
// reader tests a line's start against "#!header", "#!rootview", "#!selectionmode",
// "#!occpropset", "#!prop" in that order; other lines are ignored. Lines have any length (carriage
// returns at their end are dropped); the file is at most nyxTextFile::kMaxFile bytes.
//
// Fields. PATH is the rest of the line after the keyword and its blanks; VALUE is the rest of
// the line after the letter and one blank; NAME ends at the first blank or tab that no backslash
// precedes. Escapes: a backslash before a backslash, newline (written "\n"), carriage return
// ("\r") in every field, and before a blank or tab ("\t") in a name; the reader drops a backslash
// before any other character and keeps that character. Text without those characters is written
// as it stands, so files of ordinary names are unchanged by the escapes. A value holding a
// newline therefore stays on its line.
//
// A root view or set line whose path names nothing here is kept as it was read and written back
// unchanged in its place (see config.h, references). B and I values must be whole 32-bit
// integers, N values floats within +-1e37; a property line with a value out of range, with an
// unknown letter, or without a name is ignored.
#include <string_view>

#include "config/configInt.h"
#include "io/textfile.h"
#include "utils/fileio.h"

namespace nyxDesignConfigFile {

namespace {

bool startsWith(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && line.compare(0, key.size(), key) == 0;
}

size_t skipBlanks(std::string_view s, size_t at) {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\t')) ++at;
    return at;
}

// The end of the escaped name starting at `at`: the first blank or tab no backslash precedes.
size_t nameEnd(std::string_view s, size_t at) {
    while (at < s.size() && s[at] != ' ' && s[at] != '\t') at += s[at] == '\\' ? 2 : 1;
    return at < s.size() ? at : s.size();
}

// A "#!prop" line's fields (after the keyword); false only when memory ran out.
bool readProperty(nyxDesignConfig *config, std::string_view rest) {
    size_t at = skipBlanks(rest, 0);
    const size_t end = nameEnd(rest, at);
    const std::string name = unescape(rest.substr(at, end - at));
    at = skipBlanks(rest, end);
    const size_t letterEnd = nameEnd(rest, at);
    if (name.empty() || letterEnd == at) return true;
    const char letter = rest[at];
    // The value: everything after the letter's token and one blank.
    std::string_view raw = letterEnd < rest.size() ? rest.substr(letterEnd + 1) : std::string_view();
    nyxTextFile::Value value;
    if (!nyxTextFile::parseValue(letter, unescape(raw), value)) return true;
    cfidrErrorT err = 0;
    nyxTextFile::createProperty(config->d_propList, config->propOwner(), name.c_str(), value, &err);
    return err != cfidrErrInternal;
}

void appendProperties(std::string &out, const nyxPropList *list) {
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        const char letter = nyxTextFile::typeLetter(p->type());
        if (letter == 'U') continue;
        out += "#!prop ";
        out += escapeName(p->name());
        out += ' ';
        out += letter;
        switch (p->type()) {
        case nyxPropBoolean: out += p->intValue() != 0 ? " 1" : " 0"; break;
        case nyxPropInt: out += ' ' + std::to_string(p->intValue()); break;
        case nyxPropFloat: out += ' ' + nyxTextFile::formatFloat(p->floatValue()); break;
        case nyxPropDeleted: break;
        default: out += ' ' + escapeText(p->stringValue()); break;
        }
        out += '\n';
    }
}

} // namespace

std::string escapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string escapeName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == ' ') out += "\\ ";
        else if (c == '\t') out += "\\t";
        else out += escapeText(std::string_view(&c, 1));
    }
    return out;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            c = text[++i];
            if (c == 'n') c = '\n';
            else if (c == 'r') c = '\r';
            else if (c == 't') c = '\t';
        }
        out += c;
    }
    return out;
}

cfidrErrorT parse(nyxDesignConfig *config, std::string_view text) {
    nyxTextFile::Lines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (startsWith(line, "# ") || startsWith(line, "#!header")) continue;
        bool good = true;
        if (startsWith(line, "#!rootview") || startsWith(line, "#!occpropset")) {
            const bool root = line[2] == 'r';
            const std::string_view raw = line.substr(skipBlanks(line, root ? 10 : 12));
            if (raw.empty()) continue;
            const std::string path = unescape(raw);
            good = root ? config->setRootFromLine(raw, path) : config->appendSetFromLine(raw, path);
        } else if (startsWith(line, "#!selectionmode")) {
            std::string_view rest = line.substr(skipBlanks(line, 15));
            rest = rest.substr(0, nameEnd(rest, 0));
            int32_t mode = 0;
            if (nyxTextFile::parseInt(rest, mode) && mode >= 0 && mode <= 2) config->d_selectionMode = mode;
        } else if (startsWith(line, "#!prop")) {
            good = readProperty(config, line.substr(6));
        }
        if (!good) return cfidrErrInternal;
    }
    nyxDesignConfigStored(config, format(config));
    return 0;
}

std::string format(const nyxDesignConfig *config) {
    auto *c = const_cast<nyxDesignConfig *>(config);
    std::string out = "#!header 1.0\n#!selectionmode " + std::to_string(c->d_selectionMode) + "\n";
    if (c->rootRef() != nullptr) out += "#!rootview " + nyxDesignConfig::lineText(c->rootRef()) + "\n";
    for (int32_t i = 0; i < c->setRefs().nitems(); ++i) {
        auto *ref = static_cast<const nyxDesignConfigRef *>(c->setRefs()[i]);
        out += "#!occpropset " + nyxDesignConfig::lineText(ref) + "\n";
    }
    appendProperties(out, c->d_propList);
    return out;
}

void read(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    std::string text;
    const std::string file = std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kDesignConfig).ext;
    cfidrErrorT code = nyxTextFile::readWhole(file, text, cfidrErrInternal);
    if (code == 0) code = parse(static_cast<nyxDesignConfig *>(obj), text);
    if (code != 0) *err = code;
}

void write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    auto *config = static_cast<nyxDesignConfig *>(obj);
    const std::string text = format(config);
    cfidrErrorT code = 0;
    nyxSelectorFile::writeText(path, nyxDMTypes::kDesignConfig, text, &code);
    if (code != 0) return (void)(*err = code);
    // Inside a library save the file is replaced only when the whole save commits: a rollback
    // gives the configuration back what it knew of its file.
    const uint64_t hash = config->d_storedHash;
    const bool changed = config->d_changed;
    nyxFileIO::atRollback([config, hash, changed] {
        config->d_storedHash = hash;
        config->d_changed = changed;
    });
    nyxDesignConfigStored(config, text);
}

void remove(const char *path, cfidrErrorT *err) {
    const std::string file = std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kDesignConfig).ext;
    if (!nyxFileIO::removeAll(file)) *err = cfidrErrInternal;
}

} // namespace nyxDesignConfigFile
