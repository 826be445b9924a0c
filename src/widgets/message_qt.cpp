#include "widgets/message_qt.h"

#include <QMessageBox>

namespace msg {

namespace {

Interceptor& interceptor() {
    static Interceptor i;
    return i;
}

QMessageBox::Icon iconOf(Kind kind) {
    switch (kind) {
    case Kind::Information:
        return QMessageBox::Information;
    case Kind::Warning:
        return QMessageBox::Warning;
    case Kind::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void show(QWidget* parent, Kind kind, const QString& title, const QString& text) {
    if (interceptor()) {
        interceptor()(kind, title, text);
        return;
    }
    QMessageBox box(iconOf(kind), title, text, QMessageBox::Ok, parent);
    box.exec();
}

void notify(QWidget* parent, Kind kind, const QString& title, const QString& text) {
    if (interceptor()) {
        interceptor()(kind, title, text);
        return;
    }
    auto* box = new QMessageBox(iconOf(kind), title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void setInterceptor(Interceptor i) {
    interceptor() = std::move(i);
}

} // namespace msg
