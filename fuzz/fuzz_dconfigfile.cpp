// Feeds arbitrary bytes to the reader of design-configuration files. The configuration belongs
// to cell "top" of a library "work" made in memory, whose cells "top" and "other" each hold a
// netlist view "sch" and an occurrence property set "s", so that path lines find views and sets
// in full, by the fallback, or not at all.
// Whatever was read is written and read again twice: the second and third written forms must be
// equal, or the writer and reader disagree (the first round may normalise).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/config.h"
#include "dm/netlist/netlist.h"
#include "scratch_dir.h"

namespace {

struct World {
    uint64_t generation = ~uint64_t{0};
    nyxCell *top = nullptr;
    nyxNetlistView *root = nullptr;
};

// The library, cells and views of the session, made again after a new session.
bool makeWorld(World &w) {
    if (w.generation == nyx::generation() && w.top != nullptr) return true;
    cfidrErrorT err = 0;
    nyxLib *lib = nyxLib::createLib("work", &err);
    if (lib == nullptr) return false;
    w.top = nyxLib::createCell(lib, "top", &err);
    nyxCell *other = nyxLib::createCell(lib, "other", &err);
    if (w.top == nullptr || other == nullptr) return false;
    w.root = nyxNetlistView::construct(w.top, "sch", cfidrUpdateMode, true, &err);
    if (w.root == nullptr || nyxNetlistView::construct(other, "sch", cfidrUpdateMode, true, &err) == nullptr ||
        nyxOccPropSet::create(w.top, "s", &err) == nullptr || nyxOccPropSet::create(other, "s", &err) == nullptr) {
        return false;
    }
    w.generation = nyx::generation();
    return true;
}

bool roundTrip(World &w, std::string_view text, std::string &out) {
    cfidrErrorT err = 0;
    nyxDesignConfig *config = nyxDesignConfig::create(w.top, "fuzz", nullptr, 0, &err);
    if (config == nullptr) return false;
    nyx::pushExpertMode();
    const cfidrErrorT code = nyxDesignConfigFile::parse(config, text);
    nyx::popExpertMode();
    if (code == 0) out = nyxDesignConfigFile::format(config);
    nyxDesignConfig::purge(config, &err);
    return code == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static ScratchDir scratch;
    static World world;
    if (scratch.path().empty()) {
        // Paths stay inside the scratch directory; no location map is looked for.
        if (!scratch.make("nyx-fuzz-dconfig-") || chdir(scratch.path().c_str()) != 0) return 0;
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
        // The kinds' rows: a set line may make the set of a file the cell does not list.
        nyxConfigInstall();
    }
    if (nyx::create() == nullptr || !makeWorld(world)) return 0;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::string first, second, third;
    if (roundTrip(world, text, first)) {
        if (!roundTrip(world, first, second) || !roundTrip(world, second, third) || second != third) {
            __builtin_trap();
        }
    }
    // Every name read stays in the session's name table: a new session now and then keeps the
    // memory of a long run bounded.
    const nyxPropNameTable *names = nyxPropNameTable::peek();
    if (names != nullptr && names->nameCount() > 20000) nyx::destroy();
    return 0;
}
