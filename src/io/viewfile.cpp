// The view file in the type table: read, write and the header probe of the older file form.
#include "dm/netlist/netlist.h"
#include "io/io.h"
#include "io/viewfile.h"
#include "utils/fileio.h"

namespace nyxViewIO {

namespace {

bool namesKind(int32_t marker, int32_t version, int32_t kind, int32_t code) {
    if (marker != nyxViewFile::kMarker || version > nyxViewFile::kVersion) return false;
    return kind == (code == nyxCodeNetlistView ? nyxViewFile::kKindNetlist : nyxViewFile::kKindEncapsulated);
}

} // namespace

bool headerNames(const char *path, int32_t code) {
    int32_t marker = 0, version = 0, kind = 0;
    return nyxIOReadHeader(path, marker, version, kind) && namesKind(marker, version, kind, code);
}

bool headerBytesName(const void *data, size_t size, int32_t code) {
    int32_t marker = 0, version = 0, kind = 0;
    return nyxIOParseHeader(data, size, marker, version, kind) && namesKind(marker, version, kind, code);
}

} // namespace nyxViewIO

// The rows keep their other operations. Both forms of netlist view files are read and written in
// the same layout, each under its own extension.
void nyxViewIO::install() {
    for (int32_t row : {nyxDMTypes::kNetlistView, nyxDMTypes::kNetlistViewOld}) {
        nyxDMTypes::install(row, nyxViewIO::read, nyxViewIO::write, nullptr, nullptr,
                            row == nyxDMTypes::kNetlistViewOld ? nyxViewIO::headerNames : nullptr);
    }
    nyxDMTypes::install(nyxDMTypes::kEncapsulatedViewOld, nullptr, nullptr, nullptr, nullptr,
                        nyxViewIO::headerNames);
}

namespace nyxViewIO {

namespace {

void *stringAlloc(void *context, size_t bytes) {
    auto *buffer = static_cast<std::string *>(context);
    buffer->resize(bytes);
    return buffer->data();
}

} // namespace

bool readViewType(const char *path, std::string &type) {
    if (path == nullptr) return false;
    nyxFileIO::Reader file;
    if (!file.open(path)) return false;
    // A small window: the header is a few dozen bytes unless the names are long.
    nyxTagReader in(file, 512);
    int32_t marker = 0, version = 0, kind = 0;
    if (!in.skipByte() || in.getInt(marker) != nyxTagReader::kRead ||
        in.getInt(version) != nyxTagReader::kRead || in.getInt(kind) != nyxTagReader::kRead) {
        return false;
    }
    if (marker != nyxViewFile::kMarker || version > nyxViewFile::kVersion ||
        (kind != nyxViewFile::kKindNetlist && kind != nyxViewFile::kKindEncapsulated)) {
        return false;
    }
    std::string name;
    char *text = nullptr;
    size_t length = 0;
    if (in.getString(text, stringAlloc, &name) != nyxTagReader::kRead) return false;
    if (in.getString(text, stringAlloc, &type, &length) != nyxTagReader::kRead) return false;
    type.resize(length);
    return true;
}

} // namespace nyxViewIO
