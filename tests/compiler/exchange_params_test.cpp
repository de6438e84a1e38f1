// Session parameters as the compiler receives them, and the values that are refused.
#include <gtest/gtest.h>

#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "process_testutil.h"

using namespace proctest;

namespace {

class CompilerExchangeParams : public testing::Test {
protected:
    void SetUp() override {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
        fakeEnvironment();
    }
    void TearDown() override {
        nyxCompilerIntf::stopAllCompilers();
        cfidrErrorT e = 0;
        cfidrPIQuit(&e);
    }
    cfiOID param(const char *name) {
        cfidrErrorT e = 0;
        cfiOID p = nyxdrPICreateParameter(name, &e);
        EXPECT_EQ(e, 0) << name;
        return p;
    }
    cfidrErrorT compile(nyxCompilerRule &rule, bool encapsulated) {
        cfidrErrorT e = -1;
        if (encapsulated) nyxCompilerIntf::compileEncapsulatedView(&rule, "unused", "L", "C", "V", &e);
        else nyxCompilerIntf::compileNetlistView(&rule, "unused", "L", "C", "V", &e);
        return e;
    }
};

TEST_F(CompilerExchangeParams, ParametersTravelInOrderAndInTheirFormat) {
    cfidrErrorT e = 0;
    cfidrPropSetBooleanValue(param("flag"), cfiTrue, &e);
    cfidrPropSetInt32Value(param("width"), -8, &e);
    cfidrPropSetFloat32Value(param("scale"), 1.5f, &e);
    cfidrPropSetStringValue(param("label"), "a b", &e);
    cfidrPropSetExpressionValue(param("expr"), "x+1", &e);
    param("bare");
    ASSERT_EQ(e, 0);
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    EXPECT_EQ(compile(rule, false), 4);
    EXPECT_EQ(compile(rule, true), 27);  // the fake's status 27 is passed on for encapsulated views
    const std::string common = "#reset\n#param flag b 1\n#param width i -8\n#param scale f 1.500000\n"
                               "#param label s a b\n";
    EXPECT_EQ(fakeLog(), common + "#param expr s \n#param bare s \n#lib L\n#cell C\n#view V\n" +
                             common + "#param expr \n#param bare \n#lib L\n#cell C\n#view V\n");
}

TEST_F(CompilerExchangeParams, ValueWithLineBreakIsRefusedBeforeAnythingIsWritten) {
    cfidrErrorT e = 0;
    cfiOID label = param("label");
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    for (const char *value : {"a\nb", "a\rb", "\n#quit"}) {
        cfidrPropSetStringValue(label, value, &e);
        ASSERT_EQ(e, 0);
        EXPECT_EQ(compile(rule, false), 10);
        EXPECT_EQ(compile(rule, true), 10);
    }
    EXPECT_EQ(fakeLog(), "");
    EXPECT_TRUE(nyxCompilerProcs::poll(rule.proc));
}

} // namespace
