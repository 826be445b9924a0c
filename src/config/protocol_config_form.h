// "Protocol Configuration" (Config > Protocol...): clears the receiver's flash and RAM, then
// configures it to output the default messages of VEXOR or NMEA (config/board_scripts).
#pragma once

#include "config/board_scripts.h"
#include "config/setup_script_form.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

class TForm_ProtocolConfig : public SetupScriptForm {
    Q_OBJECT
public:
    explicit TForm_ProtocolConfig(Console& console, QWidget* parent = nullptr)
        : SetupScriptForm(console, vx::WindowId::TForm_ProtocolConfig,
                          "Clicking the Configure button will clear Flash and RAM, then "
                          "configure the device to output the default messages of the "
                          "selected protocol.  All settings and calibration data will be lost.",
                          "Button_Config", "Configure", parent) {
        auto* group = new QGroupBox("Protocol", this);
        group->setObjectName("RadioGroup_Protocol");
        vexor_ = new QRadioButton("VEXOR", group);
        vexor_->setObjectName("vexorItem");
        vexor_->setChecked(true);
        auto* nmea = new QRadioButton("NMEA", group);
        nmea->setObjectName("nmeaItem");
        auto* column = new QVBoxLayout(group);
        column->addWidget(vexor_);
        column->addWidget(nmea);
        controls()->addWidget(group);
    }

protected:
    vx::PacedScript script() const override {
        return vx::protocolSetupScript(vexor_->isChecked() ? vx::DefaultProtocol::Vexor
                                                           : vx::DefaultProtocol::Nmea);
    }

private:
    QRadioButton* vexor_;
};
