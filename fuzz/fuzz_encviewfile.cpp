// Loads arbitrary bytes as an encapsulated view file into a fresh listed view. A load that
// succeeds is written again and the written form must load too, to the same bytes; a load that
// fails must leave the view empty.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "cfidr.h"
#include "io/io.h"
#include "pi/pi.h"
#include "scratch_dir.h"

namespace {

nyxCell *g_cell = nullptr;

bool setUp() {
    // The library lies in a directory of our own: nothing is saved, but paths are formed.
    static ScratchDir dir;
    if (!dir.make("nyx_fuzz_encviewfile")) return false;
    unsetenv("ZIL_NYX_LIBRARYMAP");
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib((dir.path() + "/fuzzlib").c_str(), &e);
    cfiOID cell = cfidrLibCreateCell(lib, "fuzzcell", &e);
    g_cell = nyxpi::object<nyxCell>(cell);
    return e == 0;
}

// A listed view, as a cell read makes one, to be filled by the decoder.
nyxEncapsulatedView *listedView(const char *name) {
    cfidrErrorT e = 0;
    return nyxEncapsulatedView::construct(g_cell, name, cfidrUpdateMode, false, &e);
}

// Drops a view from the cell (no identifier was handed out for it).
void drop(nyxEncapsulatedView *view) {
    g_cell->views().remove(view->listEntry());
    view->deleteObj();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = setUp();
    if (!ready) return 0;
    nyxEncapsulatedView *view = listedView("fuzz");
    if (view == nullptr) return 0;
    cfidrErrorT e = 0;
    nyxEncViewIO::decode(view, std::string(reinterpret_cast<const char *>(data), size), &e);
    if (e != 0) {
        if (view->d_propList != nullptr || *nyxEncapsulatedView::getKey(view) != '\0') __builtin_trap();
    } else {
        nyxMemorySink first;
        cfidrErrorT w = 0;
        if (nyxEncViewIO::encode(view, first, &w)) {
            nyxEncapsulatedView *again = listedView("fuzz");
            nyxEncViewIO::decode(again, first.bytes(), &w);
            if (w != 0) __builtin_trap();
            nyxMemorySink second;
            if (!nyxEncViewIO::encode(again, second, &w) || second.bytes() != first.bytes()) __builtin_trap();
            drop(again);
        }
    }
    drop(view);
    return 0;
}
