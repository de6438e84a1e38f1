// The exchange's text side: command bytes, refusals, status and message lines, results, and a
// compiler that dies, hangs, babbles or floods.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <unistd.h>

#include "cfidr.h"
#include "compiler/process.h"
#include "process_testutil.h"
#include "utils/settings.h"

using namespace proctest;

namespace {

class CompilerExchange : public testing::Test {
protected:
    void SetUp() override {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
        fakeEnvironment();
        fdsBefore = openFds();
    }
    void TearDown() override {
        nyxCompilerIntf::stopAllCompilers();
        cfidrErrorT e = 0;
        cfidrPIQuit(&e);
        EXPECT_EQ(children().all, 0);
        EXPECT_EQ(openFds(), fdsBefore);
    }

    // Compiles view V of L/C with the rule; returns the error.
    cfidrErrorT compile(nyxCompilerRule &rule, const char *view, bool encapsulated = false,
                        const std::string &dataPath = "unused") {
        cfidrErrorT e = -1;
        if (rule.compiler != "NONE" && nyxCompilerIntf::startCompiler(&rule, dataPath.c_str()) != 0)
            return -2;
        nyxObjRef got = encapsulated
                            ? nyxCompilerIntf::compileEncapsulatedView(&rule, dataPath.c_str(), "L", "C", view, &e)
                            : nyxCompilerIntf::compileNetlistView(&rule, dataPath.c_str(), "L", "C", view, &e);
        if (e != 0) {
            EXPECT_EQ(got.obj, nullptr);
        }
        return e;
    }
    // Compiles through the compiler NONE from a data file holding bytes.
    cfidrErrorT canned(const std::string &bytes, bool encapsulated = false) {
        const std::string path = dir() + "/view.canned";
        writeFile(path, bytes);
        nyxCompilerRule none = fakeRule("canned", "NONE");
        return compile(none, "V", encapsulated, path);
    }

    int fdsBefore = 0;
};

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

TEST_F(CompilerExchange, CompilerReceivesExactlyTheCommandLines) {
    nyxCompilerRule rule = fakeRule();
    EXPECT_EQ(compile(rule, "V"), 4);  // no answer file: status 27 and no netlist
    EXPECT_EQ(fakeLog(), "#reset\n#lib L\n#cell C\n#view V\n");
    nyxSettings::setNameOptionBits(nyxSettings::kEval | nyxSettings::kLowerCase);
    EXPECT_EQ(compile(rule, "W,1"), 4);
    EXPECT_EQ(fakeLog(), "#reset\n#lib L\n#cell C\n#view V\n"
                         "#reset\n#opts -eval -lowercase \n#lib L\n#cell C\n#view W,1\n");
}

TEST_F(CompilerExchange, RefusedNamesWriteNothing) {
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    cfidrErrorT e = 0;
    nyxCompilerIntf::compileNetlistView(&rule, "unused", "L", "C", "V\n#quit", &e);
    EXPECT_EQ(e, 14);
    nyxCompilerIntf::compileNetlistView(&rule, "unused", "L\t", "C", "V", &e);
    EXPECT_EQ(e, 14);
    nyxCompilerIntf::compileEncapsulatedView(&rule, "unused", "L", "C\r", "V", &e);
    EXPECT_EQ(e, 14);
    nyxCompilerIntf::compileNetlistView(&rule, "unused", "L", nullptr, "V", &e);
    EXPECT_EQ(e, 14);
    nyxCompilerIntf::compileNetlistView(nullptr, "unused", "L", "C", "V", &e);
    EXPECT_EQ(e, 4);
    EXPECT_EQ(fakeLog(), "");
    // The compiler heard nothing and still serves.
    EXPECT_EQ(compile(rule, "V"), 4);
    EXPECT_EQ(fakeLog(), "#reset\n#lib L\n#cell C\n#view V\n");
    EXPECT_EQ(rule.proc->startCount, 1u);
}

TEST_F(CompilerExchange, StatusWithoutNetlistGivesTheResultOfItsKind) {
    const std::string tail = "#m\n#endmsgs\n#nonetlist\n";
    // Netlist views: 0 is "not found", any other status 4.
    EXPECT_EQ(canned("#s 0\n" + tail), 27);
    EXPECT_EQ(canned("#s 12\n" + tail), 4);
    // Encapsulated views: a known error code is passed on; 0 and unknown numbers are 4.
    EXPECT_EQ(canned("#s 0\n" + tail, true), 4);
    EXPECT_EQ(canned("#s 12\n" + tail, true), 12);
    EXPECT_EQ(canned("#s   30005\n" + tail, true), 30005);
    EXPECT_EQ(canned("#s 99999\n" + tail, true), 4);
    EXPECT_EQ(canned("#s -12\n" + tail, true), 4);
    // Any order; lines that are no commands are ignored.
    EXPECT_EQ(canned("chatter\n#m\nhello\n#endmsgs\n#x\n#s 0\n#nonetlist\n"), 27);
    EXPECT_EQ(canned("#s 0\n#nonetlist"), 27);  // its newline cut off by the end
}

TEST_F(CompilerExchange, MissingOrMalformedStatusIs4) {
    const std::string tail = "#m\n#endmsgs\n#nonetlist\n";
    EXPECT_EQ(canned(tail), 4);
    for (const char *status : {"#s\n", "#s0\n", "#s \n", "#s abc\n", "#s -\n", "#s 2147483648\n",
                               "#s -2147483649\n", "#s 99999999999999999999\n"}) {
        EXPECT_EQ(canned(status + tail), 4) << status;
        EXPECT_EQ(canned(status + tail, true), 4) << status;
    }
    EXPECT_EQ(canned("#s 12 and more\n" + tail, true), 12);
    EXPECT_EQ(canned("#status\t27\n" + tail, true), 27);
}

TEST_F(CompilerExchange, EndOfDataBeforeTheAnswerIs4) {
    EXPECT_EQ(canned(""), 4);
    EXPECT_EQ(canned("#s 0\n"), 4);
    EXPECT_EQ(canned("#s 0\n#m\n#endmsgs\n"), 4);
    testing::internal::CaptureStderr();
    EXPECT_EQ(canned("#s 0\n#m\nhello\nworld"), 4);  // a message block cut by the end
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "hello\nworld\n");
}

TEST_F(CompilerExchange, MessagesGoToStandardErrorUpToTheirEndLine) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(canned("#m\nfirst\n#endmsgsX\n #endmsgs\nlast\n#endmsgs\n#s 0\n#nonetlist\n"), 27);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "first\n#endmsgsX\n #endmsgs\nlast\n");
}

TEST_F(CompilerExchange, MessageLineLongerThanTheLineBufferCannotFakeTheBlockEnd) {
    const std::string longLine = std::string(nyxCompilerStream::kMaxLine, 'x') + "#endmsgs";
    testing::internal::CaptureStderr();
    EXPECT_EQ(canned("#m\n" + longLine + "\n#s 5\n#endmsgs\n#s 0\n#nonetlist\n"), 27);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("\n#s 5\n"), std::string::npos);  // still inside the block
}

TEST_F(CompilerExchange, NoneReadsEachDataFileAfreshAndSurvivesAMissingOne) {
    nyxCompilerRule none = fakeRule("canned", "NONE");
    writeFile(dir() + "/a.canned", "#s 0\n#m\n#endmsgs\n#nonetlist\n");
    writeFile(dir() + "/b.canned", "#s 12\n#m\n#endmsgs\n#nonetlist\n");
    EXPECT_EQ(compile(none, "a", false, dir() + "/a.canned"), 27);
    EXPECT_EQ(compile(none, "b", true, dir() + "/b.canned"), 12);
    EXPECT_EQ(compile(none, "x", false, dir() + "/missing.canned"), 4);
    EXPECT_EQ(compile(none, "a", false, dir() + "/a.canned"), 27);
    EXPECT_EQ(compile(none, "b", true, dir() + "/b.canned"), 12);
    EXPECT_EQ(none.proc, nullptr);
    EXPECT_EQ(children().all, 0);
}

TEST_F(CompilerExchange, CompilerDyingAtAnyPointIs4AndRestartsOnNextUse) {
    nyxCompilerRule rule = fakeRule();
    writeFile(dir() + "/V.reply", "#s 0\n#m\n#endmsgs\n#nonetlist\n");
    for (const char *mode : {"exit-at-start", "die-after-view", "die-mid-stream"}) {
        fakeMode(mode);
        EXPECT_EQ(compile(rule, "V"), 4) << mode;
        EXPECT_FALSE(nyxCompilerProcs::poll(rule.proc)) << mode;
        EXPECT_EQ(children().all, 0) << mode;
        fakeMode("");
        EXPECT_EQ(compile(rule, "V"), 27) << mode;
        nyxCompilerProcs::stop(rule.proc);  // the next start reads the next mode
    }
    EXPECT_EQ(compile(rule, "V"), 27);
    // Killed between two exchanges: reaped and started again by the next one.
    ASSERT_EQ(::kill(rule.proc->pid, SIGKILL), 0);
    usleep(20000);
    const uint32_t starts = rule.proc->startCount;
    EXPECT_EQ(compile(rule, "V"), 27);
    EXPECT_EQ(rule.proc->startCount, starts + 1);
}

TEST_F(CompilerExchange, HangingCompilerTimesOutIsKilledAndReaped) {
    setenv("NYX_COMPILER_TIMEOUT", "1", 1);
    fakeMode("hang");
    nyxCompilerRule rule = fakeRule();
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(compile(rule, "V"), 4);
    const double took = secondsSince(t0);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 3.0);
    EXPECT_FALSE(rule.proc->running);
    EXPECT_EQ(children().all, 0);
}

TEST_F(CompilerExchange, GarbageAndAbsurdLengthAre4AndKillTheCompiler) {
    nyxCompilerRule rule = fakeRule();
    fakeMode("garbage");
    EXPECT_EQ(compile(rule, "V"), 4);
    EXPECT_FALSE(rule.proc->running);
    fakeMode("absurd-length");
    testing::internal::CaptureStderr();
    EXPECT_EQ(compile(rule, "V"), 4);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Absurd length in readString; compiler communications problem; len=0x7fffffff.\n"),
              std::string::npos);
    EXPECT_FALSE(rule.proc->running);
    EXPECT_EQ(children().all, 0);
    fakeMode("");
    writeFile(dir() + "/V.reply", "#s 0\n#m\n#endmsgs\n#nonetlist\n");
    EXPECT_EQ(compile(rule, "V"), 27);
    EXPECT_EQ(rule.proc->startCount, 3u);
}

TEST_F(CompilerExchange, StaleStatusIsDroppedBeforeTheNextExchange) {
    nyxCompilerRule rule = fakeRule();
    fakeMode("stale-status");
    writeFile(dir() + "/V.reply", "#s 0\n#m\n#endmsgs\n#nonetlist\n");
    writeFile(dir() + "/W.reply", "#m\n#endmsgs\n#nonetlist\n");  // no status of its own
    EXPECT_EQ(compile(rule, "V"), 27);
    testing::internal::CaptureStderr();
    // Were the stale "#s 9" read as this answer's status, the result would be 4 from it, not
    // from the missing status: the diagnostic tells the two apart.
    EXPECT_EQ(compile(rule, "W"), 4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("NYX: 5 stale bytes from the compiler ") + FAKE_COMPILER_PATH + " discarded\n");
    EXPECT_EQ(rule.proc->startCount, 1u);
}

TEST_F(CompilerExchange, FloodOfMessagesIsCopiedWithoutDeadlock) {
    nyxCompilerRule rule = fakeRule();
    fakeMode("flood");
    writeFile(dir() + "/V.reply", "#s 0\n#m\n#endmsgs\n#nonetlist\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(compile(rule, "V"), 27);
    EXPECT_GE(testing::internal::GetCapturedStderr().size(), size_t(1) << 20);
}

TEST_F(CompilerExchange, RequestToACompilerAlreadyInAnExchangeIs4) {
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    rule.proc->inExchange = true;  // as during the reading of an answer
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    cfidrErrorT e = 0;
    nyxCompilerIntf::compileNetlistView(&rule, "unused", "L", "C", "V", &e);
    EXPECT_EQ(e, 4);
    EXPECT_EQ(fakeLog(), "");
    rule.proc->inExchange = false;
    EXPECT_EQ(compile(rule, "V"), 4);
    EXPECT_EQ(fakeLog(), "#reset\n#lib L\n#cell C\n#view V\n");
}

} // namespace
