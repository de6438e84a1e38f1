// Property files of libraries and cells: the reader (bounded, hostile input) and the writer.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

#include "dm/store/storeInt.h"
#include "utils/fileio.h"

namespace nyxPropFile {
namespace {

class Cursor {
public:
    Cursor(const char *data, size_t size) : p_(data), end_(data + size) {}

    void skipSpace() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r' ||
                             *p_ == '\v' || *p_ == '\f')) {
            ++p_;
        }
    }
    // A decimal number as "%d" reads it; false when missing or out of 32-bit range.
    bool number(int64_t &out) {
        skipSpace();
        bool negative = false;
        if (p_ < end_ && (*p_ == '-' || *p_ == '+')) negative = *p_++ == '-';
        if (p_ >= end_ || *p_ < '0' || *p_ > '9') return false;
        int64_t v = 0;
        while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
            v = v * 10 + (*p_++ - '0');
            if (v > int64_t{1} << 32) return false;
        }
        out = negative ? -v : v;
        return out >= INT32_MIN && out <= INT32_MAX;
    }
    // A float as "%f" reads it: the characters up to the next white space.
    bool real(float &out) {
        skipSpace();
        const char *start = p_;
        while (p_ < end_ && p_ - start < 512 && *p_ != ' ' && *p_ != '\t' && *p_ != '\n' &&
               *p_ != '\r') {
            ++p_;
        }
        if (p_ == start || p_ - start >= 512) return false;
        std::string token(start, p_);
        char *stop = nullptr;
        errno = 0;
        double v = std::strtod(token.c_str(), &stop);
        if (stop != token.c_str() + token.size() || !std::isfinite(v) || std::fabs(v) > 3.4e38) {
            return false;
        }
        out = static_cast<float>(v);
        return true;
    }
    // A length, one skipped character, and that many bytes.
    bool counted(std::string_view &out) {
        int64_t n = 0;
        if (!number(n) || n < 0) return false;
        if (p_ >= end_) return false;
        ++p_;
        if (static_cast<uint64_t>(n) > static_cast<uint64_t>(end_ - p_)) return false;
        out = std::string_view(p_, static_cast<size_t>(n));
        p_ += n;
        return true;
    }
    bool atEnd() {
        skipSpace();
        return p_ >= end_;
    }

private:
    const char *p_;
    const char *end_;
};

bool knownType(int64_t t) {
    return (t >= nyxPropNone && t <= nyxPropString) ||
           (t >= nyxPropTriplet && t <= nyxPropExpression);
}

// Names and texts are C strings in memory: a NUL byte cannot come from the writer.
bool validText(std::string_view text) { return text.find('\0') == std::string_view::npos; }

// The first live property of each name on a list, by the name's serial in the name table, so
// that every record finds the property it sets again without searching the list.
using NameIndex = std::unordered_map<int32_t, uint32_t>;

NameIndex indexNames(const nyxPropList *list) {
    NameIndex byName;
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p != nullptr) byName.emplace(p->d_entry->serial, static_cast<uint32_t>(i));
    }
    return byName;
}

// Creates or finds the record's property and sets its value; false when that failed.
bool apply(const Record &r, nyxPropList *&list, const nyxPropOwner &owner, NameIndex &byName) {
    const std::string name(r.name);
    const nyxPropNameTable *names = nyxPropNameTable::peek();
    const nyxPropNameTableBucket *known =
        names != nullptr ? names->find_name(name.c_str()) : nullptr;
    const auto found = known != nullptr ? byName.find(known->serial) : byName.end();
    cfidrErrorT e = 0;
    uint32_t index;
    if (found != byName.end()) {
        index = found->second;
    } else {
        nyxObjRef ref = nyxPropCreate(list, owner, name.c_str(), &e);
        if (e != 0 || ref.obj == nullptr) return false;
        index = ref.member;
        byName.emplace(nyxPropAt(list, index)->d_entry->serial, index);
    }
    const std::string text(r.text);
    switch (r.type) {
    case nyxPropBoolean: nyxPropSetBoolean(list, index, r.intValue, &e); break;
    case nyxPropInt: nyxPropSetInt(list, index, r.intValue, &e); break;
    case nyxPropFloat: nyxPropSetFloat(list, index, r.floatValue, &e); break;
    case nyxPropDeleted: setDeletedValue(list, index, &e); break;
    case nyxPropString: nyxPropSetString(list, index, text.c_str(), &e); break;
    case nyxPropTriplet: setTripletValue(list, index, text.c_str(), &e); break;
    case nyxPropCaseTriplet: setCasetripletValue(list, index, text.c_str(), &e); break;
    case nyxPropExpression: nyxPropSetExpression(list, index, text.c_str(), &e); break;
    default: break;
    }
    return e == 0;
}

} // namespace

bool parse(const char *data, size_t size, const std::function<bool(const Record &)> &sink) {
    Cursor in(data, size);
    while (!in.atEnd()) {
        Record r;
        int64_t type = 0;
        // Stored names need not follow the name rule (trusted data mode creates any name).
        if (!in.counted(r.name) || !validText(r.name)) return false;
        if (!in.number(type) || !knownType(type)) return false;
        r.type = static_cast<int32_t>(type);
        if (type == nyxPropBoolean || type == nyxPropInt) {
            int64_t v = 0;
            if (!in.number(v)) return false;
            r.intValue = static_cast<int32_t>(v);
        } else if (type == nyxPropFloat) {
            if (!in.real(r.floatValue)) return false;
        } else if (type == nyxPropString || type >= nyxPropTriplet) {
            if (!in.counted(r.text) || !validText(r.text)) return false;
        }
        if (!sink(r)) return false;
    }
    return true;
}

bool load(const char *data, size_t size, nyxPropList *&list, const nyxPropOwner &owner) {
    if (!nyx::pushExpertMode()) return false;
    bool complete = false;
    try {
        NameIndex byName = indexNames(list);
        complete =
            parse(data, size, [&](const Record &r) { return apply(r, list, owner, byName); });
    } catch (const std::bad_alloc &) {
        complete = false;
    }
    nyx::popExpertMode();
    return complete;
}

std::string format(const nyxPropList *list) {
    std::string out;
    char num[64];
    const int32_t n = nyxPropListSize(list);
    for (int32_t i = 0; i < n; ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        const char *name = p->name();
        const int32_t type = p->type();
        std::snprintf(num, sizeof num, "%ld ", static_cast<long>(std::strlen(name)));
        out += num;
        out += name;
        std::snprintf(num, sizeof num, "%d ", static_cast<int>(type));
        out += num;
        if (type == nyxPropBoolean || type == nyxPropInt) {
            std::snprintf(num, sizeof num, "%d\n", static_cast<int>(p->intValue()));
            out += num;
        } else if (type == nyxPropFloat) {
            // Floats are bounded to +-1e37 by the setters, so "%f" takes at most 46 characters.
            std::string f(64, '\0');
            int len = std::snprintf(f.data(), f.size(), "%f\n", static_cast<double>(p->floatValue()));
            if (len >= static_cast<int>(f.size())) {
                f.resize(static_cast<size_t>(len) + 1);
                std::snprintf(f.data(), f.size(), "%f\n", static_cast<double>(p->floatValue()));
            }
            f.resize(static_cast<size_t>(len));
            out += f;
        } else if (type == nyxPropString || type >= nyxPropTriplet) {
            // Triplets and expressions are strings too: writing their text keeps them readable.
            const char *text = p->stringValue();
            std::snprintf(num, sizeof num, "%ld ", static_cast<long>(std::strlen(text)));
            out += num;
            out += text;
            out += '\n';
        }
    }
    return out;
}

cfidrErrorT read(const std::string &directory, const char *const names[3], nyxPropList *&list,
                 const nyxPropOwner &owner) {
    for (int i = 0; i < 3; ++i) {
        const std::string path = directory + "/" + names[i];
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) continue;
            return cfidrErrNotFound;
        }
        // A directory is a cell (in a library directory), not a property file. Anything else
        // present is the property file: the file layer refuses what is not a regular file (a
        // dangling link, a pipe, a device) and what is over the limit, and such a file cannot be
        // read and must not be replaced either.
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        std::string bytes;
        if (!nyxFileIO::readFile(path, bytes, kMaxFile)) {
            return errno == EFBIG ? cfidrErrInternal : cfidrErrNotFound;
        }
        return load(bytes.data(), bytes.size(), list, owner) ? 0 : cfidrErrInternal;
    }
    return 0;
}

bool write(const std::string &directory, const char *name, const std::string &text) {
    // A file the reader would refuse is not written: the one on disk stays.
    if (text.size() > kMaxFile) return false;
    return nyxFileIO::saveFile(directory + "/" + name,
                               [&](nyxFileIO::Writer &out) { return out.put(text); });
}

bool removeAll(const std::string &directory, const char *const names[3]) {
    bool good = true;
    for (int i = 0; i < 3; ++i) good = nyxFileIO::removeAll(directory + "/" + names[i]) && good;
    return good;
}

} // namespace nyxPropFile
