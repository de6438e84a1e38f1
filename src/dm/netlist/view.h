// view.h - netlist views: the stored view of a cell that holds ports, nets, instances and the
// properties on them, all allocated from the view's own two heaps.
//
// Heaps. The view heap ("NYX NetlistView Heap") holds names, property lists, arrays, aliases and
// port objects; the block heap ("NYX Listblock Heap") holds only the list blocks of nets and
// instances, so that its blocks stay aligned on their size. Purging the view drops both heaps
// without visiting the objects.
//
// Net storage. Nets live in three chains of nyxListBlock (scalars, bundles, buses). A block holds
// 22 scalars, 27 bundles or 22 buses whatever the real object sizes, so that positions (slot
// indices counted over the chains in that order, free slots included) are what callers expect.
// Invariants:
//   every block of chain k has list type = class code of k and parent = this view
//   position(net) == sum(maxCount of the blocks before it, over the chains in order) + slot
//   the net name map, once built, holds exactly the names of the live nets and their aliases
//   d_netDeleted == 0 implies every block before the current one of each chain is full
//
// Instance storage, describer records and the references between views that instantiate and
// views that describe are described in inst.h; a view going away clears every such reference
// held by other views, so that no view keeps a pointer to a purged or destroyed one.
//
// Edit bookkeeping. Every change of the view's contents calls viewChanged(view): the version goes
// up, the view is marked changed, the session-wide view version goes up and the cached port
// positions are marked stale.
//
// Change serials and the view epoch. Structures derived from many views (the occurrence tree)
// need two facts the stored version cannot give: whether a given view changed since they read
// it (the stored version goes back on a reread) and whether any view they point at was freed
// (deleting a view changes no version). So:
//   editSerial() strictly increases on every viewChanged, readFinished and emptyStored of the view
//   epoch() strictly increases whenever a netlist view object is deleted (purge, destroy, the
//   purge or destruction of its library or cell) or the global state is released with its views
#pragma once

#include <cstdint>
#include <string>

#include "dm/store/store.h"

class nyxNetMap;
class nyxInstMap;
class nyxPtrIndex;
struct nyxInstListHdr;
struct nyxRecordIndex;

// A chain of list blocks of one net kind.
struct nyxNetChain {
    nyxListBlock *first = nullptr;
    nyxListBlock *current = nullptr;
    int32_t blocks = 0;
};

// Lazily built map from a position to the block that holds it: (last position in block, block)
// pairs in chain order after a sentinel (-1, null).
struct nyxBlkCache {
    struct Pair {
        int32_t last;
        nyxListBlock *block;
    };
    int32_t count;  // pairs, sentinel included
    Pair pairs[1];

    // An empty cache with room for `blocks` pairs after the sentinel; null when out of memory.
    static nyxBlkCache *make(Hx_genheap *heap, int32_t blocks);
    // Gives a complete cache back to its heap and clears the pointer (nothing when null).
    static void drop(Hx_genheap *heap, nyxBlkCache *&cache);
    // Appends the next block of the chain, which holds `slots` positions.
    void add(nyxListBlock *b, int32_t slots) {
        pairs[count].last = pairs[count - 1].last + slots;
        pairs[count].block = b;
        ++count;
    }
    // The block holding position pos and the slot index in it: a binary search for the first
    // pair whose last position is not below pos. Null when pos lies outside every block.
    nyxListBlock *find(int32_t pos, int32_t *index) const;
};

class nyxNetlistView final : public nyxDMObj {
public:
    static constexpr const char *kViewType = "CFIDR_NETLISTVIEW";
    // Blocks of nets and instances: real size, and the slot counts callers observe.
    static constexpr uint32_t kBlockSize = 1024;
    static constexpr int32_t kScalarSlots = 22;
    static constexpr int32_t kBundleSlots = 27;
    static constexpr int32_t kBusSlots = 22;
    // Chains in iteration and position order.
    enum Chain : int32_t { kScalarChain = 0, kBundleChain = 1, kBusChain = 2, kChains = 3 };

    // Makes a view of `cell` named `name` (tabs become "/", newlines ".") with its own heaps and
    // appends it to the cell's view list. `created`: a new view (loaded, changed, version 0);
    // otherwise a view listed from the cell directory whose contents are read on first touch.
    // Null after 4.
    static nyxNetlistView *construct(nyxCell *cell, const char *name, cfidrAccessModeT mode,
                                     bool created, cfidrErrorT *err);
    // The construct operation of the type-table rows of netlist views.
    static nyxDMObj *constructStored(nyxCell *cell, const char *name, int32_t row, cfidrErrorT *err);

    const char *pathnameObj() override;
    const char *nameObj() const override { return d_name.getString(); }
    void deleteObj() override;
    void saveObj(cfidrErrorT *err) override;
    void destroyObj(cfidrErrorT *err) override;

    // Loads the view's contents when not yet loaded, through nyxDMObj::openObj (the only place
    // that reads it and marks it loaded). A listed view whose kind has no reader yet reports 27;
    // one whose file cannot be read reports the read's error, every time. False with the error.
    static bool load(nyxNetlistView *view, cfidrErrorT *err);

    // The view as if never read (the "empty, keep identity" operation of stored objects): every
    // instance, describer record, port, net with its aliases and property goes, the view type,
    // version and changed flag return to those of a listed view; the view keeps its name, cell,
    // heaps and place in the cell's list. Runs in expert mode after a failed read, and on views
    // that a memory decoder (tests, fuzzing) filled itself; the loaded state is not its business.
    void emptyStored() override;
    // The end of a successful read: the stored version, not changed, and the caches that depend
    // on the view's contents stale (the builders skip the edit bookkeeping).
    static void readFinished(nyxNetlistView *view, int32_t version);
    // The builder of readers for properties (see "Builders" in net.h): a new property named `name`
    // on the view's own list, without loading the view. The property room's checks are those of
    // creation, which the expert mode of a read turns off. {list, property class, index}; a null
    // ref when memory ran out.
    static nyxObjRef buildProp(nyxNetlistView *view, const char *name);

    // A view name as stored: every tab becomes "/" and every newline ".".
    static std::string storedName(const char *name);
    // The name rule: non-null, non-empty, 7-bit characters, no control characters.
    static bool validString(const char *name) { return nyxDMUtil::validName(name); }

    // Edit bookkeeping (see above) and its reverse after a save or load.
    static void viewChanged(nyxNetlistView *view);
    static void viewNowClean(nyxNetlistView *view) { view->d_changed = 0; }
    // Change serials and the view epoch (see the top of this file).
    uint64_t editSerial() const { return d_editSerial; }
    // A release drops the views with the heaps, without their destructors: the generation of
    // the global state counts it. Inline: every step of an occurrence walk compares it.
    static uint64_t epoch() { return s_viewsDeleted + nyx::generation(); }

    Hx_genheap *viewHeap() const { return d_viewHeap; }
    Hx_genheap *blockHeap() const { return d_blockHeap; }
    // The view's top-level ports in creation order (the port code keeps it).
    nyxDynArray &ports() { return d_ports; }
    nyxCell *owner() const { return d_owner; }
    // Whether the containing library or view refuses edits (42), trusted data mode aside.
    bool editRefused() const { return !nyx::trustedData() && readOnly(); }

    // Operations behind the interface.
    static const char *getViewType(nyxNetlistView *view) { return view->d_viewType.getString(); }
    static bool changeViewType(nyxNetlistView *view, const char *type);
    static void setName(nyxNetlistView *view, const char *name, cfidrErrorT *err);
    static void save(nyxNetlistView *view, cfidrErrorT *err);
    // Deletes the in-memory view without writing it; the cell lists the stored view again when
    // its file exists.
    static void purge(nyxNetlistView *view, cfidrErrorT *err);
    static void destroy(nyxNetlistView *view, cfidrErrorT *err);
    // Deletes the files of a view by path (missing files are not an error; other failures 4).
    static void remove(const char *path, cfidrErrorT *err);
    // Grows the heaps for an expected number of objects.
    static void sizeHint(nyxNetlistView *view, int32_t size);

    // The view that holds an object of class `code` (view, net, net alias, port; null otherwise).
    static nyxNetlistView *ofObject(void *obj, int32_t code);

    // --- Net storage (nets live in the block chains) ------------------------------------------
    nyxNetChain &chain(int32_t k) { return d_netChains[k]; }
    // A free slot of chain k, from a new block when needed; null when out of memory.
    void *newNetSlot(int32_t k);
    // Gives a net's slot back to its block and notes that a net was deleted.
    void freeNetSlot(void *slot);
    // The net at a position: 27 beyond the last block, 16 on a free slot.
    void *netAtPosition(int32_t pos, int32_t *code, cfidrErrorT *err);
    int32_t netPosition(const void *net);
    int32_t netSlotCount() const;
    // The live nets of every chain: what an iteration over all nets gives, counted per block.
    int32_t netTotal() const;
    bool hasNet() const;
    void dropNetPosCache();

    nyxNetMap *netNameMap() const { return d_netNameMap; }
    // The net name map, built from every net and alias on first use, with room for at least
    // `expected` names (a reader's declared count); null when out of memory.
    nyxNetMap *buildNetNameMap(uint32_t expected = 0);
    // Net aliases are found through the view: the head of a net's alias list.
    void *aliasHead(const void *net) const;
    bool setAliasHead(const void *net, void *alias);

    // --- Instance storage (inst.h) ---------------------------------------------------------------
    nyxInstListHdr *&instLists() { return d_instLists; }
    nyxInstListHdr *instLists() const { return d_instLists; }
    nyxBlkCache *&instPosCache() { return d_instPosCache; }
    nyxInstMap *&instNameMap() { return d_instNameMap; }
    // Describer records (nyxFootPrint) of the views instantiated here, and their index (inst.h),
    // built on the first search for a record.
    nyxDynArray &describers() { return d_describers; }
    nyxRecordIndex *&recordIndex() { return d_recordIndex; }
    // Index of ports by owner and name (port.h), built when a long port list is first searched.
    nyxPtrIndex *&portIndex() { return d_portIndex; }
    // Instances in other views whose describer is this view, but those that the records caching
    // it still owe (nyxFootPrint::d_refsPending; nyxInstance::instanceRefs settles the debt).
    nyxDynArray &instRefs() { return d_instRefs; }
    // Describer records of other views that cache this view (as describer or symbol view).
    nyxDynArray &cachedBy() { return d_cachedBy; }
    void dropInstPosCache();

    // Port-instance properties: the list of a port instance (null when none), created with
    // `create` on first use (null when out of memory).
    nyxPropList **propsOnPortInst(const void *portInst, bool create);

    int32_t d_version = 0;
    int32_t d_changed = 1;
    int32_t d_portPositionsValid = 0;
    int16_t d_describersOnly = 0;
    int16_t d_netDeleted = 0;
    // Storage of small port-instance groups, shared slabs by size (the port-instance code owns it;
    // it lives in the view heap and its blocks in the block heap).
    void *d_portInstSlabs = nullptr;
    // Views made by a compiler: the text it named as the view's source (in the view heap; kept
    // in memory only, never saved) and the edit serial the view had when its compilation ended
    // (0 for a view no compiler made), by which the compiler reader tells a view it may replace.
    nyxVarString d_compiledFrom;
    uint64_t d_compiledSerial = 0;

private:
    nyxNetlistView(nyxCell *cell, cfidrAccessModeT mode, Hx_genheap *viewHeap, Hx_genheap *blockHeap);
    ~nyxNetlistView() override;

    nyxCell *d_owner;
    nyxVarString d_name;
    nyxVarString d_viewType;
    Hx_genheap *d_viewHeap;
    Hx_genheap *d_blockHeap;
    nyxDynArray d_instRefs;  // instances elsewhere whose describer is this view
    nyxDynArray d_ports;
    nyxDynArray d_describers;
    nyxDynArray d_cachedBy;
    nyxNetMap *d_netNameMap = nullptr;
    nyxInstMap *d_instNameMap = nullptr;
    nyxRecordIndex *d_recordIndex = nullptr;
    nyxPtrIndex *d_portIndex = nullptr;
    nyxNetChain d_netChains[kChains];
    nyxBlkCache *d_netPosCache = nullptr;
    nyxInstListHdr *d_instLists = nullptr;
    nyxBlkCache *d_instPosCache = nullptr;
    nyxOIDHashTable *d_propsOnPortInsts = nullptr;
    nyxOIDHashTable *d_aliasHeads = nullptr;
    uint64_t d_editSerial = 0;
    static uint64_t s_viewsDeleted;  // netlist view objects deleted so far (epoch())
};

// Lookups and counts of a view behind the interface.
namespace nyxViewOps {

// The tolerant port lookup: letter case ignored, a bus or bundle found by the base of its name.
// 14 bad name (unless trusted program mode), 27 nothing taken.
nyxObjRef findPortByNearestName(nyxNetlistView *view, const char *name, cfidrErrorT *err);
// The net at a position: 27 beyond the last block, 16 on a free slot.
nyxObjRef findNetByPosition(nyxNetlistView *view, int32_t position, cfidrErrorT *err);
// The number of net slots (positions 0 .. count - 1 may be asked for).
int32_t getNetCount(nyxNetlistView *view, cfidrErrorT *err);

} // namespace nyxViewOps
