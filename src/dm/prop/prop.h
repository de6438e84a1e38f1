// prop.h - properties: the session-wide property name table, property lists and the operations
// that every class carrying properties calls from its own nyxClassOps row; and, since every class
// carries properties, the class codes and the class table (dm/prop/classes.h).
//
// How a subsystem takes part
// --------------------------
// The session code (src/pi/start.cpp) starts and releases the subsystems in two explicit ordered
// lists; nothing is weak and nothing registers itself while the library loads. A subsystem that
// joins adds one start call to the start list, in its place, and (when it holds state of its
// own) one release call to the release list. Its start call:
//   - installs the rows of its classes: nyxClasses::install(code, &kRow) (classes.h); a class
//     without a row answers 15 through the interface;
//   - installs the operations of its stored kinds: nyxDMTypes::install(row, ...) (store.h);
//   - fills the entries of nyxLater that it supplies (store.h), the steps that libraries, cells
//     and the release list run in their places (null: the subsystem is absent, the step skipped).
// Each of its iterators carries its own operations (utils/iter.h), set where it is made.
//
// A property is an entry of a property list (nyxPropList) and crosses the interface as
// {object word of its LIST, tag = 13 * 2 | index << 8}: the frame sees it as the nyxObjRef
// {list, nyxCodeProp, index}. Names are not stored per property: every distinct (name, value
// type) pair has one entry in the session-wide name table and a property points at its entry.
//
// How an owner class takes part
// -----------------------------
// The owner keeps a `nyxPropList *` field, null until its first property. In its nyxClassOps:
//
//   nyxObjRef createProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
//       nyxCell *c = static_cast<nyxCell *>(obj);
//       nyxPropOwner o = {c, 0, nyxCodeCell, heapOf(c), cellReadOnly};
//       return nyxPropCreate(c->d_props, o, name, err);
//   }
//   nyxObjRef findPropByName(...)  -> return nyxPropFind(c->d_props, name, err);
//   nyxIter *getProps(...)         -> return nyxPropGetProps(c->d_props, err);   // getters[nyxIterProp]
//
// The property iterator carries its own operations. When the owner is destroyed it calls
// nyxPropListDestroy(list) (which also releases the properties on its properties); an owner that
// lives in a heap dropped at once may skip that, but should then call nyxPropForgetHeap(heap)
// first so that the table of properties on properties keeps no keys into the dropped heap.
//
// Readers and writers of stored forms walk a list with nyxPropListSize/nyxPropAt and create
// entries with nyxPropCreate + the setters below (trusted data mode skips the checks).
//
// Nothing here throws: failures are error codes (4 when memory ran out).
#pragma once

#include <cstdint>
#include <vector>

#include "dm/prop/classes.h"
#include "utils/nyx.h"

// Value types of a property (the numbers are part of the interface and of stored files).
enum nyxPropValueType : int16_t {
    nyxPropNone = 0,        // created, no value yet
    nyxPropBoolean = 1,     // 32-bit 0 or 1
    nyxPropInt = 2,         // 32-bit signed
    nyxPropFloat = 3,       // IEEE single
    nyxPropDeleted = 4,     // removed (occurrence property sets); empty string
    nyxPropString = 5,
    nyxPropTriplet = 7,
    nyxPropCaseTriplet = 8,
    nyxPropExpression = 9,  // text evaluated by the expression language
};

// True for the types whose value is a string (4, 5, 7, 8, 9).
inline bool nyxPropTypeHasString(int32_t type) {
    return type == nyxPropDeleted || type >= nyxPropString;
}

// One (name, value type) pair of the name table. Every type entry of one name shares its serial;
// only the newest type entry of a name sits in the hash chain, older ones hang from it through
// nextType.
struct nyxPropNameTableBucket {
    const char *name;                  // copy in the property heap
    int16_t type;                      // nyxPropValueType
    uint16_t writeId;                  // set while a view file is written, else 0
    nyxPropNameTableBucket *nextType;  // same name, another type
    nyxPropNameTableBucket *next;      // next name in the hash chain
    int32_t serial;                    // number of the name, from 0 in order of first use
};

// The session-wide property name table, in "NYX PropMgr Object Heap". Created on first use and
// forgotten when the library is released.
//
// The case rule can be switched on during a session (a compiler option): the chains are then
// formed again under the new rule before the next lookup, so that no name becomes unreachable.
//
// Invariants (isValid()): every chain entry hashes to its chain; no two chain entries have equal
// names (under the case rule); all entries on one nextType list have the name and serial of
// their head and distinct types; serials run 0 .. nameCount() - 1.
class nyxPropNameTable {
public:
    static constexpr int32_t kInitialSize = 503;
    static constexpr int32_t kMaxChain = 4;

    // The table of the session, created when needed (null when memory ran out).
    static nyxPropNameTable *get();
    // The table if it exists (no creation).
    static nyxPropNameTable *peek();

    // The hash of a name for a table of `size` chains (non-negative; chain = hash % size).
    static int32_t hash(const char *name, int32_t size, bool caseSensitive);
    // Whether names are compared with regard to case (option bit 0x20000).
    static bool caseSensitive();
    static bool sameName(const char *a, const char *b);

    // The entry of (name, type), made when missing; null when memory ran out.
    nyxPropNameTableBucket *add_name_type(const char *name, int16_t type);
    // The chain entry of a name (its newest type entry; the others follow through nextType), or null.
    nyxPropNameTableBucket *find_name(const char *name) const;
    nyxPropNameTableBucket *find_name_type(const char *name, int16_t type) const;

    // Write ids for the view writer: set every entry's write id to `id`; collect the entries with
    // a nonzero write id in chain order (false when memory ran out).
    void set_all_write_ids(uint16_t id);
    bool get_write_props(std::vector<nyxPropNameTableBucket *> &out) const;

    int32_t size() const { return d_size; }
    int32_t sizeExponent() const { return d_exponent; }
    int32_t nameCount() const { return d_serials; }
    int32_t entryCount() const { return d_entries; }
    int32_t chainLength(int32_t chain) const;
    bool isValid() const;

private:
    friend struct nyxPropTables;
    nyxPropNameTable() = default;
    bool init(Hx_baseheap *heap);
    void growIfNeeded(int32_t chain);
    static int32_t nextSize(int32_t exponent);
    // Moves every chain entry into `size` new chains; false (table unchanged) without memory.
    bool rehash(int32_t size, bool caseSensitive);
    // Rehashes when the case rule changed since the chains were formed.
    void followCaseRule() const;

    Hx_baseheap *d_heap = nullptr;
    nyxPropNameTableBucket **d_chains = nullptr;
    int32_t d_size = 0;
    int32_t d_exponent = 0;
    int32_t d_serials = 0;
    int32_t d_entries = 0;
    bool d_caseSensitive = false;  // the case rule the chains were formed under
};

// One property: its name-table entry (null for a free entry) and 8 bytes of value storage, a
// 32-bit value or a nyxVarString by the entry's type.
struct nyxProp {
    nyxPropNameTableBucket *d_entry;
    alignas(8) unsigned char d_value[8];

    bool isFree() const { return d_entry == nullptr; }
    int16_t type() const { return d_entry != nullptr ? d_entry->type : int16_t{0}; }
    const char *name() const { return d_entry != nullptr ? d_entry->name : ""; }
    int32_t intValue() const;
    float floatValue() const;
    // The stored text of a string-typed property ("" otherwise).
    const char *stringValue() const;
};

// Whether the owner of a list is open read-only (its library or view not open for update).
using nyxPropReadOnlyFn = bool (*)(const void *owner, uint32_t ownerIndex);

// A property list.
//   0 <= count <= allocated; entries[0 .. count) hold live and free entries; an index handed out
//   stays that entry's index until the entry is destroyed; a free entry is reused by the next
//   creation (lowest free index first);
//   0 <= freeFrom <= count and entries[0 .. freeFrom) are all live, so that creation searches
//   for a free entry from freeFrom on (appending n properties takes time linear in n).
struct nyxPropList {
    void *d_owner;              // the object carrying the list (a list, for properties on a property)
    uint32_t d_ownerIndex;      // for a list on a property: that property's index in its list
    int32_t d_ownerCode;        // class code of the owner (0 for the evaluation list)
    int32_t d_count;
    int32_t d_allocated;
    nyxProp *d_entries;
    Hx_baseheap *d_heap;        // the owner's heap: entries and long strings
    nyxPropReadOnlyFn d_readOnly;  // null: never read-only
    int32_t d_freeFrom;            // no free entry below this index
};

// What an owner tells the property code about itself.
struct nyxPropOwner {
    void *obj;
    uint32_t member;           // index for a property owner, else 0
    int32_t code;              // class code
    Hx_baseheap *heap;         // where the list and its strings live (null: the global heap)
    nyxPropReadOnlyFn readOnly;  // null: never read-only
};

// --- The owner API ----------------------------------------------------------------------------

// Creates a property without a value on the owner. Unless trusted data mode is on: 42 read-only
// owner, 14 bad name, 26 a property of that name exists. Records the owner's change, creates
// the list in `list` on first use, reuses the first free entry or appends one. Returns
// {list, 13, index}; a null ref on error (4 out of memory).
nyxObjRef nyxPropCreate(nyxPropList *&list, const nyxPropOwner &owner, const char *name,
                        cfidrErrorT *err);
// The first live property of the name (any type); 27 when none (also for a null list).
nyxObjRef nyxPropFind(const nyxPropList *list, const char *name, cfidrErrorT *err);
// An iterator (kind nyxIterProp) over the live entries in index order; over nothing for a null
// list. Null only when memory ran out (4).
nyxIter *nyxPropGetProps(nyxPropList *list, cfidrErrorT *err);
// Releases the list's strings, the properties on its properties, its entries and the list, and
// sets `list` to null.
void nyxPropListDestroy(nyxPropList *&list);
// Forgets the properties on properties of every list whose entries lie in `heap` (before an owner
// drops a heap at once).
void nyxPropForgetHeap(Hx_baseheap *heap);

// --- Reading and writing entries --------------------------------------------------------------

inline int32_t nyxPropListSize(const nyxPropList *list) { return list != nullptr ? list->d_count : 0; }
// The entry at index, or null when out of range or free.
nyxProp *nyxPropAt(const nyxPropList *list, uint32_t index);
// The entry of a nyxObjRef member; 16 when the index is out of range or the entry free.
nyxProp *nyxPropLive(const nyxPropList *list, uint32_t index, cfidrErrorT *err);

// Setters: unless trusted data mode is on, 42 on a read-only owner; 10 for a float outside
// -1e37 .. 1e37 or NaN and for a null text. They record the owner's change and store the value
// under the (name, new type) entry. Strings are copied into the list's heap.
void nyxPropSetBoolean(nyxPropList *list, uint32_t index, int32_t value, cfidrErrorT *err);
void nyxPropSetInt(nyxPropList *list, uint32_t index, int32_t value, cfidrErrorT *err);
void nyxPropSetFloat(nyxPropList *list, uint32_t index, float value, cfidrErrorT *err);
void nyxPropSetString(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err);
void nyxPropSetExpression(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err);
// Setters for readers of stored forms.
void setTripletValue(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err);
void setCasetripletValue(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err);
void setDeletedValue(nyxPropList *list, uint32_t index, cfidrErrorT *err);

// Getters: unless trusted program mode is on, the stored type must match (boolean 1, integer 2,
// float 3, string 4 or more), else 15 and 0 or "". Strings are returned as stored.
int32_t nyxPropGetBoolean(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
int32_t nyxPropGetInt(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
float nyxPropGetFloat(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
const char *nyxPropGetString(const nyxPropList *list, uint32_t index, cfidrErrorT *err);

// Renames an entry (42, 14, 25 another property of the owner has the name).
void nyxPropRename(nyxPropList *list, uint32_t index, const char *name, cfidrErrorT *err);
// Destroys an entry (42 read-only owner) with the properties on it; the other indices stay.
void nyxPropDestroy(nyxPropList *list, uint32_t index, cfidrErrorT *err);

// The owner of a list as an object reference (null for the evaluation list).
nyxObjRef nyxPropListOwner(const nyxPropList *list);
// The list of properties on the property (list, index), or null.
nyxPropList *nyxPropsOnProp(const nyxPropList *list, uint32_t index);
// Properties nest on properties at most this deep (the object's own list is depth 0), the depth
// the view file and every walk take.
constexpr int32_t nyxPropMaxNesting = 1024;
// Creates a property on the property (list, index) with the checks of nyxPropCreate; the list of
// properties on it is made on first use and kept in the session-wide table of properties on
// properties (16 when the entry is free). A list deeper than nyxPropMaxNesting is refused with 47
// after the checks of creation (42, 14).
nyxObjRef nyxPropCreateOnProp(nyxPropList *list, uint32_t index, const char *name, cfidrErrorT *err);

// Records a change of a property of the list's owner: a property on a property records the
// change of the owning property's list; an owner living in a netlist view runs the view's edit
// bookkeeping (nyxViewRecordPropChange); other owners record nothing.
void recordPropChange(const nyxPropList *list);
// The edit bookkeeping of owners outside netlist views, by class code: a subsystem whose objects
// keep a changed flag installs its hook from its start call (null: the change is not recorded).
using nyxPropChangeHook = void (*)(void *owner, uint32_t member, int32_t code);
extern nyxPropChangeHook nyxPropChangeHooks[nyxClasses::kTableSize];

// The scratch list used when properties are evaluated, created on first request in the global
// heap (null when memory ran out), and the test whether a list is it.
nyxPropList *getEvalProplist();
bool isEvalProplist(const nyxPropList *list);

// The stored value type (nyxPropValueType) of a live entry; 16 when the entry is free.
int32_t nyxPropGetValueType(const nyxPropList *list, uint32_t index, cfidrErrorT *err);

// Installs the row of the property class (class code 13). Its `own` slot points at the table
// below, through which the interface reaches the values without
// linking this folder: every function takes the list, the index and the error out-parameter.
struct nyxPropClassOps {
    nyxObjRef (*owner)(const nyxPropList *list);
    int32_t (*valueType)(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
    int32_t (*getBoolean)(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
    int32_t (*getInt)(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
    float (*getFloat)(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
    const char *(*getString)(const nyxPropList *list, uint32_t index, cfidrErrorT *err);
    void (*setBoolean)(nyxPropList *list, uint32_t index, int32_t value, cfidrErrorT *err);
    void (*setInt)(nyxPropList *list, uint32_t index, int32_t value, cfidrErrorT *err);
    void (*setFloat)(nyxPropList *list, uint32_t index, float value, cfidrErrorT *err);
    void (*setString)(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err);
    void (*setExpression)(nyxPropList *list, uint32_t index, const char *value, cfidrErrorT *err);
};
void nyxPropInstall();
