// `nyx import --flat`: the occurrence tree and flat nets built in the import's own session, over
// a hierarchy whose modules use many leaf cells.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "common/test_env.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;

void write(const std::string &name, const std::string &text) {
    std::ofstream(nyxtest::testDirectory() + "/" + name) << text;
}

// Two levels: `pair` holds 30 cells c0 first, then a cell of each of 19 kinds c1 .. c19, and
// one more c0 that drives its output; the top holds three pairs, the first two joined by a net,
// the third fed by a global net.
std::string design() {
    std::string pair = "module pair (a, y);\n  input a;\n  output y;\n  wire m;\n";
    std::string cells;
    for (int k = 0; k < 30; ++k) pair += "  c0 z" + std::to_string(k) + " (.A(a), .Y(n" + std::to_string(k) + "));\n";
    for (int k = 0; k < 20; ++k) {
        const std::string c = "c" + std::to_string(k);
        if (k > 0) pair += "  " + c + " f" + std::to_string(k) + " (.A(a), .Y(m" + std::to_string(k) + "));\n";
        cells += "module " + c + " (A, Y);\n  input A;\n  output Y;\nendmodule\n";
    }
    pair += "  c0 last (.A(n0), .Y(y));\nendmodule\n";
    write("cells.v", cells);
    return pair + "module top (i, o);\n  input i;\n  output o;\n  wire j, k;\n  supply0 gnd;\n"
                  "  pair p0 (.a(i), .y(j));\n  pair p1 (.a(j), .y(k));\n  pair p2 (.a(gnd), .y(o));\nendmodule\n";
}

// Every leaf cell of a module gets its view, wherever its first instance lies (a kind's name was
// once kept in a returned string that the search for its instance reused), and --flat builds
// the flat nets of the whole design.
TEST(ImportFlat, BuildsTheTreeAndFlatNetsAndMakesAViewOfEveryLeafCell) {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    const char *path = std::getenv("PATH");
    setenv("PATH", (std::string(NYXVC_DIR) + ":" + (path != nullptr ? path : "")).c_str(), 1);
    write("design.v", design());
    tooltest::ToolRun r = runTool({"import", "design.v", "--lib", "work", "--cells", "cells.v", "--flat", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("modules\t2\ninstances\t53\nnets\t57\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("leaf cells\t150\nleaf cell views made\t20\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("global flat nets\t1\ntree and flat nets wall s\t"), std::string::npos) << r.out;
    // Each pair's a and y join nets of the top (i, j, k, o and the global gnd); its m, n0 ..
    // n29 and m1 .. m19 stay inside: 4 + 1 + 3 * 50 flat nets.
    r = runTool({"flat", "work", "top", "cfg"});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t headings = 0;
    for (size_t at = 0; at < r.out.size(); at = r.out.find('\n', at) + 1) headings += r.out[at] != ' ';
    EXPECT_EQ(headings, 155u);
}

} // namespace
