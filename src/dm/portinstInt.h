// Private declarations of the port-instance code: the layout of group storage blocks and the
// walks that the port-instance files share.
#pragma once

#include <cstdint>
#include <vector>

#include "dm/inst.h"
#include "dm/portinst.h"

namespace nyxPortInstInt {

// Deeper than any describer's port tree may go (a record read from a file is bounded far below).
constexpr int kMaxDepth = 4096;

// The group header at the start of a group's first block.
struct GroupHead {
    int32_t start;  // bus: start; bundle: member count
    int32_t step;   // bus: step; bundle: 0
    const nyxFootPrintPort *record;
};

inline uintptr_t wordOf(const void *w) { return *static_cast<const uintptr_t *>(w); }
inline nyxListBlock *blockOfWord(const void *w) {
    return nyxListBlock::getHeader(w, nyxPortInst::kBlockSize);
}
// The first storage block of a group word.
inline nyxListBlock *firstBlock(const void *group) {
    return reinterpret_cast<nyxListBlock *>(wordOf(group) & ~nyxPortInst::kGroupBit);
}
// Whether a block is group storage (otherwise it is an instance block).
inline bool isStorage(const nyxListBlock *b) {
    return b->listType() == nyxCodePortInstBus || b->listType() == nyxCodePortInstBundle;
}
inline GroupHead *headOf(nyxListBlock *first) { return static_cast<GroupHead *>(first->objectAt(0)); }
inline int32_t firstCapacity(int32_t code) {
    return code == nyxCodePortInstBus ? nyxPortInst::kBusFirst : nyxPortInst::kBundleFirst;
}
// Member words held by a block of a group of `total` members.
inline int32_t wordsIn(const nyxListBlock *b, int32_t total) {
    int32_t cap = b->prev() == nullptr ? firstCapacity(b->listType()) : nyxPortInst::kContinuation;
    int32_t left = total - b->userData();
    return left < cap ? (left > 0 ? left : 0) : cap;
}
inline uintptr_t *wordsOf(nyxListBlock *b) {
    char *o = static_cast<char *>(b->objectAt(0));
    return reinterpret_cast<uintptr_t *>(b->prev() == nullptr ? o + sizeof(GroupHead) : o);
}
// The member index of a word inside a storage block.
inline int32_t indexInGroup(nyxListBlock *b, const void *word) {
    return b->userData() + static_cast<int32_t>(static_cast<const uintptr_t *>(word) - wordsOf(b));
}
// Calls f(word) for each member word of a group in order, block by block.
template <class F> void forEachMember(const void *group, F &&f) {
    int32_t total = nyxPortInst::size(group);
    for (nyxListBlock *b = firstBlock(group); b != nullptr; b = b->next()) {
        uintptr_t *w = wordsOf(b);
        for (int32_t i = 0, n = wordsIn(b, total); i < n; ++i) f(w + i);
    }
}

// The indices from the top of the instance down to the word (top-level slot, then member
// indices) and the instance; false when the word is not part of a live instance.
bool pathOf(const void *word, std::vector<int32_t> &path, nyxInst **inst);

} // namespace nyxPortInstInt
