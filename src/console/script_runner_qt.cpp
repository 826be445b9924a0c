#include "console/script_runner_qt.h"

ScriptRunner::ScriptRunner(Console& console, QObject* parent)
    : QObject(parent), console_(console), timer_(new QTimer(this)) {
    timer_->setObjectName("scriptTimer");
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &ScriptRunner::scriptTimerTimer);
}

void ScriptRunner::start(vx::PacedScript script) {
    timer_->stop();
    total_ = int(script.size());
    cursor_ = vx::ScriptCursor(std::move(script));
    running_ = true;
    pump();
}

void ScriptRunner::cancel() {
    timer_->stop();
    running_ = false;
}

void ScriptRunner::scriptTimerTimer() {
    timer_->stop();
    if (running_) pump();
}

void ScriptRunner::pump() {
    while (running_ && !cursor_.done()) {
        const int pause = cursor_.sendNext(console_.sink());
        const bool ok = cursor_.lastResult() == 0;
        emit stepSent(sent(), total_, ok);
        if (!ok) return finish(false);
        if (pause > 0) {
            timer_->start(pause);
            return;
        }
    }
    if (running_) finish(true);
}

void ScriptRunner::finish(bool ok) {
    running_ = false;
    timer_->stop();
    emit finished(ok);
}
