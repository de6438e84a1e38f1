// Decoding a compiler's record stream from memory: a view of net scalars (and buses whose members
// name them by reference), as a compiler of a flat netlist sends it.
//   memcpyBaseline    copying the same bytes: what memory bandwidth allows
//   decodePrimitives  the stream's primitives over the whole view, nothing built
//   readNets          the record reader building the view's nets in a session
// Throughput is in bytes of the stream per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_measure.h"
#include "cfidr.h"
#include "compiler/netreader.h"
#include "nyx_protocol.h"

namespace {

// A view of `nets` net scalars named "n<i>", then one 32-bit bus per 32 nets naming them.
std::string netsStream(int32_t nets) {
    nyxproto::Writer w;
    w.streamStart();
    w.viewRecordStart();
    w.netlistViewStart("B", "c", "v");
    for (int32_t i = 0; i < nets; ++i) w.netScalar("n" + std::to_string(i));
    for (int32_t i = 0; i + 32 <= nets; i += 32) {
        w.netBus("bus" + std::to_string(i), 31, 0);
        w.netMembers(32);
        for (int32_t k = 0; k < 32; ++k) w.netRef(i + k);
    }
    w.netlistViewEnd();
    w.viewRecordEnd();
    w.streamEnd();
    return w.take();
}

void memcpyBaseline(benchmark::State &state) {
    const std::string bytes = netsStream(static_cast<int32_t>(state.range(0)));
    std::vector<char> to(bytes.size());
    for (auto _ : state) {
        std::memcpy(to.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

// The net records' grammar with the stream's primitives, every value consumed and nothing built.
bool decodeNet(nyxCompilerStream &in, size_t &nameBytes) {
    if (in.readInt() != 0) {
        in.readInt();
        return in.good();
    }
    const int32_t type = in.readObjType();
    nameBytes += in.readString().size();
    if (type == 11) {
        in.readInt();
        in.readInt();
    } else if (type == 12) {
        in.readInt();
    }
    uint8_t t = in.readType();
    if (t != 0) in.pushbackType(t);
    if (type == 12) return in.good();
    in.readType();
    const int32_t n = in.readInt();
    for (int32_t i = 0; i < n && in.good(); ++i) {
        in.readType();
        decodeNet(in, nameBytes);
    }
    return in.good();
}

void decodePrimitives(benchmark::State &state) {
    const std::string bytes = netsStream(static_cast<int32_t>(state.range(0)));
    size_t nameBytes = 0;
    for (auto _ : state) {
        nyxCompilerStream in(bytes.data(), bytes.size());
        in.readChar();
        in.readString();
        in.readChar();
        in.readString();
        in.readString();
        in.readChar();
        in.readChar();
        for (int k = 0; k < 4; ++k) in.readString();
        for (int k = 0; k < 3; ++k) in.readInt();
        for (uint8_t t = in.readType(); t == 3 && in.good(); t = in.readType()) decodeNet(in, nameBytes);
        in.readChar();
        in.readString();
        if (in.readChar() != 'Q' || !in.good()) state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(nameBytes);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void readNets(benchmark::State &state) {
    const std::string bytes = netsStream(static_cast<int32_t>(state.range(0)));
    if (!nyxbench::enterScratchDirectory("protocol")) state.SkipWithError("no scratch directory");
    cfidrErrorT e = 0;
    cfidrPIInit(&e);
    for (auto _ : state) {
        nyxCompilerStream in(bytes.data(), bytes.size());
        nyxCompilerNetlist reader(in, false);
        if (reader.read() != 0) state.SkipWithError("read failed");
        state.PauseTiming();
        cfidrLibPurge(cfidrPIFindLibByName("B", &e), &e);
        state.ResumeTiming();
    }
    cfidrPIQuit(&e);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    state.counters["nets/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(state.range(0)),
                                                  benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(memcpyBaseline)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(decodePrimitives)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(readNets)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
