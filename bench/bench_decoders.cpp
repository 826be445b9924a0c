// Cost of decoding one packet into the record area, of taking a snapshot of the record, and of
// writing a record as JSON: the per-packet work of the receive worker and of `vexor decode`.
#include "link/decoders.h"
#include "link/record_format.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Packet {
    uint8_t code, subcode;
    std::vector<uint8_t> payload;
};

std::vector<uint8_t> randomBytes(size_t n, std::mt19937& rng) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

// The periodic mix of a receiver: five 3002 per 3201, 3101 and 3301.
std::vector<Packet> reportMix() {
    std::mt19937 rng(1);
    std::vector<Packet> mix;
    for (int i = 0; i < 5; ++i) mix.push_back({0x30, 0x02, randomBytes(46, rng)});
    mix.push_back({0x32, 0x01, randomBytes(18, rng)});
    mix.push_back({0x31, 0x01, randomBytes(28, rng)});
    mix.push_back({0x33, 0x01, randomBytes(7, rng)});
    return mix;
}

void decodeLoop(benchmark::State& state, const std::vector<Packet>& packets) {
    auto area = std::make_unique<vx::RecordArea>();
    size_t i = 0;
    for (auto _ : state) {
        const Packet& p = packets[i];
        vx::RecordKind kind;
        benchmark::DoNotOptimize(
            vx::decode(p.code, p.subcode, p.payload.data(), p.payload.size(), *area, &kind));
        benchmark::ClobberMemory();
        if (++i == packets.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_DecodeReportMix(benchmark::State& state) {
    decodeLoop(state, reportMix());
}
BENCHMARK(BM_DecodeReportMix);

// Decoders without a length check read through the zero-filled copy.
void BM_DecodeDiagnostics(benchmark::State& state) {
    std::mt19937 rng(2);
    decodeLoop(state, {{0x70, 0x02, randomBytes(85, rng)},
                       {0x70, 0x13, randomBytes(120, rng)},
                       {0x70, 0x15, randomBytes(99, rng)},
                       {0x36, 0x07, randomBytes(10, rng)}});
}
BENCHMARK(BM_DecodeDiagnostics);

// The allocating decoders, once the area's vectors have grown.
void BM_DecodeCustomerBlock(benchmark::State& state) {
    std::mt19937 rng(3);
    decodeLoop(state, {{0x15, 0x01, randomBytes(200, rng)}, {0x26, 0x03, randomBytes(12, rng)}});
}
BENCHMARK(BM_DecodeCustomerBlock);

void BM_SnapshotDrData(benchmark::State& state) {
    auto area = std::make_unique<vx::RecordArea>();
    auto packets = reportMix();
    vx::RecordKind kind;
    vx::decode(0x30, 0x02, packets[0].payload.data(), 46, *area, &kind);
    for (auto _ : state) {
        vx::RecordSnapshot s = vx::snapshot(*area, kind);
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SnapshotDrData);

void BM_JsonReportMix(benchmark::State& state) {
    auto area = std::make_unique<vx::RecordArea>();
    auto packets = reportMix();
    std::vector<vx::RecordKind> kinds;
    for (const auto& p : packets) {
        vx::RecordKind k;
        vx::decode(p.code, p.subcode, p.payload.data(), p.payload.size(), *area, &k);
        kinds.push_back(k);
    }
    std::string out;
    size_t i = 0;
    for (auto _ : state) {
        out.clear();
        vx::writeRecordJson(out, *area, kinds[i]);
        benchmark::DoNotOptimize(out.data());
        if (++i == kinds.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JsonReportMix);

} // namespace

BENCHMARK_MAIN();
