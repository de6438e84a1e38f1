// nyxBitSet - a set of small non-negative integers as a bit array that grows on demand.
//
// Bit b lives in word (wordCount() - 1 - b / 32) at position b mod 32: the last word holds bits
// 0-31, so growing adds words at the front. A new set has two inline words (64 bits), all clear;
// larger arrays come from the set's heap (default the global heap). Negative bits are never set.
//
// Invariants: wordCount() >= 2; the words are the inline pair exactly when wordCount() == 2.
#pragma once

#include <cstdint>

class Hx_baseheap;

class nyxBitSet {
public:
    explicit nyxBitSet(Hx_baseheap *heap = nullptr) : d_heap(heap) {}
    ~nyxBitSet();
    nyxBitSet(const nyxBitSet &) = delete;
    nyxBitSet &operator=(const nyxBitSet &) = delete;

    // Sets bit b, growing as needed; false when b is negative or no memory could be had.
    bool add(int32_t b);
    void remove(int32_t b);
    // 0 for a bit beyond the array (without growing it).
    bool in_set(int32_t b) const;
    // 1 if the bit was already set, else sets it and returns 0 (-1 when it cannot be set).
    int check_and_add(int32_t b);
    // Whether any bit is set.
    bool add_performed() const;
    int32_t bits_set() const;
    void remove_all();
    // Adds every bit of `other`; false when no memory could be had.
    bool merge_set(const nyxBitSet &other);
    // Makes this set equal to `other`; false when no memory could be had.
    bool init_from_other(const nyxBitSet &other);
    // Grows so that bits 0 .. nbits - 1 need no further growth.
    bool pregrow(int32_t nbits);
    int32_t wordCount() const { return d_nwords; }

private:
    bool growTo(int32_t words);
    uint32_t *word(int32_t b) const { return &d_words[d_nwords - 1 - b / 32]; }

    Hx_baseheap *d_heap;
    int32_t d_nwords = 2;
    uint32_t d_inline[2] = {0, 0};
    uint32_t *d_words = d_inline;
};
