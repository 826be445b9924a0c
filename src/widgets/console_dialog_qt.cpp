#include "widgets/console_dialog_qt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>

void ConsoleDialog::reject() {
    close();
}

void ConsoleDialog::closeEvent(QCloseEvent* event) {
    // QDialog::closeEvent would reject() again; closing is decided here alone. An accepted
    // close event hides the window (it is never deleted on close).
    if (closeRequested())
        event->accept();
    else
        event->ignore();
}

void ConsoleDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ConsoleDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centre_ || placed_ || event->spontaneous()) return;
    placed_ = true;
    fixSizeOnFirstShow();
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}
