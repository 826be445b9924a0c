// The windows of the packets of several fields: each window's own exceptions to its table
// (the Set-enable rule, the unnamed event bits, Pause, the log memos and Clear Event Log, a
// refusal shown in a box or left to the time-out) on a real pseudo-terminal; then each family
// end to end on the simulated receiver, including a window created on first use that is
// destroyed while packets for it are still arriving. The tables themselves are tested without a
// display (packet_dialog_tables_test).
#include "config/interval_control_form.h"
#include "config/pkt2907_form.h"
#include "config/pkt2908_form.h"
#include "config/pkt29_form.h"
#include "config/pkt36_form.h"
#include "config/soft_event_form.h"
#include "link/catalogue.h"
#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <regex>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleRig;
using vxtest::pumpUntil;

namespace {

const QColor kWhite = lamp::kWhite;
const QColor kGreen = lamp::kGreen;
const QColor kRed = lamp::kRed;

void click(QWidget* w, const char* name) {
    QTest::mouseClick(child<QPushButton>(w, name), Qt::LeftButton);
}
QColor led(QWidget* w, const char* name) {
    return child<Lamp>(w, name)->colour();
}

// A Set frame (command 0x01) of code and subcode with these payload bytes, escaped.
std::vector<uint8_t> setFrame(uint8_t code, uint8_t sub, const std::vector<uint8_t>& payload) {
    uint8_t buf[128];
    vx::PacketEncoder e(buf, sizeof buf);
    e.startFrame(vx::kCmdSet, code);
    e.addByte(sub);
    for (uint8_t b : payload) e.addByte(b);
    e.finishFrame();
    return std::vector<uint8_t>(buf, buf + e.position());
}
// The next frame the console sent, which should be this one.
void expectSent(ConsoleRig& rig, const std::vector<uint8_t>& frame) {
    EXPECT_EQ(rig.sentHex(frame.size()), vxtest::hex(frame));
}

// Takes the message boxes and answers the questions for as long as it lives.
struct Messages {
    Messages() {
        msg::setInterceptor([this](msg::Kind, const QString& title, const QString& text) {
            shown.push_back(title + ": " + text);
        });
        msg::setAnswerer([this](msg::Kind, const QString&, const QString& text) {
            asked.push_back(text);
            return answer;
        });
    }
    ~Messages() {
        msg::setAnswerer(nullptr);
        msg::setInterceptor(nullptr);
    }
    QStringList shown, asked;
    bool answer = false;
};

TEST(Pkt29Form, QueryAllAndTheSetEnableRule) {
    Messages messages;
    ConsoleRig rig;
    Tpkt29Form form(rig.console);
    ASSERT_TRUE(rig.start());
    for (const char* set : {"setButton01", "setButton03", "setButton05"})
        EXPECT_FALSE(child<QPushButton>(&form, set)->isEnabled()) << set;
    form.show();
    EXPECT_EQ(rig.sentHex(30), "81 02 29 01 D1 82 81 02 29 02 D0 82 81 02 29 03 CF 82 "
                               "81 02 29 04 CE 82 81 02 29 05 CD 82");

    const uint64_t before = rig.console.delivered();
    rig.receive(0x29, 0x01, {0x13, 0x06, 0x09, 0x00, 0x70, 0x99, 0x14, 0x14, 0, 0, 0});
    rig.receive(0x29, 0x05, {0x11, 0x00, 0x40, 0x48, 0x01});
    ASSERT_TRUE(rig.waitDelivered(before + 2));
    EXPECT_EQ(child<QComboBox>(&form, "sourceWin01")->currentText(), "GPS Fix");
    EXPECT_EQ(child<QLineEdit>(&form, "newnessWin01")->text(), "From BBRAM");
    EXPECT_EQ(child<QLineEdit>(&form, "weekNumWin")->text(), "2310");
    EXPECT_FALSE(child<QPushButton>(&form, "setButton01")->isEnabled()) << "the receiver's own";
    EXPECT_TRUE(child<QPushButton>(&form, "setButton05")->isEnabled());
    EXPECT_EQ(led(&form, "queryLED01"), kGreen);
    EXPECT_EQ(led(&form, "queryLED02"), kWhite);
    // Any change of a list applies the rule.
    child<QComboBox>(&form, "sourceWin01")->setCurrentIndex(1);
    EXPECT_TRUE(child<QPushButton>(&form, "setButton01")->isEnabled());
    child<QComboBox>(&form, "accyStatusWin03")->setCurrentIndex(1);
    EXPECT_TRUE(child<QPushButton>(&form, "setButton03")->isEnabled());

    // An unselected list never becomes a status byte: a box names it and nothing goes out.
    child<QComboBox>(&form, "accyStatusWin05")->setCurrentIndex(-1);
    click(&form, "setButton05");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0], "Error: Heading (0x29-05): Accy Status: no item selected.");
    EXPECT_EQ(rig.sentNowHex(), "");
    EXPECT_EQ(led(&form, "setLED05"), kWhite);
    child<QComboBox>(&form, "accyStatusWin05")->setCurrentIndex(0);
    click(&form, "setButton05");
    expectSent(rig, setFrame(0x29, 0x05, {0x01, 0x00, 0x40, 0x48, 0x01}));
    rig.ack(0x01, {0x29, 0x05, 0x00});
    ASSERT_TRUE(rig.waitDelivered(before + 3));
    EXPECT_EQ(led(&form, "setLED05"), kGreen);
    form.responseTimerTimer();
    EXPECT_EQ(led(&form, "queryLED02"), kRed);
    EXPECT_EQ(led(&form, "setLED05"), kGreen);
}

TEST(IntervalControlForm, UnnamedEventBitsAndSilentRefusals) {
    Messages messages;
    ConsoleRig rig;
    TintervalControlForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    EXPECT_EQ(rig.sentNowHex(), "") << "showing sends nothing";

    // A box that does not hold a target: nothing sent, no box, red at the time-out.
    child<QLineEdit>(&form, "timeCodeWin")->setText("3G");
    child<QLineEdit>(&form, "timeSubcodeWin")->setText("02");
    click(&form, "timeQuery");
    EXPECT_EQ(led(&form, "queryLED2B"), kWhite);
    EXPECT_TRUE(form.responseTimer()->isActive());
    form.responseTimerTimer();
    EXPECT_EQ(led(&form, "queryLED2B"), kRed);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(rig.sentNowHex(), "");

    // A reply with an unnamed bit checks "Unknown Event Trigger"; a Set sends that bit back,
    // not all twelve.
    const uint64_t before = rig.console.delivered();
    rig.receive(0x2A, 0x31, {0x01, 0x01, 0x0C, 0x00, 0x20});
    ASSERT_TRUE(rig.waitDelivered(before + 1));
    auto* unknown = child<QCheckBox>(&form, "unknowCheckBox");
    EXPECT_TRUE(unknown->isChecked());
    EXPECT_TRUE(child<QCheckBox>(&form, "CheckBoxE10")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(&form, "CheckBoxE29")->isChecked());
    EXPECT_EQ(child<QLineEdit>(&form, "eventCodeWin")->text(), "31");
    click(&form, "eventSet");
    expectSent(rig, setFrame(0x2A, 0x31, {0x01, 0x01, 0x0C, 0x00, 0x20}));
    // Toggled by the user: all twelve, or none.
    unknown->click();
    EXPECT_FALSE(unknown->isChecked());
    click(&form, "eventSet");
    expectSent(rig, setFrame(0x2A, 0x31, {0x01, 0x00, 0x0C, 0x00, 0x20}));
    unknown->click();
    click(&form, "eventSet");
    expectSent(rig, setFrame(0x2A, 0x31, {0x01, 0x31, 0xED, 0x85, 0xA8}));
}

TEST(Pkt36Form, PauseKeepsUnaskedReportsOffTheWindow) {
    ConsoleRig rig;
    Tpkt36Form form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    EXPECT_EQ(rig.sentHex(31), "81 02 36 03 C2 82 81 02 36 04 C1 82 81 02 36 05 C0 82 "
                               "81 02 36 07 FF BF 82 81 02 36 08 BD 82");
    form.responseTimerTimer(); // nothing answered: every query LED red, the flags kept
    EXPECT_EQ(led(&form, "queryLED07"), kRed);
    click(&form, "pauseButton");
    EXPECT_EQ(child<QPushButton>(&form, "pauseButton")->text(), "Resume");

    // Paused, but Queries still wait: reports get through until the last is answered.
    uint64_t n = rig.console.delivered();
    rig.receive(0x36, 0x03, {0x1B, 0, 0, 0xC0, 0x3F, 0, 0, 0x80, 0x3E});
    ASSERT_TRUE(rig.waitDelivered(++n));
    EXPECT_EQ(child<QLineEdit>(&form, "zroWin")->text(), "1.5");
    EXPECT_FALSE(child<QPushButton>(&form, "setButton03")->isEnabled()) << "GPS Fix";
    EXPECT_EQ(led(&form, "queryLED03"), kGreen);
    for (uint8_t sub : {4, 8}) {
        rig.receive(0x36, sub, {0x01, 0, 0, 0x80, 0x3F, 0, 0, 0, 0});
        ASSERT_TRUE(rig.waitDelivered(++n));
    }
    rig.receive(0x36, 0x05, {0x81, 20});
    for (uint8_t index : {0, 1, 2}) {
        rig.receive(0x36, 0x07, {index, 0x01, 0, 0, 0, 0x3E, 0, 0, 0, 0});
        n += 1;
    }
    ASSERT_TRUE(rig.waitDelivered(n + 1));
    ++n;
    EXPECT_EQ(led(&form, "queryLED07"), kGreen) << "all three indexes answered";
    EXPECT_FALSE(form.anyQueryPending());
    // Nothing asked: an unasked report leaves the window as it is.
    rig.receive(0x36, 0x03, {0x01, 0, 0, 0x20, 0x41, 0, 0, 0, 0});
    ASSERT_TRUE(rig.waitDelivered(++n));
    EXPECT_EQ(child<QLineEdit>(&form, "zroWin")->text(), "1.5");
    click(&form, "pauseButton");
    EXPECT_EQ(child<QPushButton>(&form, "pauseButton")->text(), "Pause");
    rig.receive(0x36, 0x03, {0x01, 0, 0, 0x20, 0x41, 0, 0, 0, 0});
    ASSERT_TRUE(rig.waitDelivered(++n));
    EXPECT_EQ(child<QLineEdit>(&form, "zroWin")->text(), "10");
    EXPECT_TRUE(child<QPushButton>(&form, "setButton03")->isEnabled()) << "Host Input";

    // A report shorter than its layout shows nothing: the Query times out red.
    click(&form, "queryButton04");
    rig.receive(0x36, 0x04, {0x01, 0, 0});
    ASSERT_TRUE(rig.waitDelivered(++n));
    EXPECT_EQ(child<QLineEdit>(&form, "gyroSnsWin")->text(), "1");
    form.responseTimerTimer();
    EXPECT_EQ(led(&form, "queryLED04"), kRed);
}

TEST(SoftEventForm, LogEntriesAndClearingTheLog) {
    Messages messages;
    ConsoleRig rig;
    TsoftEventForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    child<QLineEdit>(&form, "fatalIndexWin")->setText("0");
    click(&form, "get1402Button");
    EXPECT_EQ(rig.sentHex(7), "81 02 14 02 00 E5 82");
    EXPECT_EQ(led(&form, "query1402LED"), kWhite);
    EXPECT_FALSE(form.queryPending(1)) << "its own request only";
    const uint64_t before = rig.console.delivered();
    rig.receive(0x14, 0x02, {0, 0x21, 0x21, 5, 13, 9, 41, 7, 0xE8, 0x07});
    // A soft event reported as it happens is appended as well.
    rig.receive(0x14, 0x01, {0, 0xD7, 0x07, 6, 14, 13, 5, 9, 0x01, 0x00});
    ASSERT_TRUE(rig.waitDelivered(before + 2));
    EXPECT_EQ(led(&form, "query1402LED"), kGreen);
    ASSERT_EQ(form.fatalLines().size(), 1u);
    EXPECT_EQ(form.fatalLines().line(0), "0::05/13/2024 09:41:07 Failure to open serial port.");
    ASSERT_EQ(form.softLines().size(), 1u);
    EXPECT_EQ(form.softLines().line(0), "0::06/14/2007 13:05:09 System performed a warm reset.");

    click(&form, "clearEventLog");
    ASSERT_EQ(messages.asked.size(), 1);
    EXPECT_EQ(messages.asked[0], "Are you sure you want to clear the Soft Event Log?");
    EXPECT_EQ(rig.sentNowHex(), "") << "answered No";
    messages.answer = true;
    click(&form, "clearEventLog");
    EXPECT_EQ(rig.sentHex(7), "81 01 14 01 FF E8 82");

    // An index that is not a byte is refused in a box.
    child<QLineEdit>(&form, "softIndexWin")->setText("-1");
    click(&form, "get1401Button");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith("Error: Soft Event Log Query (0x14-01)"));
}

} // namespace

// ---- The families on the simulated receiver -----------------------------------------------

namespace {

TEST_F(ConsoleOnSimulatedReceiver, InitializationDialogsFromTheMenu) {
    startSimulatedReceiver();
    ASSERT_EQ(windows->find(vx::WindowId::Tpkt29Form), nullptr) << "created on first use";
    menuItem("Time, Pos, Alt, Freq, Heading (2901-2905)...")->trigger();
    auto* form = windows->find<Tpkt29Form>(vx::WindowId::Tpkt29Form);
    ASSERT_NE(form, nullptr);
    const char* leds[] = {"queryLED01", "queryLED02", "queryLED03", "queryLED04", "queryLED05"};
    ASSERT_TRUE(pumpUntil([&] {
        for (const char* l : leds)
            if (led(form, l) != kGreen) return false;
        return true;
    }));
    EXPECT_EQ(child<QLineEdit>(form, "weekNumWin")->text().toInt() > 0, true);

    // A heading initialization is acknowledged, and a Query shows it back.
    child<QComboBox>(form, "sourceWin05")->setCurrentIndex(1);
    child<QComboBox>(form, "accyStatusWin05")->setCurrentIndex(1);
    child<QLineEdit>(form, "headWin")->setText("0.25");
    child<QLineEdit>(form, "headAccyWin")->setText("0.01");
    click(form, "setButton05");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "setLED05") != kWhite; }));
    EXPECT_EQ(led(form, "setLED05"), kGreen);
    child<QLineEdit>(form, "headWin")->clear();
    click(form, "queryButton05");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "queryLED05") != kWhite; }));
    EXPECT_EQ(child<QLineEdit>(form, "headWin")->text(), "0.25000");
    EXPECT_EQ(child<QComboBox>(form, "sourceWin05")->currentText(), "Host Input");
    EXPECT_EQ(child<QLineEdit>(form, "newnessWin05")->text(), "New Since Startup");

    for (const char* item : {"Short Map Match Data (2907)...", "Tacho Data (2908)..."})
        menuItem(item)->trigger();
    auto* tacho = windows->find<Tpkt2908Form>(vx::WindowId::Tpkt2908Form);
    auto* mapMatch = windows->find<Tpkt2907Form>(vx::WindowId::Tpkt2907Form);
    ASSERT_TRUE(tacho && mapMatch);
    ASSERT_TRUE(pumpUntil([&] { return led(tacho, "queryLED") == kGreen; }));
    ASSERT_TRUE(pumpUntil([&] { return led(mapMatch, "queryLED") == kGreen; }));
    EXPECT_TRUE(child<QRadioButton>(tacho, "tachoGroup1")->isChecked()) << "tacho valid";

    // Shut-down destroys them while their answers are still on the way: no handler may reach
    // a destroyed window (the sanitizers watch), and the menu creates them anew.
    click(form, "queryAllButton");
    click(mapMatch, "queryButton");
    windows->destroyFirstUseWindows();
    EXPECT_EQ(windows->find(vx::WindowId::Tpkt29Form), nullptr);
    const uint64_t before = console->delivered();
    ASSERT_TRUE(sim->advance(2000));
    ASSERT_TRUE(pumpUntil([&] { return console->delivered() > before + 6; }));
    menuItem("Time, Pos, Alt, Freq, Heading (2901-2905)...")->trigger();
    auto* again = windows->find<Tpkt29Form>(vx::WindowId::Tpkt29Form);
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return led(again, "queryLED05") == kGreen; }));
    EXPECT_EQ(child<QLineEdit>(again, "headWin")->text(), "0.25000") << "kept by the receiver";
}

TEST_F(ConsoleOnSimulatedReceiver, OutputIntervalControlKeepsUnnamedEventBits) {
    startSimulatedReceiver();
    // The receiver's 3101 trigger, with one bit the window has no box for.
    ASSERT_EQ(vx::setEventOutput(console->sink(), {0x31, 0x01}, 0x00000C01), 0);
    menuItem("Output Interval Control (2A, 2B, 2C, 2D)...")->trigger();
    auto* form = windows->find<TintervalControlForm>(vx::WindowId::TintervalControlForm);
    ASSERT_NE(form, nullptr);
    child<QLineEdit>(form, "eventCodeWin")->setText("31");
    child<QLineEdit>(form, "eventSubcodeWin")->setText("01");
    click(form, "eventQuery");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "queryLED2A") != kWhite; }));
    EXPECT_EQ(led(form, "queryLED2A"), kGreen);
    EXPECT_TRUE(child<QCheckBox>(form, "unknowCheckBox")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(form, "CheckBoxE11")->isChecked());
    // Add "Fatal Error" and set: the unnamed bit goes back unchanged.
    child<QCheckBox>(form, "CheckBoxE29")->setChecked(true);
    click(form, "eventSet");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "setLED2A") != kWhite; }));
    EXPECT_EQ(led(form, "setLED2A"), kGreen);
    child<QCheckBox>(form, "CheckBoxE29")->setChecked(false);
    click(form, "eventQuery");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "queryLED2A") != kWhite; }));
    EXPECT_TRUE(child<QCheckBox>(form, "CheckBoxE29")->isChecked());
    EXPECT_EQ(form->keptUnnamedBits(), 0x00000001u);

    // The time trigger of 3002: five reports a second.
    child<QLineEdit>(form, "timeCodeWin")->setText("30");
    child<QLineEdit>(form, "timeSubcodeWin")->setText("02");
    click(form, "timeQuery");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "queryLED2B") != kWhite; }));
    EXPECT_EQ(child<QLineEdit>(form, "maxTimeWin")->text(), "200");
}

TEST_F(ConsoleOnSimulatedReceiver, DrCalibrationFillsItsFiveGroups) {
    startSimulatedReceiver();
    menuItem("&DR Calibration (3603-3608)...")->trigger();
    auto* form = windows->find<Tpkt36Form>(vx::WindowId::Tpkt36Form);
    ASSERT_NE(form, nullptr);
    const char* leds[] = {"queryLED03", "queryLED04", "queryLED05", "queryLED07", "queryLED08"};
    ASSERT_TRUE(pumpUntil([&] {
        for (const char* l : leds)
            if (led(form, l) != kGreen) return false;
        return true;
    }));
    EXPECT_EQ(child<QLineEdit>(form, "zroWin")->text(), "2048");
    EXPECT_EQ(child<QLineEdit>(form, "dpp2Win")->text(), "0.0246");
    EXPECT_EQ(child<QComboBox>(form, "sourceWin07")->currentText(), "GPS Fix");
    EXPECT_FALSE(child<QPushButton>(form, "setButton07")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(form, "validityWin03")->text(), "Valid");

    // A DPP Set: three frames, each acknowledged with its index.
    child<QComboBox>(form, "sourceWin07")->setCurrentIndex(1);
    EXPECT_TRUE(child<QPushButton>(form, "setButton07")->isEnabled());
    for (const char* name : {"dpp0Win", "dpp1Win", "dpp2Win"})
        child<QLineEdit>(form, name)->setText("0.025");
    click(form, "setButton07");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "setLED07") != kWhite; }));
    EXPECT_EQ(led(form, "setLED07"), kGreen);
}

TEST_F(ConsoleOnSimulatedReceiver, SoftEventWindowReadsBothLogsAndClearsTheSoftLog) {
    Messages messages; // after the fixture's own interceptor, so these take the boxes
    startSimulatedReceiver();
    menuItem("Soft Event Mask and Event Logs (1401, 1402, 2E01)...")->trigger();
    auto* form = windows->find<TsoftEventForm>(vx::WindowId::TsoftEventForm);
    ASSERT_NE(form, nullptr);

    child<QLineEdit>(form, "fatalIndexWin")->setText("0");
    click(form, "get1402Button");
    ASSERT_TRUE(pumpUntil([&] { return form->fatalLines().size() == 1; }));
    EXPECT_EQ(form->fatalLines().line(0), "0::05/13/2024 09:41:07 Failure to open serial port.");
    // A fatal error now: the receiver logs it and restarts; the entry has this year's date.
    const uint64_t resets = sim->stats().resets;
    ASSERT_EQ(vx::sendCommand(console->sink(), 0x01, 0x70, 0x17, vx::kNoIndex, {}), 0);
    ASSERT_TRUE(pumpUntil([&] { return sim->stats().resets > resets; }));
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));
    click(form, "get1402Button");
    ASSERT_TRUE(pumpUntil([&] { return form->fatalLines().size() >= 2; }));
    // Dated by the receiver's clock (the host's date): month/day/year, then the time.
    const std::string fatal(form->fatalLines().back());
    EXPECT_TRUE(std::regex_match(
        fatal, std::regex(R"(0::(0[1-9]|1[0-2])/[0-3]\d/20\d\d [0-2]\d:[0-5]\d:[0-5]\d )"
                          R"(Illegal hardware interrupt\.)")))
        << fatal;

    child<QLineEdit>(form, "softIndexWin")->setText("0");
    click(form, "get1401Button");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "query1401LED") == kGreen; }));
    const std::string newest(form->softLines().back());
    EXPECT_EQ(newest.find("Unknown"), std::string::npos) << newest;
    messages.answer = true;
    click(form, "clearEventLog");
    const size_t lines = form->softLines().size();
    click(form, "get1401Button");
    ASSERT_TRUE(pumpUntil([&] { return form->softLines().size() > lines; }));
    const std::string cleared(form->softLines().back());
    EXPECT_NE(cleared.find("No event in log."), std::string::npos) << cleared;

    // The mask of one event, set and read back.
    auto* events = child<QComboBox>(form, "softEvtComboBoxWin");
    events->setCurrentIndex(events->findText("ZRO recovery."));
    child<QComboBox>(form, "evtMaskComboBoxWin")->setCurrentIndex(2);
    click(form, "Set");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "setLED") != kWhite; }));
    EXPECT_EQ(led(form, "setLED"), kGreen);
    child<QComboBox>(form, "evtMaskComboBoxWin")->setCurrentIndex(-1);
    click(form, "query2EButton");
    ASSERT_TRUE(pumpUntil([&] { return led(form, "query2ELED") != kWhite; }));
    EXPECT_EQ(child<QComboBox>(form, "evtMaskComboBoxWin")->currentText(), "Report As Detected");
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join("; ").toStdString();
}

} // namespace
