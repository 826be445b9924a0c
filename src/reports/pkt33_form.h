// "GPS Channel Status (3301)": the twelve channel rows (SV, SNR, elevation, azimuth, the four
// tracking circles, almanac and ephemeris state). "Query" (and showing the window) asks for
// channels 0 to 11; every channel report shown while the window is visible fills its row.
// Rows 9 to 12 are blanked after 41 reports in a row for channels 0 to 7 (a receiver with
// eight channels), counted by this window alone.
#pragma once

#include "console/report_view_form.h"
#include "reports/constellation_views.h"

class Tpkt33Form : public ReportViewForm {
    Q_OBJECT
public:
    explicit Tpkt33Form(Console& console, QWidget* parent = nullptr)
        : ReportViewForm(console, vx::pkt33Spec(), parent) {
        showReplies<vx::ChannelStatusRecord>(
            [this](const vx::ChannelStatusRecord& r, vx::ViewUpdates& u) { rows_.show(r, u); });
    }
    // Reports for channels 0..7 since the last one for a channel above 7.
    uint32_t staleCount() const { return rows_.staleCount(); }

private:
    vx::ChannelStatusView rows_;
};
