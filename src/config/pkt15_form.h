// "Customer Data Blocks (0x15)": the block typed in viewEdit (hexadecimal 0x01..0x7F) is
// queried and its bytes shown eight to a line. Showing the window sends nothing; a block the
// receiver does not have says "Data not available.".
#pragma once

#include "config/info_views.h"
#include "console/report_view_form.h"

class Tpkt15Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt15Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt15Spec(), parent) {
        showReplies<vx::CustomerDataRecord>(vx::showCustomerData);
    }
};
