// net.h - nets of a netlist view: scalars, buses, bundles and aliases, and their connections to
// ports and port instances.
//
// Nets live in the list blocks of their view (view.h); the class of a net is the list type of its
// block, so a net object carries no class code. Objects are compact: every reference kept inside
// a net is a 32-bit object word (the address's offset in the page manager's range divided by 8),
// which every heap object has because all heaps live in that range.
//
// A net scalar keeps up to five connections inline; a sixth moves the fifth and the new one to
// a connection array from the view heap, whose word then sits in the fifth slot. Removing a
// connection shifts later inline slots down (or moves the array's first element into the freed
// slot); when the count falls back to five the array's last element returns inline and the array
// is released. Invariants:
//   count <= 5: conn[0 .. count) are the connections, no array
//   count > 5:  conn[0 .. 4) inline, conn[4] the array, array.count == count - 4
//   a connection is a port scalar (its inline tag bit, or bit 0 of an array entry, set) or a
//   port instance scalar; the port side records this net
// Group members are net pointers in an array from the view heap; a net's group count is the
// number of member lists (of any group) that hold it, counted once per occurrence.
#pragma once

#include <cstdint>
#include <vector>

#include "dm/view.h"

// Object words of heap objects (0 for null).
inline uint32_t nyxObjWord(const void *p) {
    return p == nullptr ? 0u
                        : static_cast<uint32_t>((reinterpret_cast<uintptr_t>(p) - Hx_topheap::rangeBase()) >> 3);
}
template <class T = void> inline T *nyxObjPtr(uint32_t word) {
    return word == 0 ? nullptr
                     : reinterpret_cast<T *>(Hx_topheap::rangeBase() + (static_cast<uintptr_t>(word) << 3));
}

// The beginning every net shares.
struct nyxNetHead {
    nyxVarString d_name;    // first: a free slot's link overwrites it
    uint32_t d_props;       // word of the property list, 0 until the first property
    uint16_t d_groupCount;  // member lists that hold this net
    uint16_t d_flags;       // kLive, kGlobal, kHasAliases; scalars: port tags of inline slots

    static constexpr uint16_t kLive = 0x8000;
    static constexpr uint16_t kGlobal = 0x4000;
    static constexpr uint16_t kHasAliases = 0x2000;
    static constexpr uint16_t kPortTags = 0x001f;  // bit i: inline slot i holds a port scalar
};

struct nyxNetScalar : nyxNetHead {
    static constexpr int32_t kInline = 5;
    uint32_t d_connCount;
    uint32_t d_conn[kInline];

    // Connection storage without checks or bookkeeping. add: false when out of memory (nothing
    // changed). remove: false when the object is not a connection of this net.
    static bool addConnection(nyxNetScalar *net, void *obj, bool isPort);
    static bool removeConnection(nyxNetScalar *net, void *obj, bool isPort);
    // The connection at index i (0 .. count-1) and whether it is a port scalar.
    static void *connectionAt(const nyxNetScalar *net, int32_t i, bool *isPort);

    // The net side of destroying a port scalar: forgets the connection (the port clears its own
    // side). False when the port was not connected here.
    static bool removePort(nyxNetScalar *net, void *port) { return removeConnection(net, port, true); }
};

// Members of a group: count, capacity and the member pointers.
struct nyxNetMembers {
    int32_t count;
    int32_t capacity;
    void *items[1];
};

struct nyxNetBundle : nyxNetHead {
    nyxNetMembers *d_members;  // null while empty
    int32_t size() const { return d_members != nullptr ? d_members->count : 0; }
    void *member(int32_t i) const { return d_members->items[i]; }
};

struct nyxNetBus : nyxNetBundle {
    int32_t d_start;
    int32_t d_step;  // never 0
};

struct nyxNetAlias {
    nyxNetAlias *d_next;   // next alias of the same net
    nyxPropList *d_props;  // the alias's properties
    void *d_owner;         // the net it names
    nyxVarString d_name;
    int32_t d_code;        // 20
    int32_t d_global;      // 0 or 1
};

// Operations on nets of any kind.
namespace nyxNet {

// Class code of a net (10, 11 or 12), read from its block.
inline int32_t code(const void *net) {
    return nyxListBlock::getHeader(net, nyxNetlistView::kBlockSize)->listType();
}
inline nyxNetlistView *view(const void *net) {
    return static_cast<nyxNetlistView *>(
        nyxListBlock::getHeader(net, nyxNetlistView::kBlockSize)->parent());
}
inline const char *name(const void *net) { return static_cast<const nyxNetHead *>(net)->d_name.getString(); }
inline bool isGroup(const void *net) { return code(net) != nyxCodeNetScalar; }

// Every net bus and bundle that holds `net` directly or through nested groups, each once, in
// discovery order (appended to `out`, which may hold earlier results that are not repeated).
void getAllNetBundles(void *net, std::vector<void *> &out);

} // namespace nyxNet
