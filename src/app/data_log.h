// The data logs: the 5 Hz and 1 Hz packet logs (text or binary) and the log of every received
// byte. No Qt: the data logging window drives a DataLogger from its buttons, and `vexor log`
// drives one from the command line; both get the same files from the same stream.
//
// Feeding a logger
// - Decoded reports (report(), or the typed log* calls): 3002 builds a 5 Hz line; 3101, 3201,
//   3301 and 36xx fill the 1 Hz line. In the console they arrive on the GUI thread, one packet
//   at a time, through the routing.
// - Raw bytes (a RawTap of the serial link, or rawBytes()): every byte exactly as received goes
//   to the all-bytes log; the frames of codes 0x30 and 0x31/0x32/0x33/0x36 go to the binary
//   5 Hz and 1 Hz logs (log_formats.h, FrameClassifier). In the console they arrive on the
//   receive worker while the link holds its read lock.
//
// Files and threads
// - Each log has its own file with its own lock, taken by every writer and by stop and close,
//   so a file is never closed under a write. Nothing sleeps.
// - Writes are buffered (LogFile); flush() writes the buffers out (the window calls it a few
//   times a second), stop() flushes and closes, the destructor closes every file.
// - A write error stops that log at once (nothing more is written to it) and is reported
//   through events(): the window then closes it, turns its lamp red and says so. The other
//   logs go on.
// - Two running logs never write the same file: start() refuses it (start() on a descriptor
//   leaves that check to its caller, which compares the open files).
#pragma once

#include "app/log_formats.h"
#include "link/records.h"
#include "link/serial_link.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace vx {

// One log file: created or truncated at open, written through a buffer under its own lock.
class LogFile {
public:
    static constexpr size_t kBufferBytes = 64 * 1024;

    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens (creates or truncates) the file for writing. On failure returns false with a
    // readable reason in error.
    bool open(const std::string& path, std::string& error);
    // Takes over fd, a file the caller opened for writing (and truncated, where it wants
    // that); path names it in messages. The file closes it.
    void adopt(int fd, const std::string& path);
    // Appends bytes. False when the file is not open or a write failed (now or earlier): the
    // file then takes nothing more until it is opened again.
    bool write(const void* bytes, size_t n);
    // Writes the buffer out. False on a write error.
    bool flush();
    // Flushes and closes. False when the final flush or the close failed (error() says why).
    bool close();

    bool isOpen() const;
    bool failed() const;
    // The path given to open, and the reason of a failed write or open.
    std::string path() const;
    std::string error() const;
    // Bytes written to the file (not counting what is still in the buffer).
    uint64_t bytesWritten() const;

private:
    bool writeOutLocked(const uint8_t* p, size_t n);
    bool flushLocked();

    mutable std::mutex mu_;
    int fd_ = -1;
    bool failed_ = false;
    std::string path_;
    std::string error_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t used_ = 0;
    uint64_t written_ = 0;
};

// The five logs a DataLogger can keep. The window uses one of the two forms of each packet
// log at a time; `vexor log` may run them all.
enum class LogKind : uint8_t { FiveHzText, FiveHzBinary, OneHzText, OneHzBinary, AllBytes };
inline constexpr size_t kLogKinds = 5;
inline constexpr uint8_t logBit(LogKind k) {
    return uint8_t(1u << unsigned(k));
}
// "5 Hz log", "5 Hz binary log", ..., for messages.
std::string_view logName(LogKind k);

class DataLogger : public RawTap {
public:
    DataLogger();
    ~DataLogger() override; // closes every file
    DataLogger(const DataLogger&) = delete;
    DataLogger& operator=(const DataLogger&) = delete;

    // ---- Starting and stopping (the thread that owns the logger: the GUI thread, the CLI)

    // Opens path (created or truncated) and starts the log; a text log gets its header line.
    // selection is the packet choice of the 1 Hz logs (both share it; ignored otherwise).
    // Fails, with a readable reason in error and the log stopped, when the file cannot be
    // opened or another running log writes the same file.
    bool start(LogKind kind, const std::string& path, std::string& error,
               const OneHzSelection& selection = {});
    // The same on a file the caller has opened for writing (`vexor log` opens and checks
    // every file before it truncates any): the logger takes fd over, and closes it also when
    // the start fails. The caller makes sure no other log writes that file.
    bool start(LogKind kind, int fd, const std::string& path, std::string& error,
               const OneHzSelection& selection = {});
    // Stops the log, flushes and closes its file. False when a write failed (error then says
    // why, and the failure is not reported again by takeEvents; the file is closed all the
    // same). Stopping a stopped log does nothing.
    bool stop(LogKind kind, std::string* error = nullptr);
    void stopAll();

    bool running(LogKind kind) const {
        return (running_.load(std::memory_order_acquire) & logBit(kind)) != 0;
    }
    // The file a log writes or last wrote.
    std::string path(LogKind kind) const { return files_[size_t(kind)].path(); }
    // The running log that writes the file at path (the same file under any name), if any.
    bool runningLogWrites(const std::string& path, LogKind* which = nullptr) const;
    const OneHzLine& oneHzLine() const { return oneHz_; }
    uint64_t bytesWritten(LogKind kind) const { return files_[size_t(kind)].bytesWritten(); }
    // Lines written to a text log since it started, the header not counted (the routing's
    // thread).
    uint64_t linesWritten(LogKind kind) const { return lines_[size_t(kind)]; }

    // ---- Decoded reports (the routing's thread)

    // Any routed report: the records of 3002, 3101, 3201, 3301 and 36xx are logged, others
    // ignored.
    void report(uint8_t h1, uint8_t h2, const RecordSnapshot& record);
    void report(uint8_t h1, uint8_t h2, const RecordArea& area, RecordKind kind);
    void logFastFix(uint8_t h2, const DrDataRecord& r);
    void logFix3101(uint8_t h2, const GpsFixRecord& r);
    void logTime3201(uint8_t h2, const TimeConstellationRecord& r);
    void logChannel3301(uint8_t h2, const ChannelStatusRecord& r);
    void logCalibration36(const DrCalibrationRecord& r);
    // count 5 Hz lines built elsewhere with putFastFixLogLine, each ending with kLogLineEnd,
    // in report order (a reader of a recording builds them on several threads).
    void logFastFixLines(const char* lines, size_t bytes, uint64_t count);

    // ---- Raw bytes (the receive worker; or the CLI reading a file)

    // Every received byte, in order, exactly once.
    void rawBytes(const uint8_t* bytes, size_t n);
    // RawTap: the link's chunks, with the line end the text mode cut off.
    void rawChunk(const uint8_t* bytes, size_t count, uint8_t secondByte) override;
    void rawChunkReceived(const uint8_t* bytes, size_t count, size_t lineEnd,
                          uint8_t secondByte) override;

    // ---- Housekeeping

    // Writes every running log's buffer to its file (a write error becomes a failure event).
    void flush();

    // What happened since the last call: logs that wrote something (their lamps) and logs
    // that failed (stopped writing after a write error; failure() says why).
    struct Events {
        uint8_t active = 0; // logBit()s
        uint8_t failed = 0;
    };
    Events takeEvents();
    std::string failure(LogKind kind) const { return files_[size_t(kind)].error(); }
    // Called (on the writing thread) when events arrive while none were waiting: post a call
    // to takeEvents. Set it before the logger is fed.
    void setEventCallback(std::function<void()> callback) { onEvent_ = std::move(callback); }

private:
    // Writes to a running log; a failed write stops it and raises its failure event.
    void put(LogKind kind, const void* bytes, size_t n);
    void raise(uint8_t activeBits, uint8_t failedBits);
    // The rest of start() once the log's file is open.
    bool begin(LogKind kind, std::string& error, const OneHzSelection& selection);
    void writeTextLine(LogKind kind, std::string& line);

    std::array<LogFile, kLogKinds> files_;
    std::atomic<uint8_t> running_{0};
    std::atomic<uint8_t> oneHzCodes_{0}; // bit 0..3: 0x31, 0x32, 0x33, 0x36 go to 1 Hz binary
    std::atomic<uint8_t> activeEvents_{0};
    std::atomic<uint8_t> failedEvents_{0};
    std::function<void()> onEvent_;

    // The routing's thread.
    OneHzLine oneHz_;
    std::string line_;
    std::array<uint64_t, kLogKinds> lines_{};
    // The raw bytes' thread.
    FrameClassifier classifier_;
};

} // namespace vx
