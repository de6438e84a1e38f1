// viewreader.h - private to src/io: the view reader, shared by the files that read the records
// of nets and ports (viewread.cpp) and of describers, instances and port instances
// (viewread_inst.cpp).
#pragma once

#include <string>
#include <vector>

#include "dm/netlist/netlist.h"
#include "io/io.h"
#include "io/viewfile.h"

class nyxFootPrint;
class nyxPortBundle;
struct nyxFootPrintPort;

namespace nyxViewFile {

// The allocator of strings read into a std::string (the context).
void *scratchAlloc(void *context, size_t bytes);

// The thing a property list being read belongs to: an object of class `code`, or the property
// (list, index) when `onProp` is set.
struct PropOwner {
    void *obj;
    int32_t code;
    bool onProp;
    uint32_t index;
};

class ViewReader {
public:
    ViewReader(nyxNetlistView *view, const void *data, size_t size) : d_view(view), d_in(data, size) {}
    // Over an open view file, read as the records need it.
    ViewReader(nyxNetlistView *view, nyxFileIO::Reader &file) : d_view(view), d_in(file) {}

    // Reads the whole file into the view; the error code, 0 on success.
    cfidrErrorT run();

private:
    // Each returns false when the read must stop; d_err (or corruption of d_in) says why.
    bool corrupt() { return NYX_IO_CORRUPT(d_in), false; }
    bool failed(cfidrErrorT code) { return d_err = code, false; }
    // An integer; the record word that readTrailingLists read ahead comes first when there is one.
    bool readInt(int32_t &v) {
        if (d_hasAhead) {
            d_hasAhead = false;
            v = d_ahead;
            return true;
        }
        return d_in.getInt(v) == nyxTagReader::kRead || corrupt();
    }
    // A name by the name rule, into `buffer` (the scratch buffer when none is given). With
    // `storedView`, tabs and newlines pass too: a describer's view name may hold them, and the
    // record builder turns them into "/" and "." (fix switch 124407).
    bool readName(const char *&name, std::string *buffer = nullptr, bool storedView = false);
    bool readWord(int32_t &type, int32_t &arg);
    // Whether `count` items of at least one byte each can still follow.
    bool fits(int32_t count) const {
        return count >= 0 && static_cast<size_t>(count) <= d_in.size() - d_in.offset();
    }
    // Record ports are made before they are read (a group's member array comes with the group):
    // the ports claimed so far and not yet read must each still find the 3 bytes that the
    // smallest record port takes, so that nested groups cannot claim more memory than the file
    // could ever fill.
    bool claimPorts(int32_t count) {
        if (count < 0 || (d_pendingPorts + count) * 3 > static_cast<int64_t>(d_in.size() - d_in.offset())) {
            return corrupt();
        }
        d_pendingPorts += count;
        return true;
    }
    // Reads the records of type 0 (and 5 for a net) that follow an object; stops before another.
    // Most objects have none: the record word that follows is kept for the caller at once.
    bool readTrailingLists(PropOwner owner, void *net) {
        int32_t w = 0;
        if (!readInt(w)) return false;
        if ((w & 15) != kPropList && ((w & 15) != kNetAlias || net == nullptr)) {
            d_ahead = w;
            d_hasAhead = true;
            return true;
        }
        return readListsFrom(w, owner, net);
    }
    // The lists that start with record word `w`, and those that follow.
    bool readListsFrom(int32_t w, PropOwner owner, void *net);
    bool readProps(int32_t count, PropOwner owner, int depth);
    bool readNet(int32_t arg, void *&net, int depth);
    bool readAlias(int32_t arg, void *net);
    bool readBusFields(int32_t startBits, int32_t stepBits, int32_t &start, int32_t &step);
    bool readPort(int32_t arg, nyxPortBundle *group, int depth);
    bool readTrailer();
    bool readBody();
    // Describer records, instances and port instances (viewread_inst.cpp).
    bool readDescriber(int32_t arg);
    bool readRecordPort(int32_t arg, nyxFootPrint *record, nyxFootPrintPort *port, int depth);
    bool readInst(int32_t arg);
    bool readPortInst(uintptr_t *word, const nyxFootPrintPort *port, int depth);
    // Drops the records that no instance came to use.
    void dropUnusedRecords();

    nyxNetlistView *d_view;
    nyxTagReader d_in;
    cfidrErrorT d_err = 0;
    std::string d_scratch;
    // Property names by name id, nets by net id, describer records by record id.
    std::vector<nyxPropNameTableBucket *> d_names;
    std::vector<void *> d_nets;
    std::vector<nyxFootPrint *> d_records;
    // The record word after an object's lists, read ahead and kept for the caller (every caller
    // reads an integer next), so that it is decoded once.
    bool d_hasAhead = false;
    int32_t d_ahead = 0;
    int32_t d_netCount = 0;
    int64_t d_pendingPorts = 0;
    // Groups whose members are being read: none of them may become a member of itself.
    std::vector<void *> d_openGroups;
};

} // namespace nyxViewFile
