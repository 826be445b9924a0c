// The console's application object: an exception that escapes an event handler is shown in a
// message box and the event loop goes on.
#pragma once

#include <QApplication>

#include <exception>

class ConsoleApplication : public QApplication {
    Q_OBJECT
public:
    ConsoleApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs one event delivery; an exception it throws is shown (showException) and the
    // delivery counts as not handled.
    template <class Deliver> static bool guarded(Deliver&& deliver) {
        try {
            return deliver();
        } catch (const std::exception& e) {
            showException(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            showException(QString());
        }
        return false;
    }

    // Shows an exception's message in the standard box (title "Ornivex"); an exception of no
    // known type shows an empty message.
    static void showException(const QString& message);

    // The program's name ("Ornivex": task bar, window class) and desktop entry. No display
    // name is set: the platform would add it to every window title ("COM Setup — Ornivex"),
    // and a window's title is its caption alone.
    static void setIdentity();
};
