// The base of the console's windows other than the main window: a dialog to assistive
// technology and to the window manager (Escape and the close box hide it), where Enter in a
// field does not click the dialog's first button — only a button's own click or key acts.
#pragma once

#include <QDialog>

class QKeyEvent;

class ConsoleDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
