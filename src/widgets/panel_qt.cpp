#include "widgets/panel_qt.h"

#include <QApplication>
#include <QPalette>

Panel::Panel(QWidget* parent, const QString& text) : QLabel(text, parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    setColour(QColor(255, 255, 255));
}

QColor Panel::faceColour() {
    return QApplication::palette().color(QPalette::Button);
}

void Panel::setColour(const QColor& c) {
    if (c == colour_) return;
    colour_ = c;
    QPalette p = palette();
    p.setColor(QPalette::Window, c);
    // Dark text on every panel colour (blue excepted, which no panel uses).
    p.setColor(QPalette::WindowText, QColor(0, 0, 0));
    setPalette(p);
}

void Panel::mouseDoubleClickEvent(QMouseEvent* e) {
    QLabel::mouseDoubleClickEvent(e);
    emit doubleClicked();
}
