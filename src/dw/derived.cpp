// Derived properties: the look-up order over the configuration's sets and the stored design, the
// flat net's look-up over its members, and the lists the derived-property iterators hand out.
#include <algorithm>
#include <new>
#include <unordered_set>

#include "dw/derived.h"
#include "dw/flatnetInt.h"

using namespace nyxdwInt;

namespace {

using nyxdwDerived::Design;
using nyxdwDerived::Found;

// The sets of the configuration in its order (those that cannot be found now are passed over):
// visit(set) returning true stops.
template <class F> void forEachSet(const Design &d, F visit) {
    if (d.config == nullptr) return;
    nyxDynArray &refs = d.config->setRefs();
    for (int32_t i = 0; i < refs.nitems(); ++i) {
        auto *ref = static_cast<nyxDesignConfigRef *>(refs[i]);
        nyxDMObj *set = nyxDesignConfig::resolve(d.config, ref, nyxCodeOccPropSet);
        if (set != nullptr && visit(static_cast<nyxOccPropSet *>(set))) return;
    }
}

using nyxdwDerived::Known;

// The set's list for one occurrence (not a flat net).
const nyxPropList *setList(nyxOccPropSet *set, const nyxdwOccSource &src, const nyxOccRef &occ, cfidrErrorT *err) {
    switch (occ.kind) {
    case nyxOccNet: return nyxOccPropXrefs::netProps(set, src, static_cast<uint64_t>(occ.id), err);
    case nyxOccPort: return nyxOccPropXrefs::portProps(set, src, static_cast<uint64_t>(occ.id), static_cast<uint64_t>(occ.port), err);
    default: return nyxOccPropXrefs::instProps(set, src, static_cast<uint64_t>(occ.id), err);
    }
}

// The stored lists of an occurrence in look-up order (not a flat net); false with 31001.
bool storedLists(const Design &d, const nyxOccRef &occ, Known *out, cfidrErrorT *err) {
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

using Name = nyxdwDerived::Name;

// The first live entry of a name in a list.
bool inList(const nyxPropList *list, const Name &name, Found *out) {
    if (list == nullptr || name.serial < 0) return false;
    for (int32_t i = 0; i < list->d_count; ++i) {
        const nyxPropNameTableBucket *e = list->d_entries[i].d_entry;
        if (e != nullptr && e->serial == name.serial) return *out = Found{list, static_cast<uint32_t>(i)}, true;
    }
    return false;
}

// The flat net of every net entry of a set's table, from the tree's cache when the table is the
// one it was made for (entries are few next to the members of a large flat net; each costs one
// walk up when the table is new). Null when memory ran out.
const int32_t *entryFlats(nyxOccTree *tree, nyxOccPropSet *set, uint64_t serial, const nyxOccPropXrefEntry *entries,
                          uint32_t count, cfidrErrorT *err) {
    nyxFlatNets *f = tree->d_flat;
    Hx_genheap *heap = tree->d_graphHeap;
    nyxFlatSetCache *c = nullptr;
    for (int32_t i = 0; i < f->setCacheCount && c == nullptr; ++i) {
        if (f->setCaches[i].set == set) c = &f->setCaches[i];
    }
    if (c != nullptr && c->serial == serial) return c->flat;
    if (c == nullptr) {
        auto *grown = static_cast<nyxFlatSetCache *>(heap->allocBlock(sizeof(nyxFlatSetCache) * (f->setCacheCount + 1)));
        if (grown == nullptr) return *err = cfidrErrInternal, nullptr;
        std::copy(f->setCaches, f->setCaches + f->setCacheCount, grown);
        if (f->setCaches != nullptr) heap->freeBlock(f->setCaches, sizeof(nyxFlatSetCache) * f->setCacheCount);
        f->setCaches = grown;
        c = &grown[f->setCacheCount++];
        *c = nyxFlatSetCache{set, 0, nullptr, 0};
    }
    if (c->flat != nullptr) heap->freeBlock(c->flat, sizeof(int32_t) * c->count);
    c->flat = count > 0 ? static_cast<int32_t *>(heap->allocBlock(sizeof(int32_t) * count)) : nullptr;
    c->count = c->flat != nullptr ? count : 0;
    c->serial = 0;
    if (count > 0 && c->flat == nullptr) return *err = cfidrErrInternal, nullptr;
    std::vector<nyxdwFlat::Level> path;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t local = 0;
        const bool found = entries[i].id <= static_cast<uint64_t>(INT32_MAX) &&
                           nyxdwFlat::levels(tree, static_cast<int32_t>(entries[i].id), &path, &local);
        c->flat[i] = found ? nyxdwFlat::flatOf(tree, f, path, local) : 0;
    }
    c->serial = serial;
    return c->flat;
}

// Step 1 on a flat net for one set: the entry holding `name` on the member with the smallest id,
// by the members when they are few (each a search of the set's table), else by the set's
// entries in id order (each a compare with the cached flat net of the entry).
bool flatInSet(nyxOccTree *tree, const nyxFlatNets *f, nyxOccPropSet *set, const nyxdwOccSource &src,
               int32_t flatId, const Name &name, Found *out, cfidrErrorT *err) {
    uint32_t count = 0;
    uint64_t serial = 0;
    const nyxOccPropXrefEntry *entries = nyxOccPropXrefs::netEntries(set, src, &count, &serial, err);
    if (count == 0 || name.serial < 0) return false;
    nyxdwFlat::MemberCursor cursor;
    cursor.start(tree, f, flatId);
    std::vector<int32_t> members;
    nyxdwFlat::Member m;
    const size_t few = count / 8 + 1;
    bool fewer = true;
    while (cursor.next(tree, f, &m)) {
        if (members.size() >= few) {
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
    const int32_t *flats = entryFlats(tree, set, serial, entries, count, err);
    for (uint32_t i = 0; flats != nullptr && i < count; ++i) {
        if (flats[i] == flatId && inList(entries[i].list, name, out)) return true;
    }
    return false;
}

bool isDeleted(const Found &f) { return nyxPropAt(f.list, f.index)->type() == nyxPropDeleted; }

Found findFlat(const Design &d, const nyxOccRef &occ, const Name &name, int32_t mode, cfidrErrorT *err) {
    const nyxFlatNets *f = nyxdwFlat::need(d.tree, err);
    if (f == nullptr) return Found();
    if (!nyxdw::isFlatNet(d.tree, occ, err)) return *err == 0 ? (fail(err), Found()) : Found();
    const nyxdwOccSource src(d.tree);
    Found found;
    bool hit = false;
    if (mode != 1) {
        forEachSet(d, [&](nyxOccPropSet *set) { return (hit = flatInSet(d.tree, f, set, src, occ.id, name, &found, err)) || *err != 0; });
        if (*err != 0) return Found();
        if (hit) return isDeleted(found) ? (*err = cfidrErrNotFound, Found()) : found;
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

// The stored lists are read (and the occurrence checked) only when the sets do not answer: an
// id found in a set's cross-reference is an occurrence of the tree of that kind.
Found findAt(const Design &d, const nyxOccRef &occ, const Name &name, int32_t mode, Known *known, cfidrErrorT *err) {
    if (occ.kind == nyxOccFlatNet) return findFlat(d, occ, name, mode, err);
    if (occ.kind != nyxOccNet && occ.kind != nyxOccInst && occ.kind != nyxOccTop && occ.kind != nyxOccPort) {
        return fail(err), Found();
    }
    Found found;
    if (mode != 1 && known->once) {
        const nyxdwOccSource src(d.tree);
        bool hit = false;
        forEachSet(d, [&](nyxOccPropSet *set) { return (hit = inList(setList(set, src, occ, err), name, &found)) || *err != 0; });
        if (*err != 0) return Found();
        if (hit) return isDeleted(found) ? (*err = cfidrErrNotFound, Found()) : found;
    } else if (mode != 1) {
        if (!known->setsKnown) {
            const nyxdwOccSource src(d.tree);
            forEachSet(d, [&](nyxOccPropSet *set) {
                known->sets.push_back(setList(set, src, occ, err));
                return *err != 0;
            });
            if (*err != 0) return known->sets.clear(), Found();
            known->setsKnown = true;
        }
        for (const nyxPropList *list : known->sets) {
            // A deleted mark hides what the stored design holds.
            if (inList(list, name, &found)) return isDeleted(found) ? (*err = cfidrErrNotFound, Found()) : found;
        }
    }
    if (!known->storedKnown) {
        if (!storedLists(d, occ, known, err)) return known->storedCount = 0, Found();
        known->storedKnown = true;
    }
    for (int32_t i = 0; mode != 0 && i < known->storedCount; ++i) {
        if (inList(known->stored[i], name, &found)) return found;
    }
    return *err = cfidrErrNotFound, Found();
}

} // namespace

namespace nyxdwDerived {

Found find(const Design &d, const nyxOccRef &occ, const char *name, int32_t mode, cfidrErrorT *err) {
    Known known;
    known.once = true;
    return findAt(d, occ, Name(name), mode, &known, err);
}

Name::Name(const char *name) : text(name) {
    const nyxPropNameTable *names = nyxPropNameTable::peek();
    const nyxPropNameTableBucket *b = names != nullptr && name != nullptr ? names->find_name(name) : nullptr;
    serial = b != nullptr ? b->serial : -1;
}

Found Finder::find(const Name &name, cfidrErrorT *err) { return findAt(d_design, d_occ, name, d_mode, &d_known, err); }

bool list(const Design &d, const nyxOccRef &occ, int32_t mode, std::vector<Found> *out, cfidrErrorT *err) {
    out->clear();
    // Candidate names from every list that may hold one; each is then looked up, so that the
    // entry handed out is the one the look-up finds.
    std::vector<const nyxPropList *> candidates;
    const nyxdwOccSource src(d.tree);
    if (occ.kind == nyxOccFlatNet) {
        const nyxFlatNets *f = nyxdwFlat::need(d.tree, err);
        std::vector<std::pair<int32_t, int32_t>> pairs;
        if (f == nullptr) return false;
        if (!nyxdwFlat::distinctPairs(d.tree, f, occ.id, &pairs)) return fail(err);
        if (mode != 1) {
            // Every net entry of the sets on a member of the flat net.
            forEachSet(d, [&](nyxOccPropSet *set) {
                uint32_t count = 0;
                uint64_t serial = 0;
                const nyxOccPropXrefEntry *entries = nyxOccPropXrefs::netEntries(set, src, &count, &serial, err);
                const int32_t *flats = count > 0 ? entryFlats(d.tree, set, serial, entries, count, err) : nullptr;
                for (uint32_t i = 0; flats != nullptr && i < count; ++i) {
                    if (flats[i] == occ.id) candidates.push_back(entries[i].list);
                }
                return *err != 0;
            });
            if (*err != 0) return false;
        }
        for (const auto &[node, cls] : pairs) {
            if (mode == 0) break;
            const nyxFlatNode &n = f->nodes[node];
            for (int32_t i = n.netStart[cls]; i < n.netStart[cls + 1]; ++i) {
                cfidrErrorT e = 0;
                int32_t code = 0;
                void *net = d.tree->node(node).view->netAtPosition(n.nets[i], &code, &e);
                if (net != nullptr) candidates.push_back(nyxObjPtr<nyxPropList>(static_cast<const nyxNetHead *>(net)->d_props));
            }
        }
    } else {
        Known lists;
        if (!storedLists(d, occ, &lists, err)) return false;
        if (mode != 1) {
            forEachSet(d, [&](nyxOccPropSet *set) {
                candidates.push_back(setList(set, src, occ, err));
                return *err != 0;
            });
            if (*err != 0) return false;
        }
        if (mode != 0) candidates.insert(candidates.end(), lists.stored, lists.stored + lists.storedCount);
    }
    std::unordered_set<int32_t> seen;
    for (const nyxPropList *l : candidates) {
        for (int32_t i = 0; i < nyxPropListSize(l); ++i) {
            const nyxProp *p = nyxPropAt(l, static_cast<uint32_t>(i));
            if (p == nullptr || !seen.insert(p->d_entry->serial).second) continue;
            cfidrErrorT e = 0;
            Found found = find(d, occ, p->name(), mode, &e);
            if (!found.isNull()) out->push_back(found);
        }
    }
    return true;
}

} // namespace nyxdwDerived
