// Exported functions of nets: connections, groups, buses, the global flag, aliases, positions.
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::fail;
using nyxpi::kNullOID;

namespace {

void *net(cfiOID id) { return nyxpi::address(id.object); }
nyxNetBundle *group(cfiOID id) { return nyxpi::object<nyxNetBundle>(id); }

void attachTo(cfiOID n, cfiOID obj, cfidrAttachModeT mode, bool port, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(n, nyxCodeNet, e)) return;
        if (port ? !checkArg(obj, nyxCodePort, e, nyxpi::kPortCodes)
                 : !checkArg(obj, nyxCodePortInst, e, nyxpi::kPortInstCodes)) {
            return;
        }
        if (!nyxpi::checkAttachMode(mode, e)) return;
        const nyxConnSide &side = port ? nyxPortSide : nyxPortInstSide;
        nyxNet::attach(net(n), nyxpi::address(obj.object), side, mode, e);
    });
}

void detachFrom(cfiOID n, cfiOID obj, bool port, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(n, nyxCodeNet, e)) return;
        if (port ? !checkArg(obj, nyxCodePort, e, nyxpi::kPortCodes)
                 : !checkArg(obj, nyxCodePortInst, e, nyxpi::kPortInstCodes)) {
            return;
        }
        const nyxConnSide &side = port ? nyxPortSide : nyxPortInstSide;
        nyxNet::detach(net(n), nyxpi::address(obj.object), side, e);
    });
}

template <class F> cfidrIterT netIter(cfiOID n, int32_t expected, int16_t kind, F &&make, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(n, expected, e)) return nyxpi::nullIter();
        nyxIter *it = make(e);
        return nyxpi::handOutIter(it, kind, e);
    });
}

} // namespace

extern "C" {

// --- Connections -----------------------------------------------------------------------------------

NYX_API void cfidrNetAttachPort(cfiOID n, cfiOID port, cfidrAttachModeT mode, cfidrErrorT *err) {
    attachTo(n, port, mode, true, err);
}

NYX_API void cfidrNetAttachPortInst(cfiOID n, cfiOID portInst, cfidrAttachModeT mode, cfidrErrorT *err) {
    attachTo(n, portInst, mode, false, err);
}

NYX_API void cfidrNetDetachPort(cfiOID n, cfiOID port, cfidrErrorT *err) { detachFrom(n, port, true, err); }

NYX_API void cfidrNetDetachPortInst(cfiOID n, cfiOID portInst, cfidrErrorT *err) {
    detachFrom(n, portInst, false, err);
}

NYX_API cfidrIterT cfidrNetGetPorts(cfiOID n, cfidrErrorT *err) {
    return netIter(n, nyxCodeNet, nyxIterPort,
                   [&](cfidrErrorT *e) { return nyxNet::connections(net(n), nyxPortSide, e); }, err);
}

NYX_API cfidrIterT cfidrNetGetPortInsts(cfiOID n, cfidrErrorT *err) {
    return netIter(n, nyxCodeNet, nyxIterPortInst, [&](cfidrErrorT *e) -> nyxIter * {
        const nyxClassOps *ops = nyxpi::classOps(nyxpi::classCode(n.tag));
        return ops->getters[nyxIterPortInst](net(n), 0, e);
    }, err);
}

NYX_API cfidrIterT cfidrNetGetNetBundles(cfiOID n, cfidrErrorT *err) {
    return netIter(n, nyxCodeNet, nyxIterNetBundle, [&](cfidrErrorT *e) { return nyxNet::netBundles(net(n), e); },
                   err);
}

NYX_API cfiOID cfidrNetFindNetBundleByName(cfiOID n, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(n, nyxCodeNet, e)) return kNullOID;
        nyxObjRef r = nyxNet::findNetBundleByName(net(n), name, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(r, e);
    });
}

NYX_API cfiOID cfidrNetGetOwner(cfiOID n, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(n, nyxCodeNet, e)) return kNullOID;
        return nyxpi::handOut(nyxNet::view(net(n)), nyxCodeNetlistView, e);
    });
}

NYX_API int32_t nyxdrNetGetPosition(cfiOID n, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(n, nyxCodeNet, e)) return int32_t{0};
        return nyxNet::view(net(n))->netPosition(net(n));
    });
}

// --- Groups ----------------------------------------------------------------------------------------

NYX_API void cfidrNetBundleInsertNet(cfiOID g, cfiOID member, int32_t position, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(g, nyxCodeNetBundle, e) || !checkArg(member, nyxCodeNet, e, nyxpi::kNetCodes)) return;
        nyxNet::insertNet(group(g), net(member), position, e);
    });
}

NYX_API void cfidrNetBundleRemoveNet(cfiOID g, int32_t position, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(g, nyxCodeNetBundle, e)) return;
        nyxNet::removeNet(group(g), position, e);
    });
}

NYX_API cfidrIterT cfidrNetBundleGetNets(cfiOID g, cfidrIterModeT mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(g, nyxCodeNetBundle, e) || !nyxpi::checkIterMode(mode, e)) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxNet::members(group(g), mode, e), nyxIterNet, e);
    });
}

NYX_API int32_t cfidrNetBundleGetSize(cfiOID g, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(g, nyxCodeNetBundle, e)) return int32_t{0};
        return group(g)->size();
    });
}

NYX_API cfiOID cfidrNetBundleFindNetByName(cfiOID g, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(g, nyxCodeNetBundle, e)) return kNullOID;
        nyxObjRef r = nyxNet::findMemberByName(group(g), name, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(r, e);
    });
}

NYX_API cfiOID cfidrNetBundleFindNetByPosition(cfiOID g, int32_t position, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(g, nyxCodeNetBundle, e)) return kNullOID;
        nyxObjRef r = nyxNet::findMemberByPosition(group(g), position, e);
        return *e != 0 ? kNullOID : nyxpi::handOut(r, e);
    });
}

// --- Buses -----------------------------------------------------------------------------------------

NYX_API int32_t cfidrNetBusGetStart(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        return checkArg(bus, nyxCodeNetBus, e) ? nyxpi::object<nyxNetBus>(bus)->d_start : 0;
    });
}

NYX_API int32_t cfidrNetBusGetStep(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        return checkArg(bus, nyxCodeNetBus, e) ? nyxpi::object<nyxNetBus>(bus)->d_step : 0;
    });
}

NYX_API void cfidrNetBusSetStart(cfiOID bus, int32_t start, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (checkArg(bus, nyxCodeNetBus, e)) nyxNet::setStart(nyxpi::object<nyxNetBus>(bus), start, e);
    });
}

NYX_API void cfidrNetBusSetStep(cfiOID bus, int32_t step, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (checkArg(bus, nyxCodeNetBus, e)) nyxNet::setStep(nyxpi::object<nyxNetBus>(bus), step, e);
    });
}

NYX_API int32_t nyxdrNetBusGetEnd(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        return checkArg(bus, nyxCodeNetBus, e) ? nyxNet::getEnd(nyxpi::object<nyxNetBus>(bus), e) : 0;
    });
}

// --- Global flag and aliases -------------------------------------------------------------------------

NYX_API cfiBooleanEnum cfidrNetScalarGetIsGlobal(cfiOID n, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) {
        return checkArg(n, nyxCodeNetScalar, e) ? nyxNet::getGlobal(net(n), false) : 0;
    });
}

NYX_API void cfidrNetScalarSetIsGlobal(cfiOID n, cfiBooleanEnum value, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (checkArg(n, nyxCodeNetScalar, e)) nyxNet::setGlobal(net(n), false, value, e);
    });
}

NYX_API cfiBooleanEnum nyxdrNetAliasGetIsGlobal(cfiOID alias, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) {
        return checkArg(alias, nyxCodeNetAlias, e) ? nyxNet::getGlobal(net(alias), true) : 0;
    });
}

NYX_API void nyxdrNetAliasSetIsGlobal(cfiOID alias, cfiBooleanEnum value, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (checkArg(alias, nyxCodeNetAlias, e)) nyxNet::setGlobal(net(alias), true, value, e);
    });
}

NYX_API cfiOID nyxdrNetCreateNetAlias(cfiOID n, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(n, nyxCodeNet, e)) return kNullOID;
        return nyxpi::handOut(nyxNet::createAlias(net(n), name, e), nyxCodeNetAlias, e);
    });
}

NYX_API cfidrIterT nyxdrNetGetNetAliases(cfiOID n, cfidrErrorT *err) {
    return netIter(n, nyxCodeNet, nyxIterNetAlias, [&](cfidrErrorT *e) { return nyxNet::aliases(net(n), e); },
                   err);
}

NYX_API cfiOID nyxdrNetAliasGetOwner(cfiOID alias, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(alias, nyxCodeNetAlias, e)) return kNullOID;
        void *owner = nyxpi::object<nyxNetAlias>(alias)->d_owner;
        return nyxpi::handOut(owner, nyxNet::code(owner), e);
    });
}

} // extern "C"
