// Flat nets and derived properties over generated hierarchies: `levels` levels of three view
// variants, every view holding ten instances of the next level's variants, 20 port nets p0..p19
// (every instance's pins on the nets of the same name) and a global net vdd; the bottom views
// have the ports and vdd only. So 10^levels bottom occurrences, 20 flat nets spanning the whole
// design and one global flat net on every view occurrence. Trusted modes on.
//   computeFlat/5,6: 10^5 and 10^6 bottom occurrences of the same distinct views (the root
//     holds 10 or 100 instances): the tables' computation (compute_us) beside a plain loop over
//     as many items as the distinct views hold (baseline_us); the bytes of tree and tables
//     (graph_bytes) and the resident memory they added (rss_kb), whose ratio the runs give.
//   flatOfDepth6: the flat net of 1e5 shuffled net occurrences at depth 6 (flat_ns) beside
//     decoding the same ids (decode_ns).
//   iterateAll: every flat net and its member net occurrences (ns per member, member_ns) beside
//     a plain loop over as many items (baseline_ns).
//   globalMembers: the members of vdd (member_ns) and a derived look-up on it through 3 sets of
//     1e3 net overrides whose name only the last set holds on vdd (lookup_us).
//   derivedThreeSets: a derived property of a depth-6 instance found in the third of 3 sets
//     (find_ns) beside nyxPropFind on its list (baseline_ns); a cached 10-operator expression
//     whose 3 names resolve at the top, 5 levels up (eval_ns), beside the same text evaluated
//     with a lookup that knows the names (baseline_ns).
//
//   build/<dir>/bench/bench_flat
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "dm/prop/prop.h"
#include "dw/derived.h"
#include "dw/dwInt.h"
#include "expr/expr.h"
#include "nyxdr.h"
#include "pi/pi.h"

namespace {

using nyxbench::cpuNow;
constexpr int kVariants = 3;
constexpr int kFanout = 10;
constexpr int kPortNets = 20;

bool enterScratchDirectory() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return nyxbench::enterScratchDirectory("flat");
}

struct Design {
    // topFanout: the instances of the root view (the others hold kFanout), so that 10^5 and
    // 10^6 bottom occurrences share their distinct views.
    explicit Design(int levels, int topFanout = kFanout) {
        cfidrPIInit(&e);
        nyxdrPISetTrustedProgramMode(1, &e);
        nyxdrPISetTrustedDataMode(1, &e);
        lib = cfidrPICreateLib("flat", &e);
        std::vector<cfiOID> below;
        for (int level = levels + 1; level >= 1; --level) {
            std::vector<cfiOID> here;
            for (int v = 0; v < kVariants; ++v) {
                cfiOID x = view("l" + std::to_string(level) + "v" + std::to_string(v));
                cfidrNetScalarSetIsGlobal(cfidrNetlistViewCreateNetScalar(x, "vdd", &e), cfiTrue, &e);
                std::vector<cfiOID> nets;
                for (int k = 0; k < kPortNets; ++k) {
                    const std::string name = "p" + std::to_string(k);
                    cfiOID n = cfidrNetlistViewCreateNetScalar(x, name.c_str(), &e);
                    cfidrNetAttachPort(n, cfidrNetlistViewCreatePortScalar(x, name.c_str(), -1, 1, &e), 1, &e);
                    nets.push_back(n);
                }
                const int fanout = level == 1 ? topFanout : kFanout;
                for (int i = 0; i < fanout && !below.empty(); ++i) {
                    cfiOID in = cfidrNetlistViewCreateInst(x, below[(v + i) % kVariants], ("i" + std::to_string(i)).c_str(), &e);
                    for (int k = 0; k < kPortNets; ++k) {
                        cfiOID pin = cfidrInstFindPortInstByDescriberName(in, ("p" + std::to_string(k)).c_str(), &e);
                        cfidrNetAttachPortInst(nets[k], pin, 1, &e);
                    }
                }
                here.push_back(x);
            }
            below = here;
        }
        rootId = below[0];
        root = nyxpi::object<nyxNetlistView>(rootId);
    }
    ~Design() {
        nyxdw::dropTree(tree);
        nyxdrPISetTrustedProgramMode(0, &e);
        nyxdrPISetTrustedDataMode(0, &e);
        cfidrPIQuit(&e);
    }
    cfiOID view(const std::string &name) {
        cfiOID cell = cfidrLibCreateCell(lib, name.c_str(), &e);
        return cfidrCellCreateNetlistView(cell, "netlist", &e);
    }
    bool build() {
        nyxdw::dropTree(tree);
        tree = nyxdw::buildTree(root, 1, &e);
        return tree != nullptr;
    }
    // Net occurrences of one name at the bottom-most descended level along random paths.
    std::vector<nyxOccRef> deepNets(int levels, const char *net, size_t count) {
        std::mt19937 rng(7);
        std::vector<nyxOccRef> out;
        std::vector<std::string> names(levels + 1);
        std::vector<const char *> path(levels + 2, nullptr);
        for (size_t n = 0; n < count; ++n) {
            for (int i = 0; i < levels; ++i) names[i] = "i" + std::to_string(rng() % kFanout), path[i] = names[i].c_str();
            path[levels] = net;
            out.push_back(nyxdw::findNet(tree, path.data(), &e));
        }
        return out;
    }

    cfidrErrorT e = 0;
    cfiOID lib{}, rootId{};
    nyxNetlistView *root = nullptr;
    nyxOccTree *tree = nullptr;
};

void computeFlat(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    // 10^5: five levels below the root; 10^6: the same views, the root holding 100 instances.
    Design d(5, state.range(0) == 5 ? kFanout : 10 * kFanout);
    double ns = 0, base = 0;
    long rss = 0;
    for (auto _ : state) {
        const long before = nyxbench::residentBytes();
        if (!d.build()) return state.SkipWithError("build failed");
        const double start = cpuNow();
        if (!nyxdw::computeFlatNets(d.tree, &d.e)) return state.SkipWithError("compute failed");
        ns += cpuNow() - start;
        rss = std::max(rss, nyxbench::residentBytes() - before);
    }
    // Items of the distinct views: nets, ports, port instances.
    const long items = static_cast<long>(nyxdw::nodeCount(d.tree)) * (2 * kPortNets + 1 + kFanout * kPortNets);
    long bottoms = 1;
    for (int i = 0; i < 5; ++i) bottoms *= kFanout;
    const double start = cpuNow();
    int64_t sum = 0;
    for (long i = 0; i < items * state.iterations(); ++i) {
        sum += i;
        benchmark::DoNotOptimize(sum);
    }
    base = cpuNow() - start;
    const double n = static_cast<double>(state.iterations());
    state.counters["bottoms"] = static_cast<double>(state.range(0) == 5 ? bottoms : bottoms * 10);
    state.counters["ids"] = static_cast<double>(nyxdw::totalSize(d.tree));
    state.counters["compute_us"] = ns / n / 1000.0;
    state.counters["baseline_us"] = base / n / 1000.0;
    state.counters["graph_bytes"] = static_cast<double>(nyxdw::treeBytes(d.tree));
    state.counters["rss_kb"] = static_cast<double>(rss) / 1024.0;
}

void flatOfDepth6(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    if (!d.build() || !nyxdw::computeFlatNets(d.tree, &d.e)) return state.SkipWithError("build failed");
    std::vector<nyxOccRef> nets = d.deepNets(6, "p7", 100000);
    double ns = 0, base = 0;
    for (auto _ : state) {
        double start = cpuNow();
        for (const nyxOccRef &r : nets) benchmark::DoNotOptimize(nyxdw::netFlatNet(d.tree, r, &d.e));
        ns += cpuNow() - start;
        start = cpuNow();
        for (const nyxOccRef &r : nets) benchmark::DoNotOptimize(nyxdw::owner(d.tree, r, &d.e));
        base += cpuNow() - start;
    }
    if (d.e != 0) return state.SkipWithError("flat net failed");
    const double per = static_cast<double>(state.iterations()) * static_cast<double>(nets.size());
    state.counters["flat_ns"] = ns / per;
    state.counters["decode_ns"] = base / per;
}

void iterateAll(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(5);
    if (!d.build() || !nyxdw::computeFlatNets(d.tree, &d.e)) return state.SkipWithError("build failed");
    double ns = 0, base = 0;
    long visited = 0;
    for (auto _ : state) {
        visited = 0;
        double start = cpuNow();
        std::unique_ptr<nyxOccWalk> all(nyxdw::walkFlatNets(d.tree, 3, &d.e));
        for (nyxOccRef f; all->next(d.tree, &f, &d.e);) {
            std::unique_ptr<nyxOccWalk> members(nyxdw::walkFlatNetNets(d.tree, f, &d.e));
            for (nyxOccRef r; members->next(d.tree, &r, &d.e);) ++visited;
        }
        ns += cpuNow() - start;
        start = cpuNow();
        int64_t sum = 0;
        for (long i = 0; i < visited; ++i) {
            sum += i;
            benchmark::DoNotOptimize(sum);
        }
        base += cpuNow() - start;
    }
    const double per = static_cast<double>(state.iterations()) * static_cast<double>(visited);
    state.counters["members"] = static_cast<double>(visited);
    state.counters["member_ns"] = ns / per;
    state.counters["baseline_ns"] = base / per;
}

// A configuration of the design listing three sets; set k holds `count` net nodes on random
// depth-`depth` occurrences of net `net` with property `name`.
struct Sets {
    Sets(Design &d, int depth, const char *const nets[3], const char *const props[3], int count) {
        cfiOID cell = cfidrLibCreateCell(d.lib, "design", &d.e);
        cfg = nyxdrCellCreateDesignConfig(cell, "cfg", d.rootId, 0, &d.e);
        std::mt19937 rng(11);
        for (int k = 0; k < 3; ++k) {
            set[k] = nyxdrCellCreateOccPropSet(cell, ("s" + std::to_string(k)).c_str(), &d.e);
            nyxdrDesignConfigInsertOccPropSet(cfg, set[k], -1, &d.e);
            std::vector<std::string> names(depth + 1);
            std::vector<const char *> path(depth + 2, nullptr);
            for (int n = 0; n < count; ++n) {
                for (int i = 0; i < depth; ++i) names[i] = "i" + std::to_string(rng() % kFanout), path[i] = names[i].c_str();
                path[depth] = nets[k];
                cfiOID node = nyxdrOccPropSetCreateNetOccProp(set[k], path.data(), &d.e);
                if (d.e != 0) {  // the same path drawn twice
                    d.e = 0;
                    continue;
                }
                cfidrPropSetInt32Value(cfidrObjectCreateProp(node, props[k], &d.e), n, &d.e);
            }
        }
        design.tree = d.tree;
        design.config = nyxpi::object<nyxDesignConfig>(cfg);
    }
    cfiOID cfg{}, set[3]{};
    nyxdwDerived::Design design;
};

void globalMembers(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(6);
    if (!d.build() || !nyxdw::computeFlatNets(d.tree, &d.e)) return state.SkipWithError("build failed");
    const char *nets[3] = {"p3", "p4", "vdd"};
    const char *names[3] = {"cap", "cap", "cap"};
    Sets sets(d, 4, nets, names, 1000);
    const nyxOccRef vdd = nyxdwInt::ref(d.tree, -2, nyxOccFlatNet);
    nyxdwDerived::find(sets.design, vdd, "cap", 0, &d.e);  // builds the cross-references
    double walk = 0, lookup = 0;
    long members = 0;
    for (auto _ : state) {
        members = 0;
        double start = cpuNow();
        std::unique_ptr<nyxOccWalk> w(nyxdw::walkFlatNetNets(d.tree, vdd, &d.e));
        for (nyxOccRef r; w->next(d.tree, &r, &d.e);) ++members;
        walk += cpuNow() - start;
        start = cpuNow();
        nyxdwDerived::Found f = nyxdwDerived::find(sets.design, vdd, "cap", 0, &d.e);
        lookup += cpuNow() - start;
        if (f.isNull()) return state.SkipWithError("look-up failed");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["members"] = static_cast<double>(members);
    state.counters["member_ns"] = walk / n / static_cast<double>(members);
    state.counters["lookup_us"] = lookup / n / 1000.0;
}

// Names a, b, c as constants: the evaluator's own cost.
struct Constants final : nyxExprLookup {
    bool lookup(const char *name, nyxExprCompilerContext *, nyxExprValue &out, cfidrErrorT *) override {
        out.setInt(name[0] - 'a' + 2);
        return true;
    }
};

void derivedThreeSets(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    Design d(5);
    if (!d.build()) return state.SkipWithError("build failed");
    const char *nets[3] = {"p1", "p2", "p3"};
    const char *names[3] = {"w0", "w1", "w2"};
    Sets sets(d, 5, nets, names, 1000);
    // The property on a net node of the third set; look-ups at that net occurrence.
    std::vector<const char *> path{"i1", "i2", "i3", "i4", "i5", "p3", nullptr};
    cfiOID node = nyxdrOccPropSetCreateNetOccProp(sets.set[2], path.data(), &d.e);
    d.e = 0;
    node = nyxdrOccPropSetFindNetOccPropByPath(sets.set[2], path.data(), &d.e);
    cfidrPropSetInt32Value(cfidrObjectCreateProp(node, "target", &d.e), 1, &d.e);
    d.e = 0;
    const nyxOccRef at = nyxdw::findNet(d.tree, path.data(), &d.e);
    for (const char *name : {"a", "b", "c"}) cfidrPropSetInt32Value(cfidrObjectCreateProp(d.rootId, name, &d.e), 3, &d.e);
    const char *text = "(a + b) * c - a / b + c * 2 - 1 + a * b - c % 2";
    const nyxOccRef deep = nyxdw::owner(d.tree, at, &d.e);
    double find = 0, base = 0, eval = 0, evalBase = 0;
    // Warm: the sets' cross-references are built by the first look-up, the text parsed by the
    // first evaluation.
    nyxdwDerived::Found f = nyxdwDerived::find(sets.design, at, "target", 2, &d.e);
    nyxdwDerived::evaluateText(sets.design, text, deep, 2, &d.e);
    for (auto _ : state) {
        double start = cpuNow();
        for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(f = nyxdwDerived::find(sets.design, at, "target", 2, &d.e));
        find += cpuNow() - start;
        start = cpuNow();
        for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(nyxPropFind(f.list, "target", &d.e));
        base += cpuNow() - start;
        start = cpuNow();
        for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(nyxdwDerived::evaluateText(sets.design, text, deep, 2, &d.e));
        eval += cpuNow() - start;
        Constants constants;
        start = cpuNow();
        for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(nyxExprSessionMgr()->evaluate("x", text, &constants, nullptr, &d.e));
        evalBase += cpuNow() - start;
    }
    if (d.e != 0) return state.SkipWithError("look-up failed");
    const double per = static_cast<double>(state.iterations()) * 1000.0;
    state.counters["find_ns"] = find / per;
    state.counters["find_baseline_ns"] = base / per;
    state.counters["eval_ns"] = eval / per;
    state.counters["eval_baseline_ns"] = evalBase / per;
}

} // namespace

BENCHMARK(computeFlat)->DenseRange(5, 6)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(flatOfDepth6)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(iterateAll)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(globalMembers)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(derivedThreeSets)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
