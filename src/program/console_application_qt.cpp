#include "program/console_application_qt.h"

#include "widgets/message_qt.h"

#include <cstdio>
#include <exception>

ConsoleApplication::ConsoleApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ConsoleApplication::notify(QObject* receiver, QEvent* event) {
    return guarded([&] { return QApplication::notify(receiver, event); });
}

void ConsoleApplication::setIdentity() {
    QApplication::setApplicationName("Ornivex");
    QGuiApplication::setDesktopFileName("ornivex");
}

void ConsoleApplication::showException(const QString& message) {
    // The box runs its own event loop; an exception raised while it is up is written to
    // stderr instead of stacking boxes.
    static bool showing = false;
    std::fprintf(stderr, "ornivex: exception: %s\n", message.toLocal8Bit().constData());
    if (showing) return;
    showing = true;
    try {
        msg::show(nullptr, msg::Kind::Error, "Ornivex", message);
    } catch (...) {
    }
    showing = false;
}
