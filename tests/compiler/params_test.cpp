// Session compiler parameters: creation and listing through the interface, and the "#param"
// lines a compilation sends, with the names and values that would corrupt them refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cfidr.h"
#include "nyxdr.h"
#include "common/modes.h"
#include "compiler/compiler.h"

namespace {

cfiOID param(const char *name) {
    cfidrErrorT err = -1;
    cfiOID p = nyxdrPICreateParameter(name, &err);
    EXPECT_EQ(err, 0) << name;
    return p;
}

std::vector<std::string> listedNames() {
    cfidrErrorT err = -1;
    cfidrIterT it = nyxdrPIGetParameters(&err);
    EXPECT_EQ(err, 0);
    std::vector<std::string> out;
    for (cfiOID p = cfidrIterNextProp(it, &err); p.object != 0; p = cfidrIterNextProp(it, &err)) {
        out.push_back(cfidrNamedObjectGetName(p, &err));
    }
    cfidrIterQuit(it, &err);
    return out;
}

// The lines and the error of one paramLines call; out starts with a marker that must stay.
std::string lines(bool encapsulated, cfidrErrorT *err) {
    std::string out = "#reset\n";
    *err = 0;
    nyxCompilerIntf::paramLines(out, encapsulated, err);
    return out.substr(7);
}

TEST(CompilerParameters, LinesFollowTheListOrderAndTheValueTypes) {
    cfidrErrorT e = 0;
    EXPECT_EQ(listedNames(), std::vector<std::string>{}); // starts the session
    cfidrPropSetBooleanValue(param("flag"), 1, &e);
    cfidrPropSetInt32Value(param("count"), -3, &e);
    cfidrPropSetFloat32Value(param("scale"), 2.5f, &e);
    cfidrPropSetStringValue(param("mode"), "fast and\tsmall", &e);
    param("unset");
    cfidrPropSetExpressionValue(param("expr"), "w * 2", &e);
    cfiOID gone = param("gone");
    cfidrPropSetStringValue(param("empty"), "", &e);
    ASSERT_EQ(e, 0);
    cfidrObjectDestroy(gone, &e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"flag", "count", "scale", "mode", "unset",
                                                       "expr", "empty"}));
    EXPECT_EQ(lines(false, &e), "#param flag b 1\n#param count i -3\n#param scale f 2.500000\n"
                                "#param mode s fast and\tsmall\n#param unset s \n#param expr s \n"
                                "#param empty s \n");
    EXPECT_EQ(e, 0);
    EXPECT_EQ(lines(true, &e), "#param flag b 1\n#param count i -3\n#param scale f 2.500000\n"
                               "#param mode s fast and\tsmall\n#param unset \n#param expr \n"
                               "#param empty s \n");
    // A freed slot is taken by the next parameter, in its place.
    cfidrPropSetBooleanValue(param("late"), 0, &e);
    EXPECT_EQ(listedNames()[6], "late");
    const std::string now = lines(true, &e);
    EXPECT_NE(now.find("#param expr \n#param late b 0\n#param empty s \n"), std::string::npos)
        << now;
}

TEST(CompilerParameters, CreationChecksAndTheOwnerlessSession) {
    cfidrErrorT e = 0;
    cfiOID p = param("width");
    EXPECT_EQ(nyxdrPICreateParameter("width", &e).object, 0u);
    EXPECT_EQ(e, cfidrErrAlreadyExists);
    for (const char *bad : {"", "tab\there", static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(nyxdrPICreateParameter(bad, &e).object, 0u);
        EXPECT_EQ(e, cfidrErrBadName);
    }
    cfiOID owner = cfidrPropGetOwner(p, &e);
    EXPECT_EQ(owner.object, 0u);
    EXPECT_EQ(e, cfidrErrWrongType);
    // The value functions work as on any property.
    cfidrPropSetStringValue(p, "8", &e);
    EXPECT_STREQ(cfidrPropGetStringValue(p, &e), "8");
    // Parameters end with the session.
    cfidrPIQuit(&e);
    EXPECT_EQ(listedNames(), std::vector<std::string>{});
    EXPECT_EQ(lines(false, &e), "");
}

TEST(CompilerParameters, NamesAndValuesThatWouldBreakTheLinesWriteNothing) {
    cfidrErrorT e = 0;
    cfidrPropSetInt32Value(param("first"), 1, &e);
    nyxtest::setTrustedModes(false, true); // skips the name rule
    cfiOID spaced = nyxdrPICreateParameter("two words", &e);
    nyxtest::clearTrustedModes();
    ASSERT_EQ(e, 0);
    EXPECT_EQ(lines(false, &e), "");
    EXPECT_EQ(e, cfidrErrBadName);
    cfidrObjectDestroy(spaced, &e);

    for (const char *value : {"one\ntwo", "one\rtwo", "\n"}) {
        cfiOID p = param("text");
        cfidrPropSetStringValue(p, value, &e);
        EXPECT_EQ(lines(true, &e), "");
        EXPECT_EQ(e, cfidrErrBadValue);
        // The same text as an expression does not travel, so it does no harm.
        cfidrPropSetExpressionValue(p, value, &e);
        EXPECT_EQ(lines(false, &e), "#param first i 1\n#param text s \n");
        EXPECT_EQ(e, 0);
        cfidrObjectDestroy(p, &e);
    }
}

} // namespace
