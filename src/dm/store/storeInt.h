// Private declarations of src/dm: the property files of libraries and cells, and the helpers that
// libraries and cells share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dm/store/store.h"

// Property files ("_nyx_Lib", "_nyx_Cell"): one text record per property, in list order.
//
//   field                 written as
//   name length           decimal, one blank          "%ld "
//   name                  the name's bytes, no terminator
//   value type            decimal, one blank          "%d "
//   value, types 1 and 2  decimal, newline            "%d\n"
//   value, type 3         "%f\n"
//   value, types 5,7,8,9  length, one blank, the string's bytes, a newline
//   types 0 and 4         no value
//
// Reading parses the same fields: a number skips leading white space; after a length exactly one
// character is skipped. Every record the writer can produce is read back, whatever its name: the
// name rule does not apply to stored data (trusted data mode creates any name). The file is
// hostile input: a negative length, a length beyond the end of the file, a missing field, a
// number out of range, a NUL byte in a name or text, or a type outside 0-5, 7-9 makes it damaged;
// the records before the damage are kept.
//
// A property file is at most kMaxFile bytes: the reader refuses a larger one and the writer
// never writes one.
namespace nyxPropFile {

constexpr size_t kMaxFile = size_t{64} << 20;

struct Record {
    std::string_view name;
    int32_t type = 0;
    int32_t intValue = 0;
    float floatValue = 0.0f;
    std::string_view text;
};

// Calls sink for each record in turn. True when the data ended after a whole record (or held
// none); false at a malformed record or when sink returned false.
bool parse(const char *data, size_t size, const std::function<bool(const Record &)> &sink);

// Creates the records' properties on a list (an existing property of the same name takes the
// new value), in trusted data mode and in time linear in the number of records. True when every
// record was applied; otherwise the records before the failing one stay applied.
bool load(const char *data, size_t size, nyxPropList *&list, const nyxPropOwner &owner);

// The records of a list's live properties.
std::string format(const nyxPropList *list);

// Reads an object's property file: the first of the three names present in the directory as
// anything but a directory. Returns 0 when it was read whole or none is present; 27 when it
// cannot be read (not a regular file, cannot be opened); 4 when it is larger than kMaxFile or
// damaged (the records before the damage are loaded).
cfidrErrorT read(const std::string &directory, const char *const names[3], nyxPropList *&list,
                 const nyxPropOwner &owner);

// Writes records (from format) to directory/name through the durable replacement; false on
// failure, and without writing when the records exceed kMaxFile.
bool write(const std::string &directory, const char *name, const std::string &records);

// Removes directory/name with its ".ed" and ".bak" companions for every name; false on failure.
bool removeAll(const std::string &directory, const char *const names[3]);

} // namespace nyxPropFile

namespace nyxDMInt {

// Property-file names: the name written first, then the two older names.
extern const char *const kLibPropFiles[3];
extern const char *const kCellPropFiles[3];

// Owners of library and cell properties.
nyxPropOwner libOwner(nyxLib *lib);
nyxPropOwner cellOwner(nyxCell *cell);

// Allocation of library and cell records in "NYX LibCell Object Heap".
void *allocRecord(size_t bytes);
void freeRecord(void *p, size_t bytes);

} // namespace nyxDMInt
