// The current stored form of selector sets (tag "nyxSelectorSet"): text, one record a line.
//
//   line                                             record
//   #!header 1.0                                     first line; any "#!header" line is skipped
//   #!prop PROPERTY                                  a property of the set
//   #!libsel "LIB"   (#!libsel - for an empty name)  a library selector, in list order
//   #!libprop PROPERTY                               a property of the last library selector
//   #!viewnamesel "LIB" "CELL" "VIEW"                a view name selector ("" for an empty name)
//   #!viewtypesel "LIB" "CELL" "TYPE"                a view type selector
//   #!viewnameprop PROPERTY / #!viewtypeprop PROPERTY  a property of the last view selector
//   # ...                                            a comment (a "#" and a blank)
//
//   PROPERTY: "NAME" LETTER [VALUE], with the letters and values of io/textfile.h; strings,
//   expressions and triplets quoted.
//
// The writer puts the set's properties first, then each library selector followed by its
// properties, then each view selector followed by its properties. The reader tests a line's start
// against the keywords in the order "#!header", "#!libsel", "#!viewnamesel", "#!viewtypesel",
// "#!prop", "#!libprop", "#!viewnameprop", "#!viewtypeprop"; any other line, and any property line
// without a name, with an unknown letter or with a value out of range, is ignored. Missing tokens
// read as empty strings. Lines have any length; the file is at most nyxTextFile::kMaxFile bytes.
// Properties on properties are not part of this form.
#include <string_view>

#include "config/configInt.h"
#include "io/io.h"
#include "utils/fileio.h"

namespace nyxSelectorFile {

namespace {

bool startsWith(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && line.compare(0, key.size(), key) == 0;
}

// A property line onto a list; false only when memory ran out.
bool readProperty(std::string_view rest, nyxPropList *&list, const nyxPropOwner &owner) {
    nyxTextFile::Tokens tokens(rest);
    std::string name, letter, text;
    tokens.next(name);
    tokens.next(letter);
    tokens.next(text);
    nyxTextFile::Value value;
    if (name.empty() || letter.empty() || !nyxTextFile::parseValue(letter[0], text, value)) return true;
    cfidrErrorT err = 0;
    nyxTextFile::createProperty(list, owner, name.c_str(), value, &err);
    return err == 0;
}

void appendProperties(std::string &out, const char *keyword, const nyxPropList *list) {
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        out += keyword;
        out += ' ';
        nyxTextFile::appendQuoted(out, p->name());
        out += ' ';
        nyxTextFile::appendValue(out, list, static_cast<uint32_t>(i), true);
        out += '\n';
    }
}

// The directory part of a set's path is made before a write; a failure there is not reported
// (the directory may exist), only a file that cannot be written fails the save.
void makeDirectoryOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    nyxFileIO::makeDirectory(path.substr(0, slash), 0777);
}

} // namespace

cfidrErrorT parse(nyxSelectorSet *set, std::string_view text) {
    nyxLibrarySelector *lastLib = nullptr;
    nyxViewSelector *lastView = nullptr;
    nyxTextFile::Lines lines(text);
    std::string_view line;
    cfidrErrorT err = 0;
    while (lines.next(line)) {
        if (startsWith(line, "# ") || startsWith(line, "#!header")) continue;
        bool good = true;
        if (startsWith(line, "#!libsel")) {
            nyxTextFile::Tokens tokens(line.substr(8));
            std::string lib;
            tokens.next(lib);
            lastLib = nyxSelectorSet::appendLibrarySelector(set, lib.c_str(), &err);
            good = lastLib != nullptr;
        } else if (startsWith(line, "#!viewnamesel") || startsWith(line, "#!viewtypesel")) {
            const int32_t code = line[6] == 'n' ? nyxCodeViewNameSelector : nyxCodeViewTypeSelector;
            nyxTextFile::Tokens tokens(line.substr(13));
            std::string lib, cell, view;
            tokens.next(lib);
            tokens.next(cell);
            tokens.next(view);
            lastView = nyxSelectorSet::appendViewSelector(set, code, lib.c_str(), cell.c_str(),
                                                          view.c_str(), &err);
            good = lastView != nullptr;
        } else if (startsWith(line, "#!prop")) {
            nyxPropOwner owner = set->propOwner();
            good = readProperty(line.substr(6), set->d_propList, owner);
        } else if (startsWith(line, "#!libprop")) {
            if (lastLib != nullptr) {
                good = readProperty(line.substr(9), lastLib->d_propList,
                                    nyxSelectorSet::propOwner(lastLib));
            }
        } else if (startsWith(line, "#!viewnameprop") || startsWith(line, "#!viewtypeprop")) {
            if (lastView != nullptr) {
                good = readProperty(line.substr(14), lastView->d_propList,
                                    nyxSelectorSet::propOwner(lastView));
            }
        }
        if (!good) return cfidrErrInternal;
    }
    return 0;
}

std::string format(const nyxSelectorSet *set) {
    std::string out = "#!header 1.0\n";
    appendProperties(out, "#!prop", set->d_propList);
    for (const nyxLibrarySelector *l = set->librarySelectors(); l != nullptr; l = l->d_next) {
        const char *name = l->d_libName.getString();
        out += "#!libsel ";
        if (*name == '\0') out += '-';
        else nyxTextFile::appendQuoted(out, name);
        out += '\n';
        appendProperties(out, "#!libprop", l->d_propList);
    }
    for (const nyxViewSelector *v = set->viewSelectors(); v != nullptr; v = v->d_next) {
        const bool byName = v->d_type == nyxCodeViewNameSelector;
        out += byName ? "#!viewnamesel " : "#!viewtypesel ";
        nyxTextFile::appendQuoted(out, v->d_libName.getString());
        out += ' ';
        nyxTextFile::appendQuoted(out, v->d_cellName.getString());
        out += ' ';
        nyxTextFile::appendQuoted(out, v->d_viewName.getString());
        out += '\n';
        appendProperties(out, byName ? "#!viewnameprop" : "#!viewtypeprop", v->d_propList);
    }
    return out;
}

void read(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    std::string text;
    const std::string file =
        std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kSelectorSet).ext;
    cfidrErrorT code = nyxTextFile::readWhole(file, text, 34);
    if (code == 0) code = parse(static_cast<nyxSelectorSet *>(obj), text);
    if (code != 0) *err = code;
}

// Writes `text` to path + "." + the row's extension through the durable replacement.
void writeText(const char *path, int32_t row, const std::string &text, cfidrErrorT *err) {
    if (text.size() > nyxTextFile::kMaxFile) return (void)(*err = cfidrErrInternal);
    makeDirectoryOf(path);
    const std::string file = std::string(path) + "." + nyxDMTypes::row(row).ext;
    if (!nyxFileIO::saveFile(file, [&](nyxFileIO::Writer &out) { return out.put(text); })) *err = cfidrErrInternal;
}

void write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    writeText(path, nyxDMTypes::kSelectorSet, format(static_cast<nyxSelectorSet *>(obj)), err);
}

void remove(const char *path, cfidrErrorT *err) {
    if (!nyxFileIO::removeAll(std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kSelectorSet).ext)) {
        *err = cfidrErrInternal;
    }
}

} // namespace nyxSelectorFile
