// The engineering windows' texts: channel monitor lines, the task table, drift lines, the raw
// fix variables, channel tables and debug text, and the self-test view.
#include "reports/diag_lines.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ChannelMonitor, ChannelLine) {
    vx::ChannelStatusRecord r;
    r.channel = 0;
    r.sv = 5;
    r.snr = 226;
    r.elevation = -3;
    r.azimuth = 90;
    r.status = 0x3D;
    r.mode = 0x0F;
    EXPECT_EQ(vx::channelMonitorLine(r), "[ 1][ 5] 45.2  -3 180 0x3d 0x0f");
    r.channel = 11;
    r.sv = 32;
    r.snr = 0;
    r.elevation = 90;
    r.azimuth = 179;
    EXPECT_EQ(vx::channelMonitorLine(r), "[12][32]  0.0  90 358 0x3d 0x0f");
}

TEST(ChannelMonitor, UsageText) {
    struct Case {
        uint32_t used, total;
        const char* text;
    } cases[] = {
        {300, 1024, "u: 0x012c   300 ( 29%), f:   724 ( 71%), t:  1024"},
        {0, 12, "u: 0x0000     0 (  0%), f:    12 (100%), t:    12"},
        {65535, 12240, "u: 0xffff 65535 (535%), f: -53295 (-435%), t: 12240"},
    };
    for (const Case& c : cases) EXPECT_EQ(vx::usageText(c.used, c.total), c.text) << c.used;
}

TEST(ChannelMonitor, TaskBlockNotesStackChangesAndClampsTheCount) {
    vx::TaskUsageMonitor m;
    vx::TaskUsageRecord r;
    r.count = 2;
    r.tasks[0] = {300, 60, 1234, 0};
    r.tasks[1] = {100, 0, 7, 2};
    auto lines = m.block(r, "07/12/2026 10:00:00");
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "07/12/2026 10:00:00");
    EXPECT_EQ(lines[1], "STACK SIZES");
    EXPECT_EQ(lines[2], " 0 u: 0x012c   300 ( 29%), f:   724 ( 71%), t:  1024 MAIN (-300)");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "MESSAGE BUFFER SIZES");
    EXPECT_EQ(lines[6],
              " 0 u: 0x003c    60 ( 50%), f:    60 ( 50%), t:   120 count:  1234, failed: 0, MAIN");
    EXPECT_EQ(lines[7],
              " 1 u: 0x0000     0 (  0%), f:   660 (100%), t:   660 count:     7, FAILED: 2, AM");
    r.tasks[0].stack_used = 340;
    lines = m.block(r, "t");
    EXPECT_TRUE(lines[2].ends_with("MAIN (-40)")) << lines[2];
    EXPECT_TRUE(lines[3].ends_with(" AM")) << lines[3];
    lines = m.block(r, "t");
    EXPECT_TRUE(lines[2].ends_with(" MAIN")) << lines[2];
    EXPECT_EQ(m.remembered(0), 340);

    r.count = 200; // more than the table: the table's 14 tasks
    lines = m.block(r, "t");
    EXPECT_EQ(lines.size(), 2u + 14u + 2u + 14u);
    EXPECT_TRUE(lines[15].find("APP_VEX") != std::string::npos);
    r.count = 0;
    EXPECT_EQ(m.block(r, "t").size(), 4u);
}

TEST(ChannelMonitor, DriftLineFollowsTheHeader) {
    vx::DriftRecord r;
    r.ref_msec = 4000000000u; // above 2^31: unsigned
    r.ref_week_no = 2345;
    r.t_status = 3;
    r.drift = 12.5;
    r.dr_unc = 2.5f;
    r.have_drift = 1;
    r.drift_high = 32.5;
    r.drift_low = -7.5;
    r.have_drift_range = 1;
    r.drift_range_week_no = 2344;
    r.drift_range_msec = 86400000;
    EXPECT_STREQ(vx::kDriftHeader,
                 "refMsec,refWeekNo,tStatus,drift,drUnc,haveDrift,dblDriftHigh,dblDriftLow,"
                 "haveDriftRange,usDriftRangeWeekNo,ulDriftRangeMsec");
    EXPECT_EQ(vx::driftLine(r), "4000000000,2345,3,12.500000000000,2.50000000,1,32.500000000000,"
                                "-7.500000000000,1,2344,86400000");
}

vx::DebugTextRecord debug(bool binary, std::initializer_list<uint8_t> bytes) {
    vx::DebugTextRecord r;
    std::memset(r.text, 'Z', sizeof r.text); // what lies after the data is never read
    r.binary = binary;
    r.length = uint8_t(bytes.size());
    size_t i = 0;
    for (uint8_t b : bytes) r.text[i++] = char(b);
    return r;
}

TEST(RawFix, DebugTextLines) {
    struct Case {
        vx::DebugTextRecord r;
        const char* line;
    } cases[] = {
        {debug(true, {0x10, 0x27}), "0x10 27 (10000)"},
        {debug(true, {0xFF}), "0xff (255)"},
        {debug(true, {0x00, 0x00, 0x80, 0x3F}), "0x00 00 80 3f (1065353216 | 1.000000)"},
        {debug(true, {0x00, 0x00, 0x00, 0x80}), "0x00 00 00 80 (2147483648 | -0.000000)"},
        {debug(true, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}), "0x00 00 00 00 00 00 f8 3f (1.500000)"},
        {debug(true, {1, 2, 3}), "0x01 02 03"},
        {debug(false, {'P', 'F', ':', ' ', '3', '\r', '\n'}), "PF: 3"},
        {debug(false, {'a', '\n', 'b'}), "a b"},
    };
    for (const Case& c : cases) {
        std::string line;
        EXPECT_TRUE(vx::debugTextLine(c.r, line));
        EXPECT_EQ(line, c.line);
    }
    std::string line = "old";
    EXPECT_FALSE(vx::debugTextLine(debug(true, {}), line));
    EXPECT_FALSE(vx::debugTextLine(debug(false, {}), line));
    EXPECT_EQ(line, "");
}

TEST(RawFix, PanelsVariablesAndChannelTables) {
    vx::RawFixRecord f;
    f.altitude_hold = 1;
    f.week_number = 2345;
    f.time_of_week = 12.25;
    f.position[2] = -6378137.5;
    f.velocity[0] = 1.5f;
    f.vertical[2] = 0.25f;
    f.masked_svs = 0x80000001u;
    f.sat_count = 7;
    const auto p = vx::rawFixPanelTexts(f);
    EXPECT_EQ(p[0], "1");
    EXPECT_EQ(p[1], "2345");
    EXPECT_EQ(p[2], "12.250000");
    EXPECT_EQ(p[7], "-6378137.500000");
    EXPECT_EQ(p[9], "1.500000");
    EXPECT_EQ(p[15], "0.250000");
    const auto v = vx::rawFixVariableLines(f);
    ASSERT_EQ(v.size(), 9u);
    EXPECT_EQ(v[3], "gpfsel.sat_cn: 7");
    EXPECT_EQ(v[8], "gulMaskedSvs: 2147483649");

    vx::ChannelTableRecord t;
    t.entries[0] = {3, 1, 2, 3, 4, 5, 6, 7, 8};
    const auto tl = vx::channelTableLines(t);
    ASSERT_EQ(tl.size(), 9u);
    EXPECT_EQ(tl[0], "------------");
    EXPECT_EQ(tl[1], "sv 3 hms:1 cf:2 h:3 amu:4 xc:5, r:6, str:7, rem:8");

    vx::ChannelDetailRecord d;
    d.entries[7] = {0x0101, 17, 9, 1, 600, 2, -3500};
    const auto dl = vx::channelDetailLines(d);
    ASSERT_EQ(dl.size(), 9u);
    EXPECT_EQ(dl[0], "_______________");
    EXPECT_EQ(dl[8], "sv17 st:0x101 amu: 9 old:1, age:600, fltr:2, doppl:-3500");

    const auto b = vx::rawFixTestLines();
    EXPECT_EQ(b,
              (std::vector<std::string>{"last: 65520, curr: 4080, msec: 69616, dt: 4096",
                                        "last: 0xfff0, curr: 0xff0, msec: 0x10ff0, dt: 0x1000"}));
}

TEST(SelfTest, ViewPaintsValidityAndShowsValuesUnsigned) {
    using namespace vx::pkt3F01;
    vx::SelfTestRecord r{0, 4000000000u, 100, 2730, 65535};
    vx::ViewUpdates u;
    vx::showSelfTest(r, u);
    EXPECT_EQ(u.find(errStatus)->tint, vx::Tint::Green);
    EXPECT_EQ(u.find(ADCFixedWin)->text, "4000000000");
    EXPECT_EQ(u.find(samplesFixedWin)->text, "100");
    EXPECT_EQ(u.find(ADCRestWin)->text, "2730");
    EXPECT_EQ(u.find(sampleRestWin)->text, "65535");
    u.clear();
    r.adc_validity = 2;
    vx::showSelfTest(r, u);
    EXPECT_EQ(u.find(errStatus)->tint, vx::Tint::Red);
    EXPECT_EQ(vx::selfTestSpec().slotName(ADCRestWin), "ADCRestWin");
}

} // namespace
