// The base of the console's windows other than the main window: a dialog to assistive
// technology and to the window manager (Escape and the close box hide it), where Enter in a
// field does not click the dialog's first button — only a button's own click or key acts.
// A window that asks for it is centred on its screen the first time it is shown, after it has
// fixed its size (fixSizeOnFirstShow).
#pragma once

#include <QDialog>

class QKeyEvent;
class QShowEvent;

class ConsoleDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    // Centre the window on its screen the first time it is shown.
    void centreOnFirstShow() { centre_ = true; }
    // Called once, on the first showing, before the window is centred: a window with a fixed
    // size sets it here, when its layout knows its size. By default the size its layout wants.
    virtual void fixSizeOnFirstShow() { adjustSize(); }

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool centre_ = false;
    bool placed_ = false;
};
