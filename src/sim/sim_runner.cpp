#include "sim/sim_runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <deque>
#include <pthread.h>
#include <thread>
#include <utility>
#include <vector>

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

bool SimRunner::inspect(const std::function<void(const SimReceiver&)>& fn) {
    std::shared_ptr<SimTransport> tr;
    {
        std::lock_guard lock(m_);
        if (!transport_ || ended_ || inspect_) return false;
        inspect_ = &fn;
        tr = transport_;
    }
    tr->wake();
    std::unique_lock lock(m_);
    progressCv_.wait(lock, [&] { return !inspect_ || ended_; });
    const bool ran = !inspect_;
    inspect_ = nullptr;
    return ran;
}

SimFaults SimRunner::faults() const {
    std::lock_guard lock(m_);
    return faults_;
}

SimStats SimRunner::stats() const {
    std::lock_guard lock(m_);
    return stats_;
}

namespace {

// The line's speed on the receiver's side (SimRunnerOptions::lineBaud): bytes from the console
// are handed to the receiver when the line would have delivered them, bytes to the console
// are written when the line would have carried them. Times are host microseconds.
class LinePacer {
public:
    using clock = std::chrono::steady_clock;
    explicit LinePacer(int32_t baud) : usPerByte_(baud > 0 ? 10.0e6 / baud : 0) {}
    bool on() const { return usPerByte_ > 0; }

    // How many bytes to take from the port at a time: about two milliseconds of the line.
    size_t readChunk(size_t capacity) const {
        size_t n = size_t(2000.0 / usPerByte_);
        return std::clamp<size_t>(n, 1, capacity);
    }
    // The console's bytes just read: held until the line has delivered the last of them. Bytes
    // found waiting right after the line was busy followed the earlier ones back to back (the
    // loop's own delays do not slow the line down).
    void received(const uint8_t* p, size_t n) {
        const int64_t now = nowUs();
        const int64_t start = now - inFree_ <= kBackToBackUs ? inFree_ : now;
        inFree_ = start + int64_t(double(n) * usPerByte_);
        held_.assign(p, p + n);
        heldUntil_ = inFree_;
    }
    bool holding() const { return !held_.empty(); }
    // The held bytes once the line has delivered them (cleared), else empty.
    std::vector<uint8_t> takeDelivered() {
        if (held_.empty() || nowUs() < heldUntil_) return {};
        return std::exchange(held_, {});
    }
    // The receiver's bytes: written when the line has carried them.
    void send(const uint8_t* p, size_t n) {
        int64_t now = nowUs();
        outFree_ = std::max(outFree_, now) + int64_t(double(n) * usPerByte_);
        out_.push_back({outFree_, std::vector<uint8_t>(p, p + n)});
    }
    template <class Write> void writeDue(Write&& write) {
        int64_t now = nowUs();
        while (!out_.empty() && out_.front().at <= now) {
            write(out_.front().bytes.data(), out_.front().bytes.size());
            out_.pop_front();
        }
    }
    // Milliseconds until the next held or queued bytes are due (limit when none).
    int msUntilDue(int limit) const {
        int64_t next = INT64_MAX;
        if (!held_.empty()) next = heldUntil_;
        if (!out_.empty()) next = std::min(next, out_.front().at);
        if (next == INT64_MAX) return limit;
        int64_t us = next - nowUs();
        return int(std::clamp<int64_t>((us + 999) / 1000, 0, limit));
    }

private:
    struct Out {
        int64_t at;
        std::vector<uint8_t> bytes;
    };
    static int64_t nowUs() {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   clock::now().time_since_epoch())
            .count();
    }
    static constexpr int64_t kBackToBackUs = 2000;
    double usPerByte_;
    int64_t inFree_ = 0, outFree_ = 0, heldUntil_ = 0;
    std::vector<uint8_t> held_;
    std::deque<Out> out_;
};

} // namespace

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
    LinePacer pacer(options_.lineBaud);
    auto toLine = [&](const uint8_t* p, size_t n) {
        tr.write(p, n);
        if (record_ && std::fwrite(p, 1, n, record_) != n) stopRecording(errno);
    };
    sim.setOutput([&](const uint8_t* p, size_t n) {
        if (pacer.on())
            pacer.send(p, n);
        else
            toLine(p, n);
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
            if (inspect_) {
                (*inspect_)(sim);
                inspect_ = nullptr;
            }
            skip = skippedMs_;
            advances = advances_;
        }
        int64_t t = simNow(skip);
        sim.advanceTo(t);
        if (pacer.on()) {
            std::vector<uint8_t> in = pacer.takeDelivered();
            if (!in.empty()) sim.receive(in.data(), in.size());
            pacer.writeDue(toLine);
        }
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
        if (pacer.on()) {
            waitMs = pacer.msUntilDue(waitMs);
            if (pacer.holding()) {
                // The line is still delivering what was read: take nothing more yet.
                std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
                continue;
            }
        }
        const size_t capacity = pacer.on() ? pacer.readChunk(sizeof buf) : sizeof buf;
        int n = tr.read(buf, capacity, waitMs);
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
            if (pacer.on())
                pacer.received(buf, size_t(n));
            else
                sim.receive(buf, size_t(n));
        } else if (n < 0) {
            std::lock_guard lock(m_);
            error_ = "the transport failed";
            break;
        }
    }
    if (pacer.on()) {
        // What the receiver had sent still goes out (as stopping lets output drain).
        pacer.writeDue([&](const uint8_t* p, size_t n) { toLine(p, n); });
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
