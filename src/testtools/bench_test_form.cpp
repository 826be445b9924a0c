#include "testtools/bench_test_form.h"

#include "link/catalogue.h"
#include "link/link_texts.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

BenchTestForm::BenchTestForm(Console& console, const vx::BenchTestSpec& test, QWidget* parent)
    : ReportViewForm(console, test.view, parent), test_(test) {
    auto* box = new QGroupBox(QString::fromUtf8(test.controlCaption), this);
    auto* grid = new QGridLayout(box);
    auto* label = new QLabel("Time Interval (sec):", box);
    timeIntervalWin_ = new QLineEdit("10", box);
    timeIntervalWin_->setObjectName("timeIntervalWin");
    label->setBuddy(timeIntervalWin_);
    start_ = new QPushButton("Start", box);
    start_->setObjectName("Start");
    stop_ = new QPushButton("Stop Immediately", box);
    stop_->setObjectName("Stop");
    stop_->setEnabled(false);
    auto* statusLabel = new QLabel("Status", box);
    statusLabel->setObjectName("Status");
    statusWin_ = new Panel(box);
    statusWin_->setObjectName("statusWin");
    statusWin_->setAccessibleName("Status");
    const QFontMetrics fm(font());
    statusWin_->setFixedSize(fm.horizontalAdvance("Test In Progress, please wait...") + 16,
                             fm.height() + 6);
    grid->addWidget(label, 0, 0);
    grid->addWidget(timeIntervalWin_, 0, 1);
    grid->addWidget(start_, 0, 2);
    grid->addWidget(stop_, 0, 3);
    grid->addWidget(statusLabel, 1, 0);
    grid->addWidget(statusWin_, 1, 1, 1, 3);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, box);

    connect(start_, &QPushButton::clicked, this, &BenchTestForm::StartClick);
    connect(stop_, &QPushButton::clicked, this, &BenchTestForm::StopClick);
    centreOnFirstShow();
}

void BenchTestForm::StartClick() {
    const auto seconds =
        vx::readTestInterval(timeIntervalWin_->text().toStdString(), test_.maxSeconds);
    if (!seconds) {
        msg::show(this, msg::Kind::Warning, QString(), QString::fromUtf8(test_.rangeMessage));
        return;
    }
    if (vx::setTestControl(console().sink(), test_.subcode, *seconds) != 0) {
        // Nothing went out: the test has not started.
        statusWin_->setText(QString::fromStdString(
            vx::notMonitoringText(vx::formatText("Test Control (2F%02X)", test_.subcode))));
        return;
    }
    running_ = true;
    stop_->setEnabled(true);
    start_->setEnabled(false);
    statusWin_->setText("Test In Progress, please wait...");
}

void BenchTestForm::StopClick() {
    vx::setTestControl(console().sink(), test_.subcode, 0);
    running_ = false;
    stop_->setEnabled(false);
    start_->setEnabled(true);
}

void BenchTestForm::testEnded() {
    running_ = false;
    stop_->setEnabled(false);
    start_->setEnabled(true);
    statusWin_->setText(QString::fromUtf8(test_.completeText));
}
