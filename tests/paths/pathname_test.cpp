// The exported path-name conversions: results as returned strings, error codes for failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "cfidr.h"
#include "common/test_env.h"
#include "nyxdr.h"

namespace {

TEST(PathnameInterface, ConvertsThroughTheLocationMapAndReportsFailures) {
    const std::string map = nyxtest::testDirectory() + "/map";
    std::ofstream(map) << "ZIL_LOCATION_MAP_2 force\n$P /p\n";
    setenv("ZIL_LOCATION_MAP", map.c_str(), 1);
    cfidrErrorT err = -1;
    EXPECT_STREQ(nyxdrPIGetHardPathname("$P/x", &err), "/p/x");
    EXPECT_EQ(err, 0);
    EXPECT_STREQ(nyxdrPIGetSoftPathname("/p/x", &err), "$P/x");
    EXPECT_EQ(err, 0);
    EXPECT_STREQ(nyxdrPIGetHardPathname("sub", &err), (nyxtest::testDirectory() + "/sub").c_str());

    struct Failure {
        bool hard;
        const char *path;
        cfidrErrorT code;
        const char *message;
    } failures[] = {
        {true, nullptr, 14, ""},
        {true, "", 14, ""},
        {false, "", 14, "Error:  Syntax error in hard name \"\".\n"},
        {true, "$UNSET_VAR/x", 27, "Error:  Undefined environment variable \"UNSET_VAR\" in soft name \"$UNSET_VAR/x\".\n"},
        {false, "$Q/x", 27, "Error:  Unknown soft name \"$Q/x\".\n"},
        {false, "/q/x", 27, "Error:  Unknown hard name \"/q/x\".\n"},
    };
    for (const Failure &f : failures) {
        testing::internal::CaptureStderr();
        const char *result = f.hard ? nyxdrPIGetHardPathname(f.path, &err) : nyxdrPIGetSoftPathname(f.path, &err);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), f.message);
        EXPECT_STREQ(result, "");
        EXPECT_EQ(err, f.code) << (f.path ? f.path : "(null)");
    }
    // A null error pointer is tolerated, and the map outlives a release of the library.
    EXPECT_STREQ(nyxdrPIGetHardPathname("$P", nullptr), "/p");
    cfidrPIQuit(&err);
    EXPECT_STREQ(nyxdrPIGetHardPathname("$P/y", &err), "/p/y");
    EXPECT_EQ(err, 0);
}

}  // namespace
