#include "config/nmea_output_form.h"

#include "widgets/message_qt.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kPorts = 16;
constexpr int kDefaultPort = 15;
constexpr int32_t kDefaultBaud = 4800;

QComboBox* list(QWidget* parent, const char* name, const QStringList& items, int selected) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    box->setCurrentIndex(selected);
    return box;
}
} // namespace

TNMEAOutputForm::TNMEAOutputForm(Console& console, vx::ComSlots& slotMap, QWidget* parent)
    : TNMEAOutputForm(console, slotMap, vx::makeTermiosPort(), parent) {}

TNMEAOutputForm::TNMEAOutputForm(Console& console, vx::ComSlots& slotMap,
                                 std::unique_ptr<vx::SerialPort> port, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      routes_(console, vx::WindowId::TNMEAOutputForm, this), slots_(slotMap),
      writer_(std::move(port)) {
    centreOnFirstShow();
    QStringList ports, bauds;
    for (int i = 1; i <= kPorts; ++i) ports << QString("COM %1").arg(i);
    int baudIndex = 0;
    for (int32_t b : vx::kBaudTable) {
        if (b == kDefaultBaud) baudIndex = int(bauds.size());
        bauds << QString::number(b);
    }
    auto* group = new QGroupBox("NMEA COM Port Settings", this);
    group->setObjectName("GroupBox1");
    comBox_ = list(group, "comBox", ports, kDefaultPort - 1);
    baudBox_ = list(group, "baudBox", bauds, baudIndex);
    parityBox_ = list(group, "parityBox", {"None", "Odd", "Even"}, 0);
    auto* form = new QFormLayout(group);
    form->addRow("COM", comBox_);
    form->addRow("Baud", baudBox_);
    form->addRow("Parity", parityBox_);
    form->addRow("Data Bits", list(group, "dataBox", {"8"}, 0));
    form->addRow("Stop Bits", list(group, "stopBox", {"1"}, 0));

    statusWin_ = new QLabel(this);
    statusWin_->setObjectName("statusWin");
    statusWin_->setMinimumWidth(300);
    statusWin_->setWordWrap(true);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("okButton");
    auto* off = new QPushButton("Off", this);
    off->setObjectName("offButton");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(off);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(statusWin_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &TNMEAOutputForm::okButtonClick);
    connect(off, &QPushButton::clicked, this, &TNMEAOutputForm::offButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TNMEAOutputForm::cancelButtonClick);

    using R = vx::HandlerRole;
    routes_.setRunningFlag([this] { return on_; });
    routes_.onRecord<vx::DrDataRecord>(R::NmeaGgaPosition,
                                       [this](const vx::DrDataRecord& r, const vx::Routed&) {
                                           if (on_) feed_.position(r);
                                       });
    routes_.onRecord<vx::TimeConstellationRecord>(
        R::NmeaGgaTime, [this](const vx::TimeConstellationRecord& r, const vx::Routed&) {
            if (!on_) return;
            if (std::optional<std::string> gga = feed_.time(r)) writer_.write(*gga);
        });
    // The counts are shown when a batch of deliveries has run, not per sentence.
    connect(&console, &Console::deliveriesRun, this, [this] {
        if (on_) showStatus();
    });
    showStatus();
}

TNMEAOutputForm::~TNMEAOutputForm() {
    writer_.close();
}

void TNMEAOutputForm::peersCreated(WindowSet& windows) {
    if (menuItem_) return;
    QWidget* main = windows.find(vx::WindowId::TmainForm);
    menuItem_ = main ? main->findChild<QAction*>("NMEAOutput") : nullptr;
    if (!menuItem_) return;
    menuItem_->setCheckable(true);
    // Choosing the item toggles its check mark; it shows whether output is on, nothing else.
    connect(menuItem_, &QAction::triggered, this, &TNMEAOutputForm::syncMenuItem);
    syncMenuItem();
}

void TNMEAOutputForm::syncMenuItem() {
    if (menuItem_) menuItem_->setChecked(on_);
}

void TNMEAOutputForm::okButtonClick() {
    setOutput(false);
    const int number = comBox_->currentIndex() + 1;
    vx::PortConfig config;
    config.baudRate = vx::kBaudTable[std::max(0, baudBox_->currentIndex())];
    config.parity = uint8_t(std::max(0, parityBox_->currentIndex()));
    const std::string path = slots_.path(uint8_t(number - 1));
    std::string reason;
    if (writer_.open(path, config, &reason) != 0) {
        statusWin_->setText(QString("Output off: cannot open COM %1").arg(number));
        msg::show(this, msg::Kind::Error, "Error",
                  QString("Cannot open COM %1: %2 (%3)")
                      .arg(number)
                      .arg(QString::fromStdString(reason), QString::fromStdString(path)));
        return;
    }
    portNumber_ = number;
    setOutput(true);
    hide();
}

void TNMEAOutputForm::offButtonClick() {
    setOutput(false);
}

void TNMEAOutputForm::setOutput(bool on) {
    if (!on) writer_.close();
    if (on) feed_.restart();
    on_ = on;
    shownWritten_ = ~uint64_t(0);
    syncMenuItem();
    showStatus();
}

void TNMEAOutputForm::showStatus() {
    if (!on_) {
        statusWin_->setText("Output off");
        return;
    }
    if (writer_.written() == shownWritten_ && writer_.dropped() == shownDropped_) return;
    shownWritten_ = writer_.written();
    shownDropped_ = writer_.dropped();
    statusWin_->setText(QString("Output on COM %1 (%2): %3 sentences written, %4 dropped")
                            .arg(portNumber_)
                            .arg(QString::fromStdString(slots_.path(uint8_t(portNumber_ - 1))))
                            .arg(shownWritten_)
                            .arg(shownDropped_));
}
