// Feeds arbitrary bytes to the compiler record reader as a compiler's binary answer. A read that
// fails must leave the stream failed and nothing the stream built: the libraries, cells and the
// views, configurations and sets of every cell are what they were before the read.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "cfidr.h"
#include "compiler/netreader.h"

namespace {

// What memory lists: every library with its cells and the objects of each cell.
std::string snapshot() {
    std::string out;
    nyxDynArray &libs = nyxLib::sessionList();
    for (int32_t i = 0; i < libs.nitems(); ++i) {
        nyxLib *lib = static_cast<nyxLib *>(libs[i]);
        out += std::string(lib->nameObj()) + "{";
        for (int32_t j = 0; j < lib->cells().nitems(); ++j) {
            nyxCell *cell = static_cast<nyxCell *>(lib->cells()[j]);
            out += std::string(cell->nameObj()) + ":" + std::to_string(cell->views().nitems()) + "," +
                   std::to_string(cell->designConfigs().nitems()) + "," + std::to_string(cell->occPropSets().nitems()) + ";";
        }
        out += "}";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool once = [] {
        unsetenv("ZIL_NYX_LIBRARYMAP");
        unsetenv("ZIL_CFI_LIBPATH");
        setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
        return true;
    }();
    (void)once;
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    if (e != 0) return 0;
    const std::string before = snapshot();
    nyxCompilerStream in(data, size);
    nyxCompilerNetlist reader(in, size > 0 && (data[0] & 1) != 0);
    const cfidrErrorT code = reader.read();
    if (code != 0 && (in.good() || snapshot() != before)) __builtin_trap();
    if (code == 0 && !in.good()) __builtin_trap();
    if (nyx::expertDepth() != 0) __builtin_trap();
    // A new session for every input: nothing one input built meets the next.
    cfidrPIQuit(&e);
    return 0;
}
