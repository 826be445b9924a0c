#include "testtools/force_to_mon_form.h"

#include "link/catalogue.h"
#include "link/monitor_ops.h"
#include "testtools/tool_fields.h"
#include "widgets/message_qt.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

TforceToMonForm::TforceToMonForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      routes_(console, vx::WindowId::TforceToMonForm, this) {
    centreOnFirstShow();
    auto box = [&](const char* name, bool readOnly) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setReadOnly(readOnly);
        e->setMaximumWidth(90);
        return e;
    };
    numForcesWin_ = box("numForcesWin", false);
    forceRestartWin_ = box("forceRestartWin", false);
    restartForceWin_ = box("restartForceWin", false);
    successfulForcesWin_ = box("successfulForcesWin", true);
    correctResponsesWin_ = box("correctResponsesWin", true);
    startButton_ = new QPushButton("Start", this);
    startButton_->setObjectName("startButton");
    stopButton_ = new QPushButton("Stop", this);
    stopButton_->setObjectName("stopButton");
    stopButton_->setEnabled(false);
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");

    auto* form = new QFormLayout;
    form->addRow("Number of Times to Force to Monitor:", numForcesWin_);
    form->addRow("Time Between Force and Restart (ms):", forceRestartWin_);
    form->addRow("Time Between Restart and Force (ms):", restartForceWin_);
    form->addRow("# of Attempted Forces:", successfulForcesWin_);
    form->addRow("# of Correct Responses:", correctResponsesWin_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    forceRestartTimer_ = new QTimer(this);
    forceRestartTimer_->setObjectName("forceRestartTimer");
    forceRestartTimer_->setSingleShot(true);
    restartForceTimer_ = new QTimer(this);
    restartForceTimer_->setObjectName("restartForceTimer");
    restartForceTimer_->setSingleShot(true);

    connect(startButton_, &QPushButton::clicked, this, &TforceToMonForm::startButtonClick);
    connect(stopButton_, &QPushButton::clicked, this, &TforceToMonForm::stopButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TforceToMonForm::closeButtonClick);
    connect(forceRestartTimer_, &QTimer::timeout, this, &TforceToMonForm::forceRestartTimerTimer);
    connect(restartForceTimer_, &QTimer::timeout, this, &TforceToMonForm::restartForceTimerTimer);

    // Both reach the window whether or not it is shown or the test runs.
    routes_.on(vx::HandlerRole::SystemAck, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (const auto* a = d.recordAs<vx::SysAckRecord>()) test_.sysAck(a->acked_code);
    });
    routes_.on(vx::HandlerRole::Reply, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (d.h1 == 0x30 && d.h2 == 0x02) test_.drData();
    });
}

void TforceToMonForm::showCounts() {
    successfulForcesWin_->setText(QString::number(test_.attempted()));
    correctResponsesWin_->setText(QString::number(test_.correct()));
}

bool TforceToMonForm::sent(int result) {
    if (result == 0) return true;
    endTest();
    msg::notify(this, msg::Kind::Error, "Test Stopped",
                "Not sent: the serial link is not running or the write failed.");
    return false;
}

void TforceToMonForm::sendForce() {
    sent(vx::sendSystem(routes_.console().sink(), vx::kSysForceToMonitor));
}

void TforceToMonForm::startButtonClick() {
    int32_t forces = forces_, p1 = forceRestartMs_, p2 = restartForceMs_;
    std::string err = vx::readCountField("Number of Times to Force to Monitor",
                                         numForcesWin_->text().toStdString(), forces);
    if (err.empty())
        err = vx::readCountField("Time Between Force and Restart (ms)",
                                 forceRestartWin_->text().toStdString(), p1);
    if (err.empty())
        err = vx::readCountField("Time Between Restart and Force (ms)",
                                 restartForceWin_->text().toStdString(), p2);
    if (!err.empty()) {
        msg::show(this, msg::Kind::Error, "Error", QString::fromStdString(err));
        return;
    }
    forces_ = forces;
    forceRestartMs_ = p1;
    restartForceMs_ = p2;
    forceRestartTimer_->setInterval(p1);
    restartForceTimer_->setInterval(p2);
    test_.start(forces);
    startButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    showCounts();
    startPause(forceRestartTimer_);
    sendForce();
}

void TforceToMonForm::startPause(QTimer* timer) {
    // A pause of 0 is a step that never ends: the test waits there until Stop.
    if (timer->interval() > 0) timer->start();
}

void TforceToMonForm::forceRestartTimerTimer() {
    forceRestartTimer_->stop();
    if (!test_.running()) return;
    startPause(restartForceTimer_);
    test_.restartSent();
    showCounts();
    sent(vx::monitorRestart(routes_.console().sink()));
}

void TforceToMonForm::restartForceTimerTimer() {
    restartForceTimer_->stop();
    if (!test_.running()) return;
    switch (test_.afterRestartPause()) {
    case vx::ForceToMonitorTest::Next::Force:
        startPause(forceRestartTimer_);
        sendForce();
        return;
    case vx::ForceToMonitorTest::Next::Done:
        endTest();
        return;
    case vx::ForceToMonitorTest::Next::NotResponding:
        endTest();
        msg::show(this, msg::Kind::Error, "Test Stopped", "Receiver not responding.");
        return;
    }
}

void TforceToMonForm::endTest() {
    test_.stop();
    forceRestartTimer_->stop();
    restartForceTimer_->stop();
    startButton_->setEnabled(true);
    stopButton_->setEnabled(false);
    showCounts();
}

void TforceToMonForm::stopButtonClick() {
    endTest();
}

void TforceToMonForm::closeButtonClick() {
    hide();
}
