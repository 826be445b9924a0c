// "Time, Pos, Alt, Freq, Heading Initializations (2901-2905)": the receiver's initialization
// data of code 0x29, subcodes 0x01 to 0x05, one group box each with its own Query and Set;
// "Query All" (also on showing) queries the five. A Set button is disabled while its source
// shows "GPS Fix". Created on first use.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt29Form : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt29Form(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::initDialog(), parent) {}
};
