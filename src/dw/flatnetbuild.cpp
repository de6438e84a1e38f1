// The connectivity tables of flat nets (flatnetInt.h), computed once per tree, each distinct view
// once, children before parents. Cost: the nets, ports and port instances of the distinct views;
// the number of occurrences plays no part. Working memory comes from standard containers and is
// released when the computation ends; what stays lives on the tree's graph heap.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "dw/flatnetInt.h"
#include "utils/settings.h"

using namespace nyxdwInt;

namespace {

constexpr const char *kGraphHeapName = "Occ Graph Heap";
constexpr long kGraphHeapChunk = 0x4000;

// The representative among the nets of one class: the smallest name. With the fix switch on,
// names compare with ASCII letters folded to lower case first and exactly only between names
// that fold alike, so that "clk" and "CLK_b" order as people read them; with it disabled (the
// environment's NYX_DISABLE_DR129092) by their bytes alone. Names within a view differ, so the
// choice never depends on the order of the build.
bool nameLess(const char *a, const char *b, bool folded) {
    if (folded) {
        for (const unsigned char *x = reinterpret_cast<const unsigned char *>(a),
                                 *y = reinterpret_cast<const unsigned char *>(b);
             ; ++x, ++y) {
            const int cx = std::tolower(*x), cy = std::tolower(*y);
            if (cx != cy) return cx < cy;
            if (*x == 0) break;
        }
    }
    return std::strcmp(a, b) < 0;
}

// Union-find over the positions of one view, with the global of each root.
struct Classes {
    std::vector<int32_t> parent;  // -1: not a scalar net
    std::vector<int32_t> global;  // of roots
    int32_t find(int32_t p) {
        while (parent[p] != p) p = parent[p] = parent[parent[p]];
        return p;
    }
};

// Global nets by name, merged by union to the smallest index.
struct Globals {
    std::unordered_map<std::string, int32_t> byName;
    std::vector<std::string> names;
    std::vector<int32_t> parent;
    int32_t index(const char *name) {
        auto [it, added] = byName.emplace(name, static_cast<int32_t>(names.size()));
        if (added) {
            names.emplace_back(name);
            parent.push_back(it->second);
        }
        return it->second;
    }
    int32_t find(int32_t g) {
        while (parent[g] != g) g = parent[g] = parent[parent[g]];
        return g;
    }
    int32_t join(int32_t a, int32_t b) {
        if (a < 0 || b < 0) return a < 0 ? b : a;
        a = find(a);
        b = find(b);
        if (a > b) std::swap(a, b);
        parent[b] = a;
        return a;
    }
};

// A node's tables while they are built.
struct Work {
    std::vector<int32_t> netClass, classGlobal, classRep, netStart, nets, portStart, ports, downStart;
    std::vector<nyxFlatDown> down;
    std::vector<int32_t> portClass, globals;
    std::vector<nyxPort *> portObjs;
    std::vector<uint64_t> bits;
};

class Builder {
public:
    Builder(nyxOccTree *tree, cfidrErrorT *err) : d_tree(tree), d_err(err), d_work(tree->d_nodeCount) {}
    bool run();
    nyxFlatNets *freeze(Hx_genheap *heap);

private:
    bool node(int32_t v);
    void joinChild(int32_t v, int32_t entry, nyxInst *inst, Classes &uf, std::vector<int32_t> &seen,
                   std::vector<std::pair<int32_t, nyxFlatDown>> &pending);
    void finishClasses(int32_t v, Classes &uf, const std::vector<std::pair<int32_t, nyxFlatDown>> &pending);

    nyxOccTree *d_tree;
    cfidrErrorT *d_err;
    std::vector<Work> d_work;
    std::vector<int64_t> d_outStart;
    std::vector<int32_t> d_outside;
    Globals d_globals;
    std::vector<int32_t> d_order;  // children before parents
    std::vector<uint8_t> d_roots;  // per child entry (flatnetInt.h)

    void markRoots();
    bool d_folded = nyxSettings::nyxEnableDR(nyxSettings::kFixRepresentativeByName);
};

bool Builder::run() {
    // Post-order over the node graph, with an explicit stack.
    std::vector<char> state(d_tree->d_nodeCount, 0);
    std::vector<std::pair<int32_t, int32_t>> stack{{0, 0}};
    state[0] = 1;
    while (!stack.empty()) {
        auto &[n, next] = stack.back();
        const nyxOccNode &on = d_tree->node(n);
        if (next < on.childCount) {
            const int32_t c = d_tree->childrenOf(n)[next++].node;
            if (state[c] == 0) {
                state[c] = 1;
                stack.emplace_back(c, 0);
            }
            continue;
        }
        d_order.push_back(n);
        stack.pop_back();
    }
    // Leaves (size 0) are never entered; their tables stay empty.
    d_outStart.assign(d_tree->d_childCount + 1, 0);
    for (int32_t i = 0; i < d_tree->d_childCount; ++i) {
        d_outStart[i + 1] = d_outStart[i] + d_tree->node(d_tree->d_children[i].node).portCount;
    }
    d_outside.assign(d_outStart.back(), -1);
    for (int32_t v : d_order) {
        if (!node(v)) return false;
    }
    // Globals merged after a node was done: every class and bit set takes the canonical index.
    const auto words = static_cast<int32_t>((d_globals.names.size() + 63) / 64);
    for (int32_t v : d_order) {
        Work &w = d_work[v];
        w.bits.assign(words, 0);
        for (int32_t &g : w.classGlobal) {
            if (g < 0) continue;
            g = d_globals.find(g);
            w.bits[g >> 6] |= uint64_t{1} << (g & 63);
        }
        const nyxOccChild *kids = d_tree->childrenOf(v);
        for (int32_t i = 0; i < d_tree->node(v).childCount; ++i) {
            const Work &cw = d_work[kids[i].node];
            for (int32_t k = 0; k < words; ++k) w.bits[k] |= cw.bits[k];
        }
    }
    markRoots();
    return true;
}

// For each child entry, children first: whether a class of the child is rooted at its
// occurrence under that entry (not global, and no port of the class has an outside net), or
// some entry below has such a class.
void Builder::markRoots() {
    d_roots.assign(d_tree->d_childCount, 0);
    std::vector<char> joined;
    for (int32_t v : d_order) {
        const nyxOccNode &on = d_tree->node(v);
        for (int32_t i = 0; i < on.childCount; ++i) {
            const int32_t entry = on.firstChild + i;
            const int32_t c = d_tree->d_children[entry].node;
            const Work &cw = d_work[c];
            const auto classes = static_cast<int32_t>(cw.classGlobal.size());
            joined.assign(classes, 0);
            const int32_t *outside = d_outside.data() + d_outStart[entry];
            for (int32_t p = 0; p < static_cast<int32_t>(cw.portClass.size()); ++p) {
                if (cw.portClass[p] >= 0 && outside[p] >= 0) joined[cw.portClass[p]] = 1;
            }
            uint8_t roots = 0;
            for (int32_t k = 0; k < classes && roots == 0; ++k) roots = cw.classGlobal[k] < 0 && joined[k] == 0;
            const nyxOccNode &cn = d_tree->node(c);
            for (int32_t j = 0; j < cn.childCount && roots == 0; ++j) roots = d_roots[cn.firstChild + j];
            d_roots[entry] = roots;
        }
    }
}

void Builder::joinChild(int32_t v, int32_t entry, nyxInst *inst, Classes &uf, std::vector<int32_t> &seen,
                        std::vector<std::pair<int32_t, nyxFlatDown>> &pending) {
    const nyxOccChild &c = d_tree->d_children[entry];
    const Work &cw = d_work[c.node];
    nyxNetlistView *view = d_tree->node(v).view;
    nyxNetlistView *describer = d_tree->node(c.node).view;
    std::vector<int32_t> touched;
    int32_t *outside = d_outside.data() + d_outStart[entry];
    for (int32_t p = 0; p < static_cast<int32_t>(cw.portClass.size()); ++p) {
        const int32_t k = cw.portClass[p];
        if (k < 0) continue;
        nyxObjRef word = portInstFor(inst, describer, cw.portObjs[p], p);
        if (word.obj == nullptr || word.code != nyxCodePortInstScalar) continue;
        nyxNetScalar *net = nyxPortInst::net(word.obj);
        if (net == nullptr) continue;
        const int32_t q = view->netPosition(net);
        outside[p] = q;
        const int32_t r = uf.find(q);
        if (cw.classGlobal[k] >= 0) {
            uf.global[r] = d_globals.join(uf.global[r], cw.classGlobal[k]);
            continue;
        }
        if (seen[k] >= 0) {
            // Two ports of the child joined inside: their outside nets are one.
            const int32_t s = uf.find(seen[k]);
            if (s != r) {
                uf.parent[s] = r;
                uf.global[r] = d_globals.join(uf.global[r], uf.global[s]);
            }
            continue;
        }
        seen[k] = q;
        touched.push_back(k);
        pending.push_back({q, nyxFlatDown{entry - d_tree->node(v).firstChild, k}});
    }
    for (int32_t k : touched) seen[k] = -1;
}

bool Builder::node(int32_t v) {
    const nyxOccNode &on = d_tree->node(v);
    nyxNetlistView *view = on.view;
    const int32_t count = usedNets(view);
    Classes uf;
    uf.parent.assign(count, -1);
    uf.global.assign(count, -1);
    for (int32_t p = 0; p < count; ++p) {
        cfidrErrorT e = 0;
        int32_t code = 0;
        void *net = view->netAtPosition(p, &code, &e);
        if (e == cfidrErrInternal) return *d_err = e, false;
        if (net == nullptr || code != nyxCodeNetScalar) continue;
        uf.parent[p] = p;
        if ((static_cast<const nyxNetHead *>(net)->d_flags & nyxNetHead::kGlobal) != 0) {
            uf.global[p] = d_globals.index(nyxNet::name(net));
        }
    }
    std::vector<std::pair<int32_t, nyxFlatDown>> pending;
    int32_t widest = 0;
    for (int32_t i = 0; i < on.childCount; ++i) widest = std::max(widest, static_cast<int32_t>(d_work[d_tree->childrenOf(v)[i].node].classGlobal.size()));
    std::vector<int32_t> seen(widest, -1);
    for (int32_t i = 0; i < on.childCount; ++i) {
        const nyxOccChild &c = d_tree->childrenOf(v)[i];
        cfidrErrorT e = 0;
        nyxInst *inst = nyxInstance::findByPosition(view, c.instPos, &e);
        if (inst == nullptr) return *d_err = nyxdwErrOccUnusable, false;
        joinChild(v, on.firstChild + i, inst, uf, seen, pending);
    }
    finishClasses(v, uf, pending);
    return true;
}

void Builder::finishClasses(int32_t v, Classes &uf, const std::vector<std::pair<int32_t, nyxFlatDown>> &pending) {
    Work &w = d_work[v];
    nyxNetlistView *view = d_tree->node(v).view;
    const auto count = static_cast<int32_t>(uf.parent.size());
    std::vector<int32_t> classOfRoot(count, -1);
    w.netClass.assign(count, -1);
    for (int32_t p = 0; p < count; ++p) {
        if (uf.parent[p] < 0) continue;
        const int32_t r = uf.find(p);
        if (classOfRoot[r] < 0) {
            classOfRoot[r] = static_cast<int32_t>(w.classGlobal.size());
            w.classGlobal.push_back(uf.global[r]);
            w.classRep.push_back(p);
        }
        const int32_t k = classOfRoot[r];
        w.netClass[p] = k;
        cfidrErrorT e = 0;
        int32_t code = 0;
        const char *name = nyxNet::name(view->netAtPosition(p, &code, &e));
        const char *best = nyxNet::name(view->netAtPosition(w.classRep[k], &code, &e));
        if (nameLess(name, best, d_folded)) w.classRep[k] = p;
    }
    const auto classes = static_cast<int32_t>(w.classGlobal.size());
    // Nets by class (counting sort keeps positions rising).
    w.netStart.assign(classes + 1, 0);
    for (int32_t k : w.netClass) if (k >= 0) ++w.netStart[k + 1];
    for (int32_t k = 0; k < classes; ++k) w.netStart[k + 1] += w.netStart[k];
    w.nets.resize(w.netStart[classes]);
    std::vector<int32_t> fill(w.netStart.begin(), w.netStart.end() - 1);
    for (int32_t p = 0; p < count; ++p) if (w.netClass[p] >= 0) w.nets[fill[w.netClass[p]]++] = p;
    // Ports by class.
    cfidrErrorT e = 0;
    const int32_t ports = d_tree->node(v).portCount;
    w.portClass.assign(ports, -1);
    w.portObjs.assign(ports, nullptr);
    w.portStart.assign(classes + 1, 0);
    for (int32_t p = 0; p < ports; ++p) {
        auto *port = static_cast<nyxPort *>(nyxPortViewFindByPosition(view, p, &e).obj);
        w.portObjs[p] = port;
        if (port == nullptr || !port->isScalar()) continue;
        nyxNetScalar *net = static_cast<nyxPortScalar *>(port)->net();
        if (net == nullptr) continue;
        w.portClass[p] = w.netClass[view->netPosition(net)];
        if (w.portClass[p] >= 0) ++w.portStart[w.portClass[p] + 1];
    }
    for (int32_t k = 0; k < classes; ++k) w.portStart[k + 1] += w.portStart[k];
    w.ports.resize(w.portStart[classes]);
    fill.assign(w.portStart.begin(), w.portStart.end() - 1);
    for (int32_t p = 0; p < ports; ++p) if (w.portClass[p] >= 0) w.ports[fill[w.portClass[p]]++] = p;
    // Downlinks by class, in child order.
    w.downStart.assign(classes + 1, 0);
    for (const auto &[q, d] : pending) ++w.downStart[w.netClass[q] + 1];
    for (int32_t k = 0; k < classes; ++k) w.downStart[k + 1] += w.downStart[k];
    w.down.resize(w.downStart[classes]);
    fill.assign(w.downStart.begin(), w.downStart.end() - 1);
    for (const auto &[q, d] : pending) w.down[fill[w.netClass[q]]++] = d;
    for (int32_t k = 0; k < classes; ++k) if (w.classGlobal[k] >= 0) w.globals.push_back(k);
}

template <class T> T *copyOut(Hx_genheap *heap, const std::vector<T> &from, bool *ok) {
    if (from.empty()) return nullptr;
    auto *to = static_cast<T *>(heap->allocBlock(from.size() * sizeof(T)));
    if (to == nullptr) return *ok = false, nullptr;
    std::copy(from.begin(), from.end(), to);
    return to;
}

nyxFlatNets *Builder::freeze(Hx_genheap *heap) {
    bool ok = true;
    auto *f = static_cast<nyxFlatNets *>(heap->allocBlock(sizeof(nyxFlatNets)));
    auto *nodes = static_cast<nyxFlatNode *>(heap->allocBlock(sizeof(nyxFlatNode) * d_work.size()));
    if (f == nullptr || nodes == nullptr) return nullptr;
    new (f) nyxFlatNets();
    f->nodes = nodes;
    f->bitWords = static_cast<int32_t>((d_globals.names.size() + 63) / 64);
    for (size_t v = 0; v < d_work.size(); ++v) {
        Work &w = d_work[v];
        if (w.bits.empty()) w.bits.assign(std::max(f->bitWords, 1), 0);
        nyxFlatNode &n = *new (&nodes[v]) nyxFlatNode();
        n.netCount = static_cast<int32_t>(w.netClass.size());
        n.classCount = static_cast<int32_t>(w.classGlobal.size());
        n.portCount = static_cast<int32_t>(w.portClass.size());
        n.globalCount = static_cast<int32_t>(w.globals.size());
        n.netClass = copyOut(heap, w.netClass, &ok);
        n.classGlobal = copyOut(heap, w.classGlobal, &ok);
        n.classRep = copyOut(heap, w.classRep, &ok);
        n.netStart = copyOut(heap, w.netStart, &ok);
        n.nets = copyOut(heap, w.nets, &ok);
        n.portStart = copyOut(heap, w.portStart, &ok);
        n.ports = copyOut(heap, w.ports, &ok);
        n.downStart = copyOut(heap, w.downStart, &ok);
        n.down = copyOut(heap, w.down, &ok);
        n.portClass = copyOut(heap, w.portClass, &ok);
        n.globals = copyOut(heap, w.globals, &ok);
        n.bits = copyOut(heap, w.bits, &ok);
    }
    f->outStart = copyOut(heap, d_outStart, &ok);
    f->outside = copyOut(heap, d_outside, &ok);
    f->roots = copyOut(heap, d_roots, &ok);
    f->globalCount = static_cast<int32_t>(d_globals.names.size());
    std::vector<nyxFlatGlobal> globals;
    for (int32_t g = 0; g < f->globalCount && ok; ++g) {
        const std::string &name = d_globals.names[g];
        auto *copy = static_cast<char *>(heap->allocBlock(name.size() + 1));
        if (copy == nullptr) return nullptr;
        std::memcpy(copy, name.c_str(), name.size() + 1);
        globals.push_back({copy, d_globals.find(g)});
    }
    f->globals = copyOut(heap, globals, &ok);
    return ok ? f : nullptr;
}

Hx_genheap *makeHeap() {
    void *p = nyx::getGlobalHeap() != nullptr ? nyx::getGlobalHeap()->allocBlock(sizeof(Hx_genheap)) : nullptr;
    return p == nullptr ? nullptr : new (p) Hx_genheap(kGraphHeapName, kGraphHeapChunk);
}

void dropHeap(Hx_genheap *heap) {
    if (heap == nullptr) return;
    heap->~Hx_genheap();
    nyx::getGlobalHeap()->freeBlock(heap, sizeof(Hx_genheap));
}

} // namespace

namespace nyxdwFlat {

const nyxFlatNets *compute(nyxOccTree *tree, cfidrErrorT *err) {
    if (tree->d_flat != nullptr) return tree->d_flat;
    try {
        Builder b(tree, err);
        if (!b.run()) return nullptr;
        // A heap that held an earlier, failed attempt starts afresh.
        dropHeap(tree->d_graphHeap);
        tree->d_graphHeap = makeHeap();
        nyxFlatNets *f = tree->d_graphHeap != nullptr ? b.freeze(tree->d_graphHeap) : nullptr;
        if (f == nullptr) {
            dropHeap(tree->d_graphHeap);
            tree->d_graphHeap = nullptr;
            return *err = cfidrErrInternal, nullptr;
        }
        tree->d_flat = f;
        return f;
    } catch (const std::bad_alloc &) {
        return *err = cfidrErrInternal, nullptr;
    }
}

} // namespace nyxdwFlat
