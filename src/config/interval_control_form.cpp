#include "config/interval_control_form.h"

#include <QCheckBox>
#include <QGridLayout>

namespace {
constexpr int kEventGroup = 0;         // the event trigger's Query/Set pair
constexpr int kEventChecksSection = 1; // the box of the named events' check boxes
} // namespace

TintervalControlForm::TintervalControlForm(Console& console, QWidget* parent)
    : SettingsForm(console, vx::intervalControlDialog(), parent),
      unknowCheckBox_(new QCheckBox("Unknown Event Trigger", this)) {
    unknowCheckBox_->setObjectName("unknowCheckBox");
    if (QGridLayout* grid = sectionGrid(kEventChecksSection))
        grid->addWidget(unknowCheckBox_, grid->rowCount(), 0, 1, 3);
    // Only the user's clicks count as toggling: a reply sets the box without it.
    connect(unknowCheckBox_, &QCheckBox::clicked, this, [this] { unnamed_.toggled(); });
}

void TintervalControlForm::replied(const vx::ReplyMatch& m, const vx::FieldValues& values) {
    if (m.group != kEventGroup) return;
    const int mask = vx::kEventTriggerLayout.fieldIndex("event_mask");
    unknowCheckBox_->setChecked(unnamed_.received(uint32_t(values[size_t(mask)])));
}

bool TintervalControlForm::completePacket(int group, const vx::PacketLayout& l, int,
                                          vx::FieldValues& values) {
    if (group != kEventGroup) return true;
    const int mask = l.fieldIndex("event_mask");
    if (mask < 0) return false;
    double& v = values[size_t(mask)];
    v = double(uint32_t(v) | unnamed_.toSend(unknowCheckBox_->isChecked()));
    return true;
}
