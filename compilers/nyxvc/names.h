// names.h - the name table of nyxvc: an open-addressing hash map from a name (a view of text that
// outlives the table: the mapped source file or the lexer's arena) to a 32-bit number.
//
// Invariants: slots_.size() is a power of two or 0, mask_ = slots_.size() - 1 (0 when empty);
// used_ * 2 <= slots_.size() after every insert
// (runs of used slots stay short: a look-up reads 1.5 slots on average); a slot with value
// kEmpty is free, and no name is stored twice; a name lies in the run of used slots that starts
// at (its tag & mask), tag = the high half of its hash.
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
        const uint32_t tag = tagOf(name);
        for (size_t i = tag & mask_;; i = (i + 1) & mask_) {
            const Slot &s = slots_[i];
            if (s.value == kEmpty) return kEmpty;
            if (s.tag == tag && same(s.name, name)) return s.value;
        }
    }

    // Stores value for name unless the name is present; returns the number stored for it.
    uint32_t insert(std::string_view name, uint32_t value) {
        if (used_ >= (mask_ + 1) / 2) grow();
        const uint32_t tag = tagOf(name);
        for (size_t i = tag & mask_;; i = (i + 1) & mask_) {
            Slot &s = slots_[i];
            if (s.value == kEmpty) {
                s.name = name;
                s.value = value;
                s.tag = tag;
                ++used_;
                return value;
            }
            if (s.tag == tag && same(s.name, name)) return s.value;
        }
    }

    size_t size() const { return used_; }
    void clear() {
        std::vector<Slot>().swap(slots_);
        used_ = 0;
        mask_ = 0;
    }

private:
    // tag: the high half of the name's hash, compared before the name and kept for rehashing.
    struct Slot {
        std::string_view name;
        uint32_t value = kEmpty;
        uint32_t tag = 0;
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
    // The first and the last few bytes of a name of n >= 1 bytes as two words, read without
    // leaving the name (loads overlap when the name is short): together they hold every byte
    // of a name of up to 16.
    static void ends(const char *p, size_t n, uint64_t &a, uint64_t &b) {
        if (n >= 8) {
            a = load8(p);
            b = load8(p + n - 8);
        } else if (n >= 4) {
            a = load4(p);
            b = load4(p + n - 4);
        } else {
            a = (uint64_t(static_cast<unsigned char>(p[0])) << 16) |
                (uint64_t(static_cast<unsigned char>(p[n >> 1])) << 8) | static_cast<unsigned char>(p[n - 1]);
            b = 0;
        }
    }

    // The high half of a 64-bit hash that reads the name a word at a time: names of up to 16
    // bytes (nearly all) in one step, longer ones 16 bytes per round. The finalizer makes every
    // bit depend on every byte (names of a netlist differ mostly in their last digits).
    static uint32_t tagOf(std::string_view name) {
        const char *p = name.data();
        const size_t n = name.size();
        uint64_t h = n * 0x9e3779b97f4a7c15ull, a = 0, b = 0;
        for (size_t i = 0; i + 16 < n; i += 16) h = mix(h ^ load8(p + i), load8(p + i + 8));
        if (n > 16) {
            a = load8(p + n - 16);
            b = load8(p + n - 8);
        } else if (n > 0) {
            ends(p, n, a, b);
        }
        return static_cast<uint32_t>(mix(h ^ a, b) >> 32);
    }
    static uint64_t mix(uint64_t a, uint64_t b) {
        uint64_t h = (a * 0xbf58476d1ce4e5b9ull) ^ ((b + 0x94d049bb133111ebull) * 0xff51afd7ed558ccdull);
        h ^= h >> 32;
        h *= 0xc4ceb9fe1a85ec53ull;
        h ^= h >> 29;
        return h;
    }

    // Names are short: comparing their end words beats a call of memcmp.
    static bool same(std::string_view x, std::string_view y) {
        const size_t n = x.size();
        if (n != y.size()) return false;
        if (n > 16) return std::memcmp(x.data(), y.data(), n) == 0;
        if (n == 0) return true;
        uint64_t xa, xb, ya, yb;
        ends(x.data(), n, xa, xb);
        ends(y.data(), n, ya, yb);
        return xa == ya && xb == yb;
    }

    // A name's first slot comes from its tag, so that growth moves slots without hashing or
    // comparing names again.
    [[gnu::noinline]] void grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
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
    size_t mask_ = 0;  // slots_.size() - 1, or 0 while slots_ is empty
};

} // namespace nyxvc
