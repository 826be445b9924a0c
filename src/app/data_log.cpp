#include "app/data_log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace vx {

// ---- LogFile ----------------------------------------------------------------------------------

LogFile::~LogFile() {
    close();
}

bool LogFile::open(const std::string& path, std::string& error) {
    std::lock_guard lk(mu_);
    if (fd_ >= 0) {
        flushLocked();
        ::close(fd_);
        fd_ = -1;
    }
    path_ = path;
    error_.clear();
    failed_ = false;
    used_ = 0;
    written_ = 0;
    if (!buffer_) buffer_.reset(new uint8_t[kBufferBytes]);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = error_ = std::strerror(errno);
        return false;
    }
    fd_ = fd;
    return true;
}

void LogFile::adopt(int fd, const std::string& path) {
    std::lock_guard lk(mu_);
    if (fd_ >= 0) {
        flushLocked();
        ::close(fd_);
    }
    path_ = path;
    error_.clear();
    failed_ = false;
    used_ = 0;
    written_ = 0;
    if (!buffer_) buffer_.reset(new uint8_t[kBufferBytes]);
    fd_ = fd;
}

bool LogFile::writeOutLocked(const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd_, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            failed_ = true;
            error_ = w < 0 ? std::strerror(errno) : "nothing could be written";
            return false;
        }
        p += w;
        n -= size_t(w);
        written_ += uint64_t(w);
    }
    return true;
}

bool LogFile::flushLocked() {
    if (fd_ < 0 || failed_) return !failed_;
    if (used_ == 0) return true;
    bool ok = writeOutLocked(buffer_.get(), used_);
    used_ = 0;
    return ok;
}

bool LogFile::write(const void* bytes, size_t n) {
    std::lock_guard lk(mu_);
    if (fd_ < 0 || failed_) return false;
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (used_ + n > kBufferBytes) {
        if (!flushLocked()) return false;
        if (n >= kBufferBytes) return writeOutLocked(p, n);
    }
    std::memcpy(buffer_.get() + used_, p, n);
    used_ += n;
    return true;
}

bool LogFile::flush() {
    std::lock_guard lk(mu_);
    return flushLocked();
}

bool LogFile::close() {
    std::lock_guard lk(mu_);
    if (fd_ < 0) return !failed_;
    bool ok = flushLocked();
    if (::close(fd_) != 0 && ok) {
        // A file system that writes on close (NFS, a full quota) reports it here.
        failed_ = true;
        error_ = std::strerror(errno);
        ok = false;
    }
    fd_ = -1;
    used_ = 0;
    return ok;
}

bool LogFile::isOpen() const {
    std::lock_guard lk(mu_);
    return fd_ >= 0;
}

bool LogFile::failed() const {
    std::lock_guard lk(mu_);
    return failed_;
}

std::string LogFile::path() const {
    std::lock_guard lk(mu_);
    return path_;
}

std::string LogFile::error() const {
    std::lock_guard lk(mu_);
    return error_;
}

uint64_t LogFile::bytesWritten() const {
    std::lock_guard lk(mu_);
    return written_;
}

// ---- DataLogger -------------------------------------------------------------------------------

std::string_view logName(LogKind k) {
    switch (k) {
    case LogKind::FiveHzText:
        return "5 Hz log";
    case LogKind::FiveHzBinary:
        return "5 Hz binary log";
    case LogKind::OneHzText:
        return "1 Hz log";
    case LogKind::OneHzBinary:
        return "1 Hz binary log";
    case LogKind::AllBytes:
        return "binary data log";
    }
    return "log";
}

namespace {

constexpr int kDestFiveHz = int(LogKind::FiveHzBinary);
constexpr int kDestOneHz = int(LogKind::OneHzBinary);

// Bit of a 1 Hz code in oneHzCodes_, or 0.
uint8_t oneHzCodeBit(uint8_t code) {
    switch (code) {
    case 0x31:
        return 1;
    case 0x32:
        return 2;
    case 0x33:
        return 4;
    case 0x36:
        return 8;
    default:
        return 0;
    }
}

bool isText(LogKind k) {
    return k == LogKind::FiveHzText || k == LogKind::OneHzText;
}

} // namespace

DataLogger::DataLogger() = default;

DataLogger::~DataLogger() {
    stopAll();
}

bool DataLogger::runningLogWrites(const std::string& path, LogKind* which) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(path, ec)) return false;
    for (size_t i = 0; i < kLogKinds; ++i) {
        const auto k = LogKind(i);
        if (!running(k) && !files_[i].isOpen()) continue;
        std::error_code ec2;
        if (fs::equivalent(path, files_[i].path(), ec2)) {
            if (which) *which = k;
            return true;
        }
    }
    return false;
}

bool DataLogger::start(LogKind kind, const std::string& path, std::string& error,
                       const OneHzSelection& selection) {
    stop(kind);
    LogKind other{};
    if (runningLogWrites(path, &other)) {
        error = "the " + std::string(logName(other)) + " writes this file already";
        return false;
    }
    if (!files_[size_t(kind)].open(path, error)) return false;
    return begin(kind, error, selection);
}

bool DataLogger::start(LogKind kind, int fd, const std::string& path, std::string& error,
                       const OneHzSelection& selection) {
    stop(kind);
    files_[size_t(kind)].adopt(fd, path);
    return begin(kind, error, selection);
}

bool DataLogger::begin(LogKind kind, std::string& error, const OneHzSelection& selection) {
    LogFile& f = files_[size_t(kind)];
    if (kind == LogKind::OneHzText || kind == LogKind::OneHzBinary) {
        uint8_t codes = 0;
        if (selection.fix3101) codes |= 1;
        if (selection.time3201) codes |= 2;
        if (selection.channels3301) codes |= 4;
        if (selection.calibration36) codes |= 8;
        oneHzCodes_.store(codes, std::memory_order_release);
    }
    if (kind == LogKind::OneHzText) oneHz_.start(selection);
    lines_[size_t(kind)] = 0;
    if (isText(kind)) {
        std::string header(kind == LogKind::FiveHzText ? std::string(kFastFixLogHeader)
                                                       : oneHzLogHeader(selection));
        header += kLogLineEnd;
        if (!f.write(header.data(), header.size())) {
            error = f.error();
            f.close();
            return false;
        }
    }
    running_.fetch_or(logBit(kind), std::memory_order_acq_rel);
    return true;
}

bool DataLogger::stop(LogKind kind, std::string* error) {
    // Writers check the flag before they take the file's lock, and the file refuses writes
    // once closed: no sleep is needed between the two.
    running_.fetch_and(uint8_t(~logBit(kind)), std::memory_order_acq_rel);
    LogFile& f = files_[size_t(kind)];
    if (!f.isOpen()) return true;
    // A failure not taken yet is reported by this call instead.
    failedEvents_.fetch_and(uint8_t(~logBit(kind)), std::memory_order_acq_rel);
    const bool ok = f.close();
    if (!ok && error) *error = f.error();
    return ok;
}

void DataLogger::stopAll() {
    for (size_t i = 0; i < kLogKinds; ++i) stop(LogKind(i));
}

void DataLogger::raise(uint8_t activeBits, uint8_t failedBits) {
    bool fresh = false;
    if (activeBits && (activeEvents_.load(std::memory_order_relaxed) & activeBits) != activeBits) {
        activeEvents_.fetch_or(activeBits, std::memory_order_acq_rel);
        fresh = true;
    }
    if (failedBits) {
        failedEvents_.fetch_or(failedBits, std::memory_order_acq_rel);
        fresh = true;
    }
    if (fresh && onEvent_) onEvent_();
}

DataLogger::Events DataLogger::takeEvents() {
    Events e;
    e.active = activeEvents_.exchange(0, std::memory_order_acq_rel);
    e.failed = failedEvents_.exchange(0, std::memory_order_acq_rel);
    return e;
}

void DataLogger::put(LogKind kind, const void* bytes, size_t n) {
    if (!running(kind)) return;
    if (files_[size_t(kind)].write(bytes, n)) {
        raise(logBit(kind), 0);
        return;
    }
    // A log that could not write stops at once; the window closes it when it takes the event.
    if (running_.fetch_and(uint8_t(~logBit(kind)), std::memory_order_acq_rel) & logBit(kind))
        raise(0, logBit(kind));
}

void DataLogger::flush() {
    for (size_t i = 0; i < kLogKinds; ++i) {
        const auto k = LogKind(i);
        if (!running(k)) continue;
        if (!files_[i].flush() &&
            (running_.fetch_and(uint8_t(~logBit(k)), std::memory_order_acq_rel) & logBit(k)))
            raise(0, logBit(k));
    }
}

void DataLogger::writeTextLine(LogKind kind, std::string& line) {
    line += kLogLineEnd;
    put(kind, line.data(), line.size());
    ++lines_[size_t(kind)];
}

// ---- Reports ----------------------------------------------------------------------------------

void DataLogger::logFastFix(uint8_t h2, const DrDataRecord& r) {
    if (h2 != 0x02 || !running(LogKind::FiveHzText)) return;
    char line[kFastFixLineRoom + kLogLineEnd.size()];
    char* end = putFastFixLogLine(line, r);
    std::memcpy(end, kLogLineEnd.data(), kLogLineEnd.size());
    put(LogKind::FiveHzText, line, size_t(end - line) + kLogLineEnd.size());
    ++lines_[size_t(LogKind::FiveHzText)];
}

void DataLogger::logFastFixLines(const char* lines, size_t bytes, uint64_t count) {
    if (!running(LogKind::FiveHzText)) return;
    put(LogKind::FiveHzText, lines, bytes);
    lines_[size_t(LogKind::FiveHzText)] += count;
}

void DataLogger::logFix3101(uint8_t h2, const GpsFixRecord& r) {
    if (!running(LogKind::OneHzText) || !oneHz_.addFix(h2, r)) return;
    line_.clear();
    oneHz_.takeLine(line_);
    writeTextLine(LogKind::OneHzText, line_);
}

void DataLogger::logTime3201(uint8_t h2, const TimeConstellationRecord& r) {
    if (h2 != 0x01 || !running(LogKind::OneHzText) || !oneHz_.addTime(r)) return;
    line_.clear();
    oneHz_.takeLine(line_);
    writeTextLine(LogKind::OneHzText, line_);
}

void DataLogger::logChannel3301(uint8_t h2, const ChannelStatusRecord& r) {
    if (!running(LogKind::OneHzText) || !oneHz_.addChannel(h2, r)) return;
    line_.clear();
    oneHz_.takeLine(line_);
    writeTextLine(LogKind::OneHzText, line_);
}

void DataLogger::logCalibration36(const DrCalibrationRecord& r) {
    if (!running(LogKind::OneHzText) || !oneHz_.addCalibration(r)) return;
    line_.clear();
    oneHz_.takeLine(line_);
    writeTextLine(LogKind::OneHzText, line_);
}

void DataLogger::report(uint8_t h1, uint8_t h2, const RecordSnapshot& record) {
    switch (h1) {
    case 0x30:
        if (const auto* r = std::get_if<DrDataRecord>(&record)) logFastFix(h2, *r);
        break;
    case 0x31:
        if (const auto* r = std::get_if<GpsFixRecord>(&record)) logFix3101(h2, *r);
        break;
    case 0x32:
        if (const auto* r = std::get_if<TimeConstellationRecord>(&record)) logTime3201(h2, *r);
        break;
    case 0x33:
        if (const auto* r = std::get_if<ChannelStatusRecord>(&record)) logChannel3301(h2, *r);
        break;
    case 0x36:
        if (const auto* r = std::get_if<DrCalibrationRecord>(&record)) logCalibration36(*r);
        break;
    default:
        break;
    }
}

void DataLogger::report(uint8_t h1, uint8_t h2, const RecordArea& area, RecordKind kind) {
    switch (kind) {
    case RecordKind::DrData:
        if (h1 == 0x30) logFastFix(h2, area.dr_data);
        break;
    case RecordKind::GpsFix:
        if (h1 == 0x31) logFix3101(h2, area.gps_fix);
        break;
    case RecordKind::TimeConstellation:
        if (h1 == 0x32) logTime3201(h2, area.time_constellation);
        break;
    case RecordKind::ChannelStatus:
        if (h1 == 0x33) logChannel3301(h2, area.channel_status);
        break;
    case RecordKind::DrCalibration:
        if (h1 == 0x36) logCalibration36(area.dr_calibration);
        break;
    default:
        break;
    }
}

// ---- Raw bytes --------------------------------------------------------------------------------

void DataLogger::rawBytes(const uint8_t* bytes, size_t n) {
    if (n == 0) return;
    const uint8_t on = running_.load(std::memory_order_acquire);
    if (on & logBit(LogKind::AllBytes)) put(LogKind::AllBytes, bytes, n);
    // The classifier follows the stream even while no packet log runs, so that a log started
    // in the middle of a frame begins with the next whole frame.
    classifier_.feed(
        bytes, n,
        [this](uint8_t code) -> int {
            const uint8_t now = running_.load(std::memory_order_acquire);
            if (code == 0x30) return (now & logBit(LogKind::FiveHzBinary)) ? kDestFiveHz : -1;
            const uint8_t bit = oneHzCodeBit(code);
            if (bit && (now & logBit(LogKind::OneHzBinary)) &&
                (oneHzCodes_.load(std::memory_order_acquire) & bit))
                return kDestOneHz;
            return -1;
        },
        [this](int dest, const uint8_t* p, size_t k) { put(LogKind(dest), p, k); });
}

void DataLogger::rawChunk(const uint8_t* bytes, size_t count, uint8_t) {
    rawBytes(bytes, count);
}

void DataLogger::rawChunkReceived(const uint8_t* bytes, size_t count, size_t lineEnd, uint8_t) {
    rawBytes(bytes, count + lineEnd);
}

} // namespace vx
