// "VexorTraceForm" (hidden internal menu, "Vexor Trace..."): lists the selected packets
// (12xx, 30xx, 31xx, 700F to 7013) the receiver sends while the window is shown, with a short
// decoding and their raw bytes. It keeps the newest 100,000 rows (the oldest go, and a note
// says how many) in a model the table view draws a screenful of at a time. Closing it hides
// it; the rows are kept.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "flash/trace_texts.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class RowModel;

class TVexorTraceForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TVexorTraceForm(Console& console, QWidget* parent = nullptr);

    const RowModel& rows() const { return *model_; }

public slots:
    void btnClearClick();

private:
    void trace(const vx::Delivery& d);
    void showDropped();

    RouteBinding routes_;
    RowModel* model_;
    QTableView* table_; // "lvTrace"
    // The packet boxes in the order of vx::TraceKind ("cb30", "cb31", "cb12", "cb700F", ...).
    std::array<QCheckBox*, vx::kTraceKindCount> kindChecks_{};
    QCheckBox* traceCheck_;      // "cbTrace"
    QCheckBox* autoscrollCheck_; // "cbAutoscroll"
    QPushButton* clearButton_;   // "btnClear"
    QLabel* droppedLabel_;       // "lblDropped"
};
