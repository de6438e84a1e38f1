// The tree of an occurrence property set: connectors and their name tables, making, finding and
// destroying nodes, and the iterators over nodes.
#include <cstring>
#include <new>

#include "config/occpropInt.h"
#include "utils/oatable.h"
#include "utils/stringtab.h"

// A connector's name table: node pointers by the hash of their names, made at five nodes.
namespace {
struct NameTraits {
    using Slot = nyxOccPropNode *;
    using Index = nyxOAMixIndex;
    static constexpr uint32_t kHugeFrom = UINT32_MAX;
    static constexpr bool kPrefetchOnGrow = false;
    static bool isEmpty(const Slot &s) { return s == nullptr; }
    static uint32_t hashOf(const Slot &s) { return s->d_hash; }
    static uint32_t maxLoad(uint32_t cap) { return cap / 2; }
};
constexpr int32_t kTableFrom = 5;
constexpr uint32_t kFirstCapacity = 16;
} // namespace

struct nyxOccPropNameTable {
    explicit nyxOccPropNameTable(Hx_genheap *heap) : table(heap) {}
    nyxOATable<NameTraits> table;
};

namespace {

bool tableAdd(nyxOccPropNameTable *t, nyxOccPropNode *node) {
    if (!t->table.hasRoom() && !t->table.grow()) return false;
    t->table.place(node);
    return true;
}

void dropTable(nyxOccPropNameTable *&t, Hx_genheap *heap) {
    if (t == nullptr) return;
    t->~nyxOccPropNameTable();
    heap->freeBlock(t, sizeof(nyxOccPropNameTable));
    t = nullptr;
}

} // namespace

// --- Connectors -----------------------------------------------------------------------------------

nyxOccPropNode *nyxOccPropConnector::find(const char *name, uint32_t hash) const {
    if (d_table != nullptr) {
        const auto &t = d_table->table;
        nyxOccPropNode *const *slot = t.find(t.home(hash), [&](const nyxOccPropNode *n) {
            return n->d_hash == hash && std::strcmp(n->d_name.getString(), name) == 0;
        });
        return slot != nullptr ? *slot : nullptr;
    }
    for (nyxOccPropNode *n = d_head; n != nullptr; n = n->d_next) {
        if (n->d_hash == hash && std::strcmp(n->d_name.getString(), name) == 0) return n;
    }
    return nullptr;
}

nyxOccPropNode *nyxOccPropConnector::at(int32_t i) {
    if (i < 0 || i >= d_count) return nullptr;
    if (d_cursor < 0 || i < d_cursor) {
        d_cursor = 0;
        d_cursorNode = d_head;
    }
    while (d_cursor < i) {
        d_cursorNode = d_cursorNode->d_next;
        ++d_cursor;
    }
    return d_cursorNode;
}

bool nyxOccPropConnector::add(nyxOccPropNode *node, Hx_genheap *heap) {
    if (d_table == nullptr && d_count + 1 >= kTableFrom) {
        void *p = heap->allocBlock(sizeof(nyxOccPropNameTable));
        if (p == nullptr) return false;
        d_table = new (p) nyxOccPropNameTable(heap);
        bool good = d_table->table.create(kFirstCapacity);
        for (nyxOccPropNode *n = d_head; good && n != nullptr; n = n->d_next) good = tableAdd(d_table, n);
        if (!good) return dropTable(d_table, heap), false;
    }
    if (d_table != nullptr && !tableAdd(d_table, node)) return false;
    node->d_next = d_head;
    d_head = node;
    ++d_count;
    d_cursor = -1;
    return true;
}

void nyxOccPropConnector::remove(nyxOccPropNode *node, Hx_genheap *heap) {
    nyxOccPropNode **link = &d_head;
    while (*link != nullptr && *link != node) link = &(*link)->d_next;
    if (*link == nullptr) return;
    // The node keeps its own link, so that an iterator standing on it goes on to its sibling.
    *link = node->d_next;
    --d_count;
    d_cursor = -1;
    if (d_table == nullptr) return;
    if (d_count < kTableFrom) return dropTable(d_table, heap);
    auto &t = d_table->table;
    const uint32_t i = t.probe(t.home(node->d_hash), [&](const nyxOccPropNode *n) { return n == node; });
    if (!t.isFree(i)) t.eraseAt(i);
}

// --- Nodes ----------------------------------------------------------------------------------------

namespace {

nyxOccPropNode *newNode(nyxOccPropSet *set, nyxOccPropInst *parent, int32_t code,
                        const std::string &name) {
    Hx_genheap *heap = set->heap();
    const size_t size = code == nyxCodeViewOccProp ? sizeof(nyxOccPropInst) : sizeof(nyxOccPropNode);
    void *p = heap->allocBlock(size);
    if (p == nullptr) return nullptr;
    nyxOccPropNode *node = code == nyxCodeViewOccProp ? new (p) nyxOccPropInst{} : new (p) nyxOccPropNode{};
    node->d_set = set;
    node->d_parent = parent;
    node->d_code = code;
    node->d_hash = nyxStringTabHash::hash(name.c_str());
    if (!node->d_name.setString(name.c_str(), heap)) {
        heap->freeBlock(p, size);
        return nullptr;
    }
    return node;
}

nyxOccPropConnector &connectorOf(nyxOccPropInst *inst, int32_t code) {
    return code == nyxCodeViewOccProp ? inst->d_insts : code == nyxCodeNetOccProp ? inst->d_nets : inst->d_ports;
}

// The child of that kind and name, made when missing (`made` tells); null when memory ran out.
nyxOccPropNode *child(nyxOccPropSet *set, nyxOccPropInst *inst, int32_t code, const std::string &name,
                      bool &made) {
    nyxOccPropConnector &c = connectorOf(inst, code);
    made = false;
    if (nyxOccPropNode *n = c.find(name.c_str(), nyxStringTabHash::hash(name.c_str()))) return n;
    nyxOccPropNode *n = newNode(set, inst, code, name);
    if (n == nullptr || !c.add(n, set->heap())) return nullptr;
    made = true;
    return n;
}

// The node of a split path, or null; names[0 .. n-2] are instances, the last the leaf.
nyxOccPropNode *lookup(const nyxOccPropSet *set, int32_t code, const std::vector<std::string> &names,
                       const std::string &leaf) {
    nyxOccPropInst *inst = set->root();
    if (inst == nullptr) return nullptr;
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        const std::string &name = names[i];
        inst = static_cast<nyxOccPropInst *>(inst->d_insts.find(name.c_str(), nyxStringTabHash::hash(name.c_str())));
        if (inst == nullptr) return nullptr;
    }
    return connectorOf(inst, code).find(leaf.c_str(), nyxStringTabHash::hash(leaf.c_str()));
}

// A path argument as names: false (30001) for a null or empty path or, unless trusted program
// mode, an invalid name; an empty name is refused in every mode. A null member path is empty.
bool splitArgs(int32_t code, const char *const *path, const char *const *member,
               std::vector<std::string> &names, std::string &leaf, cfidrErrorT *err) {
    auto take = [](const char *const *in, std::vector<std::string> &out) {
        for (; in != nullptr && *in != nullptr; ++in) {
            if (**in == '\0' || (!nyx::trustedProgram() && !nyxDMUtil::validName(*in))) return false;
            out.emplace_back(*in);
        }
        return true;
    };
    std::vector<std::string> members;
    if (path == nullptr || !take(path, names) || names.empty() ||
        (code == nyxCodePortOccProp && !take(member, members))) {
        return *err = nyxdrErrBadPath, false;
    }
    leaf = code == nyxCodePortOccProp ? nyxOccPropPath::internalPortName(names.back(), members) : names.back();
    return true;
}

} // namespace

bool nyxOccPropSet::makeRoot() {
    if (d_root == nullptr) d_root = static_cast<nyxOccPropInst *>(newNode(this, nullptr, nyxCodeViewOccProp, ""));
    return d_root != nullptr;
}

nyxOccPropNode *nyxOccPropSet::makeNode(nyxOccPropSet *set, int32_t code,
                                        const std::vector<std::string> &names, const std::string &leaf,
                                        cfidrErrorT *err) {
    if (!set->makeRoot()) return *err = cfidrErrInternal, nullptr;
    nyxOccPropInst *inst = set->d_root;
    bool made = false;
    for (size_t i = 0; i + 1 < names.size() && inst != nullptr; ++i) {
        inst = static_cast<nyxOccPropInst *>(child(set, inst, nyxCodeViewOccProp, names[i], made));
    }
    nyxOccPropNode *node = inst != nullptr ? child(set, inst, code, leaf, made) : nullptr;
    if (node == nullptr) return *err = cfidrErrInternal, nullptr;
    return node;
}

nyxOccPropNode *nyxOccPropSet::createNode(nyxOccPropSet *set, int32_t code, const char *const *path,
                                          const char *const *memberPath, cfidrErrorT *err) {
    if (!load(set, err)) return nullptr;
    if (!nyx::trustedProgram() && set->libReadOnly()) return *err = cfidrErrNotOpenForUpdate, nullptr;
    std::vector<std::string> names;
    std::string leaf;
    if (!splitArgs(code, path, memberPath, names, leaf, err)) return nullptr;
    if (!nyx::trustedProgram() && lookup(set, code, names, leaf) != nullptr) {
        return *err = cfidrErrAlreadyExists, nullptr;
    }
    nyxOccPropNode *node = makeNode(set, code, names, leaf, err);
    if (node != nullptr) set->edited();
    return node;
}

nyxOccPropNode *nyxOccPropSet::findNode(nyxOccPropSet *set, int32_t code, const char *const *path,
                                        const char *const *memberPath, cfidrErrorT *err) {
    if (!load(set, err)) return nullptr;
    std::vector<std::string> names;
    std::string leaf;
    if (!splitArgs(code, path, memberPath, names, leaf, err)) return nullptr;
    nyxOccPropNode *node = lookup(set, code, names, leaf);
    if (node == nullptr) *err = cfidrErrNotFound;
    return node;
}

void nyxOccPropSet::destroyNode(nyxOccPropNode *node, cfidrErrorT *err) {
    nyxOccPropSet *set = node->d_set;
    if (!nyx::trustedData() && set->libReadOnly()) return (void)(*err = cfidrErrNotOpenForUpdate);
    connectorOf(node->d_parent, node->d_code).remove(node, set->d_heap);
    // The node and everything below it die, without recursion: a stack of instance nodes.
    std::vector<nyxOccPropNode *> stack{node};
    while (!stack.empty()) {
        nyxOccPropNode *n = stack.back();
        stack.pop_back();
        if (n->d_code == nyxCodeViewOccProp) {
            auto *inst = static_cast<nyxOccPropInst *>(n);
            for (nyxOccPropConnector *c : {&inst->d_insts, &inst->d_nets, &inst->d_ports}) {
                for (nyxOccPropNode *k = c->d_head; k != nullptr; k = k->d_next) stack.push_back(k);
            }
        }
        n->d_code = -n->d_code;
        nyxPropListDestroy(n->d_propList);
    }
    set->edited();
}
