// The sky and heading plots: where they paint (a satellite lands within a pixel of where the
// geometry puts it, at any window size), their check boxes, and who feeds them (the main
// window's channel reports, the routed 3002).
#include "reports/heading_plot_form.h"
#include "reports/sky_plot_form.h"
#include "support/console_fixture_qt.h"

#include <QCheckBox>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>

using vxtest::ConsoleWindows;

namespace {

vx::ChannelStatusRecord channel(uint8_t ch, uint8_t status, uint8_t azimuthByte, int8_t elevation,
                                uint8_t snr = 220) {
    vx::ChannelStatusRecord r;
    r.channel = ch;
    r.sv = 23;
    r.status = status;
    r.snr = snr;
    r.azimuth = azimuthByte;
    r.elevation = elevation;
    return r;
}

// The bounding box of the pixels of exactly this colour.
QRectF pixelsOf(QWidget* w, const QColor& c) {
    const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (QColor(img.pixel(x, y)) == c) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    if (x1 < 0) return {};
    return QRectF(QPointF(x0, y0), QPointF(x1 + 1, y1 + 1));
}

TEST(SkyPlot, ASatelliteLandsWhereItsElevationAndAzimuthPutIt) {
    vxtest::OfflineConsole c;
    struct Case {
        const char* name;
        uint8_t azimuthByte;
        int8_t elevation;
        double x, y;
    } cases[] = {
        {"zenith", 0, 90, 0, 0},
        {"horizon east", 45, 0, 1, 0},
        {"horizon north", 0, 0, 0, -1},
        {"30 degrees south-west", 112, 30, -std::sin(44 * M_PI / 180) * 2 / 3,
         std::cos(44 * M_PI / 180) * 2 / 3},
        {"60 degrees at 300", 150, 60, -std::sin(60 * M_PI / 180) / 3,
         -std::cos(60 * M_PI / 180) / 3},
        {"below the horizon: on it", 135, -20, -1, 0},
    };
    for (QSize size : {QSize(266, 277), QSize(700, 520)}) {
        for (const Case& k : cases) {
            TskyPlotForm sky(c.console);
            sky.resize(size);
            sky.show();
            sky.plotChannel(channel(2, 0x15, k.azimuthByte, k.elevation));
            const QRectF dot = pixelsOf(sky.plot(), lamp::kGreen);
            ASSERT_FALSE(dot.isEmpty()) << k.name;
            const QPointF want = sky.toPlot(k.x, k.y);
            EXPECT_NEAR(dot.center().x(), want.x(), 1.0) << k.name << " at " << size.width();
            EXPECT_NEAR(dot.center().y(), want.y(), 1.0) << k.name << " at " << size.width();
            // The dot scales with the plot (its outline and smoothed edge are not counted) and
            // never leaves it.
            EXPECT_NEAR(dot.width(), sky.horizonRadius() * 20 / 104.5 - 2, 2.0) << k.name;
            EXPECT_TRUE(QRectF(sky.plot()->rect()).contains(dot)) << k.name;
        }
    }
}

TEST(SkyPlot, ColoursHidingSnrColoursAndTrail) {
    vxtest::OfflineConsole c;
    TskyPlotForm sky(c.console);
    sky.show();
    EXPECT_EQ(sky.windowTitle(), "Sky Plot");
    EXPECT_FALSE(sky.trailShown());
    EXPECT_FALSE(sky.snrColours());
    // Tracked, not tracking: yellow; -90 hides; channel 12 changes nothing.
    sky.plotChannel(channel(0, 0x05, 10, 40));
    EXPECT_FALSE(pixelsOf(sky.plot(), lamp::kYellow).isEmpty());
    sky.plotChannel(channel(12, 0x15, 10, 40));
    EXPECT_FALSE(sky.dot(0).tint != vx::Tint::Yellow);
    sky.plotChannel(channel(0, 0x05, 10, -90));
    EXPECT_FALSE(sky.dot(0).shown);
    EXPECT_TRUE(pixelsOf(sky.plot(), lamp::kYellow).isEmpty());
    // SNR colours: a weak tracking satellite is red instead of green.
    sky.plotChannel(channel(1, 0x15, 10, 40, 100));
    EXPECT_FALSE(pixelsOf(sky.plot(), lamp::kGreen).isEmpty());
    vxtest::child<QCheckBox>(&sky, "snrColourCheck")->setChecked(true);
    EXPECT_TRUE(pixelsOf(sky.plot(), lamp::kGreen).isEmpty());
    EXPECT_FALSE(pixelsOf(sky.plot(), lamp::kRed).isEmpty());
    // The trail: drawn only when asked for.
    for (uint8_t az = 10; az < 40; az += 3) sky.plotChannel(channel(1, 0x15, az, 40));
    EXPECT_GE(sky.trails().trail(1).size(), 10u);
    const QImage before = sky.plot()->grab().toImage();
    vxtest::child<QCheckBox>(&sky, "trailCheck")->setChecked(true);
    EXPECT_NE(sky.plot()->grab().toImage(), before);
}

TEST(HeadingPlot, TheNeedlePointsAlongTheHeading) {
    vxtest::OfflineConsole c;
    TheadingPlotForm plot(c.console);
    plot.show();
    EXPECT_EQ(plot.windowTitle(), "Heading Plot");
    EXPECT_TRUE(pixelsOf(plot.plot(), lamp::kGreen).isEmpty());
    struct Case {
        double h;
        double dx, dy;
    } cases[] = {{0, 0, -1}, {0.5, 1, 0}, {1, 0, 1}, {1.5, -1, 0}};
    for (const Case& k : cases) {
        plot.plotHeading(k.h);
        const QRectF needle = pixelsOf(plot.plot(), lamp::kGreen);
        const QPointF c0 = plot.centre();
        const double r = plot.radius();
        const QPointF tip = plot.needleTip();
        EXPECT_NEAR(tip.x(), c0.x() + k.dx * r, 1e-9);
        EXPECT_NEAR(tip.y(), c0.y() + k.dy * r, 1e-9);
        // The needle runs from the centre to the tip (round caps reach a half pen further).
        const QRectF expected = QRectF(c0, tip).normalized();
        EXPECT_NEAR(needle.center().x(), expected.center().x(), 1.0) << k.h;
        EXPECT_NEAR(needle.center().y(), expected.center().y(), 1.0) << k.h;
        EXPECT_NEAR(std::max(needle.width(), needle.height()), r + 5, 2.5) << k.h;
    }
}

// The main window hands the sky plot its channel reports while both are shown; the routing
// hands the heading plot every 3002 while it is shown.
TEST_F(ConsoleWindows, PlotsAreFedWhileTheyAreShown) {
    startOnPty(0);
    auto* sky = windows->find<TskyPlotForm>(vx::WindowId::TskyPlotForm);
    auto* heading = windows->find<TheadingPlotForm>(vx::WindowId::TheadingPlotForm);
    ASSERT_TRUE(sky && heading);
    receive(0x33, 0x01, {0x04, 0x11, 0x15, 200, 45, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_FALSE(sky->dot(4).shown);
    menuItem("Sky Plot...")->trigger();
    menuItem("Heading Plot...")->trigger();
    receive(0x33, 0x01, {0x04, 0x11, 0x15, 200, 45, 0, 0});
    std::vector<uint8_t> ff(46, 0);
    ff[17] = 0x00;
    ff[18] = 0x40; // heading 0x4000: 0.5
    receive(0x30, 0x02, ff);
    ASSERT_TRUE(waitDelivered(2));
    EXPECT_TRUE(sky->dot(4).shown);
    EXPECT_NEAR(sky->dot(4).x, 1.0, 1e-12);
    ASSERT_TRUE(heading->heading());
    EXPECT_DOUBLE_EQ(*heading->heading(), 0.5);
    // The main window hidden: it hands nothing on.
    main->hide();
    receive(0x33, 0x01, {0x04, 0x11, 0x14, 200, 45, 0, 0});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(sky->dot(4).tint, vx::Tint::Green);
}

} // namespace
