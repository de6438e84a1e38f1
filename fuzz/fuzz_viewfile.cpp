// Loads arbitrary bytes as a netlist view file into a fresh view. A load that succeeds is
// written again and the written form must load too; a load that fails must leave the view empty.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "dm/netlist/netlist.h"
#include "io/io.h"
#include "pi/pi.h"
#include "scratch_dir.h"

namespace {

cfiOID g_cell{};

bool setUp() {
    // The library lies in a directory of our own, named by its absolute path: nothing is saved,
    // but paths are formed. The current directory stays, so that relative corpus and artifact
    // paths given to the fuzzer keep working.
    static ScratchDir dir;
    if (!dir.make("nyx_fuzz_viewfile")) return false;
    unsetenv("ZIL_NYX_LIBRARYMAP");
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib((dir.path() + "/fuzzlib").c_str(), &e);
    g_cell = cfidrLibCreateCell(lib, "fuzzcell", &e);
    return e == 0;
}

// Destroys a view without the identifier walk (nothing was handed out to a caller here).
void destroyView(cfiOID v) {
    cfidrErrorT e = 0;
    nyxdrPISetTrustedProgramMode(1, &e);
    cfidrObjectDestroy(v, &e);
    if (e != 0) __builtin_trap();
    nyxdrPISetTrustedProgramMode(0, &e);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = setUp();
    if (!ready) return 0;
    cfidrErrorT e = 0;
    cfiOID v = cfidrCellCreateNetlistView(g_cell, "fuzz", &e);
    if (e != 0) return 0;
    auto *view = nyxpi::object<nyxNetlistView>(v);
    nyxViewIO::decode(view, data, size, &e);
    if (e != 0) {
        if (view->hasNet() || view->ports().nitems() != 0 || nyxPropListSize(view->d_propList) != 0 ||
            nyxInstance::hasInst(view) || view->describers().nitems() != 0) {
            __builtin_trap();
        }
    } else {
        nyxMemorySink sink;
        cfidrErrorT w = 0;
        if (nyxViewIO::encode(view, sink, &w)) {
            cfiOID again = cfidrCellCreateNetlistView(g_cell, "again", &w);
            nyxViewIO::decode(nyxpi::object<nyxNetlistView>(again), sink.bytes().data(), sink.bytes().size(), &w);
            if (w != 0) __builtin_trap();
            destroyView(again);
        }
    }
    destroyView(v);
    return 0;
}
