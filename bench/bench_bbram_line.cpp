// The BBRAM save and uploads against the simulated receiver on a pseudo-terminal paced at the
// line's speed (38400 and 115200 baud): how long each takes beside the time its bytes need on
// the wire and the fixed pauses of the operation.
//
//     bench_bbram_line [--baud N]...
//
// For each operation it prints the wire time (every byte that crosses the line, both ways, at
// 10 bits a byte), the fixed pauses, the measured time and the ratio of (measured - pauses) to
// the wire time. The target is a ratio of at most 1.3; the exit status is 1 when one is over.
#include "flash/bbram_job.h"
#include "link/serial_monitor_link.h"
#include "sim/sim_runner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Quiet : vx::BbramEvents {
    std::string last;
    void status(const std::string& t) override { last = t; }
    void progress(int) override {}
    void led(bool) override {}
};

struct Operation {
    const char* name;
    vx::BbramOperation op;
    vx::BbramType type;
    size_t wireBytes; // both ways
    int64_t pausesMs; // fixed sleeps of the operation
};

// Bytes on the wire (both directions) of each operation on a 16 KiB region:
//   save:         0303 (5), its acknowledgement (7), 128 x (read request 11 + reply 134),
//                 restart (6)
//   RAM upload:   0303 (5), 128 x (write 134 + acknowledgement 1), restart (6)
//   flash upload: 0307 (5) and its acknowledgement (7), 0303 (5), 83 (6) + 06, 82 (10) + 06,
//                 8B (14), the image (16384), 06, restart (6)
const Operation kOperations[] = {
    {"RAM BBRAM save", vx::BbramOperation::Save, vx::BbramType::Ram, 5 + 7 + 128 * 145 + 6,
     1000 + 100 + 100},
    {"RAM BBRAM upload", vx::BbramOperation::Upload, vx::BbramType::Ram, 5 + 128 * 135 + 6,
     100 + 100 + 100 + 100},
    {"flash BBRAM upload", vx::BbramOperation::Upload, vx::BbramType::Flash,
     5 + 7 + 5 + 7 + 11 + 14 + 16384 + 1 + 6, 5000 + 1000 + 100 + 100},
};

} // namespace

int main(int argc, char** argv) {
    std::vector<int32_t> bauds;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--baud") bauds.push_back(int32_t(std::atoi(argv[i + 1])));
    if (bauds.empty()) bauds = {38400, 115200};
    const std::string image = "/tmp/bench_bbram_" + std::to_string(::getpid()) + ".img";

    bool allWithin = true;
    std::printf("%-19s %7s %9s %9s %11s %6s\n", "operation", "baud", "wire ms", "pauses",
                "measured", "ratio");
    for (int32_t baud : bauds) {
        vx::sim::SimRunnerOptions so;
        so.speed = 1;
        so.lineBaud = baud;
        vx::sim::SimRunner sim(so);
        std::string path;
        if (!sim.startOnPty(&path)) {
            std::fprintf(stderr, "bench_bbram_line: %s\n", sim.error().c_str());
            return 2;
        }
        sim.advance(vx::sim::SimReceiver::restartMs());
        vx::ComSlots slots;
        slots.setPath(0, path);
        vx::SerialLink link(slots);
        vx::LinkSettings settings;
        settings.baudRate = baud;
        if (link.startLink(settings) != 0) {
            std::fprintf(stderr, "bench_bbram_line: %s\n", link.lastError().c_str());
            return 2;
        }
        vx::SerialMonitorLink monitor(link);
        for (const Operation& op : kOperations) {
            vx::BbramOptions o;
            o.operation = op.op;
            o.type = op.type;
            o.path = image;
            o.baudRate = baud;
            Quiet events;
            const auto t0 = Clock::now();
            const vx::BbramResult r = vx::runBbramJob(monitor, o, events);
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            const double wire = double(op.wireBytes) * 10 * 1000 / baud;
            const double ratio = (ms - double(op.pausesMs)) / wire;
            const bool within = r.ok && ratio <= 1.3;
            allWithin &= within;
            std::printf("%-19s %7d %9.0f %9lld %11.0f %6.2f%s\n", op.name, int(baud), wire,
                        (long long)op.pausesMs, ms, ratio,
                        r.ok ? (within ? "" : "  over 1.3") : ("  failed: " + r.status).c_str());
            // The receiver restarts before the next operation (on the host's clock: a jump of
            // its clock would pile a second of reports onto the paced line at once).
            std::this_thread::sleep_for(
                std::chrono::milliseconds(vx::sim::SimReceiver::restartMs() + 1000));
            link.discardReceived();
        }
        link.stopLink();
        sim.stop();
    }
    std::remove(image.c_str());
    return allWithin ? 0 : 1;
}
