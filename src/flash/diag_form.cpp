#include "flash/diag_form.h"

#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLineEdit* field(QWidget* parent, QGridLayout* grid, int row, const char* caption,
                 const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    auto* label = new QLabel(caption, parent);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QPushButton* button(QWidget* parent, const char* text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

std::string utf8(const QString& s) {
    return s.toUtf8().toStdString();
}

class PostedStatus : public vx::DiagEvents {
public:
    PostedStatus(MonitorWorker& worker, Panel* panel) : worker_(worker), panel_(panel) {}
    void status(const std::string& text) override {
        worker_.post([p = panel_, t = QString::fromStdString(text)] { p->setText(t); });
    }

private:
    MonitorWorker& worker_;
    Panel* panel_;
};

} // namespace

TdiagForm::TdiagForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), console_(console),
      routes_(console, vx::WindowId::TdiagForm, this), worker_(new MonitorWorker(this)) {
    centreOnFirstShow();
    auto* layout = new QVBoxLayout(this);

    auto* product = new QGroupBox("Product Info", this);
    auto* pg = new QGridLayout(product);
    serialNumberEdit_ = field(product, pg, 0, "Serial Number", "seriNumWin");
    productNameEdit_ = field(product, pg, 1, "Product Name", "prodNameWin");
    productDateEdit_ = field(product, pg, 2, "Product Date", "prodDateWin");
    productDateEdit_->setPlaceholderText("12/31/2007");
    productSetButton_ = button(product, "Set", "setButton");
    pg->addWidget(productSetButton_, 3, 1, Qt::AlignRight);
    layout->addWidget(product);

    auto* hardware = new QGroupBox("Hardware ID", this);
    auto* hg = new QGridLayout(hardware);
    hardwareIdEdit_ = field(hardware, hg, 0, "Harrdware ID", "hwIdWin");
    hardwareIdButton_ = button(hardware, "Set", "hwIdSet");
    hg->addWidget(hardwareIdButton_, 1, 1, Qt::AlignRight);
    layout->addWidget(hardware);

    auto* customer = new QGroupBox("Customer Data Block", this);
    auto* cg = new QGridLayout(customer);
    blockEdit_ = field(customer, cg, 0, "Data Block to set:", "setWin");
    auto* memoLabel = new QLabel("Data to put in block (hex bytes):", customer);
    dataMemo_ = new QPlainTextEdit(customer);
    dataMemo_->setObjectName("byteMemo");
    dataMemo_->setTabChangesFocus(true);
    dataMemo_->setFixedHeight(80);
    memoLabel->setBuddy(dataMemo_);
    cg->addWidget(memoLabel, 1, 0, 1, 2);
    cg->addWidget(dataMemo_, 2, 0, 1, 2);
    customerButton_ = button(customer, "Set", "CustomerDataSet");
    cg->addWidget(customerButton_, 3, 1, Qt::AlignRight);
    layout->addWidget(customer);

    auto* tests = new QGroupBox("ROM/RAM Tests", this);
    auto* tg = new QHBoxLayout(tests);
    romTestButton_ = button(tests, "ROM Test", "romTestButton");
    romTestLamp_ = new Lamp(tests, 12);
    romTestLamp_->setObjectName("romTestStatus");
    romTestLamp_->setAccessibleName("ROM Test result");
    ramTestButton_ = button(tests, "RAM Test", "ramTestButtom");
    ramTestLamp_ = new Lamp(tests, 12);
    ramTestLamp_->setObjectName("ramTestStatus");
    ramTestLamp_->setAccessibleName("RAM Test result");
    tg->addWidget(romTestButton_);
    tg->addWidget(romTestLamp_);
    tg->addSpacing(20);
    tg->addWidget(ramTestButton_);
    tg->addWidget(ramTestLamp_);
    tg->addStretch();
    layout->addWidget(tests);

    auto* statusGroup = new QGroupBox("Status", this);
    auto* sg = new QVBoxLayout(statusGroup);
    statusPanel_ = new Panel(statusGroup);
    statusPanel_->setObjectName("statusWin");
    statusPanel_->setAccessibleName("Status");
    statusPanel_->setMinimumWidth(300);
    sg->addWidget(statusPanel_);
    layout->addWidget(statusGroup);

    closeButton_ = button(this, "Close", "closeButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The data box holds at most 1000 characters.
    connect(dataMemo_, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = dataMemo_->toPlainText();
        if (text.size() > kMemoChars) dataMemo_->setPlainText(text.left(kMemoChars));
    });
    connect(productSetButton_, &QPushButton::clicked, this, &TdiagForm::setButtonClick);
    connect(hardwareIdButton_, &QPushButton::clicked, this, &TdiagForm::hwIdSetButtonClick);
    connect(customerButton_, &QPushButton::clicked, this, &TdiagForm::customerDataSetButtonClick);
    connect(romTestButton_, &QPushButton::clicked, this, &TdiagForm::romTestButtonClick);
    connect(ramTestButton_, &QPushButton::clicked, this, &TdiagForm::ramTestButtomClick);
    connect(closeButton_, &QPushButton::clicked, this, &TdiagForm::closeButtonClick);
}

// The worker (a child) is joined before the claim and the monitor link go.
TdiagForm::~TdiagForm() {
    delete worker_;
}

void TdiagForm::showEvent(QShowEvent* event) {
    ConsoleDialog::showEvent(event);
    if (event->spontaneous()) return;
    // After the window is up: a refusal's message box and hiding again must not happen
    // inside the show.
    QTimer::singleShot(0, this, &TdiagForm::FormShow);
}

void TdiagForm::refuse(const QString& text) {
    msg::show(this, msg::Kind::Error, "Error", text);
    hide();
}

void TdiagForm::FormShow() {
    if (claim_ || !isVisible()) return;
    if (console_.replayChosen()) {
        refuse("Device flash configuration works with a receiver on a COM port: choose its COM "
               "port in COM Setup (a replay file has no receiver behind it).");
        return;
    }
    claim_ = console_.link().claim();
    if (!claim_) {
        refuse("Another tool is working with the receiver; try again when it is done.");
        return;
    }
    // The link is started first (COM Setup's port) and then paused, so that the receive
    // worker never competes for the monitor's answers.
    if (!console_.monitoring() && !console_.runStartMonitor()) {
        claim_.reset();
        refuse("Device flash configuration could not start monitoring: " + console_.lastError());
        return;
    }
    if (console_.link().replaying()) {
        claim_.reset();
        refuse("Device flash configuration works with a receiver on a COM port, not with a "
               "replay file.");
        return;
    }
    monitorLink_ = linkFactory_(*claim_);
    statusPanel_->setText("Forcing the receiver into its monitor...");
    auto entered = std::make_shared<bool>(false);
    run([entered](vx::MonitorLink& link) { *entered = vx::enterDiagnosticsMonitor(link); },
        [this, entered] {
            statusPanel_->setText(*entered ? QString()
                                           : "Force to Monitor (0303) could not be sent: the "
                                             "link does not run.");
        });
}

void TdiagForm::run(std::function<void(vx::MonitorLink&)> job, std::function<void()> done) {
    if (!monitorLink_ || worker_->running()) return;
    setBusy(true);
    vx::MonitorLink* link = monitorLink_.get();
    const bool started = worker_->start([link, job = std::move(job)] { job(*link); },
                                        [this, done = std::move(done)] {
                                            setBusy(false);
                                            if (done) done();
                                        });
    if (!started) {
        setBusy(false);
        msg::show(this, msg::Kind::Error, "Thread Error",
                  "Could not create thread to perform the device flash configuration");
    }
}

void TdiagForm::setBusy(bool busy) {
    for (QPushButton* b : {productSetButton_, hardwareIdButton_, customerButton_, romTestButton_,
                           ramTestButton_, closeButton_})
        b->setEnabled(!busy);
}

void TdiagForm::showError(const vx::InputError& e) {
    msg::show(this, msg::Kind::Error, QString::fromStdString(e.title),
              QString::fromStdString(e.text));
}

void TdiagForm::setButtonClick() {
    vx::ProductConfig config;
    if (auto e =
            vx::parseProductInfo(utf8(serialNumberEdit_->text()), utf8(productNameEdit_->text()),
                                 utf8(productDateEdit_->text()), config))
        return showError(*e);
    auto events = std::make_shared<PostedStatus>(*worker_, statusPanel_);
    run([config, events](vx::MonitorLink& link) { vx::writeProductInfo(link, config, *events); });
}

void TdiagForm::hwIdSetButtonClick() {
    std::string id;
    if (auto e = vx::parseHardwareId(utf8(hardwareIdEdit_->text()), id)) return showError(*e);
    auto events = std::make_shared<PostedStatus>(*worker_, statusPanel_);
    run([id, events](vx::MonitorLink& link) { vx::writeHardwareId(link, id, *events); });
}

void TdiagForm::customerDataSetButtonClick() {
    uint8_t block = 0;
    if (auto e = vx::parseCustomerBlock(utf8(blockEdit_->text()), block)) return showError(*e);
    // The data are checked before the question: a refused box is never confirmed in vain.
    std::vector<uint8_t> bytes;
    if (auto e = vx::parseCustomerData(utf8(dataMemo_->toPlainText()), bytes)) return showError(*e);
    if (!msg::confirm(this, msg::Kind::Warning, "Confirm",
                      QString::fromStdString(vx::confirmBlockText(block))))
        return;
    auto events = std::make_shared<PostedStatus>(*worker_, statusPanel_);
    run([block, bytes, events](vx::MonitorLink& link) {
        vx::writeCustomerData(link, block, bytes, *events);
    });
}

void TdiagForm::runTest(Lamp* lamp, bool (*test)(vx::MonitorLink&)) {
    lamp->setColour(lamp::kWhite);
    lamp->repaint();
    auto passed = std::make_shared<bool>(false);
    run([passed, test](vx::MonitorLink& link) { *passed = test(link); },
        [lamp, passed] { lamp->setColour(*passed ? lamp::kGreen : lamp::kRed); });
}

void TdiagForm::romTestButtonClick() {
    runTest(romTestLamp_, vx::runRomTest);
}

void TdiagForm::ramTestButtomClick() {
    runTest(ramTestLamp_, vx::runRamTest);
}

void TdiagForm::closeButtonClick() {
    close();
}

bool TdiagForm::closeRequested() {
    if (worker_->running()) return false; // a sequence is under way: it ends first
    if (!claim_ || !monitorLink_) return true;
    // The receiver is restarted and the link resumed on the worker; then monitoring starts
    // afresh and the link is everyone's again. The window hides at once.
    setBusy(true);
    vx::MonitorLink* link = monitorLink_.get();
    const bool started = worker_->start([link] { vx::leaveDiagnosticsMonitor(*link); },
                                        [this] {
                                            console_.runStopMonitor();
                                            console_.runStartMonitor();
                                            monitorLink_.reset();
                                            claim_.reset();
                                            statusPanel_->clear();
                                            setBusy(false);
                                        });
    if (!started) {
        // No thread: the link is given back as it is.
        monitorLink_.reset();
        claim_.reset();
        setBusy(false);
    }
    return true;
}
