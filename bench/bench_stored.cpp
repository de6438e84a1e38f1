// Reading stored text files whose size grows with the design: a library property file of n
// records (half integers, half strings) read by opening the library, and a location map of n
// lines (one soft name and its hard directory per line) read by the first path conversion.
// Both readers must stay linear: load_ns (processor time per record or line) should not grow
// with n.
//
//   build/<dir>/bench/bench_stored
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bench_measure.h"
#include "cfidr.h"
#include "paths/paths.h"

namespace {

using nyxbench::cpuNow;

// A fresh directory of our own, made current (the current directory's libraries are used).
bool enterScratchDirectory() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return nyxbench::enterScratchDirectory("stored");
}

bool writeText(const std::string &path, const std::string &text) {
    FILE *f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

void propFileLoad(benchmark::State &state) {
    const long n = state.range(0);
    const std::string lib = "props" + std::to_string(n);
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    std::string records;
    char line[96];
    for (long i = 0; i < n; ++i) {
        int len = i % 2 == 0 ? std::snprintf(line, sizeof line, "8 p%07ld2 %ld\n", i, i)
                             : std::snprintf(line, sizeof line, "8 p%07ld5 12 value%07ld\n", i, i);
        records.append(line, static_cast<size_t>(len));
    }
    mkdir(lib.c_str(), 0777);
    if (!writeText(lib + "/_nyx_Lib", records)) return state.SkipWithError("cannot write the file");
    double loadNs = 0;
    for (auto _ : state) {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        const double start = cpuNow();
        cfiOID l = cfidrPIOpenLib(lib.c_str(), cfidrReadMode, &e);
        loadNs += cpuNow() - start;
        if (e != 0) return state.SkipWithError("open failed");
        cfidrIterT it = cfidrObjectGetProps(l, &e);
        long count = 0;
        while (cfidrIterNextProp(it, &e).object != 0)
            ++count;
        cfidrIterQuit(it, &e);
        cfidrPIQuit(&e);
        if (count != n) return state.SkipWithError("properties missing");
    }
    state.counters["load_ns"] =
        loadNs / static_cast<double>(state.iterations()) / static_cast<double>(n);
}

void locationMapRead(benchmark::State &state) {
    const long n = state.range(0);
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    std::string text = "ZIL_LOCATION_MAP_2\n";
    char line[96];
    for (long i = 0; i < n; ++i) {
        int len = std::snprintf(line, sizeof line, "$S%07ld /data/dir%07ld\n", i, i);
        text.append(line, static_cast<size_t>(len));
    }
    const std::string map = "map" + std::to_string(n);
    if (!writeText(map, text)) return state.SkipWithError("cannot write the map");
    char absolute[4096];
    if (getcwd(absolute, sizeof absolute) == nullptr) return state.SkipWithError("no directory");
    setenv("ZIL_LOCATION_MAP", (std::string(absolute) + "/" + map).c_str(), 1);
    double loadNs = 0;
    char buf[kLocMapPathMax];
    for (auto _ : state) {
        nyxLocMapReset();
        const double start = cpuNow();
        const char *hard = nyxLocMapSoftToHard("$S0000000/x", buf, sizeof buf);
        loadNs += cpuNow() - start;
        if (hard == nullptr || std::string(hard) != "/data/dir0000000/x") {
            return state.SkipWithError("conversion failed");
        }
    }
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    nyxLocMapReset();
    state.counters["load_ns"] =
        loadNs / static_cast<double>(state.iterations()) / static_cast<double>(n);
}

} // namespace

BENCHMARK(propFileLoad)
    ->Arg(20000)
    ->Arg(80000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(locationMapRead)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
