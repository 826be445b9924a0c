// Test helpers: a pseudo-terminal that plays the receiver, and waiting for conditions.
//
// The code under test opens slavePath() like any serial port; the test writes the receiver's
// bytes on the master and reads what the console sent from it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace vxtest {

// Polls cond every millisecond until it holds or timeout passes; returns its last value.
// Timeouts are generous: they only decide how long a failing test takes.
inline bool waitFor(const std::function<bool()>& cond,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class Pty {
public:
    Pty() {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        path_ = name;
        // Not inherited by child processes (a `vexor monitor` under test): the test must be
        // able to close the master and so hang up the slave.
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        // Raw on the slave side until the code under test configures it, so nothing is
        // echoed or translated.
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() {
        closeMaster();
        if (slave_ >= 0) ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0 && !path_.empty(); }
    const std::string& slavePath() const { return path_; }
    int masterFd() const { return master_; }

    // Writes every byte on the master (the receiver sending).
    void write(const std::vector<uint8_t>& bytes) { write(bytes.data(), bytes.size()); }
    void write(const uint8_t* p, size_t n) {
        size_t done = 0;
        while (done < n) {
            ssize_t w = ::write(master_, p + done, n - done);
            if (w > 0) {
                done += size_t(w);
            } else {
                pollfd pf{master_, POLLOUT, 0};
                ::poll(&pf, 1, 100);
            }
        }
    }

    // Reads from the master (what the console sent) until n bytes came or timeout passed.
    std::vector<uint8_t> read(size_t n,
                              std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::vector<uint8_t> out;
        auto end = std::chrono::steady_clock::now() + timeout;
        while (out.size() < n && std::chrono::steady_clock::now() < end) {
            uint8_t buf[4096];
            ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
            if (r > 0) {
                out.insert(out.end(), buf, buf + r);
            } else {
                pollfd pf{master_, POLLIN, 0};
                ::poll(&pf, 1, 10);
            }
        }
        return out;
    }

    // Whatever is waiting on the master now.
    std::vector<uint8_t> readAvailable() {
        std::vector<uint8_t> out;
        uint8_t buf[4096];
        ssize_t r;
        while ((r = ::read(master_, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + r);
        return out;
    }

    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

} // namespace vxtest
