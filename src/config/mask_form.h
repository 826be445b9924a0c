// "GPS Configuration (0x24)": the receiver's GPS navigation settings, one subcode each:
// operating dimension, DGPS mode, dynamics code and five masks. Showing the window queries all
// eight; the Set frames go out 50 ms apart.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class TmaskForm : public SettingsForm {
    Q_OBJECT
public:
    explicit TmaskForm(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::gpsConfigDialog(), parent) {}
};
