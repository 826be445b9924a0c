#include "app/about_form.h"

#include "app/version_texts.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TaboutForm::TaboutForm(Console&, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowCloseButtonHint) {
    nameWindow(this, vx::WindowId::TaboutForm);
    statusWin_ = new QPlainTextEdit(this);
    statusWin_->setObjectName("statusWin");
    statusWin_->setReadOnly(true);
    for (const std::string& line : vx::aboutLines())
        statusWin_->appendPlainText(QString::fromLatin1(line.data(), qsizetype(line.size())));
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    connect(closeButton_, &QPushButton::clicked, this, &TaboutForm::closeButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusWin_);
    layout->addLayout(buttons);
    resize(420, 200);
}

void TaboutForm::closeButtonClick() {
    close();
}
