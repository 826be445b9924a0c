#include "widgets/lamp_qt.h"

#include <QPainter>

Lamp::Lamp(QWidget* parent, int diameter) : QWidget(parent), diameter_(diameter) {
    setFixedSize(diameter, diameter);
}

void Lamp::setColour(const QColor& c) {
    if (c == colour_) return;
    colour_ = c;
    update();
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(colour_);
    p.drawEllipse(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0));
}

void Lamp::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}
