#include "app/error_form.h"

#include "app/ack_texts.h"
#include "app/console_qt.h"
#include "link/framing.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

TerrorForm::TerrorForm(Console& console, QWidget* parent)
    : QWidget(parent, Qt::Window), routes_(console, vx::WindowId::TerrorForm, this) {

    errWin = new QPlainTextEdit(this);
    errWin->setObjectName("errWin");
    errWin->setReadOnly(true);
    errWin->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    errWin->setUndoRedoEnabled(false);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    errWin->setFont(mono);
    droppedLabel = new QLabel(this);
    droppedLabel->setObjectName("droppedLabel");
    droppedLabel->hide();

    clearButton = new QPushButton("Clear", this);
    clearButton->setObjectName("clearButton");
    closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    connect(clearButton, &QPushButton::clicked, this, &TerrorForm::clearButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &TerrorForm::closeButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(droppedLabel);
    buttons->addStretch();
    buttons->addWidget(clearButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(errWin);
    layout->addLayout(buttons);
    resize(640, 300);

    routes_.on(vx::HandlerRole::ErrorReport, [this](const vx::Delivery& d, const vx::RouteStep&) {
        showError(d.frame.data(), d.result, d.count);
    });
}

TerrorForm::~TerrorForm() = default;

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
    trim();
}

void TerrorForm::trim() {
    // Dropping a tenth of the limit in one edit costs about as much as dropping one line, so
    // the memo is let grow by that much and then cut back to the limit: removing lines one by
    // one as they arrive makes every append pay for it.
    QTextDocument* doc = errWin->document();
    const int blocks = doc->blockCount();
    if (blocks <= maxLines_ + std::max(1, maxLines_ / 10)) return;
    const int drop = blocks - maxLines_;
    QTextCursor c(doc);
    c.setPosition(0);
    c.setPosition(doc->findBlockByNumber(drop).position(), QTextCursor::KeepAnchor);
    c.removeSelectedText();
    dropped_ += drop;
    droppedLabel->setText(QStringLiteral("%L1 older lines dropped.").arg(dropped_));
    droppedLabel->show();
}

void TerrorForm::setMaxLines(int lines) {
    flush();
    maxLines_ = lines > 0 ? lines : 1;
    trim();
}

void TerrorForm::clearButtonClick() {
    pending_.clear();
    pendingLines_ = 0;
    lines_ = 0;
    dropped_ = 0;
    errWin->clear();
    droppedLabel->clear();
    droppedLabel->hide();
}

void TerrorForm::closeButtonClick() {
    close();
}

void TerrorForm::closeEvent(QCloseEvent* event) {
    routes_.console().flags().errorPending.store(0);
    QWidget::closeEvent(event);
}
