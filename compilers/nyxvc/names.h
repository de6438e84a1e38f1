// names.h - the name table of nyxvc: an open-addressing hash map from a name (a view of text that
// outlives the table: the mapped source file or the lexer's arena) to a 32-bit number.
//
// Invariants: slots_.size() is a power of two; used_ * 4 <= slots_.size() * 3 after every insert;
// a slot with value kEmpty is free, and no name is stored twice.
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
        for (size_t i = hash(name) & mask;; i = (i + 1) & mask) {
            const Slot &s = slots_[i];
            if (s.value == kEmpty) return kEmpty;
            if (s.name == name) return s.value;
        }
    }

    // Stores value for name unless the name is present; returns the number stored for it.
    uint32_t insert(std::string_view name, uint32_t value) {
        if ((used_ + 1) * 4 > slots_.size() * 3) grow();
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash(name) & mask;; i = (i + 1) & mask) {
            Slot &s = slots_[i];
            if (s.value == kEmpty) {
                s.name = name;
                s.value = value;
                ++used_;
                return value;
            }
            if (s.name == name) return s.value;
        }
    }

    size_t size() const { return used_; }
    void clear() {
        slots_.clear();
        used_ = 0;
    }

private:
    struct Slot {
        std::string_view name;
        uint32_t value = kEmpty;
    };

    // FNV-1a, then a final mix so that names differing in their last characters spread.
    static size_t hash(std::string_view name) {
        uint64_t h = 1469598103934665603ull;
        for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return static_cast<size_t>(h ^ (h >> 29));
    }

    void grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        used_ = 0;
        for (const Slot &s : old) {
            if (s.value != kEmpty) insert(s.name, s.value);
        }
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
};

} // namespace nyxvc
