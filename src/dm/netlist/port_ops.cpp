// The class rows of port scalars, buses and bundles (nyxPortScalarOps, nyxPortBusOps,
// nyxPortBundleOps): properties, names, destruction, member listing and the iterators the port
// classes make.
#include "dm/netlist/portInt.h"
#include "dm/netlist/view.h"

namespace {

nyxPort *asPort(void *obj) { return static_cast<nyxPort *>(obj); }

bool portReadOnly(const void *owner, uint32_t) {
    const nyxNetlistView *view = nyxPort::getOwningView(static_cast<const nyxPort *>(owner));
    return view == nullptr || view->readOnly();
}

nyxPropOwner propOwner(nyxPort *port) {
    nyxNetlistView *view = nyxPort::getOwningView(port);
    return {port, 0, port->d_code, view != nullptr ? view->viewHeap() : nullptr, portReadOnly};
}

nyxObjRef portCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxPort *port = asPort(obj);
    return nyxPropCreate(port->d_propList, propOwner(port), name, err);
}

nyxObjRef portFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(asPort(obj)->d_propList, name, err);
}

nyxIter *portGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxPropGetProps(asPort(obj)->d_propList, err);
}

const char *portGetName(void *obj, uint32_t, cfidrErrorT *) { return asPort(obj)->name(); }

void portDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxPort::destroy(asPort(obj), err); }

// The direct members of a bus or bundle (withdrawal walks deeper members through their groups).
nyxIter *groupGetMembers(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxPortBundleGetPorts(static_cast<nyxPortBundle *>(asPort(obj)), cfidrTopLevelIterMode,
                                 err);
}

constexpr nyxClassOps makeOps(bool group) {
    nyxClassOps ops{};
    ops.createProp = portCreateProp;
    ops.destroy = portDestroy;
    ops.findPropByName = portFindProp;
    ops.getName = portGetName;
    ops.setName = nullptr;  // ports cannot be renamed: the interface reports 36
    ops.getters[nyxIterProp] = portGetProps;
    if (group) ops.getters[nyxIterPort] = groupGetMembers;
    return ops;
}

} // namespace

extern constinit const nyxClassOps nyxPortScalarOps = makeOps(false);
extern constinit const nyxClassOps nyxPortBusOps = makeOps(true);
extern constinit const nyxClassOps nyxPortBundleOps = makeOps(true);
