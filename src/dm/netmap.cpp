// The net name map: see netmap.h.
#include "dm/netmap.h"

#include <cstring>
#include <new>

#include "dm/net.h"

namespace {

constexpr uint32_t kAliasBit = 0x80000000u;

} // namespace

uint32_t nyxNetMap::hash(const char *name) {
    uint32_t h = 2166136261u;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p) {
        h = (h ^ *p) * 16777619u;
    }
    return (h ^ (h >> 15)) & 0x7fffffffu;
}

nyxNetMap *nyxNetMap::create(Hx_baseheap *heap, uint32_t expected) {
    uint32_t cap = kInitialSlots;
    while (cap / 2 < expected && cap < (1u << 30)) cap *= 2;
    void *p = heap->allocBlock(sizeof(nyxNetMap));
    if (p == nullptr) return nullptr;
    auto *slots = static_cast<Slot *>(heap->allocBlock(sizeof(Slot) * cap));
    if (slots == nullptr) {
        heap->freeBlock(p, sizeof(nyxNetMap));
        return nullptr;
    }
    for (uint32_t i = 0; i < cap; ++i) slots[i] = Slot{};
    nyxNetMap *map = new (p) nyxNetMap;
    map->d_heap = heap;
    map->d_slots = slots;
    map->d_mask = cap - 1;
    map->d_count = 0;
    return map;
}

void nyxNetMap::destroy(nyxNetMap *map) {
    if (map == nullptr) return;
    map->d_heap->freeBlock(map->d_slots, sizeof(Slot) * (map->d_mask + 1));
    map->d_heap->freeBlock(map, sizeof(nyxNetMap));
}

void nyxNetMap::place(const Slot &slot) {
    uint32_t i = slot.hash & d_mask;
    while (d_slots[i].name != nullptr) i = (i + 1) & d_mask;
    d_slots[i] = slot;
    ++d_count;
}

bool nyxNetMap::grow() {
    uint32_t oldCap = d_mask + 1;
    if (oldCap >= (1u << 30)) return false;
    uint32_t cap = oldCap * 2;
    auto *slots = static_cast<Slot *>(d_heap->allocBlock(sizeof(Slot) * cap));
    if (slots == nullptr) return false;
    for (uint32_t i = 0; i < cap; ++i) slots[i] = Slot{};
    Slot *old = d_slots;
    d_slots = slots;
    d_mask = cap - 1;
    d_count = 0;
    for (uint32_t i = 0; i < oldCap; ++i) {
        if (old[i].name != nullptr) place(old[i]);
    }
    d_heap->freeBlock(old, sizeof(Slot) * oldCap);
    return true;
}

bool nyxNetMap::add(void *obj, bool alias) {
    if ((d_count + 1) * 2 > d_mask + 1 && !grow()) return false;
    const char *name = alias ? static_cast<nyxNetAlias *>(obj)->d_name.getString()
                             : static_cast<nyxNetHead *>(obj)->d_name.getString();
    place({name, nyxObjWord(obj), hash(name) | (alias ? kAliasBit : 0)});
    return true;
}

void *nyxNetMap::find(const char *name, bool *alias) const {
    uint32_t h = hash(name);
    for (uint32_t i = h & d_mask; d_slots[i].name != nullptr; i = (i + 1) & d_mask) {
        const Slot &s = d_slots[i];
        if ((s.hash & ~kAliasBit) == h && std::strcmp(s.name, name) == 0) {
            if (alias != nullptr) *alias = (s.hash & kAliasBit) != 0;
            return nyxObjPtr(s.word);
        }
    }
    return nullptr;
}

bool nyxNetMap::remove(const char *name, const void *obj) {
    uint32_t word = nyxObjWord(obj);
    uint32_t i = hash(name) & d_mask;
    while (d_slots[i].name != nullptr && d_slots[i].word != word) i = (i + 1) & d_mask;
    if (d_slots[i].name == nullptr) return false;
    // Backward-shift deletion keeps every probe run without gaps.
    uint32_t hole = i;
    for (uint32_t j = (i + 1) & d_mask; d_slots[j].name != nullptr; j = (j + 1) & d_mask) {
        uint32_t home = d_slots[j].hash & ~kAliasBit & d_mask;
        // The entry at j may move into the hole when its home does not lie in (hole, j].
        bool between = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (!between) {
            d_slots[hole] = d_slots[j];
            hole = j;
        }
    }
    d_slots[hole] = Slot{};
    --d_count;
    return true;
}

bool nyxNetMap::isValid() const {
    uint32_t n = 0;
    for (uint32_t i = 0; i <= d_mask; ++i) {
        const Slot &s = d_slots[i];
        if (s.name == nullptr) continue;
        ++n;
        bool alias = (s.hash & kAliasBit) != 0;
        const char *own = alias ? nyxObjPtr<nyxNetAlias>(s.word)->d_name.getString()
                                : nyxObjPtr<nyxNetHead>(s.word)->d_name.getString();
        if (own != s.name || hash(own) != (s.hash & ~kAliasBit)) return false;
        for (uint32_t k = s.hash & ~kAliasBit & d_mask; k != i; k = (k + 1) & d_mask) {
            if (d_slots[k].name == nullptr) return false;
        }
    }
    return n == d_count && n * 2 <= d_mask + 1;
}
