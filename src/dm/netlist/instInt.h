// Private declarations of the instance code: the instance name map and the storage steps that
// the instance files share.
#pragma once

#include <cstdint>

#include "dm/netlist/inst.h"
#include "dm/netlist/portinst.h"
#include "utils/ptrindex.h"
#include "utils/oatable.h"

// The instance name map of a view: names to instances, an open-addressing table
// (utils/oatable.h) whose home slot is hash(name) & (capacity - 1). A slot is 8 bytes: the
// instance's object word (bits 0-31, 0 for an empty slot) and the hash of its name (bits 32-63).
// The names are not copied: a lookup compares with the instance's own name, and only in a slot
// whose hash matches, so a probe past other names and a growth never touch their instances. A
// rename removes the entry under the old name first.
// Invariants: the table's, and size() * 2 <= capacity(); capacity a power of two, at least 512
// (503 rounded up); the hash of every entry is that of its instance's current name.
class nyxInstMap {
public:
    static nyxInstMap *create(Hx_baseheap *heap, uint32_t expected);
    static void destroy(nyxInstMap *map);

    bool add(nyxInst *inst);
    // Removes the entry of `inst`, which sits under `name`.
    bool remove(const char *name, const nyxInst *inst);
    nyxInst *find(const char *name) const;
    uint32_t size() const { return d_table.size(); }
    bool isValid() const;

    // The table's traits: the packed slot above, placed by the hash it carries.
    struct Traits {
        using Slot = uint64_t;
        using Index = nyxOAMaskIndex;
        static constexpr uint32_t kHugeFrom = UINT32_MAX;
        static constexpr bool kPrefetchOnGrow = false;
        static bool isEmpty(uint64_t s) { return s == 0; }
        static uint32_t hashOf(uint64_t s) { return static_cast<uint32_t>(s >> 32); }
        static uint32_t maxLoad(uint32_t cap) { return cap / 2; }
    };

private:
    explicit nyxInstMap(Hx_baseheap *heap) : d_table(heap) {}
    static uint32_t hash(const char *name);

    nyxOATable<Traits> d_table;
};

namespace nyxInstStore {

// A slot for a new instance of n top-level ports (the body is zeroed, the words too), with the
// continuation blocks of a large instance; null when storage could not be had.
nyxInst *newInstance(nyxNetlistView *view, int32_t n);
// Frees the instance's slot (and its continuation blocks); its record pointer is cleared first.
void freeInstance(nyxNetlistView *view, nyxInst *inst);
// The instance name map, built from every live instance on first use; null when out of memory.
nyxInstMap *nameMap(nyxNetlistView *view, uint32_t expected = 0);

} // namespace nyxInstStore

namespace nyxFootPrintOps {

// Makes a record of the describer (names, version, port tree in the describer's port order) and
// appends it to the view's describer list. Null when storage could not be had.
nyxFootPrint *fromView(nyxNetlistView *view, nyxNetlistView *describer);
// Caches `describer` in the record: the record joins the describer's cachedBy list and every
// instance of the record joins its instance references.
void cacheDescriber(nyxFootPrint *record, nyxNetlistView *describer);
// Removes a record from its view's describer list and frees it.
void release(nyxFootPrint *record);
// A view going away: the records of other views that cache it forget it, and its own records
// and instances leave the lists of the describers they cache.
void viewGoing(nyxNetlistView *view);

} // namespace nyxFootPrintOps

// The record index of a view (inst.h). Every change of the describer list or of a record's
// cached describer goes through the hooks below, which keep the index when it exists; when the
// index cannot take an entry (memory) it is dropped, and the next search builds it again.
struct nyxRecordIndex {
    nyxPtrIndex *byName;
    nyxPtrIndex *byDescriber;
    uint32_t nextSerial;
};

namespace nyxRecordIndexOps {

// The index of the view, built from its describer list when missing; null when out of memory.
nyxRecordIndex *get(nyxNetlistView *view);
void drop(nyxNetlistView *view);
// The hash of a record's key: its names folded to lower case, and its version.
uint32_t nameKey(const char *lib, const char *cell, const char *view, int32_t version);
// Hooks: a record was appended to its owner's list; a record is about to leave it; a record's
// cached describer is about to become `to`.
void added(nyxFootPrint *record);
void removing(nyxFootPrint *record);
void describerChanging(nyxFootPrint *record, nyxNetlistView *to);
// The earliest record of the list that caches `describer` at `version`, and the earliest whose
// names equal these ignoring case at `version`; null when none.
nyxFootPrint *findCaching(const nyxRecordIndex *index, const nyxNetlistView *describer, int32_t version);
nyxFootPrint *findNamed(const nyxRecordIndex *index, const char *lib, const char *cell, const char *view,
                        int32_t version);

} // namespace nyxRecordIndexOps
