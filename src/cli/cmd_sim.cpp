// vexor sim: a simulated receiver on a pseudo-terminal (or an existing device).
#include "cli/cli.h"
#include "sim/sim_runner.h"
#include "sim/sim_world.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <string>
#include <vector>

namespace vx::cli {

namespace {

const char* kSimHelp =
    "usage: vexor sim [OPTIONS]\n"
    "\n"
    "Runs a simulated GPS/DR receiver. It opens a pseudo-terminal, prints the path of its\n"
    "serial side on the first line, and serves it until stopped (Ctrl-C, SIGTERM) or until\n"
    "--duration has passed. Open that path as the receiver's serial port (38400 8N1).\n"
    "\n"
    "The receiver drives a car around a loop, tracks 8 to 12 satellites, answers every Query\n"
    "and Set of the console, acts on System commands (resets, monitor mode) and sends its\n"
    "reports: 3002 at 5 Hz; 3101, 3201, 3301 and the 36xx calibration at 1 Hz; soft events.\n"
    "\n"
    "options:\n"
    "  --device PATH     serve an existing device instead of a new pseudo-terminal\n"
    "  --baud N          baud rate for --device (default 38400)\n"
    "  --record FILE     also write everything sent to FILE, a recording the console replays;\n"
    "                    a failed write (a FIFO whose reader went away, a full disk) stops the\n"
    "                    recording with a message and exit status 1 at the end, while the\n"
    "                    receiver goes on\n"
    "  --duration S      stop after S seconds of receiver time\n"
    "  --speed N         run N times faster than real time (default 1)\n"
    "  --seed N          seed of the simulated world and of the faults (default 1)\n"
    "  --utc TIME        UTC at start as YYYY-MM-DDTHH:MM:SS (default: the host clock)\n"
    "  --quiet           no summary on standard error at the end\n"
    "\n"
    "faults (for testing the console's failure paths; fractions are 0 to 1):\n"
    "  --drop-acks F     do not send this fraction of acknowledgements\n"
    "  --drop-replies F  do not send this fraction of Query replies\n"
    "  --result CODE     refuse every command with this result code (hex, 01..FF)\n"
    "  --corrupt F       send this fraction of frames with a wrong checksum\n"
    "  --garbage F       put a burst of garbage bytes before this fraction of frames\n"
    "  --delay MS        answer this many milliseconds late\n"
    "  --silent          send nothing at all\n"
    "\n"
    "Example: vexor sim --speed 10 --duration 60 --record sample.vxr\n";

int64_t parseUtc(const std::string& text) {
    int y, mo, d, h, mi, s;
    char sep;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &y, &mo, &d, &sep, &h, &mi, &s) !=
            7 ||
        (sep != 'T' && sep != ' ') || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 ||
        s > 59 || y < 1980 || y > 2100)
        throw UsageError("invalid --utc '" + text + "': expected YYYY-MM-DDTHH:MM:SS");
    return (sim::unixDaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s) * 1000;
}

} // namespace

int cmdSim(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kSimHelp, stdout);
        return kExitOk;
    }
    sim::SimRunnerOptions o;
    std::string device;
    int baud = 38400;
    bool quiet = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* what) -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + " needs " + what);
            return args[++i];
        };
        if (a == "--device")
            device = value("a path");
        else if (a == "--baud")
            baud = int(parseNumber(value("a rate"), "--baud", 1, 4000000));
        else if (a == "--record")
            o.recordPath = value("a file name");
        else if (a == "--duration")
            o.durationMs = int64_t(parseNumber(value("seconds"), "--duration", 0.001, 1e9) * 1000);
        else if (a == "--speed")
            o.speed = parseNumber(value("a factor"), "--speed", 0.01, 10000);
        else if (a == "--seed")
            o.sim.seed = uint64_t(parseNumber(value("a number"), "--seed", 0, 1e15));
        else if (a == "--utc")
            o.sim.utcStartUnixMs = parseUtc(value("a time"));
        else if (a == "--quiet")
            quiet = true;
        else if (a == "--drop-acks")
            o.sim.faults.dropAckFraction = parseNumber(value("a fraction"), "--drop-acks", 0, 1);
        else if (a == "--drop-replies")
            o.sim.faults.dropReplyFraction =
                parseNumber(value("a fraction"), "--drop-replies", 0, 1);
        else if (a == "--result") {
            o.sim.faults.forcedResult = parseHexByte(value("a result code"), "--result");
            if (!o.sim.faults.forcedResult) throw UsageError("--result must not be 00 (success)");
        } else if (a == "--corrupt")
            o.sim.faults.corruptChecksumFraction =
                parseNumber(value("a fraction"), "--corrupt", 0, 1);
        else if (a == "--garbage")
            o.sim.faults.garbageFraction = parseNumber(value("a fraction"), "--garbage", 0, 1);
        else if (a == "--delay")
            o.sim.faults.answerDelayMs =
                uint32_t(parseNumber(value("milliseconds"), "--delay", 0, 600000));
        else if (a == "--silent")
            o.sim.faults.silent = true;
        else
            throw UsageError("unknown option '" + a + "'");
    }

    // SIGINT and SIGTERM are taken with sigtimedwait below; block them before the receiver's
    // thread starts so that it inherits the mask and they reach this thread only.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::SimRunner runner(o);
    bool started = device.empty() ? runner.startOnPty() : runner.startOnDevice(device, baud);
    if (!started) {
        std::fprintf(stderr, "vexor sim: %s\n", runner.error().c_str());
        return kExitFailure;
    }
    std::printf("%s\n", runner.slavePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    // A recording that fails (a FIFO whose reader went away, a full disk) stops; the receiver
    // goes on serving its port.
    auto recordFailed = [&, said = false]() mutable {
        const std::string e = runner.recordError();
        if (!e.empty() && !said)
            std::fprintf(stderr,
                         "vexor sim: writing the recording %s failed: %s; the receiver goes on "
                         "without recording\n",
                         shellQuoted(o.recordPath).c_str(), e.c_str());
        said = said || !e.empty();
        return said;
    };
    // Looks for the end of a --duration every 20 ms: a fast recording ends as soon as it is
    // written.
    while (!runner.finished() && runner.running()) {
        timespec wait{0, 20 * 1000 * 1000};
        int s = sigtimedwait(&stopSignals, nullptr, &wait);
        if (s > 0) {
            signal = s;
            break;
        }
        recordFailed();
    }
    runner.stop();
    const bool recordingFailed = recordFailed();
    const std::string error = runner.error();
    if (!quiet) {
        const sim::SimStats st = runner.stats();
        std::fprintf(
            stderr,
            "vexor sim: %.1f s of receiver time; sent %llu bytes, %llu frames (%llu reports, "
            "%llu replies, %llu acknowledgements); received %llu commands",
            runner.simulatedMs() / 1000.0, (unsigned long long)st.bytesSent,
            (unsigned long long)st.framesSent, (unsigned long long)st.reportsSent,
            (unsigned long long)st.repliesSent, (unsigned long long)st.acksSent,
            (unsigned long long)st.commandsReceived);
        if (runner.droppedBytes())
            std::fprintf(stderr, "; %llu bytes not taken by the port",
                         (unsigned long long)runner.droppedBytes());
        std::fprintf(stderr, "%s\n", signal ? " (stopped by signal)" : "");
    }
    if (!error.empty()) {
        std::fprintf(stderr, "vexor sim: %s\n", error.c_str());
        return kExitFailure;
    }
    return recordingFailed ? kExitFailure : kExitOk;
}

} // namespace vx::cli
