#include "config/setup_script_form.h"

#include "widgets/lamp_qt.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SetupScriptForm::SetupScriptForm(Console& console, vx::WindowId id, const char* explanation,
                                 const char* startButtonName, const char* startCaption,
                                 QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      routes_(console, id, this), runner_(new ScriptRunner(console, this)) {
    centreOnFirstShow();
    auto* text = new QLabel(QString::fromLatin1(explanation), this);
    text->setObjectName("Label1");
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setFixedWidth(360);
    controls_ = new QVBoxLayout;

    statusWin_ = new QLineEdit(this);
    statusWin_->setObjectName("statusWin");
    statusWin_->setReadOnly(true);
    auto* statusLabel = new QLabel("Status:", this);
    statusLabel->setBuddy(statusWin_);
    statusLED_ = new Lamp(this);
    statusLED_->setObjectName("statusLED");
    auto* status = new QHBoxLayout;
    status->addWidget(statusLabel);
    status->addWidget(statusWin_, 1);
    status->addWidget(statusLED_);

    startButton_ = new QPushButton(QString::fromLatin1(startCaption), this);
    startButton_->setObjectName(startButtonName);
    auto* closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton_);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(controls_);
    layout->addLayout(status);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(startButton_, &QPushButton::clicked, this, &SetupScriptForm::startClick);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(runner_, &ScriptRunner::stepSent, this, &SetupScriptForm::stepSent);
    connect(runner_, &ScriptRunner::finished, this, &SetupScriptForm::finished);
}

void SetupScriptForm::clearStatus() {
    if (runner_->running()) return;
    statusWin_->clear();
    statusLED_->setColour(lamp::kWhite);
}

void SetupScriptForm::startClick() {
    if (runner_->running()) return;
    statusWin_->setText("Configuring...");
    statusLED_->setColour(lamp::kYellow);
    startButton_->setEnabled(false);
    runner_->start(script());
}

void SetupScriptForm::stepSent(int sent, int total, bool ok) {
    if (ok && sent < total)
        statusWin_->setText(QString("Configuring... %1 of %2 sent").arg(sent).arg(total));
}

void SetupScriptForm::finished(bool ok) {
    statusWin_->setText(ok ? "Configuration Complete..." : "Configuration Failed...");
    statusLED_->setColour(ok ? lamp::kGreen : lamp::kRed);
    startButton_->setEnabled(true);
}
