// The pointer index of lists searched by a key: see ptrindex.h.
#include "utils/ptrindex.h"

#include <new>

#include "utils/heap.h"

namespace {
constexpr uint32_t kMinSlots = 64;
} // namespace

nyxPtrIndex *nyxPtrIndex::create(Hx_baseheap *heap, uint32_t expected) {
    void *p = heap->allocBlock(sizeof(nyxPtrIndex));
    if (p == nullptr) return nullptr;
    auto *index = new (p) nyxPtrIndex(heap);
    if (!index->d_table.create(nyxOAMaskIndex::capacityFor(kMinSlots, expected))) {
        heap->freeBlock(p, sizeof(nyxPtrIndex));
        return nullptr;
    }
    return index;
}

void nyxPtrIndex::destroy(nyxPtrIndex *index) {
    if (index == nullptr) return;
    index->d_table.release();
    Hx_baseheap *heap = index->d_table.heap();
    heap->freeBlock(index, sizeof(nyxPtrIndex));
}

bool nyxPtrIndex::add(uint32_t h, void *obj) {
    if (obj == nullptr) return false;
    if (!d_table.hasRoom() && !d_table.grow()) return false;
    d_table.place(Slot{obj, h});
    return true;
}

bool nyxPtrIndex::remove(uint32_t h, const void *obj) {
    // The entry of obj under h: the same object may be held under another hash in the same run.
    uint32_t i = d_table.probe(d_table.home(h), [h, obj](const Slot &s) { return s.obj == obj && s.hash == h; });
    if (d_table.isFree(i)) return false;
    d_table.eraseAt(i);
    return true;
}

bool nyxPtrIndex::isValid() const {
    return d_table.isValid([](uint32_t, const Slot &) { return true; }) && d_table.size() * 2 <= d_table.capacity();
}
