#include "widgets/accessible_text_qt.h"

#include <algorithm>

ReadOnlyTextAccessible::ReadOnlyTextAccessible(QWidget* widget, QAccessible::Role role)
    : QAccessibleWidget(widget, role) {}

void* ReadOnlyTextAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State ReadOnlyTextAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.editable = false;
    return s;
}

QString ReadOnlyTextAccessible::text(int startOffset, int endOffset) const {
    const QString all = wholeText();
    const int size = int(all.size());
    if (endOffset < 0 || endOffset > size) endOffset = size;
    startOffset = std::clamp(startOffset, 0, endOffset);
    return all.mid(startOffset, endOffset - startOffset);
}

int ReadOnlyTextAccessible::characterCount() const {
    return int(wholeText().size());
}

QString ReadOnlyTextAccessible::attributes(int, int* startOffset, int* endOffset) const {
    // One run without attributes over the whole text.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void ReadOnlyTextAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
}

int ReadOnlyTextAccessible::selectionCount() const {
    return 0;
}

void ReadOnlyTextAccessible::addSelection(int, int) {}

void ReadOnlyTextAccessible::removeSelection(int) {}

void ReadOnlyTextAccessible::setSelection(int, int, int) {}

int ReadOnlyTextAccessible::cursorPosition() const {
    return 0;
}

void ReadOnlyTextAccessible::setCursorPosition(int) {}
