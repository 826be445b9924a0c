// The error window's line store under a corrupt replay: refused frames of 6..60 bytes as the
// window writes them ("Checksum Error:     81 21 ... 82 "), appended into the 32 MiB store.
// Reports lines per second and the memory per line held once the store is full.
#include "widgets/line_store.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

namespace {

std::vector<std::string> errorLines(size_t n) {
    std::vector<std::string> out;
    std::mt19937 rng(3);
    for (size_t i = 0; i < n; ++i) {
        std::string s = "Checksum Error:     ";
        size_t bytes = 6 + rng() % 55;
        for (size_t k = 0; k < bytes; ++k) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", unsigned(rng() & 0xFF));
            s += hex;
        }
        out.push_back(std::move(s));
    }
    return out;
}

void BM_AppendErrorLines(benchmark::State& state) {
    static const std::vector<std::string> lines = errorLines(4096);
    const size_t perIteration = size_t(state.range(0));
    vx::LineStore store;
    for (auto _ : state) {
        for (size_t i = 0; i < perIteration; ++i) store.append(lines[i & 4095]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(perIteration));
    state.counters["lines_held"] = double(store.size());
    state.counters["text_MB"] = double(store.textBytes()) / 1e6;
    state.counters["memory_MB"] = double(store.memoryBytes()) / 1e6;
    state.counters["bytes_per_line"] = double(store.memoryBytes()) / double(store.size());
    state.counters["text_per_line"] = double(store.textBytes()) / double(store.size());
}
BENCHMARK(BM_AppendErrorLines)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
