#include "sim/sim_transport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace vx::sim {

namespace {

std::string sysError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool setNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

speed_t baudConstant(int baud) {
    switch (baud) {
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

void rawMode(termios& t) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

} // namespace

FdTransport::FdTransport(int fd, int keepOpen) : fd_(fd), keepOpen_(keepOpen) {
    int p[2];
    if (pipe2(p, O_NONBLOCK | O_CLOEXEC) == 0) {
        wakeRead_ = p[0];
        wakeWrite_ = p[1];
    }
}

FdTransport::~FdTransport() {
    if (fd_ >= 0) close(fd_);
    if (keepOpen_ >= 0) close(keepOpen_);
    if (wakeRead_ >= 0) close(wakeRead_);
    if (wakeWrite_ >= 0) close(wakeWrite_);
}

void FdTransport::wake() {
    if (wakeWrite_ < 0) return;
    uint8_t b = 1;
    [[maybe_unused]] ssize_t r = ::write(wakeWrite_, &b, 1);
}

void FdTransport::flushBacklog() {
    while (!backlog_.empty() && !hungUp_) {
        ssize_t k = ::write(fd_, backlog_.data(), backlog_.size());
        if (k < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                dropped_ += backlog_.size();
                backlog_.clear();
                hungUp_ = true;
            }
            return;
        }
        backlog_.erase(backlog_.begin(), backlog_.begin() + k);
        if (k == 0) return;
    }
}

void FdTransport::write(const uint8_t* p, size_t n) {
    if (hungUp_) {
        dropped_ += n;
        return;
    }
    if (!backlog_.empty()) {
        if (backlog_.size() + n <= kBacklogLimit)
            backlog_.insert(backlog_.end(), p, p + n);
        else
            dropped_ += n;
        flushBacklog();
        return;
    }
    size_t done = 0;
    while (done < n) {
        ssize_t k = ::write(fd_, p + done, n - done);
        if (k < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                dropped_ += n - done;
                hungUp_ = true;
                return;
            }
            break;
        }
        if (k == 0) break;
        done += size_t(k);
    }
    // The rest of a write that was started must follow, or the frame would arrive cut.
    if (done < n) backlog_.insert(backlog_.end(), p + done, p + n);
}

int FdTransport::read(uint8_t* buf, size_t capacity, int timeoutMs) {
    flushBacklog();
    pollfd fds[2];
    nfds_t count = 1;
    fds[0] = {wakeRead_, POLLIN, 0};
    short want = 0;
    if (!inputClosed_) want |= POLLIN;
    if (!backlog_.empty() && !hungUp_) want |= POLLOUT;
    if (want) fds[count++] = {fd_, want, 0};
    int r = poll(fds, count, std::max(0, timeoutMs));
    if (r < 0) return errno == EINTR ? 0 : -1;
    if (fds[0].revents & POLLIN) {
        uint8_t junk[64];
        while (::read(wakeRead_, junk, sizeof junk) > 0) {
        }
    }
    if (count < 2) return 0;
    const short ev = fds[1].revents;
    if (ev & POLLOUT) flushBacklog();
    if (ev & POLLIN) {
        ssize_t k = ::read(fd_, buf, capacity);
        if (k > 0) return int(k);
        if (k == 0)
            inputClosed_ = true; // end of file: nothing more will come
        else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            inputClosed_ = true;
        return 0;
    }
    if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
        // The other side is gone for good; do not poll it again.
        inputClosed_ = true;
        hungUp_ = true;
        dropped_ += backlog_.size();
        backlog_.clear();
    }
    return 0;
}

void FdTransport::drain(int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!backlog_.empty() && !hungUp_ && std::chrono::steady_clock::now() < end) {
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, 10) > 0) flushBacklog();
    }
}

std::unique_ptr<FdTransport> openPtyTransport(std::string& slavePath, std::string& error) {
    termios t{};
    rawMode(t);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, &t, nullptr) != 0) {
        error = sysError("cannot open a pseudo-terminal");
        return nullptr;
    }
    char name[256];
    if (ptsname_r(master, name, sizeof name) != 0 || !setNonBlocking(master) ||
        fcntl(master, F_SETFD, FD_CLOEXEC) != 0 || fcntl(slave, F_SETFD, FD_CLOEXEC) != 0) {
        error = sysError("cannot set up the pseudo-terminal");
        close(master);
        close(slave);
        return nullptr;
    }
    tcsetattr(slave, TCSANOW, &t);
    auto tr = std::make_unique<FdTransport>(master, slave);
    if (!tr->ok()) {
        error = sysError("cannot create a wake-up pipe");
        return nullptr;
    }
    slavePath = name;
    return tr;
}

std::unique_ptr<FdTransport> openDeviceTransport(const std::string& path, int baud,
                                                 std::string& error) {
    speed_t speed = baudConstant(baud);
    if (speed == B0) {
        error = "unsupported baud rate " + std::to_string(baud) +
                " (use 4800, 9600, 19200, 38400, 57600 or 115200)";
        return nullptr;
    }
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = sysError(path);
        return nullptr;
    }
    if (isatty(fd)) {
        termios t{};
        if (tcgetattr(fd, &t) != 0) {
            error = sysError(path);
            close(fd);
            return nullptr;
        }
        rawMode(t);
        t.c_cflag = (t.c_cflag & ~CSIZE) | CS8;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        if (tcsetattr(fd, TCSANOW, &t) != 0) {
            error = sysError(path + ": cannot configure the port");
            close(fd);
            return nullptr;
        }
    }
    auto tr = std::make_unique<FdTransport>(fd);
    if (!tr->ok()) {
        error = sysError("cannot create a wake-up pipe");
        return nullptr;
    }
    return tr;
}

// ---------------------------------------------------------------------------------------------

int QueueTransport::read(uint8_t* buf, size_t capacity, int timeoutMs) {
    std::unique_lock lock(m_);
    toReceiverCv_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                           [&] { return !toReceiver_.empty() || woken_; });
    woken_ = false;
    size_t n = std::min(capacity, toReceiver_.size());
    for (size_t i = 0; i < n; ++i) {
        buf[i] = toReceiver_.front();
        toReceiver_.pop_front();
    }
    return int(n);
}

void QueueTransport::write(const uint8_t* p, size_t n) {
    {
        std::lock_guard lock(m_);
        toConsole_.insert(toConsole_.end(), p, p + n);
    }
    toConsoleCv_.notify_all();
}

void QueueTransport::wake() {
    {
        std::lock_guard lock(m_);
        woken_ = true;
    }
    toReceiverCv_.notify_all();
}

void QueueTransport::consoleWrite(const uint8_t* p, size_t n) {
    {
        std::lock_guard lock(m_);
        toReceiver_.insert(toReceiver_.end(), p, p + n);
    }
    toReceiverCv_.notify_all();
}

std::vector<uint8_t> QueueTransport::consoleRead(int timeoutMs) {
    std::unique_lock lock(m_);
    toConsoleCv_.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                          [&] { return !toConsole_.empty(); });
    std::vector<uint8_t> out(toConsole_.begin(), toConsole_.end());
    toConsole_.clear();
    return out;
}

} // namespace vx::sim
