// The two stored forms of selector sets: exact bytes of the current form, round trips of both
// forms that keep both lists in order and every value type, hostile files of the older form,
// and the loaded state: a set whose file cannot be read is never saved over it.
#include "selector_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

using seltest::describe;
using seltest::readBytes;
using seltest::SelectorSession;
using seltest::writeBytes;

namespace {

// Where two long texts first differ, with a little context ("" when equal).
std::string firstDifference(const std::string &a, const std::string &b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    if (i == a.size() && i == b.size()) return "";
    return "at " + std::to_string(i) + ": '" + a.substr(i > 20 ? i - 20 : 0, 60) + "' vs '" +
           b.substr(i > 20 ? i - 20 : 0, 60) + "'";
}

struct SelectorFiles : SelectorSession {
    // Adds a property of each value type to a list through the stored-form setters.
    static void addEveryType(nyxPropList *&list, const nyxPropOwner &owner, const std::string &tag) {
        const std::string longValue(5000, 'x');
        struct Item {
            const char *name;
            char letter;
            std::string text;
        };
        const Item items[] = {
            {"bool", 'B', "1"},
            {"int", 'I', "-2147483648"},
            {"half", 'N', "1.5"},
            {"tiny", 'N', "1e-12"},
            {"str", 'S', "a \"quoted\" \\ back\nslash and newline"},
            {"long", 'S', longValue},
            {"expr", 'E', "1 + x"},
            {"trip", 'T', "a b c"},
            {"case", 'C', "A b C"},
            {"gone", 'D', ""},
        };
        for (const Item &item : items) {
            nyxTextFile::Value value;
            ASSERT_TRUE(nyxTextFile::parseValue(item.letter, item.text, value)) << item.name;
            cfidrErrorT err = 0;
            nyxTextFile::createProperty(list, owner, (tag + item.name).c_str(), value, &err);
            ASSERT_EQ(err, 0);
        }
    }

    // A set with both lists interleaved, awkward names and every value type everywhere. Names
    // with a newline only where the form keeps them: the older form's reader applies the name
    // rule to what it reads.
    // A set with every kind of content. In the older stored form, the set is opened from a
    // stored empty set of that form, so that saves keep the form.
    nyxSelectorSet *fullSet(const char *name, const char *viewName, bool olderForm = false) {
        if (olderForm) {
            const std::string n(name);
            writeBytes(n + ".nyxs1", "s " + std::to_string(n.size()) + " " + n + " }");
        }
        cfiOID id = olderForm ? cfidrPIOpenSelectorSet(name, &e) : cfidrPICreateSelectorSet(name, &e);
        EXPECT_EQ(e, 0);
        nyxSelectorSet *set = asSet(id);
        cfidrErrorT err = 0;
        addEveryType(set->d_propList, set->propOwner(), "set ");
        nyxLibrarySelector *l1 = nyxSelectorSet::appendLibrarySelector(set, "lib with blank", &err);
        nyxLibrarySelector *l2 = nyxSelectorSet::appendLibrarySelector(set, "q\"uote\\d", &err);
        nyxViewSelector *v1 = nyxSelectorSet::appendViewSelector(set, 19, "", "", "sym bol", &err);
        nyxViewSelector *v2 = nyxSelectorSet::appendViewSelector(set, 18, "L", "c\"ell", viewName, &err);
        nyxViewSelector *v3 = nyxSelectorSet::appendViewSelector(set, 19, "\\", "", "t", &err);
        EXPECT_EQ(err, 0);
        addEveryType(l1->d_propList, nyxSelectorSet::propOwner(l1), "l1 ");
        addEveryType(l2->d_propList, nyxSelectorSet::propOwner(l2), "");
        addEveryType(v1->d_propList, nyxSelectorSet::propOwner(v1), "v1 ");
        addEveryType(v2->d_propList, nyxSelectorSet::propOwner(v2), "v2\"");
        (void)v3;
        return set;
    }

    void save(const char *name) {
        cfidrErrorT err = 0;
        cfidrSelectorSetSave(cfidrPIOpenSelectorSet(name, &err), &err);
        EXPECT_EQ(err, 0);
    }
    // The description of a stored set after its first use.
    std::string reopened(const char *name) {
        cfidrErrorT err = 0;
        cfiOID id = cfidrPIOpenSelectorSet(name, &err);
        EXPECT_EQ(err, 0);
        EXPECT_TRUE(nyxSelectorSet::load(asSet(id), &err));
        return describe(asSet(id));
    }
};

} // namespace

TEST_F(SelectorFiles, CurrentFormBytes) {
    cfiOID set = cfidrPICreateSelectorSet("golden", &e);
    cfidrErrorT err = 0;
    cfiOID p = cfidrObjectCreateProp(set, "scale", &err);
    cfidrPropSetFloat32Value(p, 1.5f, &err);
    p = cfidrObjectCreateProp(set, "tiny", &err);
    cfidrPropSetFloat32Value(p, 1e-12f, &err);
    cfiOID lib = cfidrSelectorSetCreateLibrarySelector(set, "work", &err);
    cfidrPropSetBooleanValue(cfidrObjectCreateProp(lib, "on", &err), 1, &err);
    nyxSelectorSet::appendLibrarySelector(asSet(set), "", &err);
    cfiOID v = cfidrSelectorSetCreateViewNameSelector(set, "", "top", "sch", &err);
    cfidrPropSetStringValue(cfidrObjectCreateProp(v, "why", &err), "say \"hi\"", &err);
    cfiOID t = cfidrSelectorSetCreateViewTypeSelector(set, "work", "", "netlist", &err);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(t, "n", &err), -7, &err);
    cfidrPropSetExpressionValue(cfidrObjectCreateProp(t, "e", &err), "a+1", &err);
    ASSERT_EQ(err, 0);
    cfidrSelectorSetSave(set, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(readBytes("golden.nyxSelectorSet"),
              "#!header 1.0\n"
              "#!prop \"scale\" N 1.500000\n"
              "#!prop \"tiny\" N 9.99999996e-13\n"
              "#!libsel \"work\"\n"
              "#!libprop \"on\" B 1\n"
              "#!libsel -\n"
              "#!viewnamesel \"\" \"top\" \"sch\"\n"
              "#!viewnameprop \"why\" S \"say \\\"hi\\\"\"\n"
              "#!viewtypesel \"work\" \"\" \"netlist\"\n"
              "#!viewtypeprop \"n\" I -7\n"
              "#!viewtypeprop \"e\" E \"a+1\"\n");
}

TEST_F(SelectorFiles, BothFormsRoundTripOrderNamesAndEveryValueType) {
    const std::string want = describe(fullSet("current", "new\nline"));
    const std::string wantOlder = describe(fullSet("older", "new line", true));
    save("current");
    save("older");
    restart();
    EXPECT_EQ(firstDifference(reopened("current"), want), "");
    EXPECT_EQ(firstDifference(reopened("older"), wantOlder), "");
    // The older form is written back in it, and the current form stays current.
    EXPECT_TRUE(nyxFileIO::isFile("older.nyxs1"));
    EXPECT_FALSE(nyxFileIO::isFile("older.nyxSelectorSet"));
    EXPECT_FALSE(nyxFileIO::isFile("current.nyxs1"));
    const std::string before = readBytes("older.nyxs1");
    cfidrErrorT err = 0;
    cfidrSelectorSetSave(cfidrPIOpenSelectorSet("older", &err), &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(readBytes("older.nyxs1"), before);
}

TEST_F(SelectorFiles, EmptyLibrarySelectorNameComesBackAsDash) {
    writeBytes("dash.nyxSelectorSet", "#!header 1.0\n#!libsel\n#!libsel \"\"\n# comment\n#!unknown x\n");
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet("dash", &err);
    cfidrIterT it = cfidrSelectorSetGetLibrarySelectors(set, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(cfidrLibrarySelectorGetLibraryName(cfidrIterNextLibrarySelector(it, &err), &err), std::string(""));
    cfidrSelectorSetSave(set, &err);
    EXPECT_EQ(readBytes("dash.nyxSelectorSet"), "#!header 1.0\n#!libsel -\n#!libsel -\n");
    restart();
    set = cfidrPIOpenSelectorSet("dash", &err);
    it = cfidrSelectorSetGetLibrarySelectors(set, &err);
    EXPECT_EQ(cfidrLibrarySelectorGetLibraryName(cfidrIterNextLibrarySelector(it, &err), &err), std::string("-"));
}

// Values that do not fit their type leave their line without effect; unknown letters too.
TEST_F(SelectorFiles, OutOfRangeNumbersAndUnknownLettersAddNothing) {
    writeBytes("range.nyxSelectorSet",
               "#!prop \"a\" I 2147483648\n#!prop \"b\" N nan\n#!prop \"c\" N inf\n#!prop \"d\" N 1e38\n"
               "#!prop \"e\" B x\n#!prop \"f\" U\n#!prop \"g\" Q 1\n#!prop \"\" I 1\n"
               "#!prop \"ok\" i 2147483647\n#!prop \"s\" s\n#!prop \"n\" n -0.25\n");
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet("range", &err);
    ASSERT_TRUE(nyxSelectorSet::load(asSet(set), &err));
    EXPECT_EQ(describe(asSet(set)), "set ok:2=2147483647 s:5='' n:3=-0.25\n");
}

TEST_F(SelectorFiles, HostileOlderFilesAreDamagedAndNeverSavedOver) {
    const std::string deep = [] {
        std::string s = "s 1 x A ";
        for (int i = 0; i < 10000; ++i) s += "V 1 p A ";
        return s;
    }();
    const std::string files[] = {
        "s 100 x }",                      // length beyond the file
        "s -1 x }",                       // negative length
        "s 99999999999999999999 x }",     // length out of range
        "s 1 x L 5 ab }",                 // a name cut short
        "s 1 x L 2 abc } }",              // a name running into the next token
        "s 1 x A B 1 p 1 ",               // a block without its end
        "s 1 x Z }",                      // an unknown selector letter
        "s 1 x A Q 1 p 1 } }",            // an unknown entry letter
        "s 1 x N 0  0  1 v",              // a selector without its end
        "x 1 x }",                        // not a set
        "",                               // empty
        deep,                             // blocks nested without bound
    };
    int k = 0;
    for (const std::string &text : files) {
        const std::string name = "bad" + std::to_string(k++);
        writeBytes(name + ".nyxs1", text);
        cfidrErrorT err = 0;
        cfiOID set = cfidrPIOpenSelectorSet(name.c_str(), &err);
        ASSERT_EQ(err, 0) << name;
        cfidrSelectorSetGetViewSelectors(set, &err);
        EXPECT_EQ(err, cfidrErrInternal) << name;
        EXPECT_FALSE(asSet(set)->loaded()) << name;
        EXPECT_EQ(asSet(set)->readError(), cfidrErrInternal) << name;
        EXPECT_EQ(describe(asSet(set)), "set\n") << name;
        cfidrSelectorSetSave(set, &err);
        EXPECT_EQ(err, cfidrErrInternal) << name;
        EXPECT_EQ(readBytes(name + ".nyxs1"), text) << name;
    }
    // Nesting up to the bound is read; entries that fail the name rule are skipped whole.
    writeBytes("good.nyxs1", "s 4 good A V 1 p A V 1 q A B 1 r 1 } } } L 0  A I 1 z 1 } } "
                             "N 0  0  1 v A S 1 s 3 a b } } T 1 \x01 0  1 t } }");
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet("good", &err);
    ASSERT_TRUE(nyxSelectorSet::load(asSet(set), &err));
    EXPECT_EQ(describe(asSet(set)), "set p:0= { q:0= { r:1=1 } }\nname '' '' 'v' s:5='a b'\n");
}

// A read that fails leaves the set empty and unread; the save refuses with the read's error and
// writes nothing; once the file can be read, the set reads it.
TEST_F(SelectorFiles, FailedReadFollowedBySaveLeavesTheFileUntouched) {
    writeBytes("kept.nyxSelectorSet", "#!header 1.0\n#!libsel \"L\"\n");
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet("kept", &err);
    ASSERT_EQ(err, 0);
    nyxFileIO::failOperation(1);
    cfidrSelectorSetCreateLibrarySelector(set, "M", &err);
    EXPECT_EQ(err, cfidrErrUpdateOpenFailed);
    nyxFileIO::failOperation(0);
    EXPECT_EQ(describe(asSet(set)), "set\n");
    // A set too large to read is refused in the same way (a sparse file).
    ASSERT_EQ(truncate("kept.nyxSelectorSet", (64 << 20) + 1), 0);
    cfidrSelectorSetSave(set, &err);
    EXPECT_EQ(err, cfidrErrInternal);
    struct stat st;
    ASSERT_EQ(stat("kept.nyxSelectorSet", &st), 0);
    EXPECT_EQ(st.st_size, (64 << 20) + 1);
    writeBytes("kept.nyxSelectorSet", "#!header 1.0\n#!libsel \"L\"\n");
    cfidrSelectorSetCreateLibrarySelector(set, "M", &err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(describe(asSet(set)), "set\nlib 'L'\nlib 'M'\n");
}

// Each file operation of a save fails in turn: a save that reports failure leaves the previous
// file whole; one that reports success wrote the new content.
TEST_F(SelectorFiles, SaveFailingAtEachOperationLeavesThePreviousFileWhole) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPICreateSelectorSet("sweep", &err);
    cfidrSelectorSetCreateLibrarySelector(set, "old", &err);
    cfidrSelectorSetSave(set, &err);
    ASSERT_EQ(err, 0);
    const std::string before = readBytes("sweep.nyxSelectorSet");
    cfidrSelectorSetCreateLibrarySelector(set, "new", &err);
    nyxFileIO::failOperation(0);
    cfidrSelectorSetSave(set, &err);
    const long operations = nyxFileIO::operationCount();
    const std::string after = readBytes("sweep.nyxSelectorSet");
    ASSERT_GT(operations, 2);
    for (long n = 1; n <= operations; ++n) {
        writeBytes("sweep.nyxSelectorSet", before);
        nyxFileIO::failOperation(n);
        cfidrSelectorSetSave(set, &err);
        nyxFileIO::failOperation(0);
        const std::string now = readBytes("sweep.nyxSelectorSet");
        if (err != 0) EXPECT_EQ(now, before) << "operation " << n;
        else EXPECT_EQ(now, after) << "operation " << n;
        EXPECT_FALSE(nyxFileIO::isFile("sweep.nyxSelectorSet.ed")) << n;
    }
}

// Renaming forgets the path of the old name: the save writes the new name's file.
TEST_F(SelectorFiles, RenameThenSaveLeavesTheOldNamesFile) {
    writeBytes("first.nyxSelectorSet", "#!header 1.0\n#!libsel \"kept\"\n");
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet("first", &err);
    cfiOID other = cfidrPICreateSelectorSet("taken", &err);
    cfidrNamedObjectSetName(set, "taken", &err);
    EXPECT_EQ(err, cfidrErrNameTaken);
    cfidrNamedObjectSetName(set, "bad\nname", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    cfidrNamedObjectSetName(set, "second", &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(cfidrNamedObjectGetName(set, &err), std::string("second"));
    cfidrSelectorSetCreateLibrarySelector(set, "added", &err);
    cfidrSelectorSetSave(set, &err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(readBytes("first.nyxSelectorSet"), "#!header 1.0\n#!libsel \"kept\"\n");
    EXPECT_EQ(readBytes("second.nyxSelectorSet"), "#!header 1.0\n#!libsel \"kept\"\n#!libsel \"added\"\n");
    (void)other;
}

TEST_F(SelectorFiles, OpeningASetWithoutAStoredFileReportsItAtTheOpen) {
    cfidrErrorT err = 0;
    cfiOID set = cfidrPIOpenSelectorSet("absent", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    EXPECT_EQ(set.object, 0u);
    EXPECT_EQ(nyxSelectorSet::sessionList().nitems(), 0);
    cfidrPIOpenSelectorSet("", &err);
    EXPECT_EQ(err, cfidrErrBadName);
    // A created set is found by the open while it is in the session, with regard to case.
    set = cfidrPICreateSelectorSet("made", &err);
    EXPECT_EQ(cfidrPIOpenSelectorSet("made", &err).object, set.object);
    cfidrPIOpenSelectorSet("MADE", &err);
    EXPECT_EQ(err, cfidrErrNotFound);
    cfidrPICreateSelectorSet("made", &err);
    EXPECT_EQ(err, cfidrErrAlreadyExists);
}

// Destroying a set removes its file and drops it; the current directory's set files are opened
// at start.
TEST_F(SelectorFiles, DestroyRemovesTheFileAndStartOpensTheDirectorysSets) {
    writeBytes("one.nyxSelectorSet", "#!libsel \"L\"\n");
    writeBytes("two.nyxs1", "s 3 two }");
    restart();
    cfidrErrorT err = 0;
    cfidrIterT it = cfidrPIGetSelectorSets(&err);
    std::string names;
    for (cfiOID s = cfidrIterNextSelectorSet(it, &err); s.object != 0; s = cfidrIterNextSelectorSet(it, &err)) {
        names += std::string(cfidrNamedObjectGetName(s, &err)) + " ";
    }
    EXPECT_TRUE(names == "one two " || names == "two one ") << names;
    cfiOID one = cfidrPIOpenSelectorSet("one", &err);
    cfidrObjectDestroy(one, &err);
    ASSERT_EQ(err, 0);
    EXPECT_FALSE(nyxFileIO::isFile("one.nyxSelectorSet"));
    EXPECT_FALSE(cfidrObjectIsUsable(one, &err));
    EXPECT_EQ(nyxSelectorSet::sessionList().nitems(), 1);
}
