// "DR Engine Rate (2101)": queries and sets the dead-reckoning engine rate (5 or 10 Hz),
// code 0x21 subcode 0x01. Showing the window queries the receiver.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt2101Form : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt2101Form(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::engineRateDialog(), parent) {}
};
