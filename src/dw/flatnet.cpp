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
    d_global = -1;
    if (flatId < 0) {
        const int32_t g = globalIndex(flatId);
        if (g < 0 || g >= f->globalCount || f->globals[g].canonical != g) return false;
        d_global = g;
        if (f->bitWords > 0 && f->hasBit(0, g)) d_stack.push_back(Frame{0, nyxdw::kFirstLocal, nyxdw::kTopId, -1, -1, 0, 0, 0, 0, 0, 0});
        return true;
    }
    std::vector<Level> path;
    int32_t local = 0;
    if (!levels(tree, flatId, &path, &local)) return false;
    const Level at = path.back();
    if (flatOf(tree, f, path, local) != flatId) return false;
    d_stack.push_back(Frame{at.node, at.base, at.ownId, at.entry, f->nodes[at.node].netClass[local], 0, 0, 0, 0, 0, 0});
    return true;
}

bool MemberCursor::next(const nyxOccTree *tree, const nyxFlatNets *f, Member *out) {
    while (!d_stack.empty()) {
        Frame &fr = d_stack.back();
        const nyxFlatNode &n = f->nodes[fr.node];
        if (fr.cls >= 0) {
            if (fr.index < n.netStart[fr.cls + 1] - n.netStart[fr.cls]) {
                const int32_t local = n.nets[n.netStart[fr.cls] + fr.index++];
                *out = Member{fr.base + local, fr.node, fr.base, fr.ownId, fr.entry, local};
                return true;
            }
            const Down r = down(tree, f, fr, fr.cls, out);
            if (r == Down::kYielded) return true;
            if (r == Down::kNone) d_stack.pop_back();
            continue;
        }
        // A tree frame of the global: each of its classes' nets and the non-global classes
        // joined to them below, then the children whose subtree reaches the global.
        Down r = Down::kNone;
        while (fr.index < n.globalCount) {
            const int32_t k = n.globals[fr.index];
            if (n.classGlobal[k] == d_global) {
                if (fr.sub < n.netStart[k + 1] - n.netStart[k]) {
                    const int32_t local = n.nets[n.netStart[k] + fr.sub++];
                    *out = Member{fr.base + local, fr.node, fr.base, fr.ownId, fr.entry, local};
                    return true;
                }
                if ((r = down(tree, f, fr, k, out)) != Down::kNone) break;
            }
            ++fr.index;
            fr.sub = 0;
            fr.down = 0;
        }
        if (r == Down::kYielded) return true;
        if (r == Down::kPushed) continue;
        r = children(tree, f, fr, out);
        if (r == Down::kYielded) return true;
        if (r == Down::kNone) d_stack.pop_back();
    }
    return false;
}

// The next child class joined to class `cls` of the frame (global child classes excepted: their
// own tree frames reach them): a child without children of its own yields its nets here, any
// other gets a frame.
MemberCursor::Down MemberCursor::down(const nyxOccTree *tree, const nyxFlatNets *f, Frame &fr, int32_t cls, Member *out) {
    const nyxFlatNode &n = f->nodes[fr.node];
    const nyxOccChild *kids = tree->childrenOf(fr.node);
    while (fr.down < n.downStart[cls + 1] - n.downStart[cls]) {
        const nyxFlatDown d = n.down[n.downStart[cls] + fr.down];
        const nyxOccChild &c = kids[d.child];
        const nyxFlatNode &cn = f->nodes[c.node];
        if (cn.classGlobal[d.cls] >= 0) {
            ++fr.down;
            continue;
        }
        const auto entry = static_cast<int32_t>(&c - tree->d_children);
        const int32_t base = fr.base + static_cast<int32_t>(c.offset);
        if (tree->node(c.node).childCount == 0) {
            if (fr.leaf < cn.netStart[d.cls + 1] - cn.netStart[d.cls]) {
                const int32_t local = cn.nets[cn.netStart[d.cls] + fr.leaf++];
                *out = Member{base + local, c.node, base, fr.base + c.instPos, entry, local};
                return Down::kYielded;
            }
            fr.leaf = 0;
            ++fr.down;
            continue;
        }
        ++fr.down;
        const Frame next{c.node, base, fr.base + c.instPos, entry, d.cls, 0, 0, 0, 0, 0, 0};
        d_stack.push_back(next);
        return Down::kPushed;
    }
    return Down::kNone;
}

// The children of a tree frame whose subtree reaches the global: one without children of its
// own yields its nets of the global here, any other gets a frame.
MemberCursor::Down MemberCursor::children(const nyxOccTree *tree, const nyxFlatNets *f, Frame &fr, Member *out) {
    const nyxOccChild *kids = tree->childrenOf(fr.node);
    const int32_t count = tree->node(fr.node).childCount;
    while (fr.child < count) {
        const nyxOccChild &c = kids[fr.child];
        if (!f->hasBit(c.node, d_global)) {
            ++fr.child;
            continue;
        }
        const auto entry = static_cast<int32_t>(&c - tree->d_children);
        const int32_t base = fr.base + static_cast<int32_t>(c.offset);
        if (tree->node(c.node).childCount == 0) {
            const nyxFlatNode &cn = f->nodes[c.node];
            while (fr.leafClass < cn.globalCount) {
                const int32_t k = cn.globals[fr.leafClass];
                if (cn.classGlobal[k] == d_global && fr.leaf < cn.netStart[k + 1] - cn.netStart[k]) {
                    const int32_t local = cn.nets[cn.netStart[k] + fr.leaf++];
                    *out = Member{base + local, c.node, base, fr.base + c.instPos, entry, local};
                    return Down::kYielded;
                }
                ++fr.leafClass;
                fr.leaf = 0;
            }
            fr.leafClass = 0;
            ++fr.child;
            continue;
        }
        ++fr.child;
        const Frame next{c.node, base, fr.base + c.instPos, entry, -1, 0, 0, 0, 0, 0, 0};
        d_stack.push_back(next);
        return Down::kPushed;
    }
    return Down::kNone;
}

} // namespace nyxdwFlat

namespace nyxdwFlat {

namespace {

// The members as net occurrences; the cursor lives here so that its steps inline.
class MemberWalk final : public nyxOccWalk {
public:
    MemberWalk(const nyxOccTree *tree, int32_t flatId) : nyxOccWalk(tree), d_flatId(flatId) {}
    void reset() override { d_started = false; }

private:
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *err) override {
        const nyxFlatNets *f = need(tree, err);
        if (f == nullptr) return false;
        if (!d_started) {
            d_started = true;
            if (!d_cursor.start(tree, f, d_flatId)) return fail(err);
        }
        Member m;
        if (!d_cursor.next(tree, f, &m)) return false;
        *out = ref(tree, m.id, nyxOccNet);
        return true;
    }

    int32_t d_flatId;
    bool d_started = false;
    MemberCursor d_cursor;
};

} // namespace

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
