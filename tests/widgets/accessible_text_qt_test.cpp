// What assistive technology reads of a value panel and of a memo of lines, through the
// interfaces the accessibility bus carries (name, role, state, text). The bus itself is tested
// by tests/program/accessibility_bus_test.py.
#include "widgets/line_memo_qt.h"
#include "widgets/line_store.h"
#include "widgets/panel_qt.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

QAccessibleTextInterface* textOf(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->textInterface() : nullptr;
}

QString line(int i, int width = 0) {
    QString s = QString("line %1").arg(i);
    if (width > s.size()) s += QString(width - s.size(), QLatin1Char('.'));
    return s;
}

struct Memo {
    vx::LineStore store;
    LineMemo memo{store};
    Memo() {
        memo.resize(400, 200);
        memo.show();
    }
    void add(int from, int to, int width = 0) {
        for (int i = from; i < to; ++i) store.append(line(i, width).toStdString());
        memo.storeChanged();
    }
    QStringList readable() { return textOf(&memo)->text(0, -1).split('\n'); }
};

TEST(AccessibleText, PanelGivesItsCaptionAsNameAndItsTextAsText) {
    Panel panel;
    panel.resize(120, 20);
    panel.show();
    panel.setAccessibleName("UTC Time");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&panel);
    ASSERT_NE(a, nullptr);
    QAccessibleTextInterface* t = a->textInterface();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(a->role(), QAccessible::StaticText);
    EXPECT_TRUE(a->state().readOnly);
    EXPECT_EQ(t->characterCount(), 0);
    EXPECT_EQ(t->text(0, -1), "");

    panel.setText("12:34:56");
    EXPECT_EQ(a->text(QAccessible::Name), "UTC Time");
    EXPECT_EQ(a->text(QAccessible::Value), "12:34:56");
    EXPECT_EQ(t->characterCount(), 8);
    EXPECT_EQ(t->text(0, -1), "12:34:56");
    EXPECT_EQ(t->text(3, 5), "34");
    EXPECT_EQ(t->text(6, 99), "56");
    EXPECT_EQ(t->selectionCount(), 0);

    // Every character is on screen inside the panel and found again at its place.
    const QRect panelOnScreen(panel.mapToGlobal(QPoint(0, 0)), panel.size());
    for (int i = 0; i < 8; ++i) {
        const QRect r = t->characterRect(i);
        EXPECT_TRUE(panelOnScreen.contains(r)) << i;
        EXPECT_EQ(t->offsetAtPoint(r.center()), i) << i;
    }
    EXPECT_TRUE(t->characterRect(8).isNull());

    // Without a caption the text is the name too.
    panel.setAccessibleName({});
    EXPECT_EQ(a->text(QAccessible::Name), "12:34:56");
}

TEST(AccessibleText, MemoGivesItsLinesAsReadOnlyMultiLineText) {
    Memo m;
    m.memo.setAccessibleName("Refused frames");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&m.memo);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->textInterface(), nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), "Refused frames");
    EXPECT_TRUE(a->state().readOnly);
    EXPECT_TRUE(a->state().multiLine);
    EXPECT_EQ(a->textInterface()->text(0, -1), "");
    m.add(0, 3);
    EXPECT_EQ(a->textInterface()->text(0, -1), "line 0\nline 1\nline 2");
    // Cleared and filled with as many other lines: the new ones are read.
    m.store.clear();
    m.memo.storeChanged();
    m.add(10, 13);
    EXPECT_EQ(a->textInterface()->text(0, -1), "line 10\nline 11\nline 12");
}

// A store of many lines is read through a window of them that always holds the lines on
// screen: the newest when the view follows them, else those from the top line on screen.
TEST(AccessibleText, MemoReadsAWindowOfLinesThatHoldsTheLinesOnScreen) {
    struct Case {
        const char* what;
        int lines, width;
        int scrollTo; // -1: stay at the bottom
        int first, count;
    };
    const int charCap = LineMemo::kReadableCharCap;
    const int lineCap = LineMemo::kReadableLineCap;
    const Case cases[] = {
        {"few lines: all of them", 50, 0, -1, 0, 50},
        {"many short lines: the newest, capped by count", 3000, 0, -1, 3000 - lineCap, lineCap},
        {"long lines: the newest, capped by size", 600, 2047, -1, 600 - charCap / 2048,
         charCap / 2048},
        {"scrolled up above them: from the top line on screen", 3000, 0, 100, 100, lineCap},
        {"scrolled up within them: still the newest", 3000, 0, 2500, 3000 - lineCap, lineCap},
        {"scrolled up near the top, long lines", 600, 2047, 10, 10, charCap / 2048},
    };
    for (const Case& c : cases) {
        Memo m;
        m.add(0, c.lines, c.width);
        if (c.scrollTo >= 0) m.memo.verticalScrollBar()->setValue(c.scrollTo);
        const QStringList got = m.readable();
        ASSERT_EQ(got.size(), c.count) << c.what;
        EXPECT_EQ(got.front(), line(c.first, c.width)) << c.what;
        EXPECT_EQ(got.back(), line(c.first + c.count - 1, c.width)) << c.what;
        const auto range = m.memo.readableLines();
        EXPECT_LE(range.first, uint64_t(m.memo.firstVisibleLine())) << c.what;
        EXPECT_GE(range.end, uint64_t(m.memo.firstVisibleLine() + m.memo.visibleLines())) << c.what;
    }
}

TEST(AccessibleText, MemoCaretAndSelectionAreWholeLines) {
    Memo m;
    m.add(0, 5);
    QAccessibleTextInterface* t = textOf(&m.memo);
    // "line 0\nline 1\nline 2\nline 3\nline 4": line n starts at 7 n.
    EXPECT_EQ(t->cursorPosition(), 0); // the top line on screen
    EXPECT_EQ(t->selectionCount(), 0);

    // A reader selecting part of lines 1 to 3 selects them whole, as the mouse does.
    t->setSelection(0, 9, 23);
    EXPECT_EQ(m.memo.selectedText(), "line 1\nline 2\nline 3");
    int start = -1, end = -1;
    ASSERT_EQ(t->selectionCount(), 1);
    t->selection(0, &start, &end);
    EXPECT_EQ(t->text(start, end), "line 1\nline 2\nline 3");
    EXPECT_EQ(t->cursorPosition(), 21); // the line the selection ends on
    t->removeSelection(0);
    EXPECT_EQ(m.memo.selectedText(), "");

    // Clicking a line makes it the current one.
    const int h = QFontMetrics(m.memo.font()).lineSpacing();
    QTest::mouseClick(m.memo.viewport(), Qt::LeftButton, {}, QPoint(10, 2 * h + h / 2));
    EXPECT_EQ(t->cursorPosition(), 14);

    // Characters of the lines on screen are where they are drawn; moving the caret to a line
    // off screen scrolls it into view.
    const QRect r = t->characterRect(16);
    EXPECT_TRUE(
        QRect(m.memo.viewport()->mapToGlobal(QPoint(0, 0)), m.memo.viewport()->size()).contains(r));
    EXPECT_EQ(t->offsetAtPoint(r.center()), 16);
    m.add(5, 200);
    m.memo.verticalScrollBar()->setValue(0);
    const int last = t->characterCount() - 1;
    EXPECT_TRUE(t->characterRect(last).isNull());
    t->setCursorPosition(last);
    EXPECT_FALSE(t->characterRect(last).isNull());
    EXPECT_EQ(t->text(t->cursorPosition(), -1), "line 199");
}

} // namespace
