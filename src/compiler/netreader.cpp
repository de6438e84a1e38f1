// The record reader of a compiler's answer (netreader.h): the stream, view records, name tables,
// libraries and cells, replacement of earlier compiled views, the purge of what a failed read
// made, and getView.
#include "compiler/netreader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "dm/netlist/netlist.h"

namespace {

// Value types a property record may carry: 0 (none) and 4 (deleted) without a value.
bool knownValueType(int32_t type) {
    return (type >= nyxPropNone && type <= nyxPropString) || type == nyxPropExpression;
}

} // namespace

void (*nyxCompilerPurgeHook)(nyxDMObj *obj, int32_t code, cfidrErrorT *err) = nullptr;

nyxCompilerNetlist::nyxCompilerNetlist(nyxCompilerStream &in, bool fromTabo) : d_in(in), d_fromTabo(fromTabo) {}

nyxCompilerNetlist::~nyxCompilerNetlist() { dropScratch(); }

bool nyxCompilerNetlist::corruptAt(const char *file, int line) {
    if (d_in.good()) {
        d_where = std::string(file) + ":" + std::to_string(line);
        d_in.fail(nyxCompilerStream::kCorrupt);
    }
    return false;
}

bool nyxCompilerNetlist::readName(std::string &out) {
    const std::string &s = d_in.readString();
    if (!d_in.good()) return false;
    if (!nyxDMUtil::validName(std::string_view(s))) return NYX_COMPILER_CORRUPT();
    out = s;
    return true;
}

// A compiled-from text: shown on one line, so no control characters.
bool nyxCompilerNetlist::readCompiledFrom(std::string &out) {
    const std::string &s = d_in.readString();
    if (!d_in.good()) return false;
    for (char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return NYX_COMPILER_CORRUPT();
    }
    out = s;
    return true;
}

cfidrErrorT nyxCompilerNetlist::read() {
    nyxExpertModeGuard expert;
    bool done = false;
    if (!expert.pushed() || nyxPropNameTable::get() == nullptr) {
        NYX_COMPILER_CORRUPT();
    } else if (d_in.readChar() == 'T' || NYX_COMPILER_CORRUPT()) {
        d_in.readString();  // the header: not used
        while (d_in.good() && !done) {
            const uint8_t c = d_in.readChar();
            if (!d_in.good()) break;
            switch (c) {
            case 'Q': done = true; break;
            case 'C': readViewRecord(); break;
            case 'D': readDesignConfig(); break;
            case 'O': readOccPropSet(); break;
            default: break;  // skipped
            }
        }
    }
    dropScratch();
    if (!done || !d_in.good()) {
        // An end of the data before the end record is a failure too.
        if (d_in.good()) d_in.fail(nyxCompilerStream::kEnd);
        purgeMade();
        return cfidrErrInternal;
    }
    return 0;
}

// --- View records and name tables ----------------------------------------------------------------

bool nyxCompilerNetlist::readViewRecord() {
    d_in.readString();
    d_in.readString();
    d_current = nullptr;
    for (;;) {
        const uint8_t c = d_in.readChar();
        if (!d_in.good()) return false;
        if (c == 'E') break;
        if (c == 'P' && !readNames()) return false;
        if (c == 'V' && !readViewData()) return false;
        // Other bytes are skipped.
    }
    std::string from;
    if (!readCompiledFrom(from)) return false;
    if (d_current != nullptr && !d_current->d_compiledFrom.setString(from.c_str(), d_current->viewHeap())) {
        return NYX_COMPILER_CORRUPT();  // memory
    }
    return true;
}

// A name table replaces the one before: entries by index (0 .. count), each a name registered
// in the session's property name table with its value type.
bool nyxCompilerNetlist::readNames() {
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    if (count < 0) return NYX_COMPILER_CORRUPT();
    nyxPropNameTable *table = nyxPropNameTable::get();
    if (table == nullptr) return NYX_COMPILER_CORRUPT();
    d_names.clear();
    std::string name;
    for (int32_t i = 0; i < count && d_in.good(); ++i) {
        const int32_t index = d_in.readInt();
        const int32_t type = d_in.readInt();
        if (!readName(name)) return false;
        if (index < 0 || index > count || index > kMaxNameIndex || !knownValueType(type)) {
            return NYX_COMPILER_CORRUPT();
        }
        nyxPropNameTableBucket *entry = table->add_name_type(name.c_str(), static_cast<int16_t>(type));
        if (entry == nullptr) return NYX_COMPILER_CORRUPT();  // memory
        if (d_names.size() <= static_cast<size_t>(index)) d_names.resize(static_cast<size_t>(index) + 1, nullptr);
        d_names[static_cast<size_t>(index)] = entry;
    }
    return d_in.good();
}

bool nyxCompilerNetlist::readViewData() {
    const uint8_t kind = d_in.readChar();
    if (!d_in.good()) return false;
    if (kind == 'E') return readEncapsulated();
    if (kind == 'N') return readNetlist();
    return true;  // another kind ends the view data here
}

// The view of an 'E' record in its cell, with its type and key; its properties come next.
nyxEncapsulatedView *nyxCompilerNetlist::buildEncapsulatedView(const std::string &lib, const std::string &cell,
                                                               const std::string &name,
                                                               const std::string &viewType,
                                                               const std::string &key) {
    // What a creation refuses, a record may not make: a view that could not be saved, or one
    // typed as a netlist view.
    const char *ext = nyxDMTypes::row(nyxDMTypes::kEncapsulatedView).ext;
    if (viewType == nyxNetlistView::kViewType || !nyxDMPath::fitsEntry(name.c_str(), ext)) {
        return NYX_COMPILER_CORRUPT(), nullptr;
    }
    nyxLib *l = findOrMakeLib(lib);
    nyxCell *c = l != nullptr ? findOrMakeCell(l, cell) : nullptr;
    bool keep = false;
    if (c == nullptr || !clearWayFor(c, lib, cell, name, keep) || keep) return nullptr;
    cfidrErrorT e = 0;
    nyxEncapsulatedView *view = nyxEncapsulatedView::construct(c, name.c_str(), c->d_lib->d_accessMode, true, &e);
    if (view == nullptr) return NYX_COMPILER_CORRUPT(), nullptr;  // memory
    d_made.push_back({view, nyxCodeEncapsulatedView});
    d_built.emplace_back(c, view);
    if (!nyxEncapsulatedView::setFields(view, viewType.c_str(), key.c_str())) return NYX_COMPILER_CORRUPT(), nullptr;
    return view;
}

bool nyxCompilerNetlist::readEncapsulated() {
    std::string lib, cell, name, type;
    if (!readName(lib) || !readName(cell) || !readName(name) || !readName(type)) return false;
    const std::string key = d_in.readString();
    if (!d_in.good()) return false;
    d_current = nullptr;
    nyxEncapsulatedView *view = buildEncapsulatedView(lib, cell, name, type, key);
    if (!d_in.good()) return false;
    const PropTarget target = view != nullptr ? PropTarget{PropTarget::kEncView, view, nyxCodeEncapsulatedView, 0}
                                              : PropTarget{PropTarget::kDiscard, nullptr, 0, 0};
    if (!readPropList(target, false, 0)) return false;
    // Complete: changed (a save of its cell writes it) and a compilation's own until edited.
    if (view != nullptr) view->d_compiledUntouched = true;
    return true;
}

bool nyxCompilerNetlist::readNetlist() {
    std::string lib, cell, view, type;
    if (!readName(lib) || !readName(cell) || !readName(view) || !readName(type)) return false;
    d_in.readInt();  // not used
    const int32_t netCount = d_in.readInt();
    const int32_t fpCount = d_in.readInt();
    if (!d_in.good()) return false;
    nyxLib *l = findOrMakeLib(lib);
    nyxCell *c = l != nullptr ? findOrMakeCell(l, cell) : nullptr;
    if (c == nullptr || !makeView(c, lib, cell, view)) return false;
    if (type != nyxNetlistView::kViewType && !nyxNetlistView::changeViewType(d_view, type.c_str())) {
        return NYX_COMPILER_CORRUPT();  // memory
    }
    // Counts are hints: the tables grow as the records come.
    d_nets.clear();
    d_footprints.clear();
    d_openGroups.clear();
    d_portNames.clear();
    d_pendingPorts = 0;
    d_nets.reserve(static_cast<size_t>(std::clamp(netCount, 0, kReserveCap)));
    d_footprints.reserve(static_cast<size_t>(std::clamp(fpCount, 0, kReserveCap)));
    if (!readViewBody()) return false;
    finishView();
    return true;
}

// --- Libraries, cells, views ----------------------------------------------------------------------

nyxLib *nyxCompilerNetlist::findOrMakeLib(const std::string &name) {
    cfidrErrorT e = 0;
    nyxLib *lib = nyxLib::findKnown(name.c_str());
    if (lib == nullptr) {
        const std::string path = nyxDMUtil::pathOf(name.c_str());
        if (nyxDMObj::findDMObj(nyxCodeLib, path.c_str(), nullptr, nullptr) >= 0) {
            lib = nyxLib::construct(name.c_str(), cfidrReadMode, &e);
        } else {
            // A new library is one directory of the library map's place, never a path of its own.
            if (name.find('/') != std::string::npos || !nyxDMPath::fitsPath(path)) {
                return NYX_COMPILER_CORRUPT(), nullptr;
            }
            lib = nyxLib::createLib(name.c_str(), &e);
        }
        if (lib == nullptr) return NYX_COMPILER_CORRUPT(), nullptr;  // memory
        d_made.push_back({lib, nyxCodeLib});
    }
    // Its cells are listed (a directory that cannot be listed leaves it without cells).
    lib->openObj(&e);
    return lib;
}

nyxCell *nyxCompilerNetlist::findOrMakeCell(nyxLib *lib, const std::string &name) {
    if (nyxCell *cell = lib->cellNamed(name.c_str())) {
        cfidrErrorT e = 0;
        cell->openObj(&e);  // its objects are listed
        return cell;
    }
    if (!nyxDMPath::fitsEntry(name.c_str(), nullptr)) return NYX_COMPILER_CORRUPT(), nullptr;
    cfidrErrorT e = 0;
    nyxCell *cell = nyxLib::createCell(lib, name.c_str(), &e);
    if (cell == nullptr) return NYX_COMPILER_CORRUPT(), nullptr;  // memory
    d_made.push_back({cell, nyxCodeCell});
    return cell;
}

bool nyxCompilerNetlist::replaceable(const nyxNetlistView *view) {
    return view->d_compiledSerial != 0 && view->editSerial() == view->d_compiledSerial && view->d_changed != 0 &&
           view->loadState() == nyxDMObj::LoadState::kLoaded;
}

bool nyxCompilerNetlist::replaceable(const nyxEncapsulatedView *view) {
    return view->d_compiledUntouched && view->changed() && view->loadState() == nyxDMObj::LoadState::kLoaded;
}

bool nyxCompilerNetlist::replaceableEntry(void *entry) {
    nyxDMObj *obj = nyxCell::viewObject(entry);
    if (nyxCell::viewCode(entry) == nyxCodeEncapsulatedView) return replaceable(static_cast<nyxEncapsulatedView *>(obj));
    return replaceable(static_cast<nyxNetlistView *>(obj));
}

bool nyxCompilerNetlist::clearWayFor(nyxCell *cell, const std::string &lib, const std::string &cellName,
                                     const std::string &name, bool &keep) {
    // One stream names each view once.
    for (const auto &[home, built] : d_built) {
        if (home == cell && nyxDMUtil::sameName(built->nameObj(), name.c_str())) return NYX_COMPILER_CORRUPT();
    }
    keep = false;
    // Looked up again after each purge: a purged view whose file exists comes back listed, unread,
    // and is then kept.
    for (;;) {
        void *entry = nullptr;
        nyxDynArray &views = cell->views();
        for (int32_t i = 0; i < views.nitems() && entry == nullptr; ++i) {
            if (nyxDMUtil::sameName(nyxCell::viewObject(views[i])->nameObj(), name.c_str())) entry = views[i];
        }
        if (entry == nullptr) return true;
        if (!replaceableEntry(entry)) {
            std::fprintf(stderr, "NYX: compiled view %s/%s/%s not replaced\n", lib.c_str(), cellName.c_str(), name.c_str());
            keep = true;
            return true;
        }
        nyxDMObj *old = nyxCell::viewObject(entry);
        const int32_t code = nyxCell::viewCode(entry);
        cfidrErrorT e = 0;
        if (nyxCompilerPurgeHook != nullptr) {
            nyxCompilerPurgeHook(old, code, &e);
        } else if (code == nyxCodeEncapsulatedView) {
            nyxEncapsulatedView::purge(static_cast<nyxEncapsulatedView *>(old), &e);
        } else {
            nyxNetlistView::purge(static_cast<nyxNetlistView *>(old), &e);
        }
        if (e != 0) return NYX_COMPILER_CORRUPT();
    }
}

bool nyxCompilerNetlist::makeView(nyxCell *cell, const std::string &lib, const std::string &cellName,
                                  const std::string &name) {
    bool keep = false;
    if (!clearWayFor(cell, lib, cellName, name, keep)) return false;
    nyxCell *home = cell;
    if (keep) {
        // The record is read into a view of a cell that no library lists, dropped at its end.
        cfidrErrorT e = 0;
        d_scratchCell = nyxCell::construct(cell->d_lib, "scratch", false, cfidrUpdateMode, &e);
        if (d_scratchCell == nullptr) return NYX_COMPILER_CORRUPT();
        cell->d_lib->unlinkCell(d_scratchCell);
        home = d_scratchCell;
    }
    cfidrErrorT e = 0;
    d_view = nyxNetlistView::construct(home, name.c_str(), cell->d_lib->d_accessMode, true, &e);
    if (d_view == nullptr) return NYX_COMPILER_CORRUPT();
    d_viewLib = lib;
    d_viewCell = cellName;
    d_viewName = name;
    if (home == cell) {
        d_made.push_back({d_view, nyxCodeNetlistView});
        d_built.emplace_back(cell, d_view);
    }
    return true;
}

// The end of a view's data: the records no instance used go, the view is complete (changed, so
// that a save of its library writes it) and becomes the current object.
void nyxCompilerNetlist::finishView() {
    for (nyxFootPrint *record : d_footprints) {
        if (record->d_useCount == 0) nyxInstance::dropFootPrint(record);
    }
    d_footprints.clear();
    nyxNetlistView::readFinished(d_view, 0);
    d_view->d_changed = 1;
    if (d_scratchCell != nullptr) {
        dropScratch();
        d_current = nullptr;
    } else {
        d_view->d_compiledSerial = d_view->editSerial();
        d_current = d_view;
    }
    d_view = nullptr;
}

void nyxCompilerNetlist::dropScratch() {
    if (d_scratchCell == nullptr) return;
    if (d_view != nullptr && d_view->owner() == d_scratchCell) d_view = nullptr;
    d_scratchCell->deleteObj();
    d_scratchCell = nullptr;
}

// Purges what the read made, newest first (contents before their cells and libraries).
void nyxCompilerNetlist::purgeMade() {
    d_view = nullptr;
    d_current = nullptr;
    for (auto it = d_made.rbegin(); it != d_made.rend(); ++it) {
        cfidrErrorT e = 0;
        switch (it->code) {
        case nyxCodeNetlistView:
            nyxNetlistView::purge(static_cast<nyxNetlistView *>(it->obj), &e);
            break;
        case nyxCodeEncapsulatedView:
            nyxEncapsulatedView::purge(static_cast<nyxEncapsulatedView *>(it->obj), &e);
            break;
        case nyxCodeDesignConfig:
            nyxDesignConfig::purge(static_cast<nyxDesignConfig *>(it->obj), &e);
            break;
        case nyxCodeOccPropSet:
            nyxOccPropSet::purge(static_cast<nyxOccPropSet *>(it->obj), &e);
            break;
        case nyxCodeCell: {
            nyxCell *cell = static_cast<nyxCell *>(it->obj);
            cell->d_lib->unlinkCell(cell);
            cell->deleteObj();
            break;
        }
        case nyxCodeLib:
            // A library found on disk comes back as a fresh record: it goes too.
            if (nyxLib *fresh = nyxLib::purge(static_cast<nyxLib *>(it->obj), &e)) {
                nyxLib::sessionList().remove(fresh);
                fresh->deleteObj();
            }
            break;
        default:
            break;
        }
    }
    d_made.clear();
    d_built.clear();
}

// --- Results -------------------------------------------------------------------------------------

nyxObjRef nyxCompilerNetlist::getView(const char *libName, const char *cellName, const char *viewName) {
    if (libName == nullptr || cellName == nullptr || viewName == nullptr) return {};
    nyxLib *lib = nyxLib::findKnown(libName);
    if (lib == nullptr) return {};
    nyxCell *cell = lib->cellNamed(cellName);
    if (cell == nullptr) return {};
    const char *comma = std::strchr(viewName, ',');
    const std::string cut = comma != nullptr ? std::string(viewName, comma) : std::string(viewName);
    nyxDynArray &views = cell->views();
    for (int32_t i = 0; i < views.nitems(); ++i) {
        nyxDMObj *obj = nyxCell::viewObject(views[i]);
        const int32_t code = nyxCell::viewCode(views[i]);
        const char *want = code == nyxCodeEncapsulatedView ? viewName : cut.c_str();
        if (nyxDMUtil::sameName(obj->nameObj(), want)) return {obj, code, 0};
    }
    nyxDynArray &configs = cell->designConfigs();
    for (int32_t i = 0; i < configs.nitems(); ++i) {
        auto *config = static_cast<nyxDesignConfig *>(configs[i]);
        if (!nyxDMUtil::sameName(config->nameObj(), viewName)) continue;
        const nyxDesignConfigRef *root = config->loaded() ? config->rootRef() : nullptr;
        if (root != nullptr && root->obj != nullptr) return {root->obj, nyxCodeNetlistView, 0};
        return {};
    }
    return {};
}
