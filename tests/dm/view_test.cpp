// Netlist views: creation in cells, views listed from cell directories, rename, purge, destroy,
// the edit bookkeeping, the size hint, the tolerant port lookup and the bus-name splitter.
#include <fstream>
#include <sys/stat.h>

#include "dm/netlist/busname.h"
#include "dm/port_fixture.h"
#include "dm/netlist/netlist.h"
#include "nyxpriv.h"
#include "pi/pi.h"
#include "utils/settings.h"
#include "dm/dm_checks.h"
#include "common/modes.h"

using porttest::Session;

namespace {

std::string viewNames(cfiOID cell) {
    return dmtest::iterNames(dmtest::ok(cfidrCellGetViews, cell), cfidrIterNextView);
}

} // namespace

TEST_F(Session, ViewCreationChecksAndStoredName) {
    cfiOID v = cfidrCellCreateNetlistView(cell, "a\tb\nc", &e);
    ASSERT_EQ(e, 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(v, &e), "a/b.c");
    EXPECT_TRUE(cfidrObjectIsSame(cfidrViewGetOwner(v, &e), cell, &e));

    EXPECT_CODE(cfidrCellCreateNetlistView(cell, "netlist", &e),
                cfidrErrAlreadyExists); // made by the fixture
    EXPECT_CODE(cfidrCellCreateNetlistView(cell, "", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrCellCreateNetlistView(lib, "x", &e), cfidrErrWrongType);

    // Renaming needs option bit 0x80000.
    EXPECT_CODE(cfidrNamedObjectSetName(view, "other", &e), cfidrErrIllegalOperation);
    nyxSettings::setNameOptionBits(nyxSettings::kEdif);
    EXPECT_CODE(cfidrNamedObjectSetName(view, "other", &e), 0);
    nyxSettings::clearNameOptionBits(nyxSettings::kEdif);
    EXPECT_STREQ(cfidrNamedObjectGetName(view, &e), "other");
    EXPECT_TRUE(cfidrObjectIsSame(cfidrCellFindViewByName(cell, "other", &e), view, &e));

    // A view file on disk refuses a new view of that name.
    cfidrLibSave(lib, &e);
    std::string dir = nyxpi::object<nyxCell>(cell)->pathnameObj();
    std::ofstream(dir + "/ondisk.nyxNetlistView") << "x";
    EXPECT_CODE(cfidrCellCreateNetlistView(cell, "ondisk", &e), cfidrErrAlreadyExists);
}

TEST(Views, ListedViewWhoseFileCannotBeReadStaysListedUntilDestroyed) {
    cfidrErrorT e = 0;
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("vlib", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "c", &e);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    std::string dir = nyxpi::object<nyxCell>(cell)->pathnameObj();
    std::ofstream(dir + "/stored.nyxNetlistView") << "x";
    cfidrPIQuit(&e);

    cfidrPIInit(&e);
    lib = cfidrPIOpenLib("vlib", cfidrUpdateMode, &e);
    cell = cfidrLibFindCellByName(lib, "c", &e);
    ASSERT_EQ(e, 0);
    // Listed, but its file is no view file: every find reads it again and reports 4.
    EXPECT_CODE(cfidrCellFindViewByName(cell, "stored", &e), cfidrErrInternal);
    EXPECT_CODE(cfidrCellFindViewByName(cell, "stored", &e), cfidrErrInternal);
    // Trusted program mode hands it out unread; destroying it removes its file.
    nyxdrPISetTrustedProgramMode(1, &e);
    cfiOID v = cfidrCellFindViewByName(cell, "stored", &e);
    ASSERT_EQ(e, 0);
    EXPECT_CODE(cfidrObjectDestroy(v, &e), 0);
    nyxdrPISetTrustedProgramMode(0, &e);
    struct stat st;
    EXPECT_NE(stat((dir + "/stored.nyxNetlistView").c_str(), &st), 0);
    EXPECT_EQ(viewNames(cell), "");
    cfidrPIQuit(&e);
}

TEST_F(Session, PurgeAndDestroyWithdrawEveryIdentifier) {
    cfiOID n = cfidrNetlistViewCreateNetScalar(view, "n", &e);
    cfiOID p = port(view, 's', "p");
    cfiOID prop = cfidrObjectCreateProp(n, "w", &e);
    ASSERT_EQ(e, 0);
    EXPECT_CODE(cfidrViewSave(view, &e), 0);
    EXPECT_CODE(cfidrViewPurge(view, &e), 0);
    for (cfiOID id : {view, n, p, prop}) EXPECT_FALSE(cfidrObjectIsUsable(id, &e));
    EXPECT_EQ(viewNames(cell), "netlist");  // saved: it stays listed, unread

    cfiOID v2 = newView("gone");
    cfiOID n2 = cfidrNetlistViewCreateNetBus(v2, "b(1:0)", 1, -1, &e);
    // A read-only library refuses the destruction.
    nyxtest::setLibMode(cfidrCellGetOwner(cell, &e), cfidrReadMode);
    EXPECT_CODE(cfidrObjectDestroy(v2, &e), cfidrErrNotOpenForUpdate);
    EXPECT_TRUE(cfidrObjectIsUsable(n2, &e));
    nyxtest::setLibMode(cfidrCellGetOwner(cell, &e), cfidrUpdateMode);
    EXPECT_CODE(cfidrObjectDestroy(v2, &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(n2, &e));
}

TEST_F(Session, EditsRaiseTheViewVersionAndReadsDoNot) {
    auto *v = nyxpi::object<nyxNetlistView>(view);
    uint32_t before = nyxSettings::getViewVersion();
    int32_t version = v->d_version;
    cfiOID n = cfidrNetlistViewCreateNetScalar(view, "n", &e);
    EXPECT_EQ(nyxSettings::getViewVersion(), before + 1);
    cfidrNetlistViewFindNetByName(view, "n", &e);
    cfidrNamedObjectGetName(n, &e);
    EXPECT_EQ(nyxSettings::getViewVersion(), before + 1);
    // A property change on a net is an edit of its view.
    cfiOID prop = cfidrObjectCreateProp(n, "w", &e);
    cfidrPropSetInt32Value(prop, 3, &e);
    EXPECT_EQ(v->d_version, version + 3);
    EXPECT_EQ(v->d_changed, 1);

    // The size hint grows the heaps at once; 0 changes nothing; other classes and null are refused.
    EXPECT_CODE(nyxprivPIViewSizeHint(view, 0, &e), 0);
    size_t had = v->blockHeap()->bytesObtained();
    EXPECT_CODE(nyxprivPIViewSizeHint(view, 200000, &e), 0);
    EXPECT_GT(v->blockHeap()->bytesObtained(), had);
    EXPECT_CODE(nyxprivPIViewSizeHint(lib, 10, &e), cfidrErrWrongType);
    EXPECT_CODE(nyxprivPIViewSizeHint(cfiOID{0, 0}, 10, &e), cfidrErrObjectUnusable);
}

TEST_F(Session, NearestNameIgnoresCaseAndMatchesBusBases) {
    auto *v = nyxpi::object<nyxNetlistView>(view);
    auto find = [&](const char *name) -> std::string {
        cfidrErrorT err = 0;
        nyxObjRef r = nyxViewOps::findPortByNearestName(v, name, &err);
        if (err != 0) return std::to_string(err);
        return static_cast<nyxPort *>(r.obj)->name() + std::string(":") + std::to_string(r.code);
    };
    EXPECT_EQ(find("clk"), "27");  // no ports at all
    port(view, 's', "clk");
    port(view, 'b', "data(7:0)");
    port(view, 'g', "grp{a,b}");
    port(view, 's', "q[3]");
    EXPECT_CODE(cfidrNetlistViewFindPortByName(view, "CLK", &e), cfidrErrNotFound);
    EXPECT_EQ(find("CLK"), "clk:5");
    EXPECT_EQ(find("DATA(3:0)"), "data(7:0):4");
    EXPECT_EQ(find("Q[3]"), "q[3]:5");  // a scalar named like the whole request
    EXPECT_EQ(find("GRP{x}"), "grp{a,b}:3");
    EXPECT_EQ(find("data(7:0"), "27");  // malformed
    EXPECT_EQ(find("nothing"), "27");
    EXPECT_EQ(find(""), "14");
}

TEST(BusNames, SplitterFormsAndIndexLists) {
    struct Case {
        const char *name;
        nyxBusName::Form form;
        const char *base, *subscript;
    } cases[] = {
        {"plain", nyxBusName::kPlain, "", ""},
        {"d(7:0)", nyxBusName::kSubscript, "d", "(7:0)"},
        {"d[ 7 : 0 ]", nyxBusName::kSubscript, "d", "[7:0]"},
        {"d<1>", nyxBusName::kSubscript, "d", "<1>"},
        {"d(1))", nyxBusName::kMoreClosing, "", ""},
        {"d((1)", nyxBusName::kMoreOpening, "", ""},
        {"x{a,b}", nyxBusName::kGroup, "x", "{a,b}"},
        {"{a,b}", nyxBusName::kGroup, "", "{a,b}"},
        {"a)b{c}", nyxBusName::kBadGroup, "", ""},
        {"(x", nyxBusName::kPlain, "", ""},
    };
    for (const Case &c : cases) {
        nyxBusName::Split s = nyxBusName::split(c.name);
        EXPECT_EQ(s.form, c.form) << c.name;
        EXPECT_EQ(std::string(s.base), c.base) << c.name;
        EXPECT_EQ(s.subscript, c.subscript) << c.name;
    }
    EXPECT_EQ(nyxBusName::split(nullptr).form, nyxBusName::kPlain);
    int32_t end = 99;
    EXPECT_TRUE(nyxBusName::busEnd("d(7:0)", &end));
    EXPECT_EQ(end, 0);
    EXPECT_TRUE(nyxBusName::busEnd("d[0:3,8]", &end));
    EXPECT_EQ(end, 8);
    EXPECT_TRUE(nyxBusName::busEnd("d<-2>", &end));
    EXPECT_EQ(end, -2);
    for (const char *bad : {"d", "d()", "d(a:b)", "d(1,)", "d(99999999999)", "{a,b}"}) {
        EXPECT_FALSE(nyxBusName::busEnd(bad, &end)) << bad;
    }
}
