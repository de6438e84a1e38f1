// dwInt.h - private declarations of src/dw: the layout of the occurrence tree and the descent
// that every accessor and walk shares.
//
// Layout. The tree record, its node array, its child array and its view table live in the tree's
// own heap ("Occ Tree Heap"); the records of that heap and of the graph heap ("Occ Graph Heap",
// kept for the connectivity of flat nets, made on first use) come from the global heap.
// Invariants (n a node, c a child entry):
//   nodes[0] is the root; every view reached has exactly one node, found by viewTable
//   n.size == n.local + sum over the children of n of nodes[c.node].size <= kMaxSize
//   children of n are children[n.firstChild .. n.firstChild + n.childCount), c.instPos rising
//   c.offset of the first child == n.local, and of each next one the previous offset + its size
//   nodes[c.node].size > 0 for every child entry; a node of size 0 is a leaf view
//   n.stamp == n.view->editSerial() when the tree was built or last restamped
//   bytes in use: proportional to nodes + children + instances of the distinct views, never to
//   occurrences
#pragma once

#include <cstdint>

#include "dw/dw.h"

struct nyxOccChild {
    int64_t offset;   // of the child's view occurrence from the parent's local base
    int32_t instPos;  // the instance's position in the parent view
    int32_t node;     // the describer's node
};

struct nyxOccNode {
    nyxNetlistView *view;
    uint64_t stamp;      // the view's edit serial as read
    int64_t size;        // S
    int32_t local;       // L
    int32_t firstChild;
    int32_t childCount;
    int32_t portCount;   // ports in the view's full port order
};

class nyxOccTree {
public:
    Hx_genheap *d_heap = nullptr;
    Hx_genheap *d_graphHeap = nullptr;
    nyxOccNode *d_nodes = nullptr;
    int32_t d_nodeCount = 0;
    nyxOccChild *d_children = nullptr;
    int32_t d_childCount = 0;
    int32_t *d_viewTable = nullptr;  // open addressing, node index + 1 (0 free)
    uint32_t d_tableMask = 0;
    int32_t d_maxDepth = 0;
    int32_t d_designId = 0;
    uint64_t d_serial = 0;
    uint32_t d_version = 0;  // session-wide view version at build or restamp
    uint64_t d_epoch = 0;
    // Last net looked up by id.
    int32_t d_lastNetId = 0;
    nyxObjRef d_lastNet;
    // The connectivity tables of flat nets (flatnetInt.h), on d_graphHeap; null until first use.
    struct nyxFlatNets *d_flat = nullptr;

    const nyxOccNode &node(int32_t i) const { return d_nodes[i]; }
    const nyxOccChild *childrenOf(int32_t i) const { return d_children + d_nodes[i].firstChild; }
    // The node of a view, -1 when the view is not in the tree.
    int32_t nodeOfView(const nyxNetlistView *view) const;
    // The child entry of node n for the instance at position q, null when q is not descended.
    const nyxOccChild *childAt(int32_t n, int32_t q) const;
};

namespace nyxdwInt {

// Where an id lies: the view occurrence that holds it (node, local base, its own id: 3 for the
// top) and the local position of the item there (-1 for the top itself).
struct Place {
    int32_t node = 0;
    int32_t base = nyxdw::kFirstLocal;
    int32_t ownId = nyxdw::kTopId;
    int32_t local = -1;
};

// A top or instance occurrence seen as a view occurrence. node is -1 for a leaf instance (its
// view is the describer, without local items); inst is null for the top.
struct ViewOcc {
    int32_t id = nyxdw::kTopId;
    int32_t node = 0;
    int32_t base = nyxdw::kFirstLocal;
    nyxNetlistView *view = nullptr;
    nyxInst *inst = nullptr;
    Place place;  // where the instance occurrence lies (the top: node 0, local -1)
    bool isTop() const { return inst == nullptr; }
};

// One descent step: the node left and the position of the instance descended through.
struct Step {
    int32_t node;
    int32_t instPos;
};
// Descends from the top to the view occurrence holding `id`; false when id is outside the tree.
// The steps taken are appended to `trail` when given.
bool locate(const nyxOccTree *tree, int32_t id, Place *out, std::vector<Step> *trail = nullptr);
// The view occurrence of a top occurrence, an instance occurrence, or the id part of a port
// occurrence (3 the top, else an instance occurrence); false with 31001.
bool viewOcc(const nyxOccTree *tree, int32_t id, bool topAllowed, ViewOcc *out, cfidrErrorT *err);
// The view occurrence of an occurrence of kind 3 or 4.
bool viewOccOf(const nyxOccTree *tree, const nyxOccRef &occ, ViewOcc *out, cfidrErrorT *err);

// The port instance of `inst` standing for the describer port `port` at view position `pos`,
// and the reverse: the describer position of a port instance word (-1 when it maps to none).
nyxObjRef portInstFor(nyxInst *inst, nyxNetlistView *describer, nyxPort *port, int32_t pos);
int32_t describerPosition(const void *word, nyxInst *inst, nyxNetlistView *describer);

// 1 + the highest position of a live net of the view (0 when none).
int32_t usedNets(nyxNetlistView *view);

inline nyxOccRef ref(const nyxOccTree *tree, int32_t id, int32_t kind, int32_t port = 0) {
    nyxOccRef r;
    r.id = id;
    r.kind = kind;
    r.designId = tree->d_designId;
    r.port = port;
    return r;
}
inline nyxOccRef viewRef(const nyxOccTree *tree, int32_t id) {
    return ref(tree, id, id == nyxdw::kTopId ? nyxOccTop : nyxOccInst);
}
inline bool fail(cfidrErrorT *err) { return *err = nyxdwErrOccUnusable, false; }

} // namespace nyxdwInt
