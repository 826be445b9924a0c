#include "app/ack_form.h"

#include "app/ack_texts.h"
#include "app/console_qt.h"
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
    : QWidget(parent, Qt::Window), routes_(console, vx::WindowId::TackForm, this) {

    lvAcks = new QTableWidget(0, ColumnCount, this);
    lvAcks->setObjectName("lvAcks");
    lvAcks->setHorizontalHeaderLabels({"Command", "Code", "Subcode", "Index", "Acknowledgement"});
    lvAcks->verticalHeader()->setVisible(false);
    lvAcks->verticalHeader()->setDefaultSectionSize(lvAcks->fontMetrics().height() + 4);
    lvAcks->horizontalHeader()->setStretchLastSection(true);
    lvAcks->setShowGrid(true);
    lvAcks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvAcks->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvAcks->setColumnWidth(ColCommand, 80);
    lvAcks->setColumnWidth(ColCode, 70);
    lvAcks->setColumnWidth(ColSubcode, 70);
    lvAcks->setColumnWidth(ColIndex, 70);

    clearButton = new QPushButton("Clear", this);
    clearButton->setObjectName("clearButton");
    closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    connect(clearButton, &QPushButton::clicked, this, &TackForm::clearButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &TackForm::closeButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clearButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvAcks);
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

    int row = lvAcks->rowCount();
    lvAcks->insertRow(row);
    auto put = [&](int column, const QString& text) {
        lvAcks->setItem(row, column, new QTableWidgetItem(text));
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

    if (lvAcks->rowCount() > kMaxRows) lvAcks->removeRow(0);
    // The new row is the last one.
    lvAcks->scrollToBottom();
}

QString TackForm::cellText(int row, int column) const {
    const QTableWidgetItem* item = lvAcks->item(row, column);
    return item ? item->text() : QString();
}

void TackForm::clearButtonClick() {
    lvAcks->setRowCount(0);
}

void TackForm::closeButtonClick() {
    close();
}
