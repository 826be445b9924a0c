#include "link/sio_form.h"

#include "app/console_qt.h"
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

constexpr int kReplayItem = vx::kReplayPortIndex; // the empty last item of comBox

bool fileExists(const QString& name) {
    if (name.isEmpty()) return false;
    QFileInfo fi(name);
    return fi.exists() && fi.isFile();
}

} // namespace

TsioForm::TsioForm(Console& console, vx::ComSlots& slotMap, QWidget* parent)
    : QDialog(parent), console_(console), slots_(slotMap) {
    nameWindow(this, vx::WindowId::TsioForm);
    // Single border, system-menu icon only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* outer = new QVBoxLayout(this);

    GroupBox1 = new QGroupBox("      PC COM Port Settings", this);
    GroupBox1->setObjectName("GroupBox1");
    auto* g1 = new QGridLayout(GroupBox1);
    comBox = new QComboBox(GroupBox1);
    comBox->setObjectName("comBox");
    for (int i = 1; i <= vx::kComPortCount; ++i) comBox->addItem(QString("COM %1").arg(i));
    comBox->addItem(QString());
    edDevicePath = new QLineEdit(GroupBox1);
    edDevicePath->setObjectName("edDevicePath");
    edDevicePath->setToolTip("The device this COM slot opens (a serial port or a "
                             "pseudo-terminal). Applied with OK.");
    edDevicePath->setMinimumWidth(160);
    baudBox = new QComboBox(GroupBox1);
    baudBox->setObjectName("baudBox");
    for (int b : kBaudTable) baudBox->addItem(QString::number(b));
    parityBox = new QComboBox(GroupBox1);
    parityBox->setObjectName("parityBox");
    parityBox->addItems({"None", "Odd", "Even"});
    dataBox = new QComboBox(GroupBox1);
    dataBox->setObjectName("dataBox");
    dataBox->addItem("8");
    stopBox = new QComboBox(GroupBox1);
    stopBox->setObjectName("stopBox");
    stopBox->addItem("1");
    g1->addWidget(new QLabel("COM", GroupBox1), 0, 0);
    g1->addWidget(comBox, 0, 1);
    g1->addWidget(new QLabel("Device", GroupBox1), 0, 2);
    g1->addWidget(edDevicePath, 0, 3);
    g1->addWidget(new QLabel("Baud", GroupBox1), 1, 0);
    g1->addWidget(baudBox, 1, 1);
    g1->addWidget(new QLabel("Parity", GroupBox1), 1, 2);
    g1->addWidget(parityBox, 1, 3);
    g1->addWidget(new QLabel("Data Bits", GroupBox1), 2, 0);
    g1->addWidget(dataBox, 2, 1);
    g1->addWidget(new QLabel("Stop Bits", GroupBox1), 2, 2);
    g1->addWidget(stopBox, 2, 3);
    outer->addWidget(GroupBox1);

    GroupBox2 = new QGroupBox("      Replay from file", this);
    GroupBox2->setObjectName("GroupBox2");
    auto* g2 = new QGridLayout(GroupBox2);
    edFilename = new QLineEdit(GroupBox2);
    edFilename->setObjectName("edFilename");
    btnOpenFile = new QPushButton("...", GroupBox2);
    btnOpenFile->setObjectName("btnOpenFile");
    btnOpenFile->setFixedWidth(32);
    sedFastFixDelay = new QSpinBox(GroupBox2);
    sedFastFixDelay->setObjectName("sedFastFixDelay");
    sedFastFixDelay->setRange(0, 500);
    sedFastFixDelay->setSingleStep(25);
    sedFastFixDelay->setValue(0);
    g2->addWidget(edFilename, 0, 0, 1, 2);
    g2->addWidget(btnOpenFile, 0, 2);
    g2->addWidget(new QLabel("FastFix Delay", GroupBox2), 1, 0);
    g2->addWidget(sedFastFixDelay, 1, 1);
    outer->addWidget(GroupBox2);

    // The radio buttons sit over the group boxes' captions (the leading blanks leave room).
    rbSerialPort = new QRadioButton(this);
    rbSerialPort->setObjectName("rbSerialPort");
    rbFile = new QRadioButton(this);
    rbFile->setObjectName("rbFile");
    auto* radios = new QButtonGroup(this);
    radios->addButton(rbSerialPort);
    radios->addButton(rbFile);
    rbSerialPort->setChecked(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    okButton = new QPushButton("OK", this);
    okButton->setObjectName("okButton");
    okButton->setDefault(true);
    cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName("cancelButton");
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    outer->addLayout(buttons);

    comBox->setCurrentIndex(0);
    baudBox->setCurrentIndex(3);
    parityBox->setCurrentIndex(0);

    chooseReplayFile = [this] {
        QFileDialog dlg(this, "Select File to Replay");
        dlg.setFileMode(QFileDialog::ExistingFile);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
        return dlg.selectedFiles().first();
    };

    connect(btnOpenFile, &QPushButton::clicked, this, &TsioForm::btnOpenFileClick);
    connect(sedFastFixDelay, &QSpinBox::valueChanged, this, &TsioForm::sedFastFixDelayChange);
    connect(okButton, &QPushButton::clicked, this, &TsioForm::okButtonClick);
    connect(cancelButton, &QPushButton::clicked, this, &TsioForm::cancelButtonClick);
    connect(comBox, &QComboBox::currentIndexChanged, this, &TsioForm::comBoxChange);
    connect(edDevicePath, &QLineEdit::textEdited, this, &TsioForm::devicePathEdited);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusMoved(now); });

    // The settings start from the controls: COM1, 38400 baud, 8 data bits, no parity, one stop
    // bit; replay delay 0.
    settings_.portIndex = 0;
    settings_.baudRate = kBaudTable[baudBox->currentIndex()];
    settings_.dataBits = 8;
    settings_.stopBits = 0;
    settings_.parity = uint8_t(parityBox->currentIndex());
    settings_.replay = false;
    settings_.replayDelay = &replayDelay_;
    comBoxChange(comBox->currentIndex());

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
    comBox->disconnect(this);
    edDevicePath->disconnect(this);
}

void TsioForm::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    placeRadioButtons();
}

void TsioForm::placeRadioButtons() {
    QSize hint = rbSerialPort->sizeHint();
    rbSerialPort->setGeometry(GroupBox1->x() + 6, GroupBox1->y(), hint.width(), hint.height());
    rbFile->setGeometry(GroupBox2->x() + 6, GroupBox2->y(), hint.width(), hint.height());
    rbSerialPort->raise();
    rbFile->raise();
}

void TsioForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    placeRadioButtons();
    FormShow();
}

// ---- Event handlers

void TsioForm::FormShow() {
    for (int i = 0; i < int(std::size(kBaudTable)); ++i) {
        if (kBaudTable[i] == settings_.baudRate) {
            baudBox->setCurrentIndex(i);
            break;
        }
    }
    pendingPaths_.clear();
    comBox->setCurrentIndex(settings_.replay ? kReplayItem : settings_.portIndex);
    comBoxChange(comBox->currentIndex());
    parityBox->setCurrentIndex(settings_.parity <= 2 ? settings_.parity : 0);
    (settings_.replay ? rbFile : rbSerialPort)->setChecked(true);
    // Focus on OK: a first focus inside a group box would check that group's radio button.
    okButton->setFocus();
}

void TsioForm::focusMoved(QWidget* now) {
    if (!now || !isVisible()) return;
    if (now == rbSerialPort || GroupBox1->isAncestorOf(now)) GroupBox1Enter();
    if (now == rbFile || GroupBox2->isAncestorOf(now)) GroupBox2Enter();
}

void TsioForm::GroupBox1Enter() {
    rbSerialPort->setChecked(true);
}

void TsioForm::GroupBox2Enter() {
    rbFile->setChecked(true);
}

void TsioForm::btnOpenFileClick() {
    QString name = chooseReplayFile ? chooseReplayFile() : QString();
    if (name.isEmpty()) return;
    edFilename->setText(name);
    rbFile->setChecked(true);
}

void TsioForm::sedFastFixDelayChange() {
    // A replay that is running uses the new delay from its next 3002 report on.
    replayDelay_.store(sedFastFixDelay->value());
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
        edDevicePath->setText(QString::fromStdString(
            it != pendingPaths_.end() ? it->second : slots_.path(uint8_t(index))));
        edDevicePath->setEnabled(true);
    } else {
        edDevicePath->clear();
        edDevicePath->setEnabled(false);
    }
    showingSlot_ = false;
}

void TsioForm::devicePathEdited(const QString& text) {
    int index = comBox->currentIndex();
    if (showingSlot_ || index < 0 || index >= vx::kComPortCount) return;
    pendingPaths_[index] = text.trimmed().toStdString();
}

// ---- Settings

bool TsioForm::collectSettings() {
    vx::LinkSettings s = settings_;
    s.replay = false;
    if (rbFile->isChecked()) {
        s.portIndex = vx::kReplayPortIndex;
        QString name = edFilename->text();
        if (!fileExists(name)) {
            name = chooseReplayFile ? chooseReplayFile() : QString();
            if (!fileExists(name)) return false;
            edFilename->setText(name);
        }
        // The whole path is kept, however long: a cut path would open another file.
        s.fileName = QFile::encodeName(name).toStdString();
        replayDelay_.store(sedFastFixDelay->value());
        s.replayDelay = &replayDelay_;
        s.replay = true;
    } else {
        const int index = comBox->currentIndex();
        if (index < 0 || index >= vx::kComPortCount) {
            msg::show(this, msg::Kind::Error, "Error", "Choose a COM port (COM 1 to COM 32).");
            return false;
        }
        s.portIndex = uint8_t(index);
        s.dataBits = 8;
        s.stopBits = 0;
        s.parity = uint8_t(parityBox->currentIndex());
        s.baudRate = kBaudTable[baudBox->currentIndex()];
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
        rbFile->setChecked(true);
        settings_.replay = true;
    } else {
        rbSerialPort->setChecked(true);
        settings_.replay = false;
        comBox->setCurrentIndex(n);
    }
}

void TsioForm::clearReplayFileName() {
    edFilename->clear();
}

QString TsioForm::comText() const {
    return QString::fromStdString(vx::comText(settings_));
}
