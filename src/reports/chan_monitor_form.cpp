#include "reports/chan_monitor_form.h"

#include "link/catalogue.h"
#include "widgets/text_memo_qt.h"

#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr uint8_t kKalmanQueries = 23;

} // namespace

Tfrm12ChanMon::Tfrm12ChanMon(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::Tfrm12ChanMon, this) {
    auto* layout = new QVBoxLayout(this);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName("Splitter1");
    mmInfo_ = new TextMemo(splitter_);
    mmInfo_->setObjectName("mmInfo");
    mmInfo_->setAccessibleName("Channels");
    mmProf_ = new TextMemo(splitter_);
    mmProf_->setObjectName("mmProf");
    mmProf_->setAccessibleName("Tasks and drift");
    splitter_->addWidget(mmInfo_);
    splitter_->addWidget(mmProf_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 2);
    layout->addWidget(splitter_, 1);

    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");
    auto* row = new QHBoxLayout(panel);
    btnClear_ = new QPushButton("Clear", panel);
    btnClear_->setObjectName("btnClear");
    btnClose_ = new QPushButton("Close", panel);
    btnClose_->setObjectName("btnClose");
    cbInfo_ = new QCheckBox("Info", panel);
    cbInfo_->setObjectName("cbInfo");
    btnGenerateBadInterrupt_ = new QPushButton("Gen Bad Int", panel);
    btnGenerateBadInterrupt_->setObjectName("btnGenerateBadInterrupt");
    seTimerInterval_ = new QSpinBox(panel);
    seTimerInterval_->setObjectName("seTimerInterval");
    seTimerInterval_->setRange(10, 1000);
    seTimerInterval_->setSingleStep(10);
    seTimerInterval_->setValue(100);
    seTimerInterval_->setSuffix(" ms");
    seTimerInterval_->setAccessibleName("Request interval");
    cbSendRequests_ = new QCheckBox("Send requests", panel);
    cbSendRequests_->setObjectName("cbSendRequests");
    btnGenerateCocom_ = new QPushButton("Gen Cocom", panel);
    btnGenerateCocom_->setObjectName("btnGenerateCocom");
    for (QWidget* w :
         std::initializer_list<QWidget*>{btnClear_, btnClose_, cbInfo_, btnGenerateBadInterrupt_,
                                         seTimerInterval_, cbSendRequests_, btnGenerateCocom_})
        row->addWidget(w);
    row->addStretch();
    layout->addWidget(panel);

    tmrSendRequest_ = new QTimer(this);
    tmrSendRequest_->setObjectName("tmrSendRequest");
    tmrSendRequest_->setInterval(seTimerInterval_->value());

    for (const vx::ScriptStep& s : vx::queryRangeScript(0x25, kKalmanQueries))
        batch_.insert(batch_.end(), s.frame.begin(), s.frame.end());

    connect(btnClear_, &QPushButton::clicked, this, &Tfrm12ChanMon::btnClearClick);
    connect(btnClose_, &QPushButton::clicked, this, &QWidget::close);
    connect(btnGenerateBadInterrupt_, &QPushButton::clicked, this,
            &Tfrm12ChanMon::btnGenerateBadInterruptClick);
    connect(btnGenerateCocom_, &QPushButton::clicked, this, &Tfrm12ChanMon::btnGenerateCocomClick);
    connect(seTimerInterval_, &QSpinBox::valueChanged, tmrSendRequest_,
            [this](int ms) { tmrSendRequest_->setInterval(ms); });
    connect(cbSendRequests_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            tmrSendRequest_->start();
        else
            tmrSendRequest_->stop();
    });
    connect(tmrSendRequest_, &QTimer::timeout, this, &Tfrm12ChanMon::tmrSendRequestTimer);

    routes_.on(vx::HandlerRole::Reply,
               [this](const vx::Delivery& d, const vx::RouteStep&) { take(d); });
    resize(900, 500);
}

Tfrm12ChanMon::~Tfrm12ChanMon() = default;

void Tfrm12ChanMon::take(const vx::Delivery& d) {
    if (const auto* c = d.recordAs<vx::ChannelStatusRecord>()) {
        if (!cbInfo_->isChecked()) return;
        if (c->channel == 0) mmInfo_->clear();
        mmInfo_->append(vx::channelMonitorLine(*c));
    } else if (const auto* t = d.recordAs<vx::TaskUsageRecord>()) {
        const QString stamp =
            QLocale().toString(QDateTime::currentDateTime().date(), QLocale::ShortFormat) + ' ' +
            QLocale().toString(QDateTime::currentDateTime().time(), QLocale::LongFormat);
        mmProf_->append(tasks_.block(*t, stamp.toStdString()));
    } else if (const auto* r = d.recordAs<vx::DriftRecord>()) {
        if (mmProf_->empty()) mmProf_->append(vx::kDriftHeader);
        mmProf_->append(vx::driftLine(*r));
    }
}

bool Tfrm12ChanMon::closeRequested() {
    cbSendRequests_->setChecked(false);
    return true;
}

void Tfrm12ChanMon::btnClearClick() {
    mmInfo_->clear();
    mmProf_->clear();
}

void Tfrm12ChanMon::btnGenerateBadInterruptClick() {
    vx::sendCommand(routes_.console().sink(), 0x01, 0x70, 0x17, vx::kNoIndex);
    mmInfo_->append("Sent generate bad interrupt command");
}

void Tfrm12ChanMon::btnGenerateCocomClick() {
    vx::sendCommand(routes_.console().sink(), 0x01, 0x70, 0x18, vx::kNoIndex);
    mmInfo_->append("Sent generate cocom event command");
}

void Tfrm12ChanMon::tmrSendRequestTimer() {
    // A batch still being written: skip this tick rather than queue another behind it.
    if (!writer_.post(routes_.console().sink(), batch_)) ++skipped_;
}
