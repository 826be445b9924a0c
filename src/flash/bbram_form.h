// "BBRAM save/load" (hidden internal menu, "Flash BBRAM..."): saves the BBRAM region of the
// receiver's RAM or flash (or the entire flash) into a raw image file, or uploads such a file
// into RAM or flash, through the receiver's monitor.
//
// The work is runBbramJob (bbram_job.h) on the window's worker thread. For its whole length the
// window owns the link (SerialLink::claim): every other sender is refused, the main window's
// menus are disabled and neither the main window nor this one closes. The options are read
// before the worker starts and stay disabled while it runs; status, progress and LED reach the
// window as queued calls. At the end the receiver has been restarted and the link resumed; the
// window then runs Stop Monitor and Start Monitor and gives the link back.
//
// Monitor work needs a receiver on a COM port: with nothing monitored, or a replay file, OK
// says so and starts nothing.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "flash/bbram_job.h"
#include "flash/monitor_worker_qt.h"

#include <QWidget>

#include <memory>

class Lamp;
class Panel;
class QCheckBox;
class QGroupBox;
class QProgressBar;
class QPushButton;
class QRadioButton;

class TBBRAM_Form : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TBBRAM_Form(Console& console, QWidget* parent = nullptr);
    ~TBBRAM_Form() override;

    // True from OK until the end of the operation (Stop and Start Monitor included).
    bool working() const { return working_; }
    // Tests talk to a simulated receiver on simulated time.
    void setMonitorLinkFactory(MonitorLinkFactory factory) { linkFactory_ = std::move(factory); }
    // The options as the next OK would read them.
    vx::BbramOptions options() const;

public slots:
    void okButtonClick();
    void closeButtonClick();
    void typeGroupClick();

protected:
    bool closeRequested() override;

private:
    void setWorking(bool working);
    void finished(const vx::BbramResult& result);

    Console& console_;
    RouteBinding routes_;
    MonitorLinkFactory linkFactory_ = serialMonitorLinkFactory();
    MonitorWorker* worker_;
    std::unique_ptr<vx::LinkClaim> claim_;
    std::unique_ptr<vx::MonitorLink> monitorLink_;
    vx::BbramOptions running_; // the options of the operation under way
    bool working_ = false;

    QGroupBox* operationGroup_; // "operationGroup"
    QRadioButton* saveRadio_;   // "Save BBRAM to File"
    QRadioButton* uploadRadio_; // "Upload BBRAM File to Receiver"
    QGroupBox* typeGroup_;      // "typeGroup"
    QRadioButton* flashRadio_;  // "FLASH"
    QRadioButton* ramRadio_;    // "RAM"
    QGroupBox* addrStartGroup_; // "addrStartGroup"
    QRadioButton* romBRadio_;   // "0x1800 (ROM B and later)"
    QRadioButton* beforeRomBRadio_;
    QCheckBox* entireFlashCheck_; // "entireFlashCB"
    QProgressBar* progressBar_;   // "progressBar"
    Panel* statusPanel_;          // "statusWin"
    Lamp* statusLamp_;            // "statusLED"
    QPushButton* okButton_;       // "okButton"
    QPushButton* closeButton_;    // "closeButton"
};
