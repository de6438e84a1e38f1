// The view reader, continued: describer records (13), instances (2) and their port instances
// (1). Every id read is checked against what was read before it; a record port tree is filled
// completely before an instance may use its record, and the port-instance records must follow
// the shape of the instance's record exactly.
#include "dm/netlist/netlist.h"
#include "io/viewreader.h"
#include "utils/nyx.h"

namespace nyxViewFile {

// A record port: kind, direction or bus fields and name as in a port record; a group is then
// followed by 15, its member count and its member record ports.
bool ViewReader::readRecordPort(int32_t arg, nyxFootPrint *record, nyxFootPrintPort *port, int depth) {
    const int32_t kind = arg & 3;
    if (kind == 0 || depth > kMaxDepth) return corrupt();
    --d_pendingPorts;
    const char *name = nullptr;
    if (!readName(name)) return false;
    cfidrErrorT e = 0;
    if (kind == kScalar) {
        const int32_t direction = (arg >> 2) & 3;
        if (!nyxInstance::setPort(record, port, name, nyxCodePortScalar, 0, direction, -1, &e)) {
            return failed(cfidrErrInternal);
        }
        return true;
    }
    int32_t start = -1, step = -1;
    // The name stays in the scratch buffer while the bus fields (integers) are read.
    if (kind == kBus && !readBusFields((arg >> 2) & 3, (arg >> 4) & 3, start, step)) return false;
    int32_t mark = 0, count = 0;
    if (!readInt(mark) || !readInt(count)) return false;
    if (mark != kEnd) return corrupt();
    if (!claimPorts(count)) return false;
    const int32_t code = kind == kBus ? nyxCodePortBus : nyxCodePortBundle;
    if (!nyxInstance::setPort(record, port, name, code, count, start, step, &e)) {
        return failed(cfidrErrInternal);
    }
    for (int32_t i = 0; i < count; ++i) {
        int32_t type = 0, memberArg = 0;
        if (!readWord(type, memberArg)) return false;
        if (type != kPort) return corrupt();
        if (!readRecordPort(memberArg, record, &port->d_members[i], depth + 1)) return false;
    }
    return true;
}

// Describer record: library, cell and view names, describer version, port count, record ports.
// It takes the next record id; a record that no instance uses is dropped at the end of the read.
bool ViewReader::readDescriber(int32_t arg) {
    if (arg != 0 || d_records.size() > 0xFFFF) return corrupt();
    std::string lib, cell, view;
    const char *libName = nullptr, *cellName = nullptr, *viewName = nullptr;
    if (!readName(libName, &lib) || !readName(cellName, &cell) || !readName(viewName, &view, true)) return false;
    int32_t version = 0, count = 0;
    if (!readInt(version) || !readInt(count) || !claimPorts(count)) return false;
    cfidrErrorT e = 0;
    nyxFootPrint *record = nyxInstance::footPrintFromStored(d_view, libName, cellName, viewName, version, count, &e);
    if (record == nullptr || e != 0) return failed(cfidrErrInternal);
    d_records.push_back(record);
    for (int32_t i = 0; i < count; ++i) {
        int32_t type = 0, portArg = 0;
        if (!readWord(type, portArg)) return false;
        if (type != kPort) return corrupt();
        if (!readRecordPort(portArg, record, &record->d_ports[i], 0)) return false;
    }
    return true;
}

// A port instance record at `word`, whose record port is `port`: a scalar with its net id (in
// the short form, or following), a group with 15, its member count and its members; each
// followed by its property lists.
bool ViewReader::readPortInst(uintptr_t *word, const nyxFootPrintPort *port, int depth) {
    if (depth > kMaxDepth) return corrupt();
    int32_t type = 0, arg = 0;
    if (!readWord(type, arg)) return false;
    if (type != kPortInst) return corrupt();
    const bool scalar = port->d_code == nyxCodePortScalar;
    if (scalar) {
        int32_t id = -1;
        if ((arg & 1) != 0) {
            id = arg >> 1;
        } else {
            if (arg != 0 || !readInt(id)) return arg != 0 ? corrupt() : false;
        }
        if (id < -1 || id >= static_cast<int32_t>(d_nets.size())) return corrupt();
        if (id >= 0) {
            void *net = d_nets[static_cast<size_t>(id)];
            if (nyxNet::code(net) != nyxCodeNetScalar) return corrupt();
            if (!nyxPortInst::attachTrusted(static_cast<nyxNetScalar *>(net), word)) {
                return failed(cfidrErrInternal);
            }
        }
    } else if (arg != 0) {
        return corrupt();
    }
    const int32_t code = scalar ? nyxCodePortInstScalar : port->d_code == nyxCodePortBus ? nyxCodePortInstBus
                                                                                         : nyxCodePortInstBundle;
    if (!readTrailingLists({word, code, false, 0}, nullptr)) return false;
    if (scalar) return true;
    int32_t mark = 0, count = 0;
    if (!readInt(mark) || !readInt(count)) return false;
    // The tree was made from the record: the file must give exactly its members.
    if (mark != kEnd || count != port->d_memberCount || nyxPortInst::size(word) != count) return corrupt();
    for (int32_t i = 0; i < count; ++i) {
        uintptr_t *member = nyxPortInst::member(word, i);
        if (member == nullptr) return failed(cfidrErrInternal);
        if (!readPortInst(member, &port->d_members[i], depth + 1)) return false;
    }
    return true;
}

// Instance: the record id (short form with bit 0 of the argument set), the name, the property
// lists, then one port instance record per top-level port instance.
bool ViewReader::readInst(int32_t arg) {
    const uint32_t id = (arg & 1) != 0 ? (arg >> 1) & 15 : (arg >> 1) & 0xFFFF;
    if (id >= d_records.size()) return corrupt();
    nyxFootPrint *record = d_records[id];
    const char *name = nullptr;
    if (!readName(name)) return false;
    cfidrErrorT e = 0;
    nyxInst *inst = nyxInstance::createInstanceOf(d_view, record, name, &e);
    if (inst == nullptr || e != 0) return failed(cfidrErrInternal);
    if (!readTrailingLists({inst, nyxCodeInst, false, 0}, nullptr)) return false;
    const int32_t n = record->d_portCount;
    uintptr_t *words = n < nyxInst::kOwnBlockSlots ? inst->words() : nullptr;
    for (int32_t i = 0; i < n; ++i) {
        uintptr_t *word = words != nullptr ? &words[i] : inst->slot(i);
        if (!readPortInst(word, &record->d_ports[i], 0)) return false;
    }
    return true;
}

void ViewReader::dropUnusedRecords() {
    for (nyxFootPrint *record : d_records) {
        if (record->d_useCount == 0) nyxInstance::dropFootPrint(record);
    }
    d_records.clear();
}

} // namespace nyxViewFile
