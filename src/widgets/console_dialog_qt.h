// The base of the console's windows other than the main window: a dialog to assistive
// technology and to the window manager, where Enter in a field does not click the dialog's
// first button — only a button's own click or key acts.
// Escape, the title bar's close button and a window's "Close" button (which calls close()) are
// one path: each runs closeRequested() and hides the window unless it refuses, so whatever
// closing a window does (stopping its test, ending a log, refusing while work runs) happens
// whichever way the user closes it.
// A window that asks for it is centred on its screen the first time it is shown, after it has
// fixed its size (fixSizeOnFirstShow).
#pragma once

#include <QDialog>

class QCloseEvent;
class QKeyEvent;
class QShowEvent;

class ConsoleDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // Escape (and anything else that rejects the dialog) closes it as the close box does.
    void reject() override;

protected:
    // What closing the window does before it hides; false refuses (the window stays as it is).
    // By default closing only hides the window.
    virtual bool closeRequested() { return true; }

    // Centre the window on its screen the first time it is shown.
    void centreOnFirstShow() { centre_ = true; }
    // Called once, on the first showing, before the window is centred: a window with a fixed
    // size sets it here, when its layout knows its size. By default the size its layout wants.
    virtual void fixSizeOnFirstShow() { adjustSize(); }

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool centre_ = false;
    bool placed_ = false;
};
