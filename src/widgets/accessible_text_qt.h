// Read-only text for assistive technology: what a widget shows, readable by a screen reader
// through the accessibility bus.
//
// Qt's bridge to the bus carries an interface's QAccessibleTextInterface as the bus's Text
// interface; it does not carry the value of static text. So a widget that shows a changing
// text (a value panel, a memo of lines) gives it here: the subclass says what the text is and
// where its characters are on screen, this base does the rest (ranges of the text, its length,
// no attributes, read-only state, and a caret and selection that a widget without them does
// not have).
//
// No change events are sent: the panels change many times a second during a fast replay, and
// a reader reads the current text when the user goes to it.
#pragma once

#include <QAccessibleWidget>
#include <QString>

class ReadOnlyTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    ReadOnlyTextAccessible(QWidget* widget, QAccessible::Role role);

    // The whole text a reader reads.
    virtual QString wholeText() const = 0;

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    // Text: ranges are clamped to the text; an end of -1 means its end.
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // No selection and the caret at the start, unless the subclass has them.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;

    using QAccessibleWidget::text; // text(QAccessible::Text): name, description, value
};
