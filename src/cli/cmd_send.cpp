// vexor send --port PATH ... query|set|system|command|raw|monitor ...: sends one command over
// the console's serial link and waits for what answers it.
//
// The frame is built by the same code as the "Send Generic Packet" window (testtools/
// generic_packet), with the same refusals. Replies and acknowledgements come through the
// console's receive worker and are printed exactly as `vexor decode` prints those frames. A
// monitor-mode command reads the receiver's answer bytes (0x06, 0x15 or a monitor reply frame)
// from the port directly, and takes only a byte that lies outside every VEXOR frame and came
// after the request as its answer (MonitorAnswerReader).
#include "cli/cli.h"
#include "cli/packet_line.h"
#include "link/monitor_ops.h"
#include "link/receive_worker.h"
#include "link/serial_link.h"
#include "testtools/generic_packet.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace vx::cli {

namespace {

const char* kSendHelp =
    "usage: vexor send --port PATH [--baud N] [--json] [--timeout MS] FORM ...\n"
    "\n"
    "FORM:\n"
    "  query CODE SUB [--index I] [BYTE...]   Query (02): waits for the reply and the\n"
    "                                         acknowledgement\n"
    "  set CODE SUB [--index I] [BYTE...]     Set (01): waits for the acknowledgement\n"
    "  system CODE                            System command (03), e.g. 01 Hot Reset\n"
    "  command CMD CODE SUB [--index I] [BYTE...]   the same with the command byte given\n"
    "  raw BYTE...                            81, the bytes exactly as typed, checksum, 82;\n"
    "                                         answered like the command its first byte names\n"
    "  monitor CMD [BYTE...]                  a monitor-mode frame (after 'system 03'):\n"
    "                                         waits for 06 (accepted), 15 (refused) or a reply\n"
    "\n"
    "Sends one command through the console's serial link and prints what answers it, one line\n"
    "per frame exactly as 'vexor decode' prints it (every matching reply, then the\n"
    "acknowledgement). Arguments are hexadecimal, with or without 0x; a CODE is at most 7F.\n"
    "The frame is the one the \"Send Generic Packet\" window sends.\n"
    "\n"
    "  --port PATH      the serial device (required)\n"
    "  --baud N         4800, 9600, 19200, 38400 (default) or 115200\n"
    "  --json           one JSON object per frame, as 'vexor decode --json'\n"
    "  --timeout MS     how long to wait for the answer (default 1000); a monitor command\n"
    "                   is sent once the line is quiet or between VEXOR frames (50 ms of\n"
    "                   silence from a receiver in its monitor)\n"
    "\n"
    "Exit status:\n"
    "  0  answered: a Query's reply came (its acknowledgement may be missing), a Set or\n"
    "     System command was acknowledged with result 0, the monitor answered 06 or with\n"
    "     its reply frame\n"
    "  1  refused: a non-zero result in the acknowledgement, 15 from the monitor, or a\n"
    "     monitor reply with a bad checksum\n"
    "  2  usage error, or a frame that does not fit\n"
    "  3  no answer within the time-out, or only part of one: a Query acknowledged whose\n"
    "     reply did not come ('acknowledged, no reply within N ms'); a monitor command is\n"
    "     never answered by a receiver that is not in its monitor (nor 8C, a restart)\n"
    "  4  the port cannot be opened or written, or it went away during the wait ('device\n"
    "     disconnected')\n"
    "\n"
    "Example: vexor send --port /dev/ttyUSB0 query 21 01\n";

inline constexpr int kExitTimedOut = 3;
inline constexpr int kExitLink = 4;

struct Options {
    std::string port;
    LinkSettings settings; // slot 0, 38400 baud, 8-None-1
    bool json = false;
    int timeoutMs = 1000;
    std::string form;
    std::vector<std::string> args; // after the form, without --index
    std::string index;             // --index, hexadecimal text
};

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
            const std::string& v = value();
            double b = parseNumber(v, "baud rate", 0, 1e7);
            if (!isSupportedBaud(int32_t(b)) || b != double(int32_t(b)))
                throw UsageError("invalid baud rate '" + v +
                                 "': expected 4800, 9600, 19200, 38400 or 115200");
            o.settings.baudRate = int32_t(b);
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--timeout") {
            o.timeoutMs = int(parseNumber(value(), "time-out", 1, 3'600'000));
        } else if (a == "--index") {
            o.index = value();
        } else if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
            throw UsageError("unknown option '" + a + "'");
        } else if (o.form.empty()) {
            o.form = a;
        } else {
            o.args.push_back(a);
        }
    }
    if (o.port.empty()) throw UsageError("no port given (--port PATH)");
    if (o.form.empty()) throw UsageError("no command given (query, set, system, ...)");
    return o;
}

std::string join(const std::vector<std::string>& v, size_t from) {
    std::string s;
    for (size_t i = from; i < v.size(); ++i) s += v[i] + " ";
    return s;
}

void need(const std::vector<std::string>& args, size_t n, const char* what) {
    if (args.size() < n) throw UsageError(std::string("missing ") + what);
}

// The command as the window would read it from its fields.
GenericCommand readCommand(const Options& o) {
    GenericCommand cmd;
    const std::vector<std::string>& a = o.args;
    std::string err;
    auto setOrQuery = [&](GenericType type, size_t from) {
        need(a, from + 2, "CODE and SUB");
        const std::string data = join(a, from + 2);
        err = readGenericInput(cmd, type, {a[from], a[from + 1], o.index, data});
        // A Query may carry data too (the entry index of 1402, the report code of 2602).
        if (err.empty() && type == GenericType::Query) err = parseHexData(data, cmd.data);
    };
    if (o.form == "query") {
        setOrQuery(GenericType::Query, 0);
    } else if (o.form == "set") {
        setOrQuery(GenericType::Set, 0);
    } else if (o.form == "system") {
        need(a, 1, "CODE");
        if (a.size() > 1 || !o.index.empty())
            throw UsageError("a System command takes only its code");
        err = readGenericInput(cmd, GenericType::System, {a[0], "", "", ""});
    } else if (o.form == "command") {
        need(a, 1, "CMD");
        std::optional<uint8_t> c = vx::parseHexByte(a[0]);
        if (!c || *c < kCmdSet || *c > kCmdSystem)
            throw UsageError("invalid command byte '" + a[0] +
                             "': 01 (Set), 02 (Query) or 03 (System); use 'raw' for others");
        if (*c == kCmdSystem) {
            need(a, 2, "CODE");
            if (a.size() > 2 || !o.index.empty())
                throw UsageError("a System command takes only its code");
            err = readGenericInput(cmd, GenericType::System, {a[1], "", "", ""});
        } else {
            setOrQuery(GenericType(*c), 1);
        }
    } else if (o.form == "raw" || o.form == "monitor") {
        need(a, 1, o.form == "raw" ? "BYTE..." : "CMD");
        if (!o.index.empty()) throw UsageError("--index belongs to query, set and command");
        err =
            readGenericInput(cmd, o.form == "raw" ? GenericType::RawVexor : GenericType::RawMonitor,
                             {"", "", "", join(a, 0)});
    } else {
        throw UsageError("unknown command form '" + o.form +
                         "' (query, set, system, command, raw or monitor)");
    }
    if (!err.empty()) throw UsageError(err);
    return cmd;
}

void print(std::string& out) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    out.clear();
}

int exitOf(CommandWait::Outcome o) {
    switch (o) {
    case CommandWait::Outcome::Success:
        return kExitOk;
    case CommandWait::Outcome::Refused:
        return kExitFailure;
    case CommandWait::Outcome::TimedOut:
    case CommandWait::Outcome::AckedNoReply:
    case CommandWait::Outcome::Waiting:
        break;
    }
    return kExitTimedOut;
}

// A port that went away: said at once, as a port that cannot be used.
int portLost(const Options& o, const SerialLink& link) {
    std::fprintf(stderr, "vexor send: %s: %s\n", shellQuoted(o.port).c_str(),
                 link.lostReason().c_str());
    return kExitLink;
}

// A monitor-mode command: the answer is read from the port.
int sendMonitor(const Options& o, SerialLink& link, const std::vector<uint8_t>& frame) {
    using clock = std::chrono::steady_clock;
    constexpr auto kQuiet = std::chrono::milliseconds(50);
    // The line may take as long to settle as the answer to come, and at least two quiet spells.
    auto end = clock::now() +
               std::max<clock::duration>(std::chrono::milliseconds(o.timeoutMs), 2 * kQuiet);
    auto msLeft = [&] {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - clock::now()).count();
        return int(std::clamp<long long>(left, 0, 50));
    };
    MonitorAnswerReader reader;
    uint8_t buf[256];
    // Nothing received before the request answers it. A receiver in its monitor is silent
    // until asked; one in its normal mode sends frames, and the reader must know whether the
    // line is inside one before it may take a byte as an answer: it waits for a frame's start
    // or end byte, or for a quiet line.
    link.purgeLink();
    auto lastByte = clock::now();
    while (!reader.synced() && clock::now() < end) {
        link.waitReadable(msLeft());
        const size_t n = link.rawRead(buf, sizeof buf);
        if (link.lost()) return portLost(o, link);
        for (size_t i = 0; i < n; ++i) reader.observe(buf[i]);
        if (n > 0) {
            lastByte = clock::now();
        } else if (clock::now() - lastByte >= kQuiet) {
            reader.lineQuiet();
        }
    }
    if (reader.synced()) {
        if (link.sendFrame(frame.data(), uint16_t(frame.size())) != 0) {
            if (lostAtWrite(link, false)) return portLost(o, link);
            std::fprintf(stderr, "vexor send: %s: the write failed\n", shellQuoted(o.port).c_str());
            return kExitLink;
        }
        // The time-out counts from the request, as for every other form.
        end = clock::now() + std::chrono::milliseconds(o.timeoutMs);
    }
    while (reader.synced() && clock::now() < end) {
        link.waitReadable(msLeft());
        const size_t n = link.rawRead(buf, sizeof buf);
        if (link.lost()) return portLost(o, link);
        for (size_t i = 0; i < n; ++i) {
            const MonitorAnswerReader::Answer a = reader.feed(buf[i]);
            if (a == MonitorAnswerReader::Answer::None) continue;
            if (a != MonitorAnswerReader::Answer::Reply) {
                const bool ok = a == MonitorAnswerReader::Answer::Ack;
                const uint8_t b = ok ? kMonitorAck : kMonitorNak;
                std::printf(o.json ? "{\"monitor\": \"%s\", \"byte\": %d}\n" : "monitor %s %02X\n",
                            ok ? (o.json ? "ack" : "ACK") : (o.json ? "nak" : "NAK"), b);
                return ok ? kExitOk : kExitFailure;
            }
            const std::vector<uint8_t>& reply = reader.reply();
            const bool good = checkMonitorReply(reply, reply[3]);
            const std::string hex = hexBytes(reply.data(), reply.size());
            if (o.json) {
                std::printf("{\"monitor\": \"reply\", \"command\": %d, \"length\": %d, "
                            "\"good\": %s, \"frame\": \"%s\"}\n",
                            reply[2], reply[3], good ? "true" : "false", hex.c_str());
            } else {
                std::printf("monitor reply %s%s\n", hex.c_str(), good ? "" : " (bad checksum)");
            }
            return good ? kExitOk : kExitFailure;
        }
    }
    if (!reader.synced()) {
        std::fprintf(stderr,
                     "vexor send: no answer within %d ms: the line never fell quiet between "
                     "frames, so the request was not sent\n",
                     o.timeoutMs);
    } else if (reader.vexorFrames() > 0) {
        std::fprintf(stderr,
                     "vexor send: no answer within %d ms; the receiver sends VEXOR frames, so it "
                     "is not in its monitor ('system 03' puts it there)\n",
                     o.timeoutMs);
    } else {
        std::fprintf(stderr, "vexor send: no answer within %d ms\n", o.timeoutMs);
    }
    return kExitTimedOut;
}

} // namespace

int cmdSend(const std::vector<std::string>& args) {
    if (args.empty() || wantsHelp(args)) {
        std::fputs(kSendHelp, args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    const Options o = parseOptions(args);
    const GenericCommand cmd = readCommand(o);
    const std::vector<uint8_t> frame = buildGenericFrame(cmd);
    if (frame.empty()) throw UsageError(std::string(kErrSize));

    ComSlots slots;
    slots.setPath(0, o.port);
    HandoverQueue queue;
    ReceiveWorker worker(queue);
    NoWindows registry;
    HandlerTable handlers;
    DeliveryConsumer consumer(queue, registry, handlers);
    auto area = std::make_unique<RecordArea>();
    CommandWait wait(cmd);
    std::string out;
    consumer.setObserver([&](const Delivery& d) {
        if (d.result != 0) return;
        bool answer = false;
        if (d.h1 != 0x10) {
            answer = wait.packet(d.h1, d.h2, d.payload(), d.payloadLength());
        } else if (const auto* a = d.recordAs<AckRecord>()) {
            answer = wait.ack(d.h2, *a);
        } else if (const auto* s = d.recordAs<SysAckRecord>(); s && d.h2 == kCmdSystem) {
            answer = wait.sysAck(*s);
        }
        if (answer) appendDeliveryLine(out, d, *area, o.json);
    });

    SerialLink link(slots);
    // A monitor command reads the port itself: no receive worker.
    const bool monitor = cmd.type == GenericType::RawMonitor;
    if (!monitor) link.setReader(&worker);
    if (link.startLink(o.settings) != 0) {
        std::fprintf(stderr, "vexor send: %s: %s\n", shellQuoted(o.port).c_str(),
                     link.lastErrorReason().c_str());
        return kExitLink;
    }
    if (monitor) {
        int rc = sendMonitor(o, link, frame);
        link.stopLink();
        return rc;
    }
    if (link.sendFrame(frame.data(), uint16_t(frame.size())) != 0) {
        const bool lost = lostAtWrite(link, true);
        link.stopLink();
        if (lost) return portLost(o, link);
        std::fprintf(stderr, "vexor send: %s: the write failed\n", shellQuoted(o.port).c_str());
        return kExitLink;
    }
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(o.timeoutMs);
    // The worker sees a port that goes away the moment it happens; the wait ends with it.
    while (wait.outcome() == CommandWait::Outcome::Waiting && !link.lost() && clock::now() < end) {
        if (consumer.waitForDeliveries(std::chrono::milliseconds(10))) consumer.drain(256);
        print(out);
    }
    link.stopLink();
    consumer.drain(4096);
    print(out);
    if (wait.outcome() == CommandWait::Outcome::Waiting && link.lost()) return portLost(o, link);
    const CommandWait::Outcome result = wait.atTimeout();
    if (result == CommandWait::Outcome::TimedOut)
        std::fprintf(stderr, "vexor send: no answer within %d ms\n", o.timeoutMs);
    if (result == CommandWait::Outcome::AckedNoReply)
        std::fprintf(stderr, "vexor send: acknowledged, no reply within %d ms\n", o.timeoutMs);
    return exitOf(result);
}

} // namespace vx::cli
