// Iterators of the interface: the base record every iterator class derives from, the operation
// tables through which the interface steps them, allocation from the iterator heap and the
// one-slot (or few-slot) caches that let an iterator class reuse freed iterators.
//
// An iterator crosses the interface as an untyped handle, the address of an object derived from
// nyxIter. Every iterator carries its own operations (ops: step, rewind, quit), set where it is
// made, so that the interface steps it with one indirect call. The interface frame records the
// iterator kind (iterFunc: which IterNext function may step it) right after the getter returns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "nyxtypes.h"

class Hx_baseheap;

// What a class operation hands back to the interface: an object's address, its class code
// and, for a member of a list, its index there. The interface frame turns it into an
// identifier; a null address means "nothing found".
struct nyxObjRef {
    void *obj = nullptr;
    int32_t code = 0;
    uint32_t member = 0;
};

struct nyxIter;

// Operations of one iterator class. `next` steps the iterator and returns a null nyxObjRef when it
// is exhausted; `reset` rewinds it; `quit` destroys it and returns its memory.
struct nyxIterOps {
    nyxObjRef (*next)(nyxIter *it, cfidrErrorT *err);
    void (*reset)(nyxIter *it);
    void (*quit)(nyxIter *it);
};

// Base of every iterator: its operations, given by the iterator class's constructor, and the
// kind, zero until the frame records it.
//
// An iterator walks memory that belongs to other objects: a chain of blocks, a member array, a
// list. When such an object goes (destroyed, purged, or released with what holds it) while the
// iterator lives, the iterator must not read it again. Every live iterator is therefore linked
// into one process-wide list, and the code that frees an object announces it
// (nyxIterObjectGone) before or right after the memory goes; the announcement reads no
// iterator's walked memory, only the keys recorded here:
//   home    the stored object or heap whose release frees everything the iterator reads; null
//           for the global state's own lists, which live as long as it;
//   anchor  the object inside it whose own destruction frees what the iterator reads (the
//           group whose members it walks, the list it steps over); null when there is none;
//   forget  for iterators that hold further addresses (lists taken when they were made, the
//           groups a depth-first walk stands in): drops what refers to the gone object.
// An iterator whose home or anchor went is ended: the frame's stepping answers "no more"
// (the null identifier) and rewinding leaves it ended, until it is quit.
//     live iterators == the constructed, not yet destroyed nyxIter objects == the live list
struct nyxIter {
    const nyxIterOps *ops;
    int16_t iterFunc = 0;
    bool ended = false;
    const void *home = nullptr;
    const void *anchor = nullptr;
    void (*forget)(nyxIter *it, const void *gone) = nullptr;

    explicit nyxIter(const nyxIterOps &own) : ops(&own) { link(); }
    ~nyxIter() { unlink(); }
    nyxIter(const nyxIter &) = delete;
    nyxIter &operator=(const nyxIter &) = delete;

    // Forgets every live iterator at once: their memory goes with the iterator heap.
    static void forgetAll() { liveHead_ = nullptr; }
    static nyxIter *liveHead() { return liveHead_; }
    nyxIter *nextLive() const { return nextLive_; }

private:
    void link() {
        nextLive_ = liveHead_;
        if (liveHead_ != nullptr) liveHead_->prevLive_ = this;
        liveHead_ = this;
    }
    void unlink() {
        if (prevLive_ != nullptr) prevLive_->nextLive_ = nextLive_;
        else if (liveHead_ == this) liveHead_ = nextLive_;
        if (nextLive_ != nullptr) nextLive_->prevLive_ = prevLive_;
    }
    nyxIter *prevLive_ = nullptr;
    nyxIter *nextLive_ = nullptr;
    static nyxIter *liveHead_;
};

// While positive, the class getters list only what memory holds and read nothing from disk. The
// frame raises it while it collects the identifiers of what a destruction or purge takes along:
// objects not read yet have handed out no identifiers, and a file that cannot be read must not
// stand in the way of removing it.
extern int nyxIterNoReads;

// Announces that obj (a stored object, a heap, or an object inside one) is going: every live
// iterator whose home or anchor it is ends, and the others forget what they hold of it. Costs
// one pass over the live iterators, none when there are none.
void nyxIterObjectGone(const void *obj);

// Memory of iterators: blocks of "NYX Iterator Object Heap" (allocBlock/freeBlock with the size
// stated again on release). nyxIterAllocBlock returns null when no memory is left.
void *nyxIterAllocBlock(size_t bytes);
void nyxIterFreeBlock(void *p, size_t bytes);

// Cache of freed iterators of one class: up to Max of them wait to be reused instead of going
// back to the heap. Every cache links itself into one process-wide list at construction so that
// the release of the library can empty all of them (nyxIterCachesEmpty).
//     cached count == number of non-null slots <= Max
class nyxIterCacheBase {
public:
    nyxIterCacheBase();
    virtual ~nyxIterCacheBase() = default;
    nyxIterCacheBase(const nyxIterCacheBase &) = delete;
    nyxIterCacheBase &operator=(const nyxIterCacheBase &) = delete;

    // Returns every cached block to the iterator heap and leaves the cache empty.
    virtual void empty() = 0;

    static void emptyAll();

private:
    nyxIterCacheBase *next_ = nullptr;
    static nyxIterCacheBase *head_;
};

template <class T, int Max = 1> class nyxIterCache final : public nyxIterCacheBase {
public:
    // Makes a T from a cached block or from the iterator heap; null when out of memory.
    template <class... A> T *make(A &&...args) {
        void *p = nullptr;
        if constexpr (Max > 0) {
            if (count_ > 0) p = saved_[--count_];
        }
        if (p == nullptr) p = nyxIterAllocBlock(sizeof(T));
        return p == nullptr ? nullptr : new (p) T(static_cast<A &&>(args)...);
    }
    // Destroys an iterator made by make() and keeps its block when a slot is free.
    void release(T *it) {
        if (it == nullptr) return;
        it->~T();
        if constexpr (Max > 0) {
            if (count_ < Max) {
                saved_[count_++] = it;
                return;
            }
        }
        nyxIterFreeBlock(it, sizeof(T));
    }
    void empty() override {
        if constexpr (Max > 0) {
            while (count_ > 0) nyxIterFreeBlock(saved_[--count_], sizeof(T));
        }
    }
    int cached() const { return count_; }

private:
    void *saved_[Max > 0 ? Max : 1] = {};
    int count_ = 0;
};

// Iterator over one of the global state's lists. It steps by index until the list's count, so
// objects added while it runs are seen.
class nyxDynArray;
struct nyxListIter : nyxIter {
    const nyxDynArray *list;
    int32_t index = 0;
    int32_t code;  // class code of the listed objects

    nyxListIter(const nyxIterOps &o, const nyxDynArray *l, int32_t c)
        : nyxIter(o), list(l), code(c) {}
};

// The list iterator's operations; a list whose step does more (the libraries: each is read as
// it is handed out) makes its iterator with its own operations around nyxListIterNext.
nyxObjRef nyxListIterNext(nyxIter *it, cfidrErrorT *err);
void nyxListIterReset(nyxIter *it);
void nyxListIterQuit(nyxIter *it);
extern const nyxIterOps nyxListIterOps;

// Makes an iterator over a list of the global state whose objects have class code `code`, with
// the given operations (their quit must be nyxListIterQuit); null when out of memory.
nyxListIter *nyxMakeListIter(const nyxDynArray *list, int32_t code,
                             const nyxIterOps &ops = nyxListIterOps);
