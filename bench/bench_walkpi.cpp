// The occurrence walk through the exported nyxdw functions, over the generated hierarchies of
// bench_walk (levels of three view variants, ten instances and two nets each, over three leaf
// cells of four ports), rooted in a design configuration; trusted program mode unless stated.
// Each figure stands beside its baseline: the same operation called on the tree in src/dw.
//   createTopBillion: nyxdwPICreateTopOcc on nine levels, 10^9 leaf occurrences (create_us,
//     rss_kb added by the build; baseline_us buildTree).
//   residentRatio: process resident memory after creating the top and iterating every instance
//     occurrence, at 10^5 (five levels) and then 10^6 (six levels) leaf occurrences (ratio).
//   decodeDepth6: nyxdwInstOccGetInst on 1e6 shuffled leaf ids at depth 6 (ns; baseline instOf).
//   iterate1e8: nyxdwIterNextInstOcc over every instance occurrence of eight levels (1.1e8),
//     trusted and checked (ns per step, rss_kb added; baseline the walk's next).
//   findByPath: nyxdwTopOccFindNetOccByPath at depth 6 (ns; baseline findNet).
//   accessAfterUnrelatedEdit: 1e6 nyxdwInstOccGetInst on a fresh tree and after an edit of a
//     view outside it (fresh_ns, after_ns, ratio).
//
//   build/<dir>/bench/bench_walkpi
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_measure.h"
#include "walk_design.h"
#include "cfidr.h"
#include "dw/dw.h"
#include "nyxdr.h"
#include "nyxdw.h"

namespace {

using nyxbench::cpuNow;

bool enterScratchDirectory() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return nyxbench::enterScratchDirectory("walkpi");
}

// A session holding the generated design and a configuration rooted at variant 0 of level 1.
struct Design {
    explicit Design(int levels) {
        cfidrPIInit(&e);
        nyxdrPISetTrustedProgramMode(1, &e);
        nyxdrPISetTrustedDataMode(1, &e);
        lib = cfidrPICreateLib("walkpi", &e);
        cfiOID rootView = nyxbench::generateWalkDesign(lib, levels, &e);
        config = nyxdrCellCreateDesignConfig(cfidrViewGetOwner(rootView, &e), "cfg", rootView, 0, &e);
    }
    ~Design() {
        nyxdrPISetTrustedProgramMode(0, &e);
        nyxdrPISetTrustedDataMode(0, &e);
        cfidrPIQuit(&e);
    }
    cfiOID view(const std::string &name) { return nyxbench::newView(lib, name, &e); }
    cfiOID top() { return nyxdwPICreateTopOcc(config, &e); }
    nyxOccTree *tree(cfiOID occ) { return nyxdw::resolveTree(static_cast<int32_t>((occ.tag >> 4) & 0xff)); }
    // Every instance occurrence of mode 1 (leaves) or 3, through the interface.
    std::vector<cfiOID> occurrences(cfiOID t, int32_t mode) {
        std::vector<cfiOID> out;
        cfidrIterT it = nyxdwTopOccGetInstOccs(t, mode, &e);
        for (cfiOID o = nyxdwIterNextInstOcc(it, &e); o.object != 0; o = nyxdwIterNextInstOcc(it, &e)) out.push_back(o);
        nyxdwIterQuit(it, &e);
        return out;
    }

    cfidrErrorT e = 0;
    cfiOID lib{}, config{};
};

void createTopBillion(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(9);
    double ns = 0, base = 0;
    long rss = 0;
    cfiOID t{};
    for (auto _ : state) {
        if (t.object != 0) nyxdwTopOccDestroy(t, &d.e);
        const long before = nyxbench::residentBytes();
        double start = cpuNow();
        t = d.top();
        ns += cpuNow() - start;
        rss = std::max(rss, nyxbench::residentBytes() - before);
        if (d.e != 0) return state.SkipWithError("create failed");
        cfidrErrorT e = 0;
        start = cpuNow();
        nyxOccTree *tree = nyxdw::buildTree(nyxdw::rootView(d.tree(t)), 1, &e);
        base += cpuNow() - start;
        nyxdw::dropTree(tree);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ids"] = static_cast<double>(nyxdw::totalSize(d.tree(t)));
    state.counters["create_us"] = ns / n / 1000.0;
    state.counters["baseline_us"] = base / n / 1000.0;
    state.counters["rss_kb"] = static_cast<double>(rss) / 1024.0;
}

void residentRatio(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    long rss[2] = {0, 0};
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            Design d(5 + k);
            cfiOID t = d.top();
            long steps = 0;
            cfidrIterT it = nyxdwTopOccGetInstOccs(t, 3, &d.e);
            while (nyxdwIterNextInstOcc(it, &d.e).object != 0) ++steps;
            nyxdwIterQuit(it, &d.e);
            benchmark::DoNotOptimize(steps);
            rss[k] = nyxbench::residentBytes();
        }
    }
    state.counters["rss_1e5_kb"] = static_cast<double>(rss[0]) / 1024.0;
    state.counters["rss_1e6_kb"] = static_cast<double>(rss[1]) / 1024.0;
    state.counters["ratio"] = static_cast<double>(rss[1]) / static_cast<double>(rss[0]);
}

void decodeDepth6(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    cfiOID t = d.top();
    std::vector<cfiOID> leaves = d.occurrences(t, 1);
    std::shuffle(leaves.begin(), leaves.end(), std::mt19937(7));
    nyxOccTree *tree = d.tree(t);
    double ns = 0, base = 0;
    for (auto _ : state) {
        double start = cpuNow();
        for (const cfiOID &o : leaves) benchmark::DoNotOptimize(nyxdwInstOccGetInst(o, &d.e));
        ns += cpuNow() - start;
        cfidrErrorT e = 0;
        start = cpuNow();
        for (const cfiOID &o : leaves) {
            nyxOccRef r;
            nyxdw::decodeWords(nyxOccWords{o.object, o.tag}, &r);
            benchmark::DoNotOptimize(nyxdw::instOf(tree, r, &e));
        }
        base += cpuNow() - start;
    }
    if (d.e != 0) return state.SkipWithError("decode failed");
    const double n = static_cast<double>(state.iterations()) * static_cast<double>(leaves.size());
    state.counters["ids"] = static_cast<double>(leaves.size());
    state.counters["ns"] = ns / n;
    state.counters["baseline_ns"] = base / n;
}

void iterate1e8(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(8);
    cfiOID t = d.top();
    auto steps = [&](long *count) {
        const long before = nyxbench::residentBytes();
        cfidrIterT it = nyxdwTopOccGetInstOccs(t, 3, &d.e);
        const double start = cpuNow();
        long n = 0;
        while (nyxdwIterNextInstOcc(it, &d.e).object != 0) ++n;
        const double ns = cpuNow() - start;
        nyxdwIterQuit(it, &d.e);
        *count = n;
        state.counters["rss_kb"] = std::max<double>(state.counters["rss_kb"],
                                                    static_cast<double>(nyxbench::residentBytes() - before) / 1024.0);
        return ns / static_cast<double>(n);
    };
    long count = 0;
    for (auto _ : state) {
        state.counters["trusted_ns"] = steps(&count);
        nyxdrPISetTrustedProgramMode(0, &d.e);
        state.counters["checked_ns"] = steps(&count);
        nyxdrPISetTrustedProgramMode(1, &d.e);
        nyxOccTree *tree = d.tree(t);
        std::unique_ptr<nyxOccWalk> w(nyxdw::walkHierarchy(tree, 3, &d.e));
        const double start = cpuNow();
        for (nyxOccRef r; w->next(tree, &r, &d.e);) benchmark::DoNotOptimize(r);
        state.counters["baseline_ns"] = (cpuNow() - start) / static_cast<double>(count);
    }
    if (d.e != 0) return state.SkipWithError("walk failed");
    state.counters["steps"] = static_cast<double>(count);
}

void findByPath(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    cfiOID t = d.top();
    nyxOccTree *tree = d.tree(t);
    const char *path[] = {"i3", "i7", "i1", "i9", "i4", "n1", nullptr};
    double ns = 0, base = 0;
    cfidrErrorT e = 0;
    for (auto _ : state) {
        double start = cpuNow();
        benchmark::DoNotOptimize(nyxdwTopOccFindNetOccByPath(t, path, &d.e));
        ns += cpuNow() - start;
        start = cpuNow();
        benchmark::DoNotOptimize(nyxdw::findNet(tree, path, &e));
        base += cpuNow() - start;
    }
    if (d.e != 0 || e != 0) return state.SkipWithError("find failed");
    state.counters["ns"] = ns / static_cast<double>(state.iterations());
    state.counters["baseline_ns"] = base / static_cast<double>(state.iterations());
}

void accessAfterUnrelatedEdit(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    cfiOID other = d.view("other");
    cfiOID t = d.top();
    std::vector<cfiOID> leaves = d.occurrences(t, 1);
    auto run = [&] {
        const double start = cpuNow();
        for (const cfiOID &o : leaves) benchmark::DoNotOptimize(nyxdwInstOccGetInst(o, &d.e));
        return cpuNow() - start;
    };
    double fresh = 0, after = 0;
    for (auto _ : state) {
        fresh += run();
        cfidrNetlistViewCreateNetScalar(other, ("n" + std::to_string(state.iterations())).c_str(), &d.e);
        after += run();
    }
    if (d.e != 0) return state.SkipWithError("tree went stale");
    const double n = static_cast<double>(state.iterations()) * static_cast<double>(leaves.size());
    state.counters["fresh_ns"] = fresh / n;
    state.counters["after_ns"] = after / n;
    state.counters["ratio"] = after / fresh;
}

} // namespace

BENCHMARK(createTopBillion)->Iterations(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(residentRatio)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeDepth6)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(iterate1e8)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(findByPath)->Unit(benchmark::kMicrosecond);
BENCHMARK(accessAfterUnrelatedEdit)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
