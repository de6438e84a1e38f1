// Selector sets through the interface: creation checks, the getters and iterators, properties on
// sets and selectors, and the identifiers that destroying a selector or purging a set withdraws.
#include "selector_fixture.h"

using seltest::SelectorSession;

TEST_F(SelectorSession, CreationChecksAndGetters) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPICreateSelectorSet("s", &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(set, &err), cfidrSelectorSetType);
    cfidrPICreateSelectorSet("bad\tname", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfidrSelectorSetCreateLibrarySelector(set, "", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfidrSelectorSetCreateViewNameSelector(set, "", "", "", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfidrSelectorSetCreateViewTypeSelector(set, "l\n", "", "t", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfiOID lib = cfidrSelectorSetCreateLibrarySelector(set, "work", &err);
    cfiOID byName = cfidrSelectorSetCreateViewNameSelector(set, nullptr, "top", "sch", &err);
    cfiOID byType = cfidrSelectorSetCreateViewTypeSelector(set, "work", "", "layout", &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(cfidrLibrarySelectorGetLibraryName(lib, &err), std::string("work"));
    EXPECT_EQ(cfidrViewNameSelectorGetLibName(byName, &err), std::string(""));
    EXPECT_EQ(cfidrViewNameSelectorGetCellName(byName, &err), std::string("top"));
    EXPECT_EQ(cfidrViewNameSelectorGetViewName(byName, &err), std::string("sch"));
    EXPECT_EQ(cfidrViewTypeSelectorGetLibName(byType, &err), std::string("work"));
    EXPECT_EQ(cfidrViewTypeSelectorGetCellName(byType, &err), std::string(""));
    EXPECT_EQ(cfidrViewTypeSelectorGetViewType(byType, &err), std::string("layout"));
    ASSERT_EQ(err, 0);
    // A getter of one kind refuses the other kind.
    cfidrViewNameSelectorGetViewName(byType, &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    cfidrLibrarySelectorGetLibraryName(byName, &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    // The view selector iterator hands out both kinds in creation order, each with its class.
    cfidrIterT it = cfidrSelectorSetGetViewSelectors(set, &err);
    cfiOID first = cfidrIterNextViewSelector(it, &err);
    cfiOID second = cfidrIterNextViewSelector(it, &err);
    EXPECT_TRUE(cfidrObjectIsSame(first, byName, &err));
    EXPECT_TRUE(cfidrObjectIsSame(second, byType, &err));
    EXPECT_EQ(cfidrObjectGetObjectType(second, &err), 19);
    EXPECT_EQ(cfidrIterNextViewSelector(it, &err).object, 0u);
    cfidrIterT libs = cfidrSelectorSetGetLibrarySelectors(set, &err);
    cfidrIterNextViewSelector(libs, &err);
    EXPECT_EQ(err, cfidrErrIterWrongType);
}

TEST_F(SelectorSession, DestroyingASelectorWithdrawsItAndItsProperties) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPICreateSelectorSet("s", &err);
    cfiOID a = cfidrSelectorSetCreateViewNameSelector(set, "", "", "a", &err);
    cfiOID b = cfidrSelectorSetCreateViewNameSelector(set, "", "", "b", &err);
    cfiOID c = cfidrSelectorSetCreateViewNameSelector(set, "", "", "c", &err);
    cfiOID prop = cfidrObjectCreateProp(b, "p", &err);
    cfidrPropSetInt32Value(prop, 3, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(b, "p", &err), &err), 3);
    // An iterator standing on the selector that goes steps on past it.
    cfidrIterT it = cfidrSelectorSetGetViewSelectors(set, &err);
    cfidrIterNextViewSelector(it, &err);
    cfidrObjectDestroy(b, &err);
    ASSERT_EQ(err, 0);
    EXPECT_FALSE(cfidrObjectIsUsable(b, &err));
    EXPECT_FALSE(cfidrObjectIsUsable(prop, &err));
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextViewSelector(it, &err), c, &err));
    cfidrIterReset(it, &err);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextViewSelector(it, &err), a, &err));
    EXPECT_TRUE(cfidrObjectIsSame(cfidrIterNextViewSelector(it, &err), c, &err));
    cfidrSelectorSetCreateViewNameSelector(set, "", "", "d", &err);
    cfidrSelectorSetSave(set, &err);
    EXPECT_EQ(seltest::readBytes("s.nyxSelectorSet"),
              "#!header 1.0\n#!viewnamesel \"\" \"\" \"a\"\n#!viewnamesel \"\" \"\" \"c\"\n"
              "#!viewnamesel \"\" \"\" \"d\"\n");
}

TEST_F(SelectorSession, PurgeWithdrawsEveryIdentifierOfTheSet) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPICreateSelectorSet("s", &err);
    cfiOID setProp = cfidrObjectCreateProp(set, "on set", &err);
    cfiOID lib = cfidrSelectorSetCreateLibrarySelector(set, "L", &err);
    cfiOID libProp = cfidrObjectCreateProp(lib, "on lib", &err);
    cfiOID view = cfidrSelectorSetCreateViewTypeSelector(set, "", "", "t", &err);
    cfiOID viewProp = cfidrObjectCreateProp(view, "on view", &err);
    cfidrIterT it = cfidrSelectorSetGetLibrarySelectors(set, &err);
    ASSERT_EQ(err, 0);
    cfidrSelectorSetPurge(set, &err);
    ASSERT_EQ(err, 0);
    for (cfiOID id : {set, setProp, lib, libProp, view, viewProp}) {
        EXPECT_FALSE(cfidrObjectIsUsable(id, &err));
    }
    cfidrIterNextLibrarySelector(it, &err);
    EXPECT_EQ(err, cfidrErrObjectUnusable);
    EXPECT_EQ(nyxSelectorSet::sessionList().nitems(), 0);
    // Nothing was written; the name is free again.
    EXPECT_FALSE(nyxFileIO::isFile("s.nyxSelectorSet"));
    cfidrPICreateSelectorSet("s", &err);
    EXPECT_EQ(err, 0);
}

// Properties of every kind on a set live through a save and an open.
TEST_F(SelectorSession, PropertiesOnSetsAndSelectorsAreStored) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPICreateSelectorSet("s", &err);
    cfiOID v = cfidrSelectorSetCreateViewNameSelector(set, "", "", "v", &err);
    cfidrPropSetStringValue(cfidrObjectCreateProp(v, "note", &err), "two words", &err);
    cfidrPropSetFloat32Value(cfidrObjectCreateProp(set, "f", &err), 0.1f, &err);
    cfidrSelectorSetSave(set, &err);
    ASSERT_EQ(err, 0);
    restart();
    set = cfidrPIOpenSelectorSet("s", &err);
    EXPECT_FLOAT_EQ(cfidrPropGetFloat32Value(cfidrObjectFindPropByName(set, "f", &err), &err), 0.1f);
    cfidrIterT it = cfidrSelectorSetGetViewSelectors(set, &err);
    v = cfidrIterNextViewSelector(it, &err);
    EXPECT_EQ(cfidrPropGetStringValue(cfidrObjectFindPropByName(v, "note", &err), &err), std::string("two words"));
    EXPECT_EQ(err, 0);
}

// Trusted data mode skips the name, access and duplicate checks; the object checks stay.
TEST_F(SelectorSession, TrustedDataModeSkipsNameAndDuplicateChecks) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPICreateSelectorSet("s", &err);
    nyxtest::setTrustedModes(false, true);
    cfidrPICreateSelectorSet("s", &err);
    EXPECT_EQ(err, 0);
    cfiOID lib = cfidrSelectorSetCreateLibrarySelector(set, "", &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(cfidrLibrarySelectorGetLibraryName(lib, &err), std::string(""));
    cfidrSelectorSetCreateViewNameSelector(set, "", "", "", &err);
    EXPECT_EQ(err, 0);
    cfidrSelectorSetCreateViewNameSelector(lib, "", "", "v", &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    nyxtest::clearTrustedModes();
    cfidrSelectorSetCreateLibrarySelector(set, "", &err);
    EXPECT_EQ(err, cfidrErrBadName);
}
