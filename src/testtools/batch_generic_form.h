// "Batch Generic Packets": a repeating stress sender. Up to five rows of bytes go out one after
// the other, a set time apart, batch after batch, for a set number of cycles; each row counts
// its packets sent, successful and error responses and missed responses, and shows the last
// response. The second tool of the window, "Count Occurrences in Log File", counts how often a
// packet occurs in a recorded byte file, a slice at a time from a timer so that a large file
// never freezes the window.
//
// The logic (rows, schedule, time remaining, response counting, the counter) is in
// batch_schedule.h and occurrence_counter.h; this window turns it into controls and timers.
// Frames are written through an AsyncWriter, so a slow port never holds the window: a send tick
// that comes while the previous frame is still being written is skipped (and counted in the
// status line); a frame the link refuses is taken back from "Packets Sent". Time-outs are
// injectable: setResponseTimeoutMs, and the timers' slots are public.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "link/async_writer.h"
#include "testtools/batch_schedule.h"
#include "testtools/occurrence_counter.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <memory>

class Lamp;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class TbatchGenericForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TbatchGenericForm(Console& console, QWidget* parent = nullptr);
    ~TbatchGenericForm() override;

    // Files larger than this show a progress bar while they are counted.
    static constexpr uint64_t kProgressFileBytes = 4u << 20;

    bool running() const { return running_; }
    const vx::BatchRowResponses& rowResponses(int row) const { return responses_[size_t(row)]; }
    // How long each send waits for its response (1000 ms unless a test shortens it).
    void setResponseTimeoutMs(int ms) { responseMs_ = ms; }
    bool counting() const { return scan_ != nullptr; }
    // Waits until the last frame handed to the writer has been written (tests, benchmarks).
    bool waitWritten(int ms) { return writer_.waitIdle(std::chrono::milliseconds(ms)); }
    uint64_t skippedTicks() const { return skipped_; }

public slots:
    void startButtonClick();
    void stopButtonClick();
    void closeButtonClick();
    void sendTimerTimer();
    void stopTimerTimer();
    // A row's response timer: its sends whose second is up count as "No response".
    void OnTimer(int row);
    void FileButtonClick();
    void countStartButtonClick();
    void countTimerTimer();

protected:
    void fixSizeOnFirstShow() override;

private:
    struct RowWidgets {
        QLineEdit* data;
        QLineEdit* resp;
        Lamp* led;
        QCheckBox* index;
        QCheckBox* text;
        QLineEdit* sent;
        QLineEdit* succ;
        QLineEdit* err;
        QLineEdit* miss;
        QTimer* timer;
    };

    void replyReceived(const vx::Delivery& d);
    void ackReceived(const vx::Delivery& d);
    void answered(int row, bool counted, uint8_t result);
    void armRowTimer(int row);
    void refreshResults();
    void showTimeRemaining();
    void beginStop();
    void showStatus();
    void endCount(const QString& error);
    void settleWrite();
    int64_t nowMs() const { return clock_.elapsed(); }

    RouteBinding routes_;

    QLineEdit* sendIntervalWin_;
    QLineEdit* batchIntervalWin_;
    QLineEdit* cyclesWin_;
    std::array<RowWidgets, vx::kBatchRows> rows_{};
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QPushButton* closeButton_;
    QLabel* timeLabel_;
    QLabel* statusLabel_;
    QLineEdit* codeWin_;
    QLineEdit* subcodeWin_;
    QLineEdit* indexWin_;
    QLineEdit* occurWin_;
    QLineEdit* logFileWin_;
    QPushButton* fileButton_;
    QPushButton* countStartButton_;
    QCheckBox* dataCB_;
    QLineEdit* byteWin_;
    QLineEdit* hexDataWin_;
    QLineEdit* lenWin_;
    QProgressBar* countProgress_;
    QTimer* sendTimer_;
    QTimer* stopTimer_;
    QTimer* countTimer_;

    // Test parameters: an empty box keeps the last value.
    int32_t sendInterval_ = 0, batchInterval_ = 0, cycles_ = 0;
    std::array<vx::BatchRow, vx::kBatchRows> batchRows_{};
    std::array<vx::BatchRowResponses, vx::kBatchRows> responses_{};
    vx::BatchSchedule schedule_;
    bool running_ = false;
    uint64_t notWritten_ = 0; // frames the link refused during this test
    uint64_t skipped_ = 0;    // send ticks (interval > 0) skipped while the port still wrote
    bool backingOff_ = false; // interval 0 with a write pending: looking again every 1 ms
    vx::AsyncWriter writer_;
    uint64_t failedSeen_ = 0; // writer_.burstsFailed() when last looked at
    int inFlightRow_ = -1;    // the row of the frame handed to the writer last
    int responseMs_ = vx::kBatchResponseMs;
    QElapsedTimer clock_;
    int64_t lastRefreshMs_ = -1'000'000;
    std::unique_ptr<vx::OccurrenceScan> scan_;
};
