// The class row of instances (nyxInstOps): properties, name, destruction, and the iterators an
// instance makes (its properties and its top-level port instances).
#include "dm/netlist/instInt.h"

namespace {

nyxInst *asInst(void *obj) { return static_cast<nyxInst *>(obj); }

bool instReadOnly(const void *owner, uint32_t) { return static_cast<const nyxInst *>(owner)->view()->readOnly(); }

nyxObjRef instCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxInst *inst = asInst(obj);
    nyxPropOwner owner = {inst, 0, nyxCodeInst, inst->view()->viewHeap(), instReadOnly};
    return nyxPropCreate(inst->d_propList, owner, name, err);
}
nyxObjRef instFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(asInst(obj)->d_propList, name, err);
}
nyxIter *instGetProps(void *obj, uint32_t, cfidrErrorT *err) { return nyxPropGetProps(asInst(obj)->d_propList, err); }
const char *instGetName(void *obj, uint32_t, cfidrErrorT *) { return asInst(obj)->name(); }
void instSetName(void *obj, uint32_t, const char *name, cfidrErrorT *err) { nyxInstance::setName(asInst(obj), name, err); }
void instDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxInstance::destroy(asInst(obj), err); }

// The top-level port instances, through the port-instance code.
nyxIter *instGetPortInsts(void *obj, uint32_t member, cfidrErrorT *err) {
    return nyxPortInst::instGetter(obj, member, err);
}
constexpr nyxClassOps makeInstOps() {
    nyxClassOps ops{};
    ops.createProp = instCreateProp;
    ops.destroy = instDestroy;
    ops.findPropByName = instFindProp;
    ops.getName = instGetName;
    ops.setName = instSetName;
    ops.getters[nyxIterProp] = instGetProps;
    ops.getters[nyxIterPortInst] = instGetPortInsts;
    return ops;
}

} // namespace

extern constinit const nyxClassOps nyxInstOps = makeInstOps();
