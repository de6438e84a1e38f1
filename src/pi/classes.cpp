// The class table: parents of concrete and abstract class codes, object-type values, and the
// type walk folded into one bit mask per class code so that a check is a shift and a test.
#include "pi/pi.h"

#include <array>
#include <utility>

namespace nyxpi {
namespace {

// Parent of each concrete code 0-33. 0 ends a chain. Occurrence codes (27-33, odd tags) are
// objects of no data-model family: only "any object" accepts them.
constexpr int32_t kConcreteParent[kClassCodes] = {
    0,                                // 0 no class
    -2, -2, -4, 3, -4, -2, -5, 7, -5, // 1 lib .. 9 port-instance scalar
    -3, 10, -3, -2, -6, -6, -2, -1,   // 10 net bundle .. 17 library selector
    -7, -7, -2, -2, -8, -8, -8, -2,   // 18 view-name selector .. 25 design configuration
    0,                                // 26 the global state
    -1, -1, -1, -1, -1, -1, -1,       // 27-33 occurrences
};

// Parent of abstract code -k at index k.
constexpr int32_t kAbstractParent[9] = {0, 0, -1, -2, -2, -1, -2, -1, -2};

constexpr int32_t kTypeValue[26] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,     10,    11,    12,
                                    13, 14, 15, 16, 17, 18, 19, 20001, 20003, 20005, 20006, 20007,
                                    20002};

constexpr bool walk(int32_t c, int32_t t) {
    for (;;) {
        if (c == t) return true;
        if (c == 0) return false;
        if (c < 0) {
            if (c < -8) return false;
            c = kAbstractParent[-c];
        } else {
            if (c >= kClassCodes) return false;
            c = kConcreteParent[c];
        }
    }
}

constexpr uint64_t maskOf(int32_t c) {
    uint64_t m = 0;
    for (int32_t t = 0; t < kClassCodes; ++t) {
        if (walk(c, t)) m |= uint64_t{1} << acceptBit(t);
    }
    for (int32_t t = -1; t >= -8; --t) {
        if (walk(c, t)) m |= uint64_t{1} << acceptBit(t);
    }
    return m;
}

template <int... I> constexpr auto makeMasks(std::integer_sequence<int, I...>) {
    return std::array<uint64_t, sizeof...(I)>{maskOf(I)...};
}
constexpr auto kMasks = makeMasks(std::make_integer_sequence<int, kClassCodes>{});

// Code 0 accepts nothing, not even "0": it is the end of every chain.
static_assert((kMasks[0] & 1) != 0);

} // namespace

const uint64_t kAcceptMask[kClassCodes] = {
    kMasks[0] & ~uint64_t{1}, kMasks[1],  kMasks[2],  kMasks[3],  kMasks[4],  kMasks[5],
    kMasks[6],                kMasks[7],  kMasks[8],  kMasks[9],  kMasks[10], kMasks[11],
    kMasks[12],               kMasks[13], kMasks[14], kMasks[15], kMasks[16], kMasks[17],
    kMasks[18],               kMasks[19], kMasks[20], kMasks[21], kMasks[22], kMasks[23],
    kMasks[24],               kMasks[25], kMasks[26], kMasks[27], kMasks[28], kMasks[29],
    kMasks[30],               kMasks[31], kMasks[32], kMasks[33],
};

bool typeWalk(int32_t c, int32_t expected) { return c != 0 && walk(c, expected); }

int32_t typeValue(int32_t c) { return c > 0 && c < 26 ? kTypeValue[c] : 0; }

} // namespace nyxpi
