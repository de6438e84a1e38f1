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

uint32_t nyxInstMap::Traits::hashOf(const nyxInst *s) { return hash(s->name()); }

nyxInstMap *nyxInstMap::create(Hx_baseheap *heap, uint32_t expected) {
    void *p = heap->allocBlock(sizeof(nyxInstMap));
    if (p == nullptr) return nullptr;
    auto *map = new (p) nyxInstMap(heap);
    if (!map->d_table.create(nyxOAMaskIndex::capacityFor(kMinSlots, expected))) {
        heap->freeBlock(p, sizeof(nyxInstMap));
        return nullptr;
    }
    return map;
}

void nyxInstMap::destroy(nyxInstMap *map) {
    if (map == nullptr) return;
    map->d_table.release();
    Hx_baseheap *heap = map->d_table.heap();
    heap->freeBlock(map, sizeof(nyxInstMap));
}

bool nyxInstMap::add(nyxInst *inst) {
    if (!d_table.hasRoom() && !d_table.grow()) return false;
    d_table.place(inst);
    return true;
}

nyxInst *nyxInstMap::find(const char *name) const {
    uint32_t i = d_table.probe(d_table.home(hash(name)),
                               [name](const nyxInst *s) { return std::strcmp(s->name(), name) == 0; });
    return d_table[i];
}

bool nyxInstMap::remove(const char *name, const nyxInst *inst) {
    uint32_t i = d_table.probe(d_table.home(hash(name)), [inst](const nyxInst *s) { return s == inst; });
    if (d_table.isFree(i)) return false;
    d_table.eraseAt(i);
    return true;
}

bool nyxInstMap::isValid() const {
    return d_table.isValid([](uint32_t, const nyxInst *) { return true; }) &&
           d_table.size() * 2 <= d_table.capacity();
}
