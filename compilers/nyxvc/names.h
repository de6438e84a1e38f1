// names.h - the name table of nyxvc: an open-addressing hash map from a name (a view of text that
// outlives the table: the mapped source file or the lexer's arena) to a 32-bit number.
//
// Invariants: slots_.size() is a power of two or 0, mask_ = slots_.size() - 1 (0 when empty);
// used_ * 2 <= slots_.size() after every insert (runs of used slots stay short: a look-up reads
// 1.5 slots on average); a slot with value kEmpty is free, and no name is stored twice; a name
// lies in the run of used slots that starts at (its tag & mask_), tag = the high half of its
// hash. A slot keeps the name's head word (its first 8 bytes, or all of a shorter name, as
// headOf() packs them) beside the view, so that names of up to 8 bytes, nearly all in a
// netlist, are compared without reading their text.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace nyxvc {

class NameTable {
public:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

    // The number stored for name, or kEmpty.
    uint32_t find(std::string_view name) const {
        if (used_ == 0) return kEmpty;
        const Key k = keyOf(name);
        for (size_t i = k.tag & mask_;; i = (i + 1) & mask_) {
            const Slot &s = slots_[i];
            if (s.value == kEmpty) return kEmpty;
            if (matches(s, k, name)) return s.value;
        }
    }

    // Stores value for name unless the name is present; returns the number stored for it.
    uint32_t insert(std::string_view name, uint32_t value) { return insert(name, value, keyOf(name)); }

    // A name's head word and tag, computed once for prefetch() and insert().
    struct Key {
        uint64_t head;
        uint32_t tag;
    };
    // The tag is the high half of a hash of the head word and the length; longer names add their
    // other bytes 8 at a time (the last word overlaps the one before it).
    static Key keyOf(std::string_view name) {
        const char *p = name.data();
        const size_t n = name.size();
        const uint64_t head = headOf(p, n);
        uint64_t h = head ^ (uint64_t(n) << 56);
        if (n > 8) {
            for (size_t i = 8; i + 8 < n; i += 8) h = mix(h) ^ load8(p + i);
            h = mix(h) ^ load8(p + n - 8);
        }
        return {head, static_cast<uint32_t>(mix(h) >> 32)};
    }
    // Asks for the slot where a name's run starts ahead of its insert, so that the memory
    // latency of several names overlaps (the slots of a module's names are spread over a table
    // larger than the first-level cache).
    void prefetch(const Key &k) const {
        if (used_ != 0) __builtin_prefetch(&slots_[k.tag & mask_]);
    }
    // insert() of a name whose key is k = keyOf(name).
    uint32_t insert(std::string_view name, uint32_t value, const Key &k) {
        if (used_ >= (mask_ + 1) / 2) grow();
        for (size_t i = k.tag & mask_;; i = (i + 1) & mask_) {
            Slot &s = slots_[i];
            if (s.value == kEmpty) {
                s.head = k.head;
                s.text = name.data();
                s.size = static_cast<uint32_t>(name.size());
                s.value = value;
                s.tag = k.tag;
                ++used_;
                return value;
            }
            if (matches(s, k, name)) return s.value;
        }
    }

    // Room for n names without growing.
    void reserve(size_t n) {
        if (n <= (mask_ + 1) / 2) return;
        size_t want = 16;
        while (want / 2 < n) want *= 2;
        rehash(want);
    }

    size_t size() const { return used_; }
    void clear() {
        std::vector<Slot>().swap(slots_);
        used_ = 0;
        mask_ = 0;
    }

private:
    struct Slot {
        uint64_t head = 0;
        const char *text = nullptr;
        uint32_t size = 0;
        uint32_t value = kEmpty;
        uint32_t tag = 0;  // compared before the name, and kept for growth
    };

    static uint64_t load8(const char *p) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    static uint64_t load4(const char *p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    // The first 8 bytes of a name; a shorter one whole, from loads that never leave it (they
    // overlap when the name is short). Names of the same length and head are equal when they
    // are no longer than 8 bytes.
    static uint64_t headOf(const char *p, size_t n) {
        if (n >= 8) return load8(p);
        if (n >= 4) return load4(p) | (load4(p + n - 4) << 32);
        if (n == 0) return 0;
        return (uint64_t(static_cast<unsigned char>(p[0])) << 16) |
               (uint64_t(static_cast<unsigned char>(p[n >> 1])) << 8) | static_cast<unsigned char>(p[n - 1]);
    }
    static uint64_t mix(uint64_t h) {
        h *= 0xbf58476d1ce4e5b9ull;
        h ^= h >> 31;
        h *= 0x94d049bb133111ebull;
        return h;
    }
    static bool matches(const Slot &s, const Key &k, std::string_view name) {
        if (s.tag != k.tag || s.head != k.head || s.size != name.size()) return false;
        return name.size() <= 8 || std::memcmp(s.text + 8, name.data() + 8, name.size() - 8) == 0;
    }

    // A name's first slot comes from its tag, so that growth moves slots without hashing or
    // comparing names again.
    [[gnu::noinline]] void grow() { rehash(slots_.empty() ? 16 : slots_.size() * 2); }
    void rehash(size_t slots) {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(slots, Slot{});
        mask_ = slots_.size() - 1;
        for (const Slot &s : old) {
            if (s.value == kEmpty) continue;
            size_t i = s.tag & mask_;
            while (slots_[i].value != kEmpty) i = (i + 1) & mask_;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
    size_t mask_ = 0;
};

} // namespace nyxvc
