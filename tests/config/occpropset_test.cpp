// Occurrence property sets as stored objects of their cells: create, open, find, list, owner,
// save, purge and destroy, the read of the cell that lists stored sets, and the loaded-state rule.
#include "occprop_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

using occtest::OccSession;

TEST_F(OccSession, CreateChecksFindAndList) {
    cfidrErrorT err = 0;
    cfiOID a = makeSet("Alpha");
    EXPECT_EQ(cfidrObjectGetObjectType(a, &err), nyxdrOccPropSetType);
    EXPECT_EQ(nameOf(a), "Alpha");
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrOccPropSetGetOwner(a, &err), cell, &err));
    nyxdrCellCreateOccPropSet(cell, "ALPHA", &err);
    EXPECT_EQ(err, cfidrErrAlreadyExists);
    nyxdrCellCreateOccPropSet(cell, "bad\tname", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    nyxdrCellCreateOccPropSet(lib, "x", &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    cfiOID b = makeSet("beta");
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrCellFindOccPropSetByName(cell, "alpha", &err), a, &err));
    nyxdrCellFindOccPropSetByName(cell, "gamma", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    nyxdrCellFindOccPropSetByName(cell, "", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfidrIterT it = nyxdrCellGetOccPropSets(cell, &err);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrIterNextOccPropSet(it, &err), a, &err));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrIterNextOccPropSet(it, &err), b, &err));
    EXPECT_EQ(nyxdrIterNextOccPropSet(it, &err).object, 0u);
    // Renaming is no operation of a set.
    cfidrNamedObjectSetName(a, "other", &err);
    EXPECT_EQ(err, cfidrErrIllegalOperation);
    // A library held for read refuses a new set.
    nyxtest::setLibMode(lib, cfidrReadMode);
    nyxdrCellCreateOccPropSet(cell, "delta", &err);
    EXPECT_EQ(err, cfidrErrNotOpenForUpdate);
}

TEST_F(OccSession, AnEmptySetIsWrittenAsHeaderPropertiesAndTheTopContext) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    cfidrPropSetInt32Value(cfidrObjectCreateProp(set, "count", &err), 7, &err);
    cfidrPropSetStringValue(cfidrObjectCreateProp(set, "note", &err), "two words", &err);
    nyxdrOccPropSetSave(set, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(seltest::readBytes(fileOf("s")),
              "#!header 2.0\n#!prop count I 7\n#!prop note S two words\n#!context /\n");
}

TEST_F(OccSession, OpenReadsTheCellFirstAndReportsMissingAndOpenSets) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    cfidrObjectCreateProp(set, "p", &err);
    nyxdrOccPropSetSave(set, &err);
    restart();
    // Open before anything read the cell: the cell's read lists the set once.
    cfiOID opened = nyxdrPIOpenOccPropSet("lib", "top", "S", cfidrUpdateMode, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(nameOf(opened), "s");
    cfidrIterT it = nyxdrCellGetOccPropSets(cell, &err);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrIterNextOccPropSet(it, &err), opened, &err));
    EXPECT_EQ(nyxdrIterNextOccPropSet(it, &err).object, 0u);
    // The first use reads it; opening it again then reports 30008 with the set.
    cfidrObjectFindPropByName(opened, "p", &err);
    EXPECT_EQ(err, 0);
    cfiOID again = nyxdrPIOpenOccPropSet("lib", "top", "s", cfidrReadMode, &err);
    EXPECT_EQ(err, nyxdrErrOccPropSetAlreadyOpen);
    EXPECT_TRUE(cfidrObjectIsSame(again, opened, &e));
    nyxdrPIOpenOccPropSet("lib", "top", "none", cfidrReadMode, &err);
    EXPECT_EQ(err, nyxdrErrOccPropSetOpenFailed);
    nyxdrPIOpenOccPropSet("lib", "nocell", "s", cfidrReadMode, &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    nyxdrPIOpenOccPropSet("lib", "top", "s", static_cast<cfidrAccessModeT>(7), &err);
    EXPECT_EQ(err, cfidrErrBadAccessMode);
}

TEST_F(OccSession, PurgeListsAStoredSetAgainAndWithdrawsIdentifiers) {
    cfidrErrorT err = 0;
    cfiOID stored = makeSet("stored");
    cfiOID prop = cfidrObjectCreateProp(stored, "p", &err);
    nyxdrOccPropSetSave(stored, &err);
    cfiOID fresh = makeSet("fresh");
    nyxdrOccPropSetPurge(stored, &err);
    nyxdrOccPropSetPurge(fresh, &err);
    ASSERT_EQ(err, 0);
    EXPECT_FALSE(cfidrObjectIsUsable(stored, &err));
    EXPECT_FALSE(cfidrObjectIsUsable(prop, &err));
    EXPECT_FALSE(cfidrObjectIsUsable(fresh, &err));
    // The stored set is found again (unread, then read on use); the one never saved is gone.
    cfiOID back = nyxdrCellFindOccPropSetByName(cell, "stored", &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(cfidrObjectIsNull(cfidrObjectFindPropByName(back, "p", &err), &err), 0);
    nyxdrCellFindOccPropSetByName(cell, "fresh", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
}

TEST_F(OccSession, DestroyRemovesTheFileAndTheSet) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    nyxdrOccPropSetSave(set, &err);
    ASSERT_TRUE(nyxFileIO::isFile(fileOf("s")));
    cfidrObjectDestroy(set, &err);
    ASSERT_EQ(err, 0);
    EXPECT_FALSE(nyxFileIO::isFile(fileOf("s")));
    EXPECT_FALSE(cfidrObjectIsUsable(set, &err));
    nyxdrCellFindOccPropSetByName(cell, "s", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
}

TEST_F(OccSession, AFailedReadLeavesTheSetUnloadedAndRefusesSaves) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    cfidrObjectCreateProp(set, "p", &err);
    nyxdrOccPropSetSave(set, &err);
    const std::string bytes = seltest::readBytes(fileOf("s"));
    restart();
    cfiOID opened = nyxdrPIOpenOccPropSet("lib", "top", "s", cfidrUpdateMode, &err);
    ASSERT_EQ(err, 0);
    // The file cannot be read: every use reports it, and no save replaces the file.
    nyxFileIO::failOperation(1);
    cfidrObjectFindPropByName(opened, "p", &err);
    EXPECT_EQ(err, cfidrErrInternal);
    EXPECT_FALSE(asSet(opened)->loaded());
    // A set too large to read is refused in the same way (a sparse file).
    nyxFileIO::failOperation(0);
    ASSERT_EQ(truncate(fileOf("s").c_str(), (64 << 20) + 1), 0);
    nyxdrOccPropSetSave(opened, &err);
    EXPECT_EQ(err, cfidrErrInternal);
    cfidrLibSave(lib, &err);
    struct stat st;
    ASSERT_EQ(stat(fileOf("s").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, (64 << 20) + 1);
    ASSERT_EQ(truncate(fileOf("s").c_str(), 0), 0);
    seltest::writeBytes(fileOf("s"), bytes);
    EXPECT_EQ(seltest::readBytes(fileOf("s")), bytes);
    EXPECT_EQ(cfidrObjectIsNull(cfidrObjectFindPropByName(opened, "p", &err), &err), 0);
}

TEST_F(OccSession, ALibrarySaveWritesOnlyChangedSets) {
    cfidrErrorT err = 0;
    cfiOID set = makeSet("s");
    cfidrLibSave(lib, &err);
    ASSERT_TRUE(nyxFileIO::isFile(fileOf("s")));
    seltest::writeBytes(fileOf("s"), "#!header 2.0\n#!prop kept B 1\n#!context /\n");
    cfidrLibSave(lib, &err);
    EXPECT_EQ(seltest::readBytes(fileOf("s")), "#!header 2.0\n#!prop kept B 1\n#!context /\n");
    // A value set on an existing property counts as a change.
    cfiOID p = cfidrObjectCreateProp(set, "p", &err);
    cfidrLibSave(lib, &err);
    cfidrPropSetInt32Value(p, 5, &err);
    cfidrLibSave(lib, &err);
    EXPECT_EQ(seltest::readBytes(fileOf("s")), "#!header 2.0\n#!prop p I 5\n#!context /\n");
}
