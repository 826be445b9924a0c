// "Receiver Configuration Profile": saves the receiver's configuration to a profile, verifies the
// receiver against one and applies one, for the three items of the Config menu ("Save Receiver
// Configuration...", "Verify Receiver Against Profile...", "Apply Profile to Receiver...").
//
// The exchanges are the Qt-free profile run (config/profile_run.h), fed by the window's routing
// steps (replies and acknowledgements of the configuration groups, gated on the window's running
// flag) and woken by one single-shot timer at the time the run asks for: the GUI thread never
// waits. The window shows the progress, then the verify table (profile value, receiver value,
// state) with its summary line, the refused and skipped entries, and saves the table as text.
// Nothing is applied before a confirmation that names the port and the number of fields.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "config/profile_run.h"
#include "console/console_qt.h"
#include "console/window_set_qt.h"
#include "link/com_slots.h"

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

class TprofileForm : public ConsoleDialog, public MenuPurpose {
    Q_OBJECT
public:
    TprofileForm(Console& console, vx::ComSlots& slotMap, QWidget* parent = nullptr);
    ~TprofileForm() override;

    void openedFor(MenuExtra item) override;

    // The three purposes, with the file already chosen (the menu items ask for it first).
    void saveTo(const QString& path);
    void verifyAgainst(const QString& path);
    void applyFrom(const QString& path);

    bool running() const { return run_ && !run_->finished(); }
    const vx::ProfileRun* run() const { return run_.get(); }
    // Tests move the clock the run's pauses and time-outs are measured on.
    void setClock(std::function<int64_t()> nowMs) { now_ = std::move(nowMs); }

public slots:
    void runTimerTimer();
    void stopButtonClick();
    void saveTableButtonClick();
    void closeButtonClick();

protected:
    bool closeRequested() override;

private:
    void start(std::unique_ptr<vx::ProfileRun> run, const QString& path);
    // After every delivery and tick: the next wake-up, the progress, the end.
    void advance();
    void finish();
    void showRows(const std::vector<vx::FieldCompare>& rows);
    std::optional<vx::Profile> readProfile(const QString& path);
    // Refuses (with a message) when no receiver's port is open; the port's text otherwise.
    std::optional<QString> receiverPort();

    RouteBinding routes_;
    vx::ComSlots& slots_;
    std::unique_ptr<vx::ProfileRun> run_;
    QString path_;
    QString port_;
    std::vector<vx::FieldCompare> rows_;
    std::function<int64_t()> now_;

    QLabel* statusLabel_;
    QProgressBar* progressBar_;
    QTableWidget* resultTable_;
    QLabel* summaryLabel_;
    QPlainTextEdit* messagesMemo_;
    QPushButton* stopButton_;
    QPushButton* saveTableButton_;
    QPushButton* closeButton_;
    QTimer* runTimer_;
};
