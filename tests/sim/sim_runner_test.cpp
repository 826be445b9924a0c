// The simulated receiver on its thread: on a real pseudo-terminal with a reader on the slave
// side, on an in-memory transport, with a recording, and stopped cleanly.
#include "link/catalogue.h"
#include "link/serial_link.h"
#include "sim/sim_harness.h"
#include "sim/sim_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace vxtest;
using vx::sim::SimRunner;
using vx::sim::SimRunnerOptions;

namespace {

using Clock = std::chrono::steady_clock;

// The slave side of the receiver's pseudo-terminal, opened like a serial port.
class SlavePort : public vx::FrameSink {
public:
    explicit SlavePort(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B38400);
        cfsetospeed(&t, B38400);
        tcsetattr(fd_, TCSANOW, &t);
        tcflush(fd_, TCIOFLUSH);
    }
    ~SlavePort() override {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        return ::write(fd_, bytes, length) == length ? 0 : -1;
    }
    // Whatever is waiting now.
    std::vector<uint8_t> readAvailable() {
        std::vector<uint8_t> out;
        uint8_t buf[512];
        ssize_t n;
        while ((n = ::read(fd_, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);
        return out;
    }
    // Reads whatever arrives for ms milliseconds.
    std::vector<uint8_t> readFor(int ms) {
        std::vector<uint8_t> out;
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                uint8_t buf[512];
                ssize_t n = ::read(fd_, buf, sizeof buf);
                if (n > 0) out.insert(out.end(), buf, buf + n);
            }
        }
        return out;
    }

private:
    int fd_ = -1;
};

// Waits until pred holds or ms pass.
template <typename Pred> bool waitFor(Pred pred, int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

} // namespace

TEST(SimRunner, PtyEndToEndGivesASteadyStreamWithoutErrors) {
    SimRunnerOptions o;
    o.sim.seed = 11;
    o.sim.utcStartUnixMs = kSimUtc;
    o.speed = 0; // stepped: each step's frames are on the line when advance returns
    SimRunner runner(o);
    std::string path;
    ASSERT_TRUE(runner.startOnPty(&path)) << runner.error();
    ASSERT_FALSE(path.empty());
    SlavePort port(path);
    ASSERT_TRUE(port.ok());

    // Twelve seconds of receiver time in steps of a fifth of a second, read as they come.
    PacketCutter cutter;
    std::vector<Packet> ps;
    for (int step = 0; step < 60; ++step) {
        ASSERT_TRUE(runner.advance(200));
        auto more = cutter.feed(port.readAvailable());
        ps.insert(ps.end(), more.begin(), more.end());
    }
    EXPECT_EQ(runner.simulatedMs(), 12000);
    EXPECT_EQ(runner.droppedBytes(), 0u);
    size_t reports3002 = 0;
    for (const Packet& p : ps) {
        EXPECT_EQ(p.result, 0) << hex(p.frame);
        EXPECT_EQ(p.decodeResult(), 0);
        reports3002 += p.code == 0x30 && p.sub == 2;
    }
    EXPECT_GT(reports3002, 30u) << "a steady 3002 stream";

    // A query through the port is answered at once: the receiver's clock stands still.
    ASSERT_EQ(vx::sendQuery(port, 0x21, 1), 0);
    bool answered = false;
    for (int i = 0; i < 200 && !answered; ++i)
        for (const Packet& p : cutter.feed(port.readFor(50)))
            answered |= p.result == 0 && p.code == 0x21 && p.sub == 1;
    EXPECT_TRUE(answered);
    EXPECT_EQ(runner.simulatedMs(), 12000);

    auto t0 = Clock::now();
    runner.stop();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    std::printf("stop() took %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 2000) << "stop returns promptly";
    EXPECT_FALSE(runner.running());
    EXPECT_FALSE(runner.advance(100)) << "a stopped receiver is not stepped";
}

TEST(SimRunner, KeepsRunningWhileNobodyReadsThePty) {
    SimRunnerOptions o;
    o.speed = 0;
    SimRunner runner(o);
    std::string path;
    ASSERT_TRUE(runner.startOnPty(&path));
    // A minute of receiver time with no reader: the output is dropped, the receiver goes on.
    ASSERT_TRUE(runner.advance(60000));
    EXPECT_EQ(runner.simulatedMs(), 60000);
    EXPECT_GT(runner.droppedBytes(), 0u);
    // A reader that opens the port late still gets whole frames after the first.
    SlavePort port(path);
    PacketCutter cutter;
    std::vector<Packet> ps;
    for (int step = 0; step < 100 && ps.size() < 60; ++step) {
        ASSERT_TRUE(runner.advance(200));
        auto more = cutter.feed(port.readAvailable());
        ps.insert(ps.end(), more.begin(), more.end());
    }
    size_t good = 0;
    for (size_t i = 1; i < ps.size(); ++i) {
        EXPECT_EQ(ps[i].result, 0);
        good += ps[i].result == 0;
    }
    EXPECT_GT(good, 50u);
}

TEST(SimRunner, InMemoryTransportFaultsAtRunTimeAndRecording) {
    char name[] = "/tmp/simrecXXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    SimRunnerOptions o;
    o.speed = 0;
    o.durationMs = 20000;
    o.recordPath = name;
    SimRunner runner(o);
    auto tr = std::make_shared<vx::sim::QueueTransport>();
    ASSERT_TRUE(runner.start(tr));

    std::vector<uint8_t> seen;
    ASSERT_TRUE(runner.advance(5000));
    auto first = tr->consoleRead(0);
    seen.insert(seen.end(), first.begin(), first.end());
    EXPECT_FALSE(first.empty());
    vx::sim::SimFaults silent;
    silent.silent = true;
    runner.setFaults(silent);
    EXPECT_TRUE(runner.faults().silent);
    // From the moment setFaults returns, not a byte: two seconds of receiver time in silence.
    ASSERT_TRUE(runner.advance(2000));
    EXPECT_GT(runner.stats().silenced, 20u);
    EXPECT_TRUE(tr->consoleRead(0).empty());
    runner.setFaults({});

    ASSERT_TRUE(runner.advance(20000));
    ASSERT_TRUE(runner.waitFinished(30000)) << "stops by itself at the duration";
    EXPECT_TRUE(runner.finished());
    EXPECT_EQ(runner.simulatedMs(), 20000);
    EXPECT_FALSE(runner.advance(1000)) << "a finished receiver is not stepped";
    auto rest = tr->consoleRead(0);
    seen.insert(seen.end(), rest.begin(), rest.end());
    runner.stop();

    std::ifstream in(name, std::ios::binary);
    std::vector<uint8_t> recorded((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::remove(name);
    EXPECT_EQ(recorded.size(), runner.stats().bytesSent) << "the recording holds everything sent";
    EXPECT_EQ(recorded, seen) << "and the console received all of it";
    PacketCutter cutter;
    auto ps = cutter.feed(recorded);
    for (const Packet& p : ps) EXPECT_EQ(p.result, 0);
    // 19 s of 3002 at 5 Hz after start-up would be 95; the silent stretch took 10 of them.
    EXPECT_EQ(countId(ps, 0x30, 2), 85u);
}

TEST(SimRunner, StartFailuresAreReported) {
    SimRunner runner;
    EXPECT_FALSE(runner.startOnDevice("/nonexistent/ttyX"));
    EXPECT_NE(runner.error().find("/nonexistent/ttyX"), std::string::npos);
    EXPECT_FALSE(runner.startOnDevice("/dev/null", 12345));
    EXPECT_NE(runner.error().find("baud"), std::string::npos);

    SimRunnerOptions o;
    o.recordPath = "/nonexistent/dir/rec.vxr";
    SimRunner r2(o);
    EXPECT_FALSE(r2.start(std::make_shared<vx::sim::QueueTransport>()));
    EXPECT_NE(r2.error().find("rec.vxr"), std::string::npos);
}

// The console's own serial link opens the receiver's pseudo-terminal like a serial port; its
// worker deframes a steady stream without a single error, and the console's queries are answered.
namespace {

class CountingReader : public vx::LinkReader {
public:
    void runReader(vx::LinkSession& session) override {
        uint8_t buf[vx::kRxBufferSize];
        for (;;) {
            uint16_t count = 0;
            int r = vx::PacketDeframer::readFrame(session.source(), buf, count);
            if (r == vx::kFrameStopped || r == vx::kFrameEndOfStream) return;
            std::lock_guard lock(m);
            if (r != 0) {
                ++errors;
                continue;
            }
            ++good;
            if (buf[1] == 0x30 && buf[2] == 0x02) ++dr;
            if (buf[1] == 0x21 && buf[2] == 0x01) ++rateReplies;
        }
    }
    std::mutex m;
    size_t good = 0, errors = 0, dr = 0, rateReplies = 0;
};

} // namespace

TEST(SimRunner, TheSerialLinkReadsTheSimulatedReceiver) {
    SimRunnerOptions o;
    o.speed = 50.0;
    SimRunner runner(o);
    std::string path;
    ASSERT_TRUE(runner.startOnPty(&path)) << runner.error();

    vx::ComSlots slots;
    ASSERT_TRUE(slots.setPath(0, path));
    vx::SerialLink link(slots);
    CountingReader reader;
    link.setReader(&reader);
    vx::LinkSettings settings; // COM1, 38400 8N1
    ASSERT_EQ(link.startLink(settings), 0) << link.lastError();

    auto dr = [&] {
        std::lock_guard lock(reader.m);
        return reader.dr;
    };
    // The receiver on the host clock, fast: the link keeps up with a stream far denser than
    // a real receiver's.
    ASSERT_TRUE(waitFor([&] { return dr() >= 40; }, 20000)) << "a steady 3002 stream";
    ASSERT_EQ(vx::sendQuery(link, 0x21, 1), 0);
    ASSERT_TRUE(waitFor(
        [&] {
            std::lock_guard lock(reader.m);
            return reader.rateReplies == 1;
        },
        10000));
    link.stopLink();
    runner.stop();
    std::lock_guard lock(reader.m);
    EXPECT_EQ(reader.errors, 0u);
    EXPECT_GT(reader.good, 100u);
}
