#include "flash/vexor_trace_form.h"

#include "flash/row_model_qt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <chrono>

namespace {

QStringList headers() {
    QStringList h;
    for (const char* c : vx::kVexorTraceHeaders) h << c;
    return h;
}

} // namespace

TVexorTraceForm::TVexorTraceForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TVexorTraceForm, this),
      model_(new RowModel(headers(), vx::kVexorTraceRows, this)) {
    centreOnFirstShow();
    auto* layout = new QVBoxLayout(this);

    auto* group = new QGroupBox("Trace", this);
    auto* grid = new QGridLayout(group);
    for (size_t i = 0; i < vx::kTraceBoxes.size(); ++i) {
        auto* c = new QCheckBox(vx::kTraceBoxes[i].caption, group);
        c->setObjectName(vx::kTraceBoxes[i].objectName);
        kindChecks_[i] = c;
        grid->addWidget(c, int(i / 4), int(i % 4));
    }
    traceCheck_ = new QCheckBox("Trace", group);
    traceCheck_->setObjectName("cbTrace");
    traceCheck_->setChecked(true);
    autoscrollCheck_ = new QCheckBox("Autoscroll", group);
    autoscrollCheck_->setObjectName("cbAutoscroll");
    autoscrollCheck_->setChecked(true);
    clearButton_ = new QPushButton("Clear", group);
    clearButton_->setObjectName("btnClear");
    grid->addWidget(traceCheck_, 0, 4);
    grid->addWidget(autoscrollCheck_, 1, 4);
    grid->addWidget(clearButton_, 0, 5);
    layout->addWidget(group);

    table_ = new QTableView(this);
    table_->setObjectName("lvTrace");
    table_->setModel(model_);
    table_->setShowGrid(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumSize(700, 300);
    layout->addWidget(table_, 1);
    droppedLabel_ = new QLabel(this);
    droppedLabel_->setObjectName("lblDropped");
    droppedLabel_->hide();
    layout->addWidget(droppedLabel_);

    connect(clearButton_, &QPushButton::clicked, this, &TVexorTraceForm::btnClearClick);
    routes_.on(vx::HandlerRole::Trace,
               [this](const vx::Delivery& d, const vx::RouteStep&) { trace(d); });
}

void TVexorTraceForm::trace(const vx::Delivery& d) {
    if (!traceCheck_->isChecked()) return;
    auto kind = vx::traceKind(d.h1, d.h2);
    if (!kind || !kindChecks_[size_t(*kind)]->isChecked()) return;
    std::span<const uint8_t> payload(d.payload(), d.payloadLength());
    const auto row =
        vx::vexorTraceRow(d.h1, d.h2, payload, vx::traceTimeText(std::chrono::system_clock::now()));
    std::vector<QString> cells;
    for (const std::string& c : row) cells.push_back(QString::fromStdString(c));
    const uint64_t droppedBefore = model_->dropped();
    model_->append(std::move(cells));
    if (model_->dropped() != droppedBefore) showDropped();
    if (autoscrollCheck_->isChecked()) table_->scrollToBottom();
}

void TVexorTraceForm::showDropped() {
    droppedLabel_->setText(QString("The list keeps the newest %1 rows: %2 older rows were dropped.")
                               .arg(model_->maxRows())
                               .arg(model_->dropped()));
    droppedLabel_->show();
}

void TVexorTraceForm::btnClearClick() {
    model_->clear();
    droppedLabel_->hide();
}
