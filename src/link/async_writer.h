// Writes byte streams through a FrameSink (the serial link) on a thread of its own, so that the
// GUI thread never waits for a slow port: the random serial data window hands it a burst and
// goes on; while a burst is still being written the next one is refused (the caller skips that
// tick).
//
// A burst is written in pieces of at most kPieceBytes through sendFrame, each under the link's
// write lock, so a frame another window sends goes out whole between two pieces and a stop or
// cancel takes effect after the current piece. The counts are read from any thread.
#pragma once

#include "link/framing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vx {

class AsyncWriter {
public:
    static constexpr size_t kPieceBytes = 512;

    AsyncWriter() = default;
    // Cancels what is left of a pending burst and joins the thread.
    ~AsyncWriter();
    AsyncWriter(const AsyncWriter&) = delete;
    AsyncWriter& operator=(const AsyncWriter&) = delete;

    // Queues bytes to be written through sink; returns false (nothing queued) while an earlier
    // burst is still pending. sink must stay valid until the burst is written (pending() false)
    // or the writer is destroyed. An empty burst is accepted and writes nothing.
    bool post(FrameSink& sink, std::vector<uint8_t> bytes);
    bool pending() const { return pending_.load(std::memory_order_acquire); }
    // Drops what is left of a pending burst after the piece being written.
    void cancel();
    // Waits until no burst is pending or timeout passes; true when none is pending.
    bool waitIdle(std::chrono::milliseconds timeout) const;

    uint64_t bytesWritten() const { return bytesWritten_.load(std::memory_order_relaxed); }
    uint64_t burstsWritten() const { return burstsWritten_.load(std::memory_order_relaxed); }
    // Bursts that stopped because sendFrame refused a piece (link not running, write failed).
    uint64_t burstsFailed() const { return burstsFailed_.load(std::memory_order_relaxed); }

private:
    void run();

    std::thread thread_;
    mutable std::mutex mu_;
    mutable std::condition_variable cv_;
    bool quit_ = false;         // under mu_
    FrameSink* sink_ = nullptr; // under mu_
    std::vector<uint8_t> burst_;
    bool haveBurst_ = false; // under mu_
    std::atomic<bool> pending_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<uint64_t> bytesWritten_{0};
    std::atomic<uint64_t> burstsWritten_{0};
    std::atomic<uint64_t> burstsFailed_{0};
};

} // namespace vx
