// vexor: VEXOR frames on the command line — encode commands, decode and count recorded streams,
// send commands to a receiver.
#include "cli/cli.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    const char* summary;
};

const Command commands[] = {
    {"encode", vx::cli::cmdEncode, "print the frame of a command"},
    {"decode", vx::cli::cmdDecode, "decode a recorded byte stream, one line per frame"},
    {"stats", vx::cli::cmdStats, "count the frames and errors of a recorded byte stream"},
    {"sim", vx::cli::cmdSim, "run a simulated receiver on a pseudo-terminal"},
    {"monitor", vx::cli::cmdMonitor, "read a serial port through the link, one line per frame"},
    {"log", vx::cli::cmdLog, "write the data logs (5 Hz, 1 Hz, binary) of a recording or a port"},
    {"send", vx::cli::cmdSend, "send one command over a serial port and print its answer"},
    {"config", vx::cli::cmdConfig, "save, verify or apply a receiver configuration profile"},
    {"bbram", vx::cli::cmdBbram, "save or upload the receiver's BBRAM image through its monitor"},
    {"nmea", vx::cli::cmdNmea, "write GGA sentences from a receiver's reports to a second port"},
};

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: vexor COMMAND [ARGS...]\n\n"
                 "Works with the VEXOR frames of a GPS/DR receiver without the console: encodes\n"
                 "the console's commands, decodes and counts recorded byte streams, monitors a\n"
                 "serial port through the console's link and runs a simulated receiver.\n\n"
                 "commands:\n");
    for (const auto& c : commands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'vexor COMMAND --help' describes a command.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return vx::cli::kExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        usage(stdout);
        return vx::cli::kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& c : commands) {
        if (name != c.name) continue;
        try {
            return c.run(args);
        } catch (const vx::cli::UsageError& e) {
            std::fprintf(stderr, "vexor %s: %s (see 'vexor %s --help')\n", c.name, e.what(),
                         c.name);
            return vx::cli::kExitUsage;
        }
    }
    std::fprintf(stderr, "vexor: unknown command '%s' (see 'vexor --help')\n", name.c_str());
    return vx::cli::kExitUsage;
}
