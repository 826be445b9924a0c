// The bench tests' specs, time intervals and result views; the ADC calibration lines and the
// 700F series; the buffered DR log; the TTCA trigger, texts and log.
#include "testtools/adc_cal_lines.h"
#include "testtools/bench_tests.h"
#include "testtools/buffered_dr_log.h"
#include "testtools/ttca.h"

#include "support/hex.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

TEST(BenchTests, TimeIntervalIsAWholeNumberInRange) {
    struct Case {
        const char* text;
        uint16_t max;
        std::optional<uint16_t> seconds;
    } cases[] = {
        {"60", 60, 60},
        {"1", 60, 1},
        {" 7 ", 60, 7},
        {"61", 60, std::nullopt},
        {"0", 60, {}},
        {"abc", 60, {}},
        {"", 60, {}},
        {"-1", 60, {}},
        {"+5", 60, {}},
        {"5x", 60, {}},
        {"3600", 3600, 3600},
        {"3601", 3600, {}},
        {"99999999999999999999", 3600, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(vx::readTestInterval(c.text, c.max), c.seconds) << c.text;
}

TEST(BenchTests, SpecsOfTheThreeTests) {
    struct Case {
        const vx::BenchTestSpec& spec;
        uint8_t subcode;
        uint16_t max;
        const char* message;
        const char* complete;
    } cases[] = {
        {vx::dataCollectionTest(), 2, 3600, "Time Interval out of Range (1-3600 Seconds)",
         "Test Complete"},
        {vx::gyroBenchTest(), 4, 60, "Time Interval out of Range (1-60 Seconds)", "Test complete"},
        {vx::tachoReverseTest(), 6, 60, "Time Interval out of Range (1-60 Seconds)",
         "Test Complete"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.spec.subcode, c.subcode);
        EXPECT_EQ(c.spec.maxSeconds, c.max);
        EXPECT_STREQ(c.spec.rangeMessage, c.message);
        EXPECT_STREQ(c.spec.completeText, c.complete);
        EXPECT_TRUE(c.spec.view.queries.empty());
    }
    EXPECT_EQ(vx::dataCollectionTest().view.slotName(vx::pkt3F02::almCompleteStatus),
              "almCompleteStatus");
    EXPECT_EQ(vx::tachoReverseTest().view.slotName(vx::pkt3F06::dirSwSamplesWin),
              "dirSwSamplesWin");
}

TEST(BenchTests, DataCollectionFlagsAreRedWhenSet) {
    using namespace vx::pkt3F02;
    vx::DataCollectionTestRecord r;
    r.status_flags = 0x05;
    r.max_snr = 233;
    r.pulses_counted = 4000000000u;
    vx::ViewUpdates u;
    vx::showDataCollectionTest(r, u);
    EXPECT_EQ(u.find(gpsFix2DStatus)->tint, vx::Tint::Red);
    EXPECT_EQ(u.find(gpsFix3DStatus)->tint, vx::Tint::Green);
    EXPECT_EQ(u.find(gpsCalDrStatus)->tint, vx::Tint::Red);
    EXPECT_EQ(u.find(almCompleteStatus)->tint, vx::Tint::Green);
    EXPECT_EQ(u.find(gpsStatus)->tint, vx::Tint::Green);
    EXPECT_EQ(u.find(maxSnrWin)->text, "46.6");
    EXPECT_EQ(u.find(pulsesCountedWin)->text, "4000000000");

    u.clear();
    vx::showGyroBenchTest({4294967295u, 2, 10}, u);
    EXPECT_EQ(u.find(vx::pkt3F04::adcCountsWin)->text, "4294967295");
    EXPECT_EQ(u.find(vx::pkt3F04::testDurationWin)->text, "10");
    u.clear();
    vx::showTachoReverseTest({5, 6, 7, 8, 9}, u);
    EXPECT_EQ(u.find(vx::pkt3F06::dirSwChangesWin)->text, "7");
    EXPECT_EQ(u.find(vx::pkt3F06::testDurationWin)->text, "9");
}

TEST(AdcCalibration, LevelLines) {
    vx::AdcCalibrationRecord r;
    r.cal_level = 2;
    r.count = 3;
    r.sample_count = 66306;
    const float raw[] = {0.5f, -0.25f, 1.125f}, est[] = {0.1f, 0.2f, -0.3f};
    std::memcpy(r.raw, raw, sizeof raw);
    std::memcpy(r.estimated, est, sizeof est);
    r.raw[3] = 99; // beyond the count: not shown
    EXPECT_EQ(vx::adcCalibrationLines(r),
              (std::vector<std::string>{"CalLevel: 2. AdcCalIndN: 3. SampleCount: 66306 (129 | 514 "
                                        "per bin)",
                                        "DNLRAW: 0.50 -0.25 1.12", "DNLEST: 0.10 0.20 -0.30"}));
    r.count = 0;
    EXPECT_EQ(vx::adcCalibrationLines(r)[1], "DNLRAW:");
}

vx::AdcSamplesRecord floats(bool newSeries, float value) {
    vx::AdcSamplesRecord r;
    r.new_series = newSeries;
    r.sample_kind = 2;
    for (int i = 0; i < 16; ++i) std::memcpy(r.data + 4 * i, &value, 4);
    return r;
}

TEST(AdcCalibration, SeriesPrintsTwoHundredSamplesAndOneAverage) {
    vx::AdcSampleSeries s;
    std::vector<std::string> samples, summary;
    for (int k = 0; k < 13; ++k) {
        auto l = s.take(floats(k == 0, 512.0f));
        EXPECT_EQ(l.newSeries, k == 0);
        samples.insert(samples.end(), l.samples.begin(), l.samples.end());
        summary.insert(summary.end(), l.summary.begin(), l.summary.end());
    }
    ASSERT_EQ(samples.size(), 200u);
    EXPECT_EQ(samples[0], "   0  512.000    1.65 512.0");
    EXPECT_EQ(samples[1], "   1  512.000    1.65   0.0");
    EXPECT_EQ(summary, (std::vector<std::string>{"Avg: 512.0000, (1.6500 V)"}));
    EXPECT_TRUE(s.take(floats(false, 1.0f)).samples.empty()); // nothing until a new series

    // A series cut short: the next one's average is its own.
    s.take(floats(true, 1000.0f));
    summary.clear();
    for (int k = 0; k < 13; ++k) {
        auto l = s.take(floats(k == 0, 10.0f));
        summary.insert(summary.end(), l.summary.begin(), l.summary.end());
    }
    EXPECT_EQ(summary, (std::vector<std::string>{"Avg: 10.0000, (0.0322 V)"}));
}

TEST(AdcCalibration, ByteSamplesGoToTheSummary) {
    vx::AdcSampleSeries s;
    vx::AdcSamplesRecord r;
    r.new_series = 1;
    r.sample_kind = 1;
    for (int i = 0; i < 64; ++i) r.data[i] = uint8_t(i);
    auto l = s.take(r);
    ASSERT_EQ(l.summary.size(), 32u);
    EXPECT_EQ(l.summary[0], "   0    0");
    EXPECT_EQ(l.summary[31], "  31   62");
    EXPECT_TRUE(l.samples.empty());
}

TEST(BufferedDrLog, MetresPerRadianAndSummary) {
    vx::BufferedDrRecord r;
    r.flags = 0x10;
    r.time_tag = 52501;
    r.latitude = 1 << 30; // pi / 2
    r.longitude = -(1 << 29);
    r.heading = 16384;
    r.delta_distance[19] = -5;
    r.delta_heading[19] = 300;
    const std::string s = vx::bufferedDrSummary(r);
    EXPECT_TRUE(s.starts_with("Lon Radians to Meters:, 0.00\r\nLat Radians to Meters:, "
                              "6399593.63\r\n\r\nAll Data:, true\r\nRolling Start:, false\r\n"
                              "Time Tag:, 52501\r\nLat:, 1.570796327\r\nLon:, -0.785398163\r\n"
                              "Heading:, 0.500000\r\nDelta Dist 0:, 0, Delta Hdg 0:, 0\r\n"))
        << s;
    EXPECT_TRUE(s.ends_with("Delta Dist 19:, -5, Delta Hdg 19:, 300\r\n\r\n")) << s;
    r.latitude = 0;
    EXPECT_TRUE(vx::bufferedDrSummary(r).starts_with(
        "Lon Radians to Meters:, 6378137.00\r\nLat Radians to Meters:, 6335439.33\r\n"));
}

TEST(BufferedDrLog, DrLine) {
    vx::DrDataRecord r;
    r.tow = 123456789;
    r.status_flags = 0x40;
    r.longitude = 1 << 30;
    r.latitude = -(1 << 30);
    r.heading = 65535;
    r.delta_time = 200;
    r.delta_distance = -12;
    r.delta_heading = 34;
    r.gyro_number_and_dir = 0x85;
    r.gyro_count = 4000000000u;
    r.tacho_count = 65535;
    EXPECT_EQ(vx::bufferedDrLine(r), "123456.789, 52501, Jump, 1.570796327, -1.570796327, 65535, "
                                     "200, -12, 34, 5, 4000000000,65535\r\n");
    r.status_flags = 0;
    EXPECT_NE(vx::bufferedDrLine(r).find(", DR-Propagated, "), std::string::npos);
}

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TEST(BufferedDrLog, FileHoldsSummaryThenTheLoggedLines) {
    const std::string path = vxtest::uniqueTempPath("buffered_dr") + ".csv";
    vx::BufferedDrLog log;
    ASSERT_EQ(log.open(path), "");
    vx::DrDataRecord a, b;
    a.tow = 1000;
    b.tow = 1200;
    ASSERT_TRUE(log.add(a));
    ASSERT_TRUE(log.add(b));
    EXPECT_EQ(log.lines(), 2u);
    vx::BufferedDrRecord r;
    ASSERT_EQ(log.finish(r), "");
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(slurp(path), vx::bufferedDrSummary(r) + vx::kBufferedDrHeader + "\r\n" +
                               vx::bufferedDrLine(a) + vx::bufferedDrLine(b));

    const std::string bad = vxtest::uniqueTempPath("missing") + "/dr.csv";
    const std::string error = log.open(bad);
    EXPECT_NE(error.find(bad), std::string::npos) << error;
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.add(a));
    EXPECT_NE(log.finish(r), "");
    std::remove(path.c_str());
}

TEST(Ttca, TriggerScripts) {
    const vx::PacedScript cold = vx::ttcaTriggerScript(vx::TtcaTrigger::ColdReset);
    ASSERT_EQ(cold.size(), 1u);
    EXPECT_EQ(vxtest::hex(cold[0].frame), "81 03 02 F8 82");
    EXPECT_EQ(cold[0].pauseAfterMs, 2000);

    const vx::PacedScript clear = vx::ttcaTriggerScript(vx::TtcaTrigger::ClearAlmanac);
    ASSERT_EQ(clear.size(), 34u);
    for (int sv = 1; sv <= 32; ++sv) {
        const auto& f = clear[size_t(sv - 1)].frame;
        ASSERT_GE(f.size(), 6u);
        EXPECT_EQ(f[1], 0x01);
        EXPECT_EQ(f[2], 0x28);
        EXPECT_EQ(f[3], 0x12);
        EXPECT_EQ(f[4], sv);
        EXPECT_EQ(clear[size_t(sv - 1)].pauseAfterMs, 50);
    }
    EXPECT_EQ(clear[32].frame[3], 0x13);
    EXPECT_EQ(clear[32].pauseAfterMs, 50);
    EXPECT_EQ(clear[33].frame[3], 0x14);
    EXPECT_EQ(clear[33].pauseAfterMs, 0);
}

TEST(Ttca, MinutesAndLog) {
    EXPECT_EQ(vx::ttcaMinutesText(0), "0.0");
    EXPECT_EQ(vx::ttcaMinutesText(90000), "1.5");
    EXPECT_EQ(vx::ttcaMinutesText(59999), "1.0");
    EXPECT_EQ(vx::ttcaMinutesText(750000), "12.5");
    vx::TimeConstellationRecord r;
    EXPECT_FALSE(vx::almanacComplete(r));
    r.search_mode = 0x80;
    EXPECT_TRUE(vx::almanacComplete(r));

    const std::string path = vxtest::uniqueTempPath("ttca") + ".log";
    vx::TtcaLog log;
    ASSERT_EQ(log.open(path), "");
    ASSERT_EQ(log.append("12.5"), "");
    EXPECT_EQ(slurp(path), "12.5\r\n"); // flushed at once
    ASSERT_EQ(log.append("3.0"), "");
    log.close();
    EXPECT_EQ(slurp(path), "12.5\r\n3.0\r\n");
    EXPECT_NE(log.append("1.0"), "");
    std::remove(path.c_str());
}

} // namespace
