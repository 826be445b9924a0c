// "Diagnostics" (hidden internal menu, "Device Flash Configuration"): writes the receiver's
// factory data into its flash through the monitor (product information, hardware ID, customer
// data blocks) and runs the monitor's ROM and RAM tests.
//
// While the window is shown it owns the link (SerialLink::claim): the receiver is held in its
// monitor with the receive worker paused, every other sender is refused and the main window's
// menus are disabled. Showing it starts monitoring first when nothing is monitored (COM
// Setup's port), then pauses the link; with a replay file chosen it refuses with an "Error"
// box and hides again. Closing it restarts the receiver, resumes the link, runs Stop Monitor
// and Start Monitor and gives the link back.
//
// Each sequence (forcing the monitor, a write with its daemon start, a test, the restart) runs
// on the window's worker thread with the buttons disabled; their status texts and LEDs reach
// the window as queued calls. Every field is checked before anything is sent
// (device_config.h).
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "flash/device_config.h"
#include "flash/monitor_worker_qt.h"

#include <QWidget>

#include <functional>
#include <memory>

class Lamp;
class Panel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TdiagForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TdiagForm(Console& console, QWidget* parent = nullptr);
    ~TdiagForm() override;

    // Tests talk to a simulated receiver on simulated time.
    void setMonitorLinkFactory(MonitorLinkFactory factory) { linkFactory_ = std::move(factory); }
    // True while the window holds the link (from showing until the restart after closing).
    bool holdsLink() const { return claim_ != nullptr; }
    // True while a sequence runs on the worker.
    bool busy() const { return worker_->running(); }

    static constexpr int kMemoChars = 1000;

public slots:
    void FormShow();
    void closeButtonClick();
    void setButtonClick();
    void hwIdSetButtonClick();
    void customerDataSetButtonClick();
    void romTestButtonClick();
    void ramTestButtomClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool closeRequested() override;

private:
    // Runs job on the worker with the buttons disabled; done (GUI thread) afterwards.
    void run(std::function<void(vx::MonitorLink&)> job, std::function<void()> done = {});
    void setBusy(bool busy);
    void refuse(const QString& text);
    void showError(const vx::InputError& e);
    void runTest(Lamp* lamp, bool (*test)(vx::MonitorLink&));

    Console& console_;
    RouteBinding routes_;
    MonitorLinkFactory linkFactory_ = serialMonitorLinkFactory();
    MonitorWorker* worker_;
    std::unique_ptr<vx::LinkClaim> claim_;
    std::unique_ptr<vx::MonitorLink> monitorLink_;

    QLineEdit* serialNumberEdit_;   // "seriNumWin"
    QLineEdit* productNameEdit_;    // "prodNameWin"
    QLineEdit* productDateEdit_;    // "prodDateWin"
    QPushButton* productSetButton_; // "setButton"
    QLineEdit* hardwareIdEdit_;     // "hwIdWin"
    QPushButton* hardwareIdButton_; // "hwIdSet"
    QLineEdit* blockEdit_;          // "setWin"
    QPlainTextEdit* dataMemo_;      // "byteMemo"
    QPushButton* customerButton_;   // "CustomerDataSet"
    QPushButton* romTestButton_;    // "romTestButton"
    Lamp* romTestLamp_;             // "romTestStatus"
    QPushButton* ramTestButton_;    // "ramTestButtom"
    Lamp* ramTestLamp_;             // "ramTestStatus"
    Panel* statusPanel_;            // "statusWin"
    QPushButton* closeButton_;      // "closeButton"
};
