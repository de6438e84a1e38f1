// Private declarations of src/dm: the property files of libraries and cells, and the helpers that
// libraries and cells share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dm/dm.h"

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
// character is skipped. The file is hostile input: a negative length, a length beyond the end of
// the file, a missing field, a number out of range, a name that breaks the name rule or a type
// outside 0-5, 7-9 ends the reading, and the records before it are kept.
namespace nyxPropFile {

struct Record {
    std::string_view name;
    int32_t type = 0;
    int32_t intValue = 0;
    float floatValue = 0.0f;
    std::string_view text;
};

// Calls sink for each complete record until the data ends, a record is malformed or sink returns
// false. Returns the number of records handed to sink.
size_t parse(const char *data, size_t size, const std::function<bool(const Record &)> &sink);

// Creates the records' properties on a list (an existing property of the same name takes the
// new value). Runs in trusted data mode. Returns the number of records applied.
size_t load(const char *data, size_t size, nyxPropList *&list, const nyxPropOwner &owner);

// The records of a list's live properties.
std::string format(const nyxPropList *list);

// Reads the first of the candidate files that exists; false when none does.
bool read(const std::string &directory, const char *const names[3], nyxPropList *&list,
          const nyxPropOwner &owner);

// Writes records (from format) to directory/name through the durable replacement; false on
// failure.
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
