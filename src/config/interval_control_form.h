// "Output Interval Control (2A, 2B, 2C, 2D)": for one output message (its code and subcode in
// hexadecimal) the event trigger (a mask of receiver events, one check box per named event) and
// the time, delta-distance and delta-heading interval triggers (minimum and maximum), each
// queried and set on its own. Showing the window sends nothing; a box that does not hold a
// number sends nothing, so the LED turns red at the time-out.
//
// The exception to its table: "Unknown Event Trigger" stands for the twelve bits that name no
// event, which a Set sends back as the last reply had them (config/event_trigger_mask.h).
#pragma once

#include "config/dialog_tables.h"
#include "config/event_trigger_mask.h"
#include "console/settings_form.h"

class QCheckBox;

class TintervalControlForm : public SettingsForm {
    Q_OBJECT
public:
    explicit TintervalControlForm(Console& console, QWidget* parent = nullptr);

    // The unnamed bits kept from the last event trigger reply.
    uint32_t keptUnnamedBits() const { return unnamed_.kept(); }

protected:
    void replied(const vx::ReplyMatch& m, const vx::FieldValues& values) override;
    bool completePacket(int group, const vx::PacketLayout& l, int key,
                        vx::FieldValues& values) override;

private:
    QCheckBox* unknowCheckBox_;
    vx::UnnamedEventBits unnamed_;
};
