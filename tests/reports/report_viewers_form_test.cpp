// The report viewers, each through the real receive path with the test playing the receiver:
// what each sends, its texts and refusals, and what is its own (the debug message and its
// log, the 7020 window's Clear, the 3002 window created on first use). The request cycle is
// the base's (tests/console/report_view_form_test.cpp).
#include "link/catalogue.h"
#include "reports/pkt1601_1602_form.h"
#include "reports/pkt3002_form.h"
#include "reports/pkt31_form.h"
#include "reports/pkt3202_3203_form.h"
#include "reports/pkt32_form.h"
#include "reports/pkt33_form.h"
#include "reports/pkt7020_form.h"
#include "reports/pkt_buffered_dr_form.h"
#include "support/console_rig_qt.h"
#include "support/payload.h"
#include "support/temp_path.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;

namespace {

std::string query(uint8_t code, uint8_t sub) {
    return vxtest::hex(vx::CommandFrame(vx::kCmdQuery, code, sub).toBytes());
}

QString text(QWidget& w, const char* name) {
    if (auto* p = w.findChild<Panel*>(name)) return p->text();
    return vxtest::child<QLineEdit>(&w, name)->text();
}
QColor colour(QWidget& w, const char* name) {
    if (auto* p = w.findChild<Panel*>(name)) return p->colour();
    return vxtest::child<Lamp>(&w, name)->colour();
}

// One window on its own rig, shown (so it has sent its queries).
template <class Form> struct Viewer {
    ConsoleRig rig;
    Form form{rig.console};
    uint64_t seen = 0;
    Viewer() {
        EXPECT_TRUE(rig.start());
        form.show();
    }
    void receive(uint8_t h1, uint8_t h2, const std::vector<uint8_t>& payload) {
        rig.receive(h1, h2, payload);
        ASSERT_TRUE(rig.waitDelivered(++seen));
    }
    void ack(const std::vector<uint8_t>& payload) { receive(0x10, vx::kCmdQuery, payload); }
};

TEST(ReportViewers, TimeAndConstellationSummary3201) {
    Viewer<Tpkt32Form> v;
    EXPECT_EQ(v.form.windowTitle(), "Time and Const. Summary (3201)");
    EXPECT_EQ(v.rig.sentHex(6), query(0x32, 0x01));
    vxtest::child<QPushButton>(&v.form, "queryButon");
    v.receive(0x32, 0x01,
              {0xE8, 0x07, 13, 5, 12, 34, 56, 18, 0x00, 0x02, 0, 1, 0, 1, 7, 0x15, 0x82, 0x19});
    EXPECT_EQ(text(v.form, "pdopWin"), "2.00");
    EXPECT_EQ(colour(v.form, "ststusWin"), lamp::kWhite);
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kGreen);
    // A refusal of a 3201 Query; one of a 3202 is not its own (the routing keeps it away).
    v.form.queryButtonClick();
    v.ack({0x32, 0x01, 0x05});
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kRed);
}

TEST(ReportViewers, ConstellationAndTimeSummaries3202And3203) {
    Viewer<Tpkt3202_3203Form> v;
    EXPECT_EQ(v.rig.sentHex(12), query(0x32, 0x02) + " " + query(0x32, 0x03));
    EXPECT_EQ(colour(v.form, "queryLED02"), lamp::kWhite);
    EXPECT_EQ(colour(v.form, "queryLED03"), lamp::kWhite);
    // 3202 refused: red at once; the time-out does not touch it again, and paints 3203 red.
    v.ack({0x32, 0x02, 0x04});
    EXPECT_EQ(colour(v.form, "queryLED02"), lamp::kRed);
    vxtest::child<Lamp>(&v.form, "queryLED02")->setColour(lamp::kBlue); // marker
    v.form.responseTimerTimer();
    EXPECT_EQ(colour(v.form, "queryLED02"), lamp::kBlue);
    EXPECT_EQ(colour(v.form, "queryLED03"), lamp::kRed);
    // Each group's button queries its own report.
    vxtest::child<QPushButton>(&v.form, "queryButon03")->click();
    EXPECT_EQ(v.rig.sentHex(6), query(0x32, 0x03));
    v.receive(0x32, 0x03, {0x30, 1, 0, 0, 0, 9, 9, 18, 0xE8, 0x07, 31, 12, 23, 59, 58});
    EXPECT_EQ(text(v.form, "towWin03"), "1");
    EXPECT_EQ(text(v.form, "timeSrcWin03"), "GPS (< 1 ms)");
    EXPECT_EQ(colour(v.form, "queryLED03"), lamp::kGreen);
    EXPECT_EQ(text(v.form, "towWin02"), "");
}

TEST(ReportViewers, ChannelStatus3301) {
    Viewer<Tpkt33Form> v;
    std::string frames;
    for (uint8_t ch = 0; ch < 12; ++ch)
        frames += (ch ? " " : "") +
                  vxtest::hex(vx::CommandFrame(vx::kCmdQuery, 0x33, 0x01).byte(ch).toBytes());
    EXPECT_EQ(v.rig.sentHex(12 * 7), frames);
    // A report for channel 12 turns the LED green and changes nothing else.
    v.receive(0x33, 0x01, {0x0C, 0x11, 0x35, 0xC8, 0x5A, 0x1E, 0x0E});
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kGreen);
    for (auto* p : v.form.findChildren<Panel*>()) EXPECT_EQ(p->text(), "");
    // Row 4 (its texts are the view's, tests/reports/constellation_views_test.cpp).
    v.receive(0x33, 0x01, {0x03, 0x11, 0x35, 0xC8, 0x5A, 0x1E, 0x0E});
    EXPECT_EQ(text(v.form, "svWin4"), "17");
    EXPECT_EQ(colour(v.form, "almWin4"), lamp::kWhite);
    EXPECT_EQ(colour(v.form, "snrStatus4"), lamp::kGreen);
    EXPECT_EQ(colour(v.form, "svWin5"), Panel::faceColour());
    EXPECT_EQ(v.form.staleCount(), 1u);
}

TEST(ReportViewers, GpsFix3101AndItsDebugMessageAndLog) {
    Viewer<Tpkt31Form> v;
    EXPECT_EQ(v.rig.sentHex(6), query(0x31, 0x01));
    std::vector<uint8_t> fix(28, 0);
    fix[4] = 0x51;
    v.receive(0x31, 0x01, fix);
    EXPECT_EQ(text(v.form, "fixSrcWin"), "Position Valid");
    EXPECT_EQ(text(v.form, "altHoldWin"), "Altitude-Hold (2-D) LS fix");
    EXPECT_EQ(colour(v.form, "DGPS_LED"), lamp::kYellow);
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kGreen);

    // Logging to a file of the test's own.
    const std::string path = vxtest::uniqueTempPath("TimeSource") + ".csv";
    v.form.setLogPath(path);
    auto* log = vxtest::child<QPushButton>(&v.form, "logButton");
    auto* stop = vxtest::child<QPushButton>(&v.form, "stopButton");
    auto* pause = vxtest::child<QPushButton>(&v.form, "Button1");
    EXPECT_FALSE(stop->isEnabled());
    log->click();
    EXPECT_TRUE(v.form.logging());
    EXPECT_FALSE(log->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    std::vector<uint8_t> msg(16, 0);
    vxtest::put32(msg, 0, 1000);
    vxtest::put32(msg, 12, 0xFFFFFFFF);
    v.receive(0x23, 0x01, msg);
    EXPECT_EQ(text(v.form, "Edit1"), "1000");
    EXPECT_EQ(text(v.form, "Edit4"), "4294967295");
    // Paused: the debug message changes nothing and is not logged; the fix report still shows.
    pause->click();
    EXPECT_EQ(pause->text(), "Resume");
    vxtest::put32(msg, 0, 2000);
    v.receive(0x23, 0x01, msg);
    EXPECT_EQ(text(v.form, "Edit1"), "1000");
    fix[4] = 0x12;
    v.receive(0x31, 0x01, fix);
    EXPECT_EQ(text(v.form, "fixSrcWin"), "Unknown");
    pause->click();
    EXPECT_EQ(pause->text(), "Pause");
    // A short message is ignored.
    v.receive(0x23, 0x01, std::vector<uint8_t>(15, 9));
    EXPECT_EQ(text(v.form, "Edit1"), "1000");
    v.receive(0x23, 0x01, msg);
    stop->click();
    EXPECT_FALSE(v.form.logging());
    EXPECT_TRUE(log->isEnabled());
    v.receive(0x23, 0x01, msg);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "1000, 0, 0, 4294967295\r\n2000, 0, 0, 4294967295\r\n");
    std::remove(path.c_str());
}

TEST(ReportViewers, TimeSourceLogThatCannotBeCreatedIsReportedWithItsPath) {
    std::vector<vxtest::Message> messages;
    msg::setInterceptor([&](msg::Kind k, const QString& title, const QString& t) {
        messages.push_back({k, title, t});
    });
    vxtest::OfflineConsole c;
    Tpkt31Form form(c.console);
    form.setLogPath("/nonexistent-dir/TimeSource.csv");
    vxtest::child<QPushButton>(&form, "logButton")->click();
    msg::setInterceptor(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_TRUE(
        messages[0].text.startsWith("Could not open file.\n/nonexistent-dir/TimeSource.csv"))
        << messages[0].text.toStdString();
    EXPECT_FALSE(form.logging());
    EXPECT_TRUE(vxtest::child<QPushButton>(&form, "logButton")->isEnabled());
    EXPECT_FALSE(vxtest::child<QPushButton>(&form, "stopButton")->isEnabled());
    // By default the file is made in the current directory.
    Tpkt31Form other(c.console);
    EXPECT_TRUE(QString::fromStdString(other.logPath()).endsWith("/TimeSource.csv"));
}

TEST(ReportViewers, HealthAndStartup1601And1602) {
    Viewer<Tpkt1601_1602Form> v;
    EXPECT_EQ(v.rig.sentHex(12), query(0x16, 0x01) + " " + query(0x16, 0x02));
    v.receive(0x16, 0x01, {0x05, 0x03, 0x00});
    EXPECT_EQ(text(v.form, "A_Panel"), "Antenna Short");
    // After the 1601 alone the LED stays white.
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kWhite);
    v.receive(0x16, 0x02, {0x03, 0x20, 0, 0x0D, 0, 1, 0, 0, 0});
    EXPECT_EQ(text(v.form, "shutdownPanel"), "Failure on sending a message.");
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kGreen);
}

TEST(ReportViewers, DiagnosticStartup7020) {
    Viewer<Tpkt7020Form> v;
    EXPECT_EQ(v.rig.sentHex(7),
              vxtest::hex(vx::CommandFrame(vx::kCmdQuery, 0x70, 0x20).byte(1).toBytes()));
    std::vector<uint8_t> p = {0, 0xEF, 0xBE, 0xAD, 0xDE, 2, 1, 3, 0x0C, 0x1F, 0xD7, 0x07, 1,
                              2, 3,    4,    5,    0,    0, 1, 2, 3,    4,    5,    0,    0};
    // Shorter than its layout: ignored (the decoder would fill it up with zeros).
    v.receive(0x70, 0x20, std::vector<uint8_t>(p.begin(), p.end() - 1));
    EXPECT_EQ(text(v.form, "ROM_cksumWin"), "");
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kWhite);
    v.receive(0x70, 0x20, p);
    EXPECT_EQ(text(v.form, "ROM_cksumWin"), "DEADBEEF");
    EXPECT_EQ(text(v.form, "navDateWin"), "31/12/2007");
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kGreen);
    vxtest::child<QPushButton>(&v.form, "clearButton")->click();
    EXPECT_EQ(text(v.form, "navDateWin"), "");
    EXPECT_EQ(colour(v.form, "navDateWin"), Panel::faceColour());
    // A Query empties the panels too; the time-out paints red and keeps the query open.
    v.receive(0x70, 0x20, p);
    v.form.queryButtonClick();
    EXPECT_EQ(text(v.form, "ROM_cksumWin"), "");
    v.form.responseTimerTimer();
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kRed);
    EXPECT_TRUE(v.form.queryPending());
}

TEST(ReportViewers, BufferedDr3003) {
    Viewer<TpktBufferedDr> v;
    EXPECT_EQ(v.rig.sentHex(6), query(0x30, 0x03));
    v.receive(0x30, 0x03, std::vector<uint8_t>(101, 0));
    EXPECT_EQ(text(v.form, "deltaDistArrayWin").size(), 60);
    EXPECT_EQ(colour(v.form, "posStatus"), lamp::kYellow);
    EXPECT_EQ(colour(v.form, "queryLED"), lamp::kGreen);
}

// 3002: created the first time its menu item is used, routed only once it exists, destroyed
// at shut-down.
TEST_F(ConsoleWindows, FastFix3002WindowIsCreatedOnFirstUse) {
    EXPECT_EQ(windows->find(vx::WindowId::Tpkt3002Form), nullptr);
    startOnPty(0);
    QWidget* w = windows->open(vx::WindowId::Tpkt3002Form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Fast Fix with Raw DR Data (3002)");
    EXPECT_EQ(vxtest::hex(pty.read(6)), query(0x30, 0x02));
    std::vector<uint8_t> p(46, 0);
    p[2] = 254;
    p[39] = 0x85;
    receive(0x30, 0x02, p);
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(text(*w, "ageWin"), "> 253");
    EXPECT_EQ(text(*w, "gyroNoWin"), "5");
    EXPECT_EQ(text(*w, "dirSwitchValWin"), "High");
    EXPECT_EQ(colour(*w, "queryLED"), lamp::kGreen);
    QPointer<QWidget> alive(w);
    windows->destroyFirstUseWindows();
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(windows->find(vx::WindowId::Tpkt3002Form), nullptr);
}

} // namespace
