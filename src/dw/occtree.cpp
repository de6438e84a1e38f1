// The occurrence tree: the iterative build over distinct views, its release and its staleness.
#include <algorithm>
#include <new>
#include <unordered_map>
#include <vector>

#include "dw/dwInt.h"

namespace {

constexpr const char *kTreeHeapName = "Occ Tree Heap";
constexpr long kTreeHeapChunk = 4096;

uint64_t g_buildSerial = 0;

// A node while the build runs. state: 0 reached, 1 on the stack, 2 done.
struct BuildNode {
    nyxNetlistView *view = nullptr;
    uint64_t stamp = 0;
    int64_t size = 0;
    int32_t local = 0;
    int32_t portCount = 0;
    int32_t state = 0;
    std::vector<nyxOccChild> children;
};

// One view on the explicit stack: its instance cursor, the highest instance position seen, and
// the child pushed last, to be entered once it is done.
struct Frame {
    int32_t node;
    nyxInstCursor cursor;
    int32_t maxInst = -1;
    int32_t pending = -1;
    int32_t pendingPos = 0;
};

class Builder {
public:
    explicit Builder(cfidrErrorT *err) : d_err(err) {}
    bool run(nyxNetlistView *root);

    std::vector<BuildNode> d_nodes;
    std::unordered_map<const nyxNetlistView *, int32_t> d_byView;
    int32_t d_maxDepth = 0;

private:
    int32_t nodeFor(nyxNetlistView *view);
    bool step(std::vector<Frame> &stack);
    bool finish(const Frame &f);
    void enter(Frame &f, int32_t pos, int32_t child) {
        if (d_nodes[child].size > 0) d_nodes[f.node].children.push_back({0, pos, child});
    }

    cfidrErrorT *d_err;
    // Each describer record is asked once: the node its describer has.
    std::unordered_map<const nyxFootPrint *, int32_t> d_byRecord;
};

int32_t Builder::nodeFor(nyxNetlistView *view) {
    auto found = d_byView.find(view);
    if (found != d_byView.end()) return found->second;
    if (!nyxNetlistView::load(view, d_err)) return -1;
    BuildNode n;
    n.view = view;
    n.stamp = view->editSerial();
    n.portCount = nyxPortViewCount(view, d_err);
    if (*d_err != 0) return -1;
    // Port occurrences carry the position in 20 bits.
    if (n.portCount > nyxdw::kMaxPorts) return *d_err = nyxdwErrOccTreeFailed, -1;
    const auto index = static_cast<int32_t>(d_nodes.size());
    d_nodes.push_back(std::move(n));
    d_byView.emplace(view, index);
    return index;
}

bool Builder::finish(const Frame &f) {
    BuildNode &n = d_nodes[f.node];
    n.local = std::max(nyxdwInt::usedNets(n.view), f.maxInst + 1);
    int64_t offset = n.local;
    for (nyxOccChild &c : n.children) {
        c.offset = offset;
        offset += d_nodes[c.node].size;
    }
    // Every size is checked as it is made, so the sum of children cannot leave 64 bits.
    if (offset > nyxdw::kMaxSize) return *d_err = nyxdwErrOccTreeFailed, false;
    n.size = offset;
    n.state = 2;
    return true;
}

bool Builder::step(std::vector<Frame> &stack) {
    Frame &f = stack.back();
    if (f.pending >= 0) {
        enter(f, f.pendingPos, f.pending);
        f.pending = -1;
    }
    nyxInst *inst = nyxInstance::next(d_nodes[f.node].view, f.cursor);
    if (inst == nullptr) {
        if (!finish(f)) return false;
        stack.pop_back();
        return true;
    }
    const int32_t pos = nyxInstance::position(inst);
    f.maxInst = pos;
    int32_t child;
    auto known = d_byRecord.find(inst->footPrint());
    if (known != d_byRecord.end()) {
        child = known->second;
    } else {
        nyxNetlistView *describer = inst->footPrint()->getDescriber(d_err, true);
        if (describer == nullptr) return false;
        child = nodeFor(describer);
        if (child < 0) return false;
        d_byRecord.emplace(inst->footPrint(), child);
    }
    switch (d_nodes[child].state) {
    case 1:
        // The describer is being built further up: the view would contain itself.
        return *d_err = cfidrErrRecursiveDescriber, false;
    case 2:
        enter(f, pos, child);
        return true;
    default:
        d_nodes[child].state = 1;
        f.pending = child;
        f.pendingPos = pos;
        stack.push_back(Frame{child, {}});
        d_maxDepth = std::max(d_maxDepth, static_cast<int32_t>(stack.size()));
        return true;
    }
}

bool Builder::run(nyxNetlistView *root) {
    const int32_t r = nodeFor(root);
    if (r < 0) return false;
    d_nodes[r].state = 1;
    std::vector<Frame> stack;
    stack.push_back(Frame{r, {}});
    d_maxDepth = 1;
    while (!stack.empty()) {
        if (!step(stack)) return false;
    }
    return true;
}

Hx_genheap *makeHeap(const char *name, long chunk) {
    void *p = nyx::getGlobalHeap() != nullptr ? nyx::getGlobalHeap()->allocBlock(sizeof(Hx_genheap)) : nullptr;
    return p == nullptr ? nullptr : new (p) Hx_genheap(name, chunk);
}

void dropHeap(Hx_genheap *heap) {
    if (heap == nullptr) return;
    heap->~Hx_genheap();
    nyx::getGlobalHeap()->freeBlock(heap, sizeof(Hx_genheap));
}

uint32_t viewHash(const nyxNetlistView *view) {
    auto v = reinterpret_cast<uintptr_t>(view) >> 4;
    return static_cast<uint32_t>(v ^ (v >> 29)) * 0x9e3779b1u;
}

// Moves what the builder found into the tree's heap; false when memory ran out.
bool assemble(nyxOccTree *tree, const Builder &b) {
    Hx_genheap *heap = tree->d_heap;
    const auto n = static_cast<int32_t>(b.d_nodes.size());
    int32_t children = 0;
    for (const BuildNode &bn : b.d_nodes) children += static_cast<int32_t>(bn.children.size());
    uint32_t cap = 4;
    while (cap < static_cast<uint32_t>(n) * 2) cap *= 2;
    tree->d_nodes = static_cast<nyxOccNode *>(heap->allocBlock(sizeof(nyxOccNode) * n));
    tree->d_children = static_cast<nyxOccChild *>(heap->allocBlock(sizeof(nyxOccChild) * (children + 1)));
    tree->d_viewTable = static_cast<int32_t *>(heap->allocBlock(sizeof(int32_t) * cap));
    if (tree->d_nodes == nullptr || tree->d_children == nullptr || tree->d_viewTable == nullptr) return false;
    tree->d_nodeCount = n;
    tree->d_childCount = children;
    tree->d_tableMask = cap - 1;
    std::fill(tree->d_viewTable, tree->d_viewTable + cap, 0);
    int32_t next = 0;
    for (int32_t i = 0; i < n; ++i) {
        const BuildNode &bn = b.d_nodes[i];
        const auto count = static_cast<int32_t>(bn.children.size());
        tree->d_nodes[i] = {bn.view, bn.stamp, bn.size, bn.local, next, count, bn.portCount};
        std::copy(bn.children.begin(), bn.children.end(), tree->d_children + next);
        next += count;
        uint32_t slot = viewHash(bn.view) & tree->d_tableMask;
        while (tree->d_viewTable[slot] != 0) slot = (slot + 1) & tree->d_tableMask;
        tree->d_viewTable[slot] = i + 1;
    }
    tree->d_maxDepth = b.d_maxDepth;
    return true;
}

} // namespace

int32_t nyxOccTree::nodeOfView(const nyxNetlistView *view) const {
    for (uint32_t slot = viewHash(view) & d_tableMask; d_viewTable[slot] != 0; slot = (slot + 1) & d_tableMask) {
        if (d_nodes[d_viewTable[slot] - 1].view == view) return d_viewTable[slot] - 1;
    }
    return -1;
}

const nyxOccChild *nyxOccTree::childAt(int32_t n, int32_t q) const {
    const nyxOccChild *first = childrenOf(n);
    const nyxOccChild *last = first + d_nodes[n].childCount;
    const nyxOccChild *c = std::lower_bound(first, last, q, [](const nyxOccChild &x, int32_t pos) { return x.instPos < pos; });
    return c != last && c->instPos == q ? c : nullptr;
}

namespace nyxdw {

nyxOccTree *buildTree(nyxNetlistView *root, int32_t designId, cfidrErrorT *err) {
    if (root == nullptr) return *err = nyxdwErrOccTreeFailed, nullptr;
    // Stamped before anything is read: a change during the build makes the tree stale at once.
    const uint32_t version = nyxSettings::getViewVersion();
    const uint64_t epoch = nyxNetlistView::epoch();
    Hx_genheap *heap = nullptr;
    try {
        Builder b(err);
        if (!b.run(root)) return nullptr;
        heap = makeHeap(kTreeHeapName, kTreeHeapChunk);
        void *p = heap != nullptr ? heap->allocBlock(sizeof(nyxOccTree)) : nullptr;
        if (p == nullptr) {
            dropHeap(heap);
            return *err = cfidrErrInternal, nullptr;
        }
        auto *tree = new (p) nyxOccTree();
        tree->d_heap = heap;
        if (!assemble(tree, b)) {
            dropHeap(heap);
            return *err = cfidrErrInternal, nullptr;
        }
        tree->d_designId = designId;
        tree->d_serial = ++g_buildSerial;
        tree->d_version = version;
        tree->d_epoch = epoch;
        return tree;
    } catch (const std::bad_alloc &) {
        dropHeap(heap);
        return *err = cfidrErrInternal, nullptr;
    }
}

void dropTree(nyxOccTree *&tree) {
    if (tree == nullptr) return;
    ++g_treesDropped;
    Hx_genheap *heap = tree->d_heap;
    dropHeap(tree->d_graphHeap);
    tree->~nyxOccTree();
    dropHeap(heap);
    tree = nullptr;
}

bool isCurrent(nyxOccTree *tree) {
    if (tree == nullptr || tree->d_epoch != nyxNetlistView::epoch()) return false;
    const uint32_t version = nyxSettings::getViewVersion();
    if (version == tree->d_version) return true;
    for (int32_t i = 0; i < tree->d_nodeCount; ++i) {
        const nyxOccNode &n = tree->d_nodes[i];
        if (n.view->editSerial() != n.stamp) return false;
    }
    tree->d_version = version;
    return true;
}

uint64_t g_treesDropped = 0;  // moved before a tree's memory goes (nyxTreeMemo relies on it)
uint64_t buildSerial(const nyxOccTree *tree) { return tree->d_serial; }
int32_t designId(const nyxOccTree *tree) { return tree->d_designId; }
nyxNetlistView *rootView(const nyxOccTree *tree) { return tree->d_nodes[0].view; }
nyxNetlistView *nodeView(const nyxOccTree *tree, int32_t i) { return tree->d_nodes[i].view; }
int64_t totalSize(const nyxOccTree *tree) { return tree->d_nodes[0].size; }
int32_t nodeCount(const nyxOccTree *tree) { return tree->d_nodeCount; }
int32_t maxDepth(const nyxOccTree *tree) { return tree->d_maxDepth; }

size_t treeBytes(const nyxOccTree *tree) {
    size_t bytes = sizeof(Hx_genheap) + tree->d_heap->bytesObtained();
    if (tree->d_graphHeap != nullptr) bytes += sizeof(Hx_genheap) + tree->d_graphHeap->bytesObtained();
    return bytes;
}

nyxOccRef top(const nyxOccTree *tree) { return nyxdwInt::ref(tree, kTopId, nyxOccTop); }

} // namespace nyxdw
