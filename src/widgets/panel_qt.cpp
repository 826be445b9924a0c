#include "widgets/panel_qt.h"

#include "widgets/accessible_text_qt.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>
#include <QStyle>

namespace {

// What assistive technology reads of a panel: its caption as the name and the text it shows
// through the text interface (which the accessibility bus carries) and as its value.
class PanelAccessible : public ReadOnlyTextAccessible {
public:
    explicit PanelAccessible(QWidget* w) : ReadOnlyTextAccessible(w, QAccessible::StaticText) {}

    const Panel* panel() const { return static_cast<const Panel*>(widget()); }

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return panel()->accessibleName().isEmpty() ? panel()->text()
                                                       : panel()->accessibleName();
        case QAccessible::Value:
            return panel()->text();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QString wholeText() const override { return panel()->text(); }

    QRect characterRect(int offset) const override {
        const QString shown = panel()->text();
        if (offset < 0 || offset >= shown.size()) return {};
        const QFontMetrics fm(panel()->font());
        const QRect line = textRect();
        const int x = line.left() + fm.horizontalAdvance(shown.left(offset));
        const QRect local(x, line.top(), fm.horizontalAdvance(shown.at(offset)), line.height());
        return QRect(panel()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint p = panel()->mapFromGlobal(point);
        const QRect line = textRect();
        if (!line.contains(p)) return -1;
        const QString shown = panel()->text();
        const QFontMetrics fm(panel()->font());
        int x = line.left();
        for (int i = 0; i < shown.size(); ++i) {
            x += fm.horizontalAdvance(shown.at(i));
            if (p.x() < x) return i;
        }
        return -1;
    }
    // The whole text is always on screen.
    void scrollToSubstring(int, int) override {}

private:
    // Where the panel draws its one line of text.
    QRect textRect() const {
        const QFontMetrics fm(panel()->font());
        const Qt::LayoutDirection dir = panel()->layoutDirection();
        return QStyle::alignedRect(dir, QStyle::visualAlignment(dir, panel()->alignment()),
                                   QSize(fm.horizontalAdvance(panel()->text()), fm.height()),
                                   panel()->contentsRect());
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
