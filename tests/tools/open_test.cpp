// `nyx open`: a view compiled on open through a canned answer of the compiler "NONE", printed as
// `nyx dump` prints it; --save stores it, and the next run reads the stored view.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cfidr.h"
#include "common/test_env.h"
#include "nyx_protocol.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;
using tooltest::ToolRun;

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Library "olib" with the empty cell "c", the rule "sch NONE", and "c/adder.sch" holding a
// compiler's answer for view "adder": net "a" with input port "p" on it, compiled from "adder.v".
void makeLibrary() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_NYX_COMPILER_RULES", "rules", 1);
    writeFile("rules", "sch NONE\n");
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("olib", &e);
    cfidrLibCreateCell(lib, "c", &e);
    cfidrLibSave(lib, &e);
    cfidrPIQuit(&e);
    ASSERT_EQ(e, 0);
    nyxproto::Writer w;
    w.status(0);
    w.netlistFollows();
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("olib", "c", "adder");
    w.portScalar("p", 1, w.netScalar("a"));
    w.netlistViewEnd();
    w.viewRecordEnd("adder.v");
    w.streamEnd();
    writeFile("olib/c/adder.sch", w.take());
}

} // namespace

TEST(OpenTool, CompilesPrintsAndSavesOnlyWhenAsked) {
    makeLibrary();
    ToolRun r = runTool({"open", "olib", "c", "adder"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("view olib c adder type CFIDR_NETLISTVIEW", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("adder.v"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("port scalar p dir input net a"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists("olib/c/adder.nyxNetlistView"));
    // `nyx dump` finds the view the same way.
    ToolRun dump = runTool({"dump", "olib", "c", "adder"});
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out, r.out);

    r = runTool({"open", "olib", "c", "adder", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists("olib/c/adder.nyxNetlistView"));
    // The source goes: the stored view is read (its compiled-from text is not stored).
    std::filesystem::remove("olib/c/adder.sch");
    ToolRun stored = runTool({"open", "olib", "c", "adder"});
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_NE(stored.out.find("port scalar p dir input net a"), std::string::npos) << stored.out;
}

TEST(OpenTool, Refusals) {
    makeLibrary();
    ToolRun r = runTool({"open", "olib", "c", "missing"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("cannot open view missing of cell c in library olib (error 27"), std::string::npos)
        << r.err;
    EXPECT_EQ(runTool({"open", "nolib", "c", "adder"}).status, 1);
    EXPECT_EQ(runTool({"open", "olib", "c"}).status, 2);
    EXPECT_EQ(runTool({"open", "olib", "c", "adder", "extra"}).status, 2);
}

TEST(OpenTool, EncapsulatedViewPrintsItsTypeKeyAndProperties) {
    makeLibrary();
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPIOpenLib("olib", cfidrUpdateMode, &e);
    cfiOID v = cfidrCellCreateEncapsulatedView(cfidrLibFindCellByName(lib, "c", &e), "sym", "symbol", "K1", &e);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(v, "pins", &e), 3, &e);
    cfidrLibSave(lib, &e);
    cfidrPIQuit(&e);
    ASSERT_EQ(e, 0);
    ToolRun r = runTool({"open", "olib", "c", "sym"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "view olib c sym type symbol\n  key K1\n  prop pins integer = 3\n");
}
