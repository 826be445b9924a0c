// The core's deframe + decode rate as a ratio against plain deframers measured in the same run,
// so that the figure can be checked on any machine, loaded or not. In interleaved rounds (ours,
// the reference with its fast path, the reference without, again and again) over the same
// generated stream in memory; the ratio of each round is taken, and the median printed with the
// machine's core count and load average.
//
// usage: bench_core_ratio [MEGABYTES] [ROUNDS]     (200 and 7 when not given)
#include "cli/stream_stats.h"
#include "link/framing.h"
#include "link/packet_decode.h"
#include "reference_deframer.h"
#include "stream_gen.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

double seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string loadAverage() {
    std::ifstream f("/proc/loadavg");
    std::string one, five;
    f >> one >> five;
    return one.empty() ? "unknown" : one + " " + five;
}

} // namespace

int main(int argc, char** argv) {
    const size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    std::vector<uint8_t> data;
    vxbench::StreamGenerator gen;
    gen.append(data, mb << 20);
    const double megabytes = double(data.size()) / 1e6;

    auto area = std::make_unique<vx::RecordArea>();
    auto ref = std::make_unique<vxbench::ReferenceCounts>();
    std::vector<double> ours, worker, fast, plain, vsFast, vsPlain;
    uint64_t oursGood = 0, refGood = 0;
    for (int r = 0; r < rounds; ++r) {
        auto stats = std::make_unique<vx::cli::StreamStats>();
        auto t0 = std::chrono::steady_clock::now();
        vx::MemorySource src(data.data(), data.size());
        vx::cli::countStream(src, *area, *stats);
        const double a = megabytes / seconds(t0);
        oursGood = stats->good;

        // The receive worker's byte-by-byte deframer with the same decoding, for comparison.
        t0 = std::chrono::steady_clock::now();
        {
            vx::MemorySource bytewise(data.data(), data.size());
            uint8_t frame[vx::kRxBufferSize];
            uint64_t good = 0;
            for (;;) {
                uint16_t count = 0;
                const int res = vx::PacketDeframer::readFrame(bytewise, frame, count);
                if (res == vx::kFrameEndOfStream) break;
                good += vx::decodeFrame(res, frame, count, *area).result == 0;
            }
            if (good != oursGood) oursGood = ~uint64_t(0); // the two deframers disagree
        }
        worker.push_back(megabytes / seconds(t0));

        *ref = {};
        t0 = std::chrono::steady_clock::now();
        vxbench::referenceDeframe<true>(data.data(), data.size(), *ref);
        const double b = megabytes / seconds(t0);
        refGood = ref->good;

        *ref = {};
        t0 = std::chrono::steady_clock::now();
        vxbench::referenceDeframe<false>(data.data(), data.size(), *ref);
        const double c = megabytes / seconds(t0);

        ours.push_back(a);
        fast.push_back(b);
        plain.push_back(c);
        vsFast.push_back(a / b);
        vsPlain.push_back(a / c);
    }
    std::printf("deframe + decode of a %.0f MB generated stream in memory, %d interleaved rounds, "
                "%u cores, load average %s\n",
                megabytes, rounds, std::thread::hardware_concurrency(), loadAverage().c_str());
    std::printf("  core (vexor stats' loop)           median %6.0f MB/s\n", median(ours));
    std::printf("  core, byte-by-byte deframer        median %6.0f MB/s\n", median(worker));
    std::printf("  plain deframer with its fast path  median %6.0f MB/s\n", median(fast));
    std::printf("  plain deframer, byte by byte       median %6.0f MB/s\n", median(plain));
    std::printf("  ratio core / fast-path deframer    median %.2fx (goal 1.2x)\n", median(vsFast));
    std::printf("  ratio core / byte-by-byte deframer median %.2fx\n", median(vsPlain));
    if (oursGood != refGood) {
        // The two count the same stream: a difference means one of them cuts frames wrongly.
        std::printf("  the core counted %llu good frames, the reference %llu\n",
                    (unsigned long long)oursGood, (unsigned long long)refGood);
        return 1;
    }
    return 0;
}
