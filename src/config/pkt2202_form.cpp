#include "config/pkt2202_form.h"

#include "config/nmea_output.h"
#include "console/field_text.h"
#include "link/catalogue.h"
#include "widgets/lamp_qt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr uint8_t kCode = 0x22;
constexpr uint8_t kSub = 0x02;

Lamp* led(QWidget* parent, const char* name) {
    auto* l = new Lamp(parent, QuerySetForm::kLedSize);
    l->setObjectName(name);
    return l;
}
} // namespace

Tpkt2202Form::Tpkt2202Form(Console& console, QWidget* parent)
    : QuerySetForm(console, vx::WindowId::Tpkt2202Form, parent) {
    auto* group = new QGroupBox("Messages to Output", this);
    group->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(group);
    for (size_t i = 0; i < boxes_.size(); ++i) {
        boxes_[i] = new QCheckBox(vx::kNmeaMessages[i].caption, group);
        boxes_[i]->setObjectName(vx::kNmeaMessages[i].name);
        grid->addWidget(boxes_[i], int(i) % 3, int(i) / 3);
    }
    intervalWin_ = new QLineEdit(this);
    intervalWin_->setObjectName("intervalWin");
    intervalWin_->setMaximumWidth(60);
    auto* intervalLabel = new QLabel("Interval (1 to 255; 0: FastFix):", this);
    intervalLabel->setBuddy(intervalWin_);
    auto* interval = new QHBoxLayout;
    interval->addWidget(intervalLabel);
    interval->addWidget(intervalWin_);
    interval->addStretch();

    auto* queryButton = new QPushButton("Query", this);
    queryButton->setObjectName("queryButton");
    auto* setButton = new QPushButton("Set", this);
    setButton->setObjectName("setButton");
    auto* closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    Lamp* queryLED = led(this, "queryLED");
    Lamp* setLED = led(this, "setLED");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(queryLED);
    buttons->addWidget(queryButton);
    buttons->addWidget(setLED);
    buttons->addWidget(setButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(interval);
    layout->addLayout(buttons);

    query_ = &addRequest(queryLED);
    set_ = &addRequest(setLED);
    connect(queryButton, &QPushButton::clicked, this, &Tpkt2202Form::queryButtonClick);
    connect(setButton, &QPushButton::clicked, this, &Tpkt2202Form::setButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    // 7022 reaches the reply handler too, but carries no record of this kind: it is skipped.
    onReply<vx::NmeaControlRecord>([this](const vx::NmeaControlRecord& r, const vx::Routed&) {
        query_->answer();
        for (size_t i = 0; i < boxes_.size(); ++i)
            boxes_[i]->setChecked((r.message_mask & vx::kNmeaMessages[i].bit) != 0);
        intervalWin_->setText(QString::number(r.interval));
    });
    onQueryAck([this](const vx::AckRecord& a) {
        if (a.acked_code != kCode || a.acked_subcode != kSub) return;
        if (a.result != 0) {
            query_->refuse(0);
        } else {
            query_->settle(0);
        }
    });
    onSetAck([this](const vx::AckRecord& a) {
        if (a.acked_code != kCode || a.acked_subcode != kSub) return;
        if (a.result == 0) {
            set_->answer();
        } else {
            set_->refuse(0);
        }
    });
}

void Tpkt2202Form::queryButtonClick() {
    beginRequest(*query_, Keys::one(), {set_});
    send([](vx::FrameSink& s) { return vx::sendQuery(s, kCode, kSub); });
}

void Tpkt2202Form::setButtonClick() {
    uint32_t mask = 0;
    for (size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i]->isChecked()) mask |= vx::kNmeaMessages[i].bit;
    beginRequest(*set_, Keys::one(), {query_});
    const std::optional<int64_t> interval = vx::parseInteger(intervalWin_->text().toStdString());
    if (!interval || *interval < 0 || *interval > 255) return; // red at the time-out
    const uint8_t value = uint8_t(*interval);
    send([value, mask](vx::FrameSink& s) { return vx::setNmeaOutput(s, value, mask); });
}
