// The cross-reference of an occurrence property set: property lists by occurrence id, built for
// one occurrence tree on the walk's first look-up (config.h).
#include <algorithm>
#include <new>
#include <utility>

#include "config/occpropInt.h"

// The tables are sorted arrays in the set's heap, so that they go with it whatever drops it;
// they are gathered in standard vectors while the cross-reference is built.
struct nyxOccPropXrefGroup {  // the ports of one instance occurrence
    uint64_t id;
    nyxOccPropXrefEntry *ports;
    uint32_t count;
};

template <class T> struct nyxOccPropXrefTable {
    T *items = nullptr;
    uint32_t count = 0;
};

class nyxOccPropXref {
public:
    using Entry = nyxOccPropXrefEntry;
    using Group = nyxOccPropXrefGroup;

    const void *treeKey = nullptr;
    uint64_t treeSerial = 0;
    uint64_t serial = 0;  // process-wide number of the build, never reused
    nyxOccPropXrefTable<Entry> insts, nets;
    nyxOccPropXrefTable<Group> ports;

    // False when memory ran out (what was kept is dropped by release()).
    bool build(nyxOccPropSet *set, const nyxOccSource &tree);
    void release(Hx_genheap *heap);

private:
    struct Gathered {
        std::vector<Entry> insts, nets;
        std::vector<std::pair<uint64_t, std::vector<Entry>>> ports;
    };
    static void gatherPorts(const nyxOccPropInst *inst, uint64_t occ, const nyxOccSource &tree, Gathered &g);
};

namespace {

bool hasProps(const nyxOccPropNode *n) { return n->d_code > 0 && nyxPropListSize(n->d_propList) > 0; }

bool byId(const nyxOccPropXrefEntry &a, const nyxOccPropXrefEntry &b) { return a.id < b.id; }

// Sorted by id, the first of equal ids kept (the newest node, met first), copied into the heap.
bool freeze(std::vector<nyxOccPropXrefEntry> &from, nyxOccPropXrefTable<nyxOccPropXrefEntry> &to, Hx_genheap *heap) {
    std::stable_sort(from.begin(), from.end(), byId);
    from.erase(std::unique(from.begin(), from.end(), [](const auto &a, const auto &b) { return a.id == b.id; }),
               from.end());
    if (from.empty()) return true;
    to.items = static_cast<nyxOccPropXrefEntry *>(heap->allocBlock(from.size() * sizeof(nyxOccPropXrefEntry)));
    if (to.items == nullptr) return false;
    std::copy(from.begin(), from.end(), to.items);
    to.count = static_cast<uint32_t>(from.size());
    return true;
}

template <class T> const T *search(const nyxOccPropXrefTable<T> &table, uint64_t id) {
    const T *end = table.items + table.count;
    const T *at = std::lower_bound(static_cast<const T *>(table.items), end, id, [](const T &e, uint64_t key) { return e.id < key; });
    return at != end && at->id == id ? at : nullptr;
}

} // namespace

void nyxOccPropXref::gatherPorts(const nyxOccPropInst *inst, uint64_t occ, const nyxOccSource &tree, Gathered &g) {
    std::vector<Entry> entries;
    for (const nyxOccPropNode *n = inst->d_ports.d_head; n != nullptr; n = n->d_next) {
        if (!hasProps(n)) continue;
        std::string_view name = n->d_name.getString();
        const std::string port(name.substr(0, name.find(kOccPortJoin)));
        const std::vector<std::string> member = nyxOccPropPath::memberPath(n);
        std::vector<const char *> names;
        for (const std::string &m : member) names.push_back(m.c_str());
        names.push_back(nullptr);
        const uint64_t id = tree.port(occ, port.c_str(), names.data());
        if (id != nyxOccSource::kNone) entries.push_back({id, n->d_propList});
    }
    if (!entries.empty()) g.ports.emplace_back(occ, std::move(entries));
}

// From the root and the top occurrence down, without recursion.
bool nyxOccPropXref::build(nyxOccPropSet *set, const nyxOccSource &tree) {
    treeKey = tree.treeKey();
    treeSerial = tree.treeSerial();
    const uint64_t top = tree.top();
    Gathered g;
    if (top != nyxOccSource::kNone && nyxPropListSize(set->d_propList) > 0) g.insts.push_back({top, set->d_propList});
    std::vector<std::pair<const nyxOccPropInst *, uint64_t>> stack;
    if (top != nyxOccSource::kNone && set->root() != nullptr) stack.emplace_back(set->root(), top);
    while (!stack.empty()) {
        auto [inst, occ] = stack.back();
        stack.pop_back();
        gatherPorts(inst, occ, tree, g);
        if (tree.isLeaf(occ)) continue;
        for (const nyxOccPropNode *n = inst->d_nets.d_head; n != nullptr; n = n->d_next) {
            if (!hasProps(n)) continue;
            const uint64_t id = tree.net(occ, n->d_name.getString());
            if (id != nyxOccSource::kNone) g.nets.push_back({id, n->d_propList});
        }
        for (const nyxOccPropNode *n = inst->d_insts.d_head; n != nullptr; n = n->d_next) {
            if (n->d_code <= 0) continue;
            const uint64_t child = tree.childInst(occ, n->d_name.getString());
            if (child == nyxOccSource::kNone) continue;
            if (hasProps(n)) g.insts.push_back({child, n->d_propList});
            stack.emplace_back(static_cast<const nyxOccPropInst *>(n), child);
        }
    }
    Hx_genheap *heap = set->heap();
    if (!freeze(g.insts, insts, heap) || !freeze(g.nets, nets, heap)) return false;
    std::sort(g.ports.begin(), g.ports.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    if (g.ports.empty()) return true;
    ports.items = static_cast<Group *>(heap->allocBlock(g.ports.size() * sizeof(Group)));
    if (ports.items == nullptr) return false;
    for (auto &[occ, entries] : g.ports) {
        nyxOccPropXrefTable<Entry> t;
        if (!freeze(entries, t, heap)) return false;
        ports.items[ports.count++] = Group{occ, t.items, t.count};
    }
    return true;
}

void nyxOccPropXref::release(Hx_genheap *heap) {
    for (uint32_t i = 0; i < ports.count; ++i) {
        heap->freeBlock(ports.items[i].ports, ports.items[i].count * sizeof(Entry));
    }
    if (ports.items != nullptr) heap->freeBlock(ports.items, ports.count * sizeof(Group));
    if (insts.items != nullptr) heap->freeBlock(insts.items, insts.count * sizeof(Entry));
    if (nets.items != nullptr) heap->freeBlock(nets.items, nets.count * sizeof(Entry));
}

namespace nyxOccPropXrefOps {

void clear(nyxOccPropSet *set) {
    nyxOccPropXref *x = set->d_xref;
    if (x == nullptr) return;
    set->d_xref = nullptr;
    x->release(set->heap());
    x->~nyxOccPropXref();
    set->heap()->freeBlock(x, sizeof(nyxOccPropXref));
}

} // namespace nyxOccPropXrefOps

namespace nyxOccPropXrefs {

namespace {

// The set's cross-reference for the tree, built when missing or built for another tree.
const nyxOccPropXref *xrefFor(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err) {
    if (!nyxOccPropSet::load(set, err)) return nullptr;
    nyxOccPropXref *x = set->d_xref;
    if (x != nullptr && x->treeKey == tree.treeKey() && x->treeSerial == tree.treeSerial()) return x;
    nyxOccPropXrefOps::clear(set);
    void *p = set->heap()->allocBlock(sizeof(nyxOccPropXref));
    if (p == nullptr) return *err = cfidrErrInternal, nullptr;
    set->d_xref = x = new (p) nyxOccPropXref;
    static uint64_t builds = 0;
    x->serial = ++builds;
    // A build that ran out of memory keeps nothing: the next look-up tries again.
    bool built = false;
    try {
        built = x->build(set, tree);
    } catch (const std::bad_alloc &) {
        built = false;
    }
    if (!built) {
        nyxOccPropXrefOps::clear(set);
        return *err = cfidrErrInternal, nullptr;
    }
    return x;
}

const nyxPropList *lookup(const nyxOccPropXrefTable<nyxOccPropXrefEntry> &table, uint64_t id) {
    const nyxOccPropXrefEntry *e = search(table, id);
    return e != nullptr ? e->list : nullptr;
}

} // namespace

const nyxPropList *instProps(nyxOccPropSet *set, const nyxOccSource &tree, uint64_t instOcc,
                             cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr ? lookup(x->insts, instOcc) : nullptr;
}

const nyxPropList *netProps(nyxOccPropSet *set, const nyxOccSource &tree, uint64_t netOcc,
                            cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr ? lookup(x->nets, netOcc) : nullptr;
}

const nyxPropList *portProps(nyxOccPropSet *set, const nyxOccSource &tree, uint64_t instOcc,
                             uint64_t portId, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    if (x == nullptr) return nullptr;
    const nyxOccPropXrefGroup *group = search(x->ports, instOcc);
    if (group == nullptr) return nullptr;
    return lookup(nyxOccPropXrefTable<nyxOccPropXrefEntry>{group->ports, group->count}, portId);
}

bool hasAnyInstProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr && x->insts.count > 0;
}

bool hasAnyNetProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr && x->nets.count > 0;
}

bool hasAnyPortProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr && x->ports.count > 0;
}

void invalidate(nyxOccPropSet *set) { nyxOccPropXrefOps::clear(set); }

const nyxOccPropXrefEntry *netEntries(nyxOccPropSet *set, const nyxOccSource &tree, uint32_t *count,
                                      uint64_t *serial, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    *count = x != nullptr ? x->nets.count : 0;
    *serial = x != nullptr ? x->serial : 0;
    return x != nullptr ? x->nets.items : nullptr;
}

} // namespace nyxOccPropXrefs
