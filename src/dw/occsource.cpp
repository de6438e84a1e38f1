// The occurrence tree as a source of occurrence ids for the cross-references of occurrence
// property sets: names looked up in the view of an instance occurrence (or the top).
#include "dw/derived.h"
#include "dw/dwInt.h"

using namespace nyxdwInt;

namespace {

// The view occurrence of an id handed back to a set (3 the top, else an instance occurrence).
bool viewOfId(nyxOccTree *tree, uint64_t id, ViewOcc *vo) {
    if (id > static_cast<uint64_t>(INT32_MAX)) return false;
    cfidrErrorT e = 0;
    return viewOcc(tree, static_cast<int32_t>(id), true, vo, &e);
}

} // namespace

uint64_t nyxdwOccSource::treeSerial() const { return nyxdw::buildSerial(d_tree); }

uint64_t nyxdwOccSource::childInst(uint64_t instOcc, const char *instName) const {
    ViewOcc vo;
    if (!viewOfId(d_tree, instOcc, &vo) || vo.node < 0) return kNone;
    cfidrErrorT e = 0;
    nyxInst *inst = nyxInstance::findByName(vo.view, instName, &e);
    return inst != nullptr ? static_cast<uint64_t>(vo.base + nyxInstance::position(inst)) : kNone;
}

bool nyxdwOccSource::isLeaf(uint64_t instOcc) const {
    ViewOcc vo;
    return !viewOfId(d_tree, instOcc, &vo) || vo.node < 0;
}

uint64_t nyxdwOccSource::net(uint64_t instOcc, const char *netName) const {
    ViewOcc vo;
    if (!viewOfId(d_tree, instOcc, &vo) || vo.node < 0) return kNone;
    cfidrErrorT e = 0;
    nyxObjRef net = nyxNet::findByName(vo.view, netName, &e);
    return net.obj != nullptr ? static_cast<uint64_t>(vo.base + vo.view->netPosition(net.obj)) : kNone;
}

uint64_t nyxdwOccSource::port(uint64_t instOcc, const char *portName, const char *const *memberPath) const {
    ViewOcc vo;
    if (!viewOfId(d_tree, instOcc, &vo)) return kNone;
    cfidrErrorT e = 0;
    nyxPort *port = nyxPort::findByName(vo.view->ports(), portName, &e);
    for (int32_t i = 0; port != nullptr && memberPath != nullptr && memberPath[i] != nullptr; ++i) {
        if (!port->isGroup()) return kNone;
        port = nyxPort::findByName(static_cast<nyxPortBundle *>(port)->members(), memberPath[i], &e);
    }
    return port != nullptr ? static_cast<uint64_t>(nyxPort::getPositionInView(port)) : kNone;
}
