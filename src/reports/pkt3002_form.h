// "Fast Fix with Raw DR Data (3002)": the fused position, heading and speed with their
// accuracies, validity and status flags and the raw gyro and tacho counts of each DR step, for
// every 3002 routed while the window is shown. Created the first time its menu item is used,
// destroyed at shut-down. Showing the window or "Query" asks for one.
#pragma once

#include "console/report_view_form.h"
#include "reports/dr_views.h"

class Tpkt3002Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt3002Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt3002Spec(), parent) {
        showReplies<vx::DrDataRecord>(vx::showDrData);
    }
};
