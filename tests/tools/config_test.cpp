// `nyx config` over a stored design configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;

// Library "work" with cells "top" (view "sch") and "other"; configuration "cfg" of "top" written
// by hand with its root in "top", one set line that names nothing, and two properties.
void makeStore() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("work", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "top", &e);
    cfidrCellCreateNetlistView(cell, "sch", &e);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    cfidrPIQuit(&e);
    std::ofstream("work/top/cfg.nyxDesignConfig")
        << "#!header 1.0\n#!selectionmode 2\n#!rootview work/top/sch\n#!occpropset work/top/gone\n"
           "#!prop why S two words\n#!prop n I 3\n";
    std::ofstream("work/top/bare.nyxDesignConfig") << "#!header 1.0\n";
}

} // namespace

TEST(ConfigTool, PrintsTheConfigurationAsTextAndJson) {
    makeStore();
    tooltest::ToolRun r = runTool({"config", "work", "top", "cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "config work top cfg\n"
                     "  root work top sch\n"
                     "  selectionmode 2\n"
                     "  prop why string = \"two words\"\n"
                     "  prop n integer = 3\n");
    r = runTool({"config", "work", "top", "bare", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"library\":\"work\",\"cell\":\"top\",\"name\":\"bare\",\"root\":null,"
                     "\"selection_mode\":0,\"sets\":[],\"properties\":[]}\n");
    r = runTool({"config", "work", "top", "bare"});
    EXPECT_EQ(r.out, "config work top bare\n  root none (error 27)\n  selectionmode 0\n");
}

TEST(ConfigTool, ReportsTheErrorTextAndUsage) {
    makeStore();
    tooltest::ToolRun r = runTool({"config", "work", "top", "absent"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx config: absent: The DesignConfig could not be opened. (error 30006)\n");
    EXPECT_EQ(runTool({"config", "work", "top"}).status, 2);
}
