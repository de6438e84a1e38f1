// nyxDynArray: see dynarray.h.
#include "utils/dynarray.h"

#include <cstring>

#include "utils/heap.h"

bool nyxDynArray::useHeap(Hx_baseheap *given) {
    if (d_heap == nullptr) d_heap = given != nullptr ? given : nyxDefaultGlobalHeap();
    return d_heap != nullptr;
}

nyxDynArray::Block *nyxDynArray::newBlock() {
    auto *b = static_cast<Block *>(d_heap->allocBlock(sizeof(Block)));
    if (b != nullptr) {
        b->next = nullptr;
        b->count = 0;
    }
    return b;
}

int32_t nyxDynArray::add(void *item, Hx_baseheap *heap) {
    if (d_count == INT32_MAX || !useHeap(heap)) return -1;
    if (d_last == nullptr || d_last->count == blockSlots) {
        Block *b = newBlock();
        if (b == nullptr) return -1;
        if (d_last) d_last->next = b;
        else d_first = b;
        d_last = b;
    }
    d_last->slots[d_last->count++] = item;
    return d_count++;
}

// The block holding position `index` and the position of its first slot; null out of range.
nyxDynArray::Block *nyxDynArray::find(int32_t index, int32_t *base) const {
    if (index < 0 || index >= d_count) return nullptr;
    Block *b = d_first;
    int32_t at = 0;
    if (d_cursor != nullptr && index >= d_cursorBase) {
        b = d_cursor;
        at = d_cursorBase;
    }
    while (b != nullptr && index >= at + b->count) {
        at += b->count;
        b = b->next;
    }
    if (b == nullptr) return nullptr;
    d_cursor = b;
    d_cursorBase = at;
    *base = at;
    return b;
}

int32_t nyxDynArray::insert(void *item, int32_t index, Hx_baseheap *heap) {
    if (index < 0 || index >= d_count) return add(item, heap);
    if (d_count == INT32_MAX) return -1;
    int32_t base = 0;
    Block *b = find(index, &base);
    if (b == nullptr) return -1;
    if (b->count == blockSlots) {
        // The full block's last element moves to a new block linked right after it.
        Block *nb = newBlock();
        if (nb == nullptr) return -1;
        nb->slots[0] = b->slots[blockSlots - 1];
        nb->count = 1;
        nb->next = b->next;
        b->next = nb;
        if (d_last == b) d_last = nb;
        --b->count;
    }
    int32_t pos = index - base;
    std::memmove(&b->slots[pos + 1], &b->slots[pos], sizeof(void *) * static_cast<size_t>(b->count - pos));
    b->slots[pos] = item;
    ++b->count;
    ++d_count;
    d_cursor = nullptr;
    return index;
}

int32_t nyxDynArray::remove(const void *item) {
    int32_t base = 0;
    for (Block *b = d_first; b; base += b->count, b = b->next) {
        for (int32_t i = 0; i < b->count; ++i) {
            if (b->slots[i] != item) continue;
            std::memmove(&b->slots[i], &b->slots[i + 1], sizeof(void *) * static_cast<size_t>(b->count - i - 1));
            --b->count;
            --d_count;
            d_cursor = nullptr;
            return base + i;
        }
    }
    return -1;
}

int32_t nyxDynArray::index_of(const void *item) const {
    int32_t base = 0;
    for (const Block *b = d_first; b; base += b->count, b = b->next)
        for (int32_t i = 0; i < b->count; ++i)
            if (b->slots[i] == item) return base + i;
    return -1;
}

void *nyxDynArray::operator[](int32_t index) const {
    int32_t base = 0;
    const Block *b = find(index, &base);
    return b != nullptr ? b->slots[index - base] : nullptr;
}

bool nyxDynArray::set(int32_t index, void *item) {
    int32_t base = 0;
    Block *b = find(index, &base);
    if (b == nullptr) return false;
    b->slots[index - base] = item;
    return true;
}

void nyxDynArray::clear() {
    for (Block *b = d_first; b;) {
        Block *next = b->next;
        d_heap->freeBlock(b, sizeof(Block));
        b = next;
    }
    d_first = d_last = d_cursor = nullptr;
    d_count = 0;
    d_cursorBase = 0;
}

int32_t nyxDynArray::blockCount() const {
    int32_t n = 0;
    for (const Block *b = d_first; b; b = b->next) ++n;
    return n;
}

bool nyxDynArray::isValid() const {
    int64_t sum = 0;
    const Block *last = nullptr;
    for (const Block *b = d_first; b; b = b->next) {
        if (b->count < 0 || b->count > blockSlots) return false;
        sum += b->count;
        last = b;
    }
    return sum == d_count && last == d_last && (d_first == nullptr || d_heap != nullptr);
}
