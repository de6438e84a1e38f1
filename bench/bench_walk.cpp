// The occurrence tree over generated hierarchies: `levels` levels of three view variants each,
// every view holding ten instances of the next level's variants and two nets, over three leaf
// cells with four ports. The views are the same whatever the depth, so the number of distinct
// views grows by three per level while the occurrences grow tenfold.
//   walkTree/5..7: builds the tree (tree_bytes, build_us) and walks every instance occurrence
//     (walk_ns per occurrence visited); baseline_ns is a plain loop over as many items, and
//     rss_walk_kb the resident memory added by the walk.
//   buildBillion: the tree of nine levels, 10^9 leaf occurrences (build_us, tree_bytes, the
//     resident memory the build added).
//   decodeDepth6: instOf on 1e6 shuffled leaf instance-occurrence ids at depth 6 (decode_ns).
//   accessAfterUnrelatedEdit: the staleness check and instOf, 1e6 times, on a fresh tree and
//     after an edit outside the tree (fresh_ns, after_ns, ratio).
//   findNetByPath: a net found by a path of six names (find_ns).
//
//   build/<dir>/bench/bench_walk
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
#include "pi/pi.h"

namespace {

using nyxbench::cpuNow;

bool enterScratchDirectory() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return nyxbench::enterScratchDirectory("walk");
}

// A session holding the generated design; its root is variant 0 of level 1.
struct Design {
    explicit Design(int levels) {
        cfidrPIInit(&e);
        nyxdrPISetTrustedProgramMode(1, &e);
        nyxdrPISetTrustedDataMode(1, &e);
        cfiOID lib = cfidrPICreateLib("walk", &e);
        cfiOID rootView = nyxbench::generateWalkDesign(lib, levels, &e);
        root = nyxpi::object<nyxNetlistView>(rootView);
    }
    ~Design() {
        nyxdw::dropTree(tree);
        nyxdrPISetTrustedProgramMode(0, &e);
        nyxdrPISetTrustedDataMode(0, &e);
        cfidrPIQuit(&e);
    }
    cfiOID view(cfiOID lib, const std::string &name) { return nyxbench::newView(lib, name, &e); }

    cfidrErrorT e = 0;
    nyxNetlistView *root = nullptr;
    nyxOccTree *tree = nullptr;
};

void walkTree(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(static_cast<int>(state.range(0)));
    double build = 0, walk = 0, base = 0;
    long visited = 0, rss = 0;
    for (auto _ : state) {
        nyxdw::dropTree(d.tree);
        double start = cpuNow();
        d.tree = nyxdw::buildTree(d.root, 1, &d.e);
        build += cpuNow() - start;
        if (d.tree == nullptr) return state.SkipWithError("build failed");
        std::unique_ptr<nyxOccWalk> w(nyxdw::walkHierarchy(d.tree, 3, &d.e));
        const long before = nyxbench::residentBytes();
        visited = 0;
        start = cpuNow();
        for (nyxOccRef r; w->next(d.tree, &r, &d.e);) {
            benchmark::DoNotOptimize(r);
            ++visited;
        }
        walk += cpuNow() - start;
        rss = std::max(rss, nyxbench::residentBytes() - before);
        start = cpuNow();
        int64_t sum = 0;
        for (long i = 0; i < visited; ++i) {
            sum += i;
            benchmark::DoNotOptimize(sum);
        }
        base += cpuNow() - start;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["occurrences"] = static_cast<double>(visited);
    state.counters["views"] = nyxdw::nodeCount(d.tree);
    state.counters["tree_bytes"] = static_cast<double>(nyxdw::treeBytes(d.tree));
    state.counters["build_us"] = build / n / 1000.0;
    state.counters["walk_ns"] = walk / n / static_cast<double>(visited);
    state.counters["baseline_ns"] = base / n / static_cast<double>(visited);
    state.counters["rss_walk_kb"] = static_cast<double>(rss) / 1024.0;
}

void buildBillion(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(9);  // 10^9 leaf occurrences, 1.11e9 ids
    double ns = 0;
    long rss = 0;
    for (auto _ : state) {
        nyxdw::dropTree(d.tree);
        const long before = nyxbench::residentBytes();
        const double start = cpuNow();
        d.tree = nyxdw::buildTree(d.root, 1, &d.e);
        ns += cpuNow() - start;
        rss = std::max(rss, nyxbench::residentBytes() - before);
        if (d.tree == nullptr) return state.SkipWithError("build failed");
    }
    state.counters["ids"] = static_cast<double>(nyxdw::totalSize(d.tree));
    state.counters["build_us"] = ns / static_cast<double>(state.iterations()) / 1000.0;
    state.counters["tree_bytes"] = static_cast<double>(nyxdw::treeBytes(d.tree));
    state.counters["rss_build_kb"] = static_cast<double>(rss) / 1024.0;
}

void decodeDepth6(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    d.tree = nyxdw::buildTree(d.root, 1, &d.e);
    if (d.tree == nullptr) return state.SkipWithError("build failed");
    std::vector<nyxOccRef> leaves;
    std::unique_ptr<nyxOccWalk> w(nyxdw::walkHierarchy(d.tree, 1, &d.e));
    for (nyxOccRef r; w->next(d.tree, &r, &d.e);) leaves.push_back(r);
    std::shuffle(leaves.begin(), leaves.end(), std::mt19937(7));
    double ns = 0;
    for (auto _ : state) {
        const double start = cpuNow();
        for (const nyxOccRef &r : leaves) benchmark::DoNotOptimize(nyxdw::instOf(d.tree, r, &d.e));
        ns += cpuNow() - start;
    }
    if (d.e != 0) return state.SkipWithError("decode failed");
    state.counters["ids"] = static_cast<double>(leaves.size());
    state.counters["decode_ns"] = ns / static_cast<double>(state.iterations()) / static_cast<double>(leaves.size());
}

// 1e6 accessor calls, each after the staleness check a configuration makes, on a fresh tree and
// after an edit of a view outside the tree (the first check restamps; ratio = after / fresh).
void accessAfterUnrelatedEdit(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    cfiOID other = d.view(cfidrPIOpenLib("walk", 2, &d.e), "other");
    d.e = 0;
    d.tree = nyxdw::buildTree(d.root, 1, &d.e);
    if (d.tree == nullptr) return state.SkipWithError("build failed");
    std::vector<nyxOccRef> leaves;
    std::unique_ptr<nyxOccWalk> w(nyxdw::walkHierarchy(d.tree, 1, &d.e));
    for (nyxOccRef r; w->next(d.tree, &r, &d.e);) leaves.push_back(r);
    auto run = [&] {
        const double start = cpuNow();
        for (const nyxOccRef &r : leaves) {
            if (!nyxdw::isCurrent(d.tree)) return -1.0;
            benchmark::DoNotOptimize(nyxdw::instOf(d.tree, r, &d.e));
        }
        return cpuNow() - start;
    };
    double fresh = 0, after = 0;
    for (auto _ : state) {
        fresh += run();
        cfidrNetlistViewCreateNetScalar(other, ("n" + std::to_string(state.iterations())).c_str(), &d.e);
        after += run();
    }
    if (fresh < 0 || after < 0 || d.e != 0) return state.SkipWithError("tree went stale");
    state.counters["fresh_ns"] = fresh / static_cast<double>(state.iterations()) / static_cast<double>(leaves.size());
    state.counters["after_ns"] = after / static_cast<double>(state.iterations()) / static_cast<double>(leaves.size());
    state.counters["ratio"] = after / fresh;
}

void findNetByPath(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    d.tree = nyxdw::buildTree(d.root, 1, &d.e);
    if (d.tree == nullptr) return state.SkipWithError("build failed");
    const char *path[] = {"i3", "i7", "i1", "i9", "i4", "n1", nullptr};
    double ns = 0;
    for (auto _ : state) {
        const double start = cpuNow();
        benchmark::DoNotOptimize(nyxdw::findNet(d.tree, path, &d.e));
        ns += cpuNow() - start;
    }
    if (d.e != 0) return state.SkipWithError("find failed");
    state.counters["find_ns"] = ns / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(walkTree)->DenseRange(5, 7)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(buildBillion)->Iterations(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(decodeDepth6)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(accessAfterUnrelatedEdit)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(findNetByPath)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
