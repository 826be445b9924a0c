// Protocol selection and the ZANT set-up: their scripts run from a timer with the button
// disabled and report success only when every frame went out. The frames themselves are
// tested in board_scripts_test.
#include "config/protocol_config_form.h"
#include "config/zant_configurator_form.h"
#include "sim/sim_receiver.h"
#include "support/console_fixture_qt.h"
#include "support/recording_sink.h"
#include "widgets/lamp_qt.h"

#include <QTest>

#include <gtest/gtest.h>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

QString status(QWidget* w) {
    return child<QLineEdit>(w, "statusWin")->text();
}
QColor led(QWidget* w) {
    return child<Lamp>(w, "statusLED")->colour();
}

TEST_F(ConsoleOnSimulatedReceiver, ProtocolSelectionRunsFromATimerAndEndsComplete) {
    startSimulatedReceiver();
    menuItem("Protocol...")->trigger();
    auto* form = windows->find<TForm_ProtocolConfig>(vx::WindowId::TForm_ProtocolConfig);
    ASSERT_NE(form, nullptr);
    child<QRadioButton>(form, "nmeaItem")->click();
    auto* button = child<QPushButton>(form, "Button_Config");
    const uint64_t resets = sim->stats().resets;
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(status(form).startsWith("Configuring...")) << status(form).toStdString();
    EXPECT_EQ(led(form), lamp::kYellow);
    EXPECT_FALSE(button->isEnabled());
    QTimer* t = form->runner().timer();
    ASSERT_TRUE(t->isActive() && t->isSingleShot());
    EXPECT_EQ(t->interval(), 5000);

    // The receiver restarts after 0307; the settings follow once it is up again.
    ASSERT_TRUE(pumpUntil([&] { return sim->stats().resets > resets; }));
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));
    std::vector<int> pauses;
    while (form->runner().running()) {
        ASSERT_TRUE(t->isActive());
        pauses.push_back(t->interval());
        form->runner().scriptTimerTimer();
        if (form->runner().running()) {
            EXPECT_TRUE(status(form).startsWith("Configuring... ")) << status(form).toStdString();
            EXPECT_FALSE(button->isEnabled());
        }
    }
    EXPECT_EQ(pauses.size(), 13u);
    EXPECT_EQ(status(form), "Configuration Complete...");
    EXPECT_EQ(led(form), lamp::kGreen);
    EXPECT_TRUE(button->isEnabled());
    // The receiver took the NMEA default (before its final write-and-reset).
    uint32_t mask = 0;
    ASSERT_TRUE(pumpUntil([&] {
        sim->inspect([&](const vx::sim::SimReceiver& r) { mask = r.store().nmeaMask; });
        return mask == 0x11D;
    })) << std::hex
        << mask;
}

TEST_F(ConsoleWindows, SetupScriptsWithoutALinkEndFailedAtOnce) {
    auto* zant = windows->find<TZANTconfiguratorForm>(vx::WindowId::TZANTconfiguratorForm);
    ASSERT_NE(zant, nullptr);
    zant->show();
    EXPECT_EQ(status(zant), "");
    EXPECT_EQ(led(zant), lamp::kWhite);
    QTest::mouseClick(child<QPushButton>(zant, "okButton"), Qt::LeftButton);
    EXPECT_EQ(status(zant), "Configuration Failed...") << "nothing is monitored";
    EXPECT_EQ(led(zant), lamp::kRed);
    EXPECT_FALSE(zant->runner().running());
    EXPECT_TRUE(child<QPushButton>(zant, "okButton")->isEnabled());
    zant->hide();
    zant->show();
    EXPECT_EQ(status(zant), "") << "showing empties the status";

    // A send that fails half-way ends the script there.
    vxtest::RecordingSink sink;
    console->setSink(&sink);
    auto* protocol = windows->find<TForm_ProtocolConfig>(vx::WindowId::TForm_ProtocolConfig);
    QTest::mouseClick(child<QPushButton>(protocol, "Button_Config"), Qt::LeftButton);
    protocol->runner().scriptTimerTimer(); // the 5 s after 0307
    sink.result = -1;
    protocol->runner().scriptTimerTimer();
    EXPECT_FALSE(protocol->runner().running());
    EXPECT_EQ(sink.frames.size(), 3u) << "0307, the time trigger, the refused event trigger";
    EXPECT_EQ(status(protocol), "Configuration Failed...");
    EXPECT_EQ(led(protocol), lamp::kRed);
    console->setSink(nullptr);
}

} // namespace
