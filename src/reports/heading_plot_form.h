// "Heading Plot": the DR heading of each 3002 report as a green needle on a compass rose,
// north up and east right. The routing hands it every 3002 while it is shown; it paints the
// last heading when the window asks for it (update() is coalesced), scaled to the window.
#pragma once

#include "console/console_qt.h"
#include "widgets/console_dialog_qt.h"

#include <QPointF>

#include <optional>

class HeadingPlotCanvas;
class QPushButton;

class TheadingPlotForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TheadingPlotForm(Console& console, QWidget* parent = nullptr);
    ~TheadingPlotForm() override;

    // h in half-turns (heading x 2^-15): 0 north, 0.5 east.
    void plotHeading(double h);
    std::optional<double> heading() const { return heading_; }

    QWidget* plot() const;
    // The rose's centre and radius in the plot's pixels, and where the needle's tip is drawn.
    QPointF centre() const;
    double radius() const;
    QPointF needleTip() const;

public slots:
    void closeButtonClick();

private:
    friend class HeadingPlotCanvas;
    RouteBinding routes_;
    std::optional<double> heading_;
    HeadingPlotCanvas* canvas_;
    QPushButton* closeButton_;
};
