// Every report viewer against the simulated receiver: opened from its menu item, it queries,
// fills from the receiver's answer and turns its LEDs green; the sky plot follows the
// simulated constellation; the GPS fix window shows the time-keeping messages a trigger asks
// for.
#include "link/catalogue.h"
#include "reports/sky_plot_form.h"
#include "support/console_fixture_qt.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <map>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::pumpUntil;

namespace {

TEST_F(ConsoleOnSimulatedReceiver, EveryViewerFillsFromItsMenuItem) {
    startSimulatedReceiver();
    struct Case {
        const char* item;
        vx::WindowId window;
        std::vector<const char*> leds;
        std::vector<const char*> panels;
    } cases[] = {
        {"Time and Constellation Summary (3201)...",
         vx::WindowId::Tpkt32Form,
         {"queryLED"},
         {"utcDateWin", "pdopWin", "timeSrcWin"}},
        {"Constellation/Time Summaries (3202, 3203)...",
         vx::WindowId::Tpkt3202_3203Form,
         {"queryLED02", "queryLED03"},
         {"towWin02", "weekNumWin"}},
        {"GPS Channel Status (3301)...",
         vx::WindowId::Tpkt33Form,
         {"queryLED"},
         {"svWin1", "sigWin12", "ephWin6"}},
        {"GPS Fix Message (3101)...",
         vx::WindowId::Tpkt31Form,
         {"queryLED"},
         {"timeWin", "latWin", "fixSrcWin"}},
        {"Health Status and Start-Up Reports (1601, 1602)...",
         vx::WindowId::Tpkt1601_1602Form,
         {"queryLED"},
         {"A_Panel", "sysTimePanel", "shutdownPanel"}},
        {"Diagnostic Startup (7020)...",
         vx::WindowId::Tpkt7020Form,
         {"queryLED"},
         {"ROM_cksumWin", "ioDateWin"}},
        {"Fast Fix with Raw DR Data (3002)...",
         vx::WindowId::Tpkt3002Form,
         {"queryLED"},
         {"towWin", "gyroCntWin"}},
        {"Buffered Cumulative DR Data (3003)...",
         vx::WindowId::TpktBufferedDr,
         {"queryLED"},
         {"timeTagWin", "currLatWin"}},
    };
    for (const Case& c : cases) {
        menuItem(c.item)->trigger();
        QWidget* w = windows->find(c.window);
        ASSERT_NE(w, nullptr) << c.item;
        EXPECT_TRUE(w->isVisible()) << c.item;
        // The receiver's clock stands still: it answers at once, so nothing here waits for
        // time to pass.
        for (const char* led : c.leds)
            EXPECT_TRUE(pumpUntil([&] {
                return vxtest::child<Lamp>(w, led)->colour() == lamp::kGreen;
            })) << c.item
                << " " << led;
        for (const char* p : c.panels) {
            auto* panel = vxtest::child<Panel>(w, p);
            EXPECT_TRUE(pumpUntil([&] { return !panel->text().isEmpty(); })) << c.item << " " << p;
            EXPECT_EQ(panel->colour(), lamp::kWhite) << c.item << " " << p;
        }
        w->hide();
    }
}

TEST_F(ConsoleOnSimulatedReceiver, SkyPlotFollowsTheConstellation) {
    startSimulatedReceiver();
    menuItem("Sky Plot...")->trigger();
    auto* sky = windows->find<TskyPlotForm>(vx::WindowId::TskyPlotForm);
    ASSERT_NE(sky, nullptr);
    ASSERT_TRUE(sim->advance(2000));
    ASSERT_TRUE(pumpUntil([&] {
        int shown = 0;
        for (int ch = 0; ch < 12; ++ch) shown += sky->dot(ch).shown;
        return shown >= 6;
    }));
    std::map<uint8_t, std::pair<double, double>> before;
    for (int ch = 0; ch < 12; ++ch)
        if (sky->dot(ch).shown) before[sky->dot(ch).sv] = {sky->dot(ch).x, sky->dot(ch).y};
    // Five minutes later the satellites have moved.
    ASSERT_TRUE(sim->advance(300000));
    EXPECT_TRUE(pumpUntil([&] {
        int moved = 0;
        for (int ch = 0; ch < 12; ++ch) {
            const vx::SkyDot& d = sky->dot(ch);
            auto it = before.find(d.sv);
            moved += d.shown && it != before.end() &&
                     (it->second.first != d.x || it->second.second != d.y);
        }
        return moved >= 3;
    }));
}

TEST_F(ConsoleOnSimulatedReceiver, GpsFixWindowShowsTheTimeKeepingMessages) {
    startSimulatedReceiver();
    menuItem("GPS Fix Message (3101)...")->trigger();
    QWidget* w = windows->find(vx::WindowId::Tpkt31Form);
    ASSERT_NE(w, nullptr);
    // Subcode 2 once a second, as a time trigger asks.
    ASSERT_EQ(vx::setTimeOutput(console->sink(), {0x23, 0x02}, {0, 1000}), 0);
    // The receiver's clock moves on until the trigger (taken whenever the Set arrives) has
    // sent a message.
    EXPECT_TRUE(pumpUntil([&] {
        sim->advance(500);
        return !vxtest::child<QLineEdit>(w, "Edit8")->text().isEmpty();
    }));
    EXPECT_EQ(vxtest::child<Lamp>(w, "Shape1")->colour(), lamp::kGreen);
}

} // namespace
