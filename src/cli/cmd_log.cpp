// vexor log: the data logging window's files, headless. A recording is read directly (as
// `vexor stats` reads it); a live port goes through the console's serial link, receive worker
// and routing. Either way the lines and bytes come from the same DataLogger as the window's.
#include "app/data_log.h"
#include "cli/cli.h"
#include "link/link_texts.h"
#include "link/packet_decode.h"
#include "link/receive_worker.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <variant>

namespace vx::cli {

namespace {

const char* kLogHelp =
    "usage: vexor log [--5hz FILE] [--1hz FILE] [--1hz-packets LIST] [--bin5 FILE]\n"
    "                 [--bin1 FILE] [--all FILE] RECORDING|-\n"
    "       vexor log ... --port PATH [--baud N] [--parity none|odd|even] [--duration S]\n"
    "\n"
    "Writes the data logging window's files from a recorded receiver byte stream (a file, or\n"
    "standard input for '-') or from a live serial port, without a display. The files are the\n"
    "ones the window writes from the same stream, byte for byte.\n"
    "\n"
    "  --5hz FILE          5 Hz text log: a header line, then one line per 3002 report\n"
    "  --1hz FILE          1 Hz text log: one line per second from the packets of --1hz-packets\n"
    "  --1hz-packets LIST  the 1 Hz packets, comma-separated: 31-01, 32-01, 33-01, 36-all\n"
    "                      (default: all four); for --1hz and --bin1\n"
    "  --bin5 FILE         5 Hz binary log: every frame of code 0x30, as received\n"
    "  --bin1 FILE         1 Hz binary log: every frame of the --1hz-packets codes, as received\n"
    "  --all FILE          every received byte, as received\n"
    "  --port PATH         read a serial port instead of a recording, until Ctrl-C or\n"
    "                      --duration S seconds; --baud N (default 38400) and --parity P\n"
    "                      (default none) as for 'vexor monitor'\n"
    "\n"
    "Text files end their lines with CR LF. Existing files are overwritten; two logs cannot\n"
    "write one file, and no log can write the recording it reads.\n"
    "Exit status 1: a log file cannot be written (the file and the reason are printed) or the\n"
    "port cannot be opened; 2: usage error or unreadable recording.\n";

struct LogRequest {
    LogKind kind;
    std::string path;
};

struct LogArgs {
    std::vector<LogRequest> logs;
    OneHzSelection selection{true, true, true, true};
    std::string input;
    std::string port;
    LinkSettings settings;
    double duration = 0;
};

OneHzSelection parsePackets(const std::string& list) {
    OneHzSelection sel;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string tok = list.substr(start, comma == std::string::npos ? comma : comma - start);
        std::transform(tok.begin(), tok.end(), tok.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (tok == "31-01" || tok == "3101") {
            sel.fix3101 = true;
        } else if (tok == "32-01" || tok == "3201") {
            sel.time3201 = true;
        } else if (tok == "33-01" || tok == "3301") {
            sel.channels3301 = true;
        } else if (tok == "36-all" || tok == "36xx" || tok == "36") {
            sel.calibration36 = true;
        } else {
            throw UsageError("invalid 1 Hz packet '" + tok +
                             "': expected 31-01, 32-01, 33-01 or 36-all");
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return sel;
}

LogArgs parseArgs(const std::vector<std::string>& args) {
    LogArgs a;
    bool packetsGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
            return args[++i];
        };
        auto file = [&](LogKind kind) {
            const std::string& path = value();
            for (const LogRequest& r : a.logs)
                if (r.kind == kind) throw UsageError(arg + " given twice");
            a.logs.push_back({kind, path});
        };
        if (arg == "--5hz") {
            file(LogKind::FiveHzText);
        } else if (arg == "--1hz") {
            file(LogKind::OneHzText);
        } else if (arg == "--bin5") {
            file(LogKind::FiveHzBinary);
        } else if (arg == "--bin1") {
            file(LogKind::OneHzBinary);
        } else if (arg == "--all") {
            file(LogKind::AllBytes);
        } else if (arg == "--1hz-packets") {
            a.selection = parsePackets(value());
            packetsGiven = true;
        } else if (arg == "--port") {
            a.port = value();
        } else if (arg == "--baud") {
            a.settings.baudRate = parseBaud(value());
        } else if (arg == "--parity") {
            a.settings.parity = parseParity(value());
        } else if (arg == "--duration") {
            a.duration = parseNumber(value(), "duration", 0.001, 1e9);
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option '" + arg + "'");
        } else if (a.input.empty()) {
            a.input = arg;
        } else {
            throw UsageError("more than one recording given");
        }
    }
    if (a.logs.empty()) throw UsageError("no log file given (--5hz, --1hz, --bin5, --bin1, --all)");
    if (a.input.empty() == a.port.empty())
        throw UsageError(a.input.empty() ? "no input given (a recording, - or --port PATH)"
                                         : "give either a recording or --port, not both");
    if (a.port.empty() && (a.duration > 0))
        throw UsageError("--duration is for --port; a recording is read to its end");
    const bool oneHz = std::any_of(a.logs.begin(), a.logs.end(), [](const LogRequest& r) {
        return r.kind == LogKind::OneHzText || r.kind == LogKind::OneHzBinary;
    });
    if (packetsGiven && !oneHz) throw UsageError("--1hz-packets without --1hz or --bin1");
    if (!a.selection.any()) throw UsageError("no 1 Hz packet selected");
    // Two logs on one file would each overwrite the other's lines.
    namespace fs = std::filesystem;
    for (size_t i = 0; i < a.logs.size(); ++i) {
        for (size_t j = i + 1; j < a.logs.size(); ++j) {
            std::error_code e1, e2;
            if (fs::weakly_canonical(a.logs[i].path, e1) ==
                fs::weakly_canonical(a.logs[j].path, e2))
                throw UsageError(a.logs[j].path + " is given for two logs");
        }
        std::error_code ec;
        if (!a.input.empty() && a.input != "-" && fs::equivalent(a.input, a.logs[i].path, ec))
            throw UsageError(a.logs[i].path + " is the recording itself");
    }
    return a;
}

// The recording's bytes for the deframer; every block read goes to the logs' raw side first
// when a binary log runs (no log starts later, so without one the raw side is skipped).
class LoggedFileSource : public ByteSource {
public:
    LoggedFileSource(int fd, DataLogger& log, bool raw)
        : fd_(fd), log_(log), raw_(raw), block_(kBlockBytes) {}
    uint64_t bytesRead() const { return read_; }
    const std::string& readError() const { return error_; }
    // Passes over the rest of the block read last (its bytes went to the logs already).
    void skipBlock() { cur_ = end_; }

protected:
    int fetch(uint8_t& b) override {
        ssize_t n;
        do {
            n = ::read(fd_, block_.data(), block_.size());
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            if (n < 0) error_ = std::strerror(errno);
            return kEnd;
        }
        read_ += uint64_t(n);
        if (raw_) log_.rawBytes(block_.data(), size_t(n));
        cur_ = block_.data() + 1;
        end_ = block_.data() + n;
        b = block_[0];
        return kGot;
    }

private:
    static constexpr size_t kBlockBytes = 256 * 1024;
    int fd_;
    DataLogger& log_;
    bool raw_;
    std::vector<uint8_t> block_;
    uint64_t read_ = 0;
    std::string error_;
};

// A log that failed while running: its file and the reason, once.
bool reportFailures(DataLogger& log, const LogArgs& a) {
    const DataLogger::Events e = log.takeEvents();
    if (!e.failed) return true;
    for (const LogRequest& r : a.logs)
        if (e.failed & logBit(r.kind))
            std::fprintf(stderr, "vexor log: writing %s failed: %s\n", r.path.c_str(),
                         log.failure(r.kind).c_str());
    return false;
}

// Stops every log (flushing it) and prints what each wrote. False when a file could not be
// written completely.
bool finish(DataLogger& log, const LogArgs& a, bool ok) {
    for (const LogRequest& r : a.logs) {
        std::string err;
        if (!log.stop(r.kind, &err)) {
            if (ok)
                std::fprintf(stderr, "vexor log: writing %s failed: %s\n", r.path.c_str(),
                             err.c_str());
            ok = false;
            continue;
        }
        if (r.kind == LogKind::FiveHzText || r.kind == LogKind::OneHzText) {
            std::fprintf(stderr, "vexor log: %s: %llu lines\n", r.path.c_str(),
                         (unsigned long long)log.linesWritten(r.kind));
        } else {
            std::fprintf(stderr, "vexor log: %s: %llu bytes\n", r.path.c_str(),
                         (unsigned long long)log.bytesWritten(r.kind));
        }
    }
    return ok;
}

// The decoded reports the text logs take, handed from the reading thread to two writing ones
// in numbered batches. A writer builds the 5 Hz lines of its batch on its own (they depend on
// nothing else), then waits for its batch's turn, writes them and feeds the batch's 1 Hz
// reports to the logger in order. The files come out exactly as from one thread, while the
// longest work, building the 5 Hz lines, runs beside the reading and on two threads.
class ReportPipe {
public:
    struct Report {
        template <class Record>
        Report(uint8_t code, uint8_t subcode, const Record& r) : h1(code), h2(subcode), record(r) {}
        uint8_t h1, h2;
        std::variant<DrDataRecord, GpsFixRecord, TimeConstellationRecord, ChannelStatusRecord,
                     DrCalibrationRecord>
            record;
    };
    using Batch = std::vector<Report>;
    static constexpr size_t kBatch = 4096;
    static constexpr size_t kBatchesInFlight = 4;

    ReportPipe() { batch_.reserve(kBatch); }

    // Reading side. A report of a kind the text logs do not take is not kept.
    void add(uint8_t h1, uint8_t h2, const RecordArea& area, RecordKind kind) {
        switch (kind) {
        case RecordKind::DrData:
            if (h1 == 0x30 && h2 == 0x02) batch_.emplace_back(h1, h2, area.dr_data);
            break;
        case RecordKind::GpsFix:
            if (h1 == 0x31) batch_.emplace_back(h1, h2, area.gps_fix);
            break;
        case RecordKind::TimeConstellation:
            if (h1 == 0x32) batch_.emplace_back(h1, h2, area.time_constellation);
            break;
        case RecordKind::ChannelStatus:
            if (h1 == 0x33) batch_.emplace_back(h1, h2, area.channel_status);
            break;
        case RecordKind::DrCalibration:
            if (h1 == 0x36) batch_.emplace_back(h1, h2, area.dr_calibration);
            break;
        default:
            return;
        }
        if (batch_.size() == kBatch) push();
    }
    // Hands on what is left and tells the writing side that nothing more comes.
    void close() {
        if (!batch_.empty()) push();
        std::lock_guard lk(mu_);
        closed_ = true;
        cv_.notify_all();
    }
    // Either side: give up (a log failed).
    void abandon() {
        std::lock_guard lk(mu_);
        abandoned_ = closed_ = true;
        cv_.notify_all();
    }

    // Writing side: the next batch and its number, or false when the reading side closed and
    // all were taken.
    bool take(Batch& out, uint64_t& number) {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return !full_.empty() || closed_; });
        if (full_.empty() || abandoned_) return false;
        out = std::move(full_.front());
        full_.pop_front();
        number = taken_++;
        cv_.notify_all();
        return true;
    }
    // Waits until every batch before this one is done. Every batch taken must be done.
    void waitTurn(uint64_t number) {
        std::unique_lock lk(mu_);
        turnCv_.wait(lk, [&] { return done_ == number; });
    }
    void done(uint64_t number) {
        std::lock_guard lk(mu_);
        done_ = number + 1;
        turnCv_.notify_all();
    }
    // Writing side: a batch written, for the reading side to fill again. Its memory is still
    // in the caches, where a new one would first have to be brought in.
    void recycle(Batch&& batch) {
        batch.clear();
        std::lock_guard lk(mu_);
        spare_.push_back(std::move(batch));
    }

private:
    void push() {
        std::unique_lock lk(mu_);
        cv_.wait(lk, [&] { return full_.size() < kBatchesInFlight || abandoned_; });
        if (abandoned_) {
            batch_.clear();
            return;
        }
        full_.push_back(std::move(batch_));
        if (spare_.empty()) {
            batch_ = Batch();
            batch_.reserve(kBatch);
        } else {
            batch_ = std::move(spare_.back());
            spare_.pop_back();
        }
        cv_.notify_all();
    }

    Batch batch_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<Batch> full_;
    std::vector<Batch> spare_;
    std::condition_variable turnCv_;
    uint64_t taken_ = 0; // batches handed to writers
    uint64_t done_ = 0;  // batches written, in order
    bool closed_ = false;
    bool abandoned_ = false;
};

void logReport(DataLogger& log, const ReportPipe::Report& r) {
    std::visit(
        [&](const auto& rec) {
            using T = std::decay_t<decltype(rec)>;
            if constexpr (std::is_same_v<T, DrDataRecord>) log.logFastFix(r.h2, rec);
            if constexpr (std::is_same_v<T, GpsFixRecord>) log.logFix3101(r.h2, rec);
            if constexpr (std::is_same_v<T, TimeConstellationRecord>) log.logTime3201(r.h2, rec);
            if constexpr (std::is_same_v<T, ChannelStatusRecord>) log.logChannel3301(r.h2, rec);
            if constexpr (std::is_same_v<T, DrCalibrationRecord>) log.logCalibration36(rec);
        },
        r.record);
}

int logRecording(DataLogger& log, const LogArgs& a) {
    int fd = 0;
    if (a.input != "-") {
        fd = ::open(a.input.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw UsageError("cannot read " + a.input + ": " + std::strerror(errno));
    }
    struct CloseAtEnd {
        int fd;
        ~CloseAtEnd() {
            if (fd > 0) ::close(fd);
        }
    } closeAtEnd{fd};
    const bool textLogs = std::any_of(a.logs.begin(), a.logs.end(), [](const LogRequest& r) {
        return r.kind == LogKind::FiveHzText || r.kind == LogKind::OneHzText;
    });
    const bool rawLogs = std::any_of(a.logs.begin(), a.logs.end(), [](const LogRequest& r) {
        return r.kind != LogKind::FiveHzText && r.kind != LogKind::OneHzText;
    });
    LoggedFileSource src(fd, log, rawLogs);
    bool ok = true;
    if (!textLogs) {
        // The binary logs need the bytes only.
        uint8_t b;
        while (ok && src.readByte(b) == ByteSource::kGot) {
            src.skipBlock();
            ok = reportFailures(log, a);
        }
    } else {
        ReportPipe pipe;
        const bool fiveHzText = log.running(LogKind::FiveHzText);
        auto writeBatches = [&] {
            ReportPipe::Batch batch;
            // Room for a whole batch of the longest lines: one write per batch, no allocation.
            const size_t room =
                ReportPipe::kBatch * (kFastFixLineMaxChars + kLogLineEnd.size()) + kFastFixLineRoom;
            const auto lines = std::make_unique_for_overwrite<char[]>(room);
            uint64_t number = 0;
            while (pipe.take(batch, number)) {
                char* end = lines.get();
                uint64_t count = 0;
                if (fiveHzText) {
                    for (const auto& r : batch) {
                        if (const auto* d = std::get_if<DrDataRecord>(&r.record)) {
                            end = putFastFixLogLine(end, *d);
                            std::memcpy(end, kLogLineEnd.data(), kLogLineEnd.size());
                            end += kLogLineEnd.size();
                            ++count;
                        }
                    }
                }
                pipe.waitTurn(number);
                if (count > 0) log.logFastFixLines(lines.get(), size_t(end - lines.get()), count);
                for (const auto& r : batch)
                    if (!std::holds_alternative<DrDataRecord>(r.record)) logReport(log, r);
                pipe.done(number);
                pipe.recycle(std::move(batch));
            }
        };
        std::thread writer(writeBatches);
        std::thread secondWriter(writeBatches);
        auto area = std::make_unique<RecordArea>();
        uint8_t frame[kRxBufferSize];
        for (uint64_t frames = 0;; ++frames) {
            uint16_t count = 0;
            int r = PacketDeframer::readFrameFast(src, frame, count);
            if (r == kFrameEndOfStream) break;
            FrameOutcome o = decodeFrame(r, frame, count, *area);
            if (o.result == kDecodeOk && o.decoded) pipe.add(frame[1], frame[2], *area, o.kind);
            if ((frames & 0xFFF) == 0 && !(ok = reportFailures(log, a))) break;
        }
        if (ok) {
            pipe.close();
        } else {
            pipe.abandon();
        }
        writer.join();
        secondWriter.join();
    }
    if (ok) ok = reportFailures(log, a);
    ok = finish(log, a, ok);
    if (!src.readError().empty()) {
        std::fprintf(stderr, "vexor log: reading %s: %s\n", a.input.c_str(),
                     src.readError().c_str());
        return kExitUsage;
    }
    return ok ? kExitOk : kExitFailure;
}

// No window is shown; the logging window's steps run always.
class NoWindows : public WindowRegistry {
public:
    bool visible(WindowId) const override { return false; }
    bool exists(WindowId) const override { return false; }
    bool running(WindowId) const override { return false; }
};

int logPort(DataLogger& log, const LogArgs& a) {
    ComSlots slots;
    slots.setPath(0, a.port);
    HandoverQueue queue;
    ReceiveWorker worker(queue);
    NoWindows registry;
    HandlerTable handlers;
    handlers.set(WindowId::TlogForm, HandlerRole::Reply,
                 [&log](const Delivery& d, const RouteStep&) { log.report(d.h1, d.h2, d.record); });
    DeliveryConsumer consumer(queue, registry, handlers);

    StopSignals signals;
    SerialLink link(slots);
    link.setReader(&worker);
    link.addRawTap(&log);
    LinkSettings settings = a.settings;
    settings.portIndex = 0;
    if (link.startLink(settings) != 0) {
        std::fprintf(stderr, "vexor log: %s\n",
                     withoutSlotName(link.lastError(), "COM1", a.port).c_str());
        link.removeRawTap(&log);
        finish(log, a, false);
        return kExitFailure;
    }
    std::fprintf(stderr, "vexor log: reading %s; Ctrl-C stops\n", a.port.c_str());
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::duration_cast<clock::duration>(
                                        std::chrono::duration<double>(a.duration));
    bool ok = true;
    while (!StopSignals::requested() && ok && !link.lost() &&
           (a.duration == 0 || clock::now() < end)) {
        if (consumer.waitForDeliveries(std::chrono::milliseconds(100))) consumer.drain(4096);
        log.flush(); // a live log is on the disk within a moment
        ok = reportFailures(log, a);
    }
    link.stopLink(); // hands the last unfinished chunk to the logs
    link.removeRawTap(&log);
    while (consumer.drain(4096)) {
    }
    if (ok) ok = reportFailures(log, a);
    // A device that went away ends the logs as a stop does (everything received is in them),
    // and is reported.
    const bool lost = link.lost();
    if (lost)
        std::fprintf(stderr, "vexor log: %s: %s\n", displayPath(a.port).c_str(),
                     link.lostReason().c_str());
    return finish(log, a, ok) && !lost ? kExitOk : kExitFailure;
}

} // namespace

int cmdLog(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kLogHelp, stdout);
        return kExitOk;
    }
    const LogArgs a = parseArgs(args);
    DataLogger log;
    for (const LogRequest& r : a.logs) {
        std::string err;
        if (!log.start(r.kind, r.path, err, a.selection)) {
            std::fprintf(stderr, "vexor log: cannot write %s: %s\n", r.path.c_str(), err.c_str());
            log.stopAll();
            return kExitFailure;
        }
    }
    return a.port.empty() ? logRecording(log, a) : logPort(log, a);
}

} // namespace vx::cli
