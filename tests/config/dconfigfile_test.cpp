// The stored form of design configurations: exact bytes of ordinary files, paths resolved in
// full, lines that name nothing kept, awkward names and values, and references that survive the
// removal of what they name.
#include "dconfig_fixture.h"

using dctest::ConfigSession;

namespace {

cfiOID setProp(cfiOID obj, const char *name) {
    cfidrErrorT err = 0;
    return cfidrObjectCreateProp(obj, name, &err);
}

std::string stringProp(cfiOID obj, const char *name) {
    cfidrErrorT err = 0;
    cfiOID p = cfidrObjectFindPropByName(obj, name, &err);
    if (err != 0) return "error " + std::to_string(err);
    return cfidrPropGetStringValue(p, &err);
}

} // namespace

TEST_F(ConfigSession, PlainRoundTripGivesTheWrittenBytes) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch, 1);
    cfidrPropSetBooleanValue(setProp(c, "b"), 1, &err);
    cfidrPropSetInt32Value(setProp(c, "i"), -3, &err);
    cfidrPropSetFloat32Value(setProp(c, "n"), 2.5f, &err);
    cfidrPropSetStringValue(setProp(c, "s"), "word", &err);
    cfidrPropSetFloat32Value(setProp(c, "tiny"), 1e-12f, &err);
    cfidrPropSetExpressionValue(setProp(c, "e"), "a+b", &err);
    setProp(c, "novalue");
    nyxdrDesignConfigSave(c, &err);
    ASSERT_EQ(err, 0);
    const std::string bytes =
        "#!header 1.0\n#!selectionmode 1\n#!rootview work/top/sch\n#!prop b B 1\n#!prop i I -3\n"
        "#!prop n N 2.500000\n#!prop s S word\n#!prop tiny N 9.99999996e-13\n#!prop e E a+b\n";
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")), bytes);
    c = reopen("top", "cfg");
    EXPECT_EQ(rootOf(c), "work/top/sch");
    EXPECT_EQ(cfidrPropGetFloat32Value(cfidrObjectFindPropByName(c, "tiny", &err), &err), 1e-12f);
    nyxdrDesignConfigSave(c, &err);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")), bytes);
}

TEST_F(ConfigSession, RootInAnotherCellComesBackAsItself) {
    // Written by hand: the root lies in cell "other", and the own cell has a view of that name.
    seltest::writeBytes(fileOf("top", "cfg"), "#!header 1.0\n#!rootview work/other/sch\n");
    cfiOID c = reopen("top", "cfg");
    EXPECT_EQ(rootOf(c), "work/other/sch");
    // A path into no library known here falls back to the last name in the own cell.
    seltest::writeBytes(fileOf("top", "old"), "#!header 1.0\n#!rootview /moved/lib/top/alt\n");
    c = reopen("top", "old");
    EXPECT_EQ(rootOf(c), "work/top/alt");
    // A known library without that object: no fallback.
    seltest::writeBytes(fileOf("top", "gone"), "#!rootview work/other/alt\n");
    c = reopen("top", "gone");
    EXPECT_EQ(rootOf(c), "error 27");
}

TEST_F(ConfigSession, UnresolvableLinesSurviveASaveInTheirPlace) {
    cfidrErrorT err = 0;
    const std::string lines =
        "#!header 1.0\n#!selectionmode 2\n#!rootview $NOWHERE/lib/top/nosuch\n"
        "#!occpropset $NOWHERE/lib/top/s1\n#!occpropset work/top/missing\n";
    seltest::writeBytes(fileOf("top", "cfg"), lines + "#!prop a I 1\n");
    cfiOID c = reopen("top", "cfg");
    EXPECT_EQ(rootOf(c), "error 27");
    cfidrIterT it = nyxdrDesignConfigGetOccPropSets(c, &err);
    EXPECT_EQ(nyxdrIterNextOccPropSet(it, &err).object, 0u);
    cfidrIterQuit(it, &err);
    // Positions count the kept entries.
    nyxdrDesignConfigRemoveOccPropSet(c, 2, &err);
    EXPECT_EQ(err, cfidrErrBadPosition);
    cfidrPropSetInt32Value(setProp(c, "b"), 2, &err);
    nyxdrDesignConfigSave(c, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")), lines + "#!prop a I 1\n#!prop b I 2\n");
    nyxdrDesignConfigRemoveOccPropSet(c, 0, &err);
    nyxdrDesignConfigSave(c, &err);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")),
              "#!header 1.0\n#!selectionmode 2\n#!rootview $NOWHERE/lib/top/nosuch\n"
              "#!occpropset work/top/missing\n#!prop a I 1\n#!prop b I 2\n");
}

TEST_F(ConfigSession, AwkwardNamesAndValuesSurviveASaveAndARead) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", sch);
    const std::vector<std::pair<std::string, std::string>> props = {
        {"my prop", "two words"},
        {"a:b/c", " lead and trail "},
        {"back\\slash", "a\\b\\nc\\"},
        {"\"quoted\"", "\"q\" 'q'"},
        {"tab", "x\ty"},
        {"inject", "x\n#!rootview work/other/sch\r\n#!prop evil I 1"},
        {"empty", ""},
    };
    for (const auto &[name, value] : props) {
        cfidrPropSetStringValue(setProp(c, name.c_str()), value.c_str(), &err);
        ASSERT_EQ(err, 0) << name;
    }
    nyxdrDesignConfigSave(c, &err);
    const std::string bytes = seltest::readBytes(fileOf("top", "cfg"));
    // Five lines of the configuration plus one a property: no value makes a line of its own.
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3 + static_cast<long>(props.size()));
    EXPECT_NE(bytes.find("#!prop my\\ prop S two words\n"), std::string::npos);
    c = reopen("top", "cfg");
    EXPECT_EQ(rootOf(c), "work/top/sch");
    for (const auto &[name, value] : props) EXPECT_EQ(stringProp(c, name.c_str()), value) << name;
    EXPECT_EQ(stringProp(c, "evil"), "error 27");
}

TEST_F(ConfigSession, OlderFilesReadAsTheyWereMeant) {
    cfidrErrorT err = 0;
    seltest::writeBytes(fileOf("top", "cfg"),
                        "#!header 1.0\r\n# a comment\n#!selectionmode 7\n#!rootview\twork/top/alt\n"
                        "#!prop s S value with blanks\n#!prop u X 1\n#!prop big I 99999999999\n"
                        "#!prop f n 1e38\n#!prop short\n#!prop b b 5\n#!unknown line\n");
    cfiOID c = reopen("top", "cfg");
    // A mode outside 0-2 leaves the mode as it was.
    EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(c, &err), 0);
    EXPECT_EQ(rootOf(c), "work/top/alt");
    EXPECT_EQ(stringProp(c, "s"), "value with blanks");
    for (const char *ignored : {"u", "big", "f", "short"}) {
        cfidrObjectFindPropByName(c, ignored, &err);
        EXPECT_EQ(err, cfidrErrNotFound) << ignored;
    }
    EXPECT_EQ(cfidrPropGetBooleanValue(cfidrObjectFindPropByName(c, "b", &err), &err), 1);
    for (const char *mode : {"2", " 1 ", "-1", "x", "3"}) {
        seltest::writeBytes(fileOf("top", "m"), std::string("#!selectionmode ") + mode + "\n");
        c = reopen("top", "m");
        const int32_t want = std::string(mode) == "2" ? 2 : std::string(mode) == " 1 " ? 1 : 0;
        EXPECT_EQ(nyxdrDesignConfigGetSelectionMode(c, &err), want) << mode;
    }
}

TEST_F(ConfigSession, RootViewPurgedOrDestroyedLeavesNoDanglingPointer) {
    cfidrErrorT err = 0;
    cfiOID c = makeConfig(top, "cfg", otherSch);
    // Purged: the view is listed again from its file and found again.
    cfidrViewPurge(otherSch, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(rootOf(c), "work/other/sch");
    // The library purged: the configuration (of the same library) goes with it.
    nyxdrDesignConfigSave(c, &err);
    cfidrLibPurge(lib, &err);
    ASSERT_EQ(err, 0);
    c = nyxdrPIOpenDesignConfig("work", "top", "cfg", cfidrUpdateMode, &err);
    EXPECT_EQ(rootOf(c), "work/other/sch");
    // Destroyed: the root cannot be found, and the line stays what it was.
    cfiOID view = nyxdrDesignConfigGetRootView(c, &err);
    cfidrObjectDestroy(view, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(rootOf(c), "error 27");
    nyxdrDesignConfigSave(c, &err);
    EXPECT_NE(seltest::readBytes(fileOf("top", "cfg")).find("#!rootview work/other/sch\n"),
              std::string::npos);
}

TEST_F(ConfigSession, RootInAnotherLibraryIsFoundAgainAfterThatLibraryIsPurged) {
    cfidrErrorT err = 0;
    cfiOID lib2 = makeLib("lib2");
    cfiOID v = makeView(makeCell(lib2, "c"), "v");
    cfidrLibSave(lib2, &err);
    cfiOID c = makeConfig(top, "cfg", v);
    cfidrLibPurge(lib2, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(rootOf(c), "lib2/c/v");
    nyxdrDesignConfigSave(c, &err);
    EXPECT_EQ(seltest::readBytes(fileOf("top", "cfg")),
              "#!header 1.0\n#!selectionmode 0\n#!rootview lib2/c/v\n");
}
