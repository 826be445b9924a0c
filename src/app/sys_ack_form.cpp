#include "app/sys_ack_form.h"

#include "console/console_qt.h"
#include "link/ack_texts.h"
#include "widgets/lamp_qt.h"
#include "widgets/window_show_qt.h"

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
    : ConsoleDialog(parent,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint),
      routes_(console, vx::WindowId::TSysAckForm, this) {

    commandLabel_ = new QLabel(this);
    commandLabel_->setObjectName("lblCommand");
    commandLabel_->setAlignment(Qt::AlignCenter);
    commandLabel_->setAutoFillBackground(true);
    commandLabel_->setMinimumWidth(280);
    QFont big = commandLabel_->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    commandLabel_->setFont(big);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName("lblStatus");
    statusLabel_->setAlignment(Qt::AlignCenter);
    statusLabel_->setFont(big);
    closeCounterLabel_ = new QLabel(this);
    closeCounterLabel_->setObjectName("lblCloseCounter");
    closeCounterLabel_->setMinimumWidth(24);
    autoCloseBox_ = new QCheckBox("Auto Close", this);
    autoCloseBox_->setObjectName("cbAutoClose");
    autoCloseBox_->setChecked(true);
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("btnClose");
    closeButton_->setAutoDefault(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(autoCloseBox_);
    bottom->addWidget(closeCounterLabel_);
    bottom->addStretch();
    bottom->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(commandLabel_);
    layout->addWidget(statusLabel_);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(autoCloseBox_, &QCheckBox::toggled, this, &TSysAckForm::cbAutoCloseClick);
    connect(closeButton_, &QPushButton::clicked, this, &TSysAckForm::btnCloseClick);

    tickTimer_ = new QTimer(this);
    tickTimer_->setObjectName("tmrTick");
    tickTimer_->setInterval(kTickMs);
    connect(tickTimer_, &QTimer::timeout, this, &TSysAckForm::tmrTickTimer);
    tickTimer_->start();

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
    // The frame (title bar and borders) as the platform reports it: nothing before the first
    // showing, the real one once the window has been shown.
    const QRect frame = frameGeometry();
    placing_ = true;
    move(area.left(), area.top() + area.height() - frame.height());
    placing_ = false;
}

void TSysAckForm::showEvent(QShowEvent* event) {
    ConsoleDialog::showEvent(event);
    if (event->spontaneous()) return;
    placeBottomLeft();
    // Once more when the platform has had its say about the frame.
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) placeBottomLeft();
    });
}

void TSysAckForm::resizeEvent(QResizeEvent* event) {
    ConsoleDialog::resizeEvent(event);
    // A longer command name or result makes the window taller or wider: keep the corner.
    if (isVisible() && !placing_) placeBottomLeft();
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
    if (!autoCloseBox_->isChecked() || !autoCloseAllowed_) return;
    if (closeCountdown_ % 10 == 0) closeCounterLabel_->setNum(int(closeCountdown_ / 10));
    --closeCountdown_;
    if (closeCountdown_ < 1) hide();
}

void TSysAckForm::showSysAck() {

    const vx::SysCommandInfo info = vx::sysCommandInfo(sysAckCode_);
    commandLabel_->setText(QString::asprintf("03%02x ", sysAckCode_) +
                           QString::fromUtf8(info.name.data(), qsizetype(info.name.size())));
    QPalette pc = QApplication::palette(commandLabel_);
    if (info.colour != vx::SysLabelColour::Face)
        pc.setColor(QPalette::Window, QColor::fromRgb(info.rgb));
    commandLabel_->setPalette(pc);

    QString status = QString::asprintf("%02x ", sysAckResult_);
    if (auto name = vx::sysResultName(sysAckResult_))
        status += QString::fromUtf8(name->data(), qsizetype(name->size()));
    statusLabel_->setText(status);
    QPalette ps = QApplication::palette(statusLabel_);
    ps.setColor(QPalette::WindowText, sysAckResult_ == 0 ? lamp::kGreen : lamp::kRed);
    statusLabel_->setPalette(ps);

    autoCloseAllowed_ = sysAckResult_ == 0 ? 1 : 0;
    // A failed command's window stays open: a counter left from an earlier successful one
    // would wrongly announce that it closes.
    if (!autoCloseAllowed_) closeCounterLabel_->clear();

    // The size for these texts first, then the place, then the showing.
    adjustSize();
    if (!isVisible()) {
        placeBottomLeft();
        showWithoutActivating(this);
    } else {
        placeBottomLeft();
    }
}

void TSysAckForm::cbAutoCloseClick() {
    if (autoCloseBox_->isChecked())
        closeCountdown_ = kCloseTicks;
    else
        closeCounterLabel_->clear();
}

void TSysAckForm::btnCloseClick() {
    close();
}
