// Deframe + decode throughput over a generated receiver stream (5 Hz 46-byte reports, 1 Hz
// 18-, 28- and 7-byte reports, escaped bytes, 0.1 % corrupted frames), the path `vexor stats`
// and the receive worker take for every byte.
#include "link/framing.h"
#include "link/packet_decode.h"
#include "stream_gen.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const std::vector<uint8_t>& stream(size_t bytes) {
    static std::vector<uint8_t> data;
    if (data.size() < bytes) {
        data.clear();
        vxbench::StreamGenerator gen;
        gen.append(data, bytes);
    }
    return data;
}

void BM_DeframeOnly(benchmark::State& state) {
    const auto& data = stream(size_t(state.range(0)) << 20);
    uint8_t frame[vx::kRxBufferSize];
    for (auto _ : state) {
        vx::MemorySource src(data.data(), data.size());
        uint64_t frames = 0;
        uint16_t count;
        while (vx::PacketDeframer::readFrame(src, frame, count) != vx::kFrameEndOfStream) ++frames;
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void BM_DeframeDecode(benchmark::State& state) {
    const auto& data = stream(size_t(state.range(0)) << 20);
    auto area = std::make_unique<vx::RecordArea>();
    uint8_t frame[vx::kRxBufferSize];
    for (auto _ : state) {
        vx::MemorySource src(data.data(), data.size());
        uint64_t good = 0;
        uint16_t count;
        for (;;) {
            int r = vx::PacketDeframer::readFrame(src, frame, count);
            if (r == vx::kFrameEndOfStream) break;
            good += vx::decodeFrame(r, frame, count, *area).result == 0;
        }
        benchmark::DoNotOptimize(good);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

BENCHMARK(BM_DeframeOnly)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeframeDecode)->Arg(200)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
