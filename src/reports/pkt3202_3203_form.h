// "Constellation/Time Summaries (3202, 3203)": the constellation summary and the time summary,
// each in its group with its own Query button and LED under one response timer. Showing the
// window queries 3202, then 3203.
#pragma once

#include "console/report_view_form.h"
#include "reports/constellation_views.h"

class Tpkt3202_3203Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt3202_3203Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt3202_3203Spec(), parent) {
        showReplies<vx::ConstellationSummaryRecord>(vx::showConstellationSummary);
        showReplies<vx::TimeSummaryRecord>(vx::showTimeSummary);
    }
};
