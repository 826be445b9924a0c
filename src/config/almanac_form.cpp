#include "config/almanac_form.h"

#include "widgets/file_dialog_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"
#include "widgets/panel_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// A good almanac file is about 1.1 KiB; anything far larger is not one.
constexpr qint64 kMaxFileBytes = 64 * 1024;

std::array<uint8_t, 27> svPayload(const vx::AlmanacSvRecord& r) {
    std::array<uint8_t, 27> p{r.sv, r.page_status, r.page_info};
    std::copy(std::begin(r.almanac), std::end(r.almanac), p.begin() + 3);
    return p;
}
} // namespace

TalmanacForm::TalmanacForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      routes_(console, vx::WindowId::TalmanacForm, this), runner_(new ScriptRunner(console, this)) {
    centreOnFirstShow();
    auto* fileGroup = new QGroupBox("Upload/Download Almanac", this);
    fileGroup->setObjectName("GroupBox1");
    almFileWin_ = new QLineEdit(fileGroup);
    almFileWin_->setObjectName("almFileWin");
    almFileWin_->setMinimumWidth(280);
    auto* fileLabel = new QLabel("Log File", fileGroup);
    fileLabel->setBuddy(almFileWin_);
    auto* fileButton = new QPushButton("...", fileGroup);
    fileButton->setObjectName("file10Button");
    fileButton->setAccessibleName("Choose almanac file");
    fileButton->setMaximumWidth(30);
    auto* fileRow = new QGridLayout(fileGroup);
    fileRow->addWidget(fileLabel, 0, 0, 1, 2);
    fileRow->addWidget(almFileWin_, 1, 0);
    fileRow->addWidget(fileButton, 1, 1);

    auto* select = new QGroupBox("Select", this);
    select->setObjectName("GroupBox2");
    upRadio_ = new QRadioButton("Upload to Receiver", select);
    upRadio_->setObjectName("UpRadioButton1");
    upRadio_->setChecked(true);
    downRadio_ = new QRadioButton("Download  to PC", select);
    downRadio_->setObjectName("DownRadioButton2");
    clearRadio_ = new QRadioButton("Clear Almanac Data from Receiver", select);
    clearRadio_->setObjectName("clearRadioButton");
    sourceWin_ = new QComboBox(select);
    sourceWin_->setObjectName("sourceWin");
    sourceWin_->addItems({"Host Input", "Host Override"});
    sourceWin_->setCurrentIndex(-1);
    auto* sourceLabel = new QLabel("Source:", select);
    sourceLabel->setBuddy(sourceWin_);
    stripBox_ = new QCheckBox("Strip Control Bytes", select);
    stripBox_->setObjectName("cbStripCntrlBytes");
    auto* selectGrid = new QGridLayout(select);
    selectGrid->addWidget(upRadio_, 0, 0);
    selectGrid->addWidget(sourceLabel, 0, 1);
    selectGrid->addWidget(sourceWin_, 0, 2);
    selectGrid->addWidget(downRadio_, 1, 0);
    selectGrid->addWidget(stripBox_, 1, 1, 1, 2);
    selectGrid->addWidget(clearRadio_, 2, 0, 1, 3);

    startButton_ = new QPushButton("Start", this);
    startButton_->setObjectName("startButton");
    auto* closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    statusLED_ = new Lamp(this);
    statusLED_->setObjectName("statusLED");
    statusWin_ = new Panel(this);
    statusWin_->setObjectName("statusWin");
    statusWin_->setAccessibleName("Status");
    statusWin_->setMinimumWidth(280);
    auto* status = new QHBoxLayout;
    status->addWidget(statusLED_);
    status->addWidget(statusWin_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton_);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileGroup);
    layout->addWidget(select);
    layout->addLayout(status);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    responseTimer_ = new QTimer(this);
    responseTimer_->setObjectName("responseTimer");
    responseTimer_->setSingleShot(true);
    responseTimer_->setInterval(kResponseTimeoutMs);

    connect(fileButton, &QPushButton::clicked, this, &TalmanacForm::file10ButtonClick);
    connect(startButton_, &QPushButton::clicked, this, &TalmanacForm::startButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    for (QRadioButton* r : {upRadio_, downRadio_, clearRadio_})
        connect(r, &QRadioButton::toggled, this, &TalmanacForm::RadioButton1Click);
    connect(responseTimer_, &QTimer::timeout, this, &TalmanacForm::responseTimerTimer);
    connect(runner_, &ScriptRunner::stepSent, this, &TalmanacForm::stepSent);
    connect(runner_, &ScriptRunner::finished, this, &TalmanacForm::scriptFinished);
    RadioButton1Click();

    using R = vx::HandlerRole;
    // One reply handler for the three pages (a window has one handler per role).
    routes_.on(R::Reply, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (const auto* r = d.recordAs<vx::AlmanacSvRecord>()) {
            const auto p = svPayload(*r);
            pageArrived(0x12, p, QString("Downloading Almanac for SV %1 ...").arg(r->sv));
        } else if (const auto* r = d.recordAs<vx::IonUtcRecord>()) {
            std::array<uint8_t, 26> p{r->page_status, r->page_info};
            std::copy(std::begin(r->data), std::end(r->data), p.begin() + 2);
            pageArrived(0x14, p, "Downloading ION/UTC Page...");
        } else if (const auto* r = d.recordAs<vx::AlmanacPage13Record>()) {
            std::array<uint8_t, 50> p{r->page_status, r->page_info};
            std::copy(std::begin(r->block1), std::end(r->block1), p.begin() + 2);
            std::copy(std::begin(r->block2), std::end(r->block2), p.begin() + 26);
            pageArrived(0x13, p, statusWin_->text());
        }
    });
    routes_.onAck(R::SetAck, [this](const vx::AckRecord& a) { setAck(a); });
}

void TalmanacForm::RadioButton1Click() {
    sourceWin_->setEnabled(upRadio_->isChecked());
    stripBox_->setEnabled(downRadio_->isChecked());
}

void TalmanacForm::file10ButtonClick() {
    const QString path = fileDialog::openFileName(this, "Almanac File", almFileWin_->text());
    if (!path.isEmpty()) almFileWin_->setText(path);
}

void TalmanacForm::startButtonClick() {
    if (busy()) return;
    statusLED_->setColour(lamp::kWhite);
    statusWin_->setText("");
    const QString path = almFileWin_->text();
    if (upRadio_->isChecked()) {
        startUpload(path);
    } else if (downRadio_->isChecked()) {
        startDownload(path);
    } else {
        acked_.reset();
        run(Operation::Clear, vx::almanacClearScript(kPageGapMs));
    }
}

void TalmanacForm::startUpload(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        msg::show(this, msg::Kind::Error, "Error",
                  QString("Open file error: %1: %2").arg(path, file.errorString()));
        return;
    }
    if (sourceWin_->currentIndex() < 0) {
        msg::show(this, msg::Kind::Error, "Error", "No source selected.");
        return;
    }
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    const auto pages =
        bytes.size() > kMaxFileBytes
            ? std::nullopt
            : vx::parseAlmanacFile(std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                             size_t(bytes.size())));
    if (!pages) {
        statusWin_->setText("Error in parsing the file.");
        statusLED_->setColour(lamp::kRed);
        return;
    }
    acked_.reset();
    run(Operation::Upload,
        vx::almanacUploadScript(*pages, uint8_t(sourceWin_->currentIndex() + 1), kPageGapMs));
}

void TalmanacForm::startDownload(const QString& path) {
    // The file is created now, so that a path that cannot be written is known before asking.
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        msg::show(this, msg::Kind::Error, "Error",
                  QString("Open file error: %1: %2").arg(path, file.errorString()));
        return;
    }
    downloadPath_ = path;
    downloadForm_ =
        stripBox_->isChecked() ? vx::AlmanacFileForm::Stripped : vx::AlmanacFileForm::Framed;
    download_ = vx::AlmanacDownload{};
    run(Operation::Download, vx::almanacDownloadScript(kPageGapMs));
}

void TalmanacForm::run(Operation op, vx::PacedScript script) {
    operation_ = op;
    allSent_ = false;
    lastPageAnswered_ = false;
    startButton_->setEnabled(false);
    responseTimer_->stop();
    runner_->start(std::move(script));
}

void TalmanacForm::stepSent(int sent, int total, bool ok) {
    if (!ok) return;
    const char* verb = operation_ == Operation::Upload     ? "Uploading"
                       : operation_ == Operation::Download ? "Requesting"
                                                           : "Clearing";
    statusWin_->setText(QString("%1 page %2 of %3").arg(verb).arg(sent).arg(total));
}

void TalmanacForm::scriptFinished(bool ok) {
    if (!busy()) return;
    if (!ok) {
        end(false, failureText());
        return;
    }
    allSent_ = true;
    responseTimer_->start();
    // The answer to page 0x13 may already be in (a receiver answers within the last pause).
    if (lastPageAnswered_) judge();
}

void TalmanacForm::pageArrived(uint8_t subcode, std::span<const uint8_t> payload,
                               const QString& status) {
    if (operation_ != Operation::Download) return;
    download_.receive(subcode, payload);
    statusWin_->setText(status);
    // Page 0x13 is asked for last: its reply ends the download.
    if (subcode != 0x13) return;
    lastPageAnswered_ = true;
    if (allSent_) judge();
}

void TalmanacForm::setAck(const vx::AckRecord& a) {
    if (a.acked_code != 0x28) return;
    if (operation_ != Operation::Upload && operation_ != Operation::Clear) return;
    const int page = vx::almanacAckPage(a.acked_subcode, a.index);
    if (page && a.result == 0) acked_.set(size_t(page));
    // Page 0x13 is sent last: its acknowledgement judges the upload or clear.
    if (a.acked_subcode != 0x13) return;
    lastPageAnswered_ = true;
    if (allSent_) judge();
}

void TalmanacForm::responseTimerTimer() {
    responseTimer_->stop();
    if (busy() && allSent_) judge();
}

QString TalmanacForm::failureText() const {
    switch (operation_) {
    case Operation::Upload:
        return "Failed to upload all almanac data";
    case Operation::Clear:
        return "Failed to clear all almanac data";
    default:
        return "Failed to download all almanac data";
    }
}

void TalmanacForm::judge() {
    bool ok = false;
    QString okText;
    if (operation_ == Operation::Download) {
        ok = download_.complete();
        okText = "Download Successful";
    } else {
        ok = acked_.count() == size_t(vx::kAlmanacPageCount) && !acked_[0];
        okText = operation_ == Operation::Upload ? "Successfully Uploaded Almanac"
                                                 : "Successfully Cleared Almanac Data";
    }
    end(ok, ok ? okText : failureText());
}

void TalmanacForm::end(bool ok, const QString& text) {
    runner_->cancel();
    responseTimer_->stop();
    if (operation_ == Operation::Download) {
        const std::vector<uint8_t> bytes = download_.file(downloadForm_);
        QFile file(downloadPath_);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) !=
                qint64(bytes.size()) ||
            !file.flush()) {
            ok = false;
            msg::show(this, msg::Kind::Error, "Error",
                      QString("Cannot write %1: %2").arg(downloadPath_, file.errorString()));
        }
    }
    operation_ = Operation::None;
    allSent_ = false;
    statusWin_->setText(text);
    statusLED_->setColour(ok ? lamp::kGreen : lamp::kRed);
    startButton_->setEnabled(true);
}
