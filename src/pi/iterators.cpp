// The iterator protocol: null iterators, handing out, stepping, rewinding and freeing, and the
// global state's selector-set list.
#include <cstring>

#include "config/config.h"
#include "pi/pi.h"

namespace nyxpi {
namespace {

inline bool isNullIter(cfidrIterT it) { return (reinterpret_cast<uintptr_t>(it) & 1) != 0; }

// Registers a handle unless trusted program mode is on; false when memory ran out.
inline bool registerIter(const void *handle) {
    return trusted() || nyx::session == nullptr || nyx::session->registerIter(handle);
}

} // namespace

const char *const kEmptyPath[1] = {nullptr};

const char *const *returnPath(const std::vector<std::string> &names, cfidrErrorT *e) {
    size_t bytes = (names.size() + 1) * sizeof(char *);
    for (const std::string &n : names) bytes += n.size() + 1;
    void *block = nyx::session != nullptr ? nyx::session->ringBlock(bytes) : nullptr;
    if (block == nullptr) return fail(e, cfidrErrInternal), kEmptyPath;
    auto **array = static_cast<const char **>(block);
    char *text = static_cast<char *>(block) + (names.size() + 1) * sizeof(char *);
    for (size_t i = 0; i < names.size(); ++i) {
        std::memcpy(text, names[i].c_str(), names[i].size() + 1);
        array[i] = text;
        text += names[i].size() + 1;
    }
    array[names.size()] = nullptr;
    return array;
}

cfidrIterT nullIter() {
    nyx::nullIterator += 2;
    cfidrIterT handle = reinterpret_cast<cfidrIterT>(nyx::nullIterator);
    registerIter(handle);
    return handle;
}

cfidrIterT handOutIter(nyxIter *it, int16_t kind, cfidrErrorT *e) {
    if (it == nullptr) {
        // A getter that made nothing reported why (or ran out of memory).
        if (*e == 0) fail(e, cfidrErrInternal);
        return nullIter();
    }
    it->iterFunc = kind;
    if (!registerIter(it)) {
        it->ops->quit(it);
        fail(e, cfidrErrInternal);
        return nullIter();
    }
    return reinterpret_cast<cfidrIterT>(it);
}

cfiOID iterNext(cfidrIterT handle, int16_t kind, cfidrErrorT *e) {
    if (isNullIter(handle)) return kNullOID;
    nyxIter *it = reinterpret_cast<nyxIter *>(handle);
    if (!trusted()) {
        const nyx *s = nyx::session;
        if (s == nullptr || handle == nullptr || !s->iterRegistered(handle)) {
            return fail(e, cfidrErrBadIterator), kNullOID;
        }
        if (it->iterFunc != kind && !(kind == nyxIterNet && it->iterFunc == nyxIterNetBundle)) {
            return fail(e, cfidrErrIterWrongType), kNullOID;
        }
    } else if (handle == nullptr) {
        return fail(e, cfidrErrBadIterator), kNullOID;
    }
    // The object it walked is gone: nothing it would read is there any more.
    if (it->ended) return fail(e, cfidrErrObjectUnusable), kNullOID;
    // One call: the iterator's own step.
    nyxObjRef r = it->ops->next(it, e);
    if (*e != 0) return kNullOID;
    return handOut(r, e);
}

// Reset and quit: the handle must be registered (also a null iterator, also in trusted program
// mode), except that trusted program mode takes a real handle on trust.
static bool iterLive(cfidrIterT handle, cfidrErrorT *e) {
    const nyx *s = nyx::session;
    bool registered = s != nullptr && s->iterRegistered(handle);
    if (registered || (trusted() && handle != nullptr && !isNullIter(handle))) return true;
    return fail(e, cfidrErrBadIterator), false;
}

} // namespace nyxpi

using nyxpi::iterNext;

extern "C" {

NYX_API void cfidrIterReset(cfidrIterT it, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!nyxpi::iterLive(it, e) || nyxpi::isNullIter(it)) return;
        nyxIter *iter = reinterpret_cast<nyxIter *>(it);
        // An iterator whose object went stays ended: rewinding would read freed memory.
        if (iter->ended) return nyxpi::fail(e, cfidrErrObjectUnusable);
        iter->ops->reset(iter);
    });
}

NYX_API void cfidrIterQuit(cfidrIterT it, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!nyxpi::iterLive(it, e)) return;
        if (nyx::session != nullptr) nyx::session->withdrawIter(it);
        if (nyxpi::isNullIter(it)) return;
        nyxIter *iter = reinterpret_cast<nyxIter *>(it);
        iter->ops->quit(iter);
    });
}

#define NYX_ITER_NEXT(fn, kind)                                                                    \
    NYX_API cfiOID fn(cfidrIterT it, cfidrErrorT *err) {                                           \
        return nyxpi::guard(err, nyxpi::kNullOID,                                                  \
                            [&](cfidrErrorT *e) { return iterNext(it, kind, e); });                \
    }

NYX_ITER_NEXT(cfidrIterNextCell, nyxIterCell)
NYX_ITER_NEXT(cfidrIterNextInst, nyxIterInst)
NYX_ITER_NEXT(cfidrIterNextLib, nyxIterLib)
NYX_ITER_NEXT(cfidrIterNextNet, nyxIterNet)
NYX_ITER_NEXT(nyxdrIterNextNetAlias, nyxIterNetAlias)
NYX_ITER_NEXT(cfidrIterNextNetBundle, nyxIterNetBundle)
NYX_ITER_NEXT(cfidrIterNextPort, nyxIterPort)
NYX_ITER_NEXT(cfidrIterNextPortInst, nyxIterPortInst)
NYX_ITER_NEXT(cfidrIterNextProp, nyxIterProp)
NYX_ITER_NEXT(cfidrIterNextView, nyxIterView)
NYX_ITER_NEXT(cfidrIterNextLibrarySelector, nyxIterLibrarySelector)
NYX_ITER_NEXT(cfidrIterNextViewSelector, nyxIterViewSelector)
NYX_ITER_NEXT(nyxdrIterNextOccPropSet, nyxIterOccPropSet)
NYX_ITER_NEXT(nyxdrIterNextOccProp, nyxIterOccProp)
NYX_ITER_NEXT(nyxdrIterNextDesignConfig, nyxIterDesignConfig)
NYX_ITER_NEXT(cfidrIterNextSelectorSet, nyxIterSelectorSet)

// The session's list of selector sets.
NYX_API cfidrIterT cfidrPIGetSelectorSets(cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        nyx *s = nyxpi::session(e);
        if (s == nullptr) return nyxpi::nullIter();
        nyxIter *it = nyxMakeListIter(&nyxSelectorSet::sessionList(), nyxCodeSelectorSet);
        return nyxpi::handOutIter(it, nyxIterSelectorSet, e);
    });
}

} // extern "C"
