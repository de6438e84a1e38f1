// Design configurations: the references to the root view and the sets (finding them by path,
// clearing them when their object goes) and the table of design ids.
#include <cstdlib>
#include <cstring>
#include <new>

#include "config/configInt.h"
#include "paths/paths.h"
#include "utils/fileio.h"

namespace {

// A path through the location map, or itself when the map gives nothing.
std::string hardOf(const std::string &path) {
    if (path.empty() || path.size() >= kLocMapPathMax - 1) return path;
    char buf[kLocMapPathMax];
    const char *hard = nyxLocMapSoftToHard(path.c_str(), buf, sizeof buf);
    return hard != nullptr && *hard != '\0' ? std::string(hard) : path;
}

// The soft form written for a disk path: unchanged when libraries are the current directory's
// (ZIL_NYX_LIBRARYMAP "."), else through the location map (unchanged when it gives nothing).
std::string softOf(const char *path) {
    const char *map = std::getenv("ZIL_NYX_LIBRARYMAP");
    if ((map != nullptr && std::strcmp(map, ".") == 0) || std::strlen(path) >= kLocMapPathMax - 1) {
        return path;
    }
    char buf[kLocMapPathMax];
    const char *soft = nyxLocMapHardToSoft(path, buf, sizeof buf);
    return soft != nullptr && *soft != '\0' ? std::string(soft) : std::string(path);
}

// The known library whose disk path is `dir` (compared as given and as hard paths).
nyxLib *libraryAt(const std::string &dir) {
    const std::string hard = hardOf(dir);
    nyxDynArray &libs = nyxLib::sessionList();
    for (int32_t i = 0; i < libs.nitems(); ++i) {
        nyxLib *lib = static_cast<nyxLib *>(libs[i]);
        const char *p = lib->pathnameObj();
        if (lib->d_usable == 0 || p == nullptr) continue;
        if (dir == p || hard == hardOf(p)) return lib;
    }
    return nullptr;
}

// The cell's object of class `code` (14: a netlist view, 21: a set) named `name`, from the
// cell's lists without reading the object; a set with a file that the cell does not list (it
// was purged) is listed again.
nyxDMObj *objectInCell(nyxCell *cell, const std::string &name, int32_t code) {
    cfidrErrorT err = 0;
    if (!cell->openObj(&err)) return nullptr;
    if (code == nyxCodeNetlistView) {
        for (int32_t i = 0; i < cell->views().nitems(); ++i) {
            void *item = cell->views()[i];
            nyxDMObj *view = nyxCell::viewObject(item);
            if (nyxCell::viewCode(item) == code && nyxDMUtil::sameName(view->nameObj(), name.c_str())) {
                return view;
            }
        }
        return nullptr;
    }
    nyxDynArray &sets = cell->occPropSets();
    for (int32_t i = 0; i < sets.nitems(); ++i) {
        nyxDMObj *set = static_cast<nyxDMObj *>(sets[i]);
        if (nyxDMUtil::sameName(set->nameObj(), name.c_str())) return set;
    }
    const nyxDMKind &kind = nyxDMTypes::row(nyxDMTypes::kOccPropSet);
    const char *cellPath = cell->pathnameObj();
    if (kind.construct == nullptr || cellPath == nullptr ||
        nyxDMObj::findDMObj(nyxCodeOccPropSet, cellPath, name.c_str(), nullptr) < 0) {
        return nullptr;
    }
    return kind.construct(cell, name.c_str(), nyxDMTypes::kOccPropSet, &err);
}

// The object a disk path names: library directory / encoded cell / encoded name. `ownCell` is
// set when no known library has the path's directory.
nyxDMObj *objectAtPath(const std::string &path, int32_t code, bool &noLibrary, std::string &leaf) {
    noLibrary = true;
    const size_t last = path.rfind('/');
    leaf = nyxDMPath::decodeName(path.substr(last == std::string::npos ? 0 : last + 1).c_str());
    if (last == std::string::npos || last == 0) return nullptr;
    const size_t mid = path.rfind('/', last - 1);
    if (mid == std::string::npos || mid == 0) return nullptr;
    nyxLib *lib = libraryAt(path.substr(0, mid));
    if (lib == nullptr) return nullptr;
    noLibrary = false;
    const std::string cellName = nyxDMPath::decodeName(path.substr(mid + 1, last - mid - 1).c_str());
    cfidrErrorT err = 0;
    nyxCell *cell = nyxLib::findCellByName(lib, cellName.c_str(), &err);
    return cell != nullptr ? objectInCell(cell, leaf, code) : nullptr;
}

bool setString(nyxVarString &s, std::string_view text, Hx_genheap *heap) {
    return s.setString(std::string(text).c_str(), heap);
}

} // namespace

// --- References -----------------------------------------------------------------------------------

nyxDMObj *nyxDesignConfig::resolve(nyxDesignConfig *config, nyxDesignConfigRef *ref, int32_t code) {
    if (ref->obj != nullptr) return ref->obj;
    const std::string path = ref->path.getString();
    if (path.empty()) return nullptr;
    bool noLibrary = false;
    std::string leaf;
    nyxDMObj *obj = objectAtPath(path, code, noLibrary, leaf);
    // A path into no library known here: the last name in the configuration's own cell.
    if (obj == nullptr && noLibrary && !leaf.empty()) obj = objectInCell(config->d_cell, leaf, code);
    ref->obj = obj;
    return obj;
}

nyxDesignConfigRef *nyxDesignConfig::newRef() {
    void *p = d_heap->allocBlock(sizeof(nyxDesignConfigRef));
    return p != nullptr ? new (p) nyxDesignConfigRef{} : nullptr;
}

bool nyxDesignConfig::setRootFromLine(std::string_view raw, std::string_view path) {
    if (d_root == nullptr && (d_root = newRef()) == nullptr) return false;
    d_root->obj = nullptr;
    if (!setString(d_root->raw, raw, d_heap) || !setString(d_root->path, path, d_heap)) return false;
    resolve(this, d_root, nyxCodeNetlistView);
    return true;
}

bool nyxDesignConfig::appendSetFromLine(std::string_view raw, std::string_view path) {
    nyxDesignConfigRef *ref = newRef();
    if (ref == nullptr || d_sets.add(ref) < 0) return false;
    if (!setString(ref->raw, raw, d_heap) || !setString(ref->path, path, d_heap)) return false;
    resolve(this, ref, nyxCodeOccPropSet);
    return true;
}

bool nyxDesignConfig::setRootObject(nyxDMObj *view) {
    if (d_root == nullptr && (d_root = newRef()) == nullptr) return false;
    const char *path = view->pathnameObj();
    if (path == nullptr || !d_root->path.setString(path, d_heap)) return false;
    d_root->raw.clear();
    d_root->obj = view;
    return true;
}

bool nyxDesignConfig::insertSetObject(nyxDMObj *set, int32_t position) {
    const char *path = set->pathnameObj();
    nyxDesignConfigRef *ref = path != nullptr ? newRef() : nullptr;
    if (ref == nullptr) return false;
    if (!ref->path.setString(path, d_heap) || d_sets.insert(ref, position) < 0) {
        ref->path.clear();
        d_heap->freeBlock(ref, sizeof(nyxDesignConfigRef));
        return false;
    }
    ref->obj = set;
    return true;
}

std::string nyxDesignConfig::lineText(const nyxDesignConfigRef *ref) {
    if (ref->obj != nullptr) {
        if (const char *path = ref->obj->pathnameObj()) {
            return nyxDesignConfigFile::escapeText(softOf(path));
        }
    }
    if (*ref->raw.getString() != '\0') return ref->raw.getString();
    return nyxDesignConfigFile::escapeText(softOf(ref->path.getString()));
}

void nyxDesignConfig::storedObjectGoing(nyxDMObj *obj) {
    nyxDynArray &configs = sessionList();
    for (int32_t i = 0; i < configs.nitems(); ++i) {
        nyxDesignConfig *config = static_cast<nyxDesignConfig *>(configs[i]);
        auto forget = [&](nyxDesignConfigRef *ref) {
            if (ref == nullptr || ref->obj != obj) return;
            ref->obj = nullptr;
            // A renamed object is looked for under its last path; its old line no longer holds.
            const char *path = obj->d_pathName;
            if (path != nullptr && std::strcmp(path, ref->path.getString()) != 0 &&
                ref->path.setString(path, config->d_heap)) {
                ref->raw.clear();
            }
        };
        forget(config->d_root);
        for (int32_t k = 0; k < config->d_sets.nitems(); ++k) {
            forget(static_cast<nyxDesignConfigRef *>(config->d_sets[k]));
        }
    }
}

// --- Design ids --------------------------------------------------------------------------------------

namespace {

// slot[id] is the configuration holding id, or null; held == the number of non-null slots;
// cursor is where the next search starts. The table is the session's: it starts empty with
// every global state.
struct DesignIdTable {
    nyxDesignConfig *slot[nyxDesignConfig::kDesignIds] = {};
    int32_t held = 0;
    int32_t cursor = 0;
    uint64_t generation = 0;
};

DesignIdTable &table() {
    static DesignIdTable t;
    if (t.generation != nyx::generation()) {
        t = DesignIdTable{};
        t.generation = nyx::generation();
    }
    return t;
}

} // namespace

bool nyxDesignConfig::takeDesignId(nyxDesignConfig *config, cfidrErrorT *err) {
    if (config->d_designId != kNoDesignId) return true;
    DesignIdTable &t = table();
    if (t.held >= kDesignIds) return *err = nyxdwErrOccTreeFailed, false;
    // The id the configuration gave up last is taken only when no other is free, so that
    // identifiers of its dropped tree do not name its new one.
    int32_t found = -1;
    for (int32_t k = 0; k < kDesignIds; ++k) {
        const int32_t id = (t.cursor + k) % kDesignIds;
        if (t.slot[id] != nullptr) continue;
        if (id == config->d_lastDesignId && t.held < kDesignIds - 1) continue;
        found = id;
        break;
    }
    if (found < 0) return *err = nyxdwErrOccTreeFailed, false;
    t.slot[found] = config;
    ++t.held;
    t.cursor = (found + 1) % kDesignIds;
    config->d_designId = found;
    return true;
}

void nyxDesignConfig::dropDesignId(nyxDesignConfig *config) {
    const int32_t id = config->d_designId;
    if (id < 0 || id >= kDesignIds) return;
    DesignIdTable &t = table();
    if (t.slot[id] == config) {
        t.slot[id] = nullptr;
        --t.held;
    }
    config->d_lastDesignId = id;
    config->d_designId = kNoDesignId;
}

nyxDesignConfig *nyxDesignConfig::byDesignId(int32_t id) {
    return id >= 0 && id < kDesignIds ? table().slot[id] : nullptr;
}

int32_t nyxDesignConfig::designIdsHeld() { return table().held; }
