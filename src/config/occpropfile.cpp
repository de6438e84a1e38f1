// The stored form of occurrence property sets (tag "nyxOccPropSet"): text, one record a line.
//
//   line                                    record
//   #!header 2.0                            first line; any "#!header" line is skipped
//   #!prop NAME L VALUE                     a property of the set; VALUE is the rest of the line
//   #!context PATHNAME [OCCURRENCE LINE]    the instance node the following names are under
//   NAME[SUFFIX] [L PROPERTY VALUE]         a node under the context (or absolute when NAME
//                                           starts with "/"), with one property or none
//   # ...                                   a comment (a "#" and a blank)
//
//   SUFFIX: none (instance node), ":net" (net node), ":pin" (port node; NAME is then the port
//   name, ":" and the member pathname). The kind is the first letter after the last unescaped
//   ":" of the name field: n/N net, p/P port, anything else instance.
//   L: the letters of io/textfile.h, either case for B, I, N, S; a property without a value is
//   written with "U" and read back without one. On node lines string values
//   (S, E, T, C) are quoted as textfile.h quotes; on "#!prop" lines they are the rest of the line
//   with "\\", "\n" and "\r" standing for a backslash, newline and carriage return.
//
// Writing: the header, the set's properties, then for the root and every instance node in
// pre-order a "#!context" line and, for each child instance node, net node and port node (each
// connector in list order), one line per property or the bare name when it has none. Names and
// pathnames take a backslash before "\\", blank, tab and ":" (every ":" in a name field, ":"
// outside brackets in a context), "/" inside a name and a "#" that starts a field; ordinary
// names are written as they are. An empty string value is written on a "#!prop" line as the
// letter and a blank.
//
// Reading keeps the order of the file: every connector lists its nodes in the order they first
// appear, so a write and a read change nothing. Lines of any length; at most nyxTextFile::kMaxFile
// bytes. Lines that name nothing, whose names fail the name rule, whose second field starts with
// a digit, that lack the property name or value, or whose value is out of range, are skipped.
// A letter that is not known creates the property without a value.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "config/occpropInt.h"
#include "io/io.h"
#include "utils/fileio.h"

namespace nyxOccPropFile {

namespace {

bool startsWith(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && line.compare(0, key.size(), key) == 0;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

// The next field of a line: blanks and tabs end it unless escaped; escapes are kept.
std::string_view field(std::string_view line, size_t &pos) {
    while (pos < line.size() && blank(line[pos])) ++pos;
    const size_t start = pos;
    while (pos < line.size() && !blank(line[pos])) pos += line[pos] == '\\' && pos + 1 < line.size() ? 2 : 1;
    return line.substr(start, pos - start);
}

std::string unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A "#!prop" value: "\\", "\n", "\r" stand for their characters; other backslashes are kept.
std::string unescapeRest(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == '\\' || next == 'n' || next == 'r')) {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A quoted value: unescaped double quotes go, a backslash takes the next character.
std::string unquote(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') continue;
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The place of the last ":" of a field that is not escaped, or npos.
size_t lastColon(std::string_view text) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') ++i;
        else if (text[i] == ':') found = i;
    }
    return found;
}

bool allValid(const std::vector<std::string> &names) {
    return std::all_of(names.begin(), names.end(), [](const std::string &n) { return nyxDMUtil::validName(n); });
}

bool knownLetter(char c) { return std::strchr("BbIiNnSsETCDU", c) != nullptr; }

// Sets a property (the one of that name on the list, else a new one); false when memory ran out.
bool putProperty(nyxPropList *&list, const nyxPropOwner &owner, const std::string &name, char letter,
                 std::string_view text) {
    if (!nyxDMUtil::validName(name)) return true;
    nyxTextFile::Value value;
    if (knownLetter(letter) && letter != 'U' && !nyxTextFile::parseValue(letter, text, value)) return true;
    cfidrErrorT err = 0;
    nyxObjRef found = nyxPropFind(list, name.c_str(), &err);
    if (found.obj != nullptr) {
        err = 0;
        nyxTextFile::setValue(list, found.member, value, &err);
        return err == 0;
    }
    err = 0;
    nyxTextFile::createProperty(list, owner, name.c_str(), value, &err);
    return err == 0;
}

struct Reader {
    nyxOccPropSet *set;
    std::vector<std::string> context;

    bool propLine(std::string_view line) {
        size_t pos = 0;
        const std::string name = unescape(field(line, pos));
        const std::string_view letter = field(line, pos);
        if (name.empty() || letter.empty()) return true;
        std::string_view rest = pos < line.size() ? line.substr(pos + 1) : std::string_view{};
        const bool text = std::strchr("SsETC", letter[0]) != nullptr;
        const std::string value = text ? unescapeRest(rest) : std::string(field(rest, pos = 0));
        if (!text && value.empty() && letter != "D" && letter != "U") return true;
        nyxPropOwner owner = set->propOwner();
        return putProperty(set->d_propList, owner, name, letter[0], value);
    }

    // The names of a name field, made absolute; false when they are not usable.
    bool names(std::string_view text, std::vector<std::string> &out) const {
        out = text.empty() || text[0] != '/' ? context : std::vector<std::string>{};
        for (std::string &n : nyxOccPropPath::parse(text)) out.push_back(std::move(n));
        return !out.empty() && allValid(out);
    }

    bool occurrenceLine(std::string_view line) {
        size_t pos = 0;
        std::string_view name = field(line, pos);
        if (name.empty()) return true;
        const std::string_view letter = field(line, pos);
        if (!letter.empty() && std::isdigit(static_cast<unsigned char>(letter[0]))) return true;
        const std::string prop = unescape(field(line, pos));
        while (pos < line.size() && blank(line[pos])) ++pos;
        const std::string_view value = line.substr(std::min(pos, line.size()));
        if (!letter.empty() && (prop.empty() || (value.empty() && letter != "D" && letter != "U"))) return true;

        int32_t code = nyxCodeViewOccProp;
        const size_t colon = lastColon(name);
        std::vector<std::string> member;
        if (colon != std::string_view::npos) {
            const char kind = name[colon + 1 < name.size() ? colon + 1 : colon];
            if (kind == 'n' || kind == 'N') code = nyxCodeNetOccProp;
            if (kind == 'p' || kind == 'P') code = nyxCodePortOccProp;
            name = name.substr(0, colon);
            if (code == nyxCodePortOccProp) {
                const size_t cut = lastColon(name);
                if (cut != std::string_view::npos) {
                    member = nyxOccPropPath::parse(name.substr(cut + 1));
                    name = name.substr(0, cut);
                    if (!allValid(member)) return true;
                }
            }
        }
        std::vector<std::string> path;
        if (!names(name, path)) return true;
        const std::string leaf = code == nyxCodePortOccProp ? nyxOccPropPath::internalPortName(path.back(), member) : path.back();
        cfidrErrorT err = 0;
        nyxOccPropNode *node = nyxOccPropSet::makeNode(set, code, path, leaf, &err);
        if (node == nullptr) return false;
        if (letter.empty()) return true;
        const bool text = std::strchr("SsETC", letter[0]) != nullptr;
        return putProperty(node->d_propList, nyxOccPropSet::propOwner(node), prop, letter[0],
                           text ? unquote(value) : std::string(value));
    }

    bool contextLine(std::string_view rest) {
        size_t pos = 0;
        const std::string_view token = field(rest, pos);
        context = nyxOccPropPath::parse(token);
        if (!allValid(context)) context.clear();
        return occurrenceLine(rest.substr(pos));
    }
};

// Reverses every connector of the tree, so that lists built newest first come out in file order.
void reverseAll(nyxOccPropInst *root) {
    std::vector<nyxOccPropInst *> stack{root};
    while (!stack.empty()) {
        nyxOccPropInst *inst = stack.back();
        stack.pop_back();
        for (nyxOccPropConnector *c : {&inst->d_insts, &inst->d_nets, &inst->d_ports}) {
            nyxOccPropNode *prev = nullptr;
            for (nyxOccPropNode *n = c->d_head; n != nullptr;) {
                nyxOccPropNode *next = n->d_next;
                n->d_next = prev;
                prev = n;
                n = next;
            }
            c->d_head = prev;
            c->d_cursor = -1;
        }
        for (nyxOccPropNode *n = inst->d_insts.d_head; n != nullptr; n = n->d_next) {
            stack.push_back(static_cast<nyxOccPropInst *>(n));
        }
    }
}

// A name field: the name with "\\", "/", ":", blank and tab escaped, and a leading "#" (a line
// starting with it would read as a comment or a keyword line).
void appendField(std::string &out, std::string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '\\' || c == '/' || c == ':' || blank(c) || (c == '#' && i == 0)) out += '\\';
        out += c;
    }
}

// A context pathname: the pathname rule, with blanks and tabs escaped as well.
void appendContext(std::string &out, const std::vector<std::string> &path) {
    for (char c : nyxOccPropPath::pathname(path)) {
        if (blank(c)) out += '\\';
        out += c;
    }
}

void appendRest(std::string &out, std::string_view text) {
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
}

void appendSetProps(std::string &out, const nyxPropList *list) {
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        out += "#!prop ";
        appendField(out, p->name());
        out += ' ';
        if (nyxPropTypeHasString(p->type())) {
            out += nyxTextFile::typeLetter(p->type());
            out += ' ';
            appendRest(out, p->stringValue());
        } else {
            nyxTextFile::appendValue(out, list, static_cast<uint32_t>(i), true);
        }
        out += '\n';
    }
}

void appendNodeField(std::string &out, const nyxOccPropNode *node) {
    if (node->d_code != nyxCodePortOccProp) {
        appendField(out, node->d_name.getString());
        out += node->d_code == nyxCodeNetOccProp ? ":net" : "";
        return;
    }
    std::string_view name = node->d_name.getString();
    appendField(out, name.substr(0, name.find(kOccPortJoin)));
    out += ':';
    std::vector<std::string> member = nyxOccPropPath::memberPath(node);
    if (member.empty()) out += '/';
    for (const std::string &m : member) {
        out += '/';
        appendField(out, m);
    }
    out += ":pin";
}

void appendNode(std::string &out, const nyxOccPropNode *node) {
    bool any = false;
    const nyxPropList *list = node->d_propList;
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        appendNodeField(out, node);
        out += ' ';
        out += nyxTextFile::typeLetter(p->type());
        out += ' ';
        appendField(out, p->name());
        std::string value;
        nyxTextFile::appendValue(value, list, static_cast<uint32_t>(i), true);
        out += value.substr(1);
        out += '\n';
        any = true;
    }
    if (any) return;
    appendNodeField(out, node);
    out += '\n';
}

} // namespace

cfidrErrorT parse(nyxOccPropSet *set, std::string_view text) {
    Reader reader{set, {}};
    nyxTextFile::Lines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        bool good = true;
        if (startsWith(line, "# ") || startsWith(line, "#!header")) continue;
        if (startsWith(line, "#!context")) good = reader.contextLine(line.substr(9));
        else if (startsWith(line, "#!prop")) good = reader.propLine(line.substr(6));
        else if (startsWith(line, "#!")) continue;
        else good = reader.occurrenceLine(line);
        if (!good) return cfidrErrInternal;
    }
    if (set->root() != nullptr) reverseAll(set->root());
    set->setChanged(false);
    return 0;
}

std::string format(const nyxOccPropSet *set) {
    std::string out = "#!header 2.0\n";
    appendSetProps(out, set->d_propList);
    if (set->root() == nullptr) return out + "#!context /\n";
    std::vector<const nyxOccPropInst *> stack{set->root()};
    while (!stack.empty()) {
        const nyxOccPropInst *inst = stack.back();
        stack.pop_back();
        out += "#!context ";
        appendContext(out, inst->d_parent != nullptr ? nyxOccPropPath::path(inst) : std::vector<std::string>{});
        out += '\n';
        for (const nyxOccPropConnector *c : {&inst->d_insts, &inst->d_nets, &inst->d_ports}) {
            for (const nyxOccPropNode *n = c->d_head; n != nullptr; n = n->d_next) appendNode(out, n);
        }
        // Children in list order: pushed last to first.
        const size_t mark = stack.size();
        for (const nyxOccPropNode *n = inst->d_insts.d_head; n != nullptr; n = n->d_next) {
            stack.push_back(static_cast<const nyxOccPropInst *>(n));
        }
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(mark), stack.end());
    }
    return out;
}

void read(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    std::string text;
    const std::string file = std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kOccPropSet).ext;
    cfidrErrorT code = nyxTextFile::readWhole(file, text, cfidrErrInternal);
    if (code == 0) code = parse(static_cast<nyxOccPropSet *>(obj), text);
    if (code != 0) *err = code;
}

void write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    auto *set = static_cast<nyxOccPropSet *>(obj);
    // The library's and the cell's directories are made first (a new library has neither); a
    // failure there shows as the file that cannot be written.
    for (nyxDMObj *dir : {static_cast<nyxDMObj *>(set->cell()->d_lib), static_cast<nyxDMObj *>(set->cell())}) {
        if (const char *p = dir->pathnameObj()) nyxFileIO::makeDirectory(p, 0777);
    }
    nyxSelectorFile::writeText(path, nyxDMTypes::kOccPropSet, format(set), err);
}

void remove(const char *path, cfidrErrorT *err) {
    if (!nyxFileIO::removeAll(std::string(path) + "." + nyxDMTypes::row(nyxDMTypes::kOccPropSet).ext)) {
        *err = cfidrErrInternal;
    }
}

} // namespace nyxOccPropFile
