// process.h - running compilers: one child process per compiler path, shared by every rule that
// names that path, started on first use and stopped once at release.
//
// A compiler process is external and untrusted: it may fail to start, die at any moment, hang or
// flood. This file keeps the host safe from all of that:
//
//   start   posix_spawn, so that an exec failure reaches the parent as an error number (the
//           child never runs host code after the fork); the parent prints the start message,
//           the failed child is reaped, and the start reports 4 with nothing stored.
//   fds     every pipe end is close-on-exec and sits on a descriptor >= 3, so a second compiler
//           inherits no end of the first (the first still sees end of file after "#quit"), and a
//           host whose descriptors 0 or 1 are closed still gives the child working pipes.
//   signals the child starts with an empty signal mask and default dispositions, whatever the
//           host blocks or ignores; a write to a compiler that died never delivers SIGPIPE to the
//           host (it is blocked around the write and a signal raised by it is consumed), and the
//           host's own dispositions are never changed.
//   death   before each use the process is polled (waitpid WNOHANG); a dead one is reaped and
//           started again, once per use.
//   stop    "#quit", close both ends, wait up to kQuitGraceMs, SIGTERM, wait up to kTermGraceMs,
//           SIGKILL, reap. A process whose conversation went wrong is killed at once instead.
//           A host that reaps its children itself (ECHILD) or ignores SIGCHLD is tolerated.
//
// Invariants of a process object p:
//   p.pid > 0  <=>  p.running  <=>  p.toFd >= 3 && p.fromFd >= 3 && p.stream != null
//   p.inExchange  =>  p.running
//   every object of the table has a distinct path; objects live from their first use to the end
//   of the host process (a stopped object is started again on its next use), so the pointers
//   that rules hold stay valid across stops, releases and new sessions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

#include "compiler/compiler.h"
#include "compiler/stream.h"

struct nyxCompilerProc {
    std::string path;        // the compiler's hard path: the key of the table
    pid_t pid = -1;          // the child, -1 when none runs
    int toFd = -1;           // write end of the pipe to the compiler's standard input
    int fromFd = -1;         // read end of the pipe from the compiler's standard output
    // The reader of fromFd, made at the start with the inactivity timeout of that moment, so that
    // its buffer serves every exchange of the process; bytes left in it after an exchange are
    // stale and dropped before the next one.
    std::unique_ptr<nyxCompilerStream> stream;
    bool running = false;    // started and not yet seen dead or stopped
    bool inExchange = false; // an exchange is using the process (re-entry fails with 4)
    uint32_t startCount = 0; // successful starts, for tests and diagnostics
};

class nyxCompilerProcs {
public:
    static constexpr int kQuitGraceMs = 2000;  // after "#quit" and close, before SIGTERM
    static constexpr int kTermGraceMs = 1000;  // after SIGTERM, before SIGKILL

    // The process object of a compiler path, made (not started) when it is first asked for.
    // Null only when memory ran out.
    static nyxCompilerProc *forPath(const std::string &path);

    // Makes sure the rule's compiler runs: attaches the rule to the object of its path, polls a
    // running process and reaps it when it died, and starts it when it does not run (one
    // attempt). 0, or 4 after the start's message on standard error. A process in an exchange
    // is left alone and reported as running.
    static cfidrErrorT ensureRunning(nyxCompilerRule *rule);

    // True when the process runs; a process found dead is reaped and marked stopped.
    static bool poll(nyxCompilerProc *proc);

    // Writes all of data to the compiler. False when the compiler is gone (EPIPE), an I/O error
    // occurs, or it accepts nothing for timeoutSeconds (0: wait as long as it takes).
    static bool writeAll(nyxCompilerProc *proc, const char *data, size_t size,
                         int32_t timeoutSeconds);

    // Ends one process politely ("#quit", grace times, signals) or at once (SIGKILL), closing
    // both ends and reaping it. The object stays, stopped.
    static void stop(nyxCompilerProc *proc);
    static void kill(nyxCompilerProc *proc);

    // Stops every running process of the table: all are told "#quit" and closed first, then
    // waited for together, so the release waits the grace time once, not once per compiler.
    static void stopAll();

    // The inactivity timeout of conversations with compilers: NYX_COMPILER_TIMEOUT in seconds
    // (a decimal number, 0 for none); 300 when unset or not a number.
    static int32_t timeoutSeconds();

    // Number of process objects in the table (tests).
    static size_t tableSize();
};
