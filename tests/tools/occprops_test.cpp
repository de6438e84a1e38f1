// `nyx occprops` over a stored occurrence property set: the text tree, the JSON form and errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "tools/tool_run.h"

namespace {

using tooltest::runTool;

void makeSet() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("work", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "top", &e);
    cfiOID set = nyxdrCellCreateOccPropSet(cell, "over", &e);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(set, "n", &e), 1, &e);
    const char *top[] = {"N0", nullptr};
    nyxdrOccPropSetCreateNetOccProp(set, top, &e);
    const char *net[] = {"U1", "U2", "N", nullptr};
    cfidrPropSetStringValue(cfidrObjectCreateProp(nyxdrOccPropSetCreateNetOccProp(set, net, &e), "s", &e),
                            "a b", &e);
    const char *port[] = {"U1", "P", nullptr};
    const char *member[] = {"m", nullptr};
    nyxdrOccPropSetCreatePortOccProp(set, port, member, &e);
    cfidrLibSave(lib, &e);
    ASSERT_EQ(e, 0);
    cfidrPIQuit(&e);
}

} // namespace

TEST(OccPropsTool, PrintsTheTreeAsTextAndJson) {
    makeSet();
    tooltest::ToolRun r = runTool({"occprops", "work", "top", "over"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "occpropset over lib work cell top\n"
                     "  prop n integer = 1\n"
                     "  net /N0\n"
                     "  view /U1\n"
                     "    port /U1/P:/m\n"
                     "    view /U1/U2\n"
                     "      net /U1/U2/N\n"
                     "        prop s string = \"a b\"\n");
    r = runTool({"occprops", "work", "top", "over", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"nodes\":[{\"kind\":\"net\",\"path\":[\"N0\"],\"pathname\":\"/N0\",\"props\":[]}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"kind\":\"port\",\"path\":[\"U1\",\"P\"],\"member\":[\"m\"]"), std::string::npos);
}

TEST(OccPropsTool, ReportsErrorsAndUsage) {
    makeSet();
    tooltest::ToolRun r = runTool({"occprops", "work", "top", "absent"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nyx occprops: absent: The OccPropSet could not be opened. (error 30007)\n");
    r = runTool({"occprops", "work", "top"});
    EXPECT_EQ(r.status, 2);
}
