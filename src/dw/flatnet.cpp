// Flat nets read from the per-view tables: the flat net of a net occurrence by walking up, the
// members of a flat net by walking down from its representative through port instances, and
// the global flat nets over the view occurrences whose subtree reaches them.
#include <algorithm>
#include <new>

#include "dw/flatnetInt.h"

using namespace nyxdwInt;

namespace nyxdwFlat {

bool levels(const nyxOccTree *tree, int32_t id, std::vector<Level> *out, int32_t *local) {
    out->clear();
    out->push_back(Level{0, nyxdw::kFirstLocal, nyxdw::kTopId, -1});
    if (id < nyxdw::kFirstLocal || id - int64_t{nyxdw::kFirstLocal} >= tree->node(0).size) return false;
    for (;;) {
        const Level at = out->back();
        const int64_t rel = int64_t{id} - at.base;
        const nyxOccNode &n = tree->node(at.node);
        if (rel < n.local) return *local = static_cast<int32_t>(rel), true;
        const nyxOccChild *first = tree->childrenOf(at.node);
        const nyxOccChild *last = first + n.childCount;
        const nyxOccChild *c = std::upper_bound(first, last, rel, [](int64_t x, const nyxOccChild &y) { return x < y.offset; });
        if (c == first) return false;
        --c;
        if (rel >= c->offset + tree->node(c->node).size) return false;
        out->push_back(Level{c->node, static_cast<int32_t>(at.base + c->offset), at.base + c->instPos,
                             static_cast<int32_t>(c - tree->d_children)});
    }
}

// The outside net (parent position) of one of the class's ports, -1 when none has one.
static int32_t outsideOfClass(const nyxFlatNets *f, const nyxFlatNode &n, int32_t cls, int32_t entry) {
    const int32_t *outside = f->outsideOf(entry);
    for (int32_t i = n.portStart[cls]; i < n.portStart[cls + 1]; ++i) {
        if (outside[n.ports[i]] >= 0) return outside[n.ports[i]];
    }
    return -1;
}

int32_t flatOf(const nyxOccTree *, const nyxFlatNets *f, std::vector<Level> &path, int32_t local) {
    for (;;) {
        const Level at = path.back();
        const nyxFlatNode &n = f->nodes[at.node];
        const int32_t cls = local < n.netCount ? n.netClass[local] : -1;
        if (cls < 0) return 0;
        if (n.classGlobal[cls] >= 0) return globalId(n.classGlobal[cls]);
        const int32_t up = at.entry >= 0 ? outsideOfClass(f, n, cls, at.entry) : -1;
        if (up < 0) return at.base + n.classRep[cls];
        path.pop_back();
        local = up;
    }
}

bool MemberCursor::start(const nyxOccTree *tree, const nyxFlatNets *f, int32_t flatId) {
    d_stack.clear();
    d_run = d_runEnd = nullptr;
    d_global = -1;
    d_planOf.clear();
    d_plan.clear();
    if (flatId < 0) {
        const int32_t g = globalIndex(flatId);
        if (g < 0 || g >= f->globalCount || f->globals[g].canonical != g) return false;
        d_global = g;
        if (f->bitWords > 0 && f->hasBit(0, g)) d_stack.push_back(Frame{At{0, nyxdw::kFirstLocal, nyxdw::kTopId, -1}, -1, 0, -1, -1});
        return true;
    }
    std::vector<Level> path;
    int32_t local = 0;
    if (!levels(tree, flatId, &path, &local)) return false;
    const Level l = path.back();
    if (flatOf(tree, f, path, local) != flatId) return false;
    const At at{l.node, l.base, l.ownId, l.entry};
    const int32_t cls = f->nodes[l.node].netClass[local];
    d_stack.push_back(Frame{at, cls, 0, 0, 0});
    run(at, f->nodes[l.node], cls);
    return true;
}

MemberCursor::At MemberCursor::below(const nyxOccTree *tree, const At &at, const nyxOccChild &c) {
    return At{c.node, at.base + static_cast<int32_t>(c.offset), at.base + c.instPos,
              static_cast<int32_t>(&c - tree->d_children)};
}

// The frame of a view occurrence reaching the global, its node's plan made on first use.
void MemberCursor::pushGlobalFrame(const nyxOccTree *tree, const nyxFlatNets *f, const At &at) {
    if (d_planOf.empty()) d_planOf.resize(static_cast<size_t>(tree->d_nodeCount));
    PlanRange &r = d_planOf[static_cast<size_t>(at.node)];
    if (r.begin < 0) {
        r.begin = static_cast<int32_t>(d_plan.size());
        const nyxFlatNode &n = f->nodes[at.node];
        for (int32_t i = 0; i < n.globalCount; ++i) {
            if (n.classGlobal[n.globals[i]] == d_global) d_plan.push_back(PlanStep{kOwn, n.globals[i]});
        }
        const nyxOccChild *kids = tree->childrenOf(at.node);
        for (int32_t c = 0; c < tree->node(at.node).childCount; ++c) {
            const int32_t v = kids[c].node;
            if (!f->hasBit(v, d_global)) continue;
            if (tree->node(v).childCount != 0) {
                d_plan.push_back(PlanStep{c, -1});
                continue;
            }
            const nyxFlatNode &cn = f->nodes[v];
            for (int32_t i = 0; i < cn.globalCount; ++i) {
                if (cn.classGlobal[cn.globals[i]] == d_global) d_plan.push_back(PlanStep{c, cn.globals[i]});
            }
        }
        r.end = static_cast<int32_t>(d_plan.size());
    }
    d_stack.push_back(Frame{at, -1, 0, r.begin, r.end});
}

// The next non-empty run from the stack's top frame down; false when the stack is done.
bool MemberCursor::refill(const nyxOccTree *tree, const nyxFlatNets *f) {
    while (!d_stack.empty()) {
        Frame &fr = d_stack.back();
        if (fr.k >= 0) {
            if (downlink(tree, f, fr)) return true;
            fr.k = -1;
        }
        if (fr.step < 0) {  // the top's frame of a global, before its plan
            const At top = fr.at;
            d_stack.pop_back();
            pushGlobalFrame(tree, f, top);
            continue;
        }
        if (fr.step == fr.stepEnd) {
            d_stack.pop_back();
            continue;
        }
        const PlanStep s = d_plan[static_cast<size_t>(fr.step++)];
        if (s.child == kOwn) {
            fr.k = s.cls;
            fr.down = 0;
            run(fr.at, f->nodes[fr.at.node], s.cls);
            return true;
        }
        const nyxOccChild &c = tree->childrenOf(fr.at.node)[s.child];
        if (s.cls < 0) {
            pushGlobalFrame(tree, f, below(tree, fr.at, c));
            continue;
        }
        run(below(tree, fr.at, c), f->nodes[c.node], s.cls);
        return true;
    }
    return false;
}

// Runs the next child class joined to class k of the frame, global child classes excepted (the
// global's own frames reach them); false when k has no downlink left.
bool MemberCursor::downlink(const nyxOccTree *tree, const nyxFlatNets *f, Frame &fr) {
    const nyxFlatNode &n = f->nodes[fr.at.node];
    const nyxOccChild *kids = tree->childrenOf(fr.at.node);
    const nyxFlatDown *links = n.down + n.downStart[fr.k];
    const int32_t count = n.downStart[fr.k + 1] - n.downStart[fr.k];
    while (fr.down < count) {
        const nyxFlatDown d = links[fr.down++];
        const nyxOccChild &c = kids[d.child];
        const nyxFlatNode &cn = f->nodes[c.node];
        if (cn.classGlobal[d.cls] >= 0) continue;
        const At at = below(tree, fr.at, c);
        if (tree->node(c.node).childCount != 0) d_stack.push_back(Frame{at, d.cls, 0, 0, 0});
        run(at, cn, d.cls);
        return true;
    }
    return false;
}

} // namespace nyxdwFlat

namespace nyxdwFlat {

nyxOccWalk *makeMemberWalk(const nyxOccTree *tree, int32_t flatId, cfidrErrorT *err) {
    nyxOccWalk *w = new (std::nothrow) MemberWalk(tree, flatId);
    if (w == nullptr) *err = cfidrErrInternal;
    return w;
}

bool distinctPairs(const nyxOccTree *tree, const nyxFlatNets *f, int32_t flatId,
                   std::vector<std::pair<int32_t, int32_t>> *out) {
    out->clear();
    std::vector<std::pair<int32_t, int32_t>> stack;  // (node, class); class -1: a node of the global
    std::vector<char> nodeSeen(tree->d_nodeCount, 0);
    std::vector<std::vector<char>> classSeen(tree->d_nodeCount);
    auto enter = [&](int32_t node, int32_t cls) {
        std::vector<char> &seen = classSeen[node];
        if (seen.empty()) seen.assign(f->nodes[node].classCount, 0);
        if (seen[cls] != 0) return;
        seen[cls] = 1;
        stack.emplace_back(node, cls);
    };
    int32_t global = -1;
    if (flatId < 0) {
        global = globalIndex(flatId);
        if (global < 0 || global >= f->globalCount || f->globals[global].canonical != global) return false;
        if (f->bitWords > 0 && f->hasBit(0, global)) stack.emplace_back(0, -1), nodeSeen[0] = 1;
    } else {
        std::vector<Level> path;
        int32_t local = 0;
        if (!levels(tree, flatId, &path, &local)) return false;
        const Level at = path.back();
        if (flatOf(tree, f, path, local) != flatId) return false;
        enter(at.node, f->nodes[at.node].netClass[local]);
    }
    while (!stack.empty()) {
        const auto [node, cls] = stack.back();
        stack.pop_back();
        const nyxFlatNode &n = f->nodes[node];
        const nyxOccChild *kids = tree->childrenOf(node);
        if (cls < 0) {
            // Pushed in reverse so that the pairs come out in walk order.
            for (int32_t i = tree->node(node).childCount; i-- > 0;) {
                const int32_t c = kids[i].node;
                if (nodeSeen[c] == 0 && f->hasBit(c, global)) nodeSeen[c] = 1, stack.emplace_back(c, -1);
            }
            for (int32_t i = n.globalCount; i-- > 0;) {
                if (n.classGlobal[n.globals[i]] == global) enter(node, n.globals[i]);
            }
            continue;
        }
        out->emplace_back(node, cls);
        for (int32_t i = n.downStart[cls + 1]; i-- > n.downStart[cls];) {
            const nyxFlatDown d = n.down[i];
            const int32_t c = kids[d.child].node;
            if (f->nodes[c].classGlobal[d.cls] < 0) enter(c, d.cls);
        }
    }
    return true;
}

} // namespace nyxdwFlat
