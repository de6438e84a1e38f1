// What the interface reads from records without opening what they name: an instance's describer
// record, a port instance's record port, a view's describer records, a cell's stored entries; and
// expressions evaluated with names given as "NAME=VALUE".
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "nyxdw.h"
#include "nyxpriv.h"

namespace {

struct Records : testing::Test {
    cfidrErrorT e = 0;

    void SetUp() override {
        setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
        cfidrPIInit(&e);
    }
    void TearDown() override { cfidrPIQuit(&e); }

    // Saves library "rlib": cell "top" with view "netlist" holding u1 and u2 of leaf/sym and u3
    // of other/sym; then ends the session and starts a new one.
    void saveLibrary() {
        cfiOID lib = cfidrPICreateLib("rlib", &e);
        cfiOID top = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "top", &e), "netlist", &e);
        cfiOID leaf = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "leaf", &e), "sym", &e);
        cfiOID bus = cfidrNetlistViewCreatePortBus(leaf, "x", -1, 1, -1, &e);
        cfidrPortBundleCreatePortScalar(bus, "x1", -1, cfidrOutputDirection, &e);
        cfidrPortBundleCreatePortScalar(bus, "x0", -1, cfidrOutputDirection, &e);
        cfiOID other = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "other", &e), "sym", &e);
        ASSERT_EQ(e, 0);
        cfidrNetlistViewCreateInst(top, leaf, "u1", &e);
        cfidrNetlistViewCreateInst(top, leaf, "u2", &e);
        cfidrNetlistViewCreateInst(top, other, "u3", &e);
        ASSERT_EQ(e, 0);
        cfidrLibSave(lib, &e);
        ASSERT_EQ(e, 0);
        cfidrPIQuit(&e);
        cfidrPIInit(&e);
    }

    cfiOID topView() {
        cfiOID lib = cfidrPIOpenLib("rlib", cfidrReadMode, &e);
        cfiOID cell = cfidrLibFindCellByName(lib, "top", &e);
        cfiOID view = cfidrCellFindViewByName(cell, "netlist", &e);
        EXPECT_EQ(e, 0);
        return view;
    }
};

TEST_F(Records, DescriberRecordReadWhenTheDescriberIsGone) {
    saveLibrary();
    ASSERT_GT(std::filesystem::remove_all("rlib/leaf"), 0u);
    cfiOID view = topView();
    cfiOID u1 = cfidrNetlistViewFindInstByName(view, "u1", &e);
    ASSERT_EQ(e, 0);
    cfidrInstGetDescriber(u1, &e);
    EXPECT_EQ(e, cfidrErrDescriberNotFound);
    EXPECT_STREQ(nyxdrInstGetDescriberLibName(u1, &e), "rlib");
    EXPECT_STREQ(nyxdrInstGetDescriberCellName(u1, &e), "leaf");
    EXPECT_STREQ(nyxdrInstGetDescriberViewName(u1, &e), "sym");
    EXPECT_GT(nyxdrInstGetDescriberVersion(u1, &e), 0);
    EXPECT_EQ(e, 0);
    // The record ports: the bus and, in its order, its members.
    cfiOID bus = nyxdrInstFindPortInstByPosition(u1, 0, &e);
    cfiOID member = nyxdrInstFindPortInstByPosition(u1, 2, &e);
    cfidrPortInstGetDescriberName(member, &e);
    EXPECT_EQ(e, cfidrErrDescriberNotFound);
    EXPECT_STREQ(nyxdrPortInstGetRecordName(bus, &e), "x");
    EXPECT_STREQ(nyxdrPortInstGetRecordName(member, &e), "x0");
    EXPECT_EQ(e, 0);
    // One record per describer in use, missing or not, each with the instances that use it.
    ASSERT_EQ(nyxdrNetlistViewGetDescriberCount(view, &e), 2);
    std::string seen;
    for (int32_t k = 0; k < 2; ++k) {
        seen += std::string(nyxdrNetlistViewGetDescriberLibName(view, k, &e)) + "/" +
                nyxdrNetlistViewGetDescriberCellName(view, k, &e) + "/" + nyxdrNetlistViewGetDescriberViewName(view, k, &e) +
                "=" + std::to_string(nyxdrNetlistViewGetDescriberInstCount(view, k, &e)) + " ";
    }
    EXPECT_EQ(e, 0);
    EXPECT_TRUE(seen == "rlib/leaf/sym=2 rlib/other/sym=1 " || seen == "rlib/other/sym=1 rlib/leaf/sym=2 ") << seen;
    EXPECT_STREQ(nyxdrNetlistViewGetDescriberCellName(view, 2, &e), "");
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(nyxdrNetlistViewGetDescriberInstCount(view, -1, &e), 0);
    EXPECT_EQ(e, cfidrErrNotFound);
}

// A record's count follows the instances that use it: deleting one counts it out.
TEST_F(Records, DescriberInstCountFollowsDeletions) {
    saveLibrary();
    cfiOID lib = cfidrPIOpenLib("rlib", cfidrUpdateMode, &e);
    cfiOID view = cfidrCellFindViewByName(cfidrLibFindCellByName(lib, "top", &e), "netlist", &e);
    cfidrObjectDestroy(cfidrNetlistViewFindInstByName(view, "u1", &e), &e);
    ASSERT_EQ(e, 0);
    long leafUses = -1, total = 0;
    for (int32_t k = 0; k < nyxdrNetlistViewGetDescriberCount(view, &e); ++k) {
        const int32_t n = nyxdrNetlistViewGetDescriberInstCount(view, k, &e);
        total += n;
        if (std::string(nyxdrNetlistViewGetDescriberCellName(view, k, &e)) == "leaf") leafUses = n;
    }
    EXPECT_EQ(e, 0);
    EXPECT_EQ(leafUses, 1);
    EXPECT_EQ(total, 2);
}

TEST_F(Records, RecordFunctionsRefuseOtherObjects) {
    cfiOID lib = cfidrPICreateLib("xlib", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "c", &e);
    cfiOID view = cfidrCellCreateNetlistView(cell, "v", &e);
    cfiOID net = cfidrNetlistViewCreateNetScalar(view, "n", &e);
    ASSERT_EQ(e, 0);
    EXPECT_STREQ(nyxdrInstGetDescriberLibName(net, &e), "");
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_EQ(nyxdrInstGetDescriberVersion(cfiOID{0, 0}, &e), 0);
    EXPECT_EQ(e, cfidrErrObjectUnusable);
    EXPECT_STREQ(nyxdrPortInstGetRecordName(view, &e), "");
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_EQ(nyxdrNetlistViewGetDescriberCount(cell, &e), 0);
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_STREQ(nyxdrNetlistViewGetDescriberLibName(cell, 0, &e), "");
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_EQ(nyxdrCellGetEntryCount(view, &e), 0);
    EXPECT_EQ(e, cfidrErrWrongType);
    EXPECT_EQ(nyxdrNetlistViewGetDescriberCount(view, &e), 0);
    EXPECT_EQ(e, 0);
}

TEST_F(Records, CellEntriesListWhatTheCellHoldsOnDisk) {
    saveLibrary();
    cfiOID lib = cfidrPIOpenLib("rlib", cfidrReadMode, &e);
    cfiOID top = cfidrLibFindCellByName(lib, "top", &e);
    ASSERT_EQ(e, 0);
    ASSERT_EQ(nyxdrCellGetEntryCount(top, &e), 1);
    EXPECT_STREQ(nyxdrCellGetEntryKind(top, 0, &e), "netlist view");
    EXPECT_STREQ(nyxdrCellGetEntryName(top, 0, &e), "netlist");
    EXPECT_EQ(e, 0);
    EXPECT_STREQ(nyxdrCellGetEntryName(top, 1, &e), "");
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_STREQ(nyxdrCellGetEntryKind(top, -1, &e), "");
    EXPECT_EQ(e, cfidrErrNotFound);
}

// The net total is what an iteration over all nets gives: every kind, deleted nets not, over
// more than one block of scalars.
TEST_F(Records, NetTotalCountsWhatTheIterationOverAllNetsGives) {
    cfiOID lib = cfidrPICreateLib("nlib", &e);
    cfiOID view = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "c", &e), "v", &e);
    cfidrNetlistViewCreateNetBundle(view, "b", &e);
    cfidrNetlistViewCreateNetBus(view, "d[1:0]", 1, -1, &e);
    for (int k = 0; k < 30; ++k) cfidrNetlistViewCreateNetScalar(view, ("n" + std::to_string(k)).c_str(), &e);
    cfidrObjectDestroy(cfidrNetlistViewFindNetByName(view, "n7", &e), &e);
    ASSERT_EQ(e, 0);
    int32_t iterated = 0;
    cfidrIterT it = cfidrNetlistViewGetNets(view, cfidrAllIterMode, &e);
    for (cfiOID n = cfidrIterNextNet(it, &e); n.object != 0; n = cfidrIterNextNet(it, &e)) ++iterated;
    cfidrIterQuit(it, &e);
    EXPECT_EQ(iterated, 31);
    EXPECT_EQ(nyxdrNetlistViewGetNetTotal(view, &e), iterated);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(nyxdrNetlistViewGetNetTotal(lib, &e), 0);
    EXPECT_EQ(e, cfidrErrWrongType);
}

// Each definition typed by its text; the result as text with its type.
TEST_F(Records, EvaluatesWithDefinedNames) {
    const char *defs[] = {"n=41", "r=2.5", "s=abc", "big=3000000000", "hex=0x10", "n=42", nullptr};
    nyxdrValueTypeT type = -1;
    struct Case {
        const char *text, *value;
        nyxdrValueTypeT type;
    } cases[] = {
        {"n + 1", "43", cfidrInt32ValueType},          // the later definition wins
        {"r * 2", "5", cfidrFloat32ValueType},         // a real stays real when whole
        {"$strcat(s, \"!\")", "abc!", cfidrStringValueType},
        {"big", "3000000000", cfidrFloat32ValueType},  // beyond 32 bits: a real
        {"hex", "0x10", cfidrStringValueType},         // not a decimal number: a string
        {"n > 1", "true", cfidrBooleanValueType},
        {"void", "", cfidrNoValueType},
    };
    for (const Case &c : cases) {
        EXPECT_STREQ(nyxprivPIEvaluateExpression(c.text, defs, &type, &e), c.value) << c.text;
        EXPECT_EQ(type, c.type) << c.text;
        EXPECT_EQ(e, 0) << c.text;
    }
}

TEST_F(Records, EvaluationErrors) {
    nyxdrValueTypeT type = -1;
    const char *bad[] = {"=1", nullptr};
    EXPECT_STREQ(nyxprivPIEvaluateExpression("1", bad, &type, &e), "");
    EXPECT_EQ(e, cfidrErrBadName);
    EXPECT_EQ(type, 0);
    const char *noEquals[] = {"x", nullptr};
    nyxprivPIEvaluateExpression("1", noEquals, nullptr, &e);
    EXPECT_EQ(e, cfidrErrBadName);
    nyxprivPIEvaluateExpression(nullptr, nullptr, nullptr, &e);
    EXPECT_EQ(e, cfidrErrBadName);
    nyxprivPIEvaluateExpression("1 / 0", nullptr, &type, &e);
    EXPECT_EQ(e, nyxdwErrDivideByZero);
    nyxprivPIEvaluateExpression("missing + 1", nullptr, &type, &e);
    EXPECT_EQ(e, nyxdwErrParamNotFound);
    cfidrErrorT textErr = 0;
    EXPECT_STREQ(nyxdwPIGetErrorText(nyxdwErrParamNotFound, &textErr),
                 "Parameter value not found.");
    // Trusted program mode hands out the library's own text, which outlives the call.
    nyxdrPISetTrustedProgramMode(1, &e);
    const char *text = nyxprivPIEvaluateExpression("\"kept\"", nullptr, &type, &e);
    EXPECT_STREQ(text, "kept");
    nyxdrPISetTrustedProgramMode(0, &e);
}

} // namespace
