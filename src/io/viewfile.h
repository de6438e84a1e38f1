// viewfile.h - private to src/io: the record layout of the netlist view file.
//
//   item                  encoding                       content
//   lead byte             raw 0x20                       skipped unread
//   marker                integer                        kMarker
//   format version        integer                        0 (a reader refuses more)
//   kind                  integer                        'N'
//   view name, view type  strings
//   view version          integer                        the view's edit counter
//   dictionary offset     4 raw bytes, MSB first         offset of the trailer, patched at the end
//   body                  records                        view properties, top-level nets, ports,
//                                                        instances with their describer records
//   end of body           integer 15
//   trailer               integer net count, record 12 (dictionary), integer 15
//   closing mark          integer 81 ('Q')
//
// A record starts with an integer w: type w & 15, argument w >> 4 (arithmetic).
//
//   record 0, property list: argument n; n property words, each
//       short form (id <= 15): id << 1 | 1, flag bit 5, nested bit 6
//       long form:             id << 1,     flag bit 17, nested bit 18
//     then the value by the value type of the name id (boolean: flag only; integer, float:
//     flag = zero, else the value; string types: flag = empty, else the text), then, when the
//     nested bit is set, the property's own record 0.
//   record 3, net: argument bit 0 reference, bits 1-2 kind (1 scalar, 2 bundle, 3 bus), then
//     scalar bit 3 global; bus bits 3-4 start code (0: 0, 1: 1, 2: follows), bits 5-6 step code
//     (1: 1, 2: 2, 3: -1, 0: follows). A reference carries the net id only. A first appearance:
//     name, [start], [step], property lists and alias records (newest alias first), and for a
//     group 15, the member count and one net record per member.
//   record 5, net alias: argument bit 0 global; name; property lists.
//   record 4, port: argument bits 0-1 kind; scalar bits 2-3 direction; bus bits 2-3 start code,
//     bits 4-5 step code. Name; scalar: net id (-1 unattached); bus: [start], [step]; property
//     lists; group: 15, member count, member port records.
//   record 12, dictionary: entry count m, then m triples (name id, value type, name).
//   record 13, describer record (argument 0), just before the first instance that uses it; it
//     takes the next record id (0, 1, ...): library name, cell name, view name (strings),
//     describer version, port count, then one record port per top-level port: a port record
//     (type 4, same argument bits, name, start and step) without net id and properties.
//   record 2, instance: argument bit 0 set: record id in bits 1-4 (ids up to 15); clear: record
//     id in bits 1-16. Name; property lists; one port instance record per top-level slot.
//   record 1, port instance: a scalar on net id k <= 255 is the single integer k << 5 | 17
//     (argument bit 0 marks the short form); another scalar is 1 and its net id (-1
//     unattached); a bus or bundle is 1. Then its property lists; a group then has 15, its
//     member count and one port instance record per member.
#pragma once

#include <cstdint>

class nyxCell;

namespace nyxViewFile {

constexpr int32_t kMarker = 1514944819;  // 0x5A4C3933
constexpr int32_t kVersion = 0;
constexpr int32_t kKindNetlist = 'N';
constexpr int32_t kKindEncapsulated = 'E';
constexpr int32_t kClosingMark = 'Q';

enum Record : int32_t {
    kPropList = 0,
    kPortInst = 1,
    kInstance = 2,
    kNet = 3,
    kPort = 4,
    kNetAlias = 5,
    kDictionary = 12,
    kDescriber = 13,
    kEnd = 15,
};

// Kinds of nets and ports in record arguments.
enum Kind : int32_t { kScalar = 1, kBundle = 2, kBus = 3 };

// Deepest nesting of groups or of properties on properties a file may hold.
constexpr int kMaxDepth = 1024;

inline int32_t recordWord(int32_t type, int32_t arg) {
    return static_cast<int32_t>(static_cast<uint32_t>(arg) << 4) | type;
}

// Start and step codes of buses.
inline int32_t startCode(int32_t start) { return start == 0 ? 0 : start == 1 ? 1 : 2; }
inline int32_t stepCode(int32_t step) { return step == 1 ? 1 : step == 2 ? 2 : step == -1 ? 3 : 0; }

// The directory of a view of the cell, made with its library's when missing (the writers of both
// view kinds call it before writing the file).
bool ensureCellDirectory(nyxCell *cell);

} // namespace nyxViewFile
