#include "link/serial_port.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// Read errors that mean the device itself is gone.
bool isLossErrno(int err) {
    return err == EIO || err == ENODEV || err == ENXIO;
}

// Pseudo-terminal masters: /dev/ptmx (and devpts' own ptmx node), major 5 minor 2, and the
// old BSD-style masters, major 2. Opening them makes a terminal with nothing behind it.
bool isPtyMasterDevice(dev_t rdev) {
    return (major(rdev) == 5 && minor(rdev) == 2) || major(rdev) == 2;
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

        // Looked at before opening, so that /dev/ptmx is not even opened (that would make a
        // pseudo-terminal) and a FIFO is never waited on.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return fail(portErrorText(errno));
        if (!S_ISCHR(st.st_mode) || isPtyMasterDevice(st.st_rdev)) return fail(kNotASerialDevice);

        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return fail(portErrorText(errno));
        // The same checks on what was opened (the path may have changed in between), and a
        // master that answers TIOCGPTN whatever its device number.
        int ptyNumber = 0;
        if (::fstat(fd_, &st) != 0 || !S_ISCHR(st.st_mode) || isPtyMasterDevice(st.st_rdev) ||
            !::isatty(fd_) || ::ioctl(fd_, TIOCGPTN, &ptyNumber) == 0)
            return fail(kNotASerialDevice);
        // Root opens a port another program holds exclusively: refuse it rather than share its
        // bytes (and never clear that program's flag).
        int exclusive = 0;
        if (::ioctl(fd_, TIOCGEXCL, &exclusive) == 0 && exclusive)
            return fail(portErrorText(EBUSY));
        // Another console of ours holds the advisory lock; other programs are kept out by
        // TIOCEXCL below.
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            return fail(errno == EWOULDBLOCK ? portErrorText(EBUSY) : portErrorText(errno));
        if (::ioctl(fd_, TIOCEXCL) != 0) return fail(portErrorText(errno));
        setExclusive_ = true;

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
            if (setExclusive_) ::ioctl(fd_, TIOCNXCL);
            ::close(fd_); // also releases the flock
            fd_ = -1;
        }
        setExclusive_ = false;
        loss_.store(0, std::memory_order_relaxed);
    }

    bool isOpen() const override { return fd_ >= 0; }

    size_t read(uint8_t* buffer, size_t capacity) override {
        if (fd_ < 0 || capacity == 0) return 0;
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n > 0) return size_t(n);
            if (n < 0 && errno == EINTR) continue;
            // In raw mode with VMIN = VTIME = 0 a read with nothing waiting returns 0, and so
            // does a read of a hung-up terminal: poll() tells the two apart (waitReadable).
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) noteLoss(errno);
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

    long writeSome(const uint8_t* bytes, size_t count) override {
        if (fd_ < 0) return -1;
        if (count == 0) return 0;
        for (;;) {
            ssize_t n = ::write(fd_, bytes, count);
            if (n >= 0) return long(n);
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
        }
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
        // A port that is gone reports POLLHUP at once and for ever: wait on the wake pipe.
        if (fd_ < 0 || lossCode() != 0) return waitWake(timeoutMs, wakeFd);
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        int r = ::poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs);
        if (r <= 0) return;
        if (p[0].revents & POLLHUP) {
            noteLoss(kPortHungUp);
        } else if (p[0].revents & (POLLERR | POLLNVAL)) {
            noteLoss(kPortPollError);
        }
    }

    int lossCode() const override { return loss_.load(std::memory_order_acquire); }

private:
    void noteLoss(int code) {
        int none = 0;
        loss_.compare_exchange_strong(none, code, std::memory_order_acq_rel);
    }

    int fd_ = -1;
    bool setExclusive_ = false; // TIOCEXCL was set by this port, so close() clears it
    std::atomic<int> loss_{0};
};

class ReplayFile : public SerialPort {
public:
    ~ReplayFile() override { close(); }

    int open(const std::string& path, const PortConfig&, std::string* reason) override {
        close();
        auto fail = [&](const std::string& text) {
            if (reason) *reason = text;
            close();
            return -1;
        };
        // Non-blocking: opening a FIFO without a writer would otherwise wait for one, and
        // reading it with an idle writer would hold the worker (and so Stop Monitor).
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return fail(replayErrorText(errno));
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return fail(replayErrorText(errno));
        if (S_ISDIR(st.st_mode)) return fail("is a directory, not a recording");
        if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode))
            return fail("not a file that can be replayed");
        return 0;
    }

    void close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        loss_.store(0, std::memory_order_relaxed);
    }

    bool isOpen() const override { return fd_ >= 0; }

    size_t read(uint8_t* buffer, size_t capacity) override {
        if (fd_ < 0 || capacity == 0) return 0;
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n > 0) return size_t(n);
            if (n < 0 && errno == EINTR) continue;
            // End of file, or a FIFO whose writer is idle or gone: nothing waiting. Any other
            // error ends the replay with its reason.
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                int none = 0;
                loss_.compare_exchange_strong(none, errno, std::memory_order_acq_rel);
            }
            return 0;
        }
    }

    int write(const uint8_t*, size_t) override { return fd_ >= 0 ? 0 : -1; }
    void purge(bool, bool) override {}
    // A file is always readable and a FIFO without a writer always hung up, so poll() cannot
    // watch either: idle on the wake pipe and look again after a short interval.
    void waitReadable(int timeoutMs, int wakeFd) override {
        waitWake(timeoutMs < 0 || timeoutMs > kReplayPollMs ? kReplayPollMs : timeoutMs, wakeFd);
    }
    int lossCode() const override { return loss_.load(std::memory_order_acquire); }

private:
    static std::string replayErrorText(int err) {
        switch (err) {
        case ENOENT:
            return "no such file";
        case EACCES:
        case EPERM:
            return "permission denied";
        default:
            return std::strerror(err);
        }
    }

    int fd_ = -1;
    std::atomic<int> loss_{0};
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
    case EISDIR:
        return kNotASerialDevice;
    case EIO:
        return "input/output error — is the device connected?";
    case EINVAL:
        return "setting not supported by the port";
    default:
        return std::strerror(err);
    }
}

std::string portLossText(int code) {
    if (code == kPortHungUp || (code > 0 && isLossErrno(code))) return "device disconnected";
    if (code == kPortPollError) return "device error";
    return std::string("read error: ") + std::strerror(code);
}

std::unique_ptr<SerialPort> makeTermiosPort() {
    return std::make_unique<TermiosPort>();
}
std::unique_ptr<SerialPort> makeReplayFile() {
    return std::make_unique<ReplayFile>();
}

} // namespace vx
