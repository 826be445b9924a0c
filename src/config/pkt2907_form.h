// "Short Map-Match Data (2907)": queries and sets the map-matching result the host feeds the
// receiver (validity flags, time tag, position, altitude, heading and their accuracies).
// Showing the window queries the receiver. Created on first use.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt2907Form : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt2907Form(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::mapMatchDialog(), parent) {}
};
