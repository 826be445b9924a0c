#include "widgets/line_memo_qt.h"

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

} // namespace

LineMemo::LineMemo(const vx::LineStore& store, QWidget* parent)
    : QAbstractScrollArea(parent), store_(store) {
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
