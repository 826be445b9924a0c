// The 3002 and 3003 views.
#include "reports/dr_views.h"
#include "support/payload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vx;
using vxtest::decoded;
using vxtest::put16;
using vxtest::put32;

std::string text(const ViewUpdates& u, uint16_t slot) {
    const ViewUpdates::Cell* c = u.find(slot);
    return c ? c->text : "<none>";
}
Tint tint(const ViewUpdates& u, uint16_t slot) {
    return u.find(slot)->tint;
}

TEST(DrViews, DrData3002) {
    using namespace pkt3002;
    std::vector<uint8_t> p(46, 0);
    p[0] = 0xA5;            // position, heading, delta distance, motion valid
    p[1] = 0x42 | 0x30 | 4; // backward, jump, GPS (<1ms), gyro calibrated; no motion
    p[2] = 12;
    put32(p, 3, 0xFFFFFFFF);
    put32(p, 7, 1u << 30);
    put32(p, 11, 0x80000000);
    put16(p, 15, uint16_t(-5));
    put16(p, 17, 0x4000);
    put16(p, 19, 1500);
    put16(p, 21, 200);
    put16(p, 23, uint16_t(-300));
    put16(p, 25, uint16_t(-45));
    put16(p, 27, 9999);
    put16(p, 29, 65535);
    put16(p, 31, 0x8000);
    put16(p, 33, 50);
    put16(p, 35, 3);
    put16(p, 37, 5);
    p[39] = 0x85;
    put32(p, 40, 0xFFFFFFFE);
    put16(p, 44, 65535);
    ViewUpdates u;
    showDrData(decoded(0x30, 0x02, p)->dr_data, u);
    const Tint expected[10] = {Tint::Green, Tint::Yellow, Tint::Green, Tint::Yellow, Tint::Yellow,
                               Tint::Green, Tint::Yellow, Tint::Green, Tint::Green,  Tint::Yellow};
    for (uint16_t s = positionLED; s <= tachoCalLED; ++s)
        EXPECT_EQ(tint(u, s), expected[s]) << pkt3002Spec().slotName(s);
    EXPECT_EQ(text(u, motionWin), "No Motion");
    EXPECT_EQ(text(u, directionWin), "Backward");
    EXPECT_EQ(text(u, positionSourceWin), "Jump");
    EXPECT_EQ(text(u, timeSourceWin), "GPS (<1ms)");
    EXPECT_EQ(text(u, ageWin), "12");
    EXPECT_EQ(text(u, towWin), "4294967295");
    EXPECT_EQ(text(u, latWin), "1.570796327");
    EXPECT_EQ(text(u, lonWin), "-3.141592654");
    EXPECT_EQ(text(u, altWin), "-5");
    EXPECT_EQ(text(u, headingWin), "0.50000");
    EXPECT_EQ(text(u, speedWin), "1500");
    EXPECT_EQ(text(u, deltaTimeWin), "200");
    EXPECT_EQ(text(u, deltaDistWin), "-300");
    EXPECT_EQ(text(u, deltaHdgWin), "-45");
    EXPECT_EQ(text(u, accPosWin), "9999");
    EXPECT_EQ(text(u, accAltWin), "65535");
    EXPECT_EQ(text(u, accHeadingWin), "1.00000");
    EXPECT_EQ(text(u, accSpeedWin), "50");
    EXPECT_EQ(text(u, accDeltaDistWin), "3");
    EXPECT_EQ(text(u, accDeltaHeadingWin), "5");
    EXPECT_EQ(text(u, gyroNoWin), "5");
    EXPECT_EQ(text(u, dirSwitchValWin), "High");
    EXPECT_EQ(text(u, gyroCntWin), "4294967294");
    EXPECT_EQ(text(u, tachoCntWin), "65535");
    EXPECT_EQ(u.cells().size(), pkt3002Spec().slotCount());

    p[1] = 0x01;
    p[39] = 0x05;
    u.clear();
    showDrData(decoded(0x30, 0x02, p)->dr_data, u);
    EXPECT_EQ(text(u, motionWin), "Motion");
    EXPECT_EQ(text(u, directionWin), "Forward");
    EXPECT_EQ(text(u, positionSourceWin), "DR-Propagated");
    EXPECT_EQ(text(u, timeSourceWin), "System Clock");
    EXPECT_EQ(text(u, dirSwitchValWin), "Low");
    EXPECT_EQ(gpsAgeText(254), "> 253");
    EXPECT_EQ(gpsAgeText(255), "GPS N/A");
    EXPECT_EQ(gpsAgeText(0), "0");
}

TEST(DrViews, BufferedDr3003) {
    using namespace pkt3003;
    std::vector<uint8_t> p(101, 0);
    p[0] = 0x80 | 0x15; // GPS (<10ms); current position, delta distance, all data valid
    put16(p, 1, 65535);
    put32(p, 3, uint32_t(-(1 << 30)));
    put32(p, 7, 0x7FFFFFFF);
    put16(p, 11, 0xFFFF);
    for (int i = 0; i < 20; ++i) {
        put16(p, size_t(13 + 4 * i), uint16_t(i - 10));
        put16(p, size_t(15 + 4 * i), i == 19 ? 0x8000 : 0);
    }
    put16(p, 93, 0x0001);
    put16(p, 95, 10);
    put16(p, 97, 20);
    put16(p, 99, 30);
    ViewUpdates u;
    showBufferedDr(decoded(0x30, 0x03, p)->buffered_dr, u);
    const Tint expected[6] = {Tint::Green,  Tint::Yellow, Tint::Green,
                              Tint::Yellow, Tint::Green,  Tint::Yellow};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(tint(u, uint16_t(posStatus + i)), expected[i]) << i;
    EXPECT_EQ(text(u, timeSourceWin), "GPS (<10ms)");
    EXPECT_EQ(text(u, timeTagWin), "65535");
    EXPECT_EQ(text(u, currLatWin), "-1.570796327");
    EXPECT_EQ(text(u, currLonWin), "3.141592652");
    EXPECT_EQ(text(u, currHdgWin), "1.999969");
    EXPECT_EQ(text(u, hdgAccyWin), "0.000031");
    EXPECT_EQ(text(u, posAccyWin), "10");
    EXPECT_EQ(text(u, dDistAccyWin), "20");
    EXPECT_EQ(text(u, dHdgAccyWin), "30");
    EXPECT_EQ(text(u, deltaDistArrayWin),
              "-10, -9, -8, -7, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, ");
    EXPECT_EQ(text(u, deltaHdgArrayWin),
              "0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -32768, ");

    // All zero: "0, " twenty times, ending with the blank.
    u.clear();
    showBufferedDr(decoded(0x30, 0x03, std::vector<uint8_t>(101, 0))->buffered_dr, u);
    std::string zeros;
    for (int i = 0; i < 20; ++i) zeros += "0, ";
    EXPECT_EQ(text(u, deltaDistArrayWin), zeros);
    EXPECT_EQ(text(u, timeSourceWin), "System Clock");
}

} // namespace
