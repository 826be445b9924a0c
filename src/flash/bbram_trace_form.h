// "Bbram Activity Trace" (hidden internal menu, "BBRAM Trace..."): lists the receiver's BBRAM
// activity reports (700C: store, check, checkout of its saved structures), filtered by
// structure. Reports arrive whether or not the window is shown; it keeps the newest 300 rows.
// Closing it hides it; the rows are kept.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "flash/trace_texts.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QPushButton;
class QTableView;
class RowModel;

class TBbramTraceForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TBbramTraceForm(Console& console, QWidget* parent = nullptr);

    const RowModel& rows() const { return *model_; }

public slots:
    void btnClearClick();
    void cbAllAutoClick();
    void cbAllUserClick();

private:
    void activity(const vx::BbramActivityRecord& r);

    RouteBinding routes_;
    RowModel* model_;
    QTableView* table_;          // "lvBbram"
    QCheckBox* enabledCheck_;    // "cbEnabled"
    QCheckBox* autoscrollCheck_; // "cbAutoscroll"
    QPushButton* clearButton_;   // "btnClear"
    // The structures' boxes, in the order of kBbramStructures ("cbKfc", ...).
    std::array<QCheckBox*, vx::kBbramStructureCount> structureChecks_{};
    QCheckBox* allAutoCheck_; // "cbAllAuto"
    QCheckBox* allUserCheck_; // "cbAllUser"
};
