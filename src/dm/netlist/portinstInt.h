// Private declarations of the port-instance code: the layout of group storage blocks and the
// walks that the port-instance files share.
#pragma once

#include <cstdint>
#include <vector>

#include "dm/netlist/inst.h"
#include "dm/netlist/portinst.h"

namespace nyxPortInstInt {

// Deeper than any describer's port tree may go (a record read from a file is bounded far below).
constexpr int kMaxDepth = 4096;

// Groups of at most kSlabMax members share slab blocks (list type = class code | kSlabFlag, one
// slab per view, class code and capacity 1, 2, 4 ... kSlabMax, user data = capacity class); each
// group is one object of the slab: a SlabHead and the member words. Larger groups own a chain
// of blocks (list type = class code): a GroupHead in the first, members after it and in the
// continuation blocks. A group word holds the address of its object (slab) or of its first
// block (chain), so masking that address finds the block either way.
constexpr int32_t kSlabFlag = 0x100;
constexpr int32_t kSlabMax = 64;
constexpr int kSlabClasses = 7;

// The group header at the start of a chained group's first block.
struct GroupHead {
    int32_t start;  // bus: start; bundle: member count
    int32_t step;   // bus: step; bundle: 0
    const nyxFootPrintPort *record;
};
// The header of a group in a slab (the owning word is kept here, the block serving many groups).
struct SlabHead {
    void *parent;  // the group's own word
    const nyxFootPrintPort *record;
    int32_t start;  // as in GroupHead
    int32_t step;
};

inline uintptr_t wordOf(const void *w) { return *static_cast<const uintptr_t *>(w); }
inline nyxListBlock *blockOfWord(const void *w) {
    return nyxListBlock::getHeader(w, nyxPortInst::kBlockSize);
}
// The address a group word holds: its slab object or its first block.
inline char *groupAddr(const void *group) {
    return reinterpret_cast<char *>(wordOf(group) & ~nyxPortInst::kGroupBit);
}
// Whether a block is group storage (otherwise it is an instance block), and of which kind.
inline bool isStorage(const nyxListBlock *b) {
    int32_t t = b->listType() & ~kSlabFlag;
    return t == nyxCodePortInstBus || t == nyxCodePortInstBundle;
}
inline bool isSlab(const nyxListBlock *b) { return (b->listType() & kSlabFlag) != 0; }
inline int32_t storageCode(const nyxListBlock *b) { return b->listType() & ~kSlabFlag; }
// The first block of a chained group.
inline nyxListBlock *firstBlock(const void *group) { return reinterpret_cast<nyxListBlock *>(groupAddr(group)); }
inline GroupHead *headOf(nyxListBlock *first) { return static_cast<GroupHead *>(first->objectAt(0)); }
inline int32_t firstCapacity(int32_t code) {
    return code == nyxCodePortInstBus ? nyxPortInst::kBusFirst : nyxPortInst::kBundleFirst;
}
// Member words held by a block of a chained group of `total` members.
inline int32_t wordsIn(const nyxListBlock *b, int32_t total) {
    int32_t cap = b->prev() == nullptr ? firstCapacity(b->listType()) : nyxPortInst::kContinuation;
    int32_t left = total - b->userData();
    return left < cap ? (left > 0 ? left : 0) : cap;
}
inline uintptr_t *wordsOf(nyxListBlock *b) {
    char *o = static_cast<char *>(b->objectAt(0));
    return reinterpret_cast<uintptr_t *>(b->prev() == nullptr ? o + sizeof(GroupHead) : o);
}
inline uintptr_t *slabWords(char *obj) { return reinterpret_cast<uintptr_t *>(obj + sizeof(SlabHead)); }
inline const nyxFootPrintPort *groupRecord(const void *group) {
    char *a = groupAddr(group);
    nyxListBlock *b = blockOfWord(a);
    return isSlab(b) ? reinterpret_cast<SlabHead *>(a)->record : headOf(b)->record;
}
// The word of the group that holds member word w (in block b), and w's index in that group.
inline const void *parentOf(nyxListBlock *b, const void *w) {
    if (!isSlab(b)) return b->parent();
    return static_cast<SlabHead *>(nyxListBlock::getObject(w, nyxPortInst::kBlockSize))->parent;
}
inline int32_t indexInGroup(nyxListBlock *b, const void *word) {
    const auto *w = static_cast<const uintptr_t *>(word);
    if (isSlab(b)) return static_cast<int32_t>(w - slabWords(static_cast<char *>(nyxListBlock::getObject(w, nyxPortInst::kBlockSize))));
    return b->userData() + static_cast<int32_t>(w - wordsOf(b));
}
// Calls f(word) for each member word of a group in order, block by block.
template <class F> void forEachMember(const void *group, F &&f) {
    int32_t total = nyxPortInst::size(group);
    char *a = groupAddr(group);
    if (isSlab(blockOfWord(a))) {
        uintptr_t *w = slabWords(a);
        for (int32_t i = 0; i < total; ++i) f(w + i);
        return;
    }
    for (nyxListBlock *b = firstBlock(group); b != nullptr; b = b->next()) {
        uintptr_t *w = wordsOf(b);
        for (int32_t i = 0, n = wordsIn(b, total); i < n; ++i) f(w + i);
    }
}

// The indices from the top of the instance down to the word (top-level slot, then member
// indices) and the instance; false when the word is not part of a live instance.
bool pathOf(const void *word, std::vector<int32_t> &path, nyxInst **inst);

} // namespace nyxPortInstInt
