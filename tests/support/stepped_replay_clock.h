// A replay clock the test steps: the link's worker pauses on it until the test has moved it
// far enough (or the link stops), and every pause it was asked for is kept.
//
//     SteppedReplayClock clock;
//     link.setReplayClock(&clock);
//     ... start a replay ...
//     ASSERT_TRUE(clock.waitPausing(1));     // the worker pauses after its first 3002
//     clock.advance(100);                    // ... and goes on once 100 ms have passed
#pragma once

#include "link/serial_link.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vxtest {

class SteppedReplayClock : public vx::ReplayClock {
public:
    void pause(int32_t ms, const std::atomic<bool>& stop) override {
        std::unique_lock lk(mu_);
        const int64_t until = now_ + ms;
        pauses_.push_back(ms);
        pausing_ = true;
        cv_.notify_all();
        cv_.wait(lk, [&] { return now_ >= until || stop.load(); });
        pausing_ = false;
        cv_.notify_all();
    }
    void wake() override {
        std::lock_guard lk(mu_);
        cv_.notify_all();
    }

    // Moves the clock forward: a pause that is over lets the worker go on.
    void advance(int64_t ms) {
        std::lock_guard lk(mu_);
        now_ += ms;
        cv_.notify_all();
    }
    // Waits until the worker is in its n-th pause (counted from the start).
    bool waitPausing(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lk(mu_);
        return cv_.wait_for(lk, timeout, [&] { return pausing_ && pauses_.size() == n; });
    }
    bool pausing() {
        std::lock_guard lk(mu_);
        return pausing_;
    }
    // The pauses asked for so far, in milliseconds.
    std::vector<int32_t> pauses() {
        std::lock_guard lk(mu_);
        return pauses_;
    }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    int64_t now_ = 0;
    bool pausing_ = false;
    std::vector<int32_t> pauses_;
};

} // namespace vxtest
