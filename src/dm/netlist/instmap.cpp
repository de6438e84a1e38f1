// The instance name map of a view (instInt.h): open addressing over instance words and hashes.
#include <cstring>
#include <new>

#include "dm/netlist/instInt.h"
#include "dm/netlist/net.h"
#include "dm/netlist/netmap.h"

namespace {

constexpr uint32_t kMinSlots = 512;  // 503 chains, rounded up to a power of two

inline uint32_t wordOf(uint64_t slot) { return static_cast<uint32_t>(slot); }
inline nyxInst *instOf(uint64_t slot) { return nyxObjPtr<nyxInst>(wordOf(slot)); }
inline uint64_t makeSlot(const nyxInst *inst, uint32_t h) { return nyxObjWord(inst) | (uint64_t{h} << 32); }

} // namespace

// The net map's hash: eight characters at a time.
uint32_t nyxInstMap::hash(const char *name) { return nyxNetMap::hash(name); }

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
    d_table.place(makeSlot(inst, hash(inst->name())));
    return true;
}

nyxInst *nyxInstMap::find(const char *name) const {
    const uint32_t h = hash(name);
    const uint64_t *hit = d_table.find(d_table.home(h), [h, name](uint64_t s) {
        return Traits::hashOf(s) == h && std::strcmp(instOf(s)->name(), name) == 0;
    });
    return hit != nullptr ? instOf(*hit) : nullptr;
}

bool nyxInstMap::remove(const char *name, const nyxInst *inst) {
    const uint32_t word = nyxObjWord(inst);
    uint32_t i = d_table.probe(d_table.home(hash(name)), [word](uint64_t s) { return wordOf(s) == word; });
    if (d_table.isFree(i)) return false;
    d_table.eraseAt(i);
    return true;
}

bool nyxInstMap::isValid() const {
    return d_table.isValid([](uint32_t, uint64_t s) { return hash(instOf(s)->name()) == Traits::hashOf(s); }) &&
           d_table.size() * 2 <= d_table.capacity();
}
