// Option bits from the environment and the fix switches.
#include <gtest/gtest.h>

#include <cstdlib>

#include "utils/settings.h"

using namespace nyxSettings;

TEST(Settings, EnvironmentSetsOptionBitsAndNeverClearsThem) {
    setenv("ZIL_NYX_CASE_SENSITIVE", "", 1);  // An empty value still counts as set.
    setOptionsFromEnvironment();
    EXPECT_TRUE(hasNameOption(kCaseSensitiveNames));
    EXPECT_FALSE(hasNameOption(kSchematicCompilerMode));
    unsetenv("ZIL_NYX_CASE_SENSITIVE");
    setOptionsFromEnvironment();
    EXPECT_TRUE(hasNameOption(kCaseSensitiveNames));
    setenv("ZIL_SVC_COMPILER", "1", 1);
    setOptionsFromEnvironment();
    EXPECT_TRUE(hasNameOption(kSchematicCompilerMode));
}

TEST(Settings, FixSwitchesReadEnvironmentOnceAndReport) {
    setenv("NYX_DISABLE_DR119985", "x", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(nyxEnableDR("DR119985"));
    EXPECT_FALSE(nyxEnableDR(119985L));  // Remembered: no second message.
    EXPECT_TRUE(nyxEnableDR("124407"));
    EXPECT_TRUE(nyxEnableDR("0"));
    EXPECT_TRUE(nyxEnableDR("DRx12"));
    EXPECT_TRUE(nyxEnableDR(static_cast<const char *>(nullptr)));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "nyxDR: DR119985 has been DISABLED\n");

    // The answer is remembered: unsetting the variable changes nothing.
    unsetenv("NYX_DISABLE_DR119985");
    EXPECT_FALSE(nyxEnableDR("119985"));
    setenv("NYX_DISABLE_DR124407", "", 1);
    EXPECT_TRUE(nyxEnableDR("124407"));

    // Beyond 100 remembered numbers, further numbers count as enabled.
    for (int id = 1; id <= 120; ++id) nyxEnableDR(static_cast<long>(id));
    setenv("NYX_DISABLE_DR500000", "", 1);
    EXPECT_TRUE(nyxEnableDR(500000L));
}
