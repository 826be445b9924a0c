#include "config/pkt36_form.h"

#include <QHBoxLayout>
#include <QPushButton>

Tpkt36Form::Tpkt36Form(Console& console, QWidget* parent)
    : SettingsForm(console, vx::drCalibrationDialog(), parent),
      pauseButton_(new QPushButton("Pause", this)) {
    pauseButton_->setObjectName("pauseButton");
    buttonRow()->insertWidget(1, pauseButton_);
    connect(pauseButton_, &QPushButton::clicked, this, &Tpkt36Form::pauseButtonClick);
}

void Tpkt36Form::pauseButtonClick() {
    paused_ = !paused_;
    pauseButton_->setText(paused_ ? "Resume" : "Pause");
}

bool Tpkt36Form::takesReply(const vx::ReplyMatch&) {
    // While paused only the answers to the window's own Queries get through.
    return !paused_ || anyQueryPending();
}
