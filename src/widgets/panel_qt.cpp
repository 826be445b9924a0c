#include "widgets/panel_qt.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QPalette>

namespace {

// What assistive technology reads of a panel: its caption as the name, its text as the value.
class PanelAccessible : public QAccessibleWidget {
public:
    explicit PanelAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        const auto* panel = static_cast<const Panel*>(widget());
        switch (t) {
        case QAccessible::Name:
            return panel->accessibleName().isEmpty() ? panel->text() : panel->accessibleName();
        case QAccessible::Value:
            return panel->text();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
};

QAccessibleInterface* panelAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("Panel") && object && object->isWidgetType())
        return new PanelAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

Panel::Panel(QWidget* parent, const QString& text) : QLabel(text, parent) {
    static const bool installed = [] {
        QAccessible::installFactory(panelAccessible);
        return true;
    }();
    (void)installed;
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
