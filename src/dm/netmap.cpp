// The net name map: see netmap.h.
#include "dm/netmap.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

#include "dm/net.h"

namespace {

constexpr uint64_t kAliasBit = uint64_t{1} << 63;

inline uint32_t wordOf(uint64_t slot) { return static_cast<uint32_t>(slot); }
inline uint32_t hashOf(uint64_t slot) { return static_cast<uint32_t>(slot >> 32) & 0x7fffffffu; }
inline uint64_t makeSlot(uint32_t word, uint32_t h, bool alias) {
    return word | (uint64_t{h} << 32) | (alias ? kAliasBit : 0);
}

// Lookups in a large table touch one random slot each: backing it with huge pages where the
// system allows saves a page-table walk per lookup. Only a hint; failure changes nothing.
void preferHugePages(void *p, size_t bytes) {
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (end > begin) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace

uint32_t nyxNetMap::hash(const char *name) {
    uint32_t h = 2166136261u;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p) {
        h = (h ^ *p) * 16777619u;
    }
    return (h ^ (h >> 15)) & 0x7fffffffu;
}

const char *nyxNetMap::nameOf(uint64_t slot) {
    if ((slot & kAliasBit) != 0) return nyxObjPtr<nyxNetAlias>(wordOf(slot))->d_name.getString();
    return nyxObjPtr<nyxNetHead>(wordOf(slot))->d_name.getString();
}

nyxNetMap *nyxNetMap::create(Hx_baseheap *heap, uint32_t expected) {
    uint32_t cap = kInitialSlots;
    while (cap / 2 < expected && cap < (1u << 30)) cap *= 2;
    void *p = heap->allocBlock(sizeof(nyxNetMap));
    if (p == nullptr) return nullptr;
    auto *slots = static_cast<uint64_t *>(heap->allocBlock(sizeof(uint64_t) * cap));
    if (slots == nullptr) {
        heap->freeBlock(p, sizeof(nyxNetMap));
        return nullptr;
    }
    preferHugePages(slots, sizeof(uint64_t) * cap);
    std::memset(slots, 0, sizeof(uint64_t) * cap);
    nyxNetMap *map = new (p) nyxNetMap;
    map->d_heap = heap;
    map->d_slots = slots;
    map->d_mask = cap - 1;
    map->d_count = 0;
    return map;
}

void nyxNetMap::destroy(nyxNetMap *map) {
    if (map == nullptr) return;
    map->d_heap->freeBlock(map->d_slots, sizeof(uint64_t) * (map->d_mask + 1));
    map->d_heap->freeBlock(map, sizeof(nyxNetMap));
}

bool nyxNetMap::place(uint64_t slot) {
    uint32_t i = hashOf(slot) & d_mask;
    while (d_slots[i] != 0) i = (i + 1) & d_mask;
    d_slots[i] = slot;
    ++d_count;
    return true;
}

bool nyxNetMap::grow() {
    uint32_t oldCap = d_mask + 1;
    if (oldCap >= (1u << 30)) return false;
    uint32_t cap = oldCap * 2;
    auto *slots = static_cast<uint64_t *>(d_heap->allocBlock(sizeof(uint64_t) * cap));
    if (slots == nullptr) return false;
    preferHugePages(slots, sizeof(uint64_t) * cap);
    std::memset(slots, 0, sizeof(uint64_t) * cap);
    uint64_t *old = d_slots;
    d_slots = slots;
    d_mask = cap - 1;
    d_count = 0;
    for (uint32_t i = 0; i < oldCap; ++i) {
        if (old[i] != 0) place(old[i]);
    }
    d_heap->freeBlock(old, sizeof(uint64_t) * oldCap);
    return true;
}

bool nyxNetMap::add(void *obj, bool alias) {
    if ((d_count + 1) * 2 > d_mask + 1 && !grow()) return false;
    const char *name = alias ? static_cast<nyxNetAlias *>(obj)->d_name.getString()
                             : static_cast<nyxNetHead *>(obj)->d_name.getString();
    return place(makeSlot(nyxObjWord(obj), hash(name), alias));
}

void *nyxNetMap::find(const char *name, bool *alias) const {
    uint32_t h = hash(name);
    for (uint32_t i = h & d_mask; d_slots[i] != 0; i = (i + 1) & d_mask) {
        uint64_t s = d_slots[i];
        if (hashOf(s) == h && std::strcmp(nameOf(s), name) == 0) {
            if (alias != nullptr) *alias = (s & kAliasBit) != 0;
            return nyxObjPtr(wordOf(s));
        }
    }
    return nullptr;
}

bool nyxNetMap::remove(const char *name, const void *obj) {
    uint32_t word = nyxObjWord(obj);
    uint32_t i = hash(name) & d_mask;
    while (d_slots[i] != 0 && wordOf(d_slots[i]) != word) i = (i + 1) & d_mask;
    if (d_slots[i] == 0) return false;
    // Backward-shift deletion keeps every probe run without gaps.
    uint32_t hole = i;
    for (uint32_t j = (i + 1) & d_mask; d_slots[j] != 0; j = (j + 1) & d_mask) {
        uint32_t home = hashOf(d_slots[j]) & d_mask;
        // The entry at j may move into the hole when its home does not lie in (hole, j].
        bool between = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (!between) {
            d_slots[hole] = d_slots[j];
            hole = j;
        }
    }
    d_slots[hole] = 0;
    --d_count;
    return true;
}

bool nyxNetMap::isValid() const {
    uint32_t n = 0;
    for (uint32_t i = 0; i <= d_mask; ++i) {
        if (d_slots[i] == 0) continue;
        ++n;
        if (hash(nameOf(d_slots[i])) != hashOf(d_slots[i])) return false;
        for (uint32_t k = hashOf(d_slots[i]) & d_mask; k != i; k = (k + 1) & d_mask) {
            if (d_slots[k] == 0) return false;
        }
    }
    return n == d_count && n * 2 <= d_mask + 1;
}
