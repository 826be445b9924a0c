#include "sim/sim_runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <utility>

namespace vx::sim {

SimRunner::SimRunner(SimRunnerOptions options) : options_(std::move(options)) {
    if (!(options_.speed >= 0)) options_.speed = 1.0; // 0 is the stepped clock
    faults_ = options_.sim.faults;
}

SimRunner::~SimRunner() {
    stop();
}

bool SimRunner::startOnPty(std::string* slavePath) {
    std::string path, err;
    auto tr = openPtyTransport(path, err);
    if (!tr) {
        error_ = err;
        return false;
    }
    slavePath_ = path;
    if (slavePath) *slavePath = path;
    return start(std::shared_ptr<SimTransport>(std::move(tr)));
}

bool SimRunner::startOnDevice(const std::string& path, int baud) {
    std::string err;
    auto tr = openDeviceTransport(path, baud, err);
    if (!tr) {
        error_ = err;
        return false;
    }
    slavePath_ = path;
    return start(std::shared_ptr<SimTransport>(std::move(tr)));
}

bool SimRunner::start(std::shared_ptr<SimTransport> transport) {
    if (thread_.joinable()) {
        std::lock_guard lock(m_);
        error_ = "the simulated receiver is already running";
        return false;
    }
    if (!transport) {
        error_ = "no transport";
        return false;
    }
    if (!options_.recordPath.empty()) {
        record_ = std::fopen(options_.recordPath.c_str(), "wb");
        if (!record_) {
            error_ = options_.recordPath + ": " + std::strerror(errno);
            return false;
        }
    }
    {
        std::lock_guard lock(m_);
        transport_ = std::move(transport);
        ended_ = false;
        skippedMs_ = 0;
        advances_ = advancesRun_ = 0;
    }
    stop_ = false;
    finished_ = false;
    running_ = true;
    thread_ = std::thread([this] { loop(); });
    return true;
}

void SimRunner::stop() {
    stop_ = true;
    std::shared_ptr<SimTransport> tr;
    {
        std::lock_guard lock(m_);
        tr = transport_;
    }
    if (tr) tr->wake();
    if (thread_.joinable()) thread_.join();
    running_ = false;
    if (record_) {
        std::FILE* f = std::exchange(record_, nullptr);
        if (std::fclose(f) != 0) stopRecording(errno);
    }
    std::lock_guard lock(m_);
    transport_.reset();
}

void SimRunner::stopRecording(int err) {
    if (record_) std::fclose(std::exchange(record_, nullptr));
    std::lock_guard lock(m_);
    if (recordError_.empty()) recordError_ = std::strerror(err);
}

bool SimRunner::waitFinished(int timeoutMs) {
    std::unique_lock lock(m_);
    return progressCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return ended_; });
}

bool SimRunner::advance(int64_t ms) {
    std::shared_ptr<SimTransport> tr;
    uint64_t mine = 0;
    {
        std::lock_guard lock(m_);
        if (!transport_ || ended_) return false;
        skippedMs_ += std::max<int64_t>(ms, 0);
        mine = ++advances_;
        tr = transport_;
    }
    tr->wake();
    std::unique_lock lock(m_);
    progressCv_.wait(lock, [&] { return advancesRun_ >= mine || ended_; });
    return advancesRun_ >= mine;
}

void SimRunner::setFaults(const SimFaults& faults) {
    std::shared_ptr<SimTransport> tr;
    {
        std::lock_guard lock(m_);
        faults_ = faults;
        faultsChanged_ = true;
        tr = transport_;
    }
    if (!tr) return;
    tr->wake();
    std::unique_lock lock(m_);
    progressCv_.wait(lock, [&] { return !faultsChanged_ || ended_; });
}

SimFaults SimRunner::faults() const {
    std::lock_guard lock(m_);
    return faults_;
}

SimStats SimRunner::stats() const {
    std::lock_guard lock(m_);
    return stats_;
}

void SimRunner::loop() {
    using clock = std::chrono::steady_clock;
    // A recording into a FIFO whose reader has gone fails its write (EPIPE) instead of
    // killing the process: SIGPIPE is held on this thread, which does every record write.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    SimReceiver sim(options_.sim);
    SimTransport& tr = *transport_;
    sim.setOutput([&](const uint8_t* p, size_t n) {
        tr.write(p, n);
        if (record_ && std::fwrite(p, 1, n, record_) != n) stopRecording(errno);
    });
    const auto t0 = clock::now();
    const double speed = options_.speed;
    const int64_t duration = options_.durationMs;
    // Simulated time: the host clock's share (none when stepped) plus what advance() added.
    auto simNow = [&](int64_t skipped) {
        int64_t t = skipped;
        if (speed > 0) {
            double realMs = std::chrono::duration<double, std::milli>(clock::now() - t0).count();
            t += int64_t(realMs * speed);
        }
        return duration > 0 ? std::min(t, duration) : t;
    };
    auto skipped = [&] {
        std::lock_guard lock(m_);
        return skippedMs_;
    };
    uint8_t buf[1024];
    int64_t lastFlush = 0;
    while (!stop_) {
        int64_t skip = 0;
        uint64_t advances = 0;
        {
            // Faults and advances read together: a test that sets faults and then advances
            // gets the new faults for the whole advance.
            std::lock_guard lock(m_);
            if (faultsChanged_) {
                sim.setFaults(faults_);
                faultsChanged_ = false;
            }
            skip = skippedMs_;
            advances = advances_;
        }
        int64_t t = simNow(skip);
        sim.advanceTo(t);
        simNow_ = t;
        dropped_ = tr.droppedBytes();
        {
            std::lock_guard lock(m_);
            stats_ = sim.stats();
            advancesRun_ = advances;
        }
        progressCv_.notify_all();
        if (record_ && t - lastFlush >= 1000) {
            if (std::fflush(record_) != 0) stopRecording(errno);
            lastFlush = t;
        }
        if (duration > 0 && t >= duration) {
            finished_ = true;
            break;
        }
        // Stepped, nothing happens until advance() or a command wakes the read.
        int waitMs = 50;
        if (speed > 0) {
            const double waitReal = double(sim.nextWakeMs() - t) / speed;
            waitMs = int(std::clamp(std::ceil(waitReal), 0.0, 50.0));
        }
        int n = tr.read(buf, sizeof buf, waitMs);
        if (n > 0) {
            {
                // Faults set before a command arrived apply to it, even when the command
                // is read in the same wake-up as the news of the faults.
                std::lock_guard lock(m_);
                if (faultsChanged_) {
                    sim.setFaults(faults_);
                    faultsChanged_ = false;
                }
            }
            sim.advanceTo(simNow(skipped()));
            sim.receive(buf, size_t(n));
        } else if (n < 0) {
            std::lock_guard lock(m_);
            error_ = "the transport failed";
            break;
        }
    }
    tr.drain(100);
    {
        std::lock_guard lock(m_);
        stats_ = sim.stats();
        ended_ = true;
    }
    running_ = false;
    if (record_ && std::fflush(record_) != 0) stopRecording(errno);
    progressCv_.notify_all();
}

} // namespace vx::sim
