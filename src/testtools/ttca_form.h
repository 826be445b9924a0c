// "TTCA Test" (hidden menu): clears the receiver's almanac (a cold reset, or empty almanac
// records uploaded without a reset), then watches the 3201 reports until one shows the almanac
// complete, logs the minutes it took and clears again, until "Stop".
//
// The clearing runs as a paced script from the window's trigger timer (never sleeping); the
// 3201 reports are ignored while it runs, and the time is measured on a monotonic clock from
// its end. The log and texts are Qt-free (testtools/ttca).
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "link/paced_script.h"
#include "testtools/ttca.h"

#include <QElapsedTimer>

#include <functional>

class Lamp;
class Panel;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

class TTtcaForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TTtcaForm(Console& console, QWidget* parent = nullptr);

    bool running() const { return running_; }
    bool triggering() const { return triggering_; }
    // Tests: the monotonic clock in milliseconds (the host's by default).
    void setClock(std::function<int64_t()> nowMs) { nowMs_ = std::move(nowMs); }
    QTimer* triggerTimer() const { return triggerTimer_; }

public slots:
    void file10ButtonClick();
    void startButtonClick();
    void stopButtonClick();
    // The trigger's pause is over: the next frames go out.
    void triggerTimerTimer();

private:
    void take(const vx::TimeConstellationRecord& r);
    void runTrigger();
    void pumpTrigger();
    void fail(const QString& text);

    RouteBinding routes_;
    QLineEdit* logFileWin_;
    QPushButton* file10Button_;
    QGroupBox* typeGroup_;
    QRadioButton* coldReset_;
    QRadioButton* clearAlmanac_;
    Panel* lastTtcaWin_;
    Panel* currentTimeWin_;
    Lamp* rxStatus_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QTimer* triggerTimer_;

    vx::TtcaLog log_;
    vx::ScriptCursor trigger_;
    bool running_ = false;
    bool triggering_ = false;
    bool rxOn_ = false;
    int64_t triggerMs_ = 0;
    QElapsedTimer clock_;
    std::function<int64_t()> nowMs_;
};
