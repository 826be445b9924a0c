// "About": the program's version text, and Close.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class TaboutForm : public ConsoleDialog {
    Q_OBJECT
public:
    explicit TaboutForm(Console& console, QWidget* parent = nullptr);

public slots:
    void closeButtonClick();

private:
    QPlainTextEdit* statusWin_;
    QPushButton* closeButton_;
};
