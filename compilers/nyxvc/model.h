// model.h - the parsed form of a Verilog file: its modules, each with its names, ports,
// instances, connections and assigns, before any net is joined.
//
// Names are views of the mapped source text or of the lexer's arena; both outlive the model.
// Expressions are flattened at parse time into runs of Items (a concatenation is its parts in
// order, a replication its part repeated), so that a connection is one run of Module::items.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "names.h"

namespace nyxvc {

enum class Dir : uint8_t { None = 0, In = 1, Out = 2, InOut = 3 };

// Net kinds other than wire and supply, kept as the nets' "net_type" property.
inline constexpr std::string_view kNetKinds[] = {"",     "tri",   "wand",  "wor",    "triand", "trior",
                                                 "tri0", "tri1",  "trireg", "uwire", "reg"};
inline uint8_t netKindOf(std::string_view word) {
    for (uint8_t k = 1; k < sizeof kNetKinds / sizeof kNetKinds[0]; ++k) {
        if (kNetKinds[k] == word) return k;
    }
    return 0;
}

// One name of a module: a declared net, a port, or a name used before (or without) declaration.
//   vector:  the name was declared with a range [msb:lsb]; width = |msb - lsb| + 1
//   isPort:  the name is listed in the module's header (portIndex is its place there)
struct Symbol {
    std::string_view name;
    uint32_t line = 0;         // declaration line, or the line of first use
    int32_t msb = 0;
    int32_t lsb = 0;
    uint32_t portIndex = 0;
    Dir dir = Dir::None;
    bool netDeclared = false;  // declared as a net (wire, supply0, ...)
    bool vector = false;
    bool isPort = false;
    bool hasDir = false;
    bool global = false;       // supply0 / supply1
    uint8_t netKind = 0;       // index into kNetKinds: 0 for wire and implicit nets
    uint32_t width() const { return static_cast<uint32_t>(msb > lsb ? msb - lsb : lsb - msb) + 1; }
};

// A piece of an expression.
//   Whole:  every bit of symbol sym
//   Select: bits hi down to (or up to) lo of sym, in the order written (a bit select has hi == lo)
//   Const:  count bits of Module::constBits from offset, most significant first
struct Item {
    enum Kind : uint8_t { Whole, Select, Const };
    uint32_t sym = 0;  // symbol index, or offset into constBits
    int32_t hi = 0;    // Select: first index written; Const: bit count
    int32_t lo = 0;
    Kind kind = Whole;
};

// Constant bits: '0', '1', 'x' or 'z'.
constexpr uint32_t kPositional = 0xFFFFFFFFu;

struct Conn {
    uint32_t port = kPositional;  // index into Module::portNames; kPositional by position
    uint32_t itemBegin = 0;
    uint32_t itemCount = 0;
    uint32_t line = 0;
};

// A property of an instance: a parameter value or an attribute.
struct Prop {
    std::string_view name;
    std::string_view value;  // the value's text; a string literal without its quotes
    bool isString = false;   // the value was a string literal
};

struct Instance {
    uint32_t cellId = 0;            // index into Design::cellNames
    std::string_view name;
    uint32_t line = 0;
    uint32_t connBegin = 0, connCount = 0;
    uint32_t propBegin = 0, propCount = 0;
    uint32_t positionalParams = 0;  // parameters given by position (named after the child's)
    bool positional = false;        // connections by position
    bool array = false;             // an instance array name[arrayHi:arrayLo]
    int32_t arrayHi = 0, arrayLo = 0;
};

// One port of a cell's interface.
struct PortShape {
    std::string_view name;
    Dir dir = Dir::None;
    bool vector = false;
    int32_t msb = 0, lsb = 0;
    uint32_t offset = 0;  // bits of the ports before this one
    uint32_t width() const { return static_cast<uint32_t>(msb > lsb ? msb - lsb : lsb - msb) + 1; }
};

// A cell that a module instantiates, once per cell, with the line of its first instance.
struct ChildRef {
    uint32_t cellId = 0;
    uint32_t line = 0;
};

struct Assign {
    uint32_t lhsBegin = 0, lhsCount = 0;
    uint32_t rhsBegin = 0, rhsCount = 0;
    uint32_t line = 0;
};

struct Module {
    std::string_view name;
    uint32_t line = 0;
    NameTable symbolIndex;            // name -> index into symbols
    std::vector<Symbol> symbols;      // in order of first appearance
    std::vector<uint32_t> ports;      // symbol indices in header order
    std::vector<std::string_view> params;  // parameter names in declaration order
    std::vector<Instance> instances;
    NameTable portNameIndex;               // port names of named connections, each once
    std::vector<std::string_view> portNames;
    std::vector<Conn> conns;
    std::vector<Prop> props;
    std::vector<Item> items;
    std::vector<char> constBits;
    std::vector<Assign> assigns;
    // Kept after release(): what instances of this module and the hierarchy walk need.
    std::vector<PortShape> iface;
    std::vector<ChildRef> children;
    bool released = false;

    // Frees everything but the name, parameters, interface and children, once the module's
    // records are written.
    void release() {
        symbolIndex.clear();
        std::vector<Symbol>().swap(symbols);
        std::vector<uint32_t>().swap(ports);
        std::vector<Instance>().swap(instances);
        portNameIndex.clear();
        std::vector<std::string_view>().swap(portNames);
        std::vector<Conn>().swap(conns);
        std::vector<Prop>().swap(props);
        std::vector<Item>().swap(items);
        std::vector<char>().swap(constBits);
        std::vector<Assign>().swap(assigns);
        released = true;
    }
};

// Storage for names the lexer rewrites (letter case), and for the names a module keeps after it
// is released: chunks that never move, so that views of them stay valid as long as the design.
struct TextArena {
    std::vector<std::unique_ptr<char[]>> chunks;
    size_t used = 0;
    size_t size = 0;

    char *allocate(size_t n) {
        if (used + n > size || chunks.empty()) {
            size = n > (1u << 16) ? n : (1u << 16);
            chunks.emplace_back(new char[size]);
            used = 0;
        }
        char *p = chunks.back().get() + used;
        used += n;
        return p;
    }
    std::string_view keep(std::string_view text) {
        if (text.empty()) return text;
        char *p = allocate(text.size());
        std::memcpy(p, text.data(), text.size());
        return {p, text.size()};
    }
};

// The names that outlive a module's release (its own, its parameters' and ports', and the names
// of the cells instances name) are copies in the arena, not views of the source text: the text
// of modules already compiled may be given back (SourceFile::dropBefore) and is not read again.
struct Design {
    TextArena arena;                // names the lexer mapped to another letter case, kept names
    std::deque<Module> modules;     // a deque: modules keep their place while others are added
    std::deque<std::string> texts;  // values made of several tokens, viewed by Prop::value
    NameTable moduleIndex;  // name -> index into modules
    // Names of the cells that instances name, each once: instances refer to them by number.
    NameTable cellIndex;
    std::vector<std::string_view> cellNames;
    const Module *find(std::string_view name) const {
        const uint32_t i = moduleIndex.find(name);
        return i == NameTable::kEmpty ? nullptr : &modules[i];
    }
};

} // namespace nyxvc
