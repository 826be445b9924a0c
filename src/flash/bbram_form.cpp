#include "flash/bbram_form.h"

#include "widgets/file_dialog_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QRadioButton* radio(QGroupBox* group, QVBoxLayout* layout, const char* text, const char* name) {
    auto* r = new QRadioButton(text, group);
    r->setObjectName(name);
    layout->addWidget(r);
    return r;
}

// What the job reports, queued to the window on the GUI thread.
class PostedEvents : public vx::BbramEvents {
public:
    PostedEvents(MonitorWorker& worker, Panel* status, QProgressBar* progress, Lamp* lamp)
        : worker_(worker), status_(status), progress_(progress), lamp_(lamp) {}
    void status(const std::string& text) override {
        worker_.post([p = status_, t = QString::fromStdString(text)] { p->setText(t); });
    }
    void progress(int percent) override {
        worker_.post([p = progress_, percent] { p->setValue(percent); });
    }
    void led(bool ok) override {
        worker_.post([l = lamp_, ok] { l->setColour(ok ? lamp::kGreen : lamp::kRed); });
    }

private:
    MonitorWorker& worker_;
    Panel* status_;
    QProgressBar* progress_;
    Lamp* lamp_;
};

} // namespace

TBBRAM_Form::TBBRAM_Form(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), console_(console),
      routes_(console, vx::WindowId::TBBRAM_Form, this), worker_(new MonitorWorker(this)) {
    centreOnFirstShow();
    auto* layout = new QVBoxLayout(this);

    operationGroup_ = new QGroupBox("Operation", this);
    operationGroup_->setObjectName("operationGroup");
    auto* op = new QVBoxLayout(operationGroup_);
    saveRadio_ = radio(operationGroup_, op, "Save BBRAM to File", "saveRadio");
    uploadRadio_ = radio(operationGroup_, op, "Upload BBRAM File to Receiver", "uploadRadio");
    saveRadio_->setChecked(true);

    typeGroup_ = new QGroupBox("BBRAM Type", this);
    typeGroup_->setObjectName("typeGroup");
    auto* type = new QVBoxLayout(typeGroup_);
    flashRadio_ = radio(typeGroup_, type, "FLASH", "flashRadio");
    ramRadio_ = radio(typeGroup_, type, "RAM", "ramRadio");
    flashRadio_->setChecked(true);

    addrStartGroup_ = new QGroupBox("RAM Start Address", this);
    addrStartGroup_->setObjectName("addrStartGroup");
    auto* addr = new QVBoxLayout(addrStartGroup_);
    romBRadio_ = radio(addrStartGroup_, addr, "0x1800 (ROM B and later)", "romBRadio");
    beforeRomBRadio_ = radio(addrStartGroup_, addr, "0x2000 (Before ROM B)", "beforeRomBRadio");
    romBRadio_->setChecked(true);
    addrStartGroup_->setEnabled(false);

    auto* entireGroup = new QGroupBox(this);
    auto* entire = new QVBoxLayout(entireGroup);
    entireFlashCheck_ = new QCheckBox("download/upload entire flash", entireGroup);
    entireFlashCheck_->setObjectName("entireFlashCB");
    auto* note = new QLabel("(This includes the boot ROM.  If the flash is incorrect or if an "
                            "error occurs, a new boot ROM may have to be loaded.)",
                            entireGroup);
    note->setWordWrap(true);
    entire->addWidget(entireFlashCheck_);
    entire->addWidget(note);

    auto* options = new QHBoxLayout;
    options->addWidget(operationGroup_);
    options->addWidget(typeGroup_);
    options->addWidget(addrStartGroup_);
    layout->addLayout(options);
    layout->addWidget(entireGroup);

    auto* statusGroup = new QGroupBox("Status", this);
    auto* status = new QVBoxLayout(statusGroup);
    auto* progressRow = new QHBoxLayout;
    auto* progressLabel = new QLabel("Progress:", statusGroup);
    progressBar_ = new QProgressBar(statusGroup);
    progressBar_->setObjectName("progressBar");
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressLabel->setBuddy(progressBar_);
    progressRow->addWidget(progressLabel);
    progressRow->addWidget(progressBar_);
    status->addLayout(progressRow);
    auto* statusRow = new QHBoxLayout;
    statusPanel_ = new Panel(statusGroup);
    statusPanel_->setObjectName("statusWin");
    statusPanel_->setAccessibleName("Status");
    statusPanel_->setMinimumWidth(320);
    statusLamp_ = new Lamp(statusGroup, 16);
    statusLamp_->setObjectName("statusLED");
    statusLamp_->setAccessibleName("Result");
    statusRow->addWidget(statusPanel_, 1);
    statusRow->addWidget(statusLamp_);
    status->addLayout(statusRow);
    layout->addWidget(statusGroup);

    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("okButton");
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(okButton_, &QPushButton::clicked, this, &TBBRAM_Form::okButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TBBRAM_Form::closeButtonClick);
    connect(flashRadio_, &QRadioButton::toggled, this, &TBBRAM_Form::typeGroupClick);
}

// The worker (a child) is joined before the claim and the monitor link go.
TBBRAM_Form::~TBBRAM_Form() {
    delete worker_;
}

vx::BbramOptions TBBRAM_Form::options() const {
    vx::BbramOptions o;
    o.operation = saveRadio_->isChecked() ? vx::BbramOperation::Save : vx::BbramOperation::Upload;
    o.type = ramRadio_->isChecked() ? vx::BbramType::Ram : vx::BbramType::Flash;
    o.ramStart = beforeRomBRadio_->isChecked() ? vx::RamStart::BeforeRomB : vx::RamStart::RomB;
    o.entireFlash = o.type == vx::BbramType::Flash && entireFlashCheck_->isChecked();
    o.baudRate = console_.link().settings().baudRate;
    return o;
}

void TBBRAM_Form::typeGroupClick() {
    const bool ram = ramRadio_->isChecked();
    addrStartGroup_->setEnabled(ram && !working_);
    entireFlashCheck_->setEnabled(!ram && !working_);
}

void TBBRAM_Form::okButtonClick() {
    if (working_) return;
    if (!console_.monitoring() || console_.link().replaying()) {
        msg::show(this, msg::Kind::Error, "Error",
                  "Flash BBRAM works with a receiver on a COM port: start monitoring its COM port "
                  "first (a replay file has no receiver behind it).");
        return;
    }
    vx::BbramOptions o = options();
    const QString file =
        o.operation == vx::BbramOperation::Save
            ? fileDialog::saveFileName(this, "Save BBRAM to File", QString(), true)
            : fileDialog::openFileName(this, "Upload BBRAM File to Receiver", QString());
    if (file.isEmpty()) return;
    o.path = QFile::encodeName(file).toStdString();

    claim_ = console_.link().claim();
    if (!claim_) {
        msg::show(this, msg::Kind::Error, "Error",
                  "Another tool is working with the receiver; try again when it is done.");
        return;
    }
    running_ = o;
    monitorLink_ = linkFactory_(*claim_);
    statusLamp_->setColour(lamp::kWhite);
    progressBar_->setValue(0);
    statusPanel_->clear();
    setWorking(true);

    auto result = std::make_shared<vx::BbramResult>();
    auto events = std::make_shared<PostedEvents>(*worker_, statusPanel_, progressBar_, statusLamp_);
    const bool started = worker_->start(
        [this, result, events] {
            *result = vx::runBbramJob(*monitorLink_, running_, *events, &worker_->cancelFlag());
        },
        [this, result] { finished(*result); });
    if (!started) {
        msg::show(this, msg::Kind::Error, "Thread Error",
                  "Could not create thread to perform flash BBRAM operation");
        statusLamp_->setColour(lamp::kRed);
        monitorLink_.reset();
        claim_.reset();
        setWorking(false);
    }
}

void TBBRAM_Form::finished(const vx::BbramResult& result) {
    // The receiver has been restarted and the link resumed: monitoring starts afresh, in the
    // order Stop Monitor, Start Monitor; then the link is everyone's again.
    if (result.restartMonitoring) {
        console_.runStopMonitor();
        console_.runStartMonitor();
    }
    monitorLink_.reset();
    claim_.reset();
    setWorking(false);
}

void TBBRAM_Form::setWorking(bool working) {
    working_ = working;
    okButton_->setEnabled(!working);
    closeButton_->setEnabled(!working);
    operationGroup_->setEnabled(!working);
    typeGroup_->setEnabled(!working);
    typeGroupClick();
}

void TBBRAM_Form::closeButtonClick() {
    close();
}

bool TBBRAM_Form::closeRequested() {
    // Closing while the receiver is in its monitor would leave the operation without a window
    // to report to: refused, whichever way the user tries.
    return !working_;
}
