// Window tests of the whole console: a Console on its own serial link and COM slot map, the
// windows of the catalogue created in their start-up order, message boxes taken instead of
// shown, and a pseudo-terminal that plays the receiver on a COM slot.
//
//     TEST_F(ConsoleWindows, Something) {
//         startOnPty(0);                       // COM1 is the pty; Start Monitor
//         receive(0x30, 0x02, payload);        // the receiver sends a 3002
//         ASSERT_TRUE(waitDelivered(1));       // ... and the GUI thread has run its handlers
//         EXPECT_EQ(panel("latWin")->text(), ...);
//     }
//
// End-to-end tests run against the simulated receiver on a pseudo-terminal. Its clock is
// stepped: it answers every command at once, and the test moves its time on where time must
// pass (reports, restarts):
//
//     TEST_F(ConsoleOnSimulatedReceiver, Something) {
//         startSimulatedReceiver();            // COM1 is the simulator; it has reported
//         menuItem("GPS Configuration (0x24)...")->trigger();
//         ...
//         sim->advance(2000);                  // two more seconds of reports, sent at once
//     }
//
// Widgets are found by their object names: child<QComboBox>(sio, "comBox").
#pragma once

#include "app/io_replay_form.h"
#include "app/main_form.h"
#include "app/sio_form.h"
#include "console/console_qt.h"
#include "link/framing.h"
#include "program/window_catalogue_qt.h"
#include "sim/sim_runner.h"
#include "support/pty.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vxtest {

// The child of parent with this object name and type. A missing one ends the test with the
// name (an exception the test reports), never a null pointer.
template <class T> T* child(const QObject* parent, const QString& name) {
    T* found = parent ? parent->findChild<T*>(name) : nullptr;
    if (!found) throw std::runtime_error("no widget named " + name.toStdString());
    return found;
}

// Runs the event loop until cond holds or a generous timeout passes; returns cond().
inline bool pumpUntil(const std::function<bool()>& cond, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs) return cond();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// One VEXOR frame as the receiver sends it: 0x81, code, subcode, escaped payload, checksum,
// 0x82.
inline std::vector<uint8_t> frame(uint8_t code, uint8_t sub, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> buf(2 * payload.size() + 16);
    vx::PacketEncoder e(buf.data(), buf.size());
    e.startFrame(code, sub);
    for (uint8_t b : payload) e.addByte(b);
    e.finishFrame();
    buf.resize(e.position());
    return buf;
}

// A console on a link that is never started, for window tests that feed their windows by hand.
struct OfflineConsole {
    vx::ComSlots comMap;
    vx::SerialLink link{comMap};
    Console console{link};
};

struct Message {
    msg::Kind kind;
    QString title, text;
};

class ConsoleWindows : public ::testing::Test {
protected:
    void SetUp() override {
        msg::setInterceptor([this](msg::Kind k, const QString& title, const QString& text) {
            messages.push_back({k, title, text});
        });
        console = std::make_unique<Console>(link);
        createWindows(WindowOptions{});
    }
    void TearDown() override {
        if (sim) {
            console->stopMonitor();
            sim->stop();
            sim.reset();
        }
        windows.reset();
        console.reset();
        msg::setInterceptor(nullptr);
    }

    void createWindows(WindowOptions options) {
        windows.reset();
        windows = std::make_unique<WindowSet>(*console, comMap, windowCatalogue(), options);
        windows->createStartupWindows();
        main = windows->find<TmainForm>(vx::WindowId::TmainForm);
        sio = windows->find<TsioForm>(vx::WindowId::TsioForm);
        io = windows->find<TfrmIoReplay>(vx::WindowId::TfrmIoReplay);
        ASSERT_NE(main, nullptr);
        ASSERT_NE(sio, nullptr);
        // Timers are driven by hand in the tests.
        timer("blipTimer")->stop();
        main->show();
    }

    // Maps COM slot index to the pty and starts monitoring it through the main window.
    void startOnPty(int index) {
        ASSERT_TRUE(pty.ok());
        comMap.setPath(uint8_t(index), pty.slavePath());
        main->switchSource(index);
        ASSERT_TRUE(main->monitoring()) << console->lastError().toStdString();
        timer("runningTimer")->stop();
    }

    // A receiver whose clock moves only by sim->advance().
    static vx::sim::SimRunnerOptions steppedReceiver() {
        vx::sim::SimRunnerOptions o;
        o.speed = 0;
        return o;
    }

    // Starts the simulated receiver on a pseudo-terminal, maps COM1 to it, monitors COM1
    // through the main window and then powers the receiver on (its clock moves past its
    // start-up at once, whatever its speed). With waitForReport, returns once the console has
    // run the start-up report.
    void startSimulatedReceiver(const vx::sim::SimRunnerOptions& options = steppedReceiver(),
                                bool waitForReport = true) {
        sim = std::make_unique<vx::sim::SimRunner>(options);
        ASSERT_TRUE(sim->startOnPty(&simPath)) << sim->error();
        comMap.setPath(0, simPath);
        main->switchSource(0);
        ASSERT_TRUE(main->monitoring()) << console->lastError().toStdString();
        ASSERT_TRUE(sim->advance(vx::sim::SimReceiver::restartMs()));
        if (waitForReport) {
            ASSERT_TRUE(pumpUntil([&] { return console->delivered() > 0; }, 30000));
        }
    }

    // The menu bar's item with this caption (accelerator ampersands included), or an exception
    // naming it.
    QAction* menuItem(const QString& caption) const {
        for (QAction* a : main->findChildren<QAction*>())
            if (a->text() == caption) return a;
        throw std::runtime_error("no menu item " + caption.toStdString());
    }

    // The main window's widgets by object name.
    Panel* panel(const QString& name) const { return child<Panel>(main, name); }
    // A satellite row's panel: panel("svWin", 0) is "svWin1".
    Panel* panel(const QString& prefix, int row) const {
        return panel(prefix + QString::number(row + 1));
    }
    // The source panel of index 0..31 (COM1..COM32) or 32 (the replay file, "comWin0").
    Panel* sourcePanel(int index) const {
        return panel(index == TmainForm::kReplayIndex ? QString("comWin0")
                                                      : "comWin" + QString::number(index + 1));
    }
    Lamp* lamp(const QString& name) const { return child<Lamp>(main, name); }
    QAction* action(const QString& name) const { return child<QAction>(main, name); }
    QMenu* menu(const QString& name) const { return child<QMenu>(main, name); }
    QTimer* timer(const QString& name) const { return child<QTimer>(main, name); }
    QString statusMessage() const { return main->statusBar()->currentMessage(); }

    void receive(uint8_t code, uint8_t sub, const std::vector<uint8_t>& payload) {
        pty.write(frame(code, sub, payload));
    }

    // Waits until n more deliveries than at the last call ran on the GUI thread.
    bool waitDelivered(uint64_t n) {
        const uint64_t target = seen_ + n;
        bool ok = pumpUntil([&] { return console->delivered() >= target; });
        seen_ = console->delivered();
        return ok;
    }

    vx::ComSlots comMap;
    vx::SerialLink link{comMap};
    std::unique_ptr<Console> console;
    std::unique_ptr<WindowSet> windows;
    TmainForm* main = nullptr;
    TsioForm* sio = nullptr;
    TfrmIoReplay* io = nullptr;
    Pty pty;
    std::unique_ptr<vx::sim::SimRunner> sim; // startSimulatedReceiver()
    std::string simPath;                     // its pseudo-terminal
    std::vector<Message> messages;

private:
    uint64_t seen_ = 0;
};

// The console against the simulated receiver (startSimulatedReceiver()): the end-to-end tests.
class ConsoleOnSimulatedReceiver : public ConsoleWindows {};

} // namespace vxtest
