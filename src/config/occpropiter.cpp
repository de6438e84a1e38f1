// Iterators over the nodes of an occurrence property set: the pre-order walk in modes 0-3 and
// the children of one instance node (what the withdrawal of identifiers walks).
//
// Pre-order: at each instance node the node itself (modes 0, 1; never the root), its net nodes
// (0, 2), its port nodes (0, 3), each connector newest first; then its first child instance, or
// its next sibling, or the next sibling of the nearest ancestor that has one. The state is the
// instance node, the phase within it and the next node of the connector being listed. Destroyed
// nodes keep their links and are passed over, so an iterator standing on one goes on.
#include "config/occpropInt.h"

namespace {

extern const nyxIterOps kNodeIterOps;

struct nyxOccPropIter : nyxIter {
    nyxOccPropInst *top;   // where the walk starts (and, for children only, the parent)
    nyxOccPropInst *inst = nullptr;
    nyxOccPropNode *cur = nullptr;
    int phase = 0;
    int mode;              // 0-3, or 4 for the children of `top`

    nyxOccPropIter(nyxOccPropInst *t, int m) : nyxIter(kNodeIterOps), top(t), mode(m) { rewind(); }
    void rewind() {
        inst = top;
        phase = 0;
        cur = nullptr;
        if (mode == 4 && top != nullptr) {
            phase = 1;
            cur = top->d_insts.d_head;
        }
    }
};

nyxIterCache<nyxOccPropIter, 4> g_iters;

bool wants(int mode, int32_t code) {
    return mode == 0 || (mode == 1 && code == nyxCodeViewOccProp) || (mode == 2 && code == nyxCodeNetOccProp) ||
           (mode == 3 && code == nyxCodePortOccProp);
}

nyxObjRef ref(nyxOccPropNode *n) { return nyxObjRef{n, n->d_code, 0}; }

// The children of `top`: instances, nets, ports.
nyxObjRef childNext(nyxOccPropIter *it) {
    for (;;) {
        while (it->cur != nullptr) {
            nyxOccPropNode *n = it->cur;
            it->cur = n->d_next;
            if (n->d_code > 0) return ref(n);
        }
        if (it->phase == 3) return {};
        ++it->phase;
        it->cur = it->phase == 2 ? it->top->d_nets.d_head : it->top->d_ports.d_head;
    }
}

// The next instance node in pre-order after it->inst's own lists, or null at the end.
nyxOccPropInst *following(nyxOccPropIter *it) {
    nyxOccPropInst *inst = it->inst;
    if (inst->d_insts.d_head != nullptr) return static_cast<nyxOccPropInst *>(inst->d_insts.d_head);
    for (nyxOccPropNode *n = inst; n != it->top && n != nullptr; n = n->d_parent) {
        if (n->d_next != nullptr) return static_cast<nyxOccPropInst *>(n->d_next);
    }
    return nullptr;
}

nyxObjRef walkNext(nyxOccPropIter *it) {
    while (it->inst != nullptr) {
        switch (it->phase) {
        case 0:
            it->phase = 1;
            it->cur = it->mode == 0 || it->mode == 2 ? it->inst->d_nets.d_head : nullptr;
            if (it->inst != it->top && it->inst->d_code > 0 && wants(it->mode, nyxCodeViewOccProp)) {
                return ref(it->inst);
            }
            break;
        case 1:
        case 2:
            while (it->cur != nullptr) {
                nyxOccPropNode *n = it->cur;
                it->cur = n->d_next;
                if (n->d_code > 0) return ref(n);
            }
            if (it->phase == 1) {
                it->phase = 2;
                it->cur = it->mode == 0 || it->mode == 3 ? it->inst->d_ports.d_head : nullptr;
            } else {
                it->phase = 3;
            }
            break;
        default:
            it->inst = following(it);
            it->phase = 0;
            break;
        }
    }
    return {};
}

nyxObjRef iterNext(nyxIter *it, cfidrErrorT *) {
    auto *oi = static_cast<nyxOccPropIter *>(it);
    if (oi->top == nullptr) return {};
    return oi->mode == 4 ? childNext(oi) : walkNext(oi);
}

void iterReset(nyxIter *it) { static_cast<nyxOccPropIter *>(it)->rewind(); }

void iterQuit(nyxIter *it) { g_iters.release(static_cast<nyxOccPropIter *>(it)); }

constinit const nyxIterOps kNodeIterOps = {iterNext, iterReset, iterQuit};

nyxIter *makeIter(nyxOccPropSet *set, nyxOccPropInst *top, int mode, cfidrErrorT *err) {
    nyxOccPropIter *it = g_iters.make(top, mode);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = set;
    it->anchor = set->heap();
    return it;
}

} // namespace

nyxIter *nyxOccPropSet::getNodes(nyxOccPropSet *set, int mode, cfidrErrorT *err) {
    if (nyxIterNoReads == 0) {
        if (!load(set, err)) return nullptr;
        // The root is made now, so that nodes made while the iterator lives are seen.
        if (!set->makeRoot()) return *err = cfidrErrInternal, nullptr;
    }
    return makeIter(set, set->root(), mode, err);
}

nyxIter *nyxOccPropSet::getChildren(nyxOccPropInst *inst, cfidrErrorT *err) {
    return makeIter(inst->d_set, inst, 4, err);
}
