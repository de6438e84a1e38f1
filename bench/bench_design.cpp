// A generated design through the exported interface: 10 leaf cells, each with 8 port scalars
// and one 16-bit port bus; one view with 1e5 instances of them (round robin), 2e5 net scalars,
// every port instance scalar attached to a net (the bus members bit by bit, as scalars), and two
// properties (an integer and a string) on each instance. The build runs once with the
// interface's checks on and once in trusted program mode; the checked view is then saved, purged
// and loaded again by a touch.
//
// Counters, per instance: build_ns (nets, instances, attaches, properties), save_ns, load_ns
// (purge, then find the view and count its instances), file_bytes, and rss_bytes (growth of the
// resident set over the load). load_vs_trusted_build is the load time over the trusted build
// time of the same view (target at most 1.5); save_vs_load the save time over the load time
// (target at most 1).
//
//   build/<dir>/bench/bench_design
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "nyxdr.h"

namespace {

constexpr int kLeaves = 10;
constexpr int kInsts = 100000;
constexpr int kNets = 200000;
constexpr int kScalarsPerInst = 8 + 16;

using nyxbench::cpuNow;
using nyxbench::residentBytes;

// A fresh directory of our own for the library (the current directory's libraries are used).
bool enterScratchDirectory() {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    return nyxbench::enterScratchDirectory("design");
}

void removeTree(const char *path) {
    std::string command = std::string("rm -rf '") + path + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path);
}

struct Design {
    cfiOID lib{}, cell{}, view{};
};

// Builds the design in a new library `libName`; false when a call failed.
bool build(const char *libName, Design &d) {
    cfidrErrorT e = 0;
    d.lib = cfidrPICreateLib(libName, &e);
    std::vector<cfiOID> leaves;
    char name[32];
    for (int k = 0; k < kLeaves; ++k) {
        std::snprintf(name, sizeof name, "leaf%d", k);
        cfiOID c = cfidrLibCreateCell(d.lib, name, &e);
        cfiOID v = cfidrCellCreateNetlistView(c, "netlist", &e);
        for (int p = 0; p < 8; ++p) {
            std::snprintf(name, sizeof name, "p%d", p);
            cfidrNetlistViewCreatePortScalar(v, name, -1, p % 3 + 1, &e);
        }
        cfiOID bus = cfidrNetlistViewCreatePortBus(v, "d", -1, 15, -1, &e);
        for (int b = 0; b < 16; ++b) {
            std::snprintf(name, sizeof name, "d%d", 15 - b);
            cfidrPortBundleCreatePortScalar(bus, name, -1, cfidrInputDirection, &e);
        }
        leaves.push_back(v);
    }
    d.cell = cfidrLibCreateCell(d.lib, "top", &e);
    d.view = cfidrCellCreateNetlistView(d.cell, "netlist", &e);
    if (e != 0) return false;

    std::vector<cfiOID> nets(kNets);
    for (int i = 0; i < kNets; ++i) {
        std::snprintf(name, sizeof name, "n%d", i);
        nets[static_cast<size_t>(i)] = cfidrNetlistViewCreateNetScalar(d.view, name, &e);
    }
    if (e != 0) return false;
    for (int i = 0; i < kInsts; ++i) {
        std::snprintf(name, sizeof name, "u%d", i);
        cfiOID inst = cfidrNetlistViewCreateInst(d.view, leaves[static_cast<size_t>(i % kLeaves)], name, &e);
        // Port instance scalars at every depth, in pre-order: p0..p7, then the bus members.
        cfidrIterT it = cfidrInstGetPortInsts(inst, cfidrScalarIterMode, &e);
        int k = 0;
        for (cfiOID pi = cfidrIterNextPortInst(it, &e); pi.object != 0; pi = cfidrIterNextPortInst(it, &e), ++k) {
            const size_t net = (static_cast<size_t>(i) * kScalarsPerInst + static_cast<size_t>(k)) % kNets;
            cfidrNetAttachPortInst(nets[net], pi, cfidrPositionAttachMode, &e);
        }
        cfidrIterQuit(it, &e);
        cfidrPropSetInt32Value(cfidrObjectCreateProp(inst, "weight", &e), i, &e);
        cfidrPropSetStringValue(cfidrObjectCreateProp(inst, "tag", &e), "cell", &e);
        if (e != 0 || k != kScalarsPerInst) return false;
    }
    return true;
}

void design(benchmark::State &state) {
    for (auto _ : state) {
        if (!enterScratchDirectory()) return state.SkipWithError("no scratch directory");
        cfidrErrorT e = 0;
        cfidrPIInit(&e);

        // The trusted build, dropped again without saving.
        Design trusted;
        nyxdrPISetTrustedProgramMode(1, &e);
        double t0 = cpuNow();
        if (!build("trustedlib", trusted)) return state.SkipWithError("trusted build failed");
        const double trustedNs = cpuNow() - t0;
        nyxdrPISetTrustedProgramMode(0, &e);
        cfidrLibPurge(trusted.lib, &e);

        Design d;
        t0 = cpuNow();
        if (!build("designlib", d)) return state.SkipWithError("checked build failed");
        const double buildNs = cpuNow() - t0;
        cfidrLibSave(d.lib, &e);
        // The library save wrote the view already: change it so that the timed save writes again.
        cfiOID tmp = cfidrNetlistViewCreateNetScalar(d.view, "tmp", &e);
        cfidrObjectDestroy(tmp, &e);
        t0 = cpuNow();
        cfidrViewSave(d.view, &e);
        const double saveNs = cpuNow() - t0;
        if (e != 0) return state.SkipWithError("save failed");

        cfidrViewPurge(d.view, &e);
        const long rss0 = residentBytes();
        t0 = cpuNow();
        cfiOID again = cfidrCellFindViewByName(d.cell, "netlist", &e);
        const int32_t count = nyxdrNetlistViewGetInstCount(again, &e);
        const double loadNs = cpuNow() - t0;
        const long rss = residentBytes() - rss0;
        if (e != 0 || count < kInsts) return state.SkipWithError("load failed");

        struct stat st {};
        const std::string file = "designlib/top/netlist.nyxNetlistView";
        const long bytes = stat(file.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;

        state.counters["trusted_build_ns"] = trustedNs / kInsts;
        state.counters["build_ns"] = buildNs / kInsts;
        state.counters["save_ns"] = saveNs / kInsts;
        state.counters["load_ns"] = loadNs / kInsts;
        state.counters["file_bytes"] = static_cast<double>(bytes) / kInsts;
        state.counters["rss_bytes"] = static_cast<double>(rss) / kInsts;
        state.counters["load_vs_trusted_build"] = loadNs / trustedNs;
        state.counters["save_vs_load"] = saveNs / loadNs;
        cfidrPIQuit(&e);
        removeTree("designlib");
        removeTree("trustedlib");
    }
}

} // namespace

BENCHMARK(design)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
