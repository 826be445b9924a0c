// The bench and logging tests against the simulated receiver: a gyro bench test runs and
// reports, the ADC calibration window prints a 700F series and its average, the buffered DR
// test writes its CSV and the TTCA test logs a time to almanac after clearing it.
#include "link/catalogue.h"
#include "sim/sim_receiver.h"
#include "support/console_fixture_qt.h"
#include "support/temp_path.h"
#include "testtools/adc_cal_form.h"
#include "testtools/bench_test_form.h"
#include "testtools/buffered_dr_test_form.h"
#include "testtools/ttca_form.h"
#include "widgets/file_dialog_qt.h"
#include "widgets/text_memo_qt.h"

#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::pumpUntil;

namespace {

// Waits until the receiver has acknowledged n more commands than before (it answers at the
// time it has reached, so a command must be in before its clock is moved on).
bool waitAcks(vx::sim::SimRunner& sim, uint64_t before, uint64_t n = 1) {
    return pumpUntil([&] { return sim.stats().acksSent >= before + n; });
}

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TEST_F(ConsoleOnSimulatedReceiver, GyroBenchTestRunsAndReports) {
    startSimulatedReceiver();
    menuItem("Gyro Bench Test (3F04)...")->trigger();
    auto* w = windows->find<TgyroBenchTest>(vx::WindowId::TgyroBenchTest);
    ASSERT_TRUE(w->isVisible());
    auto* interval = child<QLineEdit>(w, "timeIntervalWin");
    auto* start = child<QPushButton>(w, "Start");
    auto* stop = child<QPushButton>(w, "Stop");
    auto* status = child<Panel>(w, "statusWin");
    for (const char* bad : {"61", "0", "abc"}) {
        interval->setText(bad);
        start->click();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().text, "Time Interval out of Range (1-60 Seconds)");
        EXPECT_EQ(messages.back().title, "");
        EXPECT_TRUE(start->isEnabled());
    }
    interval->setText("10");
    uint64_t acks = sim->stats().acksSent;
    start->click();
    ASSERT_TRUE(waitAcks(*sim, acks));
    EXPECT_EQ(status->text(), "Test In Progress, please wait...");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    ASSERT_TRUE(sim->advance(10500));
    EXPECT_TRUE(pumpUntil([&] { return status->text() == "Test complete"; }));
    EXPECT_TRUE(pumpUntil([&] { return child<QLineEdit>(w, "testDurationWin")->text() == "10"; }));
    EXPECT_FALSE(child<QLineEdit>(w, "samplesAtRestWin")->text().isEmpty());
    EXPECT_FALSE(child<QLineEdit>(w, "adcCountsWin")->text().isEmpty());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());

    // Stop Immediately: the receiver ends the test without a report.
    start->click();
    stop->click();
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(status->text(), "Test In Progress, please wait...");
}

TEST_F(ConsoleOnSimulatedReceiver, AdcCalibrationShowsASeriesAndItsAverage) {
    startSimulatedReceiver();
    auto* w = windows->find<TAdcCalParamsForm>(vx::WindowId::TAdcCalParamsForm);
    w->show();
    vx::DiagOutputMask mask{};
    mask[1] = 0xC0; // 0x0E and 0x0F
    const uint64_t acks = sim->stats().acksSent;
    ASSERT_EQ(vx::setDiagOutput(console->sink(), mask), 0);
    ASSERT_TRUE(waitAcks(*sim, acks));
    ASSERT_TRUE(sim->advance(31000));
    auto* memo2 = child<TextMemo>(w, "Memo2");
    auto* memo3 = child<TextMemo>(w, "Memo3");
    EXPECT_TRUE(pumpUntil([&] { return !memo2->empty(); }));
    EXPECT_EQ(child<TextMemo>(w, "Memo1")->lines().size(), 200u);
    ASSERT_EQ(memo2->lines().size(), 1u);
    EXPECT_TRUE(memo2->lines()[0].starts_with("Avg: 6")) << memo2->lines()[0];
    EXPECT_TRUE(pumpUntil([&] { return memo3->lines().size() >= 3; }));
    EXPECT_TRUE(memo3->lines()[0].starts_with("CalLevel: ")) << memo3->lines()[0];
    EXPECT_TRUE(memo3->lines()[1].starts_with("DNLRAW: "));
}

TEST_F(ConsoleOnSimulatedReceiver, BufferedDrTestWritesItsCsv) {
    startSimulatedReceiver();
    auto* w = windows->find<TbufferedDrForm>(vx::WindowId::TbufferedDrForm);
    w->show();
    const std::string path = vxtest::uniqueTempPath("buffered_dr_e2e") + ".csv";
    fileDialog::setChooser([&](const QString&) { return QString::fromStdString(path); });
    child<QPushButton>(w, "fileButton")->click();
    fileDialog::setChooser(nullptr);
    EXPECT_EQ(child<QLineEdit>(w, "logFileWin")->text().toStdString(), path);
    auto* status = child<Panel>(w, "statusWin");

    child<QLineEdit>(w, "durationWin")->setText("abc");
    child<QPushButton>(w, "startButton")->click();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().text, "Test duration is 0.");
    EXPECT_FALSE(std::ifstream(path).good()); // no file touched

    child<QLineEdit>(w, "durationWin")->setText("2000");
    const uint64_t acks = sim->stats().acksSent;
    child<QPushButton>(w, "startButton")->click();
    ASSERT_TRUE(waitAcks(*sim, acks)); // the hot reset
    EXPECT_EQ(status->text(), "In progress, waiting for first 30-02 packet.");
    ASSERT_TRUE(child<QTimer>(w, "startTimer")->isActive());
    w->startTimerTimer();
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs() + 1000));
    EXPECT_TRUE(pumpUntil([&] { return w->count() > 0; }));
    auto* testTimer = child<QTimer>(w, "testTimer");
    EXPECT_TRUE(testTimer->isActive());
    EXPECT_EQ(testTimer->interval(), 2000);
    EXPECT_EQ(status->text(), "In progress, logging 30-02 packets.");
    ASSERT_TRUE(sim->advance(2000));
    EXPECT_TRUE(pumpUntil([&] { return w->count() >= 10; }));
    w->testTimerTimer();
    EXPECT_TRUE(pumpUntil([&] { return status->text() == "Test complete."; }));
    EXPECT_FALSE(w->logging());

    const std::string csv = slurp(path);
    EXPECT_TRUE(csv.starts_with("Lon Radians to Meters:, ")) << csv.substr(0, 200);
    const size_t header = csv.find("\r\nTOW, Time Tag, Pos Type, Lon, Lat, Heading");
    ASSERT_NE(header, std::string::npos);
    size_t lines = 0;
    for (size_t p = csv.find('\n', header + 2); p != std::string::npos; p = csv.find('\n', p + 1)) {
        EXPECT_EQ(csv[p - 1], '\r');
        ++lines;
    }
    EXPECT_EQ(lines, size_t(w->count()) + 1); // the header and a line per 3002
    std::remove(path.c_str());
}

TEST_F(ConsoleOnSimulatedReceiver, TtcaLogsTheTimeToAlmanacAfterClearingIt) {
    startSimulatedReceiver();
    ASSERT_TRUE(sim->advance(60000)); // the almanac is complete
    auto* w = windows->find<TTtcaForm>(vx::WindowId::TTtcaForm);
    w->show();
    int64_t now = 0;
    w->setClock([&] { return now; });
    child<QPushButton>(w, "startButton")->click();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().text, "No File Selected.");

    const std::string path = vxtest::uniqueTempPath("ttca_e2e") + ".log";
    fileDialog::setChooser([&](const QString&) { return QString::fromStdString(path); });
    child<QPushButton>(w, "file10Button")->click();
    fileDialog::setChooser(nullptr);
    for (QRadioButton* r : w->findChildren<QRadioButton*>())
        if (r->text() == "Clear almanac, no reset") r->setChecked(true);
    child<QPushButton>(w, "startButton")->click();
    EXPECT_TRUE(w->running());
    EXPECT_FALSE(child<QGroupBox>(w, "typeGroup")->isEnabled());
    // The clearing goes out paced by the trigger timer; its pauses are driven by hand.
    int ticks = 0;
    while (w->triggering()) {
        ASSERT_TRUE(w->triggerTimer()->isActive());
        EXPECT_EQ(w->triggerTimer()->interval(), 50);
        w->triggerTimerTimer();
        ++ticks;
    }
    EXPECT_EQ(ticks, 33);
    auto* last = child<Panel>(w, "lastTtcaWin");
    auto* current = child<Panel>(w, "currentTimeWin");
    for (int s = 1; s <= 120 && last->text().isEmpty(); ++s) {
        now += 1000;
        ASSERT_TRUE(sim->advance(1000));
        const QString expected = QString::fromStdString(vx::ttcaMinutesText(now));
        ASSERT_TRUE(pumpUntil([&] {
            return current->text() == expected || !last->text().isEmpty();
        })) << s;
    }
    ASSERT_FALSE(last->text().isEmpty());
    EXPECT_EQ(slurp(path), last->text().toStdString() + "\r\n");
    EXPECT_TRUE(w->triggering()); // cleared again
    child<QPushButton>(w, "stopButton")->click();
    EXPECT_FALSE(w->running());
    EXPECT_TRUE(child<QGroupBox>(w, "typeGroup")->isEnabled());
    std::remove(path.c_str());
}

} // namespace
