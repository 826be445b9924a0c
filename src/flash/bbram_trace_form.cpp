#include "flash/bbram_trace_form.h"

#include "flash/row_model_qt.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <chrono>

namespace {

QCheckBox* check(QWidget* parent, const QString& text, const char* name, bool on) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setChecked(on);
    return c;
}

QStringList headers() {
    QStringList h;
    for (const char* c : vx::kBbramTraceHeaders) h << c;
    return h;
}

} // namespace

TBbramTraceForm::TBbramTraceForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TBbramTraceForm, this),
      model_(new RowModel(headers(), vx::kBbramTraceRows, this)) {
    centreOnFirstShow();
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    enabledCheck_ = check(this, "Trace", "cbEnabled", true);
    autoscrollCheck_ = check(this, "Autoscroll", "cbAutoscroll", true);
    clearButton_ = new QPushButton("Clear", this);
    clearButton_->setObjectName("btnClear");
    auto* controls = new QVBoxLayout;
    controls->addWidget(enabledCheck_);
    controls->addWidget(autoscrollCheck_);
    controls->addWidget(clearButton_);
    top->addLayout(controls);

    auto* autoGroup = new QGroupBox("Auto Data", this);
    auto* autoBoxes = new QVBoxLayout(autoGroup);
    auto* userGroup = new QGroupBox("User Data", this);
    auto* userBoxes = new QVBoxLayout(userGroup);
    for (size_t i = 0; i < vx::kBbramStructures.size(); ++i) {
        const vx::BbramStructure& s = vx::kBbramStructures[i];
        QGroupBox* g = s.automatic ? autoGroup : userGroup;
        structureChecks_[i] = check(g, s.name, s.boxName, true);
        (s.automatic ? autoBoxes : userBoxes)->addWidget(structureChecks_[i]);
    }
    allAutoCheck_ = check(this, "All Auto", "cbAllAuto", true);
    allUserCheck_ = check(this, "All User", "cbAllUser", true);
    autoBoxes->addWidget(allAutoCheck_);
    userBoxes->addWidget(allUserCheck_);
    top->addWidget(autoGroup);
    top->addWidget(userGroup);
    top->addStretch();
    layout->addLayout(top);

    table_ = new QTableView(this);
    table_->setObjectName("lvBbram");
    table_->setModel(model_);
    table_->setShowGrid(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumSize(760, 260);
    layout->addWidget(table_, 1);

    connect(clearButton_, &QPushButton::clicked, this, &TBbramTraceForm::btnClearClick);
    connect(allAutoCheck_, &QCheckBox::clicked, this, &TBbramTraceForm::cbAllAutoClick);
    connect(allUserCheck_, &QCheckBox::clicked, this, &TBbramTraceForm::cbAllUserClick);

    routes_.onRecord<vx::BbramActivityRecord>(
        vx::HandlerRole::Reply,
        [this](const vx::BbramActivityRecord& r, const vx::Routed&) { activity(r); });
}

void TBbramTraceForm::activity(const vx::BbramActivityRecord& r) {
    if (!enabledCheck_->isChecked()) return;
    std::array<bool, vx::kBbramStructureCount> checked{};
    for (size_t i = 0; i < checked.size(); ++i) checked[i] = structureChecks_[i]->isChecked();
    if (!vx::bbramTracePasses(r, checked)) return;
    const auto row = vx::bbramTraceRow(r, vx::traceTimeText(std::chrono::system_clock::now()));
    std::vector<QString> cells;
    for (const std::string& c : row) cells.push_back(QString::fromStdString(c));
    model_->append(std::move(cells));
    if (autoscrollCheck_->isChecked()) table_->scrollToBottom();
}

void TBbramTraceForm::btnClearClick() {
    model_->clear();
}

void TBbramTraceForm::cbAllAutoClick() {
    for (size_t i = 0; i < vx::kBbramStructures.size(); ++i)
        if (vx::kBbramStructures[i].automatic)
            structureChecks_[i]->setChecked(allAutoCheck_->isChecked());
}

void TBbramTraceForm::cbAllUserClick() {
    for (size_t i = 0; i < vx::kBbramStructures.size(); ++i)
        if (!vx::kBbramStructures[i].automatic)
            structureChecks_[i]->setChecked(allUserCheck_->isChecked());
}
