#include "testtools/gen_pkt_form.h"

#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

const char* const kNotSent = "Not sent: the serial link is not running or the write failed.";

} // namespace

TgenPktForm::TgenPktForm(Console& console, QWidget* parent)
    : QuerySetForm(console, vx::WindowId::TgenPktForm, parent) {
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(name);
        return w;
    };
    commandCB_ = new QComboBox(this);
    named(commandCB_, "commandCB");
    commandCB_->addItems(
        {"0x01 (Set)", "0x02 (Query)", "0x03 (System)", "Raw Data (VEXOR)", "Raw Data (Monitor)"});
    commandCB_->setCurrentIndex(-1);
    auto* commandLabel = new QLabel("Command Code:", this);

    pCodeLabel_ = new QLabel("Parser Code:", this);
    named(pCodeLabel_, "pCodeLabel");
    pCodeEdit_ = new QLineEdit(this);
    named(pCodeEdit_, "pCodeEdit");
    pSubcodeLabel_ = new QLabel("Parser Subcode:", this);
    named(pSubcodeLabel_, "pSubcodeLabel");
    pSubcodeEdit_ = new QLineEdit(this);
    named(pSubcodeEdit_, "pSubcodeEdit");
    indexLabel_ = new QLabel("Index:", this);
    named(indexLabel_, "indexLabel");
    indexEdit_ = new QLineEdit(this);
    named(indexEdit_, "indexEdit");
    indexHint_ = new QLabel("(Leave blank for no index)", this);
    seriesCheckBox_ = new QCheckBox("Command will generate", this);
    named(seriesCheckBox_, "seriesCheckBox");
    seriesLabel_ = new QLabel("series of report packets", this);
    named(seriesLabel_, "seriesLabel");
    for (QLineEdit* e : {pCodeEdit_, pSubcodeEdit_, indexEdit_}) e->setMaximumWidth(60);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    dataMemo_ = new QPlainTextEdit(this);
    named(dataMemo_, "dataMemo");
    responseMemo_ = new QPlainTextEdit(this);
    named(responseMemo_, "responseMemo");
    responseMemo_->setReadOnly(true);
    for (QPlainTextEdit* m : {dataMemo_, responseMemo_}) {
        m->setFont(fixed);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m->setMinimumWidth(200);
    }
    // The data box holds at most kMaxDataChars characters: longer input is cut on entry, so
    // what is sent is always what the box shows.
    connect(dataMemo_, &QPlainTextEdit::textChanged, this, [this] {
        const QString t = dataMemo_->toPlainText();
        if (t.size() <= kMaxDataChars) return;
        dataMemo_->setPlainText(t.left(kMaxDataChars));
        dataMemo_->moveCursor(QTextCursor::End);
    });

    sendLED_ = new Lamp(this, kLedSize);
    named(sendLED_, "sendLED");
    sendButton_ = new QPushButton("Send Command", this);
    named(sendButton_, "sendButton");
    closeButton_ = new QPushButton("Close", this);
    named(closeButton_, "closeButton");

    auto* fields = new QGridLayout;
    fields->addWidget(commandLabel, 0, 0);
    fields->addWidget(commandCB_, 0, 1, 1, 2);
    fields->addWidget(pCodeLabel_, 1, 0);
    fields->addWidget(pCodeEdit_, 1, 1);
    fields->addWidget(pSubcodeLabel_, 2, 0);
    fields->addWidget(pSubcodeEdit_, 2, 1);
    fields->addWidget(indexLabel_, 3, 0);
    fields->addWidget(indexEdit_, 3, 1);
    fields->addWidget(indexHint_, 4, 0, 1, 3);
    fields->addWidget(seriesCheckBox_, 5, 0, 1, 3);
    fields->addWidget(seriesLabel_, 6, 0, 1, 3, Qt::AlignRight);
    fields->setRowStretch(7, 1);

    auto* dataGroup = new QGroupBox("Data to Send", this);
    (new QVBoxLayout(dataGroup))->addWidget(dataMemo_);
    auto* responseGroup = new QGroupBox("Response", this);
    (new QVBoxLayout(responseGroup))->addWidget(responseMemo_);
    auto* memos = new QVBoxLayout;
    memos->addWidget(dataGroup);
    memos->addWidget(responseGroup);

    auto* top = new QHBoxLayout;
    top->addLayout(fields);
    top->addLayout(memos, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sendLED_);
    buttons->addWidget(sendButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    resize(460, 267);

    writeCheck_ = new QTimer(this);
    writeCheck_->setInterval(5);
    connect(writeCheck_, &QTimer::timeout, this, &TgenPktForm::writeCheckTimer);
    connect(commandCB_, &QComboBox::currentIndexChanged, this, &TgenPktForm::commandCBChange);
    connect(sendButton_, &QPushButton::clicked, this, &TgenPktForm::sendButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TgenPktForm::closeButtonClick);

    onDelivery(vx::HandlerRole::RawPacket,
               [this](const vx::Delivery& d, const vx::RouteStep&) { packetReceived(d); });
    onDelivery(vx::HandlerRole::AnyAck,
               [this](const vx::Delivery& d, const vx::RouteStep&) { ackReceived(d); });

    commandCBChange(-1);
}

void TgenPktForm::setDataEditable(bool editable) {
    dataMemo_->setReadOnly(!editable);
    QPalette p = dataMemo_->palette();
    p.setColor(QPalette::Text, editable ? palette().color(QPalette::Text) : QColor(Qt::gray));
    dataMemo_->setPalette(p);
}

void TgenPktForm::commandCBChange(int index) {
    // Code, Subcode, Index, Series, Data editable, by item.
    static constexpr bool kEnabled[5][5] = {
        {true, true, true, false, true},    // Set
        {true, true, true, true, false},    // Query
        {true, false, false, false, false}, // System
        {false, false, false, true, true},  // Raw Data (VEXOR)
        {false, false, false, true, true},  // Raw Data (Monitor)
    };
    const bool* e = index >= 0 && index < 5 ? kEnabled[index] : nullptr;
    auto on = [&](int i) { return e ? e[i] : true; };
    pCodeEdit_->setEnabled(on(0));
    pCodeLabel_->setEnabled(on(0));
    pSubcodeEdit_->setEnabled(on(1));
    pSubcodeLabel_->setEnabled(on(1));
    indexEdit_->setEnabled(on(2));
    indexLabel_->setEnabled(on(2));
    indexHint_->setEnabled(on(2));
    seriesCheckBox_->setEnabled(on(3));
    seriesLabel_->setEnabled(on(3));
    setDataEditable(on(4));
}

void TgenPktForm::sendButtonClick() {
    const auto type = vx::GenericType(commandCB_->currentIndex() + 1);
    const std::string code = pCodeEdit_->text().toStdString();
    const std::string subcode = pSubcodeEdit_->text().toStdString();
    const std::string index = indexEdit_->text().toStdString();
    const std::string data = dataMemo_->toPlainText().toStdString();
    std::string err = vx::readGenericInput(cmd_, type, {code, subcode, index, data});
    std::vector<uint8_t> frame;
    if (err.empty()) {
        frame = vx::buildGenericFrame(cmd_);
        if (frame.empty()) err = std::string(vx::kErrSize);
    }
    if (!err.empty()) {
        msg::show(this, msg::Kind::Error, "Error", qs(err));
        return;
    }

    if (writer_.pending()) {
        msg::show(this, msg::Kind::Error, "Error",
                  "The port is still writing the previous command; nothing was sent.");
        return;
    }
    writeCheckTimer(); // a failure of the previous frame is not this one's
    responseMemo_->clear();
    sendLED_->setColour(lamp::kWhite);
    awaiting_ = true;
    // Every send starts the second afresh: "Timed out" means a second after the last send.
    responseTimer()->start();
    writer_.post(console().sink(), std::move(frame));
    writeCheck_->start();
}

void TgenPktForm::writeCheckTimer() {
    if (writer_.pending()) return; // the timer looks again
    writeCheck_->stop();
    const uint64_t failed = writer_.burstsFailed();
    if (failed == failedSeen_) return;
    failedSeen_ = failed;
    appendResponse(kNotSent);
    endWait(lamp::kRed);
    responseTimer()->stop();
}

void TgenPktForm::closeButtonClick() {
    close();
}

void TgenPktForm::appendResponse(const QString& line) {
    responseMemo_->appendPlainText(line);
}

void TgenPktForm::endWait(const QColor& led) {
    sendLED_->setColour(led);
    awaiting_ = false;
}

void TgenPktForm::packetReceived(const vx::Delivery& d) {
    if (!awaiting_) return;
    std::optional<std::string> line =
        vx::replyLine(cmd_, d.h1, d.h2, d.payload(), d.payloadLength());
    if (!line) return;
    appendResponse(qs(*line));
    if (seriesCheckBox_->isChecked()) {
        appendResponse(QString());
        return;
    }
    endWait(lamp::kGreen);
}

void TgenPktForm::ackReceived(const vx::Delivery& d) {
    if (!awaiting_) return;
    vx::AckVerdict v = vx::AckVerdict::NoMatch;
    uint8_t sysResult = 0;
    if (const auto* a = d.recordAs<vx::AckRecord>()) {
        v = vx::matchAck(cmd_, d.h2, *a);
    } else if (const auto* s = d.recordAs<vx::SysAckRecord>(); s && d.h2 == vx::kCmdSystem) {
        v = vx::matchSysAck(cmd_, *s);
        sysResult = s->result;
    }
    if (v == vx::AckVerdict::NoMatch) return;
    if (v == vx::AckVerdict::Failure && cmd_.type == vx::GenericType::System)
        appendResponse(qs(vx::sysStatusLine(sysResult)));
    endWait(v == vx::AckVerdict::Success ? lamp::kGreen : lamp::kRed);
}

void TgenPktForm::responseTimerTimer() {
    responseTimer()->stop();
    if (!awaiting_) return;
    appendResponse("Timed out");
    endWait(lamp::kRed);
}
