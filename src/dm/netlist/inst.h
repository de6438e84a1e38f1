// inst.h - instances of other views inside a netlist view, and the describer records they share.
//
// Describer records. A view does not point at the ports of the views it instantiates: it keeps
// one record (nyxFootPrint) per describer and describer version, a copy of the describer's port
// tree taken when the first instance of it is made or when the view file is read. Records live in
// the view heap and in the view's describer list; every instance of the describer (at that
// version) shares its record, and the record leaves the list with its last instance.
//   record->d_useCount == number of live instances whose record it is
//   record->d_describer is null or a live view (a view clears the records that cache it when it
//   goes away)
// A new instance takes the first record in list order that caches its describer at the
// describer's version, else the first whose names equal the describer's ignoring case and whose
// version is the describer's. The record index (nyxRecordIndex, built on the first such search)
// answers both without a scan: it holds every record of the list by the hash of its case-folded
// names and version, and every record that caches a describer by that describer; among several
// matches the lowest serial (the earliest in the list) wins.
//   index built: byName holds every record of the list under d_nameKey; byDescriber holds
//   exactly the records whose d_describer is set, under that view's pointer hash; serials rise
//   in list order
//
// Instances. An instance (class code 6) is a slot of an instance list block: its property list,
// its name, its record and then one 8-byte word per top-level port instance (the port instance
// itself; its identifier is the address of the word, see portinst.h). Instances are grouped by
// their number n of top-level slots under list headers (nyxInstListHdr) kept in ascending order
// of n in the view. Blocks are 2048 bytes, aligned on their size, so that masking the address of
// an instance or of one of its words finds the block header; the number of instances a block
// holds is the one callers observe for n slots, floor(988 / (16 + 4 n)).
//   An instance of 243 or more top-level ports lives under the header of slot count 244 in a
//   block of its own holding its body and its first 243 words; the block's object ends with the
//   address of the first continuation block. Continuation blocks (list type 6, parent type 6,
//   parent the instance) hold 247 words each, chained through next(); their user data is the
//   index of their first word.
// Invariants:
//   instance blocks: list type = (n << 8) | 6, parent type 14, parent the view; user data = index
//   of the block in its header's chain times its slot count
//   a slot holds a live instance iff its index < highWater and its record pointer is not null
//   position(inst) == sum over earlier headers of blocks * slots + user data + index in block
//   the instance name map, once built, holds exactly the names of the live instances
#pragma once

#include <cstdint>

#include "dm/netlist/view.h"

class nyxInst;

// One port of a describer record: a tree of these copies the describer's port tree.
struct nyxFootPrintPort {
    nyxVarString d_name;
    int32_t d_code = 0;         // 5 scalar, 4 bus, 3 bundle (0 while a reader has not set it)
    int32_t d_memberCount = 0;  // members of a bus or bundle, 0 for a scalar
    nyxFootPrintPort *d_members = nullptr;
    int32_t d_dirOrStart = 0;   // scalar: direction; bus: start
    int32_t d_step = -1;        // bus: step

    bool isGroup() const { return d_code == nyxCodePortBus || d_code == nyxCodePortBundle; }
    const char *name() const { return d_name.getString(); }
};

class nyxFootPrint {
public:
    nyxVarString d_libName;
    nyxVarString d_cellName;
    nyxVarString d_viewName;
    int32_t d_version = 0;            // describer version the copy was taken from
    int32_t d_writeId = -1;           // number given while a view file is written, -1 otherwise
    nyxNetlistView *d_describer = nullptr;   // cached describer, null until opened
    nyxNetlistView *d_symbolView = nullptr;  // primitive describer (symbol view), null when none
    int32_t d_portCount = 0;          // top-level record ports
    int32_t d_useCount = 0;           // live instances using the record
    nyxFootPrintPort *d_ports = nullptr;
    nyxVarString d_interfaceName;
    uintptr_t d_defaultModel = 0;     // ~0 (none) unless option bit 0x800 was set at construction
    nyxNetlistView *d_owner = nullptr;  // the view whose describer list holds the record
    int32_t d_checked = 0;            // 1 once the port tree was found complete, -1 found broken
    // The instances of the record are owed to the instance references of its describer: set when
    // a record with instances comes to cache a describer, so that caching costs no scan of the
    // owner's instances; the instances are added when the references are asked for
    // (nyxInstance::instanceRefs). Never set while no describer is cached.
    bool d_refsPending = false;
    // Place in the owner's record index: the order of the record in the describer list (records
    // are only appended) and the hash of its names and version.
    uint32_t d_serial = 0;
    uint32_t d_nameKey = 0;

    const char *libName() const { return d_libName.getString(); }
    const char *cellName() const { return d_cellName.getString(); }
    const char *viewName() const { return d_viewName.getString(); }
    const char *interfaceName() const { return d_interfaceName.getString(); }
    bool setInterfaceName(const char *name);
    // Whether a symbol view is set and differs from the describer.
    bool symbolView() const { return d_symbolView != nullptr && d_symbolView != d_describer; }

    // The describer: the cached one (its contents loaded unless `load` is false), else the open
    // view of that library, cell and view name, else the view opened read-only by name. Cached
    // on success. 3 when it does not exist, 40 when it exists but could not be opened or read.
    nyxNetlistView *getDescriber(cfidrErrorT *err, bool load = true);
    void uncacheDescriber();
    // Sets the primitive describer (null clears it); the record then follows that view's life
    // as it follows the describer's.
    void setSymbolView(nyxNetlistView *view);

    // Whether every record port of the tree has a class code 3, 4 or 5 and every group its
    // members (checked once; a reader may leave a record half built).
    bool complete();
};

// A header of the view's chain of instance lists: the instances with n top-level slots.
struct nyxInstListHdr {
    nyxInstListHdr *next;
    int32_t slotCount;        // n; 244 for the instances of 243 or more ports
    nyxNetlistView *view;
    int32_t blocks;
    int32_t perBlock;         // instances per block (observable slot count)
    nyxListBlock *first;
    nyxListBlock *current;
};

class nyxInst {
public:
    static constexpr uint32_t kBlockSize = 2048;  // real size of instance and continuation blocks
    static constexpr int32_t kOwnBlockSlots = 243;  // words of a large instance in its own block
    static constexpr int32_t kContinuationSlots = 247;
    static constexpr int32_t kLargeHeader = 244;     // slot count of the large instances' header

    nyxPropList *d_propList;
    nyxVarString d_name;
    nyxFootPrint *d_footPrint;  // null in a free slot
    // The top-level port-instance words follow.

    nyxFootPrint *footPrint() const { return d_footPrint; }
    const char *name() const { return d_name.getString(); }
    int32_t slotCount() const { return d_footPrint->d_portCount; }
    // The word of top-level port instance i (0 .. slotCount() - 1), continuation blocks included.
    uintptr_t *slot(int32_t i);
    nyxNetlistView *view() const {
        return static_cast<nyxNetlistView *>(nyxListBlock::getHeader(this, kBlockSize)->parent());
    }
    // The instance whose top-level word this is, with its index; null when the address is not a
    // top-level port-instance word of a live instance.
    static nyxInst *ofSlot(const void *word, int32_t *index);
    // Whether the address is a live instance (used to sanitise stored pointers).
    static bool isLive(const nyxInst *inst);

    uintptr_t *words() { return reinterpret_cast<uintptr_t *>(this + 1); }
};
static_assert(sizeof(nyxInst) == 24, "an instance body is three words");

// Walks the instances of a view in header, block and slot order. After nyxInstance::next has
// handed out an instance, block is its block and slot - 1 its index there (getIndex).
struct nyxInstCursor {
    nyxInstListHdr *hdr = nullptr;
    nyxListBlock *block = nullptr;
    int32_t slot = 0;
    bool started = false;
};

// Operations on instances and describer records behind the interface. (The class row of
// instances is the variable nyxInstOps of utils/nyx.h.)
namespace nyxInstance {

// Creates an instance of `describer` in `view`. Unless trusted data mode: 42 read-only view,
// 2 the describer is the view, 14 bad name, 26 an instance has the name, 53 the describer is a
// view of the same cell. Then the edit bookkeeping, the record (getFootPrint) and
// createInstanceOf; 4 when storage could not be had.
nyxInst *createInst(nyxNetlistView *view, nyxNetlistView *describer, const char *name, cfidrErrorT *err);
// Builds an instance of a record of the view with its port-instance tree; no checks and no
// bookkeeping (the reader's path). 4 when storage could not be had or the record is incomplete.
nyxInst *createInstanceOf(nyxNetlistView *view, nyxFootPrint *record, const char *name, cfidrErrorT *err);
// The view's record of the describer at its current version, made when missing; the describer
// is cached in it. 4 when storage could not be had.
nyxFootPrint *getFootPrint(nyxNetlistView *view, nyxNetlistView *describer, cfidrErrorT *err);

// A record from stored data, appended to the view's describer list: names (fix switch 124407
// turns tabs in the view name into "/" and newlines into "."), version and `portCount` top-level
// ports, each to be filled with setPort. Null after 4 (also for a count below 0 or above 2^20,
// which a stored record is taken never to hold; setPort bounds member counts the same way).
nyxFootPrint *footPrintFromStored(nyxNetlistView *view, const char *lib, const char *cell,
                                  const char *viewName, int32_t version, int32_t portCount,
                                  cfidrErrorT *err);
// Fills one record port of a record made by footPrintFromStored (a top-level port or a member
// of a group filled before): name, class code 3/4/5, member count (groups; their member array
// is made here, members then filled the same way), direction or start, step. False after 4
// (bad code, negative count, storage).
bool setPort(nyxFootPrint *record, nyxFootPrintPort *port, const char *name, int32_t code,
             int32_t memberCount, int32_t dirOrStart, int32_t step, cfidrErrorT *err);
// Drops a record that no instance uses (a reader giving up on it).
void dropFootPrint(nyxFootPrint *record);

// Destroys an instance: unless trusted data mode 42 on a read-only view; its port instances,
// properties, name and slot go, and its record with it when it was the last user.
void destroy(nyxInst *inst, cfidrErrorT *err);
// Renames: unless trusted data mode 42, 14, 25 another instance has the name.
void setName(nyxInst *inst, const char *name, cfidrErrorT *err);
// The instance of a name (exact): 14 bad name unless trusted program mode, 27 none.
nyxInst *findByName(nyxNetlistView *view, const char *name, cfidrErrorT *err);
// Makes the view's instance name map now (when it has none), with room for `expected`
// instances: a builder that knows roughly how many come spares the map its growth steps. False
// when memory ran out.
bool reserveNameMap(nyxNetlistView *view, uint32_t expected);
// The instance at a position: 27 beyond the last block, 16 on a free slot.
nyxInst *findByPosition(nyxNetlistView *view, int32_t position, cfidrErrorT *err);
int32_t position(const nyxInst *inst);
// Number of instance slots of the view (free ones included).
int32_t count(nyxNetlistView *view);
bool hasInst(const nyxNetlistView *view);

// The first live instance from the cursor's next block on (headers and blocks in order): the
// out-of-line part of next().
nyxInst *nextBlock(nyxNetlistView *view, nyxInstCursor &cursor);
// The next live instance after the cursor's position (start with a fresh cursor); null at end.
// The rest of the current block is stepped here, inline: walks call this once per instance.
inline nyxInst *next(nyxNetlistView *view, nyxInstCursor &cursor) {
    if (nyxListBlock *b = cursor.block) {
        while (cursor.slot < b->highWater()) {
            auto *inst = static_cast<nyxInst *>(b->objectAt(cursor.slot++));
            if (inst->d_footPrint != nullptr) return inst;
        }
    }
    return nextBlock(view, cursor);
}

// Instance references of a describer view: instances elsewhere whose describer it is. An
// instance whose record owes its instances (d_refsPending) is neither added nor removed: it is
// counted in the records' debt instead. Invariant: instanceRefs(d) lists the instances of every
// record that caches d, once each.
void cacheInstRef(nyxNetlistView *describer, nyxInst *inst);
void uncacheInstRef(nyxNetlistView *describer, nyxInst *inst);
// The instance references of a describer view, with the instances that records owe added first
// (one pass over the instances of each view that owes some).
nyxDynArray &instanceRefs(nyxNetlistView *describer);

// Iterator over a view's instances (kind nyxIterInst).
nyxIter *viewInsts(nyxNetlistView *view, cfidrErrorT *err);

} // namespace nyxInstance
