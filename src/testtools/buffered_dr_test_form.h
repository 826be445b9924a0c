// "Buffered DR Test" (hidden menu): resets the receiver (Hot Reset), logs every 3002 for the
// test's duration from the first one that comes a second after the reset, then asks for the
// buffered DR report 3003 and writes one CSV: the metres per radian at the 3003's position,
// its summary and the logged 3002 lines (testtools/buffered_dr_log).
//
// The duration is checked before any file is touched; the files are closed on every way out.
// Only the 3003 that comes after the test's own query ends the test. The 3002 and 3003 reach
// the window while it logs (its running flag), on the GUI thread, where the file writes happen.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "testtools/buffered_dr_log.h"

class Lamp;
class Panel;
class QLineEdit;
class QPushButton;
class QTimer;

class TbufferedDrForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TbufferedDrForm(Console& console, QWidget* parent = nullptr);

    bool logging() const { return logging_; }
    uint32_t count() const { return count_; }

public slots:
    void fileButtonClick();
    void startButtonClick();
    void stopButtonClick();
    void startTimerTimer();
    void testTimerTimer();
    void blipTimerTimer();

private:
    void takeDrData(const vx::DrDataRecord& r);
    void takeBufferedDr(const vx::BufferedDrRecord& r);
    // Back to idle with this status; the files closed.
    void endTest(const QString& status);

    RouteBinding routes_;
    QLineEdit* logFileWin_;
    QPushButton* fileButton_;
    QLineEdit* durationWin_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    Panel* statusWin_;
    Lamp* rxLED_;
    QTimer* testTimer_;
    QTimer* blipTimer_;
    QTimer* startTimer_;

    vx::BufferedDrLog log_;
    uint32_t count_ = 0;
    uint32_t durationMs_ = 0;
    bool logging_ = false;
    bool queried_ = false; // the test's 3003 query has gone out
};
