// nyxBitSet: see bitset.h.
#include "utils/bitset.h"

#include <cstring>

#include "utils/heap.h"

nyxBitSet::~nyxBitSet() {
    if (d_words != d_inline) d_heap->freeBlock(d_words, sizeof(uint32_t) * static_cast<size_t>(d_nwords));
}

// New words go at the front; the old words keep their place at the end.
bool nyxBitSet::growTo(int32_t words) {
    if (words <= d_nwords) return true;
    if (d_heap == nullptr) d_heap = nyxDefaultGlobalHeap();
    if (d_heap == nullptr) return false;
    auto *grown = static_cast<uint32_t *>(d_heap->allocBlock(sizeof(uint32_t) * static_cast<size_t>(words)));
    if (grown == nullptr) return false;
    int32_t added = words - d_nwords;
    std::memset(grown, 0, sizeof(uint32_t) * static_cast<size_t>(added));
    std::memcpy(grown + added, d_words, sizeof(uint32_t) * static_cast<size_t>(d_nwords));
    if (d_words != d_inline) d_heap->freeBlock(d_words, sizeof(uint32_t) * static_cast<size_t>(d_nwords));
    d_words = grown;
    d_nwords = words;
    return true;
}

bool nyxBitSet::add(int32_t b) {
    if (b < 0 || !growTo(b / 32 + 1)) return false;
    *word(b) |= uint32_t{1} << (b % 32);
    return true;
}

void nyxBitSet::remove(int32_t b) {
    if (b >= 0 && b / 32 < d_nwords) *word(b) &= ~(uint32_t{1} << (b % 32));
}

bool nyxBitSet::in_set(int32_t b) const {
    return b >= 0 && b / 32 < d_nwords && (*word(b) & (uint32_t{1} << (b % 32))) != 0;
}

int nyxBitSet::check_and_add(int32_t b) {
    if (in_set(b)) return 1;
    return add(b) ? 0 : -1;
}

bool nyxBitSet::add_performed() const {
    for (int32_t i = 0; i < d_nwords; ++i)
        if (d_words[i] != 0) return true;
    return false;
}

int32_t nyxBitSet::bits_set() const {
    int32_t n = 0;
    for (int32_t i = 0; i < d_nwords; ++i) n += __builtin_popcount(d_words[i]);
    return n;
}

void nyxBitSet::remove_all() { std::memset(d_words, 0, sizeof(uint32_t) * static_cast<size_t>(d_nwords)); }

bool nyxBitSet::merge_set(const nyxBitSet &other) {
    if (!growTo(other.d_nwords)) return false;
    // Words line up from the end (bit 0 is in the last word of both).
    for (int32_t i = 1; i <= other.d_nwords; ++i) d_words[d_nwords - i] |= other.d_words[other.d_nwords - i];
    return true;
}

bool nyxBitSet::init_from_other(const nyxBitSet &other) {
    if (&other == this) return true;
    if (!growTo(other.d_nwords)) return false;
    remove_all();
    return merge_set(other);
}

bool nyxBitSet::pregrow(int32_t nbits) { return nbits <= 0 || growTo((nbits - 1) / 32 + 1); }
