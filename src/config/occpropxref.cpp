// The cross-reference of an occurrence property set: property lists by occurrence id, built for
// one occurrence tree on the walk's first look-up (config.h).
#include <algorithm>
#include <unordered_map>
#include <utility>

#include "config/occpropInt.h"

class nyxOccPropXref {
public:
    using PortEntry = std::pair<uint64_t, const nyxPropList *>;

    const void *treeKey = nullptr;
    uint64_t treeSerial = 0;
    std::unordered_map<uint64_t, const nyxPropList *> insts;
    std::unordered_map<uint64_t, const nyxPropList *> nets;
    std::unordered_map<uint64_t, std::vector<PortEntry>> ports;

    void build(const nyxOccPropSet *set, const nyxOccSource &tree);

private:
    void enterPorts(const nyxOccPropInst *inst, uint64_t occ, const nyxOccSource &tree);
};

namespace {

bool hasProps(const nyxOccPropNode *n) { return n->d_code > 0 && nyxPropListSize(n->d_propList) > 0; }

} // namespace

void nyxOccPropXref::enterPorts(const nyxOccPropInst *inst, uint64_t occ, const nyxOccSource &tree) {
    std::vector<PortEntry> entries;
    for (const nyxOccPropNode *n = inst->d_ports.d_head; n != nullptr; n = n->d_next) {
        if (!hasProps(n)) continue;
        std::string_view name = n->d_name.getString();
        const std::string port(name.substr(0, name.find(kOccPortJoin)));
        const std::vector<std::string> member = nyxOccPath::memberPath(n);
        std::vector<const char *> names;
        for (const std::string &m : member) names.push_back(m.c_str());
        names.push_back(nullptr);
        const uint64_t id = tree.port(occ, port.c_str(), names.data());
        if (id != nyxOccSource::kNone) entries.emplace_back(id, n->d_propList);
    }
    if (entries.empty()) return;
    // The newest node of a port comes first in the list: on equal ids it wins.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PortEntry &a, const PortEntry &b) { return a.first < b.first; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const PortEntry &a, const PortEntry &b) { return a.first == b.first; }),
                  entries.end());
    ports[occ] = std::move(entries);
}

// From the root and the top occurrence down, without recursion.
void nyxOccPropXref::build(const nyxOccPropSet *set, const nyxOccSource &tree) {
    treeKey = tree.treeKey();
    treeSerial = tree.treeSerial();
    const uint64_t top = tree.top();
    if (top == nyxOccSource::kNone) return;
    if (nyxPropListSize(set->d_propList) > 0) insts[top] = set->d_propList;
    if (set->root() == nullptr) return;
    std::vector<std::pair<const nyxOccPropInst *, uint64_t>> stack{{set->root(), top}};
    while (!stack.empty()) {
        auto [inst, occ] = stack.back();
        stack.pop_back();
        enterPorts(inst, occ, tree);
        if (tree.isLeaf(occ)) continue;
        for (const nyxOccPropNode *n = inst->d_nets.d_head; n != nullptr; n = n->d_next) {
            if (!hasProps(n)) continue;
            const uint64_t id = tree.net(occ, n->d_name.getString());
            if (id != nyxOccSource::kNone) nets.emplace(id, n->d_propList);
        }
        for (const nyxOccPropNode *n = inst->d_insts.d_head; n != nullptr; n = n->d_next) {
            if (n->d_code <= 0) continue;
            const uint64_t child = tree.childInst(occ, n->d_name.getString());
            if (child == nyxOccSource::kNone) continue;
            if (hasProps(n)) insts.emplace(child, n->d_propList);
            stack.emplace_back(static_cast<const nyxOccPropInst *>(n), child);
        }
    }
}

namespace nyxOccPropXrefOps {

void clear(nyxOccPropSet *set) {
    delete set->d_xref;
    set->d_xref = nullptr;
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
    x = new nyxOccPropXref;
    set->d_xref = x;
    x->build(set, tree);
    return x;
}

const nyxPropList *lookup(const std::unordered_map<uint64_t, const nyxPropList *> &table, uint64_t id) {
    auto it = table.find(id);
    return it != table.end() ? it->second : nullptr;
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
    auto it = x->ports.find(instOcc);
    if (it == x->ports.end()) return nullptr;
    const auto &entries = it->second;
    auto at = std::lower_bound(entries.begin(), entries.end(), portId,
                               [](const nyxOccPropXref::PortEntry &e, uint64_t id) { return e.first < id; });
    return at != entries.end() && at->first == portId ? at->second : nullptr;
}

bool hasAnyInstProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr && !x->insts.empty();
}

bool hasAnyNetProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr && !x->nets.empty();
}

bool hasAnyPortProps(nyxOccPropSet *set, const nyxOccSource &tree, cfidrErrorT *err) {
    const nyxOccPropXref *x = xrefFor(set, tree, err);
    return x != nullptr && !x->ports.empty();
}

void invalidate(nyxOccPropSet *set) { nyxOccPropXrefOps::clear(set); }

} // namespace nyxOccPropXrefs
