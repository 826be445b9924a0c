#include "testtools/ttca_form.h"

#include "link/link_texts.h"
#include "widgets/file_dialog_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

TTtcaForm::TTtcaForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TTtcaForm, this) {
    clock_.start();
    nowMs_ = [this] { return clock_.elapsed(); };
    const QFontMetrics fm(font());
    auto* outer = new QVBoxLayout(this);
    auto* params = new QGroupBox("TTCA Test Parameters", this);
    auto* grid = new QGridLayout(params);
    auto* fileLabel = new QLabel("Log File", params);
    logFileWin_ = new QLineEdit(params);
    logFileWin_->setObjectName("logFileWin");
    logFileWin_->setReadOnly(true);
    logFileWin_->setMinimumWidth(fm.horizontalAdvance(QString(40, 'x')));
    fileLabel->setBuddy(logFileWin_);
    file10Button_ = new QPushButton("...", params);
    file10Button_->setObjectName("file10Button");
    file10Button_->setAccessibleName("Choose log file");
    typeGroup_ = new QGroupBox("TTCA Type", params);
    typeGroup_->setObjectName("typeGroup");
    auto* types = new QVBoxLayout(typeGroup_);
    coldReset_ = new QRadioButton("Cold reset", typeGroup_);
    clearAlmanac_ = new QRadioButton("Clear almanac, no reset", typeGroup_);
    coldReset_->setChecked(true);
    types->addWidget(coldReset_);
    types->addWidget(clearAlmanac_);
    const QSize panelSize(fm.horizontalAdvance("00000.0") + 12, fm.height() + 6);
    lastTtcaWin_ = new Panel(params);
    lastTtcaWin_->setObjectName("lastTtcaWin");
    lastTtcaWin_->setAccessibleName("Last TTCA");
    lastTtcaWin_->setFixedSize(panelSize);
    currentTimeWin_ = new Panel(params);
    currentTimeWin_->setObjectName("currentTimeWin");
    currentTimeWin_->setAccessibleName("Current Elapsed Time");
    currentTimeWin_->setFixedSize(panelSize);
    rxStatus_ = new Lamp(params);
    rxStatus_->setObjectName("rxStatus");
    rxStatus_->setAccessibleName("Rx");
    rxStatus_->setColour(lamp::kWhite);

    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(logFileWin_, 0, 1, 1, 2);
    grid->addWidget(file10Button_, 0, 3);
    grid->addWidget(typeGroup_, 1, 0, 2, 1);
    grid->addWidget(new QLabel("Last TTCA:", params), 1, 1);
    grid->addWidget(lastTtcaWin_, 1, 2);
    grid->addWidget(new QLabel("minutes", params), 1, 3);
    grid->addWidget(new QLabel("Current Elapsed Time:", params), 2, 1);
    grid->addWidget(currentTimeWin_, 2, 2);
    grid->addWidget(new QLabel("minutes", params), 2, 3);
    auto* rx = new QHBoxLayout;
    rx->addWidget(rxStatus_);
    rx->addWidget(new QLabel("Rx", params));
    rx->addStretch();
    grid->addLayout(rx, 3, 1);
    outer->addWidget(params);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    startButton_ = new QPushButton("Start", this);
    startButton_->setObjectName("startButton");
    stopButton_ = new QPushButton("Stop", this);
    stopButton_->setObjectName("stopButton");
    stopButton_->setEnabled(false);
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    outer->addLayout(buttons);

    triggerTimer_ = new QTimer(this);
    triggerTimer_->setObjectName("triggerTimer");
    triggerTimer_->setSingleShot(true);
    connect(triggerTimer_, &QTimer::timeout, this, &TTtcaForm::triggerTimerTimer);
    connect(file10Button_, &QPushButton::clicked, this, &TTtcaForm::file10ButtonClick);
    connect(startButton_, &QPushButton::clicked, this, &TTtcaForm::startButtonClick);
    connect(stopButton_, &QPushButton::clicked, this, &TTtcaForm::stopButtonClick);
    routes_.onRecord<vx::TimeConstellationRecord>(
        vx::HandlerRole::Reply,
        [this](const vx::TimeConstellationRecord& r, const vx::Routed&) { take(r); });
    centreOnFirstShow();
}

void TTtcaForm::file10ButtonClick() {
    const QString name = fileDialog::saveFileName(this, "Log File", logFileWin_->text(), false);
    if (!name.isEmpty()) logFileWin_->setText(name);
}

void TTtcaForm::startButtonClick() {
    const QString path = logFileWin_->text();
    if (path.isEmpty()) {
        msg::show(this, msg::Kind::Warning, QString(), "No File Selected.");
        return;
    }
    if (QFileInfo::exists(path) &&
        !msg::ask(this, msg::Kind::Warning, "File Exists", "File Already Exists.  Overwrite?"))
        return;
    const std::string error = log_.open(path.toStdString());
    if (!error.empty()) {
        msg::show(this, msg::Kind::Error, QString(),
                  "Open file error.\n" + QString::fromStdString(error));
        return;
    }
    typeGroup_->setEnabled(false);
    startButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    lastTtcaWin_->setText(QString());
    running_ = true;
    runTrigger();
}

void TTtcaForm::runTrigger() {
    triggering_ = true;
    trigger_ = vx::ScriptCursor(vx::ttcaTriggerScript(
        clearAlmanac_->isChecked() ? vx::TtcaTrigger::ClearAlmanac : vx::TtcaTrigger::ColdReset));
    pumpTrigger();
}

// Sends the trigger's frames up to its next pause; at its end the time starts.
void TTtcaForm::pumpTrigger() {
    while (triggering_) {
        if (trigger_.done()) {
            triggering_ = false;
            triggerMs_ = nowMs_();
            return;
        }
        const int pause = trigger_.sendNext(routes_.console().sink());
        if (trigger_.lastResult() != 0) {
            fail(QString::fromStdString(vx::notMonitoringText(
                clearAlmanac_->isChecked() ? "Almanac upload (2812-2814)" : "Cold Reset (0302)")));
            return;
        }
        if (pause > 0) {
            triggerTimer_->start(pause);
            return;
        }
    }
}

void TTtcaForm::triggerTimerTimer() {
    triggerTimer_->stop();
    pumpTrigger();
}

void TTtcaForm::take(const vx::TimeConstellationRecord& r) {
    if (!running_ || triggering_) return;
    const QString minutes = QString::fromStdString(vx::ttcaMinutesText(nowMs_() - triggerMs_));
    currentTimeWin_->setText(minutes);
    if (vx::almanacComplete(r)) {
        lastTtcaWin_->setText(minutes);
        const std::string error = log_.append(minutes.toStdString());
        if (!error.empty()) {
            fail("The log could not be written.\n" + QString::fromStdString(error));
            return;
        }
        runTrigger();
    }
    rxOn_ = !rxOn_;
    rxStatus_->setColour(rxOn_ ? lamp::kGreen : lamp::kWhite);
}

void TTtcaForm::fail(const QString& text) {
    stopButtonClick();
    msg::show(this, msg::Kind::Error, "Error", text);
}

void TTtcaForm::stopButtonClick() {
    running_ = false;
    triggering_ = false;
    triggerTimer_->stop();
    log_.close();
    startButton_->setEnabled(true);
    stopButton_->setEnabled(false);
    typeGroup_->setEnabled(true);
}
