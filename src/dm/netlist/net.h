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

#include "dm/netlist/view.h"

class nyxPortScalar;

// Object words of heap objects (0 for null).
inline uint32_t nyxObjWord(const void *p) { return p == nullptr ? 0u : Hx_topheap::wordOf(p); }
template <class T = void> inline T *nyxObjPtr(uint32_t word) {
    return word == 0 ? nullptr : static_cast<T *>(Hx_topheap::addressOf(word));
}

// The beginning every net shares.
class nyxNetHead {
public:
    nyxVarString d_name;    // first: a free slot's link overwrites it
    uint32_t d_props;       // word of the property list, 0 until the first property
    uint16_t d_groupCount;  // member lists that hold this net
    uint16_t d_flags;       // kLive, kGlobal, kHasAliases; scalars: port tags of inline slots

    static constexpr uint16_t kLive = 0x8000;
    static constexpr uint16_t kGlobal = 0x4000;
    static constexpr uint16_t kHasAliases = 0x2000;
    static constexpr uint16_t kPortTags = 0x001f;  // bit i: inline slot i holds a port scalar
};

class nyxNetScalar : public nyxNetHead {
public:
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

class nyxNetBundle : public nyxNetHead {
public:
    nyxNetMembers *d_members;  // null while empty
    int32_t size() const { return d_members != nullptr ? d_members->count : 0; }
    void *member(int32_t i) const { return d_members->items[i]; }
};

class nyxNetBus : public nyxNetBundle {
public:
    int32_t d_start;
    int32_t d_step;  // never 0
};

class nyxNetAlias {
public:
    nyxNetAlias *d_next;   // next alias of the same net
    nyxPropList *d_props;  // the alias's properties
    void *d_owner;         // the net it names
    nyxVarString d_name;
    int32_t d_code;        // 20
    int32_t d_global;      // 0 or 1
};

// One side of connections: ports or port instances. The net code reaches the objects on that
// side only through these operations, so attach and detach are written once for both.
struct nyxConnSide {
    bool isPort;
    int32_t scalarCode;                  // 5 port scalar, 9 port instance scalar
    cfidrErrorT attachedElsewhere;       // 30 or 28
    cfidrErrorT notAttached;             // 32 or 29
    int32_t (*code)(const void *obj);    // class code of an object of the side
    nyxNetlistView *(*view)(void *obj);  // its view (null when broken)
    nyxNetScalar *(*net)(const void *scalar);
    void (*setNet)(void *scalar, nyxNetScalar *net);
    // The name compared when pairing by name (a port instance's describer port name).
    const char *(*name)(const void *obj);
    // Direct members of a group.
    int32_t (*size)(const void *group);
    void *(*member)(const void *group, int32_t i);
    // The group that holds an object, or null at the top (for the groups seen from a net).
    void *(*owner)(const void *obj, int32_t *ownerCode);
};

extern const nyxConnSide nyxPortSide;
// Defined with the port instances.
extern const nyxConnSide nyxPortInstSide;

// Operations on nets of any kind.
namespace nyxNet {

// The deepest nesting of groups a view holds: along every chain of groups, each holding the
// next, at most this many steps lead from a net that no group holds to the deepest member. The
// view file and every walk over members take this depth; an insertion that would exceed it is
// refused like one that would make a group contain itself (47).
constexpr int32_t kMaxNesting = 1024;

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

// --- Operations behind the interface (argument checks of the frame done by the caller) -------

// Creation in a view (code 12, 11 or 10): 42 read-only, 14 bad name, 26 a net of that class has
// the name, 25 another net or an alias has it (unless trusted data mode), 10 bus step 0.
void *create(nyxNetlistView *view, const char *name, int32_t code, int32_t start, int32_t step,
             cfidrErrorT *err);
// The net of a name (aliases give their net) with its class code; 14 bad name unless trusted
// program mode, 27 none.
nyxObjRef findByName(nyxNetlistView *view, const char *name, cfidrErrorT *err);
void setName(void *net, const char *name, cfidrErrorT *err);
void destroy(void *net, cfidrErrorT *err);

// Attach and detach of a port or port instance (side) in mode 1 (by position) or 2 (by name).
void attach(void *net, void *obj, const nyxConnSide &side, int32_t mode, cfidrErrorT *err);
void detach(void *net, void *obj, const nyxConnSide &side, cfidrErrorT *err);

// Group membership. Insertion: 42 read-only, 37 other view, 47 the group would contain itself
// or the nesting would exceed kMaxNesting (unless trusted data mode), 4.
void insertNet(nyxNetBundle *group, void *net, int32_t position, cfidrErrorT *err);
void removeNet(nyxNetBundle *group, int32_t position, cfidrErrorT *err);
nyxObjRef findMemberByName(nyxNetBundle *group, const char *name, cfidrErrorT *err);
nyxObjRef findMemberByPosition(nyxNetBundle *group, int32_t position, cfidrErrorT *err);
// The containing group of `net` named `name` (27 none).
nyxObjRef findNetBundleByName(void *net, const char *name, cfidrErrorT *err);

void setStart(nyxNetBus *bus, int32_t start, cfidrErrorT *err);
void setStep(nyxNetBus *bus, int32_t step, cfidrErrorT *err);
int32_t getEnd(const nyxNetBus *bus, cfidrErrorT *err);
void setGlobal(void *netOrAlias, bool alias, int32_t value, cfidrErrorT *err);
int32_t getGlobal(const void *netOrAlias, bool alias);

nyxNetAlias *createAlias(void *net, const char *name, cfidrErrorT *err);
// Renames an alias: 42 read-only, 14 bad name (unless trusted data mode; a null name always).
// As at creation, the name is not checked against other nets' names.
void renameAlias(nyxNetAlias *alias, const char *name, cfidrErrorT *err);
void destroyAlias(nyxNetAlias *alias, cfidrErrorT *err);

// --- Builders for readers of stored views -------------------------------------------------------
// Unchecked entry points that a reader builds a view with while the view is being read. They
// never load the view (a checked operation would, and so re-enter the read), run no checks of the
// interface and do no edit bookkeeping (the read ends with nyxNetlistView::readFinished). The
// reader has checked what they take for granted. Each returns null or false only when memory ran
// out (or a count limit was reached), with nothing changed.

// A new net of class `code` (12, 11 or 10), appended to its chain and to the name map when one
// exists. Preconditions: the name is not null; a bus step is not 0. Names are not compared with
// other nets' names: a stored view holds what it was saved with.
void *build(nyxNetlistView *view, const char *name, int32_t code, int32_t start, int32_t step, bool global);
// The same for a reader that must refuse a name in use: one search of the view's name map (made
// now when missing) both finds a net or alias of the name and places the new net. Null with
// *taken true when the name is in use, with *taken false when memory ran out.
void *buildUnique(nyxNetlistView *view, const char *name, int32_t code, int32_t start, int32_t step, bool global,
                  bool *taken);
// A new alias at the head of the net's alias list (name option 0x40000 gives an alias of the same
// name instead, as creation does). Precondition: the name is not null.
nyxNetAlias *buildAlias(void *net, const char *name, bool global);
// Appends `net` to the members of `group`. Preconditions: both belong to the same view, and the
// caller has made sure that no group comes to contain itself and that nesting stays within
// kMaxNesting. False also when the net is already held by 65535 member lists.
bool buildMember(nyxNetBundle *group, void *net);
// Connects a port scalar that is on no net yet to a net scalar of its view.
bool buildAttach(nyxNetScalar *net, nyxPortScalar *port);

// The property list of a net (null until its first property) and its replacement.
inline nyxPropList *props(const void *net) { return nyxObjPtr<nyxPropList>(static_cast<const nyxNetHead *>(net)->d_props); }
inline void setProps(void *net, nyxPropList *list) { static_cast<nyxNetHead *>(net)->d_props = nyxObjWord(list); }

// Iterators, each carrying its own operations. View nets and group members by mode 1-4; the
// rest are lists computed when the iterator is made.
nyxIter *viewNets(nyxNetlistView *view, int32_t mode, cfidrErrorT *err);
nyxIter *members(nyxNetBundle *group, int32_t mode, cfidrErrorT *err);
nyxIter *connections(void *net, const nyxConnSide &side, cfidrErrorT *err);
nyxIter *netBundles(void *net, cfidrErrorT *err);
nyxIter *aliases(void *net, cfidrErrorT *err);

} // namespace nyxNet
