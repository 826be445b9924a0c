#include "config/pkt2101_form.h"

#include "app/catalogue.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr uint8_t kCode = 0x21;
constexpr uint8_t kSubcode = 0x01;
} // namespace

Tpkt2101Form::Tpkt2101Form(Console& console, QWidget* parent)
    : QuerySetForm(console, vx::WindowId::Tpkt2101Form, parent) {
    Label1 = new QLabel("DR Engine Rate:", this);
    DR_CB = new QComboBox(this);
    DR_CB->setObjectName("DR_CB");
    DR_CB->addItems({"5 Hz", "10 Hz"});
    DR_CB->setCurrentIndex(-1);
    queryButton = new QPushButton("Query", this);
    queryButton->setObjectName("queryButton");
    queryLED = new Lamp(this, kLedSize);
    queryLED->setObjectName("queryLED");
    setButton = new QPushButton("Set", this);
    setButton->setObjectName("setButton");
    setLED = new Lamp(this, kLedSize);
    setLED->setObjectName("setLED");
    closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(DR_CB, 0, 1, 1, 2);
    grid->addWidget(queryButton, 1, 0);
    grid->addWidget(queryLED, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(setButton, 2, 0);
    grid->addWidget(setLED, 2, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(closeButton, 3, 2);

    connect(queryButton, &QPushButton::clicked, this, &Tpkt2101Form::queryButtonClick);
    connect(setButton, &QPushButton::clicked, this, &Tpkt2101Form::setButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &Tpkt2101Form::closeButtonClick);

    query_ = &addRequest(queryLED);
    set_ = &addRequest(setLED);

    onReply<vx::EngineRateRecord>(
        [this](const vx::EngineRateRecord& r, const vx::Routed&) { showRate(r.rate()); });
    onQueryAck([this](const vx::AckRecord& a) {
        if (a.acked_code != kCode || a.acked_subcode != kSubcode) return;
        // A refusal paints the LED red; an acceptance leaves it to the reply.
        if (a.result != 0) query_->reject();
        query_->cancel();
    });
    onSetAck([this](const vx::AckRecord& a) {
        if (a.acked_code != kCode || a.acked_subcode != kSubcode) return;
        set_->finish(a.result == 0);
    });
}

int Tpkt2101Form::itemForRate(uint8_t rate) {
    int item = rate / 5 - 1;
    return item == 0 || item == 1 ? item : -1;
}

void Tpkt2101Form::showRate(uint8_t rate) {
    query_->finish(true);
    DR_CB->setCurrentIndex(itemForRate(rate));
}

void Tpkt2101Form::FormShow() {
    queryButtonClick();
}

void Tpkt2101Form::queryButtonClick() {
    beginRequest(*query_, Keys::one(), {set_});
    send([](vx::FrameSink& sink) { return vx::sendQuery(sink, kCode, kSubcode); });
}

void Tpkt2101Form::setButtonClick() {
    int item = DR_CB->currentIndex();
    if (item < 0) {
        msg::show(this, msg::Kind::Error, "Error", "No DR Engine Rate selected.");
        return;
    }
    auto rate = uint8_t((item + 1) * 5);
    beginRequest(*set_, Keys::one(), {query_});
    send([rate](vx::FrameSink& sink) { return vx::setDrEngineRate(sink, rate); });
}

void Tpkt2101Form::closeButtonClick() {
    close();
}
