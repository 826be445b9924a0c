// "DR Filter Configuration (0x27)": the 76 parameters of the dead-reckoning filter on six tab
// pages, each page with its own Query, Set and LED pair. Showing the window sends nothing.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt27Form : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt27Form(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::drFilterDialog(), parent) {}
};
