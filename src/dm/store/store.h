// store.h - the face of the stored-objects room of the data model for the rest of the library:
// stored objects, libraries and cells, their paths on disk, and the property room (prop.h).
//
// Stored objects
// --------------
// Every object kept on disk (library, cell, netlist view, encapsulated view, design
// configuration, occurrence property set, selector set) derives from nyxDMObj. A library is a
// directory, each cell a subdirectory of it, and a cell's directory holds one file per stored
// view, design configuration and occurrence property set:
//
//   library path                      directory of the library
//   library path/_nyx_Lib             property file of the library (only when it has properties)
//   library path/cell                 directory of the cell (name encoded, see dmpath.h)
//   cell path/_nyx_Cell               property file of the cell (only when it has properties)
//   cell path/name.extension          a stored object; the extension gives its kind (type table)
//
// Objects are read lazily: a library is listed on first use of its cells, a cell on first use of
// its views or sets (nyxDMObj::openObj). Reading runs in expert mode, without argument checks
// and identifier registration.
//
// Loaded state: one owner
// -----------------------
// nyxDMObj alone sets and clears whether an object's contents are in memory; no kind and no
// reader writes it. The states and their moves:
//
//   kUnread  --openObj-->  kReading  --read reports 0------------------------>  kLoaded
//                                     --read reports e, kind empties-------->  kFailed (e)
//                                     --read reports e, kind keeps---------->  kLoaded (e)
//   kFailed  --openObj-->  kReading  (as from kUnread: every use reads again and reports again)
//   made in memory (markCreated) ------------------------------------------->  kLoaded
//
// Invariants:
//   readError() != 0   exactly when the last read failed
//   loadState() == kFailed   implies the object holds nothing the read built (emptyStored ran)
//   loadState() == kReading  only inside openObj while the row's read runs; an openObj of the
//                            same object from inside the read fails with 4 (it never re-enters)
//   !loaded() || readError() != 0   implies no save writes the object's own stored file: the
//                            file stays byte for byte as it is
// Saving follows from them. The save of an object itself (cfidrViewSave, ...) calls openObj
// first: an unread or failed object is read again, and a read that fails again refuses the save
// with its error. Inside a library save an object that is not loaded writes nothing. A kept read
// error (libraries and cells, below) makes every library save report it.
//
// What a kind implements to take part:
//   - a read operation in its row (nyxDMTypes::install). It builds the contents through
//     unchecked builder operations of the kind (never through checked operations, which would
//     load the object again) and reports an error code; it never sets the loaded state and
//     never empties the object itself. It runs in expert mode.
//   - emptyStored(): the object's contents go and the object stays what it is (same address,
//     name, place in its owner's list, identifiers of the object itself), as if never read. It
//     runs in expert mode after a failed read and must leave the object valid and empty whatever
//     the read built.
//   - keepsFailedRead(): false by default (files: views, selector sets, design configurations,
//     occurrence property sets are emptied and read again on next use). Libraries and cells
//     return true: what the read of their directory and property file found stays, the object
//     counts as read (a directory that cannot be listed leaves it with no cells), and their save
//     leaves the property file as it stands while it saves their cells and views.
//   - saveObj(): writes the object's own file only when loaded() and readError() == 0
//     (nyxDMObj::saveObj does so with the row's write operation).
//   - markCreated() in the operation that makes a new object in memory.
// A row without a read operation leaves its objects unread: openObj succeeds without reading and
// the kind reports what contents it cannot reach (netlist views: 27).
//
// How a later kind takes part
// ---------------------------
// The rows of the persistent type table for views, selector sets, design configurations and
// occurrence property sets start without operations. The subsystem of a kind fills its rows
// with nyxDMTypes::install: `construct` makes an unopened object for a directory entry found by
// a cell's read (and appends it to the cell's list), `read`/`write`/`remove` are the kind's stored
// form. Objects of those kinds derive from nyxDMObj as their first and only base, so that the
// address of the nyxDMObj is the object's address. A cell's view list holds nyxDMObj pointers
// tagged in bit 0: clear for a netlist view (class 14), set for an encapsulated view (class 15).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dm/store/dmpath.h"
#include "dm/prop/prop.h"
#include "utils/nyx.h"

class nyxDMObj;
class nyxLib;
class nyxCell;
class nyxPtrIndex;

// --- Persistent type table ---------------------------------------------------------------------

using nyxDMReadFn = void (*)(nyxDMObj *obj, const char *path, cfidrErrorT *err);
using nyxDMWriteFn = void (*)(nyxDMObj *obj, const char *path, cfidrErrorT *err);
using nyxDMRemoveFn = void (*)(const char *path, cfidrErrorT *err);
using nyxDMConstructFn = nyxDMObj *(*)(nyxCell *cell, const char *name, int32_t row,
                                       cfidrErrorT *err);
// For an older file form shared by two kinds: whether the file's own header names `code`.
using nyxDMHeaderFn = bool (*)(const char *path, int32_t code);

// One row: the class code (negative: an older file form of the kind, recognised when reading),
// directory (0) or file (1), the primary and second extensions ("" when none) and the kind's
// operations (null until the kind's subsystem installs them).
struct nyxDMKind {
    int32_t code;
    int32_t isFile;
    const char *ext;
    const char *ext2;
    nyxDMReadFn read;
    nyxDMWriteFn write;
    nyxDMRemoveFn remove;
    nyxDMConstructFn construct;
    nyxDMHeaderFn headerNames;
};

namespace nyxDMTypes {

// Row indices, in table order.
enum : int32_t {
    kLib = 0,
    kCell = 1,
    kNetlistView = 2,         // "nyxNetlistView"
    kNetlistViewOld = 3,      // "nyx", code -14
    kEncapsulatedView = 4,    // "nyxEncapsulatedView"
    kEncapsulatedViewOld = 5, // "nyx", code -15
    kSelectorSet = 6,         // "nyxSelectorSet"
    kSelectorSetOld = 7,      // "nyxs1"
    kDesignConfig = 8,        // "nyxDesignConfig"
    kOccPropSet = 9,          // "nyxOccPropSet"
    kRows = 10,
};

const nyxDMKind &row(int32_t index);
// Installs the operations of a row (null arguments leave that operation as it was).
void install(int32_t index, nyxDMReadFn read, nyxDMWriteFn write, nyxDMRemoveFn remove,
             nyxDMConstructFn construct, nyxDMHeaderFn headerNames = nullptr);
// Text naming the kind of a row, for listings ("netlist view", ...).
const char *kindName(int32_t index);

} // namespace nyxDMTypes

// --- Stored object base ------------------------------------------------------------------------

class nyxDMObj {
public:
    nyxDMObj(int32_t typeIndex, cfidrAccessModeT mode) : d_typeIndex(typeIndex), d_accessMode(mode) {}
    virtual ~nyxDMObj();
    nyxDMObj(const nyxDMObj &) = delete;
    nyxDMObj &operator=(const nyxDMObj &) = delete;

    // The object's path on disk, computed once and cached (null when memory ran out).
    virtual const char *pathnameObj() = 0;
    // The object's name.
    virtual const char *nameObj() const = 0;
    // Destroys the object in memory and returns its storage (the owner has already unlinked it).
    virtual void deleteObj() = 0;
    // Writes the object's stored form with the write operation of its row, when the contents are
    // in memory and were read whole (see above); otherwise writes nothing.
    virtual void saveObj(cfidrErrorT *err);
    // Removes the object's files (the remove operation of its row by default).
    virtual void destroyObj(cfidrErrorT *err);

    // The one entry that reads an object (see "Loaded state" above). Unread or failed: marks it
    // kReading, runs the read operation of its row in expert mode, then marks it kLoaded or, on
    // failure, empties it (unless the kind keeps a failed read) and marks it kFailed. True when
    // the contents are loaded; false with the read's error (4 on a read re-entering itself, or
    // when memory ran out before the read started; the object then stays as it was).
    bool openObj(cfidrErrorT *err);

    enum class LoadState : uint8_t { kUnread, kReading, kLoaded, kFailed };
    LoadState loadState() const { return d_loadState; }
    bool loaded() const { return d_loadState == LoadState::kLoaded; }
    // The error of the last read when it failed; 0 otherwise.
    cfidrErrorT readError() const { return d_readError; }
    // Drops everything a read built; the object stays what it is (see above). openObj calls it,
    // in expert mode, after a failed read of a kind that does not keep it; it leaves the loaded
    // state alone.
    virtual void emptyStored() {}

    // The row under which an object exists on disk: parent path / name (/ subName), tried with
    // every row of `code` or -code in table order; -1 when none matches.
    static int32_t findDMObj(int32_t code, const char *parentPath, const char *name,
                             const char *subName);

    int32_t classCode() const { return nyxDMTypes::row(d_typeIndex).code; }
    bool readOnly() const { return d_accessMode != cfidrUpdateMode; }

    int32_t d_typeIndex;
    cfidrAccessModeT d_accessMode;
    cfiBooleanEnum d_allowSave = 1;
    cfiBooleanEnum d_allowDestroy = 1;
    char *d_pathName = nullptr;  // global heap
    nyxPropList *d_propList = nullptr;

protected:
    // Frees the cached path name.
    void forgetPathname();
    // A new object made in memory: its contents are present without a read.
    void markCreated() {
        d_loadState = LoadState::kLoaded;
        d_readError = 0;
    }
    // Whether a failed read leaves what it built in place (libraries and cells).
    virtual bool keepsFailedRead() const { return false; }

private:
    LoadState d_loadState = LoadState::kUnread;
    cfidrErrorT d_readError = 0;
};

// --- Libraries ---------------------------------------------------------------------------------

class nyxLib final : public nyxDMObj {
public:
    // Constructs a library record and appends it to the global library list; null after 4.
    static nyxLib *construct(const char *name, cfidrAccessModeT mode, cfidrErrorT *err);

    const char *pathnameObj() override;
    const char *nameObj() const override { return d_name.getString(); }
    void deleteObj() override;
    void saveObj(cfidrErrorT *err) override;
    void destroyObj(cfidrErrorT *err) override;

    // The type-table operations of libraries.
    static void read(nyxDMObj *obj, const char *path, cfidrErrorT *err);
    static void write(nyxDMObj *obj, const char *path, cfidrErrorT *err);
    static void remove(const char *path, cfidrErrorT *err);

    // The library whose disk path is the path of `name`, or null.
    static nyxLib *findKnown(const char *name);
    // The session's libraries, in the order they became known (empty while no session exists).
    static nyxDynArray &sessionList();

    // Operations behind the interface (argument checks done by the caller).
    static nyxLib *openLib(const char *name, cfidrAccessModeT mode, cfidrErrorT *err);
    // Opens a view by library, cell and view name: the library is found, or constructed from its
    // directory and read, as openLib does (a library the caller had not opened takes `mode`, one
    // it had keeps its own; no 22); then the cell (14, 27) and the view (nyxCell::openView).
    static nyxObjRef openView(const char *lib, const char *cell, const char *view,
                              cfidrAccessModeT mode, cfidrErrorT *err);
    static nyxLib *findLibByName(const char *name, cfidrErrorT *err);
    static nyxLib *createLib(const char *name, cfidrErrorT *err);
    static nyxCell *createCell(nyxLib *lib, const char *name, cfidrErrorT *err);
    static nyxCell *findCellByName(nyxLib *lib, const char *name, cfidrErrorT *err);
    static nyxIter *getCells(nyxLib *lib, cfidrErrorT *err);
    // The global state's libraries, each read (when not yet fully open) and marked user-opened
    // as it is handed out; null after 4.
    static nyxIter *getLibs(cfidrErrorT *err);
    // Writes every changed file of the library (views, cell and library property files) and
    // replaces them all or none: a failure reports 4 and leaves every stored file as it was. A
    // crash while the files are being moved into place can leave some replaced and the others
    // not, each whole (see utils/fileio.h). A property file that could not be read is left as it
    // is while everything else is saved; the save then reports that read's error.
    static void save(nyxLib *lib, cfidrErrorT *err);
    // The read error of the first property file of the library or of one of its cells that was
    // not read whole; 0 when there is none.
    cfidrErrorT unreadPropertiesError() const;
    // Drops the library's in-memory state; a library that exists on disk is replaced by a fresh
    // unopened record (returned), otherwise null is returned.
    static nyxLib *purge(nyxLib *lib, cfidrErrorT *err);
    // Destroys the library on disk and in memory.
    static void destroy(nyxLib *lib, cfidrErrorT *err);

    // Appends a cell to the cell list; false when memory ran out (the cell is not listed).
    bool linkCell(nyxCell *cell);
    // Removes a cell from the cell list (the cell is not freed).
    void unlinkCell(nyxCell *cell);
    // The first cell of the list whose name equals `name` ignoring case, or null.
    nyxCell *cellNamed(const char *name);
    const nyxDynArray &cells() const { return d_cells; }

    cfiBooleanEnum d_userOpened = 0;
    cfiBooleanEnum d_usable = 1;
    nyxVarString d_name;
    uint64_t d_inode = 0;

private:
    nyxLib(cfidrAccessModeT mode);
    ~nyxLib() override;
    // A failed read keeps the cells listed and the properties read so far (see above).
    bool keepsFailedRead() const override { return true; }
    void dropCellIndex();
    nyxDynArray d_cells;
    // The cells by the hash of their folded names (nyxPtrIndex::foldName), made by the first
    // search of a long list and kept with the list from then on; dropped when it cannot take an
    // entry. Invariant: while it exists it holds every listed cell, once, under its name's hash.
    nyxPtrIndex *d_cellIndex = nullptr;
};

// --- Cells -------------------------------------------------------------------------------------

// A stored object a cell's read found in its directory: its type-table row and name.
struct nyxDMEntry {
    int32_t row;
    nyxVarString name;
};

// A directory entry of a cell that a compiler rule turns into a view when the view is opened
// (the compilable-entry side list, see nyxCell::compilableEntries).
//   name:  the view it serves, decoded: the entry up to its first "."
//   entry: the directory entry as it stands on disk ("adder.sch", "part.Tabo_part.attr")
//   rank:  the rank of its compiler rule (nyxLater.compilerRuleRank), >= 0
struct nyxCompilableEntry {
    nyxVarString name;
    nyxVarString entry;
    int32_t rank;
};

class nyxCell final : public nyxDMObj {
public:
    // Constructs a cell record of `lib` (name as given, or decoded from a directory entry when
    // `stored`) and appends it to the library's cell list; null after 4. A cell that is not
    // `stored` is new: its contents are present without a read.
    static nyxCell *construct(nyxLib *lib, const char *name, bool stored, cfidrAccessModeT mode,
                              cfidrErrorT *err);

    const char *pathnameObj() override;
    const char *nameObj() const override { return d_name.getString(); }
    void deleteObj() override;
    void saveObj(cfidrErrorT *err) override;
    void destroyObj(cfidrErrorT *err) override;

    static void read(nyxDMObj *obj, const char *path, cfidrErrorT *err);
    static void write(nyxDMObj *obj, const char *path, cfidrErrorT *err);
    static void remove(const char *path, cfidrErrorT *err);

    static nyxLib *getOwner(nyxCell *cell) { return cell->d_lib; }
    static nyxIter *getViews(nyxCell *cell, cfidrErrorT *err);
    // A view by name: {view, 14 or 15}; 27 when none.
    static nyxObjRef findViewByName(nyxCell *cell, const char *name, cfidrErrorT *err);
    // Opens a view of the cell in `mode`: a listed view is read (unless trusted program mode)
    // and takes the mode; another is opened by the general view opening when it exists, else
    // 27. 14 for an invalid name unless trusted program mode. {view, 14 or 15}.
    static nyxObjRef openView(nyxCell *cell, const char *name, cfidrAccessModeT mode, cfidrErrorT *err);
    static void destroy(nyxCell *cell, cfidrErrorT *err);
    // An occurrence property set or design configuration of the cell by name. With fix switch
    // 119985 on, the sets already known are first compared exactly, before the cell is read;
    // then the cell is read when needed and names compare without regard to case. 27 when none.
    static nyxDMObj *findOccPropSetByName(nyxCell *cell, const char *name, cfidrErrorT *err);
    static nyxDMObj *findDesignConfigByName(nyxCell *cell, const char *name, cfidrErrorT *err);

    // Lists of the cell's stored objects. View entries are tagged nyxDMObj pointers (bit 0 set
    // for an encapsulated view); the other two hold nyxDMObj pointers.
    nyxDynArray &views() { return d_views; }
    nyxDynArray &occPropSets() { return d_occPropSets; }
    nyxDynArray &designConfigs() { return d_designConfigs; }
    // What the last read found on disk (nyxDMEntry pointers), whether or not objects of the kind
    // could be constructed.
    const nyxDynArray &storedEntries() const { return d_stored; }
    // The compilable-entry side list (nyxCompilableEntry pointers, in directory order): the
    // entries the read found whose compiler rule has the lowest rank among the directory's
    // entries, for names that no view, occurrence property set or design configuration of the
    // cell has (nyxLater.registerCompiledView appends them; every read of the directory starts
    // the list afresh). They are no objects: the view list holds real views only, and listing
    // the views never compiles. The general view opening tries these entries first.
    const nyxDynArray &compilableEntries() const { return d_compilable; }
    // Appends an entry to the side list; false when memory ran out.
    bool registerCompilable(const std::string &name, const std::string &entry, int32_t rank);
    // The rank of the compiler rule for a directory entry: the rule of its extension, or failing
    // that of the longer extension from an earlier "."; -1 when no rule covers it (or no rules
    // are present). `base` becomes the length of the entry's part before that extension, the
    // (encoded) name of the view that the entry compiles into.
    static int32_t compilableRank(const std::string &entry, size_t &base);

    static nyxDMObj *viewObject(void *entry) {
        return reinterpret_cast<nyxDMObj *>(reinterpret_cast<uintptr_t>(entry) & ~uintptr_t{1});
    }
    static int32_t viewCode(void *entry) {
        return (reinterpret_cast<uintptr_t>(entry) & 1) != 0 ? nyxCodeEncapsulatedView
                                                            : nyxCodeNetlistView;
    }

    // Whether the cell holds a view, occurrence property set or design configuration named `name`.
    bool hasObjectNamed(const char *name) const;

    nyxLib *d_lib;
    nyxVarString d_name;
    void *d_unfold = nullptr;  // the schematic compiler's unfold information

private:
    explicit nyxCell(nyxLib *lib, cfidrAccessModeT mode);
    ~nyxCell() override;
    // A failed read keeps the objects listed and the properties read so far (see above).
    bool keepsFailedRead() const override { return true; }
    void forgetStored();
    void forgetCompilable();
    // The objects of the cell directory's entries (the part of read after the property file).
    void readDirectory(const char *path, cfidrErrorT *err);
    static nyxDMObj *findSetByName(nyxCell *cell, nyxDynArray &list, const char *name,
                                   cfidrErrorT *err);

    nyxDynArray d_views;
    nyxDynArray d_occPropSets;
    nyxDynArray d_designConfigs;
    nyxDynArray d_stored;
    nyxDynArray d_compilable;
};

// --- Paths and files ---------------------------------------------------------------------------

namespace nyxDMUtil {

// The name rule: non-null, non-empty, 7-bit characters and no control characters. The second
// form checks a name read from a file, which need not be terminated.
bool validName(const char *name);
bool validName(std::string_view name);
// Names of libraries, cells and views compare without regard to case.
bool sameName(const char *a, const char *b);

// The disk path of a library (and cell, and view), through the library map and the location
// map: a new string in the global heap that the caller frees (nyxDMUtil::freeString); null when
// memory ran out. cell and view may be null.
char *getPathname(const char *lib, const char *cell, const char *view);
void freeString(char *s);
// The same path as a std::string ("" when it could not be formed).
std::string pathOf(const char *lib, const char *cell = nullptr, const char *view = nullptr);

// Forgets the library map so that the next path request reads ZIL_NYX_LIBRARYMAP again (tests).
void resetLibraryMap();
// Replaces the library map by the rules in text, read as the content of a map file (fuzzing).
void useLibraryMapText(const std::string &text);

// A path buffer of the ring holding path (valid until 24 more buffers were handed out).
inline char *getPathBuf(const std::string &path) { return nyxDMPath::pathBuffer(path); }

// The hard and the soft form of a path, in a path buffer of the ring. With the library map "."
// (libraries are directories of the current directory) the path is returned as it is; otherwise
// it goes through the location map, and the input is kept when that gives nothing. A result
// starting with "/tmp_mnt/" (an automounter's staging directory) loses those first 8
// characters. A null path gives "".
char *getHardPath(const char *path);
char *getSoftPath(const char *path);
// Whether the library map is "." (read once, as every path request does).
bool libraryMapIsCurrentDirectory();

} // namespace nyxDMUtil

// While one of these lives (or nyxIterNoReads is raised otherwise), the getters of libraries,
// cells and views do not read unopened objects, so that collecting the identifiers of what a
// destruction or purge takes along touches only memory.
struct nyxDMNoReads {
    nyxDMNoReads() { ++nyxIterNoReads; }
    ~nyxDMNoReads() { --nyxIterNoReads; }
    nyxDMNoReads(const nyxDMNoReads &) = delete;
    nyxDMNoReads &operator=(const nyxDMNoReads &) = delete;
};

// --- Start and release -------------------------------------------------------------------------

// Installs the class rows of libraries and cells.
void nyxStoreInstall();
// Steps of the session code's start list: the libraries named by ZIL_CFI_LIBPATH become known,
// read-only and unread; with ZIL_NYX_LIBRARYMAP "." every library directory of the current
// directory becomes known, and every selector-set file is opened (nyxLater.openSelectorSetFile).
void nyxStoreOpenSearchPathLibraries();
void nyxStoreOpenLibraryMap();
// Step of the release list: the path buffers, the directory cache and the properties on
// properties of libraries and cells.
void nyxStoreClearPathCaches();

// Steps of the subsystems still to come, in the places where libraries, cells and the session
// code run them. Every entry is null until its subsystem's start call (in the session code's start
// list) fills it; a null entry is a subsystem that is not present, and its step is skipped (or
// answers as documented).
struct nyxLaterSteps {
    // The general view opening of netlist views (opens a view of the cell that is not in its
    // list, compiling it when a rule says so); returns the view with its class code. Absent: 27.
    nyxObjRef (*openView)(nyxCell *cell, const char *name, cfidrAccessModeT mode, cfidrErrorT *err);
    // The rank of the compiler rule for a file extension (-1 when no rule covers it).
    int32_t (*compilerRuleRank)(const char *extension);
    // Registers a cell directory entry as the source of a view compiled when opened: called by
    // the cell read for every entry whose rule has the lowest rank of the directory and whose
    // view name (nyxCell::compilableRank) no object of the cell has. The compile-on-open fills
    // it: the entry joins the cell's compilable-entry side list.
    void (*registerCompiledView)(nyxCell *cell, const char *entry, cfidrErrorT *err);
    // Opens a selector-set file of the current directory (ZIL_NYX_LIBRARYMAP ".").
    void (*openSelectorSetFile)(const char *path, const char *name);
    // Release: the schematic compiler's end (only in schematic-compiler mode), then the running
    // compilers and the compiler rules.
    void (*terminateSvc)();
    void (*stopCompilers)();
    // The schematic compiler's release banner (the version query in schematic-compiler mode).
    const char *(*svcReleaseBanner)();
    // A stored object is going (purge, destroy, release of what holds it): called from
    // nyxDMObj's destructor, after the kind's own destructor and while the cached path name is
    // still there, so that whatever refers to the object forgets it. Only the address and
    // d_pathName may be used: the object's kind is gone.
    void (*storedObjectGoing)(nyxDMObj *obj);
};
extern nyxLaterSteps nyxLater;

// --- Encapsulated views ------------------------------------------------------------------------
//
// An encapsulated view stands for a view that another tool keeps: the library knows it by name,
// view type and key only, and it carries properties. It lives in its cell's view list tagged as
// class 15 (bit 0 of the entry set), its strings and properties on the library-and-cell heap, and
// it is stored in "<view path>.nyxEncapsulatedView" (or "<view path>.nyx" for one listed from
// the older form), written and read by the stored form of io/encviewfile.cpp through its row.
// Its properties, and the view itself, are read-only exactly when its library is.
//
// Invariants:
//   while the view lives, its cell's view list holds (address | 1) exactly once
//   d_changed == 1 from creation, and from every edit (type, key, any property on it or on its
//     properties), until a save has put its file in place
//   a listed view not read yet has an empty type and key and no properties (loaded() == false)
class nyxEncapsulatedView final : public nyxDMObj {
public:
    // The key returned when none can be: by cfidrEncapsulatedViewGetKey on any error.
    static constexpr const char *kUndefinedKey = "CFIDR_UNDEFINED_KEY";

    // Makes an encapsulated view of `cell` named `name` (tabs become "/", newlines ".") and
    // appends it to the cell's view list. `created`: a new view (loaded, changed); otherwise a
    // view listed from the cell directory, read on first use. Null after 4.
    static nyxEncapsulatedView *construct(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                          bool created, cfidrErrorT *err);
    // The construct operation of the type-table rows of encapsulated views.
    static nyxDMObj *constructStored(nyxCell *cell, const char *name, int32_t row, cfidrErrorT *err);

    // The checked creation. The cell is read when it is not yet (a cell directory that cannot be
    // listed is no obstacle); then, unless the replace flag is set: 42 read-only library, 14 bad
    // name (or one too long for a file name), 21 view type null or "CFIDR_NETLISTVIEW", 43 key
    // null, 26 a view of the cell with that name ignoring case, 26 an encapsulated view of that
    // name stored in the cell's directory; 4 out of memory. Trusted data mode skips 42, the name
    // rule and the two 26. With the replace flag set, only a null name (14), type (21) or key
    // (43) is refused; an encapsulated view of that name that the cell lists is taken (read
    // first, its type and key replaced, its properties kept) and a netlist view of that name
    // still gives 26: a view is never listed twice, nor another kind dropped. The new view is in
    // update mode, loaded and changed, so that the save of its cell or library writes it.
    static nyxEncapsulatedView *create(nyxCell *cell, const char *name, const char *viewType,
                                       const char *key, cfidrErrorT *err);

    const char *pathnameObj() override;
    const char *nameObj() const override { return d_name.getString(); }
    void deleteObj() override;
    // Writes the file when the view is loaded, read whole and changed.
    void saveObj(cfidrErrorT *err) override;
    void destroyObj(cfidrErrorT *err) override;
    // The view as if never read: properties gone, type and key empty, unchanged.
    void emptyStored() override;

    // Reads a listed view through nyxDMObj::openObj; false with the read's error (27 no file,
    // 4 damaged). A row without a reader leaves the view unread: 27.
    static bool load(nyxEncapsulatedView *view, cfidrErrorT *err);

    static const char *getViewType(const nyxEncapsulatedView *view) { return view->d_viewType.getString(); }
    static const char *getKey(const nyxEncapsulatedView *view) { return view->d_key.getString(); }
    nyxCell *owner() const { return d_owner; }
    bool changed() const { return d_changed != 0; }

    // Builders for the stored form's reader and for compilers: no checks and no load.
    // setFields stores type and key (false when memory ran out). buildProp makes a new property
    // named `name` on the view's own list: {list, 13, index}, a null ref when memory ran out;
    // its value is set with the setters of prop.h (in expert mode, as for any reader). Both mark
    // the view changed; readFinished ends a successful read, after which it is unchanged.
    static bool setFields(nyxEncapsulatedView *view, const char *viewType, const char *key);
    static nyxObjRef buildProp(nyxEncapsulatedView *view, const char *name);
    static void readFinished(nyxEncapsulatedView *view) { view->d_changed = 0; }
    // Who owns the view's properties (read-only with the library).
    static nyxPropOwner propOwner(nyxEncapsulatedView *view);

    // Operations behind the interface. save reads a listed view first (its read error refuses
    // the save and leaves the file as it is) and writes the file. purge drops the view from
    // memory; one stored on disk stays listed, unread. destroy removes its files (42 read-only
    // library). remove deletes the files of a view by path (missing files are no error; 4).
    static void save(nyxEncapsulatedView *view, cfidrErrorT *err);
    static void purge(nyxEncapsulatedView *view, cfidrErrorT *err);
    static void destroy(nyxEncapsulatedView *view, cfidrErrorT *err);
    static void remove(const char *path, cfidrErrorT *err);

    // The cell's view list entry of a view (the address tagged as class 15).
    void *listEntry() { return reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(this) | 1); }

private:
    nyxEncapsulatedView(nyxCell *cell, cfidrAccessModeT mode);
    ~nyxEncapsulatedView() override;
    static void edited(void *owner, uint32_t member, int32_t code);
    friend void nyxEncapsulatedViewInstall();

    nyxCell *d_owner;
    nyxVarString d_name;
    nyxVarString d_viewType;
    nyxVarString d_key;
    int32_t d_changed = 0;

public:
    // Set by the compiler reader when a compilation has made the view; cleared by every edit
    // (setFields, a property change), by a save that wrote the file and when the view is emptied.
    // The reader replaces a view only while it is set (and the view is changed and loaded).
    bool d_compiledUntouched = false;
};

// Installs the class row of encapsulated views (class 15), the edit bookkeeping of their
// properties, and the construct and remove operations of their type-table rows. The stored
// form's read and write come from io (nyxEncViewIO::install).
void nyxEncapsulatedViewInstall();
