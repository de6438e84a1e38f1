// The stored-object base: the persistent type table, reading on first use, and the existence test.
#include <strings.h>

#include <cstring>

#include "dm/store/store.h"
#include "utils/fileio.h"

namespace nyxDMTypes {
namespace {

// Rows in table order. A "nyx" file is an older form of either view kind; its header decides.
nyxDMKind g_rows[kRows] = {
    {nyxCodeLib, 0, "", "", nyxLib::read, nyxLib::write, nyxLib::remove, nullptr, nullptr},
    {nyxCodeCell, 0, "", "", nyxCell::read, nyxCell::write, nyxCell::remove, nullptr, nullptr},
    {nyxCodeNetlistView, 1, "nyxNetlistView", "", nullptr, nullptr, nullptr, nullptr, nullptr},
    {-nyxCodeNetlistView, 1, "nyx", "", nullptr, nullptr, nullptr, nullptr, nullptr},
    {nyxCodeEncapsulatedView, 1, "nyxEncapsulatedView", "", nullptr, nullptr, nullptr, nullptr,
     nullptr},
    {-nyxCodeEncapsulatedView, 1, "nyx", "", nullptr, nullptr, nullptr, nullptr, nullptr},
    {nyxCodeSelectorSet, 1, "nyxSelectorSet", "", nullptr, nullptr, nullptr, nullptr, nullptr},
    {nyxCodeSelectorSet, 1, "nyxs1", "", nullptr, nullptr, nullptr, nullptr, nullptr},
    {nyxCodeDesignConfig, 1, "nyxDesignConfig", "", nullptr, nullptr, nullptr, nullptr, nullptr},
    {nyxCodeOccPropSet, 1, "nyxOccPropSet", "", nullptr, nullptr, nullptr, nullptr, nullptr},
};

const char *const kKindNames[kRows] = {
    "library",           "cell",
    "netlist view",      "netlist view (older form)",
    "encapsulated view", "encapsulated view (older form)",
    "selector set",      "selector set (older form)",
    "design configuration", "occurrence property set",
};

} // namespace

const nyxDMKind &row(int32_t index) {
    static const nyxDMKind none = {0, 0, "", "", nullptr, nullptr, nullptr, nullptr, nullptr};
    return index >= 0 && index < kRows ? g_rows[index] : none;
}

void install(int32_t index, nyxDMReadFn read, nyxDMWriteFn write, nyxDMRemoveFn remove,
             nyxDMConstructFn construct, nyxDMHeaderFn headerNames) {
    if (index < 0 || index >= kRows) return;
    nyxDMKind &r = g_rows[index];
    if (read != nullptr) r.read = read;
    if (write != nullptr) r.write = write;
    if (remove != nullptr) r.remove = remove;
    if (construct != nullptr) r.construct = construct;
    if (headerNames != nullptr) r.headerNames = headerNames;
}

const char *kindName(int32_t index) { return index >= 0 && index < kRows ? kKindNames[index] : ""; }

} // namespace nyxDMTypes

// ---------------------------------------------------------------------------------------------

nyxDMObj::~nyxDMObj() {
    if (nyxLater.storedObjectGoing != nullptr) nyxLater.storedObjectGoing(this);
    // Iterators over the object's lists end with it (no iterator memory is read here).
    nyxIterObjectGone(this);
    forgetPathname();
}

void nyxDMObj::forgetPathname() {
    nyxDMUtil::freeString(d_pathName);
    d_pathName = nullptr;
}

void nyxDMObj::saveObj(cfidrErrorT *err) {
    const nyxDMKind &kind = nyxDMTypes::row(d_typeIndex);
    // Contents never read, or read only in part, must not replace the file they came from.
    if (kind.write == nullptr || !loaded() || d_readError != 0) return;
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    kind.write(this, path, err);
}

void nyxDMObj::destroyObj(cfidrErrorT *err) {
    const nyxDMKind &kind = nyxDMTypes::row(d_typeIndex);
    if (kind.remove == nullptr) return;
    const char *path = pathnameObj();
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    kind.remove(path, err);
}

bool nyxDMObj::openObj(cfidrErrorT *err) {
    if (d_loadState == LoadState::kLoaded) return true;
    // A read that reaches its own object again would build on what it is building.
    if (d_loadState == LoadState::kReading) return *err = cfidrErrInternal, false;
    // Nothing can read the object: it stays unread and its kind says what that means.
    const nyxDMKind &kind = nyxDMTypes::row(d_typeIndex);
    if (kind.read == nullptr) return true;
    // Out of memory before the read starts leaves the object as it was, to be tried again.
    const char *path = pathnameObj();
    if (path == nullptr) return *err = cfidrErrInternal, false;
    // Stored data is read without argument checks and identifier registration.
    if (!nyx::pushExpertMode()) return *err = cfidrErrInternal, false;
    d_loadState = LoadState::kReading;
    cfidrErrorT code = 0;
    kind.read(this, path, &code);
    // Emptying is no edit of the caller's: it runs unchecked too (a read-only view is emptied).
    const bool empty = code != 0 && !keepsFailedRead();
    if (empty) emptyStored();
    nyx::popExpertMode();
    d_readError = code;
    d_loadState = empty ? LoadState::kFailed : LoadState::kLoaded;
    if (code != 0) *err = code;
    return code == 0;
}

int32_t nyxDMObj::findDMObj(int32_t code, const char *parentPath, const char *name,
                            const char *subName) {
    std::string base = parentPath != nullptr ? parentPath : "";
    if (name != nullptr) base += "/" + nyxDMPath::encodeName(name);
    if (subName != nullptr) base += "/" + nyxDMPath::encodeName(subName);
    for (int32_t i = 0; i < nyxDMTypes::kRows; ++i) {
        const nyxDMKind &kind = nyxDMTypes::row(i);
        if (kind.code != code && kind.code != -code) continue;
        if (kind.ext[0] != '\0') {
            std::string file = base + "." + kind.ext;
            if (!nyxFileIO::isFile(file)) continue;
            // An older form shared by two kinds counts only when its header names the kind.
            if (kind.code < 0 && kind.headerNames != nullptr && !kind.headerNames(file.c_str(), code)) {
                continue;
            }
            return i;
        }
        if (nyxFileIO::isDirectory(base)) return i;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------

namespace nyxDMUtil {

namespace {

// Whether any of the eight bytes of w is 0x80 or above, below 0x20, or 0x7f. Bytes below 0x80
// plus 0x60 stay below 0x80 exactly when they are below 0x20; plus 0x01, 0x7f alone reaches 0x80.
// No byte carries into the next one, since each addend byte stays below 0x80 + 0x61.
inline bool badByteIn(uint64_t w) {
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const uint64_t low = w & ~kHigh;
    const uint64_t control = ~(low + 0x6060606060606060ull) & kHigh;
    const uint64_t del = (low + 0x0101010101010101ull) & kHigh;
    return ((w | control | del) & kHigh) != 0;
}

} // namespace

bool validName(std::string_view name) {
    const size_t n = name.size();
    if (n == 0) return false;
    // Eight bytes at a time; the last word ends at the last byte (it may overlap the one before).
    if (n >= 8) {
        uint64_t w;
        for (size_t at = 0; at + 8 < n; at += 8) {
            std::memcpy(&w, name.data() + at, 8);
            if (badByteIn(w)) return false;
        }
        std::memcpy(&w, name.data() + n - 8, 8);
        return !badByteIn(w);
    }
    // A short name is checked as one word, its missing bytes filled with a valid letter.
    uint64_t w = 0x6161616161616161ull;
    std::memcpy(&w, name.data(), n);
    return !badByteIn(w);
}

bool validName(const char *name) { return name != nullptr && validName(std::string_view(name)); }

bool sameName(const char *a, const char *b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

void freeString(char *s) {
    if (s == nullptr) return;
    Hx_baseheap *heap = Hx_baseheap::find_heap(s);
    if (heap != nullptr) heap->deallocate(s);
}

std::string pathOf(const char *lib, const char *cell, const char *view) {
    char *p = getPathname(lib, cell, view);
    if (p == nullptr) return std::string();
    std::string out(p);
    freeString(p);
    return out;
}

} // namespace nyxDMUtil
