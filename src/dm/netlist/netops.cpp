// The class rows of net scalars, buses, bundles and net aliases (nyxNetScalarOps, nyxNetBusOps,
// nyxNetBundleOps, nyxNetAliasOps): properties, names, destruction and the iterators they make.
#include "dm/netlist/net.h"

namespace {

bool netReadOnly(const void *owner, uint32_t) { return nyxNet::view(owner)->readOnly(); }
bool aliasReadOnly(const void *owner, uint32_t) {
    return nyxNet::view(static_cast<const nyxNetAlias *>(owner)->d_owner)->readOnly();
}

nyxPropOwner netOwner(void *net) {
    return {net, 0, nyxNet::code(net), nyxNet::view(net)->viewHeap(), netReadOnly};
}

nyxObjRef netCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxPropList *list = nyxNet::props(obj);
    nyxObjRef r = nyxPropCreate(list, netOwner(obj), name, err);
    nyxNet::setProps(obj, list);
    return r;
}
nyxObjRef netFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(nyxNet::props(obj), name, err);
}
nyxIter *netGetProps(void *obj, uint32_t, cfidrErrorT *err) { return nyxPropGetProps(nyxNet::props(obj), err); }
const char *netGetName(void *obj, uint32_t, cfidrErrorT *) { return nyxNet::name(obj); }
void netSetName(void *obj, uint32_t, const char *name, cfidrErrorT *err) { nyxNet::setName(obj, name, err); }
void netDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxNet::destroy(obj, err); }

nyxIter *netGetPorts(void *obj, uint32_t, cfidrErrorT *err) { return nyxNet::connections(obj, nyxPortSide, err); }
nyxIter *netGetPortInsts(void *obj, uint32_t, cfidrErrorT *err) {
    return nyxNet::connections(obj, nyxPortInstSide, err);
}
nyxIter *netGetNetBundles(void *obj, uint32_t, cfidrErrorT *err) { return nyxNet::netBundles(obj, err); }
nyxIter *netGetAliases(void *obj, uint32_t, cfidrErrorT *err) { return nyxNet::aliases(obj, err); }

constexpr nyxClassOps makeNetOps() {
    nyxClassOps ops{};
    ops.createProp = netCreateProp;
    ops.destroy = netDestroy;
    ops.findPropByName = netFindProp;
    ops.getName = netGetName;
    ops.setName = netSetName;
    ops.getters[nyxIterProp] = netGetProps;
    ops.getters[nyxIterPort] = netGetPorts;
    ops.getters[nyxIterPortInst] = netGetPortInsts;
    ops.getters[nyxIterNetBundle] = netGetNetBundles;
    ops.getters[nyxIterNetAlias] = netGetAliases;
    return ops;
}

// --- Aliases ---------------------------------------------------------------------------------------

nyxNetAlias *asAlias(void *obj) { return static_cast<nyxNetAlias *>(obj); }

nyxObjRef aliasCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxNetAlias *a = asAlias(obj);
    nyxPropOwner owner = {a, 0, nyxCodeNetAlias, nyxNet::view(a->d_owner)->viewHeap(), aliasReadOnly};
    return nyxPropCreate(a->d_props, owner, name, err);
}
nyxObjRef aliasFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    return nyxPropFind(asAlias(obj)->d_props, name, err);
}
nyxIter *aliasGetProps(void *obj, uint32_t, cfidrErrorT *err) { return nyxPropGetProps(asAlias(obj)->d_props, err); }
const char *aliasGetName(void *obj, uint32_t, cfidrErrorT *) { return asAlias(obj)->d_name.getString(); }
void aliasSetName(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxNet::renameAlias(asAlias(obj), name, err);
}
void aliasDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxNet::destroyAlias(asAlias(obj), err); }

constexpr nyxClassOps makeAliasOps() {
    nyxClassOps ops{};
    ops.createProp = aliasCreateProp;
    ops.destroy = aliasDestroy;
    ops.findPropByName = aliasFindProp;
    ops.getName = aliasGetName;
    ops.setName = aliasSetName;
    ops.getters[nyxIterProp] = aliasGetProps;
    return ops;
}

} // namespace

extern constinit const nyxClassOps nyxNetScalarOps = makeNetOps();
extern constinit const nyxClassOps nyxNetBusOps = makeNetOps();
extern constinit const nyxClassOps nyxNetBundleOps = makeNetOps();
extern constinit const nyxClassOps nyxNetAliasOps = makeAliasOps();
