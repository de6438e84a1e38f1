// netreader.h - the record reader of a compiler's answer: turns the binary record stream into
// libraries, cells, netlist views (nets, ports, describer records, instances, port instances and
// their properties), encapsulated views (type, key, properties), design configurations and
// occurrence property sets.
//
// The stream (little-endian primitives of stream.h; [..] optional, {..}xn repeated):
//
//   stream    := ch 'T' str header { record } ch 'Q'
//   record    := 'C' str str { 'P' names | 'V' viewdata | other ch: skipped } 'E' str compiledFrom
//              | 'D' dcrec | 'O' opsrec | other ch: skipped
//   names     := i32 n { i32 index i32 valueType str name }xn     (replaces the table; index 0..n)
//   viewdata  := 'N' str lib str cell str view str viewType i32 - i32 netCount i32 fpCount
//                  { ty t body } ty 15
//                t: 0 plist(view) | 2 inst | 3 net | 4 port | 12 names | 13 footprint | other: skipped
//              | 'E' str lib str cell str view str viewType str key plist
//              | other ch: the record ends
//   net       := i32 isRef (!= 0: i32 netIndex, members only)
//                | 0: ot str name (10 | 11: i32 b1 i32 b2 | 12: i32 isGlobal)
//                  [ty 0 plist] { ty 5 i32 isGlobal str alias [ty 0 plist] }
//                  [10, 11: ty i32 n { ty net }xn]
//   port      := ot str name (3 | 4: i32 b1 i32 b2 | 5: i32 dir i32 netIndex) [ty 0 plist]
//                  [3, 4: ty i32 n { ty port }xn]
//   footprint := str lib str cell str view i32 version str symbolView i32 n { fpport }xn
//     fpport  := ot str name (3 | 4: i32 b1 i32 b2 | 5: i32 dir) [3, 4: i32 n { fpport }xn]
//   inst      := i32 fpIndex str name [ty 0 plist] { ty portinst }x(top-level record ports)
//   portinst  := scalar: i32 netIndex [ty 0 plist]
//              | group:  [ty 0 plist] ty i32 - { ty portinst }x(record members)
//   plist     := i32 n { entry }xn   entry := (i32 nameIndex | i32 vtype str name (inline))
//                  i32 vtype value i32 hasSub [ty plist(by index)]  | i32 -1 i32 i32 (skipped)
//   value     := 0, 4: - | 1: boolean | 2: i32 | 3: f32 | 5, 9: str
//   dcrec     := str name str lib str cell str rootLib str rootCell str rootView i32 mode
//                i32 n { str lib str cell str set }xn plist(inline) str compiledFrom
//   opsrec    := str name str lib str cell i32 n { str path plist(inline) }xn (view occurrences)
//                i32 n { .. }xn (net occurrences) i32 n { str "instPath:port" plist(inline) }xn
//                plist(inline) str compiledFrom
//
// What the reader trusts: nothing. Every failure marks the stream (sticky; stream.h) and ends the
// read with 4, and the read then leaves nothing it built: every view, configuration, set, cell
// and library it made is purged again (views it replaced stay gone). In detail:
//   - indices (nets, footprints, property names) must name entries defined before them in this
//     stream; a net index given to a port or port instance must name a net scalar;
//   - declared counts are hints: tables grow as entries arrive, and no loop runs past the end
//     of the data (the stream's failure state ends every loop);
//   - footprint ports are made when their count is read: at most kPortBudget of them may be
//     declared and not yet read at any time;
//   - nets, ports, footprint ports and properties nest at most kMaxNesting deep, and a net group
//     never becomes a member of itself (directly or through a group that holds it);
//   - value types 0-5 and 9 are known (6, 7, 8 and above 9 are corrupt; 0 and 4 carry no value);
//     a float that is not finite skips its property with a diagnostic;
//   - names follow the name rule; two nets or aliases, two ports of one owner, two instances,
//     two properties of one owner, two views of one stream with the same name are corrupt; an
//     encapsulated view typed "CFIDR_NETLISTVIEW" or named too long for its file is corrupt; a
//     footprint naming the view being built is corrupt (an instance of itself); bus bounds b1, b2
//     give start b1 and step -1 when b2 < b1, else 1; port directions lie in 0-3, selection
//     modes in 0-2.
//
// Replacement of existing objects. A view record (netlist or encapsulated) names a view that its
// cell may hold already, of either kind. The reader replaces it only when an earlier compilation
// made it and it has had no edit and no save since (purge, with the withdrawal of identifiers
// that were handed out for it); any other view is kept, the record is read and dropped (a netlist
// view into a scratch view, an encapsulated view's properties into nothing), and the reader says
// "NYX: compiled view %s/%s/%s not replaced\n".
//
// Encapsulated views are built with their library's access mode, as netlist views are: loaded and
// changed (so that a save of their cell or library writes them) and
// marked as compiled (d_compiledUntouched) once their properties are read. Design configurations and
// occurrence property sets that exist are always kept ("NYX: compiled design configuration
// %s/%s/%s not replaced\n", "... occurrence property set ..."): they may hold edits that nothing
// records.
//
// Lookups. Libraries and cells named by view, configuration and set records are found or made
// (their directories are listed, nothing is opened or compiled); the root view and the sets that
// a configuration names, the symbol view of a footprint and getView look only at what memory
// lists.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compiler/compiler.h"
#include "compiler/stream.h"
#include "dm/store/store.h"

class nyxNetlistView;
class nyxOccPropSet;
class nyxFootPrint;
struct nyxFootPrintPort;
struct nyxPropNameTableBucket;

// Expert mode for the length of a scope: pushed at construction, popped on every way out.
class nyxExpertModeGuard {
public:
    nyxExpertModeGuard() : d_pushed(nyx::pushExpertMode()) {}
    ~nyxExpertModeGuard() {
        if (d_pushed) nyx::popExpertMode();
    }
    nyxExpertModeGuard(const nyxExpertModeGuard &) = delete;
    nyxExpertModeGuard &operator=(const nyxExpertModeGuard &) = delete;
    // False when the push failed (memory): the caller must not go on.
    bool pushed() const { return d_pushed; }

private:
    bool d_pushed;
};


#define NYX_COMPILER_CORRUPT() corruptAt(__FILE__, __LINE__)

class nyxCompilerNetlist {
public:
    static constexpr int kMaxNesting = 200;
    static constexpr int64_t kPortBudget = int64_t{1} << 21;
    // Largest property-name index a table may use, and the most slots reserved for a declared
    // count of nets or footprints before they arrive.
    static constexpr int32_t kMaxNameIndex = (1 << 20) - 1;
    static constexpr int32_t kReserveCap = 1 << 16;

    // fromTabo: the rule's view type names a Tabo compiler (marks the sets that O records make).
    nyxCompilerNetlist(nyxCompilerStream &in, bool fromTabo);
    ~nyxCompilerNetlist();
    nyxCompilerNetlist(const nyxCompilerNetlist &) = delete;
    nyxCompilerNetlist &operator=(const nyxCompilerNetlist &) = delete;

    // Reads the stream up to its end record: 0, or 4 on any failure (in.state() tells why; a
    // failure found by the reader itself is kCorrupt), after which nothing the read built is left.
    cfidrErrorT read();
    bool getFromTabo() const { return d_fromTabo; }
    // Where the reader found the stream corrupt ("file:line"; empty when it did not).
    const std::string &where() const { return d_where; }

    // The view a compilation asked for: the first view of the cell (in list order) that is an
    // encapsulated view of the whole requested name, or a netlist view whose name equals the
    // requested name cut at its first comma (names compare as view names do); else the root view
    // of the cell's design configuration of that name; else null. Looks only at what memory lists.
    static nyxObjRef getView(const char *lib, const char *cell, const char *view);

    // Whether an earlier compilation made the view and it has had no edit or save since.
    static bool replaceable(const nyxNetlistView *view);
    static bool replaceable(const nyxEncapsulatedView *view);
    // The same for a cell's view list entry of either kind.
    static bool replaceableEntry(void *entry);

private:
    // Where a property list being read goes.
    struct PropTarget {
        enum Kind : uint8_t { kDiscard, kView, kEncView, kRow, kOnProp };
        Kind kind;
        void *obj;             // the owner (kView, kEncView, kRow); the list (kOnProp)
        int32_t code;          // class code (kRow)
        uint32_t index;        // the property's index (kOnProp)
    };
    // A net of the current view's table, and how deep its members nest below it.
    struct NetEntry {
        void *net;
        int32_t height;
    };
    // What a read made, in order, to be purged again when the read fails.
    struct Made {
        nyxDMObj *obj;
        int32_t code;
    };

    // Each returns false when the read must stop; the stream's state says why. A failure found
    // here (or memory running out in a builder) marks the stream corrupt and records where.
    bool corruptAt(const char *file, int line);
    bool readName(std::string &out);
    bool readCompiledFrom(std::string &out);
    bool readViewRecord();
    bool readNames();
    bool readViewData();
    bool readEncapsulated();
    bool readNetlist();
    bool readViewBody();
    bool readPropList(const PropTarget &target, bool inlineNames, int depth);
    bool readValue(int32_t type, std::string &text, int32_t &i, float &f);
    bool readTrailingList(const PropTarget &target);
    bool readNet(void *parent, int depth, int32_t &height);
    bool readAlias(void *net);
    bool netNameFree(const std::string &name);
    bool readPort(void *group, int depth, std::unordered_set<std::string> &siblings);
    bool readFootprint();
    bool readFootport(nyxFootPrint *record, nyxFootPrintPort *port, int depth,
                      std::unordered_set<std::string> &siblings);
    bool readInst();
    bool readPortInst(uintptr_t *word, const nyxFootPrintPort *port, int depth);
    bool readDesignConfig();
    bool readOccPropSet();
    bool readOccEntries(nyxOccPropSet *set, int32_t code);

    // Libraries and cells named by records: found, or made (and remembered).
    nyxLib *findOrMakeLib(const std::string &name);
    nyxCell *findOrMakeCell(nyxLib *lib, const std::string &name);
    // The view that a record names in `cell`: replaces one that may go; false after a failure.
    bool makeView(nyxCell *cell, const std::string &lib, const std::string &cellName, const std::string &name);
    // Clears the way for a view record named `name` in `cell`: a view of that name that may be
    // replaced is purged; `keep` is set when one stays (and the record must be dropped). False
    // after a failure (a second record of the name in this stream is one).
    bool clearWayFor(nyxCell *cell, const std::string &lib, const std::string &cellName, const std::string &name,
                     bool &keep);
    void finishView();
    void dropScratch();
    void purgeMade();
    // Builds the encapsulated view of an 'E' record (without its properties): null when the
    // record is dropped (a view is kept) or after a failure (the stream's state says which).
    nyxEncapsulatedView *buildEncapsulatedView(const std::string &lib, const std::string &cell,
                                               const std::string &name, const std::string &viewType,
                                               const std::string &key);

    nyxCompilerStream &d_in;
    bool d_fromTabo;
    std::string d_where;
    // The current object of a C record (the view that its compiled-from text goes to).
    nyxNetlistView *d_current = nullptr;
    // The view being built, its names as the record gave them, and whether it is a scratch view
    // (a record that may not replace the view it names) in a cell of its own.
    nyxNetlistView *d_view = nullptr;
    std::string d_viewLib, d_viewCell, d_viewName;
    nyxCell *d_scratchCell = nullptr;
    std::vector<nyxPropNameTableBucket *> d_names;
    std::vector<NetEntry> d_nets;
    std::vector<nyxFootPrint *> d_footprints;
    std::vector<void *> d_openGroups;
    // Names of the current view's top-level ports.
    std::unordered_set<std::string> d_portNames;
    int64_t d_pendingPorts = 0;
    std::vector<Made> d_made;
    // Views this stream built (either kind), by cell: one stream names each view once.
    std::vector<std::pair<nyxCell *, nyxDMObj *>> d_built;
};
