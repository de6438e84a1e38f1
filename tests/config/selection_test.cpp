// View selection: the order in which selectors and libraries are tried, the multiple-type error
// that stops the search, names compared without regard to case and types exactly, and selection
// by type over views that are stored but not read.
#include "selector_fixture.h"

#include <sys/stat.h>

using seltest::SelectorSession;

namespace {

struct Selection : SelectorSession {
    cfiOID libA{}, libB{}, libC{}, topA{}, topB{}, topC{}, set{};

    // Three libraries with a cell "top" each: A holds views "sch" (schematic) and "lay"
    // (layout), B holds "sch" and two of type "symbol", C holds "lay" (layout).
    void SetUp() override {
        SelectorSession::SetUp();
        libA = makeLib("A");
        libB = makeLib("B");
        libC = makeLib("C");
        topA = makeCell(libA, "top");
        topB = makeCell(libB, "top");
        topC = makeCell(libC, "top");
        makeView(topA, "sch", "schematic");
        makeView(topA, "lay", "layout");
        makeView(topB, "sch", "schematic");
        makeView(topB, "sym1", "symbol");
        makeView(topB, "sym2", "symbol");
        makeView(topC, "lay", "layout");
        set = cfidrPICreateSelectorSet("sel", &e);
        ASSERT_EQ(e, 0);
    }

    void libSel(const char *lib) {
        cfidrSelectorSetCreateLibrarySelector(set, lib, &e);
        ASSERT_EQ(e, 0);
    }
    void byName(const char *lib, const char *cell, const char *view) {
        cfidrSelectorSetCreateViewNameSelector(set, lib, cell, view, &e);
        ASSERT_EQ(e, 0);
    }
    void byType(const char *lib, const char *cell, const char *type) {
        cfidrSelectorSetCreateViewTypeSelector(set, lib, cell, type, &e);
        ASSERT_EQ(e, 0);
    }
    // "lib/view" of the selection for a cell, or "error N".
    std::string select(cfiOID cell) {
        cfidrErrorT err = -1;
        cfiOID view = cfidrSelectorSetSelectView(set, cell, &err);
        if (err != 0) return "error " + std::to_string(err) + (view.object == 0 ? "" : " with a view");
        return viewName(view);
    }
};

} // namespace

TEST_F(Selection, WithoutLibrarySelectorsOnlyTheCellsOwnLibraryIsSearched) {
    byName("", "", "lay");
    EXPECT_EQ(select(topA), "A/lay");
    EXPECT_EQ(select(topC), "C/lay");
    // B's top has no "lay", and no other library is searched.
    EXPECT_EQ(select(topB), "error 49");
}

TEST_F(Selection, FirstViewSelectorWinsThenFirstLibraryInLibrarySelectorOrder) {
    libSel("C");
    libSel("A");
    byName("", "", "lay");
    byName("", "", "sch");
    // "lay" is in C and A: C comes first in library-selector order.
    EXPECT_EQ(select(topA), "C/lay");
    // For B's cell too: the libraries searched are the selectors', not the cell's.
    EXPECT_EQ(select(topB), "C/lay");
    cfidrErrorT err = 0;
    // A library selector naming no library is passed over.
    cfidrObjectDestroy(cfidrIterNextLibrarySelector(cfidrSelectorSetGetLibrarySelectors(set, &err), &err), &err);
    ASSERT_EQ(err, 0);
    libSel("nowhere");
    libSel("C");
    EXPECT_EQ(select(topB), "A/lay");
}

TEST_F(Selection, ATypeMatchedTwiceInOneLibraryFailsEvenWhenALaterSelectorWouldSucceed) {
    libSel("B");
    libSel("A");
    byType("", "", "symbol");
    byName("", "", "sch");
    EXPECT_EQ(select(topA), "error 48");
    // Without the ambiguous selector the name selector decides.
    cfidrErrorT err = 0;
    cfidrIterT it = cfidrSelectorSetGetViewSelectors(set, &err);
    cfiOID first = cfidrIterNextViewSelector(it, &err);
    EXPECT_EQ(cfidrObjectGetObjectType(first, &err), 19);
    cfidrObjectDestroy(first, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(select(topA), "B/sch");
    // A type matched once is chosen; nothing matching is 49 with a null view.
    byType("", "", "layout");
    set = cfidrPICreateSelectorSet("other", &e);
    byType("", "", "layout");
    EXPECT_EQ(select(topA), "A/lay");
    EXPECT_EQ(select(topB), "error 49");
}

TEST_F(Selection, LibraryAndCellCompareWithoutCaseViewTypesExactly) {
    byType("a", "TOP", "Layout");
    byType("a", "TOP", "layout");
    EXPECT_EQ(select(topA), "A/lay");
    // A selector restricted to another library or cell does not apply.
    set = cfidrPICreateSelectorSet("restricted", &e);
    byName("B", "", "sch");
    byName("", "other", "sch");
    EXPECT_EQ(select(topA), "error 49");
    byName("", "", "SCH");
    EXPECT_EQ(select(topA), "A/sch");
}

TEST_F(Selection, ArgumentsAreChecked) {
    byName("", "", "sch");
    cfidrErrorT err = 0;
    cfidrSelectorSetSelectView(set, libA, &err);
    EXPECT_EQ(err, cfidrErrCellUnusable);
    cfidrSelectorSetSelectView(set, cfiOID{0, 0}, &err);
    EXPECT_EQ(err, cfidrErrCellUnusable);
    cfidrSelectorSetSelectView(topA, topA, &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    cfidrSelectorSetSelectView(cfiOID{0, 0}, topA, &err);
    EXPECT_EQ(err, cfidrErrObjectUnusable);
}

TEST_F(Selection, SelectionDoesNotChangeTheSet) {
    libSel("A");
    byName("", "", "sch");
    const std::string before = seltest::describe(asSet(set));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(select(topA), "A/sch");
    EXPECT_EQ(seltest::describe(asSet(set)), before);
}

// Views stored but not read are judged by their file header: a damaged body still matches, a
// damaged header does not, and none of them is read by the selection.
TEST_F(Selection, TypeSelectionReadsOnlyHeadersOfStoredViews) {
    cfidrErrorT err = 0;
    cfidrLibSave(libA, &err);
    ASSERT_EQ(err, 0);
    restart();
    const std::string dir = "A/top/";
    // The layout view's body is cut off after its header; the schematic's header is damaged.
    std::string lay = seltest::readBytes(dir + "lay.nyxNetlistView");
    ASSERT_GT(lay.size(), 24u);
    seltest::writeBytes(dir + "lay.nyxNetlistView", lay.substr(0, 22));
    seltest::writeBytes(dir + "sch.nyxNetlistView", "garbage");
    libA = cfidrPIOpenLib("A", 2, &err);
    topA = cfidrLibFindCellByName(libA, "top", &err);
    ASSERT_EQ(err, 0);
    set = cfidrPICreateSelectorSet("stored", &e);
    byType("", "", "schematic");
    byType("", "", "layout");
    cfiOID view = cfidrSelectorSetSelectView(set, topA, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(cfidrNamedObjectGetName(view, &err), std::string("lay"));
    EXPECT_FALSE(nyxpi::object<nyxNetlistView>(view)->loaded());
    // The chosen view's body is damaged indeed: reading it fails.
    cfidrCellFindViewByName(topA, "lay", &err);
    EXPECT_EQ(err, cfidrErrInternal);
}
