// "Sky Plot": where the satellites of the twelve channels stand in the sky, one dot per channel
// labelled with its SV number, north up and east right, the zenith in the centre and the
// horizon on the outer circle (rings at 30 and 60 degrees of elevation). It is fed by the main
// window, which hands it each channel report while both windows are shown.
//
// The plot paints from the last dot of each channel when the window asks for it (update() is
// coalesced: a burst of reports costs one repaint), scales with the window and draws nothing
// outside the plot. Two check boxes, off at start: "Trail" draws each satellite's last
// positions fading behind it; "SNR colours" colours the dots by signal strength (green, yellow,
// red; thresholds in plot_geometry.h) instead of by tracking state.
#pragma once

#include "console/channel_record_view.h"
#include "console/console_qt.h"
#include "reports/plot_geometry.h"
#include "widgets/console_dialog_qt.h"

#include <QPointF>

#include <array>

class QCheckBox;
class QPushButton;
class SkyPlotCanvas;

class TskyPlotForm : public ConsoleDialog, public ChannelRecordView {
    Q_OBJECT
public:
    explicit TskyPlotForm(Console& console, QWidget* parent = nullptr);
    ~TskyPlotForm() override;

    // plotChannel: a channel report moves, recolours or hides its channel's dot.
    void showChannelRecord(const vx::ChannelStatusRecord& r) override { plotChannel(r); }
    void plotChannel(const vx::ChannelStatusRecord& r);

    // The last dot of a channel (0..11).
    const vx::SkyDot& dot(int channel) const { return dots_[size_t(channel)]; }
    const vx::SkyTrails& trails() const { return trails_; }
    bool trailShown() const;
    bool snrColours() const;
    // The plot and where it draws a point given in horizon radii (its centre is (0, 0)).
    QWidget* plot() const;
    QPointF toPlot(double x, double y) const;
    // The horizon circle's radius in the plot's pixels.
    double horizonRadius() const;

public slots:
    void closeButtonClick();

private:
    friend class SkyPlotCanvas;
    RouteBinding routes_;
    std::array<vx::SkyDot, 12> dots_{};
    vx::SkyTrails trails_;
    SkyPlotCanvas* canvas_;
    QCheckBox* trailCheck_;
    QCheckBox* snrCheck_;
    QPushButton* closeButton_;
};
