// The serial link on real pseudo-terminals: the link opens the slave like any port, the test
// plays the receiver on the master.
#include "link/link_texts.h"
#include "link/serial_link.h"
#include "link/serial_monitor_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "support/hex.h"
#include "support/pty.h"
#include "support/temp_path.h"

using namespace std::chrono_literals;
using vxtest::bytes;
using vxtest::hex;
using vxtest::waitFor;

namespace {

// A reader that deframes like the receive worker and keeps every frame (hex) it got.
class FrameCollector : public vx::LinkReader {
public:
    void runReader(vx::LinkSession& s) override {
        runs.fetch_add(1);
        int now = active.fetch_add(1) + 1;
        if (now > maxActive.load()) maxActive.store(now);
        uint8_t buf[vx::kRxBufferSize];
        for (;;) {
            uint16_t count = 0;
            int r = vx::PacketDeframer::readFrame(s.source(), buf, count);
            if (r == vx::kFrameStopped || r == vx::kFrameEndOfStream) break;
            std::lock_guard lk(mu);
            frames.push_back(std::to_string(r) + ":" + hex(buf, count));
        }
        active.fetch_sub(1);
    }
    size_t count() {
        std::lock_guard lk(mu);
        return frames.size();
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lk(mu);
        return frames;
    }
    std::mutex mu;
    std::vector<std::string> frames;
    std::atomic<int> runs{0}, active{0}, maxActive{0};
};

class ChunkTap : public vx::RawTap {
public:
    void rawChunk(const uint8_t* b, size_t n, uint8_t second) override {
        std::lock_guard lk(mu);
        chunks.push_back(hex(b, n));
        seconds.push_back(second);
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lk(mu);
        return chunks;
    }
    size_t count() {
        std::lock_guard lk(mu);
        return chunks.size();
    }
    std::mutex mu;
    std::vector<std::string> chunks;
    std::vector<uint8_t> seconds;
};

class CountingTx : public vx::TxObserver {
public:
    void frameSent() override { sent.fetch_add(1); }
    std::atomic<int> sent{0};
};

class LossRecorder : public vx::LinkLossObserver {
public:
    void linkLost(const vx::LinkLoss& loss) override {
        std::lock_guard lk(mu);
        losses.push_back(loss);
    }
    size_t count() {
        std::lock_guard lk(mu);
        return losses.size();
    }
    vx::LinkLoss first() {
        std::lock_guard lk(mu);
        return losses.at(0);
    }
    std::mutex mu;
    std::vector<vx::LinkLoss> losses;
};

// Another program holding a port exclusively: a child process opens it and sets TIOCEXCL,
// then answers whether its flag is still set until it is told to go. (The child only makes
// system calls: it is forked from a process with threads.)
class ExclusiveHolder {
public:
    explicit ExclusiveHolder(const std::string& path) {
        if (::pipe(toChild_) != 0 || ::pipe(fromChild_) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
            char ok = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 'R' : 'F';
            if (::write(fromChild_[1], &ok, 1) != 1) ::_exit(1);
            char c;
            while (::read(toChild_[0], &c, 1) == 1 && c == 'q') {
                int set = 0;
                ::ioctl(fd, TIOCGEXCL, &set);
                char answer = set ? '1' : '0';
                if (::write(fromChild_[1], &answer, 1) != 1) break;
            }
            ::_exit(0);
        }
    }
    ~ExclusiveHolder() {
        if (pid_ > 0) {
            char bye = 'x';
            (void)!::write(toChild_[1], &bye, 1);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {toChild_[0], toChild_[1], fromChild_[0], fromChild_[1]})
            if (fd >= 0) ::close(fd);
    }
    bool ready() { return answer() == 'R'; }
    bool flagSet() {
        char q = 'q';
        return ::write(toChild_[1], &q, 1) == 1 && answer() == '1';
    }

private:
    char answer() {
        char c = 0;
        return ::read(fromChild_[0], &c, 1) == 1 ? c : 0;
    }
    int toChild_[2] = {-1, -1}, fromChild_[2] = {-1, -1};
    pid_t pid_ = -1;
};

// Whether the exclusive flag of the terminal at path is set, asked through a descriptor of
// our own: -1 when it cannot be opened (busy for anyone but root).
int exclusiveFlag(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    int set = 0;
    ::ioctl(fd, TIOCGEXCL, &set);
    ::close(fd);
    return set;
}

struct LinkFixture : ::testing::Test {
    vxtest::Pty pty;
    vx::ComSlots slots;
    FrameCollector reader;
    ChunkTap tap;
    CountingTx tx;
    vx::SerialLink link{slots}; // last: stopped before the reader and taps go

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        slots.setPath(2, pty.slavePath()); // COM3
        link.setTxObserver(&tx);
        link.addRawTap(&tap);
    }
    vx::LinkSettings com3(int32_t baud = 38400, uint8_t parity = vx::kParityNone) {
        vx::LinkSettings s;
        s.portIndex = 2;
        s.baudRate = baud;
        s.parity = parity;
        return s;
    }
    void startWithReader() {
        link.setReader(&reader);
        ASSERT_EQ(link.startLink(com3()), 0) << link.lastError();
    }
};

TEST_F(LinkFixture, FramesWrittenOnTheMasterReachTheReaderAndTheTapsWhole) {
    startWithReader();
    pty.write(bytes("00 11 81 21 01 0A D1 82 81 21 01 0A 00 82"));
    ASSERT_TRUE(waitFor([&] { return reader.count() == 2; }));
    EXPECT_EQ(reader.snapshot(),
              (std::vector<std::string>{"0:81 21 01 0A D1 82", "2:81 21 01 0A 00 82"}));
    ASSERT_TRUE(waitFor([&] { return tap.count() == 2; }));
    // One chunk per frame, with the bytes between frames in front; the second byte given is
    // the chunk's byte 1.
    EXPECT_EQ(tap.snapshot(),
              (std::vector<std::string>{"00 11 81 21 01 0A D1 82", "81 21 01 0A 00 82"}));
    EXPECT_EQ(tap.seconds, (std::vector<uint8_t>{0x11, 0x21}));
    EXPECT_EQ(link.bytesReceived(), 14u);
    EXPECT_EQ(link.stopLink(), 0);
}

TEST_F(LinkFixture, TextModeCutsTheTapStreamAtCrLfAndDropsTheLineEnd) {
    startWithReader();
    link.setTapTextMode(true);
    pty.write(bytes("24 47 50 81 82 0D 0A 41 0D 0A"));
    ASSERT_TRUE(waitFor([&] { return tap.count() == 2; }));
    EXPECT_EQ(tap.snapshot(), (std::vector<std::string>{"24 47 50 81 82", "41"}));
}

// A tap that keeps every received byte (as a binary log does): the chunk and its line end.
class ReceivedBytesTap : public vx::RawTap {
public:
    void rawChunk(const uint8_t*, size_t, uint8_t) override {}
    void rawChunkReceived(const uint8_t* b, size_t n, size_t lineEnd, uint8_t) override {
        std::lock_guard lk(mu);
        received.insert(received.end(), b, b + n + lineEnd);
        lineEnds.push_back(lineEnd);
    }
    std::mutex mu;
    std::vector<uint8_t> received;
    std::vector<size_t> lineEnds;
};

TEST_F(LinkFixture, TextModeStillHandsTheRemovedLineEndToTapsThatKeepEveryByte) {
    ReceivedBytesTap all;
    link.addRawTap(&all);
    startWithReader();
    link.setTapTextMode(true);
    const auto sent = bytes("24 47 50 81 82 0D 0A 41 0D 0A 0D 42");
    pty.write(sent);
    ASSERT_TRUE(waitFor([&] { return link.bytesReceived() == sent.size(); }));
    EXPECT_EQ(link.stopLink(), 0); // hands on the unfinished "0D 42"
    link.removeRawTap(&all);
    EXPECT_EQ(tap.snapshot(), (std::vector<std::string>{"24 47 50 81 82", "41", "0D 42"}));
    EXPECT_EQ(hex(all.received.data(), all.received.size()), hex(sent.data(), sent.size()));
    EXPECT_EQ(all.lineEnds, (std::vector<size_t>{2, 2, 0}));
}

// A reader that takes one byte and then only waits for the stop: what the link read from the
// port stays in its read-ahead, not yet deframed.
class OneByteReader : public vx::LinkReader {
public:
    void runReader(vx::LinkSession& session) override {
        uint8_t b;
        bool took = false;
        for (;;) {
            int r = took ? vx::ByteSource::kNone : session.source().readByte(b);
            if (r == vx::ByteSource::kStop) return;
            if (r == vx::ByteSource::kGot) {
                took = true;
                continue;
            }
            if (stopping.load()) return;
            std::this_thread::sleep_for(1ms);
        }
    }
    void interruptReader() override { stopping = true; }
    std::atomic<bool> stopping{false};
};

TEST_F(LinkFixture, BytesReadFromThePortButNotYetDeframedReachTheTapsAtStop) {
    ReceivedBytesTap all;
    link.addRawTap(&all);
    OneByteReader slow;
    link.setReader(&slow);
    ASSERT_EQ(link.startLink(com3()), 0) << link.lastError();
    std::vector<uint8_t> sent(1000);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = uint8_t(i * 7);
    pty.write(sent);
    ASSERT_TRUE(waitFor([&] { return link.bytesReceived() == sent.size(); }));
    EXPECT_EQ(link.stopLink(), 0);
    link.removeRawTap(&all);
    // Every byte that came from the receiver is in the logs of every byte, in order.
    EXPECT_EQ(hex(all.received.data(), all.received.size()), hex(sent.data(), sent.size()));
}

TEST_F(LinkFixture, ChunksEndAt240BytesAndTheRestIsHandedOnAtStop) {
    startWithReader();
    std::vector<uint8_t> data(250, 0x55);
    pty.write(data);
    ASSERT_TRUE(waitFor([&] { return link.bytesReceived() == 250; }));
    ASSERT_TRUE(waitFor([&] { return tap.count() == 1; }));
    EXPECT_EQ(tap.snapshot()[0], hex(data.data(), 240));
    EXPECT_EQ(link.stopLink(), 0);
    ASSERT_EQ(tap.count(), 2u);
    EXPECT_EQ(tap.snapshot()[1], hex(data.data(), 10));
}

TEST_F(LinkFixture, SendFrameWritesWholeFramesOnlyWhileRunning) {
    auto frame = bytes("81 02 21 01 D9 82");
    EXPECT_EQ(link.sendFrame(frame.data(), uint16_t(frame.size())), -1);
    EXPECT_EQ(tx.sent.load(), 0);
    startWithReader();
    EXPECT_EQ(link.sendFrame(frame.data(), uint16_t(frame.size())), 0);
    EXPECT_EQ(tx.sent.load(), 1);
    EXPECT_EQ(hex(pty.read(6)), "81 02 21 01 D9 82");
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(link.sendFrame(frame.data(), uint16_t(frame.size())), -1);
    EXPECT_EQ(tx.sent.load(), 1);
    EXPECT_EQ(link.stopLink(), -1);
}

TEST_F(LinkFixture, FramesFromTwoThreadsNeverInterleaveOnTheWire) {
    startWithReader();
    // Two senders, each with its own 100-byte frame, 150 frames each.
    auto makeFrame = [](uint8_t code) {
        vx::TxFrame f;
        f.enc().startFrame(0x01, code);
        for (int i = 0; i < 60; ++i) f.enc().addByte(uint8_t(0x80 + i % 8)); // escaped
        EXPECT_TRUE(f.enc().finishFrame());
        return std::vector<uint8_t>(f.data(), f.data() + f.size());
    };
    auto a = makeFrame(0x21), b = makeFrame(0x22);
    constexpr int kEach = 150;
    const size_t total = size_t(kEach) * (a.size() + b.size());
    std::vector<uint8_t> wire;
    // The test reads the master while the two senders write (a full pseudo-terminal would
    // otherwise hold them).
    std::thread drainer([&] { wire = pty.read(total, 20s); });
    auto sender = [&](const std::vector<uint8_t>& f) {
        for (int i = 0; i < kEach; ++i) EXPECT_EQ(link.sendFrame(f.data(), uint16_t(f.size())), 0);
    };
    std::thread s1(sender, a), s2(sender, b);
    s1.join();
    s2.join();
    drainer.join();
    ASSERT_EQ(wire.size(), size_t(kEach) * (a.size() + b.size()));
    int na = 0, nb = 0;
    for (size_t pos = 0; pos < wire.size();) {
        const auto& f = wire[pos + 2] == 0x21 ? a : b;
        ASSERT_TRUE(std::equal(f.begin(), f.end(), wire.begin() + long(pos)))
            << "frame torn at byte " << pos;
        (wire[pos + 2] == 0x21 ? na : nb)++;
        pos += f.size();
    }
    EXPECT_EQ(na, kEach);
    EXPECT_EQ(nb, kEach);
    EXPECT_EQ(tx.sent.load(), 2 * kEach);
}

TEST_F(LinkFixture, PauseHoldsTheWorkerBetweenTwoBytesOfAFrame) {
    startWithReader();
    // Half a frame: the worker has taken it and waits for the rest.
    pty.write(bytes("81 21 01"));
    ASSERT_TRUE(waitFor([&] { return link.bytesReceived() == 3; }));
    ASSERT_TRUE(link.pauseLink());
    EXPECT_TRUE(link.paused());
    // While paused, the bytes belong to the tool: the worker sees none of them.
    pty.write(bytes("0A D1 82 81 21 01 0A D1 82"));
    std::vector<uint8_t> got;
    ASSERT_TRUE(waitFor([&] {
        uint8_t buf[32];
        size_t n = link.rawRead(buf, sizeof buf);
        got.insert(got.end(), buf, buf + n);
        return got.size() == 9;
    }));
    EXPECT_EQ(hex(got), "0A D1 82 81 21 01 0A D1 82");
    EXPECT_EQ(reader.count(), 0u);
    // rawRead feeds no tap: only the three bytes the worker took are in the tap (not yet a
    // whole chunk).
    EXPECT_EQ(tap.count(), 0u);

    ASSERT_TRUE(link.resumeLink());
    pty.write(bytes("81 21 01 0A D1 82"));
    ASSERT_TRUE(waitFor([&] { return reader.count() == 1; }));
    // The worker went on with its unfinished frame, which the new start byte restarted.
    EXPECT_EQ(reader.snapshot()[0], "0:81 21 01 0A D1 82");
    ASSERT_TRUE(waitFor([&] { return tap.count() == 1; }));
    EXPECT_EQ(tap.snapshot()[0], "81 21 01 81 21 01 0A D1 82");
}

TEST_F(LinkFixture, StopEndsAPausedWorkerAndLeavesNoThread) {
    startWithReader();
    ASSERT_TRUE(waitFor([&] { return reader.active.load() == 1; }));
    ASSERT_TRUE(link.pauseLink());
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(link.stopLink(), 0);
    // A hang guard, not a timing test: a stuck stop would take for ever.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
    EXPECT_EQ(reader.active.load(), 0);
    EXPECT_FALSE(link.pauseLink());
    EXPECT_FALSE(link.resumeLink());
}

TEST_F(LinkFixture, StartingARunningLinkStopsTheOldWorkerFirst) {
    startWithReader();
    ASSERT_TRUE(waitFor([&] { return reader.runs.load() == 1; }));
    ASSERT_EQ(link.startLink(com3(115200, vx::kParityEven)), 0) << link.lastError();
    ASSERT_TRUE(waitFor([&] { return reader.runs.load() == 2; }));
    EXPECT_EQ(reader.maxActive.load(), 1);
    pty.write(bytes("81 21 01 0A D1 82"));
    ASSERT_TRUE(waitFor([&] { return reader.count() == 1; }));
    EXPECT_EQ(link.settings().baudRate, 115200);
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(reader.active.load(), 0);
}

TEST_F(LinkFixture, ASecondLinkCannotOpenAPortInUse) {
    startWithReader();
    vx::SerialLink other(slots);
    EXPECT_EQ(other.startLink(com3()), -1);
    EXPECT_EQ(other.lastError(),
              "COM3 (" + pty.slavePath() + "): port busy — another program is using it");
    EXPECT_FALSE(other.running());
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(other.startLink(com3()), 0) << other.lastError();
    EXPECT_EQ(other.stopLink(), 0);
}

TEST_F(LinkFixture, OpenFailuresGiveMinusOneAndOneHumanLine) {
    struct Case {
        std::string path;
        int32_t baud;
        uint8_t parity;
        std::string error;
    };
    std::string regular = vxtest::uniqueTempPath("vx_not_a_port");
    std::ofstream(regular) << "x";
    std::string fifo = vxtest::uniqueTempPath("vx_fifo_port");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string dir = ::testing::TempDir();
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    // A path far too long for one status line: the reason must still be there, at the end of
    // a line that shows the path's start and end.
    std::string longPath = "/dev/serial/by-id/";
    for (int i = 0; i < 40; ++i) longPath += "usb-Vendor_Adapter_" + std::to_string(i) + "-";
    longPath += "port0";
    std::vector<Case> cases = {
        {"/dev/vx-no-such-tty", 38400, 0, "COM3 (/dev/vx-no-such-tty): no such device"},
        {regular, 38400, 0, "COM3 (" + regular + "): not a serial device"},
        // /dev/ptmx would make a fresh pseudo-terminal with nothing behind it.
        {"/dev/ptmx", 38400, 0, "COM3 (/dev/ptmx): not a serial device"},
        {"/dev/null", 38400, 0, "COM3 (/dev/null): not a serial device"},
        {dir, 38400, 0, "COM3 (" + vx::displayPath(dir) + "): not a serial device"},
        {fifo, 38400, 0, "COM3 (" + vx::displayPath(fifo) + "): not a serial device"},
        {longPath, 38400, 0, "COM3 (" + vx::displayPath(longPath) + "): no such device"},
        {pty.slavePath(), 57600, 0, "COM3 (" + pty.slavePath() + "): unsupported baud rate 57600"},
        {pty.slavePath(), 9600, 7, "COM3 (" + pty.slavePath() + "): unsupported parity code 7"},
    };
    for (const auto& c : cases) {
        slots.setPath(2, c.path);
        EXPECT_EQ(link.startLink(com3(c.baud, c.parity)), -1) << c.path;
        EXPECT_EQ(link.lastError(), c.error);
        EXPECT_LT(link.lastError().size(), 120u) << "one status line";
        EXPECT_FALSE(link.running());
        link.stopLink();
    }
    std::remove(regular.c_str());
    std::remove(fifo.c_str());
    vx::LinkSettings bad;
    bad.portIndex = 40;
    EXPECT_EQ(link.startLink(bad), -1);
    EXPECT_EQ(link.lastError(), "COM41: no such port (COM1 to COM32)");
    vx::LinkSettings replay;
    replay.replay = true;
    replay.portIndex = vx::kReplayPortIndex;
    replay.fileName = "/nonexistent/recording.bin";
    EXPECT_EQ(link.startLink(replay), -1);
    EXPECT_EQ(link.lastError(), "FILE (/nonexistent/recording.bin): no such file");
}

TEST_F(LinkFixture, APortAnotherProgramHoldsExclusivelyIsRefusedAndItsFlagKept) {
    ExclusiveHolder holder(pty.slavePath());
    ASSERT_TRUE(holder.ready());
    // Root could open it; the flag says another program is using it.
    EXPECT_EQ(link.startLink(com3()), -1);
    EXPECT_EQ(link.lastError(),
              "COM3 (" + pty.slavePath() + "): port busy — another program is using it");
    EXPECT_FALSE(link.running());
    EXPECT_TRUE(holder.flagSet()) << "a refused open must not clear the other program's flag";
}

TEST_F(LinkFixture, TheExclusiveFlagIsSetWhileRunningAndClearedByTheLinkThatSetIt) {
    EXPECT_EQ(exclusiveFlag(pty.slavePath()), 0);
    startWithReader();
    EXPECT_NE(exclusiveFlag(pty.slavePath()), 0); // set (or the open refused as busy)
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(exclusiveFlag(pty.slavePath()), 0);
}

TEST_F(LinkFixture, AClosedOtherSideIsReportedOnceAndTheLinkEndsCleanly) {
    LossRecorder losses;
    link.setLossObserver(&losses);
    startWithReader();
    pty.write(bytes("81 21 01 0A D1 82 81 21"));
    ASSERT_TRUE(waitFor([&] { return reader.count() == 1 && link.bytesReceived() == 8; }));
    EXPECT_FALSE(link.lost());
    EXPECT_EQ(link.lostReason(), "");

    pty.closeMaster(); // the receiver goes away
    ASSERT_TRUE(waitFor([&] { return losses.count() == 1; }));
    EXPECT_TRUE(link.lost());
    EXPECT_EQ(link.lostReason(), "device disconnected");
    vx::LinkLoss loss = losses.first();
    EXPECT_EQ(loss.portName, "COM3");
    EXPECT_EQ(loss.path, pty.slavePath());
    EXPECT_EQ(loss.reason, "device disconnected");
    EXPECT_LT(std::chrono::system_clock::now() - loss.when, 60s);
    EXPECT_EQ(link.loss().path, pty.slavePath());
    // The worker has ended its reader; nothing can be sent on a lost link.
    EXPECT_TRUE(waitFor([&] { return reader.active.load() == 0; }));
    EXPECT_FALSE(link.running());
    auto q = bytes("81 02 21 01 D9 82");
    EXPECT_EQ(link.sendFrame(q.data(), uint16_t(q.size())), -1);
    EXPECT_EQ(tx.sent.load(), 0);
    // Every received byte reached the taps, the unfinished chunk too.
    EXPECT_EQ(tap.snapshot(), (std::vector<std::string>{"81 21 01 0A D1 82", "81 21"}));

    // Stop Monitor after the loss releases the rest, once.
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(link.stopLink(), -1);
    EXPECT_EQ(losses.count(), 1u);

    // The device is back (a new pseudo-terminal in the slot): a new start works.
    vxtest::Pty again;
    slots.setPath(2, again.slavePath());
    ASSERT_EQ(link.startLink(com3()), 0) << link.lastError();
    EXPECT_FALSE(link.lost());
    EXPECT_EQ(link.lostReason(), "");
    again.write(bytes("81 21 01 0A D1 82"));
    ASSERT_TRUE(waitFor([&] { return reader.count() == 2; }));
    // A link stopped on purpose reports no loss when its device goes afterwards.
    EXPECT_EQ(link.stopLink(), 0);
    again.closeMaster();
    EXPECT_EQ(losses.count(), 1u);
    EXPECT_FALSE(link.lost());
}

TEST_F(LinkFixture, ReadBytesWithoutAWorkerFollowsItsBudgetAndFeedsTheTaps) {
    // No reader: the read side is the caller's.
    ASSERT_EQ(link.startLink(com3()), 0) << link.lastError();
    uint8_t b[4] = {};
    EXPECT_EQ(link.readBytes(b, 1, 10), 0);
    pty.write(bytes("81 21"));
    ASSERT_TRUE(waitFor([&] { return link.readBytes(b, 1, 10) == 1; }));
    EXPECT_EQ(b[0], 0x81);
    // Asking for three bytes when one is waiting keeps that byte for the next read.
    ASSERT_TRUE(waitFor([&] { return link.rawRead(b, 0) == 0; }));
    EXPECT_EQ(link.readBytes(b, 3, 10), 0);
    pty.write(bytes("01 0A D1 82"));
    ASSERT_TRUE(waitFor([&] { return link.readBytes(b, 3, 100) == 1; }));
    EXPECT_EQ(hex(b, 3), "21 01 0A");
    ASSERT_TRUE(waitFor([&] { return link.readBytes(b, 2, 10) == 1; }));
    EXPECT_EQ(hex(b, 2), "D1 82");
    ASSERT_EQ(tap.count(), 1u);
    EXPECT_EQ(tap.snapshot()[0], "81 21 01 0A D1 82");
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(link.readBytes(b, 1, 10), -1);
}

TEST_F(LinkFixture, ReadBytesLeavesTheBytesToARunningWorker) {
    startWithReader();
    uint8_t b[2];
    pty.write(bytes("81 21 01 0A D1 82"));
    EXPECT_EQ(link.readBytes(b, 1, 10), 0);
    EXPECT_EQ(link.rawRead(b, 2), 0u);
    ASSERT_TRUE(waitFor([&] { return reader.count() == 1; }));
}

TEST_F(LinkFixture, PurgeDiscardsWhatWasReceivedButNotRead) {
    ASSERT_EQ(link.startLink(com3()), 0);
    pty.write(bytes("11 22 33"));
    uint8_t b[8];
    ASSERT_TRUE(waitFor([&] { return link.readBytes(b, 1, 10) == 1; }));
    link.purgeLink();
    EXPECT_EQ(link.rawRead(b, sizeof b), 0u);
    pty.write(bytes("44"));
    ASSERT_TRUE(waitFor([&] { return link.rawRead(b, 1) == 1; }));
    EXPECT_EQ(b[0], 0x44);
}

TEST_F(LinkFixture, AnIdleOpenPortDoesNotSpin) {
    startWithReader();
    ASSERT_TRUE(waitFor([&] { return reader.active.load() == 1; }));
    auto cpu = [] {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return std::chrono::seconds(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               std::chrono::microseconds(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
    };
    auto c0 = cpu();
    std::this_thread::sleep_for(100ms);
    // A spinning worker would use about 100 ms here; an idle one well under a millisecond.
    // The bound only catches spinning.
    EXPECT_LT(cpu() - c0, 50ms);
    // Also when the device goes away (the master is closed): poll then reports a hang-up.
    pty.closeMaster();
    c0 = cpu();
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(cpu() - c0, 50ms);
    EXPECT_EQ(link.stopLink(), 0);
}

struct ReplayFixture : ::testing::Test {
    vx::ComSlots slots;
    FrameCollector reader;
    CountingTx tx;
    vx::SerialLink link{slots};
    std::string file = vxtest::uniqueTempPath("vx_replay_test");
    ~ReplayFixture() override {
        link.stopLink();
        std::remove(file.c_str());
    }

    vx::LinkSettings replaySettings() {
        vx::LinkSettings s;
        s.replay = true;
        s.portIndex = vx::kReplayPortIndex;
        s.fileName = file;
        return s;
    }
};

TEST_F(ReplayFixture, ReplayReadsTheWholeFileThenIdlesUntilStop) {
    // Many frames, more than the read-ahead holds, so the file is read in several blocks.
    std::vector<uint8_t> stream;
    auto frame = bytes("81 21 01 0A D1 82");
    constexpr int kFrames = 30000;
    for (int i = 0; i < kFrames; ++i) stream.insert(stream.end(), frame.begin(), frame.end());
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(stream.data()), long(stream.size()));
    }
    link.setReader(&reader);
    link.setTxObserver(&tx);
    ASSERT_EQ(link.startLink(replaySettings()), 0) << link.lastError();
    EXPECT_TRUE(link.replaying());
    ASSERT_TRUE(waitFor([&] { return link.idleAtEnd(); }));
    EXPECT_EQ(reader.count(), size_t(kFrames));
    EXPECT_EQ(link.bytesReceived(), stream.size());
    // Sending in replay mode writes nothing, succeeds and still lights the TX lamp.
    auto q = bytes("81 02 21 01 D9 82");
    EXPECT_EQ(link.sendFrame(q.data(), uint16_t(q.size())), 0);
    EXPECT_EQ(tx.sent.load(), 1);
    EXPECT_EQ(reader.active.load(), 1); // still polling at the end of the file
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(reader.active.load(), 0);
}

TEST_F(ReplayFixture, ADirectoryIsRefusedWithItsReason) {
    std::string dir = ::testing::TempDir();
    vx::LinkSettings s = replaySettings();
    s.fileName = dir;
    EXPECT_EQ(link.startLink(s), -1);
    EXPECT_EQ(link.lastError(),
              "FILE (" + vx::displayPath(dir) + "): is a directory, not a recording");
    EXPECT_EQ(link.lastErrorReason(), "is a directory, not a recording");
    EXPECT_FALSE(link.running());
}

TEST_F(ReplayFixture, AFifoIsReadWithoutBlockingAndStopsWhileItsWriterIsIdle) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    // The writer (read-write, so that opening it does not wait for a reader).
    int writer = ::open(file.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    link.setReader(&reader);
    ASSERT_EQ(link.startLink(replaySettings()), 0) << link.lastError();
    auto frame = bytes("81 21 01 0A D1 82");
    ASSERT_EQ(::write(writer, frame.data(), frame.size()), ssize_t(frame.size()));
    ASSERT_TRUE(waitFor([&] { return reader.count() == 1; }));
    // The writer now sends nothing: Stop must not wait for it.
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        link.stopLink();
        stopped = true;
    });
    bool inTime = waitFor([&] { return stopped.load(); }, 5s); // a hang guard only
    EXPECT_TRUE(inTime) << "Stop waits for the FIFO's writer";
    ::close(writer); // lets a blocked read end, so the test itself ends
    stopper.join();
    EXPECT_EQ(reader.active.load(), 0);
}

TEST_F(LinkFixture, AToolTalksToTheReceiverWhileTheWorkerIsPaused) {
    startWithReader();
    ASSERT_TRUE(link.pauseLink());
    vx::SerialMonitorLink mon(link);
    EXPECT_EQ(vx::sendWakeBytes(mon), 0);
    EXPECT_EQ(hex(pty.read(5)), "05 05 05 05 05");
    pty.write(bytes("06"));
    EXPECT_TRUE(vx::waitMonitorAck(mon, 3000));
    EXPECT_EQ(reader.count(), 0u);
    ASSERT_TRUE(link.resumeLink());
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(mon.rawRead(nullptr, 0), -1);
}

// The one-owner rule: while a tool holds the link's claim, every other sender is refused and
// the tool's frames alone reach the wire; the claim survives a restart and its end gives the
// link back.
class ClaimRecorder : public vx::ClaimObserver {
public:
    void linkClaimChanged(bool claimed) override { changes.push_back(claimed); }
    std::vector<bool> changes;
};

TEST_F(LinkFixture, AClaimMakesItsOwnerTheOnlySender) {
    ClaimRecorder observer;
    link.setClaimObserver(&observer);
    startWithReader();
    auto query = bytes("81 02 21 01 D9 82");
    auto restart = bytes("02 00 8C 00 8C 03");
    auto claim = link.claim();
    ASSERT_NE(claim, nullptr);
    EXPECT_TRUE(link.claimed());
    EXPECT_EQ(link.claim(), nullptr) << "one owner at a time";
    EXPECT_EQ(link.sendFrame(query.data(), uint16_t(query.size())), -1);
    EXPECT_EQ(claim->sendFrame(restart.data(), uint16_t(restart.size())), 0);
    EXPECT_EQ(hex(pty.read(6)), "02 00 8C 00 8C 03");
    EXPECT_EQ(tx.sent.load(), 1) << "the owner's frames light the TX lamp like any other";

    // Stop and Start Monitor while the tool owns the link: it still does.
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(claim->sendFrame(restart.data(), uint16_t(restart.size())), -1) << "stopped";
    ASSERT_EQ(link.startLink(com3()), 0);
    EXPECT_EQ(link.sendFrame(query.data(), uint16_t(query.size())), -1);
    EXPECT_EQ(claim->sendFrame(restart.data(), uint16_t(restart.size())), 0);
    EXPECT_EQ(hex(pty.read(6)), "02 00 8C 00 8C 03");

    claim.reset();
    EXPECT_FALSE(link.claimed());
    EXPECT_EQ(link.sendFrame(query.data(), uint16_t(query.size())), 0);
    EXPECT_EQ(hex(pty.read(6)), "81 02 21 01 D9 82");
    EXPECT_EQ(observer.changes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(pty.readAvailable().empty()) << "nothing else reached the wire";
    link.setClaimObserver(nullptr);
}

TEST_F(LinkFixture, NoOtherFrameStartsOnTheWireOnceTheClaimIsMade) {
    startWithReader();
    auto query = bytes("81 02 21 01 D9 82");
    std::atomic<bool> stop{false};
    std::atomic<int> accepted{0};
    std::thread sender([&] {
        while (!stop) {
            if (link.sendFrame(query.data(), uint16_t(query.size())) == 0) ++accepted;
            std::this_thread::sleep_for(std::chrono::microseconds(200)); // the pty keeps up
        }
    });
    ASSERT_TRUE(waitFor([&] { return accepted > 10; }));
    auto claim = link.claim();
    ASSERT_NE(claim, nullptr);
    const int before = accepted;
    auto restart = bytes("02 00 8C 00 8C 03");
    ASSERT_EQ(claim->sendFrame(restart.data(), uint16_t(restart.size())), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the sender keeps trying
    stop = true;
    sender.join();
    // A send that returned before the claim may be counted just after `before` was read: at
    // most that one more, and every accepted frame is on the wire ahead of the owner's.
    EXPECT_LE(accepted.load(), before + 1);
    std::vector<uint8_t> wire = pty.readAvailable();
    ASSERT_EQ(wire.size(), size_t(accepted.load()) * 6 + 6);
    EXPECT_EQ(hex(wire.data() + wire.size() - 6, 6), "02 00 8C 00 8C 03")
        << "the owner's frame is the last on the wire";
}

TEST_F(LinkFixture, AToolWaitingForBytesIsWokenByThemAndByStop) {
    startWithReader();
    ASSERT_TRUE(link.pauseLink());
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        link.waitReadable(60000);
        woke = true;
    });
    pty.write(bytes("06"));
    EXPECT_TRUE(waitFor([&] { return woke.load(); }));
    waiter.join();
    uint8_t b = 0;
    EXPECT_EQ(link.rawRead(&b, 1), 1u);
    EXPECT_EQ(b, 0x06);

    woke = false;
    std::thread stopped([&] {
        link.waitReadable(60000);
        woke = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let it reach its poll
    EXPECT_EQ(link.stopLink(), 0) << "stop wakes the waiting tool and closes the port";
    EXPECT_TRUE(waitFor([&] { return woke.load(); }));
    stopped.join();
    EXPECT_FALSE(link.waitReadable(60000)) << "a stopped link returns at once";
}

} // namespace
