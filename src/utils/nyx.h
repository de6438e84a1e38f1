// nyx.h - the face of src/utils for the rest of the library: the global state `nyx`, the heaps,
// containers, registries, iterators and settings.
//
// One object of class nyx exists while the library is initialised (nyx::session). It holds the
// registries of handed-out identifiers and live iterators, and the returned-string ring; the
// subsystems keep their own lists for the session (nyxSessionList, at the end of this file). Static members hold what outlives one initialisation:
// the mode bits, the expert-mode stack and the four process-wide heaps.
//
// This folder is the ground floor: it names no class of the design data and no subsystem above
// it. The session code (src/pi/start.cpp) makes the bare state with nyx::create, starts the
// subsystems in their fixed order, and releases them in theirs, ending with nyx::destroy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "nyxtypes.h"
#include "utils/containers.h"
#include "utils/heap.h"
#include "utils/iter.h"
#include "utils/registry.h"
#include "utils/settings.h"

class nyx {
public:
    // The global state, null while the library is not initialised.
    static nyx *session;
    // Bit 0 trusted program mode, bit 1 trusted data mode. Both 0 at load; kept across quit.
    static uint32_t sessionFlags;
    static constexpr uint32_t kTrustedProgram = 1;
    static constexpr uint32_t kTrustedData = 2;
    // Bit 2, the replace flag: while it is set, a creation that would refuse an object because
    // one of that name exists (in memory or on disk) makes or takes it instead. Set by the
    // library itself around registrations of compiled views (nyx::ReplaceScope), never by a
    // caller; expert mode leaves it alone.
    static constexpr uint32_t kReplace = 4;
    // Counter of null iterators: starts at 1; each new null iterator adds 2 and is the new
    // value (3, 5, 7, ...), odd and so never the address of a real iterator.
    static uintptr_t nullIterator;
    // The process-wide heaps, created on first use, dropped by release.
    static Hx_genheap *globalNYXHeap;  // "NYX Global Object Heap"
    static Hx_genheap *libCellHeap;    // "NYX LibCell Object Heap"
    static Hx_genheap *iterHeap;       // "NYX Iterator Object Heap"
    static Hx_genheap *propMgrHeap;    // "NYX PropMgr Object Heap"

    static bool trustedProgram() { return (sessionFlags & kTrustedProgram) != 0; }
    static bool trustedData() { return (sessionFlags & kTrustedData) != 0; }
    static bool replaceMode() { return (sessionFlags & kReplace) != 0; }

    // Sets the replace flag for its lifetime and restores its previous state afterwards.
    class ReplaceScope {
    public:
        ReplaceScope() : d_was(sessionFlags & kReplace) { sessionFlags |= kReplace; }
        ~ReplaceScope() { sessionFlags = (sessionFlags & ~kReplace) | d_was; }
        ReplaceScope(const ReplaceScope &) = delete;
        ReplaceScope &operator=(const ReplaceScope &) = delete;

    private:
        uint32_t d_was;
    };

    // Makes the bare global state when none exists (the lists, the heap system and the global
    // heap) and returns it; null when memory ran out. The session code starts the subsystems on
    // it; a test or fuzz target of one subsystem may use it alone.
    static nyx *create();
    // Empties the expert-mode stack (its nodes go with the heaps): a step of the release.
    void clearLists();
    // Counts the global states made and dropped: it changes whenever one begins or ends, so that
    // state kept outside the global state (nyxSessionList) knows when it went with the heaps.
    static uint64_t generation() { return d_generation; }
    // Drops the global state, if any: the registries and ring strings, the cached and the live
    // iterators, the heaps with everything in them and the heap system. Nothing is saved; every
    // identifier becomes unusable. The last step of the release.
    static void destroy();

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
    // A block of n bytes in a slot of the same ring (an array of strings with their text, say).
    void *ringBlock(size_t n);
    int ringCount() const { return d_ringCount; }

private:
    nyx();
    ~nyx();
    nyx(const nyx &) = delete;
    nyx &operator=(const nyx &) = delete;

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
    static uint64_t d_generation;

    nyxRegistry *d_oids = nullptr;
    nyxRegistry *d_iters = nullptr;
    RingSlot d_ring[kRingSlots] = {};
    int d_ringCount = 0;
};

// A list that a subsystem keeps for one session (the session's libraries, its selector sets):
// its blocks come from the global heap, so they go with it when the global state is dropped.
// Invariant: the list is empty unless its blocks were taken in the current global state
// (d_generation == nyx::generation()); list() forgets blocks of an earlier one without touching
// them, so the owner needs no release step and never reads freed memory.
class nyxSessionList {
public:
    nyxSessionList() = default;
    ~nyxSessionList() { d_list.abandon(); }
    nyxSessionList(const nyxSessionList &) = delete;
    nyxSessionList &operator=(const nyxSessionList &) = delete;

    nyxDynArray &list() {
        if (d_generation != nyx::generation()) {
            d_list.abandon();
            d_generation = nyx::generation();
        }
        return d_list;
    }

private:
    nyxDynArray d_list;
    uint64_t d_generation = 0;
};
