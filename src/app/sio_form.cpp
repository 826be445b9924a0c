#include "app/sio_form.h"

#include "console/console_qt.h"
#include "widgets/message_qt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kReplayItem = vx::kReplayPortIndex; // the empty last item of the COM list

bool fileExists(const QString& name) {
    if (name.isEmpty()) return false;
    QFileInfo fi(name);
    return fi.exists() && fi.isFile();
}

} // namespace

TsioForm::TsioForm(Console& console, vx::ComSlots& slotMap, QWidget* parent)
    : ConsoleDialog(parent), console_(console), slots_(slotMap) {
    nameWindow(this, vx::WindowId::TsioForm);
    // Single border (fixed size), system-menu icon only.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* outer = new QVBoxLayout(this);
    // The size its contents need, and no other: the user cannot resize it.
    outer->setSizeConstraint(QLayout::SetFixedSize);

    serialGroup_ = new QGroupBox("      PC COM Port Settings", this);
    serialGroup_->setObjectName("GroupBox1");
    auto* g1 = new QGridLayout(serialGroup_);
    comList_ = new QComboBox(serialGroup_);
    comList_->setObjectName("comBox");
    for (int i = 1; i <= vx::kComPortCount; ++i) comList_->addItem(QString("COM %1").arg(i));
    comList_->addItem(QString());
    devicePathEdit_ = new QLineEdit(serialGroup_);
    devicePathEdit_->setObjectName("edDevicePath");
    devicePathEdit_->setToolTip("The device this COM slot opens (a serial port or a "
                                "pseudo-terminal). Applied with OK.");
    devicePathEdit_->setMinimumWidth(160);
    baudList_ = new QComboBox(serialGroup_);
    baudList_->setObjectName("baudBox");
    for (int b : kBaudTable) baudList_->addItem(QString::number(b));
    parityList_ = new QComboBox(serialGroup_);
    parityList_->setObjectName("parityBox");
    parityList_->addItems({"None", "Odd", "Even"});
    dataBitsList_ = new QComboBox(serialGroup_);
    dataBitsList_->setObjectName("dataBox");
    dataBitsList_->addItem("8");
    stopBitsList_ = new QComboBox(serialGroup_);
    stopBitsList_->setObjectName("stopBox");
    stopBitsList_->addItem("1");
    g1->addWidget(new QLabel("COM", serialGroup_), 0, 0);
    g1->addWidget(comList_, 0, 1);
    g1->addWidget(new QLabel("Device", serialGroup_), 0, 2);
    g1->addWidget(devicePathEdit_, 0, 3);
    g1->addWidget(new QLabel("Baud", serialGroup_), 1, 0);
    g1->addWidget(baudList_, 1, 1);
    g1->addWidget(new QLabel("Parity", serialGroup_), 1, 2);
    g1->addWidget(parityList_, 1, 3);
    g1->addWidget(new QLabel("Data Bits", serialGroup_), 2, 0);
    g1->addWidget(dataBitsList_, 2, 1);
    g1->addWidget(new QLabel("Stop Bits", serialGroup_), 2, 2);
    g1->addWidget(stopBitsList_, 2, 3);
    outer->addWidget(serialGroup_);

    replayGroup_ = new QGroupBox("      Replay from file", this);
    replayGroup_->setObjectName("GroupBox2");
    auto* g2 = new QGridLayout(replayGroup_);
    fileNameEdit_ = new QLineEdit(replayGroup_);
    fileNameEdit_->setObjectName("edFilename");
    browseButton_ = new QPushButton("...", replayGroup_);
    browseButton_->setObjectName("btnOpenFile");
    browseButton_->setFixedWidth(32);
    fastFixDelaySpin_ = new QSpinBox(replayGroup_);
    fastFixDelaySpin_->setObjectName("sedFastFixDelay");
    fastFixDelaySpin_->setRange(0, 500);
    fastFixDelaySpin_->setSingleStep(25);
    fastFixDelaySpin_->setValue(0);
    g2->addWidget(fileNameEdit_, 0, 0, 1, 2);
    g2->addWidget(browseButton_, 0, 2);
    g2->addWidget(new QLabel("FastFix Delay", replayGroup_), 1, 0);
    g2->addWidget(fastFixDelaySpin_, 1, 1);
    outer->addWidget(replayGroup_);

    // The radio buttons sit over the group boxes' captions (the leading blanks leave room).
    serialPortRadio_ = new QRadioButton(this);
    serialPortRadio_->setObjectName("rbSerialPort");
    replayFileRadio_ = new QRadioButton(this);
    replayFileRadio_->setObjectName("rbFile");
    auto* radios = new QButtonGroup(this);
    radios->addButton(serialPortRadio_);
    radios->addButton(replayFileRadio_);
    serialPortRadio_->setChecked(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    outer->addLayout(buttons);

    comList_->setCurrentIndex(0);
    baudList_->setCurrentIndex(3);
    parityList_->setCurrentIndex(0);

    chooseReplayFile = [this] {
        QFileDialog dlg(this, "Select File to Replay");
        dlg.setFileMode(QFileDialog::ExistingFile);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
        return dlg.selectedFiles().first();
    };

    connect(browseButton_, &QPushButton::clicked, this, &TsioForm::btnOpenFileClick);
    connect(fastFixDelaySpin_, &QSpinBox::valueChanged, this, &TsioForm::sedFastFixDelayChange);
    connect(okButton_, &QPushButton::clicked, this, &TsioForm::okButtonClick);
    connect(cancelButton_, &QPushButton::clicked, this, &TsioForm::cancelButtonClick);
    connect(comList_, &QComboBox::currentIndexChanged, this, &TsioForm::comBoxChange);
    connect(devicePathEdit_, &QLineEdit::textEdited, this, &TsioForm::devicePathEdited);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusMoved(now); });

    // The settings start from the controls: COM1, 38400 baud, 8 data bits, no parity, one stop
    // bit; replay delay 0.
    settings_.portIndex = 0;
    settings_.baudRate = kBaudTable[baudList_->currentIndex()];
    settings_.dataBits = 8;
    settings_.stopBits = 0;
    settings_.parity = uint8_t(parityList_->currentIndex());
    settings_.replay = false;
    settings_.replayDelay = &replayDelay_;
    comBoxChange(comList_->currentIndex());

    // Centred on the screen.
    adjustSize();
    if (QScreen* s = QApplication::primaryScreen()) {
        QRect r = s->availableGeometry();
        move(r.center() - rect().center());
    }
}

TsioForm::~TsioForm() {
    // Focus moves while the child widgets are torn down: this window no longer listens.
    disconnect(qApp, nullptr, this, nullptr);
    comList_->disconnect(this);
    devicePathEdit_->disconnect(this);
}

void TsioForm::resizeEvent(QResizeEvent* e) {
    ConsoleDialog::resizeEvent(e);
    placeRadioButtons();
}

void TsioForm::placeRadioButtons() {
    QSize hint = serialPortRadio_->sizeHint();
    serialPortRadio_->setGeometry(serialGroup_->x() + 6, serialGroup_->y(), hint.width(),
                                  hint.height());
    replayFileRadio_->setGeometry(replayGroup_->x() + 6, replayGroup_->y(), hint.width(),
                                  hint.height());
    serialPortRadio_->raise();
    replayFileRadio_->raise();
}

void TsioForm::showEvent(QShowEvent* e) {
    ConsoleDialog::showEvent(e);
    placeRadioButtons();
    FormShow();
}

// ---- Event handlers

void TsioForm::FormShow() {
    for (int i = 0; i < int(std::size(kBaudTable)); ++i) {
        if (kBaudTable[i] == settings_.baudRate) {
            baudList_->setCurrentIndex(i);
            break;
        }
    }
    pendingPaths_.clear();
    comList_->setCurrentIndex(settings_.replay ? kReplayItem : settings_.portIndex);
    comBoxChange(comList_->currentIndex());
    parityList_->setCurrentIndex(settings_.parity <= 2 ? settings_.parity : 0);
    (settings_.replay ? replayFileRadio_ : serialPortRadio_)->setChecked(true);
    // Focus on OK: a first focus inside a group box would check that group's radio button.
    okButton_->setFocus();
}

void TsioForm::focusMoved(QWidget* now) {
    if (!now || !isVisible()) return;
    if (now == serialPortRadio_ || serialGroup_->isAncestorOf(now)) GroupBox1Enter();
    if (now == replayFileRadio_ || replayGroup_->isAncestorOf(now)) GroupBox2Enter();
}

void TsioForm::GroupBox1Enter() {
    serialPortRadio_->setChecked(true);
}

void TsioForm::GroupBox2Enter() {
    replayFileRadio_->setChecked(true);
}

void TsioForm::btnOpenFileClick() {
    QString name = chooseReplayFile ? chooseReplayFile() : QString();
    if (name.isEmpty()) return;
    fileNameEdit_->setText(name);
    replayFileRadio_->setChecked(true);
}

void TsioForm::sedFastFixDelayChange() {
    // A replay that is running uses the new delay from its next 3002 report on.
    replayDelay_.store(fastFixDelaySpin_->value());
}

void TsioForm::okButtonClick() {
    if (!collectSettings()) return;
    for (const auto& [index, path] : pendingPaths_) slots_.setPath(uint8_t(index), path);
    pendingPaths_.clear();
    const QString text = comText();
    close();
    emit sourceChosen(settings_.portIndex, text);
}

void TsioForm::cancelButtonClick() {
    pendingPaths_.clear();
    close();
}

void TsioForm::comBoxChange(int index) {
    showingSlot_ = true;
    if (index >= 0 && index < vx::kComPortCount) {
        auto it = pendingPaths_.find(index);
        devicePathEdit_->setText(QString::fromStdString(
            it != pendingPaths_.end() ? it->second : slots_.path(uint8_t(index))));
        devicePathEdit_->setEnabled(true);
    } else {
        devicePathEdit_->clear();
        devicePathEdit_->setEnabled(false);
    }
    showingSlot_ = false;
}

void TsioForm::devicePathEdited(const QString& text) {
    int index = comList_->currentIndex();
    if (showingSlot_ || index < 0 || index >= vx::kComPortCount) return;
    pendingPaths_[index] = text.trimmed().toStdString();
}

// ---- Settings

bool TsioForm::collectSettings() {
    vx::LinkSettings s = settings_;
    s.replay = false;
    if (replayFileRadio_->isChecked()) {
        s.portIndex = vx::kReplayPortIndex;
        QString name = fileNameEdit_->text();
        if (!fileExists(name)) {
            name = chooseReplayFile ? chooseReplayFile() : QString();
            if (!fileExists(name)) return false;
            fileNameEdit_->setText(name);
        }
        // The whole path is kept, however long: a cut path would open another file.
        s.fileName = QFile::encodeName(name).toStdString();
        replayDelay_.store(fastFixDelaySpin_->value());
        s.replayDelay = &replayDelay_;
        s.replay = true;
    } else {
        const int index = comList_->currentIndex();
        if (index < 0 || index >= vx::kComPortCount) {
            msg::show(this, msg::Kind::Error, "Error", "Choose a COM port (COM 1 to COM 32).");
            return false;
        }
        s.portIndex = uint8_t(index);
        s.dataBits = 8;
        s.stopBits = 0;
        s.parity = uint8_t(parityList_->currentIndex());
        s.baudRate = kBaudTable[baudList_->currentIndex()];
    }
    settings_ = s;
    return true;
}

// ---- Operations for the main window

bool TsioForm::startLink() {
    settings_.replayDelay = &replayDelay_;
    return console_.startMonitor(settings_) == 0;
}

bool TsioForm::stopLink() {
    return console_.stopMonitor() == 0;
}

void TsioForm::selectPort(int n) {
    if (n < 0 || n > vx::kReplayPortIndex) return;
    settings_.portIndex = uint8_t(n);
    if (n == vx::kReplayPortIndex) {
        replayFileRadio_->setChecked(true);
        settings_.replay = true;
    } else {
        serialPortRadio_->setChecked(true);
        settings_.replay = false;
        comList_->setCurrentIndex(n);
    }
}

void TsioForm::clearReplayFileName() {
    fileNameEdit_->clear();
}

QString TsioForm::comText() const {
    return QString::fromStdString(vx::comText(settings_));
}
