// flatnetInt.h - the connectivity tables of flat nets, kept per distinct view of an occurrence
// tree, and the cursors that read them. Nothing is kept per occurrence.
//
// For each node v of the tree (a distinct view), over its scalar nets at positions
// 0 .. netCount - 1:
//   netClass[p]     the class of net p within v's subtree: nets of v joined directly or through
//                   ports of descended children; -1 for a free slot or a bus or bundle
//   classes         numbered 0 .. classCount - 1 in the order of their lowest net position
//   classGlobal[k]  the global net the class belongs to (its canonical index, the smallest of
//                   merged ones), -1 when none
//   classRep[k]     the net of v standing for the class: the smallest name (see
//                   nyxdwFlat::nameLess)
//   classNets       nets of class k: nets[netStart[k] .. netStart[k + 1]), rising positions
//   classPorts      scalar ports of v (view positions) whose net is of class k, rising
//   classDown       (child entry of v, class in the child's node) for every child class that
//                   one of v's port instances joins to class k, each pair once
//   portClass[P]    the class of the net on scalar port P of v, -1 when none
//   globals         the classes of v with classGlobal >= 0
//   bits            canonical indices of the globals that some class of v or of a node below
//                   v belongs to (nodes of size 0 have none)
// For each child entry c of the tree (index into d_children), outside[outStart[c] + P] is the
// position in the parent view of the net on the child instance's port instance for the
// describer's port P, -1 when there is none (or P carries no inside net).
//
// A flat net that is not global is rooted at the view occurrence where its class stops rising:
// the class reaches no port of its view, or the view is the top, or none of the port instances
// for its ports has an outside net. Its identifier is the net occurrence of classRep there.
#pragma once

#include <cstdint>

#include "dw/dwInt.h"

struct nyxFlatDown {
    int32_t child;  // child entry index relative to the node's first child
    int32_t cls;    // class in the child's node
};

struct nyxFlatNode {
    int32_t netCount = 0;
    int32_t classCount = 0;
    int32_t portCount = 0;
    int32_t globalCount = 0;
    int32_t *netClass = nullptr;
    int32_t *classGlobal = nullptr;
    int32_t *classRep = nullptr;
    int32_t *netStart = nullptr;
    int32_t *nets = nullptr;
    int32_t *portStart = nullptr;
    int32_t *ports = nullptr;
    int32_t *downStart = nullptr;
    nyxFlatDown *down = nullptr;
    int32_t *portClass = nullptr;
    int32_t *globals = nullptr;
    uint64_t *bits = nullptr;
};

struct nyxFlatGlobal {
    const char *name;  // in the graph heap
    int32_t canonical; // the smallest index of the globals merged with this one
};

// The flat net of each net entry of one set's cross-reference (0 for none), for the table of
// the given build serial; kept on the graph heap until that table changes or the tree goes.
struct nyxFlatSetCache {
    const void *set;
    uint64_t serial;
    int32_t *flat;
    uint32_t count;
};

struct nyxFlatNets {
    nyxFlatNode *nodes = nullptr;
    // Per child entry: 1 when some flat net is rooted at the child's occurrence under that entry
    // or below it (the iteration over all flat nets passes over the other subtrees).
    uint8_t *roots = nullptr;
    int64_t *outStart = nullptr;  // per child entry
    int32_t *outside = nullptr;
    nyxFlatGlobal *globals = nullptr;
    int32_t globalCount = 0;
    int32_t bitWords = 0;
    nyxFlatSetCache *setCaches = nullptr;
    int32_t setCacheCount = 0;

    bool hasBit(int32_t node, int32_t g) const {
        return (nodes[node].bits[g >> 6] >> (g & 63) & 1u) != 0;
    }
    const int32_t *outsideOf(int32_t childEntry) const { return outside + outStart[childEntry]; }
};

namespace nyxdwFlat {

// Flat net identifiers of globals.
inline int32_t globalId(int32_t index) { return -2 - index; }
inline int32_t globalIndex(int32_t id) { return -2 - id; }

// The tables of a tree, computed on first use (4 memory, a view's 4 when a net cannot be read).
const nyxFlatNets *compute(nyxOccTree *tree, cfidrErrorT *err);
inline const nyxFlatNets *need(nyxOccTree *tree, cfidrErrorT *err) {
    return tree->d_flat != nullptr ? tree->d_flat : compute(tree, err);
}

// A view occurrence on the way down: node, local base and the occurrence's own id, and the child
// entry (absolute index) it was reached by (-1 for the top).
struct Level {
    int32_t node;
    int32_t base;
    int32_t ownId;
    int32_t entry;
};
// The view occurrences from the top down to the one holding `id` (a net or instance occurrence
// id); its local position there in *local. False when the id lies outside the tree.
bool levels(const nyxOccTree *tree, int32_t id, std::vector<Level> *out, int32_t *local);

// The flat net id of the net at `local` in the deepest of `path` (consumed); 0 when none.
int32_t flatOf(const nyxOccTree *tree, const nyxFlatNets *f, std::vector<Level> &path, int32_t local);

// One member net occurrence of a flat net, with the view occurrence that holds it.
struct Member {
    int32_t id;
    int32_t node;
    int32_t base;
    int32_t ownId;
    int32_t entry;  // child entry the view occurrence was reached by (-1 the top)
    int32_t local;
};

// Resumable walk over the member net occurrences of a flat net, depth first from its
// representative (or, for a global, over every view occurrence whose subtree reaches it).
class MemberCursor {
public:
    // False when `flatId` is not the identifier of a flat net of the tree.
    bool start(const nyxOccTree *tree, const nyxFlatNets *f, int32_t flatId);
    bool next(const nyxOccTree *tree, const nyxFlatNets *f, Member *out);

private:
    struct Frame {
        int32_t node, base, ownId, entry;
        int32_t cls;    // >= 0: a class frame; -1: a tree frame of the global
        int32_t index;  // next net (class) or next global class (tree)
        int32_t down;   // next downlink (class, and the current global class of a tree frame)
        int32_t sub;    // tree frames: next net of the current global class
        int32_t child;  // tree frames: next child
        int32_t leaf;   // next net of a child without children, yielded from this frame
        int32_t leafClass;  // tree frames: that child's global class
    };
    enum class Down { kNone, kPushed, kYielded };
    Down down(const nyxOccTree *tree, const nyxFlatNets *f, Frame &fr, int32_t cls, Member *out);
    Down children(const nyxOccTree *tree, const nyxFlatNets *f, Frame &fr, Member *out);

    std::vector<Frame> d_stack;
    int32_t d_global = -1;
};

// The distinct (node, class) pairs of a flat net's members, in the order of the member walk,
// each once (a class reached again through another occurrence is not entered again). False when
// `flatId` names no flat net of the tree.
// The walk over a flat net's member net occurrences (null with 4 when memory ran out).
nyxOccWalk *makeMemberWalk(const nyxOccTree *tree, int32_t flatId, cfidrErrorT *err);

bool distinctPairs(const nyxOccTree *tree, const nyxFlatNets *f, int32_t flatId,
                   std::vector<std::pair<int32_t, int32_t>> *out);

} // namespace nyxdwFlat
