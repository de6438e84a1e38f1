// View selection: which view of a cell a selector set chooses.
//
// For each view selector in list order: its library must be the cell's (empty name, same name
// without regard to case, or both names resolving to open libraries of the same path) and its
// cell the cell (empty or same name without regard to case). Then the libraries of the library
// selectors are searched in order (the cell's own library when the set has none): in the first
// that holds a cell of the cell's name with a matching view, the view is chosen. A view type
// that matches two views of one cell is an error (48) at once, even when a later library or
// selector would have matched; nothing chosen is 49.
//
// Library lookups by name are made once per selection (each costs a path through the library
// map), and so are the lookup of the cell in each searched library and the list of its views'
// names, against which a view name is tested before the cell's own lookup runs.
#include <cstring>
#include <string_view>
#include <vector>

#include "config/config.h"
#include "dm/netlist/netlist.h"
#include "io/io.h"

namespace {

struct SearchEntry {
    explicit SearchEntry(const char *n) : name(n) {}
    const char *name;
    bool resolved = false;
    nyxLib *lib = nullptr;
    nyxCell *cell = nullptr;
    std::vector<const char *> viewNames;  // of the cell's listed views, when resolved
};

inline char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct Selection {
    nyxCell *cell;
    const char *cellName;
    const char *libName;
    std::vector<std::pair<const char *, nyxLib *>> known;  // open libraries by name
    std::vector<SearchEntry> search;

    // The open library a name resolves to (no library is read or made), memoised.
    nyxLib *openLibrary(const char *name) {
        for (const auto &k : known) {
            if (std::strcmp(k.first, name) == 0) return k.second;
        }
        nyxLib *lib = nyxLib::findKnown(name);
        known.emplace_back(name, lib);
        return lib;
    }

    bool libraryMatches(const char *selLib) {
        if (*selLib == '\0' || nyxDMUtil::sameName(selLib, libName)) return true;
        nyxLib *a = openLibrary(selLib);
        nyxLib *b = openLibrary(libName);
        if (a == nullptr || b == nullptr) return false;
        const char *pa = a->pathnameObj();
        const char *pb = b->pathnameObj();
        return pa != nullptr && pb != nullptr && std::strcmp(pa, pb) == 0;
    }

    // The cell of the cell's name in a searched library, or null.
    nyxCell *cellIn(SearchEntry &entry) {
        if (!entry.resolved) {
            entry.resolved = true;
            cfidrErrorT e = 0;
            entry.lib = nyxLib::findLibByName(entry.name, &e);
            if (entry.lib != nullptr && e == 0) {
                entry.cell = nyxLib::findCellByName(entry.lib, cellName, &e);
                if (e != 0) entry.cell = nullptr;
            }
            if (entry.cell != nullptr && entry.cell->openObj(&e)) {
                nyxDynArray &views = entry.cell->views();
                for (int32_t i = 0; i < views.nitems(); ++i) {
                    entry.viewNames.push_back(nyxCell::viewObject(views[i])->nameObj());
                }
            }
        }
        return entry.cell;
    }

    // Whether a view of that name may be had from the entry's cell: one of its listed views has
    // the name (compared as the cell's lookup does), or views not listed may be opened.
    static bool mayHaveView(const SearchEntry &entry, const char *name) {
        if (nyxLater.openView != nullptr) return true;
        const char first = lower(name[0]);
        for (const char *have : entry.viewNames) {
            if (lower(have[0]) == first && nyxDMUtil::sameName(have, name)) return true;
        }
        return false;
    }
};

// The view type of a listed view: from memory when the view is loaded, else from its file's
// header alone. False when it cannot be read.
bool viewTypeOf(void *item, std::string &type) {
    nyxDMObj *obj = nyxCell::viewObject(item);
    // A view in memory is judged by its own type: it may have no file yet, or differ from it.
    if (obj->loaded()) {
        type = nyxCell::viewCode(item) == nyxCodeNetlistView
                   ? nyxNetlistView::getViewType(static_cast<nyxNetlistView *>(obj))
                   : nyxEncapsulatedView::getViewType(static_cast<nyxEncapsulatedView *>(obj));
        return true;
    }
    const char *path = obj->pathnameObj();
    if (path == nullptr) return false;
    const std::string file = std::string(path) + "." + nyxDMTypes::row(obj->d_typeIndex).ext;
    return nyxViewIO::readViewType(file.c_str(), type);
}

// The one view of the cell whose type is `type`; 48 when there are two.
nyxObjRef viewByType(nyxCell *cell, const char *type, cfidrErrorT *err) {
    nyxObjRef found;
    std::string have;
    for (int32_t i = 0; i < cell->views().nitems(); ++i) {
        void *item = cell->views()[i];
        if (!viewTypeOf(item, have) || have != type) continue;
        if (found.obj != nullptr) return *err = cfidrErrAmbiguousView, nyxObjRef{};
        found = nyxObjRef{nyxCell::viewObject(item), nyxCell::viewCode(item), 0};
    }
    return found;
}

} // namespace

nyxObjRef nyxSelectorSet::selectView(nyxSelectorSet *set, nyxCell *cell, cfidrErrorT *err) {
    if (!load(set, err)) return {};
    if (!cell->openObj(err)) return {};
    Selection s{cell, cell->nameObj(), cell->d_lib->nameObj(), {}, {}};
    s.known.reserve(8);
    for (nyxLibrarySelector *l = set->d_libHead; l != nullptr; l = l->d_next) {
        s.search.emplace_back(l->d_libName.getString());
    }
    if (s.search.empty()) s.search.emplace_back(s.libName);

    for (nyxViewSelector *v = set->d_viewHead; v != nullptr; v = v->d_next) {
        if (!s.libraryMatches(v->d_libName.getString())) continue;
        const char *selCell = v->d_cellName.getString();
        if (*selCell != '\0' && !nyxDMUtil::sameName(selCell, s.cellName)) continue;
        for (SearchEntry &entry : s.search) {
            nyxCell *c = s.cellIn(entry);
            if (c == nullptr) continue;
            nyxObjRef r;
            if (v->d_type == nyxCodeViewTypeSelector) {
                r = viewByType(c, v->d_viewName.getString(), err);
                if (*err != 0) return {};
            } else {
                // Most selectors name no view of most cells: that is decided without the lookup.
                if (!Selection::mayHaveView(entry, v->d_viewName.getString())) continue;
                cfidrErrorT e = 0;
                r = nyxCell::findViewByName(c, v->d_viewName.getString(), &e);
                // A view that is there but cannot be read is reported, not passed over.
                if (e != 0 && e != cfidrErrNotFound) return *err = e, nyxObjRef{};
                if (e != 0) r = {};
            }
            if (r.obj != nullptr) {
                *err = 0;
                return r;
            }
        }
    }
    return *err = cfidrErrNoViewSelected, nyxObjRef{};
}
