// The set list of design configurations: positions of insert and remove, finding by name, set
// lines of other cells in the stored form, and sets purged or destroyed while listed.
#include "dconfig_fixture.h"

using dctest::ConfigSession;

namespace {

cfiOID makeSet(cfiOID cell, const char *name) {
    cfidrErrorT err = 0;
    cfiOID set = nyxdrCellCreateOccPropSet(cell, name, &err);
    EXPECT_EQ(err, 0) << name;
    nyxdrOccPropSetSave(set, &err);
    EXPECT_EQ(err, 0) << name;
    return set;
}

// The names of the listed sets in order, "|"-separated.
std::string listed(cfiOID config) {
    cfidrErrorT err = 0;
    cfidrIterT it = nyxdrDesignConfigGetOccPropSets(config, &err);
    std::string out;
    for (cfiOID s = nyxdrIterNextOccPropSet(it, &err); s.object != 0; s = nyxdrIterNextOccPropSet(it, &err)) {
        if (!out.empty()) out += "|";
        out += cfidrNamedObjectGetName(s, &err);
    }
    cfidrIterQuit(it, &err);
    return out;
}

} // namespace

TEST_F(ConfigSession, InsertAndRemoveByPosition) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    cfiOID a = makeSet(top, "a"), b = makeSet(top, "b"), d = makeSet(other, "d");
    nyxdrDesignConfigInsertOccPropSet(c, a, -1, &err);   // appends
    nyxdrDesignConfigInsertOccPropSet(c, b, 1, &err);    // position == count: appends
    nyxdrDesignConfigInsertOccPropSet(c, d, 0, &err);    // before the first
    nyxdrDesignConfigInsertOccPropSet(c, a, 7, &err);    // beyond the count: appends; duplicates allowed
    nyxdrDesignConfigInsertOccPropSet(c, b, 2, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(listed(c), "d|a|b|b|a");
    nyxdrDesignConfigRemoveOccPropSet(c, 5, &err);
    EXPECT_EQ(err, cfidrErrBadPosition);
    nyxdrDesignConfigRemoveOccPropSet(c, -1, &err);
    EXPECT_EQ(err, cfidrErrBadPosition);
    EXPECT_EQ(listed(c), "d|a|b|b|a");
    nyxdrDesignConfigRemoveOccPropSet(c, 4, &err);
    nyxdrDesignConfigRemoveOccPropSet(c, 0, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(listed(c), "a|b|b");
    // The set argument is checked after the configuration.
    nyxdrDesignConfigInsertOccPropSet(c, cfiOID{0, 0}, 0, &err);
    EXPECT_EQ(err, nyxdrErrOccPropSetUnusable);
    nyxdrDesignConfigInsertOccPropSet(c, sch, 0, &err);
    EXPECT_EQ(err, nyxdrErrNotOccPropSet);
    nyxdrDesignConfigInsertOccPropSet(sch, a, 0, &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    // Found ignoring case, the first listed of the name.
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrDesignConfigFindOccPropSetByName(c, "B", &err), b, &err));
    nyxdrDesignConfigFindOccPropSetByName(c, "d", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    nyxdrDesignConfigFindOccPropSetByName(c, "", &err);
    EXPECT_EQ(err, cfidrErrBadName);
}

TEST_F(ConfigSession, SetLinesOfOtherCellsRoundTrip) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    makeSet(top, "s");
    // A set of the same name in another cell: the full path tells them apart.
    cfiOID otherS = makeSet(other, "s");
    nyxdrDesignConfigInsertOccPropSet(c, otherS, -1, &err);
    nyxdrDesignConfigInsertOccPropSet(c, nyxdrCellFindOccPropSetByName(top, "s", &err), -1, &err);
    nyxdrDesignConfigSave(c, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")),
              "#!header 1.0\n#!selectionmode 0\n#!rootview work/top/sch\n"
              "#!occpropset work/other/s\n#!occpropset work/top/s\n");
    c = reopen("top", "cfg");
    cfidrIterT it = nyxdrDesignConfigGetOccPropSets(c, &err);
    std::string owners;
    for (cfiOID s = nyxdrIterNextOccPropSet(it, &err); s.object != 0; s = nyxdrIterNextOccPropSet(it, &err)) {
        owners += std::string(cfidrNamedObjectGetName(nyxdrOccPropSetGetOwner(s, &err), &err)) + " ";
    }
    cfidrIterQuit(it, &err);
    EXPECT_EQ(owners, "other top ");
}

TEST_F(ConfigSession, ListedSetPurgedOrDestroyedLeavesNoDanglingPointer) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    cfiOID a = makeSet(top, "a"), d = makeSet(other, "d");
    nyxdrDesignConfigInsertOccPropSet(c, a, -1, &err);
    nyxdrDesignConfigInsertOccPropSet(c, d, -1, &err);
    // Purged: listed again by its cell from its file, and found again.
    nyxdrOccPropSetPurge(a, &err);
    nyxdrOccPropSetPurge(d, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(listed(c), "a|d");
    // Destroyed: passed over, its place kept and written back as it was.
    cfidrObjectDestroy(nyxdrDesignConfigFindOccPropSetByName(c, "d", &err), &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(listed(c), "a");
    nyxdrDesignConfigSave(c, &err);
    EXPECT_NE(seltest::readBytes(fileOf("top", "cfg")).find("#!occpropset work/other/d\n"), std::string::npos);
    // The library purged: every set and the root go, and come back by their paths.
    cfidrLibPurge(lib, &err);
    ASSERT_EQ(err, 0);
    c = nyxdrPIOpenDesignConfig("work", "top", "cfg", cfidrUpdateMode, &err);
    EXPECT_EQ(listed(c), "a");
    EXPECT_EQ(rootOf(c), "work/top/sch");
}
