// The console hub end to end: bytes on a pseudo-terminal reach the windows' handlers on the
// GUI thread, in routing-table order, while the windows are visible.
#include "console/console_qt.h"
#include "link/catalogue.h"
#include "support/console_fixture_qt.h"
#include "support/hex.h"
#include "support/pty.h"

#include <QApplication>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

using vxtest::bytes;
using vxtest::Pty;
using vxtest::pumpUntil;

namespace {

vx::LinkSettings ptySettings(vx::ComSlots& comMap, const Pty& pty, uint8_t index) {
    comMap.setPath(index, pty.slavePath());
    vx::LinkSettings s;
    s.portIndex = index;
    return s;
}

TEST(Console, ReportsReachVisibleWindowsOnTheGuiThreadInTableOrder) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    vx::ComSlots comMap;
    vx::SerialLink link(comMap);
    Console console(link);

    QWidget mainWin, plot, dialog;
    console.registerWindow(vx::WindowId::TmainForm, &mainWin);
    console.registerWindow(vx::WindowId::TheadingPlotForm, &plot);
    console.registerWindow(vx::WindowId::Tpkt2101Form, &dialog);
    mainWin.show();
    plot.show(); // the 2101 dialog stays hidden: its reply is dropped

    std::vector<std::string> calls;
    auto record = [&](const char* name) {
        return [&calls, name](const vx::Delivery& d, const vx::RouteStep&) {
            EXPECT_EQ(QThread::currentThread(), QApplication::instance()->thread());
            calls.push_back(std::string(name) + ":" + vxtest::hex(d.frame.data() + 1, 2));
        };
    };
    auto& h = console.handlers();
    h.set(vx::WindowId::TmainForm, vx::HandlerRole::FastFix, record("main"));
    h.set(vx::WindowId::TheadingPlotForm, vx::HandlerRole::Reply, record("plot"));
    h.set(vx::WindowId::Tpkt2101Form, vx::HandlerRole::Reply, record("2101"));
    h.set(vx::WindowId::TmainForm, vx::HandlerRole::StartupStatus, record("startup"));

    ASSERT_EQ(console.startMonitor(ptySettings(comMap, pty, 4)), 0)
        << console.lastError().toStdString();
    pty.write(bytes("81 21 01 0A D1 82")); // to the hidden 2101 dialog: dropped
    pty.write(vxtest::frame(0x30, 0x02, std::vector<uint8_t>(46, 0)));
    pty.write(bytes("81 12 01 00 00 00 01 E9 82")); // 1201 reaches the main window always
    ASSERT_TRUE(pumpUntil([&] { return calls.size() >= 3; })) << calls.size();
    EXPECT_EQ(calls, (std::vector<std::string>{"main:30 02", "plot:30 02", "startup:12 01"}));
    EXPECT_TRUE(console.flags().rxSeen.load());

    // Sending goes out whole on the wire and is announced for the TX lamp.
    int sent = 0;
    QObject::connect(&console, &Console::frameSent, [&] { ++sent; });
    EXPECT_EQ(vx::sendQuery(console.sink(), 0x21, 0x01), 0);
    EXPECT_EQ(vxtest::hex(pty.read(6)), "81 02 21 01 D9 82");
    EXPECT_TRUE(pumpUntil([&] { return sent == 1; }));

    EXPECT_EQ(console.stopMonitor(), 0);
    EXPECT_FALSE(console.monitoring());
    EXPECT_EQ(vx::sendQuery(console.sink(), 0x21, 0x01), -1);
}

TEST(Console, FailedStartGivesAReadableReason) {
    vx::ComSlots comMap;
    comMap.setPath(2, "/dev/ornivex-no-such-port");
    vx::SerialLink link(comMap);
    Console console(link);
    vx::LinkSettings s;
    s.portIndex = 2;
    EXPECT_EQ(console.startMonitor(s), -1);
    EXPECT_TRUE(console.lastError().contains("COM3")) << console.lastError().toStdString();
    EXPECT_FALSE(console.monitoring());
}

TEST(Console, WindowsCreatedOnFirstUseAreSkippedUntilRegistered) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    vx::ComSlots comMap;
    vx::SerialLink link(comMap);
    Console console(link);
    int calls = 0;
    console.handlers().set(vx::WindowId::Tpkt3002Form, vx::HandlerRole::Reply,
                           [&](const vx::Delivery&, const vx::RouteStep&) { ++calls; });
    ASSERT_EQ(console.startMonitor(ptySettings(comMap, pty, 5)), 0);
    auto send3002 = [&] { pty.write(vxtest::frame(0x30, 0x02, std::vector<uint8_t>(46, 0))); };
    send3002();
    ASSERT_TRUE(pumpUntil([&] { return console.delivered() >= 1; }));
    EXPECT_EQ(calls, 0);
    QWidget w;
    console.registerWindow(vx::WindowId::Tpkt3002Form, &w);
    w.show();
    send3002();
    ASSERT_TRUE(pumpUntil([&] { return calls == 1; }));
    console.stopMonitor();
}

} // namespace
