// One netlist view under load through the exported interface: 1e6 net scalars with distinct
// 10-character names created, 1e4 port scalars attached to them, every net found by name, all
// nets iterated, an integer property set on each. Run once with the interface's checks on (every
// handed-out identifier registered) and once in trusted program mode. Counters: nanoseconds per
// operation of each phase, and resident bytes per net (growth of the resident set over the
// creation phase, name map included, divided by the count; the same after the properties).
// Each case runs five times and reports the mean, median and spread of every counter: on a
// shared machine the median is the figure to read.
//
//   build/<dir>/bench/bench_netlist --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "nyxdr.h"

namespace {

constexpr int kNets = 1000000;
constexpr int kPorts = 10000;

using nyxbench::cpuNow;
using nyxbench::residentBytes;

double nsSince(double t0, int count) { return (cpuNow() - t0) / count; }

void netlist(benchmark::State &state, bool trusted) {
    std::vector<char> names(static_cast<size_t>(kNets) * 11);
    for (int i = 0; i < kNets; ++i) std::snprintf(&names[static_cast<size_t>(i) * 11], 11, "n%09d", i);
    auto name = [&](int i) { return &names[static_cast<size_t>(i) * 11]; };
    for (auto _ : state) {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        cfiOID lib = cfidrPICreateLib("benchlib", &e);
        cfiOID cell = cfidrLibCreateCell(lib, "cell", &e);
        cfiOID view = cfidrCellCreateNetlistView(cell, "netlist", &e);
        nyxdrPISetTrustedProgramMode(trusted ? 1 : 0, &e);

        long rss0 = residentBytes();
        double t0 = cpuNow();
        std::vector<cfiOID> nets(kNets);
        for (int i = 0; i < kNets; ++i) nets[static_cast<size_t>(i)] = cfidrNetlistViewCreateNetScalar(view, name(i), &e);
        state.counters["create_ns"] = nsSince(t0, kNets);
        long rssNets = residentBytes() - rss0;
        if (e != 0) state.SkipWithError("creation failed");

        std::vector<cfiOID> ports(kPorts);
        for (int i = 0; i < kPorts; ++i) {
            char pname[16];
            std::snprintf(pname, sizeof pname, "p%05d", i);
            ports[static_cast<size_t>(i)] = cfidrNetlistViewCreatePortScalar(view, pname, -1, 1, &e);
        }
        t0 = cpuNow();
        for (int i = 0; i < kPorts; ++i) {
            cfidrNetAttachPort(nets[static_cast<size_t>(i) * (kNets / kPorts)], ports[static_cast<size_t>(i)], 1, &e);
        }
        state.counters["port_attach_ns"] = nsSince(t0, kPorts);
        if (e != 0) state.SkipWithError("attach failed");

        t0 = cpuNow();
        uint64_t found = 0;
        for (int i = 0; i < kNets; ++i) found += cfidrNetlistViewFindNetByName(view, name(i), &e).object != 0;
        state.counters["lookup_ns"] = nsSince(t0, kNets);
        if (found != kNets) state.SkipWithError("lookup failed");

        t0 = cpuNow();
        cfidrIterT it = cfidrNetlistViewGetNets(view, 4, &e);
        uint64_t seen = 0;
        for (cfiOID n = cfidrIterNextNet(it, &e); n.object != 0; n = cfidrIterNextNet(it, &e)) ++seen;
        cfidrIterQuit(it, &e);
        state.counters["iterate_ns"] = nsSince(t0, kNets);
        if (seen != kNets) state.SkipWithError("iteration failed");

        t0 = cpuNow();
        for (int i = 0; i < kNets; ++i) {
            cfiOID prop = cfidrObjectCreateProp(nets[static_cast<size_t>(i)], "weight", &e);
            cfidrPropSetInt32Value(prop, i, &e);
        }
        state.counters["int_prop_ns"] = nsSince(t0, kNets);
        state.counters["bytes_per_net"] = static_cast<double>(rssNets) / kNets;
        state.counters["bytes_per_net_with_prop"] = static_cast<double>(residentBytes() - rss0) / kNets;
        if (e != 0) state.SkipWithError("properties failed");

        nyxdrPISetTrustedProgramMode(0, &e);
        cfidrPIQuit(&e);
    }
}

void BM_NetlistChecked(benchmark::State &state) { netlist(state, false); }
void BM_NetlistTrusted(benchmark::State &state) { netlist(state, true); }

} // namespace

BENCHMARK(BM_NetlistChecked)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetlistTrusted)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
