// The class row of netlist views (nyxNetlistViewOps), their lookups, counts and the tolerant
// port lookup.
#include <string_view>

#include "dm/netlist/busname.h"
#include "dm/netlist/inst.h"
#include "dm/netlist/net.h"
#include "dm/netlist/port.h"

namespace {

nyxNetlistView *asView(void *obj) { return static_cast<nyxNetlistView *>(obj); }

bool viewReadOnly(const void *owner, uint32_t) { return static_cast<const nyxNetlistView *>(owner)->readOnly(); }

nyxObjRef viewCreateProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxNetlistView *v = asView(obj);
    if (!nyxNetlistView::load(v, err)) return {};
    nyxPropOwner owner = {v, 0, nyxCodeNetlistView, v->viewHeap(), viewReadOnly};
    return nyxPropCreate(v->d_propList, owner, name, err);
}
nyxObjRef viewFindProp(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    if (!nyxNetlistView::load(asView(obj), err)) return {};
    return nyxPropFind(asView(obj)->d_propList, name, err);
}
nyxIter *viewGetProps(void *obj, uint32_t, cfidrErrorT *err) {
    // A view not read yet has no properties in memory; one that cannot be read has none at all
    // (its identifiers can still go).
    if (nyxIterNoReads > 0 && !asView(obj)->loaded()) return nyxPropGetProps(nullptr, err);
    cfidrErrorT ignored = 0;
    if (!nyxNetlistView::load(asView(obj), &ignored)) return nyxPropGetProps(nullptr, err);
    return nyxPropGetProps(asView(obj)->d_propList, err);
}
const char *viewGetName(void *obj, uint32_t, cfidrErrorT *) { return asView(obj)->nameObj(); }
void viewSetName(void *obj, uint32_t, const char *name, cfidrErrorT *err) {
    nyxNetlistView::setName(asView(obj), name, err);
}
void viewDestroy(void *obj, uint32_t, cfidrErrorT *err) { nyxNetlistView::destroy(asView(obj), err); }

// Contents listed for the withdrawal of identifiers: only what memory holds.
nyxIter *viewGetNets(void *obj, uint32_t, cfidrErrorT *err) {
    nyxNetlistView *v = asView(obj);
    if (!v->loaded()) return nullptr;
    return nyxNet::viewNets(v, cfidrAllIterMode, err);
}
nyxIter *viewGetPorts(void *obj, uint32_t member, cfidrErrorT *err) {
    if (!asView(obj)->loaded()) return nullptr;
    return nyxPortViewPortsGetter(obj, member, err);
}

nyxIter *viewGetInsts(void *obj, uint32_t, cfidrErrorT *err) {
    nyxNetlistView *v = asView(obj);
    if (!v->loaded()) return nullptr;
    return nyxInstance::viewInsts(v, err);
}

constexpr nyxClassOps makeViewOps() {
    nyxClassOps ops{};
    ops.createProp = viewCreateProp;
    ops.destroy = viewDestroy;
    ops.findPropByName = viewFindProp;
    ops.getName = viewGetName;
    ops.setName = viewSetName;
    ops.getters[nyxIterProp] = viewGetProps;
    ops.getters[nyxIterPort] = viewGetPorts;
    ops.getters[nyxIterNet] = viewGetNets;
    ops.getters[nyxIterInst] = viewGetInsts;
    return ops;
}

bool nameOk(const char *name, cfidrErrorT *err) {
    if (name == nullptr || (!nyx::trustedProgram() && !nyxNetlistView::validString(name))) {
        return *err = cfidrErrBadName, false;
    }
    return true;
}

} // namespace

extern constinit const nyxClassOps nyxNetlistViewOps = makeViewOps();

namespace nyxViewOps {

nyxObjRef findPortByNearestName(nyxNetlistView *view, const char *name, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err) || !nameOk(name, err)) return {};
    const nyxDynArray &ports = view->ports();
    if (ports.nitems() == 0) return *err = cfidrErrNotFound, nyxObjRef{};
    nyxBusName::Split want = nyxBusName::split(name);
    if (nyxBusName::malformed(want.form)) return *err = cfidrErrNotFound, nyxObjRef{};
    std::string_view whole(name);
    int32_t wantCode = want.form == nyxBusName::kSubscript ? nyxCodePortBus
                       : want.form == nyxBusName::kGroup   ? nyxCodePortBundle
                                                           : nyxCodePortScalar;
    for (int32_t i = 0; i < ports.nitems(); ++i) {
        auto *p = static_cast<nyxPort *>(ports[i]);
        std::string_view pname(p->name());
        if (want.form == nyxBusName::kPlain) {
            if (p->d_code == nyxCodePortScalar && nyxBusName::equalNoCase(pname, whole)) return {p, p->d_code, 0};
            continue;
        }
        if (p->d_code == wantCode) {
            if (!want.base.empty() && !nyxBusName::startsWithNoCase(pname, want.base)) continue;
            if (nyxBusName::equalNoCase(pname, whole)) return {p, p->d_code, 0};
            if (!want.base.empty()) {
                nyxBusName::Split have = nyxBusName::split(p->name());
                if (!have.base.empty() && nyxBusName::equalNoCase(have.base, want.base)) return {p, p->d_code, 0};
            }
        } else if (wantCode == nyxCodePortBus && p->d_code == nyxCodePortScalar &&
                   nyxBusName::equalNoCase(pname, whole)) {
            return {p, p->d_code, 0};
        }
    }
    return *err = cfidrErrNotFound, nyxObjRef{};
}

nyxObjRef findNetByPosition(nyxNetlistView *view, int32_t position, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return {};
    int32_t code = 0;
    void *net = view->netAtPosition(position, &code, err);
    return net != nullptr ? nyxObjRef{net, code, 0} : nyxObjRef{};
}

int32_t getNetCount(nyxNetlistView *view, cfidrErrorT *err) {
    if (!nyxNetlistView::load(view, err)) return 0;
    return view->netSlotCount();
}

} // namespace nyxViewOps

nyxObjRef nyxNetlistView::buildProp(nyxNetlistView *view, const char *name) {
    cfidrErrorT ignored = 0;
    nyxPropOwner owner = {view, 0, nyxCodeNetlistView, view->viewHeap(), viewReadOnly};
    return nyxPropCreate(view->d_propList, owner, name, &ignored);
}
