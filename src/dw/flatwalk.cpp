// The flat-net operations of the walk: the flat net of a net or port occurrence, and the walks
// over all flat nets, over the member net occurrences of one and over its port occurrences.
#include <new>

#include "dw/flatnetInt.h"

using namespace nyxdwInt;
using namespace nyxdwFlat;

namespace {

nyxOccRef flatRef(const nyxOccTree *tree, int32_t id) {
    return id == 0 ? nyxOccRef() : ref(tree, id, nyxOccFlatNet);
}

// Every flat net: the canonical globals by index, then the others at their representatives,
// view occurrences depth first from the top, each one's classes in order.
class FlatNetWalk final : public nyxOccWalk {
public:
    FlatNetWalk(const nyxOccTree *tree, int32_t mode) : nyxOccWalk(tree), d_mode(mode) {}
    void reset() override {
        d_global = 0;
        d_stack.clear();
        d_started = false;
    }

private:
    struct Frame {
        int32_t node, base, entry, cls, child;
    };
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *err) override {
        const nyxFlatNets *f = need(tree, err);
        if (f == nullptr) return false;
        if ((d_mode & 1) != 0) {
            while (d_global < f->globalCount) {
                const int32_t g = d_global++;
                if (f->globals[g].canonical == g) return *out = flatRef(tree, globalId(g)), true;
            }
        }
        if ((d_mode & 2) == 0) return false;
        if (!d_started) {
            d_started = true;
            d_stack.push_back(Frame{0, nyxdw::kFirstLocal, -1, 0, 0});
        }
        while (!d_stack.empty()) {
            Frame &fr = d_stack.back();
            const nyxFlatNode &n = f->nodes[fr.node];
            while (fr.cls < n.classCount) {
                const int32_t k = fr.cls++;
                if (n.classGlobal[k] >= 0) continue;
                if (fr.entry >= 0 && rises(f, n, k, fr.entry)) continue;
                return *out = flatRef(tree, fr.base + n.classRep[k]), true;
            }
            if (fr.child < tree->node(fr.node).childCount) {
                const int32_t entry = tree->node(fr.node).firstChild + fr.child++;
                if (f->roots[entry] == 0) continue;
                const nyxOccChild &c = tree->d_children[entry];
                d_stack.push_back(Frame{c.node, fr.base + static_cast<int32_t>(c.offset), entry, 0, 0});
                continue;
            }
            d_stack.pop_back();
        }
        return false;
    }
    static bool rises(const nyxFlatNets *f, const nyxFlatNode &n, int32_t k, int32_t entry) {
        const int32_t *outside = f->outsideOf(entry);
        for (int32_t i = n.portStart[k]; i < n.portStart[k + 1]; ++i) {
            if (outside[n.ports[i]] >= 0) return true;
        }
        return false;
    }

    int32_t d_mode;
    int32_t d_global = 0;
    bool d_started = false;
    std::vector<Frame> d_stack;
};

// The cursor of a walk over a flat net's members, started on first use.
class MemberSteps {
public:
    explicit MemberSteps(int32_t flatId) : d_flatId(flatId) {}
    void reset() { d_started = false; }
    bool next(nyxOccTree *tree, const nyxFlatNets **f, Member *m, cfidrErrorT *err) {
        *f = need(tree, err);
        if (*f == nullptr) return false;
        if (!d_started) {
            d_started = true;
            if (!d_cursor.start(tree, *f, d_flatId)) return fail(err);
        }
        return d_cursor.next(tree, *f, m);
    }

private:
    int32_t d_flatId;
    bool d_started = false;
    MemberCursor d_cursor;
};

// Port occurrences on the members, by connection of each member net, as the scan mode selects.
class FlatPortWalk final : public nyxOccWalk {
public:
    FlatPortWalk(const nyxOccTree *tree, int32_t flatId, int32_t mode) : nyxOccWalk(tree), d_steps(flatId), d_mode(mode) {}
    void reset() override {
        d_steps.reset();
        d_net = nullptr;
    }

private:
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *err) override {
        for (;;) {
            while (d_net != nullptr && d_index < static_cast<int32_t>(d_net->d_connCount)) {
                bool isPort = false;
                void *obj = nyxNetScalar::connectionAt(d_net, d_index++, &isPort);
                if (isPort ? yieldPort(tree, obj, out) : yieldPin(tree, obj, out)) return true;
            }
            const nyxFlatNets *f = nullptr;
            if (!d_steps.next(tree, &f, &d_member, err)) return false;
            cfidrErrorT e = 0;
            int32_t code = 0;
            void *net = tree->node(d_member.node).view->netAtPosition(d_member.local, &code, &e);
            d_net = code == nyxCodeNetScalar ? static_cast<nyxNetScalar *>(net) : nullptr;
            d_index = 0;
            d_flat = f;
        }
    }
    // Mode 1 the design's own pins; mode 4 a port of any level, unless the same pin is met from
    // outside as a port instance on a member of the parent (each port occurrence once).
    bool yieldPort(nyxOccTree *tree, void *obj, nyxOccRef *out) {
        const int32_t pos = nyxPort::getPositionInView(static_cast<nyxPort *>(obj));
        const bool top = d_member.entry < 0;
        if (d_mode == 1 ? !top : d_mode != 4 || (!top && d_flat->outsideOf(d_member.entry)[pos] >= 0)) return false;
        *out = ref(tree, d_member.ownId, nyxOccPort, pos);
        return true;
    }
    bool yieldPin(nyxOccTree *tree, void *obj, nyxOccRef *out) {
        if (d_mode == 1) return false;
        nyxInst *inst = nyxPortInst::instOf(obj);
        if (inst == nullptr) return false;
        const int32_t q = nyxInstance::position(inst);
        const nyxOccChild *c = tree->childAt(d_member.node, q);
        if (d_mode != 4 && (c != nullptr) != (d_mode == 3)) return false;
        nyxNetlistView *describer = c != nullptr ? tree->node(c->node).view : inst->footPrint()->d_describer;
        const int32_t pos = describer != nullptr ? describerPosition(obj, inst, describer) : -1;
        if (pos < 0) return false;
        *out = ref(tree, d_member.base + q, nyxOccPort, pos);
        return true;
    }

    MemberSteps d_steps;
    int32_t d_mode;
    Member d_member{};
    const nyxFlatNets *d_flat = nullptr;
    nyxNetScalar *d_net = nullptr;
    int32_t d_index = 0;
};

template <class W, class... A> nyxOccWalk *make(cfidrErrorT *err, A &&...args) {
    nyxOccWalk *w = new (std::nothrow) W(std::forward<A>(args)...);
    if (w == nullptr) *err = cfidrErrInternal;
    return w;
}

} // namespace

namespace nyxdw {

bool computeFlatNets(nyxOccTree *tree, cfidrErrorT *err) { return need(tree, err) != nullptr; }

nyxOccRef netFlatNet(nyxOccTree *tree, const nyxOccRef &netOcc, cfidrErrorT *err) {
    nyxObjRef net = netOf(tree, netOcc, err);
    if (net.obj == nullptr) return nyxOccRef();
    const nyxFlatNets *f = need(tree, err);
    std::vector<Level> path;
    int32_t local = 0;
    if (f == nullptr || !levels(tree, netOcc.id, &path, &local)) return nyxOccRef();
    return flatRef(tree, flatOf(tree, f, path, local));
}

nyxOccRef portFlatNet(nyxOccTree *tree, const nyxOccRef &portOcc, cfidrErrorT *err) {
    nyxOccRef net = outsideNet(tree, portOcc, err);
    if (net.isNull() && *err == 0) net = insideNet(tree, portOcc, err);
    return net.isNull() ? nyxOccRef() : netFlatNet(tree, net, err);
}

bool isFlatNet(nyxOccTree *tree, const nyxOccRef &flat, cfidrErrorT *err) {
    const nyxFlatNets *f = need(tree, err);
    nyxdwFlat::MemberCursor c;
    return f != nullptr && flat.kind == nyxOccFlatNet && c.start(tree, f, flat.id);
}

nyxOccWalk *walkFlatNets(nyxOccTree *tree, int32_t globalMode, cfidrErrorT *err) {
    return need(tree, err) != nullptr ? make<FlatNetWalk>(err, tree, globalMode) : nullptr;
}

nyxOccWalk *walkFlatNetNets(nyxOccTree *tree, const nyxOccRef &flat, cfidrErrorT *err) {
    if (!isFlatNet(tree, flat, err)) return *err == 0 ? (fail(err), nullptr) : nullptr;
    return makeMemberWalk(tree, flat.id, err);
}

nyxOccWalk *walkFlatNetPorts(nyxOccTree *tree, const nyxOccRef &flat, int32_t scanMode, cfidrErrorT *err) {
    if (!isFlatNet(tree, flat, err)) return *err == 0 ? (fail(err), nullptr) : nullptr;
    return make<FlatPortWalk>(err, tree, flat.id, scanMode);
}

} // namespace nyxdw
