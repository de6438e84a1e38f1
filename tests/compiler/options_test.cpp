// Compiler options: the option string's keywords and bits, its diagnostics, the host and
// compiler it sets, the exact bytes of the options line, and the error function.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "cfidr.h"
#include "nyxdr.h"
#include "common/test_env.h"
#include "compiler/compiler.h"
#include "utils/settings.h"

namespace {

using namespace nyxSettings;

const std::string &home() {
    return nyxtest::testDirectory();
}

void writeRules(const std::string &text) {
    mkdir((home() + "/lib").c_str(), 0777);
    std::ofstream(home() + "/lib/nyxCompilers.rules") << text;
}

// Sets options and returns the error; what went to standard error lands in *diagnostics.
cfidrErrorT setOptions(const char *options, std::string *diagnostics = nullptr) {
    cfidrErrorT err = -1;
    testing::internal::CaptureStderr();
    nyxdrPISetCompilerOptions(options, &err);
    std::string text = testing::internal::GetCapturedStderr();
    if (diagnostics != nullptr) *diagnostics = text;
    return err;
}

std::string optionsLine() {
    std::string line;
    return nyxCompilerIntf::getCompilerOpts(line);
}

TEST(CompilerOptions, EvalLowerAndRshMakeTheirBitsAndTheLine) {
    writeRules("v /bin/vc\nw /bin/wc 2\n");
    ASSERT_EQ(setOptions("-eval\t-lower  -rsh HOST"), 0);
    EXPECT_EQ(nameOptions(), kEval | kLowerCase | kRemoteShell);
    EXPECT_EQ(nyxCompilerIntf::getCompilerList()->hostName, "HOST");
    EXPECT_EQ(nyxCompilerIntf::getCompilerList()->next->hostName, "");
    EXPECT_EQ(optionsLine(), "-eval -lowercase -rsh HOST ");
    // The line is appended to what the buffer holds.
    std::string buf = "#opts ";
    EXPECT_EQ(nyxCompilerIntf::getCompilerOpts(buf), "#opts -eval -lowercase -rsh HOST ");
}

TEST(CompilerOptions, TheLineKeepsItsFixedOrder) {
    // Without rules the three values are left out, their switches stay.
    testing::internal::CaptureStderr();
    setNameOptionBits(0x1fffff);
    EXPECT_EQ(optionsLine(), "-evalall -eval -preserve_netconns -generate_ports -uppercase "
                             "-lowercase -preserve_case -brackets -parens -svc -no_hier_ref -rsh "
                             "-comp -set ");
    testing::internal::GetCapturedStderr();

    clearNameOptionBits(~0u);
    writeRules("v $ZIL_HOME/bin/vc\n");
    ASSERT_EQ(setOptions("-no_hier_ref -parens -brackets -preserve_case -lowercase -uppercase "
                         "-generate_ports -preserve_netconns -eval -evalall -comp /bin/cc -rsh h1"),
              0);
    nyxCompilerIntf::getCompilerList()->setValue = "/etc/map";
    setNameOptionBits(kSendLocationMap);
    EXPECT_EQ(optionsLine(), "-evalall -eval -preserve_netconns -generate_ports -uppercase "
                             "-lowercase -preserve_case -brackets -parens -no_hier_ref -rsh h1 "
                             "-comp /bin/cc -set /etc/map ");
}

TEST(CompilerOptions, BitsWithoutASwitchMakeAnEmptyLine) {
    ASSERT_EQ(setOptions("-svcComp -timing_info -portin_pintype_out -case_sensitive "
                         "-hdl_sel_rules -edif -descend_off -portin_pintype_in"),
              0);
    EXPECT_EQ(nameOptions(), kSuppressDirectoryScan | kTimingInfo | kPortInPinTypeOut |
                                 kCaseSensitiveNames | kHdlSelRules | kEdif | kDescendOff);
    EXPECT_EQ(optionsLine(), "");
    ASSERT_EQ(setOptions("-normal -upper"), 0);
    EXPECT_EQ(nameOptions(), kUpperCase);
    ASSERT_EQ(setOptions("-normal"), 0);
    EXPECT_EQ(nameOptions(), 0u);
    ASSERT_EQ(setOptions(" \t "), 0);
}

TEST(CompilerOptions, UnknownSwitchesReportEachTokenAndTheRestTakesEffect) {
    std::string diagnostics;
    EXPECT_EQ(setOptions("-bogus word", &diagnostics), cfidrErrBadName);
    EXPECT_EQ(diagnostics, "\nERROR:   Unknown argument switch \"-bogus\"\n"
                           "\nERROR:   Unknown argument switch \"word\"\n");
    // Keywords compare exactly; a lone dash is no keyword.
    EXPECT_EQ(setOptions("-EVAL - -parens --eval -evalallx", &diagnostics), cfidrErrBadName);
    EXPECT_EQ(nameOptions(), kParens);
    EXPECT_EQ(std::count(diagnostics.begin(), diagnostics.end(), '"'), 8) << diagnostics;
    EXPECT_EQ(setOptions(nullptr), cfidrErrBadName);
}

TEST(CompilerOptions, ATrailingCompOrRshEndsTheParseWithoutError) {
    writeRules("v /bin/vc\n");
    EXPECT_EQ(setOptions("-comp"), 0);
    EXPECT_EQ(nameOptions(), kCompilerPath);
    EXPECT_EQ(nyxCompilerIntf::getCompilerList()->compiler, "/bin/vc");
    EXPECT_EQ(setOptions("-normal -rsh"), 0);
    EXPECT_EQ(nameOptions(), kRemoteShell);
    EXPECT_EQ(optionsLine(), "-rsh "); // no host: the switch without a value
    // -comp takes the next token whatever it is, converted as a rules-file path.
    EXPECT_EQ(setOptions("-comp $ZIL_HOME/bin/cc -eval"), 0);
    EXPECT_EQ(nyxCompilerIntf::getCompilerList()->compiler, home() + "/bin/cc");
    EXPECT_EQ(optionsLine(), "-eval -rsh -comp " + home() + "/bin/cc ");
}

TEST(CompilerOptions, HostNamesThatTheRemoteShellWouldMisreadAreRefused) {
    writeRules("v /bin/vc\n");
    std::string diagnostics;
    for (const char *options : {"-rsh -x", "-rsh ho\x01st", "-rsh ho\x7fst"}) {
        EXPECT_EQ(setOptions(options, &diagnostics), cfidrErrBadName) << options;
        EXPECT_NE(diagnostics.find("host"), std::string::npos) << diagnostics;
        EXPECT_EQ(diagnostics.find('\x01'), std::string::npos);
    }
    EXPECT_EQ(nameOptions(), 0u);
    EXPECT_EQ(nyxCompilerIntf::getCompilerList()->hostName, "");
    // The refused host is consumed; what follows still counts.
    EXPECT_EQ(setOptions("-rsh -eval -parens"), cfidrErrBadName);
    EXPECT_EQ(nameOptions(), kParens);
}

std::string g_messages;
void collect(svc_error_code code, const char *text) {
    g_messages += std::to_string(code) + ":" + text + ";";
}

TEST(CompilerOptions, TheErrorFunctionIsSetAndRestored) {
    cfidrErrorT err = -1;
    EXPECT_EQ(nyxdrPISetCompilerErrorFunction(collect, &err), collect);
    EXPECT_EQ(err, 0);
    nyxCompilerIntf::reportError(7, "WARNING: seven");
    EXPECT_EQ(g_messages, "7:WARNING: seven;");
    EXPECT_EQ(nyxdrPISetCompilerErrorFunction(nullptr, &err), nullptr);
    testing::internal::CaptureStderr();
    nyxCompilerIntf::reportError(3, "ERROR: three");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: three\n");
    EXPECT_EQ(g_messages, "7:WARNING: seven;");
}

} // namespace
