// "Health Status and Start-Up Reports (1601, 1602)": sensor, antenna and oscillator health and
// the start-up report (BBRAM, self test, RTC, the reason of the previous shutdown). "Query"
// (and showing the window) asks for 1601 and then 1602; the LED turns green when both are in.
#pragma once

#include "console/report_view_form.h"
#include "reports/health_views.h"

class Tpkt1601_1602Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt1601_1602Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt1601_1602Spec(), parent) {
        showReplies<vx::HealthRecord>(vx::showHealth);
        showReplies<vx::StartupReportRecord>(vx::showStartupReport);
    }
};
