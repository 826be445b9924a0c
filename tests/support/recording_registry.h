// Test helpers for the hand-over: a window registry whose state tests set, handlers that
// record every call, and a consumer running on its own thread.
#pragma once

#include "link/ack_texts.h"
#include "link/handover.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vxtest {

// Window state that the test sets (from any thread) and the consumer reads. Every window
// exists; none is visible or running until the test says so.
class RecordingRegistry : public vx::WindowRegistry {
public:
    RecordingRegistry() {
        for (auto& e : exists_) e.store(true);
    }
    bool visible(vx::WindowId w) const override { return visible_[size_t(w)].load(); }
    bool exists(vx::WindowId w) const override { return exists_[size_t(w)].load(); }
    bool running(vx::WindowId w) const override { return running_[size_t(w)].load(); }

    void setVisible(vx::WindowId w, bool on = true) { visible_[size_t(w)].store(on); }
    void setExists(vx::WindowId w, bool on = true) { exists_[size_t(w)].store(on); }
    void setRunning(vx::WindowId w, bool on = true) { running_[size_t(w)].store(on); }
    void showAll(bool on = true) {
        for (auto& v : visible_) v.store(on);
        for (auto& r : running_) r.store(on);
    }

private:
    std::array<std::atomic<bool>, vx::kWindowCount> visible_{};
    std::array<std::atomic<bool>, vx::kWindowCount> exists_{};
    std::array<std::atomic<bool>, vx::kWindowCount> running_{};
};

// Registers a handler for every window and role that records the call as
// "3002 TmainForm.FastFix" (code and subcode of the packet, window, role); an error report
// records the error window's line, an arg other than 0 is appended as "(arg)".
class CallRecorder {
public:
    void install(vx::HandlerTable& table) {
        for (size_t w = 0; w < vx::kWindowCount; ++w)
            for (size_t r = 0; r < vx::kRoleCount; ++r)
                table.set(vx::WindowId(w), vx::HandlerRole(r),
                          [this](const vx::Delivery& d, const vx::RouteStep& s) { record(d, s); });
    }
    std::vector<std::string> calls() {
        std::lock_guard lk(mu_);
        return calls_;
    }
    size_t size() {
        std::lock_guard lk(mu_);
        return calls_.size();
    }
    void clear() {
        std::lock_guard lk(mu_);
        calls_.clear();
    }

private:
    void record(const vx::Delivery& d, const vx::RouteStep& s) {
        char code[8];
        std::snprintf(code, sizeof code, "%02X%02X", d.h1, d.h2);
        std::string line = std::string(code) + " " + std::string(vx::windowName(s.window)) + "." +
                           std::string(vx::roleName(s.role));
        if (s.role == vx::HandlerRole::ErrorReport)
            line += " " + vx::errorLine(d.result, d.frame.data(), d.count);
        if (s.arg) line += "(" + std::to_string(s.arg) + ")";
        std::lock_guard lk(mu_);
        calls_.push_back(line);
    }
    std::mutex mu_;
    std::vector<std::string> calls_;
};

// Runs a consumer on its own thread until destroyed.
class ConsumerThread {
public:
    explicit ConsumerThread(vx::DeliveryConsumer& consumer) : consumer_(consumer) {
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                if (consumer_.waitForDeliveries(std::chrono::milliseconds(20))) consumer_.drain(64);
                delivered_.store(consumer_.delivered());
            }
        });
    }
    ~ConsumerThread() { stop(); }
    void stop() {
        stop_.store(true);
        consumer_.wake();
        if (thread_.joinable()) thread_.join();
    }
    uint64_t delivered() const { return delivered_.load(); }

private:
    vx::DeliveryConsumer& consumer_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> delivered_{0};
    std::thread thread_;
};

} // namespace vxtest
