// The DR engine rate dialog end to end: a scripted receiver on a pseudo-terminal answers (or
// does not answer) the frames the dialog writes, through the real receive path.
#include "app/error_form.h"
#include "config/pkt2101_form.h"
#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/line_memo_qt.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

const QColor kWhite = lamp::kWhite;
const QColor kGreen = lamp::kGreen;
const QColor kRed = lamp::kRed;

constexpr const char* kQuery2101 = "81 02 21 01 D9 82";

// The dialog's controls, found by their object names.
struct Controls {
    explicit Controls(QWidget& w)
        : DR_CB(w.findChild<QComboBox*>("DR_CB")),
          queryButton(w.findChild<QPushButton*>("queryButton")),
          setButton(w.findChild<QPushButton*>("setButton")),
          queryLED(w.findChild<Lamp*>("queryLED")), setLED(w.findChild<Lamp*>("setLED")) {}
    QComboBox* DR_CB;
    QPushButton* queryButton;
    QPushButton* setButton;
    Lamp* queryLED;
    Lamp* setLED;
};

struct Dialog {
    ConsoleRig rig;
    Tpkt2101Form form{rig.console};
    Controls c{form};

    // Opens the dialog on a running link; returns the Query it sent.
    std::string open() {
        if (!rig.start()) return "link did not start";
        form.show();
        return rig.sentHex(6);
    }
    // Waits until the console has run n more deliveries than before.
    bool deliver(uint64_t before, uint64_t n) { return rig.waitDelivered(before + n); }
};

TEST(Pkt2101Form, OpeningQueriesAndTheReplySelectsTheRate) {
    Dialog d;
    EXPECT_EQ(d.form.windowTitle(), "DR Engine Rate (2101)");
    ASSERT_NE(d.form.findChild<QLabel*>("Label1"), nullptr);
    EXPECT_EQ(d.form.findChild<QLabel*>("Label1")->text(), "DR Engine Rate:");
    EXPECT_EQ(d.c.DR_CB->count(), 2);
    EXPECT_EQ(d.c.DR_CB->itemText(0), "5 Hz");
    EXPECT_EQ(d.c.DR_CB->itemText(1), "10 Hz");
    EXPECT_EQ(d.c.DR_CB->currentIndex(), -1);
    ASSERT_EQ(d.open(), kQuery2101);
    EXPECT_EQ(d.c.queryLED->colour(), kWhite);
    EXPECT_EQ(d.c.setLED->colour(), kWhite);
    EXPECT_TRUE(d.form.queryPending());
    EXPECT_TRUE(d.form.responseTimer()->isActive());

    uint64_t before = d.rig.console.delivered();
    d.rig.receive(0x21, 0x01, {0x0A});
    d.rig.ack(0x02, {0x21, 0x01, 0x00});
    ASSERT_TRUE(d.deliver(before, 2));
    EXPECT_EQ(d.c.DR_CB->currentText(), "10 Hz");
    EXPECT_EQ(d.c.queryLED->colour(), kGreen);
    EXPECT_FALSE(d.form.queryPending());

    // The timer is not stopped by the reply; its expiry changes nothing.
    EXPECT_TRUE(d.form.responseTimer()->isActive());
    d.form.responseTimerTimer();
    EXPECT_EQ(d.c.queryLED->colour(), kGreen);
    EXPECT_EQ(d.c.setLED->colour(), kWhite);
}

TEST(Pkt2101Form, ReplyValueSelectsItemOrNothing) {
    struct Case {
        uint8_t rate;
        int item;
    };
    for (Case c : {Case{5, 0}, Case{9, 0}, Case{10, 1}, Case{14, 1}, Case{0, -1}, Case{4, -1},
                   Case{15, -1}, Case{20, -1}, Case{255, -1}}) {
        EXPECT_EQ(vx::itemForValue(*vx::engineRateDialog().field(0x01), c.rate), c.item)
            << int(c.rate);
    }

    // Through the link: a reply of 20 leaves no selection but still turns the LED green.
    Dialog d;
    ASSERT_EQ(d.open(), kQuery2101);
    d.c.DR_CB->setCurrentIndex(1);
    uint64_t before = d.rig.console.delivered();
    d.rig.receive(0x21, 0x01, {20});
    ASSERT_TRUE(d.deliver(before, 1));
    EXPECT_EQ(d.c.DR_CB->currentIndex(), -1);
    EXPECT_EQ(d.c.queryLED->colour(), kGreen);
    d.rig.receive(0x21, 0x01, {7});
    ASSERT_TRUE(d.deliver(before, 2));
    EXPECT_EQ(d.c.DR_CB->currentText(), "5 Hz");
}

TEST(Pkt2101Form, SetSendsTheRateAndTheAcknowledgementPaintsTheSetLed) {
    Dialog d;
    ASSERT_EQ(d.open(), kQuery2101);
    uint64_t before = d.rig.console.delivered();
    d.rig.receive(0x21, 0x01, {0x05});
    ASSERT_TRUE(d.deliver(before, 1));

    d.c.DR_CB->setCurrentIndex(1);
    QTest::mouseClick(d.c.setButton, Qt::LeftButton);
    // Set 2101 with the rate byte 10: payload 01 0A after the code 0x21.
    EXPECT_EQ(d.rig.sentHex(7), "81 01 21 01 0A D0 82");
    EXPECT_EQ(d.c.queryLED->colour(), kWhite);
    EXPECT_EQ(d.c.setLED->colour(), kWhite);
    EXPECT_TRUE(d.form.setPending());
    EXPECT_FALSE(d.form.queryPending());

    d.rig.ack(0x01, {0x21, 0x01, 0x00});
    ASSERT_TRUE(d.deliver(before, 2));
    EXPECT_EQ(d.c.setLED->colour(), kGreen);
    EXPECT_FALSE(d.form.setPending());

    // A new Query now reads back what was set.
    QTest::mouseClick(d.c.queryButton, Qt::LeftButton);
    EXPECT_EQ(d.rig.sentHex(6), kQuery2101);
    EXPECT_EQ(d.c.setLED->colour(), kWhite);
    d.rig.receive(0x21, 0x01, {0x0A});
    ASSERT_TRUE(d.deliver(before, 3));
    EXPECT_EQ(d.c.DR_CB->currentText(), "10 Hz");
    EXPECT_EQ(d.c.queryLED->colour(), kGreen);

    // 5 Hz goes as 5.
    d.c.DR_CB->setCurrentIndex(0);
    d.form.setButtonClick();
    EXPECT_EQ(d.rig.sentHex(7), "81 01 21 01 05 D5 82");
}

TEST(Pkt2101Form, RefusalsPaintTheirLedRed) {
    Dialog d;
    ASSERT_EQ(d.open(), kQuery2101);
    uint64_t before = d.rig.console.delivered();
    d.rig.ack(0x02, {0x21, 0x01, 0x03}); // Query refused: unknown code
    ASSERT_TRUE(d.deliver(before, 1));
    EXPECT_EQ(d.c.queryLED->colour(), kRed);
    EXPECT_FALSE(d.form.queryPending());

    d.c.DR_CB->setCurrentIndex(0);
    d.form.setButtonClick();
    EXPECT_EQ(d.rig.sentHex(7), "81 01 21 01 05 D5 82");
    d.rig.ack(0x01, {0x21, 0x01, 0x05}); // Set refused: value error
    ASSERT_TRUE(d.deliver(before, 2));
    EXPECT_EQ(d.c.setLED->colour(), kRed);
    EXPECT_EQ(d.c.queryLED->colour(), kWhite);
    EXPECT_FALSE(d.form.setPending());

    // Acknowledgements of other codes do not reach the dialog.
    d.rig.ack(0x01, {0x22, 0x02, 0x00});
    d.rig.ack(0x02, {0x21, 0x02, 0x00});
    ASSERT_TRUE(d.deliver(before, 4));
    EXPECT_EQ(d.c.setLED->colour(), kRed);
}

TEST(Pkt2101Form, SilencePaintsTheOutstandingLedRedAtTheTimeOutAndALateReplyStillCounts) {
    Dialog d;
    // The time-out is one second; the test shortens it rather than wait.
    EXPECT_EQ(d.form.responseTimer()->interval(), 1000);
    d.form.responseTimer()->setInterval(30);
    ASSERT_EQ(d.open(), kQuery2101);
    ASSERT_TRUE(pumpUntil([&] { return d.c.queryLED->colour() == kRed; }, 5000));
    EXPECT_FALSE(d.form.queryPending());
    EXPECT_EQ(d.c.setLED->colour(), kWhite);

    // A reply after the time-out still shows the rate and turns the LED green.
    uint64_t before = d.rig.console.delivered();
    d.rig.receive(0x21, 0x01, {0x05});
    ASSERT_TRUE(d.deliver(before, 1));
    EXPECT_EQ(d.c.queryLED->colour(), kGreen);
    EXPECT_EQ(d.c.DR_CB->currentText(), "5 Hz");

    // A Set with no acknowledgement: the set LED turns red, the query LED stays as the Set
    // left it.
    d.form.setButtonClick();
    EXPECT_EQ(d.rig.sentHex(7), "81 01 21 01 05 D5 82");
    ASSERT_TRUE(pumpUntil([&] { return d.c.setLED->colour() == kRed; }, 5000));
    EXPECT_EQ(d.c.queryLED->colour(), kWhite);
}

TEST(Pkt2101Form, AcceptedQueryWithoutReplyLeavesTheLedWhite) {
    Dialog d;
    ASSERT_EQ(d.open(), kQuery2101);
    uint64_t before = d.rig.console.delivered();
    d.rig.ack(0x02, {0x21, 0x01, 0x00});
    ASSERT_TRUE(d.deliver(before, 1));
    EXPECT_FALSE(d.form.queryPending());
    d.form.responseTimerTimer();
    EXPECT_EQ(d.c.queryLED->colour(), kWhite);
}

TEST(Pkt2101Form, SecondRequestDoesNotRestartTheTimer) {
    Dialog d;
    // A precise timer tells its remaining time to the millisecond: a restart would show after
    // a few.
    d.form.responseTimer()->setTimerType(Qt::PreciseTimer);
    ASSERT_EQ(d.open(), kQuery2101);
    QThread::msleep(5);
    int remaining = d.form.responseTimer()->remainingTime();
    ASSERT_GE(remaining, 0);
    d.form.queryButtonClick();
    EXPECT_EQ(d.rig.sentHex(6), kQuery2101);
    EXPECT_LE(d.form.responseTimer()->remainingTime(), remaining);
}

TEST(Pkt2101Form, SetWithNothingSelectedSendsNothing) {
    std::vector<vxtest::Message> boxes;
    msg::setInterceptor([&](msg::Kind k, const QString& title, const QString& text) {
        boxes.push_back({k, title, text});
    });
    Dialog d;
    ASSERT_EQ(d.open(), kQuery2101);
    d.form.responseTimerTimer(); // query LED red, nothing pending
    ASSERT_EQ(d.c.queryLED->colour(), kRed);

    QTest::mouseClick(d.c.setButton, Qt::LeftButton);
    msg::setInterceptor(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "No DR Engine Rate selected.");
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(d.c.queryLED->colour(), kRed);
    EXPECT_EQ(d.c.setLED->colour(), kWhite);
    EXPECT_FALSE(d.form.setPending());
    EXPECT_FALSE(d.form.responseTimer()->isActive());
    EXPECT_FALSE(d.form.sending()); // nothing waits to go out later
    EXPECT_EQ(d.rig.sentNowHex(), "");
}

TEST(Pkt2101Form, HiddenWindowIgnoresRepliesAndShowingQueriesAgain) {
    Dialog d;
    ASSERT_EQ(d.open(), kQuery2101);
    d.form.closeButtonClick();
    EXPECT_FALSE(d.form.isVisible());
    uint64_t before = d.rig.console.delivered();
    d.rig.receive(0x21, 0x01, {0x0A});
    ASSERT_TRUE(d.deliver(before, 1));
    EXPECT_EQ(d.c.DR_CB->currentIndex(), -1);
    EXPECT_EQ(d.c.queryLED->colour(), kWhite);

    d.form.show();
    EXPECT_EQ(d.rig.sentHex(6), kQuery2101);
    d.rig.receive(0x21, 0x01, {0x0A});
    ASSERT_TRUE(d.deliver(before, 2));
    EXPECT_EQ(d.c.DR_CB->currentText(), "10 Hz");
}

TEST(Pkt2101Form, ReplyOfWrongLengthGoesToTheErrorWindowAndTheQueryTimesOut) {
    Dialog d;
    TerrorForm errors(d.rig.console);
    ASSERT_EQ(d.open(), kQuery2101);
    uint64_t before = d.rig.console.delivered();
    d.rig.receive(0x21, 0x01, {0x0A, 0x00});
    ASSERT_TRUE(d.deliver(before, 1));
    errors.flush();
    EXPECT_EQ(vxtest::child<LineMemo>(&errors, "errWin")->toPlainText().left(20),
              "Packet Length Error:");
    EXPECT_EQ(d.c.DR_CB->currentIndex(), -1);
    EXPECT_TRUE(d.form.queryPending());
    d.form.responseTimerTimer();
    EXPECT_EQ(d.c.queryLED->colour(), kRed);
}

TEST(Pkt2101Form, WithNoLinkTheDialogGoesOnAndTimesOut) {
    ConsoleRig rig; // not started: every send is refused
    Tpkt2101Form form(rig.console);
    Controls c(form);
    form.responseTimer()->setInterval(20);
    form.show();
    EXPECT_TRUE(form.queryPending());
    EXPECT_EQ(c.queryLED->colour(), kWhite);
    ASSERT_TRUE(pumpUntil([&] { return c.queryLED->colour() == kRed; }, 5000));
}

} // namespace

// ---- In the whole console, on the simulated receiver --------------------------------------

namespace {

TEST_F(ConsoleOnSimulatedReceiver, DrEngineRateFromTheMenu) {
    startSimulatedReceiver();

    auto* form = windows->find<Tpkt2101Form>(vx::WindowId::Tpkt2101Form);
    ASSERT_NE(form, nullptr);
    Controls c(*form);
    Controls* dlg = &c;
    EXPECT_FALSE(form->isVisible());
    QAction* item = menuItem("DR Engine Rate (2101)...");
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_TRUE(form->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return dlg->queryLED->colour() != kWhite; }));
    EXPECT_EQ(dlg->queryLED->colour(), kGreen);
    EXPECT_EQ(dlg->DR_CB->currentText(), "5 Hz");

    dlg->DR_CB->setCurrentIndex(1);
    QTest::mouseClick(dlg->setButton, Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return dlg->setLED->colour() != kWhite; }));
    EXPECT_EQ(dlg->setLED->colour(), kGreen);
    dlg->DR_CB->setCurrentIndex(-1);
    QTest::mouseClick(dlg->queryButton, Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return dlg->queryLED->colour() != kWhite; }));
    EXPECT_EQ(dlg->queryLED->colour(), kGreen);
    EXPECT_EQ(dlg->DR_CB->currentText(), "10 Hz");

    // A silent receiver: the query LED turns red after a second. (Its clock stands still:
    // nothing of it is on its way.)
    vx::sim::SimFaults silent;
    silent.silent = true;
    sim->setFaults(silent);
    // The previous request's timer has run out (a new request does not restart a running one).
    form->responseTimerTimer();
    form->responseTimer()->setInterval(10); // rather than wait out the second
    QTest::mouseClick(dlg->queryButton, Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return dlg->queryLED->colour() != kWhite; }));
    EXPECT_EQ(dlg->queryLED->colour(), kRed);
}

} // namespace
