// The main window: start-up, menus, monitoring states, source switching, lamps, timers and the
// live status display, with a scripted receiver on a pseudo-terminal where the link is
// involved.
#include "link/catalogue.h"
#include "program/console_application_qt.h"
#include "sim/sim_runner.h"
#include "support/console_fixture_qt.h"
#include "support/hex.h"
#include "support/payload.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QAccessible>
#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fstream>
#include <map>
#include <set>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleWindows;
using vxtest::frame;
using vxtest::hex;
using vxtest::pumpUntil;

using vxtest::put16;
using vxtest::put32;

namespace {

QAction* findAction(QWidget* w, const QString& caption) {
    for (QAction* a : w->findChildren<QAction*>())
        if (a->text() == caption) return a;
    return nullptr;
}

std::vector<uint8_t> event1401(uint16_t word) {
    std::vector<uint8_t> p(10, 0);
    put16(p, 1, 2024);
    p[3] = 2;
    p[4] = 29;
    p[5] = 10;
    p[6] = 11;
    p[7] = 12;
    put16(p, 8, word);
    return p;
}

// ---- Start-up ------------------------------------------------------------------------------

TEST_F(ConsoleWindows, StartupCreatesTheWindowsInOrderWithTheirNamesAndCaptions) {
    std::vector<QWidget*> created = windows->windows();
    ASSERT_GE(created.size(), 3u);
    EXPECT_EQ(created[0], main);
    // Creation order follows the start-up positions, whatever order the catalogue lists them.
    int last = 0;
    for (QWidget* w : created) {
        auto id = vx::windowByObjectName(w->objectName().toStdString());
        ASSERT_TRUE(id.has_value()) << w->objectName().toStdString();
        const vx::WindowInfo& info = vx::windowInfo(*id);
        EXPECT_EQ(info.lifetime, Lifetime::AtStartup);
        EXPECT_GT(info.position, last);
        last = info.position;
        EXPECT_EQ(windows->find(*id), w);
        EXPECT_EQ(w->windowTitle().toStdString(), info.caption);
        EXPECT_EQ(w->metaObject()->className(), info.className);
    }
    EXPECT_EQ(main->windowTitle(), "Ornivex v2.40");
    EXPECT_EQ(sio->windowTitle(), "COM Setup");
    EXPECT_EQ(io->windowTitle(), "Io Replay");
    EXPECT_EQ(windows->find(vx::WindowId::TNMEAOutputForm), nullptr);
    // Every catalogue entry names a distinct window.
    std::set<vx::WindowId> ids;
    for (const WindowSpec& s : windowCatalogue().windows) EXPECT_TRUE(ids.insert(s.id).second);
}

// The window list: one line per window, every name distinct, positions 1..60 each once.
TEST(WindowList, NamesCaptionsAndPositionsAreDistinct) {
    std::set<std::string_view> classes, objects;
    std::set<int> positions;
    for (const vx::WindowInfo& w : vx::kWindowInfo) {
        EXPECT_TRUE(classes.insert(w.className).second) << w.className;
        EXPECT_TRUE(objects.insert(w.objectName).second) << w.objectName;
        EXPECT_TRUE(positions.insert(w.position).second) << w.position;
        // The class is "T" and the object name (built with append: GCC 12 warns falsely about
        // "T" + std::string in an optimised build).
        std::string className = "T";
        className.append(w.objectName);
        EXPECT_EQ(w.className, className);
        EXPECT_EQ(w.lifetime == Lifetime::OnFirstUse, w.position > 54) << w.className;
        EXPECT_FALSE(w.caption.empty());
        EXPECT_EQ(vx::windowByObjectName(w.objectName), w.id);
    }
    EXPECT_EQ(positions.size(), 61u);
    EXPECT_EQ(*positions.begin(), 1);
    EXPECT_EQ(*positions.rbegin(), 61);
}

// Every window of the list but the few opened otherwise has exactly one menu item (the profile
// window one per purpose); the windows not built are exactly those of the list the catalogue
// lacks.
TEST(WindowList, MenuAndCatalogueAgree) {
    std::set<vx::WindowId> built;
    std::map<vx::WindowId, int> items;
    for (const WindowSpec& s : windowCatalogue().windows) built.insert(s.id);
    for (const MenuItemSpec& item : windowCatalogue().menu) ++items[item.window];
    // Windows that no menu item shows: the main window itself, and the windows that other
    // windows open (the System command acknowledgement, the RTCM data view).
    const std::set<vx::WindowId> noItem = {vx::WindowId::TmainForm, vx::WindowId::TSysAckForm,
                                           vx::WindowId::Tpkt23From};
    std::vector<vx::WindowId> expectNotBuilt;
    for (const vx::WindowInfo& w : vx::kWindowInfo) {
        const int want = noItem.count(w.id) ? 0 : w.id == vx::WindowId::TprofileForm ? 3 : 1;
        EXPECT_EQ(items[w.id], want) << w.className;
        if (!built.count(w.id)) expectNotBuilt.push_back(w.id);
    }
    EXPECT_EQ(windowsNotBuilt(windowCatalogue().windows), expectNotBuilt);
}

TEST_F(ConsoleWindows, InitialStateOfTheMainWindow) {
    EXPECT_TRUE(action("StartMonitor1")->isEnabled());
    EXPECT_FALSE(action("StopMonitor1")->isEnabled());
    EXPECT_FALSE(timer("runningTimer")->isActive());
    EXPECT_EQ(timer("runningTimer")->interval(), 1000);
    EXPECT_EQ(timer("blipTimer")->interval(), 200);
    EXPECT_EQ(panel("Panel2")->text(), "COM1-38400-8-None-1");
    EXPECT_EQ(main->sourceIndex(), 0);
    EXPECT_EQ(main->antennaState(), 0);
    EXPECT_EQ(sourcePanel(32)->text(), "F");
    EXPECT_EQ(sourcePanel(32)->objectName(), "comWin0");
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(sourcePanel(size_t(i))->text(), QString::number(i + 1));
        EXPECT_EQ(sourcePanel(size_t(i))->objectName(), "comWin" + QString::number(i + 1));
        EXPECT_EQ(sourcePanel(size_t(i))->colour(), Panel::faceColour());
    }
    EXPECT_EQ(panel("svWin", 11)->objectName(), "svWin12");
    EXPECT_EQ(panel("sigWin", 0)->objectName(), "sigWin1");
    EXPECT_EQ(panel("elveWin", 4)->objectName(), "elveWin5");
    EXPECT_EQ(lamp("txStatus")->colour(), lamp::kWhite);
    EXPECT_EQ(lamp("rxStatus")->colour(), lamp::kWhite);
}

TEST_F(ConsoleWindows, MenuBarHasEverySystemCommandAndTheWindowsThatExist) {
    QMenuBar* bar = main->menuBar();
    QStringList tops;
    for (QAction* a : bar->actions()) tops << a->text();
    EXPECT_EQ(tops, (QStringList{"&File", "&SysCmd", "Initialize", "&Config", "&View", "T&est",
                                 "&Tools", "&VORSAND", "&Help"}));
    QStringList sys;
    for (QAction* a : menu("Initialize1")->actions()) sys << a->text();
    EXPECT_EQ(sys, (QStringList{"&Start Monitor", "Sto&p Monitor", "Hot Reset (0301)",
                                "&Cold Reset (0302)", "Force to Monitor (0303)", "Shut Down (0304)",
                                "&Warm Reset (0305)", "Clear Oscillator, Reset (0306)",
                                "Clear Flash and RAM, Reset (0307)", "Clear Position, Reset (0308)",
                                "Write BBRAM to Flash, Reset (0309)", "Io Pass-Through Mode (030A)",
                                "Restart Receiver"}));
    EXPECT_EQ(main->findChild<QAction*>("ForcetoMonitor2")->text(), "Force to Monitor (0303)");
    EXPECT_EQ(main->findChild<QAction*>("Exit1")->text(), "E&xit");
    // Items for the windows that exist; none for windows not built.
    EXPECT_NE(findAction(main, "&COM Setup..."), nullptr);
    EXPECT_NE(findAction(main, "Io Replay..."), nullptr);
    for (const MenuItemSpec& item : windowCatalogue().menu)
        EXPECT_EQ(findAction(main, item.caption) != nullptr, windows->inCatalogue(item.window))
            << item.caption;
}

TEST_F(ConsoleWindows, WindowMenuItemsShowTheirWindow) {
    EXPECT_FALSE(sio->isVisible());
    findAction(main, "&COM Setup...")->trigger();
    EXPECT_TRUE(sio->isVisible());
    sio->close(); // closing only hides
    EXPECT_FALSE(sio->isVisible());
    EXPECT_EQ(windows->find(vx::WindowId::TsioForm), sio);
    findAction(main, "Io Replay...")->trigger();
    EXPECT_TRUE(io->isVisible());
}

TEST_F(ConsoleWindows, HiddenMenuIsHiddenWithoutTheSwitchAndToggledByPanel4) {
    QAction* vorsand = menu("VorsandInternal")->menuAction();
    EXPECT_FALSE(vorsand->isVisible());
    QTest::mouseDClick(panel("Panel4"), Qt::LeftButton);
    EXPECT_TRUE(vorsand->isVisible());
    main->Panel4DblClick();
    EXPECT_FALSE(vorsand->isVisible());

    WindowOptions shown;
    shown.internalMenu = true;
    createWindows(shown);
    EXPECT_TRUE(menu("VorsandInternal")->menuAction()->isVisible());
    QTest::mouseDClick(panel("Panel4"), Qt::LeftButton);
    EXPECT_FALSE(menu("VorsandInternal")->menuAction()->isVisible());
}

// ---- Monitoring states ---------------------------------------------------------------------

TEST_F(ConsoleWindows, FailedStartPaintsThePanelRedAndSaysWhyInTheStatusBar) {
    comMap.setPath(2, "/dev/ornivex-no-such-port");
    main->comWinDblClick(2);
    EXPECT_FALSE(main->monitoring());
    EXPECT_EQ(main->sourceIndex(), 2);
    EXPECT_EQ(sourcePanel(2)->colour(), lamp::kRed);
    EXPECT_EQ(sourcePanel(0)->colour(), Panel::faceColour()); // the old source
    EXPECT_TRUE(action("StartMonitor1")->isEnabled());
    EXPECT_FALSE(action("StopMonitor1")->isEnabled());
    EXPECT_FALSE(timer("runningTimer")->isActive());
    const QString why = main->statusBar()->currentMessage();
    EXPECT_TRUE(why.contains("COM3")) << why.toStdString();
    EXPECT_TRUE(why.contains("/dev/ornivex-no-such-port")) << why.toStdString();
    EXPECT_TRUE(messages.empty()); // no message box
    EXPECT_FALSE(io->captureEnabled());
}

TEST_F(ConsoleWindows, StartAndStopOnAPseudoTerminal) {
    ASSERT_TRUE(pty.ok());
    comMap.setPath(0, pty.slavePath());
    main->StartMonitor1Click();
    ASSERT_TRUE(main->monitoring());
    EXPECT_EQ(sourcePanel(0)->colour(), lamp::kGreen);
    EXPECT_FALSE(action("StartMonitor1")->isEnabled());
    EXPECT_TRUE(action("StopMonitor1")->isEnabled());
    EXPECT_TRUE(timer("runningTimer")->isActive());
    EXPECT_TRUE(io->captureEnabled());
    EXPECT_TRUE(main->statusBar()->currentMessage().isEmpty());

    timer("runningTimer")->stop();
    receive(0x12, 0x01, {0, 0, 0, 0x01});
    ASSERT_TRUE(pumpUntil([&] { return !panel("startupStatus")->text().isEmpty(); }));
    EXPECT_EQ(panel("startupStatus")->text(), "01:Valid BBRAM : SelfTest Passed");

    main->StopMonitor1Click();
    EXPECT_FALSE(main->monitoring());
    EXPECT_EQ(sourcePanel(0)->colour(), lamp::kYellow);
    EXPECT_TRUE(action("StartMonitor1")->isEnabled());
    EXPECT_FALSE(action("StopMonitor1")->isEnabled());
    EXPECT_FALSE(timer("runningTimer")->isActive());
    EXPECT_TRUE(panel("startupStatus")->text().isEmpty()); // the display was reset
    EXPECT_FALSE(io->captureEnabled());

    // A failed start after a stop: red, and Stop stays disabled.
    comMap.setPath(0, "/dev/ornivex-gone");
    main->StartMonitor1Click();
    EXPECT_EQ(sourcePanel(0)->colour(), lamp::kRed);
    EXPECT_FALSE(action("StopMonitor1")->isEnabled());
}

TEST_F(ConsoleWindows, StopMonitorWhenNothingIsOpenStillResetsTheDisplay) {
    main->showStartupStatus(vx::StartupRecord{0, 3, 0});
    main->StopMonitor1Click();
    EXPECT_TRUE(panel("startupStatus")->text().isEmpty());
    EXPECT_EQ(sourcePanel(0)->colour(), lamp::kYellow);
}

TEST_F(ConsoleWindows, SourcePanelsSwitchTheSourceAndTheComText) {
    startOnPty(4); // COM5
    EXPECT_EQ(panel("Panel2")->text(), "COM5-38400-8-None-1");
    EXPECT_EQ(sourcePanel(4)->colour(), lamp::kGreen);
    EXPECT_EQ(sio->portIndex(), 4);

    // The same panel again: stop and start on the same source.
    for (int i = 0; i < 77; ++i) main->runningTimerTimer();
    ASSERT_EQ(main->runningSeconds(), 77);
    QTest::mouseDClick(sourcePanel(4), Qt::LeftButton);
    EXPECT_TRUE(main->monitoring());
    EXPECT_EQ(main->runningSeconds(), 0);
    EXPECT_EQ(sourcePanel(4)->colour(), lamp::kGreen);

    // "F": the replay file; with none chosen the start fails and the text is "FILE".
    QTest::mouseDClick(sourcePanel(32), Qt::LeftButton);
    EXPECT_EQ(main->sourceIndex(), 32);
    EXPECT_EQ(panel("Panel2")->text(), "FILE");
    EXPECT_EQ(sourcePanel(4)->colour(), Panel::faceColour());
    EXPECT_EQ(sourcePanel(32)->colour(), lamp::kRed);
    EXPECT_TRUE(main->statusBar()->currentMessage().contains("FILE"));
    EXPECT_TRUE(vxtest::child<QLineEdit>(sio, "edFilename")->text().isEmpty());

    // Indices outside 0..32 are ignored.
    main->comWinDblClick(33);
    main->comWinDblClick(-1);
    EXPECT_EQ(main->sourceIndex(), 32);
    main->setSourcePanelColour(-1, lamp::kBlue); // ignored, no crash
}

TEST_F(ConsoleWindows, ParityAndBaudShowInTheComTextAfterSwitching) {
    ASSERT_TRUE(pty.ok());
    comMap.setPath(11, pty.slavePath());
    sio->show();
    vxtest::child<QComboBox>(sio, "comBox")->setCurrentIndex(11);
    vxtest::child<QComboBox>(sio, "baudBox")->setCurrentIndex(4);
    vxtest::child<QComboBox>(sio, "parityBox")->setCurrentIndex(2);
    vxtest::child<QPushButton>(sio, "okButton")->click();
    EXPECT_FALSE(sio->isVisible());
    EXPECT_EQ(panel("Panel2")->text(), "COM12-115200-8-Even-1");
    EXPECT_TRUE(main->monitoring());
    EXPECT_EQ(main->sourceIndex(), 11);
    EXPECT_EQ(link.settings().baudRate, 115200);
    // COM12 at index 11 -> the switch keeps baud and parity.
    main->comWinDblClick(11);
    EXPECT_EQ(panel("Panel2")->text(), "COM12-115200-8-Even-1");
    sio->selectPort(0);
    vxtest::child<QComboBox>(sio, "parityBox")->setCurrentIndex(1);
    EXPECT_EQ(sio->comText(), "COM1-115200-8-Even-1"); // controls count only at OK
}

// ---- Sending and lamps ---------------------------------------------------------------------

TEST_F(ConsoleWindows, SystemCommandsGoOutWholeAndLightTheTxLamp) {
    // Nothing open: the link refuses the write and the lamp stays dark.
    main->findChild<QAction*>("HotReset1")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(lamp("txStatus")->colour(), lamp::kWhite);

    startOnPty(0);
    main->findChild<QAction*>("HotReset1")->trigger();
    EXPECT_EQ(hex(pty.read(5)), "81 03 01 F9 82");
    ASSERT_TRUE(pumpUntil([&] { return lamp("txStatus")->colour() == lamp::kGreen; }));
    main->blipTimerTimer();
    EXPECT_EQ(lamp("txStatus")->colour(), lamp::kWhite);

    main->findChild<QAction*>("IoPassthroughMode030A1")->trigger();
    EXPECT_EQ(hex(pty.read(5)), "81 03 0A F0 82");
    action("RestartMonitor1")->trigger();
    EXPECT_EQ(hex(pty.read(6)), "02 00 8C 00 8C 03");
    const char* const items[] = {"HotReset1",
                                 "ColdReset1",
                                 "ForcetoMonitor2",
                                 "ShutDown03041",
                                 "WarmReset1",
                                 "ClearOscillatorReset03061",
                                 "ClearFlashandRAMReset03071",
                                 "ClearPositionReset03081",
                                 "WriteBBRAMtoFlashReset03091",
                                 "IoPassthroughMode030A1"};
    for (size_t i = 0; i < std::size(items); ++i) {
        action(items[i])->trigger();
        std::vector<uint8_t> got = pty.read(5);
        ASSERT_EQ(got.size(), 5u);
        EXPECT_EQ(got[2], uint8_t(i + 1)) << i;
    }
}

TEST_F(ConsoleWindows, RxLampBlinksLimeOrBlueAndIsDarkBetweenFlashes) {
    startOnPty(0);
    auto& f = console->flags();
    receive(0x21, 0x01, {10});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(f.rxSeen.load(), 1);
    main->blipTimerTimer();
    EXPECT_EQ(lamp("rxStatus")->colour(), lamp::kGreen);
    // The next tick darkens it and clears both flags, even if more packets came.
    receive(0x21, 0x01, {10});
    ASSERT_TRUE(waitDelivered(1));
    main->blipTimerTimer();
    EXPECT_EQ(lamp("rxStatus")->colour(), lamp::kWhite);
    EXPECT_EQ(f.rxSeen.load(), 0);
    main->blipTimerTimer(); // nothing since: stays dark
    EXPECT_EQ(lamp("rxStatus")->colour(), lamp::kWhite);

    // A diagnostic report (7001) makes the next flash blue.
    receive(0x21, 0x01, {5});
    receive(0x70, 0x01, {0x41, 0x42});
    ASSERT_TRUE(waitDelivered(2));
    EXPECT_EQ(f.rxDiagSeen.load(), 1);
    main->blipTimerTimer();
    EXPECT_EQ(lamp("rxStatus")->colour(), lamp::kBlue);
    main->blipTimerTimer();
    EXPECT_EQ(lamp("rxStatus")->colour(), lamp::kWhite);
    EXPECT_EQ(f.rxDiagSeen.load(), 0);
}

// ---- Running time and antenna --------------------------------------------------------------

TEST_F(ConsoleWindows, RunningTimeCountsAndRestartsWithEveryStartupReport) {
    startOnPty(0);
    EXPECT_EQ(main->runningSeconds(), 0);
    for (int i = 0; i < 3600; ++i) main->runningTimerTimer();
    EXPECT_EQ(panel("Panel3")->text(), "Running Time: 01:00:00  ");
    main->runningTimerTimer();
    EXPECT_EQ(panel("Panel3")->text(), "Running Time: 01:00:01  ");

    // A 1201 resets the counter even while the main window is hidden.
    main->hide();
    receive(0x12, 0x01, {0, 0, 0, 0x02});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(main->runningSeconds(), 0);
    EXPECT_EQ(panel("startupStatus")->text(), "02:InValid BBRAM : SelfTest Failed");
    main->show();
    main->runningTimerTimer();
    EXPECT_EQ(panel("Panel3")->text(), "Running Time: 00:00:01  ");

    // Start Monitor starts from zero too.
    for (int i = 0; i < 500; ++i) main->runningTimerTimer();
    main->comWinDblClick(0);
    EXPECT_EQ(main->runningSeconds(), 0);
}

TEST_F(ConsoleWindows, AntennaEventShowsForOneTick) {
    startOnPty(0);
    main->runningTimerTimer();
    EXPECT_EQ(panel("antennaStatusWin")->text(), "Antenna Normal");

    receive(0x14, 0x01, event1401(0x2071));
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(panel("eventLogWin")->text(), "02/29/2024 10:11:12 Antenna short detected.");
    main->runningTimerTimer();
    EXPECT_EQ(panel("antennaStatusWin")->text(), "Antenna Short");
    main->runningTimerTimer();
    EXPECT_EQ(panel("antennaStatusWin")->text(), "Antenna Normal");

    receive(0x14, 0x01, event1401(0x1070));
    ASSERT_TRUE(waitDelivered(1));
    main->runningTimerTimer();
    EXPECT_EQ(panel("antennaStatusWin")->text(), "Antenna Open");

    // An antenna event word the table does not name: the event line, but no antenna state.
    receive(0x14, 0x01, event1401(0x0170));
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(panel("eventLogWin")->text(), "02/29/2024 10:11:12 Antenna open detected.");
    EXPECT_EQ(main->antennaState(), 0);

    // Low byte 0: nothing changes.
    receive(0x14, 0x01, event1401(0x3000));
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(panel("eventLogWin")->text(), "02/29/2024 10:11:12 Antenna open detected.");

    // While the main window is hidden the antenna and event log are not updated.
    main->hide();
    receive(0x14, 0x01, event1401(0x2070));
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(main->antennaState(), 0);
    EXPECT_EQ(panel("eventLogWin")->text(), "02/29/2024 10:11:12 Antenna open detected.");
}

TEST_F(ConsoleWindows, RunningTimerKeepsTheErrorWindowShownWhileTheFlagIsSet) {
    // The error window arrives with its own issue; without it the tick just skips the step.
    console->flags().errorPending = 1;
    main->runningTimerTimer();
    if (QWidget* err = windows->find(vx::WindowId::TerrorForm)) {
        EXPECT_TRUE(err->isVisible());
    }
    main->runningTimerTimer(); // and no crash without it
    SUCCEED();
}

// ---- Live display --------------------------------------------------------------------------

TEST_F(ConsoleWindows, LiveReportsFillThePanelsAndLamps) {
    startOnPty(0);
    std::vector<uint8_t> ff(46, 0);
    ff[0] = 0x05;        // position, heading valid
    ff[1] = 0x02 | 0x30; // direction bit, time source 3
    put32(ff, 3, 123456);
    put32(ff, 7, 1u << 30);
    put16(ff, 17, 1u << 15);
    put16(ff, 19, 65535);
    put16(ff, 27, 12);
    ff[39] = 0x80 | 7;
    put32(ff, 40, 99);
    receive(0x30, 0x02, ff);

    std::vector<uint8_t> ts(18, 0);
    put16(ts, 0, 2025);
    ts[2] = 1;
    ts[3] = 31;
    ts[4] = 23;
    ts[5] = 59;
    ts[6] = 58;
    ts[7] = 18;
    put16(ts, 8, 384);
    put16(ts, 10, 256);
    put16(ts, 12, 512);
    ts[16] = 0x81;
    receive(0x32, 0x01, ts);
    receive(0x33, 0x01, {2, 17, 0x11, 200, 45, 30, 0x08});
    ASSERT_TRUE(waitDelivered(3));

    EXPECT_EQ(panel("msecWin")->text(), "123456");
    EXPECT_EQ(panel("latWin")->text(), "1.570796327");
    EXPECT_EQ(panel("lonWin")->text(), "0.000000000");
    EXPECT_EQ(panel("headingWin")->text(), "1.00000");
    EXPECT_EQ(panel("speedWin")->text(), "65535");
    EXPECT_EQ(panel("accPosWin")->text(), "12");
    EXPECT_EQ(panel("timeSourceWin")->text(), "GPS (<1ms)");
    EXPECT_EQ(panel("gyroNoWin")->text(), "07");
    EXPECT_EQ(panel("dirSwitchValWin")->text(), "01");
    EXPECT_EQ(panel("gyroCntWin")->text(), "99");
    EXPECT_EQ(lamp("posStatus")->colour(), lamp::kGreen);
    EXPECT_EQ(lamp("headingStatus")->colour(), lamp::kGreen);
    EXPECT_EQ(lamp("altStatus")->colour(), lamp::kYellow);
    EXPECT_EQ(lamp("dirStatus")->colour(), lamp::kYellow);
    EXPECT_EQ(lamp("gyroStatus")->colour(), lamp::kYellow);

    EXPECT_EQ(panel("dateWin")->text(), "01/31/2025");
    EXPECT_EQ(panel("timeWin")->text(), "23:59:58");
    EXPECT_EQ(panel("offsetWin")->text(), "018");
    EXPECT_EQ(panel("pdopWin")->text(), "1.50");
    EXPECT_EQ(panel("hdopWin")->text(), "1.00");
    EXPECT_EQ(panel("vdopWin")->text(), "2.00");
    EXPECT_EQ(panel("searchModeWin")->text(), "Blind");
    EXPECT_EQ(panel("almanecStatusWin")->text(), "Complete");

    EXPECT_EQ(panel("svWin", 2)->text(), "17");
    EXPECT_EQ(panel("svWin", 2)->colour(), lamp::kGreen);
    EXPECT_EQ(panel("sigWin", 2)->text(), "40.0");
    EXPECT_EQ(panel("elveWin", 2)->text(), " 30");
    EXPECT_EQ(panel("elveWin", 2)->colour(), lamp::kGreen);
    EXPECT_EQ(panel("aziWin", 2)->text(), "90");

    // The direction bit clear paints the direction lamp lime; search bits 3 empty the mode.
    ff[1] = 0;
    receive(0x30, 0x02, ff);
    ts[16] = 0x03;
    receive(0x32, 0x01, ts);
    ASSERT_TRUE(waitDelivered(2));
    EXPECT_EQ(lamp("dirStatus")->colour(), lamp::kGreen);
    EXPECT_EQ(panel("timeSourceWin")->text(), "System Clock");
    EXPECT_EQ(panel("searchModeWin")->text(), "");
    EXPECT_EQ(panel("almanecStatusWin")->text(), "Not Complete");

    // Stop Monitor blanks everything and paints the lamps white.
    main->StopMonitor1Click();
    for (Panel* p : {panel("msecWin"), panel("latWin"), panel("dateWin"), panel("timeWin"),
                     panel("pdopWin"), panel("searchModeWin"), panel("gyroCntWin"),
                     panel("svWin", 2), panel("aziWin", 2), panel("timeSourceWin")})
        EXPECT_TRUE(p->text().isEmpty()) << p->objectName().toStdString();
    EXPECT_EQ(panel("svWin", 2)->colour(), lamp::kWhite);
    EXPECT_EQ(panel("elveWin", 2)->colour(), lamp::kWhite);
    EXPECT_EQ(lamp("posStatus")->colour(), lamp::kWhite);
    EXPECT_EQ(lamp("dirStatus")->colour(), lamp::kWhite);
}

TEST_F(ConsoleWindows, ReportsOfAHiddenMainWindowAreNotShown) {
    startOnPty(0);
    main->hide();
    receive(0x33, 0x01, {0, 9, 0x10, 100, 1, 2, 0x0C});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_TRUE(panel("svWin", 0)->text().isEmpty());
    // Minimised still counts as visible.
    main->showMinimized();
    receive(0x33, 0x01, {0, 9, 0x10, 100, 1, 2, 0x0C});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(panel("svWin", 0)->text(), " 9");
}

TEST_F(ConsoleWindows, RowsNineToTwelveAreBlankedAfter41ReportsForRowsOneToEight) {
    startOnPty(0);
    for (uint8_t ch = 8; ch < 12; ++ch)
        receive(0x33, 0x01, {ch, uint8_t(20 + ch), 0x10, 1, 1, 1, 8});
    ASSERT_TRUE(waitDelivered(4));
    EXPECT_EQ(panel("svWin", 11)->text(), "31");

    for (int i = 0; i < 40; ++i) receive(0x33, 0x01, {uint8_t(i % 8), 5, 0, 1, 1, 1, 0});
    ASSERT_TRUE(waitDelivered(40));
    EXPECT_EQ(panel("svWin", 8)->text(), "28");
    EXPECT_EQ(main->channelRowCount(), 40u);

    // A report for channel 12 changes nothing at all.
    receive(0x33, 0x01, {12, 5, 0, 1, 1, 1, 0});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(main->channelRowCount(), 40u);

    receive(0x33, 0x01, {0, 5, 0, 1, 1, 1, 0}); // the 41st
    ASSERT_TRUE(waitDelivered(1));
    for (int r = 8; r < 12; ++r) {
        for (Panel* p : {panel("svWin", size_t(r)), panel("sigWin", size_t(r)),
                         panel("elveWin", size_t(r)), panel("aziWin", size_t(r))}) {
            EXPECT_TRUE(p->text().isEmpty()) << r;
            EXPECT_EQ(p->colour(), Panel::faceColour()) << r;
        }
    }
    EXPECT_EQ(panel("svWin", 0)->text(), " 5");

    // A report for row 9 brings it back in white and starts the count again.
    receive(0x33, 0x01, {8, 3, 0x01, 1, 1, 1, 0});
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(panel("svWin", 8)->text(), " 3");
    EXPECT_EQ(panel("sigWin", 8)->colour(), lamp::kWhite);
    EXPECT_EQ(panel("elveWin", 8)->colour(), lamp::kGreen);
    EXPECT_EQ(main->channelRowCount(), 0u);
}

TEST_F(ConsoleOnSimulatedReceiver, FillsTheDisplayAndAnswersSystemCommands) {
    startSimulatedReceiver(steppedReceiver(), false);
    ASSERT_TRUE(sim->advance(2000)); // two seconds of reports
    ASSERT_TRUE(pumpUntil(
        [&] {
            return !panel("latWin")->text().isEmpty() && !panel("timeWin")->text().isEmpty() &&
                   !panel("svWin", 0)->text().isEmpty() &&
                   !panel("startupStatus")->text().isEmpty();
        },
        30000));
    EXPECT_EQ(sourcePanel(0)->colour(), lamp::kGreen);
    // A warm reset: the receiver starts again and sends its start-up report, which resets the
    // running time.
    timer("runningTimer")->stop();
    for (int i = 0; i < 100; ++i) main->runningTimerTimer();
    const uint64_t resets = sim->stats().resets;
    main->findChild<QAction*>("WarmReset1")->trigger();
    ASSERT_TRUE(pumpUntil([&] { return sim->stats().resets > resets; }));
    ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));
    EXPECT_TRUE(pumpUntil([&] { return main->runningSeconds() == 0; }, 30000));
    main->StopMonitor1Click();
    sim->stop();
    EXPECT_TRUE(panel("latWin")->text().isEmpty());
}

TEST_F(ConsoleWindows, StopMonitorDuringAFastReplayOfABigFile) {
    // About 8 MB of reports, replayed with delay 0.
    QTemporaryDir dir;
    const std::string file = dir.filePath("big.vxr").toStdString();
    {
        std::vector<uint8_t> second;
        std::vector<uint8_t> ff(46, 0x81); // escaped bytes throughout
        for (int i = 0; i < 5; ++i) {
            auto f = frame(0x30, 0x02, ff);
            second.insert(second.end(), f.begin(), f.end());
        }
        auto ch = frame(0x33, 0x01, {1, 2, 0x11, 100, 10, 20, 8});
        second.insert(second.end(), ch.begin(), ch.end());
        std::ofstream out(file, std::ios::binary);
        for (size_t n = 0; n < 8u * 1024 * 1024; n += second.size())
            out.write(reinterpret_cast<const char*>(second.data()), std::streamsize(second.size()));
    }
    sio->show();
    vxtest::child<QRadioButton>(sio, "rbFile")->setChecked(true);
    vxtest::child<QLineEdit>(sio, "edFilename")->setText(QString::fromStdString(file));
    vxtest::child<QPushButton>(sio, "okButton")->click();
    ASSERT_TRUE(main->monitoring()) << console->lastError().toStdString();

    // The event loop keeps running other work while the replay floods it.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 20 && console->delivered() > 1000; }));
    EXPECT_FALSE(link.idleAtEnd()) << "the file was replayed already: make it bigger";
    EXPECT_EQ(panel("latWin")->text(), "-3.104632741"); // 0x81818181 in units of pi / 2^31

    main->StopMonitor1Click();
    EXPECT_FALSE(link.running());
    EXPECT_TRUE(panel("latWin")->text().isEmpty());
    EXPECT_EQ(sourcePanel(32)->colour(), lamp::kYellow);
    // Nothing left over arrives after the stop.
    // (The worker has been joined: every event still to come is posted already.)
    const uint64_t after = console->delivered();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    EXPECT_EQ(console->delivered(), after);
    EXPECT_TRUE(panel("latWin")->text().isEmpty());
}

// ---- A lost port -----------------------------------------------------------------------------

TEST_F(ConsoleWindows, ALostPortStopsMonitoringAsStopDoesPaintsThePanelRedAndStartWorksAgain) {
    io->show();
    startOnPty(0);
    ASSERT_TRUE(io->captureEnabled());
    receive(0x12, 0x01, {0, 0, 0, 0x01});
    ASSERT_TRUE(waitDelivered(1));
    ASSERT_FALSE(panel("startupStatus")->text().isEmpty());

    pty.closeMaster(); // the receiver's side of the line goes away
    // Nothing but the link's own report brings the news: the window timers are stopped.
    ASSERT_TRUE(pumpUntil([&] { return !main->monitoring(); }));
    ASSERT_TRUE(pumpUntil([&] { return sourcePanel(0)->colour() == lamp::kRed; }));
    const QString status = statusMessage();
    EXPECT_TRUE(QRegularExpression("^COM1 \\(/dev/pts/\\d+\\): device disconnected — "
                                   "\\d\\d:\\d\\d:\\d\\d$")
                    .match(status)
                    .hasMatch())
        << status.toStdString();
    // What Stop Monitor does: menus, timer, display, capture.
    EXPECT_TRUE(action("StartMonitor1")->isEnabled());
    EXPECT_FALSE(action("StopMonitor1")->isEnabled());
    EXPECT_FALSE(timer("runningTimer")->isActive());
    EXPECT_TRUE(panel("startupStatus")->text().isEmpty());
    EXPECT_FALSE(io->captureEnabled());
    EXPECT_FALSE(link.running());

    // Once the device is back, Start Monitor works on it.
    vxtest::Pty again;
    ASSERT_TRUE(again.ok());
    comMap.setPath(0, again.slavePath());
    action("StartMonitor1")->trigger();
    ASSERT_TRUE(main->monitoring()) << console->lastError().toStdString();
    EXPECT_EQ(sourcePanel(0)->colour(), lamp::kGreen);
    EXPECT_TRUE(statusMessage().isEmpty());
    again.write(frame(0x12, 0x01, {0, 0, 0, 0x02}));
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(panel("startupStatus")->text(), "02:InValid BBRAM : SelfTest Failed");
}

TEST_F(ConsoleWindows, ACommandThatCannotBeSentSaysSoInTheStatusBar) {
    const struct {
        const char* item;
        const char* status;
    } cases[] = {
        {"HotReset1", "Not monitoring: Hot Reset (0301) was not sent"},
        {"ColdReset1", "Not monitoring: Cold Reset (0302) was not sent"},
        {"WarmReset1", "Not monitoring: Warm Reset (0305) was not sent"},
        {"IoPassthroughMode030A1", "Not monitoring: Io Pass-Through Mode (030A) was not sent"},
        {"RestartMonitor1", "Not monitoring: Restart Receiver was not sent"},
    };
    for (const auto& c : cases) {
        main->statusBar()->clearMessage();
        action(c.item)->trigger();
        EXPECT_EQ(statusMessage(), c.status) << c.item;
    }
    // Sent while monitoring: nothing to say.
    startOnPty(0);
    action("HotReset1")->trigger();
    EXPECT_EQ(hex(pty.read(5)), "81 03 01 F9 82");
    EXPECT_TRUE(statusMessage().isEmpty());
    // After a loss the link refuses again, and says so.
    pty.closeMaster();
    ASSERT_TRUE(pumpUntil([&] { return !main->monitoring(); }));
    action("ShutDown03041")->trigger();
    EXPECT_EQ(statusMessage(), "Not monitoring: Shut Down (0304) was not sent");
}

TEST_F(ConsoleOnSimulatedReceiver, AKilledReceiverShowsAsDisconnected) {
    startSimulatedReceiver(steppedReceiver(), false);
    timer("runningTimer")->stop();
    ASSERT_TRUE(sim->advance(1000));
    ASSERT_TRUE(pumpUntil([&] { return !panel("latWin")->text().isEmpty(); }, 30000));

    sim->stop(); // the receiver's process ends: its side of the pseudo-terminal closes
    QElapsedTimer shown;
    shown.start();
    // The loss arrives as an event of its own (no timer runs here) as soon as the port's
    // poll() sees the hang-up; the wait below only bounds a failing test.
    ASSERT_TRUE(pumpUntil([&] { return statusMessage().contains("device disconnected"); }));
    RecordProperty("disconnect_shown_after_ms", int(shown.elapsed()));
    EXPECT_TRUE(statusMessage().startsWith(QString::fromStdString("COM1 (" + simPath + ")")))
        << statusMessage().toStdString();
    EXPECT_FALSE(main->monitoring());
    EXPECT_EQ(sourcePanel(0)->colour(), lamp::kRed);
    EXPECT_TRUE(panel("latWin")->text().isEmpty());
}

// ---- Every window ----------------------------------------------------------------------------

// Assistive technology sees every window as a dialog or a window (never as "filler"), each
// titled with its caption alone, and each value panel by its caption with its text readable.
TEST_F(ConsoleWindows, WindowsAreDialogsOrWindowsToAssistiveTechnology) {
    for (QWidget* w : windows->windows()) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        const QAccessible::Role want = w == main ? QAccessible::Window : QAccessible::Dialog;
        EXPECT_EQ(a->role(), want) << w->objectName().toStdString();
        EXPECT_EQ(a->text(QAccessible::Name), w->windowTitle()) << w->objectName().toStdString();
    }
}

TEST_F(ConsoleWindows, ValuePanelsAnnounceTheirCaptionAndTheirText) {
    struct Case {
        const char* panel;
        const char* name;
    };
    const Case cases[] = {{"latWin", "Latitute"},
                          {"accPosWin", "Position"},
                          {"pdopWin", "PDOP"},
                          {"svWin3", "SV 3"},
                          {"comWin0", "Replay file"},
                          {"comWin7", "COM7"},
                          {"eventLogWin", "Last Event Log"}};
    for (const Case& c : cases) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(panel(c.panel));
        ASSERT_NE(a, nullptr) << c.panel;
        EXPECT_EQ(a->text(QAccessible::Name), c.name) << c.panel;
        EXPECT_EQ(a->text(QAccessible::Value), panel(c.panel)->text()) << c.panel;
        ASSERT_NE(a->textInterface(), nullptr) << c.panel;
        EXPECT_EQ(a->textInterface()->text(0, -1), panel(c.panel)->text()) << c.panel;
        EXPECT_TRUE(a->state().readOnly) << c.panel;
    }
    // An empty panel is still announced by its caption; a filled one gives its value.
    QAccessibleInterface* lat = QAccessible::queryAccessibleInterface(panel("latWin"));
    EXPECT_EQ(lat->text(QAccessible::Value), "");
    std::vector<uint8_t> ff(46, 0);
    put32(ff, 7, 1u << 30);
    startOnPty(0);
    receive(0x30, 0x02, ff);
    ASSERT_TRUE(waitDelivered(1));
    EXPECT_EQ(lat->text(QAccessible::Name), "Latitute");
    EXPECT_EQ(lat->text(QAccessible::Value), "1.570796327");
    EXPECT_EQ(lat->textInterface()->text(0, -1), "1.570796327");
}

// A value panel of any window is named by its caption, not by the text it shows, so a reader
// says what a value is before it has one. (Panels without an object name are captions drawn as
// panels.)
TEST_F(ConsoleWindows, EveryValuePanelOfEveryWindowIsNamedByItsCaption) {
    for (const WindowSpec& spec : windowCatalogue().windows) {
        QWidget* w = windows->open(spec.id);
        ASSERT_NE(w, nullptr) << spec.info().objectName;
        for (const Panel* p : w->findChildren<Panel*>()) {
            if (p->objectName().isEmpty()) continue;
            EXPECT_FALSE(p->accessibleName().isEmpty())
                << spec.info().objectName << " " << p->objectName().toStdString();
        }
        if (w != main) w->hide();
    }
}

TEST(ConsoleApplicationIdentity, NoDisplayNameIsAddedToTheWindowTitles) {
    const QString before = QCoreApplication::applicationName();
    ConsoleApplication::setIdentity();
    EXPECT_EQ(QCoreApplication::applicationName(), "Ornivex");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "ornivex");
    // The platform adds a display name that was set to every title ("COM Setup — Ornivex");
    // one that was not follows the application name.
    QCoreApplication::setApplicationName("probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    QCoreApplication::setApplicationName(before);
}

TEST_F(ConsoleWindows, ComSetupIsAFixedSizeDialog) {
    sio->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sio));
    EXPECT_EQ(sio->minimumSize(), sio->maximumSize());
    EXPECT_EQ(sio->size(), sio->minimumSize());
    EXPECT_TRUE(sio->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    // A long device path does not make it grow: the box scrolls instead.
    const QSize fixed = sio->size();
    vxtest::child<QLineEdit>(sio, "edDevicePath")->setText(QString(300, 'x'));
    QApplication::processEvents();
    EXPECT_EQ(sio->size(), fixed);
}

// ---- Shut-down and exceptions ----------------------------------------------------------------

TEST_F(ConsoleWindows, ClosingTheMainWindowStopsTheLinkBeforeAnyWindowGoes) {
    startOnPty(0);
    io->show();
    main->close();
    EXPECT_FALSE(link.running());
    EXPECT_FALSE(main->isVisible());
    // The windows created at start-up are still there (the program ends after this).
    EXPECT_EQ(windows->find(vx::WindowId::TsioForm), sio);
    EXPECT_EQ(windows->find(vx::WindowId::TfrmIoReplay), io);
    EXPECT_EQ(vx::sendQuery(console->sink(), 0x21, 0x01), -1);
}

TEST(ConsoleApplicationGuard, AnExceptionFromAnEventHandlerIsShownAndTheLoopGoesOn) {
    std::vector<QString> shown;
    msg::setInterceptor([&](msg::Kind, const QString& title, const QString& text) {
        shown.push_back(title + ": " + text);
    });
    // A timer slot that throws, delivered the way the application delivers every event.
    int calls = 0;
    QTimer t;
    QObject::connect(&t, &QTimer::timeout, [&] {
        ++calls;
        if (calls == 1) throw std::runtime_error("disk on fire");
        if (calls == 2) throw 42;
    });
    for (int i = 0; i < 3; ++i) {
        t.start(1000);
        QTimerEvent tick(t.timerId());
        const bool handled =
            ConsoleApplication::guarded([&] { return QCoreApplication::sendEvent(&t, &tick); });
        EXPECT_EQ(handled, i == 2) << i;
    }
    msg::setInterceptor(nullptr);
    EXPECT_EQ(calls, 3); // the third tick ran normally
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Ornivex: disk on fire");
    EXPECT_EQ(shown[1], "Ornivex: "); // an exception of no known type: empty message
}

} // namespace
