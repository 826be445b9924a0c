// "Configure ZANT Board Like a Standard DR Board" (hidden menu, ZANT): clears the receiver's
// flash and RAM, then configures a ZANT board to output the default VEXOR packets
// (config/board_scripts).
#pragma once

#include "config/board_scripts.h"
#include "config/setup_script_form.h"

#include <QShowEvent>

class TZANTconfiguratorForm : public SetupScriptForm {
    Q_OBJECT
public:
    explicit TZANTconfiguratorForm(Console& console, QWidget* parent = nullptr)
        : SetupScriptForm(console, vx::WindowId::TZANTconfiguratorForm,
                          "Clicking the OK button will clear Flash and RAM, then configure a "
                          "ZANT board to output the default VEXOR packets.",
                          "okButton", "OK", parent) {}

protected:
    vx::PacedScript script() const override { return vx::zantSetupScript(); }
    // Showing the window empties the status (unless the script is still running).
    void showEvent(QShowEvent* event) override {
        if (!event->spontaneous()) clearStatus();
        SetupScriptForm::showEvent(event);
    }
};
