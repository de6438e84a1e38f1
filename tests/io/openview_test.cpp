// Opening a view by library, cell and view name: stored views in the mode asked, libraries found
// or made known as the library open does, and the failure codes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "utils/nyx.h"
#include "common/modes.h"

namespace {

#define EXPECT_CODE(call, code) do { (void)(call); EXPECT_EQ(e, code) << #call; } while (0)

// A saved library "olib" with cell "c" and netlist view "v" holding net "n", then a fresh
// session, in which the library is known from the current directory but not opened.
struct OpenView : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        cfiOID lib = cfidrPICreateLib("olib", &e);
        cfiOID cell = cfidrLibCreateCell(lib, "c", &e);
        cfiOID v = cfidrCellCreateNetlistView(cell, "v", &e);
        cfidrNetlistViewCreateNetScalar(v, "n", &e);
        cfidrLibSave(lib, &e);
        ASSERT_EQ(e, 0);
        std::ofstream("olib/c/schematic.sch") << "made by another tool";
        std::ofstream("olib/c/bad.nyxNetlistView") << "not a view file";
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
    }
    void TearDown() override {
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }
    cfidrErrorT e = 0;
};

} // namespace

TEST_F(OpenView, StoredViewsOpenInTheModeAsked) {
    cfiOID v = cfidrPIOpenView("olib", "c", "v", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(v.tag, 2u * cfidrNetlistViewType);
    EXPECT_EQ(cfidrObjectGetObjectType(v, &e), cfidrNetlistViewType);
    EXPECT_NE(cfidrNetlistViewFindNetByName(v, "n", &e).object, 0u);
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(v, "m", &e), cfidrErrNotOpenForUpdate);
    // Cell and view names compare without regard to case; the same view opens for update.
    cfiOID same = cfidrPIOpenView("olib", "C", "V", cfidrUpdateMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(cfidrObjectIsSame(same, v, &e));
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(v, "m", &e), 0);
    // Opening the view opened the library for the caller, in the mode asked first.
    cfiOID lib = cfidrCellGetOwner(cfidrViewGetOwner(v, &e), &e);
    EXPECT_CODE(cfidrLibCreateCell(lib, "c2", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrPIOpenLib("olib", cfidrUpdateMode, &e), cfidrErrLibAlreadyOpen);
    EXPECT_CODE(cfidrLibCreateCell(lib, "c2", &e), 0);
    // A library the caller opened keeps its mode: the view opens for update, the library stays
    // read-only.
    EXPECT_CODE(cfidrPIOpenLib("olib", cfidrReadMode, &e), cfidrErrLibAlreadyOpen);
    EXPECT_CODE(cfidrPIOpenView("olib", "c", "v", cfidrUpdateMode, &e), 0);
    EXPECT_CODE(cfidrLibCreateCell(lib, "c3", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrNetlistViewCreateNetScalar(v, "k", &e), 0);
}

TEST_F(OpenView, LibrariesNotYetKnownAreMadeKnownAsTheLibraryOpenDoes) {
    // A library directory that appeared after the session started.
    ASSERT_EQ(std::rename("olib", "later"), 0);
    cfiOID v = cfidrPIOpenView("later", "c", "v", cfidrUpdateMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_NE(cfidrNetlistViewFindNetByName(v, "n", &e).object, 0u);
    cfiOID lib = cfidrCellGetOwner(cfidrViewGetOwner(v, &e), &e);
    EXPECT_STREQ(cfidrNamedObjectGetName(lib, &e), "later");
    EXPECT_CODE(cfidrLibCreateCell(lib, "c2", &e), 0);
    EXPECT_CODE(cfidrPIOpenLib("later", cfidrUpdateMode, &e), cfidrErrLibAlreadyOpen);
    // A view created in memory and never saved is found in its cell.
    cfiOID fresh = cfidrCellCreateNetlistView(cfidrLibFindCellByName(lib, "c", &e), "fresh", &e);
    EXPECT_TRUE(
        cfidrObjectIsSame(cfidrPIOpenView("later", "c", "fresh", cfidrReadMode, &e), fresh, &e));
}

TEST_F(OpenView, FailureCodes) {
    EXPECT_CODE(cfidrPIOpenView("olib", "c", "v", 3, &e), cfidrErrBadAccessMode);
    EXPECT_CODE(cfidrPIOpenView(nullptr, "c", "v", cfidrReadMode, &e), cfidrErrBadName);
    EXPECT_CODE(cfidrPIOpenView("olib", "", "v", cfidrReadMode, &e), cfidrErrBadName);
    EXPECT_CODE(cfidrPIOpenView("olib", "c", "bad\x01", cfidrReadMode, &e), cfidrErrBadName);
    EXPECT_CODE(cfidrPIOpenView("nolib", "c", "v", cfidrReadMode, &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrPIOpenView("olib", "nocell", "v", cfidrReadMode, &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrPIOpenView("olib", "c", "noview", cfidrReadMode, &e), cfidrErrNotFound);
    // A file of another tool is no stored view (compiling it on open comes with the compilers).
    EXPECT_CODE(cfidrPIOpenView("olib", "c", "schematic", cfidrReadMode, &e), cfidrErrNotFound);
    // A damaged stored view: nothing is handed out, and the view is read again next time.
    cfiOID bad = cfidrPIOpenView("olib", "c", "bad", cfidrUpdateMode, &e);
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_EQ(bad.object, 0u);
    EXPECT_CODE(cfidrPIOpenView("olib", "c", "bad", cfidrUpdateMode, &e), cfidrErrInternal);
    // Failures hand nothing out; the good view still opens.
    EXPECT_CODE(cfidrPIOpenView("olib", "c", "v", cfidrReadMode, &e), 0);
}
