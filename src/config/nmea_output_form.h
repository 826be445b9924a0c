// "NMEA Output" (Config > VEXOR->NMEA Output...): writes a GGA sentence to a second serial port
// on every 3201 while output is on, with the position of the latest 3002 (config/nmea_output).
// OK opens the chosen COM slot (COM 1..16, mapped as the main link's slots are, --com included)
// and turns output on; a port that cannot be opened says why and output stays off. "Off"
// closes the port; so does shut-down. The main window's menu item is checked while output is
// on. Sentences are written without ever waiting for the port: what its buffer cannot take is
// dropped and counted, and the status line shows both counts.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "config/nmea_output.h"
#include "console/console_qt.h"
#include "console/window_set_qt.h"
#include "link/com_slots.h"

#include <QPointer>

class QAction;
class QComboBox;
class QLabel;

class TNMEAOutputForm : public ConsoleDialog, public WindowPeers {
    Q_OBJECT
public:
    TNMEAOutputForm(Console& console, vx::ComSlots& slotMap, QWidget* parent = nullptr);
    // The port for tests (a port of their own); by default the termios port.
    TNMEAOutputForm(Console& console, vx::ComSlots& slotMap, std::unique_ptr<vx::SerialPort> port,
                    QWidget* parent = nullptr);
    ~TNMEAOutputForm() override;

    bool outputOn() const { return on_; }
    const vx::NmeaPortWriter& writer() const { return writer_; }

    void peersCreated(WindowSet& windows) override;

public slots:
    void okButtonClick();
    void cancelButtonClick() { hide(); }
    void offButtonClick();

private:
    void setOutput(bool on);
    void showStatus();
    void syncMenuItem();

    RouteBinding routes_;
    vx::ComSlots& slots_;
    vx::NmeaPortWriter writer_;
    vx::NmeaFeed feed_;
    bool on_ = false;
    int portNumber_ = 0; // 1..16 while on
    uint64_t shownWritten_ = ~uint64_t(0), shownDropped_ = 0;
    QComboBox* comBox_;
    QComboBox* baudBox_;
    QComboBox* parityBox_;
    QLabel* statusWin_;
    QPointer<QAction> menuItem_;
};
