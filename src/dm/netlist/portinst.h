// portinst.h - port instances: the tree of connection points that an instance gets from its
// describer record, and the operations behind the port-instance interface.
//
// Words
// -----
// A port instance is one 8-byte word; its identifier is the address of that word. Top-level
// port instances are the slots of their instance (nyxInst::slot); members of a bus or bundle are
// the member words of the group's storage blocks.
//   scalar (class 9):  net scalar address | kPropsBit while it has properties; bit 0 clear.
//                      Zero (or kPropsBit alone) while unattached.
//   bus (8), bundle (7): address of the group's first storage block | kGroupBit.
// A scalar's properties live in the view's table of properties on port instances
// (nyxNetlistView::propsOnPortInst); kPropsBit only spares the table lookup for scalars without
// any. Groups are looked up in the table directly.
//
// Group storage
// -------------
// Storage lives in list blocks of kBlockSize real bytes from the view's block heap, aligned on
// that size, so that masking the address of a member word finds the header of its block.
// - A group of at most 64 members is one object of a slab shared with other groups of the view
//   (list type = class code | 0x100, one slab chain per class code and member capacity 1, 2, 4 ...
//   64, parent the view). The object is a header (owning word, record port, start, step) and the
//   member words.
// - A larger group owns a chain of blocks: the first holds the group header and at most 244
//   (bus) or 246 (bundle) member words, each continuation block at most 247 more. Header fields:
//   list type the class code (8 bus, 7 bundle); parent the owning port-instance word (the
//   group's own word), parent type its class code; user data the index of the block's first
//   member; prev/next the chain (first block: prev null). The first block's object begins with
//   the group header: int32 start, int32 step, the record port; then the member words.
// Group header: for a bus the record port's start and step; for a bundle, start = member count
// and step = 0 (the one header word of a bundle is its member count).
// Invariants:
//   size(group) == recordPort(group)->member count == number of member words
//   member i of a chain lies in block 0 while i < first capacity, else 1 + (i - first) / 247
//   every word of the tree belongs to exactly one instance; recordPort(word) is the record port
//   at the word's path (top-level slot index, then member indices)
//   a slab that is not its chain's current slab holds at least one group

// Positions
// ---------
// The port instances of an instance are numbered in pre-order over the whole tree: each
// top-level port instance in slot order, a group right before its members. The numbering is
// computed from the describer record (every instance of one record has the same shape).
//
// How the instance code takes part
// --------------------------------
// - nyxInstOps::createInstanceOf calls createTree(inst, err) once the slots exist (all zero) and
//   destroyTree(inst) before it releases an instance (also when createTree failed half way).
// - The instance class row (nyxInstOps) lists the top-level port instances for withdrawal and
//   iteration: getters[nyxIterPortInst] = nyxPortInst::instGetter; the iterators carry their own
//   operations.
//
// How the view reader attaches (fast path)
// ----------------------------------------
// The reader has checked its input: it calls attachTrusted(net, word) for each port-instance
// scalar record with a net id, on a word that is still unattached. It stores the connection on
// both sides without argument checks, bookkeeping or name comparison; false when the connection
// could not be stored (4) or the word is not an unattached scalar. Members are reached with
// member(groupWord, i) and top-level words with nyxInst::slot(i).
#pragma once

#include <cstdint>

#include "dm/netlist/net.h"

class nyxInst;
class nyxFootPrint;
struct nyxFootPrintPort;
struct nyxPropList;

namespace nyxPortInst {

constexpr uintptr_t kGroupBit = 1;
constexpr uintptr_t kPropsBit = 2;
constexpr uintptr_t kNetMask = ~uintptr_t{7};
// Real size of a storage block (the instance blocks use the same size, so that masking a word
// address finds the header of the block that holds it, whoever owns the block).
constexpr uint32_t kBlockSize = 2048;
// Member words of the first block of a bus and of a bundle, and of each continuation block.
constexpr int32_t kBusFirst = 244;
constexpr int32_t kBundleFirst = 246;
constexpr int32_t kContinuation = 247;

// --- The tree ------------------------------------------------------------------------------------

// Makes every top-level port instance and its members from the instance's record, depth first.
// False (4) when storage ran out; what was made stays reachable for destroyTree.
bool createTree(nyxInst *inst, cfidrErrorT *err);
// Detaches every scalar of the tree from its net, drops the properties of every port instance
// and frees the group storage. The slots are left zero.
void destroyTree(nyxInst *inst);

// --- Words ---------------------------------------------------------------------------------------

inline bool isGroup(const void *word) { return (*static_cast<const uintptr_t *>(word) & kGroupBit) != 0; }
// Class code: 9 scalar, 8 bus, 7 bundle.
int32_t code(const void *word);
// The net of a scalar (null when unattached).
inline nyxNetScalar *net(const void *scalar) {
    return reinterpret_cast<nyxNetScalar *>(*static_cast<const uintptr_t *>(scalar) & kNetMask);
}
// Group accessors: member count, the word of member i (null outside 0 .. size - 1), bus start
// and step.
int32_t size(const void *group);
uintptr_t *member(const void *group, int32_t i);
int32_t start(const void *bus);
int32_t step(const void *bus);

// The instance whose tree holds the word, and the word's top-level ancestor (the word itself at
// the top) with its slot index.
nyxInst *instOf(const void *word, const uintptr_t **top = nullptr, int32_t *slot = nullptr);
nyxNetlistView *view(const void *word);
// The group that holds the word with its class code, or the instance (code 6) at the top level.
void *owner(const void *word, int32_t *ownerCode);
// The record port at the word's path.
const nyxFootPrintPort *recordPort(const void *word);
// The record port's name (the describer name of the port instance).
const char *describerName(const void *word);

// Pre-order positions in the instance, both ways; the count of the whole tree.
int32_t positionInInst(const void *word);
uintptr_t *atPosition(nyxInst *inst, int32_t position, int32_t *code);
int32_t countInInst(nyxInst *inst);

// Properties of a port instance (null when none).
nyxPropList *props(const void *word);

// The reader's attach (see the top of this file).
bool attachTrusted(nyxNetScalar *net, void *scalar);

// --- Operations behind the interface --------------------------------------------------------------

// Lookup of a top-level port instance (inst) or of a group member by describer name, ignoring
// case: 14 bad name and 27 describer not found (both unless trusted program mode), 27 no match.
nyxObjRef findByDescriberName(nyxInst *inst, const char *name, cfidrErrorT *err);
nyxObjRef findMemberByDescriberName(void *group, const char *name, cfidrErrorT *err);
// The describer port at the word's path (3 / 40 describer not found, 1 no matching port).
nyxObjRef describerPort(const void *word, cfidrErrorT *err);
// The describer name as callers see it (trusted program mode: the record's; otherwise 3, or 1
// and "" when the describer port differs).
const char *checkedDescriberName(const void *word, cfidrErrorT *err);
// Describer checks: 0, or 1, 23, 31, 4, 3 / 40.
cfidrErrorT checkInst(nyxInst *inst);
cfidrErrorT checkPortInst(const void *word);
// The direction of the record port of a scalar, read like a port's direction.
int32_t describerDirection(const void *scalar);

// Iterators (kind nyxIterPortInst). Modes as for ports: 1 scalars at every depth, 2 groups at
// every depth, 3 direct members, 4 everything (pre-order); others nothing.
nyxIter *instPortInsts(nyxInst *inst, int32_t mode, cfidrErrorT *err);
nyxIter *groupPortInsts(void *group, int32_t mode, cfidrErrorT *err);
// Getter for the instance's class row: the top-level port instances (mode 3).
nyxIter *instGetter(void *inst, uint32_t member, cfidrErrorT *err);
// The net buses and bundles holding, at any depth, the net of a scalar under the group (kind
// nyxIterNetBundle).
nyxIter *netBundles(void *group, cfidrErrorT *err);

} // namespace nyxPortInst
