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
    // (0 when nothing is waiting or the read failed). A read error that means the device is
    // gone (EIO, ENODEV, ENXIO, ...) is kept in lossCode().
    virtual size_t read(uint8_t* buffer, size_t capacity) = 0;

    // Writes all bytes and waits until they have left the driver. 0, or -1 when the port
    // refused them or did not take them within a time-out of 10 ms per byte plus 100 ms.
    virtual int write(const uint8_t* bytes, size_t count) = 0;

    // Writes what the driver takes now, without waiting: the count of bytes taken (0 when its
    // buffer is full), or -1 when the port refused them. Writers that must never wait (the
    // NMEA output) use it; by default a port writes everything as write() does.
    virtual long writeSome(const uint8_t* bytes, size_t count) {
        return write(bytes, count) == 0 ? long(count) : -1;
    }

    // Discards the bytes waiting in the receive and/or transmit buffer.
    virtual void purge(bool receive, bool transmit) = 0;

    // Waits in poll() until bytes can be read, the device goes away, wakeFd (a pipe's read
    // end, -1 for none) becomes readable, or timeoutMs passes (-1: no time limit). A source
    // that poll() cannot watch (a file that may still grow) returns after kReplayPollMs at
    // most. Never busy-waits, even on a port whose device has gone away. A hang-up or device
    // error seen here is kept in lossCode().
    virtual void waitReadable(int timeoutMs, int wakeFd) = 0;

    // 0 while the port works; once its device has gone away (unplugged, the other side of a
    // pseudo-terminal closed, a read error) the reason: an errno value of the failed read, or
    // kPortHungUp / kPortPollError. Stays set until close(). Safe to call from any thread.
    virtual int lossCode() const { return 0; }
};

// lossCode() values besides errno values.
inline constexpr int kPortHungUp = -1;    // poll() reported POLLHUP
inline constexpr int kPortPollError = -2; // poll() reported POLLERR or POLLNVAL

// How often a replay source that poll() cannot watch looks for new bytes while idle.
inline constexpr int kReplayPollMs = 10;

// The reason text of a lossCode(): "device disconnected" for a hang-up, EIO, ENODEV or ENXIO;
// "device error" for POLLERR; "read error: <system text>" otherwise.
std::string portLossText(int code);

// The termios implementation: 8 data bits, one stop bit, parity none/odd/even, the five baud
// rates, raw mode, no flow control, non-blocking reads, writes completed with tcdrain, purge
// with tcflush.
//
// Only a character device that is a terminal is opened; a pseudo-terminal master (/dev/ptmx
// makes a new pseudo-terminal with nothing behind it) and anything else is refused as "not a
// serial device". The port is used exclusively: a port whose exclusive flag another program
// has set is refused as busy even when root could open it; otherwise TIOCEXCL keeps other
// programs out, and an advisory flock keeps a second console (even one run by root, whom
// TIOCEXCL does not stop) from opening it. close() clears the exclusive flag only when this
// port set it.
std::unique_ptr<SerialPort> makeTermiosPort();

// The replay source: a recorded byte stream read from a file as if it came from a port.
// Opened read-only and without blocking; write() succeeds without writing anything; read()
// reads in blocks and returns 0 at the end of the file (replay then idles; bytes appended
// later are read). A FIFO works the same way: an idle or absent writer is "nothing waiting",
// never a blocked read. A directory is refused.
std::unique_ptr<SerialPort> makeReplayFile();

// The human text for an errno value met while opening a port: "no such device",
// "permission denied — is your user in the dialout group?", "port busy — another program is
// using it", ... (used by the implementations, exposed for tests).
std::string portErrorText(int err);

// The text a port that is not a terminal device is refused with.
inline constexpr const char* kNotASerialDevice = "not a serial device";

// True for the five baud rates of kBaudTable.
bool isSupportedBaud(int32_t baud);

} // namespace vx
