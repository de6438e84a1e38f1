// Compiler exchanges: the round trip of a one-instance view through a running compiler, the cost
// of starting a compiler (spawn to its first answer), and as baseline the same bytes through a
// bare pipe round trip with `cat`.
//
// The compiler is this program itself: started with NYX_BENCH_ROLE=compiler it answers every
// "#view" with the canned one-instance view and ends at "#quit".
//
//   ./build/default/bench/bench_compiler
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "../compilers/common/nyx_protocol.h"
#include "bench_measure.h"
#include "cfidr.h"
#include "compiler/compiler.h"
#include "compiler/process.h"

namespace {

// The answer: status, an empty message block, and a netlist view holding one instance of a
// one-port leaf, its port instance on the view's one net, and the view's port on that net.
std::string oneInstanceAnswer() {
    nyxproto::Writer w;
    w.status(0);
    w.messages({});
    w.netlistFollows();
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("L", "top", "V");
    int32_t net = w.netScalar("n1");
    w.footprint("L", "leaf", "V", 1);
    w.fpPortScalar("a", 1);
    w.portScalar("p", 1, net);
    w.instance(0, "i1");
    w.portInstScalar(net);
    w.netlistViewEnd();
    w.viewRecordEnd("bench");
    w.streamEnd();
    return w.take();
}

const char kCommands[] = "#reset\n#lib L\n#cell top\n#view V\n";

int compilerMain() {
    const std::string answer = oneInstanceAnswer();
    char line[1024];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        if (std::strcmp(line, "#quit\n") == 0) return 0;
        if (std::strncmp(line, "#view ", 6) != 0) continue;
        std::fwrite(answer.data(), 1, answer.size(), stdout);
        std::fflush(stdout);
    }
    return 0;
}

nyxCompilerRule selfRule() {
    nyxCompilerRule rule;
    rule.viewType = "bench";
    rule.compiler = "/proc/self/exe";
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) rule.compiler.assign(path, size_t(n));
    return rule;
}

void startSession() {
    nyxbench::enterScratchDirectory("compiler");
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    cfidrPICreateLib("L", &e);
}

void BM_ExchangeOneInstanceView(benchmark::State &state) {
    startSession();
    nyxCompilerRule rule = selfRule();
    if (nyxCompilerIntf::startCompiler(&rule, nullptr) != 0) {
        state.SkipWithError("compiler did not start");
        return;
    }
    for (auto _ : state) {
        cfidrErrorT e = 0;
        nyxObjRef view = nyxCompilerIntf::compileNetlistView(&rule, nullptr, "L", "top", "V", &e);
        if (e != 0 || view.obj == nullptr) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    nyxCompilerIntf::stopAllCompilers();
    cfidrErrorT e = 0;
    cfidrPIQuit(&e);
}
BENCHMARK(BM_ExchangeOneInstanceView)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Spawn to the first line of the compiler's first answer; the stop is not timed.
void BM_CompilerStart(benchmark::State &state) {
    nyxCompilerRule rule = selfRule();
    for (auto _ : state) {
        if (nyxCompilerIntf::startCompiler(&rule, nullptr) != 0) {
            state.SkipWithError("compiler did not start");
            break;
        }
        std::string line;
        nyxCompilerProcs::writeAll(rule.proc, kCommands, sizeof kCommands - 1, 10);
        if (!rule.proc->stream->readLine(line)) {
            state.SkipWithError("no answer");
            break;
        }
        state.PauseTiming();
        nyxCompilerProcs::stop(rule.proc);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CompilerStart)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Baseline: the command bytes and the answer bytes written to `cat` and read back whole.
void BM_BarePipeRoundTrip(benchmark::State &state) {
    nyxCompilerRule rule;
    rule.viewType = "cat";
    rule.compiler = "/bin/cat";
    if (nyxCompilerIntf::startCompiler(&rule, nullptr) != 0) {
        state.SkipWithError("cat did not start");
        return;
    }
    const std::string bytes = kCommands + oneInstanceAnswer();
    char buf[4096];
    for (auto _ : state) {
        nyxCompilerProcs::writeAll(rule.proc, bytes.data(), bytes.size(), 10);
        size_t got = 0;
        while (got < bytes.size()) {
            ssize_t n = ::read(rule.proc->fromFd, buf, sizeof buf);
            if (n <= 0) break;
            got += size_t(n);
        }
        if (got != bytes.size()) {
            state.SkipWithError("short read");
            break;
        }
    }
    state.counters["bytes"] = double(bytes.size());
    nyxCompilerProcs::stop(rule.proc);
}
BENCHMARK(BM_BarePipeRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    const char *role = std::getenv("NYX_BENCH_ROLE");
    if (role != nullptr && std::strcmp(role, "compiler") == 0) return compilerMain();
    setenv("NYX_BENCH_ROLE", "compiler", 1);  // for the compilers this program starts
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
