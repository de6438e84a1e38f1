// Costs per call that must not grow with the size of what a call searches, through the exported
// interface with its checks on. Each case runs at two sizes; the per-call figures of the larger
// size should match those of the smaller.
//
// BM_DistinctDescribers/n: n leaf views (one cell each, one port scalar), then one view with one
// instance of each leaf: inst_create_ns per instance (finding or making the describer record of
// a view that already holds up to n records), and attach_ns per attach of that instance's port
// instance to a net of its own.
//
// BM_TopPorts/n: one view with n top-level port scalars: port_create_ns per creation (the
// duplicate-name check of a view that holds up to n ports), port_find_ns per look-up by name.
//
// Each case runs three times and reports the median; CPU time of this thread only.
//
//   build/<dir>/bench/bench_scale --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "nyxdr.h"

namespace {

using nyxbench::cpuNow;

// A fresh scratch directory as the current directory, so that new libraries land there.
bool enterScratchDirectory() {
    return nyxbench::enterScratchDirectory("scale");
}

void distinctDescribers(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        char name[32];
        std::snprintf(name, sizeof name, "desc%d", n);
        cfiOID lib = cfidrPICreateLib(name, &e);
        std::vector<cfiOID> leaves(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            std::snprintf(name, sizeof name, "leaf%d", i);
            cfiOID cell = cfidrLibCreateCell(lib, name, &e);
            cfiOID view = cfidrCellCreateNetlistView(cell, "netlist", &e);
            cfidrNetlistViewCreatePortScalar(view, "a", -1, cfidrInputDirection, &e);
            leaves[static_cast<size_t>(i)] = view;
        }
        cfiOID top = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "top", &e), "netlist", &e);
        std::vector<cfiOID> nets(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            std::snprintf(name, sizeof name, "n%d", i);
            nets[static_cast<size_t>(i)] = cfidrNetlistViewCreateNetScalar(top, name, &e);
        }
        if (e != 0) return state.SkipWithError("set-up failed");

        std::vector<cfiOID> insts(static_cast<size_t>(n));
        double t0 = cpuNow();
        for (int i = 0; i < n; ++i) {
            std::snprintf(name, sizeof name, "u%d", i);
            insts[static_cast<size_t>(i)] = cfidrNetlistViewCreateInst(top, leaves[static_cast<size_t>(i)], name, &e);
        }
        state.counters["inst_create_ns"] = (cpuNow() - t0) / n;
        if (e != 0) return state.SkipWithError("instances failed");
        std::vector<cfiOID> pis(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) pis[static_cast<size_t>(i)] = nyxdrInstFindPortInstByPosition(insts[static_cast<size_t>(i)], 0, &e);
        t0 = cpuNow();
        for (int i = 0; i < n; ++i)
            cfidrNetAttachPortInst(nets[static_cast<size_t>(i)], pis[static_cast<size_t>(i)],
                                   cfidrPositionAttachMode, &e);
        state.counters["attach_ns"] = (cpuNow() - t0) / n;
        if (e != 0) return state.SkipWithError("attach failed");
        cfidrPIQuit(&e);
        std::snprintf(name, sizeof name, "rm -rf desc%d", n);
        if (std::system(name) != 0) std::fprintf(stderr, "could not remove the library\n");
    }
}

void topPorts(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> names(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) names[static_cast<size_t>(i)] = "port" + std::to_string(i);
    for (auto _ : state) {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        cfiOID lib = cfidrPICreateLib("portlib", &e);
        cfiOID view = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "cell", &e), "netlist", &e);
        double t0 = cpuNow();
        for (int i = 0; i < n; ++i)
            cfidrNetlistViewCreatePortScalar(view, names[static_cast<size_t>(i)].c_str(), -1,
                                             cfidrInputDirection, &e);
        state.counters["port_create_ns"] = (cpuNow() - t0) / n;
        if (e != 0) return state.SkipWithError("creation failed");
        t0 = cpuNow();
        uint64_t found = 0;
        for (int i = 0; i < n; ++i) {
            found += cfidrNetlistViewFindPortByName(view, names[static_cast<size_t>(i)].c_str(), &e).object != 0;
        }
        state.counters["port_find_ns"] = (cpuNow() - t0) / n;
        if (found != static_cast<uint64_t>(n)) return state.SkipWithError("look-up failed");
        cfidrPIQuit(&e);
    }
}

} // namespace

BENCHMARK(distinctDescribers)->Arg(1000)->Arg(10000)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(topPorts)->Arg(10000)->Arg(100000)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
