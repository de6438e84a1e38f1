// Feeds arbitrary bytes to the readers of both stored forms of selector sets: the first byte
// chooses the form (even: current, odd: older), the rest is the file. Whatever was read is
// written and read again twice: the second and third written forms must be equal, or the writer
// and reader disagree (the first round may normalise, e.g. an empty library name becomes "-").
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/config.h"

namespace {

using Parse = cfidrErrorT (*)(nyxSelectorSet *, std::string_view);
using Format = std::string (*)(const nyxSelectorSet *);

// Reads text into a fresh set and returns the set's written form; false when the text is damaged.
bool roundTrip(Parse parse, Format format, std::string_view text, std::string &out) {
    cfidrErrorT err = 0;
    nyxSelectorSet *set = nyxSelectorSet::create("fuzz", &err);
    if (set == nullptr) return false;
    nyx::pushExpertMode();
    const cfidrErrorT code = parse(set, text);
    nyx::popExpertMode();
    if (code == 0) out = format(set);
    nyxSelectorSet::purge(set);
    return code == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0 || nyx::create() == nullptr) return 0;
    const bool older = (data[0] & 1) != 0;
    const Parse parse = older ? nyxSelectorFile::parseOld : nyxSelectorFile::parse;
    const Format format = older ? nyxSelectorFile::formatOld : nyxSelectorFile::format;
    const std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::string first, second, third;
    if (roundTrip(parse, format, text, first)) {
        if (!roundTrip(parse, format, first, second) || !roundTrip(parse, format, second, third) ||
            second != third) {
            __builtin_trap();
        }
    }
    // Every name read stays in the session's name table: a new session now and then keeps the
    // memory of a long run bounded.
    const nyxPropNameTable *names = nyxPropNameTable::peek();
    if (names != nullptr && names->nameCount() > 20000) nyx::destroy();
    return 0;
}
