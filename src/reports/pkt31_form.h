// "GPS Fix Message (3101)": the receiver's GPS fix report (time, fix source, position,
// heading, speed, their accuracies and validity flags), and its time-keeping debug message
// (frames with header byte 1 0x23, handed over undecoded while the window is shown), whose
// subcode 1 values "Log" writes to "TimeSource.csv".
//
// "Pause" stops the debug message from changing the window or the log ("Resume" lets it
// again); the fix report is shown either way. "Log" creates the file anew in the current
// directory and "Stop Logging" (or destroying the window) closes it; each line is flushed as
// it is written, with CR LF. A file that cannot be created or written is reported with its
// full path and the window stays (or goes back to) not logging. Closing the window leaves
// logging on, but nothing reaches a hidden window, so nothing is written meanwhile.
#pragma once

#include "console/report_view_form.h"
#include "reports/fix_views.h"

#include <string>

class QPushButton;

class Tpkt31Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt31Form(Console& console, QWidget* parent = nullptr);

    bool paused() const { return paused_; }
    bool logging() const { return log_.isOpen(); }
    // Where "Log" creates its file (by default TimeSource.csv in the current directory).
    std::string logPath() const;
    void setLogPath(const std::string& path) { logPath_ = path; }

public slots:
    void Button1Click(); // Pause / Resume
    void logButtonClick();
    void stopButtonClick();

private:
    void showDebugMessage(const vx::Delivery& d);
    void setLogging(bool on);

    bool paused_ = false;
    vx::TimeSourceLog log_;
    std::string logPath_;
    std::string openedPath_;
    std::string line_;
    QPushButton* pauseButton_;
    QPushButton* logButton_;
    QPushButton* stopButton_;
};
