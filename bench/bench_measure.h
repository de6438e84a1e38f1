// Measurements shared by the benchmark programs: resident memory and processor time.
#pragma once

#include <cstdio>
#include <ctime>
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

} // namespace nyxbench
