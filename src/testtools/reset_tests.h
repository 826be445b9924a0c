// The receiver restart stress tests, without a display: the repeated reset test and the
// force-to-monitor test. Both are driven by their windows' timers; times come from a monotonic
// clock the caller passes in (milliseconds).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vx {

// "Reset sent hh:nn.ss ago." style elapsed time: hours, minutes, a dot, seconds.
std::string elapsedText(int64_t ms);

// Sends one kind of reset, waits for the receiver's start-up report, waits a set number of
// 100 ms ticks more, and resets again, counting requests, acknowledgements and start-up
// reports, optionally up to a maximum number of requests.
class RepeatedResetTest {
public:
    static constexpr int kTickMs = 100;
    // The System code of each "Reset Type" item: 0301 Hot, 0305 Warm, 0302 Cold, 0307 Clear
    // Flash and Ram, 0309 Graceful Shutdown.
    static constexpr std::array<uint8_t, 5> kResetCodes{0x01, 0x05, 0x02, 0x07, 0x09};
    // The item of a System code, or -1.
    static int itemOfCode(uint8_t code);

    // Start: counts and any countdown left from an earlier run cleared; running. The caller
    // then sends the first reset.
    void start();
    void stop() { running_ = false; }
    // A reset went out at nowMs.
    void resetSent(int64_t nowMs);
    // A System acknowledgement: counts when its code is the selected reset type's. The count
    // does not depend on running.
    void ack(uint8_t code, int selectedItem);
    // A start-up report (1201): counted; while running the countdown starts at waitTicks (the
    // next reset goes out after that many ticks; with 0 at the next tick).
    void startupReport(int32_t waitTicks);

    struct Tick {
        bool stopped = false;   // the test is over: hide the status line, stop the clock
        bool sendReset = false; // the countdown ran out: reset now
        bool late = false;      // no start-up report for wait x 0.1 + 10 s: status line red
        std::string status;     // "Reset sent hh:nn.ss ago." and the countdown
    };
    // One 100 ms tick at nowMs with the current maximum (0 = none) and wait (ticks).
    Tick tick(int64_t nowMs, int32_t maxRequests, int32_t waitTicks);

    bool running() const { return running_; }
    uint32_t requests() const { return requests_; }
    uint32_t acks() const { return acks_; }
    uint32_t startups() const { return startups_; }
    bool counting() const { return armed_; }
    int32_t countdown() const { return countdown_; }

private:
    bool running_ = false;
    uint32_t requests_ = 0, acks_ = 0, startups_ = 0;
    bool armed_ = false; // a start-up report arrived: counting down to the next reset
    int32_t countdown_ = 0;
    int64_t lastResetMs_ = 0;
};

// Alternates "Force to Monitor (0303)" with the monitor command "Restart Receiver" a given
// number of times, with two pauses, counting the acknowledgements of the force command. The
// receiver counts as alive again when a DR data report (3002) arrives after the restart; a
// restart-to-force pause that ends without one stops the test with "Receiver not responding.".
class ForceToMonitorTest {
public:
    enum class Next {
        Force,         // send the force command now (attempted has been counted)
        Done,          // every force was tried
        NotResponding, // no 3002 since the restart
    };

    // Start: attempted 1 (the caller sends the first force), correct responses 0, alive.
    void start(int32_t forces);
    void stop() { running_ = false; }
    // The force-to-restart pause is over and the restart goes out: the receiver is not known
    // to be alive until it reports again.
    void restartSent() { alive_ = false; }
    // The restart-to-force pause is over.
    Next afterRestartPause();
    // A System acknowledgement; one of code 0x03 counts, whether or not the test runs.
    void sysAck(uint8_t code);
    // A DR data report (3002).
    void drData() { alive_ = true; }

    bool running() const { return running_; }
    bool alive() const { return alive_; }
    int32_t attempted() const { return attempted_; }
    int32_t correct() const { return correct_; }

private:
    bool running_ = false;
    bool alive_ = false;
    int32_t forces_ = 0;
    int32_t attempted_ = 0;
    int32_t correct_ = 0;
};

} // namespace vx
