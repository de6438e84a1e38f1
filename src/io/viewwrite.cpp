// The view writer: a netlist view as records of tagged values (layout in viewfile.h).
#include <algorithm>
#include <cstring>
#include <vector>

#include "dm/netlist/netlist.h"
#include "io/io.h"
#include "io/propwrite.h"
#include "io/viewfile.h"
#include "utils/fileio.h"

namespace {

using namespace nyxViewFile;

// Everything the data model lets be built nests no deeper than a file may.
static_assert(kMaxDepth >= nyxNet::kMaxNesting && kMaxDepth >= nyxPort::kMaxNesting &&
              kMaxDepth >= nyxPropMaxNesting);

// Net ids by net address. Net scalars, which every port and port instance refers to, are found
// by their slot position in the view (a table indexed by position: one read of the block header
// and one of the table); buses and bundles by open addressing with linear probing (no deletions
// while one file is written; count * 2 <= capacity, capacity a power of two).
class NetIds {
public:
    explicit NetIds(nyxNetlistView *view) : d_view(view) {
        d_scalars.assign(static_cast<size_t>(view->chain(nyxNetlistView::kScalarChain).blocks) *
                             nyxNetlistView::kScalarSlots,
                         -1);
    }
    // The id of a net scalar of the view, or -1 when it has none yet (or is another view's, which
    // trusted data mode may have let a port instance reach).
    int32_t findScalar(const void *net) const {
        if (nyxListBlock::getHeader(net, nyxNetlistView::kBlockSize)->parent() != d_view) return -1;
        const size_t pos = static_cast<size_t>(d_view->netPosition(net));
        return pos < d_scalars.size() ? d_scalars[pos] : -1;
    }
    // The id of a net of class `code`, or -1 when it has none yet.
    int32_t find(const void *net, int32_t code) const {
        if (code == nyxCodeNetScalar) return findScalar(net);
        if (d_groups == 0) return -1;
        for (size_t i = hash(net) & d_mask;; i = (i + 1) & d_mask) {
            if (d_slots[i].key == net) return d_slots[i].id;
            if (d_slots[i].key == nullptr) return -1;
        }
    }
    // Gives the net (which has no id yet) the next id; false when it cannot be recorded.
    bool add(const void *net, int32_t code) {
        const int32_t id = d_count++;
        if (code == nyxCodeNetScalar) {
            const size_t pos = static_cast<size_t>(d_view->netPosition(net));
            if (pos >= d_scalars.size()) return false;
            d_scalars[pos] = id;
            return true;
        }
        if ((d_groups + 1) * 2 > d_slots.size()) grow();
        place(net, id);
        ++d_groups;
        return true;
    }
    int32_t size() const { return d_count; }

private:
    struct Slot {
        const void *key;
        int32_t id;
    };
    static size_t hash(const void *p) {
        const uint64_t v = reinterpret_cast<uintptr_t>(p) >> 3;
        return static_cast<size_t>((v * 0x9E3779B97F4A7C15ull) >> 20);
    }
    void place(const void *net, int32_t id) {
        size_t i = hash(net) & d_mask;
        while (d_slots[i].key != nullptr) i = (i + 1) & d_mask;
        d_slots[i] = {net, id};
    }
    void grow() {
        std::vector<Slot> old(std::max<size_t>(256, d_slots.size() * 2), Slot{nullptr, -1});
        old.swap(d_slots);
        d_mask = d_slots.size() - 1;
        for (const Slot &slot : old) {
            if (slot.key != nullptr) place(slot.key, slot.id);
        }
    }

    nyxNetlistView *d_view;
    std::vector<int32_t> d_scalars;
    std::vector<Slot> d_slots;
    size_t d_mask = 0;
    size_t d_groups = 0;
    int32_t d_count = 0;
};

class ViewWriter {
public:
    ViewWriter(nyxNetlistView *view, nyxTagWriter &out) : d_view(view), d_out(out), d_props(out), d_netIds(view) {}

    // Writes the whole file; false with the error code in `err`.
    bool run(cfidrErrorT *err);

private:
    bool writeProps(const nyxPropList *list);
    bool writeNet(void *net, int depth);
    bool writePort(const nyxPort *port, int depth);
    bool writeRecordPort(const nyxFootPrintPort *port, int depth);
    bool writeDescriber(nyxFootPrint *record);
    bool writeInst(nyxInst *inst);
    bool writePortInst(const uintptr_t *word, int depth);
    bool fail() { return d_ok = false; }

    nyxNetlistView *d_view;
    nyxTagWriter &d_out;
    PropWriter d_props;  // property lists and the name dictionary
    // Net ids in the order nets are first written; describer records in the order written.
    NetIds d_netIds;
    int32_t d_records = 0;
    bool d_ok = true;
};

bool ViewWriter::writeProps(const nyxPropList *list) { return d_props.writeList(list) || fail(); }

bool ViewWriter::writeNet(void *net, int depth) {
    const int32_t code = nyxNet::code(net);
    const int32_t kind = code == nyxCodeNetScalar ? kScalar : code == nyxCodeNetBundle ? kBundle : kBus;
    const int32_t known = d_netIds.find(net, code);
    if (known >= 0) {
        d_out.putInt(recordWord(kNet, 1 | kind << 1));
        return d_out.putInt(known);
    }
    if (depth > kMaxDepth) return fail();
    if (!d_netIds.add(net, code)) return fail();
    int32_t arg = kind << 1;
    const nyxNetBus *bus = code == nyxCodeNetBus ? static_cast<const nyxNetBus *>(net) : nullptr;
    if (code == nyxCodeNetScalar) arg |= nyxNet::getGlobal(net, false) << 3;
    if (bus != nullptr) arg |= startCode(bus->d_start) << 3 | stepCode(bus->d_step) << 5;
    d_out.putInt(recordWord(kNet, arg));
    d_out.putString(nyxNet::name(net));
    if (bus != nullptr) {
        if (startCode(bus->d_start) == 2) d_out.putInt(bus->d_start);
        if (stepCode(bus->d_step) == 0) d_out.putInt(bus->d_step);
    }
    if (!writeProps(nyxNet::props(net))) return false;
    // The alias list starts with the newest alias.
    for (auto *a = static_cast<const nyxNetAlias *>(d_view->aliasHead(net)); a != nullptr; a = a->d_next) {
        d_out.putInt(recordWord(kNetAlias, a->d_global != 0 ? 1 : 0));
        d_out.putString(a->d_name.getString());
        if (!writeProps(a->d_props)) return false;
    }
    if (code != nyxCodeNetScalar) {
        const auto *group = static_cast<const nyxNetBundle *>(net);
        d_out.putInt(kEnd);
        d_out.putInt(group->size());
        for (int32_t i = 0; i < group->size(); ++i) {
            if (!writeNet(group->member(i), depth + 1)) return false;
        }
    }
    return d_out.ok();
}

bool ViewWriter::writePort(const nyxPort *port, int depth) {
    if (depth > kMaxDepth) return fail();
    int32_t arg;
    const nyxPortBus *bus = port->d_code == nyxCodePortBus ? static_cast<const nyxPortBus *>(port) : nullptr;
    if (port->isScalar()) {
        arg = kScalar | (static_cast<const nyxPortScalar *>(port)->d_direction & 3) << 2;
    } else if (bus != nullptr) {
        arg = kBus | startCode(bus->d_start) << 2 | stepCode(bus->d_step) << 4;
    } else {
        arg = kBundle;
    }
    d_out.putInt(recordWord(kPort, arg));
    d_out.putString(port->name());
    if (port->isScalar()) {
        const nyxNetScalar *net = static_cast<const nyxPortScalar *>(port)->net();
        d_out.putInt(net != nullptr ? d_netIds.findScalar(net) : -1);
    }
    if (bus != nullptr) {
        if (startCode(bus->d_start) == 2) d_out.putInt(bus->d_start);
        if (stepCode(bus->d_step) == 0) d_out.putInt(bus->d_step);
    }
    if (!writeProps(port->d_propList)) return false;
    if (port->isGroup()) {
        const auto *group = static_cast<const nyxPortBundle *>(port);
        d_out.putInt(kEnd);
        d_out.putInt(group->size());
        for (int32_t i = 0; i < group->size(); ++i) {
            if (!writePort(group->member(i), depth + 1)) return false;
        }
    }
    return d_out.ok();
}

// A record port: a port record without net id and properties.
bool ViewWriter::writeRecordPort(const nyxFootPrintPort *port, int depth) {
    if (depth > kMaxDepth) return fail();
    int32_t arg;
    if (port->d_code == nyxCodePortScalar) {
        arg = kScalar | (port->d_dirOrStart & 3) << 2;
    } else if (port->d_code == nyxCodePortBus) {
        arg = kBus | startCode(port->d_dirOrStart) << 2 | stepCode(port->d_step) << 4;
    } else if (port->d_code == nyxCodePortBundle) {
        arg = kBundle;
    } else {
        return fail();  // a record left incomplete
    }
    d_out.putInt(recordWord(kPort, arg));
    d_out.putString(port->name());
    if (port->d_code == nyxCodePortBus) {
        if (startCode(port->d_dirOrStart) == 2) d_out.putInt(port->d_dirOrStart);
        if (stepCode(port->d_step) == 0) d_out.putInt(port->d_step);
    }
    if (port->isGroup()) {
        d_out.putInt(kEnd);
        d_out.putInt(port->d_memberCount);
        for (int32_t i = 0; i < port->d_memberCount; ++i) {
            if (!writeRecordPort(&port->d_members[i], depth + 1)) return false;
        }
    }
    return d_out.ok();
}

// The describer record, written just before its first instance; it gets the next record id.
bool ViewWriter::writeDescriber(nyxFootPrint *record) {
    if (d_records > 0xFFFF) return fail();
    record->d_writeId = d_records++;
    d_out.putInt(recordWord(kDescriber, 0));
    d_out.putString(record->libName());
    d_out.putString(record->cellName());
    d_out.putString(record->viewName());
    d_out.putInt(record->d_version);
    d_out.putInt(record->d_portCount);
    for (int32_t i = 0; i < record->d_portCount; ++i) {
        if (!writeRecordPort(&record->d_ports[i], 0)) return false;
    }
    return d_out.ok();
}

// A port instance: a scalar carries the id of its net (short form for ids up to 255), a group
// its members after its properties.
bool ViewWriter::writePortInst(const uintptr_t *word, int depth) {
    if (depth > kMaxDepth) return fail();
    const uintptr_t w = *word;
    const bool group = (w & nyxPortInst::kGroupBit) != 0;
    if (!group) {
        const nyxNetScalar *net = nyxPortInst::net(word);
        const int32_t id = net != nullptr ? d_netIds.findScalar(net) : -1;
        if (id >= 0 && id <= 255) {
            d_out.putInt(id << 5 | 17);
        } else {
            d_out.putInt(recordWord(kPortInst, 0));
            d_out.putInt(id);
        }
        // Only scalars marked as having properties are looked up in the view's table.
        if ((w & nyxPortInst::kPropsBit) != 0 && !writeProps(nyxPortInst::props(word))) return false;
        return d_out.ok();
    }
    d_out.putInt(recordWord(kPortInst, 0));
    if (!writeProps(nyxPortInst::props(word))) return false;
    const int32_t n = nyxPortInst::size(word);
    d_out.putInt(kEnd);
    d_out.putInt(n);
    for (int32_t i = 0; i < n; ++i) {
        const uintptr_t *m = nyxPortInst::member(word, i);
        if (m == nullptr || !writePortInst(m, depth + 1)) return fail();
    }
    return d_out.ok();
}

bool ViewWriter::writeInst(nyxInst *inst) {
    nyxFootPrint *record = inst->footPrint();
    if (record->d_writeId < 0 && !writeDescriber(record)) return false;
    const int32_t id = record->d_writeId;
    d_out.putInt(recordWord(kInstance, id <= 15 ? (id << 1 | 1) : id << 1));
    d_out.putString(inst->name());
    if (!writeProps(inst->d_propList)) return false;
    const int32_t n = record->d_portCount;
    // Instances of fewer than 243 ports keep all their words in their own slot.
    if (n < nyxInst::kOwnBlockSlots) {
        const uintptr_t *words = inst->words();
        for (int32_t i = 0; i < n; ++i) {
            if (!writePortInst(&words[i], 0)) return false;
        }
    } else {
        for (int32_t i = 0; i < n; ++i) {
            if (!writePortInst(inst->slot(i), 0)) return false;
        }
    }
    return d_out.ok();
}

// Describer record ids live only while one file is written.
struct RecordIdReset {
    nyxNetlistView *view;
    explicit RecordIdReset(nyxNetlistView *v) : view(v) { reset(); }
    ~RecordIdReset() { reset(); }
    void reset() {
        nyxDynArray &records = view->describers();
        for (int32_t i = 0; i < records.nitems(); ++i) static_cast<nyxFootPrint *>(records[i])->d_writeId = -1;
    }
};

bool ViewWriter::run(cfidrErrorT *err) {
    RecordIdReset records(d_view);
    const unsigned char lead = ' ';
    d_out.putRaw(&lead, 1);
    d_out.put("%d%d%d%s%s%d", kMarker, kVersion, kKindNetlist, d_view->nameObj(),
              nyxNetlistView::getViewType(d_view), d_view->d_version);
    const uint64_t patchAt = d_out.offset();
    const unsigned char zeros[4] = {0, 0, 0, 0};
    d_out.putRaw(zeros, sizeof zeros);

    bool ok = writeProps(d_view->d_propList);
    // Top-level nets (members are written inside their groups), then top-level ports.
    if (ok) {
        cfidrErrorT local = 0;
        nyxIter *it = nyxNet::viewNets(d_view, cfidrTopLevelIterMode, &local);
        if (it == nullptr) return *err = cfidrErrInternal, false;
        for (nyxObjRef r = it->ops->next(it, &local); ok && r.obj != nullptr;
             r = it->ops->next(it, &local)) {
            ok = writeNet(r.obj, 0);
        }
        it->ops->quit(it);
    }
    for (int32_t i = 0; ok && i < d_view->ports().nitems(); ++i) {
        ok = writePort(static_cast<const nyxPort *>(d_view->ports()[i]), 0);
    }
    // Instances in iteration order, each record just before its first instance.
    nyxInstCursor cursor;
    for (nyxInst *inst = ok ? nyxInstance::next(d_view, cursor) : nullptr; ok && inst != nullptr;
         inst = nyxInstance::next(d_view, cursor)) {
        ok = writeInst(inst);
    }
    d_out.putInt(kEnd);
    const uint64_t trailer = d_out.offset();
    d_out.putInt(d_netIds.size());
    ok = ok && (d_props.writeDictionary() || fail());
    d_out.putInt(kEnd);
    if (trailer > UINT32_MAX) ok = false;
    d_out.patch32(patchAt, static_cast<uint32_t>(trailer));
    d_out.putInt(kClosingMark);
    if (!ok || !d_ok || !d_out.ok()) return *err = cfidrErrInternal, false;
    return true;
}

} // namespace

bool nyxViewFile::ensureCellDirectory(nyxCell *cell) {
    const char *libPath = cell->d_lib->pathnameObj();
    const char *cellPath = cell->pathnameObj();
    if (libPath == nullptr || cellPath == nullptr) return false;
    if (!nyxFileIO::isDirectory(libPath) && !nyxFileIO::makeDirectory(libPath)) return false;
    return nyxFileIO::isDirectory(cellPath) || nyxFileIO::makeDirectory(cellPath);
}

namespace nyxViewIO {

bool encode(nyxNetlistView *view, nyxTagSink &sink, cfidrErrorT *err) {
    nyxTagWriter out(sink);
    ViewWriter writer(view, out);
    return writer.run(err);
}

void write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    auto *view = static_cast<nyxNetlistView *>(obj);
    if (path == nullptr || !nyxViewFile::ensureCellDirectory(view->owner())) return (void)(*err = cfidrErrInternal);
    const std::string file = std::string(path) + "." + nyxDMTypes::row(obj->d_typeIndex).ext;
    cfidrErrorT local = 0;
    const bool saved = nyxFileIO::saveFile(file, [&](nyxFileIO::Writer &w) {
        nyxFileSink sink(w);
        return encode(view, sink, &local);
    });
    if (!saved) return (void)(*err = local != 0 ? local : cfidrErrInternal);
    nyxNetlistView::viewNowClean(view);
}

} // namespace nyxViewIO
