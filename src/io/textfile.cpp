// The text-file layer of the line-oriented stored formats (see textfile.h).
#include "io/textfile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "utils/fileio.h"

namespace nyxTextFile {

cfidrErrorT readWhole(const std::string &path, std::string &out, cfidrErrorT cannotRead) {
    out.clear();
    errno = 0;
    if (nyxFileIO::readFile(path, out, kMaxFile)) return 0;
    const bool tooLarge = errno == EFBIG;
    out.clear();
    return tooLarge ? cfidrErrInternal : cannotRead;
}

bool Lines::next(std::string_view &line) {
    if (d_pos >= d_text.size()) return false;
    const size_t end = d_text.find('\n', d_pos);
    if (end == std::string_view::npos) {
        line = d_text.substr(d_pos);
        d_pos = d_text.size();
    } else {
        line = d_text.substr(d_pos, end - d_pos);
        d_pos = end + 1;
    }
    return true;
}

bool Tokens::next(std::string &token) {
    token.clear();
    const size_t n = d_line.size();
    while (d_pos < n && (d_line[d_pos] == ' ' || d_line[d_pos] == '\t')) ++d_pos;
    if (d_pos >= n) return false;
    if (d_line[d_pos] != '"') {
        const size_t start = d_pos;
        while (d_pos < n && d_line[d_pos] != ' ' && d_line[d_pos] != '\t') ++d_pos;
        token.assign(d_line.substr(start, d_pos - start));
        return true;
    }
    ++d_pos;
    while (d_pos < n && d_line[d_pos] != '"') {
        char c = d_line[d_pos++];
        if (c == '\\' && d_pos < n) {
            c = d_line[d_pos++];
            if (c == 'n') c = '\n';
        }
        token += c;
    }
    if (d_pos < n) ++d_pos;  // the closing quote
    return true;
}

void appendQuoted(std::string &out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

std::string formatFloat(float value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", static_cast<double>(value));
    if (std::strtof(buf, nullptr) != value) {
        std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
    }
    return buf;
}

bool parseInt(std::string_view text, int32_t &value) {
    if (text.empty() || text.size() > 64) return false;
    const std::string copy(text);
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(copy.c_str(), &end, 10);
    if (end == copy.c_str() || *end != '\0' || errno == ERANGE) return false;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool parseFloat(std::string_view text, float &value) {
    if (text.empty() || text.size() > 4096) return false;
    const std::string copy(text);
    char *end = nullptr;
    const double v = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || *end != '\0' || !std::isfinite(v)) return false;
    // The range the property setters accept.
    if (v > 1e37 || v < -1e37) return false;
    value = static_cast<float>(v);
    return true;
}

char typeLetter(int32_t type) {
    switch (type) {
    case nyxPropBoolean: return 'B';
    case nyxPropInt: return 'I';
    case nyxPropFloat: return 'N';
    case nyxPropString: return 'S';
    case nyxPropExpression: return 'E';
    case nyxPropTriplet: return 'T';
    case nyxPropCaseTriplet: return 'C';
    case nyxPropDeleted: return 'D';
    default: return 'U';
    }
}

bool parseValue(char letter, std::string_view text, Value &value) {
    value = Value{};
    switch (letter) {
    case 'B':
    case 'b': {
        int32_t v = 0;
        if (!parseInt(text, v)) return false;
        value.type = nyxPropBoolean;
        value.intValue = v != 0 ? 1 : 0;
        return true;
    }
    case 'I':
    case 'i':
        value.type = nyxPropInt;
        return parseInt(text, value.intValue);
    case 'N':
    case 'n':
        value.type = nyxPropFloat;
        return parseFloat(text, value.floatValue);
    case 'S':
    case 's': value.type = nyxPropString; break;
    case 'E': value.type = nyxPropExpression; break;
    case 'T': value.type = nyxPropTriplet; break;
    case 'C': value.type = nyxPropCaseTriplet; break;
    case 'D': value.type = nyxPropDeleted; return true;
    default: return false;
    }
    value.text.assign(text);
    return true;
}

void appendValue(std::string &out, const nyxPropList *list, uint32_t index, bool quote) {
    const nyxProp *p = nyxPropAt(list, index);
    const int32_t type = p != nullptr ? p->type() : 0;
    out += typeLetter(type);
    switch (type) {
    case nyxPropBoolean: out += p->intValue() != 0 ? " 1" : " 0"; return;
    case nyxPropInt: out += ' ' + std::to_string(p->intValue()); return;
    case nyxPropFloat: out += ' ' + formatFloat(p->floatValue()); return;
    case nyxPropString:
    case nyxPropExpression:
    case nyxPropTriplet:
    case nyxPropCaseTriplet:
        out += ' ';
        if (quote) appendQuoted(out, p->stringValue());
        else out += p->stringValue();
        return;
    default: return;
    }
}

void setValue(nyxPropList *list, uint32_t i, const Value &value, cfidrErrorT *err) {
    switch (value.type) {
    case nyxPropBoolean: nyxPropSetBoolean(list, i, value.intValue, err); break;
    case nyxPropInt: nyxPropSetInt(list, i, value.intValue, err); break;
    case nyxPropFloat: nyxPropSetFloat(list, i, value.floatValue, err); break;
    case nyxPropString: nyxPropSetString(list, i, value.text.c_str(), err); break;
    case nyxPropExpression: nyxPropSetExpression(list, i, value.text.c_str(), err); break;
    case nyxPropTriplet: setTripletValue(list, i, value.text.c_str(), err); break;
    case nyxPropCaseTriplet: setCasetripletValue(list, i, value.text.c_str(), err); break;
    case nyxPropDeleted: setDeletedValue(list, i, err); break;
    default: break;
    }
}

int32_t createProperty(nyxPropList *&list, const nyxPropOwner &owner, const char *name,
                       const Value &value, cfidrErrorT *err) {
    nyxObjRef r = nyxPropCreate(list, owner, name, err);
    if (r.obj == nullptr || *err != 0) return -1;
    setValue(list, r.member, value, err);
    return *err == 0 ? static_cast<int32_t>(r.member) : -1;
}

} // namespace nyxTextFile
