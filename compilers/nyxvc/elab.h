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

// The port interface of an instantiated cell: its ports in order.
struct PortShape {
    std::string_view name;
    Dir dir = Dir::None;
    bool vector = false;
    int32_t msb = 0, lsb = 0;
    uint32_t offset = 0;  // bits of the ports before this one
    uint32_t width() const { return static_cast<uint32_t>(msb > lsb ? msb - lsb : lsb - msb) + 1; }
};

struct CellIface {
    enum Source : uint8_t { Defined, Stub, Inferred };
    std::string_view name;
    Source source = Defined;
    const Module *module = nullptr;  // Defined: the module of this file
    std::vector<PortShape> ports;
    NameTable byName;                // port name -> index into ports
    uint32_t width = 0;              // bits of all ports together
};

// The interfaces of every cell that the file's modules instantiate, made once per file.
class CellTable {
public:
    // Interfaces of the cells instantiated by modules: the file's own modules, else the stub
    // file's, else inferred from named connections (with a warning each).
    bool build(const Design &design, const Design *stubs, std::string_view file, Diagnostics &diag);
    // The interface of the cell an instance names (Instance::cellId).
    const CellIface &cell(uint32_t cellId) const { return cells_[cellId]; }
    size_t size() const { return cells_.size(); }

private:
    static void fromModule(CellIface &cell, const Module &m);
    bool infer(const Design &design, std::string_view file, Diagnostics &diag);

    std::vector<CellIface> cells_;  // by cell id
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

    uint32_t find(uint32_t b) {
        while (parent[b] != b) {
            parent[b] = parent[parent[b]];
            b = parent[b];
        }
        return b;
    }
};

// Elaborates module m; false after an error (reported in diag).
bool elaborate(const Module &m, const CellTable &cells, const Options &opts, const Limits &limits,
               std::string_view file, Diagnostics &diag, Netlist &out);

// The file's modules to compile for a requested one: it and every module of the file that it
// instantiates, transitively, children before parents. False (with a message) when the module
// is missing or instantiates itself through its children.
bool moduleOrder(const Design &design, std::string_view top, std::string_view file, Diagnostics &diag,
                 std::vector<const Module *> &order);

} // namespace nyxvc
