// port.h - ports: the interface of a netlist view.
//
// Three kinds, nestable without limit: a port scalar (class 5) is one signal with a direction and
// at most one attached net scalar; a port bus (class 4) is an ordered, indexed group of member
// ports (member i has index start + i * step); a port bundle (class 3) is an ordered, unindexed
// group. A bus is a kind of bundle: nyxPortBus derives from nyxPortBundle and everything that
// takes a bundle takes a bus. Port objects are allocated one by one from the view heap.
//
// Invariants (nyxPort::isValid walks them):
//   a port is held in exactly one list: its owner's members(), or the view's ports();
//   d_owner/d_ownerCode name that container (14 the view, 3 or 4 a group);
//   every port of a tree belongs to one view, d_view, the end of its owner chain;
//   names are unique among the members of one owner and among the view's top-level ports;
//   a bus's step is never 0 (unless trusted data mode let a caller create it so);
//   a scalar's d_net is null or a net scalar of the same view that lists the port.
//
// Full port order of a view: pre-order, depth first: each top-level port in list order, then,
// right after a bus or bundle, its members in member order, each expanded the same way. The view
// position of a port is its index in that order; the positions are cached in the ports and
// recomputed by one walk the first time one is needed after any edit of the view (the view's
// edit bookkeeping clears portPositionsValid).
//
// How the netlist view takes part
// -------------------------------
// The view's class row lists its top-level ports through nyxPortViewPortsGetter (getters[
// nyxIterPort], used when its identifiers are withdrawn); port iterators carry their own
// operations.
#pragma once

#include <cstdint>

#include "dm/store/store.h"

class nyxNetlistView;
class nyxNetScalar;
class nyxPortBundle;
class nyxPortBus;
class nyxPortScalar;

// The beginning shared by every port.
class nyxPort {
public:
    // The deepest nesting of ports: at most this many groups hold a port, the depth that the
    // view file, describer records and every walk over members take. Creating or moving a port
    // deeper is refused like moving a group into itself (47).
    static constexpr int32_t kMaxNesting = 1024;

    nyxPropList *d_propList = nullptr;
    int32_t d_code;          // 5, 4 or 3
    int32_t d_ownerCode;     // 14 (the view), 4 or 3
    void *d_owner;           // the view, port bus or port bundle
    nyxVarString d_name;     // in the view heap
    int32_t d_viewPosition = -1;  // cached position in the view's full port order
    // Hash of the name (nameHash), set at creation; ports are never renamed. Name searches of an
    // owner's list compare it before the names, so that a search costs one word per port.
    uint32_t d_nameHash = 0;
    // The view at the top of the owner chain. Ports never move to another view, so this stays
    // what walking the chain would give, and finding a port's view costs no walk.
    nyxNetlistView *d_view;

    nyxPort(int32_t code, void *owner, int32_t ownerCode, nyxNetlistView *view)
        : d_code(code), d_ownerCode(ownerCode), d_owner(owner), d_view(view) {}
    nyxPort(const nyxPort &) = delete;
    nyxPort &operator=(const nyxPort &) = delete;

    const char *name() const { return d_name.getString(); }
    static uint32_t nameHash(const char *name) {
        uint32_t h = 2166136261u;
        for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c != 0; ++c) {
            h = (h ^ *c) * 16777619u;
        }
        return h;
    }
    bool isScalar() const { return d_code == nyxCodePortScalar; }
    bool isGroup() const { return d_code == nyxCodePortBundle || d_code == nyxCodePortBus; }
    // The owning group, or null for a top-level port.
    nyxPortBundle *ownerGroup() const {
        return d_ownerCode == nyxCodeNetlistView ? nullptr : static_cast<nyxPortBundle *>(d_owner);
    }

    // The view at the top of the owner chain.
    static nyxNetlistView *getOwningView(const nyxPort *port) { return port->d_view; }
    // A port is usable when its class code is its kind's, it has an owner, the owner's class code
    // is 3, 4 or 14, and the owner is usable in turn.
    static bool isUsable(const nyxPort *port);

    // --- Creation -------------------------------------------------------------------------
    // A new port in `group` (or at the top of `view` when group is null), placed before the port
    // now at `position` (appended when position is outside 0 .. size - 1). Unless trusted data
    // mode is on: 42 read-only view, 14 bad name, 26 the owner has a port of that name and kind,
    // 25 of another kind, then 8 direction outside 0-3 (scalar) or 10 step 0 (bus). 4 when memory
    // ran out. Null on error.
    static nyxPortScalar *createPortScalar(nyxNetlistView *view, nyxPortBundle *group, const char *name,
                                           int32_t position, int32_t direction, cfidrErrorT *err);
    static nyxPortBus *createPortBus(nyxNetlistView *view, nyxPortBundle *group, const char *name,
                                     int32_t position, int32_t start, int32_t step, cfidrErrorT *err);
    static nyxPortBundle *createPortBundle(nyxNetlistView *view, nyxPortBundle *group, const char *name,
                                           int32_t position, cfidrErrorT *err);
    // The builder of readers of stored views (see "Builders" in net.h): appends a port of class
    // `code` (5 scalar with direction `dirOrStart`, 4 bus with start `dirOrStart` and `step`, 3
    // bundle) to the view's ports or to `group`'s members, without loading the view, checks or
    // edit bookkeeping. Preconditions: the name is not null; a direction lies in 0-3, a bus step
    // is not 0; `group` belongs to the view and the nesting stays within kMaxNesting. Null when
    // memory ran out or for another code.
    static nyxPort *build(nyxNetlistView *view, nyxPortBundle *group, const char *name, int32_t code,
                          int32_t dirOrStart, int32_t step);

    // --- Queries ---------------------------------------------------------------------------
    // The index of the port in its owner's list (-1 when absent).
    static int32_t getPosition(const nyxPort *port);
    // The index of the port in the view's full port order (-1 when absent).
    static int32_t getPositionInView(nyxPort *port);
    // A member by exact name among the ports of `list` (14 bad name unless trusted program mode;
    // 27 none). Also the view's top-level lookup.
    static nyxPort *findByName(const nyxDynArray &list, const char *name, cfidrErrorT *err);
    // The member at `position` of a group (46 outside 0 .. size - 1).
    static nyxPort *findByPosition(const nyxPortBundle *group, int32_t position, cfidrErrorT *err);
    // The direction reported to callers: the stored one, except that a stored 0 reads as 3 while
    // option bit 0x800 is set.
    static int32_t getDirection(const nyxPortScalar *port);

    // --- Edits -----------------------------------------------------------------------------
    // Makes the port a member of `group` (a bus or bundle of the same view) at `position` (end
    // when outside 0 .. size). Unless trusted data mode: 42, 25 another member has the name, 37
    // another view, 47 group is the port or lies inside it.
    static void setOwnerPortBundle(nyxPort *port, nyxPortBundle *group, int32_t position, cfidrErrorT *err);
    // Makes the port a top-level port of its view (25 checked only when it is not top level).
    static void setOwnerView(nyxPort *port, int32_t position, cfidrErrorT *err);
    // Destroys the port: scalars are detached from their nets, groups destroy their members
    // first; then the port leaves its owner's list and its memory goes back to the view heap.
    // 42 read-only view unless trusted data mode.
    static void destroy(nyxPort *port, cfidrErrorT *err);

    // Walks the ports of a view and checks the invariants above.
    static bool isValid(nyxNetlistView *view);
};

class nyxPortScalar : public nyxPort {
public:
    int32_t d_direction = 0;         // 0 undefined, 1 input, 2 output, 3 input-output
    nyxNetScalar *d_net = nullptr;   // the attached net, null when unattached

    nyxPortScalar(nyxNetlistView *view, void *owner, int32_t ownerCode, int32_t direction)
        : nyxPort(nyxCodePortScalar, owner, ownerCode, view), d_direction(direction) {}

    nyxNetScalar *net() const { return d_net; }
    // Only the net side calls this, keeping both sides consistent.
    void setNet(nyxNetScalar *net) { d_net = net; }
};

class nyxPortBundle : public nyxPort {
public:
    nyxDynArray d_members;  // member ports in order; its count is the size

    nyxPortBundle(nyxNetlistView *view, void *owner, int32_t ownerCode, Hx_baseheap *heap,
                  int32_t code = nyxCodePortBundle)
        : nyxPort(code, owner, ownerCode, view), d_members(heap) {}

    const nyxDynArray &members() const { return d_members; }
    nyxDynArray &members() { return d_members; }
    int32_t size() const { return d_members.nitems(); }
    nyxPort *member(int32_t i) const { return static_cast<nyxPort *>(d_members[i]); }
    // Member count plus, recursively, the count of each member bus or bundle.
    static int32_t getPortCount(const nyxPortBundle *group);
};

class nyxPortBus : public nyxPortBundle {
public:
    int32_t d_start;
    int32_t d_step;  // never 0

    nyxPortBus(nyxNetlistView *view, void *owner, int32_t ownerCode, Hx_baseheap *heap, int32_t start,
               int32_t step)
        : nyxPortBundle(view, owner, ownerCode, heap, nyxCodePortBus), d_start(start), d_step(step) {}

    // 42 read-only view unless trusted data mode; 10 step 0.
    static void setStart(nyxPortBus *bus, int32_t start, cfidrErrorT *err);
    static void setStep(nyxPortBus *bus, int32_t step, cfidrErrorT *err);
    // The last index of the index list in the bus name's subscript; 14 when there is none.
    static int32_t getEnd(const nyxPortBus *bus, cfidrErrorT *err);
};

// --- The view's side -----------------------------------------------------------------------------

// Number of ports in the view's full order.
int32_t nyxPortViewCount(nyxNetlistView *view, cfidrErrorT *err);
// The port at a view position with its class code ({null, 0} outside 0 .. count - 1, no error).
nyxObjRef nyxPortViewFindByPosition(nyxNetlistView *view, int32_t position, cfidrErrorT *err);
// Recomputes the cached view positions when the view was edited since the last walk.
void nyxPortRefreshPositions(nyxNetlistView *view);

// Port iterators. Modes: 1 port scalars at every depth, 2 buses and bundles at every depth,
// 3 the owner's direct members (the view's top-level ports), 4 every port; any other mode yields
// nothing. Below a group the group itself is not yielded. Null when memory ran out (4).
nyxIter *nyxPortViewGetPorts(nyxNetlistView *view, int32_t mode, cfidrErrorT *err);
nyxIter *nyxPortBundleGetPorts(nyxPortBundle *group, int32_t mode, cfidrErrorT *err);
// Getter of the view's top-level ports (mode 3), for the view's class row.
nyxIter *nyxPortViewPortsGetter(void *view, uint32_t member, cfidrErrorT *err);

// The net buses and bundles that hold, directly or through nested groups, the net of any port
// scalar under a port group, each once (iterator kind nyxIterNetBundle).
nyxIter *nyxPortBundleGetNetBundles(nyxPortBundle *group, cfidrErrorT *err);
