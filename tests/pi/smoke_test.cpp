#include <gtest/gtest.h>
#include "pi/pi.h"
TEST(PiSmoke, Init) { cfidrErrorT e = 1; cfidrPIInit(&e); EXPECT_EQ(e, 0); cfidrPIQuit(&e); }
