// Exported functions of ports: creation in views and groups, lookups, positions, iterators,
// moves, start and step of buses, directions and attached nets.
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

using nyxpi::checkArg;
using nyxpi::kNullOID;

namespace {

inline nyxNetlistView *viewOf(cfiOID id) { return nyxpi::object<nyxNetlistView>(id); }
inline nyxPort *portOf(cfiOID id) { return nyxpi::object<nyxPort>(id); }
inline nyxPortBundle *groupOf(cfiOID id) { return nyxpi::object<nyxPortBundle>(id); }

inline cfiOID handOutPort(nyxPort *port, cfidrErrorT *e) {
    return port != nullptr ? nyxpi::handOut(port, port->d_code, e) : kNullOID;
}

// The class code of a port identifier, for the class tests the frame skips in trusted program
// mode: false (4 stored) when it is not one of `a`, `b`.
inline bool portClassIs(cfiOID id, int32_t a, int32_t b, cfidrErrorT *e) {
    int32_t c = nyxpi::classCode(id.tag);
    if (c == a || c == b) return true;
    return nyxpi::fail(e, cfidrErrInternal), false;
}

} // namespace

extern "C" {

// --- Creation --------------------------------------------------------------------------------------

NYX_API cfiOID cfidrNetlistViewCreatePortScalar(cfiOID view, const char *name, int32_t position,
                                                cfidrPortDirectionT direction, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        return handOutPort(nyxPort::createPortScalar(viewOf(view), nullptr, name, position, direction, e), e);
    });
}

NYX_API cfiOID cfidrNetlistViewCreatePortBus(cfiOID view, const char *name, int32_t position, int32_t start,
                                             int32_t step, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        return handOutPort(nyxPort::createPortBus(viewOf(view), nullptr, name, position, start, step, e), e);
    });
}

NYX_API cfiOID cfidrNetlistViewCreatePortBundle(cfiOID view, const char *name, int32_t position,
                                                cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        return handOutPort(nyxPort::createPortBundle(viewOf(view), nullptr, name, position, e), e);
    });
}

NYX_API cfiOID cfidrPortBundleCreatePortScalar(cfiOID bundle, const char *name, int32_t position,
                                               cfidrPortDirectionT direction, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e)) return kNullOID;
        nyxPortBundle *g = groupOf(bundle);
        nyxNetlistView *v = nyxPort::getOwningView(g);
        if (v == nullptr) return nyxpi::fail(e, cfidrErrInternal), kNullOID;
        return handOutPort(nyxPort::createPortScalar(v, g, name, position, direction, e), e);
    });
}

NYX_API cfiOID cfidrPortBundleCreatePortBus(cfiOID bundle, const char *name, int32_t position, int32_t start,
                                            int32_t step, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e)) return kNullOID;
        nyxPortBundle *g = groupOf(bundle);
        nyxNetlistView *v = nyxPort::getOwningView(g);
        if (v == nullptr) return nyxpi::fail(e, cfidrErrInternal), kNullOID;
        return handOutPort(nyxPort::createPortBus(v, g, name, position, start, step, e), e);
    });
}

NYX_API cfiOID cfidrPortBundleCreatePortBundle(cfiOID bundle, const char *name, int32_t position,
                                               cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e)) return kNullOID;
        nyxPortBundle *g = groupOf(bundle);
        nyxNetlistView *v = nyxPort::getOwningView(g);
        if (v == nullptr) return nyxpi::fail(e, cfidrErrInternal), kNullOID;
        return handOutPort(nyxPort::createPortBundle(v, g, name, position, e), e);
    });
}

// --- The view's ports ------------------------------------------------------------------------------

NYX_API cfiOID cfidrNetlistViewFindPortByName(cfiOID view, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        nyxNetlistView *v = viewOf(view);
        if (!nyxNetlistView::load(v, e)) return kNullOID;
        return handOutPort(nyxPort::findByName(v->ports(), name, e), e);
    });
}

NYX_API cfidrIterT cfidrNetlistViewGetPorts(cfiOID view, cfidrIterModeT mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e) || !nyxpi::checkIterMode(mode, e)) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxPortViewGetPorts(viewOf(view), mode, e), nyxIterPort, e);
    });
}

NYX_API cfiOID nyxdrNetlistViewFindPortByPosition(cfiOID view, int32_t position, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return kNullOID;
        return nyxpi::handOut(nyxPortViewFindByPosition(viewOf(view), position, e), e);
    });
}

NYX_API int32_t nyxdrNetlistViewGetPortCount(cfiOID view, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(view, nyxCodeNetlistView, e)) return int32_t{0};
        return nyxPortViewCount(viewOf(view), e);
    });
}

// --- Any port ----------------------------------------------------------------------------------------

NYX_API cfiOID cfidrPortGetOwner(cfiOID port, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(port, nyxCodePort, e)) return kNullOID;
        nyxPort *p = portOf(port);
        if (p->d_ownerCode != nyxCodeNetlistView && p->d_ownerCode != nyxCodePortBus &&
            p->d_ownerCode != nyxCodePortBundle) {
            return nyxpi::fail(e, cfidrErrInternal), kNullOID;
        }
        return nyxpi::handOut(p->d_owner, p->d_ownerCode, e);
    });
}

NYX_API int32_t cfidrPortGetPosition(cfiOID port, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(port, nyxCodePort, e)) return int32_t{0};
        return nyxPort::getPosition(portOf(port));
    });
}

NYX_API int32_t nyxdrPortGetPositionInView(cfiOID port, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{-1}, [&](cfidrErrorT *e) {
        if (!checkArg(port, nyxCodePort, e)) return int32_t{-1};
        return nyxPort::getPositionInView(portOf(port));
    });
}

NYX_API void cfidrPortSetOwnerView(cfiOID port, int32_t position, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(port, nyxCodePort, e)) return;
        nyxPort::setOwnerView(portOf(port), position, e);
    });
}

NYX_API void cfidrPortSetOwnerPortBundle(cfiOID port, cfiOID bundle, int32_t position, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(port, nyxCodePort, e) || !checkArg(bundle, nyxCodePortBundle, e, nyxpi::kPortBundleCodes)) {
            return;
        }
        if (!portClassIs(bundle, nyxCodePortBundle, nyxCodePortBus, e)) return;
        nyxPort::setOwnerPortBundle(portOf(port), groupOf(bundle), position, e);
    });
}

// --- Port scalars ------------------------------------------------------------------------------------

NYX_API cfidrPortDirectionT cfidrPortScalarGetDirection(cfiOID port, cfidrErrorT *err) {
    return nyxpi::guard(err, cfidrPortDirectionT{0}, [&](cfidrErrorT *e) {
        if (!checkArg(port, nyxCodePortScalar, e)) return cfidrPortDirectionT{0};
        return nyxPort::getDirection(nyxpi::object<nyxPortScalar>(port));
    });
}

NYX_API cfiOID cfidrPortScalarGetNetScalar(cfiOID port, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(port, nyxCodePortScalar, e)) return kNullOID;
        return nyxpi::handOut(nyxpi::object<nyxPortScalar>(port)->net(), nyxCodeNetScalar, e);
    });
}

// --- Port buses --------------------------------------------------------------------------------------

NYX_API int32_t cfidrPortBusGetStart(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(bus, nyxCodePortBus, e)) return int32_t{0};
        return nyxpi::object<nyxPortBus>(bus)->d_start;
    });
}

NYX_API int32_t cfidrPortBusGetStep(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(bus, nyxCodePortBus, e)) return int32_t{0};
        return nyxpi::object<nyxPortBus>(bus)->d_step;
    });
}

NYX_API void cfidrPortBusSetStart(cfiOID bus, int32_t start, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(bus, nyxCodePortBus, e)) return;
        nyxPortBus::setStart(nyxpi::object<nyxPortBus>(bus), start, e);
    });
}

NYX_API void cfidrPortBusSetStep(cfiOID bus, int32_t step, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (!checkArg(bus, nyxCodePortBus, e)) return;
        nyxPortBus::setStep(nyxpi::object<nyxPortBus>(bus), step, e);
    });
}

NYX_API int32_t nyxdrPortBusGetEnd(cfiOID bus, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(bus, nyxCodePortBus, e)) return int32_t{0};
        return nyxPortBus::getEnd(nyxpi::object<nyxPortBus>(bus), e);
    });
}

// --- Port bundles (and buses) ------------------------------------------------------------------------

NYX_API int32_t cfidrPortBundleGetSize(cfiOID bundle, cfidrErrorT *err) {
    return nyxpi::guard(err, int32_t{0}, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e)) return int32_t{0};
        return groupOf(bundle)->size();
    });
}

NYX_API cfiOID cfidrPortBundleFindPortByName(cfiOID bundle, const char *name, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e)) return kNullOID;
        return handOutPort(nyxPort::findByName(groupOf(bundle)->members(), name, e), e);
    });
}

NYX_API cfiOID cfidrPortBundleFindPortByPosition(cfiOID bundle, int32_t position, cfidrErrorT *err) {
    return nyxpi::guard(err, kNullOID, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e)) return kNullOID;
        return handOutPort(nyxPort::findByPosition(groupOf(bundle), position, e), e);
    });
}

NYX_API cfidrIterT cfidrPortBundleGetPorts(cfiOID bundle, cfidrIterModeT mode, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e) || !nyxpi::checkIterMode(mode, e)) return nyxpi::nullIter();
        return nyxpi::handOutIter(nyxPortBundleGetPorts(groupOf(bundle), mode, e), nyxIterPort, e);
    });
}

NYX_API cfidrIterT cfidrPortBundleGetNetBundles(cfiOID bundle, cfidrErrorT *err) {
    return nyxpi::guardIter(err, [&](cfidrErrorT *e) {
        if (!checkArg(bundle, nyxCodePortBundle, e)) return nyxpi::nullIter();
        nyxIter *it = nyxPortBundleGetNetBundles(groupOf(bundle), e);
        return nyxpi::handOutIter(it, nyxIterNetBundle, e);
    });
}

} // extern "C"
