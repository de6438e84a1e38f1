// The view reader: rebuilds a netlist view from its file (layout in viewfile.h) through the
// ordinary create functions, treating every byte as hostile.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "dm/netlist/netlist.h"
#include "io/viewreader.h"
#include "utils/fileio.h"

namespace nyxViewFile {

void *scratchAlloc(void *context, size_t bytes) {
    auto *buffer = static_cast<std::string *>(context);
    buffer->resize(bytes);
    return buffer->data();
}

bool ViewReader::readName(const char *&name, std::string *buffer, bool storedView) {
    std::string *into = buffer != nullptr ? buffer : &d_scratch;
    char *text = nullptr;
    size_t length = 0;
    // Most names are short: they are copied straight out of the window.
    if (into->size() < 16) into->resize(16);
    const int shortLength = d_in.getShortString(into->data());
    if (shortLength >= 0) {
        text = into->data();
        length = static_cast<size_t>(shortLength);
    } else if (d_in.getString(text, scratchAlloc, into, &length) != nyxTagReader::kRead) {
        if (d_in.outOfMemory()) return failed(cfidrErrInternal);
        return corrupt();
    }
    if (storedView) {
        // The name rule with tab and newline allowed: non-empty 7-bit text, no other control
        // character.
        bool valid = text[0] != '\0';
        for (const char *c = text; valid && *c != '\0'; ++c) {
            const unsigned char u = static_cast<unsigned char>(*c);
            valid = u < 0x80 && (u >= 0x20 || u == '\t' || u == '\n') && u != 0x7F;
        }
        if (!valid) return corrupt();
    } else if (!nyxDMUtil::validName(std::string_view(text, length)) && !nyxNetlistView::validString(text)) {
        // The stored length is checked first; a NUL inside the text ends the name there, as the
        // name rule reads it.
        return corrupt();
    }
    name = text;
    return true;
}

bool ViewReader::readWord(int32_t &type, int32_t &arg) {
    int32_t w = 0;
    if (!readInt(w)) return false;
    type = w & 15;
    arg = w >> 4;
    return true;
}

bool ViewReader::readProps(int32_t count, PropOwner owner, int depth) {
    if (depth > kMaxDepth || count < 0 || static_cast<size_t>(count) > d_in.size() - d_in.offset()) return corrupt();
    for (int32_t i = 0; i < count; ++i) {
        int32_t word = 0;
        if (!readInt(word)) return false;
        const bool shortForm = (word & 1) != 0;
        const uint32_t id = shortForm ? (word >> 1) & 15 : (word >> 1) & 0xFFFF;
        const bool flag = (word & (shortForm ? 1 << 5 : 1 << 17)) != 0;
        const bool nested = (word & (shortForm ? 1 << 6 : 1 << 18)) != 0;
        if (id >= d_names.size() || d_names[id] == nullptr) return corrupt();
        const nyxPropNameTableBucket *entry = d_names[id];
        cfidrErrorT e = 0;
        nyxObjRef ref;
        if (owner.onProp) {
            ref = nyxPropCreateOnProp(static_cast<nyxPropList *>(owner.obj), owner.index, entry->name, &e);
        } else if (owner.code == nyxCodeNetlistView) {
            // The view's own list: its class row's creation would load the view being read.
            ref = nyxNetlistView::buildProp(d_view, entry->name);
        } else {
            // The rows of the objects inside a view never load it.
            const nyxClassOps *ops = nyxClasses::row(owner.code);
            if (ops == nullptr || ops->createProp == nullptr) return failed(cfidrErrInternal);
            ref = ops->createProp(owner.obj, 0, entry->name, &e);
        }
        if (e != 0 || ref.obj == nullptr) return failed(cfidrErrInternal);
        auto *list = static_cast<nyxPropList *>(ref.obj);
        const uint32_t index = ref.member;
        switch (entry->type) {
        case nyxPropNone: break;
        case nyxPropBoolean: nyxPropSetBoolean(list, index, flag ? 1 : 0, &e); break;
        case nyxPropInt: {
            int32_t v = 0;
            if (!flag && !readInt(v)) return false;
            nyxPropSetInt(list, index, v, &e);
            break;
        }
        case nyxPropFloat: {
            double v = 0;
            if (!flag && d_in.getDouble(v) != nyxTagReader::kRead) return corrupt();
            nyxPropSetFloat(list, index, static_cast<float>(v), &e);
            break;
        }
        default: {
            const char *text = "";
            if (!flag) {
                char *t = nullptr;
                if (d_in.getString(t, scratchAlloc, &d_scratch) != nyxTagReader::kRead) {
                    return d_in.outOfMemory() ? failed(cfidrErrInternal) : corrupt();
                }
                text = t;
            }
            switch (entry->type) {
            case nyxPropDeleted: setDeletedValue(list, index, &e); break;
            case nyxPropTriplet: setTripletValue(list, index, text, &e); break;
            case nyxPropCaseTriplet: setCasetripletValue(list, index, text, &e); break;
            case nyxPropExpression: nyxPropSetExpression(list, index, text, &e); break;
            default: nyxPropSetString(list, index, text, &e); break;
            }
        }
        }
        if (e != 0) return failed(cfidrErrInternal);
        if (nested) {
            int32_t type = 0, n = 0;
            if (!readWord(type, n)) return false;
            if (type != kPropList) return corrupt();
            if (!readProps(n, {list, nyxCodeProp, true, index}, depth + 1)) return false;
        }
    }
    return true;
}

bool ViewReader::readListsFrom(int32_t w, PropOwner owner, void *net) {
    for (bool first = true;; first = false) {
        if (!first && !readInt(w)) return false;
        if ((w & 15) == kPropList) {
            if (!readProps(w >> 4, owner, 0)) return false;
        } else if ((w & 15) == kNetAlias && net != nullptr) {
            if (!readAlias(w >> 4, net)) return false;
        } else {
            // The caller's record: kept for its next read.
            d_ahead = w;
            d_hasAhead = true;
            return true;
        }
    }
}

bool ViewReader::readAlias(int32_t arg, void *net) {
    const char *name = nullptr;
    if (!readName(name)) return false;
    nyxNetAlias *alias = nyxNet::buildAlias(net, name, (arg & 1) != 0);
    if (alias == nullptr) return failed(cfidrErrInternal);
    return readTrailingLists({alias, nyxCodeNetAlias, false, 0}, nullptr);
}

bool ViewReader::readBusFields(int32_t startBits, int32_t stepBits, int32_t &start, int32_t &step) {
    switch (startBits) {
    case 0: start = 0; break;
    case 1: start = 1; break;
    case 2: if (!readInt(start)) return false; break;
    default: return corrupt();
    }
    switch (stepBits) {
    case 1: step = 1; break;
    case 2: step = 2; break;
    case 3: step = -1; break;
    default: if (!readInt(step)) return false; break;
    }
    return step != 0 || corrupt();
}

bool ViewReader::readNet(int32_t arg, void *&net, int depth) {
    const int32_t kind = (arg >> 1) & 3;
    static constexpr int32_t kCodes[4] = {0, nyxCodeNetScalar, nyxCodeNetBundle, nyxCodeNetBus};
    if (kind == 0 || depth > kMaxDepth) return corrupt();
    if ((arg & 1) != 0) {
        // A reference to a net written before, of the kind the record names, and not a group
        // that is still being read (it would contain itself).
        int32_t id = 0;
        if (!readInt(id)) return false;
        if (id < 0 || static_cast<size_t>(id) >= d_nets.size()) return corrupt();
        net = d_nets[static_cast<size_t>(id)];
        if (nyxNet::code(net) != kCodes[kind]) return corrupt();
        for (void *open : d_openGroups) {
            if (open == net) return corrupt();
        }
        return true;
    }
    const char *name = nullptr;
    if (!readName(name)) return false;
    int32_t start = 0, step = 1;
    if (kind == kBus && !readBusFields((arg >> 3) & 3, (arg >> 5) & 3, start, step)) return false;
    if (static_cast<int32_t>(d_nets.size()) >= d_netCount) return corrupt();
    // readName gave a name; readBusFields refused a step of 0.
    net = nyxNet::build(d_view, name, kCodes[kind], start, step, kind == kScalar && (arg & 8) != 0);
    if (net == nullptr) return failed(cfidrErrInternal);
    d_nets.push_back(net);
    if (!readTrailingLists({net, kCodes[kind], false, 0}, net)) return false;
    // Aliases were written newest first and each new one went to the head: turn the list
    // around so that the order is the saved one.
    nyxNetAlias *reversed = nullptr;
    for (auto *a = static_cast<nyxNetAlias *>(d_view->aliasHead(net)); a != nullptr;) {
        nyxNetAlias *next = a->d_next;
        a->d_next = reversed;
        reversed = a;
        a = next;
    }
    if (reversed != nullptr && !d_view->setAliasHead(net, reversed)) {
        return failed(cfidrErrInternal);
    }
    if (kind == kScalar) return true;

    int32_t mark = 0, count = 0;
    if (!readInt(mark) || !readInt(count)) return false;
    if (mark != kEnd || count < 0 || static_cast<size_t>(count) > d_in.size() - d_in.offset()) return corrupt();
    d_openGroups.push_back(net);
    for (int32_t i = 0; i < count; ++i) {
        int32_t type = 0, memberArg = 0;
        void *member = nullptr;
        if (!readWord(type, memberArg)) return false;
        if (type != kNet) return corrupt();
        if (!readNet(memberArg, member, depth + 1)) return false;
        // readNet refused a group that is still open and any depth beyond kMaxDepth.
        if (!nyxNet::buildMember(static_cast<nyxNetBundle *>(net), member)) {
            return failed(cfidrErrInternal);
        }
    }
    d_openGroups.pop_back();
    return true;
}

bool ViewReader::readPort(int32_t arg, nyxPortBundle *group, int depth) {
    const int32_t kind = arg & 3;
    if (kind == 0 || depth > kMaxDepth) return corrupt();
    const char *name = nullptr;
    if (!readName(name)) return false;
    // The builder takes what was checked here: a name, a direction of two bits, a bus step other
    // than 0, and a depth within kMaxDepth (the port nesting limit).
    nyxPort *port = nullptr;
    if (kind == kScalar) {
        int32_t id = 0;
        if (!readInt(id)) return false;
        if (id < -1 || id >= static_cast<int32_t>(d_nets.size())) return corrupt();
        void *net = id >= 0 ? d_nets[static_cast<size_t>(id)] : nullptr;
        if (net != nullptr && nyxNet::code(net) != nyxCodeNetScalar) return corrupt();
        port = nyxPort::build(d_view, group, name, nyxCodePortScalar, (arg >> 2) & 3, 0);
        if (port == nullptr) return failed(cfidrErrInternal);
        if (net != nullptr && !nyxNet::buildAttach(static_cast<nyxNetScalar *>(net), static_cast<nyxPortScalar *>(port))) {
            return failed(cfidrErrInternal);
        }
    } else if (kind == kBus) {
        int32_t start = 0, step = 1;
        if (!readBusFields((arg >> 2) & 3, (arg >> 4) & 3, start, step)) return false;
        port = nyxPort::build(d_view, group, name, nyxCodePortBus, start, step);
    } else {
        port = nyxPort::build(d_view, group, name, nyxCodePortBundle, 0, 0);
    }
    if (port == nullptr) return failed(cfidrErrInternal);
    if (!readTrailingLists({port, port->d_code, false, 0}, nullptr)) return false;
    if (kind == kScalar) return true;
    int32_t mark = 0, count = 0;
    if (!readInt(mark) || !readInt(count)) return false;
    if (mark != kEnd || count < 0 || static_cast<size_t>(count) > d_in.size() - d_in.offset()) return corrupt();
    for (int32_t i = 0; i < count; ++i) {
        int32_t type = 0, memberArg = 0;
        if (!readWord(type, memberArg)) return false;
        if (type != kPort) return corrupt();
        if (!readPort(memberArg, static_cast<nyxPortBundle *>(port), depth + 1)) return false;
    }
    return true;
}

bool ViewReader::readTrailer() {
    if (!readInt(d_netCount)) return false;
    // Every net takes at least two bytes of the body.
    if (d_netCount < 0 || static_cast<size_t>(d_netCount) > d_in.size()) return corrupt();
    nyxPropNameTable *table = nyxPropNameTable::get();
    if (table == nullptr) return failed(cfidrErrInternal);
    for (;;) {
        int32_t type = 0, arg = 0;
        if (!readWord(type, arg)) return false;
        if (type == kEnd) break;
        if (type != kDictionary) continue;  // unknown records are skipped
        int32_t count = 0;
        if (!readInt(count)) return false;
        if (count < 0 || static_cast<size_t>(count) > d_in.size() - d_in.offset()) return corrupt();
        for (int32_t i = 0; i < count; ++i) {
            int32_t id = 0, valueType = 0;
            const char *name = nullptr;
            if (!readInt(id) || !readInt(valueType) || !readName(name)) return false;
            if (id < 1 || id > 0xFFFF) return corrupt();
            if (valueType < 0 || valueType > nyxPropExpression || valueType == 6) return corrupt();
            nyxPropNameTableBucket *entry = table->add_name_type(name, static_cast<int16_t>(valueType));
            if (entry == nullptr) return failed(cfidrErrInternal);
            if (d_names.size() <= static_cast<size_t>(id)) d_names.resize(static_cast<size_t>(id) + 1, nullptr);
            d_names[static_cast<size_t>(id)] = entry;
        }
    }
    // The closing mark: without it the file was cut short.
    int32_t closing = 0;
    if (!readInt(closing) || closing != kClosingMark) return corrupt();
    return true;
}

bool ViewReader::readBody() {
    for (;;) {
        int32_t type = 0, arg = 0;
        if (!readWord(type, arg)) return false;
        void *net = nullptr;
        switch (type) {
        case kEnd: return true;
        case kPropList:
            if (!readProps(arg, {d_view, nyxCodeNetlistView, false, 0}, 0)) return false;
            break;
        case kNet:
            // Only first appearances stand at the top level.
            if ((arg & 1) != 0) return corrupt();
            if (!readNet(arg, net, 0)) return false;
            break;
        case kPort:
            if (!readPort(arg, nullptr, 0)) return false;
            break;
        case kDescriber:
            if (!readDescriber(arg)) return false;
            break;
        case kInstance:
            if (!readInst(arg)) return false;
            break;
        case kPortInst:
            // Port instances stand only inside their instance.
            return corrupt();
        default:
            break;  // skipped
        }
    }
}

cfidrErrorT ViewReader::run() {
    int32_t marker = 0, version = 0, kind = 0;
    if (!d_in.skipByte() || d_in.get("%d%d%d", &marker, &version, &kind) != 3) {
        return cfidrErrInternal;
    }
    if (marker != kMarker || version > kVersion || kind != kKindNetlist) return cfidrErrInternal;
    const char *text = nullptr;
    int32_t viewVersion = 0;
    uint32_t trailer = 0;
    // The view keeps the name under which its cell lists it; the stored type is taken.
    bool ok = readName(text) && readName(text);
    if (ok && !nyxNetlistView::changeViewType(d_view, text)) ok = failed(cfidrErrInternal);
    ok = ok && readInt(viewVersion) && (d_in.getRaw32(trailer) || corrupt());
    const size_t body = d_in.offset();
    if (ok && (trailer < body || !d_in.seek(trailer))) ok = corrupt();
    ok = ok && readTrailer() && d_in.seek(body);
    d_hasAhead = false;
    ok = ok && readBody();
    if (!ok) {
        if (d_err == 0) {
            std::fputs("I/O Error while reading view data.\n", stderr);
            d_err = cfidrErrInternal;
        }
        return d_err;
    }
    dropUnusedRecords();
    nyxNetlistView::readFinished(d_view, viewVersion);
    return 0;
}

} // namespace nyxViewFile

namespace nyxViewIO {

using nyxViewFile::ViewReader;

void decode(nyxNetlistView *view, const void *data, size_t size, cfidrErrorT *err) {
    ViewReader reader(view, data, size);
    const cfidrErrorT code = reader.run();
    if (code == 0) return;
    // The view was filled here, not through a read of the data model: empty it as one would be.
    view->emptyStored();
    *err = code;
}

// Reports the error only: the data model marks the view and empties it after a failed read.
void read(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    auto *view = static_cast<nyxNetlistView *>(obj);
    nyxFileIO::Reader file;
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    // Missing, unreadable, or not a regular file (a FIFO is refused without waiting on it).
    if (!file.open(std::string(path) + "." + nyxDMTypes::row(obj->d_typeIndex).ext)) {
        return (void)(*err = cfidrErrNotFound);
    }
    // The dictionary offset is 32 bits: no file the writer makes is larger.
    if (file.size() > UINT32_MAX) return (void)(*err = cfidrErrInternal);
    // The header is checked first, and the records are read as they are decoded.
    ViewReader reader(view, file);
    const cfidrErrorT code = reader.run();
    if (code != 0) *err = code;
}

} // namespace nyxViewIO
