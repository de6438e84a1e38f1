// The view file in the type table: read, write and the header probe of the older file form.
#include "dm/netlist/netlist.h"
#include "io/io.h"
#include "io/viewfile.h"

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
