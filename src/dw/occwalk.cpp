// Walks over occurrences: the whole hierarchy with an explicit stack, the items of one view
// occurrence, and the port occurrences on a net occurrence. A walk keeps positions and cursors
// into views of its tree; it reads them only after the step has checked that its tree is still
// the caller's current one (same build serial), so a dropped or rebuilt tree is never read.
#include <new>

#include "dw/flatnetInt.h"

using namespace nyxdwInt;

namespace {

// The instances of a view in position order, with their positions computed once per block:
// the cursor's slot is one past the index of the instance it handed out, so within a block
//   position(inst) == blockBase + cursor.slot - 1
struct InstStepper {
    nyxInstCursor cursor;
    const nyxListBlock *block = nullptr;
    int32_t blockBase = 0;

    nyxInst *next(nyxNetlistView *view, int32_t *pos) {
        nyxInst *inst = nyxInstance::next(view, cursor);
        if (inst == nullptr) return nullptr;
        const int32_t index = cursor.slot - 1;
        if (cursor.block != block) {
            block = cursor.block;
            blockBase = nyxInstance::position(inst) - index;
        }
        *pos = blockBase + index;
        return inst;
    }
};

class HierarchyWalk final : public nyxOccWalk {
public:
    HierarchyWalk(const nyxOccTree *tree, int32_t mode) : nyxOccWalk(tree, Direct::kHierarchy), d_mode(mode) {}
    void reset() override {
        d_stack.clear();
        d_started = false;
    }

    // Called directly by nyxOccWalk::next (the most stepped kind of walk), so it inlines there.
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *) override {
        if (!d_started) {
            d_started = true;
            d_stack.push_back(Frame{0, nyxdw::kFirstLocal, 0, {}});
        }
        while (!d_stack.empty()) {
            Frame &f = d_stack.back();
            const nyxOccNode &n = tree->node(f.node);
            int32_t q = 0;
            if (f.insts.next(n.view, &q) == nullptr) {
                d_stack.pop_back();
                continue;
            }
            const nyxOccChild *kids = tree->childrenOf(f.node);
            while (f.child < n.childCount && kids[f.child].instPos < q) ++f.child;
            const int32_t id = f.base + q;
            const bool descended = f.child < n.childCount && kids[f.child].instPos == q;
            if (descended) {
                const nyxOccChild &c = kids[f.child++];
                d_stack.push_back(Frame{c.node, f.base + static_cast<int32_t>(c.offset), 0, {}});
            }
            if ((d_mode & (descended ? 2 : 1)) != 0) {
                *out = ref(tree, id, nyxOccInst);
                return true;
            }
        }
        return false;
    }

private:
    struct Frame {
        int32_t node;
        int32_t base;
        int32_t child;  // first child entry not passed yet
        InstStepper insts;
    };

    int32_t d_mode;
    bool d_started = false;
    std::vector<Frame> d_stack;
};

// Items of one view occurrence. kind: instances, nets or ports.
class ViewWalk final : public nyxOccWalk {
public:
    ViewWalk(const nyxOccTree *tree, const ViewOcc &vo, int32_t kind)
        : nyxOccWalk(tree), d_view(vo.view), d_id(vo.id), d_base(vo.base), d_kind(kind),
          d_count(kind == nyxOccNet ? (vo.node >= 0 ? tree->node(vo.node).local : 0)
                                    : tree->node(tree->nodeOfView(vo.view)).portCount) {}
    void reset() override {
        d_insts = InstStepper();
        d_pos = 0;
    }

private:
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *err) override {
        if (d_kind == nyxOccInst) {
            int32_t q = 0;
            if (d_insts.next(d_view, &q) == nullptr) return false;
            *out = ref(tree, d_base + q, nyxOccInst);
            return true;
        }
        if (d_kind == nyxOccPort) {
            if (d_pos >= d_count) return false;
            *out = ref(tree, d_id, nyxOccPort, d_pos++);
            return true;
        }
        for (; d_pos < d_count; ++d_pos) {
            cfidrErrorT e = 0;
            int32_t code = 0;
            if (d_view->netAtPosition(d_pos, &code, &e) != nullptr) {
                *out = ref(tree, d_base + d_pos++, nyxOccNet);
                return true;
            }
            if (e == cfidrErrInternal) return *err = e, false;  // no memory for the position cache
        }
        return false;
    }

    nyxNetlistView *d_view;
    int32_t d_id, d_base, d_kind, d_count;
    int32_t d_pos = 0;
    InstStepper d_insts;
};

// Port occurrences on one net occurrence, by connection.
class NetPortWalk final : public nyxOccWalk {
public:
    NetPortWalk(const nyxOccTree *tree, nyxNetScalar *net, const Place &p, int32_t mode)
        : nyxOccWalk(tree), d_net(net), d_place(p), d_mode(mode) {}
    void reset() override { d_index = 0; }

private:
    bool step(nyxOccTree *tree, nyxOccRef *out, cfidrErrorT *) override {
        // Ports count only on nets of the top: the design's own pins.
        if (d_mode == 1 && d_place.ownId != nyxdw::kTopId) return false;
        while (d_net != nullptr && d_index < static_cast<int32_t>(d_net->d_connCount)) {
            bool isPort = false;
            void *obj = nyxNetScalar::connectionAt(d_net, d_index++, &isPort);
            if (isPort != (d_mode == 1)) continue;
            if (isPort) {
                *out = ref(tree, nyxdw::kTopId, nyxOccPort, nyxPort::getPositionInView(static_cast<nyxPort *>(obj)));
                return true;
            }
            nyxInst *inst = nyxPortInst::instOf(obj);
            if (inst == nullptr) continue;
            const int32_t q = nyxInstance::position(inst);
            const nyxOccChild *c = tree->childAt(d_place.node, q);
            if ((c != nullptr) != (d_mode == 3)) continue;
            nyxNetlistView *describer = c != nullptr ? tree->node(c->node).view : inst->footPrint()->d_describer;
            const int32_t pos = describer != nullptr ? describerPosition(obj, inst, describer) : -1;
            if (pos < 0) continue;  // no describer port: unconnected
            *out = ref(tree, d_place.base + q, nyxOccPort, pos);
            return true;
        }
        return false;
    }

    nyxNetScalar *d_net;
    Place d_place;
    int32_t d_mode;
    int32_t d_index = 0;
};

template <class W, class... A> nyxOccWalk *make(cfidrErrorT *err, A &&...args) {
    nyxOccWalk *w = new (std::nothrow) W(std::forward<A>(args)...);
    if (w == nullptr) *err = cfidrErrInternal;
    return w;
}

nyxOccWalk *viewWalk(nyxOccTree *tree, const nyxOccRef &occ, int32_t kind, cfidrErrorT *err) {
    ViewOcc vo;
    if (!viewOccOf(tree, occ, &vo, err)) return nullptr;
    return make<ViewWalk>(err, tree, vo, kind);
}

} // namespace

nyxOccWalk *nyxOccWalk::s_live = nullptr;

nyxOccWalk::nyxOccWalk(const nyxOccTree *tree, Direct direct)
    : d_serial(tree->d_serial), d_direct(direct), d_next(s_live) {
    if (s_live != nullptr) s_live->d_prev = this;
    s_live = this;
}

nyxOccWalk::~nyxOccWalk() {
    if (d_prev != nullptr) d_prev->d_next = d_next;
    else s_live = d_next;
    if (d_next != nullptr) d_next->d_prev = d_prev;
}

void nyxdwEndWalks() {
    while (nyxOccWalk::s_live != nullptr) delete nyxOccWalk::s_live;
}

bool nyxOccWalk::next(nyxOccTree *current, nyxOccRef *out, cfidrErrorT *err) {
    *out = nyxOccRef();
    if (current == nullptr || current->d_serial != d_serial) return fail(err);
    try {
        switch (d_direct) {
        case Direct::kHierarchy: return static_cast<HierarchyWalk *>(this)->HierarchyWalk::step(current, out, err);
        case Direct::kMembers: return static_cast<nyxdwFlat::MemberWalk *>(this)->MemberWalk::step(current, out, err);
        case Direct::kNo: break;
        }
        return step(current, out, err);
    } catch (const std::bad_alloc &) {
        return *err = cfidrErrInternal, false;
    }
}

namespace nyxdw {

nyxOccWalk *walkHierarchy(nyxOccTree *tree, int32_t mode, cfidrErrorT *err) {
    return make<HierarchyWalk>(err, tree, mode);
}

nyxOccWalk *walkInsts(nyxOccTree *tree, const nyxOccRef &viewOcc, cfidrErrorT *err) {
    return viewWalk(tree, viewOcc, nyxOccInst, err);
}

nyxOccWalk *walkNets(nyxOccTree *tree, const nyxOccRef &viewOcc, cfidrErrorT *err) {
    return viewWalk(tree, viewOcc, nyxOccNet, err);
}

nyxOccWalk *walkPorts(nyxOccTree *tree, const nyxOccRef &viewOcc, cfidrErrorT *err) {
    return viewWalk(tree, viewOcc, nyxOccPort, err);
}

nyxOccWalk *walkNetPorts(nyxOccTree *tree, const nyxOccRef &netOcc, int32_t mode, cfidrErrorT *err) {
    nyxObjRef net = netOf(tree, netOcc, err);
    if (net.obj == nullptr) return nullptr;
    Place p;
    locate(tree, netOcc.id, &p);
    auto *scalar = net.code == nyxCodeNetScalar ? static_cast<nyxNetScalar *>(net.obj) : nullptr;
    return make<NetPortWalk>(err, tree, scalar, p, mode);
}

} // namespace nyxdw
