// A tiny owner class for the property tests: objects that carry a property list and may be
// read-only, installed under an unused class code so that the exported functions dispatch to it
// exactly as they will to the real classes.
#pragma once

#include <gtest/gtest.h>

#include "dm/dm_checks.h"
#include "dm/prop/prop.h"
#include "pi/pi.h"
#include "common/modes.h"

namespace propowner {

constexpr int32_t kCode = nyxCodeDesignConfig;

struct Owner {
    nyxPropList *props = nullptr;
    bool readOnly = false;
};

inline bool readOnly(const void *obj, uint32_t) { return static_cast<const Owner *>(obj)->readOnly; }
inline Owner *asOwner(void *obj) { return static_cast<Owner *>(obj); }
inline nyxPropOwner ownerOf(Owner *o) { return {o, 0, kCode, nyx::getGlobalHeap(), readOnly}; }

inline nyxObjRef createProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropCreate(asOwner(obj)->props, ownerOf(asOwner(obj)), name, err);
}
inline nyxObjRef findProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(asOwner(obj)->props, name, err);
}
inline nyxIter *getProps(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxPropGetProps(asOwner(obj)->props, err);
}
inline void destroy(void *obj, uint32_t, cfidrErrorT *err) {
    if (asOwner(obj)->readOnly) return void(*err = cfidrErrNotOpenForUpdate);
    nyxPropListDestroy(asOwner(obj)->props);
}
inline const nyxClassOps kOps = [] {
    nyxClassOps ops{};
    ops.createProp = createProp;
    ops.destroy = destroy;
    ops.findPropByName = findProp;
    ops.getters[nyxIterProp] = getProps;
    return ops;
}();

// A session with the owner class installed; owners live in the global heap.
struct Session : testing::Test {
    void SetUp() override {
        cfidrPIInit(&e);
        savedOps = nyxClasses::install(kCode, &kOps);
    }
    void TearDown() override {
        nyxClasses::install(kCode, savedOps);
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }
    cfiOID makeOwner(Owner **out = nullptr) {
        Owner *o = new (nyx::getGlobalHeap()->allocBlock(sizeof(Owner))) Owner();
        if (out != nullptr) *out = o;
        return nyxpi::handOut(o, kCode, &e);
    }
    cfiOID create(cfiOID obj, const char *name) { return dmtest::ok(cfidrObjectCreateProp, obj, name); }
    static uint32_t index(cfiOID prop) { return prop.tag >> 8; }

    cfidrErrorT e = -1;
    const nyxClassOps *savedOps = nullptr;
};

} // namespace propowner
