#include "widgets/line_memo_qt.h"

#include "widgets/accessible_text_qt.h"
#include "widgets/line_store.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

constexpr int kMargin = 3;

QString lineText(std::string_view line) {
    return QString::fromLatin1(line.data(), qsizetype(line.size()));
}

QAccessibleInterface* lineMemoAccessible(const QString& className, QObject* object);

} // namespace

// What assistive technology reads of the memo: read-only multi-line text over the memo's
// readable window of lines. Offsets count in that window; a line number maps to the offset of
// its first character, and an offset to the line it falls in (a line's '\n' belongs to it).
class LineMemoAccessible : public ReadOnlyTextAccessible {
public:
    explicit LineMemoAccessible(QWidget* w)
        : ReadOnlyTextAccessible(w, QAccessible::EditableText) {}

    LineMemo* memo() const { return static_cast<LineMemo*>(widget()); }

    QAccessible::State state() const override {
        QAccessible::State s = ReadOnlyTextAccessible::state();
        s.multiLine = true;
        return s;
    }
    QString wholeText() const override { return memo()->readable().text; }

    int cursorPosition() const override {
        const LineMemo::Readable& r = memo()->readable();
        if (r.starts.empty()) return 0;
        const int64_t top = int64_t(memo()->store_.dropped()) + memo()->firstVisibleLine();
        const int64_t current = memo()->cursor_;
        if (holds(r, current)) return startOf(r, uint64_t(current));
        return holds(r, top) ? startOf(r, uint64_t(top)) : 0;
    }
    void setCursorPosition(int position) override {
        const int64_t n = lineOf(memo()->readable(), position);
        if (n < 0) return;
        memo()->anchor_ = -1;
        memo()->cursor_ = n;
        memo()->showLine(uint64_t(n));
    }

    int selectionCount() const override {
        int start = 0, end = 0;
        return selectedRange(&start, &end) ? 1 : 0;
    }
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0) selectedRange(startOffset, endOffset);
    }
    // Whole lines are selected: those the range touches. The memo has one selection, which a
    // new one replaces.
    void addSelection(int startOffset, int endOffset) override {
        const LineMemo::Readable& r = memo()->readable();
        const int64_t first = lineOf(r, startOffset);
        const int64_t last = lineOf(r, std::max(startOffset, endOffset - 1));
        if (first < 0 || last < 0) return;
        memo()->anchor_ = first;
        memo()->cursor_ = last;
        memo()->viewport()->update();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override {
        if (selectionIndex == 0) addSelection(startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0) memo()->clearSelection();
    }

    QRect characterRect(int offset) const override {
        const LineMemo::Readable& r = memo()->readable();
        const int64_t n = lineOf(r, offset);
        if (n < 0) return {};
        const int row = int(n - int64_t(memo()->store_.dropped())) - memo()->firstVisibleLine();
        if (row < 0 || row > memo()->visibleLines()) return {};
        const QString line = lineText(memo()->store_.line(size_t(n - memo()->store_.dropped())));
        const int column = offset - startOf(r, uint64_t(n));
        const QFontMetrics fm(memo()->font());
        const int x = kMargin - memo()->horizontalScrollBar()->value() +
                      fm.horizontalAdvance(line.left(column));
        const int width = column < line.size() ? fm.horizontalAdvance(line.at(column))
                                               : fm.horizontalAdvance(QLatin1Char(' '));
        const QPoint topLeft =
            memo()->viewport()->mapToGlobal(QPoint(x, row * memo()->lineHeight_));
        return QRect(topLeft, QSize(width, memo()->lineHeight_));
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint p = memo()->viewport()->mapFromGlobal(point);
        if (!memo()->viewport()->rect().contains(p)) return -1;
        const LineMemo::Readable& r = memo()->readable();
        const int64_t n = int64_t(memo()->store_.dropped()) + memo()->firstVisibleLine() +
                          p.y() / memo()->lineHeight_;
        if (!holds(r, n)) return -1;
        const QString line = lineText(memo()->store_.line(size_t(n - memo()->store_.dropped())));
        const QFontMetrics fm(memo()->font());
        int x = kMargin - memo()->horizontalScrollBar()->value();
        int column = 0;
        while (column < line.size()) {
            x += fm.horizontalAdvance(line.at(column));
            if (p.x() < x) break;
            ++column;
        }
        return startOf(r, uint64_t(n)) + column;
    }
    void scrollToSubstring(int startIndex, int) override {
        const int64_t n = lineOf(memo()->readable(), startIndex);
        if (n >= 0) memo()->showLine(uint64_t(n));
    }

private:
    static bool holds(const LineMemo::Readable& r, int64_t number) {
        return number >= int64_t(r.lines.first) && number < int64_t(r.lines.end);
    }
    static int startOf(const LineMemo::Readable& r, uint64_t number) {
        return r.starts[size_t(number - r.lines.first)];
    }
    // The line an offset falls in, -1 when it is outside the text.
    static int64_t lineOf(const LineMemo::Readable& r, int offset) {
        if (r.starts.empty() || offset < 0 || offset > r.text.size()) return -1;
        const auto it = std::upper_bound(r.starts.begin(), r.starts.end(), offset);
        return int64_t(r.lines.first) + int64_t(it - r.starts.begin()) - 1;
    }
    // The selected lines within the readable window, from the first's start to the last's end;
    // false when none of them is in it.
    bool selectedRange(int* start, int* end) const {
        *start = *end = 0;
        const LineMemo* m = memo();
        if (m->anchor_ < 0) return false;
        const LineMemo::Readable& r = m->readable();
        const int64_t low = std::max(std::min(m->anchor_, m->cursor_), int64_t(r.lines.first));
        const int64_t high = std::min(std::max(m->anchor_, m->cursor_), int64_t(r.lines.end) - 1);
        if (low > high) return false;
        *start = startOf(r, uint64_t(low));
        const size_t next = size_t(high - int64_t(r.lines.first)) + 1;
        *end = next < r.starts.size() ? r.starts[next] - 1 : int(r.text.size());
        return true;
    }
};

namespace {

QAccessibleInterface* lineMemoAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("LineMemo") && object && object->isWidgetType())
        return new LineMemoAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

LineMemo::LineMemo(const vx::LineStore& store, QWidget* parent)
    : QAbstractScrollArea(parent), store_(store) {
    static const bool installed = [] {
        QAccessible::installFactory(lineMemoAccessible);
        return true;
    }();
    (void)installed;
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    setFont(mono);
    const QFontMetrics fm(font());
    lineHeight_ = std::max(1, fm.lineSpacing());
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    storeChanged();
}

int LineMemo::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

int LineMemo::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

void LineMemo::storeChanged() {
    QScrollBar* v = verticalScrollBar();
    const bool atBottom = v->value() >= v->maximum();
    if (store_.appended() < seenAppended_ || store_.dropped() < seenDropped_) {
        // Cleared: start again from the top.
        seenAppended_ = seenDropped_ = 0;
        ++generation_;
        readable_ = Readable{};
        longestLine_ = 0;
        anchor_ = cursor_ = -1;
        v->setValue(0);
    }
    // Lines dropped from the top: the view keeps showing the same lines.
    const uint64_t dropped = store_.dropped() - seenDropped_;
    seenDropped_ = store_.dropped();
    // The width of the lines new since the last change sets the horizontal range.
    const uint64_t firstNew = std::max(seenAppended_, store_.dropped());
    for (uint64_t n = firstNew; n < store_.appended(); ++n) {
        const size_t chars = store_.line(size_t(n - store_.dropped())).size();
        longestLine_ = std::max(longestLine_, int(std::min<size_t>(chars, INT_MAX / 64)));
    }
    seenAppended_ = store_.appended();
    const int keep = int(std::max<int64_t>(0, int64_t(v->value()) - int64_t(dropped)));
    updateScrollRange(false);
    v->setValue(atBottom ? v->maximum() : keep);
    viewport()->update();
}

void LineMemo::updateScrollRange(bool followBottom) {
    QScrollBar* v = verticalScrollBar();
    const bool atBottom = v->value() >= v->maximum();
    const int lines = int(std::min<size_t>(store_.size(), INT_MAX));
    v->setRange(0, std::max(0, lines - visibleLines()));
    v->setPageStep(visibleLines());
    v->setSingleStep(1);
    if (followBottom && atBottom) v->setValue(v->maximum());
    QScrollBar* h = horizontalScrollBar();
    const int width = longestLine_ * charWidth_ + 2 * kMargin;
    h->setRange(0, std::max(0, width - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(charWidth_);
}

void LineMemo::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange(true);
}

void LineMemo::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QFontMetrics fm(font());
    const int first = firstVisibleLine();
    const int x = kMargin - horizontalScrollBar()->value();
    const int64_t selLow = std::min(anchor_, cursor_);
    const int64_t selHigh = std::max(anchor_, cursor_);
    const uint64_t dropped = store_.dropped();
    for (int row = 0; row <= visibleLines(); ++row) {
        const size_t index = size_t(first) + size_t(row);
        if (index >= store_.size()) break;
        const int y = row * lineHeight_;
        const int64_t number = int64_t(dropped + index);
        const bool selected = anchor_ >= 0 && number >= selLow && number <= selHigh;
        if (selected) {
            p.fillRect(0, y, viewport()->width(), lineHeight_,
                       palette().brush(QPalette::Highlight));
            p.setPen(palette().color(QPalette::HighlightedText));
        } else {
            p.setPen(palette().color(QPalette::Text));
        }
        p.drawText(x, y + fm.ascent(), lineText(store_.line(index)));
    }
}

int64_t LineMemo::lineAt(int y) const {
    if (store_.empty()) return -1;
    int64_t index = int64_t(firstVisibleLine()) + (y < 0 ? -1 : y / lineHeight_);
    index = std::clamp<int64_t>(index, 0, int64_t(store_.size()) - 1);
    return int64_t(store_.dropped()) + index;
}

void LineMemo::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int64_t n = lineAt(int(event->position().y()));
    if (n < 0) return;
    if (!(event->modifiers() & Qt::ShiftModifier) || anchor_ < 0) anchor_ = n;
    cursor_ = n;
    viewport()->update();
}

void LineMemo::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || anchor_ < 0) return;
    const int y = int(event->position().y());
    // Dragging past an edge scrolls a line at a time.
    if (y < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (y > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    cursor_ = lineAt(std::clamp(y, 0, std::max(0, viewport()->height() - 1)));
    viewport()->update();
}

void LineMemo::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    QScrollBar* v = verticalScrollBar();
    if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        v->setValue(0);
        return;
    }
    if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        v->setValue(v->maximum());
        return;
    }
    // Arrows and page keys scroll (the scroll area's own handling).
    QAbstractScrollArea::keyPressEvent(event);
}

void LineMemo::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction("&Copy", this, &LineMemo::copy);
    copyAction->setEnabled(anchor_ >= 0);
    menu.addAction("Select &All", this, &LineMemo::selectAll);
    menu.exec(event->globalPos());
}

void LineMemo::selectAll() {
    if (store_.empty()) return;
    anchor_ = int64_t(store_.dropped());
    cursor_ = int64_t(store_.appended()) - 1;
    viewport()->update();
}

void LineMemo::clearSelection() {
    anchor_ = cursor_ = -1;
    viewport()->update();
}

QString LineMemo::joined(uint64_t firstNumber, uint64_t lastNumber) const {
    QString out;
    const uint64_t dropped = store_.dropped();
    firstNumber = std::max(firstNumber, dropped);
    for (uint64_t n = firstNumber; n <= lastNumber && n < store_.appended(); ++n) {
        if (n > firstNumber) out += QLatin1Char('\n');
        out += lineText(store_.line(size_t(n - dropped)));
    }
    return out;
}

QString LineMemo::toPlainText() const {
    if (store_.empty()) return {};
    return joined(store_.dropped(), store_.appended() - 1);
}

QString LineMemo::selectedText() const {
    if (anchor_ < 0) return {};
    return joined(uint64_t(std::min(anchor_, cursor_)), uint64_t(std::max(anchor_, cursor_)));
}

void LineMemo::copy() const {
    const QString text = selectedText();
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

LineMemo::LineRange LineMemo::readableLines() const {
    const uint64_t dropped = store_.dropped();
    const uint64_t appended = store_.appended();
    if (appended == dropped) return {appended, appended};
    auto chars = [&](uint64_t n) { return store_.line(size_t(n - dropped)).size() + 1; };
    // The newest lines within the caps (always one at least).
    uint64_t first = appended;
    size_t total = 0;
    while (first > dropped && appended - first < uint64_t(kReadableLineCap)) {
        const size_t c = chars(first - 1);
        if (first < appended && total + c > size_t(kReadableCharCap)) break;
        total += c;
        --first;
    }
    const uint64_t top = std::min(appended - 1, dropped + uint64_t(firstVisibleLine()));
    if (first <= top) return {first, appended};
    // Scrolled up above them: the lines from the top one on screen.
    uint64_t end = top;
    total = 0;
    while (end < appended && end - top < uint64_t(kReadableLineCap)) {
        const size_t c = chars(end);
        if (end > top && total + c > size_t(kReadableCharCap)) break;
        total += c;
        ++end;
    }
    return {top, end};
}

const LineMemo::Readable& LineMemo::readable() const {
    const LineRange lines = readableLines();
    if (readable_.generation == generation_ && readable_.lines.first == lines.first &&
        readable_.lines.end == lines.end)
        return readable_;
    readable_.lines = lines;
    readable_.generation = generation_;
    readable_.text.clear();
    readable_.starts.clear();
    const uint64_t dropped = store_.dropped();
    for (uint64_t n = lines.first; n < lines.end; ++n) {
        if (n > lines.first) readable_.text += QLatin1Char('\n');
        readable_.starts.push_back(int(readable_.text.size()));
        readable_.text += lineText(store_.line(size_t(n - dropped)));
    }
    return readable_;
}

QString LineMemo::readableText() const {
    return readable().text;
}

void LineMemo::showLine(uint64_t number) {
    if (number < store_.dropped() || number >= store_.appended()) return;
    const int index = int(std::min<uint64_t>(number - store_.dropped(), INT_MAX));
    QScrollBar* v = verticalScrollBar();
    if (index < v->value())
        v->setValue(index);
    else if (index >= v->value() + visibleLines())
        v->setValue(index - visibleLines() + 1);
    viewport()->update();
}
