// "Io Replay": while monitoring, writes the receiver's internal I/O traffic reports (7013 IO to
// NAV, 7014 NAV to IO) to a text file in the working folder, one line per message, and shows
// the message counts and an activity lamp. The file is named at Start Monitor and created by
// the first report; Stop Monitor closes it.
//
// A file that cannot be created or written stops the capture with a message that says so
// ("Capture stopped; monitoring continues."); monitoring and the program go on, and the next
// Start Monitor tries a new file.
#pragma once

#include "console/console_qt.h"
#include "link/records.h"

#include "widgets/console_dialog_qt.h"
#include <QString>

#include <cstdio>
#include <ctime>
#include <functional>

class Lamp;
class QLabel;
class QLineEdit;
class QTimer;

class TfrmIoReplay : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TfrmIoReplay(Console& console, QWidget* parent = nullptr);
    ~TfrmIoReplay() override;

    // Start Monitor: enables the capture and names its file after the unit text, the local
    // time and the port. A unit text that would leave the working folder is refused with a
    // message and nothing is captured.
    void armCapture(int portIndex);
    // Stop Monitor (and creation): closes the file, enables the unit box, disables the capture,
    // zeroes the counts.
    void resetCapture();
    // The 7013 / 7014 handler (routed while the window is visible).
    void ioTraffic(const vx::IoTrafficRecord& r);

    bool captureEnabled() const { return enabled_; }
    bool fileOpen() const { return file_ != nullptr; }
    int ioToNavCount() const { return ioToNav_; }
    int navToIoCount() const { return navToIo_; }

    // The local time used in the file name; tests fix it.
    std::function<std::tm()> now;

    // The capture file's name ("" until Start Monitor).
    QString captureFileName() const;

public slots:
    void tmrActivityTimer();

private:
    RouteBinding routes_;
    void ledUnitEdited();
    void stopOnError(const QString& message);

    bool enabled_ = false;
    bool activity_ = false;
    std::FILE* file_ = nullptr;
    int ioToNav_ = 0;
    int navToIo_ = 0;
    int ioToNavSequence_ = -1;
    int navToIoSequence_ = -1;
    QString lastGoodUnit_ = "H01";

    // ---- Widgets (object names in quotes)
    QLabel* fileNameLabel_; // "lblIoReplayFilename", beside "Label1" "Io Replay File:"
    QLabel* ioToNavLabel_;  // "lblIoToNav", beside "Label2" "IO->NAV:"
    QLabel* navToIoLabel_;  // "lblNavToIo", beside "Label3" "NAV->IO:"
    QLineEdit* unitEdit_;   // "ledUnit": "Unit", "H01"
    Lamp* activityLamp_;    // "shpActivity"
    QTimer* activityTimer_; // "tmrActivity": 200 ms
};
