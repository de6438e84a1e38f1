// Feeds arbitrary bytes to the property-file reader of libraries and cells, loading the records
// onto a property list. What was loaded is written back and read again: the written form must
// parse whole, record for record, or the writer and reader disagree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dm/store/storeInt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (nyx::create() == nullptr) return 0;
    static int owner = 0;
    const nyxPropOwner o = {&owner, 0, nyxCodeLib, nyx::getGlobalHeap(), nullptr};

    nyxPropList *list = nullptr;
    nyxPropFile::load(reinterpret_cast<const char *>(data), size, list, o);
    const std::string written = nyxPropFile::format(list);
    int32_t live = 0;
    for (int32_t i = 0; i < nyxPropListSize(list); ++i) {
        if (nyxPropAt(list, static_cast<uint32_t>(i)) != nullptr) ++live;
    }
    int32_t reread = 0;
    const bool whole =
        nyxPropFile::parse(written.data(), written.size(), [&](const nyxPropFile::Record &) {
            ++reread;
            return true;
        });
    if (!whole || reread != live) __builtin_trap();
    nyxPropListDestroy(list);
    // Every name read stays in the session's name table: a new session now and then keeps the
    // memory of a long run bounded.
    const nyxPropNameTable *names = nyxPropNameTable::peek();
    if (names != nullptr && names->nameCount() > 20000) nyx::destroy();
    return 0;
}
