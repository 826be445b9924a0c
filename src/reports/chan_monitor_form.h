// "12 Channel Monitor" (hidden menu "12 ch monitor"): a log of the channel status reports
// (with "Info" checked), the receiver's task stack and message-buffer use (7015) and its clock
// drift samples (7016); buttons that make the receiver raise a bad interrupt (Set 7017) or a
// COCOM event (Set 7018); and "Send requests", which loads the receiver with the 23 Kalman
// filter queries (2501..2517) every interval.
//
// The queries go out through a writer thread of the window: while one batch is still being
// written the next tick is skipped (and counted), so a short interval on a slow port never
// queues batches or holds up the window. The texts are Qt-free (reports/diag_lines).
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "link/async_writer.h"
#include "reports/diag_lines.h"

class QCheckBox;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTimer;
class TextMemo;

class Tfrm12ChanMon : public ConsoleDialog {
    Q_OBJECT
public:
    explicit Tfrm12ChanMon(Console& console, QWidget* parent = nullptr);
    ~Tfrm12ChanMon() override;

    // Ticks skipped because the previous batch was still being written.
    uint64_t skippedTicks() const { return skipped_; }
    const vx::AsyncWriter& writer() const { return writer_; }

public slots:
    void btnClearClick();
    void btnGenerateBadInterruptClick();
    void btnGenerateCocomClick();
    void tmrSendRequestTimer();

protected:
    // Closing the window stops the requests: a hidden window does not load the receiver.
    bool closeRequested() override;

private:
    void take(const vx::Delivery& d);

    RouteBinding routes_;
    TextMemo* mmInfo_;
    TextMemo* mmProf_;
    QSplitter* splitter_;
    QCheckBox* cbInfo_;
    QCheckBox* cbSendRequests_;
    QSpinBox* seTimerInterval_;
    QPushButton* btnClear_;
    QPushButton* btnClose_;
    QPushButton* btnGenerateBadInterrupt_;
    QPushButton* btnGenerateCocom_;
    QTimer* tmrSendRequest_;
    vx::TaskUsageMonitor tasks_;
    std::vector<uint8_t> batch_; // the 23 queries, built once
    vx::AsyncWriter writer_;
    uint64_t skipped_ = 0;
};
