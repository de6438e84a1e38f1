// Private declarations of the port code: list helpers and the pre-order cursor that the position
// walk, the iterators and the invariant check share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dm/port.h"

namespace nyxPortInt {

// The list that holds a port: its group's members or the view's ports.
nyxDynArray &ownerList(nyxPort *port);
// The first port of `list` named exactly `name`, other than `except`; null when none.
nyxPort *findInList(const nyxDynArray &list, const char *name, const nyxPort *except);
// Bytes of a port object of class `code`.
size_t objectSize(int32_t code);
// Destroys a port that has left its owner's list and frees its storage.
void release(nyxPort *port, Hx_baseheap *heap);

} // namespace nyxPortInt

// Steps, quit and reset of the iterators of cfidrPortBundleGetNetBundles.
nyxObjRef nyxPortNetBundleIterNext(nyxIter *it, cfidrErrorT *err);
void nyxPortNetBundleIterQuit(nyxIter *it);
void nyxPortNetBundleIterReset(nyxIter *it);

// A resumable pre-order walk over the ports of a list and, when `deep`, over the members of every
// bus and bundle below it. The first levels live in the cursor itself; deeper nesting spills into
// a vector, so that nesting depth is bounded by memory, not by the machine stack.
//   depth == number of levels in use; level i walks the member list of the group yielded last at
//   level i - 1 (level 0 walks the root list).
class nyxPortCursor {
public:
    nyxPortCursor() = default;
    nyxPortCursor(const nyxPortCursor &) = delete;
    nyxPortCursor &operator=(const nyxPortCursor &) = delete;

    void start(const nyxDynArray *root, bool deep) {
        deep_ = deep;
        depth_ = 0;
        spill_.clear();
        if (root != nullptr) push(root);
    }
    // The next port, or null at the end (4 stored when a deeper level could not be had).
    nyxPort *next(cfidrErrorT *err) {
        while (depth_ > 0) {
            Level &l = level(depth_ - 1);
            if (l.index >= l.list->nitems()) {
                pop();
                continue;
            }
            nyxPort *p = static_cast<nyxPort *>((*l.list)[l.index++]);
            if (p == nullptr) {
                pop();
                continue;
            }
            if (deep_ && p->isGroup() && static_cast<nyxPortBundle *>(p)->size() > 0) {
                if (!push(&static_cast<nyxPortBundle *>(p)->members())) {
                    *err = 4;
                    depth_ = 0;
                    return nullptr;
                }
            }
            return p;
        }
        return nullptr;
    }

private:
    struct Level {
        const nyxDynArray *list;
        int32_t index;
    };
    static constexpr int32_t kInline = 8;

    Level &level(int32_t i) { return i < kInline ? inline_[i] : spill_[static_cast<size_t>(i - kInline)]; }
    bool push(const nyxDynArray *list) {
        if (depth_ >= kInline) {
            try {
                spill_.resize(static_cast<size_t>(depth_ - kInline + 1));
            } catch (...) {
                return false;
            }
        }
        level(depth_) = {list, 0};
        ++depth_;
        return true;
    }
    void pop() {
        --depth_;
        if (depth_ >= kInline) spill_.pop_back();
    }

    bool deep_ = true;
    int32_t depth_ = 0;
    Level inline_[kInline] = {};
    std::vector<Level> spill_;
};
