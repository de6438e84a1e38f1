// elab.h - elaboration of a parsed module into what its netlist view holds: net bits joined by
// `assign` into nets, ports on those nets, and instances whose port bits name nets.
//
// Bits. Every bit of every name of a module has a number. Bits are numbered in the order that
// decides net names: ports first (in header order), then declared nets, then implicit nets (in
// order of first appearance), then the three constant bits 1'b0, 1'b1, 1'bx. Within a vector
// the bits run from the left index to the right one.
//   bit(sym, i) = firstBit[sym] + |i - msb|            (0 <= |i - msb| < width)
// Joins. parent is a union-find forest over bits whose root is the smallest bit of its class:
//   find(b) <= b, and find(b) is the bit whose name the class's net takes
// so the net of a class is named after its first port bit, else first declared bit, and so on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "names.h"
#include "nyxvc.h"

namespace nyxvc {

struct CellIface {
    enum Source : uint8_t { Unknown, Defined, Stub, Inferred };
    std::string_view name;
    Source source = Unknown;
    const Module *module = nullptr;  // Defined: the module of this file
    std::vector<PortShape> ports;
    NameTable byName;                // port name -> index into ports
    uint32_t width = 0;              // bits of all ports together
};

// The interfaces of the cells that the file's modules instantiate, by cell id, resolved while
// the file is parsed: a module of the file parsed before, else a module of the stub file. The
// cells still unknown at the end of the file are inferred from their named connections.
class CellTable {
public:
    // Resolves new cell ids and unknown cells that are now defined or stubbed.
    void update(const Design &design, const Design *stubs);
    bool known(uint32_t cellId) const { return cells_[cellId].source != CellIface::Unknown; }
    // Infers every unknown cell from the named connections of the given modules (a warning
    // each): ports in order of first use, each as wide as its widest connection.
    bool inferUnknown(const Design &design, const std::vector<uint32_t> &modules, std::string_view file,
                      Diagnostics &diag);
    // A stubbed cell that the file defines after modules used it must agree with the definition.
    bool checkLateDefinitions(const Design &design, std::string_view file, Diagnostics &diag) const;
    const CellIface &cell(uint32_t cellId) const { return cells_[cellId]; }
    size_t size() const { return cells_.size(); }

private:
    static void fromModule(CellIface &cell, const Module &m);

    std::vector<CellIface> cells_;  // by cell id
    std::vector<uint32_t> unknown_;
};

// Bits of an expression item run: a bit number, or kNoBit for a z bit.
constexpr uint32_t kNoBit = 0xFFFFFFFFu;

struct ElabInstance {
    uint32_t source = 0;       // index into Module::instances
    int32_t arrayIndex = 0;    // the member's index when the source is an instance array
    uint32_t footprint = 0;    // index into Netlist::footprints
    uint32_t bitsBegin = 0;    // Netlist::instBits[bitsBegin + k]: bit of the cell's k-th port bit
    uint32_t propBegin = 0, propCount = 0;  // into Netlist::props
};

struct Netlist {
    const Module *module = nullptr;
    std::vector<uint32_t> order;     // symbols in bit order
    std::vector<uint32_t> firstBit;  // per symbol
    uint32_t bitCount = 0;           // name bits; the constants follow
    uint32_t constBit[3] = {0, 0, 0};
    bool constUsed[3] = {false, false, false};
    std::vector<uint32_t> parent;
    bool joined = false;             // some assign joined two bits
    std::vector<const CellIface *> footprints;
    std::vector<ElabInstance> instances;
    std::vector<uint32_t> instBits;
    std::vector<Prop> props;

    // Empties the netlist for the next module; the vectors keep their room.
    void reset(const Module &m) {
        module = &m;
        order.clear();
        firstBit.clear();
        bitCount = 0;
        for (uint32_t k = 0; k < 3; ++k) {
            constBit[k] = 0;
            constUsed[k] = false;
        }
        parent.clear();
        joined = false;
        footprints.clear();
        instances.clear();
        instBits.clear();
        props.clear();
    }

    uint32_t find(uint32_t b) {
        while (parent[b] != b) {
            parent[b] = parent[parent[b]];
            b = parent[b];
        }
        return b;
    }
};

// Elaborates module m into out, which may hold a module elaborated before; false after an
// error (reported in diag).
bool elaborate(const Module &m, const CellTable &cells, const Options &opts, const Limits &limits,
               std::string_view file, Diagnostics &diag, Netlist &out);

// The file's modules to compile for a requested one: it and every module of the file that it
// instantiates, transitively, children before parents (indices into Design::modules). False
// (with a message) when the module is missing or instantiates itself through its children.
// anyCase: the requested name may differ from the module's in letter case.
bool moduleOrder(const Design &design, std::string_view top, bool anyCase, std::string_view file, Diagnostics &diag,
                 std::vector<uint32_t> &order);

} // namespace nyxvc
