// Test helper: a child process whose standard output and error are read while it runs, and
// which can be sent a signal (a long-running command such as `vexor monitor`).
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vxtest {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        char real[4096];
        if (!argv.empty() && ::realpath(argv[0].c_str(), real)) program_ = real;
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::close(out[0]);
            ::close(err[0]);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        ::fcntl(out_, F_SETFL, O_NONBLOCK);
        ::fcntl(err_, F_SETFL, O_NONBLOCK);
    }
    ~ChildProcess() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            wait(std::chrono::seconds(10));
        }
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads what the child wrote so far into out() and err().
    void pump(int timeoutMs = 10) {
        pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        ::poll(p, 2, timeoutMs);
        char buf[4096];
        ssize_t n;
        while (out_ >= 0 && (n = ::read(out_, buf, sizeof buf)) > 0) out.append(buf, size_t(n));
        while (err_ >= 0 && (n = ::read(err_, buf, sizeof buf)) > 0) err.append(buf, size_t(n));
    }
    // Pumps until cond holds or timeout passes.
    template <class F> bool pumpUntil(F cond, std::chrono::milliseconds timeout) {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (!cond()) {
            if (std::chrono::steady_clock::now() > end) return false;
            pump();
        }
        return true;
    }
    void signal(int sig) { ::kill(pid_, sig); }
    // True while the child, once it runs its program (not before: a forked child holds the
    // test's descriptors until it execs), holds path open: a port it uses, a file it writes.
    bool holds(const std::string& path) const {
        const std::string dir = "/proc/" + std::to_string(pid_) + "/fd/";
        char exe[512];
        ssize_t e =
            ::readlink(("/proc/" + std::to_string(pid_) + "/exe").c_str(), exe, sizeof exe - 1);
        if (e <= 0 || std::string(exe, size_t(e)) != program_) return false;
        for (int fd = 0; fd < 64; ++fd) {
            char target[512];
            ssize_t n = ::readlink((dir + std::to_string(fd)).c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, size_t(n)) == path) return true;
        }
        return false;
    }
    // Waits for the child to end, reading its output meanwhile; its exit status, or -1.
    int wait(std::chrono::milliseconds timeout) {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (status_ < 0 && std::chrono::steady_clock::now() < end) {
            pump();
            int st = 0;
            if (::waitpid(pid_, &st, WNOHANG) == pid_)
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
        pump(0);
        return status_;
    }

    std::string out, err;

private:
    pid_t pid_ = -1;
    std::string program_; // argv[0], resolved
    int out_ = -1, err_ = -1;
    int status_ = -1;
};

} // namespace vxtest
