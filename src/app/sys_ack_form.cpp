#include "app/sys_ack_form.h"

#include "app/ack_texts.h"
#include "app/console_qt.h"
#include "widgets/lamp_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

TSysAckForm::TSysAckForm(Console& console, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint),
      routes_(console, vx::WindowId::TSysAckForm, this) {

    lblCommand = new QLabel(this);
    lblCommand->setObjectName("lblCommand");
    lblCommand->setAlignment(Qt::AlignCenter);
    lblCommand->setAutoFillBackground(true);
    lblCommand->setMinimumWidth(280);
    QFont big = lblCommand->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    lblCommand->setFont(big);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setFont(big);
    lblCloseCounter = new QLabel(this);
    lblCloseCounter->setObjectName("lblCloseCounter");
    lblCloseCounter->setMinimumWidth(24);
    cbAutoClose = new QCheckBox("Auto Close", this);
    cbAutoClose->setObjectName("cbAutoClose");
    cbAutoClose->setChecked(true);
    btnClose = new QPushButton("Close", this);
    btnClose->setObjectName("btnClose");

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cbAutoClose);
    bottom->addWidget(lblCloseCounter);
    bottom->addStretch();
    bottom->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCommand);
    layout->addWidget(lblStatus);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cbAutoClose, &QCheckBox::toggled, this, &TSysAckForm::cbAutoCloseClick);
    connect(btnClose, &QPushButton::clicked, this, &TSysAckForm::btnCloseClick);

    tmrTick = new QTimer(this);
    tmrTick->setObjectName("tmrTick");
    tmrTick->setInterval(kTickMs);
    connect(tmrTick, &QTimer::timeout, this, &TSysAckForm::tmrTickTimer);
    tmrTick->start();

    adjustSize();
    placeBottomLeft();

    routes_.on(vx::HandlerRole::SystemAck, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (const auto* a = d.recordAs<vx::SysAckRecord>()) noteSysAck(a->acked_code, a->result);
    });
}

TSysAckForm::~TSysAckForm() = default;

void TSysAckForm::placeBottomLeft() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    // frameGeometry includes the title bar once the window has been shown; before that it is
    // the client area, and the first showing corrects the position.
    const QRect frame = frameGeometry();
    move(area.left(), area.top() + area.height() - frame.height());
}

void TSysAckForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placedWithFrame_ && !event->spontaneous()) {
        placedWithFrame_ = true;
        placeBottomLeft();
    }
}

void TSysAckForm::noteSysAck(uint8_t code, uint8_t result) {
    sysAckCode_ = code;
    sysAckResult_ = result;
    sysAckPending_ = 1;
}

void TSysAckForm::tmrTickTimer() {
    if (sysAckPending_) {
        showSysAck();
        sysAckPending_ = 0;
        closeCountdown_ = kCloseTicks;
    }
    if (!isVisible()) return;
    if (!cbAutoClose->isChecked() || !autoCloseAllowed_) return;
    if (closeCountdown_ % 10 == 0) lblCloseCounter->setNum(int(closeCountdown_ / 10));
    --closeCountdown_;
    if (closeCountdown_ < 1) hide();
}

void TSysAckForm::showSysAck() {
    if (!isVisible()) show();

    const vx::SysCommandInfo info = vx::sysCommandInfo(sysAckCode_);
    lblCommand->setText(QString::asprintf("03%02x ", sysAckCode_) +
                        QString::fromUtf8(info.name.data(), qsizetype(info.name.size())));
    QPalette pc = QApplication::palette(lblCommand);
    if (info.colour != vx::SysLabelColour::Face)
        pc.setColor(QPalette::Window, QColor::fromRgb(info.rgb));
    lblCommand->setPalette(pc);

    QString status = QString::asprintf("%02x ", sysAckResult_);
    if (auto name = vx::sysResultName(sysAckResult_))
        status += QString::fromUtf8(name->data(), qsizetype(name->size()));
    lblStatus->setText(status);
    QPalette ps = QApplication::palette(lblStatus);
    ps.setColor(QPalette::WindowText, sysAckResult_ == 0 ? lamp::kGreen : lamp::kRed);
    lblStatus->setPalette(ps);

    autoCloseAllowed_ = sysAckResult_ == 0 ? 1 : 0;
    // A failed command's window stays open: a counter left from an earlier successful one
    // would wrongly announce that it closes.
    if (!autoCloseAllowed_) lblCloseCounter->clear();
}

void TSysAckForm::cbAutoCloseClick() {
    if (cbAutoClose->isChecked())
        closeCountdown_ = kCloseTicks;
    else
        lblCloseCounter->clear();
}

void TSysAckForm::btnCloseClick() {
    close();
}
