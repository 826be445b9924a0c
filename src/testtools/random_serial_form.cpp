#include "testtools/random_serial_form.h"

#include "widgets/message_qt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kStatusMs = 250;
} // namespace

TrandomSerialForm::TrandomSerialForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      routes_(console, vx::WindowId::TrandomSerialForm, this),
      rng_(std::make_unique<vx::StdRandomDraw>()) {
    centreOnFirstShow();
    auto* layout = new QVBoxLayout(this);
    buildStream(byteStream_, "Random Bytes", "Send Random Bytes ", "byte");
    buildStream(messageStream_, "Random Messages",
                "Send Random Messages (Valid start byte, stop byte, and checksum) ", "message");
    messageStream_.message = true;
    for (Stream* s : {&byteStream_, &messageStream_}) {
        auto* g = new QGroupBox(s == &byteStream_ ? "Random Bytes" : "Random Messages", this);
        auto* grid = new QGridLayout(g);
        s->check->setParent(g);
        grid->addWidget(s->check, 0, 0, 1, 4);
        const char* labels[] = {"Minimum Length:", "Maximum Length:", "Minimum Separation Time:",
                                "Maximum Separation Time:"};
        QLineEdit* boxes[] = {s->minLen, s->maxLen, s->minTime, s->maxTime};
        for (int i = 0; i < 4; ++i) {
            boxes[i]->setParent(g);
            grid->addWidget(new QLabel(labels[i], g), 1 + i % 2, (i / 2) * 2);
            grid->addWidget(boxes[i], 1 + i % 2, (i / 2) * 2 + 1);
        }
        layout->addWidget(g);
    }
    startButton_ = new QPushButton("Start", this);
    startButton_->setObjectName("startButton");
    stopButton_ = new QPushButton("Stop", this);
    stopButton_->setObjectName("stopButton");
    stopButton_->setEnabled(false);
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName("statusLabel");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);
    layout->addWidget(statusLabel_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    statusTimer_ = new QTimer(this);
    statusTimer_->setInterval(kStatusMs);
    connect(statusTimer_, &QTimer::timeout, this, &TrandomSerialForm::statusTimerTimer);
    connect(startButton_, &QPushButton::clicked, this, &TrandomSerialForm::startButtonClick);
    connect(stopButton_, &QPushButton::clicked, this, &TrandomSerialForm::stopButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TrandomSerialForm::closeButtonClick);
    connect(byteStream_.timer, &QTimer::timeout, this, &TrandomSerialForm::byteTimerTimer);
    connect(messageStream_.timer, &QTimer::timeout, this, &TrandomSerialForm::messageTimerTimer);
}

// The writers' destructors drop what is left of a burst and join their threads.
TrandomSerialForm::~TrandomSerialForm() = default;

void TrandomSerialForm::buildStream(Stream& s, const char*, const char* checkText,
                                    const char* prefix) {
    const QString p = prefix;
    s.check = new QCheckBox(checkText, this);
    s.check->setObjectName(p == "byte" ? "randomByteCB" : "randomMessageCB");
    auto box = [&](const char* what) {
        auto* e = new QLineEdit(this);
        e->setObjectName(p + what);
        e->setMaximumWidth(70);
        return e;
    };
    s.minLen = box("MinLenWin");
    s.maxLen = box("MaxLenWin");
    s.minTime = box("MinTimeWin");
    s.maxTime = box("MaxTimeWin");
    s.timer = new QTimer(this);
    s.timer->setObjectName(p + "Timer");
}

std::string TrandomSerialForm::readStream(Stream& s, const char* group, vx::RandomLimits& out) {
    out = s.limits;
    const std::string a = s.minLen->text().toStdString(), b = s.maxLen->text().toStdString(),
                      c = s.minTime->text().toStdString(), d = s.maxTime->text().toStdString();
    return vx::readRandomLimits(group, {a, b, c, d}, out);
}

void TrandomSerialForm::startStream(Stream& s) {
    s.counts = StreamCounts{};
    const int interval = rng_->between(s.limits.minTimeMs, s.limits.maxTimeMs);
    if (interval == 0) {
        // An interval of 0 stops the stream rather than spinning.
        s.counts.stoppedByZero = true;
        return;
    }
    s.timer->start(interval);
}

void TrandomSerialForm::startButtonClick() {
    // Every checked stream's limits are checked before anything starts.
    vx::RandomLimits bytes = byteStream_.limits, messages = messageStream_.limits;
    std::string err;
    if (byteStream_.check->isChecked()) err = readStream(byteStream_, "Random Bytes", bytes);
    if (err.empty() && messageStream_.check->isChecked())
        err = readStream(messageStream_, "Random Messages", messages);
    if (!err.empty()) {
        msg::show(this, msg::Kind::Error, "Error", QString::fromStdString(err));
        return;
    }
    byteStream_.limits = bytes;
    messageStream_.limits = messages;
    if (byteStream_.check->isChecked()) startStream(byteStream_);
    if (messageStream_.check->isChecked()) startStream(messageStream_);
    startButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    statusTimer_->start();
    statusTimerTimer();
}

void TrandomSerialForm::stopButtonClick() {
    for (Stream* s : {&byteStream_, &messageStream_}) {
        s->timer->stop();
        s->writer->cancel();
    }
    startButton_->setEnabled(true);
    stopButton_->setEnabled(false);
    statusTimer_->stop();
    statusTimerTimer();
}

void TrandomSerialForm::closeButtonClick() {
    hide(); // the streams go on
}

void TrandomSerialForm::byteTimerTimer() {
    tickStream(byteStream_);
}

void TrandomSerialForm::messageTimerTimer() {
    tickStream(messageStream_);
}

void TrandomSerialForm::tickStream(Stream& s) {
    const vx::RandomLimits& l = s.limits;
    const int next = rng_->between(l.minTimeMs, l.maxTimeMs);
    if (next == 0) {
        s.timer->stop();
        s.counts.stoppedByZero = true;
    } else if (s.timer->interval() != next) {
        s.timer->setInterval(next);
    }
    if (s.writer->pending()) {
        ++s.counts.skipped;
        return;
    }
    const size_t n = size_t(rng_->between(l.minLength, l.maxLength));
    std::vector<uint8_t> burst =
        s.message ? vx::buildRandomMessage(*rng_, n) : vx::buildRandomBurst(*rng_, n);
    ++s.counts.ticks;
    if (!burst.empty()) s.writer->post(routes_.console().sink(), std::move(burst));
}

QString TrandomSerialForm::streamStatus(const char* name, const Stream& s) const {
    if (!s.check->isChecked() && s.counts.ticks == 0 && !s.counts.stoppedByZero) return {};
    QString t = QString("%1: %2 bytes written").arg(name).arg(s.writer->bytesWritten());
    if (s.counts.skipped) t += QString(", %1 ticks skipped (port busy)").arg(s.counts.skipped);
    if (s.writer->burstsFailed())
        t += QString(", %1 not written (link not running)").arg(s.writer->burstsFailed());
    if (s.counts.stoppedByZero) t += ", stopped (interval 0)";
    return t;
}

void TrandomSerialForm::statusTimerTimer() {
    QStringList parts;
    for (const auto& [name, s] : {std::pair<const char*, const Stream*>{"Bytes", &byteStream_},
                                  {"Messages", &messageStream_}}) {
        QString t = streamStatus(name, *s);
        if (!t.isEmpty()) parts << t;
    }
    statusLabel_->setText(parts.join("; "));
}
