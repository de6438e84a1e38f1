// The cold load of a saved library, phase by phase, on a library that `nyx import --save` wrote
// (bench/race makes one of 1e6 leaf cells). NYX_BENCH_SAVED names the directory that holds the
// library directory `saved` (with its compiler rules) and the design configuration `top/cfg`;
// without it the benchmark is skipped.
//   coldLoad: processor time (user and system) of each phase of one process's session:
//     views_s  every netlist view of the library read from its file (cfidrPIOpenView)
//     tree_s   the occurrence tree of the configuration over the views already read
//     walk_s   every instance occurrence stepped through by the iterator, nothing asked of it
//     paths_s  the path of every instance occurrence (what `nyx walk --depth N` asks)
//     quit_s   the session's end: every view, library and heap released
//   and rss_mb, the resident memory after the views were read.
//
//   NYX_BENCH_SAVED=/work/race/r1/1000000 build/<dir>/bench/bench_coldload
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "nyxdr.h"
#include "nyxdw.h"

namespace {

double processSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool enterSaved() {
    const char *dir = std::getenv("NYX_BENCH_SAVED");
    if (dir == nullptr || chdir(dir) != 0) return false;
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    const std::string rules = std::string(dir) + "/saved/nyxCompilers.rules";
    setenv("ZIL_NYX_COMPILER_RULES", rules.c_str(), 1);
    return true;
}

// The names of the library's cells.
std::vector<std::string> cellNames(cfiOID lib) {
    std::vector<std::string> names;
    cfidrErrorT e = 0;
    cfidrIterT it = cfidrLibGetCells(lib, &e);
    for (cfiOID c = cfidrIterNextCell(it, &e); c.object != 0; c = cfidrIterNextCell(it, &e)) {
        names.emplace_back(cfidrNamedObjectGetName(c, &e));
    }
    cfidrIterQuit(it, &e);
    return names;
}

// Reads every netlist view; the number read, -1 on an error.
long readViews(const std::vector<std::string> &cells) {
    long read = 0;
    for (const std::string &cell : cells) {
        cfidrErrorT e = 0;
        cfiOID v = cfidrPIOpenView("saved", cell.c_str(), "netlist", cfidrReadMode, &e);
        if (e == cfidrErrNotFound) continue;
        if (v.object == 0 || e != 0) return -1;
        nyxdrNetlistViewGetDescriberCount(v, &e);
        if (e != 0) return -1;
        ++read;
    }
    return read;
}

void coldLoad(benchmark::State &state) {
    if (!enterSaved()) return state.SkipWithError("NYX_BENCH_SAVED names no saved library");
    double views = 0, tree = 0, walk = 0, paths = 0, quit = 0, rss = 0, count = 0, occs = 0;
    for (auto _ : state) {
        cfidrErrorT e = 0;
        double t = processSeconds();
        cfidrPIInit(&e);
        cfiOID lib = cfidrPIOpenLib("saved", cfidrReadMode, &e);
        if (e != 0) return state.SkipWithError("the library cannot be opened");
        const long n = readViews(cellNames(lib));
        if (n < 0) return state.SkipWithError("a view cannot be read");
        double now = processSeconds();
        views += now - t;
        count = static_cast<double>(n);
        rss = static_cast<double>(nyxbench::residentBytes()) / 1e6;
        t = now;
        cfiOID config = nyxdrPIOpenDesignConfig("saved", "top", "cfg", cfidrReadMode, &e);
        const cfiOID top = nyxdwPICreateTopOcc(config, &e);
        if (e != 0) return state.SkipWithError("no occurrence tree");
        now = processSeconds();
        tree += now - t;
        t = now;
        long stepped = 0;
        cfidrIterT it = nyxdwTopOccGetInstOccs(top, 3, &e);
        for (cfiOID o = nyxdwIterNextInstOcc(it, &e); o.object != 0; o = nyxdwIterNextInstOcc(it, &e)) ++stepped;
        nyxdwIterQuit(it, &e);
        now = processSeconds();
        walk += now - t;
        t = now;
        it = nyxdwTopOccGetInstOccs(top, 3, &e);
        for (cfiOID o = nyxdwIterNextInstOcc(it, &e); o.object != 0; o = nyxdwIterNextInstOcc(it, &e)) {
            benchmark::DoNotOptimize(nyxdwOccGetPath(o, &e));
        }
        nyxdwIterQuit(it, &e);
        now = processSeconds();
        paths += now - t;
        occs = static_cast<double>(stepped);
        t = now;
        cfidrPIQuit(&e);
        quit += processSeconds() - t;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["views"] = count;
    state.counters["occurrences"] = occs;
    state.counters["views_s"] = views / runs;
    state.counters["tree_s"] = tree / runs;
    state.counters["walk_s"] = walk / runs;
    state.counters["paths_s"] = paths / runs;
    state.counters["quit_s"] = quit / runs;
    state.counters["rss_mb"] = rss;
}
BENCHMARK(coldLoad)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
