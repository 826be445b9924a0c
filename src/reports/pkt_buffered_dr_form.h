// "Buffered Cumulative DR Data (3003)": the current position and heading, their accuracies,
// the validity flags and the twenty buffered delta-distance and delta-heading samples. Showing
// the window or "Query" asks for one; no acknowledgement reaches it.
#pragma once

#include "console/report_view_form.h"
#include "reports/dr_views.h"

class TpktBufferedDr : public ReportViewForm {
    Q_OBJECT
public:
    explicit TpktBufferedDr(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::bufferedDrSpec(), parent) {
        showReplies<vx::BufferedDrRecord>(vx::showBufferedDr);
    }
};
