// Compiler processes: start, sharing, exec failure, descriptors, signals, death, stop, rsh.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cfidr.h"
#include "compiler/process.h"
#include "process_testutil.h"
#include "utils/settings.h"

using namespace proctest;

namespace {

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The link target of one of our descriptors ("pipe:[1234]").
std::string fdTarget(const std::string &procDir, int fd) {
    char buf[256];
    ssize_t n = ::readlink((procDir + "/fd/" + std::to_string(fd)).c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : "";
}

std::string statusField(pid_t pid, const std::string &field) {
    std::string text = readFile("/proc/" + std::to_string(pid) + "/status");
    size_t at = text.find("\n" + field + ":");
    if (at == std::string::npos) return "";
    size_t begin = text.find_first_not_of(" \t", at + field.size() + 2);
    return text.substr(begin, text.find('\n', begin) - begin);
}

TEST(CompilerProcess, OneProcessServesTwoViewTypesThenQuitsAndIsReaped) {
    fakeEnvironment();
    const int fdsBefore = openFds();
    nyxCompilerRule a = fakeRule("vhdl"), b = fakeRule("verilog");
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&a, "unused"), 0);
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&b, "unused"), 0);
    ASSERT_EQ(a.proc, b.proc);
    ASSERT_TRUE(a.proc->running);
    EXPECT_EQ(a.proc->startCount, 1u);
    EXPECT_GE(a.proc->toFd, 3);
    EXPECT_GE(a.proc->fromFd, 3);
    EXPECT_EQ(fcntl(a.proc->toFd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(fcntl(a.proc->fromFd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    ASSERT_TRUE(say(a.proc, "#view missing\n"));
    EXPECT_EQ(answerLine(a.proc), "#s 27");

    auto t0 = std::chrono::steady_clock::now();
    nyxCompilerIntf::stopAllCompilers();
    EXPECT_LT(secondsSince(t0), 1.0);  // it quits at once: no grace time spent
    EXPECT_FALSE(a.proc->running);
    EXPECT_EQ(a.proc->pid, -1);
    EXPECT_EQ(fakeStarts(), 1);
    EXPECT_NE(fakeLog().find("#quit\n"), std::string::npos);
    EXPECT_EQ(children().all, 0);
    EXPECT_EQ(openFds(), fdsBefore);
    // The object stays with its path; the next use starts it again.
    EXPECT_EQ(nyxCompilerProcs::forPath(FAKE_COMPILER_PATH), a.proc);
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&a, "unused"), 0);
    EXPECT_EQ(a.proc->startCount, 2u);
    nyxCompilerIntf::stopAllCompilers();
}

TEST(CompilerProcess, ExecFailureIsReportedReapedAndRetried) {
    fakeEnvironment();
    const std::string path = dir() + "/bin/compiler";
    nyxCompilerRule rule = fakeRule("fake", path);
    const int fdsBefore = openFds();
    testing::internal::CaptureStderr();
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to locate the TaboCompiler: " + path + "\n");
    ASSERT_NE(rule.proc, nullptr);
    EXPECT_FALSE(rule.proc->running);
    EXPECT_EQ(children().all, 0);
    EXPECT_EQ(openFds(), fdsBefore);

    // A file that is there but cannot be executed: its error number.
    ASSERT_EQ(mkdir((dir() + "/bin").c_str(), 0755), 0);
    writeFile(path, "not a program\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error " + std::to_string(EACCES) + " starting TaboCompiler: " + path + "\n");
    EXPECT_EQ(children().all, 0);
    EXPECT_EQ(openFds(), fdsBefore);

    // Once the program is there, the next use starts it.
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(symlink(FAKE_COMPILER_PATH, path.c_str()), 0);
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    EXPECT_TRUE(rule.proc->running);
    ASSERT_TRUE(say(rule.proc, "#view x\n"));
    EXPECT_EQ(answerLine(rule.proc), "#s 27");
    nyxCompilerIntf::stopAllCompilers();
    EXPECT_EQ(children().all, 0);
}

TEST(CompilerProcess, SecondCompilerHoldsNoPipeEndOfTheFirst) {
    fakeEnvironment();
    const std::string second = dir() + "/second";
    ASSERT_EQ(symlink(FAKE_COMPILER_PATH, second.c_str()), 0);
    nyxCompilerRule a = fakeRule("a"), b = fakeRule("b", second);
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&a, "unused"), 0);
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&b, "unused"), 0);
    ASSERT_NE(a.proc, b.proc);
    const std::string firstTo = fdTarget("/proc/self", a.proc->toFd);
    const std::string firstFrom = fdTarget("/proc/self", a.proc->fromFd);
    ASSERT_EQ(firstTo.rfind("pipe:", 0), 0u);
    const std::string childDir = "/proc/" + std::to_string(b.proc->pid);
    for (int fd = 0; fd < 1024; ++fd) {
        std::string target = fdTarget(childDir, fd);
        EXPECT_NE(target, firstTo) << "fd " << fd;
        EXPECT_NE(target, firstFrom) << "fd " << fd;
    }
    EXPECT_EQ(fdTarget(childDir, 0).rfind("pipe:", 0), 0u);
    EXPECT_EQ(fdTarget(childDir, 1).rfind("pipe:", 0), 0u);
    // So the first sees the end of its input as soon as it is stopped, with the second running.
    auto t0 = std::chrono::steady_clock::now();
    nyxCompilerProcs::stop(a.proc);
    EXPECT_LT(secondsSince(t0), 1.0);
    EXPECT_TRUE(b.proc->running);
    nyxCompilerIntf::stopAllCompilers();
    EXPECT_EQ(children().all, 0);
}

TEST(CompilerProcess, HostWithClosedStandardInputAndOutputStillTalks) {
    fakeEnvironment();
    nyxCompilerRule rule = fakeRule();
    const int savedIn = fcntl(0, F_DUPFD_CLOEXEC, 10), savedOut = fcntl(1, F_DUPFD_CLOEXEC, 10);
    ::close(0);
    ::close(1);
    const cfidrErrorT started = nyxCompilerIntf::startCompiler(&rule, "unused");
    std::string reply;
    if (started == 0 && say(rule.proc, "#view x\n")) reply = answerLine(rule.proc);
    const int to = rule.proc != nullptr ? rule.proc->toFd : -1;
    const int from = rule.proc != nullptr ? rule.proc->fromFd : -1;
    nyxCompilerIntf::stopAllCompilers();
    dup2(savedIn, 0);
    dup2(savedOut, 1);
    ::close(savedIn);
    ::close(savedOut);
    EXPECT_EQ(started, 0);
    EXPECT_GE(to, 3);
    EXPECT_GE(from, 3);
    EXPECT_EQ(reply, "#s 27");
    EXPECT_EQ(children().all, 0);
}

TEST(CompilerProcess, DeadCompilerIsReapedAndRestartedOnNextUse) {
    fakeEnvironment();
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    ASSERT_TRUE(say(rule.proc, "#view x\n"));
    EXPECT_EQ(answerLine(rule.proc), "#s 27");  // it counted its start by now
    const pid_t first = rule.proc->pid;
    ASSERT_EQ(::kill(first, SIGKILL), 0);
    for (int i = 0; i < 200 && children().zombies == 0; ++i) usleep(5000);
    EXPECT_EQ(children().zombies, 1);
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    EXPECT_NE(rule.proc->pid, first);
    EXPECT_EQ(rule.proc->startCount, 2u);
    EXPECT_EQ(children().zombies, 0);
    ASSERT_TRUE(say(rule.proc, "#view x\n"));
    EXPECT_EQ(answerLine(rule.proc), "#s 27");
    EXPECT_EQ(fakeStarts(), 2);
    nyxCompilerIntf::stopAllCompilers();
    EXPECT_EQ(children().all, 0);
}

TEST(CompilerProcess, WriteToDeadCompilerRaisesNoSignalInHost) {
    fakeEnvironment();
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    ASSERT_TRUE(say(rule.proc, "#quit\n"));
    for (int i = 0; i < 200 && children().zombies == 0; ++i) usleep(5000);
    struct sigaction before {}, after {};
    sigaction(SIGPIPE, nullptr, &before);
    sigset_t maskBefore, maskAfter, pending;
    pthread_sigmask(SIG_SETMASK, nullptr, &maskBefore);
    EXPECT_FALSE(say(rule.proc, "#reset\n"));  // the default disposition would end this test
    pthread_sigmask(SIG_SETMASK, nullptr, &maskAfter);
    sigaction(SIGPIPE, nullptr, &after);
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
    EXPECT_EQ(sigismember(&maskAfter, SIGPIPE), sigismember(&maskBefore, SIGPIPE));
    EXPECT_EQ(after.sa_handler, before.sa_handler);

    // A SIGPIPE of the host's own that was pending before stays pending.
    sigset_t pipeSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, nullptr);
    pthread_kill(pthread_self(), SIGPIPE);
    EXPECT_FALSE(say(rule.proc, "#reset\n"));
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 1);
    timespec zero{0, 0};
    EXPECT_EQ(sigtimedwait(&pipeSet, nullptr, &zero), SIGPIPE);
    pthread_sigmask(SIG_SETMASK, &maskBefore, nullptr);

    EXPECT_FALSE(nyxCompilerProcs::poll(rule.proc));
    EXPECT_EQ(children().all, 0);
}

TEST(CompilerProcess, CompilerIgnoringQuitIsKilledWithinGraceTime) {
    fakeEnvironment();
    fakeMode("ignore-quit");
    nyxCompilerRule rule = fakeRule();
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    auto t0 = std::chrono::steady_clock::now();
    nyxCompilerIntf::stopAllCompilers();
    const double took = secondsSince(t0);
    // It ignores "#quit", the end of its input and SIGTERM: SIGKILL after both grace times.
    EXPECT_GE(took, (nyxCompilerProcs::kQuitGraceMs + nyxCompilerProcs::kTermGraceMs) / 1000.0 - 0.1);
    EXPECT_LT(took, (nyxCompilerProcs::kQuitGraceMs + nyxCompilerProcs::kTermGraceMs) / 1000.0 + 1.5);
    EXPECT_FALSE(rule.proc->running);
    EXPECT_EQ(children().all, 0);
}

TEST(CompilerProcess, ChildStartsWithCleanSignalStateWhateverTheHostBlocksOrIgnores) {
    fakeEnvironment();
    sigset_t block, previous;
    sigemptyset(&block);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &block, &previous);
    auto oldInt = std::signal(SIGINT, SIG_IGN);
    auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
    nyxCompilerRule rule = fakeRule();
    const cfidrErrorT started = nyxCompilerIntf::startCompiler(&rule, "unused");
    std::signal(SIGINT, oldInt);
    std::signal(SIGPIPE, oldPipe);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_EQ(started, 0);
    ASSERT_TRUE(say(rule.proc, "#view x\n"));  // it runs its own code by now
    EXPECT_EQ(answerLine(rule.proc), "#s 27");
    EXPECT_EQ(statusField(rule.proc->pid, "SigBlk"), "0000000000000000");
    // Of the C library's own two real-time signals (32, 33) the spawn has no say.
    const std::string ignored = statusField(rule.proc->pid, "SigIgn");
    EXPECT_EQ(std::stoull(ignored, nullptr, 16) & 0x7fffffffULL, 0u) << ignored;
    nyxCompilerIntf::stopAllCompilers();
}

TEST(CompilerProcess, RemoteStartRunsRshWithHostAndQuotedPath) {
    fakeEnvironment();
    const std::string bin = dir() + "/bin";
    ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
    writeFile(bin + "/rsh",
              "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" >> \"$RSH_LOG\"\neval \"exec $2\"\n");
    ASSERT_EQ(chmod((bin + "/rsh").c_str(), 0755), 0);
    const std::string quirky = dir() + "/it's a compiler";
    ASSERT_EQ(symlink(FAKE_COMPILER_PATH, quirky.c_str()), 0);
    setenv("RSH_LOG", (dir() + "/rsh.log").c_str(), 1);
    const std::string oldPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    nyxSettings::setNameOptionBits(nyxSettings::kRemoteShell);

    nyxCompilerRule rule = fakeRule("fake", quirky);
    rule.hostName = "farhost";
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&rule, "unused"), 0);
    ASSERT_TRUE(say(rule.proc, "#view x\n"));
    EXPECT_EQ(answerLine(rule.proc), "#s 27");
    EXPECT_EQ(readFile(dir() + "/rsh.log"),
              bin + "/rsh\nfarhost\n'" + dir() + "/it'\\''s a compiler'\n");
    nyxCompilerIntf::stopAllCompilers();

    // A host name that rsh would take as an option is refused.
    nyxCompilerRule refused = fakeRule("other", dir() + "/other");
    refused.hostName = "-oProxyCommand=x";
    testing::internal::CaptureStderr();
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&refused, "unused"), 4);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("starting TaboCompiler"), std::string::npos);

    // No rsh on the search path.
    setenv("PATH", (dir() + "/nothing").c_str(), 1);
    nyxCompilerRule lost = fakeRule("lost", dir() + "/lost");
    lost.hostName = "farhost";
    testing::internal::CaptureStderr();
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&lost, "unused"), 4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to locate \"rsh\"\n");
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(children().all, 0);
}

TEST(CompilerProcess, NoneStartsNothingAndNeedsARegularDataFile) {
    nyxCompilerRule rule = fakeRule("canned", "NONE");
    writeFile(dir() + "/v.canned", "#s 0\n#nonetlist\n");
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, (dir() + "/v.canned").c_str()), 0);
    EXPECT_EQ(rule.proc, nullptr);
    EXPECT_EQ(children().all, 0);
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, (dir() + "/missing").c_str()), 4);
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, dir().c_str()), 4);
    ASSERT_EQ(mkfifo((dir() + "/fifo").c_str(), 0600), 0);
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, (dir() + "/fifo").c_str()), 4);
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, nullptr), 4);
    // A missing file leaves nothing behind: the next one works.
    EXPECT_EQ(nyxCompilerIntf::startCompiler(&rule, (dir() + "/v.canned").c_str()), 0);
}

TEST(CompilerProcess, InactivityTimeoutComesFromTheEnvironment) {
    EXPECT_EQ(nyxCompilerProcs::timeoutSeconds(), 300);
    setenv("NYX_COMPILER_TIMEOUT", "1", 1);
    EXPECT_EQ(nyxCompilerProcs::timeoutSeconds(), 1);
    setenv("NYX_COMPILER_TIMEOUT", "0", 1);
    EXPECT_EQ(nyxCompilerProcs::timeoutSeconds(), 0);
    for (const char *bad : {"", "-3", "12s", "ten"}) {
        setenv("NYX_COMPILER_TIMEOUT", bad, 1);
        EXPECT_EQ(nyxCompilerProcs::timeoutSeconds(), 300) << bad;
    }
    setenv("NYX_COMPILER_TIMEOUT", "99999999999999", 1);
    EXPECT_EQ(nyxCompilerProcs::timeoutSeconds(), 2000000);
}

} // namespace

namespace {

TEST(CompilerProcess, ReleaseOfTheLibraryStopsEveryCompiler) {
    fakeEnvironment();
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    ASSERT_EQ(e, 0);
    const std::string second = dir() + "/second";
    ASSERT_EQ(symlink(FAKE_COMPILER_PATH, second.c_str()), 0);
    nyxCompilerRule a = fakeRule("a"), b = fakeRule("b", second);
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&a, "unused"), 0);
    ASSERT_EQ(nyxCompilerIntf::startCompiler(&b, "unused"), 0);
    EXPECT_EQ(children().all, 2);
    cfidrPIQuit(&e);
    EXPECT_EQ(children().all, 0);
    EXPECT_FALSE(a.proc->running);
    EXPECT_FALSE(b.proc->running);
    EXPECT_EQ(fakeLog(), "#quit\n#quit\n");
}

} // namespace
