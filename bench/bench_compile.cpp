// Compile-on-open against the cold load of the same view from its stored file. A flat gate-level
// view of n instances (four leaf cells of three or four pins, 1.2 n nets, names u%07d and n%07d)
// is written as a compiler's answer (status, "#netlist", records) into the cell's "top.sch", and
// the rule "sch NONE" reads it when view "top" is opened: the whole compile path minus the child
// process. The same answer, compiled once and saved, gives the stored view of the cold load.
//
// Counters per open, processor time of the calling thread (the library's own work; no compiler
// process runs): compile_ms (cfidrPIOpenView compiling), load_ms (cfidrPIOpenView reading the
// stored file) and ratio = compile_ms / load_ms. Target: ratio <= 1.5.
//
//   build/<dir>/bench/bench_compile [--benchmark_filter=compileOnOpen/100000]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bench_measure.h"
#include "cfidr.h"
#include "nyx_protocol.h"

namespace {

using nyxbench::cpuNow;

bool writeBytes(const std::string &path, const std::string &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string numbered(char prefix, long i) {
    char name[32];
    std::snprintf(name, sizeof name, "%c%07ld", prefix, i);
    return name;
}

// The answer for view "top" of cell `cell` of library "blib": n instances, 1.2 n nets.
std::string answer(const std::string &cell, long n) {
    static const char *const kLeaves[] = {"inv", "nand2", "nor2", "aoi21"};
    nyxproto::Writer w;
    w.status(0);
    w.netlistFollows();
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("blib", cell, "top");
    const long nets = n + n / 5;
    for (long i = 0; i < nets; ++i) w.netScalar(numbered('n', i));
    w.portScalar("in", 1, 0);
    w.portScalar("out", 2, static_cast<int32_t>(nets - 1));
    for (int k = 0; k < 4; ++k) {
        const int pins = k == 0 ? 2 : k == 3 ? 4 : 3;
        w.footprint("cells", kLeaves[k], "netlist", pins);
        static const char *const kPins[] = {"A", "B", "C", "Y"};
        for (int p = 0; p < pins - 1; ++p) w.fpPortScalar(kPins[p], 1);
        w.fpPortScalar("Y", 2);
    }
    for (long i = 0; i < n; ++i) {
        const int k = static_cast<int>(i % 4);
        const int pins = k == 0 ? 2 : k == 3 ? 4 : 3;
        w.instance(k, numbered('u', i));
        for (int p = 0; p < pins; ++p) w.portInstScalar(static_cast<int32_t>((i * 7 + p * 13) % nets));
    }
    w.netlistViewEnd();
    w.viewRecordEnd("top.v");
    w.streamEnd();
    return w.take();
}

long instances(cfiOID view) {
    cfidrErrorT e = 0;
    long count = 0;
    cfidrIterT it = cfidrNetlistViewGetInsts(view, &e);
    while (cfidrIterNextInst(it, &e).object != 0) ++count;
    cfidrIterQuit(it, &e);
    return count;
}

// Library "blib" with cells "comp" (its "top.sch" compiles on every open) and "stored" (view
// "top" compiled once from the same answer and saved; the source removed).
bool makeLibrary(long n) {
    setenv("ZIL_NYX_LIBRARYMAP", ".", 1);
    setenv("ZIL_LOCATION_MAP", "NO_MAP", 1);
    if (!nyxbench::enterScratchDirectory("compile")) return false;
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr) return false;
    setenv("ZIL_NYX_COMPILER_RULES", (std::string(here) + "/rules").c_str(), 1);
    if (!writeBytes("rules", "sch NONE\n")) return false;
    std::error_code ignored;
    std::filesystem::remove_all("blib", ignored);
    if (mkdir("blib", 0777) != 0 || mkdir("blib/comp", 0777) != 0 || mkdir("blib/stored", 0777) != 0) return false;
    if (!writeBytes("blib/comp/top.sch", answer("comp", n)) || !writeBytes("blib/stored/top.sch", answer("stored", n))) {
        return false;
    }
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfiOID view = cfidrPIOpenView("blib", "stored", "top", cfidrUpdateMode, &e);
    if (e == 0) cfidrLibSave(cfidrCellGetOwner(cfidrViewGetOwner(view, &e), &e), &e);
    const bool good = e == 0 && instances(view) == n;
    cfidrPIQuit(&e);
    return good && std::remove("blib/stored/top.sch") == 0;
}

// Processor time of one cfidrPIOpenView of view "top" of `cell` in a fresh session, in ns; -1
// when the view did not open whole.
double timedOpen(const char *cell, long n) {
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    const double start = cpuNow();
    cfiOID view = cfidrPIOpenView("blib", cell, "top", cfidrReadMode, &e);
    const double spent = cpuNow() - start;
    const bool whole = e == 0 && instances(view) == n;
    cfidrPIQuit(&e);
    return whole ? spent : -1;
}

void compileOnOpen(benchmark::State &state) {
    const long n = state.range(0);
    if (!makeLibrary(n)) return state.SkipWithError("cannot make the library");
    double compileNs = 0, loadNs = 0;
    for (auto _ : state) {
        const double compiled = timedOpen("comp", n);
        const double loaded = timedOpen("stored", n);
        if (compiled < 0 || loaded < 0) return state.SkipWithError("open failed");
        compileNs += compiled;
        loadNs += loaded;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["compile_ms"] = compileNs / runs / 1e6;
    state.counters["load_ms"] = loadNs / runs / 1e6;
    state.counters["ratio"] = compileNs / loadNs;
}

} // namespace

BENCHMARK(compileOnOpen)->Arg(100000)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
