#include "program/command_line.h"

#include "link/window_ids.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace vx {

CommandLine parseCommandLine(int& argc, char** argv, ComSlots& slots) {
    CommandLine cl;
    cl.error = slots.takeOptions(argc, argv);
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto fail = [&](const std::string& e) {
            if (cl.error.empty()) cl.error = e;
        };
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            cl.help = true;
        } else if (std::strcmp(a, "--version") == 0) {
            cl.version = true;
        } else if (std::strcmp(a, "--demo") == 0) {
            cl.demo = true;
        } else if (std::strcmp(a, "--screenshot") == 0) {
            if (i + 1 < argc) {
                cl.screenshotPath = argv[++i];
            } else {
                fail("--screenshot: expected a file name");
            }
        } else if (std::strcmp(a, "--screenshot-window") == 0) {
            const char* spec = i + 1 < argc ? argv[++i] : "";
            const char* eq = std::strchr(spec, '=');
            const std::string name = eq ? std::string(spec, size_t(eq - spec)) : std::string();
            if (!eq || !eq[1] || !windowByObjectName(name)) {
                fail("--screenshot-window: expected a window's object name, '=' and a file name");
            } else {
                cl.screenshotWindows.emplace_back(name, std::string(eq + 1));
            }
        } else if (std::strcmp(a, "--after") == 0) {
            char* end = nullptr;
            double s = i + 1 < argc ? std::strtod(argv[i + 1], &end) : -1;
            if (i + 1 < argc && end && *end == 0 && s >= 0 && s <= 3600) {
                cl.screenshotAfter = s;
                ++i;
            } else {
                fail("--after: expected a number of seconds (0 to 3600)");
            }
        } else if (std::strncmp(a, "--", 2) == 0) {
            fail(std::string(a) + ": unknown option (see --help)");
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    if (argc >= 2) {
        const char* first = argv[1];
        cl.internalMenu = std::strlen(first) >= 2 &&
                          std::tolower(static_cast<unsigned char>(first[1])) == kInternalMenuLetter;
    }
    return cl;
}

std::string usageText() {
    return "Usage: ornivex [-i] [--com N=PATH]... [--demo]\n"
           "\n"
           "The Ornivex console: monitors, configures and tests a GPS/DR receiver over a serial\n"
           "port (VEXOR protocol), or replays a recorded byte stream.\n"
           "\n"
           "  --com N=PATH  use PATH as the device of COM slot N (1..32); repeatable.\n"
           "                Default: COMn is /dev/ttyS(n-1). Example: --com 1=/dev/ttyUSB0\n"
           "  --demo        start a simulated receiver inside the console on a pseudo-terminal,\n"
           "                map it to COM1 and start monitoring\n"
           "  -i            as the first argument: show the internal \"VORSAND\" menu (any\n"
           "                argument whose second letter is i or I does; double-clicking the\n"
           "                small panel left of the start-up status toggles it too)\n"
           "  --help        this text\n"
           "  --version     the version\n";
}

} // namespace vx
