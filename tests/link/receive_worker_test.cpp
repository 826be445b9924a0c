// The receive worker end to end: the receiver's bytes written on a pseudo-terminal's master
// go through the serial link, the worker, the hand-over queue and the consumer to the
// recording registry's handlers, in routing-table order.
#include "link/receive_worker.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "support/hex.h"
#include "support/pty.h"
#include "support/recording_registry.h"
#include "support/stepped_replay_clock.h"
#include "support/temp_path.h"

using namespace std::chrono_literals;
using vx::WindowId;
using vxtest::bytes;
using vxtest::waitFor;

namespace {

// The wire form of a receiver packet: h1, h2 and the payload escaped, with its checksum.
std::vector<uint8_t> packet(uint8_t h1, uint8_t h2, const std::vector<uint8_t>& payload) {
    vx::TxFrame f;
    f.enc().startFrame(h1, h2);
    for (uint8_t b : payload) f.enc().addByte(b);
    EXPECT_TRUE(f.enc().finishFrame());
    return {f.data(), f.data() + f.size()};
}
std::vector<uint8_t> zeros(size_t n) {
    return std::vector<uint8_t>(n, 0);
}
std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const auto k3002 = packet(0x30, 0x02, zeros(46));
const auto k1201 = packet(0x12, 0x01, bytes("01 00 00 01"));
const auto k2101 = packet(0x21, 0x01, bytes("0A"));
const auto k3201 = packet(0x32, 0x01, zeros(18));

class ChunkCounter : public vx::RawTap {
public:
    void rawChunk(const uint8_t* b, size_t n, uint8_t) override {
        std::lock_guard lk(mu);
        chunks.push_back(vxtest::hex(b, n));
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lk(mu);
        return chunks;
    }
    std::mutex mu;
    std::vector<std::string> chunks;
};

struct WorkerFixture : ::testing::Test {
    vxtest::Pty pty;
    vx::ComSlots slots;
    vx::HandoverQueue queue{vx::HandoverQueue::kDefaultCapacity};
    vx::MonitorFlags flags;
    vx::ReceiveWorker worker{queue, &flags};
    vxtest::RecordingRegistry registry;
    vx::HandlerTable handlers;
    vxtest::CallRecorder recorder;
    vx::DeliveryConsumer consumer{queue, registry, handlers};
    ChunkCounter tap;
    vx::SerialLink link{slots};
    std::unique_ptr<vxtest::ConsumerThread> consumerThread;
    std::atomic<int32_t> replayDelay{0};

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        recorder.install(handlers);
        slots.setPath(0, pty.slavePath());
        link.setReader(&worker);
        link.addRawTap(&tap);
    }
    void TearDown() override {
        consumerThread.reset();
        link.stopLink();
    }
    void startPort() {
        vx::LinkSettings s; // COM1, 38400, 8-None-1
        ASSERT_EQ(link.startLink(s), 0) << link.lastError();
        consumerThread = std::make_unique<vxtest::ConsumerThread>(consumer);
    }
    // Writes the bytes and waits until the frames have been delivered.
    void receive(const std::vector<uint8_t>& wire, size_t frames) {
        uint64_t before = consumerThread->delivered();
        pty.write(wire);
        ASSERT_TRUE(waitFor([&] { return consumerThread->delivered() >= before + frames; }));
    }
};

TEST_F(WorkerFixture, PacketsReachTheTapsAndTheWindowsInTableOrder) {
    registry.showAll();
    startPort();
    receive(bytes("55 AA") + k3002 + k1201, 2);
    EXPECT_EQ(
        recorder.calls(),
        (std::vector<std::string>{
            "3002 TgenPktForm.RawPacket", "3002 TbatchGenericForm.RawPacket",
            "3002 TVexorTraceForm.Trace", "3002 TforceToMonForm.Reply", "3002 TmainForm.FastFix",
            "3002 Tpkt3002Form.Reply", "3002 TheadingPlotForm.Reply", "3002 TlogForm.Reply(2)",
            "3002 TNMEAOutputForm.NmeaGgaPosition", "3002 TbufferedDrForm.Reply",
            "1201 TgenPktForm.RawPacket", "1201 TbatchGenericForm.RawPacket",
            "1201 TVexorTraceForm.Trace", "1201 TmainForm.StartupStatus",
            "1201 TmainForm.ResetRunningTime", "1201 TRepeatedResetTestForm.Reply"}));
    ASSERT_TRUE(waitFor([&] { return tap.snapshot().size() == 2; }));
    EXPECT_EQ(tap.snapshot()[0], vxtest::hex(bytes("55 AA") + k3002));
    EXPECT_EQ(tap.snapshot()[1], vxtest::hex(k1201));
    EXPECT_EQ(flags.rxSeen.load(), 1);
    EXPECT_EQ(flags.errorPending.load(), 0);
}

TEST_F(WorkerFixture, TheDecodedRecordTravelsWithTheDelivery) {
    registry.setVisible(WindowId::Tpkt2101Form);
    int rate = -1;
    handlers.set(WindowId::Tpkt2101Form, vx::HandlerRole::Reply,
                 [&](const vx::Delivery& d, const vx::RouteStep&) {
                     if (auto* r = d.recordAs<vx::EngineRateRecord>()) rate = r->rate();
                 });
    startPort();
    receive(k2101, 1);
    consumerThread->stop(); // the handler's variable is read below
    EXPECT_EQ(rate, 10);
}

TEST_F(WorkerFixture, ABadChecksumReachesOnlyTheErrorWindow) {
    registry.showAll();
    startPort();
    receive(bytes("81 21 01 0A 00 82"), 1);
    EXPECT_EQ(recorder.calls(),
              (std::vector<std::string>{"2101 TerrorForm.ErrorReport Checksum Error:     "
                                        "81 21 01 0A 00 82 "}));
    EXPECT_EQ(flags.errorPending.load(), 1);
    EXPECT_EQ(flags.rxSeen.load(), 0);
}

TEST_F(WorkerFixture, AHiddenDialogMissesItsReplyWhileTheGenericWindowSeesIt) {
    registry.setVisible(WindowId::TgenPktForm);
    startPort();
    receive(k2101, 1);
    EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"2101 TgenPktForm.RawPacket"}));
    ASSERT_TRUE(waitFor([&] { return tap.snapshot().size() == 1; }));
    EXPECT_EQ(tap.snapshot()[0], "81 21 01 0A D1 82");
}

TEST_F(WorkerFixture, AWrongLengthIsRefusedAfterTheGenericWindowSawIt) {
    registry.showAll();
    startPort();
    receive(packet(0x21, 0x01, bytes("0A 0B")), 1);
    EXPECT_EQ(recorder.calls(),
              (std::vector<std::string>{
                  "2101 TgenPktForm.RawPacket", "2101 TbatchGenericForm.RawPacket",
                  "2101 TerrorForm.ErrorReport Packet Length Error:81 21 01 0A 0B C6 82 "}));
    EXPECT_EQ(flags.errorPending.load(), 1);
}

TEST_F(WorkerFixture, Code23ReachesOnlyTheFixWindowAndOnlyWhileVisible) {
    registry.showAll();
    startPort();
    auto alt = packet(0x23, 0x05, bytes("01 02 03"));
    receive(alt, 1);
    EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"2305 Tpkt31Form.AltFix(5)"}));
    registry.setVisible(WindowId::Tpkt31Form, false);
    receive(alt, 1);
    EXPECT_EQ(recorder.size(), 1u);
}

TEST_F(WorkerFixture, AStartupReportResetsTheRunningTimeEvenWhenTheMainWindowIsHidden) {
    startPort();
    receive(k1201, 1);
    EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"1201 TmainForm.StartupStatus",
                                                          "1201 TmainForm.ResetRunningTime"}));
}

TEST_F(WorkerFixture, AFrameTooShortForItsHeaderIsALengthError) {
    registry.showAll();
    startPort();
    // 81 FD 82 sums to zero: a good checksum, but no header bytes.
    receive(bytes("81 FD 82 81 10 ED 82"), 2);
    EXPECT_EQ(recorder.calls(),
              (std::vector<std::string>{"FD82 TerrorForm.ErrorReport Packet Length Error:81 FD 82 ",
                                        "10ED TerrorForm.ErrorReport Packet Length Error:"
                                        "81 10 ED 82 "}));
}

TEST_F(WorkerFixture, DiagnosticReportsSetTheDiagnosticFlag) {
    startPort();
    receive(packet(0x70, 0x30, bytes("00")), 1);
    EXPECT_EQ(flags.rxDiagSeen.load(), 0);
    receive(packet(0x70, 0x01, bytes("00")), 1);
    EXPECT_EQ(flags.rxDiagSeen.load(), 1);
}

TEST_F(WorkerFixture, StopReturnsWhileTheWorkerWaitsForAFullQueue) {
    vx::HandoverQueue tiny(4);
    vx::ReceiveWorker w(tiny, &flags);
    link.setReader(&w);
    vx::LinkSettings s;
    ASSERT_EQ(link.startLink(s), 0) << link.lastError();
    // Nobody consumes: the worker fills the queue and waits.
    std::vector<uint8_t> wire;
    for (int i = 0; i < 20; ++i) wire = wire + k2101;
    pty.write(wire);
    ASSERT_TRUE(waitFor([&] { return tiny.size() == tiny.capacity(); }));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s); // a hang guard only
    // What was queued is still there for the consumer.
    EXPECT_EQ(tiny.size(), 4u);
}

// A replay whose pauses are waited out on a clock the test steps.
struct ReplayWorkerFixture : WorkerFixture {
    std::string file = vxtest::uniqueTempPath("vx_worker_replay");
    ~ReplayWorkerFixture() override { std::remove(file.c_str()); }
    vxtest::SteppedReplayClock clock;
    std::vector<std::string> codes;
    std::mutex mu;

    void startReplay(const std::vector<uint8_t>& stream) {
        {
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(stream.data()), long(stream.size()));
        }
        consumer.setObserver([this](const vx::Delivery& d) {
            char c[8];
            std::snprintf(c, sizeof c, "%02X%02X", d.h1, d.h2);
            std::lock_guard lk(mu);
            codes.push_back(c);
        });
        vx::LinkSettings s;
        s.replay = true;
        s.portIndex = vx::kReplayPortIndex;
        s.fileName = file;
        s.replayDelay = &replayDelay;
        link.setReplayClock(&clock);
        ASSERT_EQ(link.startLink(s), 0) << link.lastError();
        consumerThread = std::make_unique<vxtest::ConsumerThread>(consumer);
    }
    size_t arrived() {
        std::lock_guard lk(mu);
        return codes.size();
    }
};

TEST_F(ReplayWorkerFixture, EachDrDataReportIsFollowedByTheReplayDelay) {
    replayDelay.store(100);
    startReplay(k2101 + k3002 + k3201 + k3002 + k3201);
    // The worker pauses after routing each 3002, the 3002 delivered first: nothing after it
    // comes until the delay has passed on the replay's clock, to the millisecond.
    ASSERT_TRUE(clock.waitPausing(1));
    ASSERT_TRUE(waitFor([&] { return arrived() == 2; }));
    clock.advance(99);
    EXPECT_TRUE(clock.pausing());
    EXPECT_EQ(arrived(), 2u);
    clock.advance(1);
    ASSERT_TRUE(clock.waitPausing(2));
    ASSERT_TRUE(waitFor([&] { return arrived() == 4; }));
    clock.advance(100);
    ASSERT_TRUE(waitFor([&] { return arrived() == 5; }));
    std::lock_guard lk(mu);
    EXPECT_EQ(codes, (std::vector<std::string>{"2101", "3002", "3201", "3002", "3201"}));
    EXPECT_EQ(clock.pauses(), (std::vector<int32_t>{100, 100}));
}

TEST_F(ReplayWorkerFixture, OnlyDrDataReportsArePacedAndTheDelayIsReadEachTime) {
    // A delay far longer than the test: packets before the first 3002 arrive at once, the
    // worker then pauses, and stop wakes it.
    replayDelay.store(600000);
    startReplay(k2101 + k3201 + k1201 + k3002 + k3201);
    ASSERT_TRUE(clock.waitPausing(1));
    ASSERT_TRUE(waitFor([&] { return arrived() == 4; }));
    clock.advance(599999);
    EXPECT_TRUE(clock.pausing());
    EXPECT_EQ(arrived(), 4u);
    EXPECT_EQ(clock.pauses(), (std::vector<int32_t>{600000}));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s); // a hang guard only
}

TEST_F(ReplayWorkerFixture, TheTapsSeeNothingBeyondTheReportTheReplayPausesAfter) {
    // The four packets fit one block the worker takes from the file; while it pauses after
    // the 3002, the raw view and the logs have the bytes up to that report and no more.
    replayDelay.store(600000);
    startReplay(k2101 + k3002 + k3201 + k1201);
    ASSERT_TRUE(clock.waitPausing(1));
    ASSERT_TRUE(waitFor([&] { return arrived() == 2; }));
    ASSERT_TRUE(waitFor([&] { return tap.snapshot().size() >= 2; }));
    EXPECT_EQ(tap.snapshot(), (std::vector<std::string>{vxtest::hex(k2101), vxtest::hex(k3002)}));
    EXPECT_EQ(arrived(), 2u);
    // Stopping hands on what the worker had taken from the file, as a stop always did.
    EXPECT_EQ(link.stopLink(), 0);
    EXPECT_EQ(tap.snapshot(), (std::vector<std::string>{vxtest::hex(k2101), vxtest::hex(k3002),
                                                        vxtest::hex(k3201), vxtest::hex(k1201)}));
}

TEST_F(ReplayWorkerFixture, ADelayChangedDuringTheReplayAppliesFromTheNextReport) {
    replayDelay.store(2000);
    startReplay(k3002 + k3201 + k3002 + k3201);
    ASSERT_TRUE(clock.waitPausing(1));
    // The worker pauses the 2 s it read after the first 3002; the new value is read after the
    // second one, where the replay now stops for a long time.
    replayDelay.store(600000);
    clock.advance(2000);
    ASSERT_TRUE(clock.waitPausing(2));
    ASSERT_TRUE(waitFor([&] { return arrived() == 3; }));
    EXPECT_EQ(clock.pauses(), (std::vector<int32_t>{2000, 600000}));
    clock.advance(2000);
    EXPECT_TRUE(clock.pausing());
    EXPECT_EQ(arrived(), 3u);
    EXPECT_EQ(link.stopLink(), 0);
}

TEST_F(ReplayWorkerFixture, PausingAReplayLosesNoRecordedByte) {
    // The worker reads the file in 64 KiB blocks; after the first 3002 it pauses, holding the
    // rest of its block. A pause (and resume) of the link meanwhile must not drop that block.
    replayDelay.store(300);
    std::vector<uint8_t> stream = k3002;
    for (int i = 0; i < 20000; ++i) stream.insert(stream.end(), k2101.begin(), k2101.end());
    startReplay(stream);
    ASSERT_TRUE(clock.waitPausing(1));
    ASSERT_TRUE(waitFor([&] { return arrived() == 1; }));
    ASSERT_TRUE(link.pauseLink());
    link.purgeLink();
    ASSERT_TRUE(link.resumeLink());
    clock.advance(300);
    ASSERT_TRUE(waitFor([&] { return arrived() == 20001; }));
    EXPECT_EQ(link.bytesReceived(), stream.size());
}

} // namespace
