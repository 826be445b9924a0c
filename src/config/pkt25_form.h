// "Kalman Filter Parameters (0x25)": the 23 tuning parameters of the GPS Kalman filter, one
// subcode each. Showing the window queries all of them.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt25Form : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt25Form(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::kalmanDialog(), parent) {}
};
