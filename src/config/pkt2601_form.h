// "Report and Sub Codes (2601, 2602)": the report codes the receiver can produce (queried on
// showing) and, for the code picked in the list, its subcodes ("Show Subcodes").
#pragma once

#include "config/info_views.h"
#include "console/report_view_form.h"

class Tpkt2601Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt2601Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt2601Spec(), parent) {
        showReplies<vx::ReportCodesRecord>(vx::showReportCodes);
        showReplies<vx::ReportSubcodesRecord>(vx::showReportSubcodes);
    }
};
