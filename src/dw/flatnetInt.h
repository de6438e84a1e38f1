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
// The members still to hand out are the current run, then those the stack yields, top first:
//   run      nets d_run .. d_runEnd of view occurrence d_at, rising positions (the nets of one
//            class), handed out without going back to the stack
//   frame    the downlinks of class k from `down` on (k >= 0), then the plan steps
//            d_plan[step .. stepEnd) of its view occurrence, each a run or a frame of its own
// A downlink to a child class runs the child's nets and, when the child has children of its
// own, pushes a frame for the class's downlinks there (a leaf has none). The representative's
// frame has no plan steps. For a global, each view occurrence reaching it has a frame whose
// steps are its node's plan, made once per node and walk:
//   plan(v) = (own, k) for each class k of v of the global, in v's globals order (a run, then
//             k's downlinks), then for each child entry c of v, rising, whose node reaches the
//             global: (c, -1) when the child has children (a frame), else (c, k) for each of
//             the leaf's classes k of the global (a run)
// which hands the members out in the order of a depth-first walk of the occurrences. The top's
// frame of a global starts with step == -1, its plan not made yet (so that start() stays cheap
// for the callers that only check an identifier). The plans take memory in proportion to the
// distinct views, never to the occurrences.
class MemberCursor {
public:
    // False when `flatId` is not the identifier of a flat net of the tree.
    bool start(const nyxOccTree *tree, const nyxFlatNets *f, int32_t flatId);
    bool next(const nyxOccTree *tree, const nyxFlatNets *f, Member *out) {
        if (d_run == d_runEnd && !refill(tree, f)) return false;
        const int32_t local = *d_run++;
        *out = Member{d_at.base + local, d_at.node, d_at.base, d_at.ownId, d_at.entry, local};
        return true;
    }
    // The next member's net occurrence id only.
    bool nextId(const nyxOccTree *tree, const nyxFlatNets *f, int32_t *id) {
        if (d_run == d_runEnd && !refill(tree, f)) return false;
        *id = d_at.base + *d_run++;
        return true;
    }

private:
    // A view occurrence: node, local base, own id, the child entry it was reached by (-1 top).
    struct At {
        int32_t node, base, ownId, entry;
    };
    struct Frame {
        At at;
        int32_t k;  // the class whose downlinks come next, -1 when none
        int32_t down;
        int32_t step, stepEnd;  // d_plan indices; -1: the global's top frame, plan not made
    };
    static constexpr int32_t kOwn = -1;
    struct PlanStep {
        int32_t child;  // child index within the node, kOwn for the node's own class
        int32_t cls;    // -1: a frame for the child
    };
    struct PlanRange {
        int32_t begin = -1, end = -1;  // -1: not made yet
    };
    static At below(const nyxOccTree *tree, const At &at, const nyxOccChild &c);
    bool refill(const nyxOccTree *tree, const nyxFlatNets *f);
    bool downlink(const nyxOccTree *tree, const nyxFlatNets *f, Frame &fr);
    void pushGlobalFrame(const nyxOccTree *tree, const nyxFlatNets *f, const At &at);
    void run(const At &at, const nyxFlatNode &n, int32_t cls) {
        d_at = at;
        d_run = n.nets + n.netStart[cls];
        d_runEnd = n.nets + n.netStart[cls + 1];
    }

    std::vector<Frame> d_stack;
    At d_at{};
    const int32_t *d_run = nullptr;
    const int32_t *d_runEnd = nullptr;
    int32_t d_global = -1;
    std::vector<PlanRange> d_planOf;  // per node, sized on the first global frame
    std::vector<PlanStep> d_plan;
};

// The members of a flat net as net occurrences.
class MemberWalk final : public nyxOccWalk {
public:
    MemberWalk(const nyxOccTree *tree, int32_t flatId) : nyxOccWalk(tree, Direct::kMembers), d_flatId(flatId) {}
    void reset() override { d_started = false; }

    // Called directly by nyxOccWalk::next, so that it inlines there.
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *err) override {
        const nyxFlatNets *f = need(tree, err);
        if (f == nullptr) return false;
        if (!d_started) {
            d_started = true;
            if (!d_cursor.start(tree, f, d_flatId)) return nyxdwInt::fail(err);
        }
        int32_t id = 0;
        if (!d_cursor.nextId(tree, f, &id)) return false;
        *out = nyxdwInt::ref(tree, id, nyxOccNet);
        return true;
    }

private:
    int32_t d_flatId;
    bool d_started = false;
    MemberCursor d_cursor;
};

// The walk over a flat net's member net occurrences (null with 4 when memory ran out).
nyxOccWalk *makeMemberWalk(const nyxOccTree *tree, int32_t flatId, cfidrErrorT *err);

// The distinct (node, class) pairs of a flat net's members, in the order of the member walk,
// each once (a class reached again through another occurrence is not entered again). False when
// `flatId` names no flat net of the tree.
bool distinctPairs(const nyxOccTree *tree, const nyxFlatNets *f, int32_t flatId,
                   std::vector<std::pair<int32_t, int32_t>> *out);

} // namespace nyxdwFlat
