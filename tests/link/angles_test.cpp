// The two angle conversions: the true pi for everything shown or logged in radians, P for the
// initialization dialogs and the NMEA output.
#include "link/angles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

std::string nine(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9f", v);
    return buf;
}

TEST(Angles, WireToRadiansWithTheTruePiAndWithP) {
    struct Case {
        double units;
        const char* truePi;
        const char* singlePi;
    };
    const Case cases[] = {
        {0, "0.000000000", "0.000000000"},
        {1 << 30, "1.570796327", "1.570796371"},
        {-(1 << 30), "-1.570796327", "-1.570796371"},
        {INT32_MIN, "-3.141592654", "-3.141592741"},
        {INT32_MAX, "3.141592652", "3.141592740"},
        {4294967295.0, "6.283185306", "6.283185481"}, // an unsigned accuracy
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nine(vx::wireToRadians(c.units)), c.truePi) << c.units;
        EXPECT_EQ(nine(vx::wireToRadiansP(c.units)), c.singlePi) << c.units;
    }
    EXPECT_EQ(vx::headingToSemicircles(32768), 1.0);
}

TEST(Angles, RadiansToWireWithPRoundsHalfAwayFromZeroAndRoundTrips) {
    for (int64_t v : {int64_t(0), int64_t(1), int64_t(-1), int64_t(1) << 30, -(int64_t(1) << 30),
                      int64_t(INT32_MIN), int64_t(INT32_MAX), int64_t(123456789)}) {
        EXPECT_EQ(vx::radiansToWireP(vx::wireToRadiansP(double(v))), v) << v;
    }
    const double half = vx::wireToRadiansP(0.5);
    EXPECT_EQ(vx::radiansToWireP(half * 1.0000001), 1);
    EXPECT_EQ(vx::radiansToWireP(-half * 1.0000001), -1);
    EXPECT_EQ(vx::radiansToWireP(half * 0.999), 0);
    EXPECT_EQ(vx::radiansToWireP(-half * 0.999), 0);
    // The text the dialogs show reads back to the value they were given.
    EXPECT_EQ(vx::radiansToWireP(1.570796371), int64_t(1) << 30);
    // Out of any wire field's range: the caller refuses it.
    EXPECT_GT(*vx::radiansToWireP(4.0), int64_t(INT32_MAX));
    EXPECT_EQ(vx::radiansToWireP(1e300), INT64_MAX);
    EXPECT_FALSE(vx::radiansToWireP(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(vx::radiansToWireP(std::numeric_limits<double>::infinity()));
}

TEST(Angles, RadiansToWireWithTheTruePiWrapsIntoOneTurn) {
    const double pi = vx::kPi;
    EXPECT_EQ(vx::radiansToWire(0), 0);
    EXPECT_EQ(vx::radiansToWire(pi / 2), 1 << 30);
    EXPECT_EQ(vx::radiansToWire(-pi / 2), -(1 << 30));
    EXPECT_EQ(vx::radiansToWire(2 * pi + pi / 2), 1 << 30);
    EXPECT_EQ(vx::radiansToWire(-2 * pi - pi / 2), -(1 << 30));
    EXPECT_EQ(vx::radiansToWire(pi), INT32_MIN); // the same angle as -pi
    EXPECT_EQ(vx::radiansToWire(-pi), INT32_MIN);
    EXPECT_EQ(vx::radiansToWire(std::nan("")), 0);
    // What the display shows of what the simulated receiver sends.
    EXPECT_EQ(nine(vx::wireToRadians(vx::radiansToWire(0.6523456789))), "0.652345679");
}

} // namespace
