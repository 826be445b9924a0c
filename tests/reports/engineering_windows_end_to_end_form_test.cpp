// The engineering windows against the simulated receiver: the self test answers its query,
// the 12 channel monitor logs channels, task usage and drift and loads the receiver with its
// queries, the raw GPS fix window shows the raw fix, its channel tables and debug text.
#include "link/catalogue.h"
#include "reports/chan_monitor_form.h"
#include "reports/raw_fix_form.h"
#include "support/console_fixture_qt.h"
#include "widgets/text_memo_qt.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include <gtest/gtest.h>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::pumpUntil;

namespace {

bool anyLineStarts(const TextMemo* m, const std::string& prefix) {
    for (const std::string& l : m->lines())
        if (l.starts_with(prefix)) return true;
    return false;
}

TEST_F(ConsoleOnSimulatedReceiver, SelfTestAnswersItsQuery) {
    startSimulatedReceiver();
    menuItem("ADC and Gyro Self Test (3F01)... ")->trigger();
    QWidget* w = windows->find(vx::WindowId::TselfTestForm);
    ASSERT_TRUE(w->isVisible());
    EXPECT_TRUE(pumpUntil([&] { return child<Lamp>(w, "queryLED")->colour() == lamp::kGreen; }));
    EXPECT_EQ(child<QLineEdit>(w, "ADCFixedWin")->text(), "2730");
    EXPECT_EQ(child<QLineEdit>(w, "samplesFixedWin")->text(), "100");
    EXPECT_FALSE(child<QLineEdit>(w, "ADCRestWin")->text().isEmpty());
    EXPECT_EQ(child<Lamp>(w, "errStatus")->colour(), lamp::kGreen);
}

TEST_F(ConsoleOnSimulatedReceiver, ChannelMonitorAndRawFixesFillFromTheDiagnostics) {
    startSimulatedReceiver();
    auto* mon = windows->find<Tfrm12ChanMon>(vx::WindowId::Tfrm12ChanMon);
    auto* raw = windows->find<TGpsRawPositionForm>(vx::WindowId::TGpsRawPositionForm);
    mon->show();
    raw->show();
    child<QCheckBox>(mon, "cbInfo")->setChecked(true);
    vx::DiagOutputMask mask{};
    for (uint8_t sub : {0x02, 0x09, 0x10, 0x11, 0x12, 0x15, 0x16})
        mask[sub / 8] |= uint8_t(1u << (sub % 8));
    const uint64_t acks = sim->stats().acksSent;
    ASSERT_EQ(vx::setDiagOutput(console->sink(), mask), 0);
    ASSERT_EQ(vx::sendQuery2(console->sink(), 0x33, 0x01, 0xFF), 0);
    // Both are in before the receiver's clock moves on.
    ASSERT_TRUE(pumpUntil([&] { return sim->stats().acksSent >= acks + 2; }));
    ASSERT_TRUE(sim->advance(12000));

    auto* info = child<TextMemo>(mon, "mmInfo");
    auto* prof = child<TextMemo>(mon, "mmProf");
    EXPECT_TRUE(pumpUntil([&] { return info->lines().size() >= 12; }));
    EXPECT_TRUE(info->lines().front().starts_with("[ 1]")) << info->lines().front();
    EXPECT_TRUE(pumpUntil([&] { return anyLineStarts(prof, "MESSAGE BUFFER SIZES"); }));
    EXPECT_EQ(prof->lines().front(), vx::kDriftHeader);
    EXPECT_TRUE(anyLineStarts(prof, " 0 u: 0x"));

    auto* memo1 = child<TextMemo>(raw, "Memo1");
    auto* memo2 = child<TextMemo>(raw, "Memo2");
    auto* fix = child<Panel>(raw, "pnlFixOrNoFix");
    EXPECT_TRUE(pumpUntil([&] { return !memo2->empty() && anyLineStarts(memo1, "sv"); }));
    EXPECT_TRUE(anyLineStarts(memo1, "gpfsel.status: "));
    EXPECT_TRUE(anyLineStarts(memo2, "PF: "));
    EXPECT_TRUE(fix->text() == "Fix" || fix->text() == "No Fix") << fix->text().toStdString();
    EXPECT_FALSE(child<Panel>(raw, "pnlWeekNumber")->text().isEmpty());
    // The fix panel takes its colour when its timer fires.
    ASSERT_TRUE(child<QTimer>(raw, "tmrFixColor")->isActive());
    raw->tmrFixColorTimer();
    EXPECT_EQ(fix->colour(), fix->text() == "Fix" ? QColor(0, 128, 0) : QColor(128, 128, 128));

    // "Send requests": the timer follows the interval; each tick writes the 23 queries.
    auto* timer = child<QTimer>(mon, "tmrSendRequest");
    child<QSpinBox>(mon, "seTimerInterval")->setValue(100);
    child<QCheckBox>(mon, "cbSendRequests")->setChecked(true);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 100);
    timer->stop(); // ticks driven by hand
    const uint64_t before = console->delivered();
    mon->tmrSendRequestTimer();
    EXPECT_TRUE(pumpUntil([&] { return mon->writer().burstsWritten() == 1; }));
    // The receiver answers each of the 23 queries (report and acknowledgement).
    EXPECT_TRUE(pumpUntil([&] { return console->delivered() >= before + 46; }));
    mon->close();
    EXPECT_FALSE(child<QCheckBox>(mon, "cbSendRequests")->isChecked());
    EXPECT_FALSE(timer->isActive());

    child<QPushButton>(mon, "btnClear")->click();
    EXPECT_TRUE(info->empty());
    EXPECT_TRUE(prof->empty());
}

} // namespace
