// Reads arbitrary bytes as a Verilog file through the scan of `nyx import`: the modules it
// defines, the top candidates and each one's modules below, and the mapping of compiler
// messages back to input lines, over the same bytes taken as messages.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "import_source.h"
#include "scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static ScratchDir dir;
    static const bool made = dir.make("nyx_fuzz_import_scan");
    if (!made) return 0;
    const std::string path = dir.path() + "/in.v";
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    nyxtool::VerilogModules modules;
    nyxtool::FileFacts facts;
    std::string error;
    if (!nyxtool::scanFile(path, modules, facts, error)) return 0;
    for (const std::string &top : modules.roots()) (void)modules.below(top);
    if (!modules.order.empty()) (void)modules.below(modules.order.front());
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::vector<nyxtool::SourcePart> parts = {{"a.v", 1}, {"b.v", facts.lines / 2 + 1}};
    (void)nyxtool::mapLines(text, "in.v", parts);
    return 0;
}
