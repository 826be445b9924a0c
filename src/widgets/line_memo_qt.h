// A read-only memo over the lines of a vx::LineStore (the error window's refused frames).
//
// It draws only the lines on screen, so a store of a million lines costs the store's compact
// memory and nothing more here, and appending stays as cheap at the millionth line as at the
// first. While scrolled to the bottom it follows the newest line; scrolled up, it keeps
// showing the same lines while new ones arrive and old ones are dropped.
//
// Whole lines are selected with the mouse (click, shift-click, drag) or Ctrl+A and copied
// with Ctrl+C or the context menu.
//
// To assistive technology the memo is read-only multi-line text named by its accessible name:
// the lines are readable over the accessibility bus through the text interface. The store can
// hold millions of lines, so a reader gets a window of them (readableLines): the newest lines
// up to a cap of lines and characters when the lines on screen are among them, otherwise the
// lines from the top one on screen. The caret is at the start of the current line (the last
// one clicked) or else of the top line on screen; the selection is the selected lines.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <cstdint>
#include <vector>

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

    // The lines a reader gets, as line numbers [first, end) counted like the store's
    // appended() (the store's index is number - dropped()), and their text joined by '\n'.
    static constexpr int kReadableLineCap = 1000;
    static constexpr int kReadableCharCap = 256 * 1024;
    struct LineRange {
        uint64_t first = 0, end = 0;
    };
    LineRange readableLines() const;
    QString readableText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class LineMemoAccessible;

    // The readable window with its text and the offset of each line's start in it, built
    // again when the window moves or the store was cleared.
    struct Readable {
        LineRange lines;
        uint64_t generation = 0;
        QString text;
        std::vector<int> starts;
    };
    const Readable& readable() const;
    // Scrolls the line (a line number) into view.
    void showLine(uint64_t number);

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
    uint64_t generation_ = 0; // bumped when the store is cleared
    mutable Readable readable_;
};
