// vexor monitor --port PATH ...   and   vexor stats --link FILE
//
// Both run the console's own receive path: the serial link (a port, or a replay file), the
// receive worker, the hand-over queue and the routing consumer. `monitor` prints each
// delivered packet exactly as `vexor decode` prints a frame; `stats --link` counts what the
// consumer delivers, with a handler registered for every window, so that its counts can be
// compared with plain `vexor stats` frame for frame.
#include "cli/cli.h"
#include "cli/packet_line.h"
#include "cli/stream_stats.h"
#include "link/link_texts.h"
#include "link/receive_worker.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace vx::cli {

namespace {

const char* kMonitorHelp =
    "usage: vexor monitor --port PATH [--baud N] [--parity none|odd|even] [--json]\n"
    "                     [--duration S]\n"
    "\n"
    "Opens a serial port (any device path: /dev/ttyUSB0, /dev/ttyS0, a pseudo-terminal)\n"
    "through the console's serial link, runs its receive worker, and prints one line per\n"
    "received frame, in exactly the format of 'vexor decode' (refused frames included).\n"
    "\n"
    "  --port PATH      the device (required)\n"
    "  --baud N         4800, 9600, 19200, 38400 (default) or 115200\n"
    "  --parity P       none (default), odd or even; 8 data bits and one stop bit always\n"
    "  --json           one JSON object per frame, as 'vexor decode --json'\n"
    "  --duration S     stop after S seconds (default: until Ctrl-C)\n"
    "\n"
    "Ctrl-C (or SIGTERM) stops the link cleanly. The port is used exclusively while it runs.\n"
    "A frame cut short when the run ends is printed as 'vexor decode' prints one at the end\n"
    "of a stream.\n"
    "\n"
    "Exit status 1: the port cannot be opened, or its device went away while monitoring\n"
    "(unplugged, the other side closed); the reason is printed in one line. 2: usage error.\n";

// Every window shown, created and running: every step of every packet runs.
class AllWindows : public WindowRegistry {
public:
    bool visible(WindowId) const override { return true; }
    bool exists(WindowId) const override { return true; }
    bool running(WindowId) const override { return true; }
};

// The link names the port by its COM slot ("COM1 (/dev/ttyUSB0): ..."); on the command line
// the path alone is clearer: "PATH: reason", the path shortened as the link shortens it.
std::string pathAndReason(const std::string& path, const std::string& reason) {
    return displayPath(path) + ": " + reason;
}

bool writeOut(std::string& out) {
    if (out.empty()) return true;
    bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    out.clear();
    return ok && std::fflush(stdout) == 0;
}

} // namespace

int cmdMonitor(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kMonitorHelp, stdout);
        return kExitOk;
    }
    std::string port;
    LinkSettings settings; // slot 0, 38400 baud, 8-None-1
    bool json = false;
    double duration = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--port") {
            port = value();
        } else if (a == "--baud") {
            settings.baudRate = parseBaud(value());
        } else if (a == "--parity") {
            settings.parity = parseParity(value());
        } else if (a == "--json") {
            json = true;
        } else if (a == "--duration") {
            duration = parseNumber(value(), "duration", 0.001, 1e9);
        } else {
            throw UsageError("unknown argument '" + a + "'");
        }
    }
    if (port.empty()) throw UsageError("no port given (--port PATH)");

    ComSlots slots;
    slots.setPath(0, port);
    HandoverQueue queue;
    ReceiveWorker worker(queue);
    NoWindows registry;
    HandlerTable handlers;
    DeliveryConsumer consumer(queue, registry, handlers);
    auto area = std::make_unique<RecordArea>();
    std::string out;
    consumer.setObserver([&](const Delivery& d) { appendDeliveryLine(out, d, *area, json); });

    StopSignals signals;
    SerialLink link(slots);
    link.setReader(&worker);
    if (link.startLink(settings) != 0) {
        std::fprintf(stderr, "vexor monitor: %s\n",
                     pathAndReason(port, link.lastErrorReason()).c_str());
        return kExitFailure;
    }
    static const char* parityNames[] = {"None", "Odd", "Even"};
    std::fprintf(stderr, "vexor monitor: reading %s (%d-8-%s-1); Ctrl-C stops\n", port.c_str(),
                 int(settings.baudRate), parityNames[settings.parity]);

    using clock = std::chrono::steady_clock;
    auto end = clock::now() +
               std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(duration));
    bool outputOk = true;
    while (!StopSignals::requested() && outputOk && !link.lost() &&
           (duration == 0 || clock::now() < end)) {
        if (consumer.waitForDeliveries(std::chrono::milliseconds(50))) consumer.drain(1024);
        outputOk = writeOut(out);
    }
    link.stopLink();
    // Frames the worker delivered before the stop are still printed, and a frame it had
    // begun, as decode prints one cut short by the end of a file.
    while (outputOk && consumer.drain(1024)) outputOk = writeOut(out);
    std::vector<uint8_t> unfinished = worker.unfinishedFrame();
    if (!unfinished.empty()) {
        if (json) {
            appendIncompleteJsonLine(out, unfinished.data(), unfinished.size());
        } else {
            appendIncompleteTextLine(out, unfinished.data(), unfinished.size());
        }
    }
    if (outputOk) outputOk = writeOut(out);
    if (link.lost()) {
        std::fprintf(stderr, "vexor monitor: %s\n", pathAndReason(port, link.lostReason()).c_str());
        return kExitFailure;
    }
    return outputOk ? kExitOk : kExitFailure;
}

int cmdStatsLink(const std::vector<std::string>& args) {
    bool json = false;
    std::string path;
    for (const auto& a : args) {
        if (a == "--link") continue;
        if (a == "--json") {
            json = true;
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option '" + a + "'");
        } else if (path.empty()) {
            path = a;
        } else {
            throw UsageError("more than one input given");
        }
    }
    if (path.empty()) throw UsageError("no input given (a file)");
    if (path == "-") throw UsageError("--link replays a file; standard input cannot be replayed");
    // The replay ends when the link has read the file to its end: a FIFO or a device has no
    // end to wait for (its writer may just be idle), so only a regular file is replayed.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        throw UsageError("--link replays a recorded file; " + displayPath(path) +
                         " is not a regular file (use 'vexor stats' without --link)");

    HandoverQueue queue;
    ReceiveWorker worker(queue);
    AllWindows registry;
    HandlerTable handlers;
    uint64_t calls = 0;
    for (size_t w = 0; w < kWindowCount; ++w)
        for (size_t r = 0; r < kRoleCount; ++r)
            handlers.set(WindowId(w), HandlerRole(r),
                         [&calls](const Delivery&, const RouteStep&) { ++calls; });
    DeliveryConsumer consumer(queue, registry, handlers);
    auto stats = std::make_unique<StreamStats>();
    consumer.setObserver([&](const Delivery& d) {
        if (d.result == 0) {
            stats->countGood(d.h1, d.h2);
        } else {
            stats->countError(d.result);
        }
    });

    ComSlots slots;
    SerialLink link(slots);
    link.setReader(&worker);
    LinkSettings settings;
    settings.replay = true;
    settings.portIndex = kReplayPortIndex;
    settings.fileName = path;
    auto t0 = std::chrono::steady_clock::now();
    if (link.startLink(settings) != 0)
        throw UsageError("cannot read " + pathAndReason(path, link.lastErrorReason()));
    // The replay ends when the worker has taken every byte of the file and everything it
    // delivered has been consumed.
    for (;;) {
        if (consumer.waitForDeliveries(std::chrono::milliseconds(20))) consumer.drain(4096);
        if (link.idleAtEnd() && queue.empty()) break;
        if (link.lost()) { // a read error: no report, its counts would be wrong
            link.stopLink();
            std::fprintf(stderr, "vexor stats: reading %s\n",
                         pathAndReason(path, link.lostReason()).c_str());
            return kExitUsage;
        }
    }
    stats->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    stats->bytes = link.bytesReceived();
    link.stopLink();
    stats->incompleteAtEnd = worker.unfinishedFrame().empty() ? 0 : 1;

    if (json) {
        std::printf("%s\n", stats->json().c_str());
    } else {
        std::fputs(stats->text().c_str(), stdout);
        std::printf("through the link: %llu deliveries, %llu handler calls\n",
                    (unsigned long long)consumer.delivered(), (unsigned long long)calls);
    }
    return kExitOk;
}

} // namespace vx::cli
