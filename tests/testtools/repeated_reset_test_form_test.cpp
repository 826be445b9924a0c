// The restart stress tests' windows: the repeated reset test and the force-to-monitor test,
// their frames, counts, status texts and refusals with a scripted receiver, then both on the
// simulated receiver.
#include "testtools/force_to_mon_form.h"
#include "testtools/repeated_reset_test_form.h"

#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "widgets/panel_qt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

struct Boxes {
    std::vector<vxtest::Message> list;
    Boxes() {
        msg::setInterceptor([this](msg::Kind k, const QString& title, const QString& text) {
            list.push_back({k, title, text});
        });
    }
    ~Boxes() { msg::setInterceptor(nullptr); }
};

struct ResetWindow {
    Boxes boxes;
    ConsoleRig rig;
    TRepeatedResetTestForm form{rig.console};

    template <class T> T* w(const char* name) { return form.findChild<T*>(name); }
    QString panel(const char* name) { return w<Panel>(name)->text(); }
    QLabel* status() { return w<QLabel>("lblStatus"); }
    // One tick of the test's clock, by hand.
    void tick() { form.tmrSendNextTimer(); }
    void deliver(uint8_t h1, uint8_t h2, std::vector<uint8_t> payload) {
        uint64_t before = rig.console.delivered();
        rig.receive(h1, h2, payload);
        ASSERT_TRUE(rig.waitDelivered(before + 1));
    }
    // A start-up report (1201) as the receiver sends it after a restart.
    void startup() { deliver(0x12, 0x01, {0x01, 0x00, 0x03, 0x01}); }
};

TEST(RepeatedResetTestForm, ResetTypesCountsCountdownAndStatus) {
    ResetWindow win;
    ASSERT_TRUE(win.rig.start());
    win.form.show();
    EXPECT_EQ(win.form.windowTitle(), "RepeatedResetTestForm");
    // Each reset type: its frame; only its own acknowledgements count.
    for (auto [item, frame] : {std::pair{0, "81 03 01 F9 82"},
                               {1, "81 03 05 F5 82"},
                               {2, "81 03 02 F8 82"},
                               {3, "81 03 07 F3 82"},
                               {4, "81 03 09 F1 82"}}) {
        win.w<QRadioButton>(QString("resetType%1").arg(item).toLatin1())->setChecked(true);
        win.form.btnStartClick();
        EXPECT_EQ(win.rig.sentNowHex(), frame) << item;
        const uint8_t code = vx::RepeatedResetTest::kResetCodes[size_t(item)];
        win.deliver(0x10, 0x03, {code, 0x00});
        win.deliver(0x10, 0x03, {uint8_t(code == 0x01 ? 0x05 : 0x01), 0x00});
        EXPECT_EQ(win.panel("pnlAcks"), "1") << item;
        win.form.btnStopClick();
    }

    // Waiting for the start-up report, then a countdown of seWait ticks to the next reset.
    win.w<QSpinBox>("seWait")->setValue(3);
    QTest::mouseClick(win.w<QPushButton>("btnStart"), Qt::LeftButton);
    win.w<QTimer>("tmrSendNext")->stop(); // ticks by hand
    const std::string frame = win.rig.sentNowHex();
    EXPECT_EQ(win.panel("pnlSent"), "1");
    EXPECT_TRUE(win.status()->isHidden());
    win.tick();
    EXPECT_EQ(win.status()->text(), "Reset sent 00:00.00 ago.");
    win.startup();
    EXPECT_EQ(win.panel("pnlStartups"), "1");
    for (const char* count : {" 2", " 1", " 0"}) {
        EXPECT_EQ(win.rig.sentNowHex(), "");
        win.tick();
        EXPECT_EQ(win.status()->text(), QString("Reset sent 00:00.00 ago.") + count);
    }
    EXPECT_EQ(win.rig.sentNowHex(), frame); // the countdown reached 0: the next reset
    EXPECT_EQ(win.panel("pnlSent"), "2");
    QTest::mouseClick(win.w<QPushButton>("btnStop"), Qt::LeftButton);
    win.tick();
    EXPECT_TRUE(win.status()->isHidden());
    // Closing the window stops a test too, whichever way it is closed: Escape, the title
    // bar's close box (the close event the window manager's request becomes) or close().
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        win.form.show();
        win.form.btnStartClick();
        ASSERT_TRUE(win.form.test().running());
        if (way == 0) {
            QTest::keyClick(&win.form, Qt::Key_Escape);
            EXPECT_FALSE(win.form.isVisible());
        } else if (way == 1) {
            QCloseEvent closeBox;
            QApplication::sendEvent(&win.form, &closeBox);
            EXPECT_TRUE(closeBox.isAccepted());
        } else {
            win.form.close();
            EXPECT_FALSE(win.form.isVisible());
        }
        EXPECT_FALSE(win.form.test().running());
    }
}

TEST(RepeatedResetTestForm, AResetTheLinkRefusesStopsTheTest) {
    ResetWindow win; // link not started
    win.form.show();
    win.form.btnStartClick();
    EXPECT_FALSE(win.form.test().running());
    EXPECT_FALSE(win.w<QTimer>("tmrSendNext")->isActive());
    ASSERT_EQ(win.boxes.list.size(), 1u);
    EXPECT_EQ(win.boxes.list[0].text, "Reset not sent: the serial link is not running or the "
                                      "write failed. The test is stopped.");
    EXPECT_EQ(win.panel("pnlSent"), "0");
}

struct ForceWindow {
    Boxes boxes;
    ConsoleRig rig;
    TforceToMonForm form{rig.console};
    template <class T> T* w(const char* name) { return form.findChild<T*>(name); }
    void deliver(uint8_t h1, uint8_t h2, std::vector<uint8_t> payload) {
        uint64_t before = rig.console.delivered();
        rig.receive(h1, h2, payload);
        ASSERT_TRUE(rig.waitDelivered(before + 1));
    }
    void start(const char* n, const char* p1, const char* p2) {
        w<QLineEdit>("numForcesWin")->setText(n);
        w<QLineEdit>("forceRestartWin")->setText(p1);
        w<QLineEdit>("restartForceWin")->setText(p2);
        QTest::mouseClick(w<QPushButton>("startButton"), Qt::LeftButton);
        w<QTimer>("forceRestartTimer")->stop(); // the pauses end by hand
    }
    QString attempted() { return w<QLineEdit>("successfulForcesWin")->text(); }
    QString correct() { return w<QLineEdit>("correctResponsesWin")->text(); }
};

constexpr const char* kForce = "81 03 03 F7 82";
constexpr const char* kRestart = "02 00 8C 00 8C 03";

TEST(ForceToMonForm, SequenceCountsAndRefusals) {
    ForceWindow win;
    ASSERT_TRUE(win.rig.start());
    EXPECT_EQ(win.form.windowTitle(), "Force to Monitor Response Tester");
    // Acknowledgements of 0303 count even while no test runs, hidden or not.
    win.deliver(0x10, 0x03, {0x03, 0x00});
    EXPECT_EQ(win.form.test().correct(), 1);

    win.start("3", "2000", "5000");
    EXPECT_EQ(win.rig.sentNowHex(), kForce);
    EXPECT_EQ(win.w<QTimer>("forceRestartTimer")->interval(), 2000);
    EXPECT_EQ(win.w<QTimer>("restartForceTimer")->interval(), 5000);
    EXPECT_FALSE(win.w<QPushButton>("startButton")->isEnabled());
    EXPECT_TRUE(win.w<QPushButton>("stopButton")->isEnabled());
    for (int force = 1; force <= 3; ++force) {
        SCOPED_TRACE(force);
        win.deliver(0x10, 0x03, {0x03, 0x00});
        win.deliver(0x10, 0x03, {0x01, 0x00}); // another code: not counted
        win.form.forceRestartTimerTimer();
        EXPECT_EQ(win.rig.sentNowHex(), kRestart);
        EXPECT_EQ(win.attempted(), QString::number(force));
        EXPECT_EQ(win.correct(), QString::number(force));
        EXPECT_TRUE(win.w<QTimer>("restartForceTimer")->isActive());
        win.deliver(0x30, 0x02, std::vector<uint8_t>(46, 0)); // the receiver reports again
        win.form.restartForceTimerTimer();
        EXPECT_EQ(win.rig.sentNowHex(), force < 3 ? kForce : "");
    }
    EXPECT_TRUE(win.w<QPushButton>("startButton")->isEnabled());
    EXPECT_FALSE(win.w<QPushButton>("stopButton")->isEnabled());
    EXPECT_TRUE(win.boxes.list.empty());

    // No 3002 after the restart: "Receiver not responding." and the test ends.
    win.start("5", "10", "10");
    win.rig.sentNowHex();
    win.form.forceRestartTimerTimer();
    win.form.restartForceTimerTimer();
    ASSERT_EQ(win.boxes.list.size(), 1u);
    EXPECT_EQ(win.boxes.list[0].title, "Test Stopped");
    EXPECT_EQ(win.boxes.list[0].text, "Receiver not responding.");
    EXPECT_EQ(win.rig.sentNowHex(), kRestart);
    EXPECT_TRUE(win.w<QPushButton>("startButton")->isEnabled());

    // A pause of 0 is a step that never ends: after the force nothing more goes out, whatever
    // the event loop does, until Stop.
    win.start("3", "0", "10");
    EXPECT_EQ(win.rig.sentNowHex(), kForce);
    EXPECT_FALSE(win.w<QTimer>("forceRestartTimer")->isActive());
    vxtest::pumpFor(20);
    EXPECT_EQ(win.rig.sentNowHex(), "");
    EXPECT_TRUE(win.form.test().running());
    QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);
    win.start("3", "10", "0");
    win.rig.sentNowHex();
    win.form.forceRestartTimerTimer();
    EXPECT_EQ(win.rig.sentNowHex(), kRestart);
    EXPECT_FALSE(win.w<QTimer>("restartForceTimer")->isActive());
    QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);

    // Stop ends the pauses.
    win.start("5", "10", "10");
    QTest::mouseClick(win.w<QPushButton>("stopButton"), Qt::LeftButton);
    EXPECT_FALSE(win.w<QTimer>("forceRestartTimer")->isActive());
    EXPECT_FALSE(win.w<QTimer>("restartForceTimer")->isActive());

    struct Refusal {
        const char *n, *p1, *p2, *text;
    };
    for (Refusal r :
         {Refusal{"x", "1", "1", "Number of Times to Force to Monitor: not a whole number."},
          Refusal{"2", "-1", "1", "Time Between Force and Restart (ms): cannot be negative."},
          Refusal{"2", "1", "5s", "Time Between Restart and Force (ms): not a whole number."}}) {
        win.boxes.list.clear();
        win.rig.sentNowHex();
        win.start(r.n, r.p1, r.p2);
        ASSERT_EQ(win.boxes.list.size(), 1u);
        EXPECT_EQ(win.boxes.list[0].text, r.text);
        EXPECT_EQ(win.rig.sentNowHex(), "");
        EXPECT_TRUE(win.w<QPushButton>("startButton")->isEnabled());
    }
}

} // namespace

// ---- On the simulated receiver --------------------------------------------------------------

namespace {

// Five cold resets counting five start-up reports, then three forces to the monitor, then a
// receiver that does not come back. The receiver's clock is stepped through each restart and
// the windows' timers are driven by hand: no pause is waited out.
TEST_F(ConsoleOnSimulatedReceiver, RestartTests) {
    startSimulatedReceiver();
    const int64_t restart = vx::sim::SimReceiver::restartMs();
    auto* reset = windows->find<TRepeatedResetTestForm>(vx::WindowId::TRepeatedResetTestForm);
    ASSERT_NE(reset, nullptr);
    windows->open(vx::WindowId::TRepeatedResetTestForm);
    reset->findChild<QRadioButton*>("resetType2")->setChecked(true); // 0302 Cold
    reset->findChild<QSpinBox*>("seMaxReqs")->setValue(5);
    reset->findChild<QSpinBox*>("seWait")->setValue(0);
    const uint64_t resetsBefore = sim->stats().resets;
    reset->btnStartClick();
    reset->findChild<QTimer*>("tmrSendNext")->stop(); // its ticks by hand
    for (uint32_t i = 1; i <= 5; ++i) {
        // The receiver has the reset and restarts.
        ASSERT_TRUE(pumpUntil([&] { return sim->stats().resets - resetsBefore == i; })) << i;
        if (i == 5) {
            // The fifth request was the last: the next tick ends the test, and the fifth
            // start-up report, coming after that, is still counted.
            reset->tmrSendNextTimer();
            EXPECT_FALSE(reset->test().running());
        }
        ASSERT_TRUE(sim->advance(restart));
        ASSERT_TRUE(pumpUntil([&] { return reset->test().startups() == i; })) << i;
        if (i < 5) reset->tmrSendNextTimer(); // a wait of 0: the next reset at the next tick
    }
    EXPECT_FALSE(reset->test().running());
    EXPECT_EQ(reset->findChild<Panel*>("pnlSent")->text(), "5");
    EXPECT_EQ(reset->findChild<Panel*>("pnlAcks")->text(), "5");
    EXPECT_EQ(reset->findChild<Panel*>("pnlStartups")->text(), "5");
    EXPECT_EQ(sim->stats().resets - resetsBefore, 5u);

    auto* form = windows->find<TforceToMonForm>(vx::WindowId::TforceToMonForm);
    ASSERT_NE(form, nullptr);
    auto* forceRestart = form->findChild<QTimer*>("forceRestartTimer");
    auto* restartForce = form->findChild<QTimer*>("restartForceTimer");
    form->findChild<QLineEdit*>("numForcesWin")->setText("3");
    form->findChild<QLineEdit*>("forceRestartWin")->setText("150");
    form->findChild<QLineEdit*>("restartForceWin")->setText("400");
    form->startButtonClick();
    for (int i = 1; i <= 3; ++i) {
        // The force is acknowledged; the pause after it ends and the restart goes out.
        ASSERT_TRUE(pumpUntil([&] { return form->test().correct() == i; })) << i;
        ASSERT_TRUE(forceRestart->isActive());
        EXPECT_EQ(forceRestart->interval(), 150);
        const uint64_t resets = sim->stats().resets;
        form->forceRestartTimerTimer();
        ASSERT_TRUE(pumpUntil([&] { return sim->stats().resets > resets; })) << i;
        // Back, the receiver reports; the pause after the restart ends with it alive.
        ASSERT_TRUE(sim->advance(restart + 1000));
        ASSERT_TRUE(pumpUntil([&] { return form->test().alive(); })) << i;
        ASSERT_TRUE(restartForce->isActive());
        EXPECT_EQ(restartForce->interval(), 400);
        form->restartForceTimerTimer();
    }
    EXPECT_FALSE(form->test().running());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(form->findChild<QLineEdit*>("successfulForcesWin")->text(), "3");
    EXPECT_EQ(form->test().correct(), 3);

    // A receiver that answers nothing: the test stops after the first restart.
    vx::sim::SimFaults silent;
    silent.silent = true;
    sim->setFaults(silent);
    form->startButtonClick();
    ASSERT_TRUE(forceRestart->isActive());
    form->forceRestartTimerTimer();
    ASSERT_TRUE(sim->advance(restart + 1000));
    ASSERT_TRUE(restartForce->isActive());
    form->restartForceTimerTimer();
    EXPECT_FALSE(form->test().running());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Receiver not responding.");
    EXPECT_EQ(form->test().correct(), 0);
}

} // namespace
