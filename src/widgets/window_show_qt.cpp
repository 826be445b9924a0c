#include "widgets/window_show_qt.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

// Watches the shown window for one turn of the event loop: an activation within it comes
// from the showing (the platform delivers it with the showing's other events) and is handed
// back to the window that had the keyboard. One that comes later is the user's.
class KeyboardKeeper : public QObject {
public:
    KeyboardKeeper(QWidget* shown, QWidget* typingIn) : QObject(shown), typingIn_(typingIn) {
        shown->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { deleteLater(); });
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate && typingIn_ && typingIn_->isVisible()) {
            QPointer<QWidget> back = typingIn_;
            typingIn_ = nullptr;
            back->activateWindow();
        }
        return false;
    }

private:
    QPointer<QWidget> typingIn_;
};

} // namespace

void showWithoutActivating(QWidget* window) {
    if (!window || window->isVisible()) return;
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    QWidget* typingIn = QApplication::activeWindow();
    window->show();
    if (typingIn && typingIn != window) new KeyboardKeeper(window, typingIn);
}
