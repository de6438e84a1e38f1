// nyxListBlock: see listblock.h.
#include "utils/listblock.h"

#include <cstring>
#include <new>

#include "utils/heap.h"

namespace {

inline void *linkOf(const void *obj) {
    void *p;
    std::memcpy(&p, obj, sizeof p);
    return p;
}
inline void setLink(void *obj, void *next) { std::memcpy(obj, &next, sizeof next); }
inline bool powerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

} // namespace

nyxListBlock::nyxListBlock(int32_t listType, uint32_t blockSize, uint32_t objectSize, int32_t maxCount)
    : d_listType(listType), d_blockSize(blockSize),
      d_objectSize(static_cast<uint16_t>(objectSize < 8 ? 8 : objectSize > 0xFFFF ? 0xFFFF : objectSize)) {
    uint32_t fits = blockSize > objectsOffset() ? (blockSize - objectsOffset()) / d_objectSize : 0;
    uint32_t n = maxCount < 0 ? fits : static_cast<uint32_t>(maxCount);
    if (n > fits) n = fits;
    if (n > 0xFFFF) n = 0xFFFF;
    d_maxCount = static_cast<uint16_t>(n);
    // Thread the free list through every object in address order.
    char *obj = first();
    for (uint32_t i = 0; i < n; ++i, obj += d_objectSize) setLink(obj, i + 1 < n ? obj + d_objectSize : nullptr);
    d_freeHead = n > 0 ? first() : nullptr;
}

nyxListBlock *nyxListBlock::create(Hx_baseheap *heap, int32_t listType, uint32_t blockSize, uint32_t objectSize,
                                   int32_t maxCount) {
    if (heap == nullptr || !powerOfTwo(blockSize) || blockSize <= objectsOffset() + 8) return nullptr;
    char *p = static_cast<char *>(heap->allocBlock(blockSize));
    if (p == nullptr) return nullptr;
    if (reinterpret_cast<uintptr_t>(p) % blockSize != 0) {
        // Take a larger block, keep its aligned middle and give the ends back. The slack of 32
        // bytes makes both ends at least a minimum block.
        heap->freeBlock(p, blockSize);
        size_t total = 2 * size_t{blockSize} + 32;
        p = static_cast<char *>(heap->allocBlock(total));
        if (p == nullptr) return nullptr;
        uintptr_t at = (reinterpret_cast<uintptr_t>(p) + 16 + blockSize - 1) & ~uintptr_t{blockSize - 1u};
        char *aligned = reinterpret_cast<char *>(at);
        size_t lead = static_cast<size_t>(aligned - p);
        heap->freeBlock(p, lead);
        heap->freeBlock(aligned + blockSize, total - lead - blockSize);
        p = aligned;
    }
    return new (p) nyxListBlock(listType, blockSize, objectSize, maxCount);
}

void nyxListBlock::destroy(Hx_baseheap *heap, nyxListBlock *block) {
    if (heap != nullptr && block != nullptr) heap->freeBlock(block, block->d_blockSize);
}

int32_t nyxListBlock::indexOf(const void *obj) const {
    const char *o = static_cast<const char *>(obj);
    if (o < first()) return -1;
    size_t off = static_cast<size_t>(o - first());
    if (off % d_objectSize != 0 || off / d_objectSize >= d_maxCount) return -1;
    return static_cast<int32_t>(off / d_objectSize);
}

void *nyxListBlock::allocObject() {
    if (d_count >= d_maxCount || d_freeHead == nullptr) return nullptr;
    void *obj = d_freeHead;
    d_freeHead = linkOf(obj);
    ++d_count;
    if (indexOf(obj) == d_highWater) ++d_highWater;
    return obj;
}

void nyxListBlock::freeObject(void *obj) {
    int32_t idx = indexOf(obj);
    if (idx < 0 || idx >= d_highWater) return;
    // Insert keeping address order; meeting the object itself means it is already free.
    void *prev = nullptr;
    void *cur = d_freeHead;
    while (cur != nullptr && cur < obj) {
        prev = cur;
        cur = linkOf(cur);
    }
    if (cur == obj) return;
    setLink(obj, cur);
    if (prev) setLink(prev, obj);
    else d_freeHead = obj;
    --d_count;
    if (idx == d_highWater - 1) {
        // The free objects at the top form the end of the sorted free list: high water drops to
        // the first of the trailing run of consecutive objects.
        int32_t runStart = -1, expect = -1;
        for (void *f = d_freeHead; f; f = linkOf(f)) {
            int32_t i = indexOf(f);
            if (i != expect) runStart = i;
            expect = i + 1;
        }
        if (expect == d_maxCount || expect == d_highWater) d_highWater = static_cast<uint16_t>(runStart);
    }
}

bool nyxListBlock::isFreeObject(const void *obj) const {
    int32_t idx = indexOf(obj);
    if (idx < 0) return false;
    if (idx >= d_highWater) return true;
    for (void *f = d_freeHead; f && f <= obj; f = linkOf(f))
        if (f == obj) return true;
    return false;
}

void *nyxListBlock::getObject(const void *addr, uint32_t blockSize) {
    const nyxListBlock *b = getHeader(addr, blockSize);
    const char *a = static_cast<const char *>(addr);
    if (a < b->first()) return nullptr;
    size_t idx = static_cast<size_t>(a - b->first()) / b->d_objectSize;
    return idx < b->d_maxCount ? b->first() + idx * b->d_objectSize : nullptr;
}

int32_t nyxListBlock::getIndex(const void *obj, uint32_t blockSize) {
    const nyxListBlock *b = getHeader(obj, blockSize);
    const char *o = static_cast<const char *>(obj);
    if (o < b->first()) return -1;
    size_t idx = static_cast<size_t>(o - b->first()) / b->d_objectSize;
    return idx < b->d_maxCount ? static_cast<int32_t>(idx) : -1;
}

bool nyxListBlock::isValid() const {
    int32_t nfree = 0, last = -1;
    bool topRunFree = true;
    for (void *f = d_freeHead; f; f = linkOf(f)) {
        int32_t i = indexOf(f);
        if (i <= last || nfree > d_maxCount) return false;
        ++nfree;
        last = i;
    }
    auto onList = [this](const void *obj) {
        for (void *f = d_freeHead; f; f = linkOf(f))
            if (f == obj) return true;
        return false;
    };
    for (int32_t i = d_highWater; i < d_maxCount && topRunFree; ++i) topRunFree = onList(objectAt(i));
    bool topInUse = d_highWater == 0 || !onList(objectAt(d_highWater - 1));
    return d_count + nfree == d_maxCount && d_highWater <= d_maxCount && topRunFree && topInUse;
}
