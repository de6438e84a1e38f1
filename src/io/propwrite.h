// propwrite.h - the property part of the stored view formats, shared by the writers of netlist
// views and encapsulated views: property list records and the name dictionary (the record
// layout is in viewfile.h).
#pragma once

#include <cstdint>

struct nyxPropList;
class nyxPropNameTable;
class nyxTagWriter;

namespace nyxViewFile {

// Writes the property lists of one file. Names get their write ids (1, 2, ...) in the order
// they are first written; the ids live only while the writer does, so the name table's ids are
// cleared when it is made and again when it goes.
//   written names == { entry of the name table : entry->writeId != 0 },  lastId == their count
class PropWriter {
public:
    explicit PropWriter(nyxTagWriter &out);
    ~PropWriter();
    PropWriter(const PropWriter &) = delete;
    PropWriter &operator=(const PropWriter &) = delete;

    // A property list record and each live property's entry (name id, flags, value), the
    // properties on it right after; a list without a live property writes nothing. False when a
    // count or a name id does not fit the record, or lists nest deeper than kMaxDepth.
    bool writeList(const nyxPropList *list, int depth = 0);
    // The dictionary record: id, type and name of every name written. False when the table
    // cannot list them.
    bool writeDictionary();

    static bool hasLive(const nyxPropList *list);

private:
    nyxTagWriter &d_out;
    nyxPropNameTable *d_names;
    uint16_t d_lastId = 0;
};

} // namespace nyxViewFile
