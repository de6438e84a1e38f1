// The older stored form of selector sets (tag "nyxs1"): a stream of blank-separated tokens in
// which every name and every text is preceded by its length in bytes, in decimal, and one blank.
//
//   item                 written as
//   set                  "s " NAME BLOCK then the selectors, then "}"
//   library selector     "L " NAME BLOCK "} "
//   view name selector   "N " NAME(lib) NAME(cell) NAME(view) BLOCK "} "
//   view type selector   "T " NAME(lib) NAME(cell) NAME(type) BLOCK "} "
//   NAME                 "%zu %s " (length, blank, the bytes, blank)
//   BLOCK                nothing when there are no properties, else "A " ENTRY... "} "
//   ENTRY                LETTER " " NAME VALUE, then the BLOCK of the properties on it
//     B                  "0 " or "1 "
//     I                  "%d "
//     F                  "%-16.15g " (the float; read back exactly)
//     S, E, T, C         NAME (the text, length first)
//     D                  nothing (a deleted mark)
//     V                  nothing: a property without a value (it carries the block after it)
//
// The reader takes the stored set name as it comes (the set keeps the name it was opened by),
// checks names itself and skips an entry that fails with everything below it: a library
// selector needs a valid name, a view selector valid or empty library and cell names and a valid
// view name, a property a valid name; a number out of range skips its property. The file is
// damaged (4) when a token is missing or unknown, a length is not a number or exceeds the bytes
// left, a name is not followed by a blank or the end, or blocks nest deeper than kMaxNesting.
#include <cstdio>
#include <string_view>

#include "config/configInt.h"
#include "io/io.h"
#include "utils/fileio.h"

namespace nyxSelectorFile {

namespace {

// --- Writing ----------------------------------------------------------------------------------------

void putName(std::string &out, std::string_view name) {
    out += std::to_string(name.size());
    out += ' ';
    out += name;
    out += ' ';
}

void putBlock(std::string &out, const nyxPropList *list, int depth);

void putEntry(std::string &out, const nyxPropList *list, uint32_t i, int depth) {
    const nyxProp *p = nyxPropAt(list, i);
    const int32_t type = p->type();
    char letter = nyxTextFile::typeLetter(type);
    if (letter == 'N') letter = 'F';
    if (letter == 'U') letter = 'V';
    out += letter;
    out += ' ';
    putName(out, p->name());
    switch (type) {
    case nyxPropBoolean: out += p->intValue() != 0 ? "1 " : "0 "; break;
    case nyxPropInt: out += std::to_string(p->intValue()) + ' '; break;
    case nyxPropFloat: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%-16.15g ", static_cast<double>(p->floatValue()));
        out += buf;
        break;
    }
    case nyxPropString:
    case nyxPropExpression:
    case nyxPropTriplet:
    case nyxPropCaseTriplet: putName(out, p->stringValue()); break;
    default: break;
    }
    if (depth < kMaxNesting) putBlock(out, nyxPropsOnProp(list, i), depth + 1);
}

void putBlock(std::string &out, const nyxPropList *list, int depth) {
    bool any = false;
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        if (nyxPropAt(list, static_cast<uint32_t>(i)) == nullptr) continue;
        if (!any) out += "A ";
        any = true;
        putEntry(out, list, static_cast<uint32_t>(i), depth);
    }
    if (any) out += "} ";
}

// --- Reading ----------------------------------------------------------------------------------------

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where properties read go: a list of an object, a property (properties on it), or nowhere (an
// entry that was skipped).
struct Target {
    nyxPropList **list = nullptr;
    nyxPropOwner owner{};
    nyxPropList *parent = nullptr;
    uint32_t parentIndex = 0;
};

class OldReader {
public:
    explicit OldReader(std::string_view text) : d_text(text) {}

    cfidrErrorT read(nyxSelectorSet *set);

private:
    bool fail(cfidrErrorT code = 4) {
        if (d_err == 0) d_err = code;
        return false;
    }
    void skipBlanks() {
        while (d_pos < d_text.size() && isBlank(d_text[d_pos])) ++d_pos;
    }
    // The next non-blank character, or 0 at the end (not consumed).
    char peek() {
        skipBlanks();
        return d_pos < d_text.size() ? d_text[d_pos] : '\0';
    }
    char letter() {
        const char c = peek();
        if (c != '\0') ++d_pos;
        // A letter stands alone.
        if (d_pos < d_text.size() && !isBlank(d_text[d_pos])) return '\0';
        return c;
    }
    bool token(std::string_view &out);
    bool name(std::string_view &out);
    bool block(const Target &target, int depth);
    bool entry(char letter, const Target &target, int depth);
    bool selectorEnd() { return letter() == '}' || fail(); }

    std::string_view d_text;
    size_t d_pos = 0;
    cfidrErrorT d_err = 0;
};

bool OldReader::token(std::string_view &out) {
    skipBlanks();
    const size_t start = d_pos;
    while (d_pos < d_text.size() && !isBlank(d_text[d_pos])) ++d_pos;
    out = d_text.substr(start, d_pos - start);
    return !out.empty() || fail();
}

// A length, one blank, that many bytes, then a blank or the end.
bool OldReader::name(std::string_view &out) {
    std::string_view digits;
    if (!token(digits)) return false;
    int32_t length = 0;
    if (!nyxTextFile::parseInt(digits, length) || length < 0) return fail();
    if (d_pos >= d_text.size() || d_text[d_pos] != ' ') return fail();
    ++d_pos;
    if (static_cast<size_t>(length) > d_text.size() - d_pos) return fail();
    out = d_text.substr(d_pos, static_cast<size_t>(length));
    d_pos += static_cast<size_t>(length);
    if (d_pos < d_text.size() && !isBlank(d_text[d_pos])) return fail();
    return true;
}

bool OldReader::block(const Target &target, int depth) {
    if (depth > kMaxNesting || letter() != 'A') return fail();
    for (;;) {
        const char c = letter();
        if (c == '}') return true;
        if (!entry(c, target, depth)) return false;
    }
}

bool OldReader::entry(char letter, const Target &target, int depth) {
    std::string_view propName, text;
    if (!name(propName)) return false;
    nyxTextFile::Value value;
    bool usable = true;
    switch (letter) {
    case 'B':
    case 'I':
    case 'F':
        if (!token(text)) return false;
        usable = nyxTextFile::parseValue(letter == 'F' ? 'N' : letter, text, value);
        break;
    case 'S':
    case 'E':
    case 'T':
    case 'C':
        if (!name(text)) return false;
        nyxTextFile::parseValue(letter, text, value);
        break;
    case 'D': nyxTextFile::parseValue('D', "", value); break;
    case 'V': break;
    default: return fail();
    }
    const std::string propText(propName);
    usable = usable && (target.list != nullptr || target.parent != nullptr) &&
             nyxDMUtil::validName(propText.c_str());
    Target below;
    if (usable) {
        cfidrErrorT err = 0;
        nyxObjRef r;
        nyxPropList *list = nullptr;
        if (target.list != nullptr) {
            r = nyxPropCreate(*target.list, target.owner, propText.c_str(), &err);
            list = *target.list;
        } else {
            r = nyxPropCreateOnProp(target.parent, target.parentIndex, propText.c_str(), &err);
            list = nyxPropsOnProp(target.parent, target.parentIndex);
        }
        if (err == 0 && r.obj != nullptr) nyxTextFile::setValue(list, r.member, value, &err);
        if (err != 0) return fail(err == cfidrErrRecursiveBundle ? cfidrErrInternal : err);
        below.parent = list;
        below.parentIndex = r.member;
    }
    if (peek() == 'A') return block(below, depth + 1);
    return true;
}

cfidrErrorT OldReader::read(nyxSelectorSet *set) {
    std::string_view setName, lib, cell, view;
    if (letter() != 's') return cfidrErrInternal;
    if (!name(setName)) return d_err;
    Target own{&set->d_propList, set->propOwner()};
    if (peek() == 'A' && !block(own, 1)) return d_err;
    cfidrErrorT err = 0;
    for (;;) {
        const char c = letter();
        if (c == '}') return 0;
        if (c == 'L') {
            if (!name(lib)) return d_err;
            const std::string l(lib);
            Target target;
            if (nyxDMUtil::validName(l.c_str())) {
                nyxLibrarySelector *sel = nyxSelectorSet::appendLibrarySelector(set, l.c_str(), &err);
                if (sel == nullptr) return err;
                target = Target{&sel->d_propList, nyxSelectorSet::propOwner(sel)};
            }
            if (peek() == 'A' && !block(target, 1)) return d_err;
        } else if (c == 'N' || c == 'T') {
            if (!name(lib) || !name(cell) || !name(view)) return d_err;
            const std::string l(lib), ce(cell), v(view);
            auto validOrEmpty = [](const std::string &s) { return s.empty() || nyxDMUtil::validName(s.c_str()); };
            Target target;
            if (validOrEmpty(l) && validOrEmpty(ce) && nyxDMUtil::validName(v.c_str())) {
                const int32_t code = c == 'N' ? nyxCodeViewNameSelector : nyxCodeViewTypeSelector;
                nyxViewSelector *sel =
                    nyxSelectorSet::appendViewSelector(set, code, l.c_str(), ce.c_str(), v.c_str(), &err);
                if (sel == nullptr) return err;
                target = Target{&sel->d_propList, nyxSelectorSet::propOwner(sel)};
            }
            if (peek() == 'A' && !block(target, 1)) return d_err;
        } else {
            return cfidrErrInternal;
        }
        if (!selectorEnd()) return d_err;
    }
}

} // namespace

cfidrErrorT parseOld(nyxSelectorSet *set, std::string_view text) {
    OldReader reader(text);
    return reader.read(set);
}

std::string formatOld(const nyxSelectorSet *set) {
    std::string out = "s ";
    putName(out, set->nameObj());
    putBlock(out, set->d_propList, 1);
    for (const nyxLibrarySelector *l = set->librarySelectors(); l != nullptr; l = l->d_next) {
        out += "L ";
        putName(out, l->d_libName.getString());
        putBlock(out, l->d_propList, 1);
        out += "} ";
    }
    for (const nyxViewSelector *v = set->viewSelectors(); v != nullptr; v = v->d_next) {
        out += v->d_type == nyxCodeViewNameSelector ? "N " : "T ";
        putName(out, v->d_libName.getString());
        putName(out, v->d_cellName.getString());
        putName(out, v->d_viewName.getString());
        putBlock(out, v->d_propList, 1);
        out += "} ";
    }
    out += "}";
    return out;
}

void readOld(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    std::string text;
    const std::string file =
        std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kSelectorSetOld).ext;
    cfidrErrorT code = nyxTextFile::readWhole(file, text, 34);
    if (code == 0) code = parseOld(static_cast<nyxSelectorSet *>(obj), text);
    if (code != 0) *err = code;
}

void writeOld(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    writeText(path, nyxDMTypes::kSelectorSetOld, formatOld(static_cast<nyxSelectorSet *>(obj)), err);
}

void removeOld(const char *path, cfidrErrorT *err) {
    if (!nyxFileIO::removeAll(std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kSelectorSetOld).ext)) {
        *err = cfidrErrInternal;
    }
}

} // namespace nyxSelectorFile
