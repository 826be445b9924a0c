// "Time and Const. Summary (3201)": UTC date and time, DOPs and the GPS status of every 3201
// the receiver sends while the window is shown. Showing the window or "Query" asks for one.
#pragma once

#include "console/report_view_form.h"
#include "reports/constellation_views.h"

class Tpkt32Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt32Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt32Spec(), parent) {
        showReplies<vx::TimeConstellationRecord>(vx::showTimeConstellation);
    }
};
