// Iterators of the interface: the base record every iterator class derives from, the operation
// tables through which the interface steps them, allocation from the iterator heap and the
// one-slot (or few-slot) caches that let an iterator class reuse freed iterators.
//
// An iterator crosses the interface as an untyped handle, the address of an object derived from
// nyxIter. The interface frame records the iterator kind (iterFunc: which IterNext function may
// step it) and the class code of the object that made it (iterObjType: which row of
// nyx::iterFuncTables holds its operations) right after the class getter returns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "nyxtypes.h"

class Hx_baseheap;

// What a class operation hands back to the interface: an object's address, its class code
// (1-25) and, for a property, its index in its owner's list. The interface frame turns it into an
// identifier; a null address means "nothing found".
struct nyxObjRef {
    void *obj = nullptr;
    int32_t code = 0;
    uint32_t member = 0;
};

// Base of every iterator. The constructor zeroes the kind and the maker's class code; `type` is
// the iterator class's own kind, used by its quit and reset operations.
struct nyxIter {
    int16_t iterFunc = 0;
    int16_t iterObjType = 0;
    int32_t type = 0;

    explicit nyxIter(int32_t ownType = 0) : type(ownType) {}
};

// Iterator kinds: the IterNext function that may step an iterator.
enum nyxIterKind : int16_t {
    nyxIterCell = 2,
    nyxIterInst = 3,
    nyxIterLib = 4,
    nyxIterNet = 5,
    nyxIterNetAlias = 6,
    nyxIterNetBundle = 7,
    nyxIterPort = 8,
    nyxIterPortInst = 9,
    nyxIterProp = 10,
    nyxIterView = 11,
    nyxIterLibrarySelector = 12,
    nyxIterViewSelector = 13,
    nyxIterOccPropSet = 14,
    nyxIterOccProp = 15,
    nyxIterDesignConfig = 16,
    nyxIterSelectorSet = 17,
};
constexpr int nyxIterKindCount = 18;  // Kinds 0 and 1 are unused (slots 0 and 1 are quit, reset).

// Operations on the iterators that objects of one class make (one row of nyx::iterFuncTables).
// `quit` destroys the iterator and returns its memory; `reset` rewinds it; next[k] steps an
// iterator of kind k and returns a null nyxObjRef when it is exhausted.
struct nyxIterOps {
    void (*quit)(nyxIter *it);
    void (*reset)(nyxIter *it);
    nyxObjRef (*next[nyxIterKindCount])(nyxIter *it, cfidrErrorT *err);
};

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

// Iterator over one of the global state's lists (libraries, kind 4; selector sets, kind 17).
// It steps by index until the list's count, so objects added while it runs are seen.
class nyxDynArray;
struct nyxListIter : nyxIter {
    const nyxDynArray *list;
    int32_t index = 0;
    int32_t code;  // class code of the listed objects

    nyxListIter(const nyxDynArray *l, int32_t ownType, int32_t c) : nyxIter(ownType), list(l), code(c) {}
};

// Makes an iterator over the global state's library (kind 4, class code 1) or selector-set list
// (kind 17, class code 16); null when out of memory.
nyxListIter *nyxMakeListIter(const nyxDynArray *list, int32_t ownType, int32_t code);

// Row 26 of nyx::iterFuncTables: the operations of the global state's own iterators.
extern const nyxIterOps nyxSessionIterOps;
