// The periodic report stream: rates, decodability, soft events, diagnostics when enabled, and
// a believable world behind the numbers.
#include "link/catalogue.h"
#include "sim/sim_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

using namespace vxtest;

namespace {

constexpr double kPi = 3.141592653589793;

double semicircleToDeg(int32_t v) {
    return v * 180.0 / 2147483648.0;
}

} // namespace

TEST(SimStream, TwoMinutesOfReportsAllDecodeAtTheirRates) {
    SimHarness h;
    h.boot();
    h.take();
    h.run(120000);
    auto ps = h.take();
    std::map<uint16_t, size_t> n;
    for (const Packet& p : ps) {
        ASSERT_EQ(p.result, 0);
        ASSERT_EQ(p.decodeResult(), 0) << std::hex << p.id();
        ++n[p.id()];
    }
    EXPECT_NEAR(double(n[0x3002]), 600.0, 2.0) << "3002 at 5 Hz";
    EXPECT_NEAR(double(n[0x3201]), 120.0, 1.0) << "3201 at 1 Hz";
    EXPECT_NEAR(double(n[0x3101]), 120.0, 1.0) << "3101 at 1 Hz";
    EXPECT_NEAR(double(n[0x3301]), 12 * 120.0, 12.0) << "twelve channels at 1 Hz";
    // Calibration reports once a fix exists (after about 15 s), one per second.
    EXPECT_GE(n[0x3603], 90u);
    EXPECT_GE(n[0x3604], 90u);
    EXPECT_GE(n[0x3608], 90u);
    EXPECT_GE(n[0x3605], 60u);
    EXPECT_GE(n[0x3607], 60u);
    // Occasional soft events: the first fix and an antenna fault with its end.
    std::set<uint16_t> words;
    for (const Packet& p : withId(ps, 0x14, 1)) words.insert(vx::readU16(p.payload.data() + 8));
    EXPECT_TRUE(words.count(0x0040)) << "first fix";
    EXPECT_TRUE(words.count(0x1070) || words.count(0x1071)) << "antenna open or short";
    EXPECT_TRUE(words.count(0x3070) || words.count(0x3071)) << "antenna back to normal";
}

TEST(SimStream, DiagnosticReportsFollowTheDiagnosticMask) {
    SimHarness h;
    h.boot();
    h.run(20000);
    h.take();
    h.run(10000);
    for (const Packet& p : h.take()) EXPECT_NE(p.code, 0x70) << "no 0x70 output by default";

    vx::DiagOutputMask all{};
    all.fill(0xFF);
    vx::setDiagOutput(h, all);
    h.take();
    h.run(31000);
    auto ps = h.take();
    std::map<uint8_t, size_t> n;
    for (const Packet& p : ps) {
        ASSERT_EQ(p.decodeResult(), 0) << std::hex << p.id();
        if (p.code == 0x70) ++n[p.sub];
    }
    EXPECT_GE(n[0x02] + n[0x09], 30u);
    EXPECT_GE(n[0x10], 30u);
    EXPECT_GE(n[0x11], 30u);
    EXPECT_GE(n[0x16], 30u);
    EXPECT_GE(n[0x15], 6u);
    EXPECT_GE(n[0x12], 3u);
    EXPECT_GE(n[0x0C], 6u);
    EXPECT_EQ(n[0x0E], 1u);
    EXPECT_EQ(n[0x0F], 13u);

    // The I/O capture reports echo traffic in both directions.
    vx::sendQuery(h, 0x21, 1);
    auto t = h.take();
    EXPECT_EQ(countId(t, 0x70, 0x13), 1u);
    EXPECT_EQ(countId(t, 0x70, 0x14), 2u) << "the reply and the acknowledgement";

    // Switching the mask off stops them.
    vx::setDiagOutput(h, vx::DiagOutputMask{});
    h.take();
    h.run(5000);
    for (const Packet& p : h.take()) EXPECT_NE(p.code, 0x70);
}

TEST(SimStream, OutputTriggersChangeWhatIsSentAndHowOften) {
    SimHarness h;
    h.boot();
    // 3002 once a second instead of five times.
    vx::setTimeOutput(h, {0x30, 0x02}, {0, 1000});
    // 3203 every 2 s, which is not sent by default.
    vx::setTimeOutput(h, {0x32, 0x03}, {0, 2000});
    // 3101 off.
    vx::setEventOutput(h, {0x31, 0x01}, 0);
    h.take();
    h.run(20000);
    auto ps = h.take();
    EXPECT_NEAR(double(countId(ps, 0x30, 2)), 20.0, 1.0);
    EXPECT_NEAR(double(countId(ps, 0x32, 3)), 10.0, 1.0);
    EXPECT_EQ(countId(ps, 0x31, 1), 0u);
    for (const Packet& p : ps) EXPECT_EQ(p.decodeResult(), 0);
}

TEST(SimStream, NmeaOutputWhenAskedFor) {
    SimHarness h;
    h.boot();
    h.run(20000);
    vx::setNmeaOutput(h, 1, 0x0000011D); // GGA, VTG, GSV, GSA, RMC every second
    h.takeRaw();
    h.run(3000);
    auto raw = h.takeRaw();
    std::string text(raw.begin(), raw.end());
    for (const char* s : {"$GPGGA,", "$GPGSA,", "$GPGSV,", "$GPRMC,", "$GPVTG,"})
        EXPECT_NE(text.find(s), std::string::npos) << s;
    // Each sentence carries a correct checksum.
    size_t pos = 0, checked = 0;
    while ((pos = text.find("$GP", pos)) != std::string::npos) {
        size_t star = text.find('*', pos);
        ASSERT_NE(star, std::string::npos);
        uint8_t sum = 0;
        for (size_t i = pos + 1; i < star; ++i) sum ^= uint8_t(text[i]);
        EXPECT_EQ(std::stoul(text.substr(star + 1, 2), nullptr, 16), sum);
        pos = star;
        ++checked;
    }
    EXPECT_GE(checked, 15u);
    // The binary reports go on, and the text does not disturb their framing.
    EXPECT_GE(countId(h.cutter.feed(raw), 0x30, 2), 14u);
}

TEST(SimStream, SensorBenchTestsReportWhenTheirTimeIsUp) {
    for (uint8_t sub : {uint8_t(2), uint8_t(4), uint8_t(6)}) {
        SCOPED_TRACE(int(sub));
        SimHarness h;
        h.boot();
        h.run(20000);
        vx::setTestControl(h, sub, 5);
        h.take();
        h.run(4900);
        EXPECT_EQ(countId(h.take(), 0x3F, sub), 0u);
        h.run(200);
        auto r = withId(h.take(), 0x3F, sub);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].decodeResult(), 0);
        EXPECT_EQ(vx::readU16(r[0].payload.data() + r[0].payload.size() - 2), 5) << "duration";
        // Stop Immediately cancels a running test.
        vx::setTestControl(h, sub, 5);
        h.run(1000);
        vx::setTestControl(h, sub, 0);
        h.take();
        h.run(6000);
        EXPECT_EQ(countId(h.take(), 0x3F, sub), 0u);
    }
}

TEST(SimWorld, SatellitesAndTheVehicleBehavePlausibly) {
    SimHarness h;
    h.boot();
    h.run(30000);
    h.take();
    h.run(600000); // ten minutes
    auto ps = h.take();

    // 8 to 12 satellites above the horizon; DOPs sensible while fixing.
    for (const Packet& p : withId(ps, 0x32, 1)) {
        int visible = p.payload[17] & 0x0F;
        EXPECT_GE(visible, 8);
        EXPECT_LE(visible, 12);
        if ((p.payload[15] & 0x0F) == 0) { // doing fixes
            double pdop = vx::readI16(p.payload.data() + 8) / 256.0;
            double hdop = vx::readI16(p.payload.data() + 10) / 256.0;
            EXPECT_GT(pdop, 1.0);
            EXPECT_LT(pdop, 8.0);
            EXPECT_LE(hdop, pdop);
        }
    }
    // Azimuth, elevation and SNR of a satellite change slowly from second to second.
    std::map<uint8_t, std::vector<uint8_t>> last; // per SV: last 3301 payload
    size_t compared = 0;
    for (const Packet& p : withId(ps, 0x33, 1)) {
        uint8_t sv = p.payload[1];
        if (!sv) continue;
        auto it = last.find(sv);
        if (it != last.end()) {
            const auto& q = it->second;
            int daz = std::abs(int(p.payload[4]) - int(q[4]));
            EXPECT_TRUE(daz <= 1 || daz >= 178) << "azimuth jump of SV " << int(sv);
            EXPECT_LE(std::abs(int(int8_t(p.payload[5])) - int(int8_t(q[5]))), 1);
            if ((p.payload[2] & 0x10) && (q[2] & 0x10)) {
                EXPECT_LE(std::abs(int(p.payload[3]) - int(q[3])), 12) << "SNR jump (0.2 dB units)";
            }
            ++compared;
        }
        last[sv] = p.payload;
    }
    EXPECT_GT(compared, 5000u);

    // Consecutive 3002 positions are as far apart as the reported speed allows; the heading
    // changes as the delta heading says; the car stops, reverses and drives on.
    auto dr = withId(ps, 0x30, 2);
    ASSERT_GT(dr.size(), 2900u);
    bool sawReverse = false, sawStop = false;
    double maxSpeed = 0;
    for (size_t i = 1; i < dr.size(); ++i) {
        const uint8_t* a = dr[i - 1].payload.data();
        const uint8_t* b = dr[i].payload.data();
        double lat = semicircleToDeg(vx::readI32(b + 7)) * kPi / 180;
        double dn = (semicircleToDeg(vx::readI32(b + 7)) - semicircleToDeg(vx::readI32(a + 7))) *
                    kPi / 180 * 6378137.0;
        double de = (semicircleToDeg(vx::readI32(b + 11)) - semicircleToDeg(vx::readI32(a + 11))) *
                    kPi / 180 * 6378137.0 * std::cos(lat);
        double speed = vx::readU16(b + 19) / 100.0;
        maxSpeed = std::max(maxSpeed, speed);
        EXPECT_LT(std::hypot(de, dn), 0.2 * 15.0 + 2.0) << "position jump at " << i;
        double dh = (vx::readU16(b + 17) - vx::readU16(a + 17)) / 32768.0 * 180.0;
        while (dh > 180) dh -= 360;
        while (dh < -180) dh += 360;
        EXPECT_NEAR(dh, vx::readI16(b + 25) / 100.0, 0.05);
        EXPECT_EQ(vx::readU16(b + 21), 200) << "delta time";
        if (b[1] & 0x02) {
            sawReverse = true;
            EXPECT_LE(vx::readI16(b + 23), 0) << "reversing: delta distance not positive";
            EXPECT_TRUE(b[39] & 0x80) << "reverse switch high";
        }
        if (speed == 0) sawStop = true;
    }
    EXPECT_TRUE(sawReverse);
    EXPECT_TRUE(sawStop);
    EXPECT_GT(maxSpeed, 12.0);
    EXPECT_LT(maxSpeed, 15.0);
}

TEST(SimWorld, FirstFixAndAlmanacAfterPowerOn) {
    SimHarness h;
    h.run(60000);
    auto ps = h.take();
    auto tc = withId(ps, 0x32, 1);
    ASSERT_GE(tc.size(), 58u);
    int firstFix = -1, almanac = -1;
    for (size_t i = 0; i < tc.size(); ++i) {
        if (firstFix < 0 && (tc[i].payload[15] & 0x0F) == 0) firstFix = int(i);
        if (almanac < 0 && (tc[i].payload[16] & 0x80)) almanac = int(i);
    }
    EXPECT_GT(firstFix, 5) << "a fix takes a while after power-on";
    EXPECT_LT(firstFix, 30);
    EXPECT_GT(almanac, firstFix) << "the almanac completes later";
    EXPECT_LT(almanac, 58);
    // The UTC date and time advance with the receiver's clock.
    const auto& p = tc.back().payload;
    EXPECT_EQ(vx::readU16(p.data()), 2024);
    EXPECT_EQ(p[2], 5);
    EXPECT_EQ(p[3], 13);
    EXPECT_EQ(p[4], 12); // the last report is the one of 60 s after power-on
    EXPECT_EQ(p[5], 1);
    EXPECT_EQ(p[6], 0);
}
