// config.h - the face of src/config for the rest of the library: selector sets and view
// selection (design configurations and occurrence property sets to come).
//
// Selector sets
// -------------
// A selector set is a session object stored in a file of its own: "<path>.nyxSelectorSet" in the
// current form, "<path>.nyxs1" in the older one, where <path> is the set's name through the
// library map (nyxDMUtil::getPathname of the name alone). A set keeps the form it was found in.
// It holds an ordered list of library selectors (the libraries to search) and one ordered list
// of view selectors, by view name (class 18) or by view type (19), each optionally restricted to
// a library and a cell. The set, its selectors, their strings and every property list on them
// live in the set's own heap ("NYX SelectorSet Heap"); the set record and that heap's record
// live in the global heap, so that a release of the library drops them with it.
//
//   session list:    nyxSelectorSet::sessionList() holds every set in memory, once
//   lists:           head == null <=> tail == null; tail->next == null; every selector on a
//                    list has d_type != 0 and d_set == the set; a destroyed selector (d_type 0)
//                    is on no list and stays in the heap until the set goes
//   loaded state:    loaded() <=> the set was created here or its file was read whole;
//                    !loaded() => both lists and the property list are empty
//
// Loaded state. nyxDMObj owns it: a set opened from its file is read on first use through
// nyxDMObj::openObj. A read that fails (the file cannot be opened: 34; it is damaged or too
// large: 4) leaves the set empty (emptyStored) and not loaded: every later use reads again and
// reports again, and a save refuses with the read's error and writes nothing, so a file that
// could not be read is never replaced.
//
// Decisions where the stored forms and the interface leave room:
//   - Names of sets compare exactly (case-sensitive) among open sets; library and cell names of
//     selectors compare without regard to case, view types exactly, library paths exactly.
//   - A library selector with an empty name (possible only from a file) is written as "-" and so
//     comes back named "-".
//   - The older form's reader checks names itself (reading runs without the interface checks):
//     a library selector needs a valid name, a view selector a valid view name and valid or empty
//     library and cell names, a property a valid name; an entry that fails is skipped with its
//     properties. Property names and string values carry their length like every other name.
//     Lengths beyond the bytes left in the file, and property blocks nested deeper than 64, make
//     the file damaged (4).
//   - Destroying a set (generic destroy) removes its stored file with its companions, clears the
//     directory cache, and drops the set from the session and from memory.
//   - Opening a set that is not open and has no stored file reports 27 and makes nothing.
//   - Purging does not read the set first: its contents would be dropped at once, and a file
//     that cannot be read must not keep the set in memory. Renaming reads it first, so that the
//     contents of the old name's file go to the new name's.
//   - Selection reports a view named by a selector that is listed but cannot be read (its read's
//     error) instead of passing over it to another view.
//   - Selection by view type reads only the header of a listed view that is not loaded; a view
//     whose header cannot be read does not match.
//   - An explicit save writes the set; no library save touches selector sets (they belong to no
//     library), so nothing saves a set that did not ask to be saved.
#pragma once

#include <cstdint>
#include <string>

#include "dm/store/store.h"

class nyxSelectorSet;

// A library selector (class 17).
struct nyxLibrarySelector {
    nyxPropList *d_propList = nullptr;
    int32_t d_type = nyxCodeLibrarySelector;  // 0 once destroyed
    nyxSelectorSet *d_set;
    nyxVarString d_libName;
    nyxLibrarySelector *d_next = nullptr;
};

// A view name (class 18) or view type (class 19) selector; d_viewName holds the view type of a
// view type selector. Empty library and cell names match every library and cell.
struct nyxViewSelector {
    nyxPropList *d_propList = nullptr;
    int32_t d_type;  // 18 or 19; 0 once destroyed
    nyxSelectorSet *d_set;
    nyxVarString d_libName;
    nyxVarString d_cellName;
    nyxVarString d_viewName;
    nyxViewSelector *d_next = nullptr;
};

class nyxSelectorSet final : public nyxDMObj {
public:
    const char *pathnameObj() override;
    const char *nameObj() const override { return d_name.getString(); }
    void deleteObj() override;
    // A failed read's contents go (empty): the set keeps its name, form, session place, identity.
    void emptyStored() override { empty(this); }

    // Operations behind the interface (object checks done by the caller).
    // A new empty set in the session, loaded, of the current form: 14 invalid name, 26 a set of
    // that name is open (unless trusted data mode); 4.
    static nyxSelectorSet *create(const char *name, cfidrErrorT *err);
    // The open set of that name, or the stored set (unread) added to the session: 14 invalid name
    // (unless trusted data mode), 27 no stored file; 4.
    static nyxSelectorSet *open(const char *name, cfidrErrorT *err);
    // Reads the set when it is not loaded (see above). False with the read's error.
    static bool load(nyxSelectorSet *set, cfidrErrorT *err);
    // Drops every selector and property of the set and makes its heap anew; the set keeps its
    // name, form, place in the session and identity.
    static void empty(nyxSelectorSet *set);

    static nyxLibrarySelector *createLibrarySelector(nyxSelectorSet *set, const char *lib,
                                                     cfidrErrorT *err);
    // code 18 (by view name) or 19 (by view type).
    static nyxViewSelector *createViewSelector(nyxSelectorSet *set, int32_t code, const char *lib,
                                               const char *cell, const char *view, cfidrErrorT *err);
    // The same without checks and without reading the set first (readers of the stored forms).
    static nyxLibrarySelector *appendLibrarySelector(nyxSelectorSet *set, const char *lib,
                                                     cfidrErrorT *err);
    static nyxViewSelector *appendViewSelector(nyxSelectorSet *set, int32_t code, const char *lib,
                                               const char *cell, const char *view, cfidrErrorT *err);
    // Iterators over the lists in order (the set is read first); null after the error.
    static nyxIter *getLibrarySelectors(nyxSelectorSet *set, cfidrErrorT *err);
    static nyxIter *getViewSelectors(nyxSelectorSet *set, cfidrErrorT *err);
    static void destroyLibrarySelector(nyxLibrarySelector *sel, cfidrErrorT *err);
    static void destroyViewSelector(nyxViewSelector *sel, cfidrErrorT *err);

    // The view chosen for a cell: {view, 14 or 15}; 48 a view type matched twice in one library,
    // 49 nothing matched; errors of reading the set, the cell or a named view.
    static nyxObjRef selectView(nyxSelectorSet *set, nyxCell *cell, cfidrErrorT *err);

    static void save(nyxSelectorSet *set, cfidrErrorT *err);
    // Drops the set from the session and memory; the file is not touched.
    static void purge(nyxSelectorSet *set);
    // Removes the stored file, then purges.
    static void destroy(nyxSelectorSet *set, cfidrErrorT *err);
    // 42 read-only set, 14 invalid name, 25 another open set has the name (unless trusted data).
    static void setName(nyxSelectorSet *set, const char *name, cfidrErrorT *err);

    // Opens the selector-set file of the current directory found at start (ZIL_NYX_LIBRARYMAP ".").
    static void openStartupFile(const char *name);
    // The session's selector sets, every set in memory once (empty while no session exists).
    static nyxDynArray &sessionList();

    // The owner records of property lists on the set and its selectors.
    nyxPropOwner propOwner();
    static nyxPropOwner propOwner(nyxLibrarySelector *sel);
    static nyxPropOwner propOwner(nyxViewSelector *sel);

    Hx_genheap *heap() const { return d_heap; }
    nyxLibrarySelector *librarySelectors() const { return d_libHead; }
    nyxViewSelector *viewSelectors() const { return d_viewHead; }
    bool olderForm() const { return d_typeIndex == nyxDMTypes::kSelectorSetOld; }

    nyxVarString d_name;  // in the global heap

private:
    nyxSelectorSet(int32_t row, Hx_genheap *heap);
    ~nyxSelectorSet() override;
    static nyxSelectorSet *construct(const char *name, int32_t row, cfidrErrorT *err);
    static nyxSelectorSet *findOpen(const char *name);

    Hx_genheap *d_heap;
    nyxLibrarySelector *d_libHead = nullptr;
    nyxLibrarySelector *d_libTail = nullptr;
    nyxViewSelector *d_viewHead = nullptr;
    nyxViewSelector *d_viewTail = nullptr;
};

// The operations the interface reaches through the `own` slot of the selector-set class row, so
// that the frame does not link this folder (without the row, the functions answer 15).
struct nyxSelectorSetClassOps {
    nyxSelectorSet *(*create)(const char *name, cfidrErrorT *err);
    nyxSelectorSet *(*open)(const char *name, cfidrErrorT *err);
    nyxLibrarySelector *(*createLibrarySelector)(nyxSelectorSet *set, const char *lib, cfidrErrorT *err);
    nyxViewSelector *(*createViewSelector)(nyxSelectorSet *set, int32_t code, const char *lib,
                                           const char *cell, const char *view, cfidrErrorT *err);
    nyxIter *(*getLibrarySelectors)(nyxSelectorSet *set, cfidrErrorT *err);
    nyxIter *(*getViewSelectors)(nyxSelectorSet *set, cfidrErrorT *err);
    nyxObjRef (*selectView)(nyxSelectorSet *set, nyxCell *cell, cfidrErrorT *err);
    void (*save)(nyxSelectorSet *set, cfidrErrorT *err);
    void (*purge)(nyxSelectorSet *set);
};

// The subsystem's start call (session code's start list, before the library map is read): installs
// the class rows 16-19, the type-table rows of both stored forms, and the opening of the selector-set
// files of the current directory (nyxLater.openSelectorSetFile).
void nyxConfigInstall();

// The stored forms (selectorfile.cpp, selectorfile_old.cpp), installed in the type-table rows of
// selector sets. The text functions work on memory (tests and the fuzz target): `parse` fills an
// empty set and returns 0 or the error of a damaged text (4; the current form is never damaged:
// malformed lines are ignored); `format` gives the text the writer stores.
namespace nyxSelectorFile {

void read(nyxDMObj *set, const char *path, cfidrErrorT *err);
void write(nyxDMObj *set, const char *path, cfidrErrorT *err);
void readOld(nyxDMObj *set, const char *path, cfidrErrorT *err);
void writeOld(nyxDMObj *set, const char *path, cfidrErrorT *err);
void remove(const char *path, cfidrErrorT *err);
void removeOld(const char *path, cfidrErrorT *err);

cfidrErrorT parse(nyxSelectorSet *set, std::string_view text);
std::string format(const nyxSelectorSet *set);
cfidrErrorT parseOld(nyxSelectorSet *set, std::string_view text);
std::string formatOld(const nyxSelectorSet *set);

// Deepest nesting of property blocks the older form may hold.
constexpr int kMaxNesting = 64;

} // namespace nyxSelectorFile
