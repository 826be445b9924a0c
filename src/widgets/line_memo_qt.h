// A read-only memo over the lines of a vx::LineStore (the error window's refused frames).
//
// It draws only the lines on screen, so a store of a million lines costs the store's compact
// memory and nothing more here, and appending stays as cheap at the millionth line as at the
// first. While scrolled to the bottom it follows the newest line; scrolled up, it keeps
// showing the same lines while new ones arrive and old ones are dropped.
//
// Whole lines are selected with the mouse (click, shift-click, drag) or Ctrl+A and copied
// with Ctrl+C or the context menu.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <cstdint>

namespace vx {
class LineStore;
}

class LineMemo : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LineMemo(const vx::LineStore& store, QWidget* parent = nullptr);

    // The store changed (lines appended or dropped, or cleared): the scroll range follows and
    // the lines on screen are drawn again.
    void storeChanged();

    // Every line held, joined by '\n'.
    QString toPlainText() const;
    // The selected lines, joined by '\n' (empty when none are selected).
    QString selectedText() const;
    void selectAll();
    void clearSelection();
    // Puts the selected lines on the clipboard.
    void copy() const;

    // The store's index of the top line on screen.
    int firstVisibleLine() const;
    // Lines that fit on screen.
    int visibleLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Line numbers count from the first line appended since the last clear, so they stay
    // valid while older lines are dropped: store index = number - dropped.
    int64_t lineAt(int y) const;
    void updateScrollRange(bool followBottom);
    QString joined(uint64_t firstNumber, uint64_t lastNumber) const;

    const vx::LineStore& store_;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    uint64_t seenAppended_ = 0;
    uint64_t seenDropped_ = 0;
    int longestLine_ = 0; // characters, of the lines seen so far
    int64_t anchor_ = -1; // selection: line numbers, -1 when nothing is selected
    int64_t cursor_ = -1;
};
