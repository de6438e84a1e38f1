// The instance name map of a view (instInt.h): open addressing over instance pointers.
#include <cstring>
#include <new>

#include "dm/netlist/instInt.h"

namespace {
constexpr uint32_t kMinSlots = 512;  // 503 chains, rounded up to a power of two
}

uint32_t nyxInstMap::hash(const char *name) {
    uint32_t h = 2166136261u;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c != 0; ++c) {
        h = (h ^ *c) * 16777619u;
    }
    return h ^ (h >> 15);
}

nyxInstMap *nyxInstMap::create(Hx_baseheap *heap, uint32_t expected) {
    uint32_t cap = kMinSlots;
    while (cap < expected * 2 && cap < (1u << 30)) cap <<= 1;
    void *p = heap->allocBlock(sizeof(nyxInstMap));
    if (p == nullptr) return nullptr;
    auto *slots = static_cast<nyxInst **>(heap->allocBlock(sizeof(nyxInst *) * cap));
    if (slots == nullptr) {
        heap->freeBlock(p, sizeof(nyxInstMap));
        return nullptr;
    }
    std::memset(slots, 0, sizeof(nyxInst *) * cap);
    auto *map = static_cast<nyxInstMap *>(p);
    map->d_heap = heap;
    map->d_slots = slots;
    map->d_mask = cap - 1;
    map->d_count = 0;
    return map;
}

void nyxInstMap::destroy(nyxInstMap *map) {
    if (map == nullptr) return;
    map->d_heap->freeBlock(map->d_slots, sizeof(nyxInst *) * (map->d_mask + 1));
    map->d_heap->freeBlock(map, sizeof(nyxInstMap));
}

void nyxInstMap::place(nyxInst *inst) {
    uint32_t i = hash(inst->name()) & d_mask;
    while (d_slots[i] != nullptr) i = (i + 1) & d_mask;
    d_slots[i] = inst;
    ++d_count;
}

bool nyxInstMap::grow() {
    uint32_t cap = (d_mask + 1) * 2;
    auto *slots = static_cast<nyxInst **>(d_heap->allocBlock(sizeof(nyxInst *) * cap));
    if (slots == nullptr) return false;
    std::memset(slots, 0, sizeof(nyxInst *) * cap);
    nyxInst **old = d_slots;
    uint32_t oldCap = d_mask + 1;
    d_slots = slots;
    d_mask = cap - 1;
    d_count = 0;
    for (uint32_t i = 0; i < oldCap; ++i) {
        if (old[i] != nullptr) place(old[i]);
    }
    d_heap->freeBlock(old, sizeof(nyxInst *) * oldCap);
    return true;
}

bool nyxInstMap::add(nyxInst *inst) {
    if ((d_count + 1) * 2 > d_mask + 1 && !grow()) return false;
    place(inst);
    return true;
}

nyxInst *nyxInstMap::find(const char *name) const {
    for (uint32_t i = hash(name) & d_mask; d_slots[i] != nullptr; i = (i + 1) & d_mask) {
        if (std::strcmp(d_slots[i]->name(), name) == 0) return d_slots[i];
    }
    return nullptr;
}

bool nyxInstMap::remove(const char *name, const nyxInst *inst) {
    uint32_t i = hash(name) & d_mask;
    while (d_slots[i] != nullptr && d_slots[i] != inst) i = (i + 1) & d_mask;
    if (d_slots[i] == nullptr) return false;
    d_slots[i] = nullptr;
    --d_count;
    // Entries after the gap move back where their probe run allows (backward-shift deletion).
    for (uint32_t j = (i + 1) & d_mask; d_slots[j] != nullptr; j = (j + 1) & d_mask) {
        uint32_t home = hash(d_slots[j]->name()) & d_mask;
        // The entry at j may fill the gap at i when its home does not lie cyclically in (i, j].
        bool stays = i <= j ? (home > i && home <= j) : (home > i || home <= j);
        if (!stays) {
            d_slots[i] = d_slots[j];
            d_slots[j] = nullptr;
            i = j;
        }
    }
    return true;
}

bool nyxInstMap::isValid() const {
    uint32_t n = 0;
    for (uint32_t i = 0; i <= d_mask; ++i) {
        if (d_slots[i] == nullptr) continue;
        ++n;
        // No empty slot between the entry's home and the entry.
        for (uint32_t k = hash(d_slots[i]->name()) & d_mask; k != i; k = (k + 1) & d_mask) {
            if (d_slots[k] == nullptr) return false;
        }
    }
    return n == d_count && d_count * 2 <= d_mask + 1;
}
