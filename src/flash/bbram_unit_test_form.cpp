#include "flash/bbram_unit_test_form.h"

#include "link/catalogue.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QPushButton* addressButton(QWidget* parent, const char* text, const char* name) {
    // A label to click: flat, so it reads as the label it is, yet reachable by keyboard.
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFlat(true);
    return b;
}

} // namespace

TBbramUnitTestForm::TBbramUnitTestForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), console_(console),
      routes_(console, vx::WindowId::TBbramUnitTestForm, this) {
    centreOnFirstShow();
    auto* layout = new QVBoxLayout(this);

    auto* testGroup = new QGroupBox("Test to perform", this);
    testGroup->setObjectName("rgTest");
    auto* grid = new QGridLayout(testGroup);
    tests_ = new QButtonGroup(this);
    for (int i = 0; i < vx::kBbramTestCount; ++i) {
        auto* r = new QRadioButton(vx::kBbramTestNames[size_t(i)], testGroup);
        r->setObjectName(QString("rgTest%1").arg(i + 1));
        tests_->addButton(r, i + 1);
        grid->addWidget(r, i / 2, i % 2);
    }
    tests_->button(6)->setChecked(true); // "Memdump PF_ECEF_USER"
    layout->addWidget(testGroup);

    auto* dump = new QGridLayout;
    addressSpin_ = new QSpinBox(this);
    addressSpin_->setObjectName("seAddress");
    addressSpin_->setRange(0, 0x7FFFFFFF);
    addressSpin_->setSingleStep(16);
    addressSpin_->setValue(8192);
    auto* addressCaption = new QLabel("Address", this);
    addressCaption->setBuddy(addressSpin_);
    addressLabel_ = new QLabel(this);
    addressLabel_->setObjectName("lblAddress");
    lengthSpin_ = new QSpinBox(this);
    lengthSpin_->setObjectName("seLen");
    // The length travels in one byte: 255 is the longest dump.
    lengthSpin_->setRange(1, 255);
    lengthSpin_->setSingleStep(16);
    lengthSpin_->setValue(16);
    auto* lengthCaption = new QLabel("len", this);
    lengthCaption->setBuddy(lengthSpin_);
    dump->addWidget(addressCaption, 0, 0);
    dump->addWidget(addressSpin_, 0, 1);
    dump->addWidget(addressLabel_, 0, 2);
    dump->addWidget(lengthCaption, 1, 0);
    dump->addWidget(lengthSpin_, 1, 1);
    layout->addLayout(dump);

    auto* places = new QHBoxLayout;
    bbramButton_ = addressButton(this, "BBRAM: 0x2000", "lblBbram");
    flashButton_ = addressButton(this, "Flash: 0xc70000", "lblFlash");
    flashDriverButton_ = addressButton(this, "FlashDrv: 0x1f000", "lblFlashDriver");
    places->addWidget(bbramButton_);
    places->addWidget(flashButton_);
    places->addWidget(flashDriverButton_);
    places->addStretch();
    layout->addLayout(places);

    sendButton_ = new QPushButton("Send Test Cmd", this);
    sendButton_->setObjectName("btnStore");
    layout->addWidget(sendButton_, 0, Qt::AlignLeft);

    resultsMemo_ = new QPlainTextEdit(this);
    resultsMemo_->setObjectName("mmResults");
    resultsMemo_->setAccessibleName("Results");
    resultsMemo_->setReadOnly(true);
    resultsMemo_->setMaximumBlockCount(kLogLines);
    resultsMemo_->setMinimumSize(420, 220);
    layout->addWidget(resultsMemo_, 1);

    connect(sendButton_, &QPushButton::clicked, this, &TBbramUnitTestForm::btnStoreClick);
    connect(bbramButton_, &QPushButton::clicked, this, &TBbramUnitTestForm::lblBbramClick);
    connect(flashButton_, &QPushButton::clicked, this, &TBbramUnitTestForm::lblFlashClick);
    connect(flashDriverButton_, &QPushButton::clicked, this,
            &TBbramUnitTestForm::lblFlashDriverClick);
    connect(addressSpin_, &QSpinBox::valueChanged, this, &TBbramUnitTestForm::seAddressChange);
    seAddressChange();

    routes_.on(vx::HandlerRole::Reply,
               [this](const vx::Delivery& d, const vx::RouteStep&) { replyReceived(d); });
}

void TBbramUnitTestForm::seAddressChange() {
    addressLabel_->setText(QString::asprintf("0x%08x", unsigned(addressSpin_->value())));
}

void TBbramUnitTestForm::lblBbramClick() {
    addressSpin_->setValue(0x2000);
}

void TBbramUnitTestForm::lblFlashClick() {
    addressSpin_->setValue(0xC70000);
}

void TBbramUnitTestForm::lblFlashDriverClick() {
    addressSpin_->setValue(0x1F000);
}

void TBbramUnitTestForm::btnStoreClick() {
    const int test = tests_->checkedId();
    if (test < 1) return;
    const auto address = uint32_t(addressSpin_->value());
    const auto length = uint32_t(lengthSpin_->value());
    const std::vector<uint8_t> payload = vx::bbramTestPayload(test, address, length);
    const int rc = vx::sendCommand(console_.sink(), 0x01, 0x70, 0x0D, vx::kNoIndex, payload);
    if (rc != 0) {
        resultsMemo_->appendPlainText(QString("Test command %1 was not sent: nothing is "
                                              "monitored, or a flash tool is using the receiver")
                                          .arg(test));
        return;
    }
    if (test == vx::kMemdumpTest) dump_ = vx::MemdumpRequest{address, length};
    resultsMemo_->appendPlainText(QString("Sent test command %1").arg(test));
}

void TBbramUnitTestForm::replyReceived(const vx::Delivery& d) {
    std::span<const uint8_t> payload(d.payload(), d.payloadLength());
    resultsMemo_->appendPlainText(QString::fromStdString(vx::bbramTestReplyText(payload, dump_)));
}
