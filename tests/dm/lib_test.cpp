// Libraries and cells through the exported interface: the failure codes, lazy reading, names in
// paths, saving, purging and destroying.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "cfidr.h"
#include "common/test_env.h"
#include "nyxdr.h"
#include "dm/dm_checks.h"

namespace {

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void touch(const std::string &path) { std::ofstream(path) << "x"; }

std::set<std::string> cellNames(cfiOID lib) {
    cfidrErrorT e = 0;
    std::set<std::string> names;
    cfidrIterT it = cfidrLibGetCells(lib, &e);
    EXPECT_EQ(e, 0);
    for (cfiOID c = cfidrIterNextCell(it, &e); c.object != 0; c = cfidrIterNextCell(it, &e)) {
        names.insert(cfidrNamedObjectGetName(c, &e));
    }
    cfidrIterQuit(it, &e);
    return names;
}

// Starts the library afresh, as a new process would.
void restart() {
    cfidrErrorT e = 0;
    cfidrPIQuit(&e);
    cfidrPIInit(&e);
}

// Most tests keep their libraries in the current directory.
struct Libraries : testing::Test {
    void SetUp() override { setenv("ZIL_NYX_LIBRARYMAP", ".", 1); }
    cfidrErrorT e = 0;
};

} // namespace

TEST_F(Libraries, FailureCodesOfLibrariesAndCells) {
    // 14: invalid names, whatever the function.
    for (const char *bad : {"", "caf\xc3\xa9", "tab\there"}) {
        cfidrPICreateLib(bad, &e);
        EXPECT_EQ(e, cfidrErrBadName) << bad;
        cfidrPIOpenLib(bad, cfidrReadMode, &e);
        EXPECT_EQ(e, cfidrErrBadName) << bad;
        cfidrPIFindLibByName(bad, &e);
        EXPECT_EQ(e, cfidrErrBadName) << bad;
    }
    EXPECT_CODE(cfidrPICreateLib(nullptr, &e), cfidrErrBadName);
    // 27: no such library; 41: bad mode.
    EXPECT_CODE(cfidrPIOpenLib("nowhere", cfidrReadMode, &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrPIFindLibByName("nowhere", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrPIOpenLib("nowhere", 3, &e), cfidrErrBadAccessMode);

    cfiOID lib = cfidrPICreateLib("lib", &e);
    ASSERT_EQ(e, 0);
    EXPECT_CODE(cfidrPICreateLib("lib", &e), cfidrErrAlreadyExists);  // Known in memory.
    cfiOID top = cfidrLibCreateCell(lib, "TOP", &e);
    ASSERT_EQ(e, 0);
    EXPECT_CODE(cfidrLibCreateCell(lib, "Top", &e),
                cfidrErrAlreadyExists); // Cell names ignore case.
    EXPECT_TRUE(cfidrObjectIsSame(cfidrLibFindCellByName(lib, "top", &e), top, &e));
    EXPECT_CODE(cfidrLibCreateCell(lib, "", &e), cfidrErrBadName);
    // A name with control characters is tried once without them.
    cfiOID retried = cfidrLibCreateCell(lib, "ne\tw\n", &e);
    ASSERT_EQ(e, 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(retried, &e), "new");
    EXPECT_CODE(cfidrLibFindCellByName(lib, "absent", &e), cfidrErrNotFound);
    EXPECT_CODE(cfidrLibFindCellByName(lib, "", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrCellFindViewByName(top, "", &e), cfidrErrBadName);
    EXPECT_CODE(cfidrCellFindViewByName(top, "schematic", &e), cfidrErrNotFound);
    // Renaming libraries and cells is refused.
    EXPECT_CODE(cfidrNamedObjectSetName(lib, "other", &e), cfidrErrIllegalOperation);
    EXPECT_CODE(cfidrNamedObjectSetName(top, "other", &e), cfidrErrIllegalOperation);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrCellGetOwner(top, &e), lib, &e));
    EXPECT_CODE(cfidrCellGetOwner(lib, &e), cfidrErrWrongType);
    EXPECT_CODE(cfidrLibGetCells(top, &e), cfidrErrWrongType);

    // A library on disk that is not known: 26 on create, found otherwise.
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    restart();
    EXPECT_CODE(cfidrPICreateLib("lib", &e), cfidrErrAlreadyExists);
    // 22: a library opened before comes back in the new mode; read-only refuses cells (42).
    lib = cfidrPIOpenLib("lib", cfidrUpdateMode, &e);
    ASSERT_EQ(e, 0);
    cfiOID again = cfidrPIOpenLib("lib", cfidrReadMode, &e);
    EXPECT_EQ(e, cfidrErrLibAlreadyOpen);
    EXPECT_TRUE(cfidrObjectIsSame(again, lib, &e));
    EXPECT_CODE(cfidrLibCreateCell(lib, "fresh", &e), cfidrErrNotOpenForUpdate);
    cfiOID cell = cfidrLibFindCellByName(lib, "top", &e);
    EXPECT_CODE(cfidrObjectDestroy(cell, &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrObjectCreateProp(lib, "p", &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrPIOpenLib("lib", cfidrUpdateMode, &e), cfidrErrLibAlreadyOpen);
    EXPECT_CODE(cfidrLibCreateCell(lib, "fresh", &e), 0);
    // A cell directory made behind the library's back is found by the on-disk check.
    ASSERT_EQ(mkdir("lib/late", 0777), 0);
    EXPECT_CODE(cfidrLibCreateCell(lib, "late", &e), cfidrErrAlreadyExists);
}

TEST(LibrarySearchPath, LibrariesAreKnownButNotUserOpened) {
    cfidrErrorT e = 0;
    ASSERT_EQ(mkdir("alpha", 0777), 0);
    ASSERT_EQ(mkdir("alpha/cellA", 0777), 0);
    ASSERT_EQ(mkdir("be ta", 0777), 0);
    const std::string &dir = nyxtest::testDirectory();
    std::string path = dir + "/alpha:" + dir + "/missing; " + dir + "/be ta \n";
    setenv("ZIL_CFI_LIBPATH", path.c_str(), 1);
    cfidrPIInit(&e);
    cfiOID alpha = cfidrPIOpenLib((dir + "/alpha").c_str(), cfidrReadMode, &e);
    EXPECT_EQ(e, 0);  // Known only from the search path: no 22.
    EXPECT_CODE(cfidrPIOpenLib((dir + "/alpha").c_str(), cfidrReadMode, &e),
                cfidrErrLibAlreadyOpen);
    EXPECT_EQ(cellNames(alpha), std::set<std::string>{"cellA"});

    // Listing the libraries makes them user-opened.
    cfidrIterT it = cfidrPIGetLibs(&e);
    int count = 0;
    for (cfiOID l = cfidrIterNextLib(it, &e); l.object != 0; l = cfidrIterNextLib(it, &e)) ++count;
    cfidrIterQuit(it, &e);
    EXPECT_EQ(count, 2);  // The missing directory is not a library.
    // The listing read each library: a cell made afterwards is not seen.
    ASSERT_EQ(mkdir("be ta/late", 0777), 0);
    cfiOID beta = cfidrPIOpenLib((dir + "/be ta").c_str(), cfidrReadMode, &e);
    EXPECT_EQ(e, cfidrErrLibAlreadyOpen);
    EXPECT_EQ(cellNames(beta), std::set<std::string>{});
}

TEST_F(Libraries, LibraryAndCellDirectoriesAreReadOnFirstUse) {
    ASSERT_EQ(mkdir("lazy", 0777), 0);
    ASSERT_EQ(mkdir("lazy/one", 0777), 0);
    ASSERT_EQ(mkdir("gone", 0777), 0);
    cfidrPIInit(&e);  // Makes "lazy" and "gone" known, unread.
    cfiOID lib = cfidrPIFindLibByName("lazy", &e);
    ASSERT_EQ(e, 0);
    // Not yet listed: a cell made now is seen by the first listing.
    ASSERT_EQ(mkdir("lazy/two", 0777), 0);
    EXPECT_EQ(cellNames(lib), (std::set<std::string>{"one", "two"}));
    // Cells are not listed with their library: one whose directory is gone is still found, and
    // fails only when its own directory is first listed.
    ASSERT_EQ(rmdir("lazy/two"), 0);
    cfiOID two = cfidrLibFindCellByName(lib, "two", &e);
    ASSERT_EQ(e, 0);
    EXPECT_CODE(cfidrCellGetViews(two, &e), cfidrErrNotFound);
    // An empty cell lists no views.
    cfiOID one = cfidrLibFindCellByName(lib, "one", &e);
    cfidrIterT views = cfidrCellGetViews(one, &e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cfidrIterNextView(views, &e).object, 0u);
    cfidrIterQuit(views, &e);
    // Opening a library whose directory vanished after it became known: 27 and nothing returned.
    ASSERT_EQ(rmdir("gone"), 0);
    EXPECT_EQ(cfidrPIOpenLib("gone", cfidrReadMode, &e).object, 0u);
    EXPECT_EQ(e, cfidrErrNotFound);
}

// A long cell list is searched through a name index: it must find what the list order finds,
// the first of two cells whose names differ only in case, and follow cells made and destroyed.
TEST_F(Libraries, CellsOfALongListAreFoundByNameAsTheListOrders) {
    ASSERT_EQ(mkdir("many", 0777), 0);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(mkdir(("many/c" + std::to_string(i)).c_str(), 0777), 0);
    ASSERT_EQ(mkdir("many/C7", 0777), 0);
    cfiOID lib = cfidrPIOpenLib("many", cfidrUpdateMode, &e);
    ASSERT_EQ(e, 0);
    // The first of the twins in list order.
    std::string first;
    cfidrIterT it = cfidrLibGetCells(lib, &e);
    for (cfiOID c = cfidrIterNextCell(it, &e); c.object != 0 && first.empty(); c = cfidrIterNextCell(it, &e)) {
        const std::string name = cfidrNamedObjectGetName(c, &e);
        if (name == "c7" || name == "C7") first = name;
    }
    cfidrIterQuit(it, &e);
    ASSERT_FALSE(first.empty());
    const std::string second = first == "c7" ? "C7" : "c7";
    for (const char *asked : {"c7", "C7"}) {
        cfiOID found = cfidrLibFindCellByName(lib, asked, &e);
        ASSERT_EQ(e, 0);
        EXPECT_EQ(cfidrNamedObjectGetName(found, &e), first) << asked;
    }
    EXPECT_STREQ(cfidrNamedObjectGetName(cfidrLibFindCellByName(lib, "C39", &e), &e), "c39");
    EXPECT_CODE(cfidrLibFindCellByName(lib, "c40", &e), cfidrErrNotFound);
    // Destroyed, the first twin leaves the index; the other is found then.
    ASSERT_CODE(cfidrObjectDestroy(cfidrLibFindCellByName(lib, "c7", &e), &e), 0);
    EXPECT_EQ(cfidrNamedObjectGetName(cfidrLibFindCellByName(lib, "c7", &e), &e), second);
    ASSERT_CODE(cfidrObjectDestroy(cfidrLibFindCellByName(lib, "c7", &e), &e), 0);
    EXPECT_CODE(cfidrLibFindCellByName(lib, "C7", &e), cfidrErrNotFound);
    // A cell made after the index is found by it; a twin of an indexed name is refused.
    cfiOID late = cfidrLibCreateCell(lib, "Late", &e);
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrLibFindCellByName(lib, "LATE", &e), late, &e));
    EXPECT_CODE(cfidrLibCreateCell(lib, "C12", &e), cfidrErrAlreadyExists);
}

TEST_F(Libraries, CellNamesWithSlashesAndDotsRoundTrip) {
    cfiOID lib = cfidrPICreateLib("names", &e);
    const std::set<std::string> names = {"a/b", ".", "..", "x.y", "back\\slash"};
    for (const std::string &n : names) {
        cfidrLibCreateCell(lib, n.c_str(), &e);
        ASSERT_EQ(e, 0) << n;
    }
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    EXPECT_TRUE(exists("names/a\tb"));
    EXPECT_TRUE(exists("names/\n"));
    EXPECT_TRUE(exists("names/\n\n"));
    EXPECT_TRUE(exists("names/x.y"));
    EXPECT_FALSE(exists("names/_nyx_Lib"));  // No properties, no property file.
    restart();
    lib = cfidrPIOpenLib("names", cfidrReadMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cellNames(lib), (std::set<std::string>{"a/b", ".", "..", "x.y", "back/slash"}));
}

// Entries that no name encodes to ("a\\b", "x<newline>y") were read as cells whose paths are
// other entries: "a\\b" became a second cell "a/b" on the directory "a<tab>b", whose destruction
// then removed the other cell's files. They are now not cells (nor views) at all.
TEST_F(Libraries, EntriesThatAreNotStoredNamesAreNotCells) {
    for (const char *dir : {"lib", "lib/a\tb", "lib/a\\b", "lib/x\ny", "lib/c"}) ASSERT_EQ(mkdir(dir, 0777), 0);
    touch("lib/a\\b/keep");
    touch("lib/c/p\\q.nyxNetlistView");
    touch("lib/c/r\ns.nyxNetlistView");
    cfiOID lib = cfidrPIOpenLib("lib", cfidrUpdateMode, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cellNames(lib), (std::set<std::string>{"a/b", "c"}));
    cfiOID c = cfidrLibFindCellByName(lib, "c", &e);
    cfidrIterT views = cfidrCellGetViews(c, &e);
    EXPECT_EQ(cfidrIterNextView(views, &e).object, 0u);
    cfidrIterQuit(views, &e);
    ASSERT_CODE(cfidrObjectDestroy(cfidrLibFindCellByName(lib, "a/b", &e), &e), 0);
    EXPECT_FALSE(exists("lib/a\tb"));
    EXPECT_TRUE(exists("lib/a\\b/keep"));
    EXPECT_TRUE(exists("lib/x\ny"));
}

TEST_F(Libraries, PropertiesOfEveryStoredTypeSurviveSaveAndReread) {
    cfiOID lib = cfidrPICreateLib("props", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "c", &e);
    for (cfiOID owner : {lib, cell}) {
        cfidrPropSetBooleanValue(cfidrObjectCreateProp(owner, "flag", &e), 1, &e);
        cfidrPropSetInt32Value(cfidrObjectCreateProp(owner, "count", &e), -42, &e);
        cfidrPropSetFloat32Value(cfidrObjectCreateProp(owner, "ratio", &e), 2.5f, &e);
        cfidrPropSetStringValue(cfidrObjectCreateProp(owner, "text with blanks", &e), "a b\nc", &e);
        cfidrPropSetStringValue(cfidrObjectCreateProp(owner, "empty", &e), "", &e);
        cfidrPropSetExpressionValue(cfidrObjectCreateProp(owner, "expr", &e), "1 + 2", &e);
        ASSERT_CODE(cfidrObjectCreateProp(owner, "novalue", &e), 0);
    }
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    // The records of the plain types keep their documented form.
    std::ifstream in("props/_nyx_Lib");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.substr(0, 50), "4 flag1 1\n5 count2 -42\n5 ratio3 2.500000\n16 text w");
    EXPECT_TRUE(exists("props/c/_nyx_Cell"));

    restart();
    lib = cfidrPIOpenLib("props", cfidrReadMode, &e);
    cell = cfidrLibFindCellByName(lib, "c", &e);
    for (cfiOID owner : {lib, cell}) {
        EXPECT_EQ(cfidrPropGetBooleanValue(cfidrObjectFindPropByName(owner, "flag", &e), &e), 1);
        EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(owner, "count", &e), &e), -42);
        EXPECT_EQ(cfidrPropGetFloat32Value(cfidrObjectFindPropByName(owner, "ratio", &e), &e), 2.5f);
        EXPECT_STREQ(cfidrPropGetStringValue(cfidrObjectFindPropByName(owner, "text with blanks", &e), &e),
                     "a b\nc");
        EXPECT_STREQ(cfidrPropGetStringValue(cfidrObjectFindPropByName(owner, "empty", &e), &e), "");
        cfiOID expr = cfidrObjectFindPropByName(owner, "expr", &e);
        EXPECT_EQ(nyxdrPropGetValueType(expr, &e), nyxdrExpressionValueType);
        EXPECT_STREQ(cfidrPropGetStringValue(expr, &e), "1 + 2");
        EXPECT_EQ(nyxdrPropGetValueType(cfidrObjectFindPropByName(owner, "novalue", &e), &e),
                  cfidrNoValueType);
        EXPECT_EQ(e, 0);
    }
    // Removing every property removes the property file at the next save.
    cfidrPIOpenLib("props", cfidrUpdateMode, &e);
    cfidrIterT it = cfidrObjectGetProps(lib, &e);
    std::vector<cfiOID> all;
    for (cfiOID p = cfidrIterNextProp(it, &e); p.object != 0; p = cfidrIterNextProp(it, &e)) all.push_back(p);
    cfidrIterQuit(it, &e);
    for (cfiOID p : all) cfidrObjectDestroy(p, &e);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    EXPECT_FALSE(exists("props/_nyx_Lib"));
}

TEST_F(Libraries, OlderPropertyFileNamesAreRead) {
    ASSERT_EQ(mkdir("old", 0777), 0);
    ASSERT_EQ(mkdir("old/c", 0777), 0);
    std::ofstream("old/.nyx_lib") << "1 a2 7\n";
    std::ofstream("old/c/nyx\tCell") << "1 b5 3 xyz\n";
    std::ofstream("old/c/.nyx") << "1 b5 5 wrong\n";  // The second name wins over the third.
    cfiOID lib = cfidrPIOpenLib("old", cfidrUpdateMode, &e);
    EXPECT_EQ(cfidrPropGetInt32Value(cfidrObjectFindPropByName(lib, "a", &e), &e), 7);
    cfiOID cell = cfidrLibFindCellByName(lib, "c", &e);
    EXPECT_STREQ(cfidrPropGetStringValue(cfidrObjectFindPropByName(cell, "b", &e), &e), "xyz");
    // Not a view: ".nyx" has no name before its extension.
    cfidrIterT views = cfidrCellGetViews(cell, &e);
    EXPECT_EQ(cfidrIterNextView(views, &e).object, 0u);
    // Writing always uses the current names.
    cfidrLibSave(lib, &e);
    EXPECT_TRUE(exists("old/_nyx_Lib"));
    EXPECT_TRUE(exists("old/c/_nyx_Cell"));
}

TEST_F(Libraries, PurgeForgetsUnsavedLibrariesAndRereadsSavedOnes) {
    cfiOID scratch = cfidrPICreateLib("scratch", &e);
    cfiOID kept = cfidrPICreateLib("kept", &e);
    cfiOID cell = cfidrLibCreateCell(kept, "c", &e);
    cfiOID prop = cfidrObjectCreateProp(cell, "p", &e);
    cfidrLibSave(kept, &e);
    ASSERT_CODE(cfidrLibCreateCell(kept, "unsaved", &e), 0);

    EXPECT_CODE(cfidrLibPurge(scratch, &e), 0);
    EXPECT_FALSE(cfidrObjectIsUsable(scratch, &e));
    EXPECT_CODE(cfidrPIFindLibByName("scratch", &e), cfidrErrNotFound);

    EXPECT_CODE(cfidrLibPurge(kept, &e), 0);
    for (cfiOID id : {kept, cell, prop}) EXPECT_FALSE(cfidrObjectIsUsable(id, &e));
    EXPECT_CODE(cfidrLibGetCells(kept, &e), cfidrErrObjectUnusable);
    // Known again and unopened: opening it is no 22 and reads the saved state only.
    cfiOID back = cfidrPIOpenLib("kept", cfidrReadMode, &e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(cellNames(back), std::set<std::string>{"c"});
    cfiOID c = cfidrLibFindCellByName(back, "c", &e);
    EXPECT_EQ(cfidrObjectFindPropByName(c, "p", &e).object != 0, true);
}

TEST_F(Libraries, DestroyRemovesDirectoriesAndFiles) {
    cfiOID lib = cfidrPICreateLib("doomed", &e);
    cfidrObjectCreateProp(cfidrLibCreateCell(lib, "a", &e), "p", &e);
    cfidrLibCreateCell(lib, "b", &e);
    cfidrObjectCreateProp(lib, "p", &e);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    touch("doomed/a/v.nyxNetlistView");  // A stored view goes with its cell.
    touch("doomed/a/_nyx_Cell.bak");
    touch("doomed/_nyx_Lib.ed");
    restart();
    lib = cfidrPIOpenLib("doomed", cfidrUpdateMode, &e);
    cfiOID a = cfidrLibFindCellByName(lib, "a", &e);
    cfiOID b = cfidrLibFindCellByName(lib, "b", &e);
    ASSERT_EQ(e, 0);

    EXPECT_CODE(cfidrObjectDestroy(b, &e), 0);
    EXPECT_FALSE(exists("doomed/b"));
    EXPECT_FALSE(cfidrObjectIsUsable(b, &e));
    EXPECT_EQ(cellNames(lib), std::set<std::string>{"a"});

    EXPECT_CODE(cfidrObjectDestroy(lib, &e), 0);
    EXPECT_FALSE(exists("doomed"));
    EXPECT_FALSE(cfidrObjectIsUsable(a, &e));
    EXPECT_CODE(cfidrPIFindLibByName("doomed", &e), cfidrErrNotFound);

    // A directory that cannot be removed (an unknown file in it) is 4, and the cell stays.
    lib = cfidrPICreateLib("sticky", &e);
    cfiOID s = cfidrLibCreateCell(lib, "s", &e);
    cfidrLibSave(lib, &e);
    touch("sticky/s/notes.txt");
    EXPECT_CODE(cfidrObjectDestroy(s, &e), cfidrErrInternal);
    EXPECT_TRUE(cfidrObjectIsUsable(s, &e));
    // Destroying a library that was never saved is not an error.
    cfiOID mem = cfidrPICreateLib("memonly", &e);
    cfidrLibCreateCell(mem, "x", &e);
    EXPECT_CODE(cfidrObjectDestroy(mem, &e), 0);
}

TEST_F(Libraries, DestroyingAReadOnlyLibraryIsRefusedAndKeepsItsFiles) {
    cfiOID lib = cfidrPICreateLib("kept", &e);
    cfidrLibCreateCell(lib, "c", &e);
    ASSERT_CODE(cfidrLibSave(lib, &e), 0);
    touch("kept/c/v.nyxNetlistView");
    restart();
    lib = cfidrPIOpenLib("kept", cfidrReadMode, &e);
    cfiOID cell = cfidrLibFindCellByName(lib, "c", &e);
    ASSERT_EQ(e, 0);
    // Refused like the destruction of its cells, in trusted program mode too; nothing is gone.
    EXPECT_CODE(cfidrObjectDestroy(cell, &e), cfidrErrNotOpenForUpdate);
    EXPECT_CODE(cfidrObjectDestroy(lib, &e), cfidrErrNotOpenForUpdate);
    nyxdrPISetTrustedProgramMode(1, &e);
    EXPECT_CODE(cfidrObjectDestroy(lib, &e), cfidrErrNotOpenForUpdate);
    nyxdrPISetTrustedProgramMode(0, &e);
    EXPECT_TRUE(exists("kept/c/v.nyxNetlistView"));
    for (cfiOID id : {lib, cell}) EXPECT_TRUE(cfidrObjectIsUsable(id, &e));
    // Opened for update, it goes.
    EXPECT_CODE(cfidrPIOpenLib("kept", cfidrUpdateMode, &e), cfidrErrLibAlreadyOpen);
    EXPECT_CODE(cfidrObjectDestroy(lib, &e), 0);
    EXPECT_FALSE(exists("kept"));
    cfidrPIQuit(&e);
}

// A name that no directory entry can hold (over 255 bytes once encoded) is refused when the
// library or cell is made, not found unsaveable at the save; 255 bytes make it to disk.
TEST_F(Libraries, NamesTooLongForADirectoryEntryAreRefusedAtCreation) {
    EXPECT_CODE(cfidrPICreateLib(std::string(256, 'l').c_str(), &e), cfidrErrBadName);
    cfiOID lib = cfidrPICreateLib("long", &e);
    EXPECT_CODE(cfidrLibCreateCell(lib, std::string(3000, 'n').c_str(), &e), cfidrErrBadName);
    EXPECT_CODE(cfidrLibCreateCell(lib, std::string(256, 'n').c_str(), &e), cfidrErrBadName);
    std::string name(255, 'n');
    cfiOID cell = cfidrLibCreateCell(lib, name.c_str(), &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(std::string(cfidrNamedObjectGetName(cell, &e)), name);
    EXPECT_TRUE(cfidrObjectIsSame(cfidrLibFindCellByName(lib, name.c_str(), &e), cell, &e));
    EXPECT_CODE(cfidrLibSave(lib, &e), 0);
    EXPECT_TRUE(exists("long/" + name));
    EXPECT_CODE(cfidrPIOpenLib(std::string(5000, 'l').c_str(), cfidrReadMode, &e),
                cfidrErrNotFound);
}
