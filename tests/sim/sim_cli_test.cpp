// `vexor sim` as a user runs it: the pseudo-terminal path first, a clean stop on SIGINT, a
// recording that `vexor decode` reads without errors, and the committed sample recording.
#include "sim/sim_harness.h"
#include "support/child_process.h"
#include "support/run_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using vxtest::runCommand;

namespace {

const std::string vexor = VEXOR_BINARY;
using Clock = std::chrono::steady_clock;

std::string tempPath(const char* stem) {
    std::string p = std::string("/tmp/") + stem + "XXXXXX";
    int fd = mkstemp(p.data());
    if (fd >= 0) close(fd);
    return p;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A child process with its standard output on a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;

    explicit Child(const std::vector<std::string>& argv) {
        int p[2];
        if (pipe(p) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(p[1], 1);
            close(p[0]);
            close(p[1]);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(p[1]);
        out = p[0];
    }
    ~Child() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (out >= 0) close(out);
    }
    std::string firstLine(int timeoutMs) {
        std::string line;
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end) {
            pollfd pf{out, POLLIN, 0};
            if (poll(&pf, 1, 50) <= 0) continue;
            char c;
            if (read(out, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return line;
    }
    // Waits for the exit; the status, or -1 when it did not end in time.
    int waitExit(int timeoutMs) {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end) {
            int st = 0;
            if (waitpid(pid, &st, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
            usleep(10000);
        }
        return -1;
    }
};

} // namespace

TEST(SimCli, PrintsThePtyPathFirstAndStopsCleanlyOnSigint) {
    // Fast, so that the frames below come in a blink; the stream itself is what a user sees.
    Child sim({vexor, "sim", "--speed", "50", "--quiet"});
    ASSERT_GT(sim.pid, 0);
    std::string path = sim.firstLine(10000);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    vxtest::PacketCutter cutter;
    size_t good = 0;
    auto end = Clock::now() + std::chrono::milliseconds(20000);
    while (good <= 20 && Clock::now() < end) {
        pollfd pf{fd, POLLIN, 0};
        if (poll(&pf, 1, 20) > 0) {
            uint8_t buf[512];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                for (const auto& p : cutter.feed({buf, buf + n})) good += p.result == 0;
        }
    }
    close(fd);
    EXPECT_GT(good, 20u);

    kill(sim.pid, SIGINT);
    EXPECT_EQ(sim.waitExit(5000), 0);
}

TEST(SimCli, ARecordingDecodesWithoutErrors) {
    std::string rec = tempPath("vexorsim");
    auto r = runCommand(vexor +
                        " sim --device /dev/null --speed 10000 --duration 30 --seed 3 --record " +
                        rec + " --corrupt 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "/dev/null\n");
    EXPECT_NE(r.err.find("30.0 s of receiver time"), std::string::npos) << r.err;
    auto s = runCommand(vexor + " stats --json " + rec);
    EXPECT_EQ(s.status, 0);
    EXPECT_NE(s.out.find("\"errors\": {}"), std::string::npos) << s.out;
    EXPECT_NE(s.out.find("\"3002\": 145"), std::string::npos) << s.out;
    auto d = runCommand(vexor + " decode --json " + rec);
    EXPECT_EQ(d.out.find("\"result\": 2"), std::string::npos);
    std::remove(rec.c_str());
}

TEST(SimCli, FaultOptionsShowInTheRecording) {
    std::string rec = tempPath("vexorsim");
    auto r =
        runCommand(vexor + " sim --device /dev/null --speed 10000 --duration 60 --corrupt 0.2 " +
                   "--garbage 0.3 --quiet --record " + rec);
    ASSERT_EQ(r.status, 0) << r.err;
    auto s = runCommand(vexor + " stats --json " + rec);
    // About a fifth of some 1300 frames come with a checksum error.
    auto pos = s.out.find("\"2\": ");
    ASSERT_NE(pos, std::string::npos) << s.out;
    int checksumErrors = std::stoi(s.out.substr(pos + 5));
    EXPECT_GT(checksumErrors, 180);
    EXPECT_LT(checksumErrors, 340);
    std::remove(rec.c_str());
}

TEST(SimCli, UsageErrorsAndStartFailures) {
    for (const char* args : {"sim --speed", "sim --drop-acks 2", "sim --result 00",
                             "sim --utc 2024-13-01T00:00:00", "sim --frobnicate"}) {
        auto r = runCommand(vexor + " " + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    auto r = runCommand(vexor + " sim --device /nonexistent/tty --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/nonexistent/tty"), std::string::npos);
}

TEST(SimCli, TheCommittedSampleIsWhatTheScriptMakes) {
    const std::string sample = std::string(CORPUS_DIR) + "/../../data/sample.vxr";
    auto committed = readFile(sample);
    ASSERT_GT(committed.size(), 20000u) << sample;
    auto s = runCommand(vexor + " stats --json " + sample);
    EXPECT_NE(s.out.find("\"errors\": {}"), std::string::npos) << s.out;
    // The same options as scripts/make-sample-recording.sh.
    std::string rec = tempPath("vexorsample");
    auto r = runCommand(vexor + " sim --device /dev/null --speed 10000 --duration 60 --seed 1 " +
                        "--utc 2024-05-13T12:00:00 --quiet --record " + rec);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFile(rec) == committed)
        << "data/sample.vxr is out of date: run scripts/make-sample-recording.sh";
    std::remove(rec.c_str());
}

// A recording into a FIFO whose reader goes away: the recording stops, saying so, and the
// receiver goes on serving its port.
TEST(SimCli, ARecordingWhoseReaderLeavesStopsWhileTheReceiverGoesOn) {
    std::string fifo = tempPath("vexorsimfifo");
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    vxtest::ChildProcess sim({vexor, "sim", "--speed", "20", "--quiet", "--record", fifo});
    ASSERT_TRUE(sim.pumpUntil([&] { return sim.out.find('\n') != std::string::npos; },
                              std::chrono::seconds(10)));
    const std::string port = sim.out.substr(0, sim.out.find('\n'));
    // Recording: bytes come through the FIFO.
    size_t got = 0;
    auto end = Clock::now() + std::chrono::seconds(10);
    while (got < 1000 && Clock::now() < end) {
        pollfd pf{reader, POLLIN, 0};
        uint8_t buf[4096];
        if (poll(&pf, 1, 20) > 0)
            got += size_t(std::max<ssize_t>(0, read(reader, buf, sizeof buf)));
    }
    ASSERT_GE(got, 1000u);
    close(reader);
    EXPECT_TRUE(sim.pumpUntil(
        [&] { return sim.err.find("the receiver goes on without recording") != std::string::npos; },
        std::chrono::seconds(10)))
        << sim.err;
    EXPECT_EQ(sim.err, "vexor sim: writing the recording " + fifo +
                           " failed: Broken pipe; the receiver goes on without recording\n");
    auto r = runCommand(vexor + " send --port " + port + " query 21 01");
    EXPECT_EQ(r.status, 0) << r.err;
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(std::chrono::seconds(10)), 1); // the recording is not complete
    std::remove(fifo.c_str());
}
