#include "app/error_form.h"

#include "app/ack_texts.h"
#include "app/console_qt.h"
#include "link/framing.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TerrorForm::TerrorForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("errorForm");
    setWindowTitle("Error Window");

    errWin = new QPlainTextEdit(this);
    errWin->setObjectName("errWin");
    errWin->setReadOnly(true);
    errWin->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    errWin->setUndoRedoEnabled(false);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    errWin->setFont(mono);

    clearButton = new QPushButton("Clear", this);
    clearButton->setObjectName("clearButton");
    closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    connect(clearButton, &QPushButton::clicked, this, &TerrorForm::clearButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &TerrorForm::closeButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clearButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(errWin);
    layout->addLayout(buttons);
    resize(640, 300);

    if (Console::exists()) {
        console_ = &Console::instance();
        Console& c = *console_;
        c.registerWindow(vx::WindowId::TerrorForm, this);
        c.handlers().set(vx::WindowId::TerrorForm, vx::HandlerRole::ErrorReport,
                         [this](const vx::Delivery& d, const vx::RouteStep&) {
                             showError(d.frame.data(), d.result, d.count);
                         });
    }
}

TerrorForm::~TerrorForm() {
    if (console_) console_->unregisterWindow(vx::WindowId::TerrorForm);
}

void TerrorForm::showError(const uint8_t* bytes, int code, size_t count) {
    // The deframer combines its codes when a frame ends on its 240th byte with a bad checksum
    // (2 + 4): the frame is refused for its length whatever its checksum, so it is listed as a
    // length error rather than dropped from the list.
    if (code > vx::kErrParameter && (code & vx::kFrameLengthError)) code = vx::kErrLength;
    if (code > vx::kErrParameter || code < 0) return;
    const std::string line = vx::errorLine(code, bytes, count);
    if (pendingLines_ > 0) pending_ += QLatin1Char('\n');
    pending_ += QLatin1String(line.data(), qsizetype(line.size()));
    ++pendingLines_;
    if (!flushScheduled_) {
        flushScheduled_ = true;
        QTimer::singleShot(0, this, &TerrorForm::flush);
    }
}

void TerrorForm::flush() {
    flushScheduled_ = false;
    if (pendingLines_ == 0) return;
    errWin->appendPlainText(pending_);
    lines_ += pendingLines_;
    pending_.clear();
    pendingLines_ = 0;
}

void TerrorForm::clearButtonClick() {
    pending_.clear();
    pendingLines_ = 0;
    lines_ = 0;
    errWin->clear();
}

void TerrorForm::closeButtonClick() {
    close();
}

void TerrorForm::closeEvent(QCloseEvent* event) {
    if (console_) console_->flags().errorPending.store(0);
    QWidget::closeEvent(event);
}
