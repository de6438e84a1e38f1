// process.cpp - starting, polling, feeding and stopping compiler processes (see process.h).
#include "compiler/process.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "paths/paths.h"
#include "utils/settings.h"

extern char **environ;

namespace {

// The process objects, in order of first use. They are never removed (see process.h).
std::vector<std::unique_ptr<nyxCompilerProc>> &table() {
    static std::vector<std::unique_ptr<nyxCompilerProc>> procs;
    return procs;
}

void closeFd(int &fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Marks a process gone whose child was reaped (or can no longer be waited for).
void forget(nyxCompilerProc *proc) {
    closeFd(proc->toFd);
    closeFd(proc->fromFd);
    proc->stream.reset();
    proc->pid = -1;
    proc->running = false;
}

// Moves a close-on-exec descriptor to a number >= 3, so that placing the child's ends on its
// descriptors 0 and 1 never meets an end already sitting there. -1 (fd closed) on failure.
int liftFd(int fd) {
    if (fd >= 3) return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

bool makePipe(int ends[2]) {
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    ends[0] = liftFd(ends[0]);
    ends[1] = liftFd(ends[1]);
    if (ends[0] >= 0 && ends[1] >= 0) return true;
    closeFd(ends[0]);
    closeFd(ends[1]);
    return false;
}

// One non-blocking wait. True when the child is gone (reaped now, or reaped by someone else).
bool reaped(pid_t pid) {
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r == 0) return false;
        if (errno == EINTR) continue;
        return true;  // ECHILD: the host reaps its children itself or ignores SIGCHLD
    }
}

void reapBlocking(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void sleepMs(long ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int64_t nowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits until every listed child is gone or graceMs passed; reaped entries are removed.
void waitGone(std::vector<nyxCompilerProc *> &procs, int graceMs) {
    int64_t deadline = nowMs() + graceMs;
    long step = 1;
    for (;;) {
        std::vector<nyxCompilerProc *> left;
        for (nyxCompilerProc *p : procs) {
            if (reaped(p->pid)) forget(p);
            else left.push_back(p);
        }
        procs.swap(left);
        if (procs.empty() || nowMs() >= deadline) return;
        sleepMs(step);
        if (step < 20) step *= 2;
    }
}

// Tells a process to quit and closes both ends; the child is still to be reaped.
void sayQuit(nyxCompilerProc *proc) {
    static const char kQuit[] = "#quit\n";
    nyxCompilerProcs::writeAll(proc, kQuit, sizeof kQuit - 1, 1);
    closeFd(proc->toFd);
    closeFd(proc->fromFd);
}

// The end of a polite stop: the listed processes were told to quit and closed.
void finishStops(std::vector<nyxCompilerProc *> procs) {
    waitGone(procs, nyxCompilerProcs::kQuitGraceMs);
    for (nyxCompilerProc *p : procs) ::kill(p->pid, SIGTERM);
    waitGone(procs, nyxCompilerProcs::kTermGraceMs);
    for (nyxCompilerProc *p : procs) {
        ::kill(p->pid, SIGKILL);
        reapBlocking(p->pid);
        forget(p);
    }
}

// Host names reach rsh as an argument: one that begins with "-" would be an option, blanks and
// control characters have no place in a host name.
bool hostNameUsable(const std::string &host) {
    if (host.empty() || host[0] == '-') return false;
    for (unsigned char c : host)
        if (c <= ' ' || c == 0x7f) return false;
    return true;
}

// The compiler path as one word of the remote shell: single-quoted, each quote as '\''.
std::string shellQuoted(const std::string &path) {
    std::string out = "'";
    for (char c : path) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

void startMessage(int error, const nyxCompilerRule *rule, bool remote) {
    if (error == ENOENT || error == ENOTDIR) {
        if (remote) std::fprintf(stderr, "Unable to locate \"%s\"\n", "rsh");
        else std::fprintf(stderr, "Unable to locate the TaboCompiler: %s\n", rule->compiler.c_str());
    } else {
        std::fprintf(stderr, "Error %d starting TaboCompiler: %s\n", error, rule->compiler.c_str());
    }
}

// Spawns program (searched on PATH when search is set) with its ends on descriptors 0 and 1, an
// empty signal mask and default dispositions. Returns the spawn's error number (0 on success);
// an exec failure comes back here, and the failed child has then been reaped already.
int spawnChild(pid_t *pid, const char *program, bool search, const std::vector<std::string> &args,
               int childIn, int childOut) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return ENOMEM;
    }
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    int rc = posix_spawn_file_actions_adddup2(&actions, childIn, 0);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, childOut, 1);
    if (rc == 0) rc = posix_spawnattr_setsigmask(&attr, &none);
    if (rc == 0) rc = posix_spawnattr_setsigdefault(&attr, &all);
    if (rc == 0) rc = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (rc == 0) {
        std::vector<char *> argv;
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        rc = search ? posix_spawnp(pid, program, &actions, &attr, argv.data(), environ)
                    : posix_spawn(pid, program, &actions, &attr, argv.data(), environ);
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

// Starts the rule's compiler into proc (which runs nothing). 0, or 4 after the message.
cfidrErrorT startProcess(nyxCompilerProc *proc, nyxCompilerRule *rule) {
    const bool remote = nyxSettings::hasNameOption(nyxSettings::kRemoteShell) && !rule->hostName.empty();
    if (remote && !hostNameUsable(rule->hostName)) {
        startMessage(EINVAL, rule, remote);
        return 4;
    }
    std::vector<std::string> args;
    if (remote) {
        args = {"rsh", rule->hostName, shellQuoted(rule->compiler)};
    } else {
        size_t slash = rule->compiler.rfind('/');
        args = {slash == std::string::npos ? rule->compiler : rule->compiler.substr(slash + 1)};
    }
    int toChild[2], fromChild[2];
    if (!makePipe(toChild)) return 4;
    if (!makePipe(fromChild)) {
        closeFd(toChild[0]);
        closeFd(toChild[1]);
        return 4;
    }
    std::unique_ptr<nyxCompilerStream> stream;
    try {
        stream = std::make_unique<nyxCompilerStream>(fromChild[0], nyxCompilerProcs::timeoutSeconds());
    } catch (...) {
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) ::close(fd);
        return 4;
    }
    pid_t pid = -1;
    const char *program = remote ? "rsh" : rule->compiler.c_str();
    int rc = spawnChild(&pid, program, remote, args, toChild[0], fromChild[1]);
    closeFd(toChild[0]);
    closeFd(fromChild[1]);
    if (rc != 0) {
        closeFd(toChild[1]);
        closeFd(fromChild[0]);
        startMessage(rc, rule, remote);
        return 4;
    }
    // Our end towards the child never blocks: writes wait in poll(2), bounded by the timeout.
    ::fcntl(toChild[1], F_SETFL, ::fcntl(toChild[1], F_GETFL) | O_NONBLOCK);
    proc->stream = std::move(stream);
    proc->pid = pid;
    proc->toFd = toChild[1];
    proc->fromFd = fromChild[0];
    proc->running = true;
    ++proc->startCount;
    if (remote && std::getenv("ZIL_LOCATION_MAP") != nullptr) {
        const char *map = nyxLocMapFileName();
        rule->setValue = map != nullptr ? map : "";
    }
    return 0;
}

} // namespace

nyxCompilerProc *nyxCompilerProcs::forPath(const std::string &path) {
    try {
        for (const std::unique_ptr<nyxCompilerProc> &p : table())
            if (p->path == path) return p.get();
        auto proc = std::make_unique<nyxCompilerProc>();
        proc->path = path;
        table().push_back(std::move(proc));
        return table().back().get();
    } catch (...) {
        return nullptr;
    }
}

size_t nyxCompilerProcs::tableSize() { return table().size(); }

bool nyxCompilerProcs::poll(nyxCompilerProc *proc) {
    if (proc == nullptr || !proc->running) return false;
    if (!reaped(proc->pid)) return true;
    forget(proc);
    return false;
}

cfidrErrorT nyxCompilerProcs::ensureRunning(nyxCompilerRule *rule) {
    if (rule == nullptr) return 4;
    nyxCompilerProc *proc = rule->proc;
    if (proc == nullptr || proc->path != rule->compiler) {
        // First use, or the rule was pointed at another compiler: the old process stays in the
        // table, owned by it, and is stopped with the others.
        proc = forPath(rule->compiler);
        if (proc == nullptr) return 4;
        rule->proc = proc;
    }
    if (proc->inExchange || poll(proc)) return 0;
    try {
        return startProcess(proc, rule);
    } catch (...) {
        return 4;
    }
}

bool nyxCompilerProcs::writeAll(nyxCompilerProc *proc, const char *data, size_t size,
                                int32_t timeoutSeconds) {
    if (proc == nullptr || proc->toFd < 0) return false;
    // SIGPIPE stays blocked in this thread while we write; a SIGPIPE the write raises is taken
    // off the thread's pending set again, unless one was pending before we began.
    sigset_t pipeSet, previous, pending;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigemptyset(&pending);
    ::sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    ::pthread_sigmask(SIG_BLOCK, &pipeSet, &previous);
    const int64_t deadline = timeoutSeconds > 0 ? nowMs() + int64_t(timeoutSeconds) * 1000 : 0;
    bool ok = true, brokenPipe = false;
    while (size > 0) {
        ssize_t n = ::write(proc->toFd, data, size);
        if (n > 0) {
            data += n;
            size -= size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            int waitMs = -1;
            if (deadline != 0) {
                int64_t left = deadline - nowMs();
                if (left <= 0) {
                    ok = false;
                    break;
                }
                waitMs = int(left);
            }
            pollfd pfd{proc->toFd, POLLOUT, 0};
            if (::poll(&pfd, 1, waitMs) < 0 && errno != EINTR) {
                ok = false;
                break;
            }
            continue;
        }
        brokenPipe = n < 0 && errno == EPIPE;
        ok = false;
        break;
    }
    if (brokenPipe && !wasPending) {
        timespec zero{0, 0};
        while (::sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}

void nyxCompilerProcs::stop(nyxCompilerProc *proc) {
    if (proc == nullptr || !proc->running) return;
    sayQuit(proc);
    finishStops({proc});
}

void nyxCompilerProcs::kill(nyxCompilerProc *proc) {
    if (proc == nullptr || !proc->running) return;
    closeFd(proc->toFd);
    closeFd(proc->fromFd);
    ::kill(proc->pid, SIGKILL);
    reapBlocking(proc->pid);
    forget(proc);
}

void nyxCompilerProcs::stopAll() {
    std::vector<nyxCompilerProc *> stopping;
    for (const std::unique_ptr<nyxCompilerProc> &p : table()) {
        if (!p->running) continue;
        p->inExchange = false;
        sayQuit(p.get());
        stopping.push_back(p.get());
    }
    finishStops(std::move(stopping));
}

int32_t nyxCompilerProcs::timeoutSeconds() {
    constexpr int32_t kDefault = 300, kMax = 2000000;  // the largest keeps poll's milliseconds in int
    const char *text = std::getenv("NYX_COMPILER_TIMEOUT");
    if (text == nullptr || *text == '\0') return kDefault;
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 0) return kDefault;
    if (errno == ERANGE || value > kMax) return kMax;
    return int32_t(value);
}

cfidrErrorT nyxCompilerIntf::startCompiler(nyxCompilerRule *rule, const char *dataPath) {
    if (rule == nullptr) return 4;
    if (rule->compiler == "NONE") {
        // Nothing runs: the exchange reads the data file itself, opened per compilation. It
        // must be a regular file, so that a FIFO cannot stall the open or the read.
        if (dataPath == nullptr) return 4;
        int fd = ::open(dataPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return 4;
        struct stat st {};
        bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        ::close(fd);
        return regular ? 0 : 4;
    }
    return nyxCompilerProcs::ensureRunning(rule);
}

void nyxCompilerIntf::stopAllCompilers() { nyxCompilerProcs::stopAll(); }
