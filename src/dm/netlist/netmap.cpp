// The net name map: see netmap.h.
#include "dm/netlist/netmap.h"

#include <cstring>
#include <new>

#include "dm/netlist/net.h"

namespace {

// Kinds in slot bits 62-63, in the order of the class codes 10, 11, 12, then aliases.
constexpr int32_t kKindCode[4] = {nyxCodeNetBundle, nyxCodeNetBus, nyxCodeNetScalar,
                                  nyxCodeNetAlias};

inline uint64_t kindOf(int32_t code) {
    return code == nyxCodeNetAlias ? 3u : static_cast<uint64_t>(code - nyxCodeNetBundle) & 3u;
}
inline uint32_t wordOf(uint64_t slot) { return static_cast<uint32_t>(slot); }
inline uint32_t hashOf(uint64_t slot) { return nyxNetMap::Traits::hashOf(slot); }
inline int32_t codeOf(uint64_t slot) { return kKindCode[slot >> 62]; }
inline uint64_t makeSlot(uint32_t word, uint32_t h, int32_t code) {
    return word | (uint64_t{h} << 32) | (kindOf(code) << 62);
}

// The high and low halves of a full product folded together: every bit of both factors reaches
// the high bits of the result.
inline uint64_t fold(uint64_t a, uint64_t b) {
    __extension__ typedef unsigned __int128 Wide;
    Wide r = static_cast<Wide>(a) * b;
    return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
}

} // namespace

uint32_t nyxNetMap::hash(const char *name) { return hash(name, std::strlen(name)); }

uint32_t nyxNetMap::hash(const char *name, size_t len) {
    // Eight characters at a time: names are short, and a byte loop would spend a multiplication
    // per character. The last word is read ending at the last character, overlapping the one
    // before it; shorter names are read as overlapping halves. Every read stays inside the name.
    uint64_t h = 0x9e3779b97f4a7c15ull ^ len;
    uint64_t w = 0;
    if (len >= 8) {
        size_t at = 0;
        for (; at + 8 < len; at += 8) {
            std::memcpy(&w, name + at, 8);
            h = fold(h ^ w, 0xa0761d6478bd642full);
        }
        std::memcpy(&w, name + len - 8, 8);
    } else if (len >= 4) {
        uint32_t a, b;
        std::memcpy(&a, name, 4);
        std::memcpy(&b, name + len - 4, 4);
        w = (uint64_t{a} << 32) | b;
    } else if (len > 0) {
        const auto *u = reinterpret_cast<const unsigned char *>(name);
        w = (uint64_t{u[0]} << 16) | (uint64_t{u[len / 2]} << 8) | u[len - 1];
    }
    h = fold(h ^ w, 0xe7037ed1a0b428dbull);
    return static_cast<uint32_t>(h >> 34);
}

const char *nyxNetMap::nameOf(uint64_t slot) {
    if ((slot >> 62) == 3) return nyxObjPtr<nyxNetAlias>(wordOf(slot))->d_name.getString();
    return nyxObjPtr<nyxNetHead>(wordOf(slot))->d_name.getString();
}

nyxNetMap *nyxNetMap::create(Hx_baseheap *heap, uint32_t expected) {
    void *p = heap->allocBlock(sizeof(nyxNetMap));
    if (p == nullptr) return nullptr;
    nyxNetMap *map = new (p) nyxNetMap(heap);
    if (!map->d_table.create(nyxOAMaskIndex::capacityFor(kInitialSlots, expected))) {
        heap->freeBlock(p, sizeof(nyxNetMap));
        return nullptr;
    }
    return map;
}

void nyxNetMap::destroy(nyxNetMap *map) {
    if (map == nullptr) return;
    map->d_table.release();
    Hx_baseheap *heap = map->d_table.heap();
    heap->freeBlock(map, sizeof(nyxNetMap));
}

bool nyxNetMap::add(void *obj, int32_t code) {
    const char *name = code == nyxCodeNetAlias ? static_cast<nyxNetAlias *>(obj)->d_name.getString()
                                               : static_cast<nyxNetHead *>(obj)->d_name.getString();
    return addAt(obj, code, Probe{hash(name), UINT32_MAX});
}

bool nyxNetMap::addAt(void *obj, int32_t code, Probe p) {
    uint64_t slot = makeSlot(nyxObjWord(obj), p.hash, code);
    if (!d_table.hasRoom()) {
        if (!d_table.grow()) return false;
    } else if (p.slot < d_table.capacity() && d_table.isFree(p.slot)) {
        d_table.fill(p.slot, slot);
        return true;
    }
    d_table.place(slot);
    return true;
}

void *nyxNetMap::find(const char *name, uint32_t h, int32_t *code, Probe *probe) const {
    // The entry found is kept as the search met it: strcmp could have changed the array for all
    // the compiler knows, and a second read of the slot would cost a register on the probe path.
    uint64_t hit = 0;
    uint32_t i = d_table.probe(d_table.home(h), [h, name, &hit](uint64_t s) {
        if (hashOf(s) != h || std::strcmp(nameOf(s), name) != 0) return false;
        hit = s;
        return true;
    });
    if (probe != nullptr) *probe = {h, i};
    if (hit == 0) return nullptr;
    if (code != nullptr) *code = codeOf(hit);
    return nyxObjPtr(wordOf(hit));
}

bool nyxNetMap::remove(const char *name, const void *obj) {
    uint32_t word = nyxObjWord(obj);
    uint32_t i = d_table.probe(d_table.home(hash(name)), [word](uint64_t s) { return wordOf(s) == word; });
    if (d_table.isFree(i)) return false;
    d_table.eraseAt(i);
    return true;
}

bool nyxNetMap::isValid() const {
    auto entryOk = [](uint32_t, uint64_t s) {
        if (hash(nameOf(s)) != hashOf(s)) return false;
        void *obj = nyxObjPtr(wordOf(s));
        int32_t code = codeOf(s) == nyxCodeNetAlias ? static_cast<nyxNetAlias *>(obj)->d_code
                                                    : nyxNet::code(obj);
        return code == codeOf(s);
    };
    return d_table.isValid(entryOk) && d_table.size() * 2 <= d_table.capacity();
}
