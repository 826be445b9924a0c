// The base of the two windows that reset the receiver and configure what it outputs by
// default (Protocol Configuration, the ZANT board set-up): an explanation, the status line and
// LED, the button that starts the script and "Close". The script runs from a timer (the
// window stays responsive for its six seconds) with the button disabled; the status shows its
// progress and ends "Configuration Complete..." in green only when every frame went out, or
// "Configuration Failed..." in red at the first frame the link refused.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "console/script_runner_qt.h"
#include "link/paced_script.h"

class Lamp;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

class SetupScriptForm : public ConsoleDialog {
    Q_OBJECT
public:
    ScriptRunner& runner() { return *runner_; }

public slots:
    void startClick();

protected:
    SetupScriptForm(Console& console, vx::WindowId id, const char* explanation,
                    const char* startButtonName, const char* startCaption, QWidget* parent);
    // The script to run, read from the window's controls when the button is clicked.
    virtual vx::PacedScript script() const = 0;
    // Where a window adds its own controls (between the explanation and the status).
    QVBoxLayout* controls() const { return controls_; }
    void clearStatus();

private:
    void stepSent(int sent, int total, bool ok);
    void finished(bool ok);

    RouteBinding routes_;
    QVBoxLayout* controls_;
    QLineEdit* statusWin_;
    Lamp* statusLED_;
    QPushButton* startButton_;
    ScriptRunner* runner_;
};
