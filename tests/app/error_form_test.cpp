// The error window: one line per refused frame, received through the real link.
#include "app/ack_form.h"
#include "app/error_form.h"
#include "app/sys_ack_form.h"
#include "support/console_rig_qt.h"
#include "widgets/line_memo_qt.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using vxtest::bytes;
using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;

namespace {

QStringList memoLines(TerrorForm& f) {
    f.flush();
    QString text = vxtest::child<LineMemo>(&f, "errWin")->toPlainText();
    return text.isEmpty() ? QStringList{} : text.split('\n');
}

TEST(ErrorForm, OneLinePerRefusedFrameWithTheTextAndTheBytes) {
    std::vector<uint8_t> longFrame(240, 0x01);
    longFrame.front() = 0x81;
    longFrame.back() = 0x82; // the end byte as the 240th byte, bad checksum: codes 2 and 4
    std::string longLine = "Packet Length Error:";
    for (uint8_t b : longFrame) longLine += vxtest::hex(&b, 1) + " ";

    struct Case {
        std::vector<uint8_t> wire;
        std::string line;
    };
    const std::vector<Case> cases = {
        {bytes("81 21 01 0A 00 82"), "Checksum Error:     81 21 01 0A 00 82 "},
        {bytes("81 21 80 82"), "Packt Format Error: 81 21 80 "},
        {vxtest::frame(0x77, 0x01, {}), "Invalid Parse Code: 81 77 01 85 82 "},
        {vxtest::frame(0x21, 0x01, {0x0A, 0x00}), "Packet Length Error:81 21 01 0A 00 D1 82 "},
        {longFrame, longLine},
    };

    ConsoleRig rig;
    TerrorForm form(rig.console);
    EXPECT_EQ(form.windowTitle(), "Error Window");
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(rig.console.flags().errorPending.load(), 0);
    for (const Case& c : cases) rig.receiveBytes(c.wire);
    // A good frame in between adds nothing.
    rig.receive(0x21, 0x01, {0x0A});
    ASSERT_TRUE(rig.waitDelivered(cases.size() + 1));

    QStringList lines = memoLines(form);
    ASSERT_EQ(lines.size(), qsizetype(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(lines[qsizetype(i)].toStdString(), cases[i].line) << i;
    // Assistive technology reads the same lines.
    QAccessibleInterface* a =
        QAccessible::queryAccessibleInterface(vxtest::child<LineMemo>(&form, "errWin"));
    EXPECT_EQ(a->text(QAccessible::Name), "Refused frames");
    EXPECT_EQ(a->textInterface()->text(0, -1), lines.join('\n'));
    // The lines were added while the window was hidden; the main window shows it.
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(rig.console.flags().errorPending.load(), 1);
}

TEST(ErrorForm, ClosingClearsErrorPendingAndClearEmptiesTheMemo) {
    ConsoleRig rig;
    TerrorForm form(rig.console);
    ASSERT_TRUE(rig.start());
    rig.receiveBytes(bytes("81 21 01 0A 00 82"));
    ASSERT_TRUE(rig.waitDelivered(1));
    ASSERT_EQ(rig.console.flags().errorPending.load(), 1);
    form.show();
    form.closeButtonClick();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(rig.console.flags().errorPending.load(), 0);

    // The next refused frame raises it again; any other closing clears it as well.
    rig.receiveBytes(bytes("81 21 01 0A 00 82"));
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_EQ(rig.console.flags().errorPending.load(), 1);
    form.show();
    form.close();
    EXPECT_EQ(rig.console.flags().errorPending.load(), 0);

    EXPECT_EQ(memoLines(form).size(), 2);
    form.clearButtonClick();
    EXPECT_EQ(vxtest::child<LineMemo>(&form, "errWin")->toPlainText(), "");
    EXPECT_EQ(form.lineCount(), 0u);
}

TEST(ErrorForm, ManyRefusedFramesArriveInOrderBatchedIntoTheMemo) {
    ConsoleRig rig;
    TerrorForm form(rig.console);
    form.show();
    ASSERT_TRUE(rig.start());
    constexpr int kFrames = 3000;
    std::vector<uint8_t> wire;
    for (int i = 0; i < kFrames; ++i) {
        // A checksum error whose payload counts the frames.
        std::vector<uint8_t> f =
            vxtest::frame(0x30, 0x02, {uint8_t(i >> 8 & 0x7F), uint8_t(i & 0x7F)});
        f[f.size() - 2] ^= 0x01;
        wire.insert(wire.end(), f.begin(), f.end());
    }
    rig.receiveBytes(wire);
    ASSERT_TRUE(rig.waitDelivered(kFrames, 60000));
    QStringList lines = memoLines(form);
    ASSERT_EQ(lines.size(), kFrames);
    EXPECT_TRUE(lines.front().startsWith("Checksum Error:     81 30 02 00 00 "));
    EXPECT_TRUE(lines.back().startsWith(QString::asprintf("Checksum Error:     81 30 02 %02X %02X ",
                                                          (kFrames - 1) >> 8 & 0x7F,
                                                          (kFrames - 1) & 0x7F)));
    EXPECT_EQ(form.linesHeld(), size_t(kFrames));
}

TEST(ErrorForm, CodesOutsideTheTableAreNotListed) {
    ConsoleRig rig;
    TerrorForm form(rig.console);
    const uint8_t frame[] = {0x81, 0x21, 0x01, 0x82};
    form.showError(frame, 0, 4); // no text, the bytes only
    form.showError(frame, 5, 4);
    form.showError(frame, 9, 4);
    form.showError(frame, -1, 4);
    EXPECT_EQ(memoLines(form), (QStringList{"81 21 01 82 ", "Invalid Parameter:  81 21 01 82 "}));
}

} // namespace

// ---- In the whole console: the main window's running timer shows the window ---------------

namespace {

TEST_F(ConsoleWindows, RefusedFrameShowsTheErrorWindowAndClosingHidesItUntilTheNext) {
    auto* err = windows->find<TerrorForm>(vx::WindowId::TerrorForm);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(err->windowTitle(), "Error Window");
    startOnPty(0);
    main->runningTimerTimer();
    EXPECT_FALSE(err->isVisible());

    pty.write(bytes("81 21 01 0A 00 82"));
    ASSERT_TRUE(waitDelivered(1));
    main->runningTimerTimer(); // the next tick, within a second
    EXPECT_TRUE(err->isVisible());
    EXPECT_EQ(memoLines(*err), QStringList{"Checksum Error:     81 21 01 0A 00 82 "});

    err->closeButtonClick();
    main->runningTimerTimer();
    EXPECT_FALSE(err->isVisible());
    main->runningTimerTimer();
    EXPECT_FALSE(err->isVisible());

    pty.write(bytes("81 21 80 82"));
    ASSERT_TRUE(waitDelivered(1));
    main->runningTimerTimer();
    EXPECT_TRUE(err->isVisible());
    EXPECT_EQ(memoLines(*err).size(), 2);
    err->close();
    main->runningTimerTimer();
    EXPECT_FALSE(err->isVisible());

    // The menu item shows it and raises the flag, so the running timer keeps it shown.
    QAction* item = nullptr;
    for (QAction* a : main->findChildren<QAction*>())
        if (a->text() == "&Error Window...") item = a;
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_TRUE(err->isVisible());
    EXPECT_EQ(console->flags().errorPending.load(), 1);
    main->runningTimerTimer();
    EXPECT_TRUE(err->isVisible());
}

TEST_F(ConsoleWindows, AcknowledgementWindowsAreInTheConsole) {
    auto* acks = windows->find<TackForm>(vx::WindowId::TackForm);
    auto* sys = windows->find<TSysAckForm>(vx::WindowId::TSysAckForm);
    ASSERT_NE(acks, nullptr);
    ASSERT_NE(sys, nullptr);
    vxtest::child<QTimer>(sys, "tmrTick")->stop();
    QAction* item = nullptr;
    for (QAction* a : main->findChildren<QAction*>())
        if (a->text() == "Acknowledgements...") item = a;
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_TRUE(acks->isVisible());
    startOnPty(0);
    receive(0x10, 0x03, {0x02, 0x00});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(acks->cellText(0, TackForm::ColCommand), "System");
    EXPECT_TRUE(sys->sysAckPending());
    sys->tmrTickTimer();
    EXPECT_TRUE(sys->isVisible());
    EXPECT_EQ(vxtest::child<QLabel>(sys, "lblCommand")->text(), "0302 Cold Reset");
}

} // namespace

namespace {

TEST(ErrorForm, MemoKeepsTheNewestLinesAndSaysHowManyWereDropped) {
    ConsoleRig rig;
    TerrorForm form(rig.console);
    // Lines of 32 characters: ten fit the cap, five fill a block.
    form.setLimits(320, 160);
    for (uint8_t i = 1; i <= 25; ++i) {
        const uint8_t frame[] = {0x81, 0x21, i, 0x82};
        form.showError(frame, 2, sizeof frame);
        if (i == 8) form.flush(); // dropping also works across appends
    }
    QStringList lines = memoLines(form);
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.front(), "Checksum Error:     81 21 10 82 "); // the 16th
    EXPECT_EQ(lines.back(), "Checksum Error:     81 21 19 82 ");  // the 25th
    EXPECT_EQ(form.lineCount(), 25u);
    EXPECT_EQ(form.droppedLines(), 15u);
    auto* dropped = vxtest::child<QLabel>(&form, "droppedLabel");
    EXPECT_FALSE(dropped->isHidden());
    EXPECT_EQ(dropped->text(), "15 older lines dropped.");
    form.clearButtonClick();
    EXPECT_EQ(form.droppedLines(), 0u);
    EXPECT_TRUE(dropped->isHidden());
    const uint8_t frame[] = {0x81, 0x21, 0x01, 0x82};
    form.showError(frame, 2, sizeof frame);
    EXPECT_EQ(memoLines(form), QStringList{"Checksum Error:     81 21 01 82 "});
}

} // namespace

// ---- Popping up without taking the keyboard -------------------------------------------------

namespace {

// Runs the event loop a few turns: the platform's activation events of a showing, and the
// ones they cause, are delivered (no waiting for time to pass).
void settle() {
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
}

TEST_F(ConsoleWindows, TheRunningTimerShowsTheErrorWindowWithoutTakingTheKeyboard) {
    auto* err = windows->find<TerrorForm>(vx::WindowId::TerrorForm);
    ASSERT_NE(err, nullptr);
    startOnPty(0);
    // The user is typing a device path in COM Setup.
    sio->show();
    sio->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sio));
    auto* path = vxtest::child<QLineEdit>(sio, "edDevicePath");
    path->setFocus();
    ASSERT_TRUE(vxtest::pumpUntil([&] { return QApplication::focusWidget() == path; }));
    path->clear();

    for (int round = 0; round < 2; ++round) {
        pty.write(bytes("81 21 01 0A 00 82"));
        ASSERT_TRUE(waitDelivered(1));
        main->runningTimerTimer(); // shows the error window
        ASSERT_TRUE(err->isVisible());
        settle();
        EXPECT_EQ(QApplication::activeWindow(), sio) << round;
        EXPECT_EQ(QApplication::focusWidget(), path) << round;
        // What the user types goes on into the line edit.
        QTest::keyClicks(QApplication::focusWidget(), "ab");
        main->runningTimerTimer(); // the tick after: still shown, still not activated
        settle();
        EXPECT_EQ(QApplication::activeWindow(), sio) << round;
        err->close(); // hidden until the next refused frame
    }
    EXPECT_EQ(path->text(), "abab");

    // The user can still go to it.
    main->runningTimerTimer();
    err->show();
    err->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(err));
}

TEST_F(ConsoleWindows, TheSystemCommandAckWindowPopsUpWithoutTakingTheKeyboard) {
    auto* sys = windows->find<TSysAckForm>(vx::WindowId::TSysAckForm);
    ASSERT_NE(sys, nullptr);
    vxtest::child<QTimer>(sys, "tmrTick")->stop();
    sio->show();
    sio->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sio));
    sys->noteSysAck(0x01, 0x00);
    sys->tmrTickTimer();
    ASSERT_TRUE(sys->isVisible());
    settle();
    EXPECT_EQ(QApplication::activeWindow(), sio);
}

// ---- The memo of a long run ------------------------------------------------------------------

std::vector<uint8_t> numbered(int i) {
    return {0x81, 0x21, uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i), 0x82};
}

TEST(ErrorForm, MemoryIsCappedBySizeAndTheOldestLinesGo) {
    ConsoleRig rig;
    TerrorForm form(rig.console);
    constexpr size_t kCap = 64 * 1024, kBlock = 8 * 1024;
    form.setLimits(kCap, kBlock);
    constexpr int kLines = 20000; // 38 characters each: about 760 KB of text in all
    for (int i = 0; i < kLines; ++i) {
        const auto f = numbered(i);
        form.showError(f.data(), 2, f.size());
        if (i % 1000 == 0) form.flush();
    }
    QStringList lines = memoLines(form);
    EXPECT_EQ(form.lineCount(), uint64_t(kLines));
    EXPECT_EQ(form.droppedLines() + uint64_t(lines.size()), uint64_t(kLines));
    // Held: at most the cap of text, at least the cap less one block; each line with its
    // characters and 4 bytes.
    EXPECT_LE(size_t(lines.size()) * 38, kCap);
    EXPECT_GE(size_t(lines.size()) * 38, kCap - kBlock);
    EXPECT_LE(form.memoryBytes(), kCap + kBlock + size_t(lines.size()) * 8 + 4096);
    // The newest line is always there, in order behind the others.
    EXPECT_EQ(lines.back(), "Checksum Error:     81 21 00 4E 1F 82 ");
    EXPECT_EQ(vxtest::child<QLabel>(&form, "droppedLabel")->text(),
              QString::fromStdString(vx::groupedNumber(form.droppedLines())) +
                  " older lines dropped.");
    EXPECT_TRUE(vxtest::child<QLabel>(&form, "droppedLabel")->text().contains(','));
    // Clear gives the memory back.
    form.clearButtonClick();
    EXPECT_LT(form.memoryBytes(), size_t(1024));
}

TEST(ErrorForm, MemoFollowsTheNewestLineOrKeepsWhatTheUserScrolledTo) {
    ConsoleRig rig;
    TerrorForm form(rig.console);
    form.setLimits(38 * 400, 38 * 100); // 400 lines held, dropped 100 at a time
    form.resize(640, 300);
    form.show();
    auto* memo = vxtest::child<LineMemo>(&form, "errWin");
    auto* bar = memo->verticalScrollBar();
    auto add = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const auto f = numbered(i);
            form.showError(f.data(), 2, f.size());
        }
        form.flush();
    };
    auto topLine = [&] { return memoLines(form).at(memo->firstVisibleLine()); };
    add(0, 300);
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum()); // at the bottom: the newest line in view
    EXPECT_EQ(memo->firstVisibleLine() + memo->visibleLines(), 300);

    // Scrolled up: new lines and dropped old ones leave the view where it is.
    bar->setValue(250);
    const QString shown = topLine();
    add(300, 420); // 100 of the oldest are dropped
    EXPECT_EQ(form.droppedLines(), 100u);
    EXPECT_EQ(topLine(), shown);
    EXPECT_LT(bar->value(), bar->maximum());

    // Back at the bottom it follows again.
    bar->setValue(bar->maximum());
    add(420, 430);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(memoLines(form).last(), "Checksum Error:     81 21 00 01 AD 82 ");
}

TEST(ErrorForm, LinesAreSelectedAndCopied) {
    ConsoleRig rig;
    TerrorForm form(rig.console);
    form.show();
    for (int i = 0; i < 5; ++i) {
        const auto f = numbered(i);
        form.showError(f.data(), 2, f.size());
    }
    form.flush();
    auto* memo = vxtest::child<LineMemo>(&form, "errWin");
    const int h = QFontMetrics(memo->font()).lineSpacing();
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(10, h + h / 2)); // line 2
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(10, 3 * h + h / 2)); // to line 4
    EXPECT_EQ(memo->selectedText(), "Checksum Error:     81 21 00 00 01 82 \n"
                                    "Checksum Error:     81 21 00 00 02 82 \n"
                                    "Checksum Error:     81 21 00 00 03 82 ");
    memo->setFocus();
    QTest::keySequence(memo, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), memo->selectedText());
    QTest::keySequence(memo, QKeySequence::SelectAll);
    EXPECT_EQ(memo->selectedText(), memo->toPlainText());
    EXPECT_EQ(memo->toPlainText().count('\n'), 4);
    // Clear drops the selection with the lines.
    form.clearButtonClick();
    EXPECT_EQ(memo->selectedText(), "");
}

} // namespace
