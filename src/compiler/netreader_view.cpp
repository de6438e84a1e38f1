// The record reader, continued: the records of a netlist view's data (nets with their aliases
// and members, ports, footprints and their ports, instances and port instances), built through
// the builders of stored views. Every index names an entry read before it; every group stays
// within kMaxNesting and never holds itself.
#include <algorithm>

#include "compiler/netreader.h"
#include "dm/netlist/netlist.h"

namespace {

// Bus bounds in the order written: start b1, counting down when b2 lies below it.
void busFields(int32_t b1, int32_t b2, int32_t &start, int32_t &step) {
    start = b1;
    step = b2 < b1 ? -1 : 1;
}

// Most ports a footprint or one of its groups may declare (the record builder's own bound).
constexpr int32_t kMaxRecordPorts = 1 << 20;

} // namespace

// Whether no net or alias of the view has the name yet, through the view's net name map (made
// when the view's data begins, kept up to date by the builders).
bool nyxCompilerNetlist::netNameFree(const std::string &name) {
    cfidrErrorT e = 0;
    const nyxObjRef found = nyxNet::findByName(d_view, name.c_str(), &e);
    if (found.obj != nullptr || e != cfidrErrNotFound) return NYX_COMPILER_CORRUPT();
    return true;
}

bool nyxCompilerNetlist::readViewBody() {
    // The net name map answers the duplicate checks: made now with room for the declared net
    // count (as reserved for the net table, capped), so that it does not grow step by step.
    if (d_view->buildNetNameMap(static_cast<uint32_t>(d_nets.capacity())) == nullptr) {
        return NYX_COMPILER_CORRUPT();  // memory
    }
    // The instance name map answers the duplicate names of instances. Gate-level views hold
    // about as many instances as nets: room for half as many leaves one growth step at most.
    if (!nyxInstance::reserveNameMap(d_view, static_cast<uint32_t>(d_nets.capacity() / 2))) {
        return NYX_COMPILER_CORRUPT();  // memory
    }
    for (;;) {
        const uint8_t t = d_in.readType();
        if (!d_in.good()) return false;
        int32_t height = 0;
        bool ok = true;
        switch (t) {
        case 15: return true;
        case 0: ok = readPropList({PropTarget::kView, d_view, nyxCodeNetlistView, 0}, false, 0); break;
        case 2: ok = readInst(); break;
        case 3: ok = readNet(nullptr, 0, height); break;
        case 4: ok = readPort(nullptr, 0, d_portNames); break;
        case 12: ok = readNames(); break;
        case 13: ok = readFootprint(); break;
        default: break;  // only the type byte: skipped
        }
        if (!ok) return false;
    }
}

// A net record inside `parent` (null at the top), `depth` groups deep; `height` gets how many
// levels of members lie below the net.
bool nyxCompilerNetlist::readNet(void *parent, int depth, int32_t &height) {
    if (depth > kMaxNesting) return NYX_COMPILER_CORRUPT();
    const int32_t isRef = d_in.readInt();
    if (!d_in.good()) return false;
    if (isRef != 0) {
        // A member that is a net defined before: never a group still being read (it would hold
        // itself), and never so deep that the nesting passes the limit.
        const int32_t index = d_in.readInt();
        if (!d_in.good()) return false;
        if (parent == nullptr || index < 0 || static_cast<size_t>(index) >= d_nets.size()) return NYX_COMPILER_CORRUPT();
        const NetEntry &ref = d_nets[static_cast<size_t>(index)];
        if (std::find(d_openGroups.begin(), d_openGroups.end(), ref.net) != d_openGroups.end()) return NYX_COMPILER_CORRUPT();
        if (depth + ref.height > kMaxNesting) return NYX_COMPILER_CORRUPT();
        if (!nyxNet::buildMember(static_cast<nyxNetBundle *>(parent), ref.net)) return NYX_COMPILER_CORRUPT();
        height = ref.height;
        return true;
    }
    const int32_t type = d_in.readObjType();
    std::string name;
    if (!readName(name)) return false;
    int32_t start = 0, step = 1;
    bool global = false;
    switch (type) {
    case nyxCodeNetBundle: break;
    case nyxCodeNetBus: {
        const int32_t b1 = d_in.readInt();
        const int32_t b2 = d_in.readInt();
        busFields(b1, b2, start, step);
        break;
    }
    case nyxCodeNetScalar: global = d_in.readInt() != 0; break;
    default: return NYX_COMPILER_CORRUPT();
    }
    if (!d_in.good()) return false;
    // One search of the net name map refuses a name in use and places the new net.
    bool taken = false;
    void *net = nyxNet::buildUnique(d_view, name.c_str(), type, start, step, global, &taken);
    if (net == nullptr) return NYX_COMPILER_CORRUPT();  // a name in use, or memory
    if (parent != nullptr && !nyxNet::buildMember(static_cast<nyxNetBundle *>(parent), net)) return NYX_COMPILER_CORRUPT();
    const size_t index = d_nets.size();
    d_nets.push_back({net, 0});
    if (!readTrailingList({PropTarget::kRow, net, type, 0})) return false;
    for (;;) {
        const uint8_t t = d_in.readType();
        if (!d_in.good()) return false;
        if (t != 5) {
            d_in.pushbackType(t);
            break;
        }
        if (!readAlias(net)) return false;
    }
    // Each alias went to the head of the list: turn it around into the order of the stream.
    nyxNetAlias *reversed = nullptr;
    for (auto *a = static_cast<nyxNetAlias *>(d_view->aliasHead(net)); a != nullptr;) {
        nyxNetAlias *next = a->d_next;
        a->d_next = reversed;
        reversed = a;
        a = next;
    }
    if (reversed != nullptr && !d_view->setAliasHead(net, reversed)) return NYX_COMPILER_CORRUPT();
    height = 0;
    if (type == nyxCodeNetScalar) return true;

    d_in.readType();  // the group's mark
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    if (count < 0) return NYX_COMPILER_CORRUPT();
    d_openGroups.push_back(net);
    int32_t deepest = 0;
    for (int32_t i = 0; i < count && d_in.good(); ++i) {
        d_in.readType();  // the member's mark
        int32_t h = 0;
        if (!readNet(net, depth + 1, h)) return false;
        deepest = std::max(deepest, h + 1);
    }
    d_openGroups.pop_back();
    d_nets[index].height = deepest;
    height = deepest;
    return d_in.good();
}

bool nyxCompilerNetlist::readAlias(void *net) {
    const int32_t global = d_in.readInt();
    std::string name;
    if (!readName(name) || !netNameFree(name)) return false;
    nyxNetAlias *alias = nyxNet::buildAlias(net, name.c_str(), global != 0);
    if (alias == nullptr) return NYX_COMPILER_CORRUPT();  // memory
    return readTrailingList({PropTarget::kRow, alias, nyxCodeNetAlias, 0});
}

// A port record in `group` (null at the top); `siblings` holds the names of the owner's ports.
bool nyxCompilerNetlist::readPort(void *group, int depth, std::unordered_set<std::string> &siblings) {
    if (depth > kMaxNesting) return NYX_COMPILER_CORRUPT();
    const int32_t type = d_in.readObjType();
    std::string name;
    if (!readName(name)) return false;
    if (!siblings.insert(name).second) return NYX_COMPILER_CORRUPT();
    auto *owner = static_cast<nyxPortBundle *>(group);
    nyxPort *port = nullptr;
    switch (type) {
    case nyxCodePortScalar: {
        const int32_t direction = d_in.readInt();
        const int32_t index = d_in.readInt();
        if (!d_in.good()) return false;
        if (direction < 0 || direction > 3 || index < -1 || index >= static_cast<int32_t>(d_nets.size())) {
            return NYX_COMPILER_CORRUPT();
        }
        void *net = index >= 0 ? d_nets[static_cast<size_t>(index)].net : nullptr;
        if (net != nullptr && nyxNet::code(net) != nyxCodeNetScalar) return NYX_COMPILER_CORRUPT();
        port = nyxPort::build(d_view, owner, name.c_str(), type, direction, 0);
        if (port == nullptr) return NYX_COMPILER_CORRUPT();  // memory
        if (net != nullptr && !nyxNet::buildAttach(static_cast<nyxNetScalar *>(net), static_cast<nyxPortScalar *>(port))) {
            return NYX_COMPILER_CORRUPT();
        }
        break;
    }
    case nyxCodePortBus: {
        const int32_t b1 = d_in.readInt();
        const int32_t b2 = d_in.readInt();
        if (!d_in.good()) return false;
        int32_t start = 0, step = 1;
        busFields(b1, b2, start, step);
        port = nyxPort::build(d_view, owner, name.c_str(), type, start, step);
        break;
    }
    case nyxCodePortBundle: port = nyxPort::build(d_view, owner, name.c_str(), type, 0, 0); break;
    default: return NYX_COMPILER_CORRUPT();
    }
    if (port == nullptr) return NYX_COMPILER_CORRUPT();  // memory
    if (!readTrailingList({PropTarget::kRow, port, type, 0})) return false;
    if (type == nyxCodePortScalar) return true;
    d_in.readType();  // the group's mark
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    if (count < 0) return NYX_COMPILER_CORRUPT();
    std::unordered_set<std::string> members;
    for (int32_t i = 0; i < count && d_in.good(); ++i) {
        d_in.readType();  // the member's mark
        if (!readPort(port, depth + 1, members)) return false;
    }
    return d_in.good();
}

// A footprint: the describer record of the instances that name it by index. Its ports are made
// as their counts are read, within the budget of declared ports not yet read.
bool nyxCompilerNetlist::readFootprint() {
    std::string lib, cell, view;
    if (!readName(lib) || !readName(cell) || !readName(view)) return false;
    const int32_t version = d_in.readInt();
    const std::string symbol = d_in.readString();
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    if (!symbol.empty() && !nyxDMUtil::validName(std::string_view(symbol))) return NYX_COMPILER_CORRUPT();
    // A view may not instantiate itself.
    if (nyxDMUtil::sameName(lib.c_str(), d_viewLib.c_str()) && nyxDMUtil::sameName(cell.c_str(), d_viewCell.c_str()) &&
        nyxDMUtil::sameName(view.c_str(), d_viewName.c_str())) {
        return NYX_COMPILER_CORRUPT();
    }
    if (count < 0 || count > kMaxRecordPorts || d_pendingPorts + count > kPortBudget) return NYX_COMPILER_CORRUPT();
    d_pendingPorts += count;
    cfidrErrorT e = 0;
    nyxFootPrint *record =
        nyxInstance::footPrintFromStored(d_view, lib.c_str(), cell.c_str(), view.c_str(), version, count, &e);
    if (record == nullptr || e != 0) return NYX_COMPILER_CORRUPT();  // memory
    d_footprints.push_back(record);
    if (!symbol.empty()) {
        // The symbol view, when memory holds it (nothing is opened here).
        nyxObjRef found = getView(lib.c_str(), cell.c_str(), symbol.c_str());
        if (found.code == nyxCodeNetlistView && found.obj != d_view) {
            record->setSymbolView(static_cast<nyxNetlistView *>(found.obj));
        }
    }
    std::unordered_set<std::string> names;
    for (int32_t i = 0; i < count && d_in.good(); ++i) {
        if (!readFootport(record, &record->d_ports[i], 0, names)) return false;
    }
    return d_in.good();
}

bool nyxCompilerNetlist::readFootport(nyxFootPrint *record, nyxFootPrintPort *port, int depth,
                                      std::unordered_set<std::string> &siblings) {
    if (depth > kMaxNesting) return NYX_COMPILER_CORRUPT();
    --d_pendingPorts;
    const int32_t type = d_in.readObjType();
    std::string name;
    if (!readName(name)) return false;
    if (!siblings.insert(name).second) return NYX_COMPILER_CORRUPT();
    cfidrErrorT e = 0;
    if (type == nyxCodePortScalar) {
        const int32_t direction = d_in.readInt();
        if (!d_in.good()) return false;
        if (direction < 0 || direction > 3) return NYX_COMPILER_CORRUPT();
        if (!nyxInstance::setPort(record, port, name.c_str(), type, 0, direction, -1, &e)) return NYX_COMPILER_CORRUPT();
        return true;
    }
    if (type != nyxCodePortBus && type != nyxCodePortBundle) return NYX_COMPILER_CORRUPT();
    int32_t start = -1, step = -1;
    if (type == nyxCodePortBus) {
        const int32_t b1 = d_in.readInt();
        const int32_t b2 = d_in.readInt();
        busFields(b1, b2, start, step);
    }
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    if (count < 0 || count > kMaxRecordPorts || d_pendingPorts + count > kPortBudget) return NYX_COMPILER_CORRUPT();
    d_pendingPorts += count;
    if (!nyxInstance::setPort(record, port, name.c_str(), type, count, start, step, &e)) return NYX_COMPILER_CORRUPT();
    std::unordered_set<std::string> members;
    for (int32_t i = 0; i < count && d_in.good(); ++i) {
        if (!readFootport(record, &port->d_members[i], depth + 1, members)) return false;
    }
    return d_in.good();
}

// An instance of a footprint read before, then one port-instance record per top-level port of
// the footprint, each following the footprint's port tree.
bool nyxCompilerNetlist::readInst() {
    const int32_t index = d_in.readInt();
    std::string name;
    if (!readName(name)) return false;
    if (index < 0 || static_cast<size_t>(index) >= d_footprints.size()) return NYX_COMPILER_CORRUPT();
    // The view's instance name map (built on the first search, kept up to date by the builder).
    cfidrErrorT e = 0;
    if (nyxInstance::findByName(d_view, name.c_str(), &e) != nullptr || e != cfidrErrNotFound) {
        return NYX_COMPILER_CORRUPT();
    }
    e = 0;
    nyxFootPrint *record = d_footprints[static_cast<size_t>(index)];
    nyxInst *inst = nyxInstance::createInstanceOf(d_view, record, name.c_str(), &e);
    if (inst == nullptr || e != 0) return NYX_COMPILER_CORRUPT();  // memory
    if (!readTrailingList({PropTarget::kRow, inst, nyxCodeInst, 0})) return false;
    const int32_t n = record->d_portCount;
    for (int32_t i = 0; i < n && d_in.good(); ++i) {
        d_in.readType();  // the port instance's mark
        if (!readPortInst(inst->slot(i), &record->d_ports[i], 0)) return false;
    }
    return d_in.good();
}

bool nyxCompilerNetlist::readPortInst(uintptr_t *word, const nyxFootPrintPort *port, int depth) {
    if (depth > kMaxNesting || word == nullptr) return NYX_COMPILER_CORRUPT();
    if (port->d_code == nyxCodePortScalar) {
        const int32_t index = d_in.readInt();
        if (!d_in.good()) return false;
        if (index < -1 || index >= static_cast<int32_t>(d_nets.size())) return NYX_COMPILER_CORRUPT();
        if (index >= 0) {
            void *net = d_nets[static_cast<size_t>(index)].net;
            if (nyxNet::code(net) != nyxCodeNetScalar) return NYX_COMPILER_CORRUPT();
            if (!nyxPortInst::attachTrusted(static_cast<nyxNetScalar *>(net), word)) return NYX_COMPILER_CORRUPT();
        }
        return readTrailingList({PropTarget::kRow, word, nyxCodePortInstScalar, 0});
    }
    const int32_t code = port->d_code == nyxCodePortBus ? nyxCodePortInstBus : nyxCodePortInstBundle;
    if (!readTrailingList({PropTarget::kRow, word, code, 0})) return false;
    d_in.readType();  // the group's mark
    d_in.readInt();   // not used: the footprint gives the members
    for (int32_t i = 0; i < port->d_memberCount && d_in.good(); ++i) {
        d_in.readType();  // the member's mark
        if (!readPortInst(nyxPortInst::member(word, i), &port->d_members[i], depth + 1)) return false;
    }
    return d_in.good();
}
