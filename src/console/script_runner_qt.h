// Runs a paced script for a window from a timer: each step's frame goes out through the
// console's sink, and its pause is a one-shot timer, so the window stays responsive however
// long the script is. The runner tells the window of every step (for a progress text) and of
// the end: finished(true) only when every frame of the script was sent; the first frame that
// is refused (the link stopped, a write failed) ends the script at once with finished(false).
#pragma once

#include "console/console_qt.h"
#include "link/paced_script.h"

#include <QObject>
#include <QTimer>

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    explicit ScriptRunner(Console& console, QObject* parent = nullptr);

    // Sends the first steps now (up to the first pause). A script already running is
    // abandoned without a finished signal.
    void start(vx::PacedScript script);
    // Abandons the script: nothing more is sent, no finished signal.
    void cancel();
    bool running() const { return running_; }
    int sent() const { return int(cursor_.stepsSent()); }
    int total() const { return total_; }
    // The timer of the pause that is running ("scriptTimer"); tests fire it through
    // scriptTimerTimer().
    QTimer* timer() const { return timer_; }

public slots:
    void scriptTimerTimer();

signals:
    // A step went out (ok) or was refused; sent counts it.
    void stepSent(int sent, int total, bool ok);
    void finished(bool allSent);

private:
    void pump();
    void finish(bool ok);

    Console& console_;
    QTimer* timer_;
    vx::ScriptCursor cursor_;
    int total_ = 0;
    bool running_ = false;
};
