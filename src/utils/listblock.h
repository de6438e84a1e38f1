// nyxListBlock - a slab of fixed-size objects in one block of power-of-two size.
//
// The block is aligned on its own size, so the header of the block that holds an object is found
// by clearing the low bits of the object's address. The header is followed by the objects; a free
// list threads through the free objects in address order, so allocation always hands out the
// lowest free object and a slab fills from the front.
//
// The number of objects a block holds is part of what callers observe (positions count slots over
// block chains), so it can be given explicitly: a caller keeps the counts of the original 1024-byte
// blocks with a 36-byte header, (1024 - 36) / object size, and picks a real block size large
// enough for its real object size. Without an explicit count, the count is what fits.
//
// Invariants (isValid()):
//   count + |free list| == maxCount
//   the free list is strictly increasing in address and holds objects of this block only
//   every object at index >= highWater is free; highWater == 0 or object highWater - 1 is in use
#pragma once

#include <cstddef>
#include <cstdint>

class Hx_baseheap;

class nyxListBlock {
public:
    // Builds the header in place at the start of a block of `blockSize` bytes (a power of two, the
    // block aligned on it). Objects are at least 8 bytes (a free object holds the list link).
    nyxListBlock(int32_t listType, uint32_t blockSize, uint32_t objectSize, int32_t maxCount = -1);

    // A new slab from `heap`, aligned on its size; null when the heap has no room or the sizes
    // are unusable (block size not a power of two, no object fits).
    static nyxListBlock *create(Hx_baseheap *heap, int32_t listType, uint32_t blockSize, uint32_t objectSize,
                                int32_t maxCount = -1);
    // Returns a slab made by create() to its heap.
    static void destroy(Hx_baseheap *heap, nyxListBlock *block);

    // The lowest free object, or null when the block is full.
    void *allocObject();
    // Returns an object to the block; addresses that are not an in-use object of this block are
    // ignored (so a double free cannot corrupt the free list).
    void freeObject(void *obj);
    bool isFreeObject(const void *obj) const;

    static nyxListBlock *getHeader(const void *obj, uint32_t blockSize) {
        return reinterpret_cast<nyxListBlock *>(reinterpret_cast<uintptr_t>(obj) & ~uintptr_t{blockSize - 1u});
    }
    // The object that contains `addr`, or null when addr lies in the header or past the objects.
    static void *getObject(const void *addr, uint32_t blockSize);
    // The index of the object that contains `obj` in its block, or -1.
    static int32_t getIndex(const void *obj, uint32_t blockSize);
    // The object at `index` (free or not), or null out of range.
    void *objectAt(int32_t index) const {
        return index >= 0 && index < d_maxCount ? first() + static_cast<size_t>(index) * d_objectSize : nullptr;
    }

    nyxListBlock *prev() const { return d_prev; }
    nyxListBlock *next() const { return d_next; }
    void setPrev(nyxListBlock *b) { d_prev = b; }
    void setNext(nyxListBlock *b) { d_next = b; }
    int32_t listType() const { return d_listType; }
    void setListType(int32_t t) { d_listType = t; }
    void *freeHead() const { return d_freeHead; }
    void *parent() const { return d_parent; }
    void setParent(void *p) { d_parent = p; }
    int32_t userData() const { return d_userData; }
    void setUserData(int32_t v) { d_userData = v; }
    uint16_t maxCount() const { return d_maxCount; }
    uint16_t count() const { return d_count; }
    uint32_t blockSize() const { return d_blockSize; }
    uint16_t objectSize() const { return d_objectSize; }
    uint16_t highWater() const { return d_highWater; }
    uint16_t parentType() const { return d_parentType; }
    void setParentType(uint16_t t) { d_parentType = t; }
    bool isFull() const { return d_count >= d_maxCount; }

    bool isValid() const;

private:
    char *first() const { return const_cast<char *>(reinterpret_cast<const char *>(this)) + objectsOffset(); }
    static constexpr uint32_t objectsOffset();
    int32_t indexOf(const void *obj) const;

    nyxListBlock *d_prev = nullptr;
    nyxListBlock *d_next = nullptr;
    int32_t d_listType;
    void *d_freeHead = nullptr;
    void *d_parent = nullptr;
    int32_t d_userData = 0;
    uint16_t d_maxCount = 0;
    uint16_t d_count = 0;
    uint32_t d_blockSize;
    uint16_t d_objectSize;
    uint16_t d_highWater = 0;
    uint16_t d_parentType = 0;
};

// Objects start after the header, on an 8-byte boundary.
constexpr uint32_t nyxListBlock::objectsOffset() { return (sizeof(nyxListBlock) + 7u) & ~7u; }
