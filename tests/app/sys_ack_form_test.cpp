// The System Command Ack window: noted on arrival, shown by the 100 ms tick, closing itself
// 5 seconds after a successful command. The tick is driven by hand (its timer stopped) so the
// counting does not depend on the machine's load.
#include "app/sys_ack_form.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"

#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

using vxtest::ConsoleRig;

namespace {

QColor background(const QLabel* l) {
    return l->palette().color(QPalette::Window);
}
QColor textColour(const QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}
QColor faceColour(const QLabel* l) {
    return QApplication::palette(l).color(QPalette::Window);
}

TEST(SysAckForm, SuccessfulHotResetShowsAndClosesAfterFiveSeconds) {
    ConsoleRig rig;
    TSysAckForm form(rig.console);
    vxtest::child<QTimer>(&form, "tmrTick")->stop();
    EXPECT_EQ(form.windowTitle(), "System Command Ack");
    EXPECT_TRUE(vxtest::child<QCheckBox>(&form, "cbAutoClose")->isChecked());
    ASSERT_TRUE(rig.start());
    rig.ack(0x03, {0x01, 0x00});
    ASSERT_TRUE(rig.waitDelivered(1));
    // Only noted: the window is still hidden until the tick.
    EXPECT_TRUE(form.sysAckPending());
    EXPECT_FALSE(form.isVisible());

    QStringList counter;
    form.tmrTickTimer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.sysAckPending());
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCommand")->text(), "0301 Hot Reset");
    EXPECT_EQ(background(vxtest::child<QLabel>(&form, "lblCommand")),
              faceColour(vxtest::child<QLabel>(&form, "lblCommand")));
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblStatus")->text(), "00 === SUCCESS ===");
    EXPECT_EQ(textColour(vxtest::child<QLabel>(&form, "lblStatus")), lamp::kGreen);
    counter << vxtest::child<QLabel>(&form, "lblCloseCounter")->text();
    for (int tick = 2; tick <= 49; ++tick) {
        form.tmrTickTimer();
        if (counter.back() != vxtest::child<QLabel>(&form, "lblCloseCounter")->text())
            counter << vxtest::child<QLabel>(&form, "lblCloseCounter")->text();
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(counter, (QStringList{"5", "4", "3", "2", "1"}));
    form.tmrTickTimer(); // the 50th tick: 5 seconds
    EXPECT_FALSE(form.isVisible());
}

TEST(SysAckForm, FailedWriteBbramStaysOpenOnPaleGreen) {
    ConsoleRig rig;
    TSysAckForm form(rig.console);
    vxtest::child<QTimer>(&form, "tmrTick")->stop();
    ASSERT_TRUE(rig.start());
    rig.ack(0x03, {0x09, 0x0C});
    ASSERT_TRUE(rig.waitDelivered(1));
    for (int tick = 0; tick < 200; ++tick) form.tmrTickTimer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCommand")->text(),
              "0309 Write BBRAM to Flash, Reset");
    EXPECT_EQ(background(vxtest::child<QLabel>(&form, "lblCommand")), QColor(0xC0, 0xDC, 0xC0));
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblStatus")->text(), "0c ");
    EXPECT_EQ(textColour(vxtest::child<QLabel>(&form, "lblStatus")), lamp::kRed);
    EXPECT_FALSE(form.autoCloseAllowed());
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCloseCounter")->text(), "");
    form.btnCloseClick();
    EXPECT_FALSE(form.isVisible());
}

TEST(SysAckForm, CommandNamesColoursAndResultNames) {
    struct Case {
        uint8_t code;
        const char* text;
        QColor background; // invalid: the face colour
    };
    const Case cases[] = {
        {0x01, "0301 Hot Reset", {}},
        {0x02, "0302 Cold Reset", QColor(0x00, 0xFF, 0xFF)},
        {0x03, "0303 Force To Monitor", {}},
        {0x04, "0304 Shutdown", {}},
        {0x05, "0305 Warm Reset", QColor(0xFF, 0x00, 0xFF)},
        {0x06, "0306 Clear Oscillator, Reset", {}},
        {0x07, "0307 Clear Flash and RAM, Reset", QColor(0xFF, 0xFF, 0xFF)},
        {0x08, "0308 Clear Position, Reset", {}},
        {0x09, "0309 Write BBRAM to Flash, Reset", QColor(0xC0, 0xDC, 0xC0)},
        {0x0A, "030a Io pass-through mode", {}},
        {0x0B, "030b *** UNKNOWN ***", {}},
        {0xFF, "03ff *** UNKNOWN ***", {}},
    };
    ConsoleRig rig;
    TSysAckForm form(rig.console);
    vxtest::child<QTimer>(&form, "tmrTick")->stop();
    for (const Case& c : cases) {
        form.noteSysAck(c.code, 0x01);
        form.tmrTickTimer();
        EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCommand")->text(), c.text);
        QColor want = c.background.isValid()
                          ? c.background
                          : faceColour(vxtest::child<QLabel>(&form, "lblCommand"));
        EXPECT_EQ(background(vxtest::child<QLabel>(&form, "lblCommand")), want) << c.text;
    }
    const char* results[] = {"00 === SUCCESS ===",
                             "01 Preparser Error",
                             "02 Checksum Error",
                             "03 Unknown Codes",
                             "04 Length Error",
                             "05 Value Error",
                             "06 Contradicts",
                             "07 Datatable Full",
                             "08 Not Available",
                             "09 Flash Load Failed",
                             "0a Flash Erase Error",
                             "0b Flash Write Error",
                             "0c ",
                             "ff "};
    const uint8_t values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 255};
    for (size_t i = 0; i < std::size(values); ++i) {
        form.noteSysAck(0x01, values[i]);
        form.tmrTickTimer();
        EXPECT_EQ(vxtest::child<QLabel>(&form, "lblStatus")->text(), results[i]);
        EXPECT_EQ(textColour(vxtest::child<QLabel>(&form, "lblStatus")),
                  values[i] == 0 ? lamp::kGreen : lamp::kRed);
    }
}

TEST(SysAckForm, ASecondAcknowledgementWithinOneTickReplacesTheFirst) {
    ConsoleRig rig;
    TSysAckForm form(rig.console);
    vxtest::child<QTimer>(&form, "tmrTick")->stop();
    ASSERT_TRUE(rig.start());
    rig.ack(0x03, {0x02, 0x00});
    rig.ack(0x03, {0x05, 0x04});
    ASSERT_TRUE(rig.waitDelivered(2));
    form.tmrTickTimer();
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCommand")->text(), "0305 Warm Reset");
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblStatus")->text(), "04 Length Error");
}

TEST(SysAckForm, AutoCloseUntickedKeepsTheWindowAndTickingRestartsTheCount) {
    ConsoleRig rig;
    TSysAckForm form(rig.console);
    vxtest::child<QTimer>(&form, "tmrTick")->stop();
    form.noteSysAck(0x01, 0x00);
    for (int tick = 0; tick < 15; ++tick) form.tmrTickTimer(); // counter shows 4
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCloseCounter")->text(), "4");
    vxtest::child<QCheckBox>(&form, "cbAutoClose")->setChecked(false);
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCloseCounter")->text(), "");
    for (int tick = 0; tick < 100; ++tick) form.tmrTickTimer();
    EXPECT_TRUE(form.isVisible());
    vxtest::child<QCheckBox>(&form, "cbAutoClose")->setChecked(true);
    EXPECT_EQ(form.closeCountdown(), TSysAckForm::kCloseTicks);
    for (int tick = 0; tick < 49; ++tick) form.tmrTickTimer();
    EXPECT_TRUE(form.isVisible());
    form.tmrTickTimer();
    EXPECT_FALSE(form.isVisible());

    // A System acknowledgement shows the window again whatever the user did before.
    form.noteSysAck(0x08, 0x00);
    form.tmrTickTimer();
    EXPECT_TRUE(form.isVisible());
}

// Placed with its frame, after its size for the texts is known, on every showing: short and
// long command names, a failure (the window stays) and a second acknowledgement while shown.
TEST(SysAckForm, SitsAtTheBottomLeftOfTheWorkAreaOnEveryShowing) {
    ConsoleRig rig;
    TSysAckForm form(rig.console);
    vxtest::child<QTimer>(&form, "tmrTick")->stop();
    auto settle = [] {
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
    };
    struct Case {
        uint8_t code, result;
        bool closeFirst;
    };
    const Case cases[] = {
        {0x04, 0x00, true},  // "0304 Shutdown", short
        {0x09, 0x0A, true},  // "0309 Write BBRAM to Flash, Reset", long, failed
        {0x01, 0x00, false}, // while the long one is shown
        {0x07, 0x00, true},  {0x0B, 0x00, true},
    };
    for (const Case& c : cases) {
        if (c.closeFirst) form.btnCloseClick();
        form.noteSysAck(c.code, c.result);
        form.tmrTickTimer();
        ASSERT_TRUE(form.isVisible());
        settle();
        const QRect area = form.screen()->availableGeometry();
        const QRect frame = form.frameGeometry();
        EXPECT_EQ(frame.left(), area.left()) << int(c.code);
        EXPECT_EQ(frame.bottom(), area.bottom()) << int(c.code);
    }
}

TEST(SysAckForm, TickRunsFromCreationAndShowsTheAcknowledgement) {
    ConsoleRig rig;
    TSysAckForm form(rig.console);
    EXPECT_TRUE(vxtest::child<QTimer>(&form, "tmrTick")->isActive());
    EXPECT_EQ(vxtest::child<QTimer>(&form, "tmrTick")->interval(), 100);
    // Its own ticks show the acknowledgement (shortened rather than waited for).
    vxtest::child<QTimer>(&form, "tmrTick")->setInterval(1);
    ASSERT_TRUE(rig.start());
    rig.ack(0x03, {0x05, 0x00});
    ASSERT_TRUE(vxtest::pumpUntil([&] { return form.isVisible(); }));
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblCommand")->text(), "0305 Warm Reset");
}

} // namespace
