// Heaps and containers under the loads the library puts on them: small blocks allocated and freed
// in pairs, a million objects dropped with their heap, pointer arrays, id hashing and strings.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "utils/containers.h"

static void BM_SmallBlockPair(benchmark::State &state) {
    Hx_genheap heap("bench", 4096);
    size_t n = static_cast<size_t>(state.range(0));
    heap.freeBlock(heap.allocBlock(n), n);
    for (auto _ : state) {
        void *p = heap.allocBlock(n);
        benchmark::DoNotOptimize(p);
        heap.freeBlock(p, n);
    }
}
BENCHMARK(BM_SmallBlockPair)->Arg(16)->Arg(48)->Arg(264);

// A million objects of mixed small sizes from a fresh heap, then the whole heap dropped at once.
static void BM_MillionObjects(benchmark::State &state) {
    for (auto _ : state) {
        auto *heap = new Hx_genheap("NYX NetlistView Heap", 4096);
        for (int i = 0; i < 1000000; ++i) benchmark::DoNotOptimize(heap->allocBlock(24 + (i % 8) * 8));
        delete heap;
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_MillionObjects)->Unit(benchmark::kMillisecond);

// Churn: blocks freed in a scattered order and allocated again, with collection in between.
static void BM_Churn(benchmark::State &state) {
    Hx_genheap heap("churn", 4 * 4096);
    std::vector<void *> live(20000, nullptr);
    uint32_t x = 12345;
    for (auto _ : state) {
        x = x * 1103515245u + 12345u;
        size_t slot = (x >> 8) % live.size();
        size_t size = 16 + ((x >> 4) % 64) * 8;
        if (live[slot] != nullptr) heap.deallocate(live[slot]);
        live[slot] = heap.allocate(size);
    }
}
BENCHMARK(BM_Churn);

static void BM_DynArrayAddAndWalk(benchmark::State &state) {
    Hx_genheap heap("dyn", 4 * 4096);
    for (auto _ : state) {
        nyxDynArray a(&heap);
        for (intptr_t i = 0; i < 100000; ++i) a.add(reinterpret_cast<void *>(i));
        intptr_t sum = 0;
        for (int32_t i = 0; i < a.nitems(); ++i) sum += reinterpret_cast<intptr_t>(a[i]);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_DynArrayAddAndWalk);

static void BM_OIDHashAddFind(benchmark::State &state) {
    Hx_genheap heap("oid", 4 * 4096);
    for (auto _ : state) {
        nyxOIDHashTable t(&heap);
        for (uint32_t k = 1; k <= 100000; ++k) t.add_entry(k * 8, &heap);
        int found = 0;
        for (uint32_t k = 1; k <= 100000; ++k) found += t.find_entry(k * 8) != nullptr;
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_OIDHashAddFind);

static void BM_StringTabAdd(benchmark::State &state) {
    Hx_genheap heap("str", 4 * 4096);
    std::vector<std::string> names;
    for (int i = 0; i < 10000; ++i) names.push_back("net_" + std::to_string(i));
    for (auto _ : state) {
        nyxStringTab t(&heap, true, 4093, true);
        for (const std::string &n : names) t.addString(n.c_str());
        benchmark::DoNotOptimize(t.size());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_StringTabAdd);

BENCHMARK_MAIN();
