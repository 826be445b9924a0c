// The serial port behind the link: a small interface of ours, and its termios implementation.
//
// The link (serial_link.h) only talks to SerialPort, so another operating system's port can be
// added without touching the link or its callers. Every call returns at once except write(),
// which returns when the bytes have left the driver (or when the port refuses them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vx {

// Parity codes as the link settings carry them.
inline constexpr uint8_t kParityNone = 0;
inline constexpr uint8_t kParityOdd = 1;
inline constexpr uint8_t kParityEven = 2;

// The baud rates the console offers, in the order of the COM setup list.
inline constexpr int32_t kBaudTable[] = {4800, 9600, 19200, 38400, 115200};

struct PortConfig {
    int32_t baudRate = 38400;
    uint8_t dataBits = 8; // only 8 is supported
    uint8_t stopBits = 0; // stop-bit code: 0 = one stop bit (the only one supported)
    uint8_t parity = kParityNone;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens path for reading and writing and configures it. On failure returns -1 and sets
    // *reason to a short human text without the path ("permission denied — is your user in
    // the dialout group?"); the caller adds the port name and path in front.
    virtual int open(const std::string& path, const PortConfig& config, std::string* reason) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Reads what is waiting, up to capacity bytes, without blocking. Returns the byte count
    // (0 when nothing is waiting or the read failed: read errors are cleared and count as
    // nothing read).
    virtual size_t read(uint8_t* buffer, size_t capacity) = 0;

    // Writes all bytes and waits until they have left the driver. 0, or -1 when the port
    // refused them or did not take them within a time-out of 10 ms per byte plus 100 ms.
    virtual int write(const uint8_t* bytes, size_t count) = 0;

    // Discards the bytes waiting in the receive and/or transmit buffer.
    virtual void purge(bool receive, bool transmit) = 0;

    // Waits up to timeoutMs for bytes to read, or for wakeFd (a pipe's read end, -1 for none)
    // to become readable. Returns at once when either is ready. Never busy-waits, even on a
    // port whose device has gone away.
    virtual void waitReadable(int timeoutMs, int wakeFd) = 0;
};

// The termios implementation: 8 data bits, one stop bit, parity none/odd/even, the five baud
// rates, raw mode, no flow control, non-blocking reads, writes completed with tcdrain, purge
// with tcflush. The port is used exclusively: TIOCEXCL keeps other programs from opening it,
// and an advisory flock keeps a second console (even one run by root, whom TIOCEXCL does not
// stop) from opening it.
std::unique_ptr<SerialPort> makeTermiosPort();

// The replay source: a recorded byte stream read from a file as if it came from a port.
// Opened read-only; write() succeeds without writing anything; read() reads in blocks and
// returns 0 at the end of the file (replay then idles; bytes appended later are read).
std::unique_ptr<SerialPort> makeReplayFile();

// The human text for an errno value met while opening a port: "no such device",
// "permission denied — is your user in the dialout group?", "port busy — another program is
// using it", ... (used by the implementations, exposed for tests).
std::string portErrorText(int err);

// True for the five baud rates of kBaudTable.
bool isSupportedBaud(int32_t baud);

} // namespace vx
