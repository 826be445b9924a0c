#include "app/raw_data_form.h"

#include "app/log_formats.h"
#include "widgets/file_dialog_qt.h"
#include "widgets/message_qt.h"

#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

TrawDataForm::TrawDataForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog), console_(console) {
    nameWindow(this, vx::WindowId::TrawDataForm);

    rawDataWin_ = new QPlainTextEdit(this);
    rawDataWin_->setObjectName("rawDataWin");
    rawDataWin_->setReadOnly(true);
    rawDataWin_->setUndoRedoEnabled(false);
    rawDataWin_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rawDataWin_->setLineWrapMode(QPlainTextEdit::NoWrap);
    rawDataWin_->setMaximumBlockCount(kMaxLines);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    rawDataWin_->setFont(mono);

    auto button = [this](const char* caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    closeButton_ = button("Close", "closeButton");
    clearButton_ = button("Clear", "clearButton");
    logButton_ = button("Log", "logButton");
    pauseButton_ = button("Pause", "pauseButton");
    textCheck_ = new QCheckBox("Show Text/NMEA", this);
    textCheck_->setObjectName("CheckBox0");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(textCheck_);
    buttons->addStretch();
    buttons->addWidget(pauseButton_);
    buttons->addWidget(logButton_);
    buttons->addWidget(clearButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rawDataWin_, 1);
    layout->addLayout(buttons);
    resize(760, 360);

    connect(closeButton_, &QPushButton::clicked, this, &TrawDataForm::closeButtonClick);
    connect(clearButton_, &QPushButton::clicked, this, &TrawDataForm::clearButtonClick);
    connect(logButton_, &QPushButton::clicked, this, &TrawDataForm::logButtonClick);
    connect(pauseButton_, &QPushButton::clicked, this, &TrawDataForm::pauseButtonClick);
    connect(textCheck_, &QCheckBox::toggled, this, &TrawDataForm::CheckBox0Click);

    tick_ = new QTimer(this);
    tick_->setObjectName("viewTimer");
    tick_->setInterval(kTickMs);
    connect(tick_, &QTimer::timeout, this, &TrawDataForm::showQueuedLines);

    // The box starts clear: the link cuts the stream into frames.
    console_.link().setTapTextMode(false);
    console_.link().addRawTap(&tap_);
}

TrawDataForm::~TrawDataForm() {
    // Once the tap is removed the worker no longer calls this window.
    console_.link().removeRawTap(&tap_);
    log_.close();
}

// ---- The tap (receive worker) -----------------------------------------------------------------

void TrawDataForm::Tap::rawChunk(const uint8_t* bytes, size_t count, uint8_t) {
    form_.showRawChunk(bytes, count);
}

void TrawDataForm::showRawChunk(const uint8_t* bytes, size_t count) {
    if (!showing_.load(std::memory_order_acquire) || paused_.load(std::memory_order_acquire))
        return;
    line_.clear();
    vx::appendRawChunkLine(line_, bytes, count, text_.load(std::memory_order_relaxed));
    if (logging_.load(std::memory_order_acquire)) {
        // The file gets every line, whether or not the view keeps up.
        line_ += vx::kLogLineEnd;
        log_.write(line_.data(), line_.size());
        line_.resize(line_.size() - vx::kLogLineEnd.size());
    }
    std::lock_guard lk(queueMu_);
    if (queue_.size() >= size_t(kMaxLinesPerTick)) {
        queue_.pop_front();
        ++notShown_;
    }
    queue_.push_back(line_);
}

// ---- The view (GUI thread) --------------------------------------------------------------------

QString TrawDataForm::notShownLine(uint64_t lines) {
    return QString("... %1 lines not shown ...").arg(lines);
}

void TrawDataForm::showQueuedLines() {
    std::deque<std::string> lines;
    uint64_t notShown = 0;
    {
        std::lock_guard lk(queueMu_);
        lines.swap(queue_);
        std::swap(notShown, notShown_);
    }
    if (!lines.empty()) {
        QString text;
        size_t chars = lines.size() + 64;
        for (const std::string& l : lines) chars += l.size();
        text.reserve(qsizetype(chars));
        if (notShown) text += notShownLine(notShown);
        for (const std::string& l : lines) {
            if (!text.isEmpty()) text += QLatin1Char('\n');
            text += QLatin1String(l.data(), qsizetype(l.size()));
        }
        rawDataWin_->appendPlainText(text);
    }
    // Written out a few times a second; a write error ends the logging and says so.
    if (logging_.load() && !log_.flush()) stopLogging();
}

void TrawDataForm::showEvent(QShowEvent* event) {
    ConsoleDialog::showEvent(event);
    showing_.store(true, std::memory_order_release);
    tick_->start();
}

void TrawDataForm::hideEvent(QHideEvent* event) {
    ConsoleDialog::hideEvent(event);
    // A minimised window still counts as shown.
    if (!isVisible()) {
        showing_.store(false, std::memory_order_release);
        tick_->stop();
        showQueuedLines();
    }
}

void TrawDataForm::pauseButtonClick() {
    const bool pause = !paused_.load();
    paused_.store(pause);
    pauseButton_->setText(pause ? "Resume" : "Pause");
}

void TrawDataForm::clearButtonClick() {
    {
        std::lock_guard lk(queueMu_);
        queue_.clear();
        notShown_ = 0;
    }
    rawDataWin_->clear();
}

void TrawDataForm::CheckBox0Click() {
    const bool text = textCheck_->isChecked();
    text_.store(text);
    console_.link().setTapTextMode(text);
}

void TrawDataForm::stopLogging() {
    logging_.store(false, std::memory_order_release);
    const std::string path = log_.path();
    if (!log_.close()) {
        msg::notify(this, msg::Kind::Error, "Raw Data",
                    QString("Log file write error.\n\n%1: %2")
                        .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(log_.error())));
    }
    logButton_->setText("Log");
}

void TrawDataForm::logButtonClick() {
    if (logging_.load()) {
        stopLogging();
        return;
    }
    const QString name = fileDialog::saveFileName(this, "Raw Data Log", QString(), true);
    if (name.isEmpty()) return;
    std::string error;
    if (!log_.open(QFile::encodeName(name).toStdString(), error)) {
        msg::show(this, msg::Kind::Error, "Raw Data",
                  QString("OPEN FILE ERROR\n\n%1: %2").arg(name, QString::fromLocal8Bit(error)));
        return;
    }
    logging_.store(true, std::memory_order_release);
    logButton_->setText("Stop Logging");
}

void TrawDataForm::closeButtonClick() {
    close();
}

bool TrawDataForm::closeRequested() {
    if (logging_.load()) stopLogging();
    return true;
}
