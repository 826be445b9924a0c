// "Raw Data": the received bytes before any deframing, one line per chunk of the serial link's
// raw tap: every byte in hexadecimal, or (with "Show Text/NMEA") the chunk as text, for
// receivers that send text lines. Pause stops the display, Log copies every shown line into a
// text file (CR LF line ends), Clear empties the view. The check box also tells the link how to
// cut the stream: at each 0x82 (a frame per line), or at each CR LF (a text line per line).
//
// The tap runs on the receive worker: it formats the line, writes it to the log file (one
// lock, the file's) and queues it for the view; it never waits for the GUI. Once per GUI tick
// the view takes the queued lines in one append and keeps the newest kMaxLines lines. Laying
// out a line of text costs the GUI thread tens of microseconds, and a replay at full speed
// brings a hundred thousand chunks a second, far more than anyone can read: a tick shows at
// most kMaxLinesPerTick lines, the newest, and says in one line how many it left out ("... 1234
// lines not shown ..."). A live receiver never comes near that rate; the log file gets every
// line at any rate, and the queue is bounded by the same per-tick limit.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "app/data_log.h"
#include "console/console_qt.h"
#include "link/serial_link.h"

#include <QWidget>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class TrawDataForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TrawDataForm(Console& console, QWidget* parent = nullptr);
    ~TrawDataForm() override;

    // The view keeps at least this many of the newest lines.
    static constexpr int kMaxLines = 10000;
    // How often queued lines go into the view, and the most lines one tick shows.
    static constexpr int kTickMs = 50;
    static constexpr int kMaxLinesPerTick = 200;

    bool paused() const { return paused_.load(); }
    // "... 1234 lines not shown ..." (the line a tick shows for the lines it left out).
    static QString notShownLine(uint64_t lines);
    bool logging() const { return logging_.load(); }

public slots:
    void closeButtonClick();
    void clearButtonClick();
    void logButtonClick();
    void pauseButtonClick();
    void CheckBox0Click();
    // Moves the queued lines into the view (once per tick while shown).
    void showQueuedLines();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Closing the window ends logging (a window hidden otherwise keeps its file open).
    bool closeRequested() override;

private:
    class Tap : public vx::RawTap {
    public:
        explicit Tap(TrawDataForm& form) : form_(form) {}
        void rawChunk(const uint8_t* bytes, size_t count, uint8_t secondByte) override;

    private:
        TrawDataForm& form_;
    };

    // On the receive worker.
    void showRawChunk(const uint8_t* bytes, size_t count);
    void stopLogging();

    Console& console_;
    Tap tap_{*this};

    QPlainTextEdit* rawDataWin_;
    QPushButton* closeButton_;
    QPushButton* clearButton_;
    QPushButton* logButton_;
    QPushButton* pauseButton_;
    QCheckBox* textCheck_;
    QTimer* tick_;

    // Read by the tap on the worker.
    std::atomic<bool> showing_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> logging_{false};
    std::atomic<bool> text_{false};
    vx::LogFile log_;

    std::mutex queueMu_;
    std::deque<std::string> queue_; // lines not shown yet, the newest kMaxLinesPerTick
    uint64_t notShown_ = 0;         // lines dropped from the queue since the last tick
    std::string line_;              // the worker's line being built
};
