#include "link/handover.h"

#include <algorithm>

namespace vx {

HandoverQueue::HandoverQueue(size_t capacity) : slots_(capacity ? capacity : 1) {
    wakeBatch_ = std::max<size_t>(1, std::min(kWakeBatch, slots_.size() / 2));
}

size_t HandoverQueue::size() const {
    return size_t(tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire));
}

void HandoverQueue::setWakeCallback(std::function<void()> wake) {
    wake_ = std::move(wake);
}

Delivery* HandoverQueue::reserve(const std::atomic<bool>& abandon) {
    const uint64_t t = tail_.load(std::memory_order_relaxed);
    const uint64_t cap = slots_.size();
    if (t - head_.load(std::memory_order_acquire) < cap) return &slots_[t % cap];
    publish(); // a full queue: make sure the consumer knows
    std::unique_lock lk(mu_);
    for (;;) {
        // Dekker-style hand-shake with pop(): either pop sees producerWaiting_ and notifies
        // under the lock, or this load sees the new head.
        producerWaiting_.store(true, std::memory_order_seq_cst);
        if (t - head_.load(std::memory_order_seq_cst) < cap) break;
        if (abandon.load(std::memory_order_acquire)) {
            producerWaiting_.store(false, std::memory_order_relaxed);
            return nullptr;
        }
        spaceCv_.wait(lk);
    }
    producerWaiting_.store(false, std::memory_order_relaxed);
    return &slots_[t % cap];
}

void HandoverQueue::commit() {
    const uint64_t t = tail_.load(std::memory_order_relaxed) + 1;
    tail_.store(t, std::memory_order_seq_cst);
    if (t - head_.load(std::memory_order_relaxed) >= wakeBatch_) publish();
}

void HandoverQueue::publish() {
    // Dekker-style hand-shake with armWake(): either this load sees the consumer armed, or the
    // consumer's check after arming sees the new tail.
    if (!consumerArmed_.load(std::memory_order_seq_cst)) return;
    if (tail_.load(std::memory_order_relaxed) == head_.load(std::memory_order_seq_cst)) return;
    if (!consumerArmed_.exchange(false, std::memory_order_seq_cst)) return;
    {
        std::lock_guard lk(mu_);
        consumerWakes_.fetch_add(1, std::memory_order_relaxed);
    }
    dataCv_.notify_all();
    if (wake_) wake_();
}

void HandoverQueue::wakeProducer() {
    { std::lock_guard lk(mu_); }
    spaceCv_.notify_all();
}

const Delivery* HandoverQueue::front() const {
    uint64_t h = head_.load(std::memory_order_relaxed);
    if (h == tail_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[h % slots_.size()];
}

void HandoverQueue::pop() {
    uint64_t h = head_.load(std::memory_order_relaxed) + 1;
    head_.store(h, std::memory_order_seq_cst);
    // A waiting producer is woken once half the queue is free (not at every pop).
    if (producerWaiting_.load(std::memory_order_seq_cst) &&
        tail_.load(std::memory_order_relaxed) - h <= slots_.size() / 2) {
        { std::lock_guard lk(mu_); }
        spaceCv_.notify_all();
    }
}

bool HandoverQueue::armWake() {
    consumerArmed_.store(true, std::memory_order_seq_cst);
    return head_.load(std::memory_order_relaxed) != tail_.load(std::memory_order_seq_cst);
}

bool HandoverQueue::waitForData(std::chrono::milliseconds timeout) {
    if (front()) return true;
    std::unique_lock lk(mu_);
    uint64_t wakes = consumerWakes_.load(std::memory_order_relaxed);
    if (armWake()) return true;
    dataCv_.wait_for(lk, timeout,
                     [&] { return consumerWakes_.load(std::memory_order_relaxed) != wakes; });
    return front() != nullptr;
}

void HandoverQueue::wakeConsumer() {
    {
        std::lock_guard lk(mu_);
        consumerWakes_.fetch_add(1, std::memory_order_relaxed);
    }
    dataCv_.notify_all();
}

HandlerTable::HandlerTable() : table_(kWindowCount * kRoleCount) {}

void HandlerTable::set(WindowId w, HandlerRole r, DeliveryHandler h) {
    table_[size_t(w) * kRoleCount + size_t(r)] = std::move(h);
}

void HandlerTable::clearWindow(WindowId w) {
    for (size_t r = 0; r < kRoleCount; ++r) table_[size_t(w) * kRoleCount + r] = nullptr;
}

DeliveryConsumer::DeliveryConsumer(HandoverQueue& queue, const WindowRegistry& registry,
                                   const HandlerTable& handlers)
    : queue_(queue), registry_(registry), handlers_(handlers) {}

void DeliveryConsumer::setObserver(std::function<void(const Delivery&)> observer) {
    observer_ = std::move(observer);
}

bool DeliveryConsumer::gateHolds(const WindowRegistry& reg, const RouteStep& s) {
    switch (s.gate) {
    case Gate::Always:
        return true;
    case Gate::Visible:
        return reg.visible(s.window);
    case Gate::ExistsVisible:
        return reg.exists(s.window) && reg.visible(s.window);
    case Gate::Running:
        return reg.exists(s.window) && reg.running(s.window);
    }
    return false;
}

bool DeliveryConsumer::drain(size_t max) {
    if (draining_) return false;
    draining_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{draining_};

    for (size_t done = 0; done < max; ++done) {
        const Delivery* d = queue_.front();
        if (!d) {
            // Empty: ask for the wake callback, unless a delivery slipped in meanwhile.
            if (!queue_.armWake()) return false;
            d = queue_.front();
        }
        try {
            if (observer_) observer_(*d);
            for (const RouteStep& s : d->routeSteps()) {
                if (!gateHolds(registry_, s)) continue;
                if (const DeliveryHandler* h = handlers_.find(s.window, s.role)) {
                    ++handlerCalls_;
                    (*h)(*d, s);
                }
            }
        } catch (...) {
            // A handler failed: the packet counts as delivered (its remaining steps are
            // skipped) so it is not run twice, and the caller reports the exception.
            ++delivered_;
            queue_.pop();
            throw;
        }
        ++delivered_;
        queue_.pop();
    }
    return queue_.front() != nullptr || queue_.armWake();
}

} // namespace vx
