#include "widgets/message_qt.h"

#include <QMessageBox>

namespace msg {

namespace {

Interceptor& interceptor() {
    static Interceptor i;
    return i;
}

Answerer& answerer() {
    static Answerer a;
    return a;
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

bool ask(QWidget* parent, Kind kind, const QString& title, const QString& text) {
    if (answerer()) return answerer()(kind, title, text);
    if (interceptor()) {
        interceptor()(kind, title, text);
        return false;
    }
    QMessageBox box(iconOf(kind), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool confirm(QWidget* parent, Kind kind, const QString& title, const QString& text) {
    if (answerer()) return answerer()(kind, title, text);
    if (interceptor()) {
        interceptor()(kind, title, text);
        return false;
    }
    QMessageBox box(iconOf(kind), title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void setInterceptor(Interceptor i) {
    interceptor() = std::move(i);
}

void setAnswerer(Answerer a) {
    answerer() = std::move(a);
}

} // namespace msg
