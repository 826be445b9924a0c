// The console's entry point.
#include "app/console_qt.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ornivex");
    Console console;
    QLabel placeholder("Ornivex");
    placeholder.show();
    return app.exec();
}
