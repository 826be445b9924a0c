// "Diagnostic Message Output (707F)": which 0x70 diagnostic messages the receiver emits, one
// check box per subcode the console offers ("0x70-00" .. "0x70-20") and "Check All". Showing
// the window queries the mask; Set sends the boxes' bits, every subcode without a box as 0.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt707FForm : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt707FForm(Console& console, QWidget* parent = nullptr)
        : SettingsForm(console, vx::diagOutputDialog(), parent) {}
};
