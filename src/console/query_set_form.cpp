#include "console/query_set_form.h"

#include "widgets/lamp_qt.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

// ---- Request --------------------------------------------------------------------------------

void Request::paint(const QColor& c) {
    if (led_) led_->setColour(c);
}

void Request::start(const Keys& keys) {
    keys_ = keys.bits();
    refused_ = false;
    paint(lamp::kWhite);
}

bool Request::answer(uint8_t key) {
    keys_.reset(key);
    if (keys_.any()) return false;
    // The last answer of a request that was partly refused leaves it red.
    if (refused_)
        refused_ = false;
    else
        paint(lamp::kGreen);
    return true;
}

void Request::refuse(uint8_t key) {
    keys_.reset(key);
    refused_ = keys_.any();
    paint(lamp::kRed);
}

void Request::reject() {
    paint(lamp::kRed);
}

void Request::finish(bool ok) {
    keys_.reset();
    refused_ = false;
    paint(ok ? lamp::kGreen : lamp::kRed);
}

bool Request::expire() {
    if (!keys_.any()) return false;
    paint(lamp::kRed);
    if (expiry_ == ClearOnExpiry) {
        keys_.reset();
        refused_ = false;
    }
    return true;
}

// ---- QuerySetForm ---------------------------------------------------------------------------

namespace {
// A sink that keeps the frames a sender builds, to send them later in order.
class CaptureSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        script.push_back({std::vector<uint8_t>(bytes, bytes + length), 0});
        return 0;
    }
    vx::PacedScript script;
};
} // namespace

QuerySetForm::QuerySetForm(Console& console, vx::WindowId id, QWidget* parent, int timeoutMs)
    : ConsoleDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      routes_(console, id, this), responseTimer_(new QTimer(this)), scriptTimer_(new QTimer(this)) {
    centreOnFirstShow();
    responseTimer_->setObjectName("responseTimer");
    responseTimer_->setSingleShot(true);
    responseTimer_->setInterval(timeoutMs);
    connect(responseTimer_, &QTimer::timeout, this, &QuerySetForm::responseTimerTimer);
    scriptTimer_->setObjectName("scriptTimer");
    scriptTimer_->setSingleShot(true);
    // The pauses between frames are minimums the receiver relies on: never fire early.
    scriptTimer_->setTimerType(Qt::PreciseTimer);
    connect(scriptTimer_, &QTimer::timeout, this, &QuerySetForm::scriptTimerTimer);
}

QuerySetForm::~QuerySetForm() = default;

bool QuerySetForm::sending() const {
    return !scripts_.empty() || scriptTimer_->isActive();
}

void QuerySetForm::responseTimerTimer() {
    responseTimer_->stop();
    for (Request& r : requests_) r.expire();
}

Request& QuerySetForm::addRequest(Lamp* led, Request::Expiry expiry) {
    return requests_.emplace_back(led, expiry);
}

void QuerySetForm::beginRequest(Request& r, const Keys& keys,
                                std::initializer_list<Request*> superseded) {
    for (Request* other : superseded) {
        if (!other || other == &r) continue;
        if (other->led()) other->led()->setColour(lamp::kWhite);
        other->cancel();
    }
    r.start(keys);
    armTimer();
}

void QuerySetForm::armTimer() {
    if (!responseTimer_->isActive()) responseTimer_->start();
}

int QuerySetForm::send(const std::function<int(vx::FrameSink&)>& sender) {
    if (!sending()) return sender(console().sink());
    CaptureSink capture;
    int rc = sender(capture);
    if (!capture.script.empty()) sendScript(std::move(capture.script));
    return rc;
}

void QuerySetForm::sendScript(vx::PacedScript script, QWidget* starter) {
    if (script.empty()) return;
    if (starter) starter->setEnabled(false);
    scripts_.push_back({vx::ScriptCursor(std::move(script)), starter});
    if (!scriptTimer_->isActive()) pumpScripts();
}

void QuerySetForm::scriptTimerTimer() {
    scriptTimer_->stop();
    pumpScripts();
}

void QuerySetForm::release(QWidget* starter) {
    if (!starter) return;
    // A button that started two scripts stays disabled until the later one ends.
    for (const Running& r : scripts_)
        if (r.starter == starter) return;
    starter->setEnabled(true);
}

void QuerySetForm::pumpScripts() {
    // The pause after the last step of a script has run out: its button is free again.
    if (QWidget* done = pausing_) {
        pausing_ = nullptr;
        release(done);
    }
    // Sends until a step asks for a pause; the pause after a script's last step is kept too,
    // so the next frame keeps its distance.
    while (!scripts_.empty()) {
        Running& run = scripts_.front();
        const int pause = run.cursor.sendNext(console().sink());
        QPointer<QWidget> finished;
        if (run.cursor.done()) {
            finished = run.starter;
            scripts_.pop_front();
        }
        if (pause > 0) {
            pausing_ = finished;
            scriptTimer_->start(pause);
            return;
        }
        release(finished);
    }
}

void QuerySetForm::onQueryAck(std::function<void(const vx::AckRecord&)> handler) {
    routes_.onAck(vx::HandlerRole::QueryAck, std::move(handler));
}

void QuerySetForm::onSetAck(std::function<void(const vx::AckRecord&)> handler) {
    routes_.onAck(vx::HandlerRole::SetAck, std::move(handler));
}

void QuerySetForm::onDelivery(vx::HandlerRole role, vx::DeliveryHandler handler) {
    routes_.on(role, std::move(handler));
}

void QuerySetForm::fixSizeOnFirstShow() {
    adjustSize();
    // Wide enough that the title bar shows the whole caption beside its buttons.
    QFont title = font();
    title.setBold(true);
    const int captionWidth = QFontMetrics(title).horizontalAdvance(windowTitle()) + 96;
    setFixedSize(std::max(width(), captionWidth), height());
}

void QuerySetForm::showEvent(QShowEvent* event) {
    ConsoleDialog::showEvent(event);
    if (event->spontaneous()) return;
    FormShow();
}
