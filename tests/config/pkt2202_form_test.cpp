// The receiver's NMEA output control (2202) end to end on the simulated receiver: the reply
// checks the boxes of its mask, a Set writes the mask most significant byte first, and an
// interval outside 0..255 sends nothing.
#include "config/pkt2202_form.h"
#include "link/catalogue.h"
#include "sim/sim_receiver.h"
#include "support/console_fixture_qt.h"
#include "widgets/lamp_qt.h"

#include <QCheckBox>
#include <QTest>

#include <gtest/gtest.h>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::pumpUntil;

namespace {

QColor led(QWidget* w, const char* name) {
    return child<Lamp>(w, name)->colour();
}
bool checked(QWidget* w, const char* name) {
    return child<QCheckBox>(w, name)->isChecked();
}

TEST_F(ConsoleOnSimulatedReceiver, Pkt2202ShowsAndSetsTheReceiversNmeaOutput) {
    startSimulatedReceiver();
    // GGA, GSV, GSA, RMC: mask bytes 00 00 01 19.
    ASSERT_EQ(vx::setNmeaOutput(console->sink(), 1, 0x119), 0);
    menuItem("NMEA Output Control (2202)...")->trigger();
    auto* form = windows->find<Tpkt2202Form>(vx::WindowId::Tpkt2202Form);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return led(form, "queryLED") == lamp::kGreen; }));
    EXPECT_TRUE(checked(form, "CheckBox0") && checked(form, "CheckBox1") &&
                checked(form, "CheckBox2") && checked(form, "CheckBox3"));
    EXPECT_FALSE(checked(form, "CheckBox4")) << "VTG";
    EXPECT_EQ(child<QLineEdit>(form, "intervalWin")->text(), "1");

    for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox3"})
        child<QCheckBox>(form, box)->setChecked(false);
    child<QCheckBox>(form, "CheckBox4")->setChecked(true);
    child<QLineEdit>(form, "intervalWin")->setText("5");
    QTest::mouseClick(child<QPushButton>(form, "setButton"), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return led(form, "setLED") == lamp::kGreen; }));
    uint32_t mask = 0;
    uint8_t interval = 0;
    sim->inspect([&](const vx::sim::SimReceiver& r) {
        mask = r.store().nmeaMask;
        interval = r.store().nmeaInterval;
    });
    EXPECT_EQ(mask, 0x005u) << "GGA and VTG";
    EXPECT_EQ(interval, 5);

    for (const char* bad : {"256", "-1", "5x", ""}) {
        child<QLineEdit>(form, "intervalWin")->setText(bad);
        const uint64_t acks = sim->stats().acksSent;
        QTest::mouseClick(child<QPushButton>(form, "setButton"), Qt::LeftButton);
        EXPECT_EQ(led(form, "setLED"), lamp::kWhite) << bad;
        ASSERT_TRUE(form->responseTimer()->isActive());
        form->responseTimerTimer();
        EXPECT_EQ(led(form, "setLED"), lamp::kRed) << bad << ": nothing sent, red at the time-out";
        EXPECT_EQ(sim->stats().acksSent, acks) << bad;
    }
}

} // namespace
