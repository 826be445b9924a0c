#include "console/settings_form.h"

#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

Keys keysOf(const std::vector<uint8_t>& keys) {
    Keys k;
    for (uint8_t s : keys) k.add(s);
    return k;
}

} // namespace

SettingsForm::SettingsForm(Console& console, const vx::DialogSpec& spec, QWidget* parent)
    : QuerySetForm(console, spec.window, parent, spec.policy.timeoutMs), spec_(spec) {
    build();

    const auto expiry = spec_.policy.expiryClears ? Request::ClearOnExpiry : Request::KeepOnExpiry;
    for (int g = 0; g < int(spec_.groups.size()); ++g) {
        const vx::GroupSpec& gs = spec_.groups[size_t(g)];
        groups_[size_t(g)].query = &addRequest(findChild<Lamp*>(gs.queryLed), expiry);
        if (gs.setButton) groups_[size_t(g)].set = &addRequest(findChild<Lamp*>(gs.setLed), expiry);
        if (!spec_.policy.setEnabledAtStart && groups_[size_t(g)].setButton)
            groups_[size_t(g)].setButton->setEnabled(false);
    }

    onDelivery(vx::HandlerRole::Reply,
               [this](const vx::Delivery& d, const vx::RouteStep& s) { onReply(d, s); });
    onQueryAck([this](const vx::AckRecord& a) { onAck(a, false); });
    onSetAck([this](const vx::AckRecord& a) { onAck(a, true); });
}

// ---- Layout -------------------------------------------------------------------------------------

void SettingsForm::build() {
    groups_.resize(spec_.groups.size());
    sectionGrids_.resize(spec_.sections.size(), nullptr);
    sectionColumns_.resize(spec_.sections.size(), nullptr);
    auto* outer = new QVBoxLayout(this);

    if (spec_.policy.tabs) {
        tabs_ = new QTabWidget(this);
        tabs_->setObjectName("PageControl1");
        tabs_->setUsesScrollButtons(false); // every page caption in view
        for (size_t i = 0; i < spec_.sections.size(); ++i) {
            const vx::SectionSpec& s = spec_.sections[i];
            auto* page = new QWidget(tabs_);
            if (s.objectName) page->setObjectName(s.objectName);
            auto* grid = new QGridLayout(page);
            QWidget* fields = buildSection(i, page);
            grid->addWidget(fields, 0, 0, 1, 4);
            // Each page carries the buttons of the group its fields belong to.
            const int g = s.fields.empty() ? -1 : spec_.groupOf(s.fields.front());
            if (g >= 0) addGroupButtons(g, page, grid, 1);
            grid->setRowStretch(2, 1);
            tabs_->addTab(page, text(s.caption));
        }
        outer->addWidget(tabs_);
    } else {
        auto* boxes = new QGridLayout;
        const int perRow = std::max(1, spec_.policy.sectionColumns);
        std::vector<bool> placed(spec_.groups.size(), false);
        for (size_t i = 0; i < spec_.sections.size(); ++i) {
            const vx::SectionSpec& s = spec_.sections[i];
            QWidget* box = buildSection(i, this);
            // A group's buttons sit in the first box of its own.
            const int g = s.group;
            if (g >= 0 && size_t(g) < placed.size() && !placed[size_t(g)]) {
                sectionColumns_[i]->addWidget(addGroupButtonRow(g, box));
                placed[size_t(g)] = true;
            }
            const int row = s.gridRow >= 0 ? s.gridRow : int(i) / perRow;
            const int col = s.gridColumn >= 0 ? s.gridColumn : int(i) % perRow;
            boxes->addWidget(box, row, col, std::max(1, s.rowSpan), 1, Qt::AlignTop);
        }
        outer->addLayout(boxes);
        auto* buttons = new QGridLayout;
        for (int g = 0; g < int(spec_.groups.size()); ++g)
            if (!placed[size_t(g)]) addGroupButtons(g, this, buttons, g * 2);
        outer->addLayout(buttons);
    }

    buttonRow_ = new QHBoxLayout;
    if (spec_.policy.queryAllButton) {
        queryAllButton_ = new QPushButton("Query All", this);
        queryAllButton_->setObjectName(spec_.policy.queryAllButton);
        connect(queryAllButton_, &QPushButton::clicked, this, &SettingsForm::queryAllButtonClick);
        buttonRow_->addWidget(queryAllButton_);
    }
    buttonRow_->addStretch();
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName(spec_.policy.closeButton);
    connect(closeButton_, &QPushButton::clicked, this, &SettingsForm::closeButtonClick);
    buttonRow_->addWidget(closeButton_);
    outer->addLayout(buttonRow_);
}

QWidget* SettingsForm::buildSection(size_t index, QWidget* parent) {
    const vx::SectionSpec& s = spec_.sections[index];
    QWidget* box;
    if (s.caption && !spec_.policy.tabs) {
        auto* g = new QGroupBox(text(s.caption), parent);
        if (s.objectName) g->setObjectName(s.objectName);
        box = g;
    } else {
        box = new QWidget(parent);
    }
    auto* column = new QVBoxLayout(box);
    auto* grid = new QGridLayout;
    column->addLayout(grid);
    sectionGrids_[index] = grid;
    sectionColumns_[index] = column;

    const int columns = std::max(1, s.columns ? s.columns : spec_.policy.columns);
    // Rows of fields: a field starts a row unless it joins the one before it.
    std::vector<int> rowStarts;
    for (size_t i = 0; i < s.fields.size(); ++i)
        if (i == 0 || !s.fields[i].sameRow) rowStarts.push_back(int(i));
    const int rows = std::max(1, int((rowStarts.size() + size_t(columns) - 1) / size_t(columns)));
    int headerRow = -1;
    for (size_t r = 0; r < rowStarts.size(); ++r) {
        int row = int(r) % rows;
        const int col = int(r) / rows * 3;
        if (!s.header.empty() && rowStarts[r] >= s.headerAt) {
            if (headerRow < 0) {
                headerRow = row;
                for (size_t h = 0; h < s.header.size(); ++h) {
                    auto* caption = new QLabel(text(s.header[h]), box);
                    grid->addWidget(caption, row, h == 0 ? 0 : int(h) * 3 - 2);
                }
            }
            ++row;
        }
        const size_t end = r + 1 < rowStarts.size() ? size_t(rowStarts[r + 1]) : s.fields.size();
        for (size_t i = size_t(rowStarts[r]); i < end; ++i)
            addFieldControl(s.fields[i], box, grid, row, col + int(i - size_t(rowStarts[r])) * 3);
    }
    if (s.checkAll) addCheckAll(s, box, column);
    return box;
}

void SettingsForm::addFieldControl(const vx::FieldSpec& f, QWidget* box, QGridLayout* grid, int row,
                                   int col) {
    Control c{&f, spec_.groupOf(f)};
    QWidget* w = nullptr;
    switch (f.kind) {
    case vx::FieldKind::Choice:
        c.list = new QComboBox(box);
        for (const vx::ChoiceItem& item : f.items) c.list->addItem(text(item.text));
        c.list->setCurrentIndex(f.initialItem);
        // Any change of a list in a group with a Set-enable rule applies the rule.
        if (groupHasSetRule(c.group)) {
            const int g = c.group;
            connect(c.list, &QComboBox::currentIndexChanged, this, [this, g] { applySetRule(g); });
        }
        w = c.list;
        break;
    case vx::FieldKind::Number:
    case vx::FieldKind::Text:
        c.box = new QLineEdit(box);
        c.box->setReadOnly(f.kind == vx::FieldKind::Text);
        w = c.box;
        break;
    case vx::FieldKind::Radio: {
        auto* group = new QGroupBox(text(f.label).remove(':'), box);
        auto* radioGrid = new QGridLayout(group);
        c.radios = new QButtonGroup(group);
        for (size_t i = 0; i < f.items.size(); ++i) {
            auto* b = new QRadioButton(text(f.items[i].text), group);
            b->setObjectName(QString(f.objectName) + QString::number(i));
            c.radios->addButton(b, int(i));
            radioGrid->addWidget(b, int(i) / 2, int(i) % 2);
        }
        if (f.initialItem >= 0 && c.radios->button(f.initialItem))
            c.radios->button(f.initialItem)->setChecked(true);
        group->setObjectName(f.objectName);
        grid->addWidget(group, row, col, 1, 3);
        controls_.push_back(c);
        return;
    }
    case vx::FieldKind::Check:
        c.check = new QCheckBox(text(f.label), box);
        c.check->setObjectName(f.objectName);
        grid->addWidget(c.check, row, col, 1, 3);
        controls_.push_back(c);
        return;
    }
    w->setObjectName(f.objectName);
    if (f.label && *f.label) {
        auto* label = new QLabel(text(f.label), box);
        if (f.labelName) label->setObjectName(f.labelName);
        label->setBuddy(w);
        grid->addWidget(label, row, col);
    } else {
        w->setAccessibleName(QString::fromStdString(vx::fieldName(f)));
    }
    grid->addWidget(w, row, col + 1);
    if (f.unit) grid->addWidget(new QLabel(text(f.unit), box), row, col + 2);
    controls_.push_back(c);
}

void SettingsForm::addCheckAll(const vx::SectionSpec& s, QWidget* box, QVBoxLayout* column) {
    auto* all = new QCheckBox("Check All", box);
    all->setObjectName(s.checkAll);
    column->addWidget(all);
    connect(all, &QCheckBox::toggled, this, [this, &s, all](bool on) {
        all->setText(on ? "Uncheck All" : "Check All");
        for (const vx::FieldSpec& f : s.fields)
            if (Control* c = control(f); c && c->check) c->check->setChecked(on);
    });
}

void SettingsForm::addGroupButtons(int g, QWidget* parent, QGridLayout* grid, int row) {
    const vx::GroupSpec& gs = spec_.groups[size_t(g)];
    auto* query = new QPushButton(text(gs.queryCaption), parent);
    query->setObjectName(gs.queryButton);
    auto* queryLed = new Lamp(parent, kLedSize);
    queryLed->setObjectName(gs.queryLed);
    grid->addWidget(query, row, 0);
    grid->addWidget(queryLed, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
    groups_[size_t(g)].queryButton = query;
    connect(query, &QPushButton::clicked, this, [this, g] { queryButtonClick(g); });
    if (gs.setButton) {
        auto* set = new QPushButton("Set", parent);
        set->setObjectName(gs.setButton);
        auto* setLed = new Lamp(parent, kLedSize);
        setLed->setObjectName(gs.setLed);
        grid->addWidget(set, row + 1, 0);
        grid->addWidget(setLed, row + 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
        groups_[size_t(g)].setButton = set;
        connect(set, &QPushButton::clicked, this, [this, g] { setButtonClick(g); });
    }
    grid->setColumnStretch(2, 1);
}

QWidget* SettingsForm::addGroupButtonRow(int g, QWidget* parent) {
    const vx::GroupSpec& gs = spec_.groups[size_t(g)];
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* query = new QPushButton(text(gs.queryCaption), row);
    query->setObjectName(gs.queryButton);
    auto* queryLed = new Lamp(row, kLedSize);
    queryLed->setObjectName(gs.queryLed);
    h->addWidget(query);
    h->addWidget(queryLed);
    groups_[size_t(g)].queryButton = query;
    connect(query, &QPushButton::clicked, this, [this, g] { queryButtonClick(g); });
    if (gs.setButton) {
        auto* set = new QPushButton("Set", row);
        set->setObjectName(gs.setButton);
        auto* setLed = new Lamp(row, kLedSize);
        setLed->setObjectName(gs.setLed);
        h->addSpacing(12);
        h->addWidget(set);
        h->addWidget(setLed);
        groups_[size_t(g)].setButton = set;
        connect(set, &QPushButton::clicked, this, [this, g] { setButtonClick(g); });
    }
    h->addStretch();
    groups_[size_t(g)].buttonRow = h;
    return row;
}

QGridLayout* SettingsForm::sectionGrid(int section) const {
    return section >= 0 && size_t(section) < sectionGrids_.size() ? sectionGrids_[size_t(section)]
                                                                  : nullptr;
}

QVBoxLayout* SettingsForm::sectionColumn(int section) const {
    return section >= 0 && size_t(section) < sectionColumns_.size()
               ? sectionColumns_[size_t(section)]
               : nullptr;
}

QHBoxLayout* SettingsForm::groupButtonRow(int g) const {
    return g >= 0 && size_t(g) < groups_.size() ? groups_[size_t(g)].buttonRow : nullptr;
}

// ---- Controls -----------------------------------------------------------------------------------

SettingsForm::Control* SettingsForm::control(const vx::FieldSpec& f) {
    for (Control& c : controls_)
        if (c.field == &f) return &c;
    return nullptr;
}

const SettingsForm::Control* SettingsForm::control(const vx::FieldSpec& f) const {
    for (const Control& c : controls_)
        if (c.field == &f) return &c;
    return nullptr;
}

vx::ControlInput SettingsForm::inputOf(const vx::FieldSpec& f) const {
    vx::ControlInput in;
    const Control* c = control(f);
    if (!c) return in;
    if (c->list) in.item = c->list->currentIndex();
    if (c->radios) in.item = c->radios->checkedId();
    if (c->box) in.text = c->box->text().toStdString();
    if (c->check) in.checked = c->check->isChecked();
    return in;
}

vx::InputOf SettingsForm::inputs() const {
    return [this](const vx::FieldSpec& f) { return inputOf(f); };
}

void SettingsForm::showOutput(Control& c, const vx::ControlOutput& out) {
    if (c.list) c.list->setCurrentIndex(out.item);
    if (c.box) c.box->setText(QString::fromStdString(out.text));
    if (c.check) c.check->setChecked(out.checked);
    if (c.radios) {
        if (QAbstractButton* b = c.radios->button(out.item)) {
            b->setChecked(true);
        } else { // no item: every button off
            c.radios->setExclusive(false);
            for (QAbstractButton* x : c.radios->buttons()) x->setChecked(false);
            c.radios->setExclusive(true);
        }
    }
}

bool SettingsForm::groupHasSetRule(int g) const {
    for (const vx::FieldSpec* f : spec_.fields(g))
        if (f->disablesSetAt >= 0) return true;
    return false;
}

void SettingsForm::applySetRule(int g) {
    if (g < 0 || size_t(g) >= groups_.size() || !groups_[size_t(g)].setButton) return;
    bool enabled = true;
    for (const Control& c : controls_)
        if (c.group == g && c.list && c.field->disablesSetAt >= 0 &&
            c.list->currentIndex() == c.field->disablesSetAt)
            enabled = false;
    groups_[size_t(g)].setButton->setEnabled(enabled);
}

// ---- Requests -----------------------------------------------------------------------------------

bool SettingsForm::queryPending(int g) const {
    return g >= 0 && size_t(g) < groups_.size() && groups_[size_t(g)].query->pending();
}

bool SettingsForm::setPending(int g) const {
    return g >= 0 && size_t(g) < groups_.size() && groups_[size_t(g)].set &&
           groups_[size_t(g)].set->pending();
}

bool SettingsForm::anyQueryPending() const {
    for (const Group& g : groups_)
        if (g.query->pending()) return true;
    return false;
}

void SettingsForm::FormShow() {
    if (!spec_.policy.queryOnShow) return;
    if (spec_.policy.queryAllButton)
        queryAllButtonClick();
    else
        queryButtonClick(0);
}

void SettingsForm::queryAllButtonClick() {
    for (int g = 0; g < int(groups_.size()); ++g) queryButtonClick(g);
}

void SettingsForm::refuse(const vx::RequestBuild& b) {
    msg::show(this, msg::Kind::Error, "Error", QString::fromStdString(b.error));
    if (!b.field) return;
    if (Control* c = control(*b.field)) {
        if (c->box) c->box->setFocus();
        if (c->list) c->list->setFocus();
        if (c->radios && !c->radios->buttons().isEmpty()) c->radios->buttons().front()->setFocus();
    }
}

void SettingsForm::queryButtonClick(int g) {
    if (g < 0 || size_t(g) >= groups_.size()) return;
    Group& group = groups_[size_t(g)];
    const vx::RequestBuild b = vx::buildQuery(spec_, g, inputs());
    if (!b.ok() && !spec_.policy.refuseSilently) {
        refuse(b);
        return;
    }
    const Keys keys = keysOf(b.ok() ? b.keys : vx::requestKeys(spec_, g));
    if (spec_.policy.requestsSupersede)
        beginRequest(*group.query, keys, {group.set});
    else
        beginRequest(*group.query, keys);
    // A box that does not hold a target sends nothing: the time-out paints the LED red.
    if (b.ok()) sendScript(b.script, group.queryButton);
}

void SettingsForm::setButtonClick(int g) {
    if (g < 0 || size_t(g) >= groups_.size() || !groups_[size_t(g)].set) return;
    Group& group = groups_[size_t(g)];
    // Every control of the group is read before the first frame: nothing goes out unless all
    // of it can.
    const vx::RequestBuild b = vx::buildSet(
        spec_, g, inputs(), [this, g](const vx::PacketLayout& l, int key, vx::FieldValues& v) {
            return completePacket(g, l, key, v);
        });
    if (!b.ok() && !spec_.policy.refuseSilently) {
        refuse(b);
        return;
    }
    const Keys keys = keysOf(b.ok() ? b.keys : vx::requestKeys(spec_, g));
    if (spec_.policy.requestsSupersede)
        beginRequest(*group.set, keys, {group.query});
    else
        beginRequest(*group.set, keys);
    if (b.ok()) sendScript(b.script, group.setButton);
}

void SettingsForm::closeButtonClick() {
    close();
}

bool SettingsForm::takesReply(const vx::ReplyMatch&) {
    return true;
}

void SettingsForm::replied(const vx::ReplyMatch&, const vx::FieldValues&) {}

bool SettingsForm::completePacket(int, const vx::PacketLayout&, int, vx::FieldValues&) {
    return true;
}

// ---- Replies and acknowledgements ---------------------------------------------------------------

void SettingsForm::onReply(const vx::Delivery& d, const vx::RouteStep& s) {
    // The packet's own code and subcode (a routing step need not carry the subcode); in the
    // nested 0x02 form they are the second header byte and the first payload byte.
    const vx::Routed at = RouteBinding::routedOf(d, s);
    if (at.nested && d.payloadLength() == 0) return;
    const uint8_t code = at.nested ? d.h2 : d.h1;
    const uint8_t subcode = at.nested ? d.payload()[0] : d.h2;
    const std::optional<vx::FieldValues> values = vx::replyValues(d.record, subcode);
    if (!values) return;
    const std::optional<vx::ReplyMatch> m = vx::matchReply(spec_, code, subcode, *values, inputs());
    if (!m) return; // a subcode or entry this window does not show
    // A reply shorter than its packet's layout (accepted by the decoder with the missing bytes
    // as zeros) shows nothing: its request times out instead of showing made-up values.
    const vx::PacketLayout* l = spec_.layout(m->group, m->subcode);
    const size_t n = d.payloadLength() - (at.nested && d.payloadLength() > 0 ? 1 : 0);
    if (!l || n < l->size) return;
    if (!takesReply(*m)) return;

    for (Control& c : controls_)
        if (vx::showsReply(spec_, *c.field, *m))
            showOutput(c, vx::showField(spec_, *c.field, *values));
    applySetRule(m->group);
    Request& query = *groups_[size_t(m->group)].query;
    if (at.nested) {
        // The nested form answers no request: it fills its controls and shows that the
        // receiver spoke, leaving what is pending alone.
        if (query.led()) query.led()->setColour(lamp::kGreen);
    } else {
        query.answer(m->pendingKey);
    }
    if (spec_.policy.replyRearmsTimer) armTimer();
    replied(*m, *values);
}

void SettingsForm::onAck(const vx::AckRecord& a, bool set) {
    const std::optional<vx::ReplyMatch> m = vx::matchAck(spec_, a, inputs());
    if (!m) return; // an acknowledgement for a subcode or entry this window does not have
    Group& group = groups_[size_t(m->group)];
    const vx::DialogPolicy& p = spec_.policy;
    if (set) {
        if (!group.set) return;
        if (p.ackEndsRequest || p.setAckEnds)
            group.set->finish(a.result == 0);
        else if (a.result == 0)
            group.set->answer(m->pendingKey);
        else
            group.set->reject();
        return;
    }
    // A Query is answered by its reply; its acknowledgement reports a refusal, and where the
    // dialog says so ends the Query or answers it.
    Request& r = *group.query;
    if (a.result != 0) {
        if (p.ackEndsRequest || p.queryRefusalEnds)
            r.finish(false);
        else
            r.reject();
    } else if (p.queryAckAnswers) {
        r.answer(m->pendingKey);
    } else if (p.ackEndsRequest) {
        r.cancel();
    }
}
