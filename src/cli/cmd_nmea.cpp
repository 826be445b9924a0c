// vexor nmea --port PATH --nmea-port PATH ...
//
// The console's NMEA output without a display: the serial link, receive worker and routing
// as in the console, with the NMEA output window's two routing steps (3002, 3201) handled by
// the same feed and writer (config/nmea_output), so the sentences are the window's byte for
// byte.
#include "cli/cli.h"
#include "config/nmea_output.h"
#include "link/link_texts.h"
#include "link/receive_worker.h"

#include <chrono>
#include <cstdio>

namespace vx::cli {

namespace {

const char* kNmeaHelp =
    "usage: vexor nmea --port PATH --nmea-port PATH [--baud N] [--parity P]\n"
    "                  [--nmea-baud N] [--nmea-parity P] [--duration S]\n"
    "\n"
    "Reads the receiver on a serial port through the console's link and writes a GGA\n"
    "sentence to a second serial port on every 3201 report, with the position of the latest\n"
    "3002, as the console's VEXOR->NMEA Output does (point gpsd at the other end).\n"
    "\n"
    "  --port PATH         the receiver's port (required)\n"
    "  --baud N, --parity P\n"
    "                      its line: 38400 baud and no parity by default\n"
    "  --nmea-port PATH    where the sentences go (required)\n"
    "  --nmea-baud N, --nmea-parity P\n"
    "                      its line: 4800 baud and no parity by default\n"
    "  --duration S        stop after S seconds (default: until Ctrl-C)\n"
    "\n"
    "Sentences are never waited for: one the NMEA port cannot take at once is dropped. At the\n"
    "end the counts are printed on stderr.\n"
    "\n"
    "Exit status 1: a port cannot be opened, or the receiver's went away; 2: usage error.\n";

// Only the NMEA output "runs": its two steps are the only ones taken.
class NmeaOutputOnly : public WindowRegistry {
public:
    bool visible(WindowId) const override { return false; }
    bool exists(WindowId w) const override { return w == WindowId::TNMEAOutputForm; }
    bool running(WindowId w) const override { return w == WindowId::TNMEAOutputForm; }
};

} // namespace

int cmdNmea(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kNmeaHelp, stdout);
        return kExitOk;
    }
    std::string port, nmeaPort;
    LinkSettings settings;
    PortConfig nmeaConfig;
    nmeaConfig.baudRate = 4800;
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
        } else if (a == "--nmea-port") {
            nmeaPort = value();
        } else if (a == "--nmea-baud") {
            nmeaConfig.baudRate = parseBaud(value());
        } else if (a == "--nmea-parity") {
            nmeaConfig.parity = parseParity(value());
        } else if (a == "--duration") {
            duration = parseNumber(value(), "duration", 0.001, 1e9);
        } else {
            throw UsageError("unknown argument '" + a + "'");
        }
    }
    if (port.empty()) throw UsageError("no port given (--port PATH)");
    if (nmeaPort.empty()) throw UsageError("no NMEA port given (--nmea-port PATH)");

    NmeaPortWriter writer(makeTermiosPort());
    std::string reason;
    if (writer.open(nmeaPort, nmeaConfig, &reason) != 0) {
        std::fprintf(stderr, "vexor nmea: %s: %s\n", displayPath(nmeaPort).c_str(), reason.c_str());
        return kExitFailure;
    }
    NmeaFeed feed;
    HandoverQueue queue;
    ReceiveWorker worker(queue);
    NmeaOutputOnly registry;
    HandlerTable handlers;
    handlers.set(WindowId::TNMEAOutputForm, HandlerRole::NmeaGgaPosition,
                 [&](const Delivery& d, const RouteStep&) {
                     if (const auto* r = d.recordAs<DrDataRecord>()) feed.position(*r);
                 });
    handlers.set(WindowId::TNMEAOutputForm, HandlerRole::NmeaGgaTime,
                 [&](const Delivery& d, const RouteStep&) {
                     if (const auto* r = d.recordAs<TimeConstellationRecord>())
                         if (auto gga = feed.time(*r)) writer.write(*gga);
                 });
    DeliveryConsumer consumer(queue, registry, handlers);

    StopSignals signals;
    ComSlots slots;
    slots.setPath(0, port);
    SerialLink link(slots);
    link.setReader(&worker);
    if (link.startLink(settings) != 0) {
        std::fprintf(stderr, "vexor nmea: %s: %s\n", displayPath(port).c_str(),
                     link.lastErrorReason().c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "vexor nmea: reading %s, GGA to %s at %d baud; Ctrl-C stops\n",
                 port.c_str(), nmeaPort.c_str(), int(nmeaConfig.baudRate));
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::duration_cast<clock::duration>(
                                        std::chrono::duration<double>(duration));
    while (!StopSignals::requested() && !link.lost() && (duration == 0 || clock::now() < end)) {
        if (consumer.waitForDeliveries(std::chrono::milliseconds(50))) consumer.drain(1024);
    }
    link.stopLink();
    while (consumer.drain(1024)) {
    }
    writer.close();
    std::fprintf(stderr, "vexor nmea: %llu sentences written, %llu dropped\n",
                 (unsigned long long)writer.written(), (unsigned long long)writer.dropped());
    if (link.lost()) {
        std::fprintf(stderr, "vexor nmea: %s: %s\n", displayPath(port).c_str(),
                     link.lostReason().c_str());
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace vx::cli
