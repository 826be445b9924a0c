#include "testtools/buffered_dr_test_form.h"

#include "link/catalogue.h"
#include "link/link_texts.h"
#include "widgets/file_dialog_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <charconv>
#include <climits>
#include <optional>

namespace {

// The duration box: a whole number of milliseconds, at least 1 and at most what a timer
// takes; nothing otherwise.
std::optional<uint32_t> readDuration(const QString& text) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty() || s[0] < '0' || s[0] > '9') return std::nullopt;
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end != s.data() + s.size() || v == 0 || v > uint32_t(INT_MAX))
        return std::nullopt;
    return v;
}

} // namespace

TbufferedDrForm::TbufferedDrForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TbufferedDrForm, this) {
    auto* grid = new QGridLayout(this);
    auto* fileLabel = new QLabel("Log File:", this);
    logFileWin_ = new QLineEdit(this);
    logFileWin_->setObjectName("logFileWin");
    logFileWin_->setReadOnly(true);
    logFileWin_->setMinimumWidth(QFontMetrics(font()).horizontalAdvance(QString(40, 'x')));
    fileLabel->setBuddy(logFileWin_);
    fileButton_ = new QPushButton("...", this);
    fileButton_->setObjectName("fileButton");
    fileButton_->setAccessibleName("Choose log file");
    auto* durationLabel = new QLabel("Test Duration:", this);
    durationWin_ = new QLineEdit(this);
    durationWin_->setObjectName("durationWin");
    durationLabel->setBuddy(durationWin_);
    startButton_ = new QPushButton("Start", this);
    startButton_->setObjectName("startButton");
    stopButton_ = new QPushButton("Stop", this);
    stopButton_->setObjectName("stopButton");
    stopButton_->setEnabled(false);
    auto* statusLabel = new QLabel("Status:", this);
    statusWin_ = new Panel(this, "Test not started.");
    statusWin_->setObjectName("statusWin");
    statusWin_->setAccessibleName("Status");
    rxLED_ = new Lamp(this);
    rxLED_->setObjectName("rxLED");
    rxLED_->setAccessibleName("Rx");
    rxLED_->setColour(lamp::kWhite);

    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(logFileWin_, 0, 1, 1, 3);
    grid->addWidget(fileButton_, 0, 4);
    grid->addWidget(durationLabel, 1, 0);
    grid->addWidget(durationWin_, 1, 1);
    grid->addWidget(new QLabel("ms", this), 1, 2);
    grid->addWidget(statusLabel, 2, 0);
    grid->addWidget(statusWin_, 2, 1, 1, 3);
    auto* rx = new QHBoxLayout;
    rx->addWidget(rxLED_);
    rx->addWidget(new QLabel("Rx", this));
    grid->addLayout(rx, 2, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    grid->addLayout(buttons, 3, 0, 1, 5);

    testTimer_ = new QTimer(this);
    testTimer_->setObjectName("testTimer");
    testTimer_->setSingleShot(true);
    blipTimer_ = new QTimer(this);
    blipTimer_->setObjectName("blipTimer");
    blipTimer_->setInterval(100);
    blipTimer_->start();
    startTimer_ = new QTimer(this);
    startTimer_->setObjectName("startTimer");
    startTimer_->setInterval(1000);
    connect(testTimer_, &QTimer::timeout, this, &TbufferedDrForm::testTimerTimer);
    connect(blipTimer_, &QTimer::timeout, this, &TbufferedDrForm::blipTimerTimer);
    connect(startTimer_, &QTimer::timeout, this, &TbufferedDrForm::startTimerTimer);
    connect(fileButton_, &QPushButton::clicked, this, &TbufferedDrForm::fileButtonClick);
    connect(startButton_, &QPushButton::clicked, this, &TbufferedDrForm::startButtonClick);
    connect(stopButton_, &QPushButton::clicked, this, &TbufferedDrForm::stopButtonClick);

    routes_.setRunningFlag([this] { return logging_; });
    routes_.on(vx::HandlerRole::Reply, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (const auto* r = d.recordAs<vx::DrDataRecord>())
            takeDrData(*r);
        else if (const auto* b = d.recordAs<vx::BufferedDrRecord>())
            takeBufferedDr(*b);
    });
    setSizeGripEnabled(false);
    centreOnFirstShow();
}

void TbufferedDrForm::fileButtonClick() {
    QString name = fileDialog::saveFileName(this, "Log File", logFileWin_->text(), false);
    if (name.isEmpty()) return;
    if (QFileInfo(name).suffix().isEmpty()) name += ".csv";
    logFileWin_->setText(name);
}

void TbufferedDrForm::startButtonClick() {
    // The duration first: a refused start leaves every file as it was.
    const auto duration = readDuration(durationWin_->text());
    if (!duration) {
        msg::show(this, msg::Kind::Error, "Error", "Test duration is 0.");
        return;
    }
    const QString path = logFileWin_->text();
    if (!path.isEmpty() && QFileInfo::exists(path) &&
        !msg::ask(this, msg::Kind::Warning, "File Exists", "File Already Exists.  Overwrite?"))
        return;
    const std::string error =
        path.isEmpty() ? std::string("no file chosen") : log_.open(path.toStdString());
    if (!error.empty()) {
        msg::show(this, msg::Kind::Error, "Error",
                  "Could not open file.\n" + QString::fromStdString(error));
        return;
    }
    durationMs_ = *duration;
    count_ = 0;
    queried_ = false;
    if (vx::sendSystem(routes_.console().sink(), vx::kSysHotReset) != 0) {
        log_.close();
        statusWin_->setText(QString::fromStdString(vx::notMonitoringText("Hot Reset (0301)")));
        return;
    }
    startButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    statusWin_->setText("In progress, waiting for first 30-02 packet.");
    startTimer_->start();
}

void TbufferedDrForm::startTimerTimer() {
    startTimer_->stop();
    if (log_.isOpen()) logging_ = true;
}

void TbufferedDrForm::takeDrData(const vx::DrDataRecord& r) {
    if (!logging_) return;
    ++count_;
    if (count_ == 1) {
        testTimer_->setInterval(int(durationMs_));
        testTimer_->start();
        statusWin_->setText("In progress, logging 30-02 packets.");
    }
    rxLED_->setColour(lamp::kGreen);
    blipTimer_->start();
    if (!log_.add(r)) {
        endTest("Test failed: the 30-02 lines could not be written.");
        msg::show(this, msg::Kind::Error, "Error", "The temporary file could not be written.");
    }
}

void TbufferedDrForm::testTimerTimer() {
    testTimer_->stop();
    if (!logging_) return;
    statusWin_->setText("In progress, waiting for packet 30-03.");
    queried_ = true;
    if (vx::sendQuery(routes_.console().sink(), 0x30, 0x03) != 0)
        statusWin_->setText("In progress, waiting for packet 30-03 (query not sent: not "
                            "monitoring).");
}

void TbufferedDrForm::takeBufferedDr(const vx::BufferedDrRecord& r) {
    // A periodic 3003 that comes while the test still logs is not its answer.
    if (!logging_ || !queried_) return;
    logging_ = false;
    const std::string error = log_.finish(r);
    if (!error.empty()) {
        endTest("Test failed: the log could not be written.");
        msg::show(this, msg::Kind::Error, "Error",
                  "The log could not be written.\n" + QString::fromStdString(error));
        return;
    }
    endTest("Test complete.");
}

void TbufferedDrForm::stopButtonClick() {
    endTest("Test stopped by user.");
}

void TbufferedDrForm::endTest(const QString& status) {
    logging_ = false;
    queried_ = false;
    startTimer_->stop();
    testTimer_->stop();
    log_.close();
    statusWin_->setText(status);
    startButton_->setEnabled(true);
    stopButton_->setEnabled(false);
}

void TbufferedDrForm::blipTimerTimer() {
    blipTimer_->stop();
    rxLED_->setColour(lamp::kWhite);
}
