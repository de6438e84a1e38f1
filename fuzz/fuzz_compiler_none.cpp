// Feeds arbitrary bytes to a compilation through the compiler "NONE": the bytes are written to the
// data file that the exchange reads as the compiler's whole answer (text lines, then the record
// stream). The first byte chooses:
//   bit 0   the entry: encapsulated (1) or netlist view (0)
//   bit 1   the answer is the rest as it stands (0), or the rest after a fixed text part whose
//           status makes a netlist read whole without the view 27 (1)
// Checks: a view returned is listed in its cell; expert mode is popped; with the fixed text part
// the answer failed exactly when the result is 4, and then nothing is left of what it built (the
// libraries, cells and the objects of every cell are what they were); without it, an answer with
// no netlist line builds nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "compiler/netreader.h"
#include "scratch_dir.h"

namespace {

std::string g_dataFile;

bool setUp() {
    static ScratchDir dir;
    if (!dir.make("nyx_fuzz_compiler_none")) return false;
    g_dataFile = dir.path() + "/answer";
    unsetenv("ZIL_NYX_LIBRARYMAP");
    unsetenv("ZIL_CFI_LIBPATH");
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return true;
}

bool writeFile(const std::string &bytes) {
    FILE *f = std::fopen(g_dataFile.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

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
                   std::to_string(cell->designConfigs().nitems()) + "," +
                   std::to_string(cell->occPropSets().nitems()) + ";";
        }
        out += "}";
    }
    return out;
}

bool listed(const nyxObjRef &view) {
    nyxDynArray &libs = nyxLib::sessionList();
    for (int32_t i = 0; i < libs.nitems(); ++i) {
        nyxLib *lib = static_cast<nyxLib *>(libs[i]);
        for (int32_t j = 0; j < lib->cells().nitems(); ++j) {
            nyxDynArray &views = static_cast<nyxCell *>(lib->cells()[j])->views();
            for (int32_t k = 0; k < views.nitems(); ++k) {
                if (nyxCell::viewObject(views[k]) == view.obj && nyxCell::viewCode(views[k]) == view.code) return true;
            }
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = setUp();
    if (!ready || size == 0) return 0;
    const bool encapsulated = (data[0] & 1) != 0;
    const bool fixedText = (data[0] & 2) != 0;
    std::string answer;
    if (fixedText) answer = encapsulated ? "#s 27\n#m\n#endmsgs\n#netlist\n" : "#s 0\n#m\n#endmsgs\n#netlist\n";
    answer.append(reinterpret_cast<const char *>(data) + 1, size - 1);
    if (!writeFile(answer)) return 0;

    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    if (e != 0) return 0;
    const std::string before = snapshot();
    nyxCompilerRule rule;
    rule.viewType = "LAYOUT";
    rule.compiler = "NONE";
    e = -1;
    const nyxObjRef view =
        encapsulated ? nyxCompilerIntf::compileEncapsulatedView(&rule, g_dataFile.c_str(), "L", "top", "v", &e)
                     : nyxCompilerIntf::compileNetlistView(&rule, g_dataFile.c_str(), "L", "top", "v", &e);
    if ((e == 0) != (view.obj != nullptr)) __builtin_trap();
    if (view.obj != nullptr && !listed(view)) __builtin_trap();
    if (nyx::expertDepth() != 0) __builtin_trap();
    const bool changed = snapshot() != before;
    if (fixedText) {
        if (e != 0 && e != 4 && e != 27) __builtin_trap();
        if (e == 4 && changed) __builtin_trap();
    } else if (changed && answer.find("\n#n") == std::string::npos && answer.rfind("#n", 0) != 0) {
        __builtin_trap();
    }
    // A new session for every input: nothing one input built meets the next.
    cfidrPIQuit(&e);
    return 0;
}
