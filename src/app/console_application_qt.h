// The console's application object: an exception that escapes an event handler is shown in a
// message box and the event loop goes on.
#pragma once

#include <QApplication>

class ConsoleApplication : public QApplication {
    Q_OBJECT
public:
    ConsoleApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an exception's message in the standard box (title "Ornivex"); an exception of no
    // known type shows an empty message.
    static void showException(const QString& message);
};
