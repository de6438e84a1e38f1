// names.h - the name table of nyxvc: an open-addressing hash map from a name (a view of text that
// outlives the table: the mapped source file or the lexer's arena) to a 32-bit number.
//
// Invariants: slots_.size() is a power of two; used_ * 4 <= slots_.size() * 3 after every insert;
// a slot with value kEmpty is free, and no name is stored twice; a name lies in the run of used
// slots that starts at (its tag & mask), tag = the high half of its hash.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace nyxvc {

class NameTable {
public:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

    // The number stored for name, or kEmpty.
    uint32_t find(std::string_view name) const {
        if (slots_.empty()) return kEmpty;
        const size_t mask = slots_.size() - 1;
        const uint64_t h = hash(name);
        const uint32_t tag = static_cast<uint32_t>(h >> 32);
        for (size_t i = tag & mask;; i = (i + 1) & mask) {
            const Slot &s = slots_[i];
            if (s.value == kEmpty) return kEmpty;
            if (s.tag == tag && s.name == name) return s.value;
        }
    }

    // Stores value for name unless the name is present; returns the number stored for it.
    uint32_t insert(std::string_view name, uint32_t value) {
        if ((used_ + 1) * 4 > slots_.size() * 3) grow();
        const uint64_t h = hash(name);
        const uint32_t tag = static_cast<uint32_t>(h >> 32);
        const size_t mask = slots_.size() - 1;
        for (size_t i = tag & mask;; i = (i + 1) & mask) {
            Slot &s = slots_[i];
            if (s.value == kEmpty) {
                s.name = name;
                s.value = value;
                s.tag = tag;
                ++used_;
                return value;
            }
            if (s.tag == tag && s.name == name) return s.value;
        }
    }

    size_t size() const { return used_; }
    void clear() {
        std::vector<Slot>().swap(slots_);
        used_ = 0;
    }

private:
    // tag: the high half of the name's hash, compared before the name and kept for rehashing.
    struct Slot {
        std::string_view name;
        uint32_t value = kEmpty;
        uint32_t tag = 0;
    };

    // FNV-1a over the bytes, then a 64-bit finalizer so that every bit of the result depends on
    // every byte (names of a netlist differ mostly in their last digits).
    static uint64_t hash(std::string_view name) {
        uint64_t h = 1469598103934665603ull;
        for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
        h *= 0xc4ceb9fe1a85ec53ull;
        h ^= h >> 33;
        return h;
    }

    // A name's first slot comes from its tag, so that growth moves slots without hashing or
    // comparing names again.
    void grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        const size_t mask = slots_.size() - 1;
        for (const Slot &s : old) {
            if (s.value == kEmpty) continue;
            size_t i = s.tag & mask;
            while (slots_[i].value != kEmpty) i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
};

} // namespace nyxvc
