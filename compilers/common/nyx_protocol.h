// nyx_protocol.h - writer of the answer a compiler sends to the library: text lines, then the
// binary record stream that describes netlist views, design configurations and occurrence property
// sets. Header only, C++17, standard library only; our compiler programs, tests and fuzz seeds
// write their answers with it into a std::string.
//
// The exchange. The library writes "#reset", optionally "#opts ...", "#param ..." lines, "#lib L",
// "#cell C", "#view V" (each ending in '\n'). The compiler answers with text lines (status
// "#s <n>", a message block "#m" ... "#endmsgs", then "#netlist" followed at once by the binary
// stream, or "#nonetlist"). Send messages and status first and the netlist (or "#nonetlist") last:
// the library stops reading as soon as it has all three, and whatever follows is stale. Status
// codes: 0, 27 when the source is not found, 4 for anything else.
//
// Binary primitives, little-endian: i32 (4 bytes), f32 (IEEE single), ch and ty (1 byte), ot (an
// i32 object type), str (i32 length 0..128000, then the bytes, no terminator), boolean (1 byte).
//
// Records (the reader's grammar; [..] optional, {..}xn repeated):
//
//   stream    := ch 'T' str header { record } ch 'Q'
//   record    := 'C' str str { 'P' names | 'V' viewdata } 'E' str compiledFrom
//              | 'D' dcrec | 'O' opsrec
//   names     := i32 n { i32 index (0..n) i32 valueType str name }xn   (replaces the table)
//   viewdata  := 'N' str lib str cell str view str viewType i32 0 i32 netCount i32 fpCount
//                  { ty t body } ty 15
//                t: 0 the view's properties | 2 instance | 3 net | 4 port | 12 names | 13 footprint
//              | 'E' str lib str cell str view str viewType str key plist
//   net       := i32 0 ot str name (10 bundle | 11 bus: i32 b1 i32 b2 | 12 scalar: i32 isGlobal)
//                  [ty 0 plist] { ty 5 i32 isGlobal str aliasName [ty 0 plist] }
//                  [group: ty 3 i32 n { ty 3 net }xn]
//              | i32 1 i32 netIndex                   (a member that is a net defined before)
//   port      := ot str name (3 bundle | 4 bus: i32 b1 i32 b2 | 5 scalar: i32 dir i32 netIndex)
//                  [ty 0 plist] [group: ty 4 i32 n { ty 4 port }xn]
//   footprint := str lib str cell str view i32 version str symbolView i32 n { fpport }xn
//     fpport  := ot str name (3: - | 4: i32 b1 i32 b2 | 5: i32 dir) [3, 4: i32 n { fpport }xn]
//   instance  := i32 footprintIndex str name [ty 0 plist] { ty portinst }x(top-level ports)
//   portinst  := (scalar) i32 netIndex [ty 0 plist]
//              | (bus, bundle) [ty 0 plist] ty i32 unused { ty portinst }x(members)
//   plist     := i32 n { entry }xn          (n < 1: no list)
//     entry   := i32 nameIndex i32 valueType value i32 hasSub [ty 13 plist]   (by index)
//              | i32 -1 i32 i32                                                (skipped entry)
//              | i32 valueType str name i32 valueType value i32 hasSub [ty 13 plist]  (inline)
//     value   := 1 boolean | 2 i32 | 3 f32 | 5 str | 9 str (expression) | 0, 4: nothing
//   dcrec     := str name str lib str cell str rootLib str rootCell str rootView i32 selMode
//                i32 n { str lib str cell str setName }xn  plist(inline)  str compiledFrom
//   opsrec    := str name str lib str cell  i32 n { str path plist(inline) }  (view occurrences)
//                i32 n { str path plist(inline) }  (net occurrences)
//                i32 n { str "instPath:port" plist(inline) }  (port occurrences)
//                plist(inline)  str compiledFrom
//
// Rules a compiler must follow, which the grammar implies (the writer keeps them where it can):
//   - A mark byte before a group's count, before each group member and before each port
//     instance is consumed unread, but must be neither 0 ("properties follow"), 5 ("alias
//     follows") nor 15 ("end"): use the record's own object type (3 net, 4 port, 9, 8 or 7
//     port instance). The writer writes these.
//   - The view's own properties come right after the view header, before any net, port or
//     instance: a 0 after a record is read as that record's properties.
//   - Nets come before the ports and port instances that name them by index, footprints before
//     their instances, name-table entries before the properties that name them. Indices count
//     from 0 in definition order (every net record that is not a reference defines one, members
//     included; netIndex -1 leaves a port or port instance unconnected).
//   - netCount and fpCount count every net and footprint of the view (the writer fills them in at
//     netlistViewEnd). Member counts must be the number of member records that follow.
//   - A bus gets its members only from its member list; b1 and b2 are the bounds in written
//     order. A group never contains itself. Names are non-empty 7-bit ASCII without control
//     characters, unique in their name space; floats are finite; value types are 0..5 or 9.
//   - A port instance record follows the instance's describer footprint: one per top-level port
//     in footprint order, members of a bus or bundle in their footprint order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace nyxproto {

// Object types in the stream.
enum : int32_t {
    kInstance = 2, kPortBundle = 3, kPortBus = 4, kPortScalar = 5, kInstanceOwner = 6,
    kPortInstBundle = 7, kPortInstBus = 8, kPortInstScalar = 9, kNetBundle = 10, kNetBus = 11,
    kNetScalar = 12, kPropertyOwner = 13, kNetlistView = 14, kEncapsulatedView = 15
};
// Value types of properties.
enum : int32_t { kNone = 0, kBoolean = 1, kInteger = 2, kFloat = 3, kDeleted = 4, kString = 5, kExpression = 9 };
// Type bytes at view-data level.
enum : uint8_t { kTyProps = 0, kTyInstance = 2, kTyNet = 3, kTyPort = 4, kTyAlias = 5, kTyNames = 12,
                 kTyFootprint = 13, kTyEnd = 15 };

// One property: by name index (nameIndex >= 0) in a view's list, or by inline name in the lists
// of design configurations and occurrence property sets. Sub-properties name by index.
struct Prop {
    int32_t nameIndex = -1;
    std::string name;  // inline lists
    int32_t type = kNone;
    bool b = false;
    int32_t i = 0;
    float f = 0.0f;
    std::string s;  // string or expression text
    std::vector<Prop> subs;
    bool skipped = false;  // an entry "-1 a b" that the reader passes over

    static Prop Bool(int32_t idx, bool v) { Prop p; p.nameIndex = idx; p.type = kBoolean; p.b = v; return p; }
    static Prop Int(int32_t idx, int32_t v) { Prop p; p.nameIndex = idx; p.type = kInteger; p.i = v; return p; }
    static Prop Float(int32_t idx, float v) { Prop p; p.nameIndex = idx; p.type = kFloat; p.f = v; return p; }
    static Prop Str(int32_t idx, std::string v) { Prop p; p.nameIndex = idx; p.type = kString; p.s = std::move(v); return p; }
    static Prop Expr(int32_t idx, std::string v) { Prop p; p.nameIndex = idx; p.type = kExpression; p.s = std::move(v); return p; }
    static Prop Skipped() { Prop p; p.skipped = true; return p; }
    Prop &named(std::string n) { name = std::move(n); return *this; }
    Prop &with(std::vector<Prop> sub) { subs = std::move(sub); return *this; }
};
using PropList = std::vector<Prop>;

struct PropName {
    int32_t index;
    int32_t type;
    std::string name;
};

// A path and its properties in an occurrence property set.
struct OccEntry {
    std::string path;
    PropList props;
};
struct SetRef {
    std::string lib, cell, set;
};

// The writer keeps its bytes in a buffer with room at its end (d_out.size() >= d_len): a
// primitive is a store into that room, not a call that grows a string. bytes() trims the buffer
// to the bytes written.
class Writer {
public:
    // The bytes written so far; the reference stays good until the next write.
    const std::string &bytes() const {
        d_out.resize(d_len);
        return d_out;
    }
    // Hands the bytes out and empties the writer. A buffer much larger than its bytes stays
    // with the writer for its next bytes, and the bytes leave in a string of their own size.
    std::string take() {
        std::string out;
        if (d_out.size() - d_len <= d_len / 8) {
            d_out.resize(d_len);
            out.swap(d_out);
        } else {
            out.assign(d_out.data(), d_len);
        }
        d_len = 0;
        return out;
    }
    size_t size() const { return d_len; }

    // --- Text lines --------------------------------------------------------------------------
    void line(std::string_view text) { put(text.data(), text.size()); ch('\n'); }
    void status(int32_t code) { line("#s " + std::to_string(code)); }
    void messages(const std::vector<std::string> &lines) {
        line("#m");
        for (const std::string &l : lines) line(l);
        line("#endmsgs");
    }
    void netlistFollows() { line("#netlist"); }
    void noNetlist() { line("#nonetlist"); }

    // --- Primitives --------------------------------------------------------------------------
    void i32(int32_t v) { store32(room(4), v); }
    void f32(float v) {
        int32_t bits;
        std::memcpy(&bits, &v, 4);
        i32(bits);
    }
    void ch(uint8_t c) { *room(1) = static_cast<char>(c); }
    void ty(uint8_t t) { ch(t); }
    void ot(int32_t t) { i32(t); }
    void str(std::string_view s) {
        char *p = room(4 + s.size());
        store32(p, static_cast<int32_t>(s.size()));
        if (!s.empty()) std::memcpy(p + 4, s.data(), s.size());
    }
    void boolean(bool v) { ch(v ? 1 : 0); }
    // Overwrites the i32 written at offset (counts known only later).
    void patchI32(size_t offset, int32_t v) { store32(&d_out[offset], v); }

    // --- Stream and view records -------------------------------------------------------------
    void streamStart(std::string_view header = "nyx") { ch('T'); str(header); }
    void streamEnd() { ch('Q'); }
    void viewRecordStart(std::string_view a = "", std::string_view b = "") { ch('C'); str(a); str(b); }
    void viewRecordEnd(std::string_view compiledFrom = "") { ch('E'); str(compiledFrom); }

    // A name table ('P' inside a view record; at view-data level use names(..., true)). It
    // replaces the previous table; indices lie in 0..table.size().
    void names(const std::vector<PropName> &table, bool atViewLevel = false) {
        if (atViewLevel) ty(kTyNames); else ch('P');
        i32(static_cast<int32_t>(table.size()));
        for (const PropName &e : table) { i32(e.index); i32(e.type); str(e.name); }
    }

    // Netlist view data: returns nothing; nets and footprints written until netlistViewEnd are
    // counted there and their counts filled into the header.
    void netlistViewStart(std::string_view lib, std::string_view cell, std::string_view view,
                          std::string_view viewType = "CFIDR_NETLISTVIEW") {
        ch('V'); ch('N');
        str(lib); str(cell); str(view); str(viewType);
        i32(0);
        d_countsAt = d_len;
        i32(0); i32(0);
        d_nets = d_footprints = 0;
    }
    void netlistViewEnd() {
        ty(kTyEnd);
        patchI32(d_countsAt, d_nets);
        patchI32(d_countsAt + 4, d_footprints);
    }
    void encapsulatedView(std::string_view lib, std::string_view cell, std::string_view view,
                          std::string_view viewType, std::string_view key, const PropList &props = {}) {
        ch('V'); ch('E');
        str(lib); str(cell); str(view); str(viewType); str(key);
        propList(props);
    }
    // The view's own properties: right after netlistViewStart.
    void viewProps(const PropList &props) { props0(props); }

    // --- Nets ----------------------------------------------------------------------------------
    // Each returns the net's index in the view's net table.
    int32_t netScalar(std::string_view name, bool global = false) {
        netHead(kNetScalar, name);
        i32(global ? 1 : 0);
        return d_nets++;
    }
    int32_t netBus(std::string_view name, int32_t b1, int32_t b2) {
        netHead(kNetBus, name);
        i32(b1); i32(b2);
        return d_nets++;
    }
    int32_t netBundle(std::string_view name) { netHead(kNetBundle, name); return d_nets++; }
    // A member that is a net defined before (inside a member list).
    void netRef(int32_t index) { ty(kTyNet); i32(1); i32(index); }
    // Optional, right after the net (or alias) record: its properties.
    void props(const PropList &list) { props0(list); }
    void alias(std::string_view name, bool global = false, const PropList &list = {}) {
        ty(kTyAlias); i32(global ? 1 : 0); str(name);
        if (!list.empty()) props0(list);
    }
    // After the group's properties and aliases: the member count; then n member records.
    void netMembers(int32_t n) { ty(kTyNet); i32(n); }

    // --- Ports ---------------------------------------------------------------------------------
    void portScalar(std::string_view name, int32_t dir, int32_t netIndex = -1) {
        ty(kTyPort); ot(kPortScalar); str(name); i32(dir); i32(netIndex);
    }
    void portBus(std::string_view name, int32_t b1, int32_t b2) {
        ty(kTyPort); ot(kPortBus); str(name); i32(b1); i32(b2);
    }
    void portBundle(std::string_view name) { ty(kTyPort); ot(kPortBundle); str(name); }
    void portMembers(int32_t n) { ty(kTyPort); i32(n); }

    // --- Footprints (describers) ---------------------------------------------------------------
    // Returns the footprint's index; then nPorts fpPort* records follow.
    int32_t footprint(std::string_view lib, std::string_view cell, std::string_view view, int32_t nPorts,
                      std::string_view symbolView = "", int32_t version = 0) {
        ty(kTyFootprint); str(lib); str(cell); str(view); i32(version); str(symbolView); i32(nPorts);
        return d_footprints++;
    }
    void fpPortScalar(std::string_view name, int32_t dir) { ot(kPortScalar); str(name); i32(dir); }
    void fpPortBus(std::string_view name, int32_t b1, int32_t b2, int32_t nMembers) {
        ot(kPortBus); str(name); i32(b1); i32(b2); i32(nMembers);
    }
    void fpPortBundle(std::string_view name, int32_t nMembers) { ot(kPortBundle); str(name); i32(nMembers); }

    // --- Instances and port instances ----------------------------------------------------------
    // Then optional props(...), then one port-instance record per top-level port of the footprint.
    void instance(int32_t footprintIndex, std::string_view name) {
        ty(kTyInstance); i32(footprintIndex); str(name);
    }
    void portInstScalar(int32_t netIndex, const PropList &list = {}) {
        ty(static_cast<uint8_t>(kPortInstScalar)); i32(netIndex);
        if (!list.empty()) props0(list);
    }
    // kind: kPortInstBus or kPortInstBundle; then that many member records.
    void portInstGroup(int32_t kind, int32_t nMembers, const PropList &list = {}) {
        ty(static_cast<uint8_t>(kind));
        if (!list.empty()) props0(list);
        ty(static_cast<uint8_t>(kind)); i32(nMembers);
    }

    // --- Property lists ------------------------------------------------------------------------
    void propList(const PropList &list, bool inlineNames = false) {
        i32(static_cast<int32_t>(list.size()));
        for (const Prop &p : list) entry(p, inlineNames);
    }

    // --- Design configurations and occurrence property sets ------------------------------------
    void designConfig(std::string_view name, std::string_view lib, std::string_view cell, std::string_view rootLib,
                      std::string_view rootCell, std::string_view rootView, int32_t selectionMode,
                      const std::vector<SetRef> &sets = {}, const PropList &list = {},
                      std::string_view compiledFrom = "") {
        ch('D');
        str(name); str(lib); str(cell); str(rootLib); str(rootCell); str(rootView); i32(selectionMode);
        i32(static_cast<int32_t>(sets.size()));
        for (const SetRef &s : sets) { str(s.lib); str(s.cell); str(s.set); }
        propList(list, true);
        str(compiledFrom);
    }
    void occPropSet(std::string_view name, std::string_view lib, std::string_view cell,
                    const std::vector<OccEntry> &views, const std::vector<OccEntry> &nets,
                    const std::vector<OccEntry> &ports, const PropList &own = {},
                    std::string_view compiledFrom = "") {
        ch('O');
        str(name); str(lib); str(cell);
        for (const std::vector<OccEntry> *group : {&views, &nets, &ports}) {
            i32(static_cast<int32_t>(group->size()));
            for (const OccEntry &e : *group) { str(e.path); propList(e.props, true); }
        }
        propList(own, true);
        str(compiledFrom);
    }

private:
    void netHead(int32_t type, std::string_view name) { ty(kTyNet); i32(0); ot(type); str(name); }
    void props0(const PropList &list) { ty(kTyProps); propList(list); }
    void entry(const Prop &p, bool inlineNames) {
        if (p.skipped) { i32(-1); i32(0); i32(0); return; }
        if (inlineNames) { i32(p.type); str(p.name); } else i32(p.nameIndex);
        i32(p.type);
        switch (p.type) {
        case kBoolean: boolean(p.b); break;
        case kInteger: i32(p.i); break;
        case kFloat: f32(p.f); break;
        case kString: case kExpression: str(p.s); break;
        default: break;
        }
        i32(p.subs.empty() ? 0 : 1);
        if (!p.subs.empty()) { ty(static_cast<uint8_t>(kPropertyOwner)); propList(p.subs); }
    }

    // Little-endian, whatever the machine's order.
    static void store32(char *p, int32_t v) {
        const uint32_t u = static_cast<uint32_t>(v);
        p[0] = static_cast<char>(u & 0xff);
        p[1] = static_cast<char>((u >> 8) & 0xff);
        p[2] = static_cast<char>((u >> 16) & 0xff);
        p[3] = static_cast<char>((u >> 24) & 0xff);
    }
    // n bytes of room at the end of the bytes written, counted as written.
    char *room(size_t n) {
        if (d_out.size() - d_len < n) grow(n);
        char *p = &d_out[0] + d_len;
        d_len += n;
        return p;
    }
    [[gnu::noinline]] void grow(size_t n) {
        const size_t want = d_len + n;
        d_out.resize(want > 2 * d_out.size() + 256 ? want : 2 * d_out.size() + 256);
    }
    void put(const char *p, size_t n) {
        if (n != 0) std::memcpy(room(n), p, n);
    }

    mutable std::string d_out;  // d_out[0, d_len) are the bytes written; the rest is room
    size_t d_len = 0;
    size_t d_countsAt = 0;
    int32_t d_nets = 0;
    int32_t d_footprints = 0;
};

} // namespace nyxproto
