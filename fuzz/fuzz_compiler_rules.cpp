// Reads arbitrary bytes as a compiler rules file and an option string: the first line of the
// input is the option string, the rest the rules file. The list must come out ordered by
// priority, every rule must be found by its view type at or before its own place, and the
// options line must be a run of switches each ending in a blank. Unknown switches are reported
// on the standard error stream; run with -close_fd_mask=2 to keep the fuzzer's output readable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compiler/compiler.h"
#include "scratch_dir.h"
#include "utils/settings.h"

namespace {

std::string g_rulesFile;

bool setUp() {
    static ScratchDir dir;
    if (!dir.make("nyx_fuzz_compiler_rules")) return false;
    g_rulesFile = dir.path() + "/rules";
    setenv("ZIL_NYX_COMPILER_RULES", g_rulesFile.c_str(), 1);
    setenv("ZIL_HOME", "/home/zil", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return true;
}

bool writeFile(const std::string &text) {
    FILE *f = std::fopen(g_rulesFile.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

void checkList() {
    int32_t index = 0;
    const nyxCompilerRule *previous = nullptr;
    for (const nyxCompilerRule *r = nyxCompilerIntf::getCompilerList(); r != nullptr;
         previous = r, r = r->next, ++index) {
        if (previous != nullptr && previous->priority > r->priority) __builtin_trap();
        if (r->viewType.empty() || r->compiler.empty()) __builtin_trap();
        if (r->viewType.find_first_of(" \t\r\n") != std::string::npos) __builtin_trap();
        const int32_t rank = nyxCompilerIntf::ruleRank(r->viewType.c_str());
        if (rank < 0 || rank > index) __builtin_trap();
        if (nyxCompilerIntf::findCompiler(r->viewType.c_str()) == nullptr) __builtin_trap();
    }
}

void checkOptionsLine() {
    std::string line;
    nyxCompilerIntf::getCompilerOpts(line);
    if (!line.empty() && (line[0] != '-' || line.back() != ' ')) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = setUp();
    if (!ready) return 0;
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t split = input.find('\n');
    const std::string options = input.substr(0, split);
    if (!writeFile(split == std::string::npos ? std::string() : input.substr(split + 1))) return 0;
    nyxSettings::clearNameOptionBits(~uint32_t{0});
    nyxCompilerIntf::clearRules();
    checkList();
    cfidrErrorT err = 0;
    nyxCompilerIntf::setCompilerOptions(options.c_str(), &err);
    if (err != 0 && err != cfidrErrBadName) __builtin_trap();
    checkList();
    checkOptionsLine();
    nyxSettings::clearNameOptionBits(~uint32_t{0});
    return 0;
}
