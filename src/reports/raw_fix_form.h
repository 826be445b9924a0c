// "GpsRawPositionForm" (hidden menu "Raw GPS Fixes..."): the navigation engine's raw fix
// (7002 with a fix, 7009 without) in panels, its state variables and the channel tables
// (7010, 7011) in one memo, the receiver's debug text (7012) in the other. The fix panel shows
// "Fix" or "No Fix" on white and takes its colour (dark green or grey) 100 ms later. The texts
// are Qt-free (reports/diag_lines).
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "reports/diag_lines.h"

#include <QColor>

#include <array>

class Panel;
class QPushButton;
class QTimer;
class TextMemo;

class TGpsRawPositionForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TGpsRawPositionForm(Console& console, QWidget* parent = nullptr);

public slots:
    void tmrFixColorTimer();
    void btnClearClick();
    void Button1Click();

private:
    void take(const vx::Delivery& d, const vx::RouteStep& s);

    RouteBinding routes_;
    std::array<Panel*, vx::kRawFixPanels> panels_{};
    std::array<Panel*, 16> dop_{};
    Panel* pnlFixOrNoFix_;
    TextMemo* memo1_;
    TextMemo* memo2_;
    QPushButton* button1_;
    QPushButton* btnClear_;
    QTimer* tmrFixColor_;
    QColor fixColour_ = Qt::white;
};
