// Interfaces of instantiated cells, and the order in which a file's modules are compiled.
#include "elab.h"

#include <algorithm>

namespace nyxvc {

void CellTable::fromModule(CellIface &cell, const Module &m) {
    for (uint32_t s : m.ports) {
        const Symbol &sym = m.symbols[s];
        PortShape p;
        p.name = sym.name;
        p.dir = sym.dir;
        p.vector = sym.vector;
        p.msb = sym.msb;
        p.lsb = sym.lsb;
        p.offset = cell.width;
        cell.byName.insert(p.name, static_cast<uint32_t>(cell.ports.size()));
        cell.ports.push_back(p);
        cell.width += p.width();
    }
}

bool CellTable::build(const Design &design, const Design *stubs, std::string_view file, Diagnostics &diag) {
    cells_.assign(design.cellNames.size(), CellIface());
    for (uint32_t c = 0; c < cells_.size(); ++c) {
        CellIface &cell = cells_[c];
        cell.name = design.cellNames[c];
        cell.module = design.find(cell.name);
        const Module *stub = stubs != nullptr && cell.module == nullptr ? stubs->find(cell.name) : nullptr;
        cell.source = cell.module != nullptr ? CellIface::Defined : stub != nullptr ? CellIface::Stub : CellIface::Inferred;
        if (cell.source != CellIface::Inferred) fromModule(cell, cell.module != nullptr ? *cell.module : *stub);
    }
    return infer(design, file, diag);
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

// Cells neither defined nor stubbed: ports in order of first use by name, each as wide as its
// widest connection, direction unknown.
bool CellTable::infer(const Design &design, std::string_view file, Diagnostics &diag) {
    std::vector<uint8_t> warned(cells_.size(), 0);
    for (const Module &m : design.modules) {
        for (const Instance &inst : m.instances) {
            CellIface &cell = cells_[inst.cellId];
            if (cell.source != CellIface::Inferred) continue;
            if (!warned[inst.cellId]) {
                warned[inst.cellId] = 1;
                diag.warning(file, inst.line, "cell " + std::string(inst.cell) +
                                                  " is not defined; its ports are taken from its named connections");
            }
            if (inst.positional) continue;
            for (uint32_t k = inst.connBegin; k < inst.connBegin + inst.connCount; ++k) {
                const Conn &conn = m.conns[k];
                const uint64_t w = std::max<uint64_t>(1, runWidth(m, conn.itemBegin, conn.itemCount));
                uint32_t p = cell.byName.find(conn.port);
                if (p == NameTable::kEmpty) {
                    p = cell.byName.insert(conn.port, static_cast<uint32_t>(cell.ports.size()));
                    cell.ports.emplace_back();
                    cell.ports.back().name = conn.port;
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
    for (size_t c = 0; c < cells_.size(); ++c) {
        if (cells_[c].source != CellIface::Inferred) continue;
        for (PortShape &p : cells_[c].ports) {
            p.offset = cells_[c].width;
            cells_[c].width += p.width();
        }
    }
    return true;
}

namespace {

struct OrderWalk {
    const Design &design;
    std::string_view file;
    Diagnostics &diag;
    std::vector<uint8_t> state;  // 0 unseen, 1 on the path, 2 done
    std::vector<const Module *> &order;
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
            if (f.next == m.instances.size()) {
                state[f.module] = 2;
                order.push_back(&m);
                stack.pop_back();
                continue;
            }
            const Instance &inst = m.instances[f.next++];
            const uint32_t child = cellModule[inst.cellId];
            if (child == NameTable::kEmpty || state[child] == 2) continue;
            if (state[child] == 1) {
                diag.error(file, inst.line, "module " + std::string(inst.cell) + " instantiates itself through " +
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

bool moduleOrder(const Design &design, std::string_view top, std::string_view file, Diagnostics &diag,
                 std::vector<const Module *> &order) {
    uint32_t t = design.moduleIndex.find(top);
    if (t == NameTable::kEmpty) {
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
