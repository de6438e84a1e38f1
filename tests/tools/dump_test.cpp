// `nyx dump` and `nyx stats` over a small saved library: the exact text, and the refusals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cfidr.h"
#include "tools/tool_run.h"
#include "nyxdr.h"

namespace nyxtool {

std::vector<Command> &commands() {
    static std::vector<Command> all;
    return all;
}

} // namespace nyxtool

namespace {

using tooltest::runTool;
using tooltest::ToolRun;

cfiOID prop(cfiOID owner, const char *name) {
    cfidrErrorT e = 0;
    cfiOID p = cfidrObjectCreateProp(owner, name, &e);
    EXPECT_EQ(e, 0) << name;
    return p;
}

// Saves library "tlib" with cell "top" holding view "netlist", and ends the session.
void makeLibrary() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("tlib", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "top", &e);
    cfiOID v = cfidrCellCreateNetlistView(cell, "netlist", &e);
    ASSERT_EQ(e, 0);
    cfiOID a = cfidrNetlistViewCreateNetScalar(v, "a", &e);
    cfiOID b = cfidrNetlistViewCreateNetScalar(v, "b", &e);
    cfiOID bus = cfidrNetlistViewCreateNetBus(v, "d", 1, -1, &e);
    cfiOID bundle = cfidrNetlistViewCreateNetBundle(v, "g", &e);
    cfidrNetBundleInsertNet(bus, a, -1, &e);
    cfidrNetBundleInsertNet(bus, b, -1, &e);
    cfidrNetBundleInsertNet(bundle, b, -1, &e);
    cfidrNetBundleInsertNet(bundle, bus, -1, &e);
    cfidrNetScalarSetIsGlobal(b, 1, &e);
    cfiOID alias = nyxdrNetCreateNetAlias(a, "a_alias", &e);
    nyxdrNetAliasSetIsGlobal(alias, 1, &e);
    ASSERT_EQ(e, 0);
    cfiOID in = cfidrNetlistViewCreatePortScalar(v, "in", -1, cfidrInputDirection, &e);
    cfiOID pb = cfidrNetlistViewCreatePortBus(v, "q", -1, 0, 2, &e);
    cfidrPortBundleCreatePortScalar(pb, "q0", -1, cfidrOutputDirection, &e);
    cfidrPortBundleCreatePortScalar(pb, "q1", -1, cfidrInOutDirection, &e);
    cfidrNetAttachPort(a, in, cfidrPositionAttachMode, &e);
    ASSERT_EQ(e, 0);
    cfidrPropSetInt32Value(prop(v, "count"), -3, &e);
    cfidrPropSetFloat32Value(prop(v, "ratio"), 0.25f, &e);
    cfiOID s = prop(in, "label");
    cfidrPropSetStringValue(s, "x y", &e);
    cfidrPropSetBooleanValue(prop(s, "shown"), 1, &e);
    cfidrPropSetExpressionValue(prop(alias, "calc"), "1 + 2", &e);
    prop(bus, "bare");
    ASSERT_EQ(e, 0);

    // An instance of a leaf cell: a scalar on net b, one bus member on net a, properties on the
    // instance and on a port instance.
    cfiOID leafCell = cfidrLibCreateCell(lib, "leaf", &e);
    cfiOID leaf = cfidrCellCreateNetlistView(leafCell, "sym", &e);
    cfidrNetlistViewCreatePortScalar(leaf, "clk", -1, cfidrInputDirection, &e);
    cfiOID lb = cfidrNetlistViewCreatePortBus(leaf, "x", -1, 1, -1, &e);
    cfidrPortBundleCreatePortScalar(lb, "x1", -1, cfidrOutputDirection, &e);
    cfidrPortBundleCreatePortScalar(lb, "x0", -1, cfidrOutputDirection, &e);
    ASSERT_EQ(e, 0);
    cfiOID u1 = cfidrNetlistViewCreateInst(v, leaf, "u1", &e);
    ASSERT_EQ(e, 0);
    cfiOID clk = cfidrInstFindPortInstByDescriberName(u1, "clk", &e);
    cfidrNetAttachPortInst(b, clk, cfidrPositionAttachMode, &e);
    cfiOID x0 = nyxdrInstFindPortInstByPosition(u1, 3, &e);
    cfidrNetAttachPortInst(a, x0, cfidrPositionAttachMode, &e);
    cfidrPropSetInt32Value(prop(u1, "w"), 2, &e);
    cfidrPropSetStringValue(prop(x0, "pin"), "p", &e);
    ASSERT_EQ(e, 0);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    cfidrPIQuit(&e);
}

} // namespace

TEST(DumpTool, PrintsEveryObjectInTheViewsOrder) {
    makeLibrary();
    const ToolRun r = runTool({"dump", "tlib", "top", "netlist"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "view tlib top netlist type CFIDR_NETLISTVIEW\n"
                     "  prop count integer = -3\n"
                     "  prop ratio float = 0.25\n"
                     "port scalar in dir input net a\n"
                     "  prop label string = \"x y\"\n"
                     "    prop shown boolean = true\n"
                     "port bus q [0:2] step 2\n"
                     "  port scalar q0 dir output\n"
                     "  port scalar q1 dir inout\n"
                     "net scalar b global\n"
                     "  portinst u1 clk\n"
                     "net scalar a\n"
                     "  alias a_alias global\n"
                     "    prop calc expression = \"1 + 2\"\n"
                     "  port in\n"
                     "  portinst u1 x/x0\n"
                     "net bundle g\n"
                     "  member b\n"
                     "  member d\n"
                     "net bus d [1:0] step -1\n"
                     "  prop bare none\n"
                     "  member a\n"
                     "  member b\n"
                     "inst u1 of tlib leaf sym version 4\n"
                     "  prop w integer = 2\n"
                     "  portinst scalar clk net b\n"
                     "  portinst bus x [1:0] step -1\n"
                     "    portinst scalar x1\n"
                     "    portinst scalar x0 net a\n"
                     "      prop pin string = \"p\"\n");
    // A second run over the same files prints the same text.
    EXPECT_EQ(runTool({"dump", "tlib", "top", "netlist"}).out, r.out);
}

TEST(DumpTool, StatsCountAndBadArgumentsFail) {
    makeLibrary();
    const ToolRun r = runTool({"stats", "tlib", "top", "netlist"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ports\t4\nport scalars\t3\nport buses\t1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nets\t4\nnet scalars\t2\nnet buses\t1\nnet bundles\t1\nnet aliases\t1\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("instances\t1\ndescribers\t1\nport instances\t4\nport instance scalars\t3\n"
                         "port instance buses\t1\nport instance bundles\t0\nproperties\t8\n"),
              std::string::npos)
        << r.out;

    EXPECT_EQ(runTool({"dump", "tlib", "top"}).status, 2);
    EXPECT_EQ(runTool({"stats"}).status, 2);
    const ToolRun noLib = runTool({"dump", "nolib", "top", "netlist"});
    EXPECT_EQ(noLib.status, 1);
    EXPECT_NE(noLib.err.find("cannot open library nolib"), std::string::npos) << noLib.err;
    EXPECT_EQ(runTool({"dump", "tlib", "nocell", "netlist"}).status, 1);
    EXPECT_EQ(runTool({"stats", "tlib", "top", "noview"}).status, 1);
}

// `nyx` exited 0 when its output could not be written. The built program runs with its standard
// output on /dev/full and its standard error in a file.
TEST(DumpTool, UnwritableStandardOutputFailsTheCommand) {
    makeLibrary();
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"nyx", "dump", "tlib", "top", "netlist"}, {"nyx", "errors"}, {"nyx", "--help"}}) {
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, NYX_TOOL_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << args[1];
        EXPECT_NE(WEXITSTATUS(status), 0) << args[1];
        std::stringstream err;
        err << std::ifstream("stderr.txt").rdbuf();
        EXPECT_NE(err.str().find("nyx: cannot write standard output"), std::string::npos)
            << args[1] << ": " << err.str();
    }
}
