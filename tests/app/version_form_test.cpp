// The version window: the six queries paced by its timer, each reply's texts, the LED (lime,
// refused, timed out, completed late), Clear, and the window on the simulated receiver; the
// About window.
#include "app/about_form.h"
#include "app/version_form.h"
#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QAction>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

struct VersionWindow {
    vxtest::ConsoleRig rig;
    TversionForm form{rig.console};
    Lamp* led = form.findChild<Lamp*>("queryLED");

    // What the window sent: n bytes. The queries after the first go from the window's script
    // timer, whose pauses are ended by hand (their lengths kept in pauses).
    std::string sent(size_t n) {
        pauses = vxtest::endPacedPauses(form);
        return vxtest::hex(rig.pty.read(n));
    }
    std::vector<int> pauses;

    QString text(const char* panel) {
        auto* p = form.findChild<Panel*>(panel);
        EXPECT_NE(p, nullptr) << panel;
        return p ? p->text() : QString();
    }
    // Receives one reply and waits until it has run.
    void reply(uint8_t h1, uint8_t h2, const std::vector<uint8_t>& payload) {
        const uint64_t before = rig.console.delivered();
        rig.receive(h1, h2, payload);
        ASSERT_TRUE(rig.waitDelivered(before + 1));
    }
    void answerAll() {
        reply(0x11, 0x01, {3, 2, 1, 1, 3, 0xE8, 0x07});
        reply(0x11, 0x02, {1, 4, 0, 11, 12, 0xE7, 0x07});
        reply(0x11, 0x03, {2, 1, 5, 2, 14, 0xE8, 0x07});
        reply(0x12, 0x02, {1});
        reply(0x12, 0x03, {1, 0, 0, 0, 13, 5, 0xE8, 0x07, 'X'});
        reply(0x12, 0x04, {'H', 'W'});
    }
};

constexpr const char* kQueries = "81 02 12 03 E6 82 81 02 12 04 E5 82 81 02 11 01 E9 82 "
                                 "81 02 11 02 E8 82 81 02 11 03 E7 82 81 02 12 02 E7 82";

TEST(VersionForm, ShowingSendsTheSixQueriesPacedByItsTimer) {
    VersionWindow w;
    EXPECT_EQ(w.form.objectName(), "versionForm");
    EXPECT_EQ(w.form.windowTitle(), "Version (1101-1103), Product Info (1202-1204)");
    // The script: 1203, 1204, 1101, 1102, 1103, 1202, each but the last followed by 50 ms.
    const vx::PacedScript s = TversionForm::queryScript();
    ASSERT_EQ(s.size(), 6u);
    std::string frames;
    for (const auto& step : s) frames += vxtest::hex(step.frame) + " ";
    EXPECT_EQ(frames, std::string(kQueries) + " ");
    for (size_t i = 0; i < s.size(); ++i) EXPECT_EQ(s[i].pauseAfterMs, i + 1 < s.size() ? 50 : 0);

    ASSERT_TRUE(w.rig.start());
    w.form.show();
    // The first goes at once, the rest from the timer: the window does not wait.
    EXPECT_TRUE(w.form.sending());
    EXPECT_EQ(w.rig.sentHex(6), std::string(kQueries).substr(0, 17));
    EXPECT_EQ(w.sent(30), std::string(kQueries).substr(18));
    EXPECT_EQ(w.pauses, (std::vector<int>{50, 50, 50, 50, 50}));
    EXPECT_EQ(w.led->colour(), lamp::kWhite);
    for (uint8_t k : {TversionForm::kNav, TversionForm::kBoot, TversionForm::kIo,
                      TversionForm::kMode, TversionForm::kProduct, TversionForm::kHardware})
        EXPECT_TRUE(w.form.pending(k)) << int(k);
}

TEST(VersionForm, RepliesFillTheirPanels) {
    std::vector<uint8_t> named = {0x15, 0xCD, 0x5B, 0x07, 31, 12, 0xD7, 0x07};
    for (uint8_t c : {0x41, 0x42, 0xE9, 0x00, 0x5A}) named.push_back(c); // A B é, zero, Z
    struct Case {
        const char* name;
        uint8_t h1, h2;
        std::vector<uint8_t> payload;
        std::vector<std::pair<const char*, QString>> panels;
        int key; // the answer it counts as, or -1
    } cases[] = {
        {"1101 nav",
         0x11,
         0x01,
         {2, 5, 1, 8, 6, 0xD7, 0x07},
         {{"navMajorWin", "02"},
          {"navMinorWin", "05"},
          {"navReleaseWin", "01"},
          {"navDateWin", "06/08/2007"},
          {"bootMajorWin", ""}},
         TversionForm::kNav},
        {"1102 boot",
         0x11,
         0x02,
         {10, 0, 99, 1, 2, 0x10, 0x27},
         {{"bootMajorWin", "10"}, {"bootReleaseWin", "99"}, {"bootDateWin", "02/01/10000"}},
         TversionForm::kBoot},
        {"1103 io",
         0x11,
         0x03,
         {1, 2, 3, 4, 5, 0, 0},
         {{"ioMinorWin", "02"}, {"ioDateWin", "05/04/0000"}},
         TversionForm::kIo},
        {"1104 is no code image",
         0x11,
         0x04,
         {1, 2, 3, 4, 5, 0, 0},
         {{"navMajorWin", ""}, {"bootMajorWin", ""}, {"ioMajorWin", ""}},
         -1},
        {"1202 normal", 0x12, 0x02, {1}, {{"modeWin", "Normal"}}, TversionForm::kMode},
        {"1202 monitor", 0x12, 0x02, {2}, {{"modeWin", "Monitor"}}, TversionForm::kMode},
        {"1202 other", 0x12, 0x02, {7}, {{"modeWin", "Unknown"}}, TversionForm::kMode},
        {"1203 of 8 bytes",
         0x12,
         0x03,
         {0x15, 0xCD, 0x5B, 0x07, 31, 12, 0xD7, 0x07},
         {{"prodIdWin", "12/31/2007"}, {"prodNameWin", ""}, {"snWin", "123456789"}},
         TversionForm::kProduct},
        {"1203 name cut at its zero, Latin-1",
         0x12,
         0x03,
         named,
         {{"prodNameWin", QString("AB") + QChar(0xE9)}},
         TversionForm::kProduct},
        {"1204",
         0x12,
         0x04,
         {0x48, 0x57, 0x2D, 0xB5, 0x00, 0x39},
         {{"hardwareIdWin", QString("HW-") + QChar(0xB5)}},
         TversionForm::kHardware},
    };
    for (const auto& c : cases) {
        VersionWindow w;
        ASSERT_TRUE(w.rig.start());
        w.form.show();
        w.sent(36);
        w.reply(c.h1, c.h2, c.payload);
        for (const auto& [panel, text] : c.panels)
            EXPECT_EQ(w.text(panel), text) << c.name << " " << panel;
        for (uint8_t k : {TversionForm::kNav, TversionForm::kBoot, TversionForm::kIo,
                          TversionForm::kMode, TversionForm::kProduct, TversionForm::kHardware})
            EXPECT_EQ(w.form.pending(k), k != c.key) << c.name << " key " << int(k);
    }
}

TEST(VersionForm, TheLedTellsWhetherAllSixCame) {
    VersionWindow w;
    ASSERT_TRUE(w.rig.start());
    w.form.show();
    w.sent(36);
    w.answerAll();
    EXPECT_EQ(w.led->colour(), lamp::kGreen);
    EXPECT_EQ(w.text("prodNameWin"), "X");

    // A refused Query turns it red at once; the answers still fill their fields.
    w.form.findChild<QPushButton*>("queryButton")->click();
    EXPECT_EQ(w.text("navMajorWin"), ""); // a new query clears the fields
    EXPECT_EQ(w.led->colour(), lamp::kWhite);
    w.sent(36);
    w.reply(0x10, 0x02, {0x12, 0x03, 0x05});
    EXPECT_EQ(w.led->colour(), lamp::kRed);
    w.reply(0x11, 0x01, {3, 2, 1, 1, 3, 0xE8, 0x07});
    EXPECT_EQ(w.text("navMajorWin"), "03");

    // Silence: the timer's expiry paints it red; answers that come late still count.
    w.form.findChild<QPushButton*>("queryButton")->click();
    w.sent(36);
    w.reply(0x12, 0x04, {'H', 'W'});
    w.form.responseTimerTimer();
    EXPECT_EQ(w.led->colour(), lamp::kRed);
    w.answerAll();
    EXPECT_EQ(w.led->colour(), lamp::kGreen);

    // Clear empties the panels and leaves the LED.
    w.form.findChild<QPushButton*>("clearButton")->click();
    for (const char* p : {"navDateWin", "modeWin", "prodIdWin", "snWin", "hardwareIdWin"})
        EXPECT_EQ(w.text(p), "") << p;
    EXPECT_EQ(w.led->colour(), lamp::kGreen);

    // Hidden, the 12xx replies are still taken; the 11xx are not.
    w.form.hide();
    w.reply(0x12, 0x02, {2});
    w.reply(0x11, 0x01, {9, 9, 9, 1, 1, 0, 0});
    EXPECT_EQ(w.text("modeWin"), "Monitor");
    EXPECT_EQ(w.text("navMajorWin"), "");
    EXPECT_FALSE(w.form.findChild<QGroupBox*>()->title().isEmpty());
}

TEST_F(ConsoleOnSimulatedReceiver, VersionAndAboutFromTheMenu) {
    startSimulatedReceiver();
    menuItem("&Version (1101-1103), Product Info (1202-1204)...")->trigger();
    auto* form = windows->find<TversionForm>(vx::WindowId::TversionForm);
    ASSERT_NE(form, nullptr);
    auto* led = form->findChild<Lamp*>("queryLED");
    vxtest::endPacedPauses(*form);
    ASSERT_TRUE(pumpUntil([&] { return led->colour() != lamp::kWhite; }));
    EXPECT_EQ(led->colour(), lamp::kGreen);
    auto text = [&](const char* name) { return form->findChild<Panel*>(name)->text(); };
    EXPECT_EQ(text("navMajorWin"), "03");
    EXPECT_EQ(text("navDateWin"), "01/03/2024"); // day 1 of March: payload byte 4 first
    EXPECT_EQ(text("modeWin"), "Normal");
    EXPECT_EQ(text("prodNameWin"), "SIMDR-12 GPS/DR");
    EXPECT_EQ(text("snWin"), "24051301");
    EXPECT_EQ(text("hardwareIdWin"), "HWID-SIM-0001");

    menuItem("&About...")->trigger();
    auto* about = windows->find<TaboutForm>(vx::WindowId::TaboutForm);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), "About");
    const QStringList lines =
        about->findChild<QPlainTextEdit*>("statusWin")->toPlainText().split('\n');
    EXPECT_EQ(lines.value(0), "Ornivex Version 2.40 ");
    EXPECT_EQ(lines.value(1), "June 8, 2007");
    about->findChild<QPushButton*>("closeButton")->click();
    EXPECT_FALSE(about->isVisible());
}

} // namespace
