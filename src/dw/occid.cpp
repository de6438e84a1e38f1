// Occurrence identifiers: the two-word layout, the descent from an id to the view occurrence that
// holds it, and the port positions shared by ports and port instances.
#include <algorithm>

#include "dw/dwInt.h"

namespace nyxdw {

bool encodeWords(const nyxOccRef &ref, nyxOccWords *out) {
    if (ref.kind < nyxOccNet || ref.kind > nyxOccPort) return false;
    if (ref.designId < 0 || ref.designId > kMaxDesignId) return false;
    if (ref.port < 0 || ref.port >= kMaxPorts || (ref.kind != nyxOccPort && ref.port != 0)) return false;
    out->word = static_cast<uint32_t>(ref.id);
    out->tag = 1u | static_cast<uint32_t>(ref.kind) << 1 | static_cast<uint32_t>(ref.designId) << 4 |
               static_cast<uint32_t>(ref.port) << 12;
    return true;
}

bool decodeWords(nyxOccWords in, nyxOccRef *out) {
    const auto kind = static_cast<int32_t>((in.tag >> 1) & 7u);
    const auto port = static_cast<int32_t>(in.tag >> 12);
    if ((in.tag & 1u) == 0 || kind < nyxOccNet || kind > nyxOccPort) return false;
    if (kind != nyxOccPort && port != 0) return false;
    out->id = static_cast<int32_t>(in.word);
    out->kind = kind;
    out->designId = static_cast<int32_t>((in.tag >> 4) & 0xffu);
    out->port = port;
    return true;
}

} // namespace nyxdw

namespace nyxdwInt {

bool locate(const nyxOccTree *tree, int32_t id, Place *out, std::vector<Step> *trail) {
    *out = Place();
    if (id == nyxdw::kTopId) return true;
    const int64_t size = tree->node(0).size;
    if (id < nyxdw::kFirstLocal || id - int64_t{nyxdw::kFirstLocal} >= size) return false;
    int32_t node = 0;
    int64_t base = nyxdw::kFirstLocal;
    int64_t ownId = nyxdw::kTopId;
    for (;;) {
        const int64_t local = id - base;
        const nyxOccNode &n = tree->node(node);
        if (local < n.local) {
            *out = Place{node, static_cast<int32_t>(base), static_cast<int32_t>(ownId), static_cast<int32_t>(local)};
            return true;
        }
        // The last child whose subtree starts at or before the local index.
        const nyxOccChild *first = tree->childrenOf(node);
        const nyxOccChild *last = first + n.childCount;
        const nyxOccChild *c = std::upper_bound(first, last, local, [](int64_t x, const nyxOccChild &y) { return x < y.offset; });
        if (c == first) return false;
        --c;
        if (local >= c->offset + tree->node(c->node).size) return false;
        if (trail != nullptr) trail->push_back({node, c->instPos});
        ownId = base + c->instPos;
        base += c->offset;
        node = c->node;
    }
}

bool viewOcc(const nyxOccTree *tree, int32_t id, bool topAllowed, ViewOcc *out, cfidrErrorT *err) {
    *out = ViewOcc();
    if (id == nyxdw::kTopId) {
        if (!topAllowed) return fail(err);
        out->view = tree->node(0).view;
        return true;
    }
    Place p;
    if (!locate(tree, id, &p) || p.local < 0) return fail(err);
    const nyxOccNode &n = tree->node(p.node);
    cfidrErrorT e = 0;
    nyxInst *inst = nyxInstance::findByPosition(n.view, p.local, &e);
    if (inst == nullptr) return fail(err);
    out->id = id;
    out->inst = inst;
    out->place = p;
    if (const nyxOccChild *c = tree->childAt(p.node, p.local)) {
        out->node = c->node;
        out->base = static_cast<int32_t>(p.base + c->offset);
        out->view = tree->node(c->node).view;
        return true;
    }
    // A leaf: its describer is in the tree (as a node of size 0) and has no local items.
    out->view = inst->footPrint()->d_describer;
    if (out->view == nullptr || tree->nodeOfView(out->view) < 0) return fail(err);
    out->node = -1;
    out->base = 0;
    return true;
}

bool viewOccOf(const nyxOccTree *tree, const nyxOccRef &occ, ViewOcc *out, cfidrErrorT *err) {
    if (occ.kind == nyxOccTop) {
        if (occ.id != nyxdw::kTopId) return fail(err);
        return viewOcc(tree, occ.id, true, out, err);
    }
    if (occ.kind != nyxOccInst) return fail(err);
    return viewOcc(tree, occ.id, false, out, err);
}

// --- Port positions ---------------------------------------------------------------------------------

namespace {

// The record was copied from the describer as it is now: port instance positions are the
// describer's port positions.
bool recordCurrent(nyxInst *inst, nyxNetlistView *describer) {
    return inst->footPrint()->d_version == describer->d_version;
}

} // namespace

nyxObjRef portInstFor(nyxInst *inst, nyxNetlistView *describer, nyxPort *port, int32_t pos) {
    nyxObjRef r;
    if (recordCurrent(inst, describer)) {
        r.obj = nyxPortInst::atPosition(inst, pos, &r.code);
        if (r.obj == nullptr) r.code = 0;
        return r;
    }
    // Older record: follow the port's names from the top-level port down.
    std::vector<const char *> names;
    for (const nyxPort *p = port; p != nullptr; p = p->ownerGroup()) names.push_back(p->name());
    cfidrErrorT e = 0;
    r = nyxPortInst::findByDescriberName(inst, names.back(), &e);
    for (size_t i = names.size() - 1; i-- > 0 && r.obj != nullptr && e == 0;) {
        if (!nyxPortInst::isGroup(r.obj)) return nyxObjRef();
        r = nyxPortInst::findMemberByDescriberName(r.obj, names[i], &e);
    }
    return e != 0 ? nyxObjRef() : r;
}

int32_t describerPosition(const void *word, nyxInst *inst, nyxNetlistView *describer) {
    if (recordCurrent(inst, describer)) return nyxPortInst::positionInInst(word);
    // Older record: the record port names from the word up to the top-level port, then down
    // the describer's ports by those names (letter case ignored, as records match describers).
    std::vector<const char *> names;
    int32_t code = 0;
    for (const void *w = word; code != nyxCodeInst; w = nyxPortInst::owner(w, &code)) {
        names.push_back(nyxPortInst::describerName(w));
    }
    const nyxDynArray *list = &describer->ports();
    nyxPort *port = nullptr;
    for (size_t i = names.size(); i-- > 0;) {
        if (list == nullptr || names[i] == nullptr) return -1;
        port = nullptr;
        for (int32_t k = 0; k < list->nitems() && port == nullptr; ++k) {
            auto *p = static_cast<nyxPort *>((*list)[k]);
            if (nyxDMUtil::sameName(p->name(), names[i])) port = p;
        }
        if (port == nullptr) return -1;
        list = port->isGroup() ? &static_cast<nyxPortBundle *>(port)->members() : nullptr;
    }
    return port != nullptr ? nyxPort::getPositionInView(port) : -1;
}

// --- Used prefix of a view ------------------------------------------------------------------------

int32_t usedNets(nyxNetlistView *view) {
    // Positions rise along the chains in order: the last live net has the highest.
    const void *last = nullptr;
    for (int32_t k = 0; k < nyxNetlistView::kChains; ++k) {
        for (nyxListBlock *b = view->chain(k).first; b != nullptr; b = b->next()) {
            for (int32_t i = b->highWater() - 1; i >= 0; --i) {
                const auto *net = static_cast<const nyxNetHead *>(b->objectAt(i));
                if ((net->d_flags & nyxNetHead::kLive) != 0) {
                    last = net;
                    break;
                }
            }
        }
    }
    return last == nullptr ? 0 : view->netPosition(last) + 1;
}

} // namespace nyxdwInt
