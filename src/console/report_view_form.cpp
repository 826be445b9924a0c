#include "console/report_view_form.h"

#include "link/catalogue.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kCircleSize = 12;

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// Whether a widget's text already equals s (no conversion or allocation for the usual case
// of an unchanged value).
bool sameText(const QString& shown, const std::string& s) {
    return shown == QLatin1StringView(s.data(), qsizetype(s.size()));
}

} // namespace

QColor ReportViewForm::colourOf(vx::Tint t) {
    switch (t) {
    case vx::Tint::White:
        return lamp::kWhite;
    case vx::Tint::Face:
        return Panel::faceColour();
    case vx::Tint::Green:
        return lamp::kGreen;
    case vx::Tint::Red:
        return lamp::kRed;
    case vx::Tint::Yellow:
        return lamp::kYellow;
    case vx::Tint::Grey:
        return QColor(128, 128, 128);
    }
    return lamp::kWhite;
}

ReportViewForm::ReportViewForm(Console& console, const vx::ViewSpec& spec, QWidget* parent)
    : QuerySetForm(console, spec.window, parent), spec_(spec) {
    slots_.resize(spec_.slotCount());
    staged_.resize(spec_.slotCount());
    groups_.resize(spec_.queries.size());
    build();
    for (size_t g = 0; g < spec_.queries.size(); ++g) {
        const vx::ViewQuery& q = spec_.queries[g];
        Group& group = groups_[g];
        for (const vx::ViewAnswer& a : q.answers) group.keys.add(a.key);
        group.request =
            &addRequest(group.led, q.expiryKeeps ? Request::KeepOnExpiry : Request::ClearOnExpiry);
    }
    onDelivery(vx::HandlerRole::Reply,
               [this](const vx::Delivery& d, const vx::RouteStep&) { takeReply(d); });
    onQueryAck([this](const vx::AckRecord& a) { takeAck(a); });
    connect(&console, &Console::deliveriesRun, this, [this](bool more) {
        if (!more || sinceFlush_.hasExpired(kFlushMs)) flush();
    });
    sinceFlush_.start();
}

void ReportViewForm::build() {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    for (size_t b = 0; b < spec_.boxes.size(); ++b) {
        const vx::ViewBox& box = spec_.boxes[b];
        grid->addWidget(buildBox(box, int(b)), box.row, box.column, box.rowSpan, box.columnSpan,
                        Qt::AlignTop);
    }
    if (spec_.table) grid->addWidget(buildTable(*spec_.table), spec_.tableRow, 0, 1, -1);

    buttonRow_ = new QHBoxLayout;
    for (size_t g = 0; g < spec_.queries.size(); ++g) {
        if (spec_.queries[g].box >= 0) continue;
        buttonRow_->addLayout(queryWidgets(int(g)));
    }
    buttonInsert_ = buttonRow_->count();
    buttonRow_->addStretch();
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    buttonRow_->addWidget(closeButton_);
    layout->addLayout(buttonRow_);
    connect(closeButton_, &QPushButton::clicked, this, &ReportViewForm::closeButtonClick);
}

QWidget* ReportViewForm::buildBox(const vx::ViewBox& box, int boxIndex) {
    QWidget* frame =
        box.caption ? new QGroupBox(QString::fromUtf8(box.caption), this) : new QWidget(this);
    if (box.objectName) frame->setObjectName(box.objectName);
    auto* grid = new QGridLayout(frame);
    if (!box.caption) grid->setContentsMargins(0, 0, 0, 0);
    const int columns = std::max(1, box.columns);
    const int perColumn = (box.count + columns - 1) / columns;
    for (int i = 0; i < box.count; ++i) {
        const auto slot = uint16_t(box.first + i);
        const vx::ViewItem& item = spec_.items[slot];
        const int row = perColumn ? i % perColumn : 0;
        const int col = (perColumn ? i / perColumn : 0) * 3;
        QWidget* w = makeSlot(slot, frame);
        if (item.kind == vx::ItemKind::Circle) {
            auto* line = new QHBoxLayout;
            line->addWidget(w);
            line->addWidget(new QLabel(QString::fromUtf8(item.label), frame));
            line->addStretch();
            grid->addLayout(line, row, col, 1, 3);
            continue;
        }
        if (*item.label) {
            auto* label = new QLabel(QString::fromUtf8(item.label), frame);
            label->setBuddy(w);
            grid->addWidget(label, row, col);
        } else if (box.caption) {
            // A panel alone in its box is named by the box.
            w->setAccessibleName(QString::fromStdString(vx::captionName(box.caption)));
        }
        grid->addWidget(w, row, col + 1);
        if (item.unit)
            grid->addWidget(new QLabel(QString::fromUtf8(item.unit), frame), row, col + 2);
    }
    int footRow = perColumn;
    for (size_t g = 0; g < spec_.queries.size(); ++g) {
        if (spec_.queries[g].box != boxIndex) continue;
        QHBoxLayout* foot = queryWidgets(int(g));
        foot->addStretch();
        grid->addLayout(foot, footRow++, 0, 1, 3 * columns);
    }
    return frame;
}

QWidget* ReportViewForm::buildTable(const vx::ViewTable& table) {
    auto* box = new QGroupBox(QString::fromUtf8(table.caption), this);
    if (table.objectName) box->setObjectName(table.objectName);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    for (size_t c = 0; c < table.columns.size(); ++c)
        grid->addWidget(new QLabel(QString::fromUtf8(table.columns[c].heading), box), 0, int(c) + 1,
                        Qt::AlignHCenter);
    for (int r = 0; r < table.rows; ++r) {
        grid->addWidget(new QLabel(QString::number(r + 1), box), r + 1, 0, Qt::AlignRight);
        for (size_t c = 0; c < table.columns.size(); ++c) {
            const uint16_t slot = spec_.cell(r, int(c));
            grid->addWidget(makeSlot(slot, box), r + 1, int(c) + 1, Qt::AlignHCenter);
        }
    }
    return box;
}

QHBoxLayout* ReportViewForm::queryWidgets(int g) {
    const vx::ViewQuery& q = spec_.queries[size_t(g)];
    auto* button = new QPushButton(QString::fromUtf8(q.caption), this);
    button->setObjectName(q.button);
    auto* led = new Lamp(this, kLedSize);
    led->setObjectName(q.led);
    auto* row = new QHBoxLayout;
    row->addWidget(button);
    row->addWidget(led);
    groups_[size_t(g)].button = button;
    groups_[size_t(g)].led = led;
    connect(button, &QPushButton::clicked, this, [this, g] { queryButtonClick(g); });
    return row;
}

QWidget* ReportViewForm::makeSlot(uint16_t slot, QWidget* parent) {
    const vx::ItemKind kind = spec_.slotKind(slot);
    const QString name = QString::fromStdString(spec_.slotName(slot));
    const QString caption = QString::fromStdString(spec_.slotCaption(slot));
    const int chars =
        slot < spec_.items.size()
            ? spec_.items[slot].chars
            : spec_.table->columns[(slot - spec_.items.size()) % spec_.table->columns.size()].chars;
    const QFontMetrics fm(font());
    const int width = fm.horizontalAdvance(QString(std::max(1, chars), QChar('0'))) + 10;
    SlotWidgets& s = slots_[slot];
    QWidget* w = nullptr;
    switch (kind) {
    case vx::ItemKind::Panel: {
        auto* p = new Panel(parent);
        // A fixed size: a new text never asks the layout to run again.
        p->setFixedSize(width, fm.height() + 6);
        p->setColour(colourOf(vx::Tint::Face));
        s.panel = p;
        w = p;
        break;
    }
    case vx::ItemKind::Circle: {
        auto* l = new Lamp(parent, kCircleSize);
        const vx::Tint initial =
            slot < spec_.items.size() ? spec_.items[slot].initial : vx::Tint::Grey;
        l->setColour(colourOf(initial));
        s.lamp = l;
        w = l;
        break;
    }
    case vx::ItemKind::Edit:
    case vx::ItemKind::Entry: {
        auto* e = new QLineEdit(parent);
        e->setReadOnly(kind == vx::ItemKind::Edit);
        e->setFixedWidth(width);
        s.edit = e;
        w = e;
        break;
    }
    case vx::ItemKind::Memo: {
        auto* m = new QPlainTextEdit(parent);
        m->setReadOnly(true);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        const int lines = slot < spec_.items.size() ? spec_.items[slot].lines : 6;
        m->setFixedSize(width + 24, fm.lineSpacing() * lines + 12);
        s.memo = m;
        w = m;
        break;
    }
    case vx::ItemKind::List: {
        auto* l = new QListWidget(parent);
        const int lines = slot < spec_.items.size() ? spec_.items[slot].lines : 6;
        l->setFixedSize(width + 24, fm.lineSpacing() * lines + 12);
        s.list = l;
        w = l;
        break;
    }
    }
    w->setObjectName(name);
    w->setAccessibleName(caption);
    return w;
}

QWidget* ReportViewForm::slotWidget(uint16_t slot) const {
    if (slot >= slots_.size()) return nullptr;
    const SlotWidgets& s = slots_[slot];
    if (s.panel) return s.panel;
    if (s.lamp) return s.lamp;
    if (s.memo) return s.memo;
    if (s.list) return s.list;
    return s.edit;
}

vx::ViewInputs ReportViewForm::inputs() const {
    return [this](uint16_t slot) -> std::string {
        if (slot >= slots_.size()) return {};
        const SlotWidgets& s = slots_[slot];
        if (s.edit) return s.edit->text().toStdString();
        if (s.list && s.list->currentItem() && s.list->currentItem()->isSelected())
            return s.list->currentItem()->text().toStdString();
        return {};
    };
}

void ReportViewForm::stage(const vx::ViewUpdates& u) {
    for (const vx::ViewUpdates::Cell& c : u.cells()) {
        if (c.slot >= staged_.size()) continue;
        Staged& s = staged_[c.slot];
        if (c.hasText) {
            s.text = c.text; // the string keeps its room: no allocation once warm
            s.hasText = true;
        }
        s.tint = c.tint;
        if (!s.dirty) {
            s.dirty = true;
            dirty_.push_back(c.slot);
        }
    }
}

void ReportViewForm::apply(const vx::ViewUpdates& u) {
    stage(u);
    flush();
}

void ReportViewForm::flush() {
    sinceFlush_.start();
    for (uint16_t slot : dirty_) {
        Staged& c = staged_[slot];
        c.dirty = false;
        SlotWidgets& s = slots_[slot];
        if (s.panel) {
            if (c.hasText && !sameText(s.panel->text(), c.text)) s.panel->setText(latin1(c.text));
            s.panel->setColour(colourOf(c.tint));
        } else if (s.lamp) {
            s.lamp->setColour(colourOf(c.tint));
        } else if (s.edit) {
            if (c.hasText && !sameText(s.edit->text(), c.text)) s.edit->setText(latin1(c.text));
        } else if (s.memo) {
            if (c.hasText) s.memo->setPlainText(latin1(c.text));
        } else if (s.list) {
            if (c.hasText) {
                s.list->clear();
                const QString t = latin1(c.text);
                if (!t.isEmpty()) s.list->addItems(t.split('\n'));
            }
        }
        c.hasText = false;
    }
    dirty_.clear();
}

QPushButton* ReportViewForm::addButton(const char* objectName, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(objectName);
    buttonRow_->insertWidget(buttonInsert_++, b);
    return b;
}

bool ReportViewForm::queryPending(int g) const {
    return groups_[size_t(g)].request->pending();
}

bool ReportViewForm::queryPending(int g, uint8_t key) const {
    return groups_[size_t(g)].request->pending(key);
}

void ReportViewForm::FormShow() {
    if (!spec_.clearOnShow.empty()) {
        scratch_.clear();
        for (uint16_t slot : spec_.clearOnShow) scratch_.blank(slot);
        apply(scratch_);
    }
    for (size_t g = 0; g < spec_.queries.size(); ++g) {
        const vx::ViewQuery& q = spec_.queries[g];
        if (q.onShow)
            queryButtonClick(int(g));
        else if (q.whiteOnShow && groups_[g].led)
            groups_[g].led->setColour(lamp::kWhite);
    }
}

void ReportViewForm::queryButtonClick(int g) {
    if (g < 0 || size_t(g) >= groups_.size()) return;
    const vx::ViewQuery& q = spec_.queries[size_t(g)];
    Group& group = groups_[size_t(g)];
    if (q.build) {
        // Arguments from the window's controls: read them all before anything starts.
        vx::QueryScript s = vx::queryScript(q, inputs());
        if (!s.error.empty()) {
            msg::show(this, msg::Kind::Error, "Error", QString::fromStdString(s.error));
            return;
        }
        beforeQuery(g);
        clearFor(q);
        beginRequest(*group.request, group.keys);
        sendScript(std::move(s.script), q.pauseMs > 0 ? group.button : nullptr);
        return;
    }
    beforeQuery(g);
    clearFor(q);
    beginRequest(*group.request, group.keys);
    if (q.pauseMs > 0) {
        // From a timer: the window never waits for the pauses.
        sendScript(vx::queryFrames(q), group.button);
        return;
    }
    for (const vx::QueryFrame& f : q.frames) {
        send([f](vx::FrameSink& sink) {
            return f.second ? vx::sendQuery2(sink, f.code, f.subcode, *f.second)
                            : vx::sendQuery(sink, f.code, f.subcode);
        });
    }
}

void ReportViewForm::clearFor(const vx::ViewQuery& q) {
    if (q.clears.empty()) return;
    scratch_.clear();
    for (uint16_t slot : q.clears) scratch_.blank(slot);
    apply(scratch_);
}

void ReportViewForm::closeButtonClick() {
    close();
}

void ReportViewForm::takeReply(const vx::Delivery& d) {
    scratch_.clear();
    for (const auto& view : views_) {
        const Outcome o = view(d, scratch_);
        if (o == Outcome::Ignored) return;
        if (o == Outcome::Shown) break;
    }
    stage(scratch_);
    if (const auto m = spec_.answerOf(d.h1, d.h2))
        groups_[size_t(m->group)].request->answer(m->key);
}

void ReportViewForm::takeAck(const vx::AckRecord& a) {
    // An acknowledgement of a code or subcode this window does not query is not its own.
    const auto m = spec_.answerOf(a.acked_code, a.acked_subcode);
    if (!m) return;
    Request& r = *groups_[size_t(m->group)].request;
    const vx::ViewQuery& q = spec_.queries[size_t(m->group)];
    if (a.result != 0) {
        r.refuse(m->key);
        if (q.refused) {
            scratch_.clear();
            q.refused(a, scratch_);
            stage(scratch_);
        }
    } else if (q.ackEnds) {
        r.settle(m->key);
    }
}
