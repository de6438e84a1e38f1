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
#include <string_view>
#include <vector>

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

// Occurrence property sets
// ------------------------
// A set (class 21, nyxOccPropSet) holds property values for single occurrences of a design whose
// top is a view of the set's cell. It is a stored object of that cell: "<cell path>/<name>
// .nyxOccPropSet" (the pathname of library, cell and set name through the library map). The set
// record lives in the LibCell heap, as view records do; everything the set holds (nodes, names,
// connectors and their name tables, every property list on the set and its nodes) lives in the
// set's own heap ("NYX OccPropSet Heap"), so that a purge releases it at once.
//
// The tree. The root is an instance node with the empty name standing for the top view; it is
// never handed out and carries no properties (the set's own list stands in for it). Every
// instance node has three connectors: child instance nodes (class 22), net nodes (23) and port
// nodes (24). A port node is keyed by its internal name: port name, the byte 0x88, and the member
// path as a pathname ("/" for the whole port).
//
//   connector:   count == length of the list from head (newest first); the name table exists
//                <=> count >= 5 and then holds every node of the list once, by exact name (16
//                slots at first, doubled whenever half are taken);
//                cursor index in 0..count-1 names the node at that place, or the cursor is unset
//   node:        d_code in {22, 23, 24} <=> the node is live and on its parent's list;
//                d_code < 0 (minus its class): destroyed, on no list, and so is every node below
//                it (its memory stays in the set heap until the set goes or is read again, so
//                that an iterator standing on it still finds its way on)
//   loaded:      !loaded() => the root has no children and the set's own list is empty
//
// Decisions where the stored form and the interface leave room:
//   - Every instance node on a path is a view occurrence property: creating [U1, N] makes U1,
//     and a later create of [U1] reports 26; the iterators list it.
//   - A null or empty path (a net or port path needs at least its leaf name) and a path or
//     member path holding an empty name report 30001 in every mode, an invalid name unless
//     trusted program mode. A null or empty member path is the whole port.
//   - Pathnames follow one bracket rule, for writing and parsing alike: "(", "<", "[" count up,
//     ")", ">", "]" down (never below 0), reset at every unescaped "/"; a ":" at depth 0 is
//     escaped on writing and ends the path on parsing.
//   - Node names compare exactly; set names within a cell without regard to case.
//   - Renaming a set or an occurrence property reports 36. The name of an occurrence property
//     (cfidrNamedObjectGetName) is its ZIL pathname.
//   - Creating nodes, destroying nodes or the set, and properties on the set and its nodes refuse
//     with 42 while the set's library is held for read (creates unless trusted program mode, the
//     others unless trusted data mode). Saving is not refused.
//   - Destroying a view occurrence property destroys every node below it; the identifiers of
//     the node, of every node below and of every property on them are withdrawn. Destroyed nodes
//     keep their memory in the set heap until the set is purged, destroyed or read again.
//   - Opening a set reads its cell first (so a later read of the cell never makes a second
//     record for the same file); a set the cell does not list (no stored file) reports 30007;
//     one already loaded is returned with 30008. The library's access mode becomes the mode
//     asked for, as for design configurations; the set records it too.
//   - Every operation reads the set first (nyxDMObj::openObj). A failed read leaves the set
//     empty and not loaded; every use reads again and reports again; a save refuses.
//   - A library save writes only sets that changed since created, read or saved; an explicit
//     nyxdrOccPropSetSave writes a loaded set whether or not it changed.
//   - Purging a set whose file exists lists a fresh unread record of it in its cell, so later
//     look-ups find it; destroying removes the file, clears the directory cache and the set
//     leaves every list.
//   - 30004 / 30005: the codes for a set passed as a further argument that is unusable or not a
//     set (kOccPropSetUnusable, kNotOccPropSet below: checkArg(id, nyxCodeOccPropSet, e,
//     kOccPropSetUnusable, kNotOccPropSet)); design configurations use them.
//   - The stored form keeps the order of the file: the reader lists every connector's nodes in
//     the order they first appear (it builds each list newest first and reverses every list once
//     at the end), so a write and a read change nothing. Names read that fail the name rule are
//     skipped with their line.
//   - The cross-reference (below) records the tree it was built for and is rebuilt for another
//     tree and after every edit of the set. A set keeps one: two trees asking in turn rebuild it
//     in turn. Its tables are sorted arrays in the set heap.

class nyxOccPropSet;
struct nyxOccPropInst;
struct nyxOccPropNameTable;

// A net (23) or port (24) node, and the base of instance nodes (22).
struct nyxOccPropNode {
    nyxPropList *d_propList = nullptr;
    nyxOccPropSet *d_set;
    nyxOccPropInst *d_parent;         // null for the root
    nyxOccPropNode *d_next = nullptr; // next sibling on the parent's connector (older)
    nyxVarString d_name;              // in the set heap
    int32_t d_code;                   // 22, 23, 24; negated once destroyed
    uint32_t d_hash;                  // hash of the name, for the connector's name table
};

// The children of one kind under one instance node.
struct nyxOccPropConnector {
    nyxOccPropNode *d_head = nullptr;
    nyxOccPropNode *d_cursorNode = nullptr;
    nyxOccPropNameTable *d_table = nullptr;  // made at 5 nodes, dropped going from 5 to 4
    int32_t d_count = 0;
    int32_t d_cursor = -1;

    // The node of that exact name, or null: through the table from 5 nodes on, else a scan.
    nyxOccPropNode *find(const char *name, uint32_t hash) const;
    // The node at index i (0 = newest); null outside 0..count-1. Steps on from the cursor.
    nyxOccPropNode *at(int32_t i);
    // Puts a node at the head / takes it off; false when memory for the table ran out (the
    // connector is then as it was).
    bool add(nyxOccPropNode *node, Hx_genheap *heap);
    void remove(nyxOccPropNode *node, Hx_genheap *heap);
};

struct nyxOccPropInst : nyxOccPropNode {
    nyxOccPropConnector d_insts, d_nets, d_ports;
};

// What the walk supplies to build the cross-reference of a set for one occurrence tree: the
// top view occurrence and, from an instance occurrence, its children by instance name and its
// nets and ports by name. Ids are the walk's occurrence ids; kNone where nothing matches.
class nyxOccSource {
public:
    static constexpr uint64_t kNone = ~uint64_t{0};
    virtual ~nyxOccSource() = default;
    // Which tree this is: an opaque key (the tree's owner) and its build serial.
    virtual const void *treeKey() const = 0;
    virtual uint64_t treeSerial() const = 0;
    virtual uint64_t top() const = 0;
    virtual uint64_t childInst(uint64_t instOcc, const char *instName) const = 0;
    virtual bool isLeaf(uint64_t instOcc) const = 0;
    virtual uint64_t net(uint64_t instOcc, const char *netName) const = 0;
    // The port's id in the occurrence's view; memberPath null-terminated (empty: whole port).
    virtual uint64_t port(uint64_t instOcc, const char *portName, const char *const *memberPath) const = 0;
};

class nyxOccPropXref;

class nyxOccPropSet final : public nyxDMObj {
public:
    const char *pathnameObj() override;
    const char *nameObj() const override { return d_name.getString(); }
    void deleteObj() override;
    void saveObj(cfidrErrorT *err) override;
    void emptyStored() override { empty(this); }

    // The cell's read: an unread record for a stored file (the type-table row's `construct`).
    static nyxDMObj *constructStored(nyxCell *cell, const char *name, int32_t row, cfidrErrorT *err);

    // Operations behind the interface (object checks done by the caller).
    // 42 (unless trusted data), 14, 26 a set of the name in the cell; the cell is read first.
    static nyxOccPropSet *create(nyxCell *cell, const char *name, cfidrErrorT *err);
    // 41, 14 (unless trusted data), 27 no library or cell, 30007 no stored set, 30008 with the set.
    static nyxOccPropSet *open(const char *lib, const char *cell, const char *name,
                               cfidrAccessModeT mode, cfidrErrorT *err);
    // 14 (unless trusted program); then as nyxCell::findOccPropSetByName.
    static nyxOccPropSet *find(nyxCell *cell, const char *name, cfidrErrorT *err);
    static bool load(nyxOccPropSet *set, cfidrErrorT *err) { return set->openObj(err); }
    static void empty(nyxOccPropSet *set);
    static void save(nyxOccPropSet *set, cfidrErrorT *err);
    // Lists a fresh unread record when the file exists (4 leaves the set as it was), then drops it.
    static void purge(nyxOccPropSet *set, cfidrErrorT *err);
    static void destroy(nyxOccPropSet *set, cfidrErrorT *err);

    // Nodes. code 22, 23, 24; path null-terminated; memberPath for ports only.
    static nyxOccPropNode *createNode(nyxOccPropSet *set, int32_t code, const char *const *path,
                                      const char *const *memberPath, cfidrErrorT *err);
    static nyxOccPropNode *findNode(nyxOccPropSet *set, int32_t code, const char *const *path,
                                    const char *const *memberPath, cfidrErrorT *err);
    // Unchecked: makes the missing nodes of a split path (readers of the stored form).
    static nyxOccPropNode *makeNode(nyxOccPropSet *set, int32_t code,
                                    const std::vector<std::string> &insts, const std::string &leaf,
                                    cfidrErrorT *err);
    // 42 read-only library (unless trusted data); the node and everything below it go.
    static void destroyNode(nyxOccPropNode *node, cfidrErrorT *err);
    // Iterator over the nodes in pre-order: mode 0 all, 1 view, 2 net, 3 port occurrence properties.
    static nyxIter *getNodes(nyxOccPropSet *set, int mode, cfidrErrorT *err);
    // Iterator over the direct children of an instance node (all three connectors): the
    // withdrawal walk, which reaches every node once.
    static nyxIter *getChildren(nyxOccPropInst *inst, cfidrErrorT *err);

    // Something in the set changed: marks it changed and clears the cross-reference.
    void edited();

    nyxPropOwner propOwner();
    static nyxPropOwner propOwner(nyxOccPropNode *node);

    Hx_genheap *heap() const { return d_heap; }
    nyxCell *cell() const { return d_cell; }
    nyxOccPropInst *root() const { return d_root; }
    bool changed() const { return d_changed; }
    void setChanged(bool changed) { d_changed = changed; }
    bool libReadOnly() const;

    nyxVarString d_name;  // in the LibCell heap
    nyxOccPropXref *d_xref = nullptr;  // null until a look-up builds it
    // Sets made by a compiler: the text it named as their source (LibCell heap; in memory only)
    // and whether the compiler's rule names a Tabo compiler.
    nyxVarString d_compiledFrom;
    bool d_fromTabo = false;

private:
    nyxOccPropSet(nyxCell *cell, int32_t row, cfidrAccessModeT mode, Hx_genheap *heap);
    ~nyxOccPropSet() override;
    static nyxOccPropSet *construct(nyxCell *cell, const char *name, int32_t row,
                                    cfidrAccessModeT mode, cfidrErrorT *err);
    bool makeRoot();

    nyxCell *d_cell;
    Hx_genheap *d_heap;
    nyxOccPropInst *d_root = nullptr;
    bool d_changed = false;
};

// The codes for a set given as a further argument (unusable, not a set).
inline constexpr cfidrErrorT kOccPropSetUnusable = nyxdrErrOccPropSetUnusable;
inline constexpr cfidrErrorT kNotOccPropSet = nyxdrErrNotOccPropSet;

// The set operations the interface reaches through the `own` slot of class row 21.
struct nyxOccPropSetClassOps {
    nyxOccPropSet *(*create)(nyxCell *cell, const char *name, cfidrErrorT *err);
    nyxOccPropSet *(*open)(const char *lib, const char *cell, const char *name,
                           cfidrAccessModeT mode, cfidrErrorT *err);
    nyxOccPropSet *(*find)(nyxCell *cell, const char *name, cfidrErrorT *err);
    void (*save)(nyxOccPropSet *set, cfidrErrorT *err);
    void (*purge)(nyxOccPropSet *set, cfidrErrorT *err);
    nyxOccPropNode *(*createNode)(nyxOccPropSet *set, int32_t code, const char *const *path,
                                  const char *const *memberPath, cfidrErrorT *err);
    nyxOccPropNode *(*findNode)(nyxOccPropSet *set, int32_t code, const char *const *path,
                                const char *const *memberPath, cfidrErrorT *err);
    nyxIter *(*getNodes)(nyxOccPropSet *set, int mode, cfidrErrorT *err);
    // Path spelling of a node: its path, its member path (ports), its ZIL pathname.
    std::vector<std::string> (*path)(const nyxOccPropNode *node);
    std::vector<std::string> (*memberPath)(const nyxOccPropNode *node);
    std::string (*pathname)(const nyxOccPropNode *node);
};

// Path spelling of occurrence properties (occpath.cpp), shared with the stored form and the walk.
namespace nyxOccPropPath {

// "/" and the names joined by "/"; in a name "/" and "\\" take a backslash, and so does ":"
// outside brackets ("(", "<", "[" open, ")", ">", "]" close, counted within the name). Empty: "/".
std::string pathname(const std::vector<std::string> &names);
// The reverse: a leading "/" is skipped, the text split at each "/", a backslash takes the next
// character as it is, a ":" outside brackets ends the path. "" and "/" give no names.
std::vector<std::string> parse(std::string_view text);
// The names from the top down to the node (the root excluded); for a port node the port name.
std::vector<std::string> path(const nyxOccPropNode *node);
// The member path of a port node (empty for a whole port and for other nodes).
std::vector<std::string> memberPath(const nyxOccPropNode *node);
// The pathname of a node's path; for a port with a member path, ":" and the member pathname.
std::string pathname(const nyxOccPropNode *node);
// A port node's name: port name, the byte 0x88, the member path's pathname.
std::string internalPortName(std::string_view port, const std::vector<std::string> &member);

} // namespace nyxOccPropPath

// Design configurations
// ---------------------
// A design configuration (class 25) names one elaboration of a design: a root netlist view, a
// selection mode and an ordered list of occurrence property sets. It belongs to a cell (the
// cell's designConfigs() list, creation and directory order) and is stored in a file of its own,
// "<path of lib, cell, name>.nyxDesignConfig" (designconfigfile.cpp). The record lives in the
// library/cell heap, as views do; its name, its references and its property list live in its
// own heap ("NYX DesignConfig Heap"), which goes with it.
//
//   session list:   nyxDesignConfig::sessionList() holds every configuration in memory, once;
//                   a configuration is on it exactly while it is on its cell's list
//   references:     the root view and each listed set are nyxDesignConfigRef records: obj is
//                   the object while it is in memory, null once it went (the hook below clears
//                   it) or while nothing was found; path is the object's disk path (library
//                   path / cell / name, encoded as on disk), by which it is found again; raw is
//                   the line text it was read from, written back while obj is null
//   design ids:     0 <= d_designId < 256 <=> the id table's slot d_designId holds this
//                   configuration; kNoDesignId (256) otherwise
//   loaded state:   nyxDMObj's (store.h); !loaded() => no references and no properties
//
// Decisions where the interface and the stored form leave room:
//   - Create checks, in order: the cell (16, 15), the root view unusable (30011), not a netlist
//     view (30012), the cell's library read-only (42), the name invalid or too long for a file
//     name (14), the mode outside 0-2 (30010), a configuration of that name in the cell without
//     regard to case (26; the cell is read first, so stored ones count). 42, 14 and 26 are
//     skipped in trusted data mode, 30010 in trusted program mode, the others never. 30002 and
//     30003 are not used: a configuration argument reports 16 and 15 as every first argument.
//   - Every operation reads the file first (getters of the mode and the sets too); the owner and
//     the name need no read. A failed read reports its error at every use (4: the file cannot be
//     read or is larger than nyxTextFile::kMaxFile).
//   - Edits (insert, remove, properties) are refused with 42 while the owning library is held
//     for read (unless trusted data mode). Opening sets the mode of the configuration and of its
//     library to the mode asked for (the library's mode changes for all its contents).
//   - Opening reads the cell first and looks in its list, so that a later read of the cell never
//     makes a second object for the same file; a listed configuration already loaded comes back
//     with 30009; one that is not listed and has no stored file reports 30006 and makes nothing.
//   - Selection modes are stored and returned only; a mode outside 0-2 in a file leaves it as it
//     was (0 for a configuration read from its file).
//   - Positions of the set list count every entry, also one whose set cannot be found now; the
//     iterator and find-by-name pass over those. Insert at a position outside 0..count-1
//     appends; duplicates are allowed (the first listed wins where sets are applied).
//   - References do not dangle: a stored object going (purge, destroy, library purge) clears
//     every reference to it (nyxLater.storedObjectGoing, O(configurations), nothing when none
//     exist); the next use finds the object again by library, cell and name (a purged view or
//     set that has a file is listed again by its cell, or made from its file).
//   - Purge does not read the file first (what it would read is dropped at once, and a file
//     that cannot be read must not keep the configuration in memory); a configuration with a
//     stored file stays listed in its cell, unread. Destroy does not need a successful read: it
//     removes the file (42 read-only library unless trusted data) and drops the configuration.
//     Both free the design id and drop the occurrence tree.
//   - An explicit save writes the file whenever the configuration is loaded (a failed read
//     refuses with the read's error and writes nothing); a library save writes it only when it
//     changed since it was read or last written (an edit, or different text).
//   - Renaming reports 36.
//   - Design ids: a configuration takes an id when its occurrence tree is built (takeDesignId)
//     and frees it when the tree is dropped (dropDesignId), so that configurations listed from
//     disk hold none. The table of 256 slots hands out the first free slot at or after its
//     cursor, and moves the cursor past it; a configuration does not get back the id it gave up
//     last while another slot is free. With all 256 held the build fails with 31002.
//   - The occurrence tree (built by the walk) hangs on d_occTree, opaque here; dropping it is
//     the walk's (nyxDesignConfig::treeDropper), called by purge and destroy.

class nyxDesignConfig;

// A configuration's reference to its root view or one of its sets (see above).
struct nyxDesignConfigRef {
    nyxDMObj *obj = nullptr;
    nyxVarString path;
    nyxVarString raw;
};

class nyxDesignConfig final : public nyxDMObj {
public:
    static constexpr int32_t kNoDesignId = 256;
    static constexpr int32_t kDesignIds = 256;

    const char *pathnameObj() override;
    const char *nameObj() const override { return d_name.getString(); }
    void deleteObj() override;
    // A library save writes the configuration only when it changed (see above).
    void saveObj(cfidrErrorT *err) override;
    void emptyStored() override { empty(this); }

    // Operations behind the interface (checks of object arguments done by the caller).
    static nyxDesignConfig *create(nyxCell *cell, const char *name, nyxDMObj *rootView,
                                   int32_t mode, cfidrErrorT *err);
    static nyxDesignConfig *open(const char *lib, const char *cell, const char *name,
                                 cfidrAccessModeT mode, cfidrErrorT *err);
    static nyxDesignConfig *findByName(nyxCell *cell, const char *name, cfidrErrorT *err);
    // The construct operation of the type-table row: an unread configuration in the cell's list.
    static nyxDMObj *constructStored(nyxCell *cell, const char *name, int32_t row, cfidrErrorT *err);
    // Reads the configuration when it is not loaded. False with the read's error.
    static bool load(nyxDesignConfig *config, cfidrErrorT *err) { return config->openObj(err); }
    // Drops references and properties and makes the heap anew; name, cell and identity stay.
    static void empty(nyxDesignConfig *config);

    static nyxCell *getOwner(nyxDesignConfig *config) { return config->d_cell; }
    // The root view (class 14); 27 when there is none or it cannot be found.
    static nyxDMObj *getRootView(nyxDesignConfig *config, cfidrErrorT *err);
    static int32_t getSelectionMode(nyxDesignConfig *config, cfidrErrorT *err);
    static nyxIter *getOccPropSets(nyxDesignConfig *config, cfidrErrorT *err);
    static nyxDMObj *findOccPropSetByName(nyxDesignConfig *config, const char *name,
                                          cfidrErrorT *err);
    static void insertOccPropSet(nyxDesignConfig *config, nyxDMObj *set, int32_t position,
                                 cfidrErrorT *err);
    static void removeOccPropSet(nyxDesignConfig *config, int32_t position, cfidrErrorT *err);
    static void save(nyxDesignConfig *config, cfidrErrorT *err);
    static void purge(nyxDesignConfig *config, cfidrErrorT *err);
    static void destroy(nyxDesignConfig *config, cfidrErrorT *err);

    // Design ids for the walk: take one for a tree being built (true when the configuration holds
    // one; 31002 when all are held), free it when the tree is dropped; the configuration of an id
    // (null for none and for 256 or more).
    static bool takeDesignId(nyxDesignConfig *config, cfidrErrorT *err);
    static void dropDesignId(nyxDesignConfig *config);
    static nyxDesignConfig *byDesignId(int32_t id);
    static int32_t designIdsHeld();
    // The walk's operation that drops a configuration's tree (null until the walk installs it).
    static void (*treeDropper)(nyxDesignConfig *config);

    // References (designconfigrefs.cpp). resolve finds the object of a reference (class 14 for
    // the root, 21 for a set) again when it went or was never found: the library whose disk path
    // is the path's directory part, its cell and object; only when no known library has that
    // path, the object of the path's last name in the configuration's own cell. Null when
    // nothing is found. Builders used by the reader: the root view and an appended set from the
    // text of their line (`raw`, and its unescaped path); false only when memory ran out.
    static nyxDMObj *resolve(nyxDesignConfig *config, nyxDesignConfigRef *ref, int32_t code);
    bool setRootFromLine(std::string_view raw, std::string_view path);
    bool appendSetFromLine(std::string_view raw, std::string_view path);
    // Builders of the interface: the root view and a set inserted at a position.
    bool setRootObject(nyxDMObj *view);
    bool insertSetObject(nyxDMObj *set, int32_t position);
    // The text of a reference's line (escaped): the soft path of the object's disk path while it
    // is in memory, else the line it was read from, else its escaped path.
    static std::string lineText(const nyxDesignConfigRef *ref);
    // The stored object `obj` went: every reference to it is cleared.
    static void storedObjectGoing(nyxDMObj *obj);

    // The session's configurations, every one in memory once.
    static nyxDynArray &sessionList();
    nyxPropOwner propOwner();
    bool editRefused() const;

    Hx_genheap *heap() const { return d_heap; }
    nyxDesignConfigRef *rootRef() { return d_root; }
    nyxDynArray &setRefs() { return d_sets; }
    int32_t d_selectionMode = 0;
    int32_t d_designId = kNoDesignId;
    int32_t d_lastDesignId = kNoDesignId;
    bool d_changed = false;
    uint64_t d_storedHash = 0;  // hash of the text last read or written
    void *d_occTree = nullptr;  // the walk's occurrence tree, opaque here
    bool d_flatNets = false;
    nyxCell *d_cell;
    nyxVarString d_name;  // in the library/cell heap
    // Configurations made by a compiler: the text it named as their source (library/cell heap;
    // in memory only, never saved).
    nyxVarString d_compiledFrom;

private:
    nyxDesignConfig(nyxCell *cell, cfidrAccessModeT mode, Hx_genheap *heap);
    ~nyxDesignConfig() override;
    static nyxDesignConfig *construct(nyxCell *cell, const char *name, cfidrErrorT *err);
    nyxDesignConfigRef *newRef();
    static void dropTree(nyxDesignConfig *config);

    Hx_genheap *d_heap;
    nyxDesignConfigRef *d_root = nullptr;  // null: no root view
    nyxDynArray d_sets;                    // nyxDesignConfigRef pointers, in the own heap
};

// The configuration operations the interface reaches through the `own` slot of class row 25.
struct nyxDesignConfigClassOps {
    nyxDesignConfig *(*create)(nyxCell *cell, const char *name, nyxDMObj *rootView, int32_t mode,
                               cfidrErrorT *err);
    nyxDesignConfig *(*open)(const char *lib, const char *cell, const char *name,
                             cfidrAccessModeT mode, cfidrErrorT *err);
    nyxDesignConfig *(*findByName)(nyxCell *cell, const char *name, cfidrErrorT *err);
    nyxDMObj *(*getRootView)(nyxDesignConfig *config, cfidrErrorT *err);
    int32_t (*getSelectionMode)(nyxDesignConfig *config, cfidrErrorT *err);
    nyxIter *(*getOccPropSets)(nyxDesignConfig *config, cfidrErrorT *err);
    nyxDMObj *(*findOccPropSetByName)(nyxDesignConfig *config, const char *name, cfidrErrorT *err);
    void (*insertOccPropSet)(nyxDesignConfig *config, nyxDMObj *set, int32_t position,
                             cfidrErrorT *err);
    void (*removeOccPropSet)(nyxDesignConfig *config, int32_t position, cfidrErrorT *err);
    void (*save)(nyxDesignConfig *config, cfidrErrorT *err);
    void (*purge)(nyxDesignConfig *config, cfidrErrorT *err);
};

// The stored form of configurations (designconfigfile.cpp), installed in type-table row 8.
// `parse` fills an empty configuration from a text (never damaged: malformed lines are ignored;
// 4 only when memory ran out); `format` gives the text the writer stores.
namespace nyxDesignConfigFile {

void read(nyxDMObj *config, const char *path, cfidrErrorT *err);
void write(nyxDMObj *config, const char *path, cfidrErrorT *err);
void remove(const char *path, cfidrErrorT *err);
cfidrErrorT parse(nyxDesignConfig *config, std::string_view text);
std::string format(const nyxDesignConfig *config);

// The escaping of names and values (see the file's table).
std::string escapeName(std::string_view name);
std::string escapeText(std::string_view text);
std::string unescape(std::string_view text);

} // namespace nyxDesignConfigFile
// The cross-reference of a set for the occurrence walk (occpropxref.cpp): the property lists of
// a set by occurrence id, for one occurrence tree given as a source (nyxOccSource above).
//
//   instance table:  instance-occurrence id -> property list of the matching instance node; the
//                    set's own list under the top occurrence's id
//   net table:       net-occurrence id -> property list of the matching net node
//   port table:      instance-occurrence id -> (port id, property list) pairs sorted by port id
//   (all three sorted arrays in the set heap, searched by halving; of equal ids the newest node
//   wins)
//   built for:       (treeKey, treeSerial) of the source it was built from
//
// Only nodes with a property list are entered; nodes that match nothing are passed over (they
// stay in the set and are written back). From the top occurrence down, each instance node is
// matched to the child instance occurrence of its name; for a leaf occurrence only its own
// properties and its port nodes count (a leaf has no nets or children of its own). Every look-up
// builds the cross-reference first when there is none or it was built for another tree; every
// edit of the set (a node made or destroyed, a property made, changed or destroyed on the set or
// a node) drops it. The set is read first; a read that fails is the look-up's error. Lists
// handed back belong to the set and are valid until its next edit, purge or read.
// One entry of the tables: an occurrence id and its property list.
struct nyxOccPropXrefEntry {
    uint64_t id;
    const nyxPropList *list;
};

namespace nyxOccPropXrefs {

const nyxPropList *instProps(nyxOccPropSet *set, const nyxOccSource &tree, uint64_t instOcc,
                             cfidrErrorT *err);
const nyxPropList *netProps(nyxOccPropSet *set, const nyxOccSource &tree, uint64_t netOcc,
                            cfidrErrorT *err);
const nyxPropList *portProps(nyxOccPropSet *set, const nyxOccSource &tree, uint64_t instOcc,
                             uint64_t portId, cfidrErrorT *err);
// Whether the table has any entry, so that the walk can skip look-ups.
bool hasAnyInstProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err);
bool hasAnyNetProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err);
bool hasAnyPortProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err);
// Drops the cross-reference (the walk calls it when a tree goes, so nothing keeps its ids).
void invalidate(nyxOccPropSet *set);
// The net table in id order, for look-ups over many net occurrences at once (a flat net), with
// its entry count and the build's serial (a process-wide number that no other build of any set
// gets, so that the walk can keep what it derived from the table until the table changes).
const nyxOccPropXrefEntry *netEntries(nyxOccPropSet *set, const nyxOccSource &tree, uint32_t *count,
                                      uint64_t *serial, cfidrErrorT *err);

} // namespace nyxOccPropXrefs
