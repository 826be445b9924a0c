#include "testtools/repeated_reset_test_form.h"

#include "link/catalogue.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <utility>

TRepeatedResetTestForm::TRepeatedResetTestForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      routes_(console, vx::WindowId::TRepeatedResetTestForm, this) {
    clock_.start();
    auto panel = [&](const char* name) {
        auto* p = new Panel(this, "0");
        p->setObjectName(name);
        p->setMinimumWidth(70);
        return p;
    };
    pnlSent_ = panel("pnlSent");
    pnlAcks_ = panel("pnlAcks");
    pnlStartups_ = panel("pnlStartups");
    seMaxReqs_ = new QSpinBox(this);
    seMaxReqs_->setObjectName("seMaxReqs");
    seMaxReqs_->setRange(0, std::numeric_limits<int>::max());
    seMaxReqs_->setValue(0);
    seWait_ = new QSpinBox(this);
    seWait_->setObjectName("seWait");
    seWait_->setRange(0, 1000);
    seWait_->setSingleStep(5);
    seWait_->setValue(20);

    rgResetType_ = new QGroupBox("Reset Type", this);
    rgResetType_->setObjectName("rgResetType");
    auto* rl = new QVBoxLayout(rgResetType_);
    const char* items[] = {"0301 Hot", "0305 Warm", "0302 Cold", "0307 Clear Flash and Ram",
                           "0309 Graceful Shutdown"};
    for (size_t i = 0; i < resetTypes_.size(); ++i) {
        resetTypes_[i] = new QRadioButton(items[i], rgResetType_);
        resetTypes_[i]->setObjectName(QString("resetType%1").arg(i));
        rl->addWidget(resetTypes_[i]);
    }
    resetTypes_[0]->setChecked(true);

    btnStart_ = new QPushButton("Start", this);
    btnStart_->setObjectName("btnStart");
    btnStop_ = new QPushButton("Stop", this);
    btnStop_->setObjectName("btnStop");
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName("lblStatus");
    lblStatus_->setAutoFillBackground(true);
    lblStatus_->setMinimumWidth(260);
    lblStatus_->hide();

    // Each box with its caption on the right; assistive technology names it by the caption.
    auto* grid = new QGridLayout;
    int row = 0;
    for (auto [box, caption] : {std::pair<QWidget*, const char*>{pnlSent_, "Reset requests issued"},
                                {pnlAcks_, "Reset acks received"},
                                {pnlStartups_, "Start-up reports received"},
                                {seMaxReqs_, "Max reqs (0=no limit)"},
                                {seWait_, "Wait after startup (0.1s)"}}) {
        box->setAccessibleName(caption);
        grid->addWidget(box, row, 0);
        grid->addWidget(new QLabel(caption, this), row, 1);
        ++row;
    }
    auto* top = new QHBoxLayout;
    top->addLayout(grid);
    top->addWidget(rgResetType_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnStart_);
    buttons->addWidget(btnStop_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(lblStatus_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    tmrSendNext_ = new QTimer(this);
    tmrSendNext_->setObjectName("tmrSendNext");
    tmrSendNext_->setInterval(vx::RepeatedResetTest::kTickMs);

    connect(btnStart_, &QPushButton::clicked, this, &TRepeatedResetTestForm::btnStartClick);
    connect(btnStop_, &QPushButton::clicked, this, &TRepeatedResetTestForm::btnStopClick);
    connect(tmrSendNext_, &QTimer::timeout, this, &TRepeatedResetTestForm::tmrSendNextTimer);

    routes_.on(vx::HandlerRole::SystemAck, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (const auto* a = d.recordAs<vx::SysAckRecord>()) {
            test_.ack(a->acked_code, selectedItem());
            showCounts();
        }
    });
    // 1201: the start-up report (no data taken).
    routes_.on(vx::HandlerRole::Reply, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (d.h1 != 0x12 || d.h2 != 0x01) return;
        test_.startupReport(seWait_->value());
        showCounts();
    });
}

int TRepeatedResetTestForm::selectedItem() const {
    for (size_t i = 0; i < resetTypes_.size(); ++i)
        if (resetTypes_[i]->isChecked()) return int(i);
    return -1;
}

void TRepeatedResetTestForm::showCounts() {
    pnlSent_->setText(QString::number(test_.requests()));
    pnlAcks_->setText(QString::number(test_.acks()));
    pnlStartups_->setText(QString::number(test_.startups()));
}

void TRepeatedResetTestForm::sendReset() {
    int item = selectedItem();
    uint8_t code = vx::RepeatedResetTest::kResetCodes[size_t(item < 0 ? 0 : item)];
    if (vx::sendSystem(routes_.console().sink(), code) != 0) {
        // No reset went out, so no start-up report will come: the test cannot go on.
        test_.stop();
        tmrSendNext_->stop();
        lblStatus_->hide();
        showCounts();
        msg::notify(this, msg::Kind::Error, "Error",
                    "Reset not sent: the serial link is not running or the write failed. The "
                    "test is stopped.");
        return;
    }
    test_.resetSent(nowMs());
    showCounts();
}

void TRepeatedResetTestForm::btnStartClick() {
    test_.start();
    showCounts();
    tmrSendNext_->start();
    sendReset();
}

void TRepeatedResetTestForm::btnStopClick() {
    test_.stop();
}

void TRepeatedResetTestForm::tmrSendNextTimer() {
    vx::RepeatedResetTest::Tick t = test_.tick(nowMs(), seMaxReqs_->value(), seWait_->value());
    if (t.stopped) {
        tmrSendNext_->stop();
        lblStatus_->hide();
        return;
    }
    QPalette p = palette();
    p.setColor(QPalette::Window, t.late ? QColor(255, 0, 0) : Panel::faceColour());
    lblStatus_->setPalette(p);
    lblStatus_->setText(QString::fromStdString(t.status));
    lblStatus_->show();
    if (t.sendReset) sendReset();
}

bool TRepeatedResetTestForm::closeRequested() {
    test_.stop();
    return true;
}
