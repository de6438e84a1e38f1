// Opening views that a cell does not list: stored views found on disk, and views compiled from
// the cell's directory entries by their compiler rule (see "Opening views" in compiler.h).
#include <cstring>
#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "dm/netlist/view.h"
#include "utils/settings.h"

namespace {

constexpr const char *kPartEntry = "part.Tabo_part.attr";
constexpr const char *kPartType = "Tabo_part.attr";
constexpr const char *kPartPrefix = "part@";

// What an open compiles from: a directory entry of the cell and the view type it gives.
struct Candidate {
    std::string entry;
    std::string viewType;
};

// The view type that `entry` gives the view `name` (encoded on disk as `coded`); false when the
// entry serves no view of that name. `partEntry`: "part.Tabo_part.attr" serves "part@..." views.
bool serves(const std::string &entry, const std::string &coded, const char *name, bool partEntry,
            std::string &viewType) {
    if (entry.size() > coded.size() && entry[coded.size()] == '.' &&
        entry.compare(0, coded.size(), coded) == 0) {
        viewType = entry.substr(coded.size() + 1);
        return true;
    }
    if (partEntry && entry == kPartEntry && std::strncmp(name, kPartPrefix, std::strlen(kPartPrefix)) == 0) {
        viewType = kPartType;
        return true;
    }
    return false;
}

// The entries that may compile view `name`: the cell's compilable entries first, then the other
// entries of its directory in listing order. The listing is a copy: its cache slot is given back
// before this returns, so that compilations may list other directories. A directory that cannot
// be listed (or a full cache) leaves the compilable entries alone.
std::vector<Candidate> candidates(nyxCell *cell, const char *cellPath, const char *name, bool partEntry) {
    const std::string coded = nyxDMPath::encodeName(name);
    std::vector<Candidate> found;
    std::string viewType;
    const nyxDynArray &side = cell->compilableEntries();
    for (int32_t i = 0; i < side.nitems(); ++i) {
        const std::string entry = static_cast<const nyxCompilableEntry *>(side[i])->entry.getString();
        if (serves(entry, coded, name, partEntry, viewType)) found.push_back({entry, viewType});
    }
    const size_t preferred = found.size();
    if (const std::vector<std::string> *listing = nyxDMPath::getDiskDirectory(cellPath)) {
        for (const std::string &entry : *listing) {
            if (!serves(entry, coded, name, partEntry, viewType)) continue;
            bool tried = false;
            for (size_t k = 0; k < preferred && !tried; ++k) tried = found[k].entry == entry;
            if (!tried) found.push_back({entry, viewType});
        }
        nyxDMPath::freeDiskDirectory(cellPath);
    }
    return found;
}

// A view of the cell stored on disk under one of the rows of `code` and not yet listed: made
// unread in the cell's list (the row's construct operation) and read. Null with err unset when
// no such file exists or its kind is not present; null with the read's error when it cannot be
// read (the view stays listed and is read again on next use, as every listed view).
nyxDMObj *openStored(nyxCell *cell, const char *cellPath, int32_t code, const char *name,
                     cfidrAccessModeT mode, cfidrErrorT *err) {
    const int32_t row = nyxDMObj::findDMObj(code, cellPath, name, nullptr);
    if (row < 0 || nyxDMTypes::row(row).construct == nullptr) return nullptr;
    nyxDMObj *obj = nyxDMTypes::row(row).construct(cell, name, row, err);
    if (obj == nullptr) {
        if (*err == 0) *err = cfidrErrInternal;
        return nullptr;
    }
    if (!obj->openObj(err)) return nullptr;
    obj->d_accessMode = mode;
    return obj;
}

// A compiled view joins its cell as a changed view in the mode asked, so that it is saved with
// the cell (see compiler.h).
nyxObjRef keepCompiled(nyxObjRef r, cfidrAccessModeT mode) {
    nyxDMObj *obj = static_cast<nyxDMObj *>(r.obj);
    obj->d_accessMode = mode;
    if (r.code == nyxCodeNetlistView) static_cast<nyxNetlistView *>(obj)->d_changed = 1;
    return r;
}

using CompileFn = nyxObjRef (*)(nyxCompilerRule *, const char *, const char *, const char *,
                                const char *, cfidrErrorT *);

// Steps 2 to 4 of an open: the first candidate whose rule's compiler starts compiles the view.
// A compilation that ends without a view always reports a code: should the exchange give none,
// a netlist open reports 27 (nothing compiled that name) and an encapsulated open 4.
nyxObjRef compileFromEntries(nyxCell *cell, const char *cellPath, const char *name, bool encapsulated,
                             cfidrAccessModeT mode, cfidrErrorT *err) {
    const CompileFn compile = encapsulated ? &nyxCompilerIntf::compileEncapsulatedView
                                           : &nyxCompilerIntf::compileNetlistView;
    const cfidrErrorT noView = encapsulated ? cfidrErrInternal : cfidrErrNotFound;
    for (const Candidate &c : candidates(cell, cellPath, name, !encapsulated)) {
        nyxCompilerRule *rule = nyxCompilerIntf::findCompiler(c.viewType.c_str());
        if (rule == nullptr) continue;
        if (encapsulated) {
            cfidrErrorT findErr = 0;
            if (nyxCell::findDesignConfigByName(cell, name, &findErr) != nullptr) continue;
        }
        const std::string path = std::string(cellPath) + "/" + c.entry;
        if (nyxCompilerIntf::startCompiler(rule, path.c_str()) != 0) continue;
        *err = 0;
        nyxObjRef r = compile(rule, path.c_str(), cell->d_lib->nameObj(), cell->nameObj(), name, err);
        if (r.obj == nullptr) {
            if (*err == 0) *err = noView;
            return {};
        }
        return keepCompiled(r, mode);
    }
    return *err = cfidrErrNotFound, nyxObjRef{};
}

} // namespace

nyxObjRef nyxCompilerOpen::openNetlistView(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                           cfidrErrorT *err) {
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return *err = cfidrErrInternal, nyxObjRef{};
    if (nyxDMObj *view = openStored(cell, cellPath, nyxCodeNetlistView, name, mode, err)) {
        return nyxObjRef{view, nyxCodeNetlistView, 0};
    }
    if (*err != 0) return {};
    return compileFromEntries(cell, cellPath, name, false, mode, err);
}

nyxObjRef nyxCompilerOpen::openEncapsulatedView(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                                cfidrErrorT *err) {
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return *err = cfidrErrInternal, nyxObjRef{};
    if (nyxDMObj *view = openStored(cell, cellPath, nyxCodeEncapsulatedView, name, mode, err)) {
        return nyxObjRef{view, nyxCodeEncapsulatedView, 0};
    }
    if (*err != 0) return {};
    if (nyxSettings::hasNameOption(nyxSettings::kSuppressDirectoryScan)) {
        return *err = cfidrErrNotFound, nyxObjRef{};
    }
    return compileFromEntries(cell, cellPath, name, true, mode, err);
}

nyxObjRef nyxCompilerOpen::openView(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                    cfidrErrorT *err) {
    nyxSettings::clearNameOptionBits(nyxSettings::kSuppressDirectoryScan);
    if (name == nullptr) return *err = cfidrErrBadName, nyxObjRef{};
    const char *cellPath = cell->pathnameObj();
    if (cellPath == nullptr) return *err = cfidrErrInternal, nyxObjRef{};
    // A stored encapsulated view that appeared after the cell was read is as good as a netlist
    // view: the caller gets whichever the cell holds.
    if (nyxDMObj *view = openStored(cell, cellPath, nyxCodeNetlistView, name, mode, err)) {
        return nyxObjRef{view, nyxCodeNetlistView, 0};
    }
    if (*err != 0) return {};
    if (nyxDMObj *view = openStored(cell, cellPath, nyxCodeEncapsulatedView, name, mode, err)) {
        return nyxObjRef{view, nyxCodeEncapsulatedView, 0};
    }
    if (*err != 0) return {};
    return compileFromEntries(cell, cellPath, name, false, mode, err);
}

namespace {

// nyxLater.registerCompiledView: the entry joins the cell's compilable-entry side list under the
// name of the view it compiles into.
void registerEntry(nyxCell *cell, const char *entry, cfidrErrorT *err) {
    size_t base = 0;
    const int32_t rank = nyxCell::compilableRank(entry, base);
    if (rank < 0) return;
    const std::string name = nyxDMPath::decodeName(std::string(entry, base).c_str());
    if (!cell->registerCompilable(name, entry, rank)) *err = cfidrErrInternal;
}

} // namespace

void nyxCompilerOpenInstall() {
    nyxLater.openView = &nyxCompilerOpen::openView;
    nyxLater.registerCompiledView = &registerEntry;
}
