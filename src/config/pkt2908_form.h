// "Tacho Data (2908)": queries and sets the tacho data the host feeds the receiver (validity
// flags, reverse switch, time tags, pulse count). Showing the window queries the receiver.
// Created on first use.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt2908Form : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt2908Form(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::tachoDialog(), parent) {}
};
