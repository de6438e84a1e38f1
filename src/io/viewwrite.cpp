// The view writer: a netlist view as records of tagged values (layout in viewfile.h).
#include <unordered_map>
#include <vector>

#include "dm/net.h"
#include "dm/port.h"
#include "dm/view.h"
#include "io/io.h"
#include "io/viewfile.h"
#include "utils/fileio.h"

namespace {

using namespace nyxViewFile;

class ViewWriter {
public:
    ViewWriter(nyxNetlistView *view, nyxTagWriter &out) : d_view(view), d_out(out) {}

    // Writes the whole file; false with the error code in `err`.
    bool run(cfidrErrorT *err);

private:
    bool writeProps(const nyxPropList *list, int depth = 0);
    bool writeNet(void *net, int depth);
    bool writePort(const nyxPort *port, int depth);
    bool writeDictionary();
    bool fail() { return d_ok = false; }

    nyxNetlistView *d_view;
    nyxTagWriter &d_out;
    nyxPropNameTable *d_names = nullptr;
    uint16_t d_lastNameId = 0;
    // Net ids in the order nets are first written.
    std::unordered_map<const void *, int32_t> d_netIds;
    bool d_ok = true;
};

// Write ids of the name table live only while one file is written.
struct WriteIdReset {
    nyxPropNameTable *table;
    explicit WriteIdReset(nyxPropNameTable *t) : table(t) {
        if (table != nullptr) table->set_all_write_ids(0);
    }
    ~WriteIdReset() {
        if (table != nullptr) table->set_all_write_ids(0);
    }
};

bool ViewWriter::writeProps(const nyxPropList *list, int depth) {
    int32_t live = 0;
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        if (nyxPropAt(list, static_cast<uint32_t>(i)) != nullptr) ++live;
    }
    // Lists with no properties are not written at all.
    if (live == 0) return true;
    // The count must fit the record; the reader takes no deeper nesting than this.
    if (live > 0xFFFF || depth > kMaxDepth) return fail();
    d_out.putInt(recordWord(kPropList, live));
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        const nyxProp *p = nyxPropAt(list, static_cast<uint32_t>(i));
        if (p == nullptr) continue;
        nyxPropNameTableBucket *entry = p->d_entry;
        if (entry->writeId == 0) {
            if (d_lastNameId == 0xFFFF) return fail();
            entry->writeId = ++d_lastNameId;
        }
        const int32_t id = entry->writeId;
        const nyxPropList *nested = nyxPropsOnProp(list, static_cast<uint32_t>(i));
        bool hasNested = false;
        for (int32_t k = 0; k < nyxPropListSize(nested) && !hasNested; ++k) {
            hasNested = nyxPropAt(nested, static_cast<uint32_t>(k)) != nullptr;
        }
        bool flag = false;
        const int32_t type = entry->type;
        switch (type) {
        case nyxPropBoolean:
        case nyxPropInt: flag = type == nyxPropBoolean ? p->intValue() != 0 : p->intValue() == 0; break;
        case nyxPropFloat: flag = p->floatValue() == 0.0f; break;
        case nyxPropNone: break;
        default: flag = p->stringValue()[0] == '\0'; break;
        }
        const int32_t word = id <= 15 ? (id << 1 | 1 | (flag ? 1 << 5 : 0) | (hasNested ? 1 << 6 : 0))
                                      : (id << 1 | (flag ? 1 << 17 : 0) | (hasNested ? 1 << 18 : 0));
        d_out.putInt(word);
        if (!flag) {
            if (type == nyxPropInt) d_out.putInt(p->intValue());
            else if (type == nyxPropFloat) d_out.putDouble(p->floatValue());
            else if (nyxPropTypeHasString(type)) d_out.putString(p->stringValue());
        }
        if (hasNested && !writeProps(nested, depth + 1)) return false;
    }
    return d_out.ok();
}

bool ViewWriter::writeNet(void *net, int depth) {
    const int32_t code = nyxNet::code(net);
    const int32_t kind = code == nyxCodeNetScalar ? kScalar : code == nyxCodeNetBundle ? kBundle : kBus;
    auto known = d_netIds.find(net);
    if (known != d_netIds.end()) {
        d_out.putInt(recordWord(kNet, 1 | kind << 1));
        return d_out.putInt(known->second);
    }
    if (depth > kMaxDepth) return fail();
    d_netIds.emplace(net, static_cast<int32_t>(d_netIds.size()));
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
        auto known = net != nullptr ? d_netIds.find(net) : d_netIds.end();
        d_out.putInt(known != d_netIds.end() ? known->second : -1);
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

bool ViewWriter::writeDictionary() {
    std::vector<nyxPropNameTableBucket *> used;
    if (d_names != nullptr && !d_names->get_write_props(used)) return fail();
    d_out.putInt(recordWord(kDictionary, 0));
    d_out.putInt(static_cast<int32_t>(used.size()));
    for (const nyxPropNameTableBucket *entry : used) {
        d_out.putInt(entry->writeId);
        d_out.putInt(entry->type);
        d_out.putString(entry->name);
    }
    return d_out.ok();
}

bool ViewWriter::run(cfidrErrorT *err) {
    d_names = nyxPropNameTable::peek();
    WriteIdReset reset(d_names);
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
        nyxIter *it = nyxNet::viewNets(d_view, 3, &local);
        if (it == nullptr) return *err = 4, false;
        for (nyxObjRef r = nyxNet::iterNext(it, &local); ok && r.obj != nullptr; r = nyxNet::iterNext(it, &local)) {
            ok = writeNet(r.obj, 0);
        }
        nyxNet::iterQuit(it);
    }
    for (int32_t i = 0; ok && i < d_view->ports().nitems(); ++i) {
        ok = writePort(static_cast<const nyxPort *>(d_view->ports()[i]), 0);
    }
    // Instances and their describer records come here once views hold them.
    d_out.putInt(kEnd);
    const uint64_t trailer = d_out.offset();
    d_out.putInt(static_cast<int32_t>(d_netIds.size()));
    ok = ok && writeDictionary();
    d_out.putInt(kEnd);
    if (trailer > UINT32_MAX) ok = false;
    d_out.patch32(patchAt, static_cast<uint32_t>(trailer));
    d_out.putInt(kClosingMark);
    if (!ok || !d_ok || !d_out.ok()) return *err = 4, false;
    return true;
}

// The view's directory: the library's and the cell's directories are made when missing.
bool ensureCellDirectory(nyxNetlistView *view) {
    nyxCell *cell = view->owner();
    const char *libPath = cell->d_lib->pathnameObj();
    const char *cellPath = cell->pathnameObj();
    if (libPath == nullptr || cellPath == nullptr) return false;
    if (!nyxFileIO::isDirectory(libPath) && !nyxFileIO::makeDirectory(libPath)) return false;
    return nyxFileIO::isDirectory(cellPath) || nyxFileIO::makeDirectory(cellPath);
}

} // namespace

namespace nyxViewIO {

bool encode(nyxNetlistView *view, nyxTagSink &sink, cfidrErrorT *err) {
    nyxTagWriter out(sink);
    ViewWriter writer(view, out);
    return writer.run(err);
}

void write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    auto *view = static_cast<nyxNetlistView *>(obj);
    if (path == nullptr || !ensureCellDirectory(view)) return (void)(*err = 4);
    const std::string file = std::string(path) + "." + nyxDMTypes::row(obj->d_typeIndex).ext;
    cfidrErrorT local = 0;
    const bool saved = nyxFileIO::saveFile(file, [&](nyxFileIO::Writer &w) {
        nyxFileSink sink(w);
        return encode(view, sink, &local);
    });
    if (!saved) return (void)(*err = local != 0 ? local : 4);
    nyxNetlistView::viewNowClean(view);
}

} // namespace nyxViewIO
