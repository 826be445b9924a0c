#include "link/async_writer.h"

#include <algorithm>

namespace vx {

AsyncWriter::~AsyncWriter() {
    {
        std::lock_guard lk(mu_);
        quit_ = true;
    }
    cancel_.store(true);
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool AsyncWriter::post(FrameSink& sink, std::vector<uint8_t> bytes) {
    if (pending_.load(std::memory_order_acquire)) return false;
    {
        std::lock_guard lk(mu_);
        if (quit_) return false;
        sink_ = &sink;
        burst_ = std::move(bytes);
        haveBurst_ = true;
        cancel_.store(false);
        pending_.store(true, std::memory_order_release);
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    cv_.notify_all();
    return true;
}

void AsyncWriter::cancel() {
    cancel_.store(true);
}

bool AsyncWriter::waitIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lk(mu_);
    return cv_.wait_for(lk, timeout, [&] { return !pending_.load(); });
}

void AsyncWriter::run() {
    std::unique_lock lk(mu_);
    for (;;) {
        cv_.wait(lk, [&] { return quit_ || haveBurst_; });
        if (!haveBurst_) return; // quit with nothing to write
        std::vector<uint8_t> burst = std::move(burst_);
        FrameSink* sink = sink_;
        haveBurst_ = false;
        lk.unlock();

        bool failed = false;
        size_t done = 0;
        while (done < burst.size() && !cancel_.load()) {
            size_t n = std::min(kPieceBytes, burst.size() - done);
            if (sink->sendFrame(burst.data() + done, uint16_t(n)) != 0) {
                failed = true;
                break;
            }
            done += n;
            bytesWritten_.fetch_add(n, std::memory_order_relaxed);
        }
        if (failed) {
            burstsFailed_.fetch_add(1, std::memory_order_relaxed);
        } else if (done == burst.size()) {
            burstsWritten_.fetch_add(1, std::memory_order_relaxed);
        }

        lk.lock();
        pending_.store(false, std::memory_order_release);
        cv_.notify_all();
        if (quit_) return;
    }
}

} // namespace vx
