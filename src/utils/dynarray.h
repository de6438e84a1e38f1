// nyxDynArray - a blocked array of untyped pointers.
//
// Elements live in blocks of 32 slots chained from the first block to the last, so that growing
// never moves elements and a block costs one small heap allocation. The array neither owns nor
// frees the elements. Removal shifts the rest of one block down; blocks are freed only by clear()
// (or the destructor). Positions run 0 .. nitems() - 1; out-of-range positions give null or -1.
//
// Invariants (isValid()): nitems() == sum of the blocks' counts; 0 <= count <= 32 for every
// block; the last block is the end of the chain; the heap is set once a block exists.
//
// Storage comes from the heap given to the constructor, else from the one given to the first
// add/insert, else from the global heap (nyxDefaultGlobalHeap()).
#pragma once

#include <cstdint>

class Hx_baseheap;

class nyxDynArray {
public:
    static constexpr int32_t blockSlots = 32;

    explicit nyxDynArray(Hx_baseheap *heap = nullptr) : d_heap(heap) {}
    ~nyxDynArray() { clear(); }
    nyxDynArray(const nyxDynArray &) = delete;
    nyxDynArray &operator=(const nyxDynArray &) = delete;

    // Appends an item; returns its position, or -1 when no storage could be had.
    int32_t add(void *item, Hx_baseheap *heap = nullptr);
    int32_t append(void *item) { return add(item, nullptr); }
    // Inserts an item before position `index` (appends when index is outside 0 .. nitems() - 1).
    // Returns the item's position or -1.
    int32_t insert(void *item, int32_t index, Hx_baseheap *heap = nullptr);
    // Removes the first element equal to `item`; returns its former position or -1.
    int32_t remove(const void *item);
    int32_t index_of(const void *item) const;
    // The element at `index`, or null out of range.
    void *operator[](int32_t index) const;
    // Replaces the element at `index`; false out of range.
    bool set(int32_t index, void *item);
    int32_t nitems() const { return d_count; }
    // Frees every block; the array is empty and may be used again.
    void clear();
    // Forgets every block and the heap without freeing them (they went with a heap that was
    // dropped); the array is empty and takes a heap again on its next add.
    void abandon() {
        d_first = d_last = d_cursor = nullptr;
        d_count = 0;
        d_cursorBase = 0;
        d_heap = nullptr;
    }

    Hx_baseheap *heap() const { return d_heap; }
    int32_t blockCount() const;
    bool isValid() const;

private:
    struct Block {
        Block *next;
        int32_t count;
        void *slots[blockSlots];
    };
    bool useHeap(Hx_baseheap *given);
    Block *newBlock();
    Block *find(int32_t index, int32_t *base) const;

    int32_t d_count = 0;
    Hx_baseheap *d_heap = nullptr;
    Block *d_first = nullptr;
    Block *d_last = nullptr;
    // Last block found by position, so that walking the array in order is linear.
    mutable Block *d_cursor = nullptr;
    mutable int32_t d_cursorBase = 0;
};
