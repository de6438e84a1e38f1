// The pointer index of view lists: see ptrindex.h.
#include "dm/netlist/ptrindex.h"

#include <cstring>
#include <new>

#include "utils/heap.h"

namespace {
constexpr uint32_t kMinSlots = 64;

uint32_t shiftFor(uint32_t cap) {
    uint32_t bits = 0;
    while ((uint32_t{1} << bits) < cap) ++bits;
    return 32 - bits;
}
} // namespace

nyxPtrIndex *nyxPtrIndex::create(Hx_baseheap *heap, uint32_t expected) {
    uint32_t cap = kMinSlots;
    while (cap / 2 < expected && cap < (1u << 30)) cap *= 2;
    void *p = heap->allocBlock(sizeof(nyxPtrIndex));
    if (p == nullptr) return nullptr;
    auto *slots = static_cast<Slot *>(heap->allocBlock(sizeof(Slot) * cap));
    if (slots == nullptr) {
        heap->freeBlock(p, sizeof(nyxPtrIndex));
        return nullptr;
    }
    std::memset(static_cast<void *>(slots), 0, sizeof(Slot) * cap);
    auto *index = new (p) nyxPtrIndex;
    index->d_heap = heap;
    index->d_slots = slots;
    index->d_mask = cap - 1;
    index->d_shift = shiftFor(cap);
    index->d_count = 0;
    return index;
}

void nyxPtrIndex::destroy(nyxPtrIndex *index) {
    if (index == nullptr) return;
    index->d_heap->freeBlock(index->d_slots, sizeof(Slot) * (index->d_mask + 1));
    index->d_heap->freeBlock(index, sizeof(nyxPtrIndex));
}

void nyxPtrIndex::place(Slot s) {
    uint32_t i = home(s.hash);
    while (d_slots[i].obj != nullptr) i = (i + 1) & d_mask;
    d_slots[i] = s;
    ++d_count;
}

bool nyxPtrIndex::grow() {
    const uint32_t oldCap = d_mask + 1;
    if (oldCap >= (1u << 30)) return false;
    const uint32_t cap = oldCap * 2;
    auto *slots = static_cast<Slot *>(d_heap->allocBlock(sizeof(Slot) * cap));
    if (slots == nullptr) return false;
    std::memset(static_cast<void *>(slots), 0, sizeof(Slot) * cap);
    Slot *old = d_slots;
    d_slots = slots;
    d_mask = cap - 1;
    d_shift = shiftFor(cap);
    d_count = 0;
    for (uint32_t i = 0; i < oldCap; ++i) {
        if (old[i].obj != nullptr) place(old[i]);
    }
    d_heap->freeBlock(old, sizeof(Slot) * oldCap);
    return true;
}

bool nyxPtrIndex::add(uint32_t h, void *obj) {
    if (obj == nullptr) return false;
    if ((d_count + 1) * 2 > d_mask + 1 && !grow()) return false;
    place(Slot{obj, h});
    return true;
}

bool nyxPtrIndex::remove(uint32_t h, const void *obj) {
    uint32_t i = home(h);
    while (d_slots[i].obj != nullptr && d_slots[i].obj != obj) i = (i + 1) & d_mask;
    if (d_slots[i].obj == nullptr) return false;
    // Backward-shift deletion: the entry at j moves into the hole unless its home lies
    // cyclically in (hole, j], where moving it would put it before its home.
    uint32_t hole = i;
    for (uint32_t j = (i + 1) & d_mask; d_slots[j].obj != nullptr; j = (j + 1) & d_mask) {
        uint32_t at = home(d_slots[j].hash);
        bool between = hole <= j ? (at > hole && at <= j) : (at > hole || at <= j);
        if (!between) {
            d_slots[hole] = d_slots[j];
            hole = j;
        }
    }
    d_slots[hole] = Slot{nullptr, 0};
    --d_count;
    return true;
}

bool nyxPtrIndex::isValid() const {
    uint32_t n = 0;
    for (uint32_t i = 0; i <= d_mask; ++i) {
        if (d_slots[i].obj == nullptr) continue;
        ++n;
        for (uint32_t k = home(d_slots[i].hash); k != i; k = (k + 1) & d_mask) {
            if (d_slots[k].obj == nullptr) return false;
        }
    }
    return n == d_count && n * 2 <= d_mask + 1;
}
