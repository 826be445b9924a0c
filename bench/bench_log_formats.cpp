// Cost of one data-log line: a 5 Hz line of a 3002 report, a 1 Hz part of a 3101 report, and
// the all-bytes and binary-frame handling of a block of received bytes.
#include "app/data_log.h"
#include "app/log_formats.h"
#include "link/decoders.h"

#include "stream_gen.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Records of random payloads. Many of them: with a few dozen, the processor would learn the
// branches of each number's length, which it cannot on a real stream.
template <class Record>
std::vector<Record> randomRecords(uint8_t code, uint8_t sub, size_t len,
                                  Record vx::RecordArea::*member, int count = 64) {
    std::mt19937 rng(1);
    auto area = std::make_unique<vx::RecordArea>();
    std::vector<Record> out;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> p(len);
        for (auto& b : p) b = uint8_t(rng());
        vx::decode(code, sub, p.data(), p.size(), *area);
        out.push_back((*area).*member);
    }
    return out;
}

// 5 Hz lines of 65,536 different reports into one buffer, as `vexor log` builds a batch.
void FastFixLine(benchmark::State& state) {
    constexpr size_t kRecords = 65536;
    auto recs = randomRecords(0x30, 0x02, 46, &vx::RecordArea::dr_data, int(kRecords));
    std::vector<char> buf(4096 * (vx::kFastFixLineMaxChars + 2) + vx::kFastFixLineRoom);
    size_t i = 0, bytes = 0;
    for (auto _ : state) {
        char* p = buf.data();
        for (int n = 0; n < 4096; ++n) {
            p = vx::putFastFixLogLine(p, recs[i++ & (kRecords - 1)]);
            *p++ = '\r';
            *p++ = '\n';
        }
        bytes += size_t(p - buf.data());
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 4096);
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(FastFixLine);

void Fix3101Part(benchmark::State& state) {
    auto recs = randomRecords(0x31, 0x01, 28, &vx::RecordArea::gps_fix);
    std::string line;
    size_t i = 0;
    for (auto _ : state) {
        line.clear();
        vx::appendFix3101Part(line, recs[i++ & 63]);
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Fix3101Part);

// The raw side of a logger with the three binary logs on, writing to /dev/null.
void RawBytesAllBinaryLogs(benchmark::State& state) {
    std::vector<uint8_t> stream;
    vxbench::StreamGenerator gen;
    gen.append(stream, 1 << 20);
    vx::DataLogger log;
    std::string err;
    log.start(vx::LogKind::AllBytes, "/dev/null", err);
    log.start(vx::LogKind::FiveHzBinary, "/dev/null", err);
    log.start(vx::LogKind::OneHzBinary, "/dev/null", err, {true, true, true, true});
    for (auto _ : state) {
        for (size_t at = 0; at < stream.size(); at += 60)
            log.rawBytes(stream.data() + at, std::min<size_t>(60, stream.size() - at));
    }
    state.SetBytesProcessed(int64_t(state.iterations() * stream.size()));
}
BENCHMARK(RawBytesAllBinaryLogs);

} // namespace

BENCHMARK_MAIN();
