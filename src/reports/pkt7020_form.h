// "Diagnostic Startup (7020)": the ROM checksum and the versions and dates of the nav, boot and
// I/O code. "Query" (and showing the window) empties the panels and asks for 7020; "Clear"
// empties them. No acknowledgement reaches this window: only the time-out paints it red.
#pragma once

#include "console/report_view_form.h"
#include "reports/health_views.h"

#include <QPushButton>

class Tpkt7020Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt7020Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt7020Spec(), parent) {
        // The decoder pads a short 7020 with zeros: the window reads only a whole one.
        showReplies<vx::DiagStartupRecord>(vx::showDiagStartup, vx::pkt7020::kPayload);
        connect(addButton("clearButton", "Clear"), &QPushButton::clicked, this,
                &Tpkt7020Form::clearButtonClick);
    }

public slots:
    void clearButtonClick() {
        scratch().clear();
        vx::clearDiagStartup(scratch());
        apply(scratch());
    }

protected:
    void beforeQuery(int) override { clearButtonClick(); }
};
