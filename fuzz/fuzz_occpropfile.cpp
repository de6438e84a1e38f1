// Feeds arbitrary bytes to the reader of occurrence property sets. Whatever was read is written
// and read again twice: the second and third written forms must be equal, or the writer and
// reader disagree (the first round may normalise: skipped lines, escapes, value spellings).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/occpropInt.h"

namespace {

// A library and cell in memory, made again for every global state.
nyxCell *fuzzCell() {
    static uint64_t generation = 0;
    static nyxCell *cell = nullptr;
    if (cell != nullptr && generation == nyx::generation()) return cell;
    cfidrErrorT err = 0;
    nyxLib *lib = nyxLib::construct("fuzzlib", cfidrUpdateMode, &err);
    cell = lib != nullptr ? nyxCell::construct(lib, "fuzzcell", false, cfidrUpdateMode, &err) : nullptr;
    generation = nyx::generation();
    return cell;
}

// Reads text into a fresh set and returns the set's written form.
bool roundTrip(std::string_view text, std::string &out) {
    nyxCell *cell = fuzzCell();
    if (cell == nullptr) return false;
    cfidrErrorT err = 0;
    nyxOccPropSet *set = nyxOccPropSet::create(cell, "fuzz", &err);
    if (set == nullptr) return false;
    nyx::pushExpertMode();
    const cfidrErrorT code = nyxOccPropFile::parse(set, text);
    nyx::popExpertMode();
    if (code == 0) out = nyxOccPropFile::format(set);
    nyxOccPropSet::purge(set, &err);
    return code == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (nyx::create() == nullptr) return 0;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::string first, second, third;
    if (roundTrip(text, first)) {
        if (!roundTrip(first, second) || !roundTrip(second, third) || second != third) __builtin_trap();
    }
    // Every name read stays in the session's name table: a new session now and then keeps the
    // memory of a long run bounded.
    const nyxPropNameTable *names = nyxPropNameTable::peek();
    if (names != nullptr && names->nameCount() > 20000) nyx::destroy();
    return 0;
}
