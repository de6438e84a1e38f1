// Elaboration of one module: bits, joins, instance connections, and the name checks.
#include "elab.h"

#include <algorithm>
#include <charconv>

namespace nyxvc {

namespace {

class Elaborator {
public:
    Elaborator(const Module &m, const CellTable &cells, const Options &opts, const Limits &limits,
               std::string_view file, Diagnostics &diag, Netlist &out)
        : m_(m), cells_(cells), opts_(opts), limits_(limits), file_(file), diag_(diag), n_(out) {}

    bool run() {
        n_.reset(m_);
        return numberBits() && checkNames() && joinAssigns() && connectInstances();
    }

private:
    bool fail(uint32_t line, const std::string &text) {
        diag_.error(file_, line, text);
        return false;
    }

    uint32_t bitOf(uint32_t sym, int32_t index) const {
        const Symbol &s = m_.symbols[sym];
        const int64_t off = s.msb >= s.lsb ? int64_t(s.msb) - index : int64_t(index) - s.msb;
        return n_.firstBit[sym] + static_cast<uint32_t>(off);
    }

    bool numberBits();
    bool checkNames();
    bool collides(std::string_view name, uint32_t line, std::string_view what);
    bool oneBit(const Item &it, uint32_t &bit) const;
    bool bitsOf(uint32_t begin, uint32_t count, uint32_t line, std::vector<uint32_t> &out);
    bool joinAssigns();
    bool connectInstances();
    bool connectOne(uint32_t index, const CellIface &cell, int32_t arrayIndex, uint32_t arrayCount,
                    uint32_t arrayPos);
    bool collidesWithArray(const NameTable &names, const Instance &inst);
    uint32_t footprintOf(uint32_t cellId);
    uint32_t portOf(uint32_t footprint, const CellIface &cell, uint32_t portName);
    bool resolveProps(const Instance &inst, const CellIface &cell, ElabInstance &e);

    const Module &m_;
    const CellTable &cells_;
    const Options &opts_;
    const Limits &limits_;
    std::string_view file_;
    Diagnostics &diag_;
    Netlist &n_;
    std::vector<uint32_t> fpOfCell_;  // by cell id: footprint index, or kNoBit
    // portOf_[footprint * portNames + name]: the port a named connection takes, or kNoBit
    // before it is looked up.
    std::vector<uint32_t> portOf_;
    std::vector<uint32_t> scratch_;
    std::vector<uint8_t> seen_;
};

// Bit numbers in naming order: ports, declared nets, implicit nets, constants.
bool Elaborator::numberBits() {
    n_.firstBit.assign(m_.symbols.size(), 0);
    n_.order.reserve(m_.symbols.size());
    for (uint32_t s : m_.ports) n_.order.push_back(s);
    for (uint32_t s = 0; s < m_.symbols.size(); ++s) {
        if (!m_.symbols[s].isPort && m_.symbols[s].netDeclared) n_.order.push_back(s);
    }
    for (uint32_t s = 0; s < m_.symbols.size(); ++s) {
        if (!m_.symbols[s].isPort && !m_.symbols[s].netDeclared) n_.order.push_back(s);
    }
    uint64_t bits = 0;
    for (uint32_t s : n_.order) {
        n_.firstBit[s] = static_cast<uint32_t>(bits);
        bits += m_.symbols[s].width();
        if (bits > limits_.maxModuleBits) return fail(m_.symbols[s].line, "module " + std::string(m_.name) + " has too many bits");
    }
    n_.bitCount = static_cast<uint32_t>(bits);
    for (uint32_t k = 0; k < 3; ++k) n_.constBit[k] = n_.bitCount + k;
    n_.parent.resize(n_.bitCount + 3);
    for (uint32_t b = 0; b < n_.parent.size(); ++b) n_.parent[b] = b;
    return true;
}

// An escaped name may spell a bus bit ("\w[3] " beside wire [3:0] w), a bus ("\w[3:0] ") or a
// constant net ("\1'b0 "): such a name would stand for two objects, so the module is refused.
bool Elaborator::collides(std::string_view name, uint32_t line, std::string_view what) {
    const size_t open = name.find(opts_.open());
    if (open == std::string_view::npos || open == 0 || name.back() != opts_.close()) return true;
    const uint32_t base = m_.symbolIndex.find(name.substr(0, open));
    if (base == NameTable::kEmpty || !m_.symbols[base].vector) return true;
    const Symbol &bus = m_.symbols[base];
    const std::string_view inner = name.substr(open + 1, name.size() - open - 2);
    const size_t colon = inner.find(':');
    int32_t a = 0, b = 0;
    const char *end = inner.data() + (colon == std::string_view::npos ? inner.size() : colon);
    if (std::from_chars(inner.data(), end, a).ptr != end) return true;
    if (colon != std::string_view::npos) {
        const char *end2 = inner.data() + inner.size();
        if (std::from_chars(inner.data() + colon + 1, end2, b).ptr != end2) return true;
        if (a != bus.msb || b != bus.lsb) return true;
        return fail(line, std::string(what) + " " + std::string(name) + " collides with bus " + std::string(name) +
                              " of " + std::string(bus.name) + " (line " + std::to_string(bus.line) + ")");
    }
    const int32_t lo = bus.msb < bus.lsb ? bus.msb : bus.lsb, hi = bus.msb < bus.lsb ? bus.lsb : bus.msb;
    if (a < lo || a > hi) return true;
    return fail(line, std::string(what) + " " + std::string(name) + " collides with bit " + std::to_string(a) + " of " +
                          std::string(bus.name) + " (line " + std::to_string(bus.line) + ")");
}

bool Elaborator::checkNames() {
    for (const Symbol &s : m_.symbols) {
        if (s.name.find(opts_.open()) != std::string_view::npos && !collides(s.name, s.line, "name")) return false;
        if (s.name.size() == 4 && s.name[0] == '1' && s.name[1] == '\'' && s.name[2] == 'b') {
            return fail(s.line, "name " + std::string(s.name) + " collides with the constant net of that name");
        }
    }
    return true;
}

// The bits of an item run, left to right; z bits as kNoBit, x bits as the 1'bx net.
bool Elaborator::bitsOf(uint32_t begin, uint32_t count, uint32_t line, std::vector<uint32_t> &out) {
    out.clear();
    for (uint32_t i = begin; i < begin + count; ++i) {
        const Item &it = m_.items[i];
        if (it.kind == Item::Const) {
            for (int32_t k = 0; k < it.hi; ++k) {
                const char c = m_.constBits[it.sym + static_cast<uint32_t>(k)];
                if (c == 'z') {
                    out.push_back(kNoBit);
                    continue;
                }
                const uint32_t which = c == '0' ? 0 : c == '1' ? 1 : 2;
                n_.constUsed[which] = true;
                out.push_back(n_.constBit[which]);
            }
        } else {
            const Symbol &s = m_.symbols[it.sym];
            if (it.kind == Item::Whole) {
                for (uint32_t k = 0; k < s.width(); ++k) out.push_back(n_.firstBit[it.sym] + k);
            } else {
                if (!s.isPort && !s.netDeclared) return fail(line, std::string(s.name) + " is not declared");
                if (!s.vector) return fail(line, std::string(s.name) + " is not a vector (declared line " + std::to_string(s.line) + ")");
                const int32_t lo = s.msb < s.lsb ? s.msb : s.lsb, hi = s.msb < s.lsb ? s.lsb : s.msb;
                for (int32_t idx : {it.hi, it.lo}) {
                    if (idx < lo || idx > hi) {
                        return fail(line, std::string(s.name) + "[" + std::to_string(idx) + "] is outside its range [" +
                                                 std::to_string(s.msb) + ":" + std::to_string(s.lsb) + "]");
                    }
                }
                const int32_t step = it.hi >= it.lo ? -1 : 1;
                for (int32_t idx = it.hi;; idx += step) {
                    out.push_back(bitOf(it.sym, idx));
                    if (idx == it.lo) break;
                }
            }
        }
        if (out.size() > limits_.maxModuleBits) return fail(line, "expression too wide");
    }
    return true;
}

// The bit of an item that is one bit of a name, the usual connection of a gate's pin: a scalar,
// or a bit select within its vector's range. False for anything else, which bitsOf() handles
// (and reports when it is wrong).
bool Elaborator::oneBit(const Item &it, uint32_t &bit) const {
    if (it.kind == Item::Const) return false;
    const Symbol &s = m_.symbols[it.sym];
    if (it.kind == Item::Whole && !s.vector) {
        bit = n_.firstBit[it.sym];
        return true;
    }
    if (it.kind != Item::Select || it.hi != it.lo || !s.vector || (!s.isPort && !s.netDeclared)) return false;
    const int32_t lo = s.msb < s.lsb ? s.msb : s.lsb, hi = s.msb < s.lsb ? s.lsb : s.msb;
    if (it.hi < lo || it.hi > hi) return false;
    bit = bitOf(it.sym, it.hi);
    return true;
}

// assign lhs = rhs: bit by bit from the right; the smaller bit of two becomes the root.
bool Elaborator::joinAssigns() {
    std::vector<uint32_t> lhs;
    for (const Assign &a : m_.assigns) {
        for (uint32_t i = a.lhsBegin; i < a.lhsBegin + a.lhsCount; ++i) {
            if (m_.items[i].kind == Item::Const) return fail(a.line, "constant on the left of an assign");
        }
        if (!bitsOf(a.lhsBegin, a.lhsCount, a.line, lhs) || !bitsOf(a.rhsBegin, a.rhsCount, a.line, scratch_)) return false;
        if (lhs.size() != scratch_.size()) {
            diag_.warning(file_, a.line, "assign of " + std::to_string(scratch_.size()) + " bits to " +
                                             std::to_string(lhs.size()) + " bits; aligned on the right");
        }
        const size_t n = lhs.size() < scratch_.size() ? lhs.size() : scratch_.size();
        for (size_t k = 1; k <= n; ++k) {
            const uint32_t l = lhs[lhs.size() - k], r = scratch_[scratch_.size() - k];
            if (r == kNoBit) continue;
            const uint32_t rl = n_.find(l), rr = n_.find(r);
            if (rl == rr) continue;
            if (rl < rr) {
                n_.parent[rr] = rl;
            } else {
                n_.parent[rl] = rr;
            }
            n_.joined = true;
        }
    }
    return true;
}

uint32_t Elaborator::footprintOf(uint32_t cellId) {
    if (fpOfCell_.empty()) fpOfCell_.assign(cells_.size(), kNoBit);
    uint32_t &fp = fpOfCell_[cellId];
    if (fp == kNoBit) {
        fp = static_cast<uint32_t>(n_.footprints.size());
        n_.footprints.push_back(&cells_.cell(cellId));
    }
    return fp;
}

// The port of a cell that a named connection takes: looked up by name once per footprint and
// port name, unless the module has so many of both that the table would be large.
uint32_t Elaborator::portOf(uint32_t footprint, const CellIface &cell, uint32_t portName) {
    constexpr size_t kMaxCached = 1u << 16;
    const size_t names = m_.portNames.size();
    const size_t k = size_t(footprint) * names + portName;
    if (k >= kMaxCached) return cell.byName.find(m_.portNames[portName]);
    if (portOf_.size() <= k) portOf_.resize(std::min(kMaxCached, (size_t(footprint) + 1) * names), kNoBit);
    uint32_t &p = portOf_[k];
    if (p == kNoBit) p = cell.byName.find(m_.portNames[portName]);
    return p;
}

// Parameters given by position take the names of the child's parameters.
bool Elaborator::resolveProps(const Instance &inst, const CellIface &cell, ElabInstance &e) {
    e.propBegin = static_cast<uint32_t>(n_.props.size());
    uint32_t positional = 0;
    for (uint32_t k = inst.propBegin; k < inst.propBegin + inst.propCount; ++k) {
        Prop p = m_.props[k];
        if (p.name.empty()) {
            if (cell.module == nullptr || positional >= cell.module->params.size()) {
                return fail(inst.line, "parameter " + std::to_string(positional + 1) + " of " + std::string(inst.name) +
                                           " given by position, but " + std::string(cell.name) + " declares no such parameter");
            }
            p.name = cell.module->params[positional++];
        }
        uint32_t same = e.propBegin;
        while (same < n_.props.size() && n_.props[same].name != p.name) ++same;
        if (same < n_.props.size()) {
            n_.props[same] = p;
        } else {
            n_.props.push_back(p);
        }
    }
    e.propCount = static_cast<uint32_t>(n_.props.size()) - e.propBegin;
    return true;
}

bool Elaborator::connectInstances() {
    NameTable names;
    names.reserve(m_.instances.size());
    bool arrays = false;
    for (uint32_t i = 0; i < m_.instances.size(); ++i) {
        const Instance &inst = m_.instances[i];
        const uint32_t first = names.insert(inst.name, i);
        if (first != i) {
            return fail(inst.line, "instance " + std::string(inst.name) + " defined twice (first at line " +
                                       std::to_string(m_.instances[first].line) + ")");
        }
        arrays = arrays || inst.array;
    }
    for (uint32_t i = 0; i < m_.instances.size(); ++i) {
        const Instance &inst = m_.instances[i];
        if (arrays && !collidesWithArray(names, inst)) return false;
        const CellIface *cell = &cells_.cell(inst.cellId);
        if (cell->source == CellIface::Inferred && inst.positional) {
            return fail(inst.line, "positional connections to " + std::string(cell->name) +
                                       ", which is neither defined nor in the stub file");
        }
        const uint32_t count = inst.array ? static_cast<uint32_t>(inst.arrayHi > inst.arrayLo ? inst.arrayHi - inst.arrayLo
                                                                                            : inst.arrayLo - inst.arrayHi) + 1
                                          : 1;
        const int32_t step = inst.arrayHi >= inst.arrayLo ? -1 : 1;
        if (n_.instBits.size() + uint64_t(count) * cell->width > limits_.maxModuleBits) {
            return fail(inst.line, "module " + std::string(m_.name) + " has too many connections");
        }
        for (uint32_t k = 0; k < count; ++k) {
            if (!connectOne(i, *cell, inst.arrayHi + step * static_cast<int32_t>(k), count, k)) return false;
        }
    }
    return true;
}

// An escaped instance name may spell a member of an instance array ("\u[2] " beside u[3:0]).
bool Elaborator::collidesWithArray(const NameTable &names, const Instance &inst) {
    const size_t open = inst.name.find(opts_.open());
    if (open == std::string_view::npos || open == 0 || inst.name.back() != opts_.close()) return true;
    const uint32_t base = names.find(inst.name.substr(0, open));
    if (base == NameTable::kEmpty || !m_.instances[base].array) return true;
    const Instance &arr = m_.instances[base];
    const std::string_view inner = inst.name.substr(open + 1, inst.name.size() - open - 2);
    int32_t a = 0;
    const char *end = inner.data() + inner.size();
    if (std::from_chars(inner.data(), end, a).ptr != end) return true;
    const int32_t lo = arr.arrayHi < arr.arrayLo ? arr.arrayHi : arr.arrayLo;
    const int32_t hi = arr.arrayHi < arr.arrayLo ? arr.arrayLo : arr.arrayHi;
    if (a < lo || a > hi) return true;
    return fail(inst.line, "instance " + std::string(inst.name) + " collides with member " + std::to_string(a) +
                               " of instance array " + std::string(arr.name) + " (line " + std::to_string(arr.line) + ")");
}

// One instance (or one member of an instance array): every port bit of the cell gets the bit
// of the module that its connection names, aligned on the right; unconnected bits stay kNoBit.
bool Elaborator::connectOne(uint32_t index, const CellIface &cell, int32_t arrayIndex, uint32_t arrayCount,
                            uint32_t arrayPos) {
    const Instance &inst = m_.instances[index];
    ElabInstance &e = n_.instances.emplace_back();  // filled in place: see quickInstance()
    e.source = index;
    e.arrayIndex = arrayIndex;
    e.footprint = footprintOf(inst.cellId);
    e.bitsBegin = static_cast<uint32_t>(n_.instBits.size());
    n_.instBits.resize(n_.instBits.size() + cell.width, kNoBit);
    seen_.assign(cell.ports.size(), 0);
    for (uint32_t j = 0; j < inst.connCount; ++j) {
        const Conn &c = m_.conns[inst.connBegin + j];
        uint32_t p = j;
        if (!inst.positional) {
            const std::string_view portName = m_.portNames[c.port];
            p = portOf(e.footprint, cell, c.port);
            if (p == NameTable::kEmpty) {
                return fail(c.line, std::string(cell.name) + " has no port " + std::string(portName) + " (instance " +
                                        std::string(inst.name) + ")");
            }
            if (seen_[p]) return fail(c.line, "port " + std::string(portName) + " of " + std::string(inst.name) + " connected twice");
            seen_[p] = 1;
        } else if (p >= cell.ports.size()) {
            if (c.itemCount == 0) continue;
            return fail(c.line, "instance " + std::string(inst.name) + " has more connections than " + std::string(cell.name) +
                                    " has ports (" + std::to_string(cell.ports.size()) + ")");
        }
        if (c.itemCount == 0) continue;
        const PortShape &port = cell.ports[p];
        const uint32_t pw = port.width();
        if (pw == 1 && arrayCount == 1 && c.itemCount == 1 && oneBit(m_.items[c.itemBegin], n_.instBits[e.bitsBegin + port.offset])) {
            continue;
        }
        if (!bitsOf(c.itemBegin, c.itemCount, c.line, scratch_)) return false;
        size_t from = 0, size = scratch_.size();
        if (arrayCount > 1 && size == size_t(pw) * arrayCount) {
            from = size_t(pw) * arrayPos;
            size = pw;
        } else if (size != pw && arrayPos == 0) {
            diag_.warning(file_, c.line, "connection of " + std::to_string(size) + " bits to port " + std::string(port.name) +
                                             " of " + std::to_string(pw) + " bits (instance " + std::string(inst.name) +
                                             "); aligned on the right");
        }
        uint32_t *dst = &n_.instBits[e.bitsBegin + port.offset];
        const size_t n = size < pw ? size : pw;
        for (size_t t = 1; t <= n; ++t) dst[pw - t] = scratch_[from + size - t];
    }
    return inst.propCount == 0 || resolveProps(inst, cell, e);
}

} // namespace

bool elaborate(const Module &m, const CellTable &cells, const Options &opts, const Limits &limits,
               std::string_view file, Diagnostics &diag, Netlist &out) {
    Elaborator e(m, cells, opts, limits, file, diag, out);
    return e.run();
}

} // namespace nyxvc
