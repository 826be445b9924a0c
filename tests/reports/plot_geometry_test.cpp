// Where the sky plot puts a channel's satellite, its colours, its trail, and the heading
// needle's direction.
#include "link/angles.h"
#include "reports/plot_geometry.h"
#include "support/payload.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace vx;

ChannelStatusRecord channel(uint8_t ch, uint8_t status, uint8_t azimuthByte, int8_t elevation,
                            uint8_t sv = 7, uint8_t snr = 200) {
    ChannelStatusRecord r;
    r.channel = ch;
    r.sv = sv;
    r.status = status;
    r.snr = snr;
    r.azimuth = azimuthByte;
    r.elevation = elevation;
    return r;
}

TEST(PlotGeometry, SkyDotPositionsAndColours) {
    struct Case {
        const char* name;
        ChannelStatusRecord r;
        bool shown;
        double x, y;
        Tint tint;
    } cases[] = {
        {"zenith, tracking", channel(0, 0x15, 0, 90), true, 0, 0, Tint::Green},
        {"horizon east, tracked", channel(1, 0x05, 45, 0), true, 1, 0, Tint::Yellow},
        {"horizon north, visible only", channel(2, 0x01, 0, 0), true, 0, -1, Tint::White},
        {"30 degrees south", channel(3, 0x15, 90, 30), true, 0, 2.0 / 3.0, Tint::Green},
        {"60 degrees west", channel(4, 0x15, 135, 60), true, -1.0 / 3.0, 0, Tint::Green},
        {"45 up at azimuth 45", channel(5, 0x15, 22, 45), true, std::sin(44.0 * kPi / 180) * 0.5,
         -std::cos(44.0 * kPi / 180) * 0.5, Tint::Green},
        {"below the horizon lies on it", channel(6, 0x15, 45, -10), true, 1, 0, Tint::Green},
        {"above 90 lies in the centre", channel(7, 0x15, 45, 127), true, 0, 0, Tint::Green},
        {"-90 hides", channel(8, 0x15, 45, -90), false, 0, 0, Tint::White},
        {"not visible hides", channel(9, 0x14, 45, 40), false, 0, 0, Tint::White},
    };
    for (const Case& c : cases) {
        const auto d = skyDot(c.r);
        ASSERT_TRUE(d) << c.name;
        EXPECT_EQ(d->shown, c.shown) << c.name;
        EXPECT_EQ(d->sv, 7) << c.name;
        if (!c.shown) continue;
        EXPECT_NEAR(d->x, c.x, 1e-12) << c.name;
        EXPECT_NEAR(d->y, c.y, 1e-12) << c.name;
        EXPECT_EQ(d->tint, c.tint) << c.name;
    }
    EXPECT_FALSE(skyDot(channel(12, 0x15, 0, 45)));
    EXPECT_FALSE(skyDot(channel(255, 0x15, 0, 45)));
}

TEST(PlotGeometry, SnrColoursAndHeadingNeedle) {
    EXPECT_EQ(snrTint(200), Tint::Green); // 40.0 dBHz
    EXPECT_EQ(snrTint(199), Tint::Yellow);
    EXPECT_EQ(snrTint(150), Tint::Yellow); // 30.0
    EXPECT_EQ(snrTint(149), Tint::Red);
    EXPECT_EQ(snrTint(0), Tint::Red);

    struct Case {
        double h, x, y;
    } needles[] = {{0, 0, -1}, {0.5, 1, 0}, {1, 0, 1}, {1.5, -1, 0}, {0.25, M_SQRT1_2, -M_SQRT1_2}};
    for (const Case& c : needles) {
        const PlotPoint t = headingTip(c.h);
        EXPECT_NEAR(t.x, c.x, 1e-12) << c.h;
        EXPECT_NEAR(t.y, c.y, 1e-12) << c.h;
    }
}

TEST(PlotGeometry, TrailsKeepTheLastPositionsOfTheSameSatellite) {
    SkyTrails trails;
    for (int i = 0; i < 40; ++i) {
        auto d = skyDot(channel(3, 0x15, uint8_t(i), 45));
        trails.note(3, *d);
        trails.note(3, *d); // the same place again adds nothing
    }
    const auto& t = trails.trail(3);
    ASSERT_EQ(t.size(), SkyTrails::kLength);
    EXPECT_NEAR(t.back().x, skyDot(channel(3, 0x15, 39, 45))->x, 1e-12);
    EXPECT_NEAR(t.front().x, skyDot(channel(3, 0x15, 10, 45))->x, 1e-12);
    // Another satellite on the channel starts again; so does a hidden dot.
    trails.note(3, *skyDot(channel(3, 0x15, 0, 45, 8)));
    EXPECT_EQ(trails.trail(3).size(), 1u);
    trails.note(3, *skyDot(channel(3, 0x14, 0, 45, 8)));
    EXPECT_TRUE(trails.trail(3).empty());
    EXPECT_TRUE(trails.trail(4).empty());
}

} // namespace
