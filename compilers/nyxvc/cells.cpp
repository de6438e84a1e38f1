// Interfaces of instantiated cells, and the order in which a file's modules are compiled.
#include "elab.h"

#include <algorithm>

namespace nyxvc {

void CellTable::fromModule(CellIface &cell, const Module &m) {
    cell.ports = m.iface;
    for (uint32_t p = 0; p < cell.ports.size(); ++p) cell.byName.insert(cell.ports[p].name, p);
    cell.width = 0;
    for (const PortShape &p : cell.ports) cell.width += p.width();
}

void CellTable::update(const Design &design, const Design *stubs) {
    for (uint32_t c = static_cast<uint32_t>(cells_.size()); c < design.cellNames.size(); ++c) {
        cells_.emplace_back();
        cells_.back().name = design.cellNames[c];
        unknown_.push_back(c);
    }
    size_t keep = 0;
    for (uint32_t c : unknown_) {
        CellIface &cell = cells_[c];
        cell.module = design.find(cell.name);
        const Module *stub = stubs != nullptr && cell.module == nullptr ? stubs->find(cell.name) : nullptr;
        if (cell.module != nullptr || stub != nullptr) {
            cell.source = cell.module != nullptr ? CellIface::Defined : CellIface::Stub;
            fromModule(cell, cell.module != nullptr ? *cell.module : *stub);
        } else {
            unknown_[keep++] = c;
        }
    }
    unknown_.resize(keep);
}

bool CellTable::checkLateDefinitions(const Design &design, std::string_view file, Diagnostics &diag) const {
    for (const CellIface &cell : cells_) {
        if (cell.source != CellIface::Stub) continue;
        const Module *m = design.find(cell.name);
        if (m == nullptr) continue;
        bool same = m->iface.size() == cell.ports.size();
        for (size_t p = 0; same && p < cell.ports.size(); ++p) {
            const PortShape &a = m->iface[p], &b = cell.ports[p];
            same = a.name == b.name && a.dir == b.dir && a.vector == b.vector && a.msb == b.msb && a.lsb == b.lsb;
        }
        if (!same) {
            diag.error(file, m->line, "module " + std::string(cell.name) +
                                          " differs from the stub file's, which instances above its definition used");
            return false;
        }
    }
    return true;
}

// Width of an item run as connected: whole names by their declaration, selects and constants by
// what they spell.
static uint64_t runWidth(const Module &m, uint32_t begin, uint32_t count) {
    uint64_t w = 0;
    for (uint32_t i = begin; i < begin + count; ++i) {
        const Item &it = m.items[i];
        if (it.kind == Item::Whole) {
            w += m.symbols[it.sym].width();
        } else if (it.kind == Item::Select) {
            w += static_cast<uint64_t>(it.hi > it.lo ? int64_t(it.hi) - it.lo : int64_t(it.lo) - it.hi) + 1;
        } else {
            w += static_cast<uint64_t>(it.hi);
        }
    }
    return w;
}

// Members of an instance array (1 for a plain instance).
static uint64_t arrayMembers(const Instance &inst) {
    if (!inst.array) return 1;
    return static_cast<uint64_t>(inst.arrayHi > inst.arrayLo ? int64_t(inst.arrayHi) - inst.arrayLo
                                                             : int64_t(inst.arrayLo) - inst.arrayHi) + 1;
}

bool CellTable::inferUnknown(const Design &design, const std::vector<uint32_t> &modules, std::string_view file,
                             Diagnostics &diag) {
    for (uint32_t c : unknown_) cells_[c].source = CellIface::Inferred;
    std::vector<uint8_t> warned(cells_.size(), 0);
    for (uint32_t mi : modules) {
        const Module &m = design.modules[mi];
        for (const Instance &inst : m.instances) {
            CellIface &cell = cells_[inst.cellId];
            if (cell.source != CellIface::Inferred) continue;
            if (!warned[inst.cellId]) {
                warned[inst.cellId] = 1;
                diag.warning(file, inst.line, "cell " + std::string(cell.name) +
                                                  " is not defined; its ports are taken from its named connections");
            }
            if (inst.positional) continue;
            const uint64_t members = arrayMembers(inst);
            for (uint32_t k = inst.connBegin; k < inst.connBegin + inst.connCount; ++k) {
                const Conn &conn = m.conns[k];
                uint64_t w = std::max<uint64_t>(1, runWidth(m, conn.itemBegin, conn.itemCount));
                // An array's connection as wide as all its members together is sliced among them.
                if (members > 1 && w % members == 0) w /= members;
                const std::string_view portName = m.portNames[conn.port];
                uint32_t p = cell.byName.find(portName);
                if (p == NameTable::kEmpty) {
                    p = cell.byName.insert(portName, static_cast<uint32_t>(cell.ports.size()));
                    cell.ports.emplace_back();
                    cell.ports.back().name = portName;
                }
                PortShape &port = cell.ports[p];
                if (w > port.width() || (w > 1 && !port.vector)) {
                    if (w > (1u << 20)) {
                        diag.error(file, conn.line, "connection too wide for an inferred port");
                        return false;
                    }
                    port.vector = w > 1;
                    port.msb = static_cast<int32_t>(w - 1);
                    port.lsb = 0;
                }
            }
        }
    }
    for (uint32_t c : unknown_) {
        cells_[c].width = 0;
        for (PortShape &p : cells_[c].ports) {
            p.offset = cells_[c].width;
            cells_[c].width += p.width();
        }
    }
    unknown_.clear();
    return true;
}

namespace {

struct OrderWalk {
    const Design &design;
    std::string_view file;
    Diagnostics &diag;
    std::vector<uint8_t> state;  // 0 unseen, 1 on the path, 2 done
    std::vector<uint32_t> &order;
    std::vector<uint32_t> cellModule;  // by cell id: the module of that name, or kEmpty

    // Iterative depth-first walk: deep hierarchies must not exhaust the stack.
    bool run(uint32_t top) {
        struct Frame {
            uint32_t module;
            uint32_t next;
        };
        std::vector<Frame> stack{{top, 0}};
        state[top] = 1;
        while (!stack.empty()) {
            Frame &f = stack.back();
            const Module &m = design.modules[f.module];
            if (f.next == m.children.size()) {
                state[f.module] = 2;
                order.push_back(f.module);
                stack.pop_back();
                continue;
            }
            const ChildRef &inst = m.children[f.next++];
            const uint32_t child = cellModule[inst.cellId];
            if (child == NameTable::kEmpty || state[child] == 2) continue;
            if (state[child] == 1) {
                diag.error(file, inst.line, "module " + std::string(design.cellNames[inst.cellId]) + " instantiates itself through " +
                                                std::string(m.name));
                return false;
            }
            state[child] = 1;
            stack.push_back({child, 0});
        }
        return true;
    }
};

} // namespace

bool moduleOrder(const Design &design, std::string_view top, bool anyCase, std::string_view file, Diagnostics &diag,
                 std::vector<uint32_t> &order) {
    uint32_t t = design.moduleIndex.find(top);
    if (t == NameTable::kEmpty && anyCase) {
        // Names may differ from the requested cell's by letter case only (-lowercase, -uppercase).
        for (uint32_t i = 0; i < design.modules.size() && t == NameTable::kEmpty; ++i) {
            const std::string_view n = design.modules[i].name;
            if (n.size() == top.size() &&
                std::equal(n.begin(), n.end(), top.begin(), [](char a, char b) {
                    return (a | 0x20) == (b | 0x20) && ((a >= 'A' && a <= 'Z') || (a >= 'a' && a <= 'z') || a == b);
                })) {
                t = i;
            }
        }
    }
    if (t == NameTable::kEmpty) {
        diag.error(file, 0, "module " + std::string(top) + " is not defined in this file");
        return false;
    }
    order.clear();
    OrderWalk walk{design, file, diag, std::vector<uint8_t>(design.modules.size(), 0), order, {}};
    walk.cellModule.reserve(design.cellNames.size());
    for (std::string_view name : design.cellNames) walk.cellModule.push_back(design.moduleIndex.find(name));
    return walk.run(t);
}

} // namespace nyxvc
