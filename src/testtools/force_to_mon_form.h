// "Force to Monitor Response Tester" (hidden internal menu): alternates "Force to Monitor
// (0303)" with the monitor command "Restart Receiver" a given number of times, with a pause
// after each, and counts the acknowledgements of the force command. A restart after which the
// receiver sends no DR data report (3002) before the next force stops the test with "Receiver
// not responding.".
//
// The sequence is ForceToMonitorTest (reset_tests.h); the two pause timers drive it. Their
// slots are public, so a test can end a pause without waiting it out.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "testtools/reset_tests.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QTimer;

class TforceToMonForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TforceToMonForm(Console& console, QWidget* parent = nullptr);

    const vx::ForceToMonitorTest& test() const { return test_; }

public slots:
    void startButtonClick();
    void stopButtonClick();
    void closeButtonClick();
    void forceRestartTimerTimer();
    void restartForceTimerTimer();

protected:
private:
    void sendForce();
    void endTest();
    void startPause(QTimer* timer);
    void showCounts();
    bool sent(int result);

    RouteBinding routes_;
    QLineEdit* numForcesWin_;
    QLineEdit* forceRestartWin_;
    QLineEdit* restartForceWin_;
    QLineEdit* successfulForcesWin_;
    QLineEdit* correctResponsesWin_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QPushButton* closeButton_;
    QTimer* forceRestartTimer_;
    QTimer* restartForceTimer_;

    int32_t forces_ = 0, forceRestartMs_ = 0, restartForceMs_ = 0;
    vx::ForceToMonitorTest test_;
};
