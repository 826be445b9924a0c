// Monitor mode: memory written can be read back, the flash tools' sequences work end to end,
// and refused commands answer 0x15.
#include "link/catalogue.h"
#include "link/monitor_ops.h"
#include "sim/sim_harness.h"
#include "sim/sim_monitor.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vxtest;
using vx::sim::MonitorPort;
using vx::sim::SimMode;

namespace {

// Forces the receiver into its monitor the way the flash tools do.
void forceToMonitor(SimHarness& h) {
    vx::sendSystem(h, 0x03);
    h.run(100);
    h.purgeLink();
    ASSERT_EQ(h.sim.mode(), SimMode::Monitor);
}

bool startDaemon(SimHarness& h) {
    vx::monitorCommand83(h);
    vx::sendWakeBytes(h);
    if (!vx::waitMonitorAck(h, 3000)) return false;
    vx::monitorCommand82(h);
    vx::sendWakeBytes(h);
    return vx::waitMonitorAck(h, 3000);
}

std::vector<uint8_t> readRegion(SimHarness& h, uint32_t start, uint32_t length) {
    std::vector<uint8_t> out(length);
    for (uint32_t a = 0; a < length; a += 128) {
        if (!vx::monitorReadMemory(h, start + a, 128, std::span(out.data() + a, 128))) return {};
    }
    return out;
}

bool writeRegion(SimHarness& h, uint32_t start, const std::vector<uint8_t>& image) {
    for (size_t off = 0; off < image.size(); off += 128) {
        vx::monitorWriteMemory(h, uint32_t(start + off), std::span(image.data() + off, 128));
        if (!vx::waitMonitorAck(h, 3000)) return false;
    }
    return true;
}

uint8_t queryRate(SimHarness& h) {
    h.take();
    vx::sendQuery(h, 0x21, 1);
    auto r = withId(h.take(), 0x21, 1);
    return r.size() == 1 ? r[0].payload[0] : 0;
}

} // namespace

TEST(SimMonitor, ForceToMonitorIsAcknowledgedAndStopsTheReports) {
    SimHarness h;
    h.boot();
    h.run(2000);
    h.take();
    vx::sendSystem(h, 0x03);
    auto ps = h.take();
    ASSERT_EQ(ps.size(), 1u);
    EXPECT_EQ(hex(ps[0].payload), "03 00");
    h.run(5000);
    EXPECT_TRUE(h.takeRaw().empty());
    // VEXOR commands are not understood in the monitor.
    vx::sendQuery(h, 0x21, 1);
    h.run(100);
    EXPECT_TRUE(h.takeRaw().empty());
}

TEST(SimMonitor, MemoryWrittenReadsBackInRamAndFlash) {
    SimHarness h;
    h.boot();
    forceToMonitor(h);
    std::vector<uint8_t> data(128);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 37 + 5);
    vx::monitorWriteMemory(h, 0x3000, data);
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    std::vector<uint8_t> back(128);
    ASSERT_TRUE(vx::monitorReadMemory(h, 0x3000, 128, back));
    EXPECT_EQ(back, data);

    // Flash: through the daemon and the raw image upload.
    ASSERT_TRUE(startDaemon(h));
    std::vector<uint8_t> image(512);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(0xFF - i);
    vx::monitorCommand8B(h, uint32_t(image.size()), 0xC74000);
    for (size_t i = 0; i < image.size(); i += 2) h.sendFrame(image.data() + i, 2);
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    EXPECT_EQ(readRegion(h, 0xC74000, 512), image);
}

TEST(SimMonitor, RefusedCommandsAnswerNak) {
    SimHarness h;
    h.boot();
    forceToMonitor(h);
    auto answerTo = [&](std::vector<uint8_t> frame) {
        h.takeRaw();
        h.sendFrame(frame.data(), uint16_t(frame.size()));
        h.run(10);
        return h.takeRaw();
    };
    using B = std::vector<uint8_t>;
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x8B, B{0, 0, 0, 16, 0, 0xC7, 0, 0})), B{0x15})
        << "no flash programming without the daemon";
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x82, B{0, 0, 8, 0})), B{0x15})
        << "the daemon must be loaded before it starts";
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x99)), B{0x15}) << "unknown command";
    EXPECT_EQ(answerTo({0x02, 0x00, 0x83, 0x00, 0x84, 0x03}), B{0x15}) << "bad checksum";
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x81, B{0x00, 0xC7, 0x00, 0x00, 1})), B{0x15})
        << "flash is not written with a RAM write";
    EXPECT_EQ(answerTo({0x05, 0x05, 0x05, 0x05, 0x05}), B{}) << "wake bytes are not answered";
    // A frame cut short is abandoned after a pause; the next command is understood.
    EXPECT_EQ(answerTo({0x02, 0x00, 0x81, 0x20, 0x00}), B{});
    h.run(600);
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x83)), B{0x06});
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x88)), B{}) << "the ROM test takes a moment";
    h.run(1000);
    EXPECT_EQ(h.takeRaw(), B{0x06});
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x85)), B{});
    h.run(1000);
    EXPECT_EQ(h.takeRaw(), B{0x06});
    // A read outside memory gets no reply, so the read fails after its attempts.
    std::vector<uint8_t> buf(16);
    EXPECT_FALSE(vx::monitorReadMemory(h, 0x800000, 16, buf));
    // With the daemon running the boot area stays protected until unprotected.
    ASSERT_TRUE(startDaemon(h));
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x8B, B{0, 0, 0, 16, 0, 0xC0, 0, 0})), B{0x15});
    EXPECT_EQ(answerTo(vx::buildMonitorFrame(0x8E)), B{0x15}) << "erase needs unprotect";
}

TEST(SimMonitor, RestartLeavesTheMonitorWithAStartupReport) {
    SimHarness h;
    h.boot();
    forceToMonitor(h);
    vx::monitorRestart(h);
    h.run(1200);
    auto ps = h.take();
    EXPECT_EQ(countId(ps, 0x12, 1), 1u);
    EXPECT_EQ(h.sim.mode(), SimMode::Normal);
    h.run(1000);
    EXPECT_GE(countId(h.take(), 0x30, 2), 4u);
}

// Save the RAM BBRAM, lose the settings, upload the saved image: the settings come back (the
// "BBRAM save/load" window's RAM save and RAM upload).
TEST(SimMonitor, BbramSavedFromRamAndUploadedAgainRestoresTheSettings) {
    SimHarness h;
    h.boot();
    vx::setDrEngineRate(h, 10);
    vx::setSoftEventMask(h, 0x46, 3);
    forceToMonitor(h);
    auto saved = readRegion(h, MonitorPort::kRamBbram, MonitorPort::kBbramRegion);
    ASSERT_EQ(saved.size(), MonitorPort::kBbramRegion);
    vx::monitorRestart(h);
    h.run(1500);

    vx::sendSystem(h, 0x07); // clear flash and RAM: back to defaults
    h.run(1500);
    EXPECT_EQ(queryRate(h), 5);

    forceToMonitor(h);
    ASSERT_TRUE(writeRegion(h, MonitorPort::kRamBbram, saved));
    vx::monitorRestart(h);
    h.run(1500);
    EXPECT_EQ(queryRate(h), 10);
    h.take();
    vx::sendQuery2(h, 0x2E, 1, 0x46);
    auto m = withId(h.take(), 0x2E, 1);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].payload[1], 3);
}

// The "BBRAM save/load" window's flash upload: 0307, the monitor, the daemon, 0x8B and the raw
// image; after the restart the receiver runs on the uploaded image.
TEST(SimMonitor, FlashBbramUploadIsLoadedAtTheNextStart) {
    SimHarness h;
    h.boot();
    vx::setDrEngineRate(h, 10);
    vx::sendSystem(h, 0x09); // write BBRAM to flash
    h.run(1500);
    forceToMonitor(h);
    auto flashImage = readRegion(h, MonitorPort::kFlashBbram, MonitorPort::kBbramRegion);
    ASSERT_EQ(flashImage.size(), MonitorPort::kBbramRegion);
    vx::monitorRestart(h);
    h.run(1500);

    vx::sendSystem(h, 0x07);
    h.run(5000);
    EXPECT_EQ(queryRate(h), 5);
    forceToMonitor(h);
    ASSERT_TRUE(startDaemon(h));
    vx::monitorCommand8B(h, MonitorPort::kBbramRegion, MonitorPort::kFlashBbram);
    for (size_t i = 0; i < flashImage.size(); i += 2) h.sendFrame(flashImage.data() + i, 2);
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    vx::monitorRestart(h);
    h.run(1500);
    auto ps = h.take();
    auto startup = withId(ps, 0x12, 1);
    ASSERT_EQ(startup.size(), 1u);
    EXPECT_EQ(queryRate(h), 10);
    vx::sendQuery(h, 0x16, 2);
    auto s = withId(h.take(), 0x16, 2);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_TRUE(s[0].payload[3] & 0x08) << "BBRAM loaded from flash";
}

TEST(SimMonitor, ARawImageThatStopsArrivingIsRefused) {
    SimHarness h;
    h.boot();
    forceToMonitor(h);
    ASSERT_TRUE(startDaemon(h));
    vx::monitorCommand8B(h, 64, MonitorPort::kFlashBbram);
    std::vector<uint8_t> half(32, 0xAB);
    h.sendFrame(half.data(), 32);
    h.run(2000);
    EXPECT_TRUE(h.takeRaw().empty());
    h.run(2000);
    EXPECT_EQ(h.takeRaw(), std::vector<uint8_t>{0x15});
}

// The device flash configuration window writes product information, the hardware ID and a
// customer data block; the receiver reports them afterwards.
TEST(SimMonitor, FactoryDataWrittenThroughTheMonitorIsReported) {
    SimHarness h;
    h.boot();
    forceToMonitor(h);
    ASSERT_TRUE(startDaemon(h));
    vx::ProductConfig pc{305419896, 12, 31, 2007, "AB"};
    vx::monitorSetConfig(h, pc);
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    ASSERT_TRUE(startDaemon(h));
    vx::monitorSetHardwareId(h, "HW7");
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    ASSERT_TRUE(startDaemon(h));
    std::vector<uint8_t> block = {1, 2, 3, 4, 5};
    vx::monitorCustomerData(h, 0x22, block);
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    vx::monitorRestart(h);
    h.run(1500);
    h.take();

    vx::queryProductInfo3(h);
    vx::queryProductInfo4(h);
    vx::sendQuery(h, 0x15, 0x22);
    auto ps = h.take();
    auto p3 = withId(ps, 0x12, 3);
    ASSERT_EQ(p3.size(), 1u);
    EXPECT_EQ(hex(p3[0].payload), "78 56 34 12 1F 0C D7 07 41 42");
    auto p4 = withId(ps, 0x12, 4);
    ASSERT_EQ(p4.size(), 1u);
    EXPECT_EQ(std::string(p4[0].payload.begin(), p4[0].payload.end()), "HW7");
    auto b = withId(ps, 0x15, 0x22);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].payload, block);
}

// A customer data block is at most what one 0x15 reply frame carries: such a block comes
// back whole, a longer one is refused.
TEST(SimMonitor, CustomerDataBlocksAreAtMostAFrame) {
    SimHarness h;
    h.boot();
    forceToMonitor(h);
    ASSERT_TRUE(startDaemon(h));
    std::vector<uint8_t> full(vx::sim::kMaxCustomerBlock);
    for (size_t i = 0; i < full.size(); ++i) full[i] = uint8_t(i * 7);
    vx::monitorCustomerData(h, 0x7F, full);
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    ASSERT_TRUE(startDaemon(h));
    vx::monitorCustomerData(h, 0x7E, std::vector<uint8_t>(vx::sim::kMaxCustomerBlock + 1, 1));
    EXPECT_FALSE(vx::waitMonitorAck(h, 3000));
    vx::monitorRestart(h);
    h.run(1500);
    h.take();
    vx::sendQuery(h, 0x15, 0x7F);
    vx::sendQuery(h, 0x15, 0x7E);
    auto ps = h.take();
    auto b = withId(ps, 0x15, 0x7F);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].payload, full);
    EXPECT_TRUE(withId(ps, 0x15, 0x7E).empty());
}

// A BBRAM image spoiled in RAM is refused at start-up: the receiver falls back to the copy in
// flash, or, with both gone, to its defaults, and says so in 1201, 1602 and its event log.
TEST(SimMonitor, ASpoiledBbramFallsBackToFlashThenToDefaults) {
    SimHarness h;
    h.boot();
    vx::setDrEngineRate(h, 10);
    vx::sendSystem(h, 0x09); // the flash copy now holds rate 10
    h.run(1500);
    vx::setDrEngineRate(h, 7);

    forceToMonitor(h);
    std::vector<uint8_t> junk(128, 0x5A);
    ASSERT_TRUE(writeRegion(h, MonitorPort::kRamBbram + 256, junk)); // breaks the checksum
    vx::monitorRestart(h);
    h.run(1500);
    auto start = withId(h.take(), 0x12, 1);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].payload[3] & 1, 1) << "a valid BBRAM (the flash copy) was found";
    EXPECT_EQ(queryRate(h), 10);
    vx::sendQuery(h, 0x16, 2);
    auto s = withId(h.take(), 0x16, 2);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_TRUE(s[0].payload[3] & 0x08) << "loaded from flash";

    // Spoil both copies.
    forceToMonitor(h);
    ASSERT_TRUE(writeRegion(h, MonitorPort::kRamBbram, junk));
    ASSERT_TRUE(startDaemon(h));
    vx::monitorCommand8B(h, 128, MonitorPort::kFlashBbram);
    h.sendFrame(junk.data(), 128);
    ASSERT_TRUE(vx::waitMonitorAck(h, 3000));
    vx::monitorRestart(h);
    h.run(1500);
    auto ps = h.take();
    start = withId(ps, 0x12, 1);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].payload[3] & 1, 0) << "BBRAM invalid";
    std::vector<uint16_t> events;
    for (const Packet& p : withId(ps, 0x14, 1)) events.push_back(vx::readU16(p.payload.data() + 8));
    EXPECT_NE(std::find(events.begin(), events.end(), 0x0005), events.end())
        << "Invalid BBRAM detected on startup.";
    EXPECT_EQ(queryRate(h), 5) << "defaults";
}

// The BBRAM unit test's commands (Set 700D) are answered with 700D reports that decode, and
// with BBRAM activity reports when the trace is enabled.
TEST(SimMonitor, BbramUnitTestRepliesDecode) {
    SimHarness h;
    h.boot();
    vx::DiagOutputMask mask{};
    mask[0x0C / 8] |= uint8_t(1u << (0x0C % 8));
    vx::setDiagOutput(h, mask);
    for (uint8_t test = 1; test <= 7; ++test) {
        SCOPED_TRACE(int(test));
        h.take();
        std::vector<uint8_t> payload = {test};
        if (test == 7) payload = {7, 0x00, 0x00, 0xC7, 0x00, 0x20}; // 32 bytes at 0xC70000
        vx::sendCommand(h, 0x01, 0x70, 0x0D, vx::kNoIndex, payload);
        auto ps = h.take();
        for (const Packet& p : ps) EXPECT_EQ(p.decodeResult(), 0);
        auto replies = withId(ps, 0x70, 0x0D);
        ASSERT_EQ(replies.size(), test == 7 ? 2u : 1u);
        EXPECT_EQ(replies[0].payload[0], test);
        if (test <= 3) {
            EXPECT_EQ(countId(ps, 0x70, 0x0C), 8u) << "one activity per structure";
        }
        if (test == 7) {
            EXPECT_EQ(vx::readU32(replies[1].payload.data() + 1), 0xC70010u);
            EXPECT_EQ(replies[0].payload[5], 'V') << "the image header in flash";
        }
    }
}

// Failures on demand: a refused command is answered 0x15 and not carried out; dropped answers
// never come; spoiled replies fail their check; each count is used up and then the monitor
// answers as before.
TEST(SimMonitor, FailsOnDemand) {
    SimHarness h;
    h.boot();
    forceToMonitor(h);
    std::vector<uint8_t> data(16, 0xA5);
    vx::sim::SimFaults f;
    f.monitorRefuse = 0x81;
    h.sim.setFaults(f);
    vx::monitorWriteMemory(h, 0x3000, data);
    h.run(10);
    EXPECT_EQ(h.takeRaw(), std::vector<uint8_t>{0x15});
    EXPECT_NE(h.sim.monitor().ram()[0x3000], 0xA5) << "a refused write changes nothing";
    vx::monitorCommand83(h);
    EXPECT_TRUE(vx::waitMonitorAck(h, 3000)) << "other commands are carried out";

    f.monitorRefuse = 0xFF;
    h.sim.setFaults(f);
    vx::monitorCommand83(h);
    EXPECT_FALSE(vx::waitMonitorAck(h, 3000));
    vx::monitorRestart(h);
    h.run(10);
    EXPECT_EQ(h.takeRaw(), std::vector<uint8_t>{0x15});
    EXPECT_EQ(h.sim.mode(), SimMode::Monitor) << "even the restart is refused";

    f = {};
    f.monitorDropAnswers = 2;
    h.sim.setFaults(f);
    std::vector<uint8_t> buf(128);
    vx::monitorCommand83(h);
    EXPECT_FALSE(vx::waitMonitorAck(h, 500));
    EXPECT_TRUE(vx::monitorReadMemory(h, 0x1800, 128, buf)) << "its second attempt is answered";
    EXPECT_EQ(h.sim.stats().monitorDropped, 2u);
    vx::monitorCommand83(h);
    EXPECT_TRUE(vx::waitMonitorAck(h, 500));

    f = {};
    f.monitorCorruptReplies = 1;
    h.sim.setFaults(f);
    h.purgeLink();
    vx::monitorReadMemoryRequest(h, 0x1800, 16);
    h.run(10);
    std::vector<uint8_t> reply = h.takeRaw();
    ASSERT_EQ(reply.size(), 22u);
    EXPECT_FALSE(vx::checkMonitorReply(reply, 16));
    EXPECT_TRUE(std::equal(reply.begin() + 4, reply.begin() + 20, h.sim.monitor().ram() + 0x1800))
        << "the data are the receiver's; only the checksum is spoiled";
    EXPECT_TRUE(vx::monitorReadMemory(h, 0x1800, 16, std::span(buf.data(), 16)));
    EXPECT_EQ(h.sim.stats().monitorCorrupted, 1u);
}
