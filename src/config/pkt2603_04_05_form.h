// "DPP Model (2603 - 2605)": the speed levels of the receiver's DPP model (maximum applicable
// speed, minimum and maximum calibration speeds), queried together on showing; one LED for the
// three.
#pragma once

#include "config/info_views.h"
#include "console/report_view_form.h"

class Tpkt2603_04_05Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt2603_04_05Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt2603_04_05Spec(), parent) {
        showReplies<vx::DppModelRecord>(vx::showDppModel);
    }
};
