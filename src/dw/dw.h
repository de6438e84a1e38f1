// dw.h - the face of src/dw for the rest of the library: the occurrence tree of a design and
// the occurrences it names, without one byte per occurrence.
//
// The elaborated hierarchy of a root netlist view (its instances, the instances of their
// describers, and so on down to the leaves, with the nets and ports of each level) is named by
// integers. The tree (nyxOccTree) holds one node per distinct view reached, keyed by view, and
// every occurrence of the unfolded hierarchy gets its id from the nodes' size tables:
//
//   L(v)   = 1 + the highest position in use among the nets and the instances of v (0 when v
//            has neither); positions are the slot positions of the data model, so L is the used
//            prefix of the blocks, never their capacity: ids stay dense (instance positions
//            still skip the unused tail of each port-count group's blocks, inst.h)
//   S(v)   = L(v) + sum of S(c) over the descending children c of v
//   child  = an instance of v whose describer d has S(d) > 0 (a describer with neither nets nor
//            instances is a leaf and is not descended into); children are kept in instance
//            position order, offset(first) = L(v), offset(k+1) = offset(k) + S(child k)
//   ids    : the top occurrence is 3, its local base B is 4; in a view occurrence of base B the
//            net at position p is net occurrence B + p, the instance at position q instance
//            occurrence B + q, and child k's view occurrence has base B + offset(k)
//   range  : every id lies in [4, 4 + S(root)); a build whose 4 + S(root) - 1 would pass
//            2^31 - 1, or whose views hold more than 2^20 ports, fails with 31002 and keeps no
//            tree (sizes and offsets are computed in 64 bits, so nothing wraps)
// The id of an occurrence never depends on the order of a walk. Decoding an id descends from
// the top, at each level a binary search among the children by offset, so it costs at most the
// depth times log(children). A port occurrence is the instance occurrence (or the top) that
// holds it plus the position of the port in its describer view's full port order; port
// instances map to that position by name path when the instance's describer record is older
// than the describer, and a port instance that maps to no describer port is unconnected.
//
// Decisions
//   - The last name of a view or port path may name a leaf instance (pins of library cells are
//     the common case); the names before it must name descending instances.
//   - The owner of a net or instance occurrence is the view occurrence that holds it, the owner
//     of a port occurrence its instance occurrence (the top for top-level ports), the owner of
//     the top the null occurrence, without error.
//   - A global scalar net is named by its own name alone in paths and pathnames, at any depth.
//   - Pathnames join names with "/" without a leading "/"; inside a name "/", "\" and ":" are
//     preceded by a backslash, except a ":" inside brackets ("(", "<", "[" open, ")", ">", "]"
//     close), as the pathnames of occurrence property sets spell them. A port occurrence's path
//     is its instance names, the top-level port's name and then the member path down to the
//     port (nyxOccNames::memberFrom says where the member path starts).
//   - A port occurrence whose port instance is a bus or bundle, or that maps to no port
//     instance, has the null occurrence as outside net; a top-level port has no outside net and
//     no port instance (null, no error).
//   - Each describer record is asked for its describer once per build; a describer that cannot
//     be opened stops the build with its code (3 or 40); an instantiation cycle across cells
//     fails with 2; the build uses an explicit stack, never one call per level.
//
// Staleness. A tree records the session-wide view version, the view epoch
// (nyxNetlistView::epoch) and, per node, the view's edit serial. It is current while the epoch is
// unchanged and either the version is unchanged or every node's view kept its serial; in that
// last case isCurrent restamps the version, so that later checks cost two compares again.
// Leaf describers are nodes too (of size 0): a net added to a leaf changes the tree. The epoch
// is process-wide, so deleting any netlist view makes every tree stale: a rebuild at the next
// use, never a read of a freed view.
//
// Seam for the design configurations. The configuration owns its tree through the opaque
// nyxOccTree pointer: it calls buildTree with its root view and design id, isCurrent before each
// use (dropTree on a stale tree, then a new design id), and dropTree when it is purged or
// destroyed. The exported nyxdw functions decode an identifier with decodeWords, find the
// configuration of the design id, take its tree only when isCurrent, and pass that tree to the
// operations below; the walk iterators are handed the same resolved tree at every step, from
// their nyxTreeMemo while no tree was dropped and no view edited or deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dm/netlist/netlist.h"
#include "utils/settings.h"

class nyxOccTree;
class nyxDesignConfig;

// Occurrence kinds (bits 1-3 of the identifier's tag word).
enum nyxOccKind : int32_t {
    nyxOccNone = 0,
    nyxOccNet = 1,
    nyxOccFlatNet = 2,
    nyxOccInst = 3,
    nyxOccTop = 4,
    nyxOccPort = 5,
};

// Hierarchy levels of a view occurrence.
enum nyxOccLevel : int32_t { nyxOccLevelTop = 1, nyxOccLevelDescended = 2, nyxOccLevelLeaf = 4, nyxOccLevelError = 7 };

// An occurrence as plain fields; kind 0 is the null occurrence. Only src/pi turns it into an
// identifier (encodeWords gives the two words).
struct nyxOccRef {
    int32_t id = 0;
    int32_t kind = nyxOccNone;
    int32_t designId = 0;
    int32_t port = 0;  // port occurrences: the port's position in its view's full port order
    bool isNull() const { return kind == nyxOccNone; }
};

// The two words of an occurrence identifier:
//   word            the occurrence id (a signed 32-bit value)
//   tag bit 0       1 (ordinary identifiers have it clear)
//   tag bits 1-3    the kind (so the low four bits are 3, 5, 7, 9 or 11)
//   tag bits 4-11   the design id
//   tag bits 12-31  the port position (port occurrences; 0 for the others)
struct nyxOccWords {
    uint32_t word = 0;
    uint32_t tag = 0;
};

// A path of names from the top down; names[memberFrom ..] is the member path of a port.
struct nyxOccNames {
    std::vector<std::string> names;
    size_t memberFrom = 0;
};

namespace nyxdw {

constexpr int32_t kTopId = 3;
constexpr int32_t kFirstLocal = 4;
constexpr int32_t kMaxDesignId = 255;
constexpr int32_t kPortBits = 20;
constexpr int32_t kMaxPorts = 1 << kPortBits;
// The largest S(root): the last id, 4 + S - 1, is at most 2^31 - 1.
constexpr int64_t kMaxSize = (int64_t{1} << 31) - kFirstLocal;

// --- Identifier layout ---------------------------------------------------------------------------
// Encoding fails (false) for a kind outside 1-5, a design id outside 0-255 or a port position
// outside 0 .. 2^20 - 1 (or not 0 for another kind than a port). Decoding fails for a clear tag
// bit, a kind outside 1-5 or a port position on another kind; it checks nothing against a tree.
bool encodeWords(const nyxOccRef &ref, nyxOccWords *out);
bool decodeWords(nyxOccWords in, nyxOccRef *out);

// --- The tree ------------------------------------------------------------------------------------
// Builds the tree of `root` (its contents are loaded first) for design id `designId`. Errors:
// 2 an instantiation cycle, 31002 the id space or the port tag bits overflow, a describer's
// 3 / 40, 4 memory or a view that cannot be read. Null on error, with nothing kept.
nyxOccTree *buildTree(nyxNetlistView *root, int32_t designId, cfidrErrorT *err);
// Releases a tree and its heaps; clears the pointer (nothing for null).
void dropTree(nyxOccTree *&tree);
// Whether the tree still describes its views (see Staleness above); restamps when it can.
bool isCurrent(nyxOccTree *tree);
// A process-wide serial given at each build: iterators compare it to know their tree.
uint64_t buildSerial(const nyxOccTree *tree);
int32_t designId(const nyxOccTree *tree);
nyxNetlistView *rootView(const nyxOccTree *tree);
// The view of node i (0 .. nodeCount - 1; node 0 is the root): the views a session registers.
nyxNetlistView *nodeView(const nyxOccTree *tree, int32_t i);
int64_t totalSize(const nyxOccTree *tree);   // S(root)
int32_t nodeCount(const nyxOccTree *tree);
int32_t maxDepth(const nyxOccTree *tree);    // view occurrences on the longest descent, top = 1
size_t treeBytes(const nyxOccTree *tree);    // memory the tree holds (heap pages and records)

// --- Design configurations (occconfig.cpp) --------------------------------------------------------
// The tree operations of a configuration. install() is the walk's start call: it hands
// nyxDesignConfig::treeDropper the drop of a tree, so that purge and destroy release it.
// createTree: the configuration's tree, built when it has none or its tree is stale (the stale
// one is dropped first); no root view 31002, a file that cannot be read its code, no design id
// free 31002, and the build's errors; a failed build keeps no tree and holds no id. currentTree:
// the tree when current, else the stale tree is dropped and null returned. deleteTree drops the
// tree, clears the flat-nets flag and frees the design id. needFlatNetsTree: createTree, then
// the flat nets computed (computeFlatNets) and the flag set. resolveTree: the current
// tree of a design id, null when no configuration holds the id or its tree is stale.
void install();
nyxOccTree *createTree(nyxDesignConfig *config, cfidrErrorT *err);
nyxOccTree *currentTree(nyxDesignConfig *config);
void deleteTree(nyxDesignConfig *config);
nyxOccTree *needFlatNetsTree(nyxDesignConfig *config, cfidrErrorT *err);
nyxOccTree *resolveTree(int32_t designId);
// Trees dropped so far in the process (dropTree counts every tree it releases).
extern uint64_t g_treesDropped;
inline uint64_t treesDropped() { return g_treesDropped; }

// A design id's tree as last resolved, with the process-wide counters it was resolved under:
//   tree != null => resolveTree(designId) == tree while treesDropped(), the view epoch and
//                   the view version are all still as recorded
// No tree is freed without a drop (counted) or the views' release (the epoch counts the
// session's generation), a design id changes hands only with its tree's drop, and a tree goes
// stale only with a view edit (the version) or a view deleted (the epoch). So the record
// answers for the full resolve while nothing moved, and is taken anew when something did.
struct nyxTreeMemo {
    int32_t designId = -1;
    nyxOccTree *tree = nullptr;
    uint64_t dropped = 0;
    uint64_t epoch = 0;
    uint32_t version = 0;
};
// The current tree of memo->designId, as resolveTree, from the record when it still answers
// (inline: every step of a walk iterator asks), else resolved again and recorded.
nyxOccTree *resolveTreeAgain(nyxTreeMemo *memo);
inline nyxOccTree *resolveTree(nyxTreeMemo *memo) {
    if (memo->tree != nullptr && memo->dropped == treesDropped() && memo->epoch == nyxNetlistView::epoch() &&
        memo->version == nyxSettings::getViewVersion()) {
        return memo->tree;
    }
    return resolveTreeAgain(memo);
}

// --- Accessors -----------------------------------------------------------------------------------
// Each takes a current tree and an occurrence of that tree (its design id is not compared).
// An occurrence of the wrong kind, an id outside the tree, a position on a free slot or a port
// position outside the view's ports gives 31001 and the null result.

nyxOccRef top(const nyxOccTree *tree);
// Owner as under Decisions above.
nyxOccRef owner(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
// The view of a top or instance occurrence (for an instance occurrence its describer).
nyxNetlistView *viewOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
// 1 top, 2 descended instance, 4 leaf instance, 7 on error.
int32_t level(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
nyxInst *instOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
// The net of a net occurrence with its class code; the last lookup is cached in the tree.
nyxObjRef netOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
// The port of a port occurrence (in the describer view, or the root view for the top).
nyxObjRef portOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
// The port instance of a port occurrence with its class code (null for a top-level port or a
// port that maps to no port instance; no error then).
nyxObjRef portInstOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
// The instance occurrence of a port occurrence (the top for a top-level port).
nyxOccRef instOccOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
// The net occurrence on the port inside its view occurrence, and the one on the port instance
// in the parent view occurrence; the null occurrence (no error) when there is none.
nyxOccRef insideNet(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
nyxOccRef outsideNet(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);

// --- Paths ---------------------------------------------------------------------------------------
// Lookups from the top by a null-terminated array of names: 30001 a null or empty path or an
// invalid name, 27 a name not found (or an instance before the last that is not descended).
// View: every name an instance (the last may be a leaf). Net: instances, then the net. Port:
// instances (the last may be a leaf), then the top-level port, then `members` (may be null)
// down through buses and bundles.
nyxOccRef findView(nyxOccTree *tree, const char *const *path, cfidrErrorT *err);
nyxOccRef findNet(nyxOccTree *tree, const char *const *path, cfidrErrorT *err);
nyxOccRef findPort(nyxOccTree *tree, const char *const *path, const char *const *members, cfidrErrorT *err);
// The names of an occurrence from the top down (empty for the top); false with 31001.
bool pathOf(nyxOccTree *tree, const nyxOccRef &occ, nyxOccNames *out, cfidrErrorT *err);
// The names joined as described under Decisions; "" with 31001.
std::string pathnameOf(nyxOccTree *tree, const nyxOccRef &occ, cfidrErrorT *err);
std::string escapeName(const char *name);

} // namespace nyxdw

// --- Walks ---------------------------------------------------------------------------------------
// A walk remembers the serial of the tree it was made on and reads nothing of it until the next
// step, which is handed the tree the caller resolved as current (null when there is none): a
// tree of another serial, or none, ends the step with 31001. Each walk keeps only an explicit
// stack as deep as the hierarchy.
class nyxOccWalk {
public:
    // The walks whose steps next() calls without the virtual call, being the most stepped: the
    // hierarchy walk of occwalk.cpp and the walk over a flat net's members of flatnetInt.h.
    enum class Direct : uint8_t { kNo, kHierarchy, kMembers };
    explicit nyxOccWalk(const nyxOccTree *tree, Direct direct = Direct::kNo);
    virtual ~nyxOccWalk();
    nyxOccWalk(const nyxOccWalk &) = delete;
    nyxOccWalk &operator=(const nyxOccWalk &) = delete;
    // The next occurrence: false at the end (err untouched) or on error.
    bool next(nyxOccTree *current, nyxOccRef *out, cfidrErrorT *err);
    virtual void reset() = 0;

protected:
    virtual bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *err) = 0;

private:
    friend void nyxdwEndWalks();
    uint64_t d_serial;
    Direct d_direct;
    // Every live walk is on one process-wide list, so that the end of a session frees the walks
    // of iterators never quit (their iterator records go with the iterator heap).
    nyxOccWalk *d_prev = nullptr;
    nyxOccWalk *d_next = nullptr;
    static nyxOccWalk *s_live;
};

// Deletes every live walk: the release step of the walk, run when the session ends (no walk
// made before may be used or deleted after it).
void nyxdwEndWalks();

namespace nyxdw {

// Every instance occurrence below the top, depth first, each view's instances in position
// order, a descended instance before its contents; mode bit 1 leaf instances, bit 2 descended
// ones. The mode (1, 2 or 3) is the caller's to check. Null with 4 when memory ran out.
nyxOccWalk *walkHierarchy(nyxOccTree *tree, int32_t mode, cfidrErrorT *err);
// The instance, net and port occurrences of one top or instance occurrence, in position order
// (ports in the view's full port order). Null with 31001 for a bad occurrence, 4 for memory.
nyxOccWalk *walkInsts(nyxOccTree *tree, const nyxOccRef &viewOcc, cfidrErrorT *err);
nyxOccWalk *walkNets(nyxOccTree *tree, const nyxOccRef &viewOcc, cfidrErrorT *err);
nyxOccWalk *walkPorts(nyxOccTree *tree, const nyxOccRef &viewOcc, cfidrErrorT *err);
// The port occurrences on a net occurrence: mode 1 the ports of the net when it is a net of
// the top, 2 the port instances on it whose instance is a leaf, 3 those whose instance is
// descended into. Null with 31001 for a bad net occurrence, 4 when memory ran out; the mode is
// the caller's to check.
nyxOccWalk *walkNetPorts(nyxOccTree *tree, const nyxOccRef &netOcc, int32_t mode, cfidrErrorT *err);

} // namespace nyxdw

// --- Flat nets -----------------------------------------------------------------------------------
// The electrical nets of the elaborated design, read from tables kept per distinct view
// (flatnetInt.h) and computed on first use (dropped with the tree); nothing is kept per
// occurrence. A flat net that is not global is named by its representative, its outermost net
// occurrence (kind 2, the id of that net occurrence); a global flat net by -2 minus the index of
// its global net in the design's table (-2, -3, ...), globals numbered in the order the
// computation meets their names (views children first).
//
// Decisions
//   - Global nets join by exact name, one flat net per name; global aliases make none. Two
//     globals joined through a port are one flat net under the smaller index; the other index
//     names no flat net.
//   - The representative among the nets of one view joined through a child's ports is the net
//     with the smallest name: ASCII letters folded to lower case compare first, exact bytes break
//     ties; with fix switch 129092 disabled (NYX_DISABLE_DR129092), exact bytes alone. Names in a
//     view differ, so the choice does not depend on the order anything was built.
//   - Only scalar nets and ports take part (members of buses and bundles as scalars); a bus or
//     bundle net occurrence has no flat net (null result, no error).
//   - The flat net of a port occurrence is that of the net on its port instance outside; without
//     one, that of its inside net occurrence; else the null occurrence (no error).
//   - Port scan mode 4 yields each port occurrence once: a child's port on a member net is met
//     as the port instance of its instance occurrence, and as a port of the view occurrence only
//     when no member outside is on it (and for the top's ports).
// Costs: computing O(nets + ports + port instances of the distinct views); the flat net of a net
// occurrence O(depth); member walks O(members + view occurrences passed over for globals, pruned
// by the per-view bit sets of reachable globals).
//
// The exported functions call: nyxdwTopOccGetFlatNets walkFlatNets (the mode checked first,
// 31005); nyxdwIterNextFlatNet the walk's next; nyxdwFlatNetGetIsGlobal a negative id;
// nyxdwFlatNetGetNetOccs walkFlatNetNets; nyxdwFlatNetGetPortOccs walkFlatNetPorts (31004 for a
// mode outside 1-4 first); nyxdwNetOccGetFlatNet netFlatNet; nyxdwPortOccGetFlatNet portFlatNet;
// the configuration's need-flat-nets computeFlatNets.
//
// Derived properties, evaluation at an occurrence and the making of occurrence property nodes
// are declared in dw/derived.h (they see the configuration and its sets): nyxdwOccGetDerivedProps
// calls nyxdwDerived::list, nyxdwOccFindDerivedPropByName find, nyxdwPropEvaluate evaluate,
// nyxdwStringEvaluate evaluateText, nyxdwOccCreateOccProp createOccProp (merge modes checked by
// the caller, 31003).
namespace nyxdw {

// Computes the tables when the tree has none (4 memory).
bool computeFlatNets(nyxOccTree *tree, cfidrErrorT *err);
nyxOccRef netFlatNet(nyxOccTree *tree, const nyxOccRef &netOcc, cfidrErrorT *err);
nyxOccRef portFlatNet(nyxOccTree *tree, const nyxOccRef &portOcc, cfidrErrorT *err);
// Whether `flat` names a flat net of the tree (kind 2 and a representative or canonical global).
bool isFlatNet(nyxOccTree *tree, const nyxOccRef &flat, cfidrErrorT *err);
// Global mode 1 globals, 2 the others, 3 both (globals first); the caller checks the mode.
nyxOccWalk *walkFlatNets(nyxOccTree *tree, int32_t globalMode, cfidrErrorT *err);
// Members from the representative down (31001 for what names no flat net of the tree).
nyxOccWalk *walkFlatNetNets(nyxOccTree *tree, const nyxOccRef &flat, cfidrErrorT *err);
// Port scan modes 1-4 as in the decisions above; the caller checks the mode.
nyxOccWalk *walkFlatNetPorts(nyxOccTree *tree, const nyxOccRef &flat, int32_t scanMode, cfidrErrorT *err);

} // namespace nyxdw
