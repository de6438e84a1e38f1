// Feeds arbitrary text to the Verilog compiler nyxvc in process: lexer, parser, elaboration and
// record emission. The first byte picks the options (name case, bit delimiters) and whether the
// text holds a stub file after a NUL byte; the limits are small so that a short input cannot ask
// for gigabytes. Every module of the file is compiled as the requested one in turn.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "compile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    nyxvc::Options opts;
    opts.nameCase = static_cast<nyxvc::NameCase>(data[0] % 3);
    opts.parens = (data[0] & 4) != 0;
    const bool withStubs = (data[0] & 8) != 0;
    nyxvc::Limits limits;
    limits.maxWidth = 1u << 12;
    limits.maxModuleBits = 1u << 16;
    limits.maxItems = 1u << 16;
    const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::string_view source = text, stubs;
    if (withStubs) {
        const size_t nul = text.find('\0');
        if (nul != std::string::npos) {
            source = std::string_view(text).substr(0, nul);
            stubs = std::string_view(text).substr(nul + 1);
        }
    }
    nyxvc::Compilation first(opts, limits);
    first.request("L", "top", "v", "fuzz.v");
    if (withStubs && !first.parseStubs(stubs, "stubs.v")) return 0;
    if (!first.parse(source, "fuzz.v")) return 0;
    std::vector<std::string> names;
    for (const nyxvc::Module &m : first.design().modules) names.emplace_back(m.name);
    for (size_t i = 0; i < names.size() && i < 4; ++i) {
        nyxvc::Compilation c(opts, limits);
        c.request("L", names[i], "v", "fuzz.v");
        if (withStubs && !c.parseStubs(stubs, "stubs.v")) std::abort();
        if (!c.parse(source, "fuzz.v")) std::abort();  // the same text parsed once already
        if (!c.finish()) continue;
        nyxvc::StringSink sink;
        if (!c.emit(sink)) std::abort();
        if (sink.out.size() < 6 || sink.out.front() != 'T' || sink.out.back() != 'Q') std::abort();
    }
    return 0;
}
