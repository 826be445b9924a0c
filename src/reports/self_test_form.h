// "ADC and Gyro Self Test (3F01)": asks for the receiver's ADC and gyro self test on showing
// (and on "Query") and shows its result; the 3F01 report reaches it whether or not it is shown.
#pragma once

#include "console/report_view_form.h"
#include "reports/diag_lines.h"

class TselfTestForm : public ReportViewForm {
    Q_OBJECT
public:
    explicit TselfTestForm(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::selfTestSpec(), parent) {
        showReplies<vx::SelfTestRecord>(vx::showSelfTest);
    }
};
