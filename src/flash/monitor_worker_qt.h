// The flash tools' worker: one job at a time on a thread of its own, so that the monitor
// exchanges (sleeps, acknowledge waits, a flash image of half a megabyte) never hold the GUI
// thread. The job never touches a widget: what it reports goes to the window as calls queued
// on the GUI thread (post), and its end runs there too, after the thread has been joined.
#pragma once

#include "link/monitor_ops.h"
#include "link/serial_link.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// Makes the monitor link a tool talks through, given the claim that makes it the link's only
// sender. The console's is the serial link itself; tests hand in one that steps a simulated
// receiver's clock.
using MonitorLinkFactory = std::function<std::unique_ptr<vx::MonitorLink>(vx::LinkClaim&)>;
MonitorLinkFactory serialMonitorLinkFactory();

class MonitorWorker : public QObject {
    Q_OBJECT
public:
    explicit MonitorWorker(QObject* parent = nullptr) : QObject(parent) {}
    // Asks a running job to end (cancelFlag) and joins its thread.
    ~MonitorWorker() override;

    // Runs job on a new thread; once it has returned, done runs on the GUI thread. False when
    // a job is still running or no thread could be created (nothing runs then).
    bool start(std::function<void()> job, std::function<void()> done);
    bool running() const { return running_; }
    // Set when the worker is destroyed with a job running: the job should end soon.
    const std::atomic<bool>& cancelFlag() const { return cancel_; }

    // Runs fn on the GUI thread, queued behind what was posted before; from any thread.
    void post(std::function<void()> fn);

private:
    std::thread thread_;
    bool running_ = false; // GUI thread
    std::atomic<bool> cancel_{false};
};
