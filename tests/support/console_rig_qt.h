// Window tests through the real receive path without the rest of the console: a Console on a
// serial link whose port is a pseudo-terminal, the test playing the receiver on the master
// side, and only the windows the test creates. (ConsoleWindows in console_fixture_qt.h runs
// the whole console.)
//
//     ConsoleRig rig;                         // before the windows: they register with it
//     Tpkt2101Form form;
//     ASSERT_TRUE(rig.start());
//     form.show();                            // the window sends its Query
//     EXPECT_EQ(rig.sentHex(6), "81 02 21 01 D9 82");
//     rig.receive(0x21, 0x01, {0x0A});        // the receiver answers
//     ASSERT_TRUE(rig.pumpUntil([&] { return ...; }));
#pragma once

#include "console/console_qt.h"
#include "console/query_set_form.h"
#include "link/com_slots.h"
#include "link/framing.h"
#include "link/serial_link.h"
#include "support/console_fixture_qt.h"
#include "support/hex.h"
#include "support/pty.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace vxtest {

// Runs the event loop for about ms milliseconds (timers fire, deliveries run).
inline void pumpFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// Runs a window's paced script to its end without waiting out its pauses: each pause is ended
// by hand (scriptTimerTimer) once it is seen to be a precise one-shot timer, which never ends
// early when it runs by itself. Returns the pauses in milliseconds, in order.
inline std::vector<int> endPacedPauses(QuerySetForm& form) {
    std::vector<int> pauses;
    while (form.sending()) {
        QTimer* t = form.scriptTimer();
        EXPECT_TRUE(t->isActive() && t->isSingleShot() && t->timerType() == Qt::PreciseTimer);
        if (!t->isActive()) break;
        pauses.push_back(t->interval());
        form.scriptTimerTimer();
    }
    return pauses;
}

class ConsoleRig {
public:
    ConsoleRig() : link_(comMap_), console(link_) {}
    ~ConsoleRig() { console.stopMonitor(); }

    // Opens the pseudo-terminal as COM5 and starts the receive worker.
    bool start() {
        if (!pty.ok()) return false;
        comMap_.setPath(4, pty.slavePath());
        vx::LinkSettings s;
        s.portIndex = 4;
        return console.startMonitor(s) == 0;
    }

    // The receiver sends raw bytes, or one frame. The event loop runs while the terminal's
    // buffer is full: the console drains its deliveries on this same thread.
    void receiveBytes(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t w = ::write(pty.masterFd(), bytes.data() + done, bytes.size() - done);
            if (w > 0)
                done += size_t(w);
            else
                QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    void receive(uint8_t h1, uint8_t h2, const std::vector<uint8_t>& payload) {
        receiveBytes(frame(h1, h2, payload));
    }
    // An acknowledgement (code 0x10) of a Set (1), Query (2) or System (3) command.
    void ack(uint8_t command, const std::vector<uint8_t>& payload) {
        receive(0x10, command, payload);
    }

    // What the console sent: the next n bytes (waiting for them), or whatever is there now.
    std::string sentHex(size_t n) { return hex(pty.read(n)); }
    std::string sentNowHex() { return hex(pty.readAvailable()); }

    // Waits until the console has run at least n deliveries in all.
    bool waitDelivered(uint64_t n, int timeoutMs = 10000) {
        return pumpUntil([&] { return console.delivered() >= n; }, timeoutMs);
    }

    Pty pty;

private:
    vx::ComSlots comMap_;
    vx::SerialLink link_;

public:
    Console console;
};

} // namespace vxtest
