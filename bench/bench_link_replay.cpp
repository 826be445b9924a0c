// The receive path of the console in replay mode: the serial link reading a 200 MB generated
// recording with replay delay 0, the receive worker (deframe, decode, record copy, routing
// steps), the hand-over queue and the consumer running every step against counting handlers
// (every window shown, created and running). Also the CPU an idle open port costs.
//
// The stream is the one `bench/stats_throughput.sh` uses ($STREAM, default
// /tmp/ornivex-bench-200mb.vxr); it is generated when missing.
#include "link/receive_worker.h"
#include "stream_gen.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

std::string streamPath() {
    const char* env = std::getenv("STREAM");
    return env && *env ? env : "/tmp/ornivex-bench-200mb.vxr";
}

// Makes sure the 200 MB stream exists; returns its size.
uint64_t ensureStream(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size > 0) return uint64_t(st.st_size);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    vxbench::StreamGenerator gen;
    std::vector<uint8_t> chunk;
    uint64_t written = 0;
    while (written < 200'000'000) {
        chunk.clear();
        gen.append(chunk, 1 << 20);
        written += std::fwrite(chunk.data(), 1, chunk.size(), f);
    }
    std::fclose(f);
    return written;
}

class AllWindows : public vx::WindowRegistry {
public:
    bool visible(vx::WindowId) const override { return true; }
    bool exists(vx::WindowId) const override { return true; }
    bool running(vx::WindowId) const override { return true; }
};

// A raw tap like the console's two (raw data view, logging): counts the chunks.
class CountingTap : public vx::RawTap {
public:
    void rawChunk(const uint8_t*, size_t n, uint8_t) override {
        ++chunks;
        bytes += n;
    }
    uint64_t chunks = 0, bytes = 0;
};

void BM_LinkReplay(benchmark::State& state) {
    const std::string path = streamPath();
    const uint64_t size = ensureStream(path);
    if (size == 0) {
        state.SkipWithError("cannot write the stream");
        return;
    }
    uint64_t packets = 0, calls = 0;
    for (auto _ : state) {
        vx::HandoverQueue queue;
        vx::MonitorFlags flags;
        vx::ReceiveWorker worker(queue, &flags);
        AllWindows registry;
        vx::HandlerTable handlers;
        uint64_t handled = 0;
        for (size_t w = 0; w < vx::kWindowCount; ++w)
            for (size_t r = 0; r < vx::kRoleCount; ++r)
                handlers.set(vx::WindowId(w), vx::HandlerRole(r),
                             [&handled](const vx::Delivery&, const vx::RouteStep&) { ++handled; });
        vx::DeliveryConsumer consumer(queue, registry, handlers);
        CountingTap tap;
        vx::ComSlots slots;
        vx::SerialLink link(slots);
        link.setReader(&worker);
        link.addRawTap(&tap);
        vx::LinkSettings s;
        s.replay = true;
        s.portIndex = vx::kReplayPortIndex;
        s.fileName = path;
        if (link.startLink(s) != 0) {
            state.SkipWithError(link.lastError().c_str());
            return;
        }
        for (;;) {
            if (consumer.waitForDeliveries(std::chrono::milliseconds(20))) consumer.drain(4096);
            if (link.idleAtEnd() && queue.empty()) break;
        }
        link.stopLink();
        if (link.bytesReceived() != size || tap.bytes != size)
            state.SkipWithError("not every byte went through");
        packets += consumer.delivered();
        calls += handled;
    }
    state.SetBytesProcessed(int64_t(size) * state.iterations());
    state.counters["packets/s"] = benchmark::Counter(double(packets), benchmark::Counter::kIsRate);
    state.counters["handler calls/packet"] = double(calls) / double(packets ? packets : 1);
}
BENCHMARK(BM_LinkReplay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// CPU used by the whole process while a port is open and silent (the worker waiting in
// poll), over two seconds, as a share of one core.
void BM_IdleOpenPortCpu(benchmark::State& state) {
    int master = -1, slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    vx::HandoverQueue queue;
    vx::ReceiveWorker worker(queue);
    vx::ComSlots slots;
    slots.setPath(0, name);
    vx::SerialLink link(slots);
    link.setReader(&worker);
    if (link.startLink(vx::LinkSettings{}) != 0) {
        state.SkipWithError(link.lastError().c_str());
        return;
    }
    auto cpu = [] {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    double share = 0;
    for (auto _ : state) {
        double c0 = cpu();
        auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        share = (cpu() - c0) / wall * 100.0;
    }
    link.stopLink();
    ::close(master);
    ::close(slave);
    state.counters["cpu % of a core"] = share;
}
BENCHMARK(BM_IdleOpenPortCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
