// The main window's status texts and colours, computed from payloads decoded by the real
// decoders (so the payload offsets are checked too).
#include "app/status_texts.h"
#include "link/decoders.h"
#include "support/payload.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace vx;

using vxtest::decoded;
using vxtest::put16;
using vxtest::put32;

namespace {

TEST(StartupStatus, BbramAndSelfTestTexts) {
    struct Case {
        uint8_t status;
        const char* text;
    } cases[] = {
        {0x01, "01:Valid BBRAM : SelfTest Passed"},   {0x02, "02:InValid BBRAM : SelfTest Failed"},
        {0x00, "00:InValid BBRAM : SelfTest Passed"}, {0x03, "03:Valid BBRAM : SelfTest Failed"},
        {0xAD, "ad:Valid BBRAM : SelfTest Passed"},
    };
    for (const auto& c : cases) {
        // Payload byte 3 is the status byte.
        auto a = decoded(0x12, 0x01, {0x55, 0x66, 0x77, c.status});
        EXPECT_EQ(startupStatusText(a->startup.status), c.text) << int(c.status);
    }
}

TEST(Antenna, EventWordsChangeTheStateOnlyWhenTheyNameTheAntenna) {
    struct Case {
        int before;
        uint16_t word;
        int after;
    } cases[] = {
        {0, 0x1070, 1}, {0, 0x2070, 1}, {0, 0x1071, 2}, {1, 0x2071, 2}, {2, 0x3070, 0},
        {1, 0x3071, 0}, {2, 0x0170, 2}, {1, 0x0070, 1}, {0, 0x4070, 0}, {2, 0x1072, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(antennaStateAfter(c.before, c.word), c.after) << std::hex << c.word;
    EXPECT_EQ(antennaText(0), "Antenna Normal");
    EXPECT_EQ(antennaText(1), "Antenna Open");
    EXPECT_EQ(antennaText(2), "Antenna Short");
}

std::vector<uint8_t> event1401(uint16_t year, uint8_t d1, uint8_t d2, uint8_t h, uint8_t m,
                               uint8_t s, uint16_t word) {
    std::vector<uint8_t> p(10, 0);
    p[0] = 3; // entry index
    put16(p, 1, year);
    p[3] = d1;
    p[4] = d2;
    p[5] = h;
    p[6] = m;
    p[7] = s;
    put16(p, 8, word);
    return p;
}

TEST(EventLog, LineFromTheDecoded1401) {
    auto a = decoded(0x14, 0x01, event1401(2024, 7, 9, 13, 5, 2, 0x2071));
    EXPECT_EQ(eventLogLine(a->soft_event).value(), "07/09/2024 13:05:02 Antenna short detected.");
    a = decoded(0x14, 0x01, event1401(1999, 12, 31, 23, 59, 59, 0x0170));
    EXPECT_EQ(eventLogLine(a->soft_event).value(), "12/31/1999 23:59:59 Antenna open detected.");
    // Not in the table.
    a = decoded(0x14, 0x01, event1401(2001, 1, 2, 3, 4, 5, 0x0041));
    EXPECT_EQ(eventLogLine(a->soft_event).value(), "01/02/2001 03:04:05 Unknown Event.");
    // Low byte 0: nothing is shown, whatever the high byte.
    a = decoded(0x14, 0x01, event1401(2001, 1, 2, 3, 4, 5, 0x1200));
    EXPECT_FALSE(eventLogLine(a->soft_event).has_value());
}

TEST(RunningTime, HoursMinutesSecondsWithTwoTrailingBlanks) {
    EXPECT_EQ(runningTimeText(0), "Running Time: 00:00:00  ");
    EXPECT_EQ(runningTimeText(59), "Running Time: 00:00:59  ");
    EXPECT_EQ(runningTimeText(3599), "Running Time: 00:59:59  ");
    EXPECT_EQ(runningTimeText(3600), "Running Time: 01:00:00  ");
    EXPECT_EQ(runningTimeText(100 * 3600 + 61), "Running Time: 100:01:01  ");
}

std::vector<uint8_t> fastFix() {
    return std::vector<uint8_t>(46, 0);
}

TEST(FastFix, AnglesUseTheTruePi) {
    auto p = fastFix();
    put32(p, 7, 1u << 30);              // latitude 2^30: half a semicircle
    put32(p, 11, uint32_t(-(1 << 30))); // longitude -2^30
    put16(p, 17, 1u << 15);             // heading 2^15: one semicircle
    put16(p, 31, 0xFFFF);               // heading accuracy
    auto a = decoded(0x30, 0x02, p);
    FastFixView v = fastFixView(a->dr_data);
    // The true pi: half of it prints 1.570796327 (P would give 1.570796371).
    EXPECT_EQ(v.latitude, "1.570796327");
    EXPECT_EQ(v.longitude, "-1.570796327");
    EXPECT_EQ(radiansText(0), "0.000000000");
    EXPECT_EQ(radiansText(INT32_MIN), "-3.141592654");
    EXPECT_EQ(v.heading, "1.00000");
    EXPECT_EQ(v.accHeading, "1.99997");
}

TEST(FastFix, EveryPanelFromItsOffset) {
    auto p = fastFix();
    put32(p, 3, 0xFFFFFFFE);     // time, signed
    put16(p, 15, uint16_t(-12)); // altitude, signed
    put16(p, 19, 65535);         // speed
    put16(p, 21, 200);           // delta time
    put16(p, 27, 65535);         // position accuracy
    put16(p, 29, 7);
    put16(p, 33, 40000);       // speed accuracy
    p[39] = 0x80 | 23;         // direction switch high, 23 samples
    put32(p, 40, 4000000000u); // gyro counts
    put16(p, 44, 65535);       // tacho counts
    auto a = decoded(0x30, 0x02, p);
    FastFixView v = fastFixView(a->dr_data);
    EXPECT_EQ(v.time, "-2");
    EXPECT_EQ(v.altitude, "-12");
    EXPECT_EQ(v.speed, "65535");
    EXPECT_EQ(v.deltaTime, "200");
    EXPECT_EQ(v.accPosition, "65535");
    EXPECT_EQ(v.accAltitude, "7");
    EXPECT_EQ(v.accSpeed, "40000");
    EXPECT_EQ(v.gyroSamples, "23");
    EXPECT_EQ(v.dirSwitchValue, "01");
    EXPECT_EQ(v.gyroCount, "4000000000");
    EXPECT_EQ(v.tachoCount, "65535");

    p[39] = 5;
    a = decoded(0x30, 0x02, p);
    v = fastFixView(a->dr_data);
    EXPECT_EQ(v.gyroSamples, "05");
    EXPECT_EQ(v.dirSwitchValue, "00");
}

TEST(FastFix, TimeSourceBits) {
    const char* texts[4] = {"System Clock", "RTC", "GPS (<10ms)", "GPS (<1ms)"};
    for (uint8_t bits = 0; bits < 4; ++bits) {
        auto p = fastFix();
        p[1] = uint8_t(bits << 4) | 0xCF; // the other bits must not matter
        auto a = decoded(0x30, 0x02, p);
        EXPECT_EQ(fastFixView(a->dr_data).timeSource, texts[bits]);
    }
}

TEST(FastFix, EachLampFollowsItsOwnBit) {
    // One bit at a time: exactly that lamp turns lime (the direction lamp turns yellow).
    struct Lamp {
        int byte, bit;
        Shade FastFixView::*lamp;
    } lamps[] = {
        {0, 0, &FastFixView::position},        {0, 1, &FastFixView::altitudeLamp},
        {0, 2, &FastFixView::headingLamp},     {0, 3, &FastFixView::speedLamp},
        {0, 4, &FastFixView::dirSwitch},       {0, 5, &FastFixView::deltaDist},
        {0, 6, &FastFixView::deltaHeading},    {0, 7, &FastFixView::motion},
        {1, 0, &FastFixView::motionIndicator}, {1, 1, &FastFixView::direction},
        {1, 2, &FastFixView::gyroCal},         {1, 3, &FastFixView::tachoCal},
    };
    for (const auto& set : lamps) {
        auto p = fastFix();
        p[size_t(set.byte)] = uint8_t(1 << set.bit);
        auto a = decoded(0x30, 0x02, p);
        FastFixView v = fastFixView(a->dr_data);
        for (const auto& l : lamps) {
            const bool on = &l == &set;
            const bool isDirection = l.lamp == &FastFixView::direction;
            Shade expected = isDirection ? (on ? Shade::Yellow : Shade::Lime)
                                         : (on ? Shade::Lime : Shade::Yellow);
            EXPECT_EQ(v.*l.lamp, expected) << "bit " << set.byte << "." << set.bit;
        }
    }
}

std::vector<uint8_t> summary3201(uint8_t searchByte) {
    std::vector<uint8_t> p(18, 0);
    put16(p, 0, 2023);
    p[2] = 11; // month
    p[3] = 4;  // day
    p[4] = 7;
    p[5] = 8;
    p[6] = 9;
    p[7] = 18;
    put16(p, 8, 256 + 128);      // 1.50
    put16(p, 10, uint16_t(-64)); // -0.25
    put16(p, 12, 2560);          // 10.00
    p[16] = searchByte;
    return p;
}

TEST(TimeSummary, DateTimeOffsetAndDops) {
    auto a = decoded(0x32, 0x01, summary3201(0));
    TimeSummaryView v = timeSummaryView(a->time_constellation);
    EXPECT_EQ(v.date, "11/04/2023");
    EXPECT_EQ(v.time, "07:08:09");
    EXPECT_EQ(v.offset, "018");
    EXPECT_EQ(v.pdop, "1.50");
    EXPECT_EQ(v.hdop, "-0.25");
    EXPECT_EQ(v.vdop, "10.00");
}

TEST(TimeSummary, SearchModeAndAlmanac) {
    struct Case {
        uint8_t byte16;
        const char* mode;
        const char* almanac;
    } cases[] = {
        {0x00, "None", "Not Complete"}, {0x01, "Blind", "Not Complete"},
        {0x82, "Anywhere", "Complete"}, {0x03, "", "Not Complete"},
        {0xFC, "None", "Complete"},     {0x7F, "", "Not Complete"},
    };
    for (const auto& c : cases) {
        auto a = decoded(0x32, 0x01, summary3201(c.byte16));
        EXPECT_EQ(searchModeText(a->time_constellation.search_mode), c.mode) << int(c.byte16);
        EXPECT_EQ(almanacStatusText(a->time_constellation.search_mode), c.almanac);
    }
}

TEST(Channel, RowTextsAndColours) {
    // channel, SV, state, SNR, azimuth / 2, elevation, mode
    auto a = decoded(0x33, 0x01, {3, 7, 0x11, 225, 179, uint8_t(-5), 0x08});
    ChannelRowView v = channelRowView(a->channel_status);
    EXPECT_EQ(v.sv, " 7");
    EXPECT_EQ(v.snr, "45.0");
    EXPECT_EQ(v.elevation, " -5");
    EXPECT_EQ(v.azimuth, "358");
    EXPECT_EQ(v.svShade, Shade::Lime); // tracking, ephemeris 2
    EXPECT_EQ(v.elevationShade, Shade::Lime);

    struct Case {
        uint8_t state, mode;
        Shade sv, elevation;
    } cases[] = {
        {0x00, 0x0C, Shade::White, Shade::White},  // not tracking: white whatever ephemeris
        {0x10, 0x00, Shade::Yellow, Shade::White}, // tracking, ephemeris 0
        {0x10, 0x04, Shade::Yellow, Shade::White}, // ephemeris 1
        {0x10, 0x0C, Shade::Lime, Shade::White},   // ephemeris 3
        {0x01, 0x08, Shade::White, Shade::Lime},   // visible only
        {0x15, 0x03, Shade::Yellow, Shade::Lime},  // almanac bits do not count
    };
    for (const auto& c : cases) {
        a = decoded(0x33, 0x01, {0, 31, c.state, 0, 0, 90, c.mode});
        v = channelRowView(a->channel_status);
        EXPECT_EQ(v.svShade, c.sv) << int(c.state) << "/" << int(c.mode);
        EXPECT_EQ(v.elevationShade, c.elevation) << int(c.state) << "/" << int(c.mode);
    }
    // An eighth byte is accepted and ignored.
    a = decoded(0x33, 0x02, {11, 12, 0, 1, 2, 3, 0, 0xEE});
    v = channelRowView(a->channel_status);
    EXPECT_EQ(v.sv, "12");
    EXPECT_EQ(v.snr, "0.2");
    EXPECT_EQ(v.elevation, "  3");
    EXPECT_EQ(v.azimuth, " 4");
}

TEST(Channel, RowsNineToTwelveBlankedAfter41ReportsForTheFirstEight) {
    ChannelRowBlanking b;
    for (int i = 1; i <= 40; ++i) EXPECT_FALSE(b.note(uint8_t(i % 8))) << i;
    EXPECT_TRUE(b.note(0)); // the 41st
    EXPECT_EQ(b.count(), 0u);
    for (int i = 1; i <= 40; ++i) EXPECT_FALSE(b.note(7));
    EXPECT_TRUE(b.note(7));

    // A report for rows 9 to 12 starts the count again.
    for (int i = 0; i < 30; ++i) b.note(1);
    EXPECT_FALSE(b.note(8));
    EXPECT_EQ(b.count(), 0u);
    for (int i = 0; i < 40; ++i) EXPECT_FALSE(b.note(2));
    EXPECT_FALSE(b.note(11));
    EXPECT_EQ(b.count(), 0u);

    // Channel 12 and above change nothing.
    for (int i = 0; i < 10; ++i) b.note(0);
    EXPECT_FALSE(b.note(12));
    EXPECT_FALSE(b.note(255));
    EXPECT_EQ(b.count(), 10u);
}

} // namespace
