// The repeated reset test (hidden internal menu): sends one kind of reset, waits for the
// receiver's start-up report, waits a set time more, and resets again, counting requests,
// acknowledgements and start-up reports, optionally up to a maximum number of requests. The
// status line shows how long ago the last reset went out and the countdown to the next; it
// turns red when no start-up report came for the wait time plus ten seconds.
//
// The test's logic is RepeatedResetTest (reset_tests.h); the window's 100 ms clock drives it.
// The start-up reports and System acknowledgements reach it while it is shown.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "testtools/reset_tests.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>

class Panel;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

class TRepeatedResetTestForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TRepeatedResetTestForm(Console& console, QWidget* parent = nullptr);

    const vx::RepeatedResetTest& test() const { return test_; }

public slots:
    void btnStartClick();
    void btnStopClick();
    void tmrSendNextTimer();

protected:
    // Closing the window stops the test.
    bool closeRequested() override;

private:
    int selectedItem() const;
    void sendReset();
    void showCounts();
    int64_t nowMs() const { return clock_.elapsed(); }

    RouteBinding routes_;
    Panel* pnlSent_;
    Panel* pnlAcks_;
    Panel* pnlStartups_;
    QSpinBox* seMaxReqs_;
    QSpinBox* seWait_;
    QGroupBox* rgResetType_;
    std::array<QRadioButton*, 5> resetTypes_{};
    QPushButton* btnStart_;
    QPushButton* btnStop_;
    QLabel* lblStatus_;
    QTimer* tmrSendNext_;

    vx::RepeatedResetTest test_;
    QElapsedTimer clock_;
};
