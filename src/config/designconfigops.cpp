// The class row of design configurations (25) and the iterator over a configuration's sets.
#include <new>

#include "config/configInt.h"

namespace {

// Iterator over a configuration's set list by position, so that sets inserted while it runs
// at or after its place are seen; an entry whose set cannot be found is passed over. It ends
// when the configuration goes (home) or its heap is emptied by a failed read (anchor).
extern const nyxIterOps kSetIterOps;

struct nyxConfigSetIter : nyxIter {
    nyxDesignConfig *config;
    int32_t index = 0;

    explicit nyxConfigSetIter(nyxDesignConfig *c) : nyxIter(kSetIterOps), config(c) {}
};

nyxIterCache<nyxConfigSetIter, 2> g_iters;

nyxObjRef setNext(nyxIter *it, cfidrErrorT *) {
    auto *si = static_cast<nyxConfigSetIter *>(it);
    nyxDynArray &refs = si->config->setRefs();
    while (si->index < refs.nitems()) {
        auto *ref = static_cast<nyxDesignConfigRef *>(refs[si->index++]);
        if (nyxDMObj *set = nyxDesignConfig::resolve(si->config, ref, nyxCodeOccPropSet)) {
            return nyxObjRef{set, nyxCodeOccPropSet, 0};
        }
    }
    return {};
}

void setReset(nyxIter *it) { static_cast<nyxConfigSetIter *>(it)->index = 0; }
void setQuit(nyxIter *it) { g_iters.release(static_cast<nyxConfigSetIter *>(it)); }

constinit const nyxIterOps kSetIterOps = {setNext, setReset, setQuit};

nyxDesignConfig *asConfig(void *obj) { return static_cast<nyxDesignConfig *>(obj); }

// Getters read the configuration first, except while the frame collects identifiers.
bool readFirst(nyxDesignConfig *config, cfidrErrorT *err) {
    return nyxIterNoReads > 0 || nyxDesignConfig::load(config, err);
}

} // namespace

nyxIter *nyxDesignConfig::getOccPropSets(nyxDesignConfig *config, cfidrErrorT *err) {
    if (!load(config, err)) return nullptr;
    nyxConfigSetIter *it = g_iters.make(config);
    if (it == nullptr) return *err = cfidrErrInternal, nullptr;
    it->home = config;
    it->anchor = config->heap();
    return it;
}

namespace nyxDesignConfigOps {

nyxObjRef createProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxDesignConfig *config = asConfig(obj);
    if (!readFirst(config, err)) return {};
    nyxObjRef r = nyxPropCreate(config->d_propList, config->propOwner(), name, err);
    if (r.obj != nullptr) config->d_changed = true;
    return r;
}

nyxObjRef findProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!readFirst(asConfig(obj), err)) return {};
    return nyxPropFind(asConfig(obj)->d_propList, name, err);
}

nyxIter *getProps(void *obj, uint32_t, cfidrErrorT *err) {
    if (!readFirst(asConfig(obj), err)) return nullptr;
    return nyxPropGetProps(asConfig(obj)->d_propList, err);
}

// Sets are not the configuration's contents: destroying it takes none of them along.
void destroy(void *obj, uint32_t, cfidrErrorT *err) { nyxDesignConfig::destroy(asConfig(obj), err); }

const char *getName(void *obj, uint32_t, cfidrErrorT *) { return asConfig(obj)->nameObj(); }

} // namespace nyxDesignConfigOps
