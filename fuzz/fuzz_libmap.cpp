// Reads arbitrary bytes as a library map file and forms paths through it. The first line of the
// input is one more library name to map; the rest is the map file. The path of a cell and view is
// always the library's path with the encoded names appended, whatever rule gave the library's.
// Expressions that do not compile are reported on the standard error stream; run with
// -close_fd_mask=2 to keep the fuzzer's output readable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "dm/store/store.h"
#include "scratch_dir.h"

namespace {

bool setUp() {
    // Soft names in replacements are converted by a small location map of our own.
    static ScratchDir dir;
    if (!dir.make("nyx_fuzz_libmap")) return false;
    const std::string map = dir.path() + "/zil_location_map";
    FILE *f = std::fopen(map.c_str(), "w");
    if (f == nullptr) return false;
    std::fputs("ZIL_LOCATION_MAP_2\n$PROJ /data/proj\n$LIBS -s /data/a /data/b\n", f);
    std::fclose(f);
    setenv("ZIL_LOCATION_MAP", map.c_str(), 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    return e == 0;
}

void checkPaths(const char *lib) {
    const std::string base = nyxDMUtil::pathOf(lib);
    if (base.empty()) __builtin_trap();
    const std::string full = nyxDMUtil::pathOf(lib, "c/d", "..");
    if (full != base + (base.back() == '/' ? "" : "/") + "c\td/\n\n") __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = setUp();
    if (!ready) return 0;
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t split = input.find('\n');
    const std::string name = input.substr(0, split);
    nyxDMUtil::useLibraryMapText(split == std::string::npos ? std::string() : input.substr(split + 1));
    static const char *const kNames[] = {"lib", "libA", "a/b", "", "$PROJ", "x"};
    for (const char *n : kNames) checkPaths(n);
    checkPaths(name.c_str());
    return 0;
}
