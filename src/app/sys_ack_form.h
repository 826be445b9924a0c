// "System Command Ack": pops up for each acknowledgement of a System command (Hot Reset, Cold
// Reset, ...) with the command's name and the result; a successful command's window closes by
// itself after 5 seconds ("Auto Close"), a failed one stays until closed.
//
// The acknowledgement is only noted when it arrives; everything visible happens in the 100 ms
// tick, so a second acknowledgement within one tick replaces the first before it is shown.
// The window pops up without taking the keyboard from the window the user is typing in, and
// sits in the bottom-left corner of the work area: placed whenever it is shown or changes
// size, with its frame, so that its bottom edge is the work area's.
#pragma once

#include "console/console_qt.h"

#include "widgets/console_dialog_qt.h"

#include <cstdint>

class QCheckBox;
class QLabel;
class Console;
class QPushButton;
class QTimer;

class TSysAckForm : public ConsoleDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 100;
    static constexpr int32_t kCloseTicks = 50; // 5 s of ticks

    explicit TSysAckForm(Console& console, QWidget* parent = nullptr);
    ~TSysAckForm() override;

    // A System acknowledgement: the acknowledged command code and the result. Only stored.
    void noteSysAck(uint8_t code, uint8_t result);

    bool sysAckPending() const { return sysAckPending_ != 0; }
    bool autoCloseAllowed() const { return autoCloseAllowed_ != 0; }
    int32_t closeCountdown() const { return closeCountdown_; }

    // Puts the window's left edge on the work area's left edge and its bottom edge (title bar
    // and frame included) on the work area's bottom edge.
    void placeBottomLeft();

public slots:
    void tmrTickTimer();
    void cbAutoCloseClick();
    void btnCloseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showSysAck();

    RouteBinding routes_;

    uint8_t sysAckPending_ = 0;
    uint8_t sysAckCode_ = 0;
    uint8_t sysAckResult_ = 0;
    uint8_t autoCloseAllowed_ = 1;
    int32_t closeCountdown_ = kCloseTicks;
    bool placing_ = false;

    QLabel* commandLabel_;      // "lblCommand": "0301 Hot Reset", background by command
    QLabel* statusLabel_;       // "lblStatus": "00 === SUCCESS ===", lime or red
    QLabel* closeCounterLabel_; // "lblCloseCounter": 5, 4, 3, 2, 1 while closing by itself
    QCheckBox* autoCloseBox_;   // "cbAutoClose": "Auto Close", ticked at start
    QPushButton* closeButton_;  // "btnClose"
    QTimer* tickTimer_;         // "tmrTick": 100 ms, always running
};
