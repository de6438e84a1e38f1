// The net name map: see netmap.h.
#include "dm/netlist/netmap.h"

#include <cstring>
#include <new>

#include "dm/netlist/net.h"
#include "utils/hugepages.h"

namespace {

// Kinds in slot bits 62-63, in the order of the class codes 10, 11, 12, then aliases.
constexpr int32_t kKindCode[4] = {nyxCodeNetBundle, nyxCodeNetBus, nyxCodeNetScalar,
                                  nyxCodeNetAlias};

inline uint64_t kindOf(int32_t code) {
    return code == nyxCodeNetAlias ? 3u : static_cast<uint64_t>(code - nyxCodeNetBundle) & 3u;
}
inline uint32_t wordOf(uint64_t slot) { return static_cast<uint32_t>(slot); }
inline uint32_t hashOf(uint64_t slot) {
    return static_cast<uint32_t>(slot >> 32) & nyxNetMap::kHashMask;
}
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
    uint32_t cap = kInitialSlots;
    while (cap / 2 < expected && cap < (1u << 30)) cap *= 2;
    void *p = heap->allocBlock(sizeof(nyxNetMap));
    if (p == nullptr) return nullptr;
    auto *slots = static_cast<uint64_t *>(heap->allocBlock(sizeof(uint64_t) * cap));
    if (slots == nullptr) {
        heap->freeBlock(p, sizeof(nyxNetMap));
        return nullptr;
    }
    nyxPreferHugePages(slots, sizeof(uint64_t) * cap);
    std::memset(slots, 0, sizeof(uint64_t) * cap);
    nyxNetMap *map = new (p) nyxNetMap;
    map->d_heap = heap;
    map->d_slots = slots;
    map->d_mask = cap - 1;
    map->d_count = 0;
    return map;
}

void nyxNetMap::destroy(nyxNetMap *map) {
    if (map == nullptr) return;
    map->d_heap->freeBlock(map->d_slots, sizeof(uint64_t) * (map->d_mask + 1));
    map->d_heap->freeBlock(map, sizeof(nyxNetMap));
}

void nyxNetMap::place(uint64_t slot) {
    uint32_t i = hashOf(slot) & d_mask;
    while (d_slots[i] != 0) i = (i + 1) & d_mask;
    d_slots[i] = slot;
    ++d_count;
}

bool nyxNetMap::grow() {
    uint32_t oldCap = d_mask + 1;
    if (oldCap >= (1u << 30)) return false;
    uint32_t cap = oldCap * 2;
    auto *slots = static_cast<uint64_t *>(d_heap->allocBlock(sizeof(uint64_t) * cap));
    if (slots == nullptr) return false;
    nyxPreferHugePages(slots, sizeof(uint64_t) * cap);
    std::memset(slots, 0, sizeof(uint64_t) * cap);
    uint64_t *old = d_slots;
    d_slots = slots;
    d_mask = cap - 1;
    d_count = 0;
    // In slot order the new home slots rise too (each old home i goes to i or i + oldCap), so
    // the new table is written nearly in sequence.
    for (uint32_t i = 0; i < oldCap; ++i) {
        if (old[i] != 0) place(old[i]);
    }
    d_heap->freeBlock(old, sizeof(uint64_t) * oldCap);
    return true;
}

bool nyxNetMap::add(void *obj, int32_t code) {
    const char *name = code == nyxCodeNetAlias ? static_cast<nyxNetAlias *>(obj)->d_name.getString()
                                               : static_cast<nyxNetHead *>(obj)->d_name.getString();
    return addAt(obj, code, Probe{hash(name), UINT32_MAX});
}

bool nyxNetMap::addAt(void *obj, int32_t code, Probe p) {
    uint64_t slot = makeSlot(nyxObjWord(obj), p.hash, code);
    if ((d_count + 1) * 2 > d_mask + 1) {
        if (!grow()) return false;
    } else if (p.slot <= d_mask && d_slots[p.slot] == 0) {
        d_slots[p.slot] = slot;
        ++d_count;
        return true;
    }
    place(slot);
    return true;
}

void *nyxNetMap::find(const char *name, uint32_t h, int32_t *code, Probe *probe) const {
    uint32_t i = h & d_mask;
    for (uint64_t s; (s = d_slots[i]) != 0; i = (i + 1) & d_mask) {
        if (hashOf(s) == h && std::strcmp(nameOf(s), name) == 0) {
            if (code != nullptr) *code = codeOf(s);
            if (probe != nullptr) *probe = {h, i};
            return nyxObjPtr(wordOf(s));
        }
    }
    if (probe != nullptr) *probe = {h, i};
    return nullptr;
}

bool nyxNetMap::remove(const char *name, const void *obj) {
    uint32_t word = nyxObjWord(obj);
    uint32_t i = hash(name) & d_mask;
    while (d_slots[i] != 0 && wordOf(d_slots[i]) != word) i = (i + 1) & d_mask;
    if (d_slots[i] == 0) return false;
    // Backward-shift deletion keeps every probe run without gaps.
    uint32_t hole = i;
    for (uint32_t j = (i + 1) & d_mask; d_slots[j] != 0; j = (j + 1) & d_mask) {
        uint32_t home = hashOf(d_slots[j]) & d_mask;
        // The entry at j may move into the hole when its home does not lie in (hole, j].
        bool between = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (!between) {
            d_slots[hole] = d_slots[j];
            hole = j;
        }
    }
    d_slots[hole] = 0;
    --d_count;
    return true;
}

bool nyxNetMap::isValid() const {
    uint32_t n = 0;
    for (uint32_t i = 0; i <= d_mask; ++i) {
        uint64_t s = d_slots[i];
        if (s == 0) continue;
        ++n;
        if (hash(nameOf(s)) != hashOf(s)) return false;
        void *obj = nyxObjPtr(wordOf(s));
        int32_t code = codeOf(s) == nyxCodeNetAlias ? static_cast<nyxNetAlias *>(obj)->d_code
                                                    : nyxNet::code(obj);
        if (code != codeOf(s)) return false;
        for (uint32_t k = hashOf(s) & d_mask; k != i; k = (k + 1) & d_mask) {
            if (d_slots[k] == 0) return false;
        }
    }
    return n == d_count && n * 2 <= d_mask + 1;
}
