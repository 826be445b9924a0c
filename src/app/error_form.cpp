#include "app/error_form.h"

#include "console/console_qt.h"
#include "link/ack_texts.h"
#include "link/framing.h"
#include "widgets/line_memo_qt.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <vector>

TerrorForm::TerrorForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      routes_(console, vx::WindowId::TerrorForm, this) {

    memo_ = new LineMemo(store_, this);
    memo_->setObjectName("errWin");
    memo_->setAccessibleName("Refused frames");
    droppedLabel_ = new QLabel(this);
    droppedLabel_->setObjectName("droppedLabel");
    droppedLabel_->hide();

    clearButton_ = new QPushButton("Clear", this);
    clearButton_->setObjectName("clearButton");
    clearButton_->setAutoDefault(false);
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    closeButton_->setAutoDefault(false);
    connect(clearButton_, &QPushButton::clicked, this, &TerrorForm::clearButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TerrorForm::closeButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(droppedLabel_);
    buttons->addStretch();
    buttons->addWidget(clearButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memo_);
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
    store_.append(vx::errorLine(code, bytes, count));
    // The memo catches up once per turn of the event loop, however many lines came.
    if (!flushScheduled_) {
        flushScheduled_ = true;
        QTimer::singleShot(0, this, &TerrorForm::flush);
    }
}

void TerrorForm::flush() {
    flushScheduled_ = false;
    memo_->storeChanged();
    const std::string note = store_.droppedNote();
    droppedLabel_->setText(QString::fromStdString(note));
    droppedLabel_->setVisible(!note.empty());
}

void TerrorForm::setLimits(size_t capBytes, size_t blockBytes) {
    std::vector<std::string> held;
    held.reserve(store_.size());
    for (size_t i = 0; i < store_.size(); ++i) held.emplace_back(store_.line(i));
    store_ = vx::LineStore(capBytes, blockBytes);
    for (const std::string& line : held) store_.append(line);
    flush();
}

void TerrorForm::clearButtonClick() {
    store_.clear();
    flush();
}

void TerrorForm::closeButtonClick() {
    close();
}

bool TerrorForm::closeRequested() {
    routes_.console().flags().errorPending.store(0);
    return true;
}
