// View selection through a selector set:
//   selectManySelectors: 100 view name selectors and 10 library selectors over 10 open libraries,
//     each with the cell; only the last selector names a view that exists, in the last library,
//     so every selector is tried against every library (1,000 view lookups). Target: <= 20 us.
//   selectTypeOverStoredViews: a view type selector over a cell of 50 stored views that were not
//     read; only view headers are read. Target: <= 2 ms.
// select_us is processor time per selection.
//
//   build/<dir>/bench/bench_select
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "bench_measure.h"
#include "cfidr.h"
#include "config/config.h"
#include "dm/netlist/netlist.h"
#include "pi/pi.h"

namespace {

using nyxbench::cpuNow;

bool enterScratchDirectory() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return nyxbench::enterScratchDirectory("select");
}

void report(benchmark::State &state, double ns) {
    state.counters["select_us"] = ns / static_cast<double>(state.iterations()) / 1000.0;
}

void selectManySelectors(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID set = cfidrPICreateSelectorSet("many", &e);
    cfiOID cell{};
    for (int l = 0; l < 10; ++l) {
        const std::string name = "lib" + std::to_string(l);
        cfiOID lib = cfidrPICreateLib(name.c_str(), &e);
        cell = cfidrLibCreateCell(lib, "top", &e);
        for (const char *view : {"a", "b", "c"}) cfidrCellCreateNetlistView(cell, view, &e);
        if (l == 9) cfidrCellCreateNetlistView(cell, "chosen", &e);
        cfidrSelectorSetCreateLibrarySelector(set, name.c_str(), &e);
    }
    for (int v = 0; v < 99; ++v) {
        cfidrSelectorSetCreateViewNameSelector(set, "", "", ("v" + std::to_string(v)).c_str(), &e);
    }
    cfidrSelectorSetCreateViewNameSelector(set, "", "", "chosen", &e);
    if (e != 0) return state.SkipWithError("setting up failed");
    nyxSelectorSet *s = nyxpi::object<nyxSelectorSet>(set);
    nyxCell *c = nyxpi::object<nyxCell>(cell);
    double ns = 0;
    for (auto _ : state) {
        const double start = cpuNow();
        nyxObjRef r = nyxSelectorSet::selectView(s, c, &e);
        ns += cpuNow() - start;
        if (r.obj == nullptr || e != 0) return state.SkipWithError("selection failed");
    }
    report(state, ns);
    cfidrPIQuit(&e);
}

void selectTypeOverStoredViews(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID lib = cfidrPICreateLib("stored", &e);
    cfiOID cell = cfidrLibCreateCell(lib, "top", &e);
    for (int v = 0; v < 50; ++v) {
        cfiOID view = cfidrCellCreateNetlistView(cell, ("v" + std::to_string(v)).c_str(), &e);
        for (int n = 0; n < 200; ++n) cfidrNetlistViewCreateNetScalar(view, ("n" + std::to_string(n)).c_str(), &e);
        if (v == 37) nyxNetlistView::changeViewType(nyxpi::object<nyxNetlistView>(view), "layout");
    }
    cfidrLibSave(lib, &e);
    cfidrPIQuit(&e);
    if (e != 0) return state.SkipWithError("setting up failed");
    double ns = 0;
    for (auto _ : state) {
        state.PauseTiming();
        cfidrPIInit(&e);
        cfiOID set = cfidrPICreateSelectorSet("types", &e);
        cfidrSelectorSetCreateViewTypeSelector(set, "", "", "layout", &e);
        lib = cfidrPIOpenLib("stored", 1, &e);
        cell = cfidrLibFindCellByName(lib, "top", &e);
        nyxSelectorSet *s = nyxpi::object<nyxSelectorSet>(set);
        nyxCell *c = nyxpi::object<nyxCell>(cell);
        if (e != 0) return state.SkipWithError("opening failed");
        c->openObj(&e);
        state.ResumeTiming();
        const double start = cpuNow();
        nyxObjRef r = nyxSelectorSet::selectView(s, c, &e);
        ns += cpuNow() - start;
        state.PauseTiming();
        if (r.obj == nullptr || e != 0 || static_cast<nyxNetlistView *>(r.obj)->loaded()) {
            return state.SkipWithError("selection failed");
        }
        cfidrPIQuit(&e);
        state.ResumeTiming();
    }
    report(state, ns);
}

} // namespace

BENCHMARK(selectManySelectors)->Unit(benchmark::kMicrosecond);
BENCHMARK(selectTypeOverStoredViews)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
