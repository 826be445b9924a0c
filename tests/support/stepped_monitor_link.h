// The console's monitor link to a simulated receiver whose clock the test steps: the flash
// tools' sleeps and acknowledge allowances are counted on a virtual clock and move the
// receiver's clock (SimRunner::advance) instead of passing, so seconds of pauses and time-outs
// cost the test nothing. Bytes the receiver has already sent are on their way through the
// pseudo-terminal at once: a wait for bytes looks for them in poll() for a short real moment,
// and only when none came moves both clocks on.
#pragma once

#include "link/serial_monitor_link.h"
#include "sim/sim_runner.h"

#include <algorithm>
#include <chrono>

namespace vxtest {

class SteppedMonitorLink : public vx::SerialMonitorLink {
public:
    // Real milliseconds a wait looks for bytes already on their way.
    static constexpr int kRealLookMs = 30;
    // Simulated milliseconds a wait moves the clocks by when nothing came.
    static constexpr int kStepMs = 250;

    SteppedMonitorLink(vx::LinkClaim& claim, vx::sim::SimRunner& sim)
        : SerialMonitorLink(claim), sim_(sim) {}

    int64_t nowMs() override { return clockMs_; }
    void sleepMs(int ms) override {
        if (ms <= 0) return;
        sim_.advance(ms);
        clockMs_ += ms;
    }
    void waitReadable(int ms) override {
        using Clock = std::chrono::steady_clock;
        const auto t0 = Clock::now();
        link().waitReadable(std::min(ms, kRealLookMs));
        if (Clock::now() - t0 < std::chrono::milliseconds(kRealLookMs)) return; // bytes came
        sleepMs(std::min(ms, kStepMs));
    }

private:
    vx::sim::SimRunner& sim_;
    int64_t clockMs_ = 0;
};

} // namespace vxtest
