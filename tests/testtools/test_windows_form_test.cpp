// The TTCA, buffered DR and ADC calibration windows' own behaviour with reports fed by hand:
// the trigger ignores 3201s while it runs and times from its end; a refused overwrite and Stop
// leave the files as they should; a periodic 3003 does not end the buffered DR test; a new
// 700F series flips "cbFloats" when asked to.
#include "support/console_fixture_qt.h"
#include "support/hex.h"
#include "support/recording_sink.h"
#include "support/temp_path.h"
#include "testtools/adc_cal_form.h"
#include "testtools/bench_test_form.h"
#include "testtools/buffered_dr_test_form.h"
#include "testtools/ttca_form.h"
#include "widgets/file_dialog_qt.h"
#include "widgets/text_memo_qt.h"

#include <QCheckBox>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

using vxtest::child;
using vxtest::ConsoleWindows;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void choose(QWidget* w, const char* button, const std::string& path) {
    fileDialog::setChooser([&](const QString&) { return QString::fromStdString(path); });
    child<QPushButton>(w, button)->click();
    fileDialog::setChooser(nullptr);
}

std::vector<uint8_t> report3201(bool almanacComplete) {
    std::vector<uint8_t> p(18, 0);
    p[0] = 0xEA;
    p[1] = 0x07;
    p[16] = almanacComplete ? 0x80 : 0x00;
    return p;
}

TEST_F(ConsoleWindows, TtcaColdResetTimesFromTheEndOfItsTrigger) {
    auto* w = windows->find<TTtcaForm>(vx::WindowId::TTtcaForm);
    int64_t now = 0;
    w->setClock([&] { return now; });
    const std::string path = vxtest::uniqueTempPath("ttca_form") + ".log";
    choose(w, "file10Button", path);
    startOnPty(0);
    vxtest::RecordingSink sink;
    console->setSink(&sink);
    child<QPushButton>(w, "startButton")->click();
    ASSERT_EQ(sink.hexFrames(), std::vector<std::string>{"81 03 02 F8 82"});
    ASSERT_TRUE(w->triggering());
    EXPECT_EQ(w->triggerTimer()->interval(), 2000);
    auto* last = child<Panel>(w, "lastTtcaWin");
    auto* current = child<Panel>(w, "currentTimeWin");
    auto* rx = child<Lamp>(w, "rxStatus");

    receive(0x32, 0x01, report3201(true)); // while the trigger runs: ignored
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_TRUE(last->text().isEmpty());
    EXPECT_TRUE(current->text().isEmpty());

    now = 1000;
    w->triggerTimerTimer(); // the time starts here
    EXPECT_FALSE(w->triggering());
    now = 91000;
    receive(0x32, 0x01, report3201(false));
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(current->text(), "1.5");
    EXPECT_TRUE(last->text().isEmpty());
    EXPECT_EQ(rx->colour(), lamp::kGreen);
    now = 151000;
    receive(0x32, 0x01, report3201(true));
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(last->text(), "2.5");
    EXPECT_EQ(rx->colour(), lamp::kWhite);
    EXPECT_EQ(slurp(path), "2.5\r\n");
    EXPECT_TRUE(w->triggering());
    EXPECT_EQ(sink.frames.size(), 2u); // cleared again
    child<QPushButton>(w, "stopButton")->click();
    EXPECT_FALSE(w->running());
    EXPECT_FALSE(w->triggerTimer()->isActive());

    // An existing log is kept when the user says No.
    msg::setAnswerer([](msg::Kind, const QString& title, const QString& text) {
        EXPECT_EQ(title, "File Exists");
        EXPECT_EQ(text, "File Already Exists.  Overwrite?");
        return false;
    });
    child<QPushButton>(w, "startButton")->click();
    msg::setAnswerer(nullptr);
    EXPECT_FALSE(w->running());
    EXPECT_EQ(slurp(path), "2.5\r\n");
    EXPECT_EQ(sink.frames.size(), 2u);
    console->setSink(nullptr);
    std::remove(path.c_str());
}

TEST_F(ConsoleWindows, BufferedDrKeepsFilesOnNoAndStopsOnlyOnItsOwn3003) {
    auto* w = windows->find<TbufferedDrForm>(vx::WindowId::TbufferedDrForm);
    const std::string path = vxtest::uniqueTempPath("buffered_dr_form") + ".csv";
    std::ofstream(path) << "keep";
    choose(w, "fileButton", path);
    child<QLineEdit>(w, "durationWin")->setText("1000");
    msg::setAnswerer([](msg::Kind, const QString&, const QString&) { return false; });
    child<QPushButton>(w, "startButton")->click();
    msg::setAnswerer([](msg::Kind, const QString&, const QString&) { return true; });
    EXPECT_EQ(slurp(path), "keep");
    EXPECT_TRUE(child<QPushButton>(w, "startButton")->isEnabled());

    startOnPty(0);
    vxtest::RecordingSink sink;
    console->setSink(&sink);
    child<QPushButton>(w, "startButton")->click();
    ASSERT_EQ(sink.hexFrames(), std::vector<std::string>{"81 03 01 F9 82"}); // Hot Reset
    EXPECT_EQ(slurp(path), "");
    w->startTimerTimer();
    ASSERT_TRUE(w->logging());
    receive(0x30, 0x02, std::vector<uint8_t>(46, 0));
    receive(0x30, 0x03, std::vector<uint8_t>(101, 0)); // periodic: not the test's answer
    ASSERT_TRUE(waitDelivered(2));
    EXPECT_EQ(w->count(), 1u);
    EXPECT_TRUE(w->logging());
    EXPECT_EQ(child<Lamp>(w, "rxLED")->colour(), lamp::kGreen);
    w->blipTimerTimer();
    EXPECT_EQ(child<Lamp>(w, "rxLED")->colour(), lamp::kWhite);
    EXPECT_EQ(child<QTimer>(w, "testTimer")->interval(), 1000);

    child<QPushButton>(w, "stopButton")->click();
    EXPECT_EQ(child<Panel>(w, "statusWin")->text(), "Test stopped by user.");
    EXPECT_FALSE(w->logging());
    EXPECT_FALSE(child<QTimer>(w, "testTimer")->isActive());
    EXPECT_EQ(slurp(path), ""); // left as created
    msg::setAnswerer(nullptr);
    console->setSink(nullptr);
    std::remove(path.c_str());
}

TEST_F(ConsoleWindows, AdcNewSeriesFlipsFloatsWhenToggleIsChecked) {
    auto* w = windows->find<TAdcCalParamsForm>(vx::WindowId::TAdcCalParamsForm);
    w->show();
    startOnPty(0);
    auto* floats = child<QCheckBox>(w, "cbFloats");
    EXPECT_TRUE(floats->isChecked());
    std::vector<uint8_t> p(66, 0);
    p[0] = 1;
    p[1] = 2;
    receive(0x70, 0x0F, p);
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_TRUE(floats->isChecked());
    child<QCheckBox>(w, "cbToggle")->setChecked(true);
    receive(0x70, 0x0F, p);
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_FALSE(floats->isChecked());
    auto* memo1 = child<TextMemo>(w, "Memo1");
    EXPECT_EQ(memo1->lines().size(), 32u);
    child<QPushButton>(w, "btnClear")->click();
    EXPECT_TRUE(memo1->empty());
}

TEST_F(ConsoleWindows, BenchTestThatCannotBeSentDoesNotStart) {
    auto* w = windows->find<TtachoReverseBenchForm>(vx::WindowId::TtachoReverseBenchForm);
    child<QLineEdit>(w, "timeIntervalWin")->setText("60");
    child<QPushButton>(w, "Start")->click(); // nothing is monitored
    EXPECT_EQ(child<Panel>(w, "statusWin")->text(),
              "Not monitoring: Test Control (2F06) was not sent");
    EXPECT_TRUE(child<QPushButton>(w, "Start")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(w, "Stop")->isEnabled());
    vxtest::RecordingSink sink;
    console->setSink(&sink);
    child<QPushButton>(w, "Start")->click();
    console->setSink(nullptr);
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(vxtest::hex(sink.frames[0]).substr(0, 17), "81 01 2F 06 3C 00");
    EXPECT_EQ(child<Panel>(w, "statusWin")->text(), "Test In Progress, please wait...");
}

} // namespace
