#include "flash/monitor_worker_qt.h"

#include "link/serial_monitor_link.h"

#include <QMetaObject>

#include <system_error>

MonitorLinkFactory serialMonitorLinkFactory() {
    return [](vx::LinkClaim& claim) -> std::unique_ptr<vx::MonitorLink> {
        return std::make_unique<vx::SerialMonitorLink>(claim);
    };
}

MonitorWorker::~MonitorWorker() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

bool MonitorWorker::start(std::function<void()> job, std::function<void()> done) {
    if (running_) return false;
    if (thread_.joinable()) thread_.join(); // an ended job whose end has not been run yet
    cancel_ = false;
    try {
        thread_ = std::thread([this, job = std::move(job), done = std::move(done)]() mutable {
            job();
            post([this, done = std::move(done)] {
                if (thread_.joinable()) thread_.join();
                running_ = false;
                if (done) done();
            });
        });
    } catch (const std::system_error&) {
        return false;
    }
    running_ = true;
    return true;
}

void MonitorWorker::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}
