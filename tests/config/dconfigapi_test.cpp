// Design configurations through the interface: creation checks in order, opening, finding and
// listing, purge and destroy, the loaded-state rule, and the design-id table.
#include "dconfig_fixture.h"

using dctest::ConfigSession;

TEST_F(ConfigSession, CreationChecksComeInOrder) {
    cfidrErrorT err = 0;
    // The root view: unusable (30011) before anything else of the call, then its class (30012).
    nyxdrCellCreateDesignConfig(top, "bad\tname", cfiOID{0, 0}, 9, &err);
    EXPECT_EQ(err, nyxdrErrRootViewUnusable);
    nyxdrCellCreateDesignConfig(top, "bad\tname", other, 9, &err);
    EXPECT_EQ(err, nyxdrErrRootViewNotNetlistView);
    nyxdrCellCreateDesignConfig(sch, "c", sch, 0, &err);
    EXPECT_EQ(err, cfidrErrWrongType);
    // The name before the mode, the mode before the duplicate test.
    nyxdrCellCreateDesignConfig(top, "bad\tname", sch, 9, &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfiOID c = makeConfig(top, "cfg", sch, 2);
    nyxdrCellCreateDesignConfig(top, "CFG", sch, 3, &err);
    EXPECT_EQ(err, nyxdrErrBadSelectionMode);
    nyxdrCellCreateDesignConfig(top, "CFG", sch, -1, &err);
    EXPECT_EQ(err, nyxdrErrBadSelectionMode);
    nyxdrCellCreateDesignConfig(top, "CFG", sch, 0, &err);
    EXPECT_EQ(err, cfidrErrAlreadyExists);
    // Another cell may hold the name, with a root view of any cell.
    makeConfig(other, "cfg", sch);
    EXPECT_EQ(cfidrObjectGetObjectType(c, &err), nyxdrDesignConfigType);
    EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(c, &err), 2);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrDesignConfigGetOwner(c, &err), top, &err));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrDesignConfigGetRootView(c, &err), sch, &err));
    EXPECT_EQ(std::string(cfidrNamedObjectGetName(c, &err)), "cfg");
    cfidrNamedObjectSetName(c, "new", &err);
    EXPECT_EQ(err, cfidrErrIllegalOperation);
}

TEST_F(ConfigSession, ReadOnlyLibraryRefusesCreationAndEdits) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    nyxdrDesignConfigSave(c, &err);
    ASSERT_EQ(err, 0);
    restart();
    cfiOID l = cfidrPIOpenLib("work", cfidrReadMode, &err);
    cfiOID cell = cfidrLibFindCellByName(l, "top", &err);
    cfiOID view = cfidrCellFindViewByName(cell, "sch", &err);
    ASSERT_EQ(err, 0);
    // Read-only before the name and the mode.
    nyxdrCellCreateDesignConfig(cell, "bad\tname", view, 7, &err);
    EXPECT_EQ(err, cfidrErrNotOpenForUpdate);
    c = nyxdrCellFindDesignConfigByName(cell, "CFG", &err);
    ASSERT_EQ(err, 0);
    nyxdrDesignConfigRemoveOccPropSet(c, 0, &err);
    EXPECT_EQ(err, cfidrErrNotOpenForUpdate);
    cfidrObjectCreateProp(c, "p", &err);
    EXPECT_EQ(err, cfidrErrNotOpenForUpdate);
    cfidrObjectDestroy(c, &err);
    EXPECT_EQ(err, cfidrErrNotOpenForUpdate);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")).substr(0, 12), "#!header 1.0");
}

TEST_F(ConfigSession, OpenReadsTheCellFirstAndReportsWhatItFinds) {
    cfidrErrorT err = 0;
    nyxdrPIOpenDesignConfig("work", "top", "none", cfidrReadMode, &err);
    EXPECT_EQ(err, nyxdrErrDesignConfigOpenFailed);
    EXPECT_EQ(countConfigs(top), 0);
    // The library took the mode asked for, even though nothing was opened.
    nyxdrCellCreateDesignConfig(top, "cfg", sch, 0, &err);
    EXPECT_EQ(err, cfidrErrNotOpenForUpdate);
    nyxdrPIOpenDesignConfig("work", "top", "none", cfidrUpdateMode, &err);
    EXPECT_EQ(err, nyxdrErrDesignConfigOpenFailed);
    nyxdrPIOpenDesignConfig("work", "nocell", "none", cfidrUpdateMode, &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    nyxdrPIOpenDesignConfig("nolib", "top", "none", cfidrReadMode, &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    nyxdrPIOpenDesignConfig("work", "top", "x", 3, &err);
    EXPECT_EQ(err, cfidrErrBadAccessMode);
    nyxdrPIOpenDesignConfig("work", "top", "", cfidrUpdateMode, &err);
    EXPECT_EQ(err, cfidrErrBadName);

    cfiOID c = makeConfig(top, "cfg", sch, 1);
    nyxdrDesignConfigSave(c, &err);
    ASSERT_EQ(err, 0);
    // A fresh session: the open comes before any read of the cell, and the cell's own listing
    // afterwards shows the same object, once.
    c = reopen("top", "CFG");
    EXPECT_FALSE(asConfig(c)->loaded());
    cfiOID cell = nyxdrDesignConfigGetOwner(c, &err);
    EXPECT_EQ(countConfigs(cell), 1);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrCellFindDesignConfigByName(cell, "Cfg", &err), c, &err));
    // Loaded now: a second open reports 30009 with the configuration, in the new mode.
    EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(c, &err), 1);
    cfiOID again = nyxdrPIOpenDesignConfig("work", "top", "cfg", cfidrReadMode, &err);
    EXPECT_EQ(err, nyxdrErrDesignConfigAlreadyOpen);
    EXPECT_TRUE(cfidrObjectIsSame(again, c, &err));
    EXPECT_EQ(asConfig(c)->d_accessMode, cfidrReadMode);
    EXPECT_EQ(rootOf(c), "work/top/sch");
}

TEST_F(ConfigSession, FindAndListInCreationOrder) {
    cfidrErrorT err = 0;
    cfiOID a = makeConfig(top, "a", sch);
    cfiOID b = makeConfig(top, "B", alt);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrCellFindDesignConfigByName(top, "b", &err), b, &err));
    nyxdrCellFindDesignConfigByName(top, "c", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    nyxdrCellFindDesignConfigByName(top, "", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfidrIterT it = nyxdrCellGetDesignConfigs(top, &err);
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrIterNextDesignConfig(it, &err), a, &err));
    EXPECT_TRUE(cfidrObjectIsSame(nyxdrIterNextDesignConfig(it, &err), b, &err));
    EXPECT_EQ(nyxdrIterNextDesignConfig(it, &err).object, 0u);
    cfidrIterQuit(it, &err);
}

TEST_F(ConfigSession, PurgeKeepsAStoredConfigurationListedAndDestroyRemovesIt) {
    cfidrErrorT err = 0;
    cfiOID saved = makeConfig(top, "saved", sch, 2);
    cfiOID prop = cfidrObjectCreateProp(saved, "p", &err);
    cfidrPropSetInt32Value(prop, 1, &err);
    nyxdrDesignConfigSave(saved, &err);
    cfiOID fresh = makeConfig(top, "fresh", sch);
    ASSERT_EQ(err, 0);
    nyxdrDesignConfigPurge(saved, &err);
    nyxdrDesignConfigPurge(fresh, &err);
    ASSERT_EQ(err, 0);
    EXPECT_FALSE(cfidrObjectIsUsable(saved, &err));
    EXPECT_FALSE(cfidrObjectIsUsable(prop, &err));
    EXPECT_FALSE(cfidrObjectIsUsable(fresh, &err));
    // The stored one is listed again, unread; the one never saved is gone.
    EXPECT_EQ(countConfigs(top), 1);
    cfiOID back = nyxdrCellFindDesignConfigByName(top, "saved", &err);
    EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(back, &err), 2);
    EXPECT_NE(cfidrObjectFindPropByName(back, "p", &err).object, 0u);
    cfidrObjectDestroy(back, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "saved")), "<none>");
    EXPECT_EQ(countConfigs(top), 0);
}

TEST_F(ConfigSession, FailedReadLeavesTheFileAloneAndDestroyStillWorks) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    nyxdrDesignConfigSave(c, &err);
    const std::string bytes = seltest::readBytes(fileOf("top", "cfg"));
    c = reopen("top", "cfg");
    // Every use reads again and reports again while the file cannot be read.
    for (int i = 0; i < 2; ++i) {
        nyxFileIO::failOperation(1);
        nyxdrDesignConfigGetSelectionMode(c, &err);
        nyxFileIO::failOperation(0);
        EXPECT_EQ(err, cfidrErrInternal);
        EXPECT_FALSE(asConfig(c)->loaded());
    }
    nyxFileIO::failOperation(1);
    nyxdrDesignConfigSave(c, &err);
    nyxFileIO::failOperation(0);
    EXPECT_EQ(err, cfidrErrInternal);
    cfidrLibSave(cfidrCellGetOwner(nyxdrDesignConfigGetOwner(c, &err), &err), &err);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")), bytes);
    // The read succeeds once the file can be read.
    EXPECT_EQ(rootOf(c), "work/top/sch");
    // A failed read does not keep the configuration from being destroyed.
    restart();
    c = nyxdrPIOpenDesignConfig("work", "top", "cfg", cfidrUpdateMode, &err);
    nyxFileIO::failOperation(1);
    nyxdrDesignConfigGetRootView(c, &err);
    nyxFileIO::failOperation(0);
    EXPECT_EQ(err, cfidrErrInternal);
    cfidrObjectDestroy(c, &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")), "<none>");
}

TEST_F(ConfigSession, LibrarySaveWritesOnlyChangedConfigurations) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    cfidrLibSave(lib, &err);
    ASSERT_EQ(err, 0);
    const std::string file = fileOf("top", "cfg");
    ASSERT_NE(seltest::readBytes(file), "<none>");
    // A comment the writer would not write stays while nothing changes.
    const std::string edited = "# kept\n" + seltest::readBytes(file);
    seltest::writeBytes(file, edited);
    c = reopen("top", "cfg");
    EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(c, &err), 0);
    cfiOID l = cfidrCellGetOwner(nyxdrDesignConfigGetOwner(c, &err), &err);
    cfidrLibSave(l, &err);
    EXPECT_EQ(seltest::readBytes(file), edited);
    // A new property is a change.
    cfiOID p = cfidrObjectCreateProp(c, "n", &err);
    cfidrPropSetInt32Value(p, 5, &err);
    cfidrLibSave(l, &err);
    EXPECT_EQ(seltest::readBytes(file),
              "#!header 1.0\n#!selectionmode 0\n#!rootview work/top/sch\n#!prop n I 5\n");
    // So is a changed value of a property that was read.
    cfidrPropSetInt32Value(p, 6, &err);
    cfidrLibSave(l, &err);
    EXPECT_NE(seltest::readBytes(file).find("#!prop n I 6"), std::string::npos);
}

TEST_F(ConfigSession, DesignIdsAreTakenByTreesNotByConfigurations) {
    cfidrErrorT err = 0;
    std::vector<nyxDesignConfig *> configs;
    for (int i = 0; i < 257; ++i) {
        configs.push_back(asConfig(makeConfig(top, ("c" + std::to_string(i)).c_str(), sch)));
    }
    // Listing or making configurations takes no id.
    EXPECT_EQ(nyxDesignConfig::designIdsHeld(), 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(nyxDesignConfig::takeDesignId(configs[i], &err));
        EXPECT_EQ(configs[i]->d_designId, i);
    }
    // All 256 held: the 257th build fails; 256 is never handed out.
    EXPECT_FALSE(nyxDesignConfig::takeDesignId(configs[256], &err));
    EXPECT_EQ(err, nyxdwErrOccTreeFailed);
    EXPECT_EQ(configs[256]->d_designId, nyxDesignConfig::kNoDesignId);
    EXPECT_EQ(nyxDesignConfig::byDesignId(256), nullptr);
    EXPECT_EQ(nyxDesignConfig::byDesignId(7), configs[7]);
    // A freed id goes to the next build of another configuration.
    nyxDesignConfig::dropDesignId(configs[7]);
    EXPECT_EQ(nyxDesignConfig::byDesignId(7), nullptr);
    err = 0;
    ASSERT_TRUE(nyxDesignConfig::takeDesignId(configs[256], &err));
    EXPECT_EQ(configs[256]->d_designId, 7);
    // A configuration does not get back the id it just gave up while another is free.
    nyxDesignConfig::dropDesignId(configs[8]);
    nyxDesignConfig::dropDesignId(configs[9]);
    ASSERT_TRUE(nyxDesignConfig::takeDesignId(configs[8], &err));
    EXPECT_EQ(configs[8]->d_designId, 9);
    // Purge frees the id of the configuration it drops.
    nyxdrDesignConfigPurge(nyxpi::handOut(configs[3], nyxCodeDesignConfig, &err), &err);
    EXPECT_EQ(nyxDesignConfig::designIdsHeld(), 254);
    EXPECT_EQ(nyxDesignConfig::byDesignId(3), nullptr);
}

TEST_F(ConfigSession, LibrarySaveThatFailsKeepsTheChangeForTheNextSave) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    cfidrLibSave(lib, &err);
    ASSERT_EQ(err, 0);
    const std::string file = fileOf("top", "cfg");
    const std::string before = seltest::readBytes(file);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(c, "n", &err), 1, &err);
    // Each save fails one step later than the one before, until one succeeds: none that failed
    // may leave the configuration counted as written.
    for (long n = 1;; ++n) {
        nyxFileIO::failOperation(n);
        cfidrLibSave(lib, &err);
        nyxFileIO::failOperation(0);
        if (err == 0) break;
        EXPECT_EQ(seltest::readBytes(file), before) << n;
        ASSERT_LT(n, 500);
    }
    EXPECT_NE(seltest::readBytes(file).find("#!prop n I 1\n"), std::string::npos);
}
