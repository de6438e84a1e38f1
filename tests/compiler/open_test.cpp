// Opening views that a cell does not list: stored views found on disk, views compiled from the
// cell's files through canned answers of the compiler "NONE", which entries serve which view,
// and compiled views kept by a save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "compiler/open_testutil.h"
#include "dm/store/store.h"
#include "nyxdr.h"
#include "pi/pi.h"

using opentest::answer;
using opentest::viewNames;

namespace {

using CompileOnOpen = opentest::Session;
using Names = std::vector<std::string>;

// The entries of a cell's compilable-entry side list, as "name=entry".
Names compilable(cfiOID cell) {
    Names out;
    const nyxDynArray &list = nyxpi::object<nyxCell>(cell)->compilableEntries();
    for (int32_t i = 0; i < list.nitems(); ++i) {
        const nyxCompilableEntry *entry = static_cast<const nyxCompilableEntry *>(list[i]);
        out.push_back(std::string(entry->name.getString()) + "=" + entry->entry.getString());
    }
    return out;
}

} // namespace

TEST_F(CompileOnOpen, CellReadKeepsTheBestRankedSourcesOfNamesWithoutObjects) {
    rules("sch NONE 1\nv NONE 2\n");
    cfiOID stored = cfidrCellCreateNetlistView(cell(), "w", &e);
    cfidrViewSave(stored, &e);
    ASSERT_EQ(e, 0);
    cellFile("c", "adder.sch", "");
    cellFile("c", "adder.v", "");
    cellFile("c", "mult.v", "");
    cellFile("c", "w.sch", "");
    cellFile("c", "a\tb.sch", "");
    cellFile("c", "x.y.sch", "");
    restart();
    // Only the rule of rank 0 ("sch") registers; "w" is a stored view already. The side list
    // holds decoded names (the entry up to the extension its rule serves); the view list only
    // the stored view.
    EXPECT_EQ(viewNames(cell()), Names{"w"});
    Names entries = compilable(cell());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (Names{"a/b=a\tb.sch", "adder=adder.sch", "x.y=x.y.sch"}));
}

TEST_F(CompileOnOpen, CannedAnswerCompilesTheViewOnceAndListingNeverCompiles) {
    rules("sch NONE\n");
    cellFile("c", "adder.sch", answer("c", "adder"));
    restart();
    // The compilable entry makes no view: listing shows nothing and compiles nothing.
    EXPECT_EQ(viewNames(cell()), Names{});
    cfiOID v = open("adder");
    ASSERT_EQ(e, 0);
    EXPECT_EQ(cfidrObjectGetObjectType(v, &e), cfidrNetlistViewType);
    EXPECT_TRUE(hasNet(v, "a"));
    EXPECT_EQ(cfidrPortScalarGetDirection(cfidrNetlistViewFindPortByName(v, "p", &e), &e), 1);
    EXPECT_EQ(viewNames(cell()), Names{"adder"});
    // Opened for reading: edits are refused. The next open (and a find) return the same view.
    cfidrNetlistViewCreateNetScalar(v, "b", &e);
    EXPECT_EQ(e, cfidrErrNotOpenForUpdate);
    EXPECT_TRUE(cfidrObjectIsSame(open("adder"), v, &e));
    EXPECT_TRUE(cfidrObjectIsSame(cfidrCellFindViewByName(cell(), "adder", &e), v, &e));
    EXPECT_EQ(viewNames(cell()), Names{"adder"});
}

TEST_F(CompileOnOpen, EntriesServeTheViewNamedBeforeTheirDot) {
    rules("sch NONE\nTabo_part.attr NONE\n");
    cellFile("c", "adder.sch", answer("c", "adder"));
    cellFile("c", "part.Tabo_part.attr", answer("c", "part@x"));
    cellFile("c", "notes.txt", "no rule serves this");
    restart();
    // "adder.sch" serves "adder", not a view whose name is a prefix of it.
    EXPECT_EQ(open("add").object, 0u);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_NE(open("adder").object, 0u);
    EXPECT_EQ(e, 0);
    // "part.Tabo_part.attr" serves every "part@" view; the prefix compares exactly.
    EXPECT_NE(open("part@x").object, 0u);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(open("Part@y").object, 0u);
    EXPECT_EQ(e, cfidrErrNotFound);
    // An entry whose type no rule serves, and no entry at all: 27 (the find reports 27 too).
    EXPECT_EQ(open("notes").object, 0u);
    EXPECT_EQ(e, cfidrErrNotFound);
    EXPECT_EQ(cfidrCellFindViewByName(cell(), "nothing", &e).object, 0u);
    EXPECT_EQ(e, cfidrErrNotFound);
}

TEST_F(CompileOnOpen, ViewNameWithSlashMatchesItsEncodedEntry) {
    rules("sch NONE\n");
    // On disk a "/" in a name is a tab.
    cellFile("c", "a\tb.sch", answer("c", "a/b"));
    restart();
    cfiOID v = open("a/b");
    ASSERT_EQ(e, 0);
    EXPECT_STREQ(cfidrNamedObjectGetName(v, &e), "a/b");
    EXPECT_TRUE(hasNet(v, "a"));
}

TEST_F(CompileOnOpen, CompilerThatDoesNotStartLetsTheNextEntryTry) {
    // The missing compiler has the better rank: its entry is tried first, then "adder.sch".
    rules("bad /nonexistent/compiler 0\nsch NONE 5\n");
    cellFile("c", "adder.bad", "");
    cellFile("c", "adder.sch", answer("c", "adder"));
    cellFile("c", "lone.bad", "");
    restart();
    testing::internal::CaptureStderr();
    cfiOID v = open("adder");
    const cfidrErrorT adderErr = e;
    cfiOID lone = open("lone");
    const cfidrErrorT loneErr = e;
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(adderErr, 0);
    EXPECT_TRUE(hasNet(v, "a"));
    EXPECT_EQ(lone.object, 0u);
    EXPECT_EQ(loneErr, cfidrErrNotFound);
    EXPECT_NE(messages.find("Unable to locate the TaboCompiler"), std::string::npos) << messages;
}

TEST_F(CompileOnOpen, EntryOfTheBestRankedRuleCompilesFirst) {
    // Both entries serve "adder"; whatever order the directory lists them in, the rule of the
    // lower priority value (the cell's compilable entry) wins.
    rules("v NONE 2\nsch NONE 1\n");
    cellFile("c", "adder.v", answer("c", "adder", "from_v"));
    cellFile("c", "adder.sch", answer("c", "adder", "from_sch"));
    restart();
    cfiOID v = open("adder");
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(hasNet(v, "from_sch"));
    EXPECT_FALSE(hasNet(v, "from_v"));
}

TEST_F(CompileOnOpen, StoredViewOpensFromItsFileAndWinsOverSources) {
    rules("sch NONE\n");
    cfiOID c = cell();
    cfiOID stored = cfidrCellCreateNetlistView(c, "v", &e);
    cfidrNetlistViewCreateNetScalar(stored, "n", &e);
    cfiOID c2 = cfidrLibCreateCell(cfidrCellGetOwner(c, &e), "c2", &e);
    cfidrNetlistViewCreateNetScalar(cfidrCellCreateNetlistView(c2, "w", &e), "m", &e);
    cfidrLibSave(cfidrCellGetOwner(c, &e), &e);
    ASSERT_EQ(e, 0);
    cellFile("c", "v.sch", answer("c", "v", "compiled"));
    cellFile("c", "w.sch", answer("c", "w", "compiled"));
    restart();
    cfiOID v = open("v");
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(hasNet(v, "n"));
    EXPECT_FALSE(hasNet(v, "compiled"));
    // A view file that appears after the cell was read is opened from the file all the same.
    EXPECT_EQ(viewNames(cell()), Names{"v"});
    ASSERT_EQ(std::rename("clib/c2/w.nyxNetlistView", "clib/c/w.nyxNetlistView"), 0);
    cfiOID w = open("w", "c", cfidrUpdateMode);
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(hasNet(w, "m"));
    cfidrNetlistViewCreateNetScalar(w, "k", &e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(viewNames(cell()), (Names{"v", "w"}));
}

TEST_F(CompileOnOpen, CompiledViewIsSavedWithItsCellAndFoundStoredNextSession) {
    rules("sch NONE\n");
    cellFile("c", "adder.sch", answer("c", "adder", "first"));
    cellFile("c", "mult.sch", answer("c", "mult", "first"));
    restart();
    ASSERT_NE(open("adder", "c", cfidrUpdateMode).object, 0u);
    // A compiled view purged before any save is compiled again on the next open.
    cfiOID mult = open("mult");
    ASSERT_EQ(e, 0);
    cfidrViewPurge(mult, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(viewNames(cell()), Names{"adder"});
    cellFile("c", "mult.sch", answer("c", "mult", "again"));
    EXPECT_TRUE(hasNet(open("mult"), "again"));
    cfidrLibSave(cfidrCellGetOwner(cell(), &e), &e);
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(opentest::exists("clib/c/adder.nyxNetlistView"));
    EXPECT_TRUE(opentest::exists("clib/c/mult.nyxNetlistView"));
    // The sources change (one is no answer at all now): the stored views are read, nothing is
    // compiled again.
    cellFile("c", "adder.sch", answer("c", "adder", "second"));
    cellFile("c", "mult.sch", "not an answer");
    restart();
    Names listed = viewNames(cell());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Names{"adder", "mult"}));
    cfiOID adder = open("adder");
    ASSERT_EQ(e, 0);
    EXPECT_TRUE(hasNet(adder, "first"));
    EXPECT_FALSE(hasNet(adder, "second"));
    EXPECT_TRUE(hasNet(open("mult"), "again"));
    EXPECT_EQ(e, 0);
}

TEST_F(CompileOnOpen, OpensInManyCellsHoldNoDirectoryListing) {
    // The directory cache has eight slots: an open that kept its cell's listing in use would
    // make the ninth cell's views impossible to find.
    rules("sch NONE\n");
    for (int i = 0; i < 12; ++i) {
        const std::string c = "cell" + std::to_string(i);
        cellFile(c, "v.sch", answer(c, "v", "net" + std::to_string(i)));
    }
    restart();
    for (int i = 0; i < 12; ++i) {
        const std::string c = "cell" + std::to_string(i);
        cfiOID v = open("v", c.c_str());
        EXPECT_EQ(e, 0) << c;
        EXPECT_TRUE(hasNet(v, ("net" + std::to_string(i)).c_str())) << c;
    }
}
