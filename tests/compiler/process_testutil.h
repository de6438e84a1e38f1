// What the process and exchange tests share: the fake compiler's rule, files, and the checks of
// the host's descriptors and children through /proc.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "common/test_env.h"
#include "compiler/compiler.h"
#include "compiler/process.h"

namespace proctest {

inline std::string dir() { return nyxtest::testDirectory(); }

inline std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A rule served by the fake compiler (or by the given program).
inline nyxCompilerRule fakeRule(const char *viewType = "fake", const std::string &compiler = FAKE_COMPILER_PATH) {
    nyxCompilerRule rule;
    rule.viewType = viewType;
    rule.compiler = compiler;
    return rule;
}

// Points the fake compiler's log, start count and reply directory into the test directory.
inline void fakeEnvironment() {
    setenv("FAKE_LOG", (dir() + "/fake.log").c_str(), 1);
    setenv("FAKE_COUNT", (dir() + "/fake.count").c_str(), 1);
    setenv("FAKE_REPLY_DIR", dir().c_str(), 1);
    setenv("FAKE_MODE_FILE", (dir() + "/fake.mode").c_str(), 1);
}
inline void fakeMode(const std::string &mode) { writeFile(dir() + "/fake.mode", mode + "\n"); }
inline std::string fakeLog() { return readFile(dir() + "/fake.log"); }
inline int fakeStarts() {
    std::string text = readFile(dir() + "/fake.count");
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

// Open descriptors of this process.
inline int openFds() {
    int count = 0;
    DIR *d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (dirent *e = readdir(d))
        if (e->d_name[0] != '.') ++count;
    closedir(d);
    return count - 1;  // the listing's own descriptor
}

// Children of this process, and how many of them are zombies.
struct Children {
    int all = 0;
    int zombies = 0;
};
inline Children children() {
    Children c;
    DIR *d = opendir("/proc");
    if (d == nullptr) return c;
    const pid_t self = getpid();
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::string stat = readFile(std::string("/proc/") + e->d_name + "/stat");
        size_t paren = stat.rfind(')');
        if (paren == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + paren + 1, " %c %d", &state, &ppid) != 2) continue;
        if (ppid != self) continue;
        ++c.all;
        if (state == 'Z') ++c.zombies;
    }
    closedir(d);
    return c;
}

// The next text line of a running compiler's answer.
inline std::string answerLine(nyxCompilerProc *proc) {
    std::string line;
    if (proc == nullptr || proc->stream == nullptr || !proc->stream->readLine(line)) return "<none>";
    return line;
}

inline bool say(nyxCompilerProc *proc, const std::string &text) {
    return nyxCompilerProcs::writeAll(proc, text.data(), text.size(), 5);
}

} // namespace proctest
