// Private declarations of the port code: list helpers and the pre-order cursor that the position
// walk, the iterators and the invariant check share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dm/netlist/port.h"

namespace nyxPortInt {

// The list that holds a port: its group's members or the view's ports.
nyxDynArray &ownerList(nyxPort *port);
// The first port of `list` named exactly `name`, other than `except`; null when none.
nyxPort *findInList(const nyxDynArray &list, const char *name, const nyxPort *except);
// The same among the ports of `owner` (the view or a group of it), whose list is `list`, through
// the view's port index (built when the list is long).
nyxPort *findMember(nyxNetlistView *view, const void *owner, const nyxDynArray &list, const char *name,
                    const nyxPort *except);
// The port joins or leaves the view's port index (when the index exists), under its current
// owner and name.
void indexAdd(nyxPort *port);
void indexRemove(nyxPort *port);
// Bytes of a port object of class `code`.
size_t objectSize(int32_t code);
// Destroys a port that has left its owner's list and frees its storage.
void release(nyxPort *port, Hx_baseheap *heap);

} // namespace nyxPortInt

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

    // `version`, when given, is the view's edit counter: when it moved since the last step, the
    // levels are checked again before the walk goes on (see revalidate).
    void start(const nyxDynArray *root, bool deep, const int32_t *version = nullptr) {
        deep_ = deep;
        depth_ = 0;
        version_ = version;
        seen_ = version != nullptr ? *version : 0;
        spill_.clear();
        if (root != nullptr) push(root, nullptr);
    }
    // The next port, or null at the end (4 stored when a deeper level could not be had).
    nyxPort *next(cfidrErrorT *err) {
        if (version_ != nullptr && *version_ != seen_) {
            revalidate();
            seen_ = *version_;
        }
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
                auto *g = static_cast<nyxPortBundle *>(p);
                if (!push(&g->members(), g)) {
                    *err = cfidrErrInternal;
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
        const nyxPortBundle *group;  // owner of list (null at level 0)
    };
    static constexpr int32_t kInline = 8;

    Level &level(int32_t i) { return i < kInline ? inline_[i] : spill_[static_cast<size_t>(i - kInline)]; }
    // After an edit of the view the groups whose members are being walked may have been moved or
    // destroyed. Level i is kept only while the port that level i - 1 yielded last is still its
    // group; the first level that fails is dropped with every deeper one. Each group is read only
    // after it was found in a list that is known to be alive, so no freed port is touched; the
    // walk may then skip or repeat ports that were edited, but it never leaves the live tree.
    void revalidate() {
        for (int32_t i = 1; i < depth_; ++i) {
            const Level &up = level(i - 1);
            const void *at = up.index > 0 ? (*up.list)[up.index - 1] : nullptr;
            const Level &l = level(i);
            if (at != l.group || &l.group->members() != l.list) {
                while (depth_ > i) pop();
                return;
            }
        }
    }
    bool push(const nyxDynArray *list, const nyxPortBundle *group) {
        if (depth_ >= kInline) {
            try {
                spill_.resize(static_cast<size_t>(depth_ - kInline + 1));
            } catch (...) {
                return false;
            }
        }
        level(depth_) = {list, 0, group};
        ++depth_;
        return true;
    }
    void pop() {
        --depth_;
        if (depth_ >= kInline) spill_.pop_back();
    }

    bool deep_ = true;
    int32_t depth_ = 0;
    const int32_t *version_ = nullptr;
    int32_t seen_ = 0;
    Level inline_[kInline] = {};
    std::vector<Level> spill_;
};
