// Opening encapsulated views: what keeps the open from compiling (a running schematic
// compilation, a design configuration named like the view) and what reaches the compiler.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compiler.h"
#include "compiler/open_testutil.h"
#include "compiler/process_testutil.h"
#include "nyxdr.h"
#include "pi/pi.h"
#include "utils/settings.h"

namespace {

// The fake compiler serves view type "enc"; without an answer file it answers status 27 and
// "#nonetlist", so a start count tells whether an open reached it.
struct EncapsulatedOpen : opentest::Session {
    void SetUp() override {
        opentest::Session::SetUp();
        proctest::fakeEnvironment();
        rules(std::string("enc ") + FAKE_COMPILER_PATH + "\n");
        cellFile("c", "key.enc", "");
        restart();
        cellObj = nyxpi::object<nyxCell>(cell());
    }
    void TearDown() override {
        nyxSettings::clearNameOptionBits(nyxSettings::kSuppressDirectoryScan);
        opentest::Session::TearDown();
    }
    nyxObjRef openEncapsulated(const char *name) {
        e = 0;
        return nyxCompilerOpen::openEncapsulatedView(cellObj, name, cfidrReadMode, &e);
    }
    nyxCell *cellObj = nullptr;
};

} // namespace

TEST_F(EncapsulatedOpen, NothingCompilesDuringASchematicCompilation) {
    nyxSettings::setNameOptionBits(nyxSettings::kSuppressDirectoryScan);
    EXPECT_EQ(openEncapsulated("key").obj, nullptr);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(proctest::fakeStarts(), 0);
    // The bit gone, the same open reaches the compiler, whose status is the open's error.
    nyxSettings::clearNameOptionBits(nyxSettings::kSuppressDirectoryScan);
    EXPECT_EQ(openEncapsulated("key").obj, nullptr);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(proctest::fakeStarts(), 1);
}

TEST_F(EncapsulatedOpen, DesignConfigurationNamedLikeTheViewSkipsTheRule) {
    cfiOID root = cfidrCellCreateNetlistView(cell(), "root", &e);
    cfiOID config = nyxdrCellCreateDesignConfig(cell(), "KEY", root, 0, &e);
    ASSERT_NE(config.object, 0u);
    EXPECT_EQ(openEncapsulated("key").obj, nullptr);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(proctest::fakeStarts(), 0);
    // A netlist open of the same name still compiles (the fake's 27 with no view).
    EXPECT_EQ(open("key").object, 0u);
    EXPECT_EQ(proctest::fakeStarts(), 1);
}

TEST_F(EncapsulatedOpen, GeneralOpenClearsTheSchematicCompilationBit) {
    nyxSettings::setNameOptionBits(nyxSettings::kSuppressDirectoryScan);
    EXPECT_EQ(open("missing").object, 0u);
    EXPECT_FALSE(nyxSettings::hasNameOption(nyxSettings::kSuppressDirectoryScan));
}
