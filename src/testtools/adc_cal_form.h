// "AdcCalParamsForm" (hidden menu "Adc Calibration Parameters..."): prints the receiver's ADC
// calibration diagnostics while shown: each 700E's calibration level and values (Memo3), each
// 700F series' first 200 samples (Memo1) with their average, or its byte samples (Memo2). A new
// series flips "cbFloats" when "cbToggle" is checked. The texts are Qt-free
// (testtools/adc_cal_lines).
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "testtools/adc_cal_lines.h"

class QCheckBox;
class QPushButton;
class TextMemo;

class TAdcCalParamsForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TAdcCalParamsForm(Console& console, QWidget* parent = nullptr);

    const vx::AdcSampleSeries& series() const { return series_; }

public slots:
    void btnClearClick();
    void btnClear2Click();

private:
    void take(const vx::Delivery& d);

    RouteBinding routes_;
    TextMemo* memo1_;
    TextMemo* memo2_;
    TextMemo* memo3_;
    QPushButton* btnClear_;
    QPushButton* btnClear2_;
    QCheckBox* cbFloats_;
    QCheckBox* cbToggle_;
    vx::AdcSampleSeries series_;
};
