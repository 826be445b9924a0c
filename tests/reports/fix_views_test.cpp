// The 3101 view, the time-keeping debug message (0x23) and the TimeSource.csv log.
#include "reports/fix_views.h"
#include "support/payload.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace vx;
using namespace vx::pkt31;
using vxtest::decoded;
using vxtest::put16;
using vxtest::put32;
using vxtest::putFloat;

std::string text(const ViewUpdates& u, uint16_t slot) {
    const ViewUpdates::Cell* c = u.find(slot);
    return c ? c->text : "<none>";
}
Tint tint(const ViewUpdates& u, uint16_t slot) {
    return u.find(slot)->tint;
}

TEST(FixViews, GpsFix3101) {
    std::vector<uint8_t> p(28, 0);
    put32(p, 0, 0xFFFFFFFF);
    p[4] = 0x51; // fix source 17, altitude hold, no DGPS
    p[5] = 0x25; // position and heading valid, GPS (<10ms)
    put32(p, 6, 1u << 30);
    put32(p, 10, uint32_t(-(1 << 30)));
    put16(p, 14, uint16_t(-12));
    put16(p, 16, 0x8000);
    put16(p, 18, 1234);
    put16(p, 20, 65535);
    put16(p, 22, 7);
    put16(p, 24, 0x4000);
    put16(p, 26, 3);
    ViewUpdates u;
    showGpsFix(decoded(0x31, 0x01, p)->gps_fix, u);
    EXPECT_EQ(text(u, timeWin), "4294967295");
    EXPECT_EQ(text(u, fixSrcWin), "Position Valid");
    EXPECT_EQ(text(u, altHoldWin), "Altitude-Hold (2-D) LS fix");
    EXPECT_EQ(tint(u, DGPS_LED), Tint::Yellow);
    EXPECT_EQ(tint(u, posStatus), Tint::Green);
    EXPECT_EQ(tint(u, altStatus), Tint::Yellow);
    EXPECT_EQ(tint(u, headingStatus), Tint::Green);
    EXPECT_EQ(tint(u, speedStatus), Tint::Yellow);
    EXPECT_EQ(text(u, timeSrcWin), "GPS (<10ms)");
    EXPECT_EQ(text(u, latWin), "1.570796327");
    EXPECT_EQ(text(u, lonWin), "-1.570796327");
    EXPECT_EQ(text(u, altWin), "-12");
    EXPECT_EQ(text(u, headingWin), "1.00000");
    EXPECT_EQ(text(u, speedWin), "1234");
    EXPECT_EQ(text(u, accPosWin), "65535");
    EXPECT_EQ(text(u, accAltWin), "7");
    EXPECT_EQ(text(u, accHeadingWin), "0.5000");
    EXPECT_EQ(text(u, accSpeedWin), "3");
    EXPECT_EQ(u.find(Edit1), nullptr);

    p[4] = 0x92; // fix source 18 ("Unknown"), full position, DGPS
    u.clear();
    showGpsFix(decoded(0x31, 0x01, p)->gps_fix, u);
    EXPECT_EQ(text(u, fixSrcWin), "Unknown");
    EXPECT_EQ(text(u, altHoldWin), "Full position (3-D) LS fix");
    EXPECT_EQ(tint(u, DGPS_LED), Tint::Green);
    EXPECT_EQ(fixSourceText(0), "No position in memory");
    EXPECT_EQ(fixSourceText(2), "");
    EXPECT_EQ(fixSourceText(11), "Converging");
    EXPECT_EQ(fixSourceText(63), "Unknown");
}

TEST(FixViews, TimeKeepingMessages) {
    // Subcode 1: four 32-bit values, shown unsigned, and the CSV line.
    std::vector<uint8_t> p(16, 0);
    put32(p, 0, 604799000);
    put32(p, 4, 0xFFFFFFFF);
    put32(p, 8, 123);
    put32(p, 12, 7);
    ViewUpdates u;
    std::string csv;
    ASSERT_TRUE(showTimeKeeping(1, p.data(), p.size(), u, &csv));
    EXPECT_EQ(text(u, Edit1), "604799000");
    EXPECT_EQ(text(u, Edit2), "4294967295");
    EXPECT_EQ(text(u, Edit3), "123");
    EXPECT_EQ(text(u, Edit4), "7");
    EXPECT_EQ(u.cells().size(), 4u);
    EXPECT_EQ(csv, "604799000, 4294967295, 123, 7");

    // Any other subcode: three pairs, two reals, a signed value and the RTC flag.
    std::vector<uint8_t> q(31, 0);
    for (int i = 0; i < 3; ++i) {
        put16(q, size_t(6 * i), uint16_t(65535 - i));
        put32(q, size_t(6 * i + 2), 3000000000u + uint32_t(i));
    }
    putFloat(q, 18, 1.5f);
    put32(q, 22, uint32_t(-5));
    putFloat(q, 26, -0.25f);
    q[30] = 1;
    u.clear();
    ASSERT_TRUE(showTimeKeeping(2, q.data(), q.size(), u, &csv));
    EXPECT_EQ(csv, "");
    EXPECT_EQ(text(u, Edit1), "65535");
    EXPECT_EQ(text(u, Edit2), "3000000000");
    EXPECT_EQ(text(u, Edit5), "65533");
    EXPECT_EQ(text(u, Edit6), "3000000002");
    EXPECT_EQ(text(u, Edit7), "1.500000");
    EXPECT_EQ(text(u, Edit8), "-5");
    EXPECT_EQ(text(u, Edit9), "-0.250000");
    EXPECT_EQ(tint(u, Shape1), Tint::Green);
    q[30] = 0;
    u.clear();
    ASSERT_TRUE(showTimeKeeping(0, q.data(), q.size(), u));
    EXPECT_EQ(tint(u, Shape1), Tint::Red);

    // Shorter than their layouts: ignored, nothing read past the payload.
    u.clear();
    EXPECT_FALSE(showTimeKeeping(1, p.data(), 15, u, &csv));
    EXPECT_FALSE(showTimeKeeping(2, q.data(), 30, u, &csv));
    EXPECT_FALSE(showTimeKeeping(3, nullptr, 0, u));
    EXPECT_TRUE(u.empty());
    EXPECT_EQ(csv, "");
}

TEST(FixViews, TimeSourceLogWritesFlushedCrLfLines) {
    const std::string path = vxtest::uniqueTempPath("timesource") + ".csv";
    TimeSourceLog log;
    ASSERT_TRUE(log.open(path)) << log.error();
    ASSERT_TRUE(log.write("1, 2, 3, 4"));
    // Flushed as written: the file holds the line while the log is still open.
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "1, 2, 3, 4\r\n");
    ASSERT_TRUE(log.write("5, 6, 7, 8"));
    EXPECT_EQ(log.lines(), 2u);
    // Opened again: created anew.
    ASSERT_TRUE(log.open(path));
    ASSERT_TRUE(log.write("9, 9, 9, 9"));
    log.close();
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.write("lost"));
    std::ifstream again(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), "9, 9, 9, 9\r\n");
    std::remove(path.c_str());

    EXPECT_FALSE(log.open("/nonexistent-dir/TimeSource.csv"));
    EXPECT_FALSE(log.error().empty());
    EXPECT_FALSE(log.isOpen());
}

} // namespace
