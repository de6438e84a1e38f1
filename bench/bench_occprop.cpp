// Occurrence property sets:
//   createNets: 1e5 net occurrence properties created through the interface by 4-level paths
//     (10 x 10 x 10 instance nodes, 100 nets under each). create_ns per create; target <= 1000.
//     Baseline: the same paths joined into strings and put into a reserved std::unordered_map
//     (baseline_ns), which does no checks and hands out no identifiers.
//   writeAndRead: a set of 1e5 nodes (1,110 instance nodes, 1e5 nets, one integer property on
//     every tenth net) saved (write_ms) and read back on first use after a purge (read_ms);
//     targets <= 150 ms each. Baseline: reading the same file's bytes whole (bytes_ms).
//   xrefBuild: the cross-reference of the createNets set with a property on every net, built from
//     a stand-in for the occurrence tree that computes ids from the names (so that the set's
//     side is what is measured): build_ns per matched node (1,110 instances + 1e5 nets); target
//     <= 500. lookup_ns: one net look-up by id afterwards.
//   instanceNodeMemory: 111,110 instance nodes, five levels of fan-out 10 (every inner node has
//     a name table), made without the interface; rss_bytes_per_node is the growth of resident
//     memory per node; target <= 200.
//
//   build/<dir>/bench/bench_occprop
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "config/config.h"
#include "io/textfile.h"
#include "nyxdr.h"
#include "pi/pi.h"

namespace {

using nyxbench::cpuNow;
using nyxbench::residentBytes;

bool enterScratchDirectory() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    return nyxbench::enterScratchDirectory("occprop");
}

// A session with a library "lib", a cell "top" and a new set in it.
cfiOID newSet(const char *lib, cfiOID *cell = nullptr) {
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID l = cfidrPICreateLib(lib, &e);
    cfiOID c = cfidrLibCreateCell(l, "top", &e);
    if (cell != nullptr) *cell = c;
    return nyxdrCellCreateOccPropSet(c, "s", &e);
}

// The 1e5 4-level net paths: a/b/c/net.
std::vector<std::vector<std::string>> netPaths() {
    std::vector<std::vector<std::string>> paths;
    paths.reserve(100000);
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c)
                for (int n = 0; n < 100; ++n) {
                    paths.push_back({"i" + std::to_string(a), "j" + std::to_string(b),
                                     "k" + std::to_string(c), "net" + std::to_string(n)});
                }
    return paths;
}

void createNets(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    const auto paths = netPaths();
    double ns = 0, baseline = 0;
    for (auto _ : state) {
        cfidrErrorT e = 0;
        cfiOID set = newSet("create");
        double start = cpuNow();
        for (const auto &p : paths) {
            const char *names[5] = {p[0].c_str(), p[1].c_str(), p[2].c_str(), p[3].c_str(), nullptr};
            nyxdrOccPropSetCreateNetOccProp(set, names, &e);
        }
        ns += cpuNow() - start;
        if (e != 0) return state.SkipWithError("creating failed");
        cfidrPIQuit(&e);
        start = cpuNow();
        std::unordered_map<std::string, int> map;
        map.reserve(paths.size());
        for (const auto &p : paths) map.emplace(p[0] + "/" + p[1] + "/" + p[2] + "/" + p[3], 1);
        baseline += cpuNow() - start;
        benchmark::DoNotOptimize(map);
    }
    const double count = static_cast<double>(state.iterations()) * static_cast<double>(paths.size());
    state.counters["create_ns"] = ns / count;
    state.counters["baseline_ns"] = baseline / count;
}

void writeAndRead(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    const auto paths = netPaths();
    double writeNs = 0, readNs = 0, bytesNs = 0;
    for (auto _ : state) {
        cfidrErrorT e = 0;
        cfiOID cell{};
        cfiOID set = newSet("rw", &cell);
        int i = 0;
        for (const auto &p : paths) {
            const char *names[5] = {p[0].c_str(), p[1].c_str(), p[2].c_str(), p[3].c_str(), nullptr};
            cfiOID n = nyxdrOccPropSetCreateNetOccProp(set, names, &e);
            if (i++ % 10 == 0) cfidrPropSetInt32Value(cfidrObjectCreateProp(n, "w", &e), i, &e);
        }
        if (e != 0) return state.SkipWithError("setting up failed");
        double start = cpuNow();
        nyxdrOccPropSetSave(set, &e);
        writeNs += cpuNow() - start;
        nyxdrOccPropSetPurge(set, &e);
        set = nyxdrCellFindOccPropSetByName(cell, "s", &e);
        start = cpuNow();
        nyxOccPropSet::load(nyxpi::object<nyxOccPropSet>(set), &e);
        readNs += cpuNow() - start;
        if (e != 0) return state.SkipWithError("saving or reading failed");
        start = cpuNow();
        std::string bytes;
        nyxTextFile::readWhole("rw/top/s.nyxOccPropSet", bytes, 4);
        bytesNs += cpuNow() - start;
        state.counters["file_bytes"] = static_cast<double>(bytes.size());
        cfidrPIQuit(&e);
        std::system("rm -rf rw");
    }
    const double n = static_cast<double>(state.iterations()) * 1e6;
    state.counters["write_ms"] = writeNs / n;
    state.counters["read_ms"] = readNs / n;
    state.counters["bytes_ms"] = bytesNs / n;
}

// Ids from names: a child's id is the parent's times 16 plus the name's number, a net's the
// parent's times 128 plus its number.
struct NameSource : nyxOccSource {
    static uint64_t number(const char *name) {
        while (*name != '\0' && (*name < '0' || *name > '9')) ++name;
        return std::strtoull(name, nullptr, 10);
    }
    const void *treeKey() const override { return this; }
    uint64_t treeSerial() const override { return 1; }
    uint64_t top() const override { return 1; }
    uint64_t childInst(uint64_t occ, const char *name) const override { return occ * 16 + number(name); }
    bool isLeaf(uint64_t) const override { return false; }
    uint64_t net(uint64_t occ, const char *name) const override { return occ * 128 + number(name); }
    uint64_t port(uint64_t, const char *, const char *const *) const override { return kNone; }
};

void xrefBuild(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    const auto paths = netPaths();
    cfidrErrorT e = 0;
    cfiOID set = newSet("xref");
    for (const auto &p : paths) {
        const char *names[5] = {p[0].c_str(), p[1].c_str(), p[2].c_str(), p[3].c_str(), nullptr};
        cfidrObjectCreateProp(nyxdrOccPropSetCreateNetOccProp(set, names, &e), "w", &e);
    }
    if (e != 0) return state.SkipWithError("setting up failed");
    nyxOccPropSet *s = nyxpi::object<nyxOccPropSet>(set);
    NameSource source;
    const uint64_t lastNet = ((((1 * 16 + 9) * 16 + 9) * 16 + 9) * 128) + 99;
    double ns = 0, lookupNs = 0;
    for (auto _ : state) {
        nyxOccPropXrefs::invalidate(s);
        double start = cpuNow();
        const nyxPropList *list = nyxOccPropXrefs::netProps(s, source, lastNet, &e);
        ns += cpuNow() - start;
        if (list == nullptr || e != 0) return state.SkipWithError("look-up failed");
        start = cpuNow();
        for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(nyxOccPropXrefs::netProps(s, source, lastNet, &e));
        lookupNs += (cpuNow() - start) / 1000;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["build_ns"] = ns / n / (1110.0 + 100000.0);
    state.counters["lookup_ns"] = lookupNs / n;
    cfidrPIQuit(&e);
}

// Every path of the tree of fan-out 10 and depth 5 in pre-order, one node made for each.
bool makeTree(nyxOccPropSet *set, long &nodes, cfidrErrorT *e) {
    std::vector<std::string> path;
    std::vector<int> digits;
    digits.push_back(0);
    while (!digits.empty()) {
        if (digits.back() == 10) {
            digits.pop_back();
            if (!path.empty()) path.pop_back();
            if (!digits.empty()) ++digits.back();
            continue;
        }
        path.resize(digits.size() - 1);
        path.push_back("u" + std::to_string(digits.back()));
        if (nyxOccPropSet::makeNode(set, nyxCodeViewOccProp, path, path.back(), e) == nullptr) return false;
        ++nodes;
        if (digits.size() < 5) digits.push_back(0);
        else ++digits.back();
    }
    return true;
}

void instanceNodeMemory(benchmark::State &state) {
    if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
    for (auto _ : state) {
        cfidrErrorT e = 0;
        nyxOccPropSet *set = nyxpi::object<nyxOccPropSet>(newSet("mem"));
        const long rss0 = residentBytes();
        long nodes = 0;
        if (!makeTree(set, nodes, &e)) return state.SkipWithError("making failed");
        const long rss = residentBytes() - rss0;
        state.counters["nodes"] = static_cast<double>(nodes);
        state.counters["rss_bytes_per_node"] = static_cast<double>(rss) / static_cast<double>(nodes);
        state.counters["heap_bytes_per_node"] =
            static_cast<double>(set->heap()->bytesInUse()) / static_cast<double>(nodes);
        cfidrPIQuit(&e);
    }
}

} // namespace

BENCHMARK(createNets)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(writeAndRead)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(xrefBuild)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(instanceNodeMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
