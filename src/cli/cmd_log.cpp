// vexor log: the data logging window's files, headless. A recording is read directly (as
// `vexor stats` reads it); a live port goes through the console's serial link, receive worker
// and routing. Either way the lines and bytes come from the same DataLogger as the window's.
#include "app/data_log.h"
#include "cli/cli.h"
#include "link/link_texts.h"
#include "link/packet_decode.h"
#include "link/receive_worker.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <type_traits>
#include <unistd.h>
#include <utility>
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
    "Text files end their lines with CR LF. Existing files are overwritten, but only once the\n"
    "input and every log file have been opened and checked: a run refused for one file leaves\n"
    "all of them as they were. Two logs cannot write one file, and no log can write the\n"
    "recording it reads (standard input's file included) or the port.\n"
    "\n"
    "A binary packet log takes a frame as far as the deframer takes it: a run of bytes with no\n"
    "end byte stops where the deframer refuses it as too long. Logs of a slow source (a FIFO,\n"
    "a pipe, a port) are on the disk within a second of what arrives. Ctrl-C or SIGTERM ends\n"
    "any run cleanly: the logs keep everything read until then, and a last line says how far\n"
    "it got (a second Ctrl-C ends it at once). When a recording ends in the middle of a frame,\n"
    "a line says so.\n"
    "\n"
    "Exit status:\n"
    "  0  every log was written to the end of the input, the end of --duration, or a stop by\n"
    "     Ctrl-C or SIGTERM\n"
    "  1  a log file cannot be written (each log that failed is named with the reason; the\n"
    "     others go on), or the port cannot be opened or went away\n"
    "  2  usage error, or a recording that cannot be read\n";

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
    return a;
}

// A name for messages: "standard input" for '-', else the name quoted as a shell needs it.
std::string inputName(const std::string& input) {
    return input == "-" ? "standard input" : shellQuoted(input);
}

// The logs of one run: failures named as they happen, each log once, and what each wrote.
class LogRun {
public:
    LogRun(DataLogger& log, const LogArgs& a) : log_(log), a_(a) {}

    // Names every log that failed since the last call. False once no log runs any more.
    bool check() {
        const DataLogger::Events e = log_.takeEvents();
        for (const LogRequest& r : a_.logs)
            if ((e.failed & logBit(r.kind)) && !(reported_ & logBit(r.kind)))
                failed(r, log_.failure(r.kind));
        return std::any_of(a_.logs.begin(), a_.logs.end(),
                           [&](const LogRequest& r) { return log_.running(r.kind); });
    }

    // Stops every log (flushing it) and prints what each wrote, or why it failed. True when
    // every log was written completely.
    bool finish() {
        check();
        for (const LogRequest& r : a_.logs) {
            std::string err;
            const bool stopped = log_.stop(r.kind, &err);
            if (reported_ & logBit(r.kind)) continue;
            if (!stopped) {
                failed(r, err);
            } else if (r.kind == LogKind::FiveHzText || r.kind == LogKind::OneHzText) {
                std::fprintf(stderr, "vexor log: %s: %llu lines\n", shellQuoted(r.path).c_str(),
                             (unsigned long long)log_.linesWritten(r.kind));
            } else {
                std::fprintf(stderr, "vexor log: %s: %llu bytes\n", shellQuoted(r.path).c_str(),
                             (unsigned long long)log_.bytesWritten(r.kind));
            }
        }
        return reported_ == 0;
    }

private:
    void failed(const LogRequest& r, const std::string& reason) {
        std::fprintf(stderr, "vexor log: writing %s failed: %s\n", shellQuoted(r.path).c_str(),
                     reason.c_str());
        reported_ |= logBit(r.kind);
    }

    DataLogger& log_;
    const LogArgs& a_;
    uint8_t reported_ = 0;
};

// The recording's bytes for the deframer; every block read goes to the logs' raw side first
// when a binary log runs (no log starts later, so without one the raw side is skipped).
//
// A FIFO, a pipe or a terminal may be slow: the source waits for bytes in poll(), so that a
// stop signal ends the wait at once, and asks for the logs to be flushed when the source has
// been idle a moment with something unflushed, and at least once a second while bytes keep
// trickling in. A regular file is always readable: poll() returns at once.
class LoggedFileSource : public ByteSource {
public:
    LoggedFileSource(int fd, DataLogger& log, bool raw, std::function<void()> flush)
        : fd_(fd), log_(log), raw_(raw), flush_(std::move(flush)), block_(kBlockBytes),
          lastFlush_(std::chrono::steady_clock::now()) {}
    uint64_t bytesRead() const { return read_; }
    const std::string& readError() const { return error_; }
    // A stop signal ended the reading (not the end of the input).
    bool stopped() const { return stopped_; }
    // Passes over the rest of the block read last (its bytes went to the logs already).
    void skipBlock() { cur_ = end_; }

    // The bytes of the incomplete frame the input ended in, as the deframer counts them; 0
    // when it ended between frames. Every 0x81 begins a frame for the deframer, and a frame
    // is refused long before kTailBytes: the bytes from the last 0x81 of the tail on decide.
    size_t incompleteAtEnd() const {
        const uint8_t* begin = tail_.data();
        const uint8_t* last = nullptr;
        for (const uint8_t* q = begin; q < begin + tailLen_; ++q)
            if (*q == kStart) last = q;
        if (!last) return 0;
        MemorySource m(last, size_t(begin + tailLen_ - last));
        uint8_t frame[kRxBufferSize];
        for (;;) {
            uint16_t count = 0;
            if (PacketDeframer::readFrame(m, frame, count) == kFrameEndOfStream) return count;
        }
    }

protected:
    int fetch(uint8_t& b) override {
        using clock = std::chrono::steady_clock;
        for (;;) {
            if (StopSignals::requested()) {
                stopped_ = true;
                return kEnd;
            }
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, unflushed_ ? kIdleFlushMs : kSignalCheckMs);
            if (ready == 0) {
                if (unflushed_) flushNow();
                continue;
            }
            if (ready < 0 && errno == EINTR) continue;
            ssize_t n = ::read(fd_, block_.data(), block_.size());
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                if (n < 0) error_ = std::strerror(errno);
                return kEnd;
            }
            read_ += uint64_t(n);
            keepTail(block_.data(), size_t(n));
            if (raw_) log_.rawBytes(block_.data(), size_t(n));
            unflushed_ = true;
            if (clock::now() - lastFlush_ >= kFlushEvery) flushNow();
            cur_ = block_.data() + 1;
            end_ = block_.data() + n;
            b = block_[0];
            return kGot;
        }
    }

private:
    static constexpr size_t kBlockBytes = 256 * 1024;
    static constexpr size_t kTailBytes = 1024; // more than the longest frame, escaped
    static constexpr int kIdleFlushMs = 100;
    static constexpr int kSignalCheckMs = 500; // a signal meant for another thread
    static constexpr std::chrono::milliseconds kFlushEvery{500};

    void flushNow() {
        flush_();
        unflushed_ = false;
        lastFlush_ = std::chrono::steady_clock::now();
    }
    void keepTail(const uint8_t* p, size_t n) {
        if (n >= kTailBytes) {
            std::memcpy(tail_.data(), p + n - kTailBytes, kTailBytes);
            tailLen_ = kTailBytes;
            return;
        }
        const size_t keep = std::min(tailLen_, kTailBytes - n);
        std::memmove(tail_.data(), tail_.data() + tailLen_ - keep, keep);
        std::memcpy(tail_.data() + keep, p, n);
        tailLen_ = keep + n;
    }

    int fd_;
    DataLogger& log_;
    bool raw_;
    std::function<void()> flush_;
    std::vector<uint8_t> block_;
    uint64_t read_ = 0;
    std::string error_;
    bool stopped_ = false;
    bool unflushed_ = false;
    std::chrono::steady_clock::time_point lastFlush_;
    std::array<uint8_t, kTailBytes> tail_{};
    size_t tailLen_ = 0;
};

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
    // Reading side: hands on what is there and waits until every report handed on is
    // written (the logs are then flushed: nothing complete waits in memory).
    void flush() {
        if (!batch_.empty()) push();
        std::unique_lock lk(mu_);
        turnCv_.wait(lk, [&] { return done_ == pushed_ || abandoned_; });
    }
    // Either side: give up (no log runs any more).
    void abandon() {
        std::lock_guard lk(mu_);
        abandoned_ = closed_ = true;
        cv_.notify_all();
        turnCv_.notify_all();
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
        ++pushed_;
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
    uint64_t taken_ = 0;  // batches handed to writers
    uint64_t done_ = 0;   // batches written, in order
    uint64_t pushed_ = 0; // batches handed on by the reading side
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

int logRecording(DataLogger& log, const LogArgs& a, int fd) {
    LogRun run(log, a);
    const bool textLogs = std::any_of(a.logs.begin(), a.logs.end(), [](const LogRequest& r) {
        return r.kind == LogKind::FiveHzText || r.kind == LogKind::OneHzText;
    });
    const bool rawLogs = std::any_of(a.logs.begin(), a.logs.end(), [](const LogRequest& r) {
        return r.kind != LogKind::FiveHzText && r.kind != LogKind::OneHzText;
    });
    ReportPipe pipe;
    LoggedFileSource src(fd, log, rawLogs, [&] {
        if (textLogs) pipe.flush();
        log.flush();
        run.check();
    });
    bool running = true; // some log still runs
    if (!textLogs) {
        // The binary logs need the bytes only.
        uint8_t b;
        while (running && src.readByte(b) == ByteSource::kGot) {
            src.skipBlock();
            running = run.check();
        }
    } else {
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
        // The writers never take a stop signal: it goes to this thread and ends its wait in
        // poll() at once.
        sigset_t stop, old;
        sigemptyset(&stop);
        sigaddset(&stop, SIGINT);
        sigaddset(&stop, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stop, &old);
        std::thread writer(writeBatches);
        std::thread secondWriter(writeBatches);
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        auto area = std::make_unique<RecordArea>();
        uint8_t frame[kRxBufferSize];
        for (uint64_t frames = 0;; ++frames) {
            uint16_t count = 0;
            int r = PacketDeframer::readFrameFast(src, frame, count);
            if (r == kFrameEndOfStream) break;
            FrameOutcome o = decodeFrame(r, frame, count, *area);
            if (o.result == kDecodeOk && o.decoded) pipe.add(frame[1], frame[2], *area, o.kind);
            if ((frames & 0xFFF) == 0 && !(running = run.check())) break;
        }
        if (running) {
            pipe.close();
        } else {
            pipe.abandon();
        }
        writer.join();
        secondWriter.join();
    }
    const std::string name = inputName(a.input);
    const bool readError = !src.readError().empty();
    if (src.stopped()) {
        std::fprintf(stderr, "vexor log: stopped by %s after %llu bytes of %s\n",
                     StopSignals::signalName(), (unsigned long long)src.bytesRead(), name.c_str());
    } else if (readError) {
        std::fprintf(stderr, "vexor log: reading %s failed after %llu bytes: %s\n", name.c_str(),
                     (unsigned long long)src.bytesRead(), src.readError().c_str());
    } else if (running) {
        if (const size_t n = src.incompleteAtEnd())
            std::fprintf(stderr, "vexor log: %s: incomplete frame at end (%zu bytes)\n",
                         name.c_str(), n);
    }
    const bool ok = run.finish();
    if (readError) return kExitUsage;
    return ok ? kExitOk : kExitFailure;
}

// A live port through the console's link, receive worker and routing, the logging window's
// steps handled by the logger.
struct PortReader {
    PortReader(const std::string& port, DataLogger& log) {
        slots.setPath(0, port);
        handlers.set(
            WindowId::TlogForm, HandlerRole::Reply,
            [&log](const Delivery& d, const RouteStep&) { log.report(d.h1, d.h2, d.record); });
        link.setReader(&worker);
        link.addRawTap(&log);
    }
    ComSlots slots;
    HandoverQueue queue;
    ReceiveWorker worker{queue};
    NoWindows registry;
    HandlerTable handlers;
    DeliveryConsumer consumer{queue, registry, handlers};
    SerialLink link{slots};
};

int logPort(DataLogger& log, const LogArgs& a, PortReader& p) {
    LogRun run(log, a);
    const std::string name = shellQuoted(a.port);
    std::fprintf(stderr, "vexor log: reading %s; Ctrl-C stops\n", name.c_str());
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::duration_cast<clock::duration>(
                                        std::chrono::duration<double>(a.duration));
    bool running = true;
    while (!StopSignals::requested() && running && !p.link.lost() &&
           (a.duration == 0 || clock::now() < end)) {
        if (p.consumer.waitForDeliveries(std::chrono::milliseconds(100))) p.consumer.drain(4096);
        log.flush(); // a live log is on the disk within a moment
        running = run.check();
    }
    p.link.stopLink(); // hands the last unfinished chunk to the logs
    p.link.removeRawTap(&log);
    while (p.consumer.drain(4096)) {
    }
    // A device that went away ends the logs as a stop does (everything received is in them),
    // and is reported.
    const bool lost = p.link.lost();
    if (lost) {
        std::fprintf(stderr, "vexor log: %s: %s\n", name.c_str(), p.link.lostReason().c_str());
    } else if (StopSignals::requested()) {
        std::fprintf(stderr, "vexor log: stopped by %s after %llu bytes from %s\n",
                     StopSignals::signalName(), (unsigned long long)p.link.bytesReceived(),
                     name.c_str());
    }
    return run.finish() && !lost ? kExitOk : kExitFailure;
}

// The input and every log file, opened and checked before any file is truncated. Until
// commit() the files it created are removed again when it goes, and none it found is changed.
class OpenFiles {
public:
    OpenFiles() = default;
    ~OpenFiles() {
        for (Output& o : outputs_) {
            if (o.fd >= 0) ::close(o.fd);
            if (!committed_ && o.created) ::unlink(o.request.path.c_str());
        }
        if (inputFd_ > 0) ::close(inputFd_);
    }
    OpenFiles(const OpenFiles&) = delete;
    OpenFiles& operator=(const OpenFiles&) = delete;

    // The recording (or standard input): opened and looked at. Throws a usage error.
    void openInput(const std::string& input) {
        const std::string name = inputName(input);
        if (input == "-") {
            inputFd_ = 0;
        } else if ((inputFd_ = ::open(input.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
            throw UsageError("cannot read " + name + ": " + std::strerror(errno));
        }
        // A directory opens, but every read of it fails: refused before anything is written.
        if (::fstat(inputFd_, &inputStat_) == 0 && S_ISDIR(inputStat_.st_mode))
            throw UsageError("cannot read " + name + ": is a directory, not a recording");
        inputRole_ =
            input == "-" ? " is the file standard input reads" : " is the recording itself";
    }
    // The port's device, so that no log writes to it.
    void notePort(const std::string& port) {
        if (::stat(port.c_str(), &inputStat_) == 0) inputRole_ = " is the port itself";
    }

    // Every log file, opened for writing without truncating it (created when missing). False
    // after naming the first one that cannot be opened.
    bool openOutputs(const std::vector<LogRequest>& logs) {
        for (const LogRequest& r : logs) {
            Output o{r};
            o.fd = ::open(r.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            o.created = o.fd >= 0;
            // An existing file; or a dangling link, whose target is then made.
            if (o.fd < 0 && errno == EEXIST) o.fd = ::open(r.path.c_str(), O_WRONLY | O_CLOEXEC);
            if (o.fd < 0 && errno == ENOENT)
                o.fd = ::open(r.path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            if (o.fd < 0 || ::fstat(o.fd, &o.stat) != 0) {
                std::fprintf(stderr, "vexor log: cannot write %s: %s\n",
                             shellQuoted(r.path).c_str(), std::strerror(errno));
                if (o.fd >= 0) ::close(o.fd);
                return false;
            }
            outputs_.push_back(o);
        }
        return true;
    }

    // Two logs on one file would each overwrite the other's lines, and a log on its input
    // would destroy it. A terminal or /dev/null may take several logs. Throws a usage error.
    void checkDistinct() const {
        auto same = [](const struct stat& x, const struct stat& y) {
            return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
        };
        for (size_t j = 0; j < outputs_.size(); ++j) {
            const Output& o = outputs_[j];
            const std::string name = shellQuoted(o.request.path);
            if (!inputRole_.empty() && same(o.stat, inputStat_) &&
                (!S_ISCHR(o.stat.st_mode) || inputRole_ == " is the port itself"))
                throw UsageError(name + inputRole_);
            if (S_ISCHR(o.stat.st_mode)) continue;
            for (size_t i = 0; i < j; ++i)
                if (same(outputs_[i].stat, o.stat))
                    throw UsageError(name + " is given for two logs");
        }
    }

    // Truncates every log file and starts its log. False after naming a file that failed.
    bool startLogs(DataLogger& log, const OneHzSelection& selection) {
        committed_ = true;
        for (Output& o : outputs_) {
            std::string err;
            if (S_ISREG(o.stat.st_mode) && ::ftruncate(o.fd, 0) != 0) err = std::strerror(errno);
            const int fd = std::exchange(o.fd, -1);
            if (err.empty()) {
                if (log.start(o.request.kind, fd, o.request.path, err, selection)) continue;
            } else {
                ::close(fd);
            }
            std::fprintf(stderr, "vexor log: cannot write %s: %s\n",
                         shellQuoted(o.request.path).c_str(), err.c_str());
            log.stopAll();
            return false;
        }
        return true;
    }

    int inputFd() const { return inputFd_; }

private:
    struct Output {
        LogRequest request;
        int fd = -1;
        bool created = false;
        struct stat stat {};
    };
    std::vector<Output> outputs_;
    int inputFd_ = -1;
    struct stat inputStat_ {};
    std::string inputRole_; // how a log on the input's file is refused; empty: no input file
    bool committed_ = false;
};

} // namespace

int cmdLog(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kLogHelp, stdout);
        return kExitOk;
    }
    const LogArgs a = parseArgs(args);
    // In every mode: Ctrl-C and SIGTERM end the run cleanly, and a log written into a pipe
    // whose reader has gone fails with a message instead of killing the program.
    StopSignals signals;
    OpenFiles files;
    if (a.port.empty()) {
        files.openInput(a.input);
    } else {
        files.notePort(a.port);
    }
    if (!files.openOutputs(a.logs)) return kExitFailure;
    files.checkDistinct();

    DataLogger log;
    std::unique_ptr<PortReader> port;
    if (!a.port.empty()) {
        port = std::make_unique<PortReader>(a.port, log);
        LinkSettings settings = a.settings;
        settings.portIndex = 0;
        // The port is checked before any file is truncated; it is then started afresh once
        // the logs run, so that every log begins at the same byte (a report received before
        // the logs started would otherwise reach the text logs but not the byte log).
        if (port->link.startLink(settings) != 0) {
            std::fprintf(stderr, "vexor log: %s: %s\n", shellQuoted(a.port).c_str(),
                         port->link.lastErrorReason().c_str());
            return kExitFailure;
        }
        port->link.stopLink();
        while (port->consumer.drain(4096)) { // what came meanwhile goes to no log
        }
        if (!files.startLogs(log, a.selection)) return kExitFailure;
        if (port->link.startLink(settings) != 0) {
            std::fprintf(stderr, "vexor log: %s: %s\n", shellQuoted(a.port).c_str(),
                         port->link.lastErrorReason().c_str());
            return kExitFailure;
        }
        return logPort(log, a, *port);
    }
    if (!files.startLogs(log, a.selection)) return kExitFailure;
    return logRecording(log, a, files.inputFd());
}

} // namespace vx::cli
