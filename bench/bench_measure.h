// What the benchmark programs share: resident memory, processor time and a scratch directory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace nyxbench {

// Resident bytes of this process, from /proc/self/statm (0 when unreadable).
inline long residentBytes() {
    long pages = 0, resident = 0;
    FILE *f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return 0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return resident * sysconf(_SC_PAGESIZE);
}

// Processor time of this thread in nanoseconds, so that other load on the machine does not count.
inline double cpuNow() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Moves into a scratch directory of its own, /tmp/nyx_bench_<name>XXXXXX, made on the first call
// and the same on every later one (a static of the calling program). False when it cannot be
// made or entered.
inline bool enterScratchDirectory(const char *name) {
    static std::string dir;
    if (dir.empty()) {
        std::string templ = std::string("/tmp/nyx_bench_") + name + "XXXXXX";
        if (mkdtemp(templ.data()) == nullptr) return false;
        dir = templ;
    }
    return chdir(dir.c_str()) == 0;
}

} // namespace nyxbench
