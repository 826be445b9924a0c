// vexor config save|verify|apply --port PATH PROFILE, vexor config diff A B: receiver
// configuration profiles without the console, on the same profile run (config/profile_run)
// and the console's serial link and receive worker.
#include "cli/cli.h"
#include "config/profile_run.h"
#include "link/receive_worker.h"
#include "link/serial_link.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

namespace vx::cli {

namespace {

const char* kConfigHelp =
    "usage: vexor config save --port PATH [OPTIONS] PROFILE\n"
    "       vexor config verify --port PATH [OPTIONS] PROFILE\n"
    "       vexor config apply --port PATH [OPTIONS] PROFILE\n"
    "       vexor config diff PROFILE_A PROFILE_B\n"
    "\n"
    "Receiver configuration profiles: one 'group.field = value' line per field of the\n"
    "settings dialogs (DR engine rate, GPS configuration, Kalman filter, DR filter, output\n"
    "interval triggers, soft event mask, DR calibration), in the dialogs' units and names.\n"
    "\n"
    "  save     queries every settings group and writes PROFILE; fields the receiver did\n"
    "           not answer or refused are written as comments with the reason\n"
    "  verify   queries the receiver for the profile's fields and prints a table: profile\n"
    "           value, receiver value, same / different / not answered, and a summary line\n"
    "  apply    sends the profile's Set frames (paced as the dialogs pace them), waits for\n"
    "           each acknowledgement, lists refused fields, then verifies\n"
    "  diff     compares two profiles field by field\n"
    "\n"
    "A profile with a malformed line, an unknown field or a value outside its field's range\n"
    "is refused (every such line with its number and reason) before anything is sent.\n"
    "\n"
    "  --port PATH        the serial device (required for save, verify and apply)\n"
    "  --baud N           4800, 9600, 19200, 38400 (default) or 115200\n"
    "  --timeout MS       how long each request waits for its answer (default: the dialog's,\n"
    "                     1000)\n"
    "  --targets LIST     save: the reports whose output triggers (2A..2D) are saved, as\n"
    "                     code and subcode in hex (3002,3101); default\n"
    "                     1601,3002,3003,3101,3201,3202,3203,3301\n"
    "\n"
    "Exit status:\n"
    "  0  save: every field answered; verify, apply: every field the same; diff: the same\n"
    "  1  save: some fields not answered; verify, apply: a field differs, was refused or was\n"
    "     not answered; diff: the profiles differ\n"
    "  2  usage error, a profile refused as it was read, or a file that cannot be read or\n"
    "     written\n"
    "  3  the receiver did not answer at all\n"
    "  4  the port cannot be opened, or it went away\n"
    "\n"
    "Example: vexor config verify --port /dev/ttyUSB0 line7.profile\n";

inline constexpr int kExitNoAnswer = 3;
inline constexpr int kExitLink = 4;

struct Options {
    std::string action;
    std::string port;
    LinkSettings settings;
    int timeoutMs = 0;
    std::vector<SaveTarget> targets;
    std::vector<std::string> files;
};

std::vector<SaveTarget> parseTargets(const std::string& text) {
    std::vector<SaveTarget> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const uint32_t v = parseHex(item, "target (code and subcode, e.g. 3002)", 0xFFFF);
        if (item.size() < 3) throw UsageError("invalid target '" + item + "': code and subcode");
        out.push_back({uint8_t(v >> 8), uint8_t(v)});
    }
    if (out.empty()) throw UsageError("no targets given");
    return out;
}

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--port") {
            o.port = value();
        } else if (a == "--baud") {
            o.settings.baudRate = parseBaud(value());
        } else if (a == "--timeout") {
            o.timeoutMs = int(parseNumber(value(), "time-out", 1, 3'600'000));
        } else if (a == "--targets") {
            o.targets = parseTargets(value());
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            throw UsageError("unknown option '" + a + "'");
        } else if (o.action.empty()) {
            o.action = a;
        } else {
            o.files.push_back(a);
        }
    }
    if (o.action.empty()) throw UsageError("no action given (save, verify, apply or diff)");
    if (o.action != "save" && o.action != "verify" && o.action != "apply" && o.action != "diff")
        throw UsageError("unknown action '" + o.action + "' (save, verify, apply or diff)");
    const size_t files = o.action == "diff" ? 2 : 1;
    if (o.files.size() != files)
        throw UsageError(o.action == "diff" ? "diff takes two profiles" : "one profile file");
    if (o.action == "diff" && !o.port.empty()) throw UsageError("diff reads no port");
    if (o.action != "diff" && o.port.empty()) throw UsageError("no port given (--port PATH)");
    if (!o.targets.empty() && o.action != "save") throw UsageError("--targets belongs to save");
    return o;
}

// The profile of a file, or nothing after its refusals on stderr.
std::optional<Profile> readProfile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(path).c_str(),
                     std::strerror(errno));
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "vexor config: %s: is a directory\n", shellQuoted(path).c_str());
        return std::nullopt;
    }
    if (st.st_size > off_t(kMaxProfileBytes)) {
        std::fprintf(stderr, "vexor config: %s: not a profile: larger than %zu MiB\n",
                     shellQuoted(path).c_str(), kMaxProfileBytes >> 20);
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    ProfileParse p = parseProfile(text.str());
    for (const std::string& e : p.errors)
        std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(path).c_str(), e.c_str());
    if (!p.ok()) return std::nullopt;
    return std::move(p.profile);
}

void printRows(const std::vector<FieldCompare>& rows, std::string_view first,
               std::string_view second) {
    std::string table = compareTable(rows, first, second);
    table.erase(std::remove(table.begin(), table.end(), '\r'), table.end());
    std::fwrite(table.data(), 1, table.size(), stdout);
    std::fflush(stdout);
}

int diff(const Options& o) {
    std::optional<Profile> a = readProfile(o.files[0]);
    std::optional<Profile> b = readProfile(o.files[1]);
    if (!a || !b) return kExitUsage;
    const std::vector<FieldCompare> rows = diffProfiles(*a, *b);
    printRows(rows, o.files[0], o.files[1]);
    return summarize(rows).allSame() ? kExitOk : kExitFailure;
}

std::string utcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char b[40];
    std::strftime(b, sizeof b, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return b;
}

// Runs the profile run over the port: 0, or the exit status of a port that failed.
int runOnPort(const Options& o, ProfileRun& run) {
    ComSlots slots;
    slots.setPath(0, o.port);
    HandoverQueue queue;
    ReceiveWorker worker(queue);
    NoWindows registry;
    HandlerTable handlers;
    DeliveryConsumer consumer(queue, registry, handlers);
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    auto now = [&] {
        return int64_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - t0).count());
    };
    consumer.setObserver([&](const Delivery& d) {
        if (d.result != 0) return;
        if (d.h1 == 0x10) {
            if (const auto* a = d.recordAs<AckRecord>()) run.ack(d.h2, *a, now());
        } else {
            run.packet(d.h1, d.h2, d.record, now());
        }
    });
    SerialLink link(slots);
    link.setReader(&worker);
    if (link.startLink(o.settings) != 0) {
        std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(o.port).c_str(),
                     link.lastErrorReason().c_str());
        return kExitLink;
    }
    StopSignals signals;
    run.setTimeoutMs(o.timeoutMs);
    run.start(link, now());
    std::string lastStatus;
    while (!run.finished() && !link.lost() && !StopSignals::requested()) {
        int64_t wait = 10;
        if (auto at = run.wakeAt()) wait = std::clamp<int64_t>(*at - now(), 0, 10);
        if (consumer.waitForDeliveries(std::chrono::milliseconds(wait))) consumer.drain(256);
        run.tick(now());
    }
    // A frame the link refused may be the first sign of a receiver that has gone away.
    const bool lost = link.lost() || (!run.failure().empty() && lostAtWrite(link, true));
    link.stopLink();
    if (lost) {
        std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(o.port).c_str(),
                     link.lostReason().c_str());
        return kExitLink;
    }
    if (StopSignals::requested()) {
        std::fprintf(stderr, "vexor config: stopped by %s\n", StopSignals::signalName());
        return kExitFailure;
    }
    if (!run.failure().empty()) {
        std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(o.port).c_str(),
                     run.failure().c_str());
        return kExitLink;
    }
    return 0;
}

int save(const Options& o) {
    ProfileRun run =
        o.targets.empty() ? ProfileRun::save() : ProfileRun::save(saveUnits(o.targets));
    // The file is opened first, without truncating it: a path that cannot be written costs no
    // exchange, and a run that fails leaves an existing profile as it was (a file it created
    // goes again).
    const std::string& path = o.files[0];
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) throw UsageError(path + ": is a directory");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(path).c_str(),
                     std::strerror(errno));
        return kExitUsage;
    }
    auto abandon = [&] {
        ::close(fd);
        if (!existed) ::unlink(path.c_str());
    };
    if (int rc = runOnPort(o, run); rc != 0) {
        abandon();
        return rc;
    }
    if (!run.answered()) {
        abandon();
        std::fprintf(stderr, "vexor config: %s: the receiver did not answer\n",
                     shellQuoted(o.port).c_str());
        return kExitNoAnswer;
    }
    size_t unanswered = 0;
    const std::string text = run.savedText(
        {"Ornivex receiver configuration profile",
         "receiver: " + (run.versionText().empty() ? "no version reply" : run.versionText()),
         "saved: " + utcNow(), "port: " + o.port},
        &unanswered);
    bool written = ::ftruncate(fd, 0) == 0;
    for (size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += size_t(n);
    }
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(path).c_str(),
                     std::strerror(written ? errno : writeErrno));
        return kExitFailure;
    }
    const Profile saved = run.savedProfile();
    std::printf("%zu fields saved to %s", saved.values.size(), o.files[0].c_str());
    if (unanswered) std::printf(", %zu written as comments (not answered or refused)", unanswered);
    std::printf("\n");
    return unanswered ? kExitFailure : kExitOk;
}

int verifyOrApply(const Options& o) {
    std::optional<Profile> profile = readProfile(o.files[0]);
    if (!profile) return kExitUsage;
    const bool apply = o.action == "apply";
    if (apply) {
        const std::vector<std::string> refusals = applyRefusals(*profile);
        for (const std::string& r : refusals)
            std::fprintf(stderr, "vexor config: %s: %s\n", shellQuoted(o.files[0]).c_str(),
                         r.c_str());
        if (!refusals.empty()) return kExitUsage;
    }
    ProfileRun run = apply ? ProfileRun::apply(*profile) : ProfileRun::verify(*profile);
    if (int rc = runOnPort(o, run); rc != 0) return rc;
    if (!run.answered()) {
        std::fprintf(stderr, "vexor config: %s: the receiver did not answer\n",
                     shellQuoted(o.port).c_str());
        return kExitNoAnswer;
    }
    for (const std::string& s : run.skipped()) std::printf("%s\n", s.c_str());
    for (const std::string& r : run.refused()) std::printf("refused: %s\n", r.c_str());
    const std::vector<FieldCompare> rows = run.verifyRows();
    printRows(rows, "Profile", "Receiver");
    return summarize(rows).allSame() && run.refused().empty() ? kExitOk : kExitFailure;
}

} // namespace

int cmdConfig(const std::vector<std::string>& args) {
    if (args.empty() || wantsHelp(args)) {
        std::fputs(kConfigHelp, args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    const Options o = parseOptions(args);
    if (o.action == "diff") return diff(o);
    if (o.action == "save") return save(o);
    return verifyOrApply(o);
}

} // namespace vx::cli
