#include "console/settings_form.h"

#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <variant>

namespace {

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

// The value of one subcode in a settings record; nullopt for any other record.
std::optional<double> settingOf(const vx::RecordSnapshot& record, uint8_t subcode) {
    return std::visit(
        [subcode](const auto& r) -> std::optional<double> {
            if constexpr (requires { r.value.size(); }) {
                if (subcode < r.value.size()) return r.value[subcode];
            }
            return std::nullopt;
        },
        record);
}

} // namespace

SettingsForm::SettingsForm(Console& console, const vx::DialogSpec& spec, QWidget* parent)
    : QuerySetForm(console, spec.window, parent, spec.policy.timeoutMs), spec_(spec) {
    build();

    const auto expiry = spec_.policy.expiryClears ? Request::ClearOnExpiry : Request::KeepOnExpiry;
    for (int g = 0; g < int(spec_.groups.size()); ++g) {
        const vx::GroupSpec& gs = spec_.groups[size_t(g)];
        groups_[size_t(g)].query = &addRequest(findChild<Lamp*>(gs.queryLed), expiry);
        groups_[size_t(g)].set = &addRequest(findChild<Lamp*>(gs.setLed), expiry);
    }

    onDelivery(vx::HandlerRole::Reply, [this](const vx::Delivery& d, const vx::RouteStep& s) {
        const vx::Routed at = RouteBinding::routedOf(d, s);
        if (auto v = settingOf(d.record, at.subcode)) onReplyFor(at.subcode, *v, at.nested);
    });
    onQueryAck([this](const vx::AckRecord& a) { onAck(a, false); });
    onSetAck([this](const vx::AckRecord& a) { onAck(a, true); });
}

// ---- Layout -------------------------------------------------------------------------------------

void SettingsForm::build() {
    groups_.resize(spec_.groups.size());
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
            QWidget* fields = buildSection(s, page);
            grid->addWidget(fields, 0, 0, 1, 4);
            // Each page carries the buttons of the group its fields belong to.
            const int g = s.fields.empty() ? -1 : spec_.groupOf(s.fields.front().subcode);
            if (g >= 0) addGroupButtons(g, page, grid, 1);
            grid->setRowStretch(2, 1);
            tabs_->addTab(page, text(s.caption));
        }
        outer->addWidget(tabs_);
    } else {
        for (const vx::SectionSpec& s : spec_.sections) outer->addWidget(buildSection(s, this));
        auto* buttons = new QGridLayout;
        for (int g = 0; g < int(spec_.groups.size()); ++g) addGroupButtons(g, this, buttons, g * 2);
        outer->addLayout(buttons);
    }

    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName(spec_.policy.closeButton);
    connect(closeButton_, &QPushButton::clicked, this, &SettingsForm::closeButtonClick);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(closeButton_);
    outer->addLayout(closeRow);
}

QWidget* SettingsForm::buildSection(const vx::SectionSpec& s, QWidget* parent) {
    QWidget* box;
    if (s.caption && !spec_.policy.tabs) {
        auto* g = new QGroupBox(text(s.caption), parent);
        if (s.objectName) g->setObjectName(s.objectName);
        box = g;
    } else {
        box = new QWidget(parent);
    }
    auto* grid = new QGridLayout(box);
    const int columns = std::max(1, spec_.policy.columns);
    const int rows = int((s.fields.size() + size_t(columns) - 1) / size_t(columns));
    for (size_t i = 0; i < s.fields.size(); ++i) {
        const vx::FieldSpec& f = s.fields[i];
        const int row = int(i) % std::max(1, rows);
        const int col = int(i) / std::max(1, rows) * 3;
        auto* label = new QLabel(text(f.label), box);
        if (f.labelName) label->setObjectName(f.labelName);
        Control c{&f};
        QWidget* w;
        if (f.kind == vx::FieldKind::Choice) {
            c.list = new QComboBox(box);
            for (const vx::ChoiceItem& item : f.items) c.list->addItem(text(item.text));
            c.list->setCurrentIndex(f.initialItem);
            w = c.list;
        } else {
            c.box = new QLineEdit(box);
            w = c.box;
        }
        w->setObjectName(f.objectName);
        label->setBuddy(w);
        grid->addWidget(label, row, col);
        grid->addWidget(w, row, col + 1);
        if (f.unit) grid->addWidget(new QLabel(text(f.unit), box), row, col + 2);
        controls_.push_back(c);
    }
    return box;
}

void SettingsForm::addGroupButtons(int g, QWidget* parent, QGridLayout* grid, int row) {
    const vx::GroupSpec& gs = spec_.groups[size_t(g)];
    auto* query = new QPushButton("Query", parent);
    query->setObjectName(gs.queryButton);
    auto* queryLed = new Lamp(parent, kLedSize);
    queryLed->setObjectName(gs.queryLed);
    auto* set = new QPushButton("Set", parent);
    set->setObjectName(gs.setButton);
    auto* setLed = new Lamp(parent, kLedSize);
    setLed->setObjectName(gs.setLed);
    grid->addWidget(query, row, 0);
    grid->addWidget(queryLed, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(set, row + 1, 0);
    grid->addWidget(setLed, row + 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->setColumnStretch(2, 1);
    groups_[size_t(g)].queryButton = query;
    groups_[size_t(g)].setButton = set;
    connect(query, &QPushButton::clicked, this, [this, g] { queryButtonClick(g); });
    connect(set, &QPushButton::clicked, this, [this, g] { setButtonClick(g); });
}

// ---- Requests -----------------------------------------------------------------------------------

bool SettingsForm::queryPending(int g) const {
    return g >= 0 && size_t(g) < groups_.size() && groups_[size_t(g)].query->pending();
}

bool SettingsForm::setPending(int g) const {
    return g >= 0 && size_t(g) < groups_.size() && groups_[size_t(g)].set->pending();
}

void SettingsForm::FormShow() {
    if (spec_.policy.queryOnShow) queryButtonClick(0);
}

namespace {
Keys keysOf(const std::vector<uint8_t>& subcodes) {
    Keys k;
    for (uint8_t s : subcodes) k.add(s);
    return k;
}
} // namespace

void SettingsForm::queryButtonClick(int g) {
    if (g < 0 || size_t(g) >= groups_.size()) return;
    Group& group = groups_[size_t(g)];
    const std::vector<uint8_t> subs = spec_.subcodes(g);
    if (spec_.policy.requestsSupersede)
        beginRequest(*group.query, keysOf(subs), {group.set});
    else
        beginRequest(*group.query, keysOf(subs));
    sendScript(vx::queryScript(spec_, g), group.queryButton);
}

void SettingsForm::setButtonClick(int g) {
    if (g < 0 || size_t(g) >= groups_.size()) return;
    // Every control of the group is read before the first frame: nothing goes out unless all
    // of it can.
    std::vector<vx::SettingValue> values = readGroup(g);
    if (values.empty()) return;
    Group& group = groups_[size_t(g)];
    Keys keys;
    for (const vx::SettingValue& v : values) keys.add(v.subcode);
    if (spec_.policy.requestsSupersede)
        beginRequest(*group.set, keys, {group.query});
    else
        beginRequest(*group.set, keys);
    sendScript(vx::setScript(spec_, values), group.setButton);
}

void SettingsForm::closeButtonClick() {
    close();
}

std::vector<vx::SettingValue> SettingsForm::readGroup(int g) {
    std::vector<vx::SettingValue> values;
    const vx::SettingsGroup& settings = spec_.settings();
    for (uint8_t sub : spec_.subcodes(g)) {
        Control* c = control(sub);
        const vx::SettingDef* def = settings.find(sub);
        if (!c || !def) continue;
        vx::FieldRead r = c->list
                              ? vx::readChoice(*c->field, def->type, c->list->currentIndex())
                              : vx::readNumber(*c->field, def->type, c->box->text().toStdString());
        if (!r.value) {
            msg::show(this, msg::Kind::Error, "Error", QString::fromStdString(r.error));
            if (c->box) c->box->setFocus();
            if (c->list) c->list->setFocus();
            return {};
        }
        values.push_back({sub, *r.value});
    }
    return values;
}

SettingsForm::Control* SettingsForm::control(uint8_t subcode) {
    for (Control& c : controls_)
        if (c.field->subcode == subcode) return &c;
    return nullptr;
}

void SettingsForm::showReply(const vx::FieldSpec& f, double value) {
    Control* c = control(f.subcode);
    if (!c) return;
    if (c->list)
        c->list->setCurrentIndex(vx::itemForValue(f, value));
    else
        c->box->setText(QString::fromStdString(vx::showNumber(f, value)));
}

void SettingsForm::onReplyFor(uint8_t subcode, double value, bool nested) {
    const vx::FieldSpec* f = spec_.field(subcode);
    const int g = spec_.groupOf(subcode);
    if (!f || g < 0) return; // a subcode this window does not show
    showReply(*f, value);
    Request& query = *groups_[size_t(g)].query;
    if (nested) {
        // The nested form carries one setting and answers no request: it fills its control and
        // shows that the receiver spoke, leaving what is pending alone.
        if (query.led()) query.led()->setColour(lamp::kGreen);
    } else {
        query.answer(subcode);
    }
    if (spec_.policy.replyRearmsTimer) armTimer();
}

void SettingsForm::onAck(const vx::AckRecord& a, bool set) {
    const int g = spec_.groupOf(a.acked_subcode);
    if (g < 0) return; // an acknowledgement for a subcode this window does not have
    Request& r = set ? *groups_[size_t(g)].set : *groups_[size_t(g)].query;
    if (set) {
        if (spec_.policy.ackEndsRequest)
            r.finish(a.result == 0);
        else if (a.result == 0)
            r.answer(a.acked_subcode);
        else
            r.reject();
        return;
    }
    // A Query is answered by its reply; its acknowledgement only reports a refusal.
    if (a.result != 0) r.reject();
    if (spec_.policy.ackEndsRequest) r.cancel();
}
