// The console's hub on the GUI thread: the serial link with its receive worker, the bounded
// hand-over queue, and the consumer that runs each received packet's routing steps on the GUI
// thread, one packet at a time, in table order.
//
// How a window takes part:
//
//     Console& c = Console::instance();
//     c.registerWindow(vx::WindowId::Tpkt2101Form, this);      // visibility read at delivery
//     c.handlers().set(vx::WindowId::Tpkt2101Form, vx::HandlerRole::Reply,
//                      [this](const vx::Delivery& d, const vx::RouteStep&) { ... });
//     vx::sendQuery(c.sink(), 0x21, 0x01);                       // every sender takes a sink
//
// A window created on first use registers when it is created; until then the routing skips it.
// A window with its own running flag (a test that runs) gives it with setRunningFlag.
#pragma once

#include "link/handover.h"
#include "link/receive_worker.h"
#include "link/serial_link.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class Console : public QObject {
    Q_OBJECT
public:
    // Uses the process's one serial link by default; tests may give their own.
    explicit Console(vx::SerialLink* link = nullptr, QObject* parent = nullptr);
    ~Console() override;

    // The console of this process (the most recently created one).
    static Console& instance();
    static bool exists();

    vx::SerialLink& link() { return *link_; }
    // Where every sender writes: the link, unless a test replaced it.
    vx::FrameSink& sink() { return sink_ ? *sink_ : *link_; }
    void setSink(vx::FrameSink* sink) { sink_ = sink; }

    vx::HandlerTable& handlers() { return handlers_; }
    vx::MonitorFlags& flags() { return flags_; }
    vx::HandoverQueue& queue() { return queue_; }

    void registerWindow(vx::WindowId id, QWidget* window);
    void unregisterWindow(vx::WindowId id);
    QWidget* window(vx::WindowId id) const;
    void setRunningFlag(vx::WindowId id, std::function<bool()> running);

    // Opens the source and starts the receive worker. 0, or -1 with lastError() set.
    int startMonitor(const vx::LinkSettings& settings);
    // Stops the worker and closes the source, then runs what was still queued. 0, or -1
    // when the link was not running.
    int stopMonitor();
    bool monitoring() const { return link_->running(); }
    QString lastError() const;

    // Runs every waiting delivery now (tests; shutdown).
    void drainAll();
    // Deliveries run so far.
    uint64_t delivered() const { return consumer_.delivered(); }

    // How many deliveries one turn of the event loop runs before it lets input and painting
    // through again.
    static constexpr size_t kDrainBatch = 200;

signals:
    // A frame was written (any thread sends; emitted on the GUI thread): the TX lamp.
    void frameSent();

private:
    class Registry : public vx::WindowRegistry {
    public:
        bool visible(vx::WindowId w) const override;
        bool exists(vx::WindowId w) const override;
        bool running(vx::WindowId w) const override;
        std::array<QPointer<QWidget>, vx::kWindowCount> windows;
        std::array<std::function<bool()>, vx::kWindowCount> runningFlags;
    };

    // Told by the link of each frame written, on the sending thread.
    struct TxRelay : vx::TxObserver {
        Console* console;
        void frameSent() override;
    };
    void scheduleDrain();
    void drainBatch();

    vx::SerialLink* link_;
    vx::FrameSink* sink_ = nullptr;
    vx::HandoverQueue queue_;
    vx::HandlerTable handlers_;
    vx::MonitorFlags flags_;
    Registry registry_;
    vx::DeliveryConsumer consumer_;
    std::unique_ptr<vx::ReceiveWorker> worker_;
    TxRelay txRelay_;
    bool drainScheduled_ = false;
    Console* previous_ = nullptr;
};
