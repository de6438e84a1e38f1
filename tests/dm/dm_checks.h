// Helpers shared by the dm tests: error-code checks that read the test's own `e`, a runner that
// expects a call to succeed, and the names an iterator yields.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "cfidr.h"

#define EXPECT_CODE(call, code) do { (void)(call); EXPECT_EQ(e, code) << #call; } while (0)
#define ASSERT_CODE(call, code) do { (void)(call); ASSERT_EQ(e, code) << #call; } while (0)

namespace dmtest {

// Calls f(args..., &err) and expects err to be 0; returns what f returned.
template <class F, class... A>
auto ok(F f, A... args) {
    cfidrErrorT err = -1;
    if constexpr (std::is_void_v<decltype(f(args..., &err))>) {
        f(args..., &err);
        EXPECT_EQ(err, 0);
    } else {
        auto r = f(args..., &err);
        EXPECT_EQ(err, 0);
        return r;
    }
}

// Names of what an iterator yields through `next`, blank separated; the iterator is freed.
inline std::string iterNames(cfidrIterT it, cfiOID (*next)(cfidrIterT, cfidrErrorT *)) {
    cfidrErrorT err = 0;
    std::string out;
    for (cfiOID x = next(it, &err); x.object != 0; x = next(it, &err)) {
        out += (out.empty() ? "" : " ") + std::string(cfidrNamedObjectGetName(x, &err));
    }
    EXPECT_EQ(err, 0);
    cfidrIterQuit(it, &err);
    return out;
}

} // namespace dmtest
