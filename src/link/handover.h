// The hand-over from the receive worker to the window thread.
//
// Per received frame the worker produces one Delivery: the frame, its result, the decoded
// record (a copy) and the ordered routing steps. It puts the delivery into a bounded
// HandoverQueue; when the queue is full the worker waits, so no packet is ever dropped and
// memory stays bounded. A DeliveryConsumer on the window thread takes the deliveries in order,
// one packet at a time, and for each step asks the WindowRegistry about the window at that
// moment (visible, exists, running) and calls the handler the window registered for that role.
//
// How a window takes part (the console's windows, or a test):
//
//     HandlerTable handlers;   // owned next to the consumer, filled on the window thread
//     handlers.set(WindowId::Tpkt2101Form, HandlerRole::Reply,
//                  [this](const Delivery& d, const RouteStep&) {
//                      if (auto* r = d.recordAs<EngineRateRecord>()) showRate(r->rate());
//                  });
//     handlers.set(WindowId::Tpkt2101Form, HandlerRole::QueryAck, ...);
//
//     DeliveryConsumer consumer(queue, registry, handlers);   // registry: the windows' state
//     queue.setWakeCallback([&] { /* post an event to the window thread */ });
//     // on that event, on the window thread:
//     if (consumer.drain(200)) /* more waiting: post the event again */;
//
// Nothing here depends on a GUI toolkit: the console adapts the wake callback to its event
// loop; tests and the vexor tool run the consumer on a plain thread (waitForDeliveries).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "link/framing.h"
#include "link/records.h"
#include "link/routing.h"

namespace vx {

// One received frame and everything its routing needs.
struct Delivery {
    uint8_t h1 = 0;     // frame byte 1 (the code), 0 when the frame is shorter
    uint8_t h2 = 0;     // frame byte 2 (the subcode), 0 when the frame is shorter
    int result = 0;     // 0, or the code the error window shows (deframer 1, 2, 4 and their
                        // combinations; decoder 3, 4)
    uint16_t count = 0; // frame bytes, 0x81 to 0x82
    std::array<uint8_t, kRxBufferSize> frame{}; // the unescaped frame (the error report's copy)
    RecordSnapshot record;                      // the decoded record, monostate when none
    bool decoded = false; // decode ran and accepted the packet (false for refusals and 0x23)
    uint8_t stepCount = 0;
    std::array<RouteStep, kMaxRouteSteps> steps{};

    const uint8_t* payload() const { return frame.data() + 3; }
    size_t payloadLength() const { return count >= 5 ? size_t(count) - 5 : 0; }
    RecordKind kind() const { return kindOf(record); }
    template <class T> const T* recordAs() const { return std::get_if<T>(&record); }
    std::span<const RouteStep> routeSteps() const { return {steps.data(), stepCount}; }
};

// The bounded single-producer single-consumer queue between the worker and the consumer.
// The producer (one thread) reserves the next free slot, fills it in place and commits it;
// the consumer (one thread) looks at the oldest delivery and pops it when done. Neither side
// takes a lock while the queue is neither full nor empty.
//
// Waking is batched so that a fast stream costs no system call per packet: a consumer that
// found the queue empty is woken when kWakeBatch deliveries are waiting, or earlier when the
// producer calls publish() — which the receive worker does whenever it has no byte to read,
// before a replay pause, before it waits for room, and when it ends. A live receiver's
// packets therefore reach the consumer at once; a fast replay reaches it in batches. A
// producer waiting for room is woken when the consumer has emptied half the queue.
class HandoverQueue {
public:
    static constexpr size_t kDefaultCapacity = 1024;
    static constexpr size_t kWakeBatch = 512;
    explicit HandoverQueue(size_t capacity = kDefaultCapacity);
    HandoverQueue(const HandoverQueue&) = delete;
    HandoverQueue& operator=(const HandoverQueue&) = delete;

    size_t capacity() const { return slots_.size(); }
    size_t size() const;
    bool empty() const { return size() == 0; }

    // Called on the producing thread when a delivery arrives while the consumer waits for one
    // (after it found the queue empty). Must be quick and thread-safe: post an event. Set it
    // before the producer starts.
    void setWakeCallback(std::function<void()> wake);

    // ---- producer
    // The slot to fill next; waits while the queue is full. Returns nullptr (nothing to fill)
    // when abandon becomes true while waiting; whoever sets abandon calls wakeProducer().
    Delivery* reserve(const std::atomic<bool>& abandon);
    // Publishes the reserved slot (the consumer is woken once a batch is waiting).
    void commit();
    // Wakes a consumer waiting for deliveries if any are waiting. Call it when the producer
    // is about to idle.
    void publish();
    // Wakes a producer waiting in reserve (to see its abandon flag).
    void wakeProducer();

    // ---- consumer
    // The oldest delivery, or nullptr when the queue is empty. Stays valid until pop().
    const Delivery* front() const;
    void pop();
    // Asks for the wake callback on the next commit. Returns true when a delivery arrived in
    // the meantime (the caller then drains again instead of waiting).
    bool armWake();
    // Blocks until a delivery is waiting, timeout passes or wakeConsumer() is called. True
    // when a delivery is waiting.
    bool waitForData(std::chrono::milliseconds timeout);
    void wakeConsumer();

private:
    std::vector<Delivery> slots_;
    alignas(64) std::atomic<uint64_t> head_{0}; // next to pop (consumer)
    alignas(64) std::atomic<uint64_t> tail_{0}; // next to fill (producer)
    alignas(64) std::atomic<bool> consumerArmed_{true};
    size_t wakeBatch_ = kWakeBatch; // at most half the capacity
    std::atomic<bool> producerWaiting_{false};
    std::atomic<uint64_t> consumerWakes_{0};
    std::mutex mu_;
    std::condition_variable spaceCv_;
    std::condition_variable dataCv_;
    std::function<void()> wake_;
};

// The windows' state as the consumer sees it when it runs a step. Called on the consumer's
// thread only.
class WindowRegistry {
public:
    virtual ~WindowRegistry() = default;
    virtual bool visible(WindowId w) const = 0;
    // Created (the windows created on first use); the others always exist.
    virtual bool exists(WindowId w) const = 0;
    // The window's own running flag (a running test; VEXOR->NMEA output on).
    virtual bool running(WindowId w) const = 0;
};

// No window exists: the headless tools' registry. Only the steps that run always (the logging
// window's, the error and acknowledgement flags) reach their handlers.
class NoWindows : public WindowRegistry {
public:
    bool visible(WindowId) const override { return false; }
    bool exists(WindowId) const override { return false; }
    bool running(WindowId) const override { return false; }
};

// A step's handler: the delivery (valid only during the call; copy what you keep) and the
// step (its arg).
using DeliveryHandler = std::function<void(const Delivery&, const RouteStep&)>;

// The handlers the windows registered, one per window and role. Filled and used on the
// consumer's thread.
class HandlerTable {
public:
    HandlerTable();
    void set(WindowId w, HandlerRole r, DeliveryHandler h);
    void clear(WindowId w, HandlerRole r) { set(w, r, nullptr); }
    void clearWindow(WindowId w);
    const DeliveryHandler* find(WindowId w, HandlerRole r) const {
        const DeliveryHandler& h = table_[size_t(w) * kRoleCount + size_t(r)];
        return h ? &h : nullptr;
    }

private:
    std::vector<DeliveryHandler> table_;
};

// Runs the deliveries of a queue: for each delivery in order, each step in order whose gate
// holds at that moment, the registered handler (a step without a handler is skipped).
class DeliveryConsumer {
public:
    DeliveryConsumer(HandoverQueue& queue, const WindowRegistry& registry,
                     const HandlerTable& handlers);

    // Called with every delivery before its steps (counting, printing, recording).
    void setObserver(std::function<void(const Delivery&)> observer);

    // Runs up to max deliveries, then returns so the window thread can do other work. Returns
    // true when more deliveries are waiting (run drain again soon), false when the queue is
    // empty (the wake callback will fire for the next delivery). A call made from inside a
    // handler (a nested event loop) returns false at once: deliveries never overtake one
    // another.
    bool drain(size_t max = 256);
    // For a consumer on a plain thread: waits up to timeout for a delivery.
    bool waitForDeliveries(std::chrono::milliseconds timeout) {
        return queue_.waitForData(timeout);
    }
    // Ends a waitForDeliveries in progress at once (the thread that stops the consumer).
    void wake() { queue_.wakeConsumer(); }

    uint64_t delivered() const { return delivered_; }
    uint64_t handlerCalls() const { return handlerCalls_; }

    // Whether a step's gate holds for the registry now.
    static bool gateHolds(const WindowRegistry& reg, const RouteStep& s);

private:
    HandoverQueue& queue_;
    const WindowRegistry& registry_;
    const HandlerTable& handlers_;
    std::function<void(const Delivery&)> observer_;
    bool draining_ = false;
    uint64_t delivered_ = 0;
    uint64_t handlerCalls_ = 0;
};

} // namespace vx
