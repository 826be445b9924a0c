#include "app/ack_form.h"

#include "console/console_qt.h"
#include "link/ack_texts.h"
#include "link/framing.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString hex02(uint8_t v) {
    return QString::asprintf("0x%02X", v);
}

} // namespace

TackForm::TackForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      routes_(console, vx::WindowId::TackForm, this) {

    ackList_ = new QTableWidget(0, ColumnCount, this);
    ackList_->setObjectName("lvAcks");
    ackList_->setHorizontalHeaderLabels({"Command", "Code", "Subcode", "Index", "Acknowledgement"});
    ackList_->verticalHeader()->setVisible(false);
    ackList_->verticalHeader()->setDefaultSectionSize(ackList_->fontMetrics().height() + 4);
    ackList_->horizontalHeader()->setStretchLastSection(true);
    ackList_->setShowGrid(true);
    ackList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ackList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    ackList_->setColumnWidth(ColCommand, 80);
    ackList_->setColumnWidth(ColCode, 70);
    ackList_->setColumnWidth(ColSubcode, 70);
    ackList_->setColumnWidth(ColIndex, 70);

    clearButton_ = new QPushButton("Clear", this);
    clearButton_->setObjectName("clearButton");
    clearButton_->setAutoDefault(false);
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    closeButton_->setAutoDefault(false);
    connect(clearButton_, &QPushButton::clicked, this, &TackForm::clearButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TackForm::closeButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clearButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ackList_);
    layout->addLayout(buttons);
    resize(560, 300);

    routes_.on(vx::HandlerRole::AnyAck, [this](const vx::Delivery& d, const vx::RouteStep& s) {
        std::array<uint8_t, 4> rec{};
        if (const auto* a = d.recordAs<vx::AckRecord>())
            rec = {a->acked_code, a->acked_subcode, a->index, a->result};
        else if (const auto* y = d.recordAs<vx::SysAckRecord>())
            rec = {y->acked_code, y->result, 0, 0};
        showAck(rec, s.arg);
    });
}

TackForm::~TackForm() = default;

void TackForm::showAck(const std::array<uint8_t, 4>& record, uint8_t subcode) {
    if (subcode == 4) return;

    int row = ackList_->rowCount();
    ackList_->insertRow(row);
    auto put = [&](int column, const QString& text) {
        ackList_->setItem(row, column, new QTableWidgetItem(text));
    };
    if (subcode == vx::kCmdSet || subcode == vx::kCmdQuery) {
        put(ColCommand, subcode == vx::kCmdSet ? "Set" : "Query");
        put(ColCode, hex02(record[0]));
        put(ColSubcode, hex02(record[1]));
        put(ColIndex, record[2] == vx::kAckNoIndex ? QString("None") : hex02(record[2]));
        put(ColAck, QString::fromStdString(vx::ackResultText(record[3])));
    } else if (subcode == vx::kCmdSystem) {
        put(ColCommand, "System");
        put(ColCode, hex02(record[0]));
        put(ColSubcode, "None");
        put(ColIndex, "None");
        put(ColAck, record[1] < 10 ? hex02(record[1]) : QString("Unknown"));
    }
    // Any other subcode: the row stays empty.

    if (ackList_->rowCount() > kMaxRows) ackList_->removeRow(0);
    // The new row is the last one.
    ackList_->scrollToBottom();
}

QString TackForm::cellText(int row, int column) const {
    const QTableWidgetItem* item = ackList_->item(row, column);
    return item ? item->text() : QString();
}

int TackForm::rowCount() const {
    return ackList_->rowCount();
}

void TackForm::clearButtonClick() {
    ackList_->setRowCount(0);
}

void TackForm::closeButtonClick() {
    close();
}
