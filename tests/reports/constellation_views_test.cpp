// The 3201, 3202, 3203 and 3301 views: payload bytes through the decoder to the texts and
// colours of the windows' panels and circles.
#include "reports/constellation_views.h"
#include "support/payload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vx;
using vxtest::decoded;
using Bytes = std::vector<uint8_t>;

std::string text(const ViewUpdates& u, uint16_t slot) {
    const ViewUpdates::Cell* c = u.find(slot);
    return c ? c->text : "<none>";
}

TEST(ConstellationViews, TimeAndConstellationSummary3201) {
    struct Case {
        const char* name;
        Bytes payload; // 18 bytes
        std::vector<std::pair<uint16_t, std::string>> texts;
    } cases[] = {
        {"typical: status 0x15 is RTC and no usable SVs, PDOP 00 02 is 2.00",
         {0xE8, 0x07, 13, 5, 12, 34, 56, 18, 0x00, 0x02, 0x00, 0xFF, 0x80, 0x01, 7, 0x15, 0x82,
          0x19},
         {{pkt32::utcDateWin, "13/05/2024"},
          {pkt32::utcTimeWin, "12:34:56"},
          {pkt32::offsetWin, "018"},
          {pkt32::pdopWin, "2.00"},
          {pkt32::hdopWin, "-1.00"},
          {pkt32::vdopWin, "1.50"},
          {pkt32::ageWin, "007"},
          {pkt32::ststusWin, "No usable SV's"},
          {pkt32::timeSrcWin, "RTC"},
          {pkt32::searchModeWin, "Anywhere"},
          {pkt32::almStatusWin, "Complete"},
          {pkt32::svWin, "009"}}},
        {"unnamed values are empty; GPS (< 1 ms)",
         {0, 0, 0, 0, 0, 0, 0, 255, 0xFF, 0x7F, 0, 0x80, 0, 0, 255, 0x3C, 0x03, 0x0F},
         {{pkt32::utcDateWin, "00/00/0000"},
          {pkt32::offsetWin, "255"},
          {pkt32::pdopWin, "128.00"},
          {pkt32::hdopWin, "-128.00"},
          {pkt32::ageWin, "255"},
          {pkt32::ststusWin, ""},
          {pkt32::timeSrcWin, "GPS (< 1 ms)"},
          {pkt32::searchModeWin, ""},
          {pkt32::almStatusWin, "Not Complete"},
          {pkt32::svWin, "015"}}},
    };
    for (const Case& c : cases) {
        ViewUpdates u;
        showTimeConstellation(decoded(0x32, 0x01, c.payload)->time_constellation, u);
        for (const auto& [slot, t] : c.texts)
            EXPECT_EQ(text(u, slot), t) << c.name << ": " << pkt32Spec().slotName(slot);
        EXPECT_EQ(u.cells().size(), pkt32Spec().slotCount()) << c.name;
    }
}

TEST(ConstellationViews, StatusTexts) {
    const char* status[16] = {"Doing fixes",
                              "",
                              "Need time",
                              "PDOP too high",
                              "",
                              "No usable SV's",
                              "One Usable SV",
                              "Two usable SV's",
                              "Three usable SV's",
                              "",
                              "",
                              "",
                              "",
                              "",
                              "",
                              ""};
    for (uint8_t v = 0; v < 16; ++v) EXPECT_EQ(gpsStatusText(uint8_t(0xF0 | v)), status[v]);
    EXPECT_EQ(summaryTimeSourceText(0x00), "System Clock");
    EXPECT_EQ(summaryTimeSourceText(0x20), "GPS (< 10ms)");
    EXPECT_EQ(dimensionText(0), "");
    EXPECT_EQ(dimensionText(2), "Altitude-hold");
    EXPECT_EQ(dimensionText(3), "Full Position");
    EXPECT_EQ(dimensionText(4), "");
    EXPECT_EQ(channelAlmanacText(0x0D), "Old");
    EXPECT_EQ(channelAlmanacText(0x03), "Current");
    EXPECT_EQ(channelEphemerisText(0x08), "Decoded");
    EXPECT_EQ(channelEphemerisText(0x01), "None");
}

TEST(ConstellationViews, ConstellationAndTimeSummaries3202And3203) {
    using namespace pkt3202;
    // 3202: status 0x93 (PDOP too high, RTC, almanac complete), 7 SVs with search mode 2, TOW
    // 0xFFFFFFFF shown unsigned, dimension 3, a negative VDOP.
    ViewUpdates u;
    showConstellationSummary(
        decoded(0x32, 0x02,
                {0x93, 0x27, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0x80, 0x01, 0x00, 0x01, 0x00, 0xFF, 30})
            ->constellation_summary,
        u);
    EXPECT_EQ(text(u, ststusWin), "PDOP too high");
    EXPECT_EQ(text(u, timeSrcWin02), "RTC");
    EXPECT_EQ(text(u, almStatusWin), "Complete");
    EXPECT_EQ(text(u, svWin), "007");
    EXPECT_EQ(text(u, searchModeWin), "Anywhere");
    EXPECT_EQ(text(u, towWin02), "4294967295");
    EXPECT_EQ(text(u, dimensionWin), "Full Position");
    EXPECT_EQ(text(u, pdopWin), "1.50");
    EXPECT_EQ(text(u, hdopWin), "1.00");
    EXPECT_EQ(text(u, vdopWin), "-1.00");
    EXPECT_EQ(text(u, ageWin), "030");
    EXPECT_EQ(u.find(utcDateWin), nullptr);

    // 3203: GPS (< 10ms), TOW 123456789, week 2313, offset 18, 31/12/2024 23:59:58.
    u.clear();
    showTimeSummary(
        decoded(0x32, 0x03,
                {0x20, 0x15, 0xCD, 0x5B, 0x07, 0x09, 0x09, 18, 0xE8, 0x07, 31, 12, 23, 59, 58})
            ->time_summary,
        u);
    EXPECT_EQ(text(u, utcDateWin), "31/12/2024");
    EXPECT_EQ(text(u, utcTimeWin), "23:59:58");
    EXPECT_EQ(text(u, offsetWin), "018");
    EXPECT_EQ(text(u, timeSrcWin03), "GPS (< 10ms)");
    EXPECT_EQ(text(u, towWin03), "123456789");
    EXPECT_EQ(text(u, weekNumWin), "2313");
    EXPECT_EQ(u.find(ststusWin), nullptr);
}

TEST(ConstellationViews, ChannelRow3301) {
    const ViewSpec& s = pkt33Spec();
    using namespace pkt33;
    struct Case {
        const char* name;
        Bytes payload;
        int row;
        std::vector<std::string> texts; // SV, SNR, Elev, Azi, Alm, Ephem
        std::vector<Tint> circles;      // Visible, Tracked, Tracking, SNR
    } cases[] = {
        {"all four green",
         {0x03, 0x11, 0x35, 0xC8, 0x5A, 0x1E, 0x0E},
         3,
         {"17", "40.0", " 30", "180", "", "Verified"},
         {Tint::Green, Tint::Green, Tint::Green, Tint::Green}},
        {"visible only, below the horizon, 8 bytes",
         {0x00, 0x05, 0x01, 0x00, 0xB3, 0xF6, 0x07, 0x99},
         0,
         {"05", "0.0", "-10", "358", "Current", "Old"},
         {Tint::Green, Tint::Red, Tint::Red, Tint::Red}},
        {"row 12, elevation -90",
         {0x0B, 0x20, 0x14, 0xFF, 0x00, 0xA6, 0x00},
         11,
         {"32", "51.0", "-90", "  0", "None", "None"},
         {Tint::Red, Tint::Green, Tint::Green, Tint::Red}},
    };
    for (const Case& c : cases) {
        ChannelStatusView view;
        ViewUpdates u;
        view.show(decoded(0x33, 0x01, c.payload)->channel_status, u);
        const int textColumns[] = {svWin, sigWin, elveWin, aziWin, almWin, ephWin};
        for (size_t i = 0; i < 6; ++i) {
            const ViewUpdates::Cell* cell = u.find(s.cell(c.row, textColumns[i]));
            ASSERT_NE(cell, nullptr) << c.name;
            EXPECT_EQ(cell->text, c.texts[i]) << c.name << " column " << i;
            EXPECT_EQ(cell->tint, Tint::White) << c.name;
        }
        const int circleColumns[] = {visStatus, tdStatus, tkStatus, snrStatus};
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(u.find(s.cell(c.row, circleColumns[i]))->tint, c.circles[i]) << c.name;
        EXPECT_EQ(u.cells().size(), 10u) << c.name;
    }
    // Channel 12 or above: nothing (the window still turns its LED green).
    ChannelStatusView view;
    ViewUpdates u;
    view.show(decoded(0x33, 0x01, {0x0C, 1, 0x35, 0, 0, 0, 0})->channel_status, u);
    EXPECT_TRUE(u.empty());
    EXPECT_EQ(view.staleCount(), 0u);
}

TEST(ConstellationViews, FortyOneReportsOfTheFirstEightChannelsBlankRowsNineToTwelve) {
    const ViewSpec& s = pkt33Spec();
    ChannelStatusView view;
    ViewUpdates u;
    auto report = [&](uint8_t channel) {
        u.clear();
        view.show(decoded(0x33, 0x01, {channel, 1, 0x35, 100, 10, 45, 0x0F})->channel_status, u);
    };
    for (int i = 0; i < 40; ++i) {
        report(uint8_t(i % 8));
        EXPECT_EQ(u.cells().size(), 10u);
    }
    // A report for channel 8 starts the count again.
    report(8);
    EXPECT_EQ(view.staleCount(), 0u);
    for (int i = 0; i < 40; ++i) report(uint8_t(i % 8));
    EXPECT_EQ(view.staleCount(), 40u);
    report(0);
    EXPECT_EQ(view.staleCount(), 0u);
    ASSERT_EQ(u.cells().size(), 10u + 4u * 10u);
    for (int row = 8; row < 12; ++row) {
        for (int col = 0; col < pkt33::kColumns; ++col) {
            const ViewUpdates::Cell* c = u.find(s.cell(row, col));
            ASSERT_NE(c, nullptr);
            if (s.slotKind(c->slot) == ItemKind::Circle) {
                EXPECT_EQ(c->tint, Tint::Grey);
            } else {
                EXPECT_EQ(c->text, "");
                EXPECT_EQ(c->tint, Tint::Face);
            }
        }
    }
}

} // namespace
