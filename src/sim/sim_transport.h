// Where the simulated receiver's bytes go and come from: a pseudo-terminal it creates, an
// existing device, or an in-memory pipe inside a test.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vx::sim {

class SimTransport {
public:
    virtual ~SimTransport() = default;
    // Waits up to timeoutMs for bytes from the console. Returns how many were read, 0 when
    // none came in time (or the wait was woken), -1 when the transport failed for good.
    virtual int read(uint8_t* buf, size_t capacity, int timeoutMs) = 0;
    // Sends bytes without blocking for long. A receiver's line does not wait for its listener:
    // what the other side cannot take is dropped, whole writes at a time.
    virtual void write(const uint8_t* p, size_t n) = 0;
    // Lets queued output drain for up to timeoutMs (called when stopping).
    virtual void drain(int timeoutMs) { (void)timeoutMs; }
    // Makes a read in progress return at once; callable from any thread.
    virtual void wake() = 0;
    // Bytes dropped because the other side did not take them.
    virtual uint64_t droppedBytes() const { return 0; }
};

// A file descriptor: a pseudo-terminal master or a serial device, non-blocking.
class FdTransport : public SimTransport {
public:
    // Takes ownership of fd (and of keepOpen, another descriptor closed with it, or -1).
    FdTransport(int fd, int keepOpen = -1);
    ~FdTransport() override;
    FdTransport(const FdTransport&) = delete;
    FdTransport& operator=(const FdTransport&) = delete;

    bool ok() const { return fd_ >= 0 && wakeRead_ >= 0; }
    int read(uint8_t* buf, size_t capacity, int timeoutMs) override;
    void write(const uint8_t* p, size_t n) override;
    void drain(int timeoutMs) override;
    void wake() override;
    uint64_t droppedBytes() const override { return dropped_; }

    // Output queued while the other side is not reading; beyond it whole writes are dropped.
    static constexpr size_t kBacklogLimit = 2048;

private:
    void flushBacklog();
    int fd_;
    int keepOpen_;
    int wakeRead_ = -1, wakeWrite_ = -1;
    bool inputClosed_ = false;
    bool hungUp_ = false;
    std::vector<uint8_t> backlog_;
    uint64_t dropped_ = 0;
};

// Opens a pseudo-terminal in raw mode (no echo, no line editing, no character translation, no
// flow control) and serves its master side. The slave side is held open too, so that the
// console may open and close it any number of times without hanging up the master.
// Returns nullptr with a reason in error when it cannot.
std::unique_ptr<FdTransport> openPtyTransport(std::string& slavePath, std::string& error);

// Opens an existing device (a serial port, or the slave of someone else's pseudo-terminal),
// configured raw 8N1 at the given baud rate when it is a terminal.
std::unique_ptr<FdTransport> openDeviceTransport(const std::string& path, int baud,
                                                 std::string& error);

// Two byte queues for a receiver and a console in the same process: the console writes with
// consoleWrite and reads with consoleRead; the receiver uses the transport interface.
class QueueTransport : public SimTransport {
public:
    int read(uint8_t* buf, size_t capacity, int timeoutMs) override;
    void write(const uint8_t* p, size_t n) override;
    void wake() override;

    void consoleWrite(const uint8_t* p, size_t n);
    // Takes what the receiver sent so far, waiting up to timeoutMs for the first byte.
    std::vector<uint8_t> consoleRead(int timeoutMs);

private:
    std::mutex m_;
    std::condition_variable toReceiverCv_, toConsoleCv_;
    std::deque<uint8_t> toReceiver_, toConsole_;
    bool woken_ = false;
};

} // namespace vx::sim
