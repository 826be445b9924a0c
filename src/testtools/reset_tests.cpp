#include "testtools/reset_tests.h"

#include <cinttypes>
#include <cstdio>

namespace vx {

std::string elapsedText(int64_t ms) {
    if (ms < 0) ms = 0;
    int64_t s = ms / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02" PRId64 ":%02d.%02d", s / 3600, int(s / 60 % 60),
                  int(s % 60));
    return buf;
}

// ---- RepeatedResetTest ----------------------------------------------------------------------

int RepeatedResetTest::itemOfCode(uint8_t code) {
    for (size_t i = 0; i < kResetCodes.size(); ++i)
        if (kResetCodes[i] == code) return int(i);
    return -1;
}

void RepeatedResetTest::start() {
    running_ = true;
    requests_ = acks_ = startups_ = 0;
    armed_ = false;
    countdown_ = 0;
}

void RepeatedResetTest::resetSent(int64_t nowMs) {
    ++requests_;
    lastResetMs_ = nowMs;
}

void RepeatedResetTest::ack(uint8_t code, int selectedItem) {
    int item = itemOfCode(code);
    if (item >= 0 && item == selectedItem) ++acks_;
}

void RepeatedResetTest::startupReport(int32_t waitTicks) {
    ++startups_;
    if (!running_) return;
    armed_ = true;
    countdown_ = waitTicks > 0 ? waitTicks : 0;
}

RepeatedResetTest::Tick RepeatedResetTest::tick(int64_t nowMs, int32_t maxRequests,
                                                int32_t waitTicks) {
    Tick t;
    if (maxRequests > 0 && requests_ >= uint32_t(maxRequests)) running_ = false;
    if (!running_) {
        t.stopped = true;
        return t;
    }
    const int64_t elapsed = nowMs - lastResetMs_;
    t.status = "Reset sent " + elapsedText(elapsed) + " ago.";
    t.late = elapsed > int64_t(waitTicks) * kTickMs + 10000;
    if (armed_) {
        if (countdown_ > 0) {
            --countdown_;
            t.status += ' ';
            t.status += std::to_string(countdown_);
        }
        if (countdown_ == 0) {
            armed_ = false;
            t.sendReset = true;
        }
    }
    return t;
}

// ---- ForceToMonitorTest ---------------------------------------------------------------------

void ForceToMonitorTest::start(int32_t forces) {
    running_ = true;
    forces_ = forces;
    attempted_ = 1;
    correct_ = 0;
    alive_ = true;
}

ForceToMonitorTest::Next ForceToMonitorTest::afterRestartPause() {
    if (!alive_) {
        running_ = false;
        return Next::NotResponding;
    }
    if (attempted_ < forces_) {
        ++attempted_;
        return Next::Force;
    }
    running_ = false;
    return Next::Done;
}

void ForceToMonitorTest::sysAck(uint8_t code) {
    if (code == 0x03) ++correct_;
}

} // namespace vx
