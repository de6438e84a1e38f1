// Property lists: creating, finding, iterating, renaming and destroying entries with stable
// indices, the table of properties on properties, change recording and the evaluation list.
#include <cstring>
#include <new>

#include "dm/prop/propInt.h"

namespace nyxPropPriv {

uint32_t entryKey(const nyxProp *entry) {
    return Hx_topheap::wordOf(entry);
}

bool listReadOnly(const nyxPropList *list) {
    return list != nullptr && list->d_readOnly != nullptr &&
           list->d_readOnly(list->d_owner, list->d_ownerIndex);
}

void recordOwnerChange(void *owner, uint32_t member, int32_t code) {
    // A property on a property: the change belongs to the list holding that property.
    for (int depth = 0; code == nyxCodeProp && owner != nullptr && depth < 1024; ++depth) {
        const nyxPropList *up = static_cast<const nyxPropList *>(owner);
        owner = up->d_owner;
        member = up->d_ownerIndex;
        code = up->d_ownerCode;
    }
    if (owner == nullptr) return;
    bool inView = (code >= nyxCodePortBundle && code <= nyxCodeNetScalar) ||
                  code == nyxCodeNetlistView || code == nyxCodeNetAlias;
    if (inView) nyxViewRecordPropChange(owner, member, code);
    else if (code > 0 && code < nyxClasses::kTableSize && nyxPropChangeHooks[code] != nullptr)
        nyxPropChangeHooks[code](owner, member, code);
}

} // namespace nyxPropPriv

nyxPropChangeHook nyxPropChangeHooks[nyxClasses::kTableSize] = {};

using namespace nyxPropPriv;

namespace {

// A list of properties on a property is read-only when the list holding that property is.
bool onPropReadOnly(const void *owner, uint32_t) {
    return listReadOnly(static_cast<const nyxPropList *>(owner));
}

nyxOIDHashTable *onPropTable(bool create) {
    if (nyxPropTables::onProps != nullptr || !create) return nyxPropTables::onProps;
    Hx_genheap *heap = nyx::getPropMgrHeap();
    if (heap == nullptr) return nullptr;
    void *p = heap->allocBlock(sizeof(nyxOIDHashTable));
    if (p == nullptr) return nullptr;
    nyxPropTables::onProps = new (p) nyxOIDHashTable(heap, 311, 10);
    return nyxPropTables::onProps;
}

// Takes the list of properties on an entry out of the table and destroys it.
void dropPropsOn(nyxProp *entry) {
    nyxOIDHashTable *t = nyxPropTables::onProps;
    if (t == nullptr || t->entries() == 0) return;
    uint32_t key = entryKey(entry);
    auto *sub = static_cast<nyxPropList *>(t->find_entry(key));
    if (sub == nullptr) return;
    t->remove_entry(key);
    nyxPropListDestroy(sub);
}

// Empties the value of an entry, giving a heap copy of a string back.
void clearValue(nyxProp *entry) {
    if (entry->d_entry != nullptr && nyxPropTypeHasString(entry->d_entry->type)) {
        std::launder(reinterpret_cast<nyxVarString *>(entry->d_value))->clear();
    }
    std::memset(entry->d_value, 0, sizeof entry->d_value);
}

Hx_baseheap *listHeap(Hx_baseheap *heap) { return heap != nullptr ? heap : nyxDefaultGlobalHeap(); }

nyxPropList *makeList(const nyxPropOwner &owner) {
    Hx_baseheap *heap = listHeap(owner.heap);
    if (heap == nullptr) return nullptr;
    void *p = heap->allocBlock(sizeof(nyxPropList));
    if (p == nullptr) return nullptr;
    return new (p)
        nyxPropList{owner.obj, owner.member, owner.code, 0, 0, nullptr, heap, owner.readOnly, 0};
}

// Makes room for one more entry, moving the array (and re-keying the properties on its
// entries) when it is full. False when memory ran out; the list is then unchanged.
bool reserveEntry(nyxPropList *list) {
    if (list->d_count < list->d_allocated) return true;
    // Indices travel in 24 bits of the tag word.
    if (list->d_count >= (1 << 24) - 1) return false;
    int32_t alloc = list->d_allocated < 4 ? 4 : list->d_allocated * 2;
    if (alloc > (1 << 24)) alloc = 1 << 24;
    size_t bytes = sizeof(nyxProp) * static_cast<size_t>(alloc);
    auto *entries = static_cast<nyxProp *>(list->d_heap->allocBlock(bytes));
    if (entries == nullptr) return false;
    std::memset(static_cast<void *>(entries), 0, bytes);
    if (list->d_count > 0) {
        std::memcpy(static_cast<void *>(entries), list->d_entries, sizeof(nyxProp) * list->d_count);
    }
    nyxOIDHashTable *t = nyxPropTables::onProps;
    if (t != nullptr && t->entries() > 0) {
        // New keys first: should one fail, the old ones still stand and nothing is lost.
        int32_t i = 0;
        bool ok = true;
        for (; i < list->d_count && ok; ++i) {
            void *sub = t->find_entry(entryKey(&list->d_entries[i]));
            if (sub != nullptr) ok = t->add_entry(entryKey(&entries[i]), sub);
        }
        if (!ok) {
            for (int32_t j = 0; j < i - 1; ++j) {
                if (t->find_entry(entryKey(&list->d_entries[j])) != nullptr) {
                    t->remove_entry(entryKey(&entries[j]));
                }
            }
            list->d_heap->freeBlock(entries, bytes);
            return false;
        }
        for (i = 0; i < list->d_count; ++i) t->remove_entry(entryKey(&list->d_entries[i]));
    }
    if (list->d_entries != nullptr) {
        list->d_heap->freeBlock(list->d_entries, sizeof(nyxProp) * static_cast<size_t>(list->d_allocated));
    }
    list->d_entries = entries;
    list->d_allocated = alloc;
    return true;
}

// The first live entry of the list whose name is `name` (any type), or -1.
int32_t indexOfName(const nyxPropList *list, const char *name) {
    if (list == nullptr || name == nullptr) return -1;
    nyxPropNameTable *names = nyxPropNameTable::peek();
    const nyxPropNameTableBucket *b = names != nullptr ? names->find_name(name) : nullptr;
    if (b == nullptr) return -1;
    for (int32_t i = 0; i < list->d_count; ++i) {
        const nyxPropNameTableBucket *e = list->d_entries[i].d_entry;
        if (e != nullptr && e->serial == b->serial) return i;
    }
    return -1;
}

nyxObjRef iterNext(nyxIter *it, cfidrErrorT *err);
void iterReset(nyxIter *it);
void iterQuit(nyxIter *it);
constexpr nyxIterOps kIterOps = {iterNext, iterReset, iterQuit};

struct PropIter : nyxIter {
    nyxPropList *list;
    int32_t pos = 0;
    explicit PropIter(nyxPropList *l) : nyxIter(kIterOps), list(l) {}
};
nyxIterCache<PropIter, 4> g_iters;

nyxObjRef iterNext(nyxIter *it, cfidrErrorT *) {
    auto *pi = static_cast<PropIter *>(it);
    nyxPropList *list = pi->list;
    if (list == nullptr) return {};
    while (pi->pos < list->d_count) {
        int32_t i = pi->pos++;
        if (!list->d_entries[i].isFree()) return {list, nyxCodeProp, static_cast<uint32_t>(i)};
    }
    return {};
}

void iterQuit(nyxIter *it) { g_iters.release(static_cast<PropIter *>(it)); }

void iterReset(nyxIter *it) { static_cast<PropIter *>(it)->pos = 0; }

} // namespace

nyxObjRef nyxPropCreate(nyxPropList *&list, const nyxPropOwner &owner, const char *name,
                        cfidrErrorT *err) {
    if (!nyx::trustedData()) {
        if (owner.readOnly != nullptr && owner.readOnly(owner.obj, owner.member)) {
            return *err = cfidrErrNotOpenForUpdate, nyxObjRef{};
        }
        if (!validName(name)) return *err = cfidrErrBadName, nyxObjRef{};
        if (indexOfName(list, name) >= 0) return *err = cfidrErrAlreadyExists, nyxObjRef{};
    }
    if (name == nullptr) return *err = cfidrErrBadName, nyxObjRef{};
    nyxPropNameTable *names = nyxPropNameTable::get();
    nyxPropNameTableBucket *entry = names != nullptr ? names->add_name_type(name, nyxPropNone) : nullptr;
    if (entry == nullptr) return *err = cfidrErrInternal, nyxObjRef{};
    recordOwnerChange(owner.obj, owner.member, owner.code);
    if (list == nullptr && (list = makeList(owner)) == nullptr) {
        return *err = cfidrErrInternal, nyxObjRef{};
    }
    int32_t index = list->d_freeFrom;
    while (index < list->d_count && !list->d_entries[index].isFree()) ++index;
    if (index == list->d_count) {
        if (!reserveEntry(list)) return *err = cfidrErrInternal, nyxObjRef{};
        ++list->d_count;
    }
    list->d_freeFrom = index + 1;
    nyxProp &p = list->d_entries[index];
    p.d_entry = entry;
    std::memset(p.d_value, 0, sizeof p.d_value);
    return {list, nyxCodeProp, static_cast<uint32_t>(index)};
}

nyxObjRef nyxPropFind(const nyxPropList *list, const char *name, cfidrErrorT *err) {
    int32_t index = indexOfName(list, name);
    if (index < 0) return *err = cfidrErrNotFound, nyxObjRef{};
    return {const_cast<nyxPropList *>(list), nyxCodeProp, static_cast<uint32_t>(index)};
}

nyxIter *nyxPropGetProps(nyxPropList *list, cfidrErrorT *err) {
    PropIter *it = g_iters.make(list);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    // The list goes on its own (its owner destroyed) or with its heap (a view purged at once).
    if (list != nullptr) {
        it->anchor = list;
        it->home = list->d_heap;
    }
    return it;
}

void nyxPropListDestroy(nyxPropList *&list) {
    if (list == nullptr) return;
    nyxIterObjectGone(list);
    for (int32_t i = 0; i < list->d_count; ++i) {
        nyxProp *entry = &list->d_entries[i];
        dropPropsOn(entry);
        clearValue(entry);
    }
    if (list->d_entries != nullptr) {
        list->d_heap->freeBlock(list->d_entries, sizeof(nyxProp) * static_cast<size_t>(list->d_allocated));
    }
    list->d_heap->freeBlock(list, sizeof(nyxPropList));
    list = nullptr;
}

void nyxPropForgetHeap(Hx_baseheap *heap) {
    if (nyxPropTables::onProps != nullptr) nyxPropTables::onProps->clean_entries(heap);
}

nyxProp *nyxPropAt(const nyxPropList *list, uint32_t index) {
    if (list == nullptr || index >= static_cast<uint32_t>(list->d_count)) return nullptr;
    nyxProp *p = &list->d_entries[index];
    return p->isFree() ? nullptr : p;
}

nyxProp *nyxPropLive(const nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    nyxProp *p = nyxPropAt(list, index);
    if (p == nullptr) *err = cfidrErrObjectUnusable;
    return p;
}

void nyxPropRename(nyxPropList *list, uint32_t index, const char *name, cfidrErrorT *err) {
    nyxProp *p = nyxPropLive(list, index, err);
    if (p == nullptr) return;
    if (!nyx::trustedData()) {
        if (listReadOnly(list)) return void(*err = cfidrErrNotOpenForUpdate);
        if (!validName(name)) return void(*err = cfidrErrBadName);
        int32_t other = indexOfName(list, name);
        if (other >= 0 && static_cast<uint32_t>(other) != index) {
            return void(*err = cfidrErrNameTaken);
        }
    }
    if (name == nullptr) return void(*err = cfidrErrBadName);
    nyxPropNameTable *names = nyxPropNameTable::get();
    nyxPropNameTableBucket *entry = names != nullptr ? names->add_name_type(name, p->type()) : nullptr;
    if (entry == nullptr) return void(*err = cfidrErrInternal);
    recordPropChange(list);
    p->d_entry = entry;
}

void nyxPropDestroy(nyxPropList *list, uint32_t index, cfidrErrorT *err) {
    nyxProp *p = nyxPropLive(list, index, err);
    if (p == nullptr) return;
    if (!nyx::trustedData() && listReadOnly(list)) return void(*err = cfidrErrNotOpenForUpdate);
    recordPropChange(list);
    dropPropsOn(p);
    clearValue(p);
    p->d_entry = nullptr;
    if (static_cast<int32_t>(index) < list->d_freeFrom)
        list->d_freeFrom = static_cast<int32_t>(index);
}

nyxObjRef nyxPropListOwner(const nyxPropList *list) {
    if (list == nullptr || list->d_owner == nullptr) return {};
    uint32_t member = list->d_ownerCode == nyxCodeProp ? list->d_ownerIndex : 0;
    return {list->d_owner, list->d_ownerCode, member};
}

nyxPropList *nyxPropsOnProp(const nyxPropList *list, uint32_t index) {
    nyxProp *p = nyxPropAt(list, index);
    nyxOIDHashTable *t = nyxPropTables::onProps;
    if (p == nullptr || t == nullptr) return nullptr;
    return static_cast<nyxPropList *>(t->find_entry(entryKey(p)));
}

nyxObjRef nyxPropCreateOnProp(nyxPropList *list, uint32_t index, const char *name, cfidrErrorT *err) {
    if (nyxPropLive(list, index, err) == nullptr) return {};
    nyxPropList *sub = nyxPropsOnProp(list, index);
    nyxPropList *before = sub;
    if (sub == nullptr) {
        int32_t depth = 1;
        for (const nyxPropList *up = list; up != nullptr && up->d_ownerCode == nyxCodeProp && depth <= nyxPropMaxNesting;
             up = static_cast<const nyxPropList *>(up->d_owner)) {
            ++depth;
        }
        if (depth > nyxPropMaxNesting) {
            if (!nyx::trustedData() && listReadOnly(list)) {
                return *err = cfidrErrNotOpenForUpdate, nyxObjRef{};
            }
            if (name == nullptr || (!nyx::trustedData() && !validName(name))) {
                return *err = cfidrErrBadName, nyxObjRef{};
            }
            return *err = cfidrErrRecursiveBundle, nyxObjRef{};
        }
    }
    nyxPropOwner owner = {list, index, nyxCodeProp, list->d_heap, onPropReadOnly};
    nyxObjRef r = nyxPropCreate(sub, owner, name, err);
    if (sub != before) {
        // The list was made by this creation: enter it under the property's entry.
        if (*err != 0) return nyxPropListDestroy(sub), nyxObjRef{};
        nyxOIDHashTable *t = onPropTable(true);
        if (t == nullptr || !t->add_entry(entryKey(&list->d_entries[index]), sub)) {
            nyxPropListDestroy(sub);
            return *err = cfidrErrInternal, nyxObjRef{};
        }
    }
    return r;
}

void recordPropChange(const nyxPropList *list) {
    if (list != nullptr) recordOwnerChange(list->d_owner, list->d_ownerIndex, list->d_ownerCode);
}

nyxPropList *getEvalProplist() {
    if (nyxPropTables::evalList == nullptr) {
        Hx_genheap *heap = nyx::getGlobalHeap();
        nyxPropOwner none = {nullptr, 0, 0, heap, nullptr};
        if (heap != nullptr) nyxPropTables::evalList = makeList(none);
    }
    return nyxPropTables::evalList;
}

bool isEvalProplist(const nyxPropList *list) {
    return list != nullptr && list == nyxPropTables::evalList;
}
