// Encapsulated views through the interface: the creation's checks in order, what the view
// functions do with them, save, purge and reload with properties, destroy, the replace flag, and
// the hard and soft forms of paths.
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "common/modes.h"
#include "common/test_env.h"
#include "dm/dm_checks.h"
#include "dm/store/store.h"
#include "nyxdr.h"
#include "pi/pi.h"

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

struct EncView : testing::Test {
    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
        lib = cfidrPICreateLib("elib", &e);
        cell = cfidrLibCreateCell(lib, "ecell", &e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override {
        nyxtest::clearTrustedModes();
        cfidrPIQuit(&e);
    }
    std::string cellDir() { return nyxtest::testDirectory() + "/elib/ecell/"; }
    cfiOID create(const char *name, const char *type = "symbol", const char *key = "k") {
        return cfidrCellCreateEncapsulatedView(cell, name, type, key, &e);
    }

    cfidrErrorT e = 0;
    cfiOID lib{}, cell{};
};

} // namespace

TEST_F(EncView, CreationChecksRunInOrder) {
    dmtest::ok(cfidrCellCreateNetlistView, cell, "netlist");
    EXPECT_CODE(cfidrCellCreateEncapsulatedView(lib, "x", "t", "k", &e), cfidrErrWrongType);
    // Each call breaks every later rule too: the first broken rule is the one reported.
    EXPECT_CODE(create(nullptr, nullptr, nullptr), cfidrErrBadName);
    EXPECT_CODE(create("bad\x01", nullptr, nullptr), cfidrErrBadName);
    EXPECT_CODE(create(std::string(300, 'n').c_str(), "t", "k"), cfidrErrBadName);
    EXPECT_CODE(create("NETLIST", nullptr, nullptr), cfidrErrBadViewType);
    EXPECT_CODE(create("NETLIST", "CFIDR_NETLISTVIEW", nullptr), cfidrErrBadViewType);
    EXPECT_CODE(create("NETLIST", "symbol", nullptr), cfidrErrBadKey);
    EXPECT_CODE(create("NETLIST"), cfidrErrAlreadyExists);
    cfiOID v = create("sym\tbol\nx");
    ASSERT_EQ(e, 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(v, &e), "sym/bol.x");
    EXPECT_EQ(cfidrObjectGetObjectType(v, &e), cfidrEncapsulatedViewType);
    EXPECT_CODE(create("SYM/BOL.X"), cfidrErrAlreadyExists);
    // A stored file of that name refuses it too, in either file form.
    dmtest::ok(cfidrLibSave, lib);
    std::ofstream(cellDir() + "ondisk.nyxEncapsulatedView") << "x";
    EXPECT_CODE(create("ondisk"), cfidrErrAlreadyExists);
    EXPECT_TRUE(create("other").object != 0);
    // A read-only library is refused before anything else is looked at.
    nyxtest::setLibMode(lib, cfidrReadMode);
    EXPECT_CODE(create(nullptr, nullptr, nullptr), cfidrErrNotOpenForUpdate);
}

TEST_F(EncView, KeyTypeAndPropertiesRoundTripThroughSavePurgeAndReload) {
    cfiOID v = create("sym", "symbol", "key one");
    cfiOID p = dmtest::ok(cfidrObjectCreateProp, v, "width");
    dmtest::ok(cfidrPropSetInt32Value, p, 7);
    cfiOID s = dmtest::ok(cfidrObjectCreateProp, v, "label");
    dmtest::ok(cfidrPropSetStringValue, s, "hello");
    cfiOID f = dmtest::ok(cfidrObjectCreateProp, v, "scale");
    dmtest::ok(cfidrPropSetFloat32Value, f, 0.5f);
    cfiOID onProp = dmtest::ok(cfidrObjectCreateProp, s, "unit");
    dmtest::ok(cfidrPropSetBooleanValue, onProp, cfiBooleanEnum{1});
    EXPECT_TRUE(cfidrObjectIsSame(dmtest::ok(cfidrPropGetOwner, p), v, &e));
    dmtest::ok(cfidrViewSave, v);
    EXPECT_EQ(slurp(cellDir() + "sym.nyxEncapsulatedView").substr(0, 1), " ");

    dmtest::ok(cfidrViewPurge, v);
    EXPECT_FALSE(cfidrObjectIsUsable(v, &e));
    EXPECT_CODE(cfidrEncapsulatedViewGetKey(p, &e), cfidrErrObjectUnusable);
    cfiOID again = dmtest::ok(cfidrCellFindViewByName, cell, "SYM");
    EXPECT_EQ(cfidrObjectGetObjectType(again, &e), cfidrEncapsulatedViewType);
    EXPECT_STREQ(cfidrEncapsulatedViewGetKey(again, &e), "key one");
    EXPECT_STREQ(cfidrViewGetViewType(again, &e), "symbol");
    EXPECT_TRUE(cfidrObjectIsSame(cfidrViewGetOwner(again, &e), cell, &e));
    EXPECT_EQ(cfidrPropGetInt32Value(dmtest::ok(cfidrObjectFindPropByName, again, "width"), &e), 7);
    cfiOID label = dmtest::ok(cfidrObjectFindPropByName, again, "label");
    EXPECT_STREQ(cfidrPropGetStringValue(label, &e), "hello");
    EXPECT_EQ(cfidrPropGetFloat32Value(dmtest::ok(cfidrObjectFindPropByName, again, "scale"), &e), 0.5f);
    EXPECT_EQ(cfidrPropGetBooleanValue(dmtest::ok(cfidrObjectFindPropByName, label, "unit"), &e), 1);

    // A new session lists it among the cell's views and opens it by name with its class.
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
    cfiOID opened = cfidrPIOpenView("elib", "ecell", "sym", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(opened, &e), cfidrEncapsulatedViewType);
    EXPECT_STREQ(cfidrEncapsulatedViewGetKey(opened, &e), "key one");
    cfiOID c = cfidrViewGetOwner(opened, &e);
    EXPECT_EQ(dmtest::iterNames(dmtest::ok(cfidrCellGetViews, c), cfidrIterNextView), "sym");
}

TEST_F(EncView, ViewFunctionsTakeItAndItsOwnFunctionsRefuseOthers) {
    cfiOID net = dmtest::ok(cfidrCellCreateNetlistView, cell, "netlist");
    EXPECT_STREQ(cfidrEncapsulatedViewGetKey(net, &e), "CFIDR_UNDEFINED_KEY");
    EXPECT_EQ(e, cfidrErrWrongType);
    nyxtest::setTrustedModes(true, false);
    EXPECT_STREQ(cfidrEncapsulatedViewGetKey(net, &e), "CFIDR_UNDEFINED_KEY");
    EXPECT_EQ(e, cfidrErrWrongType);
    nyxtest::clearTrustedModes();

    cfiOID v = create("sym");
    EXPECT_CODE(cfidrNamedObjectSetName(v, "renamed", &e), cfidrErrIllegalOperation);
    EXPECT_STREQ(cfidrNamedObjectGetName(v, &e), "sym");
    dmtest::ok(cfidrLibSave, lib);
    const std::string file = cellDir() + "sym.nyxEncapsulatedView";
    ASSERT_TRUE(exists(file));
    // Destroying needs a library open for update; then the file goes with the view.
    nyxtest::setLibMode(lib, cfidrReadMode);
    EXPECT_CODE(cfidrObjectCreateProp(v, "p", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrObjectDestroy(v, &e), cfidrErrNotOpenForUpdate);
    EXPECT_TRUE(exists(file));
    nyxtest::setLibMode(lib, cfidrUpdateMode);
    EXPECT_CODE(cfidrObjectDestroy(v, &e), 0);
    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(cfidrObjectIsUsable(v, &e));
    EXPECT_CODE(cfidrCellFindViewByName(cell, "sym", &e), cfidrErrNotFound);
}

TEST_F(EncView, DamagedFileIsReportedAndNeverReplacedBySave) {
    dmtest::ok(cfidrLibSave, lib);
    // A good header and a body cut short; and a file of another format.
    const std::string cut = " \x14\x5A\x4C\x39\x33\x10\x11\x45\x31s";
    std::ofstream(cellDir() + "cut.nyxEncapsulatedView", std::ios::binary) << cut;
    std::ofstream(cellDir() + "alien.nyxEncapsulatedView", std::ios::binary) << " \x11\x01\x10\x11\x45";
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
    cell = cfidrLibFindCellByName(cfidrPIOpenLib("elib", cfidrUpdateMode, &e), "ecell", &e);
    testing::internal::CaptureStderr();
    EXPECT_CODE(cfidrCellFindViewByName(cell, "cut", &e), cfidrErrInternal);
    // (The cell read before it may report that there is no compiler rules file.)
    const std::string said = testing::internal::GetCapturedStderr();
    const std::string ioError = "I/O Error while reading view data.\n";
    EXPECT_TRUE(said.size() >= ioError.size() && said.compare(said.size() - ioError.size(), ioError.size(), ioError) == 0) << said;
    EXPECT_CODE(cfidrCellFindViewByName(cell, "alien", &e), cfidrErrInternal);
    // Trusted program mode hands the views out unread; their save reads them and refuses.
    nyxtest::setTrustedModes(true, false);
    cfiOID v = cfidrCellFindViewByName(cell, "alien", &e);
    EXPECT_STREQ(cfidrEncapsulatedViewGetKey(v, &e), "CFIDR_UNDEFINED_KEY");
    EXPECT_EQ(e, cfidrErrInternal);
    EXPECT_CODE(cfidrViewSave(v, &e), cfidrErrInternal);
    nyxtest::clearTrustedModes();
    EXPECT_CODE(cfidrLibSave(cfidrCellGetOwner(cell, &e), &e), 0);
    EXPECT_EQ(slurp(cellDir() + "cut.nyxEncapsulatedView"), cut);
    EXPECT_EQ(slurp(cellDir() + "alien.nyxEncapsulatedView"), " \x11\x01\x10\x11\x45");
}

TEST_F(EncView, SaveLeavesALinkPlantedAtTheTemporaryAndItsTargetAlone) {
    cfiOID v = create("sym");
    dmtest::ok(cfidrLibSave, lib);
    std::ofstream(nyxtest::testDirectory() + "/precious") << "precious";
    const std::string file = cellDir() + "sym.nyxEncapsulatedView";
    ASSERT_EQ(symlink((nyxtest::testDirectory() + "/precious").c_str(), (file + ".ed").c_str()), 0);
    dmtest::ok(cfidrObjectCreateProp, v, "p");
    dmtest::ok(cfidrViewSave, v);
    EXPECT_EQ(slurp(nyxtest::testDirectory() + "/precious"), "precious");
    EXPECT_FALSE(exists(file + ".ed"));
    struct stat st;
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_NE(slurp(file).find('p'), std::string::npos);
}

TEST_F(EncView, ReplaceFlagTakesTheEncapsulatedViewOfTheNameAndNoOtherKind) {
    cfiOID v = create("sym", "symbol", "old");
    dmtest::ok(cfidrObjectCreateProp, v, "kept");
    dmtest::ok(cfidrCellCreateNetlistView, cell, "netlist");
    nyx::ReplaceScope replace;
    cfiOID same = create("SYM", "CFIDR_NETLISTVIEW", "new");
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(cfidrObjectIsSame(same, v, &e));
    EXPECT_STREQ(cfidrEncapsulatedViewGetKey(v, &e), "new");
    EXPECT_CODE(cfidrObjectFindPropByName(v, "kept", &e), 0);
    EXPECT_CODE(create("netlist"), cfidrErrAlreadyExists);
    EXPECT_CODE(create("x", "t", nullptr), cfidrErrBadKey);
    EXPECT_EQ(dmtest::iterNames(dmtest::ok(cfidrCellGetViews, cell), cfidrIterNextView), "sym netlist");
}

TEST(EncViewPaths, HardAndSoftPathsFollowTheLibraryMapAndTheLocationMap) {
    cfidrErrorT e = 0;
    const std::string map = nyxtest::testDirectory() + "/map";
    std::ofstream(map) << "ZIL_LOCATION_MAP_1\n$T /tmp_mnt/data\n$P /proj\n";
    setenv("ZIL_LOCATION_MAP", map.c_str(), 1);
    cfidrPIInit(&e);
    EXPECT_STREQ(nyxDMUtil::getHardPath("$T/f"), "/data/f");
    EXPECT_STREQ(nyxDMUtil::getHardPath("$P/f"), "/proj/f");
    EXPECT_STREQ(nyxDMUtil::getSoftPath("/proj/f"), "$P/f");
    EXPECT_STREQ(nyxDMUtil::getSoftPath("/tmp_mnt/other/f"), "/other/f");
    EXPECT_STREQ(nyxDMUtil::getHardPath("/tmp_mnt"), "/tmp_mnt");
    // A conversion that fails keeps the input.
    testing::internal::CaptureStderr();
    EXPECT_STREQ(nyxDMUtil::getHardPath("$NOT_A_NAME/f"), "$NOT_A_NAME/f");
    testing::internal::GetCapturedStderr();
    // The library map "." takes every path as it is.
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    nyxDMUtil::resetLibraryMap();
    EXPECT_STREQ(nyxDMUtil::getHardPath("$P/f"), "$P/f");
    EXPECT_STREQ(nyxDMUtil::getSoftPath("/tmp_mnt/x"), "/tmp_mnt/x");
    cfidrPIQuit(&e);
}
