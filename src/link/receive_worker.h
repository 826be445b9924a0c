// The receive worker: turns the receiver's byte stream into deliveries for the window thread.
//
// For every frame the deframer cuts (steps 1 to 10 of the receive loop):
//  1. readFrame; the frame is copied into the delivery (the error report's copy).
//  2. A deframer error: the delivery carries the result and one step, the error window
//     (always); the error flag is set. A frame with a good checksum but fewer than 5 bytes
//     (no room for both header bytes) is refused the same way as a length error (4).
//  3. The packet-received flag is set.
//  4. h1 = 0x23: one step, the GPS fix window's alternative fix handler (visible). Not
//     decoded, traced, routed or logged.
//  5, 6. The raw-packet steps of the generic packet window (visible) and the batch window
//     (running), before decoding.
//  7. decode into the worker's record area; a refusal (3, 4) adds the error step after the
//     raw-packet steps, sets the error flag, and routes nothing else.
//  8. The VEXOR trace window step (visible).
//  9. The routing table's steps (routing.h); for 0x70 with subcode 1, 2, 3, 4, 7, 9 or 0x0B
//     the diagnostic flag is set.
// 10. Replay pacing: after a decoded 3002 in replay mode, the worker sleeps for the replay
//     delay read at that moment (woken early by stop).
//
// Effects done on the worker itself: the three lamp flags (MonitorFlags, atomics read by the
// main window's timers). Everything else (the running-time reset of 1201, noteSysAck and every
// window handler) is a step of the delivery, run by the consumer on the window thread in table
// order. The 15xx and 2603..2605 data blocks live in the delivery's record copy and are freed
// with it: nothing is released by hand after routing.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "link/handover.h"
#include "link/records.h"
#include "link/serial_link.h"

namespace vx {

// The main window's indicator flags, set by the worker and read and cleared by the main
// window's timers.
struct MonitorFlags {
    std::atomic<uint8_t> errorPending{0}; // a refused frame: the error window is to be shown
    std::atomic<uint8_t> rxSeen{0};       // a well-formed packet arrived (RX lamp)
    std::atomic<uint8_t> rxDiagSeen{0};   // a diagnostic report arrived (RX lamp blue)
};

class ReceiveWorker : public LinkReader {
public:
    explicit ReceiveWorker(HandoverQueue& queue, MonitorFlags* flags = nullptr);

    // LinkReader: the link's worker thread runs the loop over the link's bytes.
    void runReader(LinkSession& session) override;
    void interruptReader() override;
    // Hands the deliveries collected so far to a waiting consumer.
    void readerIdle() override { queue_.publish(); }

    enum class Ended { EndOfStream, Stopped, Abandoned };
    // The loop over any byte source (a memory block in tests and tools). Returns when the
    // source ends or stops, or when the hand-over is abandoned (stop while the queue is full).
    // session, when given, supplies the stop flag and the replay pacing.
    Ended run(ByteSource& source, LinkSession* session = nullptr);
    // Builds the delivery of one frame (steps 2 to 9) without queueing it. Returns true when
    // the packet is a decoded 3002 (the one that replay pacing follows).
    bool build(Delivery& out, int result, const uint8_t* frame, uint16_t count);

    uint64_t frames() const { return frames_.load(std::memory_order_relaxed); }
    // The bytes of the frame the deframer had begun when the last run ended (the source ended
    // or was stopped in the middle of a frame): empty when it ended between frames. Read it
    // after the run has returned (after stopLink for a link's worker).
    std::vector<uint8_t> unfinishedFrame() const {
        return std::vector<uint8_t>(frame_, frame_ + unfinished_);
    }

private:
    HandoverQueue& queue_;
    MonitorFlags* flags_;
    std::atomic<bool> abandon_{false}; // the stop flag of run() without a session
    std::atomic<uint64_t> frames_{0};
    RecordArea area_{};
    uint8_t frame_[kRxBufferSize] = {};
    uint16_t unfinished_ = 0; // bytes of frame_ begun when the last run ended
};

} // namespace vx
