#include "reports/pkt31_form.h"

#include "widgets/message_qt.h"

#include <QPushButton>

#include <filesystem>

Tpkt31Form::Tpkt31Form(Console& console, QWidget* parent)
    : ReportViewForm(console, vx::pkt31Spec(), parent) {
    showReplies<vx::GpsFixRecord>(vx::showGpsFix);
    onDelivery(vx::HandlerRole::AltFix,
               [this](const vx::Delivery& d, const vx::RouteStep&) { showDebugMessage(d); });
    pauseButton_ = addButton("Button1", "Pause");
    logButton_ = addButton("logButton", "Log");
    stopButton_ = addButton("stopButton", "Stop Logging");
    stopButton_->setEnabled(false);
    connect(pauseButton_, &QPushButton::clicked, this, &Tpkt31Form::Button1Click);
    connect(logButton_, &QPushButton::clicked, this, &Tpkt31Form::logButtonClick);
    connect(stopButton_, &QPushButton::clicked, this, &Tpkt31Form::stopButtonClick);
}

std::string Tpkt31Form::logPath() const {
    if (!logPath_.empty()) return logPath_;
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::current_path(ec);
    return (ec ? std::filesystem::path(vx::TimeSourceLog::kFileName)
               : dir / vx::TimeSourceLog::kFileName)
        .string();
}

void Tpkt31Form::Button1Click() {
    paused_ = !paused_;
    pauseButton_->setText(paused_ ? "Resume" : "Pause");
}

void Tpkt31Form::setLogging(bool on) {
    logButton_->setEnabled(!on);
    stopButton_->setEnabled(on);
}

void Tpkt31Form::logButtonClick() {
    const std::string path = logPath();
    if (!log_.open(path)) {
        msg::show(this, msg::Kind::Error, "Error",
                  QString("Could not open file.\n%1\n%2")
                      .arg(QString::fromStdString(path), QString::fromStdString(log_.error())));
        setLogging(false);
        return;
    }
    openedPath_ = path;
    setLogging(true);
}

void Tpkt31Form::stopButtonClick() {
    log_.close();
    setLogging(false);
}

void Tpkt31Form::showDebugMessage(const vx::Delivery& d) {
    if (paused_) return;
    scratch().clear();
    if (!vx::showTimeKeeping(d.h2, d.payload(), d.payloadLength(), scratch(), &line_)) return;
    stage(scratch());
    if (line_.empty() || !log_.isOpen()) return;
    if (!log_.write(line_)) {
        setLogging(false);
        // Not modal: the next packets are handled while the message is on screen.
        msg::notify(
            this, msg::Kind::Error, "Error",
            QString("Could not write file.\n%1\n%2")
                .arg(QString::fromStdString(openedPath_), QString::fromStdString(log_.error())));
    }
}
