// Selection by view type over encapsulated views: one in memory is judged by its own type, not
// by its file (a view made and not saved has none; one changed since its save differs from it).
#include "selector_fixture.h"

using seltest::SelectorSession;

namespace {

struct EncapsulatedSelection : SelectorSession {
    std::string selectByType(cfiOID cell, const char *type) {
        cfidrErrorT err = 0;
        cfiOID set = cfidrPICreateSelectorSet(("by_" + std::string(type)).c_str(), &err);
        cfidrSelectorSetCreateViewTypeSelector(set, "", "", type, &err);
        err = -1;
        cfiOID view = cfidrSelectorSetSelectView(set, cell, &err);
        if (err != 0) return "error " + std::to_string(err);
        return viewName(view);
    }
};

} // namespace

TEST_F(EncapsulatedSelection, AnUnsavedViewIsFoundByItsType) {
    cfiOID top = makeCell(makeLib("A"), "top");
    makeView(top, "sch", "schematic");
    cfidrCellCreateEncapsulatedView(top, "lay", "layout", "k", &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(selectByType(top, "layout"), "A/lay");
}

TEST_F(EncapsulatedSelection, AViewChangedSinceItsSaveIsJudgedByItsTypeInMemory) {
    cfiOID lib = makeLib("A");
    cfiOID top = makeCell(lib, "top");
    cfiOID lay = cfidrCellCreateEncapsulatedView(top, "lay", "layout", "k", &e);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    ASSERT_TRUE(nyxEncapsulatedView::setFields(nyxpi::object<nyxEncapsulatedView>(lay), "abstract", "k"));
    EXPECT_EQ(selectByType(top, "abstract"), "A/lay");
    EXPECT_EQ(selectByType(top, "layout"), "error 49");  // none of that type
    // Unread after a new session: the file's type.
    restart();
    top = cfidrLibFindCellByName(cfidrPIOpenLib("A", cfidrReadMode, &e), "top", &e);
    EXPECT_EQ(selectByType(top, "layout"), "A/lay");
}
