// vexor bbram save|upload --port PATH ... FILE: the "BBRAM save/load" window's operations on
// the command line, on the same code (flash/bbram_job).
#include "cli/cli.h"
#include "flash/bbram_job.h"
#include "link/serial_monitor_link.h"

#include <chrono>
#include <cstdio>

namespace vx::cli {

namespace {

const char* kBbramHelp =
    "usage: vexor bbram save|upload --port PATH [OPTIONS] FILE\n"
    "\n"
    "Saves the receiver's battery-backed RAM (BBRAM) into FILE, a raw image, or uploads FILE\n"
    "into the receiver, through its monitor: the receiver is forced to its monitor (0303),\n"
    "the region is read or written, and the receiver is restarted. The operations and texts\n"
    "are those of the console's \"BBRAM save/load\" window.\n"
    "\n"
    "  --port PATH       the serial device (required)\n"
    "  --baud N          4800, 9600, 19200, 38400 (default) or 115200\n"
    "  --type ram|flash  the BBRAM in RAM or in flash (default flash)\n"
    "  --ram-start A     RAM only: 1800 (ROM B and later, default) or 2000 (before ROM B)\n"
    "  --entire-flash    flash only: the entire flash, boot ROM included (512 KiB); a failed\n"
    "                    upload leaves the receiver in its monitor\n"
    "  --quiet           no status lines on standard error\n"
    "\n"
    "A save writes 16384 bytes (524288 with --entire-flash); an upload takes the first as many\n"
    "bytes of FILE and refuses a shorter file. A flash upload reads FILE before it erases\n"
    "anything: \"Clear Flash and RAM, Reset (0307)\", then five seconds for the erase.\n"
    "\n"
    "Exit status: 0 done; 1 the operation failed (the last status line says why); 2 usage\n"
    "error; 4 the port cannot be opened.\n"
    "\n"
    "Example: vexor bbram save --port /dev/ttyUSB0 --type ram bbram.img\n";

inline constexpr int kExitLink = 4;

// Status lines on stderr, progress in tens.
class PrintedEvents : public BbramEvents {
public:
    explicit PrintedEvents(bool quiet) : quiet_(quiet) {}
    void status(const std::string& text) override {
        if (!quiet_) std::fprintf(stderr, "%s\n", text.c_str());
    }
    void progress(int percent) override {
        if (!quiet_ && percent / 10 != last_ / 10 && percent > 0)
            std::fprintf(stderr, "%d %%\n", percent);
        last_ = percent;
    }
    void led(bool) override {}

private:
    bool quiet_;
    int last_ = 0;
};

} // namespace

int cmdBbram(const std::vector<std::string>& args) {
    if (wantsHelp(args) || args.empty()) {
        std::fputs(kBbramHelp, args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    BbramOptions o;
    const std::string& op = args[0];
    if (op == "save")
        o.operation = BbramOperation::Save;
    else if (op == "upload")
        o.operation = BbramOperation::Upload;
    else
        throw UsageError("unknown operation '" + op + "': expected save or upload");
    std::string port;
    LinkSettings settings;
    bool quiet = false, entire = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--port") {
            port = value();
        } else if (a == "--baud") {
            settings.baudRate = parseBaud(value());
        } else if (a == "--type") {
            const std::string& t = value();
            if (t == "ram")
                o.type = BbramType::Ram;
            else if (t == "flash")
                o.type = BbramType::Flash;
            else
                throw UsageError("invalid --type '" + t + "': expected ram or flash");
        } else if (a == "--ram-start") {
            uint32_t start = parseHex(value(), "--ram-start", 0xFFFF);
            if (start == 0x1800)
                o.ramStart = RamStart::RomB;
            else if (start == 0x2000)
                o.ramStart = RamStart::BeforeRomB;
            else
                throw UsageError("invalid --ram-start: expected 1800 or 2000");
        } else if (a == "--entire-flash") {
            entire = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option '" + a + "'");
        } else if (o.path.empty()) {
            o.path = a;
        } else {
            throw UsageError("more than one file given");
        }
    }
    if (port.empty()) throw UsageError("no port given (--port PATH)");
    if (o.path.empty()) throw UsageError("no image file given");
    if (entire && o.type != BbramType::Flash)
        throw UsageError("--entire-flash goes with --type flash");
    o.entireFlash = entire;
    o.baudRate = settings.baudRate;

    ComSlots slots;
    slots.setPath(0, port);
    settings.portIndex = 0;
    SerialLink link(slots); // no reader: the read side is the job's
    if (link.startLink(settings) != 0) {
        std::fprintf(stderr, "vexor bbram: %s\n",
                     withoutSlotName(link.lastError(), "COM1", port).c_str());
        return kExitLink;
    }
    SerialMonitorLink monitor(link);
    PrintedEvents events(quiet);
    const BbramResult r = runBbramJob(monitor, o, events);
    link.stopLink();
    if (!r.ok && quiet) std::fprintf(stderr, "vexor bbram: %s\n", r.status.c_str());
    return r.ok ? kExitOk : kExitFailure;
}

} // namespace vx::cli
