// The open-addressing tables one at a time, each under the load the library puts on it: the
// identifier registry (a million identifiers registered, checked and withdrawn), the iterator
// registry (a few live handles registered and withdrawn in turn), the pointer index of view lists
// (objects added, searched by hash and removed) and the instance name map (instances created
// with their duplicate-name check, then found by name through the interface) and the net name
// map (net scalars created and found by name likewise; bench_netlist measures it at 1e6 nets).
//
// Counters are nanoseconds of processor time per operation of each phase. Each case runs five
// times; read the medians.
//
//   build/<dir>/bench/bench_tables --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "utils/ptrindex.h"
#include "nyxdr.h"
#include "utils/heap.h"
#include "utils/registry.h"

namespace {

using nyxbench::cpuNow;

double nsSince(double t0, size_t count) { return (cpuNow() - t0) / static_cast<double>(count); }

// Object words as the interface hands them out: addresses of objects in blocks, over 8.
uint64_t oidKey(uint32_t i) { return nyxRegistry::oidKey(0x1000 + i * 6 + (i / 22) * 2, 26); }

void BM_OidRegistry(benchmark::State &state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    Hx_topheap::init();
    for (auto _ : state) {
        Hx_genheap heap("bench registry", 65536);
        nyxRegistry reg(&heap, nyxRegistry::kOids);
        double t0 = cpuNow();
        for (uint32_t i = 0; i < n; ++i) reg.insert(oidKey(i));
        state.counters["insert_ns"] = nsSince(t0, n);
        t0 = cpuNow();
        uint32_t found = 0;
        for (uint32_t i = 0; i < n; ++i) found += reg.contains(oidKey(i * 7 % n)) ? 1 : 0;
        state.counters["contains_ns"] = nsSince(t0, n);
        t0 = cpuNow();
        for (uint32_t i = 0; i < n; ++i) found += reg.remove(oidKey(i)) ? 1 : 0;
        state.counters["remove_ns"] = nsSince(t0, n);
        if (found != 2 * n) state.SkipWithError("lost keys");
    }
}

// Live iterators are few: each step registers a handle, checks one and withdraws the oldest.
void BM_IterRegistry(benchmark::State &state) {
    constexpr uint32_t kLive = 64, kSteps = 1000000;
    Hx_topheap::init();
    for (auto _ : state) {
        Hx_genheap heap("bench registry", 4096);
        nyxRegistry reg(&heap, nyxRegistry::kIters);
        auto handle = [](uint32_t i) { return uint64_t{0x7f0000001000} + uint64_t{i % 4096} * 96; };
        for (uint32_t i = 0; i < kLive; ++i) reg.insert(handle(i));
        double t0 = cpuNow();
        uint32_t found = 0;
        for (uint32_t i = kLive; i < kSteps + kLive; ++i) {
            reg.insert(handle(i));
            found += reg.contains(handle(i - kLive / 2)) ? 1 : 0;
            reg.remove(handle(i - kLive));
        }
        state.counters["step_ns"] = nsSince(t0, kSteps);
        if (found != kSteps) state.SkipWithError("lost keys");
    }
}

void BM_PtrIndex(benchmark::State &state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    Hx_topheap::init();
    std::vector<uint64_t> objects(n);
    for (auto _ : state) {
        Hx_genheap heap("bench index", 65536);
        nyxPtrIndex *index = nyxPtrIndex::create(&heap, 0);
        auto key = [&](uint32_t i) { return nyxPtrIndex::combine(nyxPtrIndex::ofPointer(&heap), i); };
        double t0 = cpuNow();
        for (uint32_t i = 0; i < n; ++i) index->add(key(i), &objects[i]);
        state.counters["add_ns"] = nsSince(t0, n);
        t0 = cpuNow();
        uint32_t found = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t k = i * 7 % n;
            index->forEach(key(k), [&](void *obj) {
                found += obj == &objects[k] ? 1 : 0;
                return true;
            });
        }
        state.counters["find_ns"] = nsSince(t0, n);
        t0 = cpuNow();
        for (uint32_t i = 0; i < n; ++i) found += index->remove(key(i), &objects[i]) ? 1 : 0;
        state.counters["remove_ns"] = nsSince(t0, n);
        nyxPtrIndex::destroy(index);
        if (found != 2 * n) state.SkipWithError("lost objects");
    }
}

// Instances through the interface in trusted program mode (no identifier registry), names
// checked: each creation searches the map for a duplicate and adds to it.
void BM_InstMap(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        nyxdrPISetTrustedProgramMode(1, &e);
        cfiOID lib = cfidrPICreateLib("benchtables", &e);
        cfiOID leaf = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "leaf", &e), "netlist", &e);
        cfiOID view = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "top", &e), "netlist", &e);
        // The map is made on the first search by name, before the timed creations.
        cfidrNetlistViewFindInstByName(view, "none", &e);
        std::vector<char> names(static_cast<size_t>(n) * 12);
        auto name = [&](int i) { return &names[static_cast<size_t>(i) * 12]; };
        for (int i = 0; i < n; ++i) std::snprintf(name(i), 12, "u%d", i);
        e = 0;
        double t0 = cpuNow();
        for (int i = 0; i < n; ++i) cfidrNetlistViewCreateInst(view, leaf, name(i), &e);
        state.counters["create_ns"] = nsSince(t0, static_cast<size_t>(n));
        if (e != 0) state.SkipWithError("creation failed");
        t0 = cpuNow();
        int found = 0;
        for (int i = 0; i < n; ++i) found += cfidrNetlistViewFindInstByName(view, name(i * 7 % n), &e).object != 0;
        state.counters["lookup_ns"] = nsSince(t0, static_cast<size_t>(n));
        if (found != n) state.SkipWithError("lookup failed");
        nyxdrPISetTrustedProgramMode(0, &e);
        cfidrPIQuit(&e);
    }
}

// Net scalars through the interface, like the instances above.
void BM_NetMap(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        nyxdrPISetTrustedProgramMode(1, &e);
        cfiOID lib = cfidrPICreateLib("benchtables", &e);
        cfiOID view = cfidrCellCreateNetlistView(cfidrLibCreateCell(lib, "top", &e), "netlist", &e);
        cfidrNetlistViewFindNetByName(view, "none", &e);
        std::vector<char> names(static_cast<size_t>(n) * 12);
        auto name = [&](int i) { return &names[static_cast<size_t>(i) * 12]; };
        for (int i = 0; i < n; ++i) std::snprintf(name(i), 12, "n%d", i);
        e = 0;
        double t0 = cpuNow();
        for (int i = 0; i < n; ++i) cfidrNetlistViewCreateNetScalar(view, name(i), &e);
        state.counters["create_ns"] = nsSince(t0, static_cast<size_t>(n));
        if (e != 0) state.SkipWithError("creation failed");
        t0 = cpuNow();
        int found = 0;
        for (int i = 0; i < n; ++i) found += cfidrNetlistViewFindNetByName(view, name(i * 7 % n), &e).object != 0;
        state.counters["lookup_ns"] = nsSince(t0, static_cast<size_t>(n));
        if (found != n) state.SkipWithError("lookup failed");
        nyxdrPISetTrustedProgramMode(0, &e);
        cfidrPIQuit(&e);
    }
}

} // namespace

BENCHMARK(BM_OidRegistry)->Arg(10000)->Arg(1000000)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_IterRegistry)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PtrIndex)->Arg(1000)->Arg(100000)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_NetMap)->Arg(200000)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_InstMap)->Arg(100000)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
