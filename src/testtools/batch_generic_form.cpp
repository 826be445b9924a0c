#include "testtools/batch_generic_form.h"

#include "testtools/tool_fields.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QLineEdit* readOnlyBox(QWidget* parent, const QString& name, int width = 60) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setMaximumWidth(width);
    return e;
}

// Display updates while a test runs at most this often (the counts themselves are exact).
constexpr int64_t kRefreshMs = 50;

} // namespace

TbatchGenericForm::TbatchGenericForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      routes_(console, vx::WindowId::TbatchGenericForm, this) {
    centreOnFirstShow();
    clock_.start();

    // ---- Test Parameters
    auto* params = new QGroupBox("Test Parameters", this);
    auto* pg = new QGridLayout(params);
    auto numberBox = [&](const char* name, const char* label, const char* unit, int row) {
        auto* e = new QLineEdit(params);
        e->setObjectName(name);
        e->setMaximumWidth(80);
        pg->addWidget(new QLabel(label, params), row, 0);
        pg->addWidget(e, row, 1);
        if (unit) pg->addWidget(new QLabel(unit, params), row, 2);
        return e;
    };
    sendIntervalWin_ = numberBox("sendIntervalWin", "Time Between Each Packet:", "ms", 0);
    batchIntervalWin_ = numberBox("batchIntervalWin", "Time Between Each Batch:", "ms", 1);
    cyclesWin_ = numberBox("cyclesWin", "Cycles:", nullptr, 2);

    // ---- Rows and results
    auto* rowsGroup = new QGroupBox("Data to Send/Responses", this);
    auto* rg = new QGridLayout(rowsGroup);
    rg->addWidget(new QLabel("Data to Send", rowsGroup), 0, 0);
    rg->addWidget(new QLabel("Last Response", rowsGroup), 0, 1);
    rg->addWidget(new QLabel("Contains Index?", rowsGroup), 0, 3);
    rg->addWidget(new QLabel("Text?", rowsGroup), 0, 4);
    auto* results = new QGroupBox("Results", this);
    auto* sg = new QGridLayout(results);
    sg->addWidget(new QLabel("Packets Sent", results), 0, 0);
    sg->addWidget(new QLabel("Successful Responses", results), 0, 1);
    sg->addWidget(new QLabel("Error Responses", results), 0, 2);
    sg->addWidget(new QLabel("No Response", results), 0, 3);
    for (int i = 0; i < vx::kBatchRows; ++i) {
        const QString n = QString::number(i);
        RowWidgets& r = rows_[size_t(i)];
        r.data = new QLineEdit(rowsGroup);
        r.data->setObjectName("dataWin" + n);
        r.data->setMinimumWidth(220);
        r.resp = readOnlyBox(rowsGroup, "respWin" + n, 170);
        r.resp->setMinimumWidth(150);
        r.led = new Lamp(rowsGroup, 9);
        r.led->setObjectName("LED" + n);
        r.index = new QCheckBox(rowsGroup);
        r.index->setObjectName("CheckBox" + n);
        r.text = new QCheckBox(rowsGroup);
        r.text->setObjectName("cb_text" + n);
        rg->addWidget(r.data, i + 1, 0);
        rg->addWidget(r.resp, i + 1, 1);
        rg->addWidget(r.led, i + 1, 2);
        rg->addWidget(r.index, i + 1, 3, Qt::AlignCenter);
        rg->addWidget(r.text, i + 1, 4, Qt::AlignCenter);
        r.sent = readOnlyBox(results, "sentWin" + n, 90);
        r.succ = readOnlyBox(results, "succWin" + n, 90);
        r.err = readOnlyBox(results, "errWin" + n, 90);
        r.miss = readOnlyBox(results, "missWin" + n, 90);
        sg->addWidget(r.sent, i + 1, 0);
        sg->addWidget(r.succ, i + 1, 1);
        sg->addWidget(r.err, i + 1, 2);
        sg->addWidget(r.miss, i + 1, 3);
        r.timer = new QTimer(this);
        r.timer->setObjectName("Timer" + n);
        r.timer->setSingleShot(true);
        connect(r.timer, &QTimer::timeout, this, [this, i] { OnTimer(i); });
    }

    startButton_ = new QPushButton("Start Test", this);
    startButton_->setObjectName("startButton");
    stopButton_ = new QPushButton("Stop Test", this);
    stopButton_->setObjectName("stopButton");
    stopButton_->setEnabled(false);
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    auto* timePanel = new QFrame(this);
    timePanel->setFrameShape(QFrame::Panel);
    timePanel->setFrameShadow(QFrame::Sunken);
    timeLabel_ = new QLabel("Time Remaining: 00:00:00", timePanel);
    timeLabel_->setObjectName("timeLabel");
    (new QHBoxLayout(timePanel))->addWidget(timeLabel_);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName("statusLabel");

    // ---- Count Occurrences in Log File
    auto* count = new QGroupBox("Count Occurrences in Log File", this);
    auto* cg = new QGridLayout(count);
    auto countBox = [&](const char* name, const char* label, int row, int col) {
        auto* e = new QLineEdit(count);
        e->setObjectName(name);
        e->setMaximumWidth(60);
        cg->addWidget(new QLabel(label, count), row, col);
        cg->addWidget(e, row + 1, col);
        return e;
    };
    codeWin_ = countBox("codeWin", "Code", 0, 0);
    subcodeWin_ = countBox("subcodeWin", "Subcode", 0, 1);
    indexWin_ = countBox("indexWin", "Index", 0, 2);
    occurWin_ = readOnlyBox(count, "occurWin", 110);
    cg->addWidget(new QLabel("Occurrences", count), 0, 3);
    cg->addWidget(occurWin_, 1, 3);
    logFileWin_ = new QLineEdit(count);
    logFileWin_->setObjectName("LogFileWin");
    logFileWin_->setReadOnly(true);
    fileButton_ = new QPushButton("...", count);
    fileButton_->setObjectName("FileButton");
    fileButton_->setFixedWidth(32);
    countStartButton_ = new QPushButton("Start", count);
    countStartButton_->setObjectName("countStartButton");
    cg->addWidget(new QLabel("Log File", count), 2, 0);
    cg->addWidget(logFileWin_, 3, 0, 1, 3);
    cg->addWidget(fileButton_, 3, 3, Qt::AlignLeft);
    cg->addWidget(countStartButton_, 3, 4);
    dataCB_ = new QCheckBox("Look for Speecific Data", count);
    dataCB_->setObjectName("dataCB");
    cg->addWidget(dataCB_, 4, 0, 1, 3);
    auto* dataGroup = new QGroupBox("Data to Look for", count);
    auto* dg = new QGridLayout(dataGroup);
    byteWin_ = new QLineEdit(dataGroup);
    byteWin_->setObjectName("byteWin");
    byteWin_->setMaximumWidth(50);
    hexDataWin_ = new QLineEdit(dataGroup);
    hexDataWin_->setObjectName("hexDataWin");
    lenWin_ = new QLineEdit(dataGroup);
    lenWin_->setObjectName("lenWin");
    lenWin_->setMaximumWidth(50);
    dg->addWidget(new QLabel("Byte #", dataGroup), 0, 0);
    dg->addWidget(new QLabel("Data", dataGroup), 0, 1);
    dg->addWidget(new QLabel("Length", dataGroup), 0, 2);
    dg->addWidget(byteWin_, 1, 0);
    dg->addWidget(hexDataWin_, 1, 1);
    dg->addWidget(lenWin_, 1, 2);
    cg->addWidget(dataGroup, 5, 0, 1, 5);
    countProgress_ = new QProgressBar(count);
    countProgress_->setObjectName("countProgress");
    countProgress_->setRange(0, 1000);
    countProgress_->hide();
    cg->addWidget(countProgress_, 6, 0, 1, 5);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    buttons->addWidget(timePanel);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(params);
    layout->addWidget(rowsGroup);
    layout->addWidget(results);
    layout->addLayout(buttons);
    layout->addWidget(statusLabel_);
    layout->addWidget(count);

    sendTimer_ = new QTimer(this);
    sendTimer_->setObjectName("sendTimer");
    // The send interval is what the test measures: no coarse timer slack.
    sendTimer_->setTimerType(Qt::PreciseTimer);
    stopTimer_ = new QTimer(this);
    stopTimer_->setObjectName("stopTimer");
    stopTimer_->setSingleShot(true);
    stopTimer_->setInterval(vx::kBatchStopGraceMs);
    countTimer_ = new QTimer(this);
    countTimer_->setObjectName("countTimer");
    countTimer_->setInterval(0);

    connect(startButton_, &QPushButton::clicked, this, &TbatchGenericForm::startButtonClick);
    connect(stopButton_, &QPushButton::clicked, this, &TbatchGenericForm::stopButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TbatchGenericForm::closeButtonClick);
    connect(fileButton_, &QPushButton::clicked, this, &TbatchGenericForm::FileButtonClick);
    connect(countStartButton_, &QPushButton::clicked, this,
            &TbatchGenericForm::countStartButtonClick);
    connect(sendTimer_, &QTimer::timeout, this, &TbatchGenericForm::sendTimerTimer);
    connect(stopTimer_, &QTimer::timeout, this, &TbatchGenericForm::stopTimerTimer);
    connect(countTimer_, &QTimer::timeout, this, &TbatchGenericForm::countTimerTimer);

    routes_.setRunningFlag([this] { return running_; });
    routes_.on(vx::HandlerRole::RawPacket,
               [this](const vx::Delivery& d, const vx::RouteStep&) { replyReceived(d); });
    routes_.on(vx::HandlerRole::AnyAck,
               [this](const vx::Delivery& d, const vx::RouteStep&) { ackReceived(d); });
}

TbatchGenericForm::~TbatchGenericForm() = default;

void TbatchGenericForm::fixSizeOnFirstShow() {
    adjustSize();
    setFixedSize(size().expandedTo(QSize(558, 579)));
}

// ---- The test ------------------------------------------------------------------------------

void TbatchGenericForm::startButtonClick() {
    if (running_) return;
    int32_t send = sendInterval_, batch = batchInterval_, cycles = cycles_;
    std::string err = vx::readCountField("Time Between Each Packet",
                                         sendIntervalWin_->text().toStdString(), send);
    if (err.empty())
        err = vx::readCountField("Time Between Each Batch", batchIntervalWin_->text().toStdString(),
                                 batch);
    if (err.empty()) err = vx::readCountField("Cycles", cyclesWin_->text().toStdString(), cycles);
    std::array<vx::BatchRow, vx::kBatchRows> rows;
    for (int i = 0; i < vx::kBatchRows && err.empty(); ++i) {
        const RowWidgets& w = rows_[size_t(i)];
        err = vx::readBatchRow(w.data->text().toStdString(), w.text->isChecked(),
                               w.index->isChecked(), rows[size_t(i)]);
    }
    if (!err.empty()) {
        msg::show(this, msg::Kind::Error, "Error", qs(err));
        return;
    }
    sendInterval_ = send;
    batchInterval_ = batch;
    cycles_ = cycles;
    batchRows_ = rows;
    notWritten_ = 0;
    skipped_ = 0;
    failedSeen_ = writer_.burstsFailed();
    inFlightRow_ = -1;
    for (int i = 0; i < vx::kBatchRows; ++i) {
        RowWidgets& w = rows_[size_t(i)];
        responses_[size_t(i)].clear();
        w.timer->stop();
        w.led->setColour(lamp::kWhite);
        for (QLineEdit* e : {w.resp, w.sent, w.succ, w.err, w.miss}) e->clear();
    }
    statusLabel_->clear();

    std::array<bool, vx::kBatchRows> active{};
    for (int i = 0; i < vx::kBatchRows; ++i) active[size_t(i)] = rows[size_t(i)].active;
    if (!schedule_.start(active, send, batch, cycles)) {
        beginStop();
        return;
    }
    showTimeRemaining();
    sendTimer_->setInterval(vx::kBatchFirstSendMs);
    sendTimer_->start();
    running_ = true;
    startButton_->setEnabled(false);
    stopButton_->setEnabled(true);
}

void TbatchGenericForm::settleWrite() {
    // A frame the link refused is taken back from the counts.
    const uint64_t failed = writer_.burstsFailed();
    if (failed != failedSeen_ && inFlightRow_ >= 0) {
        const vx::BatchRow& row = batchRows_[size_t(inFlightRow_)];
        responses_[size_t(inFlightRow_)].unsend(!row.text);
        armRowTimer(inFlightRow_);
        ++notWritten_;
        showStatus();
    }
    failedSeen_ = failed;
    inFlightRow_ = -1;
}

void TbatchGenericForm::sendTimerTimer() {
    if (!running_) {
        sendTimer_->stop();
        return;
    }
    if (writer_.pending()) {
        // The port still writes the last frame: this tick is skipped, never waited for. At an
        // interval of 0 that is simply the pace of the port; with an interval it means the port
        // cannot keep the rhythm, which the status line says.
        if (sendTimer_->interval() > 0 && !backingOff_) {
            ++skipped_;
            if (nowMs() - lastRefreshMs_ >= kRefreshMs) showStatus();
        } else if (sendTimer_->interval() == 0) {
            // Look again in a millisecond rather than spinning the event loop (and a core)
            // until the write is done; the next send restores the interval.
            sendTimer_->setInterval(1);
            backingOff_ = true;
        }
        return;
    }
    settleWrite();
    backingOff_ = false;
    const vx::BatchSchedule::Tick t = schedule_.tick();
    // Only a change of interval restarts the timer: equal intervals keep their rhythm.
    if (sendTimer_->interval() != t.nextIntervalMs) sendTimer_->setInterval(t.nextIntervalMs);

    const vx::BatchRow& row = batchRows_[size_t(t.row)];
    vx::BatchRowResponses& resp = responses_[size_t(t.row)];
    // Counted now, so that an answer faster than the next tick finds its send; taken back by
    // settleWrite if the link refuses the frame.
    if (row.text) {
        resp.sentUnanswered();
    } else {
        resp.sent(nowMs(), responseMs_);
        if (!rows_[size_t(t.row)].timer->isActive()) armRowTimer(t.row);
    }
    inFlightRow_ = t.row;
    writer_.post(routes_.console().sink(), row.wire);

    if (t.newCycle && nowMs() - lastRefreshMs_ >= kRefreshMs) {
        lastRefreshMs_ = nowMs();
        showTimeRemaining();
        refreshResults();
        showStatus();
    }
    if (t.finished) beginStop();
}

void TbatchGenericForm::beginStop() {
    sendTimer_->stop();
    stopButton_->setEnabled(false);
    stopTimer_->start();
}

void TbatchGenericForm::stopButtonClick() {
    if (running_) beginStop();
}

void TbatchGenericForm::stopTimerTimer() {
    stopTimer_->stop();
    startButton_->setEnabled(true);
    stopButton_->setEnabled(false);
    const bool wasRunning = running_;
    running_ = false;
    if (wasRunning) {
        if (!writer_.pending()) settleWrite();
        // Sends still unanswered after the grace second are missed.
        for (int i = 0; i < vx::kBatchRows; ++i) {
            rows_[size_t(i)].timer->stop();
            if (responses_[size_t(i)].expireAll() > 0) {
                rows_[size_t(i)].led->setColour(lamp::kRed);
                rows_[size_t(i)].resp->setText(qs(vx::kBatchNoResponse));
            }
        }
        refreshResults();
    }
    timeLabel_->setText("Time Remaining: 00:00:00");
}

void TbatchGenericForm::closeButtonClick() {
    close(); // a running test goes on
}

void TbatchGenericForm::armRowTimer(int row) {
    QTimer* t = rows_[size_t(row)].timer;
    std::optional<int64_t> due = responses_[size_t(row)].nextDeadline();
    if (!due) {
        t->stop();
        return;
    }
    t->start(int(std::max<int64_t>(0, *due - nowMs())));
}

void TbatchGenericForm::OnTimer(int row) {
    if (row < 0 || row >= vx::kBatchRows) return;
    RowWidgets& w = rows_[size_t(row)];
    if (responses_[size_t(row)].expire(nowMs()) > 0) {
        w.led->setColour(lamp::kRed);
        w.resp->setText(qs(vx::kBatchNoResponse));
        if (!running_ || !sendTimer_->isActive()) refreshResults();
    }
    armRowTimer(row);
}

void TbatchGenericForm::answered(int row, bool counted, uint8_t result) {
    RowWidgets& w = rows_[size_t(row)];
    if (counted) {
        w.resp->setText(qs(vx::batchResultText(result)));
        w.led->setColour(result == 0 ? lamp::kGreen : lamp::kRed);
    }
    if (!responses_[size_t(row)].awaiting()) {
        w.timer->stop();
    } else if (!w.timer->isActive()) {
        armRowTimer(row);
    }
}

void TbatchGenericForm::replyReceived(const vx::Delivery& d) {
    int row = vx::batchReplyRow(batchRows_, responses_, d.h1, d.h2, d.payload(), d.payloadLength());
    if (row < 0) return;
    responses_[size_t(row)].answerReply();
    answered(row, true, 0);
}

void TbatchGenericForm::ackReceived(const vx::Delivery& d) {
    int row = -1;
    uint8_t result = 0;
    if (const auto* a = d.recordAs<vx::AckRecord>()) {
        row = vx::batchAckRow(batchRows_, responses_, d.h2, *a);
        result = a->result;
    } else if (const auto* s = d.recordAs<vx::SysAckRecord>(); s && d.h2 == vx::kCmdSystem) {
        row = vx::batchSysAckRow(batchRows_, responses_, *s);
        result = s->result;
    }
    if (row < 0) return;
    auto outcome = responses_[size_t(row)].answerAck(result);
    answered(row, outcome == vx::BatchRowResponses::AckOutcome::Counted, result);
}

void TbatchGenericForm::refreshResults() {
    for (int i = 0; i < vx::kBatchRows; ++i) {
        const vx::BatchRowResponses& r = responses_[size_t(i)];
        RowWidgets& w = rows_[size_t(i)];
        w.sent->setText(QString::number(r.sentCount()));
        w.succ->setText(QString::number(r.successes()));
        w.err->setText(QString::number(r.errors()));
        w.miss->setText(QString::number(r.missed()));
    }
}

void TbatchGenericForm::showTimeRemaining() {
    timeLabel_->setText(qs(vx::timeRemainingText(schedule_.secondsRemaining())));
}

void TbatchGenericForm::showStatus() {
    QStringList parts;
    if (notWritten_)
        parts << QString("%1 frame(s) not written: the serial link is not running or the write "
                         "failed.")
                     .arg(notWritten_);
    if (skipped_) parts << QString("%1 send tick(s) skipped: the port was busy.").arg(skipped_);
    statusLabel_->setText(parts.join(" "));
}

// ---- Count Occurrences in Log File ---------------------------------------------------------

void TbatchGenericForm::FileButtonClick() {
    QString path = QFileDialog::getOpenFileName(this, "Open", logFileWin_->text());
    if (!path.isEmpty()) logFileWin_->setText(path);
}

void TbatchGenericForm::countStartButtonClick() {
    if (scan_) return;
    const std::string code = codeWin_->text().toStdString();
    const std::string sub = subcodeWin_->text().toStdString();
    const std::string index = indexWin_->text().toStdString();
    const std::string byteNo = byteWin_->text().toStdString();
    const std::string data = hexDataWin_->text().toStdString();
    const std::string length = lenWin_->text().toStdString();
    vx::OccurrencePattern pattern;
    std::string err = vx::readOccurrenceInput(
        {code, sub, index, dataCB_->isChecked(), byteNo, data, length}, pattern);
    if (err.empty() && logFileWin_->text().isEmpty()) err = "Log File: no file chosen.";
    if (!err.empty()) {
        msg::show(this, msg::Kind::Error, "Error", qs(err));
        return;
    }
    auto scan =
        std::make_unique<vx::OccurrenceScan>(std::move(pattern), logFileWin_->text().toStdString());
    if (!scan->open()) {
        msg::show(this, msg::Kind::Error, "Error", qs(scan->error()));
        return;
    }
    scan_ = std::move(scan);
    countStartButton_->setEnabled(false);
    occurWin_->clear();
    countProgress_->setValue(0);
    countProgress_->setVisible(scan_->fileSize() > kProgressFileBytes);
    countTimer_->start();
}

void TbatchGenericForm::countTimerTimer() {
    if (!scan_) {
        countTimer_->stop();
        return;
    }
    // One slice per turn of the event loop: input and painting go on between slices.
    bool done = scan_->step();
    if (scan_->fileSize() > 0)
        countProgress_->setValue(int(scan_->bytesRead() * 1000 / scan_->fileSize()));
    if (!done) return;
    endCount(qs(scan_->error()));
}

void TbatchGenericForm::endCount(const QString& error) {
    countTimer_->stop();
    occurWin_->setText(QString::number(scan_->count()));
    scan_.reset();
    countProgress_->hide();
    countStartButton_->setEnabled(true);
    if (!error.isEmpty()) msg::show(this, msg::Kind::Error, "Error", error);
}
