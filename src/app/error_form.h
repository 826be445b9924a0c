// "Error Window": one line per frame the receive loop refused, the 20-character error text
// followed by the frame's bytes ("Checksum Error:     81 21 01 0A 00 82 ").
//
// A corrupt replay can refuse hundreds of thousands of frames: lines are collected per batch
// of deliveries and appended to the memo in one piece, and the memo is a plain-text view that
// lays out only what is on screen. The memo keeps at least the newest kMaxLines lines (about
// 100 MB with typical lines) and drops older ones in chunks: a wrong baud rate left running
// overnight, or a long corrupt file replayed at full speed, would otherwise grow it until the
// machine runs out of memory. When older lines have been dropped, a line under the memo says
// how many.
//
// The main window shows this window while its errorPending flag is 1 (a refused frame sets
// it, so does the menu item); closing the window clears the flag, so it stays hidden until the
// next refused frame.
#pragma once

#include "app/console_qt.h"

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <cstdint>

class Console;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class TerrorForm : public QWidget {
    Q_OBJECT
public:
    explicit TerrorForm(Console& console, QWidget* parent = nullptr);
    ~TerrorForm() override;

    // A refused frame: its bytes, the error code of the receive loop and the byte count.
    void showError(const uint8_t* bytes, int code, size_t count);

    // Appends the lines collected so far to the memo (otherwise done once per turn of the
    // event loop).
    void flush();
    // Lines received since the last Clear, collected ones included (dropped ones too).
    qsizetype lineCount() const { return lines_ + pendingLines_; }
    // Lines dropped from the top of the memo to keep it within its limit.
    qsizetype droppedLines() const { return dropped_; }

    // The memo holds at least this many of the newest lines, and at most a tenth more.
    static constexpr int kMaxLines = 250000;
    // Sets the limit (tests use small ones).
    void setMaxLines(int lines);
    int maxLines() const { return maxLines_; }

    QPlainTextEdit* errWin;
    QLabel* droppedLabel; // "1,234 older lines dropped."
    QPushButton* clearButton;
    QPushButton* closeButton;

public slots:
    void clearButtonClick();
    void closeButtonClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void trim();

    RouteBinding routes_;
    QString pending_;
    qsizetype pendingLines_ = 0;
    qsizetype lines_ = 0;
    qsizetype dropped_ = 0;
    int maxLines_ = kMaxLines;
    bool flushScheduled_ = false;
};
