// The console's hub on the GUI thread: the serial link with its receive worker, the bounded
// hand-over queue, and the consumer that runs each received packet's routing steps on the GUI
// thread, one packet at a time, in table order.
//
// A window is given the console when it is created and takes part in the routing through one
// RouteBinding member, which registers it, holds its handlers and unregisters it again:
//
//     Tpkt2101Form(Console& console) : routes_(console, vx::WindowId::Tpkt2101Form, this) {
//         routes_.onRecord<vx::EngineRateRecord>(vx::HandlerRole::Reply,
//             [this](const vx::EngineRateRecord& r, const vx::Routed& at) { ... });
//         routes_.onAck(vx::HandlerRole::QueryAck, [this](const vx::AckRecord& a) { ... });
//     }
//     vx::sendQuery(routes_.console().sink(), 0x21, 0x01);      // every sender takes a sink
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
    explicit Console(vx::SerialLink& link, QObject* parent = nullptr);
    ~Console() override;

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

    // ---- Stop Monitor and Start Monitor for the windows of other families
    // The main window hands in what its Stop Monitor and Start Monitor do (the display
    // blanked, the source panel painted, the capture armed, ...) and which source COM Setup
    // has chosen; a tool that must restart monitoring (the flash tools) runs them here.
    struct MonitorCommands {
        std::function<void()> stop;
        std::function<void()> start;
        std::function<bool()> replayChosen; // COM Setup's source is a replay file
    };
    void setMonitorCommands(MonitorCommands commands) { monitorCommands_ = std::move(commands); }
    // Stop Monitor as the main window does it; without a main window the link is stopped.
    void runStopMonitor();
    // Start Monitor as the main window does it; without one the link is started with the
    // settings of its last start. True when the link then runs.
    bool runStartMonitor();
    // The source COM Setup has chosen (or, without a main window, the running link) is a
    // replay file.
    bool replayChosen() const;

    // True while a tool owns the link (SerialLink::claim): every other sender is refused, and
    // the main window keeps its menus disabled and refuses to close.
    bool linkClaimed() const { return link_->claimed(); }
    // Deliveries run so far.
    uint64_t delivered() const { return consumer_.delivered(); }

    // How many deliveries one turn of the event loop runs before it lets input and painting
    // through again.
    static constexpr size_t kDrainBatch = 200;

signals:
    // A frame was written (any thread sends; emitted on the GUI thread): the TX lamp.
    void frameSent();
    // The link lost its port while monitoring (the receiver was unplugged or killed); emitted
    // on the GUI thread after the deliveries the link had received. The link has stopped by
    // itself (link().lost() is true until the next start); the main window then stops
    // monitoring as Stop Monitor does.
    void linkLost(const vx::LinkLoss& loss);
    // A tool claimed the link (true) or gave it back (false); emitted on the GUI thread.
    void linkClaimChanged(bool claimed);
    // A batch of deliveries has run (after each turn's batch, and after drainAll); more: more
    // deliveries are waiting for the next turn. Windows that gather what the packets change show
    // it at the end of a burst, and during a long one now and then (a screen shows some sixty
    // pictures a second, a fast replay runs hundreds of batches).
    void deliveriesRun(bool more);

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
    // Told by the link of a lost port, on the receive worker's thread: posts it to the GUI
    // thread.
    struct LossRelay : vx::LinkLossObserver {
        Console* console;
        void linkLost(const vx::LinkLoss& loss) override;
    };
    // Told by the link of each claim and release: emits linkClaimChanged on the GUI thread.
    struct ClaimRelay : vx::ClaimObserver {
        Console* console;
        void linkClaimChanged(bool claimed) override;
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
    LossRelay lossRelay_;
    ClaimRelay claimRelay_;
    MonitorCommands monitorCommands_;
    bool drainScheduled_ = false;
};

namespace vx {
// Where a routed packet's step came from: the subcode the routing gives the handler (h2, or
// for a nested 0x02 packet the nested subcode) and whether the packet was the nested form.
struct Routed {
    uint8_t subcode = 0;
    bool nested = false;
    const Delivery* delivery = nullptr;
};
} // namespace vx

// Gives a window the object name and caption of its line in the window list.
void nameWindow(QWidget* window, vx::WindowId id);

// A window's part in the routing for as long as the binding lives: registers the window with
// the console (its visibility is read when a step runs), holds its handlers, and on
// destruction unregisters the window and its handlers from the console it registered with.
// It also names the window (nameWindow).
class RouteBinding {
public:
    RouteBinding(Console& console, vx::WindowId id, QWidget* window);
    ~RouteBinding();
    RouteBinding(const RouteBinding&) = delete;
    RouteBinding& operator=(const RouteBinding&) = delete;

    Console& console() const { return *console_; }
    vx::WindowId id() const { return id_; }

    // A handler for one role, given the whole delivery and the step.
    void on(vx::HandlerRole role, vx::DeliveryHandler handler);
    // A handler for one role that takes the decoded record of type Record (deliveries that
    // carry another record are not passed on) and where it was routed.
    template <class Record, class F> void onRecord(vx::HandlerRole role, F handler) {
        on(role, [handler = std::move(handler)](const vx::Delivery& d, const vx::RouteStep& s) {
            if (const Record* r = d.recordAs<Record>()) handler(*r, routedOf(d, s));
        });
    }
    // Set or Query acknowledgements (role SetAck or QueryAck).
    void onAck(vx::HandlerRole role, std::function<void(const vx::AckRecord&)> handler);
    // The window's own running flag, for steps gated on it.
    void setRunningFlag(std::function<bool()> running);

    // The subcode a step routes and whether it is the nested 0x02 form.
    static vx::Routed routedOf(const vx::Delivery& d, const vx::RouteStep& s) {
        return {s.arg, d.h1 == 0x02, &d};
    }

private:
    QPointer<Console> console_;
    vx::WindowId id_;
};
