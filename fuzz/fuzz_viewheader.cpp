// The header probe that tells the two view kinds of the older file form apart, over arbitrary
// bytes. The probe reads only the first nyxIOHeaderBytes of a file, so its answer on the whole
// input and on that prefix must agree; no header names both kinds; and a header that parses is
// written again by the value writer, within the probe's bytes, and parses to the same integers.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "io/io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const size_t prefix = std::min(size, nyxIOHeaderBytes);
    const bool netlist = nyxViewIO::headerBytesName(data, size, nyxCodeNetlistView);
    const bool encapsulated = nyxViewIO::headerBytesName(data, size, nyxCodeEncapsulatedView);
    if (netlist && encapsulated) __builtin_trap();
    if (netlist != nyxViewIO::headerBytesName(data, prefix, nyxCodeNetlistView) ||
        encapsulated != nyxViewIO::headerBytesName(data, prefix, nyxCodeEncapsulatedView)) {
        __builtin_trap();
    }
    int32_t marker = 0, version = 0, kind = 0;
    if (!nyxIOParseHeader(data, size, marker, version, kind)) return 0;
    nyxMemorySink sink;
    nyxTagWriter out(sink);
    if (!out.putRaw(" ", 1) || !out.put("%d%d%d", marker, version, kind)) __builtin_trap();
    if (sink.bytes().size() > nyxIOHeaderBytes) __builtin_trap();
    int32_t m = 0, v = 0, k = 0;
    if (!nyxIOParseHeader(sink.bytes().data(), sink.bytes().size(), m, v, k) || m != marker || v != version ||
        k != kind) {
        __builtin_trap();
    }
    return 0;
}
