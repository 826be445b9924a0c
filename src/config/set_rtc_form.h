// "Set RTC": the receiver's real-time clock (week and time of week in ms), read and written as
// the 2901 packet whose status byte is 0xFF. Showing the window sends nothing; the clock's
// acknowledgements reach the window even while it is hidden.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class TsetRtcForm : public SettingsForm {
    Q_OBJECT
public:
    explicit TsetRtcForm(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::rtcDialog(), parent) {}
};
