// The property class (class code 13): a property is addressed by its list and its index there,
// so every operation receives the list as the object and the index as the member.
#include "dm/prop/propInt.h"

namespace {

nyxPropList *listOf(void *obj) { return static_cast<nyxPropList *>(obj); }

void destroy(void *obj, uint32_t index, cfidrErrorT *err) { nyxPropDestroy(listOf(obj), index, err); }

const char *getName(void *obj, uint32_t index, cfidrErrorT *err) {
    const nyxProp *p = nyxPropLive(listOf(obj), index, err);
    return p != nullptr ? p->name() : "";
}

void setName(void *obj, uint32_t index, const char *name, cfidrErrorT *err) {
    nyxPropRename(listOf(obj), index, name, err);
}

nyxObjRef createProp(void *obj, uint32_t index, const char *name, cfidrErrorT *err) {
    return nyxPropCreateOnProp(listOf(obj), index, name, err);
}

nyxObjRef findPropByName(void *obj, uint32_t index, const char *name, cfidrErrorT *err) {
    if (nyxPropLive(listOf(obj), index, err) == nullptr) return {};
    return nyxPropFind(nyxPropsOnProp(listOf(obj), index), name, err);
}

nyxIter *getProps(void *obj, uint32_t index, cfidrErrorT *err) {
    if (nyxPropLive(listOf(obj), index, err) == nullptr) return nullptr;
    return nyxPropGetProps(nyxPropsOnProp(listOf(obj), index), err);
}

nyxObjRef ownerOf(const nyxPropList *list) { return nyxPropListOwner(list); }

constexpr nyxPropClassOps kOwn = {ownerOf,           nyxPropGetValueType, nyxPropGetBoolean,
                                  nyxPropGetInt,     nyxPropGetFloat,     nyxPropGetString,
                                  nyxPropSetBoolean, nyxPropSetInt,       nyxPropSetFloat,
                                  nyxPropSetString,  nyxPropSetExpression};

constexpr nyxClassOps makeOps() {
    nyxClassOps ops{};
    ops.createProp = createProp;
    ops.destroy = destroy;
    ops.findPropByName = findPropByName;
    ops.getName = getName;
    ops.setName = setName;
    ops.getters[nyxIterProp] = getProps;
    ops.own = &kOwn;
    return ops;
}

constinit const nyxClassOps kOps = makeOps();

} // namespace

void nyxPropInstall() { nyxClasses::install(nyxCodeProp, &kOps); }
