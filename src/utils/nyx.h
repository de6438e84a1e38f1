// nyx.h - the face of src/utils for the rest of the library: the global state `nyx`, the heaps,
// containers, registries, iterators and settings.
//
// One object of class nyx exists while the library is initialised (nyx::session). It holds the
// library list, the selector-set list, the registries of handed-out identifiers and live
// iterators, and the returned-string ring. Static members hold what outlives one initialisation:
// the mode bits, the expert-mode stack, the per-class operation tables and the four process-wide
// heaps.
//
// How a subsystem takes part
// --------------------------
// 1. Operations of a class. Each class (by class code) provides one nyxClassOps table under the
//    fixed name listed below (nyxLibOps, nyxCellOps, ...). Define it in the class's own .cpp as
//        extern const nyxClassOps nyxCellOps = {...};
//    with a constant initializer (function addresses only: the rows are read while the library
//    loads). The names are weak references here: a class that does not exist yet has a null row
//    in nyx::functionTables, and the interface answers 15 for it.
// 2. Initialisation and release. The steps that belong to later subsystems are the weak hook
//    functions below (nyxHookOpenSearchPathLibraries, nyxHookStopCompilers, ...); define the
//    function with exactly that signature in the subsystem and the step runs. A missing hook is
//    skipped. The order of the steps is fixed in nyx.cpp.
// Weak references do not pull members out of a static archive: a program linked with the
// static archive of the library gets a class or a step only if something else pulls in its
// object file, so such programs should link the archive whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "nyxtypes.h"
#include "utils/containers.h"
#include "utils/heap.h"
#include "utils/iter.h"
#include "utils/registry.h"
#include "utils/settings.h"

// Class codes (tag word bits 1-7). Codes 1-19 equal their cfidrObjectTypeT values.
enum nyxClassCode : int32_t {
    nyxCodeLib = 1,
    nyxCodeCell = 2,
    nyxCodePortBundle = 3,
    nyxCodePortBus = 4,
    nyxCodePortScalar = 5,
    nyxCodeInst = 6,
    nyxCodePortInstBundle = 7,
    nyxCodePortInstBus = 8,
    nyxCodePortInstScalar = 9,
    nyxCodeNetBundle = 10,
    nyxCodeNetBus = 11,
    nyxCodeNetScalar = 12,
    nyxCodeProp = 13,
    nyxCodeNetlistView = 14,
    nyxCodeEncapsulatedView = 15,
    nyxCodeSelectorSet = 16,
    nyxCodeLibrarySelector = 17,
    nyxCodeViewNameSelector = 18,
    nyxCodeViewTypeSelector = 19,
    nyxCodeNetAlias = 20,
    nyxCodeOccPropSet = 21,
    nyxCodeViewOccProp = 22,
    nyxCodeNetOccProp = 23,
    nyxCodePortOccProp = 24,
    nyxCodeDesignConfig = 25,
    nyxCodeSession = 26,  // the global state's own iterators
    // Abstract codes: families that one check accepts.
    nyxCodeAnyObject = -1,
    nyxCodeNamedObject = -2,
    nyxCodeNet = -3,
    nyxCodePort = -4,
    nyxCodePortInst = -5,
    nyxCodeView = -6,
    nyxCodeViewSelector = -7,
    nyxCodeOccProp = -8,
};
constexpr int nyxClassTableSize = 28;

// A class getter: makes an iterator over some contents of an object (null when it cannot).
using nyxGetterFn = nyxIter *(*)(void *obj, uint32_t member, cfidrErrorT *err);

// Operations of one class, reached through nyx::functionTables[class code]. Every operation takes
// the object's address, its member index (properties; 0 otherwise), its own arguments and the
// error out-parameter. A null slot means the class has no such operation.
struct nyxClassOps {
    // Every class.
    nyxObjRef (*createProp)(void *obj, uint32_t member, const char *name, cfidrErrorT *err);
    void (*destroy)(void *obj, uint32_t member, cfidrErrorT *err);
    nyxObjRef (*findPropByName)(void *obj, uint32_t member, const char *name, cfidrErrorT *err);
    // Named objects. getName returns the object's own string (the frame copies it).
    const char *(*getName)(void *obj, uint32_t member, cfidrErrorT *err);
    void (*setName)(void *obj, uint32_t member, const char *name, cfidrErrorT *err);
    // Getters by the kind of iterator they make: getters[nyxIterProp] lists the properties,
    // getters[nyxIterCell] a library's cells, and so on. The interface's getters and the
    // withdrawal of identifiers on destruction both walk contents through these.
    nyxGetterFn getters[nyxIterKindCount];
    // The class's own operations, in a table whose type its subsystem defines.
    const void *own;
};

// The operation tables of the classes, by class code 1-25 (weak: see the top of this file).
#define NYX_WEAK __attribute__((weak))
extern const nyxClassOps nyxLibOps NYX_WEAK, nyxCellOps NYX_WEAK, nyxPortBundleOps NYX_WEAK,
    nyxPortBusOps NYX_WEAK, nyxPortScalarOps NYX_WEAK, nyxInstOps NYX_WEAK,
    nyxPortInstBundleOps NYX_WEAK, nyxPortInstBusOps NYX_WEAK, nyxPortInstScalarOps NYX_WEAK,
    nyxNetBundleOps NYX_WEAK, nyxNetBusOps NYX_WEAK, nyxNetScalarOps NYX_WEAK, nyxPropOps NYX_WEAK,
    nyxNetlistViewOps NYX_WEAK, nyxEncapsulatedViewOps NYX_WEAK, nyxSelectorSetOps NYX_WEAK,
    nyxLibrarySelectorOps NYX_WEAK, nyxViewNameSelectorOps NYX_WEAK,
    nyxViewTypeSelectorOps NYX_WEAK, nyxNetAliasOps NYX_WEAK, nyxOccPropSetOps NYX_WEAK,
    nyxViewOccPropOps NYX_WEAK, nyxNetOccPropOps NYX_WEAK, nyxPortOccPropOps NYX_WEAK,
    nyxDesignConfigOps NYX_WEAK;

class nyx;

// Steps of initialisation and release that belong to later subsystems, in the order they run
// (weak: a subsystem defines the one it fills in; a missing one is skipped).
// Initialisation, after the global heap exists and the registries are clear:
void nyxHookCreateExprManager(nyx &state) NYX_WEAK;        // sets nyx::d_expr_mgr_p
void nyxHookOpenSearchPathLibraries(nyx &state) NYX_WEAK;  // ZIL_CFI_LIBPATH, read-only
void nyxHookOpenLibraryMap(nyx &state) NYX_WEAK;  // ZIL_NYX_LIBRARYMAP "." libraries and sets
// Release, before the lists are emptied and the heaps dropped:
void nyxHookTerminateSvc(nyx &state) NYX_WEAK;  // only in schematic-compiler mode
void nyxHookStopCompilers(nyx &state) NYX_WEAK;  // running compilers and the compiler rules
void nyxHookClearPathCaches(nyx &state) NYX_WEAK;  // path cache and directory cache
void nyxHookClearPathNameCache(nyx &state) NYX_WEAK;  // soft/hard path-name cache
void nyxHookDestroyExprManager(nyx &state) NYX_WEAK;  // before the heaps go
// The schematic compiler's release banner (shown by the version query in schematic-compiler mode).
const char *nyxHookSvcReleaseBanner() NYX_WEAK;

class nyx {
public:
    // The global state, null while the library is not initialised.
    static nyx *session;
    // Bit 0 trusted program mode, bit 1 trusted data mode. Both 0 at load; kept across quit.
    static uint32_t sessionFlags;
    static constexpr uint32_t kTrustedProgram = 1;
    static constexpr uint32_t kTrustedData = 2;
    // Per-class operation tables by class code 0-27 (codes 0, 26 and 27 have no class row).
    // Filled from the weak names above at load; tests may install rows of their own.
    static const nyxClassOps *functionTables[nyxClassTableSize];
    // Counter of null iterators: starts at 1; each new null iterator adds 2 and is the new
    // value (3, 5, 7, ...), odd and so never the address of a real iterator.
    static uintptr_t nullIterator;
    // The process-wide heaps, created on first use, dropped by release.
    static Hx_genheap *globalNYXHeap;  // "NYX Global Object Heap"
    static Hx_genheap *libCellHeap;    // "NYX LibCell Object Heap"
    static Hx_genheap *iterHeap;       // "NYX Iterator Object Heap"
    static Hx_genheap *propMgrHeap;    // "NYX PropMgr Object Heap"
    static void *d_expr_mgr_p;         // the expression manager

    static bool trustedProgram() { return (sessionFlags & kTrustedProgram) != 0; }
    static bool trustedData() { return (sessionFlags & kTrustedData) != 0; }

    // The global state, created when none exists; null when memory ran out or a step of the
    // initialisation failed.
    static nyx *ensure();
    // Releases the global state, if any (nothing is saved; every identifier becomes unusable).
    static void release();

    // Heaps; each is created on first request (null when out of memory).
    static Hx_genheap *getGlobalHeap();
    static Hx_genheap *getLibCellHeap();
    static Hx_genheap *getIterHeap();
    static Hx_genheap *getPropMgrHeap();

    // Expert mode: push saves both mode bits and sets both; pop restores them. Push fails only
    // when memory ran out; pop fails on an empty stack. Both leave the bits alone on failure.
    static bool pushExpertMode();
    static bool popExpertMode();
    static int expertDepth();

    nyxDynArray &libraries() { return d_libs; }
    nyxDynArray &selectorSets() { return d_selectorSets; }

    // OID registry. Registration ignores pairs with a zero word or tag; false when out of memory.
    bool registerOID(uint32_t word, uint32_t tag);
    void withdrawOID(uint32_t word, uint32_t tag) {
        if (d_oids != nullptr) d_oids->remove(nyxRegistry::oidKey(word, tag));
    }
    // An odd tag is always usable; before anything was registered the answer is the trusted
    // program bit; otherwise the pair must be registered.
    bool oidUsable(uint32_t word, uint32_t tag) const {
        if ((tag & 1) != 0) return true;
        if (d_oids == nullptr || !d_oids->created()) return trustedProgram();
        return d_oids->contains(nyxRegistry::oidKey(word, tag));
    }
    const nyxRegistry *oidRegistry() const { return d_oids; }

    // Iterator registry.
    bool registerIter(const void *handle);
    bool withdrawIter(const void *handle) {
        return d_iters != nullptr && d_iters->remove(reinterpret_cast<uintptr_t>(handle));
    }
    bool iterRegistered(const void *handle) const {
        return d_iters != nullptr && d_iters->contains(reinterpret_cast<uintptr_t>(handle));
    }
    const nyxRegistry *iterRegistry() const { return d_iters; }

    // Returned-string ring: copies s into the global heap and records the copy in the ring of ten
    // slots, freeing the oldest copy when all ten are taken. The copy lives until ten further
    // strings were returned or the library is released. Null when out of memory.
    static constexpr int kRingSlots = 10;
    const char *ringString(const char *s);
    int ringCount() const { return d_ringCount; }

private:
    nyx();
    ~nyx();
    nyx(const nyx &) = delete;
    nyx &operator=(const nyx &) = delete;
    void releaseStep(void (*step)(nyx &)) noexcept;

    struct RingSlot {
        char *str;
        Hx_baseheap *heap;
    };
    struct ExpertNode {
        uint32_t program;
        uint32_t data;
        ExpertNode *link;
    };
    static ExpertNode *d_expertStack;

    nyxDynArray d_libs;
    nyxDynArray d_selectorSets;
    nyxRegistry *d_oids = nullptr;
    nyxRegistry *d_iters = nullptr;
    RingSlot d_ring[kRingSlots] = {};
    int d_ringCount = 0;
};
