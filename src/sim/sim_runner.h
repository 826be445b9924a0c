// Runs a simulated receiver on its own thread against a transport, in real time or faster.
//
// The console's demo mode and the end-to-end tests use it like this:
//
//     vx::sim::SimRunner sim;                 // seed 1, real time, no faults
//     std::string path;
//     if (!sim.startOnPty(&path)) report(sim.error());
//     ... open `path` as a serial port ...
//     sim.setFaults(f);                       // any time, from any thread
//     sim.stop();                             // returns within about 200 ms
//
// Simulated time starts at 0 when the thread starts and runs `speed` times as fast as the host
// clock. With a duration the runner stops by itself when simulated time reaches it.
//
// Tests step the clock instead of waiting for it: with speed 0 simulated time stands still
// and moves only when advance() is called, at any speed advance() jumps it forward at once.
// The receiver answers what it receives at the time it has reached, so a receiver whose clock
// stands still still answers every command at once; what takes time (a restart, the next
// report) happens when the test moves the clock past it:
//
//     SimRunnerOptions o;
//     o.speed = 0;                            // stepped
//     SimRunner sim(o);
//     sim.startOnPty(&path);
//     sim.advance(SimReceiver::restartMs());  // powered on: the start-up report is out
//     sim.advance(1000);                      // one more second of reports
#pragma once

#include "sim/sim_receiver.h"
#include "sim/sim_transport.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vx::sim {

struct SimRunnerOptions {
    SimOptions sim;
    double speed = 1.0;     // simulated seconds per real second; 0: only advance() moves it
    int64_t durationMs = 0; // simulated time after which the runner stops; 0 = never
    std::string recordPath; // when set, everything sent is also written to this file
};

class SimRunner {
public:
    explicit SimRunner(SimRunnerOptions options = {});
    ~SimRunner();
    SimRunner(const SimRunner&) = delete;
    SimRunner& operator=(const SimRunner&) = delete;

    // Opens a pseudo-terminal and serves its master; the slave's path goes to *slavePath.
    bool startOnPty(std::string* slavePath = nullptr);
    // Serves an existing device (a serial port or someone else's pseudo-terminal slave).
    bool startOnDevice(const std::string& path, int baud = 38400);
    // Serves any transport (a QueueTransport in tests). The runner keeps it until stopped.
    bool start(std::shared_ptr<SimTransport> transport);
    // Stops the thread and closes the transport and the record file; safe to call twice.
    void stop();

    bool running() const { return running_; }
    // True once the duration has been reached (the thread has then ended by itself).
    bool finished() const { return finished_; }
    // Waits until the thread ends by itself or timeoutMs passes; true when it ended.
    bool waitFinished(int timeoutMs);
    const std::string& slavePath() const { return slavePath_; }
    std::string error() const {
        std::lock_guard lock(m_);
        return error_;
    }

    // Moves simulated time forward by ms at once (on top of what the clock does by itself)
    // and returns once the receiver has run up to there and sent what became due. False when
    // the thread is not running (never started, stopped, or ended at its duration).
    bool advance(int64_t ms);

    // Thread-safe. Returns once the receiver runs with the new faults (at once when the
    // thread does not run: they apply when it starts).
    void setFaults(const SimFaults& faults);
    SimFaults faults() const;
    // A snapshot of the receiver's counters.
    SimStats stats() const;
    // Simulated time reached so far.
    int64_t simulatedMs() const { return simNow_; }
    uint64_t droppedBytes() const { return dropped_; }
    // Why the recording stopped while the receiver went on serving its port ("broken pipe":
    // the reader of a FIFO went away; a full disk); empty while it records or when it ended
    // well. The runner's thread never takes SIGPIPE: a write into a pipe without a reader fails.
    std::string recordError() const {
        std::lock_guard lock(m_);
        return recordError_;
    }

private:
    void loop();
    // Closes the record file after a failed write (errno err) and keeps the reason.
    void stopRecording(int err);

    SimRunnerOptions options_;
    std::shared_ptr<SimTransport> transport_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int64_t> simNow_{0};
    std::atomic<uint64_t> dropped_{0};
    std::string slavePath_;
    std::string error_;
    std::FILE* record_ = nullptr;
    std::string recordError_; // guarded by m_

    mutable std::mutex m_;
    std::condition_variable progressCv_; // a pass of the loop ended, or the thread did
    bool ended_ = false;
    SimFaults faults_;
    bool faultsChanged_ = false;
    SimStats stats_;
    int64_t skippedMs_ = 0;    // simulated time added by advance()
    uint64_t advances_ = 0;    // advance() calls so far
    uint64_t advancesRun_ = 0; // of these, the ones a finished pass of the loop has covered
};

} // namespace vx::sim
