#include "link/serial_port.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vx {

namespace {

speed_t speedFor(int32_t baud) {
    switch (baud) {
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// Waits on wakeFd alone (or just sleeps when there is none).
void waitWake(int timeoutMs, int wakeFd) {
    pollfd p{wakeFd, POLLIN, 0};
    ::poll(&p, wakeFd >= 0 ? 1 : 0, timeoutMs);
}

class TermiosPort : public SerialPort {
public:
    ~TermiosPort() override { close(); }

    int open(const std::string& path, const PortConfig& config, std::string* reason) override {
        close();
        auto fail = [&](const std::string& text) {
            if (reason) *reason = text;
            close();
            return -1;
        };
        if (!isSupportedBaud(config.baudRate))
            return fail("unsupported baud rate " + std::to_string(config.baudRate));
        if (config.dataBits != 8)
            return fail("unsupported data bits " + std::to_string(config.dataBits));
        if (config.stopBits != 0) return fail("unsupported stop bits (only one is supported)");
        if (config.parity > kParityEven)
            return fail("unsupported parity code " + std::to_string(config.parity));

        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return fail(portErrorText(errno));
        if (!::isatty(fd_)) return fail("not a serial port");
        // Another console of ours holds the advisory lock; other programs are kept out by
        // TIOCEXCL below.
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            return fail(errno == EWOULDBLOCK ? portErrorText(EBUSY) : portErrorText(errno));
        if (::ioctl(fd_, TIOCEXCL) != 0) return fail(portErrorText(errno));

        termios t{};
        if (::tcgetattr(fd_, &t) != 0) return fail(portErrorText(errno));
        ::cfmakeraw(&t);
        t.c_cflag &= ~tcflag_t(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        if (config.parity == kParityOdd) t.c_cflag |= PARENB | PARODD;
        if (config.parity == kParityEven) t.c_cflag |= PARENB;
        t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | INPCK);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        speed_t sp = speedFor(config.baudRate);
        if (::cfsetispeed(&t, sp) != 0 || ::cfsetospeed(&t, sp) != 0)
            return fail("unsupported baud rate " + std::to_string(config.baudRate));
        ::tcflush(fd_, TCIOFLUSH);
        if (::tcsetattr(fd_, TCSANOW, &t) != 0) return fail(portErrorText(errno));
        // tcsetattr succeeds when any one setting was applied; check that the driver took the
        // speed. (Pseudo-terminals keep the speed but report their own parity and byte size,
        // so those are not checked back.)
        termios back{};
        if (::tcgetattr(fd_, &back) != 0) return fail(portErrorText(errno));
        if (::cfgetospeed(&back) != sp)
            return fail("the port does not support " + std::to_string(config.baudRate) + " baud");
        ::tcflush(fd_, TCIOFLUSH);
        return 0;
    }

    void close() override {
        if (fd_ >= 0) {
            ::ioctl(fd_, TIOCNXCL);
            ::close(fd_); // also releases the flock
            fd_ = -1;
        }
    }

    bool isOpen() const override { return fd_ >= 0; }

    size_t read(uint8_t* buffer, size_t capacity) override {
        if (fd_ < 0 || capacity == 0) return 0;
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n > 0) {
                broken_.store(false, std::memory_order_relaxed);
                return size_t(n);
            }
            if (n < 0 && errno == EINTR) continue;
            // Nothing waiting (EAGAIN), or a hang-up or device error: the next read may work,
            // but poll() would report such a port readable at once, so idle without it.
            bool broken = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            broken_.store(broken, std::memory_order_relaxed);
            return 0;
        }
    }

    int write(const uint8_t* bytes, size_t count) override {
        if (fd_ < 0) return -1;
        using clock = std::chrono::steady_clock;
        auto deadline = clock::now() + std::chrono::milliseconds(100 + 10 * count);
        size_t done = 0;
        while (done < count) {
            ssize_t n = ::write(fd_, bytes + done, count - done);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
            if (left.count() <= 0) return -1;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, int(left.count()));
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
        }
        while (::tcdrain(fd_) != 0) {
            if (errno != EINTR) return -1;
        }
        return 0;
    }

    void purge(bool receive, bool transmit) override {
        if (fd_ < 0) return;
        if (receive && transmit) {
            ::tcflush(fd_, TCIOFLUSH);
        } else if (receive) {
            ::tcflush(fd_, TCIFLUSH);
        } else if (transmit) {
            ::tcflush(fd_, TCOFLUSH);
        }
    }

    void waitReadable(int timeoutMs, int wakeFd) override {
        if (fd_ < 0 || broken_.load(std::memory_order_relaxed)) return waitWake(timeoutMs, wakeFd);
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        int r = ::poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs);
        // A device that went away (USB unplugged, pseudo-terminal master closed) reports
        // POLLHUP at once and for ever: wait on the wake pipe instead of spinning.
        if (r > 0 && (p[0].revents & (POLLHUP | POLLERR | POLLNVAL))) waitWake(timeoutMs, wakeFd);
    }

private:
    int fd_ = -1;
    std::atomic<bool> broken_{false};
};

class ReplayFile : public SerialPort {
public:
    ~ReplayFile() override { close(); }

    int open(const std::string& path, const PortConfig&, std::string* reason) override {
        close();
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            if (reason) *reason = errno == ENOENT ? "no such file" : portErrorText(errno);
            return -1;
        }
        return 0;
    }

    void close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool isOpen() const override { return fd_ >= 0; }

    size_t read(uint8_t* buffer, size_t capacity) override {
        if (fd_ < 0 || capacity == 0) return 0;
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n > 0) return size_t(n);
            if (n < 0 && errno == EINTR) continue;
            return 0;
        }
    }

    int write(const uint8_t*, size_t) override { return fd_ >= 0 ? 0 : -1; }
    void purge(bool, bool) override {}
    // A file is always readable: idle on the wake pipe instead.
    void waitReadable(int timeoutMs, int wakeFd) override { waitWake(timeoutMs, wakeFd); }

private:
    int fd_ = -1;
};

} // namespace

bool isSupportedBaud(int32_t baud) {
    for (int32_t b : kBaudTable)
        if (b == baud) return true;
    return false;
}

std::string portErrorText(int err) {
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "no such device";
    case EACCES:
    case EPERM:
        return "permission denied — is your user in the dialout group?";
    case EBUSY:
    case EWOULDBLOCK:
        return "port busy — another program is using it";
    case ENOTTY:
        return "not a serial port";
    case EIO:
        return "input/output error — is the device connected?";
    case EISDIR:
        return "is a directory, not a serial port";
    case EINVAL:
        return "setting not supported by the port";
    default:
        return std::strerror(err);
    }
}

std::unique_ptr<SerialPort> makeTermiosPort() {
    return std::make_unique<TermiosPort>();
}
std::unique_ptr<SerialPort> makeReplayFile() {
    return std::make_unique<ReplayFile>();
}

} // namespace vx
