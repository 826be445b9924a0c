#include "console/console_qt.h"

#include <QMetaObject>
#include <QTimer>

Console::Console(vx::SerialLink& link, QObject* parent)
    : QObject(parent), link_(&link), consumer_(queue_, registry_, handlers_) {
    worker_ = std::make_unique<vx::ReceiveWorker>(queue_, &flags_);
    // The worker calls this when a delivery arrives while the consumer is idle: post a drain
    // to the GUI thread.
    queue_.setWakeCallback([this] {
        QMetaObject::invokeMethod(
            this, [this] { scheduleDrain(); }, Qt::QueuedConnection);
    });
    txRelay_.console = this;
    link_->setTxObserver(&txRelay_);
    lossRelay_.console = this;
    link_->setLossObserver(&lossRelay_);
    claimRelay_.console = this;
    link_->setClaimObserver(&claimRelay_);
}

Console::~Console() {
    link_->stopLink();
    link_->setTxObserver(nullptr);
    link_->setLossObserver(nullptr);
    link_->setClaimObserver(nullptr);
    link_->setReader(nullptr);
}

void Console::registerWindow(vx::WindowId id, QWidget* window) {
    registry_.windows[size_t(id)] = window;
}

void Console::unregisterWindow(vx::WindowId id) {
    registry_.windows[size_t(id)] = nullptr;
    registry_.runningFlags[size_t(id)] = nullptr;
    handlers_.clearWindow(id);
}

QWidget* Console::window(vx::WindowId id) const {
    return registry_.windows[size_t(id)];
}

void Console::setRunningFlag(vx::WindowId id, std::function<bool()> running) {
    registry_.runningFlags[size_t(id)] = std::move(running);
}

int Console::startMonitor(const vx::LinkSettings& settings) {
    link_->setReader(worker_.get());
    int rc = link_->startLink(settings);
    drainAll(); // anything left from an earlier run goes first
    return rc;
}

int Console::stopMonitor() {
    int rc = link_->stopLink();
    drainAll();
    return rc;
}

QString Console::lastError() const {
    return QString::fromStdString(link_->lastError());
}

void Console::drainAll() {
    while (consumer_.drain(kDrainBatch)) {
    }
    queue_.armWake();
    emit deliveriesRun(false);
}

void Console::runStopMonitor() {
    if (monitorCommands_.stop)
        monitorCommands_.stop();
    else
        stopMonitor();
}

bool Console::runStartMonitor() {
    if (monitorCommands_.start)
        monitorCommands_.start();
    else
        startMonitor(link_->settings());
    return monitoring();
}

bool Console::replayChosen() const {
    if (monitorCommands_.replayChosen) return monitorCommands_.replayChosen();
    return link_->replaying();
}

void Console::ClaimRelay::linkClaimChanged(bool claimed) {
    // Claims are made and released on the GUI thread (the signal is then emitted at once), or
    // on a worker (then it is posted).
    Console* c = console;
    QMetaObject::invokeMethod(
        c, [c, claimed] { emit c->linkClaimChanged(claimed); }, Qt::AutoConnection);
}

void Console::TxRelay::frameSent() {
    Console* c = console;
    QMetaObject::invokeMethod(
        c, [c] { emit c->frameSent(); }, Qt::QueuedConnection);
}

void Console::LossRelay::linkLost(const vx::LinkLoss& loss) {
    // Only posted: the worker is still ending. Stopping the monitor on the GUI thread runs
    // every delivery still queued, so the windows see each packet received before the loss.
    Console* c = console;
    QMetaObject::invokeMethod(
        c, [c, loss] { emit c->linkLost(loss); }, Qt::QueuedConnection);
}

void Console::scheduleDrain() {
    if (drainScheduled_) return;
    drainScheduled_ = true;
    // A zero timer rather than a posted call: input and paint events get their turn between
    // batches, so a fast replay never freezes the window.
    QTimer::singleShot(0, this, [this] { drainBatch(); });
}

void Console::drainBatch() {
    drainScheduled_ = false;
    const bool more = consumer_.drain(kDrainBatch);
    if (more) scheduleDrain();
    emit deliveriesRun(more);
}

bool Console::Registry::visible(vx::WindowId w) const {
    const QPointer<QWidget>& p = windows[size_t(w)];
    return p && p->isVisible();
}

bool Console::Registry::exists(vx::WindowId w) const {
    return !windows[size_t(w)].isNull();
}

bool Console::Registry::running(vx::WindowId w) const {
    const auto& f = runningFlags[size_t(w)];
    return f && exists(w) && f();
}

// ---- RouteBinding -------------------------------------------------------------------------------

void nameWindow(QWidget* window, vx::WindowId id) {
    const vx::WindowInfo& info = vx::windowInfo(id);
    window->setObjectName(
        QString::fromLatin1(info.objectName.data(), qsizetype(info.objectName.size())));
    window->setWindowTitle(
        QString::fromLatin1(info.caption.data(), qsizetype(info.caption.size())));
}

RouteBinding::RouteBinding(Console& console, vx::WindowId id, QWidget* window)
    : console_(&console), id_(id) {
    nameWindow(window, id);
    console.registerWindow(id, window);
}

RouteBinding::~RouteBinding() {
    if (console_) console_->unregisterWindow(id_);
}

void RouteBinding::on(vx::HandlerRole role, vx::DeliveryHandler handler) {
    if (console_) console_->handlers().set(id_, role, std::move(handler));
}

void RouteBinding::onAck(vx::HandlerRole role, std::function<void(const vx::AckRecord&)> handler) {
    on(role, [handler = std::move(handler)](const vx::Delivery& d, const vx::RouteStep&) {
        if (const auto* a = d.recordAs<vx::AckRecord>()) handler(*a);
    });
}

void RouteBinding::setRunningFlag(std::function<bool()> running) {
    if (console_) console_->setRunningFlag(id_, std::move(running));
}
