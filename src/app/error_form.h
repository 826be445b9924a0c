// "Error Window": one line per frame the receive loop refused, the 20-character error text
// followed by the frame's bytes ("Checksum Error:     81 21 01 0A 00 82 ").
//
// A corrupt replay can refuse millions of frames, and a wrong baud rate left running overnight
// does the same. The lines are kept in a LineStore (app/line_store.h): compact (a line costs
// its characters and 4 bytes), capped by size (32 MiB of text), the oldest dropped in blocks
// with a note under the memo ("1,234 older lines dropped."). The memo draws only the lines on
// screen, so the window's memory is the store's and falls back when it is cleared.
//
// The main window shows this window while its errorPending flag is 1 (a refused frame sets
// it, so does the menu item), without taking the keyboard from the window the user is typing
// in; closing the window clears the flag, so it stays hidden until the next refused frame.
#pragma once

#include "console/console_qt.h"
#include "widgets/line_store.h"

#include "widgets/console_dialog_qt.h"

#include <cstddef>
#include <cstdint>

class LineMemo;
class QLabel;
class QPushButton;

class TerrorForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TerrorForm(Console& console, QWidget* parent = nullptr);
    ~TerrorForm() override;

    // A refused frame: its bytes, the error code of the receive loop and the byte count.
    void showError(const uint8_t* bytes, int code, size_t count);

    // Brings the memo up to date with the lines stored so far (otherwise done once per turn
    // of the event loop).
    void flush();
    // Lines received since the last Clear, the dropped ones included.
    uint64_t lineCount() const { return store_.appended(); }
    // Lines dropped from the top to keep the text within its cap.
    uint64_t droppedLines() const { return store_.dropped(); }
    // Lines held, and the memory they take.
    size_t linesHeld() const { return store_.size(); }
    size_t memoryBytes() const { return store_.memoryBytes(); }

    // The cap of the text held and the size of the blocks dropped at a time (tests use small
    // ones). The newest lines held so far are kept as far as the new cap allows.
    void setLimits(size_t capBytes, size_t blockBytes = vx::LineStore::kDefaultBlockBytes);

public slots:
    void clearButtonClick();
    void closeButtonClick();

protected:
    // Closing clears the error flag (so the running timer does not show the window again).
    bool closeRequested() override;

private:
    RouteBinding routes_;
    vx::LineStore store_;
    bool flushScheduled_ = false;

    LineMemo* memo_;           // "errWin"
    QLabel* droppedLabel_;     // "droppedLabel": "1,234 older lines dropped."
    QPushButton* clearButton_; // "clearButton"
    QPushButton* closeButton_; // "closeButton"
};
