// Derived properties: the look-up order over the configuration's sets and the stored design, the
// flat net's look-up over its members, and the lists the derived-property iterators hand out.
#include <unordered_set>

#include "dw/derived.h"
#include "dw/flatnetInt.h"

using namespace nyxdwInt;

namespace {

using nyxdwDerived::Design;
using nyxdwDerived::Found;

// The sets of the configuration in its order (those that cannot be found now are passed over).
std::vector<nyxOccPropSet *> setsOf(const Design &d) {
    std::vector<nyxOccPropSet *> out;
    if (d.config == nullptr) return out;
    nyxDynArray &refs = d.config->setRefs();
    for (int32_t i = 0; i < refs.nitems(); ++i) {
        auto *ref = static_cast<nyxDesignConfigRef *>(refs[i]);
        nyxDMObj *set = nyxDesignConfig::resolve(d.config, ref, nyxCodeOccPropSet);
        if (set != nullptr) out.push_back(static_cast<nyxOccPropSet *>(set));
    }
    return out;
}

// The set's list for one occurrence (not a flat net).
const nyxPropList *setList(nyxOccPropSet *set, const nyxdwOccSource &src, const nyxOccRef &occ, cfidrErrorT *err) {
    switch (occ.kind) {
    case nyxOccNet: return nyxOccPropXrefs::netProps(set, src, static_cast<uint64_t>(occ.id), err);
    case nyxOccPort: return nyxOccPropXrefs::portProps(set, src, static_cast<uint64_t>(occ.id), static_cast<uint64_t>(occ.port), err);
    default: return nyxOccPropXrefs::instProps(set, src, static_cast<uint64_t>(occ.id), err);
    }
}

// The stored lists of an occurrence in look-up order (not a flat net); false with 31001.
bool storedLists(const Design &d, const nyxOccRef &occ, std::vector<const nyxPropList *> *out, cfidrErrorT *err) {
    nyxOccTree *tree = d.tree;
    switch (occ.kind) {
    case nyxOccNet: {
        nyxObjRef net = nyxdw::netOf(tree, occ, err);
        if (net.obj == nullptr) return false;
        out->push_back(nyxObjPtr<nyxPropList>(static_cast<const nyxNetHead *>(net.obj)->d_props));
        return true;
    }
    case nyxOccTop:
    case nyxOccInst: {
        ViewOcc vo;
        if (!viewOccOf(tree, occ, &vo, err)) return false;
        if (vo.isTop()) {
            out->push_back(vo.view->d_propList);
            if (vo.view->owner() != nullptr) out->push_back(vo.view->owner()->d_propList);
            if (d.config != nullptr) out->push_back(d.config->d_propList);
        } else {
            out->push_back(vo.inst->d_propList);
            out->push_back(vo.view->d_propList);
        }
        return true;
    }
    case nyxOccPort: {
        nyxObjRef port = nyxdw::portOf(tree, occ, err);
        if (port.obj == nullptr) return false;
        nyxObjRef word = nyxdw::portInstOf(tree, occ, err);
        if (word.obj != nullptr) out->push_back(nyxPortInst::props(word.obj));
        out->push_back(static_cast<nyxPort *>(port.obj)->d_propList);
        return true;
    }
    default:
        return fail(err);
    }
}

// The live entry of a name in a list.
bool inList(const nyxPropList *list, const char *name, Found *out) {
    if (nyxPropListSize(list) == 0) return false;
    cfidrErrorT e = 0;
    nyxObjRef r = nyxPropFind(list, name, &e);
    if (r.obj == nullptr) return false;
    *out = Found{list, r.member};
    return true;
}

// Step 1 on a flat net for one set: the entry holding `name` on the member with the smallest id,
// by the set's net entries or by the members, whichever is fewer.
bool flatInSet(nyxOccTree *tree, const nyxFlatNets *f, nyxOccPropSet *set, const nyxdwOccSource &src,
               int32_t flatId, const char *name, Found *out, cfidrErrorT *err) {
    const uint32_t entries = nyxOccPropXrefs::netEntryCount(set, src, err);
    if (*err != 0 || entries == 0) return false;
    // Members first, as long as they are fewer than the entries.
    nyxdwFlat::MemberCursor cursor;
    cursor.start(tree, f, flatId);
    std::vector<int32_t> members;
    nyxdwFlat::Member m;
    bool fewer = true;
    while (cursor.next(tree, f, &m)) {
        if (members.size() >= entries) {
            fewer = false;
            break;
        }
        members.push_back(m.id);
    }
    if (fewer) {
        int32_t best = INT32_MAX;
        for (int32_t id : members) {
            Found found;
            if (id < best && inList(nyxOccPropXrefs::netProps(set, src, static_cast<uint64_t>(id), err), name, &found)) {
                best = id;
                *out = found;
            }
        }
        return best != INT32_MAX;
    }
    // Entries are sorted by id: the first on a member is the smallest.
    std::vector<nyxdwFlat::Level> path;
    for (uint32_t i = 0; i < entries; ++i) {
        uint64_t id = 0;
        Found found;
        if (!inList(nyxOccPropXrefs::netEntryAt(set, src, i, &id, err), name, &found)) continue;
        int32_t local = 0;
        if (nyxdwFlat::levels(tree, static_cast<int32_t>(id), &path, &local) &&
            nyxdwFlat::flatOf(tree, f, path, local) == flatId) {
            *out = found;
            return true;
        }
    }
    return false;
}

Found findFlat(const Design &d, const nyxOccRef &occ, const char *name, int32_t mode, cfidrErrorT *err) {
    const nyxFlatNets *f = nyxdwFlat::need(d.tree, err);
    if (f == nullptr) return Found();
    if (!nyxdw::isFlatNet(d.tree, occ, err)) return fail(err), Found();
    const nyxdwOccSource src(d.tree);
    Found found;
    if (mode != 1) {
        for (nyxOccPropSet *set : setsOf(d)) {
            if (flatInSet(d.tree, f, set, src, occ.id, name, &found, err)) {
                if (nyxPropAt(found.list, found.index)->type() == nyxPropDeleted) return *err = cfidrErrNotFound, Found();
                return found;
            }
            if (*err != 0) return Found();
        }
    }
    if (mode != 0) {
        std::vector<std::pair<int32_t, int32_t>> pairs;
        nyxdwFlat::distinctPairs(d.tree, f, occ.id, &pairs);
        for (const auto &[node, cls] : pairs) {
            const nyxFlatNode &n = f->nodes[node];
            nyxNetlistView *view = d.tree->node(node).view;
            for (int32_t i = n.netStart[cls]; i < n.netStart[cls + 1]; ++i) {
                cfidrErrorT e = 0;
                int32_t code = 0;
                void *net = view->netAtPosition(n.nets[i], &code, &e);
                if (net != nullptr && inList(nyxObjPtr<nyxPropList>(static_cast<const nyxNetHead *>(net)->d_props), name, &found)) return found;
            }
        }
    }
    return *err = cfidrErrNotFound, Found();
}

} // namespace

namespace nyxdwDerived {

Found find(const Design &d, const nyxOccRef &occ, const char *name, int32_t mode, cfidrErrorT *err) {
    if (occ.kind == nyxOccFlatNet) return findFlat(d, occ, name, mode, err);
    std::vector<const nyxPropList *> stored;
    if (!storedLists(d, occ, &stored, err)) return Found();
    Found found;
    if (mode != 1) {
        const nyxdwOccSource src(d.tree);
        for (nyxOccPropSet *set : setsOf(d)) {
            const nyxPropList *list = setList(set, src, occ, err);
            if (*err != 0) return Found();
            if (!inList(list, name, &found)) continue;
            // A deleted mark hides what the stored design holds.
            if (nyxPropAt(found.list, found.index)->type() == nyxPropDeleted) return *err = cfidrErrNotFound, Found();
            return found;
        }
    }
    if (mode != 0) {
        for (const nyxPropList *list : stored) {
            if (inList(list, name, &found)) return found;
        }
    }
    return *err = cfidrErrNotFound, Found();
}

bool list(const Design &d, const nyxOccRef &occ, int32_t mode, std::vector<Found> *out, cfidrErrorT *err) {
    out->clear();
    std::vector<const nyxPropList *> lists;
    if (occ.kind == nyxOccFlatNet) {
        if (!nyxdw::isFlatNet(d.tree, occ, err)) return *err == 0 ? fail(err) : false;
    } else if (!storedLists(d, occ, &lists, err)) {
        return false;
    }
    // Candidate names from every list that may hold one; each is then looked up, so that the
    // entry handed out is the one the look-up finds.
    std::vector<const nyxPropList *> candidates;
    if (mode != 1 && occ.kind != nyxOccFlatNet) {
        const nyxdwOccSource src(d.tree);
        for (nyxOccPropSet *set : setsOf(d)) {
            candidates.push_back(setList(set, src, occ, err));
            if (*err != 0) return false;
        }
    }
    if (mode != 0) candidates.insert(candidates.end(), lists.begin(), lists.end());
    std::unordered_set<std::string> seen;
    for (const nyxPropList *l : candidates) {
        for (int32_t i = 0; i < nyxPropListSize(l); ++i) {
            const nyxProp *p = nyxPropAt(l, static_cast<uint32_t>(i));
            if (p == nullptr || !seen.insert(p->name()).second) continue;
            cfidrErrorT e = 0;
            Found found = find(d, occ, p->name(), mode, &e);
            if (!found.isNull()) out->push_back(found);
        }
    }
    return true;
}

} // namespace nyxdwDerived
