// The encapsulated view file: its writer, its reader and its place in the type table.
//
//   item              encoding               content
//   lead byte         raw 0x20               skipped unread
//   marker            integer                0x5A4C3933
//   format version    integer                0 (a reader refuses more)
//   kind              integer                69 ('E')
//   view name         string                 the view's name (the cell's listing keeps its own)
//   view type         string
//   key               string
//   then, for a view without properties:
//     end of list     integer 15
//   or, for a view with properties:
//     property list   record 0               as in the view file (viewfile.h): n property words,
//                                            each with its value and nested record 0
//     dictionary      record 12              m, then m triples (name id, value type, name): the
//                                            (name, type) pairs the list's name ids stand for
//   closing mark      integer 81 ('Q')       the last value of the file
//
// The dictionary follows the list it explains, so the reader finds it first: every value of the
// encoding says its own length, so the values after the list's record word are stepped over
// once, and the dictionary is the one tail "12, m, m triples, 81" of the file (the smallest m
// that fits: for any smaller m the value taken for the count is a name). The list is then
// decoded with the dictionary's types and must end exactly where the dictionary starts.
//
// The file is hostile input: every read is bounded, counts are bounded by the bytes left, nesting
// by nyxPropMaxNesting, and a file larger than kMaxFile is refused.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/io.h"
#include "io/propwrite.h"
#include "io/viewfile.h"
#include "utils/fileio.h"

namespace {

using namespace nyxViewFile;

// The largest file: the writer never writes a larger one (the save fails and leaves the file as
// it was), and the reader refuses one as damaged.
constexpr size_t kMaxFile = size_t{64} << 20;
// A dictionary names at most 0xFFFF ids: with its record word, count and closing mark it is
// among the last kTailValues values of a file.
constexpr size_t kTailValues = 3 * size_t{0xFFFF} + 3;

void *scratchAlloc(void *context, size_t bytes) {
    auto *buffer = static_cast<std::string *>(context);
    buffer->resize(bytes);
    return buffer->data();
}

// --- Writer -----------------------------------------------------------------------------------

class EncViewWriter {
public:
    explicit EncViewWriter(nyxTagWriter &out) : d_out(out), d_props(out) {}

    bool run(nyxEncapsulatedView *view) {
        const unsigned char lead = ' ';
        d_out.putRaw(&lead, 1);
        d_out.put("%d%d%d%s%s%s", kMarker, kVersion, kKindEncapsulated, view->nameObj(),
                  nyxEncapsulatedView::getViewType(view), nyxEncapsulatedView::getKey(view));
        if (!PropWriter::hasLive(view->d_propList)) {
            d_out.putInt(kEnd);
        } else if (!d_props.writeList(view->d_propList) || !d_props.writeDictionary()) {
            return false;
        }
        d_out.putInt(kClosingMark);
        return d_out.ok() && d_out.offset() <= kMaxFile;
    }

private:
    nyxTagWriter &d_out;
    PropWriter d_props;
};

// --- Reader -----------------------------------------------------------------------------------

// The length of the value at data[pos] (pos < size), or 0 when no value of the encoding starts
// there or it runs past the end.
size_t valueLength(const unsigned char *data, size_t size, size_t pos) {
    const unsigned tag = data[pos];
    const size_t left = size - pos;
    size_t n = 0;
    switch (tag >> 4) {
    case 0x1: n = (tag & 15) <= 4 ? 1 + (tag & 15) : 0; break;
    case 0x2: n = tag == 0x28 ? 9 : 0; break;
    case 0xB: n = tag == 0xB4 ? 5 : 0; break;
    case 0x3:
        if (tag != 0x3F) n = 1 + (tag & 15);
        else if (left >= 3) n = 3 + (size_t{data[pos + 1]} << 8 | data[pos + 2]);
        break;
    case 0x5:
        if (tag == 0x5F && left >= 5) {
            n = 5 + (size_t{data[pos + 1]} << 24 | size_t{data[pos + 2]} << 16 |
                     size_t{data[pos + 3]} << 8 | data[pos + 4]);
        }
        break;
    case 0x7: n = 1; break;
    default: break;
    }
    return n <= left ? n : 0;
}

// The integer at data[pos], when an integer stands there.
bool intAt(const unsigned char *data, size_t size, size_t pos, int32_t &value) {
    const size_t n = pos < size ? valueLength(data, size, pos) : 0;
    if (n == 0 || data[pos] >> 4 != 1) return false;
    uint32_t v = n > 1 && (data[pos + 1] & 0x80) != 0 ? UINT32_MAX : 0;
    for (size_t i = 1; i < n; ++i) v = v << 8 | data[pos + i];
    value = static_cast<int32_t>(v);
    return true;
}

class EncViewReader {
public:
    EncViewReader(nyxEncapsulatedView *view, const std::string &data)
        : d_view(view), d_bytes(reinterpret_cast<const unsigned char *>(data.data())),
          d_size(data.size()), d_in(data.data(), data.size()) {}

    cfidrErrorT run() {
        int32_t marker = 0, version = 0, kind = 0;
        if (!d_in.skipByte() || d_in.get("%d%d%d", &marker, &version, &kind) != 3) return cfidrErrInternal;
        if (marker != kMarker || version > kVersion || kind != kKindEncapsulated) return cfidrErrInternal;
        std::string name, type, key;
        bool ok = readText(name) && readText(type) && readText(key) && readBody();
        if (ok && !nyxEncapsulatedView::setFields(d_view, type.c_str(), key.c_str())) ok = failed(cfidrErrInternal);
        if (!ok) {
            if (d_err == 0) {
                std::fputs("I/O Error while reading view data.\n", stderr);
                d_err = cfidrErrInternal;
            }
            return d_err;
        }
        nyxEncapsulatedView::readFinished(d_view);
        return 0;
    }

private:
    bool corrupt() { return NYX_IO_CORRUPT(d_in), false; }
    bool failed(cfidrErrorT code) { return d_err = code, false; }
    bool readInt(int32_t &v) { return d_in.getInt(v) == nyxTagReader::kRead || corrupt(); }

    // A string without NUL bytes (the texts of the file are C strings in memory).
    bool readText(std::string &out) {
        char *text = nullptr;
        size_t length = 0;
        if (d_in.getString(text, scratchAlloc, &out, &length) != nyxTagReader::kRead) {
            return d_in.outOfMemory() ? failed(cfidrErrInternal) : corrupt();
        }
        out.resize(length);
        return std::strlen(out.c_str()) == length || corrupt();
    }

    // After the key: 15 and the closing mark, or the property list and the dictionary.
    bool readBody() {
        int32_t word = 0;
        if (d_in.getInt(word) != nyxTagReader::kRead) {
            // The end of an empty list written as a small tag is the same end.
            if (d_in.getTag(word) != nyxTagReader::kRead || word != kEnd) return corrupt();
        } else if (word != kEnd && (word & 15) != kPropList) {
            return corrupt();
        }
        if (word == kEnd) return readClosing();
        const size_t list = d_in.offset();
        size_t dictionary = 0;
        if (!findDictionary(list, dictionary) || !d_in.seek(dictionary) || !readDictionary()) return false;
        if (!readClosing() || !d_in.seek(list)) return false;
        if (!readProps(word >> 4, nullptr, 0, 0)) return false;
        return d_in.offset() == dictionary || corrupt();
    }

    bool readClosing() {
        int32_t closing = 0;
        if (!readInt(closing) || closing != kClosingMark) return corrupt();
        return d_in.atEnd() || corrupt();
    }

    // The offset of the dictionary record: the values from `from` on are stepped over once
    // (keeping where the last kTailValues start), and the tail "12, m, m triples, 81" with the
    // smallest fitting m is taken.
    bool findDictionary(size_t from, size_t &at) {
        // Every value takes a byte at least.
        std::vector<uint32_t> tail(std::min(kTailValues, d_size - from));
        const size_t ring = tail.size();
        size_t count = 0;
        for (size_t pos = from; pos < d_size; ++count) {
            const size_t n = valueLength(d_bytes, d_size, pos);
            if (n == 0) return corrupt();
            tail[count % ring] = static_cast<uint32_t>(pos);
            pos += n;
        }
        const size_t kept = std::min(count, ring);
        // The start of the value k places before the closing mark.
        auto before = [&](size_t k) { return tail[(count - 1 - k) % ring]; };
        int32_t v = 0;
        if (kept < 3 || !intAt(d_bytes, d_size, before(0), v) || v != kClosingMark) return corrupt();
        for (size_t m = 0; 3 * m + 3 <= kept; ++m) {
            int32_t word = 0, entries = 0;
            if (intAt(d_bytes, d_size, before(3 * m + 2), word) && word == recordWord(kDictionary, 0) &&
                intAt(d_bytes, d_size, before(3 * m + 1), entries) && entries >= 0 &&
                static_cast<size_t>(entries) == m) {
                at = before(3 * m + 2);
                return true;
            }
        }
        return corrupt();
    }

    bool readDictionary() {
        int32_t word = 0, count = 0;
        if (!readInt(word) || word != recordWord(kDictionary, 0) || !readInt(count)) return false;
        if (count < 0 || static_cast<size_t>(count) > d_size - d_in.offset()) return corrupt();
        nyxPropNameTable *table = nyxPropNameTable::get();
        if (table == nullptr) return failed(cfidrErrInternal);
        for (int32_t i = 0; i < count; ++i) {
            int32_t id = 0, valueType = 0;
            if (!readInt(id) || !readInt(valueType) || !readText(d_scratch)) return false;
            if (id < 1 || id > 0xFFFF || !nyxDMUtil::validName(d_scratch.c_str())) return corrupt();
            if (valueType < 0 || valueType > nyxPropExpression || valueType == 6) return corrupt();
            nyxPropNameTableBucket *entry = table->add_name_type(d_scratch.c_str(), static_cast<int16_t>(valueType));
            if (entry == nullptr) return failed(cfidrErrInternal);
            if (d_names.size() <= static_cast<size_t>(id)) d_names.resize(static_cast<size_t>(id) + 1, nullptr);
            d_names[static_cast<size_t>(id)] = entry;
        }
        return true;
    }

    // A property list of `count` entries, on the view (list null) or on property (list, index).
    bool readProps(int32_t count, nyxPropList *onList, uint32_t onIndex, int depth) {
        if (depth > nyxPropMaxNesting || count < 0 || static_cast<size_t>(count) > d_size - d_in.offset()) {
            return corrupt();
        }
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
            nyxObjRef ref = onList == nullptr ? nyxEncapsulatedView::buildProp(d_view, entry->name)
                                              : nyxPropCreateOnProp(onList, onIndex, entry->name, &e);
            if (e != 0 || ref.obj == nullptr) return failed(cfidrErrInternal);
            auto *list = static_cast<nyxPropList *>(ref.obj);
            if (!readValue(entry->type, flag, list, ref.member)) return false;
            if (nested) {
                int32_t w = 0;
                if (!readInt(w)) return false;
                if ((w & 15) != kPropList || !readProps(w >> 4, list, ref.member, depth + 1)) return corrupt();
            }
        }
        return true;
    }

    bool readValue(int32_t type, bool flag, nyxPropList *list, uint32_t index) {
        cfidrErrorT e = 0;
        switch (type) {
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
            if (!flag && !readText(d_scratch)) return false;
            const char *text = flag ? "" : d_scratch.c_str();
            switch (type) {
            case nyxPropDeleted: setDeletedValue(list, index, &e); break;
            case nyxPropTriplet: setTripletValue(list, index, text, &e); break;
            case nyxPropCaseTriplet: setCasetripletValue(list, index, text, &e); break;
            case nyxPropExpression: nyxPropSetExpression(list, index, text, &e); break;
            default: nyxPropSetString(list, index, text, &e); break;
            }
        }
        }
        return e == 0 || failed(cfidrErrInternal);
    }

    nyxEncapsulatedView *d_view;
    const unsigned char *d_bytes;
    size_t d_size;
    nyxTagReader d_in;
    cfidrErrorT d_err = 0;
    std::string d_scratch;
    std::vector<nyxPropNameTableBucket *> d_names;
};

} // namespace

namespace nyxEncViewIO {

bool encode(nyxEncapsulatedView *view, nyxTagSink &sink, cfidrErrorT *err) {
    nyxTagWriter out(sink);
    EncViewWriter writer(out);
    if (!writer.run(view)) return *err = cfidrErrInternal, false;
    return true;
}

void decode(nyxEncapsulatedView *view, const std::string &data, cfidrErrorT *err) {
    // No file the writer makes is larger; stored data is taken without argument checks, as a
    // read of the data model takes it.
    if (data.size() > kMaxFile || !nyx::pushExpertMode()) return (void)(*err = cfidrErrInternal);
    EncViewReader reader(view, data);
    const cfidrErrorT code = reader.run();
    if (code != 0) view->emptyStored();
    nyx::popExpertMode();
    if (code != 0) *err = code;
}

void write(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    auto *view = static_cast<nyxEncapsulatedView *>(obj);
    if (path == nullptr || !nyxViewFile::ensureCellDirectory(view->owner())) return (void)(*err = cfidrErrInternal);
    const std::string file = std::string(path) + "." + nyxDMTypes::row(obj->d_typeIndex).ext;
    cfidrErrorT local = 0;
    const bool saved = nyxFileIO::saveFile(file, [&](nyxFileIO::Writer &w) {
        nyxFileSink sink(w);
        return encode(view, sink, &local);
    });
    if (!saved) *err = local != 0 ? local : cfidrErrInternal;
}

// Reports the error only: the data model empties the view and marks it after a failed read.
void read(nyxDMObj *obj, const char *path, cfidrErrorT *err) {
    auto *view = static_cast<nyxEncapsulatedView *>(obj);
    if (path == nullptr) return (void)(*err = cfidrErrInternal);
    const std::string file = std::string(path) + "." + nyxDMTypes::row(obj->d_typeIndex).ext;
    std::string data;
    if (!nyxFileIO::readFile(file, data, kMaxFile)) {
        // Too large to be one of ours is damage; anything else is a file that is not there.
        return (void)(*err = errno == EFBIG ? cfidrErrInternal : cfidrErrNotFound);
    }
    EncViewReader reader(view, data);
    const cfidrErrorT code = reader.run();
    if (code != 0) *err = code;
}

void install() {
    for (int32_t row : {nyxDMTypes::kEncapsulatedView, nyxDMTypes::kEncapsulatedViewOld}) {
        nyxDMTypes::install(row, read, write, nullptr, nullptr);
    }
}

} // namespace nyxEncViewIO
