// Opening views through a compiler process that misbehaves: every failure leaves no view in the
// cell, no child behind, and reports 4 or 27; a well-behaved start afterwards compiles the view.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "compiler/open_testutil.h"
#include "compiler/process_testutil.h"

using opentest::answer;
using opentest::viewNames;

namespace {

struct FakeOpen : opentest::Session {
    void SetUp() override {
        opentest::Session::SetUp();
        proctest::fakeEnvironment();
        setenv("NYX_COMPILER_TIMEOUT", "1", 1);
        rules(std::string("fake ") + FAKE_COMPILER_PATH + "\n");
        cellFile("c", "adder.fake", "");
        opentest::writeFile(opentest::dir() + "/adder.reply", answer("c", "adder", "good"));
    }
};

} // namespace

TEST_F(FakeOpen, EveryMisbehaviourLeavesNoViewAndNoChild) {
    restart();
    for (const char *mode : {"exit-at-start", "die-after-view", "die-mid-stream", "hang", "garbage",
                             "absurd-length"}) {
        proctest::fakeMode(mode);
        testing::internal::CaptureStderr();
        cfiOID v = open("adder");
        const cfidrErrorT err = e;
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(v.object, 0u) << mode;
        EXPECT_TRUE(err == cfidrErrInternal || err == cfidrErrNotFound) << mode << ": " << err;
        EXPECT_EQ(viewNames(cell()), std::vector<std::string>{}) << mode;
        EXPECT_EQ(proctest::children().zombies, 0) << mode;
    }
    // The compiler behaves again: the next open starts it anew and compiles.
    proctest::fakeMode("");
    cfiOID v = open("adder");
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(hasNet(v, "good"));
    EXPECT_EQ(viewNames(cell()), std::vector<std::string>{"adder"});
    cfidrPIQuit(&e);
    EXPECT_EQ(proctest::children().all, 0);
}

TEST_F(FakeOpen, ListingTheViewsStartsNoCompiler) {
    restart();
    EXPECT_EQ(viewNames(cell()), std::vector<std::string>{});
    EXPECT_EQ(proctest::fakeStarts(), 0);
    // A find compiles (read mode), as an open does: one start.
    EXPECT_NE(cfidrCellFindViewByName(cell(), "adder", &e).object, 0u);
    EXPECT_EQ(proctest::fakeStarts(), 1);
}
