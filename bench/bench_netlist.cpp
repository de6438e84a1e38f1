// One netlist view under load through the exported interface: 1e6 net scalars with distinct
// 10-character names created, 1e4 port scalars attached to them, every net found by name, all
// nets iterated, properties created on each and integer values set on them. Run once with the
// interface's checks on (every handed-out identifier registered) and once in trusted program
// mode. Counters: nanoseconds per operation of each phase, and resident bytes per net (growth of
// the resident set over the creation phase, name map included, divided by the count; the same
// after the properties).
//
// Baselines of the same run, on the same names in the same order: insert and find of a reserved
// std::unordered_map<std::string, uint32_t> (umap_insert_ns, umap_find_ns), and a chase of
// dependent loads through a random cycle over a table of the net name map's size (chase_ns: one
// wait for memory per step, the floor of any look-up whose table does not fit in the caches).
// Ratios: create_vs_umap (creation over the map's insert), lookup_vs_umap and lookup_vs_chase
// (look-up by name over the map's find and over the chase), and, in the checked case, the
// property loops with checks over the same loops in trusted program mode run right after on the
// same nets: int_prop_vs_trusted (create a property and set its first integer value) and
// int_set_vs_trusted (set an integer property that holds an integer already).
// Each case runs five times and reports the mean, median and spread of every counter: on a
// shared machine the median is the figure to read.
//
//   build/<dir>/bench/bench_netlist --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <unordered_map>
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

// Slots of the net name map for kNets names: a power of two, at least 4096, at most half full.
constexpr size_t nameMapSlots() {
    size_t slots = 4096;
    while (slots / 2 < static_cast<size_t>(kNets)) slots *= 2;
    return slots;
}

// The baselines: a reserved standard map over the same names in the same order, and a chase of
// dependent loads over a random cycle through a table as large as the name map.
void baselines(benchmark::State &state, const std::vector<char> &names) {
    auto name = [&](int i) { return &names[static_cast<size_t>(i) * 11]; };
    {
        std::unordered_map<std::string, uint32_t> map;
        map.reserve(kNets);
        double t0 = cpuNow();
        for (int i = 0; i < kNets; ++i) map.emplace(name(i), static_cast<uint32_t>(i));
        state.counters["umap_insert_ns"] = nsSince(t0, kNets);
        t0 = cpuNow();
        uint64_t sum = 0;
        for (int i = 0; i < kNets; ++i) sum += map.find(name(i))->second;
        state.counters["umap_find_ns"] = nsSince(t0, kNets);
        benchmark::DoNotOptimize(sum);
    }
    // Sattolo's shuffle makes one cycle through every slot.
    std::vector<uint64_t> table(nameMapSlots());
    for (size_t i = 0; i < table.size(); ++i) table[i] = i;
    std::mt19937_64 random(12345);
    for (size_t i = table.size() - 1; i > 0; --i) {
        size_t j = std::uniform_int_distribution<size_t>(0, i - 1)(random);
        std::swap(table[i], table[j]);
    }
    double t0 = cpuNow();
    uint64_t at = 0;
    for (int i = 0; i < kNets; ++i) at = table[at];
    state.counters["chase_ns"] = nsSince(t0, kNets);
    benchmark::DoNotOptimize(at);
}

void netlist(benchmark::State &state, bool trusted) {
    std::vector<char> names(static_cast<size_t>(kNets) * 11);
    for (int i = 0; i < kNets; ++i) std::snprintf(&names[static_cast<size_t>(i) * 11], 11, "n%09d", i);
    auto name = [&](int i) { return &names[static_cast<size_t>(i) * 11]; };
    for (auto _ : state) {
        baselines(state, names);
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
            ports[static_cast<size_t>(i)] =
                cfidrNetlistViewCreatePortScalar(view, pname, -1, cfidrInputDirection, &e);
        }
        t0 = cpuNow();
        for (int i = 0; i < kPorts; ++i) {
            cfidrNetAttachPort(nets[static_cast<size_t>(i) * (kNets / kPorts)],
                               ports[static_cast<size_t>(i)], cfidrPositionAttachMode, &e);
        }
        state.counters["port_attach_ns"] = nsSince(t0, kPorts);
        if (e != 0) state.SkipWithError("attach failed");

        t0 = cpuNow();
        uint64_t found = 0;
        for (int i = 0; i < kNets; ++i) found += cfidrNetlistViewFindNetByName(view, name(i), &e).object != 0;
        state.counters["lookup_ns"] = nsSince(t0, kNets);
        if (found != kNets) state.SkipWithError("lookup failed");

        t0 = cpuNow();
        cfidrIterT it = cfidrNetlistViewGetNets(view, cfidrAllIterMode, &e);
        uint64_t seen = 0;
        for (cfiOID n = cfidrIterNextNet(it, &e); n.object != 0; n = cfidrIterNextNet(it, &e)) ++seen;
        cfidrIterQuit(it, &e);
        state.counters["iterate_ns"] = nsSince(t0, kNets);
        if (seen != kNets) state.SkipWithError("iteration failed");

        // Properties: creation and the first integer value in separate loops, then both in one
        // loop (a second property), and the integer setter once more on properties of that type.
        std::vector<cfiOID> props(kNets);
        t0 = cpuNow();
        for (int i = 0; i < kNets; ++i) {
            props[static_cast<size_t>(i)] = cfidrObjectCreateProp(nets[static_cast<size_t>(i)], "weight", &e);
        }
        state.counters["prop_create_ns"] = nsSince(t0, kNets);
        t0 = cpuNow();
        for (int i = 0; i < kNets; ++i) cfidrPropSetInt32Value(props[static_cast<size_t>(i)], i, &e);
        state.counters["int_set_ns"] = nsSince(t0, kNets);
        auto createAndSet = [&](const char *prop) {
            double start = cpuNow();
            for (int i = 0; i < kNets; ++i) {
                cfidrPropSetInt32Value(cfidrObjectCreateProp(nets[static_cast<size_t>(i)], prop, &e), i, &e);
            }
            return nsSince(start, kNets);
        };
        auto setAgain = [&] {
            double start = cpuNow();
            for (int i = 0; i < kNets; ++i) cfidrPropSetInt32Value(props[static_cast<size_t>(i)], -i, &e);
            return nsSince(start, kNets);
        };
        const double intProp = createAndSet("height");
        const double again = setAgain();
        state.counters["int_prop_ns"] = intProp;
        state.counters["int_set_again_ns"] = again;
        state.counters["bytes_per_net"] = static_cast<double>(rssNets) / kNets;
        state.counters["bytes_per_net_with_prop"] = static_cast<double>(residentBytes() - rss0) / kNets;
        if (e != 0) state.SkipWithError("properties failed");
        if (!trusted) {
            // The same two loops in trusted program mode, right after, on the same nets.
            nyxdrPISetTrustedProgramMode(1, &e);
            const double trustedProp = createAndSet("depth");
            const double trustedAgain = setAgain();
            state.counters["int_prop_trusted_ns"] = trustedProp;
            state.counters["int_prop_vs_trusted"] = intProp / trustedProp;
            state.counters["int_set_again_trusted_ns"] = trustedAgain;
            state.counters["int_set_vs_trusted"] = again / trustedAgain;
        }
        state.counters["create_vs_umap"] = state.counters["create_ns"] / state.counters["umap_insert_ns"];
        state.counters["lookup_vs_umap"] = state.counters["lookup_ns"] / state.counters["umap_find_ns"];
        state.counters["lookup_vs_chase"] = state.counters["lookup_ns"] / state.counters["chase_ns"];

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
