// Binary records of compiled modules.
#include "emit.h"

#include <algorithm>
#include <charconv>

namespace nyxvc {

namespace {

constexpr std::string_view kConstNames[3] = {"1'b0", "1'b1", "1'bx"};
constexpr std::string_view kNetType = "net_type";

// The symbol that holds a name bit: the last in bit order whose first bit is not after it.
uint32_t symbolOfBit(const Netlist &n, uint32_t bit) {
    size_t lo = 0, hi = n.order.size();
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        if (n.firstBit[n.order[mid]] <= bit) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return n.order[lo];
}

bool isGlobalBit(const Netlist &n, uint32_t bit) {
    return bit < n.bitCount && n.module->symbols[symbolOfBit(n, bit)].global;
}

// A parameter or attribute value: an integer when its text is a decimal integer that fits.
nyxproto::Prop valueOf(int32_t index, const Prop &p) {
    int32_t v = 0;
    const char *b = p.value.data(), *e = b + p.value.size();
    if (!p.isString && !p.value.empty() && std::from_chars(b, e, v).ptr == e && (p.value[0] != '+')) {
        return nyxproto::Prop::Int(index, v);
    }
    return nyxproto::Prop::Str(index, std::string(p.value));
}

} // namespace

bool Emitter::stream(const std::vector<const std::string *> &records, ByteSink &sink) {
    nyxproto::Writer w;
    w.streamStart("nyxvc");
    if (!sink.write(w.bytes())) return false;
    for (const std::string *r : records) {
        if (!sink.write(*r)) return false;
    }
    return sink.write("Q");
}

const std::string &Emitter::busName(const Symbol &s) {
    bus_.assign(s.name);
    bus_ += opts_.open();
    bus_ += std::to_string(s.msb);
    bus_ += ':';
    bus_ += std::to_string(s.lsb);
    bus_ += opts_.close();
    return bus_;
}

const std::string &Emitter::bitName(const Netlist &n, uint32_t bit) {
    if (bit >= n.bitCount) {
        name_.assign(kConstNames[bit - n.bitCount]);
        return name_;
    }
    const uint32_t s = symbolOfBit(n, bit);
    const Symbol &sym = n.module->symbols[s];
    name_.assign(sym.name);
    if (sym.vector) {
        const int32_t off = static_cast<int32_t>(bit - n.firstBit[s]);
        name_ += opts_.open();
        name_ += std::to_string(sym.msb >= sym.lsb ? sym.msb - off : sym.msb + off);
        name_ += opts_.close();
    }
    return name_;
}

// The net of a class: named after its root (a bit of symbol sym, or a constant when sym is
// null), global when any of its bits is, with the other bits' names as aliases. A class whose
// root is not global but holds a global bit (a supply net joined to a port by assign) is named
// after that bit, the root's name becoming an alias: global nets join by name across the
// hierarchy and a global alias joins nothing, so the supply must stay the net's own name.
void Emitter::defineNet(Netlist &n, uint32_t root, const Symbol *sym) {
    bool global = sym != nullptr && sym->global;
    uint32_t named = root;
    if (n.joined && !global) {
        for (uint32_t b = next_[root]; b != kNoBit && !global; b = next_[b]) {
            if (isGlobalBit(n, b)) global = true, named = b;
        }
    }
    if (named != root) {
        w_.netScalar(bitName(n, named), true);
    } else if (sym == nullptr) {
        w_.netScalar(kConstNames[root - n.bitCount], global);
    } else if (!sym->vector) {
        w_.netScalar(sym->name, global);
    } else {
        w_.netScalar(bitName(n, root), global);
    }
    netIndex_[root] = nets_++;
    if (sym != nullptr && !sym->vector && sym->netKind != 0) {
        w_.props({nyxproto::Prop::Str(static_cast<int32_t>(propIndex_.find(kNetType)), std::string(kNetKinds[sym->netKind]))});
    }
    if (!n.joined) return;
    for (uint32_t b = next_[root]; b != kNoBit; b = next_[b]) {
        const uint32_t alias = b == named ? root : b;
        w_.alias(bitName(n, alias), isGlobalBit(n, alias));
    }
}

// Nets in bit order: a vector becomes a bus whose members are its bits' nets, defined in the
// bus where a class first appears and referenced where it appears again.
void Emitter::nets(Netlist &n) {
    const uint32_t total = n.bitCount + 3;
    netIndex_.assign(total, -1);
    nets_ = 0;
    if (n.joined) {
        next_.assign(total, kNoBit);
        tail_.assign(total, kNoBit);
        for (uint32_t b = 0; b < total; ++b) {
            const uint32_t r = n.find(b);
            if (r == b) continue;
            if (tail_[r] == kNoBit) {
                next_[r] = b;
            } else {
                next_[tail_[r]] = b;
            }
            tail_[r] = b;
        }
    }
    for (uint32_t s : n.order) {
        const Symbol &sym = n.module->symbols[s];
        const uint32_t first = n.firstBit[s];
        if (!sym.vector) {
            if (n.find(first) == first) defineNet(n, first, &sym);
            continue;
        }
        w_.netBus(busName(sym), sym.msb, sym.lsb);
        ++nets_;
        if (sym.netKind != 0) {
            w_.props({nyxproto::Prop::Str(static_cast<int32_t>(propIndex_.find(kNetType)), std::string(kNetKinds[sym.netKind]))});
        }
        w_.netMembers(static_cast<int32_t>(sym.width()));
        for (uint32_t k = 0; k < sym.width(); ++k) {
            const uint32_t r = n.find(first + k);
            // A class not yet defined has this bit as its root: every earlier bit defined its own.
            if (netIndex_[r] >= 0) {
                w_.netRef(netIndex_[r]);
            } else {
                defineNet(n, r, &sym);
            }
        }
    }
    for (uint32_t k = 0; k < 3; ++k) {
        const uint32_t b = n.constBit[k];
        if (n.constUsed[k] && n.find(b) == b) defineNet(n, b, nullptr);
    }
}

void Emitter::ports(Netlist &n) {
    for (uint32_t s : n.module->ports) {
        const Symbol &sym = n.module->symbols[s];
        const int32_t dir = static_cast<int32_t>(sym.dir);
        const uint32_t first = n.firstBit[s];
        if (!sym.vector) {
            w_.portScalar(sym.name, dir, netOf(n, first));
            continue;
        }
        w_.portBus(busName(sym), sym.msb, sym.lsb);
        w_.portMembers(static_cast<int32_t>(sym.width()));
        for (uint32_t k = 0; k < sym.width(); ++k) w_.portScalar(bitName(n, first + k), dir, netOf(n, first + k));
    }
}

void Emitter::footprints(const Netlist &n) {
    for (const CellIface *cell : n.footprints) {
        w_.footprint(lib_, cell->name, view_, static_cast<int32_t>(cell->ports.size()));
        for (const PortShape &p : cell->ports) {
            const int32_t dir = static_cast<int32_t>(p.dir);
            if (!p.vector) {
                w_.fpPortScalar(p.name, dir);
                continue;
            }
            Symbol shape;
            shape.name = p.name;
            shape.msb = p.msb;
            shape.lsb = p.lsb;
            w_.fpPortBus(busName(shape), p.msb, p.lsb, static_cast<int32_t>(p.width()));
            const int32_t step = p.msb >= p.lsb ? -1 : 1;
            for (int32_t idx = p.msb;; idx += step) {
                name_.assign(p.name);
                name_ += opts_.open();
                name_ += std::to_string(idx);
                name_ += opts_.close();
                w_.fpPortScalar(name_, dir);
                if (idx == p.lsb) break;
            }
        }
    }
}

void Emitter::instances(Netlist &n) {
    nyxproto::PropList props;
    for (const ElabInstance &e : n.instances) {
        const Instance &src = n.module->instances[e.source];
        const CellIface &cell = *n.footprints[e.footprint];
        if (src.array) {
            name_.assign(src.name);
            name_ += opts_.open();
            name_ += std::to_string(e.arrayIndex);
            name_ += opts_.close();
            w_.instance(static_cast<int32_t>(e.footprint), name_);
        } else {
            w_.instance(static_cast<int32_t>(e.footprint), src.name);
        }
        if (e.propCount != 0) {
            props.clear();
            for (uint32_t k = e.propBegin; k < e.propBegin + e.propCount; ++k) {
                props.push_back(valueOf(static_cast<int32_t>(propIndex_.find(n.props[k].name)), n.props[k]));
            }
            w_.props(props);
        }
        const uint32_t *bits = n.instBits.data() + e.bitsBegin;
        for (const PortShape &p : cell.ports) {
            if (!p.vector) {
                w_.portInstScalar(netOf(n, bits[p.offset]));
                continue;
            }
            w_.portInstGroup(nyxproto::kPortInstBus, static_cast<int32_t>(p.width()));
            for (uint32_t k = 0; k < p.width(); ++k) w_.portInstScalar(netOf(n, bits[p.offset + k]));
        }
    }
}

// The view's property names: "net_type" when a net has a kind, and every parameter and
// attribute name, each with the value type of its first use.
void Emitter::nameTable(const Netlist &n) {
    propIndex_.clear();
    propNames_.clear();
    auto add = [&](std::string_view name, int32_t type) {
        const uint32_t next = static_cast<uint32_t>(propNames_.size());
        if (propIndex_.insert(name, next) == next) propNames_.push_back({static_cast<int32_t>(next), type, std::string(name)});
    };
    for (const Symbol &s : n.module->symbols) {
        if (s.netKind != 0) {
            add(kNetType, nyxproto::kString);
            break;
        }
    }
    for (const Prop &p : n.props) add(p.name, valueOf(0, p).type);
    if (!propNames_.empty()) w_.names(propNames_);
}

void Emitter::module(Netlist &n, std::string_view cell, std::string &out) {
    w_.viewRecordStart();
    nameTable(n);
    // The header written by hand: its counts are known before the records, so that the bytes
    // before them can leave while the rest is written.
    w_.ch('V');
    w_.ch('N');
    w_.str(lib_);
    w_.str(cell);
    w_.str(view_);
    w_.str("CFIDR_NETLISTVIEW");
    w_.i32(0);
    uint64_t netCount = 0;
    for (uint32_t s : n.order) netCount += n.module->symbols[s].vector ? 1 : 0;
    for (uint32_t b = 0; b < n.bitCount; ++b) netCount += n.find(b) == b ? 1 : 0;
    for (uint32_t k = 0; k < 3; ++k) netCount += n.constUsed[k] && n.find(n.constBit[k]) == n.constBit[k] ? 1 : 0;
    w_.i32(static_cast<int32_t>(netCount));
    w_.i32(static_cast<int32_t>(n.footprints.size()));
    nets(n);
    ports(n);
    footprints(n);
    instances(n);
    w_.ty(nyxproto::kTyEnd);
    w_.viewRecordEnd(from_);
    out = w_.take();
}

} // namespace nyxvc
